// One row of the filter editor: the controls each kind of field gets and
// what the user's choices write into the criterion.

#include "TWFilterTestSupport.h"

#include "TWClock.h"
#include "TWField.h"
#include "TWFieldItem.h"
#include "TWFormatter.h"

namespace
{

class FilterEditorRowTest : public TWFilterTest
{
protected:
    std::unique_ptr<TWFilterEditorRow> row(qint32 field)
    {
        criterion = TWFilterCriteria::filterCriteriaWithFieldIdentifier(field, business());
        auto made = std::make_unique<TWFilterEditorRow>(criterion, &business());
        made->resize(600, TWFilterEditorRow::kRowHeight);
        made->update();
        return made;
    }
    TWFilterCriteriaPtr criterion;
};

TEST_F(FilterEditorRowTest, RelativeDates)
{
    auto date = row(TWFieldIdentifierDate);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeNamedPeriod));
    EXPECT_EQ(tags(date->view2()), (QList<int>{3, 4, 9, 10, 11, 12, -1, -2}));
    // In the last: count 1 in days, N = -1.
    choose(*date, date->view2(), -1);
    EXPECT_EQ(criterion->match(), 13u);
    EXPECT_EQ(criterion->valueRelativeDate(), -1);
    EXPECT_EQ(text(date->view3()), QStringLiteral("1"));
    EXPECT_EQ(selectedTag(date->view4()), 13);
    EXPECT_EQ(selectedTag(date->view2()), -1);
    // Typed 5 or -5: the direction comes from the operator.
    type(*date, date->view3(), QStringLiteral("5"));
    EXPECT_EQ(criterion->valueRelativeDate(), -5);
    type(*date, date->view3(), QStringLiteral("-5"));
    EXPECT_EQ(criterion->valueRelativeDate(), -5);
    // Weeks: the unit pop-up sets the match, nothing rebuilt.
    QWidget *unit = date->view4();
    choose(*date, unit, 14);
    EXPECT_EQ(criterion->match(), 14u);
    EXPECT_EQ(date->view4(), unit);
    // In the next: back to 1 day, N = 1.
    choose(*date, date->view2(), -2);
    EXPECT_EQ(criterion->match(), 13u);
    EXPECT_EQ(criterion->valueRelativeDate(), 1);
    EXPECT_EQ(text(date->view3()), QStringLiteral("1"));
    EXPECT_EQ(selectedTag(date->view2()), -2);
    type(*date, date->view3(), QStringLiteral("3"));
    EXPECT_EQ(criterion->valueRelativeDate(), 3);

    // A fixed operator after a relative one: "today".
    choose(*date, date->view2(), 9);
    EXPECT_EQ(criterion->match(), 9u);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeNamedPeriod));
    EXPECT_EQ(criterion->valueIdentifier(), 0);
    EXPECT_EQ(selectedTag(date->view3()), 0);
    EXPECT_FALSE(date->view4());
}

// A count of 0 or text that is no number would turn "the next" into "the
// last" (the sign carries the direction): refused, the old count shows again.
TEST_F(FilterEditorRowTest, ACountBelowOneIsRefused)
{
    auto date = row(TWFieldIdentifierDate);
    choose(*date, date->view2(), -2);
    type(*date, date->view3(), QStringLiteral("4"));
    ASSERT_EQ(criterion->valueRelativeDate(), 4);
    for (const QString &typed :
         {QStringLiteral("0"), QStringLiteral("abc"), QString(), QStringLiteral("0.4")}) {
        type(*date, date->view3(), typed);
        EXPECT_EQ(criterion->valueRelativeDate(), 4) << typed.toStdString();
        EXPECT_EQ(text(date->view3()), QStringLiteral("4")) << typed.toStdString();
    }
    EXPECT_EQ(criterion->match(), 13u);
}

TEST_F(FilterEditorRowTest, CustomDateAndBack)
{
    TWFixedClock clock(2024, 6, 15);
    auto date = row(TWFieldIdentifierDate);
    choose(*date, date->view3(), -1);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeDate));
    auto *picker = qobject_cast<QDateEdit *>(date->view4());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->date(), QDate(2024, 6, 15));
    picker->setDate(QDate(2024, 1, 2));
    EXPECT_EQ(criterion->valueDate().date(), QDate(2024, 1, 2));
    choose(*date, date->view3(), 5);
    EXPECT_EQ(criterion->valueType(), quint32(TWFilterValueTypeNamedPeriod));
    EXPECT_EQ(criterion->valueIdentifier(), 5);
    EXPECT_FALSE(date->view4());
}

TEST_F(FilterEditorRowTest, ValuesByKindOfField)
{
    // Money is typed in hundredths, whatever the units' decimal places.
    auto total = row(TWFieldIdentifierTotal);
    EXPECT_EQ(tags(total->view2()), (QList<int>{3, 4, 9, 10, 11, 12}));
    type(*total, total->view3(), QStringLiteral("12.5"));
    EXPECT_EQ(criterion->valueCurrency(), 1250);
    // Shown with two decimals and the currency's separators, and read back.
    criterion->setValueCurrency(-123456789);
    total->update();
    const TWFormatter &formatter = TWFormatter::formatter();
    const QString group = formatter.currencyGroupingSeparator();
    EXPECT_EQ(text(total->view3()),
              QStringLiteral("-1") + group + QStringLiteral("234") + group + QStringLiteral("567") +
                  formatter.currencyDecimalSeparator() + QStringLiteral("89"));
    type(*total, total->view3(), text(total->view3()));
    EXPECT_EQ(criterion->valueCurrency(), -123456789);
    choose(*total, total->view2(), 11);
    EXPECT_EQ(criterion->match(), 11u);

    // Accounts: by group, no "none".
    auto account = row(TWFieldIdentifierAccount1);
    const QList<int> accounts = tags(account->view3());
    EXPECT_FALSE(accounts.contains(-1));
    EXPECT_FALSE(accounts.isEmpty());
    EXPECT_EQ(selectedTag(account->view3()), criterion->valueIdentifier());
    choose(*account, account->view3(), accounts.last());
    EXPECT_EQ(criterion->valueIdentifier(), accounts.last());

    // A list field: "none" (-1) first, then its items.
    TWFieldPtr kinds = TWField::fieldWithName(QStringLiteral("Kind"), TWFieldTypeList, false, false,
                                              business().nextFieldIdentifier());
    kinds->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("Big"), 7),
                         TWFieldListItem::fieldListItemWithName(QStringLiteral("Small"), 9)});
    ASSERT_FALSE(business().addField(kinds, false));
    auto list = row(kinds->identifier());
    EXPECT_EQ(tags(list->view3()), (QList<int>{-1, 7, 9}));
    EXPECT_EQ(text(list->view3()), QStringLiteral("Big"));

    // The payee: text operators and free text.
    auto payee = row(TWFieldIdentifierPayee);
    EXPECT_EQ(tags(payee->view2()), (QList<int>{3, 4, 5, 6, 7, 8}));
    type(*payee, payee->view3(), QStringLiteral("Acme"));
    EXPECT_EQ(criterion->valueText(), QStringLiteral("Acme"));

    // The cleared mark: a check box.
    auto cleared = row(TWFieldIdentifierCleared);
    auto *box = qobject_cast<QCheckBox *>(cleared->view3());
    ASSERT_TRUE(box);
    box->click();
    EXPECT_EQ(criterion->valueSwitch(), box->isChecked());

    // Changing the field starts the row afresh for the new field.
    choose(*cleared, cleared->view1(), TWFieldIdentifierTotal);
    EXPECT_EQ(criterion->fieldIdentifier(), qint32(TWFieldIdentifierTotal));
    EXPECT_TRUE(qobject_cast<QLineEdit *>(cleared->view3()));
}

TEST_F(FilterEditorRowTest, UnitsSelectByTheStoredCode)
{
    auto unit = row(TWFieldIdentifierUnit);
    auto *popUp = qobject_cast<TWPopUpButton *>(unit->view3());
    ASSERT_TRUE(popUp);
    EXPECT_EQ(popUp->currentData(Qt::UserRole + 1).toString(), business().homeUnit()->code());
    const int eur = popUp->findData(QStringLiteral("EUR"), Qt::UserRole + 1);
    ASSERT_GE(eur, 0);
    popUp->setCurrentIndex(eur);
    unit->doPopUpButton(popUp);
    EXPECT_EQ(criterion->valueText(), QStringLiteral("EUR"));

    // A code of no unit: the first item of the pop-up.
    criterion->setValueText(QStringLiteral("ZZZ"));
    unit->update();
    popUp = qobject_cast<TWPopUpButton *>(unit->view3());
    EXPECT_EQ(popUp->currentIndex(), 0);
    EXPECT_EQ(popUp->selectedTag(), 0);
}

// A row too long for its width narrows every control by the same amount and
// leaves the buttons' 49 pixels free.
TEST_F(FilterEditorRowTest, ALongDeepRowNarrowsItsControlsEvenly)
{
    criterion =
        TWFilterCriteria::filterCriteriaWithFieldIdentifier(TWFieldIdentifierDate, business());
    criterion->setDepth(6);
    TWFilterEditorRow wide(criterion, &business());
    wide.resize(2000, TWFilterEditorRow::kRowHeight);
    wide.update();
    TWFilterEditorRow narrow(criterion, &business());
    narrow.resize(420, TWFilterEditorRow::kRowHeight);
    narrow.update();
    const QList<QWidget *> full{wide.view1(), wide.view2(), wide.view3()};
    const QList<QWidget *> cut{narrow.view1(), narrow.view2(), narrow.view3()};
    ASSERT_FALSE(narrow.view4());
    EXPECT_EQ(full.first()->x(), 6 * 30 + 10);
    const int less = full.at(0)->width() - cut.at(0)->width();
    EXPECT_GT(less, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(full.at(i)->width() - cut.at(i)->width(), less) << i;
    for (int i = 0; i + 1 < 3; ++i)
        EXPECT_LE(cut.at(i)->geometry().right(), cut.at(i + 1)->x()) << i;
    EXPECT_LE(cut.last()->geometry().right(), 420 - 49);
    narrow.updateButtons(true, nullptr);
    EXPECT_LE(cut.last()->geometry().right(), narrow.deleteButton()->x());
}

} // namespace

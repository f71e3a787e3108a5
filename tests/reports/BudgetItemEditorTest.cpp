// The budget line sheet: it edits a copy, its cycle controls, the checks on
// the cycle count, the unit it shows being the unit it saves, and store
// errors that keep it open.

#include "TWBudgetTestSupport.h"
#include "TWDateTypingSupport.h"

#include "app/TWControls.h"
#include "reports/ui/TWBudgetController.h"
#include "reports/ui/TWBudgetItemController.h"
#include "reports/ui/TWBudgetModel.h"

#include "TWDenyGuard.h"
#include "model/TWFormatter.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace
{

class BudgetItemEditorTest : public TWBudgetTest
{
protected:
    void TearDown() override
    {
        ends.reset();
        sheet.reset();
        TWBudgetTest::TearDown();
    }

    // Opens the sheet on the line as the budget view does.
    void open(const TWBudgetItemPtr &line, qint32 itemType, qint32 itemIdentifier, int mode)
    {
        TWItemPtr item = itemType == TWItemTypeAccount
                             ? TWItemPtr(business->accountWithIdentifier(itemIdentifier))
                             : TWItemPtr(business->groupWithIdentifier(itemIdentifier));
        ASSERT_TRUE(item);
        sheet = std::make_unique<TWBudgetItemController>();
        sheet->setItem(item);
        sheet->setBudgetItem(line);
        sheet->setMode(mode);
        sheet->setBusinessController(document.get());
        sheet->setBusiness(business);
        sheet->view();
        sheet->update();
        document->beginSheetWithView(sheet->view(), false, true,
                                     [this](int code) { codes.append(code); });
        ends = std::make_unique<QSignalSpy>(sheet.get(), &TWEditorController::endRequested);
    }
    void openStored(qint32 type, qint32 item) { open(storedLine(type, item), type, item, 1); }
    // Saves; the code the sheet ended with (0 while it stays open).
    int press(QPushButton *button)
    {
        button->click();
        settle();
        return ends->isEmpty() ? 0 : ends->last().at(0).toInt();
    }
    void type(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    void chooseCycleUnit(int cycleUnit)
    {
        TWPopUpButton *popUp = sheet->cycleUnitPopUpButton();
        const int index = popUp->findData(cycleUnit);
        ASSERT_GE(index, 0);
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }

    std::unique_ptr<TWBudgetItemController> sheet;
    std::unique_ptr<QSignalSpy> ends;
    QList<int> codes;
};

} // namespace

TEST_F(BudgetItemEditorTest, CancelAfterEditsLeavesTheLineAsItWas)
{
    const TWBudgetItemPtr meals = storedLine(TWItemTypeAccount, kMeals);
    const TWBudgetItem before = *meals;
    openStored(TWItemTypeAccount, kMeals);
    EXPECT_EQ(sheet->nameTextField()->text(), QStringLiteral("Meals"));
    EXPECT_EQ(sheet->budgetTextField()->text(), QStringLiteral("100.00"));
    EXPECT_TRUE(sheet->cyclesCheckbox()->isChecked());
    EXPECT_EQ(sheet->cycleTextField()->text(), QStringLiteral("1"));
    EXPECT_EQ(sheet->cycleUnitPopUpButton()->selectedTag(), int(TWBudgetCycleUnitWeek));
    EXPECT_TRUE(sheet->rolloverCheckbox()->isChecked());

    type(sheet->budgetTextField(), QStringLiteral("250"));
    sheet->rolloverCheckbox()->click();
    chooseCycleUnit(TWBudgetCycleUnitMonth);
    sheet->startDatePicker()->setDate(QDate(2026, 5, 1));
    EXPECT_EQ(press(sheet->cancelButton()), -1001);
    EXPECT_EQ(codes, QList<int>({-1001}));

    const TWBudgetItemPtr after = storedLine(TWItemTypeAccount, kMeals);
    EXPECT_EQ(after, meals);
    EXPECT_EQ(after->total(), before.total());
    EXPECT_EQ(after->cycleUnit(), before.cycleUnit());
    EXPECT_EQ(after->rollover(), before.rollover());
    EXPECT_EQ(after->startDate(), before.startDate());
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(BudgetItemEditorTest, TheTypedAmountAndEditsAreSaved)
{
    openStored(TWItemTypeAccount, kRent);
    // Saved while the field still has the focus.
    type(sheet->budgetTextField(), QStringLiteral("1,250.5"));
    type(sheet->cycleTextField(), QStringLiteral("3"));
    sheet->startDatePicker()->setDate(QDate(2026, 2, 1));
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    EXPECT_TRUE(sheet->saved());
    const TWBudgetItemPtr rent = storedLine(TWItemTypeAccount, kRent);
    EXPECT_EQ(rent->total(), 125050);
    EXPECT_EQ(rent->cycle(), 3u);
    EXPECT_EQ(rent->cycleUnit(), std::uint32_t(TWBudgetCycleUnitMonth));
    EXPECT_EQ(rent->startDate().date(), QDate(2026, 2, 1));
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(BudgetItemEditorTest, CycleControlsSwitchTogether)
{
    openStored(TWItemTypeAccount, kMeals);
    // Off: no cycle; rollover keeps its flag but cannot be changed.
    sheet->cyclesCheckbox()->click();
    EXPECT_EQ(sheet->editBudgetItem()->cycleUnit(), std::uint32_t(TWBudgetCycleUnitNone));
    EXPECT_EQ(sheet->editBudgetItem()->cycle(), 0u);
    EXPECT_TRUE(sheet->cycleTextField()->text().isEmpty());
    EXPECT_FALSE(sheet->cycleTextField()->isEnabled());
    EXPECT_FALSE(sheet->rolloverCheckbox()->isEnabled());
    EXPECT_TRUE(sheet->rolloverCheckbox()->isChecked());
    EXPECT_TRUE(sheet->editBudgetItem()->rollover());

    // On: one day.
    sheet->cyclesCheckbox()->click();
    EXPECT_EQ(sheet->editBudgetItem()->cycle(), 1u);
    EXPECT_EQ(sheet->editBudgetItem()->cycleUnit(), std::uint32_t(TWBudgetCycleUnitDay));
    EXPECT_EQ(sheet->cycleTextField()->text(), QStringLiteral("1"));
    EXPECT_EQ(sheet->cycleUnitPopUpButton()->selectedTag(), int(TWBudgetCycleUnitDay));
    EXPECT_TRUE(sheet->rolloverCheckbox()->isEnabled());

    // Choosing no cycle unit clears rollover.
    chooseCycleUnit(TWBudgetCycleUnitNone);
    EXPECT_FALSE(sheet->editBudgetItem()->rollover());
    EXPECT_FALSE(sheet->rolloverCheckbox()->isChecked());
    EXPECT_FALSE(sheet->cyclesCheckbox()->isChecked());
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    const TWBudgetItemPtr meals = storedLine(TWItemTypeAccount, kMeals);
    EXPECT_EQ(meals->cycleUnit(), std::uint32_t(TWBudgetCycleUnitNone));
    EXPECT_FALSE(meals->rollover());
}

TEST_F(BudgetItemEditorTest, ACycleOfZeroOrBelowIsRefused)
{
    openStored(TWItemTypeAccount, kRent);
    for (const QString &text :
         {QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral(""), QStringLiteral("1000")}) {
        sheet->cycleTextField()->setText(text);
        EXPECT_EQ(press(sheet->saveButton()), 0) << text;
        EXPECT_EQ(alerts.last(), TWLocalized("refusedFieldMessage")
                                     .arg(TWLocalized("budgetRepeatEvery"),
                                          TWLocalized("wholeNumberWanted").arg("1", "999", "3")));
        EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->cycle(), 1u);
    }
    // A typed minus is kept and refused, never dropped.
    sheet->cycleTextField()->clear();
    type(sheet->cycleTextField(), QStringLiteral("-3"));
    EXPECT_EQ(sheet->cycleTextField()->text(), QStringLiteral("-3"));
    EXPECT_EQ(press(sheet->saveButton()), 0);
    type(sheet->cycleTextField(), QStringLiteral("3"));
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->cycle(), 3u);
}

TEST_F(BudgetItemEditorTest, TheCycleIsAWholeNumberReadAsEveryTypedNumber)
{
    // Locale, text as typed, the cycle stored (0: refused, naming the field).
    for (const auto &[locale, typed, cycle] : QList<std::tuple<const char *, QString, unsigned>>{
             {"en_US", "1,5", 0},
             {"de_DE", "1,5", 0},
             {"fr_FR", "2,0", 2},
             {"fa_IR", "1,5", 0},
             {"fa_IR", QString::fromUtf8("\u06F1\u06F5"), 15}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(locale, typed).toStdString());
        const TWLocaleGuard guard{QString::fromLatin1(locale)};
        openStored(TWItemTypeAccount, kRent);
        const std::uint32_t before = storedLine(TWItemTypeAccount, kRent)->cycle();
        EXPECT_EQ(sheet->cycleTextField()->text(), QLocale().toString(before));
        alerts.clear();
        sheet->cycleTextField()->selectAll();
        sheet->cycleTextField()->insert(typed); // as the keyboard gives it
        EXPECT_EQ(press(sheet->saveButton()), cycle ? -1002 : 0);
        EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->cycle(), cycle ? cycle : before);
        EXPECT_EQ(alerts.size() == 1 && alerts.last().startsWith(TWLocalized("budgetRepeatEvery")),
                  !cycle);
        if (!cycle)
            press(sheet->cancelButton());
    }
}

TEST_F(BudgetItemEditorTest, ALineWithoutAUnitSavesTheUnitShown)
{
    TWBudgetItemPtr line = TWBudgetItem::budgetItemWithItemType(
        TWItemTypeAccount, kTaxi, 0, nullptr, twDay(2026, 3, 1), 0, TWBudgetCycleUnitNone, false,
        business->nextBudgetItemsIdentifier());
    open(line, TWItemTypeAccount, kTaxi, 0);
    ASSERT_GE(sheet->unitPopUpButton()->currentIndex(), 0);
    const QString shown = sheet->unitPopUpButton()->currentText();
    type(sheet->budgetTextField(), QStringLiteral("40"));
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    const TWBudgetItemPtr taxi = storedLine(TWItemTypeAccount, kTaxi);
    ASSERT_TRUE(taxi);
    ASSERT_TRUE(taxi->unit());
    EXPECT_TRUE(shown.contains(taxi->unit()->code())) << shown;
    EXPECT_EQ(taxi->total(), 4000);
    EXPECT_FALSE(line->unit());
}

TEST_F(BudgetItemEditorTest, AStoreErrorKeepsTheSheetOpen)
{
    openStored(TWItemTypeAccount, kRent);
    type(sheet->budgetTextField(), QStringLiteral("900"));
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "budgetItems");
        EXPECT_EQ(press(sheet->saveButton()), 0);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(sheet->saved());
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->total(), 100000);
    EXPECT_FALSE(document->isDocumentEdited());
    // Another try goes through.
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->total(), 90000);
}

TEST_F(BudgetItemEditorTest, TheViewOpensNewAndExistingLinesAndSelectsTheRow)
{
    TWBudgetController view;
    view.setBusinessController(document.get());
    view.setBusiness(business);
    view.view();
    view.update();
    TWBudgetModel &model = *view.model();
    const int sales = model.itemRow(*business->accountWithIdentifier(kSales));
    view.selectRows({sales});
    EXPECT_TRUE(view.tableViewReturn(view.tableView()));
    TWBudgetItemController *editor = view.budgetItemController();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 0);
    EXPECT_EQ(editor->editBudgetItem()->unit(), business->homeUnit());
    editor->cyclesCheckbox()->click();
    editor->budgetTextField()->setText(QStringLiteral("75"));
    editor->saveButton()->click();
    settle();
    const TWBudgetItemPtr stored = storedLine(TWItemTypeAccount, kSales);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->total(), 7500);
    EXPECT_EQ(stored->cycleUnit(), std::uint32_t(TWBudgetCycleUnitDay));
    EXPECT_EQ(view.selectedRows(), QList<int>({sales}));
    EXPECT_EQ(model.text(sales, TWBudgetModel::Cycle),
              TWFormatter::formatter().budgetItemCycleString(1, TWBudgetCycleUnitDay));

    // An existing line opens in mode 1 on the stored values.
    const int rent = model.itemRow(*business->accountWithIdentifier(kRent));
    view.selectRows({rent});
    view.editSelectedBudgetItem(false);
    EXPECT_EQ(editor->mode(), 1);
    EXPECT_EQ(editor->budgetItem(), storedLine(TWItemTypeAccount, kRent));
    editor->cancelButton()->click();
    settle();
    EXPECT_EQ(view.selectedRows(), QList<int>({rent}));
}

TEST_F(BudgetItemEditorTest, ATypedStartDateIsReadInTheLocalesOrder)
{
    for (const auto &[locale, text] :
         {std::pair{"en_US", "10/5/26"}, std::pair{"en_GB", "5/10/26"}}) {
        SCOPED_TRACE(locale);
        TWLocaleGuard pinned{QString::fromLatin1(locale)};
        openStored(TWItemTypeAccount, kRent);
        twTypeDate(sheet->startDatePicker(), QString::fromLatin1(text));
        EXPECT_EQ(press(sheet->saveButton()), -1002);
        EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->startDate().date(), QDate(2026, 10, 5));
    }
    // Text that names no date stores none: it stays, and Save names the field
    // until it is mended; the line keeps its date.
    TWLocaleGuard pinned{QStringLiteral("en_US")};
    openStored(TWItemTypeAccount, kRent);
    twTypeDate(sheet->startDatePicker(), QStringLiteral("10/45/26"));
    EXPECT_EQ(sheet->startDatePicker()->date(), QDate(2026, 10, 5));
    EXPECT_EQ(sheet->startDatePicker()->text(), QStringLiteral("10/45/26"));
    EXPECT_EQ(press(sheet->saveButton()), 0);
    ASSERT_FALSE(alerts.isEmpty());
    EXPECT_TRUE(alerts.last().startsWith(TWLocalized("startDate") + QStringLiteral(": ")));
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->startDate().date(), QDate(2026, 10, 5));
    twTypeDate(sheet->startDatePicker(), QStringLiteral("10/6/26"));
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->startDate().date(), QDate(2026, 10, 6));
}

TEST_F(BudgetItemEditorTest, AClickedStartDateTakesTheTypedDateAndTabGoesOnToTheNextField)
{
    TWLocaleGuard pinned{QStringLiteral("en_US")};
    openStored(TWItemTypeAccount, kRent);
    // The calendar button is the mouse's alone.
    EXPECT_EQ(twTabWalk(sheet->budgetTextField(), 3),
              (QList<QWidget *>{sheet->unitPopUpButton(), sheet->startDatePicker(),
                                sheet->cyclesCheckbox()}));

    sheet->budgetTextField()->setFocus();
    twClickAndTypeDate(sheet->startDatePicker(), QStringLiteral("10/5/26"));
    EXPECT_EQ(QApplication::focusWidget(), sheet->cyclesCheckbox());
    EXPECT_EQ(press(sheet->saveButton()), -1002);
    EXPECT_EQ(storedLine(TWItemTypeAccount, kRent)->startDate().date(), QDate(2026, 10, 5));
}

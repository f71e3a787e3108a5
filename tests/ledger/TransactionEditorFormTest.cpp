// The editor's form: rows in the register's column order, rows a split or an
// import row leaves out, swapped accounts, read-only controls and the height.

#include "TWDateTypingSupport.h"
#include "TransactionEditorTestSupport.h"

#include "foundation/TWLocalized.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWTotalController.h"

#include <QDateEdit>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace
{

using TransactionEditorForm = TransactionEditorTest;

bool shown(TWTransactionController *editor, qint32 field)
{
    QWidget *value = editor->valueViewForField(field);
    return value && value->isVisibleTo(editor->view());
}

TEST_F(TransactionEditorForm, RowsFollowTheRegisterColumnsAndSkipUnknownEntries)
{
    QVariantMap settings = *business->columnSettings(TWColumnSettingsViewTransactions);
    QVariantList fields;
    for (const qint32 identifier : {-10, -5, 999, -3, -7, -8, -12})
        fields.append(QVariantMap{
            {QStringLiteral("identifier"), QVariant::fromValue(std::uint32_t(identifier))}});
    settings.insert(QStringLiteral("fields"), fields);
    business->updateColumnSettings(TWColumnSettingsViewTransactions, settings);

    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    // 999 names no field; -12 has no row of its own.
    EXPECT_EQ(editor->fields().size(), 6);
    EXPECT_EQ(editor->rowOrder(), (QList<qint32>{-10, -5, -3, -7, -8}));
    auto *label = qobject_cast<QLabel *>(editor->labelViewForField(-10));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), TWLocalized("total") + QLatin1Char(':'));
}

TEST_F(TransactionEditorForm, ASplitTransactionHidesTheAmountAndAccountRows)
{
    TWTransactionPtr transaction = makeTransaction(bank, sales, 100);
    transaction->setHasSplit(true);
    transaction->setSplits({TWSplit::splitWithIdentifier(0, QString(), bank->identifier(), 100, 100,
                                                         100, 0, 0, business->homeUnit()),
                            TWSplit::splitWithIdentifier(0, QString(), sales->identifier(), -100,
                                                         -100, -100, 0, 0, business->homeUnit())});
    TWTransactionController *editor = openNew(transaction);
    ASSERT_TRUE(editor);
    for (const qint32 field : {-10, -7, -8}) {
        EXPECT_TRUE(editor->valueViewForField(field)) << field;
        EXPECT_FALSE(shown(editor, field)) << field;
    }
    EXPECT_TRUE(shown(editor, -5));
    EXPECT_TRUE(shown(editor, -3));
    EXPECT_EQ(editor->splitTransactionButton()->text(), TWLocalized("unsplitTransaction"));

    // Back to one amount: the rows come back on the next refresh.
    editor->editTransaction()->setHasSplit(false);
    editor->updateValues();
    EXPECT_TRUE(shown(editor, -10));
    EXPECT_TRUE(shown(editor, -7));
}

TEST_F(TransactionEditorForm, SplitLinesShowTheirOwnAccountsSideWhenOpenedFromAccountTwo)
{
    // 100.00 into the bank from sales, opened from the sales register.
    TWTransactionPtr transaction = makeTransaction(bank, sales, 10000);
    transaction->setActiveAccountIdentifier(sales->identifier());
    TWTransactionController *editor = openNew(transaction);
    ASSERT_TRUE(editor);
    editor->splitTransaction();
    ASSERT_EQ(editor->splitControllers().size(), 2);

    // Sales is credited 100.00 and the bank debited: each line says so.
    TWSplitController *salesLine = editor->splitControllers().at(0);
    ASSERT_EQ(salesLine->split()->accountIdentifier(), sales->identifier());
    ASSERT_EQ(salesLine->split()->total(), -10000);
    TWTotalController *amounts = salesLine->totalController();
    EXPECT_TRUE(amounts->field(TWTotalFieldDebit)->text().isEmpty());
    EXPECT_FALSE(amounts->field(TWTotalFieldCredit)->text().isEmpty());
    TWTotalController *bankAmounts = editor->splitControllers().at(1)->totalController();
    EXPECT_FALSE(bankAmounts->field(TWTotalFieldDebit)->text().isEmpty());
    EXPECT_TRUE(bankAmounts->field(TWTotalFieldCredit)->text().isEmpty());

    // A debit typed into a line is a debit of that line's account.
    amounts->field(TWTotalFieldDebit)->setText(QStringLiteral("25.00"));
    amounts->updateTotalTextField(TWTotalFieldDebit);
    EXPECT_EQ(salesLine->split()->total(), 2500);
    EXPECT_EQ(salesLine->split()->totalBusiness(), 2500);
}

TEST_F(TransactionEditorForm, ListAndTagPopUpsShowTheValueAndCreateItems)
{
    const TWFieldPtr list = TWField::fieldWithName(QStringLiteral("Project"), TWFieldTypeList,
                                                   false, false, business->nextFieldIdentifier());
    ASSERT_OK(business->addField(list, false));
    business->columnSettingsAddField(*list);
    const TWFieldPtr tags = TWField::fieldWithName(QStringLiteral("Tags"), TWFieldTypeTags, false,
                                                   false, business->nextFieldIdentifier());
    ASSERT_OK(business->addField(tags, false));
    business->columnSettingsAddField(*tags);
    for (const char *name : {"Blue", "Red"})
        ASSERT_OK(business->addFieldTagItem(
            TWFieldTagItem::fieldTagItemWithName(QLatin1String(name), -1), tags, false));

    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    QComboBox *listPopUp = popUp(editor, list->identifier());
    ASSERT_TRUE(listPopUp);
    // No items yet: only the "new item" entry, nothing chosen.
    EXPECT_EQ(listPopUp->currentIndex(), -1);

    choose(listPopUp, TWLocalized("newListItem"));
    EXPECT_EQ(editor->editMode(), TWTransactionController::AddItem::ListItem);
    editor->addItemTextField()->setText(QStringLiteral("Alpha"));
    editor->doAddItemCancelSave(1);
    EXPECT_EQ(editor->editMode(), TWTransactionController::AddItem::None);
    ASSERT_EQ(list->listItems().size(), 1);
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*list, false)->listItemIdentifier(),
              list->listItems().first()->identifier());
    EXPECT_EQ(popUp(editor, list->identifier())->currentText(), QStringLiteral("Alpha"));

    // Cancelling the sheet leaves the value and the pop-up as they were.
    choose(popUp(editor, list->identifier()), TWLocalized("newListItem"));
    editor->addItemTextField()->setText(QStringLiteral("Beta"));
    editor->doAddItemCancelSave(0);
    EXPECT_EQ(list->listItems().size(), 1);
    EXPECT_EQ(popUp(editor, list->identifier())->currentText(), QStringLiteral("Alpha"));

    // Tags: chosen in any order, titled in the field's order; twice removes.
    QComboBox *tagPopUp = popUp(editor, tags->identifier());
    EXPECT_TRUE(tagPopUp->placeholderText().isEmpty());
    choose(tagPopUp, QStringLiteral("Red"));
    choose(tagPopUp, QStringLiteral("Blue"));
    EXPECT_EQ(tagPopUp->placeholderText(), QStringLiteral("Blue, Red"));
    choose(tagPopUp, QStringLiteral("Red"));
    EXPECT_EQ(tagPopUp->placeholderText(), QStringLiteral("Blue"));
    EXPECT_EQ(tagPopUp->currentIndex(), -1);
}

TEST_F(TransactionEditorForm, NothingIsStoredThatTheUserDidNotChooseAndAListValueCanBeCleared)
{
    const TWFixedClock clock(2026, 11, 20);
    const auto add = [this](const char *name, std::uint32_t type) {
        const TWFieldPtr field = TWField::fieldWithName(QLatin1String(name), type, false, false,
                                                        business->nextFieldIdentifier());
        EXPECT_OK(business->addField(field, false));
        business->columnSettingsAddField(*field);
        return field;
    };
    const TWFieldPtr due = add("Due", TWFieldTypeDate);
    // A key or a wheel notch on an empty date starts at today, either way.
    for (const int step : {int(Qt::Key_Up), int(Qt::Key_Down), int(Qt::Key_PageUp), 120, -120}) {
        SCOPED_TRACE(step);
        TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
        auto *picker = qobject_cast<QDateEdit *>(editor->valueViewForField(due->identifier()));
        ASSERT_TRUE(picker);
        if (std::abs(step) == 120) {
            // The wheel steps a date only where the user has put the focus.
            ASSERT_TRUE(twActivate(picker));
            picker->setFocus(Qt::OtherFocusReason);
            ASSERT_TRUE(picker->hasFocus());
            QWheelEvent wheel(QPointF(5, 5), picker->mapToGlobal(QPointF(5, 5)), QPoint(),
                              QPoint(0, step), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(picker, &wheel);
        } else {
            QTest::keyClick(picker, Qt::Key(step));
        }
        const TWFieldValuePtr value = editor->editTransaction()->fieldValueWithField(*due, false);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->date().date(), QDate(2026, 11, 20));
        QTest::keyClick(picker, Qt::Key_Up); // from a date on, a step is a step
        EXPECT_GT(value->date().date(), QDate(2026, 11, 20));
        editor->doSave(0);
    }

    // No list value shows the empty entry, never the first item; the entry
    // clears a chosen item, and the save keeps none.
    const TWFieldPtr list = add("Project", TWFieldTypeList);
    const TWTransactionPtr stored = storeTransaction(QStringLiteral("Acme"), 100);
    for (const char *name : {"Alpha", "Beta"})
        ASSERT_OK(business->addFieldListItem(
            TWFieldListItem::fieldListItemWithName(QLatin1String(name), -1), list, false));
    TWTransactionController *editor = openEdit(stored);
    QComboBox *listPopUp = popUp(editor, list->identifier());
    ASSERT_TRUE(listPopUp);
    EXPECT_TRUE(listPopUp->currentText().isEmpty()) << listPopUp->currentText().toStdString();
    choose(listPopUp, QStringLiteral("Beta"));
    EXPECT_EQ(editor->editTransaction()->fieldValueWithField(*list, false)->listItemIdentifier(),
              list->listItems().last()->identifier());
    choose(listPopUp, QString());
    EXPECT_TRUE(listPopUp->currentText().isEmpty());
    EXPECT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
    const TWFieldValuePtr saved = business->transactionWithIdentifier(stored->identifier())
                                      ->fieldValueWithField(*list, false);
    EXPECT_FALSE(saved && saved->hasValue());
}

TEST_F(TransactionEditorForm, TheEditorOpensWideEnoughForItsWholeForm)
{
    // Unsplit and split: every row at its wanted width, inside what the form
    // shows, within the screen.
    for (const bool split : {false, true}) {
        SCOPED_TRACE(split);
        TWTransactionController *editor = openEdit(storeTransaction(QStringLiteral("Acme"), 100));
        ASSERT_TRUE(editor);
        if (split)
            editor->splitTransaction();
        QWidget *window = editor->view()->window();
        ASSERT_NE(window, editor->view());
        QCoreApplication::processEvents();
        const QWidget *viewport = editor->scrollArea()->viewport();
        for (const qint32 field : editor->rowOrder()) {
            const QWidget *value = editor->valueViewForField(field);
            if (!value->isVisibleTo(editor->view()))
                continue;
            SCOPED_TRACE(field);
            EXPECT_GE(value->width(), value->sizeHint().width());
            EXPECT_LE(value->mapTo(viewport, QPoint(value->width(), 0)).x(), viewport->width());
        }
        EXPECT_LE(window->frameGeometry().width(), window->screen()->availableGeometry().width());
        editor->doSave(0);
    }
}

} // namespace

namespace
{

TEST_F(TransactionEditorForm, SplittingFromTheAccountMenuShowsLinesAndUnsplittingBringsTheRowsBack)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 1000));
    ASSERT_TRUE(editor);
    choose(popUp(editor, -7), TWLocalized("splitTransactionMore"));
    ASSERT_TRUE(editor->editTransaction()->hasSplit());
    EXPECT_EQ(editor->splitControllers().size(), 2);
    EXPECT_FALSE(shown(editor, -10));
    EXPECT_TRUE(editor->newSplitButton()->isVisibleTo(editor->view()));

    // A new line takes the balance, so the lines still add up to zero.
    const TWSplitPtr first = editor->editTransaction()->splits().first();
    first->setTotal(1200);
    first->setTotalAccount(1200);
    first->setTotalBusiness(1200);
    editor->newSplit();
    ASSERT_EQ(editor->splitControllers().size(), 3);
    EXPECT_EQ(editor->editTransaction()->splits().last()->totalBusiness(), -200);

    editor->deleteSplit(editor->splitControllers().last());
    editor->deleteSplit(editor->splitControllers().last());
    EXPECT_FALSE(editor->editTransaction()->hasSplit());
    EXPECT_TRUE(editor->splitControllers().isEmpty());
    EXPECT_TRUE(shown(editor, -10));
    EXPECT_TRUE(shown(editor, -7));
    EXPECT_EQ(editor->splitTransactionButton()->text(), TWLocalized("splitTransaction"));
}

} // namespace

TEST_F(TransactionEditorForm, TabWalksEveryRowDownwardFromTheDatesToTheNextRow)
{
    for (const auto &[name, type] :
         {std::pair{"Due", TWFieldTypeDate}, std::pair{"Reference", TWFieldTypeText},
          std::pair{"Billable", TWFieldTypeCheckbox}}) {
        const TWFieldPtr field = TWField::fieldWithName(QLatin1String(name), type, false, false,
                                                        business->nextFieldIdentifier());
        ASSERT_OK(business->addField(field, false));
        business->columnSettingsAddField(*field);
    }
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    const QList<qint32> rows = editor->rowOrder();
    const auto rowOf = [&](const QWidget *widget) {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QWidget *value = editor->valueViewForField(rows.at(i));
            if (value == widget || value->isAncestorOf(widget))
                return int(i);
        }
        // Below the rows: the split lines and the attachments.
        return int(rows.size());
    };
    // The rows Tab can stop in: each holds a control that takes the focus.
    QList<int> expected;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QWidget *value = editor->valueViewForField(rows.at(i));
        QList<QWidget *> controls = value->findChildren<QWidget *>();
        controls.prepend(value);
        if (std::any_of(controls.cbegin(), controls.cend(), [value](const QWidget *control) {
                return (control->focusPolicy() & Qt::TabFocus) && !control->focusProxy() &&
                       control->isVisibleTo(value) && control->isEnabled();
            }))
            expected.append(int(i));
    }
    ASSERT_GT(expected.size(), 5);

    // From the first row down to the split button: each row in turn, never
    // back up, never into a row's calendar button.
    QWidget *start = editor->valueViewForField(rows.at(expected.first()));
    QList<int> visited{expected.first()};
    QString walk;
    bool reachedSplitButton = false;
    for (QWidget *focus : twTabWalk(start, 60)) {
        if (focus == editor->splitTransactionButton()) {
            reachedSplitButton = true;
            break;
        }
        const int row = rowOf(focus);
        walk +=
            QStringLiteral(" %1:%2").arg(QLatin1String(focus->metaObject()->className())).arg(row);
        ASSERT_GE(row, visited.constLast()) << walk.toStdString();
        if (row == rows.size())
            continue;
        EXPECT_FALSE(qobject_cast<QToolButton *>(focus)) << walk.toStdString();
        if (row != visited.constLast())
            visited.append(row);
    }
    EXPECT_EQ(visited, expected) << walk.toStdString();
    EXPECT_TRUE(reachedSplitButton) << walk.toStdString();
}

TEST_F(TransactionEditorForm, TheSheetIsTitledByWhatItDoes)
{
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->view()->window()->windowTitle(), TWLocalized("sheetTitleNewTransaction"));
    document->endSheet(editor->view(), -1001);
    QCoreApplication::processEvents();
    editor = openEdit(storeTransaction(QStringLiteral("Acme"), 100));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->view()->window()->windowTitle(), TWLocalized("sheetTitleEditTransaction"));
}

TEST_F(TransactionEditorForm, FieldsShowWhatIsStoredUnderTheirNamesAsWritten)
{
    const auto add = [this](const char *name, std::uint32_t type) {
        const TWFieldPtr field = TWField::fieldWithName(QString::fromUtf8(name), type, false, false,
                                                        business->nextFieldIdentifier());
        EXPECT_OK(business->addField(field, false));
        business->columnSettingsAddField(*field);
        return field;
    };
    const TWFieldPtr due = add("Due", TWFieldTypeDate);
    const TWFieldPtr hours = add("R&D hours", TWFieldTypeNumber);
    const TWFieldPtr reference = add("Quarterly reconciliation reference", TWFieldTypeNumber);
    TWTransactionController *editor = openNew(makeTransaction(bank, sales, 100));
    ASSERT_TRUE(editor);

    // No date stored: none shown, and none stored until one is given.
    auto *picker = qobject_cast<QDateEdit *>(editor->valueViewForField(due->identifier()));
    ASSERT_TRUE(picker);
    EXPECT_TRUE(picker->text().trimmed().isEmpty()) << picker->text().toStdString();
    picker->setDate(QDate(2026, 5, 10));
    const TWFieldValuePtr value = editor->editTransaction()->fieldValueWithField(*due, false);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->date().date(), QDate(2026, 5, 10));
    editor->editTransaction()->removeFieldValueWithIdentifier(due->identifier());
    editor->updateValues();
    EXPECT_TRUE(picker->text().trimmed().isEmpty()) << picker->text().toStdString();

    // The name as written: no shortcut taken from it, and a refusal names it.
    auto *label = qobject_cast<QLabel *>(editor->labelViewForField(hours->identifier()));
    ASSERT_TRUE(label);
    EXPECT_TRUE(QKeySequence::mnemonic(label->text()).isEmpty());
    type(editor, hours->identifier(), QStringLiteral("lots"));
    alerts.clear();
    editor->doSave(1);
    ASSERT_FALSE(alerts.isEmpty());
    EXPECT_TRUE(alerts.first().startsWith(QStringLiteral("R&D hours:")))
        << alerts.first().toStdString();

    // A longer name than the labels' column is cut at its tail and shows
    // whole as a tool tip; a refusal still names it whole.
    QCoreApplication::processEvents();
    auto *cut = qobject_cast<QLabel *>(editor->labelViewForField(reference->identifier()));
    const int column = int(0.2 * editor->scrollArea()->widget()->width()) - 20;
    EXPECT_EQ(cut->width(), column);
    EXPECT_EQ(cut->toolTip(), reference->name());
    EXPECT_TRUE(editor->labelViewForField(-5)->toolTip().isEmpty());
    type(editor, hours->identifier(), QStringLiteral("12"));
    type(editor, reference->identifier(), QStringLiteral("lots"));
    alerts.clear();
    editor->doSave(1);
    ASSERT_FALSE(alerts.isEmpty());
    EXPECT_TRUE(alerts.first().startsWith(reference->name() + QLatin1Char(':')));

    // The labels' column is a fifth of the form's width less 20.
    editor->scrollArea()->setMinimumWidth(1200);
    editor->view()->window()->adjustSize();
    QCoreApplication::processEvents();
    const int form = editor->scrollArea()->widget()->width();
    ASSERT_GT(form, 1000);
    EXPECT_EQ(qobject_cast<QLabel *>(editor->labelViewForField(-5))->width(), int(0.2 * form) - 20);
}

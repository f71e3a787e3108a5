// The expense list: its parent columns, sorting by client with missing names
// first and identifier ties, new expenses, the count and total line, the
// import-selection mode and the texts of its cells.

#include "TWDateTypingSupport.h"
#include "TWWorkTestSupport.h"
#include "app/TWTypedNumberField.h"

#include "work/TWExpenseController.h"
#include "work/TWExpensesController.h"

#include "TWStoreTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <tuple>

namespace
{

class ExpensesView : public TWWorkTest
{
protected:
    void TearDown() override
    {
        if (token)
            TWNotificationCenter::defaultCenter().removeObserver(token);
        expenses.reset();
        TWWorkTest::TearDown();
    }
    void open(const std::optional<TWProjectList> &projects, int mode = 0)
    {
        expenses = std::make_unique<TWExpensesController>();
        expenses->setMode(mode);
        expenses->setBusinessController(document.get());
        expenses->setBusiness(business);
        expenses->setProjects(projects);
        expenses->view()->resize(900, 400);
        expenses->view()->show();
        expenses->update();
        if (!token)
            token = TWNotificationCenter::defaultCenter().addObserver(
                QStringLiteral("expenseNew"), business, [this](const TWNotification &) {
                    if (expenses)
                        expenses->updateExpenses();
                });
    }
    QString cell(int row, int tag) const { return expenses->workText(expenses->table(), row, tag); }

    std::unique_ptr<TWExpensesController> expenses;
    TWNotificationCenter::Token token = 0;
};

} // namespace

TEST_F(ExpensesView, ParentColumnsFollowHowManyProjectsAreShown)
{
    const TWProjectPtr other = addProject(client, QStringLiteral("Other"), 1);
    open(TWProjectList{project});
    EXPECT_EQ(expenses->table()->fieldColumn(TWExpenseColumnClient), -1);
    EXPECT_TRUE(expenses->canAddExpense());
    open(TWProjectList{project, other});
    EXPECT_GE(expenses->table()->fieldColumn(TWExpenseColumnClient), 0);
    EXPECT_GE(expenses->table()->fieldColumn(TWExpenseColumnProject), 0);
    EXPECT_FALSE(expenses->canAddExpense());
    EXPECT_FALSE(expenses->addButton()->isEnabled());
}

TEST_F(ExpensesView, SortingByClientPutsUnnamedClientsFirstAndTiesByIdentifier)
{
    const TWClientPtr unnamed = addClient(QString());
    const TWClientPtr zed = addClient(QStringLiteral("Zed"));
    const TWProjectPtr p1 = addProject(zed, QStringLiteral("Z"), 1);
    const TWProjectPtr p2 = addProject(unnamed, QStringLiteral("U"), 1);
    const TWExpensePtr e1 = addExpense(p1, QStringLiteral("z"), 100);
    const TWExpensePtr e2 = addExpense(p2, QStringLiteral("u"), 100);
    const TWExpensePtr e3 = addExpense(project, QStringLiteral("a1"), 100);
    const TWExpensePtr e4 = addExpense(project, QStringLiteral("a2"), 100);
    open(std::nullopt, TWExpensesController::ModeAllRecords);
    expenses->table()->updateSortBy(TWExpenseColumnClient, true);
    EXPECT_EQ(expenses->expenses(), TWExpenseList({e2, e3, e4, e1}));
    expenses->table()->updateSortDirection(false, true);
    EXPECT_EQ(expenses->expenses(), TWExpenseList({e1, e4, e3, e2}));
    // Same date: identifier order, reversed when descending.
    expenses->table()->updateSortBy(TWExpenseColumnDate, true);
    EXPECT_EQ(expenses->expenses(), TWExpenseList({e4, e3, e2, e1}));
    // Mode 2 has no header menu and no count line.
    EXPECT_TRUE(expenses->table()->headerMenu()->isEmpty());
    EXPECT_FALSE(expenses->countLabel()->isVisible());
}

TEST_F(ExpensesView, CellsShowMoneyAndTaxRates)
{
    const TWExpensePtr expense = addExpense(project, QStringLiteral("Paper"), 123450);
    expense->setTaxRate(7.5);
    expense->setQuantity(2);
    open(TWProjectList{project});
    EXPECT_EQ(cell(0, TWExpenseColumnCost), QStringLiteral("$1,234.50"));
    EXPECT_EQ(cell(0, TWExpenseColumnSubtotal), QStringLiteral("$2,469.00"));
    EXPECT_EQ(cell(0, TWExpenseColumnTaxRate), QStringLiteral("7.5%"));
    EXPECT_EQ(cell(0, TWExpenseColumnQuantity), QStringLiteral("2"));
    EXPECT_EQ(expenses->countLabel()->text(), QStringLiteral("1 ") + TWLocalized("expenseLower"));
    // The sheet shows the bare amount, without grouping.
    expenses->editExpense(expense, false);
    EXPECT_EQ(expenses->expenseSheet()->costField()->text(), QStringLiteral("1234.50"));
    expenses->expenseSheet()->cancelButton()->click();
}

TEST_F(ExpensesView, NewExpenseStartsAtOneAtNoCostAndIsSelected)
{
    project->setTaxRate(8.0);
    addExpense(project, QStringLiteral("Old"), 10);
    open(TWProjectList{project});
    expenses->newExpense();
    TWExpenseController *sheet = expenses->expenseSheet();
    ASSERT_TRUE(sheet);
    EXPECT_DOUBLE_EQ(sheet->editExpense()->quantity(), 1.0);
    EXPECT_EQ(sheet->editExpense()->cost(), 0);
    EXPECT_DOUBLE_EQ(sheet->editExpense()->taxRate(), 8.0);
    sheet->nameField()->setText(QStringLiteral("Train"));
    sheet->costField()->setText(QStringLiteral("12.50"));
    sheet->saveButton()->click();
    settle();
    ASSERT_EQ(expenses->selectedExpenses().size(), 1);
    EXPECT_EQ(expenses->selectedExpenses().first()->name(), QStringLiteral("Train"));
    EXPECT_EQ(expenses->selectedExpenses().first()->cost(), 1250);
    EXPECT_EQ(expenses->countLabel()->text(),
              QStringLiteral("1 / 2 ") + TWLocalized("expensesLower"));
}

// A quantity, tax rate or cost not written as the locale writes numbers ("1,5",
// "8,5", "1234,56" under en_US) is refused in its own field when its editing
// ends: the field keeps its text, marked, and a click elsewhere takes the
// focus there, so what is typed next lands where the user clicked. Save names
// the field, the other fields keep what was typed, and nothing is stored.
TEST_F(ExpensesView, AnUnreadableNumberIsRefusedInItsOwnFieldAndTheOthersStay)
{
    open(TWProjectList{project});
    const qsizetype before = business->expenses().size();
    expenses->newExpense();
    TWExpenseController *sheet = expenses->expenseSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(twActivate(sheet->view()));
    sheet->nameField()->setText(QStringLiteral("Train"));
    sheet->notesField()->setText(QStringLiteral("Return ticket"));
    sheet->costField()->setText(QStringLiteral("12.50"));
    const std::tuple<QLineEdit *, const char *, QString, QLineEdit *> cases[] = {
        {sheet->quantityField(), "quantity", QStringLiteral("1,5"), sheet->costField()},
        {sheet->taxRateField(), "taxRate", QStringLiteral("8,5"), sheet->notesField()},
        {sheet->costField(), "cost", QStringLiteral("1234,56"), sheet->quantityField()},
    };
    for (const auto &[field, label, text, next] : cases) {
        SCOPED_TRACE(text.toStdString());
        const QString good = field->text();
        const QString nextText = next->text();
        alerts.clear();
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        // The click into the next field takes the focus, and what is typed
        // lands there.
        QTest::mouseClick(next, Qt::LeftButton);
        settle();
        EXPECT_EQ(QApplication::focusWidget(), next);
        QTest::keyClick(next, Qt::Key_End);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0"));
        EXPECT_EQ(next->text(), nextText + u'0');
        next->setText(nextText);
        EXPECT_EQ(field->text(), text);
        EXPECT_TRUE(twIsRefused(field));

        sheet->saveButton()->click();
        settle();
        EXPECT_EQ(alerts, QStringList{TWLocalized("refusedFieldMessage")
                                          .arg(TWLocalized(label),
                                               TWFormatter::formatter().typedNumberError())});
        EXPECT_EQ(field->text(), text);
        EXPECT_EQ(QApplication::focusWidget(), field);
        EXPECT_EQ(sheet->nameField()->text(), QStringLiteral("Train"));
        EXPECT_EQ(sheet->notesField()->text(), QStringLiteral("Return ticket"));
        EXPECT_EQ(business->expenses().size(), before);
        field->setText(good);
        EXPECT_FALSE(twIsRefused(field));
    }
    sheet->quantityField()->setText(QStringLiteral("1.5"));
    sheet->saveButton()->click();
    settle();
    ASSERT_EQ(business->expenses().size(), before + 1);
    const TWExpensePtr stored = business->expenses().last();
    EXPECT_EQ(stored->name(), QStringLiteral("Train"));
    EXPECT_EQ(stored->notes(), QStringLiteral("Return ticket"));
    EXPECT_DOUBLE_EQ(stored->quantity(), 1.5);
    EXPECT_EQ(stored->cost(), 1250);
}

TEST_F(ExpensesView, ImportSelectionTicksAndEditsStayInMemory)
{
    const TWExpensePtr stored = addExpense(project, QStringLiteral("Stored"), 100);
    const TWExpensePtr fromFile =
        TWExpense::expenseWithDate(twLocal(2026, 5, 1), QStringLiteral("File"), 1, 500, 0,
                                   QString(), project->identifier(), stored->identifier());
    expenses = std::make_unique<TWExpensesController>();
    expenses->setMode(TWExpensesController::ModeImportSelection);
    expenses->setBusinessController(document.get());
    expenses->setBusiness(business);
    expenses->setExpenses({fromFile});
    expenses->view()->show();
    expenses->update();
    TWNotificationRecorder recorder(business);
    TWWorkTable *table = expenses->table();
    const QModelIndex tick = table->model()->index(0, table->fieldColumn(TWExpenseColumnImport));
    table->model()->setData(tick, Qt::Checked, Qt::CheckStateRole);
    table->model()->setData(tick, Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(expenses->importSelectedExpenses().size(), 1);

    // Editing the ticked expense keeps it ticked with the edited values.
    expenses->editExpense(fromFile, true);
    expenses->expenseSheet()->nameField()->setText(QStringLiteral("Edited"));
    expenses->expenseSheet()->saveButton()->click();
    settle();
    EXPECT_TRUE(expenses->expenseSheet()->saved());
    ASSERT_EQ(expenses->importSelectedExpenses().size(), 1);
    EXPECT_EQ(expenses->importSelectedExpenses().first()->name(), QStringLiteral("Edited"));
    EXPECT_EQ(expenses->expenses().first()->name(), QStringLiteral("Edited"));
    EXPECT_EQ(stored->name(), QStringLiteral("Stored"));

    // The context menu offers only the edit; delete and duplicate are refused.
    table->table()->selectRow(0);
    QMenu *menu = table->tableViewMenu(
        table->table(), table->table()->visualRect(table->model()->index(0, 1)).center());
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), TWLocalized("editExpense"));
    expenses->deleteExpense(false);
    expenses->duplicateSelectedExpense(false);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_EQ(business->expenses().size(), 1);
}

// The budget view: rows and their current-cycle figures, progress colours,
// sorting on every key, the context menu, resets (all or none), rollover in
// place and the chart's own notifications.

#include "TWBudgetTestSupport.h"

#include "reports/ui/TWBudgetController.h"
#include "reports/ui/TWBudgetItemController.h"
#include "reports/ui/TWBudgetModel.h"
#include "reports/ui/TWReportsUI.h"

#include "TWDenyGuard.h"
#include "app/TWListViews.h"
#include "app/TWMenuValidation.h"
#include "model/TWFormatter.h"

#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTest>

namespace
{

class BudgetViewTest : public TWBudgetTest
{
protected:
    void SetUp() override
    {
        TWBudgetTest::SetUp();
        controller = std::make_unique<TWBudgetController>();
        controller->setBusinessController(document.get());
        controller->setBusiness(business);
        controller->view()->resize(1200, 400);
        controller->update();
    }
    void TearDown() override
    {
        controller.reset();
        TWBudgetTest::TearDown();
    }

    TWBudgetModel &model() const { return *controller->model(); }
    QStringList names() const
    {
        QStringList result;
        for (const TWBudgetRow &row : model().rows())
            result.append(row.item->name());
        return result;
    }
    int row(const char *name) const { return int(names().indexOf(QLatin1String(name))); }
    QString cell(const char *name, int column) const { return model().text(row(name), column); }
    void select(const QList<int> &rows) { controller->selectRows(rows); }
    QString money(qint64 value) const
    {
        return TWFormatter::formatter().valueString(value, business->homeUnit().get(), true, true,
                                                    false, true, true);
    }
    QString day(int y, int m, int d) const
    {
        return TWFormatter::formatter().shortDateString(twDay(y, m, d));
    }
    QStringList menuTitles(QMenu *menu) const
    {
        QStringList titles;
        for (QAction *action : menu->actions())
            titles.append(action->objectName());
        return titles;
    }
    QPoint rowPoint(int r) const
    {
        return controller->tableView()->visualRect(model().index(r, 1)).center();
    }

    std::unique_ptr<TWBudgetController> controller;
};

} // namespace

TEST_F(BudgetViewTest, RowsShowTheTreeWithEachCurrentCycle)
{
    ASSERT_EQ(names(),
              QStringList({"Checking", "Costs", "Rent", "Travel", "Meals", "Taxi", "Sales"}));
    QList<int> indents;
    for (const TWBudgetRow &r : model().rows())
        indents.append(r.indentLevel);
    EXPECT_EQ(indents, QList<int>({0, 0, 1, 1, 2, 2, 0}));

    // Without a line: a 0 budget in the home unit, no cycle, no figures.
    EXPECT_EQ(cell("Checking", TWBudgetModel::Budget), QStringLiteral("0.00"));
    EXPECT_EQ(cell("Checking", TWBudgetModel::Unit), QStringLiteral("USD"));
    EXPECT_EQ(cell("Checking", TWBudgetModel::StartDate), QString());
    EXPECT_EQ(cell("Checking", TWBudgetModel::Cycle), TWLocalized("none"));
    for (int column : {TWBudgetModel::Date, TWBudgetModel::Total, TWBudgetModel::Remaining})
        EXPECT_EQ(cell("Taxi", column), QString()) << column;
    EXPECT_FALSE(model()
                     .index(row("Taxi"), TWBudgetModel::Progress)
                     .data(TWBudgetModel::ProgressRole)
                     .isValid());

    // Rent: 500.00 of 1,000.00 in March, exactly half: the dark green.
    EXPECT_EQ(cell("Rent", TWBudgetModel::Budget), QStringLiteral("1000.00"));
    EXPECT_EQ(cell("Rent", TWBudgetModel::Date),
              day(2026, 3, 1) + QStringLiteral(" - ") + day(2026, 3, 31));
    EXPECT_EQ(cell("Rent", TWBudgetModel::Total), money(50000));
    EXPECT_EQ(cell("Rent", TWBudgetModel::Remaining), money(50000));
    const QModelIndex rentProgress = model().index(row("Rent"), TWBudgetModel::Progress);
    EXPECT_EQ(rentProgress.data(TWBudgetModel::ProgressRole).toFloat(), 0.5f);
    EXPECT_EQ(rentProgress.data(TWBudgetModel::ProgressColourRole).value<QColor>(),
              QColor::fromRgbF(0.13f, 0.55f, 0.13f));

    // Meals, weekly with rollover: three weeks of 100.00 less the 40.00 spent
    // before this week leave 260.00; 60.00 spent this week.
    EXPECT_EQ(cell("Meals", TWBudgetModel::Date),
              day(2026, 3, 16) + QStringLiteral(" - ") + day(2026, 3, 22));
    EXPECT_EQ(cell("Meals", TWBudgetModel::Total), money(6000));
    EXPECT_EQ(cell("Meals", TWBudgetModel::Remaining), money(20000));
    EXPECT_FLOAT_EQ(model().budgetTotalForRow(row("Meals"))->progress(), 6000.0f / 26000.0f);

    // Travel counts Meals and Taxi in March: 100.00 of 80.00, over: red.
    EXPECT_EQ(cell("Travel", TWBudgetModel::Total), money(10000));
    EXPECT_EQ(cell("Travel", TWBudgetModel::Remaining), money(-2000));
    EXPECT_TRUE(cell("Travel", TWBudgetModel::Remaining).startsWith(QLatin1Char('(')));
    EXPECT_EQ(model()
                  .index(row("Travel"), TWBudgetModel::Progress)
                  .data(TWBudgetModel::ProgressColourRole)
                  .value<QColor>(),
              QColor(Qt::red));

    // Costs without a cycle: one period from its start, every account below
    // it at any depth (Taxi's February fare too).
    EXPECT_EQ(cell("Costs", TWBudgetModel::Date), day(2026, 1, 1));
    EXPECT_EQ(cell("Costs", TWBudgetModel::Total), money(70000));
    EXPECT_EQ(cell("Costs", TWBudgetModel::Cycle), TWLocalized("none"));
}

TEST_F(BudgetViewTest, ProgressColoursAtTheirBounds)
{
    const QColor darkGreen = QColor::fromRgbF(0.13f, 0.55f, 0.13f);
    const QColor orange = QColor::fromRgbF(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(TWBudgetModel::progressColour(0.0f), darkGreen);
    EXPECT_EQ(TWBudgetModel::progressColour(0.5f), darkGreen);
    EXPECT_EQ(TWBudgetModel::progressColour(std::nextafter(0.5f, 1.0f)), QColor(Qt::green));
    // The float nearest 0.8 lies above 0.8 once widened.
    EXPECT_EQ(TWBudgetModel::progressColour(0.8f), orange);
    EXPECT_EQ(TWBudgetModel::progressColour(std::nextafter(0.8f, 0.0f)), QColor(Qt::green));
    EXPECT_EQ(TWBudgetModel::progressColour(1.0f), orange);
    EXPECT_EQ(TWBudgetModel::progressColour(std::nextafter(1.0f, 2.0f)), QColor(Qt::red));
}

TEST_F(BudgetViewTest, EveryKeySortsBothWaysWithRowsWithoutLines)
{
    struct Case {
        int column;
        QStringList ascending;
        QStringList descending;
    };
    const QList<Case> cases = {
        {TWBudgetModel::Name,
         {"Checking", "Costs", "Rent", "Travel", "Meals", "Taxi", "Sales"},
         {"Sales", "Taxi", "Meals", "Travel", "Rent", "Costs", "Checking"}},
        {TWBudgetModel::Budget,
         {"Checking", "Taxi", "Sales", "Travel", "Meals", "Rent", "Costs"},
         {"Costs", "Rent", "Meals", "Travel", "Checking", "Taxi", "Sales"}},
        {TWBudgetModel::Unit,
         {"Checking", "Taxi", "Sales", "Costs", "Rent", "Travel", "Meals"},
         {"Costs", "Rent", "Travel", "Meals", "Checking", "Taxi", "Sales"}},
        {TWBudgetModel::StartDate,
         {"Costs", "Rent", "Travel", "Meals", "Checking", "Taxi", "Sales"},
         {"Checking", "Taxi", "Sales", "Meals", "Travel", "Costs", "Rent"}},
        {TWBudgetModel::Cycle,
         {"Checking", "Taxi", "Sales", "Costs", "Meals", "Rent", "Travel"},
         {"Rent", "Travel", "Meals", "Costs", "Checking", "Taxi", "Sales"}},
        {TWBudgetModel::Rollover,
         {"Checking", "Costs", "Rent", "Travel", "Taxi", "Sales", "Meals"},
         {"Meals", "Checking", "Costs", "Rent", "Travel", "Taxi", "Sales"}},
        {TWBudgetModel::Date,
         {"Costs", "Rent", "Travel", "Meals", "Checking", "Taxi", "Sales"},
         {"Checking", "Taxi", "Sales", "Meals", "Rent", "Travel", "Costs"}},
        {TWBudgetModel::Total,
         {"Checking", "Taxi", "Sales", "Meals", "Travel", "Rent", "Costs"},
         {"Costs", "Rent", "Travel", "Meals", "Checking", "Taxi", "Sales"}},
        {TWBudgetModel::Remaining,
         {"Travel", "Checking", "Taxi", "Sales", "Meals", "Rent", "Costs"},
         {"Costs", "Rent", "Meals", "Checking", "Taxi", "Sales", "Travel"}},
        {TWBudgetModel::Progress,
         {"Checking", "Taxi", "Sales", "Meals", "Costs", "Rent", "Travel"},
         {"Travel", "Rent", "Costs", "Meals", "Checking", "Taxi", "Sales"}},
    };
    QHeaderView *header = controller->tableView()->horizontalHeader();
    for (const Case &c : cases) {
        header->setSortIndicator(c.column, Qt::AscendingOrder);
        EXPECT_EQ(names(), c.ascending) << TWBudgetModel::sortKey(c.column);
        select({0, 1});
        header->setSortIndicator(c.column, Qt::DescendingOrder);
        EXPECT_EQ(names(), c.descending) << TWBudgetModel::sortKey(c.column);
        EXPECT_TRUE(controller->selectedRows().isEmpty());
    }
    // The view's update goes back to the name order.
    controller->update();
    EXPECT_EQ(names(), cases.first().ascending);
}

TEST_F(BudgetViewTest, ContextMenuAndValidationFollowTheRows)
{
    TWTableView *table = controller->tableView();
    select({row("Checking"), row("Rent"), row("Taxi")});
    QMenu *menu = controller->tableViewMenu(table, rowPoint(row("Rent")));
    EXPECT_EQ(menuTitles(menu), QStringList({"resetBudgetItems"}));
    EXPECT_TRUE(controller->canResetBudgetItem(true));
    EXPECT_FALSE(controller->canEditBudgetItem(true));
    // Space and Return edit only one row.
    EXPECT_FALSE(controller->tableViewSpace(table));
    EXPECT_FALSE(controller->tableViewReturn(table));

    // A row outside the selection is the menu's row alone.
    menu = controller->tableViewMenu(table, rowPoint(row("Meals")));
    EXPECT_EQ(menuTitles(menu), QStringList({"editBudgetItem", "resetBudgetItem"}));
    EXPECT_EQ(controller->contextRows(), QList<int>({row("Meals")}));
    EXPECT_TRUE(controller->validationQuery(TWQuery::CanEditBudgetItem, true));
    EXPECT_FALSE(controller->validationQuery(TWQuery::CanEditBudgetItem, false));

    // Below the rows: no items, and the selection is the context.
    menu = controller->tableViewMenu(table, QPoint(5, table->viewport()->height() - 2));
    EXPECT_TRUE(menu->actions().isEmpty());
    EXPECT_EQ(controller->contextRows().size(), 3);

    table->clearSelection();
    EXPECT_FALSE(controller->canResetBudgetItem(false));
    EXPECT_FALSE(controller->tableViewDelete(table));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(BudgetViewTest, DeleteResetsExactlyTheExistingLinesOfTheRows)
{
    select({row("Checking"), row("Rent"), row("Meals")});
    alertAnswer = 1001;
    EXPECT_TRUE(controller->tableViewDelete(controller->tableView()));
    EXPECT_EQ(business->budgetItems().size(), 4);
    EXPECT_EQ(alertButtons.last().first(), TWLocalized("resetBudgetItems"));

    alertAnswer = 1000;
    select({row("Checking"), row("Rent"), row("Meals")});
    EXPECT_TRUE(controller->tableViewDelete(controller->tableView()));
    EXPECT_EQ(alerts.last(), TWLocalized("resetBudgetItemsTitle"));
    EXPECT_FALSE(storedLine(TWItemTypeAccount, kRent));
    EXPECT_FALSE(storedLine(TWItemTypeAccount, kMeals));
    EXPECT_TRUE(storedLine(TWItemTypeAccountGroup, kCosts));
    EXPECT_TRUE(storedLine(TWItemTypeAccountGroup, kTravel));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(cell("Rent", TWBudgetModel::Total), QString());
    EXPECT_TRUE(controller->selectedRows().isEmpty());
}

TEST_F(BudgetViewTest, ADeniedResetRemovesNoneAndShowsTheError)
{
    {
        TWDenyGuard deny(*business, SQLITE_DELETE, "budgetItems");
        select({row("Rent"), row("Meals")});
        controller->resetBudgetItem(false);
    }
    EXPECT_EQ(business->budgetItems().size(), 4);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(document->isDocumentEdited());

    // The second of three lines fails: the first is kept too.
    twExec(*business, QStringLiteral("CREATE TEMP TRIGGER refuseMeals BEFORE DELETE ON "
                                     "budgetItems WHEN old.itemIdentifier = %1 BEGIN SELECT "
                                     "RAISE(ABORT, 'refused'); END;")
                          .arg(int(kMeals)));
    select({row("Costs"), row("Rent"), row("Meals")});
    controller->resetBudgetItem(false);
    EXPECT_EQ(prompts.errors.size(), 2);
    EXPECT_TRUE(storedLine(TWItemTypeAccountGroup, kCosts));
    EXPECT_TRUE(storedLine(TWItemTypeAccount, kRent));
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM budgetItems;")), 4);
    EXPECT_EQ(cell("Rent", TWBudgetModel::Total), money(50000));
}

TEST_F(BudgetViewTest, ResetBudgetDeletesEveryLineAfterAsking)
{
    alertAnswer = 1001;
    controller->resetBudget();
    EXPECT_EQ(business->budgetItems().size(), 4);
    alertAnswer = 1000;
    controller->resetBudget();
    EXPECT_EQ(alerts.last(), TWLocalized("resetBudgetTitle"));
    EXPECT_TRUE(business->budgetItems().isEmpty());
    EXPECT_EQ(cell("Costs", TWBudgetModel::Budget), QStringLiteral("0.00"));
}

TEST_F(BudgetViewTest, RolloverTickIsStoredOnlyWithACycle)
{
    const QModelIndex rent = model().index(row("Rent"), TWBudgetModel::Rollover);
    EXPECT_TRUE(model().flags(rent) & Qt::ItemIsUserCheckable);
    ASSERT_TRUE(model().setData(rent, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(storedLine(TWItemTypeAccount, kRent)->rollover());
    EXPECT_EQ(rent.data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_TRUE(document->isDocumentEdited());

    // No cycle, or no line: the box is off and takes no click.
    for (const char *name : {"Costs", "Checking"}) {
        const QModelIndex box = model().index(row(name), TWBudgetModel::Rollover);
        EXPECT_FALSE(model().flags(box) & Qt::ItemIsEnabled) << name;
        EXPECT_FALSE(model().setData(box, Qt::Checked, Qt::CheckStateRole)) << name;
    }
    EXPECT_FALSE(storedLine(TWItemTypeAccount, kChecking));

    // A refused update: the error, wrapped, and the tick as stored.
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "budgetItems");
        ASSERT_TRUE(model().setData(rent, Qt::Unchecked, Qt::CheckStateRole));
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().domain(), QStringLiteral("Tallyworth Budget Error"));
    EXPECT_EQ(prompts.errors.first().code(), -1);
    EXPECT_TRUE(storedLine(TWItemTypeAccount, kRent)->rollover());
    EXPECT_EQ(rent.data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(BudgetViewTest, AFailedCreationShowsTheErrorAndPutsTheTickBack)
{
    {
        TWDenyGuard deny(*business, SQLITE_INSERT, "budgetItems");
        controller->doCheckbox(row("Checking"), true);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().domain(), QStringLiteral("Tallyworth Budget Error"));
    EXPECT_FALSE(storedLine(TWItemTypeAccount, kChecking));
    EXPECT_EQ(model().index(row("Checking"), TWBudgetModel::Rollover).data(Qt::CheckStateRole),
              Qt::Unchecked);

    // Without a refusal the line is made and the flag stored on it.
    controller->doCheckbox(row("Checking"), true);
    const TWBudgetItemPtr made = storedLine(TWItemTypeAccount, kChecking);
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->rollover());
    EXPECT_EQ(made->unit(), business->homeUnit());
    EXPECT_EQ(made->startDate(), clock.now());
}

TEST_F(BudgetViewTest, ARenamedOrDeletedAccountIsReflectedAfterItsNotification)
{
    TWAccountPtr taxi = business->accountWithIdentifier(kTaxi)->copy();
    taxi->setName(QStringLiteral("Cabs"));
    ASSERT_OK(business->updateAccount(taxi, true));
    EXPECT_EQ(names(),
              QStringList({"Checking", "Costs", "Rent", "Travel", "Cabs", "Meals", "Sales"}));

    ASSERT_OK(business->deleteAccount(business->accountWithIdentifier(kRent), true));
    EXPECT_EQ(row("Rent"), -1);
    EXPECT_EQ(cell("Costs", TWBudgetModel::Total), money(20000));

    // A new account waits for the next update.
    account(300, "Bonus", 0, TWAccountTypeIncome);
    EXPECT_EQ(row("Bonus"), -1);
    controller->update();
    EXPECT_GE(row("Bonus"), 0);
}

TEST_F(BudgetViewTest, TheDocumentsBudgetCommandsReachTheView)
{
    TWAppRegistry::registry().reset();
    twRegisterReportsUI();
    TWDetailController *detail =
        TWAppRegistry::registry().makeDetailController(TWDetailBudget, document.get());
    EXPECT_TRUE(qobject_cast<TWBudgetController *>(detail));
    delete detail;

    // The document's edit and reset commands act on its own budget view.
    document->updateSplitViewDetail(TWDetailBudget);
    auto *shown = qobject_cast<TWBudgetController *>(document->detailController(TWDetailBudget));
    ASSERT_TRUE(shown);
    shown->view();
    shown->update();
    shown->selectRows({shown->itemRow(business->accountWithIdentifier(kRent))});
    document->perform(TWAction::doEditBudgetItem);
    ASSERT_TRUE(shown->budgetItemController());
    EXPECT_EQ(shown->budgetItemController()->budgetItem(), storedLine(TWItemTypeAccount, kRent));
    shown->budgetItemController()->cancelButton()->click();
    settle();
    document->perform(TWAction::doResetBudgetItem);
    EXPECT_FALSE(storedLine(TWItemTypeAccount, kRent));
    EXPECT_TRUE(storedLine(TWItemTypeAccount, kMeals));

    // Double-click fits a column by the view's width rules.
    TWTableView *table = controller->tableView();
    table->setColumnWidth(TWBudgetModel::Date, 20);
    table->resizeColumnToContents(TWBudgetModel::Date);
    EXPECT_GE(table->columnWidth(TWBudgetModel::Date), 160);
    table->setColumnWidth(TWBudgetModel::Name, 20);
    table->resizeColumnToContents(TWBudgetModel::Name);
    const QFontMetrics metrics = table->fontMetrics();
    EXPECT_GE(table->columnWidth(TWBudgetModel::Name),
              metrics.horizontalAdvance(QStringLiteral("Meals")) + 25 + 20 + 30);
}

// Meals spent 340.00 in its first two weeks against 300.00 for three weeks:
// this week has less than nothing left, and its 60.00 is over the budget.
TEST_F(BudgetViewTest, SpendingWithNothingLeftShowsAFullRedBar)
{
    spend(5, twDay(2026, 3, 4), kMeals, 30000);
    controller->update();
    const int meals = row("Meals");
    EXPECT_EQ(cell("Meals", TWBudgetModel::Remaining), money(-10000));
    const QModelIndex progress = model().index(meals, TWBudgetModel::Progress);
    EXPECT_GT(progress.data(TWBudgetModel::ProgressRole).toFloat(), 1.0f);
    EXPECT_EQ(progress.data(TWBudgetModel::ProgressColourRole).value<QColor>(), QColor(Qt::red));

    // Drawn full: red up to the bar's right end.
    TWTableView *table = controller->tableView();
    QAbstractItemDelegate *delegate = table->itemDelegateForColumn(TWBudgetModel::Progress);
    ASSERT_TRUE(delegate);
    QImage image(200, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.initFrom(table);
        option.rect = image.rect();
        delegate->paint(&painter, option, progress);
    }
    const QColor end = image.pixelColor(190, 12);
    EXPECT_GT(end.red(), 200) << qPrintable(end.name());
    EXPECT_LT(end.green(), 60) << qPrintable(end.name());
}

// The tasks view driven through its real widgets: column settings kept in the
// store, sorting, the count and total line, context rows, deleting,
// duplicating and marking against the real store, the import-selection mode,
// and the timer's rows.

#include "TWWorkTestSupport.h"

#include "work/TWExpenseController.h"
#include "work/TWTaskController.h"
#include "work/TWTaskTimerCore.h"
#include "work/TWTasksController.h"

#include "TWDenyGuard.h"
#include "TWListRowsSupport.h"
#include "TWStoreTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWPreferences.h"
#include "store/TWNotifications.h"
#include "store/TWTransactionEditing.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>

namespace
{

class TasksView : public TWWorkTest
{
protected:
    void TearDown() override
    {
        for (auto token : tokens)
            TWNotificationCenter::defaultCenter().removeObserver(token);
        tasks.reset();
        TWWorkTest::TearDown();
    }

    // A tasks view of the projects, reloaded on task notifications as the
    // document does for the clients view.
    void open(const std::optional<TWProjectList> &projects, int mode = 0)
    {
        tasks = std::make_unique<TWTasksController>();
        tasks->setMode(mode);
        tasks->setBusinessController(document.get());
        tasks->setBusiness(business);
        tasks->setProjects(projects);
        tasks->view()->resize(900, 600);
        tasks->view()->show();
        tasks->update();
        if (tokens.empty())
            for (const char *name : {"taskNew", "taskDelete", "taskUpdate"})
                tokens.push_back(TWNotificationCenter::defaultCenter().addObserver(
                    QLatin1String(name), business, [this](const TWNotification &) {
                        if (tasks && tasks->mode() != 1)
                            tasks->updateTasks();
                    }));
    }
    QStringList names() const
    {
        QStringList result;
        for (const TWTaskPtr &task : tasks->tasks())
            result.append(task->name().isNull() ? QStringLiteral("<nil>") : task->name());
        return result;
    }
    void select(const QList<int> &rows)
    {
        QTableView *table = tasks->tasksTable()->table();
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(tasks->tasksTable()->model()->index(row, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
    }
    QPoint rowPoint(int row) const
    {
        QTableView *table = tasks->tasksTable()->table();
        return table->visualRect(tasks->tasksTable()->model()->index(row, 0)).center();
    }

    std::unique_ptr<TWTasksController> tasks;
    std::vector<TWNotificationCenter::Token> tokens;
};

} // namespace

TEST_F(TasksView, ColumnSettingsAreKeptAfterHidingMovingAndResizing)
{
    open(TWProjectList{project});
    TWWorkTable *table = tasks->tasksTable();
    EXPECT_EQ(table->fieldColumn(TWTaskColumnClient), -1);
    ASSERT_GE(table->fieldColumn(TWTaskColumnNotes), 0);

    table->toggleFieldVisible(TWTaskColumnNotes);
    EXPECT_EQ(table->fieldColumn(TWTaskColumnNotes), -1);
    QHeaderView *header = table->table()->horizontalHeader();
    // Name moved to the front, then widened.
    header->moveSection(header->visualIndex(table->fieldColumn(TWTaskColumnName)), 0);
    header->resizeSection(table->fieldColumn(TWTaskColumnName), 222);

    const QVariantMap stored = *business->columnSettings(TWColumnSettingsViewTasks);
    const QVariantList fields = stored.value(TWColumnSettingsFieldsKey).toList();
    EXPECT_EQ(fields.first().toMap().value(TWColumnSettingsIdentifierKey).toString(),
              QStringLiteral("name"));
    EXPECT_DOUBLE_EQ(fields.first().toMap().value(TWColumnSettingsWidthKey).toDouble(), 222.0);
    // Entries not shown (the import column too) follow the shown ones in their old order.
    QStringList hidden;
    for (const QVariant &entry : fields.mid(table->model()->columnCount()))
        hidden.append(entry.toMap().value(TWColumnSettingsIdentifierKey).toString());
    EXPECT_EQ(hidden, QStringList({QStringLiteral("import"), QStringLiteral("client"),
                                   QStringLiteral("project"), QStringLiteral("notes")}));

    // A new view of the same business shows the same layout.
    open(TWProjectList{project});
    table = tasks->tasksTable();
    EXPECT_EQ(table->fieldColumn(TWTaskColumnName), 0);
    EXPECT_EQ(table->table()->horizontalHeader()->sectionSize(0), 222);
    EXPECT_EQ(table->fieldColumn(TWTaskColumnNotes), -1);
    // The header menu lists every column, hidden ones too, alphabetically.
    const QList<TWListMenuItem> items = table->fieldMenuItems(TWAction::doColumnClientTaskContext);
    ASSERT_EQ(items.size(), 13);
    EXPECT_EQ(items.first().representedObject.toString(), QStringLiteral("client"));
    EXPECT_EQ(items.last().representedObject.toString(), QStringLiteral("type"));
}

TEST_F(TasksView, TwoProjectsShowTheParentColumnsAndOfferNoNewTask)
{
    const TWProjectPtr other = addProject(client, QStringLiteral("Other"), 1);
    open(TWProjectList{project, other});
    EXPECT_GE(tasks->tasksTable()->fieldColumn(TWTaskColumnClient), 0);
    EXPECT_GE(tasks->tasksTable()->fieldColumn(TWTaskColumnProject), 0);
    EXPECT_GE(tasks->taskItemsTable()->fieldColumn(TWTaskItemColumnTask), 0);
    EXPECT_FALSE(tasks->canAddTask());
    // The forced columns stay visible in the store.
    open(TWProjectList{project});
    EXPECT_GE(tasks->tasksTable()->fieldColumn(TWTaskColumnClient), 0);
}

TEST_F(TasksView, SortsPutMissingNamesFirstAndTiesByIdentifierBothWays)
{
    const TWTaskPtr b1 = addTask(project, QStringLiteral("b"));
    const TWTaskPtr none = addTask(project, QString());
    const TWTaskPtr a = addTask(project, QStringLiteral("a"));
    const TWTaskPtr b2 = addTask(project, QStringLiteral("b"));
    const TWTaskPtr capital = addTask(project, QStringLiteral("B"));
    open(TWProjectList{project});
    tasks->tasksTable()->updateSortBy(TWTaskColumnName, true);
    EXPECT_EQ(names(), QStringList({"<nil>", "B", "a", "b", "b"}));
    EXPECT_EQ(tasks->tasks().at(3), b1);
    EXPECT_EQ(tasks->tasks().at(4), b2);
    tasks->tasksTable()->updateSortDirection(false, true);
    EXPECT_EQ(names(), QStringList({"b", "b", "a", "B", "<nil>"}));
    EXPECT_EQ(tasks->tasks().at(0), b2);
    EXPECT_EQ(tasks->tasks().at(1), b1);

    // A click on the header sorts and stores what it chose.
    QHeaderView *header = tasks->tasksTable()->table()->horizontalHeader();
    header->setSortIndicator(tasks->tasksTable()->fieldColumn(TWTaskColumnDate),
                             Qt::AscendingOrder);
    const QVariantMap stored = *business->columnSettings(TWColumnSettingsViewTasks);
    EXPECT_EQ(stored.value(TWColumnSettingsSortFieldKey).toString(), QStringLiteral("date"));
    EXPECT_EQ(stored.value(TWColumnSettingsSortDirectionKey).toUInt(), 0u);
    EXPECT_EQ(tasks->tasks().first(), b1);
    Q_UNUSED(none);
    Q_UNUSED(a);
    Q_UNUSED(capital);
}

TEST_F(TasksView, DateSortsBothWaysTieByIdentifierAndRowsAreFoundAfterEachSort)
{
    const TWTaskPtr march = addTask(project, QStringLiteral("march"));
    const TWTaskPtr may =
        addTask(project, QStringLiteral("may"), TWTaskTypeTimed, 0.0, twLocal(2026, 5, 1));
    const TWTaskPtr alsoMarch = addTask(project, QStringLiteral("also march"));
    const TWTaskPtr january =
        addTask(project, QStringLiteral("january"), TWTaskTypeTimed, 0.0, twLocal(2026, 1, 1));
    // Two items starting together (the first added first), ending apart.
    const TWTaskItemPtr longer = addItem(march, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 12));
    const TWTaskItemPtr shorter = addItem(may, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    const TWTaskItemPtr earlier = addItem(march, twLocal(2026, 2, 1, 9), twLocal(2026, 2, 1, 17));
    open(TWProjectList{project});

    const auto sort = [](TWWorkTable *table, int tag, bool ascending) {
        table->updateSortBy(tag, false);
        table->updateSortDirection(ascending, true);
    };
    sort(tasks->tasksTable(), TWTaskColumnDate, true);
    EXPECT_EQ(names(), QStringList({"january", "march", "also march", "may"}));
    sort(tasks->tasksTable(), TWTaskColumnDate, false);
    EXPECT_EQ(names(), QStringList({"may", "also march", "march", "january"}));
    EXPECT_EQ(tasks->taskRow(*may), 0);
    EXPECT_EQ(tasks->taskRow(*january), 3);
    EXPECT_EQ(tasks->taskRow(*alsoMarch), 1);

    const auto items = [&] { return tasks->taskItems(); };
    sort(tasks->taskItemsTable(), TWTaskItemColumnStart, true);
    EXPECT_EQ(items(), TWTaskItemList({earlier, longer, shorter}));
    EXPECT_EQ(tasks->taskItemRow(*shorter), 2);
    sort(tasks->taskItemsTable(), TWTaskItemColumnStart, false);
    EXPECT_EQ(items(), TWTaskItemList({longer, shorter, earlier}));
    EXPECT_EQ(tasks->taskItemRow(*earlier), 2);
    sort(tasks->taskItemsTable(), TWTaskItemColumnEnd, true);
    EXPECT_EQ(items(), TWTaskItemList({earlier, shorter, longer}));
    EXPECT_EQ(tasks->taskItemRow(*longer), 2);
    EXPECT_EQ(tasks->taskItemRow(*earlier), 0);
}

TEST_F(TasksView, QuantitySortsByTaskTypeFirst)
{
    const TWTaskPtr day = addTask(project, QStringLiteral("day"), TWTaskTypeDay, 1);
    const TWTaskPtr flat = addTask(project, QStringLiteral("flat"), TWTaskTypeFlat, 9);
    const TWTaskPtr timed = addTask(project, QStringLiteral("timed"));
    addItem(timed, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 17));
    // Within a type, by the hours the time items add up to (the longer task
    // is also the dearer one).
    const TWTaskPtr shorter = addTask(project, QStringLiteral("shorter"));
    addItem(shorter, twLocal(2026, 3, 2, 9), twLocal(2026, 3, 2, 10));
    addItem(shorter, twLocal(2026, 3, 3, 9), twLocal(2026, 3, 3, 10));
    open(TWProjectList{project});
    tasks->tasksTable()->updateSortBy(TWTaskColumnQuantity, true);
    EXPECT_EQ(names(), QStringList({"shorter", "timed", "flat", "day"}));
    tasks->tasksTable()->updateSortBy(TWTaskColumnTotal, true);
    EXPECT_EQ(names().indexOf("shorter") < names().indexOf("timed"), true);
    tasks->tasksTable()->updateSortDirection(false, true);
    EXPECT_EQ(names().indexOf("timed") < names().indexOf("shorter"), true);
}

TEST_F(TasksView, CountAndTotalLines)
{
    for (int i = 0; i < 5; ++i)
        addTask(project, QStringLiteral("T%1").arg(i), TWTaskTypeFlat, 1);
    open(TWProjectList{project});
    EXPECT_EQ(tasks->countLabel()->text(), QStringLiteral("5 ") + TWLocalized("tasksLower"));
    EXPECT_EQ(tasks->totalLabel()->text(), QStringLiteral("$250.00"));
    select({1});
    EXPECT_EQ(tasks->countLabel()->text(), QStringLiteral("1 / 5 ") + TWLocalized("tasksLower"));
    EXPECT_EQ(tasks->totalLabel()->text(), QStringLiteral("$50.00 / $250.00"));

    const TWProjectPtr single = addProject(client, QStringLiteral("Single"), 1);
    addTask(single, QStringLiteral("Only"), TWTaskTypeFlat, 1);
    open(TWProjectList{single});
    select({0});
    EXPECT_EQ(tasks->countLabel()->text(), QStringLiteral("1 / 1 ") + TWLocalized("taskLower"));
}

TEST_F(TasksView, RightClickOnAnUnselectedRowActsOnThatRowOnly)
{
    for (int i = 0; i < 3; ++i)
        addTask(project, QStringLiteral("T%1").arg(i));
    open(TWProjectList{project});
    select({0});
    TWWorkTable *table = tasks->tasksTable();
    QMenu *menu = table->tableViewMenu(table->table(), rowPoint(2));
    ASSERT_TRUE(menu);
    EXPECT_EQ(table->contextRows(), QList<int>({2}));
    EXPECT_EQ(table->selectedRows(), QList<int>({0}));
    EXPECT_TRUE(tasks->canEditTask(true));
    EXPECT_EQ(tasks->selectedTask(true), tasks->tasks().at(2));
    EXPECT_TRUE(tasks->taskTableViewHasContextMenu(menu));
    QStringList titles;
    for (QAction *action : menu->actions())
        titles.append(action->text());
    EXPECT_TRUE(titles.contains(TWLocalized("editTask")));
    EXPECT_TRUE(titles.contains(TWLocalized("duplicateTask")));

    // Below the last row: the selection, and only "new".
    menu = table->tableViewMenu(table->table(), QPoint(10, 590));
    ASSERT_TRUE(menu);
    EXPECT_EQ(table->contextRows(), QList<int>({0}));
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), TWLocalized("newTask"));
}

TEST_F(TasksView, DeletingThreeSelectedRowsWhileTheListReloads)
{
    for (int i = 0; i < 5; ++i)
        addTask(project, QStringLiteral("T%1").arg(i), TWTaskTypeTimed, 0, twLocal(2026, 3, 1 + i));
    open(TWProjectList{project});
    select({0, 2, 4});
    tasks->tasksTable()->table()->setFocus();
    QTest::keyClick(tasks->tasksTable()->table(), Qt::Key_Delete);
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteTasksTitle")}));
    EXPECT_EQ(names(), QStringList({"T1", "T3"}));
    EXPECT_EQ(business->tasksWithProject(*project).size(), 2);
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(TasksView, DeletingBilledWorkNamesItsInvoicesKeepsClosedOnesAndRebooksTheRest)
{
    TWFixedClock clock(2026, 6, 15);
    const TWTaskPtr audit =
        addTask(project, QStringLiteral("Audit"), TWTaskTypeHour, 3, twLocal(2025, 5, 1)); // 150.00
    const TWTaskPtr design = addTask(project, QStringLiteral("Design"), TWTaskTypeHour, 2,
                                     twLocal(2026, 3, 1)); // 100.00
    const TWExpensePtr hosting =
        addExpense(project, QStringLiteral("Hosting"), 4000, twLocal(2026, 3, 2));
    billOn(QStringLiteral("1001"), twLocal(2025, 5, 31), {audit}, {});
    const TWInvoicePtr current =
        billOn(QStringLiteral("1002"), twLocal(2026, 3, 31), {design}, {hosting});
    const auto year = [](int number, bool closed) {
        return TWAccountingPeriod::accountingPeriodWithName(
            QString::number(number), twLocal(number, 1, 1), twLocal(number, 12, 31), closed,
            number);
    };
    business->businessInfo()->setAccountingPeriods({year(2025, true), year(2026, false)});
    ASSERT_OK(business->updateTransactionStates());
    const qint32 ar =
        accountOfType(TWAccountTypeAccountsReceivable, QStringLiteral("Receivable"))->identifier();
    const qint32 income = accountOfType(TWAccountTypeIncome, QStringLiteral("Sales"))->identifier();
    const auto sums = [&] {
        QHash<qint32, qint64> all = twAccountSumsFromRows(*business);
        return QHash<qint32, qint64>{{ar, all.value(ar)}, {income, all.value(income)}};
    };
    ASSERT_EQ(sums(), (QHash<qint32, qint64>{{ar, 29000}, {income, -29000}}));

    open(TWProjectList{project});
    const auto deleteNamed = [this](const QString &name) {
        select({int(names().indexOf(name))});
        tasks->tasksTable()->table()->setFocus();
        QTest::keyClick(tasks->tasksTable()->table(), Qt::Key_Delete);
    };
    // 2025's invoice keeps what it billed: said, nothing deleted, at the store too.
    deleteNamed(QStringLiteral("Audit"));
    EXPECT_EQ(alerts.last(), TWLocalized("deleteBilledClosedWorkOne").arg(QStringLiteral("1001")));
    EXPECT_TRUE(business->taskWithIdentifier(audit->identifier()));
    EXPECT_TRUE(business->deleteTask(audit, true));
    EXPECT_EQ(sums(), (QHash<qint32, qint64>{{ar, 29000}, {income, -29000}}));

    // The open invoice is named, and its entry books what it still bills at once.
    deleteNamed(QStringLiteral("Design"));
    EXPECT_EQ(alerts.last(), TWLocalized("deleteTaskTitle"));
    // The invoice was sent: what the client will then be owed on it is said.
    EXPECT_EQ(informative.last(),
              TWLocalized("deleteBilledWorkInformativeOne").arg(QStringLiteral("1002")) +
                  QStringLiteral("\n\n") +
                  TWLocalized("deleteBilledSentInvoice")
                      .arg(QStringLiteral("1002"), QStringLiteral("$40.00")));
    EXPECT_FALSE(business->taskWithIdentifier(design->identifier()));
    EXPECT_EQ(sums(), (QHash<qint32, qint64>{{ar, 15000 + 4000}, {income, -19000}}));
    EXPECT_OK(business->deleteExpense(hosting, true));
    EXPECT_EQ(sums(), (QHash<qint32, qint64>{{ar, 15000}, {income, -15000}}));
    EXPECT_TRUE(business->invoiceWithIdentifier(current->identifier()));
}

TEST_F(TasksView, ADuplicateWhoseFirstCopyFailsPostsNothing)
{
    addTask(project, QStringLiteral("A"));
    addTask(project, QStringLiteral("B"));
    open(TWProjectList{project});
    twExec(*business, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON tasks "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    TWNotificationRecorder recorder(business);
    select({0, 1});
    tasks->duplicateSelectedTask(false);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(business->tasksWithProject(*project).size(), 2);
    twExec(*business, QStringLiteral("DROP TRIGGER refuse"));

    // Without the trigger both copies are added, not completed, with one notification.
    business->tasks().first()->setCompleted(true);
    select({0, 1});
    tasks->duplicateSelectedTask(false);
    EXPECT_EQ(recorder.names(), QStringList({TWTaskNewNotification}));
    EXPECT_EQ(business->tasksWithProject(*project).size(), 4);
    EXPECT_FALSE(business->tasks().last()->completed());
}

TEST_F(TasksView, ARefusedMarkPutsTheOldValueBack)
{
    const TWTaskPtr task = addTask(project, QStringLiteral("A"));
    open(TWProjectList{project});
    TWWorkTableModel *model = tasks->tasksTable()->model();
    const QModelIndex box =
        model->index(0, tasks->tasksTable()->fieldColumn(TWTaskColumnCompleted));
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "tasks");
        model->setData(box, Qt::Checked, Qt::CheckStateRole);
        EXPECT_FALSE(task->completed());
        EXPECT_EQ(model->data(box, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_EQ(prompts.errors.first().domain(), QStringLiteral("Tallyworth Tasks Error"));
        select({0});
        tasks->markTask(true, false);
        EXPECT_FALSE(task->completed());
        EXPECT_EQ(prompts.errors.size(), 2);
    }
    model->setData(model->index(0, tasks->tasksTable()->fieldColumn(TWTaskColumnCompleted)),
                   Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(task->completed());
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT completed FROM tasks WHERE identifier = %1")
                                  .arg(task->identifier())),
        std::optional<qint64>(1));
}

TEST_F(TasksView, ImportSelectionTouchesNoStore)
{
    const TWTaskPtr stored = addTask(project, QStringLiteral("Stored"));
    // A file's task whose identifier names the stored one.
    const TWTaskPtr fromFile =
        TWTask::taskWithDate(twLocal(2026, 4, 1), false, QStringLiteral("File"), TWTaskTypeTimed, 0,
                             0, 100, 0, QString(), project->identifier(), stored->identifier());
    fromFile->setTaskItems({TWTaskItem::taskItemWithStartDateTime(
        twLocal(2026, 4, 1, 9), twLocal(2026, 4, 1, 10), QString(), stored->identifier(), 7)});
    struct Delegate : TWTasksControllerDelegate {
        int told = 0;
        void tasksControllerImportSelectedTasksChanged(TWTasksController *) override { ++told; }
    } delegate;
    tasks = std::make_unique<TWTasksController>();
    tasks->setMode(TWTasksController::ModeImportSelection);
    tasks->setDelegate(&delegate);
    tasks->setBusinessController(document.get());
    tasks->setBusiness(business);
    tasks->setTasks({fromFile});
    tasks->view()->show();
    tasks->update();
    TWNotificationRecorder recorder(business);

    TWWorkTable *table = tasks->tasksTable();
    ASSERT_GE(table->fieldColumn(TWTaskColumnImport), 0);
    EXPECT_FALSE(tasks->countLabel()->isVisible());
    EXPECT_TRUE(table->headerMenu()->isEmpty());
    const QModelIndex tick = table->model()->index(0, table->fieldColumn(TWTaskColumnImport));
    table->model()->setData(tick, Qt::Checked, Qt::CheckStateRole);
    table->model()->setData(tick, Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(tasks->importSelectedTasks(), TWTaskList({fromFile}));
    table->model()->setData(tick, Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_TRUE(tasks->importSelectedTasks().isEmpty());
    EXPECT_EQ(delegate.told, 3);

    // Its items are the ones it carries; its quantity counts them, not the stored task's.
    EXPECT_EQ(tasks->taskItems().size(), 1);
    EXPECT_EQ(table->model()
                  ->data(table->model()->index(0, table->fieldColumn(TWTaskColumnQuantity)))
                  .toString(),
              QStringLiteral("1:00"));

    select({0});
    tasks->markTask(true, false);
    EXPECT_TRUE(fromFile->completed());
    EXPECT_FALSE(stored->completed());
    EXPECT_FALSE(tasks->canDeleteTask(false));
    EXPECT_FALSE(tasks->canDuplicateTask(false));
    select({0});
    tasks->deleteTask(false);
    tasks->duplicateSelectedTask(false);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_TRUE(business->taskWithIdentifier(stored->identifier()));
    EXPECT_EQ(business->tasks().size(), 1);
}

TEST_F(TasksView, NewTaskTakesTheProjectsRatesAndIsSelectedOnceSaved)
{
    project->setTaxRate(7.5);
    addTask(project, QStringLiteral("Existing"));
    open(TWProjectList{project});
    tasks->newTask();
    TWTaskController *sheet = tasks->taskSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->editTask()->taskType(), std::uint32_t(TWTaskTypeTimed));
    EXPECT_EQ(sheet->editTask()->rate(), project->rate());
    EXPECT_DOUBLE_EQ(sheet->editTask()->taxRate(), 7.5);
    sheet->nameField()->setText(QStringLiteral("Brand new"));
    sheet->saveButton()->click();
    settle();
    ASSERT_EQ(tasks->selectedTasks().size(), 1);
    EXPECT_EQ(tasks->selectedTasks().first()->name(), QStringLiteral("Brand new"));
}

TEST_F(TasksView, TimeItemTableFollowsTheChosenTasks)
{
    const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
    const TWTaskPtr flat = addTask(project, QStringLiteral("Flat"), TWTaskTypeFlat, 1);
    addItem(timed, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10));
    addItem(timed, twLocal(2026, 3, 2, 9), twLocal(2026, 3, 2, 11));
    open(TWProjectList{project});
    // No task selected: the items of every listed task.
    EXPECT_EQ(tasks->taskItems().size(), 2);
    EXPECT_TRUE(tasks->taskItemsTable()->table()->isEnabled());
    select({tasks->taskRow(*flat)});
    EXPECT_TRUE(tasks->taskItems().isEmpty());
    EXPECT_FALSE(tasks->taskItemsTable()->table()->isEnabled());
    // The table is off, but the document's new-item command asks only for
    // one task of a project.
    EXPECT_TRUE(tasks->canAddTaskItem());
    EXPECT_TRUE(tasks->validationQuery(TWQuery::CanAddTaskItem, false));
    select({tasks->taskRow(*flat), tasks->taskRow(*timed)});
    EXPECT_FALSE(tasks->canAddTaskItem());
    select({tasks->taskRow(*timed)});
    EXPECT_TRUE(tasks->canAddTaskItem());
    EXPECT_TRUE(tasks->canStartStopTaskTimer(false));
    EXPECT_EQ(tasks->taskItems().size(), 2);

    open(TWProjectList{estimate});
    addTask(estimate, QStringLiteral("Guess"));
    tasks->updateTasks();
    select({0});
    EXPECT_FALSE(tasks->canStartStopTaskTimer(false));
    EXPECT_FALSE(tasks->canAddTaskItem());
}

// The duration column's title names the form its cells show, and follows a
// change of that preference.
TEST_F(TasksView, TheDurationTitleFollowsTheTimeFormat)
{
    const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
    addItem(timed, twLocal(2026, 3, 1, 9), twLocal(2026, 3, 1, 10, 30));
    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t before = preferences.timeFormat();
    preferences.setTimeFormat(0);
    open(TWProjectList{project});
    const auto titles = [this] {
        const QAbstractItemModel *model = tasks->taskItemsTable()->model();
        QStringList shown;
        for (int column = 0; column < model->columnCount(); ++column)
            shown.append(model->headerData(column, Qt::Horizontal).toString());
        return shown;
    };
    EXPECT_TRUE(titles().contains(TWLocalized("durationHours")));
    preferences.setTimeFormat(1);
    EXPECT_FALSE(titles().contains(TWLocalized("durationHours")));
    EXPECT_TRUE(titles().contains(TWLocalized("durationDecimalHours")));
    EXPECT_EQ(tasks->taskItemsTable()
                  ->model()
                  ->index(0, titles().indexOf(TWLocalized("durationDecimalHours")))
                  .data()
                  .toString(),
              QStringLiteral("1.50"));
    preferences.setTimeFormat(before);
}

TEST_F(TasksView, ATimerTickRefreshesAFewCellsWithoutAReload)
{
    TWFixedClock clock(2026, 3, 2, 10, 0, 0);
    const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
    addTask(project, QStringLiteral("Other"));
    open(TWProjectList{project});
    tasks->connectTimer(timer()->core());
    // The rows' follow the document's timer.
    timer()->startTaskTimer(timed);
    ASSERT_TRUE(timer()->isTaskTimerRunning());
    const int row = tasks->taskRow(*timed);
    TWWorkTableModel *model = tasks->tasksTable()->model();
    EXPECT_EQ(model->data(model->index(row, 0), Qt::BackgroundRole).value<QColor>(),
              QColor(255, 255, 153));
    EXPECT_FALSE(model->data(model->index(1 - row, 0), Qt::BackgroundRole).isValid());

    QSignalSpy taskCells(model, &QAbstractItemModel::dataChanged);
    QSignalSpy taskResets(model, &QAbstractItemModel::modelReset);
    QSignalSpy itemCells(tasks->taskItemsTable()->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy itemResets(tasks->taskItemsTable()->model(), &QAbstractItemModel::modelReset);
    clock.set(twLocal(2026, 3, 2, 10, 30, 0));
    tasks->updateTimerTask(timed,
                           business->taskItemWithIdentifier(timer()->timedTaskItemIdentifier()));
    EXPECT_EQ(taskResets.size() + itemResets.size(), 0);
    EXPECT_LE(taskCells.size() + itemCells.size(), 5);
    EXPECT_EQ(taskCells.size(), 3);
    EXPECT_EQ(itemCells.size(), 2);
    const TWTaskItemPtr item = tasks->taskItems().value(
        tasks->taskItemRow(*business->taskItemWithIdentifier(timer()->timedTaskItemIdentifier())));
    ASSERT_TRUE(item);

    timer()->stopTaskTimer(QDateTime());
    EXPECT_FALSE(model->data(model->index(row, 0), Qt::BackgroundRole).isValid());
}

TEST_F(TasksView, BothListsKeepTheirHeaderAndThreeRowsAtA1024By700Window)
{
    // The view in the client view's tab of a small window, with
    // the divider remembered from a taller window.
    business->setTaskDividerPosition(400.0);
    open(TWProjectList{project});
    tasks->view()->resize(600, 300);
    tasks->restoreFrame();
    QCoreApplication::processEvents();
    for (const QTableView *table :
         {tasks->tasksTable()->table(), tasks->taskItemsTable()->table()}) {
        EXPECT_TRUE(twHeaderWhole(table)) << table->objectName().toStdString();
        EXPECT_GE(twWholeRowsInView(table), 3) << table->objectName().toStdString();
    }
}

TEST_F(TasksView, AtTheWidthALargeWindowLeavesTheMoneyColumnsShowWhole)
{
    addTask(project, QStringLiteral("Design"), TWTaskTypeHour, 12);
    open(TWProjectList{project});
    // What a 1440-pixel window leaves the list: the tick and the date give
    // way, the text keeps its width, the total shows whole.
    tasks->view()->resize(1170, 600);
    QCoreApplication::processEvents();
    TWWorkTable *table = tasks->tasksTable();
    QHeaderView *header = table->table()->horizontalHeader();
    EXPECT_LT(header->sectionSize(table->fieldColumn(TWTaskColumnCompleted)), 120);
    EXPECT_EQ(header->sectionSize(table->fieldColumn(TWTaskColumnName)), 120);
    const int total = table->fieldColumn(TWTaskColumnTotal);
    ASSERT_GE(total, 0);
    EXPECT_LE(header->sectionViewportPosition(total) + header->sectionSize(total),
              table->table()->viewport()->width());
}

TEST_F(TasksView, InANarrowListTheMoneyOnScreenShowsWhole)
{
    // Large amounts in the list a 1024 x 700 window leaves: each money
    // column on screen is as wide as its widest amount, the texts giving way
    // first (before, a column kept only its title's width and cut the amount).
    const TWTaskPtr task = addTask(project, QStringLiteral("Design"), TWTaskTypeHour, 1000);
    const TWTaskPtr large = task->copy();
    large->setRate(987654321);
    ASSERT_OK(business->updateTask(large, false));
    open(TWProjectList{project});
    tasks->view()->resize(600, 300);
    tasks->restoreFrame();
    QCoreApplication::processEvents();
    TWWorkTable *table = tasks->tasksTable();
    const QTableView *view = table->table();
    const QHeaderView *header = view->horizontalHeader();
    int checked = 0;
    for (const int tag : {TWTaskColumnRate, TWTaskColumnSubtotal, TWTaskColumnTotal}) {
        const int column = table->fieldColumn(tag);
        if (column < 0 || header->sectionViewportPosition(column) + header->sectionSize(column) >
                              view->viewport()->width())
            continue;
        ++checked;
        const QString text = table->model()->index(0, column).data().toString();
        EXPECT_GE(header->sectionSize(column), view->fontMetrics().horizontalAdvance(text) + 8)
            << text.toStdString();
    }
    EXPECT_GE(checked, 1);
}

// Editing billed work in the task sheet books it on its invoices at once; an
// invoice of closed books keeps what it billed: the save is refused, naming
// it. A task of an estimate (which books nothing) in a closed year deletes
// without a word of closed books or of receivables.
TEST_F(TasksView, EditingBilledWorkRebooksItsInvoicesAndKeepsClosedOnes)
{
    TWFixedClock clock(2026, 6, 15);
    const TWTaskPtr audit =
        addTask(project, QStringLiteral("Audit"), TWTaskTypeHour, 10, twLocal(2025, 5, 1));
    const TWTaskPtr design =
        addTask(project, QStringLiteral("Design"), TWTaskTypeHour, 2, twLocal(2026, 3, 1));
    billOn(QStringLiteral("1001"), twLocal(2025, 5, 31), {audit}, {});
    billOn(QStringLiteral("1002"), twLocal(2026, 3, 31), {design}, {});
    const TWTaskPtr quote =
        addTask(estimate, QStringLiteral("Quote"), TWTaskTypeHour, 4, twLocal(2025, 4, 1));
    const TWInvoicePtr offer = TWInvoice::invoiceWithDate(
        twLocal(2025, 4, 2), QStringLiteral("E-1"), QString(), true, false, QDateTime(), 0,
        QString(), estimate->identifier(), business->nextInvoiceIdentifier());
    ASSERT_OK(business->addInvoice(offer, false));
    const TWTaskPtr line = quote->copy();
    line->setInvoiceQuantity(4);
    ASSERT_OK(business->updateInvoiceItems(offer, {line}, {}));
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2025"), twLocal(2025, 1, 1),
                                                      twLocal(2025, 12, 31), true, 2025),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2026"), twLocal(2026, 1, 1),
                                                      twLocal(2026, 12, 31), false, 2026)});
    ASSERT_OK(business->updateTransactionStates());
    const TWAccountPtr ar =
        accountOfType(TWAccountTypeAccountsReceivable, QStringLiteral("Receivable"));
    const qint64 before = business->transactionTotalWithAccount(*ar);
    const qint64 rate = audit->rate();

    open(TWProjectList{project});
    const struct {
        TWTaskPtr task;
        bool saved;
        qint64 receivable; // change on the receivable account
    } rows[] = {{audit, false, 0}, {design, true, 2 * 2 * rate}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.task->name().toStdString());
        prompts.errors.clear();
        tasks->editTask(row.task, false);
        TWTaskController *sheet = tasks->taskSheet();
        ASSERT_TRUE(sheet);
        sheet->rateField()->setText(QLocale().toString(double(3 * rate) / 100, 'f', 2));
        sheet->saveButton()->click();
        settle();
        EXPECT_EQ(sheet->saved(), row.saved);
        EXPECT_EQ(business->taskWithIdentifier(row.task->identifier())->rate(),
                  row.saved ? 3 * rate : rate);
        EXPECT_EQ(business->transactionTotalWithAccount(*ar), before + row.receivable);
        if (!row.saved) {
            ASSERT_EQ(prompts.errors.size(), 1);
            EXPECT_EQ(prompts.errors.first().localizedDescription(),
                      TWLocalized("editBilledClosedMessage").arg(QStringLiteral("1001")));
            sheet->cancelButton()->click();
            settle();
        }
    }

    // The estimate's task goes without a refusal.
    open(TWProjectList{estimate});
    select({0});
    tasks->tasksTable()->table()->setFocus();
    QTest::keyClick(tasks->tasksTable()->table(), Qt::Key_Delete);
    EXPECT_EQ(alerts.last(), TWLocalized("deleteTaskTitle"));
    // Nor of a receivable entry or of what the client would owe: it books nothing.
    EXPECT_TRUE(informative.last().isEmpty()) << informative.last().toStdString();
    EXPECT_FALSE(business->taskWithIdentifier(quote->identifier()));
}

// An edit books again only the invoices whose lines it changes: ticking
// Completed, or saving a task's or an expense's sheet with nothing billed
// changed (a tax rate stored longer than the sheet shows it), leaves every
// entry as stored (a discount typed into one, another unit's conversion, a
// closed year's) and asks nothing. A change of what a sent invoice bills is asked about
// first, naming it and what the client will then owe; Cancel stores nothing.
TEST_F(TasksView, AnEditRebooksOnlyTheInvoicesWhoseLinesItChanges)
{
    TWFixedClock clock(2026, 6, 15);
    const TWTaskPtr audit =
        addTask(project, QStringLiteral("Audit"), TWTaskTypeHour, 3, twLocal(2025, 5, 1));
    const TWTaskPtr design =
        addTask(project, QStringLiteral("Design"), TWTaskTypeHour, 2, twLocal(2026, 3, 1));
    // A rate stored longer than the sheets show it (8.333333). Read back as
    // shown, the closed year's invoice would tax 300,000.01 a cent less.
    const double rate12th = 8.3333333333;
    const TWExpensePtr receipt =
        addExpense(project, QStringLiteral("Receipt"), 30000001, twLocal(2025, 5, 2));
    const TWExpensePtr ink = addExpense(project, QStringLiteral("Ink"), 2400);
    for (const TWExpensePtr &expense : {receipt, ink}) {
        expense->setTaxRate(rate12th);
        ASSERT_OK(business->updateExpense(expense, false));
    }
    const TWInvoicePtr closedYear =
        billOn(QStringLiteral("1001"), twLocal(2025, 5, 31), {audit}, {receipt});
    const TWInvoicePtr inkBilled = billOn(QStringLiteral("2001"), twLocal(2026, 3, 31), {}, {ink});
    const TWInvoicePtr discounted =
        billOn(QStringLiteral("1002"), twLocal(2026, 3, 31), {design}, {});
    const TWUnitPtr euro = business->unitWithCode(QStringLiteral("EUR"));
    ASSERT_TRUE(euro);
    const double euroRate = euro->rate();
    euro->setRate(0.5);
    const TWProjectPtr home = project;
    project = addProject(client, QStringLiteral("Abroad"), 1, 5000, QStringLiteral("EUR"));
    const TWTaskPtr survey =
        addTask(project, QStringLiteral("Survey"), TWTaskTypeHour, 1, twLocal(2026, 3, 1));
    const TWInvoicePtr abroad = billOn(QStringLiteral("1003"), twLocal(2026, 3, 31), {survey}, {});
    project = home;
    euro->setRate(0.25); // the rate moved since 1003 was booked
    {
        // 5 % off typed into 1002's entry.
        const TWTransactionPtr entry = business->invoiceEntry(*discounted)->copy();
        entry->setTotal(9500);
        twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, *business);
        ASSERT_OK(business->updateTransaction(entry, false, false, false, false));
    }
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2025"), twLocal(2025, 1, 1),
                                                      twLocal(2025, 12, 31), true, 2025),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2026"), twLocal(2026, 1, 1),
                                                      twLocal(2026, 12, 31), false, 2026)});
    ASSERT_OK(business->updateTransactionStates());
    // What each entry books, in its own unit and at home.
    const auto booked = [&] {
        QList<std::pair<qint64, qint64>> result;
        for (const TWInvoicePtr &invoice : {closedYear, discounted, abroad, inkBilled}) {
            const TWTransactionPtr entry = business->invoiceEntry(*invoice);
            result.append({entry->total(), entry->totalBusiness()});
        }
        return result;
    };
    const auto before = booked();
    ASSERT_EQ(before[1].first, 9500);
    const qint64 rate = design->rate();

    struct Row {
        const char *what;
        TWTaskPtr task; // or none, for the expense
        TWExpensePtr expense;
        bool tick;         // the Completed box in the list, else the sheet
        QString typedRate; // typed into the sheet's rate, empty: untouched
        std::deque<int> answers;
        bool asked;
        bool saved;
        qint64 bookedOn1002; // 1002's entry afterwards
    };
    const QString tripled = QLocale().toString(double(3 * rate) / 100, 'f', 2);
    const Row rows[] = {
        {"closed year's task ticked", audit, {}, true, {}, {}, false, true, 9500},
        {"another unit's task ticked", survey, {}, true, {}, {}, false, true, 9500},
        {"discounted invoice's task ticked", design, {}, true, {}, {}, false, true, 9500},
        {"sheet saved unchanged", design, {}, false, {}, {}, false, true, 9500},
        {"closed year's task saved unchanged", audit, {}, false, {}, {}, false, true, 9500},
        {"sent invoice's expense saved unchanged", {}, ink, false, {}, {}, false, true, 9500},
        {"closed year's expense saved unchanged", {}, receipt, false, {}, {}, false, true, 9500},
        {"rate raised, cancelled", design, {}, false, tripled, {1001}, true, false, 9500},
        {"rate raised, saved", design, {}, false, tripled, {1000}, true, true, 3 * 2 * rate},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        alerts.clear();
        informative.clear();
        prompts.errors.clear();
        answers = row.answers;
        if (row.expense) {
            TWExpenseController sheet;
            sheet.setExpense(business->expenseWithIdentifier(row.expense->identifier())->copy());
            sheet.setMode(1);
            sheet.setBusinessController(document.get());
            sheet.setBusiness(business);
            sheet.update();
            document->beginSheetWithView(sheet.view(), false, true, {});
            sheet.saveButton()->click();
            settle();
            EXPECT_TRUE(sheet.saved());
            if (!sheet.saved())
                sheet.cancelButton()->click();
            settle();
            for (const TWError &error : prompts.errors)
                ADD_FAILURE() << error.localizedDescription().toStdString();
            EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'|').toStdString();
            EXPECT_EQ(business->expenseWithIdentifier(row.expense->identifier())->taxRate(),
                      rate12th);
            EXPECT_EQ(booked(), before);
            continue;
        }
        open(TWProjectList{business->projectWithIdentifier(row.task->projectIdentifier())});
        const qint32 id = row.task->identifier();
        const bool completed = business->taskWithIdentifier(id)->completed();
        if (row.tick) {
            TWWorkTableModel *model = tasks->tasksTable()->model();
            model->setData(model->index(tasks->taskRow(*business->taskWithIdentifier(id)),
                                        tasks->tasksTable()->fieldColumn(TWTaskColumnCompleted)),
                           completed ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            EXPECT_NE(business->taskWithIdentifier(id)->completed(), completed);
        } else {
            tasks->editTask(business->taskWithIdentifier(id), false);
            TWTaskController *sheet = tasks->taskSheet();
            ASSERT_TRUE(sheet);
            if (!row.typedRate.isEmpty())
                sheet->rateField()->setText(row.typedRate);
            sheet->saveButton()->click();
            settle();
            EXPECT_EQ(sheet->saved(), row.saved);
            if (!row.saved) {
                EXPECT_EQ(business->taskWithIdentifier(id)->rate(), rate);
                sheet->cancelButton()->click();
                settle();
            }
        }
        EXPECT_TRUE(prompts.errors.isEmpty());
        if (row.asked) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first(),
                      TWLocalized("editBilledWorkTitle").arg(QStringLiteral("1002")));
            // Booked again whole, the entry is owed what the lines bill.
            EXPECT_EQ(informative.first(),
                      TWLocalized("deleteBilledSentInvoice")
                          .arg(QStringLiteral("1002"), QStringLiteral("$300.00")));
        } else {
            EXPECT_TRUE(alerts.isEmpty()) << alerts.join(u'|').toStdString();
        }
        QList<std::pair<qint64, qint64>> expected = before;
        if (row.bookedOn1002 != 9500)
            expected[1] = {row.bookedOn1002, row.bookedOn1002};
        EXPECT_EQ(booked(), expected);
    }
    EXPECT_TRUE(business->taskWithIdentifier(audit->identifier())->completed());
    euro->setRate(euroRate);
}

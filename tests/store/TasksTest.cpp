#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "WorkTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace
{

std::optional<qint64> countRows(TWBusiness &business, const char *table)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table));
}

} // namespace

TEST(Tasks, LoadReadsBackTasksTimeItemsAndExpenses)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    // A rate beyond what a double holds exactly; a tax rate with a fraction.
    const TWTaskPtr task = TWTask::taskWithDate(
        twLocal(2024, 2, 29), true, QStringLiteral("Survey"), TWTaskTypeDay, 3600.5, 2.25,
        (qint64(1) << 53) + 1, 7.5, QStringLiteral("north side"), 100, 250);
    const TWTaskItemPtr item =
        twWorkItem(100, 250, twLocal(2024, 2, 29, 8, 15, 7), twLocal(2024, 2, 29, 17, 45, 59));
    const TWExpensePtr expense = TWExpense::expenseWithDate(
        twLocal(2024, 3, 1), QStringLiteral("Nails"), 1.5, 1999, 7.5, QString(), 100, 100);
    ASSERT_OK(business->addTask(task, false));
    ASSERT_OK(business->addTaskItem(item, false));
    ASSERT_OK(business->addExpense(expense, false));

    ASSERT_OK(business->loadTasks());
    ASSERT_OK(business->loadTaskItems());
    ASSERT_OK(business->loadExpenses());
    ASSERT_EQ(business->tasks().size(), 1);
    EXPECT_EQ(twFields(*business->taskWithIdentifier(250)), twFields(*task));
    EXPECT_EQ(twFields(*business->taskItemWithIdentifier(100)), twFields(*item));
    EXPECT_EQ(twFields(*business->expenseWithIdentifier(100)), twFields(*expense));
    EXPECT_EQ(business->taskItemsWithTask(*task), business->taskItems());
}

TEST(Tasks, DamagedDateColumnsReadAsNoDate)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    twExec(*business,
           QStringLiteral("INSERT INTO tasks (identifier, projectIdentifier, date) VALUES "
                          "(100, 1, -5), (101, 1, 1e300), (102, 1, 'soon'), (103, 1, NULL);"
                          "INSERT INTO taskItems (identifier, taskIdentifier, startDateTime, "
                          "endDateTime) VALUES (100, 100, -1, 'later');"
                          "INSERT INTO expenses (identifier, projectIdentifier, date) VALUES "
                          "(100, 1, 9.9e18);"));
    ASSERT_OK(business->loadTasks());
    ASSERT_OK(business->loadTaskItems());
    ASSERT_OK(business->loadExpenses());
    ASSERT_EQ(business->tasks().size(), 4);
    for (const TWTaskPtr &task : business->tasks())
        EXPECT_FALSE(task->date().isValid()) << task->identifier();
    EXPECT_FALSE(business->taskItems().at(0)->endDateTime().isValid());
    EXPECT_FALSE(business->expenses().at(0)->date().isValid());
}

TEST(Tasks, TaskThatStopsBeingTimedLosesItsTimeItemsOrNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const QDateTime day = twLocal(2024, 4, 2, 9);
    const TWTaskPtr task = twWorkTask(100, 100, day);
    ASSERT_OK(business->addTask(task, false));
    ASSERT_OK(business->addTask(twWorkTask(101, 100, day), false));
    for (const auto &[id, owner] : {std::pair{100, 100}, {101, 101}, {102, 100}})
        ASSERT_OK(business->addTaskItem(twWorkItem(id, owner, day, day.addSecs(60)), false));
    const TWTaskList tasks = business->tasks();
    const TWTaskItemList items = business->taskItems();
    auto storedType = [&] {
        return twQueryInt(*business,
                          QStringLiteral("SELECT type FROM tasks WHERE identifier=100;"));
    };

    // The second of the task's time items cannot be deleted: nothing changes.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON taskItems "
                                     "WHEN old.identifier = 102 "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    TWNotificationRecorder recorder(business.get());
    const TWTaskPtr copy = task->copy();
    copy->setTaskType(TWTaskTypeHour);
    EXPECT_TRUE(business->updateTask(copy, true));
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_EQ(business->tasks(), tasks);
    EXPECT_EQ(business->taskWithIdentifier(100), task);
    EXPECT_EQ(business->taskItems(), items);
    EXPECT_EQ(twIdentifiers(business->taskItemsWithTask(*task)), (QList<qint32>{100, 102}));
    EXPECT_EQ(storedType(), TWTaskTypeTimed);

    twExec(*business, QStringLiteral("DROP TRIGGER refuse;"));
    task->setTaskType(TWTaskTypeFlat);
    ASSERT_OK(business->updateTask(task, true));
    EXPECT_EQ(recorder.names(),
              (QStringList{TWTaskItemDeleteNotification, TWTaskItemDeleteNotification,
                           TWTaskUpdateNotification}));
    EXPECT_EQ(twIdentifiers(business->taskItems()), QList<qint32>{101});
    EXPECT_EQ(countRows(*business, "taskItems"), 1);
    EXPECT_EQ(storedType(), TWTaskTypeFlat);
}

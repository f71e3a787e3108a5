#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "WorkTestSupport.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

std::optional<qint64> countRows(TWBusiness &business, const char *table)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table));
}

} // namespace

TEST(Projects, FailedAddChangesNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addProject(twWorkProject(100, 7, QStringLiteral("A")), true));
    TWNotificationRecorder recorder(business.get());
    // Identifier 0 is what a failed identifier query gives; 100 is taken.
    EXPECT_TRUE(business->addProject(twWorkProject(0, 7, QStringLiteral("B")), true));
    EXPECT_TRUE(business->addProject(twWorkProject(100, 8, QStringLiteral("C")), true));
    EXPECT_TRUE(business->addProject(nullptr, true));
    EXPECT_EQ(business->projects().size(), 1);
    EXPECT_EQ(countRows(*business, "projects"), 1);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Projects, WorkInsideAnIntervalIsChosenByCalendarDay)
{
    TWFixedClock clock(2024, 5, 15, 12);
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWProjectPtr house = twWorkProject(100, 7, QStringLiteral("House"));
    const TWProjectPtr garden = twWorkProject(101, 7, QStringLiteral("Garden"));
    ASSERT_OK(business->addProject(house, false));
    ASSERT_OK(business->addProject(garden, false));
    const QDateTime day = twLocal(2024, 5, 10);
    ASSERT_OK(business->addTask(twWorkTask(100, 100, day), false));
    // The interval's very last second, and a moment just past it on the same
    // day (a task dated "now" before the document is reloaded).
    ASSERT_OK(business->addTask(twWorkTask(101, 100, twLocal(2024, 5, 10, 23, 59, 59)), false));
    ASSERT_OK(business->addTask(
        twWorkTask(102, 100, twLocal(2024, 5, 15, 23, 59, 59).addMSecs(500)), false));
    ASSERT_OK(business->addTask(twWorkTask(103, 100, twLocal(2024, 5, 11)), false));
    ASSERT_OK(business->addTask(twWorkTask(104, 101, day), false));
    ASSERT_OK(business->addTask(twWorkTask(105, 100, QDateTime()), false));
    ASSERT_OK(business->addTask(twWorkTask(106, 999, day), false)); // no such project
    ASSERT_OK(business->addExpense(twWorkExpense(100, 100, day), false));
    ASSERT_OK(business->addExpense(twWorkExpense(101, 100, twLocal(2024, 5, 9)), false));

    const TWProjectList onlyHouse{house};
    // One custom day: its first and last second are inside, the next day not.
    EXPECT_EQ(twIdentifiers(business->tasksForProjects(&onlyHouse, TWIntervalCustom, day, day)),
              (QList<qint32>{100, 101}));
    EXPECT_EQ(twIdentifiers(business->tasksForProjects(nullptr, TWIntervalCustom,
                                                       twLocal(2024, 5, 10, 18), day)),
              (QList<qint32>{100, 104, 106, 101}));
    // Today: a moment after 23:59:59 is still today.
    EXPECT_EQ(twIdentifiers(business->tasksForProjects(nullptr, TWIntervalToday, {}, {})),
              (QList<qint32>{102}));
    // No bounds: everything, the task without a date first.
    EXPECT_EQ(twIdentifiers(business->tasksForProjects(nullptr, TWIntervalAllDates, {}, {})),
              (QList<qint32>{105, 100, 104, 106, 101, 103, 102}));
    // Chosen projects count once, and only when the business holds them.
    const TWProjectList twice{garden, garden};
    EXPECT_EQ(twIdentifiers(business->tasksForProjects(&twice, TWIntervalAllDates, {}, {})),
              (QList<qint32>{104}));
    const TWProjectList unknown{twWorkProject(999, 7, QStringLiteral("Gone"))};
    EXPECT_TRUE(business->tasksForProjects(&unknown, TWIntervalAllDates, {}, {}).isEmpty());

    EXPECT_EQ(twIdentifiers(business->expensesForProjects(&onlyHouse, TWIntervalCustom, day, day)),
              (QList<qint32>{100}));
}

TEST(Projects, DeleteTakesEverythingAlongOrNothing)
{
    // Two projects: 100 with two tasks (the first timed with two time items)
    // and an expense, 101 with one task, one time item and one expense.
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWProjectPtr project = twWorkProject(100, 7, QStringLiteral("Doomed"));
    const TWProjectPtr other = twWorkProject(101, 7, QStringLiteral("Kept"));
    const QDateTime day = twLocal(2024, 4, 2, 9);
    ASSERT_OK(business->addProject(project, false));
    ASSERT_OK(business->addProject(other, false));
    ASSERT_OK(business->addTask(twWorkTask(100, 100, day), false));
    ASSERT_OK(business->addTask(twWorkTask(101, 101, day), false));
    ASSERT_OK(business->addTask(twWorkTask(102, 100, day, TWTaskTypeFlat), false));
    for (const auto &[id, task] : {std::pair{100, 100}, {101, 101}, {102, 100}})
        ASSERT_OK(business->addTaskItem(twWorkItem(id, task, day, day.addSecs(60)), false));
    ASSERT_OK(business->addExpense(twWorkExpense(100, 100, day), false));
    ASSERT_OK(business->addExpense(twWorkExpense(101, 101, day), false));

    // The expenses are deleted after the tasks and their time items: a
    // failure there undoes those deletions too.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON expenses "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    const TWProjectList projects = business->projects();
    const TWTaskList tasks = business->tasks();
    const TWTaskItemList items = business->taskItems();
    const TWExpenseList expenses = business->expenses();
    TWNotificationRecorder recorder(business.get());
    const TWErrorResult error = business->deleteProject(project, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWDatabaseErrorDomain);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_EQ(countRows(*business, "tasks"), 3);
    EXPECT_EQ(countRows(*business, "taskItems"), 3);
    EXPECT_EQ(countRows(*business, "expenses"), 2);
    EXPECT_EQ(business->projects(), projects);
    EXPECT_EQ(business->tasks(), tasks);
    EXPECT_EQ(business->taskItems(), items);
    EXPECT_EQ(business->expenses(), expenses);
    EXPECT_EQ(twIdentifiers(business->tasksWithProject(*project)), (QList<qint32>{100, 102}));
    EXPECT_EQ(twIdentifiers(business->expensesWithProject(*project)), QList<qint32>{100});

    // Allowed, it goes through; what hangs off the project is always
    // announced, the project itself only when asked.
    twExec(*business, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(business->deleteProject(project, false));
    EXPECT_EQ(recorder.names(),
              (QStringList{TWTaskItemDeleteNotification, TWTaskItemDeleteNotification,
                           TWTaskDeleteNotification, TWTaskDeleteNotification,
                           TWExpenseDeleteNotification}));
    for (const char *table : {"projects", "tasks", "taskItems", "expenses"})
        EXPECT_EQ(countRows(*business, table), 1) << table;
    EXPECT_EQ(twIdentifiers(business->projects()), QList<qint32>{101});
    EXPECT_FALSE(business->taskWithIdentifier(100));
    EXPECT_TRUE(business->tasksWithProject(*project).isEmpty());
    EXPECT_TRUE(business->expensesWithProject(*project).isEmpty());
    EXPECT_EQ(twIdentifiers(business->taskItemsWithTask(*tasks.at(1))), QList<qint32>{101});

    recorder.clear();
    ASSERT_OK(business->deleteProject(other, true));
    EXPECT_EQ(recorder.names(),
              (QStringList{TWTaskItemDeleteNotification, TWTaskDeleteNotification,
                           TWExpenseDeleteNotification, TWProjectDeleteNotification}));
}

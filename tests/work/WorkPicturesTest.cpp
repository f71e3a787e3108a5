// Pictures of the work views and sheets for a person to look at: written only
// when TW_WORK_PICTURES names a folder (run under a real display to see the
// platform's own style); otherwise the test is skipped.

#include "TWWorkTestSupport.h"

#include "work/TWExpenseController.h"
#include "work/TWExpensesController.h"
#include "work/TWProjectController.h"
#include "work/TWTaskController.h"
#include "work/TWTaskItemController.h"
#include "work/TWTasksController.h"

#include <QDir>
#include <QPixmap>
#include <QPushButton>

namespace
{

class WorkPictures : public TWWorkTest
{
protected:
    void save(QWidget *widget, const QString &name)
    {
        settle();
        QTest::qWait(50);
        widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
    }
    QString folder = qEnvironmentVariable("TW_WORK_PICTURES");
};

} // namespace

TEST_F(WorkPictures, ViewsAndSheets)
{
    if (folder.isEmpty())
        GTEST_SKIP() << "TW_WORK_PICTURES is not set";
    TWFixedClock clock(2026, 3, 9, 11, 30, 0);
    project->setTaxRate(8.0);
    const TWTaskPtr coding = addTask(project, QStringLiteral("Coding"));
    addItem(coding, twLocal(2026, 3, 2, 9), twLocal(2026, 3, 2, 12, 30));
    addItem(coding, twLocal(2026, 3, 3, 13), twLocal(2026, 3, 3, 17, 45));
    addTask(project, QStringLiteral("Design review"), TWTaskTypeFlat, 1, twLocal(2026, 3, 4));
    const TWTaskPtr support =
        addTask(project, QStringLiteral("Support"), TWTaskTypeHour, 6.5, twLocal(2026, 3, 5));
    support->setCompleted(true);
    addExpense(project, QStringLiteral("Hosting"), 2900, twLocal(2026, 3, 1));
    addExpense(project, QStringLiteral("Train ticket"), 12345, twLocal(2026, 3, 6));

    TWTasksController tasks;
    tasks.setBusinessController(document.get());
    tasks.setBusiness(business);
    tasks.setProjects(TWProjectList{project});
    tasks.view()->resize(1000, 560);
    tasks.view()->show();
    tasks.update();
    tasks.restoreFrame();
    tasks.connectTimer(timer()->core());
    timer()->startTaskTimer(coding);
    clock.set(twLocal(2026, 3, 9, 12, 10, 0));
    timer()->core()->updateTimedTask(QDateTime());
    tasks.updateTimerTask(coding,
                          business->taskItemWithIdentifier(timer()->timedTaskItemIdentifier()));
    save(tasks.view(), QStringLiteral("tasks"));
    timer()->stopTaskTimer(QDateTime());

    TWExpensesController expenses;
    expenses.setBusinessController(document.get());
    expenses.setBusiness(business);
    expenses.setProjects(TWProjectList{project});
    expenses.view()->resize(1000, 300);
    expenses.view()->show();
    expenses.update();
    save(expenses.view(), QStringLiteral("expenses"));

    tasks.editTask(support, false);
    save(tasks.taskSheet()->view()->window(), QStringLiteral("task-sheet"));
    tasks.taskSheet()->cancelButton()->click();
    tasks.tasksTable()->selectRow(tasks.taskRow(*coding));
    tasks.editTaskItem(tasks.taskItems().value(0), false);
    save(tasks.taskItemSheet()->view()->window(), QStringLiteral("time-item-sheet"));
    tasks.taskItemSheet()->cancelButton()->click();
    expenses.editExpense(expenses.expenses().value(0), false);
    save(expenses.expenseSheet()->view()->window(), QStringLiteral("expense-sheet"));
    expenses.expenseSheet()->cancelButton()->click();

    TWProjectController projectSheet;
    projectSheet.setProject(project);
    projectSheet.setMode(1);
    projectSheet.setBusinessController(document.get());
    projectSheet.setBusiness(business);
    projectSheet.update();
    document->beginSheetWithView(projectSheet.view(), false, true, [](int) {});
    save(projectSheet.view()->window(), QStringLiteral("project-sheet"));
    projectSheet.cancelButton()->click();
    settle();
}

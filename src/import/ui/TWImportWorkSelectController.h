#pragma once
// The second sheet of a task or expense import: the file's tasks (with their
// time items) or expenses, each with an import tick (duplicates of stored
// ones start unticked), over the business's own, narrowed to one project when
// asked. Import adds every ticked record in one write, or none.

#include "app/TWAppRegistry.h"
#include "app/TWLazyViewController.h"
#include "work/TWExpensesController.h"
#include "work/TWTasksController.h"

#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"
#include "import/core/TWImportWorkField.h"
#include "model/TWExpense.h"
#include "model/TWTask.h"

#include <QPointer>

class QCheckBox;
class QMenu;
class QPushButton;
class TWPopUpButton;

class TWImportWorkSelectController final : public TWLazyViewController<TWEditorController>,
                                           public TWTasksControllerDelegate,
                                           public TWExpensesControllerDelegate
{
    Q_OBJECT
public:
    TWImportWorkSelectController(TWImportWorkField::Kind kind, QObject *parent = nullptr);
    ~TWImportWorkSelectController() override;

    void setTasks(const TWTaskList &tasks) { m_tasks = tasks; }
    void setExpenses(const TWExpenseList &expenses) { m_expenses = expenses; }
    const TWTaskList &tasks() const { return m_tasks; }
    const TWExpenseList &expenses() const { return m_expenses; }
    // Fills both lists, ticks what is not a duplicate, starts observing.
    void update() override;
    void updateUI();
    void doImportAllNone();
    void doProject(int index);
    // Tag 1 imports, any other cancels.
    void doImport(int tag);

    void tasksControllerImportSelectedTasksChanged(TWTasksController *) override { updateUI(); }
    void expensesControllerImportSelectedExpensesChanged(TWExpensesController *) override
    {
        updateUI();
    }

    QObject *list(TWImportController::SelectionList which) const;
    bool listHasContextMenu(TWImportController::SelectionList which, QMenu *menu) const;
    bool listHasFirstResponder(TWImportController::SelectionList which) const;

    TWTasksController *importTasksController() const { return m_importTasks; }
    TWExpensesController *importExpensesController() const { return m_importExpenses; }
    QCheckBox *importAllCheckbox() const { return m_importAll; }
    QPushButton *importButton() const { return m_importButton; }
    TWPopUpButton *projectPopUpButton() const { return m_projectPopUp; }

signals:
    void errorPresented(const TWError &error);

private:
    void build() override;
    qsizetype tickedCount() const;
    qsizetype listedCount() const;
    void finish(TWSheetResult result);
    void stopObserving();
    void presentError(const TWError &error);

    TWImportWorkField::Kind m_kind;
    TWTasksController *m_importTasks = nullptr;
    TWTasksController *m_allTasks = nullptr;
    TWExpensesController *m_importExpenses = nullptr;
    TWExpensesController *m_allExpenses = nullptr;
    TWPopUpButton *m_projectPopUp = nullptr;
    QCheckBox *m_importAll = nullptr;
    QPushButton *m_importButton = nullptr;
    TWTaskList m_tasks;
    TWExpenseList m_expenses;
    TWProjectList m_projects;
    QList<TWNotificationCenter::Token> m_observers;
};

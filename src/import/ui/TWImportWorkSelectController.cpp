#include "import/ui/TWImportWorkSelectController.h"

#include "import/ui/TWImportFile.h"
#include "import/ui/TWImportSelectSheet.h"

#include "app/TWBusinessController.h"
#include "app/TWControls.h"

#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "model/TWClient.h"
#include "model/TWTaskItem.h"
#include "store/TWBusiness.h"
#include "store/TWNotifications.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSplitter>

namespace
{

// The records of `list` that `ticks` holds, in file order (ticks say which).
template <typename List> List ticked(const List &list, const QList<bool> &duplicates)
{
    List result;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!duplicates.value(i))
            result.append(list.at(i));
    }
    return result;
}

} // namespace

TWImportWorkSelectController::TWImportWorkSelectController(TWImportWorkField::Kind kind,
                                                           QObject *parent)
    : TWLazyViewController<TWEditorController>(parent), m_kind(kind)
{
}

TWImportWorkSelectController::~TWImportWorkSelectController()
{
    stopObserving();
    delete m_view;
}

void TWImportWorkSelectController::build()
{
    const bool tasks = m_kind == TWImportWorkField::Task;
    m_view = new QWidget();
    m_view->setObjectName(tasks ? QStringLiteral("TWImportTasksSelect")
                                : QStringLiteral("TWImportExpensesSelect"));
    m_view->setWindowTitle(
        TWLocalized(tasks ? "importTasksSelectTitle" : "importExpensesSelectTitle"));
    QWidget *upperList = nullptr;
    QWidget *lowerList = nullptr;
    if (tasks) {
        m_importTasks = new TWTasksController(this);
        m_importTasks->setMode(TWTasksController::ModeImportSelection);
        m_importTasks->setDelegate(this);
        m_allTasks = new TWTasksController(this);
        m_allTasks->setMode(TWTasksController::ModeAllRecords);
        upperList = m_importTasks->view();
        lowerList = m_allTasks->view();
    } else {
        m_importExpenses = new TWExpensesController(this);
        m_importExpenses->setMode(TWExpensesController::ModeImportSelection);
        m_importExpenses->setDelegate(this);
        m_allExpenses = new TWExpensesController(this);
        m_allExpenses->setMode(TWExpensesController::ModeAllRecords);
        upperList = m_importExpenses->view();
        lowerList = m_allExpenses->view();
    }
    const TWImportSelectSheet sheet = twLayOutImportSelectSheet(
        m_view, TWLocalized(tasks ? "importFileTasks" : "importFileExpenses"), upperList,
        TWLocalized(tasks ? "importExistingTasks" : "importExistingExpenses"), lowerList,
        QSize(860, 600));
    m_projectPopUp = sheet.popUp;
    m_projectPopUp->setObjectName(QStringLiteral("projectPopUpButton"));
    connect(m_projectPopUp, &QComboBox::activated, this, [this](int index) { doProject(index); });
    m_importAll = sheet.importAll;
    connect(m_importAll, &QCheckBox::clicked, this, [this] { doImportAllNone(); });
    m_importButton = sheet.import;
    connect(sheet.cancel, &QPushButton::clicked, this, [this] { doImport(0); });
    connect(m_importButton, &QPushButton::clicked, this, [this] { doImport(1); });
}

void TWImportWorkSelectController::update()
{
    view();
    if (!m_business)
        return;
    stopObserving();
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    // Duplicates start unticked: one hash of the stored records for the file.
    if (m_importTasks) {
        for (TWTasksController *list : {m_importTasks, m_allTasks}) {
            list->setBusinessController(m_document);
            list->setBusiness(m_business);
        }
        m_importTasks->setTasks(m_tasks);
        m_importTasks->setImportSelectedTasks(
            ticked(m_tasks, TWImportDuplicates::tasks(*m_business, m_tasks)));
        m_importTasks->update();
        m_allTasks->setProjects(std::nullopt);
        m_allTasks->update();
        for (const QString &name : {TWTaskNewNotification, TWTaskDeleteNotification,
                                    TWTaskUpdateNotification, TWTaskItemNewNotification,
                                    TWTaskItemDeleteNotification, TWTaskItemUpdateNotification})
            m_observers.append(center.addObserver(name, m_business, [this](const TWNotification &) {
                if (m_allTasks)
                    m_allTasks->updateTasks();
            }));
    } else {
        for (TWExpensesController *list : {m_importExpenses, m_allExpenses}) {
            list->setBusinessController(m_document);
            list->setBusiness(m_business);
        }
        m_importExpenses->setExpenses(m_expenses);
        m_importExpenses->setImportSelectedExpenses(
            ticked(m_expenses, TWImportDuplicates::expenses(*m_business, m_expenses)));
        m_importExpenses->update();
        m_allExpenses->setProjects(std::nullopt);
        m_allExpenses->update();
        for (const QString &name :
             {TWExpenseNewNotification, TWExpenseDeleteNotification, TWExpenseUpdateNotification})
            m_observers.append(center.addObserver(name, m_business, [this](const TWNotification &) {
                if (m_allExpenses)
                    m_allExpenses->updateExpenses();
            }));
    }
    m_projects = m_business->sortedProjects();
    m_projectPopUp->clear();
    m_projectPopUp->addItem(TWLocalized("all"));
    m_projectPopUp->insertSeparator(1);
    for (const TWProjectPtr &project : std::as_const(m_projects))
        m_projectPopUp->addItem(project ? m_business->projectTitle(*project) : QString());
    m_projectPopUp->setCurrentIndex(0);
    updateUI();
}

qsizetype TWImportWorkSelectController::tickedCount() const
{
    return m_importTasks ? m_importTasks->importSelectedTasks().size()
                         : m_importExpenses->importSelectedExpenses().size();
}

qsizetype TWImportWorkSelectController::listedCount() const
{
    return m_importTasks ? m_importTasks->tasks().size() : m_importExpenses->expenses().size();
}

void TWImportWorkSelectController::updateUI()
{
    if (!m_importAll)
        return;
    const qsizetype n = tickedCount();
    m_importAll->setCheckState(twImportAllState(n, listedCount()));
    m_importButton->setEnabled(n != 0);
}

void TWImportWorkSelectController::doImportAllNone()
{
    if (m_importAll->checkState() == Qt::PartiallyChecked)
        m_importAll->setCheckState(Qt::Checked);
    const bool all = m_importAll->checkState() == Qt::Checked;
    if (m_importTasks) {
        m_importTasks->setImportSelectedTasks(all ? m_importTasks->tasks() : TWTaskList());
        m_importTasks->updateTasks();
    } else {
        m_importExpenses->setImportSelectedExpenses(all ? m_importExpenses->expenses()
                                                        : TWExpenseList());
        m_importExpenses->updateExpenses();
    }
    updateUI();
}

void TWImportWorkSelectController::doProject(int index)
{
    const TWProjectPtr project =
        index >= 2 && index - 2 < m_projects.size() ? m_projects.at(index - 2) : nullptr;
    const std::optional<TWProjectList> projects =
        project ? std::optional<TWProjectList>(TWProjectList{project}) : std::nullopt;
    if (m_allTasks) {
        m_allTasks->setProjects(projects);
        m_allTasks->updateTasks();
    } else {
        m_allExpenses->setProjects(projects);
        m_allExpenses->updateExpenses();
    }
}

void TWImportWorkSelectController::doImport(int tag)
{
    if (tag != 1) {
        finish(TWSheetResult::Cancelled);
        return;
    }
    if (!m_business)
        return;
    // All or nothing: a refused record leaves the store, its lists and its
    // notifications as they were, and the sheet open with its ticks.
    TWErrorResult error;
    QList<std::function<void()>> restore;
    {
        TWBusiness::WriteScope scope(*m_business);
        if (m_importTasks) {
            for (const TWTaskPtr &task : m_importTasks->importSelectedTasks()) {
                const qint32 provisional = task->identifier();
                task->setIdentifier(m_business->nextTaskIdentifier());
                restore.append([task, provisional] { task->setIdentifier(provisional); });
                if ((error = m_business->addTask(task, false)))
                    break;
                // Each item belongs to its task under the task's final identifier.
                for (const TWTaskItemPtr &item : task->taskItems()) {
                    const qint32 itemIdentifier = item->identifier();
                    const qint32 owner = item->taskIdentifier();
                    item->setIdentifier(m_business->nextTaskItemIdentifier());
                    item->setTaskIdentifier(task->identifier());
                    restore.append([item, itemIdentifier, owner] {
                        item->setIdentifier(itemIdentifier);
                        item->setTaskIdentifier(owner);
                    });
                    if ((error = m_business->addTaskItem(item, false)))
                        break;
                }
                if (error)
                    break;
            }
        } else {
            for (const TWExpensePtr &expense : m_importExpenses->importSelectedExpenses()) {
                const qint32 provisional = expense->identifier();
                expense->setIdentifier(m_business->nextExpenseIdentifier());
                restore.append([expense, provisional] { expense->setIdentifier(provisional); });
                if ((error = m_business->addExpense(expense, false)))
                    break;
            }
        }
        error = scope.finish(error);
    }
    if (error) {
        for (const auto &undo : std::as_const(restore))
            undo();
        presentError(*error);
        return;
    }
    if (tickedCount() != 0) {
        if (m_importTasks) {
            m_business->notifyTasksAdd();
            m_business->notifyTaskItemsAdd();
        } else {
            m_business->notifyExpensesAdd();
        }
        m_business->notifyValuesAdd();
    }
    if (m_document)
        m_document->updateChangeCount(0);
    finish(TWSheetResult::Confirmed);
}

void TWImportWorkSelectController::finish(TWSheetResult result)
{
    if (m_document)
        m_document->endSheet(m_view, result);
    emit endRequested(sheetReturnCode(result));
    if (m_importTasks) {
        m_importTasks->setTasks({});
        m_importTasks->setImportSelectedTasks({});
    } else if (m_importExpenses) {
        m_importExpenses->setExpenses({});
        m_importExpenses->setImportSelectedExpenses({});
    }
    m_tasks.clear();
    m_expenses.clear();
    stopObserving();
}

void TWImportWorkSelectController::stopObserving()
{
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const TWNotificationCenter::Token token : std::as_const(m_observers))
        center.removeObserver(token);
    m_observers.clear();
}

QObject *TWImportWorkSelectController::list(TWImportController::SelectionList which) const
{
    const bool upper = which == TWImportController::ImportList;
    if (m_importTasks)
        return upper ? static_cast<QObject *>(m_importTasks) : static_cast<QObject *>(m_allTasks);
    return upper ? static_cast<QObject *>(m_importExpenses) : static_cast<QObject *>(m_allExpenses);
}

bool TWImportWorkSelectController::listHasContextMenu(TWImportController::SelectionList which,
                                                      QMenu *menu) const
{
    const bool upper = which == TWImportController::ImportList;
    if (m_importTasks) {
        const TWTasksController *list = upper ? m_importTasks : m_allTasks;
        return list->taskTableViewHasContextMenu(menu) ||
               list->taskItemTableViewHasContextMenu(menu);
    }
    const TWExpensesController *list = upper ? m_importExpenses : m_allExpenses;
    return list && list->tableViewHasContextMenu(menu);
}

bool TWImportWorkSelectController::listHasFirstResponder(
    TWImportController::SelectionList which) const
{
    const bool upper = which == TWImportController::ImportList;
    if (m_importTasks)
        return (upper ? m_importTasks : m_allTasks)->hasFirstResponder();
    const TWExpensesController *list = upper ? m_importExpenses : m_allExpenses;
    return list && list->hasFirstResponder();
}

void TWImportWorkSelectController::presentError(const TWError &error)
{
    emit errorPresented(error);
    if (m_document)
        m_document->presentError(error);
}

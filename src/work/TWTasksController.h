#pragma once
// The tasks view: the tasks of the chosen projects in one table and the time
// items of the chosen tasks in a second, with the task timer's rows
// highlighted and refreshed in place. Mode 0 serves the clients view, mode 1
// the task import's file records (never stored), mode 2 the import's view of
// the stored tasks.

#include "app/TWDetailInterfaces.h"
#include "work/TWWorkList.h"
#include "work/TWWorkListController.h"
#include "work/TWWorkTable.h"

#include "model/TWTask.h"

#include <QHash>
#include <QSet>

class QAction;
class QMenu;
class QSplitter;
class TWSplitDivider;
class TWTaskController;
class TWTaskItemController;
class TWTaskTimerCore;
class TWTasksController;

class TWTasksControllerDelegate
{
public:
    virtual ~TWTasksControllerDelegate() = default;
    virtual void tasksControllerImportSelectedTasksChanged(TWTasksController *) {}
};

// The tags of the two tables' columns.
enum TWTaskColumnTag : int {
    TWTaskColumnImport = 0,
    TWTaskColumnDate = 1,
    TWTaskColumnClient = 2,
    TWTaskColumnProject = 3,
    TWTaskColumnCompleted = 4,
    TWTaskColumnName = 5,
    TWTaskColumnType = 6,
    TWTaskColumnEstimate = 7,
    TWTaskColumnQuantity = 8,
    TWTaskColumnRate = 9,
    TWTaskColumnSubtotal = 10,
    TWTaskColumnTaxRate = 11,
    TWTaskColumnTotal = 12,
    TWTaskColumnNotes = 13,
    TWTaskItemColumnClient = 14,
    TWTaskItemColumnProject = 15,
    TWTaskItemColumnTask = 16,
    TWTaskItemColumnStart = 17,
    TWTaskItemColumnEnd = 18,
    TWTaskItemColumnDuration = 19,
    TWTaskItemColumnNotes = 20,
};

class TWTasksController final : public TWWorkListController,
                                public TWTasksList,
                                public TWWorkTableSource
{
    Q_OBJECT
public:
    explicit TWTasksController(QObject *parent = nullptr);
    ~TWTasksController() override;

    void setBusiness(TWBusiness *business);
    TWTasksControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWTasksControllerDelegate *delegate) { m_delegate = delegate; }
    const TWTaskList &tasks() const { return m_tasks; }
    void setTasks(const TWTaskList &tasks) { m_tasks = tasks; }
    const TWTaskItemList &taskItems() const { return m_taskItems; }
    const TWTaskList &importSelectedTasks() const { return m_importSelectedTasks; }
    void setImportSelectedTasks(const TWTaskList &tasks) { m_importSelectedTasks = tasks; }

    TWWorkTable *tasksTable() const { return m_tasksTable; }
    TWWorkTable *taskItemsTable() const { return m_itemsTable; }
    QSplitter *splitter() const { return m_splitter; }
    TWTaskController *taskSheet() const { return m_taskSheet; }
    TWTaskItemController *taskItemSheet() const { return m_taskItemSheet; }

    // Settings, columns, sorting and the rows, from scratch.
    void update();
    void updateTasks() override;
    void updateTaskItems();
    void restoreFrame();
    void updateTasksCountTotal();

    // ---- Rows ----
    TWTaskList selectedTasks() const;
    TWTaskList tasksForRows(const QList<int> &rows) const;
    TWTaskItemList selectedTaskItems() const;
    TWTaskItemList taskItemsForRows(const QList<int> &rows) const;
    int taskRow(const TWTask &task) const;
    int taskItemRow(const TWTaskItem &taskItem) const;
    bool tasksHasFirstResponder() const;
    bool taskItemsHasFirstResponder() const;
    bool hasFirstResponder() const
    {
        return tasksHasFirstResponder() || taskItemsHasFirstResponder();
    }
    bool taskTableViewHasContextMenu(const QMenu *menu) const;
    bool taskItemTableViewHasContextMenu(const QMenu *menu) const;

    // ---- What the commands may do ----
    bool hasSelectedTask(bool context, bool single, bool multiple) const;
    bool hasSelectedTaskItem(bool context, bool single, bool multiple) const;
    bool canAddTask() const;
    bool canEditTask(bool context) const;
    bool canDuplicateTask(bool context) const;
    bool canDeleteTask(bool context) const;
    bool canMarkTask(bool context) const;
    bool canStartStopTaskTimer(bool context) const;
    bool canAddTaskItem() const;
    bool canEditTaskItem(bool context) const;
    bool canDuplicateTaskItem(bool context) const;
    bool canDeleteTaskItem(bool context) const;
    bool validationQuery(TWQuery query, bool context) const override;

    // ---- Task commands ----
    void newTask();
    void editSelectedTask(bool context) override;
    void editTask(const TWTaskPtr &task, bool isImport);
    void duplicateSelectedTask(bool context);
    void duplicateTasks(const TWTaskList &tasks);
    void deleteTask(bool context);
    void markTask(bool completed, bool context) override;
    TWTaskPtr selectedTask(bool context) const override;
    // An import edit: `edited` replaces `original` in the list and the ticks.
    void updateTask(const TWTaskPtr &original, const TWTaskPtr &edited);

    // ---- Time item commands ----
    void newTaskItem();
    void editSelectedTaskItem(bool context) override;
    void editTaskItem(const TWTaskItemPtr &taskItem, bool isImport);
    void duplicateSelectedTaskItem(bool context);
    void duplicateTaskItems(const TWTaskItemList &taskItems);
    void deleteTaskItem(bool context);
    void updateTaskItem(const TWTaskItemPtr &original, const TWTaskItemPtr &edited);

    // ---- The task timer's rows ----
    // Refreshes the timed rows' changing cells (at most five), never a reload.
    void updateTimerTask(const TWTaskPtr &task, const TWTaskItemPtr &taskItem);
    void highlight(bool on);
    // Follows a timer's signals (the clients view does this for its tasks view).
    void connectTimer(TWTaskTimerCore *timer);

    // ---- TWWorkTableSource ----
    int workRowCount(const TWWorkTable *table) const override;
    QString workText(const TWWorkTable *table, int row, int tag) const override;
    bool workChecked(const TWWorkTable *table, int row, int tag) const override;
    QColor workRowColour(const TWWorkTable *table, int row) const override;
    bool workRowHighlighted(const TWWorkTable *table, int row) const override;
    void workSort(TWWorkTable *table, int tag, bool ascending) override;
    void workCheckbox(TWWorkTable *table, int row, int tag, bool on) override;
    void workSelectionChanged(TWWorkTable *table) override;
    QMenu *workContextMenu(TWWorkTable *table, QWidget *parent, bool rowClicked) override;
    bool workKey(TWWorkTable *table, int key) override;
    void workDoubleClick(TWWorkTable *table) override;

    static QList<TWWorkColumn> taskColumns();
    static QList<TWWorkColumn> taskItemColumns();
    // The three-way comparison of two tasks by a column (identifier tie-break).
    int compareTasks(const TWTask &a, const TWTask &b, int tag) const;
    int compareTaskItems(const TWTaskItem &a, const TWTaskItem &b, int tag) const;

signals:
    // Mode 1: the records were edited or ticked (the import sheet listens).
    void tasksChanged();

private:
    void build() override;
    void updateButtonsEnabled();
    void updateCountTotalFrame();
    void forgetRowIndexes()
    {
        m_taskRows.forget();
        m_taskItemRows.forget();
    }
    TWProjectPtr projectOf(const TWTask &task) const;
    TWClientPtr clientOf(const TWTask &task) const;
    TWTaskPtr taskOf(const TWTaskItem &item) const;
    const TWUnit *unitOf(const TWTask &task) const;
    double quantityOf(const TWTask &task) const;
    QString taskCellText(const TWTask &task, int tag) const;
    QString taskItemCellText(const TWTaskItem &item, int tag) const;

public:
    // The item's start or end as its row shows it: where the local clock
    // shows that time twice (the hour repeated when the clock is put back),
    // with the zone's abbreviation of the moment meant, so that the item
    // ending at the change and the one starting there do not look overlapping.
    static QString taskItemMomentText(const TWTaskItem &item, bool end);

private:
    QString money(qint64 value, const TWUnit *unit) const;
    bool itemsTableEnabled() const;
    qint32 timedTaskIdentifier() const;
    qint32 timedTaskItemIdentifier() const;
    QMenu *taskContextMenu(QWidget *parent, bool rowClicked);
    QMenu *taskItemContextMenu(QWidget *parent, bool rowClicked);
    TWTaskController *ensureTaskSheet();
    TWTaskItemController *ensureTaskItemSheet();

    TWTasksControllerDelegate *m_delegate = nullptr;
    TWTaskList m_tasks;
    TWTaskItemList m_taskItems;
    TWTaskList m_importSelectedTasks;
    // Filled for the length of one sort: a task's quantity sums its time
    // items, and the import column asks the ticked list, so both are read
    // once per task rather than once per comparison.
    QHash<const TWTask *, double> m_sortQuantities;
    QSet<const TWTask *> m_sortTicked;
    TWWorkList::RowIndex m_taskRows;
    TWWorkList::RowIndex m_taskItemRows;

    QSplitter *m_splitter = nullptr;
    TWWorkTable *m_tasksTable = nullptr;
    TWWorkTable *m_itemsTable = nullptr;
    QAction *m_addTaskItem = nullptr;
    QAction *m_addTaskItemItem = nullptr;
    TWTaskController *m_taskSheet = nullptr;
    TWTaskItemController *m_taskItemSheet = nullptr;
    TWSplitDivider *m_divider = nullptr;
};

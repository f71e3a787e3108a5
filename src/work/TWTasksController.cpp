#include "work/TWTasksController.h"

#include "work/TWTaskController.h"
#include "work/TWTaskItemController.h"
#include "work/TWTaskTimerCore.h"
#include "work/TWWorkList.h"

#include "app/TWBusinessController.h"
#include "app/TWSplitPanes.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

constexpr int kMinimumPane = 100;

using TWWorkList::column;

} // namespace

QList<TWWorkColumn> TWTasksController::taskColumns()
{
    using K = TWWorkColumn;
    return {column(TWTaskColumnImport, "import", K::CheckBox, false, 50),
            column(TWTaskColumnDate, "date", K::Date, false, 80),
            column(TWTaskColumnClient, "client"),
            column(TWTaskColumnProject, "project"),
            column(TWTaskColumnCompleted, "completed", K::CheckBox, false, 65),
            column(TWTaskColumnName, "name"),
            column(TWTaskColumnType, "type"),
            column(TWTaskColumnEstimate, "estimate", K::Text, true),
            column(TWTaskColumnQuantity, "quantity", K::Text, true),
            column(TWTaskColumnRate, "rate", K::Text, true),
            column(TWTaskColumnSubtotal, "subtotal", K::Text, true),
            column(TWTaskColumnTaxRate, "taxRate", K::Text, true),
            column(TWTaskColumnTotal, "total", K::Text, true),
            column(TWTaskColumnNotes, "notes")};
}

namespace
{

// Titled by the form the durations show in: clock time or decimal hours.
TWWorkColumn durationColumn()
{
    TWWorkColumn duration =
        TWWorkList::column(TWTaskItemColumnDuration, "duration", TWWorkColumn::Text, true, 0,
                           "durationHours", "duration");
    duration.decimalHoursTitleKey = "durationDecimalHours";
    return duration;
}

} // namespace

QList<TWWorkColumn> TWTasksController::taskItemColumns()
{
    using K = TWWorkColumn;
    return {
        column(TWTaskItemColumnClient, "client"), column(TWTaskItemColumnProject, "project"),
        column(TWTaskItemColumnTask, "task"),
        // "start" and "end" are the export's lower-case headings: the
        // columns have titles of their own.
        column(TWTaskItemColumnStart, "start", K::DateTime, false, 140, "taskItemStart",
               "taskItemStart"),
        column(TWTaskItemColumnEnd, "end", K::DateTime, false, 140, "taskItemEnd", "taskItemEnd"),
        durationColumn(), column(TWTaskItemColumnNotes, "notes")};
}

TWTasksController::TWTasksController(QObject *parent) : TWWorkListController(parent)
{
}

TWTasksController::~TWTasksController()
{
    delete m_taskSheet;
    delete m_taskItemSheet;
    delete m_view;
}

void TWTasksController::setBusiness(TWBusiness *business)
{
    m_business = business;
    if (m_tasksTable) {
        m_tasksTable->setBusiness(business);
        m_itemsTable->setBusiness(business);
    }
}

void TWTasksController::build()
{
    m_view = new QWidget;
    auto *outer = new QVBoxLayout(m_view);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_splitter = new QSplitter(Qt::Vertical, m_view);
    m_splitter->setChildrenCollapsible(false);
    outer->addWidget(m_splitter, 1);
    m_tasksTable =
        new TWWorkTable(this, TWColumnSettingsViewTasks, taskColumns(), m_splitter, this);
    m_itemsTable =
        new TWWorkTable(this, TWColumnSettingsViewTaskItems, taskItemColumns(), m_splitter, this);
    m_tasksTable->table()->setObjectName(QStringLiteral("tasksTable"));
    m_itemsTable->table()->setObjectName(QStringLiteral("taskItemsTable"));
    m_tasksTable->setBusiness(m_business);
    m_itemsTable->setBusiness(m_business);
    const bool importing = m_mode == ModeImportSelection || m_mode == ModeAllRecords;
    m_tasksTable->setShowsImportColumn(m_mode == ModeImportSelection);
    m_tasksTable->setHeaderMenuEnabled(!importing);
    m_itemsTable->setHeaderMenuEnabled(!importing);
    for (TWWorkTable *table : {m_tasksTable, m_itemsTable})
        m_splitter->addWidget(table->table());
    // The document keeps the task pane's height.
    m_divider = new TWSplitDivider(
        m_splitter, TWSplitDivider::Measured::First,
        [this] { return m_business ? m_business->taskDividerPosition() : 250.0; },
        [this](double height) {
            if (m_business)
                m_business->setTaskDividerPosition(height);
        });
    m_divider->setFloor(kMinimumPane);
    m_divider->keepRows({m_tasksTable->table(), m_itemsTable->table()});

    const TWWorkList::Bar bar = TWWorkList::makeBar(m_view, QStringLiteral("tasksCountLabel"),
                                                    QStringLiteral("tasksTotalLabel"));
    m_addButton = bar.add;
    m_deleteButton = bar.remove;
    m_countLabel = bar.count;
    m_totalLabel = bar.total;
    m_addButton->setPopupMode(QToolButton::InstantPopup);
    auto *addMenu = new QMenu(m_addButton);
    m_addTaskItem = addMenu->addAction(TWLocalized("newTask"), this, [this] {
        if (canAddTask())
            newTask();
        updateButtonsEnabled();
    });
    m_addTaskItemItem = addMenu->addAction(TWLocalized("newTaskItem"), this, [this] {
        if (itemsTableEnabled() && m_tasksTable->selectedRows().size() == 1)
            newTaskItem();
        updateButtonsEnabled();
    });
    m_addButton->setMenu(addMenu);
    connect(m_deleteButton, &QPushButton::clicked, this, [this] {
        if (taskItemsHasFirstResponder())
            deleteTaskItem(false);
        else if (tasksHasFirstResponder())
            deleteTask(false);
        updateButtonsEnabled();
    });
    outer->addWidget(bar.widget);
    if (importing) {
        m_addButton->hide();
        m_deleteButton->hide();
    }
    // Colours and formats follow the preferences.
    observePreferences([this] {
        m_tasksTable->clearSelection();
        m_tasksTable->reload();
        m_itemsTable->reload();
    });
    updateCountTotalFrame();
}

void TWTasksController::restoreFrame()
{
    view();
    m_divider->restore();
}

void TWTasksController::update()
{
    view();
    const int parents = shownProjectCount();
    m_tasksTable->loadSettings(parents, {QStringLiteral("client"), QStringLiteral("project")});
    m_itemsTable->loadSettings(
        parents, {QStringLiteral("client"), QStringLiteral("project"), QStringLiteral("task")});
    m_tasksTable->updateColumns();
    m_itemsTable->updateColumns();
    updateTasks();
    m_itemsTable->updateSortDescriptors();
    updateCountTotalFrame();
}

// ---- Listing ----

void TWTasksController::updateTasks()
{
    if (!m_tasksTable)
        return;
    m_tasksTable->clearSelection();
    if (m_mode != ModeImportSelection) {
        if (!m_business)
            m_tasks.clear();
        else if (m_mode == ModeAllRecords && !m_projects)
            m_tasks = m_business->tasks();
        else
            m_tasks = m_projects ? m_business->tasksWithProjects(*m_projects) : TWTaskList();
    }
    m_tasksTable->updateSortDescriptors();
    forgetRowIndexes();
    m_tasksTable->table()->scrollToTop();
    updateTaskItems();
}

// ---- Cells ----

TWProjectPtr TWTasksController::projectOf(const TWTask &task) const
{
    return TWWorkList::projectOf(m_business, task.projectIdentifier());
}

TWClientPtr TWTasksController::clientOf(const TWTask &task) const
{
    return TWWorkList::clientOf(m_business, projectOf(task));
}

const TWUnit *TWTasksController::unitOf(const TWTask &task) const
{
    return TWWorkList::unitOf(projectOf(task));
}

double TWTasksController::quantityOf(const TWTask &task) const
{
    // A file's task is not stored (its identifier may even name a stored
    // one): it counts what it carries.
    if (m_mode == ModeImportSelection)
        return task.quantityWithProject(projectOf(task).get(), task.taskItems());
    return m_business ? twQuantity(task, *m_business) : 0.0;
}

QString TWTasksController::money(qint64 value, const TWUnit *unit) const
{
    return TWWorkList::money(value, unit);
}

QString TWTasksController::taskCellText(const TWTask &task, int tag) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (tag) {
    case TWTaskColumnDate:
        return formatter.shortDateString(task.date());
    case TWTaskColumnClient: {
        const TWClientPtr client = clientOf(task);
        return client ? client->name() : QString();
    }
    case TWTaskColumnProject: {
        const TWProjectPtr project = projectOf(task);
        return project ? project->name() : QString();
    }
    case TWTaskColumnName:
        return task.name();
    case TWTaskColumnType:
        return formatter.taskTypeString(task.taskType());
    case TWTaskColumnEstimate:
        return m_business ? task.quantityString(task.estimate()) : QString();
    case TWTaskColumnQuantity:
        return m_business ? task.quantityString(quantityOf(task)) : QString();
    case TWTaskColumnRate:
        return money(task.rate(), unitOf(task));
    case TWTaskColumnSubtotal:
        return money(task.subtotalWithQuantity(quantityOf(task)), unitOf(task));
    case TWTaskColumnTaxRate:
        return formatter.numberString(float(task.taxRate())) + QLatin1Char('%');
    case TWTaskColumnTotal:
        return money(task.totalWithQuantity(quantityOf(task)), unitOf(task));
    case TWTaskColumnNotes:
        return task.notes();
    default:
        return {};
    }
}

int TWTasksController::workRowCount(const TWWorkTable *table) const
{
    return int(table == m_itemsTable ? m_taskItems.size() : m_tasks.size());
}

QString TWTasksController::workText(const TWWorkTable *table, int row, int tag) const
{
    if (table == m_itemsTable) {
        const TWTaskItemPtr item = m_taskItems.value(row);
        return item ? taskItemCellText(*item, tag) : QString();
    }
    const TWTaskPtr task = m_tasks.value(row);
    return task ? taskCellText(*task, tag) : QString();
}

bool TWTasksController::workChecked(const TWWorkTable *table, int row, int tag) const
{
    if (table != m_tasksTable)
        return false;
    const TWTaskPtr task = m_tasks.value(row);
    if (!task)
        return false;
    if (tag == TWTaskColumnCompleted)
        return task->completed();
    if (tag == TWTaskColumnImport)
        return std::any_of(m_importSelectedTasks.begin(), m_importSelectedTasks.end(),
                           [&task](const TWTaskPtr &ticked) { return ticked == task; });
    return false;
}

QColor TWTasksController::workRowColour(const TWWorkTable *table, int row) const
{
    const TWPreferences &preferences = TWPreferences::preferences();
    if (table == m_itemsTable)
        return preferences.taskItemColour();
    const TWTaskPtr task = m_tasks.value(row);
    return task && task->completed() ? preferences.completedColour() : preferences.taskColour();
}

bool TWTasksController::workRowHighlighted(const TWWorkTable *table, int row) const
{
    if (table == m_itemsTable) {
        const qint32 timed = timedTaskItemIdentifier();
        const TWTaskItemPtr item = m_taskItems.value(row);
        return timed != 0 && item && item->identifier() == timed;
    }
    const qint32 timed = timedTaskIdentifier();
    const TWTaskPtr task = m_tasks.value(row);
    return timed != 0 && task && task->identifier() == timed && m_mode != ModeImportSelection;
}

qint32 TWTasksController::timedTaskIdentifier() const
{
    return m_document && m_document->taskTimer() && m_document->isTaskTimerRunning()
               ? m_document->taskTimer()->timedTaskIdentifier()
               : 0;
}

qint32 TWTasksController::timedTaskItemIdentifier() const
{
    return m_document && m_document->taskTimer() && m_document->isTaskTimerRunning()
               ? m_document->taskTimer()->timedTaskItemIdentifier()
               : 0;
}

// ---- Sorting ----

int TWTasksController::compareTasks(const TWTask &a, const TWTask &b, int tag) const
{
    using namespace TWWorkCompare;
    const auto quantityOf = [this](const TWTask &task) {
        const auto found = m_sortQuantities.constFind(&task);
        return found != m_sortQuantities.cend() ? *found : this->quantityOf(task);
    };
    int order = 0;
    switch (tag) {
    case TWTaskColumnImport:
        order = value(m_sortTicked.contains(&a), m_sortTicked.contains(&b));
        break;
    case TWTaskColumnDate:
        order = value(moment(a.date()), moment(b.date()));
        break;
    case TWTaskColumnClient: {
        const TWClientPtr ca = clientOf(a), cb = clientOf(b);
        order = text(ca ? ca->name() : QString(), cb ? cb->name() : QString(), !ca, !cb);
        break;
    }
    case TWTaskColumnProject: {
        const TWProjectPtr pa = projectOf(a), pb = projectOf(b);
        order = text(pa ? pa->name() : QString(), pb ? pb->name() : QString(), !pa, !pb);
        break;
    }
    case TWTaskColumnCompleted:
        order = value(a.completed(), b.completed());
        break;
    case TWTaskColumnName:
        order = text(a.name(), b.name());
        break;
    case TWTaskColumnNotes:
        order = text(a.notes(), b.notes());
        break;
    case TWTaskColumnType: {
        const TWFormatter &formatter = TWFormatter::formatter();
        order =
            text(formatter.taskTypeString(a.taskType()), formatter.taskTypeString(b.taskType()));
        break;
    }
    case TWTaskColumnEstimate:
        order = value(a.estimate(), b.estimate());
        break;
    case TWTaskColumnTaxRate:
        order = value(a.taxRate(), b.taxRate());
        break;
    case TWTaskColumnQuantity:
        order = value(a.taskType(), b.taskType());
        if (order == 0)
            order = value(quantityOf(a), quantityOf(b));
        break;
    case TWTaskColumnRate:
        order = value(a.rate(), b.rate());
        break;
    case TWTaskColumnSubtotal:
        order = value(a.subtotalWithQuantity(quantityOf(a)), b.subtotalWithQuantity(quantityOf(b)));
        break;
    case TWTaskColumnTotal:
        order = value(a.totalWithQuantity(quantityOf(a)), b.totalWithQuantity(quantityOf(b)));
        break;
    default:
        break;
    }
    return order != 0 ? order : value(a.identifier(), b.identifier());
}

void TWTasksController::workSort(TWWorkTable *table, int tag, bool ascending)
{
    // A date becomes a moment through the local zone: once per record, not per comparison.
    if (table == m_itemsTable) {
        if (tag == TWTaskItemColumnStart || tag == TWTaskItemColumnEnd)
            TWWorkList::sortByKey(
                m_taskItems,
                [tag](const TWTaskItem &item) {
                    return TWWorkCompare::moment(tag == TWTaskItemColumnStart ? item.startDateTime()
                                                                              : item.endDateTime());
                },
                ascending);
        else
            std::stable_sort(
                m_taskItems.begin(), m_taskItems.end(),
                [this, tag, ascending](const TWTaskItemPtr &a, const TWTaskItemPtr &b) {
                    const int order = compareTaskItems(*a, *b, tag);
                    return ascending ? order < 0 : order > 0;
                });
    } else if (tag == TWTaskColumnDate) {
        // Equal dates in identifier order, as every other column breaks its ties.
        TWWorkList::sortByKey(
            m_tasks,
            [](const TWTask &task) {
                return std::pair(TWWorkCompare::moment(task.date()), task.identifier());
            },
            ascending);
    } else {
        if (tag == TWTaskColumnQuantity || tag == TWTaskColumnSubtotal || tag == TWTaskColumnTotal)
            for (const TWTaskPtr &task : std::as_const(m_tasks))
                m_sortQuantities.insert(task.get(), quantityOf(*task));
        if (tag == TWTaskColumnImport)
            for (const TWTaskPtr &task : std::as_const(m_importSelectedTasks))
                m_sortTicked.insert(task.get());
        std::stable_sort(m_tasks.begin(), m_tasks.end(),
                         [this, tag, ascending](const TWTaskPtr &a, const TWTaskPtr &b) {
                             const int order = compareTasks(*a, *b, tag);
                             return ascending ? order < 0 : order > 0;
                         });
        m_sortQuantities.clear();
        m_sortTicked.clear();
    }
    forgetRowIndexes();
}

// ---- Rows ----

TWTaskList TWTasksController::tasksForRows(const QList<int> &rows) const
{
    return TWWorkList::recordsForRows(m_tasks, rows);
}

TWTaskList TWTasksController::selectedTasks() const
{
    return m_tasksTable ? tasksForRows(m_tasksTable->selectedRows()) : TWTaskList();
}

int TWTasksController::taskRow(const TWTask &task) const
{
    return m_taskRows.of(m_tasks).value(task.identifier(), -1);
}

bool TWTasksController::tasksHasFirstResponder() const
{
    return m_tasksTable && m_tasksTable->hasFirstResponder();
}

bool TWTasksController::taskTableViewHasContextMenu(const QMenu *menu) const
{
    return m_tasksTable && m_tasksTable->hasContextMenu(menu);
}

bool TWTasksController::hasSelectedTask(bool context, bool single, bool multiple) const
{
    return m_tasksTable && m_tasksTable->hasSelected(context, single, multiple);
}

bool TWTasksController::canAddTask() const
{
    return canAddRecord();
}

bool TWTasksController::canEditTask(bool context) const
{
    return hasSelectedTask(context, true, false);
}

bool TWTasksController::canDuplicateTask(bool context) const
{
    return canChangeStoredRecords() && hasSelectedTask(context, false, false);
}

bool TWTasksController::canDeleteTask(bool context) const
{
    return canChangeStoredRecords() && hasSelectedTask(context, false, false);
}

bool TWTasksController::canMarkTask(bool context) const
{
    return hasSelectedTask(context, false, false);
}

bool TWTasksController::canStartStopTaskTimer(bool context) const
{
    if (timedTaskIdentifier() != 0)
        return true;
    if (m_mode == ModeImportSelection || !m_business)
        return false;
    const TWTaskPtr task = selectedTask(context);
    return task && TWTaskTimerCore::canTimeTask(task, *m_business);
}

TWTaskPtr TWTasksController::selectedTask(bool context) const
{
    if (!m_tasksTable)
        return nullptr;
    const QList<int> rows = m_tasksTable->rowsActedOn(context);
    return rows.size() == 1 ? m_tasks.value(rows.constFirst()) : nullptr;
}

bool TWTasksController::validationQuery(TWQuery query, bool context) const
{
    switch (query) {
    case TWQuery::CanAddTask:
        return canAddTask();
    case TWQuery::CanEditTask:
        return canEditTask(context);
    case TWQuery::CanDuplicateTask:
        return canDuplicateTask(context);
    case TWQuery::CanDeleteTask:
        return canDeleteTask(context);
    case TWQuery::CanMarkTask:
        return canMarkTask(context);
    case TWQuery::CanStartStopTaskTimer:
        return canStartStopTaskTimer(context);
    case TWQuery::HasSelectedTask:
        return hasSelectedTask(context, false, false);
    case TWQuery::CanAddTaskItem:
        return canAddTaskItem();
    case TWQuery::CanEditTaskItem:
        return canEditTaskItem(context);
    case TWQuery::CanDuplicateTaskItem:
        return canDuplicateTaskItem(context);
    case TWQuery::CanDeleteTaskItem:
        return canDeleteTaskItem(context);
    default:
        return false;
    }
}

// ---- Count, total and buttons ----

void TWTasksController::updateCountTotalFrame()
{
    if (!m_countLabel)
        return;
    const bool shown = m_mode == ModeProjects;
    m_countLabel->setVisible(shown);
    m_totalLabel->setVisible(shown);
}

void TWTasksController::updateTasksCountTotal()
{
    if (!m_countLabel || m_mode != ModeProjects || !m_business)
        return;
    const qsizetype listed = m_tasks.size();
    const QString noun = listed == 1 ? TWLocalized("taskLower") : TWLocalized("tasksLower");
    const QList<int> rows = m_tasksTable->selectedRows();
    const TWUnit *home = m_business->homeUnit().get();
    const qint64 all = m_projects ? m_business->taskHomeTotalWithProjects(*m_projects) : 0;
    TWWorkList::showCountTotal(
        m_countLabel, m_totalLabel, listed, noun, rows.size(), money(all, home),
        [&] { return money(m_business->taskHomeTotalWithTasks(tasksForRows(rows)), home); });
}

void TWTasksController::updateButtonsEnabled()
{
    if (!m_addButton)
        return;
    m_addTaskItem->setEnabled(canAddTask());
    m_addTaskItemItem->setEnabled(itemsTableEnabled() && m_tasksTable->selectedRows().size() == 1);
    m_addButton->setEnabled(m_addTaskItem->isEnabled() || m_addTaskItemItem->isEnabled());
    const bool items = taskItemsHasFirstResponder();
    m_deleteButton->setEnabled(canChangeStoredRecords() &&
                               !(items ? m_itemsTable : m_tasksTable)->selectedRows().isEmpty());
}

void TWTasksController::workSelectionChanged(TWWorkTable *table)
{
    if (table == m_tasksTable)
        updateTaskItems();
    updateButtonsEnabled();
    if (table == m_tasksTable)
        updateTasksCountTotal();
}

// ---- Check boxes, keys, double clicks ----

void TWTasksController::workCheckbox(TWWorkTable *table, int row, int tag, bool on)
{
    if (table != m_tasksTable)
        return;
    const TWTaskPtr task = m_tasks.value(row);
    if (!task)
        return;
    if (tag == TWTaskColumnImport) {
        TWWorkList::setTicked(m_importSelectedTasks, task, on);
        m_tasksTable->refreshRows({row});
        if (m_delegate)
            m_delegate->tasksControllerImportSelectedTasksChanged(this);
        emit tasksChanged();
        return;
    }
    if (tag != TWTaskColumnCompleted)
        return;
    const bool before = task->completed();
    task->setCompleted(on);
    if (m_mode != ModeImportSelection && m_business) {
        if (TWErrorResult error = m_business->updateTask(task, true)) {
            // The store kept the old flag: so does its record.
            task->setCompleted(before);
            m_tasksTable->refreshRows({row});
            presentError(TWError(QStringLiteral("Tallyworth Tasks Error"), -1,
                                 error->localizedDescription()));
            return;
        }
        changed();
    }
    const int now = taskRow(*task);
    m_tasksTable->refreshRows({now >= 0 ? now : row});
}

bool TWTasksController::workKey(TWWorkTable *table, int key)
{
    const bool items = table == m_itemsTable;
    switch (key) {
    case 1:
        if (items)
            deleteTaskItem(false);
        else
            deleteTask(false);
        return true;
    case '\r':
        if (m_mode != ModeProjects)
            return false;
        [[fallthrough]];
    case ' ':
        if (table->selectedRows().size() != 1)
            return true;
        if (items)
            editSelectedTaskItem(false);
        else
            editSelectedTask(false);
        return true;
    default:
        return false;
    }
}

void TWTasksController::workDoubleClick(TWWorkTable *table)
{
    if (table->rememberedRows().size() != 1)
        return;
    if (table == m_itemsTable)
        editTaskItem(m_taskItems.value(table->rememberedRows().constFirst()),
                     m_mode == ModeImportSelection);
    else
        editTask(m_tasks.value(table->rememberedRows().constFirst()),
                 m_mode == ModeImportSelection);
}

// ---- Context menu ----

QMenu *TWTasksController::workContextMenu(TWWorkTable *table, QWidget *parent, bool rowClicked)
{
    return table == m_itemsTable ? taskItemContextMenu(parent, rowClicked)
                                 : taskContextMenu(parent, rowClicked);
}

QMenu *TWTasksController::taskContextMenu(QWidget *parent, bool rowClicked)
{
    auto *menu = new QMenu(parent);
    const bool importing = m_mode != ModeProjects;
    const qsizetype rows = m_tasksTable->contextRows().size();
    if (!importing && canAddTask())
        menu->addAction(TWLocalized("newTask"), this, [this] { newTask(); });
    if (rowClicked && rows == 1)
        menu->addAction(TWLocalized("editTask"), this, [this] { editSelectedTask(true); });
    if (rowClicked && !importing) {
        menu->addAction(TWLocalized(rows == 1 ? "duplicateTask" : "duplicateTasks"), this,
                        [this] { duplicateSelectedTask(true); });
        menu->addAction(TWLocalized(rows == 1 ? "deleteTask" : "deleteTasks"), this,
                        [this] { deleteTask(true); });
        menu->addSeparator();
        QAction *timer = menu->addAction(
            TWLocalized(m_document && m_document->isTaskTimerRunning() ? "stopTimer"
                                                                       : "startTimer"),
            this, [this] {
                if (m_document)
                    m_document->perform(TWAction::doStartStopTaskTimerContext);
            });
        timer->setEnabled(canStartStopTaskTimer(true));
        menu->addSeparator();
    }
    if (rowClicked) {
        QMenu *mark = menu->addMenu(TWLocalized("mark"));
        mark->addAction(TWLocalized("asCompleted"), this, [this] { markTask(true, true); });
        mark->addAction(TWLocalized("asNotCompleted"), this, [this] { markTask(false, true); });
    }
    return TWWorkList::shownOrNone(menu);
}

// ---- Task commands ----

TWTaskController *TWTasksController::ensureTaskSheet()
{
    if (!m_taskSheet)
        m_taskSheet = new TWTaskController();
    m_taskSheet->setBusinessController(m_document);
    m_taskSheet->setBusiness(m_business);
    return m_taskSheet;
}

void TWTasksController::newTask()
{
    if (!canAddTask() || !m_business || !m_document)
        return;
    const TWProjectPtr project = m_projects->constFirst();
    const qint32 identifier = m_business->nextTaskIdentifier();
    if (identifier == 0) {
        presentError(m_document->lastStoreError());
        return;
    }
    const TWTaskPtr task = TWTask::taskWithDate(TWClock::now(), false, QString(), TWTaskTypeTimed,
                                                0.0, 0.0, project->rate(), project->taxRate(),
                                                QString(), project->identifier(), identifier);
    TWTaskController *sheet = ensureTaskSheet();
    sheet->setTask(task);
    sheet->setMode(TWEditorMode::New);
    sheet->setIsImport(false);
    sheet->update();
    QPointer<TWTasksController> guarded(this);
    m_document->beginSheetWithView(sheet->view(), false, false, [guarded, task](int code) {
        if (!guarded || code != TWSheetResult::Confirmed)
            return;
        const int row = guarded->taskRow(*task);
        if (row >= 0)
            guarded->m_tasksTable->selectRow(row);
    });
}

void TWTasksController::editSelectedTask(bool context)
{
    const QList<int> rows = m_tasksTable ? m_tasksTable->rowsActedOn(context) : QList<int>();
    if (rows.size() == 1)
        editTask(m_tasks.value(rows.constFirst()), m_mode == ModeImportSelection);
}

void TWTasksController::editTask(const TWTaskPtr &task, bool isImport)
{
    if (!task || !m_document)
        return;
    TWTaskController *sheet = ensureTaskSheet();
    sheet->setTask(task);
    sheet->setMode(TWEditorMode::Existing);
    sheet->setIsImport(isImport);
    sheet->update();
    const TWTaskList remembered = selectedTasks();
    QPointer<TWTasksController> guarded(this);
    m_document->beginSheetWithView(
        sheet->view(), false, true, [guarded, sheet, isImport, remembered](int code) {
            if (!guarded || code != TWSheetResult::Confirmed || !sheet->saved())
                return;
            if (isImport)
                guarded->updateTask(sheet->task(), sheet->editTask());
            if (!remembered.isEmpty()) {
                const int row = guarded->taskRow(*remembered.constFirst());
                if (row >= 0)
                    guarded->m_tasksTable->selectRow(row);
            }
        });
}

void TWTasksController::updateTask(const TWTaskPtr &original, const TWTaskPtr &edited)
{
    if (!original || !edited)
        return;
    TWWorkList::replaceRecord(m_tasks, original, edited);
    TWWorkList::replaceRecord(m_importSelectedTasks, original, edited);
    updateTasks();
    emit tasksChanged();
}

void TWTasksController::duplicateSelectedTask(bool context)
{
    if (!m_tasksTable || !canDuplicateTask(context))
        return;
    duplicateTasks(tasksForRows(m_tasksTable->rowsActedOn(context)));
}

void TWTasksController::duplicateTasks(const TWTaskList &tasks)
{
    if (!m_business || !canChangeStoredRecords())
        return;
    int added = 0;
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        tasks, m_document, [this] { return m_business->nextTaskIdentifier(); },
        [this](const TWTaskPtr &copy) {
            copy->setCompleted(false);
            return m_business->addTask(copy, false);
        },
        added);
    if (added > 0)
        m_business->notifyTasksAdd();
    changed();
    if (failure)
        presentError(*failure);
}

void TWTasksController::deleteTask(bool context)
{
    if (!m_tasksTable || !canDeleteTask(context) || !m_business)
        return;
    const TWTaskList chosen = tasksForRows(m_tasksTable->rowsActedOn(context));
    const TWInvoiceList billed = m_business->invoicesBillingWork(chosen, {});
    TWWorkList::confirmBilledDeletion(
        this, *m_business, billed, chosen, {}, m_tasksTable->rowsActedOn(context).size(),
        "deleteTaskTitle", "deleteTasksTitle", "deleteTask", "deleteTasks",
        m_view ? m_view->window() : nullptr, [this, context] {
            if (!m_business)
                return;
            // Each deletion reloads the list: the records are taken first.
            const TWTaskList tasks = tasksForRows(m_tasksTable->rowsActedOn(context));
            const TWErrorResult failure =
                TWWorkList::deleteRecords(tasks, [this](const TWTaskPtr &task) {
                    return m_business->deleteTask(task, true);
                });
            m_tasksTable->clearSelection();
            changed();
            if (failure)
                presentError(*failure);
        });
}

void TWTasksController::markTask(bool completed, bool context)
{
    if (!m_tasksTable)
        return;
    const TWTaskList tasks = tasksForRows(m_tasksTable->rowsActedOn(context));
    for (const TWTaskPtr &task : tasks) {
        const bool before = task->completed();
        task->setCompleted(completed);
        if (m_mode == ModeImportSelection || !m_business)
            continue;
        if (TWErrorResult error = m_business->updateTask(task, true)) {
            task->setCompleted(before);
            presentError(*error);
            break;
        }
        changed();
    }
    m_tasksTable->clearSelection();
    m_tasksTable->reload();
}

// ---- The timer ----

void TWTasksController::connectTimer(TWTaskTimerCore *timer)
{
    if (!timer)
        return;
    connect(timer, &TWTaskTimerCore::taskItemsChanged, this, [this] { updateTaskItems(); });
    connect(timer, &TWTaskTimerCore::timerRowsChanged, this,
            [this](const TWProjectPtr &, const TWTaskPtr &task, const TWTaskItemPtr &item) {
                updateTimerTask(task, item);
            });
    connect(timer, &TWTaskTimerCore::highlightChanged, this, [this](bool on) { highlight(on); });
}

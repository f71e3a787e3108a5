// The tasks view's second table: the time items of the chosen tasks, their
// commands, and the timer's rows.

#include "work/TWTasksController.h"

#include "work/TWTaskItemController.h"
#include "work/TWWorkList.h"

#include "app/TWBusinessController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QMenu>
#include <QTimeZone>

bool TWTasksController::itemsTableEnabled() const
{
    const TWTaskList chosen = selectedTasks().isEmpty() ? m_tasks : selectedTasks();
    for (const TWTaskPtr &task : chosen) {
        if (!task || task->taskType() != TWTaskTypeTimed)
            continue;
        const TWProjectPtr project = projectOf(*task);
        if (project && project->type() == 1)
            return true;
    }
    return false;
}

void TWTasksController::updateTaskItems()
{
    if (!m_itemsTable)
        return;
    m_itemsTable->clearSelection();
    const TWTaskList chosen = selectedTasks().isEmpty() ? m_tasks : selectedTasks();
    m_taskItems.clear();
    if (m_mode == ModeImportSelection) {
        for (const TWTaskPtr &task : chosen)
            if (task)
                m_taskItems.append(task->taskItems());
    } else if (m_business) {
        m_taskItems = m_business->taskItemsWithTasks(chosen);
    }
    updateTasksCountTotal();
    m_itemsTable->sort();
    forgetRowIndexes();
    m_itemsTable->table()->scrollToTop();
    m_itemsTable->table()->setEnabled(itemsTableEnabled());
    updateButtonsEnabled();
}

TWTaskPtr TWTasksController::taskOf(const TWTaskItem &item) const
{
    if (m_mode == ModeImportSelection) {
        // A file's items belong to the task that carries them.
        for (const TWTaskPtr &task : m_tasks)
            if (task)
                for (const TWTaskItemPtr &carried : task->taskItems())
                    if (carried.get() == &item)
                        return task;
        return nullptr;
    }
    return m_business ? m_business->taskWithIdentifier(item.taskIdentifier()) : nullptr;
}

QString TWTasksController::taskItemMomentText(const TWTaskItem &item, bool end)
{
    const QDateTime &moment = end ? item.endDateTime() : item.startDateTime();
    if (!moment.isValid())
        return {};
    // Items keep wall-clock times (the fields as if they were UTC), shown as
    // kept: an end written at a change on the clock before it reads as that clock.
    const auto wall = [](const QDateTime &date) {
        const QDateTime local = date.timeSpec() == Qt::OffsetFromUTC ? date : date.toLocalTime();
        return QDateTime(local.date(), local.time(), Qt::UTC);
    };
    const QDateTime shown = wall(moment);
    const QString text = TWFormatter::formatter().locale().toString(shown, QLocale::ShortFormat);
    const QTimeZone zone = QTimeZone::systemTimeZone();
    // Most times are far from a change: two look-ups tell.
    if (zone.offsetFromUtc(shown.addDays(-1)) <= zone.offsetFromUtc(shown.addDays(1)))
        return text;
    const QTimeZone::OffsetData change = zone.nextTransition(shown.addDays(-2));
    if (!change.atUtc.isValid())
        return text;
    const int before = zone.offsetFromUtc(change.atUtc.addSecs(-1));
    const int after = change.offsetFromUtc;
    // The clock shows [from, to] twice: first on the earlier offset, then on the later.
    const QDateTime from = change.atUtc.addSecs(after);
    const QDateTime to = change.atUtc.addSecs(before);
    if (before <= after || shown < from || shown > to || (end ? shown == from : shown == to))
        return text;
    // One clock for the item, which never runs across the change: an item
    // ending at the change (as the timer ends one) is on the earlier clock, one
    // starting there on the later; otherwise the clock its own moment was read on.
    const QDateTime startWall =
        item.startDateTime().isValid() ? wall(item.startDateTime()) : QDateTime();
    const QDateTime endWall = item.endDateTime().isValid() ? wall(item.endDateTime()) : QDateTime();
    bool earlier = false;
    if (endWall == to)
        earlier = true;
    else if (startWall == from)
        earlier = false;
    else if (startWall.isValid() && startWall > from && startWall < to)
        earlier = item.startDateTime().offsetFromUtc() == before;
    else
        earlier = moment.offsetFromUtc() == before;
    const int offset = earlier ? before : after;
    // The clock's name just before the change, or from it on.
    const QDateTime onClock = earlier ? change.atUtc.addSecs(-1) : change.atUtc;
    QString zoneName = zone.abbreviation(onClock);
    if (zoneName.isEmpty())
        zoneName = onClock.toOffsetFromUtc(offset).timeZoneAbbreviation();
    return text + QLatin1Char(' ') + zoneName;
}

QString TWTasksController::taskItemCellText(const TWTaskItem &item, int tag) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (tag) {
    case TWTaskItemColumnClient: {
        const TWTaskPtr task = taskOf(item);
        const TWClientPtr client = task ? clientOf(*task) : nullptr;
        return client ? client->name() : QString();
    }
    case TWTaskItemColumnProject: {
        const TWTaskPtr task = taskOf(item);
        const TWProjectPtr project = task ? projectOf(*task) : nullptr;
        return project ? project->name() : QString();
    }
    case TWTaskItemColumnTask: {
        const TWTaskPtr task = taskOf(item);
        return task ? task->name() : QString();
    }
    case TWTaskItemColumnStart:
        return taskItemMomentText(item, false);
    case TWTaskItemColumnEnd:
        return taskItemMomentText(item, true);
    case TWTaskItemColumnDuration:
        return formatter.timeString(item.duration(), true,
                                    TWPreferences::preferences().timeFormat());
    case TWTaskItemColumnNotes:
        return item.notes();
    default:
        return {};
    }
}

int TWTasksController::compareTaskItems(const TWTaskItem &a, const TWTaskItem &b, int tag) const
{
    using namespace TWWorkCompare;
    switch (tag) {
    case TWTaskItemColumnClient: {
        const TWTaskPtr ta = taskOf(a), tb = taskOf(b);
        const TWClientPtr ca = ta ? clientOf(*ta) : nullptr, cb = tb ? clientOf(*tb) : nullptr;
        return text(ca ? ca->name() : QString(), cb ? cb->name() : QString(), !ca, !cb);
    }
    case TWTaskItemColumnProject: {
        const TWTaskPtr ta = taskOf(a), tb = taskOf(b);
        const TWProjectPtr pa = ta ? projectOf(*ta) : nullptr, pb = tb ? projectOf(*tb) : nullptr;
        return text(pa ? pa->name() : QString(), pb ? pb->name() : QString(), !pa, !pb);
    }
    case TWTaskItemColumnTask: {
        const TWTaskPtr ta = taskOf(a), tb = taskOf(b);
        return text(ta ? ta->name() : QString(), tb ? tb->name() : QString(), !ta, !tb);
    }
    case TWTaskItemColumnStart:
        return value(moment(a.startDateTime()), moment(b.startDateTime()));
    case TWTaskItemColumnEnd:
        return value(moment(a.endDateTime()), moment(b.endDateTime()));
    case TWTaskItemColumnDuration:
        return value(a.duration(), b.duration());
    case TWTaskItemColumnNotes:
        return text(a.notes(), b.notes());
    default:
        return 0;
    }
}

// ---- Rows and permissions ----

TWTaskItemList TWTasksController::taskItemsForRows(const QList<int> &rows) const
{
    return TWWorkList::recordsForRows(m_taskItems, rows);
}

TWTaskItemList TWTasksController::selectedTaskItems() const
{
    return m_itemsTable ? taskItemsForRows(m_itemsTable->selectedRows()) : TWTaskItemList();
}

int TWTasksController::taskItemRow(const TWTaskItem &taskItem) const
{
    return m_taskItemRows.of(m_taskItems).value(taskItem.identifier(), -1);
}

bool TWTasksController::taskItemsHasFirstResponder() const
{
    return m_itemsTable && m_itemsTable->hasFirstResponder();
}

bool TWTasksController::taskItemTableViewHasContextMenu(const QMenu *menu) const
{
    return m_itemsTable && m_itemsTable->hasContextMenu(menu);
}

bool TWTasksController::hasSelectedTaskItem(bool context, bool single, bool multiple) const
{
    return m_itemsTable && m_itemsTable->hasSelected(context, single, multiple);
}

bool TWTasksController::canAddTaskItem() const
{
    if (m_mode != ModeProjects || !m_tasksTable || m_tasksTable->selectedRows().size() != 1)
        return false;
    // Any task of a project (not an estimate) takes time items; a task whose
    // quantity is typed keeps its quantity, the item is only a record.
    const TWTaskPtr task = selectedTasks().constFirst();
    const TWProjectPtr project = task ? projectOf(*task) : nullptr;
    return project && project->type() == TWProjectTypeProject;
}

bool TWTasksController::canEditTaskItem(bool context) const
{
    return hasSelectedTaskItem(context, true, false);
}

bool TWTasksController::canDuplicateTaskItem(bool context) const
{
    return canChangeStoredRecords() && hasSelectedTaskItem(context, false, false);
}

bool TWTasksController::canDeleteTaskItem(bool context) const
{
    return canChangeStoredRecords() && hasSelectedTaskItem(context, false, false);
}

QMenu *TWTasksController::taskItemContextMenu(QWidget *parent, bool rowClicked)
{
    if (!m_itemsTable->table()->isEnabled()) {
        m_itemsTable->setContextRows({});
        return nullptr;
    }
    auto *menu = new QMenu(parent);
    const bool importing = m_mode != ModeProjects;
    const qsizetype rows = m_itemsTable->contextRows().size();
    if (!importing && canAddTaskItem())
        menu->addAction(TWLocalized("newTaskItem"), this, [this] { newTaskItem(); });
    if (rowClicked && rows == 1)
        menu->addAction(TWLocalized("editTaskItem"), this, [this] { editSelectedTaskItem(true); });
    if (rowClicked && !importing) {
        menu->addAction(TWLocalized(rows == 1 ? "duplicateTaskItem" : "duplicateTaskItems"), this,
                        [this] { duplicateSelectedTaskItem(true); });
        menu->addAction(TWLocalized(rows == 1 ? "deleteTaskItem" : "deleteTaskItems"), this,
                        [this] { deleteTaskItem(true); });
    }
    return TWWorkList::shownOrNone(menu);
}

// ---- Commands ----

TWTaskItemController *TWTasksController::ensureTaskItemSheet()
{
    if (!m_taskItemSheet)
        m_taskItemSheet = new TWTaskItemController();
    m_taskItemSheet->setBusinessController(m_document);
    m_taskItemSheet->setBusiness(m_business);
    return m_taskItemSheet;
}

void TWTasksController::newTaskItem()
{
    if (!canAddTaskItem() || !m_document || !m_business)
        return;
    const TWTaskPtr task = selectedTasks().constFirst();
    const qint32 identifier = m_business->nextTaskItemIdentifier();
    if (identifier == 0) {
        presentError(m_document->lastStoreError());
        return;
    }
    const QDateTime now = TWClock::now();
    const TWTaskItemPtr item =
        TWTaskItem::taskItemWithStartDateTime(now, now, QString(), task->identifier(), identifier);
    TWTaskItemController *sheet = ensureTaskItemSheet();
    sheet->setTaskItem(item);
    sheet->setMode(TWEditorMode::New);
    sheet->setIsImport(false);
    sheet->update();
    QPointer<TWTasksController> guarded(this);
    m_document->beginSheetWithView(sheet->view(), false, true, [guarded, item](int code) {
        if (!guarded || code != TWSheetResult::Confirmed)
            return;
        guarded->updateTaskItems();
        guarded->m_tasksTable->refreshRows(guarded->m_tasksTable->selectedRows());
        const int row = guarded->taskItemRow(*item);
        if (row >= 0)
            guarded->m_itemsTable->selectRow(row);
    });
}

void TWTasksController::editSelectedTaskItem(bool context)
{
    const QList<int> rows = m_itemsTable ? m_itemsTable->rowsActedOn(context) : QList<int>();
    if (rows.size() == 1)
        editTaskItem(m_taskItems.value(rows.constFirst()), m_mode == ModeImportSelection);
}

void TWTasksController::editTaskItem(const TWTaskItemPtr &taskItem, bool isImport)
{
    if (!taskItem || !m_document)
        return;
    TWTaskItemController *sheet = ensureTaskItemSheet();
    sheet->setTaskItem(taskItem);
    sheet->setMode(TWEditorMode::Existing);
    sheet->setIsImport(isImport);
    sheet->update();
    const TWTaskItemList remembered = selectedTaskItems();
    QPointer<TWTasksController> guarded(this);
    m_document->beginSheetWithView(
        sheet->view(), false, true, [guarded, sheet, isImport, remembered](int code) {
            if (!guarded || code != TWSheetResult::Confirmed)
                return;
            if (isImport)
                guarded->updateTaskItem(sheet->taskItem(), sheet->editTaskItem());
            guarded->updateTaskItems();
            guarded->m_tasksTable->refreshRows(guarded->m_tasksTable->selectedRows());
            if (!remembered.isEmpty()) {
                const int row = guarded->taskItemRow(*remembered.constFirst());
                if (row >= 0)
                    guarded->m_itemsTable->selectRow(row);
            }
        });
}

void TWTasksController::updateTaskItem(const TWTaskItemPtr &original, const TWTaskItemPtr &edited)
{
    if (!original || !edited)
        return;
    for (const TWTaskPtr &task : m_tasks) {
        if (!task || task->identifier() != original->taskIdentifier())
            continue;
        TWTaskItemList items = task->taskItems();
        TWWorkList::replaceRecord(items, original, edited);
        task->setTaskItems(items);
        updateTaskItems();
        emit tasksChanged();
        return;
    }
}

void TWTasksController::duplicateSelectedTaskItem(bool context)
{
    if (!m_itemsTable || !canDuplicateTaskItem(context))
        return;
    duplicateTaskItems(taskItemsForRows(m_itemsTable->rowsActedOn(context)));
}

void TWTasksController::duplicateTaskItems(const TWTaskItemList &taskItems)
{
    if (!m_business || !canChangeStoredRecords())
        return;
    int added = 0;
    const TWErrorResult failure = TWWorkList::duplicateRecords(
        taskItems, m_document, [this] { return m_business->nextTaskItemIdentifier(); },
        [this](const TWTaskItemPtr &copy) { return m_business->addTaskItem(copy, false); }, added);
    const TWTaskList remembered = selectedTasks();
    if (added > 0)
        m_business->notifyTaskItemsAdd();
    updateTasks();
    if (!remembered.isEmpty()) {
        const int row = taskRow(*remembered.constFirst());
        if (row >= 0)
            m_tasksTable->selectRow(row);
    }
    changed();
    if (failure)
        presentError(*failure);
}

void TWTasksController::deleteTaskItem(bool context)
{
    if (!m_itemsTable || !canDeleteTaskItem(context))
        return;
    TWWorkList::confirmDeletion(
        this, m_itemsTable->rowsActedOn(context).size(), "deleteTaskItemTitle",
        "deleteTaskItemsTitle", "deleteTaskItem", "deleteTaskItems",
        m_view ? m_view->window() : nullptr, [this, context] {
            if (!m_business)
                return;
            const TWTaskItemList items = taskItemsForRows(m_itemsTable->rowsActedOn(context));
            const TWErrorResult failure =
                TWWorkList::deleteRecords(items, [this](const TWTaskItemPtr &item) {
                    return m_business->deleteTaskItem(item, true);
                });
            m_itemsTable->clearSelection();
            updateTaskItems();
            m_tasksTable->refreshRows(m_tasksTable->selectedRows());
            changed();
            if (failure)
                presentError(*failure);
        });
}

// ---- The timer's rows ----

void TWTasksController::updateTimerTask(const TWTaskPtr &task, const TWTaskItemPtr &taskItem)
{
    if (!task || !m_tasksTable)
        return;
    const int row = taskRow(*task);
    if (row < 0)
        return;
    for (int tag : {TWTaskColumnQuantity, TWTaskColumnSubtotal, TWTaskColumnTotal})
        m_tasksTable->refreshCell(row, tag);
    if (taskItem) {
        const int itemRow = taskItemRow(*taskItem);
        if (itemRow >= 0) {
            // The list holds the store's object of the last listing; the write
            // replaced it, so the row takes the written one.
            m_taskItems[itemRow] = taskItem;
            m_itemsTable->refreshCell(itemRow, TWTaskItemColumnEnd);
            m_itemsTable->refreshCell(itemRow, TWTaskItemColumnDuration);
        }
    }
    updateTasksCountTotal();
}

void TWTasksController::highlight(bool)
{
    if (!m_tasksTable)
        return;
    // The highlight is the rows' background (a data role), so it also
    // survives scrolling and reloads; here the rows are only redrawn.
    const int taskRowIndex = m_taskRows.of(m_tasks).value(
        m_document && m_document->taskTimer() ? m_document->taskTimer()->timedTaskIdentifier() : 0,
        -1);
    const int itemRowIndex = m_taskItemRows.of(m_taskItems)
                                 .value(m_document && m_document->taskTimer()
                                            ? m_document->taskTimer()->timedTaskItemIdentifier()
                                            : 0,
                                        -1);
    if (taskRowIndex >= 0)
        m_tasksTable->table()->scrollTo(m_tasksTable->model()->index(taskRowIndex, 0));
    if (itemRowIndex >= 0)
        m_itemsTable->table()->scrollTo(m_itemsTable->model()->index(itemRowIndex, 0));
    // Rows that lost the highlight are redrawn too: the whole visible area.
    m_tasksTable->table()->viewport()->update();
    m_itemsTable->table()->viewport()->update();
}

// The tasks of a business and their time items: the tables, the in-memory
// lists with their indexes by identifier and by owner, the quantity a task
// counts, home totals, the duplicate test of import, and the deletions that
// take a task's time items and invoice links with it.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"
#include "store/TWWorkTotals.h"

#include "foundation/TWClock.h"
#include "model/TWWorkArithmetic.h"
#include "store/TWWorkColumns.h"

#include <sqlite3.h>

namespace
{

const char *const kTasksMaxIdentifierSQL = "SELECT MAX(identifier) FROM tasks;";
const char *const kTasksSelectSQL =
    "SELECT identifier, projectIdentifier, date, completed, name, type, estimatedTime, "
    "quantity, rate, taxRate, notes FROM tasks;";
const char *const kTasksInsertSQL =
    "INSERT INTO tasks ( identifier, projectIdentifier, date, completed, name, type, "
    "estimatedTime, quantity, rate, taxRate, notes ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kTasksDeleteSQL = "DELETE FROM tasks WHERE identifier=?;";
const char *const kTasksUpdateSQL =
    "UPDATE tasks SET date=?, completed=?, name=?, type=?, estimatedTime=?, quantity=?, "
    "rate=?, taxRate=?, notes=? WHERE identifier=?;";

const char *const kTaskItemsMaxIdentifierSQL = "SELECT MAX(identifier) FROM taskItems;";
const char *const kTaskItemsSelectSQL =
    "SELECT identifier, taskIdentifier, startDateTime, endDateTime, notes FROM taskItems;";
const char *const kTaskItemsInsertSQL =
    "INSERT INTO taskItems ( identifier, taskIdentifier, startDateTime, endDateTime, notes ) "
    "VALUES ( ?, ?, ?, ?, ? );";
const char *const kTaskItemsDeleteSQL = "DELETE FROM taskItems WHERE identifier=?;";
const char *const kTaskItemsUpdateSQL =
    "UPDATE taskItems SET startDateTime=?, endDateTime=?, notes=? WHERE identifier=?;";

} // namespace

// ---- What a task counts ----

double twQuantity(const TWTask &task, TWBusiness &business)
{
    const TWProjectPtr project = business.projectWithIdentifier(task.projectIdentifier());
    if (!project)
        return 0.0;
    // Only a timed task of a project counts its time items.
    if (project->type() == TWProjectTypeProject && task.taskType() == TWTaskTypeTimed)
        return task.quantityWithProject(project.get(), business.taskItemsWithTask(task));
    return task.quantityWithProject(project.get(), {});
}

// ---- Task lookups ----

TWTaskPtr TWBusiness::taskWithIdentifier(qint32 identifier) const
{
    return m_tasks.withIdentifier(identifier);
}

TWTaskList TWBusiness::tasksWithProject(const TWProject &project)
{
    TWTaskList tasks = m_tasks.withOwner(project.identifier());
    for (const TWTaskPtr &task : std::as_const(tasks))
        task->setInvoiceQuantity(0.0);
    return tasks;
}

TWTaskList TWBusiness::tasksWithProjects(const TWProjectList &projects) const
{
    return m_tasks.withOwnerCounts(projectCounts(projects));
}

TWTaskList TWBusiness::tasksWithInvoice(const TWInvoice &invoice)
{
    TWTaskList tasks;
    for (const TWRelationshipPtr &link : invoiceLinksHook(invoice, TWRelationshipTypeInvoiceTask)) {
        if (!link || link->type() != TWRelationshipTypeInvoiceTask ||
            link->parentIdentifier() != invoice.identifier())
            continue;
        // A link whose task is gone bills nothing.
        const TWTaskPtr task = m_tasks.withIdentifier(link->childIdentifier());
        if (!task)
            continue;
        task->setInvoiceQuantity(link->value());
        tasks.append(task);
    }
    return tasks;
}

qint32 TWBusiness::nextTaskIdentifier()
{
    return nextIdentifier(kTasksMaxIdentifierSQL);
}

qint64 TWBusiness::taskHomeTotalWithTasks(const TWTaskList &tasks)
{
    qint64 total = 0;
    for (const TWTaskPtr &task : tasks) {
        if (!task)
            continue;
        const TWProjectPtr project = m_projects.withIdentifier(task->projectIdentifier());
        const qint64 home =
            workTotalInHomeCurrencyHook(twTotal(*task, *this), project ? project->unit() : nullptr);
        total = TWWorkArithmetic::add(total, home);
    }
    return total;
}

qint64 TWBusiness::taskHomeTotalWithProjects(const TWProjectList &projects)
{
    return taskHomeTotalWithTasks(tasksWithProjects(projects));
}

bool TWBusiness::matchTask(const TWTask &task)
{
    const double quantity = twQuantity(task, *this);
    for (const TWTaskPtr &listed : m_tasks.withOwner(task.projectIdentifier())) {
        if (listed->taskType() == task.taskType() && listed->rate() == task.rate() &&
            TWDateAdditions::equalDate(listed->date(), task.date()) &&
            twQuantity(*listed, *this) == quantity)
            return true;
    }
    return false;
}

// ---- Task loading and writes ----

TWErrorResult TWBusiness::loadTasks()
{
    m_tasks.clear();
    TWStatement select = statement(kTasksSelectSQL);
    while (select.next()) {
        m_tasks.load(TWTask::taskWithDate(
            TWWorkColumns::dateFromDayColumn(select.columnDouble(2)),
            (select.columnInt64(3) & 0xFF) != 0, select.columnText(4),
            std::uint32_t(select.columnInt64(5)), select.columnDouble(6), select.columnDouble(7),
            select.columnInt64(8), select.columnDouble(9), select.columnText(10),
            select.columnInt32(1), select.columnInt32(0)));
    }
    return select.error();
}

TWErrorResult TWBusiness::addTask(const TWTaskPtr &task, bool notify)
{
    if (!task || task->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kTasksInsertSQL);
        insert.bindInt32(task->identifier())
            .bindInt32(task->projectIdentifier())
            .bindDouble(TWWorkColumns::dayColumn(task->date()))
            .bindBool(task->completed())
            .bindText(task->name())
            .bindInt64(qint64(task->taskType()))
            .bindDouble(task->estimate())
            .bindDouble(task->quantity())
            .bindInt64(task->rate())
            .bindDouble(task->taxRate())
            .bindText(task->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    addClientTaskValuesHook(task, notify);
    m_tasks.append(scope, task);
    TWRecordWrites::post(scope, notify, TWTaskNewNotification, TWTaskNotificationKey, task);
    return scope.commit();
}

TWErrorResult TWBusiness::updateTask(const TWTaskPtr &task, bool notify)
{
    if (!task)
        return databaseError(SQLITE_MISUSE);
    // Compared with the row as stored, before it is written.
    const TWInvoiceList rebilled = invoicesRebilledByTask(*task);
    const BilledBeforeEdit billedBefore(*this, rebilled);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kTasksUpdateSQL);
        update.bindDouble(TWWorkColumns::dayColumn(task->date()))
            .bindBool(task->completed())
            .bindText(task->name())
            .bindInt64(qint64(task->taskType()))
            .bindDouble(task->estimate())
            .bindDouble(task->quantity())
            .bindInt64(task->rate())
            .bindDouble(task->taxRate())
            .bindText(task->notes())
            .bindInt32(task->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    // The project was not written: the object keeps the stored one, so the
    // index by project stays true to the file.
    if (const std::optional<qint32> stored = m_tasks.storedOwner(*task);
        stored && *stored != task->projectIdentifier()) {
        const qint32 before = task->projectIdentifier();
        task->setProjectIdentifier(*stored);
        scope.onRollback([task, before] { task->setProjectIdentifier(before); });
    }
    m_tasks.replace(scope, task);
    addClientTaskValuesHook(task, notify);
    // Time items count only for timed tasks: any other kind loses them.
    if (task->taskType() != TWTaskTypeTimed) {
        for (const TWTaskItemPtr &item : m_taskItems.withOwner(task->identifier())) {
            if (TWErrorResult error = deleteTaskItem(item, true))
                return scope.finish(error);
        }
    }
    // What the task now bills is booked at once on the invoices whose line
    // it changes; the others keep their entries as they are.
    if (TWErrorResult error = rebookEditedWork(rebilled))
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWTaskUpdateNotification, TWTaskNotificationKey, task);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteTask(const TWTaskPtr &task, bool notify)
{
    if (!task)
        return databaseError(SQLITE_MISUSE);
    // An invoice of closed books keeps what it billed: refused before any write.
    const TWInvoiceList billed = invoicesBillingTask(*task);
    const BilledBeforeEdit billedBefore(*this, billed);
    if (TWErrorResult error = refuseClosedBilling(billed))
        return error;
    // One write: a failure in the middle leaves the task, its time items, its
    // links and the invoices' entries as they were.
    WriteScope scope(*this);
    if (TWErrorResult error = TWRecordWrites::deleteRow(*this, kTasksDeleteSQL, task->identifier()))
        return scope.finish(error);
    for (const TWTaskItemPtr &item : m_taskItems.withOwner(task->identifier())) {
        if (TWErrorResult error = deleteTaskItem(item, true))
            return scope.finish(error);
    }
    if (TWErrorResult error = deleteTaskInvoiceLinksHook(task))
        return scope.finish(error);
    if (TWErrorResult error = rebookBilledInvoices(billed))
        return scope.finish(error);
    m_tasks.removeIdentifier(scope, task->identifier());
    TWRecordWrites::post(scope, notify, TWTaskDeleteNotification, TWTaskNotificationKey, task);
    return scope.commit();
}

// ---- Time item lookups ----

TWTaskItemPtr TWBusiness::taskItemWithIdentifier(qint32 identifier) const
{
    return m_taskItems.withIdentifier(identifier);
}

TWTaskItemList TWBusiness::taskItemsWithTask(const TWTask &task) const
{
    return m_taskItems.withOwner(task.identifier());
}

TWTaskItemList TWBusiness::taskItemsWithTasks(const TWTaskList &tasks) const
{
    QHash<qint32, int> times;
    for (const TWTaskPtr &task : tasks) {
        if (task)
            ++times[task->identifier()];
    }
    return m_taskItems.withOwnerCounts(times);
}

QDateTime TWBusiness::oldestTaskItemDate() const
{
    QDateTime oldest;
    for (const TWTaskItemPtr &item : m_taskItems.list()) {
        const QDateTime &start = item->startDateTime();
        if (start.isValid() && (!oldest.isValid() || start < oldest))
            oldest = start;
    }
    return oldest.isValid() ? oldest : TWClock::now();
}

QDateTime TWBusiness::newestTaskItemDate() const
{
    QDateTime newest;
    for (const TWTaskItemPtr &item : m_taskItems.list()) {
        const QDateTime &end = item->endDateTime();
        if (end.isValid() && (!newest.isValid() || end > newest))
            newest = end;
    }
    return newest.isValid() ? newest : TWClock::now();
}

qint32 TWBusiness::nextTaskItemIdentifier()
{
    return nextIdentifier(kTaskItemsMaxIdentifierSQL);
}

// ---- Time item loading and writes ----

TWErrorResult TWBusiness::loadTaskItems()
{
    m_taskItems.clear();
    TWStatement select = statement(kTaskItemsSelectSQL);
    while (select.next()) {
        m_taskItems.load(TWTaskItem::taskItemWithStartDateTime(
            TWWorkColumns::momentFromColumn(select.columnInt64(2)),
            TWWorkColumns::momentFromColumn(select.columnInt64(3)), select.columnText(4),
            select.columnInt32(1), select.columnInt32(0)));
    }
    return select.error();
}

TWErrorResult TWBusiness::addTaskItem(const TWTaskItemPtr &taskItem, bool notify)
{
    if (!taskItem || taskItem->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kTaskItemsInsertSQL);
        insert.bindInt32(taskItem->identifier())
            .bindInt32(taskItem->taskIdentifier())
            .bindInt64(TWWorkColumns::momentColumn(taskItem->startDateTime()))
            .bindInt64(TWWorkColumns::momentColumn(taskItem->endDateTime()))
            .bindText(taskItem->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    m_taskItems.append(scope, taskItem);
    TWRecordWrites::post(scope, notify, TWTaskItemNewNotification, TWTaskItemNotificationKey,
                         taskItem);
    return scope.commit();
}

TWErrorResult TWBusiness::updateTaskItem(const TWTaskItemPtr &taskItem, bool notify)
{
    if (!taskItem)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kTaskItemsUpdateSQL);
        update.bindInt64(TWWorkColumns::momentColumn(taskItem->startDateTime()))
            .bindInt64(TWWorkColumns::momentColumn(taskItem->endDateTime()))
            .bindText(taskItem->notes())
            .bindInt32(taskItem->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    if (const std::optional<qint32> stored = m_taskItems.storedOwner(*taskItem);
        stored && *stored != taskItem->taskIdentifier()) {
        const qint32 before = taskItem->taskIdentifier();
        taskItem->setTaskIdentifier(*stored);
        scope.onRollback([taskItem, before] { taskItem->setTaskIdentifier(before); });
    }
    m_taskItems.replace(scope, taskItem);
    TWRecordWrites::post(scope, notify, TWTaskItemUpdateNotification, TWTaskItemNotificationKey,
                         taskItem);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteTaskItem(const TWTaskItemPtr &taskItem, bool notify)
{
    if (!taskItem)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kTaskItemsDeleteSQL, taskItem->identifier()))
        return scope.finish(error);
    m_taskItems.removeIdentifier(scope, taskItem->identifier());
    TWRecordWrites::post(scope, notify, TWTaskItemDeleteNotification, TWTaskItemNotificationKey,
                         taskItem);
    return scope.commit();
}

// ---- Calls into other groups of the store ----

// A task's name becomes a suggestion of the task-name list; its failure does
// not fail the task write.
void TWBusiness::addClientTaskValuesHook(const TWTaskPtr &task, bool notify)
{
    rememberValue(task->name(), TWValueListTaskNames, notify);
}

// Deletes the links that bill the task on invoices. A failure fails the
// deletion.
TWErrorResult TWBusiness::deleteTaskInvoiceLinksHook(const TWTaskPtr &task)
{
    return deleteChildRelationships(task->identifier(), TWRelationshipTypeInvoiceTask);
}

// The links of one type whose parent is the invoice, in list order.
TWRelationshipList TWBusiness::invoiceLinksHook(const TWInvoice &invoice, std::uint32_t type) const
{
    return relationshipsWithParentIdentifier(invoice.identifier(), type);
}

// The projects of a business: the table, the in-memory list with its indexes
// by identifier and by client, the sorted list menus and exports show, the
// work of chosen projects inside an interval, and the deletion of a project
// with everything that hangs off it.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "model/TWUtilities.h"
#include "store/TWWorkColumns.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace
{

const char *const kProjectsMaxIdentifierSQL = "SELECT MAX(identifier) FROM projects;";
const char *const kProjectsSelectSQL =
    "SELECT identifier, clientIdentifier, date, completed, name, type, startDate, endDate, rate, "
    "unit, taxRate, notes FROM projects;";
const char *const kProjectsInsertSQL =
    "INSERT INTO projects ( identifier, clientIdentifier, date, completed, name, type, "
    "startDate, endDate, rate, unit, taxRate, notes ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kProjectsDeleteSQL = "DELETE FROM projects WHERE identifier=?;";
const char *const kProjectsUpdateSQL =
    "UPDATE projects SET date=?, completed=?, name=?, startDate=?, endDate=?, rate=?, unit=?, "
    "taxRate=?, notes=? WHERE identifier=?;";
// The values an update leaves alone, as stored.
const char *const kProjectsStoredSQL =
    "SELECT clientIdentifier, type FROM projects WHERE identifier=?;";

// Whether a date lies inside the bounds by calendar day, bounds included; a
// missing bound is open. A missing date lies inside open bounds only.
bool insideInterval(const QDateTime &date, const QDateTime &first, const QDateTime &last)
{
    if (!first.isValid() && !last.isValid())
        return true;
    if (!date.isValid())
        return false;
    if (first.isValid() && TWDateAdditions::compareDate(date, first) < 0)
        return false;
    if (last.isValid() && TWDateAdditions::compareDate(date, last) > 0)
        return false;
    return true;
}

// The tasks or expenses of the chosen projects (all when none are chosen)
// inside an interval preset, in their own order.
template <class T>
QList<std::shared_ptr<T>> itemsInInterval(const TWRecordList<T> &items,
                                          const TWRecordList<TWProject> &projects,
                                          const TWProjectList *chosen, std::uint32_t interval,
                                          const QDateTime &fromDate, const QDateTime &toDate)
{
    const QDateTime first = TWUtilities::intervalFromDate(interval, fromDate);
    const QDateTime last = TWUtilities::intervalToDate(interval, toDate);

    QList<std::shared_ptr<T>> candidates;
    if (!chosen) {
        candidates = items.list();
    } else {
        // Each chosen project once, and only a project the business holds.
        QSet<qint32> seen;
        for (const TWProjectPtr &project : *chosen) {
            if (!project || seen.contains(project->identifier()))
                continue;
            seen.insert(project->identifier());
            if (projects.withIdentifier(project->identifier()))
                candidates += items.withOwner(project->identifier());
        }
    }

    QList<std::shared_ptr<T>> result;
    for (const std::shared_ptr<T> &item : std::as_const(candidates)) {
        if (insideInterval(item->date(), first, last))
            result.append(item);
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const std::shared_ptr<T> &a, const std::shared_ptr<T> &b) {
                         return a->compare(*b) < 0;
                     });
    return result;
}

} // namespace

// ---- Lookups ----

TWProjectPtr TWBusiness::projectWithIdentifier(qint32 identifier) const
{
    return m_projects.withIdentifier(identifier);
}

TWProjectList TWBusiness::projectsWithClient(const TWClient &client) const
{
    return m_projects.withOwner(client.identifier());
}

TWProjectList TWBusiness::projectsWithClients(const TWClientList &clients) const
{
    QHash<qint32, int> times;
    for (const TWClientPtr &client : clients) {
        if (client)
            ++times[client->identifier()];
    }
    return m_projects.withOwnerCounts(times);
}

// The number of times each project is given.
QHash<qint32, int> TWBusiness::projectCounts(const TWProjectList &projects)
{
    QHash<qint32, int> times;
    for (const TWProjectPtr &project : projects) {
        if (project)
            ++times[project->identifier()];
    }
    return times;
}

TWProjectList TWBusiness::sortedProjects() const
{
    // Each client is looked up once; a missing client sorts after every name.
    struct Keyed {
        bool clientMissing;
        QString clientName;
        TWProjectPtr project;
    };
    QHash<qint32, std::optional<QString>> clientNames;
    std::vector<Keyed> keyed;
    keyed.reserve(std::size_t(m_projects.list().size()));
    for (const TWProjectPtr &project : m_projects.list()) {
        auto found = clientNames.find(project->clientIdentifier());
        if (found == clientNames.end()) {
            const TWClientPtr client = clientForProjectHook(project->clientIdentifier());
            found =
                clientNames.insert(project->clientIdentifier(),
                                   client ? std::optional<QString>(client->name()) : std::nullopt);
        }
        keyed.push_back({!found->has_value(), found->value_or(QString()), project});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.clientMissing != b.clientMissing)
            return b.clientMissing;
        if (const int c = QString::compare(a.clientName, b.clientName, Qt::CaseSensitive))
            return c < 0;
        return a.project->compare(*b.project) < 0;
    });
    TWProjectList sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (const Keyed &entry : keyed)
        sorted.append(entry.project);
    return sorted;
}

TWTaskList TWBusiness::tasksForProjects(const TWProjectList *projects, std::uint32_t interval,
                                        const QDateTime &fromDate, const QDateTime &toDate) const
{
    return itemsInInterval(m_tasks, m_projects, projects, interval, fromDate, toDate);
}

TWExpenseList TWBusiness::expensesForProjects(const TWProjectList *projects, std::uint32_t interval,
                                              const QDateTime &fromDate,
                                              const QDateTime &toDate) const
{
    return itemsInInterval(m_expenses, m_projects, projects, interval, fromDate, toDate);
}

qint32 TWBusiness::nextProjectIdentifier()
{
    return nextIdentifier(kProjectsMaxIdentifierSQL);
}

// No code means no currency was chosen: such a project counts in US dollars.
TWUnitPtr TWBusiness::projectUnitForCode(const QString &code) const
{
    return unitForStoredCode(code.isEmpty() ? QStringLiteral("USD") : code);
}

// ---- Loading ----

TWErrorResult TWBusiness::loadProjects()
{
    m_projects.clear();
    TWStatement select = statement(kProjectsSelectSQL);
    // Each distinct code is looked up once.
    QHash<QString, TWUnitPtr> units;
    while (select.next()) {
        const QString code = select.columnText(9);
        TWUnitPtr unit = units.value(code);
        if (!unit) {
            unit = projectUnitForCode(code);
            units.insert(code, unit);
        }
        m_projects.load(TWProject::projectWithDate(
            TWWorkColumns::dateFromDayColumn(select.columnDouble(2)),
            (select.columnInt64(3) & 0xFF) != 0, select.columnText(4),
            std::uint32_t(select.columnInt64(5)),
            TWWorkColumns::dateFromDayColumn(select.columnDouble(6)),
            TWWorkColumns::dateFromDayColumn(select.columnDouble(7)), select.columnInt64(8), unit,
            select.columnDouble(10), select.columnText(11), select.columnInt32(1),
            select.columnInt32(0)));
    }
    return select.error();
}

// ---- Writes ----

TWErrorResult TWBusiness::addProject(const TWProjectPtr &project, bool notify)
{
    // Identifier 0 is what a failed nextProjectIdentifier gives: never stored.
    if (!project || project->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kProjectsInsertSQL);
        insert.bindInt32(project->identifier())
            .bindInt32(project->clientIdentifier())
            .bindDouble(TWWorkColumns::dayColumn(project->date()))
            .bindBool(project->completed())
            .bindText(project->name())
            .bindInt64(qint64(project->type()))
            .bindDouble(TWWorkColumns::dayColumn(project->startDate()))
            .bindDouble(TWWorkColumns::dayColumn(project->endDate()))
            .bindInt64(project->rate())
            .bindText(project->unit() ? project->unit()->code() : QString())
            .bindDouble(project->taxRate())
            .bindText(project->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    addClientProjectValuesHook(project, notify);
    exportSettingsAddProjectHook(project);
    m_projects.append(scope, project);
    TWRecordWrites::post(scope, notify, TWProjectNewNotification, TWProjectNotificationKey,
                         project);
    return scope.commit();
}

TWErrorResult TWBusiness::updateProject(const TWProjectPtr &project, bool notify)
{
    if (!project)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kProjectsUpdateSQL);
        update.bindDouble(TWWorkColumns::dayColumn(project->date()))
            .bindBool(project->completed())
            .bindText(project->name())
            .bindDouble(TWWorkColumns::dayColumn(project->startDate()))
            .bindDouble(TWWorkColumns::dayColumn(project->endDate()))
            .bindInt64(project->rate())
            .bindText(project->unit() ? project->unit()->code() : QString())
            .bindDouble(project->taxRate())
            .bindText(project->notes())
            .bindInt32(project->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    {
        // The client and the type were not written: the object carries the
        // stored ones, so the list (and its index by client) shows what the
        // file holds.
        TWStatement stored = statement(kProjectsStoredSQL);
        stored.bindInt32(project->identifier());
        if (stored.next()) {
            const qint32 client = stored.columnInt32(0);
            const auto type = std::uint32_t(stored.columnInt64(1));
            const qint32 clientBefore = project->clientIdentifier();
            const std::uint32_t typeBefore = project->type();
            if (client != clientBefore || type != typeBefore) {
                project->setClientIdentifier(client);
                project->setType(type);
                scope.onRollback([project, clientBefore, typeBefore] {
                    project->setClientIdentifier(clientBefore);
                    project->setType(typeBefore);
                });
            }
        }
        if (TWErrorResult error = stored.error())
            return scope.finish(error);
    }
    m_projects.replace(scope, project);
    addClientProjectValuesHook(project, notify);
    TWRecordWrites::post(scope, notify, TWProjectUpdateNotification, TWProjectNotificationKey,
                         project);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteProject(const TWProjectPtr &project, bool notify)
{
    if (!project)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: when any step fails, the project and
    // everything that hangs off it stay as they were, notifications included.
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kProjectsDeleteSQL, project->identifier()))
        return scope.finish(error);
    // The invoices go first, with their entries and links: the tasks and
    // expenses deleted after them then bill nothing that would be rebooked
    // (or refused) on the way to being deleted anyway.
    if (TWErrorResult error = deleteProjectInvoicesHook(project))
        return scope.finish(error);
    // The lookups return copies of the index lists, which the deletions change.
    for (const TWTaskPtr &task : m_tasks.withOwner(project->identifier())) {
        if (TWErrorResult error = deleteTask(task, true))
            return scope.finish(error);
    }
    for (const TWExpensePtr &expense : m_expenses.withOwner(project->identifier())) {
        if (TWErrorResult error = deleteExpense(expense, true))
            return scope.finish(error);
    }
    exportSettingsRemoveProjectHook(project);
    m_projects.removeIdentifier(scope, project->identifier());
    TWRecordWrites::post(scope, notify, TWProjectDeleteNotification, TWProjectNotificationKey,
                         project);
    return scope.commit();
}

// ---- Calls into other groups of the store ----
// Those still no-ops wait for the group they name; each real call must undo
// its in-memory change on rollback (WriteScope::onRollback), since it runs
// inside the work write that calls it.

// The client of a project, for sorting by client name.
TWClientPtr TWBusiness::clientForProjectHook(qint32 clientIdentifier) const
{
    return clientWithIdentifier(clientIdentifier);
}

// A new project's name becomes a suggestion of the project-name list. Its
// failure does not fail the project write: a suggestion is not worth losing
// the record for.
void TWBusiness::addClientProjectValuesHook(const TWProjectPtr &project, bool notify)
{
    rememberValue(project->name(), TWValueListProjectNames, notify);
}

// The task and expense export settings select the new project
// (exportSettingsAddProject).
void TWBusiness::exportSettingsAddProjectHook(const TWProjectPtr &project)
{
    exportSettingsAddProject(project);
}

// The task and expense export settings forget the project
// (exportSettingsRemoveClient with no client and the project).
void TWBusiness::exportSettingsRemoveProjectHook(const TWProjectPtr &project)
{
    exportSettingsRemoveClient(nullptr, project);
}

// Deletes every invoice of the project (invoicesWithProject, then
// deleteInvoice with notify on for each), with their payments and links. The
// first failure fails the project's deletion.
TWErrorResult TWBusiness::deleteProjectInvoicesHook(const TWProjectPtr &project)
{
    for (const TWInvoicePtr &invoice : invoicesWithProject(*project)) {
        if (TWErrorResult error = deleteInvoice(invoice, true))
            return error;
    }
    return std::nullopt;
}

// Converts an amount in a unit into the home currency.
qint64 TWBusiness::workTotalInHomeCurrencyHook(qint64 amount, const TWUnitPtr &unit)
{
    return totalInHomeCurrency(amount, unit);
}

QString TWBusiness::projectTitle(const TWProject &project) const
{
    const TWClientPtr client = clientWithIdentifier(project.clientIdentifier());
    const QString clientName = client ? client->name() : QString();
    if (!clientName.isEmpty() && !project.name().isEmpty())
        return QStringLiteral("%1 - %2").arg(clientName, project.name());
    return clientName.isEmpty() ? project.name() : clientName;
}

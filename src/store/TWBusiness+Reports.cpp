// The saved reports of a business: the table, the in-memory list with its
// index, the five reports of a new business, and what the report date types
// need to know of the business's accounting periods.

#include "store/TWBusiness.h"
#include "store/TWReportDates.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWStoreLists.h"

#include <sqlite3.h>

namespace
{

const char *const kReportsMaxIdentifierSQL = "SELECT MAX(identifier) FROM reports;";
const char *const kReportsSelectSQL =
    "SELECT identifier, type, name, parentIdentifier, sortOrder, dateType, fromDate, toDate, "
    "compare, compareDateType, compareFromDate, compareToDate, showGraphs FROM reports "
    "ORDER BY sortOrder ASC;";
const char *const kReportsInsertSQL =
    "INSERT INTO reports (identifier, type, name, parentIdentifier, sortOrder, dateType, "
    "fromDate, toDate, compare, compareDateType, compareFromDate, compareToDate, showGraphs) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char *const kReportsUpdateSQL =
    "UPDATE reports SET name=?, parentIdentifier=?, sortOrder=?, dateType=?, fromDate=?, "
    "toDate=?, compare=?, compareDateType=?, compareFromDate=?, compareToDate=?, showGraphs=? "
    "WHERE identifier=?;";
const char *const kReportsUpdateSortOrderSQL = "UPDATE reports SET sortOrder=? WHERE identifier=?;";
const char *const kReportsDeleteSQL = "DELETE FROM reports WHERE identifier=?;";

// Report dates are kept as the packed day written as a double; no date is 0.
double storedDate(const QDateTime &date)
{
    return double(TWDateAdditions::dateValue(date));
}

// Binds the columns from the parent to showGraphs, in table order.
void bindReport(TWStatement &statement, const TWReport &report)
{
    statement.bindInt32(report.parentIdentifier())
        .bindInt64(report.sortOrder())
        .bindInt32(report.dateType())
        .bindDouble(storedDate(report.fromDate()))
        .bindDouble(storedDate(report.toDate()))
        .bindBool(report.compare())
        .bindInt32(report.compareDateType())
        .bindDouble(storedDate(report.compareFromDate()))
        .bindDouble(storedDate(report.compareToDate()))
        .bindBool(report.showGraphs());
}

QVariantMap userInfo(const TWReportPtr &report)
{
    return {{TWReportNotificationKey, QVariant::fromValue(report)}};
}

// The reports of a new business.
struct DefaultReport {
    qint32 identifier;
    TWReportType type;
    TWReportDateType dateType;
    TWReportDateType compareDateType;
};

const DefaultReport kDefaultReports[] = {
    {100, TWReportTypeBalanceSheet, TWReportDateTypeToday, TWReportDateTypeToday},
    {101, TWReportTypeIncome, TWReportDateTypeCurrentAccountingPeriod,
     TWReportDateTypeLastAccountingPeriod},
    {102, TWReportTypeCashFlow, TWReportDateTypeCurrentAccountingPeriod,
     TWReportDateTypeLastAccountingPeriod},
    {103, TWReportTypeEquity, TWReportDateTypeCurrentAccountingPeriod,
     TWReportDateTypeLastAccountingPeriod},
    {104, TWReportTypeTrialBalance, TWReportDateTypeToday, TWReportDateTypeToday},
};

} // namespace

// ---- Lookups and loading ----

TWReportPtr TWBusiness::reportWithIdentifier(qint32 identifier) const
{
    return m_reportIndex.value(identifier);
}

qint32 TWBusiness::nextReportIdentifier()
{
    return nextIdentifier(kReportsMaxIdentifierSQL);
}

TWErrorResult TWBusiness::loadReports()
{
    m_reports.clear();
    m_reportIndex.clear();
    TWStatement select = statement(kReportsSelectSQL);
    while (select.next()) {
        TWReportPtr report = TWReport::reportWithIdentifier(
            select.columnInt32(0), select.columnText(2), select.columnInt32(3),
            quint32(select.columnInt64(4)), TWReportType(select.columnInt32(1)),
            TWReportDateType(select.columnInt32(5)), dateWithStoredValue(select.columnDouble(6)),
            dateWithStoredValue(select.columnDouble(7)), select.columnBool(8),
            TWReportDateType(select.columnInt32(9)), dateWithStoredValue(select.columnDouble(10)),
            dateWithStoredValue(select.columnDouble(11)), select.columnBool(12));
        m_reports.append(report);
        if (!m_reportIndex.contains(report->identifier()))
            m_reportIndex.insert(report->identifier(), report);
    }
    return select.error();
}

TWErrorResult TWBusiness::populateReports()
{
    const TWFormatter &formatter = TWFormatter::formatter();
    WriteScope scope(*this);
    quint32 sortOrder = 0;
    for (const DefaultReport &row : kDefaultReports) {
        const TWReportPtr report = TWReport::reportWithIdentifier(
            row.identifier, formatter.reportTypeString(std::uint32_t(row.type)), 0, sortOrder++,
            row.type, row.dateType, QDateTime(), QDateTime(), false, row.compareDateType,
            QDateTime(), QDateTime(), true);
        if (TWErrorResult error = addReport(report, false))
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- Writes ----

TWErrorResult TWBusiness::addReport(const TWReportPtr &report, bool notify)
{
    if (!report || report->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kReportsInsertSQL);
        insert.bindInt32(report->identifier())
            .bindInt32(report->reportType())
            .bindText(report->name());
        bindReport(insert, *report);
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    TWStoreLists::append(scope, m_reports, m_reportIndex, report);
    if (notify)
        scope.post(TWReportNewNotification, userInfo(report));

    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t previousType = preferences.lastReportType();
    preferences.setLastReportType(std::uint32_t(report->reportType()));
    scope.onRollback(
        [previousType] { TWPreferences::preferences().setLastReportType(previousType); });
    return scope.commit();
}

TWErrorResult TWBusiness::updateReport(const TWReportPtr &report, bool notify)
{
    if (!report)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kReportsUpdateSQL);
        update.bindText(report->name());
        bindReport(update, *report);
        update.bindInt32(report->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    const TWReportPtr listed = m_reportIndex.value(report->identifier());
    if (listed && listed != report && listed->reportType() != report->reportType()) {
        // The type was not written: the object taking the listed one's place
        // carries the stored type, so the list shows what the file holds.
        const TWReportType typeBefore = report->reportType();
        report->setReportType(listed->reportType());
        scope.onRollback([report, typeBefore] { report->setReportType(typeBefore); });
    }
    TWStoreLists::replaceListed(scope, m_reports, m_reportIndex, report);
    if (notify)
        scope.post(TWReportUpdateNotification, userInfo(report));
    return scope.commit();
}

TWErrorResult TWBusiness::updateReportSortOrder(const TWReportPtr &report, bool notify)
{
    if (!report)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kReportsUpdateSortOrderSQL);
        update.bindInt64(report->sortOrder()).bindInt32(report->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    if (notify)
        scope.post(TWReportUpdateNotification, userInfo(report));
    return scope.commit();
}

TWErrorResult TWBusiness::deleteReport(const TWReportPtr &report, bool notify)
{
    if (!report)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement remove = statement(kReportsDeleteSQL);
        remove.bindInt32(report->identifier());
        if (TWErrorResult error = remove.execute())
            return scope.finish(error);
    }
    TWStoreLists::removeListed(scope, m_reports, m_reportIndex, report);
    if (notify)
        scope.post(TWReportDeleteNotification, userInfo(report));
    return scope.commit();
}

// ---- Report dates ----

TWReportPeriods twReportPeriods(TWBusiness &business)
{
    TWReportPeriods periods;
    const TWAccountingPeriodPtr current = business.currentAccountingPeriod();
    periods.currentStartDate = current->startDate();
    periods.currentEndDate = current->endDate();
    if (const TWAccountingPeriodPtr last = business.lastAccountingPeriod()) {
        periods.hasLastPeriod = true;
        periods.lastStartDate = last->startDate();
        periods.lastEndDate = last->endDate();
    }
    // The span of the transactions (and, for time reports, of the task items)
    // fills an open bound of the current period; asked only when needed.
    periods.oldestTransactionDate = [&business] { return business.oldestTransactionDate(); };
    periods.newestTransactionDate = [&business] { return business.newestTransactionDate(); };
    periods.oldestTaskItemDate = [&business] { return business.oldestTaskItemDate(); };
    periods.newestTaskItemDate = [&business] { return business.newestTaskItemDate(); };
    return periods;
}

void twReportDates(const TWReport &report, int dateType, QDateTime *fromDate, QDateTime *toDate,
                   const QDateTime &customFromDate, const QDateTime &customToDate,
                   TWBusiness &business)
{
    report.datesForType(dateType, fromDate, toDate, customFromDate, customToDate,
                        twReportPeriods(business));
}

void twReportPeriodDates(const TWReport &report, QDateTime *fromDate, QDateTime *toDate,
                         QDateTime *compareFromDate, QDateTime *compareToDate, TWBusiness &business)
{
    report.calculateFromDate(fromDate, toDate, compareFromDate, compareToDate,
                             twReportPeriods(business));
}

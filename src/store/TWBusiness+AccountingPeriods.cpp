// Accounting periods: the table of periods, which period a day falls in,
// the list of periods with the gaps between them, and the maintenance run
// when a document is opened (automatic new periods, the active period).

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"

#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace
{

const char *const kPeriodsMaxIdentifierSQL = "SELECT MAX(identifier) FROM accountingPeriods;";
const char *const kPeriodsSelectSQL =
    "SELECT identifier, name, startDate, endDate, closed FROM accountingPeriods;";
const char *const kPeriodsInsertSQL = "INSERT INTO accountingPeriods ( identifier, name, "
                                      "startDate, endDate, closed ) VALUES ( ?, ?, ?, ?, ? );";
const char *const kPeriodsDeleteSQL = "DELETE FROM accountingPeriods;";

using TWDateAdditions::compareDate;
using TWDateAdditions::containsDate;

QDate dayOf(const QDateTime &date)
{
    return date.toLocalTime().date();
}

QDateTime momentOf(const QDate &day)
{
    return TWDateAdditions::dateFromFields(day.year(), day.month(), day.day());
}

TWAccountingPeriodPtr nonePeriod(const QDateTime &startDate, const QDateTime &endDate)
{
    return TWAccountingPeriod::noneAccountingPeriodWithStartDate(startDate, endDate);
}

// The later of two end dates; an open end wins.
QDateTime laterEnd(const QDateTime &end, const QDateTime &other, bool first)
{
    if (first || !other.isValid())
        return other;
    if (!end.isValid())
        return end;
    return compareDate(other, end) > 0 ? other : end;
}

// The length of a stretch of days in whole years, then whole months, then
// days, as calendar arithmetic counts it (adding a month to 31 January gives
// the last day of February). `to` lies after `from`.
struct CalendarLength {
    int years = 0;
    int months = 0;
    qint64 days = 0;
};

CalendarLength calendarDifference(const QDate &from, const QDate &to)
{
    CalendarLength length;
    length.years = to.year() - from.year();
    if (from.addYears(length.years) > to)
        --length.years;
    const QDate afterYears = from.addYears(length.years);
    length.months = (to.year() - afterYears.year()) * 12 + (to.month() - afterYears.month());
    if (afterYears.addMonths(length.months) > to)
        --length.months;
    length.days = afterYears.addMonths(length.months).daysTo(to);
    return length;
}

QDate addLength(const QDate &day, const CalendarLength &length)
{
    return day.addMonths(length.years * 12 + length.months).addDays(length.days);
}

} // namespace

// ---- Queries ----

TWAccountingPeriodList TWBusiness::sortedAccountingPeriods() const
{
    TWAccountingPeriodList periods;
    if (!m_businessInfo)
        return periods;
    periods.reserve(m_businessInfo->accountingPeriods().size());
    for (const TWAccountingPeriodPtr &period : m_businessInfo->accountingPeriods()) {
        if (period)
            periods.append(period);
    }
    std::stable_sort(periods.begin(), periods.end(),
                     [](const TWAccountingPeriodPtr &a, const TWAccountingPeriodPtr &b) {
                         return a->compare(*b) < 0;
                     });
    return periods;
}

TWAccountingPeriodPtr TWBusiness::accountingPeriodWithIdentifier(qint32 identifier) const
{
    if (!m_businessInfo)
        return nullptr;
    for (const TWAccountingPeriodPtr &period : m_businessInfo->accountingPeriods()) {
        if (period && period->identifier() == identifier)
            return period;
    }
    return nullptr;
}

TWAccountingPeriodPtr TWBusiness::accountingPeriodForDate(const QDateTime &date) const
{
    const TWAccountingPeriodList periods = sortedAccountingPeriods();
    if (periods.isEmpty())
        return nonePeriod({}, {});
    const QDateTime &firstStart = periods.first()->startDate();
    if (firstStart.isValid() && compareDate(date, firstStart) < 0)
        return nonePeriod({}, TWDateAdditions::yesterdayDate(firstStart));

    // Every period passed without containing the date ended before it.
    QDateTime previousEnd;
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const TWAccountingPeriodPtr &period = periods.at(i);
        if (containsDate(date, period->startDate(), period->endDate()))
            return period;
        if (period->startDate().isValid() && compareDate(date, period->startDate()) < 0) {
            // A gap between two periods: its own stretch of days, as the
            // list with gaps shows it. The open-ended stretch after the last
            // period would start after the day itself, and with today in a
            // gap every transaction, today's too, would lie before the
            // current period.
            return nonePeriod(TWDateAdditions::nextDayDate(previousEnd),
                              TWDateAdditions::yesterdayDate(period->startDate()));
        }
        previousEnd = laterEnd(previousEnd, period->endDate(), i == 0);
    }
    return nonePeriod(TWDateAdditions::nextDayDate(previousEnd), {});
}

TWAccountingPeriodPtr TWBusiness::currentAccountingPeriod() const
{
    return accountingPeriodForDate(TWClock::now());
}

TWAccountingPeriodPtr TWBusiness::lastAccountingPeriod() const
{
    const TWAccountingPeriodPtr current = currentAccountingPeriod();
    if (!current->startDate().isValid())
        return nullptr;
    return accountingPeriodForDate(TWDateAdditions::yesterdayDate(current->startDate()));
}

TWAccountingPeriodList TWBusiness::sortedAccountingPeriodsWithNone(bool includeCurrent) const
{
    return accountingPeriodsWithNone(TWClock::now(), includeCurrent);
}

TWAccountingPeriodList TWBusiness::allAccountingPeriodsWithNone() const
{
    return accountingPeriodsWithNone(QDateTime(), false);
}

TWAccountingPeriodList TWBusiness::accountingPeriodsWithNone(const QDateTime &today,
                                                             bool includeCurrent) const
{
    const TWAccountingPeriodList periods = sortedAccountingPeriods();
    TWAccountingPeriodList result;
    QDateTime previousEnd;
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const TWAccountingPeriodPtr &period = periods.at(i);
        const QDateTime &start = period->startDate();
        TWAccountingPeriodPtr gap;
        if (i == 0) {
            if (start.isValid())
                gap = nonePeriod({}, TWDateAdditions::yesterdayDate(start));
        } else if (previousEnd.isValid() && start.isValid() &&
                   dayOf(previousEnd).daysTo(dayOf(start)) >= 2) {
            gap = nonePeriod(TWDateAdditions::nextDayDate(previousEnd),
                             TWDateAdditions::yesterdayDate(start));
        }
        if (gap) {
            if (today.isValid() && containsDate(today, gap->startDate(), gap->endDate()))
                return result;
            result.append(gap);
        }
        if (today.isValid() && containsDate(today, start, period->endDate())) {
            if (includeCurrent)
                result.append(period);
            return result;
        }
        result.append(period);
        previousEnd = laterEnd(previousEnd, period->endDate(), i == 0);
    }
    return result;
}

bool TWBusiness::dateBeforeActiveAccountingPeriod(const QDateTime &date) const
{
    const QDateTime start = currentAccountingPeriod()->startDate();
    return start.isValid() && compareDate(date, start) < 0;
}

// ---- Table ----

TWErrorResult TWBusiness::populateAccountingPeriods()
{
    if (!m_businessInfo)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    for (const TWAccountingPeriodPtr &period : m_businessInfo->accountingPeriods()) {
        if (!period)
            continue;
        const qint32 identifier = nextAccountingPeriodIdentifier();
        if (identifier == 0)
            return scope.finish(databaseError(SQLITE_ERROR));
        const TWAccountingPeriodPtr stored = TWAccountingPeriod::accountingPeriodWithName(
            period->name(), period->startDate(), period->endDate(), period->closed(), identifier);
        if (TWErrorResult error = addAccountingPeriod(stored, false))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::loadAccountingPeriods()
{
    if (!m_businessInfo)
        return databaseError(SQLITE_MISUSE);
    m_businessInfo->setAccountingPeriods({});
    TWStatement query = statement(kPeriodsSelectSQL);
    TWAccountingPeriodList periods;
    while (query.next()) {
        periods.append(TWAccountingPeriod::accountingPeriodWithName(
            query.columnText(1), dateWithStoredValue(query.columnDouble(2)),
            dateWithStoredValue(query.columnDouble(3)), query.columnBool(4), query.columnInt32(0)));
    }
    m_businessInfo->setAccountingPeriods(periods);
    return query.error();
}

TWErrorResult TWBusiness::addAccountingPeriod(const TWAccountingPeriodPtr &period, bool notify)
{
    if (!period)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement insert = statement(kPeriodsInsertSQL);
    insert.bindInt32(period->identifier())
        .bindText(period->name())
        .bindDouble(double(TWDateAdditions::dateValue(period->startDate())))
        .bindDouble(double(TWDateAdditions::dateValue(period->endDate())))
        .bindBool(period->closed());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWAccountingPeriodNewNotification,
                         TWAccountingPeriodNotificationKey, period);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteAccountingPeriods(bool notify)
{
    WriteScope scope(*this);
    TWStatement remove = statement(kPeriodsDeleteSQL);
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);
    if (notify)
        scope.post(TWAccountingPeriodDeleteNotification);
    return scope.commit();
}

qint32 TWBusiness::nextAccountingPeriodIdentifier()
{
    return nextIdentifier(kPeriodsMaxIdentifierSQL);
}

// ---- Maintenance at opening ----

TWErrorResult TWBusiness::extendAccountingPeriods(const QDate &today)
{
    WriteScope scope(*this);
    const TWBusinessInfoPtr info = m_businessInfo;
    const TWAccountingPeriodList previousList = info->accountingPeriods();
    TWAccountingPeriodList periods = sortedAccountingPeriods();

    if (periods.isEmpty()) {
        // A business without periods gets the current calendar year.
        const qint32 identifier = nextAccountingPeriodIdentifier();
        if (identifier == 0)
            return scope.finish(databaseError(SQLITE_ERROR));
        const TWAccountingPeriodPtr year = TWAccountingPeriod::accountingPeriodWithName(
            QStringLiteral("1"), momentOf(QDate(today.year(), 1, 1)),
            momentOf(QDate(today.year(), 12, 31)), false, identifier);
        if (TWErrorResult error = addAccountingPeriod(year, true))
            return scope.finish(error);
        info->setAccountingPeriods({year});
        scope.onRollback([info, previousList] { info->setAccountingPeriods(previousList); });
        return scope.commit();
    }

    // New periods repeat the last one's length. A last period that is
    // open-ended, reaches today, or has no length to repeat (it ends before
    // it starts) is left alone.
    const TWAccountingPeriodPtr last = periods.last();
    if (!last->startDate().isValid() || !last->endDate().isValid())
        return scope.commit();
    const QDate lastStart = dayOf(last->startDate());
    const QDate lastEnd = dayOf(last->endDate());
    if (lastEnd >= today || lastEnd < lastStart)
        return scope.commit();

    const CalendarLength length = calendarDifference(lastStart, lastEnd.addDays(1));
    // A period of whole months ending on a month's last day keeps ending on
    // one (31 March + 3 months is 30 June, then 30 September, 31 December).
    const bool monthEnds =
        length.years == 0 && length.days == 0 && lastEnd.day() == lastEnd.daysInMonth();
    QDate previousEnd = lastEnd;
    int added = 0;
    while (previousEnd < today && added < maximumNewAccountingPeriods) {
        QDate end = addLength(previousEnd, length);
        if (monthEnds && end.isValid())
            end = QDate(end.year(), end.month(), end.daysInMonth());
        if (!end.isValid() || end <= previousEnd)
            break;
        periods.append(TWAccountingPeriod::accountingPeriodWithName(
            QString::number(periods.size() + 1), momentOf(previousEnd.addDays(1)), momentOf(end),
            false, 0));
        previousEnd = end;
        ++added;
    }
    if (added == 0)
        return scope.commit();

    // The table is rewritten whole: the kept periods with their identifiers,
    // then the new ones numbered after the largest identifier in use.
    if (TWErrorResult error = deleteAccountingPeriods(true))
        return scope.finish(error);
    qint64 next = nextAccountingPeriodIdentifier();
    if (next == 0)
        return scope.finish(databaseError(SQLITE_ERROR));
    for (const TWAccountingPeriodPtr &period : std::as_const(periods))
        next = std::max(next, qint64(period->identifier()) + 1);
    for (const TWAccountingPeriodPtr &period : std::as_const(periods)) {
        if (period->identifier() == 0) {
            if (next > std::numeric_limits<qint32>::max())
                return scope.finish(databaseError(SQLITE_FULL));
            period->setIdentifier(qint32(next++));
        }
        if (TWErrorResult error = addAccountingPeriod(period, true))
            return scope.finish(error);
    }
    info->setAccountingPeriods(periods);
    scope.onRollback([info, previousList] { info->setAccountingPeriods(previousList); });
    return scope.commit();
}

TWErrorResult TWBusiness::updateAccountingPeriods(bool force)
{
    WriteScope scope(*this);
    const QDateTime now = TWClock::now();
    if (m_businessInfo && m_businessInfo->createNewAccountingPeriods()) {
        if (TWErrorResult error = extendAccountingPeriods(dayOf(now)))
            return scope.finish(error);
    }

    // Which period holds today, and whether that differs from the last
    // opening: then the year-end transfers must be regenerated.
    const TWAccountingPeriodList periods = sortedAccountingPeriods();
    const TWAccountingPeriodPtr stored =
        m_activeAccountingPeriodIdentifier != 0
            ? accountingPeriodWithIdentifier(m_activeAccountingPeriodIdentifier)
            : nullptr;
    TWAccountingPeriodPtr current;
    for (const TWAccountingPeriodPtr &period : periods) {
        if (period->startDate().isValid() && period->endDate().isValid() &&
            containsDate(now, period->startDate(), period->endDate())) {
            current = period;
            break;
        }
    }

    qint32 active = 0;
    bool moved = true;
    if (current) {
        active = current->identifier();
        moved = !stored || stored->identifier() != active;
    } else if (!stored && periods.isEmpty()) {
        moved = false;
    } else if (!stored) {
        // Today lies outside every period: moved unless the last opening lay
        // in the same stretch of days (a missing last opening counts as
        // earlier than every day).
        const QDateTime &lastStartup = m_lastStartupDate;
        qsizetype nextIndex = -1;
        QDateTime endBefore;
        for (qsizetype i = 0; i < periods.size(); ++i) {
            const QDateTime &start = periods.at(i)->startDate();
            if (start.isValid() && compareDate(start, now) > 0) {
                nextIndex = i;
                break;
            }
            endBefore = laterEnd(endBefore, periods.at(i)->endDate(), i == 0);
        }
        const bool startupAfterEnd = compareDate(endBefore, lastStartup) < 0;
        if (nextIndex < 0) {
            moved = !startupAfterEnd;
        } else {
            const bool startupBeforeStart =
                compareDate(periods.at(nextIndex)->startDate(), lastStartup) > 0;
            moved = nextIndex == 0 ? !startupBeforeStart : !(startupAfterEnd && startupBeforeStart);
        }
    }

    const qint32 previousActive = m_activeAccountingPeriodIdentifier;
    const QDateTime previousStartup = m_lastStartupDate;
    m_activeAccountingPeriodIdentifier = active;
    m_lastStartupDate = now;
    scope.onRollback([this, previousActive, previousStartup] {
        m_activeAccountingPeriodIdentifier = previousActive;
        m_lastStartupDate = previousStartup;
    });
    if (moved || force)
        return scope.finish(updateNominalTransferTransactions());
    return scope.commit();
}

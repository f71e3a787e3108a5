#include "foundation/TWDateAdditions.h"

#include "foundation/TWClock.h"

#include <QTimeZone>

#include <algorithm>

namespace TWDateAdditions
{

namespace
{

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Where the clock jumps forward over `time` on `day` the local zone has no
// such moment. What the wall clock meant is the moment it would have shown
// that time had it not changed: the offset in force before the jump, which
// lands on the change itself or just after it, on the same day. The moment
// keeps that offset, so it packs back to the very fields it was made from.
QDateTime localMoment(const QDate &day, const QTime &time)
{
    const QDateTime local(day, time, Qt::LocalTime);
    if (local.isValid() || !day.isValid() || !time.isValid())
        return local;
    const QDateTime asUtc(day, time, Qt::UTC);
    const QTimeZone zone = QTimeZone::systemTimeZone();
    // A jump forward raises the offset: the one before it is the smaller.
    const int before =
        std::min(zone.offsetFromUtc(asUtc.addDays(-1)), zone.offsetFromUtc(asUtc.addDays(1)));
    return QDateTime(day, time, Qt::OffsetFromUTC, before);
}

QDateTime atMidnight(const QDate &day)
{
    return localMoment(day, QTime(0, 0, 0));
}

// The local wall clock a moment reads; a moment fixed to an offset (a time
// the local clock skipped) reads its own fields.
QDateTime wallClock(const QDateTime &date)
{
    return date.timeSpec() == Qt::OffsetFromUTC ? date : date.toLocalTime();
}

QDateTime atLastSecond(const QDate &day)
{
    return localMoment(day, QTime(23, 59, 59));
}

QDate today()
{
    return TWClock::today();
}

QDate quarterStart(const QDate &day)
{
    return QDate(day.year(), ((day.month() - 1) / 3) * 3 + 1, 1);
}

} // namespace

QDateTime dateFromFields(qint64 year, qint64 month, qint64 day, qint64 hour, qint64 minute,
                         qint64 second)
{
    // Carry months into years first, then count days from the 1st of the month,
    // then seconds of the day into whole days.
    const qint64 monthIndex = month - 1;
    const qint64 y = year + floorDiv(monthIndex, 12);
    const int m = int(monthIndex - floorDiv(monthIndex, 12) * 12) + 1;
    if (y < -4000000 || y > 4000000)
        return {};
    const qint64 seconds = hour * 3600 + minute * 60 + second;
    const qint64 extraDays = floorDiv(seconds, 86400);
    const qint64 secondOfDay = seconds - extraDays * 86400;
    const QDate date = QDate(int(y), m, 1).addDays(day - 1 + extraDays);
    if (!date.isValid())
        return {};
    return localMoment(date, QTime(0, 0, 0).addSecs(int(secondOfDay)));
}

QDateTime dateWithValue(std::uint32_t value)
{
    if (value == 0)
        return {};
    return dateFromFields(value >> 9, (value >> 5) & 15, value & 31);
}

QDateTime dateTimeWithValue(std::uint64_t value)
{
    if (value == 0)
        return {};
    return dateFromFields(qint64(value >> 26), (value >> 22) & 15, (value >> 17) & 31,
                          (value >> 12) & 31, (value >> 6) & 63, value & 63);
}

QDateTime startOfDay()
{
    return atMidnight(today());
}
QDateTime endOfDay()
{
    return atLastSecond(today());
}
QDateTime firstDateOfYear()
{
    return atMidnight(QDate(today().year(), 1, 1));
}
QDateTime lastDateOfYear()
{
    return atMidnight(QDate(today().year(), 12, 31));
}

QDateTime currentWeekStart()
{
    // Weeks run Sunday (weekday 1) to Saturday (weekday 7). Qt numbers Monday 1
    // to Sunday 7, so Sunday is 0 days into the week.
    const QDate d = today();
    return atMidnight(d.addDays(-(d.dayOfWeek() % 7)));
}

QDateTime currentWeekEnd()
{
    const QDate d = today();
    return atLastSecond(d.addDays(6 - (d.dayOfWeek() % 7)));
}

QDateTime currentMonthStart()
{
    const QDate d = today();
    return atMidnight(QDate(d.year(), d.month(), 1));
}

QDateTime currentMonthEnd()
{
    const QDate d = today();
    return atLastSecond(QDate(d.year(), d.month(), d.daysInMonth()));
}

QDateTime currentQuarterStart()
{
    return atMidnight(quarterStart(today()));
}

QDateTime currentQuarterEnd()
{
    return atLastSecond(quarterStart(today()).addMonths(3).addDays(-1));
}

QDateTime currentYearStart()
{
    return atMidnight(QDate(today().year(), 1, 1));
}
QDateTime currentYearEnd()
{
    return atLastSecond(QDate(today().year(), 12, 31));
}

std::uint32_t dateValue(const QDate &d)
{
    if (!d.isValid() || d.year() < 0)
        return 0;
    return (std::uint32_t(d.year()) << 9) | (std::uint32_t(d.month()) << 5) |
           std::uint32_t(d.day());
}

std::uint32_t dateValue(const QDateTime &date)
{
    if (!date.isValid())
        return 0;
    return dateValue(date.toLocalTime().date());
}

std::uint64_t dateTimeValue(const QDateTime &date)
{
    if (!date.isValid())
        return 0;
    const QDateTime local = wallClock(date);
    const QDate d = local.date();
    const QTime t = local.time();
    if (d.year() < 0)
        return 0;
    return (std::uint64_t(d.year()) << 26) | (std::uint64_t(d.month()) << 22) |
           (std::uint64_t(d.day()) << 17) | (std::uint64_t(t.hour()) << 12) |
           (std::uint64_t(t.minute()) << 6) | std::uint64_t(t.second());
}

QDateTime settingsDay(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    return QDateTime(wallClock(date).date(), QTime(0, 0), Qt::UTC);
}

QDateTime daySetting(const QDateTime &stored)
{
    if (!stored.isValid())
        return {};
    const QDateTime utc = stored.toUTC();
    const QDateTime local = stored.toLocalTime();
    QDate day = local.date();
    if (utc.time() == QTime(0, 0))
        day = utc.date();
    else if (local.time() != QTime(0, 0) && utc.time().msecsSinceStartOfDay() % 900000 == 0)
        // Zones east of UTC start their day on the evening before in UTC,
        // zones west on the morning of it.
        day = utc.addSecs(12 * 3600).date();
    return atMidnight(day);
}

qint64 wallClockSecsTo(const QDateTime &date, const QDateTime &other)
{
    if (!date.isValid() || !other.isValid())
        return 0;
    const QDateTime a = wallClock(date);
    const QDateTime b = wallClock(other);
    return QDateTime(a.date(), a.time(), Qt::UTC).secsTo(QDateTime(b.date(), b.time(), Qt::UTC));
}

qint64 compareDate(const QDateTime &date, const QDateTime &other)
{
    if (!other.isValid())
        return 1;
    const QDate a = date.toLocalTime().date();
    const QDate b = other.toLocalTime().date();
    if (a == b)
        return 0;
    return a > b ? 1 : -1;
}

bool equalDate(const QDateTime &date, const QDateTime &other)
{
    if (!other.isValid() || !date.isValid())
        return false;
    return compareDate(date, other) == 0;
}

bool containsDate(const QDateTime &date, const QDateTime &startDate, const QDateTime &endDate)
{
    if (startDate.isValid() && compareDate(date, startDate) < 0)
        return false;
    if (endDate.isValid() && compareDate(date, endDate) > 0)
        return false;
    return true;
}

QDateTime startOfDay(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    return atMidnight(date.toLocalTime().date());
}

QDateTime endOfDay(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    return atLastSecond(date.toLocalTime().date());
}

QDateTime yesterdayDate(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), d.month(), d.day() - 1);
}

QDateTime nextDayDate(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), d.month(), d.day() + 1);
}

QDateTime firstDateThisMonth(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), d.month(), 1);
}

QDateTime firstDateNextMonth(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), d.month() + 1, 1);
}

QDateTime lastDateOfMonth(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), d.month(), d.daysInMonth());
}

QDateTime nextYearDate(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(qint64(d.year()) + 1, d.month(), d.day());
}

QDateTime lastDateOfYear(const QDateTime &date)
{
    const QDate d = date.toLocalTime().date();
    return dateFromFields(d.year(), 12, 31);
}

qint64 differenceInDays(const QDateTime &date, const QDateTime &other)
{
    // Whole days of wall-clock time, truncated toward zero: a day is counted once
    // the other moment's time of day has been reached again, whatever the length
    // of the days in between (daylight-saving changes).
    const QDateTime a = date.toLocalTime();
    const QDateTime b = other.toLocalTime();
    qint64 days = a.date().daysTo(b.date());
    if (days > 0 && b.time() < a.time())
        --days;
    else if (days < 0 && b.time() > a.time())
        ++days;
    return days;
}

} // namespace TWDateAdditions

#include "model/TWDateRanges.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"

using TWDateAdditions::dateFromFields;

namespace
{

// Sunday 1 to Saturday 7 (Qt numbers Monday 1 to Sunday 7).
int weekday(const QDate &date)
{
    return date.dayOfWeek() % 7 + 1;
}

// The first and last day of the months [firstMonth, firstMonth + count) of a
// year, carrying months outside 1-12 into the neighbouring years.
void monthSpan(int year, int firstMonth, int count, QDateTime &from, QDateTime &to)
{
    from = dateFromFields(year, firstMonth, 1);
    // Day 0 of the month after the span is the span's last day.
    to = dateFromFields(year, firstMonth + count, 0);
}

int quarterFirstMonth(int month)
{
    return (month - 1) / 3 * 3 + 1;
}

} // namespace

namespace TWDateRanges
{

bool calendarDateRange(qint32 range, QDateTime *fromDate, QDateTime *toDate)
{
    const QDateTime now = TWClock::now().toLocalTime();
    const QDate today = now.date();
    QDateTime from;
    QDateTime to;
    switch (range) {
    case TWDateRangeThisWeek:
        from = dateFromFields(today.year(), today.month(), today.day() + 1 - weekday(today));
        to = dateFromFields(today.year(), today.month(), today.day() + 7 - weekday(today));
        break;
    case TWDateRangeLastWeek:
        from = dateFromFields(today.year(), today.month(), today.day() - 6 - weekday(today));
        to = dateFromFields(today.year(), today.month(), today.day() - weekday(today));
        break;
    case TWDateRangeThisMonth:
        monthSpan(today.year(), today.month(), 1, from, to);
        break;
    case TWDateRangeLastMonth:
        monthSpan(today.year(), today.month() - 1, 1, from, to);
        break;
    case TWDateRangeThisQuarter:
        monthSpan(today.year(), quarterFirstMonth(today.month()), 3, from, to);
        break;
    case TWDateRangeLastQuarter: {
        const QDate earlier = today.addMonths(-3);
        monthSpan(earlier.year(), quarterFirstMonth(earlier.month()), 3, from, to);
        break;
    }
    case TWDateRangeThisYear:
        monthSpan(today.year(), 1, 12, from, to);
        break;
    case TWDateRangeLastYear:
        monthSpan(today.year() - 1, 1, 12, from, to);
        break;
    default:
        return false;
    }
    if (fromDate)
        *fromDate = from;
    if (toDate)
        *toDate = to;
    return true;
}

} // namespace TWDateRanges

#pragma once
// The named date ranges offered by the register and by saved reports (this
// week, last month, this year ...), turned into a start and an end date from
// "now". The two accounting-period ranges depend on a business's periods and
// records, so the store resolves them; the calendar ranges need nothing else.

#include <QDateTime>

enum TWDateRangeType : int {
    TWDateRangeNone = 0,
    TWDateRangeThisWeek = 1,
    TWDateRangeLastWeek = 2,
    TWDateRangeThisMonth = 3,
    TWDateRangeLastMonth = 4,
    TWDateRangeThisQuarter = 5,
    TWDateRangeLastQuarter = 6,
    TWDateRangeThisYear = 7,
    TWDateRangeLastYear = 8,
    TWDateRangeCurrentAccountingPeriod = 9,
    TWDateRangeLastAccountingPeriod = 10,
    // The register's own range between two chosen dates.
    TWDateRangeCustom = 11,
};

namespace TWDateRanges
{

// Fills whichever outputs are given with the range's bounds and returns true
// for the calendar ranges 1 to 8; for any other value (the accounting-period
// ranges included) it sets nothing and returns false.
// Weeks run Sunday to Saturday and keep the time of day of now; the month,
// quarter and year ranges run from their first to their last day, both at the
// start of the day. Quarters begin in January, April, July and October.
bool calendarDateRange(qint32 range, QDateTime *fromDate, QDateTime *toDate);

} // namespace TWDateRanges

#pragma once
// Packed dates and calendar-day arithmetic. Every date the system keeps is a
// packed day number (year << 9 | month << 5 | day) and every task-item moment a
// packed date-time (year << 26 | month << 22 | day << 17 | hour << 12 |
// minute << 6 | second), both read and written as local wall-clock fields of
// the Gregorian calendar. 0 packs "no date"; a missing moment is an invalid
// QDateTime. "Now" and "today" come from TWClock.

#include <QDate>
#include <QDateTime>

#include <cstdint>

namespace TWDateAdditions
{

// Builds a local moment from calendar fields, carrying out-of-range fields into
// the neighbouring unit: day 0 is the last day of the previous month, month 13
// January of the next year, 29 February of a common year 1 March,
// hour 24 the next day. A day or time the local clock skips (a daylight-saving
// change at midnight) gives the moment it would have been before the change,
// which lies on that day.
QDateTime dateFromFields(qint64 year, qint64 month, qint64 day, qint64 hour = 0, qint64 minute = 0,
                         qint64 second = 0);

// The moment 00:00:00 of a packed date; 0 gives a missing date.
QDateTime dateWithValue(std::uint32_t value);
// The moment of a packed date-time; 0 gives a missing date.
QDateTime dateTimeWithValue(std::uint64_t value);

// Today-relative bounds.
QDateTime startOfDay();
QDateTime endOfDay();
QDateTime firstDateOfYear();
QDateTime lastDateOfYear();
QDateTime currentWeekStart();
QDateTime currentWeekEnd();
QDateTime currentMonthStart();
QDateTime currentMonthEnd();
QDateTime currentQuarterStart();
QDateTime currentQuarterEnd();
QDateTime currentYearStart();
QDateTime currentYearEnd();

// Operations on one date (the receiver comes first).
std::uint32_t dateValue(const QDateTime &date);
std::uint32_t dateValue(const QDate &date);
std::uint64_t dateTimeValue(const QDateTime &date);
qint64 compareDate(const QDateTime &date, const QDateTime &other);
bool equalDate(const QDateTime &date, const QDateTime &other);
bool containsDate(const QDateTime &date, const QDateTime &startDate, const QDateTime &endDate);
QDateTime startOfDay(const QDateTime &date);
QDateTime endOfDay(const QDateTime &date);
QDateTime yesterdayDate(const QDateTime &date);
QDateTime nextDayDate(const QDateTime &date);
QDateTime firstDateThisMonth(const QDateTime &date);
QDateTime firstDateNextMonth(const QDateTime &date);
QDateTime lastDateOfMonth(const QDateTime &date);
QDateTime nextYearDate(const QDateTime &date);
QDateTime lastDateOfYear(const QDateTime &date);
qint64 differenceInDays(const QDateTime &date, const QDateTime &other);
// A day as a property list keeps it: 00:00:00 UTC of the day a moment falls on
// locally, so that it reads as that day in every zone; invalid for none.
QDateTime settingsDay(const QDateTime &date);
// The start of the day a kept date names. Earlier builds kept the moment a
// day started in the zone that wrote it: a moment at some zone's midnight (a
// whole quarter hour off UTC midnight) reads as the day nearest it, one at the
// reader's own midnight as that day, and one with a time of day as its local
// day. Invalid for none.
QDateTime daySetting(const QDateTime &stored);
// Seconds from the local wall clock `date` reads to the one `other` reads, as
// the packed fields count them: the same wherever they are read.
qint64 wallClockSecsTo(const QDateTime &date, const QDateTime &other);

} // namespace TWDateAdditions

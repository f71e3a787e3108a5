// Schedules: next dates for every interval unit (the suites named Date* run
// again in a zone with daylight saving), order, interval equality and items.

#include "TWTestSupport.h"
#include "TWZoneGuard.h"
#include "model/TWDateRanges.h"
#include "model/TWRepeat.h"

#include <gtest/gtest.h>

#include <ostream>

// Readable dates in failure messages.
static void PrintTo(const QDateTime &date, std::ostream *os)
{
    *os << date.toString(Qt::ISODate).toStdString();
}

namespace
{

TWRepeat schedule(std::uint32_t interval, std::uint32_t unit)
{
    return TWRepeat(TWRepeatTypeTransaction, interval, unit, QDateTime());
}

// Walks a schedule from its first date the way generation does: each date
// from the one before, the series day from the first.
QList<QDateTime> walk(const TWRepeat &repeat, const QDateTime &first, int steps)
{
    QList<QDateTime> dates;
    QDateTime date = first;
    for (int i = 0; i < steps; ++i) {
        date = repeat.nextDateFromDate(date, first.date().day());
        dates.append(date);
    }
    return dates;
}

struct Record {
    QDateTime when;
    QDateTime date() const { return when; }
    std::shared_ptr<Record> copy() const { return std::make_shared<Record>(*this); }
};

struct OtherRecord : Record {
    std::shared_ptr<OtherRecord> copy() const { return std::make_shared<OtherRecord>(*this); }
};

} // namespace

TEST(DateRepeatNext, EveryOtherMonthEndsOnTheLastDay)
{
    // Stepping from a shortened date into another short month gives that
    // month's last day, not the shortened day again.
    EXPECT_EQ(
        walk(schedule(2, TWRepeatIntervalUnitMonth), twLocal(2022, 12, 31), 6),
        (QList<QDateTime>{twLocal(2023, 2, 28), twLocal(2023, 4, 30), twLocal(2023, 6, 30),
                          twLocal(2023, 8, 31), twLocal(2023, 10, 31), twLocal(2023, 12, 31)}));
    // Twelve months from a leap day come back to it in the next leap year.
    EXPECT_EQ(walk(schedule(12, TWRepeatIntervalUnitMonth), twLocal(2024, 2, 29), 4).last(),
              twLocal(2028, 2, 29));
}

TEST(DateRepeatNext, NoDateInsteadOfEndlessSteps)
{
    const QDateTime day = twLocal(2024, 5, 10);
    for (std::uint32_t unit = 0; unit <= 3; ++unit)
        EXPECT_FALSE(schedule(0, unit).nextDateFromDate(day, 10).isValid()) << unit;
    EXPECT_FALSE(schedule(1, 4).nextDateFromDate(day, 10).isValid());
    EXPECT_FALSE(schedule(1, TWRepeatIntervalUnitDay).nextDateFromDate(QDateTime(), 10).isValid());
    // Intervals beyond the calendar give no date rather than overflowing.
    EXPECT_FALSE(
        schedule(0xFFFFFFFFu, TWRepeatIntervalUnitYear).nextDateFromDate(day, 10).isValid());
}

TEST(Repeat, ItemsAreCopiedOneByOneAndGiveTheLatestDate)
{
    TWRepeat repeat = schedule(1, TWRepeatIntervalUnitMonth);

    auto early = std::make_shared<Record>(Record{twLocal(2024, 1, 31)});
    auto late = std::make_shared<Record>(Record{twLocal(2024, 3, 31)});
    repeat.setItems({TWRepeatItem(late), TWRepeatItem(early)});
    EXPECT_EQ(repeat.latestItemDate(), twLocal(2024, 3, 31));

    const TWRepeatPtr copy = repeat.copy();
    const std::shared_ptr<Record> copied = copy->items().first().record<Record>();
    ASSERT_TRUE(copied);
    EXPECT_NE(copied, late);
    copied->when = twLocal(2030, 1, 1);
    EXPECT_EQ(repeat.latestItemDate(), twLocal(2024, 3, 31));
    EXPECT_EQ(copy->latestItemDate(), twLocal(2030, 1, 1));

    // An item answers only to its own record type.
    EXPECT_FALSE(repeat.items().first().record<OtherRecord>());
    // A schedule of an unknown type has no items to date from.
    repeat.setType(7);
    EXPECT_FALSE(repeat.latestItemDate().isValid());
}

// Where the clock change skips midnight (Beirut, 31 March 2024) a monthly
// series goes on through that day, and "This Month" ends on it.
TEST(DateRepeatNext, ADayWhoseMidnightTheClockSkipsIsStillADate)
{
    const TWZoneGuard zone("Asia/Beirut");
    QList<QDate> days;
    for (const QDateTime &date :
         walk(schedule(1, TWRepeatIntervalUnitMonth), twLocal(2024, 1, 31), 3))
        days.append(date.toLocalTime().date());
    EXPECT_EQ(days, (QList<QDate>{QDate(2024, 2, 29), QDate(2024, 3, 31), QDate(2024, 4, 30)}));
    const TWFixedClock clock(2024, 3, 31);
    QDateTime from, to;
    ASSERT_TRUE(TWDateRanges::calendarDateRange(TWDateRangeThisMonth, &from, &to));
    EXPECT_EQ(from.toLocalTime().date(), QDate(2024, 3, 1));
    ASSERT_TRUE(to.isValid());
    EXPECT_EQ(to.toLocalTime().date(), QDate(2024, 3, 31));
}

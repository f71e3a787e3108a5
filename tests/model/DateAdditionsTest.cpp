// Packed dates and calendar arithmetic. Registered twice with ctest, the second
// time in a zone with daylight saving, so nothing may assume 86,400-second days.

#include "TWTestSupport.h"
#include "TWZoneGuard.h"
#include "foundation/TWDateAdditions.h"

#include <gtest/gtest.h>

#include <utility>

using namespace TWDateAdditions;

TEST(DatePacking, KnownValuesRoundTrip)
{
    EXPECT_EQ(dateValue(twLocal(2015, 3, 14, 17, 5, 2)), 1031790u);
    EXPECT_EQ(dateValue(twLocal(2024, 2, 29)), 1036381u);
    EXPECT_EQ(dateValue(twLocal(1999, 12, 31)), 1023903u);
    EXPECT_EQ(dateWithValue(1031790), twLocal(2015, 3, 14));
    EXPECT_EQ(dateTimeValue(twLocal(2015, 3, 14, 9, 26, 53)), 135238817461ull);
    EXPECT_EQ(dateTimeWithValue(135238817461ull), twLocal(2015, 3, 14, 9, 26, 53));
}

TEST(DateCarrying, OutOfRangeFieldsCarry)
{
    EXPECT_EQ(dateFromFields(2024, 3, 0), twLocal(2024, 2, 29));
    EXPECT_EQ(dateFromFields(2023, 13, 1), twLocal(2024, 1, 1));
    EXPECT_EQ(dateFromFields(2023, 0, 15), twLocal(2022, 12, 15));
    EXPECT_EQ(dateFromFields(2023, 12, 31, 24, 0, 0), twLocal(2024, 1, 1));
    EXPECT_EQ(dateFromFields(2023, 5, 1, 0, 60, 61), twLocal(2023, 5, 1, 1, 1, 1));
    // An unpacked value with day 0 or month 13 carries the same way.
    EXPECT_EQ(dateWithValue((2023u << 9) | (13u << 5) | 1u), twLocal(2024, 1, 1));
    EXPECT_EQ(dateWithValue((2024u << 9) | (3u << 5) | 0u), twLocal(2024, 2, 29));
}

TEST(DateSteps, AcrossDaylightSavingChanges)
{
    // Days of 23 and 25 hours in zones with daylight saving; in UTC these are
    // ordinary days and the answers must be the same.
    EXPECT_EQ(nextDayDate(twLocal(2023, 3, 12, 12)), twLocal(2023, 3, 13));
    EXPECT_EQ(yesterdayDate(twLocal(2023, 11, 6)), twLocal(2023, 11, 5));
    EXPECT_EQ(endOfDay(twLocal(2023, 3, 12, 1)), twLocal(2023, 3, 12, 23, 59, 59));
    EXPECT_EQ(differenceInDays(twLocal(2023, 3, 11, 10), twLocal(2023, 3, 12, 10)), 1);
    EXPECT_EQ(differenceInDays(twLocal(2023, 11, 4, 10), twLocal(2023, 11, 5, 10)), 1);
    EXPECT_EQ(dateValue(twLocal(2023, 3, 12, 23, 30)), dateValue(twLocal(2023, 3, 12)));
}

TEST(DateBounds, WeekRunsSundayToSaturdayAndHoldsToday)
{
    // Wednesday 3 January 2024: the week began on Sunday 31 December 2023.
    {
        TWFixedClock clock(2024, 1, 3, 12);
        EXPECT_EQ(currentWeekStart(), twLocal(2023, 12, 31));
        EXPECT_EQ(currentWeekEnd(), twLocal(2024, 1, 6, 23, 59, 59));
    }
    // On a Sunday the week is the one that starts that day.
    {
        TWFixedClock clock(2024, 3, 10, 5);
        EXPECT_EQ(currentWeekStart(), twLocal(2024, 3, 10));
        EXPECT_EQ(currentWeekEnd(), twLocal(2024, 3, 16, 23, 59, 59));
    }
}

TEST(DateCompare, RangesWithMissingEnds)
{
    const QDateTime day = twLocal(2023, 5, 5, 18);
    const QDateTime none;
    EXPECT_TRUE(containsDate(day, none, none));
    EXPECT_TRUE(containsDate(day, twLocal(2023, 5, 5, 23), twLocal(2023, 5, 5, 1)));
    EXPECT_FALSE(containsDate(day, twLocal(2023, 5, 6), none));
    EXPECT_TRUE(containsDate(day, none, twLocal(2023, 5, 5)));
    EXPECT_FALSE(containsDate(day, twLocal(2023, 4, 1), twLocal(2023, 5, 4)));
}

// Where the clock change skips midnight, the day still has a moment, on that
// day, and it packs back to the day (the books of Santiago and Havana).
TEST(DateSkippedMidnight, EveryDayUnpacksToAMomentOnThatDay)
{
    for (const auto &[name, day] : {std::pair{"America/Santiago", QDate(2026, 9, 6)},
                                    std::pair{"America/Havana", QDate(2026, 3, 8)}}) {
        SCOPED_TRACE(name);
        const TWZoneGuard zone(name);
        const QDateTime moment = dateWithValue(dateValue(day));
        EXPECT_EQ(moment.toLocalTime().date(), day);
        EXPECT_EQ(dateValue(moment), dateValue(day));
        const TWFixedClock clock(day.year(), day.month(), day.day());
        EXPECT_EQ(dateValue(startOfDay()), dateValue(day));
    }
}

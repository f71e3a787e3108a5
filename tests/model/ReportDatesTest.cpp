// Named date ranges and the resolution of saved reports' date types. The suite
// names start with "Date" so they also run in a zone with daylight saving.

#include "TWTestSupport.h"
#include "model/TWDateRanges.h"
#include "model/TWReport.h"

#include <gtest/gtest.h>

namespace
{

struct Range {
    QDateTime from;
    QDateTime to;
};

Range calendarRange(qint32 range)
{
    Range r;
    EXPECT_TRUE(TWDateRanges::calendarDateRange(range, &r.from, &r.to)) << range;
    return r;
}

TWReportPtr reportOfType(TWReportType type)
{
    return TWReport::reportWithIdentifier(1, QStringLiteral("r"), 0, 0, type,
                                          TWReportDateTypeAllDates, {}, {}, false,
                                          TWReportDateTypeAllDates, {}, {}, true);
}

Range resolve(const TWReport &report, int dateType, const TWReportPeriods &periods,
              const QDateTime &customFrom = {}, const QDateTime &customTo = {})
{
    // Outputs start filled so that "left absent" is visible.
    Range r{twLocal(1999, 1, 1), twLocal(1999, 1, 2)};
    report.datesForType(dateType, &r.from, &r.to, customFrom, customTo, periods);
    return r;
}

// A business whose current period runs through 2024 and whose last period
// was 2023; the record span is counted so that needless lookups show.
struct Periods {
    int asked = 0;
    TWReportPeriods value;

    Periods()
    {
        value.currentStartDate = twLocal(2024, 1, 1);
        value.currentEndDate = twLocal(2024, 12, 31);
        value.hasLastPeriod = true;
        value.lastStartDate = twLocal(2023, 1, 1);
        value.lastEndDate = twLocal(2023, 12, 31);
        value.oldestTransactionDate = [this] {
            ++asked;
            return twLocal(2019, 4, 2);
        };
        value.newestTransactionDate = [this] {
            ++asked;
            return twLocal(2025, 2, 3);
        };
        value.oldestTaskItemDate = [this] {
            ++asked;
            return twLocal(2020, 6, 7, 9, 30);
        };
        value.newestTaskItemDate = [this] {
            ++asked;
            return twLocal(2024, 8, 9, 17, 45);
        };
    }
};

} // namespace

TEST(DateRanges, MonthsQuartersAndYearsRunFirstToLastDayAtMidnight)
{
    TWFixedClock clock(2024, 5, 15, 14, 30);
    Range r = calendarRange(TWDateRangeThisQuarter);
    EXPECT_EQ(r.from, twLocal(2024, 4, 1));
    EXPECT_EQ(r.to, twLocal(2024, 6, 30));
    r = calendarRange(TWDateRangeLastYear);
    EXPECT_EQ(r.from, twLocal(2023, 1, 1));
    EXPECT_EQ(r.to, twLocal(2023, 12, 31));

    clock.set(twLocal(2024, 1, 10, 8));
    r = calendarRange(TWDateRangeLastMonth);
    EXPECT_EQ(r.from, twLocal(2023, 12, 1));
    EXPECT_EQ(r.to, twLocal(2023, 12, 31));
    r = calendarRange(TWDateRangeLastQuarter);
    EXPECT_EQ(r.from, twLocal(2023, 10, 1));
    EXPECT_EQ(r.to, twLocal(2023, 12, 31));

    clock.set(twLocal(2024, 3, 31, 23, 59));
    r = calendarRange(TWDateRangeLastMonth);
    EXPECT_EQ(r.from, twLocal(2024, 2, 1));
    EXPECT_EQ(r.to, twLocal(2024, 2, 29));
}

TEST(DateReportTypes, AccountingPeriodTypes)
{
    const auto report = reportOfType(TWReportTypeIncome);
    Periods periods;

    Range r = resolve(*report, TWReportDateTypeCurrentAccountingPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2024, 1, 1));
    EXPECT_EQ(r.to, twLocal(2024, 12, 31));
    r = resolve(*report, TWReportDateTypeLastAccountingPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2023, 1, 1));
    EXPECT_EQ(r.to, twLocal(2023, 12, 31));
    r = resolve(*report, TWReportDateTypeEndOfCurrentPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2024, 12, 31));
    EXPECT_FALSE(r.to.isValid());
    // Bounded periods never look at the records.
    EXPECT_EQ(periods.asked, 0);

    // An open-ended current period runs over the transactions' span.
    periods.value.currentStartDate = QDateTime();
    periods.value.currentEndDate = QDateTime();
    periods.value.hasLastPeriod = false;
    r = resolve(*report, TWReportDateTypeCurrentAccountingPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2019, 4, 2));
    EXPECT_EQ(r.to, twLocal(2025, 2, 3));
    r = resolve(*report, TWReportDateTypeEndOfCurrentPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2025, 2, 3));

    // Without a current start there is no last period: both dates absent.
    r = resolve(*report, TWReportDateTypeLastAccountingPeriod, periods.value);
    EXPECT_FALSE(r.from.isValid());
    EXPECT_FALSE(r.to.isValid());

    // A last period's missing bound stays missing.
    periods.value.hasLastPeriod = true;
    periods.value.lastStartDate = twLocal(2023, 1, 1);
    periods.value.lastEndDate = QDateTime();
    const int askedBefore = periods.asked;
    r = resolve(*report, TWReportDateTypeLastAccountingPeriod, periods.value);
    EXPECT_EQ(r.from, twLocal(2023, 1, 1));
    EXPECT_FALSE(r.to.isValid());
    EXPECT_EQ(periods.asked, askedBefore);
}

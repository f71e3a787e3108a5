// Graph periods, axis steps and ticks, pies and the report orders.

#include "TWReportBooks.h"

#include "foundation/TWLocalized.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
struct Periods {
    QStringList ranges;
};

QStringList periods(TWBusiness &business, const QDateTime &from, const QDateTime &to,
                    TWReportType type = TWReportTypeIncome)
{
    TWExportReport builder(twMakeReport(type, TWReportDateTypeCustomRange, from, to), 1.0,
                           business);
    builder.setFromDate(from);
    builder.setToDate(to);
    QList<QDateTime> starts, ends;
    builder.graphFromDates(&starts, &ends);
    QStringList result;
    for (qsizetype i = 0; i < starts.size(); ++i)
        result << starts.at(i).date().toString(Qt::ISODate) + ".." +
                      ends.at(i).date().toString(Qt::ISODate);
    return result;
}
} // namespace

TEST(ReportPeriodsTest, RangesAreCutIntoDaysMonthsOrYears)
{
    TWFixedClock clock(2024, 6, 15);
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    EXPECT_EQ(periods(*business, twDay(2024, 1, 1), twDay(2024, 3, 15)),
              (QStringList{"2024-01-01..2024-01-31", "2024-02-01..2024-02-29",
                           "2024-03-01..2024-03-15"}));
    EXPECT_EQ(periods(*business, twDay(2024, 3, 1), twDay(2024, 3, 3)),
              (QStringList{"2024-03-01..2024-03-01", "2024-03-02..2024-03-02",
                           "2024-03-03..2024-03-03"}));
    EXPECT_EQ(periods(*business, twDay(2022, 1, 1), twDay(2023, 12, 31)),
              (QStringList{"2022-01-01..2022-12-31", "2023-01-01..2023-12-31"}));
    // A range ending on the first day of a new month keeps that day as a
    // bar of its own: every day of the range is in some bar.
    EXPECT_EQ(periods(*business, twDay(2024, 1, 1), twDay(2024, 3, 1)),
              (QStringList{"2024-01-01..2024-01-31", "2024-02-01..2024-02-29",
                           "2024-03-01..2024-03-01"}));
    // Forty years back: only the last 32.
    const QStringList years = periods(*business, twDay(1984, 1, 1), twDay(2023, 12, 31));
    ASSERT_EQ(years.size(), 32);
    EXPECT_EQ(years.first(), "1992-01-01..1992-12-31");
    EXPECT_EQ(years.last(), "2023-01-01..2023-12-31");
}

TEST(ReportPeriodsTest, PiesSizeByMagnitudeInReportOrder)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWExportReport builder(twMakeReport(TWReportTypeIncome, TWReportDateTypeAllDates, {}, {}), 1.0,
                           *business);
    const TWAccountList accounts = business->accounts(); // Checking, Sales, Rent, Card
    // A negative total is a slice of its size with its signed text; a zero
    // total is none.
    const TWDataSet pie = builder.pieDataSetFromAccountValues(
        {{kChecking, 500}, {kSales, -200}, {kRent, 0}, {kCard, 100}}, accounts);
    QStringList slices;
    for (const TWDataSetValue &value : pie.values())
        slices << QStringLiteral("%1:%2:%3")
                      .arg(value.label())
                      .arg(value.value())
                      .arg(value.formattedValue());
    EXPECT_EQ(slices, (QStringList{"Card:100:$1", "Sales:200:($2)", "Checking:500:$5"}));
    EXPECT_TRUE(pie.name().isNull());

    const TWDataSet none = builder.pieDataSetFromAccountValues({{kRent, 0}}, accounts);
    ASSERT_EQ(none.values().size(), 1);
    EXPECT_EQ(none.values().first().label(), TWLocalized("none"));
    EXPECT_EQ(none.values().first().value(), 1.0);
    EXPECT_EQ(none.values().first().formattedValue(), "$0");

    // Twenty entries: the first 17 in walking order, sorted, then "other".
    QList<TWExportReport::PieEntry> entries;
    for (int i = 1; i <= 20; ++i)
        entries.append({QString::number(i), double(i % 2 ? i : -i)});
    const TWDataSet twenty =
        TWExportReport::pieDataSet(entries, [](double v) { return QString::number(v); });
    ASSERT_EQ(twenty.values().size(), 18);
    EXPECT_EQ(twenty.values().first().label(), "1");
    EXPECT_EQ(twenty.values().at(16).label(), "17");
    EXPECT_EQ(twenty.values().last().label(), TWLocalized("other"));
    EXPECT_EQ(twenty.values().last().value(), 18 + 19 + 20);
    EXPECT_EQ(twenty.values().last().formattedValue(), QString::number(-18 + 19 - 20));
}

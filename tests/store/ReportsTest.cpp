// Saved reports: dates stored as packed days and loaded in sort order.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{

TWReportPtr makeReport(qint32 id, TWReportType type, quint32 sortOrder = 0)
{
    return TWReport::reportWithIdentifier(id, QStringLiteral("R%1").arg(id), 0, sortOrder, type,
                                          TWReportDateTypeAllDates, QDateTime(), QDateTime(), false,
                                          TWReportDateTypeAllDates, QDateTime(), QDateTime(), true);
}

QList<qint32> identifiers(const TWReportList &reports)
{
    QList<qint32> result;
    for (const TWReportPtr &report : reports)
        result.append(report->identifier());
    return result;
}

} // namespace

TEST(Reports, DatesAreStoredAsPackedDaysAndLoadInSortOrder)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWReportPtr custom = TWReport::reportWithIdentifier(
        100, QStringLiteral("Custom"), 4, 2, TWReportTypeTime, TWReportDateTypeCustomRange,
        twLocal(2023, 2, 28, 15, 30), twLocal(2024, 2, 29), true, TWReportDateTypeCustomDate,
        QDateTime(), twLocal(2022, 12, 31), false);
    ASSERT_OK(business->addReport(custom, false));
    ASSERT_OK(business->addReport(makeReport(101, TWReportTypeIncome, 0), false));
    ASSERT_OK(business->addReport(makeReport(102, TWReportTypeIncome, 1), false));
    EXPECT_EQ(twQueryText(*business,
                          QStringLiteral("SELECT fromDate || ' ' || toDate || ' ' || "
                                         "compareFromDate || ' ' || compareToDate FROM reports "
                                         "WHERE identifier=100;")),
              QStringLiteral("1035868.0 1036381.0 0.0 1035679.0"));
    // A damaged date reads as none.
    twExec(*business, QStringLiteral("UPDATE reports SET toDate=-5 WHERE identifier=101;"));

    ASSERT_OK(business->loadReports());
    EXPECT_EQ(identifiers(business->reports()), (QList<qint32>{101, 102, 100}));
    const TWReportPtr read = business->reportWithIdentifier(100);
    ASSERT_TRUE(read);
    EXPECT_NE(read, custom);
    EXPECT_EQ(read->parentIdentifier(), 4);
    EXPECT_EQ(read->fromDate().date(), QDate(2023, 2, 28));
    EXPECT_EQ(read->toDate().date(), QDate(2024, 2, 29));
    EXPECT_FALSE(read->compareFromDate().isValid());
    EXPECT_FALSE(read->showGraphs());
    EXPECT_FALSE(business->reportWithIdentifier(101)->toDate().isValid());
}

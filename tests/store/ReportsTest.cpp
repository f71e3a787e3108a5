// Saved reports: the defaults, storage, the fixed type, the last-used type
// and the accounting periods the date types resolve against.

#include "TWBusiness.h"
#include "TWLocalized.h"
#include "TWPreferences.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

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

TEST(Reports, NewBusinessGetsFiveReports)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWPreferences::preferences().setLastReportType(0);
    TWNotificationRecorder recorder(business.get());
    ASSERT_FALSE(business->populateReports());
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_EQ(TWPreferences::preferences().lastReportType(), 7u);

    // Identifier, report type, name key, date type, compare date type.
    const std::tuple<qint32, int, const char *, int, int> expected[] = {
        {100, 0, "balanceSheet", 12, 12}, {101, 1, "income", 9, 10},
        {102, 2, "cashFlow", 9, 10},      {103, 3, "equity", 9, 10},
        {104, 7, "trialBalance", 12, 12},
    };
    // Read back from the table, not the objects written.
    ASSERT_FALSE(business->loadReports());
    ASSERT_EQ(business->reports().size(), 5);
    for (qsizetype i = 0; i < 5; ++i) {
        const auto [identifier, type, key, dateType, compareDateType] = expected[i];
        const TWReportPtr report = business->reports().at(i);
        SCOPED_TRACE(key);
        EXPECT_EQ(report->identifier(), identifier);
        EXPECT_EQ(report->reportType(), type);
        EXPECT_TRUE(TWHasLocalized(QString::fromLatin1(key)));
        EXPECT_EQ(report->name(), TWLocalized(key));
        EXPECT_EQ(report->dateType(), dateType);
        EXPECT_EQ(report->compareDateType(), compareDateType);
    }
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM reports WHERE fromDate=0 "
                                                   "AND toDate=0 AND compareFromDate=0 AND "
                                                   "compareToDate=0 AND compare=0;")),
              5);
    EXPECT_EQ(business->nextReportIdentifier(), 105);
}

TEST(Reports, DatesAreStoredAsPackedDaysAndLoadInSortOrder)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWReportPtr custom = TWReport::reportWithIdentifier(
        100, QStringLiteral("Custom"), 4, 2, TWReportTypeTime, TWReportDateTypeCustomRange,
        twLocal(2023, 2, 28, 15, 30), twLocal(2024, 2, 29), true, TWReportDateTypeCustomDate,
        QDateTime(), twLocal(2022, 12, 31), false);
    ASSERT_FALSE(business->addReport(custom, false));
    ASSERT_FALSE(business->addReport(makeReport(101, TWReportTypeIncome, 0), false));
    ASSERT_FALSE(business->addReport(makeReport(102, TWReportTypeIncome, 1), false));
    EXPECT_EQ(twQueryText(*business,
                          QStringLiteral("SELECT fromDate || ' ' || toDate || ' ' || "
                                         "compareFromDate || ' ' || compareToDate FROM reports "
                                         "WHERE identifier=100;")),
              QStringLiteral("1035868.0 1036381.0 0.0 1035679.0"));
    // A damaged date reads as none.
    twExec(*business, QStringLiteral("UPDATE reports SET toDate=-5 WHERE identifier=101;"));

    ASSERT_FALSE(business->loadReports());
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

TEST(Reports, UpdateNeverChangesTheType)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->addReport(makeReport(100, TWReportTypeIncome), false));
    ASSERT_FALSE(business->addReport(makeReport(101, TWReportTypeEquity), false));
    TWNotificationRecorder recorder(business.get());

    const TWReportPtr copy = business->reportWithIdentifier(100)->copy();
    copy->setName(QStringLiteral("Renamed"));
    copy->setReportType(TWReportTypeTime);
    copy->setFromDate(twLocal(2024, 1, 1));
    ASSERT_FALSE(business->updateReport(copy, true));
    EXPECT_EQ(business->reportWithIdentifier(100), copy);
    EXPECT_EQ(copy->reportType(), TWReportTypeIncome);
    EXPECT_EQ(identifiers(business->reports()), (QList<qint32>{101, 100}));

    copy->setSortOrder(6);
    ASSERT_FALSE(business->updateReportSortOrder(copy, true));
    EXPECT_EQ(twQueryText(*business, QStringLiteral("SELECT name || type || sortOrder || fromDate "
                                                    "FROM reports WHERE identifier=100;")),
              QStringLiteral("Renamed161036321.0"));
    EXPECT_EQ(recorder.names(), QStringList(2, TWReportUpdateNotification));
}

TEST(Reports, AddRecordsTheLastReportTypeOnlyWhenStored)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWPreferences &preferences = TWPreferences::preferences();
    ASSERT_FALSE(business->addReport(makeReport(100, TWReportTypeClients), false));
    EXPECT_EQ(preferences.lastReportType(), 4u);
    // A duplicate identifier fails: nothing is listed and the type stays.
    EXPECT_TRUE(business->addReport(makeReport(100, TWReportTypeMerchants), true));
    EXPECT_EQ(preferences.lastReportType(), 4u);
    // A write that is undone takes its type back with it.
    {
        TWBusiness::WriteScope outer(*business);
        ASSERT_FALSE(business->addReport(makeReport(101, TWReportTypeTime), true));
        EXPECT_EQ(preferences.lastReportType(), 6u);
        outer.rollback();
    }
    EXPECT_EQ(preferences.lastReportType(), 4u);
    EXPECT_EQ(identifiers(business->reports()), QList<qint32>{100});
}

TEST(Reports, DateTypesResolveAgainstTheAccountingPeriods)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWFixedClock clock(2024, 5, 10);
    const TWReportPtr report = makeReport(100, TWReportTypeIncome);
    QDateTime from, to;

    auto info = std::make_shared<TWBusinessInfo>();
    info->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("1"), twLocal(2023, 1, 1),
                                                      twLocal(2023, 12, 31), true, 100),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2"), twLocal(2024, 1, 1),
                                                      twLocal(2024, 12, 31), false, 101)});
    business->setBusinessInfo(info);

    report->datesForType(TWReportDateTypeLastAccountingPeriod, &from, &to, {}, {}, *business);
    EXPECT_EQ(from.date(), QDate(2023, 1, 1));
    EXPECT_EQ(to.date(), QDate(2023, 12, 31));

    // Today lies after the last period: the current one is made up, starting
    // the day after it, and the last one is the stored period before.
    clock.set(twLocal(2025, 3, 1, 12));
    report->datesForType(TWReportDateTypeLastAccountingPeriod, &from, &to, {}, {}, *business);
    EXPECT_EQ(from.date(), QDate(2024, 1, 1));
    EXPECT_EQ(to.date(), QDate(2024, 12, 31));
    report->datesForType(TWReportDateTypeCurrentAccountingPeriod, &from, &to, {}, {}, *business);
    EXPECT_EQ(from.date(), QDate(2025, 1, 1));
    // Its open end reaches the newest transaction: now, without any.
    EXPECT_EQ(to, clock.now());
}

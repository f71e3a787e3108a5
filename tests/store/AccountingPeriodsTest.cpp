// Accounting periods: storage, a day in a gap, and the upkeep at opening.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"

#include "foundation/TWLocalized.h"

#include <gtest/gtest.h>

namespace
{

TWAccountingPeriodPtr period(const char *name, const QDate &start, const QDate &end,
                             qint32 identifier = 0, bool closed = false)
{
    return TWAccountingPeriod::accountingPeriodWithName(
        QString::fromUtf8(name), twLocal(start.year(), start.month(), start.day()),
        twLocal(end.year(), end.month(), end.day()), closed, identifier);
}

TWAccountingPeriodPtr year(const char *name, int y)
{
    return period(name, QDate(y, 1, 1), QDate(y, 12, 31));
}

// "name:first..last" with "-" for no name and nothing for an open bound.
QString describe(const TWAccountingPeriodPtr &p)
{
    if (!p)
        return QStringLiteral("null");
    const auto day = [](const QDateTime &d) {
        return d.isValid() ? d.date().toString(Qt::ISODate) : QString();
    };
    return (p->name().isNull() ? QStringLiteral("-") : p->name()) + QLatin1Char(':') +
           day(p->startDate()) + QStringLiteral("..") + day(p->endDate());
}

QStringList describe(const TWAccountingPeriodList &periods)
{
    QStringList result;
    for (const TWAccountingPeriodPtr &p : periods)
        result.append(describe(p));
    return result;
}

// A business whose stored periods are the given ones (identifiers from 100),
// loaded as a document opening would load them.
std::unique_ptr<TWBusiness> businessWithPeriods(const TWAccountingPeriodList &periods,
                                                bool automatic = true)
{
    auto business = twMakeBusiness();
    if (!business)
        return nullptr;
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setAccountingPeriods(periods);
    info->setCreateNewAccountingPeriods(automatic);
    business->setBusinessInfo(info);
    EXPECT_OK(business->populateBusinessInfo());
    EXPECT_OK(business->populateAccountingPeriods());
    EXPECT_OK(business->loadBusinessInfo());
    EXPECT_OK(business->loadAccountingPeriods());
    return business;
}

// The periods as the table holds them (the business's list is put back).
QStringList storedPeriods(TWBusiness &business)
{
    const TWAccountingPeriodList kept = business.businessInfo()->accountingPeriods();
    EXPECT_OK(business.loadAccountingPeriods());
    const QStringList result = describe(business.sortedAccountingPeriods());
    business.businessInfo()->setAccountingPeriods(kept);
    return result;
}

} // namespace

TEST(AccountingPeriods, PopulateAndLoad)
{
    TWFixedClock clock(2024, 6, 15);
    TWAccountingPeriodList periods{
        year("Second", 2024), period("First", QDate(2023, 1, 1), QDate(2023, 12, 31), 0, true)};
    auto business = businessWithPeriods(periods);
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    // Stored in list order with identifiers from 100; the handed-in records keep theirs.
    EXPECT_EQ(twQueryText(b, QStringLiteral("SELECT group_concat(identifier || name || closed) "
                                            "FROM (SELECT * FROM accountingPeriods ORDER BY "
                                            "identifier);")),
              QStringLiteral("100Second0,101First1"));
    EXPECT_EQ(periods.first()->identifier(), 0);

    const TWAccountingPeriodList loaded = b.sortedAccountingPeriods();
    ASSERT_EQ(describe(loaded),
              (QStringList{"First:2023-01-01..2023-12-31", "Second:2024-01-01..2024-12-31"}));
    EXPECT_TRUE(loaded.at(0)->closed());
    EXPECT_EQ(b.nextAccountingPeriodIdentifier(), 102);

    // Without a business record there is nothing to load into.
    auto empty = twMakeBusiness();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->loadAccountingPeriods());
}

TEST(AccountingPeriods, ADayInAGapBelongsToThatGap)
{
    // Overlapping periods, a gap of one day and a gap of two months: a day in
    // a gap gets the gap's own stretch, the same unnamed period the list with
    // gaps shows, never the open stretch after the last period (which would
    // start after the day itself).
    auto business = businessWithPeriods({period("C", QDate(2021, 3, 1), QDate(2021, 12, 31)),
                                         period("A", QDate(2020, 1, 1), QDate(2020, 12, 31)),
                                         period("B", QDate(2020, 6, 1), QDate(2020, 8, 31)),
                                         period("D", QDate(2022, 1, 2), QDate(2022, 12, 31))},
                                        false);
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const auto at = [&b](int y, int m, int d) {
        return describe(b.accountingPeriodForDate(twLocal(y, m, d, 12)));
    };
    EXPECT_EQ(at(2021, 1, 15), "-:2021-01-01..2021-02-28");
    EXPECT_EQ(at(2021, 2, 28), "-:2021-01-01..2021-02-28");
    EXPECT_EQ(at(2022, 1, 1), "-:2022-01-01..2022-01-01");
    EXPECT_EQ(at(2020, 9, 1), "A:2020-01-01..2020-12-31");

    TWFixedClock clock(2023, 6, 1);
    for (const TWAccountingPeriodPtr &entry : b.sortedAccountingPeriodsWithNone(false)) {
        if (entry->identifier() != 0 || !entry->startDate().isValid())
            continue;
        EXPECT_EQ(describe(b.accountingPeriodForDate(entry->startDate())), describe(entry));
        EXPECT_EQ(describe(b.accountingPeriodForDate(entry->endDate())), describe(entry));
    }

    // Today in the gap: the current period is the gap, today's work is not
    // before it, and the last period is the one that ended before the gap.
    clock.set(twLocal(2021, 2, 10, 9));
    EXPECT_EQ(describe(b.currentAccountingPeriod()), "-:2021-01-01..2021-02-28");
    EXPECT_FALSE(b.dateBeforeActiveAccountingPeriod(twLocal(2021, 2, 10)));
    EXPECT_TRUE(b.dateBeforeActiveAccountingPeriod(twLocal(2020, 12, 31, 23)));
    EXPECT_EQ(describe(b.lastAccountingPeriod()), "A:2020-01-01..2020-12-31");
}

TEST(AccountingPeriodsUpdate, ExtensionIsBounded)
{
    TWFixedClock clock(2024, 1, 1);
    auto business = businessWithPeriods({period("D", QDate(2000, 1, 1), QDate(2000, 1, 1))});
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const int bound = TWBusiness::maximumNewAccountingPeriods;
    ASSERT_OK(b.updateAccountingPeriods(false));
    TWAccountingPeriodList periods = b.sortedAccountingPeriods();
    ASSERT_EQ(periods.size(), bound + 1);
    EXPECT_EQ(periods.last()->endDate(), twLocal(2000, 1, 1).addDays(bound));
    // Today lies after every period: no active period.
    EXPECT_EQ(b.activeAccountingPeriodIdentifier(), 0);
    // The next opening goes on from there.
    ASSERT_OK(b.updateAccountingPeriods(false));
    EXPECT_EQ(b.sortedAccountingPeriods().size(), 2 * bound + 1);
}

TEST(AccountingPeriodsUpdate, AFailureChangesNothing)
{
    TWFixedClock clock(2024, 4, 15);
    auto business = businessWithPeriods({period("January", QDate(2024, 1, 1), QDate(2024, 1, 31))});
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    b.setActiveAccountingPeriodIdentifier(100);
    b.setLastStartupDate(twLocal(2024, 1, 5));
    const TWAccountingPeriodList before = b.businessInfo()->accountingPeriods();
    twExec(b, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON accountingPeriods WHEN "
                             "NEW.identifier = 102 BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    TWNotificationRecorder recorder(&b);
    EXPECT_TRUE(b.updateAccountingPeriods(false));
    EXPECT_EQ(b.businessInfo()->accountingPeriods(), before);
    EXPECT_EQ(storedPeriods(b), QStringList{"January:2024-01-01..2024-01-31"});
    EXPECT_EQ(b.activeAccountingPeriodIdentifier(), 100);
    EXPECT_EQ(b.lastStartupDate(), twLocal(2024, 1, 5));
    EXPECT_TRUE(recorder.names().isEmpty());
}

// A refusal names the closed period a held transaction lies in, by name and
// days in the locale's short form (by its days alone when it has no name);
// a locked transaction is told as locked.
TEST(AccountingPeriods, ARefusalNamesTheClosedPeriodOrSaysLocked)
{
    auto business =
        businessWithPeriods({period("FY 2024", QDate(2024, 1, 1), QDate(2024, 12, 31), 0, true),
                             period("", QDate(2023, 1, 1), QDate(2023, 12, 31), 0, true)},
                            false);
    ASSERT_TRUE(business);
    const struct {
        const char *locale;
        QDate day;
        std::uint32_t state;
        QString named; // what the refusal puts for the period; empty when locked
    } rows[] = {
        {"en_US", QDate(2024, 5, 2), TWTransactionStateClosed, "FY 2024 (1/1/24 – 12/31/24)"},
        {"de_DE", QDate(2024, 5, 2), TWTransactionStateClosed, "FY 2024 (01.01.24 – 31.12.24)"},
        {"en_GB", QDate(2023, 5, 2), TWTransactionStateClosed, "01/01/2023 – 31/12/2023"},
        {"en_US", QDate(2024, 5, 2), TWTransactionStateLocked, QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.locale) + " " + row.day.toString(Qt::ISODate).toStdString());
        TWLocaleGuard locale{QString::fromLatin1(row.locale)};
        TWTransaction held;
        held.setDate(twLocal(row.day.year(), row.day.month(), row.day.day()));
        held.setState(row.state);
        EXPECT_EQ(twClosedDeleteText(*business, held),
                  row.named.isEmpty() ? TWLocalized("deleteLockedTransaction")
                                      : TWLocalized("deleteClosedTransaction").arg(row.named));
    }
}

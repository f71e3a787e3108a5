#include "TWDenyGuard.h"
#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "WorkTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

class TWRepeatsTestPeer
{
public:
    static void copyInvoiceRecords(TWBusiness &b, const TWInvoice &source, const TWInvoice &invoice,
                                   const QDateTime &date)
    {
        TWBusiness::RepeatGeneration generation;
        b.copyRepeatInvoiceRecords(source, invoice, date, generation);
    }
    static void copyBillRecords(TWBusiness &b, const TWBill &source, const TWBill &bill,
                                const QDateTime &date)
    {
        TWBusiness::RepeatGeneration generation;
        b.copyRepeatBillRecords(source, bill, date, generation);
    }
};

namespace
{

TWRepeatPtr addSchedule(TWBusiness &b, std::uint32_t interval, std::uint32_t unit,
                        const QDateTime &endDate = {})
{
    const TWRepeatPtr repeat = TWRepeat::repeatWithType(TWRepeatTypeTransaction, interval, unit,
                                                        endDate, true, b.nextRepeatIdentifier());
    EXPECT_OK(b.addRepeat(repeat, false));
    return repeat;
}

TWTransactionPtr addItem(TWBusiness &b, const TWRepeatPtr &repeat, const QDateTime &date,
                         qint32 account1 = kChecking, qint32 account2 = kSales)
{
    TWTransactionPtr t =
        twMakeTransaction(b, b.nextTransactionIdentifier(), date, account1, account2, 2500);
    t->setRepeatIdentifier(repeat->identifier());
    EXPECT_OK(b.addTransaction(t, false, false, false, false));
    return t;
}

QStringList itemDays(TWBusiness &b, const TWRepeatPtr &repeat)
{
    QStringList days;
    for (const TWRepeatItem &item : b.itemsWithRepeatIdentifier(repeat->identifier()))
        days.append(item.date().date().toString(Qt::ISODate));
    return days;
}

qint64 count(TWBusiness &b, const QString &sql)
{
    return twQueryInt(b, sql).value_or(-1);
}

} // namespace

TEST(Repeats, TableRoundTripWritesAndDetachedItems)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    EXPECT_TRUE(b.addRepeat(TWRepeat::repeatWithType(0, 1, 2, {}), false)); // identifier 0
    TWNotificationRecorder recorder(&b);
    const TWRepeatPtr weekly = TWRepeat::repeatWithType(
        TWRepeatTypeTransaction, 2, TWRepeatIntervalUnitWeek, twDay(2025, 3, 31), true, 100);
    ASSERT_OK(b.addRepeat(weekly, true));
    const TWRepeatPtr bills =
        TWRepeat::repeatWithType(TWRepeatTypeBill, 1, TWRepeatIntervalUnitYear, {}, false, 101);
    ASSERT_OK(b.addRepeat(bills, false));
    EXPECT_EQ(recorder.notifications().size(), 1u);

    ASSERT_OK(b.loadRepeats());
    ASSERT_EQ(b.repeats().size(), 2);
    const TWRepeatPtr loaded = b.repeatWithIdentifier(100);
    EXPECT_TRUE(loaded->equalInterval(*weekly));
    EXPECT_FALSE(b.repeatWithIdentifier(101)->active());

    // A copy takes the listed one's place at the end; one never stored is refused.
    const TWRepeatPtr edited = loaded->copy();
    edited->setInterval(3);
    ASSERT_OK(b.updateRepeat(edited, false));
    EXPECT_EQ(b.repeats().last(), edited);
    EXPECT_EQ(count(b, "SELECT interval FROM repeats WHERE identifier=100;"), 3);
    EXPECT_TRUE(b.updateRepeat(TWRepeat::repeatWithType(0, 1, 0, {}, true, 555), false));
    EXPECT_EQ(b.repeats().size(), 2);

    // Deleting keeps the items, detached in the table and in memory.
    const TWTransactionPtr item = addItem(b, edited, twDay(2024, 1, 1));
    const TWTransactionPtr other = addItem(b, bills, twDay(2024, 1, 2));
    recorder.clear();
    ASSERT_OK(b.deleteRepeat(edited, true));
    EXPECT_EQ(item->repeatIdentifier(), 0);
    EXPECT_EQ(other->repeatIdentifier(), 101); // a bill schedule's items are bills
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE repeatIdentifier=0;"), 1);
    EXPECT_FALSE(b.repeatWithIdentifier(100));
    EXPECT_EQ(recorder.names(), QStringList{QStringLiteral("repeatDelete")});
    recorder.clear();
    ASSERT_OK(b.deleteRepeat(edited, true)); // gone already: nothing to post
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Repeats, ARunThatFailsHalfWayLeavesNothing)
{
    TWFixedClock clock(2024, 4, 30, 9);
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWRepeatPtr monthly = addSchedule(b, 1, TWRepeatIntervalUnitMonth);
    addItem(b, monthly, twDay(2024, 1, 31));
    const TWRepeatPtr daily = addSchedule(b, 1, TWRepeatIntervalUnitDay);
    addItem(b, daily, twDay(2024, 4, 28));
    const QList<qint32> listed = twIdentifiers(b.transactions());
    // The third monthly occurrence cannot be stored.
    twExec(b, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON transactions WHEN NEW.date=%1 "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END;")
                  .arg(TWDateAdditions::dateValue(twDay(2024, 4, 30))));

    TWNotificationRecorder recorder(&b);
    EXPECT_TRUE(b.updateRepeatItems(true, true));
    EXPECT_EQ(twIdentifiers(b.transactions()), listed);
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions;"), 2);
    EXPECT_TRUE(recorder.names().isEmpty());

    twExec(b, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(b.updateRepeatItems(true, true));
    EXPECT_EQ(itemDays(b, monthly).size(), 4);
    EXPECT_EQ(itemDays(b, daily), (QStringList{"2024-04-28", "2024-04-29", "2024-04-30"}));
    // One bulk announcement for the whole run.
    EXPECT_EQ(recorder.names(),
              (QStringList{"transactionNew", "relationshipNew", "valueNew", "repeatUpdatedItems"}));
}

TEST(Repeats, ClosedPeriodsSkipTheirDatesAndPastItemsRebuildTheTransfers)
{
    TWFixedClock clock(2024, 3, 20, 9);
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    b.businessInfo()->setNominalTransferAccountIdentifier(kCard);
    const auto period = [](const char *name, int year, bool closed, qint32 identifier) {
        return TWAccountingPeriod::accountingPeriodWithName(
            QLatin1String(name), twDay(year, 1, 1), twDay(year, 12, 31), closed, identifier);
    };
    b.businessInfo()->setAccountingPeriods(
        {period("2022", 2022, false, 99), period("2023", 2023, true, 100),
         period("2024", 2024, false, 101), period("2025", 2025, true, 102),
         period("2026", 2026, false, 103)});
    const TWRepeatPtr monthly = addSchedule(b, 1, TWRepeatIntervalUnitMonth);
    addItem(b, monthly, twDay(2023, 11, 15), kSales, kChecking);
    // 15 December lies in the closed year: skipped; the dates of 2024 are made.
    ASSERT_OK(b.updateRepeatItemsForRepeat(monthly, true, true));
    EXPECT_EQ(itemDays(b, monthly),
              (QStringList{"2023-11-15", "2024-01-15", "2024-02-15", "2024-03-15"}));

    // Items of an open past year close into it.
    const TWRepeatPtr weekly = addSchedule(b, 1, TWRepeatIntervalUnitWeek, twDay(2022, 12, 31));
    addItem(b, weekly, twDay(2022, 12, 20), kSales, kChecking);
    ASSERT_OK(b.updateRepeatItemsForRepeat(weekly, true, true));
    EXPECT_EQ(itemDays(b, weekly), (QStringList{"2022-12-20", "2022-12-27"}));
    const TWTransactionList closing =
        b.transactionsWithAccountingPeriod(*b.accountingPeriodWithIdentifier(99));
    ASSERT_EQ(closing.size(), 1);
    EXPECT_EQ(closing.first()->total(), -5000);

    // A yearly schedule from a leap day, its 2025 date closed: the date of
    // 2026 is still made.
    clock.set(twDay(2026, 3, 1));
    const TWRepeatPtr yearly = addSchedule(b, 1, TWRepeatIntervalUnitYear);
    addItem(b, yearly, twDay(2024, 2, 29), kSales, kChecking);
    ASSERT_OK(b.updateRepeatItemsForRepeat(yearly, true, true));
    EXPECT_EQ(itemDays(b, yearly), (QStringList{"2024-02-29", "2026-02-28"}));
}

#include "TWBusiness.h"
#include "TWDenyGuard.h"
#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "WorkTestSupport.h"

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
    EXPECT_FALSE(b.addRepeat(repeat, false));
    return repeat;
}

TWTransactionPtr addItem(TWBusiness &b, const TWRepeatPtr &repeat, const QDateTime &date,
                         qint32 account1 = kChecking, qint32 account2 = kSales)
{
    TWTransactionPtr t =
        twMakeTransaction(b, b.nextTransactionIdentifier(), date, account1, account2, 2500);
    t->setRepeatIdentifier(repeat->identifier());
    EXPECT_FALSE(b.addTransaction(t, false, false, false, false));
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

QList<qint32> splitIdentifiers(const TWTransaction &t)
{
    QList<qint32> identifiers;
    for (const TWSplitPtr &split : t.splits())
        identifiers.append(split->identifier());
    return identifiers;
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
    ASSERT_FALSE(b.addRepeat(weekly, true));
    const TWRepeatPtr bills =
        TWRepeat::repeatWithType(TWRepeatTypeBill, 1, TWRepeatIntervalUnitYear, {}, false, 101);
    ASSERT_FALSE(b.addRepeat(bills, false));
    EXPECT_EQ(recorder.notifications().size(), 1u);

    ASSERT_FALSE(b.loadRepeats());
    ASSERT_EQ(b.repeats().size(), 2);
    const TWRepeatPtr loaded = b.repeatWithIdentifier(100);
    EXPECT_TRUE(loaded->equalInterval(*weekly));
    EXPECT_FALSE(b.repeatWithIdentifier(101)->active());

    // A copy takes the listed one's place at the end; one never stored is refused.
    const TWRepeatPtr edited = loaded->copy();
    edited->setInterval(3);
    ASSERT_FALSE(b.updateRepeat(edited, false));
    EXPECT_EQ(b.repeats().last(), edited);
    EXPECT_EQ(count(b, "SELECT interval FROM repeats WHERE identifier=100;"), 3);
    EXPECT_TRUE(b.updateRepeat(TWRepeat::repeatWithType(0, 1, 0, {}, true, 555), false));
    EXPECT_EQ(b.repeats().size(), 2);

    // Deleting keeps the items, detached in the table and in memory.
    const TWTransactionPtr item = addItem(b, edited, twDay(2024, 1, 1));
    const TWTransactionPtr other = addItem(b, bills, twDay(2024, 1, 2));
    recorder.clear();
    ASSERT_FALSE(b.deleteRepeat(edited, true));
    EXPECT_EQ(item->repeatIdentifier(), 0);
    EXPECT_EQ(other->repeatIdentifier(), 101); // a bill schedule's items are bills
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE repeatIdentifier=0;"), 1);
    EXPECT_FALSE(b.repeatWithIdentifier(100));
    EXPECT_EQ(recorder.names(), QStringList{QStringLiteral("repeatDelete")});
    recorder.clear();
    ASSERT_FALSE(b.deleteRepeat(edited, true)); // gone already: nothing to post
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Repeats, MonthlySeriesOpenedMonthsLaterMakesEachDueItemOnce)
{
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Books"));
    qint32 repeatIdentifier = 0;
    qint32 sourceIdentifier = 0;
    QList<qint32> sourceSplits;
    {
        TWFixedClock clock(2024, 1, 31, 10);
        auto business = twNewBusiness();
        ASSERT_TRUE(business);
        TWBusiness &b = *business;
        TWAccountList expenses;
        TWAccountPtr bank;
        for (const TWAccountPtr &account : b.accounts()) {
            if (account->accountType() == TWAccountTypeExpense)
                expenses.append(account);
            else if (!bank && account->accountType() == TWAccountTypeBank)
                bank = account;
        }
        ASSERT_TRUE(bank && expenses.size() >= 2);
        const TWRepeatPtr monthly = addSchedule(b, 1, TWRepeatIntervalUnitMonth);
        repeatIdentifier = monthly->identifier();
        TWTransactionPtr rent =
            twMakeTransaction(b, b.nextTransactionIdentifier(), twDay(2024, 1, 31), 0, 0, 0);
        rent->setPayee(QStringLiteral("Landlord"));
        rent->setHasSplit(true);
        rent->setSplits({twMakeSplit(b, 0, bank->identifier(), -5000),
                         twMakeSplit(b, 0, expenses[0]->identifier(), 3000, QStringLiteral("a")),
                         twMakeSplit(b, 0, expenses[1]->identifier(), 2000, QStringLiteral("b"))});
        rent->setRepeatIdentifier(repeatIdentifier);
        ASSERT_FALSE(b.addTransaction(rent, true, true, true, true));
        EXPECT_EQ(b.transactions().size(), 1); // the next date is still to come
        sourceIdentifier = rent->identifier();
        sourceSplits = splitIdentifiers(*rent);
        // The source pays a bill; a link of one line stays with that line.
        for (const qint32 split : {0, sourceSplits[0]})
            ASSERT_FALSE(b.addRelationship(
                TWRelationship::relationshipWithType(TWRelationshipTypeBillPayment, 0.0, 900, 901,
                                                     sourceIdentifier, split,
                                                     b.nextRelationshipIdentifier()),
                false));
        ASSERT_FALSE(b.writeToURL(url, TWSaveOperationSaveAs));
    }

    TWFixedClock clock(2024, 4, 30, 9);
    TWNotificationRecorder recorder(nullptr);
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    TWBusiness &b = *opened;
    const TWRepeatPtr monthly = b.repeatWithIdentifier(repeatIdentifier);
    ASSERT_TRUE(monthly);
    EXPECT_EQ(itemDays(b, monthly),
              (QStringList{"2024-01-31", "2024-02-29", "2024-03-31", "2024-04-30"}));
    EXPECT_EQ(recorder.names().count(QStringLiteral("repeatUpdatedItems")), 1);
    EXPECT_EQ(recorder.names().count(QStringLiteral("transactionNew")), 0);

    const TWTransactionPtr source = b.transactionWithIdentifier(sourceIdentifier);
    EXPECT_EQ(splitIdentifiers(*source), sourceSplits);
    QSet<qint32> seen(sourceSplits.cbegin(), sourceSplits.cend());
    for (const TWRepeatItem &item : b.itemsWithRepeatIdentifier(repeatIdentifier)) {
        const TWTransactionPtr t =
            b.transactionWithIdentifier(item.record<TWTransaction>()->identifier());
        ASSERT_EQ(t->splits().size(), 3);
        EXPECT_EQ(t->splits()[1]->total(), 3000);
        EXPECT_EQ(b.relationshipsWithTransaction(*t, TWRelationshipTypeBillPayment).size(),
                  t == source ? 2 : 1);
        if (t == source)
            continue;
        for (const qint32 split : splitIdentifiers(*t)) {
            EXPECT_NE(split, 0);
            EXPECT_FALSE(seen.contains(split));
            seen.insert(split);
        }
    }
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM splits;"), 12);

    // Nothing more is due: a second run makes and posts nothing.
    recorder.clear();
    ASSERT_FALSE(b.updateRepeatItems(true, true));
    EXPECT_EQ(b.transactions().size(), 4);
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
    ASSERT_FALSE(b.updateRepeatItems(true, true));
    EXPECT_EQ(itemDays(b, monthly).size(), 4);
    EXPECT_EQ(itemDays(b, daily), (QStringList{"2024-04-28", "2024-04-29", "2024-04-30"}));
    // One bulk announcement for the whole run.
    EXPECT_EQ(recorder.names(),
              (QStringList{"transactionNew", "relationshipNew", "valueNew", "repeatUpdatedItems"}));
}

TEST(Repeats, ClosedPeriodsStopTheRunAndPastItemsRebuildTheTransfers)
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
        {period("2023", 2023, true, 100), period("2024", 2024, false, 101)});
    const TWRepeatPtr monthly = addSchedule(b, 1, TWRepeatIntervalUnitMonth);
    addItem(b, monthly, twDay(2023, 11, 15), kSales, kChecking);
    // 15 December lies in the closed year: nothing, not even the due 2024 dates.
    ASSERT_FALSE(b.updateRepeatItemsForRepeat(monthly, true, true));
    EXPECT_EQ(itemDays(b, monthly).size(), 1);

    b.accountingPeriodWithIdentifier(100)->setClosed(false);
    ASSERT_FALSE(b.updateRepeatItemsForRepeat(monthly, true, true));
    EXPECT_EQ(itemDays(b, monthly),
              (QStringList{"2023-11-15", "2023-12-15", "2024-01-15", "2024-02-15", "2024-03-15"}));
    // The new December item is closed into 2023 with November's.
    const TWRelationshipList links = b.relationshipsOfType(TWRelationshipTypeNominalTransfer);
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(b.transactionWithIdentifier(links[0]->transactionIdentifier())->total(), -5000);
}

TEST(Repeats, InvoiceAndBillOccurrencesCopyThePaymentAndTheLines)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const QDateTime may = twDay(2024, 5, 1);
    ASSERT_FALSE(b.addProject(twWorkProject(300, 7, QStringLiteral("P")), false));
    const TWTaskPtr timed = twWorkTask(400, 300, twDay(2024, 4, 1));
    const TWTaskPtr flat = twWorkTask(401, 300, twDay(2024, 4, 1), TWTaskTypeFlat);
    ASSERT_FALSE(b.addTask(timed, false));
    ASSERT_FALSE(b.addTask(flat, false));
    ASSERT_FALSE(b.addTaskItem(
        twWorkItem(500, 400, twLocal(2024, 4, 1, 9), twLocal(2024, 4, 1, 11)), false));
    ASSERT_FALSE(b.addExpense(twWorkExpense(402, 300, twDay(2024, 4, 2), 2.0), false));
    const auto link = [&](std::uint32_t type, double value, qint32 parent, qint32 child,
                          qint32 transaction) {
        ASSERT_FALSE(b.addRelationship(
            TWRelationship::relationshipWithType(type, value, parent, child, transaction, 0,
                                                 b.nextRelationshipIdentifier()),
            false));
    };
    link(TWRelationshipTypeInvoiceTask, 5400.0, 600, 400, 0); // 1.5 of the 2 hours
    link(TWRelationshipTypeInvoiceTask, 1.0, 600, 401, 0);
    link(TWRelationshipTypeInvoiceExpense, 2.0, 600, 402, 0);
    const TWTransactionPtr paid =
        twMakeTransaction(b, 100, twDay(2024, 4, 20), kChecking, kSales, 900);
    ASSERT_FALSE(b.addTransaction(paid, false, false, false, false));
    link(TWRelationshipTypeInvoicePayment, 0.0, 300, 600, 100);
    const auto invoice = [](qint32 identifier) {
        return TWInvoice::invoiceWithDate(twDay(2024, 4, 1), QStringLiteral("7"), QString(), true,
                                          false, QDateTime(), 0, QString(), 300, identifier);
    };

    TWRepeatsTestPeer::copyInvoiceRecords(b, *invoice(600), *invoice(601), may);
    const TWRelationshipList payment =
        b.relationshipsWithParentIdentifier(300, 601, TWRelationshipTypeInvoicePayment);
    ASSERT_EQ(payment.size(), 1);
    const TWTransactionPtr copy = b.transactionWithIdentifier(payment[0]->transactionIdentifier());
    EXPECT_NE(copy, paid);
    EXPECT_EQ(copy->date(), may);
    EXPECT_EQ(paid->date(), twDay(2024, 4, 20));
    const TWTaskList tasks = b.tasksWithInvoice(*invoice(601));
    ASSERT_EQ(tasks.size(), 2);
    EXPECT_EQ(tasks[0], timed); // time still to bill is linked again
    EXPECT_EQ(tasks[0]->invoiceQuantity(), 1800.0);
    EXPECT_NE(tasks[1], flat);
    EXPECT_EQ(tasks[1]->date(), may);
    const TWExpenseList expenses = b.expensesWithInvoice(*invoice(601));
    ASSERT_EQ(expenses.size(), 1);
    EXPECT_NE(expenses[0]->identifier(), 402);
    EXPECT_EQ(expenses[0]->invoiceQuantity(), 2.0);

    // An expense that cannot be stored is left out with its link.
    {
        TWDenyGuard deny(b, SQLITE_INSERT, "expenses");
        TWRepeatsTestPeer::copyInvoiceRecords(b, *invoice(600), *invoice(602), may);
    }
    EXPECT_EQ(b.tasksWithInvoice(*invoice(602)).size(), 1); // no time left to bill
    EXPECT_TRUE(b.expensesWithInvoice(*invoice(602)).isEmpty());
    EXPECT_EQ(b.expenses().size(), 2);

    // A bill's payment, split over two lines, is copied with new lines.
    TWTransactionPtr split =
        twMakeTransaction(b, b.nextTransactionIdentifier(), twDay(2024, 4, 21), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 0, kChecking, -300), twMakeSplit(b, 0, kCard, 300)});
    ASSERT_FALSE(b.addTransaction(split, false, false, false, false));
    const QList<qint32> lines = splitIdentifiers(*split);
    link(TWRelationshipTypeBillPayment, 0.0, 800, 700, split->identifier());
    const auto bill = [](qint32 identifier) {
        return TWBill::billWithDate(twDay(2024, 4, 1), QString(), true, false, QDateTime(), 0,
                                    QString(), 800, identifier);
    };
    TWRepeatsTestPeer::copyBillRecords(b, *bill(700), *bill(701), may);
    const TWRelationshipList billPayment =
        b.relationshipsWithParentIdentifier(800, 701, TWRelationshipTypeBillPayment);
    ASSERT_EQ(billPayment.size(), 1);
    const TWTransactionPtr billCopy =
        b.transactionWithIdentifier(billPayment[0]->transactionIdentifier());
    EXPECT_EQ(billCopy->date(), may);
    EXPECT_EQ(splitIdentifiers(*split), lines);
    ASSERT_EQ(billCopy->splits().size(), 2);
    for (const qint32 line : splitIdentifiers(*billCopy))
        EXPECT_FALSE(line == 0 || lines.contains(line));
}

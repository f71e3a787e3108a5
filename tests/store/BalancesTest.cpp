// Balances and totals over the transactions in memory.

#include "TWBalancesTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWReport.h"

#include <gtest/gtest.h>

namespace
{

QList<qint64> balances(const TWTransactionList &rows)
{
    QList<qint64> result;
    for (const TWTransactionPtr &row : rows)
        result.append(row->balance());
    return result;
}

TWTransactionPtr stored(TWBusiness &business, qint32 identifier)
{
    TWTransactionPtr transaction = business.transactionWithIdentifier(identifier);
    EXPECT_TRUE(transaction) << identifier;
    return transaction;
}

} // namespace

TEST(BalancesTest, EachSplitRowRunsItsOwnBalance)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    // Two lines into the bank (ids 10, 11) and one out of sales (12).
    ASSERT_TRUE(twWriteAndLoad(
        *business, {twMakeTransaction(*business, 1, twDay(2024, 1, 1), kChecking, kSales, 1000),
                    twMakeSplitTransaction(*business, 2, twDay(2024, 1, 2),
                                           {{kChecking, 100}, {kChecking, 50}, {kSales, -150}})}));

    const TWTransactionPtr plain = stored(*business, 1);
    const TWTransactionPtr split = stored(*business, 2);
    const TWTransactionList rows = {plain->transactionForActiveAccount(kChecking, 0),
                                    split->transactionForActiveAccount(kChecking, 20),
                                    split->transactionForActiveAccount(kChecking, 21),
                                    split->transactionForActiveAccount(kSales, 22),
                                    split->transactionForActiveAccount(kChecking, 0)};
    business->updateBalance(rows);
    // Each split row adds only its own line; sales (income) is shown
    // positive; the whole transaction seen from the bank adds both lines.
    EXPECT_EQ(balances(rows), (QList<qint64>{1000, 1100, 1150, 150, 1300}));

    // Without an active account a split transaction counts for its first
    // line's account.
    const TWTransactionList unviewed = {split->copy()};
    business->updateBalance(unviewed);
    EXPECT_EQ(unviewed.at(0)->balance(), 150);
}

TEST(BalancesTest, BalanceAtADateCountsWholeCalendarDays)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWTransactionPtr euros =
        twMakeTransaction(*business, 3, twDay(2024, 3, 11), kRent, kChecking, 12000);
    euros->setTotalAccount1(11000); // rent counts in euros
    ASSERT_TRUE(twWriteAndLoad(
        *business,
        {twMakeTransaction(*business, 1, twDay(2024, 3, 1), kChecking, kSales, 50000),
         twMakeTransaction(*business, 2, twDay(2024, 3, 10), kChecking, kSales, 700), euros}));
    // Late in the evening of the 10th.
    stored(*business, 2)->setDate(twLocal(2024, 3, 10, 23, 30));

    const TWAccountPtr bank = business->accountWithIdentifier(kChecking);
    const TWAccountPtr sales = business->accountWithIdentifier(kSales);
    const TWAccountPtr rent = business->accountWithIdentifier(kRent);
    EXPECT_EQ(business->accountBalance(*bank, twLocal(2024, 3, 10, 0, 0)), 50700);
    EXPECT_EQ(business->accountBalance(*bank, twLocal(2024, 3, 9, 23, 59)), 50000);
    // Income is shown positive; rent in its own unit; no date: every day.
    EXPECT_EQ(business->accountBalance(*sales, twLocal(2024, 3, 31)), 50700);
    EXPECT_EQ(business->accountBalance(*rent, QDateTime()), 11000);
    EXPECT_EQ(business->accountBalance(*bank, QDateTime()), 38700);

    // All accounts in one pass agree with the single ones.
    const QHash<qint32, qint64> all = business->accountBalances(twLocal(2024, 3, 10, 8, 0));
    EXPECT_EQ(all, (QHash<qint32, qint64>{{kChecking, 50700}, {kSales, 50700}}));
    for (const TWAccountPtr &account : business->accounts()) {
        EXPECT_EQ(business->accountBalances(QDateTime()).value(account->identifier(), 0),
                  business->accountBalance(*account, QDateTime()))
            << account->identifier();
    }
}

namespace
{

constexpr qint32 kIncomeGroup = 200;

} // namespace

// Budgets over a year end count what was spent and earned, never the
// year-end transfers that close the past year on its last day: a monthly
// rollover line on an expense and a quarterly line on an income whose cycle
// holds that day, each checked against a sum of the entries themselves.
TEST(BalancesTest, BudgetsOverAYearEndLeaveTheYearEndTransfersOut)
{
    TWFixedClock clock(2026, 1, 15);
    auto business = twMakeFullLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    b.businessInfo()->setNominalTransferAccountIdentifier(kOwner);
    b.businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2025"), twDay(2025, 1, 1),
                                                      twDay(2025, 12, 31), true, 100),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2026"), twDay(2026, 1, 1),
                                                      twDay(2026, 12, 31), false, 101)});
    // Travel 1,850.00 and fees 3,000.00 a month, Jan 2025 to Jan 2026, with
    // the days of each (debit side positive) kept for the sums.
    QList<std::tuple<QDate, qint32, qint64>> entries;
    for (QDate day(2025, 1, 5); day <= QDate(2026, 1, 5); day = day.addMonths(1)) {
        for (const auto &[account1, account2, total] :
             {std::tuple(kTravel, kChecking, 185000), std::tuple(kChecking, kFees, 300000)})
            ASSERT_OK(b.addTransaction(twMakeTransaction(b, b.nextTransactionIdentifier(),
                                                         QDateTime(day, QTime()), account1,
                                                         account2, total),
                                       false, false, false, false));
        entries += {{day, kTravel, 185000}, {day, kFees, -300000}};
    }
    ASSERT_OK(b.updateNominalTransferTransactions());
    const auto sum = [&entries](qint32 account, QDate from, QDate to) {
        qint64 total = 0;
        for (const auto &[day, entry, amount] : entries)
            total += entry == account && day >= from && day <= to ? amount : 0;
        return total;
    };
    const TWUnitPtr usd = b.unitWithCode(QStringLiteral("USD"));
    for (const auto &[account, total, start, cycle, rollover] :
         {std::tuple(kTravel, 150000, twDay(2025, 1, 1), 1, true),
          std::tuple(kFees, 800000, twDay(2025, 11, 1), 3, false)})
        ASSERT_OK(b.addBudgetItem(
            TWBudgetItem::budgetItemWithItemType(TWItemTypeAccount, account, total, usd, start,
                                                 cycle, TWBudgetCycleUnitMonth, rollover, account),
            false));
    const TWBudgetTotals totals = b.budgetTotals();

    const TWBudgetTotalPtr travel = totals.value(TWItemTypeAccount).value(kTravel);
    const qint64 travelCycle = sum(kTravel, QDate(2026, 1, 1), QDate(2026, 1, 31));
    const qint64 travelLeft =
        13 * 150000 - sum(kTravel, QDate(2025, 1, 1), QDate(2025, 12, 31)) - travelCycle;
    ASSERT_TRUE(travel);
    EXPECT_EQ(std::tuple(travel->total(), travel->remainingTotal(), travelLeft),
              std::tuple(travelCycle, travelLeft, -455000));
    // November to January, across the last day of 2025.
    const TWBudgetTotalPtr fees = totals.value(TWItemTypeAccount).value(kFees);
    const qint64 feesCycle = sum(kFees, QDate(2025, 11, 1), QDate(2026, 1, 31));
    ASSERT_TRUE(fees);
    EXPECT_EQ(std::tuple(fees->total(), fees->remainingTotal(), feesCycle),
              std::tuple(feesCycle, -800000 - feesCycle, -900000));
}

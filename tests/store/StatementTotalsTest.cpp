// The statement figures: balances at a date, range totals, per-column totals, the
// balance-sheet figures and currency fields per account.

#include "TWBalancesTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"

#include <gtest/gtest.h>

namespace
{

TWTransactionPtr nominal(TWBusiness &business, qint32 identifier, const QDateTime &date,
                         qint32 account1, qint32 account2, qint64 total)
{
    TWTransactionPtr transaction =
        twMakeTransaction(business, identifier, date, account1, account2, total);
    transaction->setType(TWTransactionTypeNominal);
    return transaction;
}

using Totals = QHash<qint32, qint64>;

} // namespace

TEST(StatementTotalsTest, BalancesAtADateIncludeClosingEntries)
{
    auto business = twMakeFullLedger();
    ASSERT_TRUE(business);
    // The split's own two accounts play no part; the unknown account 999 is
    // left out.
    TWTransactionPtr split =
        twMakeSplitTransaction(*business, 3, twDay(2024, 2, 1), {{kRent, 300}, {kChecking, -300}});
    split->setAccount1Identifier(kReceivable);
    split->setAccount2Identifier(kPayable);
    ASSERT_TRUE(twWriteAndLoad(
        *business, {twMakeTransaction(*business, 1, twDay(2024, 1, 10), kChecking, kSales, 50000),
                    twMakeTransaction(*business, 2, twDay(2024, 1, 31), kChecking, kLoan, 20000),
                    split, nominal(*business, 4, twDay(2024, 1, 31), kSales, kOwner, 50000),
                    twMakeTransaction(*business, 5, twDay(2024, 2, 2), 999, kChecking, 123)}));

    EXPECT_EQ(business->transactionTotals(twDay(2024, 1, 31)),
              (Totals{{kChecking, 70000}, {kSales, 0}, {kLoan, 20000}, {kOwner, 50000}}));
    // The end day counts whatever the time; the next day does not.
    EXPECT_EQ(
        business->transactionTotals(twLocal(2024, 2, 1, 0, 1)),
        (Totals{{kChecking, 69700}, {kSales, 0}, {kLoan, 20000}, {kOwner, 50000}, {kRent, 300}}));
    EXPECT_EQ(business->transactionTotals(QDateTime()).value(kChecking), 69577);
    EXPECT_FALSE(business->transactionTotals(QDateTime()).contains(999));
    EXPECT_TRUE(business->transactionTotals(twDay(2023, 12, 31)).isEmpty());
}

TEST(StatementTotalsTest, RetainedEarningsCarryWhatTheSpansLeaveOut)
{
    auto business = twMakeFullLedger();
    ASSERT_TRUE(business);
    ASSERT_TRUE(twWriteAndLoad(
        *business, {twMakeTransaction(*business, 1, twDay(2023, 6, 1), kChecking, kSales, 100000),
                    twMakeTransaction(*business, 2, twDay(2024, 2, 1), kChecking, kSales, 50000),
                    twMakeTransaction(*business, 3, twDay(2024, 3, 1), kTravel, kChecking, 20000),
                    twMakeTransaction(*business, 4, twDay(2024, 1, 15), kChecking, kOwner, 300000),
                    twMakeTransaction(*business, 5, twDay(2024, 4, 1), kChecking, kLoan, 70000),
                    nominal(*business, 6, twDay(2024, 12, 31), kSales, kOwner, 100000),
                    twMakeTransaction(*business, 7, twDay(2025, 1, 1), kChecking, kSales, 999),
                    twMakeTransaction(*business, 8, twDay(2024, 5, 1), kCash, kChecking, 5000)}));

    // A balance sheet at the end of 2024: balances up to then, profit of 2024.
    TWStatementTotalsRequest request;
    const TWDateSpan year{twDay(2024, 1, 1), twDay(2024, 12, 31)};
    request.assets = {QDateTime(), year.toDate};
    request.liabilities = request.assets;
    request.equities = request.assets;
    request.income = year;
    request.expenses = year;
    TWStatementTotals totals = business->transactionTotalsWithAssets(request);
    EXPECT_EQ(totals.assets, (Totals{{kChecking, 495000}, {kCash, 5000}}));
    EXPECT_EQ(totals.liabilities, (Totals{{kLoan, 70000}}));
    EXPECT_EQ(totals.equities, (Totals{{kOwner, 300000}}));
    EXPECT_EQ(totals.income, (Totals{{kSales, 50000}}));
    EXPECT_EQ(totals.expenses, (Totals{{kTravel, 20000}}));
    EXPECT_EQ(totals.netIncome, 30000);
    // A - L - E - N: the earlier year's profit.
    EXPECT_EQ(totals.retainedEarnings, 500000 - 70000 - 300000 - 30000);
    // Without an assets start there is no cash at start; cash at end is every
    // bank and cash entry up to the end.
    EXPECT_EQ(totals.cashStart, 0);
    EXPECT_EQ(totals.cashEnd, 500000);

    // A cash-flow statement: every span is the year; only one map is built,
    // the figures are computed all the same.
    request.assets = request.liabilities = request.equities = year;
    request.accountMaps = TWStatementFigureIncome;
    totals = business->transactionTotalsWithAssets(request);
    EXPECT_TRUE(totals.assets.isEmpty());
    EXPECT_EQ(totals.cashStart, 100000);
    EXPECT_EQ(totals.cashEnd, 500000);
    EXPECT_EQ(totals.retainedEarnings, 400000 - 70000 - 300000 - 30000);

    // With no assets end, cash at end takes every bank and cash entry; with
    // nothing in the spans every figure is 0.
    request = {};
    request.assets = {twDay(2030, 1, 1), QDateTime()};
    request.liabilities = request.equities = request.income = request.expenses = request.assets;
    totals = business->transactionTotalsWithAssets(request);
    EXPECT_EQ(totals.cashStart, 500999);
    EXPECT_EQ(totals.cashEnd, 500999);
    EXPECT_EQ(totals.retainedEarnings, 0);
}

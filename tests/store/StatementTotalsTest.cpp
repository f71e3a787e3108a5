// The statement figures: balances at a date, range totals, per-column totals, the
// balance-sheet figures and currency fields per account.

#include "TWBalancesTestSupport.h"
#include "TWBusiness.h"
#include "TWTestSupport.h"

#include "TWDateAdditions.h"

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

TEST(StatementTotalsTest, TwelveMonthlyColumns)
{
    auto business = twMakeFullLedger();
    ASSERT_TRUE(business);
    TWTransactionList transactions;
    qint32 identifier = 1;
    const auto add = [&](const QDateTime &date, qint32 account1, qint32 account2, qint64 total) {
        transactions.append(
            twMakeTransaction(*business, identifier++, date, account1, account2, total));
    };
    for (int month = 1; month <= 12; ++month) {
        const QDateTime first = twDay(2023, month, 1);
        add(first, kChecking, kCard, month * 10);                                  // liability
        add(twDay(2023, month, 15), kChecking, kSales, month * 1000);              // income
        add(TWDateAdditions::lastDateOfMonth(first), kTravel, kCash, month * 100); // expense
    }
    add(twDay(2023, 1, 1), kChecking, kOwner, 50000);  // equity, counted nowhere itself
    add(twDay(2023, 3, 20), kReceivable, kOwner, 777); // an asset that is not cash
    add(twDay(2022, 12, 31), kChecking, kSales, 7);    // before the year
    add(twDay(2024, 1, 1), kChecking, kSales, 9);      // after it
    transactions.append(
        nominal(*business, identifier++, twDay(2023, 6, 30), kSales, kOwner, 12345));
    ASSERT_TRUE(twWriteAndLoad(*business, transactions));

    QList<TWDateSpan> months;
    QList<TWDateSpan> upToMonthEnds;
    for (int month = 1; month <= 12; ++month) {
        const QDateTime first = twDay(2023, month, 1);
        months.append({first, TWDateAdditions::lastDateOfMonth(first)});
        upToMonthEnds.append({QDateTime(), TWDateAdditions::lastDateOfMonth(first)});
    }
    const TWColumnTotals totals =
        business->groupTransactionTotalsWithAssets(TWStatementFigureAll, months);
    ASSERT_EQ(totals.assets.size(), 12);
    for (int m = 1; m <= 12; ++m) {
        const qsizetype i = m - 1;
        const qint64 cash = m * 1000 + m * 10 - m * 100 + (m == 1 ? 50000 : 0);
        EXPECT_EQ(totals.income.at(i), m * 1000) << m;
        EXPECT_EQ(totals.expenses.at(i), m * 100) << m;
        EXPECT_EQ(totals.liabilities.at(i), m * 10) << m;
        EXPECT_EQ(totals.cashFlows.at(i), cash) << m;
        EXPECT_EQ(totals.assets.at(i), cash + (m == 3 ? 777 : 0)) << m;
        EXPECT_EQ(totals.equities.at(i), totals.assets.at(i) - totals.liabilities.at(i)) << m;
    }

    // Overlapping columns (balances up to each month's end) agree with the
    // range totals asked one column at a time.
    const TWColumnTotals cumulative = business->groupTransactionTotalsWithAssets(
        TWStatementFigureAssets | TWStatementFigureLiabilities, upToMonthEnds);
    ASSERT_EQ(cumulative.assets.size(), 12);
    EXPECT_TRUE(cumulative.income.isEmpty());
    for (qsizetype i = 0; i < upToMonthEnds.size(); ++i) {
        TWStatementTotalsRequest request;
        request.assets = request.liabilities = upToMonthEnds.at(i);
        request.equities = request.income = request.expenses = {twDay(2100, 1, 1), QDateTime()};
        const TWStatementTotals one = business->transactionTotalsWithAssets(request);
        EXPECT_EQ(cumulative.assets.at(i),
                  one.retainedEarnings + one.netIncome + cumulative.liabilities.at(i))
            << i;
    }
    EXPECT_EQ(cumulative.assets.at(0), 7 + 10 + 1000 - 100 + 50000);
    EXPECT_EQ(cumulative.liabilities.at(11), 780);

    // A reversed column and one without bounds.
    const TWColumnTotals odd = business->groupTransactionTotalsWithAssets(
        TWStatementFigureEquities | TWStatementFigureIncome,
        {{twDay(2023, 5, 1), twDay(2023, 4, 1)}, {}});
    EXPECT_EQ(odd.income, (QList<qint64>{0, 78000 + 16}));
    EXPECT_EQ(odd.equities.at(0), 0);
}

TEST(StatementTotalsTest, CurrencyFieldsAreBookedUnderOneAccount)
{
    auto business = twMakeFullLedger();
    ASSERT_TRUE(business);
    const TWFieldPtr tip = twAddCustomField(*business, "Tip", TWFieldTypeCurrency);
    const TWFieldPtr tax = twAddCustomField(*business, "Tax", TWFieldTypePercentTotal);
    twAddCustomField(*business, "Km", TWFieldTypeNumber);
    const auto with = [](TWTransactionPtr transaction, const TWFieldPtr &field, qint64 value) {
        transaction->fieldValueWithField(*field, true)->setCurrency(value);
        return transaction;
    };
    TWTransactionPtr euros =
        with(twMakeTransaction(*business, 4, twDay(2024, 3, 1), kSales, kOwner, 5000), tip, 1000);
    const TWUnitPtr euro = business->unitWithCode("EUR");
    euros->setUnit(euro);
    ASSERT_TRUE(twWriteAndLoad(
        *business,
        {with(twMakeTransaction(*business, 1, twDay(2024, 1, 1), kChecking, kTravel, 900), tip,
              500),
         with(twMakeTransaction(*business, 2, twDay(2024, 1, 2), kRent, kTravel, 900), tip, 200),
         with(twMakeSplitTransaction(*business, 3, twDay(2024, 1, 3),
                                     {{kChecking, 1000}, {kSales, -1000}}),
              tax, 70),
         euros,
         with(twMakeTransaction(*business, 5, twDay(2023, 12, 31), kChecking, kTravel, 1), tip,
              99999),
         with(nominal(*business, 6, twDay(2024, 12, 31), kOwner, kFees, 1), tip, 5),
         twMakeTransaction(*business, 7, twDay(2024, 2, 1), 998, 999, 1)}));

    const TWCurrencyFieldTotals totals =
        business->customCurrencyFieldTotals(twDay(2024, 1, 1), twDay(2024, 12, 31));
    EXPECT_EQ(totals.keys().size(), 2);
    // Asset against expense: the expense; two expenses: the first; a split:
    // its income line; income against equity: the income, in the home unit.
    const qint64 converted = business->totalInHomeCurrency(1000, euro);
    EXPECT_NE(converted, 1000);
    EXPECT_EQ(totals.value(tip->identifier()),
              (Totals{{kTravel, 500}, {kRent, 200}, {kSales, converted}, {kFees, 5}}));
    EXPECT_EQ(totals.value(tax->identifier()),
              (Totals{{kTravel, 0}, {kRent, 0}, {kSales, 70}, {kFees, 0}}));

    // Nothing in range: every currency field with an empty map.
    const TWCurrencyFieldTotals empty =
        business->customCurrencyFieldTotals(twDay(2030, 1, 1), QDateTime());
    EXPECT_EQ(empty.size(), 2);
    EXPECT_TRUE(empty.value(tip->identifier()).isEmpty());
}

// Balances and totals over the transactions in memory.

#include "TWBalancesTestSupport.h"
#include "TWBusiness.h"
#include "TWTestSupport.h"

#include "TWReport.h"

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

TEST(BalancesTest, BankAndCardRegistersRunTheirOwnWay)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    ASSERT_TRUE(twWriteAndLoad(
        *business, {twMakeTransaction(*business, 1, twDay(2024, 1, 5), kChecking, kSales, 10000),
                    twMakeTransaction(*business, 2, twDay(2024, 1, 6), kSales, kChecking, 4000),
                    twMakeTransaction(*business, 3, twDay(2024, 2, 1), kSales, kCard, 4000),
                    twMakeTransaction(*business, 4, twDay(2024, 2, 9), kCard, kChecking, 10000)}));

    const TWTransactionList bank =
        business->transactionsForAccount(*business->accountWithIdentifier(kChecking));
    business->updateBalance(bank);
    EXPECT_EQ(twIdentifiers(bank), (QList<qint32>{1, 2, 4}));
    EXPECT_EQ(balances(bank), (QList<qint64>{10000, 6000, -4000}));

    // The card is credit-positive.
    const TWTransactionList card =
        business->transactionsForAccount(*business->accountWithIdentifier(kCard));
    business->updateBalance(card);
    EXPECT_EQ(balances(card), (QList<qint64>{4000, -6000}));

    // A list mixing the two keeps one running balance per account.
    TWTransactionList mixed;
    for (qsizetype i = 0; i < 2; ++i) {
        mixed.append(bank.at(i)->copy());
        mixed.append(card.at(i)->copy());
    }
    business->updateBalance(mixed);
    EXPECT_EQ(balances(mixed), (QList<qint64>{10000, 4000, 6000, -6000}));

    // The stored transactions keep no balance; an empty or null-holding list
    // is fine.
    EXPECT_EQ(stored(*business, 1)->balance(), 0);
    business->updateBalance({});
    business->updateBalance({nullptr});
}

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

TEST(BalancesTest, DuplicateTestNeedsTotalAccountsDayAndUnit)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    ASSERT_TRUE(twWriteAndLoad(
        *business, {twMakeTransaction(*business, 1, twDay(2024, 4, 2), kChecking, kSales, 2500),
                    twMakeTransaction(*business, 2, QDateTime(), kChecking, kSales, 900)}));

    const auto row = [&](const QDateTime &date, qint32 account1, qint32 account2, qint64 total,
                         const char *unit = "USD") {
        TWTransactionPtr t = twMakeTransaction(*business, 0, date, account1, account2, total);
        t->setUnit(business->unitWithCode(QString::fromLatin1(unit)));
        return t;
    };
    const TWTransactionList rows = {
        row(twLocal(2024, 4, 2, 17, 45), kChecking, kSales, 2500), // same day, later: a match
        row(twDay(2024, 4, 3), kChecking, kSales, 2500),           // another day
        row(twDay(2024, 4, 2), kChecking, kSales, 2501),           // another amount
        row(twDay(2024, 4, 2), kChecking, kSales, 2500, "EUR"),    // another unit
        row(twDay(2024, 4, 2), kSales, kChecking, 2500),           // accounts swapped
        row(QDateTime(), kChecking, kSales, 900),                  // no date: matches nothing
        nullptr,
    };
    const QList<bool> expected = {true, false, false, false, false, false, false};
    EXPECT_EQ(business->matchTransactions(rows), expected);
    for (qsizetype i = 0; i + 1 < rows.size(); ++i)
        EXPECT_EQ(business->matchTransaction(*rows.at(i)), expected.at(i)) << i;

    TWTransactionPtr noUnit = row(twDay(2024, 4, 2), kChecking, kSales, 2500);
    noUnit->setUnit(nullptr);
    EXPECT_FALSE(business->matchTransaction(*noUnit));
}

namespace
{

constexpr qint32 kIncomeGroup = 200;

// A ledger whose sales and fees accounts form an income group, with a clock
// in the middle of March 2024.
std::unique_ptr<TWBusiness> budgetLedger()
{
    auto business = twMakeFullLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO groups (identifier, type, name, tint, parentIdentifier, "
                      "sortOrder, expanded) VALUES (200, 1, 'Income', 0, 0, 0, 1);");
    twExec(*business, "UPDATE accounts SET parentIdentifier=200 WHERE identifier IN (101, 109);");
    EXPECT_FALSE(business->loadGroups());
    EXPECT_FALSE(business->loadAccounts());
    return business;
}

TWBudgetItemPtr addLine(TWBusiness &business, qint32 type, qint32 item, qint64 total,
                        const char *unit, const QDateTime &start,
                        std::uint32_t cycleUnit = TWBudgetCycleUnitMonth, std::uint32_t cycle = 1,
                        bool rollover = false)
{
    TWBudgetItemPtr line = TWBudgetItem::budgetItemWithItemType(
        type, item, total, business.unitWithCode(QString::fromLatin1(unit)), start, cycle,
        cycleUnit, rollover, business.nextBudgetItemsIdentifier());
    EXPECT_FALSE(business.addBudgetItem(line, false));
    return line;
}

} // namespace

TEST(BalancesTest, BudgetTotalsOfAccountsAndAnIncomeGroup)
{
    TWFixedClock clock(2024, 3, 20);
    auto business = budgetLedger();
    ASSERT_TRUE(business);
    TWTransactionPtr rent =
        twMakeTransaction(*business, 5, twDay(2024, 3, 12), kRent, kChecking, 20000);
    rent->setTotalAccount1(18000); // euros
    ASSERT_TRUE(twWriteAndLoad(
        *business,
        {twMakeTransaction(*business, 1, twDay(2024, 3, 5), kChecking, kSales, 60000),
         twMakeTransaction(*business, 2, twDay(2024, 3, 10), kChecking, kFees, 10000),
         twMakeTransaction(*business, 3, twDay(2024, 4, 1), kChecking, kSales, 99900),
         twMakeTransaction(*business, 4, twDay(2024, 2, 29), kChecking, kSales, 5000), rent,
         twMakeTransaction(*business, 6, twDay(2024, 1, 10), kTravel, kChecking, 3000),
         twMakeTransaction(*business, 7, twDay(2024, 2, 10), kTravel, kChecking, 12000),
         twMakeTransaction(*business, 8, twDay(2024, 3, 10), kTravel, kChecking, 4000)}));

    const QDateTime start = twDay(2024, 1, 1);
    addLine(*business, TWItemTypeAccount, kSales, 100000, "USD", start);
    addLine(*business, TWItemTypeAccountGroup, kIncomeGroup, 150000, "USD", start);
    addLine(*business, TWItemTypeAccount, kRent, 50000, "EUR", start);
    addLine(*business, TWItemTypeAccount, kTravel, 10000, "USD", start, TWBudgetCycleUnitMonth, 1,
            true);
    const TWBudgetTotals totals = business->budgetTotals();

    // Income arrives as a negative amount against a negated budget; the
    // transaction after the cycle's end and the one before its start count
    // in neither sum.
    const TWBudgetTotalPtr sales = totals.value(TWItemTypeAccount).value(kSales);
    ASSERT_TRUE(sales);
    EXPECT_EQ(sales->startDate(), twDay(2024, 3, 1));
    EXPECT_EQ(sales->endDate(), twDay(2024, 3, 31));
    EXPECT_EQ(sales->total(), -60000);
    EXPECT_EQ(sales->remainingTotal(), -40000);
    EXPECT_FLOAT_EQ(sales->progress(), 0.6f);

    // The group counts each member as it is shown: on track means positive.
    const TWBudgetTotalPtr group = totals.value(TWItemTypeAccountGroup).value(kIncomeGroup);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->total(), 70000);
    EXPECT_EQ(group->remainingTotal(), 80000);
    EXPECT_FLOAT_EQ(group->progress(), 70000.0f / 150000.0f);

    // A budget in the account's own unit sums the account's own amounts.
    const TWBudgetTotalPtr euros = totals.value(TWItemTypeAccount).value(kRent);
    ASSERT_TRUE(euros);
    EXPECT_EQ(euros->total(), 18000);
    EXPECT_EQ(euros->remainingTotal(), 32000);

    // Rollover: three cycles available less what January and February used.
    const TWBudgetTotalPtr travel = totals.value(TWItemTypeAccount).value(kTravel);
    ASSERT_TRUE(travel);
    EXPECT_EQ(travel->total(), 4000);
    EXPECT_EQ(travel->remainingTotal(), 30000 - 15000 - 4000);
    EXPECT_FLOAT_EQ(travel->progress(), 4000.0f / 15000.0f);

    // Accounts without a line have no entry; one line answers alone the same.
    EXPECT_FALSE(totals.value(TWItemTypeAccount).contains(kChecking));
    const TWBudgetTotalPtr alone =
        business->budgetItemWithType(TWItemTypeAccount, kSales)->budgetTotalWithBusiness(*business);
    EXPECT_EQ(alone->remainingTotal(), sales->remainingTotal());
}

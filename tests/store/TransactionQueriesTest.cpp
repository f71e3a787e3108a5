// Queries over the loaded transactions: selection, the account each row is seen from, order,
// and the export list's running balances.

#include "TWBusiness.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "TWUtilities.h"

#include <gtest/gtest.h>

namespace
{

// (identifier, active account) of each row.
QList<std::pair<qint32, qint32>> rows(const TWTransactionList &list)
{
    QList<std::pair<qint32, qint32>> result;
    for (const TWTransactionPtr &t : list)
        result.append({t->identifier(), t->activeAccountIdentifier()});
    return result;
}

using Rows = QList<std::pair<qint32, qint32>>;

// Written out of order: identifiers and dates disagree, two share a day.
//  5  2024-03-01  Checking <- Sales 100
//  2  2024-03-01  Card <- Checking 40
//  9  2024-01-15  split: Rent +30, Checking -30 (account 1 says Sales)
//  4  2024-02-10  Rent <- Card 25 (with attachments)
//  1  2024-12-31  Checking <- Sales 7
std::unique_ptr<TWBusiness> makeQueriedLedger()
{
    auto business = twMakeLedger();
    if (!business)
        return business;
    TWBusiness &b = *business;
    TWTransactionPtr split = twMakeTransaction(b, 9, twDay(2024, 1, 15), kSales, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 0, kRent, 30), twMakeSplit(b, 0, kChecking, -30)});
    TWTransactionPtr attached = twMakeTransaction(b, 4, twDay(2024, 2, 10), kRent, kCard, 25);
    attached->setHasAttachments(true);
    EXPECT_TRUE(twWriteAndLoad(
        b, {twMakeTransaction(b, 5, twDay(2024, 3, 1), kChecking, kSales, 100),
            twMakeTransaction(b, 2, twDay(2024, 3, 1), kCard, kChecking, 40), split, attached,
            twMakeTransaction(b, 1, twDay(2024, 12, 31), kChecking, kSales, 7)}));
    return business;
}

} // namespace

TEST(TransactionQueries, ViewsAreSortedCopiesSeenFromTheirAccount)
{
    auto business = makeQueriedLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_EQ(twIdentifiers(b.transactions()), QList<qint32>({5, 2, 9, 4, 1}));

    const TWTransactionList all = b.allTransactions();
    EXPECT_EQ(rows(all),
              Rows({{9, kRent}, {4, kRent}, {2, kCard}, {5, kChecking}, {1, kChecking}}));
    // Copies: showing or editing a view leaves the stored transaction alone.
    all.at(0)->setPayee(QStringLiteral("edited"));
    EXPECT_TRUE(b.transactionWithIdentifier(9)->payee().isEmpty());
    // The stored list itself is never reordered.
    EXPECT_EQ(twIdentifiers(b.transactions()), QList<qint32>({5, 2, 9, 4, 1}));

    // A split transaction touches only its lines' accounts: account 1 (Sales)
    // does not count.
    const TWAccountPtr checking = b.accountWithIdentifier(kChecking);
    const TWAccountPtr sales = b.accountWithIdentifier(kSales);
    EXPECT_EQ(rows(b.transactionsForAccount(*checking)),
              Rows({{9, kChecking}, {2, kChecking}, {5, kChecking}, {1, kChecking}}));
    EXPECT_EQ(rows(b.transactionsForAccount(*sales)), Rows({{5, kSales}, {1, kSales}}));

    // Two listed accounts of one transaction: listed twice, once for each, in
    // the order of the account list.
    EXPECT_EQ(rows(b.transactionsForAccounts({sales, checking})), Rows({{9, kChecking},
                                                                        {2, kChecking},
                                                                        {5, kSales},
                                                                        {5, kChecking},
                                                                        {1, kSales},
                                                                        {1, kChecking}}));
}

TEST(TransactionQueries, ExportSelectionTakesStoredTransactionsWithinItsBounds)
{
    TWFixedClock clock(2024, 3, 1, 12, 0, 0);
    auto business = makeQueriedLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;

    // Everything, sorted, the stored objects themselves.
    bool attachments = false;
    TWTransactionList all =
        b.transactionsForAccounts(std::nullopt, nullptr, 0, {}, {}, &attachments);
    EXPECT_EQ(twIdentifiers(all), QList<qint32>({9, 4, 2, 5, 1}));
    EXPECT_EQ(all.at(0), b.transactionWithIdentifier(9));
    EXPECT_TRUE(attachments);

    // Accounts: a split transaction through its lines.
    const TWAccountPtr rent = b.accountWithIdentifier(kRent);
    EXPECT_EQ(
        twIdentifiers(b.transactionsForAccounts(TWAccountList{rent}, nullptr, 0, {}, {}, nullptr)),
        QList<qint32>({9, 4}));
    const TWAccountPtr sales = b.accountWithIdentifier(kSales);
    EXPECT_EQ(twIdentifiers(b.transactionsForAccounts(TWAccountList{sales}, nullptr, 0, {}, {},
                                                      &attachments)),
              QList<qint32>({5, 1}));
    EXPECT_FALSE(attachments);

    // A custom interval includes both of its days; "today" is 1 March.
    EXPECT_EQ(twIdentifiers(b.transactionsForAccounts(std::nullopt, nullptr, TWIntervalCustom,
                                                      twDay(2024, 1, 15), twDay(2024, 2, 10),
                                                      &attachments)),
              QList<qint32>({9, 4}));
    EXPECT_TRUE(attachments);
    EXPECT_EQ(twIdentifiers(b.transactionsForAccounts(std::nullopt, nullptr, TWIntervalToday, {},
                                                      {}, nullptr)),
              QList<qint32>({2, 5}));
}

TEST(TransactionQueries, ExportListGroupsByAccountWithRunningBalances)
{
    auto business = makeQueriedLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWAccountPtr checking = b.accountWithIdentifier(kChecking);
    const TWAccountPtr sales = b.accountWithIdentifier(kSales);
    const TWAccountPtr rent = b.accountWithIdentifier(kRent);

    // Accounts by name (Checking, Rent, Sales); each group in date order.
    const TWTransactionList list =
        b.exportTransactionsForAccounts({sales, rent, checking}, b.transactions());
    EXPECT_EQ(rows(list), Rows({{9, kChecking},
                                {2, kChecking},
                                {5, kChecking},
                                {1, kChecking},
                                {9, kRent},
                                {4, kRent},
                                {5, kSales},
                                {1, kSales}}));
    QList<qint64> balances;
    for (const TWTransactionPtr &t : list)
        balances.append(t->balance());
    // Checking: -30, -40, +100, +7. Rent: +30, +25. Sales (income, shown
    // credit-positive): 100, 7.
    EXPECT_EQ(balances, QList<qint64>({-30, -70, 30, 37, 30, 55, 100, 107}));
    // Balances live in the views only.
    EXPECT_EQ(b.transactionWithIdentifier(1)->balance(), 0);
}

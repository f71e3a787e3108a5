// Queries over the loaded transactions: selection, the account each row is seen from, order,
// and the export list's running balances.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

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

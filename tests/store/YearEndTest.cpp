// Year-end transfers, the closed state following the periods, and the
// closed-transaction questions.

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

#include <QSet>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace
{

constexpr qint32 kSupplies = 104; // expense, USD
constexpr qint32 kEquity = 105;   // the nominal-transfer account
constexpr qint32 k2023 = 100;
constexpr qint32 k2024 = 101;

// The ledger with a dollar expense account, an equity account that takes the
// transfers, a closed 2023 and the current 2024.
std::unique_ptr<TWBusiness> makeBooks()
{
    auto business = twMakeLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (104, 16, 'Supplies', 'USD', 0, 4), "
                      "(105, 17, 'Equity', 'USD', 0, 5);");
    EXPECT_OK(business->loadAccounts());
    business->businessInfo()->setNominalTransferAccountIdentifier(kEquity);
    business->businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2023"), twDay(2023, 1, 1),
                                                      twDay(2023, 12, 31), true, k2023),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2024"), twDay(2024, 1, 1),
                                                      twDay(2024, 12, 31), false, k2024)});
    return business;
}

TWTransactionPtr add(TWBusiness &b, const QDateTime &date, qint32 account1, qint32 account2,
                     qint64 total, bool nominal = false)
{
    TWTransactionPtr t =
        twMakeTransaction(b, b.nextTransactionIdentifier(), date, account1, account2, total);
    EXPECT_OK(b.addTransaction(t, false, nominal, false, false));
    return t;
}

// "period:account:total:date" of every transfer, by period, then account.
QStringList transfers(const TWBusiness &b)
{
    QStringList result;
    for (const TWRelationshipPtr &link : b.relationshipsOfType(TWRelationshipTypeNominalTransfer)) {
        const TWTransactionPtr t = b.transactionWithIdentifier(link->transactionIdentifier());
        if (t)
            result.append(QStringLiteral("%1:%2:%3:%4")
                              .arg(link->parentIdentifier())
                              .arg(t->account1Identifier())
                              .arg(t->total())
                              .arg(t->date().date().toString(Qt::ISODate)));
        else
            result.append(QStringLiteral("missing"));
    }
    result.sort();
    return result;
}

qint64 count(TWBusiness &b, const char *sql)
{
    return twQueryInt(b, QString::fromLatin1(sql)).value_or(-1);
}

} // namespace

TEST(YearEnd, APeriodsClosingTransactionsAreItsTransfersSeenFromTheirFirstAccount)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    twExec(b, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, sortOrder) "
              "VALUES (106, 15, 'Fees', 'USD', 0, 6);");
    ASSERT_OK(b.loadAccounts());
    add(b, twDay(2023, 3, 1), kSupplies, kChecking, 12000);
    add(b, twDay(2023, 4, 1), kChecking, 106, 3000);
    add(b, twDay(2022, 12, 15), kSupplies, kCard, 1000);  // before the first period
    add(b, twDay(2024, 2, 1), kSupplies, kChecking, 700); // the current period stays open
    ASSERT_OK(b.updateNominalTransferTransactions());

    const TWTransactionList closing =
        b.transactionsWithAccountingPeriod(*b.accountingPeriodWithIdentifier(k2023));
    ASSERT_EQ(closing.size(), 2);
    QList<qint32> accounts;
    for (const TWTransactionPtr &t : closing) {
        accounts.append(t->account1Identifier());
        EXPECT_EQ(t->activeAccountIdentifier(), t->account1Identifier());
        EXPECT_EQ(t->activeSplitIdentifier(), 0);
        EXPECT_EQ(t->account2Identifier(), kEquity);
        EXPECT_EQ(t->date().date(), QDate(2023, 12, 31));
        // Views, not the stored records.
        EXPECT_NE(t, b.transactionWithIdentifier(t->identifier()));
    }
    EXPECT_EQ(QSet<qint32>(accounts.begin(), accounts.end()), (QSet<qint32>{kSupplies, 106}));
    EXPECT_LT(closing[0]->identifier(), closing[1]->identifier()); // same day: by identifier

    // The days before the first period close under the unnamed period.
    const TWTransactionList before =
        b.transactionsWithAccountingPeriod(*b.accountingPeriodForDate(twDay(2022, 6, 1)));
    ASSERT_EQ(before.size(), 1);
    EXPECT_EQ(before[0]->total(), -1000);
    // The open period has none; a deleted transfer is no longer listed.
    EXPECT_TRUE(
        b.transactionsWithAccountingPeriod(*b.accountingPeriodWithIdentifier(k2024)).isEmpty());
    const TWRelationshipPtr link =
        b.relationshipsWithParentIdentifier(k2023, TWRelationshipTypeNominalTransfer).value(0);
    ASSERT_TRUE(link);
    ASSERT_OK(b.deleteTransaction(b.transactionWithIdentifier(link->transactionIdentifier()), false,
                                  false, false));
    EXPECT_EQ(b.transactionsWithAccountingPeriod(*b.accountingPeriodWithIdentifier(k2023)).size(),
              1);
}

TEST(YearEnd, PastPeriodsAndGapsCloseIntoOneLockedTransferPerAccount)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    add(b, twDay(2023, 3, 1), kSupplies, kChecking, 12000); // an expense of 120
    add(b, twDay(2023, 5, 1), kChecking, kSupplies, 2000);  // a refund of 20
    add(b, twDay(2023, 7, 1), kChecking, kSales, 5000);
    add(b, twDay(2023, 8, 1), kSales, kChecking, 5000);   // sales that net to zero
    add(b, twDay(2022, 12, 15), kSupplies, kCard, 1000);  // before the first period
    add(b, twDay(2024, 2, 1), kSupplies, kChecking, 700); // the current period stays open

    TWNotificationRecorder recorder(&b);
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_EQ(transfers(b), (QStringList{QStringLiteral("0:104:-1000:2022-12-31"),
                                         QStringLiteral("100:104:-10000:2023-12-31")}));
    EXPECT_EQ(recorder.names().count(QStringLiteral("transactionNew")), 1);
    EXPECT_EQ(recorder.names().count(QStringLiteral("relationshipNew")), 2);

    const TWRelationshipPtr link =
        b.relationshipsWithParentIdentifier(k2023, TWRelationshipTypeNominalTransfer).value(0);
    ASSERT_TRUE(link);
    const TWTransactionPtr transfer = b.transactionWithIdentifier(link->transactionIdentifier());
    EXPECT_EQ(transfer->state(), std::uint32_t(TWTransactionStateLocked));
    EXPECT_EQ(transfer->account2Identifier(), kEquity);
    EXPECT_EQ(transfer->totalAccount2(), -10000);
    EXPECT_FALSE(b.transactionClosed(*transfer)); // locked, not closed
    // Supplies stands at zero at the end of 2023.
    EXPECT_EQ(b.accountBalance(*b.accountWithIdentifier(kSupplies), twDay(2023, 12, 31)), 0);

    // Rebuilt from scratch, also when the links were lost: never twice.
    ASSERT_OK(b.updateNominalTransferTransactions());
    ASSERT_OK(b.deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer));
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE type=1;"), 2);
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM relationships WHERE type=4;"), 2);

    // Without a nominal-transfer account every transfer goes and none is made.
    b.businessInfo()->setNominalTransferAccountIdentifier(0);
    recorder.clear();
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE type=1;"), 0);
    EXPECT_EQ(recorder.names(), QStringList{QStringLiteral("transactionDelete")});
}

TEST(YearEnd, AFailedRebuildLeavesTheTransfersOfBefore)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    // 2023 open again: a closed year keeps its transfers.
    b.accountingPeriodWithIdentifier(k2023)->setClosed(false);
    add(b, twDay(2023, 3, 1), kSupplies, kChecking, 12000);
    add(b, twDay(2023, 4, 1), kChecking, kSales, 900);
    ASSERT_OK(b.updateNominalTransferTransactions());
    const QStringList before = transfers(b);
    // A later entry in the past year: its account's transfer must be made
    // again.
    add(b, twDay(2023, 5, 1), kSupplies, kChecking, 500);
    const QList<qint32> listed = twIdentifiers(b.transactions());

    TWNotificationRecorder recorder(&b);
    {
        // The new transfers' links cannot be stored.
        TWDenyGuard deny(b, SQLITE_INSERT, "relationships");
        EXPECT_TRUE(b.updateNominalTransferTransactions());
    }
    EXPECT_EQ(transfers(b), before);
    EXPECT_EQ(twIdentifiers(b.transactions()), listed);
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE type=1;"), 2);
    EXPECT_TRUE(recorder.names().isEmpty());
}

// Every transfer of an open past period is deleted and made anew; a closed
// period keeps its own, also when the closing account changes.
TEST(YearEnd, ClosedPeriodsKeepTheirTransfersAndOpenOnesAreMadeAnew)
{
    TWFixedClock clock(2025, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWAccountingPeriodList periods = b.businessInfo()->accountingPeriods();
    periods.last()->setEndDate(twDay(2024, 6, 30)); // an open half-year, past
    b.businessInfo()->setAccountingPeriods(periods);
    add(b, twDay(2023, 3, 1), kSupplies, kChecking, 12000);
    add(b, twDay(2024, 3, 1), kSupplies, kChecking, 3000);
    ASSERT_OK(b.updateNominalTransferTransactions());
    const auto byPeriod = [&b](qint32 period) {
        const TWTransactionList views =
            b.transactionsWithAccountingPeriod(*b.accountingPeriodWithIdentifier(period));
        EXPECT_EQ(views.size(), 1);
        return views.isEmpty() ? TWTransactionPtr()
                               : b.transactionWithIdentifier(views[0]->identifier());
    };
    const TWTransactionPtr closed = byPeriod(k2023);
    const TWTransactionPtr open = byPeriod(k2024);

    // Rebuilt with nothing changed: the open period's transfer is new.
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_NE(byPeriod(k2024), open);
    EXPECT_EQ(byPeriod(k2023), closed);

    // Another closing account: only the open period's transfer moves to it.
    b.businessInfo()->setNominalTransferAccountIdentifier(kCard);
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_EQ(byPeriod(k2024)->account2Identifier(), kCard);
    ASSERT_EQ(byPeriod(k2023), closed);
    EXPECT_EQ(std::tuple(closed->account2Identifier(), closed->total()),
              std::tuple(kEquity, qint64(-12000)));
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions WHERE type=1;"), 2);
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM relationships WHERE type=4;"), 2);
}

// A closed year cut short: the closing entries made for the rest of that
// year carry its description as the others do; the days before the first
// period still close under none.
TEST(YearEnd, TheRestOfAShortenedYearClosesAsAGapWithNoName)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    add(b, twDay(2022, 12, 15), kSupplies, kChecking, 1000);
    add(b, twDay(2023, 3, 1), kSupplies, kChecking, 12000);
    add(b, twDay(2023, 9, 1), kSupplies, kChecking, 3000);
    ASSERT_OK(b.updateNominalTransferTransactions());
    TWAccountingPeriodList periods = b.businessInfo()->accountingPeriods();
    periods.first()->setEndDate(twDay(2023, 6, 30));
    b.businessInfo()->setAccountingPeriods(periods);
    ASSERT_OK(b.updateNominalTransferTransactions());

    QStringList made;
    for (const TWTransactionPtr &t : b.transactions())
        if (t->type() == TWTransactionTypeNominal)
            made.append(t->date().date().toString(Qt::ISODate) + u' ' + t->description());
    made.sort();
    const QString named = TWLocalized("accountingPeriod") + QStringLiteral(" 2023");
    EXPECT_EQ(made, (QStringList{QStringLiteral("2022-12-31 "), "2023-06-30 " + named,
                                 QStringLiteral("2023-12-31 ")}));
}

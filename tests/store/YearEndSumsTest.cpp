// The year-end sums kept as the ledger changes: whatever happened to the
// ledger, the transfers a rebuild leaves are exactly those a rebuild summing
// the whole ledger makes.

#include "TWDenyGuard.h"
#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace
{

constexpr qint32 kSupplies = 104; // expense, USD
constexpr qint32 kEquity = 105;   // the nominal-transfer account

// The ledger with an expense account, an equity account taking the
// transfers, 2021 to 2023 closed, 2024 current and 2025 to come, with a gap
// in the middle of 2022.
std::unique_ptr<TWBusiness> makeBooks()
{
    auto business = twMakeLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (104, 16, 'Supplies', 'USD', 0, 4), "
                      "(105, 17, 'Equity', 'USD', 0, 5);");
    EXPECT_OK(business->loadAccounts());
    TWBusinessInfoPtr info = business->businessInfo();
    info->setNominalTransferAccountIdentifier(kEquity);
    const auto period = [](const char *name, const QDateTime &from, const QDateTime &to,
                           qint32 identifier) {
        return TWAccountingPeriod::accountingPeriodWithName(QLatin1String(name), from, to, false,
                                                            identifier);
    };
    info->setAccountingPeriods({period("2021", twDay(2021, 1, 1), twDay(2021, 12, 31), 100),
                                period("2022a", twDay(2022, 1, 1), twDay(2022, 5, 31), 101),
                                period("2022b", twDay(2022, 7, 1), twDay(2022, 12, 31), 102),
                                period("2023", twDay(2023, 1, 1), twDay(2023, 12, 31), 103),
                                period("2024", twDay(2024, 1, 1), twDay(2024, 12, 31), 104),
                                period("2025", twDay(2025, 1, 1), twDay(2025, 12, 31), 105)});
    EXPECT_OK(business->updateBusinessInfo(info));
    // Stored too, so that a reopened document has them.
    for (const TWAccountingPeriodPtr &period : info->accountingPeriods())
        EXPECT_OK(business->addAccountingPeriod(period, false));
    return business;
}

// Every year-end transfer, as the user sees it (identifiers apart), sorted.
QStringList transfers(const TWBusiness &b)
{
    QStringList result;
    for (const TWTransactionPtr &t : b.transactions()) {
        if (t->type() != TWTransactionTypeNominal)
            continue;
        result.append(QStringLiteral("%1 %2>%3 %4/%5/%6/%7 %8 %9 %10")
                          .arg(t->date().date().toString(Qt::ISODate))
                          .arg(t->account2Identifier())
                          .arg(t->account1Identifier())
                          .arg(t->total())
                          .arg(t->totalAccount1())
                          .arg(t->totalAccount2())
                          .arg(t->totalBusiness())
                          .arg(t->state())
                          .arg(t->payee(), t->description()));
    }
    result.sort();
    return result;
}

// The transfer objects listed now.
TWTransactionList transferObjects(const TWBusiness &b)
{
    TWTransactionList result;
    for (const TWTransactionPtr &t : b.transactions())
        if (t->type() == TWTransactionTypeNominal)
            result.append(t);
    return result;
}

// Whether any of these objects is still the listed transaction of its number.
bool anyStillListed(const TWBusiness &b, const TWTransactionList &objects)
{
    return std::any_of(objects.cbegin(), objects.cend(), [&b](const TWTransactionPtr &t) {
        return b.transactionWithIdentifier(t->identifier()) == t;
    });
}

// What a rebuild summing the whole ledger makes (it does so when the
// transfers' links are gone), with the links as they must be.
QStringList fullRebuild(TWBusiness &b)
{
    EXPECT_OK(b.deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer));
    EXPECT_OK(b.updateNominalTransferTransactions());
    const QStringList made = transfers(b);
    EXPECT_EQ(b.relationshipsOfType(TWRelationshipTypeNominalTransfer).size(), made.size());
    return made;
}

// A small deterministic sequence, so the ledger is the same in every run.
struct Sequence {
    quint32 state = 12345;
    int next(int below)
    {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) % quint32(below));
    }
};

TWTransactionPtr makeEntry(TWBusiness &b, Sequence &random)
{
    static const qint32 accounts[] = {kChecking, kSales, kRent, kCard, kSupplies};
    const QDateTime date = twDay(2020, 6, 1).addDays(random.next(5 * 365));
    const qint32 one = accounts[random.next(5)];
    qint32 two = accounts[random.next(5)];
    if (two == one)
        two = one == kChecking ? kSales : kChecking;
    TWTransactionPtr t = twMakeTransaction(b, b.nextTransactionIdentifier(), date, one, two,
                                           100 + random.next(90000));
    // The euro account books its own amounts.
    if (one == kRent)
        t->setTotalAccount1(t->total() * 9 / 10);
    if (two == kRent)
        t->setTotalAccount2(t->total() * 9 / 10);
    if (random.next(5) == 0) {
        const qint64 part = 50 + random.next(5000);
        t->setHasSplit(true);
        t->setSplits({twMakeSplit(b, 0, kChecking, -2 * part), twMakeSplit(b, 0, kSales, part),
                      twMakeSplit(b, 0, kSupplies, part)});
    }
    return t;
}

} // namespace

TEST(YearEndSums, KeptSumsMakeWhatSummingTheWholeLedgerMakes)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = makeBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    Sequence random;
    // Added one by one, each rebuilding the transfers when it lies in a
    // past period.
    for (int i = 0; i < 120; ++i)
        ASSERT_OK(b.addTransaction(makeEntry(b, random), false, true, false, false));
    const QStringList added = transfers(b);
    EXPECT_FALSE(added.isEmpty());
    EXPECT_EQ(added, fullRebuild(b));

    // Nothing changed: every transfer is made anew, the same as before, and
    // the change is announced.
    const TWTransactionList before = transferObjects(b);
    {
        TWNotificationRecorder recorder(&b);
        ASSERT_OK(b.updateNominalTransferTransactions());
        EXPECT_TRUE(recorder.names().contains(QStringLiteral("transactionDelete")));
        EXPECT_TRUE(recorder.names().contains(QStringLiteral("transactionNew")));
    }
    EXPECT_EQ(transfers(b), added);
    EXPECT_FALSE(anyStillListed(b, before));

    // Deletes, alone and in lists.
    for (int i = 0; i < 10; ++i) {
        const TWTransactionList all = b.transactions();
        TWTransactionPtr victim = all.at(random.next(int(all.size())));
        if (victim->type() == TWTransactionTypeNominal)
            continue;
        ASSERT_OK(b.deleteTransaction(victim, false, true, false));
    }
    TWTransactionList some;
    for (const TWTransactionPtr &t : b.transactions())
        if (t->type() != TWTransactionTypeNominal && random.next(8) == 0)
            some.append(t);
    ASSERT_OK(b.deleteTransactions(some, false, true, false));
    const QStringList deleted = transfers(b);
    EXPECT_EQ(deleted, fullRebuild(b));

    // Edits: copies with other amounts and days, and the listed object
    // itself changed in place.
    for (int i = 0; i < 15; ++i) {
        const TWTransactionList all = b.transactions();
        const TWTransactionPtr listedEntry = all.at(random.next(int(all.size())));
        if (listedEntry->type() == TWTransactionTypeNominal || listedEntry->hasSplit())
            continue;
        const TWTransactionPtr edited = i % 2 ? listedEntry->copy() : listedEntry;
        edited->setDate(twDay(2020, 6, 1).addDays(random.next(5 * 365)));
        edited->setTotal(edited->total() + 77);
        edited->setTotalAccount1(edited->totalAccount1() + 77);
        edited->setTotalAccount2(edited->totalAccount2() + 77);
        edited->setTotalBusiness(edited->totalBusiness() + 77);
        ASSERT_OK(b.updateTransaction(edited, false, true, false, false));
    }
    const QStringList edited = transfers(b);
    EXPECT_EQ(edited, fullRebuild(b));

    // A write that fails leaves the sums to be made again, not wrong.
    {
        TWDenyGuard deny(b, SQLITE_INSERT, "splits");
        TWTransactionPtr split = makeEntry(b, random);
        split->setDate(twDay(2021, 3, 3));
        split->setHasSplit(true);
        split->setSplits({twMakeSplit(b, 0, kSales, 500), twMakeSplit(b, 0, kChecking, -500)});
        EXPECT_TRUE(b.addTransaction(split, false, true, false, false));
    }
    ASSERT_OK(b.addTransaction(makeEntry(b, random), false, true, false, false));
    const QStringList afterFailure = transfers(b);
    EXPECT_EQ(afterFailure, fullRebuild(b));

    // The year moves on: 2024 closes without a new pass, and back again.
    clock.set(twDay(2025, 2, 1));
    ASSERT_OK(b.addTransaction(makeEntry(b, random), false, true, false, false));
    ASSERT_OK(b.updateNominalTransferTransactions());
    const QStringList nextYear = transfers(b);
    EXPECT_TRUE(std::any_of(nextYear.cbegin(), nextYear.cend(),
                            [](const QString &t) { return t.startsWith(u"2024-12-31"); }));
    EXPECT_EQ(nextYear, fullRebuild(b));
    clock.set(twDay(2024, 6, 1));
    ASSERT_OK(b.updateNominalTransferTransactions());
    EXPECT_EQ(transfers(b), added.isEmpty() ? QStringList() : fullRebuild(b));

    // The periods change: the sums are made again for the new ones.
    TWAccountingPeriodList periods = b.businessInfo()->accountingPeriods();
    periods.append(TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("2020"), twDay(2020, 7, 1), twDay(2020, 12, 31), false, 106));
    b.businessInfo()->setAccountingPeriods(periods);
    ASSERT_OK(b.updateNominalTransferTransactions());
    const QStringList newPeriods = transfers(b);
    EXPECT_TRUE(std::any_of(newPeriods.cbegin(), newPeriods.cend(),
                            [](const QString &t) { return t.endsWith(u"Period 2020"); }));
    EXPECT_EQ(newPeriods, fullRebuild(b));
}

TEST(YearEndSums, AnOpenedDocumentMakesItsTransfersAgainAsTheyWere)
{
    TWFixedClock clock(2024, 6, 1);
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Books.tallyworth"));
    QStringList made;
    {
        auto business = makeBooks();
        ASSERT_TRUE(business);
        Sequence random;
        for (int i = 0; i < 60; ++i)
            ASSERT_OK(
                business->addTransaction(makeEntry(*business, random), false, true, false, false));
        made = transfers(*business);
        ASSERT_FALSE(made.isEmpty());
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    }
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    ASSERT_EQ(transfers(*opened), made);
    // The sums read with the rows call for exactly the stored transfers,
    // made anew.
    const TWTransactionList listed = transferObjects(*opened);
    ASSERT_OK(opened->updateNominalTransferTransactions());
    EXPECT_EQ(transfers(*opened), made);
    EXPECT_FALSE(anyStillListed(*opened, listed));
    // A new entry in a closed year changes the one transfer it touches.
    TWTransactionPtr late = twMakeTransaction(*opened, opened->nextTransactionIdentifier(),
                                              twDay(2021, 4, 1), kSupplies, kChecking, 1234);
    ASSERT_OK(opened->addTransaction(late, false, true, false, false));
    const QStringList after = transfers(*opened);
    EXPECT_NE(after, made);
    EXPECT_EQ(after, fullRebuild(*opened));
}

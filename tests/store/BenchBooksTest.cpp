// The benchmark's generated business must be valid books, since every
// measurement and later check runs on it: it is generated small, saved,
// opened again and verified, and the verifier must notice broken books.

#include "TWBenchBusiness.h"
#include "TWBenchVerify.h"
#include "TWTestSupport.h"

#include "model/TWRelationship.h"

#include <QUrl>

#include <gtest/gtest.h>

TEST(BenchBooks, GeneratedPackageVerifiesAfterReopening)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir folder;
    ASSERT_TRUE(folder.isValid());
    std::unique_ptr<TWBusiness> made =
        twBenchMakeBusiness({3000, folder.filePath(QStringLiteral("files"))});
    ASSERT_TRUE(made);
    EXPECT_EQ(twBenchVerify(*made), QStringList());

    // Split entries carry the bank as one of their lines, so its register shows them.
    int splitOnBank = 0;
    for (const TWTransactionPtr &t : made->transactions())
        if (t->hasSplit() && t->touchesAccount(twBenchBusyAccount()))
            ++splitOnBank;
    EXPECT_GT(splitOnBank, 100);
    // Ten closed years, each with its transfers; the current year is open.
    int closed = 0;
    for (const TWAccountingPeriodPtr &period : made->sortedAccountingPeriods())
        closed += period->closed() ? 1 : 0;
    EXPECT_EQ(closed, 10);
    EXPECT_EQ(made->currentAccountingPeriod()->name(), QStringLiteral("2024"));
    EXPECT_FALSE(made->currentAccountingPeriod()->closed());

    const QUrl url = QUrl::fromLocalFile(folder.filePath(QStringLiteral("Books.tallyworth")));
    ASSERT_OK(made->writeToURL(url, TWSaveOperationSaveAs));
    const qsizetype count = made->transactions().size();
    made.reset();
    TWErrorResult error;
    std::unique_ptr<TWBusiness> opened = TWBusiness::businessWithURL(url, false, &error);
    ASSERT_TRUE(opened) << (error ? error->localizedDescription() : QString());
    // Opening brings the twelve monthly repeats up to today.
    EXPECT_GE(opened->transactions().size(), count);
    EXPECT_EQ(twBenchVerify(*opened), QStringList());
}

TEST(BenchBooks, VerifierFindsUnbalancedSplitsWrongStatesAndMissingTransfers)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir folder;
    std::unique_ptr<TWBusiness> b =
        twBenchMakeBusiness({1000, folder.filePath(QStringLiteral("files"))});
    ASSERT_TRUE(b);
    ASSERT_EQ(twBenchVerify(*b), QStringList());

    // Changed behind the store's back: the checks read the lists as they are.
    TWTransactionPtr split, open, closed;
    for (const TWTransactionPtr &t : b->transactions()) {
        if (!split && t->hasSplit())
            split = t;
        if (!open && t->state() == TWTransactionStateNormal)
            open = t;
        if (!closed && t->state() == TWTransactionStateClosed)
            closed = t;
    }
    ASSERT_TRUE(split && open && closed);
    const TWSplitPtr line = split->splits().first();
    line->setTotalBusiness(line->totalBusiness() + 1);
    open->setState(TWTransactionStateClosed);
    closed->setState(TWTransactionStateNormal);
    const QStringList faults = twBenchVerify(*b);
    EXPECT_EQ(faults.size(), 3) << faults.join(u'\n');
    EXPECT_TRUE(faults.join(u'\n').contains(QStringLiteral("off by 1")));

    line->setTotalBusiness(line->totalBusiness() - 1);
    open->setState(TWTransactionStateNormal);
    closed->setState(TWTransactionStateClosed);
    ASSERT_OK(b->deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer));
    EXPECT_TRUE(twBenchVerify(*b).join(u'\n').contains(QStringLiteral("no year-end transfers")));
}

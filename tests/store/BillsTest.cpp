#include "TWInvoiceTestSupport.h"

#include "WorkTestSupport.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

TEST(Bills, DeletesKeepSharedPaymentsAndFollowTheMerchant)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWBillPtr paper = book.addBill(QStringLiteral("Paper"), twLocal(2024, 6, 15));
    TWBillPtr ink = book.addBill(QStringLiteral("Ink"));
    TWTransactionPtr charge =
        book.addEntry(paper, twLocal(2024, 6, 1), kAdvertising, kPayable, 200);
    book.addEntry(ink, twLocal(2024, 6, 1), kAdvertising, kPayable, 80);
    TWTransactionPtr shared = book.addEntry(paper, twLocal(2024, 6, 2), kPayable, kBank, 50);
    book.link(shared, ink);

    EXPECT_EQ(b.transactionHomeOwingWithMerchants({book.merchant}), 180);
    EXPECT_EQ(b.transactionHomeOwingWithBills({paper}, {charge}), 200);
    EXPECT_TRUE(b.transactionOverdueWithMerchants({book.merchant}));
    twUpdateTransactions(*paper, b);
    EXPECT_FLOAT_EQ(twPercentPaid(*paper, b), 0.25f);

    const qint32 chargeIdentifier = charge->identifier();
    const qint32 sharedIdentifier = shared->identifier();
    ASSERT_OK(b.deleteBill(paper, true));
    EXPECT_FALSE(b.transactionWithIdentifier(chargeIdentifier));
    ASSERT_TRUE(b.transactionWithIdentifier(sharedIdentifier));
    EXPECT_FALSE(b.transactionOverdueWithMerchants({book.merchant}));

    // The merchant takes its bills and their entries along, all or nothing.
    twExec(b, "CREATE TRIGGER refuse BEFORE DELETE ON relationships "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_TRUE(b.deleteMerchant(book.merchant, true));
    EXPECT_EQ(b.bills().size(), 1);
    EXPECT_TRUE(b.transactionWithIdentifier(sharedIdentifier));
    twExec(b, "DROP TRIGGER refuse;");
    ASSERT_OK(b.deleteMerchant(book.merchant, true));
    EXPECT_TRUE(b.transactions().isEmpty());
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships"), 0);
}

#include "TWInvoiceTestSupport.h"

#include "TWRepeat.h"
#include "WorkTestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

TEST(Bills, RowsLoadBackTheMerchantStaysFixedAndRepeatsGoFromTheEnd)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWBillPtr dated = book.addBill(QStringLiteral("Paper"), twLocal(2024, 7, 1));
    for (int i = 0; i < 2; ++i) {
        ASSERT_FALSE(b.addBill(
            TWBill::billWithDate(twLocal(2024, 6, 1 + i), QStringLiteral("Rent"), false, false, {},
                                 7, {}, book.merchant->identifier(), b.nextBillIdentifier()),
            false));
    }
    EXPECT_EQ(twCount(b, "SELECT dueDate FROM bills WHERE identifier=101"), 0);

    auto moved = dated->copy();
    moved->setMerchantIdentifier(999);
    moved->setName(QStringLiteral("Paper and more"));
    ASSERT_FALSE(b.updateBill(moved, false));
    EXPECT_EQ(moved->merchantIdentifier(), book.merchant->identifier());
    EXPECT_TRUE(b.matchValue(QStringLiteral("Paper and more"), TWValueListBillNames));
    ASSERT_FALSE(b.loadBills());
    const TWBillPtr reloaded = b.billWithIdentifier(100);
    EXPECT_EQ(std::tuple(reloaded->name(), reloaded->dueDate(), reloaded->merchantIdentifier()),
              std::tuple(QStringLiteral("Paper and more"), twLocal(2024, 7, 1),
                         book.merchant->identifier()));
    EXPECT_FALSE(b.billWithIdentifier(101)->dueDate().isValid());

    // A repeat's bills go from the end of the list; identifier 0 names none.
    TWNotificationRecorder recorder(&b);
    auto repeat = std::make_shared<TWRepeat>();
    EXPECT_FALSE(b.deleteRepeatBills(repeat, true));
    repeat->setIdentifier(7);
    ASSERT_FALSE(b.deleteRepeatBills(repeat, true));
    EXPECT_EQ(twIdentifiers(b.bills()), QList<qint32>({100}));
    QList<qint32> deleted;
    for (const TWNotification &notification : recorder.notifications()) {
        if (notification.name == TWBillDeleteNotification)
            deleted.append(notification.userInfo.value(TWBillNotificationKey)
                               .value<TWBillPtr>()
                               ->identifier());
    }
    EXPECT_EQ(deleted, QList<qint32>({102, 101}));
}

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
    paper->updateTransactions(b);
    EXPECT_FLOAT_EQ(paper->percentPaidWithBusiness(b), 0.25f);

    const qint32 chargeIdentifier = charge->identifier();
    const qint32 sharedIdentifier = shared->identifier();
    ASSERT_FALSE(b.deleteBill(paper, true));
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
    ASSERT_FALSE(b.deleteMerchant(book.merchant, true));
    EXPECT_TRUE(b.transactions().isEmpty());
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships"), 0);
}

// Deleting a client or a merchant takes everything that belongs to it along,
// in one write: exactly those records, announced by their own notifications.

#include "TWInvoiceTestSupport.h"
#include "WorkTestSupport.h"
#include "model/TWRepeat.h"

#include <gtest/gtest.h>

TEST(Cascades, DeletingAMerchantRemovesItsBillsAndStopsTheirSchedule)
{
    TWFixedClock clock(2024, 6, 20, 12);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWRepeatPtr monthly = TWRepeat::repeatWithType(
        TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(monthly, false));
    TWBillPtr bill = book.addBill(QStringLiteral("Hosting"));
    bill->setRepeatIdentifier(monthly->identifier());
    ASSERT_OK(b.updateBill(bill, false));
    const TWTransactionPtr payment = book.addEntry(bill, twLocal(2024, 6, 2), kPayable, kBank, 500);

    ASSERT_OK(b.deleteMerchant(book.merchant, true));
    EXPECT_TRUE(b.bills().isEmpty());
    EXPECT_FALSE(b.transactionWithIdentifier(payment->identifier()));
    // The schedule has nothing left to copy: a later run makes no bill.
    clock.set(twLocal(2024, 9, 20, 12));
    ASSERT_OK(b.updateRepeatItems(true, false));
    EXPECT_TRUE(b.bills().isEmpty());
}

// The business row never names a deleted account as its closing account.
TEST(Cascades, DeletingTheClosingAccountClearsItFromTheBusiness)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    TWBusinessInfoPtr info = b.businessInfo()->copy();
    info->setNominalTransferAccountIdentifier(kAdvertising);
    ASSERT_OK(b.updateBusinessInfo(info));
    ASSERT_OK(b.deleteAccount(b.accountWithIdentifier(kAdvertising), false));
    EXPECT_EQ(b.businessInfo()->nominalTransferAccountIdentifier(), 0);
    EXPECT_EQ(
        twCount(b, QStringLiteral("SELECT nominalTransferAccountIdentifier FROM businesses;")), 0);
}

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

// Deleting a client or a project whose invoice of a closed year has no entry
// in closed books changes no closed row: it is never refused (its tasks go
// after the invoices, so none of them is refused on the way).
TEST(Cascades, AClosedYearsInvoiceWithNoClosedEntryDoesNotHoldUpADelete)
{
    TWFixedClock clock(2026, 6, 20, 12);
    for (const bool client : {false, true}) {
        for (const bool entryKept : {false, true}) {
            SCOPED_TRACE(std::to_string(client) + std::to_string(entryKept));
            TWInvoiceBook book = twInvoiceBook();
            ASSERT_TRUE(book.business);
            TWBusiness &b = book.b();
            const TWTaskPtr task = TWTask::taskWithDate(
                twLocal(2025, 12, 1), false, QStringLiteral("Work"), TWTaskTypeFlat, 0.0, 1.0,
                50000, 0.0, {}, book.project->identifier(), b.nextTaskIdentifier());
            ASSERT_OK(b.addTask(task, false));
            task->setInvoiceQuantity(1.0);
            TWInvoicePtr invoice = book.addInvoice(QStringLiteral("1001"));
            invoice->setDate(twLocal(2025, 12, 31));
            ASSERT_OK(b.updateInvoice(invoice, false));
            ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
            ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                                 book.account(kSales), nullptr));
            // Booked in the open year, or deleted in the register.
            const TWTransactionPtr entry = b.invoiceEntry(*invoice);
            ASSERT_TRUE(entry);
            if (entryKept) {
                entry->setDate(twLocal(2026, 1, 5));
                ASSERT_OK(b.updateTransaction(entry, false, false, false, false));
            } else {
                ASSERT_OK(b.deleteTransaction(entry, false, true, true));
            }
            twCloseTwentyTwentyFive(b);
            if (client)
                ASSERT_OK(b.deleteClient(book.client, true));
            else
                ASSERT_OK(b.deleteProject(book.project, true));
            EXPECT_TRUE(b.invoices().isEmpty());
            EXPECT_FALSE(b.taskWithIdentifier(task->identifier()));
        }
    }
}

// What a rebook does with a payment kept as an invoice's or a bill's entry
// in a business this build saved.

#include "TWInvoiceTestSupport.h"

#include "store/TWOwing.h"

#include <gtest/gtest.h>

namespace
{

TWTaskPtr addTask(TWInvoiceBook &book, qint64 rate, double quantity)
{
    auto task = TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"),
                                     TWTaskTypeHour, 0.0, quantity, rate, 0.0, {},
                                     book.project->identifier(), book.b().nextTaskIdentifier());
    EXPECT_OK(book.b().addTask(task, false));
    task->setInvoiceQuantity(quantity);
    return task;
}

QString booked(const TWTransactionPtr &t)
{
    return t ? QStringLiteral("%1 %2 %3 %4")
                   .arg(t->date().date().toString(Qt::ISODate))
                   .arg(t->account1Identifier())
                   .arg(t->account2Identifier())
                   .arg(t->total())
             : QStringLiteral("gone");
}

} // namespace

// A business saved with a payment or a write-off kept as the entry: the
// mark disagrees with what the transaction books, so it is no entry; a
// rebook never writes over it but books a new entry beside it, and a date
// change leaves it on its day.
TEST(KeptEntries, APaymentKeptAsTheEntryIsNeverRebooked)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWTaskPtr task = addTask(book, 7000, 10.0);
    const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    const TWBillPtr bill = book.addBill(QStringLiteral("Rent"));
    const TWTransactionPtr writeOff =
        book.addEntry(invoice, twLocal(2024, 6, 20), kAdvertising, kReceivable, 25000);
    const TWTransactionPtr payment =
        book.addEntry(bill, twLocal(2024, 6, 5), kPayable, kBank, 7000);
    for (const TWTransactionPtr &t : {writeOff, payment}) {
        const TWRelationshipPtr link = b.relationshipsWithTransaction(*t).first()->copy();
        link->setValue(TWDocumentLinkEntry);
        ASSERT_OK(b.updateRelationship(link, false));
    }
    const QString writeOffBooked = booked(writeOff);
    const QString paymentBooked = booked(payment);
    const auto identifier = [](const TWTransactionPtr &t) { return t ? t->identifier() : 0; };
    // A mark on what lowers what is owed says nothing: neither is an entry.
    EXPECT_EQ(identifier(b.invoiceEntry(*invoice)), 0);
    EXPECT_EQ(identifier(b.billCharge(*bill)), 0);

    const TWBillPtr moved = bill->copy();
    moved->setDate(twLocal(2024, 6, 2));
    ASSERT_OK(b.updateBill(moved, false));
    const TWTaskPtr raised = b.taskWithIdentifier(task->identifier());
    raised->setRate(7500);
    ASSERT_OK(b.updateTask(raised, true));
    // The bill sheet's save makes a charge where it finds none to keep.
    if (!b.rebookableBillCharge(*bill)) {
        ASSERT_OK(b.createBillCharge(bill, b.accountWithIdentifier(kPayable),
                                     b.accountWithIdentifier(kAdvertising)));
    }

    EXPECT_EQ(booked(b.transactionWithIdentifier(writeOff->identifier())), writeOffBooked);
    EXPECT_EQ(booked(b.transactionWithIdentifier(payment->identifier())), paymentBooked);
    const TWTransactionPtr entry = b.invoiceEntry(*invoice);
    ASSERT_TRUE(entry);
    EXPECT_NE(entry->identifier(), writeOff->identifier());
    EXPECT_EQ(entry->total(), 75000);
    twUpdateTransactions(*invoice, b);
    EXPECT_EQ(twOwe(*invoice, b), 50000);
    EXPECT_NE(identifier(b.billCharge(*bill)), 0);
    EXPECT_NE(identifier(b.billCharge(*bill)), payment->identifier());
}

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

// A credit note whose lines an edit turns above 0 keeps the entry its own
// save booked: the save books that entry again for what the lines bill now,
// makes no second one and leaves nothing linked as a payment, whether the
// editor ticks a line or the task sheet retypes the rate.
TEST(KeptEntries, AnEntryStaysItsDocumentsThroughAnEditThatTurnsItsSign)
{
    TWFixedClock clock(2024, 6, 15);
    for (const bool taskSheet : {false, true}) {
        SCOPED_TRACE(taskSheet ? "task sheet" : "editor");
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const TWTaskPtr refund = addTask(book, -20000, 1.0);
        const TWInvoicePtr note = book.addInvoice(QStringLiteral("Credit"));
        ASSERT_OK(b.updateInvoiceItems(note, {refund}, {}));
        ASSERT_OK(b.updateInvoiceTransaction(note, book.account(kReceivable), book.account(kSales),
                                             nullptr));
        const TWTransactionPtr entry = b.invoiceEntry(*note);
        ASSERT_TRUE(entry);
        ASSERT_EQ(entry->total(), -20000);

        if (taskSheet) {
            const TWTaskPtr edit = b.taskWithIdentifier(refund->identifier())->copy();
            edit->setRate(10000);
            ASSERT_OK(b.updateTask(edit, true));
        } else {
            const TWTaskPtr design = addTask(book, 30000, 1.0);
            const TWBusiness::BilledBeforeEdit before(b, {note});
            ASSERT_OK(b.updateInvoiceItems(note, {refund, design}, {}));
            ASSERT_OK(b.updateInvoiceTransaction(note, book.account(kReceivable),
                                                 book.account(kSales), nullptr));
        }
        const TWTransactionList linked = b.transactionsWithInvoice(*note);
        ASSERT_EQ(linked.size(), 1);
        EXPECT_EQ(linked.first()->identifier(), entry->identifier());
        ASSERT_TRUE(b.invoiceEntry(*note));
        EXPECT_EQ(b.invoiceEntry(*note)->identifier(), entry->identifier());
        EXPECT_EQ(b.transactionWithIdentifier(entry->identifier())->total(), 10000);
        twUpdateTransactions(*note, b);
        EXPECT_EQ(twOwe(*note, b), 10000);
    }
}

// A bill credit's credit the user moved to a liability stays its entry
// beside a fee charged on it, whatever the fee's day; moving the bill
// credit's date moves the credit alone.
TEST(KeptEntries, ABillCreditsMovedCreditStaysItsEntryBesideAFee)
{
    TWFixedClock clock(2024, 6, 15);
    for (const int feeDay : {-1, 0, 2}) {
        SCOPED_TRACE(feeDay);
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        auto credits = TWAccount::accountWithIdentifier(
            b.nextAccountIdentifier(), QStringLiteral("Supplier credits"), 0, 0,
            TWAccountTypeCurrentLiability, QString(), QImage(), b.homeUnit(), QString());
        ASSERT_OK(b.addAccount(credits, false));
        const TWBillPtr credit = book.addBill(QStringLiteral("Returned stock"));
        TWTransactionPtr charge;
        ASSERT_OK(b.createBillCharge(credit, book.account(kPayable), book.account(kAdvertising),
                                     &charge));
        ASSERT_TRUE(charge);
        const TWTransactionPtr moved = charge->copy();
        moved->setTotal(30000);
        moved->setAccount1Identifier(kPayable);
        moved->setAccount2Identifier(credits->identifier());
        twUpdateTotals(*moved, TWTotalTypeTotal, TWTotalTypeAll, b);
        ASSERT_OK(b.updateTransaction(moved, false, false, true, false));
        const QDateTime feeDate = credit->date().addDays(feeDay);
        const TWTransactionPtr fee = book.addEntry(credit, feeDate, kAdvertising, kPayable, 2000);
        const TWRelationshipPtr link = b.relationshipsWithTransaction(*fee).first()->copy();
        link->setValue(TWDocumentLinkOther);
        ASSERT_OK(b.updateRelationship(link, false));

        ASSERT_TRUE(b.billCharge(*credit));
        EXPECT_EQ(b.billCharge(*credit)->identifier(), moved->identifier());
        const TWBillPtr later = credit->copy();
        later->setDate(credit->date().addDays(3));
        ASSERT_OK(b.updateBill(later, false));
        EXPECT_EQ(b.transactionWithIdentifier(moved->identifier())->date().date(),
                  later->date().date());
        EXPECT_EQ(b.transactionWithIdentifier(fee->identifier())->date().date(), feeDate.date());
        ASSERT_TRUE(b.billCharge(*later));
        EXPECT_EQ(b.billCharge(*later)->identifier(), moved->identifier());
    }
}

// Which of a document's linked transactions is its entry and how a rebook
// treats the others: a credit applied in one transaction settles both
// documents, lines moved on a taxed entry stay where they are, a duplicate's
// copy is its entry whatever it books, an entry made again after a discount,
// a late fee or a payment is the one booking what the lines bill.

#include "TWInvoiceTestSupport.h"

#include "model/TWSplit.h"
#include "store/TWOwing.h"
#include "store/TWPaymentCopy.h"

#include <QSet>

#include <gtest/gtest.h>

namespace
{

TWTaskPtr addTask(TWInvoiceBook &book, qint64 rate, double taxRate = 0.0)
{
    auto task = TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"),
                                     TWTaskTypeFlat, 0.0, 1.0, rate, taxRate, {},
                                     book.project->identifier(), book.b().nextTaskIdentifier());
    EXPECT_OK(book.b().addTask(task, false));
    task->setInvoiceQuantity(1.0);
    return task;
}

// An invoice billing one task, its entry booked as the editor books it.
TWInvoicePtr billedInvoice(TWInvoiceBook &book, const QString &name, qint64 rate,
                           double taxRate = 0.0)
{
    TWBusiness &b = book.b();
    const TWTaskPtr task = addTask(book, rate, taxRate);
    const TWInvoicePtr invoice = book.addInvoice(name);
    EXPECT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    EXPECT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         taxRate != 0.0 ? book.account(kSalesTax) : nullptr));
    return invoice;
}

qint32 newAccount(TWBusiness &b, const QString &name, TWAccountType type)
{
    auto made = TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), name, 0, 0, type,
                                                 QString(), QImage(), b.homeUnit(), QString());
    EXPECT_OK(b.addAccount(made, false));
    return made->identifier();
}

void mark(TWBusiness &b, const TWTransactionPtr &t, TWDocumentLinkRole role)
{
    for (const TWRelationshipPtr &link : b.relationshipsWithTransaction(*t)) {
        const TWRelationshipPtr edit = link->copy();
        edit->setValue(role);
        ASSERT_OK(b.updateRelationship(edit, false));
    }
}

QString booked(TWBusiness &b, qint32 identifier)
{
    const TWTransactionPtr t = b.transactionWithIdentifier(identifier);
    if (!t)
        return QStringLiteral("gone");
    QString text = t->date().date().toString(Qt::ISODate);
    if (!t->hasSplit())
        return text + QStringLiteral(" %1 %2 %3")
                          .arg(t->account1Identifier())
                          .arg(t->account2Identifier())
                          .arg(t->total());
    for (const TWSplitPtr &split : t->splits())
        text += QStringLiteral(" %1:%2").arg(split->accountIdentifier()).arg(split->total());
    return text;
}

qint32 identifierOf(const TWTransactionPtr &t)
{
    return t ? t->identifier() : 0;
}

} // namespace

// A credit note applied to an invoice in one split transaction settles part
// of both: after the project's unit changes, a save that bills the same
// leaves both entries in the unit and amount they were booked in.
TEST(LinkedDocuments, ACreditAppliedInOneTransactionKeepsBothEntriesAtAUnitChange)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWInvoicePtr invoice = billedInvoice(book, QStringLiteral("June"), 100000);
    const TWInvoicePtr credit = billedInvoice(book, QStringLiteral("Credit"), -20000);
    TWTransactionPtr applied = twNewTransaction(b);
    applied->setDate(twLocal(2024, 6, 5));
    const qint32 first = b.nextSplitIdentifier();
    applied->setUnit(b.homeUnit());
    applied->setHasSplit(true);
    applied->setSplits({TWSplit::splitWithIdentifier(first, QString(), kReceivable, -20000, 0, 0, 0,
                                                     0, b.homeUnit()),
                        TWSplit::splitWithIdentifier(first + 1, QString(), kReceivable, 20000, 0, 0,
                                                     0, 0, b.homeUnit())});
    twUpdateSplitTotals(*applied, b);
    applied->setTotal(20000);
    twUpdateTotals(*applied, TWTotalTypeTotal, TWTotalTypeAll, b);
    ASSERT_OK(b.addTransaction(applied, false, false, false, false));
    qint32 split = first;
    for (const TWInvoicePtr &document : {invoice, credit})
        ASSERT_OK(b.addRelationship(
            TWRelationship::relationshipWithType(TWRelationshipTypeInvoicePayment,
                                                 TWDocumentLinkOther, book.project->identifier(),
                                                 document->identifier(), applied->identifier(),
                                                 split++, b.nextRelationshipIdentifier()),
            false));

    const TWProjectPtr edit = b.projectWithIdentifier(book.project->identifier())->copy();
    edit->setUnit(b.unitWithCode(QStringLiteral("EUR")));
    ASSERT_OK(b.updateProject(edit, false));
    for (const TWInvoicePtr &document : {invoice, credit}) {
        SCOPED_TRACE(document->name().toStdString());
        const TWBusiness::InvoiceBilling billing = b.invoiceBilling(*document);
        EXPECT_FALSE(b.invoiceEntryAstray(*document));
        EXPECT_FALSE(b.invoiceSaveRebooks(*document, &billing));
    }
}

// A taxed entry whose income line the user moved to another income account,
// or whose tax line to another tax account: a rebook books each line where
// it is.
TEST(LinkedDocuments, MovedLinesOfATaxedEntryStayAtARebook)
{
    TWFixedClock clock(2024, 6, 15);
    for (const bool incomeMoved : {true, false}) {
        SCOPED_TRACE(incomeMoved ? "income moved" : "tax moved");
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const qint32 to = incomeMoved
                              ? newAccount(b, QStringLiteral("Consulting"), TWAccountTypeIncome)
                              : newAccount(b, QStringLiteral("State tax"), TWAccountTypeTax);
        const TWInvoicePtr invoice = billedInvoice(book, QStringLiteral("June"), 50000, 10.0);
        const TWTransactionPtr entry = b.invoiceEntry(*invoice);
        ASSERT_TRUE(entry && entry->hasSplit());
        TWTransactionPtr moved = entry->copy();
        for (const TWSplitPtr &line : moved->splits())
            if (line->accountIdentifier() == (incomeMoved ? kSales : kSalesTax))
                line->setAccountIdentifier(to);
        ASSERT_OK(b.updateTransaction(moved, false, false, true, false));

        const TWBusiness::InvoiceEntryLines lines = b.invoiceEntryLines(*invoice);
        EXPECT_EQ(lines.income ? lines.income->identifier() : 0, incomeMoved ? to : kSales);
        EXPECT_EQ(lines.tax ? lines.tax->identifier() : 0, incomeMoved ? kSalesTax : to);

        // The task sheet raises the rate: the entry is booked again, each
        // line where it was.
        const TWTaskPtr task = b.tasksWithInvoice(*invoice).first()->copy();
        task->setRate(60000);
        ASSERT_OK(b.updateTask(task, false));
        const TWTransactionPtr rebooked = b.invoiceEntry(*invoice);
        ASSERT_TRUE(rebooked);
        QSet<qint32> accounts;
        for (const TWSplitPtr &line : rebooked->splits())
            accounts.insert(line->accountIdentifier());
        EXPECT_EQ(accounts, QSet<qint32>({kReceivable, incomeMoved ? to : kSales,
                                          incomeMoved ? kSalesTax : to}));
        EXPECT_EQ(rebooked->total(), 66000);
    }
}

// Duplicate marks the copy of a credit note's entry as the copy's entry,
// also where the user moved it off income: it is the copy's entry, booked
// by the copy's own lines at its first save.
TEST(LinkedDocuments, ADuplicatesCopyOfAMovedCreditIsItsEntry)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWInvoicePtr credit = billedInvoice(book, QStringLiteral("Credit"), -20000);
    TWTransactionPtr moved = b.invoiceEntry(*credit)->copy();
    moved->setAccount2Identifier(kAdvertising);
    ASSERT_OK(b.updateTransaction(moved, false, false, true, false));
    const TWInvoicePtr copy = book.addInvoice(QStringLiteral("Credit copy"));
    bool stored = false, beforePeriod = false;
    ASSERT_OK(twCopyLinkedPayment(
        b, *b.transactionWithIdentifier(moved->identifier()), TWRelationshipTypeInvoicePayment,
        copy->projectIdentifier(), copy->identifier(), [] { return TWError(); }, stored,
        beforePeriod));
    const TWTransactionList linked = b.transactionsWithInvoice(*copy);
    ASSERT_EQ(linked.size(), 1);
    EXPECT_EQ(identifierOf(b.invoiceEntry(*copy)), linked.first()->identifier());
    EXPECT_TRUE(b.invoiceEntryAstray(*copy));

    // Its first save books the copy's lines, none: 0.00, and nothing else
    // stays linked.
    ASSERT_OK(
        b.updateInvoiceTransaction(copy, book.account(kReceivable), book.account(kSales), nullptr));
    const TWTransactionList after = b.transactionsWithInvoice(*copy);
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after.first()->identifier(), linked.first()->identifier());
    EXPECT_EQ(b.transactionWithIdentifier(after.first()->identifier())->total(), 0);
}

// An invoice's entry deleted and made again after a discount, a late fee or
// a payment was linked, as an earlier build left it (links unmarked, or the
// first lowering one marked by that build's opening): the entry is the one
// booking what the lines bill; the rest are never rewritten, moved with the
// invoice's date or taken for the entry.
TEST(LinkedDocuments, AnEntryMadeAgainIsTheOneBookingWhatTheLinesBill)
{
    struct Row {
        const char *shape;
        qint32 account1, account2;
        qint64 amount;
        bool markFirstLowering;
    };
    const QList<Row> rows = {
        {"discount, unmarked", kSales, kReceivable, 5000, false},
        {"late fee, unmarked", kReceivable, kSales, 5000, false},
        {"discount, marked", kSales, kReceivable, 5000, true},
        {"late fee, payment marked", kReceivable, kSales, 5000, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.shape);
        TWFixedClock clock(2024, 6, 15);
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const TWTaskPtr task = addTask(book, 50000);
        const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
        ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
        const TWTransactionPtr other =
            book.addEntry(invoice, twLocal(2024, 6, 3), row.account1, row.account2, row.amount);
        const TWTransactionPtr payment =
            book.addEntry(invoice, twLocal(2024, 6, 4), kBank, kReceivable, 20000);
        const TWTransactionPtr entry =
            book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, 50000);
        if (row.markFirstLowering) {
            const TWTransactionPtr first = row.account1 == kSales ? other : payment;
            for (const TWTransactionPtr &t : {other, payment, entry})
                mark(b, t, t == first ? TWDocumentLinkEntry : TWDocumentLinkOther);
        }
        EXPECT_EQ(identifierOf(b.invoiceEntry(*invoice)), entry->identifier());
        twUpdateTransactions(*invoice, b);
        const qint64 fee = row.account1 == kSales ? -5000 : 5000;
        EXPECT_EQ(twOwe(*invoice, b), 50000 + fee - 20000);

        // A rate raised and the date moved: the entry follows, the rest stay.
        const QString otherBooked = booked(b, other->identifier());
        const QString paymentBooked = booked(b, payment->identifier());
        const TWTaskPtr raised = task->copy();
        raised->setRate(60000);
        ASSERT_OK(b.updateTask(raised, false));
        const TWInvoicePtr later = b.invoiceWithIdentifier(invoice->identifier())->copy();
        later->setDate(twLocal(2024, 6, 2));
        ASSERT_OK(b.updateInvoice(later, false));
        EXPECT_EQ(booked(b, other->identifier()), otherBooked);
        EXPECT_EQ(booked(b, payment->identifier()), paymentBooked);
        EXPECT_EQ(identifierOf(b.invoiceEntry(*invoice)), entry->identifier());
        EXPECT_EQ(b.transactionWithIdentifier(entry->identifier())->total(), 60000);
    }
}

// A bill paid from a loan, by the owner or from a liability before its
// charge was made again, the payment marked as its charge by an earlier
// build's opening: the charge is the bill's, the payment stays a payment
// when the bill's date moves.
TEST(LinkedDocuments, ABillsPaymentMarkedAsItsChargeStaysAPayment)
{
    TWFixedClock clock(2024, 6, 15);
    for (const TWAccountType from :
         {TWAccountTypeLongTermLiability, TWAccountTypeEquity, TWAccountTypeCurrentLiability}) {
        SCOPED_TRACE(int(from));
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const qint32 source = newAccount(b, QStringLiteral("From"), from);
        const TWBillPtr bill = book.addBill(QStringLiteral("Paper"));
        const TWTransactionPtr payment =
            book.addEntry(bill, twLocal(2024, 6, 6), kPayable, source, 20000);
        const TWTransactionPtr charge =
            book.addEntry(bill, twLocal(2024, 6, 1), kAdvertising, kPayable, 30000);
        mark(b, payment, TWDocumentLinkEntry);
        mark(b, charge, TWDocumentLinkOther);
        EXPECT_EQ(identifierOf(b.billCharge(*bill)), charge->identifier());

        const QString paymentBooked = booked(b, payment->identifier());
        const TWBillPtr moved = bill->copy();
        moved->setDate(twLocal(2024, 6, 3));
        ASSERT_OK(b.updateBill(moved, false));
        EXPECT_EQ(booked(b, payment->identifier()), paymentBooked);
        twUpdateTransactions(*bill, b);
        EXPECT_EQ(twOwe(*bill, b), 10000);
    }
}

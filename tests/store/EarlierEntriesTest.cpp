// Invoices and bills whose links say nothing of which transaction is the
// document's entry, laid out as the previous build stored them: each row
// names the transaction that build took for the entry.

#include "TWInvoiceTestSupport.h"

#include "store/TWOwing.h"

#include <gtest/gtest.h>

namespace
{

constexpr qint32 kCard = 106;

TWTaskPtr addTask(TWInvoiceBook &book, qint64 rate, double quantity)
{
    auto task = TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"),
                                     TWTaskTypeHour, 0.0, quantity, rate, 0.0, {},
                                     book.project->identifier(), book.b().nextTaskIdentifier());
    EXPECT_OK(book.b().addTask(task, false));
    task->setInvoiceQuantity(quantity);
    return task;
}

TWAccountPtr addAccount(TWBusiness &b, const char *name, TWAccountType type)
{
    const TWAccountPtr account =
        TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), QString::fromLatin1(name), 0, 0,
                                         type, QString(), QImage(), b.homeUnit(), QString());
    EXPECT_OK(b.addAccount(account, false));
    return account;
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

qint64 linkValues(TWBusiness &b)
{
    return twCount(b, QStringLiteral("SELECT COUNT(*) FROM relationships WHERE type IN (0, 3) AND "
                                     "value != 0"));
}

// One document as the previous build left it: its transactions in the order
// they were made (the last made last), each moving `total` from account 2
// into account 1.
struct Made {
    qint32 account1;
    qint32 account2;
    qint64 total;
    int day; // of June 2024
};

enum class Document { Invoice, Bill };

struct Row {
    const char *name;
    Document document;
    QList<Made> made;
    // The index in `made` of the entry the previous build took (-1: none,
    // and its next save made one).
    int previous;
    // The entry this build takes, where it differs from the previous build's.
    int entry;
    qint64 owe; // what the document owes, opened
};

} // namespace

// Opened, a rebook (a task's rate raised, the bill sheet's save) and a date
// change: the entry is the previous build's, the payments, write-offs and
// credits stay as they were booked, and the opening writes nothing.
TEST(EarlierEntries, AreThePreviousBuildsAtOpeningAfterARebookAndADateChange)
{
    constexpr qint32 kUndeposited = -1; // added per business
    constexpr qint32 kPrepaid = -2;
    const Row rows[] = {
        // Paid from the bank, its charge deleted and made again by the sheet.
        {"bill charged after its bank payment",
         Document::Bill,
         {{kPayable, kBank, 7000, 5}, {kAdvertising, kPayable, 7000, 1}},
         1,
         1,
         0},
        {"bill charged after its card payment",
         Document::Bill,
         {{kPayable, kCard, 7000, 5}, {kAdvertising, kPayable, 7000, 1}},
         1,
         1,
         0},
        {"bill whose charge was deleted",
         Document::Bill,
         {{kPayable, kBank, 7000, 5}},
         -1,
         -1,
         -7000},
        // The previous build took no charge here, and its sheet made a
        // second; what raises what is owed is the charge.
        {"bill charged ahead to a prepaid asset",
         Document::Bill,
         {{kPrepaid, kPayable, 120000, 2}, {kPayable, kBank, 10000, 3}},
         -1,
         0,
         110000},
        {"invoice made again after a write-off through an expense",
         Document::Invoice,
         {{kBank, kReceivable, 20000, 10},
          {kAdvertising, kReceivable, 25000, 20},
          {kReceivable, kSales, 70000, 1}},
         2,
         2,
         25000},
        {"invoice made again after a payment into undeposited funds",
         Document::Invoice,
         {{kUndeposited, kReceivable, 30000, 10}, {kReceivable, kSales, 70000, 1}},
         1,
         1,
         40000},
        {"invoice whose entry was deleted after a write-off",
         Document::Invoice,
         {{kAdvertising, kReceivable, 25000, 20}},
         -1,
         -1,
         -25000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TWFixedClock clock(2024, 6, 15);
        TWTestTempDir dir;
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const qint32 undeposited =
            addAccount(b, "Undeposited funds", TWAccountTypeCurrentAsset)->identifier();
        const qint32 prepaid =
            addAccount(b, "Prepaid insurance", TWAccountTypeCurrentAsset)->identifier();
        const auto account = [&](qint32 identifier) {
            return identifier == kUndeposited ? undeposited
                   : identifier == kPrepaid   ? prepaid
                                              : identifier;
        };
        const bool bill = row.document == Document::Bill;
        const TWInvoicePtr invoice = bill ? nullptr : book.addInvoice(QStringLiteral("June"));
        const TWBillPtr charged = bill ? book.addBill(QStringLiteral("Rent")) : nullptr;
        TWTaskPtr task;
        if (invoice) {
            // What the invoice bills: 700.00.
            task = addTask(book, 7000, 10.0);
            ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
        }
        QList<qint32> made;
        for (const Made &m : row.made) {
            const QDateTime day = twLocal(2024, 6, m.day);
            const TWTransactionPtr t = bill ? book.addEntry(charged, day, account(m.account1),
                                                            account(m.account2), m.total)
                                            : book.addEntry(invoice, day, account(m.account1),
                                                            account(m.account2), m.total);
            made.append(t->identifier());
        }
        const QUrl url = twPackageURL(dir, QStringLiteral("Earlier.tallyworth"));
        ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));

        auto opened = twOpenPackage(url);
        ASSERT_TRUE(opened);
        TWBusiness &o = *opened;
        const qint32 expected = row.entry < 0 ? 0 : made.value(row.entry);
        const auto entryNow = [&]() -> qint32 {
            const TWTransactionPtr entry =
                bill ? o.billCharge(*o.billWithIdentifier(charged->identifier()))
                     : o.invoiceEntry(*o.invoiceWithIdentifier(invoice->identifier()));
            return entry ? entry->identifier() : 0;
        };
        const auto owe = [&]() {
            if (bill) {
                const TWBillPtr stored = o.billWithIdentifier(charged->identifier());
                twUpdateTransactions(*stored, o);
                return twOwe(*stored, o);
            }
            const TWInvoicePtr stored = o.invoiceWithIdentifier(invoice->identifier());
            twUpdateTransactions(*stored, o);
            return twOwe(*stored, o);
        };
        // Others than the entry, as booked.
        QMap<qint32, QString> others;
        for (const qint32 identifier : std::as_const(made))
            if (identifier != expected)
                others.insert(identifier, booked(o.transactionWithIdentifier(identifier)));
        const auto othersNow = [&]() {
            QMap<qint32, QString> now;
            for (auto it = others.cbegin(); it != others.cend(); ++it)
                now.insert(it.key(), booked(o.transactionWithIdentifier(it.key())));
            return now;
        };

        // Opened: read by the previous build's rule, nothing written.
        EXPECT_EQ(entryNow(), expected) << "opened";
        EXPECT_EQ(owe(), row.owe) << "opened";
        EXPECT_EQ(linkValues(o), 0) << "opened";

        // A date change moves the entry alone.
        if (bill) {
            const TWBillPtr edit = o.billWithIdentifier(charged->identifier())->copy();
            edit->setDate(twLocal(2024, 6, 4));
            ASSERT_OK(o.updateBill(edit, false));
        } else {
            const TWInvoicePtr edit = o.invoiceWithIdentifier(invoice->identifier())->copy();
            edit->setDate(twLocal(2024, 6, 4));
            ASSERT_OK(o.updateInvoice(edit, false));
        }
        EXPECT_EQ(othersNow(), others) << "date changed";
        if (expected) {
            EXPECT_EQ(o.transactionWithIdentifier(expected)->date().date(), QDate(2024, 6, 4));
        }
        EXPECT_EQ(entryNow(), expected) << "date changed";

        // A rebook: the invoice's task rate raised to 75.00 (750.00 billed);
        // the bill sheet's save makes a charge where it finds none.
        if (bill) {
            const TWBillPtr stored = o.billWithIdentifier(charged->identifier());
            const bool needsCharge = !o.rebookableBillCharge(*stored);
            EXPECT_EQ(needsCharge, expected == 0);
            if (needsCharge) {
                ASSERT_OK(o.createBillCharge(stored, o.accountWithIdentifier(kPayable),
                                             o.accountWithIdentifier(kAdvertising)));
            }
        } else {
            const TWTaskPtr edit = o.taskWithIdentifier(task->identifier());
            edit->setRate(7500);
            ASSERT_OK(o.updateTask(edit, true));
            if (!expected) {
                // Where no entry stands, the editor's Save books one.
                const TWInvoicePtr stored = o.invoiceWithIdentifier(invoice->identifier());
                EXPECT_FALSE(o.rebookableInvoiceEntry(*stored));
                ASSERT_OK(o.updateInvoiceTransaction(stored, o.accountWithIdentifier(kReceivable),
                                                     o.accountWithIdentifier(kSales), nullptr));
            }
            EXPECT_EQ(owe(), row.owe + (expected ? 5000 : 75000)) << "rebooked";
        }
        EXPECT_EQ(othersNow(), others) << "rebooked";
        if (expected) {
            EXPECT_EQ(entryNow(), expected) << "rebooked";
        } else {
            EXPECT_FALSE(others.contains(entryNow())) << "rebooked";
            EXPECT_NE(entryNow(), 0) << "rebooked";
        }
    }
}

// A business this build saved with a payment or a write-off kept as the
// entry reads as it does; a rebook never writes over it but books a new
// entry beside it, and a date change leaves it on its day.
TEST(EarlierEntries, APaymentKeptAsTheEntryIsNeverRebooked)
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
    EXPECT_EQ(identifier(b.invoiceEntry(*invoice)), writeOff->identifier());
    EXPECT_EQ(identifier(b.billCharge(*bill)), payment->identifier());

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

#include "TWInvoiceTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWRepeat.h"
#include "model/TWValue.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <random>

namespace
{

TWTaskPtr addTask(TWInvoiceBook &book, qint64 rate, double quantity, double taxRate)
{
    auto task = TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"),
                                     TWTaskTypeHour, 0.0, quantity, rate, taxRate, {},
                                     book.project->identifier(), book.b().nextTaskIdentifier());
    EXPECT_OK(book.b().addTask(task, false));
    task->setInvoiceQuantity(quantity);
    return task;
}

TWExpensePtr addExpense(TWInvoiceBook &book, qint64 cost, double taxRate)
{
    auto expense = TWExpense::expenseWithDate(twLocal(2024, 5, 2), QStringLiteral("Parts"), 1.0,
                                              cost, taxRate, {}, book.project->identifier(),
                                              book.b().nextExpenseIdentifier());
    EXPECT_OK(book.b().addExpense(expense, false));
    expense->setInvoiceQuantity(1.0);
    return expense;
}

auto fields(const TWInvoice &i)
{
    return std::tuple(i.date(), i.number(), i.name(), i.sent(), i.paid(), i.dueDate(),
                      i.repeatIdentifier(), i.notes(), i.projectIdentifier(), i.identifier());
}

} // namespace

TEST(Invoices, TaxedReceivableEntryBalancesAndBecomesPlainWhenUntaxed)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWTaskPtr task = addTask(book, 500, 1.0, 8.0);
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         book.account(kSalesTax)));

    const TWTransactionList views = b.transactionsWithInvoice(*invoice);
    ASSERT_EQ(views.size(), 1);
    const TWTransactionPtr entry = b.transactionWithIdentifier(views.first()->identifier());
    ASSERT_TRUE(entry->hasSplit());
    QList<std::pair<qint32, qint64>> lines;
    qint64 home = 0;
    for (const TWSplitPtr &split : entry->splits()) {
        lines.append({split->accountIdentifier(), split->total()});
        home += split->totalBusiness();
    }
    EXPECT_EQ(lines, (QList<std::pair<qint32, qint64>>{
                         {kReceivable, 540}, {kSalesTax, -40}, {kSales, -500}}));
    EXPECT_EQ(home, 0);
    // Its total is its size, as every split transaction's: what the
    // receivable line debits.
    EXPECT_EQ(std::pair(entry->total(), entry->totalBusiness()),
              std::pair(qint64(540), qint64(540)));
    twUpdateTransactions(*invoice, b);
    EXPECT_EQ(twOwe(*invoice, b), 540);

    // Saved again without tax: the same entry, no longer split.
    task->setTaxRate(0.0);
    ASSERT_OK(b.updateTask(task, false));
    ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         nullptr));
    EXPECT_FALSE(entry->hasSplit());
    EXPECT_EQ(std::tuple(entry->account1Identifier(), entry->account2Identifier(), entry->total()),
              std::tuple(kReceivable, kSales, qint64(500)));
    EXPECT_EQ(twCount(b, QStringLiteral("SELECT COUNT(*) FROM splits WHERE "
                                        "transactionIdentifier=%1")
                             .arg(entry->identifier())),
              0);
    EXPECT_EQ(b.transactionTotalWithAccount(*book.account(kReceivable)), 500);

    // A closed entry does not change: booked as it is, it is left alone; a
    // change is refused, saying why. A taxed invoice needs a tax account.
    entry->setState(TWTransactionStateClosed);
    ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         nullptr));
    task->setQuantity(3.0);
    task->setInvoiceQuantity(3.0);
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    const TWErrorResult closed = b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                                            book.account(kSales), nullptr);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->localizedDescription(), TWLocalized("closedEntryChangeMessage"));
    EXPECT_EQ(entry->total(), 500);
    task->setTaxRate(5.0);
    EXPECT_TRUE(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                           nullptr));
}

// A taxed invoice's entry an earlier build stored with a total of 0 (so that
// a filter on the total never found it) is read with its size from the open
// on; the open stores nothing, and its next write stores it. A split
// transaction that is no invoice's entry keeps the total it was stored with,
// 0 included.
TEST(Invoices, ASplitTotalStoredAgainstItsLinesIsReadAsTheySay)
{
    TWFixedClock clock(2024, 6, 15);
    const struct {
        const char *name;
        qint64 stored; // total and home total in the row
        qint64 read;
    } rows[] = {
        {"taxed entry stored with 0", 0, 107000},
        {"stored with its size", 107000, 107000},
        {"stored as a credit of its size", -107000, -107000},
        // A total that is not 0 is kept: an imported row's is its bank
        // amount, a register's split keeps the amount it was split from.
        {"stored with another size", 50000, 50000},
        {"a credit stored with another size", -50000, -50000},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TWTestTempDir dir;
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
        ASSERT_OK(b.updateInvoiceItems(invoice, {addTask(book, 100000, 1.0, 7.0)}, {}));
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), book.account(kSalesTax)));
        const qint32 identifier = b.invoiceEntry(*invoice)->identifier();
        twExec(b, QStringLiteral("UPDATE transactions SET total=%1, totalBusiness=%1 WHERE "
                                 "identifier=%2;")
                      .arg(row.stored)
                      .arg(identifier));
        // The same lines in a transaction of the register, linked to nothing.
        const qint32 loose = identifier + 1000;
        twExec(b, QStringLiteral("CREATE TEMP TABLE t AS SELECT * FROM transactions WHERE "
                                 "identifier=%1; UPDATE t SET identifier=%2; INSERT INTO "
                                 "transactions SELECT * FROM t; DROP TABLE t; CREATE TEMP TABLE "
                                 "s AS SELECT * FROM splits WHERE transactionIdentifier=%1; UPDATE "
                                 "s SET identifier=identifier+1000, transactionIdentifier=%2; "
                                 "INSERT INTO splits SELECT * FROM s; DROP TABLE s;")
                      .arg(identifier)
                      .arg(loose));
        const QUrl url = twPackageURL(dir, QStringLiteral("Firm.tallyworth"));
        ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));

        auto reopened = twOpenPackage(url);
        ASSERT_TRUE(reopened);
        const TWTransactionPtr entry = reopened->transactionWithIdentifier(identifier);
        ASSERT_TRUE(entry);
        EXPECT_EQ(std::pair(entry->total(), entry->totalBusiness()), std::pair(row.read, row.read));
        const TWTransactionPtr register_ = reopened->transactionWithIdentifier(loose);
        ASSERT_TRUE(register_);
        ASSERT_EQ(register_->splits().size(), 3);
        EXPECT_EQ(register_->total(), row.stored);
        const QString stored =
            QStringLiteral("SELECT total FROM transactions WHERE identifier=%1").arg(identifier);
        EXPECT_EQ(twCount(*reopened, stored), row.stored);
        ASSERT_OK(reopened->updateTransaction(entry, false, false, false, false));
        EXPECT_EQ(twCount(*reopened, stored), row.read);
    }
}

TEST(Invoices, DeletesTakeSharedPaymentsWholeAndFollowTheProject)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWInvoicePtr first = book.addInvoice(QStringLiteral("A"));
    TWInvoicePtr second = book.addInvoice(QStringLiteral("B"));
    TWTaskPtr task = addTask(book, 500, 1.0, 0.0);
    ASSERT_OK(b.updateInvoiceItems(first, {task}, {}));
    TWTransactionPtr entry;
    ASSERT_OK(
        b.createInvoiceTransaction({first}, book.account(kReceivable), nullptr, &entry, true));
    TWTransactionPtr shared;
    ASSERT_OK(b.createInvoiceTransaction({first, second}, book.account(kReceivable), nullptr,
                                         &shared, true));
    const qint32 entryIdentifier = entry->identifier();
    const qint32 sharedIdentifier = shared->identifier();

    TWNotificationRecorder recorder(&b);
    // The payment shared with the second invoice goes whole, with its links:
    // no line of it stays on the receivable account for an invoice that is gone.
    ASSERT_OK(b.deleteInvoice(first, true));
    EXPECT_FALSE(b.transactionWithIdentifier(entryIdentifier));
    EXPECT_FALSE(b.transactionWithIdentifier(sharedIdentifier));
    EXPECT_TRUE(b.transactionsWithInvoice(*second).isEmpty());
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships"), 0);
    EXPECT_EQ(recorder.names(), QStringList({"transactionDelete", "invoiceDelete"}));

    // The project takes its last invoice along, with the payment and its link.
    ASSERT_OK(b.deleteProject(book.project, true));
    EXPECT_TRUE(b.transactions().isEmpty());
    for (const char *table : {"invoices", "transactions", "splits", "relationships"})
        EXPECT_EQ(twCount(b, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), 0) << table;
    EXPECT_EQ(b.transactionTotalWithAccount(*book.account(kReceivable)), 0);
}

TEST(Invoices, AFailingLinkLeavesNoTransactionAndKeepsTheOldLines)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
    TWTaskPtr task = addTask(book, 500, 1.0, 0.0);
    TWExpensePtr expense = addExpense(book, 100, 0.0);
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));

    twExec(b, "CREATE TRIGGER refuse BEFORE INSERT ON relationships WHEN NEW.type=2 "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_TRUE(b.updateInvoiceItems(invoice, {}, {expense}));
    EXPECT_EQ(b.tasksWithInvoice(*invoice).size(), 1);
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships WHERE type=1"), 1);
    twExec(b, "DROP TRIGGER refuse;");

    twExec(b, "CREATE TRIGGER refuse BEFORE INSERT ON relationships "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    TWNotificationRecorder recorder(&b);
    TWTransactionPtr built;
    EXPECT_TRUE(
        b.createInvoiceTransaction({invoice}, book.account(kReceivable), nullptr, &built, true));
    EXPECT_TRUE(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                           nullptr));
    EXPECT_TRUE(b.transactions().isEmpty());
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships WHERE type=0"), 0);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Invoices, InvoicesAndBillsSurviveASaveAndReopen)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir dir;
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWTaskPtr task = addTask(book, 500, 2.0, 0.0);
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"), twLocal(2024, 7, 1));
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    TWBillPtr bill = book.addBill(QStringLiteral("Paper"));
    book.addEntry(bill, twLocal(2024, 6, 2), kAdvertising, kPayable, 120);

    const QUrl url = twPackageURL(dir, QStringLiteral("Firm.tallyworth"));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));
    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->invoices().size(), 1);
    EXPECT_EQ(fields(*reopened->invoices().first()), fields(*invoice));
    EXPECT_EQ(twInvoiceTotal(*reopened->invoices().first(), *reopened), 1000);
    ASSERT_EQ(reopened->bills().size(), 1);
    EXPECT_EQ(reopened->transactionHomeOwingWithMerchants(reopened->merchants()), 120);
}

TEST(Invoices, TaxedEntryInAForeignUnitBalancesInTheHomeUnit)
{
    // Each line converted and rounded alone would leave a cent over in many
    // of these: the entry could never be saved again from the register.
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWUnitPtr eur = b.unitWithCode(QStringLiteral("EUR"));
    ASSERT_TRUE(eur);
    book.project->setUnit(eur);
    ASSERT_OK(b.updateProject(book.project, false));
    TWTaskPtr task = addTask(book, 500, 1.0, 8.0);
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));

    std::mt19937 random(7);
    int unbalancedAlone = 0;
    for (int round = 0; round < 60; ++round) {
        eur->setRate(double(std::uniform_int_distribution<int>(5000, 20000)(random)) / 10000.0);
        task->setRate(std::uniform_int_distribution<qint64>(101, 999999)(random));
        task->setTaxRate(double(std::uniform_int_distribution<int>(1, 250)(random)) / 10.0);
        ASSERT_OK(b.updateTask(task, false));
        ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), book.account(kSalesTax)));
        const TWTransactionList views = b.transactionsWithInvoice(*invoice);
        ASSERT_EQ(views.size(), 1);
        const TWTransactionPtr entry = b.transactionWithIdentifier(views.first()->identifier());
        ASSERT_TRUE(entry->hasSplit());
        qint64 home = 0;
        qint64 alone = 0;
        for (const TWSplitPtr &split : entry->splits()) {
            home += split->totalBusiness();
            alone += b.totalInHomeCurrency(split->total(), split->unit());
        }
        EXPECT_EQ(home, 0) << "round " << round;
        unbalancedAlone += alone != 0;
    }
    EXPECT_GT(unbalancedAlone, 5);
}

// The receivable entry books on the invoice's own day, whatever day was used
// last, follows the invoice when its date changes (also past a payment), and
// never lands in a closed period.
// A transaction linked to an invoice beside its entry that books against
// money is money received or given back whatever its sign: cash refunded
// after paying over, a payment split over two invoices bounced as one line
// each, a credit note paid back. A bill reads as it always has: a refund
// from the merchant charges it again.
TEST(Invoices, WhatALinkedTransactionBooksAgainstTellsAChargeFromAPayment)
{
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWAccountPtr till = TWAccount::accountWithIdentifier(
        b.nextAccountIdentifier(), QStringLiteral("Till"), 0, 0, TWAccountTypeCash, QString(),
        QImage(), b.homeUnit(), QString());
    ASSERT_OK(b.addAccount(till, false));
    const qint32 cash = till->identifier();
    const TWInvoicePtr other = book.addInvoice(QStringLiteral("Other"));
    // Lines of a split transaction, each receivable line linked to the
    // invoice in turn, then to the other invoice.
    using Lines = QList<std::pair<qint32, qint64>>;
    const auto addSplit = [&](const TWInvoicePtr &invoice, int day, const Lines &lines) {
        TWTransactionPtr t = twNewTransaction(b);
        t->setDate(twLocal(2024, 6, day));
        t->setUnit(b.homeUnit());
        t->setHasSplit(true);
        TWSplitList splits;
        for (const auto &[account, amount] : lines)
            splits.append(TWSplit::splitWithIdentifier(0, QString(), account, amount, amount,
                                                       amount, 0, 0, b.homeUnit()));
        t->setSplits(splits);
        EXPECT_OK(b.addTransaction(t, false, false, false, false));
        TWInvoicePtr to = invoice;
        for (const TWSplitPtr &line : t->splits()) {
            if (line->accountIdentifier() != kReceivable)
                continue;
            EXPECT_OK(b.addRelationship(
                TWRelationship::relationshipWithType(TWRelationshipTypeInvoicePayment, 0.0,
                                                     to->projectIdentifier(), to->identifier(),
                                                     t->identifier(), line->identifier(),
                                                     b.nextRelationshipIdentifier()),
                false));
            to = other;
        }
    };
    const struct {
        const char *name;
        qint64 charged; // the entry
        std::function<void(const TWInvoicePtr &)> later;
        qint64 total, payments, owed;
    } rows[] = {
        {"paid over in cash, the rest refunded", 100000,
         [&](const TWInvoicePtr &invoice) {
             book.addEntry(invoice, twLocal(2024, 6, 10), cash, kReceivable, 120000);
             book.addEntry(invoice, twLocal(2024, 6, 20), kReceivable, cash, 20000);
         },
         100000, 100000, 0},
        {"paid with the other invoice, bounced as one", 100000,
         [&](const TWInvoicePtr &invoice) {
             addSplit(invoice, 10, {{kBank, 60000}, {kReceivable, -40000}, {kReceivable, -20000}});
             addSplit(invoice, 20, {{kReceivable, 40000}, {kReceivable, 20000}, {kBank, -60000}});
         },
         100000, 0, 100000},
        {"credit note paid back", -10000,
         [&](const TWInvoicePtr &invoice) {
             book.addEntry(invoice, twLocal(2024, 6, 10), kReceivable, kBank, 10000);
         },
         -10000, -10000, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const TWInvoicePtr invoice = book.addInvoice(QString::fromLatin1(row.name));
        book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, row.charged);
        row.later(invoice);
        twUpdateTransactions(*invoice, b);
        EXPECT_EQ(std::tuple(twTotal(*invoice, b), twPayments(*invoice, b), twOwe(*invoice, b)),
                  std::tuple(row.total, row.payments, row.owed));
    }
    const TWBillPtr bill = book.addBill(QStringLiteral("Paper"));
    book.addEntry(bill, twLocal(2024, 6, 1), kAdvertising, kPayable, 30000);
    book.addEntry(bill, twLocal(2024, 6, 10), kPayable, kBank, 30000);
    book.addEntry(bill, twLocal(2024, 6, 20), kBank, kPayable, 5000);
    twUpdateTransactions(*bill, b);
    EXPECT_EQ(std::tuple(twTotal(*bill, b), twOwe(*bill, b)), std::tuple(35000, 5000));
}

TEST(Invoices, TheEntryBooksOnTheInvoiceDayAndFollowsIt)
{
    TWFixedClock clock(2026, 12, 8);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    // A sale of 2025, closed, and a day of that year used last.
    book.addEntry(book.addInvoice(QStringLiteral("Old")), twLocal(2025, 2, 15), kReceivable, kSales,
                  10000);
    twCloseTwentyTwentyFive(b);
    const QStringList closedTransfers = twTransferRows(b);
    ASSERT_EQ(closedTransfers.size(), 1);
    b.setLastDate(twLocal(2025, 2, 15));

    TWTaskPtr task = addTask(book, 9500, 37.0, 0.0);
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("November"));
    invoice->setDate(twLocal(2026, 11, 1));
    ASSERT_OK(b.updateInvoice(invoice, false));
    // As the editor saves a new invoice.
    ASSERT_OK(
        b.createInvoiceTransaction({invoice}, book.account(kReceivable), nullptr, nullptr, true));
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         nullptr));
    const TWTransactionList views = b.transactionsWithInvoice(*invoice);
    ASSERT_EQ(views.size(), 1);
    const TWTransactionPtr entry = b.transactionWithIdentifier(views.first()->identifier());
    EXPECT_EQ(entry->date().date(), QDate(2026, 11, 1));
    EXPECT_EQ(entry->total(), 351500);
    EXPECT_EQ(twTransferRows(b), closedTransfers);

    // Moved past a payment: the entry follows, the payment stays as it is.
    const TWTransactionPtr payment =
        book.addEntry(invoice, twLocal(2026, 11, 20), kBank, kReceivable, 100000);
    for (int save = 0; save < 2; ++save) {
        invoice->setDate(twLocal(2026, 11, 25));
        ASSERT_OK(b.updateInvoice(invoice, false));
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), nullptr));
    }
    EXPECT_EQ(entry->date().date(), QDate(2026, 11, 25));
    EXPECT_EQ(entry->total(), 351500);
    EXPECT_EQ(std::tuple(payment->date().date(), payment->account1Identifier(), payment->total()),
              std::tuple(QDate(2026, 11, 20), kBank, qint64(100000)));

    // Into the closed year: refused, saying why; nothing changes. Booking the
    // lines again keeps the entry on its own day.
    invoice->setDate(twLocal(2025, 6, 1));
    const TWErrorResult refused = b.updateInvoice(invoice, false);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->localizedDescription(), TWLocalized("editClosedTransaction"));
    EXPECT_EQ(entry->date().date(), QDate(2026, 11, 25));
    ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable), book.account(kSales),
                                         nullptr));
    EXPECT_EQ(entry->date().date(), QDate(2026, 11, 25));
    EXPECT_EQ(twTransferRows(b), closedTransfers);
    // A new invoice of the closed year gets no entry.
    const qsizetype count = b.transactions().size();
    TWInvoicePtr late = book.addInvoice(QStringLiteral("Late"));
    late->setDate(twLocal(2025, 3, 1));
    EXPECT_TRUE(
        b.createInvoiceTransaction({late}, book.account(kReceivable), nullptr, nullptr, true));
    EXPECT_EQ(b.transactions().size(), count);
}

namespace
{

QMap<qint32, QString> bookings(TWBusiness &b)
{
    QMap<qint32, QString> all;
    for (const TWTransactionPtr &t : b.transactions())
        all.insert(t->identifier(), QStringLiteral("%1 %2 %3 %4 %5")
                                        .arg(t->date().date().toString(Qt::ISODate))
                                        .arg(t->account1Identifier())
                                        .arg(t->account2Identifier())
                                        .arg(t->total())
                                        .arg(t->totalBusiness()));
    return all;
}

double linkValue(TWBusiness &b, const TWTransactionPtr &t)
{
    const TWRelationshipList links = b.relationshipsWithTransaction(*t);
    return links.isEmpty() ? -1.0 : links.first()->value();
}

} // namespace

// A business an earlier build saved says nothing of which transaction is a
// record's entry: that build's rule answers (the first transaction linked
// whole that books receivable or payable against what the record bills,
// else the first that raises what is owed, as a year's insurance paid
// ahead), and opening writes nothing, not even into the links. What was
// decided stays: with the entries deleted and the business saved and opened
// again, no payment becomes one.
TEST(Invoices, AnEarlierBuildsEntriesAreDecidedByItsRuleWithNothingWrittenAtOpening)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir dir;
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    const TWAccountPtr prepaid = TWAccount::accountWithIdentifier(
        b.nextAccountIdentifier(), QStringLiteral("Prepaid insurance"), 0, 0,
        TWAccountTypeCurrentAsset, QString(), QImage(), b.homeUnit(), QString());
    ASSERT_OK(b.addAccount(prepaid, false));
    const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
    const TWBillPtr insurance = book.addBill(QStringLiteral("Insurance"));
    const TWBillPtr paper = book.addBill(QStringLiteral("Paper"));
    const struct {
        const char *name;
        TWTransactionPtr entry;
        TWTransactionPtr payment; // or none
    } rows[] = {
        {"invoice", book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, 100000),
         book.addEntry(invoice, twLocal(2024, 6, 10), kBank, kReceivable, 40000)},
        {"bill charged ahead",
         book.addEntry(insurance, twLocal(2024, 6, 2), prepaid->identifier(), kPayable, 120000),
         book.addEntry(insurance, twLocal(2024, 6, 3), kPayable, kBank, 10000)},
        {"bill charged to an expense",
         book.addEntry(paper, twLocal(2024, 6, 2), kAdvertising, kPayable, 120), nullptr},
    };
    const QMap<qint32, QString> before = bookings(b);
    const QUrl url = twPackageURL(dir, QStringLiteral("Earlier.tallyworth"));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));

    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    EXPECT_EQ(bookings(*opened), before);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const TWTransactionPtr entry = opened->transactionWithIdentifier(row.entry->identifier());
        EXPECT_EQ(linkValue(*opened, entry), double(TWDocumentLinkUnsaid));
        EXPECT_TRUE(opened->isDocumentEntry(
            *entry, opened->relationshipsWithTransaction(*entry).value(0)->type()));
        if (row.payment) {
            EXPECT_EQ(
                linkValue(*opened, opened->transactionWithIdentifier(row.payment->identifier())),
                double(TWDocumentLinkUnsaid));
        }
        ASSERT_OK(opened->deleteTransaction(entry, false, true, true));
    }
    ASSERT_OK(opened->writeToURL(url, TWSaveOperationSave));
    opened.reset();

    auto again = twOpenPackage(url);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->invoiceEntry(*again->invoiceWithIdentifier(invoice->identifier())));
    EXPECT_FALSE(again->billCharge(*again->billWithIdentifier(insurance->identifier())));
    EXPECT_TRUE(again->transactionWithIdentifier(rows[1].payment->identifier()));
}

// Which linked transaction is a record's entry, and what a rebook of its
// lines writes, for the links earlier builds left: unmarked links read as
// the earlier build read them (the oldest that books against what the lines
// bill, whatever its sign; one of 0.00 or money raising what is owed only
// where nothing else would do), and a mark the previous build's opening put
// on a payment or a write-off gives way to the transaction that books the
// lines. A rebook that bills the same writes nothing, never rewrites a
// payment, a write-off or a discount into an entry, and never makes a second
// entry beside one that books the lines.
TEST(Invoices, AnEntryIsTheTransactionThatBooksTheLinesWhoeverStoredIt)
{
    TWFixedClock clock(2024, 6, 15);
    const auto mark = [](TWBusiness &b, const TWTransactionPtr &t, TWDocumentLinkRole role) {
        for (const TWRelationshipPtr &link : b.relationshipsWithTransaction(*t)) {
            const TWRelationshipPtr marked = link->copy();
            marked->setValue(role);
            EXPECT_OK(b.updateRelationship(marked, false));
        }
    };
    enum Links { Unmarked, PreviousOpening };
    const struct {
        const char *name;
        qint64 rate; // of the invoice's one line; 0: a bill
        Links links;
        // Stores the linked transactions; hands back the entry, and the
        // transaction a rebook writes (nullptr: a new one).
        std::function<std::pair<TWTransactionPtr, TWTransactionPtr>(
            TWInvoiceBook &, const TWInvoicePtr &, const TWBillPtr &)>
            store;
        qsizetype made; // transactions the rebook adds
    } rows[] = {
        {"credit note, a 0.00 bank transaction linked after it", -10000, Unmarked,
         [](TWInvoiceBook &book, const TWInvoicePtr &invoice, const TWBillPtr &) {
             const TWTransactionPtr credit =
                 book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, -10000);
             book.addEntry(invoice, twLocal(2024, 6, 5), kBank, kReceivable, 0);
             return std::pair(credit, credit);
         },
         0},
        // Of the two booking against income, the one booking what the line
        // bills is the entry: the discount is never taken for it.
        {"discount through income, then the entry made again", 100000, Unmarked,
         [](TWInvoiceBook &book, const TWInvoicePtr &invoice, const TWBillPtr &) {
             book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, -5000);
             const TWTransactionPtr remade =
                 book.addEntry(invoice, twLocal(2024, 6, 2), kReceivable, kSales, 100000);
             return std::pair(remade, remade);
         },
         0},
        {"discount through income, the entry deleted", 100000, Unmarked,
         [](TWInvoiceBook &book, const TWInvoicePtr &invoice, const TWBillPtr &) {
             const TWTransactionPtr discount =
                 book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, -5000);
             return std::pair(discount, TWTransactionPtr());
         },
         1},
        {"bill credit refunded by its merchant", 0, Unmarked,
         [](TWInvoiceBook &book, const TWInvoicePtr &, const TWBillPtr &bill) {
             const TWTransactionPtr credit =
                 book.addEntry(bill, twLocal(2024, 6, 1), kPayable, kAdvertising, 5000);
             book.addEntry(bill, twLocal(2024, 6, 8), kBank, kPayable, 5000);
             return std::pair(credit, credit);
         },
         0},
        {"the previous build's opening marked the write-off", 100000, PreviousOpening,
         [](TWInvoiceBook &book, const TWInvoicePtr &invoice, const TWBillPtr &) {
             const TWTransactionPtr entry =
                 book.addEntry(invoice, twLocal(2024, 6, 1), kReceivable, kSales, 100000);
             book.addEntry(invoice, twLocal(2024, 6, 9), kAdvertising, kReceivable, 100000);
             return std::pair(entry, entry);
         },
         0},
        {"the previous build's opening marked the bill's bank payment", 0, PreviousOpening,
         [](TWInvoiceBook &book, const TWInvoicePtr &, const TWBillPtr &bill) {
             const TWTransactionPtr charge =
                 book.addEntry(bill, twLocal(2024, 6, 1), kAdvertising, kPayable, 30000);
             book.addEntry(bill, twLocal(2024, 6, 9), kPayable, kBank, 30000);
             return std::pair(charge, charge);
         },
         0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
        const TWBillPtr bill = book.addBill(QStringLiteral("Paper"));
        if (row.rate != 0) {
            ASSERT_OK(b.updateInvoiceItems(invoice, {addTask(book, row.rate, 1.0, 0.0)}, {}));
        }
        const auto [entry, rebooked] = row.store(book, invoice, bill);
        if (row.links == PreviousOpening) {
            // Its rule took the later transaction; every other link it kept
            // as "other".
            for (const TWTransactionPtr &t : b.transactions())
                mark(b, t, TWDocumentLinkOther);
            mark(b, b.transactions().constLast(), TWDocumentLinkEntry);
        }
        if (row.rate == 0) {
            EXPECT_EQ(b.billCharge(*bill), entry);
            EXPECT_EQ(b.rebookableBillCharge(*bill), rebooked);
            continue;
        }
        EXPECT_EQ(b.invoiceEntry(*invoice), entry);
        const QMap<qint32, QString> before = bookings(b);
        const qsizetype count = b.transactions().size();
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), nullptr));
        EXPECT_EQ(b.transactions().size(), count + row.made);
        QMap<qint32, QString> after = bookings(b);
        if (row.made == 0) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(b.invoiceEntry(*invoice), entry);
            EXPECT_EQ(b.rebookableInvoiceEntry(*invoice), rebooked);
            continue;
        }
        // A new entry of what the lines bill; everything before stays.
        const TWTransactionPtr made = b.invoiceEntry(*invoice);
        ASSERT_TRUE(made);
        EXPECT_FALSE(before.contains(made->identifier()));
        EXPECT_EQ(made->total(), row.rate);
        after.remove(made->identifier());
        EXPECT_EQ(after, before);
    }
}

// A taxed entry whose lines the user moved is booked again line by line when
// its work changes: the income line where it is (a deferred-revenue
// liability), else on income; the tax line where it is (a "VAT payable"
// liability), else on the tax account. Nothing of the subtotal goes to the
// tax line's account. A month's occurrence of a repeated invoice copies its
// source's entry and books it on its own lines the same way.
namespace
{

// Each line of a split transaction: its account and amount, in order.
QList<std::pair<qint32, qint64>> accountLines(const TWTransaction &transaction)
{
    QList<std::pair<qint32, qint64>> lines;
    for (const TWSplitPtr &split : transaction.splits())
        lines.append({split->accountIdentifier(), split->total()});
    return lines;
}

} // namespace

TEST(Invoices, AMovedEntryIsRebookedWhereEachOfItsLinesIs)
{
    TWFixedClock clock(2024, 6, 15);
    const struct {
        const char *name;
        bool incomeMoved, taxMoved;
        bool repeated; // rebooked as the next month's occurrence
    } rows[] = {
        {"tax line moved to VAT payable", false, true, false},
        {"income line moved to deferred revenue", true, false, false},
        {"both moved", true, true, false},
        {"occurrence, tax line moved", false, true, true},
        {"occurrence, income line moved", true, false, true},
        {"occurrence, both moved", true, true, true},
        {"occurrence, nothing moved", false, false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TWInvoiceBook book = twInvoiceBook();
        TWBusiness &b = book.b();
        const auto liability = [&b](const char *name) {
            const TWAccountPtr account = TWAccount::accountWithIdentifier(
                b.nextAccountIdentifier(), QString::fromLatin1(name), 0, 0,
                TWAccountTypeCurrentLiability, QString(), QImage(), b.homeUnit(), QString());
            EXPECT_OK(b.addAccount(account, false));
            return account->identifier();
        };
        const qint32 vat = liability("VAT payable");
        const qint32 deferred = liability("Deferred revenue");
        // An occurrence bills the hours still to bill: 4 of the 10 recorded
        // where its source billed 6.
        const TWTaskPtr task =
            row.repeated ? TWTask::taskWithDate(twLocal(2024, 5, 1), false, QStringLiteral("Work"),
                                                TWTaskTypeTimed, 0.0, 1.0, 100000, 10.0, {},
                                                book.project->identifier(), b.nextTaskIdentifier())
                         : addTask(book, 100000, 1.0, 10.0);
        TWRepeatPtr monthly;
        if (row.repeated) {
            ASSERT_OK(b.addTask(task, false));
            ASSERT_OK(b.addTaskItem(TWTaskItem::taskItemWithStartDateTime(
                                        twLocal(2024, 5, 1, 8), twLocal(2024, 5, 1, 18), QString(),
                                        task->identifier(), b.nextTaskItemIdentifier()),
                                    false));
            task->setInvoiceQuantity(6 * 3600.0);
            monthly = TWRepeat::repeatWithType(TWRepeatTypeInvoice, 1, TWRepeatIntervalUnitMonth,
                                               {}, true, b.nextRepeatIdentifier());
            ASSERT_OK(b.addRepeat(monthly, false));
        }
        const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
        if (row.repeated) {
            invoice->setDate(twLocal(2024, 5, 10));
            invoice->setRepeatIdentifier(monthly->identifier());
            ASSERT_OK(b.updateInvoice(invoice, false));
        }
        ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), book.account(kSalesTax)));
        const TWTransactionPtr entry = b.invoiceEntry(*invoice);
        ASSERT_TRUE(entry && entry->hasSplit());
        for (const TWSplitPtr &split : entry->splits()) {
            if (row.taxMoved && split->accountIdentifier() == kSalesTax)
                split->setAccountIdentifier(vat);
            if (row.incomeMoved && split->accountIdentifier() == kSales)
                split->setAccountIdentifier(deferred);
        }
        twUpdateSplitTotals(*entry, b);
        ASSERT_OK(b.updateTransaction(entry, true, true, true, true));

        if (row.repeated) {
            ASSERT_OK(b.updateRepeatItemsForRepeat(monthly, true, false));
            const QList<TWRepeatItem> items = b.itemsWithRepeatIdentifier(monthly->identifier());
            ASSERT_EQ(items.size(), 2);
            const TWTransactionPtr made = b.invoiceEntry(*items.last().record<TWInvoice>());
            ASSERT_TRUE(made && made != entry && made->hasSplit());
            EXPECT_EQ(accountLines(*made), (QList<std::pair<qint32, qint64>>{
                                               {kReceivable, 440000},
                                               {row.taxMoved ? vat : kSalesTax, -40000},
                                               {row.incomeMoved ? deferred : kSales, -400000}}));
            EXPECT_EQ(made->total(), 440000);
            continue;
        }

        // The task sheet's edit: the rate raised.
        const TWTaskPtr raised = b.taskWithIdentifier(task->identifier())->copy();
        raised->setRate(120000);
        ASSERT_OK(b.updateTask(raised, true));

        ASSERT_EQ(b.invoiceEntry(*invoice), entry);
        EXPECT_EQ(accountLines(*entry), (QList<std::pair<qint32, qint64>>{
                                            {kReceivable, 132000},
                                            {row.taxMoved ? vat : kSalesTax, -12000},
                                            {row.incomeMoved ? deferred : kSales, -120000}}));
        EXPECT_EQ(b.transactionTotalWithAccount(*book.account(kSales)),
                  row.incomeMoved ? 0 : 120000);
    }
}

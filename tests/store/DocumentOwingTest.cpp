// What the count lines sum over many invoices and bills against the transactions a payments
// pane shows must be what each document owes taken alone, on a generated business where
// documents share nothing but the ledger.

#include "TWBenchBusiness.h"
#include "TWTestSupport.h"

#include "model/TWWorkArithmetic.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>

namespace
{

// Every second transaction: what a selection in the pane leaves.
TWTransactionList everySecond(const TWTransactionList &transactions)
{
    TWTransactionList chosen;
    for (qsizetype i = 0; i < transactions.size(); i += 2)
        chosen.append(transactions.at(i));
    return chosen;
}

// A generated business of about that many invoices and bills beside 3,000 transactions, on a
// fixed day.
class DocumentsBusiness
{
public:
    DocumentsBusiness(int invoices, int bills)
    {
        TWBenchBusinessOptions options{3000, m_folder.filePath(QStringLiteral("files"))};
        options.invoices = invoices;
        options.bills = bills;
        m_business = twBenchMakeBusiness(options);
        if (m_business) {
            m_invoices = m_business->invoices();
            m_bills = m_business->bills();
        }
    }
    TWBusiness *business() const { return m_business.get(); }
    const TWInvoiceList &invoices() const { return m_invoices; }
    const TWBillList &bills() const { return m_bills; }

private:
    TWFixedClock m_clock{2024, 6, 15};
    TWTestTempDir m_folder;
    std::unique_ptr<TWBusiness> m_business;
    TWInvoiceList m_invoices;
    TWBillList m_bills;
};

} // namespace

TEST(DocumentOwing, SumsOverManyDocumentsEqualEachDocumentTakenAlone)
{
    const DocumentsBusiness made(60, 40);
    ASSERT_TRUE(made.business());
    TWBusiness &b = *made.business();
    const TWInvoiceList &invoices = made.invoices();
    const TWBillList &bills = made.bills();
    ASSERT_GE(invoices.size(), 60);
    ASSERT_GE(bills.size(), 40);

    const TWTransactionList invoicePayments = b.transactionsWithInvoices(invoices);
    const TWTransactionList invoiceChosen = everySecond(invoicePayments);
    for (const TWTransactionList &shown : {invoicePayments, invoiceChosen, TWTransactionList()}) {
        // Each invoice against the pane's entries, one by one.
        const TWPaymentEntryList entries = twPaymentEntries(shown, b);
        qint64 alone = 0;
        for (const TWInvoicePtr &invoice : invoices) {
            twUpdateTransactions(*invoice, b);
            alone +=
                invoice->homeOweWithEntries(twPaymentEntries(invoice->transactions(), b), entries);
        }
        EXPECT_EQ(b.transactionHomeOwingWithInvoices(invoices, shown), alone) << shown.size();
    }
    // The whole pane is every payment of the invoices; half of it owes another sum.
    const qint64 owed = b.transactionHomeOwingWithInvoices(invoices);
    EXPECT_NE(owed, 0);
    EXPECT_EQ(b.transactionHomeOwingWithInvoices(invoices, invoicePayments), owed);
    EXPECT_NE(b.transactionHomeOwingWithInvoices(invoices, invoiceChosen), owed);

    const TWTransactionList billPayments = b.transactionsWithBills(bills);
    const TWTransactionList billChosen = everySecond(billPayments);
    for (const TWTransactionList &shown : {billPayments, billChosen, TWTransactionList()}) {
        const TWPaymentEntryList entries = twPaymentEntries(shown, b);
        qint64 alone = 0;
        for (const TWBillPtr &bill : bills) {
            twUpdateTransactions(*bill, b);
            alone += bill->oweWithEntries(twPaymentEntries(bill->transactions(), b), entries);
        }
        EXPECT_EQ(b.transactionHomeOwingWithBills(bills, shown), alone) << shown.size();
    }
    EXPECT_EQ(b.transactionHomeOwingWithBills(bills, billPayments),
              b.transactionHomeOwingWithBills(bills));
}

namespace
{

// Which transaction each row is, seen from which account and line, in order.
QList<std::tuple<qint32, qint32, qint32>> rowKeys(const TWTransactionList &rows)
{
    QList<std::tuple<qint32, qint32, qint32>> keys;
    for (const TWTransactionPtr &row : rows)
        keys.append(
            {row->identifier(), row->activeAccountIdentifier(), row->activeSplitIdentifier()});
    return keys;
}

} // namespace

// One update reads each document once and keeps what it made of it: the pane's rows, the
// figures and the sums read inside a scope are those read without one; the pane's rows are its
// own; new transactions on a document are never summed with what was kept of the old ones.
TEST(DocumentOwing, AReadScopeHandsOutWhatReadingAfreshWould)
{
    const DocumentsBusiness made(30, 20);
    ASSERT_TRUE(made.business());
    TWBusiness &b = *made.business();
    const TWInvoiceList &invoices = made.invoices();
    const TWBillList &bills = made.bills();

    const TWTransactionList invoiceRows = b.transactionsWithInvoices(invoices);
    const TWTransactionList billRows = b.transactionsWithBills(bills);
    const TWTransactionList chosen = everySecond(invoiceRows);
    const qint64 owed = b.transactionHomeOwingWithInvoices(invoices);
    const qint64 owedChosen = b.transactionHomeOwingWithInvoices(invoices, chosen);
    const qint64 owedBills = b.transactionHomeOwingWithBills(bills, everySecond(billRows));
    QList<TWPaymentTotals> totals;
    for (const TWInvoicePtr &invoice : invoices)
        totals.append(twPaymentTotals(*invoice, b));

    {
        const TWDocumentReadScope reads(&b);
        for (const TWInvoicePtr &invoice : invoices)
            twUpdateTransactions(*invoice, b);
        for (const TWBillPtr &bill : bills)
            twUpdateTransactions(*bill, b);
        const TWTransactionList keptRows = b.transactionsWithInvoices(invoices);
        EXPECT_EQ(rowKeys(keptRows), rowKeys(invoiceRows));
        EXPECT_EQ(rowKeys(b.transactionsWithBills(bills)), rowKeys(billRows));
        // A row's balance is the pane's own: the invoice's transaction keeps its own.
        const TWInvoicePtr &first = invoices.front();
        ASSERT_FALSE(first->transactions().isEmpty());
        const qint32 firstIdentifier = first->transactions().front()->identifier();
        const qint64 before = first->transactions().front()->balance();
        for (const TWTransactionPtr &row : keptRows)
            if (row->identifier() == firstIdentifier)
                row->setBalance(before + 12345);
        EXPECT_EQ(first->transactions().front()->balance(), before);

        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(b.transactionHomeOwingWithInvoices(invoices), owed);
            EXPECT_EQ(b.transactionHomeOwingWithInvoices(invoices, chosen), owedChosen);
            EXPECT_EQ(b.transactionHomeOwingWithBills(bills, everySecond(billRows)), owedBills);
            for (qsizetype i = 0; i < invoices.size(); ++i)
                EXPECT_EQ(twPaymentTotals(*invoices.at(i), b).owe, totals.at(i).owe) << i;
        }

        // An invoice given other transactions in the scope is summed by those.
        const TWTransactionList held = first->transactions();
        first->setTransactions({});
        EXPECT_TRUE(twPaymentEntries(*first, b).isEmpty());
        EXPECT_EQ(twHomeOwe(*first, b), 0);
        EXPECT_EQ(twPaymentTotals(*first, b).charges, 0);
        first->setTransactions(held);
        EXPECT_EQ(twPaymentTotals(*first, b).owe, totals.front().owe);
    }
    // A later scope reads afresh: a transaction held over from before is not taken as read.
    invoices.front()->setTransactions({});
    {
        const TWDocumentReadScope reads(&b);
        twUpdateTransactions(*invoices.front(), b);
        EXPECT_FALSE(invoices.front()->transactions().isEmpty());
        EXPECT_EQ(b.transactionHomeOwingWithInvoices(invoices), owed);
    }
}

namespace
{

// What each invoice holds now, as read in a scope.
QList<TWTransactionList> heldBy(TWBusiness &b, const TWInvoiceList &invoices)
{
    const TWDocumentReadScope reads(&b);
    QList<TWTransactionList> held;
    for (const TWInvoicePtr &invoice : invoices) {
        twUpdateTransactions(*invoice, b);
        held.append(invoice->transactions());
    }
    return held;
}

bool holds(const TWTransactionList &transactions, qint32 identifier)
{
    return std::any_of(
        transactions.begin(), transactions.end(),
        [identifier](const TWTransactionPtr &t) { return t->identifier() == identifier; });
}

// The first invoice holding a payment beside its charge; -1 when none does.
qsizetype firstPaid(const QList<TWTransactionList> &held)
{
    for (qsizetype i = 0; i < held.size(); ++i)
        if (held.at(i).size() > 1)
            return i;
    return -1;
}

// What the invoices owe, read one by one inside one scope or (`scoped` false) none.
QList<qint64> owedBy(TWBusiness &b, const TWInvoiceList &invoices, bool scoped)
{
    const TWDocumentReadScope reads(scoped ? &b : nullptr);
    QList<qint64> owed;
    for (const TWInvoicePtr &invoice : invoices) {
        twUpdateTransactions(*invoice, b);
        owed.append(twHomeOwe(*invoice, b));
    }
    return owed;
}
QList<qint64> owedAfresh(TWBusiness &b, const TWInvoiceList &invoices)
{
    return owedBy(b, invoices, false);
}
QList<qint64> owedInScope(TWBusiness &b, const TWInvoiceList &invoices)
{
    return owedBy(b, invoices, true);
}

} // namespace

// While nothing is written, a later update takes what an earlier one read (the very rows); a
// transaction written sends only the documents holding it back to the store; anything else
// written, a table changed unseen or a copy of a document reads everything again. Every figure
// is what reading afresh gives.
TEST(DocumentOwing, ALaterScopeTakesWhatStandsAndReadsWhatWasWritten)
{
    const DocumentsBusiness made(30, 20);
    ASSERT_TRUE(made.business());
    TWBusiness &b = *made.business();
    const TWInvoiceList &invoices = made.invoices();

    const QList<TWTransactionList> first = heldBy(b, invoices);
    EXPECT_EQ(heldBy(b, invoices), first);
    EXPECT_EQ(owedInScope(b, invoices), owedAfresh(b, invoices));
    // Reading without a scope gave the invoices new rows; a scope now reads them again once and
    // keeps them.
    const QList<TWTransactionList> kept = heldBy(b, invoices);
    EXPECT_EQ(heldBy(b, invoices), kept);

    // A payment marked cleared: the invoices holding it read it again, and see it cleared.
    const qsizetype marked = firstPaid(kept);
    ASSERT_GE(marked, 0);
    const qint32 payment = kept.at(marked).back()->identifier();
    const TWTransactionPtr stored = b.transactionWithIdentifier(payment);
    ASSERT_TRUE(stored);
    const bool cleared = stored->cleared();
    stored->setCleared(!cleared);
    ASSERT_FALSE(b.updateTransaction(stored, true, false, false, false));
    const QList<TWTransactionList> afterMark = heldBy(b, invoices);
    for (qsizetype i = 0; i < invoices.size(); ++i) {
        if (holds(kept.at(i), payment)) {
            EXPECT_NE(afterMark.at(i), kept.at(i)) << i;
            for (const TWTransactionPtr &t : afterMark.at(i)) {
                if (t->identifier() == payment) {
                    EXPECT_EQ(t->cleared(), !cleared);
                }
            }
        } else {
            EXPECT_EQ(afterMark.at(i), kept.at(i)) << i;
        }
    }
    EXPECT_EQ(owedInScope(b, invoices), owedAfresh(b, invoices));

    // Its amount changed: what the invoice owes follows.
    const QList<qint64> owedBefore = owedInScope(b, invoices);
    const QList<TWTransactionList> settled = heldBy(b, invoices);
    stored->setTotal(stored->total() + 100);
    stored->setTotalAccount1(stored->totalAccount1() + 100);
    stored->setTotalAccount2(stored->totalAccount2() - 100);
    stored->setTotalBusiness(stored->totalBusiness() + 100);
    ASSERT_FALSE(b.updateTransaction(stored, true, false, false, false));
    const QList<qint64> owedAfter = owedInScope(b, invoices);
    EXPECT_NE(owedAfter.at(marked), owedBefore.at(marked));
    EXPECT_EQ(owedAfter, owedAfresh(b, invoices));

    // Anything else written (every account's row here) reads every invoice again.
    const QList<TWTransactionList> before = heldBy(b, invoices);
    ASSERT_FALSE(b.executeSQL(QStringLiteral("UPDATE accounts SET name = name;")));
    const QList<TWTransactionList> afterAccounts = heldBy(b, invoices);
    for (qsizetype i = 0; i < invoices.size(); ++i) {
        if (!before.at(i).isEmpty()) {
            EXPECT_NE(afterAccounts.at(i), before.at(i)) << i;
        }
    }

    // A table emptied at once tells nothing row by row: everything is read again as well.
    ASSERT_FALSE(b.executeSQL(QStringLiteral("CREATE TABLE scratch (value INTEGER);")));
    ASSERT_FALSE(b.executeSQL(QStringLiteral("INSERT INTO scratch VALUES (1), (2);")));
    const QList<TWTransactionList> beforeEmptied = heldBy(b, invoices);
    ASSERT_FALSE(b.executeSQL(QStringLiteral("DELETE FROM scratch;")));
    const QList<TWTransactionList> afterEmptied = heldBy(b, invoices);
    for (qsizetype i = 0; i < invoices.size(); ++i) {
        if (!beforeEmptied.at(i).isEmpty()) {
            EXPECT_NE(afterEmptied.at(i), beforeEmptied.at(i)) << i;
        }
    }

    // A copy of an invoice may be changed unknown to the store: it is read anew.
    TWInvoice copy(*invoices.at(marked));
    {
        const TWDocumentReadScope reads(&b);
        twUpdateTransactions(*invoices.at(marked), b);
        EXPECT_EQ(invoices.at(marked)->transactions(), afterEmptied.at(marked));
        twUpdateTransactions(copy, b);
        EXPECT_NE(copy.transactions(), afterEmptied.at(marked));
        EXPECT_EQ(rowKeys(copy.transactions()), rowKeys(afterEmptied.at(marked)));
    }

    // The payment deleted: no invoice holds it any more.
    ASSERT_FALSE(b.deleteTransaction(stored, true, false, false));
    for (const TWTransactionList &held : heldBy(b, invoices))
        EXPECT_FALSE(holds(held, payment));
    EXPECT_EQ(owedInScope(b, invoices), owedAfresh(b, invoices));
}

TEST(DocumentOwing, APaymentWrittenNamesTheProjectsItPaysAndTheClientsTotalStaysAsAddedUp)
{
    const DocumentsBusiness made(30, 20);
    ASSERT_TRUE(made.business());
    TWBusiness &b = *made.business();
    const TWInvoiceList &invoices = made.invoices();
    const QList<TWTransactionList> held = heldBy(b, invoices);

    quint64 revision = b.readingRevision();
    quint64 stamp = b.transactionStamp();
    ASSERT_NE(revision, 0U);
    const auto paidSince = [&] {
        return b.projectsPaidByTransactionsWrittenSince(revision, stamp);
    };
    ASSERT_TRUE(paidSince());
    EXPECT_TRUE(paidSince()->isEmpty());

    // A payment marked cleared: the projects of the invoices holding it, and no other.
    const qsizetype marked = firstPaid(held);
    ASSERT_GE(marked, 0);
    const TWTransactionPtr stored =
        b.transactionWithIdentifier(held.at(marked).back()->identifier());
    ASSERT_TRUE(stored);
    QSet<qint32> paying;
    for (qsizetype i = 0; i < invoices.size(); ++i)
        if (holds(held.at(i), stored->identifier()))
            paying.insert(invoices.at(i)->projectIdentifier());
    stored->setCleared(!stored->cleared());
    ASSERT_FALSE(b.updateTransaction(stored, true, false, false, false));
    ASSERT_TRUE(paidSince());
    EXPECT_EQ(*paidSince(), paying);
    // Marked again after reading: nothing since.
    stamp = b.transactionStamp();
    EXPECT_EQ(paidSince(), QSet<qint32>());

    // A list kept between updates is told the same, once; a first call reads everything.
    TWPaidProjectsSince since;
    EXPECT_FALSE(since.projectsToReadAgain(b));
    stored->setCleared(!stored->cleared());
    ASSERT_FALSE(b.updateTransaction(stored, true, false, false, false));
    EXPECT_EQ(since.projectsToReadAgain(b), paying);
    EXPECT_EQ(since.projectsToReadAgain(b), QSet<qint32>());

    // Anything else written, or a write still open: nothing is known.
    ASSERT_FALSE(b.executeSQL(QStringLiteral("UPDATE accounts SET name = name;")));
    EXPECT_FALSE(paidSince());
    EXPECT_FALSE(since.projectsToReadAgain(b));
    revision = b.readingRevision();
    stamp = b.transactionStamp();
    ASSERT_FALSE(b.beginTransaction());
    EXPECT_FALSE(since.projectsToReadAgain(b));
    ASSERT_FALSE(b.commitTransaction());
    EXPECT_FALSE(since.projectsToReadAgain(b));

    // The projects' owings add up to the clients' total as it was always added: client by
    // client, a sum held at the limit held where it was.
    const TWClientList clients = b.clients();
    qint64 byClient = 0;
    for (const TWClientPtr &client : clients)
        byClient = TWWorkArithmetic::add(
            byClient, b.transactionHomeOwingWithProjects(b.projectsWithClient(*client)));
    EXPECT_EQ(TWBusiness::sumOwings(b.projectHomeOwingsWithClients(clients)), byClient);
    EXPECT_EQ(b.transactionHomeOwingWithClients(clients), byClient);
    constexpr qint64 most = std::numeric_limits<qint64>::max();
    EXPECT_EQ(TWBusiness::sumOwings({{nullptr, 0, most}, {nullptr, 1, 1}, {nullptr, 1, -5}}),
              most - 4);
}

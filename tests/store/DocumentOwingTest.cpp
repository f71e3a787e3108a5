// What the count lines sum over many invoices and bills against the transactions a payments
// pane shows must be what each document owes taken alone, on a generated business where
// documents share nothing but the ledger.

#include "TWBenchBusiness.h"
#include "TWTestSupport.h"

#include "store/TWOwing.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(DocumentOwing, SumsOverManyDocumentsEqualEachDocumentTakenAlone)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir folder;
    TWBenchBusinessOptions options{3000, folder.filePath(QStringLiteral("files"))};
    options.invoices = 60;
    options.bills = 40;
    const std::unique_ptr<TWBusiness> made = twBenchMakeBusiness(options);
    ASSERT_TRUE(made);
    TWBusiness &b = *made;
    const TWInvoiceList invoices = b.invoices();
    const TWBillList bills = b.bills();
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

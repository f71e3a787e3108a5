// What clients owe the business and what the business owes merchants, and
// whether any of it is overdue: read from the invoices' and bills' linked
// transactions, which each question refreshes first.

#include "store/TWBusiness.h"
#include "store/TWOwing.h"

#include "model/TWWorkArithmetic.h"

using TWWorkArithmetic::add;

// ---- Overdue clients and merchants ----

bool twOverdue(const TWClient &client, TWBusiness &business)
{
    for (const TWProjectPtr &project : business.projectsWithClient(client)) {
        twUpdateInvoices(*project, business);
        if (twOverdue(*project, business, nullptr))
            return true;
    }
    return false;
}

bool twOverdue(const TWMerchant &merchant, TWBusiness &business)
{
    for (const TWBillPtr &bill : business.billsWithMerchant(merchant)) {
        twUpdateTransactions(*bill, business);
        if (twOverdue(*bill, business))
            return true;
    }
    return false;
}

bool TWBusiness::transactionOverdueWithClients(const TWClientList &clients)
{
    for (const TWClientPtr &client : clients) {
        if (client && twOverdue(*client, *this))
            return true;
    }
    return false;
}

bool TWBusiness::transactionOverdueWithMerchants(const TWMerchantList &merchants)
{
    for (const TWMerchantPtr &merchant : merchants) {
        if (merchant && twOverdue(*merchant, *this))
            return true;
    }
    return false;
}

// ---- Owed by clients ----

qint64 TWBusiness::transactionHomeOwingWithClients(const TWClientList &clients)
{
    qint64 total = 0;
    for (const TWClientPtr &client : clients) {
        if (client)
            total = add(total, transactionHomeOwingWithProjects(projectsWithClient(*client)));
    }
    return total;
}

qint64 TWBusiness::transactionHomeOwingWithProjects(const TWProjectList &projects)
{
    qint64 total = 0;
    for (const TWProjectPtr &project : projects) {
        if (!project)
            continue;
        twUpdateInvoices(*project, *this);
        total = add(total, twHomeOwe(*project, *this));
    }
    return total;
}

qint64 TWBusiness::transactionHomeOwingWithInvoices(const TWInvoiceList &invoices)
{
    qint64 total = 0;
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice)
            continue;
        twUpdateTransactions(*invoice, *this);
        total = add(total, twHomeOwe(*invoice, *this));
    }
    return total;
}

qint64 TWBusiness::transactionHomeOwingWithInvoices(const TWInvoiceList &invoices,
                                                    const TWTransactionList &transactions)
{
    // The given transactions are described and indexed once, not once per invoice.
    const TWPaymentEntryList given = twPaymentEntryKeys(transactions);
    const TWPayments::EntriesByIdentifier byIdentifier = TWPayments::entriesByIdentifier(given);
    qint64 total = 0;
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice)
            continue;
        twUpdateTransactions(*invoice, *this);
        const TWPaymentEntryList own = twPaymentEntries(*invoice, *this);
        const TWPaymentEntryList among = TWPayments::entriesAmong(own, byIdentifier);
        // With every entry given, the invoice owes what the other sums read.
        total = add(total, among.size() == own.size() ? twHomeOwe(*invoice, *this)
                                                      : invoice->homeOweWithEntries(among));
    }
    return total;
}

qint64 TWBusiness::transactionOwingWithClient(const TWClient &client, const TWUnitPtr &unit,
                                              const TWInvoice *ignoreInvoice)
{
    qint64 total = 0;
    for (const TWProjectPtr &project : projectsWithClient(client)) {
        const TWUnitPtr &projectUnit = project->unit();
        const bool sameUnit = projectUnit && unit && projectUnit->isEqual(*unit);
        for (const TWInvoicePtr &invoice : invoicesWithProject(*project)) {
            if (ignoreInvoice && invoice->identifier() == ignoreInvoice->identifier())
                continue;
            twUpdateTransactions(*invoice, *this);
            const qint64 owe = twOwe(*invoice, *this);
            total = add(total, sameUnit ? owe : totalInUnit(owe, projectUnit, unit));
        }
    }
    return total;
}

// ---- Owed to merchants ----

qint64 TWBusiness::transactionHomeOwingWithMerchants(const TWMerchantList &merchants)
{
    return transactionHomeOwingWithBills(billsWithMerchants(merchants));
}

qint64 TWBusiness::transactionHomeOwingWithBills(const TWBillList &bills)
{
    qint64 total = 0;
    for (const TWBillPtr &bill : bills) {
        if (!bill)
            continue;
        twUpdateTransactions(*bill, *this);
        total = add(total, twOwe(*bill, *this));
    }
    return total;
}

qint64 TWBusiness::transactionHomeOwingWithBills(const TWBillList &bills,
                                                 const TWTransactionList &transactions)
{
    const TWPaymentEntryList given = twPaymentEntryKeys(transactions);
    const TWPayments::EntriesByIdentifier byIdentifier = TWPayments::entriesByIdentifier(given);
    qint64 total = 0;
    for (const TWBillPtr &bill : bills) {
        if (!bill)
            continue;
        twUpdateTransactions(*bill, *this);
        total = add(total, bill->oweWithEntries(TWPayments::entriesAmong(
                               twPaymentEntries(*bill, *this), byIdentifier)));
    }
    return total;
}

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
    return sumOwings(projectHomeOwingsWithClients(clients));
}

QList<TWBusiness::ProjectOwing>
TWBusiness::projectHomeOwingsWithClients(const TWClientList &clients)
{
    QList<ProjectOwing> owings;
    for (int at = 0; at < clients.size(); ++at) {
        if (!clients.at(at))
            continue;
        for (const TWProjectPtr &project : projectsWithClient(*clients.at(at))) {
            if (!project)
                continue;
            twUpdateInvoices(*project, *this);
            owings.append({project, at, twHomeOwe(*project, *this)});
        }
    }
    return owings;
}

qint64 TWBusiness::sumOwings(const QList<ProjectOwing> &owings)
{
    // Each client's projects, then the clients, as the total has always been added up: a sum
    // held at the limit is held where it always was.
    qint64 total = 0;
    for (qsizetype at = 0; at < owings.size();) {
        qint64 client = 0;
        const int current = owings.at(at).client;
        for (; at < owings.size() && owings.at(at).client == current; ++at)
            client = add(client, owings.at(at).homeOwe);
        total = add(total, client);
    }
    return total;
}

std::optional<QSet<qint32>> TWBusiness::projectsPaidByTransactionsWrittenSince(quint64 revision,
                                                                               quint64 stamp) const
{
    const std::optional<QList<qint32>> written = transactionsWrittenSince(revision, stamp);
    if (!written)
        return std::nullopt;
    QSet<qint32> projects;
    for (const qint32 identifier : *written) {
        // Deleting a transaction deletes its links too, which moves the revision: one listed
        // and gone is not expected, and then nothing is known.
        const TWTransactionPtr transaction = transactionWithIdentifier(identifier);
        if (!transaction)
            return std::nullopt;
        for (const TWRelationshipPtr &link :
             relationshipsWithTransaction(*transaction, TWRelationshipTypeInvoicePayment))
            projects.insert(link->parentIdentifier());
    }
    return projects;
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

#pragma once
// What invoices, bills, projects, clients and merchants owe and are owed,
// read from the transactions the business links to them: their payment
// entries, totals, payments, what is left, the share paid and whether it is
// overdue. The records' own arithmetic on given entries is in the model.

#include "model/TWBill.h"
#include "model/TWClient.h"
#include "model/TWInvoice.h"
#include "model/TWMerchant.h"
#include "model/TWPaymentEntry.h"
#include "model/TWProject.h"
#include "store/TWDocumentReads.h"

class TWBusiness;

// The entries of the given transactions, in order (account types from the
// business's accounts).
QList<TWPaymentEntry> twPaymentEntries(const TWTransactionList &transactions, TWBusiness &business);
// The given transactions as far as telling which of a document's entries are among them asks
// (TWPayments::entriesAmong): which transaction, seen from which account and line.
TWPaymentEntryList twPaymentEntryKeys(const TWTransactionList &transactions);
// The entries of the document's transactions as last refreshed; while an update's read scope
// is open (TWDocumentReads.h), each document's are made once.
TWPaymentEntryList twPaymentEntries(const TWInvoice &invoice, TWBusiness &business);
TWPaymentEntryList twPaymentEntries(const TWBill &bill, TWBusiness &business);

// ---- Invoices ----

// The transactions the business links to the invoice.
void twUpdateTransactions(TWInvoice &invoice, TWBusiness &business);
// The entries of the invoice's transactions (as last refreshed), its own
// entry marked as its charge.
TWPaymentEntryList twInvoicePaymentEntries(const TWInvoice &invoice, TWBusiness &business);
// TWPayments::totals of the entries of the invoice's transactions, receivable
// side, in the unit of the invoice's project, converted the business's way.
TWPaymentTotals twPaymentTotals(const TWInvoice &invoice, TWBusiness &business);

inline qint64 twTotal(const TWInvoice &invoice, TWBusiness &business)
{
    return twPaymentTotals(invoice, business).charges;
}
inline qint64 twPayments(const TWInvoice &invoice, TWBusiness &business)
{
    return twPaymentTotals(invoice, business).payments;
}
inline qint64 twOwe(const TWInvoice &invoice, TWBusiness &business)
{
    return twPaymentTotals(invoice, business).owe;
}
// What the invoice will be owed once the given tasks and expenses no longer
// bill on it (its entry then books that much less).
qint64 twOweWithoutWork(const TWInvoice &invoice, const TWTaskList &tasks,
                        const TWExpenseList &expenses, TWBusiness &business);
// What the invoice will be owed once the given tasks and expenses, edited,
// bill the quantities it bills of them now.
qint64 twOweWithEditedWork(const TWInvoice &invoice, const TWTaskList &tasks,
                           const TWExpenseList &expenses, TWBusiness &business);
inline float twPercentPaid(const TWInvoice &invoice, TWBusiness &business)
{
    return twPaymentTotals(invoice, business).percentPaid;
}
inline bool twOverdue(const TWInvoice &invoice, TWBusiness &business)
{
    return invoice.dueDate().isValid() && invoice.overdueWithOwe(twOwe(invoice, business));
}
// What the invoice owes in the home unit by all its entries (kept, like them, by an open read
// scope).
qint64 twHomeOwe(const TWInvoice &invoice, TWBusiness &business);
inline qint64 twHomeOwe(const TWInvoice &invoice, TWBusiness &business,
                        const TWTransactionList &transactions)
{
    return invoice.homeOweWithEntries(twPaymentEntries(invoice, business),
                                      twPaymentEntries(transactions, business));
}
// Refreshes each invoice's transactions, then reports as
// TWPayments::validateEdit over all of them.
inline void twValidateEditInvoices(const TWInvoiceList &invoices, bool *containsRepeat,
                                   bool *containsClosedLocked, bool *containsNormal,
                                   TWBusiness &business)
{
    TWPaymentEntryList entries;
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice)
            continue;
        twUpdateTransactions(*invoice, business);
        entries += twPaymentEntries(*invoice, business);
    }
    TWPayments::validateEdit(entries, containsRepeat, containsClosedLocked, containsNormal);
}

// ---- Bills ----

// The transactions the business links to the bill.
void twUpdateTransactions(TWBill &bill, TWBusiness &business);

inline qint64 twTotal(const TWBill &bill, TWBusiness &business)
{
    return bill.totalWithEntries(twPaymentEntries(bill, business));
}
// Bills are kept in the home unit: what one owes is kept as an invoice's home amount is.
inline qint64 twOwe(const TWBill &bill, TWBusiness &business)
{
    return TWDocumentReadScope::homeOwe(business, bill.readings(), [&] {
        return bill.oweWithEntries(twPaymentEntries(bill, business));
    });
}
inline qint64 twOwe(const TWBill &bill, TWBusiness &business, const TWTransactionList &transactions)
{
    return bill.oweWithEntries(twPaymentEntries(bill, business),
                               twPaymentEntries(transactions, business));
}
inline float twPercentPaid(const TWBill &bill, TWBusiness &business)
{
    return bill.percentPaidWithEntries(twPaymentEntries(bill, business));
}
inline bool twOverdue(const TWBill &bill, TWBusiness &business)
{
    return bill.dueDate().isValid() && TWPayments::isOverdue(bill.dueDate(), twOwe(bill, business));
}
// Refreshes each bill's transactions, then reports as
// TWPayments::validateEdit over all of them.
inline void twValidateEditBills(const TWBillList &bills, bool *containsRepeat,
                                bool *containsClosedLocked, bool *containsNormal,
                                TWBusiness &business)
{
    TWPaymentEntryList entries;
    for (const TWBillPtr &bill : bills) {
        if (!bill)
            continue;
        twUpdateTransactions(*bill, business);
        entries += twPaymentEntries(*bill, business);
    }
    TWPayments::validateEdit(entries, containsRepeat, containsClosedLocked, containsNormal);
}

// ---- Projects: over the invoices the business holds for them ----

// The invoices the business holds for the project, each then refreshing its
// transactions.
void twUpdateInvoices(TWProject &project, TWBusiness &business);

inline qint64 twTotal(const TWProject &project, TWBusiness &business)
{
    return project.sumOverInvoices(
        [&business](const TWInvoice &invoice) { return twTotal(invoice, business); });
}
inline qint64 twOwe(const TWProject &project, TWBusiness &business)
{
    return project.sumOverInvoices(
        [&business](const TWInvoice &invoice) { return twOwe(invoice, business); });
}
inline qint64 twHomeOwe(const TWProject &project, TWBusiness &business)
{
    return project.sumOverInvoices(
        [&business](const TWInvoice &invoice) { return twHomeOwe(invoice, business); });
}
inline float twPercentPaid(const TWProject &project, TWBusiness &business)
{
    return TWProject::percentPaid(twTotal(project, business), twOwe(project, business));
}
inline bool twOverdue(const TWProject &project, TWBusiness &business, QDateTime *dueDate)
{
    return project.overdueOverInvoices(
        [&business](const TWInvoice &invoice) { return twOverdue(invoice, business); }, dueDate);
}

// ---- Clients and merchants ----

// Whether one of the client's projects has an overdue invoice (the projects'
// invoices and their payments are refreshed first).
bool twOverdue(const TWClient &client, TWBusiness &business);
// Whether one of the merchant's bills is overdue (their payments are
// refreshed first).
bool twOverdue(const TWMerchant &merchant, TWBusiness &business);

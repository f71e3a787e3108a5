// Billed work: which invoices bill a task or an expense, and keeping those
// invoices' receivable entries in step when the work they bill is deleted.

#include "store/TWBusiness.h"
#include "store/TWDocumentNames.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"

#include <QSet>

TWInvoiceList TWBusiness::invoicesBilling(qint32 childIdentifier, std::uint32_t type) const
{
    TWInvoiceList invoices;
    QSet<qint32> seen;
    for (const TWRelationshipPtr &link : relationshipsWithChildIdentifier(childIdentifier, type)) {
        const qint32 identifier = link->parentIdentifier();
        if (seen.contains(identifier))
            continue;
        seen.insert(identifier);
        if (const TWInvoicePtr invoice = invoiceWithIdentifier(identifier))
            invoices.append(invoice);
    }
    return invoices;
}

TWInvoiceList TWBusiness::invoicesBillingTask(const TWTask &task) const
{
    return invoicesBilling(task.identifier(), TWRelationshipTypeInvoiceTask);
}

TWInvoiceList TWBusiness::invoicesBillingExpense(const TWExpense &expense) const
{
    return invoicesBilling(expense.identifier(), TWRelationshipTypeInvoiceExpense);
}

bool TWBusiness::invoiceOfClosedPeriod(const TWInvoice &invoice)
{
    return (invoice.date().isValid() && accountingPeriodForDate(invoice.date())->closed()) ||
           invoiceContainsClosedTransactions(invoice);
}

TWErrorResult TWBusiness::refuseClosedBilling(const TWInvoiceList &invoices)
{
    for (const TWInvoicePtr &invoice : invoices) {
        if (invoiceOfClosedPeriod(*invoice))
            return TWError(TWDatabaseErrorDomain, -1, TWLocalized("deleteBilledClosedMessage"));
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::rebookBilledInvoices(const TWInvoiceList &invoices)
{
    for (const TWInvoicePtr &invoice : invoices) {
        const TWProjectPtr project = projectWithIdentifier(invoice->projectIdentifier());
        if (!project || project->type() != TWProjectTypeProject)
            continue;
        const TWTransactionPtr entry =
            documentEntry(invoice->projectIdentifier(), invoice->identifier(),
                          TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable);
        if (!entry)
            continue;
        const TWAccountPtr receivable =
            lastInvoiceAccountIdentifier(*invoice, TWAccountTypeAccountsReceivable);
        const TWAccountPtr income = lastInvoiceAccountIdentifier(*invoice, TWAccountTypeIncome);
        const TWAccountPtr tax = invoiceTaxed(*invoice)
                                     ? lastInvoiceAccountIdentifier(*invoice, TWAccountTypeTax)
                                     : TWAccountPtr();
        if (TWErrorResult error = bookInvoiceEntry(*invoice, entry, receivable, income, tax, true))
            return error;
    }
    return std::nullopt;
}

// ---- Names for alerts ----

namespace
{

QString documentName(const QString &first, const QString &second, qint32 identifier)
{
    constexpr qsizetype kShownLength = 40;
    const QString &name = !first.isEmpty() ? first : second;
    return name.isEmpty() ? QStringLiteral("#%1").arg(identifier)
                          : TWStringAdditions::shortened(name, kShownLength);
}

QString shortNames(qsizetype count, const std::function<QString(qsizetype)> &name)
{
    return TWStringAdditions::shortList(count, name, QStringLiteral(", "),
                                        TWLocalized("documentNamesMore"));
}

} // namespace

QString twInvoiceNames(const TWInvoiceList &invoices)
{
    return shortNames(invoices.size(), [&invoices](qsizetype i) {
        const TWInvoice &invoice = *invoices.at(i);
        return documentName(invoice.number(), invoice.name(), invoice.identifier());
    });
}

QString twBillNames(const TWBillList &bills)
{
    return shortNames(bills.size(), [&bills](qsizetype i) {
        const TWBill &bill = *bills.at(i);
        return documentName(bill.name(), QString(), bill.identifier());
    });
}

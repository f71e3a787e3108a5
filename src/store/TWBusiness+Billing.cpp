// Billed work: which invoices bill a task or an expense, and keeping those
// invoices' receivable entries in step when the work they bill is deleted.

#include "store/TWBusiness.h"
#include "store/TWClosedRefusals.h"
#include "store/TWDocumentNames.h"
#include "store/TWOwing.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWFormatter.h"

#include <QLocale>

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

TWInvoiceList TWBusiness::invoicesBillingWork(const TWTaskList &tasks,
                                              const TWExpenseList &expenses) const
{
    TWInvoiceList invoices;
    QSet<qint32> seen;
    const auto add = [&invoices, &seen](const TWInvoiceList &billing) {
        for (const TWInvoicePtr &invoice : billing) {
            if (!seen.contains(invoice->identifier())) {
                seen.insert(invoice->identifier());
                invoices.append(invoice);
            }
        }
    };
    for (const TWTaskPtr &task : tasks)
        add(invoicesBillingTask(*task));
    for (const TWExpensePtr &expense : expenses)
        add(invoicesBillingExpense(*expense));
    return invoices;
}

bool TWBusiness::invoiceOfClosedPeriod(const TWInvoice &invoice)
{
    // What changes with an invoice's lines is what it booked, its entry: an
    // estimate books nothing, and neither does an invoice whose entry is
    // gone. Its payments stay as they are.
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    if (!project || project->type() != TWProjectTypeProject)
        return false;
    const TWTransactionPtr entry = invoiceEntry(invoice);
    return entry && (entry->state() == TWTransactionStateClosed ||
                     entry->state() == TWTransactionStateLocked ||
                     (entry->date().isValid() && accountingPeriodForDate(entry->date())->closed()));
}

TWErrorResult TWBusiness::refuseClosedBilling(const TWInvoiceList &invoices)
{
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoiceOfClosedPeriod(*invoice))
            continue;
        // The period is named, unless the entry is only locked.
        const TWTransactionPtr entry = invoiceEntry(*invoice);
        const TWAccountingPeriodPtr period =
            entry && entry->state() != TWTransactionStateLocked && entry->date().isValid()
                ? accountingPeriodForDate(entry->date())
                : nullptr;
        if (period && period->closed())
            return TWError(
                TWDatabaseErrorDomain, -1,
                TWLocalized("deleteBilledClosedMessage").arg(twAccountingPeriodText(*period)));
        return TWError(TWDatabaseErrorDomain, -1, TWLocalized("deleteBilledLockedMessage"));
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::rebookBilledInvoices(const TWInvoiceList &invoices)
{
    for (const TWInvoicePtr &invoice : invoices) {
        const TWProjectPtr project = projectWithIdentifier(invoice->projectIdentifier());
        if (!project || project->type() != TWProjectTypeProject)
            continue;
        TWTransactionPtr entry = rebookableInvoiceEntry(*invoice);
        // An entry the user moved (billed in advance, a tax line kept on a
        // liability) is booked again where each line is.
        const InvoiceEntryLines moved = entry ? invoiceEntryLines(*invoice) : InvoiceEntryLines();
        const TWAccountPtr receivable =
            lastInvoiceAccountIdentifier(*invoice, TWAccountTypeAccountsReceivable);
        // A payment kept as the entry is never written over: the work is
        // booked on a new entry beside it. An invoice whose entry is gone
        // gets none here.
        const DocumentLinks links =
            entry
                ? DocumentLinks()
                : documentLinks(invoice->projectIdentifier(), invoice->identifier(),
                                TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable);
        if (!entry && (links.entry || links.untrusted)) {
            if (TWErrorResult error =
                    createInvoiceTransaction({invoice}, receivable, nullptr, &entry, true))
                return error;
            entry = entry ? transactionWithIdentifier(entry->identifier()) : nullptr;
        }
        if (!entry)
            continue;
        const TWAccountPtr income =
            moved.income ? moved.income
                         : lastInvoiceAccountIdentifier(*invoice, TWAccountTypeIncome);
        TWAccountPtr tax;
        if (invoiceTaxed(*invoice))
            tax = moved.tax ? moved.tax : lastInvoiceAccountIdentifier(*invoice, TWAccountTypeTax);
        if (TWErrorResult error = bookInvoiceEntry(*invoice, entry, receivable, income, tax, true))
            return error;
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::rebookEditedWork(const TWInvoiceList &invoices)
{
    if (invoices.isEmpty())
        return std::nullopt;
    TWErrorResult error = rebookBilledInvoices(invoices);
    if (!error)
        return std::nullopt;
    TWInvoiceList closed;
    for (const TWInvoicePtr &invoice : invoices) {
        if (invoiceOfClosedPeriod(*invoice))
            closed.append(invoice);
    }
    if (closed.isEmpty())
        return error;
    return TWError(
        TWDatabaseErrorDomain, -1,
        TWLocalized(closed.size() < 2 ? "editBilledClosedMessage" : "editBilledClosedMessagePlural")
            .arg(twInvoiceNames(closed)));
}

// ---- Payments a delete takes along ----

TWBusiness::DeletedPayments TWBusiness::paymentsDeletedWith(const TWInvoiceList &invoices,
                                                            const TWBillList &bills)
{
    DeletedPayments deleted;
    // The records deleted, by link type and identifier.
    QSet<std::pair<std::uint32_t, qint32>> deleting;
    QList<std::tuple<std::uint32_t, qint32, qint32>> records; // type, parent, child
    for (const TWInvoicePtr &invoice : invoices) {
        deleting.insert({TWRelationshipTypeInvoicePayment, invoice->identifier()});
        records.append({TWRelationshipTypeInvoicePayment, invoice->projectIdentifier(),
                        invoice->identifier()});
    }
    for (const TWBillPtr &bill : bills) {
        deleting.insert({TWRelationshipTypeBillPayment, bill->identifier()});
        records.append(
            {TWRelationshipTypeBillPayment, bill->merchantIdentifier(), bill->identifier()});
    }
    QSet<qint32> seen;
    QSet<qint32> otherInvoices;
    QSet<qint32> otherBills;
    for (const auto &[type, parent, child] : std::as_const(records)) {
        const bool invoice = type == TWRelationshipTypeInvoicePayment;
        const TWTransactionPtr entry =
            documentEntry(parent, child, type,
                          invoice ? TWAccountTypeAccountsReceivable : TWAccountTypeAccountsPayable);
        for (const TWRelationshipPtr &link :
             relationshipsWithParentIdentifier(parent, child, type)) {
            const qint32 identifier = link->transactionIdentifier();
            if (seen.contains(identifier) || (entry && entry->identifier() == identifier))
                continue;
            const TWTransactionPtr payment = transactionWithIdentifier(identifier);
            if (!payment)
                continue;
            seen.insert(identifier);
            deleted.payments.append(payment);
            deleted.reconciled += payment->cleared() ? 1 : 0;
            if (!payment->hasSplit()) {
                deleted.homeTotal += qAbs(payment->totalBusiness());
            } else {
                for (const TWSplitPtr &split : payment->splits())
                    if (split && split->totalBusiness() > 0)
                        deleted.homeTotal += split->totalBusiness();
            }
            for (const TWRelationshipPtr &other : relationshipsWithTransaction(*payment)) {
                const std::uint32_t otherType = other->type();
                const qint32 otherChild = other->childIdentifier();
                if (deleting.contains({otherType, otherChild}))
                    continue;
                if (otherType == TWRelationshipTypeInvoicePayment &&
                    !otherInvoices.contains(otherChild)) {
                    otherInvoices.insert(otherChild);
                    if (const TWInvoicePtr found = invoiceWithIdentifier(otherChild))
                        deleted.otherInvoices.append(found);
                } else if (otherType == TWRelationshipTypeBillPayment &&
                           !otherBills.contains(otherChild)) {
                    otherBills.insert(otherChild);
                    if (const TWBillPtr found = billWithIdentifier(otherChild))
                        deleted.otherBills.append(found);
                }
            }
        }
    }
    return deleted;
}

// ---- Bills a payment settles ----

TWBusiness::SettledBills TWBusiness::settleBillsPaidBy(const TWTransaction &payment)
{
    SettledBills settled;
    QSet<qint32> seen;
    for (const TWRelationshipPtr &link : relationshipsWithTransaction(payment)) {
        if (link->type() != TWRelationshipTypeBillPayment || seen.contains(link->childIdentifier()))
            continue;
        seen.insert(link->childIdentifier());
        const TWBillPtr stored = billWithIdentifier(link->childIdentifier());
        if (!stored)
            continue;
        const TWBillPtr bill = stored->copy();
        twUpdateTransactions(*bill, *this);
        const TWPaymentEntryList entries = twPaymentEntries(*bill, *this);
        // A bill of nothing yet is not paid by a payment of nothing.
        if (bill->totalWithEntries(entries) <= 0)
            continue;
        const qint64 owe = bill->oweWithEntries(entries);
        if (owe > 0)
            continue;
        if (owe < 0)
            settled.overpaid.append({stored, -owe});
        if (stored->paid())
            continue;
        bill->setPaid(true);
        if (TWErrorResult failed = updateBill(bill, true)) {
            if (!settled.error)
                settled.error = failed;
        } else {
            settled.marked.append(bill);
        }
    }
    return settled;
}

QString twOverpaidBillsText(const QList<TWBusiness::OverpaidBill> &overpaid,
                            const TWBusiness &business)
{
    QStringList lines;
    for (const TWBusiness::OverpaidBill &entry : overpaid)
        lines.append(TWLocalized("billOverpaidMessage")
                         .arg(twBillNames({entry.bill}), TWFormatter::formatter().valueString(
                                                             entry.over, business.homeUnit().get(),
                                                             true, true, false, true, true)));
    return lines.join(QLatin1Char('\n'));
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

QString twDeletedPaymentsText(const TWBusiness::DeletedPayments &deleted,
                              const TWBusiness &business, bool countPayments)
{
    QStringList parts;
    if (countPayments && !deleted.payments.isEmpty()) {
        const QLocale locale;
        parts.append(TWLocalized("deletedPaymentsCount")
                         .arg(locale.toString(qint64(deleted.payments.size())),
                              TWFormatter::formatter().valueString(deleted.homeTotal,
                                                                   business.homeUnit().get(), true,
                                                                   true, false, true, true),
                              locale.toString(qint64(deleted.reconciled))));
    }
    QStringList others;
    if (!deleted.otherInvoices.isEmpty())
        others.append(twInvoiceNames(deleted.otherInvoices));
    if (!deleted.otherBills.isEmpty())
        others.append(twBillNames(deleted.otherBills));
    if (!others.isEmpty())
        parts.append(TWLocalized("deletedPaymentsShared").arg(others.join(QStringLiteral(", "))));
    return parts.join(QStringLiteral("\n\n"));
}

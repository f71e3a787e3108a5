// Which invoices an edit of billed work changes: a task's or an expense's
// line on an invoice is what it bills there (its subtotal for the quantity
// billed, its tax and the rate that tax is grouped under). An edit that
// leaves every line as it was (completing a task, renaming it, moving its
// day) changes no invoice, and nothing the invoices booked is booked again.
// The invoice editor's save reads what an invoice bills the same way.

#include "store/TWBusiness.h"
#include "store/TWWorkTotals.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWWorkArithmetic.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace
{

// The billed columns as the table holds them now, before an update writes.
const char *const kTaskBilledSQL =
    "SELECT type, quantity, rate, taxRate FROM tasks WHERE identifier=?;";
const char *const kExpenseBilledSQL = "SELECT cost, taxRate FROM expenses WHERE identifier=?;";

struct BilledLine {
    qint64 subtotal = 0;
    qint64 tax = 0;
    double taxRate = 0.0;
    bool operator==(const BilledLine &) const = default;
};

template <class Record> BilledLine billedLine(const Record &record, double invoiced)
{
    const auto line = record.copy();
    line->setInvoiceQuantity(invoiced);
    return {line->invoiceSubtotal(), line->invoiceTax(), line->taxRate()};
}

// The invoices of the links whose line differs between the stored record and
// the edited one, each once, in link order.
template <class Record>
TWInvoiceList rebilled(TWBusiness &business, const TWRelationshipList &links, const Record &stored,
                       const Record &edited)
{
    TWInvoiceList invoices;
    QSet<qint32> seen;
    for (const TWRelationshipPtr &link : links) {
        const qint32 identifier = link->parentIdentifier();
        if (seen.contains(identifier) ||
            billedLine(stored, link->value()) == billedLine(edited, link->value()))
            continue;
        seen.insert(identifier);
        if (const TWInvoicePtr invoice = business.invoiceWithIdentifier(identifier))
            invoices.append(invoice);
    }
    return invoices;
}

} // namespace

TWInvoiceList TWBusiness::invoicesRebilledByTask(const TWTask &task)
{
    const TWRelationshipList links =
        relationshipsWithChildIdentifier(task.identifier(), TWRelationshipTypeInvoiceTask);
    if (links.isEmpty())
        return {};
    TWStatement select = statement(kTaskBilledSQL);
    select.bindInt32(task.identifier());
    if (!select.next())
        return {};
    const TWTaskPtr stored = task.copy();
    stored->setTaskType(std::uint32_t(select.columnInt64(0)));
    stored->setQuantity(select.columnDouble(1));
    stored->setRate(select.columnInt64(2));
    stored->setTaxRate(select.columnDouble(3));
    select.reset();
    return rebilled(*this, links, *stored, task);
}

TWInvoiceList TWBusiness::invoicesRebilledByExpense(const TWExpense &expense)
{
    const TWRelationshipList links =
        relationshipsWithChildIdentifier(expense.identifier(), TWRelationshipTypeInvoiceExpense);
    if (links.isEmpty())
        return {};
    TWStatement select = statement(kExpenseBilledSQL);
    select.bindInt32(expense.identifier());
    if (!select.next())
        return {};
    const TWExpensePtr stored = expense.copy();
    stored->setCost(select.columnInt64(0));
    stored->setTaxRate(select.columnDouble(1));
    select.reset();
    return rebilled(*this, links, *stored, expense);
}

TWBusiness::InvoiceBilling TWBusiness::invoiceBilling(const TWInvoice &invoice)
{
    InvoiceBilling billing;
    const auto add = [&billing](std::uint32_t type, qint32 item, const BilledLine &line) {
        billing.lines.append({type, item, line.subtotal, line.tax, line.taxRate});
    };
    // Each line is read as it is handed out, before anything else reads the
    // project and resets the quantities billed.
    for (const TWTaskPtr &task : tasksWithInvoice(invoice)) {
        if (task)
            add(TWRelationshipTypeInvoiceTask, task->identifier(),
                billedLine(*task, task->invoiceQuantity()));
    }
    for (const TWExpensePtr &expense : expensesWithInvoice(invoice)) {
        if (expense)
            add(TWRelationshipTypeInvoiceExpense, expense->identifier(),
                billedLine(*expense, expense->invoiceQuantity()));
    }
    std::sort(billing.lines.begin(), billing.lines.end(),
              [](const InvoiceBilling::Line &a, const InvoiceBilling::Line &b) {
                  return std::pair(a.type, a.item) < std::pair(b.type, b.item);
              });
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    if (project && project->unit())
        billing.unit = project->unit()->code();
    billing.day = TWDateAdditions::dateValue(invoice.date());
    return billing;
}

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

bool TWBusiness::invoiceSaveRebooks(const TWInvoice &invoice, const InvoiceBilling *billedBefore)
{
    return !billedBefore || *billedBefore != invoiceBilling(invoice) || !invoiceEntry(invoice) ||
           invoiceEntryAstray(invoice);
}

bool TWBusiness::invoiceEntryAstray(const TWInvoice &invoice)
{
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    const TWTransactionPtr entry = invoiceEntry(invoice);
    if (!project || project->type() != TWProjectTypeProject || !entry ||
        entry->state() == TWTransactionStateClosed || entry->state() == TWTransactionStateLocked ||
        (entry->date().isValid() && accountingPeriodForDate(entry->date())->closed()))
        return false;
    // A duplicate's copy of its source's entry is booked by the duplicate's
    // own lines at its first save, whatever they bill.
    if (documentEntryIsCopy(invoice.projectIdentifier(), invoice.identifier(),
                            TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable))
        return true;
    // What the entry books on the receivable account, and in which units.
    const auto isReceivable = [this](qint32 identifier) {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account && account->accountType() == TWAccountTypeAccountsReceivable;
    };
    const auto code = [](const TWUnitPtr &unit) { return unit ? unit->code() : QString(); };
    qint64 booked = 0;
    QSet<QString> units;
    if (entry->hasSplit()) {
        for (const TWSplitPtr &split : entry->splits()) {
            if (split && split->total() != 0 && isReceivable(split->accountIdentifier())) {
                booked = TWWorkArithmetic::add(booked, split->total());
                units.insert(code(split->unit()));
            }
        }
    } else if (entry->total() != 0 && isReceivable(entry->account1Identifier())) {
        booked = entry->total();
        units.insert(code(entry->unit()));
    } else if (entry->total() != 0 && isReceivable(entry->account2Identifier())) {
        booked = TWWorkArithmetic::subtract(0, entry->total());
        units.insert(code(entry->unit()));
    }
    if (booked == 0)
        return false;
    // Any payment, write-off or discount keeps the entry as it was booked
    // (for a credit note: money given back to the client): converting it
    // would bill the client an exchange difference on money already settled.
    for (const TWTransactionPtr &view : transactionsWithInvoice(invoice)) {
        const TWTransactionPtr linked =
            view ? transactionWithIdentifier(view->identifier()) : nullptr;
        if (!linked || linked == entry)
            continue;
        const qint64 change = owedChange(*linked, TWAccountTypeAccountsReceivable);
        if (booked > 0 ? change < 0 : change > 0)
            return false;
    }
    const InvoiceBilling billing = invoiceBilling(invoice);
    // Booked in another unit for just what the lines bill: the project's unit
    // changed under an entry nobody cut.
    const bool otherUnit =
        !billing.unit.isEmpty() && (units.size() > 1 || !units.contains(billing.unit));
    return otherUnit && booked == TWInvoice::invoiceTotal(twInvoiceTaskCopies(invoice, *this),
                                                          twInvoiceExpenseCopies(invoice, *this));
}

TWBusiness::InvoiceEntryLines TWBusiness::invoiceEntryLines(const TWInvoice &invoice) const
{
    // One just made books nothing yet: its other account is a placeholder,
    // never the user's choice.
    InvoiceEntryLines lines;
    const TWTransactionPtr entry = invoiceEntry(invoice);
    if (!entry || (!entry->hasSplit() && entry->total() == 0))
        return lines;
    const auto typeOf = [this](qint32 identifier) {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account ? std::uint32_t(account->accountType()) : 0U;
    };
    // Where the user moved a line: anywhere but the receivable, the line's
    // own kind of account and money (a bank is never where income is kept).
    const auto moved = [this, &typeOf](qint32 identifier, std::uint32_t own) -> TWAccountPtr {
        const std::uint32_t type = typeOf(identifier);
        if (type == 0 || type == own || type == TWAccountTypeAccountsReceivable ||
            type == TWAccountTypeIncome || type == TWAccountTypeTax || type == TWAccountTypeBank ||
            type == TWAccountTypeCash || type == TWAccountTypeCreditCard ||
            type == TWAccountTypeCurrentAsset)
            return nullptr;
        return accountWithIdentifier(identifier);
    };
    if (!entry->hasSplit()) {
        const qint32 other = typeOf(entry->account1Identifier()) == TWAccountTypeAccountsReceivable
                                 ? entry->account2Identifier()
                                 : entry->account1Identifier();
        lines.income = moved(other, TWAccountTypeIncome);
        return lines;
    }
    // A taxed entry books, after the receivable line, the tax line, then the
    // income line; a line still on its own kind of account says which it is.
    QList<TWSplitPtr> others;
    for (const TWSplitPtr &split : entry->splits()) {
        if (split && split->total() != 0 &&
            typeOf(split->accountIdentifier()) != TWAccountTypeAccountsReceivable)
            others.append(split);
    }
    if (others.size() == 1) {
        lines.income = moved(others.first()->accountIdentifier(), TWAccountTypeIncome);
        return lines;
    }
    if (others.size() != 2)
        return lines;
    qsizetype income = 1;
    if (typeOf(others.at(0)->accountIdentifier()) == TWAccountTypeIncome ||
        typeOf(others.at(1)->accountIdentifier()) == TWAccountTypeTax)
        income = 0;
    if (typeOf(others.at(1)->accountIdentifier()) == TWAccountTypeIncome ||
        typeOf(others.at(0)->accountIdentifier()) == TWAccountTypeTax)
        income = 1;
    lines.income = moved(others.at(income)->accountIdentifier(), TWAccountTypeIncome);
    lines.tax = moved(others.at(1 - income)->accountIdentifier(), TWAccountTypeTax);
    return lines;
}

#pragma once
// What tasks, expenses and invoices add up to with what the business holds
// for them: a task's time items and project, the invoice links of tasks and
// expenses, an invoice's lines. The records' own arithmetic on given
// quantities and lines is in the model.

#include "model/TWExpense.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "model/TWTask.h"

class TWBusiness;

// ---- Tasks ----

// The project and the task items the business holds for the task.
double twQuantity(const TWTask &task, TWBusiness &business);
// What is left to invoice: the quantity less what the invoice links hold
// (other than `invoice`'s).
double twAvailableQuantity(const TWTask &task, const TWInvoice *invoice, TWBusiness &business);
// The same, and whether an invoice other than `invoice` bills a flat task whole: the task's
// quantity and invoice links are read once for both.
struct TWTaskBilling {
    double available = 0;
    bool billedWhole = false;
};
TWTaskBilling twTaskBilling(const TWTask &task, const TWInvoice *invoice, TWBusiness &business);

inline qint64 twSubtotal(const TWTask &task, TWBusiness &business)
{
    return task.subtotalWithQuantity(twQuantity(task, business));
}
inline qint64 twTax(const TWTask &task, TWBusiness &business)
{
    return task.taxWithQuantity(twQuantity(task, business));
}
inline qint64 twTotal(const TWTask &task, TWBusiness &business)
{
    return task.totalWithQuantity(twQuantity(task, business));
}
// What is left to invoice; a flat task that an invoice bills whole has
// nothing left, whatever its quantity.
qint64 twUninvoicedTotal(const TWTask &task, TWBusiness &business);

// ---- Expenses ----

// What is left to invoice, from the invoice links the business holds.
double twAvailableQuantity(const TWExpense &expense, const TWInvoice *invoice,
                           TWBusiness &business);

// An expense's amounts are its own; these serve code written for tasks and
// expenses alike.
inline qint64 twSubtotal(const TWExpense &expense, TWBusiness &)
{
    return expense.subtotal();
}
inline qint64 twTax(const TWExpense &expense, TWBusiness &)
{
    return expense.tax();
}
inline qint64 twTotal(const TWExpense &expense, TWBusiness &)
{
    return expense.total();
}
inline qint64 twUninvoicedTotal(const TWExpense &expense, TWBusiness &business)
{
    return expense.uninvoicedTotalWithAvailableQuantity(
        twAvailableQuantity(expense, nullptr, business));
}

// ---- Projects ----

// What is left to invoice of the tasks and expenses the business holds for
// the project; the second in the home unit, of the records dated in the
// given span.
qint64 twUninvoicedTotal(const TWProject &project, TWBusiness &business);
qint64 twUninvoicedTotal(const TWProject &project, TWBusiness &business, const QDateTime &fromDate,
                         const QDateTime &toDate);

// ---- Invoices: over the lines the business links to them ----

// Copies of the tasks and expenses the business links to the invoice, taken
// as they are read, each carrying the quantity billed (the store's own objects
// carry that of whichever invoice or project was read last).
TWTaskList twInvoiceTaskCopies(const TWInvoice &invoice, TWBusiness &business);
TWExpenseList twInvoiceExpenseCopies(const TWInvoice &invoice, TWBusiness &business);
// Sets the invoice's tasks and expenses to those copies.
void twUpdateTasksExpenses(TWInvoice &invoice, TWBusiness &business);
qint64 twInvoiceSubtotal(const TWInvoice &invoice, TWBusiness &business);
qint64 twInvoiceTax(const TWInvoice &invoice, TWBusiness &business);
qint64 twInvoiceTasksTotal(const TWInvoice &invoice, TWBusiness &business);
qint64 twInvoiceExpensesTotal(const TWInvoice &invoice, TWBusiness &business);
qint64 twInvoiceTotal(const TWInvoice &invoice, TWBusiness &business);

// The expenses of a business: the table, the in-memory list with its indexes
// by identifier and by project, home totals, the duplicate test of import and
// the deletion that takes an expense's invoice links with it.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "model/TWWorkArithmetic.h"
#include "store/TWWorkColumns.h"
#include "store/TWWorkTotals.h"

#include <sqlite3.h>

namespace
{

const char *const kExpensesMaxIdentifierSQL = "SELECT MAX(identifier) FROM expenses;";
const char *const kExpensesSelectSQL =
    "SELECT identifier, projectIdentifier, date, name, quantity, cost, taxRate, notes "
    "FROM expenses;";
const char *const kExpensesInsertSQL =
    "INSERT INTO expenses ( identifier, projectIdentifier, date, name, quantity, cost, taxRate, "
    "notes ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kExpensesDeleteSQL = "DELETE FROM expenses WHERE identifier=?;";
const char *const kExpensesUpdateSQL =
    "UPDATE expenses SET date=?, name=?, quantity=?, cost=?, taxRate=?, notes=? "
    "WHERE identifier=?;";

} // namespace

// ---- Lookups ----

TWExpensePtr TWBusiness::expenseWithIdentifier(qint32 identifier) const
{
    return m_expenses.withIdentifier(identifier);
}

TWExpenseList TWBusiness::expensesWithProject(const TWProject &project)
{
    TWExpenseList expenses = m_expenses.withOwner(project.identifier());
    for (const TWExpensePtr &expense : std::as_const(expenses))
        expense->setInvoiceQuantity(0.0);
    return expenses;
}

TWExpenseList TWBusiness::expensesWithProjects(const TWProjectList &projects) const
{
    return m_expenses.withOwnerCounts(projectCounts(projects));
}

TWExpenseList TWBusiness::expensesWithInvoice(const TWInvoice &invoice)
{
    TWExpenseList expenses;
    for (const TWRelationshipPtr &link :
         invoiceLinksHook(invoice, TWRelationshipTypeInvoiceExpense)) {
        if (!link || link->type() != TWRelationshipTypeInvoiceExpense ||
            link->parentIdentifier() != invoice.identifier())
            continue;
        // A link whose expense is gone bills nothing.
        const TWExpensePtr expense = m_expenses.withIdentifier(link->childIdentifier());
        if (!expense)
            continue;
        expense->setInvoiceQuantity(link->value());
        expenses.append(expense);
    }
    return expenses;
}

qint32 TWBusiness::nextExpenseIdentifier()
{
    return nextIdentifier(kExpensesMaxIdentifierSQL);
}

qint64 TWBusiness::expenseHomeTotalWithExpenses(const TWExpenseList &expenses)
{
    qint64 total = 0;
    for (const TWExpensePtr &expense : expenses) {
        if (!expense)
            continue;
        const TWProjectPtr project = m_projects.withIdentifier(expense->projectIdentifier());
        const qint64 home = workTotalInHomeCurrencyHook(twTotal(*expense, *this),
                                                        project ? project->unit() : nullptr);
        total = TWWorkArithmetic::add(total, home);
    }
    return total;
}

qint64 TWBusiness::expenseHomeTotalWithProjects(const TWProjectList &projects)
{
    return expenseHomeTotalWithExpenses(expensesWithProjects(projects));
}

bool TWBusiness::matchExpense(const TWExpense &expense) const
{
    for (const TWExpensePtr &listed : m_expenses.withOwner(expense.projectIdentifier())) {
        if (listed->quantity() == expense.quantity() && listed->cost() == expense.cost() &&
            TWDateAdditions::equalDate(listed->date(), expense.date()))
            return true;
    }
    return false;
}

// ---- Loading and writes ----

TWErrorResult TWBusiness::loadExpenses()
{
    m_expenses.clear();
    TWStatement select = statement(kExpensesSelectSQL);
    while (select.next()) {
        m_expenses.load(TWExpense::expenseWithDate(
            TWWorkColumns::dateFromDayColumn(select.columnDouble(2)), select.columnText(3),
            select.columnDouble(4), select.columnInt64(5), select.columnDouble(6),
            select.columnText(7), select.columnInt32(1), select.columnInt32(0)));
    }
    return select.error();
}

TWErrorResult TWBusiness::addExpense(const TWExpensePtr &expense, bool notify)
{
    if (!expense || expense->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kExpensesInsertSQL);
        insert.bindInt32(expense->identifier())
            .bindInt32(expense->projectIdentifier())
            .bindDouble(TWWorkColumns::dayColumn(expense->date()))
            .bindText(expense->name())
            .bindDouble(expense->quantity())
            .bindInt64(expense->cost())
            .bindDouble(expense->taxRate())
            .bindText(expense->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    addClientExpenseValuesHook(expense, notify);
    m_expenses.append(scope, expense);
    TWRecordWrites::post(scope, notify, TWExpenseNewNotification, TWExpenseNotificationKey,
                         expense);
    return scope.commit();
}

TWErrorResult TWBusiness::updateExpense(const TWExpensePtr &expense, bool notify)
{
    if (!expense)
        return databaseError(SQLITE_MISUSE);
    // Compared with the row as stored, before it is written.
    const TWInvoiceList rebilled = invoicesRebilledByExpense(*expense);
    const BilledBeforeEdit billedBefore(*this, rebilled);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kExpensesUpdateSQL);
        update.bindDouble(TWWorkColumns::dayColumn(expense->date()))
            .bindText(expense->name())
            .bindDouble(expense->quantity())
            .bindInt64(expense->cost())
            .bindDouble(expense->taxRate())
            .bindText(expense->notes())
            .bindInt32(expense->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    // The project was not written: the object keeps the stored one.
    if (const std::optional<qint32> stored = m_expenses.storedOwner(*expense);
        stored && *stored != expense->projectIdentifier()) {
        const qint32 before = expense->projectIdentifier();
        expense->setProjectIdentifier(*stored);
        scope.onRollback([expense, before] { expense->setProjectIdentifier(before); });
    }
    m_expenses.replace(scope, expense);
    addClientExpenseValuesHook(expense, notify);
    // What the expense now bills is booked at once on the invoices whose line
    // it changes; the others keep their entries as they are.
    if (TWErrorResult error = rebookEditedWork(rebilled))
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWExpenseUpdateNotification, TWExpenseNotificationKey,
                         expense);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteExpense(const TWExpensePtr &expense, bool notify)
{
    if (!expense)
        return databaseError(SQLITE_MISUSE);
    const TWInvoiceList billed = invoicesBillingExpense(*expense);
    const BilledBeforeEdit billedBefore(*this, billed);
    if (TWErrorResult error = refuseClosedBilling(billed))
        return error;
    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kExpensesDeleteSQL, expense->identifier()))
        return scope.finish(error);
    if (TWErrorResult error = deleteExpenseInvoiceLinksHook(expense))
        return scope.finish(error);
    if (TWErrorResult error = rebookBilledInvoices(billed))
        return scope.finish(error);
    m_expenses.removeIdentifier(scope, expense->identifier());
    TWRecordWrites::post(scope, notify, TWExpenseDeleteNotification, TWExpenseNotificationKey,
                         expense);
    return scope.commit();
}

// ---- Calls into other groups of the store ----

// An expense's name becomes a suggestion of the expense-name list; its
// failure does not fail the expense write.
void TWBusiness::addClientExpenseValuesHook(const TWExpensePtr &expense, bool notify)
{
    rememberValue(expense->name(), TWValueListExpenseNames, notify);
}

// Deletes the links that bill the expense on invoices. A failure fails the
// deletion.
TWErrorResult TWBusiness::deleteExpenseInvoiceLinksHook(const TWExpensePtr &expense)
{
    return deleteChildRelationships(expense->identifier(), TWRelationshipTypeInvoiceExpense);
}

// The invoices of a business: the table, the in-memory list with its indexes
// by identifier and by project, the links to the tasks and expenses an invoice
// bills, its receivable entry and the transactions built for its payments;
// and what the invoice and work records compute with the business's help.

#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"
#include "store/TWRepeatCopies.h"
#include "store/TWWorkTotals.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWRepeat.h"
#include "model/TWWorkArithmetic.h"
#include "store/TWRecordWrites.h"
#include "store/TWTransactionEditing.h"
#include "store/TWWorkColumns.h"

#include <QSet>

#include <functional>

#include <sqlite3.h>

#include <algorithm>

namespace
{

const char *const kInvoicesMaxIdentifierSQL = "SELECT MAX(identifier) FROM invoices;";
const char *const kInvoicesSelectSQL =
    "SELECT identifier, projectIdentifier, date, number, name, sent, paid, dueDate, "
    "repeatIdentifier, notes FROM invoices;";
const char *const kInvoicesInsertSQL =
    "INSERT INTO invoices ( identifier, projectIdentifier, date, number, name, sent, paid, "
    "dueDate, repeatIdentifier, notes ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kInvoicesDeleteSQL = "DELETE FROM invoices WHERE identifier=?;";
const char *const kInvoicesUpdateSQL =
    "UPDATE invoices SET date=?, number=?, name=?, sent=?, paid=?, dueDate=?, "
    "repeatIdentifier=?, notes=? WHERE identifier=?;";
// The value an update leaves alone, and the date it may change, as stored.
const char *const kInvoicesStoredSQL =
    "SELECT projectIdentifier, date FROM invoices WHERE identifier=?;";

// Whether a line is taxed.
bool invoiceTaxed(const TWTaskList &tasks, const TWExpenseList &expenses)
{
    return std::any_of(tasks.cbegin(), tasks.cend(),
                       [](const TWTaskPtr &task) { return task->taxRate() != 0.0; }) ||
           std::any_of(expenses.cbegin(), expenses.cend(),
                       [](const TWExpensePtr &expense) { return expense->taxRate() != 0.0; });
}

// Whether two forms of an entry book the same: the same accounts, amounts
// and units, line by line (the lines' own identifiers aside).
bool sameBooking(const TWTransaction &a, const TWTransaction &b)
{
    const auto code = [](const TWUnitPtr &unit) { return unit ? unit->code() : QString(); };
    if (a.hasSplit() != b.hasSplit() || a.total() != b.total() ||
        a.totalBusiness() != b.totalBusiness() || code(a.unit()) != code(b.unit()))
        return false;
    if (!a.hasSplit())
        return a.account1Identifier() == b.account1Identifier() &&
               a.account2Identifier() == b.account2Identifier() &&
               a.totalAccount1() == b.totalAccount1() && a.totalAccount2() == b.totalAccount2();
    const TWSplitList &left = a.splits();
    const TWSplitList &right = b.splits();
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        const TWSplit &x = *left.at(i);
        const TWSplit &y = *right.at(i);
        if (x.accountIdentifier() != y.accountIdentifier() || x.total() != y.total() ||
            x.totalAccount() != y.totalAccount() || x.totalBusiness() != y.totalBusiness() ||
            code(x.unit()) != code(y.unit()))
            return false;
    }
    return true;
}

// Whether two forms of an entry book the same amounts line by line,
// whatever accounts they name.
bool sameAmounts(const TWTransaction &a, const TWTransaction &b)
{
    const auto code = [](const TWUnitPtr &unit) { return unit ? unit->code() : QString(); };
    if (a.hasSplit() != b.hasSplit())
        return false;
    if (!a.hasSplit())
        return a.total() == b.total() && code(a.unit()) == code(b.unit());
    const TWSplitList &left = a.splits();
    const TWSplitList &right = b.splits();
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (left.at(i)->total() != right.at(i)->total() ||
            code(left.at(i)->unit()) != code(right.at(i)->unit()))
            return false;
    }
    return true;
}

// Whether an entry books anything yet: one just made carries 0.
bool booksSomething(const TWTransaction &entry)
{
    if (!entry.hasSplit())
        return entry.total() != 0;
    for (const TWSplitPtr &split : entry.splits()) {
        if (split && split->total() != 0)
            return true;
    }
    return false;
}

} // namespace

// ---- What the invoice and work records ask of the business ----

void twUpdateTransactions(TWInvoice &invoice, TWBusiness &business)
{
    if (!TWDocumentReadScope::readBefore(business, invoice.readings(), invoice.transactions())) {
        invoice.setTransactions(business.transactionsWithInvoice(invoice));
        TWDocumentReadScope::noteReadFromStore(business, invoice.readings());
    }
}

TWTaskList twInvoiceTaskCopies(const TWInvoice &invoice, TWBusiness &business)
{
    TWTaskList tasks;
    for (const TWTaskPtr &task : business.tasksWithInvoice(invoice)) {
        if (task)
            tasks.append(task->copy());
    }
    return tasks;
}

TWExpenseList twInvoiceExpenseCopies(const TWInvoice &invoice, TWBusiness &business)
{
    TWExpenseList expenses;
    for (const TWExpensePtr &expense : business.expensesWithInvoice(invoice)) {
        if (expense)
            expenses.append(expense->copy());
    }
    return expenses;
}

void twUpdateTasksExpenses(TWInvoice &invoice, TWBusiness &business)
{
    // The invoice keeps its lines across later reads of its project.
    invoice.setTasks(twInvoiceTaskCopies(invoice, business));
    invoice.setExpenses(twInvoiceExpenseCopies(invoice, business));
}

qint64 twInvoiceSubtotal(const TWInvoice &invoice, TWBusiness &business)
{
    return TWInvoice::invoiceSubtotalTotal(business.tasksWithInvoice(invoice),
                                           business.expensesWithInvoice(invoice));
}

qint64 twInvoiceTax(const TWInvoice &invoice, TWBusiness &business)
{
    return TWInvoice::invoiceTaxTotal(business.tasksWithInvoice(invoice),
                                      business.expensesWithInvoice(invoice));
}

qint64 twInvoiceTasksTotal(const TWInvoice &invoice, TWBusiness &business)
{
    return TWInvoice::invoiceTasksTotal(business.tasksWithInvoice(invoice));
}

qint64 twInvoiceExpensesTotal(const TWInvoice &invoice, TWBusiness &business)
{
    return TWInvoice::invoiceExpensesTotal(business.expensesWithInvoice(invoice));
}

qint64 twInvoiceTotal(const TWInvoice &invoice, TWBusiness &business)
{
    return TWInvoice::invoiceTotal(business.tasksWithInvoice(invoice),
                                   business.expensesWithInvoice(invoice));
}

TWPaymentTotals twPaymentTotals(const TWInvoice &invoice, TWBusiness &business)
{
    const TWProjectPtr project = business.projectWithIdentifier(invoice.projectIdentifier());
    return invoice.paymentTotals(twInvoicePaymentEntries(invoice, business),
                                 project ? project->unit() : TWUnitPtr(),
                                 TWBusiness::unitConverter());
}

namespace
{

// What the invoice will be owed once its lines are as `change` leaves copies
// of them. Its entry is then booked again with what the lines bill (whatever
// it booked before), and its payments stay; without an entry, what it is
// owed now changes by what the lines bill less.
qint64 oweWithChangedLines(const TWInvoice &invoice, TWBusiness &business,
                           const std::function<void(TWTaskList &, TWExpenseList &)> &change)
{
    const TWTaskList billedTasks = twInvoiceTaskCopies(invoice, business);
    const TWExpenseList billedExpenses = twInvoiceExpenseCopies(invoice, business);
    TWTaskList tasks = billedTasks;
    TWExpenseList expenses = billedExpenses;
    change(tasks, expenses);
    const qint64 billed = TWInvoice::invoiceTotal(tasks, expenses);
    // A copy: the store's own record keeps the transactions it was last given.
    const TWInvoicePtr copy = invoice.copy();
    twUpdateTransactions(*copy, business);
    const TWPaymentTotals totals = twPaymentTotals(*copy, business);
    if (business.invoiceEntry(invoice))
        return TWWorkArithmetic::subtract(billed, totals.payments);
    const qint64 less =
        TWWorkArithmetic::subtract(TWInvoice::invoiceTotal(billedTasks, billedExpenses), billed);
    return TWWorkArithmetic::subtract(totals.owe, less);
}

} // namespace

qint64 twOweWithoutWork(const TWInvoice &invoice, const TWTaskList &tasks,
                        const TWExpenseList &expenses, TWBusiness &business)
{
    QSet<qint32> goneTasks;
    QSet<qint32> goneExpenses;
    for (const TWTaskPtr &task : tasks)
        goneTasks.insert(task->identifier());
    for (const TWExpensePtr &expense : expenses)
        goneExpenses.insert(expense->identifier());
    return oweWithChangedLines(invoice, business, [&](TWTaskList &lines, TWExpenseList &costs) {
        lines.removeIf(
            [&](const TWTaskPtr &task) { return goneTasks.contains(task->identifier()); });
        costs.removeIf([&](const TWExpensePtr &expense) {
            return goneExpenses.contains(expense->identifier());
        });
    });
}

qint64 twOweWithEditedWork(const TWInvoice &invoice, const TWTaskList &tasks,
                           const TWExpenseList &expenses, TWBusiness &business)
{
    // Each edited record takes the place of its line, billing the same quantity.
    const auto replace = [](auto &lines, const auto &edited) {
        for (auto &line : lines) {
            for (const auto &record : edited) {
                if (record->identifier() != line->identifier())
                    continue;
                const double invoiced = line->invoiceQuantity();
                line = record->copy();
                line->setInvoiceQuantity(invoiced);
            }
        }
    };
    return oweWithChangedLines(invoice, business, [&](TWTaskList &lines, TWExpenseList &costs) {
        replace(lines, tasks);
        replace(costs, expenses);
    });
}

TWInvoicePtr twRepeatInvoice(const TWInvoice &invoice, const QDateTime &date, TWBusiness &business)
{
    return invoice.repeatInvoiceWithDate(date, business.nextInvoiceIdentifier());
}

void twUpdateInvoices(TWProject &project, TWBusiness &business)
{
    TWInvoiceList invoices = business.invoicesWithProject(project);
    for (const TWInvoicePtr &invoice : std::as_const(invoices))
        twUpdateTransactions(*invoice, business);
    project.setInvoices(invoices);
}

qint64 twUninvoicedTotal(const TWProject &project, TWBusiness &business)
{
    return project.uninvoicedTotal(
        business.tasksWithProject(project), business.expensesWithProject(project),
        [&business](const TWTask &task) { return twUninvoicedTotal(task, business); },
        [&business](const TWExpense &expense) { return twUninvoicedTotal(expense, business); });
}

qint64 twUninvoicedTotal(const TWProject &project, TWBusiness &business, const QDateTime &fromDate,
                         const QDateTime &toDate)
{
    return project.uninvoicedTotal(
        business.tasksWithProject(project), business.expensesWithProject(project),
        [&business](const TWTask &task) { return twUninvoicedTotal(task, business); },
        [&business](const TWExpense &expense) { return twUninvoicedTotal(expense, business); },
        fromDate, toDate, business.homeUnit(), TWBusiness::unitConverter());
}

double twAvailableQuantity(const TWTask &task, const TWInvoice *invoice, TWBusiness &business)
{
    return task.availableQuantity(invoice, twQuantity(task, business),
                                  business.relationshipsWithChildIdentifier(
                                      task.identifier(), TWRelationshipTypeInvoiceTask));
}

TWTaskBilling twTaskBilling(const TWTask &task, const TWInvoice *invoice, TWBusiness &business)
{
    const double quantity = twQuantity(task, business);
    const TWRelationshipList links =
        business.relationshipsWithChildIdentifier(task.identifier(), TWRelationshipTypeInvoiceTask);
    return {task.availableQuantity(invoice, quantity, links),
            task.billedWhole(quantity, links, invoice)};
}

qint64 twUninvoicedTotal(const TWTask &task, TWBusiness &business)
{
    const TWTaskBilling billing = twTaskBilling(task, nullptr, business);
    return task.uninvoicedTotalWithAvailableQuantity(billing.available, billing.billedWhole);
}

double twAvailableQuantity(const TWExpense &expense, const TWInvoice *invoice, TWBusiness &business)
{
    return expense.availableQuantity(
        invoice, business.relationshipsWithChildIdentifier(expense.identifier(),
                                                           TWRelationshipTypeInvoiceExpense));
}

// ---- Lookups ----

TWInvoicePtr TWBusiness::invoiceWithIdentifier(qint32 identifier) const
{
    return m_invoices.withIdentifier(identifier);
}

TWInvoiceList TWBusiness::invoicesWithProject(const TWProject &project) const
{
    return m_invoices.withOwner(project.identifier());
}

TWInvoiceList TWBusiness::invoicesWithProjects(const TWProjectList &projects) const
{
    return m_invoices.withOwnerCounts(projectCounts(projects));
}

TWTransactionList TWBusiness::transactionsWithInvoice(const TWInvoice &invoice) const
{
    TWTransactionList views;
    appendPaymentTransactions(views, invoice.projectIdentifier(), invoice.identifier(),
                              TWRelationshipTypeInvoicePayment);
    TWTransaction::sortTransactions(views);
    return views;
}

TWTransactionList TWBusiness::transactionsWithInvoices(const TWInvoiceList &invoices) const
{
    TWTransactionList views;
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice)
            continue;
        if (TWDocumentReadScope::wasRead(*this, invoice->readings()))
            appendViewCopies(views, invoice->transactions());
        else
            appendPaymentTransactions(views, invoice->projectIdentifier(), invoice->identifier(),
                                      TWRelationshipTypeInvoicePayment);
    }
    TWTransaction::sortTransactions(views);
    return views;
}

TWAccountPtr TWBusiness::lastInvoiceAccountIdentifier(const TWInvoice &invoice,
                                                      std::uint32_t type) const
{
    TWTransactionList views = transactionsWithInvoice(invoice);
    // What the lines book (income, tax) is read from the invoice's own entry
    // alone: a late fee or a discount linked to it books an income account
    // of its own, which the lines never take over.
    if (type == TWAccountTypeIncome || type == TWAccountTypeTax) {
        const TWTransactionPtr entry = invoiceEntry(invoice);
        const qint32 kept = entry ? entry->identifier() : 0;
        views.removeIf(
            [kept](const TWTransactionPtr &view) { return !view || view->identifier() != kept; });
    }
    return proposedAccount(views, type, false);
}

qint32 TWBusiness::nextInvoiceIdentifier()
{
    return nextIdentifier(kInvoicesMaxIdentifierSQL);
}

QString TWBusiness::invoiceClientDisplayName(const TWInvoice &invoice) const
{
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    const TWClientPtr client =
        project ? clientWithIdentifier(project->clientIdentifier()) : nullptr;
    if (!client)
        return QString();
    if (!client->company().isEmpty())
        return QStringLiteral("%1 (%2)").arg(client->name(), client->company());
    return client->name();
}

// ---- Loading ----

TWErrorResult TWBusiness::loadInvoices()
{
    m_invoices.clear();
    TWStatement select = statement(kInvoicesSelectSQL);
    while (select.next()) {
        m_invoices.load(TWInvoice::invoiceWithDate(
            TWWorkColumns::dateFromDayColumn(select.columnDouble(2)), select.columnText(3),
            select.columnText(4), (select.columnInt64(5) & 0xFF) != 0,
            (select.columnInt64(6) & 0xFF) != 0,
            TWWorkColumns::dateFromDayColumn(select.columnDouble(7)), select.columnInt32(8),
            select.columnText(9), select.columnInt32(1), select.columnInt32(0)));
    }
    return select.error();
}

// ---- Writes ----

TWErrorResult TWBusiness::addInvoice(const TWInvoicePtr &invoice, bool notify)
{
    // Identifier 0 is what a failed nextInvoiceIdentifier gives: never stored.
    if (!invoice || invoice->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kInvoicesInsertSQL);
        insert.bindInt32(invoice->identifier())
            .bindInt32(invoice->projectIdentifier())
            .bindDouble(TWWorkColumns::dayColumn(invoice->date()))
            .bindText(invoice->number())
            .bindText(invoice->name())
            .bindBool(invoice->sent())
            .bindBool(invoice->paid())
            .bindDouble(TWWorkColumns::dayColumn(invoice->dueDate()))
            .bindInt32(invoice->repeatIdentifier())
            .bindText(invoice->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    // A suggestion is not worth losing the record for: its failure (undone
    // on its own) does not fail the invoice.
    (void)rememberValue(invoice->name(), TWValueListInvoiceNames, notify);
    m_invoices.append(scope, invoice);
    TWRecordWrites::post(scope, notify, TWInvoiceNewNotification, TWInvoiceNotificationKey,
                         invoice);
    return scope.commit();
}

TWErrorResult TWBusiness::updateInvoice(const TWInvoicePtr &invoice, bool notify)
{
    if (!invoice)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    QDateTime storedDate;
    {
        // The project is not written: the object takes the stored one, so the
        // list (and its index by project) shows what the file holds.
        TWStatement stored = statement(kInvoicesStoredSQL);
        stored.bindInt32(invoice->identifier());
        if (!stored.next()) {
            if (TWErrorResult error = stored.error())
                return scope.finish(error);
            return scope.finish(databaseError(SQLITE_NOTFOUND));
        }
        const qint32 project = stored.columnInt32(0);
        storedDate = TWWorkColumns::dateFromDayColumn(stored.columnDouble(1));
        const qint32 projectBefore = invoice->projectIdentifier();
        if (project != projectBefore) {
            invoice->setProjectIdentifier(project);
            scope.onRollback(
                [invoice, projectBefore] { invoice->setProjectIdentifier(projectBefore); });
        }
    }
    {
        TWStatement update = statement(kInvoicesUpdateSQL);
        update.bindDouble(TWWorkColumns::dayColumn(invoice->date()))
            .bindText(invoice->number())
            .bindText(invoice->name())
            .bindBool(invoice->sent())
            .bindBool(invoice->paid())
            .bindDouble(TWWorkColumns::dayColumn(invoice->dueDate()))
            .bindInt32(invoice->repeatIdentifier())
            .bindText(invoice->notes())
            .bindInt32(invoice->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    m_invoices.replace(scope, invoice);
    (void)rememberValue(invoice->name(), TWValueListInvoiceNames, notify);
    TWRecordWrites::post(scope, notify, TWInvoiceUpdateNotification, TWInvoiceNotificationKey,
                         invoice);
    // The receivable entry follows the invoice only when its date changes:
    // otherwise it keeps its own day, wherever an earlier save put it.
    if (TWDateAdditions::compareDate(storedDate, invoice->date()) != 0) {
        if (TWErrorResult error =
                moveDocumentEntry(invoice->projectIdentifier(), invoice->identifier(),
                                  TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable,
                                  invoice->date(), notify))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::deleteInvoice(const TWInvoicePtr &invoice, bool notify)
{
    return deleteInvoiceRecord(invoice, notify, true);
}

TWErrorResult TWBusiness::deleteInvoiceRecord(const TWInvoicePtr &invoice, bool notify,
                                              bool refreshRepeats)
{
    if (!invoice)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: the row, the transactions, the links,
    // the list and the notifications go together or stay together.
    WriteScope scope(*this);
    // The latest invoice of a repeat, deleted alone, stays deleted.
    if (refreshRepeats && invoice->repeatIdentifier() != 0) {
        if (TWErrorResult error = moveRepeatPastItem(invoice->repeatIdentifier(), invoice->date()))
            return scope.finish(error);
    }
    {
        if (TWErrorResult error =
                TWRecordWrites::deleteRow(*this, kInvoicesDeleteSQL, invoice->identifier()))
            return scope.finish(error);
    }
    if (TWErrorResult error = deletePaymentLinks(
            invoice->projectIdentifier(), invoice->identifier(), TWRelationshipTypeInvoicePayment))
        return scope.finish(error);
    if (TWErrorResult error =
            deleteParentRelationships(invoice->identifier(), TWRelationshipTypeInvoiceTask))
        return scope.finish(error);
    if (TWErrorResult error =
            deleteParentRelationships(invoice->identifier(), TWRelationshipTypeInvoiceExpense))
        return scope.finish(error);
    m_invoices.removeIdentifier(scope, invoice->identifier());
    TWRecordWrites::post(scope, notify, TWInvoiceDeleteNotification, TWInvoiceNotificationKey,
                         invoice);
    if (TWErrorResult error = scope.commit())
        return error;
    // The invoice may have been the latest of a repeat: every repeat, the
    // inactive ones too. Its result is not the delete's.
    if (refreshRepeats)
        (void)finishTransactionWrite(false, {0}, false, notify);
    return std::nullopt;
}

TWErrorResult TWBusiness::deleteRepeatInvoices(const std::shared_ptr<TWRepeat> &repeat, bool notify)
{
    // Identifier 0 would name every invoice without a repeat.
    if (!repeat || repeat->identifier() == 0)
        return std::nullopt;
    WriteScope scope(*this);
    const TWInvoiceList listed = m_invoices.list();
    for (auto it = listed.crbegin(); it != listed.crend(); ++it) {
        if ((*it)->repeatIdentifier() != repeat->identifier())
            continue;
        // No repeat refresh here: the repeat goes next, and a refresh could
        // make again the invoices being deleted.
        if (TWErrorResult error = deleteInvoiceRecord(*it, notify, false))
            return scope.finish(error);
    }
    return scope.finish(deleteRepeatHook(repeat));
}

TWErrorResult TWBusiness::updateInvoiceItems(const TWInvoicePtr &invoice, const TWTaskList &tasks,
                                             const TWExpenseList &expenses)
{
    // Identifier 0 is no stored invoice (and would name other links).
    if (!invoice || invoice->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    const qint32 identifier = invoice->identifier();
    // The lines as they are linked now: a save that bills the same items at
    // the same quantities writes no link.
    {
        QList<std::tuple<std::uint32_t, qint32, double>> linked;
        QList<std::tuple<std::uint32_t, qint32, double>> wanted;
        for (const std::uint32_t type : {std::uint32_t(TWRelationshipTypeInvoiceTask),
                                         std::uint32_t(TWRelationshipTypeInvoiceExpense)})
            for (const TWRelationshipPtr &link :
                 relationshipsWithParentIdentifier(identifier, type))
                linked.append({type, link->childIdentifier(), link->value()});
        for (const TWTaskPtr &task : tasks)
            if (task)
                wanted.append(
                    {TWRelationshipTypeInvoiceTask, task->identifier(), task->invoiceQuantity()});
        for (const TWExpensePtr &expense : expenses)
            if (expense)
                wanted.append({TWRelationshipTypeInvoiceExpense, expense->identifier(),
                               expense->invoiceQuantity()});
        if (linked == wanted)
            return std::nullopt;
    }
    // Relinked in one write: a failure leaves the old links, never half of
    // the new ones.
    WriteScope scope(*this);
    if (TWErrorResult error = deleteParentRelationships(identifier, TWRelationshipTypeInvoiceTask))
        return scope.finish(error);
    if (TWErrorResult error =
            deleteParentRelationships(identifier, TWRelationshipTypeInvoiceExpense))
        return scope.finish(error);
    const auto link = [this, identifier](std::uint32_t type, double quantity,
                                         qint32 item) -> TWErrorResult {
        const qint32 relationship = nextRelationshipIdentifier();
        if (relationship == 0)
            return databaseError(SQLITE_ERROR);
        return addRelationship(TWRelationship::relationshipWithType(type, quantity, identifier,
                                                                    item, 0, 0, relationship),
                               true);
    };
    for (const TWTaskPtr &task : tasks) {
        if (!task)
            continue;
        if (TWErrorResult error =
                link(TWRelationshipTypeInvoiceTask, task->invoiceQuantity(), task->identifier()))
            return scope.finish(error);
    }
    for (const TWExpensePtr &expense : expenses) {
        if (!expense)
            continue;
        if (TWErrorResult error = link(TWRelationshipTypeInvoiceExpense, expense->invoiceQuantity(),
                                       expense->identifier()))
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- The ledger side ----

TWErrorResult TWBusiness::createInvoiceTransaction(const TWInvoiceList &invoices,
                                                   const TWAccountPtr &account,
                                                   TWRelationshipList *relationships,
                                                   TWTransactionPtr *transaction,
                                                   bool addTransaction)
{
    QList<PaymentTarget> targets;
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice)
            continue;
        const TWProjectPtr project = projectWithIdentifier(invoice->projectIdentifier());
        const QString projectName = project ? project->name() : QString();
        QString text;
        if (!projectName.isEmpty() && !invoice->name().isEmpty())
            text = projectName + QStringLiteral(" - ") + invoice->name();
        else if (!projectName.isEmpty())
            text = projectName;
        else if (!invoice->name().isEmpty())
            text = invoice->name();
        PaymentTarget target;
        target.type = TWRelationshipTypeInvoicePayment;
        target.parentIdentifier = invoice->projectIdentifier();
        target.childIdentifier = invoice->identifier();
        target.payee = invoiceClientDisplayName(*invoice);
        target.description = text;
        target.splitText = text.isNull() ? QStringLiteral("") : text;
        target.date = invoice->date();
        if (!target.payee.isEmpty())
            target.splitText = target.payee + QStringLiteral(" - ") + target.splitText;
        targets.append(target);
    }
    return createPaymentTransaction(targets, account, relationships, transaction, addTransaction);
}

TWErrorResult TWBusiness::updateInvoiceTransaction(const TWInvoicePtr &invoice,
                                                   const TWAccountPtr &accountsReceivableAccount,
                                                   const TWAccountPtr &incomeAccount,
                                                   const TWAccountPtr &taxAccount)
{
    if (!invoice || !accountsReceivableAccount || !incomeAccount)
        return databaseError(SQLITE_MISUSE);
    if (!projectWithIdentifier(invoice->projectIdentifier()))
        return databaseError(SQLITE_NOTFOUND);
    // A taxed invoice books its tax on the tax account: without one, nothing
    // would balance.
    if (!taxAccount && invoiceTaxed(*invoice))
        return databaseError(SQLITE_MISUSE);

    WriteScope scope(*this);
    // The entry made with the invoice; without one (or where a payment was
    // kept as the entry, which stays a payment) a new entry is made.
    TWTransactionPtr entry = rebookableInvoiceEntry(*invoice);
    // Change from the usual way of building the entry: a new one carries the
    // invoice's date (and follows it when the invoice's date changes, see
    // `updateInvoice`), so the income lands in the invoice's period. An
    // entry already there is booked on its own day: only what it books
    // changes here, and a closed period is never booked into.
    if (!entry) {
        if (TWErrorResult error = createInvoiceTransaction({invoice}, accountsReceivableAccount,
                                                           nullptr, &entry, true))
            return scope.finish(error);
        // The object just stored is the listed one.
        entry = transactionWithIdentifier(entry->identifier());
        if (!entry)
            return scope.finish(databaseError(SQLITE_NOTFOUND));
    }
    return scope.finish(bookInvoiceEntry(*invoice, entry, accountsReceivableAccount, incomeAccount,
                                         taxAccount, true));
}

bool TWBusiness::invoiceTaxed(const TWInvoice &invoice)
{
    return ::invoiceTaxed(tasksWithInvoice(invoice), expensesWithInvoice(invoice));
}

TWErrorResult TWBusiness::bookInvoiceEntry(const TWInvoice &invoice, const TWTransactionPtr &entry,
                                           const TWAccountPtr &accountsReceivableAccount,
                                           const TWAccountPtr &incomeAccount,
                                           const TWAccountPtr &taxAccount, bool fromUser)
{
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    if (!project || !entry || !accountsReceivableAccount || !incomeAccount)
        return databaseError(SQLITE_MISUSE);
    // Copies of the lines, taken as they are read: the entry written below
    // posts notifications, and whatever reads the project on one would zero
    // the billed quantities on the store's own objects.
    const TWTaskList tasks = twInvoiceTaskCopies(invoice, *this);
    const TWExpenseList expenses = twInvoiceExpenseCopies(invoice, *this);
    const bool taxed = ::invoiceTaxed(tasks, expenses);
    if (taxed && !taxAccount)
        return databaseError(SQLITE_MISUSE);

    WriteScope scope(*this);
    // The listed transaction is changed in place: a failure puts it back.
    const TWTransaction before = *entry;
    scope.onRollback([entry, before] { *entry = before; });

    const TWUnitPtr &unit = project->unit();
    const qint32 receivable = accountsReceivableAccount->identifier();
    entry->setActiveAccountIdentifier(receivable);
    if (taxed) {
        const qint64 subtotal = TWInvoice::invoiceSubtotalTotal(tasks, expenses);
        const qint64 tax = TWInvoice::invoiceTaxTotal(tasks, expenses);
        TWSplitList splits;
        const auto line = [&splits, &unit](qint32 account, qint64 total) {
            // Identifier 0: numbered when stored.
            splits.append(
                TWSplit::splitWithIdentifier(0, QString(), account, total, 0, 0, 0, 0, unit));
        };
        line(receivable, TWWorkArithmetic::add(subtotal, tax));
        line(taxAccount->identifier(), TWWorkArithmetic::subtract(0, tax));
        line(incomeAccount->identifier(), TWWorkArithmetic::subtract(0, subtotal));
        entry->setHasSplit(true);
        entry->setSplits(splits);
        // Converted together, so that the lines balance in the home unit too.
        twUpdateSplitTotals(*entry, *this);
    } else {
        // No longer split either: lines left from a taxed form would
        // otherwise keep counting in the balances.
        entry->setHasSplit(false);
        entry->setSplits({});
        entry->setAccount1Identifier(receivable);
        entry->setAccount2Identifier(incomeAccount->identifier());
        entry->setTotal(TWInvoice::invoiceTotal(tasks, expenses));
        entry->setUnit(unit);
    }
    qint64 debitsHome = 0;
    if (taxed) {
        // A split transaction's total is its size, as the register and the
        // import store it: what its debit lines come to (the receivable's
        // subtotal and tax). Filters, reports and exports read it.
        qint64 debits = 0;
        for (const TWSplitPtr &split : entry->splits()) {
            if (split && split->total() > 0)
                debits = TWWorkArithmetic::add(debits, split->total());
            if (split && split->totalBusiness() > 0)
                debitsHome = TWWorkArithmetic::add(debitsHome, split->totalBusiness());
        }
        entry->setTotal(debits);
        entry->setUnit(unit);
    }
    twUpdateTotals(*entry, TWTotalTypeTotal, TWTotalTypeAll, *this);
    if (taxed)
        entry->setTotalBusiness(debitsHome);
    // An entry that books the same as before is not written again, also
    // when the user moved it to other accounts (income billed in advance
    // kept on a deferred-revenue account): what the lines bill has not
    // changed. One that is closed (or lies in a closed period) does not
    // change: a save that would change it is refused, saying why.
    if (sameBooking(before, *entry) || (booksSomething(before) && sameAmounts(before, *entry))) {
        scope.rollback();
        return std::nullopt;
    }
    const bool closed =
        before.state() == TWTransactionStateClosed || before.state() == TWTransactionStateLocked ||
        (before.date().isValid() && accountingPeriodForDate(before.date())->closed());
    if (closed)
        return scope.finish(
            TWError(TWDatabaseErrorDomain, -1, TWLocalized("closedEntryChangeMessage")));
    // Saved from the editor, the entry is the user's; made by a repeat, the
    // generation announces and closes the books once for the whole run.
    if (TWErrorResult error = updateTransaction(entry, fromUser, fromUser, fromUser, fromUser))
        return scope.finish(error);
    // The marks follow what was written: this is the entry.
    return scope.finish(settleDocumentMarks(invoice.projectIdentifier(), invoice.identifier(),
                                            TWRelationshipTypeInvoicePayment, entry->identifier()));
}

void TWBusiness::rebookRepeatInvoiceEntry(const TWInvoice &invoice)
{
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    if (!project || project->type() != TWProjectTypeProject)
        return;
    const TWTransactionPtr entry =
        documentEntry(invoice.projectIdentifier(), invoice.identifier(),
                      TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable);
    if (!entry || entry->state() == TWTransactionStateClosed ||
        entry->state() == TWTransactionStateLocked)
        return;
    // The accounts the copied entry books on, else those an invoice of the
    // editor would be proposed.
    const auto account = [this, &entry, &invoice](std::uint32_t type) {
        const auto ofType = [this, type](qint32 identifier) -> TWAccountPtr {
            const TWAccountPtr found = accountWithIdentifier(identifier);
            return found && std::uint32_t(found->accountType()) == type ? found : nullptr;
        };
        TWAccountPtr found;
        if (entry->hasSplit()) {
            for (const TWSplitPtr &split : entry->splits()) {
                if (!found && split)
                    found = ofType(split->accountIdentifier());
            }
        } else {
            found = ofType(entry->account1Identifier());
            if (!found)
                found = ofType(entry->account2Identifier());
        }
        return found ? found : lastInvoiceAccountIdentifier(invoice, type);
    };
    // A line the user moved on the source's entry (income billed in
    // advance, a tax line kept on a liability) is booked again where it is,
    // line by line, as the editor books it.
    const InvoiceEntryLines moved = invoiceEntryLines(invoice);
    // A failure leaves the copied amounts, as the run goes on with its
    // other records.
    (void)bookInvoiceEntry(invoice, entry, account(TWAccountTypeAccountsReceivable),
                           moved.income ? moved.income : account(TWAccountTypeIncome),
                           moved.tax ? moved.tax : account(TWAccountTypeTax), false);
}

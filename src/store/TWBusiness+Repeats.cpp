// Repeats: the schedules that bring transactions, invoices and bills back
// every interval, the records each schedule has made, and the generation of
// the occurrences that have fallen due up to today.

#include "store/TWBusiness.h"
#include "store/TWRepeatCopies.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "store/TWRecordWrites.h"
#include "store/TWStoreLists.h"
#include "store/TWTransactionEditing.h"
#include "store/TWWorkTotals.h"

#include <QVariant>

#include <sqlite3.h>

#include <algorithm>

namespace
{

const char *const kRepeatsMaxIdentifierSQL = "SELECT MAX(identifier) FROM repeats;";
const char *const kRepeatsSelectSQL =
    "SELECT identifier, type, interval, intervalUnit, endDate, active FROM repeats;";
const char *const kRepeatsInsertSQL =
    "INSERT INTO repeats ( identifier, type, interval, "
    "intervalUnit, endDate, active ) VALUES ( ?, ?, ?, ?, ?, ? );";
const char *const kRepeatsUpdateSQL =
    "UPDATE repeats SET interval=?, intervalUnit=?, endDate=?, active=? WHERE identifier=?;";
const char *const kRepeatsDeleteSQL = "DELETE FROM repeats WHERE identifier=?;";

const char *const kTransactionsDetachSQL =
    "UPDATE transactions SET repeatIdentifier=0 WHERE repeatIdentifier=?;";
const char *const kInvoicesDetachSQL =
    "UPDATE invoices SET repeatIdentifier=0 WHERE repeatIdentifier=?;";
const char *const kBillsDetachSQL = "UPDATE bills SET repeatIdentifier=0 WHERE repeatIdentifier=?;";
const char *const kInvoicesOfRepeatSQL =
    "SELECT identifier FROM invoices WHERE repeatIdentifier=?;";
const char *const kBillsOfRepeatSQL = "SELECT identifier FROM bills WHERE repeatIdentifier=?;";

// The item on the latest (earliest) day; packed days compare as integers.
const char *const kTransactionsLatestSQL =
    "SELECT identifier FROM transactions WHERE date=(SELECT max(date) FROM transactions WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";
const char *const kTransactionsFirstSQL =
    "SELECT identifier FROM transactions WHERE date=(SELECT min(date) FROM transactions WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";
const char *const kInvoicesLatestSQL =
    "SELECT identifier FROM invoices WHERE date=(SELECT max(date) FROM invoices WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";
const char *const kInvoicesFirstSQL =
    "SELECT identifier FROM invoices WHERE date=(SELECT min(date) FROM invoices WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";
const char *const kBillsLatestSQL =
    "SELECT identifier FROM bills WHERE date=(SELECT max(date) FROM bills WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";
const char *const kBillsFirstSQL =
    "SELECT identifier FROM bills WHERE date=(SELECT min(date) FROM bills WHERE "
    "repeatIdentifier=?) AND repeatIdentifier=?;";

// The day of the month a monthly series keeps.
int seriesDayOf(const QDateTime &date)
{
    return date.toLocalTime().date().day();
}

template <typename T> bool lessByCompare(const std::shared_ptr<T> &a, const std::shared_ptr<T> &b)
{
    return a->compare(*b) < 0;
}

} // namespace

// ---- The model's operation that needs the business ----

QDateTime twNextRepeatDate(const TWRepeat &repeat, const QDateTime &date, TWBusiness &business)
{
    // A monthly series keeps the day of its first record; a schedule whose
    // first record cannot be found keeps the day it steps from.
    const TWRepeatItem first = business.firstItemWithRepeatIdentifier(repeat.identifier());
    const QDateTime firstDate = first.isNull() ? QDateTime() : first.date();
    return repeat.nextDateFromDate(date, seriesDayOf(firstDate.isValid() ? firstDate : date));
}

TWTransactionPtr twRepeatTransaction(const TWTransaction &transaction, const QDateTime &date,
                                     TWBusiness &business)
{
    // Identifier 0 is what a failed `nextTransactionIdentifier` gives.
    const qint32 identifier = business.nextTransactionIdentifier();
    if (identifier == 0)
        return nullptr;
    const TWTransactionPtr repeated =
        transaction.repeatTransactionWithDate(date, identifier, false);
    // Closed when its own day lies in a closed accounting period.
    if (business.transactionClosed(*repeated))
        repeated->setState(TWTransactionStateClosed);
    return repeated;
}

// ---- List and table ----

TWRepeatPtr TWBusiness::repeatWithIdentifier(qint32 identifier) const
{
    return m_repeatIndex.value(identifier);
}

qint32 TWBusiness::nextRepeatIdentifier()
{
    return nextIdentifier(kRepeatsMaxIdentifierSQL);
}

QList<std::uint32_t> TWBusiness::repeatUnits()
{
    return {TWRepeatIntervalUnitDay, TWRepeatIntervalUnitWeek, TWRepeatIntervalUnitMonth,
            TWRepeatIntervalUnitYear};
}

TWErrorResult TWBusiness::loadRepeats()
{
    m_repeats.clear();
    m_repeatIndex.clear();
    TWStatement query = statement(kRepeatsSelectSQL);
    while (query.next()) {
        const qint64 endDate = query.columnInt64(4);
        const TWRepeatPtr repeat = TWRepeat::repeatWithType(
            std::uint32_t(query.columnInt64(1)), std::uint32_t(query.columnInt64(2)),
            std::uint32_t(query.columnInt64(3)),
            endDate == 0 ? QDateTime() : TWDateAdditions::dateWithValue(std::uint32_t(endDate)),
            query.columnBool(5), query.columnInt32(0));
        m_repeats.append(repeat);
        if (!m_repeatIndex.contains(repeat->identifier()))
            m_repeatIndex.insert(repeat->identifier(), repeat);
    }
    return query.error();
}

TWErrorResult TWBusiness::addRepeat(const TWRepeatPtr &repeat, bool notify)
{
    // Identifier 0 is what a failed `nextRepeatIdentifier` gives.
    if (!repeat || repeat->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    if (m_repeats.contains(repeat))
        return databaseError(SQLITE_CONSTRAINT);
    WriteScope scope(*this);
    TWStatement insert = statement(kRepeatsInsertSQL);
    insert.bindInt32(repeat->identifier())
        .bindInt64(qint64(repeat->type()))
        .bindInt64(qint64(repeat->interval()))
        .bindInt64(qint64(repeat->intervalUnit()))
        .bindInt64(qint64(TWDateAdditions::dateValue(repeat->endDate())))
        .bindBool(repeat->active());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    TWStoreLists::append(scope, m_repeats, m_repeatIndex, repeat);
    TWRecordWrites::post(scope, notify, TWRepeatNewNotification, TWRepeatNotificationKey, repeat);
    return scope.commit();
}

TWErrorResult TWBusiness::updateRepeat(const TWRepeatPtr &repeat, bool notify)
{
    if (!repeat)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement update = statement(kRepeatsUpdateSQL);
    update.bindInt64(qint64(repeat->interval()))
        .bindInt64(qint64(repeat->intervalUnit()))
        .bindInt64(qint64(TWDateAdditions::dateValue(repeat->endDate())))
        .bindBool(repeat->active())
        .bindInt32(repeat->identifier());
    // Listing an object that has no row would make a schedule that is lost
    // at the next opening.
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    TWStoreLists::replaceListed(scope, m_repeats, m_repeatIndex, repeat);
    TWRecordWrites::post(scope, notify, TWRepeatUpdateNotification, TWRepeatNotificationKey,
                         repeat);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteRepeat(const TWRepeatPtr &repeat, bool notify)
{
    if (!repeat)
        return databaseError(SQLITE_MISUSE);
    const qint32 identifier = repeat->identifier();
    // Identifier 0 would name every record that belongs to no schedule.
    if (identifier == 0)
        return std::nullopt;
    const TWRepeatPtr listed = repeatWithIdentifier(identifier);
    // The stored type decides which records are the items.
    const std::uint32_t type = listed ? listed->type() : repeat->type();

    WriteScope scope(*this);
    {
        if (TWErrorResult error = TWRecordWrites::deleteRow(*this, kRepeatsDeleteSQL, identifier))
            return scope.finish(error);
    }
    const bool stored = sqlite3_changes(database()) > 0;

    // The items stay, as records of their own.
    switch (type) {
    case TWRepeatTypeTransaction: {
        TWStatement detach = statement(kTransactionsDetachSQL);
        detach.bindInt32(identifier);
        if (TWErrorResult error = detach.execute())
            return scope.finish(error);
        for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
            if (transaction->repeatIdentifier() != identifier)
                continue;
            transaction->setRepeatIdentifier(0);
            scope.onRollback(
                [transaction, identifier] { transaction->setRepeatIdentifier(identifier); });
        }
        break;
    }
    case TWRepeatTypeInvoice:
    case TWRepeatTypeBill: {
        const bool invoices = type == TWRepeatTypeInvoice;
        QList<qint32> items;
        {
            TWStatement query = statement(invoices ? kInvoicesOfRepeatSQL : kBillsOfRepeatSQL);
            query.bindInt32(identifier);
            while (query.next())
                items.append(query.columnInt32(0));
            if (TWErrorResult error = query.error())
                return scope.finish(error);
        }
        TWStatement detach = statement(invoices ? kInvoicesDetachSQL : kBillsDetachSQL);
        detach.bindInt32(identifier);
        if (TWErrorResult error = detach.execute())
            return scope.finish(error);
        for (const qint32 item : std::as_const(items)) {
            if (invoices) {
                if (const TWInvoicePtr invoice = repeatInvoiceWithIdentifierHook(item)) {
                    invoice->setRepeatIdentifier(0);
                    scope.onRollback(
                        [invoice, identifier] { invoice->setRepeatIdentifier(identifier); });
                }
            } else if (const TWBillPtr bill = repeatBillWithIdentifierHook(item)) {
                bill->setRepeatIdentifier(0);
                scope.onRollback([bill, identifier] { bill->setRepeatIdentifier(identifier); });
            }
        }
        break;
    }
    default:
        break;
    }

    if (TWErrorResult error = deleteParentRelationships(identifier, TWRelationshipTypeRepeatPast))
        return scope.finish(error);
    if (listed)
        TWStoreLists::removeListed(scope, m_repeats, m_repeatIndex, listed);
    if (notify && (stored || listed))
        scope.post(TWRepeatDeleteNotification,
                   TWRecordWrites::userInfo(TWRepeatNotificationKey, repeat));
    return scope.commit();
}

// ---- Items ----

TWRepeatItemList TWBusiness::itemsWithRepeatIdentifier(qint32 repeatIdentifier)
{
    TWRepeatItemList items;
    const TWRepeatPtr repeat =
        repeatIdentifier != 0 ? repeatWithIdentifier(repeatIdentifier) : TWRepeatPtr();
    if (!repeat)
        return items;
    switch (repeat->type()) {
    case TWRepeatTypeTransaction: {
        TWTransactionList views;
        for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
            if (transaction->repeatIdentifier() == repeatIdentifier)
                views.append(
                    transaction->transactionForActiveAccount(transaction->account1Identifier(), 0));
        }
        TWTransaction::sortTransactions(views);
        for (const TWTransactionPtr &view : std::as_const(views))
            items.append(TWRepeatItem(view));
        break;
    }
    case TWRepeatTypeInvoice:
    case TWRepeatTypeBill: {
        const bool invoices = repeat->type() == TWRepeatTypeInvoice;
        TWStatement query = statement(invoices ? kInvoicesOfRepeatSQL : kBillsOfRepeatSQL);
        query.bindInt32(repeatIdentifier);
        TWInvoiceList invoiceItems;
        TWBillList billItems;
        while (query.next()) {
            if (invoices) {
                if (TWInvoicePtr invoice = repeatInvoiceWithIdentifierHook(query.columnInt32(0)))
                    invoiceItems.append(invoice);
            } else if (TWBillPtr bill = repeatBillWithIdentifierHook(query.columnInt32(0))) {
                billItems.append(bill);
            }
        }
        std::stable_sort(invoiceItems.begin(), invoiceItems.end(), lessByCompare<TWInvoice>);
        std::stable_sort(billItems.begin(), billItems.end(), lessByCompare<TWBill>);
        for (const TWInvoicePtr &invoice : std::as_const(invoiceItems))
            items.append(TWRepeatItem(invoice));
        for (const TWBillPtr &bill : std::as_const(billItems))
            items.append(TWRepeatItem(bill));
        break;
    }
    default:
        break;
    }
    return items;
}

TWRepeatItem TWBusiness::latestItemWithRepeatIdentifier(qint32 repeatIdentifier)
{
    const TWRepeatPtr repeat = repeatWithIdentifier(repeatIdentifier);
    return repeat ? repeatItemWithSQL(repeat->type(), repeatIdentifier, true) : TWRepeatItem();
}

TWRepeatItem TWBusiness::firstItemWithRepeatIdentifier(qint32 repeatIdentifier)
{
    const TWRepeatPtr repeat = repeatWithIdentifier(repeatIdentifier);
    return repeat ? repeatItemWithSQL(repeat->type(), repeatIdentifier, false) : TWRepeatItem();
}

QDateTime TWBusiness::repeatPastDate(qint32 repeatIdentifier) const
{
    double latest = 0;
    if (repeatIdentifier != 0) {
        for (const TWRelationshipPtr &link :
             relationshipsWithParentIdentifier(repeatIdentifier, TWRelationshipTypeRepeatPast))
            latest = std::max(latest, link->value());
    }
    return latest > 0 ? TWDateAdditions::dateWithValue(std::uint32_t(latest)) : QDateTime();
}

TWErrorResult TWBusiness::moveRepeatPastItem(qint32 repeatIdentifier, const QDateTime &date)
{
    if (repeatIdentifier == 0 || !repeatWithIdentifier(repeatIdentifier) || !date.isValid())
        return std::nullopt;
    const TWRepeatItem latest = latestItemWithRepeatIdentifier(repeatIdentifier);
    if (latest.isNull() || TWDateAdditions::compareDate(date, latest.date()) < 0)
        return std::nullopt;
    const QDateTime past = repeatPastDate(repeatIdentifier);
    if (past.isValid() && TWDateAdditions::compareDate(past, date) >= 0)
        return std::nullopt;
    WriteScope scope(*this);
    if (TWErrorResult error =
            deleteParentRelationships(repeatIdentifier, TWRelationshipTypeRepeatPast))
        return scope.finish(error);
    const qint32 identifier = nextRelationshipIdentifier();
    if (identifier == 0)
        return scope.finish(databaseError(SQLITE_ERROR));
    return scope.finish(addRelationship(
        TWRelationship::relationshipWithType(TWRelationshipTypeRepeatPast,
                                             double(TWDateAdditions::dateValue(date)),
                                             repeatIdentifier, 0, 0, 0, identifier),
        true));
}

TWRepeatItem TWBusiness::repeatItemWithSQL(std::uint32_t type, qint32 repeatIdentifier, bool latest)
{
    // Identifier 0 would name every record that belongs to no schedule.
    if (repeatIdentifier == 0)
        return {};
    const char *sql = nullptr;
    switch (type) {
    case TWRepeatTypeTransaction:
        sql = latest ? kTransactionsLatestSQL : kTransactionsFirstSQL;
        break;
    case TWRepeatTypeInvoice:
        sql = latest ? kInvoicesLatestSQL : kInvoicesFirstSQL;
        break;
    case TWRepeatTypeBill:
        sql = latest ? kBillsLatestSQL : kBillsFirstSQL;
        break;
    default:
        return {};
    }
    TWStatement query = statement(sql);
    query.bindInt32(repeatIdentifier).bindInt32(repeatIdentifier);
    if (!query.next())
        return {};
    const qint32 identifier = query.columnInt32(0);
    switch (type) {
    case TWRepeatTypeTransaction:
        if (const TWTransactionPtr transaction = transactionWithIdentifier(identifier))
            return TWRepeatItem(transaction);
        break;
    case TWRepeatTypeInvoice:
        if (const TWInvoicePtr invoice = repeatInvoiceWithIdentifierHook(identifier))
            return TWRepeatItem(invoice);
        break;
    default:
        if (const TWBillPtr bill = repeatBillWithIdentifierHook(identifier))
            return TWRepeatItem(bill);
        break;
    }
    return {};
}

// ---- Generation ----

TWErrorResult TWBusiness::updateRepeatItemsForRepeat(const TWRepeatPtr &repeat, bool activeOnly,
                                                     bool notify)
{
    if (!repeat)
        return std::nullopt;
    WriteScope scope(*this);
    RepeatGeneration generation;
    if (TWErrorResult error = generateRepeatItems(scope, repeat, activeOnly, notify, generation))
        return scope.finish(error);
    finishRepeatGeneration(generation, notify);
    return scope.commit();
}

TWErrorResult TWBusiness::updateRepeatItems(bool activeOnly, bool notify)
{
    WriteScope scope(*this);
    RepeatGeneration generation;
    // A snapshot: the generation deletes schedules that have no items left.
    const TWRepeatList repeats = m_repeats;
    for (const TWRepeatPtr &repeat : repeats) {
        if (TWErrorResult error =
                generateRepeatItems(scope, repeat, activeOnly, notify, generation))
            return scope.finish(error);
    }
    finishRepeatGeneration(generation, notify);
    return scope.commit();
}

TWErrorResult TWBusiness::generateRepeatItems(WriteScope &scope, const TWRepeatPtr &repeat,
                                              bool activeOnly, bool notify,
                                              RepeatGeneration &generation)
{
    // A schedule never stored has no items (identifier 0 would take every
    // record that belongs to no schedule for its items).
    if (!repeat || repeat->identifier() == 0)
        return std::nullopt;
    const QDateTime now = TWClock::now();
    const TWRepeatItem latest = repeatItemWithSQL(repeat->type(), repeat->identifier(), true);
    if (latest.isNull()) {
        // Nothing left to repeat; a failure leaves the schedule for next time.
        (void)deleteRepeat(repeat, true);
        return std::nullopt;
    }
    if (activeOnly && !repeat->active())
        return std::nullopt;

    const TWRepeatItem first = repeatItemWithSQL(repeat->type(), repeat->identifier(), false);
    const QDateTime firstDate = first.isNull() ? QDateTime() : first.date();
    const int seriesDay = seriesDayOf(firstDate.isValid() ? firstDate : latest.date());
    TWTransactionPtr transaction = latest.record<TWTransaction>();
    const TWInvoicePtr invoice = latest.record<TWInvoice>();
    const TWBillPtr bill = latest.record<TWBill>();

    QDateTime current = latest.date();
    // Latest occurrences deleted alone stay deleted: the run steps on from them.
    if (const QDateTime past = repeatPastDate(repeat->identifier());
        past.isValid() && TWDateAdditions::compareDate(past, current) > 0)
        current = past;
    for (;;) {
        // No next date (an interval of 0 or an unknown unit among them) ends
        // the schedule's run; so would a date that does not move on.
        const QDateTime next = repeat->nextDateFromDate(current, seriesDay);
        if (!next.isValid() || next <= current)
            break;
        if (repeat->endDate().isValid() &&
            TWDateAdditions::compareDate(next, repeat->endDate()) > 0) {
            if (repeat->active()) {
                repeat->setActive(false);
                scope.onRollback([repeat] { repeat->setActive(true); });
                // A failure leaves the stored schedule active for next time.
                (void)updateRepeat(repeat, notify);
                generation.changed = true;
            }
            break;
        }
        if (TWDateAdditions::compareDate(next, now) > 0)
            break;
        // Change from ending the run at a closed period: the occurrence that
        // falls there is skipped (closed books take no new entries), and the
        // schedule goes on with the dates after it.
        if (accountingPeriodForDate(next)->closed()) {
            current = next;
            continue;
        }

        TWErrorResult error;
        if (transaction)
            error = repeatTransactionOccurrence(transaction, next, generation);
        else if (invoice)
            error = repeatInvoiceOccurrence(invoice, next, generation);
        else if (bill)
            error = repeatBillOccurrence(bill, next, generation);
        if (error)
            return error;
        current = next;
    }
    return std::nullopt;
}

void TWBusiness::finishRepeatGeneration(const RepeatGeneration &generation, bool notify)
{
    // Once for the whole run; a failure leaves the transfers of before, to be
    // made again by the next rebuild.
    if (generation.beforeActivePeriod)
        (void)updateNominalTransferTransactions();
    if (notify) {
        if (generation.invoices)
            notifyBulk(TWInvoiceNewNotification);
        if (generation.tasks)
            notifyTasksAdd();
        if (generation.expenses)
            notifyExpensesAdd();
        if (generation.bills)
            notifyBulk(TWBillNewNotification);
        if (generation.transactions) {
            notifyTransactionsAdd();
            notifyRelationshipsAdd();
        }
        // The new records' texts were remembered for autocompletion.
        if (generation.transactions || generation.invoices || generation.tasks ||
            generation.expenses || generation.bills)
            notifyValuesAdd();
    }
    if (generation.changed)
        postNotification(TWRepeatUpdatedItemsNotification);
}

TWErrorResult TWBusiness::repeatTransactionOccurrence(TWTransactionPtr &source,
                                                      const QDateTime &date,
                                                      RepeatGeneration &generation)
{
    const TWTransactionPtr occurrence = twRepeatTransaction(*source, date, *this);
    // Made only without an identifier to give it: the database failed.
    if (!occurrence)
        return databaseError(SQLITE_ERROR);
    if (TWErrorResult error = addTransaction(occurrence, false, false, false, false))
        return error;
    // The occurrence pays the same invoices and bills as its source (links of
    // single lines stay with the source's own lines).
    for (const TWRelationshipPtr &relationship : relationshipsWithTransaction(*source)) {
        if (relationship->splitIdentifier() != 0)
            continue;
        const qint32 identifier = nextRelationshipIdentifier();
        if (identifier == 0)
            return databaseError(SQLITE_ERROR);
        const TWRelationshipPtr copy = relationship->copy();
        copy->setTransactionIdentifier(occurrence->identifier());
        copy->setIdentifier(identifier);
        // Another month of the same transaction is never the record's entry.
        if (copy->type() == TWRelationshipTypeInvoicePayment ||
            copy->type() == TWRelationshipTypeBillPayment)
            copy->setValue(TWDocumentLinkOther);
        if (TWErrorResult error = addRelationship(copy, false))
            return error;
        generation.relationships = true;
    }
    generation.transactions = true;
    generation.changed = true;
    if (!generation.beforeActivePeriod && transactionBeforeActiveAccountingPeriod(*occurrence))
        generation.beforeActivePeriod = true;
    source = occurrence;
    return std::nullopt;
}

TWErrorResult TWBusiness::repeatInvoiceOccurrence(const TWInvoicePtr &source, const QDateTime &date,
                                                  RepeatGeneration &generation)
{
    TWInvoicePtr invoice;
    if (TWErrorResult error = repeatAddInvoiceHook(source, date, &invoice))
        return error;
    if (!invoice)
        return std::nullopt;
    generation.invoices = true;
    generation.changed = true;
    copyRepeatInvoiceRecords(*source, *invoice, date, generation);
    return std::nullopt;
}

TWErrorResult TWBusiness::repeatBillOccurrence(const TWBillPtr &source, const QDateTime &date,
                                               RepeatGeneration &generation)
{
    TWBillPtr bill;
    if (TWErrorResult error = repeatAddBillHook(source, date, &bill))
        return error;
    if (!bill)
        return std::nullopt;
    generation.bills = true;
    generation.changed = true;
    copyRepeatBillRecords(*source, *bill, date, generation);
    return std::nullopt;
}

void TWBusiness::copyRepeatInvoiceRecords(const TWInvoice &source, const TWInvoice &invoice,
                                          const QDateTime &date, RepeatGeneration &generation)
{
    // The lines come along whatever the source's payments: an occurrence
    // without them would bill nothing.
    const auto link = [this](std::uint32_t type, double value, qint32 invoiceIdentifier,
                             qint32 child) -> TWErrorResult {
        const qint32 identifier = nextRelationshipIdentifier();
        if (identifier == 0)
            return databaseError(SQLITE_ERROR);
        return addRelationship(TWRelationship::relationshipWithType(type, value, invoiceIdentifier,
                                                                    child, 0, 0, identifier),
                               false);
    };

    // Copies of the source's lines with their billed quantities, taken before
    // any write (whose notifications may have the project read again).
    const TWTaskList sourceTasks = twInvoiceTaskCopies(source, *this);
    const TWExpenseList sourceExpenses = twInvoiceExpenseCopies(source, *this);

    for (const TWTaskPtr &task : std::as_const(sourceTasks)) {
        WriteScope scope(*this);
        TWErrorResult error;
        bool copied = false;
        if (task->taskType() == TWTaskTypeTimed) {
            // Time still to bill is billed again on the new invoice; a copy
            // would count the same hours twice.
            const double available =
                task->availableQuantity(nullptr, twQuantity(*task, *this),
                                        relationshipsWithChildIdentifier(
                                            task->identifier(), TWRelationshipTypeInvoiceTask));
            if (available > 0.0)
                error = link(TWRelationshipTypeInvoiceTask,
                             std::min(available, task->invoiceQuantity()), invoice.identifier(),
                             task->identifier());
        } else {
            const TWTaskPtr copy = task->copy();
            copy->setDate(date);
            copy->setIdentifier(nextTaskIdentifier());
            error = copy->identifier() == 0 ? databaseError(SQLITE_ERROR) : addTask(copy, false);
            if (!error)
                error = link(TWRelationshipTypeInvoiceTask, copy->invoiceQuantity(),
                             invoice.identifier(), copy->identifier());
            copied = true;
        }
        // A task that cannot be stored is left out; the next one follows.
        if (!scope.finish(error) && copied)
            generation.tasks = true;
    }

    for (const TWExpensePtr &expense : std::as_const(sourceExpenses)) {
        WriteScope scope(*this);
        const TWExpensePtr copy = expense->copy();
        copy->setDate(date);
        copy->setIdentifier(nextExpenseIdentifier());
        TWErrorResult error =
            copy->identifier() == 0 ? databaseError(SQLITE_ERROR) : addExpense(copy, false);
        if (!error)
            error = link(TWRelationshipTypeInvoiceExpense, copy->invoiceQuantity(),
                         invoice.identifier(), copy->identifier());
        // An expense that cannot be stored ends the occurrence's copying.
        if (scope.finish(error))
            break;
        generation.expenses = true;
    }
    // Change from copying the source's first payment: the occurrence gets an
    // entry of its own, copied from the source's entry (its accounts, payee
    // and fields) or, without one, made as the editor makes it, and booked
    // on what its own lines bill. No payment is copied: money received for
    // one month is never received again for the next.
    const TWProjectPtr project = projectWithIdentifier(invoice.projectIdentifier());
    if (!project || project->type() != TWProjectTypeProject)
        return;
    // A payment kept as the source's entry is never copied as a charge.
    TWTransactionPtr entry = rebookableInvoiceEntry(source);
    if (!entry) {
        const TWAccountPtr receivable =
            lastInvoiceAccountIdentifier(source, TWAccountTypeAccountsReceivable);
        if (!receivable ||
            createInvoiceTransaction({invoiceWithIdentifier(invoice.identifier())}, receivable,
                                     nullptr, &entry, false) ||
            !entry)
            return;
    }
    if (copyRepeatEntry(*entry, date, TWRelationshipTypeInvoicePayment, invoice.projectIdentifier(),
                        invoice.identifier(),
                        lastInvoiceAccountIdentifier(source, TWAccountTypeIncome), generation))
        return;
    rebookRepeatInvoiceEntry(invoice);
}

void TWBusiness::copyRepeatBillRecords(const TWBill &source, const TWBill &bill,
                                       const QDateTime &date, RepeatGeneration &generation)
{
    // Change from copying the source's first payment: the occurrence books a
    // charge like the latest of the schedule (a bill's lines are its
    // charge's), and no payment. Without any, it gets the charge a new bill
    // of the merchant gets, for the user to type its amount into.
    TWTransactionPtr charge = repeatBillCharge(source);
    if (!charge) {
        const TWBillPtr stored = billWithIdentifier(bill.identifier());
        const TWAccountPtr payable = lastBillAccount(source, TWAccountTypeAccountsPayable);
        const TWAccountPtr account = stored ? billChargeAccount(*stored) : nullptr;
        if (!stored || !payable || !account ||
            createBillTransaction({stored}, payable, nullptr, &charge, false) || !charge)
            return;
        charge->setAccount1Identifier(payable->identifier());
        charge->setAccount2Identifier(account->identifier());
        charge->setActiveAccountIdentifier(payable->identifier());
        twUpdateTotals(*charge, TWTotalTypeTotal, TWTotalTypeAll, *this);
    }
    const TWBillPtr stored = billWithIdentifier(bill.identifier());
    (void)copyRepeatEntry(*charge, date, TWRelationshipTypeBillPayment, bill.merchantIdentifier(),
                          bill.identifier(), stored ? billChargeAccount(*stored) : nullptr,
                          generation);
}

TWTransactionPtr TWBusiness::repeatBillCharge(const TWBill &source) const
{
    // A payment kept as a charge is never copied as one.
    if (TWTransactionPtr charge = rebookableBillCharge(source))
        return charge;
    // The source's charge was deleted: the latest earlier bill of the
    // schedule that has one.
    TWTransactionPtr latest;
    QDateTime latestDate;
    if (source.repeatIdentifier() == 0)
        return nullptr;
    for (const TWBillPtr &other : m_bills.list()) {
        if (other->repeatIdentifier() != source.repeatIdentifier() ||
            other->identifier() == source.identifier() || (latest && other->date() <= latestDate))
            continue;
        if (TWTransactionPtr charge = rebookableBillCharge(*other)) {
            latest = charge;
            latestDate = other->date();
        }
    }
    return latest;
}

TWErrorResult TWBusiness::copyRepeatEntry(const TWTransaction &entry, const QDateTime &date,
                                          std::uint32_t type, qint32 parentIdentifier,
                                          qint32 childIdentifier, const TWAccountPtr &charged,
                                          RepeatGeneration &generation)
{
    WriteScope scope(*this);
    const qint32 identifier = nextTransactionIdentifier();
    if (identifier == 0)
        return scope.finish(databaseError(SQLITE_ERROR));
    const TWTransactionPtr copy = entry.copy();
    copy->setIdentifier(identifier);
    copy->setDate(date);
    copy->setHasAttachments(false);
    copy->setAttachments(std::nullopt);
    copy->setRepeatIdentifier(0);
    copy->setActiveAccountIdentifier(0);
    copy->setActiveSplitIdentifier(0);
    // New lines (numbered when stored); the source keeps its own.
    for (const TWSplitPtr &split : copy->splits())
        split->setIdentifier(0);
    // Money moves only when the user moves it: a side the entry booked in a
    // bank, cash or card account (an earlier build charged bills against the
    // bank) books on the account the record is charged to instead.
    const auto isMoney = [this](qint32 identifier) { return isMoneyAccount(identifier); };
    bool moved = false;
    if (charged && !isMoney(charged->identifier())) {
        if (copy->hasSplit()) {
            for (const TWSplitPtr &split : copy->splits()) {
                if (split && isMoney(split->accountIdentifier())) {
                    split->setAccountIdentifier(charged->identifier());
                    moved = true;
                }
            }
        } else {
            if (isMoney(copy->account1Identifier()) &&
                copy->account2Identifier() != charged->identifier()) {
                copy->setAccount1Identifier(charged->identifier());
                moved = true;
            }
            if (isMoney(copy->account2Identifier()) &&
                copy->account1Identifier() != charged->identifier()) {
                copy->setAccount2Identifier(charged->identifier());
                moved = true;
            }
        }
    }
    if (moved) {
        if (copy->hasSplit())
            twUpdateSplitTotals(*copy, *this);
        twUpdateTotals(*copy, TWTotalTypeTotal, TWTotalTypeAll, *this);
    }
    // Closed by its own day, not by the day of the entry it copies.
    if (copy->state() == TWTransactionStateClosed && !transactionClosed(*copy))
        copy->setState(TWTransactionStateNormal);
    if (TWErrorResult error = addTransaction(copy, true, false, false, false))
        return scope.finish(error);
    const qint32 linkIdentifier = nextRelationshipIdentifier();
    if (linkIdentifier == 0)
        return scope.finish(databaseError(SQLITE_ERROR));
    if (TWErrorResult error = addRelationship(
            TWRelationship::relationshipWithType(type, TWDocumentLinkEntry, parentIdentifier,
                                                 childIdentifier, identifier, 0, linkIdentifier),
            false))
        return scope.finish(error);
    if (TWErrorResult error = scope.commit())
        return error;
    generation.transactions = true;
    generation.relationships = true;
    if (!generation.beforeActivePeriod && transactionBeforeActiveAccountingPeriod(*copy))
        generation.beforeActivePeriod = true;
    return std::nullopt;
}

// ---- Calls into the invoices and bills group ----

TWInvoicePtr TWBusiness::repeatInvoiceWithIdentifierHook(qint32 identifier) const
{
    return invoiceWithIdentifier(identifier);
}

TWBillPtr TWBusiness::repeatBillWithIdentifierHook(qint32 identifier) const
{
    return billWithIdentifier(identifier);
}

// The next occurrence of the source invoice on `date`, stored without a
// notification (the run announces once); none when no identifier could be had.
TWErrorResult TWBusiness::repeatAddInvoiceHook(const TWInvoicePtr &source, const QDateTime &date,
                                               TWInvoicePtr *added)
{
    *added = source ? twRepeatInvoice(*source, date, *this) : nullptr;
    if (!*added)
        return std::nullopt;
    if (TWErrorResult error = addInvoice(*added, false)) {
        *added = nullptr;
        return error;
    }
    return std::nullopt;
}

// The same for a bill.
TWErrorResult TWBusiness::repeatAddBillHook(const TWBillPtr &source, const QDateTime &date,
                                            TWBillPtr *added)
{
    *added = source ? twRepeatBill(*source, date, *this) : nullptr;
    if (!*added)
        return std::nullopt;
    if (TWErrorResult error = addBill(*added, false)) {
        *added = nullptr;
        return error;
    }
    return std::nullopt;
}

// Writing transactions: adding, updating and deleting them (one at a time, a
// list at once, all of a repeat or of an account) together with everything
// kept beside their rows, the last-used values a new entry starts from, and
// what follows a committed write: the year-end transfers and the repeats.

#include "store/TWBusiness.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "model/TWRepeat.h"
#include "store/TWAmountLimits.h"

#include <sqlite3.h>

#include <cmath>

namespace
{

const char *const kTransactionsUpdateStateSQL =
    "UPDATE transactions SET state=? WHERE identifier=?;";
const char *const kTransactionsDeleteSQL = "DELETE FROM transactions WHERE identifier=?;";
const char *const kTransactionsDeleteRepeatTransactionsSQL =
    "DELETE FROM transactions WHERE repeatIdentifier=?;";
// A transaction without lines belongs to its two accounts; a split one to the
// accounts of its lines only (its own two account columns may be left over
// from before it was split).
const char *const kTransactionsDeleteAccountSQL =
    "DELETE FROM transactions WHERE (IFNULL(split, 0) = 0 AND (account1Identifier=? OR "
    "account2Identifier=?)) OR (IFNULL(split, 0) <> 0 AND identifier IN (SELECT "
    "transactionIdentifier FROM splits WHERE accountIdentifier=?));";
const char *const kTransactionsGetDateSQL = "SELECT date FROM transactions WHERE identifier=?;";
const char *const kTransactionTagsDeleteTransactionSQL =
    "DELETE FROM transactionTags WHERE transactionIdentifier=?;";
const char *const kAttachmentsDeleteSQL = "DELETE FROM attachments WHERE transactionIdentifier=?;";

// Whether a day lies before the start of the current accounting period
// (never when that period has no start).
bool isBefore(const QDateTime &periodStart, const QDateTime &date)
{
    return periodStart.isValid() && TWDateAdditions::compareDate(date, periodStart) < 0;
}

QVariantMap transactionInfo(const TWTransactionPtr &transaction)
{
    return {{TWTransactionNotificationKey, QVariant::fromValue(transaction)}};
}

} // namespace

// ---- Rows ----

TWErrorResult TWBusiness::readStoredTransactionDate(qint32 identifier, bool *exists,
                                                    QDateTime *date)
{
    TWStatement query = statement(kTransactionsGetDateSQL);
    query.bindInt32(identifier);
    *exists = query.next();
    if (*exists)
        *date = dateWithStoredValue(query.columnDouble(0));
    return query.error();
}

TWErrorResult TWBusiness::replaceTransactionAttachments(WriteScope &scope,
                                                        const TWTransaction &transaction)
{
    const TransactionRows rows(*this, transaction.identifier());
    // A list never loaded was never edited: the stored rows stay.
    if (!transaction.attachments())
        return std::nullopt;
    const std::optional<TWAttachmentList> stored = transactionAttachments(transaction);
    if (!stored)
        return databaseError(SQLITE_ERROR);
    if (!stored->isEmpty()) {
        // Stored attachments always have identifiers: one is kept when the
        // list still holds an attachment with its identifier.
        QSet<qint32> kept;
        for (const TWAttachmentPtr &attachment : *transaction.attachments()) {
            if (attachment && attachment->identifier() != 0)
                kept.insert(attachment->identifier());
        }
        TWStatement remove = statement(kAttachmentsDeleteSQL);
        remove.bindInt32(transaction.identifier());
        if (TWErrorResult error = remove.execute())
            return error;
        for (const TWAttachmentPtr &attachment : *stored) {
            if (!kept.contains(attachment->identifier()))
                queueAttachmentFiles(scope, *attachment);
        }
    }
    return saveTransactionAttachments(transaction);
}

TWErrorResult TWBusiness::deleteTransactionRows(const TWTransaction &transaction)
{
    const TransactionRows rows(*this, transaction.identifier());
    {
        TWStatement remove = statement(kTransactionsDeleteSQL);
        remove.bindInt32(transaction.identifier());
        if (TWErrorResult error = remove.execute())
            return error;
    }
    {
        TWStatement remove = statement(kTransactionTagsDeleteTransactionSQL);
        remove.bindInt32(transaction.identifier());
        if (TWErrorResult error = remove.execute())
            return error;
    }
    if (TWErrorResult error = deleteTransactionSplits(transaction))
        return error;
    if (TWErrorResult error = deleteTransactionAttachments(transaction))
        return error;
    // The invoices and bills it is linked to keep what their entries are:
    // once it is gone, none of their other transactions becomes one.
    if (TWErrorResult error = keepDocumentEntriesOf(transaction))
        return error;
    return deleteTransactionRelationships(transaction);
}

TWErrorResult TWBusiness::deleteListedTransactions(WriteScope &scope,
                                                   const TWTransactionList &listed,
                                                   const QDateTime &periodStart, bool *before)
{
    for (const TWTransactionPtr &transaction : listed) {
        if (TWErrorResult error = deleteTransactionRows(*transaction))
            return error;
        if (isBefore(periodStart, transaction->date()))
            *before = true;
    }
    removeTransactionObjects(scope, listed);
    return std::nullopt;
}

// ---- After a write ----

TWErrorResult TWBusiness::finishTransactionWrite(bool rebuild,
                                                 const QList<qint32> &repeatIdentifiers,
                                                 bool activeOnly, bool notify)
{
    if (rebuild)
        ++m_transactionRebuildRequests;
    // Inside a larger write (a cascade deleting many records), the rebuild and
    // the refreshes wait for its end and run once there, instead of once per
    // record with a pass over the whole ledger each.
    const qsizetype outermost = outermostWriteScope();
    if (outermost >= 0) {
        Level &level = m_levels[std::size_t(outermost)];
        level.deferredRebuild = level.deferredRebuild || rebuild;
        for (const qint32 repeatIdentifier : repeatIdentifiers) {
            const std::tuple<qint32, bool, bool> refresh(repeatIdentifier, activeOnly, notify);
            if (!level.deferredRepeats.contains(refresh))
                level.deferredRepeats.append(refresh);
        }
        return std::nullopt;
    }
    TWErrorResult result;
    if (rebuild)
        result = updateNominalTransferTransactions();
    for (const qint32 repeatIdentifier : repeatIdentifiers)
        (void)updateRepeatItemsHook(repeatIdentifier, activeOnly, notify);
    return result;
}

// Brings the generated items of one repeat, or of every repeat (0), up to date.
TWErrorResult TWBusiness::updateRepeatItemsHook(qint32 repeatIdentifier, bool activeOnly,
                                                bool notify)
{
    if (repeatIdentifier == 0)
        return updateRepeatItems(activeOnly, notify);
    const TWRepeatPtr repeat = repeatWithIdentifier(repeatIdentifier);
    return repeat ? updateRepeatItemsForRepeat(repeat, activeOnly, notify) : std::nullopt;
}

// Deletes the repeat itself, always notified.
TWErrorResult TWBusiness::deleteRepeatHook(const std::shared_ptr<TWRepeat> &repeat)
{
    return repeat ? deleteRepeat(repeat, true) : std::nullopt;
}

// ---- Add and update ----

TWErrorResult TWBusiness::addTransaction(const TWTransactionPtr &transaction, bool repeats,
                                         bool nominal, bool user, bool notify)
{
    // Identifier 0 is what a failed `nextTransactionIdentifier` gives.
    if (!transaction || transaction->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    if (TWErrorResult refused = TWAmountLimits::conversionError(*this, *transaction))
        return refused;
    WriteScope scope(*this);
    const QDateTime oldCreated = transaction->dateCreated();
    const QDateTime oldModified = transaction->dateModified();
    // Kept as the moment in UTC until asked for in local time: the write
    // itself then never consults the time zone.
    const double now = double(TWClock::nowMSecsSinceEpoch()) / 1000.0;
    transaction->setStoredDates(now, now);
    scope.onRollback([transaction, oldCreated, oldModified] {
        transaction->setDateCreated(oldCreated);
        transaction->setDateModified(oldModified);
    });

    if (TWErrorResult error = writeTransactionRow(*transaction, true))
        return scope.finish(error);
    if (TWErrorResult error = saveTransactionSplits(*transaction))
        return scope.finish(error);
    if (TWErrorResult error = saveTransactionAttachments(*transaction))
        return scope.finish(error);
    if (TWErrorResult error = rememberTransactionValues(*transaction, notify))
        return scope.finish(error);
    appendTransaction(scope, transaction);
    if (notify)
        scope.post(TWTransactionNewNotification, transactionInfo(transaction));
    if (user)
        rememberLastTransaction(scope, *transaction);
    if (TWErrorResult error = scope.commit())
        return error;

    const bool rebuild = nominal && transactionBeforeActiveAccountingPeriod(*transaction);
    QList<qint32> repeat;
    if (repeats && transaction->repeatIdentifier() != 0)
        repeat.append(transaction->repeatIdentifier());
    return finishTransactionWrite(rebuild, repeat, true, notify);
}

TWErrorResult TWBusiness::updateTransaction(const TWTransactionPtr &transaction, bool repeats,
                                            bool nominal, bool user, bool notify)
{
    if (!transaction)
        return databaseError(SQLITE_MISUSE);
    if (TWErrorResult refused = TWAmountLimits::conversionError(*this, *transaction))
        return refused;
    const qint32 identifier = transaction->identifier();
    // The day stored before this write: the object may be the listed one,
    // already changed in place.
    bool stored = false;
    QDateTime previousDate;
    if (TWErrorResult error = readStoredTransactionDate(identifier, &stored, &previousDate))
        return error;
    if (!stored)
        return databaseError(SQLITE_NOTFOUND);

    WriteScope scope(*this);
    // The object may be the listed one, changed in place: what it counted
    // for in the year-end sums before is no longer known.
    m_yearEndSums.invalidate();
    const QDateTime oldModified = transaction->dateModified();
    transaction->setDateModified(TWClock::now());
    scope.onRollback([transaction, oldModified] { transaction->setDateModified(oldModified); });

    // Every custom column is written, so that values the user removed are
    // removed here too.
    if (TWErrorResult error = writeTransactionRow(*transaction, false))
        return scope.finish(error);
    if (TWErrorResult error = updateTransactionSplits(*transaction))
        return scope.finish(error);
    if (TWErrorResult error = replaceTransactionAttachments(scope, *transaction))
        return scope.finish(error);
    // The listed object itself (the index holds only listed objects) is known without a
    // search; a copy takes the listed object's place, found through the index: a batch of
    // writes stays linear in the list.
    const TWTransactionPtr listed = m_transactionIndex.value(identifier);
    if (listed != transaction && transactionPosition(transaction) < 0) {
        const qsizetype position = listed ? transactionPosition(listed) : -1;
        if (position >= 0) {
            m_transactions[position] = transaction;
            m_transactionIndex.insert(identifier, transaction);
            m_yearEndSums.invalidate();
            scope.onRollback([this, position, listed, identifier] {
                m_transactions[position] = listed;
                m_transactionIndex.insert(identifier, listed);
            });
        } else {
            appendTransaction(scope, transaction);
        }
    }
    if (TWErrorResult error = rememberTransactionValues(*transaction, notify))
        return scope.finish(error);
    if (notify)
        scope.post(TWTransactionUpdateNotification, transactionInfo(transaction));
    if (user)
        rememberLastTransaction(scope, *transaction);
    if (TWErrorResult error = scope.commit())
        return error;

    const QDateTime periodStart = currentAccountingPeriod()->startDate();
    const bool rebuild =
        nominal && (isBefore(periodStart, transaction->date()) ||
                    (previousDate.isValid() && isBefore(periodStart, previousDate)));
    QList<qint32> repeat;
    if (repeats && transaction->repeatIdentifier() != 0)
        repeat.append(transaction->repeatIdentifier());
    return finishTransactionWrite(rebuild, repeat, true, notify);
}

TWErrorResult TWBusiness::updateTransactionState(const TWTransactionPtr &transaction, bool notify)
{
    if (!transaction)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    const TransactionRows rows(*this, transaction->identifier());
    TWStatement update = statement(kTransactionsUpdateStateSQL);
    update.bindInt64(qint64(transaction->state())).bindInt32(transaction->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    if (notify)
        scope.post(TWTransactionUpdateNotification, transactionInfo(transaction));
    return scope.commit();
}

// ---- Deletes ----

TWErrorResult TWBusiness::deleteTransaction(const TWTransactionPtr &transaction, bool repeats,
                                            bool nominal, bool notify)
{
    if (!transaction)
        return databaseError(SQLITE_MISUSE);
    return deleteTransactionObjects({transaction}, repeats, nominal, notify, true);
}

TWErrorResult TWBusiness::deleteTransactions(const TWTransactionList &transactions, bool repeats,
                                             bool nominal, bool notify)
{
    return deleteTransactionObjects(transactions, repeats, nominal, notify, false);
}

TWErrorResult TWBusiness::deleteTransactionObjects(const TWTransactionList &transactions,
                                                   bool repeats, bool nominal, bool notify,
                                                   bool single)
{
    const QDateTime periodStart = currentAccountingPeriod()->startDate();
    bool before = false;
    QList<qint32> repeatIdentifiers;
    QSet<qint32> seenRepeats;
    QSet<qint32> seen;
    TWTransactionList deleted; // what the objects given stand for, each once
    TWTransactionList unlisted;

    WriteScope scope(*this);
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        const qint32 identifier = transaction->identifier();
        if (identifier == 0 || seen.contains(identifier))
            continue;
        seen.insert(identifier);
        bool stored = false;
        QDateTime storedDate;
        if (TWErrorResult error = readStoredTransactionDate(identifier, &stored, &storedDate))
            return scope.finish(error);
        // The listed object knows the attachments and lines as stored; a copy
        // may have been edited since.
        const TWTransactionPtr listed = m_transactionIndex.value(identifier);
        if (!stored && !listed)
            continue; // deleted already
        if (storedDate.isValid() && isBefore(periodStart, storedDate))
            before = true;
        if (isBefore(periodStart, transaction->date()))
            before = true;
        const qint32 repeat = (listed ? listed : transaction)->repeatIdentifier();
        if (repeats && repeat != 0 && !seenRepeats.contains(repeat)) {
            seenRepeats.insert(repeat);
            repeatIdentifiers.append(repeat);
        }
        if (listed)
            deleted.append(listed);
        else
            unlisted.append(transaction);
    }
    for (const TWTransactionPtr &transaction : std::as_const(unlisted)) {
        if (TWErrorResult error = deleteTransactionRows(*transaction))
            return scope.finish(error);
    }
    if (TWErrorResult error = deleteListedTransactions(scope, deleted, periodStart, &before))
        return scope.finish(error);
    if (deleted.isEmpty() && unlisted.isEmpty())
        return scope.commit();

    if (notify) {
        if (single)
            scope.post(TWTransactionDeleteNotification, transactionInfo(transactions.first()));
        else
            scope.post(TWTransactionDeleteNotification);
    }
    // The objects given no longer stand for a stored transaction.
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction || !seen.contains(transaction->identifier()))
            continue;
        const qint32 identifier = transaction->identifier();
        transaction->setIdentifier(0);
        scope.onRollback([transaction, identifier] { transaction->setIdentifier(identifier); });
    }
    if (TWErrorResult error = scope.commit())
        return error;
    return finishTransactionWrite(nominal && before, repeatIdentifiers, false, notify);
}

TWErrorResult TWBusiness::deleteRepeatTransactions(const std::shared_ptr<TWRepeat> &repeat,
                                                   bool notify)
{
    // Identifier 0 would name every transaction without a repeat.
    if (!repeat || repeat->identifier() == 0)
        return std::nullopt;
    const qint32 identifier = repeat->identifier();
    const QDateTime periodStart = currentAccountingPeriod()->startDate();
    WriteScope scope(*this);
    {
        TWStatement remove = statement(kTransactionsDeleteRepeatTransactionsSQL);
        remove.bindInt32(identifier);
        if (TWErrorResult error = remove.execute())
            return scope.finish(error);
    }
    TWTransactionList listed;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (transaction->repeatIdentifier() == identifier)
            listed.append(transaction);
    }
    bool before = false;
    if (TWErrorResult error = deleteListedTransactions(scope, listed, periodStart, &before))
        return scope.finish(error);
    if (TWErrorResult error = deleteRepeatHook(repeat))
        return scope.finish(error);
    if (notify && !listed.isEmpty())
        scope.post(TWTransactionDeleteNotification);
    if (TWErrorResult error = scope.commit())
        return error;
    return finishTransactionWrite(before, {}, false, notify);
}

TWErrorResult TWBusiness::deleteAccountTransactions(const TWAccountPtr &account, bool notify)
{
    if (!account)
        return databaseError(SQLITE_MISUSE);
    // An account never stored has no transactions (and 0 would name those
    // without an account).
    const qint32 identifier = account->identifier();
    if (identifier == 0)
        return std::nullopt;
    const QDateTime periodStart = currentAccountingPeriod()->startDate();
    WriteScope scope(*this);
    {
        TWStatement remove = statement(kTransactionsDeleteAccountSQL);
        remove.bindInt32(identifier).bindInt32(identifier).bindInt32(identifier);
        if (TWErrorResult error = remove.execute())
            return scope.finish(error);
    }
    TWTransactionList listed;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (transaction->touchesAccount(identifier))
            listed.append(transaction);
    }
    bool before = false;
    if (TWErrorResult error = deleteListedTransactions(scope, listed, periodStart, &before))
        return scope.finish(error);
    if (notify && !listed.isEmpty())
        scope.post(TWTransactionDeleteNotification);
    if (TWErrorResult error = scope.commit())
        return error;
    // Every repeat, since the account's transactions may have been the
    // latest items of any of them.
    return finishTransactionWrite(before, {0}, false, notify);
}

// ---- Last used values ----

void TWBusiness::updateLastTransaction(const TWTransaction &transaction)
{
    setLastDate(transaction.date());
    const auto rememberUnit = [this](const TWUnitPtr &unit) {
        if (!unit)
            return;
        if (unit->type() == TWUnitTypeMileage)
            setLastMileageUnit(unit);
        else
            setLastUnit(unit);
    };
    if (!transaction.hasSplit()) {
        rememberUnit(transaction.unit());
        setLastAccount1Identifier(transaction.account1Identifier());
        setLastAccount2Identifier(transaction.account2Identifier());
        return;
    }
    const TWSplitList &splits = transaction.splits();
    if (splits.isEmpty() || !splits.first())
        return;
    const TWSplitPtr &first = splits.first();
    rememberUnit(first->unit());
    setLastAccount1Identifier(first->accountIdentifier());
    const TWSplitPtr &second = splits.size() > 1 && splits.at(1) ? splits.at(1) : first;
    setLastAccount2Identifier(second->accountIdentifier());
}

void TWBusiness::rememberLastTransaction(WriteScope &scope, const TWTransaction &transaction)
{
    const LastTransactionSettings old = lastTransactionSettings();
    updateLastTransaction(transaction);
    scope.onRollback([this, old] {
        setLastDate(old.lastDate);
        setLastUnit(old.lastUnit);
        setLastMileageUnit(old.lastMileageUnit);
        setLastAccount1Identifier(old.lastAccount1Identifier);
        setLastAccount2Identifier(old.lastAccount2Identifier);
    });
}

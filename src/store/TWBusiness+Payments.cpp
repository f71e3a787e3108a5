// What invoices and bills share on the ledger side: the transactions linked
// to a record (its receivable or payable entry and its payments), the account
// proposed for the next one, the transaction built for one or several
// records, and the deletion of a record's links with the transactions that
// served only that record.

#include "store/TWBusiness.h"
#include "store/TWOwing.h"
#include "store/TWTransactionEditing.h"

#include "model/TWWorkArithmetic.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"

#include <sqlite3.h>

// ---- Linked transactions and proposed accounts ----

void TWBusiness::appendPaymentTransactions(TWTransactionList &views, qint32 parentIdentifier,
                                           qint32 childIdentifier, std::uint32_t type) const
{
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, type)) {
        const TWTransactionPtr transaction =
            transactionWithIdentifier(link->transactionIdentifier());
        if (!transaction)
            continue;
        if (link->splitIdentifier() == 0) {
            views.append(
                transaction->transactionForActiveAccount(transaction->account1Identifier(), 0));
            continue;
        }
        // A line that is gone (its links go with it) shows nothing.
        const TWSplitPtr split = transaction->splitWithIdentifier(link->splitIdentifier());
        if (split)
            views.append(transaction->transactionForActiveAccount(split->accountIdentifier(),
                                                                  split->identifier()));
    }
}

void TWBusiness::appendViewCopies(TWTransactionList &views, const TWTransactionList &read)
{
    for (const TWTransactionPtr &view : read) {
        if (view)
            views.append(view->transactionForActiveAccount(view->activeAccountIdentifier(),
                                                           view->activeSplitIdentifier()));
    }
}

TWAccountPtr TWBusiness::proposedAccount(const TWTransactionList &views, std::uint32_t type,
                                         bool splitLines) const
{
    const auto ofType = [this, type](qint32 identifier) -> TWAccountPtr {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account && std::uint32_t(account->accountType()) == type ? account : nullptr;
    };
    for (auto it = views.crbegin(); it != views.crend(); ++it) {
        const TWTransactionPtr &view = *it;
        if (!view)
            continue;
        if (splitLines && view->hasSplit()) {
            for (const TWSplitPtr &split : view->splits()) {
                if (split) {
                    if (TWAccountPtr account = ofType(split->accountIdentifier()))
                        return account;
                }
            }
            continue;
        }
        if (TWAccountPtr account = ofType(view->account1Identifier()))
            return account;
        if (TWAccountPtr account = ofType(view->account2Identifier()))
            return account;
    }
    if (TWAccountPtr account = ofType(lastAccount1Identifier()))
        return account;
    if (TWAccountPtr account = ofType(lastAccount2Identifier()))
        return account;
    for (const TWAccountPtr &account : m_accounts) {
        if (std::uint32_t(account->accountType()) == type)
            return account;
    }
    return nullptr;
}

// ---- A record's own entry: its marks and where it moves ----
// Which transaction is the entry is decided in TWBusiness+DocumentEntries.cpp.

TWErrorResult TWBusiness::settleDocumentMarks(qint32 parentIdentifier, qint32 childIdentifier,
                                              std::uint32_t linkType, qint32 entryIdentifier)
{
    const TWRelationshipList links =
        relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, linkType);
    bool marked = false;
    for (const TWRelationshipPtr &link : links) {
        const TWDocumentLinkRole role = twDocumentLinkRole(link->value());
        marked = marked || role == TWDocumentLinkEntry || role == TWDocumentLinkCopy;
    }
    if (!marked) {
        // Links an earlier build stored keep saying nothing while its own
        // rule still takes the transaction written.
        const std::uint32_t accountType = linkType == TWRelationshipTypeInvoicePayment
                                              ? TWAccountTypeAccountsReceivable
                                              : TWAccountTypeAccountsPayable;
        const TWTransactionPtr entry =
            documentEntry(parentIdentifier, childIdentifier, linkType, accountType);
        if (!entry || entry->identifier() == entryIdentifier)
            return std::nullopt;
    }
    WriteScope scope(*this);
    for (const TWRelationshipPtr &link : links) {
        const TWDocumentLinkRole role = twDocumentLinkRole(link->value());
        TWDocumentLinkRole wanted = TWDocumentLinkOther;
        if (link->splitIdentifier() == 0 && link->transactionIdentifier() == entryIdentifier)
            wanted = TWDocumentLinkEntry;
        else if (role == TWDocumentLinkUnsaid && marked)
            wanted = TWDocumentLinkUnsaid;
        if (role == wanted && link->value() == double(wanted))
            continue;
        // Only the value is written: every transaction stays as it was booked.
        const TWRelationshipPtr settled = link->copy();
        settled->setValue(wanted);
        if (TWErrorResult error = updateRelationship(settled, false))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::setAsideLoweringEntry(qint32 parentIdentifier, qint32 childIdentifier,
                                                std::uint32_t linkType)
{
    const std::uint32_t accountType = linkType == TWRelationshipTypeInvoicePayment
                                          ? TWAccountTypeAccountsReceivable
                                          : TWAccountTypeAccountsPayable;
    const DocumentLinks found =
        documentLinks(parentIdentifier, childIdentifier, linkType, accountType);
    if (!found.untrusted)
        return std::nullopt;
    WriteScope scope(*this);
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, linkType)) {
        const TWDocumentLinkRole role = twDocumentLinkRole(link->value());
        if ((role != TWDocumentLinkEntry && role != TWDocumentLinkCopy) ||
            link->transactionIdentifier() != found.untrusted->identifier())
            continue;
        // Only the value is written: the payment stays as it was booked.
        const TWRelationshipPtr marked = link->copy();
        marked->setValue(TWDocumentLinkOther);
        if (TWErrorResult error = updateRelationship(marked, false))
            return scope.finish(error);
    }
    return scope.commit();
}

bool TWBusiness::isDocumentEntry(const TWTransaction &transaction, std::uint32_t linkType) const
{
    const std::uint32_t accountType = linkType == TWRelationshipTypeInvoicePayment
                                          ? TWAccountTypeAccountsReceivable
                                          : TWAccountTypeAccountsPayable;
    for (const TWRelationshipPtr &link : relationshipsWithTransaction(transaction, linkType)) {
        if (link->splitIdentifier() != 0)
            continue;
        // A payment kept as the entry is copied as a payment.
        const TWTransactionPtr entry = rebookableEntry(
            link->parentIdentifier(), link->childIdentifier(), linkType, accountType);
        if (entry && entry->identifier() == transaction.identifier())
            return true;
    }
    return false;
}

TWErrorResult TWBusiness::keepDocumentEntry(qint32 parentIdentifier, qint32 childIdentifier,
                                            std::uint32_t linkType)
{
    const std::uint32_t accountType = linkType == TWRelationshipTypeInvoicePayment
                                          ? TWAccountTypeAccountsReceivable
                                          : TWAccountTypeAccountsPayable;
    TWRelationshipList unsaid;
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, linkType)) {
        if (twDocumentLinkRole(link->value()) == TWDocumentLinkUnsaid)
            unsaid.append(link);
    }
    if (unsaid.isEmpty())
        return std::nullopt;
    const TWTransactionPtr entry =
        documentEntry(parentIdentifier, childIdentifier, linkType, accountType);
    WriteScope scope(*this);
    for (const TWRelationshipPtr &link : std::as_const(unsaid)) {
        // Only the value is written; no transaction or record changes.
        const TWRelationshipPtr marked = link->copy();
        marked->setValue(entry && link->splitIdentifier() == 0 &&
                                 link->transactionIdentifier() == entry->identifier()
                             ? TWDocumentLinkEntry
                             : TWDocumentLinkOther);
        if (TWErrorResult error = updateRelationship(marked, false))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::keepDocumentEntries()
{
    WriteScope scope(*this);
    for (const TWInvoicePtr &invoice : m_invoices.list()) {
        if (TWErrorResult error =
                keepDocumentEntry(invoice->projectIdentifier(), invoice->identifier(),
                                  TWRelationshipTypeInvoicePayment))
            return scope.finish(error);
    }
    for (const TWBillPtr &bill : m_bills.list()) {
        if (TWErrorResult error = keepDocumentEntry(bill->merchantIdentifier(), bill->identifier(),
                                                    TWRelationshipTypeBillPayment))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::keepDocumentEntriesOf(const TWTransaction &transaction)
{
    if (transaction.identifier() == 0)
        return std::nullopt;
    WriteScope scope(*this);
    for (const TWRelationshipPtr &link : relationshipsWithTransaction(transaction)) {
        if (link->type() != TWRelationshipTypeInvoicePayment &&
            link->type() != TWRelationshipTypeBillPayment)
            continue;
        if (TWErrorResult error =
                keepDocumentEntry(link->parentIdentifier(), link->childIdentifier(), link->type()))
            return scope.finish(error);
    }
    return scope.commit();
}

namespace
{

TWError closedDateError(const char *key)
{
    return TWError(TWDatabaseErrorDomain, -1, TWLocalized(key));
}

} // namespace

TWErrorResult TWBusiness::refuseClosedEntryDate(const TWTransaction *entry,
                                                const QDateTime &date) const
{
    if (entry && (entry->state() == TWTransactionStateClosed ||
                  entry->state() == TWTransactionStateLocked)) {
        if (TWDateAdditions::compareDate(entry->date(), date) == 0)
            return std::nullopt;
        return closedDateError("closedEntryDateMessage");
    }
    // Booking into a closed period would rebuild that period's closing
    // entries behind the user's back.
    if (date.isValid() && accountingPeriodForDate(date)->closed())
        return closedDateError("editClosedTransaction");
    return std::nullopt;
}

bool TWBusiness::isClosedDateRefusal(const TWError &error)
{
    return error == closedDateError("editClosedTransaction") ||
           error == closedDateError("closedEntryDateMessage");
}

TWErrorResult TWBusiness::moveDocumentEntry(qint32 parentIdentifier, qint32 childIdentifier,
                                            std::uint32_t linkType, std::uint32_t accountType,
                                            const QDateTime &date, bool notify)
{
    // A payment kept as the entry stays on the day it was paid.
    const TWTransactionPtr entry =
        rebookableEntry(parentIdentifier, childIdentifier, linkType, accountType);
    if (!entry || TWDateAdditions::compareDate(entry->date(), date) == 0)
        return std::nullopt;
    if (TWErrorResult error = refuseClosedEntryDate(entry.get(), date))
        return error;
    WriteScope scope(*this);
    const QDateTime before = entry->date();
    scope.onRollback([entry, before] { entry->setDate(before); });
    entry->setDate(date);
    return scope.finish(updateTransaction(entry, false, true, false, notify));
}

// ---- Deleting a record's links ----

TWErrorResult TWBusiness::deletePaymentLinks(qint32 parentIdentifier, qint32 childIdentifier,
                                             std::uint32_t type)
{
    // Every transaction linked to the record goes whole, also one that pays
    // other invoices or bills too: keeping it would leave the deleted
    // record's share booked on the receivable (payable) account with no
    // record to explain it. The alerts before such a delete name the records
    // that lose a payment so.
    WriteScope scope(*this);
    QSet<qint32> seen;
    TWTransactionList doomed;
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, type)) {
        const qint32 identifier = link->transactionIdentifier();
        if (identifier == 0 || seen.contains(identifier))
            continue;
        seen.insert(identifier);
        if (const TWTransactionPtr transaction = transactionWithIdentifier(identifier))
            doomed.append(transaction);
    }
    if (!doomed.isEmpty()) {
        // One write for all of them: one rebuild of the year-end transfers at
        // most, and one bulk notification.
        if (TWErrorResult error = deleteTransactions(doomed, false, true, false))
            return scope.finish(error);
        scope.post(TWTransactionDeleteNotification);
    }
    return scope.finish(deleteChildRelationships(childIdentifier, type));
}

// ---- Building a transaction for records ----

TWErrorResult TWBusiness::createPaymentTransaction(const QList<PaymentTarget> &targets,
                                                   const TWAccountPtr &account,
                                                   TWRelationshipList *relationships,
                                                   TWTransactionPtr *transaction, bool store)
{
    const auto handBackNothing = [relationships, transaction] {
        if (relationships)
            relationships->clear();
        if (transaction)
            *transaction = nullptr;
    };
    if (m_accounts.size() < 2) {
        handBackNothing();
        return TWError(TWDatabaseErrorDomain, -1, TWLocalized("twoAccountsMessage"));
    }
    if (targets.isEmpty() || !account) {
        handBackNothing();
        return databaseError(SQLITE_MISUSE);
    }
    const qint32 firstSplit = nextSplitIdentifier();
    const qint32 firstRelationship = nextRelationshipIdentifier();
    TWTransactionPtr built = twNewTransaction(*this);
    if (firstSplit == 0 || firstRelationship == 0 || !built || built->identifier() == 0) {
        handBackNothing();
        return databaseError(SQLITE_ERROR);
    }

    const qint32 accountIdentifier = account->identifier();
    TWRelationshipList links;
    built->setActiveAccountIdentifier(accountIdentifier);
    if (targets.size() < 2) {
        const PaymentTarget &target = targets.first();
        // Stored for one record, the transaction is that record's entry and
        // books on the record's day, never on the last day used or today.
        // (A payment prepared for the editor keeps the usual day.)
        if (store && target.date.isValid()) {
            if (TWErrorResult error = refuseClosedEntryDate(nullptr, target.date)) {
                handBackNothing();
                return error;
            }
            built->setDate(target.date);
        }
        built->setAccount1Identifier(accountIdentifier);
        built->setPayee(target.payee);
        if (!target.description.isNull())
            built->setDescription(target.description);
        twUpdateAccounts(*built, *this, m_accounts, false);
        // Stored for one record, it is kept as that record's entry; prepared
        // for the editor, it is a payment.
        links.append(TWRelationship::relationshipWithType(
            target.type, store ? TWDocumentLinkEntry : TWDocumentLinkOther, target.parentIdentifier,
            target.childIdentifier, built->identifier(), 0, firstRelationship));
    } else {
        built->setHasSplit(true);
        TWSplitList splits;
        qint32 position = 0;
        for (const PaymentTarget &target : targets) {
            const qint32 splitIdentifier = firstSplit + position;
            splits.append(TWSplit::splitWithIdentifier(
                splitIdentifier, target.splitText, accountIdentifier, 0, 0, 0, 0, 0, m_homeUnit));
            links.append(TWRelationship::relationshipWithType(
                target.type, TWDocumentLinkOther, target.parentIdentifier, target.childIdentifier,
                built->identifier(), splitIdentifier, firstRelationship + position));
            ++position;
        }
        // The other side of the payment: the first other account.
        qint32 otherAccount = 0;
        for (const TWAccountPtr &candidate : m_accounts) {
            if (candidate->identifier() != accountIdentifier) {
                otherAccount = candidate->identifier();
                break;
            }
        }
        splits.append(TWSplit::splitWithIdentifier(firstSplit + position, QString(), otherAccount,
                                                   0, 0, 0, 0, 0, m_homeUnit));
        built->setSplits(splits);
    }

    TWErrorResult result;
    if (store) {
        // The transaction and its links land together or not at all, so no
        // link ever names a missing transaction and no entry loses its record.
        WriteScope scope(*this);
        // A payment kept as the record's entry before is kept as a payment
        // beside the new entry.
        if (targets.size() < 2) {
            const PaymentTarget &target = targets.first();
            if (TWErrorResult error = setAsideLoweringEntry(target.parentIdentifier,
                                                            target.childIdentifier, target.type))
                result = scope.finish(error);
        }
        for (const TWRelationshipPtr &link : std::as_const(links)) {
            if (result)
                break;
            if (TWErrorResult error = addRelationship(link, true)) {
                result = scope.finish(error);
                break;
            }
        }
        if (!result) {
            if (TWErrorResult error = addTransaction(built, true, true, true, true))
                result = scope.finish(error);
            else
                result = scope.commit();
        }
    }
    if (relationships)
        *relationships = links;
    if (transaction)
        *transaction = built;
    return result;
}

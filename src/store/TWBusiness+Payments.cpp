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

// ---- The model's view of linked transactions ----

QList<TWPaymentEntry> twPaymentEntries(const TWTransactionList &transactions, TWBusiness &business)
{
    // Each account is looked up once, however many entries name it.
    QHash<qint32, int> accountTypes;
    const auto typeOf = [&business, &accountTypes](qint32 identifier) {
        const auto found = accountTypes.constFind(identifier);
        if (found != accountTypes.constEnd())
            return *found;
        const TWAccountPtr account = business.accountWithIdentifier(identifier);
        const int type = account ? int(account->accountType()) : 0;
        accountTypes.insert(identifier, type);
        return type;
    };

    TWPaymentEntryList entries;
    entries.reserve(transactions.size());
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        TWPaymentEntry entry;
        entry.identifier = transaction->identifier();
        entry.activeAccountIdentifier = transaction->activeAccountIdentifier();
        entry.activeSplitIdentifier = transaction->activeSplitIdentifier();
        entry.state = transaction->state();
        entry.repeatIdentifier = transaction->repeatIdentifier();
        entry.hasSplit = transaction->hasSplit();
        if (entry.hasSplit) {
            for (const TWSplitPtr &split : transaction->splits()) {
                if (!split)
                    continue;
                entry.splits.append({split->identifier(), typeOf(split->accountIdentifier()),
                                     split->total(), split->totalBusiness(), split->unit()});
            }
        }
        entry.account1Type = typeOf(transaction->account1Identifier());
        entry.account2Type = typeOf(transaction->account2Identifier());
        entry.total = transaction->total();
        entry.totalBusiness = transaction->totalBusiness();
        entry.unit = transaction->unit();
        entries.append(entry);
    }
    return entries;
}

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

// ---- A record's own entry ----

bool TWBusiness::isMoneyAccount(qint32 identifier) const
{
    const TWAccountPtr account = accountWithIdentifier(identifier);
    return account && (account->accountType() == TWAccountTypeBank ||
                       account->accountType() == TWAccountTypeCash ||
                       account->accountType() == TWAccountTypeCreditCard);
}

namespace
{

// The accounts a record's own charge books against its receivable or payable
// account as earlier builds booked it: an invoice's lines bill income and
// tax; a bill's lines name expenses, the assets bought and tax. Money through
// any other account (a bank, an undeposited-funds asset, a write-off, the
// owner, a loan) pays it.
bool chargesAgainst(std::uint32_t ownType, std::uint32_t type)
{
    if (ownType == TWAccountTypeAccountsReceivable)
        return type == TWAccountTypeIncome || type == TWAccountTypeTax;
    return type == TWAccountTypeExpense || type == TWAccountTypeTax ||
           type == TWAccountTypeInventory || type == TWAccountTypeFixedAsset;
}

} // namespace

namespace
{

// Keeps the candidate where it was made before the one kept.
void keepFirstMade(TWTransactionPtr &kept, const TWTransactionPtr &candidate)
{
    if (!kept || candidate->identifier() < kept->identifier())
        kept = candidate;
}

} // namespace

bool TWBusiness::booksDocumentCharge(const TWTransaction &transaction,
                                     std::uint32_t accountType) const
{
    const auto typeOf = [this](qint32 identifier) -> std::uint32_t {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account ? std::uint32_t(account->accountType()) : 0;
    };
    bool own = false;
    // A side that books nothing says nothing: a charge just made carries 0
    // until its amount is typed, whichever account its other side defaulted
    // to.
    const auto side = [&](qint32 identifier, qint64 amount) {
        const std::uint32_t type = typeOf(identifier);
        if (type == accountType) {
            own = true;
            return true;
        }
        return amount == 0 || chargesAgainst(accountType, type);
    };
    if (!transaction.hasSplit())
        return side(transaction.account1Identifier(), transaction.total()) &&
               side(transaction.account2Identifier(), transaction.total()) && own;
    for (const TWSplitPtr &split : transaction.splits()) {
        if (split && !side(split->accountIdentifier(), split->total()))
            return false;
    }
    return own;
}

qint64 TWBusiness::owedChange(const TWTransaction &transaction, std::uint32_t accountType) const
{
    // A receivable is owed more by a debit (a positive amount on its own
    // side), a payable by a credit.
    const bool receivable = accountType == TWAccountTypeAccountsReceivable;
    const auto ofType = [this, accountType](qint32 identifier) {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account && std::uint32_t(account->accountType()) == accountType;
    };
    qint64 change = 0;
    if (!transaction.hasSplit()) {
        if (ofType(transaction.account1Identifier()))
            change = transaction.total();
        else if (ofType(transaction.account2Identifier()))
            change = TWWorkArithmetic::subtract(0, transaction.total());
    } else {
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split && ofType(split->accountIdentifier()))
                change = TWWorkArithmetic::add(change, split->total());
        }
    }
    return receivable ? change : TWWorkArithmetic::subtract(0, change);
}

int TWBusiness::documentBillsSign(qint32 childIdentifier, std::uint32_t linkType) const
{
    // A bill carries no lines: what it bills is its charge.
    if (linkType != TWRelationshipTypeInvoicePayment)
        return 0;
    qint64 billed = 0;
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(childIdentifier, TWRelationshipTypeInvoiceTask)) {
        if (const TWTaskPtr task = taskWithIdentifier(link->childIdentifier())) {
            // A copy: the listed task's quantity billed is the editor's.
            const TWTaskPtr line = task->copy();
            line->setInvoiceQuantity(link->value());
            billed = TWWorkArithmetic::add(billed, line->invoiceTotal());
        }
    }
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(childIdentifier, TWRelationshipTypeInvoiceExpense)) {
        if (const TWExpensePtr expense = expenseWithIdentifier(link->childIdentifier())) {
            const TWExpensePtr line = expense->copy();
            line->setInvoiceQuantity(link->value());
            billed = TWWorkArithmetic::add(billed, line->invoiceTotal());
        }
    }
    return billed > 0 ? 1 : (billed < 0 ? -1 : 0);
}

bool TWBusiness::standsAsEntry(const TWTransaction &transaction, std::uint32_t accountType,
                               int sign) const
{
    // An invoice's charge raises what is owed wherever the user moved its
    // other side; a credit note's lowers it wherever moved. Where the lines
    // say nothing (a bill, an invoice without lines), a transaction lowering
    // what is owed stands only when it books against what lines bill (a
    // bill credit's own charge, a credit typed against income).
    const qint64 change = owedChange(transaction, accountType);
    if (sign > 0)
        return change >= 0;
    if (sign < 0)
        return change <= 0 || booksDocumentCharge(transaction, accountType);
    return change >= 0 || booksDocumentCharge(transaction, accountType);
}

bool TWBusiness::throughMoney(const TWTransaction &transaction) const
{
    const auto money = [this](qint32 identifier) {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return isMoneyAccount(identifier) ||
               (account && account->accountType() == TWAccountTypeCurrentAsset);
    };
    if (!transaction.hasSplit())
        return money(transaction.account1Identifier()) || money(transaction.account2Identifier());
    for (const TWSplitPtr &split : transaction.splits())
        if (split && money(split->accountIdentifier()))
            return true;
    return false;
}

bool TWBusiness::keptBillCredit(const TWTransaction &transaction, std::uint32_t accountType) const
{
    // A bill carries no lines to tell a credit from a payment: a kept charge
    // that lowers what is owed is the bill credit's own, wherever the user
    // moved it, unless it moves money (the bank payment an earlier build's
    // opening marked).
    return accountType == TWAccountTypeAccountsPayable &&
           owedChange(transaction, accountType) < 0 && !throughMoney(transaction);
}

TWTransactionPtr TWBusiness::earlierBuildEntry(const TWTransactionList &unsaid,
                                               std::uint32_t accountType,
                                               const std::function<bool()> &linesBillNothing) const
{
    // Earlier builds kept no mark and took, each time, the first transaction
    // (made first) that books the record's own account against what its
    // lines bill, whatever its sign (a credit note's own entry, a discount
    // booked against income before the entry was made again). One that books
    // nothing yet (0.00) is taken only where nothing else books so or raises
    // what is owed. Where none books so, the first that raises what is owed
    // through another account: a bill charged to a loan. Money received or
    // given back (a merchant's refund, a bill charged to the bank or a
    // prepaid asset) comes last, and for an invoice never: a refund of a
    // credit note or a bounced payment is money, not its entry. A payment, a
    // write-off or a credit through any other account never is.
    const bool invoice = accountType == TWAccountTypeAccountsReceivable;
    TWTransactionPtr charge;
    TWTransactionPtr raising;
    TWTransactionPtr empty;
    TWTransactionPtr money;
    const auto first = keepFirstMade;
    for (const TWTransactionPtr &transaction : unsaid) {
        if (!transaction)
            continue;
        const qint64 change = owedChange(*transaction, accountType);
        if (booksDocumentCharge(*transaction, accountType))
            first(change != 0 ? charge : empty, transaction);
        else if (change > 0 && !throughMoney(*transaction))
            first(raising, transaction);
        else if (change > 0 && !invoice)
            first(money, transaction);
    }
    // An invoice without lines bills nothing: its own 0.00 entry, made
    // before a charge was linked beside it, is the entry that books its
    // lines.
    if (charge && empty && empty->identifier() < charge->identifier() && linesBillNothing())
        return empty;
    if (charge)
        return charge;
    // Of an entry the user moved and one that books nothing, the first made:
    // an invoice without lines books 0.00 before anything else is linked,
    // and a 0.00 transaction linked after a moved entry is not its entry.
    if (raising && empty)
        return empty->identifier() < raising->identifier() ? empty : raising;
    if (raising)
        return raising;
    return empty ? empty : money;
}

TWTransactionPtr TWBusiness::linesEntry(const TWTransactionList &candidates,
                                        std::uint32_t accountType, int sign) const
{
    // The first that books what the lines bill as the record's charge does,
    // else the first that raises (for a credit note: lowers) what is owed
    // through an account that is not money: an entry the user moved.
    TWTransactionPtr charge;
    TWTransactionPtr moved;
    TWTransactionPtr empty;
    const auto first = keepFirstMade;
    for (const TWTransactionPtr &transaction : candidates) {
        if (!transaction || !standsAsEntry(*transaction, accountType, sign))
            continue;
        const qint64 change = owedChange(*transaction, accountType);
        if (change == 0) {
            // Lines that bill nothing are booked by an entry of 0.00.
            if (sign == 0 && accountType == TWAccountTypeAccountsReceivable &&
                booksDocumentCharge(*transaction, accountType))
                first(empty, transaction);
            continue;
        }
        if (booksDocumentCharge(*transaction, accountType))
            first(charge, transaction);
        else if (!throughMoney(*transaction) && (sign < 0 ? change < 0 : change > 0))
            first(moved, transaction);
    }
    return charge ? charge : (moved ? moved : empty);
}

TWBusiness::DocumentLinks TWBusiness::documentLinks(qint32 parentIdentifier, qint32 childIdentifier,
                                                    std::uint32_t linkType,
                                                    std::uint32_t accountType) const
{
    // The entry is the transaction kept as such, where what it books agrees
    // with a record's charge. Links stored before marks were kept say
    // nothing: of those, the one the earlier build's own rule took. A mark
    // that disagrees (an earlier build's opening put it on a payment or a
    // write-off) gives way to the transaction that books what the lines
    // bill. A transaction kept as anything else never is.
    DocumentLinks links;
    TWTransactionPtr kept;
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(parentIdentifier, childIdentifier, linkType)) {
        if (link->splitIdentifier() != 0)
            continue;
        const TWTransactionPtr transaction =
            transactionWithIdentifier(link->transactionIdentifier());
        if (!transaction)
            continue;
        links.linked.append(transaction);
        switch (twDocumentLinkRole(link->value())) {
        case TWDocumentLinkEntry:
        case TWDocumentLinkCopy:
            if (!kept || transaction->identifier() < kept->identifier()) {
                kept = transaction;
                links.copy = twDocumentLinkRole(link->value()) == TWDocumentLinkCopy;
            }
            break;
        case TWDocumentLinkUnsaid:
            links.unsaid.append(transaction);
            break;
        case TWDocumentLinkOther:
            break;
        }
    }
    if (kept) {
        links.marked = true;
        // Most marks name what the record's own save booked: no need to
        // read its lines for those.
        if (booksDocumentCharge(*kept, accountType) ||
            standsAsEntry(*kept, accountType, documentBillsSign(childIdentifier, linkType)) ||
            keptBillCredit(*kept, accountType)) {
            links.entry = kept;
            links.standing = true;
            return links;
        }
        links.untrusted = kept;
        links.copy = false;
        TWTransactionList others = links.linked;
        others.removeIf([&kept](const TWTransactionPtr &t) { return t == kept; });
        links.entry = linesEntry(others, accountType, documentBillsSign(childIdentifier, linkType));
        links.standing = links.entry != nullptr;
        return links;
    }
    if (links.unsaid.isEmpty())
        return links;
    links.entry = earlierBuildEntry(links.unsaid, accountType, [&] {
        return linkType == TWRelationshipTypeInvoicePayment &&
               documentBillsSign(childIdentifier, linkType) == 0;
    });
    if (!links.entry)
        return links;
    // The usual pick, a charge that raises what is owed, stands whatever
    // the lines bill: no need to read them.
    if (owedChange(*links.entry, accountType) >= 0 &&
        booksDocumentCharge(*links.entry, accountType)) {
        links.standing = true;
        return links;
    }
    const int sign = documentBillsSign(childIdentifier, linkType);
    links.standing = standsAsEntry(*links.entry, accountType, sign);
    if (!links.standing) {
        // The earlier build took a discount for the entry: a rebook writes
        // the transaction beside it that books what the lines bill, and
        // never rewrites the discount.
        TWTransactionList others = links.unsaid;
        const TWTransactionPtr pick = links.entry;
        others.removeIf([&pick](const TWTransactionPtr &t) { return t == pick; });
        links.rebookable = linesEntry(others, accountType, sign);
    }
    return links;
}

TWTransactionPtr TWBusiness::documentEntry(qint32 parentIdentifier, qint32 childIdentifier,
                                           std::uint32_t linkType, std::uint32_t accountType) const
{
    return documentLinks(parentIdentifier, childIdentifier, linkType, accountType).entry;
}

TWTransactionPtr TWBusiness::rebookableEntry(qint32 parentIdentifier, qint32 childIdentifier,
                                             std::uint32_t linkType,
                                             std::uint32_t accountType) const
{
    const DocumentLinks links =
        documentLinks(parentIdentifier, childIdentifier, linkType, accountType);
    return links.standing ? links.entry : links.rebookable;
}

bool TWBusiness::documentEntryIsCopy(qint32 parentIdentifier, qint32 childIdentifier,
                                     std::uint32_t linkType, std::uint32_t accountType) const
{
    return documentLinks(parentIdentifier, childIdentifier, linkType, accountType).copy;
}

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

// What a document's linked transactions are, decided in one place for every
// caller (the invoice editor, the bill, task and expense sheets, repeats,
// Duplicate and the lists): which one is the entry (by this build's mark or
// by an earlier build's rule), whether an invoice's save books its entry
// again, and which account each line of a moved entry goes back to. Whether
// a transaction is a payment, a further charge or money given back is the
// model's reading (TWPaymentEntry), which the lists and the invoice renderer
// read without the store; the store hands it its transactions through
// `twPaymentEntries` and reads it nowhere else.

#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

#include "model/TWUnitConversion.h"
#include "model/TWWorkArithmetic.h"

#include <QHash>
#include <QSet>

// ---- The model's view of linked transactions ----

namespace
{

// Which transaction an entry is, seen from which account and line.
TWPaymentEntry entryKey(const TWTransaction &transaction)
{
    TWPaymentEntry entry;
    entry.identifier = transaction.identifier();
    entry.activeAccountIdentifier = transaction.activeAccountIdentifier();
    entry.activeSplitIdentifier = transaction.activeSplitIdentifier();
    return entry;
}

} // namespace

TWPaymentEntryList twPaymentEntryKeys(const TWTransactionList &transactions)
{
    TWPaymentEntryList entries;
    entries.reserve(transactions.size());
    for (const TWTransactionPtr &transaction : transactions) {
        if (transaction)
            entries.append(entryKey(*transaction));
    }
    return entries;
}

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
        TWPaymentEntry entry = entryKey(*transaction);
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

namespace
{

// The readings of a document's transactions an update's read scope keeps.
enum EntriesReading { PlainEntries, ChargeMarkedEntries };

} // namespace

TWPaymentEntryList twPaymentEntries(const TWInvoice &invoice, TWBusiness &business)
{
    return TWDocumentReadScope::entries(business, invoice.readings(), PlainEntries, [&] {
        return twPaymentEntries(invoice.transactions(), business);
    });
}

TWPaymentEntryList twPaymentEntries(const TWBill &bill, TWBusiness &business)
{
    return TWDocumentReadScope::entries(business, bill.readings(), PlainEntries, [&] {
        return twPaymentEntries(bill.transactions(), business);
    });
}

qint64 twHomeOwe(const TWInvoice &invoice, TWBusiness &business)
{
    return TWDocumentReadScope::homeOwe(business, invoice.readings(), [&] {
        return invoice.homeOweWithEntries(twPaymentEntries(invoice, business));
    });
}

TWPaymentEntryList twInvoicePaymentEntries(const TWInvoice &invoice, TWBusiness &business)
{
    return TWDocumentReadScope::entries(business, invoice.readings(), ChargeMarkedEntries, [&] {
        TWPaymentEntryList entries = twPaymentEntries(invoice, business);
        // What the invoice booked charges, whatever its sign.
        if (const TWTransactionPtr entry = business.invoiceEntry(invoice)) {
            for (TWPaymentEntry &paymentEntry : entries)
                paymentEntry.charge = paymentEntry.identifier == entry->identifier();
        }
        return entries;
    });
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

// What a transaction changes on the record's own account: in its amounts, or
// (`home`) by the home amounts it was booked with, so that amounts in several
// units compare as booked. A receivable is owed more by a debit (a positive
// amount on its own side), a payable by a credit.
qint64 changeOnOwnAccount(const TWBusiness &business, const TWTransaction &transaction,
                          std::uint32_t accountType, bool home)
{
    const auto ofType = [&business, accountType](qint32 identifier) {
        const TWAccountPtr account = business.accountWithIdentifier(identifier);
        return account && std::uint32_t(account->accountType()) == accountType;
    };
    qint64 change = 0;
    if (!transaction.hasSplit()) {
        const qint64 total = home ? transaction.totalBusiness() : transaction.total();
        if (ofType(transaction.account1Identifier()))
            change = total;
        else if (ofType(transaction.account2Identifier()))
            change = TWWorkArithmetic::subtract(0, total);
    } else {
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split && ofType(split->accountIdentifier()))
                change =
                    TWWorkArithmetic::add(change, home ? split->totalBusiness() : split->total());
        }
    }
    return accountType == TWAccountTypeAccountsReceivable ? change
                                                          : TWWorkArithmetic::subtract(0, change);
}

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
    return changeOnOwnAccount(*this, transaction, accountType, false);
}

int TWBusiness::documentBillsSign(qint32 childIdentifier, std::uint32_t linkType) const
{
    const qint64 billed = linesBilled(childIdentifier, linkType);
    return billed > 0 ? 1 : (billed < 0 ? -1 : 0);
}

qint64 TWBusiness::linesBilled(qint32 childIdentifier, std::uint32_t linkType) const
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
    return billed;
}

bool TWBusiness::booksBilledAmount(const TWTransaction &transaction, std::uint32_t accountType,
                                   const TWUnitPtr &documentUnit,
                                   const QList<qint64> &amounts) const
{
    const qint64 change = owedChange(transaction, accountType);
    if (change == 0)
        return false;
    // The transaction's unit where it books the record's own account.
    TWUnitPtr unit = transaction.unit();
    if (transaction.hasSplit()) {
        for (const TWSplitPtr &split : transaction.splits()) {
            const TWAccountPtr account =
                split ? accountWithIdentifier(split->accountIdentifier()) : nullptr;
            if (account && std::uint32_t(account->accountType()) == accountType && split->unit()) {
                unit = split->unit();
                break;
            }
        }
    }
    const bool converts = unit && documentUnit && !unit->isEqual(*documentUnit);
    for (const qint64 amount : amounts) {
        // The same numbers: in the document's unit, or in the unit the
        // project had before it changed (its lines bill the same numbers).
        if (amount == 0)
            continue;
        if (change == amount)
            return true;
        if (converts && TWUnitConversion::convertTotal(change, *unit, *documentUnit) == amount)
            return true;
    }
    return false;
}

TWBusiness::BilledBeforeEdit::BilledBeforeEdit(TWBusiness &business, const TWInvoiceList &invoices)
    : m_business(business)
{
    for (const TWInvoicePtr &invoice : invoices) {
        if (!invoice || m_business.m_billedBeforeEdit.contains(invoice->identifier()))
            continue;
        m_business.m_billedBeforeEdit.insert(
            invoice->identifier(),
            m_business.linesBilled(invoice->identifier(), TWRelationshipTypeInvoicePayment));
        m_pinned.append(invoice->identifier());
    }
}

TWBusiness::BilledBeforeEdit::~BilledBeforeEdit()
{
    for (const qint32 identifier : std::as_const(m_pinned))
        m_business.m_billedBeforeEdit.remove(identifier);
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

bool TWBusiness::markGivesWay(const TWTransaction &kept, const TWTransactionList &linked,
                              qint32 childIdentifier, std::uint32_t linkType,
                              std::uint32_t accountType,
                              const std::function<bool(const TWTransaction &)> &booksLines) const
{
    const qint64 change = owedChange(kept, accountType);
    const auto charging = [&](const TWTransactionPtr &other) {
        return other && other->identifier() != kept.identifier() &&
               booksDocumentCharge(*other, accountType) && owedChange(*other, accountType) != 0;
    };
    if (accountType == TWAccountTypeAccountsPayable) {
        // A bill carries no lines: a kept transaction lowering what is owed
        // through a loan, the owner or a liability (a payment an earlier
        // build's opening marked) is a payment of the charges dated on or
        // before it, and pays no more than they charge. A bill credit's own
        // credit, wherever the user moved it, lowers what is owed by more
        // than a fee or a charge linked to it: it stays its entry, whatever
        // their dates.
        if (change >= 0 || booksDocumentCharge(kept, accountType) || booksIncome(kept))
            return false;
        qint64 chargedBefore = 0;
        for (const TWTransactionPtr &other : linked) {
            if (charging(other) && owedChange(*other, accountType) > 0 &&
                other->date() <= kept.date())
                chargedBefore = TWWorkArithmetic::add(
                    chargedBefore, changeOnOwnAccount(*this, *other, accountType, true));
        }
        return chargedBefore > 0 &&
               chargedBefore >= TWWorkArithmetic::subtract(
                                    0, changeOnOwnAccount(*this, kept, accountType, true));
    }
    // An invoice's: a transaction lowering what its lines bill (a discount,
    // a write-off, a payment an earlier build's opening marked) is not its
    // entry, nor is one beside another booking against income or tax that
    // books what the lines bill while it does not.
    const bool others = std::any_of(linked.cbegin(), linked.cend(), charging);
    if (change >= 0 && !others)
        return false;
    if (documentBillsSign(childIdentifier, linkType) <= 0)
        return false;
    // A credit's own entry stays while an edit turns what its lines bill
    // above 0: it books what they billed before the edit, and the save books
    // it again for what they bill now.
    if (change < 0)
        return !booksLines(kept);
    if (booksLines(kept))
        return false;
    return std::any_of(linked.cbegin(), linked.cend(), [&](const TWTransactionPtr &other) {
        return charging(other) && booksLines(*other);
    });
}

bool TWBusiness::booksIncome(const TWTransaction &transaction) const
{
    const auto income = [this](qint32 identifier) {
        const TWAccountPtr account = accountWithIdentifier(identifier);
        return account && account->accountType() == TWAccountTypeIncome;
    };
    if (!transaction.hasSplit())
        return income(transaction.account1Identifier()) || income(transaction.account2Identifier());
    return std::any_of(
        transaction.splits().cbegin(), transaction.splits().cend(),
        [&income](const TWSplitPtr &split) { return split && income(split->accountIdentifier()); });
}

TWTransactionPtr
TWBusiness::earlierBuildEntry(const TWTransactionList &unsaid, std::uint32_t accountType,
                              const std::function<bool()> &linesBillNothing,
                              const std::function<bool(const TWTransaction &)> &booksLines) const
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
    TWTransactionList charges;
    const auto first = keepFirstMade;
    for (const TWTransactionPtr &transaction : unsaid) {
        if (!transaction)
            continue;
        const qint64 change = owedChange(*transaction, accountType);
        if (booksDocumentCharge(*transaction, accountType)) {
            if (change != 0)
                charges.append(transaction);
            first(change != 0 ? charge : empty, transaction);
        } else if (change > 0 && !throughMoney(*transaction))
            first(raising, transaction);
        else if (change > 0 && !invoice)
            first(money, transaction);
    }
    // An invoice without lines bills nothing: its own 0.00 entry, made
    // before a charge was linked beside it, is the entry that books its
    // lines.
    if (charge && empty && empty->identifier() < charge->identifier() && linesBillNothing())
        return empty;
    // Several book against income or tax (the entry made again after a
    // discount, a late fee or a further charge through income): the one that
    // books what the lines bill is the entry.
    if (charges.size() > 1)
        return firstBookingLines(charges, booksLines, charge);
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

TWTransactionPtr
TWBusiness::firstBookingLines(const TWTransactionList &candidates,
                              const std::function<bool(const TWTransaction &)> &booksLines,
                              const TWTransactionPtr &oldest)
{
    TWTransactionPtr found;
    for (const TWTransactionPtr &candidate : candidates) {
        if (candidate && booksLines && booksLines(*candidate))
            keepFirstMade(found, candidate);
    }
    return found ? found : oldest;
}

TWTransactionPtr
TWBusiness::linesEntry(const TWTransactionList &candidates, std::uint32_t accountType, int sign,
                       const std::function<bool(const TWTransaction &)> &booksLines) const
{
    // The first that books what the lines bill as the record's charge does,
    // else the first that raises (for a credit note: lowers) what is owed
    // through an account that is not money: an entry the user moved.
    TWTransactionPtr charge;
    TWTransactionPtr moved;
    TWTransactionPtr empty;
    TWTransactionList charges;
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
        if (booksDocumentCharge(*transaction, accountType)) {
            first(charge, transaction);
            charges.append(transaction);
        } else if (!throughMoney(*transaction) && (sign < 0 ? change < 0 : change > 0)) {
            first(moved, transaction);
        }
    }
    if (charges.size() > 1)
        return firstBookingLines(charges, booksLines, charge);
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
    // What the lines bill, read only where it decides: now and, while an edit
    // of them is under way, before it.
    QList<qint64> billed;
    TWUnitPtr billedUnit;
    bool billedRead = false;
    const auto booksLines = [&](const TWTransaction &transaction) {
        if (linkType != TWRelationshipTypeInvoicePayment)
            return false;
        if (!billedRead) {
            billedRead = true;
            billed.append(linesBilled(childIdentifier, linkType));
            const auto before = m_billedBeforeEdit.constFind(childIdentifier);
            if (before != m_billedBeforeEdit.constEnd())
                billed.append(*before);
            if (const TWProjectPtr project = projectWithIdentifier(parentIdentifier))
                billedUnit = project->unit();
        }
        return booksBilledAmount(transaction, accountType, billedUnit, billed);
    };
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
        // read its lines for those. A duplicate's copy on the receivable is
        // the copy's entry whatever its sign (a credit note's moved to an
        // expense): its own lines book it at its first save.
        if ((booksDocumentCharge(*kept, accountType) ||
             standsAsEntry(*kept, accountType, documentBillsSign(childIdentifier, linkType)) ||
             keptBillCredit(*kept, accountType) ||
             (links.copy && accountType == TWAccountTypeAccountsReceivable &&
              !throughMoney(*kept))) &&
            (links.copy || !markGivesWay(*kept, links.linked, childIdentifier, linkType,
                                         accountType, booksLines))) {
            links.entry = kept;
            links.standing = true;
            return links;
        }
        links.untrusted = kept;
        links.copy = false;
        TWTransactionList others = links.linked;
        others.removeIf([&kept](const TWTransactionPtr &t) { return t == kept; });
        links.entry = linesEntry(others, accountType, documentBillsSign(childIdentifier, linkType),
                                 booksLines);
        links.standing = links.entry != nullptr;
        return links;
    }
    if (links.unsaid.isEmpty())
        return links;
    links.entry = earlierBuildEntry(
        links.unsaid, accountType,
        [&] {
            return linkType == TWRelationshipTypeInvoicePayment &&
                   documentBillsSign(childIdentifier, linkType) == 0;
        },
        booksLines);
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
        links.rebookable = linesEntry(others, accountType, sign, booksLines);
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

TWErrorResult TWBusiness::settleInvoiceEntrySizes()
{
    // Most split transactions state their size: only those stored with 0
    // are asked whether they are an invoice's entry.
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (transaction && transaction->hasSplit() && transaction->total() == 0 &&
            isDocumentEntry(*transaction, TWRelationshipTypeInvoicePayment))
            transaction->settleSplitSize();
    }
    return std::nullopt;
}

// ---- Whether an invoice's save books its entry again ----

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
        // A line of a transaction that settles several documents (a credit
        // note applied to an invoice) counts alone: its other lines settle
        // the others.
        qint64 change = 0;
        if (view->activeSplitIdentifier() != 0) {
            const TWSplitPtr split = linked->splitWithIdentifier(view->activeSplitIdentifier());
            if (split && isReceivable(split->accountIdentifier()))
                change = split->total();
        } else {
            change = owedChange(*linked, TWAccountTypeAccountsReceivable);
        }
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
    // Each line stays where it is, also on another account of its own kind
    // (a second income account, another tax authority's account).
    const auto stays = [this, &typeOf, &moved](qint32 identifier,
                                               std::uint32_t own) -> TWAccountPtr {
        return typeOf(identifier) == own ? accountWithIdentifier(identifier)
                                         : moved(identifier, own);
    };
    lines.income = stays(others.at(income)->accountIdentifier(), TWAccountTypeIncome);
    lines.tax = stays(others.at(1 - income)->accountIdentifier(), TWAccountTypeTax);
    return lines;
}

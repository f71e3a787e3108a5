// The bills of a business: the table, the in-memory list with its indexes by
// identifier and by merchant, the transactions that charge and pay a bill,
// the account proposed for the next one and the transaction built for one or
// several bills; and what a bill computes with the business's help.

#include "store/TWBusiness.h"
#include "store/TWDocumentReads.h"
#include "store/TWOwing.h"
#include "store/TWRecordWrites.h"
#include "store/TWRepeatCopies.h"
#include "store/TWTransactionEditing.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWRepeat.h"
#include "store/TWWorkColumns.h"

#include <sqlite3.h>

namespace
{

const char *const kBillsMaxIdentifierSQL = "SELECT MAX(identifier) FROM bills;";
const char *const kBillsSelectSQL =
    "SELECT identifier, merchantIdentifier, date, name, received, paid, dueDate, "
    "repeatIdentifier, notes FROM bills;";
const char *const kBillsInsertSQL =
    "INSERT INTO bills ( identifier, merchantIdentifier, date, name, received, paid, dueDate, "
    "repeatIdentifier, notes ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kBillsDeleteSQL = "DELETE FROM bills WHERE identifier=?;";
const char *const kBillsUpdateSQL =
    "UPDATE bills SET date=?, name=?, received=?, paid=?, dueDate=?, repeatIdentifier=?, "
    "notes=? WHERE identifier=?;";
// The value an update leaves alone, as stored.
const char *const kBillsStoredSQL =
    "SELECT merchantIdentifier, date FROM bills WHERE identifier=?;";

} // namespace

// ---- What a bill asks of the business ----

void twUpdateTransactions(TWBill &bill, TWBusiness &business)
{
    if (!TWDocumentReadScope::readBefore(business, bill.readings(), bill.transactions())) {
        bill.setTransactions(business.transactionsWithBill(bill));
        TWDocumentReadScope::noteReadFromStore(business, bill.readings());
    }
}

TWBillPtr twRepeatBill(const TWBill &bill, const QDateTime &date, TWBusiness &business)
{
    return bill.repeatBillWithDate(date, business.nextBillIdentifier());
}

// ---- Lookups ----

TWBillPtr TWBusiness::billWithIdentifier(qint32 identifier) const
{
    return m_bills.withIdentifier(identifier);
}

TWBillList TWBusiness::billsWithMerchant(const TWMerchant &merchant) const
{
    return m_bills.withOwner(merchant.identifier());
}

TWBillList TWBusiness::billsWithMerchants(const TWMerchantList &merchants) const
{
    // Each bill once, however often its merchant is given: these lists are
    // summed into what is owed.
    QHash<qint32, int> once;
    for (const TWMerchantPtr &merchant : merchants) {
        if (merchant)
            once.insert(merchant->identifier(), 1);
    }
    return m_bills.withOwnerCounts(once);
}

TWTransactionList TWBusiness::transactionsWithBill(const TWBill &bill) const
{
    TWTransactionList views;
    appendPaymentTransactions(views, bill.merchantIdentifier(), bill.identifier(),
                              TWRelationshipTypeBillPayment);
    TWTransaction::sortTransactions(views);
    return views;
}

TWTransactionList TWBusiness::transactionsWithBills(const TWBillList &bills) const
{
    TWTransactionList views;
    for (const TWBillPtr &bill : bills) {
        if (!bill)
            continue;
        if (TWDocumentReadScope::wasRead(*this, bill->readings()))
            appendViewCopies(views, bill->transactions());
        else
            appendPaymentTransactions(views, bill->merchantIdentifier(), bill->identifier(),
                                      TWRelationshipTypeBillPayment);
    }
    TWTransaction::sortTransactions(views);
    return views;
}

TWAccountPtr TWBusiness::lastBillAccount(const TWBill &bill, std::uint32_t type) const
{
    return proposedAccount(transactionsWithBill(bill), type, true);
}

qint32 TWBusiness::nextBillIdentifier()
{
    return nextIdentifier(kBillsMaxIdentifierSQL);
}

QString TWBusiness::billMerchantDisplayName(const TWBill &bill) const
{
    const TWMerchantPtr merchant = merchantWithIdentifier(bill.merchantIdentifier());
    if (!merchant)
        return QString();
    if (!merchant->company().isEmpty())
        return QStringLiteral("%1 (%2)").arg(merchant->name(), merchant->company());
    return merchant->name();
}

// ---- Loading ----

TWErrorResult TWBusiness::loadBills()
{
    m_bills.clear();
    TWStatement select = statement(kBillsSelectSQL);
    while (select.next()) {
        m_bills.load(TWBill::billWithDate(
            TWWorkColumns::dateFromDayColumn(select.columnDouble(2)), select.columnText(3),
            (select.columnInt64(4) & 0xFF) != 0, (select.columnInt64(5) & 0xFF) != 0,
            TWWorkColumns::dateFromDayColumn(select.columnDouble(6)), select.columnInt32(7),
            select.columnText(8), select.columnInt32(1), select.columnInt32(0)));
    }
    return select.error();
}

// ---- Writes ----

TWErrorResult TWBusiness::addBill(const TWBillPtr &bill, bool notify)
{
    // Identifier 0 is what a failed nextBillIdentifier gives: never stored.
    if (!bill || bill->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kBillsInsertSQL);
        insert.bindInt32(bill->identifier())
            .bindInt32(bill->merchantIdentifier())
            .bindDouble(TWWorkColumns::dayColumn(bill->date()))
            .bindText(bill->name())
            .bindBool(bill->received())
            .bindBool(bill->paid())
            .bindDouble(TWWorkColumns::dayColumn(bill->dueDate()))
            .bindInt32(bill->repeatIdentifier())
            .bindText(bill->notes());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    // A suggestion is not worth losing the record for.
    (void)rememberValue(bill->name(), TWValueListBillNames, notify);
    m_bills.append(scope, bill);
    TWRecordWrites::post(scope, notify, TWBillNewNotification, TWBillNotificationKey, bill);
    return scope.commit();
}

TWErrorResult TWBusiness::updateBill(const TWBillPtr &bill, bool notify)
{
    if (!bill)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    QDateTime storedDate;
    {
        // The merchant is not written: the object takes the stored one.
        TWStatement stored = statement(kBillsStoredSQL);
        stored.bindInt32(bill->identifier());
        if (!stored.next()) {
            if (TWErrorResult error = stored.error())
                return scope.finish(error);
            return scope.finish(databaseError(SQLITE_NOTFOUND));
        }
        const qint32 merchant = stored.columnInt32(0);
        storedDate = TWWorkColumns::dateFromDayColumn(stored.columnDouble(1));
        const qint32 merchantBefore = bill->merchantIdentifier();
        if (merchant != merchantBefore) {
            bill->setMerchantIdentifier(merchant);
            scope.onRollback(
                [bill, merchantBefore] { bill->setMerchantIdentifier(merchantBefore); });
        }
    }
    {
        TWStatement update = statement(kBillsUpdateSQL);
        update.bindDouble(TWWorkColumns::dayColumn(bill->date()))
            .bindText(bill->name())
            .bindBool(bill->received())
            .bindBool(bill->paid())
            .bindDouble(TWWorkColumns::dayColumn(bill->dueDate()))
            .bindInt32(bill->repeatIdentifier())
            .bindText(bill->notes())
            .bindInt32(bill->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    m_bills.replace(scope, bill);
    (void)rememberValue(bill->name(), TWValueListBillNames, notify);
    TWRecordWrites::post(scope, notify, TWBillUpdateNotification, TWBillNotificationKey, bill);
    if (TWDateAdditions::compareDate(storedDate, bill->date()) != 0) {
        // Change from the usual way of building the entry: the payable entry
        // carries the bill's date and follows it, so the cost lands in the
        // bill's period; a closed period is never booked into.
        if (TWErrorResult error = moveDocumentEntry(
                bill->merchantIdentifier(), bill->identifier(), TWRelationshipTypeBillPayment,
                TWAccountTypeAccountsPayable, bill->date(), notify))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::deleteBill(const TWBillPtr &bill, bool notify)
{
    if (!bill)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    // The latest bill of a repeat, deleted alone, stays deleted.
    if (TWErrorResult error = moveRepeatPastItem(bill->repeatIdentifier(), bill->date()))
        return scope.finish(error);
    if (TWErrorResult error = TWRecordWrites::deleteRow(*this, kBillsDeleteSQL, bill->identifier()))
        return scope.finish(error);
    if (TWErrorResult error = deletePaymentLinks(bill->merchantIdentifier(), bill->identifier(),
                                                 TWRelationshipTypeBillPayment))
        return scope.finish(error);
    m_bills.removeIdentifier(scope, bill->identifier());
    TWRecordWrites::post(scope, notify, TWBillDeleteNotification, TWBillNotificationKey, bill);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteRepeatBills(const std::shared_ptr<TWRepeat> &repeat, bool notify)
{
    // Identifier 0 would name every bill without a repeat.
    if (!repeat || repeat->identifier() == 0)
        return std::nullopt;
    WriteScope scope(*this);
    const TWBillList listed = m_bills.list();
    for (auto it = listed.crbegin(); it != listed.crend(); ++it) {
        if ((*it)->repeatIdentifier() != repeat->identifier())
            continue;
        if (TWErrorResult error = deleteBill(*it, notify))
            return scope.finish(error);
    }
    return scope.finish(deleteRepeatHook(repeat));
}

// ---- The ledger side ----

TWTransactionPtr TWBusiness::billCharge(const TWBill &bill) const
{
    return documentEntry(bill.merchantIdentifier(), bill.identifier(),
                         TWRelationshipTypeBillPayment, TWAccountTypeAccountsPayable);
}

TWTransactionPtr TWBusiness::rebookableBillCharge(const TWBill &bill) const
{
    return rebookableEntry(bill.merchantIdentifier(), bill.identifier(),
                           TWRelationshipTypeBillPayment, TWAccountTypeAccountsPayable);
}

TWAccountPtr TWBusiness::billChargeAccount(const TWBill &bill) const
{
    const TWMerchantPtr merchant = merchantWithIdentifier(bill.merchantIdentifier());
    TWTransactionPtr latest;
    if (merchant) {
        for (const TWBillPtr &other : billsWithMerchant(*merchant)) {
            if (other->identifier() == bill.identifier())
                continue;
            const TWTransactionPtr charge = billCharge(*other);
            if (charge && (!latest || charge->compare(*latest) > 0))
                latest = charge;
        }
    }
    if (latest) {
        // The side of that charge that bears the cost: an expense line first,
        // else any line that is neither the payable one, nor tax, nor money
        // (a prepaid asset, a loan). Lines that book nothing say nothing.
        TWAccountPtr expenseLine;
        TWAccountPtr otherLine;
        const auto consider = [this, &expenseLine, &otherLine](qint32 identifier) {
            const TWAccountPtr account = accountWithIdentifier(identifier);
            if (!account)
                return;
            switch (account->accountType()) {
            case TWAccountTypeAccountsPayable:
            case TWAccountTypeTax:
            case TWAccountTypeBank:
            case TWAccountTypeCash:
            case TWAccountTypeCreditCard:
                return;
            case TWAccountTypeExpense:
                if (!expenseLine)
                    expenseLine = account;
                return;
            default:
                if (!otherLine)
                    otherLine = account;
                return;
            }
        };
        if (latest->hasSplit()) {
            for (const TWSplitPtr &split : latest->splits()) {
                if (split && split->total() != 0)
                    consider(split->accountIdentifier());
            }
        } else {
            consider(latest->account1Identifier());
            consider(latest->account2Identifier());
        }
        if (expenseLine)
            return expenseLine;
        if (otherLine)
            return otherLine;
    }
    for (const TWAccountPtr &account : m_accounts) {
        if (account->accountType() == TWAccountTypeExpense)
            return account;
    }
    return nullptr;
}

TWErrorResult TWBusiness::createBillCharge(const TWBillPtr &bill, const TWAccountPtr &payable,
                                           const TWAccountPtr &account, TWTransactionPtr *charge)
{
    if (!bill || !payable || !account || payable->identifier() == account->identifier())
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWTransactionPtr built;
    if (TWErrorResult error = createBillTransaction({bill}, payable, nullptr, &built, false))
        return scope.finish(error);
    // The other side is what the bill's lines name, never the account the
    // defaults of a new transaction would give (often the bank).
    built->setAccount1Identifier(payable->identifier());
    built->setAccount2Identifier(account->identifier());
    built->setActiveAccountIdentifier(payable->identifier());
    if (bill->date().isValid()) {
        if (TWErrorResult error = refuseClosedEntryDate(nullptr, bill->date()))
            return scope.finish(error);
        built->setDate(bill->date());
    }
    twUpdateTotals(*built, TWTotalTypeTotal, TWTotalTypeAll, *this);
    if (TWErrorResult error = setAsideLoweringEntry(bill->merchantIdentifier(), bill->identifier(),
                                                    TWRelationshipTypeBillPayment))
        return scope.finish(error);
    const qint32 linkIdentifier = nextRelationshipIdentifier();
    if (linkIdentifier == 0)
        return scope.finish(databaseError(SQLITE_ERROR));
    if (TWErrorResult error = addRelationship(
            TWRelationship::relationshipWithType(TWRelationshipTypeBillPayment, TWDocumentLinkEntry,
                                                 bill->merchantIdentifier(), bill->identifier(),
                                                 built->identifier(), 0, linkIdentifier),
            true))
        return scope.finish(error);
    if (TWErrorResult error = addTransaction(built, true, true, true, true))
        return scope.finish(error);
    if (charge)
        *charge = built;
    return scope.commit();
}

TWTransactionPtr TWBusiness::invoiceEntry(const TWInvoice &invoice) const
{
    return documentEntry(invoice.projectIdentifier(), invoice.identifier(),
                         TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable);
}

TWTransactionPtr TWBusiness::rebookableInvoiceEntry(const TWInvoice &invoice) const
{
    return rebookableEntry(invoice.projectIdentifier(), invoice.identifier(),
                           TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable);
}

TWErrorResult TWBusiness::createBillTransaction(const TWBillList &bills,
                                                const TWAccountPtr &account,
                                                TWRelationshipList *relationships,
                                                TWTransactionPtr *transaction, bool addTransaction)
{
    QList<PaymentTarget> targets;
    for (const TWBillPtr &bill : bills) {
        if (!bill)
            continue;
        PaymentTarget target;
        target.type = TWRelationshipTypeBillPayment;
        target.parentIdentifier = bill->merchantIdentifier();
        target.childIdentifier = bill->identifier();
        target.payee = billMerchantDisplayName(*bill);
        target.description = bill->name().isEmpty() ? QString() : bill->name();
        target.splitText = target.payee.isEmpty()
                               ? bill->name()
                               : target.payee + QStringLiteral(" - ") + bill->name();
        target.date = bill->date();
        targets.append(target);
    }
    return createPaymentTransaction(targets, account, relationships, transaction, addTransaction);
}

// Closing the books of past accounting periods: the year-end transfers that
// bring every income and expense account back to zero at the end of each
// past period, the closed state of the transactions of closed periods, and
// whether a record has closed or locked transactions.

#include "TWBusiness.h"

#include "TWDateAdditions.h"
#include "TWLocalized.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace
{

// Income and expense accounts are the ones the transfers close.
bool closesAtYearEnd(const TWAccountPtr &account)
{
    if (!account)
        return false;
    const int group = TWAccount::accountGroupType(account->accountType());
    return group == TWAccountGroupTypeIncome || group == TWAccountGroupTypeExpense;
}

bool isClosedOrLocked(const TWTransaction &transaction)
{
    return transaction.state() == TWTransactionStateClosed ||
           transaction.state() == TWTransactionStateLocked;
}

// A period's days as packed day values; an open bound takes the extreme.
struct PeriodDays {
    std::uint32_t first;
    std::uint32_t last;
};

// One period's sums by account identifier: in the home unit and in the
// account's own unit.
struct PeriodSums {
    QHash<qint32, qint64> home;
    QHash<qint32, qint64> own;

    void add(qint32 account, qint64 homeAmount, qint64 ownAmount)
    {
        home[account] += homeAmount;
        own[account] += ownAmount;
    }
};

} // namespace

// ---- Year-end transfers ----

TWErrorResult TWBusiness::updateNominalTransferTransactions()
{
    WriteScope scope(*this);

    // The transfers made before: those the year-end relationships name and,
    // should a relationship have been lost, every transaction of the transfer
    // type (only this rebuild makes them), so none is ever counted twice.
    TWTransactionList previous;
    QSet<qint32> seen;
    for (const TWRelationshipPtr &relationship :
         relationshipsOfType(TWRelationshipTypeNominalTransfer)) {
        const TWTransactionPtr transfer =
            transactionWithIdentifier(relationship->transactionIdentifier());
        if (transfer && !seen.contains(transfer->identifier())) {
            seen.insert(transfer->identifier());
            previous.append(transfer);
        }
    }
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (transaction->type() == TWTransactionTypeNominal &&
            !seen.contains(transaction->identifier())) {
            seen.insert(transaction->identifier());
            previous.append(transaction);
        }
    }
    if (!previous.isEmpty()) {
        if (TWErrorResult error = deleteTransactions(previous, false, false, false))
            return scope.finish(error);
        notifyTransactionsDelete();
    }
    if (TWErrorResult error = deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer))
        return scope.finish(error);

    // Nothing to close into: no periods, or no nominal-transfer account (one
    // that no longer exists would receive amounts no register shows).
    const qint32 nominalIdentifier =
        m_businessInfo ? m_businessInfo->nominalTransferAccountIdentifier() : 0;
    if (nominalIdentifier == 0 || !accountWithIdentifier(nominalIdentifier) ||
        sortedAccountingPeriods().isEmpty())
        return scope.commit();
    const TWAccountingPeriodList periods = sortedAccountingPeriodsWithNone(false);
    if (periods.isEmpty())
        return scope.commit();

    std::vector<PeriodDays> days;
    days.reserve(std::size_t(periods.size()));
    for (const TWAccountingPeriodPtr &period : periods) {
        const QDateTime &start = period->startDate();
        const QDateTime &end = period->endDate();
        days.push_back({start.isValid() ? TWDateAdditions::dateValue(start) : 0u,
                        end.isValid() ? TWDateAdditions::dateValue(end)
                                      : std::numeric_limits<std::uint32_t>::max()});
    }

    // Each transaction counts in the first period holding its day; one
    // without a date belongs to no period.
    std::vector<PeriodSums> sums(std::size_t(periods.size()));
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const std::uint32_t day = transaction->dayValue();
        if (day == 0)
            continue;
        const auto held = std::find_if(days.cbegin(), days.cend(), [day](const PeriodDays &p) {
            return p.first <= day && day <= p.last;
        });
        if (held == days.cend())
            continue;
        PeriodSums &periodSums = sums[std::size_t(held - days.cbegin())];
        if (!transaction->hasSplit()) {
            const qint32 account1 = transaction->account1Identifier();
            const qint32 account2 = transaction->account2Identifier();
            // A transfer between two such accounts touches both.
            if (closesAtYearEnd(accountWithIdentifier(account1)))
                periodSums.add(account1, transaction->totalBusiness(),
                               transaction->totalAccount1());
            if (closesAtYearEnd(accountWithIdentifier(account2)))
                periodSums.add(account2, -transaction->totalBusiness(),
                               -transaction->totalAccount2());
            continue;
        }
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split && closesAtYearEnd(accountWithIdentifier(split->accountIdentifier())))
                periodSums.add(split->accountIdentifier(), split->totalBusiness(),
                               split->totalAccount());
        }
    }

    bool added = false;
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const TWAccountingPeriodPtr &period = periods.at(i);
        const PeriodSums &periodSums = sums[std::size_t(i)];
        QList<qint32> accounts = periodSums.home.keys();
        std::sort(accounts.begin(), accounts.end());
        for (const qint32 account : std::as_const(accounts)) {
            const qint64 home = periodSums.home.value(account);
            if (home == 0)
                continue;
            const qint32 identifier = nextTransactionIdentifier();
            if (identifier == 0)
                return scope.finish(databaseError(SQLITE_ERROR));
            auto transfer = std::make_shared<TWTransaction>();
            transfer->setIdentifier(identifier);
            transfer->setType(TWTransactionTypeNominal);
            transfer->setState(TWTransactionStateLocked);
            transfer->setPayee(TWLocalized("closingEntry"));
            if (period->identifier() != 0)
                transfer->setDescription(TWLocalized("accountingPeriod") + u' ' + period->name());
            transfer->setAccount1Identifier(account);
            transfer->setAccount2Identifier(nominalIdentifier);
            transfer->setDate(period->endDate());
            transfer->setTotal(-home);
            transfer->setTotalBusiness(-home);
            transfer->setTotalAccount1(-periodSums.own.value(account));
            transfer->setUnit(m_homeUnit);
            transfer->setCleared(true);
            transfer->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAccount2, *this);
            if (TWErrorResult error = addTransaction(transfer, false, false, false, false))
                return scope.finish(error);

            const qint32 relationshipIdentifier = nextRelationshipIdentifier();
            if (relationshipIdentifier == 0)
                return scope.finish(databaseError(SQLITE_ERROR));
            if (TWErrorResult error = addRelationship(
                    TWRelationship::relationshipWithType(TWRelationshipTypeNominalTransfer, 0.0,
                                                         period->identifier(), 0, identifier, 0,
                                                         relationshipIdentifier),
                    true))
                return scope.finish(error);
            added = true;
        }
    }
    if (added)
        notifyTransactionsAdd();
    return scope.commit();
}

// ---- Transaction states ----

TWErrorResult TWBusiness::updateTransactionStates()
{
    WriteScope scope(*this);
    // Many transactions share a day: each day's period is looked up once.
    QHash<std::uint32_t, bool> closedByDay;
    bool changed = false;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const std::uint32_t state = transaction->state();
        if (state != TWTransactionStateNormal && state != TWTransactionStateClosed)
            continue;
        auto found = closedByDay.constFind(transaction->dayValue());
        if (found == closedByDay.cend())
            found = closedByDay.insert(transaction->dayValue(),
                                       accountingPeriodForTransaction(*transaction)->closed());
        const bool closed = found.value();
        if ((state == TWTransactionStateClosed) == closed)
            continue;
        transaction->setState(closed ? TWTransactionStateClosed : TWTransactionStateNormal);
        scope.onRollback([transaction, state] { transaction->setState(state); });
        if (TWErrorResult error = updateTransactionState(transaction, false))
            return scope.finish(error);
        changed = true;
    }
    if (changed)
        notifyTransactionsUpdate();
    return scope.commit();
}

bool TWBusiness::transactionClosed(const TWTransaction &transaction) const
{
    if (transaction.state() == TWTransactionStateLocked)
        return false;
    return accountingPeriodForTransaction(transaction)->closed();
}

// ---- Closed or locked transactions of a record ----

bool TWBusiness::accountContainsClosedTransactions(const TWAccount &account) const
{
    const qint32 identifier = account.identifier();
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (!isClosedOrLocked(*transaction))
            continue;
        if (!transaction->hasSplit()) {
            if (transaction->account1Identifier() == identifier ||
                transaction->account2Identifier() == identifier)
                return true;
            continue;
        }
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split && split->accountIdentifier() == identifier)
                return true;
        }
    }
    return false;
}

bool TWBusiness::filterContainsClosedTransactions(const TWFilter &filter)
{
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (isClosedOrLocked(*transaction) && filterHookMatchTransaction(filter, *transaction))
            return true;
    }
    return false;
}

bool TWBusiness::repeatContainsClosedTransactions(const TWRepeat &repeat)
{
    const TWRepeatItemList items = itemsWithRepeatIdentifier(repeat.identifier());
    for (const TWRepeatItem &item : items) {
        if (const TWTransactionPtr transaction = item.record<TWTransaction>()) {
            if (repeat.type() == TWRepeatTypeTransaction && isClosedOrLocked(*transaction))
                return true;
        } else if (const TWInvoicePtr invoice = item.record<TWInvoice>()) {
            if (repeat.type() == TWRepeatTypeInvoice && invoiceContainsClosedTransactions(*invoice))
                return true;
        } else if (const TWBillPtr bill = item.record<TWBill>()) {
            if (repeat.type() == TWRepeatTypeBill && billContainsClosedTransactions(*bill))
                return true;
        }
    }
    return false;
}

// The payments of invoices and bills are found through their payment links,
// so these answer without the invoice and bill lists.
bool TWBusiness::invoiceContainsClosedTransactions(const TWInvoice &invoice) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             invoice.projectIdentifier(), invoice.identifier(), TWRelationshipTypeInvoicePayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return true;
    }
    return false;
}

bool TWBusiness::billContainsClosedTransactions(const TWBill &bill) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             bill.merchantIdentifier(), bill.identifier(), TWRelationshipTypeBillPayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return true;
    }
    return false;
}

// Every payment link of an invoice names the invoice's project as its parent.
bool TWBusiness::projectContainsClosedTransactions(const TWProject &project) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             project.identifier(), TWRelationshipTypeInvoicePayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return true;
    }
    return false;
}

bool TWBusiness::clientContainsClosedTransactions(const TWClient &client) const
{
    const TWProjectList projects = projectsWithClient(client);
    return std::any_of(projects.cbegin(), projects.cend(), [this](const TWProjectPtr &project) {
        return project && projectContainsClosedTransactions(*project);
    });
}

// Every payment link of a bill names the bill's merchant as its parent.
bool TWBusiness::merchantContainsClosedTransactions(const TWMerchant &merchant) const
{
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(merchant.identifier(), TWRelationshipTypeBillPayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return true;
    }
    return false;
}

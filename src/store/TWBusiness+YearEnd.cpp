// Closing the books of past accounting periods: the year-end transfers that
// bring every income and expense account back to zero at the end of each
// past period, the closed state of the transactions of closed periods, and
// whether a record has closed or locked transactions.

#include "TWBusiness.h"

#include "TWDateAdditions.h"
#include "TWLedgerEntries.h"
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

} // namespace

// ---- Year-end transfers ----

TWErrorResult TWBusiness::updateNominalTransferTransactions()
{
    WriteScope scope(*this);

    // Nothing to close into: no periods, or no nominal-transfer account (one
    // that no longer exists would receive amounts no register shows).
    const qint32 nominalIdentifier =
        m_businessInfo ? m_businessInfo->nominalTransferAccountIdentifier() : 0;
    const TWAccountingPeriodList periods =
        nominalIdentifier == 0 || !accountWithIdentifier(nominalIdentifier) ||
                sortedAccountingPeriods().isEmpty()
            ? TWAccountingPeriodList()
            : sortedAccountingPeriodsWithNone(false);

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
    // With identifiers unique, the named transfers are known by address.
    const bool unique = m_transactionIndex.size() == m_transactions.size();
    std::vector<const TWTransaction *> named;
    named.reserve(std::size_t(previous.size()));
    for (const TWTransactionPtr &transfer : std::as_const(previous))
        named.push_back(transfer.get());
    std::sort(named.begin(), named.end());
    const auto isNamed = [&](const TWTransactionPtr &transaction) {
        if (!unique)
            return seen.contains(transaction->identifier());
        return !named.empty() && transaction.get() >= named.front() &&
               transaction.get() <= named.back() &&
               std::binary_search(named.cbegin(), named.cend(), transaction.get());
    };

    // Each transaction counts in the first period holding its day; one
    // without a date belongs to no period. Periods in order without overlaps
    // (the usual case) let the period of the entry before be tried first.
    std::vector<PeriodDays> days;
    days.reserve(std::size_t(periods.size()));
    bool ordered = true;
    for (const TWAccountingPeriodPtr &period : periods) {
        const QDateTime &start = period->startDate();
        const QDateTime &end = period->endDate();
        days.push_back({start.isValid() ? TWDateAdditions::dateValue(start) : 0u,
                        end.isValid() ? TWDateAdditions::dateValue(end)
                                      : std::numeric_limits<std::uint32_t>::max()});
        ordered = ordered && days.back().first <= days.back().last &&
                  (days.size() < 2 || days[days.size() - 2].last < days.back().first);
    }
    // The income and expense accounts get dense slots, found through a table
    // by identifier, so the pass over the ledger hashes nothing.
    std::vector<qint32> slotAccounts;
    qint32 lowest = std::numeric_limits<qint32>::max();
    qint32 highest = std::numeric_limits<qint32>::min();
    for (const TWAccountPtr &account : std::as_const(m_accounts)) {
        if (!account)
            continue;
        const qint32 identifier = account->identifier();
        if (closesAtYearEnd(accountWithIdentifier(identifier)) &&
            std::find(slotAccounts.cbegin(), slotAccounts.cend(), identifier) ==
                slotAccounts.cend()) {
            slotAccounts.push_back(identifier);
            lowest = std::min(lowest, identifier);
            highest = std::max(highest, identifier);
        }
    }
    const bool dense = !slotAccounts.empty() && qint64(highest) - lowest < 1 << 20;
    std::vector<int> slotTable(dense ? std::size_t(qint64(highest) - lowest + 1) : 0, -1);
    QHash<qint32, int> slotHash;
    for (std::size_t i = 0; i < slotAccounts.size(); ++i) {
        if (dense)
            slotTable[std::size_t(slotAccounts[i] - lowest)] = int(i);
        else
            slotHash.insert(slotAccounts[i], int(i));
    }
    const auto slotOf = [&](qint32 account) -> int {
        if (dense)
            return account >= lowest && account <= highest
                       ? slotTable[std::size_t(account - lowest)]
                       : -1;
        return slotHash.value(account, -1);
    };
    const std::size_t width = slotAccounts.size();
    std::vector<qint64> homeSums(days.size() * width, 0);
    std::vector<qint64> ownSums(days.size() * width, 0);
    const auto add = [&](std::size_t period, qint32 account, qint64 home, qint64 own) {
        const int slot = slotOf(account);
        if (slot < 0)
            return;
        homeSums[period * width + std::size_t(slot)] += home;
        ownSums[period * width + std::size_t(slot)] += own;
    };

    // One pass: the stray transfers are collected, and everything else is
    // summed by period and account.
    std::size_t cached = 0;
    const qsizetype count = m_transactions.size();
    for (qsizetype at = 0; at < count; ++at) {
        const TWTransactionPtr &transaction = m_transactions.at(at);
        TWLedgerEntries::prefetchAhead(m_transactions, at);
        if (transaction->type() == TWTransactionTypeNominal) {
            if (!seen.contains(transaction->identifier())) {
                seen.insert(transaction->identifier());
                previous.append(transaction);
            }
            continue;
        }
        if (days.empty() || width == 0 || (!seen.isEmpty() && isNamed(transaction)))
            continue;
        const std::uint32_t day = transaction->dayValue();
        if (day == 0)
            continue;
        std::size_t held = days.size();
        if (ordered && days[cached].first <= day && day <= days[cached].last) {
            held = cached;
        } else {
            const auto found =
                std::find_if(days.cbegin(), days.cend(), [day](const PeriodDays &p) {
                    return p.first <= day && day <= p.last;
                });
            held = std::size_t(found - days.cbegin());
        }
        if (held == days.size())
            continue;
        cached = held;
        if (!transaction->hasSplit()) {
            // A transfer between two such accounts touches both.
            add(held, transaction->account1Identifier(), transaction->totalBusiness(),
                transaction->totalAccount1());
            add(held, transaction->account2Identifier(), -transaction->totalBusiness(),
                -transaction->totalAccount2());
            continue;
        }
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split)
                add(held, split->accountIdentifier(), split->totalBusiness(),
                    split->totalAccount());
        }
    }

    if (!previous.isEmpty()) {
        if (TWErrorResult error = deleteTransactions(previous, false, false, false))
            return scope.finish(error);
        notifyTransactionsDelete();
    }
    if (TWErrorResult error = deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer))
        return scope.finish(error);
    if (periods.isEmpty())
        return scope.commit();

    std::vector<std::size_t> order(width);
    for (std::size_t i = 0; i < width; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return slotAccounts[a] < slotAccounts[b]; });
    bool added = false;
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const TWAccountingPeriodPtr &period = periods.at(i);
        for (const std::size_t slot : order) {
            const qint32 account = slotAccounts[slot];
            const qint64 home = homeSums[std::size_t(i) * width + slot];
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
            transfer->setTotalAccount1(-ownSums[std::size_t(i) * width + slot]);
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

// Closing the books of past accounting periods: the year-end transfers that
// bring every income and expense account back to zero at the end of each
// past period, the closed state of the transactions of closed periods, and
// whether a record has closed or locked transactions.

#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "store/TWLedgerEntries.h"
#include "store/TWTransactionEditing.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <tuple>
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

// What a transfer closes: the account, the amount and the day.
using Closing = std::tuple<qint32, qint64, std::uint32_t>;

Closing closingOf(const TWTransaction &transfer)
{
    return {transfer.account1Identifier(), transfer.total(),
            transfer.date().isValid() ? TWDateAdditions::dateValue(transfer.date()) : 0u};
}

bool isClosedOrLocked(const TWTransaction &transaction)
{
    return transaction.state() == TWTransactionStateClosed ||
           transaction.state() == TWTransactionStateLocked;
}

} // namespace

// ---- Year-end transfers ----

void TWBusiness::yearEndLayout(qint32 &nominalIdentifier, TWAccountingPeriodList &periods,
                               std::vector<TWYearEndSums::PeriodDays> &days,
                               std::vector<qint32> &accounts) const
{
    // Nothing to close into: no periods, or no nominal-transfer account (one
    // that no longer exists would receive amounts no register shows).
    nominalIdentifier = m_businessInfo ? m_businessInfo->nominalTransferAccountIdentifier() : 0;
    const bool closes = nominalIdentifier != 0 && accountWithIdentifier(nominalIdentifier) &&
                        !sortedAccountingPeriods().isEmpty();
    periods = closes ? sortedAccountingPeriodsWithNone(false) : TWAccountingPeriodList();
    const TWAccountingPeriodList all =
        closes ? allAccountingPeriodsWithNone() : TWAccountingPeriodList();
    // Each transaction counts in the first period holding its day; one
    // without a date belongs to no period. The sums cover the periods still
    // to come too, so that the year moving on needs no new pass.
    days.clear();
    days.reserve(std::size_t(all.size()));
    for (const TWAccountingPeriodPtr &period : all) {
        const QDateTime &start = period->startDate();
        const QDateTime &end = period->endDate();
        days.push_back({start.isValid() ? TWDateAdditions::dateValue(start) : 0u,
                        end.isValid() ? TWDateAdditions::dateValue(end)
                                      : std::numeric_limits<std::uint32_t>::max()});
    }
    // What is made for the periods that ended is counted in the first
    // entries (always so: those periods are a beginning of all of them).
    const bool prefix =
        std::size_t(periods.size()) <= days.size() &&
        std::equal(periods.cbegin(), periods.cend(), all.cbegin(),
                   [](const TWAccountingPeriodPtr &a, const TWAccountingPeriodPtr &b) {
                       return a->startDate() == b->startDate() && a->endDate() == b->endDate();
                   });
    if (!prefix)
        days.resize(std::size_t(periods.size()));
    // The income and expense accounts, each once, in list order.
    accounts.clear();
    for (const TWAccountPtr &account : std::as_const(m_accounts)) {
        if (!account)
            continue;
        const qint32 identifier = account->identifier();
        if (closesAtYearEnd(accountWithIdentifier(identifier)) &&
            std::find(accounts.cbegin(), accounts.cend(), identifier) == accounts.cend())
            accounts.push_back(identifier);
    }
}

TWErrorResult TWBusiness::updateNominalTransferTransactions()
{
    WriteScope scope(*this);

    qint32 nominalIdentifier = 0;
    TWAccountingPeriodList periods;
    std::vector<TWYearEndSums::PeriodDays> days;
    std::vector<qint32> slotAccounts;
    yearEndLayout(nominalIdentifier, periods, days, slotAccounts);

    // The transfers made before: those the year-end relationships name and,
    // should a relationship have been lost, every transaction of the transfer
    // type (only this rebuild makes them), so none is ever counted twice.
    const TWRelationshipList links = relationshipsOfType(TWRelationshipTypeNominalTransfer);
    TWTransactionList previous;
    QSet<qint32> seen;
    // The period each named transfer was made for, by transfer identifier.
    QHash<qint32, qint32> periodOfTransfer;
    bool linksOnePerTransfer = true;
    for (const TWRelationshipPtr &relationship : links) {
        const TWTransactionPtr transfer =
            transactionWithIdentifier(relationship->transactionIdentifier());
        if (transfer && !seen.contains(transfer->identifier())) {
            seen.insert(transfer->identifier());
            previous.append(transfer);
            periodOfTransfer.insert(transfer->identifier(), relationship->parentIdentifier());
        } else {
            linksOnePerTransfer = false;
        }
    }
    // With identifiers unique, the named transfers are known by address.
    const bool unique = m_transactionIndex.size() == m_transactions.size();

    // The sums kept since the last rebuild hold for the same periods and
    // accounts when every transfer listed is named once by a relationship as
    // a transfer: then the ledger need not be summed again. Otherwise the
    // whole ledger is summed.
    bool incremental = m_yearEndSums.valid() && m_yearEndSums.sameLayout(days, slotAccounts) &&
                       unique && linksOnePerTransfer &&
                       m_yearEndSums.nominalCount() == previous.size();
    for (const TWTransactionPtr &transfer : std::as_const(previous))
        incremental = incremental && transfer->type() == TWTransactionTypeNominal;

    TWTransactionList namedOthers; // named as transfers, yet not of their type
    if (!incremental) {
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
        // One pass: the stray transfers are collected, and everything else is
        // summed by period and account.
        m_yearEndSums.reset(days, slotAccounts);
        const qsizetype count = m_transactions.size();
        for (qsizetype at = 0; at < count; ++at) {
            const TWTransactionPtr &transaction = m_transactions.at(at);
            TWLedgerEntries::prefetchAhead(m_transactions, at);
            if (transaction->type() == TWTransactionTypeNominal) {
                m_yearEndSums.count(*transaction, 1);
                if (!seen.contains(transaction->identifier())) {
                    seen.insert(transaction->identifier());
                    previous.append(transaction);
                }
                continue;
            }
            if (!seen.isEmpty() && isNamed(transaction)) {
                namedOthers.append(transaction);
                continue;
            }
            m_yearEndSums.count(*transaction, 1);
        }
    }

    // The transfers the sums call for, in the order they are made: by
    // period, then account identifier.
    std::vector<std::size_t> order(slotAccounts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return slotAccounts[a] < slotAccounts[b]; });
    struct Wanted {
        qsizetype period;
        TWTransactionPtr transfer;
    };
    std::vector<Wanted> wanted;
    // Looked up once: the transfers share the texts.
    const QString payee = TWLocalized("closingEntry");
    const QString periodWord = TWLocalized("accountingPeriod");
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const TWAccountingPeriodPtr &period = periods.at(i);
        // Days no period covers (a gap, such as the rest of a shortened
        // year) belong to no period, so their transfers carry no name.
        QString description;
        if (period->identifier() != 0)
            description = periodWord + u' ' + period->name();
        for (const std::size_t slot : order) {
            const qint64 home = m_yearEndSums.home(std::size_t(i), slot);
            if (home == 0)
                continue;
            auto transfer = std::make_shared<TWTransaction>();
            transfer->setType(TWTransactionTypeNominal);
            transfer->setState(TWTransactionStateLocked);
            transfer->setPayee(payee);
            if (!description.isNull())
                transfer->setDescription(description);
            transfer->setAccount1Identifier(slotAccounts[slot]);
            transfer->setAccount2Identifier(nominalIdentifier);
            transfer->setDate(period->endDate());
            transfer->setTotal(-home);
            transfer->setTotalBusiness(-home);
            transfer->setTotalAccount1(-m_yearEndSums.own(std::size_t(i), slot));
            transfer->setUnit(m_homeUnit);
            transfer->setCleared(true);
            twUpdateTotals(*transfer, TWTotalTypeTotal, TWTotalTypeAccount2, *this);
            wanted.push_back({i, std::move(transfer)});
        }
    }
    // Transactions named as transfers count again once they are gone.
    for (const TWTransactionPtr &transaction : std::as_const(namedOthers))
        m_yearEndSums.count(*transaction, 1);

    // Every transfer is deleted and made anew from the sums, except those of
    // a closed period. Change from remaking every transfer: closed books keep
    // their closing entries as they were closed (a new closing account, say,
    // applies to the periods still open), as long as they still close what
    // the period holds: a closed period whose days changed (or that has none
    // yet) gets them made anew, so that no account is closed twice. With
    // nothing to close into, every transfer goes.
    QHash<qint32, QList<Closing>> wantedClosings;
    for (const Wanted &w : wanted) {
        const TWAccountingPeriodPtr &period = periods.at(w.period);
        if (period->identifier() != 0 && period->closed())
            wantedClosings[period->identifier()].append(closingOf(*w.transfer));
    }
    // The closed periods whose transfers may stay, and what those close.
    const auto closedPeriodOf = [&](const TWTransaction &transfer) -> qint32 {
        const auto period = periodOfTransfer.constFind(transfer.identifier());
        if (period == periodOfTransfer.cend() || *period == 0 || periods.isEmpty() ||
            transfer.type() != TWTransactionTypeNominal)
            return 0;
        const TWAccountingPeriodPtr closed = accountingPeriodWithIdentifier(*period);
        return closed && closed->closed() ? *period : 0;
    };
    QHash<qint32, QList<Closing>> madeClosings;
    for (const TWTransactionPtr &transfer : std::as_const(previous)) {
        if (const qint32 period = closedPeriodOf(*transfer))
            madeClosings[period].append(closingOf(*transfer));
    }
    QSet<qint32> keptPeriods;
    for (auto it = madeClosings.begin(); it != madeClosings.end(); ++it) {
        QList<Closing> due = wantedClosings.value(it.key());
        std::sort(it.value().begin(), it.value().end());
        std::sort(due.begin(), due.end());
        if (it.value() == due)
            keptPeriods.insert(it.key());
    }
    TWTransactionList stale;
    TWTransactionList keptTransfers;
    for (const TWTransactionPtr &transfer : std::as_const(previous)) {
        if (keptPeriods.contains(closedPeriodOf(*transfer)))
            keptTransfers.append(transfer);
        else
            stale.append(transfer);
    }
    std::vector<bool> kept(wanted.size(), false);
    for (std::size_t w = 0; w < wanted.size(); ++w)
        kept[w] = keptPeriods.contains(periods.at(wanted[w].period)->identifier());

    if (!stale.isEmpty()) {
        if (TWErrorResult error = deleteTransactions(stale, false, false, false))
            return scope.finish(error);
        notifyTransactionsDelete();
    }
    if (!incremental) {
        // Links naming no transfer go too; the kept transfers are linked again.
        if (TWErrorResult error = deleteRelationshipsOfType(TWRelationshipTypeNominalTransfer))
            return scope.finish(error);
        for (const TWTransactionPtr &transfer : std::as_const(keptTransfers)) {
            const qint32 relationshipIdentifier = nextRelationshipIdentifier();
            if (relationshipIdentifier == 0)
                return scope.finish(databaseError(SQLITE_ERROR));
            if (TWErrorResult error =
                    addRelationship(TWRelationship::relationshipWithType(
                                        TWRelationshipTypeNominalTransfer, 0.0,
                                        periodOfTransfer.value(transfer->identifier()), 0,
                                        transfer->identifier(), 0, relationshipIdentifier),
                                    true))
                return scope.finish(error);
        }
    }
    if (periods.isEmpty())
        return scope.commit();

    bool added = false;
    for (std::size_t w = 0; w < wanted.size(); ++w) {
        if (kept[w])
            continue;
        const TWAccountingPeriodPtr &period = periods.at(wanted[w].period);
        const TWTransactionPtr &transfer = wanted[w].transfer;
        const qint32 identifier = nextTransactionIdentifier();
        if (identifier == 0)
            return scope.finish(databaseError(SQLITE_ERROR));
        transfer->setIdentifier(identifier);
        if (TWErrorResult error = addTransaction(transfer, false, false, false, false))
            return scope.finish(error);

        const qint32 relationshipIdentifier = nextRelationshipIdentifier();
        if (relationshipIdentifier == 0)
            return scope.finish(databaseError(SQLITE_ERROR));
        if (TWErrorResult error =
                addRelationship(TWRelationship::relationshipWithType(
                                    TWRelationshipTypeNominalTransfer, 0.0, period->identifier(), 0,
                                    identifier, 0, relationshipIdentifier),
                                true))
            return scope.finish(error);
        added = true;
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

TWTransactionList
TWBusiness::transactionsWithAccountingPeriod(const TWAccountingPeriod &period) const
{
    TWTransactionList views;
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             period.identifier(), TWRelationshipTypeNominalTransfer)) {
        if (const TWTransactionPtr t = transactionWithIdentifier(link->transactionIdentifier()))
            views.append(t->transactionForActiveAccount(t->account1Identifier(), 0));
    }
    TWTransaction::sortTransactions(views);
    return views;
}

bool TWBusiness::transactionClosed(const TWTransaction &transaction) const
{
    if (transaction.state() == TWTransactionStateLocked)
        return false;
    return accountingPeriodForTransaction(transaction)->closed();
}

// ---- Closed or locked transactions of a record ----

TWTransactionPtr TWBusiness::accountClosedTransaction(const TWAccount &account) const
{
    const qint32 identifier = account.identifier();
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (!isClosedOrLocked(*transaction))
            continue;
        if (!transaction->hasSplit()) {
            if (transaction->account1Identifier() == identifier ||
                transaction->account2Identifier() == identifier)
                return transaction;
            continue;
        }
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split && split->accountIdentifier() == identifier)
                return transaction;
        }
    }
    return nullptr;
}

TWTransactionPtr TWBusiness::filterClosedTransaction(const TWFilter &filter)
{
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        if (isClosedOrLocked(*transaction) && filterHookMatchTransaction(filter, *transaction))
            return transaction;
    }
    return nullptr;
}

TWTransactionPtr TWBusiness::repeatClosedTransaction(const TWRepeat &repeat)
{
    const TWRepeatItemList items = itemsWithRepeatIdentifier(repeat.identifier());
    for (const TWRepeatItem &item : items) {
        TWTransactionPtr found;
        if (const TWTransactionPtr transaction = item.record<TWTransaction>()) {
            if (repeat.type() == TWRepeatTypeTransaction && isClosedOrLocked(*transaction))
                found = transaction;
        } else if (const TWInvoicePtr invoice = item.record<TWInvoice>()) {
            if (repeat.type() == TWRepeatTypeInvoice)
                found = invoiceClosedTransaction(*invoice);
        } else if (const TWBillPtr bill = item.record<TWBill>()) {
            if (repeat.type() == TWRepeatTypeBill)
                found = billClosedTransaction(*bill);
        }
        if (found)
            return found;
    }
    return nullptr;
}

// The payments of invoices and bills are found through their payment links,
// so these answer without the invoice and bill lists.
TWTransactionPtr TWBusiness::invoiceClosedTransaction(const TWInvoice &invoice) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             invoice.projectIdentifier(), invoice.identifier(), TWRelationshipTypeInvoicePayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return payment;
    }
    return nullptr;
}

TWTransactionPtr TWBusiness::billClosedTransaction(const TWBill &bill) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             bill.merchantIdentifier(), bill.identifier(), TWRelationshipTypeBillPayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return payment;
    }
    return nullptr;
}

// Every payment link of an invoice names the invoice's project as its parent.
TWTransactionPtr TWBusiness::projectClosedTransaction(const TWProject &project) const
{
    for (const TWRelationshipPtr &link : relationshipsWithParentIdentifier(
             project.identifier(), TWRelationshipTypeInvoicePayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return payment;
    }
    return nullptr;
}

TWTransactionPtr TWBusiness::clientClosedTransaction(const TWClient &client) const
{
    for (const TWProjectPtr &project : projectsWithClient(client))
        if (TWTransactionPtr found = project ? projectClosedTransaction(*project) : nullptr)
            return found;
    return nullptr;
}

// Every payment link of a bill names the bill's merchant as its parent.
TWTransactionPtr TWBusiness::merchantClosedTransaction(const TWMerchant &merchant) const
{
    for (const TWRelationshipPtr &link :
         relationshipsWithParentIdentifier(merchant.identifier(), TWRelationshipTypeBillPayment)) {
        const TWTransactionPtr payment = transactionWithIdentifier(link->transactionIdentifier());
        if (payment && isClosedOrLocked(*payment))
            return payment;
    }
    return nullptr;
}

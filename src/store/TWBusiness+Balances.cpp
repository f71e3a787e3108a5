// Balances and totals over the business's transactions in memory: running
// balances of a register, an account's balance at a date, totals of accounts,
// filters and plain lists, the span of the ledger's dates, import's duplicate
// test and the budget lines' current cycles. Nothing is cached: the lists
// change under every write, and one pass over them is cheap.

#include "store/TWBudgetTotals.h"
#include "store/TWBusiness.h"

#include "model/TWBudgetItem.h"
#include "store/TWLedgerEntries.h"
#include "store/TWTransactionMatchKey.h"

#include "foundation/TWClock.h"

#include <QHashFunctions>
#include <QSet>

#include <algorithm>
#include <optional>

using TWLedgerEntries::add;
using TWLedgerEntries::negated;

namespace
{

// The accounts a budget line counts: its account, or every account of its
// group at any depth.
TWBudgetTotalPtr budgetTotalFor(const TWBusiness &business, const TWBudgetItem &budgetItem)
{
    TWAccountList accounts;
    if (budgetItem.itemType() == TWItemTypeAccount) {
        if (TWAccountPtr account = business.accountWithIdentifier(budgetItem.itemIdentifier()))
            accounts.append(account);
    } else {
        accounts = business.groupItems(budgetItem.itemIdentifier(), TWItemTypeAccount);
    }
    return budgetItem.budgetTotalWithTransactions(business.transactions(), accounts,
                                                  business.homeUnit(), TWBusiness::unitConverter(),
                                                  &TWBusiness::isAccountDebitPositive);
}

} // namespace

// A well-mixed 64-bit value of one split line; summed over the lines, the
// order of the lines does not matter.
static quint64 lineFingerprint(qint32 account, qint64 total)
{
    quint64 z = (quint64(quint32(account)) << 32) ^ quint64(total) ^ 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return (z ^ (z >> 31)) + quint64(total) * 0x9E3779B97F4A7C15ULL;
}

std::optional<TWTransactionMatchKey> twTransactionMatchKey(const TWTransaction &transaction)
{
    if (transaction.dayValue() == 0 || !transaction.unit())
        return std::nullopt;
    TWTransactionMatchKey key{
        transaction.total(),    transaction.account1Identifier(), transaction.account2Identifier(),
        transaction.dayValue(), transaction.unit()->code(),       0};
    if (transaction.hasSplit()) {
        // A split entry is its lines: the total and accounts it carries are
        // whatever made it left there (its first line's, the bank's, none),
        // so its size is taken from its debit lines instead.
        key.total = 0;
        key.account1 = 0;
        key.account2 = 0;
        // The line count too, so that no line can be added or dropped unseen.
        key.lines = quint64(transaction.splits().size()) << 56;
        for (const TWSplitPtr &split : transaction.splits()) {
            if (!split)
                continue;
            key.lines += lineFingerprint(split->accountIdentifier(), split->total());
            key.total += std::max<qint64>(split->total(), 0);
        }
    }
    return key;
}

// ---- Running balances and balances at a date ----

void TWBusiness::updateBalance(const TWTransactionList &transactions) const
{
    QHash<qint32, qint64> balances;
    for (const TWTransactionPtr &row : transactions) {
        if (!row)
            continue;
        const qint32 account = row->balanceAccountIdentifier();
        qint64 amount = row->activeAccountTotal();
        const auto listed = m_accountIndex.constFind(account);
        if (listed != m_accountIndex.constEnd() && *listed && !isAccountDebitPositive(**listed))
            amount = negated(amount);
        const qint64 balance = TWLedgerEntries::sum(balances.value(account, 0), amount);
        row->setBalance(balance);
        if (account != 0)
            balances.insert(account, balance);
    }
}

qint64 TWBusiness::accountBalance(const TWAccount &account, const QDateTime &date) const
{
    const std::uint32_t limit = TWLedgerEntries::dayValue(date);
    const qint32 identifier = account.identifier();
    qint64 total = 0;
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction || (limit != 0 && transaction->dayValue() > limit))
            continue;
        TWLedgerEntries::forEachAccountEntry(*transaction, [&](qint32 entry, qint64 amount) {
            if (entry == identifier)
                add(total, amount);
        });
    }
    return isAccountDebitPositive(account) ? total : negated(total);
}

QHash<qint32, qint64> TWBusiness::accountBalances(const QDateTime &date) const
{
    const std::uint32_t limit = TWLedgerEntries::dayValue(date);
    QHash<qint32, qint64> raw;
    raw.reserve(m_accounts.size());
    for (qsizetype at = 0; at < m_transactions.size(); ++at) {
        TWLedgerEntries::prefetchAhead(m_transactions, at);
        const TWTransactionPtr &transaction = m_transactions.at(at);
        if (!transaction || (limit != 0 && transaction->dayValue() > limit))
            continue;
        TWLedgerEntries::forEachAccountEntry(
            *transaction, [&](qint32 entry, qint64 amount) { add(raw[entry], amount); });
    }
    QHash<qint32, qint64> balances;
    balances.reserve(raw.size());
    for (auto it = raw.cbegin(); it != raw.cend(); ++it) {
        const auto listed = m_accountIndex.constFind(it.key());
        if (listed == m_accountIndex.constEnd() || !*listed)
            continue;
        balances.insert(it.key(),
                        isAccountDebitPositive(**listed) ? it.value() : negated(it.value()));
    }
    return balances;
}

// ---- Totals ----

qint64 TWBusiness::transactionTotalWithAccount(const TWAccount &account) const
{
    return transactionTotalWithAccount(account, m_transactions);
}

qint64 TWBusiness::transactionTotalWithAccount(const TWAccount &account,
                                               const TWTransactionList &transactions) const
{
    const qint32 identifier = account.identifier();
    qint64 total = 0;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        TWLedgerEntries::forEachAccountEntry(*transaction, [&](qint32 entry, qint64 amount) {
            if (entry == identifier)
                add(total, amount);
        });
    }
    return isAccountDebitPositive(account) ? total : negated(total);
}

qint64 TWBusiness::transactionHomeTotalWithAccounts(const TWAccountList &accounts) const
{
    return transactionHomeTotalWithAccounts(accounts, m_transactions);
}

qint64 TWBusiness::transactionHomeTotalWithAccounts(const TWAccountList &accounts,
                                                    const TWTransactionList &transactions) const
{
    // Account -> whether it is shown as its raw sum.
    QHash<qint32, bool> counted;
    for (const TWAccountPtr &account : accounts) {
        if (account && !counted.contains(account->identifier()))
            counted.insert(account->identifier(), isAccountDebitPositive(*account));
    }
    qint64 total = 0;
    if (counted.isEmpty())
        return total;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        TWLedgerEntries::forEachHomeEntry(*transaction, [&](qint32 entry, qint64 amount) {
            const auto found = counted.constFind(entry);
            if (found != counted.constEnd())
                add(total, *found ? amount : negated(amount));
        });
    }
    return total;
}

qint64 TWBusiness::transactionHomeTotalWithFilters(const TWFilterList &filters) const
{
    return transactionHomeTotalWithFilters(filters, m_transactions);
}

qint64 TWBusiness::transactionHomeTotalWithFilters(const TWFilterList &filters,
                                                   const TWTransactionList &transactions) const
{
    TWFilterList given;
    for (const TWFilterPtr &filter : filters) {
        if (filter)
            given.append(filter);
    }
    qint64 total = 0;
    if (given.isEmpty())
        return total;
    const TWFilterContext context = filterContext();
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        const bool matched = std::any_of(given.cbegin(), given.cend(), [&](const TWFilterPtr &f) {
            return f->matchTransaction(*transaction, context);
        });
        if (!matched)
            continue;
        if (!transaction->hasSplit()) {
            add(total, transaction->totalBusiness());
            continue;
        }
        // A split transaction's lines sum to zero; what it moves is the sum
        // of one side.
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split && split->totalBusiness() > 0)
                add(total, split->totalBusiness());
        }
    }
    return total;
}

qint64 TWBusiness::transactionHomeTotal() const
{
    return transactionHomeTotalWithTransactions(m_transactions);
}

qint64 TWBusiness::transactionHomeTotalWithTransactions(const TWTransactionList &transactions) const
{
    qint64 total = 0;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        if (!transaction->hasSplit()) {
            add(total, transaction->totalBusiness());
            continue;
        }
        for (const TWSplitPtr &split : transaction->splits()) {
            if (split)
                add(total, split->totalBusiness());
        }
    }
    return total;
}

// ---- The ledger's dates ----

QDateTime TWBusiness::oldestTransactionDate() const
{
    QDateTime oldest;
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction)
            continue;
        const QDateTime &date = transaction->date();
        if (date.isValid() && (!oldest.isValid() || date < oldest))
            oldest = date;
    }
    return oldest.isValid() ? oldest : TWClock::now();
}

QDateTime TWBusiness::newestTransactionDate() const
{
    QDateTime newest;
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction)
            continue;
        const QDateTime &date = transaction->date();
        if (date.isValid() && (!newest.isValid() || date > newest))
            newest = date;
    }
    return newest.isValid() ? newest : TWClock::now();
}

// ---- Duplicates ----

bool TWBusiness::matchTransaction(const TWTransaction &transaction) const
{
    const std::optional<TWTransactionMatchKey> key = twTransactionMatchKey(transaction);
    if (!key)
        return false;
    return std::any_of(m_transactions.cbegin(), m_transactions.cend(),
                       [&](const TWTransactionPtr &stored) {
                           return stored && twTransactionMatchKey(*stored) == key;
                       });
}

QList<bool> TWBusiness::matchTransactions(const TWTransactionList &transactions,
                                          const TWTransactionList &otherWay) const
{
    // How many stored transactions have each key: each is ticked off by the
    // one row it matches.
    QHash<TWTransactionMatchKey, qsizetype> stored;
    stored.reserve(m_transactions.size());
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction)
            continue;
        if (std::optional<TWTransactionMatchKey> key = twTransactionMatchKey(*transaction))
            ++stored[std::move(*key)];
    }
    const auto take = [&stored](const TWTransactionPtr &transaction) {
        const std::optional<TWTransactionMatchKey> key =
            transaction ? twTransactionMatchKey(*transaction) : std::nullopt;
        if (!key)
            return false;
        const auto found = stored.find(*key);
        if (found == stored.end() || *found == 0)
            return false;
        --*found;
        return true;
    };
    QList<bool> matches;
    matches.reserve(transactions.size());
    for (const TWTransactionPtr &transaction : transactions)
        matches.append(take(transaction));
    // The other form only for what the rows as written left over.
    for (qsizetype i = 0; i < matches.size() && i < otherWay.size(); ++i) {
        if (!matches.at(i))
            matches[i] = take(otherWay.at(i));
    }
    return matches;
}

// ---- Budgets ----

TWBudgetTotals TWBusiness::budgetTotals() const
{
    QHash<qint32, TWBudgetTotalPtr> groups;
    for (const TWGroupPtr &group : accountGroups()) {
        if (!group)
            continue;
        if (TWBudgetItemPtr line = budgetItemWithType(TWItemTypeAccountGroup, group->identifier()))
            groups.insert(group->identifier(), budgetTotalFor(*this, *line));
    }
    QHash<qint32, TWBudgetTotalPtr> accounts;
    for (const TWAccountPtr &account : m_accounts) {
        if (!account)
            continue;
        if (TWBudgetItemPtr line = budgetItemWithType(TWItemTypeAccount, account->identifier()))
            accounts.insert(account->identifier(), budgetTotalFor(*this, *line));
    }
    TWBudgetTotals totals;
    totals.insert(TWItemTypeAccountGroup, groups);
    totals.insert(TWItemTypeAccount, accounts);
    return totals;
}

TWBudgetTotalPtr twBudgetTotal(const TWBudgetItem &item, TWBusiness &business)
{
    return budgetTotalFor(business, item);
}

#include "import/core/TWImportDuplicates.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWAccount.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionMatchKey.h"
#include "store/TWWorkTotals.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
#include <optional>
#include <tuple>

namespace
{

// A quantity as exact bits: the stored test compares with ==, so 0 and -0
// are one value.
quint64 quantityBits(double quantity)
{
    return std::bit_cast<quint64>(quantity == 0.0 ? 0.0 : quantity);
}

struct TaskKey {
    qint32 project;
    quint32 taskType;
    qint64 rate;
    quint32 day;
    quint64 quantity;
    bool operator==(const TaskKey &) const = default;
};

struct ExpenseKey {
    qint32 project;
    qint64 cost;
    quint32 day;
    quint64 quantity;
    bool operator==(const ExpenseKey &) const = default;
};

size_t qHash(const TaskKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.project, key.taskType, key.rate, key.day, key.quantity);
}

size_t qHash(const ExpenseKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.project, key.cost, key.day, key.quantity);
}

// A record without a date matches nothing (as the stored tests answer).
std::optional<quint32> day(const QDateTime &date)
{
    if (!date.isValid())
        return std::nullopt;
    return TWDateAdditions::dateValue(date);
}

std::optional<TaskKey> taskKey(const TWTask &task, double quantity)
{
    const std::optional<quint32> taskDay = day(task.date());
    if (!taskDay)
        return std::nullopt;
    return TaskKey{task.projectIdentifier(), task.taskType(), task.rate(), *taskDay,
                   quantityBits(quantity)};
}

std::optional<ExpenseKey> expenseKey(const TWExpense &expense)
{
    const std::optional<quint32> expenseDay = day(expense.date());
    if (!expenseDay)
        return std::nullopt;
    return ExpenseKey{expense.projectIdentifier(), expense.cost(), *expenseDay,
                      quantityBits(expense.quantity())};
}

// A transaction as one account's register lists it: that account first, the
// other second, the amount as it moves that account (the store's sign: the
// first account gains the total).
using MatchKey = TWTransactionMatchKey;

std::optional<MatchKey> rowKey(const TWTransaction &transaction)
{
    return twTransactionMatchKey(transaction);
}

// The places of the stored transactions, each taken by one row at most, found
// through every key a row may carry for it: a hash of keys to places, with a
// cursor past the places already taken, so a file costs one pass over the
// store and one over its rows.
class Places
{
public:
    // A stored transaction's places: one per account it touches, each found
    // by the keys of that account's listing of it (with account 2 left open
    // too, 0, for a statement's line, which names no other account). A split
    // entry's lines are found under the account that lists them, or under
    // any of its accounts by a row whose file does not say which (0).
    template <typename UnitOf> void addStored(const TWTransaction &stored, const UnitOf &unitOf)
    {
        const std::optional<MatchKey> key = rowKey(stored);
        if (!key)
            return;
        const std::uint32_t day = key->day;
        if (stored.hasSplit()) {
            // Each account's lines as its statement shows them: one line in
            // its own unit, several summed in the account's.
            QHash<qint32, QList<const TWSplit *>> lines;
            QList<qint32> order;
            for (const TWSplitPtr &split : stored.splits()) {
                if (!split)
                    continue;
                if (!lines.contains(split->accountIdentifier()))
                    order.append(split->accountIdentifier());
                lines[split->accountIdentifier()].append(split.get());
            }
            for (const qint32 account : std::as_const(order)) {
                const QList<const TWSplit *> &own = lines.value(account);
                MatchKey listed = *key;
                listed.account1 = account;
                QList<MatchKey> keys{listed, *key};
                if (own.size() == 1 && own.first()->unit())
                    keys.append(
                        {own.first()->total(), account, 0, day, own.first()->unit()->code(), 0});
                if (const TWUnitPtr unit = unitOf(account)) {
                    qint64 sum = 0;
                    for (const TWSplit *split : own)
                        sum += split->totalAccount();
                    keys.append({sum, account, 0, day, unit->code(), 0});
                }
                add(keys);
            }
            if (order.isEmpty())
                add({*key});
            return;
        }
        const qint32 account1 = stored.account1Identifier();
        const qint32 account2 = stored.account2Identifier();
        const qint64 total = key->total;
        // As written: listed under account 1. The file may also write it in
        // that account's own unit (a QIF file carries no unit: a euro entry of
        // a dollar account comes back as the dollars it moved).
        QList<MatchKey> first{*key, {total, account1, 0, day, key->unit, 0}};
        if (const TWUnitPtr unit = unitOf(account1); unit && unit->code() != key->unit) {
            first.append({stored.totalAccount1(), account1, account2, day, unit->code(), 0});
            first.append({stored.totalAccount1(), account1, 0, day, unit->code(), 0});
        }
        add(first);
        if (account2 == account1)
            return;
        // The other way round: listed under account 2.
        QList<MatchKey> second{{-total, account2, account1, day, key->unit, 0},
                               {-total, account2, 0, day, key->unit, 0}};
        if (const TWUnitPtr unit = unitOf(account2); unit && unit->code() != key->unit) {
            second.append({-stored.totalAccount2(), account2, account1, day, unit->code(), 0});
            second.append({-stored.totalAccount2(), account2, 0, day, unit->code(), 0});
        }
        add(second);
    }

    // A key a row carries: places are found only by such keys.
    void want(const MatchKey &key) { m_wanted.insert(key); }

    bool take(const MatchKey &key)
    {
        const auto found = m_byKey.find(key);
        if (found == m_byKey.end())
            return false;
        Entry &entry = *found;
        while (entry.next < entry.places.size() && m_taken.at(entry.places.at(entry.next)))
            ++entry.next;
        if (entry.next == entry.places.size())
            return false;
        m_taken[entry.places.at(entry.next++)] = true;
        return true;
    }

private:
    struct Entry {
        QList<qsizetype> places;
        qsizetype next = 0;
    };

    // Only the keys some row carries are kept: a file of a few rows against
    // a large business hashes what it can find, not the whole store.
    void add(const QList<MatchKey> &keys)
    {
        qsizetype place = -1;
        for (const MatchKey &key : keys) {
            if (!m_wanted.contains(key))
                continue;
            if (place < 0) {
                place = m_taken.size();
                m_taken.append(false);
            }
            m_byKey[key].places.append(place);
        }
    }

    QHash<MatchKey, Entry> m_byKey;
    QList<bool> m_taken;
    QSet<MatchKey> m_wanted;
};

} // namespace

namespace TWImportDuplicates
{

QList<bool> transactions(const TWBusiness &business, const TWTransactionList &transactions,
                         const QSet<qint32> &openCounterparts, const QSet<qint32> &unlistedSplits)
{
    // One place per account a stored transaction touches: a file that lists
    // the transaction under each of its accounts (the program's own export
    // of several accounts) finds it once under each, and of two like rows
    // listed under one account only one finds it.
    QList<std::optional<MatchKey>> keys;
    keys.reserve(transactions.size());
    Places places;
    for (const TWTransactionPtr &transaction : transactions) {
        std::optional<MatchKey> key = transaction ? rowKey(*transaction) : std::nullopt;
        if (key && key->lines == 0 && openCounterparts.contains(transaction->identifier()))
            key->account2 = 0;
        // A split entry's row takes a place under the account whose file
        // lists it: of two like split purchases in one account's file, where
        // one is stored, one is new, however many accounts its lines touch.
        if (key && key->lines != 0 && !unlistedSplits.contains(transaction->identifier()))
            key->account1 = transaction->activeAccountIdentifier();
        if (key)
            places.want(*key);
        keys.append(std::move(key));
    }
    QHash<qint32, TWUnitPtr> accountUnits;
    accountUnits.reserve(business.accounts().size());
    for (const TWAccountPtr &account : business.accounts()) {
        if (account)
            accountUnits.insert(account->identifier(), account->unit());
    }
    const auto unitOf = [&accountUnits](qint32 account) { return accountUnits.value(account); };
    for (const TWTransactionPtr &stored : business.transactions()) {
        if (stored)
            places.addStored(*stored, unitOf);
    }
    QList<bool> matches;
    matches.reserve(transactions.size());
    for (const std::optional<MatchKey> &key : std::as_const(keys))
        matches.append(key && places.take(*key));
    return matches;
}

QList<bool> tasks(TWBusiness &business, const TWTaskList &tasks)
{
    QSet<TaskKey> stored;
    stored.reserve(business.tasks().size());
    for (const TWTaskPtr &task : business.tasks()) {
        if (task) {
            if (const auto key = taskKey(*task, twQuantity(*task, business)))
                stored.insert(*key);
        }
    }
    QList<bool> matches;
    matches.reserve(tasks.size());
    for (const TWTaskPtr &task : tasks) {
        std::optional<TaskKey> key;
        if (task) {
            const TWProjectPtr project = business.projectWithIdentifier(task->projectIdentifier());
            key = taskKey(*task, task->quantityWithProject(project.get(), task->taskItems()));
        }
        matches.append(key && stored.contains(*key));
    }
    return matches;
}

QList<bool> expenses(const TWBusiness &business, const TWExpenseList &expenses)
{
    QSet<ExpenseKey> stored;
    stored.reserve(business.expenses().size());
    for (const TWExpensePtr &expense : business.expenses()) {
        if (expense) {
            if (const auto key = expenseKey(*expense))
                stored.insert(*key);
        }
    }
    QList<bool> matches;
    matches.reserve(expenses.size());
    for (const TWExpensePtr &expense : expenses) {
        const std::optional<ExpenseKey> key = expense ? expenseKey(*expense) : std::nullopt;
        matches.append(key && stored.contains(*key));
    }
    return matches;
}

} // namespace TWImportDuplicates

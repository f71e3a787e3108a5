#pragma once
// How the store's aggregates read the ledger: the entries a transaction books
// into accounts (in the accounts' own units or in the home unit), what each
// aggregate needs to know of an account, sums that stop at the ends of the
// 64-bit range instead of wrapping round on damaged amounts, and the split of
// the calendar by report columns.

#include "foundation/TWDateAdditions.h"
#include "model/TWAccount.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace TWLedgerEntries
{

inline qint64 sum(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_add_overflow(a, b, &result))
        return b < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result;
}

inline qint64 negated(qint64 a)
{
    return a == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max() : -a;
}

inline void add(qint64 &total, qint64 amount)
{
    total = sum(total, amount);
}

// A pass over the whole ledger waits on memory: the transactions lie all over
// the heap. Asking for the one some dozens of entries ahead while the current
// one is summed hides most of that wait; the members such a pass reads lie in
// the first two cache lines of the object.
inline void prefetchAhead(const TWTransactionList &transactions, qsizetype at)
{
    constexpr qsizetype distance = 32;
    if (at + distance >= transactions.size())
        return;
    if (const auto *ahead = reinterpret_cast<const char *>(transactions.at(at + distance).get())) {
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + 64);
    }
    // A split transaction's lines lie in a part of their own, one step
    // further: half way there its object has arrived, and the part is asked
    // for (taking the address of the lines reads no more than the object).
    const TWTransaction *half = transactions.at(at + distance / 2).get();
    if (half && half->hasSplit())
        __builtin_prefetch(&half->splits());
}

// What the aggregates ask of an account, looked up once per call.
struct AccountKind {
    TWAccountGroupType group = TWAccountGroupTypeAsset;
    int type = 0;
    bool debitPositive = true;
};
using AccountKinds = QHash<qint32, AccountKind>;

// Every account of the list by identifier (the first one listed with it).
inline AccountKinds accountKinds(const TWAccountList &accounts)
{
    AccountKinds kinds;
    kinds.reserve(accounts.size());
    for (const TWAccountPtr &account : accounts) {
        if (!account || kinds.contains(account->identifier()))
            continue;
        kinds.insert(account->identifier(),
                     {TWAccount::accountGroupType(account->accountType()),
                      int(account->accountType()), TWBusiness::isAccountDebitPositive(*account)});
    }
    return kinds;
}

// Calls entry(accountIdentifier, amount) for each amount the transaction
// books, in the home unit: account 1 +totalBusiness and account 2
// -totalBusiness, or each line's account +the line's totalBusiness.
template <typename Entry> void forEachHomeEntry(const TWTransaction &transaction, Entry &&entry)
{
    if (transaction.hasSplit()) {
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split)
                entry(split->accountIdentifier(), split->totalBusiness());
        }
        return;
    }
    entry(transaction.account1Identifier(), transaction.totalBusiness());
    entry(transaction.account2Identifier(), negated(transaction.totalBusiness()));
}

// The same in each account's own unit: totalAccount1, -totalAccount2, or each
// line's totalAccount.
template <typename Entry> void forEachAccountEntry(const TWTransaction &transaction, Entry &&entry)
{
    if (transaction.hasSplit()) {
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split)
                entry(split->accountIdentifier(), split->totalAccount());
        }
        return;
    }
    entry(transaction.account1Identifier(), transaction.totalAccount1());
    entry(transaction.account2Identifier(), negated(transaction.totalAccount2()));
}

// The packed day of a bound; 0 for an open (invalid) one.
inline std::uint32_t dayValue(const QDateTime &date)
{
    return date.isValid() ? TWDateAdditions::dateValue(date) : 0;
}

// Whether a packed day lies within the packed bounds (0: open), inclusive.
inline bool containsDay(std::uint32_t day, std::uint32_t from, std::uint32_t to)
{
    return (from == 0 || day >= from) && (to == 0 || day <= to);
}

// Packed bounds of a span (0: open).
struct DaySpan {
    std::uint32_t from = 0;
    std::uint32_t to = 0;

    DaySpan() = default;
    explicit DaySpan(const TWDateSpan &span)
        : from(dayValue(span.fromDate)), to(dayValue(span.toDate))
    {
    }
    bool contains(std::uint32_t day) const { return containsDay(day, from, to); }
};

// Report columns cut the calendar into stretches at their bounds. Whatever is
// dated on one day is added to the one stretch its day falls in (a binary
// search over the bounds), and each column then adds up the stretches it
// covers, so many columns, even overlapping ones, cost no extra pass over the
// records. A day d has the key 2d; a column from f to t starts at the bound
// 2f and ends before the bound 2t + 1.
class ColumnStretches
{
public:
    explicit ColumnStretches(const QList<TWDateSpan> &columns)
    {
        m_bounds.reserve(std::size_t(columns.size()) * 2);
        m_spans.reserve(std::size_t(columns.size()));
        for (const TWDateSpan &column : columns) {
            const DaySpan span(column);
            if (span.from != 0)
                m_bounds.push_back(2 * quint64(span.from));
            if (span.to != 0)
                m_bounds.push_back(2 * quint64(span.to) + 1);
            m_spans.push_back(span);
        }
        std::sort(m_bounds.begin(), m_bounds.end());
        m_bounds.erase(std::unique(m_bounds.begin(), m_bounds.end()), m_bounds.end());
        m_ranges.reserve(m_spans.size());
        for (const DaySpan &span : m_spans) {
            // An inverted column (end before start) covers nothing.
            const std::size_t first = span.from != 0 ? stretchOfDay(span.from) : 0;
            const std::size_t last = span.to != 0 ? stretchOfDay(span.to) : count() - 1;
            m_ranges.emplace_back(first, last);
        }
    }

    // The number of stretches: a list of per-stretch sums has this size.
    std::size_t count() const { return m_bounds.size() + 1; }
    std::size_t stretchOfDay(std::uint32_t day) const
    {
        const quint64 key = 2 * quint64(day);
        return std::size_t(std::upper_bound(m_bounds.cbegin(), m_bounds.cend(), key) -
                           m_bounds.cbegin());
    }
    // The packed bounds of each column, in column order.
    const std::vector<DaySpan> &spans() const { return m_spans; }

    // Each column's total of the per-stretch sums, in column order.
    QList<qint64> perColumn(const std::vector<qint64> &sums) const
    {
        QList<qint64> totals;
        totals.reserve(qsizetype(m_ranges.size()));
        for (const auto &[first, last] : m_ranges) {
            qint64 total = 0;
            for (std::size_t i = first; i <= last && i < sums.size(); ++i)
                add(total, sums[i]);
            totals.append(total);
        }
        return totals;
    }

private:
    std::vector<quint64> m_bounds;
    std::vector<DaySpan> m_spans;
    std::vector<std::pair<std::size_t, std::size_t>> m_ranges;
};

} // namespace TWLedgerEntries

#pragma once
// What the year-end transfers are made from: the sum of every entry into an
// income or expense account, by accounting period and account, in the home
// unit and in the account's own unit. Kept current as transactions join and
// leave the ledger, so that a rebuild after a few new entries looks at those
// entries only instead of the whole ledger.

#include "model/TWTransaction.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

class TWYearEndSums
{
public:
    // A period's days as packed day values; an open bound takes the extreme.
    struct PeriodDays {
        std::uint32_t first;
        std::uint32_t last;
        bool operator==(const PeriodDays &) const = default;
    };

    // Starts over with these periods (in the order the rebuild makes the
    // transfers) and accounts, every sum 0, and no transaction counted.
    void reset(std::vector<PeriodDays> days, std::vector<qint32> accounts)
    {
        m_days = std::move(days);
        m_accounts = std::move(accounts);
        m_ordered = true;
        for (std::size_t i = 0; i < m_days.size(); ++i)
            m_ordered = m_ordered && m_days[i].first <= m_days[i].last &&
                        (i == 0 || m_days[i - 1].last < m_days[i].first);
        m_lowest = std::numeric_limits<qint32>::max();
        qint32 highest = std::numeric_limits<qint32>::min();
        for (const qint32 account : m_accounts) {
            m_lowest = std::min(m_lowest, account);
            highest = std::max(highest, account);
        }
        // The accounts get dense slots, found through a table by identifier,
        // so a pass over the ledger hashes nothing.
        m_dense = !m_accounts.empty() && qint64(highest) - m_lowest < 1 << 20;
        m_table.assign(m_dense ? std::size_t(qint64(highest) - m_lowest + 1) : 0, -1);
        m_hash.clear();
        for (std::size_t i = 0; i < m_accounts.size(); ++i) {
            if (m_dense)
                m_table[std::size_t(m_accounts[i] - m_lowest)] = int(i);
            else
                m_hash.insert(m_accounts[i], int(i));
        }
        m_home.assign(m_days.size() * m_accounts.size(), 0);
        m_own.assign(m_days.size() * m_accounts.size(), 0);
        m_nominal = 0;
        m_cached = 0;
        m_valid = true;
    }

    // Whether the sums stand for the ledger as it is now.
    bool valid() const { return m_valid; }
    // From now on the sums are unknown until the next `reset` and pass: a
    // transaction changed in a way they cannot follow.
    void invalidate() { m_valid = false; }
    // Whether they were made for these periods and accounts.
    bool sameLayout(const std::vector<PeriodDays> &days, const std::vector<qint32> &accounts) const
    {
        return m_days == days && m_accounts == accounts;
    }

    // The position of the period holding the day (the first of them), or
    // periodCount() when none does. A day of 0 (no date) lies in none.
    std::size_t periodOf(std::uint32_t day)
    {
        if (day == 0 || m_days.empty())
            return m_days.size();
        if (m_ordered && m_cached < m_days.size() && m_days[m_cached].first <= day &&
            day <= m_days[m_cached].last)
            return m_cached;
        const auto found = std::find_if(m_days.cbegin(), m_days.cend(), [day](const PeriodDays &p) {
            return p.first <= day && day <= p.last;
        });
        const std::size_t held = std::size_t(found - m_days.cbegin());
        if (held < m_days.size())
            m_cached = held;
        return held;
    }
    int slotOf(qint32 account) const
    {
        if (m_dense)
            return account >= m_lowest && qint64(account) - m_lowest < qint64(m_table.size())
                       ? m_table[std::size_t(account - m_lowest)]
                       : -1;
        return m_hash.value(account, -1);
    }

    // Counts a transaction joining the ledger (`sign` 1) or leaving it (-1):
    // a year-end transfer only by number, any other by its entries.
    void count(const TWTransaction &transaction, int sign)
    {
        if (!m_valid)
            return;
        if (transaction.type() == TWTransactionTypeNominal) {
            m_nominal += sign;
            return;
        }
        if (m_accounts.empty())
            return;
        const std::size_t period = periodOf(transaction.dayValue());
        if (period == m_days.size())
            return;
        // In 64-bit arithmetic that wraps, so that taking a transaction out
        // undoes putting it in exactly, whatever its amounts.
        const quint64 factor = quint64(qint64(sign));
        if (!transaction.hasSplit()) {
            // A transfer between two such accounts touches both.
            add(period, transaction.account1Identifier(),
                factor * quint64(transaction.totalBusiness()),
                factor * quint64(transaction.totalAccount1()));
            add(period, transaction.account2Identifier(),
                (0 - factor) * quint64(transaction.totalBusiness()),
                (0 - factor) * quint64(transaction.totalAccount2()));
            return;
        }
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split)
                add(period, split->accountIdentifier(), factor * quint64(split->totalBusiness()),
                    factor * quint64(split->totalAccount()));
        }
    }
    // Adds amounts to an account's sums of a period (an account without a
    // slot is not closed at year end and is skipped).
    void add(std::size_t period, qint32 account, quint64 home, quint64 own)
    {
        const int slot = slotOf(account);
        if (slot < 0)
            return;
        const std::size_t at = period * m_accounts.size() + std::size_t(slot);
        m_home[at] = qint64(quint64(m_home[at]) + home);
        m_own[at] = qint64(quint64(m_own[at]) + own);
    }
    std::size_t periodCount() const { return m_days.size(); }
    const std::vector<qint32> &accounts() const { return m_accounts; }
    qint64 home(std::size_t period, std::size_t slot) const
    {
        return m_home[period * m_accounts.size() + slot];
    }
    qint64 own(std::size_t period, std::size_t slot) const
    {
        return m_own[period * m_accounts.size() + slot];
    }
    // How many year-end transfers (transactions of that type) are listed.
    qint64 nominalCount() const { return m_nominal; }

private:
    bool m_valid = false;
    bool m_ordered = true;
    bool m_dense = false;
    std::vector<PeriodDays> m_days;
    std::vector<qint32> m_accounts;
    qint32 m_lowest = 0;
    std::vector<int> m_table;
    QHash<qint32, int> m_hash;
    std::vector<qint64> m_home;
    std::vector<qint64> m_own;
    qint64 m_nominal = 0;
    std::size_t m_cached = 0;
};

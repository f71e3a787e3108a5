#pragma once
// The business's transactions by identifier. A ledger's identifiers are
// handed out one after another, so most of them lie in one run: those are
// kept in an array indexed by identifier (one pointer per identifier, where a
// hash would hold a node with the key beside every pointer and twice the
// buckets); identifiers far outside the run are hashed.

#include "model/TWTransaction.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <cstdint>
#include <vector>

class TWTransactionIndex
{
public:
    // (An identifier hashed before the run grew over it stays hashed until
    // it is set again: an empty slot of the run also asks the hash.)
    TWTransactionPtr value(qint32 identifier) const
    {
        const TWTransactionPtr *slot = runSlot(identifier);
        if (slot && *slot)
            return *slot;
        return m_others.isEmpty() ? TWTransactionPtr() : m_others.value(identifier);
    }
    bool contains(qint32 identifier) const
    {
        const TWTransactionPtr *slot = runSlot(identifier);
        if (slot && *slot)
            return true;
        return !m_others.isEmpty() && m_others.contains(identifier);
    }
    // Sets (or replaces) the transaction of the identifier; a null one
    // removes it.
    void insert(qint32 identifier, const TWTransactionPtr &transaction)
    {
        if (!transaction) {
            remove(identifier);
            return;
        }
        if (TWTransactionPtr *slot = runSlotFor(identifier)) {
            if (!*slot) {
                ++m_inRun;
                if (!m_others.isEmpty())
                    m_others.remove(identifier);
            }
            *slot = transaction;
            return;
        }
        m_others.insert(identifier, transaction);
    }
    void remove(qint32 identifier)
    {
        TWTransactionPtr *slot = runSlot(identifier);
        if (slot && *slot) {
            slot->reset();
            --m_inRun;
            return;
        }
        if (!m_others.isEmpty())
            m_others.remove(identifier);
    }
    qsizetype size() const { return m_inRun + m_others.size(); }
    void clear()
    {
        m_run = {};
        m_first = 0;
        m_inRun = 0;
        m_others.clear();
    }
    // Indexes each transaction of the list, the first of each identifier
    // (what a damaged file may repeat), after clearing. The run is chosen to
    // cover the identifiers of the list when they lie close together.
    void assign(const TWTransactionList &transactions)
    {
        clear();
        qint64 lowest = 0;
        qint64 highest = -1;
        for (const TWTransactionPtr &transaction : transactions) {
            if (!transaction)
                continue;
            const qint64 identifier = transaction->identifier();
            if (highest < lowest) {
                lowest = highest = identifier;
            } else {
                lowest = std::min(lowest, identifier);
                highest = std::max(highest, identifier);
            }
        }
        if (highest >= lowest && highest - lowest < runLimit(transactions.size())) {
            m_first = lowest;
            const std::size_t length = std::size_t(highest - lowest + 1);
            // Room for the next identifiers, so that adding does not copy the
            // run at once.
            m_run.reserve(length + length / 16 + 64);
            m_run.resize(length);
        } else {
            m_others.reserve(transactions.size());
        }
        for (const TWTransactionPtr &transaction : transactions) {
            if (transaction && !contains(transaction->identifier()))
                insert(transaction->identifier(), transaction);
        }
    }

private:
    // How far a run may reach beyond its first identifier for `count`
    // transactions: at most about twice as many slots as transactions.
    static qint64 runLimit(qsizetype count) { return 2 * qint64(count) + 4096; }

    const TWTransactionPtr *runSlot(qint32 identifier) const
    {
        const qint64 offset = qint64(identifier) - m_first;
        return offset >= 0 && offset < qint64(m_run.size()) ? &m_run[std::size_t(offset)] : nullptr;
    }
    TWTransactionPtr *runSlot(qint32 identifier)
    {
        return const_cast<TWTransactionPtr *>(std::as_const(*this).runSlot(identifier));
    }
    // The slot of the identifier, growing the run to reach it when it lies
    // just beyond; null when it belongs with the others.
    TWTransactionPtr *runSlotFor(qint32 identifier)
    {
        if (m_run.empty() && m_others.isEmpty())
            m_first = identifier;
        const qint64 offset = qint64(identifier) - m_first;
        if (offset < 0 || offset >= runLimit(size()))
            return nullptr;
        if (offset >= qint64(m_run.size())) {
            if (m_run.capacity() <= std::size_t(offset)) {
                // Grows by an eighth: a large ledger's run is not doubled by
                // a few new entries.
                const std::size_t wanted = std::size_t(offset) + 1;
                m_run.reserve(std::max(wanted, m_run.size() + m_run.size() / 8 + 64));
            }
            m_run.resize(std::size_t(offset) + 1);
        }
        return &m_run[std::size_t(offset)];
    }

    std::vector<TWTransactionPtr> m_run;
    qint64 m_first = 0;
    qsizetype m_inRun = 0;
    QHash<qint32, TWTransactionPtr> m_others;
};

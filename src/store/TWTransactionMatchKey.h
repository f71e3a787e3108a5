#pragma once

// What import's duplicate test compares of a transaction: its total, accounts,
// day and unit, or for a split transaction a fingerprint of its lines. Shared
// by the store's own match and the import's, so both read a row alike.

#include "model/TWTransaction.h"

#include <QHashFunctions>
#include <QString>

#include <cstdint>
#include <optional>

struct TWTransactionMatchKey {
    qint64 total = 0;
    qint32 account1 = 0;
    qint32 account2 = 0;
    std::uint32_t day = 0;
    QString unit;
    // A split transaction's lines, (account, total) pairs in any order,
    // folded into one 64-bit fingerprint: its own total and accounts are 0, so
    // without them any two split transactions of a day would match.
    quint64 lines = 0;

    bool operator==(const TWTransactionMatchKey &other) const = default;
};

inline size_t qHash(const TWTransactionMatchKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.total, key.account1, key.account2, key.day, key.unit, key.lines);
}

// None for a transaction that can match nothing: one without a date (no day
// to compare) or without a unit.
std::optional<TWTransactionMatchKey> twTransactionMatchKey(const TWTransaction &transaction);

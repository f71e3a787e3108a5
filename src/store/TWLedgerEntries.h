#pragma once
// How the store's aggregates read the ledger: the entries a transaction books
// into accounts (in the accounts' own units or in the home unit), what each
// aggregate needs to know of an account, and sums that stop at the ends of the
// 64-bit range instead of wrapping round on damaged amounts.

#include "TWAccount.h"
#include "TWBusiness.h"
#include "TWDateAdditions.h"
#include "TWTransaction.h"

#include <QHash>

#include <limits>

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

} // namespace TWLedgerEntries

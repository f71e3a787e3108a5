#include "store/TWAmountLimits.h"

#include "store/TWBusiness.h"

#include "foundation/TWLocalized.h"
#include "model/TWUnitConversion.h"

#include <QHash>
#include <QSet>

#include <limits>

namespace
{

using Wide = __int128;

TWError notHeld(const QString &message)
{
    return TWError(TWDatabaseErrorDomain, -1, message);
}

bool fits(Wide value)
{
    return value >= Wide(std::numeric_limits<qint64>::min()) &&
           value <= Wide(std::numeric_limits<qint64>::max());
}

// Running balances of every account, in its own unit and in the home unit.
struct Balances {
    QHash<qint32, Wide> own;
    QHash<qint32, Wide> home;

    void add(const TWTransaction &transaction)
    {
        if (transaction.hasSplit()) {
            for (const TWSplitPtr &split : transaction.splits()) {
                if (!split)
                    continue;
                own[split->accountIdentifier()] += Wide(split->totalAccount());
                home[split->accountIdentifier()] += Wide(split->totalBusiness());
            }
            return;
        }
        own[transaction.account1Identifier()] += Wide(transaction.totalAccount1());
        own[transaction.account2Identifier()] -= Wide(transaction.totalAccount2());
        home[transaction.account1Identifier()] += Wide(transaction.totalBusiness());
        home[transaction.account2Identifier()] -= Wide(transaction.totalBusiness());
    }
};

} // namespace

namespace TWAmountLimits
{

TWErrorResult conversionError(const TWBusiness &business, const TWTransaction &transaction)
{
    const TWUnitPtr homeUnit = business.homeUnit();
    const auto check = [](qint64 total, const TWUnitPtr &from, const TWUnitPtr &to,
                          const QString &field) -> TWErrorResult {
        if (!from || !to || from->code() == to->code())
            return std::nullopt;
        if (TWUnitConversion::convertedTotal(total, *from, *to))
            return std::nullopt;
        return notHeld(TWLocalized("amountNotHeldMessage").arg(field, to->code()));
    };
    const auto accountOf = [&business](qint32 identifier) {
        return business.accountWithIdentifier(identifier);
    };
    const QString homeName = TWLocalized("homeCurrency");
    if (transaction.hasSplit()) {
        for (const TWSplitPtr &split : transaction.splits()) {
            if (!split)
                continue;
            if (const TWAccountPtr account = accountOf(split->accountIdentifier()))
                if (TWErrorResult error =
                        check(split->total(), split->unit(), account->unit(), account->name()))
                    return error;
            if (TWErrorResult error = check(split->total(), split->unit(), homeUnit, homeName))
                return error;
        }
        return std::nullopt;
    }
    for (const qint32 identifier :
         {transaction.account1Identifier(), transaction.account2Identifier()}) {
        if (const TWAccountPtr account = accountOf(identifier))
            if (TWErrorResult error = check(transaction.total(), transaction.unit(),
                                            account->unit(), account->name()))
                return error;
    }
    return check(transaction.total(), transaction.unit(), homeUnit, homeName);
}

TWErrorResult amountsError(const TWBusiness &business, const TWTransactionList &transactions)
{
    QSet<qint32> replaced;
    Balances changed;
    for (const TWTransactionPtr &transaction : transactions) {
        if (!transaction)
            continue;
        if (TWErrorResult error = conversionError(business, *transaction))
            return error;
        replaced.insert(transaction->identifier());
        changed.add(*transaction);
    }
    // Only the accounts these transactions book into are asked about: a
    // balance out of range already is no reason to refuse other writes.
    Balances balances;
    for (const TWTransactionPtr &stored : business.transactions()) {
        if (stored && !replaced.contains(stored->identifier()))
            balances.add(*stored);
    }
    for (const TWTransactionPtr &transaction : transactions) {
        if (transaction)
            balances.add(*transaction);
    }
    for (const QHash<qint32, Wide> *sums : {&balances.own, &balances.home}) {
        for (auto it = sums->cbegin(); it != sums->cend(); ++it) {
            if (fits(it.value()) || !changed.own.contains(it.key()))
                continue;
            const TWAccountPtr account = business.accountWithIdentifier(it.key());
            return notHeld(TWLocalized("balanceNotHeldMessage")
                               .arg(account ? account->name() : QString::number(it.key())));
        }
    }
    return std::nullopt;
}

} // namespace TWAmountLimits

#include "ledger/TWSplitEditing.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "ledger/TWAmountArithmetic.h"
#include "ledger/TWTotalController.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <limits>

namespace
{

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    return a && b && a->isEqual(*b);
}

bool isMileageUnit(const TWUnitPtr &unit)
{
    return unit && unit->type() == TWUnitTypeMileage;
}

// A wide sum brought back into an amount: a sum past the range answers the
// nearest end of it, never a wrapped (and possibly zero) value.
qint64 clampedAmount(__int128 sum)
{
    if (sum > std::numeric_limits<qint64>::max())
        return std::numeric_limits<qint64>::max();
    if (sum < std::numeric_limits<qint64>::min())
        return std::numeric_limits<qint64>::min();
    return qint64(sum);
}

// The amount that cancels `amount` (the lowest one, which has no opposite,
// as near as an amount gets).
qint64 negated(qint64 amount)
{
    return amount == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                        : -amount;
}

// "Debit 12.00" / "Credit 12.00" of a balance in `unit`.
QString balanceText(qint64 balance, const TWUnit *unit)
{
    const QString amount =
        TWFormatter::formatter().valueString(balance, unit, true, true, true, false, true);
    return QStringLiteral("%1 %2").arg(TWLocalized(balance < 0 ? "debit" : "credit"), amount);
}

TWUnitPtr accountUnit(const TWBusiness &business, qint32 accountIdentifier)
{
    const TWAccountPtr account = business.accountWithIdentifier(accountIdentifier);
    return account ? account->unit() : TWUnitPtr();
}

} // namespace

namespace TWSplitEditing
{

void splitTransaction(TWTransaction &transaction, TWBusiness &business, bool swappedAccounts)
{
    if (!transaction.hasSplit()) {
        const TWSplitPtr first = TWSplit::splitWithIdentifier(
            0, QString(), transaction.account1Identifier(), transaction.total(),
            transaction.totalAccount1(), transaction.totalBusiness(), transaction.totalStart(),
            transaction.totalEnd(), transaction.unit());
        const TWSplitPtr second = TWSplit::splitWithIdentifier(
            0, QString(), transaction.account2Identifier(), -transaction.total(),
            -transaction.totalAccount2(), -transaction.totalBusiness(), transaction.totalStart(),
            transaction.totalEnd(), transaction.unit());
        transaction.setSplits(swappedAccounts ? TWSplitList{second, first}
                                              : TWSplitList{first, second});
        transaction.setHasSplit(true);
        return;
    }

    // The lines still in place name the accounts (the first two lines'; with
    // one line the last used account 2), then the first line gives the amounts.
    twUpdateAccounts(transaction, business, std::nullopt, false);
    const TWSplitList splits = transaction.splits();
    if (!splits.isEmpty() && splits.first()) {
        const TWSplit &first = *splits.first();
        transaction.setTotal(first.total());
        transaction.setTotalAccount1(first.totalAccount());
        transaction.setTotalBusiness(first.totalBusiness());
        transaction.setTotalStart(first.totalStart());
        transaction.setTotalEnd(first.totalEnd());
        transaction.setUnit(first.unit());
        twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount2, business);
    } else {
        transaction.setTotal(0);
        transaction.setTotalAccount1(0);
        transaction.setTotalAccount2(0);
        transaction.setTotalBusiness(0);
        transaction.setTotalStart(0);
        transaction.setTotalEnd(0);
    }
    transaction.setHasSplit(false);
    transaction.setSplits({});
}

qint64 splitBalance(const TWTransaction &transaction)
{
    // Summed wide: lines whose sum wraps around 64 bits must never look
    // balanced. A sum past the range answers the nearest end of it.
    __int128 balance = 0;
    for (const TWSplitPtr &split : transaction.splits()) {
        if (split)
            balance += split->totalBusiness();
    }
    if (balance > std::numeric_limits<qint64>::max())
        return std::numeric_limits<qint64>::max();
    if (balance < std::numeric_limits<qint64>::min())
        return std::numeric_limits<qint64>::min();
    return qint64(balance);
}

std::optional<qint64> splitUnitBalance(const TWTransaction &transaction, const TWUnitPtr &unit)
{
    TWUnitPtr shared = unit;
    __int128 balance = 0;
    bool any = false;
    for (const TWSplitPtr &split : transaction.splits()) {
        if (!split)
            continue;
        if (!shared)
            shared = split->unit();
        if (!sameUnit(split->unit(), shared))
            return std::nullopt;
        balance += split->total();
        any = true;
    }
    if (!any)
        return std::nullopt;
    return clampedAmount(balance);
}

bool splitIsBalanced(const TWTransaction &transaction)
{
    if (splitBalance(transaction) != 0)
        return false;
    const std::optional<qint64> own = splitUnitBalance(transaction);
    return !own || *own == 0;
}

TWSplitPtr newSplit(TWTransaction &transaction, TWBusiness &business)
{
    const TWSplitList splits = transaction.splits();
    qint32 accountIdentifier = transaction.account1Identifier();
    TWUnitPtr unit = transaction.unit();
    if (!splits.isEmpty() && splits.last()) {
        accountIdentifier = splits.last()->accountIdentifier();
        unit = splits.last()->unit();
    }
    // Lines of one unit are balanced in that unit: the home-unit gap converted
    // back would be off by the rounding of every conversion.
    if (const std::optional<qint64> own = splitUnitBalance(transaction, unit)) {
        const TWSplitPtr split = TWSplit::splitWithIdentifier(0, QString(), accountIdentifier,
                                                              negated(*own), 0, 0, 0, 0, unit);
        twUpdateTotals(*split, TWTotalTypeTotal, TWTotalTypeAll, business);
        TWSplitList updated = splits;
        updated.append(split);
        transaction.setSplits(updated);
        settleSplitResidue(transaction, business);
        return split;
    }
    const TWSplitPtr split = TWSplit::splitWithIdentifier(
        0, QString(), accountIdentifier, 0, 0, negated(splitBalance(transaction)), 0, 0, unit);
    twUpdateTotals(*split, TWTotalTypeBusiness, TWTotalTypeAll, business);
    TWSplitList updated = splits;
    updated.append(split);
    transaction.setSplits(updated);
    return split;
}

bool deleteSplit(TWTransaction &transaction, TWBusiness &business, qsizetype index)
{
    TWSplitList splits = transaction.splits();
    if (index < 0 || index >= splits.size())
        return false;
    splits.removeAt(index);
    transaction.setSplits(splits);
    if (splits.size() < 2) {
        splitTransaction(transaction, business, false);
        return true;
    }
    return false;
}

bool balanceSplit(TWSplit &split, qint64 balance, TWBusiness &business)
{
    qint64 balanced = 0;
    if (__builtin_sub_overflow(split.totalBusiness(), balance, &balanced))
        return false;
    split.setTotalBusiness(balanced);
    twUpdateTotals(split, TWTotalTypeBusiness, TWTotalTypeAll, business);
    return true;
}

bool balanceSplit(TWSplit &split, TWTransaction &transaction, TWBusiness &business)
{
    const std::optional<qint64> own = splitUnitBalance(transaction);
    if (!own)
        return balanceSplit(split, splitBalance(transaction), business);
    qint64 balanced = 0;
    if (__builtin_sub_overflow(split.total(), *own, &balanced))
        return false;
    split.setTotal(balanced);
    twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeAll, business);
    settleSplitResidue(transaction, business);
    return true;
}

QString balanceToolTip(const TWTransaction &transaction, TWBusiness &business)
{
    const qint64 balance = splitBalance(transaction);
    TWUnitPtr unit;
    const std::optional<qint64> own = splitUnitBalance(transaction);
    if (balance != 0 || !own || *own == 0)
        return balanceToolTip(balance, business);
    for (const TWSplitPtr &split : transaction.splits())
        if (split && !unit)
            unit = split->unit();
    return balanceText(*own, unit.get());
}

QString balanceToolTip(qint64 balance, TWBusiness &business)
{
    if (balance == 0)
        return QString();
    return balanceText(balance, business.homeUnit().get());
}

QString splitButtonTitle(bool hasSplit)
{
    return TWLocalized(hasSplit ? "unsplitTransaction" : "splitTransaction");
}

bool updateSplitUnit(TWSplit &split, const TWUnitPtr &unit, TWBusiness &business)
{
    if (!unit)
        return false;
    qint64 total = split.total();
    if (split.unit() && split.unit()->decimalPlaces() != unit->decimalPlaces()) {
        const std::optional<qint64> rescaled = TWAmountArithmetic::rescaledTotal(
            split.total(), split.unit()->decimalPlaces(), unit->decimalPlaces());
        if (!rescaled)
            return false;
        total = *rescaled;
    }
    split.setUnit(unit);
    if (!isMileageUnit(unit)) {
        split.setTotalStart(0);
        split.setTotalEnd(0);
    }
    split.setTotal(total);
    twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeAll, business);
    return true;
}

bool updateSplitAccount(TWSplit &split, const TWAccountPtr &oldAccount,
                        const TWAccountPtr &newAccount, TWBusiness &business)
{
    if (!newAccount)
        return false;
    const qint32 previousIdentifier = split.accountIdentifier();
    split.setAccountIdentifier(newAccount->identifier());
    const bool oldMileage = isMileageAccount(oldAccount.get());
    const bool newMileage = isMileageAccount(newAccount.get());
    const bool unitMileage = isMileageUnit(split.unit());

    TWUnitPtr switchTo;
    if (!unitMileage && !oldMileage && newMileage)
        switchTo = mileageUnit(business);
    else if (oldMileage && unitMileage && !newMileage)
        switchTo = newAccount->unit() ? newAccount->unit() : business.homeUnit();
    if (switchTo) {
        if (!updateSplitUnit(split, switchTo, business)) {
            split.setAccountIdentifier(previousIdentifier);
            return false;
        }
        return true;
    }
    const TWUnitPtr oldUnit = oldAccount ? oldAccount->unit() : TWUnitPtr();
    if (!sameUnit(oldUnit, newAccount->unit()))
        twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeAccount, business);
    return true;
}

void takeNewAccount(TWSplit &split, const TWAccountPtr &account, TWBusiness &business)
{
    if (!account)
        return;
    const TWUnitPtr oldUnit = accountUnit(business, split.accountIdentifier());
    split.setAccountIdentifier(account->identifier());
    if (!sameUnit(oldUnit, account->unit()))
        twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeAccount, business);
}

void settleSplitResidue(const TWTransaction &transaction, TWBusiness &business)
{
    if (!transaction.hasSplit())
        return;
    const TWSplitList &lines = transaction.splits();
    QList<TWUnitPtr> accountUnits;
    accountUnits.reserve(lines.size());
    for (const TWSplitPtr &line : lines)
        accountUnits.append(line ? accountUnit(business, line->accountIdentifier()) : TWUnitPtr());
    TWTransaction::settleSplitResidue(lines, accountUnits);
}

void takeTotals(TWSplit &split, const TWTotalController &totalController, TWBusiness &business,
                const TWTransaction *transaction)
{
    split.setTotalStart(totalController.totalStart());
    split.setTotalEnd(totalController.totalEnd());
    split.setTotal(totalController.total());
    split.setUnit(totalController.unit());
    const TWUnitPtr lineUnit = split.unit();
    const TWUnitPtr unitOfAccount = accountUnit(business, split.accountIdentifier());
    const TWUnitPtr home = business.homeUnit();
    split.setTotalAccount(sameUnit(unitOfAccount, lineUnit) ? split.total()
                                                            : totalController.totalAccount1());
    if (sameUnit(home, lineUnit))
        split.setTotalBusiness(split.total());
    else if (sameUnit(home, unitOfAccount))
        split.setTotalBusiness(split.totalAccount());
    else
        split.setTotalBusiness(totalController.totalBusiness());
    if (transaction)
        settleSplitResidue(*transaction, business);
}

bool isMileageAccount(const TWAccount *account)
{
    return account &&
           TWStringAdditions::searchString(account->name(), TWLocalized("mileage"), true);
}

TWUnitPtr mileageUnit(TWBusiness &business)
{
    if (business.lastMileageUnit())
        return business.lastMileageUnit();
    return business.unitWithCode(TWFormatter::formatter().isUS() ? QStringLiteral("MIL")
                                                                 : QStringLiteral("KM"));
}

TWAccountMenuItems accountsByGroupMenuItems(const TWBusiness &business)
{
    TWAccountMenuItems items;
    for (quint32 group : {0u, 8u, 15u, 16u, 17u}) {
        const TWAccountList accounts = business.accountsOfType(group);
        bool any = false;
        for (const TWAccountPtr &account : accounts) {
            if (!account)
                continue;
            items.append({false, account->name(), account});
            any = true;
        }
        if (any)
            items.append({true, QString(), nullptr});
    }
    items.append({false, TWLocalized("newAccount"), nullptr});
    return items;
}

QStringList descriptionCompletions(TWBusiness &business, const QString &text)
{
    QStringList completions;
    if (text.isEmpty())
        return completions;
    const std::optional<TWValueList> values = business.values(-6);
    if (!values)
        return completions;
    const QString upper = text.toUpper();
    for (const TWValuePtr &value : *values) {
        if (value && value->name().toUpper().startsWith(upper))
            completions.append(value->name());
    }
    return completions;
}

} // namespace TWSplitEditing

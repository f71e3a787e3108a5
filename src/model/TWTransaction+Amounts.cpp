// The transaction's amount arithmetic: the four amounts that follow from the
// typed one, percent-of-total fields, autofill and the default accounts.

#include "model/TWTransaction.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWBuiltInFields.h"

#include <cmath>
#include <limits>

namespace
{

// A share computed in double precision as a whole number of minor units,
// truncated toward zero; 0 when it is not a number or lies outside what an
// amount can hold.
qint64 truncatedAmount(double value)
{
    // 2^63 is exactly representable; every double below it fits.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= limit || value < -limit)
        return 0;
    return static_cast<qint64>(std::trunc(value));
}

TWAccountPtr findAccount(const TWAccountList &accounts, qint32 identifier)
{
    if (identifier == 0)
        return {};
    for (const TWAccountPtr &account : accounts) {
        if (account && account->identifier() == identifier)
            return account;
    }
    return {};
}

} // namespace

void TWTransaction::updateTotalsWithMasterTotalType(int masterTotalType, int totalType,
                                                    const TWUnitPtr &account1Unit,
                                                    const TWUnitPtr &account2Unit,
                                                    const TWUnitPtr &homeUnit,
                                                    const TWUnitConverter &convert)
{
    TWUpdateTotalsFromMaster(masterTotalType, totalType,
                             {{TWTotalTypeTotal, &m_total, &m_unit},
                              {TWTotalTypeAccount1, &m_totalAccount1, &account1Unit},
                              {TWTotalTypeAccount2, &m_totalAccount2, &account2Unit},
                              {TWTotalTypeBusiness, &m_totalBusiness, &homeUnit}},
                             convert);
}

namespace
{

// |amount| without the overflow of negating the smallest amount.
quint64 magnitude(qint64 amount)
{
    return amount < 0 ? quint64(0) - quint64(amount) : quint64(amount);
}

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    return a && b && a->code() == b->code();
}

// Adds `residue` (minus the sum of `amount` over the lines) to `amount` of the
// line at `largest`; nothing when the sum does not fit an amount.
template <typename Amount, typename SetAmount>
void settleResidue(const TWSplitList &lines, qsizetype largest, Amount amount, SetAmount setAmount)
{
    qint64 sum = 0;
    for (const TWSplitPtr &line : lines) {
        if (__builtin_add_overflow(sum, amount(*line), &sum))
            return;
    }
    qint64 settled = 0;
    if (sum == 0 || __builtin_sub_overflow(amount(*lines.at(largest)), sum, &settled))
        return;
    setAmount(*lines.at(largest), settled);
}

} // namespace

void TWTransaction::updateSplitTotals(const TWAccountLookup &account, const TWUnitPtr &homeUnit,
                                      const TWUnitConverter &convert)
{
    if (!m_hasSplit || !convert)
        return;
    detachParts();
    TWSplitList lines;
    QList<TWUnitPtr> accountUnits;
    for (const TWSplitPtr &split : splitList()) {
        if (!split)
            continue;
        const TWAccountPtr found = account ? account(split->accountIdentifier()) : TWAccountPtr();
        const TWUnitPtr accountUnit = found ? found->unit() : TWUnitPtr();
        split->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, accountUnit,
                                               homeUnit, convert);
        lines.append(split);
        accountUnits.append(accountUnit);
    }
    settleSplitResidue(lines, accountUnits);
}

void TWTransaction::settleSplitResidue(const TWSplitList &splits,
                                       const QList<TWUnitPtr> &accountUnits)
{
    TWSplitList lines;
    lines.reserve(splits.size());
    for (const TWSplitPtr &split : splits) {
        if (split)
            lines.append(split);
    }
    if (lines.size() < 2)
        return;

    // Only lines that balance in one unit of their own can be made to
    // balance in the others.
    qint64 sum = 0;
    qsizetype largest = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const TWSplit &line = *lines.at(i);
        if (!sameUnit(line.unit(), lines.first()->unit()) ||
            __builtin_add_overflow(sum, line.total(), &sum))
            return;
        if (magnitude(line.total()) > magnitude(lines.at(largest)->total()))
            largest = i;
    }
    if (sum != 0)
        return;

    settleResidue(
        lines, largest, [](const TWSplit &line) { return line.totalBusiness(); },
        [](TWSplit &line, qint64 v) { line.setTotalBusiness(v); });
    bool oneAccountUnit = accountUnits.size() == splits.size() && !accountUnits.isEmpty();
    for (const TWUnitPtr &unit : accountUnits)
        oneAccountUnit = oneAccountUnit && sameUnit(unit, accountUnits.first());
    if (oneAccountUnit)
        settleResidue(
            lines, largest, [](const TWSplit &line) { return line.totalAccount(); },
            [](TWSplit &line, qint64 v) { line.setTotalAccount(v); });
}

bool TWTransaction::settleSplitSize()
{
    if (!m_hasSplit || !m_unit)
        return false;
    qint64 debits = 0;
    qint64 debitsHome = 0;
    bool ownUnit = false;
    for (const TWSplitPtr &split : splitList()) {
        if (!split)
            continue;
        if (sameUnit(split->unit(), m_unit)) {
            ownUnit = true;
            if (split->total() > 0 && __builtin_add_overflow(debits, split->total(), &debits))
                return false;
        }
        if (split->totalBusiness() > 0 &&
            __builtin_add_overflow(debitsHome, split->totalBusiness(), &debitsHome))
            return false;
    }
    if (!ownUnit || m_total != 0 || debits == 0)
        return false;
    m_total = debits;
    m_totalBusiness = debitsHome;
    return true;
}

void TWTransaction::updatePercentTotals(const TWFieldList &fields)
{
    detachParts();
    qint64 base = 0;
    if (m_hasSplit) {
        for (const TWSplitPtr &split : splitList()) {
            if (split && split->total() > 0)
                base += split->total();
        }
    } else {
        base = m_total;
    }

    for (const TWFieldPtr &field : fields) {
        if (!field || field->type() != TWFieldTypePercentTotal)
            continue;
        const double p = field->percent();
        const double b = double(base);
        const double share = field->includedInTotal() ? b - b / (1.0 + p / 100.0) : b * p / 100.0;

        TWFieldValuePtr value = fieldValueWithField(*field, true);
        if (value->type() != TWFieldTypePercentTotal)
            value->setType(TWFieldTypePercentTotal);
        value->setCurrency(truncatedAmount(share));
    }
}

void TWTransaction::autofill(qint32 triggerFieldIdentifier, const TWTransaction &source,
                             const TWFieldList &fields, const TWAccountLookup &account,
                             const TWUnitPtr &homeUnit, const TWUnitConverter &convert)
{
    detachParts();
    bool totalFilled = false;
    for (const TWFieldPtr &field : fields) {
        if (!field || !field->autofillValue() || field->identifier() == triggerFieldIdentifier)
            continue;

        if (field->type() == TWFieldTypeStandard) {
            switch (field->identifier()) {
            case TWFieldIdentifierNotes:
                setNotes(source.notes());
                break;
            case TWFieldIdentifierDescription:
                m_description = source.m_description;
                break;
            case TWFieldIdentifierPayee:
                m_payee = source.m_payee;
                break;
            case TWFieldIdentifierDate:
                setDate(source.m_date);
                break;
            case TWFieldIdentifierCleared:
                m_cleared = source.m_cleared;
                break;
            case TWFieldIdentifierTotal:
                if (!source.m_hasSplit) {
                    m_total = source.m_total;
                    m_unit = source.m_unit;
                    totalFilled = true;
                }
                break;
            case TWFieldIdentifierAccount2:
                if (!source.m_hasSplit)
                    m_account2Identifier = source.m_account2Identifier;
                break;
            case TWFieldIdentifierAccount1:
                if (!source.m_hasSplit)
                    m_account1Identifier = source.m_account1Identifier;
                break;
            default:
                break;
            }
            continue;
        }

        // A copy: the remembered transaction is a stored one, and editing the
        // new transaction's value must not change it.
        if (TWFieldValuePtr theirs = source.fieldValueWithIdentifier(field->identifier())) {
            removeFieldValueWithIdentifier(field->identifier());
            listFieldValues();
            cold().values.append(theirs->copy());
        }
    }

    // Converted once everything is filled, so that the accounts' amounts are
    // in the units of the accounts the transaction ends up with.
    if (totalFilled) {
        const auto unitOf = [&account](qint32 identifier) -> TWUnitPtr {
            if (!account || identifier == 0)
                return {};
            const TWAccountPtr found = account(identifier);
            return found ? found->unit() : TWUnitPtr();
        };
        updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll,
                                        unitOf(m_account1Identifier), unitOf(m_account2Identifier),
                                        homeUnit, convert);
    }
}

void TWTransaction::updateAccounts(const TWAccountDefaults &defaults,
                                   const std::optional<TWAccountList> &accounts, bool ignoreSplits)
{
    detachParts();
    const TWAccountList &all = defaults.accounts;
    const auto accountAt = [&all](qsizetype index) -> qint32 {
        qsizetype found = 0;
        for (const TWAccountPtr &account : all) {
            if (!account)
                continue;
            if (found++ == index)
                return account->identifier();
        }
        return 0;
    };

    // 1. The accounts as they stand, or those of the first two lines.
    qint32 candidate1 = 0;
    qint32 candidate2 = 0;
    if (!m_hasSplit || ignoreSplits) {
        candidate1 = m_account1Identifier;
        candidate2 = m_account2Identifier;
    } else {
        qsizetype first = -1;
        for (qsizetype i = 0; i < splitList().size(); ++i) {
            if (splitList()[i] && splitList()[i]->accountIdentifier() != 0) {
                first = i;
                break;
            }
        }
        if (first >= 0) {
            candidate1 = splitList()[first]->accountIdentifier();
            for (qsizetype i = first + 1; i < splitList().size(); ++i) {
                if (splitList()[i]) {
                    candidate2 = splitList()[i]->accountIdentifier();
                    break;
                }
            }
        }
    }

    // 2. The last used accounts.
    if (candidate1 == 0)
        candidate1 = defaults.lastAccount1Identifier;
    if (candidate2 == 0)
        candidate2 = defaults.lastAccount2Identifier;

    // 3 and 4. The business's first accounts, or account 1 from the given list
    // (an empty list restricts nothing).
    const bool restricted = accounts && !accounts->isEmpty();
    if (!restricted) {
        if (candidate1 == 0)
            candidate1 = accountAt(0);
        if (candidate2 == 0)
            candidate2 = accountAt(1);
    } else {
        if (candidate1 == 0 || !findAccount(*accounts, candidate1)) {
            candidate1 = 0;
            for (const TWAccountPtr &account : *accounts) {
                if (account) {
                    candidate1 = account->identifier();
                    break;
                }
            }
        }
        if (candidate2 == 0)
            candidate2 = accountAt(0);
    }

    // 5. Never the same account on both sides.
    if (candidate1 == candidate2) {
        for (const TWAccountPtr &account : all) {
            if (account && account->identifier() != candidate1) {
                candidate2 = account->identifier();
                break;
            }
        }
    }

    // 6.
    m_account1Identifier = candidate1;
    m_account2Identifier = candidate2;

    // 7. Mileage accounts count in a mileage unit.
    if (m_unit && m_unit->type() == TWUnitTypeMileage)
        return;
    if (!defaults.mileageUnit)
        return;
    const QString mileage = TWLocalized("mileage");
    const auto isMileageAccount = [&](qint32 identifier) {
        const TWAccountPtr account = findAccount(all, identifier);
        return account && TWStringAdditions::searchString(account->name(), mileage, true);
    };
    if (isMileageAccount(m_account1Identifier) || isMileageAccount(m_account2Identifier))
        m_unit = defaults.mileageUnit;
}

#include "model/TWSplit.h"

#include "foundation/TWStringAdditions.h"

TWSplit::TWSplit(qint32 identifier, QString description, qint32 accountIdentifier, qint64 total,
                 qint64 totalAccount, qint64 totalBusiness, qint64 totalStart, qint64 totalEnd,
                 TWUnitPtr unit)
    : m_identifier(identifier), m_description(std::move(description)),
      m_accountIdentifier(accountIdentifier), m_total(total), m_totalAccount(totalAccount),
      m_totalBusiness(totalBusiness), m_totalStart(totalStart), m_totalEnd(totalEnd),
      m_unit(std::move(unit))
{
}

TWSplitPtr TWSplit::splitWithIdentifier(qint32 identifier)
{
    return std::make_shared<TWSplit>(identifier);
}

TWSplitPtr TWSplit::splitWithIdentifier(qint32 identifier, const QString &description,
                                        qint32 accountIdentifier, qint64 total, qint64 totalAccount,
                                        qint64 totalBusiness, qint64 totalStart, qint64 totalEnd,
                                        const TWUnitPtr &unit)
{
    return std::make_shared<TWSplit>(identifier, description, accountIdentifier, total,
                                     totalAccount, totalBusiness, totalStart, totalEnd, unit);
}

TWSplitPtr TWSplit::copyForRepeat() const
{
    TWSplitPtr split = copy();
    split->m_identifier = 0;
    return split;
}

int TWSplit::compare(const TWSplit &other) const
{
    if (m_identifier == other.m_identifier)
        return 0;
    return m_identifier < other.m_identifier ? -1 : 1;
}

void TWSplit::updateTotalsWithMasterTotalType(int masterTotalType, int totalType,
                                              const TWUnitPtr &accountUnit,
                                              const TWUnitPtr &homeUnit,
                                              const TWUnitConverter &convert)
{
    TWUpdateTotalsFromMaster(masterTotalType, totalType,
                             {{TWTotalTypeTotal, &m_total, &m_unit},
                              {TWTotalTypeAccount, &m_totalAccount, &accountUnit},
                              {TWTotalTypeBusiness, &m_totalBusiness, &homeUnit}},
                             convert);
}

bool TWSplit::searchString(const QString &search, bool contains, const QString &accountName,
                           const TWUnitPtr &accountUnit, const TWUnitPtr &homeUnit,
                           const TWMoneyText &moneyText) const
{
    if (TWStringAdditions::searchString(m_description, search, contains) ||
        TWStringAdditions::searchString(accountName, search, contains))
        return true;
    if (!moneyText)
        return false;

    const auto prefix = [&](qint64 amount, const TWUnitPtr &unit) {
        return moneyText(amount, unit).startsWith(search, Qt::CaseSensitive);
    };
    return prefix(m_total, m_unit) || prefix(m_totalAccount, accountUnit) ||
           prefix(m_totalBusiness, homeUnit) ||
           (m_totalStart != 0 && prefix(m_totalStart, m_unit)) ||
           (m_totalEnd != 0 && prefix(m_totalEnd, m_unit));
}

#pragma once
// One line of a split transaction: the account it moves money to or from, a
// description, and its amount in the line's own unit, in the account's unit and
// in the home unit (a transaction's lines sum to zero in the home unit).

#include "model/TWTotalType.h"
#include "model/TWUnit.h"

#include <QList>
#include <QString>

#include <memory>

class TWSplit
{
public:
    TWSplit() = default;
    explicit TWSplit(qint32 identifier) : m_identifier(identifier) {}
    TWSplit(qint32 identifier, QString description, qint32 accountIdentifier, qint64 total,
            qint64 totalAccount, qint64 totalBusiness, qint64 totalStart, qint64 totalEnd,
            TWUnitPtr unit);

    // A line with only its identifier (the store's placeholder for a stored row).
    static std::shared_ptr<TWSplit> splitWithIdentifier(qint32 identifier);
    static std::shared_ptr<TWSplit>
    splitWithIdentifier(qint32 identifier, const QString &description, qint32 accountIdentifier,
                        qint64 total, qint64 totalAccount, qint64 totalBusiness, qint64 totalStart,
                        qint64 totalEnd, const TWUnitPtr &unit);

    // Every field; the unit object is shared, as units are shared records.
    std::shared_ptr<TWSplit> copy() const { return std::make_shared<TWSplit>(*this); }
    // A copy for a record made from this line's transaction (a repeat
    // occurrence, a copied payment): identifier 0, so that storing it adds a
    // new row instead of overwriting this line's row.
    std::shared_ptr<TWSplit> copyForRepeat() const;

    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    const QString &description() const { return m_description; }
    void setDescription(const QString &v) { m_description = v; }
    qint32 accountIdentifier() const { return m_accountIdentifier; }
    void setAccountIdentifier(qint32 v) { m_accountIdentifier = v; }
    qint64 total() const { return m_total; }
    void setTotal(qint64 v) { m_total = v; }
    qint64 totalAccount() const { return m_totalAccount; }
    void setTotalAccount(qint64 v) { m_totalAccount = v; }
    qint64 totalBusiness() const { return m_totalBusiness; }
    void setTotalBusiness(qint64 v) { m_totalBusiness = v; }
    // Odometer readings of a mileage line, else 0.
    qint64 totalStart() const { return m_totalStart; }
    void setTotalStart(qint64 v) { m_totalStart = v; }
    qint64 totalEnd() const { return m_totalEnd; }
    void setTotalEnd(qint64 v) { m_totalEnd = v; }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }

    bool isEqual(const TWSplit &other) const { return m_identifier == other.m_identifier; }
    // By identifier, ascending: -1, 0 or 1.
    int compare(const TWSplit &other) const;

    // Recomputes the amounts that follow from the typed one. `master` is
    // TWTotalTypeTotal, TWTotalTypeBusiness or TWTotalTypeAccount (any other
    // changes nothing); `target` TWTotalTypeAll or the one amount to recompute.
    // The master is never changed, and a recomputed amount is never the source
    // of another. An amount whose unit is missing (no account unit, no home
    // unit) is left as it is.
    void updateTotalsWithMasterTotalType(int masterTotalType, int totalType,
                                         const TWUnitPtr &accountUnit, const TWUnitPtr &homeUnit,
                                         const TWUnitConverter &convert);

    // The word search over the description and the account's name (`contains`
    // as the business's search setting says), then the amounts as money texts
    // by prefix: total in the line's unit, totalAccount in the account's unit,
    // totalBusiness in the home unit, and the odometer readings when not 0.
    bool searchString(const QString &search, bool contains, const QString &accountName,
                      const TWUnitPtr &accountUnit, const TWUnitPtr &homeUnit,
                      const TWMoneyText &moneyText) const;

private:
    qint32 m_identifier = 0;
    QString m_description;
    qint32 m_accountIdentifier = 0;
    qint64 m_total = 0;
    qint64 m_totalAccount = 0;
    qint64 m_totalBusiness = 0;
    qint64 m_totalStart = 0;
    qint64 m_totalEnd = 0;
    TWUnitPtr m_unit;
};

using TWSplitPtr = std::shared_ptr<TWSplit>;
using TWSplitList = QList<TWSplitPtr>;

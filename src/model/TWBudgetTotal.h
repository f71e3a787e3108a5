#pragma once
// Where a budget stands in its current cycle: the cycle's dates, what the
// budgeted account or group moved in it, what is left and the share used. The
// budget view shows these figures; they are computed afresh on every request.

#include "model/TWUnit.h"

#include <QDateTime>

#include <memory>

class TWBudgetTotal
{
public:
    TWBudgetTotal() = default;
    TWBudgetTotal(QDateTime startDate, QDateTime endDate, qint64 total, qint64 remainingTotal,
                  float progress, TWUnitPtr unit);

    static std::shared_ptr<TWBudgetTotal>
    budgetTotalWithStartDate(const QDateTime &startDate, const QDateTime &endDate, qint64 total,
                             qint64 remainingTotal, float progress, const TWUnitPtr &unit);

    // The share of `available` that `spent` uses (1 = used up), both counted
    // in the budget's direction (`direction` -1 for a budget of amounts that
    // count negative, such as income). Spending when nothing or less than
    // nothing is available (earlier cycles used it up) is over the budget:
    // infinity, a full bar. Nothing spent gives 0.
    static float progressWithTotal(qint64 spent, qint64 available, int direction = 1);

    // The current cycle; no end for a budget without cycles.
    const QDateTime &startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &v) { m_startDate = v; }
    const QDateTime &endDate() const { return m_endDate; }
    void setEndDate(const QDateTime &v) { m_endDate = v; }
    // What the budgeted account or group moved in the cycle, in `unit`.
    qint64 total() const { return m_total; }
    void setTotal(qint64 v) { m_total = v; }
    // The amount available in the cycle less `total`.
    qint64 remainingTotal() const { return m_remainingTotal; }
    void setRemainingTotal(qint64 v) { m_remainingTotal = v; }
    // `total` divided by the amount available.
    float progress() const { return m_progress; }
    void setProgress(float v) { m_progress = v; }
    // The budget's unit.
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }

private:
    QDateTime m_startDate;
    QDateTime m_endDate;
    qint64 m_total = 0;
    qint64 m_remainingTotal = 0;
    float m_progress = 0.0f;
    TWUnitPtr m_unit;
};

using TWBudgetTotalPtr = std::shared_ptr<TWBudgetTotal>;
using TWBudgetTotalList = QList<TWBudgetTotalPtr>;

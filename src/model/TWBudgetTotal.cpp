#include "model/TWBudgetTotal.h"

#include <limits>

TWBudgetTotal::TWBudgetTotal(QDateTime startDate, QDateTime endDate, qint64 total,
                             qint64 remainingTotal, float progress, TWUnitPtr unit)
    : m_startDate(std::move(startDate)), m_endDate(std::move(endDate)), m_total(total),
      m_remainingTotal(remainingTotal), m_progress(progress), m_unit(std::move(unit))
{
}

TWBudgetTotalPtr TWBudgetTotal::budgetTotalWithStartDate(const QDateTime &startDate,
                                                         const QDateTime &endDate, qint64 total,
                                                         qint64 remainingTotal, float progress,
                                                         const TWUnitPtr &unit)
{
    return std::make_shared<TWBudgetTotal>(startDate, endDate, total, remainingTotal, progress,
                                           unit);
}

float TWBudgetTotal::progressWithTotal(qint64 spent, qint64 available, int direction)
{
    const bool spending = direction < 0 ? spent < 0 : spent > 0;
    const bool nothingLeft = direction < 0 ? available >= 0 : available <= 0;
    if (nothingLeft)
        return spending ? std::numeric_limits<float>::infinity() : 0.0f;
    return float(spent) / float(available);
}

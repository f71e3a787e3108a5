#include "model/TWAccountingPeriod.h"

TWAccountingPeriod::TWAccountingPeriod(QString name, QDateTime startDate, QDateTime endDate,
                                       bool closed, qint32 identifier)
    : m_name(std::move(name)), m_startDate(std::move(startDate)), m_endDate(std::move(endDate)),
      m_closed(closed), m_identifier(identifier)
{
}

TWAccountingPeriodPtr TWAccountingPeriod::accountingPeriodWithName(const QString &name,
                                                                   const QDateTime &startDate,
                                                                   const QDateTime &endDate,
                                                                   bool closed, qint32 identifier)
{
    return std::make_shared<TWAccountingPeriod>(name, startDate, endDate, closed, identifier);
}

TWAccountingPeriodPtr
TWAccountingPeriod::noneAccountingPeriodWithStartDate(const QDateTime &startDate,
                                                      const QDateTime &endDate)
{
    return std::make_shared<TWAccountingPeriod>(QString(), startDate, endDate, false, 0);
}

int TWAccountingPeriod::compare(const TWAccountingPeriod &other) const
{
    // A missing start is open towards the past, so it sorts first; two missing
    // starts are equal. This keeps the order a strict weak ordering.
    const bool hasStart = m_startDate.isValid();
    const bool otherHasStart = other.m_startDate.isValid();
    if (!hasStart || !otherHasStart)
        return int(hasStart) - int(otherHasStart);
    if (m_startDate < other.m_startDate)
        return -1;
    return other.m_startDate < m_startDate ? 1 : 0;
}

TWAccountingPeriodList TWAccountingPeriod::copyPeriods(const TWAccountingPeriodList &periods)
{
    TWAccountingPeriodList result;
    result.reserve(periods.size());
    for (const TWAccountingPeriodPtr &period : periods)
        result.append(period ? period->copy() : nullptr);
    return result;
}

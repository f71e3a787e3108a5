#include "model/TWTaskItem.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWWorkArithmetic.h"

namespace
{

// Counted on the wall clock the item keeps, so that an item has one length
// wherever the business is opened; the timer ends an item at a clock change
// and goes on in a new one, so its items still add up to the time that passed.
double secondsBetween(const QDateTime &start, const QDateTime &end)
{
    if (!start.isValid() || !end.isValid())
        return 0.0;
    const qint64 seconds = TWDateAdditions::wallClockSecsTo(start, end);
    return seconds > 0 ? double(seconds) : 0.0;
}

} // namespace

TWTaskItem::TWTaskItem(QDateTime startDateTime, QDateTime endDateTime, QString notes,
                       qint32 taskIdentifier, qint32 identifier)
    : m_startDateTime(std::move(startDateTime)), m_endDateTime(std::move(endDateTime)),
      m_notes(std::move(notes)), m_taskIdentifier(taskIdentifier), m_identifier(identifier)
{
}

TWTaskItemPtr TWTaskItem::taskItemWithStartDateTime(const QDateTime &startDateTime,
                                                    const QDateTime &endDateTime,
                                                    const QString &notes, qint32 taskIdentifier,
                                                    qint32 identifier)
{
    return std::make_shared<TWTaskItem>(startDateTime, endDateTime, notes, taskIdentifier,
                                        identifier);
}

int TWTaskItem::compare(const TWTaskItem &other) const
{
    if (const int c = TWWorkArithmetic::compareMoments(m_startDateTime, other.m_startDateTime))
        return c;
    if (m_identifier == other.m_identifier)
        return 0;
    return m_identifier < other.m_identifier ? -1 : 1;
}

double TWTaskItem::duration() const
{
    return secondsBetween(m_startDateTime, m_endDateTime);
}

double TWTaskItem::durationWithStartDate(const QDateTime &startDate, const QDateTime &endDate) const
{
    QDateTime start = m_startDateTime;
    QDateTime end = m_endDateTime;
    if (startDate.isValid() && start.isValid() &&
        TWDateAdditions::compareDate(start, startDate) < 0)
        start = TWDateAdditions::startOfDay(startDate);
    if (endDate.isValid() && end.isValid() && TWDateAdditions::compareDate(end, endDate) > 0)
        end = TWDateAdditions::endOfDay(endDate);
    return secondsBetween(start, end);
}

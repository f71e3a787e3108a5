#include "model/TWRepeat.h"

#include "foundation/TWDateAdditions.h"

#include <algorithm>

namespace
{

// Beyond these the calendar cannot hold the result anyway; refusing them keeps
// the int arguments of Qt's month and year steps from overflowing.
constexpr std::uint32_t maximumMonths = 12u * 1000000u;
constexpr std::uint32_t maximumYears = 1000000u;

} // namespace

TWRepeat::TWRepeat(std::uint32_t type, std::uint32_t interval, std::uint32_t intervalUnit,
                   QDateTime endDate, bool active, qint32 identifier)
    : m_type(type), m_interval(interval), m_intervalUnit(intervalUnit),
      m_endDate(std::move(endDate)), m_active(active), m_identifier(identifier)
{
}

TWRepeatPtr TWRepeat::repeatWithType(std::uint32_t type, std::uint32_t interval,
                                     std::uint32_t intervalUnit, const QDateTime &endDate)
{
    return std::make_shared<TWRepeat>(type, interval, intervalUnit, endDate, true, 0);
}

TWRepeatPtr TWRepeat::repeatWithType(std::uint32_t type, std::uint32_t interval,
                                     std::uint32_t intervalUnit, const QDateTime &endDate,
                                     bool active, qint32 identifier)
{
    return std::make_shared<TWRepeat>(type, interval, intervalUnit, endDate, active, identifier);
}

TWRepeatPtr TWRepeat::copy() const
{
    auto repeat = std::make_shared<TWRepeat>(*this);
    repeat->m_items.clear();
    repeat->m_items.reserve(m_items.size());
    for (const TWRepeatItem &item : m_items)
        repeat->m_items.append(item.copy());
    return repeat;
}

qint64 TWRepeat::lengthInDays() const
{
    qint64 days = 0;
    switch (m_intervalUnit) {
    case TWRepeatIntervalUnitDay:
        days = 1;
        break;
    case TWRepeatIntervalUnitWeek:
        days = 7;
        break;
    case TWRepeatIntervalUnitMonth:
        days = 30;
        break;
    case TWRepeatIntervalUnitYear:
        days = 365;
        break;
    default:
        break;
    }
    return qint64(m_interval) * days;
}

int TWRepeat::compare(const TWRepeat &other) const
{
    const qint64 mine = lengthInDays();
    const qint64 theirs = other.lengthInDays();
    if (mine == theirs)
        return 0;
    return mine < theirs ? -1 : 1;
}

bool TWRepeat::equalInterval(const TWRepeat &other) const
{
    if (m_interval != other.m_interval || m_intervalUnit != other.m_intervalUnit)
        return false;
    if (m_endDate.isValid() != other.m_endDate.isValid())
        return false;
    return !m_endDate.isValid() || m_endDate == other.m_endDate;
}

QDateTime TWRepeat::nextDateFromDate(const QDateTime &date, int seriesDay) const
{
    // An interval of 0 would give the same date again, and a generation loop
    // that steps from date to date would never end.
    if (!date.isValid() || m_interval == 0)
        return {};

    // Stepped by calendar day, then unpacked as the day's start: the day's
    // midnight may be one the clock skips.
    const QDate from = date.toLocalTime().date();
    QDate next;
    switch (m_intervalUnit) {
    case TWRepeatIntervalUnitDay:
        next = from.addDays(qint64(m_interval));
        break;
    case TWRepeatIntervalUnitWeek:
        next = from.addDays(7 * qint64(m_interval));
        break;
    case TWRepeatIntervalUnitYear:
        if (m_interval > maximumYears)
            return {};
        next = from.addYears(int(m_interval));
        break;
    case TWRepeatIntervalUnitMonth: {
        if (m_interval > maximumMonths)
            return {};
        // Qt's month step lands on the month's last day when the day does not
        // exist there.
        next = from.addMonths(int(m_interval));
        if (!next.isValid() || seriesDay < 29)
            break;
        // A series on the 29th to 31st comes back to its own day after a short
        // month shortened one date, and takes the last day of every month that
        // is too short for it, whatever day the date it steps from fell on.
        const int wanted = std::min(seriesDay, next.daysInMonth());
        if (next.day() != wanted)
            next = QDate(next.year(), next.month(), wanted);
        break;
    }
    default:
        return {};
    }
    if (!next.isValid())
        return {};
    return TWDateAdditions::dateFromFields(next.year(), next.month(), next.day());
}

QDateTime TWRepeat::latestItemDate() const
{
    if (m_type != TWRepeatTypeTransaction && m_type != TWRepeatTypeInvoice &&
        m_type != TWRepeatTypeBill)
        return {};
    QDateTime latest;
    for (const TWRepeatItem &item : m_items) {
        const QDateTime date = item.date();
        if (date.isValid() && (!latest.isValid() || date > latest))
            latest = date;
    }
    return latest;
}

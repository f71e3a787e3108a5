#pragma once
// A schedule that brings a transaction, an invoice or a bill back every so many
// days, weeks, months or years, until an optional end date, and the dates on
// which its next records fall due.

#include <QDateTime>
#include <QList>

#include <cstdint>
#include <memory>

enum TWRepeatType : int {
    TWRepeatTypeTransaction = 0,
    TWRepeatTypeInvoice = 1,
    TWRepeatTypeBill = 2,
};

enum TWRepeatIntervalUnit : int {
    TWRepeatIntervalUnitDay = 0,
    TWRepeatIntervalUnitWeek = 1,
    TWRepeatIntervalUnitMonth = 2,
    TWRepeatIntervalUnitYear = 3,
};

// One record a schedule has produced: a transaction, an invoice or a bill,
// held without this header knowing their classes. Any record type with
// `date()` and `copy()` (returning its shared pointer) can be held.
class TWRepeatItem
{
public:
    TWRepeatItem() = default;
    template <typename T>
    explicit TWRepeatItem(std::shared_ptr<T> record)
        : m_record(std::move(record)), m_operations(m_record ? &operationsFor<T>() : nullptr)
    {
    }

    bool isNull() const { return !m_record; }
    // The record's date; invalid for an empty item.
    QDateTime date() const
    {
        return m_operations ? m_operations->date(m_record.get()) : QDateTime();
    }
    // An item holding a copy of the record.
    TWRepeatItem copy() const
    {
        TWRepeatItem item;
        if (m_operations) {
            item.m_record = m_operations->copy(m_record.get());
            item.m_operations = item.m_record ? m_operations : nullptr;
        }
        return item;
    }
    // The record when it is a T, else null.
    template <typename T> std::shared_ptr<T> record() const
    {
        if (m_operations != &operationsFor<T>())
            return {};
        return std::static_pointer_cast<T>(m_record);
    }

private:
    struct Operations {
        QDateTime (*date)(const void *record);
        std::shared_ptr<void> (*copy)(const void *record);
    };
    // One table per record type; its address tells the types apart.
    template <typename T> static const Operations &operationsFor()
    {
        static const Operations operations{
            [](const void *record) { return QDateTime(static_cast<const T *>(record)->date()); },
            [](const void *record) -> std::shared_ptr<void> {
                return static_cast<const T *>(record)->copy();
            }};
        return operations;
    }

    std::shared_ptr<void> m_record;
    const Operations *m_operations = nullptr;
};

using TWRepeatItemList = QList<TWRepeatItem>;

class TWRepeat
{
public:
    TWRepeat() = default;
    TWRepeat(std::uint32_t type, std::uint32_t interval, std::uint32_t intervalUnit,
             QDateTime endDate, bool active = true, qint32 identifier = 0);

    // A new, active schedule not yet stored (identifier 0).
    static std::shared_ptr<TWRepeat> repeatWithType(std::uint32_t type, std::uint32_t interval,
                                                    std::uint32_t intervalUnit,
                                                    const QDateTime &endDate);
    static std::shared_ptr<TWRepeat> repeatWithType(std::uint32_t type, std::uint32_t interval,
                                                    std::uint32_t intervalUnit,
                                                    const QDateTime &endDate, bool active,
                                                    qint32 identifier);

    // Every field; the items are copied one by one.
    std::shared_ptr<TWRepeat> copy() const;

    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    std::uint32_t interval() const { return m_interval; }
    void setInterval(std::uint32_t v) { m_interval = v; }
    std::uint32_t intervalUnit() const { return m_intervalUnit; }
    void setIntervalUnit(std::uint32_t v) { m_intervalUnit = v; }
    // Invalid for a schedule without end.
    const QDateTime &endDate() const { return m_endDate; }
    void setEndDate(const QDateTime &v) { m_endDate = v; }
    bool active() const { return m_active; }
    void setActive(bool v) { m_active = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    // The records the schedule has produced, as last filled in by its owner.
    const TWRepeatItemList &items() const { return m_items; }
    void setItems(const TWRepeatItemList &v) { m_items = v; }

    bool isEqual(const TWRepeat &other) const { return m_identifier == other.m_identifier; }
    // By the schedule's rough length in days (interval times 1, 7, 30 or 365):
    // the shorter first; equal lengths compare equal. -1, 0 or 1.
    int compare(const TWRepeat &other) const;
    // Same interval, interval unit and end date (both none, or the same moment).
    bool equalInterval(const TWRepeat &other) const;

    // The date one interval after `date`. Monthly schedules keep the day of
    // the month the series started on (`seriesDay`, the day of its first
    // record) where the month has that day, and take the month's last day
    // where it has not. No date for an invalid date, an interval of 0 or an
    // unknown interval unit.
    QDateTime nextDateFromDate(const QDateTime &date, int seriesDay) const;
    // The latest date among the items (of a transaction, invoice or bill
    // schedule); invalid without items.
    QDateTime latestItemDate() const;

private:
    qint64 lengthInDays() const;

    std::uint32_t m_type = TWRepeatTypeTransaction;
    std::uint32_t m_interval = 1;
    std::uint32_t m_intervalUnit = TWRepeatIntervalUnitDay;
    QDateTime m_endDate;
    bool m_active = true;
    qint32 m_identifier = 0;
    TWRepeatItemList m_items;
};

using TWRepeatPtr = std::shared_ptr<TWRepeat>;
using TWRepeatList = QList<TWRepeatPtr>;

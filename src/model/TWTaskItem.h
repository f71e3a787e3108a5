#pragma once
// One stretch of work on a timed task, from a start to an end moment. A timed
// task's worked time is the sum of its items' durations.

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class TWTaskItem;
using TWTaskItemPtr = std::shared_ptr<TWTaskItem>;
using TWTaskItemList = QList<TWTaskItemPtr>;

class TWTaskItem
{
public:
    TWTaskItem() = default;
    TWTaskItem(QDateTime startDateTime, QDateTime endDateTime, QString notes, qint32 taskIdentifier,
               qint32 identifier);

    static TWTaskItemPtr taskItemWithStartDateTime(const QDateTime &startDateTime,
                                                   const QDateTime &endDateTime,
                                                   const QString &notes, qint32 taskIdentifier,
                                                   qint32 identifier);

    TWTaskItemPtr copy() const { return std::make_shared<TWTaskItem>(*this); }

    const QDateTime &startDateTime() const { return m_startDateTime; }
    void setStartDateTime(const QDateTime &v) { m_startDateTime = v; }
    const QDateTime &endDateTime() const { return m_endDateTime; }
    void setEndDateTime(const QDateTime &v) { m_endDateTime = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    qint32 taskIdentifier() const { return m_taskIdentifier; }
    void setTaskIdentifier(qint32 v) { m_taskIdentifier = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    bool isEqual(const TWTaskItem &other) const { return m_identifier == other.m_identifier; }
    // By start, then identifier ascending: -1, 0 or 1.
    int compare(const TWTaskItem &other) const;

    // Seconds from start to end; 0 when the end lies before the start or a
    // moment is missing.
    double duration() const;
    // The seconds that fall inside the days from `startDate` to `endDate`
    // (either may be missing: open on that side). An item that starts on an
    // earlier day than startDate counts from the start of that day; one that
    // ends on a later day than endDate counts to its end (23:59:59). Never
    // negative.
    double durationWithStartDate(const QDateTime &startDate, const QDateTime &endDate) const;

private:
    QDateTime m_startDateTime;
    QDateTime m_endDateTime;
    QString m_notes;
    qint32 m_taskIdentifier = 0;
    qint32 m_identifier = 0;
};

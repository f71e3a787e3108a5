#pragma once
// A named stretch of days (usually a fiscal year) that the user can close:
// transactions dated inside a closed period count as closed. A "none" period
// (identifier 0, no name) stands for days no period covers; either of its
// bounds may be missing, meaning open-ended.

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class TWAccountingPeriod;
using TWAccountingPeriodPtr = std::shared_ptr<TWAccountingPeriod>;
using TWAccountingPeriodList = QList<TWAccountingPeriodPtr>;

class TWAccountingPeriod
{
public:
    TWAccountingPeriod() = default;
    TWAccountingPeriod(QString name, QDateTime startDate, QDateTime endDate, bool closed,
                       qint32 identifier);

    static TWAccountingPeriodPtr accountingPeriodWithName(const QString &name,
                                                          const QDateTime &startDate,
                                                          const QDateTime &endDate, bool closed,
                                                          qint32 identifier);
    // A "none" period over the given days; an invalid date leaves that side open.
    static TWAccountingPeriodPtr noneAccountingPeriodWithStartDate(const QDateTime &startDate,
                                                                   const QDateTime &endDate);

    TWAccountingPeriodPtr copy() const { return std::make_shared<TWAccountingPeriod>(*this); }
    // A new list holding a copy of every period of the given list, in order, so
    // that editing the copies never touches the originals.
    static TWAccountingPeriodList copyPeriods(const TWAccountingPeriodList &periods);

    // Null for a "none" period.
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    // The first and the last day of the period (both inclusive); invalid when
    // open-ended.
    const QDateTime &startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &v) { m_startDate = v; }
    const QDateTime &endDate() const { return m_endDate; }
    void setEndDate(const QDateTime &v) { m_endDate = v; }
    bool closed() const { return m_closed; }
    void setClosed(bool v) { m_closed = v; }
    // Issued by the store; 0 for a "none" period or one not stored yet.
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    // Same identifier (so every "none" period equals every other).
    bool isEqual(const TWAccountingPeriod &other) const
    {
        return m_identifier == other.m_identifier;
    }
    // By start date, earlier first; a missing start comes before every date.
    int compare(const TWAccountingPeriod &other) const;

private:
    QString m_name;
    QDateTime m_startDate;
    QDateTime m_endDate;
    bool m_closed = false;
    qint32 m_identifier = 0;
};

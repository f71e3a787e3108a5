#pragma once
// The face of a report of an earlier process handed to the application before it is sent: its
// facts, and the user's identity, which is written into the report folder's own internal keys.

#include "crashreporting/reports/MSHInternalReport.h"

#include <QVariant>

#include <cstdint>
#include <memory>

class MSHReport
{
public:
    explicit MSHReport(std::shared_ptr<MSHInternalReport> internalReport);

    const std::shared_ptr<MSHInternalReport> &internalReport() const { return m_internalReport; }
    QString identifier() const { return m_internalReport->identifier(); }
    QString bundleVersion() const { return m_internalReport->bundleVersion(); }
    QString bundleShortVersionString() const
    {
        return m_internalReport->bundleShortVersionString();
    }
    std::optional<QDateTime> dateCreated() const { return m_internalReport->dateCreated(); }
    std::optional<QDateTime> crashedOnDate() const { return dateCreated(); }
    QString OSVersion() const { return m_internalReport->OSVersion(); }
    QString OSBuildVersion() const { return m_internalReport->OSBuildVersion(); }
    QVariantMap customKeys() const { return {}; }
    QString userIdentifier() const { return {}; }
    QString userName() const { return {}; }
    QString userEmail() const { return {}; }
    bool isCrash() const { return false; }

    // Custom keys of an earlier report cannot be changed.
    void setObjectValue(const QVariant &, const QString &) {}
    void setUserIdentifier(const QString &identifier);
    void setUserName(const QString &name);
    void setUserEmail(const QString &email);
    // Only once the crash context is up; counted with this object's own counter.
    void recordValue(const QVariant &value, const QString &internalKey);

    struct Storage {
        QByteArray incrementalPath;
        QByteArray compactedPath;
        uint32_t maxIncrementalCount = 64;
        uint32_t maxEntries = 32;
    };
    // The report folder's internal key/value files with the running process's limits.
    Storage internalKVStorage() const;

private:
    std::shared_ptr<MSHInternalReport> m_internalReport;
    uint32_t m_internalKeyCounter = 0;
};

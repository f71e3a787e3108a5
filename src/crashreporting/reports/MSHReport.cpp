#include "crashreporting/reports/MSHReport.h"

#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/capture/MSHUserLogging.h"

MSHReport::MSHReport(std::shared_ptr<MSHInternalReport> internalReport)
    : m_internalReport(std::move(internalReport))
{
}

void MSHReport::setUserIdentifier(const QString &identifier)
{
    recordValue(identifier, QStringLiteral("com.mishap.user-id"));
}

void MSHReport::setUserName(const QString &name)
{
    recordValue(name, QStringLiteral("com.mishap.user-name"));
}

void MSHReport::setUserEmail(const QString &email)
{
    recordValue(email, QStringLiteral("com.mishap.user-email"));
}

MSHReport::Storage MSHReport::internalKVStorage() const
{
    Storage storage;
    storage.incrementalPath =
        m_internalReport->pathForContentFile(QStringLiteral("internal_incremental_kv.mshrecord"))
            .toUtf8();
    storage.compactedPath =
        m_internalReport->pathForContentFile(QStringLiteral("internal_compacted_kv.mshrecord"))
            .toUtf8();
    if (const MSHReadOnlyContext *context = MSHContextReadOnly()) {
        storage.maxIncrementalCount = context->internalKeyValues.maxIncrementalCount;
        storage.maxEntries = context->internalKeyValues.maxEntries;
    }
    return storage;
}

void MSHReport::recordValue(const QVariant &value, const QString &internalKey)
{
    if (!MSHContextIsInitialized())
        return;
    const Storage paths = internalKVStorage();
    MSHKeyValueStorage storage;
    storage.incrementalPath = paths.incrementalPath.constData();
    storage.compactedPath = paths.compactedPath.constData();
    storage.maxIncrementalCount = paths.maxIncrementalCount;
    storage.maxEntries = paths.maxEntries;
    MSHUserLoggingRecordKeyValue(internalKey, value, &storage, &m_internalKeyCounter);
}

#include "crashreporting/capture/MSHUserLogging.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHLog.h"
#include "foundation/TWError.h"

#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <unistd.h>

namespace
{

QByteArray hiddenSibling(const char *path)
{
    const QByteArray full(path);
    const qsizetype slash = full.lastIndexOf('/');
    return full.left(slash + 1) + '.' + full.mid(slash + 1) + ".tmp";
}

// Runs the block on the logging queue and waits for it (in place when already there).
void onLoggingQueue(const std::function<void()> &block)
{
    if (MSHDispatchQueue *queue = MSHContextLoggingQueue())
        queue->sync(block);
}

uint64_t millisecondsSinceStart()
{
    const MSHReadOnlyContext *context = MSHContextReadOnly();
    const uint64_t now = MSHProfileMark();
    if (!context || now < context->startTime)
        return 0;
    return (now - context->startTime) * context->timeBaseFactor / 1000000;
}

void writeInfo(MSHFile *file, const char *key, const QVariantMap &info)
{
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (auto it = info.cbegin(); it != info.cend(); ++it) {
        const std::optional<QString> value = MSHUserLoggingValueDescription(it.value());
        if (!value)
            continue;
        pairs.append({it.key().toUtf8(), value->toUtf8()});
    }
    if (pairs.isEmpty())
        return;
    MSHFileWriteHashKey(file, key);
    MSHFileWriteArrayStart(file);
    for (const auto &pair : pairs) {
        MSHFileWriteArrayStart(file);
        MSHFileWriteArrayEntryHexEncodedString(file, pair.first.constData());
        MSHFileWriteArrayEntryHexEncodedString(file, pair.second.constData());
        MSHFileWriteArrayEnd(file);
    }
    MSHFileWriteArrayEnd(file);
}

} // namespace

void MSHUserLoggingInitialize(MSHReadOnlyContext *context, MSHWritableContext *writable)
{
    if (!context || !writable)
        return;
    writable->currentLogPath = context->logs.aPath;
    writable->currentErrorPath = context->errors.aPath;
    writable->userKeyValueCount = 0;
    writable->internalKeyValueCount = 0;
    context->startTime = MSHProfileMark();
    context->userKeyValues.maxIncrementalCount = 64;
    context->internalKeyValues.maxIncrementalCount = 64;
    // The monotonic clock already counts nanoseconds.
    context->timeBaseFactor = 1;
}

std::optional<QString> MSHUserLoggingValueDescription(const QVariant &value)
{
    if (!value.isValid() || value.isNull() || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString();
}

void MSHUserLoggingRecordKeyValue(const QString &key, const QVariant &value,
                                  const MSHKeyValueStorage *storage, uint32_t *counter)
{
    if (key.isNull() || !MSHContextIsInitialized())
        return;
    const std::optional<QString> description = MSHUserLoggingValueDescription(value);
    onLoggingQueue([&] { MSHUserLoggingWriteKeyValue(key, description, storage, counter); });
}

void MSHUserLoggingRecordUserKeyValue(const QString &key, const QVariant &value)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable)
        return;
    MSHUserLoggingRecordKeyValue(key, value, &context->userKeyValues, &writable->userKeyValueCount);
}

void MSHUserLoggingRecordInternalKeyValue(const QString &key, const QVariant &value)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable)
        return;
    MSHUserLoggingRecordKeyValue(key, value, &context->internalKeyValues,
                                 &writable->internalKeyValueCount);
}

void MSHUserLoggingWriteInternalKeyValue(const QString &key, const QVariant &value)
{
    MSHUserLoggingRecordInternalKeyValue(key, value);
}

void MSHUserLoggingWriteKeyValue(const QString &key, const std::optional<QString> &value,
                                 const MSHKeyValueStorage *storage, uint32_t *counter)
{
    if (!storage || !counter) {
        MSHSafeLog("%s: Bad parameters", __func__);
        return;
    }
    MSHFile file;
    if (!MSHFileInitWithPathMode(&file, storage->incrementalPath, true, true)) {
        MSHSafeLog("%s: Unable to open k-v file", __func__);
        return;
    }
    const QByteArray keyText = key.toUtf8();
    const QByteArray valueText = value ? value->toUtf8() : QByteArray();
    MSHFileWriteSectionStart(&file, "kv");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryHexEncodedString(&file, "key", keyText.constData());
    MSHFileWriteHashEntryHexEncodedString(&file, "value", value ? valueText.constData() : nullptr);
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);
    if (!MSHFileClose(&file))
        MSHSafeLog("%s: Unable to write k-v file", __func__);

    *counter += 1;
    if (*counter >= storage->maxIncrementalCount) {
        // The queued compaction may outlive the caller's storage record: it gets a copy.
        *counter = 0;
        const QByteArray incremental(storage->incrementalPath);
        const QByteArray compacted(storage->compactedPath);
        const uint32_t limit = storage->maxIncrementalCount;
        const uint32_t maximum = storage->maxEntries;
        if (MSHDispatchQueue *queue = MSHContextLoggingQueue()) {
            queue->async([incremental, compacted, limit, maximum] {
                MSHKeyValueStorage copy;
                copy.incrementalPath = incremental.constData();
                copy.compactedPath = compacted.constData();
                copy.maxIncrementalCount = limit;
                copy.maxEntries = maximum;
                MSHUserLoggingCompactKVEntries(&copy);
            });
        }
    }
}

QList<QJsonObject> MSHUserLoggingKVEntriesFromFile(const QString &path)
{
    if (!MSHContextIsInitialized())
        return {};
    const std::optional<QList<QJsonObject>> sections =
        MSHFileReadSections(path, true, [](const QJsonObject &line) -> std::optional<QJsonObject> {
            const QJsonValue kv = line.value(QStringLiteral("kv"));
            if (!kv.isObject())
                return std::nullopt;
            return kv.toObject();
        });
    return sections.value_or(QList<QJsonObject>());
}

void MSHUserLoggingCompactKVEntries(const MSHKeyValueStorage *storage)
{
    if (!storage || !storage->incrementalPath || !storage->compactedPath) {
        MSHSafeLog("%s: Error: storage invalid", __func__);
        return;
    }
    const QString incrementalPath = QString::fromUtf8(storage->incrementalPath);
    const QString compactedPath = QString::fromUtf8(storage->compactedPath);
    const QList<QJsonObject> incremental = MSHUserLoggingKVEntriesFromFile(incrementalPath);
    const QList<QJsonObject> compacted = MSHUserLoggingKVEntriesFromFile(compactedPath);

    // Keys in the order they were last set, oldest first: the compacted file keeps that order,
    // so the keys dropped above the maximum are always the ones set longest ago.
    QList<QString> order;
    QHash<QString, QString> values;
    auto apply = [&](const QJsonObject &entry) {
        const QString key = entry.value(QStringLiteral("key")).toString();
        const QJsonValue value = entry.value(QStringLiteral("value"));
        if (values.contains(key))
            order.removeOne(key);
        if (value.isString()) {
            values.insert(key, value.toString());
            order.append(key);
        } else {
            values.remove(key);
        }
    };
    for (const QJsonObject &entry : compacted)
        apply(entry);
    for (const QJsonObject &entry : incremental)
        apply(entry);

    if (uint32_t(order.size()) > storage->maxEntries) {
        MSHSafeLog("%s: Truncating KV set, which is above max %d", __func__,
                   int(storage->maxEntries));
        const qsizetype surplus = order.size() - qsizetype(storage->maxEntries);
        if (surplus >= order.size()) {
            MSHSafeLog("%s: Error: Computed a bad count of keys to remove", __func__);
        } else {
            for (qsizetype i = 0; i < surplus; ++i)
                values.remove(order.at(i));
            order.remove(0, surplus);
        }
    }

    const QByteArray temporary = hiddenSibling(storage->compactedPath);
    MSHUnlinkIfExists(temporary.constData());
    MSHFile file;
    if (!MSHFileInitWithPathMode(&file, temporary.constData(), false, true)) {
        MSHSafeLog("%s: Error: Unable to open compacted k-v file", __func__);
        return;
    }
    for (const QString &key : order) {
        const QByteArray keyHex = key.toUtf8();
        const QByteArray valueHex = values.value(key).toUtf8();
        MSHFileWriteSectionStart(&file, "kv");
        MSHFileWriteHashStart(&file);
        MSHFileWriteHashEntryString(&file, "key", keyHex.constData());
        MSHFileWriteHashEntryString(&file, "value", valueHex.constData());
        MSHFileWriteHashEnd(&file);
        MSHFileWriteSectionEnd(&file);
    }
    const bool written = MSHFileClose(&file);
    if (!written || std::rename(temporary.constData(), storage->compactedPath) != 0) {
        MSHSafeLog("%s: Error: Unable to replace compacted KV store %s", __func__,
                   storage->compactedPath);
        MSHUnlinkIfExists(temporary.constData());
        return;
    }
    if (!MSHUnlinkIfExists(storage->incrementalPath))
        MSHSafeLog("%s: Error: Unable to remove incremental KV store after compaction %s", __func__,
                   storage->incrementalPath);
}

void MSHUserLoggingWriteAndCheckABFiles(const MSHLogStorage *storage, const char **current,
                                        const std::function<void(MSHFile *)> &writer)
{
    if (!storage || !current || !writer || storage->maxSize == 0)
        return;
    MSHDispatchQueue *queue = MSHContextLoggingQueue();
    if (!queue)
        return;
    // The current path changes on the logging queue only, so it is read there too.
    queue->sync([&] {
        if (!*current)
            return;
        MSHFile file;
        if (!MSHFileInitWithPathMode(&file, *current, true, true)) {
            MSHSafeLog("%s: Unable to open log file", __func__);
            return;
        }
        writer(&file);
        if (!MSHFileClose(&file))
            MSHSafeLog("%s: Unable to write log file", __func__);
    });
    queue->async([storage, current] {
        const char *path = *current;
        if (!path)
            return;
        if (QFileInfo(QString::fromUtf8(path)).size() <= qint64(storage->maxSize))
            return;
        const char *other =
            std::strcmp(path, storage->aPath) == 0 ? storage->bPath : storage->aPath;
        if (!MSHUnlinkIfExists(other))
            MSHSafeLog("%s: Unable to remove log file %s", "MSHUserLoggingCheckABFiles", other);
        *current = other;
    });
}

void MSHUserLoggingRecordLogMessage(const MSHLogStorage *storage, const char **current,
                                    const QString &message)
{
    if (message.isNull() || !MSHContextIsInitialized())
        return;
    const QByteArray text = message.toUtf8();
    const uint64_t time = millisecondsSinceStart();
    MSHUserLoggingWriteAndCheckABFiles(storage, current, [&](MSHFile *file) {
        MSHFileWriteSectionStart(file, "log");
        MSHFileWriteHashStart(file);
        MSHFileWriteHashEntryHexEncodedString(file, "msg", text.constData());
        MSHFileWriteHashEntryUint64(file, "time", time);
        MSHFileWriteHashEnd(file);
        MSHFileWriteSectionEnd(file);
    });
}

void MSHLogRecord(const QString &message)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable)
        return;
    MSHUserLoggingRecordLogMessage(&context->logs, &writable->currentLogPath, message);
}

void MSHLogRecordAndPrint(const QString &message)
{
    MSHLog("[Mishap]", message);
    MSHLogRecord(message);
}

void MSHUserLoggingRecordErrorTo(const MSHLogStorage *storage, const char **current,
                                 const TWError &error, const QVariantMap &userInfo,
                                 const QVariantMap &additionalUserInfo)
{
    if (!MSHContextIsInitialized())
        return;
    void *addresses[128];
    const int count = ::backtrace(addresses, 128);
    const uint64_t time = uint64_t(std::time(nullptr));
    const QByteArray domain = error.domain().toUtf8();
    const int64_t code = error.code();
    MSHUserLoggingWriteAndCheckABFiles(storage, current, [&](MSHFile *file) {
        MSHFileWriteSectionStart(file, "error");
        MSHFileWriteHashStart(file);
        MSHFileWriteHashEntryHexEncodedString(file, "domain", domain.constData());
        MSHFileWriteHashEntryInt64(file, "code", code);
        MSHFileWriteHashEntryUint64(file, "time", time);
        MSHFileWriteHashKey(file, "stacktrace");
        MSHFileWriteArrayStart(file);
        for (int i = 0; i < count; ++i)
            MSHFileWriteArrayEntryUint64(file, uint64_t(uintptr_t(addresses[i])));
        MSHFileWriteArrayEnd(file);
        writeInfo(file, "info", userInfo);
        writeInfo(file, "extra_info", additionalUserInfo);
        MSHFileWriteHashEnd(file);
        MSHFileWriteSectionEnd(file);
    });
}

void MSHUserLoggingRecordError(const TWError &error, const QVariantMap &userInfo,
                               const QVariantMap &additionalUserInfo)
{
    MSHReadOnlyContext *context = MSHContextReadOnly();
    MSHWritableContext *writable = MSHContextWritable();
    if (!context || !writable)
        return;
    MSHUserLoggingRecordErrorTo(&context->errors, &writable->currentErrorPath, error, userInfo,
                                additionalUserInfo);
}

void MSHUserLoggingFlush()
{
    onLoggingQueue([] {});
}

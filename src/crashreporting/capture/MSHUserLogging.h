#pragma once
// What the application told the component before a crash, written at once to the running
// report's record files so that it survives the crash: custom and internal key/value pairs (an
// incremental file folded now and then into a compacted one), log messages and logged errors (a
// pair of files used in turn, so each keeps a bounded amount of the latest text). Every write
// and compaction runs on the logging queue; nothing here is used at crash time.

#include "crashreporting/capture/MSHContext.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <optional>

class TWError;

// Starts the run's storages: current log and error files A, counters 0, the start mark.
void MSHUserLoggingInitialize(MSHReadOnlyContext *context, MSHWritableContext *writable);

// A value's text as stored: its QVariant::toString(), none for a value without one.
std::optional<QString> MSHUserLoggingValueDescription(const QVariant &value);

// The application's custom keys and the component's own (user identity, platform, state).
// Nothing for a null key or before the context is initialised; an absent value removes the key.
void MSHUserLoggingRecordUserKeyValue(const QString &key, const QVariant &value);
void MSHUserLoggingRecordInternalKeyValue(const QString &key, const QVariant &value);
// The same as the internal form; kept for the controller's calls (it also goes through the
// logging queue, so its lines never interleave with the queue's writers of the same file).
void MSHUserLoggingWriteInternalKeyValue(const QString &key, const QVariant &value);
// Any storage (a report folder's own one, for instance) with its counter. The counter is read
// and changed on the logging queue only.
void MSHUserLoggingRecordKeyValue(const QString &key, const QVariant &value,
                                  const MSHKeyValueStorage *storage, uint32_t *counter);
// Runs on the logging queue: appends one "kv" line and, at the storage's limit, queues a
// compaction.
void MSHUserLoggingWriteKeyValue(const QString &key, const std::optional<QString> &value,
                                 const MSHKeyValueStorage *storage, uint32_t *counter);

// The "kv" objects of a file, in file order (none before the context is initialised; an
// unreadable file is deleted).
QList<QJsonObject> MSHUserLoggingKVEntriesFromFile(const QString &path);
// Folds the incremental file into the compacted one. The new compacted file is written beside the
// old one and renamed over it; only then is the incremental file deleted, so a failure keeps
// every key. Above the maximum, the keys set longest ago are dropped.
void MSHUserLoggingCompactKVEntries(const MSHKeyValueStorage *storage);

// Log messages, written to the run's log pair with the milliseconds since the start.
void MSHLogRecord(const QString &message);
// The same, also written to the developer log.
void MSHLogRecordAndPrint(const QString &message);
void MSHUserLoggingRecordLogMessage(const MSHLogStorage *storage, const char **current,
                                    const QString &message);

// A logged error with its own user info and the caller's additional one.
void MSHUserLoggingRecordError(const TWError &error, const QVariantMap &userInfo,
                               const QVariantMap &additionalUserInfo);
void MSHUserLoggingRecordErrorTo(const MSHLogStorage *storage, const char **current,
                                 const TWError &error, const QVariantMap &userInfo,
                                 const QVariantMap &additionalUserInfo);

// Appends the writer's line to the current file of the pair and then, asynchronously, switches
// to the other (emptied) file once the current one is larger than the limit. Nothing when the
// storage, the current path, the writer or the limit is missing or 0.
void MSHUserLoggingWriteAndCheckABFiles(const MSHLogStorage *storage, const char **current,
                                        const std::function<void(MSHFile *)> &writer);
// Waits until the logging queue has run everything queued so far.
void MSHUserLoggingFlush();

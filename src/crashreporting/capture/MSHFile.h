#pragma once
// Record files: one JSON object with a single key per line, written with plain open/write/close
// so that a signal handler can use the writer (numbers formatted by hand, nothing allocated when
// unbuffered). Plain strings have '"', '\\', control bytes and bytes that are not UTF-8 escaped,
// so that no text can break its line; hex strings carry text that comes from outside.

#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

struct MSHFile {
    int32_t fd = -1;
    int32_t depth = 0;
    bool needsComma = false;
    bool buffered = false;
    char *buffer = nullptr;
    size_t bufferCount = 0;
    // Set when the system refused a write; MSHFileClose then answers false.
    bool failed = false;
    // The first refused write's errno (ENOSPC for a write that took nothing).
    int error = 0;
};

inline constexpr size_t MSHFileBufferSize = 1000;

bool MSHFileInitWithPathMode(MSHFile *file, const char *path, bool append, bool buffered);
bool MSHFileInitWithPath(MSHFile *file, const char *path, bool buffered);
bool MSHFileInit(MSHFile *file, int descriptor, bool buffered);
// False when a write or the close failed; errno then tells why (the first refused write).
bool MSHFileClose(MSHFile *file);
bool MSHFileIsOpen(const MSHFile *file);

void MSHFileWriteSectionStart(MSHFile *file, const char *name);
void MSHFileWriteSectionEnd(MSHFile *file);
void MSHFileWriteHashStart(MSHFile *file);
void MSHFileWriteHashEnd(MSHFile *file);
void MSHFileWriteArrayStart(MSHFile *file);
void MSHFileWriteArrayEnd(MSHFile *file);
void MSHFileWriteHashKey(MSHFile *file, const char *key);

void MSHFileWriteHashEntryUint64(MSHFile *file, const char *key, uint64_t value);
void MSHFileWriteHashEntryInt64(MSHFile *file, const char *key, int64_t value);
// Plain (escaped) string, null for none.
void MSHFileWriteHashEntryString(MSHFile *file, const char *key, const char *value);
void MSHFileWriteHashEntryNSString(MSHFile *file, const char *key, const QString *value);
void MSHFileWriteHashEntryNSStringUnlessNilOrEmpty(MSHFile *file, const char *key,
                                                   const QString *value);
void MSHFileWriteHashEntryHexEncodedString(MSHFile *file, const char *key, const char *value);
// Hex of a byte range that need not end with NUL.
void MSHFileWriteHashEntryHexEncodedBytes(MSHFile *file, const char *key, const char *bytes,
                                          size_t length);
void MSHFileWriteHashEntryBoolean(MSHFile *file, const char *key, bool value);
void MSHFileWriteArrayEntryUint64(MSHFile *file, uint64_t value);
void MSHFileWriteArrayEntryString(MSHFile *file, const char *value);
void MSHFileWriteArrayEntryHexEncodedString(MSHFile *file, const char *value);

// The largest record file read back: a genuine one stays far below; anything larger is not ours.
inline constexpr qint64 MSHRecordFileReadLimit = 6 * 1024 * 1024;

// The whole file, when it is a regular file of one name (not a link, not a hard link; checked on
// the opened descriptor) of at most `limit` bytes; none otherwise.
std::optional<QByteArray> MSHFileReadRegular(const QString &path, qint64 limit);
// The same for the entry of the open folder.
std::optional<QByteArray> MSHFileReadRegularAt(int folder, const char *name, qint64 limit);

// Whether the file is a record: a regular file of one name, not empty, no larger than
// MSHRecordFileReadLimit, of which a line parses as a JSON object (its first line is read alone
// when it does).
bool MSHFileIsRecord(const QString &path);

// Every line of the file that parses as a JSON object, in file order; a line cut short (or any
// other unreadable line) is skipped. The transform may replace or (returning none) drop objects.
// None when the file cannot be read, is a link or is larger than MSHRecordFileReadLimit
// (deleted first when asked).
std::optional<QList<QJsonObject>> MSHFileReadSections(
    const QString &path, bool deleteOnFailure,
    const std::function<std::optional<QJsonObject>(const QJsonObject &)> &transform = {});

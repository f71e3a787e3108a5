#include "crashreporting/capture/MSHFile.h"

#include "crashreporting/capture/MSHSafeUtilities.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

void writeAll(MSHFile *file, const char *bytes, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(file->fd, bytes, length);
        if (written <= 0) {
            if (written < 0 && errno == EINTR)
                continue;
            if (!file->failed)
                file->error = written < 0 ? errno : ENOSPC;
            file->failed = true;
            return;
        }
        bytes += written;
        length -= size_t(written);
    }
}

void flushBuffer(MSHFile *file)
{
    if (file->bufferCount > 0) {
        writeAll(file, file->buffer, file->bufferCount);
        file->bufferCount = 0;
    }
}

void writeBytes(MSHFile *file, const char *bytes, size_t length)
{
    if (!file->buffered || !file->buffer) {
        writeAll(file, bytes, length);
        return;
    }
    // Keep at most 999 bytes pending: a piece that would reach 1000 tops the buffer up to 999,
    // which goes out, and the rest continues in the emptied buffer.
    while (file->bufferCount + length >= MSHFileBufferSize) {
        const size_t room = MSHFileBufferSize - 1 - file->bufferCount;
        std::memcpy(file->buffer + file->bufferCount, bytes, room);
        file->bufferCount += room;
        flushBuffer(file);
        bytes += room;
        length -= room;
    }
    std::memcpy(file->buffer + file->bufferCount, bytes, length);
    file->bufferCount += length;
}

void writeChar(MSHFile *file, char c)
{
    writeBytes(file, &c, 1);
}

void commaIfNeeded(MSHFile *file)
{
    if (file->needsComma)
        writeChar(file, ',');
}

void openContainer(MSHFile *file, char bracket)
{
    commaIfNeeded(file);
    writeChar(file, bracket);
    file->depth += 1;
    file->needsComma = false;
}

void closeContainer(MSHFile *file, char bracket)
{
    writeChar(file, bracket);
    if (file->depth > 0) {
        file->needsComma = file->depth > 1;
        file->depth -= 1;
    }
}

void writeUnsigned(MSHFile *file, uint64_t value)
{
    char digits[21];
    size_t position = sizeof(digits);
    do {
        digits[--position] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    writeBytes(file, digits + position, sizeof(digits) - position);
}

void writeSigned(MSHFile *file, int64_t value)
{
    if (value < 0) {
        writeChar(file, '-');
        writeUnsigned(file, uint64_t(0) - uint64_t(value));
    } else {
        writeUnsigned(file, uint64_t(value));
    }
}

// Length of the well-formed UTF-8 sequence at `s` (at most `available` bytes), 0 when the byte
// there does not start one.
size_t utf8SequenceLength(const unsigned char *s, size_t available)
{
    const unsigned char lead = s[0];
    size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0;
        if (lead == 0xed)
            high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        if (lead == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    if (s[1] < low || s[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (s[i] < 0x80 || s[i] > 0xbf)
            return 0;
    }
    return length;
}

// The string between quotes, collected in a stack buffer and written in as few calls as fit.
void writeQuoted(MSHFile *file, const char *value, bool colon)
{
    static const char hex[] = "0123456789abcdef";
    char out[256];
    size_t used = 0;
    auto put = [&](const char *bytes, size_t length) {
        if (used + length > sizeof(out)) {
            writeBytes(file, out, used);
            used = 0;
        }
        std::memcpy(out + used, bytes, length);
        used += length;
    };
    put("\"", 1);
    const auto *s = reinterpret_cast<const unsigned char *>(value);
    size_t remaining = std::strlen(value);
    while (remaining > 0) {
        const unsigned char c = *s;
        if (c == '"' || c == '\\') {
            const char escaped[2] = {'\\', char(c)};
            put(escaped, 2);
            ++s;
            --remaining;
            continue;
        }
        const size_t length = c < 0x20 ? 0 : utf8SequenceLength(s, remaining);
        if (length == 0) {
            const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            put(escaped, 6);
            ++s;
            --remaining;
            continue;
        }
        put(reinterpret_cast<const char *>(s), length);
        s += length;
        remaining -= length;
    }
    put(colon ? "\":" : "\"", colon ? 2 : 1);
    writeBytes(file, out, used);
}

void writeHex(MSHFile *file, const char *bytes, size_t length)
{
    static const char hex[] = "0123456789abcdef";
    char out[32];
    size_t used = 0;
    writeChar(file, '"');
    for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[used++] = hex[byte >> 4];
        out[used++] = hex[byte & 15];
        if (used == sizeof(out)) {
            writeBytes(file, out, used);
            used = 0;
        }
    }
    if (used > 0)
        writeBytes(file, out, used);
    writeChar(file, '"');
}

void writeNull(MSHFile *file)
{
    writeBytes(file, "null", 4);
}

} // namespace

bool MSHFileInitWithPathMode(MSHFile *file, const char *path, bool append, bool buffered)
{
    if (!file)
        return false;
    *file = MSHFile{};
    // Never through a link planted in place of a record.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (append ? O_APPEND : O_TRUNC);
    const int fd = path ? ::open(path, flags, 0644) : -1;
    if (fd < 0) {
        MSHSafeLog("%s: Error: Unable to open file %s", __func__, path);
        return false;
    }
    return MSHFileInit(file, fd, buffered);
}

bool MSHFileInitWithPath(MSHFile *file, const char *path, bool buffered)
{
    return MSHFileInitWithPathMode(file, path, true, buffered);
}

bool MSHFileInit(MSHFile *file, int descriptor, bool buffered)
{
    if (!file) {
        MSHSafeLog("%s: Error: file is null", __func__);
        return false;
    }
    *file = MSHFile{};
    if (descriptor < 0) {
        MSHSafeLog("%s: Error: file descriptor invalid", __func__);
        return false;
    }
    file->fd = descriptor;
    file->buffered = buffered;
    if (buffered)
        file->buffer = static_cast<char *>(std::malloc(MSHFileBufferSize));
    return true;
}

bool MSHFileClose(MSHFile *file)
{
    if (!file)
        return false;
    if (file->buffered && file->buffer) {
        flushBuffer(file);
        std::free(file->buffer);
        file->buffer = nullptr;
    }
    const bool written = !file->failed;
    const int error = file->error;
    if (file->fd >= 0 && ::close(file->fd) != 0) {
        MSHSafeLog("%s: Error: Unable to close file (errno %d)", __func__, errno);
        *file = MSHFile{};
        return false;
    }
    *file = MSHFile{};
    if (!written)
        errno = error;
    return written;
}

bool MSHFileIsOpen(const MSHFile *file)
{
    return file && file->fd >= 0;
}

void MSHFileWriteSectionStart(MSHFile *file, const char *name)
{
    MSHFileWriteHashStart(file);
    MSHFileWriteHashKey(file, name);
}

void MSHFileWriteSectionEnd(MSHFile *file)
{
    MSHFileWriteHashEnd(file);
    writeChar(file, '\n');
    file->needsComma = false;
}

void MSHFileWriteHashStart(MSHFile *file)
{
    openContainer(file, '{');
}

void MSHFileWriteHashEnd(MSHFile *file)
{
    closeContainer(file, '}');
}

void MSHFileWriteArrayStart(MSHFile *file)
{
    openContainer(file, '[');
}

void MSHFileWriteArrayEnd(MSHFile *file)
{
    closeContainer(file, ']');
}

void MSHFileWriteHashKey(MSHFile *file, const char *key)
{
    commaIfNeeded(file);
    writeQuoted(file, key, true);
    file->needsComma = false;
}

void MSHFileWriteHashEntryUint64(MSHFile *file, const char *key, uint64_t value)
{
    MSHFileWriteHashKey(file, key);
    MSHFileWriteArrayEntryUint64(file, value);
}

void MSHFileWriteHashEntryInt64(MSHFile *file, const char *key, int64_t value)
{
    MSHFileWriteHashKey(file, key);
    writeSigned(file, value);
    file->needsComma = true;
}

void MSHFileWriteHashEntryString(MSHFile *file, const char *key, const char *value)
{
    MSHFileWriteHashKey(file, key);
    MSHFileWriteArrayEntryString(file, value);
}

void MSHFileWriteHashEntryNSString(MSHFile *file, const char *key, const QString *value)
{
    if (!value || value->isNull()) {
        MSHFileWriteHashEntryString(file, key, nullptr);
        return;
    }
    const QByteArray utf8 = value->toUtf8();
    MSHFileWriteHashEntryString(file, key, utf8.constData());
}

void MSHFileWriteHashEntryNSStringUnlessNilOrEmpty(MSHFile *file, const char *key,
                                                   const QString *value)
{
    if (value && !value->isEmpty())
        MSHFileWriteHashEntryNSString(file, key, value);
}

void MSHFileWriteHashEntryHexEncodedString(MSHFile *file, const char *key, const char *value)
{
    MSHFileWriteHashKey(file, key);
    MSHFileWriteArrayEntryHexEncodedString(file, value);
}

void MSHFileWriteHashEntryHexEncodedBytes(MSHFile *file, const char *key, const char *bytes,
                                          size_t length)
{
    MSHFileWriteHashKey(file, key);
    writeHex(file, bytes, length);
    file->needsComma = true;
}

void MSHFileWriteHashEntryBoolean(MSHFile *file, const char *key, bool value)
{
    MSHFileWriteHashKey(file, key);
    if (value)
        writeBytes(file, "true", 4);
    else
        writeBytes(file, "false", 5);
    file->needsComma = true;
}

void MSHFileWriteArrayEntryUint64(MSHFile *file, uint64_t value)
{
    commaIfNeeded(file);
    writeUnsigned(file, value);
    file->needsComma = true;
}

void MSHFileWriteArrayEntryString(MSHFile *file, const char *value)
{
    commaIfNeeded(file);
    if (value)
        writeQuoted(file, value, false);
    else
        writeNull(file);
    file->needsComma = true;
}

void MSHFileWriteArrayEntryHexEncodedString(MSHFile *file, const char *value)
{
    commaIfNeeded(file);
    if (value)
        writeHex(file, value, std::strlen(value));
    else
        writeNull(file);
    file->needsComma = true;
}

namespace
{
// Reads at most `keep` bytes of the regular file at path, opened without following a link;
// nothing for any other entry, a file with a second name (a hard link is another file's, never
// one of ours), one larger than `limit`, or an empty one unless `emptyIsRead`.
std::optional<QByteArray> readRegularFileAt(int fd, qint64 limit, qint64 keep, bool emptyIsRead);

std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit, qint64 keep,
                                          bool emptyIsRead)
{
    return readRegularFileAt(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK),
        limit, keep, emptyIsRead);
}

// The same for a file opened already (or -1); the descriptor is closed.
std::optional<QByteArray> readRegularFileAt(int fd, qint64 limit, qint64 keep, bool emptyIsRead)
{
    if (fd < 0)
        return std::nullopt;
    struct stat status {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1 ||
        status.st_size > limit || (status.st_size == 0 && !emptyIsRead)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray contents;
    contents.resize(qsizetype(std::min<qint64>(status.st_size, keep)));
    qsizetype used = 0;
    // The size may change under us: read what there is, up to what is kept.
    for (;;) {
        if (used == contents.size()) {
            if (used >= keep)
                break;
            contents.resize(std::min<qsizetype>(used + 4096, qsizetype(keep)));
        }
        const ssize_t got = ::read(fd, contents.data() + used, size_t(contents.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += got;
    }
    ::close(fd);
    contents.truncate(used);
    return contents;
}
} // namespace

std::optional<QByteArray> MSHFileReadRegular(const QString &path, qint64 limit)
{
    return readRegularFile(path, limit, limit, true);
}

std::optional<QByteArray> MSHFileReadRegularAt(int folder, const char *name, qint64 limit)
{
    return readRegularFileAt(::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK),
                             limit, limit, true);
}

bool MSHFileIsRecord(const QString &path)
{
    // Most records open with a short line: the start of the file is enough.
    const std::optional<QByteArray> head =
        readRegularFile(path, MSHRecordFileReadLimit, 64 * 1024, false);
    if (!head)
        return false;
    const qsizetype end = head->indexOf('\n');
    if (end > 0 && QJsonDocument::fromJson(head->left(end)).isObject())
        return true;
    const std::optional<QList<QJsonObject>> sections = MSHFileReadSections(path, false);
    return sections && !sections->isEmpty();
}

std::optional<QList<QJsonObject>>
MSHFileReadSections(const QString &path, bool deleteOnFailure,
                    const std::function<std::optional<QJsonObject>(const QJsonObject &)> &transform)
{
    const std::optional<QByteArray> read = MSHFileReadRegular(path, MSHRecordFileReadLimit);
    if (!read) {
        if (deleteOnFailure)
            QFile::remove(path);
        MSHSafeLog("%s: Unable to read file %s", __func__, path.toUtf8().constData());
        return std::nullopt;
    }
    const QByteArray &contents = *read;
    QList<QJsonObject> sections;
    for (const QByteArray &line : contents.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            continue;
        if (transform) {
            std::optional<QJsonObject> replaced = transform(document.object());
            if (replaced)
                sections.append(*replaced);
        } else {
            sections.append(document.object());
        }
    }
    return sections;
}

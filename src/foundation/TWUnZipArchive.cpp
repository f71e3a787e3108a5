#include "foundation/TWUnZipArchive.h"

#include "foundation/TWSaveFile.h"

#include <QFile>
#include <QSaveFile>

#include <minizip/unzip.h>

#include <cstring>

// The bytes of an archive opened from memory and minizip's reading position.
struct TWUnZipMemoryStream {
    QByteArray data;
    qint64 position = 0;
};

namespace
{

using MemoryCursor = TWUnZipMemoryStream;

constexpr int kPieceSize = 64 * 1024;

voidpf ZCALLBACK memoryOpen(voidpf opaque, const void *, int mode)
{
    // Reading only: an archive in memory is never written.
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    return opaque;
}

uLong ZCALLBACK memoryRead(voidpf, voidpf stream, void *buffer, uLong size)
{
    auto *cursor = static_cast<MemoryCursor *>(stream);
    const qint64 available = cursor->data.size() - cursor->position;
    const qint64 count = std::clamp<qint64>(available, 0, qint64(size));
    if (count > 0)
        std::memcpy(buffer, cursor->data.constData() + cursor->position, size_t(count));
    cursor->position += count;
    return uLong(count);
}

uLong ZCALLBACK memoryWrite(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK memoryTell(voidpf, voidpf stream)
{
    return ZPOS64_T(static_cast<MemoryCursor *>(stream)->position);
}

long ZCALLBACK memorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *cursor = static_cast<MemoryCursor *>(stream);
    const qint64 size = cursor->data.size();
    qint64 base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = cursor->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = size;
        break;
    default:
        return -1;
    }
    // Offsets come from the archive's own (untrusted) fields.
    if (offset > ZPOS64_T(size))
        return -1;
    const qint64 target = base + qint64(offset);
    if (target < 0 || target > size)
        return -1;
    cursor->position = target;
    return 0;
}

int ZCALLBACK memoryClose(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK memoryError(voidpf, voidpf)
{
    return 0;
}

} // namespace

TWUnZipArchive::TWUnZipArchive(const TWUnZipLimits &limits) : m_limits(limits)
{
}

TWUnZipArchive::~TWUnZipArchive()
{
    close();
}

std::shared_ptr<TWUnZipArchive> TWUnZipArchive::unZipArchive()
{
    return std::make_shared<TWUnZipArchive>();
}

bool TWUnZipArchive::fail(TWZipErrorCode code, const QString &subject)
{
    m_error = TWZipErrorRecord(code, subject);
    return false;
}

bool TWUnZipArchive::openZipFile(const QString &path)
{
    close();
    return openWith(path, nullptr);
}

bool TWUnZipArchive::openZipData(const QByteArray &data)
{
    close();
    m_memory = std::make_unique<TWUnZipMemoryStream>();
    m_memory->data = data;
    if (openWith(QStringLiteral("<memory>"), m_memory.get()))
        return true;
    m_memory.reset();
    return false;
}

bool TWUnZipArchive::openWith(const QString &path, void *memory)
{
    m_error.reset();
    m_endOfFile = false;
    m_entriesRead = 0;
    m_bytesRead = 0;
    m_path = path;
    unzFile file = nullptr;
    if (memory) {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = memoryOpen;
        functions.zread_file = memoryRead;
        functions.zwrite_file = memoryWrite;
        functions.ztell64_file = memoryTell;
        functions.zseek64_file = memorySeek;
        functions.zclose_file = memoryClose;
        functions.zerror_file = memoryError;
        functions.opaque = memory;
        file = unzOpen2_64("<memory>", &functions);
    } else {
        file = unzOpen64(QFile::encodeName(path).constData());
    }
    if (!file)
        return fail(TWZipErrorCannotOpen, path);
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(file, &info) != UNZ_OK) {
        unzClose(file);
        return fail(TWZipErrorCannotOpen, path);
    }
    // The directory's count is only a first check; entries are counted again
    // as they are read.
    if (qint64(info.number_entry) > m_limits.maximumEntryCount) {
        unzClose(file);
        return fail(TWZipErrorTooManyEntries, path);
    }
    m_file = file;
    m_endOfFile = info.number_entry == 0;
    return true;
}

bool TWUnZipArchive::close()
{
    if (!m_file)
        return false;
    const int result = unzClose(static_cast<unzFile>(m_file));
    m_file = nullptr;
    m_memory.reset();
    return result == UNZ_OK;
}

bool TWUnZipArchive::readEntry(const Sink &sink, QString *name)
{
    if (!m_file)
        return fail(TWZipErrorNotOpen, m_path);
    if (m_endOfFile)
        return false;
    unzFile file = static_cast<unzFile>(m_file);

    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return fail(TWZipErrorDamaged, m_path);
    // The whole name, however long; a NUL inside it stays visible to the check.
    QByteArray rawName(qsizetype(info.size_filename), '\0');
    if (unzGetCurrentFileInfo64(file, &info, rawName.data(), uLong(rawName.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return fail(TWZipErrorDamaged, m_path);
    const QString entryName = QString::fromUtf8(rawName);
    if (rawName.contains('\0') || !TWZipEntryNameIsSafe(entryName))
        return fail(TWZipErrorUnsafeName, entryName);
    if (m_entriesRead >= m_limits.maximumEntryCount)
        return fail(TWZipErrorTooManyEntries, m_path);
    if (info.flag & 1)
        return fail(TWZipErrorEncrypted, entryName);

    if (name)
        *name = entryName;
    if (unzOpenCurrentFile(file) != UNZ_OK)
        return fail(TWZipErrorDamaged, entryName);

    // Inflated bytes are counted here; the sizes the archive states are not
    // trusted.
    QByteArray piece(kPieceSize, Qt::Uninitialized);
    qint64 entryBytes = 0;
    TWErrorResult failure;
    for (;;) {
        const int count = unzReadCurrentFile(file, piece.data(), unsigned(piece.size()));
        if (count == 0)
            break;
        if (count < 0) {
            failure = TWZipErrorRecord(TWZipErrorDamaged, entryName);
            break;
        }
        entryBytes += count;
        if (entryBytes > m_limits.maximumEntrySize) {
            failure = TWZipErrorRecord(TWZipErrorEntryTooLarge, entryName);
            break;
        }
        if (m_bytesRead + entryBytes > m_limits.maximumTotalSize) {
            failure = TWZipErrorRecord(TWZipErrorTotalTooLarge, m_path);
            break;
        }
        if (!sink(piece.constData(), count)) {
            failure = TWZipErrorRecord(TWZipErrorCannotWrite, entryName);
            break;
        }
    }
    // Closing after a complete read checks the entry's checksum.
    const int closed = unzCloseCurrentFile(file);
    if (!failure && closed != UNZ_OK)
        failure = TWZipErrorRecord(TWZipErrorDamaged, entryName);
    if (failure) {
        m_error = failure;
        return false;
    }
    m_bytesRead += entryBytes;
    ++m_entriesRead;
    if (unzGoToNextFile(file) == UNZ_END_OF_LIST_OF_FILE)
        m_endOfFile = true;
    return true;
}

bool TWUnZipArchive::readNextFileData(QByteArray *data, QString *name)
{
    m_error.reset();
    if (name)
        name->clear();
    QByteArray buffer;
    const bool ok = readEntry(
        [&buffer](const char *bytes, qsizetype length) {
            buffer.append(bytes, length);
            return true;
        },
        name);
    if (data)
        *data = ok ? buffer : QByteArray();
    return ok;
}

bool TWUnZipArchive::readNextFile(const QString &path, QString *name)
{
    m_error.reset();
    if (name)
        name->clear();
    if (!m_file)
        return fail(TWZipErrorNotOpen, m_path);
    if (m_endOfFile)
        return false;
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly))
        return fail(TWZipErrorCannotWrite, path);
    const bool ok =
        readEntry([&output](const char *bytes,
                            qsizetype length) { return output.write(bytes, length) == length; },
                  name);
    if (!ok) {
        output.cancelWriting();
        return false;
    }
    if (twCommitSaveFile(output))
        return fail(TWZipErrorCannotWrite, path);
    return true;
}

bool TWUnZipArchive::unZipArchiveWithFilePath(const QString &archivePath,
                                              const QString &contentFilePath,
                                              const TWUnZipLimits &limits)
{
    TWUnZipArchive archive(limits);
    if (!archive.openZipFile(archivePath))
        return false;
    const bool ok = archive.readNextFile(contentFilePath, nullptr);
    archive.close();
    return ok;
}

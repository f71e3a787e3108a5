#include "TWUnZipArchive.h"

#include <QFile>
#include <QSaveFile>

#include <minizip/unzip.h>

namespace {

constexpr int kPieceSize = 64 * 1024;

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
    m_error.reset();
    m_endOfFile = false;
    m_entriesRead = 0;
    m_bytesRead = 0;
    m_path = path;
    unzFile file = unzOpen64(QFile::encodeName(path).constData());
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
    if (!output.commit())
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

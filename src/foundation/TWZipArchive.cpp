#include "foundation/TWZipArchive.h"

#include "foundation/TWClock.h"

#include <QFile>
#include <QFileInfo>

#include <minizip/zip.h>

namespace
{

// Bit 11 of the general-purpose flags: the entry's name is UTF-8.
constexpr uLong kUTF8NameFlag = 1 << 11;

// zipWriteInFileInZip takes an unsigned length: larger data goes in pieces.
constexpr qsizetype kMaximumWrite = 1 << 30;

// The DOS fields hold 1980 to 2107 in local time; a moment outside is
// clamped to the nearest one they hold.
tm_zip dosTime(const QDateTime &moment)
{
    QDateTime local = moment.toLocalTime();
    const QDateTime earliest = TWZipArchive::referenceDate();
    const QDateTime latest(QDate(2107, 12, 31), QTime(23, 59, 58));
    if (!local.isValid() || local < earliest)
        local = earliest;
    else if (local > latest)
        local = latest;
    tm_zip fields{};
    fields.tm_sec = uInt(local.time().second());
    fields.tm_min = uInt(local.time().minute());
    fields.tm_hour = uInt(local.time().hour());
    fields.tm_mday = uInt(local.date().day());
    fields.tm_mon = uInt(local.date().month() - 1);
    fields.tm_year = uInt(local.date().year());
    return fields;
}

} // namespace

TWZipArchive::~TWZipArchive()
{
    close();
}

std::shared_ptr<TWZipArchive> TWZipArchive::zipArchive()
{
    return std::make_shared<TWZipArchive>();
}

QDateTime TWZipArchive::referenceDate()
{
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0));
}

bool TWZipArchive::fail(TWZipErrorCode code, const QString &subject)
{
    m_error = TWZipErrorRecord(code, subject);
    return false;
}

bool TWZipArchive::createZipFile(const QString &path)
{
    close();
    m_error.reset();
    m_path = path;
    zipFile file = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!file)
        return fail(TWZipErrorCannotOpen, path);
    m_file = file;
    return true;
}

bool TWZipArchive::addEntry(const QByteArray &data, const QString &name, const QDateTime &modified)
{
    if (!m_file)
        return fail(TWZipErrorNotOpen, m_path);
    // Never write a name that a reader would refuse.
    if (!TWZipEntryNameIsSafe(name))
        return fail(TWZipErrorUnsafeName, name);
    zipFile file = static_cast<zipFile>(m_file);
    zip_fileinfo info{};
    info.tmz_date = dosTime(modified);
    const QByteArray utf8Name = name.toUtf8();
    const int zip64 = quint64(data.size()) >= 0xffffffffULL ? 1 : 0;
    if (zipOpenNewFileInZip4_64(file, utf8Name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                Z_DEFAULT_STRATEGY, nullptr, 0, 0, kUTF8NameFlag, zip64) != ZIP_OK)
        return fail(TWZipErrorCannotWrite, m_path);
    bool ok = true;
    for (qsizetype offset = 0; ok && offset < data.size(); offset += kMaximumWrite) {
        const qsizetype length = qMin(kMaximumWrite, data.size() - offset);
        ok = zipWriteInFileInZip(file, data.constData() + offset, unsigned(length)) == ZIP_OK;
    }
    const bool closed = zipCloseFileInZip(file) == ZIP_OK;
    if (!ok || !closed)
        return fail(TWZipErrorCannotWrite, m_path);
    return true;
}

bool TWZipArchive::addFileDataToZip(const QByteArray &data, const QString &name)
{
    m_error.reset();
    return addEntry(data, name, TWClock::now());
}

bool TWZipArchive::addFileToZip(const QString &filePath, const QString &name)
{
    m_error.reset();
    if (!m_file)
        return fail(TWZipErrorNotOpen, m_path);
    QFile input(filePath);
    if (!input.open(QIODevice::ReadOnly))
        return fail(TWZipErrorCannotRead, filePath);
    const QByteArray data = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return fail(TWZipErrorCannotRead, filePath);
    QDateTime modified = QFileInfo(filePath).lastModified();
    if (!modified.isValid())
        modified = TWClock::now();
    return addEntry(data, name, modified);
}

bool TWZipArchive::close()
{
    if (!m_file)
        return false;
    const int result = zipClose(static_cast<zipFile>(m_file), nullptr);
    m_file = nullptr;
    if (result != ZIP_OK)
        return fail(TWZipErrorCannotWrite, m_path);
    return true;
}

bool TWZipArchive::zipArchiveWithFilePath(const QString &archivePath,
                                          const QString &contentFilePath,
                                          const QString &contentFileName)
{
    TWZipArchive archive;
    if (!archive.createZipFile(archivePath))
        return false;
    const bool added = archive.addFileToZip(contentFilePath, contentFileName);
    const bool closed = archive.close();
    return added && closed;
}

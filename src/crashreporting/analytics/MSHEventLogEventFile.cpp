#include "crashreporting/analytics/MSHEventLogEventFile.h"

#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHLog.h"

#include <QDir>
#include <QFileInfo>

namespace
{
const char *const logPrefix = "[Mishap:Pulse]";

void setError(MSHError *error, const MSHError &value)
{
    if (error)
        *error = value;
}
} // namespace

MSHError MSHAnalyticsFileError(const QString &description)
{
    MSHError error;
    error.domain = QStringLiteral("MSHFileError");
    error.code = -1;
    error.description = description;
    return error;
}

std::unique_ptr<MSHEventLogEventFile> MSHEventLogEventFile::create(const QString &path,
                                                                   MSHError *error)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink() && !QDir(path).removeRecursively() && KTBDebugEnabled())
        MSHLog(logPrefix, QStringLiteral("MSHEventLogFile: Unable to delete blocking directory "
                                         "%1 [error: not removable]")
                              .arg(path));
    std::unique_ptr<MSHEventLogEventFile> file(new MSHEventLogEventFile(path));
    if (!file->open(error))
        return nullptr;
    file->m_fileSize = uint64_t(file->m_file.size());
    return file;
}

std::unique_ptr<MSHEventLogEventFile>
MSHEventLogEventFile::create(const QString &name, const QString &directory, MSHError *error)
{
    return create(QDir(directory).filePath(name), error);
}

MSHEventLogEventFile::~MSHEventLogEventFile()
{
    closeFileHandle();
}

bool MSHEventLogEventFile::open(MSHError *error)
{
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
        return true;
    }
    const QString message =
        QStringLiteral("MSHEventLogFile: Unable to get open file for writing at path %1 "
                       "[error: %2]")
            .arg(m_path, m_file.errorString());
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
    setError(error, MSHAnalyticsFileError(message));
    return false;
}

bool MSHEventLogEventFile::appendData(const QByteArray &data, MSHError *error)
{
    if (m_file.write(data) != data.size() || !m_file.flush()) {
        setError(error, MSHAnalyticsFileError(m_file.errorString()));
        return false;
    }
    m_fileSize += uint64_t(data.size());
    return true;
}

bool MSHEventLogEventFile::appendEvent(const MSHEventLogEvent &event, MSHError *error)
{
    return appendData(event.eventData(), error);
}

bool MSHEventLogEventFile::resetFile(MSHError *error)
{
    if (!m_file.resize(0)) {
        setError(error, MSHAnalyticsFileError(m_file.errorString()));
        return false;
    }
    m_fileSize = 0;
    return true;
}

std::optional<QByteArray> MSHEventLogEventFile::readFromFile(MSHError *error)
{
    closeFileHandle();
    QFile reader(m_path);
    std::optional<QByteArray> bytes;
    if (reader.open(QIODevice::ReadOnly))
        bytes = reader.readAll();
    else
        setError(error, MSHAnalyticsFileError(reader.errorString()));
    if (!open(bytes ? error : nullptr)) {
        if (!bytes && KTBDebugEnabled())
            MSHLog(logPrefix, QStringLiteral("MSHEventLogFile: Unable to reopen file for writing "
                                             "at path %1")
                                  .arg(m_path));
        return std::nullopt;
    }
    return bytes;
}

void MSHEventLogEventFile::closeFileHandle()
{
    if (m_file.isOpen())
        m_file.close();
}

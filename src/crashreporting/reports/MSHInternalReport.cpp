#include "crashreporting/reports/MSHInternalReport.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"

#include <QFileInfo>

namespace
{

const QString metadataFile = QStringLiteral("metadata.mshrecord");

} // namespace

std::shared_ptr<MSHInternalReport> MSHInternalReport::reportWithPath(const QString &path)
{
    return std::make_shared<MSHInternalReport>(path);
}

MSHInternalReport::MSHInternalReport(const QString &path) : m_path(path)
{
    m_identifier = metadataString(0, QStringLiteral("identity"), QStringLiteral("session_id"));
    if (m_identifier.isNull())
        MSHLog("[Mishap:Crash]", QStringLiteral("Unable to read identifier at path %1").arg(path));
}

MSHInternalReport::MSHInternalReport(const QString &path, const QString &executionIdentifier)
    : m_identifier(executionIdentifier), m_path(path)
{
}

QString MSHInternalReport::directoryName() const
{
    return QFileInfo(m_path).fileName();
}

QString MSHInternalReport::pathForContentFile(const QString &fileName) const
{
    return m_path + QLatin1Char('/') + fileName;
}

QString MSHInternalReport::metadataPath() const
{
    return pathForContentFile(metadataFile);
}

QString MSHInternalReport::binaryImagePath() const
{
    return pathForContentFile(QStringLiteral("binary_images.mshrecord"));
}

bool MSHInternalReport::needsToBeSubmitted() const
{
    static const QStringList files = {
        QStringLiteral("custom_exception.mshrecord"), QStringLiteral("exception.mshrecord"),
        QStringLiteral("signal.mshrecord"),           QStringLiteral("mach_exception.mshrecord"),
        QStringLiteral("errors_a.mshrecord"),         QStringLiteral("errors_b.mshrecord")};
    // Only a record counts: an empty file, a folder or a link by a record's name is none, and a
    // folder holding nothing else is no report. Nor is a link in a report folder's place.
    if (!MSHFileManager::isRealDirectory(m_path))
        return false;
    for (const QString &file : files) {
        if (MSHFileIsRecord(pathForContentFile(file)))
            return true;
    }
    return false;
}

void MSHInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const QString &)> &block) const
{
    block(pathForContentFile(QStringLiteral("exception.mshrecord")));
    block(pathForContentFile(QStringLiteral("mach_exception.mshrecord")));
    block(pathForContentFile(QStringLiteral("signal.mshrecord")));
}

std::optional<QList<QJsonObject>> MSHInternalReport::readMetadataAtPath(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    std::optional<QList<QJsonObject>> sections = MSHFileReadSections(path, false);
    if (!sections || sections->isEmpty())
        return std::nullopt;
    return sections;
}

const QList<QJsonObject> &MSHInternalReport::metadataSections() const
{
    if (!m_metadataSections)
        m_metadataSections = readMetadataAtPath(metadataPath()).value_or(QList<QJsonObject>());
    return *m_metadataSections;
}

QString MSHInternalReport::metadataString(int section, const QString &name,
                                          const QString &key) const
{
    const QList<QJsonObject> &sections = metadataSections();
    if (section >= sections.size())
        return {};
    const QJsonValue value = sections.at(section).value(name).toObject().value(key);
    return value.isString() ? value.toString() : QString();
}

QString MSHInternalReport::APIKey() const
{
    return metadataString(0, QStringLiteral("identity"), QStringLiteral("api_key"));
}

std::optional<QDateTime> MSHInternalReport::dateCreated() const
{
    const QList<QJsonObject> &sections = metadataSections();
    if (sections.isEmpty())
        return std::nullopt;
    const QJsonValue value = sections.at(0)
                                 .value(QStringLiteral("identity"))
                                 .toObject()
                                 .value(QStringLiteral("started_at"));
    if (!value.isDouble())
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(qint64(quint64(value.toInteger())), Qt::UTC);
}

QString MSHInternalReport::OSVersion() const
{
    return metadataString(1, QStringLiteral("host"), QStringLiteral("os_display_version"));
}

QString MSHInternalReport::OSBuildVersion() const
{
    return metadataString(1, QStringLiteral("host"), QStringLiteral("os_build_version"));
}

QString MSHInternalReport::bundleVersion() const
{
    return metadataString(2, QStringLiteral("application"), QStringLiteral("build_version"));
}

QString MSHInternalReport::bundleShortVersionString() const
{
    return metadataString(2, QStringLiteral("application"), QStringLiteral("display_version"));
}

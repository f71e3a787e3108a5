#include "MSHPackageReportOperation.h"

#include "KTBMultipartMimeStreamEncoder.h"
#include "MSHFileManager.h"
#include "MSHInternalReport.h"
#include "MSHLog.h"
#include "MSHSafeUtilities.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <zlib.h>

namespace
{

QString withoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

MSHPackageReportOperation::MSHPackageReportOperation(std::shared_ptr<MSHInternalReport> report,
                                                     MSHFileManager *fileManager)
    : m_report(std::move(report)), m_fileManager(fileManager)
{
}

QString MSHPackageReportOperation::reportPath() const
{
    return m_report ? m_report->path() : QString();
}

QString MSHPackageReportOperation::destinationDirectory() const
{
    if (!m_destination.isEmpty() || !m_fileManager)
        return m_destination;
    return m_fileManager->preparedPath();
}

QString MSHPackageReportOperation::packagedPathWithName(const QString &name) const
{
    return destinationDirectory() + QLatin1Char('/') + name + QStringLiteral(".multipartmime");
}

QString MSHPackageReportOperation::fieldNameForCompressedFile(const QString &fileName)
{
    return withoutExtension(withoutExtension(fileName));
}

std::optional<QString> MSHPackageReportOperation::compressFile(const QString &path)
{
    const QString compressedPath = path + QStringLiteral(".gz");
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        MSHSafeLog("Error: Unable to read %s\n", QFile::encodeName(path).constData());
        return std::nullopt;
    }
    const QByteArray data = source.readAll();
    source.close();

    const QByteArray target = QFile::encodeName(compressedPath);
    gzFile out = ::gzopen(target.constData(), "w");
    if (!out) {
        MSHSafeLog("Error: Unable to open %s\n", target.constData());
        return std::nullopt;
    }
    bool complete = true;
    constexpr qsizetype range = 1 << 20;
    for (qsizetype at = 0; at < data.size() && complete; at += range) {
        const unsigned length = unsigned(std::min(range, data.size() - at));
        if (::gzwrite(out, data.constData() + at, length) != int(length)) {
            MSHSafeLog("Error: Failed to write all compressed bytes\n");
            complete = false;
        }
    }
    // The last compressed bytes reach the file only when it is closed.
    if (::gzclose(out) != Z_OK) {
        MSHSafeLog("Error: Failed to close the compressed file\n");
        complete = false;
    }
    if (!complete) {
        std::remove(target.constData());
        return std::nullopt;
    }
    return compressedPath;
}

void MSHPackageReportOperation::main()
{
    m_finalPath.clear();
    if (!m_report || !m_fileManager)
        return;
    const QString boundary = KTBMultipartMimeStreamEncoder::generateBoundary();
    const QString packagePath = packagedPathWithName(boundary);
    // Hidden until complete: listings skip it, and the next launch removes a leftover.
    const QString temporaryPath =
        destinationDirectory() + QStringLiteral("/.") + boundary + QStringLiteral(".multipartmime");
    const QString identifier = m_report->identifier();
    const QString apiKey = m_report->APIKey();

    QFile output(temporaryPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        MSHLog("[Mishap:Crash:Reports]", QStringLiteral("Unable to create package %1: %2")
                                             .arg(temporaryPath, output.errorString()));
        return;
    }
    auto encoder = KTBMultipartMimeStreamEncoder::encoderWithStream(&output, boundary);
    if (!encoder) {
        output.close();
        QFile::remove(temporaryPath);
        return;
    }
    bool filesComplete = true;
    const bool encoded = encoder->encode([&](KTBMultipartMimeStreamEncoder &parts) {
        if (!apiKey.isNull())
            parts.addValue(apiKey, QStringLiteral("api_key"));
        if (!identifier.isNull())
            parts.addValue(identifier, QStringLiteral("report_id"));
        m_fileManager->enumerateFilesInDirectory(
            reportPath(), [&](const QString &path, const QString &extension) {
                if (!filesComplete || isCancelled() || extension == QLatin1String("gz"))
                    return;
                const std::optional<QString> compressed = compressFile(path);
                QFile file(compressed.value_or(QString()));
                if (!compressed || !file.open(QIODevice::ReadOnly)) {
                    filesComplete = false;
                    return;
                }
                const QString name = QFileInfo(*compressed).fileName();
                QByteArray bytes = file.readAll();
                if (bytes.isNull())
                    bytes = QByteArray("");
                parts.addFileData(bytes, name, QStringLiteral("application/x-gzip"),
                                  fieldNameForCompressedFile(name));
                if (parts.failed())
                    filesComplete = false;
            });
    });
    if (!encoded || !filesComplete || isCancelled()) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to package report %1").arg(reportPath()));
        QFile::remove(temporaryPath);
        return;
    }
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(packagePath).constData()) != 0) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to complete package %1").arg(packagePath));
        QFile::remove(temporaryPath);
        return;
    }
    m_finalPath = packagePath;
}

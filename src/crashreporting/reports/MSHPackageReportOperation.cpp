#include "crashreporting/reports/MSHPackageReportOperation.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/reports/MSHInternalReport.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace
{

// The files the component writes into a report folder; nothing else there is ever sent.
const QStringList packagedFileNames = {
    QStringLiteral("binary_images.mshrecord"),
    QStringLiteral("custom_exception.mshrecord"),
    QStringLiteral("errors_a.mshrecord"),
    QStringLiteral("errors_b.mshrecord"),
    QStringLiteral("exception.mshrecord"),
    QStringLiteral("exception.mshrecord.symbolicated"),
    QStringLiteral("internal_compacted_kv.mshrecord"),
    QStringLiteral("internal_incremental_kv.mshrecord"),
    QStringLiteral("log_a.mshrecord"),
    QStringLiteral("log_b.mshrecord"),
    QStringLiteral("mach_exception.mshrecord"),
    QStringLiteral("mach_exception.mshrecord.symbolicated"),
    QStringLiteral("metadata.mshrecord"),
    QStringLiteral("sdk.log"),
    QStringLiteral("signal.mshrecord"),
    QStringLiteral("signal.mshrecord.symbolicated"),
    QStringLiteral("user_compacted_kv.mshrecord"),
    QStringLiteral("user_incremental_kv.mshrecord"),
};

enum class Entry { Missing, RegularFile, Other };

Entry entryAt(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return Entry::Missing;
    return S_ISREG(status.st_mode) ? Entry::RegularFile : Entry::Other;
}

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
    const std::optional<QByteArray> read = MSHFileReadRegular(path, MSHRecordFileReadLimit);
    if (!read) {
        MSHSafeLog("Error: Unable to read %s\n", QFile::encodeName(path).constData());
        return std::nullopt;
    }
    const QByteArray &data = *read;

    // A leftover (or anything planted under that name) is removed, never written through.
    const QByteArray target = QFile::encodeName(compressedPath);
    if (entryAt(compressedPath) != Entry::Missing)
        ::unlink(target.constData());
    const int fd =
        ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    gzFile out = fd >= 0 ? ::gzdopen(fd, "w") : nullptr;
    if (!out) {
        if (fd >= 0)
            ::close(fd);
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
    // A report folder is one the component made: a link in its place is refused, and so is a
    // folder that is gone or cannot be read (its package would carry nothing of the report).
    const int folder = ::open(QFile::encodeName(reportPath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        MSHLog(
            "[Mishap:Crash:Reports]",
            QStringLiteral("Refusing report folder %1: not a readable folder").arg(reportPath()));
        return;
    }
    ::close(folder);
    const QString boundary = KTBMultipartMimeStreamEncoder::generateBoundary();
    const QString packagePath = packagedPathWithName(boundary);
    // Hidden until complete: listings skip it, and the next launch removes a leftover.
    const QString temporaryPath =
        destinationDirectory() + QStringLiteral("/.") + boundary + QStringLiteral(".multipartmime");
    const QString identifier = m_report->identifier();
    const QString apiKey = m_report->APIKey();

    QFile output(temporaryPath);
    // Claimed from its first byte on: no other process removes it as a leftover, nor sends it
    // once it has its name.
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !m_fileManager->claimItemAtPath(temporaryPath)) {
        MSHLog("[Mishap:Crash:Reports]", QStringLiteral("Unable to create package %1: %2")
                                             .arg(temporaryPath, output.errorString()));
        if (output.isOpen()) {
            output.close();
            QFile::remove(temporaryPath);
        }
        return;
    }
    const auto discard = [&] {
        output.close();
        QFile::remove(temporaryPath);
        m_fileManager->releaseClaimAtPath(temporaryPath);
    };
    auto encoder = KTBMultipartMimeStreamEncoder::encoderWithStream(&output, boundary);
    if (!encoder) {
        discard();
        return;
    }
    bool filesComplete = true;
    int filesPacked = 0;
    const bool encoded = encoder->encode([&](KTBMultipartMimeStreamEncoder &parts) {
        if (!apiKey.isNull())
            parts.addValue(apiKey, QStringLiteral("api_key"));
        if (!identifier.isNull())
            parts.addValue(identifier, QStringLiteral("report_id"));
        for (const QString &fileName : packagedFileNames) {
            if (!filesComplete || isCancelled())
                break;
            const QString path = reportPath() + QLatin1Char('/') + fileName;
            const Entry entry = entryAt(path);
            if (entry == Entry::Missing)
                continue;
            if (entry != Entry::RegularFile) {
                MSHLog("[Mishap:Crash:Reports]",
                       QStringLiteral("Leaving out %1: not a regular file").arg(path));
                continue;
            }
            if (QFileInfo(path).size() > MSHRecordFileReadLimit) {
                MSHLog("[Mishap:Crash:Reports]",
                       QStringLiteral("Leaving out %1: larger than any record").arg(path));
                continue;
            }
            [&] {
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
                ++filesPacked;
            }();
        }
    });
    if (!encoded || !filesComplete || filesPacked == 0 || isCancelled()) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to package report %1").arg(reportPath()));
        discard();
        return;
    }
    output.close();
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(packagePath).constData()) != 0) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to complete package %1").arg(packagePath));
        discard();
        return;
    }
    m_fileManager->claimedItemMoved(temporaryPath, packagePath);
    m_finalPath = packagePath;
}

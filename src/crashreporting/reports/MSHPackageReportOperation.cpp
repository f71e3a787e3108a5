#include "crashreporting/reports/MSHPackageReportOperation.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/common/MSHStepObserver.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/reports/MSHInternalReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace
{

// The files the component writes into a report folder; nothing else there is ever sent.
constexpr const char *packagedFileNames[] = {
    "binary_images.mshrecord",
    "custom_exception.mshrecord",
    "errors_a.mshrecord",
    "errors_b.mshrecord",
    "exception.mshrecord",
    "exception.mshrecord.symbolicated",
    "internal_compacted_kv.mshrecord",
    "internal_incremental_kv.mshrecord",
    "log_a.mshrecord",
    "log_b.mshrecord",
    "mach_exception.mshrecord",
    "mach_exception.mshrecord.symbolicated",
    "metadata.mshrecord",
    "sdk.log",
    "signal.mshrecord",
    "signal.mshrecord.symbolicated",
    "user_compacted_kv.mshrecord",
    "user_incremental_kv.mshrecord",
};

// gzip never grows n bytes by more than a few bytes per stored block and its header: this is
// well above zlib's worst case.
constexpr qint64 compressedBound(qint64 size)
{
    return size + size / 8 + 1024;
}
// A part's boundary line and headers (field and file names are short), or the form's envelope.
constexpr qint64 partOverhead = 1024;

enum class Entry { Missing, RegularFile, Other };

Entry entryAt(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return Entry::Missing;
    // A file with a second name (a hard link) is another file's, not a record of ours.
    return S_ISREG(status.st_mode) && status.st_nlink == 1 ? Entry::RegularFile : Entry::Other;
}

// The gzip form of the bytes, made in memory.
std::optional<QByteArray> gzipBytes(const QByteArray &data)
{
    z_stream stream{};
    if (::deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, MAX_WBITS + 16, 8,
                       Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    QByteArray compressed(qsizetype(::deflateBound(&stream, uLong(data.size()))),
                          Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(compressed.data());
    stream.avail_out = uInt(compressed.size());
    const int result = ::deflate(&stream, Z_FINISH);
    compressed.truncate(qsizetype(stream.total_out));
    ::deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    return compressed;
}

QString withoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

// Every packed file is a record of at most the read limit (a larger one is left out),
// compressed; the API key and the report identifier come out of the metadata record, which is
// no larger either.
const qint64 MSHPackageReportOperation::maximumPackageSize =
    qint64(std::size(packagedFileNames)) *
        (compressedBound(MSHRecordFileReadLimit) + partOverhead) +
    2 * (MSHRecordFileReadLimit + partOverhead) + partOverhead;

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
    QString directory = destinationDirectory();
    // Hidden until complete: listings skip it, and the next launch removes a leftover.
    const auto hiddenPath = [&boundary](const QString &folder) {
        return folder + QStringLiteral("/.") + boundary + QStringLiteral(".multipartmime");
    };
    const auto openHidden = [&hiddenPath](const QString &folder, mode_t mode) {
        return ::open(QFile::encodeName(hiddenPath(folder)).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    };
    int descriptor = openHidden(directory, 0666);
    int openError = errno;
    // A prepared folder that takes no new file (read-only, another user's, a read-only file
    // system) refuses it at every launch, and the report would never go out: its package is
    // written into a folder of this user's alone instead, and sent from there.
    if (descriptor < 0 && (openError == EACCES || openError == EPERM || openError == EROFS) &&
        m_destination.isEmpty() && m_fileManager->createOutgoingDirectory()) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("%1 takes no package; packaging %2 into %3")
                   .arg(directory, reportPath(), m_fileManager->outgoingPath()));
        directory = m_fileManager->outgoingPath();
        descriptor = openHidden(directory, 0600);
        openError = errno;
    }
    const QString packagePath =
        directory + QLatin1Char('/') + boundary + QStringLiteral(".multipartmime");
    const QString temporaryPath = hiddenPath(directory);
    const QString identifier = m_report->identifier();
    const QString apiKey = m_report->APIKey();

    QFile output;
    // Claimed from its first byte on: no other process removes it as a leftover, nor sends it
    // once it has its name.
    if (descriptor < 0 ||
        !output.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) ||
        !m_fileManager->claimItemAtPath(temporaryPath)) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to create package %1: %2")
                   .arg(temporaryPath, descriptor < 0
                                           ? QString::fromLocal8Bit(std::strerror(openError))
                                           : output.errorString()));
        if (output.isOpen()) {
            output.close();
            QFile::remove(temporaryPath);
        } else if (descriptor >= 0) {
            ::close(descriptor);
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
        for (const char *fileName : packagedFileNames) {
            if (!filesComplete || isCancelled())
                break;
            const QString path = reportPath() + QLatin1Char('/') + QLatin1String(fileName);
            const Entry entry = entryAt(path);
            if (entry == Entry::Missing)
                continue;
            if (m_leavesOutSymbolicated && path.endsWith(QLatin1String(".symbolicated")))
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
                QByteArray bytes;
                if (compressed && file.open(QIODevice::ReadOnly)) {
                    bytes = file.readAll();
                } else {
                    // A folder that takes no new file (read-only, another user's, the name
                    // taken) still goes out whole: the compressed copy is made in memory.
                    const std::optional<QByteArray> read =
                        MSHFileReadRegular(path, MSHRecordFileReadLimit);
                    const std::optional<QByteArray> zipped = read ? gzipBytes(*read) : std::nullopt;
                    if (!zipped) {
                        filesComplete = false;
                        return;
                    }
                    MSHLog("[Mishap:Crash:Reports]",
                           QStringLiteral("Compressed %1 in memory: no copy can be written beside "
                                          "it")
                               .arg(path));
                    bytes = *zipped;
                }
                const QString name = QFileInfo(path).fileName() + QStringLiteral(".gz");
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
    MSHReachedStep("package-written");
    // The folder is taken for this package before the package takes its name: a launch cut off
    // in between leaves either a folder to package or a package (whose claimed folder the next
    // start completes and removes), never both.
    const QString folderPath = QDir::cleanPath(reportPath());
    const QString claimedPath = QFileInfo(folderPath).path() + QLatin1Char('/') +
                                MSHFileManager::packagedFolderName(boundary);
    bool settled = false;
    if (std::rename(QFile::encodeName(folderPath).constData(),
                    QFile::encodeName(claimedPath).constData()) == 0) {
        m_fileManager->claimedItemMoved(folderPath, claimedPath);
        m_report->setPath(claimedPath);
    } else {
        // A stage folder that takes no rename (read-only, another user's, a read-only file
        // system) would refuse it at every launch: the claim is recorded instead, so that the
        // report goes out once and is not packaged again.
        const int error = errno;
        const bool refused = error == EACCES || error == EPERM || error == EROFS;
        settled = refused && m_fileManager->settleFolder(folderPath, boundary);
        if (!refused) {
            MSHLog("[Mishap:Crash:Reports]",
                   QStringLiteral("Unable to claim %1 for its package").arg(folderPath));
            discard();
            return;
        }
        // Nor does the tree take the record: the report goes out now rather than never.
        if (!settled)
            MSHLog("[Mishap:Crash:Reports]",
                   QStringLiteral("Unable to record that %1 is packaged; it is sent now and may be "
                                  "sent again at a later start")
                       .arg(folderPath));
    }
    MSHReachedStep("folder-claimed");
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(packagePath).constData()) != 0) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to complete package %1").arg(packagePath));
        // Given back: the folder is one to package again.
        if (settled) {
            m_fileManager->unsettleFolder(folderPath, boundary);
        } else if (std::rename(QFile::encodeName(claimedPath).constData(),
                               QFile::encodeName(folderPath).constData()) == 0) {
            m_fileManager->claimedItemMoved(claimedPath, folderPath);
            m_report->setPath(folderPath);
        }
        discard();
        return;
    }
    m_fileManager->claimedItemMoved(temporaryPath, packagePath);
    m_finalPath = packagePath;
}

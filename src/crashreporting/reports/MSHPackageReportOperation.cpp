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

namespace
{

// The gzip form of the record beside it, as a file of its own name + ".gz" made in the open
// report folder (a leftover, or anything planted there, is removed, never written through), and
// the bytes that go into the package. When no copy can be written beside it, the bytes alone.
std::optional<QByteArray> compressRecordAt(int folder, const QString &path)
{
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const std::optional<QByteArray> read =
        MSHFileReadRegularAt(folder, name.constData(), MSHRecordFileReadLimit);
    const std::optional<QByteArray> zipped = read ? gzipBytes(*read) : std::nullopt;
    if (!zipped) {
        MSHSafeLog("Error: Unable to read %s\n", name.constData());
        return std::nullopt;
    }
    const QByteArray compressed = name + QByteArrayLiteral(".gz");
    struct stat status {
    };
    if (::fstatat(folder, compressed.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        ::unlinkat(folder, compressed.constData(), S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0);
    const int fd = ::openat(folder, compressed.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool written = fd >= 0;
    for (qsizetype at = 0; written && at < zipped->size();) {
        const ssize_t wrote = ::write(fd, zipped->constData() + at, size_t(zipped->size() - at));
        if (wrote < 0 && errno == EINTR)
            continue;
        written = wrote > 0;
        at += wrote > 0 ? wrote : 0;
    }
    if (fd >= 0)
        written = ::close(fd) == 0 && written;
    if (!written) {
        if (fd >= 0)
            ::unlinkat(folder, compressed.constData(), 0);
        MSHLog(
            "[Mishap:Crash:Reports]",
            QStringLiteral("Compressed %1 in memory: no copy can be written beside it").arg(path));
    }
    return zipped;
}

} // namespace

void MSHPackageReportOperation::main()
{
    m_finalPath.clear();
    if (!m_report || !m_fileManager)
        return;
    // The report's stage folder and the report folder itself, each opened once, never through a
    // link: every file of the package is read, and every name given, from these descriptors.
    const QString folderPath = QDir::cleanPath(reportPath());
    const QByteArray folderName = QFile::encodeName(QFileInfo(folderPath).fileName());
    const int stage = m_fileManager->openFolder(QFileInfo(folderPath).path());
    const int folder = stage >= 0 ? ::openat(stage, folderName.constData(),
                                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                  : -1;
    if (folder < 0) {
        MSHLog(
            "[Mishap:Crash:Reports]",
            QStringLiteral("Refusing report folder %1: not a readable folder").arg(reportPath()));
        if (stage >= 0)
            ::close(stage);
        return;
    }
    const QString boundary = KTBMultipartMimeStreamEncoder::generateBoundary();
    const QByteArray packageName = QFile::encodeName(boundary + QStringLiteral(".multipartmime"));
    // Hidden until complete: listings skip it, and the next launch removes a leftover.
    const QByteArray hiddenName = '.' + packageName;
    MSHReachedStep("package-to-write");
    QString directory = destinationDirectory();
    int destination = m_fileManager->openStage(directory);
    const auto openHidden = [&](mode_t mode) {
        return destination < 0
                   ? -1
                   : ::openat(destination, hiddenName.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    };
    int descriptor = openHidden(0666);
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
        if (destination >= 0)
            ::close(destination);
        destination = m_fileManager->openStage(directory);
        descriptor = openHidden(0600);
        openError = errno;
    }
    const QString packagePath = directory + QLatin1Char('/') + QFile::decodeName(packageName);
    const QString temporaryPath = directory + QLatin1Char('/') + QFile::decodeName(hiddenName);
    const QString identifier = m_report->identifier();
    const QString apiKey = m_report->APIKey();
    const auto closeFolders = [&] {
        ::close(folder);
        ::close(stage);
        if (destination >= 0)
            ::close(destination);
    };

    QFile output;
    // Claimed from its first byte on: no other process removes it as a leftover, nor sends it
    // once it has its name.
    if (descriptor < 0 ||
        !output.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) ||
        !m_fileManager->claimItemAt(destination, temporaryPath)) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to create package %1: %2")
                   .arg(temporaryPath, descriptor < 0
                                           ? QString::fromLocal8Bit(std::strerror(openError))
                                           : output.errorString()));
        if (output.isOpen())
            output.close();
        else if (descriptor >= 0)
            ::close(descriptor);
        if (descriptor >= 0)
            ::unlinkat(destination, hiddenName.constData(), 0);
        closeFolders();
        return;
    }
    const auto discard = [&] {
        if (output.isOpen())
            output.close();
        ::unlinkat(destination, hiddenName.constData(), 0);
        m_fileManager->releaseClaimAtPath(temporaryPath);
        closeFolders();
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
            struct stat status {
            };
            if (::fstatat(folder, fileName, &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (m_leavesOutSymbolicated && path.endsWith(QLatin1String(".symbolicated")))
                continue;
            // A file with a second name (a hard link) is another file's, not a record of ours.
            if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
                MSHLog("[Mishap:Crash:Reports]",
                       QStringLiteral("Leaving out %1: not a regular file").arg(path));
                continue;
            }
            if (status.st_size > MSHRecordFileReadLimit) {
                MSHLog("[Mishap:Crash:Reports]",
                       QStringLiteral("Leaving out %1: larger than any record").arg(path));
                continue;
            }
            std::optional<QByteArray> bytes = compressRecordAt(folder, path);
            if (!bytes) {
                filesComplete = false;
                break;
            }
            const QString name = QFileInfo(path).fileName() + QStringLiteral(".gz");
            if (bytes->isNull())
                bytes = QByteArray("");
            parts.addFileData(*bytes, name, QStringLiteral("application/x-gzip"),
                              fieldNameForCompressedFile(name));
            if (parts.failed())
                filesComplete = false;
            ++filesPacked;
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
    // The folder is given up only for a package that is whole in the tree: one written into a
    // folder moved away meanwhile would never be sent.
    if (!m_fileManager->isFolderAtPath(destination, directory)) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("%1 was moved while %2 was packaged; it is packaged again later")
                   .arg(directory, reportPath()));
        discard();
        return;
    }
    // The folder is taken for this package before the package takes its name: a launch cut off
    // in between leaves either a folder to package or a package (whose claimed folder the next
    // start completes and removes), never both.
    const QString claimedPath = QFileInfo(folderPath).path() + QLatin1Char('/') +
                                MSHFileManager::packagedFolderName(boundary);
    const QByteArray claimedName = QFile::encodeName(MSHFileManager::packagedFolderName(boundary));
    bool settled = false;
    if (::renameat(stage, folderName.constData(), stage, claimedName.constData()) == 0) {
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
    const bool named =
        ::renameat(destination, hiddenName.constData(), destination, packageName.constData()) == 0;
    // Named in the folder opened for it, which must still be the tree's: otherwise the folder is
    // given back and packaged again.
    const bool inTree = named && m_fileManager->isFolderAtPath(destination, directory);
    if (!inTree) {
        MSHLog("[Mishap:Crash:Reports]",
               QStringLiteral("Unable to complete package %1").arg(packagePath));
        if (named)
            ::unlinkat(destination, packageName.constData(), 0);
        // Given back: the folder is one to package again.
        if (settled) {
            m_fileManager->unsettleFolder(folderPath, boundary);
        } else if (::renameat(stage, claimedName.constData(), stage, folderName.constData()) == 0) {
            m_fileManager->claimedItemMoved(claimedPath, folderPath);
            m_report->setPath(folderPath);
        }
        discard();
        return;
    }
    m_fileManager->claimedItemMoved(temporaryPath, packagePath);
    m_finalPath = packagePath;
    closeFolders();
}

#include "export/core/TWExportFiles.h"

#include "foundation/TWLocalized.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QString kDomain = QStringLiteral("Tallyworth Export Error");
const QString kAttachments = QStringLiteral("Attachments");

TWError failure(const QString &path, const QString &reason)
{
    return TWError(kDomain, -1,
                   TWLocalized("exportWriteDescription").arg(QFileInfo(path).fileName(), reason));
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

enum class Existing { None, FileOrLink, EarlierExport, Other };

Existing existingAt(const QString &path, const QString &baseName)
{
    struct stat info {
    };
    if (::lstat(native(path).constData(), &info) != 0)
        return Existing::None;
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
        return Existing::FileOrLink;
    if (S_ISDIR(info.st_mode) && TWExportFiles::isEarlierExport(path, baseName))
        return Existing::EarlierExport;
    return Existing::Other;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Removes an earlier export folder: its export file, the files of its
// "Attachments" and the two folders. Only what such a folder may hold is
// touched; anything else makes a folder's removal fail and stay.
void removeEarlierExport(const QString &path)
{
    const QDir folder(path);
    const QDir attachments(folder.filePath(kAttachments));
    for (const QFileInfo &entry : attachments.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                            QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isFile() && !entry.isSymLink())
            ::unlink(native(entry.absoluteFilePath()).constData());
    }
    ::rmdir(native(attachments.path()).constData());
    for (const QFileInfo &entry : folder.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isFile() && !entry.isSymLink())
            ::unlink(native(entry.absoluteFilePath()).constData());
    }
    ::rmdir(native(path).constData());
}

void removeOld(const QString &path, Existing what)
{
    if (what == Existing::FileOrLink)
        ::unlink(native(path).constData());
    else if (what == Existing::EarlierExport)
        removeEarlierExport(path);
}

// Moves the finished `fresh` to `path`, replacing what stood there (checked
// by the caller). The old one is removed only once the new one is in place.
TWErrorResult putInPlace(const QString &fresh, const QString &path, Existing existing, bool *moved)
{
    *moved = false;
    if (existing == Existing::None ||
        (existing == Existing::FileOrLink && !QFileInfo(fresh).isDir())) {
        // rename() replaces a file or a link itself, never a link's target.
        if (::rename(native(fresh).constData(), native(path).constData()) != 0)
            return failure(path, errnoText(errno));
        *moved = true;
        return std::nullopt;
    }
    // A folder over a file, or anything over an earlier export: swap the two,
    // so that the path is never empty, then remove the old one.
    if (::renameat2(AT_FDCWD, native(fresh).constData(), AT_FDCWD, native(path).constData(),
                    RENAME_EXCHANGE) == 0) {
        *moved = true;
        removeOld(fresh, existing);
        return std::nullopt;
    }
    // A file system without the exchange: move the old one aside first, and
    // back if the new one cannot follow.
    QString aside;
    {
        QTemporaryFile reserve(QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                               QFileInfo(path).fileName() + QStringLiteral(".old.XXXXXX"));
        if (!reserve.open())
            return failure(path, reserve.errorString());
        aside = reserve.fileName();
    }
    ::unlink(native(aside).constData());
    if (::rename(native(path).constData(), native(aside).constData()) != 0)
        return failure(path, errnoText(errno));
    if (::rename(native(fresh).constData(), native(path).constData()) != 0) {
        const int error = errno;
        ::rename(native(aside).constData(), native(path).constData());
        return failure(path, errnoText(error));
    }
    *moved = true;
    removeOld(aside, existing);
    return std::nullopt;
}

TWErrorResult checkTarget(const QString &path, Existing existing)
{
    if (existing == Existing::Other)
        return failure(path, TWLocalized("exportFolderReason"));
    return std::nullopt;
}

TWErrorResult produceInto(QFile &file, const QString &path, const TWExportFiles::Producer &produce)
{
    if (TWErrorResult error = produce(file))
        return error;
    if (!file.flush())
        return failure(path, file.errorString());
    if (::fsync(file.handle()) != 0)
        return failure(path, errnoText(errno));
    return std::nullopt;
}

// Copies one attachment file, refusing anything but a regular file and never
// writing over a name already there.
TWErrorResult copyAttachment(const TWExportAttachmentCopy &copy, const QString &folder,
                             const QString &exportPath)
{
    const auto copyFailure = [&](const QString &reason) {
        return failure(exportPath,
                       TWLocalized("exportAttachmentReason").arg(copy.fileName, reason));
    };
    const int source =
        ::open(native(copy.sourcePath).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (source < 0)
        return copyFailure(errnoText(errno));
    struct stat info {
    };
    if (::fstat(source, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(source);
        return copyFailure(TWLocalized("exportNotRegularReason"));
    }
    const QString targetPath = folder + QLatin1Char('/') + copy.fileName;
    const int target =
        ::open(native(targetPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               0666 & ~currentUmask());
    if (target < 0) {
        const int error = errno;
        ::close(source);
        return copyFailure(errnoText(error));
    }
    char buffer[1 << 16];
    TWErrorResult result;
    for (;;) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result = copyFailure(errnoText(errno));
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(target, buffer + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                result = copyFailure(errnoText(errno));
                break;
            }
            done += put;
        }
        if (result)
            break;
    }
    if (!result && ::fsync(target) != 0)
        result = copyFailure(errnoText(errno));
    ::close(source);
    ::close(target);
    return result;
}

} // namespace

const QStringList &TWExportFiles::exportExtensions()
{
    static const QStringList extensions = {QStringLiteral("csv"), QStringLiteral("html"),
                                           QStringLiteral("pdf"), QStringLiteral("qif"),
                                           QStringLiteral("ofx")};
    return extensions;
}

bool TWExportFiles::isEarlierExport(const QString &path, const QString &baseName)
{
    const QFileInfo self(path);
    if (self.isSymLink() || !self.isDir())
        return false;
    const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    int exportFiles = 0;
    for (const QFileInfo &entry : QDir(path).entryInfoList(filters)) {
        if (entry.isSymLink())
            return false;
        if (entry.fileName() == kAttachments && entry.isDir()) {
            for (const QFileInfo &attachment :
                 QDir(entry.absoluteFilePath()).entryInfoList(filters)) {
                if (attachment.isSymLink() || !attachment.isFile())
                    return false;
            }
            continue;
        }
        if (entry.isFile() && entry.completeBaseName() == baseName &&
            exportExtensions().contains(entry.suffix()) && ++exportFiles == 1)
            continue;
        return false;
    }
    return true;
}

TWErrorResult TWExportFiles::writeFile(const QString &path, const QString &earlierBaseName,
                                       const Producer &produce)
{
    const Existing existing = existingAt(path, earlierBaseName);
    if (TWErrorResult error = checkTarget(path, existing))
        return error;
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!file.open())
        return failure(path, file.errorString());
    if (TWErrorResult error = produceInto(file, path, produce))
        return error;
    ::fchmod(file.handle(), 0666 & ~currentUmask());
    file.close();
    bool moved = false;
    TWErrorResult error = putInPlace(file.fileName(), path, existing, &moved);
    if (moved)
        file.setAutoRemove(false);
    return error;
}

TWErrorResult TWExportFiles::writeFile(const QString &path, const QString &earlierBaseName,
                                       const QByteArray &data)
{
    // No document (a PDF of no cells) is no file.
    if (data.isNull())
        return failure(path, TWLocalized("exportNothingReason"));
    return writeFile(path, earlierBaseName, [&data, &path](QIODevice &file) -> TWErrorResult {
        if (file.write(data) != data.size())
            return failure(path, file.errorString());
        return std::nullopt;
    });
}

TWErrorResult TWExportFiles::writeFolder(const QString &path, const QString &exportFileName,
                                         const Producer &produce,
                                         const QList<TWExportAttachmentCopy> &attachments)
{
    const Existing existing = existingAt(path, QFileInfo(exportFileName).completeBaseName());
    if (TWErrorResult error = checkTarget(path, existing))
        return error;
    const QFileInfo target(path);
    QTemporaryDir folder(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                         QStringLiteral(".XXXXXX"));
    if (!folder.isValid())
        return failure(path, folder.errorString());

    QFile file(folder.filePath(exportFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return failure(path, file.errorString());
    if (TWErrorResult error = produceInto(file, path, produce))
        return error;
    file.close();

    const QString attachmentsPath = folder.filePath(kAttachments);
    if (!QDir().mkdir(attachmentsPath))
        return failure(path, errnoText(errno));
    for (const TWExportAttachmentCopy &copy : attachments) {
        if (TWErrorResult error = copyAttachment(copy, attachmentsPath, path))
            return error;
    }
    const mode_t mode = 0777 & ~currentUmask();
    ::chmod(native(attachmentsPath).constData(), mode);
    ::chmod(native(folder.path()).constData(), mode);

    bool moved = false;
    TWErrorResult error = putInPlace(folder.path(), path, existing, &moved);
    if (moved)
        folder.setAutoRemove(false);
    return error;
}

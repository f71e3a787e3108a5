#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace
{

QString errorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString join(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

} // namespace

MSHFileManager::MSHFileManager() : m_rootPath(defaultRootPath())
{
}

MSHFileManager::MSHFileManager(const QString &rootPath) : m_rootPath(rootPath)
{
}

MSHFileManager::~MSHFileManager()
{
    for (const int descriptor : m_folderLocks)
        ::close(descriptor);
    for (const int descriptor : std::as_const(m_claims))
        ::close(descriptor);
}

QString MSHFileManager::pathNamespace()
{
    QString identifier = MSHApplicationInfo::bundleIdentifier();
    return identifier.replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString MSHFileManager::defaultRootPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/com.mishap.data/") + pathNamespace();
}

QString MSHFileManager::structurePath() const
{
    return join(m_rootPath, QStringLiteral("v3"));
}

QString MSHFileManager::activePath() const
{
    return join(structurePath(), QStringLiteral("active"));
}

QString MSHFileManager::pendingPath() const
{
    return join(structurePath(), QStringLiteral("pending"));
}

QString MSHFileManager::processingPath() const
{
    return join(structurePath(), QStringLiteral("processing"));
}

QString MSHFileManager::preparedPath() const
{
    return join(structurePath(), QStringLiteral("prepared"));
}

bool MSHFileManager::createDirectoryAtPath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // Every missing level is made with 0755, whatever the process's file-creation mask.
    QStringList missing;
    QString level = absolute;
    while (!level.isEmpty() && !QFileInfo(level).exists()) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).path();
        if (parent == level)
            break;
        level = parent;
    }
    for (const QString &folder : missing) {
        const QByteArray native = QFile::encodeName(folder);
        if (::mkdir(native.constData(), 0755) != 0 && errno != EEXIST) {
            MSHLog("[FileManager]",
                   QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
            return false;
        }
        ::chmod(native.constData(), 0755);
    }
    if (!QFileInfo(absolute).isDir()) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to create directory %1 (not a directory)").arg(path));
        return false;
    }
    return true;
}

QStringList MSHFileManager::entriesBeyondBounds(const QString &directory, int keep,
                                                qint64 maximumAgeSeconds) const
{
    struct Entry {
        QString path;
        qint64 modified;
    };
    std::vector<Entry> entries;
    for (const QString &path : contentsOfDirectory(directory)) {
        struct stat status {
        };
        // The entry itself (a link is dated by the link): anything unreadable counts as oldest.
        const qint64 modified = ::lstat(QFile::encodeName(path).constData(), &status) == 0
                                    ? qint64(status.st_mtime)
                                    : 0;
        entries.push_back({path, modified});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.modified > b.modified; });
    const qint64 oldest = QDateTime::currentSecsSinceEpoch() - maximumAgeSeconds;
    QStringList beyond;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (int(i) >= keep || entries[i].modified < oldest)
            beyond.append(entries[i].path);
    }
    return beyond;
}

int MSHFileManager::pruneDirectory(const QString &directory, int keep, qint64 maximumAgeSeconds)
{
    int removed = 0;
    for (const QString &path : entriesBeyondBounds(directory, keep, maximumAgeSeconds)) {
        if (removeItemAtPath(path))
            ++removed;
    }
    return removed;
}

QStringList MSHFileManager::reportsBeyondBounds() const
{
    QStringList beyond;
    for (const QString &folder : {activePath(), processingPath(), preparedPath()})
        beyond += entriesBeyondBounds(folder, reportsKept, reportsMaximumAgeSeconds);
    return beyond;
}

bool MSHFileManager::isRealDirectory(const QString &path)
{
    struct stat status {
    };
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0 &&
           S_ISDIR(status.st_mode);
}

bool MSHFileManager::removeItemAtPath(const QString &path)
{
    const QFileInfo info(path);
    bool removed = false;
    if (path.isEmpty() || (!info.exists() && !info.isSymLink())) {
        errno = ENOENT;
    } else if (info.isDir() && !info.isSymLink()) {
        removed = QDir(path).removeRecursively();
    } else {
        removed = ::unlink(QFile::encodeName(path).constData()) == 0;
    }
    if (!removed)
        MSHLog("[FileManager]",
               QStringLiteral("Failed to remove file '%1' : %2").arg(path, errorText()));
    else
        // Only once it is gone: no other process can take it in between.
        releaseClaimAtPath(path);
    return removed;
}

bool MSHFileManager::removeContentsOfDirectoryAtPath(const QString &path)
{
    bool all = true;
    for (const QString &entry : contentsOfDirectory(path)) {
        if (!removeItemAtPath(entry))
            all = false;
    }
    return all;
}

bool MSHFileManager::moveItemAtPath(const QString &path, const QString &directory)
{
    if (path.isEmpty() || directory.isEmpty()) {
        MSHLog("[FileManager]", QStringLiteral("Failed to move file, inputs invalid"));
        return false;
    }
    const QString target = join(directory, QFileInfo(path).fileName());
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        MSHLog("[FileManager]",
               QStringLiteral("Failed to move file: %1 already exists").arg(target));
        return false;
    }
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0) {
        MSHLog("[FileManager]", QStringLiteral("Failed to move file: %1").arg(errorText()));
        return false;
    }
    claimedItemMoved(path, target);
    return true;
}

bool MSHFileManager::moveItemsFromDirectory(const QString &source, const QString &destination)
{
    for (const QString &entry : contentsOfDirectory(source)) {
        if (!moveItemAtPath(entry, destination))
            return false;
    }
    return true;
}

void MSHFileManager::enumerateFilesInDirectory(
    const QString &directory,
    const std::function<void(const QString &, const QString &)> &block) const
{
    const QDir folder(directory);
    if (directory.isEmpty() || !folder.exists())
        return;
    const QStringList names = folder.entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        block(join(directory, name), QFileInfo(name).suffix());
    }
}

QStringList MSHFileManager::contentsOfDirectory(const QString &directory) const
{
    QStringList paths;
    enumerateFilesInDirectory(directory,
                              [&](const QString &path, const QString &) { paths.append(path); });
    return paths;
}

std::optional<qint64> MSHFileManager::fileSizeAtPath(const QString &path) const
{
    struct stat status {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        MSHLog("[Client]", QStringLiteral("Unable to read file size: %1").arg(errorText()));
        return std::nullopt;
    }
    return qint64(status.st_size);
}

bool MSHFileManager::prepareForNewLaunch()
{
    if (!createDirectoryAtPath(activePath()) || !createDirectoryAtPath(processingPath()) ||
        !createDirectoryAtPath(preparedPath()))
        return false;
    completeInterruptedPackaging();
    // A package is written under a hidden name and renamed when whole: a hidden one is what a
    // process that ended mid-write left behind, unless another process is writing it now.
    const QDir prepared(preparedPath());
    for (const QString &name :
         prepared.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name.startsWith(QLatin1Char('.')) && !isReportFolderInUse(join(preparedPath(), name)))
            removeItemAtPath(join(preparedPath(), name));
    }
    return true;
}

QString MSHFileManager::setupNewPathForExecutionIdentifier(const QString &identifier)
{
    const QString path = join(activePath(), identifier);
    // Made under a hidden name (which no listing shows), locked, and only then given its name: no
    // other process ever sees it without its lock.
    const QString hidden = join(activePath(), QLatin1Char('.') + identifier);
    if (!createDirectoryAtPath(hidden))
        return QString();
    const int descriptor = ::open(QFile::encodeName(hidden).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0 || ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        // Without the lock another process would take the folder for an earlier run's.
        MSHLog("[FileManager]",
               QStringLiteral("Unable to lock report folder %1 (%2)").arg(hidden, errorText()));
        if (descriptor >= 0)
            ::close(descriptor);
        removeItemAtPath(hidden);
        return QString();
    }
    if (::rename(QFile::encodeName(hidden).constData(), QFile::encodeName(path).constData()) != 0) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
        ::close(descriptor);
        removeItemAtPath(hidden);
        return QString();
    }
    m_folderLocks.push_back(descriptor);
    return path;
}

bool MSHFileManager::isReportFolderInUse(const QString &path)
{
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    // A shared probe: two processes starting at once never take each other for the owner.
    const bool held = ::flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor);
    return held;
}

bool MSHFileManager::claimItemAtPath(const QString &path)
{
    QMutexLocker lock(&m_claimsMutex);
    if (m_claims.contains(path))
        return true;
    const QByteArray native = QFile::encodeName(path);
    const int descriptor =
        ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat opened {
    };
    struct stat named {
    };
    // Locked, and only then checked to be still the item at that name: its claimant may have
    // removed it (and let go) while this descriptor was being opened.
    // A regular file with a second name is another file's, never a report of ours.
    const bool claimed =
        ::fstat(descriptor, &opened) == 0 &&
        (S_ISDIR(opened.st_mode) || (S_ISREG(opened.st_mode) && opened.st_nlink == 1)) &&
        ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::lstat(native.constData(), &named) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
    if (!claimed) {
        ::close(descriptor);
        return false;
    }
    m_claims.insert(path, descriptor);
    return true;
}

void MSHFileManager::releaseClaimAtPath(const QString &path)
{
    QMutexLocker lock(&m_claimsMutex);
    const auto found = m_claims.constFind(path);
    if (found == m_claims.cend())
        return;
    ::close(*found);
    m_claims.erase(found);
}

void MSHFileManager::claimedItemMoved(const QString &from, const QString &to)
{
    QMutexLocker lock(&m_claimsMutex);
    const auto found = m_claims.constFind(from);
    if (found == m_claims.cend())
        return;
    const int descriptor = *found;
    m_claims.erase(found);
    m_claims.insert(to, descriptor);
}

bool MSHFileManager::isPackageName(const QString &fileName)
{
    const QString extension = QStringLiteral(".multipartmime");
    if (!fileName.endsWith(extension))
        return false;
    const QString boundary = fileName.chopped(extension.size());
    const QUuid uuid = QUuid::fromString(boundary);
    return !uuid.isNull() && uuid.toString(QUuid::WithoutBraces).toUpper() == boundary;
}

QString MSHFileManager::packagedFolderName(const QString &boundary)
{
    return QLatin1Char('.') + boundary + QStringLiteral(".packaged");
}

bool MSHFileManager::removePackagedFolder(const QString &path)
{
    // Nothing of it is read again: a folder made read-only is opened up only to be removed.
    ::chmod(QFile::encodeName(path).constData(), 0700);
    return removeItemAtPath(path);
}

void MSHFileManager::completeInterruptedPackaging()
{
    const QString suffix = QStringLiteral(".packaged");
    for (const QString &folder : {processingPath(), activePath()}) {
        for (const QString &name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot)) {
            if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(suffix))
                continue;
            const QString boundary = name.mid(1, name.size() - 1 - suffix.size());
            const QString path = join(folder, name);
            // Still at work in the process that claimed it.
            if (!isPackageName(boundary + QStringLiteral(".multipartmime")) ||
                isReportFolderInUse(path))
                continue;
            const QByteArray hidden = QFile::encodeName(join(
                preparedPath(), QLatin1Char('.') + boundary + QStringLiteral(".multipartmime")));
            const QByteArray named = QFile::encodeName(
                join(preparedPath(), boundary + QStringLiteral(".multipartmime")));
            struct stat status {
            };
            // Cut off after the folder was claimed: its package is whole and takes its name now.
            // Without one (already named, and maybe sent) there is nothing left to do.
            if (::lstat(hidden.constData(), &status) == 0 &&
                (::lstat(named.constData(), &status) == 0 ||
                 ::rename(hidden.constData(), named.constData()) != 0)) {
                MSHLog("[FileManager]", QStringLiteral("Unable to complete the package of %1 (%2)")
                                            .arg(path, errorText()));
                continue;
            }
            removePackagedFolder(path);
        }
    }
}

bool MSHFileManager::createMarkerFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status {
    };
    if (::lstat(native.constData(), &status) == 0) {
        if (S_ISREG(status.st_mode) && status.st_nlink == 1)
            return true;
        if (!S_ISDIR(status.st_mode))
            ::unlink(native.constData());
    }
    const int descriptor =
        ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return false;
    const bool own =
        ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1;
    return ::close(descriptor) == 0 && own;
}

void MSHFileManager::removeLegacyDirectories()
{
    if (!QFileInfo::exists(join(m_rootPath, QStringLiteral("sendable"))))
        return;
    if (!QDir(m_rootPath).removeRecursively())
        MSHLog("[Mishap:FileManager]",
               QStringLiteral("Unable to remove legacy directory structure %1").arg(m_rootPath));
    MSHLog("[Mishap:FileManager]",
           QStringLiteral("Removed legacy structure at %1").arg(m_rootPath));
}

void MSHFileManager::enumerateFilesInActiveDirectoryUsingBlock(
    const std::function<void(const QString &, const QString &)> &block) const
{
    enumerateFilesInDirectory(activePath(), block);
}

void MSHFileManager::enumerateFilesInPreparedDirectoryUsingBlock(
    const std::function<void(const QString &, const QString &)> &block) const
{
    enumerateFilesInDirectory(preparedPath(), block);
}

bool MSHFileManager::movePendingToProcessing()
{
    return moveItemsFromDirectory(pendingPath(), processingPath());
}

bool MSHFileManager::moveProcessingContentsToPrepared()
{
    return moveItemsFromDirectory(processingPath(), preparedPath());
}

bool MSHFileManager::removeContentsOfProcessingPath()
{
    return removeContentsOfDirectoryAtPath(processingPath());
}

bool MSHFileManager::removeContentsOfPendingPath()
{
    return removeContentsOfDirectoryAtPath(pendingPath());
}

bool MSHFileManager::removeContentsOfAllPaths()
{
    const bool processing = removeContentsOfProcessingPath();
    const bool pending = removeContentsOfPendingPath();
    const bool prepared = removeContentsOfDirectoryAtPath(preparedPath());
    bool active = true;
    for (const QString &entry : activePathContents()) {
        if (!isReportFolderInUse(entry) && !removeItemAtPath(entry))
            active = false;
    }
    return processing && pending && prepared && active;
}

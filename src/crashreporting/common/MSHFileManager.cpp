#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHFolderSteps.h"
#include "crashreporting/common/MSHLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <utility>
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

// Makes every missing folder of the path (the cache folder, above the tree: the user's own).
void makeFoldersAt(const QByteArray &path)
{
    for (qsizetype at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path.at(at) == '/')
            ::mkdir(path.left(at).constData(), 0755);
    }
}

// The path in one form: no empty or "." component, ".." taken back a level, no trailing "/".
QByteArray cleanNativePath(const QByteArray &path)
{
    QList<QByteArray> kept;
    for (const QByteArray &component : path.split('/')) {
        if (component.isEmpty() || component == ".")
            continue;
        if (component == ".." && !kept.isEmpty() && kept.last() != "..")
            kept.removeLast();
        else if (component != ".." || !path.startsWith('/'))
            kept.append(component);
    }
    const QByteArray joined = kept.join('/');
    if (path.startsWith('/'))
        return '/' + joined;
    return joined.isEmpty() ? QByteArrayLiteral(".") : joined;
}

// The path made absolute (from the working folder) and resolved once: the part of it that exists
// is taken to its real path, links and all, and the rest is appended in clean form. Every later
// use names the same folders, whatever the working folder or a link above becomes.
QByteArray resolvedFolderPath(const QByteArray &path)
{
    QByteArray absolute = path;
    if (!absolute.startsWith('/')) {
        char *working = ::getcwd(nullptr, 0);
        if (!working)
            return cleanNativePath(path);
        absolute = QByteArray(working) + '/' + absolute;
        std::free(working);
    }
    QByteArray existing = absolute;
    QByteArray rest;
    for (;;) {
        if (char *real = ::realpath(existing.constData(), nullptr)) {
            const QByteArray resolved = QByteArray(real) + rest;
            std::free(real);
            return cleanNativePath(resolved);
        }
        if (errno != ENOENT && errno != ENOTDIR)
            return cleanNativePath(absolute);
        const qsizetype slash = existing.lastIndexOf('/');
        if (slash <= 0)
            return cleanNativePath(absolute);
        rest = existing.mid(slash) + rest;
        existing = existing.left(slash);
    }
}

// Gives the owner read, write and search permission on a folder of ours, through a descriptor
// of the folder itself: a link put in its place is never followed.
void openUpOwnFolder(int parent, const char *name)
{
    const int folder = ::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    struct stat status {
    };
    if (::fstat(folder, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
        (status.st_mode & 0700) != 0700) {
        char self[64];
        std::snprintf(self, sizeof(self), "/proc/self/fd/%d", folder);
        ::chmod(self, (status.st_mode & 07777) | 0700);
    }
    ::close(folder);
}

// The names in the open folder (its descriptor stays open), "." and ".." left out.
std::vector<QByteArray> namesIn(int folder)
{
    std::vector<QByteArray> names;
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return names;
    DIR *listing = ::fdopendir(listed);
    if (!listing) {
        ::close(listed);
        return names;
    }
    while (const dirent *entry = ::readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    return names;
}

// Whether the entry of the open folder is where a file system is mounted (a bind mount of a
// folder of the same file system too, which keeps its device number).
bool isMountRootAt(int folder, const char *name)
{
    struct statx status {
    };
    return ::statx(folder, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &status) == 0 &&
           (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// Whether the entry of the open folder lies on another file system than the folder: another
// device, a file system mounted there (a bind mount keeps its device), or another mount of the
// same file system (a bind mount over a folder above it), told by the mount identifier where the
// kernel gives one. A link is looked at as itself.
bool isOtherFileSystemAt(int folder, const char *name)
{
    constexpr unsigned int wanted = STATX_BASIC_STATS | STATX_MNT_ID;
    struct statx own {
    };
    struct statx entry {
    };
    if (::statx(folder, "", AT_EMPTY_PATH, wanted, &own) != 0 ||
        ::statx(folder, name, AT_SYMLINK_NOFOLLOW, wanted, &entry) != 0)
        return false;
    if (own.stx_dev_major != entry.stx_dev_major || own.stx_dev_minor != entry.stx_dev_minor)
        return true;
    if ((entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
        (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0)
        return true;
    return (own.stx_mask & STATX_MNT_ID) != 0 && (entry.stx_mask & STATX_MNT_ID) != 0 &&
           own.stx_mnt_id != entry.stx_mnt_id;
}

// Opens the folder entry of the open folder to empty it: never through a link, and only the
// folder that was looked at (one of ours that blocks its own removal is opened up first).
int openFolderEntry(int parent, const char *name, const struct stat &status)
{
    if ((status.st_mode & 0700) != 0700)
        openUpOwnFolder(parent, name);
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {
    };
    if (folder >= 0 && (::fstat(folder, &opened) != 0 || opened.st_dev != status.st_dev ||
                        opened.st_ino != status.st_ino)) {
        ::close(folder);
        errno = EBUSY;
        return -1;
    }
    return folder;
}

// Removes the entry of the open folder as what it is: anything but a folder is unlinked (a link
// as a link, a hard link as one name of its file); a folder is emptied first, however deep, with
// one level open at a time: each way back up is checked to lead to the folder it came from.
// Nothing on another device than the folder it lies in (a file system mounted there) is touched.
bool removeEntryAt(int parent, const char *name)
{
    struct stat status {
    };
    struct stat folder {
    };
    if (::fstat(parent, &folder) != 0 || ::fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (status.st_dev != folder.st_dev || isMountRootAt(parent, name)) {
        errno = EXDEV;
        return false;
    }
    if (!S_ISDIR(status.st_mode))
        return ::unlinkat(parent, name, 0) == 0;
    struct Level {
        QByteArray name;
        dev_t device;
        ino_t inode;
        std::vector<QByteArray> entries;
        size_t next = 0;
        bool whole = true;
    };
    int current = openFolderEntry(parent, name, status);
    if (current < 0)
        return false;
    std::vector<Level> levels;
    levels.push_back({name, status.st_dev, status.st_ino, namesIn(current)});
    for (;;) {
        Level &level = levels.back();
        if (level.next < level.entries.size()) {
            const QByteArray entry = level.entries[level.next++];
            struct stat child {
            };
            if (::fstatat(current, entry.constData(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                level.whole = level.whole && errno == ENOENT;
                continue;
            }
            if (child.st_dev != level.device || isMountRootAt(current, entry.constData())) {
                level.whole = false;
                continue;
            }
            if (!S_ISDIR(child.st_mode)) {
                if (::unlinkat(current, entry.constData(), 0) != 0 && errno != ENOENT)
                    level.whole = false;
                continue;
            }
            const int inner = openFolderEntry(current, entry.constData(), child);
            if (inner < 0) {
                level.whole = false;
                continue;
            }
            ::close(current);
            current = inner;
            levels.push_back({entry, child.st_dev, child.st_ino, namesIn(current)});
            continue;
        }
        const Level done = std::move(levels.back());
        levels.pop_back();
        if (levels.empty()) {
            ::close(current);
            if (!done.whole) {
                errno = ENOTEMPTY;
                return false;
            }
            return ::unlinkat(parent, name, AT_REMOVEDIR) == 0;
        }
        const int up = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(current);
        struct stat upStatus {
        };
        if (up < 0 || ::fstat(up, &upStatus) != 0 || upStatus.st_dev != levels.back().device ||
            upStatus.st_ino != levels.back().inode) {
            // Moved away while being emptied: nothing more is touched.
            if (up >= 0)
                ::close(up);
            errno = EBUSY;
            return false;
        }
        current = up;
        if (!done.whole || ::unlinkat(current, done.name.constData(), AT_REMOVEDIR) != 0)
            levels.back().whole = false;
    }
}

// The stage folders, each the component's own: never a link, never another user's.
const QStringList stageNames = {QStringLiteral("active"), QStringLiteral("pending"),
                                QStringLiteral("processing"), QStringLiteral("prepared"),
                                QStringLiteral("outgoing")};

// Opens the folder entry of the open folder, never through a link, and only when it is a folder
// of the running user's; with `device`, only one on that device.
int openOwnFolderAt(int parent, const char *name, const dev_t *device)
{
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return -1;
    struct stat status {
    };
    if (::fstat(folder, &status) != 0 || status.st_uid != ::geteuid() ||
        (device && (status.st_dev != *device || isMountRootAt(parent, name)))) {
        ::close(folder);
        errno = status.st_uid != ::geteuid() ? EPERM : EXDEV;
        return -1;
    }
    return folder;
}

// Opens the stage folder of the open structure folder: never through a link, only a folder of
// the running user's, and only one on the structure folder's own device.
int openStageAt(int structure, const QString &stage)
{
    struct stat status {
    };
    if (::fstat(structure, &status) != 0)
        return -1;
    return openOwnFolderAt(structure, QFile::encodeName(stage).constData(), &status.st_dev);
}

// Where the link at the name leads, for a log line.
QString linkTarget(int folder, const char *name)
{
    char target[4096];
    const ssize_t length = ::readlinkat(folder, name, target, sizeof(target) - 1);
    return length < 0 ? QStringLiteral("?") : QFile::decodeName(QByteArray(target, length));
}

// Closes the descriptor and leaves errno as it was.
void closeKeepingError(int descriptor)
{
    const int error = errno;
    ::close(descriptor);
    errno = error;
}

const QString packagedSuffix = QStringLiteral(".packaged");
const QString packageExtension = QStringLiteral(".multipartmime");

// The hidden name a launch gives its own folder while making it: "." and its execution
// identifier (32 lower-case hexadecimal digits).
bool isHiddenLaunchFolderName(const QString &name)
{
    if (name.size() != 33 || !name.startsWith(QLatin1Char('.')))
        return false;
    for (qsizetype i = 1; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

// Whether the folder is one this user may make folders in: its own, or a shared one (any user's
// may be made there, and the sticky bit keeps each user's own).
bool isOwnOrSharedFolder(const struct stat &status)
{
    return S_ISDIR(status.st_mode) &&
           (status.st_uid == ::geteuid() ||
            ((status.st_mode & S_ISVTX) != 0 && (status.st_mode & S_IWOTH) != 0));
}

// The name set aside for a folder of another user's (or one no longer used) found at a level's
// or a stage's name: hidden, beside it, told apart by a random part.
QByteArray setAsideName(const QByteArray &name)
{
    return '.' + name + QByteArrayLiteral(".set-aside-") +
           QUuid::createUuid().toString(QUuid::Id128).toLatin1();
}

// Opens the folder at the names below the open base (closed here), one level at a time, never
// through a link. The levels above `ownLevels` are checked to be the running user's and to lie
// on the base's file system (no file system mounted at them); those above `makeLevels` are made
// where missing when `create` is set, and one of another user's there is set aside under a
// hidden name and made anew. `describe` names a level for the log. -1 (errno set) when any
// level fails.
int openLevels(int base, const QList<QByteArray> &names, qsizetype ownLevels, qsizetype makeLevels,
               bool create, const std::function<QString(qsizetype)> &describe)
{
    int folder = base;
    struct stat baseStatus {
    };
    // Nothing is reached in a cache folder of another user's: a run as root with the user's
    // HOME would take the user's reports for its own.
    if (::fstat(folder, &baseStatus) != 0 || !isOwnOrSharedFolder(baseStatus)) {
        closeKeepingError(folder);
        errno = EPERM;
        return -1;
    }
    for (qsizetype level = 0; level < names.size(); ++level) {
        const QByteArray &name = names[level];
        if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
            closeKeepingError(folder);
            errno = EINVAL;
            return -1;
        }
        bool made = false;
        const bool makes = create && level < makeLevels;
        if (makes) {
            made = ::mkdirat(folder, name.constData(), 0755) == 0;
            struct stat status {
            };
            // A link in a level's place is removed as a link and the level made anew; nothing is
            // made through it.
            if (!made && ::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(status.st_mode)) {
                const QString target = linkTarget(folder, name.constData());
                // A link that stays (its folder takes no change) is said once with its cause;
                // looking again would meet it again.
                if (::unlinkat(folder, name.constData(), 0) != 0 && errno != ENOENT) {
                    MSHLog("[FileManager]",
                           QStringLiteral("Unable to remove %1: a link (to %2) in place of a "
                                          "folder of the report tree (%3)")
                               .arg(describe(level), target, errorText()));
                    closeKeepingError(folder);
                    return -1;
                }
                MSHLog("[FileManager]",
                       QStringLiteral("Removing %1: a link (to %2) in place of a folder of the "
                                      "report tree")
                           .arg(describe(level), target));
                made = ::mkdirat(folder, name.constData(), 0755) == 0;
            }
        }
        int next = -1;
        if (level < ownLevels) {
            next = openOwnFolderAt(folder, name.constData(), &baseStatus.st_dev);
            struct stat status {
            };
            // A folder of another user's (a run as root made it) is set aside whole, and the
            // level made anew, so that reporting goes on; one where a file system is mounted
            // cannot be, and is left alone.
            if (next < 0 && errno == EPERM && makes &&
                ::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(status.st_mode) && status.st_dev == baseStatus.st_dev &&
                !isMountRootAt(folder, name.constData())) {
                const QByteArray aside = setAsideName(name);
                if (::renameat(folder, name.constData(), folder, aside.constData()) == 0) {
                    MSHLog("[FileManager]",
                           QStringLiteral("Setting %1 aside as %2: not a folder of this user's; "
                                          "the reports in it this user can read are sent from "
                                          "the folders made in its place")
                               .arg(describe(level), QFile::decodeName(aside)));
                    made = ::mkdirat(folder, name.constData(), 0755) == 0;
                    next =
                        made ? openOwnFolderAt(folder, name.constData(), &baseStatus.st_dev) : -1;
                } else {
                    MSHLog("[FileManager]", QStringLiteral("Unable to set %1 aside (%2)")
                                                .arg(describe(level), errorText()));
                    errno = EPERM;
                }
            } else if (next < 0 && errno == EXDEV && makes) {
                MSHLog("[FileManager]",
                       QStringLiteral("Leaving %1 alone: another file system is mounted there")
                           .arg(describe(level)));
                errno = EXDEV;
            }
        } else {
            next =
                ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        closeKeepingError(folder);
        if (next < 0)
            return -1;
        // The mode asked for, whatever the process's file-creation mask.
        if (made)
            ::fchmod(next, 0755);
        folder = next;
    }
    return folder;
}

// The descriptors held open for cache folders whose names are no UTF-8, by those names.
QMutex cacheDescriptorsMutex;
std::map<QByteArray, int> &cacheDescriptors()
{
    static std::map<QByteArray, int> descriptors;
    return descriptors;
}

} // namespace

std::vector<QByteArray> MSHFolderSteps::namesIn(int folder)
{
    return ::namesIn(folder);
}

bool MSHFolderSteps::removeEntryAt(int parent, const char *name)
{
    return ::removeEntryAt(parent, name);
}

bool MSHFolderSteps::isMountRootAt(int folder, const char *name)
{
    return ::isMountRootAt(folder, name);
}

bool MSHFolderSteps::isOtherFileSystemAt(int folder, const char *name)
{
    return ::isOtherFileSystemAt(folder, name);
}

QString MSHFolderSteps::errorText()
{
    return ::errorText();
}

void MSHFolderSteps::openUpOwnFolder(int parent, const char *name)
{
    ::openUpOwnFolder(parent, name);
}

void MSHFolderSteps::closeKeepingError(int descriptor)
{
    ::closeKeepingError(descriptor);
}

QByteArray MSHFolderSteps::setAsideName(const QByteArray &name)
{
    return ::setAsideName(name);
}

MSHFileManager::MSHFileManager()
    : m_base(cacheFolderPath()), m_chain{QByteArrayLiteral("com.mishap.data"),
                                         QFile::encodeName(pathNamespace())}
{
    QString base = QFile::decodeName(m_base);
    // The tree an earlier build kept for this cache folder, by the name the environment gave
    // then (a relative name as it stood, a name that is no UTF-8 with U+FFFD in it).
    const QByteArray earlier = QFile::encodeName(QDir::cleanPath(QDir::current().absoluteFilePath(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/com.mishap.data/") + pathNamespace())));
    if (earlier != cleanNativePath(m_base + '/' + m_chain.join('/')))
        m_earlierRoot = earlier;
    // A cache folder whose name is no UTF-8 has no QString of its own: the tree's paths go
    // through a descriptor of it held open, so that every path names the folder itself.
    if (QFile::encodeName(base) != m_base) {
        if (mayMakeInCacheFolder(m_base))
            makeFoldersAt(m_base);
        m_baseDescriptor = ::open(m_base.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_baseDescriptor >= 0)
            base = QStringLiteral("/proc/self/fd/%1").arg(m_baseDescriptor);
    }
    m_basePath = QDir::cleanPath(base);
    m_rootPath = QDir::cleanPath(base + QStringLiteral("/com.mishap.data/") + pathNamespace());
}

MSHFileManager::MSHFileManager(const QString &rootPath)
{
    // Cleaned once: every path of the tree is made from it, and compares in that one form. The
    // folder given is the one the tree hangs from, as the cache folder is.
    m_rootPath = QDir::cleanPath(rootPath);
    m_basePath = m_rootPath;
    m_base = cleanNativePath(QFile::encodeName(m_rootPath));
}

MSHFileManager::~MSHFileManager()
{
    if (m_baseDescriptor >= 0)
        ::close(m_baseDescriptor);
    for (const int descriptor : m_folderLocks)
        ::close(descriptor);
    for (const int descriptor : std::as_const(m_heldStandIns))
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
    return QDir::cleanPath(QFile::decodeName(cacheFolderPath()) +
                           QStringLiteral("/com.mishap.data/") + pathNamespace());
}

QByteArray MSHFileManager::cacheFolderPath()
{
    // Read as bytes: a QString would put U+FFFD for a byte that is no UTF-8, and the tree
    // would be made in a folder of that other name.
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        cache = home.startsWith('/') ? home + QByteArrayLiteral("/.cache")
                                     : QFile::encodeName(QStandardPaths::writableLocation(
                                           QStandardPaths::GenericCacheLocation));
    }
    return resolvedFolderPath(cache);
}

QString MSHFileManager::cacheFolderName()
{
    const QByteArray cache = cacheFolderPath();
    const QString name = QFile::decodeName(cache);
    if (QFile::encodeName(name) == cache)
        return name;
    QMutexLocker lock(&cacheDescriptorsMutex);
    int &descriptor = cacheDescriptors().try_emplace(cache, -1).first->second;
    if (descriptor < 0) {
        if (mayMakeInCacheFolder(cache))
            makeFoldersAt(cache);
        descriptor = ::open(cache.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return descriptor < 0 ? name : QStringLiteral("/proc/self/fd/%1").arg(descriptor);
}

bool MSHFileManager::mayMakeInCacheFolder(const QByteArray &cache)
{
    QByteArray level = cleanNativePath(cache);
    for (;;) {
        struct stat status {
        };
        // Followed when a link: the cache folder (or a folder above it) may be one.
        if (::stat(level.constData(), &status) == 0)
            return isOwnOrSharedFolder(status);
        if (errno != ENOENT)
            return false;
        const qsizetype slash = level.lastIndexOf('/');
        if (slash < 0)
            return false;
        level = slash == 0 ? QByteArrayLiteral("/") : level.left(slash);
    }
}

QString MSHFileManager::ownCacheFolder(const QList<QByteArray> &names)
{
    const QByteArray cache = cacheFolderPath();
    if (!mayMakeInCacheFolder(cache)) {
        MSHLog("[FileManager]",
               QStringLiteral("Leaving the cache folder %1 alone: it is not this user's (as in a "
                              "run with sudo keeping HOME); nothing is made there")
                   .arg(QFile::decodeName(cache)));
        return QString();
    }
    makeFoldersAt(cache);
    const QString name = cacheFolderName();
    const auto describe = [&name, &names](qsizetype level) {
        QStringList path{name};
        for (qsizetype at = 0; at <= level; ++at)
            path.append(QFile::decodeName(names[at]));
        return path.join(QLatin1Char('/'));
    };
    const int base = ::open(cache.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int folder =
        base < 0 ? -1 : openLevels(base, names, names.size(), names.size(), true, describe);
    if (folder < 0) {
        MSHLog("[FileManager]", QStringLiteral("Unable to create directory %1 (%2)")
                                    .arg(describe(names.size() - 1), errorText()));
        return QString();
    }
    ::close(folder);
    return describe(names.size() - 1);
}

QString MSHFileManager::structurePath() const
{
    return join(m_rootPath, QStringLiteral("v3"));
}

QString MSHFileManager::stageFolderName(const QString &stage) const
{
    QMutexLocker lock(&m_stageMutex);
    return m_stageFolders.value(stage, stage);
}

QString MSHFileManager::activePath() const
{
    return join(structurePath(), stageFolderName(QStringLiteral("active")));
}

QString MSHFileManager::pendingPath() const
{
    return join(structurePath(), stageFolderName(QStringLiteral("pending")));
}

QString MSHFileManager::processingPath() const
{
    return join(structurePath(), stageFolderName(QStringLiteral("processing")));
}

QString MSHFileManager::preparedPath() const
{
    return join(structurePath(), stageFolderName(QStringLiteral("prepared")));
}

QString MSHFileManager::outgoingPath() const
{
    return join(structurePath(), stageFolderName(QStringLiteral("outgoing")));
}

std::optional<QList<QByteArray>> MSHFileManager::namesFromBase(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    const QString clean = QDir::cleanPath(path);
    if (clean == m_rootPath)
        return m_chain;
    if (clean.startsWith(m_rootPath + QLatin1Char('/'))) {
        QList<QByteArray> names = m_chain;
        for (const QString &name :
             clean.mid(m_rootPath.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts))
            names.append(QFile::encodeName(name));
        return names;
    }
    // The base itself, or a level between it and the root.
    QString level = m_basePath;
    for (qsizetype count = 0; count < m_chain.size(); ++count) {
        if (clean == level)
            return m_chain.mid(0, count);
        level = QDir::cleanPath(level + QLatin1Char('/') + QFile::decodeName(m_chain[count]));
    }
    return std::nullopt;
}

int MSHFileManager::openNames(const QList<QByteArray> &names, bool create) const
{
    int folder = ::open(m_base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 && create && errno == ENOENT) {
        // Nothing is made where this user makes no folders (another user's home).
        if (!mayMakeInCacheFolder(m_base)) {
            errno = EPERM;
            return -1;
        }
        makeFoldersAt(m_base);
        folder = ::open(m_base.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (folder < 0)
        return -1;
    // The levels down to the stage folders are checked to be ours and on the cache folder's
    // file system; those down to the structure folder are made where missing.
    const auto describe = [this, &names](qsizetype level) {
        QString path = m_basePath;
        for (qsizetype at = 0; at <= level; ++at)
            path = join(path, QFile::decodeName(names[at]));
        return path;
    };
    return openLevels(folder, names, m_chain.size() + 2, m_chain.size() + 1, create, describe);
}

int MSHFileManager::openStructure(bool create) const
{
    return openNames(m_chain + QList<QByteArray>{QByteArrayLiteral("v3")}, create);
}

int MSHFileManager::openParent(const QString &path, QByteArray &name) const
{
    const QFileInfo info(QDir::cleanPath(path));
    const QString own = info.fileName();
    if (path.isEmpty() || own.isEmpty() || own == QStringLiteral(".") ||
        own == QStringLiteral("..")) {
        errno = path.isEmpty() ? ENOENT : EINVAL;
        return -1;
    }
    name = QFile::encodeName(own);
    return openFolder(info.path());
}

bool MSHFileManager::entryStatus(const QString &path, struct stat &status) const
{
    if (!namesFromBase(path))
        return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0;
    QByteArray name;
    const int parent = openParent(path, name);
    if (parent < 0)
        return false;
    const bool found = ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    closeKeepingError(parent);
    return found;
}

int MSHFileManager::openEntry(const QString &path, int flags, mode_t mode) const
{
    if (!namesFromBase(path))
        return path.isEmpty() ? -1
                              : ::open(QFile::encodeName(path).constData(),
                                       flags | O_NOFOLLOW | O_CLOEXEC, mode);
    QByteArray name;
    const int parent = openParent(path, name);
    if (parent < 0)
        return -1;
    const int descriptor = ::openat(parent, name.constData(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    closeKeepingError(parent);
    return descriptor;
}

bool MSHFileManager::isFolderInTree(const QString &path) const
{
    struct stat status {
    };
    return entryStatus(path, status) && S_ISDIR(status.st_mode);
}

bool MSHFileManager::isFolderAtPath(int folder, const QString &path) const
{
    struct stat opened {
    };
    struct stat named {
    };
    const int current = openFolder(path);
    const bool same = current >= 0 && ::fstat(folder, &opened) == 0 &&
                      ::fstat(current, &named) == 0 && opened.st_dev == named.st_dev &&
                      opened.st_ino == named.st_ino;
    if (current >= 0)
        ::close(current);
    return same;
}

int MSHFileManager::openStage(const QString &path)
{
    const QFileInfo info(QDir::cleanPath(path));
    const int folder = openFolder(path);
    if (folder >= 0 || info.path() != structurePath())
        return folder;
    const auto stage = std::ranges::find_if(stageNames, [this, &info](const QString &name) {
        return stageFolderName(name) == info.fileName();
    });
    if (stage == stageNames.cend())
        return folder;
    const bool outgoing = *stage == QStringLiteral("outgoing");
    if (!prepareStageFolder(*stage, outgoing ? 0700 : 0755, true))
        return -1;
    return openFolder(join(structurePath(), stageFolderName(*stage)));
}

bool MSHFileManager::createOutgoingDirectory()
{
    return prepareStageFolder(QStringLiteral("outgoing"), 0700, true);
}

bool MSHFileManager::createDirectoryAtPath(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (const std::optional<QList<QByteArray>> names = namesFromBase(absolute)) {
        // Down to the structure folder every missing level is made; below it, the folder in its
        // stage folder, never through a link.
        int folder = -1;
        if (names->size() <= m_chain.size() + 1) {
            folder = openNames(*names, true);
        } else {
            const int parent = openNames(names->mid(0, names->size() - 1), true);
            const QByteArray &name = names->last();
            const bool made = parent >= 0 && ::mkdirat(parent, name.constData(), 0755) == 0;
            if (parent >= 0 && (made || errno == EEXIST))
                folder = ::openat(parent, name.constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (folder >= 0 && made)
                ::fchmod(folder, 0755);
            if (parent >= 0)
                closeKeepingError(parent);
        }
        if (folder < 0) {
            MSHLog("[FileManager]",
                   QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
            return false;
        }
        ::close(folder);
        return true;
    }
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

bool MSHFileManager::isRealDirectory(const QString &path)
{
    struct stat status {
    };
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0 &&
           S_ISDIR(status.st_mode);
}

void MSHFileManager::makeOwnFolderReadable(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), R_OK | W_OK | X_OK) == 0)
        return;
    const QFileInfo info(path);
    const int parent = ::open(QFile::encodeName(info.path()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (parent < 0)
        return;
    openUpOwnFolder(parent, QFile::encodeName(info.fileName()).constData());
    ::close(parent);
}

int MSHFileManager::openFolder(const QString &path) const
{
    if (const std::optional<QList<QByteArray>> names = namesFromBase(path))
        return openNames(*names, false);
    return ::open(QFile::encodeName(QDir::cleanPath(path)).constData(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

QStringList MSHFileManager::namesInFolder(const QString &folder) const
{
    QStringList names;
    const int descriptor = folder.isEmpty() ? -1 : openFolder(folder);
    if (descriptor < 0)
        return names;
    for (const QByteArray &name : namesIn(descriptor))
        names.append(QFile::decodeName(name));
    ::close(descriptor);
    names.sort();
    return names;
}

bool MSHFileManager::replaceStageEntry(int structure, const QString &stage,
                                       const struct stat &status)
{
    const QString folderName = stageFolderName(stage);
    const QString path = join(structurePath(), folderName);
    const QByteArray name = QFile::encodeName(folderName);
    struct stat structureStatus {
    };
    if (S_ISDIR(status.st_mode) &&
        (isMountRootAt(structure, name.constData()) ||
         (::fstat(structure, &structureStatus) == 0 && structureStatus.st_dev != status.st_dev))) {
        // A mounted folder can be neither used nor renamed: reports go through a folder of ours
        // by another name for as long as it is there.
        if (folderName != stage) {
            MSHLog(
                "[FileManager]",
                QStringLiteral("Leaving %1 alone: another file system is mounted there").arg(path));
            return false;
        }
        const QString own = stage + QStringLiteral(".own");
        MSHLog("[FileManager]", QStringLiteral("Leaving %1 alone: another file system is mounted "
                                               "there; reports go through %2 instead")
                                    .arg(path, join(structurePath(), own)));
        QMutexLocker lock(&m_stageMutex);
        m_stageFolders.insert(stage, own);
        return true;
    }
    if (S_ISLNK(status.st_mode)) {
        // What a link leads to is never looked at: the link alone goes, and what it led to is
        // left where it is.
        MSHLog("[FileManager]", QStringLiteral("Removing %1: a link in place of a report folder; "
                                               "the reports in %2, where it led, are left there "
                                               "and not sent")
                                    .arg(path, linkTarget(structure, name.constData())));
    } else if (!S_ISDIR(status.st_mode)) {
        MSHLog("[FileManager]",
               QStringLiteral("Removing %1: a file in place of a report folder").arg(path));
    } else {
        // Another user's folder (left by a run as another user): set aside inside the structure
        // folder, which is ours, and never written or emptied; the reports in it are copied.
        const QByteArray aside = '.' + QFile::encodeName(stage) + QByteArrayLiteral(".set-aside-") +
                                 QUuid::createUuid().toString(QUuid::Id128).toLatin1();
        const bool moved =
            ::renameat(structure, name.constData(), structure, aside.constData()) == 0;
        MSHLog("[FileManager]",
               moved ? QStringLiteral("Setting %1 aside as %2: not a folder of this user's; the "
                                      "reports in it this user can read are sent from the folder "
                                      "made in its place")
                           .arg(path, QFile::decodeName(aside))
                     : QStringLiteral("Unable to set %1 aside (%2)").arg(path, errorText()));
        return moved;
    }
    if (::unlinkat(structure, name.constData(), 0) == 0 || errno == ENOENT)
        return true;
    MSHLog("[FileManager]", QStringLiteral("Unable to remove %1 (%2)").arg(path, errorText()));
    return false;
}

bool MSHFileManager::prepareStageFolder(const QString &stage, mode_t mode, bool create)
{
    QString path = join(structurePath(), stageFolderName(stage));
    // Looked at again when it changes under us: a stage folder swapped for a moment never turns
    // reporting off.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Another name when a file system is mounted at its own.
        path = join(structurePath(), stageFolderName(stage));
        const QByteArray name = QFile::encodeName(stageFolderName(stage));
        const int structure = openStructure(false);
        if (structure < 0) {
            MSHLog("[FileManager]",
                   QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
            return false;
        }
        struct stat status {
        };
        if (::fstatat(structure, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            const int folder = openStageAt(structure, QFile::decodeName(name));
            if (folder >= 0) {
                holdStandIn(stage, folder);
                ::close(folder);
                ::close(structure);
                return true;
            }
            if (errno != ENOENT)
                replaceStageEntry(structure, stage, status);
            if (stageFolderName(stage) != QFile::decodeName(name)) {
                ::close(structure);
                continue;
            }
        }
        if (!create) {
            ::close(structure);
            return true;
        }
        const bool made = ::mkdirat(structure, name.constData(), mode) == 0;
        if (!made && errno != EEXIST) {
            MSHLog("[FileManager]",
                   QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
            ::close(structure);
            return false;
        }
        const int folder = openStageAt(structure, QFile::decodeName(name));
        ::close(structure);
        if (folder >= 0) {
            // The mode asked for, whatever the process's file-creation mask.
            if (made)
                ::fchmod(folder, mode);
            holdStandIn(stage, folder);
            ::close(folder);
            return true;
        }
    }
    MSHLog("[FileManager]", QStringLiteral("Leaving %1 alone: not a folder of this user's; "
                                           "nothing in it is read or removed (%2)")
                                .arg(path, errorText()));
    return false;
}

void MSHFileManager::holdStandIn(const QString &stage, int folder)
{
    const QString name = stageFolderName(stage);
    QMutexLocker lock(&m_stageMutex);
    if (name == stage || m_heldStandIns.contains(name))
        return;
    // A shared lock for as long as this process runs: a later start without the mount sets the
    // folder aside only once no process uses it.
    const int held = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (held < 0)
        return;
    if (::flock(held, LOCK_SH | LOCK_NB) != 0) {
        ::close(held);
        return;
    }
    m_heldStandIns.insert(name, held);
}

bool MSHFileManager::removeQuietly(const QString &path)
{
    QByteArray name;
    const int parent = openParent(path, name);
    if (parent < 0)
        return false;
    const bool removed = removeEntryAt(parent, name.constData());
    closeKeepingError(parent);
    return removed;
}

bool MSHFileManager::removeItemAtPath(const QString &path)
{
    const bool removed = removeQuietly(path);
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
    const QFileInfo source(QDir::cleanPath(path));
    const QString target = join(directory, source.fileName());
    const QByteArray name = QFile::encodeName(source.fileName());
    // Both folders opened as any folder of the tree is: a stage folder never through a link.
    const int from = openFolder(source.path());
    const int to = from >= 0 ? openFolder(directory) : -1;
    struct stat status {
    };
    bool moved = false;
    if (from >= 0 && to >= 0) {
        if (::fstatat(to, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            MSHLog("[FileManager]",
                   QStringLiteral("Failed to move file: %1 already exists").arg(target));
            errno = EEXIST;
        } else {
            moved =
                ::renameat2(from, name.constData(), to, name.constData(), RENAME_NOREPLACE) == 0;
            if (!moved && errno == EINVAL)
                moved = ::renameat(from, name.constData(), to, name.constData()) == 0;
        }
    }
    const int error = errno;
    if (!moved && error != EEXIST)
        MSHLog("[FileManager]", QStringLiteral("Failed to move file: %1").arg(errorText()));
    if (from >= 0)
        ::close(from);
    if (to >= 0)
        ::close(to);
    errno = error;
    if (moved)
        claimedItemMoved(path, target);
    return moved;
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
    // A stage folder that is a link or another user's lists nothing.
    for (const QString &name : namesInFolder(directory)) {
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
    if (!entryStatus(path, status)) {
        MSHLog("[Client]", QStringLiteral("Unable to read file size: %1").arg(errorText()));
        return std::nullopt;
    }
    return qint64(status.st_size);
}

bool MSHFileManager::prepareForNewLaunch()
{
    // A run as another user than the cache folder's (root with the user's HOME) makes nothing
    // there and takes none of the user's reports: the user's own runs go on as before.
    if (!mayMakeInCacheFolder(m_base)) {
        MSHLog("[FileManager]",
               QStringLiteral("Leaving the cache folder %1 alone: it is not this user's (as in a "
                              "run with sudo keeping HOME); crash reports are off for this run")
                   .arg(m_basePath));
        return false;
    }
    // A level or a stage folder that is a link is removed as a link and made anew; one of
    // another user's is set aside and made anew. A level swapped for a moment is looked at again.
    int structure = -1;
    for (int attempt = 0; attempt < 8 && structure < 0; ++attempt) {
        structure = openStructure(true);
        if (structure < 0 && errno != ELOOP && errno != ENOTDIR && errno != ENOENT)
            break;
    }
    if (structure < 0) {
        MSHLog("[FileManager]", QStringLiteral("Leaving %1 alone: not a folder of this user's "
                                               "reached without a link; crash reports are off (%2)")
                                    .arg(structurePath(), errorText()));
        return false;
    }
    ::close(structure);
    for (const char *stage : {"active", "processing", "prepared"}) {
        if (!prepareStageFolder(QLatin1String(stage), 0755, true))
            return false;
    }
    for (const char *stage : {"pending", "outgoing"})
        prepareStageFolder(QLatin1String(stage), 0, false);
    setAsideEarlierTree();
    setAsideStandIns();
    noteReportsInStages();
    m_leftovers.clear();
    completeInterruptedPackaging();
    listHiddenFoldersOfCutLaunches();
    // A package is written under a hidden name and renamed when whole: a hidden one is what a
    // process that ended mid-write left behind, unless another process is writing it now.
    for (const QString &folder : {preparedPath(), outgoingPath()}) {
        for (const QString &name : namesInFolder(folder)) {
            const QString path = join(folder, name);
            if (name.startsWith(QLatin1Char('.')) && !isFolderInTree(path) &&
                !isReportFolderInUse(path))
                removeItemAtPath(path);
        }
    }
    return true;
}

QString MSHFileManager::setupNewPathForExecutionIdentifier(const QString &identifier)
{
    const QString path = join(activePath(), identifier);
    // Made under a hidden name (which no listing shows), locked, and only then given its name: no
    // other process ever sees it without its lock.
    const QString hidden = join(activePath(), QLatin1Char('.') + identifier);
    // Another launch starting now may take the hidden folder, not yet locked, for one a cut-off
    // launch left (and look at it, or remove it): it is made again. An active folder swapped
    // away or missing for a moment is made again too, so that the moment never turns
    // reporting off.
    for (int attempt = 0;; ++attempt) {
        const QString made = setupHiddenPath(hidden, path);
        const int error = errno;
        if (!made.isEmpty() || attempt == 7)
            return made;
        if (error != ENOENT && error != EWOULDBLOCK &&
            !(error == ELOOP || error == ENOTDIR || error == EPERM || error == EXDEV))
            return made;
        if (error != EWOULDBLOCK)
            prepareStageFolder(QStringLiteral("active"), 0755, true);
        errno = error;
    }
}

QString MSHFileManager::setupHiddenPath(const QString &hidden, const QString &path)
{
    const int active = openFolder(activePath());
    if (active < 0) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
        return QString();
    }
    // Made, locked and named in the active folder opened once: never through a link put in
    // its place meanwhile.
    const QByteArray hiddenName = QFile::encodeName(QFileInfo(hidden).fileName());
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const bool made = ::mkdirat(active, hiddenName.constData(), 0755) == 0;
    const int descriptor = made || errno == EEXIST
                               ? ::openat(active, hiddenName.constData(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                               : -1;
    if (descriptor >= 0 && made)
        ::fchmod(descriptor, 0755);
    if (descriptor < 0 || ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        // Without the lock another process would take the folder for an earlier run's.
        MSHLog("[FileManager]",
               QStringLiteral("Unable to lock report folder %1 (%2)").arg(hidden, errorText()));
        if (descriptor >= 0)
            ::close(descriptor);
        removeEntryAt(active, hiddenName.constData());
        ::close(active);
        errno = error;
        return QString();
    }
    if (::renameat(active, hiddenName.constData(), active, name.constData()) != 0) {
        const int error = errno;
        MSHLog("[FileManager]",
               QStringLiteral("Unable to create directory %1 (%2)").arg(path, errorText()));
        ::close(descriptor);
        removeEntryAt(active, hiddenName.constData());
        ::close(active);
        errno = error;
        return QString();
    }
    ::close(active);
    m_folderLocks.push_back(descriptor);
    return path;
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

void MSHFileManager::completeInterruptedPackaging()
{
    // Names the hidden package of a folder claimed for it, unless its writer is still at work.
    // Without one (already named, and maybe sent) there is nothing left to do.
    const auto completePackage = [this](const QString &boundary, const QString &claim) {
        // The package lies in prepared, or in outgoing when prepared took no new file.
        for (const QString &folder : {preparedPath(), outgoingPath()}) {
            const QString hiddenPath = join(folder, QLatin1Char('.') + boundary + packageExtension);
            const QByteArray hidden = QFile::encodeName(QFileInfo(hiddenPath).fileName());
            const QByteArray named = QFile::encodeName(boundary + packageExtension);
            const int descriptor = openFolder(folder);
            struct stat status {
            };
            if (descriptor < 0 ||
                ::fstatat(descriptor, hidden.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
                if (descriptor >= 0)
                    ::close(descriptor);
                continue;
            }
            bool completed = true;
            if (!isReportFolderInUse(hiddenPath) &&
                (::fstatat(descriptor, named.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 ||
                 ::renameat(descriptor, hidden.constData(), descriptor, named.constData()) != 0)) {
                MSHLog("[FileManager]", QStringLiteral("Unable to complete the package of %1 (%2)")
                                            .arg(claim, errorText()));
                completed = false;
            }
            ::close(descriptor);
            return completed;
        }
        return true;
    };
    for (const QString &folder : {processingPath(), activePath()}) {
        for (const QString &name : namesInFolder(folder)) {
            if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(packagedSuffix))
                continue;
            const QString boundary = name.mid(1, name.size() - 1 - packagedSuffix.size());
            const QString path = join(folder, name);
            // Only a folder is a claim: anything else by that name was put there, and is removed
            // as what it is, its package untouched.
            if (!isFolderInTree(path)) {
                removeItemAtPath(path);
                continue;
            }
            // Still at work in the process that claimed it.
            if (!isPackageName(boundary + packageExtension) || isReportFolderInUse(path))
                continue;
            // Cut off after the folder was claimed: its package is whole and takes its name now.
            // The folder itself, however large, is removed off the start.
            if (completePackage(boundary, path))
                m_leftovers.append(path);
        }
    }
    // Folders that took no rename were claimed by a record instead. A line that names anything
    // but a stage folder's own child is no line of ours: it is dropped, and nothing is done for it.
    for (const QString &line : readSettled()) {
        const std::optional<SettledEntry> entry = settledEntry(line);
        if (!entry)
            MSHLog("[FileManager]",
                   QStringLiteral("Dropping a line of %1 that names nothing of ours: %2")
                       .arg(settledRecordPath(), line));
        else if (entry->folder)
            completePackage(entry->boundary, entry->paths.first());
    }
}

void MSHFileManager::listHiddenFoldersOfCutLaunches()
{
    for (const QString &name : namesInFolder(activePath())) {
        const QString path = join(activePath(), name);
        if (isHiddenLaunchFolderName(name) && isFolderInTree(path) && !isReportFolderInUse(path))
            m_leftovers.append(path);
    }
}

void MSHFileManager::removeLeftovers()
{
    const QStringList leftovers = std::exchange(m_leftovers, {});
    for (const QString &path : leftovers) {
        if (claimItemAtPath(path))
            removeItemAtPath(path);
    }
    // A settled folder or package goes once it can; then so does its record.
    QStringList gone;
    for (const QString &line : readSettled()) {
        const std::optional<SettledEntry> entry = settledEntry(line);
        // Dropped (and said so at the start).
        if (!entry) {
            gone.append(line);
            continue;
        }
        const bool removed = std::ranges::all_of(entry->paths, [this](const QString &path) {
            struct stat status {
            };
            return !entryStatus(path, status) ||
                   (!isReportFolderInUse(path) && removeQuietly(path));
        });
        if (removed)
            gone.append(line);
    }
    if (!gone.isEmpty())
        changeSettled([&gone](QStringList &lines) {
            lines.removeIf([&gone](const QString &line) { return gone.contains(line); });
        });
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

bool MSHFileManager::createMarkerFileInTree(const QString &path) const
{
    if (!namesFromBase(path))
        return createMarkerFile(path);
    QByteArray name;
    const int parent = openParent(path, name);
    if (parent < 0)
        return false;
    struct stat status {
    };
    if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISREG(status.st_mode) && status.st_nlink == 1) {
            ::close(parent);
            return true;
        }
        if (!S_ISDIR(status.st_mode))
            ::unlinkat(parent, name.constData(), 0);
    }
    const int descriptor = ::openat(parent, name.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    ::close(parent);
    if (descriptor < 0)
        return false;
    const bool own =
        ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1;
    return ::close(descriptor) == 0 && own;
}

void MSHFileManager::removeLegacyDirectories()
{
    struct stat status {
    };
    if (!entryStatus(join(m_rootPath, QStringLiteral("sendable")), status))
        return;
    if (!removeQuietly(m_rootPath))
        MSHLog("[Mishap:FileManager]", QStringLiteral("Unable to remove legacy directory structure "
                                                      "%1 (%2)")
                                           .arg(m_rootPath, errorText()));
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
    const bool outgoing = removeContentsOfDirectoryAtPath(outgoingPath());
    bool active = true;
    for (const QString &entry : activePathContents()) {
        if (!isReportFolderInUse(entry) && !removeItemAtPath(entry))
            active = false;
    }
    return processing && pending && prepared && outgoing && active;
}

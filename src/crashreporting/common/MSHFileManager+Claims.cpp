// Claims on report folders and packages (a lock on an open descriptor of the item), and items
// judged and removed on one descriptor.

#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHFolderSteps.h"
#include "crashreporting/common/MSHLog.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace MSHFolderSteps;

int MSHFileManager::openItemLocked(const QString &path, int &parent, QByteArray &name) const
{
    parent = openParent(path, name);
    if (parent < 0)
        return -1;
    struct stat status {
    };
    if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(status.st_mode) && (status.st_mode & 0700) != 0700)
        openUpOwnFolder(parent, name.constData());
    const int item =
        ::openat(parent, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {
    };
    if (item >= 0 && ::flock(item, LOCK_EX | LOCK_NB) == 0 && ::fstat(item, &opened) == 0 &&
        ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        status.st_dev == opened.st_dev && status.st_ino == opened.st_ino)
        return item;
    if (item >= 0)
        closeKeepingError(item);
    return -1;
}

bool MSHFileManager::itemSatisfies(const QString &path,
                                   const std::function<bool(const QString &)> &test) const
{
    QByteArray name;
    const int parent = openParent(path, name);
    if (parent < 0)
        return false;
    struct stat status {
    };
    if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(status.st_mode) && (status.st_mode & 0700) != 0700)
        openUpOwnFolder(parent, name.constData());
    const int item =
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::close(parent);
    if (item < 0)
        return false;
    const bool satisfied = test(QStringLiteral("/proc/self/fd/%1/.").arg(item));
    ::close(item);
    return satisfied;
}

std::optional<bool>
MSHFileManager::removeItemUnless(const QString &path,
                                 const std::function<bool(const QString &)> &keeps)
{
    int parent = -1;
    QByteArray name;
    struct stat status {
    };
    const int item = openItemLocked(path, parent, name);
    if (item < 0) {
        // Only what no descriptor can hold is removed unjudged: a link, as a link.
        const bool link = parent >= 0 &&
                          ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(status.st_mode) && ::unlinkat(parent, name.constData(), 0) == 0;
        if (parent >= 0)
            ::close(parent);
        return link ? std::optional<bool>(false) : std::nullopt;
    }
    struct stat opened {
    };
    const bool folder = ::fstat(item, &opened) == 0 && S_ISDIR(opened.st_mode);
    // Judged through the descriptor, and removed from the folder it was opened from, only while
    // that name still holds the very item judged.
    if (folder && keeps(QStringLiteral("/proc/self/fd/%1/.").arg(item))) {
        ::close(item);
        ::close(parent);
        return true;
    }
    const bool same = ::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      status.st_dev == opened.st_dev && status.st_ino == opened.st_ino;
    const bool removed = same && removeEntryAt(parent, name.constData());
    if (!removed)
        MSHLog("[FileManager]",
               QStringLiteral("Failed to remove file '%1' : %2").arg(path, errorText()));
    ::close(item);
    ::close(parent);
    if (!removed)
        return std::nullopt;
    releaseClaimAtPath(path);
    return false;
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
    {
        QMutexLocker lock(&m_claimsMutex);
        if (m_claims.contains(path))
            return true;
    }
    QByteArray name;
    const int folder = openParent(path, name);
    if (folder < 0)
        return false;
    const bool claimed = claimItemAt(folder, path);
    ::close(folder);
    return claimed;
}

bool MSHFileManager::claimItemAt(int folder, const QString &path)
{
    QMutexLocker lock(&m_claimsMutex);
    if (m_claims.contains(path))
        return true;
    const QByteArray name = QFile::encodeName(QFileInfo(path).fileName());
    const int descriptor =
        ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
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
        ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
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

std::optional<struct stat> MSHFileManager::claimedStatus(const QString &path)
{
    QMutexLocker lock(&m_claimsMutex);
    const auto found = m_claims.constFind(path);
    struct stat status {
    };
    if (found == m_claims.cend() || ::fstat(*found, &status) != 0)
        return std::nullopt;
    return status;
}

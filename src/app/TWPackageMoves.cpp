#include "app/TWPackageMoves.h"

#include "store/TWPackageFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace TWPackageMoves
{

bool overlaps(const QString &path, const QString &original)
{
    const QString a = TWPackageFiles::resolvedPath(path);
    const QString b = TWPackageFiles::resolvedPath(original);
    const auto inside = [](const QString &child, const QString &parent) {
        return child == parent ||
               child.startsWith(parent.endsWith(QLatin1Char('/')) ? parent
                                                                  : parent + QLatin1Char('/'));
    };
    return inside(a, b) || inside(b, a);
}

QString workNamePrefix(const QString &target, const QString &purpose)
{
    // Room for the random part and the lock file's ending.
    constexpr qsizetype kLockSuffixLength = 5;
    const QString tail = QLatin1Char('.') + purpose + QLatin1Char('-');
    const qsizetype room =
        NAME_MAX - 1 - QFile::encodeName(tail).size() - workNameRandomLength - kLockSuffixLength;
    QString name = QFileInfo(target).fileName();
    while (QFile::encodeName(name).size() > room) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    return QLatin1Char('.') + name + tail;
}

QString temporarySibling(const QString &target, const QString &purpose)
{
    const QDir dir = QFileInfo(target).absoluteDir();
    const QString prefix = workNamePrefix(target, purpose);
    for (;;) {
        const QString name =
            prefix + QUuid::createUuid().toString(QUuid::Id128).left(workNameRandomLength);
        const QString candidate = dir.filePath(name);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

namespace
{

bool copyInto(const QString &source, const QString &destination, QString *reason)
{
    if (!QDir().mkdir(destination)) {
        *reason = QStringLiteral("mkdir %1").arg(destination);
        return false;
    }
    const QDir from(source);
    const QFileInfoList entries =
        from.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString target = QDir(destination).filePath(entry.fileName());
        if (entry.isSymLink())
            continue;
        if (entry.isDir()) {
            if (!copyInto(entry.filePath(), target, reason))
                return false;
        } else if (entry.isFile()) {
            QFile file(entry.filePath());
            if (!file.copy(target)) {
                *reason = file.errorString();
                return false;
            }
        }
    }
    return true;
}

// Removes the entry `name` of the folder open as `folder` when it is no
// folder (a file, a link, anything else), as what it is; true when it did.
bool removeFileAt(int folder, const char *name)
{
    struct stat entry;
    return ::fstatat(folder, name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(entry.st_mode) &&
           ::unlinkat(folder, name, 0) == 0;
}

// The names in the folder open as `folder` (the descriptor stays open).
QList<QByteArray> entryNames(int folder)
{
    QList<QByteArray> names;
    const int listed = ::dup(folder);
    DIR *dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

} // namespace

bool copyFolder(const QString &source, const QString &destination, QString *reason)
{
    QString why;
    if (QFileInfo::exists(destination)) {
        why = QStringLiteral("exists");
    } else if (copyInto(source, destination, &why)) {
        return true;
    } else {
        // Only what this call made goes away.
        QDir(destination).removeRecursively();
    }
    if (reason)
        *reason = why;
    return false;
}

namespace
{

bool &exchangeFlag()
{
    static bool available = true;
    return available;
}

bool exchangeAvailable()
{
    return exchangeFlag();
}

} // namespace

void setExchangeAvailable(bool available)
{
    exchangeFlag() = available;
}

bool replace(const QString &replacement, const QString &target, QString *reason,
             const QString &asideName)
{
    const auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    const QByteArray from = QFile::encodeName(replacement);
    const QByteArray to = QFile::encodeName(target);
    const QFileInfo existing(target);
    if (!existing.exists() && !existing.isSymLink()) {
        if (!QDir().rename(replacement, target))
            return fail(QStringLiteral("rename %1").arg(replacement));
        return true;
    }
    // The two swap names in one step: the business is never missing from
    // its name, whenever the program stops.
    if (!exchangeAvailable()) {
        errno = EINVAL;
    } else if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) ==
               0) {
        if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::ReplaceSwapped))
            return fail(QStringLiteral("stopped"));
        // The old one, now at the replacement's name, goes on to its own.
        QString old = replacement;
        if (!asideName.isEmpty() && QDir().rename(replacement, asideName))
            old = asideName;
        removePackage(old);
        return true;
    }
    // A file system without the exchange: the old one aside, then the new
    // one in. An opening that finds the name empty puts a whole one back
    // (TWPackageWorkFolder::restoreLeftover).
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return fail(QStringLiteral("rename %1 (%2)")
                        .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    const QString aside =
        asideName.isEmpty() ? temporarySibling(target, QStringLiteral("replaced")) : asideName;
    if (!QFile::rename(target, aside) && !QDir().rename(target, aside))
        return fail(QStringLiteral("rename %1").arg(target));
    if (TWPackageFiles::stopsAt(TWPackageFiles::SaveStep::ReplaceSwapped))
        return fail(QStringLiteral("stopped"));
    if (!QDir().rename(replacement, target)) {
        QDir().rename(aside, target);
        return fail(QStringLiteral("rename %1").arg(replacement));
    }
    removePackage(aside);
    return true;
}

namespace
{

std::function<bool(const QString &)> &diskFullQuery()
{
    static std::function<bool(const QString &)> query;
    return query;
}

} // namespace

bool isDiskFull(const QString &folder)
{
    if (const auto &query = diskFullQuery())
        return query(folder);
    struct statvfs disk;
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) != 0)
        return false;
    // A file system that counts no file entries (f_files 0) has no limit on them.
    return disk.f_bavail == 0 || (disk.f_files > 0 && disk.f_favail == 0);
}

void setDiskFullQuery(std::function<bool(const QString &)> query)
{
    diskFullQuery() = std::move(query);
}

bool removePackage(const QString &path)
{
    const QFileInfo info(path);
    const TWPackageFiles::Descriptor parent(::open(
        QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QByteArray name = QFile::encodeName(info.fileName());
    if (parent.get() < 0)
        return false;
    struct stat entry;
    if (::fstatat(parent.get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(entry.st_mode))
        return ::unlinkat(parent.get(), name.constData(), 0) == 0;
    {
        const TWPackageFiles::Descriptor package(::openat(
            parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (package.get() < 0)
            return false;
        for (const char *known :
             {"Data.sql", "Data.sql-journal", "Settings.plist", "Settings.plist.new"})
            removeFileAt(package.get(), known);
        for (const QString &viewFile : TWPackageFiles::fileManagerFileNames)
            removeFileAt(package.get(), QFile::encodeName(viewFile).constData());
        // A link in the place of "Attachments" goes as a link; a folder goes
        // with the files (and links) in it.
        if (!removeFileAt(package.get(), "Attachments")) {
            const TWPackageFiles::Descriptor attachments(::openat(
                package.get(), "Attachments", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (attachments.get() >= 0) {
                for (const QByteArray &file : entryNames(attachments.get()))
                    removeFileAt(attachments.get(), file.constData());
                ::unlinkat(package.get(), "Attachments", AT_REMOVEDIR);
            }
        }
    }
    return ::unlinkat(parent.get(), name.constData(), AT_REMOVEDIR) == 0;
}

} // namespace TWPackageMoves

#include "app/TWPackageWorkFolder.h"

#include "app/TWPackageMoves.h"

#include "foundation/TWPropertyList.h"
#include "store/TWBusiness.h"
#include "store/TWPackageFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// What a lock file of ours begins with; written once the lock is held, so
// that a lock file still being made is never taken for a leftover.
constexpr char kMarker[] = "Tallyworth work folder\n";
const QString kLockSuffix = QStringLiteral(".lock");

QByteArray lockName(const QString &folder)
{
    return QFile::encodeName(folder + kLockSuffix);
}

bool lockWaiting(int fd)
{
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

// Whether `fd` is still the file at `name`, a regular file of this user.
bool isLockAtName(int fd, const QByteArray &name, struct stat *opened)
{
    struct stat named;
    return ::fstat(fd, opened) == 0 && S_ISREG(opened->st_mode) && opened->st_uid == ::geteuid() &&
           ::lstat(name.constData(), &named) == 0 && opened->st_dev == named.st_dev &&
           opened->st_ino == named.st_ino;
}

// Whether `fd`, open on the lock file at `name`, is still that file and was
// made by this user with this program (in a shared folder another user could
// plant one that reads the same), or was made by this user and left empty by
// a process cut off before it wrote the first line. A lock being made is
// locked before it is written, and checked to be still at its name once it
// is (see the constructor), so an empty one that is free is a leftover.
bool isOurLock(int fd, const QByteArray &name)
{
    struct stat opened;
    if (!isLockAtName(fd, name, &opened))
        return false;
    if (opened.st_size == 0)
        return true;
    char start[sizeof kMarker - 1];
    return ::pread(fd, start, sizeof start, 0) == ssize_t(sizeof start) &&
           std::equal(start, start + sizeof start, kMarker);
}

const QByteArray kReplaceKey = "replaces ";
const QByteArray kTokenKey = "token ";
const QByteArray kSequenceKey = "sequence ";
const QByteArray kTimeKey = "at ";
// The line a lock gets once its folder was kept while a business was at the
// name it was left beside.
const QByteArray kKeptLine = "kept";

// What the lock of a work folder records of the replace that wrote or moved
// aside the package in it.
struct ReplaceRecord {
    QByteArray name;  // of the package replaced
    qint64 token = 0; // of the database the replace put at the name
    // Its order among replaces: the sequence first, then the time (ns since
    // 1970); a record of the build before them has neither (0).
    qint64 sequence = 0;
    qint64 time = 0;
    // The previous version's layout: the replace's name and token alone,
    // only in the new package's lock.
    bool previousVersion() const { return sequence == 0; }
};

// The lines the lock of `folder` holds after its marker; none when it holds
// no marker.
std::optional<QList<QByteArray>> lockLines(const QString &folder)
{
    QFile lock(folder + kLockSuffix);
    if (!lock.open(QIODevice::ReadOnly) || lock.size() > 64 * 1024)
        return std::nullopt;
    const QByteArray all = lock.readAll();
    if (!all.startsWith(kMarker))
        return std::nullopt;
    return all.mid(sizeof kMarker - 1).split('\n');
}

std::optional<ReplaceRecord> recordOf(const QString &folder)
{
    const std::optional<QList<QByteArray>> lines = lockLines(folder);
    if (!lines || lines->size() < 2 || !lines->at(0).startsWith(kReplaceKey) ||
        !lines->at(1).startsWith(kTokenKey))
        return std::nullopt;
    ReplaceRecord record;
    record.name = lines->at(0).mid(kReplaceKey.size());
    bool ok = false;
    record.token = lines->at(1).mid(kTokenKey.size()).toLongLong(&ok);
    if (!ok || record.token == 0)
        return std::nullopt;
    for (const QByteArray &line : lines->mid(2)) {
        if (line.startsWith(kSequenceKey))
            record.sequence = line.mid(kSequenceKey.size()).toLongLong();
        else if (line.startsWith(kTimeKey))
            record.time = line.mid(kTimeKey.size()).toLongLong();
    }
    return record;
}

bool isKept(const QString &folder)
{
    const std::optional<QList<QByteArray>> lines = lockLines(folder);
    return lines && lines->contains(kKeptLine);
}

// Notes in the lock of `folder` (ours, free) that it was kept while a
// business was at the name beside it. The lines before stay as they were.
void markKept(const QString &folder)
{
    if (isKept(folder))
        return;
    const QByteArray name = lockName(folder);
    const TWPackageFiles::Descriptor lock(
        ::open(name.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened;
    if (lock.get() < 0 || !isLockAtName(lock.get(), name, &opened))
        return;
    // An empty lock (its save cut off before the marker) gets the marker
    // first, so that it stays known as ours.
    const QByteArray line =
        (opened.st_size == 0 ? QByteArray(kMarker) : QByteArray()) + kKeptLine + '\n';
    if (writeAll(lock.get(), line.constData(), size_t(line.size())))
        ::fdatasync(lock.get());
}

// What restoreLeftover knows of a leftover beside the name.
struct Beside {
    QString folder;
    bool setAside = false; // where a replace moves the old package
    std::optional<ReplaceRecord> record;
    bool kept = false;
    bool holdsPackage = false; // a folder holding a database file
};

// The business identity the settings of the package at `folder` hold; empty
// when they hold none or cannot be read.
QString packageIdentity(const QString &folder)
{
    const QString settings = QDir(folder).filePath(TWPackageSettingsFileName);
    if (!TWPackageFiles::isRegularFile(settings))
        return {};
    const TWResult<QVariant> read = TWPropertyList::readFile(settings);
    return read.ok() ? read.value.toMap().value(TWPackageFiles::identityKey).toString() : QString();
}

// The mark of the package in `folder` when it is whole as a replace writes
// it: its database committed (no journal of a write cut off beside it),
// nothing in it but a business package's own entries, no copy's temporary
// file or save marker among its receipts, and every receipt its rows name
// there that the old package the replace set aside (in `aside`) holds: a
// replace onto a copy of the same business takes them from it first. A
// receipt neither holds was lost before the replace: no copy of the business
// can give it, and the opening names it. Another business's files of the
// same numbers are its own documents, never the new one's receipts.
std::optional<TWPackageMark> wholePackageMark(const QString &folder, const QStringList &aside)
{
    const QFileInfo data(QDir(folder).filePath(TWPackageDataFileName));
    if (!data.isFile() || data.isSymLink() ||
        QFileInfo::exists(data.filePath() + QStringLiteral("-journal")) ||
        TWBusiness::replaceRefusal(folder))
        return std::nullopt;
    const QStringList files =
        QDir(QDir(folder).filePath(TWPackageAttachmentsFolderName))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (std::any_of(files.cbegin(), files.cend(), [](const QString &file) {
            return TWPackageFiles::isCopyTemporaryName(file) ||
                   file == TWPackageFiles::savingMarkerFileName;
        }))
        return std::nullopt;
    const QSet<QString> lacked = TWBusiness::lackedAttachmentFiles(folder);
    const QString identity = lacked.isEmpty() ? QString() : packageIdentity(folder);
    for (const QString &old : aside) {
        if (identity.isEmpty() || packageIdentity(old) != identity)
            continue;
        const QDir attachments(QDir(old).filePath(TWPackageAttachmentsFolderName));
        if (std::any_of(lacked.cbegin(), lacked.cend(), [&attachments](const QString &file) {
                return TWPackageFiles::isRegularFile(attachments.filePath(file));
            }))
            return std::nullopt;
    }
    return TWPackageMark::of(data.filePath());
}

// This version's replace records both its folders with the name and the
// new package's token, and empties the name only on a file system without
// the one-step exchange, by moving the old package aside: the new package
// goes back only when the old one lies where its replace moved it. Of
// several, the last recorded (never by a file time, which another clock may
// have set, nor by a folder's name).
QString lastReplacement(const QByteArray &name, const QList<Beside> &beside)
{
    QString last;
    std::pair<qint64, qint64> lastOrder{0, 0};
    for (const Beside &replacement : beside) {
        const std::optional<ReplaceRecord> &record = replacement.record;
        if (replacement.setAside || replacement.kept || !record || record->previousVersion() ||
            record->name != name)
            continue;
        const std::pair<qint64, qint64> order{record->sequence, record->time};
        if (!last.isEmpty() && order <= lastOrder)
            continue;
        const auto aside =
            std::find_if(beside.cbegin(), beside.cend(), [&record](const Beside &old) {
                return old.setAside && old.holdsPackage && old.record &&
                       !old.record->previousVersion() && old.record->name == record->name &&
                       old.record->token == record->token;
            });
        const std::optional<TWPackageMark> mark =
            aside != beside.cend() ? wholePackageMark(replacement.folder, {aside->folder})
                                   : std::nullopt;
        if (mark && mark->token == record->token) {
            last = replacement.folder;
            lastOrder = order;
        }
    }
    return last;
}

// The previous version recorded only the package its replace wrote (the
// name it replaces and its token, no order) and nothing of the old package
// it moved aside; it put back the first such package, by folder name,
// still holding the database it recorded. Here only where that replace
// itself emptied the name: an old package lies aside in a folder whose lock
// records nothing, as that version left it.
QString previousVersionReplacement(const QByteArray &name, const QList<Beside> &beside)
{
    QStringList aside;
    for (const Beside &old : beside) {
        if (old.setAside && old.holdsPackage && !old.record)
            aside.append(old.folder);
    }
    if (aside.isEmpty())
        return {};
    for (const Beside &replacement : beside) {
        const std::optional<ReplaceRecord> &record = replacement.record;
        if (replacement.setAside || replacement.kept || !record || !record->previousVersion() ||
            record->name != name)
            continue;
        const std::optional<TWPackageMark> mark = wholePackageMark(replacement.folder, aside);
        if (mark && mark->token == record->token)
            return replacement.folder;
    }
    return {};
}

// The work folders beside `target` (whatever their locks), by their lock files.
QStringList workFolders(const QString &target)
{
    const QDir dir = QFileInfo(target).absoluteDir();
    QStringList folders;
    for (const QString &purpose : {QStringLiteral("save"), QStringLiteral("replaced")}) {
        const QString prefix = TWPackageMoves::workNamePrefix(target, purpose);
        const QStringList locks =
            dir.entryList(QStringList{prefix + QLatin1Char('*') + kLockSuffix},
                          QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &lock : locks) {
            if (lock.size() ==
                prefix.size() + TWPackageMoves::workNameRandomLength + kLockSuffix.size())
                folders.append(dir.filePath(lock.chopped(kLockSuffix.size())));
        }
    }
    return folders;
}

} // namespace

TWPackageWorkFolder::TWPackageWorkFolder(const QString &target, const QString &purpose)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = TWPackageMoves::temporarySibling(target, purpose);
        const QByteArray name = lockName(m_path);
        m_lock = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_lock < 0) {
            if (errno == EEXIST)
                continue;
            m_failure = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        struct stat opened;
        if (!lockWaiting(m_lock) || !writeAll(m_lock, kMarker, sizeof kMarker - 1)) {
            m_failure = QString::fromLocal8Bit(std::strerror(errno));
            ::unlink(name.constData());
            ::close(m_lock);
            m_lock = -1;
            break;
        }
        // Another process may have taken the lock while it was still empty
        // and removed it as a leftover: then it is not this name's any more.
        if (isLockAtName(m_lock, name, &opened))
            break;
        ::close(m_lock);
        m_lock = -1;
    }
    // Without a lock (a folder that cannot be written) the save is refused;
    // nothing is left for others to clear.
}

TWPackageWorkFolder::~TWPackageWorkFolder()
{
    // The lock is kept while anything stays at the folder's place, so that
    // it is still known as this program's.
    if (TWPackageMoves::removePackage(m_path) && m_lock >= 0)
        ::unlink(lockName(m_path).constData());
    if (m_lock >= 0)
        ::close(m_lock);
}

qint64 TWPackageWorkFolder::recordReplace(const QString &target, qint64 token)
{
    if (m_lock < 0)
        return 0;
    if (token == 0) {
        const std::optional<TWPackageMark> mark =
            TWPackageMark::of(QDir(m_path).filePath(TWPackageDataFileName));
        token = mark ? mark->token : 0;
    }
    if (token == 0)
        return 0;
    // After every replace recorded beside the name, also one a clock set
    // back (another computer's) would put before it.
    const QByteArray name = QFile::encodeName(QFileInfo(target).fileName());
    qint64 sequence = 0;
    for (const QString &folder : workFolders(target)) {
        if (const std::optional<ReplaceRecord> other = recordOf(folder);
            other && other->name == name)
            sequence = std::max(sequence, other->sequence);
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const QByteArray record =
        kReplaceKey + name + '\n' + kTokenKey + QByteArray::number(token) + '\n' + kSequenceKey +
        QByteArray::number(sequence + 1) + '\n' + kTimeKey +
        QByteArray::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec) + '\n';
    const off_t at = off_t(sizeof kMarker - 1);
    // Written after the marker; flushed, so that it is there whenever the
    // program stops from here on.
    if (::ftruncate(m_lock, at) != 0 ||
        ::pwrite(m_lock, record.constData(), size_t(record.size()), at) != record.size())
        return 0;
    ::fdatasync(m_lock);
    return token;
}

void TWPackageWorkFolder::eachLeftover(const QString &target,
                                       const std::function<void(const QString &)> &leftover)
{
    for (const QString &folder : workFolders(target)) {
        const QByteArray name = lockName(folder);
        const int fd = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A lock that is held belongs to a save still running.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && isOurLock(fd, name))
            leftover(folder);
        ::close(fd);
    }
}

QList<TWPackageLeftover> TWPackageWorkFolder::removeLeftovers(const QString &target)
{
    const QFileInfo info(target);
    // An old package moved aside by a replace cut off before the new one
    // took its place is the only copy of that business; a leftover holding
    // receipts the business at the name names and lacks (saved there since,
    // without them) has their only copies.
    if (!info.exists() && !info.isSymLink())
        return {};
    const QByteArray name = QFile::encodeName(info.fileName());
    // Read only once a leftover is there: most openings and saves find none.
    std::optional<QSet<QString>> lacked;
    std::optional<std::optional<TWPackageMark>> atName;
    QList<TWPackageLeftover> kept;
    eachLeftover(target, [&](const QString &folder) {
        if (!lacked)
            lacked = TWBusiness::lackedAttachmentFiles(target);
        const QDir attachments(QDir(folder).filePath(TWPackageAttachmentsFolderName));
        bool keep = std::any_of(lacked->cbegin(), lacked->cend(), [&](const QString &file) {
            return TWPackageFiles::isRegularFile(attachments.filePath(file));
        });
        // A whole business goes only where the business at the name holds
        // all it holds: the very save it holds, or the package the replace
        // that moved it aside put there (the user chose to replace it).
        const QString data = QDir(folder).filePath(TWPackageDataFileName);
        const std::optional<TWPackageMark> mark =
            TWPackageFiles::isRegularFile(data) ? TWPackageMark::of(data) : std::nullopt;
        const std::optional<ReplaceRecord> record = recordOf(folder);
        if (mark) {
            if (!atName)
                atName = TWPackageMark::of(QDir(target).filePath(TWPackageDataFileName));
            const std::optional<TWPackageMark> &now = *atName;
            const bool same =
                now && (mark->token != 0 ? mark->token == now->token : mark->sameSave(*now));
            const bool replaced =
                now && record && record->name == name && record->token == now->token;
            keep = keep || (!same && !replaced);
        }
        if (keep) {
            // Kept while a business is at the name: never put back there.
            if (!atName)
                atName = TWPackageMark::of(QDir(target).filePath(TWPackageDataFileName));
            if (*atName)
                markKept(folder);
            if (mark)
                kept.append(TWPackageLeftover{
                    folder, TWPackageContents::of(folder).value_or(TWPackageContents{}),
                    record && record->previousVersion()});
            return;
        }
        if (TWPackageMoves::removePackage(folder))
            ::unlink(lockName(folder).constData());
    });
    return kept;
}

QString TWPackageWorkFolder::replacementBeside(const QString &target, bool *byEarlierVersion)
{
    const QByteArray name = QFile::encodeName(QFileInfo(target).fileName());
    const QString asidePrefix = TWPackageMoves::workNamePrefix(target, QStringLiteral("replaced"));
    QList<Beside> beside;
    eachLeftover(target, [&](const QString &folder) {
        const QFileInfo folderInfo(folder);
        beside.append(Beside{
            folder, folderInfo.fileName().startsWith(asidePrefix), recordOf(folder), isKept(folder),
            folderInfo.isDir() && !folderInfo.isSymLink() &&
                TWPackageFiles::isRegularFile(QDir(folder).filePath(TWPackageDataFileName))});
    });
    const QString last = lastReplacement(name, beside);
    *byEarlierVersion = last.isEmpty();
    return last.isEmpty() ? previousVersionReplacement(name, beside) : last;
}

std::optional<TWPackageLeftover> TWPackageWorkFolder::restoreLeftover(const QString &target)
{
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink())
        return std::nullopt;
    bool byEarlierVersion = false;
    const QString chosen = replacementBeside(target, &byEarlierVersion);
    if (chosen.isEmpty())
        return std::nullopt;
    const TWPackageLeftover restored{
        chosen, TWPackageContents::of(chosen).value_or(TWPackageContents{}), byEarlierVersion};
    // Never over something that took the name meanwhile.
    const QByteArray from = QFile::encodeName(chosen);
    const QByteArray to = QFile::encodeName(info.absoluteFilePath());
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0 &&
        (errno != EINVAL || QFileInfo::exists(target) ||
         ::rename(from.constData(), to.constData()) != 0))
        return std::nullopt;
    ::unlink(lockName(chosen).constData());
    return restored;
}

bool TWPackageWorkFolder::hasReplacement(const QString &target)
{
    const QFileInfo info(target);
    bool byEarlierVersion = false;
    return !info.exists() && !info.isSymLink() &&
           !replacementBeside(target, &byEarlierVersion).isEmpty();
}

QList<TWPackageLeftover> TWPackageWorkFolder::hiddenCopies(const QString &target)
{
    const QDir dir = QFileInfo(target).absoluteDir();
    const QStringList prefixes{TWPackageMoves::workNamePrefix(target, QStringLiteral("save")),
                               TWPackageMoves::workNamePrefix(target, QStringLiteral("replaced"))};
    QList<TWPackageLeftover> copies;
    // By prefix rather than by a pattern: the business's name may hold a
    // pattern's own characters.
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (std::none_of(prefixes.cbegin(), prefixes.cend(),
                         [&name](const QString &prefix) { return name.startsWith(prefix); }))
            continue;
        const QString folder = dir.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid() ||
            !TWPackageFiles::isRegularFile(QDir(folder).filePath(TWPackageDataFileName)))
            continue;
        // A save still running holds its lock.
        const TWPackageFiles::Descriptor lock(
            ::open(lockName(folder).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (lock.get() >= 0 && ::flock(lock.get(), LOCK_SH | LOCK_NB) != 0)
            continue;
        const std::optional<ReplaceRecord> record = recordOf(folder);
        copies.append(TWPackageLeftover{folder,
                                        TWPackageContents::of(folder).value_or(TWPackageContents{}),
                                        record && record->previousVersion()});
    }
    return copies;
}

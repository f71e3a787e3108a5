// Folders set aside: a level or a stage folder of another user's found in the tree (a run as root
// made it, with the user's reports in it), a stage folder of ours no longer used, or the tree an
// earlier build kept at another cache path. The reports this user can read in them are taken into
// the stages of ours and sent; each such folder is then marked taken, so that its reports are
// taken once, whatever the moment a start is cut off.
//
// A report leaves its place only once it is in a stage of ours: it moves there by one rename, or
// (from a folder that takes no rename, another user's) it is copied whole into ".taken-ID" in the
// structure folder (ID: the random part of the set-aside name), synced, marked there as taken
// ("NAME.arrived") and renamed into the stage. A copy that cannot be moved in yet stays there,
// whole and marked, and so does its original; the folder set aside is marked taken
// ("NAME.all-taken") only when every report in it arrived (or cannot be read at all), and its
// record of copies goes after that. A copy without its arrival mark is not known to be whole and is
// made again. What could not be taken (a full disk, a stage that takes no new entry, a report a
// running process holds) waits, unmarked, for a later start. The take runs on the work queue, never
// on the start's thread, and never waits for another process: one that holds the tree's lock is
// taking already.
//
// Two earlier builds marked a folder they took "NAME.taken". The first copied every report of a
// folder into ".taken-ID/STAGE/NAME" under the report's own name as it went (no part name, no
// arrival mark), marked the folder once it had tried them all, even when a copy had found no room
// or its stage took no entry, then moved the copies in; the second marked it only once every
// report had arrived, as this build does, and left another user's folder with its reports in it.
// So a report of a marked folder that lies in a stage of ours, as a folder or packaged, is known
// there by its identifier (a package by the one inside it) and is never taken again; where the
// record of copies still holds the second build's arrival marks, none is. Where nothing on disk
// tells a report the first build sent from one it could not copy, it is taken once more, no more
// of them in one take than a stage keeps for all such folders together; the folder then takes
// this build's mark and is not read again.
//
// A folder another user (not root) left in a shared cache folder holds none of this user's
// reports: it is never taken from, marked or not. A folder is marked under a name no other holds,
// so that a second folder of one identifier stops no mark, and the record of copies of an
// identifier goes with the last of its folders.
//
// Only report folders and packages are taken, and nothing is taken from or removed in a folder set
// aside that is, or holds, another file system (a mount at its name, a stage mounted in a tree an
// earlier build left): such a folder is left as it is, and the log says where the mount is.

#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHFolderSteps.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/common/MSHStepObserver.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace MSHFolderSteps;

namespace
{

// No record or package is this large: anything larger is no report and is left where it is.
constexpr off_t largestCopied = 64 * 1024 * 1024;

// The earlier build's mark on a folder set aside that it took, and this build's.
const QByteArray earlierTakenSuffix = QByteArrayLiteral(".taken");
const QByteArray takenSuffix = QByteArrayLiteral(".all-taken");
const QByteArray copiesPrefix = QByteArrayLiteral(".taken-");
const QByteArray arrivedSuffix = QByteArrayLiteral(".arrived");
// Written in the record of copies of a folder an earlier build marked, before this build takes
// anything from it: what the disk told when the take began, read again by a start that goes on
// with it (its own arrival marks then say nothing of the earlier build).
const QByteArray copiesLeftNote = QByteArrayLiteral("earlier-copies-left");
const QByteArray nothingTellsNote = QByteArrayLiteral("earlier-nothing-tells");

// The stages reports are taken from, each with the stage of ours its reports go to.
struct StageSource {
    const char *stage;
    const char *into;
};
constexpr StageSource stageSources[] = {{"active", "active"},
                                        {"processing", "processing"},
                                        {"prepared", "prepared"},
                                        {"outgoing", "prepared"}};

// The random part of a set-aside name ".NAME.set-aside-ID" for that NAME; empty otherwise.
QByteArray setAsideIdentifier(const QByteArray &entry, const QByteArray &name)
{
    const QByteArray prefix = '.' + name + QByteArrayLiteral(".set-aside-");
    if (!entry.startsWith(prefix) || entry.size() != prefix.size() + 32)
        return {};
    const QByteArray identifier = entry.mid(prefix.size());
    const bool hex = std::ranges::all_of(
        identifier, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    return hex ? identifier : QByteArray();
}

// A report folder's name: its process's execution identifier, 32 lower-case hexadecimal digits.
bool isReportName(const QByteArray &name)
{
    return name.size() == 32 && std::ranges::all_of(name, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

int openChild(int folder, const QByteArray &name)
{
    return ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool existsAt(int folder, const QByteArray &name)
{
    struct stat status {
    };
    return ::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

// How a copy went: whole, not at all because the original cannot be read (it never will be
// by this user), or not yet because the copy cannot be written (a full disk, a read-only
// folder): only the last waits for a later start.
enum class Copy { Whole, Unreadable, NotYet };

// Copies the regular file (of one name, no larger than any report) whole.
Copy copyFileAt(int from, const char *name, int to, const char *as)
{
    const int source = ::openat(from, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {
    };
    if (source < 0 || ::fstat(source, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1 || status.st_size > largestCopied) {
        if (source >= 0)
            ::close(source);
        return Copy::Unreadable;
    }
    const int target = ::openat(to, as, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool copied = target >= 0;
    char buffer[64 * 1024];
    while (copied) {
        const ssize_t got = ::read(source, buffer, sizeof(buffer));
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        for (ssize_t done = 0; copied && done < got;) {
            const ssize_t put = ::write(target, buffer + done, size_t(got - done));
            copied = put > 0;
            done += put;
        }
    }
    ::close(source);
    if (target >= 0 && ::close(target) != 0)
        copied = false;
    return copied ? Copy::Whole : Copy::NotYet;
}

// Copies the report folder's files (a report folder holds files only; anything else in it is
// left out); a part copy is removed.
Copy copyFolderAt(int from, const char *name, int to, const char *as)
{
    const int source = openChild(from, name);
    if (source < 0)
        return Copy::Unreadable;
    if (::mkdirat(to, as, 0755) != 0) {
        ::close(source);
        return Copy::NotYet;
    }
    const int target = openChild(to, as);
    Copy copied = target >= 0 ? Copy::Whole : Copy::NotYet;
    for (const QByteArray &entry : namesIn(source)) {
        struct stat status {
        };
        if (copied != Copy::Whole)
            break;
        if (::fstatat(source, entry.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            copied = copyFileAt(source, entry.constData(), target, entry.constData());
    }
    ::close(source);
    if (target >= 0)
        ::close(target);
    if (copied != Copy::Whole)
        removeEntryAt(to, as);
    return copied;
}

// Whether the file begins as every package of ours does, with its own boundary.
bool looksLikePackageAt(int folder, const QByteArray &name)
{
    const QByteArray head = QByteArrayLiteral("MIME-Version: 1.0\r\n--") +
                            name.chopped(int(sizeof(".multipartmime")) - 1) +
                            QByteArrayLiteral("\r\n");
    const int descriptor =
        ::openat(folder, name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return true;
    QByteArray read(head.size(), '\0');
    const ssize_t got = ::read(descriptor, read.data(), size_t(read.size()));
    ::close(descriptor);
    return got == head.size() && read == head;
}

// Whether a running process holds the entry (its own report folder, or a folder or package it
// claimed).
bool isHeldAt(int folder, const char *name)
{
    const int descriptor = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool held = ::flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor);
    return held;
}

// The first bytes of the regular file (never through a link), up to the limit; empty when it
// cannot be read.
QByteArray headOfFileAt(int folder, const char *name, qsizetype limit)
{
    const int descriptor = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return {};
    struct stat status {
    };
    QByteArray head;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        head.resize(limit);
        qsizetype got = 0;
        while (got < limit) {
            const ssize_t read = ::read(descriptor, head.data() + got, size_t(limit - got));
            if (read <= 0)
                break;
            got += read;
        }
        head.truncate(got);
    }
    ::close(descriptor);
    return head;
}

// The identifier a report folder gives itself in its metadata record (the first line's
// identity.session_id), which its package carries as "report_id"; empty when unreadable.
QByteArray reportIdentifierAt(int folder, const QByteArray &name)
{
    const int report = openChild(folder, name);
    if (report < 0)
        return {};
    const QByteArray head = headOfFileAt(report, "metadata.mshrecord", 64 * 1024);
    ::close(report);
    const qsizetype end = head.indexOf('\n');
    const QJsonValue value = QJsonDocument::fromJson(end < 0 ? head : head.left(end))
                                 .object()
                                 .value(QStringLiteral("identity"))
                                 .toObject()
                                 .value(QStringLiteral("session_id"));
    return value.isString() ? value.toString().toUtf8() : QByteArray();
}

// The report identifier a package carries in its "report_id" field (written before any file);
// empty when it has none.
QByteArray packageIdentifierAt(int folder, const QByteArray &name)
{
    const QByteArray head = headOfFileAt(folder, name.constData(), 64 * 1024);
    const QByteArray field =
        QByteArrayLiteral("Content-Disposition: form-data; name=\"report_id\"\r\n");
    qsizetype at = head.indexOf(field);
    at = at < 0 ? -1 : head.indexOf("\r\n\r\n", at);
    if (at < 0)
        return {};
    at += 4;
    const qsizetype end = head.indexOf("\r\n", at);
    return end < 0 ? QByteArray() : head.mid(at, end - at);
}

// Whether the entry belongs to another user than this one and root: a folder another user left
// in a shared cache folder, whose reports are never this user's to send.
bool isOtherUsersAt(int folder, const char *name)
{
    struct stat status {
    };
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           status.st_uid != ::geteuid() && status.st_uid != 0;
}

// Whether a stage folder of the record of copies holds any arrival mark.
bool holdsArrivalMarks(int copies)
{
    for (const StageSource &source : stageSources) {
        const int stage = openChild(copies, source.stage);
        if (stage < 0)
            continue;
        const std::vector<QByteArray> names = namesIn(stage);
        ::close(stage);
        if (std::ranges::any_of(
                names, [](const QByteArray &name) { return name.endsWith(arrivedSuffix); }))
            return true;
    }
    return false;
}

// Makes an empty file by that name; true when it is there.
bool markAt(int folder, const QByteArray &name)
{
    const int descriptor = ::openat(folder, name.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        return ::close(descriptor) == 0;
    return errno == EEXIST;
}

// The folder by that name in the open folder, made when missing.
int makeChild(int folder, const QByteArray &name)
{
    if (::mkdirat(folder, name.constData(), 0700) != 0 && errno != EEXIST)
        return -1;
    return openChild(folder, name);
}

} // namespace

int MSHFileManager::openEarlierRoot() const
{
    if (m_earlierRoot.isEmpty())
        return -1;
    const int root =
        ::open(m_earlierRoot.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat earlier {
    };
    if (root < 0 || ::fstat(root, &earlier) != 0 || earlier.st_uid != ::geteuid()) {
        if (root >= 0)
            ::close(root);
        return -1;
    }
    // The same folder by another name (a relative name, a home reached through a link) is this
    // tree itself, never an earlier one.
    const int own = openNames(m_chain, false);
    struct stat ours {
    };
    const bool same = own >= 0 && ::fstat(own, &ours) == 0 && ours.st_dev == earlier.st_dev &&
                      ours.st_ino == earlier.st_ino;
    if (own >= 0)
        ::close(own);
    if (same) {
        ::close(root);
        return -1;
    }
    return root;
}

std::vector<MSHFileManager::SetAsideHome> MSHFileManager::setAsideHomes() const
{
    // Each level of ours down to the structure folder, and the structure folder itself (for
    // stage folders set aside there).
    const QList<QByteArray> names = m_chain + QList<QByteArray>{QByteArrayLiteral("v3")};
    std::vector<SetAsideHome> homes;
    for (qsizetype level = 0; level <= names.size(); ++level) {
        const int folder = openNames(names.mid(0, level), false);
        QString path = m_basePath;
        for (const QByteArray &name : names.mid(0, level))
            path += QLatin1Char('/') + QFile::decodeName(name);
        if (folder >= 0)
            homes.push_back({folder, names.mid(level), path});
    }
    // The tree an earlier build kept elsewhere: its structure folder is set aside in its root.
    const int earlier = openEarlierRoot();
    if (earlier >= 0)
        homes.push_back({earlier, {QByteArrayLiteral("v3")}, QFile::decodeName(m_earlierRoot)});
    return homes;
}

void MSHFileManager::setAsideEarlierTree()
{
    const int root = openEarlierRoot();
    if (root < 0)
        return;
    struct stat status {
    };
    if (::fstatat(root, "v3", &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode)) {
        // A tree that is, or holds, another file system (a stage the user mounted there) stays
        // where it is, with its mounts.
        QByteArray mounted;
        if (isOtherFileSystemAt(root, "v3")) {
            mounted = QByteArrayLiteral("v3");
        } else if (const int tree = openChild(root, QByteArrayLiteral("v3")); tree >= 0) {
            for (const QByteArray &entry : namesIn(tree)) {
                if (mounted.isEmpty() && isOtherFileSystemAt(tree, entry.constData()))
                    mounted = QByteArrayLiteral("v3/") + entry;
            }
            ::close(tree);
        }
        if (!mounted.isEmpty()) {
            MSHLog("[FileManager]",
                   QStringLiteral("Leaving the reports an earlier version left in %1 alone: a "
                                  "file system is mounted at %2")
                       .arg(QFile::decodeName(m_earlierRoot + "/v3"),
                            QFile::decodeName(m_earlierRoot + '/' + mounted)));
            ::close(root);
            return;
        }
        const QByteArray aside = setAsideName(QByteArrayLiteral("v3"));
        if (::renameat(root, "v3", root, aside.constData()) == 0)
            MSHLog("[FileManager]",
                   QStringLiteral("Setting the reports an earlier version left in %1 aside as %2, "
                                  "to be sent from %3")
                       .arg(QFile::decodeName(m_earlierRoot + "/v3"), QFile::decodeName(aside),
                            structurePath()));
    }
    ::close(root);
}

void MSHFileManager::setAsideStandIns()
{
    // A stage folder of ours used instead of a mounted one, left from a run when the mount was
    // there: set aside too, so that its reports come back into the stage; never while a running
    // process still uses it (it holds a lock on it for as long as it runs).
    const int structure = openStructure(false);
    if (structure < 0)
        return;
    for (const StageSource &source : stageSources) {
        const QString stage = QLatin1String(source.stage);
        const QByteArray own = QFile::encodeName(stage + QStringLiteral(".own"));
        if (stageFolderName(stage) != stage)
            continue;
        const int folder = openChild(structure, own);
        if (folder < 0)
            continue;
        if (::flock(folder, LOCK_EX | LOCK_NB) == 0)
            ::renameat(structure, own.constData(), structure,
                       setAsideName(QFile::encodeName(stage)).constData());
        else
            MSHLog("[FileManager]",
                   QStringLiteral("Leaving %1/%2 to the running process that uses it")
                       .arg(structurePath(), QFile::decodeName(own)));
        ::close(folder);
    }
    ::close(structure);
}

bool MSHFileManager::moveIntoStage(int from, const QByteArray &name, const char *into,
                                   TakenReports &taken)
{
    const QString stagePath =
        structurePath() + QLatin1Char('/') + stageFolderName(QLatin1String(into));
    // Opened afresh for each report: a stage swapped or replaced meanwhile is made ours again.
    const int stage = openStage(stagePath);
    if (stage < 0)
        return false;
    bool moved =
        ::renameat2(from, name.constData(), stage, name.constData(), RENAME_NOREPLACE) == 0;
    if (!moved && errno == EINVAL && !existsAt(stage, name))
        moved = ::renameat(from, name.constData(), stage, name.constData()) == 0;
    // Already there: the very report (its name is its own identifier or boundary).
    const bool there = !moved && errno == EEXIST;
    ::close(stage);
    if (moved) {
        const QString path = stagePath + QLatin1Char('/') + QFile::decodeName(name);
        if (std::strcmp(into, "active") == 0)
            taken.active.append(path);
        else if (std::strcmp(into, "processing") == 0)
            taken.processing.append(path);
        else
            taken.prepared.append(path);
    }
    return moved || there;
}

void MSHFileManager::finishCopies(int structure, const QByteArray &copiesName, TakenReports &taken)
{
    // The folder it was copied from is gone or marked: whole copies are moved in, and the
    // record goes once nothing is left in it.
    const int copies = openChild(structure, copiesName);
    if (copies < 0) {
        removeEntryAt(structure, copiesName.constData());
        return;
    }
    bool left = false;
    for (const StageSource &source : stageSources) {
        const int from = openChild(copies, source.stage);
        if (from < 0)
            continue;
        for (const QByteArray &entry : namesIn(from)) {
            if (entry.startsWith('.'))
                removeEntryAt(from, entry.constData());
            else if (!entry.endsWith(arrivedSuffix) &&
                     !(markAt(from, entry + arrivedSuffix) &&
                       moveIntoStage(from, entry, source.into, taken)))
                left = true;
        }
        ::close(from);
    }
    ::close(copies);
    if (!left)
        removeEntryAt(structure, copiesName.constData());
}

MSHFileManager::TakenReports MSHFileManager::takeReportsSetAside()
{
    TakenReports taken;
    const int structure = openStructure(false);
    if (structure < 0)
        return taken;
    // Two starts at once take each folder once. One that finds the lock held leaves the take to
    // the holder (or to a later start): it never waits, since the holder may be stopped.
    if (::flock(structure, LOCK_EX | LOCK_NB) != 0) {
        MSHLog("[FileManager]", QStringLiteral("Leaving the reports set aside to the instance "
                                               "taking them now"));
        ::close(structure);
        return taken;
    }
    MSHReachedStep("take-set-aside");
    const std::vector<SetAsideHome> homes = setAsideHomes();
    std::vector<SetAside> found;
    for (const SetAsideHome &home : homes) {
        for (const QByteArray &entry : namesIn(home.folder)) {
            // Folders the earlier build marked taken are found by the name they had before.
            const bool earlier = entry.endsWith(earlierTakenSuffix);
            const QByteArray name = earlier ? entry.chopped(earlierTakenSuffix.size()) : entry;
            if (home.below.isEmpty()) {
                for (const StageSource &source : stageSources) {
                    const QByteArray identifier = setAsideIdentifier(name, source.stage);
                    if (!identifier.isEmpty())
                        found.push_back(
                            {home.folder, home.path, entry, identifier, {}, source.stage, earlier});
                }
            } else {
                const QByteArray identifier = setAsideIdentifier(name, home.below.first());
                if (!identifier.isEmpty())
                    found.push_back({home.folder, home.path, entry, identifier, home.below.mid(1),
                                     nullptr, earlier});
            }
        }
    }
    m_takenUntold.clear();
    m_unmarkedOfIdentifier.clear();
    for (SetAside &aside : found) {
        ++m_unmarkedOfIdentifier[aside.identifier];
        if (aside.markedByEarlierBuild)
            aside.earlierMark = readEarlierMark(structure, aside);
    }
    // Copies of a folder no longer found unmarked (marked, or gone) are moved in.
    for (const QByteArray &entry : namesIn(structure)) {
        if (!entry.startsWith(copiesPrefix))
            continue;
        const QByteArray identifier = entry.mid(copiesPrefix.size());
        if (std::ranges::none_of(found, [&identifier](const SetAside &aside) {
                return aside.identifier == identifier;
            }))
            finishCopies(structure, entry, taken);
    }
    for (const SetAside &aside : found) {
        if (aside.markedByEarlierBuild)
            takeFolderMarkedByEarlierBuild(structure, aside, taken);
        else
            takeFolderSetAside(structure, aside, taken);
    }
    for (const SetAsideHome &home : homes)
        ::close(home.folder);
    ::close(structure);
    return taken;
}

QString MSHFileManager::mountInFolderSetAside(const SetAside &aside) const
{
    QString where = aside.homePath + QLatin1Char('/') + QFile::decodeName(aside.name);
    if (isOtherFileSystemAt(aside.home, aside.name.constData()))
        return where;
    int folder = openChild(aside.home, aside.name);
    for (const QByteArray &name : aside.below) {
        if (folder < 0)
            return {};
        where += QLatin1Char('/') + QFile::decodeName(name);
        const bool mounted = isOtherFileSystemAt(folder, name.constData());
        const int next = mounted ? -1 : openChild(folder, name);
        ::close(folder);
        if (mounted)
            return where;
        folder = next;
    }
    if (folder < 0)
        return {};
    // The entries of a stage, any of which a report might be taken from.
    const auto mountAmong = [](int stage, const QString &stagePath) {
        for (const QByteArray &entry : namesIn(stage)) {
            if (isOtherFileSystemAt(stage, entry.constData()))
                return stagePath + QLatin1Char('/') + QFile::decodeName(entry);
        }
        return QString();
    };
    QString mount;
    if (aside.stage) {
        mount = mountAmong(folder, where);
    } else {
        for (const StageSource &source : stageSources) {
            const QString stagePath = where + QLatin1Char('/') + QLatin1String(source.stage);
            if (!mount.isEmpty() || !existsAt(folder, source.stage))
                continue;
            if (isOtherFileSystemAt(folder, source.stage)) {
                mount = stagePath;
                continue;
            }
            const int stage = openChild(folder, source.stage);
            if (stage >= 0) {
                mount = mountAmong(stage, stagePath);
                ::close(stage);
            }
        }
    }
    ::close(folder);
    return mount;
}

MSHFileManager::SetAside::EarlierMark MSHFileManager::readEarlierMark(int structure,
                                                                      const SetAside &aside)
{
    // Read before anything is taken. The earlier builds removed the record of copies once the
    // folder was marked and its copies in; a record still there tells which of them marked it:
    // the later one marked a folder only once every report had arrived, each with its mark in
    // the record; the first one made its copies first, without marks, and had sent nothing of
    // them when it was cut off with its record there. A start of this build that took from the
    // folder and was cut off left a note of what the disk told then.
    using EarlierMark = SetAside::EarlierMark;
    const int copies = openChild(structure, copiesPrefix + aside.identifier);
    if (copies < 0)
        return EarlierMark::NothingTells;
    EarlierMark mark = EarlierMark::NothingTells;
    if (existsAt(copies, nothingTellsNote))
        mark = EarlierMark::NothingTells;
    else if (existsAt(copies, copiesLeftNote))
        mark = EarlierMark::CopiesLeft;
    else if (holdsArrivalMarks(copies))
        mark = EarlierMark::AllArrived;
    else if (markAt(copies, copiesLeftNote))
        mark = EarlierMark::CopiesLeft;
    ::close(copies);
    return mark;
}

void MSHFileManager::noteReportsInStages()
{
    m_reportsInStagesAtStart.clear();
    for (const QString &stage : {activePath(), processingPath(), preparedPath(), outgoingPath()}) {
        const bool packages = stage == preparedPath() || stage == outgoingPath();
        const int folder = openFolder(stage);
        if (folder < 0)
            continue;
        for (const QByteArray &entry : namesIn(folder)) {
            m_reportsInStagesAtStart.insert(entry);
            if (entry.startsWith('.'))
                continue;
            const QByteArray identifier =
                packages ? packageIdentifierAt(folder, entry) : reportIdentifierAt(folder, entry);
            if (!identifier.isEmpty())
                m_reportsInStagesAtStart.insert(identifier);
        }
        ::close(folder);
    }
}

void MSHFileManager::takeFolderMarkedByEarlierBuild(int structure, const SetAside &aside,
                                                    TakenReports &taken)
{
    // Another user's folder is left as it is, whatever its mark: the take says so, and nothing
    // here tells of taking from it.
    if (!isOtherUsersAt(aside.home, aside.name.constData()))
        MSHLog("[FileManager]",
               aside.earlierMark == SetAside::EarlierMark::AllArrived
                   ? QStringLiteral(
                         "Marking %1/%2 as taken: an earlier version took every report in it")
                         .arg(aside.homePath, QFile::decodeName(aside.name))
                   : QStringLiteral("Taking the reports in %1/%2 an earlier version marked taken "
                                    "that did not arrive in %3")
                         .arg(aside.homePath, QFile::decodeName(aside.name), structurePath()));
    takeFolderSetAside(structure, aside, taken);
}

void MSHFileManager::takeFolderSetAside(int structure, const SetAside &aside, TakenReports &taken)
{
    const QString mount = mountInFolderSetAside(aside);
    if (!mount.isEmpty()) {
        MSHLog("[FileManager]",
               QStringLiteral("Leaving %1/%2 alone: a file system is mounted at %3")
                   .arg(aside.homePath, QFile::decodeName(aside.name), mount));
        return;
    }
    const QByteArray copiesName = copiesPrefix + aside.identifier;
    // Another user's folder (not root's, as a run under sudo leaves) in a shared cache folder
    // holds none of this user's reports: left as it is, marked or not.
    if (isOtherUsersAt(aside.home, aside.name.constData())) {
        MSHLog("[FileManager]", QStringLiteral("Leaving %1/%2 alone: another user's")
                                    .arg(aside.homePath, QFile::decodeName(aside.name)));
        --m_unmarkedOfIdentifier[aside.identifier];
        return;
    }
    using EarlierMark = SetAside::EarlierMark;
    const bool untold =
        aside.markedByEarlierBuild && aside.earlierMark == EarlierMark::NothingTells;
    int copies = -1;
    // Reports taken now; left there because this user cannot read them; waiting for a later
    // start (a copy that cannot be written or moved in yet, or held by a running process);
    // beyond the bound of reports kept, left out.
    int moved = 0;
    int unreadable = 0;
    int waiting = 0;
    int held = 0;
    int beyond = 0;
    const qint64 oldest = QDateTime::currentSecsSinceEpoch() - reportsMaximumAgeSeconds;
    for (const StageSource &source : stageSources) {
        if (aside.stage && std::strcmp(aside.stage, source.stage) != 0)
            continue;
        // The stage inside the folder set aside, reached without a link.
        int folder = openChild(aside.home, aside.name);
        // One this user cannot enter is left whole.
        if (folder < 0 && errno == EACCES) {
            ++unreadable;
            continue;
        }
        for (const QByteArray &name : aside.below) {
            const int next = folder >= 0 && !isOtherUsersAt(folder, name.constData())
                                 ? openChild(folder, name)
                                 : -1;
            if (folder >= 0)
                ::close(folder);
            folder = next;
        }
        if (!aside.stage && folder >= 0) {
            const int next =
                isOtherUsersAt(folder, source.stage) ? -1 : openChild(folder, source.stage);
            ::close(folder);
            folder = next;
        }
        if (folder < 0)
            continue;
        struct stat folderStatus {
        };
        const bool ownFolder =
            ::fstat(folder, &folderStatus) == 0 && folderStatus.st_uid == ::geteuid();
        const bool packages = std::strcmp(source.into, "prepared") == 0;
        struct Candidate {
            QByteArray name;
            qint64 modified;
        };
        std::vector<Candidate> candidates;
        for (const QByteArray &entry : namesIn(folder)) {
            struct stat status {
            };
            if (entry.startsWith('.') ||
                ::fstatat(folder, entry.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            // Anything else there is no report: neither taken nor counted; nor is another
            // user's.
            if (packages ? !S_ISREG(status.st_mode) || !isPackageName(QFile::decodeName(entry)) ||
                               !looksLikePackageAt(folder, entry)
                         : !S_ISDIR(status.st_mode) || !isReportName(entry))
                continue;
            if (status.st_uid != ::geteuid() && status.st_uid != 0)
                continue;
            candidates.push_back({entry, qint64(status.st_mtime)});
        }
        // No more than the stage keeps: the newest within the age bound.
        std::ranges::sort(candidates, [](const Candidate &a, const Candidate &b) {
            return a.modified > b.modified;
        });
        if (copies < 0 && existsAt(structure, copiesName)) {
            copies = openChild(structure, copiesName);
            // Noted before any arrival mark of ours (another folder of the identifier may have
            // made the record).
            if (copies >= 0 && untold && !markAt(copies, nothingTellsNote)) {
                ::close(copies);
                copies = -1;
            }
        }
        int record = copies >= 0 ? openChild(copies, source.stage) : -1;
        for (size_t at = 0; at < candidates.size(); ++at) {
            const QByteArray &name = candidates[at].name;
            if (int(at) >= reportsKept || candidates[at].modified < oldest) {
                ++beyond;
                continue;
            }
            const QByteArray mark = name + arrivedSuffix;
            // The original goes only once the report is in a stage of ours, and only from a
            // folder of ours.
            const auto arrived = [&] {
                if (ownFolder)
                    removeEntryAt(folder, name.constData());
            };
            if (record >= 0 && existsAt(record, mark)) {
                if (existsAt(record, name) && !moveIntoStage(record, name, source.into, taken)) {
                    ++waiting;
                    continue;
                }
                if (existsAt(record, name))
                    removeEntryAt(record, name.constData());
                // Taken once more by a start of this build cut off before the folder's mark.
                if (untold)
                    ++m_takenUntold[source.into];
                arrived();
                continue;
            }
            if (aside.markedByEarlierBuild) {
                // A report the earlier build moved into a stage of ours, or packaged there, is
                // known there by its identifier (a package by the one inside it), whatever its
                // name became. Every report of a folder marked by the build that marked only
                // what had arrived arrived.
                const QByteArray identifier =
                    packages ? packageIdentifierAt(folder, name) : reportIdentifierAt(folder, name);
                if (m_reportsInStagesAtStart.contains(name) ||
                    (!identifier.isEmpty() && m_reportsInStagesAtStart.contains(identifier)) ||
                    aside.earlierMark == EarlierMark::AllArrived) {
                    arrived();
                    continue;
                }
                // Sent, or never copied: nothing tells. Taken once more, within one bound for
                // all such folders.
                if (untold && m_takenUntold.value(source.into) >= reportsKept) {
                    ++beyond;
                    continue;
                }
            }
            if (isHeldAt(folder, name.constData())) {
                ++held;
                continue;
            }
            // One rename, out of a folder of ours.
            if (ownFolder && moveIntoStage(folder, name, source.into, taken)) {
                ++moved;
                if (untold)
                    ++m_takenUntold[source.into];
                continue;
            }
            if (record < 0) {
                if (copies < 0) {
                    copies = makeChild(structure, copiesName);
                    // Before any arrival mark of ours.
                    if (copies >= 0 && untold && !markAt(copies, nothingTellsNote)) {
                        ::close(copies);
                        copies = -1;
                    }
                }
                record = copies >= 0 ? makeChild(copies, source.stage) : -1;
            }
            if (record < 0) {
                ++waiting;
                continue;
            }
            // A copy is known to be whole by its arrival mark alone: one without (a part copy
            // by a hidden name, a copy the earlier build made under the report's own name as it
            // went, cut off at any file) is made again from its original.
            const QByteArray part = '.' + name;
            removeEntryAt(record, name.constData());
            removeEntryAt(record, part.constData());
            if (existsAt(record, name)) {
                ++waiting;
                continue;
            }
            const Copy copy =
                packages ? copyFileAt(folder, name.constData(), record, part.constData())
                         : copyFolderAt(folder, name.constData(), record, part.constData());
            if (copy == Copy::Unreadable) {
                removeEntryAt(record, part.constData());
                ++unreadable;
                continue;
            }
            // Once per report: the copy is on disk before it takes its name.
            if (copy != Copy::Whole || ::syncfs(record) != 0 ||
                ::renameat(record, part.constData(), record, name.constData()) != 0) {
                removeEntryAt(record, part.constData());
                ++waiting;
                continue;
            }
            if (!markAt(record, mark) || !moveIntoStage(record, name, source.into, taken)) {
                ++waiting;
                continue;
            }
            ++moved;
            if (untold)
                ++m_takenUntold[source.into];
            arrived();
        }
        if (record >= 0)
            ::close(record);
        ::close(folder);
    }
    if (copies >= 0)
        ::close(copies);
    const QString where = aside.homePath + QLatin1Char('/') + QFile::decodeName(aside.name);
    const QString bound =
        beyond == 0
            ? QString()
            : QStringLiteral("; %1 beyond the %2 kept, left out").arg(beyond).arg(reportsKept);
    // Not everything arrived: the folder stays unmarked, and what is left is taken later.
    if (waiting > 0 || held > 0) {
        MSHLog("[FileManager]",
               QStringLiteral("Took %1 report(s) set aside in %2 into %3 to be sent; %4 wait there "
                              "for a later start (%5 held by a running process)%6")
                   .arg(moved)
                   .arg(where, structurePath())
                   .arg(waiting + held)
                   .arg(held)
                   .arg(bound));
        return;
    }
    // Marked under a name of its own: a second folder of the identifier (one marked before, by
    // an earlier build or by this one) keeps its name and stops no mark.
    const QByteArray unmarked =
        aside.markedByEarlierBuild ? aside.name.chopped(earlierTakenSuffix.size()) : aside.name;
    QByteArray marked = unmarked + takenSuffix;
    bool renamed = false;
    for (int second = 2; !renamed && second <= 100; ++second) {
        renamed = ::renameat2(aside.home, aside.name.constData(), aside.home, marked.constData(),
                              RENAME_NOREPLACE) == 0;
        if (!renamed && errno == EINVAL && !existsAt(aside.home, marked))
            renamed =
                ::renameat(aside.home, aside.name.constData(), aside.home, marked.constData()) == 0;
        if (!renamed && errno != EEXIST && errno != ENOTEMPTY)
            break;
        if (!renamed)
            marked = unmarked + takenSuffix + '-' + QByteArray::number(second);
    }
    if (!renamed) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to take the reports in %1 (%2)").arg(where, errorText()));
        return;
    }
    // The record of copies goes with the last folder of its identifier to be marked.
    if (--m_unmarkedOfIdentifier[aside.identifier] <= 0)
        removeEntryAt(structure, copiesName.constData());
    // A folder of ours goes once its reports are taken; another user's stays as it is.
    struct stat status {
    };
    const bool own = ::fstatat(aside.home, marked.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                     status.st_uid == ::geteuid();
    if (own && unreadable == 0)
        removeEntryAt(aside.home, marked.constData());
    MSHLog(
        "[FileManager]",
        QStringLiteral("Took %1 report(s) set aside in %2 into %3 to be sent; %4 left "
                       "there, unreadable%5%6")
            .arg(moved)
            .arg(where, structurePath())
            .arg(unreadable)
            .arg(own && unreadable == 0
                     ? QString()
                     : QStringLiteral(" (in %1/%2)").arg(aside.homePath, QFile::decodeName(marked)),
                 bound));
}

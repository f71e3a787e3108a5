// Folders set aside: a level or a stage folder of another user's found in the tree (a run as root
// made it, with the user's reports in it), a stage folder of ours no longer used, or the tree an
// earlier build kept at another cache path. The reports this user can read in them are copied
// into the stages of ours and sent; each such folder is then marked taken, so that its reports
// are copied once, whatever the moment a start is cut off.
//
// The copies are made in a hidden folder of the structure folder, ".taken-ID" (ID: the random part
// of the set-aside name), and moved into the stages only once the set-aside folder took the
// ".taken" ending. A start finds either a folder not yet marked (the copies, if any, are made
// again) or one marked (the copies left are moved in).

#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHFolderSteps.h"
#include "crashreporting/common/MSHLog.h"

#include <QFile>
#include <QUuid>

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

const QByteArray takenSuffix = QByteArrayLiteral(".taken");
const QByteArray copiesPrefix = QByteArrayLiteral(".taken-");

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

int openChild(int folder, const QByteArray &name)
{
    return ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Copies the regular file (of one name, no larger than any report) whole and to disk.
bool copyFileAt(int from, const char *name, int to)
{
    const int source = ::openat(from, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {
    };
    if (source < 0 || ::fstat(source, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink != 1 || status.st_size > largestCopied) {
        if (source >= 0)
            ::close(source);
        return false;
    }
    const int target =
        ::openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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
    copied = copied && ::fsync(target) == 0;
    ::close(source);
    if (target >= 0)
        ::close(target);
    return copied;
}

// Copies the report folder's files (a report folder holds files only; anything else in it is
// left out). False when any of its files cannot be read.
bool copyFolderAt(int from, const char *name, int to)
{
    const int source = openChild(from, name);
    if (source < 0 || ::mkdirat(to, name, 0755) != 0) {
        if (source >= 0)
            ::close(source);
        return false;
    }
    const int target = openChild(to, name);
    bool copied = target >= 0;
    for (const QByteArray &entry : namesIn(source)) {
        struct stat status {
        };
        if (!copied)
            break;
        if (::fstatat(source, entry.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            copied = copyFileAt(source, entry.constData(), target);
    }
    ::close(source);
    if (target >= 0)
        ::close(target);
    if (!copied)
        removeEntryAt(to, name);
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

// Whether a running process holds the folder (its own report folder, or one it claimed).
bool isHeldAt(int folder, const char *name)
{
    const int descriptor = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool held = ::flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(descriptor);
    return held;
}

} // namespace

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
    if (!m_earlierRoot.isEmpty()) {
        const int folder =
            ::open(m_earlierRoot.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat status {
        };
        if (folder >= 0 && ::fstat(folder, &status) == 0 && status.st_uid == ::geteuid())
            homes.push_back({folder, {QByteArrayLiteral("v3")}, QFile::decodeName(m_earlierRoot)});
        else if (folder >= 0)
            ::close(folder);
    }
    return homes;
}

void MSHFileManager::setAsideEarlierTree()
{
    if (m_earlierRoot.isEmpty())
        return;
    const int root =
        ::open(m_earlierRoot.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {
    };
    if (root < 0)
        return;
    if (::fstat(root, &status) == 0 && status.st_uid == ::geteuid() &&
        ::fstatat(root, "v3", &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode)) {
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

void MSHFileManager::takeReportsSetAside()
{
    // A stage folder of ours used instead of a mounted one, left from a run when the mount was
    // there: set aside too, so that its reports come back into the stage.
    const int structure = openStructure(false);
    if (structure < 0)
        return;
    for (const StageSource &source : stageSources) {
        const QString stage = QLatin1String(source.stage);
        const QByteArray own = QFile::encodeName(stage + QStringLiteral(".own"));
        struct stat status {
        };
        if (stageFolderName(stage) == stage &&
            ::fstatat(structure, own.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(status.st_mode))
            ::renameat(structure, own.constData(), structure,
                       setAsideName(QFile::encodeName(stage)).constData());
    }
    // Two starts at once take each folder once: one after the other.
    if (::flock(structure, LOCK_EX) != 0) {
        ::close(structure);
        return;
    }
    struct SetAside {
        int home;
        QString homePath;
        QByteArray name;
        QByteArray identifier;
        // The names from it down to the stages, or the stage it was.
        QList<QByteArray> below;
        const char *stage = nullptr;
    };
    const std::vector<SetAsideHome> homes = setAsideHomes();
    std::vector<SetAside> found;
    for (const SetAsideHome &home : homes) {
        for (const QByteArray &entry : namesIn(home.folder)) {
            if (home.below.isEmpty()) {
                for (const StageSource &source : stageSources) {
                    const QByteArray identifier = setAsideIdentifier(entry, source.stage);
                    if (!identifier.isEmpty())
                        found.push_back(
                            {home.folder, home.path, entry, identifier, {}, source.stage});
                }
            } else {
                const QByteArray identifier = setAsideIdentifier(entry, home.below.first());
                if (!identifier.isEmpty())
                    found.push_back(
                        {home.folder, home.path, entry, identifier, home.below.mid(1), nullptr});
            }
        }
    }
    const auto stageFolder = [this, structure](const char *stage) {
        return openChild(structure, QFile::encodeName(stageFolderName(QLatin1String(stage))));
    };
    // Moves the copies into the stages of ours (one already there stays as it is) and removes
    // the folder of copies.
    const auto moveCopiesIn = [&](const QByteArray &copiesName) {
        const int copies = openChild(structure, copiesName);
        if (copies < 0)
            return;
        for (const char *into : {"active", "processing", "prepared"}) {
            const int from = openChild(copies, into);
            const int to = from >= 0 ? stageFolder(into) : -1;
            for (const QByteArray &entry :
                 from >= 0 && to >= 0 ? namesIn(from) : std::vector<QByteArray>()) {
                if (::renameat2(from, entry.constData(), to, entry.constData(), RENAME_NOREPLACE) !=
                        0 &&
                    errno == EEXIST)
                    removeEntryAt(from, entry.constData());
            }
            if (from >= 0)
                ::close(from);
            if (to >= 0)
                ::close(to);
        }
        ::close(copies);
        removeEntryAt(structure, copiesName.constData());
    };
    // What a start cut off left: copies of a folder not yet marked are made again; those of a
    // marked one are moved in.
    for (const QByteArray &entry : namesIn(structure)) {
        if (!entry.startsWith(copiesPrefix))
            continue;
        const QByteArray identifier = entry.mid(copiesPrefix.size());
        const bool unmarked = std::ranges::any_of(
            found, [&identifier](const SetAside &aside) { return aside.identifier == identifier; });
        if (unmarked)
            removeEntryAt(structure, entry.constData());
        else
            moveCopiesIn(entry);
    }
    for (const SetAside &aside : found) {
        const QByteArray copiesName = copiesPrefix + aside.identifier;
        if (::mkdirat(structure, copiesName.constData(), 0700) != 0)
            continue;
        const int copies = openChild(structure, copiesName);
        int taken = 0;
        int left = 0;
        bool held = false;
        for (const StageSource &source : stageSources) {
            if (aside.stage && std::strcmp(aside.stage, source.stage) != 0)
                continue;
            // The stage inside the folder set aside, reached without a link.
            int folder = openChild(aside.home, aside.name);
            // One this user cannot enter is left whole.
            if (folder < 0 && errno == EACCES) {
                ++left;
                continue;
            }
            for (const QByteArray &name : aside.below) {
                const int next = folder >= 0 ? openChild(folder, name) : -1;
                if (folder >= 0)
                    ::close(folder);
                folder = next;
            }
            if (!aside.stage && folder >= 0) {
                const int next = openChild(folder, source.stage);
                ::close(folder);
                folder = next;
            }
            if (folder < 0)
                continue;
            ::mkdirat(copies, source.into, 0700);
            const int into = openChild(copies, source.into);
            const bool packages = std::strcmp(source.into, "prepared") == 0;
            for (const QByteArray &entry : namesIn(folder)) {
                struct stat status {
                };
                if (entry.startsWith('.') ||
                    ::fstatat(folder, entry.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                // Anything else there is no report: neither copied nor counted. (A package that
                // cannot be read is counted as left.)
                if (packages
                        ? !S_ISREG(status.st_mode) || !isPackageName(QFile::decodeName(entry)) ||
                              !looksLikePackageAt(folder, entry)
                        : !S_ISDIR(status.st_mode))
                    continue;
                if (!packages && isHeldAt(folder, entry.constData())) {
                    held = true;
                    continue;
                }
                const bool copied =
                    into >= 0 && (packages ? copyFileAt(folder, entry.constData(), into)
                                           : copyFolderAt(folder, entry.constData(), into));
                ++(copied ? taken : left);
            }
            if (into >= 0)
                ::close(into);
            ::close(folder);
        }
        if (copies >= 0)
            ::close(copies);
        const QString where = aside.homePath + QLatin1Char('/') + QFile::decodeName(aside.name);
        // A process still writing there: its folder is taken at a later start, with the rest.
        if (held || copies < 0) {
            removeEntryAt(structure, copiesName.constData());
            MSHLog("[FileManager]", QStringLiteral("Leaving the reports in %1 for a later start: "
                                                   "a running process holds one of them")
                                        .arg(where));
            continue;
        }
        const QByteArray marked = aside.name + takenSuffix;
        if (::renameat(aside.home, aside.name.constData(), aside.home, marked.constData()) != 0) {
            MSHLog("[FileManager]",
                   QStringLiteral("Unable to take the reports in %1 (%2)").arg(where, errorText()));
            removeEntryAt(structure, copiesName.constData());
            continue;
        }
        moveCopiesIn(copiesName);
        // A folder of ours goes once its reports are taken; another user's stays as it is.
        struct stat status {
        };
        const bool own =
            ::fstatat(aside.home, marked.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            status.st_uid == ::geteuid();
        if (own && left == 0)
            removeEntryAt(aside.home, marked.constData());
        MSHLog("[FileManager]",
               QStringLiteral("Took %1 report(s) set aside in %2 into %3 to be sent; %4 left "
                              "there, unreadable%5")
                   .arg(taken)
                   .arg(where, structurePath())
                   .arg(left)
                   .arg(own && left == 0 ? QString()
                                         : QStringLiteral(" (in %1/%2)")
                                               .arg(aside.homePath, QFile::decodeName(marked))));
    }
    for (const SetAsideHome &home : homes)
        ::close(home.folder);
    ::close(structure);
}

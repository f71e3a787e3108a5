#pragma once
// The file-system work of a document package that SQLite does not do: finding
// symbolic links inside a package, copying and writing files without ever
// following a link, flushing a folder's files in one step, and the numbers
// the attachment files already take.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include <unistd.h>

class TWAttachment;
class TWTransaction;

namespace TWPackageFiles
{

// An open descriptor, closed when it goes away.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting a failure (a late write error surfaces here).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// The settings a save writes beside "Settings.plist" before the database is
// committed; renamed over "Settings.plist" once it is.
inline const QString pendingSettingsFileName = QStringLiteral("Settings.plist.new");
// The key of the settings that holds the save generation; the database holds
// the same number as its user version.
inline const QString generationKey = QStringLiteral("packageGeneration");
// The key of the settings that holds the business's identity, which every
// copy of its package carries.
inline const QString identityKey = QStringLiteral("businessIdentity");

// The random token of the last save: the key of the settings that holds it,
// and the row of the database's info table that holds the same number.
inline const QString tokenKey = QStringLiteral("packageToken");
inline constexpr int tokenInfoRow = 3;
// A new save token: random, never 0 (no token).
qint64 newToken();

// The name ending of a business package folder.
inline const QString packageSuffix = QStringLiteral("tallyworth");

// The files a file manager leaves at the top of a folder it showed (how it
// showed it, thumbnails): none of the user's work and no part of a business,
// so they go with a package that is replaced.
inline const QStringList fileManagerFileNames = {
    QStringLiteral(".directory"), QStringLiteral(".DS_Store"), QStringLiteral("Thumbs.db")};

// Why a business package should not be kept at `path` (a real path): the
// program would not open it there, the Trash may be emptied, and a package
// inside another is saved where no one looks for it.
enum class UnfitPlace {
    None,
    NoPackageName, // its name does not end in the package suffix
    Trash,         // in the user's Trash ($XDG_DATA_HOME/Trash, .Trash-<uid> of a disk)
    InPackage,     // inside another business package
};
UnfitPlace unfitPlace(const QString &path);

// Whether `path` is named as a business package (its last name ends in the
// package suffix), whether or not anything is there.
bool hasPackageName(const QString &path);
// Whether `path` is a business package: a folder named with the package
// suffix, or a link to one. What a folder holds never makes it one: a stray
// "Data.sql" (a copy taken out of a package, an SQL dump) leaves its folder a
// plain folder.
bool isPackage(const QString &path);
// The outermost business package that holds `path` (never `path` itself):
// the outermost folder above it named as a package, through symbolic links as
// far as the path exists, and by its name alone where it does not exist yet.
// Empty when none does.
QString enclosingPackage(const QString &path);
// The absolute, clean path with symbolic links resolved as far as it exists,
// the rest kept as written. A ".." goes up from where the link before it
// leads, as the system takes it, never by striking out the link's name. A
// package is opened and saved at this path: the folders above it are the
// user's own (a Documents folder on another disk, a home reached through a
// link), and SQLite refuses any link on its way.
QString resolvedPath(const QString &path);
// The absolute path of a path a user gave (typed, chosen or on the command
// line) that names what the system would: "." and doubled slashes dropped as
// text, but a path with ".." resolved (resolvedPath), since striking out the
// name before ".." as text is wrong after a link.
QString absolutePath(const QString &path);

// The first entry of the package that is a symbolic link: "Data.sql", its
// journal, the settings (and pending settings), the "Attachments" folder and
// every entry in it. Empty when there is none.
QString firstSymbolicLink(const QString &packagePath);

// The first of the database's files in the package ("Data.sql" and the
// journal files SQLite would open beside it) that exists but is no regular
// file (a folder, a pipe, a device); empty when there is none.
QString firstIrregularDatabaseFile(const QString &packagePath);

// How many names the file at `path` has (hard links); 0 when it is missing.
qint64 linkCount(const QString &path);

// The save generation a stored number stands for: itself when a save could
// have written it (1 to 2147483647), 0 ("no generation") for anything else.
qint64 validGeneration(qint64 stored);
// The generation of the next save: after both the working copy's and the
// file's, wrapping to 1 after the largest, and never the file's own, so that
// pending settings of an unfinished save never match the database it did not
// replace.
qint64 nextGeneration(qint64 working, qint64 file);

// The largest attachment identifier an entry of `folder` starts with
// ("105.pdf", "105t.jpg", "105"); 0 when none does or the folder is missing.
// Numbers past the last identifier that leaves room for another are not
// identifiers of ours and are passed over.
qint64 highestNumberedEntry(const QString &folder);

// Replaces whatever is at `path` with `bytes` (a link is replaced, never
// written through); with `sync`, the file's data reach the disk before it
// returns. `reason` receives the failure.
bool writeFile(const QString &path, const QByteArray &bytes, bool sync, QString *reason);

// Whether `path` is (or a link there leads to) a regular file; found out
// without opening it, so a pipe or a device never blocks.
bool isRegularFile(const QString &path);

// The attachments whose files a save in place copies into the package: the
// stored ones, with their files there, of transactions whose attachments
// changed. The save's marker and the renumbering of taken names read the same
// list, so they never disagree on what the save writes.
QList<std::shared_ptr<TWAttachment>>
attachmentsToCopy(const QList<std::shared_ptr<TWTransaction>> &transactions);

// Copies `source` to `target` whole or not at all (a temporary file beside
// the target, renamed over it; no link followed at the target), without
// flushing: `syncFileSystem` flushes every copy of a save at once. Only a
// regular file is read (checked on the descriptor, opened without blocking).
bool copyFile(const QString &source, const QString &target, QString *reason);

// Flushes to disk every file written on the file system that holds `folder`
// (one call for all the attachment files of a save).
bool syncFileSystem(const QString &folder);
// Flushes the entries of `folder` (a rename or a new file in it).
bool syncFolder(const QString &folder);
// Makes room for the pending settings file at `path`: a folder there (no
// save makes one) is removed when empty and otherwise renamed aside, so that
// nothing in it is lost. False when the place stays taken.
bool clearPendingPlace(const QString &path);
// Locks the folder open as `fd` (flock), shared or exclusive, waiting up to
// `waitMilliseconds` for another process that holds it; false only when one
// kept it that long (or `fd` is none). On a file system that keeps no locks
// it goes on unlocked; `held` (when given) says whether the lock was taken.
// The lock goes with the descriptor.
bool lockFolder(int fd, bool exclusive, int waitMilliseconds, bool *held = nullptr);
// Installed by tests only: false makes lockFolder go on as on a file system
// that keeps no locks.
void setLocksKept(bool kept);
// Whether a process that holds a lock on the folder open as `fd` is known to
// be another running copy of this program (the same program file); false
// when it is another program or cannot be told.
bool lockHeldByThisProgram(int fd);

// The file a save in place keeps in the package's "Attachments" while it
// copies receipts, listing the receipt files it copies (one name a line): one
// found there says a save was cut off, and what it listed and left (receipts
// no transaction names, their copies' temporary files) is removed.
inline const QString savingMarkerFileName = QStringLiteral(".saving");
// Whether `name` is a temporary file of a receipt copy (see copyFile).
bool isCopyTemporaryName(const QString &name);
// Whether `name` is a temporary file of a copy of the receipt `receipt`.
bool isCopyTemporaryOf(const QString &name, const QString &receipt);
// Whether `name` is shaped as the program names receipt files: an
// identifier, "t" after it for a thumbnail, and an extension or none
// ("105.pdf", "105t.jpg", "105"), never a name a user would give.
bool isReceiptFileName(const QString &name);
// Whether a failure's `error` (an errno) says the disk is full.
bool isDiskFullErrno(int error);
// Whether it says the place cannot be written to (read-only, not permitted).
bool isReadOnlyErrno(int error);

// Renames `from` over `to` (a link at `to` is replaced, not followed).
bool renameFile(const QString &from, const QString &to);

// The moments of a save at which a test can stop it as if the process had
// died (nothing after the moment happens, nothing is cleaned up).
enum class SaveStep {
    PackageChecked, // checked against what the document read or wrote, before anything is written
    AttachmentsCopied,
    AttachmentsSynced,
    SettingsPending,
    DatabaseCommitted,
    SettingsRenamed,
    ReplaceSwapped, // a replace: the new package at the name, the old one beside it
};
// Installed by tests only; returns true to stop the save at `step`.
void setSaveStepHook(std::function<bool(SaveStep)> hook);
bool stopsAt(SaveStep step);

} // namespace TWPackageFiles

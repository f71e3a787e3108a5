#pragma once
// The file-system work of a document package that SQLite does not do: finding
// symbolic links inside a package, copying and writing files without ever
// following a link, flushing a folder's files in one step, and the numbers
// the attachment files already take.

#include <QByteArray>
#include <QString>

#include <functional>

namespace TWPackageFiles
{

// The settings a save writes beside "Settings.plist" before the database is
// committed; renamed over "Settings.plist" once it is.
inline const QString pendingSettingsFileName = QStringLiteral("Settings.plist.new");
// The key of the settings that holds the save generation; the database holds
// the same number as its user version.
inline const QString generationKey = QStringLiteral("packageGeneration");

// The first entry of the package that is a symbolic link: "Data.sql", its
// journal, the settings (and pending settings), the "Attachments" folder and
// every entry in it. Empty when there is none.
QString firstSymbolicLink(const QString &packagePath);

// The largest number an entry of `folder` starts with ("105.pdf", "105t.jpg",
// "105"); 0 when none does or the folder is missing.
qint64 highestNumberedEntry(const QString &folder);

// Replaces whatever is at `path` with `bytes` (a link is replaced, never
// written through); with `sync`, the file's data reach the disk before it
// returns. `reason` receives the failure.
bool writeFile(const QString &path, const QByteArray &bytes, bool sync, QString *reason);

// Copies `source` to `target` whole or not at all (a temporary file beside
// the target, renamed over it; no link followed at the target), without
// flushing: `syncFileSystem` flushes every copy of a save at once.
bool copyFile(const QString &source, const QString &target, QString *reason);

// Flushes to disk every file written on the file system that holds `folder`
// (one call for all the attachment files of a save).
bool syncFileSystem(const QString &folder);
// Flushes the entries of `folder` (a rename or a new file in it).
bool syncFolder(const QString &folder);
// Renames `from` over `to` (a link at `to` is replaced, not followed).
bool renameFile(const QString &from, const QString &to);

// The moments of a save at which a test can stop it as if the process had
// died (nothing after the moment happens, nothing is cleaned up).
enum class SaveStep {
    AttachmentsCopied,
    AttachmentsSynced,
    SettingsPending,
    DatabaseCommitted,
    SettingsRenamed,
};
// Installed by tests only; returns true to stop the save at `step`.
void setSaveStepHook(std::function<bool(SaveStep)> hook);
bool stopsAt(SaveStep step);

} // namespace TWPackageFiles

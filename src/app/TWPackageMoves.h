#pragma once
// Moving whole business packages on disk without ever losing one: copies go
// to a hidden sibling first and take the target's place only when complete;
// a replaced package is removed entry by entry, never by deleting a folder
// tree it does not know.

#include <QString>

#include <functional>

namespace TWPackageMoves
{

// Whether `path` is `original`, lies inside it, or holds it.
bool overlaps(const QString &path, const QString &original);

// The start of the hidden names beside `target` for work of `purpose`:
// ".<target's name>.<purpose>-", the target's name shortened (never within a
// letter) so that the name, its random part and a ".lock" after it fit the
// longest name a folder entry can have.
QString workNamePrefix(const QString &target, const QString &purpose);
// The length of the random part temporarySibling puts after that prefix.
inline constexpr qsizetype workNameRandomLength = 8;

// A free hidden name beside `target` for work in progress.
QString temporarySibling(const QString &target, const QString &purpose);

// Copies the folder `source` with its files and subfolders to `destination`,
// which must not exist. Symbolic links are not followed. On failure what was
// copied is removed and `reason` says what went wrong.
bool copyFolder(const QString &source, const QString &destination, QString *reason);

// Puts the finished `replacement` at `target`. An existing target swaps
// names with the replacement in one step, then goes on to `aside` (when
// given) and is removed; where the file system cannot swap, it is first
// moved aside (to `aside`, else a free hidden name), then the replacement
// renamed into place, then the old one removed, and when that rename fails
// the old target is put back.
bool replace(const QString &replacement, const QString &target, QString *reason,
             const QString &aside = {});

// Whether the disk that holds `folder` has no room left for a file (no free
// block or no free file entry).
bool isDiskFull(const QString &folder);
// Installed by tests only: answers isDiskFull in the disk's place.
void setDiskFullQuery(std::function<bool(const QString &)> query);
// Installed by tests only: false makes replace go as on a file system
// without the one-step exchange (two renames).
void setExchangeAvailable(bool available);

// Removes a package the program wrote (its database, settings and attachment
// files, a file manager's own files at its top, then the folders, which must
// then be empty), or a plain file. Nothing is followed: a link, wherever it
// is, is removed as a link, and what it leads to stays. Entries it does not
// know stay, and so does their folder.
bool removePackage(const QString &path);

} // namespace TWPackageMoves

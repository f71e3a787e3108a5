#pragma once
// Keeps hold of a document's package folder by an open descriptor, so that
// the document knows its package under any name (same device and inode) and
// finds it again after the folder, or one above it, was renamed or moved; and
// stamps its database file, so that a save knows whether another program
// wrote it since.

#include <QByteArray>
#include <QString>

#include <optional>

class TWPackageAnchor final
{
public:
    TWPackageAnchor() = default;
    ~TWPackageAnchor();
    TWPackageAnchor(const TWPackageAnchor &) = delete;
    TWPackageAnchor &operator=(const TWPackageAnchor &) = delete;

    // Holds the folder at `path` (releasing any held before); holds nothing
    // when `path` is no folder.
    void hold(const QString &path);
    void release();
    bool isHeld() const { return m_fd >= 0; }

    // Whether `path` is the held folder, however it is named.
    bool isFolder(const QString &path) const;
    // Whether the held folder is `path` or lies anywhere inside it.
    bool isWithin(const QString &path) const;
    // Where the held folder is now (its real path); empty when it was
    // deleted or its place cannot be told.
    QString currentPath() const;
    // A new descriptor of the held folder that can be locked (flock); -1
    // when nothing is held or the folder cannot be read.
    int openFolder() const;

private:
    int m_fd = -1;
};

// What the last write of a package's database left in it: the random token a
// save of this program put in the database (0 for a database saved without
// one) and the database header (SQLite's file change counter, page count and
// the rest of its first 100 bytes), which every write of the file changes.
// Only the save that wrote a token can leave it there: a copy of the package
// saved elsewhere, or the file written in place by another program, keeps
// the same size and times often enough, but never this pair.
struct TWPackageMark {
    qint64 token = 0;
    QByteArray header;
    bool operator==(const TWPackageMark &) const = default;
    // Whether `other` is the file of the same save (the very same pair).
    bool sameSave(const TWPackageMark &other) const { return !header.isEmpty() && *this == other; }
    // The mark of the regular database file at `path` (no link followed),
    // read through SQLite so that a save cut off is rolled back first; none
    // when there is no such database. `busy` (when given) says whether that
    // is because another program kept the file locked past the wait.
    static std::optional<TWPackageMark> of(const QString &path, bool *busy = nullptr);
};

// What a business package holds, as the user is told of a copy found beside
// a business (a save cut off left it): the business's name, how many
// transactions it has and when its database was last written.
struct TWPackageContents {
    QString businessName;
    qint64 transactions = 0;
    qint64 writtenSeconds = 0; // since 1970, by the file's time
    // Read from the package at `path` (read only, no link followed); none
    // when it holds no business database that can be read.
    static std::optional<TWPackageContents> of(const QString &path);
};

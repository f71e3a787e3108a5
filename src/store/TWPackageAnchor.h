#pragma once
// Keeps hold of a document's package folder by an open descriptor, so that
// the document knows its package under any name (same device and inode) and
// finds it again after the folder, or one above it, was renamed or moved; and
// stamps its database file, so that a save knows whether another program
// wrote it since.

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

private:
    int m_fd = -1;
};

// A package's database file as it is on disk: which file it is (device and
// inode), its size, when it was last written, and the save generation its
// header holds (read without SQLite, taking no lock). Two stamps alike mean
// nothing wrote the file in between; `sameSave` tells whether two files hold
// what one save wrote, wherever they are.
struct TWDatabaseStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 generation = 0;
    bool operator==(const TWDatabaseStamp &) const = default;
    bool sameFile(const TWDatabaseStamp &other) const
    {
        return device == other.device && inode == other.inode;
    }
    bool sameSave(const TWDatabaseStamp &other) const
    {
        return generation != 0 && generation == other.generation && size == other.size;
    }
    // The stamp of the regular file at `path` (no link followed); none when
    // there is no such file.
    static std::optional<TWDatabaseStamp> of(const QString &path);
};

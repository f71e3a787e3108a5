#pragma once
// Keeps hold of a document's package folder by an open descriptor, so that
// the document knows its package under any name (same device and inode) and
// finds it again after the folder, or one above it, was renamed or moved.

#include <QString>

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

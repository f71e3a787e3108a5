#pragma once
// The file manager's steps on open folders, shared by its parts: listing a folder's names,
// removing an entry as what it is, telling a mounted folder, naming a folder set aside.

#include <QByteArray>
#include <QString>

#include <vector>

namespace MSHFolderSteps
{

// The names in the open folder (its descriptor stays open), "." and ".." left out.
std::vector<QByteArray> namesIn(int folder);
// Removes the entry of the open folder as what it is, a folder however deep; nothing on another
// file system is touched.
bool removeEntryAt(int parent, const char *name);
// Whether a file system is mounted at the entry of the open folder.
bool isMountRootAt(int folder, const char *name);
// Whether the entry of the open folder lies on another file system, or another mount of one,
// than the folder itself.
bool isOtherFileSystemAt(int folder, const char *name);
QString errorText();
// Gives the owner read, write and search permission on the folder entry of ours that lacks them,
// never through a link.
void openUpOwnFolder(int parent, const char *name);
// Closes the descriptor and leaves errno as it was.
void closeKeepingError(int descriptor);
// ".NAME.set-aside-" and 32 random hexadecimal digits.
QByteArray setAsideName(const QByteArray &name);

} // namespace MSHFolderSteps

#pragma once
// Names of files written into folders: made safe from text that came from
// outside or from the user, and kept distinct from the names already taken.

#include <QSet>
#include <QString>

namespace TWFileNames
{

// A name not yet in `fileNames` ("a.txt", "a-2.txt", "a-3.txt" ...; "readme",
// "readme-2." with the dot), which is added to the set.
QString uniqueFileName(const QString &name, QSet<QString> &fileNames);

// `name` reduced to one path component that is safe to create inside a
// folder: "/", NUL and control characters become "-", "." and ".." (and
// an empty result) become "_", and the result is cut at a character
// boundary to at most 255 UTF-8 bytes. Every file name made from text
// that came from outside or from the user goes through here.
QString safeFileName(const QString &name);

} // namespace TWFileNames

#pragma once
// Puts a finished export in place without losing what was there. One file is
// written beside its target and renamed over it; an export folder (the export
// file and its "Attachments") is built whole in a temporary folder beside the
// target and swapped in only once complete. What stands at the target is
// replaced only when it is a file, a link (replaced as a link, never followed)
// or an earlier export folder; anything else is refused, and on any failure
// the temporary files go and the target stays as it was.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

// One attachment file to copy into the export's "Attachments" folder.
struct TWExportAttachmentCopy {
    QString sourcePath;
    QString fileName; // one safe path component, unique within the export
};

class TWExportFiles
{
public:
    // Writes the export's bytes into an open file; answers an error to stop.
    using Producer = std::function<TWErrorResult(QIODevice &file)>;

    // `path` becomes a file holding what `produce` writes. `earlierBaseName`
    // names the export file an earlier export folder at `path` would hold
    // ("transactions"), so that such a folder may be replaced.
    static TWErrorResult writeFile(const QString &path, const QString &earlierBaseName,
                                   const Producer &produce);
    static TWErrorResult writeFile(const QString &path, const QString &earlierBaseName,
                                   const QByteArray &data);

    // `path` becomes a folder holding `exportFileName` (what `produce` writes)
    // and an "Attachments" folder with the copies.
    static TWErrorResult writeFolder(const QString &path, const QString &exportFileName,
                                     const Producer &produce,
                                     const QList<TWExportAttachmentCopy> &attachments);

    // Whether the folder at `path` is an earlier export: nothing in it but one
    // regular file named `baseName` with an export extension and an
    // "Attachments" folder holding regular files only. Links never qualify.
    static bool isEarlierExport(const QString &path, const QString &baseName);

    // The extensions an export file can carry.
    static const QStringList &exportExtensions();
};

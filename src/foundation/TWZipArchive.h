#pragma once
// Writes a zip archive: each entry deflated, dated in the zip's DOS date and
// time fields, its name stored as UTF-8 and flagged as such.

#include "foundation/TWError.h"
#include "foundation/TWZipError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

class TWZipArchive
{
public:
    TWZipArchive() = default;
    ~TWZipArchive();
    TWZipArchive(const TWZipArchive &) = delete;
    TWZipArchive &operator=(const TWZipArchive &) = delete;

    static std::shared_ptr<TWZipArchive> zipArchive();

    // Creates a new, empty archive at `path`, replacing a file of that name
    // (and closing an archive that was open).
    bool createZipFile(const QString &path);
    // Adds one entry holding `data`, dated now.
    bool addFileDataToZip(const QByteArray &data, const QString &name);
    // Adds the file's bytes as one entry, dated with the file's modification
    // time.
    bool addFileToZip(const QString &filePath, const QString &name);
    // Finishes and closes the archive; true on success.
    bool close();

    // 1 January 1980, 00:00 local time: the earliest date a zip entry holds.
    static QDateTime referenceDate();

    // Creates the archive, adds the one file under `contentFileName`, closes.
    static bool zipArchiveWithFilePath(const QString &archivePath, const QString &contentFilePath,
                                       const QString &contentFileName);

    // Why the last call failed; empty after a success.
    const TWErrorResult &error() const { return m_error; }

private:
    bool addEntry(const QByteArray &data, const QString &name, const QDateTime &modified);
    bool fail(TWZipErrorCode code, const QString &subject);

    void *m_file = nullptr; // the minizip writing handle
    QString m_path;
    TWErrorResult m_error;
};

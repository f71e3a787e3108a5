#pragma once
// Reads a zip archive entry by entry, into memory or into a file. Invoice
// layout packages come from outside, so the reader counts entries and
// inflated bytes as it goes (the archive's own size fields are not trusted),
// refuses names that could escape a folder, and never reports a damaged or
// refused entry as read.

#include "foundation/TWError.h"
#include "foundation/TWZipError.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// How much one reader accepts before it refuses the archive.
struct TWUnZipLimits {
    qint64 maximumEntryCount = 10000;
    qint64 maximumEntrySize = 128LL * 1024 * 1024; // inflated bytes of one entry
    qint64 maximumTotalSize = 512LL * 1024 * 1024; // inflated bytes of all entries read
};

struct TWUnZipMemoryStream;

class TWUnZipArchive
{
public:
    explicit TWUnZipArchive(const TWUnZipLimits &limits = TWUnZipLimits());
    ~TWUnZipArchive();
    TWUnZipArchive(const TWUnZipArchive &) = delete;
    TWUnZipArchive &operator=(const TWUnZipArchive &) = delete;

    // A new reader with no archive open.
    static std::shared_ptr<TWUnZipArchive> unZipArchive();

    // Opens the archive and positions it on its first entry (closing one that
    // was open); false when it cannot be opened or holds too many entries.
    bool openZipFile(const QString &path);
    // The same over bytes already in memory (a layout package read whole);
    // the reader keeps its own reference to them while the archive is open.
    // Errors name the archive "<memory>".
    bool openZipData(const QByteArray &data);

    // Reads the current entry whole into memory and moves to the next entry.
    // False at the end of the archive (error() empty) and on every failure
    // (error() says why; `data` is then empty). Reading a whole archive:
    // call until it returns false; the call for the last entry sets
    // endOfFile().
    bool readNextFileData(QByteArray *data, QString *name);
    // The same, writing the entry's bytes into the file at `path`: a missing
    // file is created, an existing one replaced, and only once the whole entry
    // was read and checked; after a failure the file is as it was.
    bool readNextFile(const QString &path, QString *name);

    // Closes the archive; true when one was open and closed cleanly.
    bool close();

    // Opens the archive, writes its first entry to `contentFilePath`, closes.
    static bool unZipArchiveWithFilePath(const QString &archivePath, const QString &contentFilePath,
                                         const TWUnZipLimits &limits = TWUnZipLimits());

    bool endOfFile() const { return m_endOfFile; }
    // Why the last call failed; empty after a success or the clean end.
    const TWErrorResult &error() const { return m_error; }

    const TWUnZipLimits &limits() const { return m_limits; }
    void setLimits(const TWUnZipLimits &limits) { m_limits = limits; }

private:
    // Takes each inflated piece of the entry; false stops the read.
    using Sink = std::function<bool(const char *bytes, qsizetype length)>;
    bool readEntry(const Sink &sink, QString *name);
    bool fail(TWZipErrorCode code, const QString &subject);
    bool openWith(const QString &path, void *fileFunctions);

    void *m_file = nullptr; // the minizip reading handle
    // What openZipData reads from: the bytes and the reading position.
    std::unique_ptr<TWUnZipMemoryStream> m_memory;
    QString m_path;
    bool m_endOfFile = false;
    qint64 m_entriesRead = 0;
    qint64 m_bytesRead = 0;
    TWUnZipLimits m_limits;
    TWErrorResult m_error;
};

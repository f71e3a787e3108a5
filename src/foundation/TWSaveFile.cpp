#include "foundation/TWSaveFile.h"

#include <QSaveFile>

TWErrorResult twCommitSaveFile(QSaveFile &file, bool written)
{
    const auto failure = [&file] {
        return TWError(QStringLiteral("TWSaveFileErrorDomain"), qint64(file.error()),
                       file.errorString());
    };
    if (!file.isOpen())
        return failure();
    // The bytes reach the disk only when the buffer is flushed, and commit() renames the
    // temporary file even after a failed flush, so the flush is checked here, first.
    if (!written || !file.flush() || file.error() != QFileDevice::NoError) {
        // cancelWriting() replaces the device's reason with its own: keep the first.
        TWError error = failure();
        file.cancelWriting();
        // A cancelled commit() discards the temporary file and leaves the target alone.
        file.commit();
        return error;
    }
    if (!file.commit())
        return failure();
    return std::nullopt;
}

// Reports that can never be sent are kept only within bounds: how many, and how old.

#include "crashreporting/common/MSHFileManager.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

QStringList MSHFileManager::entriesBeyondBounds(const QString &directory, int keep,
                                                qint64 maximumAgeSeconds) const
{
    return entriesBeyondBounds(directory, keep, maximumAgeSeconds, {});
}

QStringList
MSHFileManager::entriesBeyondBounds(const QString &directory, int keep, qint64 maximumAgeSeconds,
                                    const std::function<bool(const QString &)> &counts) const
{
    struct Entry {
        QString path;
        qint64 modified;
    };
    std::vector<Entry> entries;
    const int folder = openFolder(directory);
    for (const QString &path : contentsOfDirectory(directory)) {
        if (counts && !counts(path))
            continue;
        struct stat status {
        };
        // The entry itself (a link is dated by the link): anything unreadable counts as oldest.
        const qint64 modified =
            folder >= 0 &&
                    ::fstatat(folder, QFile::encodeName(QFileInfo(path).fileName()).constData(),
                              &status, AT_SYMLINK_NOFOLLOW) == 0
                ? qint64(status.st_mtime)
                : 0;
        entries.push_back({path, modified});
    }
    if (folder >= 0)
        ::close(folder);
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.modified > b.modified; });
    const qint64 oldest = QDateTime::currentSecsSinceEpoch() - maximumAgeSeconds;
    QStringList beyond;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (int(i) >= keep || entries[i].modified < oldest)
            beyond.append(entries[i].path);
    }
    return beyond;
}

int MSHFileManager::pruneDirectory(const QString &directory, int keep, qint64 maximumAgeSeconds)
{
    int removed = 0;
    for (const QString &path : entriesBeyondBounds(directory, keep, maximumAgeSeconds)) {
        if (removeItemAtPath(path))
            ++removed;
    }
    return removed;
}

QStringList
MSHFileManager::reportsBeyondBounds(const std::function<bool(const QString &)> &isReport) const
{
    const QSet<QString> settled = settledPaths();
    const auto kept = [&settled](const QString &path) { return !settled.contains(path); };
    // Only reports and packages count: anything else there pushes none of them out.
    QStringList beyond;
    for (const QString &folder : {activePath(), processingPath()})
        beyond += entriesBeyondBounds(
            folder, reportsKept, reportsMaximumAgeSeconds,
            [&](const QString &path) { return kept(path) && (!isReport || isReport(path)); });
    const auto isPackage = [this, &kept](const QString &path) {
        struct stat status {
        };
        return kept(path) && isPackageName(QFileInfo(path).fileName()) &&
               entryStatus(path, status) && S_ISREG(status.st_mode);
    };
    for (const QString &folder : {preparedPath(), outgoingPath()})
        beyond += entriesBeyondBounds(folder, reportsKept, reportsMaximumAgeSeconds, isPackage);
    return beyond;
}

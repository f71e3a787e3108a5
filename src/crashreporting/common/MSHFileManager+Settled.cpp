// The record of settled reports: report folders that took no rename, claimed for their package by
// a line instead, and packages sent that took no removal. Each line names a stage folder's own
// child, relative to the structure folder, and is written whole under a lock on that folder.

#include "crashreporting/common/MSHFileManager.h"

#include "crashreporting/common/MSHLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace
{

QString errorText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString join(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

const QString packageExtension = QStringLiteral(".multipartmime");

// A name a stage folder's own child may have: one component, not hidden (hidden names are the
// component's passing ones), and nothing that would break a line of the settled record.
bool isChildName(const QString &name)
{
    if (name.isEmpty() || name.size() > 255 || name.startsWith(QLatin1Char('.')))
        return false;
    return std::ranges::none_of(name, [](QChar c) {
        return c == QLatin1Char('/') || c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}

} // namespace

QString MSHFileManager::settledRecordPath() const
{
    return join(structurePath(), QStringLiteral("settled"));
}

QStringList MSHFileManager::readSettled() const
{
    // Read on its descriptor: a regular file of ours, of one name, and small.
    const int descriptor = openEntry(settledRecordPath(), O_RDONLY | O_NONBLOCK);
    if (descriptor < 0)
        return {};
    struct stat status {
    };
    QFile file;
    QStringList lines;
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
        status.st_size <= 1 << 20 &&
        file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lines.append(QString::fromUtf8(line));
        }
        return lines;
    }
    ::close(descriptor);
    return lines;
}

bool MSHFileManager::changeSettled(const std::function<void(QStringList &)> &change)
{
    const int structure = openStructure(false);
    if (structure < 0 || ::flock(structure, LOCK_EX) != 0) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to write %1 (%2)").arg(settledRecordPath(), errorText()));
        if (structure >= 0)
            ::close(structure);
        return false;
    }
    QStringList lines = readSettled();
    change(lines);
    // Written whole under a hidden name, then put in place, both in the structure folder held
    // open under the lock.
    const QByteArray temporary = QByteArrayLiteral(".settled.") + QByteArray::number(::getpid());
    ::unlinkat(structure, temporary.constData(), 0);
    const int descriptor = ::openat(structure, temporary.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    QFile file;
    bool written = descriptor >= 0 &&
                   file.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    if (written) {
        for (const QString &line : std::as_const(lines))
            written = written && file.write(line.toUtf8() + '\n') >= 0;
        written = file.flush() && written && ::fsync(descriptor) == 0;
        file.close();
    } else if (descriptor >= 0) {
        ::close(descriptor);
    }
    written = written && ::renameat(structure, temporary.constData(), structure, "settled") == 0;
    if (!written) {
        MSHLog("[FileManager]",
               QStringLiteral("Unable to write %1 (%2)").arg(settledRecordPath(), errorText()));
        ::unlinkat(structure, temporary.constData(), 0);
    }
    ::close(structure);
    return written;
}

std::optional<MSHFileManager::SettledEntry> MSHFileManager::settledEntry(const QString &line) const
{
    const QStringList fields = line.split(QLatin1Char(' '));
    // "folder STAGE/NAME BOUNDARY": a report folder of active or processing, by its own name.
    if (fields.size() == 3 && fields[0] == QStringLiteral("folder")) {
        const QStringList place = fields[1].split(QLatin1Char('/'));
        if (place.size() != 2 || !isChildName(place[1]) ||
            !isPackageName(fields[2] + packageExtension) ||
            (place[0] != stageFolderName(QStringLiteral("active")) &&
             place[0] != stageFolderName(QStringLiteral("processing"))))
            return std::nullopt;
        return SettledEntry{{join(join(structurePath(), place[0]), place[1])}, fields[2], true};
    }
    // "package BOUNDARY": sent from prepared, or from outgoing when prepared took none.
    if (fields.size() == 2 && fields[0] == QStringLiteral("package") &&
        isPackageName(fields[1] + packageExtension))
        return SettledEntry{{join(preparedPath(), fields[1] + packageExtension),
                             join(outgoingPath(), fields[1] + packageExtension)},
                            QString(),
                            false};
    return std::nullopt;
}

QSet<QString> MSHFileManager::settledPaths() const
{
    QSet<QString> paths;
    for (const QString &line : readSettled()) {
        if (const std::optional<SettledEntry> entry = settledEntry(line)) {
            for (const QString &path : entry->paths)
                paths.insert(path);
        }
    }
    return paths;
}

bool MSHFileManager::isSettled(const QString &path) const
{
    return settledPaths().contains(QDir::cleanPath(path));
}

namespace
{

// "folder STAGE/NAME BOUNDARY": the folder relative to the structure folder.
QString settledFolderLine(const QString &structure, const QString &folderPath,
                          const QString &boundary)
{
    const QString relative = QDir(structure).relativeFilePath(QDir::cleanPath(folderPath));
    return QStringLiteral("folder %1 %2").arg(relative, boundary);
}

} // namespace

bool MSHFileManager::settleFolder(const QString &folderPath, const QString &boundary)
{
    const QString line = settledFolderLine(structurePath(), folderPath, boundary);
    // Only a line that reads back as this folder: any other would be dropped at the next start.
    const std::optional<SettledEntry> entry = settledEntry(line);
    if (!entry || entry->paths.first() != QDir::cleanPath(folderPath)) {
        MSHLog(
            "[FileManager]",
            QStringLiteral("Unable to record %1: not a report folder of a stage").arg(folderPath));
        return false;
    }
    return changeSettled([&line](QStringList &lines) { lines.append(line); });
}

void MSHFileManager::unsettleFolder(const QString &folderPath, const QString &boundary)
{
    const QString line = settledFolderLine(structurePath(), folderPath, boundary);
    changeSettled([&line](QStringList &lines) { lines.removeAll(line); });
}

bool MSHFileManager::settlePackage(const QString &packagePath)
{
    const QString line = QStringLiteral("package ") +
                         QFileInfo(packagePath).fileName().chopped(packageExtension.size());
    return changeSettled([&line](QStringList &lines) {
        if (!lines.contains(line))
            lines.append(line);
    });
}

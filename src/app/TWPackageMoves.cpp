#include "app/TWPackageMoves.h"

#include "store/TWPackageFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace TWPackageMoves
{

bool overlaps(const QString &path, const QString &original)
{
    const QString a = TWPackageFiles::resolvedPath(path);
    const QString b = TWPackageFiles::resolvedPath(original);
    const auto inside = [](const QString &child, const QString &parent) {
        return child == parent ||
               child.startsWith(parent.endsWith(QLatin1Char('/')) ? parent
                                                                  : parent + QLatin1Char('/'));
    };
    return inside(a, b) || inside(b, a);
}

QString temporarySibling(const QString &target, const QString &purpose)
{
    const QFileInfo info(target);
    const QDir dir = info.absoluteDir();
    for (;;) {
        const QString name =
            QStringLiteral(".%1.%2-%3")
                .arg(info.fileName(), purpose, QUuid::createUuid().toString(QUuid::Id128).left(8));
        const QString candidate = dir.filePath(name);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

namespace
{

bool copyInto(const QString &source, const QString &destination, QString *reason)
{
    if (!QDir().mkdir(destination)) {
        *reason = QStringLiteral("mkdir %1").arg(destination);
        return false;
    }
    const QDir from(source);
    const QFileInfoList entries =
        from.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString target = QDir(destination).filePath(entry.fileName());
        if (entry.isSymLink())
            continue;
        if (entry.isDir()) {
            if (!copyInto(entry.filePath(), target, reason))
                return false;
        } else if (entry.isFile()) {
            QFile file(entry.filePath());
            if (!file.copy(target)) {
                *reason = file.errorString();
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool copyFolder(const QString &source, const QString &destination, QString *reason)
{
    QString why;
    if (QFileInfo::exists(destination)) {
        why = QStringLiteral("exists");
    } else if (copyInto(source, destination, &why)) {
        return true;
    } else {
        // Only what this call made goes away.
        QDir(destination).removeRecursively();
    }
    if (reason)
        *reason = why;
    return false;
}

bool replace(const QString &replacement, const QString &target, QString *reason)
{
    const QFileInfo existing(target);
    QString aside;
    if (existing.exists() || existing.isSymLink()) {
        aside = temporarySibling(target, QStringLiteral("replaced"));
        if (!QFile::rename(target, aside) && !QDir().rename(target, aside)) {
            if (reason)
                *reason = QStringLiteral("rename %1").arg(target);
            return false;
        }
    }
    if (!QDir().rename(replacement, target)) {
        if (!aside.isEmpty())
            QDir().rename(aside, target);
        if (reason)
            *reason = QStringLiteral("rename %1").arg(replacement);
        return false;
    }
    if (!aside.isEmpty())
        removePackage(aside);
    return true;
}

bool removePackage(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile())
        return QFile::remove(path);
    if (!info.isDir())
        return !info.exists();
    const QDir package(path);
    for (const char *name :
         {"Data.sql", "Data.sql-journal", "Settings.plist", "Settings.plist.new"})
        QFile::remove(package.filePath(QLatin1String(name)));
    const QDir attachments(package.filePath(QStringLiteral("Attachments")));
    if (attachments.exists()) {
        const QFileInfoList files =
            attachments.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo &file : files)
            QFile::remove(file.filePath());
        QDir().rmdir(attachments.path());
    }
    return QDir().rmdir(path);
}

} // namespace TWPackageMoves

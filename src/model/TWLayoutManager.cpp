#include "model/TWLayoutManager.h"

#include "foundation/TWFileNames.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWZipError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{

const QString kFileErrorDomain = QStringLiteral("File System Error");
const QString kExtension = QStringLiteral("twlayout");

TWError fileError(const char *key, const QString &path, int code)
{
    return TWError(kFileErrorDomain, code,
                   TWLocalized(key).arg(path, QString::fromLocal8Bit(std::strerror(code))));
}

} // namespace

TWLayoutManager &TWLayoutManager::layoutManager()
{
    static TWLayoutManager *shared = [] {
        auto *manager = new TWLayoutManager();
        manager->update();
        return manager;
    }();
    return *shared;
}

QString TWLayoutManager::builtInLayoutsFolder()
{
    return QStringLiteral(":/Layouts/Invoice/");
}

QString TWLayoutManager::userLayoutsFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return data + QStringLiteral("/tallyworth/Layouts/Invoice/");
}

void TWLayoutManager::sort()
{
    std::stable_sort(m_layouts.begin(), m_layouts.end(),
                     [](const TWLayoutPtr &a, const TWLayoutPtr &b) { return a->compare(*b) < 0; });
}

TWErrorResult TWLayoutManager::update()
{
    m_layouts.clear();
    m_layouts.reserve(10);
    const QDir builtIn(builtInLayoutsFolder());
    for (const QFileInfo &entry :
         builtIn.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
        m_layouts.append(TWLayout::layoutWithPath(entry.filePath(), 0, TWLayoutKindBuiltIn));

    const QString userFolder = userLayoutsFolder();
    if (!userFolder.isEmpty()) {
        const QDir user(userFolder);
        for (const QFileInfo &entry : user.entryInfoList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name)) {
            // Only regular files (or links to them): a pipe or a device
            // under a layout's name is no package and could block a reader.
            if (entry.suffix().compare(kExtension, Qt::CaseInsensitive) == 0 && entry.isFile())
                m_layouts.append(TWLayout::layoutWithPath(entry.filePath(), 0, TWLayoutKindUser));
        }
    }
    sort();
    return std::nullopt;
}

TWLayoutPtr TWLayoutManager::layoutWithName(const QString &name) const
{
    for (const TWLayoutPtr &layout : m_layouts) {
        if (layout->name() == name)
            return layout;
    }
    return nullptr;
}

TWLayoutPtr TWLayoutManager::defaultLayout() const
{
    return layoutWithName(kDefaultLayoutName);
}

TWErrorResult TWLayoutManager::addLayout(const TWLayoutPtr &layout)
{
    if (!layout)
        return std::nullopt;
    QSet<QString> names;
    for (const TWLayoutPtr &listed : m_layouts)
        names.insert(listed->name().toUpper());

    // The picked file's name, reduced to one component that stays inside the
    // folder.
    const QString picked = TWFileNames::safeFileName(QFileInfo(layout->path()).fileName());
    const qsizetype dot = picked.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? picked.left(dot) : picked;
    const QString extension = dot > 0 ? picked.mid(dot + 1) : QString();
    QString fileName = picked;
    if (names.contains(base.toUpper())) {
        for (qint64 n = 1;; ++n) {
            const QString numbered = QStringLiteral("%1-%2").arg(base).arg(n);
            if (!names.contains(numbered.toUpper())) {
                fileName = TWFileNames::safeFileName(
                    extension.isEmpty() ? numbered : numbered + QLatin1Char('.') + extension);
                break;
            }
        }
    }

    const QString folder = userLayoutsFolder();
    if (folder.isEmpty())
        return fileError("layoutFolderUnavailable", folder, ENOENT);
    if (!QDir().mkpath(folder))
        return fileError("layoutFolderCannotCreate", folder, errno ? errno : EACCES);

    QFile source;
    if (layout->path().startsWith(QLatin1Char(':'))) {
        source.setFileName(layout->path());
        if (!source.open(QIODevice::ReadOnly))
            return fileError("layoutCannotCopy", layout->path(), ENOENT);
    } else {
        TWErrorResult refused;
        const int fd = TWLayout::openRegularFile(layout->path(), &refused);
        if (fd < 0)
            return refused;
        if (!source.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return fileError("layoutCannotCopy", layout->path(), EIO);
        }
    }
    // Copy under a temporary name in the folder, then link it into place:
    // link() never replaces an existing file, and a failed copy leaves
    // nothing behind.
    QTemporaryFile temporary(folder + QStringLiteral(".adding-XXXXXX"));
    if (!temporary.open())
        return fileError("layoutCannotCopy", folder, errno ? errno : EACCES);
    qint64 copied = 0;
    for (;;) {
        const QByteArray piece = source.read(1 << 20);
        if (piece.isEmpty()) {
            if (source.error() != QFileDevice::NoError)
                return fileError("layoutCannotCopy", layout->path(), EIO);
            break;
        }
        // No package a loader would accept is larger; a file that grows
        // without end stops here.
        copied += piece.size();
        if (copied > TWLayout::kMaximumPackageSize)
            return TWZipErrorRecord(TWZipErrorTotalTooLarge, layout->path());
        if (temporary.write(piece) != piece.size())
            return fileError("layoutCannotCopy", temporary.fileName(), ENOSPC);
    }
    if (!temporary.flush())
        return fileError("layoutCannotCopy", temporary.fileName(), EIO);
    const QString target = QDir(folder).filePath(fileName);
    if (::link(QFile::encodeName(temporary.fileName()).constData(),
               QFile::encodeName(target).constData()) != 0)
        return fileError("layoutCannotCopy", target, errno);
    // The temporary name goes with `temporary`; the package stays at `target`.

    // Listed at once under the name the next rescan gives it, so that it is
    // told apart from the layout it was named after and a second copy is
    // numbered past it.
    layout->setPath(target);
    layout->setName(QFileInfo(target).completeBaseName());
    m_layouts.append(layout);
    sort();
    return std::nullopt;
}

TWErrorResult TWLayoutManager::deleteLayout(const TWLayoutPtr &layout)
{
    if (!layout || layout->kind() != TWLayoutKindUser)
        return std::nullopt;
    const QString path = layout->path();
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        // A link is removed as a link; a folder is never emptied.
        if (info.isDir() && !info.isSymLink())
            return fileError("layoutCannotDelete", path, EISDIR);
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
            return fileError("layoutCannotDelete", path, errno);
    }
    m_layouts.removeIf([&layout](const TWLayoutPtr &listed) { return listed == layout; });
    return std::nullopt;
}

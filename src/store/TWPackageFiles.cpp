#include "store/TWPackageFiles.h"

#include "foundation/TWLocalized.h"
#include "model/TWAttachment.h"
#include "model/TWTransaction.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

constexpr qsizetype kCopyChunkSize = 1 << 20;
constexpr qint64 kLastIdentifier = 0x7FFFFFFF;
// What the name of a receipt copy's temporary file holds after the receipt's
// own name.
const QString kCopyTemporaryInfix = QStringLiteral(".saving-");

std::function<bool(TWPackageFiles::SaveStep)> &saveStepHook()
{
    static std::function<bool(TWPackageFiles::SaveStep)> hook;
    return hook;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isLink(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// A new file at `path`, replacing a stale one left by an interrupted save
// (the name itself is removed, never what a link there points to).
int createFresh(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

} // namespace

namespace TWPackageFiles
{

bool hasPackageName(const QString &path)
{
    return QFileInfo(path).suffix().compare(packageSuffix, Qt::CaseInsensitive) == 0;
}

bool isPackage(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    // A link to a package is that package.
    return hasPackageName(path) || (info.isSymLink() && hasPackageName(info.canonicalFilePath()));
}

UnfitPlace unfitPlace(const QString &path)
{
    if (!hasPackageName(path))
        return UnfitPlace::NoPackageName;
    // The Trash of the home disk, and of any other disk: a folder
    // ".Trash-<uid>" at its top (or ".Trash/<uid>").
    QString home = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.local/share");
    const QString trash = resolvedPath(home + QStringLiteral("/Trash"));
    if (path.startsWith(trash + QLatin1Char('/')))
        return UnfitPlace::Trash;
    const QString uid = QString::number(::getuid());
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        if (names.at(i) == QStringLiteral(".Trash-") + uid ||
            (names.at(i) == QLatin1String(".Trash") && names.at(i + 1) == uid))
            return UnfitPlace::Trash;
    }
    if (!enclosingPackage(path).isEmpty())
        return UnfitPlace::InPackage;
    return UnfitPlace::None;
}

QString enclosingPackage(const QString &path)
{
    // The folders above, as they really are: a link to a package (or into
    // one) holds what the package holds. A package named above a path that
    // does not exist yet would be made by the save that writes the path.
    QString outermost;
    for (QString above = QFileInfo(resolvedPath(path)).absolutePath();;
         above = QFileInfo(above).absolutePath()) {
        if (hasPackageName(above))
            outermost = above;
        if (QFileInfo(above).isRoot())
            break;
    }
    return outermost;
}

QString resolvedPath(const QString &path)
{
    const QString absolute =
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    // Name by name from the root, each existing step resolved before the next
    // is taken, so that ".." leaves the folder a link leads to. From the first
    // name that does not exist, the rest is kept as written.
    QString resolved = QStringLiteral("/");
    const QStringList names = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (name == QLatin1String("."))
            continue;
        if (name == QLatin1String("..")) {
            resolved = QFileInfo(resolved).absolutePath();
            continue;
        }
        const QString next = QDir(resolved).filePath(name);
        const QString canonical = QFileInfo(next).canonicalFilePath();
        if (canonical.isEmpty()) {
            const QStringList rest = names.mid(i);
            return QDir::cleanPath(resolved + QLatin1Char('/') + rest.join(QLatin1Char('/')));
        }
        resolved = canonical;
    }
    return resolved;
}

QString absolutePath(const QString &path)
{
    const QString absolute =
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    if (absolute.split(QLatin1Char('/')).contains(QStringLiteral("..")))
        return resolvedPath(absolute);
    return QDir::cleanPath(absolute);
}

QString firstSymbolicLink(const QString &packagePath)
{
    const QDir package(packagePath);
    for (const QString &entry : {QStringLiteral("Data.sql"), QStringLiteral("Data.sql-journal"),
                                 QStringLiteral("Settings.plist"), pendingSettingsFileName,
                                 QStringLiteral("Attachments")}) {
        const QString path = package.filePath(entry);
        if (isLink(path))
            return path;
    }
    const QDir attachments(package.filePath(QStringLiteral("Attachments")));
    const QFileInfoList infos = attachments.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : infos) {
        if (info.isSymLink() || isLink(info.filePath()))
            return info.filePath();
    }
    return {};
}

QString firstIrregularDatabaseFile(const QString &packagePath)
{
    const QDir package(packagePath);
    for (const QString &entry : {QStringLiteral("Data.sql"), QStringLiteral("Data.sql-journal"),
                                 QStringLiteral("Data.sql-wal"), QStringLiteral("Data.sql-shm")}) {
        const QString path = package.filePath(entry);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
            return path;
    }
    return {};
}

qint64 linkCount(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return qint64(info.st_nlink);
}

qint64 validGeneration(qint64 stored)
{
    return stored >= 1 && stored <= kLastIdentifier ? stored : 0;
}

qint64 nextGeneration(qint64 working, qint64 file)
{
    const auto after = [](qint64 generation) {
        return generation >= kLastIdentifier ? 1 : generation + 1;
    };
    const qint64 fileGeneration = validGeneration(file);
    qint64 next = after(std::max(validGeneration(working), fileGeneration));
    if (next == fileGeneration)
        next = after(next);
    return next;
}

qint64 highestNumberedEntry(const QString &folder)
{
    if (folder.isEmpty())
        return 0;
    qint64 highest = 0;
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        qint64 number = 0;
        qsizetype i = 0;
        // Identifiers are 32-bit: ten digits are enough to read any of them.
        for (; i < name.size() && i < 10 && name.at(i).isDigit() && name.at(i).unicode() < 128; ++i)
            number = number * 10 + (name.at(i).unicode() - u'0');
        if (i > 0 && number < kLastIdentifier)
            highest = std::max(highest, number);
    }
    return highest;
}

bool writeFile(const QString &path, const QByteArray &bytes, bool sync, QString *reason)
{
    Descriptor out(createFresh(path));
    if (out.get() < 0 || !writeAll(out.get(), bytes.constData(), bytes.size()) ||
        (sync && ::fdatasync(out.get()) != 0) || !out.close()) {
        if (reason)
            *reason = errnoText(errno);
        return false;
    }
    return true;
}

QList<std::shared_ptr<TWAttachment>>
attachmentsToCopy(const QList<std::shared_ptr<TWTransaction>> &transactions)
{
    QList<std::shared_ptr<TWAttachment>> copied;
    for (const std::shared_ptr<TWTransaction> &transaction : transactions) {
        if (!transaction || !transaction->dirtyAttachments() || !transaction->attachments())
            continue;
        for (const std::shared_ptr<TWAttachment> &attachment : *transaction->attachments())
            if (attachment && attachment->identifier() > 0 && isRegularFile(attachment->filePath()))
                copied.append(attachment);
    }
    return copied;
}

bool isRegularFile(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool copyFile(const QString &source, const QString &target, QString *reason)
{
    const auto fail = [reason](const QString &text) {
        if (reason)
            *reason = text;
        return false;
    };
    // Opened without blocking, so a pipe put in the file's place cannot hang
    // the save; only a regular file is read.
    const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errnoText(errno));
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(in.errorString());
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
        return fail(TWLocalized("attachmentNotAFile"));
    // A name of this copy's own: two saves never write one temporary file.
    QString temporary;
    int created = -1;
    for (int attempt = 0; created < 0 && attempt < 100; ++attempt) {
        temporary = QFileInfo(target).dir().filePath(
            QLatin1Char('.') + QFileInfo(target).fileName() + kCopyTemporaryInfix +
            QString::number(QRandomGenerator::system()->generate(), 16));
        created = ::open(QFile::encodeName(temporary).constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (created < 0 && errno != EEXIST)
            break;
    }
    Descriptor out(created);
    if (out.get() < 0)
        return fail(errnoText(errno));
    QByteArray chunk;
    for (;;) {
        chunk = in.read(kCopyChunkSize);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError) {
                ::unlink(QFile::encodeName(temporary).constData());
                return fail(in.errorString());
            }
            break;
        }
        if (!writeAll(out.get(), chunk.constData(), chunk.size())) {
            const int error = errno;
            ::unlink(QFile::encodeName(temporary).constData());
            return fail(errnoText(error));
        }
    }
    if (!out.close() || !renameFile(temporary, target)) {
        const int error = errno;
        ::unlink(QFile::encodeName(temporary).constData());
        return fail(errnoText(error));
    }
    return true;
}

bool syncFileSystem(const QString &folder)
{
    Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::syncfs(dir.get()) == 0;
}

bool syncFolder(const QString &folder)
{
    Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::fsync(dir.get()) == 0;
}

bool clearPendingPlace(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return true;
    if (::rmdir(name.constData()) == 0)
        return true;
    for (int attempt = 1; attempt < 100; ++attempt) {
        const QByteArray aside = name + ".blocked-" + QByteArray::number(attempt);
        if (::lstat(aside.constData(), &info) == 0)
            continue;
        return ::rename(name.constData(), aside.constData()) == 0;
    }
    return false;
}

qint64 newToken()
{
    qint64 token = 0;
    while (token == 0)
        token = qint64(QRandomGenerator::system()->generate64() >> 1);
    return token;
}

namespace
{

bool &locksKept()
{
    static bool kept = true;
    return kept;
}

} // namespace

void setLocksKept(bool kept)
{
    locksKept() = kept;
}

bool lockFolder(int fd, bool exclusive, int waitMilliseconds, bool *held)
{
    if (held)
        *held = false;
    if (fd < 0)
        return false;
    if (!locksKept())
        return true;
    // Polled, so that a copy that never lets go cannot hold this one for good.
    QDeadlineTimer deadline(waitMilliseconds);
    int pause = 1;
    for (;;) {
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
            if (held)
                *held = true;
            return true;
        }
        // A file system that keeps no locks (ENOLCK, a network share) has
        // no holder to wait for.
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(pause);
        pause = std::min(pause * 2, 20);
    }
}

bool lockHeldByThisProgram(int fd)
{
    struct stat folder;
    if (fd < 0 || ::fstat(fd, &folder) != 0)
        return false;
    // The kernel lists every lock with its holder and the file's device and
    // inode ("1: FLOCK ADVISORY WRITE 1234 08:01:5678 0 EOF").
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    char self[PATH_MAX];
    const ssize_t selfLength = ::readlink("/proc/self/exe", self, sizeof self);
    if (selfLength <= 0 || selfLength >= ssize_t(sizeof self))
        return false;
    const QByteArray program(self, selfLength);
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // A lock another waits for is listed with "->" and its own fields.
        if (fields.size() < 6 || fields.at(1) != "FLOCK")
            continue;
        const QList<QByteArray> file = fields.at(5).split(':');
        bool ok[3] = {};
        if (file.size() != 3 || file.at(0).toUInt(&ok[0], 16) != major(folder.st_dev) ||
            file.at(1).toUInt(&ok[1], 16) != minor(folder.st_dev) ||
            file.at(2).toULongLong(&ok[2]) != folder.st_ino || !ok[0] || !ok[1] || !ok[2])
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        if (pid <= 0 || pid == ::getpid())
            continue;
        char holder[PATH_MAX];
        const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
        const ssize_t length = ::readlink(link.constData(), holder, sizeof holder);
        if (length > 0 && length < ssize_t(sizeof holder) && QByteArray(holder, length) == program)
            return true;
    }
    return false;
}

bool isCopyTemporaryName(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) && name.contains(kCopyTemporaryInfix);
}

bool isCopyTemporaryOf(const QString &name, const QString &receipt)
{
    const QString start = QLatin1Char('.') + receipt + kCopyTemporaryInfix;
    return name.size() > start.size() && name.startsWith(start);
}

bool isReceiptFileName(const QString &name)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]{1,10}t?(\\.[^/.]+)?$"));
    return shape.match(name).hasMatch();
}

bool isDiskFullErrno(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

bool isReadOnlyErrno(int error)
{
    return error == EROFS || error == EACCES || error == EPERM;
}

bool renameFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void setSaveStepHook(std::function<bool(SaveStep)> hook)
{
    saveStepHook() = std::move(hook);
}

bool stopsAt(SaveStep step)
{
    const std::function<bool(SaveStep)> &hook = saveStepHook();
    return hook && hook(step);
}

} // namespace TWPackageFiles

#include "store/TWPackageAnchor.h"

#include "store/TWPackageFiles.h"

#include <QFile>

#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool statPath(const QString &path, struct stat *info)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), info) == 0;
}

} // namespace

TWPackageAnchor::~TWPackageAnchor()
{
    release();
}

void TWPackageAnchor::hold(const QString &path)
{
    release();
    // A path descriptor: no read permission needed, nothing read, and never
    // handed on to a program this one starts.
    m_fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

void TWPackageAnchor::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TWPackageAnchor::isFolder(const QString &path) const
{
    struct stat held;
    struct stat other;
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 && statPath(path, &other) &&
           sameFile(held, other);
}

bool TWPackageAnchor::isWithin(const QString &path) const
{
    const QString current = currentPath();
    if (current.isEmpty())
        return false;
    const QString folder = TWPackageFiles::resolvedPath(path);
    return current == folder ||
           current.startsWith(folder.endsWith(QLatin1Char('/')) ? folder
                                                                : folder + QLatin1Char('/'));
}

QString TWPackageAnchor::currentPath() const
{
    if (m_fd < 0)
        return {};
    // The kernel names the folder as it is now, wherever it went.
    char buffer[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(m_fd);
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length <= 0 || length >= ssize_t(sizeof buffer) || buffer[0] != '/')
        return {};
    const QString path = QFile::decodeName(QByteArray(buffer, length));
    // A deleted folder is named with a note after it; the name must lead to
    // the held folder itself.
    return isFolder(path) ? path : QString();
}

std::optional<TWDatabaseStamp> TWDatabaseStamp::of(const QString &path)
{
    const TWPackageFiles::Descriptor file(::open(QFile::encodeName(path).constData(),
                                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    TWDatabaseStamp stamp;
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    stamp.size = qint64(info.st_size);
    stamp.modified = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    // The user version is the big-endian 32-bit number at byte 60 of the
    // database header.
    unsigned char header[64];
    if (::pread(file.get(), header, sizeof header, 0) == ssize_t(sizeof header)) {
        const quint32 version = (quint32(header[60]) << 24) | (quint32(header[61]) << 16) |
                                (quint32(header[62]) << 8) | quint32(header[63]);
        stamp.generation = TWPackageFiles::validGeneration(qint32(version));
    }
    return stamp;
}

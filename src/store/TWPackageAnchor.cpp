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

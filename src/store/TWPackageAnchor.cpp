#include "store/TWPackageAnchor.h"

#include "store/TWPackageFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sqlite3.h>

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

int TWPackageAnchor::openFolder() const
{
    return m_fd < 0 ? -1 : ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

std::optional<TWPackageMark> TWPackageMark::of(const QString &path, bool *busy)
{
    if (busy)
        *busy = false;
    // SQLite would open a journal beside it as it is: a pipe there blocks.
    if (!TWPackageFiles::isRegularFile(path) || QFileInfo(path).isSymLink() ||
        !TWPackageFiles::firstIrregularDatabaseFile(QFileInfo(path).path()).isEmpty())
        return std::nullopt;
    // Read-write where it may, so that a save cut off is rolled back from its
    // journal before the header is read; read-only on a disk that is.
    sqlite3 *connection = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = SQLITE_CANTOPEN;
    for (const int mode : {SQLITE_OPEN_READWRITE, SQLITE_OPEN_READONLY}) {
        rc = sqlite3_open_v2(name.constData(), &connection, mode | SQLITE_OPEN_NOFOLLOW, nullptr);
        if (rc == SQLITE_OK)
            break;
        sqlite3_close_v2(connection);
        connection = nullptr;
    }
    if (rc != SQLITE_OK)
        return std::nullopt;
    const auto closed = qScopeGuard([connection] { sqlite3_close_v2(connection); });
    sqlite3_busy_timeout(connection, 2000);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // The file's schema is only parsed, never run (as the opening reads it):
    // an index on a function SQLite calls unsafe must not leave the package
    // without a mark, nor any save without its check. No function of ours is
    // registered here and extensions stay off.
    sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
    // The token and the header under one read lock: nothing writes between.
    rc = sqlite3_exec(connection, "BEGIN; SELECT count(*) FROM sqlite_schema;", nullptr, nullptr,
                      nullptr);
    if (rc != SQLITE_OK) {
        if (busy)
            *busy = (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
        return std::nullopt;
    }
    TWPackageMark mark;
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = "SELECT value FROM main.info WHERE identifier=" +
                           QByteArray::number(TWPackageFiles::tokenInfoRow) + ";";
    if (sqlite3_prepare_v2(connection, sql.constData(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW &&
        sqlite3_column_type(statement, 0) == SQLITE_INTEGER)
        mark.token = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    const TWPackageFiles::Descriptor file(
        ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    char header[100];
    if (file.get() >= 0 && ::pread(file.get(), header, sizeof header, 0) == ssize_t(sizeof header))
        mark.header = QByteArray(header, sizeof header);
    sqlite3_exec(connection, "COMMIT;", nullptr, nullptr, nullptr);
    if (mark.header.isEmpty())
        return std::nullopt;
    return mark;
}

std::optional<TWPackageContents> TWPackageContents::of(const QString &path)
{
    const QString data = path + QStringLiteral("/Data.sql");
    if (!TWPackageFiles::isRegularFile(data) || QFileInfo(data).isSymLink())
        return std::nullopt;
    sqlite3 *connection = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(data).constData(), &connection,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(connection);
        return std::nullopt;
    }
    const auto closed = qScopeGuard([connection] { sqlite3_close_v2(connection); });
    sqlite3_busy_timeout(connection, 2000);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    TWPackageContents contents;
    bool found = false;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(connection,
                           "SELECT (SELECT name FROM main.businesses ORDER BY identifier LIMIT 1),"
                           " (SELECT count(*) FROM main.transactions);",
                           -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        found = true;
        contents.businessName =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        contents.transactions = sqlite3_column_int64(statement, 1);
    }
    sqlite3_finalize(statement);
    if (!found)
        return std::nullopt;
    struct stat info;
    if (::lstat(QFile::encodeName(data).constData(), &info) == 0)
        contents.writtenSeconds = qint64(info.st_mtim.tv_sec);
    return contents;
}

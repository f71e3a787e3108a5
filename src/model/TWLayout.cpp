#include "model/TWLayout.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWUnZipArchive.h"
#include "foundation/TWXMLParser.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

int intSetting(const QVariantMap &settings, const QString &element, const char *key)
{
    return settings.value(element).toMap().value(QString::fromLatin1(key)).toInt();
}

} // namespace

TWLayout::TWLayout(QString path, std::uint32_t type, std::uint32_t kind)
    : m_path(std::move(path)), m_type(type), m_kind(kind)
{
    m_name = QFileInfo(m_path).completeBaseName();
}

TWLayoutPtr TWLayout::layoutWithPath(const QString &path, std::uint32_t type, std::uint32_t kind)
{
    return std::make_shared<TWLayout>(path, type, kind);
}

TWLayoutPtr TWLayout::copy() const
{
    return std::make_shared<TWLayout>(*this);
}

int TWLayout::compare(const TWLayout &other) const
{
    return m_name.compare(other.m_name, Qt::CaseSensitive);
}

TWError TWLayout::error(const char *key)
{
    return TWError(TWLayoutErrorDomain, -1, TWLocalized(key));
}

TWError TWLayout::error(const char *key, const QString &value)
{
    return TWError(TWLayoutErrorDomain, -1, QStringLiteral("%1: %2").arg(TWLocalized(key), value));
}

TWError TWLayout::missingAttributeError(const QString &element, const QString &attribute)
{
    return TWError(TWLayoutErrorDomain, -1,
                   QStringLiteral("\"%1\" %2 \"%3\".")
                       .arg(element, TWLocalized("isMissingAttributeLower"), attribute));
}

int TWLayout::openRegularFile(const QString &path, TWErrorResult *failure)
{
    // Non-blocking, so that opening a pipe never waits for a writer; the type
    // is checked on what was opened, so a link swapped meanwhile cannot
    // sneak a device in.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        *failure = code == EISDIR ? error("layoutIsFolder", path)
                                  : error("layoutCannotOpen",
                                          QStringLiteral("%1 (%2)").arg(
                                              path, QString::fromLocal8Bit(std::strerror(code))));
        return -1;
    }
    struct stat info {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        *failure = error(folder ? "layoutIsFolder" : "layoutNotRegularFile", path);
        return -1;
    }
    // Reading a regular file never blocks; the flag goes for plain reads.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

TWErrorResult TWLayout::readLayoutFile(const QString &path, QByteArray *bytes)
{
    bytes->clear();
    if (path.startsWith(QLatin1Char(':'))) {
        // A built-in package compiled into the program.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QFileInfo(path).isDir() ? error("layoutIsFolder", path)
                                           : error("layoutCannotOpen", path);
        *bytes = file.read(kMaximumPackageSize + 1);
    } else {
        TWErrorResult failure;
        const int fd = openRegularFile(path, &failure);
        if (fd < 0)
            return failure;
        // Read no more than the cap even if the file grows meanwhile.
        bytes->resize(kMaximumPackageSize + 1);
        qint64 total = 0;
        while (total < bytes->size()) {
            const ssize_t got = ::read(fd, bytes->data() + total, size_t(bytes->size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                const int code = errno;
                ::close(fd);
                bytes->clear();
                return error("layoutCannotOpen",
                             QStringLiteral("%1 (%2)").arg(
                                 path, QString::fromLocal8Bit(std::strerror(code))));
            }
            if (got == 0)
                break;
            total += got;
        }
        ::close(fd);
        bytes->resize(total);
    }
    if (bytes->size() > kMaximumPackageSize) {
        bytes->clear();
        return TWZipErrorRecord(TWZipErrorTotalTooLarge, path);
    }
    return std::nullopt;
}

TWErrorResult TWLayout::readPackage(TWLayoutFileData *fileData) const
{
    QByteArray bytes;
    if (TWErrorResult failure = readLayoutFile(m_path, &bytes))
        return failure;

    TWUnZipLimits limits;
    limits.maximumEntryCount = kMaximumEntryCount;
    limits.maximumEntrySize = kMaximumEntrySize;
    limits.maximumTotalSize = kMaximumTotalSize;
    TWUnZipArchive archive(limits);
    if (!archive.openZipData(bytes)) {
        // Anything that does not even start like a zip holds no layout
        // description; a zip the reader refuses says why.
        if (!bytes.startsWith("PK") || !archive.error())
            return error("missingLayoutFile");
        return archive.error();
    }
    // A member that cannot be read (damaged, encrypted, unsafely named)
    // refuses the package with its own reason.
    QByteArray data;
    QString name;
    while (archive.readNextFileData(&data, &name))
        fileData->insert(name, data);
    const TWErrorResult failure = archive.error();
    archive.close();
    return failure;
}

TWErrorResult TWLayout::load()
{
    TWLayoutFileData fileData;
    if (TWErrorResult failure = readPackage(&fileData))
        return failure;
    const auto layoutFile = fileData.constFind(QStringLiteral("layout.xml"));
    if (layoutFile == fileData.cend())
        return error("missingLayoutFile");

    // A layout description is a few kilobytes; refusing anything larger keeps
    // a hostile package from tying up the reader.
    TWXMLParser parser;
    parser.setMaximumSize(TWXMLParser::kLayoutMaximumSize);
    TWErrorResult xmlError;
    const TWXMLElementPtr root = parser.parseData(*layoutFile, &xmlError);
    if (xmlError)
        return xmlError;
    if (!root)
        return error("invalidRootElement", QString());

    QVariantMap settings;
    if (TWErrorResult failure = parseXML(*root, fileData, &settings))
        return failure;
    if (TWErrorResult failure = validateSettings(settings))
        return failure;
    m_settings = settings;
    m_loaded = true;
    return std::nullopt;
}

void TWLayout::unload()
{
    m_settings = QVariantMap();
    m_loaded = false;
}

TWErrorResult TWLayout::validate()
{
    const TWErrorResult result = load();
    unload();
    return result;
}

TWErrorResult TWLayout::validateSettings(const QVariantMap &settings)
{
    // The page number may not share its alignment with the line it sits on.
    const QString number = QStringLiteral("number");
    if (settings.contains(number)) {
        const int location = intSetting(settings, number, "location");
        const QString line = location == 1 ? QStringLiteral("footer") : QStringLiteral("header");
        if ((location == 0 || location == 1) && settings.contains(line) &&
            intSetting(settings, number, "horizontalAlignment") ==
                intSetting(settings, line, "horizontalAlignment"))
            return error("locationConflict", number);
    }

    // At most one component per row and column; the table and the details
    // need a row of their own.
    static const struct {
        const char *key;
        const char *word;
        bool wholeRow;
    } kComponents[] = {
        {"componentClient", "client", false}, {"componentBusiness", "business", false},
        {"componentTitle", "title", false},   {"componentInvoice", "invoice", false},
        {"componentTable", "table", true},    {"componentDetails", "details", true},
    };
    QHash<int, QSet<int>> usedColumns;
    for (const auto &component : kComponents) {
        const QString key = QString::fromLatin1(component.key);
        const int row = intSetting(settings, key, "row");
        const int column = component.wholeRow ? 0 : intSetting(settings, key, "column");
        QSet<int> &columns = usedColumns[row];
        if (component.wholeRow ? !columns.isEmpty() : columns.contains(column))
            return error("locationConflict", QString::fromLatin1(component.word));
        columns.insert(column);
    }
    return std::nullopt;
}

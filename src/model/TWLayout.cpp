#include "TWLayout.h"

#include "TWLocalized.h"
#include "TWUnZipArchive.h"
#include "TWXMLParser.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// The zip reader's refusals that say the package is hostile or too big; they
// are reported as they come rather than as a package without "layout.xml".
bool isCapError(const TWErrorResult &error)
{
    if (!error || error->domain() != QLatin1String(TWZipErrorDomain))
        return false;
    return error->code() == TWZipErrorTooManyEntries || error->code() == TWZipErrorEntryTooLarge ||
           error->code() == TWZipErrorTotalTooLarge;
}

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
    return TWError(TWLayoutErrorDomain, -1,
                   QStringLiteral("%1: %2").arg(TWLocalized(key), value));
}

TWError TWLayout::missingAttributeError(const QString &element, const QString &attribute)
{
    return TWError(TWLayoutErrorDomain, -1,
                   QStringLiteral("\"%1\" %2 \"%3\".")
                       .arg(element, TWLocalized("isMissingAttributeLower"), attribute));
}

TWErrorResult TWLayout::readPackage(TWLayoutFileData *fileData) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return error("missingLayoutFile");
    if (file.size() > kMaximumPackageSize)
        return TWZipErrorRecord(TWZipErrorTotalTooLarge, m_path);
    // Read no more than the cap even if the file grows meanwhile.
    const QByteArray bytes = file.read(kMaximumPackageSize + 1);
    if (bytes.size() > kMaximumPackageSize)
        return TWZipErrorRecord(TWZipErrorTotalTooLarge, m_path);

    TWUnZipLimits limits;
    limits.maximumEntryCount = kMaximumEntryCount;
    limits.maximumEntrySize = kMaximumEntrySize;
    limits.maximumTotalSize = kMaximumTotalSize;
    TWUnZipArchive archive(limits);
    if (!archive.openZipData(bytes)) {
        if (isCapError(archive.error()))
            return archive.error();
        return error("missingLayoutFile");
    }
    // A member that cannot be read ends the reading; those before it stay.
    QByteArray data;
    QString name;
    while (archive.readNextFileData(&data, &name))
        fileData->insert(name, data);
    const TWErrorResult failure = archive.error();
    archive.close();
    if (isCapError(failure))
        return failure;
    return std::nullopt;
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
        {"componentClient", "client", false},   {"componentBusiness", "business", false},
        {"componentTitle", "title", false},     {"componentInvoice", "invoice", false},
        {"componentTable", "table", true},      {"componentDetails", "details", true},
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

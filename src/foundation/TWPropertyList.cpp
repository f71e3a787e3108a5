#include "foundation/TWPropertyList.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWPropertyListLimits.h"
#include "foundation/TWSaveFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace TWPropertyList
{

namespace
{

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceDateSeconds = 978307200;

struct NodeDeleter {
    void operator()(void *node) const
    {
        if (node)
            plist_free(node);
    }
};
using NodePtr = std::unique_ptr<void, NodeDeleter>;

struct MallocDeleter {
    void operator()(void *memory) const { std::free(memory); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, MallocDeleter>;

TWError makeError(ErrorCode code, const QString &description)
{
    return TWError(errorDomain(), code, description);
}

// One value as its own XML property list, parsed. The library builds some values only from
// text: unsigned integers above the signed 64-bit range (its constructor marks every integer as
// signed, so it would write them negative) and dates beyond the 32-bit seconds its date
// constructor takes.
NodePtr nodeFromElement(const QByteArray &element)
{
    const QByteArray xml = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<plist version=\"1.0\">") +
                           element + QByteArrayLiteral("</plist>");
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return NodePtr(node);
}

// The library keeps one integer type with a flag saying whether the 64 bits are signed or an
// unsigned value above the signed range; the flag is only visible when comparing with a node
// made by plist_new_uint, which always clears it.
bool isLargeUnsigned(plist_t node, uint64_t bits)
{
    if (bits <= uint64_t(std::numeric_limits<qint64>::max()))
        return false;
    const NodePtr probe(plist_new_uint(bits));
    return !plist_compare_node_value(node, probe.get());
}

// The date of a node. The library hands dates out as 32-bit seconds (and mangles negative
// fractions), so a date that does not survive that trip is read from the node's XML text.
std::optional<QDateTime> dateOfNode(plist_t node)
{
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    const NodePtr probe(plist_new_date(seconds, microseconds));
    if (plist_compare_node_value(node, probe.get())) {
        const qint64 msecs = (referenceDateSeconds + qint64(seconds)) * 1000 + microseconds / 1000;
        return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    }
    const NodePtr copy(plist_copy(node));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(copy.get(), &xml, &length);
    if (!xml)
        return std::nullopt;
    const QString text = QString::fromUtf8(xml, qsizetype(length));
    plist_to_xml_free(xml);
    static const QRegularExpression pattern(
        QStringLiteral("<date>(\\d{1,4})-(\\d\\d)-(\\d\\d)T(\\d\\d):(\\d\\d):(\\d\\d)Z</date>"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

// Converts a parsed tree; the limits were checked on the input, the depth is checked again so
// that nothing here depends on that.
class Reader
{
public:
    bool tooDeep = false;

    bool read(plist_t node, int depth, QVariant &value)
    {
        if (depth > maximumDepth) {
            tooDeep = true;
            return false;
        }
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(node, &flag);
            value = bool(flag != 0);
            return true;
        }
        case PLIST_UINT: {
            uint64_t bits = 0;
            plist_get_uint_val(node, &bits);
            if (isLargeUnsigned(node, bits))
                value = quint64(bits);
            else
                value = qint64(bits);
            return true;
        }
        case PLIST_REAL: {
            double real = 0;
            plist_get_real_val(node, &real);
            value = real;
            return true;
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char *text = plist_get_string_ptr(node, &length);
            value = text ? QString::fromUtf8(text, qsizetype(length)) : QString();
            return true;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char *bytes = plist_get_data_ptr(node, &length);
            value = bytes ? QByteArray(bytes, qsizetype(length)) : QByteArray();
            return true;
        }
        case PLIST_DATE: {
            const std::optional<QDateTime> date = dateOfNode(node);
            if (!date)
                return false;
            value = *date;
            return true;
        }
        case PLIST_ARRAY:
            return readArray(node, depth, value);
        case PLIST_DICT:
            return readDictionary(node, depth, value);
        default: // keys outside dictionaries, keyed-archive references, nothing
            return false;
        }
    }

private:
    bool readArray(plist_t node, int depth, QVariant &value)
    {
        QVariantList list;
        list.reserve(qsizetype(plist_array_get_size(node)));
        plist_array_iter iterator = nullptr;
        plist_array_new_iter(node, &iterator);
        const MallocPtr<void> iteratorOwner(iterator);
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, iterator, &item);
            if (!item)
                break;
            QVariant element;
            if (!read(item, depth + 1, element))
                return false;
            list.append(std::move(element));
        }
        value = std::move(list);
        return true;
    }

    bool readDictionary(plist_t node, int depth, QVariant &value)
    {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        const MallocPtr<void> iteratorOwner(iterator);
        for (;;) {
            char *key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            const MallocPtr<char> keyOwner(key);
            if (!item)
                break;
            QVariant element;
            if (!read(item, depth + 1, element))
                return false;
            map.insert(key ? QString::fromUtf8(key) : QString(), std::move(element));
        }
        value = std::move(map);
        return true;
    }
};

// Builds library nodes from a tree; the first refusal is kept in `error`.
class Writer
{
public:
    std::optional<TWError> error;

    NodePtr node(const QVariant &value, const QString &path, int depth)
    {
        if (depth > maximumDepth) {
            error = makeError(TooComplexError, TWLocalized("plistNestedTooDeeply"));
            return nullptr;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            return NodePtr(plist_new_bool(value.toBool() ? 1 : 0));
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::SChar:
            return NodePtr(plist_new_uint(uint64_t(value.toLongLong())));
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return unsignedNode(value.toULongLong(), path);
        case QMetaType::Float:
            return realNode(double(value.toFloat()), path);
        case QMetaType::Double:
            return realNode(value.toDouble(), path);
        case QMetaType::QString:
            return stringNode(value.toString(), path);
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return NodePtr(plist_new_data(bytes.constData(), uint64_t(bytes.size())));
        }
        case QMetaType::QDateTime:
            return dateNode(value.toDateTime(), path);
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return arrayNode(value.toList(), path, depth);
        case QMetaType::QVariantMap:
            return dictionaryNode(value.toMap(), path, depth);
        case QMetaType::QVariantHash: {
            const QVariantHash hash = value.toHash();
            QVariantMap sorted;
            for (auto it = hash.cbegin(); it != hash.cend(); ++it)
                sorted.insert(it.key(), it.value());
            return dictionaryNode(sorted, path, depth);
        }
        default:
            return refuse(path, value.isValid() ? QString::fromLatin1(value.typeName())
                                                : QStringLiteral("null"));
        }
    }

private:
    NodePtr refuse(const QString &path, const QString &what)
    {
        if (!error) {
            error = makeError(UnsupportedValueError,
                              TWLocalized("plistUnsupportedValue")
                                  .arg(what, path.isEmpty() ? QStringLiteral("/") : path));
        }
        return nullptr;
    }

    NodePtr unsignedNode(quint64 number, const QString &path)
    {
        if (number <= quint64(std::numeric_limits<qint64>::max()))
            return NodePtr(plist_new_uint(number));
        NodePtr node = nodeFromElement("<integer>" + QByteArray::number(number) + "</integer>");
        uint64_t bits = 0;
        if (node && plist_get_node_type(node.get()) == PLIST_UINT)
            plist_get_uint_val(node.get(), &bits);
        if (!node || bits != number || !isLargeUnsigned(node.get(), bits))
            return refuse(path, QString::number(number));
        return node;
    }

    NodePtr realNode(double number, const QString &path)
    {
        // The library writes "nan" and "+infinity", which other readers refuse.
        if (!qIsFinite(number))
            return refuse(path, QString::number(number));
        return NodePtr(plist_new_real(number));
    }

    NodePtr stringNode(const QString &text, const QString &path)
    {
        // The library keeps strings NUL-terminated; a NUL would cut the text short.
        if (text.contains(QChar(0)))
            return refuse(path, QStringLiteral("string with NUL"));
        return NodePtr(plist_new_string(text.toUtf8().constData()));
    }

    NodePtr dateNode(const QDateTime &date, const QString &path)
    {
        if (!date.isValid())
            return refuse(path, QStringLiteral("invalid QDateTime"));
        const QDateTime utc = date.toUTC();
        const int year = utc.date().year();
        if (year < 1 || year > 9999)
            return refuse(path, utc.toString(Qt::ISODate));
        qint64 msecs = utc.toMSecsSinceEpoch();
        const qint64 seconds = (msecs >= 0 ? msecs : msecs - 999) / 1000 - referenceDateSeconds;
        if (seconds >= std::numeric_limits<int32_t>::min() &&
            seconds <= std::numeric_limits<int32_t>::max())
            return NodePtr(plist_new_date(int32_t(seconds), 0));
        const QString text = utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        NodePtr node = nodeFromElement("<date>" + text.toLatin1() + "</date>");
        if (!node || plist_get_node_type(node.get()) != PLIST_DATE)
            return refuse(path, text);
        return node;
    }

    NodePtr arrayNode(const QVariantList &list, const QString &path, int depth)
    {
        NodePtr array(plist_new_array());
        for (qsizetype i = 0; i < list.size(); ++i) {
            NodePtr item =
                node(list.at(i), path + QLatin1Char('/') + QString::number(i), depth + 1);
            if (!item)
                return nullptr;
            plist_array_append_item(array.get(), item.release());
        }
        return array;
    }

    NodePtr dictionaryNode(const QVariantMap &map, const QString &path, int depth)
    {
        NodePtr dictionary(plist_new_dict());
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QString itemPath = path + QLatin1Char('/') + it.key();
            if (it.key().contains(QChar(0)))
                return refuse(itemPath, QStringLiteral("key with NUL"));
            NodePtr item = node(it.value(), itemPath, depth + 1);
            if (!item)
                return nullptr;
            plist_dict_set_item(dictionary.get(), it.key().toUtf8().constData(), item.release());
        }
        return dictionary;
    }
};

} // namespace

QString errorDomain()
{
    return QStringLiteral("Tallyworth Property List Error");
}

TWResult<QVariant> readData(const QByteArray &data)
{
    TWResult<QVariant> result;
    if (data.size() > maximumSize) {
        result.error =
            makeError(TooLargeError, TWLocalized("plistTooLarge").arg(maximumSize / (1024 * 1024)));
        return result;
    }
    if (data.isEmpty()) {
        result.error = makeError(MalformedError, TWLocalized("plistMalformed"));
        return result;
    }
    const bool binary = plist_is_binary(data.constData(), uint32_t(data.size())) != 0;
    // A value may sit inside maximumDepth containers and be a container itself; in XML the
    // <plist> element and a value's own element add one level each.
    const TWPropertyListLimits::Verdict verdict =
        binary ? TWPropertyListLimits::checkBinary(
                     data, {maximumDepth + 1, maximumValueCount, maximumSize})
               : TWPropertyListLimits::checkXML(data,
                                                {maximumDepth + 2, maximumValueCount, maximumSize});
    if (verdict == TWPropertyListLimits::Verdict::TooComplex) {
        result.error = makeError(TooComplexError, TWLocalized("plistNestedTooDeeply"));
        return result;
    }
    plist_t root = nullptr;
    if (verdict == TWPropertyListLimits::Verdict::Acceptable) {
        if (binary)
            plist_from_bin(data.constData(), uint32_t(data.size()), &root);
        else
            plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    }
    const NodePtr rootOwner(root);
    Reader reader;
    if (!root || !reader.read(root, 0, result.value)) {
        result.value = QVariant();
        result.error = reader.tooDeep
                           ? makeError(TooComplexError, TWLocalized("plistNestedTooDeeply"))
                           : makeError(MalformedError, TWLocalized("plistMalformed"));
    }
    return result;
}

TWResult<QVariant> readFile(const QString &path)
{
    TWResult<QVariant> result;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        result.error = makeError(ReadError, TWLocalized("plistFileNotFound").arg(path));
        return result;
    }
    if (info.size() > maximumSize) {
        result.error =
            makeError(TooLargeError, TWLocalized("plistTooLarge").arg(maximumSize / (1024 * 1024)));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error =
            makeError(ReadError, TWLocalized("plistFileReadFailed").arg(path, file.errorString()));
        return result;
    }
    // Only what the file holds is asked for (reading asks for a buffer of the
    // size given); should it have grown since its size was taken, the rest is
    // read too, never more than the limit allows.
    const qint64 expected = std::min<qint64>(file.size(), maximumSize);
    QByteArray data = file.read(expected + 1);
    if (data.size() > expected && data.size() <= maximumSize &&
        file.error() == QFileDevice::NoError)
        data += file.read(maximumSize + 1 - data.size());
    if (file.error() != QFileDevice::NoError) {
        result.error =
            makeError(ReadError, TWLocalized("plistFileReadFailed").arg(path, file.errorString()));
        return result;
    }
    return readData(data);
}

TWResult<QByteArray> xmlData(const QVariant &propertyList)
{
    TWResult<QByteArray> result;
    Writer writer;
    const NodePtr root = writer.node(propertyList, QString(), 0);
    if (!root) {
        result.error = writer.error;
        return result;
    }
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) {
        result.error = makeError(UnsupportedValueError, TWLocalized("plistEncodingFailed"));
        return result;
    }
    result.value = QByteArray(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return result;
}

TWErrorResult writeFile(const QVariant &propertyList, const QString &path)
{
    const TWResult<QByteArray> xml = xmlData(propertyList);
    if (!xml.ok())
        return xml.error;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return makeError(WriteError,
                         TWLocalized("plistFileWriteFailed").arg(path, file.errorString()));
    // A failed write or flush (a full disk) leaves the old file whole.
    if (const TWErrorResult error =
            twCommitSaveFile(file, file.write(xml.value) == xml.value.size()))
        return makeError(
            WriteError,
            TWLocalized("plistFileWriteFailed").arg(path, error->localizedDescription()));
    return std::nullopt;
}

} // namespace TWPropertyList

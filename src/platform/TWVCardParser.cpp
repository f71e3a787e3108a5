// vCard 2.1 (folding that keeps the blank, bare types, quoted-printable with
// soft line breaks, character sets per property), 3.0 and 4.0 (folding that
// drops one blank, TYPE lists, escapes, data: URIs) read into people.

#include "platform/TWAddressBook.h"

#include <QSet>
#include <QStringDecoder>

#include <array>
#include <optional>

namespace
{

// Windows-1252 in 0x80 to 0x9F (where it differs from Latin-1); 0 where
// the code page leaves a byte undefined (taken as Latin-1).
constexpr std::array<char16_t, 32> kWindows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

QString fromWindows1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t mapped = byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : 0;
        text.append(QChar(mapped ? mapped : char16_t(byte)));
    }
    return text;
}

bool startsWithNoCase(const QByteArray &line, const char *prefix)
{
    return line.left(qsizetype(qstrlen(prefix))).compare(prefix, Qt::CaseInsensitive) == 0;
}

// The position of the first `separator` outside double quotes, -1 if none.
qsizetype indexOutsideQuotes(const QByteArray &text, char separator, qsizetype from = 0)
{
    bool quoted = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == separator && !quoted)
            return i;
    }
    return -1;
}

QList<QByteArray> splitOutsideQuotes(const QByteArray &text, char separator)
{
    QList<QByteArray> parts;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = indexOutsideQuotes(text, separator, start);
        if (at < 0) {
            parts.append(text.mid(start));
            return parts;
        }
        parts.append(text.mid(start, at - start));
        start = at + 1;
    }
}

// Splits a structured value at the separators that no backslash escapes;
// the parts keep their escapes.
QStringList splitStructured(const QString &text, QChar separator)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' && i + 1 < text.size()) {
            part.append(c);
            part.append(text.at(++i));
        } else if (c == separator) {
            parts.append(part);
            part.clear();
        } else {
            part.append(c);
        }
    }
    parts.append(part);
    return parts;
}

QString component(const QStringList &parts, int index)
{
    return TWVCardParser::unescape(parts.value(index)).trimmed();
}

// One property line taken apart.
struct Property {
    QByteArray name;
    QStringList types;   // lower case, from TYPE= lists and bare 2.1 types
    QByteArray encoding; // upper case: QUOTED-PRINTABLE, B, BASE64
    QString charset;
    QByteArray valueType; // upper case: URI, TEXT...
    QByteArray value;     // raw bytes after the colon
};

std::optional<Property> parseProperty(const QByteArray &line)
{
    const qsizetype colon = indexOutsideQuotes(line, ':');
    if (colon <= 0)
        return std::nullopt;
    Property property;
    const QList<QByteArray> head = splitOutsideQuotes(line.left(colon), ';');
    QByteArray name = head.constFirst().trimmed();
    // "item1.TEL": the group is of no use here.
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.mid(dot + 1);
    if (name.isEmpty())
        return std::nullopt;
    property.name = name.toUpper();
    property.value = line.mid(colon + 1);
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray parameter = head.at(i).trimmed();
        const qsizetype equals = parameter.indexOf('=');
        QByteArray key = equals < 0 ? QByteArray() : parameter.left(equals).trimmed().toUpper();
        QByteArray value = equals < 0 ? parameter : parameter.mid(equals + 1).trimmed();
        // vCard 4.0 quotes a whole list: TYPE="work,voice".
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        if (equals < 0) {
            // vCard 2.1 names types and encodings without a key.
            const QByteArray bare = value.toUpper();
            if (bare == "QUOTED-PRINTABLE" || bare == "BASE64" || bare == "B" || bare == "8BIT" ||
                bare == "7BIT")
                key = "ENCODING";
            else
                key = "TYPE";
        }
        for (const QByteArray &item : splitOutsideQuotes(value, ',')) {
            QByteArray text = item.trimmed();
            if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
                text = text.mid(1, text.size() - 2);
            if (key == "TYPE")
                property.types.append(QString::fromUtf8(text).toLower());
            else if (key == "ENCODING")
                property.encoding = text.toUpper();
            else if (key == "CHARSET")
                property.charset = QString::fromLatin1(text);
            else if (key == "VALUE")
                property.valueType = text.toUpper();
        }
    }
    return property;
}

bool isQuotedPrintable(const QByteArray &logicalLineStart)
{
    const qsizetype colon = indexOutsideQuotes(logicalLineStart, ':');
    const QByteArray head = colon < 0 ? logicalLineStart : logicalLineStart.left(colon);
    return head.toUpper().contains("QUOTED-PRINTABLE");
}

QByteArray withoutWhitespace(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out.append(c);
    return out;
}

// A picture's bytes from a base64 value or a data: URI; empty for a link to
// fetch (never fetched) or a picture beyond the bound.
QByteArray photoBytes(const Property &property)
{
    const qint64 encodedBound = TWVCardParser::maximumPhotoBytes / 3 * 4 + 1024;
    if (property.value.size() > encodedBound)
        return {};
    QByteArray data;
    const QByteArray value = property.value.trimmed();
    if (startsWithNoCase(value, "data:")) {
        const qsizetype comma = value.indexOf(',');
        if (comma < 0)
            return {};
        const QByteArray header = value.mid(5, comma - 5).toLower();
        const QByteArray payload = value.mid(comma + 1);
        data = header.endsWith(";base64") ? QByteArray::fromBase64(withoutWhitespace(payload))
                                          : QByteArray::fromPercentEncoding(payload);
    } else if (property.encoding == "B" || property.encoding == "BASE64") {
        data = QByteArray::fromBase64(withoutWhitespace(value));
    } else {
        return {};
    }
    return data.size() > TWVCardParser::maximumPhotoBytes ? QByteArray() : data;
}

QString addressLabel(const QStringList &types)
{
    if (types.contains(QStringLiteral("work")))
        return TWPersonLabel::Work;
    if (types.contains(QStringLiteral("home")))
        return TWPersonLabel::Home;
    return TWPersonLabel::Other;
}

// Builds one person from a card's physical lines.
class CardReader
{
public:
    explicit CardReader(const QList<QByteArray> &lines) : m_lines(lines) {}

    TWPersonPtr read()
    {
        detectVersion();
        int properties = 0;
        for (const QByteArray &line : unfold()) {
            if (++properties > TWVCardParser::maximumProperties)
                break;
            if (const std::optional<Property> property = parseProperty(line))
                take(*property);
        }
        return finish();
    }

private:
    void detectVersion()
    {
        for (const QByteArray &line : m_lines) {
            if (startsWithNoCase(line, "VERSION:")) {
                m_version21 = line.mid(8).trimmed() == "2.1";
                return;
            }
        }
    }

    // Joins folded lines: a line beginning with a blank continues the one
    // before it (2.1 keeps the blank, 3.0 and 4.0 drop it), and a
    // quoted-printable value ending in "=" continues on the next line.
    QList<QByteArray> unfold() const
    {
        QList<QByteArray> logical;
        bool quotedPrintable = false;
        for (const QByteArray &line : m_lines) {
            if (!logical.isEmpty()) {
                QByteArray &last = logical.last();
                if (quotedPrintable && last.endsWith('=')) {
                    last.chop(1);
                    last.append(line);
                    continue;
                }
                if (line.startsWith(' ') || line.startsWith('\t')) {
                    last.append(m_version21 ? line : line.mid(1));
                    continue;
                }
            }
            if (line.trimmed().isEmpty())
                continue;
            logical.append(line);
            quotedPrintable = isQuotedPrintable(line);
        }
        return logical;
    }

    QString text(const Property &property) const
    {
        const QByteArray bytes = property.encoding == "QUOTED-PRINTABLE"
                                     ? TWVCardParser::decodeQuotedPrintable(property.value)
                                     : property.value;
        return TWVCardParser::decodeCharset(bytes, property.charset);
    }

    void take(const Property &property)
    {
        TWPerson &person = m_person;
        const QByteArray &name = property.name;
        if (name == "PHOTO") {
            if (person.imageData.isEmpty())
                person.imageData = photoBytes(property);
            return;
        }
        if (name == "N") {
            const QStringList parts = splitStructured(text(property), u';');
            person.lastName = component(parts, 0);
            person.firstName = component(parts, 1);
        } else if (name == "FN") {
            m_formattedName = TWVCardParser::unescape(text(property)).trimmed();
        } else if (name == "ORG") {
            if (person.organization.isEmpty())
                person.organization = component(splitStructured(text(property), u';'), 0);
        } else if (name == "NOTE") {
            if (person.note.isEmpty())
                person.note = TWVCardParser::unescape(text(property)).trimmed();
        } else if (name == "ADR") {
            const QStringList parts = splitStructured(text(property), u';');
            TWPersonAddress address;
            address.label = addressLabel(property.types);
            // Street, then the extended address and the post-office box.
            QStringList street;
            for (const int index : {2, 1, 0})
                if (const QString part = component(parts, index); !part.isEmpty())
                    street.append(part);
            address.street = street.join(QStringLiteral(", "));
            address.city = component(parts, 3);
            address.state = component(parts, 4);
            address.zip = component(parts, 5);
            address.country = component(parts, 6);
            if (!(address.street + address.city + address.state + address.zip + address.country)
                     .isEmpty())
                person.addresses.append(address);
        } else if (name == "TEL") {
            QString value = TWVCardParser::unescape(text(property)).trimmed();
            if (value.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
                value = value.mid(4);
            if (!value.isEmpty())
                person.phones.append({TWVCardParser::phoneLabel(property.types), value});
        } else if (name == "EMAIL") {
            QString value = TWVCardParser::unescape(text(property)).trimmed();
            if (value.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
                value = value.mid(7);
            if (!value.isEmpty())
                person.emails.append({addressLabel(property.types), value});
        } else if (name == "URL") {
            const QString value = TWVCardParser::unescape(text(property)).trimmed();
            if (!value.isEmpty())
                person.urls.append({addressLabel(property.types), value});
        }
    }

    TWPersonPtr finish()
    {
        TWPerson &person = m_person;
        // A card with only a formatted name (allowed from 3.0 on) still
        // names its person.
        if (person.firstName.isEmpty() && person.lastName.isEmpty() &&
            m_formattedName != person.organization)
            person.firstName = m_formattedName;
        const bool empty = person.organization.isEmpty() && person.firstName.isEmpty() &&
                           person.lastName.isEmpty() && person.note.isEmpty() &&
                           person.addresses.isEmpty() && person.phones.isEmpty() &&
                           person.emails.isEmpty() && person.urls.isEmpty() &&
                           person.imageData.isEmpty();
        return empty ? nullptr : std::make_shared<const TWPerson>(std::move(person));
    }

    const QList<QByteArray> &m_lines;
    bool m_version21 = false;
    TWPerson m_person;
    QString m_formattedName;
};

// The text as UTF-8 bytes: a UTF-16 file (marked, or recognised by its
// zero bytes) is converted, a UTF-8 mark dropped.
QByteArray normalisedBytes(const QByteArray &data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return data.mid(3);
    std::optional<QStringConverter::Encoding> encoding;
    if (data.startsWith("\xFF\xFE"))
        encoding = QStringConverter::Utf16LE;
    else if (data.startsWith("\xFE\xFF"))
        encoding = QStringConverter::Utf16BE;
    else if (data.size() >= 2 && data.at(0) != 0 && data.at(1) == 0)
        encoding = QStringConverter::Utf16LE;
    else if (data.size() >= 2 && data.at(0) == 0 && data.at(1) != 0)
        encoding = QStringConverter::Utf16BE;
    if (!encoding)
        return data;
    QStringDecoder decoder(*encoding);
    const QString text = decoder.decode(data);
    return text.toUtf8();
}

} // namespace

QString TWVCardParser::unescape(const QString &text)
{
    if (!text.contains(u'\\'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar next = text.at(++i);
        out.append(next == u'n' || next == u'N' ? QChar(u'\n') : next);
    }
    return out;
}

QByteArray TWVCardParser::decodeQuotedPrintable(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '=') {
            out.append(c);
            continue;
        }
        // A soft line break ("=" at the end of a line) joins the lines.
        if (i + 1 < text.size() && (text.at(i + 1) == '\r' || text.at(i + 1) == '\n')) {
            ++i;
            if (text.at(i) == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
            continue;
        }
        const int high = i + 2 < text.size() ? hex(text.at(i + 1)) : -1;
        const int low = i + 2 < text.size() ? hex(text.at(i + 2)) : -1;
        if (high < 0 || low < 0) {
            out.append(c); // not an escape: kept as written
            continue;
        }
        out.append(char(high * 16 + low));
        i += 2;
    }
    return out;
}

QString TWVCardParser::decodeCharset(const QByteArray &bytes, const QString &charset)
{
    const QString name = charset.trimmed().toLower();
    if (name == u"iso-8859-1" || name == u"latin1" || name == u"us-ascii" || name == u"ascii")
        return QString::fromLatin1(bytes);
    if (name == u"windows-1252" || name == u"cp1252")
        return fromWindows1252(bytes);
    if (!name.isEmpty() && name != u"utf-8" && name != u"utf8") {
        if (const auto encoding = QStringConverter::encodingForName(name.toLatin1().constData())) {
            QStringDecoder decoder(*encoding);
            const QString text = decoder.decode(bytes);
            if (!decoder.hasError())
                return text;
        }
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

QString TWVCardParser::phoneLabel(const QStringList &types)
{
    const auto has = [&types](const char *type) { return types.contains(QLatin1String(type)); };
    if (has("fax"))
        return has("home")   ? TWPersonLabel::HomeFax
               : has("work") ? TWPersonLabel::WorkFax
                             : TWPersonLabel::OtherFax;
    if (has("iphone"))
        return TWPersonLabel::IPhone;
    if (has("cell"))
        return TWPersonLabel::Mobile;
    if (has("main"))
        return TWPersonLabel::Main;
    if (has("pager"))
        return TWPersonLabel::Pager;
    if (has("work"))
        return TWPersonLabel::Work;
    if (has("home"))
        return TWPersonLabel::Home;
    return TWPersonLabel::Other;
}

TWPersonList TWVCardParser::parse(const QByteArray &input)
{
    const QByteArray data = normalisedBytes(input);
    TWPersonList people;
    QList<QByteArray> card;
    bool inCard = false;
    // Cards nested in a card (a 2.1 AGENT) are skipped whole.
    int nested = 0;
    int cards = 0;
    const auto finishCard = [&] {
        inCard = false;
        if (++cards > maximumCards)
            return;
        if (TWPersonPtr person = CardReader(card).read())
            people.append(std::move(person));
        card.clear();
    };
    qsizetype start = 0;
    const qsizetype size = data.size();
    while (start < size && cards <= maximumCards) {
        qsizetype end = start;
        while (end < size && data.at(end) != '\n' && data.at(end) != '\r')
            ++end;
        const QByteArray line = data.mid(start, end - start);
        // A line ends at CR LF, LF or CR.
        start = end;
        if (start < size)
            start +=
                data.at(start) == '\r' && start + 1 < size && data.at(start + 1) == '\n' ? 2 : 1;
        const QByteArray trimmed = line.trimmed();
        if (!inCard) {
            if (trimmed.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0) {
                inCard = true;
                nested = 0;
            }
            continue; // anything between cards is no concern of ours
        }
        if (trimmed.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0) {
            ++nested;
            continue;
        }
        if (trimmed.compare("END:VCARD", Qt::CaseInsensitive) == 0) {
            if (nested > 0)
                --nested;
            else
                finishCard();
            continue;
        }
        if (nested == 0)
            card.append(line);
    }
    if (inCard)
        finishCard();
    return people;
}

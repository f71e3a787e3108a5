// Turns a layout package's "layout.xml" into the layout settings: one element
// settings map per element the format knows, under its fixed key.

#include "model/TWLayout.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWXMLElement.h"
#include "platform/TWFontResolver.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QRectF>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace
{

using AttributeList = QList<const char *>;

const AttributeList kPageAttributes{"font",        "textSize",    "textColor",   "textUnderline",
                                    "strokeStyle", "strokeWidth", "strokeColor", "fillColor"};
const AttributeList kTextAttributes{"font", "textSize", "textColor", "textUnderline"};
const AttributeList kCellAttributes{"font",          "textSize",  "textColor",
                                    "textUnderline", "fillColor", "horizontalAlignment"};
const AttributeList kComponentAttributes{
    "strokeStyle",         "strokeWidth",       "strokeColor", "fillColor",
    "horizontalAlignment", "verticalAlignment", "column",      "row"};
const AttributeList kTitleAttributes{
    "font",        "textSize",    "textColor", "textUnderline",       "strokeStyle",
    "strokeWidth", "strokeColor", "fillColor", "horizontalAlignment", "verticalAlignment",
    "column",      "row"};
const AttributeList kTableAttributes{"strokeStyle", "strokeWidth", "strokeColor", "fillColor",
                                     "row"};
const AttributeList kDetailsAttributes{"strokeStyle", "strokeWidth",         "strokeColor",
                                       "fillColor",   "horizontalAlignment", "row"};
const AttributeList kImageAttributes{"x", "y", "width", "height", "alpha", "path"};

AttributeList operator+(AttributeList list, std::initializer_list<const char *> more)
{
    for (const char *name : more)
        list.append(name);
    return list;
}

// A child element and the key its settings go under.
struct Part {
    const char *element;
    const char *key;
};

// The leading number of `text` in the way of the usual string-to-number
// conversions: blanks skipped, then as much of a number as there is; 0 when
// the text does not start with one.
float leadingFloat(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return 0.0f;
    bool ok = false;
    const double value = match.captured(0).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0.0f;
    return float(std::clamp(value, double(std::numeric_limits<float>::lowest()),
                            double(std::numeric_limits<float>::max())));
}

int leadingInt(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*[+-]?\\d+"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return 0;
    QString digits = match.captured(0).trimmed();
    const bool negative = digits.startsWith(QLatin1Char('-'));
    // Past the range of an int the value sticks at its end.
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok);
    if (!ok)
        return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return int(std::clamp<qlonglong>(value, std::numeric_limits<int>::min(),
                                     std::numeric_limits<int>::max()));
}

// The index of `value` among the keywords ignoring case, or -1.
int keywordIndex(const QString &value, std::initializer_list<const char *> keywords)
{
    int index = 0;
    for (const char *keyword : keywords) {
        if (value.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0)
            return index;
        ++index;
    }
    return -1;
}

// An image member decoded within the caps, or the error saying why not.
TWErrorResult imageWithData(const TWLayoutFileData &fileData, const QString &path, QImage *image)
{
    const auto member = fileData.constFind(path);
    if (member == fileData.cend())
        return TWLayout::error("missingImage", path);
    QByteArray bytes = *member;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(TWLayout::kImageAllocationLimit);
    reader.setDecideFormatFromContent(true);
    QSize size = reader.size();
    // A PNG states its size in its first chunk; read it there too, so that a
    // picture too large to decode is named as such even when the reader
    // gives up on what follows.
    if (!size.isValid() && bytes.size() >= 24 && bytes.startsWith("\x89PNG\r\n\x1a\n") &&
        bytes.mid(12, 4) == "IHDR")
        size =
            QSize(int(std::min<quint32>(qFromBigEndian<quint32>(bytes.constData() + 16), INT_MAX)),
                  int(std::min<quint32>(qFromBigEndian<quint32>(bytes.constData() + 20), INT_MAX)));
    if (size.width() > TWLayout::kMaximumImageSide || size.height() > TWLayout::kMaximumImageSide ||
        qint64(size.width()) * size.height() > TWLayout::kMaximumImagePixels)
        return TWLayout::error("imageTooLarge", path);
    *image = reader.read();
    if (image->isNull()) {
        // The header may not tell the size; a decoder refusing the
        // allocation says so.
        if (reader.error() == QImageReader::InvalidDataError && reader.size().isValid() &&
            qint64(reader.size().width()) * reader.size().height() * 4 >
                qint64(TWLayout::kImageAllocationLimit) * 1024 * 1024)
            return TWLayout::error("imageTooLarge", path);
        return TWLayout::error("unreadableImage", path);
    }
    if (image->width() > TWLayout::kMaximumImageSide ||
        image->height() > TWLayout::kMaximumImageSide) {
        *image = QImage();
        return TWLayout::error("imageTooLarge", path);
    }
    return std::nullopt;
}

// Sane bounds of a layout's numbers: beyond them a layout makes pages of
// nothing or a PDF no reader opens.
constexpr double kMinimumTextSize = 1;
constexpr double kMaximumTextSize = 200;
constexpr double kMaximumStrokeWidth = 20;
// A few page sizes (Legal is 1008 points high).
constexpr double kMaximumPosition = 3 * 1008;

// An image's size in points: its pixels at the resolution it records (72 per
// inch when it records none).
QSizeF imageSize(const QImage &image)
{
    // Whole dots per inch: 72 per inch is stored as 2835 per metre.
    const double dotsPerInchX = qRound(image.dotsPerMeterX() * 0.0254);
    const double dotsPerInchY = qRound(image.dotsPerMeterY() * 0.0254);
    const double width =
        dotsPerInchX > 1.0 ? image.width() * 72.0 / dotsPerInchX : double(image.width());
    const double height =
        dotsPerInchY > 1.0 ? image.height() * 72.0 / dotsPerInchY : double(image.height());
    return QSizeF(width, height);
}

class Parser
{
public:
    explicit Parser(const TWLayoutFileData &fileData) : m_fileData(fileData) {}

    TWErrorResult parse(const TWXMLElement &root, QVariantMap *settings);

private:
    // Reads one element's attributes into `result`.
    TWErrorResult parseAttributes(const AttributeList &attributes, const TWXMLElement &element,
                                  const QVariantMap *pageSettings,
                                  const QVariantMap *additionalSettings, QVariantMap *result);
    // The same, storing the result under `key`.
    TWErrorResult parseElement(const AttributeList &attributes, const TWXMLElement &element,
                               const char *key, const QVariantMap *additionalSettings = nullptr,
                               QVariantMap *result = nullptr);
    // The children of `parent` named by `parts`, in document order.
    TWErrorResult parseParts(const TWXMLElement &parent, std::initializer_list<Part> parts,
                             const AttributeList &attributes,
                             const QVariantMap *additionalSettings = nullptr);
    TWErrorResult parsePageChild(const TWXMLElement &element);
    TWErrorResult parseComponent(const TWXMLElement &element);

    // The element as the user finds it in the file: its parent's name and
    // its own ("client/name").
    QString elementName(const TWXMLElement &element) const
    {
        return m_parent.isEmpty() ? element.name() : m_parent + QLatin1Char('/') + element.name();
    }
    // The value when it lies within [minimum, maximum]; else the error
    // naming the attribute and the element.
    TWErrorResult inRange(const TWXMLElement &element, const char *attribute, const QString &text,
                          double value, double minimum, double maximum) const
    {
        if (value >= minimum && value <= maximum)
            return std::nullopt;
        return TWError(TWLayoutErrorDomain, -1,
                       TWLocalized("layoutValueOutOfRange")
                           .arg(text.trimmed(), QString::fromLatin1(attribute),
                                elementName(element), QString::number(minimum),
                                QString::number(maximum)));
    }
    TWErrorResult inElement(const TWXMLElement &element, TWErrorResult error) const
    {
        if (!error)
            return error;
        return TWError(error->domain(), error->code(),
                       TWLocalized("layoutErrorInElement")
                           .arg(error->localizedDescription(), elementName(element)));
    }

    static bool isNamed(const TWXMLElement &element, const char *name)
    {
        return element.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    }

    const TWLayoutFileData &m_fileData;
    QVariantMap m_settings;
    QVariantMap m_page;
    // The page font as named and sized, for the elements that inherit it.
    QString m_pageFontName;
    double m_pageFontSize = 12.0;
    bool m_haveImages = false;
    QString m_parent;
};

TWErrorResult Parser::parseAttributes(const AttributeList &attributes, const TWXMLElement &element,
                                      const QVariantMap *pageSettings,
                                      const QVariantMap *additionalSettings, QVariantMap *result)
{
    QVariantMap values;
    const bool inherit = pageSettings != nullptr;
    QString fontName = inherit ? m_pageFontName : QStringLiteral("Times Roman");
    double fontSize = inherit ? m_pageFontSize : 12.0;
    QRectF rect;
    bool imageWidth = false;
    bool imageHeight = false;
    QImage image;
    bool hasFont = false;
    bool hasRect = false;

    for (const char *name : attributes) {
        const QLatin1String attribute(name);
        const QString value = element.attributes().value(QString(attribute));
        const bool present = !value.isEmpty();
        if (attribute == QLatin1String("font")) {
            hasFont = true;
            if (present)
                fontName = value;
        } else if (attribute == QLatin1String("textSize")) {
            if (present) {
                fontSize = leadingFloat(value);
                if (TWErrorResult failure =
                        inRange(element, name, value, fontSize, kMinimumTextSize, kMaximumTextSize))
                    return failure;
            }
        } else if (attribute == QLatin1String("textColor")) {
            QColor colour = Qt::black;
            if (present) {
                if (TWErrorResult failure = TWLayout::parseXMLColour(value, &colour))
                    return inElement(element, failure);
            } else if (inherit) {
                colour = pageSettings->value(QStringLiteral("textColour")).value<QColor>();
            }
            values.insert(QStringLiteral("textColour"), colour);
        } else if (attribute == QLatin1String("textUnderline")) {
            int underline =
                inherit ? pageSettings->value(QStringLiteral("textUnderline")).toInt() : 0;
            if (present) {
                underline = keywordIndex(value, {"none", "single", "double"});
                if (underline < 0)
                    return TWLayout::error("invalidUnderlineValue", value);
            }
            values.insert(QStringLiteral("textUnderline"), underline);
        } else if (attribute == QLatin1String("strokeStyle")) {
            int style = 0;
            if (present) {
                style = keywordIndex(value, {"none", "solid", "dash"});
                if (style < 0)
                    return TWLayout::error("invalidStrokeStyleValue", value);
            }
            values.insert(QStringLiteral("strokeStyle"), style);
        } else if (attribute == QLatin1String("strokeWidth")) {
            const float width = present ? leadingFloat(value) : 1.0f;
            if (TWErrorResult failure =
                    inRange(element, name, value, width, 0, kMaximumStrokeWidth))
                return failure;
            values.insert(QStringLiteral("strokeWidth"), width);
        } else if (attribute == QLatin1String("strokeColor") ||
                   attribute == QLatin1String("fillColor")) {
            const bool stroke = attribute == QLatin1String("strokeColor");
            QColor colour = stroke ? QColor(Qt::black) : QColor(Qt::transparent);
            if (present) {
                if (TWErrorResult failure = TWLayout::parseXMLColour(value, &colour))
                    return inElement(element, failure);
            }
            values.insert(stroke ? QStringLiteral("strokeColour") : QStringLiteral("fillColour"),
                          colour);
        } else if (attribute == QLatin1String("horizontalAlignment")) {
            int alignment = 0;
            if (present) {
                alignment = keywordIndex(value, {"left", "center", "right"});
                if (alignment < 0)
                    return TWLayout::error("invalidHorizontalAlignmentValue", value);
            }
            values.insert(QStringLiteral("horizontalAlignment"), alignment);
        } else if (attribute == QLatin1String("verticalAlignment")) {
            int alignment = 0;
            if (present) {
                alignment = keywordIndex(value, {"top", "middle", "bottom"});
                if (alignment < 0)
                    return TWLayout::error("invalidVerticalAlignmentValue", value);
            }
            values.insert(QStringLiteral("verticalAlignment"), alignment);
        } else if (attribute == QLatin1String("column")) {
            if (!present)
                return TWLayout::missingAttributeError(element.name(), attribute);
            const int column = keywordIndex(value, {"left", "center", "right"});
            if (column < 0)
                return TWLayout::error("invalidColumnValue", value);
            values.insert(QStringLiteral("column"), column);
        } else if (attribute == QLatin1String("row")) {
            if (!present)
                return TWLayout::missingAttributeError(element.name(), attribute);
            values.insert(QStringLiteral("row"), leadingInt(value));
        } else if (attribute == QLatin1String("location")) {
            if (present) {
                const int location = keywordIndex(value, {"top", "bottom"});
                if (location < 0)
                    return TWLayout::error("invalidLocationValue", value);
                values.insert(QStringLiteral("location"), location);
            }
        } else if (attribute == QLatin1String("angle")) {
            values.insert(QStringLiteral("angle"), present ? leadingInt(value) : 0);
        } else if (attribute == QLatin1String("alpha")) {
            values.insert(QStringLiteral("alpha"), present ? leadingFloat(value) : 0.7f);
        } else if (attribute == QLatin1String("x") || attribute == QLatin1String("y")) {
            if (!present)
                return TWLayout::missingAttributeError(element.name(), attribute);
            hasRect = true;
            const double position = leadingFloat(value);
            if (TWErrorResult failure =
                    inRange(element, name, value, position, -kMaximumPosition, kMaximumPosition))
                return failure;
            if (attribute == QLatin1String("x"))
                rect.moveLeft(position);
            else
                rect.moveTop(position);
        } else if (attribute == QLatin1String("width") || attribute == QLatin1String("height")) {
            const bool isWidth = attribute == QLatin1String("width");
            if (present) {
                const double length = leadingFloat(value);
                if (TWErrorResult failure =
                        inRange(element, name, value, length, 0, kMaximumPosition))
                    return failure;
                if (isWidth)
                    rect.setWidth(length);
                else
                    rect.setHeight(length);
            } else {
                (isWidth ? imageWidth : imageHeight) = true;
            }
        } else if (attribute == QLatin1String("path")) {
            if (!present)
                return TWLayout::missingAttributeError(element.name(), attribute);
            if (TWErrorResult failure = imageWithData(m_fileData, value, &image))
                return failure;
            values.insert(QStringLiteral("image"), image);
        }
    }

    if (hasFont) {
        const std::optional<QFont> font = TWFontResolver::fontWithName(fontName, fontSize);
        if (!font)
            return TWLayout::error("fontNotAvailable", fontName);
        values.insert(QStringLiteral("font"), *font);
    }
    if (hasRect) {
        const QSizeF size = image.isNull() ? QSizeF() : imageSize(image);
        if (imageWidth)
            rect.setWidth(size.width());
        if (imageHeight)
            rect.setHeight(size.height());
        // A size taken from the picture itself is held to the same bounds.
        if (TWErrorResult failure = inRange(element, "width", QString::number(rect.width()),
                                            rect.width(), 0, kMaximumPosition))
            return failure;
        if (TWErrorResult failure = inRange(element, "height", QString::number(rect.height()),
                                            rect.height(), 0, kMaximumPosition))
            return failure;
        values.insert(QStringLiteral("rect"), rect);
    }
    if (additionalSettings) {
        for (auto it = additionalSettings->cbegin(); it != additionalSettings->cend(); ++it)
            values.insert(it.key(), it.value());
    }
    *result = values;
    return std::nullopt;
}

TWErrorResult Parser::parseElement(const AttributeList &attributes, const TWXMLElement &element,
                                   const char *key, const QVariantMap *additionalSettings,
                                   QVariantMap *result)
{
    QVariantMap values;
    if (TWErrorResult failure =
            parseAttributes(attributes, element, &m_page, additionalSettings, &values))
        return failure;
    m_settings.insert(QString::fromLatin1(key), values);
    if (result)
        *result = values;
    return std::nullopt;
}

TWErrorResult Parser::parseParts(const TWXMLElement &parent, std::initializer_list<Part> parts,
                                 const AttributeList &attributes,
                                 const QVariantMap *additionalSettings)
{
    const QString previous = m_parent;
    m_parent = parent.name();
    for (const TWXMLElementPtr &child : parent.elements()) {
        for (const Part &part : parts) {
            if (!isNamed(*child, part.element))
                continue;
            if (TWErrorResult failure =
                    parseElement(attributes, *child, part.key, additionalSettings)) {
                m_parent = previous;
                return failure;
            }
            break;
        }
    }
    m_parent = previous;
    return std::nullopt;
}

TWErrorResult Parser::parseComponent(const TWXMLElement &element)
{
    QVariantMap own;
    QVariantMap alignment;
    if (isNamed(element, "client")) {
        if (TWErrorResult failure =
                parseElement(kComponentAttributes, element, "componentClient", nullptr, &own))
            return failure;
        alignment.insert(QStringLiteral("horizontalAlignment"),
                         own.value(QStringLiteral("horizontalAlignment")));
        return parseParts(element,
                          {{"to", "componentClientTo"},
                           {"name", "componentClientName"},
                           {"company", "componentClientCompany"},
                           {"address", "componentClientAddress"}},
                          kTextAttributes, &alignment);
    }
    if (isNamed(element, "business")) {
        if (TWErrorResult failure =
                parseElement(kComponentAttributes, element, "componentBusiness", nullptr, &own))
            return failure;
        alignment.insert(QStringLiteral("horizontalAlignment"),
                         own.value(QStringLiteral("horizontalAlignment")));
        return parseParts(element,
                          {{"from", "componentBusinessFrom"},
                           {"name", "componentBusinessName"},
                           {"address", "componentBusinessAddress"},
                           {"phone", "componentBusinessPhone"},
                           {"fax", "componentBusinessFax"},
                           {"email", "componentBusinessEmail"},
                           {"website", "componentBusinessWebsite"}},
                          kTextAttributes, &alignment);
    }
    if (isNamed(element, "title"))
        return parseElement(kTitleAttributes, element, "componentTitle");
    if (isNamed(element, "invoice")) {
        if (TWErrorResult failure =
                parseElement(kComponentAttributes, element, "componentInvoice", nullptr, &own))
            return failure;
        alignment.insert(QStringLiteral("horizontalAlignment"),
                         own.value(QStringLiteral("horizontalAlignment")));
        return parseParts(element,
                          {{"nameLabel", "componentInvoiceNameLabel"},
                           {"name", "componentInvoiceName"},
                           {"numberLabel", "componentInvoiceNumberLabel"},
                           {"number", "componentInvoiceNumber"},
                           {"dateLabel", "componentInvoiceDateLabel"},
                           {"date", "componentInvoiceDate"},
                           {"dueDateLabel", "componentInvoiceDueDateLabel"},
                           {"dueDate", "componentInvoiceDueDate"}},
                          kTextAttributes, &alignment);
    }
    if (isNamed(element, "table")) {
        if (TWErrorResult failure = parseElement(kTableAttributes, element, "componentTable"))
            return failure;
        for (const TWXMLElementPtr &child : element.elements()) {
            TWErrorResult failure;
            if (isNamed(*child, "headers")) {
                failure = parseElement(kCellAttributes, *child, "componentTableHeaders");
            } else if (isNamed(*child, "values")) {
                failure = parseParts(*child,
                                     {{"date", "componentTableValuesDate"},
                                      {"description", "componentTableValuesDescription"},
                                      {"type", "componentTableValuesType"},
                                      {"quantity", "componentTableValuesQuantity"},
                                      {"rate", "componentTableValuesRate"},
                                      {"subtotal", "componentTableValuesSubtotal"},
                                      {"tax", "componentTableValuesTax"},
                                      {"total", "componentTableValuesTotal"},
                                      {"notes", "componentTableValuesNotes"}},
                                     kCellAttributes);
            } else if (isNamed(*child, "totals")) {
                failure = parseParts(*child,
                                     {{"headers", "componentTableTotalsHeaders"},
                                      {"values", "componentTableTotalsValues"},
                                      {"dueHeader", "componentTableTotalsDueHeader"},
                                      {"dueValue", "componentTableTotalsDueValue"}},
                                     kCellAttributes);
            }
            if (failure)
                return failure;
        }
        return std::nullopt;
    }
    if (isNamed(element, "details")) {
        if (TWErrorResult failure =
                parseElement(kDetailsAttributes, element, "componentDetails", nullptr, &own))
            return failure;
        alignment.insert(QStringLiteral("horizontalAlignment"),
                         own.value(QStringLiteral("horizontalAlignment")));
        return parseParts(element,
                          {{"terms", "componentDetailsTerms"}, {"notes", "componentDetailsNotes"}},
                          kTextAttributes, &alignment);
    }
    return std::nullopt;
}

TWErrorResult Parser::parsePageChild(const TWXMLElement &element)
{
    if (isNamed(element, "number"))
        return parseElement(
            kPageAttributes +
                std::initializer_list<const char *>{"horizontalAlignment", "location"},
            element, "number");
    if (isNamed(element, "header"))
        return parseElement(kPageAttributes +
                                std::initializer_list<const char *>{"horizontalAlignment"},
                            element, "header");
    if (isNamed(element, "footer"))
        return parseElement(kPageAttributes +
                                std::initializer_list<const char *>{"horizontalAlignment"},
                            element, "footer");
    if (isNamed(element, "images")) {
        // Each "images" element starts the list afresh, like any repeated element.
        QVariantList images;
        for (const TWXMLElementPtr &child : element.elements()) {
            if (!isNamed(*child, "image"))
                continue;
            QVariantMap entry;
            m_parent = element.name();
            const TWErrorResult failure =
                parseAttributes(kImageAttributes, *child, &m_page, nullptr, &entry);
            m_parent.clear();
            if (failure)
                return failure;
            images.append(entry);
        }
        m_settings.insert(QStringLiteral("images"), images);
        return std::nullopt;
    }
    if (isNamed(element, "overlays")) {
        return parseParts(element, {{"paid", "overlayPaid"}, {"overdue", "overlayOverdue"}},
                          kPageAttributes + std::initializer_list<const char *>{"angle"});
    }
    if (isNamed(element, "components")) {
        for (const TWXMLElementPtr &child : element.elements()) {
            if (TWErrorResult failure = parseComponent(*child))
                return failure;
        }
    }
    return std::nullopt;
}

TWErrorResult Parser::parse(const TWXMLElement &root, QVariantMap *settings)
{
    if (!isNamed(root, "layout"))
        return TWLayout::error("invalidRootElement", root.name());
    const QString version = root.attributes().value(QStringLiteral("version"));
    if (version.compare(QLatin1String("1.0"), Qt::CaseInsensitive) != 0)
        return TWLayout::error("unsupportedLayoutVersion", version);
    const QString type = root.attributes().value(QStringLiteral("type"));
    if (type.compare(QLatin1String("invoice"), Qt::CaseInsensitive) != 0)
        return TWLayout::error("unsupportedLayoutType", type);
    const TWXMLElementPtr page = root.childElementWithName(QStringLiteral("page"));
    if (!page)
        return TWLayout::error("missingPageElement");

    if (TWErrorResult failure = parseAttributes(kPageAttributes, *page, nullptr, nullptr, &m_page))
        return failure;
    m_settings.insert(QStringLiteral("page"), m_page);
    const QString pageFont = page->attributes().value(QStringLiteral("font"));
    m_pageFontName = pageFont.isEmpty() ? QStringLiteral("Times Roman") : pageFont;
    m_pageFontSize = m_page.value(QStringLiteral("font")).value<QFont>().pointSizeF();

    for (const TWXMLElementPtr &child : page->elements()) {
        if (TWErrorResult failure = parsePageChild(*child))
            return failure;
    }
    *settings = m_settings;
    return std::nullopt;
}

// One pair of hexadecimal digits as 0..1; only the hexadecimal digits the
// pair starts with count ("G0" reads as 0).
float colourComponent(QStringView pair)
{
    int value = 0;
    for (const QChar c : pair) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return float(value) / 255.0f;
}

} // namespace

TWErrorResult TWLayout::parseXML(const TWXMLElement &root, const TWLayoutFileData &fileData,
                                 QVariantMap *settings)
{
    Parser parser(fileData);
    QVariantMap result;
    if (TWErrorResult failure = parser.parse(root, &result))
        return failure;
    if (settings)
        *settings = result;
    return std::nullopt;
}

TWErrorResult TWLayout::parseXMLColour(const QString &text, QColor *colour)
{
    if ((text.size() != 7 && text.size() != 9) || !text.startsWith(QLatin1Char('#')))
        return error("invalidColorFormat", text);
    // Only the form is checked: a pair that does not start with a hexadecimal
    // digit reads as 0 ("#GG0000" is black), as far as its digits go.
    const QStringView digits = QStringView(text).mid(1);
    float alpha = 1.0f;
    qsizetype at = 0;
    if (digits.size() == 8) {
        alpha = colourComponent(digits.mid(0, 2));
        at = 2;
    }
    const float red = colourComponent(digits.mid(at, 2));
    const float green = colourComponent(digits.mid(at + 2, 2));
    const float blue = colourComponent(digits.mid(at + 4, 2));
    if (colour)
        *colour = QColor::fromRgbF(red, green, blue, alpha);
    return std::nullopt;
}

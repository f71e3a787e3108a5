#include "foundation/TWXMLParser.h"

#include "foundation/TWLocalized.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace
{

constexpr qsizetype kChunkSize = 256 * 1024;

// The loader libxml2 consults for every external entity, DTD and XInclude.
// Nothing a document names is ever fetched, from disk or from the network.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}

TWXMLParser *parserOf(void *context)
{
    return static_cast<TWXMLParser *>(context);
}

QString text(const xmlChar *bytes)
{
    return bytes ? QString::fromUtf8(reinterpret_cast<const char *>(bytes)) : QString();
}

QString qualifiedName(const xmlChar *prefix, const xmlChar *localName)
{
    if (!localName)
        return QString();
    if (prefix && *prefix)
        return text(prefix) + QLatin1Char(':') + text(localName);
    return text(localName);
}

// Without entity substitution libxml2 hands every '&' of an attribute value
// over as the character reference "&#38;" (other predefined entities and
// character references arrive decoded). Every '&' of the raw value stands for
// such a reference, so replacing them in one left-to-right pass is exact.
// Namespace URIs arrive the same way.
QString attributeValue(QByteArray raw)
{
    if (raw.contains('&'))
        raw.replace("&#38;", "&");
    return QString::fromUtf8(raw);
}

QString attributeValue(const xmlChar *begin, const xmlChar *end)
{
    return attributeValue(QByteArray(reinterpret_cast<const char *>(begin), end - begin));
}

void startElement(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *,
                  int namespaceCount, const xmlChar **namespaces, int attributeCount, int,
                  const xmlChar **attributes)
{
    TWXMLAttributes table;
    for (int i = 0; i < namespaceCount; ++i) {
        const xmlChar *nsPrefix = namespaces[2 * i];
        const xmlChar *nsURI = namespaces[2 * i + 1];
        if (nsPrefix && nsURI)
            table.insert(QStringLiteral("xmlns:") + text(nsPrefix),
                         attributeValue(QByteArray(reinterpret_cast<const char *>(nsURI))));
    }
    // Five pointers an attribute: local name, prefix, URI, value, value end.
    for (int i = 0; i < attributeCount; ++i) {
        const xmlChar **attribute = attributes + 5 * i;
        const xmlChar *value = attribute[3];
        const xmlChar *valueEnd = attribute[4];
        if (!value || !valueEnd || valueEnd <= value)
            continue;
        table.insert(qualifiedName(attribute[1], attribute[0]), attributeValue(value, valueEnd));
    }
    parserOf(context)->xmlElementStart(qualifiedName(prefix, localName), table);
}

void endElement(void *context, const xmlChar *localName, const xmlChar *prefix, const xmlChar *)
{
    parserOf(context)->xmlElementEnd(qualifiedName(prefix, localName));
}

void characters(void *context, const xmlChar *bytes, int length)
{
    if (length > 0)
        parserOf(context)->xmlCharacters(
            QString::fromUtf8(reinterpret_cast<const char *>(bytes), length));
}

void error(void *context, const char *format, ...)
{
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0)
        length = 0;
    if (length >= int(sizeof buffer))
        length = int(sizeof buffer) - 1;
    // A cut inside a multi-byte character decodes to a replacement character.
    parserOf(context)->xmlError(QString::fromUtf8(buffer, length).trimmed());
}

// Entities are never substituted, so a declaration can only be an attack
// (exponential or quadratic expansion, external files): refuse the document.
void entityDeclaration(void *context, const xmlChar *name, int, const xmlChar *, const xmlChar *,
                       xmlChar *)
{
    parserOf(context)->refuse(TWLocalized("xmlEntityDeclarationRefused").arg(text(name)));
}

void unparsedEntityDeclaration(void *context, const xmlChar *name, const xmlChar *, const xmlChar *,
                               const xmlChar *)
{
    entityDeclaration(context, name, 0, nullptr, nullptr, nullptr);
}

// An attribute-list declaration adds its defaults to every matching element,
// and libxml2 compares each default with each attribute of every such
// element: refuse the document like an entity declaration.
void attributeDeclaration(void *context, const xmlChar *element, const xmlChar *name, int, int,
                          const xmlChar *, xmlEnumerationPtr tree)
{
    if (tree)
        xmlFreeEnumeration(tree);
    parserOf(context)->refuse(
        TWLocalized("xmlAttributeDeclarationRefused").arg(text(element), text(name)));
}

// The offset just past the first `terminator` at or after `from`, or the end.
qsizetype skipPast(const QByteArray &data, qsizetype from, const char *terminator)
{
    const qsizetype found = data.indexOf(terminator, from);
    return found < 0 ? data.size() : found + qsizetype(std::strlen(terminator));
}

struct AttributeCounts {
    qint64 largest = 0; // on one start tag
    qint64 total = 0;   // in the whole document
};

// The attributes (namespace declarations included) of the start tags, counted
// in one pass over the bytes: every '=' outside a quoted value inside a start
// tag counts. Malformed markup can only count too many, and libxml2 then
// refuses such a document anyway.
AttributeCounts countAttributes(const QByteArray &data)
{
    const char *bytes = data.constData();
    const qsizetype size = data.size();
    AttributeCounts counts;
    qsizetype i = 0;
    while (i < size) {
        const void *open = std::memchr(bytes + i, '<', size_t(size - i));
        if (!open)
            break;
        i = static_cast<const char *>(open) - bytes + 1;
        if (i >= size)
            break;
        const char kind = bytes[i];
        if (kind == '/')
            continue;
        if (kind == '?') {
            i = skipPast(data, i + 1, "?>");
            continue;
        }
        if (kind == '!') {
            const QByteArrayView rest(bytes + i, size - i);
            if (rest.startsWith("!--"))
                i = skipPast(data, i + 3, "-->");
            else if (rest.startsWith("![CDATA["))
                i = skipPast(data, i + 8, "]]>");
            continue;
        }
        qint64 count = 0;
        char quote = 0;
        for (; i < size; ++i) {
            const char c = bytes[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++count;
            } else if (c == '>' || c == '<') {
                break;
            }
        }
        counts.largest = qMax(counts.largest, count);
        counts.total += count;
    }
    return counts;
}

xmlSAXHandler makeHandler()
{
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = startElement;
    handler.endElementNs = endElement;
    handler.characters = characters;
    handler.cdataBlock = characters;
    handler.error = error;
    handler.entityDecl = entityDeclaration;
    handler.unparsedEntityDecl = unparsedEntityDeclaration;
    handler.attributeDecl = attributeDeclaration;
    return handler;
}

TWError syntaxError(const QString &message)
{
    return TWError(QString::fromLatin1(TWXMLSyntaxErrorDomain), -1, message);
}

} // namespace

// libxml2's loader is one setting for the whole process, and parses also run
// on worker threads: install the refusing loader once, before the first
// parse, and never change it again.
void TWXMLParser::prepareLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
    });
}

TWXMLParser::TWXMLParser()
{
    prepareLibrary();
    m_elementStack.reserve(25);
}

TWXMLParser::~TWXMLParser() = default;

std::shared_ptr<TWXMLParser> TWXMLParser::xmlParser()
{
    return std::make_shared<TWXMLParser>();
}

TWXMLElementPtr TWXMLParser::parseData(const QByteArray &data, TWErrorResult *error)
{
    m_rootElement.reset();
    m_elementStack.clear();
    m_error.reset();
    m_elementCount = 0;
    m_refused = false;

    if (data.size() > m_maximumSize || data.size() > INT_MAX) {
        m_error = syntaxError(TWLocalized("xmlDocumentTooLarge").arg(m_maximumSize));
    } else if (const AttributeCounts counts = countAttributes(data);
               counts.largest > kMaximumAttributeCount) {
        m_error = syntaxError(TWLocalized("xmlTooManyAttributes").arg(kMaximumAttributeCount));
    } else if (counts.total > kMaximumAttributeTotal) {
        m_error = syntaxError(TWLocalized("xmlTooManyAttributesInAll").arg(kMaximumAttributeTotal));
    } else {
        xmlSAXHandler handler = makeHandler();
        xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
        if (!context) {
            m_error = syntaxError(TWLocalized("xmlParserUnavailable"));
        } else {
            // Without XML_PARSE_NOENT entities stay unsubstituted, without
            // XML_PARSE_DTDLOAD no external subset is read.
            xmlCtxtUseOptions(context, XML_PARSE_NONET);
            m_context = context;
            // The document goes in pieces, the last with the terminate flag:
            // libxml2 refuses to look ahead over more than 10 MB of input at
            // once, and bank files can be larger than that.
            bool failed = false;
            qsizetype offset = 0;
            do {
                const qsizetype length = qMin(kChunkSize, data.size() - offset);
                const bool last = offset + length >= data.size();
                if (xmlParseChunk(context, data.constData() + offset, int(length), last) != 0)
                    failed = true;
                offset += length;
            } while (offset < data.size() && context->instate != XML_PARSER_EOF);
            m_context = nullptr;
            // A complaint that did not reach the error callback (another
            // handler installed for the whole process) still fails the parse.
            if (!m_error && (failed || !context->wellFormed)) {
                const ::xmlError *last = xmlCtxtGetLastError(context);
                m_error =
                    syntaxError(last && last->message ? QString::fromUtf8(last->message).trimmed()
                                                      : TWLocalized("xmlMalformed"));
            }
            // A DOCTYPE makes libxml2 build a document to hold the DTD, which
            // the context does not own: free it on every path.
            if (context->myDoc) {
                xmlFreeDoc(context->myDoc);
                context->myDoc = nullptr;
            }
            xmlFreeParserCtxt(context);
        }
    }
    if (error)
        *error = m_error;
    return m_rootElement;
}

TWXMLElementPtr TWXMLParser::parseFilePath(const QString &path, TWErrorResult *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Parsed as an empty document, but with a complaint that names the file.
        parseData(QByteArray());
        m_error = syntaxError(TWLocalized("xmlCannotReadFile").arg(path));
        if (error)
            *error = m_error;
        return m_rootElement;
    }
    // One byte beyond the limit is enough for parseData to refuse the
    // document, and a device without an end cannot fill memory.
    return parseData(file.read(qMax<qint64>(0, m_maximumSize) + 1), error);
}

void TWXMLParser::xmlElementStart(const QString &name, const TWXMLAttributes &attributes)
{
    if (++m_elementCount > m_maximumElementCount) {
        refuse(TWLocalized("xmlTooManyElements").arg(m_maximumElementCount));
        return;
    }
    if (m_elementStack.size() >= kMaximumDepth) {
        refuse(TWLocalized("xmlNestedTooDeeply").arg(kMaximumDepth));
        return;
    }
    auto element = std::make_shared<TWXMLElement>(name, attributes, TWXMLElementList(), QString());
    if (!m_rootElement)
        m_rootElement = element;
    else if (!m_elementStack.isEmpty())
        m_elementStack.last()->appendElement(element);
    m_elementStack.append(element);
}

void TWXMLParser::xmlElementEnd(const QString &)
{
    if (!m_elementStack.isEmpty())
        m_elementStack.removeLast();
}

void TWXMLParser::xmlCharacters(const QString &characters)
{
    if (!m_elementStack.isEmpty())
        m_elementStack.last()->appendData(characters);
}

void TWXMLParser::xmlError(const QString &message)
{
    if (!m_refused)
        m_error = syntaxError(message);
}

void TWXMLParser::refuse(const QString &message)
{
    if (m_refused)
        return;
    m_error = syntaxError(message);
    m_refused = true;
    if (m_context)
        xmlStopParser(static_cast<xmlParserCtxtPtr>(m_context));
}

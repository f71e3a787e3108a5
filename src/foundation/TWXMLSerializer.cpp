#include "foundation/TWXMLSerializer.h"

#include "foundation/TWSaveFile.h"
#include "foundation/TWXMLParser.h"

#include <QSaveFile>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

namespace
{

const xmlChar *bytes(const QByteArray &utf8)
{
    return reinterpret_cast<const xmlChar *>(utf8.constData());
}

// The writer checks neither names nor characters, so a bad name or a control
// character would give a document that no reader accepts: such a tree is
// not written at all.
bool isValidName(const QString &name)
{
    return !name.isEmpty() && xmlValidateQName(bytes(name.toUtf8()), 0) == 0;
}

bool isValidText(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
            continue;
        }
        if (c.isLowSurrogate())
            return false;
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            return false;
        if (u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

bool writeElement(xmlTextWriterPtr writer, const TWXMLElement &element)
{
    if (!isValidName(element.name()))
        return false;
    if (xmlTextWriterStartElement(writer, bytes(element.name().toUtf8())) < 0)
        return false;
    const TWXMLAttributes &attributes = element.attributes();
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        if (!isValidName(it.key()) || !isValidText(it.value()))
            return false;
        if (xmlTextWriterWriteAttribute(writer, bytes(it.key().toUtf8()),
                                        bytes(it.value().toUtf8())) < 0)
            return false;
    }
    if (!element.data().isEmpty()) {
        if (!isValidText(element.data()))
            return false;
        if (xmlTextWriterWriteString(writer, bytes(element.data().toUtf8())) < 0)
            return false;
    }
    for (const TWXMLElementPtr &child : element.elements()) {
        if (!child || !writeElement(writer, *child))
            return false;
    }
    return xmlTextWriterEndElement(writer) >= 0;
}

} // namespace

TWXMLSerializer::TWXMLSerializer()
{
    TWXMLParser::prepareLibrary();
}

std::shared_ptr<TWXMLSerializer> TWXMLSerializer::xmlSerializer()
{
    return std::make_shared<TWXMLSerializer>();
}

std::optional<QByteArray>
TWXMLSerializer::serializeDataWithRootElement(const TWXMLElementPtr &rootElement)
{
    if (!rootElement)
        return std::nullopt;
    xmlBufferPtr buffer = xmlBufferCreateSize(512);
    if (!buffer)
        return std::nullopt;
    xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
    if (!writer) {
        xmlBufferFree(buffer);
        return std::nullopt;
    }
    bool ok = xmlTextWriterStartDocument(writer, nullptr, "UTF-8", "yes") >= 0 &&
              writeElement(writer, *rootElement) && xmlTextWriterEndDocument(writer) >= 0;
    // The writer flushes into the buffer as it is freed: free it first.
    xmlFreeTextWriter(writer);
    std::optional<QByteArray> result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                            xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return result;
}

bool TWXMLSerializer::serializeToData(QByteArray &data, const TWXMLElementPtr &rootElement)
{
    const std::optional<QByteArray> document = serializeDataWithRootElement(rootElement);
    if (!document)
        return false;
    data.append(*document);
    return true;
}

bool TWXMLSerializer::serializeToFilePath(const QString &path, const TWXMLElementPtr &rootElement)
{
    const std::optional<QByteArray> document = serializeDataWithRootElement(rootElement);
    if (!document)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return !twCommitSaveFile(file, file.write(*document) == document->size());
}

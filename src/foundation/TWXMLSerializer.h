#pragma once
// Writes a tree of TWXMLElements as an XML document: UTF-8, standalone, no
// indentation, attributes and text escaped by libxml2's text writer.

#include "foundation/TWXMLElement.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class TWXMLSerializer
{
public:
    TWXMLSerializer();
    static std::shared_ptr<TWXMLSerializer> xmlSerializer();

    // Writes the document to the file at `path` (a plain path, never read as a
    // URI). The file is replaced only when the whole document was written.
    bool serializeToFilePath(const QString &path, const TWXMLElementPtr &rootElement);
    // Appends the whole document to `data` on success; leaves it unchanged on
    // failure.
    bool serializeToData(QByteArray &data, const TWXMLElementPtr &rootElement);
    // The document, or nothing on failure.
    std::optional<QByteArray> serializeDataWithRootElement(const TWXMLElementPtr &rootElement);
};

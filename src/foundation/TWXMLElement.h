#pragma once
// One element of a parsed XML document: its qualified name, attribute table,
// child elements and character data. Invoice layouts, the news feed and bank
// files are all read into this plain tree and walked by their own code.

#include <QList>
#include <QMap>
#include <QString>

#include <memory>

class TWXMLElement;
using TWXMLElementPtr = std::shared_ptr<TWXMLElement>;
using TWXMLElementList = QList<TWXMLElementPtr>;

// Attribute name ("x", or "p:z" with a prefix, "xmlns:p" for a namespace
// declaration) to its decoded value.
using TWXMLAttributes = QMap<QString, QString>;

class TWXMLElement
{
public:
    TWXMLElement() = default;
    // Frees the subtree without recursion: a document nested thousands of
    // levels deep must not exhaust the stack when it is released.
    ~TWXMLElement();
    TWXMLElement(const TWXMLElement &) = default;
    TWXMLElement &operator=(const TWXMLElement &) = default;
    TWXMLElement(TWXMLElement &&) = default;
    TWXMLElement &operator=(TWXMLElement &&) = default;
    explicit TWXMLElement(QString name) : m_name(std::move(name)) {}
    TWXMLElement(QString name, TWXMLAttributes attributes, TWXMLElementList elements, QString data)
        : m_name(std::move(name)), m_attributes(std::move(attributes)),
          m_elements(std::move(elements)), m_data(std::move(data))
    {
    }

    static TWXMLElementPtr xmlElementWithName(const QString &name);
    static TWXMLElementPtr xmlElementWithName(const QString &name,
                                              const TWXMLAttributes &attributes,
                                              const TWXMLElementList &elements,
                                              const QString &data);

    // The first child, in document order, whose name equals `name` ignoring
    // case; null when there is none.
    TWXMLElementPtr childElementWithName(const QString &name) const;

    // "prefix:local" for a prefixed element, else the local name.
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const TWXMLAttributes &attributes() const { return m_attributes; }
    void setAttributes(const TWXMLAttributes &attributes) { m_attributes = attributes; }
    // Empty when the element has no children.
    const TWXMLElementList &elements() const { return m_elements; }
    TWXMLElementList &elements() { return m_elements; }
    void setElements(const TWXMLElementList &elements) { m_elements = elements; }
    // All character data directly inside the element, in document order; a
    // null string when there is none.
    const QString &data() const { return m_data; }
    void setData(const QString &data) { m_data = data; }

    void appendElement(const TWXMLElementPtr &element) { m_elements.append(element); }
    void appendData(const QString &text) { m_data.append(text); }

private:
    QString m_name;
    TWXMLAttributes m_attributes;
    TWXMLElementList m_elements;
    QString m_data;
};

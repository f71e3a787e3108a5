#include "TWXMLElement.h"

TWXMLElementPtr TWXMLElement::xmlElementWithName(const QString &name)
{
    return std::make_shared<TWXMLElement>(name);
}

TWXMLElementPtr TWXMLElement::xmlElementWithName(const QString &name,
                                                 const TWXMLAttributes &attributes,
                                                 const TWXMLElementList &elements,
                                                 const QString &data)
{
    return std::make_shared<TWXMLElement>(name, attributes, elements, data);
}

TWXMLElementPtr TWXMLElement::childElementWithName(const QString &name) const
{
    for (const TWXMLElementPtr &child : m_elements) {
        if (child && child->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}

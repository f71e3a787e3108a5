#include "foundation/TWXMLElement.h"

#include <vector>

TWXMLElement::~TWXMLElement()
{
    if (m_elements.isEmpty())
        return;
    // Children only this element holds are emptied into a flat worklist
    // before they are released, so each release frees a childless element.
    std::vector<TWXMLElementPtr> pending;
    for (TWXMLElementPtr &child : m_elements)
        pending.push_back(std::move(child));
    m_elements.clear();
    while (!pending.empty()) {
        TWXMLElementPtr element = std::move(pending.back());
        pending.pop_back();
        if (element && element.use_count() == 1 && !element->m_elements.isEmpty()) {
            TWXMLElementList children;
            children.swap(element->m_elements);
            for (const TWXMLElementPtr &child : std::as_const(children))
                pending.push_back(child);
        }
    }
}

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

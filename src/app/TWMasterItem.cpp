#include "app/TWMasterItem.h"

#include "store/TWItemTree.h"

#include <QSet>

TWMasterItem::TWMasterItem(quint32 type, TWMasterItemChildren childItems, TWItemPtr item)
    : m_type(type), m_childItems(std::move(childItems)), m_item(std::move(item))
{
}

TWMasterItemPtr TWMasterItem::masterItemWithType(quint32 type, TWMasterItemChildren childItems,
                                                 TWItemPtr item)
{
    return std::make_shared<TWMasterItem>(type, std::move(childItems), std::move(item));
}

TWMasterItemPtr TWMasterItem::copy() const
{
    return masterItemWithType(m_type, m_childItems, m_item);
}

bool TWMasterItem::isEqual(const TWMasterItem &other) const
{
    if (this == &other)
        return true;
    if (m_type != other.m_type)
        return false;
    if (bool(m_item) != bool(other.m_item) || (m_item && !m_item->isEqual(*other.m_item)))
        return false;
    if (bool(m_childItems) != bool(other.m_childItems))
        return false;
    if (!m_childItems || m_childItems == other.m_childItems)
        return true;
    if (m_childItems->size() != other.m_childItems->size())
        return false;
    for (qsizetype i = 0; i < m_childItems->size(); ++i) {
        const TWMasterItemPtr &a = m_childItems->at(i);
        const TWMasterItemPtr &b = other.m_childItems->at(i);
        if (bool(a) != bool(b) || (a && !a->isEqual(*b)))
            return false;
    }
    return true;
}

std::size_t TWMasterItem::hash() const
{
    if (m_type == TWMasterItemEntity && m_item)
        return m_item->hash();
    return m_type;
}

bool TWMasterItem::isHeaderType(quint32 type)
{
    return type <= TWMasterItemManageHeader || type == TWMasterItemFiltersHeader ||
           type == TWMasterItemFindHeader;
}

bool TWMasterItem::isManageType(quint32 type)
{
    return (type >= TWMasterItemBudget && type <= TWMasterItemValues) ||
           type == TWMasterItemAutofill;
}

void TWMasterItem::collect(const TWMasterItem &node, int kind, TWItemList &found)
{
    if (!node.m_childItems)
        return;
    for (const TWMasterItemPtr &child : *node.m_childItems) {
        if (!child)
            continue;
        if (child->m_item && int(child->m_item->type()) == kind)
            found.append(child->m_item);
        collect(*child, kind, found);
    }
}

std::optional<TWItemList> TWMasterItem::childItemsOfType(int kind) const
{
    if (m_type != TWMasterItemEntity)
        return std::nullopt;
    TWItemList found;
    collect(*this, kind, found);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

quint32 TWMasterItem::nextSortOrder() const
{
    if (!m_childItems || m_childItems->isEmpty())
        return 0;
    quint32 largest = 0;
    for (const TWMasterItemPtr &child : *m_childItems)
        if (child && child->m_item)
            largest = std::max(largest, child->m_item->sortOrder());
    return largest + 1;
}

bool TWMasterItem::containsMasterItem(const TWMasterItem &other) const
{
    if (isEqual(other))
        return true;
    if (!m_childItems)
        return false;
    for (const TWMasterItemPtr &child : *m_childItems)
        if (child && child->containsMasterItem(other))
            return true;
    return false;
}

bool TWMasterItem::hasParent(const TWMasterItemList &items) const
{
    for (const TWMasterItemPtr &candidate : items)
        if (candidate && !candidate->isEqual(*this) && candidate->containsMasterItem(*this))
            return true;
    return false;
}

QVariantMap TWMasterItem::settings() const
{
    QVariantMap settings;
    settings.insert(QStringLiteral("type"), qlonglong(m_type));
    if (m_type == TWMasterItemEntity && m_item) {
        settings.insert(QStringLiteral("subtype"), qlonglong(m_item->type()));
        settings.insert(QStringLiteral("identifier"), qlonglong(m_item->identifier()));
    }
    return settings;
}

TWItemList TWMasterItem::childItems(const TWMasterItemList &items)
{
    TWItemList records;
    for (const TWMasterItemPtr &node : items)
        if (node && node->m_type == TWMasterItemEntity && node->m_item)
            records.append(node->m_item);
    return records;
}

TWItemList TWMasterItem::childItems(const TWMasterItemList &items, int kind)
{
    TWItemList records;
    QSet<TWItemKey> seen;
    const auto add = [&](const TWItemPtr &item) {
        if (item && !seen.contains(TWItemKey::of(*item))) {
            seen.insert(TWItemKey::of(*item));
            records.append(item);
        }
    };
    for (const TWMasterItemPtr &node : items) {
        if (!node || node->m_type != TWMasterItemEntity)
            continue;
        if (node->m_item && int(node->m_item->type()) == kind)
            add(node->m_item);
        if (const std::optional<TWItemList> below = node->childItemsOfType(kind))
            for (const TWItemPtr &item : *below)
                add(item);
    }
    return records;
}

#pragma once
// A node of the source list's tree: a header, a manage entry, the search
// results, or the wrapper of one record (an account, client, merchant,
// report or filter, or a group of them). The tree is rebuilt from the store
// whenever the list refreshes; nodes are never stored, only their `settings`.

#include "model/TWItem.h"

#include <QList>
#include <QVariantMap>

#include <cstddef>
#include <memory>
#include <optional>

enum TWMasterItemType : quint32 {
    TWMasterItemAccountsHeader = 0,
    TWMasterItemClientsHeader = 1,
    TWMasterItemMerchantsHeader = 2,
    TWMasterItemReportsHeader = 3,
    TWMasterItemManageHeader = 4,
    TWMasterItemEntity = 5,
    TWMasterItemBudget = 6,
    TWMasterItemFields = 7,
    TWMasterItemUnits = 8,
    TWMasterItemRepeats = 9,
    TWMasterItemValues = 10,
    TWMasterItemFiltersHeader = 11,
    TWMasterItemFindHeader = 12,
    TWMasterItemSearchResults = 13,
    TWMasterItemAutofill = 14,
};

class TWMasterItem;
using TWMasterItemPtr = std::shared_ptr<TWMasterItem>;
using TWMasterItemList = QList<TWMasterItemPtr>;
// A children list is shared by a node and its copies; null means none.
using TWMasterItemChildren = std::shared_ptr<TWMasterItemList>;

class TWMasterItem final
{
public:
    TWMasterItem(quint32 type, TWMasterItemChildren childItems, TWItemPtr item);
    static TWMasterItemPtr masterItemWithType(quint32 type, TWMasterItemChildren childItems = {},
                                              TWItemPtr item = {});

    quint32 type() const { return m_type; }
    void setType(quint32 type) { m_type = type; }
    const TWMasterItemChildren &childItems() const { return m_childItems; }
    void setChildItems(TWMasterItemChildren childItems) { m_childItems = std::move(childItems); }
    bool hasChildren() const { return m_childItems && !m_childItems->isEmpty(); }
    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }
    const TWItemPtr &item() const { return m_item; }
    void setItem(TWItemPtr item) { m_item = std::move(item); }

    // The same type, children list (shared) and record; not expanded.
    TWMasterItemPtr copy() const;

    // Equal types, children equal element by element (or both absent) and
    // records equal (or both absent).
    bool isEqual(const TWMasterItem &other) const;
    std::size_t hash() const;

    static bool isHeaderType(quint32 type);
    static bool isManageType(quint32 type);
    bool isHeader() const { return isHeaderType(m_type); }
    bool isRecord() const { return m_type == TWMasterItemEntity && m_item; }
    // The record kind of a record node, 0 for every other node.
    int itemType() const { return isRecord() ? int(m_item->type()) : 0; }

    // The records of that kind below this record node, depth-first in
    // pre-order, the node's own record left out. None (not an empty list)
    // when nothing matches or the node is no record node.
    std::optional<TWItemList> childItemsOfType(int kind) const;
    // One more than the largest sort order of the children's records; 0
    // without children.
    quint32 nextSortOrder() const;
    // This node or one of its descendants equals `other`.
    bool containsMasterItem(const TWMasterItem &other) const;
    // Some other node of the list contains this one.
    bool hasParent(const TWMasterItemList &items) const;
    // Names the node across rebuilds: "type", and for a record node
    // "subtype" and "identifier".
    QVariantMap settings() const;

    // The records of the record nodes, in order (nothing descended into).
    static TWItemList childItems(const TWMasterItemList &items);
    // Each record of that kind at or below the record nodes, once.
    static TWItemList childItems(const TWMasterItemList &items, int kind);

private:
    static void collect(const TWMasterItem &node, int kind, TWItemList &found);

    quint32 m_type = 0;
    TWMasterItemChildren m_childItems;
    bool m_expanded = false;
    TWItemPtr m_item;
};

// Turns records of one kind into the record class they are.
template <typename T> QList<std::shared_ptr<T>> twItemsAs(const TWItemList &items)
{
    QList<std::shared_ptr<T>> result;
    result.reserve(items.size());
    for (const TWItemPtr &item : items)
        if (auto typed = std::dynamic_pointer_cast<T>(item))
            result.append(typed);
    return result;
}

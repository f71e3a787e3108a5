#pragma once
// A master-list tree as the store hands it out: each parent node (the root
// item or a group) with the ordered list of its children, and the indent level
// of every node once the tree is flattened into display order. Nodes are told
// apart as items are: by item type and identifier.

#include "model/TWItem.h"

#include <QHash>
#include <QHashFunctions>

#include <cstddef>

// The identity of a master-list node (TWItem::isEqual), usable as a hash key.
struct TWItemKey {
    int type = 0;
    qint32 identifier = 0;

    static TWItemKey of(const TWItem &item) { return {int(item.type()), item.identifier()}; }
    friend bool operator==(const TWItemKey &, const TWItemKey &) = default;
};

inline std::size_t qHash(const TWItemKey &key, std::size_t seed = 0) noexcept
{
    return qHashMulti(seed, key.type, key.identifier);
}

// Node -> indent level (0 for the children of the root).
using TWItemIndentLevels = QHash<TWItemKey, int>;

class TWItemTree
{
public:
    // The ordered children of a node; an empty list for a node without any
    // (or for no node).
    const TWItemList &children(const TWItem &node) const;
    const TWItemList &children(const TWItemPtr &node) const;
    bool hasChildren(const TWItem &node) const { return m_children.contains(TWItemKey::of(node)); }

    // Appends a child to a parent's list, creating the list on first use, so
    // only parents with at least one child are kept.
    void append(const TWItem &parent, const TWItemPtr &child);

    // How many parents have children.
    qsizetype size() const { return m_children.size(); }
    bool isEmpty() const { return m_children.isEmpty(); }
    // Every parent's list, for reordering in place.
    QHash<TWItemKey, TWItemList> &lists() { return m_children; }
    const QHash<TWItemKey, TWItemList> &lists() const { return m_children; }

private:
    QHash<TWItemKey, TWItemList> m_children;
};

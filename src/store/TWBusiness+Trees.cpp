// The master list as a tree: building it from the flat lists of leaves and
// groups, flattening it into display order with indent levels, and rewriting
// the stored sort orders when the document's sort mode changes.

#include "store/TWBusiness.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace
{

const TWItemList kNoChildren;

// Siblings by name: case-insensitive only, so names that differ in case alone
// tie and keep their given order under a stable sort. A null name compares as
// empty text. Folding the case of each character and comparing the results
// lexicographically is a strict weak ordering.
bool nameBefore(const TWItemPtr &a, const TWItemPtr &b)
{
    return QString::compare(a->name(), b->name(), Qt::CaseInsensitive) < 0;
}

bool sortOrderBefore(const TWItemPtr &a, const TWItemPtr &b)
{
    return a->sortOrder() < b->sortOrder();
}

// What a walk does after meeting a node.
enum class WalkStep { Skip, Descend, Stop };

// Visits the descendants of `start` in pre-order without recursion: `visit`
// gets each child with its position among its siblings and its level, and
// says whether to go into the child's own children. Each node is gone into at
// most once, so a tree that reaches a group twice (or holds it inside itself)
// still ends.
template <typename Visit>
void walkTree(const TWItemTree &tree, const TWItem &start, int level, Visit visit)
{
    struct Frame {
        const TWItemList *children;
        qsizetype next;
        int level;
    };
    QSet<TWItemKey> entered{TWItemKey::of(start)};
    std::vector<Frame> stack{{&tree.children(start), 0, level}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (frame.next >= frame.children->size()) {
            stack.pop_back();
            continue;
        }
        const qsizetype position = frame.next++;
        const int childLevel = frame.level;
        const TWItemPtr &child = frame.children->at(position);
        if (!child)
            continue;
        const WalkStep step = visit(child, position, childLevel);
        if (step == WalkStep::Stop)
            return;
        if (step == WalkStep::Skip || !tree.hasChildren(*child))
            continue;
        if (entered.contains(TWItemKey::of(*child)))
            continue;
        entered.insert(TWItemKey::of(*child));
        stack.push_back({&tree.children(*child), 0, childLevel + 1});
    }
}

} // namespace

const TWItemList &TWItemTree::children(const TWItem &node) const
{
    const auto found = m_children.constFind(TWItemKey::of(node));
    return found == m_children.constEnd() ? kNoChildren : *found;
}

const TWItemList &TWItemTree::children(const TWItemPtr &node) const
{
    return node ? children(*node) : kNoChildren;
}

void TWItemTree::append(const TWItem &parent, const TWItemPtr &child)
{
    m_children[TWItemKey::of(parent)].append(child);
}

TWItemTree TWBusiness::sortedItems(const TWItemList &items, const TWGroupList &groups,
                                   quint32 sortBy)
{
    const qsizetype count = groups.size();
    // Identifier -> position of the first group with it.
    QHash<qint32, qsizetype> positions;
    positions.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (groups[i] && !positions.contains(groups[i]->identifier()))
            positions.insert(groups[i]->identifier(), i);
    }

    // The position of each group's parent group, or -1 for the root. A parent
    // that is not among the groups makes the group a top-level one. Each
    // chain is followed once; where one comes back to a group met on the same
    // walk it loops, and the loop's group that comes first in the list moves
    // to the top level (the rest of the loop stays below it).
    enum : char { Unseen, OnWalk, Done };
    std::vector<qsizetype> parentOf(std::size_t(count), -1);
    std::vector<char> state(std::size_t(count), Unseen);
    std::vector<qsizetype> walk;
    for (qsizetype first = 0; first < count; ++first) {
        if (!groups[first] || state[first] != Unseen)
            continue;
        walk.clear();
        qsizetype at = first;
        while (true) {
            state[at] = OnWalk;
            walk.push_back(at);
            const qint32 parentIdentifier = groups[at]->parentIdentifier();
            const auto found = positions.constFind(parentIdentifier);
            if (parentIdentifier == 0 || found == positions.constEnd())
                break;
            const qsizetype parent = *found;
            parentOf[at] = parent;
            if (state[parent] == Done)
                break;
            if (state[parent] == OnWalk) {
                const auto loopStart = std::find(walk.begin(), walk.end(), parent);
                parentOf[*std::min_element(loopStart, walk.end())] = -1;
                break;
            }
            at = parent;
        }
        for (qsizetype visited : walk)
            state[visited] = Done;
    }

    const TWItem &root = *TWItem::rootItem();
    TWItemTree tree;
    for (qsizetype i = 0; i < count; ++i) {
        if (groups[i])
            tree.append(parentOf[i] < 0 ? root : *groups[parentOf[i]], groups[i]);
    }
    for (const TWItemPtr &item : items) {
        if (!item)
            continue;
        const auto found = item->parentIdentifier() == 0
                               ? positions.constEnd()
                               : positions.constFind(item->parentIdentifier());
        tree.append(found == positions.constEnd() ? root : *groups[*found], item);
    }

    if (sortBy == 0 || sortBy == 1) {
        for (TWItemList &children : tree.lists())
            std::stable_sort(children.begin(), children.end(),
                             sortBy == 0 ? nameBefore : sortOrderBefore);
    }
    return tree;
}

TWItemList TWBusiness::flatSortedItems(const TWItemList &items, const TWGroupList &groups,
                                       quint32 sortBy)
{
    TWItemList flat;
    flatItems(sortedItems(items, groups, sortBy), TWItem::rootItem(), 0, flat, nullptr);
    return flat;
}

void TWBusiness::flatItems(const TWItemTree &tree, const TWItemPtr &item, int currentIndentLevel,
                           TWItemList &flatItems, TWItemIndentLevels *indentLevels)
{
    if (!item)
        return;
    walkTree(tree, *item, currentIndentLevel, [&](const TWItemPtr &child, qsizetype, int level) {
        const bool group = TWItem::isGroupType(child->type());
        if (!group && !TWItem::isLeafType(child->type()))
            return WalkStep::Skip;
        flatItems.append(child);
        if (indentLevels)
            indentLevels->insert(TWItemKey::of(*child), level);
        return group ? WalkStep::Descend : WalkStep::Skip;
    });
}

TWErrorResult TWBusiness::writeItemSortOrder(WriteScope &scope, const TWItemPtr &item,
                                             quint32 sortOrder)
{
    const quint32 previous = item->sortOrder();
    item->setSortOrder(sortOrder);
    scope.onRollback([item, previous] { item->setSortOrder(previous); });

    const int type = item->type();
    if (TWItem::isGroupType(type)) {
        if (auto group = std::dynamic_pointer_cast<TWGroup>(item))
            return updateGroupSortOrder(group, true);
        return std::nullopt;
    }
    switch (type) {
    case TWItemTypeAccount:
        if (auto account = std::dynamic_pointer_cast<TWAccount>(item))
            return updateAccountSortOrder(account, true);
        break;
    case TWItemTypeClient:
        if (auto client = std::dynamic_pointer_cast<TWClient>(item))
            return updateClientSortOrder(client, true);
        break;
    case TWItemTypeMerchant:
        if (auto merchant = std::dynamic_pointer_cast<TWMerchant>(item))
            return updateMerchantSortOrder(merchant, true);
        break;
    case TWItemTypeReport:
        if (auto report = std::dynamic_pointer_cast<TWReport>(item))
            return updateReportSortOrder(report, true);
        break;
    case TWItemTypeFilter:
        if (auto filter = std::dynamic_pointer_cast<TWFilter>(item))
            return updateFilterSortOrder(filter, true);
        break;
    default:
        break;
    }
    return std::nullopt;
}

TWErrorResult TWBusiness::updateItems(const TWItemList &items, const TWGroupList &groups,
                                      quint32 sortBy)
{
    if (sortBy == 1) {
        // The manual order starts as the order by name.
        return updateItemsAndGroupsManualSortOrder(TWItem::rootItem(),
                                                   sortedItems(items, groups, 0));
    }
    if (sortBy != 0)
        return std::nullopt;

    // One write for every reset, so a failure leaves all of them undone.
    WriteScope scope(*this);
    for (const TWGroupPtr &group : groups) {
        if (!group)
            continue;
        if (TWErrorResult error = writeItemSortOrder(scope, group, 0))
            return scope.finish(error);
    }
    for (const TWItemPtr &item : items) {
        if (!item)
            continue;
        if (TWErrorResult error = writeItemSortOrder(scope, item, 0))
            return scope.finish(error);
    }
    return scope.commit();
}

TWErrorResult TWBusiness::updateItemsAndGroupsManualSortOrder(const TWItemPtr &item,
                                                              const TWItemTree &itemsAndGroups)
{
    if (!item)
        return std::nullopt;
    // One write for the whole renumbering, so a failure leaves it all undone.
    WriteScope scope(*this);
    TWErrorResult failure;
    walkTree(itemsAndGroups, *item, 0, [&](const TWItemPtr &child, qsizetype position, int) {
        failure = writeItemSortOrder(scope, child, quint32(position));
        return failure ? WalkStep::Stop : WalkStep::Descend;
    });
    return scope.finish(failure);
}

// Dragging a record of the source list to another place in its own family:
// onto a group it moves into it, between rows it takes that place in the
// manual order. The new parent and sort orders are stored in one write, so a
// failure leaves the store as it was.

#include "app/TWMasterModel.h"

#include "foundation/TWPropertyList.h"
#include "store/TWBusiness.h"

#include <QMimeData>

#include <algorithm>

namespace
{

// The family of a record kind: 1 accounts, 2 clients, 3 merchants, 4 reports,
// 9 filters; 0 for anything else.
int familyOfKind(qint64 kind)
{
    switch (kind) {
    case TWItemTypeAccountGroup:
    case TWItemTypeAccount:
        return 1;
    case TWItemTypeClientGroup:
    case TWItemTypeClient:
        return 2;
    case TWItemTypeMerchantGroup:
    case TWItemTypeMerchant:
        return 3;
    case TWItemTypeReportGroup:
    case TWItemTypeReport:
        return 4;
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return 9;
    default:
        return 0;
    }
}

int familyOfTarget(const TWMasterItem &target)
{
    switch (target.type()) {
    case TWMasterItemAccountsHeader:
        return 1;
    case TWMasterItemClientsHeader:
        return 2;
    case TWMasterItemMerchantsHeader:
        return 3;
    case TWMasterItemReportsHeader:
        return 4;
    case TWMasterItemFiltersHeader:
        return 9;
    default:
        return target.isRecord() ? familyOfKind(target.itemType()) : 0;
    }
}

std::optional<qint64> integer(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    default:
        return std::nullopt;
    }
}

// Stores one record's sort order, or its whole row, with the update of its kind.
TWErrorResult storeItem(TWBusiness &business, const TWItemPtr &item, bool sortOrderOnly)
{
    if (TWItem::isGroupType(item->type())) {
        const auto group = std::static_pointer_cast<TWGroup>(item);
        return sortOrderOnly ? business.updateGroupSortOrder(group, true)
                             : business.updateGroup(group, true);
    }
    switch (item->type()) {
    case TWItemTypeAccount: {
        const auto account = std::static_pointer_cast<TWAccount>(item);
        return sortOrderOnly ? business.updateAccountSortOrder(account, true)
                             : business.updateAccount(account, true);
    }
    case TWItemTypeClient: {
        const auto client = std::static_pointer_cast<TWClient>(item);
        return sortOrderOnly ? business.updateClientSortOrder(client, true)
                             : business.updateClient(client, true);
    }
    case TWItemTypeMerchant: {
        const auto merchant = std::static_pointer_cast<TWMerchant>(item);
        return sortOrderOnly ? business.updateMerchantSortOrder(merchant, true)
                             : business.updateMerchant(merchant, true);
    }
    case TWItemTypeReport: {
        const auto report = std::static_pointer_cast<TWReport>(item);
        return sortOrderOnly ? business.updateReportSortOrder(report, true)
                             : business.updateReport(report, true);
    }
    case TWItemTypeFilter: {
        const auto filter = std::static_pointer_cast<TWFilter>(item);
        return sortOrderOnly ? business.updateFilterSortOrder(filter, true)
                             : business.updateFilter(filter, true);
    }
    default:
        return TWBusiness::databaseError(21 /* SQLITE_MISUSE */);
    }
}

} // namespace

bool TWMasterModel::childLessThan(const TWMasterItemPtr &a, const TWMasterItemPtr &b,
                                  quint32 sortBy)
{
    const TWItemPtr &left = a->item();
    const TWItemPtr &right = b->item();
    if (!left || !right)
        return false;
    if (sortBy == 1)
        return left->sortOrder() < right->sortOrder();
    if (sortBy == 0)
        return left->name().compare(right->name(), Qt::CaseInsensitive) < 0;
    return false;
}

QStringList TWMasterModel::mimeTypes() const
{
    return {TWMasterItemMimeType};
}

QMimeData *TWMasterModel::mimeData(const QModelIndexList &indexes) const
{
    QList<const TWMasterItem *> nodes;
    for (const QModelIndex &index : indexes)
        if (index.column() == 0 && !nodes.contains(node(index)))
            nodes.append(node(index));
    if (nodes.size() != 1 || !nodes.first() || !nodes.first()->isRecord())
        return nullptr;
    const TWMasterItem &dragged = *nodes.first();
    const QVariantMap payload{
        {QStringLiteral("type"), QVariant::fromValue<quint32>(dragged.type())},
        {QStringLiteral("subtype"), QVariant::fromValue<quint32>(quint32(dragged.itemType()))},
        {QStringLiteral("identifier"),
         QVariant::fromValue<quint32>(quint32(dragged.item()->identifier()))},
        {QStringLiteral("list"), m_token},
    };
    const TWResult<QByteArray> data = TWPropertyList::xmlData(payload);
    if (!data.ok())
        return nullptr;
    auto *mime = new QMimeData;
    mime->setData(TWMasterItemMimeType, data.value);
    return mime;
}

std::optional<QVariantMap> TWMasterModel::payload(const QMimeData *data) const
{
    if (!data || !data->hasFormat(TWMasterItemMimeType))
        return std::nullopt;
    const TWResult<QVariant> read = TWPropertyList::readData(data->data(TWMasterItemMimeType));
    if (!read.ok() || read.value.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    QVariantMap map = read.value.toMap();
    // A record named by kind and identifier is another record in another
    // business: only drags that began in this very list are taken.
    if (map.value(QStringLiteral("list")).toString() != m_token)
        return std::nullopt;
    return map;
}

TWMasterItem *TWMasterModel::nodeForPayload(const QVariantMap &payload) const
{
    const std::optional<qint64> type = integer(payload, QStringLiteral("type"));
    const std::optional<qint64> kind = integer(payload, QStringLiteral("subtype"));
    const std::optional<qint64> identifier = integer(payload, QStringLiteral("identifier"));
    if (!type || !kind || !identifier || *type != TWMasterItemEntity)
        return nullptr;
    for (TWMasterItem *candidate : m_flat)
        if (candidate->isRecord() && candidate->itemType() == *kind &&
            quint32(candidate->item()->identifier()) == quint64(*identifier))
            return candidate;
    return nullptr;
}

bool TWMasterModel::validateDrop(const QMimeData *data, const TWMasterItem *target,
                                 int childIndex) const
{
    const std::optional<QVariantMap> map = payload(data);
    if (!map || !target)
        return false;
    const TWMasterItem *dragged = nodeForPayload(*map);
    if (!dragged || target == dragged || dragged->containsMasterItem(*target))
        return false;
    const int family = familyOfTarget(*target);
    if (family == 0 || familyOfKind(dragged->itemType()) != family)
        return false;
    if (childIndex != -1)
        return true;
    return target->isRecord() && TWItem::isGroupType(target->item()->type());
}

bool TWMasterModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                                    const QModelIndex &parent) const
{
    if (action != Qt::MoveAction)
        return false;
    return validateDrop(data, node(parent), row);
}

bool TWMasterModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                                 const QModelIndex &parent)
{
    if (action != Qt::MoveAction)
        return false;
    return acceptDrop(data, node(parent), row);
}

bool TWMasterModel::acceptDrop(const QMimeData *data, TWMasterItem *target, int childIndex)
{
    if (!m_business || !validateDrop(data, target, childIndex))
        return false;
    TWMasterItem *dragged = nodeForPayload(*payload(data));
    const TWItemPtr &record = target->item();
    const TWItemPtr moved = dragged->item();
    const bool between = childIndex >= 0;
    if (!between && (!record || !TWItem::isGroupType(record->type())))
        return false;

    TWBusiness &business = *m_business;
    TWBusiness::WriteScope scope(business);
    // The in-memory records change with the writes; a rollback puts them back.
    const auto setSortOrder = [&scope](const TWItemPtr &item, quint32 sortOrder) {
        const quint32 before = item->sortOrder();
        item->setSortOrder(sortOrder);
        scope.onRollback([item, before] { item->setSortOrder(before); });
    };
    if (!between) {
        if (business.sortBy() == 1)
            setSortOrder(moved, target->nextSortOrder());
    } else {
        if (business.sortBy() == 0)
            if (TWErrorResult error = business.setSortBy(1)) {
                scope.finish(error);
                emit dropFailed(*error);
                return false;
            }
        const TWMasterItemList children =
            target->childItems() ? *target->childItems() : TWMasterItemList();
        bool renumber = true;
        quint32 sortOrder = 0;
        if (childIndex == 0) {
            sortOrder = 0;
        } else if (childIndex >= children.size()) {
            const qsizetype previous = std::min<qsizetype>(childIndex, children.size()) - 1;
            if (previous >= 0 && children.at(previous)->item())
                sortOrder = children.at(previous)->item()->sortOrder() + 1;
            renumber = false;
        } else {
            sortOrder = children.at(childIndex)->item()->sortOrder();
        }
        if (renumber)
            for (const TWMasterItemPtr &child : children) {
                if (child.get() == dragged || !child->item() ||
                    child->item()->sortOrder() < sortOrder)
                    continue;
                setSortOrder(child->item(), child->item()->sortOrder() + 1);
                if (TWErrorResult error = storeItem(business, child->item(), true)) {
                    scope.finish(error);
                    emit dropFailed(*error);
                    return false;
                }
            }
        setSortOrder(moved, sortOrder);
    }
    const qint32 parentBefore = moved->parentIdentifier();
    moved->setParentIdentifier(record ? record->identifier() : 0);
    scope.onRollback([moved, parentBefore] { moved->setParentIdentifier(parentBefore); });
    if (TWErrorResult error = storeItem(business, moved, false)) {
        scope.finish(error);
        emit dropFailed(*error);
        return false;
    }
    // The rows move before the store's notifications go out, so an observer
    // sees the list as the store is.
    const bool rowsMoved = moveNode(dragged, target, between);
    if (TWErrorResult error = scope.commit()) {
        emit dropFailed(*error);
        return false;
    }
    // When the family's order changed beyond the one row, the owner shows
    // the list afresh.
    emit masterItemMoved(!rowsMoved);
    return true;
}

bool TWMasterModel::moveNode(TWMasterItem *node, TWMasterItem *target, bool between)
{
    TWMasterItem *source = m_parents.value(node);
    TWMasterItemList *from = source ? source->childItems().get() : &m_items;
    const int row = m_rows.value(node, -1);
    if (!from || row < 0 || row >= from->size())
        return false;
    const TWMasterItemPtr shared = from->at(row);
    // Where the row lands: the target's other children, the row added, sorted.
    TWMasterItemList others = target->childItems() ? *target->childItems() : TWMasterItemList();
    others.removeOne(shared);
    TWMasterItemList sorted = others;
    sorted.append(shared);
    const quint32 sortBy = m_business->sortBy();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [sortBy](const TWMasterItemPtr &a, const TWMasterItemPtr &b) {
                         return childLessThan(a, b, sortBy);
                     });
    const int landing = int(sorted.indexOf(shared));
    TWMasterItemList expected = others;
    expected.insert(landing, shared);
    if (expected != sorted)
        return false;

    if (!target->childItems())
        target->setChildItems(std::make_shared<TWMasterItemList>());
    TWMasterItemList *to = target->childItems().get();
    if (between) {
        const int destination = (source == target && landing >= row) ? landing + 1 : landing;
        const bool signalled =
            beginMoveRows(indexOf(source), row, row, indexOf(target), destination);
        from->removeAt(row);
        to->insert(landing, shared);
        reindex();
        if (signalled)
            endMoveRows();
        return true;
    }
    beginRemoveRows(indexOf(source), row, row);
    from->removeAt(row);
    reindex();
    endRemoveRows();
    beginInsertRows(indexOf(target), landing, landing);
    to->insert(landing, shared);
    reindex();
    endInsertRows();
    return true;
}

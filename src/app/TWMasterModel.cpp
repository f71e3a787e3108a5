#include "app/TWMasterModel.h"

#include "app/TWIconCellView.h"
#include "app/TWMasterTotals.h"

#include "foundation/TWLocalized.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"

#include <QFont>
#include <QPalette>
#include <QSet>
#include <QUuid>

#include <algorithm>

TWMasterModel::TWMasterModel(QObject *parent)
    : QAbstractItemModel(parent), m_token(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

void TWMasterModel::setMasterItems(const TWMasterItemList &items)
{
    beginResetModel();
    m_icons.clear();
    m_items = items;
    reindex();
    endResetModel();
}

void TWMasterModel::reindex()
{
    m_parents.clear();
    m_rows.clear();
    m_flat.clear();
    m_flatRows.clear();
    index(m_items, nullptr);
}

void TWMasterModel::index(const TWMasterItemList &items, TWMasterItem *parent)
{
    for (int row = 0; row < items.size(); ++row) {
        TWMasterItem *node = items.at(row).get();
        m_parents.insert(node, parent);
        m_rows.insert(node, row);
        m_flatRows.insert(node, int(m_flat.size()));
        m_flat.append(node);
        if (node->childItems())
            index(*node->childItems(), node);
    }
}

TWMasterItem *TWMasterModel::node(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TWMasterItem *>(index.internalPointer()) : nullptr;
}

QModelIndex TWMasterModel::indexOf(const TWMasterItem *node) const
{
    const auto row = m_rows.find(node);
    if (!node || row == m_rows.end())
        return {};
    return createIndex(*row, 0, const_cast<TWMasterItem *>(node));
}

const TWMasterItemList *TWMasterModel::childrenOf(const TWMasterItem *parent) const
{
    if (!parent)
        return &m_items;
    return parent->childItems().get();
}

void TWMasterModel::removeNode(const TWMasterItem *node)
{
    TWMasterItem *parent = m_parents.value(node);
    const QModelIndex at = indexOf(node);
    if (!at.isValid())
        return;
    TWMasterItemList *list = parent ? parent->childItems().get() : &m_items;
    if (!list)
        return;
    beginRemoveRows(indexOf(parent), at.row(), at.row());
    list->removeAt(at.row());
    reindex();
    endRemoveRows();
}

void TWMasterModel::appendNode(TWMasterItem *parent, const TWMasterItemPtr &node)
{
    TWMasterItemList *list = &m_items;
    if (parent) {
        if (!parent->childItems())
            parent->setChildItems(std::make_shared<TWMasterItemList>());
        list = parent->childItems().get();
    }
    const int row = int(list->size());
    beginInsertRows(indexOf(parent), row, row);
    list->append(node);
    reindex();
    endInsertRows();
}

void TWMasterModel::refresh(const TWMasterItem *node)
{
    const QModelIndex at = indexOf(node);
    m_icons.remove(node);
    if (at.isValid())
        emit dataChanged(at, at);
}

void TWMasterModel::refreshSubtree(const TWMasterItem *node)
{
    refresh(node);
    const TWMasterItemList *children = node ? node->childItems().get() : nullptr;
    if (!children || children->isEmpty())
        return;
    emit dataChanged(indexOf(children->first().get()), indexOf(children->last().get()));
    for (const TWMasterItemPtr &child : *children)
        if (child->hasChildren())
            refreshSubtree(child.get());
}

QModelIndex TWMasterModel::index(int row, int column, const QModelIndex &parent) const
{
    const TWMasterItemList *list = childrenOf(node(parent));
    if (column != 0 || !list || row < 0 || row >= list->size())
        return {};
    return createIndex(row, 0, list->at(row).get());
}

QModelIndex TWMasterModel::parent(const QModelIndex &child) const
{
    return indexOf(m_parents.value(node(child)));
}

int TWMasterModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const TWMasterItemList *list = childrenOf(node(parent));
    return list ? int(list->size()) : 0;
}

int TWMasterModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QString TWMasterModel::title(const TWMasterItem &node)
{
    switch (node.type()) {
    case TWMasterItemAccountsHeader:
        return TWLocalized("accountsHeader");
    case TWMasterItemClientsHeader:
        return TWLocalized("clientsHeader");
    case TWMasterItemMerchantsHeader:
        return TWLocalized("merchantsHeader");
    case TWMasterItemReportsHeader:
        return TWLocalized("reportsHeader");
    case TWMasterItemManageHeader:
        return TWLocalized("manageHeader");
    case TWMasterItemFiltersHeader:
        return TWLocalized("filtersHeader");
    case TWMasterItemFindHeader:
        return TWLocalized("findHeader");
    case TWMasterItemSearchResults:
        return TWLocalized("searchResults");
    case TWMasterItemAutofill:
        return TWLocalized("autofill");
    case TWMasterItemBudget:
        return TWLocalized("budget");
    case TWMasterItemFields:
        return TWLocalized("fields");
    case TWMasterItemUnits:
        return TWLocalized("units");
    case TWMasterItemRepeats:
        return TWLocalized("repeats");
    case TWMasterItemValues:
        return TWLocalized("values");
    case TWMasterItemEntity:
        return node.item() ? node.item()->name() : QString();
    default:
        return {};
    }
}

QVariant TWMasterModel::data(const QModelIndex &index, int role) const
{
    const TWMasterItem *item = node(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return item->isHeader() ? title(*item).toUpper() : title(*item);
    case Qt::FontRole:
        if (item->isHeader()) {
            QFont font;
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * 0.85);
            return font;
        }
        return {};
    case Qt::ForegroundRole: {
        if (item->isHeader())
            return QPalette().brush(QPalette::Disabled, QPalette::WindowText);
        const QColor colour = m_totals ? m_totals->colour(*item) : QColor();
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    case Qt::SizeHintRole:
        return QSize(-1, 22);
    case TWIconCellHeaderRole:
        return item->isHeader();
    case TWIconCellDetailRole:
        return m_totals && !item->isHeader() ? m_totals->detailText(*item) : QString();
    case Qt::DecorationRole: {
        if (item->isHeader())
            return {};
        auto found = m_icons.find(item);
        if (found == m_icons.end())
            found = m_icons.insert(item, QIcon(QPixmap::fromImage(icon(*item))));
        return *found;
    }
    default:
        return {};
    }
}

QImage TWMasterModel::icon(const TWMasterItem &node) const
{
    const auto resource = [](const char *name) {
        return QImage(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
    };
    switch (node.type()) {
    case TWMasterItemAutofill:
        return resource("Autofill");
    case TWMasterItemBudget:
        return resource("Budget");
    case TWMasterItemFields:
        return resource("Fields");
    case TWMasterItemUnits:
        return resource("Units");
    case TWMasterItemRepeats:
        return resource("Repeats");
    case TWMasterItemValues:
        return resource("Values");
    case TWMasterItemSearchResults:
        return TWFilter::defaultIconForFilter(m_business ? m_business->advancedFindFilter().get()
                                                         : nullptr);
    default:
        break;
    }
    if (!node.isRecord())
        return {};
    const TWItemPtr &item = node.item();
    if (TWItem::isGroupType(item->type()))
        return TWUtilities::folderImageWithTintColour(
            static_cast<const TWGroup &>(*item).tintColour());
    switch (item->type()) {
    case TWItemTypeAccount: {
        const auto &account = static_cast<const TWAccount &>(*item);
        return account.icon().isNull() ? TWAccount::defaultIconForAccount(account) : account.icon();
    }
    case TWItemTypeClient: {
        const auto &client = static_cast<const TWClient &>(*item);
        return client.logo().isNull() ? TWClient::defaultIconForClient(&client) : client.logo();
    }
    case TWItemTypeMerchant: {
        const auto &merchant = static_cast<const TWMerchant &>(*item);
        return merchant.logo().isNull() ? TWMerchant::defaultIconForMerchant(&merchant)
                                        : merchant.logo();
    }
    case TWItemTypeReport:
        return TWReport::defaultIconForReport(static_cast<const TWReport *>(item.get()));
    case TWItemTypeFilter:
        return TWFilter::defaultIconForFilter(static_cast<const TWFilter *>(item.get()));
    default:
        return {};
    }
}

Qt::ItemFlags TWMasterModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Headers stay selectable here so that a click on one reaches the
    // selection rule, which never takes it. Any row may be a drop target;
    // the drop's validation decides.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (const TWMasterItem *item = node(index); item && item->isRecord())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

// ---- Selection rule ----

namespace
{

// The family of a record kind: accounts, clients, merchants, reports, filters.
int family(int kind)
{
    switch (kind) {
    case 1:
    case 5:
        return 1;
    case 2:
    case 6:
        return 2;
    case 3:
    case 7:
        return 3;
    case 4:
    case 8:
        return 4;
    case 9:
    case 10:
        return 9;
    default:
        return 0;
    }
}

} // namespace

QList<int> twMasterSelection(const QList<int> &current, const QList<int> &proposed,
                             const std::function<const TWMasterItem *(int)> &nodeAt)
{
    QList<int> currentRows = current;
    std::sort(currentRows.begin(), currentRows.end());
    QList<int> proposedRows = proposed;
    std::sort(proposedRows.begin(), proposedRows.end());
    proposedRows.erase(std::unique(proposedRows.begin(), proposedRows.end()), proposedRows.end());
    const QSet<int> proposedSet(proposedRows.begin(), proposedRows.end());

    const TWMasterItem *anchor = nullptr;
    for (int row : std::as_const(currentRows))
        if (proposedSet.contains(row)) {
            anchor = nodeAt(currentRows.first());
            break;
        }
    bool extending = !currentRows.isEmpty();
    for (int row : std::as_const(currentRows))
        if (!proposedSet.contains(row))
            extending = false;
    const bool anchorFixed = anchor && (TWMasterItem::isManageType(anchor->type()) ||
                                        anchor->type() == TWMasterItemSearchResults);

    QList<int> taken;
    for (int row : std::as_const(proposedRows)) {
        const TWMasterItem *node = nodeAt(row);
        if (!node)
            continue;
        if (node->isHeader()) {
            if (proposedRows.size() == 1)
                return current;
            continue;
        }
        if (node->type() == TWMasterItemEntity) {
            if (!anchor) {
                taken.append(row);
                continue;
            }
            if (!anchor->isRecord())
                continue;
            const int anchorFamily = family(anchor->itemType());
            if (anchorFamily == 4) {
                // Reports are chosen one at a time.
                if (extending)
                    return current;
                continue;
            }
            if (anchorFamily != 0 && anchorFamily == family(node->itemType()))
                taken.append(row);
            continue;
        }
        if (extending && anchor) {
            if (anchorFixed)
                return current;
            continue;
        }
        if (taken.isEmpty() && !anchor)
            taken.append(row);
    }
    return taken;
}

TWMasterSelectionModel::TWMasterSelectionModel(TWMasterModel *model, QObject *parent)
    : QItemSelectionModel(model, parent), m_master(model)
{
}

void TWMasterSelectionModel::selectExactly(const QModelIndexList &indexes, bool makeCurrent)
{
    QItemSelection selection;
    for (const QModelIndex &index : indexes)
        if (index.isValid())
            selection.select(index, index);
    QItemSelectionModel::select(selection, ClearAndSelect | Rows);
    if (makeCurrent && !indexes.isEmpty() && indexes.first().isValid())
        QItemSelectionModel::setCurrentIndex(indexes.first(), NoUpdate);
}

void TWMasterSelectionModel::select(const QItemSelection &selection,
                                    QItemSelectionModel::SelectionFlags command)
{
    if (command == NoUpdate) {
        QItemSelectionModel::select(selection, command);
        return;
    }
    QList<int> current;
    for (const QModelIndex &index : selectedRows())
        current.append(m_master->flatRow(m_master->node(index)));
    QSet<int> proposed;
    if (!(command & Clear))
        proposed = QSet<int>(current.begin(), current.end());
    for (const QModelIndex &index : selection.indexes()) {
        if (index.column() != 0)
            continue;
        const int row = m_master->flatRow(m_master->node(index));
        if (row < 0)
            continue;
        if (command & Toggle) {
            if (proposed.contains(row))
                proposed.remove(row);
            else
                proposed.insert(row);
        } else if (command & Deselect) {
            proposed.remove(row);
        } else if (command & Select) {
            proposed.insert(row);
        }
    }
    const QList<TWMasterItem *> &flat = m_master->flatNodes();
    QList<int> rows =
        twMasterSelection(current, QList<int>(proposed.begin(), proposed.end()), [&flat](int row) {
            return row >= 0 && row < flat.size() ? flat.at(row) : nullptr;
        });
    std::sort(rows.begin(), rows.end());
    QList<int> sortedCurrent = current;
    std::sort(sortedCurrent.begin(), sortedCurrent.end());
    if (rows == sortedCurrent)
        return;
    QItemSelection result;
    for (int row : rows) {
        const QModelIndex index = m_master->indexOf(flat.at(row));
        result.select(index, index);
    }
    QItemSelectionModel::select(result, ClearAndSelect | Rows);
}

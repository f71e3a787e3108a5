#include "reports/ui/TWBudgetModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWFormatter.h"
#include "model/TWGroup.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWItemTree.h"

#include <QFontMetrics>
#include <QPixmap>

#include <algorithm>

namespace
{

const char *const kSortKeys[TWBudgetModel::ColumnCount] = {
    "name",     "budget", "unit",  "startDate", "cycle",
    "rollover", "date",   "total", "remaining", "progress"};
const char *const kHeaderKeys[TWBudgetModel::ColumnCount] = {
    "name",           "budget", "unit",        "startDate",       "budgetCycle",
    "budgetRollover", "date",   "budgetSpent", "budgetRemaining", "budgetProgress"};

int compareValues(qint64 a, qint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Dates present come in date order; a missing date sorts after any date.
int compareDates(const QDateTime &a, const QDateTime &b)
{
    if (a.isValid() && b.isValid())
        return a < b ? -1 : (b < a ? 1 : 0);
    if (a.isValid())
        return -1;
    if (b.isValid())
        return 1;
    return 0;
}

// -1, 0 or 1 for two rows under a sort key, ascending.
int compareRows(const TWBudgetRow &a, const TWBudgetRow &b, const QString &key)
{
    const TWBudgetItem *lineA = a.budgetItem.get();
    const TWBudgetItem *lineB = b.budgetItem.get();
    const TWBudgetTotal *totalA = a.budgetTotal.get();
    const TWBudgetTotal *totalB = b.budgetTotal.get();
    if (key == QLatin1String("budget"))
        return compareValues(lineA ? lineA->total() : 0, lineB ? lineB->total() : 0);
    if (key == QLatin1String("unit")) {
        if (!lineA || !lineB)
            return lineA ? 1 : (lineB ? -1 : 0);
        const TWUnit *unitA = lineA->unit().get();
        const TWUnit *unitB = lineB->unit().get();
        if (!unitA || !unitB)
            return unitA ? 1 : (unitB ? -1 : 0);
        return std::clamp(unitA->compare(*unitB), -1, 1);
    }
    if (key == QLatin1String("startDate"))
        return compareDates(lineA ? lineA->startDate() : QDateTime(),
                            lineB ? lineB->startDate() : QDateTime());
    if (key == QLatin1String("cycle")) {
        if (!lineA || !lineB)
            return lineA ? 1 : (lineB ? -1 : 0);
        return std::clamp(lineA->compareCycle(*lineB), -1, 1);
    }
    if (key == QLatin1String("rollover"))
        return compareValues(lineA && lineA->rollover(), lineB && lineB->rollover());
    if (key == QLatin1String("date"))
        return compareDates(totalA ? totalA->startDate() : QDateTime(),
                            totalB ? totalB->startDate() : QDateTime());
    if (key == QLatin1String("total"))
        return compareValues(totalA ? totalA->total() : 0, totalB ? totalB->total() : 0);
    if (key == QLatin1String("remaining"))
        return compareValues(totalA ? totalA->remainingTotal() : 0,
                             totalB ? totalB->remainingTotal() : 0);
    const float progressA = totalA ? totalA->progress() : 0.0f;
    const float progressB = totalB ? totalB->progress() : 0.0f;
    return progressA < progressB ? -1 : (progressB < progressA ? 1 : 0);
}

quint64 itemKey(const TWItem &item)
{
    return (quint64(quint32(item.type())) << 32) | quint32(item.identifier());
}

} // namespace

TWBudgetModel::TWBudgetModel(QObject *parent) : QAbstractTableModel(parent)
{
}

// ---- Snapshots ----

void TWBudgetModel::reloadItems()
{
    beginResetModel();
    m_treeRows.clear();
    m_icons.clear();
    if (m_business) {
        const TWItemTree tree = TWBusiness::sortedItems(
            m_business->accounts(), m_business->accountGroups(), m_business->sortBy());
        TWItemList flat;
        TWItemIndentLevels levels;
        flat.reserve(50);
        levels.reserve(50);
        TWBusiness::flatItems(tree, TWItem::rootItem(), 0, flat, &levels);
        m_treeRows.reserve(flat.size());
        for (const TWItemPtr &item : std::as_const(flat))
            m_treeRows.append({item, levels.value(TWItemKey::of(*item)), nullptr, nullptr});
    }
    resolveRows();
    applySort();
    endResetModel();
}

void TWBudgetModel::reloadBudgetItems()
{
    m_budgetItems = m_business ? m_business->budgetItemsByTypeIdentifier()
                               : QHash<qint32, QHash<qint32, TWBudgetItemPtr>>();
    resolveRows();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void TWBudgetModel::reloadBudgetTotals()
{
    m_budgetTotals = m_business ? m_business->budgetTotals() : TWBudgetTotals();
    resolveRows();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void TWBudgetModel::resolveRows()
{
    const auto resolve = [this](TWBudgetRow &row) {
        const qint32 type = row.item->type();
        const qint32 identifier = row.item->identifier();
        row.budgetItem = m_budgetItems.value(type).value(identifier);
        row.budgetTotal = m_budgetTotals.value(type).value(identifier);
    };
    for (TWBudgetRow &row : m_treeRows)
        resolve(row);
    for (TWBudgetRow &row : m_rows)
        resolve(row);
}

// ---- Sorting ----

QString TWBudgetModel::sortKey(int column)
{
    if (column < 0 || column >= ColumnCount)
        return {};
    return QLatin1String(kSortKeys[column]);
}

void TWBudgetModel::sortRows(QList<TWBudgetRow> &rows, const QString &key, bool ascending)
{
    if (key.isEmpty() || key == QLatin1String("name"))
        return;
    // Each rule is a strict weak ordering; descending swaps the operands, so
    // rows that tie keep their order both ways.
    std::stable_sort(rows.begin(), rows.end(),
                     [&key, ascending](const TWBudgetRow &a, const TWBudgetRow &b) {
                         return ascending ? compareRows(a, b, key) < 0 : compareRows(b, a, key) < 0;
                     });
}

void TWBudgetModel::applySort()
{
    m_rows = m_treeRows;
    const QString key = sortKey(m_sortColumn);
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    if (key == QLatin1String("name")) {
        if (!ascending)
            std::reverse(m_rows.begin(), m_rows.end());
        return;
    }
    sortRows(m_rows, key, ascending);
}

void TWBudgetModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    beginResetModel();
    m_sortColumn = column;
    m_sortOrder = order;
    applySort();
    endResetModel();
}

// ---- Lookups ----

TWItemPtr TWBudgetModel::itemForRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).item : nullptr;
}

TWBudgetItemPtr TWBudgetModel::budgetItemForRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).budgetItem : nullptr;
}

TWBudgetTotalPtr TWBudgetModel::budgetTotalForRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).budgetTotal : nullptr;
}

int TWBudgetModel::itemRow(const TWItem &item) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).item->isEqual(item))
            return row;
    return -1;
}

int TWBudgetModel::budgetItemRow(const TWBudgetItem &budgetItem) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        const TWItem &item = *m_rows.at(row).item;
        if (item.type() == budgetItem.itemType() &&
            item.identifier() == budgetItem.itemIdentifier())
            return row;
    }
    return -1;
}

TWBudgetItemPtr TWBudgetModel::budgetItemForItem(const TWItem &item) const
{
    return m_budgetItems.value(item.type()).value(item.identifier());
}

void TWBudgetModel::reloadRow(int row)
{
    if (row >= 0 && row < m_rows.size())
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

// ---- Texts ----

QColor TWBudgetModel::progressColour(float progress)
{
    if (progress <= 0.5f)
        return QColor::fromRgbF(0.13f, 0.55f, 0.13f, 1.0f);
    if (double(progress) <= 0.8)
        return QColor::fromRgbF(0.0f, 1.0f, 0.0f);
    if (progress <= 1.0f)
        return QColor::fromRgbF(1.0f, 0.5f, 0.0f);
    return QColor::fromRgbF(1.0f, 0.0f, 0.0f);
}

QString TWBudgetModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const TWBudgetRow &entry = m_rows.at(row);
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWBudgetItem *line = entry.budgetItem.get();
    const TWBudgetTotal *total = entry.budgetTotal.get();
    const TWUnit *home = m_business ? m_business->homeUnit().get() : nullptr;
    switch (column) {
    case Name:
        return entry.item->name();
    case Budget:
        return formatter.valueString(line ? line->total() : 0, line ? line->unit().get() : home,
                                     false, false, false, true, true);
    case Unit: {
        const TWUnit *unit = line ? line->unit().get() : home;
        return unit ? unit->code() : QString();
    }
    case StartDate:
        return line && line->startDate().isValid() ? formatter.shortDateString(line->startDate())
                                                   : QString();
    case Cycle:
        return line ? formatter.budgetItemCycleString(*line)
                    : formatter.budgetItemCycleString(0, 0);
    case Date:
        if (!total)
            return {};
        if (total->startDate().isValid() && total->endDate().isValid())
            return QStringLiteral("%1 - %2").arg(formatter.shortDateString(total->startDate()),
                                                 formatter.shortDateString(total->endDate()));
        if (total->startDate().isValid())
            return formatter.shortDateString(total->startDate());
        return {};
    case Total:
    case Remaining:
        if (!total)
            return {};
        return formatter.valueString(column == Total ? total->total() : total->remainingTotal(),
                                     total->unit().get(), true, true, false, true, true);
    default:
        return {};
    }
}

int TWBudgetModel::fitWidth(int column, const QFontMetrics &metrics) const
{
    const QString title = headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    int width = title.isEmpty() ? 50 : std::max(50, metrics.horizontalAdvance(title) + 20);
    switch (column) {
    case Rollover:
        return 65;
    case Date:
        return 160;
    case Progress:
        return 150;
    default:
        break;
    }
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWUnit *home = m_business ? m_business->homeUnit().get() : nullptr;
    for (int row = 0; row < m_rows.size(); ++row) {
        const TWBudgetRow &entry = m_rows.at(row);
        int needed = 0;
        switch (column) {
        case Name:
            needed =
                metrics.horizontalAdvance(entry.item->name()) + 25 + 20 + 15 * entry.indentLevel;
            break;
        case Budget: {
            const TWBudgetItem *line = entry.budgetItem.get();
            needed = metrics.horizontalAdvance(formatter.valueString(
                         line ? line->total() : 0, line ? line->unit().get() : home, true, true,
                         false, true, true)) +
                     20;
            break;
        }
        case Total:
        case Remaining: {
            const TWBudgetTotal *total = entry.budgetTotal.get();
            if (total)
                needed = metrics.horizontalAdvance(formatter.valueString(
                             column == Total ? total->total() : total->remainingTotal(),
                             total->unit().get(), true, true, false, true, true)) +
                         20;
            break;
        }
        case Unit:
        case Cycle:
            needed = metrics.horizontalAdvance(text(row, column)) + 20;
            break;
        case StartDate:
            needed = 80;
            break;
        default:
            break;
        }
        width = std::max(width, needed);
    }
    return width;
}

QIcon TWBudgetModel::icon(const TWItem &item) const
{
    const quint64 key = itemKey(item);
    auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd())
        return *found;
    QImage image;
    if (item.type() == TWItemTypeAccountGroup) {
        image =
            TWUtilities::folderImageWithTintColour(static_cast<const TWGroup &>(item).tintColour());
    } else if (item.type() == TWItemTypeAccount) {
        const auto &account = static_cast<const TWAccount &>(item);
        image =
            account.icon().isNull() ? TWAccount::defaultIconForAccount(account) : account.icon();
    }
    const QIcon result = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    m_icons.insert(key, result);
    return result;
}

// ---- Model ----

int TWBudgetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TWBudgetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWBudgetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const int row = index.row();
    const int column = index.column();
    const TWBudgetRow &entry = m_rows.at(row);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text(row, column);
    case Qt::TextAlignmentRole:
        if (column == Budget || column == Total || column == Remaining)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole:
        return column == Name ? QVariant(icon(*entry.item)) : QVariant();
    case Qt::CheckStateRole:
        if (column != Rollover)
            return {};
        return entry.budgetItem && entry.budgetItem->rollover() ? Qt::Checked : Qt::Unchecked;
    case IndentRole:
        return entry.indentLevel;
    case ProgressRole:
        return entry.budgetTotal ? QVariant(entry.budgetTotal->progress()) : QVariant();
    case ProgressColourRole:
        return entry.budgetTotal ? QVariant(progressColour(entry.budgetTotal->progress()))
                                 : QVariant();
    default:
        return {};
    }
}

bool TWBudgetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != Rollover || role != Qt::CheckStateRole ||
        !(flags(index) & Qt::ItemIsEnabled))
        return false;
    if (rolloverToggled)
        rolloverToggled(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant TWBudgetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return TWLocalized(kHeaderKeys[section]);
    if (role == Qt::TextAlignmentRole &&
        (section == Budget || section == Total || section == Remaining))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TWBudgetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() == Rollover) {
        const TWBudgetItemPtr line = budgetItemForRow(index.row());
        if (line && line->cycleUnit() != TWBudgetCycleUnitNone)
            flags |= Qt::ItemIsUserCheckable;
        else
            flags &= ~Qt::ItemIsEnabled;
    }
    return flags;
}

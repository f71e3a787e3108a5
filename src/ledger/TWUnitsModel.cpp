#include "ledger/TWUnitsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QFont>

#include <algorithm>

namespace
{

const char *const kSectionKeys[3] = {"mileage", "currency", "custom"};

// -1, 0 or 1 for the ascending order of two units under a key.
int compareUnits(const TWUnit &a, const TWUnit &b, const QString &key)
{
    const auto three = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    const auto text = [](int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); };
    if (key == QLatin1String("favourite"))
        return three(int(a.favourite()), int(b.favourite()));
    if (key == QLatin1String("name"))
        return text(a.name().compare(b.name()));
    if (key == QLatin1String("description"))
        return text(a.description().compare(b.description()));
    if (key == QLatin1String("code"))
        return text(a.code().compare(b.code()));
    if (key == QLatin1String("symbol")) {
        if (a.symbol().isEmpty() || b.symbol().isEmpty())
            return three(int(!a.symbol().isEmpty()), int(!b.symbol().isEmpty()));
        return text(a.symbol().compare(b.symbol()));
    }
    if (key == QLatin1String("decimalPlaces"))
        return three(a.decimalPlaces(), b.decimalPlaces());
    if (key == QLatin1String("lastUpdated")) {
        // By the moment itself (the formatted text would sort "April" first);
        // a unit never updated comes first.
        const QDateTime &x = a.lastUpdatedDate();
        const QDateTime &y = b.lastUpdatedDate();
        if (!x.isValid() || !y.isValid())
            return three(int(x.isValid()), int(y.isValid()));
        return three(x.toMSecsSinceEpoch(), y.toMSecsSinceEpoch());
    }
    // "value": a mileage unit's rate is the inverse of what the list shows.
    const int order = three(a.rate(), b.rate());
    return a.type() == TWUnitTypeMileage ? -order : order;
}

} // namespace

TWUnitsModel::TWUnitsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

QString TWUnitsModel::sortKey(int column)
{
    switch (column) {
    case Favourite:
        return QStringLiteral("favourite");
    case Name:
        return QStringLiteral("name");
    case Description:
        return QStringLiteral("description");
    case Code:
        return QStringLiteral("code");
    case Symbol:
        return QStringLiteral("symbol");
    case DecimalPlaces:
        return QStringLiteral("decimalPlaces");
    case LastUpdated:
        return QStringLiteral("lastUpdated");
    default:
        return QStringLiteral("value");
    }
}

void TWUnitsModel::sortUnits(TWUnitList &units, const QString &key, bool ascending)
{
    std::stable_sort(units.begin(), units.end(), [&](const TWUnitPtr &a, const TWUnitPtr &b) {
        const int order = compareUnits(*a, *b, key);
        return ascending ? order < 0 : order > 0;
    });
}

void TWUnitsModel::setSections(const Sections &sections)
{
    beginResetModel();
    m_sections = sections;
    rebuildRows();
    endResetModel();
}

void TWUnitsModel::setHomeUnit(const TWUnitPtr &unit)
{
    m_homeUnit = unit;
    reload();
}

void TWUnitsModel::reload()
{
    beginResetModel();
    rebuildRows();
    endResetModel();
}

void TWUnitsModel::rebuildRows()
{
    m_rows.clear();
    for (int section = 0; section < 3; ++section) {
        const TWUnitList &units = m_sections[section];
        if (units.isEmpty())
            continue;
        m_rows.push_back({section, -1});
        for (int i = 0; i < units.size(); ++i)
            m_rows.push_back({section, i});
    }
}

TWUnitPtr TWUnitsModel::unitForRow(int row) const
{
    if (row < 0 || row >= int(m_rows.size()) || m_rows[row].index < 0)
        return nullptr;
    return m_sections[m_rows[row].section].at(m_rows[row].index);
}

int TWUnitsModel::rowForUnit(const TWUnit &unit) const
{
    for (int row = 0; row < int(m_rows.size()); ++row)
        if (const TWUnitPtr listed = unitForRow(row); listed && listed->isEqual(unit))
            return row;
    return -1;
}

int TWUnitsModel::sectionAtRow(int row) const
{
    if (row < 0 || row >= int(m_rows.size()) || m_rows[row].index >= 0)
        return -1;
    return m_rows[row].section;
}

bool TWUnitsModel::hasSection(int section) const
{
    return section >= 0 && section < 3 && !m_sections[section].isEmpty();
}

int TWUnitsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TWUnitsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWUnitsModel::cellText(const TWUnit &unit, int column) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (column) {
    case Name:
        return unit.name();
    case Description:
        return unit.description();
    case Code:
        return unit.code();
    case Symbol:
        return unit.symbol();
    case DecimalPlaces:
        return QString::number(unit.decimalPlaces());
    case LastUpdated:
        return formatter.longDateString(unit.lastUpdatedDate());
    case Rate:
        return formatter.homeUnitRateString(&unit, m_homeUnit.get());
    default:
        return {};
    }
}

QVariant TWUnitsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const int section = sectionAtRow(index.row());
    if (section >= 0) {
        if (role == Qt::DisplayRole && index.column() == 0)
            return TWLocalized(kSectionKeys[section]);
        if (role == Qt::FontRole) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    }
    const TWUnitPtr unit = unitForRow(index.row());
    if (!unit)
        return {};
    if (index.column() == Favourite) {
        if (role == Qt::CheckStateRole && unit->type() != TWUnitTypeMileage)
            return unit->favourite() ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole)
        return cellText(*unit, index.column());
    if (role == Qt::TextAlignmentRole &&
        (index.column() == DecimalPlaces || index.column() == Rate))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool TWUnitsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != Favourite)
        return false;
    const TWUnitPtr unit = unitForRow(index.row());
    if (!unit || unit->type() == TWUnitTypeMileage)
        return false;
    const bool favourite = value.toInt() == Qt::Checked;
    if (favouriteChanged && !favouriteChanged(unit, favourite))
        return false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags TWUnitsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isHeaderRow(index.row()))
        return Qt::ItemIsEnabled;
    const TWUnitPtr unit = unitForRow(index.row());
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!unit)
        return flags;
    if (index.column() == Favourite) {
        // Mileage units have no favourite box.
        if (unit->type() == TWUnitTypeMileage)
            return Qt::ItemIsSelectable;
        flags |= Qt::ItemIsUserCheckable;
    }
    // The home unit's rate is 1 by definition: drawn inactive.
    if (index.column() == Rate && m_homeUnit && m_homeUnit->isEqual(*unit))
        flags &= ~Qt::ItemIsEnabled;
    return flags;
}

QVariant TWUnitsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Favourite:
        return TWLocalized(TWFormatter::formatter().isUS() ? "favorite" : "favourite");
    case Name:
        return TWLocalized("unitName");
    case Description:
        return TWLocalized("unitDescription");
    case Code:
        return TWLocalized("unitCode");
    case Symbol:
        return TWLocalized("unitSymbol");
    case DecimalPlaces:
        return TWLocalized("unitDecimalPlaces");
    case LastUpdated:
        return TWLocalized("unitLastUpdated");
    case Rate:
        return TWLocalized("unitRate");
    default:
        return {};
    }
}

void TWUnitsModel::sort(int column, Qt::SortOrder order)
{
    if (sortRequested)
        sortRequested(column, order);
}

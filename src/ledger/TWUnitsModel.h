#pragma once
// The rows of the units view: the mileage, currency and custom sections, each
// a header row followed by its units (an empty section has no header), over
// the eight columns of a unit. Also the sort orders of the view's columns.

#include "model/TWUnit.h"

#include <QAbstractTableModel>

#include <array>
#include <functional>
#include <vector>

class TWUnitsModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Favourite,
        Name,
        Description,
        Code,
        Symbol,
        DecimalPlaces,
        LastUpdated,
        Rate,
        ColumnCount
    };
    using Sections = std::array<TWUnitList, 3>;

    explicit TWUnitsModel(QObject *parent = nullptr);

    // The sort key of a column ("favourite", "name", ..., "value").
    static QString sortKey(int column);
    // Sorts one section's units by a column's key; descending swaps the
    // order, units that compare equal keep theirs.
    static void sortUnits(TWUnitList &units, const QString &key, bool ascending);

    void setSections(const Sections &sections);
    const Sections &sections() const { return m_sections; }
    void setHomeUnit(const TWUnitPtr &unit);
    // Reads every row again (after the units changed in place).
    void reload();

    // Nothing for a header row or a row out of range.
    TWUnitPtr unitForRow(int row) const;
    // -1 when the unit (by code) is listed in no section.
    int rowForUnit(const TWUnit &unit) const;
    // The section whose header is at the row; -1 when it is no header row.
    int sectionAtRow(int row) const;
    bool isHeaderRow(int row) const { return sectionAtRow(row) >= 0; }
    bool hasSection(int section) const;

    // A favourite box was ticked or cleared; answers whether it was kept.
    std::function<bool(const TWUnitPtr &unit, bool favourite)> favouriteChanged;
    // A column header asked for a new order.
    std::function<void(int column, Qt::SortOrder order)> sortRequested;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Row {
        int section;
        int index; // -1: the header
    };
    void rebuildRows();
    QVariant cellText(const TWUnit &unit, int column) const;

    Sections m_sections;
    std::vector<Row> m_rows;
    TWUnitPtr m_homeUnit;
};

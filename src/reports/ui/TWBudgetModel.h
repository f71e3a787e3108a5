#pragma once
// The rows of the budget view: every account group and account in master-list
// order with its indent level, its budget line and the figures of the line's
// current cycle, read from snapshots of the store taken when asked. It also
// holds the view's decisions that need no widget: texts, the progress colour,
// the column sort orders and the column widths.

#include "model/TWBudgetItem.h"
#include "model/TWBudgetTotal.h"
#include "model/TWItem.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QIcon>

#include <functional>

class QFontMetrics;
class TWBusiness;

// One row: the group or account, its depth in the tree and, when it has
// them, its budget line and the line's current cycle.
struct TWBudgetRow {
    TWItemPtr item;
    int indentLevel = 0;
    TWBudgetItemPtr budgetItem;
    TWBudgetTotalPtr budgetTotal;
};

class TWBudgetModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The column tags; each column's sort key is `sortKey(column)`.
    enum Column {
        Name = 0,
        Budget = 1,
        Unit = 2,
        StartDate = 3,
        Cycle = 4,
        Rollover = 5,
        Date = 6,
        Total = 7,
        Remaining = 8,
        Progress = 9,
        ColumnCount = 10,
    };
    enum Role {
        IndentRole = Qt::UserRole + 1, // int
        ProgressRole,                  // float, only with a budget total
        ProgressColourRole,            // QColor, only with a budget total
    };

    explicit TWBudgetModel(QObject *parent = nullptr);

    void setBusiness(TWBusiness *business) { m_business = business; }

    // The groups and accounts again in tree order (the sort is kept and
    // applied), with the lines and totals of the last snapshots.
    void reloadItems();
    // New snapshots of the store's lines and current cycles; the rows keep
    // their order.
    void reloadBudgetItems();
    void reloadBudgetTotals();

    // Orders the rows by a column; "name" is the tree order, reversed whole
    // when descending. Every other key is a stable sort of the tree order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The order the next reload sorts in.
    void setSortOrder(int column, Qt::SortOrder order)
    {
        m_sortColumn = column;
        m_sortOrder = order;
    }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    static QString sortKey(int column);
    // The rows in the order of `key` ("name" leaves them as given).
    static void sortRows(QList<TWBudgetRow> &rows, const QString &key, bool ascending);

    const QList<TWBudgetRow> &rows() const { return m_rows; }
    TWItemPtr itemForRow(int row) const;
    TWBudgetItemPtr budgetItemForRow(int row) const;
    TWBudgetTotalPtr budgetTotalForRow(int row) const;
    // The row of an item, or -1.
    int itemRow(const TWItem &item) const;
    // The row whose item the line budgets, or -1.
    int budgetItemRow(const TWBudgetItem &budgetItem) const;
    // The snapshot's line of an item, none when it has none.
    TWBudgetItemPtr budgetItemForItem(const TWItem &item) const;
    // Redraws one row in every column.
    void reloadRow(int row);

    // The fill colour of a progress bar: dark green up to one half, green up
    // to 0.8, orange up to 1, red beyond. The half and the whole are compared
    // in single precision, 0.8 after widening to double, so the float nearest
    // 0.8 (a little above it) is orange.
    static QColor progressColour(float progress);
    // The text of a cell as shown (empty for the progress, rollover and
    // missing cells).
    QString text(int row, int column) const;
    // The width a column needs to show its header and every row whole.
    int fitWidth(int column, const QFontMetrics &metrics) const;

    // A click on a rollover box; the owner stores it.
    std::function<void(int row, bool on)> rolloverToggled;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void resolveRows();
    void applySort();
    QIcon icon(const TWItem &item) const;

    TWBusiness *m_business = nullptr;
    // Tree order, as the store flattens it.
    QList<TWBudgetRow> m_treeRows;
    QList<TWBudgetRow> m_rows;
    QHash<qint32, QHash<qint32, TWBudgetItemPtr>> m_budgetItems;
    QHash<qint32, QHash<qint32, TWBudgetTotalPtr>> m_budgetTotals;
    int m_sortColumn = Name;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    mutable QHash<quint64, QIcon> m_icons;
};

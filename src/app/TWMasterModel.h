#pragma once
// The source list's rows: our item model over the tree of TWMasterItem
// nodes, and the selection model that lets through only the selections the
// source list allows (one fixed entry, or records of one family).

#include "TWMasterItem.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QItemSelectionModel>

#include <functional>

class TWMasterModel final : public QAbstractItemModel
{
    Q_OBJECT
public:
    using QAbstractItemModel::QAbstractItemModel;

    // Replaces the whole tree.
    void setMasterItems(const TWMasterItemList &items);
    const TWMasterItemList &masterItems() const { return m_items; }

    TWMasterItem *node(const QModelIndex &index) const;
    QModelIndex indexOf(const TWMasterItem *node) const;
    // The parent node, nullptr at the top level.
    TWMasterItem *parentOf(const TWMasterItem *node) const { return m_parents.value(node); }
    // Every node in display order (pre-order), and a node's place in it.
    const QList<TWMasterItem *> &flatNodes() const { return m_flat; }
    int flatRow(const TWMasterItem *node) const { return m_flatRows.value(node, -1); }

    // Takes a node out of its parent's children.
    void removeNode(const TWMasterItem *node);
    // Appends a node to a parent's children (nullptr: the top level).
    void appendNode(TWMasterItem *parent, const TWMasterItemPtr &node);
    // Redraws a node's row.
    void refresh(const TWMasterItem *node);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The row text of a node.
    static QString title(const TWMasterItem &node);

private:
    const TWMasterItemList *childrenOf(const TWMasterItem *parent) const;
    void reindex();
    void index(const TWMasterItemList &items, TWMasterItem *parent);

    TWMasterItemList m_items;
    QHash<const TWMasterItem *, TWMasterItem *> m_parents;
    QHash<const TWMasterItem *, int> m_rows;
    QList<TWMasterItem *> m_flat;
    QHash<const TWMasterItem *, int> m_flatRows;
};

// The selection the source list allows, given the current rows, the
// proposed rows (both in display order numbers) and the node of each row:
// the rows to select, or `current` when the proposal is refused.
QList<int> twMasterSelection(const QList<int> &current, const QList<int> &proposed,
                             const std::function<const TWMasterItem *(int)> &nodeAt);

class TWMasterSelectionModel final : public QItemSelectionModel
{
    Q_OBJECT
public:
    explicit TWMasterSelectionModel(TWMasterModel *model, QObject *parent = nullptr);

    // Selects exactly these rows, without the rule (restoring, navigation);
    // the first becomes the current row when `makeCurrent`.
    void selectExactly(const QModelIndexList &indexes, bool makeCurrent);

    using QItemSelectionModel::select;
    void select(const QItemSelection &selection, QItemSelectionModel::SelectionFlags command) override;

private:
    TWMasterModel *m_master;
};

#pragma once
// The source list's rows: our item model over the tree of TWMasterItem
// nodes (titles, icons, the amounts kept by TWMasterTotals, dragging a record
// to another place of its family), and the selection model that lets through
// only the selections the source list allows (one fixed entry, or records of
// one family).

#include "app/TWMasterItem.h"

#include "foundation/TWError.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QItemSelectionModel>

#include <functional>

class TWBusiness;
class TWMasterTotals;

// The drag type of a source-list row. Its property-list payload names the
// record ("type", "subtype", "identifier") and the list it came from ("list").
inline const QString TWMasterItemMimeType =
    QStringLiteral("com.darozirazozozudod.tallyworth.masterItem");

class TWMasterModel final : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit TWMasterModel(QObject *parent = nullptr);

    // The store the rows show and a drop writes to; the kept row amounts.
    void setBusiness(TWBusiness *business) { m_business = business; }
    void setTotals(const TWMasterTotals *totals) { m_totals = totals; }

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
    // Redraws a node's row and every row below it.
    void refreshSubtree(const TWMasterItem *node);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The row text of a node.
    static QString title(const TWMasterItem &node);
    // The icon of a row (none for headers).
    QImage icon(const TWMasterItem &node) const;

    // Dragging one record within its family.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    // Whether a record of the payload may go onto `target` (childIndex -1)
    // or between its children.
    bool validateDrop(const QMimeData *data, const TWMasterItem *target, int childIndex) const;
    // Moves the record of the payload and stores its new place; false when
    // refused or when the store failed (then nothing is changed in the store
    // and `dropFailed` tells the owner).
    bool acceptDrop(const QMimeData *data, TWMasterItem *target, int childIndex);
    // The child order after a drop: by sort order in the manual order, by
    // name otherwise.
    static bool childLessThan(const TWMasterItemPtr &a, const TWMasterItemPtr &b, quint32 sortBy);

signals:
    // The drop's writes failed and were rolled back.
    void dropFailed(const TWError &error);
    // A record changed its place (the group totals change with it); with
    // `rebuild` the rows could not follow one by one and need building afresh.
    void masterItemMoved(bool rebuild);

private:
    const TWMasterItemList *childrenOf(const TWMasterItem *parent) const;
    void reindex();
    void index(const TWMasterItemList &items, TWMasterItem *parent);

    TWMasterItem *nodeForPayload(const QVariantMap &payload) const;
    std::optional<QVariantMap> payload(const QMimeData *data) const;
    bool moveNode(TWMasterItem *node, TWMasterItem *target, bool between);

    TWBusiness *m_business = nullptr;
    const TWMasterTotals *m_totals = nullptr;
    QString m_token;
    mutable QHash<const TWMasterItem *, QIcon> m_icons;
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
    void select(const QItemSelection &selection,
                QItemSelectionModel::SelectionFlags command) override;

private:
    TWMasterModel *m_master;
};

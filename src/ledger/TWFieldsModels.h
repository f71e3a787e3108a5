#pragma once
// The two tables of the fields view: the fields (name, type, views; rows
// dragged to reorder) and the choices or tags of the selected field (one
// name column, edited in place, sorted by name).

#include <QAbstractTableModel>

class TWFieldsController;

class TWFieldsTableModel final : public QAbstractTableModel
{
public:
    TWFieldsTableModel(TWFieldsController *controller, QObject *parent);

    void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    // Only between rows (or below the last one), only a field row.
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

private:
    TWFieldsController *m_controller;
};

class TWFieldItemsModel final : public QAbstractTableModel
{
public:
    TWFieldItemsModel(TWFieldsController *controller, QObject *parent);

    void reload();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    void sort(int column, Qt::SortOrder order) override;

private:
    TWFieldsController *m_controller;
};

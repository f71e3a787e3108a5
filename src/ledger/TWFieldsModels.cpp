#include "ledger/TWFieldsModels.h"

#include "ledger/TWFieldsController.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QMimeData>

TWFieldsTableModel::TWFieldsTableModel(TWFieldsController *controller, QObject *parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
}

void TWFieldsTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

int TWFieldsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_controller->fields().size());
}

int TWFieldsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TWFieldsTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const TWFieldPtr field = m_controller->fields().value(index.row());
    if (!field)
        return {};
    switch (index.column()) {
    case 0:
        return field->name();
    case 1:
        return TWFormatter::formatter().fieldTypeString(field->type());
    default:
        return m_controller->viewsSummary(*field);
    }
}

QVariant TWFieldsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const keys[] = {"name", "type", "views"};
    return section >= 0 && section < 3 ? TWLocalized(keys[section]) : QVariant();
}

Qt::ItemFlags TWFieldsTableModel::flags(const QModelIndex &index) const
{
    // Drops land between rows only: the rows themselves take none.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList TWFieldsTableModel::mimeTypes() const
{
    return {QString::fromLatin1(TWFieldsMimeType)};
}

QMimeData *TWFieldsTableModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    // One field moves per drag: the first dragged row.
    int row = indexes.first().row();
    for (const QModelIndex &index : indexes)
        row = std::min(row, index.row());
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(TWFieldsMimeType), QByteArray::number(row));
    return data;
}

bool TWFieldsTableModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                         const QModelIndex &parent) const
{
    return data && action == Qt::MoveAction && !parent.isValid() &&
           data->hasFormat(QString::fromLatin1(TWFieldsMimeType));
}

bool TWFieldsTableModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                      int column, const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    bool ok = false;
    const int from = data->data(QString::fromLatin1(TWFieldsMimeType)).toInt(&ok);
    if (!ok)
        return false;
    // Below the last row (or on the empty area under it) is the end.
    const int to = row < 0 ? rowCount() : row;
    return m_controller->moveField(from, to);
}

// ---- Choices and tags ----

TWFieldItemsModel::TWFieldItemsModel(TWFieldsController *controller, QObject *parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
}

void TWFieldItemsModel::reload()
{
    beginResetModel();
    endResetModel();
}

int TWFieldItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_controller->itemCount());
}

int TWFieldItemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant TWFieldItemsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_controller->itemName(index.row());
}

QVariant TWFieldItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section != 0)
        return {};
    return TWLocalized("name");
}

Qt::ItemFlags TWFieldItemsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TWFieldItemsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    m_controller->renameItem(index.row(), value.toString());
    // A new row left without a name is gone by now.
    if (index.row() < rowCount())
        emit dataChanged(index, index);
    return true;
}

void TWFieldItemsModel::sort(int, Qt::SortOrder order)
{
    m_controller->setItemsAscending(order == Qt::AscendingOrder);
}

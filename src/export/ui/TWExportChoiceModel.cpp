#include "export/ui/TWExportChoiceModel.h"

#include "foundation/TWLocalized.h"

#include <QMimeData>

const QString TWExportChoiceModel::kFieldMimeType =
    QStringLiteral("application/x-tallyworth-field");

TWExportChoiceModel::TWExportChoiceModel(Source source, QObject *parent)
    : QAbstractTableModel(parent), m_source(std::move(source))
{
}

int TWExportChoiceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source.count() + 1;
}

int TWExportChoiceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

Qt::CheckState TWExportChoiceModel::allState() const
{
    const int count = m_source.count();
    bool all = true;
    for (int i = 0; i < count && all; ++i)
        all = m_source.isChosen(i);
    if (all)
        return Qt::Checked;
    return m_source.chosenCount() > 0 ? Qt::PartiallyChecked : Qt::Unchecked;
}

QVariant TWExportChoiceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() > m_source.count())
        return {};
    const int row = index.row();
    if (role == Qt::DisplayRole)
        return row == 0 ? TWLocalized("all") : m_source.title(row - 1);
    if (role == Qt::CheckStateRole) {
        if (row == 0)
            return allState();
        return m_source.isChosen(row - 1) ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

bool TWExportChoiceModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() > m_source.count())
        return false;
    const bool on = value.toInt() != Qt::Unchecked;
    if (index.row() == 0) {
        m_source.chooseAll(on);
        emit dataChanged(this->index(0, 0), this->index(rowCount() - 1, 0), {Qt::CheckStateRole});
    } else {
        m_source.choose(index.row() - 1, on);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        emit dataChanged(this->index(0, 0), this->index(0, 0), {Qt::CheckStateRole});
    }
    emit choicesChanged();
    return true;
}

Qt::ItemFlags TWExportChoiceModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return m_source.move ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
    if (m_source.move && index.row() > 0)
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList TWExportChoiceModel::mimeTypes() const
{
    return {kFieldMimeType};
}

QMimeData *TWExportChoiceModel::mimeData(const QModelIndexList &indexes) const
{
    // Only a listed column moves; the "all" row stays first.
    if (!m_source.move || indexes.isEmpty() || indexes.constFirst().row() == 0)
        return nullptr;
    auto *data = new QMimeData();
    data->setData(kFieldMimeType, QByteArray::number(indexes.constFirst().row()));
    return data;
}

Qt::DropActions TWExportChoiceModel::supportedDropActions() const
{
    return m_source.move ? Qt::MoveAction : Qt::IgnoreAction;
}

Qt::DropActions TWExportChoiceModel::supportedDragActions() const
{
    return supportedDropActions();
}

bool TWExportChoiceModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                                          const QModelIndex &parent) const
{
    // Between rows only, and never above the "all" row.
    return m_source.move && data && data->hasFormat(kFieldMimeType) && !parent.isValid() &&
           row > 0 && row <= rowCount();
}

bool TWExportChoiceModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                       int column, const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    bool ok = false;
    const int dragged = data->data(kFieldMimeType).toInt(&ok);
    if (!ok || dragged < 1 || dragged > m_source.count())
        return false;
    const int from = dragged - 1;
    const int to = row - 1;
    if (from == to)
        return false;
    beginResetModel();
    const bool moved = m_source.move(from, to);
    endResetModel();
    // The model has no removeRows, so the view's clean-up after a move leaves
    // the row where the source put it.
    return moved;
}

void TWExportChoiceModel::reload()
{
    beginResetModel();
    endResetModel();
}

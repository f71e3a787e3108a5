#include "app/TWListViews.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace
{

enum ListKey { KeyNone = 0, KeyDelete = 1, KeyReturn = 13, KeyEscape = 27, KeySpace = 32 };

// Draws the cells: an edited row shows its editing colour instead of the
// selection; other rows get a separator line at each column's right edge.
class TWTableCellPainter final : public QStyledItemDelegate
{
public:
    explicit TWTableCellPainter(TWTableView *table) : QStyledItemDelegate(table), m_table(table) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        TWTableRowView *row = m_table->rowView(index.row(), false);
        if (row && row->editing()) {
            QStyleOptionViewItem plain = option;
            plain.state &= ~QStyle::State_Selected;
            painter->fillRect(option.rect, TWTableRowView::editingColour());
            QStyledItemDelegate::paint(painter, plain, index);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(TWTableRowView::separatorColour());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

private:
    TWTableView *m_table;
};

} // namespace

int twListKey(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return KeyDelete;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyReturn;
    case Qt::Key_Escape:
        return KeyEscape;
    case Qt::Key_Space:
        return KeySpace;
    default:
        return KeyNone;
    }
}

// ---- Row records ----

TWTableRowView::~TWTableRowView()
{
    setDetailView(nullptr);
}

QColor TWTableRowView::editingColour()
{
    static const QColor colour = QColor::fromRgbF(0.89f, 0.87f, 0.91f, 1.0f);
    return colour;
}

QColor TWTableRowView::separatorColour()
{
    static const QColor colour = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f);
    return colour;
}

void TWTableRowView::setEditing(bool editing)
{
    m_editing = editing;
    m_tableView->viewport()->update();
}

void TWTableRowView::setDetailView(QWidget *view)
{
    if (m_detailView && m_detailView != view &&
        m_detailView->parentWidget() == m_tableView->viewport()) {
        m_detailView->hide();
        m_detailView->setParent(nullptr);
    }
    m_detailView = view;
    if (view) {
        view->setParent(m_tableView->viewport());
        const QRect rect = m_tableView->visualRect(
            m_tableView->model() ? m_tableView->model()->index(m_row, 0) : QModelIndex());
        view->setGeometry(0, rect.top(), m_tableView->viewport()->width(), rect.height());
        view->show();
    }
}

// ---- Table ----

TWTableView::TWTableView(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new TWTableCellPainter(this));
    // The grid is ours: drawn down to the last row only.
    setShowGrid(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (m_delegate)
            m_delegate->tableViewColumnResize(this);
    });
}

void TWTableView::setUpAsRecordList()
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

TWTableView::~TWTableView()
{
    qDeleteAll(m_rowViews);
}

TWTableRowView *TWTableView::rowView(int row, bool create)
{
    if (TWTableRowView *found = m_rowViews.value(row))
        return found;
    if (!create)
        return nullptr;
    auto *made = new TWTableRowView(this, row);
    m_rowViews.insert(row, made);
    return made;
}

void TWTableView::keyPressEvent(QKeyEvent *event)
{
    const bool selected = selectionModel() && selectionModel()->hasSelection();
    if (selected && m_delegate) {
        bool handled = false;
        switch (twListKey(event)) {
        case KeyDelete:
            handled = m_delegate->tableViewDelete(this);
            break;
        case KeyReturn:
            handled = m_delegate->tableViewReturn(this);
            break;
        case KeyEscape:
            handled = m_delegate->tableViewEscape(this);
            break;
        case KeySpace:
            handled = m_delegate->tableViewSpace(this);
            break;
        default:
            break;
        }
        if (handled) {
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

namespace
{
// A right click leaves the selection as it is: the delegate's menu acts on the row under the
// pointer alone when that row is outside the selection, and on the selection otherwise (also
// below the last row). The view still takes the focus, as for any click.
bool takeSecondaryPress(QAbstractItemView *view, QMouseEvent *event)
{
    if (event->button() != Qt::RightButton)
        return false;
    if (view->focusPolicy() & Qt::ClickFocus)
        view->setFocus(Qt::MouseFocusReason);
    event->accept();
    return true;
}
} // namespace

void TWTableView::mousePressEvent(QMouseEvent *event)
{
    if (!takeSecondaryPress(this, event))
        QTableView::mousePressEvent(event);
}

void TWTableView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_delegate)
        if (QMenu *menu = m_delegate->tableViewMenu(this, event->pos())) {
            m_lastMenu = menu;
            menu->popup(event->globalPos());
            event->accept();
            return;
        }
    QTableView::contextMenuEvent(event);
}

void TWTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    QAbstractItemModel *data = model();
    const int rows = data ? data->rowCount(rootIndex()) : 0;
    const int columns = data ? data->columnCount(rootIndex()) : 0;
    if (rows == 0 || columns == 0)
        return;
    // Grid lines stop at the bottom of the last row and the right of the
    // last column.
    const int bottom = rowViewportPosition(rows - 1) + rowHeight(rows - 1);
    const int lastColumn = horizontalHeader()->logicalIndex(columns - 1);
    const int right = columnViewportPosition(lastColumn) + columnWidth(lastColumn);
    const QRect area = event->rect().intersected(QRect(0, 0, right, bottom));
    if (!area.isEmpty()) {
        QPainter painter(viewport());
        painter.setClipRect(area);
        painter.setPen(palette().color(QPalette::Mid));
        const int first = std::max(0, rowAt(area.top()));
        int last = rowAt(area.bottom());
        if (last < 0)
            last = rows - 1;
        for (int row = first; row <= last; ++row) {
            const int y = rowViewportPosition(row) + rowHeight(row) - 1;
            painter.drawLine(0, y, right - 1, y);
        }
    }
    // Rows with a record are restyled by their delegate as they paint.
    for (TWTableRowView *row : std::as_const(m_rowViews)) {
        if (!row->delegate() || row->row() >= rows)
            continue;
        const int y = rowViewportPosition(row->row());
        if (y + rowHeight(row->row()) < event->rect().top() || y > event->rect().bottom())
            continue;
        row->delegate()->updateRowSelection(this, row, row->row());
    }
}

void TWTableView::updateGeometries()
{
    QTableView::updateGeometries();
    placeDetailViews();
}

void TWTableView::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    placeDetailViews();
}

void TWTableView::placeDetailViews()
{
    for (TWTableRowView *row : std::as_const(m_rowViews)) {
        QWidget *view = row->detailView();
        if (!view || !model())
            continue;
        const QRect rect = visualRect(model()->index(row->row(), 0));
        view->setGeometry(0, rect.top(), viewport()->width(), rect.height());
    }
}

// ---- Outline ----

TWOutlineView::TWOutlineView(QWidget *parent) : QTreeView(parent)
{
    setUniformRowHeights(true);
}

void TWOutlineView::keyPressEvent(QKeyEvent *event)
{
    const bool selected = selectionModel() && selectionModel()->hasSelection();
    if (selected && m_delegate && twListKey(event) == KeyDelete &&
        m_delegate->outlineViewDelete(this)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TWOutlineView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_delegate)
        if (QMenu *menu = m_delegate->outlineViewMenu(this, event->pos())) {
            m_lastMenu = menu;
            menu->popup(event->globalPos());
            event->accept();
            return;
        }
    QTreeView::contextMenuEvent(event);
}

// ---- Collection ----

TWCollectionView::TWCollectionView(QWidget *parent) : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    updateFocusPolicy();
}

void TWCollectionView::setModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_modelConnections))
        disconnect(connection);
    m_modelConnections.clear();
    QListView::setModel(model);
    if (model) {
        const auto update = [this] { updateFocusPolicy(); };
        m_modelConnections = {
            connect(model, &QAbstractItemModel::rowsInserted, this, update),
            connect(model, &QAbstractItemModel::rowsRemoved, this, update),
            connect(model, &QAbstractItemModel::modelReset, this, update),
            connect(model, &QAbstractItemModel::layoutChanged, this, update),
        };
    }
    updateFocusPolicy();
}

void TWCollectionView::updateFocusPolicy()
{
    const bool items = model() && model()->rowCount(rootIndex()) > 0;
    setFocusPolicy(items ? Qt::StrongFocus : Qt::NoFocus);
    if (!items && hasFocus())
        clearFocus();
}

void TWCollectionView::keyPressEvent(QKeyEvent *event)
{
    const bool selected = selectionModel() && selectionModel()->hasSelection();
    if (selected && m_delegate) {
        const int key = twListKey(event);
        bool handled = false;
        if (key == KeyDelete)
            handled = m_delegate->collectionViewDelete(this);
        else if (key == KeySpace)
            handled = m_delegate->collectionViewSpace(this);
        if (handled) {
            event->accept();
            return;
        }
    }
    // Whatever the delegate did not take goes to the enclosing view.
    event->ignore();
}

void TWCollectionView::mousePressEvent(QMouseEvent *event)
{
    if (!takeSecondaryPress(this, event))
        QListView::mousePressEvent(event);
}

void TWCollectionView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid() && m_delegate && m_delegate->collectionViewPreview(this, hit.row())) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void TWCollectionView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_delegate)
        if (QMenu *menu = m_delegate->collectionViewMenu(this, event->pos())) {
            m_lastMenu = menu;
            menu->popup(event->globalPos());
            event->accept();
            return;
        }
    QListView::contextMenuEvent(event);
}

QList<int> twSelectedRows(const QItemSelectionModel *selectionModel)
{
    QList<int> rows;
    const QAbstractItemModel *model = selectionModel ? selectionModel->model() : nullptr;
    const int columns = model ? model->columnCount() : 0;
    if (columns <= 0)
        return rows;
    // Rows chosen whole by one range; the others collect the columns each range covers.
    QHash<int, QList<std::pair<int, int>>> partial;
    for (const QItemSelectionRange &range : selectionModel->selection()) {
        if (!range.isValid() || range.parent().isValid())
            continue;
        const bool whole = range.left() <= 0 && range.right() >= columns - 1;
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (whole)
                rows.append(row);
            else
                partial[row].append({range.left(), range.right()});
        }
    }
    for (auto it = partial.begin(); it != partial.end(); ++it) {
        std::sort(it->begin(), it->end());
        int covered = 0;
        for (const auto &[left, right] : std::as_const(*it)) {
            if (left > covered)
                break;
            covered = std::max(covered, right + 1);
        }
        if (covered >= columns)
            rows.append(it.key());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

#pragma once
// The list views every controller uses: a table, an outline and an icon
// collection that hand keys, context menus, column resizes and row drawing to
// the owning controller through small delegate interfaces. A delegate answers
// true when it handled the key; false lets the view's normal handling run.

#include <QHash>
#include <QListView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeView>

#include <QMenu>
class QItemSelectionModel;
class TWCollectionView;
class TWOutlineView;
class TWTableRowView;
class TWTableView;

class TWTableViewDelegate
{
public:
    virtual ~TWTableViewDelegate() = default;
    virtual bool tableViewDelete(TWTableView *) { return false; }
    virtual bool tableViewSpace(TWTableView *) { return false; }
    virtual bool tableViewReturn(TWTableView *) { return false; }
    virtual bool tableViewEscape(TWTableView *) { return false; }
    // The context menu for a click at `position` (viewport coordinates);
    // nullptr for none. The view does not own it.
    virtual QMenu *tableViewMenu(TWTableView *, const QPoint &) { return nullptr; }
    virtual void tableViewColumnResize(TWTableView *) {}
};

class TWTableRowViewDelegate
{
public:
    virtual ~TWTableRowViewDelegate() = default;
    // Called whenever the row is painted, so the controller can restyle the
    // widgets it keeps over the row.
    virtual void updateRowSelection(TWTableView *, TWTableRowView *, int) {}
};

class TWCollectionViewDelegate
{
public:
    virtual ~TWCollectionViewDelegate() = default;
    virtual bool collectionViewDelete(TWCollectionView *) { return false; }
    virtual bool collectionViewSpace(TWCollectionView *) { return false; }
    // A double click on the item at `index`.
    virtual bool collectionViewPreview(TWCollectionView *, int) { return false; }
    virtual QMenu *collectionViewMenu(TWCollectionView *, const QPoint &) { return nullptr; }
};

class TWOutlineViewDelegate
{
public:
    virtual ~TWOutlineViewDelegate() = default;
    // Delete with a selection; true when handled.
    virtual bool outlineViewDelete(TWOutlineView *) { return false; }
    virtual QMenu *outlineViewMenu(TWOutlineView *, const QPoint &) { return nullptr; }
};

// What a table keeps for one row: whether it is edited in place, a widget
// shown over it and who restyles it when it paints.
class TWTableRowView final
{
public:
    TWTableRowView(TWTableView *tableView, int row) : m_tableView(tableView), m_row(row) {}
    ~TWTableRowView();
    TWTableRowView(const TWTableRowView &) = delete;
    TWTableRowView &operator=(const TWTableRowView &) = delete;

    TWTableView *tableView() const { return m_tableView; }
    int row() const { return m_row; }
    bool editing() const { return m_editing; }
    void setEditing(bool editing);
    QWidget *detailView() const { return m_detailView; }
    // The widget is shown over the row (the previous one is taken out).
    void setDetailView(QWidget *view);
    TWTableRowViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWTableRowViewDelegate *delegate) { m_delegate = delegate; }

    static QColor editingColour();
    static QColor separatorColour();

private:
    TWTableView *m_tableView;
    int m_row;
    bool m_editing = false;
    QPointer<QWidget> m_detailView;
    TWTableRowViewDelegate *m_delegate = nullptr;
};

class TWTableView : public QTableView
{
    Q_OBJECT
public:
    explicit TWTableView(QWidget *parent = nullptr);
    ~TWTableView() override;

    TWTableViewDelegate *tableDelegate() const { return m_delegate; }
    void setTableDelegate(TWTableViewDelegate *delegate) { m_delegate = delegate; }
    // The row's record, made on first request when `create`.
    TWTableRowView *rowView(int row, bool create = true);
    // The menu the delegate gave for the last context click.
    QMenu *lastMenu() const { return m_lastMenu; }
    // How the record lists look and select: whole rows, several at once, no
    // editing in place, alternating one-line rows of the font's height with
    // elided text, no row numbers.
    void setUpAsRecordList();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void placeDetailViews();

    TWTableViewDelegate *m_delegate = nullptr;
    QHash<int, TWTableRowView *> m_rowViews;
    QPointer<QMenu> m_lastMenu;
};

class TWOutlineView : public QTreeView
{
    Q_OBJECT
public:
    explicit TWOutlineView(QWidget *parent = nullptr);
    TWOutlineViewDelegate *outlineDelegate() const { return m_delegate; }
    void setOutlineDelegate(TWOutlineViewDelegate *delegate) { m_delegate = delegate; }
    QMenu *lastMenu() const { return m_lastMenu; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TWOutlineViewDelegate *m_delegate = nullptr;
    QPointer<QMenu> m_lastMenu;
};

class TWCollectionView : public QListView
{
    Q_OBJECT
public:
    explicit TWCollectionView(QWidget *parent = nullptr);
    TWCollectionViewDelegate *collectionDelegate() const { return m_delegate; }
    void setCollectionDelegate(TWCollectionViewDelegate *delegate) { m_delegate = delegate; }
    void setModel(QAbstractItemModel *model) override;
    QMenu *lastMenu() const { return m_lastMenu; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Takes the focus only while it shows at least one item.
    void updateFocusPolicy();

    TWCollectionViewDelegate *m_delegate = nullptr;
    QPointer<QMenu> m_lastMenu;
    QList<QMetaObject::Connection> m_modelConnections;
};

// The key as the lists see it: 1 for the delete keys, the character code of
// Space, Return and Escape, 0 for any other key.
int twListKey(const QKeyEvent *event);

// The top-level rows whose every column is chosen, ascending: what
// QItemSelectionModel::selectedRows answers for a table whose cells are all
// selectable, read from the selection's ranges in one pass (selectedRows asks
// every column of every row, thousands of times on a long list).
QList<int> twSelectedRows(const QItemSelectionModel *selectionModel);

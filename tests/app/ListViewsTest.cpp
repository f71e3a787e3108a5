// The shared list views: keys, focus, double clicks, context menus, row
// records and the grid.

#include "app/TWListViews.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

class KeyDelegate final : public TWTableViewDelegate,
                          public TWOutlineViewDelegate,
                          public TWCollectionViewDelegate,
                          public TWTableRowViewDelegate
{
public:
    bool answer = true;
    QStringList calls;
    QList<int> previews;
    QList<int> paintedRows;
    QMenu menu;

    bool tableViewDelete(TWTableView *) override { return record("delete"); }
    bool tableViewSpace(TWTableView *) override { return record("space"); }
    bool tableViewReturn(TWTableView *) override { return record("return"); }
    bool tableViewEscape(TWTableView *) override { return record("escape"); }
    QMenu *tableViewMenu(TWTableView *, const QPoint &) override { return &menu; }
    void tableViewColumnResize(TWTableView *) override { calls.append("resize"); }
    bool outlineViewDelete(TWOutlineView *) override { return record("outlineDelete"); }
    bool collectionViewDelete(TWCollectionView *) override { return record("collectionDelete"); }
    bool collectionViewSpace(TWCollectionView *) override { return record("collectionSpace"); }
    bool collectionViewPreview(TWCollectionView *, int index) override
    {
        previews.append(index);
        return true;
    }
    void updateRowSelection(TWTableView *, TWTableRowView *, int row) override
    {
        paintedRows.append(row);
    }

private:
    bool record(const char *name)
    {
        calls.append(QLatin1String(name));
        return answer;
    }
};

class KeyCatcher final : public QWidget
{
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

QStandardItemModel *model(int rows, int columns, QObject *parent)
{
    auto *data = new QStandardItemModel(rows, columns, parent);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            data->setItem(row, column,
                          new QStandardItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
    return data;
}

TEST(ListViewsTest, TableKeysReachTheDelegateOnlyWithASelection)
{
    TWTableView table;
    KeyDelegate delegate;
    table.setTableDelegate(&delegate);
    table.setModel(model(3, 2, &table));
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.show();

    QTest::keyClick(&table, Qt::Key_Delete);
    EXPECT_TRUE(delegate.calls.isEmpty());

    table.selectRow(1);
    QTest::keyClick(&table, Qt::Key_Backspace);
    QTest::keyClick(&table, Qt::Key_Delete);
    QTest::keyClick(&table, Qt::Key_Return);
    QTest::keyClick(&table, Qt::Key_Escape);
    EXPECT_EQ(delegate.calls, (QStringList{"delete", "delete", "return", "escape"}));

    // Space answered NO goes on to the table, which selects its current row.
    const auto moveCurrent = [&table](int row) {
        table.selectionModel()->setCurrentIndex(table.model()->index(row, 0),
                                                QItemSelectionModel::NoUpdate);
    };
    delegate.answer = false;
    delegate.calls.clear();
    moveCurrent(2);
    QTest::keyClick(&table, Qt::Key_Space, Qt::NoModifier);
    EXPECT_EQ(delegate.calls, QStringList{"space"});
    EXPECT_TRUE(table.selectionModel()->isRowSelected(2, {}));

    // A consumed Space never reaches it.
    delegate.answer = true;
    table.selectRow(1);
    moveCurrent(0);
    QTest::keyClick(&table, Qt::Key_Space, Qt::NoModifier);
    EXPECT_FALSE(table.selectionModel()->isRowSelected(0, {}));
}

TEST(ListViewsTest, ARightClickLeavesTheSelectionAsItWas)
{
    TWTableView table;
    table.setModel(model(4, 2, &table));
    table.setUpAsRecordList();
    table.resize(300, 300);
    table.show();
    table.selectRow(0);
    const auto selectedRows = [&table] {
        QList<int> rows;
        for (const QModelIndex &index : table.selectionModel()->selectedRows())
            rows.append(index.row());
        return rows;
    };

    // On a row outside the selection, and below the last row.
    const QPoint rowTwo = table.visualRect(table.model()->index(2, 0)).center();
    QTest::mouseClick(table.viewport(), Qt::RightButton, {}, rowTwo);
    EXPECT_EQ(selectedRows(), QList<int>{0});
    QTest::mouseClick(table.viewport(), Qt::RightButton, {}, QPoint(10, 290));
    EXPECT_EQ(selectedRows(), QList<int>{0});

    // A left click still selects.
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, rowTwo);
    EXPECT_EQ(selectedRows(), QList<int>{2});

    TWCollectionView collection;
    collection.setModel(model(3, 1, &collection));
    collection.setSelectionMode(QAbstractItemView::ExtendedSelection);
    collection.resize(300, 300);
    collection.show();
    collection.selectionModel()->select(collection.model()->index(1, 0),
                                        QItemSelectionModel::ClearAndSelect);
    QTest::mouseClick(collection.viewport(), Qt::RightButton, {}, QPoint(10, 290));
    QTest::mouseClick(collection.viewport(), Qt::RightButton, {},
                      collection.visualRect(collection.model()->index(0, 0)).center());
    EXPECT_EQ(collection.selectionModel()->selectedIndexes().size(), 1);
    EXPECT_TRUE(collection.selectionModel()->isSelected(collection.model()->index(1, 0)));
}

} // namespace

// The chosen rows read from the selection's ranges are the rows Qt calls selected, whatever
// shape the selection takes: whole rows, one range or several, a single cell, cells that
// together cover a row, rows taken away again.
TEST(ListViewsTest, ChosenRowsAreTheRowsWhoseEveryColumnIsSelected)
{
    QStandardItemModel model(12, 4);
    QItemSelectionModel selection(&model);
    const auto qtRows = [&selection] {
        QList<int> rows;
        for (const QModelIndex &index : selection.selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const auto cells = [&model](int top, int left, int bottom, int right) {
        return QItemSelection(model.index(top, left), model.index(bottom, right));
    };
    using Flags = QItemSelectionModel::SelectionFlags;
    const Flags rowsFlags = QItemSelectionModel::Select | QItemSelectionModel::Rows;

    EXPECT_TRUE(twSelectedRows(&selection).isEmpty());
    EXPECT_TRUE(twSelectedRows(nullptr).isEmpty());

    selection.select(cells(2, 0, 4, 0), rowsFlags);
    selection.select(cells(9, 0, 9, 0), rowsFlags);
    selection.select(cells(3, 0, 6, 0), rowsFlags); // overlaps the first range
    EXPECT_EQ(twSelectedRows(&selection), (QList<int>{2, 3, 4, 5, 6, 9}));
    EXPECT_EQ(twSelectedRows(&selection), qtRows());

    // A row taken away again, and one cell of another.
    selection.select(cells(4, 0, 4, 3), QItemSelectionModel::Deselect);
    selection.select(cells(6, 2, 6, 2), QItemSelectionModel::Deselect);
    EXPECT_EQ(twSelectedRows(&selection), (QList<int>{2, 3, 5, 9}));
    EXPECT_EQ(twSelectedRows(&selection), qtRows());

    // A lone cell is no row; cells that meet across a row make one; a gap leaves it out.
    selection.clear();
    selection.select(cells(0, 1, 0, 1), QItemSelectionModel::Select);
    selection.select(cells(7, 0, 7, 1), QItemSelectionModel::Select);
    selection.select(cells(7, 2, 7, 3), QItemSelectionModel::Select);
    selection.select(cells(8, 0, 8, 0), QItemSelectionModel::Select);
    selection.select(cells(8, 2, 8, 3), QItemSelectionModel::Select);
    EXPECT_EQ(twSelectedRows(&selection), QList<int>{7});
    EXPECT_EQ(twSelectedRows(&selection), qtRows());

    // Every row of a long list, as Select All leaves it.
    QStandardItemModel many(5000, 9);
    QItemSelectionModel all(&many);
    all.select(QItemSelection(many.index(0, 0), many.index(4999, 8)), QItemSelectionModel::Select);
    const QList<int> rows = twSelectedRows(&all);
    ASSERT_EQ(rows.size(), 5000);
    EXPECT_EQ(rows.front(), 0);
    EXPECT_EQ(rows.back(), 4999);
}

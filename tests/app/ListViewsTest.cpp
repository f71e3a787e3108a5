// The shared list views: keys, focus, double clicks, context menus, row
// records and the grid.

#include "app/TWListViews.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

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

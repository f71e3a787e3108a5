// The layout of icon rows: the detail text always shows whole at the right,
// the title gives way first.

#include "TWIconCellView.h"

#include <QLabel>
#include <QStandardItemModel>
#include <QTreeView>

#include <gtest/gtest.h>

namespace
{

TEST(IconCellTest, DetailFirstThenTitle)
{
    const TWIconCellLayout layout = twIconCellLayout(QRectF(0, 0, 100, 22), 0, 40);
    EXPECT_DOUBLE_EQ(layout.detail.width(), 45);
    EXPECT_DOUBLE_EQ(layout.title.width(), 27);
    EXPECT_DOUBLE_EQ(layout.title.x(), 24);
    EXPECT_DOUBLE_EQ(layout.detail.x(), 24 + 27);
    EXPECT_EQ(layout.icon, QRectF(2, 1, 20, 20));
    EXPECT_DOUBLE_EQ(layout.title.y(), 2.5);
    EXPECT_DOUBLE_EQ(layout.title.height(), 17);

    // Wider than the room: all of it to the detail, nothing to the title.
    const TWIconCellLayout narrow = twIconCellLayout(QRectF(0, 0, 100, 22), 0, 400);
    EXPECT_DOUBLE_EQ(narrow.title.width(), 0);
    EXPECT_DOUBLE_EQ(narrow.detail.width(), 72);

    // Each indent level moves everything 15 to the right and narrows the text.
    const TWIconCellLayout indented = twIconCellLayout(QRectF(10, 5, 100, 22), 2, 10);
    EXPECT_DOUBLE_EQ(indented.icon.x(), 10 + 2 + 30);
    EXPECT_DOUBLE_EQ(indented.title.width() + indented.detail.width(), 100 - 8 - 30 - 20);
    EXPECT_DOUBLE_EQ(indented.icon.y(), 6);
}

TEST(IconCellTest, TheWidgetLaysOutOnResize)
{
    TWIconCellView *view =
        TWIconCellView::iconCellViewWithFrame(QRect(0, 0, 100, 22), QStringLiteral("item"));
    std::unique_ptr<TWIconCellView> owner(view);
    EXPECT_EQ(view->objectName(), QStringLiteral("item"));
    view->show();
    view->titleTextField()->setText(QStringLiteral("A long account name"));
    view->detailTextField()->setText(QStringLiteral("$1.00"));
    view->layoutSubviews();
    const int detail =
        view->detailTextField()->fontMetrics().horizontalAdvance(QStringLiteral("$1.00"));
    EXPECT_EQ(view->detailTextField()->width(), detail + 5);
    EXPECT_EQ(view->titleTextField()->x(), 24);
    // The indent only takes effect at the next layout.
    view->setIndentLevel(1);
    EXPECT_EQ(view->titleTextField()->x(), 24);
    view->resize(120, 22);
    EXPECT_EQ(view->titleTextField()->x(), 39);
    EXPECT_EQ(view->detailTextField()->geometry().right() + 1, 39 + 120 - 8 - 15 - 20);
}

// The delegate paints the detail text at the right edge of the row.
TEST(IconCellTest, TheDelegatePaintsTheDetailAtTheRight)
{
    QStandardItemModel model;
    auto *item = new QStandardItem(QStringLiteral("Bank"));
    item->setData(QStringLiteral("8888"), TWIconCellDetailRole);
    model.appendRow(item);
    QTreeView view;
    view.setHeaderHidden(true);
    view.setRootIsDecorated(false);
    view.setItemDelegate(new TWIconCellDelegate(&view));
    view.setModel(&model);
    view.resize(300, 60);
    view.show();
    const QImage image = view.viewport()->grab().toImage();
    const QRect row = view.visualRect(model.index(0, 0));
    EXPECT_EQ(row.height(), 22);
    // Dark pixels of the detail in the right quarter, none between the title
    // and the detail.
    const auto darkIn = [&](int from, int to) {
        int dark = 0;
        for (int x = from; x < to; ++x)
            for (int y = row.top(); y <= row.bottom(); ++y)
                if (qGray(image.pixel(x, y)) < 128)
                    ++dark;
        return dark;
    };
    EXPECT_GT(darkIn(row.right() - 60, row.right()), 0);
    EXPECT_EQ(darkIn(row.left() + 120, row.right() - 80), 0);
}

} // namespace

// The layout of icon rows: the detail text always shows whole at the right,
// the title gives way first.

#include "app/TWIconCellView.h"

#include <QLabel>
#include <QStandardItemModel>
#include <QTreeView>

#include <gtest/gtest.h>

namespace
{

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

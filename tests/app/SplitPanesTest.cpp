// The divider between two panes of lists: how the height is shared, and the
// divider kept where the document remembers it once the split is shown,
// moved only as far as a list needs, and never remembered from a squeeze.

#include "app/TWSplitPanes.h"

#include <QApplication>
#include <QHeaderView>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>

#include <gtest/gtest.h>

using TWSplitPanes::Heights;
using TWSplitPanes::share;

TEST(SplitPanes, TheWishIsKeptWhileBothPanesHaveTheirLeastAndSharedByNeedBelowThat)
{
    // Room for both: the wish stands, or moves just far enough.
    EXPECT_EQ(share(500, 200, 120, 150), (Heights{200, 300}));
    EXPECT_EQ(share(500, 450, 120, 150), (Heights{350, 150}));
    EXPECT_EQ(share(500, 10, 120, 150), (Heights{120, 380}));
    EXPECT_EQ(share(270, 0, 120, 150), (Heights{120, 150}));
    // Too little for both: each pane is short by the same part of its need.
    EXPECT_EQ(share(135, 100, 120, 150), (Heights{60, 75}));
    EXPECT_EQ(share(99, 0, 50, 50), (Heights{50, 49}));
    EXPECT_EQ(share(0, 100, 120, 150), (Heights{0, 0}));
    EXPECT_EQ(share(-5, 100, 0, 0), (Heights{0, 0}));
}

TEST(SplitPanes, TheDividerIsPlacedWhenShownAgainAtEveryHeightAndRemembersOnlyMoves)
{
    QStandardItemModel model(10, 3);
    QSplitter splitter(Qt::Vertical);
    auto *upper = new QTableView(&splitter);
    auto *lower = new QTableView(&splitter);
    for (QTableView *table : {upper, lower})
        table->setModel(&model);
    double stored = 400;
    int stores = 0;
    auto *divider = new TWSplitDivider(
        &splitter, TWSplitDivider::Measured::Second, [&] { return stored; },
        [&](double height) {
            stored = height;
            ++stores;
        });
    divider->keepRows({upper, lower});
    const int least = TWSplitPanes::listHeight(lower);
    EXPECT_EQ(least, lower->horizontalHeader()->sizeHint().height() +
                         3 * lower->verticalHeader()->defaultSectionSize() +
                         2 * lower->frameWidth() +
                         lower->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lower));
    EXPECT_EQ(divider->minimumHeight(1), least);

    // Restored before the split has a height: placed when shown.
    divider->restore();
    EXPECT_FALSE(divider->isRestored());
    splitter.resize(600, 700);
    splitter.show();
    QApplication::processEvents();
    ASSERT_TRUE(divider->isRestored());
    EXPECT_EQ(splitter.sizes().at(1), 400);

    // A smaller window: the upper list keeps its header and three rows.
    splitter.resize(600, 300);
    QApplication::processEvents();
    EXPECT_EQ(splitter.sizes().at(0), divider->minimumHeight(0));
    EXPECT_GE(upper->viewport()->height(), 3 * upper->verticalHeader()->defaultSectionSize());
    // Back at the larger one, the remembered height returns: the squeeze was
    // not remembered.
    splitter.resize(600, 700);
    QApplication::processEvents();
    EXPECT_EQ(splitter.sizes().at(1), 400);
    EXPECT_EQ(stores, 0);
    EXPECT_EQ(stored, 400);
}

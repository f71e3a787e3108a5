// Output table cells: compact movable values that keep their twelve fields.

#include "model/TWColumn.h"

#include <QImage>

#include <gtest/gtest.h>

#include <type_traits>

// Exports hold hundreds of thousands of cells.
static_assert(sizeof(TWCell) <= 96);
static_assert(std::is_nothrow_move_constructible_v<TWCell>);
static_assert(std::is_nothrow_move_assignable_v<TWCell>);

TEST(Cell, HeadingsAndGraphs)
{
    const TWCell heading = TWCell::cellWithValue(
        QStringLiteral("Amount"), QVariant(), QUrl(), TWCellStyleLarge | TWCellStyleBold,
        TWCellJustifyRight, TWCellTypeText, 1, 2, true, true, false, 3);
    // Every field kept in the packed layout.
    EXPECT_EQ(std::tuple(heading.style(), heading.row(), heading.column(), heading.span(),
                         heading.justify(), heading.table(), heading.header(), heading.border()),
              std::tuple(12u, 1u, 2u, 3u, 2u, true, true, false));

    TWCell graph; // a plain free line until told otherwise
    EXPECT_EQ(std::tuple(graph.type(), graph.span(), graph.table(), graph.header()),
              std::tuple(quint32(TWCellTypeText), 1u, false, false));
    graph.setType(TWCellTypeGraph);
    graph.setRawValue(QImage(4, 4, QImage::Format_ARGB32));
    EXPECT_TRUE(graph.value().isNull());
    EXPECT_EQ(graph.rawValue().value<QImage>().width(), 4);

    const TWColumn column = TWColumn::columnWithHeaderCells({heading}, 72.5, QSizeF(100, 14), 1);
    EXPECT_EQ(column.headerCells().first().value(), QStringLiteral("Amount"));
}

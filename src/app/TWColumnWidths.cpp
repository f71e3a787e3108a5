#include "app/TWColumnWidths.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <numeric>

namespace
{

// The least width a text column's elided title keeps.
constexpr int kLeastTextWidth = 40;

} // namespace

QList<int> twShownColumnWidths(const QList<TWColumnFit> &columns, int available)
{
    QList<int> widths;
    widths.reserve(columns.size());
    for (const TWColumnFit &column : columns)
        widths.append(column.dragged ? column.width : std::max(column.width, column.minimum));
    if (std::accumulate(widths.cbegin(), widths.cend(), 0) <= available)
        return widths;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const TWColumnFit &column = columns.at(i);
        if (!column.dragged && column.kind == TWColumnFit::Fixed && column.fitted > 0)
            widths[i] = std::max(column.minimum, std::min(widths.at(i), column.fitted));
    }
    // The furthest amount column that giving way brings whole on screen: the
    // text columns before it give first, then those that keep their widths
    // (the accounts), then the amounts before it and last the fitted ones,
    // each never below its title or its widest amount or date. Where no amount column can be
    // brought on screen so, see below; what is left over the scroll bar takes.
    //
    // The least width a column gives way to: its title (or widest amount or
    // date); below its title only for a text column, to half of it.
    const auto floorOf = [&](qsizetype i, bool belowTitles) {
        const TWColumnFit &column = columns.at(i);
        // An amount or a fixed column shortens its title only where the
        // list said what its cells need.
        if (!belowTitles || (column.content == 0 && (column.kind == TWColumnFit::Amount ||
                                                     column.kind == TWColumnFit::Fixed)))
            return column.minimum;
        return std::min(column.minimum,
                        std::max({kLeastTextWidth, column.minimum / 2, column.content}));
    };
    const auto room = [&](qsizetype i, bool belowTitles) {
        const TWColumnFit &column = columns.at(i);
        return column.dragged ? 0 : std::max(0, widths.at(i) - floorOf(i, belowTitles));
    };
    const auto giveWay = [&](qsizetype before, TWColumnFit::Kind kind, int over, bool belowTitles) {
        int slack = 0;
        for (qsizetype i = 0; i < before; ++i)
            if (columns.at(i).kind == kind)
                slack += room(i, belowTitles);
        int given = 0;
        for (qsizetype i = 0; i < before && slack > 0; ++i) {
            if (columns.at(i).kind != kind)
                continue;
            // Each gives its share of the room it has above its floor; the
            // rounding goes to the last.
            const int share = int((qint64(over) * room(i, belowTitles) + slack - 1) / slack);
            const int take = std::min({room(i, belowTitles), share, over - given});
            widths[i] -= take;
            given += take;
        }
        return given;
    };
    const auto end = [&](qsizetype last) {
        return std::accumulate(widths.cbegin(), widths.cbegin() + last + 1, 0);
    };
    // Brings the amount column `last` whole on screen when the columns before
    // it have room enough to give; false (nothing changed) otherwise.
    const auto bringOnScreen = [&](qsizetype last, bool belowTitles) {
        const int over = end(last) - available;
        // With titles shortened, the amount itself first gives what it has
        // beyond its title and widest amount.
        const int own = belowTitles && !columns.at(last).dragged
                            ? std::max(0, widths.at(last) - columns.at(last).minimum)
                            : 0;
        int slack = own;
        for (qsizetype i = 0; i < last; ++i)
            slack +=
                room(i, false) +
                (belowTitles && !columns.at(i).dragged
                     ? std::max(0, std::min(widths.at(i), columns.at(i).minimum) - floorOf(i, true))
                     : 0);
        if (slack < over)
            return false;
        int given = std::min(own, over);
        widths[last] -= given;
        for (const TWColumnFit::Kind kind :
             {TWColumnFit::Text, TWColumnFit::Kept, TWColumnFit::Amount, TWColumnFit::Fixed})
            if (given < over)
                given += giveWay(last, kind, over - given, false);
        // Below their titles the text columns shorten first, the amounts'
        // titles last.
        for (const TWColumnFit::Kind kind :
             {TWColumnFit::Text, TWColumnFit::Kept, TWColumnFit::Fixed, TWColumnFit::Amount})
            if (given < over)
                given += giveWay(last, kind, over - given, true);
        return true;
    };
    qsizetype reached = -1;
    for (qsizetype last = columns.size() - 1; last >= 0; --last) {
        if (columns.at(last).kind != TWColumnFit::Amount)
            continue;
        if (end(last) <= available || bringOnScreen(last, false)) {
            reached = last;
            break;
        }
    }
    // A wider font (the one a right-to-left locale brings) can make the
    // titles wider than the list leaves: the columns then shorten their
    // titles (elided, never an amount or a date) to bring the furthest amount
    // they can whole on screen, the balance where they can, rather than
    // leave amounts past the scroll bar.
    for (qsizetype last = columns.size() - 1; last > reached; --last)
        if (columns.at(last).kind == TWColumnFit::Amount && bringOnScreen(last, true))
            break;
    return widths;
}

int twHeaderTitleWidth(const QHeaderView *header, const QString &title, bool sorted)
{
    if (!header || title.isEmpty())
        return 0;
    const QStyle *style = header->style();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int arrow =
        sorted ? style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) + margin : 0;
    return header->fontMetrics().horizontalAdvance(title) + 2 * margin + arrow + 4;
}

void twFitColumns(QTableView *table, const QList<TWColumnFit> &columns)
{
    const QList<int> widths = twShownColumnWidths(columns, table->viewport()->width());
    QHeaderView *header = table->horizontalHeader();
    for (int column = 0; column < widths.size(); ++column)
        header->resizeSection(column, widths.at(column));
}

bool twViewportWidthChanged(const QAbstractItemView *view, const QObject *watched,
                            const QEvent *event)
{
    if (!view || watched != view->viewport() || event->type() != QEvent::Resize)
        return false;
    const auto *resize = static_cast<const QResizeEvent *>(event);
    return resize->oldSize().width() != resize->size().width();
}

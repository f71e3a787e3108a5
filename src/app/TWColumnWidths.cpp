#include "app/TWColumnWidths.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <numeric>

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
    // brought on screen so, the widths stay and the scroll bar takes the rest.
    const auto room = [&](qsizetype i) {
        const TWColumnFit &column = columns.at(i);
        return column.dragged ? 0 : std::max(0, widths.at(i) - column.minimum);
    };
    const auto giveWay = [&](qsizetype before, TWColumnFit::Kind kind, int over) {
        int slack = 0;
        for (qsizetype i = 0; i < before; ++i)
            if (columns.at(i).kind == kind)
                slack += room(i);
        int given = 0;
        for (qsizetype i = 0; i < before && slack > 0; ++i) {
            if (columns.at(i).kind != kind)
                continue;
            // Each gives its share of the room it has above its title; the
            // rounding goes to the last.
            const int share = int((qint64(over) * room(i) + slack - 1) / slack);
            const int take = std::min({room(i), share, over - given});
            widths[i] -= take;
            given += take;
        }
        return given;
    };
    for (qsizetype last = columns.size() - 1; last >= 0; --last) {
        if (columns.at(last).kind != TWColumnFit::Amount)
            continue;
        const int end = std::accumulate(widths.cbegin(), widths.cbegin() + last + 1, 0);
        const int over = end - available;
        if (over <= 0)
            return widths;
        int slack = 0;
        for (qsizetype i = 0; i < last; ++i)
            slack += room(i);
        if (slack < over)
            continue;
        int given = 0;
        for (const TWColumnFit::Kind kind :
             {TWColumnFit::Text, TWColumnFit::Kept, TWColumnFit::Amount, TWColumnFit::Fixed})
            if (given < over)
                given += giveWay(last, kind, over - given);
        return widths;
    }
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

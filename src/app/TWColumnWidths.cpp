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
    // The last amount column's right edge, and what the text columns before
    // it could give.
    qsizetype last = -1;
    for (qsizetype i = 0; i < columns.size(); ++i)
        if (columns.at(i).kind == TWColumnFit::Amount)
            last = i;
    if (last < 0)
        return widths;
    const int end = std::accumulate(widths.cbegin(), widths.cbegin() + last + 1, 0);
    const int over = end - available;
    int slack = 0;
    for (qsizetype i = 0; i < last; ++i)
        if (columns.at(i).kind == TWColumnFit::Text && !columns.at(i).dragged)
            slack += std::max(0, widths.at(i) - columns.at(i).minimum);
    // Only where that shows the amounts whole: else the text keeps its width
    // and the scroll bar takes the rest.
    if (over <= 0 || slack < over)
        return widths;
    int given = 0;
    for (qsizetype i = 0; i < last; ++i) {
        const TWColumnFit &column = columns.at(i);
        if (column.kind != TWColumnFit::Text || column.dragged)
            continue;
        // Each gives its share of the room it has above its title; the
        // rounding goes to the last.
        const int room = std::max(0, widths.at(i) - column.minimum);
        const int share = int((qint64(over) * room + slack - 1) / slack);
        const int take = std::min({room, share, over - given});
        widths[i] -= take;
        given += take;
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

#pragma once
// The invoice page's arithmetic as plain values: PDF points with the origin at
// the page's bottom-left corner and y growing upwards. Nothing here paints;
// the operation draws what these functions place, and tests check them alone.

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace TWInvoiceGeometry
{

// The smallest rectangle with whole-point edges that holds `rect`.
QRectF integral(const QRectF &rect);

// `rect` placed inside `bounds` by the alignments (horizontal 0 left, 1
// centre, 2 right; vertical 0 top, 1 middle, 2 bottom; other values keep the
// coordinate), keeping its size, then made integral.
QRectF positionRect(const QRectF &rect, const QRectF &bounds, int horizontalAlignment,
                    int verticalAlignment);

// A frame stroked `strokeWidth` wide: odd whole widths move to half points so
// that the stroke covers whole pixels.
QRectF strokeAlignedRect(const QRectF &rect, double strokeWidth);
// A line's end points floored, moved to half points for odd widths (x for a
// vertical line, y otherwise).
void strokeAlignedLine(QPointF &from, QPointF &to, double strokeWidth);

// A rectangle in page space turned into the painter's y-down space of a page
// `pageHeight` points high.
QRectF toPainter(const QRectF &rect, double pageHeight);
QPointF toPainter(const QPointF &point, double pageHeight);

// The content area and the column width of the three-column grid.
struct PageGrid {
    QRectF strokeFrame;  // the page frame inset by the page stroke
    QRectF contentFrame; // what is left for rows
    double columnWidth = 0;
};
// `pageStroke` is the page element's stroke width (0 when unstroked).
PageGrid pageGrid(const QRectF &pageFrame, double pageStroke);

// The bands at the top and bottom of the page: the page number's frame size
// `number`, the header's `header` and the footer's `footer` (zero sizes when
// not shown), the number at the top (location 0) or bottom (1).
struct Bands {
    QRectF contentFrame;
    QRectF numberBand; // where the number is aligned; empty for other locations
    QRectF headerBand;
    QRectF footerBand;
    bool placed = false; // false for a location other than 0 and 1
};
Bands bands(const PageGrid &grid, const QSizeF &number, const QSizeF &header, const QSizeF &footer,
            int location);

// Column widths of the item table. `natural` holds each shown column's
// natural width in column order, `minimum` the width below which a column's
// texts would break where they must not (a number or a word in two);
// `descriptionIndex` is the description column's index (-1 when none);
// `strokeWidth` the table's rule width. Where the room is short the
// description gives way first, then the other columns, each only down to its
// minimum.
struct TableColumns {
    QList<double> widths;
    QList<double> offsets;
};
TableColumns tableColumns(const QList<double> &natural, const QList<double> &minimum,
                          int descriptionIndex, double contentWidth, double strokeWidth);

} // namespace TWInvoiceGeometry

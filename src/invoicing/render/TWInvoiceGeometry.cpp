#include "invoicing/render/TWInvoiceGeometry.h"

#include <algorithm>
#include <cmath>

namespace TWInvoiceGeometry
{

QRectF integral(const QRectF &rect)
{
    if (rect.width() < 0 || rect.height() < 0)
        return QRectF(std::floor(rect.x()), std::floor(rect.y()), 0, 0);
    const double left = std::floor(rect.left());
    const double bottom = std::floor(rect.top());
    const double right = std::ceil(rect.left() + rect.width());
    const double top = std::ceil(rect.top() + rect.height());
    return QRectF(left, bottom, right - left, top - bottom);
}

QRectF positionRect(const QRectF &rect, const QRectF &bounds, int horizontalAlignment,
                    int verticalAlignment)
{
    double x = rect.x();
    double y = rect.y();
    switch (horizontalAlignment) {
    case 0:
        x = bounds.x();
        break;
    case 1:
        x = bounds.x() + (bounds.width() - rect.width()) * 0.5;
        break;
    case 2:
        x = bounds.x() + bounds.width() - rect.width();
        break;
    default:
        break;
    }
    switch (verticalAlignment) {
    case 0:
        y = bounds.y() + bounds.height() - rect.height();
        break;
    case 1:
        y = bounds.y() + (bounds.height() - rect.height()) * 0.5;
        break;
    case 2:
        y = bounds.y();
        break;
    default:
        break;
    }
    return integral(QRectF(x, y, rect.width(), rect.height()));
}

static bool isOdd(double width)
{
    return (qint64(width) % 2) != 0;
}

QRectF strokeAlignedRect(const QRectF &rect, double strokeWidth)
{
    if (!isOdd(strokeWidth))
        return rect;
    return QRectF(std::floor(rect.x()) + 0.5, std::floor(rect.y()) + 0.5, rect.width(),
                  rect.height());
}

void strokeAlignedLine(QPointF &from, QPointF &to, double strokeWidth)
{
    from = QPointF(std::floor(from.x()), std::floor(from.y()));
    to = QPointF(std::floor(to.x()), std::floor(to.y()));
    if (!isOdd(strokeWidth))
        return;
    if (from.x() == to.x()) {
        from.rx() += 0.5;
        to.rx() += 0.5;
    } else {
        from.ry() += 0.5;
        to.ry() += 0.5;
    }
}

QRectF toPainter(const QRectF &rect, double pageHeight)
{
    return QRectF(rect.x(), pageHeight - rect.y() - rect.height(), rect.width(), rect.height());
}

QPointF toPainter(const QPointF &point, double pageHeight)
{
    return QPointF(point.x(), pageHeight - point.y());
}

PageGrid pageGrid(const QRectF &pageFrame, double pageStroke)
{
    PageGrid grid;
    grid.strokeFrame = pageFrame;
    if (pageStroke != 0) {
        const double inset = pageStroke + 3;
        grid.strokeFrame = pageFrame.adjusted(inset, inset, -inset, -inset);
    }
    grid.contentFrame = grid.strokeFrame;
    grid.columnWidth = (grid.contentFrame.width() - 10) / 3;
    return grid;
}

Bands bands(const PageGrid &grid, const QSizeF &number, const QSizeF &header, const QSizeF &footer,
            int location)
{
    Bands result;
    QRectF content = grid.contentFrame;
    const QRectF &r = grid.strokeFrame;
    const double top = r.y() + r.height();
    if (header.height() != 0)
        content.setHeight(content.height() - header.height() - 5);
    if (footer.height() != 0) {
        content.setY(content.y() + footer.height() + 5);
    }
    // The page number shares the band of the line it sits with; with that
    // line absent it takes the band alone, and 5 points go in either case.
    const auto loss = [&number](double line) {
        if (line == 0)
            return number.height() + 5;
        return number.height() > line ? number.height() - line : 0.0;
    };
    if (location == 0) {
        content.setHeight(content.height() - loss(header.height()));
        const double b = std::max(number.height(), header.height());
        result.numberBand = QRectF(r.x(), top - b, r.width(), b);
        result.headerBand = result.numberBand;
        result.footerBand = QRectF(r.x(), r.y(), r.width(), footer.height());
        result.placed = true;
    } else if (location == 1) {
        const double d = loss(footer.height());
        content.setY(content.y() + d);
        const double b = std::max(number.height(), footer.height());
        result.numberBand = QRectF(r.x(), r.y(), r.width(), b);
        result.footerBand = result.numberBand;
        result.headerBand = QRectF(r.x(), top - header.height(), r.width(), header.height());
        result.placed = true;
    }
    result.contentFrame = content;
    return result;
}

TableColumns tableColumns(const QList<double> &natural, const QList<double> &minimum,
                          int descriptionIndex, double contentWidth, double strokeWidth)
{
    TableColumns result;
    const qsizetype n = natural.size();
    if (n == 0)
        return result;
    const double gap = strokeWidth > 0 ? 6 + strokeWidth : 6;
    double sum = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (i != descriptionIndex)
            sum += natural.at(i);
    }
    const double room = contentWidth - double(n + 1) * gap + 6;
    const auto floor = [&minimum](qsizetype i) { return i < minimum.size() ? minimum.at(i) : 0.0; };
    result.widths = natural;
    if (descriptionIndex < 0 && sum <= room) {
        const double grow = (room - sum) / double(n);
        for (double &width : result.widths)
            width += grow;
    } else if (descriptionIndex >= 0 && sum + 100 <= room) {
        result.widths[descriptionIndex] = room - sum;
    } else {
        // Short of room: the description first, down to its longest word,
        // then the other columns in proportion to what each can give.
        double deficit = sum - room;
        if (descriptionIndex >= 0) {
            const double least = std::min(100.0, floor(descriptionIndex));
            result.widths[descriptionIndex] = std::max(least, 100 - (sum + 100 - room));
            deficit = sum + result.widths.at(descriptionIndex) - room;
        }
        double slack = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (i != descriptionIndex)
                slack += std::max(0.0, natural.at(i) - floor(i));
        }
        const double share = slack > 0 ? std::min(1.0, std::max(0.0, deficit) / slack) : 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (i != descriptionIndex)
                result.widths[i] = natural.at(i) - share * std::max(0.0, natural.at(i) - floor(i));
        }
    }
    double offset = strokeWidth + 3;
    for (qsizetype i = 0; i < n; ++i) {
        result.offsets.append(offset);
        offset += result.widths.at(i) + gap;
    }
    return result;
}

} // namespace TWInvoiceGeometry

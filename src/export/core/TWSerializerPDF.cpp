#include "export/core/TWSerializerPDF.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"
#include "platform/TWFontResolver.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>

namespace
{

constexpr double kMargin = 20;
constexpr double kLetterWidth = 612;
constexpr double kLetterHeight = 792;
constexpr double kColumnGap = 10;
const QSizeF kColumnMeasure(250, 500);

QFont fontWithName(const QString &name, double size)
{
    if (std::optional<QFont> font = TWFontResolver::fontWithName(name, size))
        return *font;
    if (std::optional<QFont> font =
            TWFontResolver::fontWithName(QStringLiteral("Times Roman"), size))
        return *font;
    QFont font(QStringLiteral("serif"));
    font.setPointSizeF(size > 0 ? size : 12.0);
    return font;
}

// The fonts of a document, by key: a cell's size and face bits, or one of
// the two fixed fonts below.
constexpr quint32 kHeaderFont = 0x100;
constexpr quint32 kPageNumberFont = 0x200;

quint32 fontKey(quint32 style)
{
    return style & (TWCellStyleSmall | TWCellStyleLarge | TWCellStyleBold | TWCellStyleItalic);
}

// Measures texts as they will be drawn: at 72 dots per inch a point is one
// unit, the same as on the PDF page. Fonts and their metrics are looked up
// once per document.
class Measure
{
public:
    Measure() : m_device(1, 1, QImage::Format_ARGB32)
    {
        const int dotsPerMeter = qRound(72.0 / 0.0254);
        m_device.setDotsPerMeterX(dotsPerMeter);
        m_device.setDotsPerMeterY(dotsPerMeter);
    }

    struct Entry {
        QFont font;
        QFontMetricsF metrics;
    };

    const Entry &entry(quint32 key)
    {
        auto found = m_entries.find(key);
        if (found == m_entries.end()) {
            const QFont font = key == kHeaderFont       ? TWSerializerPDF::headerFont()
                               : key == kPageNumberFont ? TWSerializerPDF::pageNumberFont()
                                                        : TWSerializerPDF::cellFont(key);
            found = m_entries.insert(key, Entry{font, QFontMetricsF(font, &m_device)});
        }
        return *found;
    }

    // The height of the text laid out without a width limit (0 for none).
    double height(quint32 key, const QString &text)
    {
        if (text.isEmpty())
            return 0;
        const QFontMetricsF &fm = entry(key).metrics;
        if (!text.contains(QLatin1Char('\n')))
            return fm.height();
        return fm.boundingRect(QRectF(0, 0, 1.0e7, 1.0e7), Qt::AlignLeft | Qt::AlignTop, text)
            .height();
    }

    // The size of the text laid out from the top left within `bounds`,
    // wrapping at word boundaries. A plain line that fits needs no layout.
    QSizeF size(quint32 key, const QString &text, const QSizeF &bounds)
    {
        if (text.isEmpty())
            return QSizeF(0, 0);
        const QFontMetricsF &fm = entry(key).metrics;
        if (!text.contains(QLatin1Char('\n'))) {
            const double width = advance(key, text);
            if (width <= bounds.width())
                return QSizeF(width, std::min(fm.height(), bounds.height()));
        }
        const QRectF rect = fm.boundingRect(QRectF(QPointF(0, 0), bounds),
                                            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        return QSizeF(std::min(rect.width(), bounds.width()),
                      std::min(rect.height(), bounds.height()));
    }

private:
    // The width of one line. Exports repeat their texts (dates, units,
    // account names) thousands of times: each is shaped once.
    double advance(quint32 key, const QString &text)
    {
        QHash<QString, double> &widths = m_widths[key];
        const auto found = widths.constFind(text);
        if (found != widths.constEnd())
            return *found;
        const double width = entry(key).metrics.horizontalAdvance(text);
        if (widths.size() < 100000)
            widths.insert(text, width);
        return width;
    }

    QImage m_device;
    QHash<quint32, Entry> m_entries;
    QHash<quint32, QHash<QString, double>> m_widths;
};

// One document being drawn: the writer's working state of one `data` call.
class Drawing
{
public:
    Drawing(const TWSerializerPDF &writer, const TWSerializerPDF::Geometry &geometry)
        : m_writer(writer), m_pageSize(geometry.pageSize), m_bounds(geometry.pageBounds),
          m_firstTableIndex(geometry.firstTableIndex),
          m_firstTableColumns(geometry.firstTableColumns)
    {
    }

    // The whole document of the writer's cells.
    QByteArray run();
    // The same a part at a time, straight onto `device`: `begin`, then `draw`
    // with the parts in order (each made of whole rows), then `end`.
    bool begin(QIODevice *device, const QString &title);
    void draw(const TWCellList &cells);
    void end();

private:
    // PDF coordinates (lower-left origin) to the painter's (top-left origin).
    QRectF toPainter(const QRectF &rect) const
    {
        return QRectF(rect.x(), m_pageSize.height() - rect.y() - rect.height(), rect.width(),
                      rect.height());
    }
    QPointF toPainter(const QPointF &point) const
    {
        return QPointF(point.x(), m_pageSize.height() - point.y());
    }
    double boundsBottom() const { return m_bounds.y(); }
    double boundsTop() const { return m_bounds.y() + m_bounds.height(); }
    double boundsLeft() const { return m_bounds.x(); }
    double boundsRight() const { return m_bounds.x() + m_bounds.width(); }

    void newPage();
    void drawPageHeader();
    void drawTableHeaderAndLines();
    void drawLine(const QPointF &from, const QPointF &to, const QColor &colour, double width);
    // Draws text in a rectangle given in PDF coordinates, from its top left.
    void drawText(const QRectF &rect, quint32 fontKey, quint32 style, const QString &text,
                  std::optional<QSizeF> measured = std::nullopt);
    void drawBodyCell(const TWCell &cell, double lineHeight);
    void closeTable();

    const TWSerializerPDF &m_writer;
    const TWCellList *m_cells = nullptr;
    std::unique_ptr<QPdfWriter> m_pdfWriter;
    QSizeF m_pageSize;
    QRectF m_bounds;
    QPainter m_painter;
    QPdfWriter *m_pdf = nullptr;
    Measure m_measure;
    TWSerializerPDF::Columns m_columns;
    qsizetype m_firstTableIndex = -1;
    TWSerializerPDF::Columns m_firstTableColumns;
    quint32 m_pageNumber = 1;
    QPointF m_offset;
    bool m_table = false;
    bool m_border = false;
    bool m_firstTableDrawn = false;
    // Signed: "no row yet" is -1, and a lower row than the last makes no gap.
    qint64 m_lastRow = -1;
    double m_lineHeight = 0;
};

void Drawing::drawLine(const QPointF &from, const QPointF &to, const QColor &colour, double width)
{
    // Rules are drawn crisp, without antialiasing.
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    m_painter.drawLine(toPainter(from), toPainter(to));
    m_painter.restore();
}

void Drawing::drawText(const QRectF &rect, quint32 fontKey, quint32 style, const QString &text,
                       std::optional<QSizeF> measured)
{
    if (text.isEmpty())
        return;
    const Measure::Entry &entry = m_measure.entry(fontKey);
    QFont drawn = entry.font;
    drawn.setUnderline(style & TWCellStyleUnderline);
    m_painter.setFont(drawn);
    m_painter.setPen(Qt::black);
    const QRectF target = toPainter(rect);
    const QSizeF size = measured ? *measured : m_measure.size(fontKey, text, rect.size());
    if (!text.contains(QLatin1Char('\n')) && size.height() <= entry.metrics.height() + 0.5) {
        // One line: drawn at its baseline, without a text layout.
        m_painter.drawText(QPointF(target.left(), target.top() + entry.metrics.ascent()), text);
    } else {
        m_painter.drawText(target, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    if (!(style & TWCellStyleUnderline) && (style & TWCellStyleDoubleUnderline)) {
        // A double underline is two rules under the text's last line.
        const QFontMetricsF &fm = entry.metrics;
        const double first = rect.y() + (rect.height() - size.height()) + fm.descent() -
                             std::max(1.0, fm.underlinePos());
        const double lineWidth = std::max(0.5, fm.lineWidth());
        drawLine(QPointF(rect.x(), first), QPointF(rect.x() + size.width(), first), Qt::black,
                 lineWidth);
        drawLine(QPointF(rect.x(), first - 2 * lineWidth),
                 QPointF(rect.x() + size.width(), first - 2 * lineWidth), Qt::black, lineWidth);
    }
}

void Drawing::newPage()
{
    if (m_pageNumber >= 2)
        m_pdf->newPage();
    m_offset = QPointF(boundsLeft(), boundsTop());
    drawPageHeader();
    if (m_table)
        drawTableHeaderAndLines();
    ++m_pageNumber;
}

void Drawing::drawPageHeader()
{
    const quint32 font = kPageNumberFont;
    const QString text = QStringLiteral("%1 %2").arg(TWLocalized("page")).arg(m_pageNumber);
    const QSizeF size = m_measure.size(font, text, QSizeF(60, 15));
    const double h = std::min(size.height(), 15.0);
    const double w = size.width();
    drawText(QRectF(boundsRight() - w, m_offset.y() - h, w, h), font, 0, text);
    m_offset.ry() -= h + 3;
    drawLine(QPointF(boundsLeft(), m_offset.y()), QPointF(boundsRight(), m_offset.y()), Qt::black,
             1);
    m_offset.ry() -= 10;
}

void Drawing::drawTableHeaderAndLines()
{
    if (m_columns.isEmpty())
        return;
    const quint32 font = kHeaderFont;
    const QColor rule(Qt::lightGray);
    double rightEdge = boundsLeft();
    for (qsizetype k = 0;; ++k) {
        double rowHeight = 0;
        bool holdsCell = false;
        bool first = true;
        for (qsizetype index = 0; index < m_columns.size(); ++index) {
            const TWSerializerPDF::Column &column = m_columns.at(index);
            if (column.placeholder || k >= column.headerCells.size() || !column.headerCells.at(k))
                continue;
            holdsCell = true;
            const double width = column.size.width();
            if (width == 0)
                continue;
            const TWCell &cell = *column.headerCells.at(k);
            const double left = boundsLeft() + column.xOffset;
            if (!first && m_border)
                drawLine(QPointF(left - 3, m_offset.y()), QPointF(left - 3, boundsBottom()), rule,
                         0.5);
            if (!cell.value().isEmpty()) {
                const double h = m_measure.size(font, cell.value(), kColumnMeasure).height();
                if (cell.justify() == TWCellJustifyCenter || cell.justify() == TWCellJustifyRight) {
                    double w = width;
                    for (quint32 s = 1; s < cell.span() && index + s < m_columns.size(); ++s)
                        w += m_columns.at(index + s).size.width();
                    const double tw = m_measure.size(font, cell.value(), column.size).width();
                    const double x =
                        cell.justify() == TWCellJustifyCenter ? left + (w - tw) / 2 : left + w - tw;
                    drawText(QRectF(x, m_offset.y() - h, tw, h), font, 0, cell.value());
                } else {
                    drawText(QRectF(left, m_offset.y() - h, width, h), font, 0, cell.value());
                }
                rowHeight = std::max(rowHeight, h);
            }
            rightEdge = left + width;
            first = false;
        }
        if (!holdsCell)
            break;
        if (rowHeight != 0)
            m_offset.ry() -= rowHeight + 2;
    }
    if (m_border)
        drawLine(QPointF(boundsLeft(), m_offset.y()), QPointF(rightEdge, m_offset.y()),
                 QColor(Qt::lightGray), 0.5);
}

void Drawing::drawBodyCell(const TWCell &cell, double lineHeight)
{
    const qint64 index = cell.column();
    if (index >= m_columns.size() || m_columns.at(index).placeholder)
        return;
    const TWSerializerPDF::Column &column = m_columns.at(index);
    const double width = column.size.width();
    if (width <= 0)
        return;
    const quint32 font = fontKey(cell.style());
    const QSizeF size = m_measure.size(font, cell.value(), QSizeF(width, lineHeight));
    const double tw = size.width();
    double x = boundsLeft() + column.xOffset;
    if (cell.type() == 0 || cell.justify() == TWCellJustifyRight)
        x += width - tw;
    else if (cell.justify() == TWCellJustifyCenter)
        x += (width - tw) / 2;
    drawText(QRectF(x, m_offset.y(), width, lineHeight), font, cell.style(), cell.value(), size);
}

void Drawing::closeTable()
{
    // White over the column rules the header drew down to the bottom of the
    // page, below the table's last row.
    if (m_offset.y() > boundsBottom())
        m_painter.fillRect(toPainter(QRectF(boundsLeft(), boundsBottom(), m_bounds.width(),
                                            m_offset.y() - boundsBottom())),
                           Qt::white);
    m_table = false;
}

QByteArray Drawing::run()
{
    QByteArray bytes;
    bytes.reserve(4096);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const TWCellList &cells = m_writer.cells();
    if (!begin(&buffer, cells.isEmpty() ? QString() : cells.constFirst().value()))
        return QByteArray();
    draw(cells);
    end();
    buffer.close();
    return bytes;
}

bool Drawing::begin(QIODevice *device, const QString &title)
{
    m_pdfWriter = std::make_unique<QPdfWriter>(device);
    QPdfWriter &pdf = *m_pdfWriter;
    m_pdf = &pdf;
    pdf.setResolution(72);
    pdf.setPageLayout(
        QPageLayout(QPageSize(m_pageSize, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    if (!name.isEmpty())
        pdf.setCreator(version.isEmpty() ? name : name + QLatin1Char(' ') + version);
    if (!title.isNull())
        pdf.setTitle(title);
    if (!m_painter.begin(&pdf))
        return false;
    m_painter.setPen(Qt::black);
    return true;
}

void Drawing::end()
{
    // A table that runs to the end of the list has its rules cut off too.
    if (m_table)
        closeTable();
    m_painter.end();
    m_pdfWriter.reset();
}

void Drawing::draw(const TWCellList &cells)
{
    m_cells = &cells;
    const TWCellList &list = cells;
    const auto cellHeight = [this](const TWCell &cell) {
        if (cell.type() == TWCellTypeGraph)
            return TWSerializerPDF::graphLineHeight;
        if (cell.value().isNull())
            return 0.0;
        return m_measure.height(fontKey(cell.style()), cell.value());
    };
    // A row is as tall as its tallest cell, so that a text of several lines
    // stays inside its row; every cell is drawn from the row's top. Parts hold
    // whole rows, so the row's cells are all in this part.
    const auto rowHeightFrom = [&](qsizetype first) {
        double height = 0;
        for (qsizetype j = first; j < list.size() && list.at(j).row() == list.at(first).row(); ++j)
            height = std::max(height, cellHeight(list.at(j)));
        return height;
    };

    qint64 &lastRow = m_lastRow;
    double &lineHeight = m_lineHeight;
    for (qsizetype index = 0; index < list.size(); ++index) {
        const TWCell &cell = list.at(index);
        const bool graph = cell.type() == TWCellTypeGraph;
        const quint32 font = fontKey(cell.style());
        const qint64 row = cell.row();
        if (m_pageNumber == 1) {
            lineHeight = rowHeightFrom(index);
            newPage();
            m_offset.ry() -= lineHeight;
        } else if (row != lastRow) {
            lineHeight = rowHeightFrom(index);
            for (qint64 r = lastRow + 1; r < row; ++r)
                m_offset.ry() -= 5;
            if (!cell.table() && m_table)
                closeTable();
            // Rows stop at the bottom of the bounds: the margin (or what the
            // printer cannot print) stays clear.
            if (m_offset.y() - lineHeight < boundsBottom())
                newPage();
            m_offset.rx() = boundsLeft();
            m_offset.ry() -= lineHeight;
        }

        if (cell.table()) {
            if (!m_table) {
                // The first table was measured whole before drawing began.
                if (!m_firstTableDrawn && m_firstTableIndex >= 0)
                    m_columns = m_firstTableColumns;
                else
                    m_writer.cacheTableHeaders(list, index, m_columns);
                m_firstTableDrawn = true;
                m_border = cell.border();
                m_table = true;
                if (cell.header()) {
                    drawTableHeaderAndLines();
                    qsizetype last = index;
                    while (last + 1 < list.size() && list.at(last + 1).table() &&
                           list.at(last + 1).header())
                        ++last;
                    index = last;
                    lastRow = list.at(last).row();
                    continue;
                }
            }
            drawBodyCell(cell, lineHeight);
        } else if (graph) {
            const QImage image = TWSerializer::cellGraphImage(cell);
            const QSizeF size = TWUtilities::scaleSize(
                image.size(), QSizeF(TWSerializerPDF::graphWidth, TWSerializerPDF::graphHeight));
            double x = m_offset.x();
            if (cell.justify() == TWCellJustifyRight)
                x = boundsRight() - size.width();
            else if (cell.justify() == TWCellJustifyCenter)
                x = boundsLeft() + (m_bounds.width() - size.width()) / 2;
            if (!image.isNull())
                m_painter.drawImage(toPainter(QRectF(QPointF(x, m_offset.y()), size)), image);
        } else {
            const double available = boundsRight() - m_offset.x() - 3;
            const QSizeF size =
                m_measure.size(font, cell.value(), QSizeF(std::max(available, 0.0), lineHeight));
            const double w = size.width();
            if (cell.justify() == TWCellJustifyRight)
                m_offset.rx() += available - w;
            else if (cell.justify() == TWCellJustifyCenter)
                m_offset.rx() += (available - w) / 2;
            drawText(QRectF(m_offset.x(), m_offset.y(), w, lineHeight), font, cell.style(),
                     cell.value(), size);
            m_offset.rx() += w + 10;
        }
        lastRow = row;
    }
    m_cells = nullptr;
}

} // namespace

QFont TWSerializerPDF::cellFont(quint32 style)
{
    const TWPreferences &preferences = TWPreferences::preferences();
    double size = preferences.normalExportFontSize();
    if (style & TWCellStyleSmall)
        size = preferences.smallExportFontSize();
    else if (style & TWCellStyleLarge)
        size = preferences.largeExportFontSize();
    QString name = preferences.normalExportFontName();
    if (style & TWCellStyleBold)
        name = preferences.boldExportFontName();
    else if (style & TWCellStyleItalic)
        name = preferences.italicExportFontName();
    return fontWithName(name, size);
}

QFont TWSerializerPDF::headerFont()
{
    const TWPreferences &preferences = TWPreferences::preferences();
    return fontWithName(preferences.boldExportFontName(), preferences.largeExportFontSize());
}

QFont TWSerializerPDF::pageNumberFont()
{
    const TWPreferences &preferences = TWPreferences::preferences();
    return fontWithName(preferences.boldExportFontName(), preferences.smallExportFontSize());
}

TWSerializerPDF::Geometry TWSerializerPDF::calculateSizes() const
{
    double tableWidth = 0;
    Columns columns;
    qsizetype firstTable = -1;
    const TWCellList &list = cells();
    for (qsizetype index = 0; index < list.size(); ++index) {
        if (list.at(index).table()) {
            tableWidth = cacheTableHeaders(index, columns);
            firstTable = index;
            break;
        }
    }
    Geometry geometry = geometryForTableWidth(tableWidth);
    geometry.firstTableIndex = firstTable;
    geometry.firstTableColumns = columns;
    return geometry;
}

// Measures one table's columns from cells handed over in parts: the first
// header row makes the columns, further header rows widen and heighten them,
// and the body widens a column whose texts are wider than its header.
class TWSerializerPDF::TableMeasure
{
public:
    // Feeds the cells from `from` on; false once the table has ended (a cell
    // that is not part of it).
    bool feed(const TWCellList &list, qsizetype from)
    {
        qsizetype at = from;
        if (m_stage == Stage::Before) {
            while (at < list.size() && !(list.at(at).table() && list.at(at).header()))
                ++at;
            if (at == list.size())
                return true;
            m_stage = Stage::FirstHeader;
            m_headerRow = list.at(at).row();
        }
        for (; at < list.size(); ++at) {
            const TWCell &cell = list.at(at);
            if (!cell.table())
                return false;
            if (m_stage == Stage::FirstHeader && !(cell.header() && cell.row() == m_headerRow))
                m_stage = Stage::Headers;
            if (m_stage == Stage::Headers && !cell.header())
                m_stage = Stage::Body;
            if (m_stage == Stage::FirstHeader) {
                for (; m_next < qint64(cell.column()); ++m_next) {
                    Column placeholder;
                    placeholder.placeholder = true;
                    placeholder.size = QSizeF(0, 0);
                    m_cache.append(placeholder);
                }
                Column column;
                column.headerCells.append(cell);
                column.size = m_measure.size(kHeaderFont, cell.value(), kColumnMeasure);
                m_cache.append(column);
                const quint32 span = std::max<quint32>(cell.span(), 1);
                for (quint32 s = 1; s < span; ++s) {
                    Column covered;
                    covered.headerCells.append(std::nullopt);
                    covered.size = QSizeF(0, 0);
                    m_cache.append(covered);
                }
                m_next = qint64(cell.column()) + span;
            } else if (m_stage == Stage::Headers) {
                if (cell.column() < m_cache.size()) {
                    Column &column = m_cache[cell.column()];
                    const QSizeF size = m_measure.size(kHeaderFont, cell.value(), kColumnMeasure);
                    column.size.setWidth(std::max(column.size.width(), size.width()));
                    column.size.setHeight(column.size.height() + size.height());
                    column.headerCells.append(cell);
                }
            } else {
                if (cell.header() || cell.column() >= m_cache.size() ||
                    m_cache.at(cell.column()).placeholder)
                    continue;
                Column &column = m_cache[cell.column()];
                const double width =
                    m_measure.size(fontKey(cell.style()), cell.value(), kColumnMeasure).width();
                if (width > column.size.width())
                    column.size.setWidth(width + kColumnGap);
            }
        }
        return true;
    }

    // The columns with their offsets, and the table's width.
    double finish(Columns &columns)
    {
        double total = 0;
        for (qsizetype c = 0; c < m_cache.size(); ++c) {
            m_cache[c].xOffset =
                c == 0 ? 0
                       : m_cache.at(c - 1).xOffset + m_cache.at(c - 1).size.width() + kColumnGap;
            total += m_cache.at(c).size.width() + (c == 0 ? 0 : kColumnGap);
        }
        columns = m_cache;
        return total;
    }

    bool started() const { return m_stage != Stage::Before; }

private:
    enum class Stage { Before, FirstHeader, Headers, Body };
    Stage m_stage = Stage::Before;
    quint32 m_headerRow = 0;
    qint64 m_next = 0;
    Measure m_measure;
    Columns m_cache;
};

double TWSerializerPDF::cacheTableHeaders(qsizetype index, Columns &columns) const
{
    return cacheTableHeaders(cells(), index, columns);
}

double TWSerializerPDF::cacheTableHeaders(const TWCellList &list, qsizetype index,
                                          Columns &columns) const
{
    if (index < 0 || index >= list.size())
        return 0;
    TableMeasure measure;
    measure.feed(list, index);
    return measure.finish(columns);
}

TWSerializerPDF::Geometry TWSerializerPDF::geometryForTableWidth(double tableWidth) const
{
    Geometry geometry;
    if (!printInfo()) {
        if (tableWidth + 2 * kMargin <= kLetterWidth) {
            geometry.pageSize = QSizeF(kLetterWidth, kLetterHeight);
            geometry.pageBounds =
                QRectF(kMargin, kMargin, kLetterWidth - 2 * kMargin, kLetterHeight - 2 * kMargin);
        } else {
            const double height = tableWidth / kLetterHeight * kLetterWidth;
            geometry.pageBounds = QRectF(kMargin, kMargin, tableWidth, height);
            geometry.pageSize = QSizeF(tableWidth + 2 * kMargin, height + 2 * kMargin);
        }
        return geometry;
    }
    // The printer's paper; its printable area measured from the lower left.
    const QPageLayout &layout = *printInfo();
    const QRectF paper = layout.fullRectPoints();
    const QMarginsF margins = layout.marginsPoints();
    const QRectF imageable(margins.left(), margins.bottom(),
                           paper.width() - margins.left() - margins.right(),
                           paper.height() - margins.top() - margins.bottom());
    geometry.pageBounds = imageable;
    if (tableWidth > imageable.width())
        geometry.pageBounds.setWidth(tableWidth);
    const QRectF &bounds = geometry.pageBounds;
    geometry.pageSize = QSizeF(
        bounds.x() + bounds.width() + (paper.width() - imageable.x() - imageable.width()),
        bounds.y() + bounds.height() + (paper.height() - imageable.y() - imageable.height()));
    return geometry;
}

TWErrorResult TWSerializerPDF::writeParts(const PartSource &parts, QIODevice &device) const
{
    // First pass: the first table's columns, which decide the page.
    TableMeasure measure;
    bool measuring = true;
    QString title;
    bool titled = false;
    if (TWErrorResult error = parts([&](TWCellList &part) -> TWErrorResult {
            if (!titled && !part.isEmpty()) {
                title = part.constFirst().value();
                titled = true;
            }
            if (measuring)
                measuring = measure.feed(part, 0);
            return std::nullopt;
        }))
        return error;
    if (!titled)
        return TWError(QStringLiteral("Tallyworth Export Error"), -1,
                       TWLocalized("exportNothingToWrite"));
    Columns columns;
    const double width = measure.finish(columns);
    Geometry geometry = geometryForTableWidth(width);
    if (measure.started()) {
        geometry.firstTableIndex = 0;
        geometry.firstTableColumns = columns;
    }
    // Second pass: drawn a part at a time; only the current page is held.
    Drawing drawing(*this, geometry);
    if (!drawing.begin(&device, title))
        return TWError(QStringLiteral("Tallyworth Export Error"), -1, device.errorString());
    TWErrorResult error = parts([&drawing](TWCellList &part) -> TWErrorResult {
        drawing.draw(part);
        return std::nullopt;
    });
    drawing.end();
    return error;
}

QByteArray TWSerializerPDF::data() const
{
    if (cells().isEmpty())
        return QByteArray();
    Drawing drawing(*this, calculateSizes());
    return drawing.run();
}

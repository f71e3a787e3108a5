#include "export/core/TWExportPrint.h"

#include "export/core/TWExportTransactions.h"
#include "export/core/TWSerializerPDF.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWExportSettings.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace
{

using TWExportPrint::Column;
using TWExportPrint::ColumnKind;
using TWExportPrint::Layout;
using TWExportPrint::Table;

// The largest body type a printed register starts from: a register set in
// the export's 14-point type would rarely fit a page.
constexpr double kLargestBodySize = 10;
// The type may shrink to this share of its size before text columns overflow.
constexpr double kSmallestScale = 0.6;
constexpr double kScaleStep = 0.05;
// Space between columns, in ems of the body type.
constexpr double kColumnGapEms = 0.8;
// Text columns first keep this many, and the type shrinks to keep them; only
// when the smallest type cannot do that do they shrink further.
constexpr double kReadableTextCharacters = 12;
constexpr double kShortestTextCharacters = 5;
// A heading's word is shortened rather than widen its column past this.
constexpr double kShortestHeadingCharacters = 8;
// Margins printers cannot print into, and a reading margin besides.
constexpr double kSmallestMargin = 24;

ColumnKind kindOf(const TWField &field)
{
    if (field.type() != TWFieldTypeStandard) {
        switch (field.type()) {
        case TWFieldTypeCheckbox:
            return ColumnKind::Check;
        case TWFieldTypeCurrency:
        case TWFieldTypePercentTotal:
        case TWFieldTypeNumber:
        case TWFieldTypePercent:
            return ColumnKind::Amount;
        case TWFieldTypeDate:
            return ColumnKind::Fixed;
        default:
            return ColumnKind::Text;
        }
    }
    switch (field.identifier()) {
    case TWFieldIdentifierImport:
    case TWFieldIdentifierCleared:
        return ColumnKind::Check;
    case TWFieldIdentifierIdentifier:
    case TWFieldIdentifierDebit:
    case TWFieldIdentifierCredit:
    case TWFieldIdentifierTotal:
    case TWFieldIdentifierBalance:
        return ColumnKind::Amount;
    case TWFieldIdentifierDate:
    case TWFieldIdentifierDateCreated:
    case TWFieldIdentifierDateModified:
    case TWFieldIdentifierUnit:
        return ColumnKind::Fixed;
    default:
        return ColumnKind::Text;
    }
}

// The export table spreads a money field over one column per unit and one in
// the home currency; every other field takes one column.
bool isMoneyField(const TWField &field)
{
    return field.type() == TWFieldTypeStandard && (field.identifier() == TWFieldIdentifierDebit ||
                                                   field.identifier() == TWFieldIdentifierCredit ||
                                                   field.identifier() == TWFieldIdentifierTotal);
}

QFont printFont(QFont font)
{
    if (font.pointSizeF() > kLargestBodySize)
        font.setPointSizeF(kLargestBodySize);
    // Unhinted, so that widths grow in proportion to the size and measure the
    // same as the PDF draws them.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont scaled(QFont font, double scale)
{
    font.setPointSizeF(font.pointSizeF() * scale);
    return font;
}

// Measures texts at 72 dots per inch, where a point is one unit as on the
// PDF page. A register repeats its texts (dates, accounts, payees): each is
// measured once.
class Measure
{
public:
    explicit Measure(const Table &table)
        : m_device(1, 1, QImage::Format_ARGB32), m_body(table.bodyFont), m_bold(table.boldFont)
    {
        const int dotsPerMeter = qRound(72.0 / 0.0254);
        m_device.setDotsPerMeterX(dotsPerMeter);
        m_device.setDotsPerMeterY(dotsPerMeter);
    }

    QFontMetricsF metrics(const QFont &font) { return QFontMetricsF(font, &m_device); }

    double advance(const QString &text, bool bold)
    {
        if (text.isEmpty())
            return 0;
        QHash<QString, double> &cache = bold ? m_boldWidths : m_bodyWidths;
        const auto found = cache.constFind(text);
        if (found != cache.constEnd())
            return *found;
        const double width = (bold ? m_boldMetrics() : m_bodyMetrics()).horizontalAdvance(text);
        cache.insert(text, width);
        return width;
    }

private:
    const QFontMetricsF &m_bodyMetrics()
    {
        if (!m_bodyFm)
            m_bodyFm.emplace(m_body, &m_device);
        return *m_bodyFm;
    }
    const QFontMetricsF &m_boldMetrics()
    {
        if (!m_boldFm)
            m_boldFm.emplace(m_bold, &m_device);
        return *m_boldFm;
    }

    QImage m_device;
    QFont m_body;
    QFont m_bold;
    std::optional<QFontMetricsF> m_bodyFm;
    std::optional<QFontMetricsF> m_boldFm;
    QHash<QString, double> m_bodyWidths;
    QHash<QString, double> m_boldWidths;
};

double longestWord(const QFontMetricsF &metrics, const QString &text)
{
    double word = 0;
    for (const QString &part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        word = std::max(word, metrics.horizontalAdvance(part));
    return word;
}

// A column title in lines of `width`: it wraps between words only, and a word
// too long for a line of its own is shortened with an ellipsis, never broken.
QString headingText(const QFontMetricsF &metrics, const QString &title, double width)
{
    QStringList lines;
    QString line;
    for (QString word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (metrics.horizontalAdvance(word) > width)
            word = metrics.elidedText(word, Qt::ElideRight, width);
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
            lines.append(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

// What each column needs at the table's own type size.
struct Needs {
    QList<double> natural;  // the widest text, or the heading's longest word
    QList<double> shortest; // what a text column may shrink to
    QList<double> heading;  // what the heading needs
    double character = 0;   // an average character of the body type
    double gap = 0;
};

void setShortest(const Table &table, Needs &needs, double characters);

Needs measureNeeds(const Table &table, Measure &measure)
{
    const qsizetype count = table.columns.size();
    Needs needs;
    needs.natural = QList<double>(count, 0);
    needs.shortest = QList<double>(count, 0);
    const QFontMetricsF body = measure.metrics(table.bodyFont);
    const QFontMetricsF heading = measure.metrics(table.boldFont);
    needs.gap = kColumnGapEms * body.height();
    for (qsizetype row = 0; row < table.rows.size(); ++row) {
        const QStringList &values = table.rows.at(row);
        const bool bold = row < table.totals.size() && table.totals.at(row);
        for (qsizetype column = 0; column < count && column < values.size(); ++column) {
            if (table.columns.at(column).kind == ColumnKind::Check)
                continue;
            const double width = measure.advance(values.at(column), bold);
            if (width > needs.natural[column])
                needs.natural[column] = width;
        }
    }
    for (qsizetype column = 0; column < count; ++column) {
        const Column &c = table.columns.at(column);
        // Headings wrap at spaces, and a long word is shortened.
        const double word = std::min(longestWord(heading, c.title),
                                     kShortestHeadingCharacters * heading.averageCharWidth());
        if (c.kind == ColumnKind::Check)
            needs.natural[column] = body.ascent();
        needs.natural[column] = std::max(needs.natural[column], word);
        needs.heading.append(word);
    }
    needs.character = body.averageCharWidth();
    setShortest(table, needs, kReadableTextCharacters);
    return needs;
}

// Text columns may shrink to `characters` average characters (and their heading).
void setShortest(const Table &table, Needs &needs, double characters)
{
    for (qsizetype column = 0; column < table.columns.size(); ++column)
        needs.shortest[column] =
            table.columns.at(column).kind == ColumnKind::Text
                ? std::min(needs.natural.at(column),
                           std::max(needs.heading.at(column), characters * needs.character))
                : needs.natural.at(column);
}

// The widths at a scale, or none when the columns cannot fit `width`.
std::optional<QList<double>> fit(const Table &table, const Needs &needs, double scale, double width,
                                 bool allowShortening, bool *shortened)
{
    const qsizetype count = table.columns.size();
    double fixed = count > 1 ? needs.gap * scale * double(count - 1) : 0;
    double textNatural = 0;
    double textShortest = 0;
    for (qsizetype column = 0; column < count; ++column) {
        if (table.columns.at(column).kind == ColumnKind::Text) {
            textNatural += needs.natural.at(column) * scale;
            textShortest += needs.shortest.at(column) * scale;
        } else {
            fixed += needs.natural.at(column) * scale;
        }
    }
    const double available = width - fixed;
    QList<double> widths(count, 0);
    for (qsizetype column = 0; column < count; ++column)
        widths[column] = needs.natural.at(column) * scale;
    *shortened = false;
    if (textNatural <= available + 0.01)
        return widths;
    if (!allowShortening || textShortest > available + 0.01)
        return std::nullopt;
    // One level for every text column, each kept between its shortest and
    // its natural width, so that the widths add up to what is available: a
    // short column keeps its width, the long ones share the rest.
    const auto total = [&](double level) {
        double sum = 0;
        for (qsizetype column = 0; column < count; ++column)
            if (table.columns.at(column).kind == ColumnKind::Text)
                sum += std::clamp(level, needs.shortest.at(column) * scale,
                                  needs.natural.at(column) * scale);
        return sum;
    };
    double low = 0;
    double high = width;
    for (int step = 0; step < 50; ++step) {
        const double middle = (low + high) / 2;
        (total(middle) > available ? high : low) = middle;
    }
    for (qsizetype column = 0; column < count; ++column)
        if (table.columns.at(column).kind == ColumnKind::Text)
            widths[column] = std::clamp(low, needs.shortest.at(column) * scale,
                                        needs.natural.at(column) * scale);
    *shortened = true;
    return widths;
}

Layout layOutWith(const Table &table, Needs needs, double width)
{
    Layout layout;
    std::optional<QList<double>> widths;
    // Text columns give way first; only then does the type get smaller; and
    // only at the smallest type do text columns shrink further.
    for (const double characters : {kReadableTextCharacters, kShortestTextCharacters}) {
        setShortest(table, needs, characters);
        const double largest = characters == kReadableTextCharacters ? 1 : kSmallestScale;
        for (double scale = largest; scale >= kSmallestScale - 1e-9 && !widths;
             scale -= kScaleStep) {
            widths = fit(table, needs, scale, width, true, &layout.shortened);
            if (widths)
                layout.scale = scale;
        }
        if (widths)
            break;
    }
    if (!widths) {
        // Even the smallest type overflows: every text column at its
        // shortest, and what does not fit runs off the right edge.
        layout.scale = kSmallestScale;
        layout.fits = false;
        layout.shortened = true;
        widths = QList<double>(table.columns.size(), 0);
        for (qsizetype column = 0; column < table.columns.size(); ++column)
            (*widths)[column] = needs.shortest.at(column) * kSmallestScale;
    }
    layout.widths = *widths;
    double x = 0;
    for (qsizetype column = 0; column < layout.widths.size(); ++column) {
        layout.offsets.append(x);
        x += layout.widths.at(column) + needs.gap * layout.scale;
    }
    return layout;
}

// A money field spreads over a column per unit and one in the home currency;
// the unit column of the home currency says again what the home column says.
// On paper, where width is scarce, a column is left out when a later column
// has the same heading and every row it fills (totals aside) shows the same.
void dropRepeatedColumns(Table &table)
{
    QList<bool> keep(table.columns.size(), true);
    for (qsizetype column = 0; column < table.columns.size(); ++column) {
        for (qsizetype later = column + 1; later < table.columns.size(); ++later) {
            if (table.columns.at(later).title != table.columns.at(column).title ||
                table.columns.at(later).kind != ColumnKind::Amount)
                continue;
            bool same = true;
            for (qsizetype row = 0; row < table.rows.size() && same; ++row) {
                if (table.totals.at(row))
                    continue;
                const QString &value = table.rows.at(row).at(column);
                same = value.isEmpty() || value == table.rows.at(row).at(later);
            }
            if (same) {
                keep[column] = false;
                break;
            }
        }
    }
    if (!keep.contains(false))
        return;
    const auto kept = [&keep](const auto &list) {
        std::remove_cvref_t<decltype(list)> result;
        for (qsizetype index = 0; index < list.size(); ++index)
            if (keep.at(index))
                result.append(list.at(index));
        return result;
    };
    table.columns = kept(table.columns);
    for (QStringList &row : table.rows)
        row = kept(row);
}

QPageLayout printedPageLayout(const std::optional<QPageLayout> &pageLayout)
{
    QPageLayout layout = pageLayout
                             ? *pageLayout
                             : QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                           QMarginsF(36, 36, 36, 36), QPageLayout::Point);
    layout.setUnits(QPageLayout::Point);
    layout.setMode(QPageLayout::StandardMode);
    QMarginsF margins = layout.margins();
    margins.setLeft(std::max(margins.left(), kSmallestMargin));
    margins.setTop(std::max(margins.top(), kSmallestMargin));
    margins.setRight(std::max(margins.right(), kSmallestMargin));
    margins.setBottom(std::max(margins.bottom(), kSmallestMargin));
    layout.setMinimumMargins(QMarginsF());
    layout.setMargins(margins);
    return layout;
}

// Paints the pages of one table.
class Pages
{
public:
    Pages(const Table &table, QPainter &painter, const QSizeF &area, Measure &measure,
          const Layout &layout)
        : m_table(table), m_painter(painter), m_area(area), m_measure(measure), m_layout(layout),
          m_body(scaled(table.bodyFont, layout.scale)),
          m_bold(scaled(table.boldFont, layout.scale)),
          m_title(scaled(table.boldFont, layout.scale * 1.3)), m_bodyFm(measure.metrics(m_body)),
          m_boldFm(measure.metrics(m_bold)), m_titleFm(measure.metrics(m_title))
    {
        m_rowHeight = m_bodyFm.lineSpacing() * 1.25;
        m_tableWidth =
            layout.widths.isEmpty() ? 0 : layout.offsets.constLast() + layout.widths.constLast();
        m_tableWidth = std::min(m_tableWidth, area.width());
        for (qsizetype column = 0; column < table.columns.size(); ++column) {
            m_flags.append(headingFlags(column));
            m_headings.append(headingText(m_boldFm, table.columns.at(column).title,
                                          std::max(layout.widths.at(column), 1.0)));
        }
        for (qsizetype column = 0; column < table.columns.size(); ++column)
            m_headingHeight = std::max(m_headingHeight, headingRect(column).height());
        m_bodyTop = m_titleFm.height() + 10 + m_headingHeight + 4;
        m_rowsPerPage = std::max(1, int((area.height() - m_bodyTop) / m_rowHeight));
    }

    int pageCount() const
    {
        return std::max<int>(1, int((m_table.rows.size() + m_rowsPerPage - 1) / m_rowsPerPage));
    }

    void drawPage(int page);

private:
    QRectF headingRect(qsizetype column) const
    {
        const double width = m_layout.widths.at(column);
        return m_boldFm.boundingRect(QRectF(0, 0, std::max(width, 1.0), 1000), flags(column),
                                     m_headings.at(column));
    }
    int flags(qsizetype column) const { return m_flags.at(column); }
    int headingFlags(qsizetype column) const
    {
        const ColumnKind kind = m_table.columns.at(column).kind;
        const int horizontal = kind == ColumnKind::Amount  ? Qt::AlignRight
                               : kind == ColumnKind::Check ? Qt::AlignHCenter
                                                           : Qt::AlignLeft;
        return horizontal | Qt::AlignBottom;
    }
    void rule(double y, double width, const QColor &colour)
    {
        QPen pen(colour);
        pen.setWidthF(0.5);
        m_painter.setPen(pen);
        m_painter.drawLine(QPointF(0, y), QPointF(m_tableWidth > 0 ? m_tableWidth : width, y));
    }
    void drawHeader(int page);
    void drawRow(qsizetype row, double top);
    void drawCheck(double left, double width, double top, bool checked);

    const Table &m_table;
    QPainter &m_painter;
    QSizeF m_area;
    Measure &m_measure;
    const Layout &m_layout;
    QFont m_body;
    QFont m_bold;
    QFont m_title;
    QFontMetricsF m_bodyFm;
    QFontMetricsF m_boldFm;
    QFontMetricsF m_titleFm;
    QList<int> m_flags;     // of each column's heading
    QStringList m_headings; // each column's title in its lines
    double m_rowHeight = 0;
    double m_tableWidth = 0;
    double m_headingHeight = 0;
    double m_bodyTop = 0;
    int m_rowsPerPage = 1;
};

void Pages::drawHeader(int page)
{
    // The title on the left, the page number on the right, a rule under both.
    const QString number = m_table.pageFormat.arg(page + 1);
    m_painter.setPen(Qt::black);
    m_painter.setFont(m_bold);
    const double numberWidth = m_boldFm.horizontalAdvance(number);
    const double baseline = m_titleFm.ascent();
    m_painter.setFont(m_title);
    m_painter.drawText(QPointF(0, baseline),
                       m_titleFm.elidedText(m_table.title, Qt::ElideRight,
                                            std::max(0.0, m_area.width() - numberWidth - 12)));
    m_painter.setFont(m_bold);
    m_painter.drawText(QPointF(m_area.width() - numberWidth, baseline), number);
    const double ruleY = m_titleFm.height() + 4;
    {
        QPen pen(Qt::black);
        pen.setWidthF(1);
        m_painter.setPen(pen);
        m_painter.drawLine(QPointF(0, ruleY), QPointF(m_area.width(), ruleY));
    }
    // The column headings, wrapped between words and standing on one line.
    m_painter.setFont(m_bold);
    m_painter.setPen(Qt::black);
    const double headingTop = ruleY + 6;
    for (qsizetype column = 0; column < m_table.columns.size(); ++column) {
        const QRectF rect(m_layout.offsets.at(column), headingTop, m_layout.widths.at(column),
                          m_headingHeight);
        m_painter.drawText(rect, flags(column), m_headings.at(column));
    }
    rule(m_bodyTop - 2, m_area.width(), Qt::darkGray);
}

void Pages::drawCheck(double left, double width, double top, bool checked)
{
    const double size = m_bodyFm.ascent() * 0.8;
    const QRectF box(left + (width - size) / 2, top + (m_rowHeight - size) / 2, size, size);
    QPen pen(checked ? Qt::black : Qt::gray);
    pen.setWidthF(0.5);
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(box);
    if (!checked)
        return;
    QPen tick(Qt::black);
    tick.setWidthF(std::max(0.8, size / 8));
    tick.setCapStyle(Qt::RoundCap);
    tick.setJoinStyle(Qt::RoundJoin);
    m_painter.setPen(tick);
    const QPointF points[] = {
        QPointF(box.left() + size * 0.2, box.top() + size * 0.55),
        QPointF(box.left() + size * 0.42, box.top() + size * 0.78),
        QPointF(box.left() + size * 0.82, box.top() + size * 0.22),
    };
    m_painter.drawPolyline(points, 3);
}

void Pages::drawRow(qsizetype row, double top)
{
    const QStringList &values = m_table.rows.at(row);
    const bool bold = row < m_table.totals.size() && m_table.totals.at(row);
    if (bold)
        rule(top, m_area.width(), Qt::darkGray);
    const QFontMetricsF &fm = bold ? m_boldFm : m_bodyFm;
    m_painter.setFont(bold ? m_bold : m_body);
    m_painter.setPen(Qt::black);
    const double baseline = top + (m_rowHeight - fm.height()) / 2 + fm.ascent();
    const double scale = m_layout.scale;
    for (qsizetype column = 0; column < m_table.columns.size() && column < values.size();
         ++column) {
        const QString &value = values.at(column);
        const double left = m_layout.offsets.at(column);
        const double width = m_layout.widths.at(column);
        const ColumnKind kind = m_table.columns.at(column).kind;
        if (kind == ColumnKind::Check) {
            // Split lines and totals have no box of their own.
            if (!bold && !value.isEmpty()) {
                drawCheck(left, width, top, value == QLatin1String("1"));
                m_painter.setPen(Qt::black);
            }
            continue;
        }
        if (value.isEmpty() || left >= m_area.width())
            continue;
        const double advance = m_measure.advance(value, bold) * scale;
        if (kind == ColumnKind::Amount) {
            m_painter.drawText(QPointF(left + width - advance, baseline), value);
        } else if (advance > width + 0.01) {
            m_painter.drawText(QPointF(left, baseline),
                               fm.elidedText(value, Qt::ElideRight, width));
        } else {
            m_painter.drawText(QPointF(left, baseline), value);
        }
    }
    // A value that could not be made to fit is cut at the page's edge rather
    // than printed over the margin.
}

void Pages::drawPage(int page)
{
    drawHeader(page);
    const qsizetype first = qsizetype(page) * m_rowsPerPage;
    const qsizetype last = std::min<qsizetype>(m_table.rows.size(), first + m_rowsPerPage);
    double top = m_bodyTop;
    for (qsizetype row = first; row < last; ++row) {
        drawRow(row, top);
        top += m_rowHeight;
    }
}

} // namespace

TWExportPrint::Table TWExportPrint::registerTable(TWBusiness *business,
                                                  const TWTransactionList &transactions,
                                                  const TWFieldList &fields,
                                                  const QHash<qint32, QString> &attachmentFileNames,
                                                  const QString &title)
{
    // A record of its own: the document's stored export choices stay as they
    // are. All dates, no filter, no accounts (the rows are given), no copies
    // of attachments.
    const QDateTime now = TWClock::now();
    const TWExportTransactionsSettingsPtr settings =
        TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            TWExportFileTypePDF, nullptr, 0, now.addSecs(-604800), now, TWAccountList(), fields,
            false);
    const TWCellList cells = TWExportTransactions::exportTransactionsWithTransactions(
                                 transactions, true, true, settings, attachmentFileNames, business)
                                 ->cells();

    Table table;
    table.title = title;
    table.pageFormat = TWLocalized("page") + QStringLiteral(" %1");
    table.bodyFont = printFont(TWSerializerPDF::cellFont(TWCellStylePlain));
    table.boldFont = printFont(TWSerializerPDF::cellFont(TWCellStyleBold));
    table.boldFont.setPointSizeF(table.bodyFont.pointSizeF());

    qsizetype at = 0;
    for (; at < cells.size() && cells.at(at).header(); ++at) {
        const TWCell &cell = cells.at(at);
        if (cell.column() >= table.columns.size())
            table.columns.resize(cell.column() + 1);
        table.columns[cell.column()].title = cell.value();
    }
    // The kind of each column, from the field it shows.
    qsizetype moneyFields = 0;
    qsizetype otherFields = 0;
    for (const TWFieldPtr &field : fields)
        if (field)
            ++(isMoneyField(*field) ? moneyFields : otherFields);
    const qsizetype perMoneyField =
        moneyFields ? std::max<qsizetype>(1, (table.columns.size() - otherFields) / moneyFields)
                    : 1;
    qsizetype column = 0;
    for (const TWFieldPtr &field : fields) {
        if (!field)
            continue;
        const qsizetype span = isMoneyField(*field) ? perMoneyField : 1;
        for (qsizetype k = 0; k < span && column < table.columns.size(); ++k, ++column)
            table.columns[column].kind = kindOf(*field);
    }

    table.rows.reserve(transactions.size() + 8);
    table.totals.reserve(transactions.size() + 8);
    qint64 lastRow = -1;
    for (; at < cells.size(); ++at) {
        const TWCell &cell = cells.at(at);
        if (qint64(cell.row()) != lastRow) {
            lastRow = cell.row();
            table.rows.append(QStringList(table.columns.size()));
            table.totals.append(false);
        }
        if (cell.column() < table.columns.size())
            table.rows.last()[cell.column()] = cell.value();
        if (cell.style() & TWCellStyleBold)
            table.totals.last() = true;
    }
    dropRepeatedColumns(table);
    return table;
}

TWExportPrint::Layout TWExportPrint::layOut(const Table &table, double width)
{
    Measure measure(table);
    return layOutWith(table, measureNeeds(table, measure), width);
}

bool TWExportPrint::fitsWithoutShortening(const Table &table, const QPageLayout &pageLayout)
{
    const Layout layout = layOut(table, printedPageLayout(pageLayout).paintRectPoints().width());
    return layout.fits && !layout.shortened && layout.scale > 1 - 1e-9;
}

QByteArray TWExportPrint::tablePDF(const Table &table, const std::optional<QPageLayout> &pageLayout,
                                   const Progress &progress)
{
    const QPageLayout page = printedPageLayout(pageLayout);
    const QSizeF area = page.paintRectPoints().size();
    Measure measure(table);
    const Layout layout = layOutWith(table, measureNeeds(table, measure), area.width());

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(72);
    pdf.setPageLayout(page);
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    if (!name.isEmpty())
        pdf.setCreator(version.isEmpty() ? name : name + QLatin1Char(' ') + version);
    pdf.setTitle(table.title);
    QPainter painter;
    if (!painter.begin(&pdf))
        return QByteArray();
    painter.setClipRect(QRectF(QPointF(0, 0), area));
    Pages pages(table, painter, area, measure, layout);
    const int count = pages.pageCount();
    for (int index = 0; index < count; ++index) {
        if (index > 0)
            pdf.newPage();
        pages.drawPage(index);
        if (progress && !progress(index + 1, count)) {
            painter.end();
            return QByteArray();
        }
    }
    painter.end();
    buffer.close();
    return bytes;
}

QByteArray TWExportPrint::registerPDF(TWBusiness *business, const TWTransactionList &transactions,
                                      const TWFieldList &fields,
                                      const QHash<qint32, QString> &attachmentFileNames,
                                      const std::optional<QPageLayout> &pageLayout,
                                      const QString &title)
{
    return tablePDF(registerTable(business, transactions, fields, attachmentFileNames, title),
                    pageLayout);
}

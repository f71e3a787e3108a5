// Measuring and drawing primitives: text attributes from element settings, a
// small text engine over QTextLayout, framed rectangles, rules and the text
// flow that continues long texts on following pages.

#include "invoicing/render/TWInvoiceOperation.h"

#include "invoicing/render/TWInvoiceGeometry.h"
#include "platform/TWFontResolver.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace
{

// Widths beyond this are "no limit" (QTextLayout works in fixed point).
constexpr double kUnlimitedWidth = 1.0e6;

QFont fontFor(const TWTextAttributes &attributes)
{
    if (attributes.hasFont)
        return attributes.font;
    static const QFont fallback =
        TWFontResolver::fontWithName(QStringLiteral("Helvetica"), 12).value_or(QFont());
    return fallback;
}

// The writing system a character's script is listed under in the font
// database, for the scripts invoices meet beyond Latin.
QFontDatabase::WritingSystem writingSystemOf(char32_t ucs4)
{
    switch (QChar::script(ucs4)) {
    case QChar::Script_Arabic:
        return QFontDatabase::Arabic;
    case QChar::Script_Hebrew:
        return QFontDatabase::Hebrew;
    case QChar::Script_Devanagari:
        return QFontDatabase::Devanagari;
    case QChar::Script_Thai:
        return QFontDatabase::Thai;
    case QChar::Script_Han:
        return QFontDatabase::SimplifiedChinese;
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return QFontDatabase::Japanese;
    case QChar::Script_Hangul:
        return QFontDatabase::Korean;
    case QChar::Script_Greek:
        return QFontDatabase::Greek;
    case QChar::Script_Cyrillic:
        return QFontDatabase::Cyrillic;
    default:
        return QFontDatabase::Any;
    }
}

// A face that has `ucs4`, found among the families the font database lists
// for its writing system: `font` with another family, keeping size, weight
// and slant where a face of them has the character, else upright, else
// regular. Empty when no installed family has it. Answers are kept, since
// renderings on several workers ask the same questions.
std::optional<QFont> fallbackFont(char32_t ucs4, const QFont &font)
{
    static QMutex mutex;
    static QHash<int, std::optional<QFont>> known;
    const QFontDatabase::WritingSystem system = writingSystemOf(ucs4);
    if (system == QFontDatabase::Any)
        return std::nullopt;
    const int key = int(system) * 4 + (font.bold() ? 2 : 0) + (font.italic() ? 1 : 0);
    std::optional<QFont> found;
    bool cached = false;
    {
        QMutexLocker lock(&mutex);
        const auto entry = known.constFind(key);
        if (entry != known.cend()) {
            found = *entry;
            cached = true;
        }
    }
    if (!cached) {
        const QStringList families = QFontDatabase::families(system);
        // Styled faces first: an italic text stays italic when a face can.
        for (const bool keepStyle : {true, false}) {
            for (const QString &family : families) {
                QFont face(family);
                face.setBold(keepStyle && font.bold());
                face.setItalic(keepStyle && font.italic());
                if (QFontMetricsF(face).inFontUcs4(ucs4) &&
                    QFontInfo(face).italic() == face.italic()) {
                    found = face;
                    break;
                }
            }
            if (found)
                break;
        }
        QMutexLocker lock(&mutex);
        known.insert(key, found);
    }
    if (!found)
        return std::nullopt;
    QFont substitute = font;
    substitute.setFamilies({found->family()});
    substitute.setBold(found->bold());
    substitute.setItalic(found->italic());
    return substitute;
}

// Format ranges that give the characters `font` lacks a face that has them,
// at the same size, weight and slant, so that no text silently vanishes.
QList<QTextLayout::FormatRange> fallbackRanges(const QString &text, const QFont &font,
                                               const QTextCharFormat &base)
{
    QList<QTextLayout::FormatRange> ranges;
    bool plain = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x0370) {
            plain = false;
            break;
        }
    }
    if (plain)
        return ranges;
    const QFontMetricsF metrics(font);
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t ucs4 = text.at(i).isHighSurrogate() && i + 1 < text.size()
                                  ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                  : char32_t(text.at(i).unicode());
        const qsizetype length = ucs4 > 0xFFFF ? 2 : 1;
        const std::optional<QFont> substitute =
            ucs4 < 0x0370 || metrics.inFontUcs4(ucs4) ? std::nullopt : fallbackFont(ucs4, font);
        if (!substitute) {
            i += length;
            continue;
        }
        // The run: this character and those after it of the same script
        // or of none (spaces, punctuation) that the font lacks too.
        const QChar::Script script = QChar::script(ucs4);
        qsizetype end = i + length;
        while (end < text.size()) {
            const char32_t next = text.at(end).isHighSurrogate() && end + 1 < text.size()
                                      ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1))
                                      : char32_t(text.at(end).unicode());
            const QChar::Script nextScript = QChar::script(next);
            if (nextScript != script && nextScript != QChar::Script_Common &&
                nextScript != QChar::Script_Inherited)
                break;
            end += next > 0xFFFF ? 2 : 1;
        }
        QTextCharFormat format = base;
        format.setFont(*substitute, QTextCharFormat::FontPropertiesAll);
        ranges.append({int(i), int(end - i), format});
        i = end;
    }
    return ranges;
}

// The distance from one line to the next. Lines are at most the maximum
// line height apart; a line made taller by a fallback face (a script the
// font lacks) keeps that extra height, so that it never rises into the line
// above.
double linePitch(const QTextLine &line, const TWTextAttributes &attributes, double fontHeight)
{
    const double natural = line.height();
    if (attributes.maximumLineHeight <= 0)
        return natural;
    return std::min(natural, attributes.maximumLineHeight + std::max(0.0, natural - fontHeight));
}

// One text laid out from the line-fragment origin: paragraphs split at line
// breaks, lines wrapped at the width, each line at most the attributes'
// maximum line height apart.
struct TextBlock {
    std::vector<std::unique_ptr<QTextLayout>> layouts;
    double width = 0;
    double height = 0;
};

void layOut(TextBlock &block, const QString &text, const TWTextAttributes &attributes, double width)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    const QFont font = fontFor(attributes);
    const double fontHeight = QFontMetricsF(font).height();
    const double lineWidth = std::clamp(width, 0.0, kUnlimitedWidth);
    QTextOption option(attributes.alignment == 1   ? Qt::AlignHCenter
                       : attributes.alignment == 2 ? Qt::AlignRight
                                                   : Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextCharFormat format;
    format.setForeground(attributes.hasColour ? attributes.colour : QColor(Qt::black));
    if (attributes.underline == 1)
        format.setFontUnderline(true);
    if (!attributes.href.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(attributes.href);
    }
    double y = 0;
    const QStringList paragraphs = text.split(breaks);
    for (const QString &paragraph : paragraphs) {
        auto layout = std::make_unique<QTextLayout>(paragraph, font);
        layout->setTextOption(option);
        QList<QTextLayout::FormatRange> formats{{0, int(paragraph.size()), format}};
        formats += fallbackRanges(paragraph, font, format);
        layout->setFormats(formats);
        layout->beginLayout();
        for (;;) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(lineWidth);
            const double natural = line.height();
            const double pitch = linePitch(line, attributes, fontHeight);
            // The descent keeps its room; a shorter line gives up ascent.
            line.setPosition(QPointF(0, y + pitch - natural));
            y += pitch;
            block.width = std::max(block.width, double(line.naturalTextWidth()));
        }
        layout->endLayout();
        block.layouts.push_back(std::move(layout));
    }
    block.height = y;
}

} // namespace

double TWInvoiceOperation::actualStrokeWidth(const QVariantMap &settings)
{
    const int style = settings.value(QStringLiteral("strokeStyle")).toInt();
    if (style != 1 && style != 2)
        return 0;
    return settings.value(QStringLiteral("strokeWidth")).toFloat();
}

TWTextAttributes TWInvoiceOperation::attributesForSettings(const QVariantMap &settings) const
{
    TWTextAttributes attributes;
    const QVariant font = settings.value(QStringLiteral("font"));
    if (!font.isValid())
        return attributes;
    attributes.hasFont = true;
    attributes.font = font.value<QFont>();
    const QVariant colour = settings.value(QStringLiteral("textColour"));
    if (!colour.isValid())
        return attributes;
    attributes.hasColour = true;
    attributes.colour = colour.value<QColor>();
    attributes.underline = settings.value(QStringLiteral("textUnderline")).toInt();
    const int alignment = settings.value(QStringLiteral("horizontalAlignment")).toInt();
    attributes.alignment = alignment >= 0 && alignment <= 2 ? alignment : 0;
    attributes.maximumLineHeight = 0.75 * QFontMetricsF(attributes.font).height();
    return attributes;
}

QRectF TWInvoiceOperation::measureText(const QString &text, const TWTextAttributes &attributes,
                                       double width)
{
    if (text.isNull())
        return QRectF();
    TextBlock block;
    layOut(block, text, attributes, width);
    return QRectF(0, 0, block.width, block.height);
}

QList<QGlyphRun> TWInvoiceOperation::glyphRuns(const QString &text,
                                               const TWTextAttributes &attributes, double width)
{
    QList<QGlyphRun> runs;
    if (text.isEmpty())
        return runs;
    TextBlock block;
    layOut(block, text, attributes, width);
    for (const auto &layout : block.layouts)
        runs += layout->glyphRuns();
    return runs;
}

QRectF TWInvoiceOperation::boundsForString(const QString &text, const QVariantMap &settings,
                                           double *strokeWidth) const
{
    const double s = actualStrokeWidth(settings);
    const double width = s > 0 ? m_columnWidth - 2 * (3 + s) : m_columnWidth;
    QRectF rect =
        text.isNull() ? QRectF() : measureText(text, attributesForSettings(settings), width);
    if (s > 0)
        rect.adjust(-(3 + s), -(3 + s), 3 + s, 3 + s);
    rect = TWInvoiceGeometry::integral(rect);
    if (strokeWidth)
        *strokeWidth = s > 0 ? s + 3 : 0;
    return rect;
}

QRectF TWInvoiceOperation::positionRect(const QRectF &rect, const QRectF &bounds,
                                        const QVariantMap &settings)
{
    return TWInvoiceGeometry::positionRect(
        rect, bounds, settings.value(QStringLiteral("horizontalAlignment")).toInt(),
        settings.value(QStringLiteral("verticalAlignment")).toInt());
}

void TWInvoiceOperation::drawText(const QString &text, const TWTextAttributes &attributes,
                                  const QRectF &rect)
{
    if (!m_painter || text.isEmpty())
        return;
    TextBlock block;
    // A hair of slack so that a line measured to fit exactly still fits.
    layOut(block, text, attributes, rect.width() + 0.01);
    const QRectF target = TWInvoiceGeometry::toPainter(rect, m_pageSize.height());
    const bool record = m_recordsDrawnTexts && m_painter->transform().isIdentity();
    QRectF drawn;
    for (const auto &layout : block.layouts) {
        layout->draw(m_painter, target.topLeft());
        if (record) {
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                if (line.textLength() <= 0)
                    continue;
                // The line's own slot: lines closer than their natural
                // height give up ascent, as laid out.
                const double natural = line.height();
                const double pitch =
                    linePitch(line, attributes, QFontMetricsF(fontFor(attributes)).height());
                const QRectF slot(line.naturalTextRect().x(), line.y() + natural - pitch,
                                  line.naturalTextWidth(), pitch);
                drawn = drawn.united(slot.translated(target.topLeft()));
            }
        }
        if (attributes.underline != 2)
            continue;
        // Qt has no double underline: two rules under each line's text.
        const QFontMetricsF metrics(fontFor(attributes));
        const double thickness = std::max(0.5, double(metrics.lineWidth()));
        m_painter->save();
        m_painter->setPen(
            QPen(attributes.hasColour ? attributes.colour : QColor(Qt::black), thickness));
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QRectF extent = line.naturalTextRect().translated(target.topLeft());
            const double baseline = target.top() + line.y() + line.ascent();
            for (const double offset :
                 {metrics.underlinePos(), metrics.underlinePos() + 2 * thickness}) {
                m_painter->drawLine(QPointF(extent.left(), baseline + offset),
                                    QPointF(extent.right(), baseline + offset));
            }
        }
        m_painter->restore();
    }
    if (record && !drawn.isEmpty())
        m_drawnTexts.append(
            {m_currentPage, text, TWInvoiceGeometry::toPainter(drawn, m_pageSize.height())});
}

void TWInvoiceOperation::drawStrokeFillRect(const QRectF &rect, bool rounded,
                                            const QVariantMap &settings)
{
    if (!m_painter)
        return;
    const double width = settings.value(QStringLiteral("strokeWidth")).toFloat();
    const QRectF frame = TWInvoiceGeometry::strokeAlignedRect(rect, width);
    const double pageHeight = m_pageSize.height();
    m_painter->save();
    const QVariant fill = settings.value(QStringLiteral("fillColour"));
    if (fill.isValid() && fill.value<QColor>().alpha() > 0) {
        m_painter->setPen(Qt::NoPen);
        m_painter->setBrush(fill.value<QColor>());
        if (rounded) {
            QPainterPath path;
            path.addRoundedRect(TWInvoiceGeometry::toPainter(frame, pageHeight), 15, 15);
            m_painter->drawPath(path);
        } else {
            const double inset = actualStrokeWidth(settings);
            m_painter->drawRect(TWInvoiceGeometry::toPainter(
                frame.adjusted(inset, inset, -inset, -inset), pageHeight));
        }
    }
    const int style = settings.value(QStringLiteral("strokeStyle")).toInt();
    if (style == 1 || style == 2) {
        QPen pen(settings.value(QStringLiteral("strokeColour")).value<QColor>(), width);
        pen.setJoinStyle(Qt::MiterJoin);
        if (style == 2) // Qt counts dashes in pen widths.
            pen.setDashPattern({5 / std::max(width, 1e-3), 5 / std::max(width, 1e-3)});
        m_painter->setPen(pen);
        m_painter->setBrush(Qt::NoBrush);
        const QRectF target = TWInvoiceGeometry::toPainter(frame, pageHeight);
        if (rounded) {
            QPainterPath path;
            path.addRoundedRect(target, 15, 15);
            m_painter->drawPath(path);
        } else {
            m_painter->drawRect(target);
        }
    }
    m_painter->restore();
}

void TWInvoiceOperation::drawFillRect(const QRectF &rect, const QVariantMap &settings)
{
    const QVariant fill = settings.value(QStringLiteral("fillColour"));
    if (!fill.isValid())
        return;
    const double inset = actualStrokeWidth(settings);
    drawFillRect(rect.adjusted(inset, inset, -inset, -inset), fill.value<QColor>());
}

void TWInvoiceOperation::drawFillRect(const QRectF &rect, const QColor &colour)
{
    if (!m_painter || colour.alpha() == 0 || rect.width() <= 0 || rect.height() <= 0)
        return;
    m_painter->fillRect(TWInvoiceGeometry::toPainter(rect, m_pageSize.height()), colour);
}

void TWInvoiceOperation::drawLine(QPointF from, QPointF to, const QVariantMap &settings)
{
    const int style = settings.value(QStringLiteral("strokeStyle")).toInt();
    if (!m_painter || (style != 1 && style != 2))
        return;
    const double width = settings.value(QStringLiteral("strokeWidth")).toFloat();
    TWInvoiceGeometry::strokeAlignedLine(from, to, width);
    QPen pen(settings.value(QStringLiteral("strokeColour")).value<QColor>(), width);
    pen.setCapStyle(Qt::FlatCap);
    if (style == 2)
        pen.setDashPattern({5 / std::max(width, 1e-3), 5 / std::max(width, 1e-3)});
    m_painter->save();
    m_painter->setPen(pen);
    const double pageHeight = m_pageSize.height();
    m_painter->drawLine(TWInvoiceGeometry::toPainter(from, pageHeight),
                        TWInvoiceGeometry::toPainter(to, pageHeight));
    m_painter->restore();
}

QImage TWInvoiceOperation::imageForFrame(const QImage &image, const QSizeF &frame)
{
    // What the frame needs at 300 dots per inch; a larger picture only
    // swells the PDF.
    constexpr double kDotsPerPoint = 300.0 / 72.0;
    const QSize needed(std::max(1, int(std::ceil(frame.width() * kDotsPerPoint))),
                       std::max(1, int(std::ceil(frame.height() * kDotsPerPoint))));
    if (image.width() <= needed.width() && image.height() <= needed.height())
        return image;
    return image.scaled(needed.boundedTo(image.size()), Qt::KeepAspectRatio,
                        Qt::SmoothTransformation);
}

void TWInvoiceOperation::drawImage(const QImage &image, const QRectF &rect, double opacity)
{
    if (!m_painter || image.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    // Scaled once per rendering: the same picture on every page is then
    // the same image to the PDF writer, embedded once.
    const QPair<qint64, QSize> key(image.cacheKey(), rect.size().toSize());
    auto scaled = m_scaledImages.constFind(key);
    if (scaled == m_scaledImages.cend())
        scaled = m_scaledImages.insert(key, imageForFrame(image, rect.size()));
    m_painter->save();
    m_painter->setOpacity(opacity);
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform);
    m_painter->drawImage(TWInvoiceGeometry::toPainter(rect, m_pageSize.height()), *scaled);
    m_painter->restore();
    if (m_recordsDrawnTexts)
        m_drawnImages.append({m_currentPage, QString(), rect});
}

struct TWInvoiceOperation::Piece {
    QString text;
    qsizetype attributes;
    QRectF rect;
};

void TWInvoiceOperation::drawMultiPageStrings(const QStringList &strings,
                                              const QList<TWTextAttributes> &attributes,
                                              const QList<QRectF> &rects, double width,
                                              const QVariantMap &settings, const QRectF &strokeRect)
{
    Q_UNUSED(width); // every piece is drawn at the width it was measured at
    const double bottom = m_contentFrame.y();
    const auto pageTop = [this] {
        return m_contentFrame.y() + m_contentFrame.height() - (m_table ? m_tableHeaderHeight : 0);
    };
    double y = m_yOffset;
    const double d = rects.isEmpty() ? 0 : rects.first().y() - strokeRect.y();
    QList<QList<Piece>> pages{{}};
    bool freshPage = false;

    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QString &text = strings.at(i);
        const QRectF r = rects.at(i);
        const TWTextAttributes &attribute = attributes.at(i);
        if (y - (r.y() + r.height()) >= bottom) {
            pages.last().append(
                {text, i, QRectF(r.x() + strokeRect.x(), y - r.height(), r.width(), r.height())});
            y -= r.y() + r.height();
            freshPage = false;
        } else {
            qsizetype start = 0;
            while (start < text.size()) {
                // The longest prefix that still fits above the bottom.
                const QString rest = text.mid(start);
                qsizetype lo = 0;
                qsizetype hi = rest.size() + 1;
                double fitting = 0;
                while (hi - lo > 1) {
                    const qsizetype mid = lo + (hi - lo) / 2;
                    const double h = measureText(rest.left(mid), attribute, r.width()).height();
                    if (y - (r.y() + h) >= bottom) {
                        lo = mid;
                        fitting = h;
                    } else {
                        hi = mid;
                    }
                }
                qsizetype end = lo;
                if (end == 0 && !freshPage) {
                    pages.append(QList<Piece>());
                    y = pageTop();
                    freshPage = true;
                    continue;
                }
                if (end == 0) {
                    // Not even one line fits on a fresh page: place the first
                    // line (at least one character) anyway so the flow ends.
                    TextBlock block;
                    layOut(block, rest, attribute, r.width());
                    const QTextLine line = block.layouts.front()->lineAt(0);
                    end = std::max<qsizetype>(1, line.textLength());
                    fitting = measureText(rest.left(end), attribute, r.width()).height();
                }
                // Prefer to break after the last space of the fitting prefix.
                qsizetype length = end;
                if (end < rest.size()) {
                    const qsizetype space = rest.left(end).lastIndexOf(QLatin1Char(' '));
                    if (space > 0)
                        length = space + 1;
                }
                const double h =
                    length == end ? fitting
                                  : measureText(rest.left(length), attribute, r.width()).height();
                pages.last().append(
                    {rest.left(length), i, QRectF(r.x() + strokeRect.x(), y - h, r.width(), h)});
                y -= h;
                freshPage = false;
                start += length;
                if (start < text.size()) {
                    pages.append(QList<Piece>());
                    y = pageTop();
                    freshPage = true;
                }
            }
        }
        y -= 5;
    }

    for (qsizetype page = 0; page < pages.size(); ++page) {
        if (page > 0)
            newPage();
        const QList<Piece> &pieces = pages.at(page);
        if (pieces.isEmpty())
            continue;
        QRectF united = pieces.first().rect;
        for (const Piece &piece : pieces)
            united = united.united(piece.rect);
        const QRectF frame(strokeRect.x(), united.y() - d, strokeRect.width(),
                           united.height() + 2 * d);
        drawStrokeFillRect(frame, false, settings);
        for (const Piece &piece : pieces)
            drawText(piece.text, attributes.at(piece.attributes), piece.rect);
        m_yOffset -= frame.height();
    }
}

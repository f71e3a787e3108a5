#include "export/core/TWSerializerHTML.h"

#include "model/TWUtilities.h"

namespace
{

const QLatin1String
    kDocumentType("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                  "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");

// The markup around a cell's text: each pair opens in this order and closes
// in the reverse one.
void cellMarkup(const TWCell &cell, QString &opening, QString &closing)
{
    opening.clear();
    closing.clear();
    const auto wrap = [&opening, &closing](QLatin1String open, QLatin1String close) {
        opening.append(open);
        closing.prepend(close);
    };
    const quint32 style = cell.style();
    if (style & TWCellStyleLarge)
        wrap(QLatin1String("<big>"), QLatin1String("</big>"));
    else if (style & TWCellStyleSmall)
        wrap(QLatin1String("<small>"), QLatin1String("</small>"));
    if (style & TWCellStyleUnderline)
        wrap(QLatin1String("<u>"), QLatin1String("</u>"));
    else if (style & TWCellStyleDoubleUnderline)
        wrap(QLatin1String("<u><span style=\"border-bottom: 1px double #000;\">"),
             QLatin1String("</span></u>"));
    if (style & TWCellStyleBold)
        wrap(QLatin1String("<b>"), QLatin1String("</b>"));
    else if (style & TWCellStyleItalic)
        wrap(QLatin1String("<i>"), QLatin1String("</i>"));
    if (cell.justify() == TWCellJustifyCenter)
        wrap(QLatin1String("<div style=\"text-align: center;\">"), QLatin1String("</div>"));
}

// The link's address as an attribute value: percent-encoded (so no quote or
// angle bracket is left) and with "&" as its entity.
QString hrefValue(const QUrl &link)
{
    return QString::fromLatin1(link.toEncoded()).replace(QLatin1Char('&'), QLatin1String("&amp;"));
}

void linkMarkup(const TWCell &cell, QString &opening, QString &closing)
{
    opening.clear();
    closing.clear();
    if (cell.link().isEmpty())
        return;
    opening.append(QLatin1String("<a href=\""));
    opening.append(hrefValue(cell.link()));
    opening.append(QLatin1String("\" target=\"blank\">"));
    closing.append(QLatin1String("</a>"));
}

} // namespace

void TWSerializerHTML::appendEncoded(QString &out, const QString &text)
{
    // The same references as encodeHTML, appended in place: exports encode
    // millions of short texts.
    static const char digits[] = "0123456789abcdef";
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
            (unit >= u'0' && unit <= u'9') || unit == u' ') {
            out.append(QChar(unit));
            continue;
        }
        char32_t point = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < size &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            point = QChar::surrogateToUcs4(unit, text.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            point = QChar::ReplacementCharacter; // half a pair is no character
        }
        char buffer[16];
        int length = 0;
        do {
            buffer[length++] = digits[point & 0xf];
            point >>= 4;
        } while (point != 0);
        out.append(QLatin1String("&#x"));
        while (length > 0)
            out.append(QLatin1Char(buffer[--length]));
        out.append(QLatin1Char(';'));
    }
}

QString TWSerializerHTML::text() const
{
    QString body;
    body.reserve(std::max<qsizetype>(1000, cells().size() * 40));
    Stream stream;
    stream.append(cells(), body);
    stream.finish(body);
    return body;
}

void TWSerializerHTML::Stream::append(const TWCellList &list, QString &body)
{
    if (!m_started) {
        m_started = true;
        // The title is text like any other: encoded, so markup in it stays text.
        body.append(kDocumentType);
        body.append(QLatin1String("<html><head><title>"));
        if (!list.isEmpty())
            appendEncoded(body, list.constFirst().value());
        body.append(QLatin1String("</title></head><body>"));
    }
    QString opening, closing, linkOpening, linkClosing;
    opening.reserve(1000);
    closing.reserve(1000);

    // Signed and wide: a lower row than the last makes no gap rather than
    // counting round the 32-bit range.
    qint64 &lastRow = m_lastRow;
    qint64 &lastColumn = m_lastColumn;
    quint32 &graphCounter = m_graphCounter;
    bool &tableMode = m_tableMode;
    for (const TWCell &cell : list) {
        const qint64 row = cell.row();
        const qint64 column = cell.column();
        if (row != lastRow) {
            if (tableMode) {
                body.append(QLatin1String("</tr>"));
                for (qint64 r = lastRow + 1; r < row; ++r)
                    body.append(QLatin1String("<tr></tr>"));
                body.append(QLatin1String("<tr>"));
            } else {
                if (cell.justify() != TWCellJustifyCenter)
                    body.append(QLatin1String("<br/>"));
                for (qint64 r = lastRow + 1; r < row; ++r)
                    body.append(QLatin1String("<br/>"));
            }
            lastColumn = -1;
        }
        for (qint64 c = lastColumn + 1; c < column; ++c)
            body.append(tableMode ? QLatin1String("<td></td>") : QLatin1String(" "));

        if (!cell.table()) {
            if (tableMode) {
                // A row is always open inside the table.
                body.append(QLatin1String("</tr></table>"));
                tableMode = false;
            }
            if (column != 0)
                body.append(QLatin1Char(' '));
            cellMarkup(cell, opening, closing);
            linkMarkup(cell, linkOpening, linkClosing);
            body.append(linkOpening);
            body.append(opening);
            if (cell.type() == TWCellTypeGraph) {
                const QSizeF size = TWUtilities::scaleSize(cellGraphImage(cell).size(),
                                                           QSizeF(graphWidth, graphHeight));
                body.append(QStringLiteral("<img src=\"images/graph%1.jpeg\" width=\"%2\" "
                                           "height=\"%3\"/>")
                                .arg(graphCounter)
                                .arg(qint64(size.width()))
                                .arg(qint64(size.height())));
                ++graphCounter;
            } else {
                appendEncoded(body, cell.value());
            }
            body.append(closing);
            body.append(linkClosing);
        } else {
            if (!tableMode) {
                body.append(cell.border() ? QLatin1String("<table border=\"1\">")
                                          : QLatin1String("<table>"));
                body.append(QLatin1String("<tr>"));
                tableMode = true;
            }
            if (cell.header()) {
                if (cell.justify() == TWCellJustifyRight)
                    body.append(QLatin1String("<th align=\"right\">"));
                else if (cell.justify() == TWCellJustifyCenter)
                    body.append(QLatin1String("<th align=\"center\">"));
                else
                    body.append(QLatin1String("<th>"));
                appendEncoded(body, cell.value());
                body.append(QLatin1String("</th>"));
            } else {
                // Amounts are always right-aligned.
                if (cell.type() == 0 || cell.justify() == TWCellJustifyRight)
                    body.append(QLatin1String("<td align=\"right\">"));
                else if (cell.justify() == TWCellJustifyCenter)
                    body.append(QLatin1String("<td align=\"center\">"));
                else
                    body.append(QLatin1String("<td>"));
                cellMarkup(cell, opening, closing);
                linkMarkup(cell, linkOpening, linkClosing);
                body.append(linkOpening);
                body.append(opening);
                appendEncoded(body, cell.value());
                body.append(closing);
                body.append(linkClosing);
                body.append(QLatin1String("</td>"));
            }
        }
        lastRow = row;
        lastColumn = column;
    }
}

void TWSerializerHTML::Stream::finish(QString &body)
{
    if (!m_started)
        append({}, body);
    if (m_tableMode)
        body.append(QLatin1String("</tr></table>"));
    m_tableMode = false;
    body.append(QLatin1String("</body></html>"));
}

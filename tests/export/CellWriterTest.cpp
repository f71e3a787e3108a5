// The cell writers: CSV and HTML texts of small tables, their gaps and
// escapes, and the PDF writer read back as a document.

#include "TWExportTestSupport.h"
#include "TWPreferences.h"
#include "TWSerializerCSV.h"
#include "TWSerializerHTML.h"
#include "TWSerializerPDF.h"
#include "TWStringAdditions.h"

#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

namespace
{

TWCell text(const QString &value, quint32 row, quint32 column, quint32 style = 0,
            quint32 justify = TWCellJustifyLeft)
{
    return TWCell(value, QVariant(), QUrl(), style, justify, TWCellTypeText, row, column, false,
                  false, false, 1);
}

TWCell tableCell(const QString &value, quint32 row, quint32 column, bool header,
                 quint32 type = TWCellTypeText, bool border = true)
{
    return TWCell(value, QVariant(), QUrl(), 0, TWCellJustifyLeft, type, row, column, true, header,
                  border, 1);
}

TWCell graph(const QSize &size, quint32 row)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    return TWCell(QString(), QVariant::fromValue(image), QUrl(), 0, TWCellJustifyCenter,
                  TWCellTypeGraph, row, 0, false, false, false, 1);
}

QString body(const QString &html)
{
    const qsizetype start = html.indexOf(QLatin1String("<body>")) + 6;
    return html.mid(start, html.indexOf(QLatin1String("</body>")) - start);
}

QString html(const TWCellList &cells)
{
    return TWSerializerHTML::serializerWithCells(cells)->text();
}

// A long table: a header row and `rows` body rows of three columns.
TWCellList longTable(int rows)
{
    TWCellList cells{text(QStringLiteral("Ledger"), 0, 0, TWCellStyleLarge)};
    cells.append(tableCell(QStringLiteral("Date"), 1, 0, true));
    cells.append(tableCell(QStringLiteral("Payee"), 1, 1, true));
    cells.append(tableCell(QStringLiteral("Amount"), 1, 2, true));
    for (int r = 0; r < rows; ++r) {
        const quint32 row = quint32(r + 2);
        cells.append(tableCell(QStringLiteral("3/%1/24").arg(r % 28 + 1), row, 0, false));
        cells.append(tableCell(QStringLiteral("Payee %1").arg(r), row, 1, false));
        cells.append(tableCell(QStringLiteral("%1.00").arg(r * 7), row, 2, false, 0));
    }
    return cells;
}

} // namespace

TEST(CsvWriterTest, GapsQuotesAndLineEnds)
{
    const auto csv = [](const TWCellList &cells) {
        return TWSerializerCSV::serializerWithCells(cells)->text();
    };
    EXPECT_EQ(csv({text("a", 0, 0), text("b", 0, 2), text("c", 2, 1)}),
              QStringLiteral("\"a\",,\"b\"\r\n\r\n,\"c\""));
    EXPECT_EQ(csv({text("say \"hi\"", 0, 0)}), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(csv({text("1,5\nx", 0, 0)}), QStringLiteral("\"1,5\nx\""));
    EXPECT_EQ(csv({text("a", 0, 0), text(QString(), 0, 1), text("c", 0, 2)}),
              QStringLiteral("\"a\",,\"c\""));
    EXPECT_EQ(csv({text("a", 0, 0), text(QString(), 1, 0), text("c", 2, 0)}),
              QStringLiteral("\"a\"\r\n\r\n\"c\""));
    EXPECT_EQ(csv({text("x", 2, 0)}), QStringLiteral("\r\n\r\n\"x\""));
    // A lower row than the last gives one line break.
    EXPECT_EQ(csv({text("a", 5, 0), text("b", 3, 0)}),
              QStringLiteral("\r\n\r\n\r\n\r\n\r\n\"a\"\r\n\"b\""));
    // Empty list: empty data, not none; the base writes nothing.
    const auto empty = TWSerializerCSV::serializerWithCells({});
    EXPECT_TRUE(empty->text().isEmpty());
    EXPECT_FALSE(empty->data().isNull());
    const auto base = TWSerializer::serializerWithCells({text("a", 0, 0)});
    EXPECT_TRUE(base->text().isNull());
    EXPECT_TRUE(base->data().isNull());
    // UTF-8 without a byte-order mark.
    EXPECT_EQ(TWSerializerCSV::serializerWithCells({text(QStringLiteral("é"), 0, 0)})->data(),
              QByteArray("\"\xc3\xa9\""));
}

TEST(HtmlWriterTest, DocumentTitleAndRunningText)
{
    const QString document = html(
        {text("Report", 0, 0), text("1 Jan", 1, 0), text("Middle", 2, 0, 0, TWCellJustifyCenter)});
    EXPECT_TRUE(document.startsWith(QLatin1String(
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\"><html><head><title>Report"
        "</title></head><body>")));
    // A centred cell gets no line break before its division.
    EXPECT_EQ(body(document), QStringLiteral("Report<br/>1 Jan<div style=\"text-align: center;\">"
                                             "Middle</div>"));
    // Markup pairs open in order and close in reverse.
    EXPECT_EQ(
        body(html({text("T", 0, 0, TWCellStyleLarge | TWCellStyleUnderline | TWCellStyleBold,
                        TWCellJustifyCenter)})),
        QStringLiteral("<big><u><b><div style=\"text-align: center;\">T</div></b></u></big>"));
    EXPECT_EQ(body(html({text("T", 0, 0,
                              TWCellStyleSmall | TWCellStyleDoubleUnderline | TWCellStyleItalic)})),
              QStringLiteral("<small><u><span style=\"border-bottom: 1px double #000;\"><i>T</i>"
                             "</u></small>"));
}

TEST(HtmlWriterTest, TablesRowsAndGaps)
{
    TWCellList cells{text("Title", 1, 0), tableCell("Head", 3, 0, true),
                     tableCell("1.00", 3, 1, false, 0), tableCell("2.00", 3, 2, false, 0),
                     tableCell("x", 5, 2, false)};
    EXPECT_EQ(body(html(cells)),
              QStringLiteral("<br/>Title<br/><br/><table border=\"1\"><tr><th>Head</th>"
                             "<td align=\"right\">1&#x2e;00</td><td align=\"right\">2&#x2e;00</td>"
                             "</tr><tr></tr><tr><td></td><td></td><td>x</td></tr></table>"));
    // A table ended by running text on a new row leaves an empty row.
    cells = {tableCell("a", 0, 0, false, 1, false), text("after", 1, 0)};
    EXPECT_EQ(body(html(cells)), QStringLiteral("<table><tr><td>a</td></tr><tr></table>after"));
}

TEST(HtmlWriterTest, EscapesTitleTextAndLinks)
{
    TWCell linked = tableCell("a<b & c", 0, 0, false);
    linked.setStyle(TWCellStyleBold);
    linked.setLink(QUrl::fromEncoded("./Attachments/a%20b.pdf?x=1&y=\"2\""));
    const QString document = html({text(QStringLiteral("<script>&"), 0, 0), linked});
    EXPECT_TRUE(document.contains(QLatin1String("<title>&#x3c;script&#x3e;&#x26;</title>")));
    EXPECT_TRUE(document.contains(QLatin1String(
        "<td><a href=\"./Attachments/a%20b.pdf?x=1&amp;y=%222%22\" target=\"blank\"><b>a&#x3c;b "
        "&#x26; c</b></a></td>")))
        << document.toStdString();
    // One reference per code point, never two surrogate halves.
    EXPECT_EQ(body(html({text(QStringLiteral("\U0001F600"), 0, 0)})), QStringLiteral("&#x1f600;"));
}

TEST(HtmlWriterTest, EncodesAsEncodeHTMLDoes)
{
    for (const QString &sample :
         {QString(), QStringLiteral("plain Text 123"), QStringLiteral("1,500.00 (USD) -3/5/24"),
          QStringLiteral("Café O'Brien & Co <b>\"x\"\n\t"), QStringLiteral("\U0001F600 \u20ac"),
          QString(QChar(0xD83D)) + QStringLiteral("lone surrogate")}) {
        QString appended;
        TWSerializerHTML::appendEncoded(appended, sample);
        EXPECT_EQ(appended, TWStringAdditions::encodeHTML(sample));
    }
}

TEST(HtmlWriterTest, GraphsAreScaledAndNumbered)
{
    const QString document = body(html({graph(QSize(1716, 990), 0), graph(QSize(400, 300), 1)}));
    EXPECT_EQ(document,
              QStringLiteral("<div style=\"text-align: center;\"><img src=\"images/graph1.jpeg\" "
                             "width=\"858\" height=\"495\"/></div><div style=\"text-align: "
                             "center;\"><img src=\"images/graph2.jpeg\" width=\"400\" "
                             "height=\"300\"/></div>"));
}

TEST(HtmlWriterTest, LowerRowEndsAtOnce)
{
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(body(html({text("a", 5, 0), text("b", 3, 0)})),
              QStringLiteral("<br/><br/><br/><br/><br/>a<br/>b"));
    EXPECT_EQ(body(html({tableCell("a", 5, 0, false), tableCell("b", 3, 0, false)})),
              QStringLiteral("<br/><br/><br/><br/><br/><table><tr><td>a</td></tr><tr><td>b</td>"
                             "</tr></table>")
                  .replace(QLatin1String("<table>"), QLatin1String("<table border=\"1\">")));
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST(PdfWriterTest, LetterPagesWithPageNumbersAndTitle)
{
    const TWCellList cells{text("Report", 0, 0, TWCellStyleLarge), text("Body", 1, 0)};
    const QByteArray pdf = TWSerializerPDF::serializerWithCells(cells)->data();
    TWPdfReadBack document(pdf);
    ASSERT_EQ(document.pageCount(), 1);
    EXPECT_EQ(document.document().pagePointSize(0), QSizeF(612, 792));
    EXPECT_TRUE(document.text(0).contains(QLatin1String("Page1")));
    EXPECT_TRUE(document.text(0).contains(QLatin1String("Report")));
    EXPECT_EQ(document.document().metaData(QPdfDocument::MetaDataField::Title).toString(),
              QStringLiteral("Report"));
    const auto geometry = TWSerializerPDF::serializerWithCells(cells)->calculateSizes();
    EXPECT_EQ(geometry.pageBounds, QRectF(20, 20, 572, 752));
    // Nothing to draw still gives a document (with one blank page).
    TWPdfReadBack empty(TWSerializerPDF::serializerWithCells({})->data());
    EXPECT_EQ(empty.pageCount(), 1);
}

TEST(PdfWriterTest, LongTableBreaksAtTheBoundsAndRepeatsItsHeader)
{
    const TWCellList cells = longTable(150);
    const QByteArray pdf = TWSerializerPDF::serializerWithCells(cells)->data();
    TWPdfReadBack::keep(pdf);
    TWPdfReadBack document(pdf);
    ASSERT_GE(document.pageCount(), 3);
    for (int page = 0; page < document.pageCount(); ++page) {
        const QString pageText = document.text(page);
        EXPECT_TRUE(pageText.contains(QStringLiteral("Page%1").arg(page + 1))) << page;
        EXPECT_TRUE(pageText.contains(QLatin1String("Payee"))) << page;
        EXPECT_TRUE(pageText.contains(QLatin1String("Amount"))) << page;
        // Nothing runs into the bottom margin (20 points; text boxes may
        // reach a point or two beyond their line).
        const QRectF box = document.document().getAllText(page).boundingRectangle();
        EXPECT_LE(box.bottom(), 792 - 20 + 2) << page;
    }
    EXPECT_TRUE(document.text(document.pageCount() - 1).contains(QLatin1String("Payee149")));
}

TEST(PdfWriterTest, RowsAreAsTallAsTheirTallestCell)
{
    // A text of two lines in the second column makes its row two lines
    // high: the same rows need about twice the pages.
    const auto pages = [](const QString &second) {
        TWCellList cells{tableCell("A", 0, 0, true), tableCell("B", 0, 1, true)};
        for (quint32 r = 1; r <= 120; ++r) {
            cells.append(tableCell(QStringLiteral("row %1").arg(r), r, 0, false));
            cells.append(tableCell(second, r, 1, false));
        }
        return TWPdfReadBack(TWSerializerPDF::serializerWithCells(cells)->data()).pageCount();
    };
    const int single = pages(QStringLiteral("one"));
    const int twoLines = pages(QStringLiteral("one\ntwo"));
    EXPECT_GE(twoLines, 2 * single - 1);
}

TEST(PdfWriterTest, WideTablesAndPrintSettingsSizeThePage)
{
    // A header wider than letter paper: a page of landscape proportions.
    TWCellList cells{tableCell(QString(QStringLiteral("W")).repeated(12), 0, 0, true)};
    for (quint32 c = 1; c < 8; ++c)
        cells.append(tableCell(QStringLiteral("Column heading %1").arg(c), 0, c, true));
    const auto writer = TWSerializerPDF::serializerWithCells(cells);
    TWSerializerPDF::Columns columns;
    const double width = writer->cacheTableHeaders(0, columns);
    ASSERT_GT(width + 40, 612);
    const auto geometry = writer->calculateSizes();
    EXPECT_DOUBLE_EQ(geometry.pageBounds.width(), width);
    EXPECT_DOUBLE_EQ(geometry.pageBounds.height(), width / 792 * 612);
    TWPdfReadBack wide(writer->data());
    const QSizeF page = wide.document().pagePointSize(0);
    EXPECT_NEAR(page.width(), width + 40, 1);
    EXPECT_NEAR(page.height(), width / 792 * 612 + 40, 1);

    // The printer's paper: bounds are its printable area, widened for the
    // table with the paper's own margins kept.
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(30, 40, 50, 60),
                         QPageLayout::Point);
    const auto printed = TWSerializerPDF::serializerWithCells(cells, a4)->calculateSizes();
    EXPECT_EQ(printed.pageBounds.topLeft(), QPointF(30, 60));
    EXPECT_DOUBLE_EQ(printed.pageBounds.width(), width);
    EXPECT_NEAR(printed.pageSize.width(), 30 + width + 50, 0.01);
    EXPECT_NEAR(printed.pageSize.height(), 842, 1);
    const auto narrow =
        TWSerializerPDF::serializerWithCells({text("x", 0, 0)}, a4)->calculateSizes();
    EXPECT_NEAR(narrow.pageBounds.width(), 595 - 80, 1);
}

TEST(PdfWriterTest, ColumnWidthsFromHeadersAndBodies)
{
    TWCellList cells{tableCell("Date", 0, 0, true), tableCell("Payee", 0, 1, true),
                     tableCell("Amount", 0, 2, true)};
    cells.append(tableCell("A much longer payee than its heading", 1, 1, false));
    const auto writer = TWSerializerPDF::serializerWithCells(cells);
    TWSerializerPDF::Columns columns;
    const double total = writer->cacheTableHeaders(0, columns);
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(columns.at(0).xOffset, 0);
    EXPECT_DOUBLE_EQ(columns.at(1).xOffset, columns.at(0).size.width() + 10);
    EXPECT_DOUBLE_EQ(columns.at(2).xOffset,
                     columns.at(1).xOffset + columns.at(1).size.width() + 10);
    EXPECT_DOUBLE_EQ(total, columns.at(2).xOffset + columns.at(2).size.width());
    // The body text widened the payee column past its own width.
    EXPECT_GT(columns.at(1).size.width(), 150);

    // A spanning header adds zero-width columns after its own.
    TWCell spanning = tableCell("Totals", 0, 0, true);
    spanning.setSpan(3);
    TWSerializerPDF::Columns spanned;
    TWSerializerPDF::serializerWithCells({spanning})->cacheTableHeaders(0, spanned);
    ASSERT_EQ(spanned.size(), 3);
    EXPECT_EQ(spanned.at(1).size.width(), 0);
    EXPECT_FALSE(spanned.at(1).headerCells.constFirst().has_value());
}

TEST(PdfWriterTest, GraphsAndLowerRows)
{
    TWPdfReadBack document(TWSerializerPDF::serializerWithCells(
                               {text("Graphs", 0, 0), graph(QSize(1144, 660), 1),
                                graph(QSize(1144, 660), 2), graph(QSize(100, 100), 3)})
                               ->data());
    // 350 points a graph: the third goes onto a second page.
    EXPECT_EQ(document.pageCount(), 2);

    QElapsedTimer timer;
    timer.start();
    TWPdfReadBack lower(
        TWSerializerPDF::serializerWithCells({text("a", 5, 0), text("b", 3, 0)})->data());
    EXPECT_EQ(lower.pageCount(), 1);
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(PdfWriterTest, UnknownFontNamesFallBackToTimes)
{
    TWPreferences &preferences = TWPreferences::preferences();
    const QString before = preferences.normalExportFontName();
    EXPECT_TRUE(TWSerializerPDF::cellFont(0).family().contains(QLatin1String("Nimbus Roman")))
        << TWSerializerPDF::cellFont(0).family().toStdString();
    EXPECT_TRUE(TWSerializerPDF::cellFont(TWCellStyleBold).bold());
    EXPECT_TRUE(TWSerializerPDF::cellFont(TWCellStyleItalic).italic());
    preferences.setNormalExportFontName(QStringLiteral("No Such Typeface"));
    const QFont fallback = TWSerializerPDF::cellFont(0);
    preferences.setNormalExportFontName(before);
    EXPECT_TRUE(fallback.family().contains(QLatin1String("Nimbus Roman")));
    EXPECT_EQ(fallback.pointSizeF(), preferences.normalExportFontSize());
}

TEST(ExportFileTest, WritesAtomicallyAndNeverOverAFolder)
{
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    EXPECT_FALSE(TWSerializer::writeData("first", path));
    EXPECT_FALSE(TWSerializer::writeData("second", path));
    EXPECT_EQ(twReadText(path), QStringLiteral("second"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.csv")));
    QFile inside(dir.filePath(QStringLiteral("folder.csv/keep.txt")));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    const TWErrorResult error =
        TWSerializer::writeData("x", dir.filePath(QStringLiteral("folder.csv")));
    ASSERT_TRUE(error);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("folder.csv/keep.txt"))));
}

TEST(PdfWriterTest, StylesAlignmentsAndGraphsAreDrawn)
{
    TWCellList cells{text("Styles", 0, 0, TWCellStyleLarge | TWCellStyleBold),
                     text("bold", 1, 0, TWCellStyleBold),
                     text("italic", 1, 1, TWCellStyleItalic),
                     text("underlined", 1, 2, TWCellStyleUnderline),
                     text("double", 1, 3, TWCellStyleDoubleUnderline),
                     text("small", 1, 4, TWCellStyleSmall),
                     text("centred", 2, 0, 0, TWCellJustifyCenter),
                     text("right", 3, 0, 0, TWCellJustifyRight),
                     graph(QSize(1144, 660), 4)};
    const QByteArray pdf = TWSerializerPDF::serializerWithCells(cells)->data();
    TWPdfReadBack::keep(pdf);
    TWPdfReadBack document(pdf);
    ASSERT_EQ(document.pageCount(), 1);
    const QString text = document.text(0);
    for (const char *word : {"bold", "italic", "underlined", "double", "small", "centred", "right"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
    // The right-aligned text stands at the bounds' right edge (less 3 points).
    // Its place in the text layer, which breaks lines between glyphs.
    const QString raw = document.document().getAllText(0).text();
    qsizetype wanted = text.indexOf(QLatin1String("right")), at = 0;
    for (qsizetype seen = 0; at < raw.size(); ++at) {
        if (raw.at(at).isSpace())
            continue;
        if (seen++ == wanted)
            break;
    }
    const QPdfSelection right = document.document().getSelectionAtIndex(0, int(at), 9);
    EXPECT_GT(right.boundingRectangle().left(), 540);
    EXPECT_LE(right.boundingRectangle().right(), 592 - 3 + 1);
}

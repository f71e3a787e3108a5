// The cell writers: CSV and HTML texts of small tables, their gaps and
// escapes, and the PDF writer read back as a document.

#include "TWExportTestSupport.h"
#include "export/core/TWExportFiles.h"
#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerPDF.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWPreferences.h"

#include <QBuffer>
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
        << document;
    // One reference per code point, never two surrogate halves.
    EXPECT_EQ(body(html({text(QStringLiteral("\U0001F600"), 0, 0)})), QStringLiteral("&#x1f600;"));
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

TEST(ExportFileTest, WritesAtomicallyAndNeverOverAFolder)
{
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    EXPECT_OK(TWSerializer::writeData("first", path));
    EXPECT_OK(TWSerializer::writeData("second", path));
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

// No cells make no document; writing none is refused with a message, and
// whatever the file held before stays.
TEST(PdfWriterTest, NoCellsGiveNoDocumentAndWritingNoneSaysSo)
{
    const auto empty = TWSerializerPDF::serializerWithCells({});
    EXPECT_TRUE(empty->data().isNull());
    QBuffer device;
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    EXPECT_TRUE(empty->writeParts(
        [](const TWSerializerPDF::PartSink &sink) -> TWErrorResult {
            TWCellList none;
            return sink(none);
        },
        device));
    EXPECT_TRUE(device.data().isEmpty());

    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    const QString fresh = dir.filePath(QStringLiteral("new.pdf"));
    ASSERT_OK(TWSerializer::writeData("earlier", path));
    for (const bool exportFile : {false, true}) {
        const auto write = [&](const QString &to) {
            return exportFile
                       ? TWExportFiles::writeFile(to, QStringLiteral("report"), empty->data())
                       : TWSerializer::writeData(empty->data(), to);
        };
        const TWErrorResult error = write(path);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->localizedDescription().contains(QLatin1String("report.pdf")));
        EXPECT_EQ(twReadText(path), QStringLiteral("earlier"));
        EXPECT_TRUE(write(fresh));
        EXPECT_FALSE(QFile::exists(fresh));
    }
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

TEST(ExportFileTest, AFullDiskKeepsTheEarlierExportAndSaysSo)
{
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("report.csv"));
    const QByteArray earlier =
        TWSerializerCSV::serializerWithCells({text("earlier", 0, 0), text("1.00", 0, 1)})->data();
    ASSERT_OK(TWSerializer::writeData(earlier, path));
    TWCellList cells;
    for (quint32 row = 0; row < 100; ++row)
        cells.append(text(QStringLiteral("Payee %1").arg(row), row, 0));
    const QByteArray report = TWSerializerCSV::serializerWithCells(cells)->data();

    // The export fails with the usual message naming the file, and the earlier one stays whole
    // with nothing left beside it.
    EXPECT_TRUE(twInChildWithFullDisk([&] {
        const TWErrorResult error = TWSerializer::writeData(report, path);
        return error && error->domain() == QStringLiteral("Tallyworth Export Error") &&
               error->localizedDescription().contains(QStringLiteral("“report.csv”"));
    }));
    EXPECT_EQ(twReadText(path), QString::fromUtf8(earlier));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("report.csv")});
}

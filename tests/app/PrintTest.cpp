// Printing: a PDF through the printer page by page, and what a printed
// register holds (the columns of its view, unique attachment names).

#include "TWAppTestSupport.h"
#include "app/TWMasterController.h"
#include "app/TWPrint.h"

#include "model/TWAttachment.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPrinter>

namespace
{

using PrintTest = TWAppTest;

TEST_F(PrintTest, SomethingThatIsNotAPdfIsAnError)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("never.pdf")));
    TWErrorResult error = twPrintPdf(QByteArray("not a pdf"), printer);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWLocalized("printErrorDomain"));
}

// A one-page PDF with a line of text, as the report and invoice views make them.
QByteArray textPdf(const QString &line)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    painter.drawText(QPointF(200, 400), line);
    painter.end();
    return bytes;
}

TEST_F(PrintTest, APdfPrinterGetsThePdfAsItIsWithItsText)
{
    const QByteArray pdf = textPdf(QStringLiteral("Vector text"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(path);
    EXPECT_OK(twPrintPdf(pdf, printer));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // Not pages redrawn as pictures at the printer's resolution: the same bytes.
    EXPECT_EQ(file.readAll(), pdf);
    QPdfDocument document;
    document.load(path);
    ASSERT_EQ(document.pageCount(), 1);
    EXPECT_TRUE(document.getAllText(0).text().contains(QLatin1String("Vector text")));

    // A folder that cannot be written to is an error, not a silent success.
    printer.setOutputFileName(dir.filePath(QStringLiteral("missing/printed.pdf")));
    TWErrorResult error = twPrintPdf(pdf, printer);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWLocalized("printErrorDomain"));
}

TEST_F(PrintTest, APrinterQueueGetsTheDialogsChoices)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    printer.setCopyCount(2);
    printer.setCollateCopies(false);
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 4);
    const TWPrintTarget target = twPrintTarget(printer, QStringLiteral("Checking"));
    EXPECT_TRUE(target.pdfFile.isEmpty());
    EXPECT_EQ(target.job.title, QStringLiteral("Checking"));
    const auto options = twSpoolOptions(target.job);
    const auto has = [&](const char *name, const char *value) {
        return options.contains(qMakePair(QByteArray(name), QByteArray(value)));
    };
    EXPECT_TRUE(has("copies", "2"));
    EXPECT_TRUE(has("multiple-document-handling", "separate-documents-uncollated-copies"));
    EXPECT_TRUE(has("sides", "one-sided"));
    EXPECT_TRUE(has("page-ranges", "2-4"));

    // One copy of every page asks for nothing special.
    TWSpoolJob plain;
    plain.printer = QStringLiteral("Office");
    EXPECT_TRUE(twSpoolOptions(plain).isEmpty());
    // Without a printer to send to, printing says so.
    TWPrintTarget nowhere;
    EXPECT_TRUE(twSendPdf(textPdf(QStringLiteral("x")), nowhere));
}

} // namespace

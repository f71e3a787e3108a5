// Printing: a PDF through the printer page by page, and what a printed
// register holds (the columns of its view, unique attachment names).

#include "TWAppTestSupport.h"
#include "TWWindowTestSupport.h"
#include "app/TWMasterController.h"
#include "app/TWPrint.h"

#include "model/TWAttachment.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPrintDialog>
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

class PrintProposalTest : public TWWindowTest
{
};

TEST_F(PrintProposalTest, EachJobProposesAFileNamedForWhatItPrintsInTheFolderLastUsed)
{
    TWAppRegistry::registry().registerPrintTable = [](const TWRegisterPrintRequest &) {
        return TWRegisterPrintJob();
    };
    TWAccountPtr checking;
    auto document = windowDocument(
        [&](TWBusiness &b) { checking = addAccount(b, QStringLiteral("Checking")); });
    select(*document, TWMasterItemEntity, TWItemTypeAccount, checking->identifier());
    // The invoice was printed to a file last.
    QPrinter &printer = document->printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString invoice = dir.filePath(QStringLiteral("print-W-777.pdf"));
    printer.setOutputFileName(invoice);

    document->printDocument();
    QCoreApplication::processEvents();
    auto *dialog = document->windowForSheet()->findChild<QPrintDialog *>();
    ASSERT_TRUE(dialog);
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
    ASSERT_TRUE(field);
    const QString proposed = dir.filePath(QStringLiteral("Checking.pdf"));
    EXPECT_EQ(field->text(), proposed);
    EXPECT_NE(printer.outputFileName(), invoice);
    dialog->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(PrintTest, AFileTypedInsideABusinessIsNotWritten)
{
    const QString books = dir.filePath(QStringLiteral("Books.tallyworth"));
    savePackage(books);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    for (const QString &typed : {books + QStringLiteral("/inside.pdf"), books}) {
        printer.setOutputFileName(typed);
        TWErrorResult error = twPrintPdf(textPdf(QStringLiteral("x")), printer);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("Books.tallyworth")));
    }
    EXPECT_FALSE(QFileInfo::exists(books + QStringLiteral("/inside.pdf")));
    EXPECT_TRUE(QFileInfo(books).isDir());
}

} // namespace

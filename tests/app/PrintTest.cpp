// Printing: a PDF through the printer page by page, and what a printed
// register holds (the columns of its view, unique attachment names).

#include "TWAppTestSupport.h"
#include "TWPrint.h"
#include "TWMasterController.h"

#include "TWAttachment.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPrinter>

namespace
{

using PrintTest = TWAppTest;

QByteArray twoPagePdf()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    painter.drawText(QPointF(100, 100), QStringLiteral("First page"));
    writer.newPage();
    painter.drawText(QPointF(100, 100), QStringLiteral("Second page"));
    painter.end();
    return bytes;
}

TEST_F(PrintTest, APdfPrintsEveryPageOnAPdfPrinter)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString out = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(out);
    printer.setResolution(150);
    EXPECT_FALSE(twPrintPdf(twoPagePdf(), printer));

    QPdfDocument printed;
    ASSERT_EQ(printed.load(out), QPdfDocument::Error::None);
    EXPECT_EQ(printed.pageCount(), 2);
    // Unscaled: the printed page has the printer's A4 size.
    EXPECT_NEAR(printed.pagePointSize(0).width(), 595, 2);
}

TEST_F(PrintTest, SomethingThatIsNotAPdfIsAnError)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("never.pdf")));
    TWErrorResult error = twPrintPdf(QByteArray("not a pdf"), printer);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWLocalized("printErrorDomain"));
}

TEST_F(PrintTest, EqualAttachmentNamesAreMadeUniqueInListOrder)
{
    auto document = newDocument();
    const auto attachment = [](qint32 identifier, const QString &name) {
        return TWAttachment::attachmentWithFileName(name, QStringLiteral("/nowhere/") + name,
                                                    QStringLiteral("application/pdf"), 0, 0, 0,
                                                    QString(), 0, 0, 0, identifier);
    };
    const auto transaction = [](TWAttachmentList attachments, bool has) {
        auto result = std::make_shared<TWTransaction>();
        result->setAttachments(attachments);
        result->setHasAttachments(has);
        return result;
    };
    const TWTransactionList list = {
        transaction({attachment(1, QStringLiteral("a.pdf"))}, true),
        transaction({attachment(2, QStringLiteral("a.pdf")), attachment(3, QStringLiteral("b"))},
                    true),
        // Not marked as having attachments: not asked.
        transaction({attachment(4, QStringLiteral("a.pdf"))}, false),
        transaction({attachment(5, QStringLiteral("b"))}, true)};
    const QHash<qint32, QString> names = twAttachmentFileNames(list, *document->business());
    EXPECT_EQ(names.size(), 4);
    EXPECT_EQ(names.value(1), QStringLiteral("a.pdf"));
    EXPECT_EQ(names.value(2), QStringLiteral("a-2.pdf"));
    EXPECT_EQ(names.value(3), QStringLiteral("b"));
    EXPECT_EQ(names.value(5), QStringLiteral("b-2"));
    EXPECT_FALSE(names.contains(4));
}

} // namespace

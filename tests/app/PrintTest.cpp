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

TEST_F(PrintTest, SomethingThatIsNotAPdfIsAnError)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("never.pdf")));
    TWErrorResult error = twPrintPdf(QByteArray("not a pdf"), printer);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWLocalized("printErrorDomain"));
}

} // namespace

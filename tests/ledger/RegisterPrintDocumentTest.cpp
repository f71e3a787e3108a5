// File > Print on a register: the document reads the shown rows, lays them out
// and sends them to the printer on its queue while the window stays live, and
// the printed file has the register's title and text on every page.

#include "TWWindowTestSupport.h"

#include "ledger/TWLedger.h"
#include "ledger/TWTransactionsController.h"

#include "export/core/TWExportPrint.h"

#include "app/TWMasterItem.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPdfDocument>
#include <QPrinter>

namespace
{

class RegisterPrintDocumentTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        twRegisterLedger();
        // As the program registers it.
        TWAppRegistry::registry().registerPrintTable = [](const TWRegisterPrintRequest &request) {
            auto table = std::make_shared<const TWExportPrint::Table>(
                TWExportPrint::registerTable(request.business, request.transactions, request.fields,
                                             request.attachmentFileNames, request.title));
            TWRegisterPrintJob job;
            job.pdf = [table](const QPageLayout &layout,
                              const TWRegisterPrintJob::Progress &progress) {
                return TWExportPrint::tablePDF(*table, layout, progress);
            };
            job.fits = [table](const QPageLayout &layout) {
                return TWExportPrint::fitsWithoutShortening(*table, layout);
            };
            return job;
        };
        document = windowDocument([this](TWBusiness &b) {
            checking = addAccount(b, QStringLiteral("Checking"));
            sales = addAccount(b, QStringLiteral("Sales"), 0, QStringLiteral("USD"), 15);
            for (int n = 0; n < 400; ++n) {
                auto t = std::make_shared<TWTransaction>();
                t->setIdentifier(b.nextTransactionIdentifier());
                t->setDate(QDateTime(QDate(2024, 1, 1).addDays(n), QTime(0, 0)));
                t->setPayee(QStringLiteral("Customer %1").arg(n));
                t->setAccount1Identifier(checking->identifier());
                t->setAccount2Identifier(sales->identifier());
                t->setUnit(b.unitWithCode(QStringLiteral("USD")));
                const qint64 total = 10000 + n;
                t->setTotal(total);
                t->setTotalAccount1(total);
                t->setTotalAccount2(total);
                t->setTotalBusiness(total);
                t->setCleared(n % 3 == 0);
                EXPECT_OK(b.addTransaction(t, false, false, false, false));
            }
        });
    }
    void TearDown() override
    {
        document.reset();
        TWWindowTest::TearDown();
    }

    std::unique_ptr<TWBusinessController> document;
    TWAccountPtr checking, sales;
};

} // namespace

TEST_F(RegisterPrintDocumentTest, ThePrintedRegisterHasItsTitleAndTextOnEveryPage)
{
    select(*document, TWMasterItemEntity, TWItemTypeAccount, checking->identifier());
    auto *reg = qobject_cast<TWTransactionsController *>(document->transactionsController());
    ASSERT_TRUE(reg);
    ASSERT_EQ(reg->sortedTransactions().size(), 400);

    const std::optional<TWRegisterPrintRequest> request = document->registerPrintRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->title, QStringLiteral("Checking"));
    QPrinter &printer = document->printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = dir.filePath(QStringLiteral("Checking.pdf"));
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);

    document->printRegister(*request);
    // The work runs on the document's queue: the call returns at once with
    // the progress sheet up.
    EXPECT_TRUE(document->isPrinting());
    EXPECT_TRUE(document->progressWindow());
    QElapsedTimer timer;
    timer.start();
    while (document->isPrinting() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(document->isPrinting());
    QCoreApplication::processEvents();
    EXPECT_FALSE(document->progressWindow());

    QPdfDocument pdf;
    pdf.load(path);
    ASSERT_EQ(pdf.status(), QPdfDocument::Status::Ready);
    ASSERT_GE(pdf.pageCount(), 5);
    for (int page = 0; page < pdf.pageCount(); ++page) {
        SCOPED_TRACE(page);
        EXPECT_NEAR(pdf.pagePointSize(page).width(), 595, 1);
        const QString text = pdf.getAllText(page).text();
        EXPECT_TRUE(text.startsWith(QLatin1String("Checking"))) << text.left(80);
        EXPECT_TRUE(text.contains(QLatin1String("Customer"))) << text.left(80);
    }
    // The register's order and its last balance: 400 deposits of 100.00 and up.
    EXPECT_TRUE(pdf.getAllText(0).text().contains(QLatin1String("Customer 0")));
    EXPECT_TRUE(pdf.getAllText(pdf.pageCount() - 1).text().contains(QLatin1String("40,798.00")));
    QFile file(path);
    EXPECT_LT(file.size(), 30000 * pdf.pageCount());
}

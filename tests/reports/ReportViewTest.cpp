// The report view: the PDF it shows, zooming, printing, saving in each
// format (and failing visibly), e-mailing a copy, and well-formed HTML for
// every report type.

#include "TWReportBooks.h"

#include "TWAppTestSupport.h"
#include "TWFakeMailHandOff.h"

#include "reports/ui/TWReportController.h"
#include "reports/ui/TWReportsUI.h"

#include "app/TWPrint.h"
#include "export/core/TWSerializerHTML.h"

#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPdfDocument>
#include <QPdfView>
#include <QPrinter>
#include <QXmlStreamReader>

namespace
{

QString allText(QPdfDocument &document)
{
    QString text;
    for (int page = 0; page < document.pageCount(); ++page)
        text += document.getAllText(page).text() + QLatin1Char('\n');
    return text;
}

class ReportViewTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        auto business = twMakeReportBooks();
        ASSERT_TRUE(business);
        business->businessInfo()->setName(QStringLiteral("Hill & Dale"));
        document = std::make_unique<TWBusinessController>();
        document->setBusiness(std::move(business));
        controller = std::make_unique<TWReportController>();
        controller->setBusinessController(document.get());
        controller->setBusiness(document->business());
        controller->view()->resize(900, 700);
    }
    void TearDown() override
    {
        controller.reset();
        document.reset();
        TWAppTest::TearDown();
    }

    // The balance sheet as of the end of 2024, with graphs (four of them).
    void showBalanceSheet(bool graphs = true)
    {
        controller->setReport(twMakeReport(TWReportTypeBalanceSheet, TWReportDateTypeCustomDate,
                                           twDay(2024, 12, 31), {}, false, {}, {}, graphs));
    }

    TWFixedClock clock{twLocal(2025, 1, 10, 9, 0, 0)};
    std::unique_ptr<TWBusinessController> document;
    std::unique_ptr<TWReportController> controller;
};

} // namespace

TEST_F(ReportViewTest, ShowsTheReportAsAPdfAndZoomsNoFurtherThanOneAndAHalf)
{
    showBalanceSheet();
    QPdfDocument *pdf = controller->pdfDocument();
    ASSERT_EQ(pdf->status(), QPdfDocument::Status::Ready);
    ASSERT_GE(pdf->pageCount(), 1);
    const QString text = allText(*pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Hill & Dale"))) << text;
    // Checking 14,200 + Equipment 2,000 + Receivable 2,000.
    EXPECT_TRUE(text.contains(QStringLiteral("$18,200.00"))) << text;
    ASSERT_TRUE(controller->exportReport());
    EXPECT_EQ(twGraphs(controller->exportReport()->cells()).size(), 4);
    for (const TWGraphPtr &graph : twGraphs(controller->exportReport()->cells()))
        EXPECT_FALSE(graph->graphImage().isNull());

    controller->setZoomFactor(1.2);
    EXPECT_DOUBLE_EQ(controller->zoomFactor(), 1.2);
    controller->setZoomFactor(4);
    EXPECT_DOUBLE_EQ(controller->zoomFactor(), 1.5);
    // However the view is asked.
    controller->pdfView()->setZoomFactor(3);
    EXPECT_DOUBLE_EQ(controller->pdfView()->zoomFactor(), 1.5);

    // An edit of the report in the store shows at once.
    TWReportPtr edited = controller->report()->copy();
    edited->setName(QStringLiteral("Year End"));
    TWNotificationCenter::defaultCenter().postNotification(
        TWReportUpdateNotification, document->business(),
        {{TWReportNotificationKey, QVariant::fromValue(edited)}});
    EXPECT_TRUE(allText(*controller->pdfDocument()).contains(QStringLiteral("Year End")));
}

TEST_F(ReportViewTest, PrintsReadablePagesOnThePrintersPaper)
{
    showBalanceSheet();
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QByteArray pdf = controller->printOperation(printer);
    ASSERT_TRUE(pdf.startsWith("%PDF"));
    ASSERT_OK(twPrintPdf(pdf, printer));

    QPdfDocument printed;
    printed.load(path);
    ASSERT_EQ(printed.status(), QPdfDocument::Status::Ready);
    ASSERT_GE(printed.pageCount(), 1);
    const QSizeF page = printed.pagePointSize(0);
    EXPECT_NEAR(page.width(), 595, 2);
    EXPECT_NEAR(page.height(), 842, 2);
    // The pages are drawn (the printer gets pictures of them): ink on white.
    const QImage picture = printed.render(0, QSize(298, 421));
    ASSERT_FALSE(picture.isNull());
    int dark = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            dark += qGray(picture.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 200);
    // What was sent is the report laid out for the A4 page, text and all.
    QByteArray sent = pdf;
    QBuffer buffer(&sent);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument paged;
    paged.load(&buffer);
    ASSERT_EQ(paged.status(), QPdfDocument::Status::Ready);
    EXPECT_NEAR(paged.pagePointSize(0).width(), 595, 2);
    const QString text = allText(paged);
    EXPECT_TRUE(text.contains(QStringLiteral("Total Liabilities and Equities"))) << text;
    EXPECT_TRUE(text.contains(QStringLiteral("$18,200.00")));
    EXPECT_EQ(paged.pageCount(), printed.pageCount());
}

TEST_F(ReportViewTest, SavesEachFormatAndHtmlWithGraphsAsAFolder)
{
    showBalanceSheet();
    const QString pdfPath = dir.filePath(QStringLiteral("sheet.pdf"));
    ASSERT_TRUE(controller->saveReport(pdfPath, TWReportController::FormatPDF));
    EXPECT_EQ(bytes(pdfPath), controller->pdfData());

    const QString csvPath = dir.filePath(QStringLiteral("sheet.csv"));
    ASSERT_TRUE(controller->saveReport(csvPath, TWReportController::FormatCSV));
    const QString csv = QString::fromUtf8(bytes(csvPath));
    EXPECT_TRUE(csv.contains(QStringLiteral("\"Total Assets\",\"$18,200.00\""))) << csv;

    const QString folder = dir.filePath(QStringLiteral("sheet"));
    ASSERT_TRUE(controller->saveReport(folder, TWReportController::FormatHTML));
    const QString html = QString::fromUtf8(bytes(folder + QStringLiteral("/report.html")));
    for (int n = 1; n <= 4; ++n) {
        const QString image = QStringLiteral("images/graph%1.jpeg").arg(n);
        EXPECT_TRUE(html.contains(image)) << n;
        QImage read(folder + QLatin1Char('/') + image);
        EXPECT_FALSE(read.isNull()) << n;
    }
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/images/graph5.jpeg")));

    // Without graphs the page is the file itself.
    showBalanceSheet(false);
    const QString plain = dir.filePath(QStringLiteral("plain.html"));
    ASSERT_TRUE(controller->saveReport(plain, TWReportController::FormatHTML));
    EXPECT_TRUE(QFileInfo(plain).isFile());
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ReportViewTest, AWriteThatFailsIsShownAndNothingIsHalfWritten)
{
    showBalanceSheet();
    // A file stands where a folder must go (root ignores read-only folders).
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("in the way");
    file.close();

    EXPECT_FALSE(controller->saveReport(blocker + QStringLiteral("/sheet.csv"),
                                        TWReportController::FormatCSV));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors.last().localizedDescription().contains(QStringLiteral("sheet.csv")));
    EXPECT_FALSE(controller->saveReport(blocker + QStringLiteral("/sheet.pdf"),
                                        TWReportController::FormatPDF));
    EXPECT_EQ(prompts.errors.size(), 2);
    // HTML with graphs: the folder cannot be made where the file is.
    EXPECT_FALSE(controller->saveReport(blocker, TWReportController::FormatHTML));
    ASSERT_EQ(prompts.errors.size(), 3);
    EXPECT_TRUE(prompts.errors.last().localizedDescription().contains(blocker));
    EXPECT_EQ(bytes(blocker), QByteArray("in the way"));
    // The images' folder blocked: the page is written, the images are not, and it is said.
    const QString folder = dir.filePath(QStringLiteral("half"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile images(folder + QStringLiteral("/images"));
    ASSERT_TRUE(images.open(QIODevice::WriteOnly));
    images.close();
    EXPECT_FALSE(controller->saveReport(folder, TWReportController::FormatHTML));
    EXPECT_EQ(prompts.errors.size(), 4);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot),
              (QStringList{"images", "report.html"}));
}

TEST_F(ReportViewTest, TheSavePanelNamesTheFileForTheChosenFormat)
{
    EXPECT_EQ(TWReportController::fileNameForFormat(QStringLiteral("A - B.pdf"), 2, true),
              QStringLiteral("A - B.csv"));
    EXPECT_EQ(TWReportController::fileNameForFormat(QStringLiteral("A - B.pdf"), 1, true),
              QStringLiteral("A - B"));
    EXPECT_EQ(TWReportController::fileNameForFormat(QStringLiteral("A - B"), 1, false),
              QStringLiteral("A - B.html"));
    EXPECT_EQ(TWReportController::fileNameForFormat(QStringLiteral("A - B.csv"), 7, false),
              QStringLiteral("A - B"));
    // A dot in the business's name is not an extension.
    EXPECT_EQ(TWReportController::fileNameForFormat(QStringLiteral("Acme Ltd. - Income"), 0, false),
              QStringLiteral("Acme Ltd. - Income.pdf"));

    showBalanceSheet();
    controller->view()->show();
    controller->doSave();
    QFileDialog *panel = controller->savePanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->text(), QStringLiteral("Hill & Dale - Balance Sheet.pdf"));
    auto *formats = panel->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    ASSERT_TRUE(formats);
    ASSERT_EQ(formats->count(), 3);
    formats->setCurrentIndex(2);
    EXPECT_EQ(controller->formatTag(), 2);
    EXPECT_EQ(name->text(), QStringLiteral("Hill & Dale - Balance Sheet.csv"));
    formats->setCurrentIndex(1);
    EXPECT_EQ(name->text(), QStringLiteral("Hill & Dale - Balance Sheet"));

    // Choosing a place saves there.
    formats->setCurrentIndex(2);
    panel->setDirectory(dir.path());
    name->setText(QStringLiteral("chosen.csv"));
    static_cast<QDialog *>(panel)->accept();
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("chosen.csv"))).isFile());
    EXPECT_FALSE(controller->savePanel());
}

TEST_F(ReportViewTest, MailsAPdfCopyUnderASafeName)
{
    TWFakeMailHandOff mail;
    document->business()->businessInfo()->setName(QStringLiteral("../Hill/Dale"));
    showBalanceSheet();
    controller->doEmail();
    ASSERT_EQ(mail.files.size(), 1);
    ASSERT_TRUE(mail.existed.first());
    const QFileInfo sent(mail.files.first());
    EXPECT_EQ(sent.fileName(), QStringLiteral("..-Hill-Dale - Balance Sheet.pdf"));
    // In a new folder of its own inside the temporary folder.
    const QString temporary =
        QFileInfo(TWPreferences::preferences().temporaryDirectoryURL()).canonicalFilePath();
    EXPECT_EQ(QFileInfo(sent.absolutePath()).canonicalPath(), temporary);
    EXPECT_EQ(bytes(sent.filePath()), controller->pdfData());

    // No name: the report type alone. A mail program that cannot start is said.
    document->business()->businessInfo()->setName(QString());
    mail.answer = false;
    controller->doEmail();
    ASSERT_EQ(mail.files.size(), 2);
    EXPECT_EQ(QFileInfo(mail.files.last()).fileName(), QStringLiteral("Balance Sheet.pdf"));
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST(MailHandOff, TheDesktopsGetsAnAbsolutePathAsOneArgument)
{
    TWTestTempDir dir;
    const QString name = QStringLiteral("-rf; echo $HOME.pdf");
    EXPECT_EQ(TWDesktopMailHandOff::program(), QStringLiteral("xdg-email"));
    const QStringList arguments = TWDesktopMailHandOff::arguments(dir.filePath(name));
    ASSERT_EQ(arguments.size(), 2);
    EXPECT_EQ(arguments.at(0), QStringLiteral("--attach"));
    EXPECT_TRUE(QFileInfo(arguments.at(1)).isAbsolute());
    EXPECT_TRUE(arguments.at(1).endsWith(name));
    // Nothing is started for a file that is not there.
    TWDesktopMailHandOff desktop;
    EXPECT_FALSE(desktop.mailFile(dir.filePath(QStringLiteral("missing.pdf"))));
}

TEST_F(ReportViewTest, EveryReportTypeIsWellFormedHtml)
{
    for (int type = TWReportTypeBalanceSheet; type <= TWReportTypeClientsUninvoiced; ++type) {
        const bool single = type == TWReportTypeBalanceSheet || type == TWReportTypeTrialBalance;
        const TWReportPtr report =
            single ? twMakeReport(TWReportType(type), TWReportDateTypeCustomDate,
                                  twDay(2024, 12, 31), {}, true, twDay(2023, 12, 31), {}, true)
                   : twMakeReport(TWReportType(type), TWReportDateTypeCustomRange,
                                  twDay(2024, 1, 1), twDay(2024, 12, 31), true, twDay(2023, 1, 1),
                                  twDay(2023, 12, 31), true);
        TWExportReport builder(report, 1, *document->business());
        const TWCellList cells = builder.cells();
        ASSERT_FALSE(cells.isEmpty()) << type;
        const QString html = TWSerializerHTML::serializerWithCells(cells)->text();
        QXmlStreamReader reader(html);
        while (!reader.atEnd())
            reader.readNext();
        EXPECT_FALSE(reader.hasError())
            << type << ": " << reader.errorString() << " at " << reader.characterOffset() << "\n"
            << html.mid(std::max<qint64>(0, reader.characterOffset() - 300), 320);
    }
    // The double-underlined totals close what they open.
    TWCellList total{
        TWCell(QStringLiteral("$1.00"), QVariant(), QUrl(), 72, 0, 0, 0, 0, true, false, false, 1)};
    const QString text = TWSerializerHTML::serializerWithCells(total)->text();
    EXPECT_TRUE(text.contains(QStringLiteral("</b></span></u>"))) << text;
}

TEST_F(ReportViewTest, TheShellMakesTheReportViewAndItsEditorOnceRegistered)
{
    EXPECT_FALSE(TWAppRegistry::registry().hasEditor(TWEditorKind::ReportInfo));
    twRegisterReportsUI();
    EXPECT_TRUE(TWAppRegistry::registry().hasEditor(TWEditorKind::ReportInfo));
    std::unique_ptr<TWDetailController> detail(
        TWAppRegistry::registry().makeDetailController(TWDetailReport, nullptr));
    EXPECT_TRUE(qobject_cast<TWReportController *>(detail.get()));
}

TEST_F(ReportViewTest, WhatASaveWritesIsWhatItsNameSays)
{
    using C = TWReportController;
    struct Case {
        bool graphs;
        int chosen;
        const char *typed;
        const char *written; // a file, or a folder holding the page
        int format;
    };
    const Case cases[] = {
        {false, C::FormatCSV, "income.html", "income.html", C::FormatHTML},
        {false, C::FormatCSV, "income.pdf", "income.pdf", C::FormatPDF},
        {true, C::FormatHTML, "income-save.pdf", "income-save.pdf", C::FormatPDF},
        // The pop-up follows, and names the file as its format writes it.
        {false, C::FormatPDF, "income.CSV", "income.csv", C::FormatCSV},
        {false, C::FormatCSV, "income.txt", "income.txt.csv", C::FormatCSV},
        {true, C::FormatHTML, "paged.html", "paged", C::FormatHTML},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.typed);
        showBalanceSheet(test.graphs);
        controller->view()->show();
        controller->doSave();
        QFileDialog *panel = controller->savePanel();
        ASSERT_TRUE(panel);
        auto *formats = panel->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(formats && name);
        formats->setCurrentIndex(test.chosen);
        panel->setDirectory(dir.path());
        name->setText(QString::fromLatin1(test.typed));
        // The pop-up follows a format the name names.
        if (QFileInfo(name->text()).suffix().compare("txt") != 0) {
            EXPECT_EQ(formats->currentIndex(), test.format);
        }
        static_cast<QDialog *>(panel)->accept();
        QCoreApplication::processEvents();
        EXPECT_FALSE(controller->savePanel());
        EXPECT_EQ(controller->formatTag(), test.format);
        const QString written = dir.filePath(QString::fromLatin1(test.written));
        const bool folder = test.graphs && test.format == C::FormatHTML;
        ASSERT_EQ(QFileInfo(written).isDir(), folder);
        const QByteArray data = bytes(folder ? written + QStringLiteral("/report.html") : written);
        const char *const marks[] = {"%PDF", "<html", "Total Assets"};
        EXPECT_TRUE(data.contains(marks[test.format])) << data.left(80).constData();
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ReportViewTest, TheSavePanelNeverEntersNorWritesIntoABusiness)
{
    const QString package = dir.filePath(QStringLiteral("Books.tallyworth"));
    savePackage(package);
    showBalanceSheet(false);
    controller->view()->show();
    controller->doSave();
    QFileDialog *panel = controller->savePanel();
    ASSERT_TRUE(panel);
    panel->setDirectory(dir.path());
    // Opened from the list, it is shown from outside.
    panel->setDirectory(package);
    emit panel->directoryEntered(package);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->directory().absolutePath(), dir.path());

    // A file named inside it is refused, and the panel stays.
    panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("Books.tallyworth/inside.pdf"));
    static_cast<QDialog *>(panel)->accept();
    QCoreApplication::processEvents();
    ASSERT_EQ(controller->savePanel(), panel);
    QMessageBox *refusal = panel->findChild<QMessageBox *>();
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->text().contains(QStringLiteral("Books.tallyworth")));
    EXPECT_FALSE(QFileInfo::exists(package + QStringLiteral("/inside.pdf")));
    EXPECT_TRUE(QFileInfo(package).isDir());
    panel->reject();
}

// The send sheet on a real document: the preview cycle (renderings counted by
// the operations' reports), a broken layout, e-mail through a fake hand-off,
// saving, printing and the paid and overdue boxes.

#include "TWInvoiceSheetSupport.h"
#include "TWLayoutTestSupport.h"
#include "invoicing/ui/TWInvoiceController.h"
#include "invoicing/ui/TWSendInvoiceController.h"

#include "TWFakeMailHandOff.h"
#include "app/TWControls.h"
#include "app/TWSheetGeometry.h"
#include "invoicing/render/TWInvoiceOperation.h"
#include "model/TWLayoutManager.h"
#include "model/TWPreferences.h"
#include "model/TWTaskItem.h"
#include "model/TWUtilities.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QPdfDocument>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

#include <unistd.h>

namespace
{

class SendInvoiceSheetTest : public TWInvoiceSheetTest
{
protected:
    void TearDown() override
    {
        sheet.reset();
        TWSendInvoiceController::setSaveLocation({});
        TWInvoiceSheetTest::TearDown();
    }

    // A sheet on a stored invoice with a task, its first preview shown.
    void open(const TWInvoicePtr &invoice)
    {
        auto task = book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 3, 5000);
        task->setInvoiceQuantity(3);
        ASSERT_OK(book.b().updateInvoiceItems(invoice, {task}, {}));
        openSheet(invoice);
    }
    // A sheet on a stored invoice as it is, its first preview shown.
    void openSheet(const TWInvoicePtr &invoice)
    {
        sheet = std::make_unique<TWSendInvoiceController>();
        sheet->setBusinessController(book.document.get());
        sheet->setBusiness(&book.b());
        sheet->setInvoice(invoice);
        sheet->setPreviewDelay(40);
        QObject::connect(sheet.get(), &TWSendInvoiceController::renderingFinished,
                         [this] { ++renderings; });
        QObject::connect(sheet.get(), &TWSendInvoiceController::previewShown, [this] { ++shown; });
        sheet->update();
        ASSERT_TRUE(twWaitFor([this] { return shown == 1; }));
    }

    // Types into a label field as the user would.
    void typeLabel(int tag, const QString &text)
    {
        QLineEdit *field = sheet->labelField(tag);
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    std::unique_ptr<TWSendInvoiceController> sheet;
    int renderings = 0;
    int shown = 0;
    TWFakeMailHandOff mail;
};

TEST_F(SendInvoiceSheetTest, EditsWithinTheDelayGiveOneRenderingAndAnEditDuringOneGivesOneMore)
{
    open(book.storedInvoice(book.project, QStringLiteral("June")));
    EXPECT_EQ(renderings, 1);

    // Three edits within the delay: one rendering, of the last text.
    sheet->setPreviewDelay(300);
    typeLabel(TWDisplayInvoiceName, QStringLiteral("A"));
    typeLabel(TWDisplayInvoiceName, QStringLiteral("AB"));
    typeLabel(TWDisplayInvoiceName, QStringLiteral("Job"));
    ASSERT_TRUE(twWaitFor([this] { return renderings == 2; }));
    QTest::qWait(500);
    EXPECT_EQ(renderings, 2);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(twPdfText(sheet->previewData()).contains(QStringLiteral("Job")));

    // An edit while a rendering runs: that rendering is dropped and exactly
    // one more, of the latest data, is shown.
    sheet->updatePDF();
    ASSERT_TRUE(sheet->invoiceOperation());
    typeLabel(TWDisplayInvoiceName, QStringLiteral("Engagement"));
    // The delay runs out while the first rendering is still in flight.
    sheet->idleTimer()->stop();
    sheet->updatePDF();
    ASSERT_TRUE(twWaitFor([this] { return renderings == 4; }));
    QTest::qWait(500);
    EXPECT_EQ(renderings, 4);
    EXPECT_EQ(shown, 3);
    EXPECT_TRUE(twPdfText(sheet->previewData()).contains(QStringLiteral("Engagement")));
    EXPECT_EQ(sheet->previewDocument()->status(), QPdfDocument::Status::Ready);
}

TEST_F(SendInvoiceSheetTest, BrokenLayoutIsNamedInTheAlertAndThePreviewStays)
{
    open(book.storedInvoice(book.project, QStringLiteral("June")));
    const QByteArray before = sheet->previewData();
    ASSERT_FALSE(before.isEmpty());

    // A user layout without a page element.
    const QString path = twWritePackage(
        dir, QStringLiteral("Crooked.twlayout"),
        {{QStringLiteral("layout.xml"),
          QByteArray(R"(<?xml version="1.0"?><layout version="1.0" type="invoice"></layout>)")}});
    TWLayoutManager &manager = TWLayoutManager::layoutManager();
    const TWLayoutList saved = manager.layouts();
    TWLayoutPtr broken = TWLayout::layoutWithPath(path, 0, 1);
    manager.setLayouts(saved + TWLayoutList{broken});
    sheet->update();
    ASSERT_TRUE(twWaitFor([this] { return renderings == 2; }));
    const int index = sheet->layoutPopUpButton()->findText(broken->name());
    ASSERT_GE(index, 0);
    sheet->layoutPopUpButton()->setCurrentIndex(index);
    emit sheet->layoutPopUpButton()->activated(index);
    ASSERT_TRUE(twWaitFor([this] { return renderings == 3; }));
    manager.setLayouts(saved);

    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.constFirst().message.endsWith(QStringLiteral(": ") + broken->name()));
    EXPECT_FALSE(alerts.constFirst().informativeText.isEmpty());
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(twPdfText(sheet->previewData()), twPdfText(before));
}

// A client's layout deleted since it was chosen: the sheet shows the
// default and renders, e-mails and keeps that.
TEST_F(SendInvoiceSheetTest, ADeletedLayoutGivesWayToTheOneThePopUpShows)
{
    const TWLayoutPtr gone =
        TWLayout::layoutWithPath(dir.filePath(QStringLiteral("Gone.twlayout")), 0, 1);
    book.b().sendInvoiceData(*book.client)->setLayout(gone);
    open(book.storedInvoice(book.project, QStringLiteral("June")));
    const TWLayoutPtr shown = TWLayoutManager::layoutManager().defaultLayout();
    ASSERT_TRUE(shown);
    EXPECT_EQ(sheet->layoutPopUpButton()->currentText(), shown->name());
    EXPECT_EQ(book.b().sendInvoiceData(*book.client)->layout(), shown);
    sheet->emailButton()->click();
    EXPECT_EQ(mail.files.size(), 1);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SendInvoiceSheetTest, EmailWritesTheCurrentDataUnderASafeNameAndShowsAFailedHandOff)
{
    open(book.storedInvoice(book.project, QStringLiteral("3/2024")));
    // Edited a moment ago: the preview has not caught up.
    sheet->setPreviewDelay(60000);
    typeLabel(TWDisplayInvoiceName, QStringLiteral("Reference"));
    sheet->emailButton()->click();

    ASSERT_EQ(mail.files.size(), 1);
    EXPECT_TRUE(mail.existed.constFirst());
    const QFileInfo file(mail.files.constFirst());
    EXPECT_EQ(file.fileName(), sheet->fileName());
    EXPECT_FALSE(file.fileName().contains(QLatin1Char('/')));
    EXPECT_TRUE(file.fileName().startsWith(QStringLiteral("Studio North - 3")));
    EXPECT_TRUE(file.fileName().endsWith(QStringLiteral(".pdf")));
    // Inside a folder of its own, never in the temporary folder, which goes
    // at the quit: the mail program may read the file after it.
    const QString temporary =
        QFileInfo(TWUtilities::utilities().temporaryFilePath()).absolutePath();
    EXPECT_FALSE(file.absoluteFilePath().startsWith(temporary + QLatin1Char('/')));
    EXPECT_TRUE(
        file.absolutePath().section(QLatin1Char('/'), -2, -2).startsWith(QStringLiteral("Run")));
    EXPECT_TRUE(twPdfText(TWAppTest::bytes(file.filePath())).contains(QStringLiteral("Reference")));
    EXPECT_FALSE(twPdfText(sheet->previewData()).contains(QStringLiteral("Reference")));
    EXPECT_TRUE(prompts.errors.isEmpty());
    // What a quit removes leaves it.
    TWPreferences::preferences().deleteTempFiles();
    EXPECT_TRUE(file.exists());

    // No mail program to take it (none on the path, or one that does not start).
    mail.answer = false;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8());
    sheet->emailButton()->click();
    qputenv("PATH", path);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.constFirst().domain(), QStringLiteral("Tallyworth Invoice Error"));
    EXPECT_TRUE(
        prompts.errors.constFirst().localizedDescription().contains(QStringLiteral("xdg-email")));
}

TEST_F(SendInvoiceSheetTest, PaidAndOverdueBoxesFollowTheInvoice)
{
    // Paid and past its due date: never stamped overdue.
    open(book.storedInvoice(book.project, QStringLiteral("Paid"), twLocal(2024, 6, 15), true));
    EXPECT_TRUE(sheet->checkbox(TWDisplayPaidOverlay)->isEnabled());
    EXPECT_TRUE(sheet->checkbox(TWDisplayPaidOverlay)->isChecked());
    EXPECT_FALSE(sheet->checkbox(TWDisplayOverdueOverlay)->isEnabled());
    EXPECT_FALSE(sheet->checkbox(TWDisplayOverdueOverlay)->isChecked());
    EXPECT_TRUE(sheet->labelField(TWDisplayOverdueOverlay)->text().isEmpty());

    // Unpaid and past due: overdue on, paid off and empty.
    sheet->setInvoice(
        book.storedInvoice(book.project, QStringLiteral("Late"), twLocal(2024, 6, 15)));
    sheet->update();
    EXPECT_TRUE(sheet->checkbox(TWDisplayOverdueOverlay)->isEnabled());
    EXPECT_TRUE(sheet->checkbox(TWDisplayOverdueOverlay)->isChecked());
    EXPECT_FALSE(sheet->checkbox(TWDisplayPaidOverlay)->isEnabled());
    EXPECT_TRUE(sheet->labelField(TWDisplayPaidOverlay)->text().isEmpty());

    // No due date: never overdue.
    sheet->setInvoice(book.storedInvoice(book.project, QStringLiteral("Open")));
    sheet->update();
    EXPECT_FALSE(sheet->checkbox(TWDisplayOverdueOverlay)->isEnabled());
}

TEST_F(SendInvoiceSheetTest, SaveWritesTheInvoiceAndAFailedWriteKeepsTheOldFile)
{
    open(book.storedInvoice(book.project, QStringLiteral("June")));
    QString target = dir.filePath(QStringLiteral("June.pdf"));
    QStringList proposed;
    TWSendInvoiceController::setSaveLocation(
        [&](QWidget *, const QString &name, std::function<void(const QString &)> done) {
            proposed.append(name);
            done(target);
        });
    sheet->saveButton()->click();
    EXPECT_EQ(proposed, QStringList{QStringLiteral("Studio North - June.pdf")});
    EXPECT_TRUE(twPdfText(TWAppTest::bytes(target)).contains(QStringLiteral("June")));
    EXPECT_TRUE(prompts.errors.isEmpty());

    // A folder that takes no new file (root is not held back by permissions;
    // no one can make a file in /proc/self).
    QString folder = dir.filePath(QStringLiteral("locked"));
    QString old = QStringLiteral("comm");
    if (::geteuid() != 0) {
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(QDir(folder).filePath(old));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old invoice");
        file.close();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    } else {
        folder = QStringLiteral("/proc/self");
    }
    target = QDir(folder).filePath(old);
    const QByteArray before = TWAppTest::bytes(target);
    sheet->saveButton()->click();
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.constFirst().domain(), QStringLiteral("Tallyworth Invoice Error"));
    EXPECT_EQ(TWAppTest::bytes(target), before);
}

TEST_F(SendInvoiceSheetTest, PrintingGivesThePreviewsPagesAndText)
{
    auto invoice = book.storedInvoice(book.project, QStringLiteral("Printed"));
    open(invoice);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(path);
    ASSERT_OK(sheet->print(printer));

    // The printer gets the pages as pictures; the rendering it was given
    // carries the text.
    TWReadPdf printed(TWAppTest::bytes(path));
    TWReadPdf preview(sheet->previewData());
    ASSERT_TRUE(printed.ok());
    EXPECT_EQ(printed.pages(), preview.pages());
    TWErrorResult error;
    TWReadPdf rendered(sheet->printOperation(printer, &error));
    ASSERT_OK(error);
    EXPECT_EQ(rendered.pages(), preview.pages());
    EXPECT_EQ(twPdfText(rendered.bytes), twPdfText(preview.bytes));
    EXPECT_TRUE(rendered.text(0).contains(QStringLiteral("Printed")));
    EXPECT_TRUE(rendered.text(0).contains(QStringLiteral("Design"))) << rendered.text(0);
}

TEST_F(SendInvoiceSheetTest, ReadingTheProjectWhileTheSheetIsOpenChangesNoRenderedAmount)
{
    // A timed task (1.5 h at 60.00), a monthly one (2 at 500.00) and an
    // expense (25.00), each billed whole.
    const TWTaskPtr timed =
        book.addTask(book.project, QStringLiteral("Timed"), TWTaskTypeTimed, 0, 6000);
    ASSERT_OK(book.b().addTaskItem(
        TWTaskItem::taskItemWithStartDateTime(twLocal(2024, 6, 3, 9), twLocal(2024, 6, 3, 10, 30),
                                              QString(), timed->identifier(),
                                              book.b().nextTaskItemIdentifier()),
        false));
    const TWTaskPtr monthly =
        book.addTask(book.project, QStringLiteral("Retainer"), TWTaskTypeMonth, 2, 50000);
    const TWExpensePtr paper = book.addExpense(book.project, QStringLiteral("Paper"), 2500);
    TWTaskPtr timedLine = timed->copy();
    timedLine->setInvoiceQuantity(5400);
    TWTaskPtr monthlyLine = monthly->copy();
    monthlyLine->setInvoiceQuantity(2);
    TWExpensePtr paperLine = paper->copy();
    paperLine->setInvoiceQuantity(1);
    const TWInvoicePtr invoice = book.storedInvoice(book.project, QStringLiteral("June"));
    ASSERT_OK(book.b().updateInvoiceItems(invoice, {timedLine, monthlyLine}, {paperLine}));
    const qint64 subtotal = twInvoiceSubtotal(*invoice, book.b());
    ASSERT_EQ(subtotal, 9000 + 100000 + 2500);
    openSheet(invoice);

    // The client view repaints its uninvoiced column behind the sheet.
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 0);
    sheet->updatePDF();
    ASSERT_TRUE(twWaitFor([this] { return shown == 2; }));
    const QString text = twPdfText(sheet->previewData());
    for (const char *line : {"Timed 1:30 60.00 90.00", "Month 2 500.00 1,000.00",
                             "Expense 1 25.00 25.00", "Subtotal $1,115.00"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line << "\n" << text.toStdString();

    // Printing renders the same amounts, and so does the next opening.
    QPrinter printer(QPrinter::HighResolution);
    TWErrorResult error;
    const QString printed = twPdfText(sheet->printOperation(printer, &error));
    ASSERT_OK(error);
    EXPECT_TRUE(printed.contains(QStringLiteral("$1,115.00"))) << printed.toStdString();
    sheet.reset();
    shown = 0;
    openSheet(invoice);
    EXPECT_EQ(twUninvoicedTotal(*book.project, book.b()), 0);
    EXPECT_TRUE(twPdfText(sheet->printOperation(printer, &error)).contains("$1,115.00"));
    EXPECT_EQ(twInvoiceSubtotal(*invoice, book.b()), subtotal);
}

TEST_F(SendInvoiceSheetTest, SheetOpensAtTheViewsFullSizeWithinTheScreen)
{
    book.document->makeWindowControllers();
    book.document->showWindows();
    open(book.storedInvoice(book.project, QStringLiteral("June")));
    QScreen *screen = book.document->windowForSheet()->screen();
    ASSERT_TRUE(screen);
    // The room is the screen's less the frame the sheet wears (that of the
    // document window): a view wider than that would be cut off.
    const QSize room = TWSheetAvailableSize(book.document->windowForSheet());
    const QSize expected = QSize(1000, 760).boundedTo(QSize(room.width(), room.height() - 100));
    book.document->beginSheetWithView(sheet->view(), false, true, [](int) {});
    EXPECT_EQ(sheet->view()->size(), expected);
    EXPECT_EQ(sheet->view()->window()->size(), expected);
    book.document->endSheet(sheet->view(), -1002);
}

// Not a check: with TW_SEND_SHEET_PACKAGE naming a business package, shows the
// sheet on its invoice with the most lines and writes a picture of it to
// TW_SEND_SHEET_SHOT, to be looked at.
TEST(SendInvoiceSheetLook, PictureOfTheSheet)
{
    const QString package = qEnvironmentVariable("TW_SEND_SHEET_PACKAGE");
    const QString shot = qEnvironmentVariable("TW_SEND_SHEET_SHOT");
    if (package.isEmpty() || shot.isEmpty())
        GTEST_SKIP() << "set TW_SEND_SHEET_PACKAGE and TW_SEND_SHEET_SHOT to take a picture";
    TWErrorResult error;
    auto document = std::make_unique<TWBusinessController>();
    document->setBusiness(TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false, &error));
    ASSERT_TRUE(document->business()) << (error ? error->localizedDescription() : QString());
    TWBusiness &b = *document->business();
    TWInvoicePtr chosen;
    qsizetype lines = -1;
    for (const TWInvoicePtr &invoice : b.invoices()) {
        const qsizetype count =
            b.tasksWithInvoice(*invoice).size() + b.expensesWithInvoice(*invoice).size();
        if (count > lines) {
            lines = count;
            chosen = invoice;
        }
    }
    ASSERT_TRUE(chosen);
    document->makeWindowControllers();
    document->showWindows();
    TWSendInvoiceController sheet;
    sheet.setBusinessController(document.get());
    sheet.setBusiness(&b);
    sheet.setInvoice(chosen);
    int shown = 0;
    QObject::connect(&sheet, &TWSendInvoiceController::previewShown, [&shown] { ++shown; });
    sheet.update();
    document->beginSheetWithView(sheet.view(), true, true, nullptr);
    ASSERT_TRUE(twWaitFor([&shown] { return shown > 0; }));
    QTest::qWait(1500);
    EXPECT_TRUE(sheet.view()->window()->grab().save(shot));
    document->endSheet(sheet.view(), -1001);
    sheet.reset();

    const QString editorShot = qEnvironmentVariable("TW_INVOICE_EDITOR_SHOT");
    if (editorShot.isEmpty())
        return;
    TWInvoiceController editor;
    editor.setInvoice(chosen);
    editor.setMode(1);
    editor.setBusinessController(document.get());
    editor.setBusiness(&b);
    editor.update();
    document->beginSheetWithView(editor.view(), false, true, nullptr);
    QTest::qWait(1000);
    EXPECT_TRUE(editor.view()->window()->grab().save(editorShot));
    editor.doSave(0);
}

} // namespace

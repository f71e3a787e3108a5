// The export sheets driven through their widgets on a real business: the
// written files, the attachment folder and its links, what an export may
// replace, the choice tables and the date check.

#include "TWDateTypingSupport.h"
#include "TWExportTestSupport.h"
#include "export/core/TWExportFiles.h"
#include "export/ui/TWExportChoiceModel.h"
#include "export/ui/TWExportTransactionsController.h"
#include "export/ui/TWExportWorkController.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "app/TWPackageFileDialog.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWExpense.h"
#include "model/TWProject.h"
#include "model/TWTask.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTableView>
#include <QUrl>

#include <gtest/gtest.h>

namespace
{

const QList<qint32> kLedgerColumns{-3, -4, -5, -6, -7, -8, -10, -11, -12, -13, -16};

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Picks a pop-up item by tag as a click would.
void choose(TWPopUpButton *popUp, int tag)
{
    ASSERT_TRUE(popUp->selectItemWithTag(tag));
    emit popUp->activated(popUp->currentIndex());
}

void tick(TWExportChoiceModel *model, int row, bool on)
{
    ASSERT_TRUE(
        model->setData(model->index(row, 0), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
}

class ExportSheetFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twSeededBusiness();
        ASSERT_TRUE(business);
        ASSERT_TRUE(dir.isValid());
        target = dir.filePath(QStringLiteral("out"));
        TWExportSheetController::setSaveLocation(
            [this](QWidget *, const QString &proposed, std::function<void(const QString &)> done) {
                proposals.append(proposed);
                done(target);
            });
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(1000);
        });
    }
    void TearDown() override
    {
        TWExportSheetController::setSaveLocation({});
        twSetAlertPresenter({});
    }

    void watch(TWExportSheetController &sheet)
    {
        sheet.setBusiness(business.get());
        QObject::connect(&sheet, &TWExportSheetController::errorPresented,
                         [this](const TWError &error) { errors.append(error); });
        QObject::connect(&sheet, &TWEditorController::endRequested,
                         [this](int code) { codes.append(code); });
    }

    // Stores the export choice the sheet starts from.
    void storeChoice(std::uint32_t fileType, const QList<qint32> &accounts,
                     const QList<qint32> &fields, bool attachments = true)
    {
        TWAccountList chosen;
        for (const qint32 identifier : accounts)
            chosen.append(business->accountWithIdentifier(identifier));
        TWFieldList columns;
        for (const qint32 identifier : fields)
            columns.append(business->fieldWithIdentifier(identifier));
        business->setExportTransactionsSettings(
            TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
                fileType, nullptr, 0, QDateTime(), QDateTime(), chosen, columns, attachments));
    }

    // An attachment of the stored transaction, from a new file holding `bytes`.
    void attach(qint32 identifier, const QString &name, const QByteArray &bytes,
                const QString &storedName = QString())
    {
        const QString source =
            dir.filePath(QStringLiteral("source-%1-%2").arg(identifier).arg(++m_sources));
        ASSERT_TRUE(writeBytes(source, bytes));
        TWTransactionPtr copy = business->transactionWithIdentifier(identifier)->copy();
        const TWAttachmentPtr attachment =
            copy->addAttachmentFile(source, TWAttachmentTypeFile, name, -1);
        ASSERT_TRUE(attachment);
        if (!storedName.isEmpty())
            attachment->setFileName(storedName);
        ASSERT_OK(business->updateTransaction(copy, false, false, false, false));
    }

    TWLocaleGuard locale{QStringLiteral("en_US")};
    TWFixedClock clock{2024, 6, 15};
    QTemporaryDir dir;
    QString target;
    std::unique_ptr<TWBusiness> business;
    QStringList proposals;
    QStringList alerts;
    QList<TWError> errors;
    QList<int> codes;
    int m_sources = 0;
};

using ExportTransactionsSheetTest = ExportSheetFixture;
using ExportWorkSheetTest = ExportSheetFixture;

} // namespace

TEST_F(ExportTransactionsSheetTest, CsvOfTheGoldenSelectionIsTheWritersGoldenFile)
{
    storeChoice(TWExportFileTypeCSV, {kChecking, kSavings}, kLedgerColumns);
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    ASSERT_TRUE(sheet.exportButton()->isEnabled());
    sheet.exportButton()->click();
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_EQ(proposals, QStringList{QStringLiteral("transactions.csv")});
    EXPECT_TRUE(errors.isEmpty());
    twExpectGolden(QStringLiteral("seeded.csv"), bytes(target));
    // The confirmed copy is now the stored choice.
    EXPECT_EQ(business->exportTransactionsSettings(), sheet.exportSettings());
}

TEST_F(ExportTransactionsSheetTest, QifAndOfxLeaveTheColumnsAndAttachmentsAsideAndWriteOneFile)
{
    storeChoice(TWExportFileTypeCSV, {kChecking}, kLedgerColumns);
    attach(1, QStringLiteral("receipt.pdf"), "pdf");
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    for (const auto &[tag, extension, start] :
         {std::tuple{4, "qif", "!Account"}, std::tuple{2, "ofx", "OFXHEADER"}}) {
        choose(sheet.fileTypePopUpButton(), tag);
        EXPECT_FALSE(sheet.fieldsTableView()->isEnabled());
        EXPECT_FALSE(sheet.includeAttachmentsCheckbox()->isEnabled());
        sheet.exportButton()->click();
        EXPECT_EQ(proposals.constLast(), QStringLiteral("transactions.") + extension);
        EXPECT_TRUE(QFileInfo(target).isFile());
        EXPECT_TRUE(bytes(target).startsWith(start)) << extension;
        sheet.reset();
    }
    choose(sheet.fileTypePopUpButton(), 1);
    EXPECT_TRUE(sheet.fieldsTableView()->isEnabled());
    EXPECT_TRUE(errors.isEmpty());
}

// Saved through the dialog itself: with no Documents folder the export is
// proposed in the home folder the dialog shows, and a name typed without the
// format's extension gets it.
TEST_F(ExportTransactionsSheetTest, TheDialogProposesAFolderThatExistsAndANameGetsItsExtension)
{
    const QString home = dir.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
    TWExportSheetController::setSaveLocation({});
    storeChoice(TWExportFileTypeCSV, {kChecking}, kLedgerColumns, false);
    TWExportTransactionsController sheet;
    watch(sheet);
    struct Case {
        int tag;
        const char *proposed;
        const char *typed;
        const char *written;
    };
    for (const Case &test : {Case{0, "transactions.csv", "chk-jan", "chk-jan.csv"},
                             Case{4, "transactions.qif", "chk-jan.QIF", "chk-jan.QIF"},
                             Case{2, "transactions.ofx", "chk.jan", "chk.jan.ofx"}}) {
        SCOPED_TRACE(test.typed);
        sheet.reset();
        choose(sheet.fileTypePopUpButton(), test.tag);
        sheet.exportButton()->click();
        auto *panel = sheet.view()->findChild<TWPackageFileDialog *>();
        ASSERT_TRUE(panel);
        EXPECT_EQ(panel->directory().absolutePath(), home);
        auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        EXPECT_EQ(name->text(), QLatin1String(test.proposed));
        name->setText(QLatin1String(test.typed));
        panel->accept();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(QFileInfo(QDir(home).filePath(QLatin1String(test.written))).isFile());
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(home).filePath(QStringLiteral("chk-jan"))));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ExportTransactionsSheetTest, AttachmentsGoIntoTheFolderUnderSafeUniqueNamesTheLinksReach)
{
    storeChoice(TWExportFileTypeHTML, {kChecking}, {-4, -5, -14});
    attach(1, QStringLiteral("a.pdf"), "first");
    attach(2, QStringLiteral("a.pdf"), "second");
    attach(3, QStringLiteral("x.txt"), "escape", QStringLiteral("../../evil.txt"));
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    sheet.exportButton()->click();
    ASSERT_TRUE(errors.isEmpty()) << errors.constFirst().localizedDescription();
    EXPECT_EQ(proposals, QStringList{QStringLiteral("transactions")});
    EXPECT_EQ(entries(target),
              (QStringList{QStringLiteral("Attachments"), QStringLiteral("transactions.html")}));
    const QString attachments = QDir(target).filePath(QStringLiteral("Attachments"));
    EXPECT_EQ(entries(attachments),
              (QStringList{QStringLiteral("..-..-evil.txt"), QStringLiteral("a-2.pdf"),
                           QStringLiteral("a.pdf")}));
    EXPECT_EQ(bytes(QDir(attachments).filePath(QStringLiteral("a.pdf"))), "first");
    EXPECT_EQ(bytes(QDir(attachments).filePath(QStringLiteral("a-2.pdf"))), "second");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("evil.txt"))));
    // Every link of the page resolves to a copied file.
    const QString html =
        QString::fromUtf8(bytes(QDir(target).filePath(QStringLiteral("transactions.html"))));
    QString decoded = html;
    static const QRegularExpression entity(QStringLiteral("&#x([0-9a-fA-F]+);"));
    QRegularExpressionMatch match;
    while ((match = entity.match(decoded)).hasMatch())
        decoded.replace(match.capturedStart(), match.capturedLength(),
                        QChar(match.captured(1).toUInt(nullptr, 16)));
    static const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    int links = 0;
    for (auto it = href.globalMatch(decoded); it.hasNext(); ++links) {
        const QString link = QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
        EXPECT_TRUE(QFileInfo(QDir(target).filePath(link)).isFile()) << link;
    }
    EXPECT_EQ(links, 3);
}

TEST_F(ExportTransactionsSheetTest, AnEarlierExportIsReplacedAnythingElseIsLeftAlone)
{
    storeChoice(TWExportFileTypeCSV, {kChecking}, {-4, -14});
    attach(1, QStringLiteral("a.pdf"), "one");
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    sheet.exportButton()->click();
    ASSERT_TRUE(errors.isEmpty());
    const QString copy = QDir(target).filePath(QStringLiteral("Attachments/a.pdf"));
    ASSERT_EQ(bytes(copy), "one");

    // Again over it, now as HTML: the earlier export goes, the new one is whole.
    attach(2, QStringLiteral("b.pdf"), "two");
    sheet.reset();
    choose(sheet.fileTypePopUpButton(), 1);
    sheet.exportButton()->click();
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_EQ(entries(target),
              (QStringList{QStringLiteral("Attachments"), QStringLiteral("transactions.html")}));
    EXPECT_EQ(entries(QDir(target).filePath(QStringLiteral("Attachments"))).size(), 2);
    EXPECT_EQ(entries(dir.path()).filter(QStringLiteral(".out")), QStringList());

    // A copy failing halfway leaves the earlier export as it was.
    const QStringList before = entries(QDir(target).filePath(QStringLiteral("Attachments")));
    const TWAttachmentList stored =
        *twLoadedAttachments(*business->transactionWithIdentifier(2), *business);
    ASSERT_TRUE(QFile::remove(stored.constFirst()->filePath()));
    sheet.reset();
    sheet.exportButton()->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(entries(QDir(target).filePath(QStringLiteral("Attachments"))), before);
    EXPECT_TRUE(QFileInfo::exists(QDir(target).filePath(QStringLiteral("transactions.html"))));
    EXPECT_EQ(entries(dir.path()).filter(QStringLiteral(".out")), QStringList());

    // A folder of the user's own is never replaced.
    errors.clear();
    target = dir.filePath(QStringLiteral("documents"));
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(writeBytes(QDir(target).filePath(QStringLiteral("keep.txt")), "mine"));
    for (const int tag : {0, 4}) {
        sheet.reset();
        choose(sheet.fileTypePopUpButton(), tag);
        sheet.exportButton()->click();
    }
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(entries(target), QStringList{QStringLiteral("keep.txt")});
    EXPECT_EQ(bytes(QDir(target).filePath(QStringLiteral("keep.txt"))), "mine");
}

TEST_F(ExportTransactionsSheetTest, AFileIsReplacedWholeALinkAsALinkAndAFailedWriteKeepsTheOld)
{
    storeChoice(TWExportFileTypeCSV, {kChecking}, {-4});
    TWExportTransactionsController sheet;
    watch(sheet);
    ASSERT_TRUE(writeBytes(target, "old export"));
    sheet.reset();
    sheet.exportButton()->click();
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_TRUE(bytes(target).startsWith("\"Identifier\""));

    // A link at the target is replaced itself; what it points at stays.
    const QString pointed = dir.filePath(QStringLiteral("elsewhere.csv"));
    ASSERT_TRUE(writeBytes(pointed, "not ours"));
    ASSERT_TRUE(QFile::remove(target));
    ASSERT_TRUE(QFile::link(pointed, target));
    sheet.reset();
    sheet.exportButton()->click();
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(bytes(pointed), "not ours");

    // Where the folder cannot be written (a file stands where the folder
    // must be), the error is shown and nothing is left behind.
    target = dir.filePath(QStringLiteral("elsewhere.csv/out.csv"));
    sheet.reset();
    sheet.exportButton()->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.constFirst().domain(), QStringLiteral("Tallyworth Export Error"));
    EXPECT_EQ(bytes(pointed), "not ours");
}

TEST_F(ExportTransactionsSheetTest, ChoiceTablesAllRowColumnOrderAndTheDateCheck)
{
    storeChoice(TWExportFileTypeCSV, {}, {});
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    EXPECT_FALSE(sheet.exportButton()->isEnabled());
    TWExportChoiceModel *accounts = sheet.itemsModel();
    tick(accounts, 2, true);
    EXPECT_EQ(accounts->data(accounts->index(0, 0), Qt::CheckStateRole).toInt(),
              Qt::PartiallyChecked);
    // The "all" row from mixed ticks every account in display order.
    tick(accounts, 0, true);
    EXPECT_EQ(sheet.exportSettings()->accounts(), sheet.accounts());
    tick(accounts, 0, false);
    EXPECT_TRUE(sheet.exportSettings()->accounts().isEmpty());
    tick(accounts, 1, true);

    // Columns ticked in any order are written in the table's order after a drag.
    TWExportChoiceModel *fields = sheet.fieldsModel();
    const auto rowOf = [&sheet](qint32 identifier) {
        for (int i = 0; i < sheet.fields().size(); ++i) {
            if (sheet.fields().at(i)->identifier() == identifier)
                return i + 1;
        }
        return -1;
    };
    tick(fields, rowOf(-5), true); // payee
    tick(fields, rowOf(-4), true); // identifier
    EXPECT_TRUE(sheet.exportButton()->isEnabled());
    // The payee dragged onto row 1, above everything.
    std::unique_ptr<QMimeData> drag(fields->mimeData({fields->index(rowOf(-5), 0)}));
    ASSERT_TRUE(drag);
    EXPECT_FALSE(fields->canDropMimeData(drag.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    EXPECT_FALSE(fields->dropMimeData(drag.get(), Qt::MoveAction, 0, 0, QModelIndex()));
    EXPECT_FALSE(fields->mimeData({fields->index(0, 0)}));
    ASSERT_TRUE(fields->dropMimeData(drag.get(), Qt::MoveAction, 1, 0, QModelIndex()));
    EXPECT_EQ(sheet.fields().constFirst()->identifier(), -5);
    sheet.exportButton()->click();
    ASSERT_TRUE(errors.isEmpty());
    EXPECT_TRUE(bytes(target).startsWith("\"Payee\",\"Identifier\""))
        << bytes(target).left(40).constData();

    // A custom range that ends before it starts keeps the sheet open.
    codes.clear();
    sheet.reset();
    choose(sheet.intervalPopUpButton(), 6);
    EXPECT_TRUE(sheet.fromDatePicker()->isEnabled());
    sheet.fromDatePicker()->setDate(QDate(2024, 5, 2));
    sheet.toDatePicker()->setDate(QDate(2024, 5, 1));
    ASSERT_TRUE(QFile::remove(target));
    sheet.exportButton()->click();
    EXPECT_EQ(alerts, QStringList{TWLocalized("exportInvalidDates")});
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));

    // A To whose text was refused is named, before the order of the dates
    // shown is checked; nothing is written.
    alerts.clear();
    twTypeDate(sheet.toDatePicker(), QStringLiteral("35/35/35"));
    sheet.exportButton()->click();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(twNamesField(alerts.first(), TWLocalized("exportTo"))) << alerts.first();
    EXPECT_EQ(sheet.toDatePicker()->text(), QStringLiteral("35/35/35"));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
    choose(sheet.intervalPopUpButton(), 0);
    EXPECT_FALSE(sheet.fromDatePicker()->isEnabled());
}

// Greyed, the date fields show the days the export covers; the custom days
// come back with Custom.
TEST_F(ExportTransactionsSheetTest, GreyedDatesAreTheDaysTheExportCovers)
{
    const TWFixedClock clock{2026, 12, 8};
    storeChoice(TWExportFileTypeCSV, {}, {});
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    choose(sheet.intervalPopUpButton(), 6);
    sheet.fromDatePicker()->setDate(QDate(2024, 5, 2));
    sheet.toDatePicker()->setDate(QDate(2024, 5, 9));
    const QDate today(2026, 12, 8);
    struct Case {
        int interval;
        QDate from;
        QDate to;
    };
    for (const Case &c :
         {Case{2, today.addDays(-1), today.addDays(-1)}, Case{5, today.addYears(-1), today},
          Case{6, {2024, 5, 2}, {2024, 5, 9}}, Case{1, today, today}}) {
        SCOPED_TRACE(c.interval);
        choose(sheet.intervalPopUpButton(), c.interval);
        EXPECT_EQ(sheet.fromDatePicker()->date(), c.from);
        EXPECT_EQ(sheet.toDatePicker()->date(), c.to);
    }
    EXPECT_EQ(sheet.exportSettings()->intervalFromDate().date(), QDate(2024, 5, 2));
}

TEST_F(ExportTransactionsSheetTest, ClickedCustomDatesTakeWhatIsTypedAndTabWalksTheForm)
{
    storeChoice(TWExportFileTypeCSV, {}, {});
    TWExportTransactionsController sheet;
    watch(sheet);
    sheet.reset();
    choose(sheet.intervalPopUpButton(), 6);
    // Top to bottom as the rows stand; the calendar buttons are the mouse's.
    EXPECT_EQ(twTabWalk(sheet.fileTypePopUpButton(), 6),
              (QList<QWidget *>{sheet.filterPopUpButton(), sheet.includeAttachmentsCheckbox(),
                                sheet.intervalPopUpButton(), sheet.fromDatePicker(),
                                sheet.toDatePicker(), sheet.itemsTableView()}));

    sheet.intervalPopUpButton()->setFocus();
    twClickAndTypeDate(sheet.fromDatePicker(), QStringLiteral("5/2/24"));
    EXPECT_EQ(QApplication::focusWidget(), sheet.toDatePicker());
    EXPECT_EQ(sheet.fromDatePicker()->date(), QDate(2024, 5, 2));
    EXPECT_EQ(sheet.exportSettings()->intervalFromDate().date(), QDate(2024, 5, 2));
}

TEST_F(ExportWorkSheetTest, TasksAndExpensesOfTheChosenProjectsInTheirFormats)
{
    TWBusiness &b = *business;
    const TWClientPtr client = TWClient::clientWithIdentifier(
        b.nextClientIdentifier(), QStringLiteral("Ada"), QStringLiteral("Acme"), 0, 0, QImage(), {},
        {}, {}, QUrl(), {}, {});
    ASSERT_OK(b.addClient(client, false));
    const TWProjectPtr project = TWProject::projectWithDate(
        twLocal(2024, 1, 1), false, QStringLiteral("Site"), TWProjectTypeProject, {}, {}, 0,
        b.unitWithCode(QStringLiteral("USD")), 0.0, {}, client->identifier(),
        b.nextProjectIdentifier());
    ASSERT_OK(b.addProject(project, false));
    ASSERT_OK(b.addTask(TWTask::taskWithDate(twLocal(2024, 3, 5), false, QStringLiteral("Survey"),
                                             TWTaskTypeFlat, 1.0, 0.0, 123456, 0.0, QString(),
                                             project->identifier(), b.nextTaskIdentifier()),
                        false));
    ASSERT_OK(b.addExpense(
        TWExpense::expenseWithDate(twLocal(2024, 3, 6), QStringLiteral("Nails"), 2.0, 150000, 0.0,
                                   QString(), project->identifier(), b.nextExpenseIdentifier()),
        false));

    TWExportTasksController tasks;
    watch(tasks);
    tasks.reset();
    EXPECT_EQ(tasks.itemsModel()->data(tasks.itemsModel()->index(1, 0), Qt::DisplayRole).toString(),
              QStringLiteral("Ada - Site"));
    tick(tasks.itemsModel(), 0, true);
    ASSERT_TRUE(tasks.exportButton()->isEnabled());
    tasks.exportButton()->click();
    EXPECT_EQ(proposals.constLast(), QStringLiteral("tasks.csv"));
    // CSV money without grouping, HTML with it.
    EXPECT_TRUE(bytes(target).contains("1234.56")) << bytes(target).constData();
    tasks.reset();
    choose(tasks.fileTypePopUpButton(), 1);
    tasks.exportButton()->click();
    EXPECT_EQ(proposals.constLast(), QStringLiteral("tasks.html"));
    EXPECT_TRUE(bytes(target).contains("1&#x2c;234&#x2e;56"));

    TWExportExpensesController expenses;
    watch(expenses);
    expenses.reset();
    tick(expenses.itemsModel(), 1, true);
    expenses.exportButton()->click();
    EXPECT_EQ(proposals.constLast(), QStringLiteral("expenses.csv"));
    EXPECT_TRUE(bytes(target).contains("Nails"));
    EXPECT_TRUE(errors.isEmpty());
}

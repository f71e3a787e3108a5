// The file dialogs of business documents: a package is one document in them,
// chosen by its name and never opened as a folder, and saving over one asks
// to replace it.

#include "TWTestSupport.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWPackageFileDialog.h"
#include "app/TWPrint.h"

#include "foundation/TWLocalized.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace
{

class PackageDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(package));
        QFile data(QDir(package).filePath(QStringLiteral("Data.sql")));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Folder"))));
    }

    QLineEdit *nameField(QFileDialog &dialog) const
    {
        return dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    }
    void type(QFileDialog &dialog, const QString &text) const
    {
        QLineEdit *name = nameField(dialog);
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, text);
        QTest::keyClick(name, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // The question on the dialog, answered with the button titled `answer`.
    static QString answer(QFileDialog &dialog, const QString &answer)
    {
        QMessageBox *box = dialog.findChild<QMessageBox *>();
        if (!box || !box->isVisible())
            return QStringLiteral("(none)");
        const QString text = box->text();
        for (QAbstractButton *button : box->buttons())
            if (button->text() == answer)
                button->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return text;
    }
    QString shown(const QFileDialog &dialog) const { return dialog.directory().absolutePath(); }

    TWTestTempDir dir;
    const QString package = dir.filePath(QStringLiteral("T.tallyworth"));
};

} // namespace

TEST_F(PackageDialogTest, AChoiceIsDecidedFromWhatIsOnDisk)
{
    QFile file(dir.filePath(QStringLiteral("F.tallyworth")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto at = [this](const char *name) { return dir.filePath(QLatin1String(name)); };
    const auto same = [](const TWPackageChoice &choice, TWPackageChoice::Step step,
                         const QString &path) {
        return choice.step == step && choice.path == path;
    };
    // Saving: an existing business or file is replaced, with or without its
    // ending; a plain folder is entered; nothing is ever put inside a package.
    EXPECT_TRUE(same(twSaveChoice(at("T")), TWPackageChoice::Replace, package));
    EXPECT_TRUE(same(twSaveChoice(at("T.tallyworth")), TWPackageChoice::Replace, package));
    EXPECT_TRUE(same(twSaveChoice(at("F")), TWPackageChoice::Replace, at("F.tallyworth")));
    EXPECT_TRUE(same(twSaveChoice(at("Folder")), TWPackageChoice::Enter, at("Folder")));
    EXPECT_TRUE(same(twSaveChoice(at("New")), TWPackageChoice::Choose, at("New.tallyworth")));
    const TWPackageChoice nested = twSaveChoice(at("T.tallyworth/T.tallyworth"));
    EXPECT_EQ(nested.step, TWPackageChoice::Refuse);
    EXPECT_EQ(nested.package, QFileInfo(package).canonicalFilePath());
    // Opening: a package, or anything in it, opens the package.
    EXPECT_TRUE(same(twOpenChoice(at("T.tallyworth")), TWPackageChoice::Choose, package));
    EXPECT_EQ(twOpenChoice(at("T.tallyworth/Data.sql")).path,
              QFileInfo(package).canonicalFilePath());
    EXPECT_TRUE(same(twOpenChoice(at("Folder")), TWPackageChoice::Enter, at("Folder")));
    EXPECT_EQ(twOpenChoice(at("F.tallyworth")).step, TWPackageChoice::Stay);
    EXPECT_TRUE(twPackageInstead(at("Folder")).isEmpty());
}

TEST_F(PackageDialogTest, SavingByTheNameOfABusinessAsksToReplaceItAndNeverEntersIt)
{
    const QString replace = TWLocalized("replacePackage");
    for (const QString &typed : {QStringLiteral("T"), QStringLiteral("T.tallyworth")}) {
        SCOPED_TRACE(typed.toStdString());
        std::unique_ptr<QFileDialog> dialog(TWDocumentPrompts::makeSaveDialog(
            dir.filePath(QStringLiteral("Untitled.tallyworth")), QStringLiteral("Save"), nullptr));
        dialog->open();
        type(*dialog, typed);
        EXPECT_EQ(answer(*dialog, TWLocalized("cancel")),
                  TWLocalized("replacePackageMessage").arg(QStringLiteral("T.tallyworth")));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(shown(*dialog), dir.path());

        type(*dialog, typed);
        answer(*dialog, replace);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(TWDocumentPrompts::chosenLocation(*dialog), package);
    }

    // A new name is taken with the package ending.
    std::unique_ptr<QFileDialog> dialog(TWDocumentPrompts::makeSaveDialog(
        dir.filePath(QStringLiteral("Untitled.tallyworth")), QStringLiteral("Save"), nullptr));
    dialog->open();
    type(*dialog, QStringLiteral("New"));
    EXPECT_EQ(TWDocumentPrompts::chosenLocation(*dialog),
              dir.filePath(QStringLiteral("New.tallyworth")));
}

TEST_F(PackageDialogTest, APackageEnteredAnyWayIsChosenInstead)
{
    // Save: back in the folder that holds it, its name taken, the question asked.
    std::unique_ptr<QFileDialog> save(TWDocumentPrompts::makeSaveDialog(
        dir.filePath(QStringLiteral("Untitled.tallyworth")), QStringLiteral("Save"), nullptr));
    save->open();
    save->setDirectory(package);
    emit save->directoryEntered(package);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(*save), dir.path());
    EXPECT_EQ(nameField(*save)->text(), QStringLiteral("T.tallyworth"));
    EXPECT_EQ(answer(*save, TWLocalized("cancel")),
              TWLocalized("replacePackageMessage").arg(QStringLiteral("T.tallyworth")));
    // Reached without choosing it (the back button): only shown from outside.
    save->setDirectory(QDir(package).filePath(QStringLiteral("Attachments")));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(*save), dir.path());
    EXPECT_TRUE(save->isVisible());

    // Open: the business is opened, whether entered or chosen by name.
    std::unique_ptr<QFileDialog> open(TWDocumentPrompts::makeOpenDialog(nullptr));
    open->setDirectory(dir.path());
    open->open();
    type(*open, QStringLiteral("Folder"));
    EXPECT_TRUE(open->isVisible());
    EXPECT_EQ(shown(*open), dir.filePath(QStringLiteral("Folder")));
    open->setDirectory(package);
    emit open->directoryEntered(package);
    QCoreApplication::processEvents();
    EXPECT_EQ(open->result(), QDialog::Accepted);
    EXPECT_EQ(TWDocumentPrompts::chosenLocation(*open), package);

    open.reset(TWDocumentPrompts::makeOpenDialog(nullptr));
    open->setDirectory(dir.path());
    open->open();
    type(*open, QStringLiteral("T.tallyworth"));
    EXPECT_EQ(TWDocumentPrompts::chosenLocation(*open), package);
}

TEST_F(PackageDialogTest, OnlyAFolderNamedAsAPackageIsABusiness)
{
    const auto at = [this](const char *name) { return dir.filePath(QLatin1String(name)); };
    // Documents hold a stray "Data.sql" (an SQL dump) beside a business.
    const QString documents = at("Documents");
    ASSERT_TRUE(QDir().mkpath(documents + QStringLiteral("/Shop.tallyworth")));
    for (const QString &data :
         {QStringLiteral("/Data.sql"), QStringLiteral("/Shop.tallyworth/Data.sql")}) {
        QFile file(documents + data);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString shop = documents + QStringLiteral("/Shop.tallyworth");
    const auto expect = [](const TWPackageChoice &choice, TWPackageChoice::Step step,
                           const QString &path) {
        EXPECT_EQ(choice.step, step);
        EXPECT_EQ(choice.path, path);
    };
    expect(twSaveChoice(documents), TWPackageChoice::Enter, documents);
    expect(twSaveChoice(at("Documents/New")), TWPackageChoice::Choose,
           at("Documents/New.tallyworth"));
    expect(twOpenChoice(shop), TWPackageChoice::Choose, shop);
    expect(twOpenChoice(documents), TWPackageChoice::Enter, documents);
    EXPECT_EQ(twOpenChoice(shop + QStringLiteral("/Data.sql")).path,
              QFileInfo(shop).canonicalFilePath());

    // A package the save would make is one all the same.
    const TWPackageChoice nested = twSaveChoice(at("NotYet.tallyworth/Inner"));
    EXPECT_EQ(nested.step, TWPackageChoice::Refuse);
    EXPECT_EQ(nested.package,
              QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/NotYet.tallyworth"));

    // ".." after a link goes up from where the link leads, as the system takes
    // it: "Lk/../T.tallyworth" is in Documents, not the business beside "Lk".
    ASSERT_TRUE(QFile::link(shop, at("Lk")));
    const QString real = QFileInfo(documents).canonicalFilePath();
    expect(twOpenChoice(at("Lk/../Shop.tallyworth")), TWPackageChoice::Choose,
           real + QStringLiteral("/Shop.tallyworth"));
    expect(twSaveChoice(at("Lk/../T.tallyworth")), TWPackageChoice::Choose,
           real + QStringLiteral("/T.tallyworth"));
    // A link to a business is that business.
    expect(twOpenChoice(at("Lk")), TWPackageChoice::Choose, at("Lk"));
}

TEST_F(PackageDialogTest, AFileIsNeverWrittenIntoNorReadFromInsideABusiness)
{
    QFile existing(dir.filePath(QStringLiteral("F.pdf")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const auto at = [this](const char *name) { return dir.filePath(QLatin1String(name)); };
    using P = TWPackageFileDialog::Purpose;
    using S = TWPackageChoice;
    struct Case {
        P purpose;
        const char *typed;
        S::Step step;
        const char *path; // chosen, replaced or entered
    };
    const Case cases[] = {
        {P::SaveFile, "New", S::Choose, "New.pdf"},
        {P::SaveFile, "F.pdf", S::Replace, "F.pdf"},
        {P::SaveFile, "Folder", S::Enter, "Folder"},
        {P::SaveFile, "T.tallyworth", S::Refuse, nullptr},
        {P::SaveFile, "T.tallyworth/inside.pdf", S::Refuse, nullptr},
        {P::OpenFile, "F.pdf", S::Choose, "F.pdf"},
        {P::OpenFile, "Folder", S::Enter, "Folder"},
        {P::OpenFile, "T.tallyworth", S::Refuse, nullptr},
        {P::OpenFile, "T.tallyworth/Data.sql", S::Refuse, nullptr},
        {P::OpenFolder, "Folder", S::Choose, "Folder"},
        {P::OpenFolder, "T.tallyworth", S::Refuse, nullptr},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.typed);
        QStringList chosen{QStringLiteral("(not ended)")};
        TWPackageFileDialog *dialog = TWPackageFileDialog::ask(
            test.purpose, nullptr, QStringLiteral("Choose"), at("Proposed.pdf"), {},
            [&chosen](const QStringList &paths) { chosen = paths; });
        QPointer<TWPackageFileDialog> alive(dialog);
        dialog->setDefaultSuffix(QStringLiteral("pdf"));
        dialog->setDirectory(dir.path());
        dialog->selectFile(at(test.typed));
        dialog->accept();
        QCoreApplication::processEvents();
        switch (test.step) {
        case S::Choose:
            EXPECT_EQ(chosen, QStringList{at(test.path)});
            break;
        case S::Replace:
            EXPECT_EQ(answer(*dialog, TWLocalized("replacePackage")),
                      TWLocalized("replacePackageMessage").arg(QString::fromLatin1(test.path)));
            EXPECT_EQ(chosen, QStringList{at(test.path)});
            break;
        case S::Enter:
            ASSERT_TRUE(alive) << chosen.join(',').toStdString();
            EXPECT_EQ(shown(*dialog), at(test.path));
            EXPECT_TRUE(dialog->isVisible());
            break;
        default: {
            const QString refusal = answer(*dialog, QStringLiteral("OK"));
            EXPECT_TRUE(refusal.contains(QStringLiteral("T.tallyworth"))) << refusal.toStdString();
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(chosen, QStringList{QStringLiteral("(not ended)")});
        }
        }
        if (alive && alive->isVisible())
            alive->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_FALSE(QFileInfo::exists(package + QStringLiteral("/inside.pdf")));
}

// A business picked in a save dialog is what would be saved to: the button
// says Save, as for a file, where Qt says Open for any folder; a plain folder
// picked is still opened.
TEST_F(PackageDialogTest, ABusinessPickedInASaveDialogLeavesTheButtonSave)
{
    for (const auto purpose :
         {TWPackageFileDialog::Purpose::Save, TWPackageFileDialog::Purpose::SaveFile}) {
        TWPackageFileDialog dialog(purpose, QStringLiteral("Save"),
                                   dir.filePath(QStringLiteral("Untitled")), nullptr);
        dialog.open();
        auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
        auto *model = dialog.findChild<QFileSystemModel *>();
        auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        ASSERT_TRUE(list && model && buttons);
        QPushButton *button = buttons->button(QDialogButtonBox::Save);
        ASSERT_TRUE(button);
        const auto pick = [&](const QString &path) {
            // The model lists the folder on its own thread.
            for (int wait = 0; wait < 500 && !model->index(path).isValid(); ++wait)
                QTest::qWait(10);
            ASSERT_TRUE(model->index(path).isValid());
            list->selectionModel()->setCurrentIndex(model->index(path),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
            QCoreApplication::processEvents();
        };
        pick(package);
        EXPECT_EQ(button->text(), TWLocalized("save"));
        pick(dir.filePath(QStringLiteral("Folder")));
        EXPECT_NE(button->text(), TWLocalized("save"));
        pick(package);
        EXPECT_EQ(button->text(), TWLocalized("save"));
        dialog.reject();
    }

    // Save As proposes the business itself, picked once its folder is listed.
    std::unique_ptr<QFileDialog> saveAs(
        TWDocumentPrompts::makeSaveDialog(package, QStringLiteral("Save"), nullptr));
    saveAs->open();
    auto *model = saveAs->findChild<QFileSystemModel *>();
    for (int wait = 0; wait < 500 && !model->index(package).isValid(); ++wait)
        QTest::qWait(10);
    QTest::qWait(50);
    QPushButton *button = saveAs->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save);
    button->grab(); // drawn as the user sees it
    EXPECT_EQ(button->text(), TWLocalized("save"));
}

// With no Documents folder, a save proposes its file in the home folder,
// which the dialog shows; so does a path whose folder is gone, and a print
// to a file.
TEST_F(PackageDialogTest, ASaveProposesItsFileInAFolderThatExists)
{
    const QString home = dir.filePath(QStringLiteral("Folder"));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.toUtf8());
    const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
    const QString gone = dir.filePath(QStringLiteral("Gone/Report.pdf"));
    for (const QString &proposed : {QStringLiteral("Acme - W-1.pdf"), gone}) {
        SCOPED_TRACE(proposed.toStdString());
        TWPackageFileDialog *dialog =
            TWPackageFileDialog::ask(TWPackageFileDialog::Purpose::SaveFile, nullptr,
                                     QStringLiteral("Save"), proposed, {}, {});
        EXPECT_EQ(shown(*dialog), home);
        EXPECT_EQ(nameField(*dialog)->text(), QFileInfo(proposed).fileName());
        dialog->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    for (const QString &last : {QString(), gone}) {
        SCOPED_TRACE(last.toStdString());
        printer.setOutputFileName(last);
        QPrintDialog *print = twPrintDialog(printer, QStringLiteral("Acme - W-1"), nullptr);
        QCoreApplication::processEvents();
        auto *field = print->findChild<QLineEdit *>(QStringLiteral("filename"));
        ASSERT_TRUE(field);
        EXPECT_EQ(field->text(), QDir(home).filePath(QStringLiteral("Acme - W-1.pdf")));
        delete print;
    }
}

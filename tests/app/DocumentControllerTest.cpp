// The document controller: the autosave timer, which documents it saves, the
// new-business form and the last business opened.

#include "TWAppTestSupport.h"
#include "app/TWDocumentController.h"
#include "app/TWInterimViews.h"

#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace
{

using DocumentControllerTest = TWAppTest;

TEST_F(DocumentControllerTest, MinutesBeyondWhatATimerHoldsAreClampedAndNegativeMeansOff)
{
    EXPECT_EQ(TWDocumentController::autoSaveInterval(1), 60000);
    EXPECT_EQ(TWDocumentController::autoSaveInterval(35791), 35791 * 60000);
    EXPECT_EQ(TWDocumentController::autoSaveInterval(35792), std::numeric_limits<int>::max());
    EXPECT_EQ(TWDocumentController::autoSaveInterval(std::numeric_limits<qint64>::max()),
              std::numeric_limits<int>::max());
    EXPECT_EQ(TWDocumentController::autoSaveInterval(-5), 0);

    TWDocumentController documents;
    TWPreferences::preferences().setAutoSave(1'000'000'000);
    ASSERT_TRUE(documents.autoSaveTimer());
    EXPECT_EQ(documents.autoSaveTimer()->interval(), std::numeric_limits<int>::max());
    TWPreferences::preferences().setAutoSave(-3);
    EXPECT_FALSE(documents.autoSaveTimer());
}

TEST_F(DocumentControllerTest, OpeningRecordsTheLastBusinessAndAFailureClearsIt)
{
    const QString path = dir.filePath(QStringLiteral("Open.tallyworth"));
    savePackage(path);
    TWDocumentController documents;
    TWBusinessController *first = nullptr;
    documents.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(path), false,
        [&](TWBusinessController *document, bool alreadyOpen, TWErrorResult) {
            first = document;
            EXPECT_FALSE(alreadyOpen);
        });
    ASSERT_TRUE(first);
    EXPECT_EQ(TWPreferences::preferences().lastOpenBusinessURL(), path);

    // The same package again comes forward; no second store.
    bool again = false;
    documents.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("./Open.tallyworth"))), false,
        [&](TWBusinessController *document, bool alreadyOpen, TWErrorResult) {
            EXPECT_EQ(document, first);
            again = alreadyOpen;
        });
    EXPECT_TRUE(again);
    EXPECT_EQ(documents.documents().size(), 1);

    // A folder without a business database.
    const QString empty = dir.filePath(QStringLiteral("Empty.tallyworth"));
    ASSERT_TRUE(QDir().mkpath(empty));
    TWErrorResult failure;
    bool failed = false;
    documents.openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(empty), false,
        [&](TWBusinessController *document, bool, TWErrorResult error) {
            failed = !document;
            failure = error;
        });
    EXPECT_TRUE(failed);
    EXPECT_TRUE(failure);
    EXPECT_TRUE(TWPreferences::preferences().lastOpenBusinessURL().isEmpty());
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(documents.documents().size(), 1);
}

TEST_F(DocumentControllerTest, DocumentsAreKnownByThePackagesTheyHoldNotByName)
{
    const QString alpha = dir.filePath("Alpha.tallyworth");
    const QString bravo = dir.filePath("Bravo.tallyworth");
    savePackage(alpha, "Alpha");
    savePackage(bravo, "Bravo");
    TWDocumentController documents;
    const auto open = [&](const QString &path) {
        std::pair<TWBusinessController *, bool> opened;
        documents.openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(path), false,
            [&](TWBusinessController *document, bool alreadyOpen, TWErrorResult) {
                opened = {document, alreadyOpen};
            });
        return opened;
    };
    TWBusinessController *a = open(alpha).first;
    TWBusinessController *b = open(bravo).first;
    ASSERT_TRUE(a && b && a != b);
    // Saved over the other window's package, each window would save over the other's books.
    EXPECT_FALSE(a->saveDocumentToURL(QUrl::fromLocalFile(bravo)));
    EXPECT_TRUE(prompts.errors.size() == 1 &&
                prompts.errors.first().localizedDescription().contains(bravo));
    EXPECT_EQ(businessName(bravo), "Bravo");
    // After the two swap names, each name brings forward the business it leads to now.
    ASSERT_TRUE(QDir().rename(alpha, dir.filePath("x")) && QDir().rename(bravo, alpha) &&
                QDir().rename(dir.filePath("x"), bravo));
    EXPECT_EQ(open(alpha), std::make_pair(b, true));
    EXPECT_EQ(open(bravo), std::make_pair(a, true));
}

TEST_F(DocumentControllerTest, NoAutosaveStartsASaveAgainWhileItsMessageOrDialogIsOpen)
{
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
    struct Case {
        const char *name;
        std::function<void(const QString &)> spoil; // the package, while the window is open
        qsizetype errors, messages, dialogs, questions;
    };
    const QList<Case> cases{
        {"a save that fails",
         [](const QString &path) {
             ASSERT_TRUE(QFile::remove(path + "/Data.sql") && QDir().mkdir(path + "/Data.sql"));
         },
         1, 0, 0, 0},
        {"moved where no business is kept",
         [this](const QString &path) {
             ASSERT_TRUE(QDir().mkpath(dir.filePath("share/Trash/files")));
             ASSERT_TRUE(QDir().rename(path, dir.filePath("share/Trash/files/Moved.tallyworth")));
         },
         0, 1, 1, 0},
        {"saved by another running copy",
         [](const QString &path) {
             TWBusinessController other;
             TWErrorResult error;
             ASSERT_TRUE(other.readFromURL(QUrl::fromLocalFile(path), &error));
             other.updateChangeCount(0);
             ASSERT_TRUE(other.saveDocument());
         },
         0, 0, 0, 1},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString path = dir.filePath(QString::fromLatin1(test.name) + ".tallyworth");
        savePackage(path, QStringLiteral("Before"));
        TWBusinessController document;
        TWErrorResult error;
        ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(path), &error));
        document.updateChangeCount(0);
        test.spoil(path);
        prompts.errors.clear();
        prompts.messages.clear();
        prompts.proposed.clear();
        prompts.packageChangedAsked.clear();
        prompts.saveLocation = [](const QString &) { return QString(); };
        // The autosave timer fires while the first one is shown.
        prompts.whileShowing = [&document] { document.autoSave(); };
        EXPECT_FALSE(document.saveDocument());
        prompts.whileShowing = nullptr;
        EXPECT_EQ(prompts.errors.size(), test.errors);
        EXPECT_EQ(prompts.messages.size(), test.messages);
        EXPECT_EQ(prompts.proposed.size(), test.dialogs);
        EXPECT_EQ(prompts.packageChangedAsked.size(), test.questions);
        EXPECT_TRUE(document.isDocumentEdited());
    }
    qputenv("XDG_DATA_HOME", home);
}

} // namespace

TEST_F(DocumentControllerTest, TheNewBusinessFormMakesTheStoreOnSaveAndNothingOnCancel)
{
    TWDocumentController documents;
    bool called = false;
    TWBusinessController *made = nullptr;
    TWErrorResult error;
    const auto completion = [&](TWBusinessController *document, TWErrorResult failure) {
        called = true;
        made = document;
        error = failure;
    };
    documents.openUntitledDocumentAndDisplay(false, completion);
    ASSERT_TRUE(documents.businessInfoWindow());
    EXPECT_TRUE(documents.businessInfoWindow()->isVisible());
    EXPECT_EQ(documents.businessInfoWindow()->windowModality(), Qt::ApplicationModal);
    auto *form = qobject_cast<TWInterimBusinessInfoForm *>(documents.businessInfoEditor());
    ASSERT_TRUE(form);
    form->cancelButton()->click();
    EXPECT_TRUE(called);
    EXPECT_FALSE(made);
    EXPECT_OK(error);
    EXPECT_TRUE(documents.documents().isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_FALSE(documents.businessInfoWindow()->isVisible());

    // Escape is a cancel too.
    called = false;
    documents.openUntitledDocumentAndDisplay(false, completion);
    documents.businessInfoWindow()->reject();
    EXPECT_TRUE(called);
    EXPECT_TRUE(documents.documents().isEmpty());

    called = false;
    documents.openUntitledDocumentAndDisplay(false, completion);
    // A form used before shows nothing of its earlier use.
    EXPECT_TRUE(form->nameField()->text().isEmpty());
    form->nameField()->setText(QStringLiteral("Corner Shop"));
    form->saveButton()->click();
    ASSERT_TRUE(made);
    EXPECT_EQ(documents.documents(), QList<TWBusinessController *>{made});
    EXPECT_TRUE(made->isDocumentEdited());
    EXPECT_TRUE(made->fileURL().isEmpty());
    EXPECT_EQ(made->displayName(), QStringLiteral("Corner Shop"));
    EXPECT_EQ(made->business()->businessInfo()->name(), QStringLiteral("Corner Shop"));
    EXPECT_FALSE(made->business()->accounts().isEmpty());
}

TEST_F(DocumentControllerTest, NoAutosaveRunsWhileTheCloseOrRevertQuestionIsOpen)
{
    struct Case {
        const char *name;
        std::function<bool(TWBusinessController &)> ask; // the question, answered as set
        TWDocumentPrompts::SaveChangesAnswer answer;
        bool revert;
        const char *saved; // the name in the package afterwards
    };
    const QList<Case> cases{
        {"close, don't save",
         [](TWBusinessController &d) { return d.canClose() && (d.close(), true); },
         TWDocumentPrompts::DontSave, false, "Before"},
        {"revert", [](TWBusinessController &d) { return d.revertDocumentToSaved(); },
         TWDocumentPrompts::DontSave, true, "Before"},
        // Kept open: the turn the question held back comes after it.
        {"close, cancel", [](TWBusinessController &d) { return d.canClose(); },
         TWDocumentPrompts::Cancel, false, "After"},
        {"revert, no", [](TWBusinessController &d) { return d.revertDocumentToSaved(); },
         TWDocumentPrompts::DontSave, false, "After"},
    };
    TWPreferences::preferences().setAutoSave(1);
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString path = dir.filePath(QString::fromLatin1(test.name) + ".tallyworth");
        savePackage(path, QStringLiteral("Before"));
        TWDocumentController documents;
        ASSERT_TRUE(documents.autoSaveTimer());
        documents.autoSaveTimer()->start(5);
        TWBusinessController *document = nullptr;
        documents.openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(path), false,
            [&](TWBusinessController *opened, bool, TWErrorResult) { document = opened; });
        ASSERT_TRUE(document);
        TWBusinessInfoPtr info = document->business()->businessInfo()->copy();
        info->setName(QStringLiteral("After"));
        ASSERT_OK(document->business()->updateBusinessInfo(info));
        document->updateChangeCount(0);

        prompts.saveChanges = test.answer;
        prompts.revert = test.revert;
        prompts.whileAsking = [] { QTest::qWait(40); };
        test.ask(*document);
        prompts.whileAsking = nullptr;
        QTest::qWait(40);
        EXPECT_EQ(businessName(path), QString::fromLatin1(test.saved));
    }
}

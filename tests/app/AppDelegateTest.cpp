// The application delegate: what start-up opens, files from outside, the
// status item, the active document, the default menus and the hand-off to a
// running instance.

#include "TWAppTestSupport.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWDocumentController.h"
#include "app/TWInstanceServer.h"
#include "app/TWPackageMoves.h"
#include "app/TWPackageWorkFolder.h"

#include "foundation/TWNotificationCenter.h"

#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QUuid>

#include <thread>

namespace
{

// An import sheet that only records what it was asked to import.
class RecordingImport final : public TWImportController
{
public:
    using TWImportController::TWImportController;
    QWidget *view() override { return nullptr; }
    void importURL(const QUrl &url) override { imported.append(url); }
    void select() override { selected = true; }
    static inline QList<QUrl> imported;
    static inline bool selected = false;
};

class AppDelegateTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        documents = std::make_unique<TWDocumentController>();
        delegate = std::make_unique<TWApplicationDelegate>(documents.get());
        delegate->setApplicationActiveQuery([this] { return active; });
    }
    void TearDown() override
    {
        delegate.reset();
        documents.reset();
        TWAppTest::TearDown();
    }

    // A shown document on a new business.
    TWBusinessController *openDocument(const QString &name)
    {
        const QString path = dir.filePath(name + QStringLiteral(".tallyworth"));
        savePackage(path, name);
        TWBusinessController *opened = nullptr;
        documents->openDocumentWithContentsOfURL(
            QUrl::fromLocalFile(path), true,
            [&](TWBusinessController *document, bool, TWErrorResult) { opened = document; });
        return opened;
    }

    bool active = true;
    std::unique_ptr<TWDocumentController> documents;
    std::unique_ptr<TWApplicationDelegate> delegate;
};

TEST_F(AppDelegateTest, AWindowClosedWhileTheApplicationIsInactiveStopsBeingActive)
{
    TWBusinessController *first = openDocument(QStringLiteral("First"));
    TWBusinessController *second = openDocument(QStringLiteral("Second"));
    ASSERT_TRUE(first && second);
    delegate->updateActiveDocument(first);
    ASSERT_EQ(delegate->activeBusinessController(), first);

    active = false;
    // Window changes while in the background are not followed...
    delegate->updateActiveDocument(second);
    EXPECT_EQ(delegate->activeBusinessController(), first);
    // ...but a closing document never stays the active one.
    first->close();
    EXPECT_EQ(delegate->activeBusinessController(), nullptr);
    EXPECT_FALSE(delegate->openFile(dir.filePath(QStringLiteral("late.qif"))));
}

// A task timer that, when asked whether it runs, changes the preference the
// delegate is applying, as a second notification arriving meanwhile.
class MeddlingTimer final : public TWTaskTimer
{
public:
    using TWTaskTimer::TWTaskTimer;
    bool isTaskTimerRunning() const override
    {
        if (armed && !meddled) {
            meddled = true;
            TWPreferences::preferences().setShowTaskTimerInMenuBar(false);
        }
        return false;
    }
    static inline bool armed = false;
    mutable bool meddled = false;
};

TEST_F(AppDelegateTest, APreferenceNotificationArrivingWhileOneIsAppliedIsIgnored)
{
    TWAppRegistry::registry().setTaskTimerFactory(
        [](TWBusinessController *) { return new MeddlingTimer(); });
    delegate->applicationDidFinishLaunching();
    documents->businessInfoWindow()->reject();
    TWBusinessController *document = openDocument(QStringLiteral("Timed"));
    delegate->updateActiveDocument(document);

    MeddlingTimer::armed = true;
    TWPreferences::preferences().setShowTaskTimerInMenuBar(true);
    MeddlingTimer::armed = false;
    EXPECT_TRUE(static_cast<MeddlingTimer *>(document->taskTimer())->meddled);
    // The nested change was not applied in the middle of the outer one.
    EXPECT_TRUE(delegate->statusItem());
}

TEST_F(AppDelegateTest, AMovedLastBusinessIsReportedAsMissingAndTheStartGoesOn)
{
    const QString gone = dir.filePath(QStringLiteral("Moved Away.tallyworth"));
    TWPreferences::preferences().setLastOpenBusinessURL(gone);
    delegate->applicationDidFinishLaunching({});

    ASSERT_EQ(prompts.errors.size(), 1);
    const QString message = prompts.errors.first().localizedDescription();
    EXPECT_TRUE(message.contains(QStringLiteral("could not be found"))) << message;
    EXPECT_TRUE(message.contains(QStringLiteral("Moved Away.tallyworth")));
    // Where it was looked for.
    EXPECT_TRUE(message.contains(QFileInfo(gone).absolutePath())) << message;
    EXPECT_FALSE(message.contains(QStringLiteral("damaged")));
    // As without a last business: the new-business form, and none remembered.
    EXPECT_TRUE(documents->documents().isEmpty());
    ASSERT_TRUE(documents->businessInfoWindow());
    EXPECT_TRUE(documents->businessInfoWindow()->isVisible());
    EXPECT_TRUE(TWPreferences::preferences().lastOpenBusinessURL().isEmpty());
}

} // namespace

TEST_F(AppDelegateTest, ADocumentStaysMainWhileTheFocusIsInAnotherKindOfWindow)
{
    TWAppRegistry::registry().setEditorFactory(
        TWEditorKind::ImportTransactions,
        [](QObject *parent) { return new RecordingImport(parent); });
    RecordingImport::imported.clear();
    TWBusinessController *document = openDocument(QStringLiteral("Shop"));
    ASSERT_TRUE(document);
    delegate->updateActiveDocument(document);
    ASSERT_EQ(delegate->activeBusinessController(), document);

    // A panel of the application (or a sheet, a popover) takes the focus:
    // the window is told its activation changed and it is not the active one.
    QWidget panel;
    panel.show();
    QMainWindow *window = document->windowForSheet();
    ASSERT_TRUE(window);
    ASSERT_FALSE(window->isActiveWindow());
    QEvent change(QEvent::ActivationChange);
    QCoreApplication::sendEvent(window, &change);
    EXPECT_EQ(delegate->activeBusinessController(), document);

    // A bank file handed over from outside goes to its import.
    const QString bank = dir.filePath(QStringLiteral("bank.ofx"));
    EXPECT_TRUE(delegate->openFile(bank));
    EXPECT_EQ(RecordingImport::imported, QList<QUrl>{QUrl::fromLocalFile(bank)});
}

TEST_F(AppDelegateTest, APathWithDotDotAfterALinkOpensAndSavesWhereTheSystemMeans)
{
    // "Lk" leads to real/inner: "Lk/../Pk.tallyworth" is real/Pk.tallyworth,
    // not the business beside "Lk".
    const QString real = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/real");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/inner")));
    ASSERT_TRUE(QFile::link(real + QStringLiteral("/inner"), dir.filePath(QStringLiteral("Lk"))));
    savePackage(real + QStringLiteral("/Pk.tallyworth"), QStringLiteral("Real"));
    savePackage(dir.filePath(QStringLiteral("Pk.tallyworth")), QStringLiteral("Decoy"));

    EXPECT_TRUE(delegate->openPaths({dir.filePath(QStringLiteral("Lk/../Pk.tallyworth"))}));
    ASSERT_EQ(documents->documents().size(), 1);
    TWBusinessController *opened = documents->documents().constFirst();
    EXPECT_EQ(opened->business()->businessInfo()->name(), QStringLiteral("Real"));
    ASSERT_TRUE(opened->saveDocumentToURL(
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("Lk/../Copy.tallyworth")))));
    EXPECT_EQ(businessName(real + QStringLiteral("/Copy.tallyworth")), QStringLiteral("Real"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Copy.tallyworth"))));
}

// A business's "Data.sql" given on the command line opens the business, as
// File > Open of that file does; so does the package given whole.
TEST_F(AppDelegateTest, ABusinessDatabaseGivenOnTheCommandLineOpensItsBusiness)
{
    const QString books = dir.filePath(QStringLiteral("Books.tallyworth"));
    savePackage(books, QStringLiteral("Books"));
    EXPECT_TRUE(delegate->openPaths({books + QStringLiteral("/Data.sql")}));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    ASSERT_EQ(documents->documents().size(), 1);
    EXPECT_EQ(documents->documents().constFirst()->business()->businessInfo()->name(),
              QStringLiteral("Books"));
    EXPECT_EQ(delegate->activeBusinessController(), documents->documents().constFirst());
    EXPECT_TRUE(delegate->openPaths({books}));
    EXPECT_EQ(documents->documents().size(), 1);
}

// Quit asks each business in turn, as Close does: one with a sheet open is
// asked even with nothing else changed, and the question names the sheet;
// Cancel stops the quit with that window and those after it still open.
TEST_F(AppDelegateTest, QuitAsksEachBusinessInTurnAndNamesAnOpenSheet)
{
    const QPointer<TWBusinessController> alpha = openDocument(QStringLiteral("Alpha"));
    const QPointer<TWBusinessController> bravo = openDocument(QStringLiteral("Bravo"));
    ASSERT_TRUE(alpha && bravo);
    auto *entry = new QWidget;
    entry->setWindowTitle(QStringLiteral("New Transaction"));
    alpha->beginSheetWithView(entry, false, true, {});
    bravo->updateChangeCount(0);
    delegate->updateActiveDocument(bravo);

    for (const auto answer : {TWDocumentPrompts::Cancel, TWDocumentPrompts::DontSave}) {
        prompts.saveChanges = answer;
        prompts.saveChangesAsked.clear();
        delegate->terminate();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (answer == TWDocumentPrompts::Cancel) {
            EXPECT_EQ(prompts.saveChangesAsked,
                      QStringList{QStringLiteral("Alpha / New Transaction")});
            ASSERT_TRUE(alpha && bravo);
            EXPECT_EQ(documents->documents().size(), 2);
            EXPECT_TRUE(alpha->hasAttachedSheet());
            EXPECT_TRUE(alpha->windowForSheet()->isVisible());
        } else {
            EXPECT_EQ(prompts.saveChangesAsked,
                      (QStringList{QStringLiteral("Alpha / New Transaction"),
                                   QStringLiteral("Bravo / ")}));
            EXPECT_TRUE(documents->documents().isEmpty());
        }
    }
}

TEST_F(AppDelegateTest, ABusinessAndABankFileGivenTogetherOpenTheBusinessThenItsImport)
{
    TWAppRegistry::registry().setEditorFactory(
        TWEditorKind::ImportTransactions,
        [](QObject *parent) { return new RecordingImport(parent); });
    const QString books = dir.filePath(QStringLiteral("Books.tallyworth"));
    savePackage(books, QStringLiteral("Books"));
    const QString bank = dir.filePath(QStringLiteral("bank.qif"));
    QFile file(bank);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // At start the window has not come to the front yet; handed to the
    // running program it has.
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running);
        active = running;
        RecordingImport::imported.clear();
        prompts.messages.clear();
        EXPECT_TRUE(delegate->openPaths({books, bank}));
        EXPECT_EQ(RecordingImport::imported, QList<QUrl>{QUrl::fromLocalFile(bank)});
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    }

    // What is not there says so, whatever its kind.
    prompts.messages.clear();
    const QString missing = dir.filePath(QStringLiteral("Missing.tallyworth"));
    const QString gone = dir.filePath(QStringLiteral("gone.qif"));
    EXPECT_FALSE(delegate->openPaths({missing, gone}));
    EXPECT_EQ(
        prompts.messages,
        (QStringList{TWLocalized("fileMissingMessage").arg(QStringLiteral("Missing.tallyworth")),
                     TWLocalized("fileMissingMessage").arg(QStringLiteral("gone.qif"))}));

    // A business hidden beside its name opens, put back, only where a replace
    // cut off left it so: the previous version's replace recorded the new
    // business in its lock, and moved the old one aside under a lock that
    // records nothing. A copy whose lock records no replace stays hidden,
    // and the user is told where each lies.
    const QString restored = dir.filePath(QStringLiteral("Restored.tallyworth"));
    const std::optional<TWPackageMark> mark = TWPackageMark::of(books + "/Data.sql");
    ASSERT_TRUE(mark);
    const QByteArray recorded = "Tallyworth work folder\nreplaces Restored.tallyworth\ntoken " +
                                QByteArray::number(mark->token) + "\n";
    struct Row {
        const char *name;
        QByteArray lock; // of the new business's folder
        bool opens;
    };
    for (const Row &row : {Row{"a copy recording nothing", "Tallyworth work folder\n", false},
                           Row{"the previous version's replace", recorded, true}}) {
        SCOPED_TRACE(row.name);
        const QString hidden = dir.filePath(QStringLiteral(".Restored.tallyworth.save-1a2b3c4d"));
        const QString aside =
            dir.filePath(QStringLiteral(".Restored.tallyworth.replaced-5e6f7a8b"));
        for (const auto &[folder, text] :
             {std::pair{hidden, row.lock},
              std::pair{aside, QByteArray("Tallyworth work folder\n")}}) {
            QString reason;
            ASSERT_TRUE(TWPackageMoves::copyFolder(books, folder, &reason));
            QFile lock(folder + QStringLiteral(".lock"));
            ASSERT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write(text) == text.size());
        }
        prompts.messages.clear();
        prompts.errors.clear();
        EXPECT_EQ(delegate->openPaths({restored}), row.opens);
        EXPECT_EQ(QFileInfo::exists(restored + "/Data.sql"), row.opens);
        EXPECT_NE(QFileInfo::exists(hidden), row.opens);
        // Put back, it is said to be the earlier version's (and the old
        // business it set aside is named); otherwise both hidden are named.
        const QString said = row.opens ? TWLocalized("documentRestoredEarlierMessage")
                                             .arg(QStringLiteral("Restored.tallyworth"))
                                             .section(QStringLiteral("%2"), 0, 0)
                                       : TWLocalized("documentHiddenCopiesMessage")
                                             .arg(QStringLiteral("Restored.tallyworth"))
                                             .section(QStringLiteral("%2"), 0, 0);
        ASSERT_EQ(prompts.messages.size(), row.opens ? 1 : 0);
        ASSERT_EQ(prompts.errors.size(), row.opens ? 0 : 1);
        const QString told =
            row.opens ? prompts.messages.first() : prompts.errors.first().localizedDescription();
        EXPECT_TRUE(told.startsWith(said)) << told.toStdString();
        if (!row.opens) {
            EXPECT_TRUE(told.contains(hidden) && told.contains(aside)) << told.toStdString();
        }
        for (const QString &left : {hidden, aside}) {
            TWPackageMoves::removePackage(left);
            QFile::remove(left + ".lock");
        }
    }
}

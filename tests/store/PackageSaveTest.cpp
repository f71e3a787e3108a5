// Saves that fail or stop half-way: the package keeps the old document or
// holds the new one, never a mix, and no file the saved document uses is
// replaced before the new database is committed.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWPropertyList.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"
#include "store/TWPackageAnchor.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace
{

// A transaction between the first two accounts carrying one attachment file
// with `content`, added through the store.
TWTransactionPtr addWithAttachment(TWBusiness &business, const TWTestTempDir &dir,
                                   const QString &name, const QByteArray &content,
                                   const QString &payee = {})
{
    const QString source = dir.filePath(QStringLiteral("sources/") + name);
    QDir().mkpath(QFileInfo(source).absolutePath());
    twWriteBytes(source, content);
    TWTransactionPtr t = twMakeTransaction(
        business, business.nextTransactionIdentifier(), twDay(2024, 3, 1),
        business.accounts().at(0)->identifier(), business.accounts().at(1)->identifier(), 500);
    t->setPayee(payee);
    t->setHasAttachments(true);
    t->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        name, source, QStringLiteral("text/plain"), TWAttachmentTypeFile, 0, 0, {}, 0, 0,
        content.size(), 0)});
    t->setDirtyAttachments(true);
    EXPECT_OK(business.addTransaction(t, false, false, false, false));
    return t;
}

// The attachments the last save left out, in the order of their file names.
QList<TWMissingAttachment> missingByFileName(const TWBusiness &business)
{
    QList<TWMissingAttachment> missing = business.missingAttachments();
    std::sort(missing.begin(), missing.end(),
              [](const TWMissingAttachment &a, const TWMissingAttachment &b) {
                  return a.fileName < b.fileName;
              });
    return missing;
}

// Holds a write lock on the package's database so that a save cannot commit.
class DatabaseLock
{
public:
    explicit DatabaseLock(const QUrl &url)
    {
        sqlite3_open(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &m_file);
        EXPECT_EQ(sqlite3_exec(m_file, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~DatabaseLock() { sqlite3_close(m_file); }
    DatabaseLock(const DatabaseLock &) = delete;
    DatabaseLock &operator=(const DatabaseLock &) = delete;

private:
    sqlite3 *m_file = nullptr;
};

} // namespace

TEST(PackageSave, AFailedSaveNeverReplacesAFileTheSavedDocumentUses)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    TWTransactionPtr first = addWithAttachment(*business, dir, QStringLiteral("old.txt"), "old");
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    const QString folder = twPackageFile(url, QStringLiteral("Attachments"));
    const qint32 oldIdentifier = first->attachments()->at(0)->identifier();
    const QString oldFile =
        QDir(folder).filePath(TWBusiness::attachmentFileName(oldIdentifier, "old.txt"));
    ASSERT_EQ(twFileBytes(oldFile), "old");

    // The identifier a delete freed is not given out again while the saved
    // document still names its file.
    ASSERT_OK(business->deleteTransaction(first, false, false, false));
    TWTransactionPtr second = addWithAttachment(*business, dir, QStringLiteral("new.txt"), "new");
    const qint32 newIdentifier = second->attachments()->at(0)->identifier();
    EXPECT_GT(newIdentifier, oldIdentifier);
    const QString newFile =
        QDir(folder).filePath(TWBusiness::attachmentFileName(newIdentifier, "new.txt"));

    {
        DatabaseLock lock(url);
        ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave));
    }
    EXPECT_EQ(twFileBytes(oldFile), "old");
    EXPECT_FALSE(QFileInfo::exists(newFile)) << "a failed save leaves no file of its own";
    auto old = twOpenPackage(url);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->transactions().size(), 1);

    // The next save lands whole; only then is the removed file deleted.
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_FALSE(QFileInfo::exists(oldFile));
    EXPECT_EQ(twFileBytes(newFile), "new");
    EXPECT_EQ(second->attachments()->at(0)->filePath(), newFile);
}

TEST(PackageSave, IdentifiersSkipNumbersThatFilesInThePackageTake)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    // Left by an earlier save that did not finish: never named by a row.
    twWriteBytes(twPackageFile(url, QStringLiteral("Attachments/140t.jpg")), "stray");

    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    TWTransactionPtr t = addWithAttachment(*reopened, dir, QStringLiteral("a.txt"), "a");
    EXPECT_EQ(t->attachments()->at(0)->identifier(), 141);
    ASSERT_OK(reopened->writeToURL(url, TWSaveOperationSave));
    EXPECT_EQ(twFileBytes(twPackageFile(url, QStringLiteral("Attachments/140t.jpg"))), "stray");
    EXPECT_EQ(twFileBytes(twPackageFile(url, QStringLiteral("Attachments/141.txt"))), "a");
}

namespace
{

// Stops every save at one moment, as if the process had died there.
class StopAt
{
public:
    explicit StopAt(TWPackageFiles::SaveStep step)
    {
        TWPackageFiles::setSaveStepHook([step](TWPackageFiles::SaveStep at) { return at == step; });
    }
    ~StopAt() { TWPackageFiles::setSaveStepHook({}); }
    StopAt(const StopAt &) = delete;
    StopAt &operator=(const StopAt &) = delete;
};

QStringList packageEntries(const QUrl &url)
{
    return QDir(url.toLocalFile())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

} // namespace

TEST(PackageSave, ASaveStoppedAtAnyStepOpensAsTheOldOrTheNewPair)
{
    using Step = TWPackageFiles::SaveStep;
    const struct {
        Step step;
        bool committed;
    } steps[] = {{Step::AttachmentsCopied, false},
                 {Step::AttachmentsSynced, false},
                 {Step::SettingsPending, false},
                 {Step::DatabaseCommitted, true},
                 {Step::SettingsRenamed, true}};
    TWFixedClock clock(2024, 3, 15);
    for (const auto &s : steps) {
        SCOPED_TRACE(int(s.step));
        TWTestTempDir dir;
        const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
        {
            auto business = twNewBusiness();
            ASSERT_TRUE(business);
            addWithAttachment(*business, dir, QStringLiteral("old.txt"), "old");
            business->setSearchFieldType(1);
            ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        }
        {
            auto business = twOpenPackage(url);
            ASSERT_TRUE(business);
            ASSERT_OK(
                business->deleteTransaction(business->transactions().at(0), false, false, false));
            addWithAttachment(*business, dir, QStringLiteral("new.txt"), "new");
            business->setSearchFieldType(2);
            StopAt stop(s.step);
            ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave));
        }

        auto opened = twOpenPackage(url);
        ASSERT_TRUE(opened);
        ASSERT_EQ(opened->transactions().size(), 1);
        const TWTransactionPtr t = opened->transactions().at(0);
        const std::optional<TWAttachmentList> &attachments = twLoadedAttachments(*t, *opened);
        ASSERT_TRUE(attachments && attachments->size() == 1);
        const TWAttachmentPtr attachment = attachments->at(0);
        EXPECT_EQ(attachment->fileName(), s.committed ? "new.txt" : "old.txt");
        EXPECT_EQ(twFileBytes(attachment->filePath()), s.committed ? "new" : "old");
        EXPECT_EQ(opened->searchFieldType(), s.committed ? 2 : 1);
        EXPECT_FALSE(QFileInfo::exists(twPackageFile(url, QStringLiteral("Settings.plist.new"))));

        // A later save leaves nothing of the stopped one but its unused files.
        opened->setSearchFieldType(3);
        ASSERT_OK(opened->writeToURL(url, TWSaveOperationSave));
        EXPECT_EQ(packageEntries(url), QStringList({"Attachments", "Data.sql", "Settings.plist"}));
        EXPECT_EQ(twOpenPackage(url)->searchFieldType(), 3);
    }
}

TEST(PackageSave, PendingSettingsOfAnotherGenerationAreDiscarded)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    business->setSearchFieldType(4);
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    // Settings of a save that never committed, and a damaged file.
    for (const QByteArray &pending :
         {QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>searchFieldType"
                     "</key><integer>9</integer><key>packageGeneration</key><integer>2</integer>"
                     "</dict></plist>"),
          QByteArray("damaged")}) {
        ASSERT_TRUE(
            twWriteBytes(twPackageFile(url, QStringLiteral("Settings.plist.new")), pending));
        auto opened = twOpenPackage(url);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->searchFieldType(), 4);
        EXPECT_FALSE(QFileInfo::exists(twPackageFile(url, QStringLiteral("Settings.plist.new"))));
    }
}

TEST(PackageSave, SaveAsLeavesOutAttachmentsWhoseFilesAreMissingAndNamesThem)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Books"));
    const TWTransactionPtr lost =
        addWithAttachment(*business, dir, QStringLiteral("receipt.pdf"), "lost", "Hardware Co");
    const TWTransactionPtr piped =
        addWithAttachment(*business, dir, QStringLiteral("invoice.txt"), "piped", "Printer");
    const TWTransactionPtr kept =
        addWithAttachment(*business, dir, QStringLiteral("kept.txt"), "kept", "Bakery");
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    EXPECT_TRUE(business->missingAttachments().isEmpty());

    // One receipt is lost; another file's place holds a pipe, which must never
    // be opened in a way that waits for a writer.
    const QString lostFile = lost->attachments()->at(0)->filePath();
    const QString pipedFile = piped->attachments()->at(0)->filePath();
    ASSERT_TRUE(QFile::remove(lostFile));
    ASSERT_TRUE(QFile::remove(pipedFile));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipedFile).constData(), 0600), 0);

    // A save in place copies nothing unchanged and goes on as before.
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_TRUE(business->missingAttachments().isEmpty());

    const QUrl copy = twPackageURL(dir, QStringLiteral("Copy"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveAs));
    const QList<TWMissingAttachment> missing = missingByFileName(*business);
    ASSERT_EQ(missing.size(), 2);
    EXPECT_EQ(missing.at(0).payee, QStringLiteral("Printer"));
    EXPECT_EQ(missing.at(0).fileName, QStringLiteral("invoice.txt"));
    EXPECT_EQ(missing.at(1).payee, QStringLiteral("Hardware Co"));
    EXPECT_EQ(missing.at(1).fileName, QStringLiteral("receipt.pdf"));
    EXPECT_EQ(missing.at(1).date, lost->date());
    EXPECT_EQ(business->url(), copy);

    // The copy keeps every attachment row; the files that were there came along.
    auto reopened = twOpenPackage(copy);
    ASSERT_TRUE(reopened);
    for (const TWTransactionPtr &original : {lost, piped, kept}) {
        const TWTransactionPtr transaction =
            reopened->transactionWithIdentifier(original->identifier());
        ASSERT_TRUE(transaction);
        const std::optional<TWAttachmentList> attachments =
            reopened->transactionAttachments(*transaction);
        ASSERT_TRUE(attachments);
        ASSERT_EQ(attachments->size(), 1);
        EXPECT_EQ(attachments->at(0)->fileName(), original->attachments()->at(0)->fileName());
    }
    EXPECT_EQ(twFileBytes(reopened
                              ->transactionAttachments(
                                  *reopened->transactionWithIdentifier(kept->identifier()))
                              ->at(0)
                              ->filePath()),
              "kept");
    EXPECT_FALSE(QFileInfo::exists(
        reopened->transactionAttachments(*reopened->transactionWithIdentifier(piped->identifier()))
            ->at(0)
            ->filePath()));

    // A later save in place of the copy goes through; it left nothing to copy.
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSave));
}

TEST(PackageSave, AFileCopyNeverReadsAPipe)
{
    TWTestTempDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(TWPackageFiles::isRegularFile(pipe));
    QString reason;
    EXPECT_FALSE(TWPackageFiles::copyFile(pipe, dir.filePath(QStringLiteral("out")), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
}

namespace
{

// A folder path under `dir` exactly `bytes` long (nested, every name within
// the file system's limit of one name).
QString pathOfLength(const TWTestTempDir &dir, qsizetype bytes)
{
    QString path = QDir::cleanPath(dir.path());
    while (path.size() < bytes) {
        const qsizetype left = bytes - path.size() - 1;
        path += QLatin1Char('/') + QString(std::min<qsizetype>(left, 200), QLatin1Char('p'));
    }
    return path;
}

} // namespace

TEST(PackageSave, APathTooLongForTheDatabaseIsSaidSoOnSaveAsAndOpen)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    ASSERT_TRUE(vfs);
    // The journal's name ("-journal" after ".../Data.sql") must fit.
    const qsizetype longest = vfs->mxPathname - 8 - qsizetype(sizeof("/Data.sql") - 1);

    // The longest path SQLite takes saves and opens.
    const QString fits = pathOfLength(dir, longest);
    ASSERT_EQ(QFile::encodeName(fits).size(), longest);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(fits).absolutePath()));
    EXPECT_FALSE(TWBusiness::packagePathError(fits));
    ASSERT_OK(business->writeToURL(QUrl::fromLocalFile(fits), TWSaveOperationSaveTo));
    EXPECT_TRUE(twOpenPackage(QUrl::fromLocalFile(fits)));

    // One byte more: SQLite itself cannot open it ...
    const QString tooLong = fits + QLatin1Char('x');
    ASSERT_TRUE(QDir().mkpath(tooLong));
    sqlite3 *raw = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(tooLong + QStringLiteral("/Data.sql")).constData(),
                              &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_CANTOPEN);
    sqlite3_close(raw);
    ASSERT_TRUE(QDir().rmdir(tooLong));

    // ... and the store says why, as a save-as target ...
    const TWErrorResult saved =
        business->writeToURL(QUrl::fromLocalFile(tooLong), TWSaveOperationSaveAs);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->domain(), TWPackageErrorDomain);
    EXPECT_EQ(saved->code(), TWPackagePathLengthError);
    EXPECT_TRUE(saved->localizedDescription().contains(QString::number(longest)));
    EXPECT_FALSE(QFileInfo::exists(tooLong)) << "nothing is made for a refused save";
    EXPECT_TRUE(business->url().isEmpty());

    // ... and when a package there is opened.
    ASSERT_TRUE(QDir().rename(fits, tooLong));
    TWErrorResult opened;
    EXPECT_FALSE(TWBusiness::businessWithURL(QUrl::fromLocalFile(tooLong), false, &opened));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->code(), TWPackagePathLengthError);
    EXPECT_TRUE(opened->localizedDescription().contains(tooLong));
}

TEST(PackageSave, NoPackageIsEverWrittenInsideAnother)
{
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl own = twPackageURL(dir, QStringLiteral("T.tallyworth"));
    ASSERT_OK(business->writeToURL(own, TWSaveOperationSaveAs));
    auto other = twNewBusiness();
    ASSERT_TRUE(other);
    // A business saved without the usual name ending is a package all the same.
    const QUrl plain = twPackageURL(dir, QStringLiteral("Books"));
    ASSERT_OK(other->writeToURL(plain, TWSaveOperationSaveAs));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Empty.tallyworth/Sub"))));
    ASSERT_TRUE(QFile::link(own.toLocalFile(), dir.filePath(QStringLiteral("Link"))));

    // A package the save would make holds a package as much as one that is there.
    for (const char *nested :
         {"T.tallyworth/T.tallyworth", "T.tallyworth/Attachments/New.tallyworth",
          "Empty.tallyworth/Sub/New.tallyworth", "Link/New.tallyworth",
          "NotYet.tallyworth/Inner.tallyworth"}) {
        SCOPED_TRACE(nested);
        const QString target = dir.filePath(QLatin1String(nested));
        for (TWSaveOperation operation : {TWSaveOperationSaveAs, TWSaveOperationSaveTo}) {
            const TWErrorResult error =
                business->writeToURL(QUrl::fromLocalFile(target), operation);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain(), TWPackageErrorDomain);
            EXPECT_EQ(error->code(), TWPackageNestedError);
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("NotYet.tallyworth"))));
    EXPECT_EQ(business->url(), own);
    // Beside a package, inside a folder that only holds a database of a
    // business, or over the document's own, a save goes on.
    EXPECT_OK(business->writeToURL(twPackageURL(dir, QStringLiteral("U.tallyworth")),
                                   TWSaveOperationSaveTo));
    EXPECT_OK(business->writeToURL(twPackageURL(dir, QStringLiteral("Books/New.tallyworth")),
                                   TWSaveOperationSaveTo));
    EXPECT_OK(business->writeToURL(own, TWSaveOperationSave));
}

TEST(PackageSave, NoSaveWritesIntoAPlainFolderOrAroundTheDocument)
{
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QString books = dir.filePath(QStringLiteral("Books"));
    const QUrl own = QUrl::fromLocalFile(books + QStringLiteral("/Shop.tallyworth"));
    ASSERT_OK(business->writeToURL(own, TWSaveOperationSaveAs));
    // A folder of the user's own files, receipt numbers and all.
    const QString mine = dir.filePath(QStringLiteral("Mine"));
    ASSERT_TRUE(QDir().mkpath(mine + QStringLiteral("/Attachments")));
    ASSERT_TRUE(twWriteBytes(mine + QStringLiteral("/Attachments/100.txt"), "mine"));
    // A package whose database is a folder is refused as such.
    const QString odd = dir.filePath(QStringLiteral("Odd.tallyworth"));
    ASSERT_TRUE(QDir().mkpath(odd + QStringLiteral("/Data.sql")));

    const std::pair<QString, int> refused[] = {{books, TWPackageNestedError},
                                               {dir.path(), TWPackageNestedError},
                                               {mine, TWPackagePlainFolderError},
                                               {odd, TWPackageFileTypeError}};
    for (const auto &[target, code] : refused) {
        SCOPED_TRACE(target.toStdString());
        const TWErrorResult error =
            business->writeToURL(QUrl::fromLocalFile(target), TWSaveOperationSaveTo);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), code) << error->localizedDescription().toStdString();
        EXPECT_FALSE(QFileInfo(target + QStringLiteral("/Data.sql")).isFile());
    }
    EXPECT_EQ(QDir(books).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Shop.tallyworth")});
    EXPECT_EQ(QDir(mine).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Attachments")});
}

TEST(PackageSave, AStoredAttachmentWhoseFileIsGoneKeepsItsRowWhenAFileIsAdded)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Books.tallyworth"));
    const TWTransactionPtr added =
        addWithAttachment(*business, dir, QStringLiteral("old.pdf"), "2", "Printer");
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    ASSERT_TRUE(QFile::remove(added->attachments()->at(0)->filePath()));

    // A file is added; another, whose file went before it was stored, is not.
    const QString source = dir.filePath(QStringLiteral("sources/new.txt"));
    ASSERT_TRUE(twWriteBytes(source, "new"));
    TWAttachmentList list = *added->attachments();
    for (const QString &path : {source, dir.filePath(QStringLiteral("sources/never.txt"))})
        list.append(TWAttachment::attachmentWithFileName(
            QFileInfo(path).fileName(), path, QStringLiteral("text/plain"), TWAttachmentTypeFile, 0,
            0, {}, 0, 0, 3, 0));
    added->setAttachments(list);
    added->setDirtyAttachments(true);
    ASSERT_OK(business->updateTransaction(added, false, false, false, false));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));

    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    QStringList names;
    const std::optional<TWAttachmentList> attachments =
        reopened->transactionAttachments(*reopened->transactionWithIdentifier(added->identifier()));
    for (const TWAttachmentPtr &attachment : *attachments)
        names.append(attachment->fileName());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("new.txt"), QStringLiteral("old.pdf")}));
}

TEST(PackageSave, APackageUnderALinkedFolderOpensSavesAndSavesAs)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    // The user's "Documents" is a link to a folder on another disk.
    const QString disk = dir.filePath(QStringLiteral("disk/Documents"));
    ASSERT_TRUE(QDir().mkpath(disk));
    const QString documents = dir.filePath(QStringLiteral("Documents"));
    ASSERT_TRUE(QFile::link(disk, documents));
    const QUrl url = QUrl::fromLocalFile(documents + QStringLiteral("/Books.tallyworth"));
    {
        auto business = twNewBusiness();
        ASSERT_TRUE(business);
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        EXPECT_EQ(business->url(), url);
    }

    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_EQ(business->url(), url);
    const TWTransactionPtr added =
        addWithAttachment(*business, dir, QStringLiteral("receipt.pdf"), "kept", "Hardware Co");
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    const QString stored =
        disk + QStringLiteral("/Books.tallyworth/Attachments/") +
        TWBusiness::attachmentFileName(added->attachments()->at(0)->identifier(), "receipt.pdf");
    EXPECT_EQ(twFileBytes(stored), "kept");

    // Save As into a new folder under the link, then saves in place there;
    // a deleted attachment's file goes from the package it was saved in.
    const QUrl copy =
        QUrl::fromLocalFile(documents + QStringLiteral("/2024/Books copy.tallyworth"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), copy);
    const QString copied = disk + QStringLiteral("/2024/Books copy.tallyworth/Attachments/") +
                           QFileInfo(stored).fileName();
    EXPECT_EQ(twFileBytes(copied), "kept");
    ASSERT_OK(business->deleteTransaction(added, false, false, false));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSave));
    EXPECT_FALSE(QFileInfo::exists(copied));
    EXPECT_TRUE(QFileInfo::exists(stored));

    for (const QUrl &saved : {url, copy}) {
        auto reopened = twOpenPackage(saved);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(twQueryText(*reopened, QStringLiteral("SELECT name FROM businesses;")),
                  QStringLiteral("Changed"));
        EXPECT_EQ(reopened->transactions().size(), saved == url ? 1 : 0);
    }

    // Under the link, a database that is itself a link is still refused.
    const QString data = twPackageFile(url, QStringLiteral("Data.sql"));
    const QString outside = dir.filePath(QStringLiteral("outside.sql"));
    ASSERT_TRUE(QFile::rename(data, outside));
    ASSERT_TRUE(QFile::link(outside, data));
    TWErrorResult error;
    EXPECT_FALSE(TWBusiness::businessWithURL(url, false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageLinkError);
}

TEST(PackageSave, ASaveInPlaceLeavesOutAttachmentsWhoseFilesAreGoneAndNamesThem)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Books"));
    const TWTransactionPtr deleted =
        addWithAttachment(*business, dir, QStringLiteral("deleted.pdf"), "1", "Hardware Co");
    const TWTransactionPtr piped =
        addWithAttachment(*business, dir, QStringLiteral("piped.txt"), "2", "Printer");
    const TWTransactionPtr folder =
        addWithAttachment(*business, dir, QStringLiteral("folder.txt"), "3");
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));

    // The package's files go: one deleted, one a pipe (never opened, so the
    // save cannot wait for a writer), one a folder; their transactions change.
    for (const TWTransactionPtr &t : {deleted, piped, folder}) {
        const QByteArray file = QFile::encodeName(t->attachments()->at(0)->filePath());
        ASSERT_EQ(::unlink(file.constData()), 0);
        if (t == piped) {
            ASSERT_EQ(::mkfifo(file.constData(), 0600), 0);
        } else if (t == folder) {
            ASSERT_EQ(::mkdir(file.constData(), 0700), 0);
        }
        t->setDirtyAttachments(true);
    }
    const TWTransactionPtr added =
        addWithAttachment(*business, dir, QStringLiteral("new.txt"), "new", "Bakery");
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));

    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    const QList<TWMissingAttachment> missing = missingByFileName(*business);
    ASSERT_EQ(missing.size(), 3);
    EXPECT_EQ(missing.at(0).fileName, QStringLiteral("deleted.pdf"));
    EXPECT_EQ(missing.at(0).payee, QStringLiteral("Hardware Co"));
    EXPECT_EQ(missing.at(0).date, deleted->date());
    EXPECT_EQ(missing.at(1).fileName, QStringLiteral("folder.txt"));
    EXPECT_EQ(missing.at(2).fileName, QStringLiteral("piped.txt"));
    EXPECT_EQ(missing.at(2).payee, QStringLiteral("Printer"));
    EXPECT_EQ(twFileBytes(added->attachments()->at(0)->filePath()), "new");

    // Named once: the next save has nothing left to copy.
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_TRUE(business->missingAttachments().isEmpty());

    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(twQueryText(*reopened, QStringLiteral("SELECT name FROM businesses;")),
              QStringLiteral("Changed"));
    for (const TWTransactionPtr &original : {deleted, piped, folder, added}) {
        const TWTransactionPtr t = reopened->transactionWithIdentifier(original->identifier());
        ASSERT_TRUE(t);
        const std::optional<TWAttachmentList> attachments = reopened->transactionAttachments(*t);
        ASSERT_TRUE(attachments && attachments->size() == 1);
        EXPECT_EQ(attachments->at(0)->fileName(), original->attachments()->at(0)->fileName());
    }
}

namespace
{

// The transactions' payees a package holds, sorted.
QStringList savedPayees(const QUrl &url)
{
    auto business = twOpenPackage(url);
    QStringList payees;
    for (const TWTransactionPtr &t : business ? business->transactions() : TWTransactionList{})
        payees.append(t->payee());
    payees.sort();
    return payees;
}

} // namespace

// Two stores on one package: the first presses Save while the second is
// between its check and its commit. The first waits for the second's whole
// save, then finds a package it did not read and is refused, so that the
// second's work is never lost without a word.
TEST(PackageSave, ASaveWaitsForAnotherStoresSaveToEndAndIsThenRefused)
{
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Shared"));
    {
        auto business = twNewBusiness();
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    }
    auto first = twOpenPackage(url);
    auto second = twOpenPackage(url);
    ASSERT_TRUE(first && second);
    addWithAttachment(*first, dir, QStringLiteral("first.txt"), "first", QStringLiteral("First"));
    addWithAttachment(*second, dir, QStringLiteral("second.txt"), "second",
                      QStringLiteral("Second"));

    const std::thread::id saving = std::this_thread::get_id();
    std::future<TWErrorResult> firstSave;
    bool firstEndedMeanwhile = true;
    TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
        if (step != TWPackageFiles::SaveStep::PackageChecked ||
            std::this_thread::get_id() != saving || firstSave.valid())
            return false;
        firstSave = std::async(std::launch::async,
                               [&] { return first->writeToURL(url, TWSaveOperationSave); });
        firstEndedMeanwhile =
            firstSave.wait_for(std::chrono::milliseconds(300)) == std::future_status::ready;
        return false;
    });
    const TWErrorResult secondSaved = second->writeToURL(url, TWSaveOperationSave);
    const TWErrorResult firstSaved = firstSave.valid() ? firstSave.get() : TWErrorResult{};
    TWPackageFiles::setSaveStepHook({});

    EXPECT_OK(secondSaved);
    EXPECT_FALSE(firstEndedMeanwhile);
    ASSERT_TRUE(firstSaved);
    EXPECT_EQ(firstSaved->code(), TWPackageChangedError);
    EXPECT_EQ(savedPayees(url), QStringList{QStringLiteral("Second")});
    // Every temporary file went: none of either save is left beside a receipt.
    EXPECT_EQ(QDir(url.toLocalFile() + QStringLiteral("/Attachments"))
                  .entryList(QDir::Files | QDir::Hidden)
                  .size(),
              1);
}

// Two stores saving as one new name at the same moment: the first makes
// the package while the second is between its check and its writing. The
// second writes nothing into it and is told, so that the package holds the
// first's database with the first's settings and receipts, never a mix.
TEST(PackageSave, TwoSavesAsOneNewNameAtOnceLeaveOneWholePackage)
{
    for (const TWSaveOperation operation : {TWSaveOperationSaveAs, TWSaveOperationSaveTo}) {
        SCOPED_TRACE(int(operation));
        TWTestTempDir dir;
        const QUrl url = twPackageURL(dir, QStringLiteral("New"));
        auto first = twNewBusiness();
        auto second = twNewBusiness();
        addWithAttachment(*first, dir, QStringLiteral("first.txt"), "first",
                          QStringLiteral("First"));
        addWithAttachment(*second, dir, QStringLiteral("second.txt"), "second",
                          QStringLiteral("Second"));
        second->setSearchFieldType(2);

        TWErrorResult firstSaved = TWError(QStringLiteral("test"), 0, QStringLiteral("not run"));
        bool firstRan = false;
        TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
            if (step == TWPackageFiles::SaveStep::PackageChecked && !firstRan) {
                firstRan = true;
                firstSaved = first->writeToURL(url, TWSaveOperationSaveAs);
            }
            return false;
        });
        const TWErrorResult secondSaved = second->writeToURL(url, operation);
        TWPackageFiles::setSaveStepHook({});

        EXPECT_OK(firstSaved);
        ASSERT_TRUE(secondSaved);
        EXPECT_EQ(secondSaved->code(), TWPackageElsewhereError);
        EXPECT_EQ(savedPayees(url), QStringList{QStringLiteral("First")});
        const std::optional<TWPackageMark> mark =
            TWPackageMark::of(twPackageFile(url, QStringLiteral("Data.sql")));
        const TWResult<QVariant> settings =
            TWPropertyList::readFile(twPackageFile(url, QStringLiteral("Settings.plist")));
        ASSERT_TRUE(mark && settings.ok());
        EXPECT_EQ(settings.value.toMap().value(TWPackageFiles::tokenKey).toLongLong(), mark->token);
        EXPECT_NE(settings.value.toMap().value(QStringLiteral("searchFieldType")).toInt(), 2);
        EXPECT_FALSE(QFileInfo::exists(twPackageFile(url, QStringLiteral("Settings.plist.new"))));
        EXPECT_EQ(QDir(url.toLocalFile() + QStringLiteral("/Attachments"))
                      .entryList(QDir::Files | QDir::Hidden)
                      .size(),
                  1);
    }
}

// Another program (a database browser, a sync tool, an earlier build's save
// on a slow disk) holds the database locked while the business opens and
// writes to it, then writes again after the opening. The opening either
// refuses at once with a message, or records what it read, so that the save
// after the other program's second write is refused, never written over it.
TEST(PackageSave, AnOpeningWhileAnotherProgramHoldsTheDatabaseNeverSkipsTheSavesCheck)
{
    // Held past the mark's wait, let go within the rows' wait.
    for (const int heldMilliseconds : {2500}) {
        SCOPED_TRACE(heldMilliseconds);
        TWTestTempDir dir;
        const QUrl url = twPackageURL(dir, QStringLiteral("Held"));
        {
            auto business = twNewBusiness();
            ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        }
        const QByteArray data = QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql")));
        const auto write = [&data](const char *sql) {
            sqlite3 *file = nullptr;
            sqlite3_open(data.constData(), &file);
            sqlite3_busy_timeout(file, 10000);
            EXPECT_EQ(sqlite3_exec(file, sql, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(file);
        };
        std::promise<void> locked;
        std::thread other([&] {
            sqlite3 *file = nullptr;
            sqlite3_open(data.constData(), &file);
            sqlite3_exec(file, "BEGIN EXCLUSIVE; UPDATE accounts SET name='Theirs 1';", nullptr,
                         nullptr, nullptr);
            locked.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(heldMilliseconds));
            sqlite3_exec(file, "COMMIT;", nullptr, nullptr, nullptr);
            sqlite3_close(file);
        });
        locked.get_future().wait();
        TWErrorResult error;
        auto business = TWBusiness::businessWithURL(url, false, &error);
        other.join();
        if (!business) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), TWPackageLockedError) << twDescribe(error);
            EXPECT_TRUE(error->localizedDescription().contains(url.toLocalFile()));
            continue;
        }
        write("UPDATE accounts SET name='Theirs 2';");
        const TWErrorResult saved = business->writeToURL(url, TWSaveOperationSave);
        ASSERT_TRUE(saved) << "saved over the other program's write";
        EXPECT_EQ(saved->code(), TWPackageChangedError) << twDescribe(saved);
    }
}

// A save in place killed while it copied receipts leaves a receipt file no
// transaction names and, cut off inside a copy, the copy's temporary file:
// the next save or opening of the business that holds the package's lock
// removes both, and only them: never a file of the user's that no row names,
// never a receipt of the business's own, and nothing where no lock is kept
// (a save may be copying right then).
TEST(PackageSave, WhatACutOffSaveLeftIsRemovedByTheNextSaveOrOpening)
{
    enum class Next { Save, Opening, SaveOfItsOwnReceipt };
    const struct {
        const char *name;
        Next next;
        bool locksKept;
    } rows[] = {
        {"next: a save", Next::Save, true},
        {"next: an opening", Next::Opening, true},
        // It had the business open across the cut-off save and added a
        // receipt that takes the same number as the orphan.
        {"next: a save adding a receipt of the orphan's number", Next::SaveOfItsOwnReceipt, true},
        {"next: an opening where no lock is kept", Next::Opening, false},
    };
    // Put there by the user: named with digits, named by no row.
    const QStringList users = {QStringLiteral("2024 notes.txt"), QStringLiteral("7")};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TWTestTempDir dir;
        const QUrl url = twPackageURL(dir, QStringLiteral("Cut"));
        {
            auto business = twNewBusiness();
            addWithAttachment(*business, dir, QStringLiteral("kept.txt"), "kept");
            ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        }
        const QDir attachments(twPackageFile(url, QStringLiteral("Attachments")));
        for (const QString &name : users)
            ASSERT_TRUE(twWriteBytes(attachments.filePath(name), "mine"));
        const QStringList before = attachments.entryList(QDir::Files | QDir::Hidden);
        // The window that saves next opened the business before the cut-off save.
        std::unique_ptr<TWBusiness> next = row.next != Next::Opening ? twOpenPackage(url) : nullptr;
        QString own;
        if (row.next == Next::SaveOfItsOwnReceipt) {
            const TWTransactionPtr t =
                addWithAttachment(*next, dir, QStringLiteral("own.txt"), "own");
            own = TWBusiness::attachmentFileName(t->attachments()->at(0)->identifier(),
                                                 QStringLiteral("own.txt"));
        }
        QString orphan;
        {
            auto business = twOpenPackage(url);
            ASSERT_TRUE(business);
            const TWTransactionPtr t =
                addWithAttachment(*business, dir, QStringLiteral("orphan.txt"), "orphan");
            orphan = TWBusiness::attachmentFileName(t->attachments()->at(0)->identifier(),
                                                    QStringLiteral("orphan.txt"));
            StopAt stop(TWPackageFiles::SaveStep::AttachmentsCopied);
            ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave));
        }
        // Cut off inside the copy of a receipt it listed.
        ASSERT_TRUE(
            twWriteBytes(attachments.filePath('.' + orphan + QStringLiteral(".saving-1f2e3d")),
                         QByteArray(4096, 'x')));
        const QStringList left = attachments.entryList(QDir::Files | QDir::Hidden);
        ASSERT_TRUE(left.contains(orphan));

        if (!own.isEmpty()) {
            ASSERT_EQ(own, orphan);
        }
        TWPackageFiles::setLocksKept(row.locksKept);
        if (row.next == Next::Opening) {
            next = twOpenPackage(url);
            ASSERT_TRUE(next);
        } else {
            ASSERT_TRUE(next);
            next->setSearchFieldType(2);
            ASSERT_OK(next->writeToURL(url, TWSaveOperationSave));
        }
        TWPackageFiles::setLocksKept(true);
        if (!row.locksKept) {
            EXPECT_EQ(attachments.entryList(QDir::Files | QDir::Hidden), left);
        } else if (own.isEmpty()) {
            EXPECT_EQ(attachments.entryList(QDir::Files | QDir::Hidden), before);
        } else {
            // The orphan went; the receipt saved under its number is the window's own.
            QStringList expected = before;
            expected.append(own);
            expected.sort();
            EXPECT_EQ(attachments.entryList(QDir::Files | QDir::Hidden), expected);
            EXPECT_EQ(twFileBytes(attachments.filePath(own)), "own");
        }
        for (const QString &name : users)
            EXPECT_EQ(twFileBytes(attachments.filePath(name)), "mine") << name.toStdString();
        auto reopened = twOpenPackage(url);
        ASSERT_TRUE(reopened);
        ASSERT_EQ(reopened->transactions().size(), own.isEmpty() ? 1 : 2);
        for (const TWTransactionPtr &t : reopened->transactions()) {
            const auto &kept = twLoadedAttachments(*t, *reopened);
            ASSERT_TRUE(kept && kept->size() == 1);
            EXPECT_EQ(twFileBytes(kept->at(0)->filePath()),
                      kept->at(0)->fileName() == QStringLiteral("kept.txt") ? "kept" : "own");
        }
    }
}

// Where no lock is kept (a share that passes none), another window opening
// the business while a save in place is copying its receipts leaves them
// alone: the save commits a database whose every receipt is there.
TEST(PackageSave, AnOpeningWhereNoLockIsKeptLeavesARunningSavesReceipts)
{
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Shared"));
    {
        auto business = twNewBusiness();
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    }
    auto saving = twOpenPackage(url);
    ASSERT_TRUE(saving);
    addWithAttachment(*saving, dir, QStringLiteral("new.txt"), "new");
    TWPackageFiles::setLocksKept(false);
    std::unique_ptr<TWBusiness> opened;
    TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
        if (step == TWPackageFiles::SaveStep::AttachmentsCopied && !opened)
            opened = twOpenPackage(url);
        return false;
    });
    const TWErrorResult saved = saving->writeToURL(url, TWSaveOperationSave);
    TWPackageFiles::setSaveStepHook({});
    TWPackageFiles::setLocksKept(true);
    ASSERT_OK(saved);
    EXPECT_TRUE(opened);
    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->transactions().size(), 1);
    const auto &attachments = twLoadedAttachments(*reopened->transactions().at(0), *reopened);
    ASSERT_TRUE(attachments && attachments->size() == 1);
    EXPECT_EQ(twFileBytes(attachments->at(0)->filePath()), "new");
}

// Another program (a database browser, sqlite3) holds the database in a
// write transaction past the save's wait: nothing was written, so the save is
// told the business is in use and may be tried again, never that another
// program changed it (whose answer, Revert, would drop the edits).
TEST(PackageSave, AWriteTransactionAnotherProgramHoldsIsToldAsInUse)
{
    const char *const holds[] = {
        "BEGIN IMMEDIATE;", "BEGIN IMMEDIATE; UPDATE info SET value=value;", "BEGIN EXCLUSIVE;"};
    for (const char *hold : holds) {
        SCOPED_TRACE(hold);
        TWTestTempDir dir;
        const QUrl url = twPackageURL(dir, QStringLiteral("Held"));
        {
            auto business = twNewBusiness();
            ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
        }
        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        business->setSearchFieldType(2);
        sqlite3 *other = nullptr;
        sqlite3_open(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &other);
        ASSERT_EQ(sqlite3_exec(other, hold, nullptr, nullptr, nullptr), SQLITE_OK);
        const TWErrorResult saved = business->writeToURL(url, TWSaveOperationSave);
        sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->domain(), TWPackageErrorDomain);
        EXPECT_EQ(saved->code(), TWPackageLockedError) << twDescribe(saved);
        EXPECT_TRUE(saved->localizedDescription().endsWith(
            TWLocalized("packageInUseDescription").section(QStringLiteral("%1"), 1)))
            << twDescribe(saved);
        // Once it has finished, the same save goes through.
        EXPECT_OK(business->writeToURL(url, TWSaveOperationSave));
        EXPECT_EQ(twOpenPackage(url)->searchFieldType(), 2);
    }
}

// Saves that fail or stop half-way: the package keeps the old document or
// holds the new one, never a mix, and no file the saved document uses is
// replaced before the new database is committed.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

// A transaction between the first two accounts carrying one attachment file
// with `content`, added through the store.
TWTransactionPtr addWithAttachment(TWBusiness &business, const TWTestTempDir &dir,
                                   const QString &name, const QByteArray &content)
{
    const QString source = dir.filePath(QStringLiteral("sources/") + name);
    QDir().mkpath(QFileInfo(source).absolutePath());
    twWriteBytes(source, content);
    TWTransactionPtr t = twMakeTransaction(
        business, business.nextTransactionIdentifier(), twDay(2024, 3, 1),
        business.accounts().at(0)->identifier(), business.accounts().at(1)->identifier(), 500);
    t->setHasAttachments(true);
    t->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        name, source, QStringLiteral("text/plain"), TWAttachmentTypeFile, 0, 0, {}, 0, 0,
        content.size(), 0)});
    t->setDirtyAttachments(true);
    EXPECT_OK(business.addTransaction(t, false, false, false, false));
    return t;
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

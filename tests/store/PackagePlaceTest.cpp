// The package's place on disk: a package renamed while open is followed by
// the saves, and only a business package counts as one that a save may
// replace.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// A business saved at `url` with one transaction whose attachment holds `content`.
std::unique_ptr<TWBusiness> savedWithReceipt(const TWTestTempDir &dir, const QUrl &url,
                                             const QByteArray &content)
{
    auto business = twNewBusiness();
    const QString source = dir.filePath(QStringLiteral("receipt.txt"));
    twWriteBytes(source, content);
    TWTransactionPtr t = twMakeTransaction(
        *business, business->nextTransactionIdentifier(), twDay(2024, 3, 1),
        business->accounts().at(0)->identifier(), business->accounts().at(1)->identifier(), 500);
    t->setHasAttachments(true);
    t->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        QStringLiteral("receipt.txt"), source, QStringLiteral("text/plain"), TWAttachmentTypeFile,
        0, 0, {}, 0, 0, content.size(), 0)});
    t->setDirtyAttachments(true);
    EXPECT_OK(business->addTransaction(t, false, false, false, false));
    EXPECT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    return business;
}

QByteArray firstReceipt(const QUrl &url)
{
    auto business = twOpenPackage(url);
    if (!business || business->transactions().isEmpty())
        return {};
    const auto &attachments = twLoadedAttachments(*business->transactions().first(), *business);
    return attachments && !attachments->isEmpty() ? twFileBytes(attachments->first()->filePath())
                                                  : QByteArray();
}

// Leaves the database at `path` as a process killed half-way through a
// write leaves it: changed pages in the file, the old ones in its journal.
void cutOffWrite(const QString &path)
{
    const pid_t child = fork();
    if (child == 0) {
        sqlite3 *file = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &file);
        sqlite3_exec(file,
                     "PRAGMA cache_size=1; BEGIN; CREATE TABLE scratch(x); INSERT INTO scratch "
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                     "2000) SELECT randomblob(500) FROM n;",
                     nullptr, nullptr, nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace

TEST(PackagePlace, SavesFollowAPackageRenamedWhileOpen)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl first = twPackageURL(dir, QStringLiteral("Acme.tallyworth"));
    auto business = savedWithReceipt(dir, first, "receipt");
    ASSERT_TRUE(business);
    const QUrl renamed = twPackageURL(dir, QStringLiteral("Renamed.tallyworth"));
    ASSERT_TRUE(QDir().rename(first.toLocalFile(), renamed.toLocalFile()));
    EXPECT_TRUE(business->isOwnPackage(renamed.toLocalFile()));
    EXPECT_TRUE(business->usesPackage(dir.path()));
    EXPECT_FALSE(business->usesPackage(first.toLocalFile()));

    // Saved elsewhere, the copy takes the files from where the package is now.
    const QUrl copy = twPackageURL(dir, QStringLiteral("Copy.tallyworth"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveTo));
    EXPECT_TRUE(business->missingAttachments().isEmpty());
    EXPECT_EQ(firstReceipt(copy), "receipt");
    EXPECT_EQ(QFileInfo(business->url().toLocalFile()).fileName(),
              QStringLiteral("Renamed.tallyworth"));

    // Saved onto its new name, it is saved in place: a removed attachment's
    // file goes, as only a save into the package itself does.
    const QString file = business->transactions().first()->attachments()->first()->filePath();
    EXPECT_TRUE(file.startsWith(renamed.toLocalFile())) << file.toStdString();
    ASSERT_OK(business->deleteTransaction(business->transactions().first(), false, false, false));
    ASSERT_OK(business->writeToURL(renamed, TWSaveOperationSaveAs));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(first.toLocalFile()));

    // A deleted package is not followed: the next save writes it anew.
    ASSERT_TRUE(QDir(renamed.toLocalFile()).removeRecursively());
    EXPECT_FALSE(business->followPackage());
    EXPECT_FALSE(business->isOwnPackage(renamed.toLocalFile()));
    ASSERT_OK(business->writeToURL(renamed, TWSaveOperationSave));
    EXPECT_TRUE(business->isOwnPackage(renamed.toLocalFile()));
}

TEST(PackagePlace, OnlyABusinessPackageMayBeReplaced)
{
    TWTestTempDir dir;
    const auto write = [](const QString &path, const QByteArray &content = "x") {
        QDir().mkpath(QFileInfo(path).absolutePath());
        twWriteBytes(path, content);
    };
    const auto business = [&dir](const QString &name) {
        const QUrl url = twPackageURL(dir, name);
        auto made = twNewBusiness();
        EXPECT_OK(made->writeToURL(url, TWSaveOperationSaveAs));
        return url.toLocalFile();
    };
    struct Case {
        const char *name;
        std::function<QString()> make;
        const char *named; // what the refusal names; nullptr: replaceable
    };
    const Case cases[] = {
        {"nothing there", [&] { return dir.filePath("None.tallyworth"); }, nullptr},
        {"a business", [&] { return business("A.tallyworth"); }, nullptr},
        {"a business a save was cut off in",
         [&] {
             const QString path = business("B.tallyworth");
             write(QDir(path).filePath("Settings.plist.new"));
             write(QDir(path).filePath("Attachments/.100.pdf.saving"));
             cutOffWrite(QDir(path).filePath("Data.sql"));
             EXPECT_TRUE(QFileInfo::exists(QDir(path).filePath("Data.sql-journal")));
             return path;
         },
         nullptr},
        {"a business holding another",
         [&] {
             const QString path = business("C.tallyworth");
             QDir().rename(business("Inner.tallyworth"), QDir(path).filePath("Inner.tallyworth"));
             return path;
         },
         "Inner.tallyworth"},
        {"a business with a folder in its attachments",
         [&] {
             const QString path = business("D.tallyworth");
             write(QDir(path).filePath("Attachments/Scans/a.pdf"));
             return path;
         },
         "Attachments/Scans"},
        {"a plain folder",
         [&] {
             write(dir.filePath("E.tallyworth/notes.txt"));
             return dir.filePath("E.tallyworth");
         },
         "notes.txt"},
        {"an empty folder",
         [&] {
             QDir().mkpath(dir.filePath("F.tallyworth"));
             return dir.filePath("F.tallyworth");
         },
         "database"},
        {"a database of another program",
         [&] {
             write(dir.filePath("G.tallyworth/Data.sql"), "CREATE TABLE accounts (a);");
             return dir.filePath("G.tallyworth");
         },
         "database"},
        {"a link to a business",
         [&] {
             QFile::link(business("H.tallyworth"), dir.filePath("Link.tallyworth"));
             return dir.filePath("Link.tallyworth");
         },
         "link"},
        {"a file",
         [&] {
             write(dir.filePath("I.tallyworth"));
             return dir.filePath("I.tallyworth");
         },
         "file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.make();
        const TWErrorResult refusal = TWBusiness::replaceRefusal(path);
        if (!c.named) {
            EXPECT_FALSE(refusal) << twDescribe(refusal);
            continue;
        }
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->code(), TWPackageReplaceError);
        EXPECT_TRUE(refusal->localizedDescription().contains(path));
        EXPECT_TRUE(refusal->localizedDescription().contains(QLatin1String(c.named)))
            << refusal->localizedDescription().toStdString();
    }
}

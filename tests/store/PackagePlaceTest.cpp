// The package's place on disk: a package renamed while open is followed by
// the saves, and only a business package counts as one a save may replace.

#include "TWPackageTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "model/TWTransaction.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

QUrl saved(const TWTestTempDir &dir, const QString &name)
{
    const QUrl url = twPackageURL(dir, name);
    EXPECT_OK(twNewBusiness()->writeToURL(url, TWSaveOperationSaveAs));
    return url;
}

// Leaves the database as a process killed half-way through a write leaves
// it: changed pages in the file, the old ones in its journal.
void cutOffWrite(const QString &path)
{
    if (fork() == 0) {
        sqlite3 *file = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &file);
        sqlite3_exec(file,
                     "PRAGMA cache_size=1; BEGIN; CREATE TABLE scratch(x); INSERT INTO scratch "
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                     "2000) SELECT randomblob(500) FROM n;",
                     nullptr, nullptr, nullptr);
        _exit(0);
    }
    wait(nullptr);
}

} // namespace

TEST(PackagePlace, SavesFollowAPackageRenamedWhileOpenButNotOneDeleted)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    const QString source = dir.filePath(QStringLiteral("receipt.txt"));
    ASSERT_TRUE(twWriteBytes(source, "receipt"));
    TWTransactionPtr t = twMakeTransaction(
        *business, business->nextTransactionIdentifier(), twDay(2024, 3, 1),
        business->accounts().at(0)->identifier(), business->accounts().at(1)->identifier(), 500);
    t->setHasAttachments(true);
    t->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        "receipt.txt", source, "text/plain", TWAttachmentTypeFile, 0, 0, {}, 0, 0, 7, 0)});
    t->setDirtyAttachments(true);
    ASSERT_OK(business->addTransaction(t, false, false, false, false));
    const QUrl first = twPackageURL(dir, QStringLiteral("Acme.tallyworth"));
    ASSERT_OK(business->writeToURL(first, TWSaveOperationSaveAs));
    const QUrl renamed = twPackageURL(dir, QStringLiteral("Renamed.tallyworth"));
    ASSERT_TRUE(QDir().rename(first.toLocalFile(), renamed.toLocalFile()));
    EXPECT_TRUE(business->isOwnPackage(renamed.toLocalFile()));
    EXPECT_TRUE(business->usesPackage(dir.path()));

    // A copy takes the files from where the package is now.
    const QUrl copy = twPackageURL(dir, QStringLiteral("Copy.tallyworth"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveTo));
    EXPECT_TRUE(business->missingAttachments().isEmpty());
    auto reopened = twOpenPackage(copy);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(
        twFileBytes(
            twLoadedAttachments(*reopened->transactions().first(), *reopened)->first()->filePath()),
        "receipt");
    EXPECT_EQ(business->url(), renamed);

    // A deleted package is not followed: the next save writes it anew.
    ASSERT_TRUE(QDir(renamed.toLocalFile()).removeRecursively());
    EXPECT_FALSE(business->followPackage());
    ASSERT_OK(business->writeToURL(renamed, TWSaveOperationSave));
    EXPECT_TRUE(business->isOwnPackage(renamed.toLocalFile()));
}

TEST(PackagePlace, OnlyABusinessPackageMayBeReplaced)
{
    TWTestTempDir dir;
    struct Case {
        const char *name;
        std::function<QString()> make;
        const char *named; // what the refusal names; nullptr: replaceable
    };
    const Case cases[] = {
        {"nothing there", [&] { return dir.filePath("None.tallyworth"); }, nullptr},
        {"a business a save was cut off in",
         [&] {
             const QString path = saved(dir, "A.tallyworth").toLocalFile();
             twWriteBytes(QDir(path).filePath("Settings.plist.new"), "x");
             twWriteBytes(QDir(path).filePath("Attachments/.100.pdf.saving"), "x");
             cutOffWrite(QDir(path).filePath("Data.sql"));
             EXPECT_TRUE(QFileInfo::exists(QDir(path).filePath("Data.sql-journal")));
             return path;
         },
         nullptr},
        {"a business with a folder among its attachments",
         [&] {
             const QString path = saved(dir, "B.tallyworth").toLocalFile();
             QDir(path).mkpath("Attachments/Scans");
             return path;
         },
         "Attachments/Scans"},
        {"an empty folder",
         [&] {
             QDir(dir.path()).mkdir("C.tallyworth");
             return dir.filePath("C.tallyworth");
         },
         "database"},
        {"a link to a business",
         [&] {
             QFile::link(saved(dir, "D.tallyworth").toLocalFile(), dir.filePath("L.tallyworth"));
             return dir.filePath("L.tallyworth");
         },
         "link"},
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

// A business saved by an earlier build carries no identity: it is known by
// its database as this document read it: an unchanged copy is a copy of it,
// another business is not. The first save writes that identity down.
TEST(PackagePlace, ABusinessSavedWithoutAnIdentityIsKnownByWhatItRead)
{
    TWTestTempDir dir;
    const auto withoutIdentity = [&dir](const QString &name, qint64 amount) {
        auto business = twNewBusiness();
        EXPECT_OK(business->addTransaction(
            twMakeTransaction(*business, business->nextTransactionIdentifier(), twDay(2024, 3, 1),
                              business->accounts().at(0)->identifier(),
                              business->accounts().at(1)->identifier(), amount),
            false, false, false, false));
        const QString path = twPackageURL(dir, name).toLocalFile();
        EXPECT_OK(business->writeToURL(QUrl::fromLocalFile(path), TWSaveOperationSaveAs));
        const QString settings = QDir(path).filePath(QStringLiteral("Settings.plist"));
        QString text = QString::fromUtf8(twFileBytes(settings));
        text.remove(QRegularExpression(
            QStringLiteral("\\s*<key>businessIdentity</key>\\s*<string>[^<]*</string>")));
        EXPECT_TRUE(twWriteBytes(settings, text.toUtf8()));
        return path;
    };
    const auto copied = [&dir](const QString &from, const QString &name) {
        const QString to = dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(QDir(to).filePath(QStringLiteral("Attachments"))));
        for (const QString &file : {QStringLiteral("Data.sql"), QStringLiteral("Settings.plist")})
            EXPECT_TRUE(QFile::copy(QDir(from).filePath(file), QDir(to).filePath(file)));
        return to;
    };
    const QString old = withoutIdentity(QStringLiteral("Old.tallyworth"), 500);
    const QString other = withoutIdentity(QStringLiteral("Other.tallyworth"), 700);
    const QString copy = copied(old, QStringLiteral("Copy.tallyworth"));

    auto business = twOpenPackage(QUrl::fromLocalFile(old));
    ASSERT_TRUE(business);
    EXPECT_TRUE(business->isCopyOfThisBusiness(copy));
    EXPECT_FALSE(business->isCopyOfThisBusiness(other));
    ASSERT_OK(business->writeToURL(QUrl::fromLocalFile(old), TWSaveOperationSave));
    EXPECT_TRUE(business->isCopyOfThisBusiness(copy));
    EXPECT_TRUE(QString::fromUtf8(twFileBytes(QDir(old).filePath(QStringLiteral("Settings.plist"))))
                    .contains(business->businessIdentity()));
}

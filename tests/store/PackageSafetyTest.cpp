// Packages from elsewhere: links inside them, oversized values and database
// schema objects that are not what a business database holds.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

// A saved package with one attachment file in it; returns its URL.
QUrl savedPackage(const TWTestTempDir &dir, const QString &name)
{
    auto business = twNewBusiness();
    const QUrl url = twPackageURL(dir, name);
    EXPECT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    twWriteBytes(twPackageFile(url, QStringLiteral("Attachments/100.txt")), "attached");
    return url;
}

// Runs SQL on the package's database file directly, as another program would.
void execOnFile(const QUrl &url, const QString &sql)
{
    sqlite3 *file = nullptr;
    ASSERT_EQ(
        sqlite3_open(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &file),
        SQLITE_OK);
    twExec(file, sql);
    sqlite3_close(file);
}

TWErrorResult openError(const QUrl &url)
{
    TWErrorResult error;
    auto business = TWBusiness::businessWithURL(url, false, &error);
    EXPECT_EQ(business == nullptr, bool(error));
    return error;
}

// Moves `entry` out of the package and leaves a symbolic link to it.
void replaceWithLink(const TWTestTempDir &dir, const QUrl &url, const QString &entry)
{
    const QString inside = twPackageFile(url, entry);
    const QString outside = dir.filePath(QStringLiteral("outside-") + QFileInfo(entry).fileName());
    ASSERT_TRUE(QFile::rename(inside, outside));
    ASSERT_TRUE(QFile::link(outside, inside));
}

} // namespace

TEST(PackageSafety, LinksInsideAPackageAreRefusedAtOpening)
{
    TWFixedClock clock(2024, 3, 15);
    for (const QString &entry :
         {QStringLiteral("Data.sql"), QStringLiteral("Settings.plist"),
          QStringLiteral("Attachments/100.txt"), QStringLiteral("Attachments")}) {
        SCOPED_TRACE(entry);
        TWTestTempDir dir;
        const QUrl url = savedPackage(dir, QStringLiteral("Doc"));
        ASSERT_TRUE(twOpenPackage(url));
        replaceWithLink(dir, url, entry);
        const TWErrorResult error = openError(url);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), TWPackageErrorDomain);
        EXPECT_EQ(error->code(), TWPackageLinkError);
        EXPECT_TRUE(error->localizedDescription().contains(entry.section(u'/', -1)))
            << error->localizedDescription();
    }
}

TEST(PackageSafety, ASaveNeverWritesThroughALink)
{
    TWFixedClock clock(2024, 3, 15);
    for (const QString &entry : {QStringLiteral("Data.sql"), QStringLiteral("Settings.plist"),
                                 QStringLiteral("Attachments")}) {
        SCOPED_TRACE(entry);
        TWTestTempDir dir;
        const QUrl url = savedPackage(dir, QStringLiteral("Doc"));
        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        replaceWithLink(dir, url, entry);
        const QString outside =
            dir.filePath(QStringLiteral("outside-") + QFileInfo(entry).fileName());
        const QByteArray before = twFileBytes(outside);

        twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
        const TWErrorResult error = business->writeToURL(url, TWSaveOperationSave);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), TWPackageLinkError);
        EXPECT_EQ(twFileBytes(outside), before);
        EXPECT_TRUE(QFileInfo(twPackageFile(url, entry)).isSymLink());
    }
}

TEST(PackageSafety, AValueLargerThanTheLimitRefusesTheDocument)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = savedPackage(dir, QStringLiteral("Doc"));
    const int bytes = TWStoredRowSizeLimit + 1024;
    execOnFile(url,
               QStringLiteral("UPDATE businesses SET name=replace(hex(zeroblob(%1)), '0', 'x');")
                   .arg(bytes / 2));
    const TWErrorResult error = openError(url);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWPackageErrorDomain);
    EXPECT_EQ(error->code(), TWPackageValueSizeError);

    // A value at the limit's side is kept, and the working copy refuses to
    // take a larger one.
    execOnFile(url, QStringLiteral("UPDATE businesses SET name=replace(hex(zeroblob(%1)), '0', "
                                   "'x');")
                        .arg(1024 * 1024));
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_EQ(business->businessInfo()->name().size(), 2 * 1024 * 1024);
    EXPECT_TRUE(business->executeSQL(
        QStringLiteral("UPDATE businesses SET name=zeroblob(%1);").arg(bytes)));
}

namespace
{

QStringList schemaObjects(sqlite3 *database)
{
    QStringList objects;
    sqlite3_stmt *rows = nullptr;
    sqlite3_prepare_v2(database,
                       "SELECT type || ' ' || name FROM sqlite_schema WHERE type IN "
                       "('trigger', 'view') OR name IN ('extra', 'shadowed') ORDER BY 1;",
                       -1, &rows, nullptr);
    while (rows && sqlite3_step(rows) == SQLITE_ROW)
        objects.append(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0))));
    sqlite3_finalize(rows);
    return objects;
}

} // namespace

TEST(PackageSafety, AReceivedDatabaseContributesOnlyItsRows)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = savedPackage(dir, QStringLiteral("Doc"));
    execOnFile(url, QStringLiteral("CREATE TRIGGER rewrite AFTER UPDATE ON businesses BEGIN "
                                   "DELETE FROM accounts; END;"
                                   "CREATE TABLE extra (x); INSERT INTO extra VALUES (1);"
                                   "CREATE INDEX extraIndex ON extra (x);"
                                   "CREATE VIEW shadowed AS SELECT * FROM accounts;"
                                   "CREATE INDEX accountsNameIndex ON accounts (name);"));
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_EQ(schemaObjects(business->database()), QStringList());
    // Nor its own indexes: those of the working copy are ours.
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM sqlite_schema WHERE "
                                                   "name='accountsNameIndex';")),
              0);
    const qint64 accounts = business->accounts().size();
    ASSERT_GT(accounts, 0);
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM accounts;")), accounts);

    // Saved back without them.
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    sqlite3 *file = nullptr;
    ASSERT_EQ(
        sqlite3_open(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &file),
        SQLITE_OK);
    EXPECT_EQ(schemaObjects(file), QStringList());
    sqlite3_close(file);
}

TEST(PackageSafety, AKnownTableThatIsNoPlainTableOrLacksAColumnIsRefused)
{
    TWFixedClock clock(2024, 3, 15);
    const struct {
        const char *sql;
        const char *named;
    } cases[] = {
        {"DROP TABLE clients; CREATE VIEW clients AS SELECT * FROM accounts;", "clients"},
        {"DROP TABLE reports; CREATE TABLE r (x); CREATE INDEX reports ON r (x);", "reports"},
        {"ALTER TABLE clients DROP COLUMN name;", "name"},
        {"ALTER TABLE accounts RENAME COLUMN notes TO remarks;", "notes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        TWTestTempDir dir;
        const QUrl url = savedPackage(dir, QStringLiteral("Doc"));
        execOnFile(url, QString::fromLatin1(c.sql));
        const TWErrorResult error = openError(url);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), TWPackageErrorDomain);
        EXPECT_EQ(error->code(), TWPackageSchemaError);
        EXPECT_TRUE(error->localizedDescription().contains(QLatin1String(c.named)))
            << error->localizedDescription();
    }
}

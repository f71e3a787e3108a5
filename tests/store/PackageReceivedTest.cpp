// Documents received from elsewhere: their own constraints, indexes and
// missing tables, pipes among their files, save generations at the ends of
// their range, oversized values, stray files and blocked names.

#include "TWPackageMaker.h"
#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWPackageFiles.h"
#include "store/TWSchema.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

void execOnFile(const QUrl &url, const QString &sql)
{
    sqlite3 *file = nullptr;
    ASSERT_EQ(
        sqlite3_open(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &file),
        SQLITE_OK);
    twExec(file, sql);
    sqlite3_close(file);
}

qint64 fileInt(const QUrl &url, const char *sql)
{
    sqlite3 *file = nullptr;
    sqlite3_open_v2(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &file,
                    SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    qint64 value = -999;
    if (sqlite3_prepare_v2(file, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(file);
    return value;
}

TWErrorResult openError(const QUrl &url, bool allowUpgrade = false)
{
    TWErrorResult error;
    auto business = TWBusiness::businessWithURL(url, allowUpgrade, &error);
    EXPECT_EQ(business == nullptr, bool(error));
    return error;
}

// Every schema object of a database with its statement, in name order.
QStringList schema(sqlite3 *database)
{
    QStringList objects;
    sqlite3_stmt *rows = nullptr;
    sqlite3_prepare_v2(database,
                       "SELECT type || ' ' || name || ' ' || ifnull(sql, '') FROM sqlite_schema "
                       "ORDER BY name;",
                       -1, &rows, nullptr);
    while (rows && sqlite3_step(rows) == SQLITE_ROW)
        objects.append(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0))));
    sqlite3_finalize(rows);
    return objects;
}

TWTransactionPtr plainTransaction(TWBusiness &business, const QString &payee,
                                  const QString &notes = {})
{
    const TWAccountList accounts = business.accounts();
    auto t = std::make_shared<TWTransaction>();
    t->setIdentifier(business.nextTransactionIdentifier());
    t->setDate(QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    t->setAccount1Identifier(accounts.at(0)->identifier());
    t->setAccount2Identifier(accounts.at(1)->identifier());
    t->setUnit(business.homeUnit());
    t->setTotal(1000);
    t->setTotalAccount1(1000);
    t->setTotalAccount2(1000);
    t->setTotalBusiness(1000);
    t->setPayee(payee);
    t->setNotes(notes);
    return t;
}

// A saved package of a business with `count` transactions, payees "P0"...
QUrl packageWithTransactions(const TWTestTempDir &dir, const QString &name, int count)
{
    auto business = twNewBusiness();
    for (int i = 0; i < count; ++i)
        EXPECT_OK(business->addTransaction(
            plainTransaction(*business, QStringLiteral("P%1").arg(i)), false, false, false, false));
    const QUrl url = twPackageURL(dir, name);
    EXPECT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    return url;
}

} // namespace

TEST(PackageReceived, TheFilesOwnConstraintsAndIndexesNeverReachTheWorkingCopy)
{
    TWFixedClock clock(2024, 3, 15);
    QString declarations = QString::fromLatin1(TWSchema::transactionsDeclarations);
    declarations.replace(QStringLiteral("payee VARCHAR(100)"),
                         QStringLiteral("payee VARCHAR(100) UNIQUE ON CONFLICT REPLACE"));
    const QString replacingPayee =
        QStringLiteral("ALTER TABLE transactions RENAME TO old; CREATE TABLE transactions (%1); "
                       "INSERT INTO transactions SELECT * FROM old; DROP TABLE old;")
            .arg(declarations);
    const QString hostile[] = {
        replacingPayee,
        QStringLiteral("CREATE UNIQUE INDEX payeeIndex ON transactions (payee);"),
        QStringLiteral("CREATE INDEX notesIndex ON transactions (json(notes));"),
        QStringLiteral("ALTER TABLE transactions RENAME TO old; CREATE TABLE transactions (%1, "
                       "CHECK (payee LIKE 'P%%')); INSERT INTO transactions SELECT * FROM old; "
                       "DROP TABLE old;")
            .arg(QString::fromLatin1(TWSchema::transactionsDeclarations)),
        QStringLiteral("CREATE TRIGGER t AFTER INSERT ON transactions BEGIN DELETE FROM "
                       "splits; END; CREATE VIEW v AS SELECT 1; CREATE TABLE extra (x);"),
    };
    TWTestTempDir reference;
    const QUrl plain = packageWithTransactions(reference, QStringLiteral("Plain"), 14);
    QStringList ours;
    {
        auto business = twOpenPackage(plain);
        ASSERT_TRUE(business);
        ours = schema(business->database());
    }
    for (const QString &sql : hostile) {
        SCOPED_TRACE(sql);
        TWTestTempDir dir;
        const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 14);
        execOnFile(url, sql);
        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        EXPECT_EQ(schema(business->database()), ours);
        // A payee that exists, notes no JSON reader takes, a payee no check allows.
        ASSERT_OK(business->addTransaction(
            plainTransaction(*business, QStringLiteral("P3"), QStringLiteral("not { json")), false,
            false, false, false));
        ASSERT_OK(business->addTransaction(plainTransaction(*business, QStringLiteral("Q")), false,
                                           false, false, false));
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
        business.reset();
        EXPECT_EQ(fileInt(url, "SELECT COUNT(*) FROM transactions;"), 16);
        auto reopened = twOpenPackage(url);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->transactions().size(), 16);
        EXPECT_EQ(schema(reopened->database()), ours);
    }
}

TEST(PackageReceived, ThousandsOfViewsAreLeftBehindWithoutDroppingEach)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 3);
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 0; i < 5000; ++i)
        sql += QStringLiteral("CREATE VIEW v%1 AS SELECT * FROM accounts;").arg(i);
    execOnFile(url, sql + QStringLiteral("COMMIT;"));
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM sqlite_schema WHERE "
                                                   "type='view';")),
              0);
    EXPECT_EQ(business->transactions().size(), 3);
}

TEST(PackageReceived, AMissingTableRefusesTheDocumentUnlessALaterVersionAddedIt)
{
    TWFixedClock clock(2024, 3, 15);
    const struct {
        const char *sql;
        const char *named;
    } cases[] = {
        {"DROP TABLE splits;", "splits"},
        {"DROP TABLE budgetItems;", "budgetItems"},
        {"ALTER TABLE splits RENAME TO lines; CREATE VIEW splits AS SELECT * FROM lines;",
         "splits"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        TWTestTempDir dir;
        const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 2);
        execOnFile(url, QString::fromLatin1(c.sql));
        const QByteArray before = twFileBytes(twPackageFile(url, QStringLiteral("Data.sql")));
        const TWErrorResult error = openError(url);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), TWPackageErrorDomain);
        EXPECT_EQ(error->code(), TWPackageSchemaError);
        EXPECT_TRUE(error->localizedDescription().contains(QLatin1String(c.named)))
            << error->localizedDescription();
        EXPECT_EQ(twFileBytes(twPackageFile(url, QStringLiteral("Data.sql"))), before);
    }

    // A schema 1.0 document may lack what 2.0 added, never what 1.0 had.
    TWTestTempDir dir;
    const QUrl old = twPackageURL(dir, QStringLiteral("Old"));
    twMakeSchema10Package(old);
    execOnFile(old, QStringLiteral("DROP TABLE budgetItems; DROP TABLE accountingPeriods;"));
    auto upgraded = twOpenPackage(old, true);
    ASSERT_TRUE(upgraded);
    EXPECT_EQ(twQueryInt(*upgraded, QStringLiteral("SELECT COUNT(*) FROM budgetItems;")), 0);
    EXPECT_EQ(twQueryText(*upgraded, QStringLiteral("SELECT payee FROM transactions;")),
              QStringLiteral("Grocer"));
    // An upgraded row holds what the upgrade gives the columns it adds.
    EXPECT_EQ(twQueryInt(*upgraded, QStringLiteral("SELECT dateCreated FROM transactions;")), 0);
    const QUrl older = twPackageURL(dir, QStringLiteral("Older"));
    twMakeSchema10Package(older);
    execOnFile(older, QStringLiteral("DROP TABLE splits;"));
    const TWErrorResult error = openError(older, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageSchemaError);
}

TEST(PackageReceived, APipeAmongTheDatabaseFilesIsRefusedWithoutWaiting)
{
    TWFixedClock clock(2024, 3, 15);
    for (const char *entry : {"Data.sql-journal", "Data.sql-wal"}) {
        SCOPED_TRACE(entry);
        TWTestTempDir dir;
        const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);
        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        const QString pipe = twPackageFile(url, QLatin1String(entry));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const TWErrorResult error = openError(url);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), TWPackageErrorDomain);
        EXPECT_EQ(error->code(), TWPackageFileTypeError);
        EXPECT_TRUE(error->localizedDescription().contains(QLatin1String(entry)));
        // Nor is the package saved into.
        const TWErrorResult saved = business->writeToURL(url, TWSaveOperationSave);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->code(), TWPackageFileTypeError);
    }
}

TEST(PackageReceived, SaveGenerationsWrapAndStoredOutOfRangeValuesMeanNone)
{
    EXPECT_EQ(TWPackageFiles::validGeneration(-1), 0);
    EXPECT_EQ(TWPackageFiles::validGeneration(0), 0);
    EXPECT_EQ(TWPackageFiles::validGeneration(2147483647), 2147483647);
    EXPECT_EQ(TWPackageFiles::validGeneration(2147483648LL), 0);
    EXPECT_EQ(TWPackageFiles::nextGeneration(-1, -1), 1);
    EXPECT_EQ(TWPackageFiles::nextGeneration(2147483647, 2147483647), 1);
    EXPECT_EQ(TWPackageFiles::nextGeneration(2147483647, 1), 2);
    EXPECT_EQ(TWPackageFiles::nextGeneration(5, 2), 6);

    TWFixedClock clock(2024, 3, 15);
    for (const qint64 stored : {2147483647LL, -1LL}) {
        SCOPED_TRACE(stored);
        TWTestTempDir dir;
        const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);
        execOnFile(url, QStringLiteral("PRAGMA user_version=%1;").arg(stored));
        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        bool committed = business->autofill();
        for (int save = 0; save < 3; ++save) {
            // A save cut off once its settings are pending: the database it
            // did not replace must not take them.
            business->setAutofill(!committed);
            TWPackageFiles::setSaveStepHook([](TWPackageFiles::SaveStep step) {
                return step == TWPackageFiles::SaveStep::SettingsPending;
            });
            ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave));
            TWPackageFiles::setSaveStepHook({});
            const qint64 before = fileInt(url, "PRAGMA user_version;");
            {
                auto reopened = twOpenPackage(url);
                ASSERT_TRUE(reopened);
                EXPECT_EQ(reopened->autofill(), committed) << "save " << save;
            }
            committed = !committed;
            ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
            const qint64 generation = fileInt(url, "PRAGMA user_version;");
            EXPECT_GE(generation, 1);
            EXPECT_NE(generation, before);
            auto reopened = twOpenPackage(url);
            ASSERT_TRUE(reopened);
            EXPECT_EQ(reopened->autofill(), committed) << "save " << save;
        }
    }
}

TEST(PackageReceived, ValuesNearTheLimit)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    // A value of 9 MB in a row read only on demand refuses the document.
    const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);
    execOnFile(url, QStringLiteral("INSERT INTO attachments (identifier, transactionIdentifier, "
                                   "fileName) VALUES (100, 100, "
                                   "replace(hex(zeroblob(%1)), '0', 'x'));")
                        .arg(9 * 1024 * 1024 / 2));
    const TWErrorResult error = openError(url);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageValueSizeError);

    // One of exactly the largest size opens, and its row can be changed.
    const QUrl large = packageWithTransactions(dir, QStringLiteral("Large"), 1);
    execOnFile(large, QStringLiteral("UPDATE businesses SET name=replace(hex(zeroblob(%1)), "
                                     "'0', 'x');")
                          .arg(TWStoredValueSizeLimit / 2));
    auto business = twOpenPackage(large);
    ASSERT_TRUE(business);
    EXPECT_OK(business->executeSQL(QStringLiteral("UPDATE businesses SET businessID='B-1';")));
    ASSERT_OK(business->writeToURL(large, TWSaveOperationSave));
    EXPECT_TRUE(twOpenPackage(large));
}

TEST(PackageReceived, StrayFilesAndNamesInTheWayOfASave)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);

    // A file numbered past every identifier leaves the identifiers alone.
    ASSERT_TRUE(
        twWriteBytes(twPackageFile(url, QStringLiteral("Attachments/2147483647.pdf")), "stray"));
    EXPECT_EQ(
        TWPackageFiles::highestNumberedEntry(twPackageFile(url, QStringLiteral("Attachments"))), 0);
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_GT(business->nextAttachmentIdentifier(), 0);

    // A folder where the pending settings go: empty, it is removed; with
    // something in it, it is moved aside whole.
    const QString pending = twPackageFile(url, TWPackageFiles::pendingSettingsFileName);
    ASSERT_TRUE(QDir().mkpath(pending));
    EXPECT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_FALSE(QFileInfo::exists(pending));
    ASSERT_TRUE(QDir().mkpath(pending));
    ASSERT_TRUE(twWriteBytes(QDir(pending).filePath(QStringLiteral("kept")), "kept"));
    EXPECT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_FALSE(QFileInfo::exists(pending));
    EXPECT_EQ(twFileBytes(pending + QStringLiteral(".blocked-1/kept")), QByteArray("kept"));

    // A database with a second name is not saved into in place.
    const QString data = twPackageFile(url, QStringLiteral("Data.sql"));
    const QString other = dir.filePath(QStringLiteral("elsewhere.sql"));
    ASSERT_EQ(::link(QFile::encodeName(data).constData(), QFile::encodeName(other).constData()), 0);
    const QByteArray before = twFileBytes(other);
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
    const TWErrorResult error = business->writeToURL(url, TWSaveOperationSave);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageLinkError);
    EXPECT_EQ(twFileBytes(other), before);
}

TEST(PackageReceived, DatabaseFailuresSayWhatHappened)
{
    const QString cannotOpen = TWBusiness::databaseError(SQLITE_CANTOPEN).localizedDescription();
    EXPECT_NE(cannotOpen, TWBusiness::databaseError(SQLITE_ERROR).localizedDescription());
    EXPECT_TRUE(cannotOpen.contains(QLatin1String("14")));
    EXPECT_NE(TWBusiness::databaseError(SQLITE_FULL).localizedDescription(), cannotOpen);

    // A database file that cannot be made names itself.
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    const QUrl target = twPackageURL(dir, QStringLiteral("ReadOnly"));
    ASSERT_TRUE(QDir().mkpath(twPackageFile(target, QStringLiteral("Attachments"))));
    ASSERT_EQ(::chmod(QFile::encodeName(target.toLocalFile()).constData(), 0500), 0);
    const TWErrorResult error = business->writeToURL(target, TWSaveOperationSaveTo);
    ::chmod(QFile::encodeName(target.toLocalFile()).constData(), 0700);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->localizedDescription().contains(QLatin1String("Data.sql")))
        << error->localizedDescription();
    EXPECT_FALSE(error->localizedDescription().startsWith(QLatin1String("The business database "
                                                                        "reported")));
}

namespace
{

QByteArray jpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(90);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 10);
    return data;
}

QByteArray fileBlob(const QUrl &url, const char *sql)
{
    sqlite3 *file = nullptr;
    sqlite3_open_v2(QFile::encodeName(twPackageFile(url, QStringLiteral("Data.sql"))), &file,
                    SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    QByteArray value;
    if (sqlite3_prepare_v2(file, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = QByteArray(static_cast<const char *>(sqlite3_column_blob(statement, 0)),
                           sqlite3_column_bytes(statement, 0));
    sqlite3_finalize(statement);
    sqlite3_close(file);
    return value;
}

} // namespace

TEST(PackageReceived, ImagesAreDecodedWhenFirstShownAndWithinBounds)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = packageWithTransactions(dir, QStringLiteral("Doc"), 1);
    const QByteArray huge = jpeg(5000, 5000);
    const QByteArray wide = jpeg(2048, 1024);
    execOnFile(url, QStringLiteral("UPDATE businesses SET logo=X'%1'; UPDATE accounts SET "
                                   "icon=X'%2';")
                        .arg(QString::fromLatin1(huge.toHex()), QString::fromLatin1(wide.toHex())));
    auto business = twOpenPackage(url);
    ASSERT_TRUE(business);
    EXPECT_FALSE(business->businessInfo()->storedLogo().isDecoded());
    for (const TWAccountPtr &account : business->accounts())
        EXPECT_FALSE(account->storedIcon().isDecoded());

    // Past the bound: shown as missing, kept as stored.
    EXPECT_TRUE(business->businessInfo()->logo().isNull());
    // Within it: scaled to the size shown.
    const QImage icon = business->accounts().first()->icon();
    EXPECT_EQ(icon.size(), QSize(TWStoredImage::shownSize, TWStoredImage::shownSize / 2));
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
    ASSERT_OK(business->updateBusinessInfo(business->businessInfo()));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    EXPECT_EQ(fileBlob(url, "SELECT logo FROM businesses;"), huge);
    EXPECT_EQ(fileBlob(url, "SELECT icon FROM accounts ORDER BY identifier LIMIT 1;"), wide);
}

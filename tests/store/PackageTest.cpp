#include "TWPackageMaker.h"
#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"
#include "store/TWSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

namespace
{

const QStringList kPackageEntries = {QStringLiteral("Attachments"), QStringLiteral("Data.sql"),
                                     QStringLiteral("Settings.plist")};

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every row of every table, as hexadecimal text, in table and row order.
QStringList dump(TWBusiness &business)
{
    QStringList rows;
    for (const TWSchema::Table &table : TWSchema::tables()) {
        sqlite3_stmt *s = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM ") + table.name + " ORDER BY rowid;";
        sqlite3_prepare_v2(business.database(), sql.constData(), -1, &s, nullptr);
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(s); ++c)
                values.append(QString::fromLatin1(
                    QByteArray(static_cast<const char *>(sqlite3_column_blob(s, c)),
                               sqlite3_column_bytes(s, c))
                        .toHex()));
            rows.append(QLatin1String(table.name) + u':' + values.join(u'|'));
        }
        sqlite3_finalize(s);
    }
    return rows;
}

template <typename List> QStringList names(const List &list)
{
    QStringList result;
    for (const auto &item : list)
        result.append(QString::number(item->identifier()) + u' ' + item->name());
    return result;
}

} // namespace

TEST(Package, NewBusinessSavedAndOpenedAgainKeepsEverySeededRow)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness(QStringLiteral("CAD"));
    ASSERT_TRUE(business);
    EXPECT_EQ(business->accountGroups().size(), 5);
    EXPECT_EQ(business->fields().size(), 18);

    const QUrl url = twPackageURL(dir, QStringLiteral("Firm"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(business->attachmentsFolderPath(), twPackageFile(url, QStringLiteral("Attachments")));
    EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);

    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->attachmentsFolderPath(), business->attachmentsFolderPath());
    EXPECT_EQ(dump(*reopened), dump(*business));
    EXPECT_EQ(reopened->businessInfo()->name(), QStringLiteral("Test Firm"));
    EXPECT_EQ(reopened->homeUnit(), reopened->unitWithCode(QStringLiteral("CAD")));
    EXPECT_EQ(names(reopened->accounts()), names(business->accounts()));
    EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
}

TEST(Package, SaveOperationsAndFailedSaves)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("First"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    const QString attachments = business->attachmentsFolderPath();

    const QUrl copy = twPackageURL(dir, QStringLiteral("nested/Copy"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveTo));
    ASSERT_OK(business->writeToURL(twPackageURL(dir, QStringLiteral("Auto")),
                                   TWSaveOperationAutosaveElsewhere));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(business->attachmentsFolderPath(), attachments);
    EXPECT_TRUE(twOpenPackage(copy));

    twExec(*business, QStringLiteral("UPDATE businesses SET name='Renamed';"));
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->businessInfo()->name(), QStringLiteral("Renamed"));

    // Failed saves-as leave the document where it was.
    const QUrl blocked = twPackageURL(dir, QStringLiteral("Blocked"));
    ASSERT_TRUE(twWriteBytes(blocked.toLocalFile(), "a file"));
    TWErrorResult error = business->writeToURL(blocked, TWSaveOperationSaveAs);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageFolderError);
    const QUrl noSettings = twPackageURL(dir, QStringLiteral("NoSettings"));
    ASSERT_TRUE(QDir().mkpath(twPackageFile(noSettings, QStringLiteral("Settings.plist"))));
    EXPECT_TRUE(business->writeToURL(noSettings, TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(business->attachmentsFolderPath(), attachments);
}

TEST(Package, PackagesWithoutABusinessDatabaseAreRefused)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(
        business->writeToURL(twPackageURL(dir, QStringLiteral("Good")), TWSaveOperationSaveAs));
    const QByteArray database =
        twFileBytes(twPackageFile(business->url(), QStringLiteral("Data.sql")));
    ASSERT_GT(database.size(), 8192);
    QByteArray overwritten = database;
    for (qsizetype i = 4096; i < overwritten.size() - 4096; i += 3)
        overwritten[i] = char(0xA5);

    const auto bytes = [](const QByteArray &content) {
        return [content](const QString &path) { ASSERT_TRUE(twWriteBytes(path, content)); };
    };
    const std::pair<const char *, std::function<void(const QString &)>> cases[] = {
        {"missing", [](const QString &path) { ASSERT_TRUE(QFile::remove(path)); }},
        {"truncated", bytes(database.left(database.size() / 2))},
        {"overwritten", bytes(overwritten)},
        {"no accounts table",
         [](const QString &path) {
             ASSERT_TRUE(QFile::remove(path));
             sqlite3 *db = nullptr;
             sqlite3_open(path.toUtf8().constData(), &db);
             twExec(db, QStringLiteral("CREATE TABLE other (a INTEGER);"));
             sqlite3_close(db);
         }},
    };
    int index = 0;
    for (const auto &[name, damage] : cases) {
        SCOPED_TRACE(name);
        const QUrl url = twPackageURL(dir, QStringLiteral("Case%1").arg(index++));
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveTo));
        const QString dataPath = twPackageFile(url, QStringLiteral("Data.sql"));
        damage(dataPath);
        const QStringList before = entries(url.toLocalFile());
        const QByteArray bytesBefore = twFileBytes(dataPath);
        TWErrorResult error;
        EXPECT_FALSE(TWBusiness::businessWithURL(url, true, &error));
        ASSERT_TRUE(error);
        EXPECT_FALSE(error->localizedDescription().isEmpty());
        EXPECT_EQ(entries(url.toLocalFile()), before);
        EXPECT_EQ(twFileBytes(dataPath), bytesBefore);
    }

    TWErrorResult error;
    EXPECT_FALSE(
        TWBusiness::businessWithURL(twPackageURL(dir, QStringLiteral("None")), false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageNotDocumentError);

    // An unknown schema version.
    twExec(*business, QStringLiteral("UPDATE info SET value=50331648 WHERE identifier=1;"));
    ASSERT_OK(business->writeToURL(business->url(), TWSaveOperationSave));
    EXPECT_FALSE(TWBusiness::businessWithURL(business->url(), true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWDatabaseErrorDomain);
    EXPECT_EQ(error->code(), -1);
}

// Opening walks the pages the load itself does not read: a damaged index, or
// a damaged page of rows read only on demand (attachments), refuses the
// document at once instead of failing half-way through later work.
TEST(Package, DamagedIndexesAndRowsReadOnDemandAreRefused)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(
        business->writeToURL(twPackageURL(dir, QStringLiteral("Good")), TWSaveOperationSaveAs));
    const QString good = twPackageFile(business->url(), QStringLiteral("Data.sql"));
    {
        TWErrorResult error;
        EXPECT_TRUE(TWBusiness::businessWithURL(business->url(), false, &error));
        EXPECT_OK(error);
    }
    // The first page of each of these trees, and the file's page size.
    qint64 pageSize = 0;
    QList<std::pair<QString, qint64>> roots;
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(good.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT name, rootpage, (SELECT page_size FROM pragma_page_size) FROM "
                           "sqlite_schema WHERE name IN ('splitsTransactionIndex', "
                           "'sqlite_autoindex_transactions_1', 'attachments');",
                           -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            roots.append({QString::fromUtf8(
                              reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))),
                          sqlite3_column_int64(statement, 1)});
            pageSize = sqlite3_column_int64(statement, 2);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    ASSERT_EQ(roots.size(), 3);
    ASSERT_GT(pageSize, 0);
    const QByteArray database = twFileBytes(good);
    int index = 0;
    for (const auto &[name, root] : std::as_const(roots)) {
        SCOPED_TRACE(name);
        QByteArray damaged = database;
        for (qint64 i = (root - 1) * pageSize; i < root * pageSize && i < damaged.size(); i += 3)
            damaged[i] = char(0xA5);
        const QUrl url = twPackageURL(dir, QStringLiteral("Damaged%1").arg(index++));
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveTo));
        const QString dataPath = twPackageFile(url, QStringLiteral("Data.sql"));
        ASSERT_TRUE(twWriteBytes(dataPath, damaged));
        TWErrorResult error;
        EXPECT_FALSE(TWBusiness::businessWithURL(url, false, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), TWPackageNotDocumentError);
        EXPECT_EQ(twFileBytes(dataPath), damaged);
    }
}

TEST(Package, Version1OpensOnlyWithUpgradeAndThePackageStaysAsItWas)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Old"));
    twMakeSchema10Package(url);
    const QString dataPath = twPackageFile(url, QStringLiteral("Data.sql"));
    const QByteArray original = twFileBytes(dataPath);
    const QStringList originalEntries = entries(url.toLocalFile());

    TWErrorResult error;
    EXPECT_FALSE(TWBusiness::businessWithURL(url, false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("Tallyworth Upgrade"));
    EXPECT_EQ(error->code(), -2);
    EXPECT_EQ(twFileBytes(dataPath), original);

    auto upgraded = twOpenPackage(url, true);
    ASSERT_TRUE(upgraded);
    EXPECT_EQ(upgraded->databaseVersion(), 0x02000000u);
    EXPECT_EQ(names(upgraded->accounts()), QStringList{QStringLiteral("100 Bank")});
    EXPECT_TRUE(upgraded->fieldWithIdentifier(-18));
    EXPECT_EQ(upgraded->unitWithCode(QStringLiteral("CAD"))->symbol(), QStringLiteral("CA$"));
    EXPECT_EQ(twFileBytes(dataPath), original);
    EXPECT_EQ(entries(url.toLocalFile()), originalEntries);

    const QUrl copy = twPackageURL(dir, QStringLiteral("Upgraded"));
    ASSERT_OK(upgraded->writeToURL(copy, TWSaveOperationSaveAs));
    auto reopened = twOpenPackage(copy);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(twQueryText(*reopened, QStringLiteral("SELECT payee FROM transactions;")),
              QStringLiteral("Grocer"));
}

namespace
{

TWAttachmentPtr attachment(qint32 identifier, const QString &fileName, const QString &path,
                           const QString &thumbnail = {})
{
    return TWAttachment::attachmentWithFileName(fileName, path, QString(),
                                                thumbnail.isEmpty() ? TWAttachmentTypeFile
                                                                    : TWAttachmentTypePhoto,
                                                0, 0.0, thumbnail, 0, 0, 0, identifier);
}

TWTransactionPtr transaction(const TWAttachmentList &attachments, bool dirty = true)
{
    auto t = std::make_shared<TWTransaction>();
    t->setHasAttachments(true);
    t->setAttachments(attachments);
    t->setDirtyAttachments(dirty);
    return t;
}

class PackageAttachments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twNewBusiness();
        ASSERT_TRUE(business);
        url = twPackageURL(dir, QStringLiteral("Doc"));
        folder = twPackageFile(url, QStringLiteral("Attachments"));
        report = attachment(100, QStringLiteral("Report.pdf"), source("a.pdf", "pdf"));
        memo = attachment(101, QStringLiteral("memo"), source("memo", "memo"));
        photo = attachment(102, QStringLiteral("Photo.PNG"), source("p.png", "png"),
                           source("thumb.jpg", "thumb"));
        kept = attachment(103, QStringLiteral("notes.txt"), source("n.txt", "text"));
        first = transaction({report, memo});
        second = transaction({photo});
        clean = transaction({kept}, false);
        transactions = {first, second, clean};
    }

    QString source(const char *name, const QByteArray &content) const
    {
        const QString path = dir.filePath(QStringLiteral("sources/") + QLatin1String(name));
        QDir().mkpath(QFileInfo(path).absolutePath());
        twWriteBytes(path, content);
        return path;
    }
    QString inPackage(const char *name) const { return QDir(folder).filePath(QLatin1String(name)); }

    TWFixedClock clock{2024, 3, 15};
    TWTestTempDir dir;
    std::unique_ptr<TWBusiness> business;
    QUrl url;
    QString folder;
    TWAttachmentPtr report, memo, photo, kept;
    TWTransactionPtr first, second, clean;
    TWTransactionList transactions;
};

} // namespace

TEST_F(PackageAttachments, SaveAsCopiesEveryAttachmentAndACopyChangesNothing)
{
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    EXPECT_EQ(entries(folder).join(u' '), QStringLiteral("100.pdf 101 102.PNG 102t.jpg 103.txt"));
    EXPECT_EQ(twFileBytes(inPackage("100.pdf")), "pdf");
    EXPECT_EQ(twFileBytes(inPackage("102t.jpg")), "thumb");
    EXPECT_EQ(report->filePath(), inPackage("100.pdf"));
    EXPECT_EQ(kept->filePath(), inPackage("103.txt"));
    EXPECT_FALSE(first->dirtyAttachments() || second->dirtyAttachments());

    second->setDirtyAttachments(true);
    const QUrl copy = twPackageURL(dir, QStringLiteral("Copy"));
    ASSERT_OK(business->writeToURL(copy, TWSaveOperationSaveTo, transactions));
    EXPECT_EQ(entries(twPackageFile(copy, QStringLiteral("Attachments"))), entries(folder));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(photo->filePath(), inPackage("102.PNG"));
    EXPECT_TRUE(second->dirtyAttachments());
}

TEST_F(PackageAttachments, AFailedCopyFailsASaveInPlaceAndChangesNothing)
{
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const QByteArray database = twFileBytes(twPackageFile(url, QStringLiteral("Data.sql")));
    const QString missingPath = source("gone.pdf", "gone");
    const TWAttachmentPtr missing = attachment(110, QStringLiteral("gone.pdf"), missingPath);
    const TWTransactionPtr broken = transaction({missing});
    transactions.append(broken);
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Changed';"));
    // The file's place in the package is taken by a folder that holds a file.
    ASSERT_TRUE(QDir().mkpath(inPackage("110.pdf/inside")));

    TWErrorResult error = business->writeToURL(url, TWSaveOperationSave, transactions);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWPackageErrorDomain);
    EXPECT_EQ(error->code(), TWPackageAttachmentError);
    EXPECT_EQ(twFileBytes(twPackageFile(url, QStringLiteral("Data.sql"))), database);
    EXPECT_EQ(missing->filePath(), missingPath);
    EXPECT_TRUE(broken->dirtyAttachments());
    EXPECT_TRUE(business->missingAttachments().isEmpty());
    EXPECT_TRUE(QFileInfo(inPackage("110.pdf/inside")).isDir());
    // Elsewhere the save goes on without a missing file and names it.
    ASSERT_TRUE(QFile::remove(missingPath));
    const QUrl other = twPackageURL(dir, QStringLiteral("Other"));
    ASSERT_OK(business->writeToURL(other, TWSaveOperationSaveAs, transactions));
    EXPECT_EQ(business->url(), other);
    ASSERT_EQ(business->missingAttachments().size(), 1);
    EXPECT_EQ(business->missingAttachments().first().fileName, QStringLiteral("gone.pdf"));
}

TEST_F(PackageAttachments, QueuedFilesAreDeletedOnlyInsideThePackageAfterASuccessfulSave)
{
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const QString outside = source("outside.txt", "keep me");
    // A removed photo; a file outside the package; paths leading out of
    // "Attachments"; a file whose identifier a new attachment took.
    second->setAttachments(TWAttachmentList{});
    const TWAttachmentPtr again = attachment(103, QStringLiteral("x.txt"), source("o", "again"));
    clean->setAttachments(TWAttachmentList{again});
    clean->setDirtyAttachments(true);
    business->deleteAttachments() << photo->thumbnailFilePath() << photo->filePath() << outside
                                  << folder + QStringLiteral("/../Data.sql") << folder
                                  << inPackage("103.txt");

    // A save that fails deletes nothing and keeps the queue.
    const QString settingsPath = twPackageFile(url, QStringLiteral("Settings.plist"));
    ASSERT_TRUE(QFile::remove(settingsPath) && QDir().mkpath(settingsPath));
    ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_TRUE(QFileInfo::exists(inPackage("102.PNG")));
    EXPECT_EQ(business->deleteAttachments().size(), 6);

    ASSERT_TRUE(QDir(settingsPath).removeRecursively());
    ASSERT_OK(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_EQ(entries(folder).join(u' '), QStringLiteral("100.pdf 101 103.txt"));
    EXPECT_EQ(twFileBytes(inPackage("103.txt")), "again");
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
    EXPECT_TRUE(business->deleteAttachments().isEmpty());

    // Save-as forgets the queue: the old package still uses those files.
    business->deleteAttachments() << report->filePath();
    ASSERT_OK(business->writeToURL(twPackageURL(dir, QStringLiteral("Moved")),
                                   TWSaveOperationSaveAs, transactions));
    EXPECT_TRUE(business->deleteAttachments().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(inPackage("100.pdf")));
}

namespace
{

const qint32 kGenerationRow = 50;
const int kRows = 20000;

// The child: opens the package and saves it in place again and again, each
// time with every row and the settings marked with the next generation.
[[noreturn]] void saveForever(const QUrl &url, int readyPipe)
{
    TWErrorResult error;
    auto business = TWBusiness::businessWithURL(url, false, &error);
    if (!business)
        _exit(2);
    const char ready = 'r';
    if (write(readyPipe, &ready, 1) != 1)
        _exit(3);
    for (quint32 generation = business->infoValueWithIdentifier(kGenerationRow) + 1;;
         ++generation) {
        if (business->executeSQL(QStringLiteral("UPDATE transactionValues SET fieldIdentifier=%1;")
                                     .arg(generation)) ||
            business->updateInfoIdentifier(kGenerationRow, generation))
            _exit(4);
        business->setSearchFieldType(qint32(generation));
        if (business->writeToURL(url, TWSaveOperationSave))
            _exit(5);
    }
}

} // namespace

TEST(PackageKill, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewContent)
{
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Large"));
    {
        auto business = twNewBusiness();
        ASSERT_TRUE(business);
        ASSERT_OK(business->executeSQL(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < %1) INSERT INTO transactionValues (identifier, fieldIdentifier, "
                           "name) SELECT i + 100, 0, printf('%2 %d', i) FROM n;")
                .arg(kRows)
                .arg(QString(200, u'v'))));
        ASSERT_OK(business->insertInfoIdentifier(kGenerationRow, 0));
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSaveAs));
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    quint32 lastGeneration = 0;
    for (int round = 0; round < 8; ++round) {
        // Later rounds wait longer, so that some save finishes even on a
        // loaded machine.
        std::uniform_int_distribution<int> delay(0, 250'000 * (1 + round));
        SCOPED_TRACE(testing::Message() << "round " << round);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            saveForever(url, ready[1]);
        }
        close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        const bool started = poll(&wait, 1, 60'000) == 1;
        usleep(useconds_t(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        ASSERT_TRUE(started) << "the saving process did not start";
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the saving process ended by itself: " << WEXITSTATUS(status);

        auto business = twOpenPackage(url);
        ASSERT_TRUE(business);
        const quint32 generation = business->infoValueWithIdentifier(kGenerationRow);
        EXPECT_GE(generation, lastGeneration);
        // Every row belongs to the same save.
        EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM transactionValues;")),
                  kRows);
        EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM transactionValues "
                                                       "WHERE fieldIdentifier <> %1;")
                                            .arg(generation)),
                  0);
        // The settings and the database are one pair: always the same save.
        EXPECT_EQ(business->searchFieldType(), qint64(generation));
        lastGeneration = generation;
        // The next save leaves nothing of the interrupted one behind.
        ASSERT_OK(business->writeToURL(url, TWSaveOperationSave));
        EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
    }
    EXPECT_GT(lastGeneration, 0u) << "no save finished in any round";
}

// The document package: a new business, saving it into a folder and opening
// that folder again, what is refused, older documents, the attachment files
// and the safety of a save that is cut off.

#include "TWBusiness.h"
#include "TWPackageTestSupport.h"
#include "TWSchema.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransaction.h"

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
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Every row of every table, as text, in table and row order.
QStringList dump(TWBusiness &business)
{
    QStringList rows;
    for (const TWSchema::Table &table : TWSchema::tables()) {
        sqlite3_stmt *s = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM ") + table.name + " ORDER BY rowid;";
        if (sqlite3_prepare_v2(business.database(), sql.constData(), -1, &s, nullptr) != SQLITE_OK) {
            rows.append(QStringLiteral("unreadable ") + QLatin1String(table.name));
            continue;
        }
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const QByteArray value(static_cast<const char *>(sqlite3_column_blob(s, c)),
                                       sqlite3_column_bytes(s, c));
                values.append(QString::fromLatin1(value.toHex()));
            }
            rows.append(QLatin1String(table.name) + u':' + values.join(u'|'));
        }
        sqlite3_finalize(s);
    }
    return rows;
}

QStringList describeMemory(const TWBusiness &b)
{
    QStringList lines;
    lines.append(QStringLiteral("business %1 %2 %3 home %4")
                     .arg(b.businessInfo()->name(), b.businessInfo()->homeCurrency())
                     .arg(b.businessInfo()->type())
                     .arg(b.homeUnit() ? b.homeUnit()->code() : QStringLiteral("-")));
    for (const TWUnitPtr &u : b.units())
        lines.append(QStringLiteral("unit %1 %2 %3").arg(u->code(), u->symbol()).arg(u->rate()));
    for (const TWAccountingPeriodPtr &p : b.businessInfo()->accountingPeriods())
        lines.append(QStringLiteral("period %1 %2 %3 %4")
                         .arg(p->identifier())
                         .arg(p->name(), p->startDate().date().toString(Qt::ISODate),
                              p->endDate().date().toString(Qt::ISODate)));
    for (const TWGroupPtr &g : b.accountGroups())
        lines.append(QStringLiteral("group %1 %2 %3").arg(g->identifier()).arg(g->name()).arg(g->type()));
    for (const TWAccountPtr &a : b.accounts())
        lines.append(QStringLiteral("account %1 %2 %3 %4 %5")
                         .arg(a->identifier())
                         .arg(a->name())
                         .arg(a->type())
                         .arg(a->parentIdentifier())
                         .arg(a->unit() ? a->unit()->code() : QStringLiteral("-")));
    for (const TWFieldPtr &f : b.fields())
        lines.append(QStringLiteral("field %1 %2 %3").arg(f->identifier()).arg(f->name()).arg(f->type()));
    return lines;
}

} // namespace

// ---- Creating, saving and opening ----

TEST(Package, NewBusinessSavedAndOpenedAgainKeepsEverySeededRow)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness(QStringLiteral("CAD"));
    ASSERT_TRUE(business);
    EXPECT_TRUE(business->url().isEmpty());
    EXPECT_TRUE(business->attachmentsFolderPath().isEmpty());
    EXPECT_EQ(business->businessInfo()->name(), QStringLiteral("Test Firm"));
    EXPECT_EQ(business->homeUnit()->code(), QStringLiteral("CAD"));
    EXPECT_EQ(business->unitWithCode(QStringLiteral("CAD"))->symbol(), QStringLiteral("$"));
    EXPECT_EQ(business->accountGroups().size(), 5);
    EXPECT_FALSE(business->accounts().isEmpty());
    EXPECT_EQ(business->fields().size(), 18);
    ASSERT_EQ(business->businessInfo()->accountingPeriods().size(), 1);
    EXPECT_EQ(business->activeAccountingPeriodIdentifier(), 100);
    EXPECT_EQ(business->databaseVersion(), 0x02000000u);

    const QUrl url = twPackageURL(dir, QStringLiteral("Firm"));
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(business->attachmentsFolderPath(), twPackageFile(url, QStringLiteral("Attachments")));
    EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
    EXPECT_TRUE(entries(twPackageFile(url, QStringLiteral("Attachments"))).isEmpty());

    auto reopened = twOpenPackage(url);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->url(), url);
    EXPECT_EQ(reopened->attachmentsFolderPath(), business->attachmentsFolderPath());
    EXPECT_EQ(dump(*reopened), dump(*business));
    EXPECT_EQ(describeMemory(*reopened), describeMemory(*business));
    EXPECT_TRUE(reopened->deleteAttachments().isEmpty());
    // Opening reads; it leaves nothing behind in the package.
    EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
}

TEST(Package, NewBusinessWithoutDefaultAccounts)
{
    TWFixedClock clock(2024, 3, 15);
    auto business = twNewBusiness(QStringLiteral("USD"), false);
    ASSERT_TRUE(business);
    EXPECT_TRUE(business->accounts().isEmpty());
    EXPECT_TRUE(business->accountGroups().isEmpty());
    EXPECT_EQ(business->fields().size(), 18);
    EXPECT_EQ(business->sortBy(), 0u);
    TWErrorResult error;
    EXPECT_FALSE(TWBusiness::businessWithBusinessInfo(nullptr, &error));
    EXPECT_TRUE(error);
}

TEST(Package, SaveOperationsAndWhereTheDocumentLives)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl first = twPackageURL(dir, QStringLiteral("First"));
    ASSERT_FALSE(business->writeToURL(first, TWSaveOperationSaveAs));

    // Copies leave the document where it is.
    const QUrl copy = twPackageURL(dir, QStringLiteral("nested/Copy"));
    ASSERT_FALSE(business->writeToURL(copy, TWSaveOperationSaveTo));
    const QUrl autosaved = twPackageURL(dir, QStringLiteral("Autosaved"));
    ASSERT_FALSE(business->writeToURL(autosaved, TWSaveOperationAutosaveElsewhere));
    EXPECT_EQ(business->url(), first);
    EXPECT_EQ(business->attachmentsFolderPath(), twPackageFile(first, QStringLiteral("Attachments")));
    EXPECT_EQ(entries(copy.toLocalFile()), kPackageEntries);
    EXPECT_TRUE(twOpenPackage(copy));
    EXPECT_TRUE(twOpenPackage(autosaved));

    // A save in place writes what changed.
    business->setSearchFieldType(7);
    twExec(*business, QStringLiteral("UPDATE businesses SET name='Renamed';"));
    ASSERT_FALSE(business->writeToURL(first, TWSaveOperationSave));
    auto reopened = twOpenPackage(first);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->businessInfo()->name(), QStringLiteral("Renamed"));
    EXPECT_EQ(reopened->searchFieldType(), 7);

    // Save-as moves the document.
    const QUrl second = twPackageURL(dir, QStringLiteral("Second"));
    ASSERT_FALSE(business->writeToURL(second, TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), second);
    EXPECT_EQ(business->attachmentsFolderPath(), twPackageFile(second, QStringLiteral("Attachments")));

    // Where nothing can be written.
    EXPECT_TRUE(business->writeToURL(QUrl(QStringLiteral("https://example.com/Doc")),
                                     TWSaveOperationSaveAs));
    EXPECT_EQ(business->url(), second);
}

TEST(Package, FailedSaveAsLeavesTheDocumentWhereItWas)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs));

    // The target is a file, not a folder.
    const QUrl blocked = twPackageURL(dir, QStringLiteral("Blocked"));
    ASSERT_TRUE(twWriteBytes(blocked.toLocalFile(), "a file"));
    TWErrorResult error = business->writeToURL(blocked, TWSaveOperationSaveAs);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWPackageErrorDomain);
    EXPECT_EQ(error->code(), TWPackageFolderError);
    EXPECT_EQ(business->url(), url);

    // The settings cannot be written: reported, and the document stays.
    const QUrl noSettings = twPackageURL(dir, QStringLiteral("NoSettings"));
    ASSERT_TRUE(QDir().mkpath(twPackageFile(noSettings, QStringLiteral("Settings.plist"))));
    error = business->writeToURL(noSettings, TWSaveOperationSaveAs);
    ASSERT_TRUE(error) << "a failed settings write must be reported";
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(business->attachmentsFolderPath(), twPackageFile(url, QStringLiteral("Attachments")));

    // In place, too.
    const QString settingsPath = twPackageFile(url, QStringLiteral("Settings.plist"));
    ASSERT_TRUE(QFile::remove(settingsPath));
    ASSERT_TRUE(QDir().mkpath(settingsPath));
    EXPECT_TRUE(business->writeToURL(url, TWSaveOperationSave));
}

// ---- What is refused ----

TEST(Package, PackagesWithoutABusinessDatabaseAreRefused)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    const QUrl good = twPackageURL(dir, QStringLiteral("Good"));
    ASSERT_FALSE(business->writeToURL(good, TWSaveOperationSaveAs));
    const QByteArray database = twFileBytes(twPackageFile(good, QStringLiteral("Data.sql")));
    ASSERT_GT(database.size(), 8192);

    struct Case {
        const char *name;
        std::function<void(const QString &dataPath)> damage;
    };
    const auto bytes = [](const QByteArray &content) {
        return [content](const QString &path) { ASSERT_TRUE(twWriteBytes(path, content)); };
    };
    QByteArray overwritten = database;
    for (qsizetype i = 4096; i < overwritten.size() - 4096; i += 3)
        overwritten[i] = char(0xA5);
    QByteArray badHeader = database;
    badHeader.replace(0, 16, QByteArray(16, 'x'));
    const Case cases[] = {
        {"missing", [](const QString &path) { ASSERT_TRUE(QFile::remove(path)); }},
        {"empty", bytes(QByteArray())},
        {"a folder",
         [](const QString &path) { ASSERT_TRUE(QFile::remove(path) && QDir().mkpath(path)); }},
        {"not SQLite", bytes(QByteArray("this is not a database. ").repeated(400))},
        {"bad header", bytes(badHeader)},
        {"truncated", bytes(database.left(database.size() / 2))},
        {"overwritten", bytes(overwritten)},
        {"no accounts table",
         [](const QString &path) {
             ASSERT_TRUE(QFile::remove(path));
             sqlite3 *db = nullptr;
             sqlite3_open(path.toUtf8().constData(), &db);
             twExec(db, QStringLiteral("CREATE TABLE other (a INTEGER); INSERT INTO other "
                                       "VALUES (1);"));
             sqlite3_close(db);
         }},
    };
    int index = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QUrl url = twPackageURL(dir, QStringLiteral("Case%1").arg(index++));
        ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveTo));
        const QString dataPath = twPackageFile(url, QStringLiteral("Data.sql"));
        c.damage(dataPath);
        const QStringList before = entries(url.toLocalFile());
        const QByteArray bytesBefore = twFileBytes(dataPath);

        TWErrorResult error;
        EXPECT_FALSE(TWBusiness::businessWithURL(url, true, &error));
        ASSERT_TRUE(error);
        EXPECT_FALSE(error->localizedDescription().isEmpty());
        // Not opened as a new business: nothing was written into the package.
        EXPECT_EQ(entries(url.toLocalFile()), before);
        EXPECT_EQ(twFileBytes(dataPath), bytesBefore);
    }

    TWErrorResult error;
    EXPECT_FALSE(TWBusiness::businessWithURL(QUrl(QStringLiteral("https://example.com/Doc")),
                                             false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageLocationError);
    EXPECT_FALSE(TWBusiness::businessWithURL(twPackageURL(dir, QStringLiteral("Nothing")), false,
                                             &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWPackageErrorDomain);
    EXPECT_EQ(error->code(), TWPackageNotDocumentError);
}

TEST(Package, UnknownSchemaVersionIsRefused)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    auto business = twNewBusiness();
    ASSERT_TRUE(business);
    twExec(*business, QStringLiteral("UPDATE info SET value=50331648 WHERE identifier=1;"));
    const QUrl url = twPackageURL(dir, QStringLiteral("Future"));
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs));
    TWErrorResult error;
    EXPECT_FALSE(TWBusiness::businessWithURL(url, true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWDatabaseErrorDomain);
    EXPECT_EQ(error->code(), -1);
}

// ---- Documents of schema 1.0 ----

namespace
{

// The columns and built-in fields that schema 2.0 added.
const char *const kAddedInVersion2[] = {"businesses.currencyUpdateInterval",
                                        "transactions.dateCreated",
                                        "transactions.dateModified",
                                        "fields.autofillTrigger",
                                        "fields.autofillValue",
                                        "clients.company",
                                        "merchants.company",
                                        "repeats.type",
                                        "tasks.type",
                                        "tasks.quantity",
                                        "bills.repeatIdentifier",
                                        "invoices.repeatIdentifier",
                                        "relationships.splitIdentifier"};

// A package whose database has the schema 1.0 layout and a few rows, in
// pages of 1,024 bytes as older files often have.
void makeVersion1Package(const QUrl &url)
{
    ASSERT_TRUE(QDir().mkpath(twPackageFile(url, QStringLiteral("Attachments"))));
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(twPackageFile(url, QStringLiteral("Data.sql")).toUtf8().constData(), &db),
              SQLITE_OK);
    twExec(db, QStringLiteral("PRAGMA page_size=1024;"));
    for (const TWSchema::Table &table : TWSchema::tables()) {
        QString sql = QString::fromLatin1(table.createSQL);
        for (const char *added : kAddedInVersion2) {
            const QString qualified = QString::fromLatin1(added);
            if (qualified.section(u'.', 0, 0) != QLatin1String(table.name))
                continue;
            const QRegularExpression column(QStringLiteral(R"(,\s*%1\s+(?:[^,()]|\([^)]*\))*)")
                                                .arg(qualified.section(u'.', 1)));
            sql.remove(column);
        }
        twExec(db, sql);
    }
    twExec(db, QStringLiteral(
                   "INSERT INTO info VALUES (1, 16777216);"
                   "INSERT INTO businesses (identifier, type, name, homeCurrency) VALUES (100, 0, "
                   "'Old Firm', 'USD');"
                   "INSERT INTO units (code, name, symbol, rate, type, decimalPlaces) VALUES "
                   "('USD', 'US Dollar', '$', 1.0, 1, 2), ('CAD', 'Canadian Dollar', '$', 1.3, 1, 2);"
                   "INSERT INTO accounts (identifier, type, name, unit) VALUES (100, 1, 'Bank', "
                   "'USD');"
                   "INSERT INTO transactions (identifier, payee, total) VALUES (100, 'Grocer', "
                   "1234);"));
    for (int id = -1; id >= -15; --id)
        twExec(db,
               QStringLiteral("INSERT INTO fields (identifier, name, type) VALUES (%1, 'f', 0);")
                   .arg(id));
    sqlite3_close(db);
}

} // namespace

TEST(Package, Version1OpensOnlyWithUpgradeAndThePackageStaysAsItWas)
{
    TWFixedClock clock(2024, 3, 15);
    TWTestTempDir dir;
    const QUrl url = twPackageURL(dir, QStringLiteral("Old"));
    makeVersion1Package(url);
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
    EXPECT_EQ(upgraded->businessInfo()->name(), QStringLiteral("Old Firm"));
    ASSERT_EQ(upgraded->accounts().size(), 1);
    EXPECT_EQ(upgraded->accounts().first()->name(), QStringLiteral("Bank"));
    EXPECT_TRUE(upgraded->fieldWithIdentifier(-18));
    EXPECT_EQ(upgraded->unitWithCode(QStringLiteral("CAD"))->symbol(), QStringLiteral("CA$"));
    EXPECT_EQ(twFileBytes(dataPath), original);
    EXPECT_EQ(entries(url.toLocalFile()), originalEntries);

    // The upgraded copy, saved elsewhere, opens without permission.
    const QUrl copy = twPackageURL(dir, QStringLiteral("Upgraded"));
    ASSERT_FALSE(upgraded->writeToURL(copy, TWSaveOperationSaveAs));
    auto reopened = twOpenPackage(copy);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(twQueryText(*reopened, QStringLiteral("SELECT payee FROM transactions;")),
              QStringLiteral("Grocer"));
    EXPECT_EQ(twFileBytes(dataPath), original);
}

// ---- Attachment files ----

namespace
{

TWAttachmentPtr attachment(qint32 identifier, const QString &fileName, const QString &path,
                           std::uint32_t type = TWAttachmentTypeFile, const QString &thumbnail = {})
{
    return TWAttachment::attachmentWithFileName(fileName, path, QString(), type, 0, 0.0, thumbnail,
                                                0, 0, 0, identifier);
}

TWTransactionPtr transaction(qint32 identifier, const TWAttachmentList &attachments,
                             bool dirty = true)
{
    auto t = std::make_shared<TWTransaction>();
    t->setIdentifier(identifier);
    t->setHasAttachments(!attachments.isEmpty());
    t->setAttachments(attachments);
    t->setDirtyAttachments(dirty);
    return t;
}

// A file with that content in the folder; its path.
QString source(const TWTestTempDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("sources/") + name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    twWriteBytes(path, content);
    return path;
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
        report = attachment(100, QStringLiteral("Report.pdf"),
                            source(dir, QStringLiteral("a.pdf"), "pdf bytes"));
        memo = attachment(101, QStringLiteral("memo"), source(dir, QStringLiteral("memo"), "memo"));
        photo = attachment(102, QStringLiteral("Photo.PNG"),
                           source(dir, QStringLiteral("p.png"), "png bytes"), TWAttachmentTypePhoto,
                           source(dir, QStringLiteral("p-thumb.jpg"), "thumb bytes"));
        kept = attachment(103, QStringLiteral("notes.txt"),
                          source(dir, QStringLiteral("n.txt"), "text"));
        first = transaction(100, {report, memo});
        second = transaction(101, {photo});
        clean = transaction(102, {kept}, false);
        transactions = {first, second, clean};
    }

    QString inPackage(const QString &name) const { return QDir(folder).filePath(name); }

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

TEST_F(PackageAttachments, SaveAsCopiesEveryAttachmentAndMovesTheDocument)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(entries(folder), QStringList({QStringLiteral("100.pdf"), QStringLiteral("101"),
                                            QStringLiteral("102.PNG"), QStringLiteral("102t.jpg"),
                                            QStringLiteral("103.txt")}));
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("100.pdf"))), "pdf bytes");
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("102t.jpg"))), "thumb bytes");
    // The document's attachments are its package's files now.
    EXPECT_EQ(report->filePath(), inPackage(QStringLiteral("100.pdf")));
    EXPECT_EQ(photo->thumbnailFilePath(), inPackage(QStringLiteral("102t.jpg")));
    EXPECT_EQ(kept->filePath(), inPackage(QStringLiteral("103.txt")));
    EXPECT_FALSE(first->dirtyAttachments());
    EXPECT_FALSE(second->dirtyAttachments());
}

TEST_F(PackageAttachments, TwoSavesInPlaceCopyNothingTheSecondTime)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const TWAttachmentPtr added =
        attachment(104, QStringLiteral("scan.jpeg"), source(dir, QStringLiteral("s"), "scan"));
    first->setAttachments(TWAttachmentList{report, memo, added});
    first->setDirtyAttachments(true);
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("104.jpeg"))), "scan");
    EXPECT_EQ(added->filePath(), inPackage(QStringLiteral("104.jpeg")));
    EXPECT_FALSE(first->dirtyAttachments());

    // Whatever is in the package now stays: nothing is dirty.
    ASSERT_TRUE(twWriteBytes(inPackage(QStringLiteral("104.jpeg")), "changed"));
    ASSERT_TRUE(twWriteBytes(inPackage(QStringLiteral("100.pdf")), "changed"));
    ASSERT_TRUE(twWriteBytes(added->filePath(), "changed"));
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("100.pdf"))), "changed");
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("104.jpeg"))), "changed");
}

TEST_F(PackageAttachments, SaveACopyLeavesTheDocumentAndItsAttachmentsAlone)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const QString before = photo->filePath();
    second->setDirtyAttachments(true);
    const QUrl copy = twPackageURL(dir, QStringLiteral("Copy"));
    ASSERT_FALSE(business->writeToURL(copy, TWSaveOperationSaveTo, transactions));
    EXPECT_EQ(entries(twPackageFile(copy, QStringLiteral("Attachments"))).size(), 5);
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(photo->filePath(), before);
    EXPECT_TRUE(second->dirtyAttachments());
}

TEST_F(PackageAttachments, AFailedCopyFailsTheSaveAndChangesNothing)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const QByteArray database = twFileBytes(twPackageFile(url, QStringLiteral("Data.sql")));
    const QString missingPath = dir.filePath(QStringLiteral("sources/gone.pdf"));
    const TWAttachmentPtr missing = attachment(110, QStringLiteral("gone.pdf"), missingPath);
    const TWTransactionPtr broken = transaction(110, {missing});
    transactions.append(broken);
    business->setSearchFieldType(3);

    // In place: the package keeps its old database.
    TWErrorResult error = business->writeToURL(url, TWSaveOperationSave, transactions);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), TWPackageErrorDomain);
    EXPECT_EQ(error->code(), TWPackageAttachmentError);
    EXPECT_EQ(twFileBytes(twPackageFile(url, QStringLiteral("Data.sql"))), database);
    EXPECT_EQ(missing->filePath(), missingPath);
    EXPECT_TRUE(broken->dirtyAttachments());

    // Save-as: the document stays where it was.
    const QUrl other = twPackageURL(dir, QStringLiteral("Other"));
    EXPECT_TRUE(business->writeToURL(other, TWSaveOperationSaveAs, transactions));
    EXPECT_EQ(business->url(), url);
    EXPECT_EQ(missing->filePath(), missingPath);
    EXPECT_FALSE(QFileInfo::exists(twPackageFile(other, QStringLiteral("Data.sql"))));
}

TEST_F(PackageAttachments, UnsavedAttachmentsKeepTheirTransactionMarked)
{
    const TWAttachmentPtr unsaved =
        attachment(0, QStringLiteral("new.pdf"), source(dir, QStringLiteral("new"), "new"));
    first->setAttachments(TWAttachmentList{report, unsaved});
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    EXPECT_TRUE(first->dirtyAttachments());
    EXPECT_FALSE(QFileInfo::exists(inPackage(QStringLiteral("0.pdf"))));
    EXPECT_EQ(report->filePath(), inPackage(QStringLiteral("100.pdf")));
}

TEST_F(PackageAttachments, AttachmentsNeverReadCannotBeSavedElsewhere)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const TWTransactionPtr unread = transaction(120, {}, false);
    unread->setHasAttachments(true);
    unread->setAttachments(std::nullopt);
    transactions.append(unread);
    // In place its files are already where they belong.
    EXPECT_FALSE(business->writeToURL(url, TWSaveOperationSave, transactions));
    // Elsewhere they would be lost.
    TWErrorResult error = business->writeToURL(twPackageURL(dir, QStringLiteral("Copy")),
                                               TWSaveOperationSaveTo, transactions);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWPackageAttachmentError);
}

TEST_F(PackageAttachments, QueuedDeletionsHappenOnlyInsideThePackageAfterASuccessfulSave)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    const QString outside = source(dir, QStringLiteral("outside.txt"), "keep me");
    const QString dataPath = twPackageFile(url, QStringLiteral("Data.sql"));
    // A removed photo, a file outside the package and a path that leads out
    // of "Attachments".
    second->setAttachments(TWAttachmentList{});
    business->deleteAttachments() << photo->thumbnailFilePath() << photo->filePath() << outside
                                  << folder + QStringLiteral("/../Data.sql") << folder;

    // A save that fails deletes nothing and keeps the queue.
    const QString settingsPath = twPackageFile(url, QStringLiteral("Settings.plist"));
    ASSERT_TRUE(QFile::remove(settingsPath) && QDir().mkpath(settingsPath));
    ASSERT_TRUE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_TRUE(QFileInfo::exists(inPackage(QStringLiteral("102.PNG"))));
    EXPECT_EQ(business->deleteAttachments().size(), 5);

    ASSERT_TRUE(QDir(settingsPath).removeRecursively());
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_FALSE(QFileInfo::exists(inPackage(QStringLiteral("102.PNG"))));
    EXPECT_FALSE(QFileInfo::exists(inPackage(QStringLiteral("102t.jpg"))));
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo::exists(dataPath));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(business->deleteAttachments().isEmpty());
    EXPECT_EQ(entries(folder), QStringList({QStringLiteral("100.pdf"), QStringLiteral("101"),
                                            QStringLiteral("103.txt")}));
}

TEST_F(PackageAttachments, AFileQueuedUnderAnIdentifierUsedAgainSurvives)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    // Attachment 103 was removed, and a new attachment got its identifier.
    business->deleteAttachments() << kept->filePath();
    const TWAttachmentPtr again =
        attachment(103, QStringLiteral("other.txt"), source(dir, QStringLiteral("o"), "again"));
    clean->setAttachments(TWAttachmentList{again});
    clean->setDirtyAttachments(true);
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSave, transactions));
    EXPECT_EQ(twFileBytes(inPackage(QStringLiteral("103.txt"))), "again");
}

TEST_F(PackageAttachments, SaveAsForgetsTheQueueOfTheOldPackage)
{
    ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs, transactions));
    first->setAttachments(TWAttachmentList{memo});
    business->deleteAttachments() << report->filePath();
    const QUrl moved = twPackageURL(dir, QStringLiteral("Moved"));
    ASSERT_FALSE(business->writeToURL(moved, TWSaveOperationSaveAs, transactions));
    EXPECT_TRUE(business->deleteAttachments().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(inPackage(QStringLiteral("100.pdf"))));
    EXPECT_EQ(memo->filePath(),
              QDir(twPackageFile(moved, QStringLiteral("Attachments"))).filePath(QStringLiteral("101")));
}

TEST(Package, AttachmentFileNames)
{
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("Receipt.pdf")),
              QStringLiteral("105.pdf"));
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("archive.tar.gz")),
              QStringLiteral("105.gz"));
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("README")), QStringLiteral("105"));
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("name.")), QStringLiteral("105"));
    // Nothing of the name can lead out of the folder.
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("x./../../etc/passwd")),
              QStringLiteral("105"));
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("a.b/c.d")),
              QStringLiteral("105.d"));
    EXPECT_EQ(TWBusiness::attachmentFileName(105, QStringLiteral("a.") + QString(300, u'x')),
              QStringLiteral("105"));
    EXPECT_EQ(TWBusiness::attachmentThumbnailFileName(105), QStringLiteral("105t.jpg"));
}

// ---- A save cut off at any moment ----

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
        if (business->executeSQL(
                QStringLiteral("UPDATE transactionValues SET fieldIdentifier=%1;").arg(generation)) ||
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
        ASSERT_FALSE(business->executeSQL(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < %1) INSERT INTO transactionValues (identifier, fieldIdentifier, "
                           "name) SELECT i + 100, 0, printf('%2 %d', i) FROM n;")
                .arg(kRows)
                .arg(QString(200, u'v'))));
        ASSERT_FALSE(business->insertInfoIdentifier(kGenerationRow, 0));
        ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSaveAs));
    }

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(0, 250'000);
    quint32 lastGeneration = 0;
    for (int round = 0; round < 6; ++round) {
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
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process ended by itself: "
                                         << WEXITSTATUS(status);

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
        // The settings are written after the database: the same save, or
        // the one before when the cut came between the two.
        const qint64 settingsGeneration = business->searchFieldType();
        EXPECT_TRUE(settingsGeneration == generation || settingsGeneration + 1 == generation)
            << "settings " << settingsGeneration << ", database " << generation;
        lastGeneration = generation;
        // The next save leaves nothing of the interrupted one behind.
        ASSERT_FALSE(business->writeToURL(url, TWSaveOperationSave));
        EXPECT_EQ(entries(url.toLocalFile()), kPackageEntries);
    }
    EXPECT_GT(lastGeneration, 0u) << "no save finished in any round";
}

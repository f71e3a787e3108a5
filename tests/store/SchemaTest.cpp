// The schema of a new database, the schema version and the upgrade of a
// schema 1.0 database.

#include "TWPackageMaker.h"
#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWSchema.h"

#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

// Every table as documented for the file format, in creation order.
// clang-format off
const std::pair<const char *, const char *> kDeclarations[] = {
    {"info",
      "identifier INTEGER(32) PRIMARY KEY; value INTEGER(32)"},
    {"units",
      "code VARCHAR(3) PRIMARY KEY; name VARCHAR(100); description VARCHAR(100); "
      "lastUpdated DOUBLE; rate DOUBLE; type INTEGER(32); decimalPlaces INTEGER(8); "
      "symbol VARCHAR(5); favourite INTEGER(1)"},
    {"businesses",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); name VARCHAR(100); "
      "businessID VARCHAR(100); logo BLOB; startDate DOUBLE; "
      "homeCurrency VARCHAR(3); currencyUpdateInterval INTEGER(32); "
      "notes VARCHAR(250); phone VARCHAR(100); fax VARCHAR(100); email VARCHAR(100); "
      "website VARCHAR(100); address VARCHAR(100); "
      "createNewAccountingPeriods INTEGER(1); "
      "nominalTransferAccountIdentifier INTEGER(32); "
      "retainedEarningsName VARCHAR(100); invoiceTaxRate DOUBLE; "
      "invoiceTaxName VARCHAR(100); invoiceHeader VARCHAR(250); "
      "invoiceFooter VARCHAR(250); invoiceTerms VARCHAR(250)"},
    {"accountingPeriods",
      "identifier INTEGER(32) PRIMARY KEY; name VARCHAR(100); startDate DOUBLE; "
      "endDate DOUBLE; closed INTEGER(1)"},
    {"groups",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); name VARCHAR(100); "
      "tint INTEGER(32); parentIdentifier INTEGER(32); sortOrder INTEGER(32); "
      "expanded INTEGER(1)"},
    {"accounts",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); name VARCHAR(100); "
      "number VARCHAR(100); icon BLOB; unit CHAR(3); notes VARCHAR(250); "
      "parentIdentifier INTEGER(32); sortOrder INTEGER(32); "
      "isInstitution INTEGER(1); institutionName VARCHAR(100); "
      "institutionPhone VARCHAR(100); institutionFax VARCHAR(100); "
      "institutionEmail VARCHAR(100); institutionWebsite VARCHAR(250); "
      "institutionAddress VARCHAR(100); institutionNumber VARCHAR(100); "
      "institutionRoutingTransit VARCHAR(100); institutionWireTransfer VARCHAR(250)"},
    {"transactions",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); state INTEGER(32); "
      "payee VARCHAR(100); description VARCHAR(100); account1Identifier INTEGER(32); "
      "account2Identifier INTEGER(32); date DOUBLE; total INTEGER(64); "
      "totalAccount1 INTEGER(64); totalAccount2 INTEGER(64); "
      "totalBusiness INTEGER(64); totalStart INTEGER(64); totalEnd INTEGER(64); "
      "unit CHAR(3); attachments INTEGER(1); "
      "repeatIdentifier INTEGER(32) REFERENCES repeats(identifier); "
      "cleared INTEGER(1); notes VARCHAR(250); split INTEGER(1); dateCreated DOUBLE; "
      "dateModified DOUBLE"},
    {"attachments",
      "identifier INTEGER(32) PRIMARY KEY; transactionIdentifier INTEGER(32); "
      "fileName VARCHAR(255); mimeType VARCHAR(100); type INTEGER(32); "
      "attachmentOrder INTEGER(32); timeSeconds DOUBLE; photoWidth INTEGER(32); "
      "photoHeight INTEGER(32); fileSize INTEGER(64)"},
    {"splits",
      "identifier INTEGER(32) PRIMARY KEY; "
      "transactionIdentifier INTEGER(32) REFERENCES transactions(identifier); "
      "description VARCHAR(100); "
      "accountIdentifier INTEGER(32) REFERENCES accounts(identifier); "
      "total INTEGER(64); totalAccount INTEGER(64); totalBusiness INTEGER(64); "
      "totalStart INTEGER(64); totalEnd INTEGER(64); unit CHAR(3)"},
    {"relationships",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); value DOUBLE; "
      "parentIdentifier INTEGER(32); childIdentifier INTEGER(32); "
      "transactionIdentifier INTEGER(32) REFERENCES transactions(identifier); "
      "splitIdentifier INTEGER(32) REFERENCES splits(identifier)"},
    {"fields",
      "identifier INTEGER(32) PRIMARY KEY; name VARCHAR(100); type INTEGER(32); "
      "autofillTrigger INTEGER(1) DEFAULT 0; autofillValue INTEGER(1) DEFAULT 0"},
    {"lists",
      "identifier INTEGER(32); name VARCHAR(100); fieldIdentifier INTEGER(32)"},
    {"tags",
      "identifier INTEGER(32); name VARCHAR(100); fieldIdentifier INTEGER(32)"},
    {"transactionTags",
      "transactionIdentifier INTEGER(32); fieldIdentifier INTEGER(32); "
      "tagIdentifier INTEGER(32)"},
    {"percentTotals",
      "fieldIdentifier INTEGER(32); percent DOUBLE; includedInTotal INTEGER(1)"},
    {"transactionValues",
      "identifier INTEGER(32) PRIMARY KEY; fieldIdentifier INTEGER(32); "
      "name VARCHAR(250)"},
    {"repeats",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); interval INTEGER(32); "
      "intervalUnit INTEGER(32); endDate INTEGER(32); active INTEGER(1)"},
    {"filters",
      "identifier INTEGER(32) PRIMARY KEY; name VARCHAR(100); "
      "parentIdentifier INTEGER(32); sortOrder INTEGER(32)"},
    {"filterCriterion",
      "identifier INTEGER(32); parentIdentifier INTEGER(32); "
      "filterIdentifier INTEGER(32) REFERENCES filters(identifier); "
      "fieldIdentifier INTEGER(32) REFERENCES fields(identifier); "
      "sortOrder INTEGER(32); match INTEGER(32); valueType INTEGER(32); "
      "valueInteger INTEGER(64); valueDouble DOUBLE; valueString VARCHAR(50)"},
    {"clients",
      "identifier INTEGER(32) PRIMARY KEY; name VARCHAR(100); company VARCHAR(100); "
      "logo BLOB; phone VARCHAR(100); fax VARCHAR(100); email VARCHAR(100); "
      "website VARCHAR(250); address VARCHAR(100); notes VARCHAR(250); "
      "parentIdentifier INTEGER(32); sortOrder INTEGER(32)"},
    {"projects",
      "identifier INTEGER(32) PRIMARY KEY; "
      "clientIdentifier INTEGER(32) REFERENCES clients(identifier); date DOUBLE; "
      "completed INTEGER(1); name VARCHAR(100); type INTEGER(32); startDate DOUBLE; "
      "endDate DOUBLE; rate INTEGER(64); unit CHAR(3); taxRate INTEGER(64); "
      "notes VARCHAR(250)"},
    {"tasks",
      "identifier INTEGER(32) PRIMARY KEY; "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier); date DOUBLE; "
      "completed INTEGER(1); name VARCHAR(100); type INTEGER(32); "
      "estimatedTime DOUBLE; quantity DOUBLE; rate INTEGER(64); taxRate FLOAT; "
      "notes VARCHAR(250)"},
    {"taskItems",
      "identifier INTEGER(32) PRIMARY KEY; "
      "taskIdentifier INTEGER(32) REFERENCES tasks(identifier); "
      "startDateTime INTEGER(64); endDateTime INTEGER(64); notes VARCHAR(25)"},
    {"expenses",
      "identifier INTEGER(32) PRIMARY KEY; "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier); date DOUBLE; "
      "name VARCHAR(100); quantity DOUBLE; cost INTEGER(64); taxRate FLOAT; "
      "notes VARCHAR(250)"},
    {"invoices",
      "identifier INTEGER(32) PRIMARY KEY; "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier); date DOUBLE; "
      "number VARCHAR(100); name VARCHAR(100); sent INTEGER(1); paid INTEGER(1); "
      "dueDate DOUBLE; repeatIdentifier INTEGER(32); notes VARCHAR(250)"},
    {"merchants",
      "identifier INTEGER(32) PRIMARY KEY; name VARCHAR(100); company VARCHAR(100); "
      "logo BLOB; phone VARCHAR(100); fax VARCHAR(100); email VARCHAR(100); "
      "website VARCHAR(250); address VARCHAR(100); notes VARCHAR(250); "
      "parentIdentifier INTEGER(32); sortOrder INTEGER(32)"},
    {"bills",
      "identifier INTEGER(32) PRIMARY KEY; "
      "merchantIdentifier INTEGER(32) REFERENCES merchants(identifier); date DOUBLE; "
      "name VARCHAR(100); received INTEGER(1); paid INTEGER(1); dueDate DOUBLE; "
      "repeatIdentifier INTEGER(32); notes VARCHAR(250)"},
    {"reports",
      "identifier INTEGER(32) PRIMARY KEY; type INTEGER(32); name VARCHAR(100); "
      "parentIdentifier INTEGER(32); sortOrder INTEGER(32); dateType INTEGER(32); "
      "fromDate DOUBLE; toDate DOUBLE; compare INTEGER(1); "
      "compareDateType INTEGER(32); compareFromDate DOUBLE; compareToDate DOUBLE; "
      "showGraphs INTEGER(1) DEFAULT 1"},
    {"budgetItems",
      "identifier INTEGER(32) PRIMARY KEY; itemType INTEGER(32); "
      "itemIdentifier INTEGER(32); total INTEGER(64); unit CHAR(3); "
      "startDate DOUBLE; cycle INTEGER(32); cycleUnit INTEGER(32); "
      "rollover INTEGER(1) DEFAULT 0"},
};
// clang-format on

struct Column {
    QString name, type, defaultValue, references;
    bool primaryKey = false;
    bool operator==(const Column &) const = default;
};

QList<Column> expectedColumns(const char *declarations)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^(\w+) (\S+)( PRIMARY KEY)?(?: DEFAULT (\S+))?(?: REFERENCES (\w+\(\w+\)))?$)"));
    QList<Column> columns;
    for (const QString &part : QString::fromLatin1(declarations).split(QStringLiteral("; "))) {
        const QRegularExpressionMatch m = pattern.match(part);
        EXPECT_TRUE(m.hasMatch()) << part;
        columns.append(
            {m.captured(1), m.captured(2), m.captured(4), m.captured(5), !m.captured(3).isEmpty()});
    }
    return columns;
}

QList<Column> actualColumns(sqlite3 *db, const QString &table)
{
    QList<Column> columns;
    sqlite3_stmt *s = nullptr;
    const QByteArray sql = "SELECT name, type, pk, dflt_value FROM pragma_table_info('" +
                           table.toUtf8() + "') ORDER BY cid;";
    sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        const auto text = [s](int c) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
            return t ? QString::fromUtf8(t) : QString();
        };
        columns.append({text(0), text(1), text(3), QString(), sqlite3_column_int(s, 2) != 0});
    }
    sqlite3_finalize(s);
    const QByteArray fk = "SELECT \"from\", \"table\", \"to\" FROM pragma_foreign_key_list('" +
                          table.toUtf8() + "');";
    sqlite3_prepare_v2(db, fk.constData(), -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        const QString from =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        for (Column &c : columns) {
            if (c.name == from)
                c.references = QStringLiteral("%1(%2)").arg(
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 1))),
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 2))));
        }
    }
    sqlite3_finalize(s);
    return columns;
}

} // namespace

TEST(Schema, NewDatabaseHasEveryTableAsDeclared)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    QStringList tables;
    {
        TWStatement q = business->statement(
            "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid;");
        while (q.next())
            tables.append(q.columnText(0));
    }
    QStringList expectedTables;
    for (const auto &[name, declarations] : kDeclarations) {
        expectedTables.append(QString::fromLatin1(name));
        EXPECT_TRUE(actualColumns(business->database(), QString::fromLatin1(name)) ==
                    expectedColumns(declarations))
            << name;
    }
    EXPECT_EQ(tables, expectedTables); // all 29, in creation order
    EXPECT_EQ(business->databaseVersion(), 0x02000000u);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM info;")), 1);
    EXPECT_EQ(twQueryInt(*business, QStringLiteral("PRAGMA foreign_keys;")), 0);

    // The transactions table rebuilt from the shared declarations matches.
    twExec(*business, QStringLiteral("CREATE TABLE rebuilt (%1);")
                          .arg(QString::fromLatin1(TWSchema::transactionsDeclarations)));
    EXPECT_EQ(actualColumns(business->database(), QStringLiteral("rebuilt")),
              actualColumns(business->database(), QStringLiteral("transactions")));
    QStringList names;
    for (const Column &c : actualColumns(business->database(), QStringLiteral("transactions")))
        names.append(c.name);
    EXPECT_EQ(names.join(QStringLiteral(", ")),
              QString::fromLatin1(TWSchema::transactionsColumnNames));
}

TEST(Schema, CreateTableIfNecessaryAndMissingVersion)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    bool created = true;
    EXPECT_OK(business->createTableIfNecessary(QStringLiteral("accounts"), &created,
                                               TWSchema::createSQL(QStringLiteral("accounts"))));
    EXPECT_FALSE(created);
    const TWErrorResult error = business->createTableIfNecessary(QStringLiteral("broken"), &created,
                                                                 "CREATE TABLE broken (");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_ERROR);
    EXPECT_FALSE(created);
    EXPECT_FALSE(business->tableExists(QStringLiteral("broken")));

    twExec(*business, QStringLiteral("DELETE FROM info WHERE identifier=1;"));
    EXPECT_EQ(business->databaseVersion(), 0u);
    twExec(*business, QStringLiteral("DROP TABLE info;"));
    EXPECT_EQ(business->databaseVersion(), 0u);
}

// ---- Upgrade from 1.0 ----

namespace
{

// A schema 1.0 database with a few rows. `keep` names 2.0 columns it has
// anyway, `skip` tables it lacks.
sqlite3 *makeVersion1(const QString &homeCurrency, const QStringList &keep = {},
                      const QStringList &skip = {})
{
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    for (const auto &[name, declarations] : kDeclarations) {
        const QString table = QString::fromLatin1(name);
        if (skip.contains(table))
            continue;
        QStringList columns;
        for (const QString &column :
             QString::fromLatin1(declarations).split(QStringLiteral("; "))) {
            const QString qualified = table + u'.' + column.section(u' ', 0, 0);
            bool added = false;
            for (const char *a : twColumnsAddedInVersion2())
                added = added || qualified == QLatin1String(a);
            if (!added || keep.contains(qualified))
                columns.append(column);
        }
        twExec(db, QStringLiteral("CREATE TABLE %1 (%2);").arg(table, columns.join(u',')));
    }
    twExec(db,
           QStringLiteral(
               "INSERT INTO info VALUES (1, 16777216);"
               "INSERT INTO businesses (identifier, name, homeCurrency) VALUES (100, 'Old Firm', "
               "'%1');"
               "INSERT INTO units (code, name, symbol) VALUES ('USD', 'US Dollar', '$'), ('CAD', "
               "'Canadian Dollar', '$');"
               "INSERT INTO accounts (identifier, name) VALUES (100, 'Bank');"
               "INSERT INTO transactions (identifier, payee, total) VALUES (100, 'Grocer', 1234);"
               "INSERT INTO clients (identifier, name) VALUES (100, 'Client A');"
               "INSERT INTO tasks (identifier, name) VALUES (100, 'Design');")
               .arg(homeCurrency));
    for (int id = -1; id >= -15; --id)
        twExec(db,
               QStringLiteral("INSERT INTO fields (identifier, name, type) VALUES (%1, 'f', 0);")
                   .arg(id));
    if (!skip.contains(QStringLiteral("relationships")))
        twExec(db, QStringLiteral("INSERT INTO relationships (identifier, type, "
                                  "transactionIdentifier) VALUES (100, 0, 100);"));
    return db;
}

std::optional<QString> text(TWBusiness &b, const char *sql)
{
    return twQueryText(b, QString::fromLatin1(sql));
}

} // namespace

TEST(SchemaUpgrade, Version1BecomesVersion2WithItsRowsIntact)
{
    TWErrorResult error;
    auto business =
        TWBusiness::businessWithConnection(makeVersion1(QStringLiteral("USD")), true, &error);
    ASSERT_TRUE(business) << error->localizedDescription();
    TWBusiness &b = *business;
    EXPECT_EQ(b.databaseVersion(), 0x02000000u);
    for (const char *added : twColumnsAddedInVersion2()) {
        const QString qualified = QString::fromLatin1(added);
        EXPECT_TRUE(b.columnExists(qualified.section(u'.', 0, 0), qualified.section(u'.', 1)))
            << added;
    }
    EXPECT_EQ(text(b, "SELECT name FROM businesses;"), QStringLiteral("Old Firm"));
    EXPECT_EQ(text(b, "SELECT payee || total FROM transactions WHERE identifier=100;"),
              QStringLiteral("Grocer1234"));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT dateCreated FROM transactions;")), 0);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT quantity FROM tasks;")), 0);
    EXPECT_EQ(text(b, "SELECT name FROM clients;"), QStringLiteral("Client A"));
    EXPECT_EQ(
        twQueryInt(
            b, QStringLiteral("SELECT COUNT(*) FROM relationships WHERE splitIdentifier IS NULL;")),
        1);
    // Another home currency than CAD marks the Canadian dollar.
    EXPECT_EQ(text(b, "SELECT group_concat(code || symbol, ' ') FROM "
                      "(SELECT * FROM units ORDER BY code);"),
              QStringLiteral("CADCA$ USD$"));
    EXPECT_EQ(text(b, "SELECT group_concat(identifier, ' ') FROM (SELECT identifier FROM fields "
                      "WHERE autofillTrigger=1 ORDER BY identifier DESC);"),
              QStringLiteral("-5 -6"));
    EXPECT_EQ(text(b, "SELECT group_concat(identifier, ' ') FROM (SELECT identifier FROM fields "
                      "WHERE autofillValue=1 ORDER BY identifier DESC);"),
              QStringLiteral("-2 -5 -6 -7 -8 -10 -11 -15"));
    EXPECT_EQ(text(b, "SELECT group_concat(name, ', ') FROM (SELECT name FROM fields "
                      "WHERE identifier < -15 ORDER BY identifier DESC);"),
              QStringLiteral("Unit, Date Created, Date Modified"));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM fields;")), 18);
    EXPECT_FALSE(b.inTransaction());
    // Running it again changes nothing.
    EXPECT_OK(b.upgradeDatabase());

    auto canadian = TWBusiness::businessWithConnection(makeVersion1(QStringLiteral("CAD")), true);
    ASSERT_TRUE(canadian);
    EXPECT_EQ(text(*canadian, "SELECT group_concat(code || symbol, ' ') FROM "
                              "(SELECT * FROM units ORDER BY code);"),
              QStringLiteral("CAD$ USDUS$"));
}

TEST(SchemaUpgrade, RefusedOrUnknownVersions)
{
    TWErrorResult error;
    EXPECT_FALSE(
        TWBusiness::businessWithConnection(makeVersion1(QStringLiteral("USD")), false, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("Tallyworth Upgrade"));
    EXPECT_EQ(error->code(), -2);

    sqlite3 *future = makeVersion1(QStringLiteral("USD"));
    twExec(future, QStringLiteral("UPDATE info SET value=50331648 WHERE identifier=1;"));
    EXPECT_FALSE(TWBusiness::businessWithConnection(future, true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1);

    // Accounts but no version row: not a document of ours.
    sqlite3 *unversioned = makeVersion1(QStringLiteral("USD"));
    twExec(unversioned, QStringLiteral("DELETE FROM info;"));
    EXPECT_FALSE(TWBusiness::businessWithConnection(unversioned, true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1);

    // A database without accounts is treated as new and gets every table.
    sqlite3 *empty = nullptr;
    sqlite3_open(":memory:", &empty);
    auto business = TWBusiness::businessWithConnection(empty, false, &error);
    ASSERT_TRUE(business);
    EXPECT_EQ(business->databaseVersion(), 0x02000000u);
}

TEST(SchemaUpgrade, AFailingStepLeavesTheDatabaseAsItWas)
{
    // A view where a table belongs makes one of the later steps fail.
    sqlite3 *db = makeVersion1(QStringLiteral("USD"), {}, {QStringLiteral("merchants")});
    twExec(db, QStringLiteral("CREATE VIEW merchants AS SELECT identifier, name FROM clients;"));
    TWBusiness business;
    ASSERT_OK(business.adoptDatabase(db));
    ASSERT_OK(business.createTables());
    const TWErrorResult error = business.upgradeDatabase();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("Tallyworth Database Error"));
    EXPECT_FALSE(business.columnExists(QStringLiteral("businesses"),
                                       QStringLiteral("currencyUpdateInterval")));
    EXPECT_FALSE(business.columnExists(QStringLiteral("clients"), QStringLiteral("company")));
    EXPECT_EQ(text(business, "SELECT symbol FROM units WHERE code='CAD';"), QStringLiteral("$"));
    EXPECT_EQ(business.databaseVersion(), 0x01000000u);
    EXPECT_FALSE(business.inTransaction());
}

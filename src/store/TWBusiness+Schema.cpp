// The database schema: creating the tables, the version in the info table and
// the upgrade of a schema 1.0 database.

#include "store/TWBusiness.h"

#include "model/TWBuiltInFields.h"
#include "store/TWSchema.h"

#include <sqlite3.h>

#include <span>

namespace
{

const char *const kTableExistsSQL = "SELECT COUNT(1) FROM sqlite_master WHERE name=?;";
const char *const kColumnExistsSQL =
    "SELECT COUNT(1) FROM pragma_table_info(?) WHERE name=? COLLATE NOCASE;";
const char *const kInfoGetSQL = "SELECT value FROM info WHERE identifier=?;";
const char *const kInfoInsertSQL = "INSERT INTO info ( identifier, value ) VALUES ( ?, ? );";
const char *const kInfoUpdateSQL = "UPDATE info SET value=? WHERE identifier=?;";
const char *const kBusinessGetHomeCurrencySQL = "SELECT homeCurrency FROM businesses;";

// A column the upgrade adds, unless it is there already (a table the old file
// lacked was created with the current layout before the upgrade runs).
struct UpgradeColumn {
    const char *table;
    const char *column;
    const char *sql;
};

const UpgradeColumn kColumnsBeforeUnits[] = {
    {"businesses", "currencyUpdateInterval",
     "ALTER TABLE businesses ADD currencyUpdateInterval INTEGER(32) DEFAULT 0;"},
    {"transactions", "dateCreated", "ALTER TABLE transactions ADD dateCreated DOUBLE DEFAULT 0;"},
    {"transactions", "dateModified", "ALTER TABLE transactions ADD dateModified DOUBLE DEFAULT 0;"},
};

const UpgradeColumn kFieldColumns[] = {
    {"fields", "autofillTrigger", "ALTER TABLE fields ADD autofillTrigger INTEGER(1) DEFAULT 0;"},
    {"fields", "autofillValue", "ALTER TABLE fields ADD autofillValue INTEGER(1) DEFAULT 0;"},
};

const char *const kFieldFlagUpdates[] = {
    "UPDATE fields SET autofillTrigger=1 WHERE identifier=-5 OR identifier=-6;",
    "UPDATE fields SET autofillValue=1 WHERE identifier=-2 OR identifier=-5 OR identifier=-6 OR "
    "identifier=-7 OR identifier=-8 OR identifier=-10 OR identifier=-11 OR identifier=-15;",
};

const UpgradeColumn kColumnsAfterFields[] = {
    {"clients", "company", "ALTER TABLE clients ADD company VARCHAR(100);"},
    {"merchants", "company", "ALTER TABLE merchants ADD company VARCHAR(100);"},
    {"repeats", "type", "ALTER TABLE repeats ADD type INTEGER(32) DEFAULT 0;"},
    {"tasks", "type", "ALTER TABLE tasks ADD type INTEGER(32) DEFAULT 0;"},
    {"tasks", "quantity", "ALTER TABLE tasks ADD quantity double DEFAULT 0;"},
    {"bills", "repeatIdentifier", "ALTER TABLE bills ADD repeatIdentifier INTEGER(32);"},
    {"invoices", "repeatIdentifier", "ALTER TABLE invoices ADD repeatIdentifier INTEGER(32);"},
    {"relationships", "splitIdentifier",
     "ALTER TABLE relationships ADD splitIdentifier INTEGER(32) REFERENCES splits(identifier);"},
};

} // namespace

bool TWSchema::inVersion1(const QString &tableName)
{
    static const char *const tables[] = {
        "info",   "units",   "businesses", "accounts", "transactions", "splits", "relationships",
        "fields", "clients", "merchants",  "repeats",  "tasks",        "bills",  "invoices"};
    for (const char *table : tables) {
        if (tableName == QLatin1String(table))
            return true;
    }
    return false;
}

bool TWSchema::addedInVersion2(const QString &tableName, const QString &column, QString *value)
{
    const std::span<const UpgradeColumn> lists[] = {kColumnsBeforeUnits, kFieldColumns,
                                                    kColumnsAfterFields};
    for (const std::span<const UpgradeColumn> list : lists) {
        for (const UpgradeColumn &c : list) {
            if (tableName != QLatin1String(c.table) || column != QLatin1String(c.column))
                continue;
            if (value)
                *value = QLatin1String(c.sql).contains(QLatin1String("DEFAULT 0"))
                             ? QStringLiteral("0")
                             : QStringLiteral("NULL");
            return true;
        }
    }
    return false;
}

bool TWBusiness::tableExists(const QString &name)
{
    TWStatement query = statement(kTableExistsSQL);
    query.bindText(name);
    return query.next() && query.columnInt64(0) > 0;
}

bool TWBusiness::columnExists(const QString &table, const QString &column)
{
    TWStatement query = statement(kColumnExistsSQL);
    query.bindText(table).bindText(column);
    return query.next() && query.columnInt64(0) > 0;
}

TWErrorResult TWBusiness::createTableIfNecessary(const QString &name, bool *created,
                                                 const char *createSQL)
{
    if (created)
        *created = false;
    WriteScope scope(*this);
    if (tableExists(name))
        return scope.commit();
    if (TWErrorResult error = executeSQL(QString::fromUtf8(createSQL)))
        return scope.finish(error);
    TWErrorResult error = scope.commit();
    if (created)
        *created = !error;
    return error;
}

TWErrorResult TWBusiness::createTables(QSet<QString> *created)
{
    WriteScope scope(*this);
    QSet<QString> made;
    for (const TWSchema::Table &table : TWSchema::tables()) {
        bool tableCreated = false;
        const QString name = QString::fromLatin1(table.name);
        if (TWErrorResult error = createTableIfNecessary(name, &tableCreated, table.createSQL))
            return scope.finish(error);
        if (tableCreated)
            made.insert(name);
    }
    TWErrorResult error = scope.commit();
    if (created)
        *created = error ? QSet<QString>() : made;
    return error;
}

quint32 TWBusiness::databaseVersion()
{
    // Exactly one object named "info": anything else is not a database of ours.
    {
        TWStatement query = statement(kTableExistsSQL);
        query.bindText(QStringLiteral("info"));
        if (!query.next() || query.columnInt64(0) != 1)
            return 0;
    }
    return infoValueWithIdentifier(TWSchema::infoSchemaVersionRow);
}

quint32 TWBusiness::infoValueWithIdentifier(qint32 identifier)
{
    TWStatement query = statement(kInfoGetSQL);
    query.bindInt32(identifier);
    if (!query.next())
        return 0;
    return quint32(query.columnInt64(0));
}

TWErrorResult TWBusiness::insertInfoIdentifier(qint32 identifier, quint32 value)
{
    WriteScope scope(*this);
    TWStatement insert = statement(kInfoInsertSQL);
    insert.bindInt32(identifier).bindInt32(qint32(value));
    return scope.finish(insert.execute());
}

TWErrorResult TWBusiness::updateInfoIdentifier(qint32 identifier, quint32 value)
{
    WriteScope scope(*this);
    TWStatement update = statement(kInfoUpdateSQL);
    update.bindInt32(qint32(value)).bindInt32(identifier);
    return scope.finish(update.execute());
}

TWErrorResult TWBusiness::populateInfo()
{
    return insertInfoIdentifier(TWSchema::infoSchemaVersionRow, TWSchema::version2);
}

QString TWBusiness::homeCurrencyCode()
{
    TWStatement query = statement(kBusinessGetHomeCurrencySQL);
    if (!query.next())
        return {};
    return query.columnText(0);
}

TWErrorResult TWBusiness::upgradeDatabase()
{
    if (databaseVersion() != TWSchema::version1)
        return std::nullopt;
    WriteScope scope(*this);
    const auto addColumns = [this](const auto &columns) -> TWErrorResult {
        for (const UpgradeColumn &c : columns) {
            if (columnExists(QString::fromLatin1(c.table), QString::fromLatin1(c.column)))
                continue;
            if (TWErrorResult error = executeSQL(QString::fromLatin1(c.sql)))
                return error;
        }
        return std::nullopt;
    };

    if (TWErrorResult error = addColumns(kColumnsBeforeUnits))
        return scope.finish(error);
    // The symbols that tell the two dollars apart: the foreign one is marked.
    const QString symbolUpdate =
        homeCurrencyCode() == QLatin1String("CAD")
            ? QStringLiteral("UPDATE units SET symbol='US$' WHERE code='USD';")
            : QStringLiteral("UPDATE units SET symbol='CA$' WHERE code='CAD';");
    if (TWErrorResult error = executeSQL(symbolUpdate))
        return scope.finish(error);
    if (TWErrorResult error = addColumns(kFieldColumns))
        return scope.finish(error);
    for (const char *sql : kFieldFlagUpdates) {
        if (TWErrorResult error = executeSQL(QString::fromLatin1(sql)))
            return scope.finish(error);
    }
    if (TWErrorResult error = addColumns(kColumnsAfterFields))
        return scope.finish(error);
    upgradeAddBuiltInFields();
    return scope.commit();
}

void TWBusiness::upgradeAddBuiltInFields()
{
    // Built-in fields own no column and the field list is loaded only after
    // the upgrade. Each is its own write, so a field that exists already
    // leaves the others alone.
    for (const qint32 identifier :
         {TWFieldIdentifierUnit, TWFieldIdentifierDateCreated, TWFieldIdentifierDateModified}) {
        if (const TWBuiltInField *definition = TWBuiltInFields::definition(identifier))
            addField(TWBuiltInFields::makeField(*definition), false);
    }
}

TWErrorResult TWBusiness::prepareSchema(bool allowUpgrade, QSet<QString> *created)
{
    if (created)
        created->clear();
    // A database without accounts is new (or empty) and takes no version test.
    bool upgrade = false;
    if (tableExists(QStringLiteral("accounts"))) {
        const quint32 version = databaseVersion();
        if (version == TWSchema::version1) {
            if (!allowUpgrade) {
                closeDatabase();
                return upgradeRequiredError();
            }
            upgrade = true;
        } else if (version != TWSchema::version2) {
            return databaseVersionError();
        }
    }

    WriteScope scope(*this);
    QSet<QString> made;
    if (TWErrorResult error = createTables(&made))
        return scope.finish(error);
    if (upgrade) {
        if (TWErrorResult error = upgradeDatabase())
            return scope.finish(error);
        if (!made.contains(QStringLiteral("info"))) {
            if (TWErrorResult error =
                    updateInfoIdentifier(TWSchema::infoSchemaVersionRow, TWSchema::version2))
                return scope.finish(error);
        }
    }
    if (made.contains(QStringLiteral("info"))) {
        if (TWErrorResult error = populateInfo())
            return scope.finish(error);
    }
    if (TWErrorResult error = createIndexes())
        return scope.finish(error);
    TWErrorResult error = scope.commit();
    if (created && !error)
        *created = made;
    return error;
}

TWErrorResult TWBusiness::createIndexes()
{
    static const char *const indexes[] = {
        "CREATE INDEX IF NOT EXISTS transactionTagsTransactionIndex "
        "ON transactionTags (transactionIdentifier);",
        "CREATE INDEX IF NOT EXISTS splitsTransactionIndex ON splits (transactionIdentifier);",
        "CREATE INDEX IF NOT EXISTS attachmentsTransactionIndex "
        "ON attachments (transactionIdentifier);",
        "CREATE INDEX IF NOT EXISTS relationshipsTransactionIndex "
        "ON relationships (transactionIdentifier);",
        "CREATE INDEX IF NOT EXISTS transactionsRepeatIndex "
        "ON transactions (repeatIdentifier, date);",
    };
    for (const char *sql : indexes) {
        if (TWErrorResult error = executeSQL(QString::fromLatin1(sql)))
            return error;
    }
    return std::nullopt;
}

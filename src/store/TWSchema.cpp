#include "store/TWSchema.h"

#include <array>

namespace TWSchema
{

namespace
{

// The transactions table is declared from this text both when it is created
// and when it is rebuilt without a custom column, so the two stay identical.
#define TW_TRANSACTIONS_DECLARATIONS                                                               \
    "identifier INTEGER(32) PRIMARY KEY, "                                                         \
    "type INTEGER(32), "                                                                           \
    "state INTEGER(32), "                                                                          \
    "payee VARCHAR(100), "                                                                         \
    "description VARCHAR(100), "                                                                   \
    "account1Identifier INTEGER(32), "                                                             \
    "account2Identifier INTEGER(32), "                                                             \
    "date DOUBLE, "                                                                                \
    "total INTEGER(64), "                                                                          \
    "totalAccount1 INTEGER(64), "                                                                  \
    "totalAccount2 INTEGER(64), "                                                                  \
    "totalBusiness INTEGER(64), "                                                                  \
    "totalStart INTEGER(64), "                                                                     \
    "totalEnd INTEGER(64), "                                                                       \
    "unit CHAR(3), "                                                                               \
    "attachments INTEGER(1), "                                                                     \
    "repeatIdentifier INTEGER(32) REFERENCES repeats(identifier), "                                \
    "cleared INTEGER(1), "                                                                         \
    "notes VARCHAR(250), "                                                                         \
    "split INTEGER(1), "                                                                           \
    "dateCreated DOUBLE, "                                                                         \
    "dateModified DOUBLE"

// clang-format off
const std::array<Table, 29> kTables{{
    {"info", "CREATE TABLE info (identifier INTEGER(32) PRIMARY KEY, value INTEGER(32));"},
    {"units",
      "CREATE TABLE units (code VARCHAR(3) PRIMARY KEY, name VARCHAR(100), "
      "description VARCHAR(100), lastUpdated DOUBLE, rate DOUBLE, type INTEGER(32), "
      "decimalPlaces INTEGER(8), symbol VARCHAR(5), favourite INTEGER(1));"},
    {"businesses",
      "CREATE TABLE businesses (identifier INTEGER(32) PRIMARY KEY, type INTEGER(32), "
      "name VARCHAR(100), businessID VARCHAR(100), logo BLOB, startDate DOUBLE, "
      "homeCurrency VARCHAR(3), currencyUpdateInterval INTEGER(32), "
      "notes VARCHAR(250), phone VARCHAR(100), fax VARCHAR(100), email VARCHAR(100), "
      "website VARCHAR(100), address VARCHAR(100), "
      "createNewAccountingPeriods INTEGER(1), "
      "nominalTransferAccountIdentifier INTEGER(32), "
      "retainedEarningsName VARCHAR(100), invoiceTaxRate DOUBLE, "
      "invoiceTaxName VARCHAR(100), invoiceHeader VARCHAR(250), "
      "invoiceFooter VARCHAR(250), invoiceTerms VARCHAR(250));"},
    {"accountingPeriods",
      "CREATE TABLE accountingPeriods (identifier INTEGER(32) PRIMARY KEY, "
      "name VARCHAR(100), startDate DOUBLE, endDate DOUBLE, closed INTEGER(1));"},
    {"groups",
      "CREATE TABLE groups (identifier INTEGER(32) PRIMARY KEY, type INTEGER(32), "
      "name VARCHAR(100), tint INTEGER(32), parentIdentifier INTEGER(32), "
      "sortOrder INTEGER(32), expanded INTEGER(1));"},
    {"accounts",
      "CREATE TABLE accounts (identifier INTEGER(32) PRIMARY KEY, type INTEGER(32), "
      "name VARCHAR(100), number VARCHAR(100), icon BLOB, unit CHAR(3), "
      "notes VARCHAR(250), parentIdentifier INTEGER(32), sortOrder INTEGER(32), "
      "isInstitution INTEGER(1), institutionName VARCHAR(100), "
      "institutionPhone VARCHAR(100), institutionFax VARCHAR(100), "
      "institutionEmail VARCHAR(100), institutionWebsite VARCHAR(250), "
      "institutionAddress VARCHAR(100), institutionNumber VARCHAR(100), "
      "institutionRoutingTransit VARCHAR(100), institutionWireTransfer VARCHAR(250));"},
    {"transactions", "CREATE TABLE transactions (" TW_TRANSACTIONS_DECLARATIONS ");"},
    {"attachments",
      "CREATE TABLE attachments (identifier INTEGER(32) PRIMARY KEY, "
      "transactionIdentifier INTEGER(32), fileName VARCHAR(255), "
      "mimeType VARCHAR(100), type INTEGER(32), attachmentOrder INTEGER(32), "
      "timeSeconds DOUBLE, photoWidth INTEGER(32), photoHeight INTEGER(32), "
      "fileSize INTEGER(64));"},
    {"splits",
      "CREATE TABLE splits (identifier INTEGER(32) PRIMARY KEY, "
      "transactionIdentifier INTEGER(32) REFERENCES transactions(identifier), "
      "description VARCHAR(100), "
      "accountIdentifier INTEGER(32) REFERENCES accounts(identifier), "
      "total INTEGER(64), totalAccount INTEGER(64), totalBusiness INTEGER(64), "
      "totalStart INTEGER(64), totalEnd INTEGER(64), unit CHAR(3));"},
    {"relationships",
      "CREATE TABLE relationships (identifier INTEGER(32) PRIMARY KEY, "
      "type INTEGER(32), value DOUBLE, parentIdentifier INTEGER(32), "
      "childIdentifier INTEGER(32), "
      "transactionIdentifier INTEGER(32) REFERENCES transactions(identifier), "
      "splitIdentifier INTEGER(32) REFERENCES splits(identifier));"},
    {"fields",
      "CREATE TABLE fields (identifier INTEGER(32) PRIMARY KEY, name VARCHAR(100), "
      "type INTEGER(32), autofillTrigger INTEGER(1) DEFAULT 0, "
      "autofillValue INTEGER(1) DEFAULT 0);"},
    {"lists",
      "CREATE TABLE lists (identifier INTEGER(32), name VARCHAR(100), "
      "fieldIdentifier INTEGER(32));"},
    {"tags",
      "CREATE TABLE tags (identifier INTEGER(32), name VARCHAR(100), "
      "fieldIdentifier INTEGER(32));"},
    {"transactionTags",
      "CREATE TABLE transactionTags (transactionIdentifier INTEGER(32), "
      "fieldIdentifier INTEGER(32), tagIdentifier INTEGER(32));"},
    {"percentTotals",
      "CREATE TABLE percentTotals (fieldIdentifier INTEGER(32), percent DOUBLE, "
      "includedInTotal INTEGER(1));"},
    {"transactionValues",
      "CREATE TABLE transactionValues (identifier INTEGER(32) PRIMARY KEY, "
      "fieldIdentifier INTEGER(32), name VARCHAR(250));"},
    {"repeats",
      "CREATE TABLE repeats (identifier INTEGER(32) PRIMARY KEY, type INTEGER(32), "
      "interval INTEGER(32), intervalUnit INTEGER(32), endDate INTEGER(32), "
      "active INTEGER(1));"},
    {"filters",
      "CREATE TABLE filters (identifier INTEGER(32) PRIMARY KEY, name VARCHAR(100), "
      "parentIdentifier INTEGER(32), sortOrder INTEGER(32));"},
    {"filterCriterion",
      "CREATE TABLE filterCriterion (identifier INTEGER(32), "
      "parentIdentifier INTEGER(32), "
      "filterIdentifier INTEGER(32) REFERENCES filters(identifier), "
      "fieldIdentifier INTEGER(32) REFERENCES fields(identifier), "
      "sortOrder INTEGER(32), match INTEGER(32), valueType INTEGER(32), "
      "valueInteger INTEGER(64), valueDouble DOUBLE, valueString VARCHAR(50));"},
    {"clients",
      "CREATE TABLE clients (identifier INTEGER(32) PRIMARY KEY, name VARCHAR(100), "
      "company VARCHAR(100), logo BLOB, phone VARCHAR(100), fax VARCHAR(100), "
      "email VARCHAR(100), website VARCHAR(250), address VARCHAR(100), "
      "notes VARCHAR(250), parentIdentifier INTEGER(32), sortOrder INTEGER(32));"},
    {"projects",
      "CREATE TABLE projects (identifier INTEGER(32) PRIMARY KEY, "
      "clientIdentifier INTEGER(32) REFERENCES clients(identifier), date DOUBLE, "
      "completed INTEGER(1), name VARCHAR(100), type INTEGER(32), startDate DOUBLE, "
      "endDate DOUBLE, rate INTEGER(64), unit CHAR(3), taxRate INTEGER(64), "
      "notes VARCHAR(250));"},
    {"tasks",
      "CREATE TABLE tasks (identifier INTEGER(32) PRIMARY KEY, "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier), date DOUBLE, "
      "completed INTEGER(1), name VARCHAR(100), type INTEGER(32), "
      "estimatedTime DOUBLE, quantity DOUBLE, rate INTEGER(64), taxRate FLOAT, "
      "notes VARCHAR(250));"},
    {"taskItems",
      "CREATE TABLE taskItems (identifier INTEGER(32) PRIMARY KEY, "
      "taskIdentifier INTEGER(32) REFERENCES tasks(identifier), "
      "startDateTime INTEGER(64), endDateTime INTEGER(64), notes VARCHAR(25));"},
    {"expenses",
      "CREATE TABLE expenses (identifier INTEGER(32) PRIMARY KEY, "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier), date DOUBLE, "
      "name VARCHAR(100), quantity DOUBLE, cost INTEGER(64), taxRate FLOAT, "
      "notes VARCHAR(250));"},
    {"invoices",
      "CREATE TABLE invoices (identifier INTEGER(32) PRIMARY KEY, "
      "projectIdentifier INTEGER(32) REFERENCES projects(identifier), date DOUBLE, "
      "number VARCHAR(100), name VARCHAR(100), sent INTEGER(1), paid INTEGER(1), "
      "dueDate DOUBLE, repeatIdentifier INTEGER(32), notes VARCHAR(250));"},
    {"merchants",
      "CREATE TABLE merchants (identifier INTEGER(32) PRIMARY KEY, name VARCHAR(100), "
      "company VARCHAR(100), logo BLOB, phone VARCHAR(100), fax VARCHAR(100), "
      "email VARCHAR(100), website VARCHAR(250), address VARCHAR(100), "
      "notes VARCHAR(250), parentIdentifier INTEGER(32), sortOrder INTEGER(32));"},
    {"bills",
      "CREATE TABLE bills (identifier INTEGER(32) PRIMARY KEY, "
      "merchantIdentifier INTEGER(32) REFERENCES merchants(identifier), date DOUBLE, "
      "name VARCHAR(100), received INTEGER(1), paid INTEGER(1), dueDate DOUBLE, "
      "repeatIdentifier INTEGER(32), notes VARCHAR(250));"},
    {"reports",
      "CREATE TABLE reports (identifier INTEGER(32) PRIMARY KEY, type INTEGER(32), "
      "name VARCHAR(100), parentIdentifier INTEGER(32), sortOrder INTEGER(32), "
      "dateType INTEGER(32), fromDate DOUBLE, toDate DOUBLE, compare INTEGER(1), "
      "compareDateType INTEGER(32), compareFromDate DOUBLE, compareToDate DOUBLE, "
      "showGraphs INTEGER(1) DEFAULT 1);"},
    {"budgetItems",
      "CREATE TABLE budgetItems (identifier INTEGER(32) PRIMARY KEY, "
      "itemType INTEGER(32), itemIdentifier INTEGER(32), total INTEGER(64), "
      "unit CHAR(3), startDate DOUBLE, cycle INTEGER(32), cycleUnit INTEGER(32), "
      "rollover INTEGER(1) DEFAULT 0);"},
}};
// clang-format on

} // namespace

const char *const transactionsDeclarations = TW_TRANSACTIONS_DECLARATIONS;
const char *const transactionsColumnNames =
    "identifier, type, state, payee, description, account1Identifier, account2Identifier, "
    "date, total, totalAccount1, totalAccount2, totalBusiness, totalStart, totalEnd, unit, "
    "attachments, repeatIdentifier, cleared, notes, split, dateCreated, dateModified";

std::span<const Table> tables()
{
    return kTables;
}

const char *createSQL(const QString &tableName)
{
    for (const Table &table : kTables) {
        if (tableName == QLatin1String(table.name))
            return table.createSQL;
    }
    return nullptr;
}

QString userColumnName(std::int64_t fieldIdentifier)
{
    return QStringLiteral("user_%1").arg(fieldIdentifier);
}

QString userColumnType(int fieldType)
{
    switch (fieldType) {
    case 1: // text
        return QStringLiteral("VARCHAR(100)");
    case 2: // currency
    case 7: // list: the chosen item's identifier
    case 9: // percent total
        return QStringLiteral("INTEGER");
    case 3: // number
    case 6: // date
        return QStringLiteral("DOUBLE");
    case 4: // percent
        return QStringLiteral("FLOAT");
    case 5: // checkbox
        return QStringLiteral("INTEGER(1)");
    default: // built-in fields and tags fields have no column
        return {};
    }
}

} // namespace TWSchema

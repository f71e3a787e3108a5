#include "TWPackageMaker.h"

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWSchema.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sqlite3.h>

std::span<const char *const> twColumnsAddedInVersion2()
{
    static const char *const kAddedInVersion2[] = {"businesses.currencyUpdateInterval",
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
    return kAddedInVersion2;
}

void twMakeSchema10Package(const QUrl &url, const QString &businessName)
{
    ASSERT_TRUE(QDir().mkpath(url.toLocalFile()));
    sqlite3 *db = nullptr;
    const QString path = QDir(url.toLocalFile()).filePath(QStringLiteral("Data.sql"));
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    // Pages of 1,024 bytes, as older files often have.
    twExec(db, QStringLiteral("PRAGMA page_size=1024;"));
    for (const TWSchema::Table &table : TWSchema::tables()) {
        QString sql = QString::fromLatin1(table.createSQL);
        for (const char *added : twColumnsAddedInVersion2()) {
            const QString column = QString::fromLatin1(added);
            if (column.section(u'.', 0, 0) == QLatin1String(table.name))
                sql.remove(QRegularExpression(QStringLiteral(R"(,\s*%1\s+(?:[^,()]|\([^)]*\))*)")
                                                  .arg(column.section(u'.', 1))));
        }
        twExec(db, sql);
    }
    QString name = businessName;
    name.replace(QLatin1Char('\''), QStringLiteral("''"));
    twExec(db,
           QStringLiteral(
               "INSERT INTO info VALUES (1, 16777216);"
               "INSERT INTO businesses (identifier, type, name, homeCurrency) VALUES (100, 0, "
               "'%1', 'USD');"
               "INSERT INTO units (code, name, symbol, rate, type, decimalPlaces) VALUES "
               "('USD', 'US Dollar', '$', 1.0, 1, 2), ('CAD', 'Canadian Dollar', '$', 1.3, 1, 2);"
               "INSERT INTO accounts (identifier, type, name, unit) VALUES (100, 1, 'Bank', "
               "'USD');"
               "INSERT INTO transactions (identifier, payee, total) VALUES (100, 'Grocer', 1);")
               .arg(name));
    for (int id = -1; id >= -15; --id)
        twExec(db,
               QStringLiteral("INSERT INTO fields (identifier, name, type) VALUES (%1, 'f', 0);")
                   .arg(id));
    sqlite3_close(db);
}

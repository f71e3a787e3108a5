#include "TWTestSupport.h"
#include "model/TWUnits.h"

#include <QFile>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace
{

// Writes a units database at path with the given SQL after the table is made.
void makeDatabase(const QString &path, const char *rowsSql,
                  const char *table = "CREATE TABLE units (code TEXT, name TEXT, description "
                                      "TEXT, lastUpdated DOUBLE, rate DOUBLE, type INTEGER, "
                                      "decimalPlaces INTEGER, symbol TEXT, favourite INTEGER);")
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, table, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_exec(db, rowsSql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

void expectUnitsError(const TWErrorResult &error, int code)
{
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain(), QStringLiteral("Tallyworth Units Error"));
    EXPECT_EQ(error->code(), code);
    EXPECT_FALSE(error->localizedDescription().isEmpty());
}

} // namespace

TEST(Unit, EqualByCodeComparedByNameCaseSensitively)
{
    const QDateTime when = twLocal(2025, 1, 15);
    TWUnitPtr a = TWUnit::unitWithName(QStringLiteral("US Dollar"), QStringLiteral("USA"),
                                       QStringLiteral("USD"), QStringLiteral("$"), 1.0, 2, when,
                                       true, TWUnitTypeCurrency);
    TWUnitPtr b = TWUnit::unitWithName(QStringLiteral("Dollar"), QString(), QStringLiteral("USD"),
                                       QString(), 2.0, 0, QDateTime(), false, TWUnitTypeCustom);
    TWUnitPtr c = TWUnit::unitWithName(QStringLiteral("euro"), QString(), QStringLiteral("EUR"),
                                       QString(), 0.9, 2, when, false, TWUnitTypeCurrency);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*c));
    // Upper case sorts before lower case: "US Dollar" < "euro".
    EXPECT_EQ(a->compare(*c), -1);

    // A copy is independent; updateUnit takes every field, the code included.
    TWUnitPtr copy = a->copy();
    copy->setRate(3.0);
    EXPECT_EQ(a->rate(), 1.0);
    a->updateUnit(*c);
    EXPECT_EQ(a->code(), QStringLiteral("EUR"));
    EXPECT_TRUE(a->symbol().isNull());
}

TEST(BuiltInUnits, ReadsEveryColumnOfAnyUnitsDatabase)
{
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("Units.sqlite"));
    makeDatabase(path,
                 "INSERT INTO units VALUES ('EUR', 'euro', 'lower case', 1736899200.5, 0.97, 1, "
                 "2, NULL, 0);"
                 "INSERT INTO units VALUES ('XEC', '\xC3\x89"
                 "cu', 'accented', NULL, 1.5, 2, 258, "
                 "'E', 1);"
                 "INSERT INTO units VALUES ('PLN', 'Zloty', 'Poland', 0, 4.12, 1, 2, 'z\xC5\x82', "
                 "7);"
                 "INSERT INTO units VALUES (NULL, 'Yen', NULL, 0, 157, 1, 0, '\xC2\xA5', 0);");
    TWUnits units;
    ASSERT_FALSE(units.loadUnits(path).has_value());
    const TWUnitList &list = units.unitList();
    ASSERT_EQ(list.size(), 4);
    // "Yen" < "Zloty" < "euro" < "Écu" in bytes.
    EXPECT_EQ(list[0]->name(), QStringLiteral("Yen"));
    EXPECT_EQ(list[1]->name(), QStringLiteral("Zloty"));
    EXPECT_EQ(list[2]->name(), QStringLiteral("euro"));
    EXPECT_EQ(list[3]->name(), QString::fromUtf8("\xC3\x89"
                                                 "cu"));

    const TWUnitPtr eur = list[2];
    EXPECT_EQ(eur->code(), QStringLiteral("EUR"));
    EXPECT_EQ(eur->description(), QStringLiteral("lower case"));
    EXPECT_TRUE(eur->symbol().isNull());
    EXPECT_EQ(eur->rate(), 0.97);
    EXPECT_EQ(eur->lastUpdatedDate().toMSecsSinceEpoch(), 1736899200500);

    const TWUnitPtr ecu = list[3];
    EXPECT_FALSE(ecu->lastUpdatedDate().isValid());
    EXPECT_EQ(ecu->decimalPlaces(), 2); // 258 taken as an unsigned 8-bit value
    EXPECT_EQ(ecu->type(), 2u);
    EXPECT_TRUE(ecu->favourite());

    EXPECT_EQ(list[1]->symbol(), QString::fromUtf8("z\xC5\x82"));
    EXPECT_TRUE(list[1]->favourite()); // any non-zero value
    EXPECT_TRUE(list[0]->code().isNull());
}

TEST(BuiltInUnits, AFailedLoadKeepsTheListAndNamesTheSQLiteCode)
{
    TWTestTempDir dir;
    const QString good = dir.filePath(QStringLiteral("good.sqlite"));
    makeDatabase(good, "INSERT INTO units VALUES ('USD', 'US Dollar', 'USA', 0, 1, 1, 2, '$', 1);");
    TWUnits units;
    ASSERT_FALSE(units.loadUnits(good).has_value());
    ASSERT_EQ(units.unitList().size(), 1);
    const TWUnitPtr before = units.unitList().first();

    expectUnitsError(units.loadUnits(dir.filePath(QStringLiteral("missing.sqlite"))),
                     SQLITE_CANTOPEN);

    const QString text = dir.filePath(QStringLiteral("text.sqlite"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    expectUnitsError(units.loadUnits(text), SQLITE_NOTADB);

    const QString empty = dir.filePath(QStringLiteral("empty.sqlite"));
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    EXPECT_TRUE(units.loadUnits(empty).has_value());

    const QString noTable = dir.filePath(QStringLiteral("other.sqlite"));
    makeDatabase(noTable, "SELECT 1;", "CREATE TABLE other (x INTEGER);");
    expectUnitsError(units.loadUnits(noTable), SQLITE_ERROR);

    ASSERT_EQ(units.unitList().size(), 1);
    EXPECT_EQ(units.unitList().first(), before);
}

TEST(BuiltInUnits, ADamagedDatabaseIsRefusedWithoutPartialList)
{
    // A database cut short: its first pages are intact, the rows further on
    // are missing, so the read fails part-way.
    TWTestTempDir dir;
    const QString whole = dir.filePath(QStringLiteral("whole.sqlite"));
    makeDatabase(whole,
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                 "INSERT INTO units SELECT printf('%03d', i), printf('Unit %05d', i), "
                 "hex(randomblob(40)), 0, 1, 1, 2, NULL, 0 FROM n;");
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    ASSERT_GT(bytes.size(), 16 * 4096);
    const QString cut = dir.filePath(QStringLiteral("cut.sqlite"));
    QFile out(cut);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes.left(bytes.size() / 2));
    out.close();

    TWUnits units;
    ASSERT_FALSE(units.loadUnits(whole).has_value());
    ASSERT_EQ(units.unitList().size(), 3000);
    EXPECT_TRUE(units.loadUnits(cut).has_value());
    EXPECT_EQ(units.unitList().size(), 3000);
}

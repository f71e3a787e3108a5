// The store core: identifiers, statements and their binding, closing and the
// hardening of connections.

#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWPreferences.h"

#include <QScopeGuard>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <limits>

TEST(Identifiers, TransactionsStartAtThePreference)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const char *transactions = "SELECT MAX(identifier) FROM transactions;";
    TWPreferences &preferences = TWPreferences::preferences();
    const std::uint32_t previous = preferences.startingIdentifier();
    auto restore = qScopeGuard([&] { preferences.setStartingIdentifier(previous); });
    preferences.setStartingIdentifier(0);
    EXPECT_EQ(TWBusiness::startingTransactionIdentifier(), 1u);
    preferences.setStartingIdentifier(500);
    EXPECT_EQ(b.nextIdentifier(transactions, TWBusiness::startingTransactionIdentifier()), 500);
    twExec(b, QStringLiteral("INSERT INTO transactions (identifier) VALUES (150);"));
    EXPECT_EQ(b.nextIdentifier(transactions, TWBusiness::startingTransactionIdentifier()), 500);
    twExec(b, QStringLiteral("INSERT INTO transactions (identifier) VALUES (700);"));
    EXPECT_EQ(b.nextIdentifier(transactions, TWBusiness::startingTransactionIdentifier()), 701);
}

TEST(Statements, FailuresAreReportedAndStopTheStatement)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWStatement bad = business->statement("SELECT nothing FROM nowhere;");
    EXPECT_FALSE(bad.isPrepared());
    EXPECT_FALSE(bad.next());
    ASSERT_TRUE(bad.error());
    EXPECT_EQ(bad.error()->code(), SQLITE_ERROR);

    // A bind past the parameters fails; the rest is skipped and nothing runs.
    TWStatement tooMany =
        business->statement("INSERT INTO info (identifier, value) VALUES (?, ?);");
    tooMany.bindInt32(7).bindInt32(1).bindInt32(2).bindInt32(3);
    EXPECT_EQ(tooMany.failureCode(), SQLITE_RANGE);
    EXPECT_TRUE(tooMany.execute());
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM info WHERE identifier=7;")), 0);
}

TEST(Statements, AnUpdateThatChangesNoRowIsNotFound)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    twExec(*business, QStringLiteral("INSERT INTO info (identifier, value) VALUES (7, 1);"));
    TWStatement update = business->statement("UPDATE info SET value=? WHERE identifier=?;");
    update.bindInt32(2).bindInt32(7);
    EXPECT_OK(update.executeUpdate());
    TWStatement missing = business->statement("UPDATE info SET value=? WHERE identifier=?;");
    missing.bindInt32(2).bindInt32(8);
    const TWErrorResult error = missing.executeUpdate();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_NOTFOUND);

    // Every update of a record whose row is gone answers the same, and
    // announces nothing.
    TWNotificationRecorder recorder(business.get());
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(QStringLiteral("XQZ"));
    for (const TWErrorResult &result :
         {business->updateUnit(unit, true), business->updateUnitRate(unit, true)}) {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->code(), SQLITE_NOTFOUND);
    }
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Statements, AreResetSoTablesCanBeDropped)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    twExec(b, QStringLiteral("CREATE TABLE scratch (k INTEGER PRIMARY KEY);"
                             "INSERT INTO scratch VALUES (1), (2);"));
    // A failing step, then a query left after its first row.
    const char *insert = "INSERT INTO scratch VALUES (?);";
    EXPECT_EQ(b.statement(insert).bindInt32(1).execute()->code(), SQLITE_CONSTRAINT);
    {
        TWStatement q = b.statement("SELECT k FROM scratch;");
        ASSERT_TRUE(q.next());
    }
    EXPECT_OK(b.executeSQL(QStringLiteral("DROP TABLE scratch;")));
    // The cached statements are prepared again against the new table.
    twExec(b, QStringLiteral("CREATE TABLE scratch (k INTEGER PRIMARY KEY);"));
    EXPECT_OK(b.statement(insert).bindInt32(1).execute());
}

TEST(Store, ConnectionsAreHardened)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const auto setting = [&](int option) {
        int value = -1;
        sqlite3_db_config(business->database(), option, -1, &value);
        return value;
    };
    EXPECT_EQ(setting(SQLITE_DBCONFIG_DEFENSIVE), 1);
    EXPECT_EQ(setting(SQLITE_DBCONFIG_TRUSTED_SCHEMA), 0);
    EXPECT_EQ(setting(SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION), 0);
    // Defensive mode refuses to edit the schema table directly.
    twExec(*business, QStringLiteral("PRAGMA writable_schema=ON;"));
    EXPECT_TRUE(business->executeSQL(
        QStringLiteral("UPDATE sqlite_master SET sql='' WHERE name='accounts';")));
}

// SQLite's page cache as the store installs it: databases held in memory, as
// the working copy is, and on disk keep every row through page splits,
// rollbacks that drop pages and rollbacks of savepoints.

#include "foundation/TWSQLitePageCache.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <random>
#include <set>

namespace
{

int exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

std::int64_t single(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *query = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK &&
        sqlite3_step(query) == SQLITE_ROW)
        value = sqlite3_column_int64(query, 0);
    sqlite3_finalize(query);
    return value;
}

QByteArray text(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *query = nullptr;
    QByteArray value;
    if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK &&
        sqlite3_step(query) == SQLITE_ROW)
        value = reinterpret_cast<const char *>(sqlite3_column_text(query, 0));
    sqlite3_finalize(query);
    return value;
}

int cacheUsed(sqlite3 *db)
{
    int used = 0;
    int highest = 0;
    sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_USED, &used, &highest, 0);
    return used;
}

// Rows with random keys under an index, one SQL transaction each (splits put
// pages in order through a spare number far past the end), a share of them
// rolled back whole or to a savepoint, and a large one that grows the file
// and is rolled back; the rows kept are known and checked.
void churn(sqlite3 *db)
{
    ASSERT_EQ(exec(db, "CREATE TABLE rows (id INTEGER PRIMARY KEY, k INTEGER, pad TEXT);"
                       "CREATE INDEX rowsByKey ON rows (k, pad);"),
              SQLITE_OK);
    std::mt19937 random(7);
    std::set<std::int64_t> kept;
    sqlite3_stmt *insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO rows (id, k, pad) VALUES (?, ?, ?);", -1, &insert,
                                 nullptr),
              SQLITE_OK);
    const QByteArray pad(60, 'x');
    const auto add = [&](std::int64_t id) {
        sqlite3_bind_int64(insert, 1, id);
        sqlite3_bind_int64(insert, 2, std::int64_t(random() % 100000));
        sqlite3_bind_text(insert, 3, pad.constData(), int(pad.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(insert);
        sqlite3_reset(insert);
        return rc == SQLITE_DONE;
    };
    std::int64_t id = 0;
    for (int round = 0; round < 3000; ++round) {
        ASSERT_EQ(exec(db, "BEGIN;"), SQLITE_OK);
        const int kind = round % 10;
        if (kind == 3) {
            ASSERT_TRUE(add(++id));
            ASSERT_EQ(exec(db, "ROLLBACK;"), SQLITE_OK);
            continue;
        }
        ASSERT_TRUE(add(++id));
        kept.insert(id);
        if (kind == 5) {
            ASSERT_EQ(exec(db, "SAVEPOINT inner;"), SQLITE_OK);
            ASSERT_TRUE(add(++id));
            ASSERT_EQ(exec(db, "ROLLBACK TO inner; RELEASE inner;"), SQLITE_OK);
        }
        if (round == 2000) {
            // Hundreds of new pages, then dropped again.
            ASSERT_EQ(exec(db, "SAVEPOINT big;"), SQLITE_OK);
            for (int i = 0; i < 3000; ++i)
                ASSERT_TRUE(add(1000000 + i));
            ASSERT_EQ(exec(db, "ROLLBACK TO big; RELEASE big;"), SQLITE_OK);
        }
        ASSERT_EQ(exec(db, "COMMIT;"), SQLITE_OK);
    }
    // The pages a rolled back transaction added leave the cache with it.
    const std::int64_t pages = single(db, "PRAGMA page_count;");
    const int before = cacheUsed(db);
    ASSERT_EQ(exec(db, "BEGIN;"), SQLITE_OK);
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(add(2000000 + i));
    EXPECT_GT(single(db, "PRAGMA page_count;"), pages);
    ASSERT_EQ(exec(db, "ROLLBACK;"), SQLITE_OK);
    EXPECT_EQ(single(db, "PRAGMA page_count;"), pages);
    EXPECT_LE(cacheUsed(db), before + 8 * 4096);
    sqlite3_finalize(insert);

    EXPECT_EQ(text(db, "PRAGMA integrity_check;"), QByteArray("ok"));
    EXPECT_EQ(single(db, "SELECT COUNT(*) FROM rows;"), std::int64_t(kept.size()));
    EXPECT_EQ(single(db, "SELECT COUNT(*) FROM rows INDEXED BY rowsByKey WHERE k >= 0;"),
              std::int64_t(kept.size()));
    std::int64_t sum = 0;
    for (const std::int64_t k : kept)
        sum += k;
    EXPECT_EQ(single(db, "SELECT SUM(id) FROM rows;"), sum);
}

} // namespace

TEST(WorkingCopyPages, RowsSurviveSplitsAndRollbacksInMemoryAndOnDisk)
{
    // Installed by the test process before SQLite started, as the
    // application does.
    ASSERT_TRUE(TWSQLitePageCache::install());

    sqlite3 *memory = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(":memory:", &memory, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
        SQLITE_OK);
    churn(memory);
    sqlite3_close(memory);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    sqlite3 *file = nullptr;
    ASSERT_EQ(sqlite3_open_v2(folder.filePath(QStringLiteral("pages.sql")).toUtf8().constData(),
                              &file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_OK);
    exec(file, "PRAGMA cache_size = 50;"); // pages come and go on their own
    exec(file, "PRAGMA synchronous = OFF;");
    churn(file);
    sqlite3_close(file);
}

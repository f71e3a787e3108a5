#include "TWBenchLedger.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>

namespace
{

bool exec(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", sql, message ? message : "error");
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

bool step(sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    return rc == SQLITE_DONE;
}

// Finalises the statements however the writing ends.
struct Statements {
    sqlite3_stmt *insert = nullptr;
    sqlite3_stmt *split = nullptr;
    sqlite3_stmt *tag = nullptr;
    ~Statements()
    {
        sqlite3_finalize(insert);
        sqlite3_finalize(split);
        sqlite3_finalize(tag);
    }
};

} // namespace

qint64 twBenchThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool twBenchWriteLedger(TWBusiness &business, const TWBenchLedgerAccounts &accounts, int count)
{
    // The custom fields: a text and a number column, and a tags field.
    const auto addField = [&business](const char *name, std::uint32_t type) -> qint32 {
        const qint32 identifier = business.nextFieldIdentifier();
        if (identifier == 0 ||
            business.addField(TWField::fieldWithName(name, type, false, false, identifier), false))
            return 0;
        return identifier;
    };
    const qint32 text = addField("Reference", TWFieldTypeText);
    const qint32 number = addField("Kilometres", TWFieldTypeNumber);
    const qint32 tags = addField("Labels", TWFieldTypeTags);
    if (text == 0 || number == 0 || tags == 0) {
        std::fprintf(stderr, "could not add the custom fields\n");
        return false;
    }

    sqlite3 *db = business.database();
    const QByteArray insertSQL =
        QStringLiteral("INSERT INTO transactions (identifier, type, state, payee, description, "
                       "account1Identifier, account2Identifier, date, total, totalAccount1, "
                       "totalAccount2, totalBusiness, totalStart, totalEnd, unit, attachments, "
                       "repeatIdentifier, cleared, notes, split, dateCreated, dateModified, "
                       "user_%1, user_%2) VALUES (?, 0, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, "
                       "'USD', 0, 0, ?, NULL, ?, ?, ?, ?, ?);")
            .arg(text)
            .arg(number)
            .toLatin1();
    Statements s;
    sqlite3_prepare_v2(db, insertSQL.constData(), -1, &s.insert, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO splits (identifier, transactionIdentifier, description, "
                       "accountIdentifier, total, totalAccount, totalBusiness, totalStart, "
                       "totalEnd, unit) VALUES (?, ?, 'Line', ?, ?, ?, ?, 0, 0, 'USD');",
                       -1, &s.split, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO transactionTags (transactionIdentifier, fieldIdentifier, "
                       "tagIdentifier) VALUES (?, ?, ?);",
                       -1, &s.tag, nullptr);
    if (!s.insert || !s.split || !s.tag || !exec(db, "BEGIN;")) {
        std::fprintf(stderr, "could not prepare the inserts\n");
        return false;
    }

    const auto fail = [db](const char *what) {
        std::fprintf(stderr, "could not write %s\n", what);
        exec(db, "ROLLBACK;");
        return false;
    };
    qint32 splitIdentifier = 100;
    for (int i = 0; i < count; ++i) {
        const qint32 identifier = 1 + i;
        const bool isSplit = i % 10 == 0;
        const qint64 amount = 100 + (i % 9000) * 7;
        const QByteArray payee = QByteArray("Payee ") + QByteArray::number(i % 500);
        const QByteArray reference = QByteArray("REF-") + QByteArray::number(i);
        const auto [account1, account2] = accounts.plain(i);
        // Packed dates over about three years.
        const int day = i % 1000;
        const double date =
            double((2021 + day / 365) * 512 + (1 + (day / 28) % 12) * 32 + 1 + day % 28);
        sqlite3_bind_int(s.insert, 1, identifier);
        sqlite3_bind_text(s.insert, 2, payee.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.insert, 3, "Description", -1, SQLITE_STATIC);
        sqlite3_bind_int(s.insert, 4, account1);
        sqlite3_bind_int(s.insert, 5, account2);
        sqlite3_bind_double(s.insert, 6, date);
        for (int column = 7; column <= 10; ++column)
            sqlite3_bind_int64(s.insert, column, isSplit ? 0 : amount);
        sqlite3_bind_int(s.insert, 11, i % 2);
        sqlite3_bind_int(s.insert, 12, isSplit ? 1 : 0);
        sqlite3_bind_double(s.insert, 13, 1700000000.0 + i);
        sqlite3_bind_double(s.insert, 14, 1700000000.0 + i);
        sqlite3_bind_text(s.insert, 15, reference.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s.insert, 16, 12.5 + i % 100);
        if (!step(s.insert))
            return fail("a transaction");
        if (isSplit) {
            const qint64 lines[3] = {amount, amount / 2, -(amount + amount / 2)};
            for (int line = 0; line < 3; ++line) {
                sqlite3_bind_int(s.split, 1, splitIdentifier++);
                sqlite3_bind_int(s.split, 2, identifier);
                sqlite3_bind_int(s.split, 3, accounts.line(i, line));
                for (int column = 4; column <= 6; ++column)
                    sqlite3_bind_int64(s.split, column, lines[line]);
                if (!step(s.split))
                    return fail("a line");
            }
        }
        for (int t = 0; t < 1 + i % 2; ++t) {
            sqlite3_bind_int(s.tag, 1, identifier);
            sqlite3_bind_int(s.tag, 2, tags);
            sqlite3_bind_int(s.tag, 3, 1 + (i + t) % 5);
            if (!step(s.tag))
                return fail("a tag");
        }
    }
    return exec(db, "COMMIT;");
}

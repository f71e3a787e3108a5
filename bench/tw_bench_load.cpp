// Times loading a ledger of 100,000 transactions (one in ten split into three
// lines, each with a text, a number and a tags value) into memory.

#include "TWBusiness.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sqlite3.h>

#include <cstdio>
#include <ctime>

namespace
{

// CPU time of this thread, which other programs on the machine do not inflate.
qint64 threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

constexpr int kTransactions = 100000;

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithInMemorySchema(&error);
    if (!business)
        return 1;
    if (business->populateUnits() || business->loadUnits() || business->populateFields() ||
        business->loadFields())
        return 1;
    const qint32 text = business->nextFieldIdentifier();
    business->addField(TWField::fieldWithName("Reference", TWFieldTypeText, false, false, text),
                       false);
    const qint32 number = business->nextFieldIdentifier();
    business->addField(
        TWField::fieldWithName("Kilometres", TWFieldTypeNumber, false, false, number), false);
    const qint32 tags = business->nextFieldIdentifier();
    business->addField(TWField::fieldWithName("Labels", TWFieldTypeTags, false, false, tags),
                       false);

    sqlite3 *db = business->database();
    const QByteArray insertSQL =
        QStringLiteral("INSERT INTO transactions (identifier, type, state, payee, description, "
                       "account1Identifier, account2Identifier, date, total, totalAccount1, "
                       "totalAccount2, totalBusiness, totalStart, totalEnd, unit, attachments, "
                       "repeatIdentifier, cleared, notes, split, dateCreated, dateModified, "
                       "user_%1, user_%2) VALUES (?, 0, 0, ?, ?, 100, 101, ?, ?, ?, ?, ?, 0, 0, "
                       "'USD', 0, 0, ?, NULL, ?, ?, ?, ?, ?);")
            .arg(text)
            .arg(number)
            .toLatin1();
    sqlite3_stmt *insert = nullptr;
    sqlite3_stmt *split = nullptr;
    sqlite3_stmt *tag = nullptr;
    sqlite3_prepare_v2(db, insertSQL.constData(), -1, &insert, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO splits (identifier, transactionIdentifier, description, "
                       "accountIdentifier, total, totalAccount, totalBusiness, totalStart, "
                       "totalEnd, unit) VALUES (?, ?, 'Line', ?, ?, ?, ?, 0, 0, 'USD');",
                       -1, &split, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO transactionTags (transactionIdentifier, fieldIdentifier, "
                       "tagIdentifier) VALUES (?, ?, ?);",
                       -1, &tag, nullptr);
    if (!insert || !split || !tag)
        return 1;

    exec(db, "BEGIN;");
    qint32 splitIdentifier = 100;
    for (int i = 0; i < kTransactions; ++i) {
        const qint32 identifier = 1 + i;
        const bool isSplit = i % 10 == 0;
        const qint64 amount = 100 + (i % 9000) * 7;
        const QByteArray payee = QByteArray("Payee ") + QByteArray::number(i % 500);
        const QByteArray reference = QByteArray("REF-") + QByteArray::number(i);
        // Packed dates over about three years.
        const int day = i % 1000;
        const double date =
            double((2021 + day / 365) * 512 + (1 + (day / 28) % 12) * 32 + 1 + day % 28);
        sqlite3_bind_int(insert, 1, identifier);
        sqlite3_bind_text(insert, 2, payee.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, "Description", -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, date);
        for (int column = 5; column <= 8; ++column)
            sqlite3_bind_int64(insert, column, isSplit ? 0 : amount);
        sqlite3_bind_int(insert, 9, i % 2);
        sqlite3_bind_int(insert, 10, isSplit ? 1 : 0);
        sqlite3_bind_double(insert, 11, 1700000000.0 + i);
        sqlite3_bind_double(insert, 12, 1700000000.0 + i);
        sqlite3_bind_text(insert, 13, reference.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 14, 12.5 + i % 100);
        if (!step(insert))
            return 1;
        if (isSplit) {
            const qint64 lines[3] = {amount, amount / 2, -(amount + amount / 2)};
            for (int line = 0; line < 3; ++line) {
                sqlite3_bind_int(split, 1, splitIdentifier++);
                sqlite3_bind_int(split, 2, identifier);
                sqlite3_bind_int(split, 3, 100 + line);
                for (int column = 4; column <= 6; ++column)
                    sqlite3_bind_int64(split, column, lines[line]);
                if (!step(split))
                    return 1;
            }
        }
        for (int t = 0; t < 1 + i % 2; ++t) {
            sqlite3_bind_int(tag, 1, identifier);
            sqlite3_bind_int(tag, 2, tags);
            sqlite3_bind_int(tag, 3, 1 + (i + t) % 5);
            if (!step(tag))
                return 1;
        }
    }
    exec(db, "COMMIT;");
    sqlite3_finalize(insert);
    sqlite3_finalize(split);
    sqlite3_finalize(tag);

    QElapsedTimer timer;
    const qint64 cpuStart = threadCpuMilliseconds();
    timer.start();
    error = business->loadTransactions();
    const qint64 elapsed = timer.elapsed();
    const qint64 cpu = threadCpuMilliseconds() - cpuStart;
    if (error) {
        std::fprintf(stderr, "load failed: %s\n",
                     error->localizedDescription().toUtf8().constData());
        return 1;
    }
    std::printf("load: %lld ms (%lld ms of CPU, %lld transactions)\n",
                static_cast<long long>(elapsed), static_cast<long long>(cpu),
                static_cast<long long>(business->transactions().size()));
    return 0;
}

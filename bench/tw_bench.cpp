// Generates a large business through the store and times what a user waits
// for: opening, saving, a register, balances, statement totals, owing, a
// month of repeats, adding transactions and deleting a client with its work.
//
//   tw-bench generate --transactions N --out PATH
//   tw-bench run [--transactions N]
//   tw-bench growth

#include "TWBenchBusiness.h"
#include "TWBenchSourceList.h"

#include "TWBusiness.h"
#include "TWClock.h"
#include "TWNotificationCenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

using Phases = std::vector<std::pair<QString, qint64>>;

bool failed(const TWErrorResult &error, const char *what)
{
    if (!error)
        return false;
    std::fprintf(stderr, "%s failed: %s\n", what,
                 error->localizedDescription().toUtf8().constData());
    return true;
}

// The median of `runs` timings of `work` (which answers false on failure).
qint64 median(int runs, const std::function<bool()> &work, bool *ok)
{
    std::vector<qint64> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work()) {
            *ok = false;
            return -1;
        }
        times.push_back(timer.elapsed());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The floor under opening: SQLite restoring the package's database into memory
// and reading every column of every row of every table, nothing more.
bool rawRead(const QString &package)
{
    const QByteArray path = QDir(package).filePath(QStringLiteral("Data.sql")).toUtf8();
    sqlite3 *file = nullptr;
    sqlite3 *memory = nullptr;
    bool ok = sqlite3_open_v2(path.constData(), &file, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
              sqlite3_open_v2(":memory:", &memory,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                              nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_backup *backup = sqlite3_backup_init(memory, "main", file, "main");
        ok = backup && sqlite3_backup_step(backup, -1) == SQLITE_DONE;
        ok = sqlite3_backup_finish(backup) == SQLITE_OK && ok;
    }
    QList<QByteArray> tables;
    sqlite3_stmt *list = nullptr;
    if (ok && sqlite3_prepare_v2(memory, "SELECT name FROM sqlite_schema WHERE type='table';", -1,
                                 &list, nullptr) == SQLITE_OK) {
        while (sqlite3_step(list) == SQLITE_ROW)
            tables.append(reinterpret_cast<const char *>(sqlite3_column_text(list, 0)));
    }
    sqlite3_finalize(list);
    std::uint64_t sum = 0;
    for (const QByteArray &table : std::as_const(tables)) {
        sqlite3_stmt *rows = nullptr;
        const QByteArray sql = "SELECT * FROM \"" + table + "\";";
        if (sqlite3_prepare_v2(memory, sql.constData(), -1, &rows, nullptr) != SQLITE_OK) {
            ok = false;
            break;
        }
        const int columns = sqlite3_column_count(rows);
        while (sqlite3_step(rows) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(rows, c)) {
                case SQLITE_INTEGER:
                    sum += std::uint64_t(sqlite3_column_int64(rows, c));
                    break;
                case SQLITE_FLOAT:
                    sum += std::uint64_t(sqlite3_column_double(rows, c));
                    break;
                case SQLITE_TEXT:
                    sum += std::uint64_t(QString::fromUtf8(reinterpret_cast<const char *>(
                                             sqlite3_column_text(rows, c)),
                                                           sqlite3_column_bytes(rows, c))
                                             .size());
                    break;
                case SQLITE_BLOB:
                    sum += std::uint64_t(QByteArray(static_cast<const char *>(
                                                        sqlite3_column_blob(rows, c)),
                                                    sqlite3_column_bytes(rows, c))
                                             .size());
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(rows);
    }
    sqlite3_close(memory);
    sqlite3_close(file);
    return ok && sum != 1; // the sum keeps the reads from being optimised away
}

std::unique_ptr<TWBusiness> generate(int transactions, const QString &package,
                                     const QString &attachments)
{
    QDir().mkpath(attachments);
    std::unique_ptr<TWBusiness> business =
        twBenchMakeBusiness({transactions, attachments});
    if (!business)
        return nullptr;
    if (failed(business->writeToURL(QUrl::fromLocalFile(package), TWSaveOperationSaveAs),
               "writeToURL"))
        return nullptr;
    return business;
}

bool runPhases(int transactions, Phases &phases)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    const QString package = folder.filePath(QStringLiteral("Bench.tallyworth"));
    QElapsedTimer generation;
    generation.start();
    if (!generate(transactions, package, folder.filePath(QStringLiteral("files"))))
        return false;
    std::fprintf(stderr, "generated %d transactions in %lld ms\n", transactions,
                 static_cast<long long>(generation.elapsed()));
    bool ok = true;
    const QUrl url = QUrl::fromLocalFile(package);
    std::unique_ptr<TWBusiness> business;
    phases.emplace_back(QStringLiteral("open"), median(3, [&] {
                            business.reset();
                            TWErrorResult error;
                            business = TWBusiness::businessWithURL(url, false, &error);
                            return business && !failed(error, "businessWithURL");
                        }, &ok));
    if (!ok)
        return false;
    phases.emplace_back(QStringLiteral("raw read"), median(3, [&] { return rawRead(package); }, &ok));
    if (!ok)
        return false;
    TWBusiness &b = *business;
    phases.emplace_back(QStringLiteral("save in place"), median(3, [&] {
                            return !failed(b.writeToURL(url, TWSaveOperationSave), "save");
                        }, &ok));
    int copy = 0;
    phases.emplace_back(QStringLiteral("save as"), median(3, [&] {
                            const QUrl other = QUrl::fromLocalFile(
                                folder.filePath(QStringLiteral("Copy%1.tallyworth").arg(++copy)));
                            return !failed(b.writeToURL(other, TWSaveOperationSaveAs), "save as");
                        }, &ok));
    const TWAccountPtr busy = b.accountWithIdentifier(twBenchBusyAccount());
    qsizetype rows = 0;
    phases.emplace_back(QStringLiteral("register"), median(3, [&] {
                            TWTransactionList views = b.transactionsForAccount(*busy);
                            b.updateBalance(views);
                            rows = views.size();
                            return true;
                        }, &ok));
    std::fprintf(stderr, "register rows: %lld\n", static_cast<long long>(rows));
    const QDateTime today(TWClock::today(), QTime(0, 0));
    phases.emplace_back(QStringLiteral("balances"), median(3, [&] {
                            return !b.accountBalances(today).isEmpty();
                        }, &ok));
    phases.emplace_back(QStringLiteral("statement totals"), median(3, [&] {
                            QList<TWDateSpan> columns;
                            const int year = today.date().year() - 1;
                            for (int month = 1; month <= 12; ++month) {
                                const QDate first(year, month, 1);
                                columns.append({QDateTime(first, QTime(0, 0)),
                                                QDateTime(first.addMonths(1).addDays(-1),
                                                          QTime(0, 0))});
                            }
                            b.groupTransactionTotalsWithAssets(TWStatementFigureAll, columns);
                            return true;
                        }, &ok));
    phases.emplace_back(QStringLiteral("owing"), median(3, [&] {
                            b.transactionHomeOwingWithClients(b.clients());
                            return true;
                        }, &ok));
    phases.emplace_back(QStringLiteral("source list totals"), median(3, [&] {
                            long long rows = 0;
                            twBenchSourceListTotals(b, &rows);
                            return rows > 0;
                        }, &ok));
    if (!ok)
        return false;

    // A month later: each schedule makes its next entry.
    const QDateTime later = TWClock::now().addMonths(1);
    TWClock::setNowProvider([later] { return later; });
    phases.emplace_back(QStringLiteral("repeats of a month"), median(1, [&] {
                            return !failed(b.updateRepeatItems(true, true), "updateRepeatItems");
                        }, &ok));
    TWClock::setNowProvider({});

    phases.emplace_back(QStringLiteral("add 1000 transactions"), median(1, [&] {
                            for (int i = 0; i < 1000; ++i) {
                                TWTransactionPtr t = TWTransaction::transactionWithBusiness(b);
                                t->setDate(today.addDays(-(i % 200)));
                                t->setAccount1Identifier(busy->identifier());
                                t->setAccount2Identifier(b.accounts().last()->identifier());
                                t->setUnit(b.homeUnit());
                                t->setTotal(1000 + i);
                                t->updateTotalsWithMasterTotalType(TWTotalTypeTotal,
                                                                   TWTotalTypeAll, b);
                                if (failed(b.addTransaction(t, false, false, true, true),
                                           "addTransaction"))
                                    return false;
                            }
                            return true;
                        }, &ok));
    phases.emplace_back(QStringLiteral("delete a client"), median(1, [&] {
                            const TWClientPtr client = b.clients().first();
                            return !failed(b.deleteClient(client, true), "deleteClient");
                        }, &ok));
    return ok;
}

int argument(const QStringList &arguments, const QString &name, int fallback)
{
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return fallback;
    bool ok = false;
    const int value = arguments[at + 1].toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

int usage()
{
    std::fprintf(stderr, "usage: tw-bench generate --transactions N --out PATH\n"
                         "       tw-bench run [--transactions N]\n"
                         "       tw-bench growth\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2)
        return usage();
    const QString mode = arguments[1];
    const int transactions = argument(arguments, QStringLiteral("--transactions"), 100000);
    if (mode == QStringLiteral("generate")) {
        const qsizetype at = arguments.indexOf(QStringLiteral("--out"));
        if (at < 0 || at + 1 >= arguments.size())
            return usage();
        const QString out = QDir::current().absoluteFilePath(arguments[at + 1]);
        QTemporaryDir files;
        return files.isValid() && generate(transactions, out, files.path()) ? 0 : 1;
    }
    if (mode == QStringLiteral("run")) {
        Phases phases;
        if (!runPhases(transactions, phases))
            return 1;
        for (const auto &[name, ms] : phases)
            std::printf("%s: %lld ms\n", name.toUtf8().constData(), static_cast<long long>(ms));
        std::printf("open / raw read: %.2f\n",
                    double(phases.at(0).second) / double(std::max<qint64>(1, phases.at(1).second)));
        return 0;
    }
    if (mode == QStringLiteral("growth")) {
        Phases small, large;
        if (!runPhases(10000, small) || !runPhases(100000, large))
            return 1;
        std::printf("%-24s %10s %10s %7s\n", "phase", "10,000", "100,000", "ratio");
        for (size_t i = 0; i < small.size() && i < large.size(); ++i)
            std::printf("%-24s %7lld ms %7lld ms %7.1f\n", (small[i].first + ':').toUtf8().constData(),
                        static_cast<long long>(small[i].second),
                        static_cast<long long>(large[i].second),
                        small[i].second > 0 ? double(large[i].second) / double(small[i].second)
                                            : 0.0);
        return 0;
    }
    return usage();
}

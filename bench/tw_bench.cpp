// Generates a large business through the store and times what a user waits
// for: opening, saving, a register, balances, statement totals, owing, a
// month of repeats, adding transactions, deleting a client with its work, and
// exports.
//
//   tw-bench generate --transactions N [--invoices M] --out PATH   (M invoices whose links say
//   nothing of their entries, as earlier builds stored them; open it with tw-bench-open)
//   tw-bench generate --sample --transactions N --out PATH   (a believable studio, not the bench's)
//   tw-bench generate --sample --home JPY --extras ...   (in yen; a closed year, repeats, credit
//   notes, changed settings) tw-bench run [--transactions N | --package PATH] tw-bench edits
//   --package PATH   (only the phases that change the business) tw-bench growth tw-bench verify
//   PATH tw-bench memory PATH (bytes the open document adds to the process)

#include "TWBenchBusiness.h"
#include "TWBenchSample.h"
#include "TWBenchSourceList.h"
#include "TWBenchVerify.h"

#include "export/core/TWExportTransactions.h"
#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerPDF.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "foundation/TWNotificationCenter.h"
#include "store/TWBusiness.h"
#include "store/TWExportSettingsRecords.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
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
// `prepare`, when given, runs before each timing and is not counted.
qint64 median(int runs, const std::function<bool()> &work, bool *ok,
              const std::function<void()> &prepare = {})
{
    std::vector<qint64> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
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
    bool ok =
        sqlite3_open_v2(path.constData(), &file, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
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
                    sum += std::uint64_t(
                        QByteArray(static_cast<const char *>(sqlite3_column_blob(rows, c)),
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

// A line of /proc/self/status ("VmRSS", "VmHWM") in bytes; 0 when unknown.
qint64 processMemory(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

// Opens the package and prints the peak resident memory it took over the
// process before opening, in bytes (the child process `memory` mode).
int openMemory(const QString &path)
{
    const qint64 empty = processMemory("VmRSS");
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business =
        TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
    if (!business || failed(error, "businessWithURL"))
        return 1;
    std::printf("%lld %lld\n", static_cast<long long>(processMemory("VmHWM") - empty),
                static_cast<long long>(business->transactions().size()));
    std::fprintf(stderr,
                 "resident after opening: %lld bytes over the empty process, %lld of them "
                 "held by SQLite\n",
                 static_cast<long long>(processMemory("VmRSS") - empty),
                 static_cast<long long>(sqlite3_memory_used()));
    return 0;
}

// The bytes per transaction of opening the package, measured in a process
// of its own so that generating the business does not count; -1 on failure.
qint64 memoryPerTransaction(const QString &package)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("memory"), package});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return -1;
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    const qint64 count = figures.value(1).toLongLong();
    return count > 0 ? figures.value(0).toLongLong() / count : -1;
}

std::unique_ptr<TWBusiness> generate(int transactions, const QString &package,
                                     const QString &attachments, int invoices = 0)
{
    QDir().mkpath(attachments);
    std::unique_ptr<TWBusiness> business =
        twBenchMakeBusiness({transactions, attachments, invoices});
    if (!business)
        return nullptr;
    if (failed(business->writeToURL(QUrl::fromLocalFile(package), TWSaveOperationSaveAs),
               "writeToURL"))
        return nullptr;
    return business;
}

// What changes the business: a month of repeats, adding transactions one by
// one and deleting a client with its work (each run once, as they change it).
bool editPhases(TWBusiness &b, Phases &phases)
{
    bool ok = true;
    const TWAccountPtr busy = b.accountWithIdentifier(twBenchBusyAccount());
    const QDateTime today(TWClock::today(), QTime(0, 0));
    // A month later: each schedule makes its next entry.
    const QDateTime later = TWClock::now().addMonths(1);
    TWClock::setNowProvider([later] { return later; });
    phases.emplace_back(
        QStringLiteral("repeats of a month"),
        median(
            1, [&] { return !failed(b.updateRepeatItems(true, true), "updateRepeatItems"); }, &ok));
    TWClock::setNowProvider({});

    phases.emplace_back(
        QStringLiteral("add 1000 transactions"),
        median(
            1,
            [&] {
                for (int i = 0; i < 1000; ++i) {
                    TWTransactionPtr t = twNewTransaction(b);
                    t->setDate(today.addDays(-(i % 200)));
                    t->setAccount1Identifier(busy->identifier());
                    t->setAccount2Identifier(b.accounts().last()->identifier());
                    t->setUnit(b.homeUnit());
                    t->setTotal(1000 + i);
                    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
                    if (failed(b.addTransaction(t, false, false, true, true), "addTransaction"))
                        return false;
                }
                return true;
            },
            &ok));
    phases.emplace_back(QStringLiteral("delete a client"),
                        median(
                            1,
                            [&] {
                                const TWClientPtr client = b.clients().first();
                                return !failed(b.deleteClient(client, true), "deleteClient");
                            },
                            &ok));
    return ok;
}

// `given`: a package made before by `generate` to time instead of a new one
// (it is saved in place, unchanged).
bool runPhases(int transactions, Phases &phases, qint64 &memory, const QString &given = {})
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    const QString package =
        given.isEmpty() ? folder.filePath(QStringLiteral("Bench.tallyworth")) : given;
    QElapsedTimer generation;
    generation.start();
    if (given.isEmpty()) {
        // Made by a process of its own: a million transactions made and freed
        // here would leave this process's heap in a state no user's has, and
        // every phase after it (the exports most of all) would pay for it.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("generate"), QStringLiteral("--transactions"),
                     QString::number(transactions), QStringLiteral("--out"), package});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0) {
            std::fprintf(stderr, "generating %d transactions failed\n", transactions);
            return false;
        }
        std::fprintf(stderr, "generated %d transactions in %lld ms\n", transactions,
                     static_cast<long long>(generation.elapsed()));
    }
    memory = memoryPerTransaction(package);
    bool ok = true;
    const QUrl url = QUrl::fromLocalFile(package);
    std::unique_ptr<TWBusiness> business;
    phases.emplace_back(QStringLiteral("open"),
                        median(
                            3,
                            [&] {
                                TWErrorResult error;
                                business = TWBusiness::businessWithURL(url, false, &error);
                                return business && !failed(error, "businessWithURL");
                            },
                            &ok,
                            // Closing the document opened before is not
                            // part of opening this one.
                            [&] { business.reset(); }));
    if (!ok)
        return false;
    phases.emplace_back(QStringLiteral("raw read"), median(
                                                        3, [&] { return rawRead(package); }, &ok));
    if (!ok)
        return false;
    TWBusiness &b = *business;
    phases.emplace_back(
        QStringLiteral("save in place"),
        median(
            3, [&] { return !failed(b.writeToURL(url, TWSaveOperationSave), "save"); }, &ok));
    int copy = 0;
    phases.emplace_back(
        QStringLiteral("save as"),
        median(
            3,
            [&] {
                const QUrl other = QUrl::fromLocalFile(
                    folder.filePath(QStringLiteral("Copy%1.tallyworth").arg(++copy)));
                return !failed(b.writeToURL(other, TWSaveOperationSaveAs), "save as");
            },
            &ok));
    const TWAccountPtr busy = b.accountWithIdentifier(twBenchBusyAccount());
    qsizetype rows = 0;
    phases.emplace_back(QStringLiteral("register"), median(
                                                        3,
                                                        [&] {
                                                            TWTransactionList views =
                                                                b.transactionsForAccount(*busy);
                                                            b.updateBalance(views);
                                                            rows = views.size();
                                                            return true;
                                                        },
                                                        &ok));
    std::fprintf(stderr, "register rows: %lld\n", static_cast<long long>(rows));
    const QDateTime today(TWClock::today(), QTime(0, 0));
    phases.emplace_back(QStringLiteral("balances"),
                        median(
                            3, [&] { return !b.accountBalances(today).isEmpty(); }, &ok));
    phases.emplace_back(QStringLiteral("statement totals"),
                        median(
                            3,
                            [&] {
                                QList<TWDateSpan> columns;
                                const int year = today.date().year() - 1;
                                for (int month = 1; month <= 12; ++month) {
                                    const QDate first(year, month, 1);
                                    columns.append(
                                        {QDateTime(first, QTime(0, 0)),
                                         QDateTime(first.addMonths(1).addDays(-1), QTime(0, 0))});
                                }
                                b.groupTransactionTotalsWithAssets(TWStatementFigureAll, columns);
                                return true;
                            },
                            &ok));
    phases.emplace_back(QStringLiteral("owing"),
                        median(
                            3,
                            [&] {
                                b.transactionHomeOwingWithClients(b.clients());
                                return true;
                            },
                            &ok));
    phases.emplace_back(QStringLiteral("source list totals"),
                        median(
                            3,
                            [&] {
                                long long rows = 0;
                                twBenchSourceListTotals(b, &rows);
                                return rows > 0;
                            },
                            &ok));
    if (!ok)
        return false;
    // The phases that change the business come before the exports: an export
    // of a million rows frees millions of small blocks, and the C library
    // merges them when the next large block is asked for, whichever phase
    // that is (80 ms for the month of repeats at a million).
    if (!editPhases(b, phases))
        return false;

    // Exports: the table and the writer over as many rows as there are
    // transactions, grouped by account as an export lists them (a tenth of
    // them for PDF, which lays out pages). With `--package`, as many as
    // `--transactions` says (100,000 unless given).
    const TWTransactionList everything =
        b.exportTransactionsForAccounts(
             b.accounts(),
             b.transactionsForAccounts(std::nullopt, nullptr, 0, QDateTime(), QDateTime(), nullptr))
            .mid(0, transactions);
    const auto exportSettings = twDefaultExportTransactionsSettings(b);
    const auto exportData = [&](const TWTransactionList &rows, bool totals, auto writer) {
        auto table = TWExportTransactions::exportTransactionsWithTransactions(
            rows, totals, totals, exportSettings, {}, &b);
        return !writer(table->cells()).isEmpty();
    };
    phases.emplace_back(QStringLiteral("export csv"),
                        median(
                            1,
                            [&] {
                                return exportData(everything, false, [](const TWCellList &cells) {
                                    return TWSerializerCSV::serializerWithCells(cells)->data();
                                });
                            },
                            &ok));
    phases.emplace_back(QStringLiteral("export html"),
                        median(
                            1,
                            [&] {
                                return exportData(everything, true, [](const TWCellList &cells) {
                                    return TWSerializerHTML::serializerWithCells(cells)->data();
                                });
                            },
                            &ok));
    phases.emplace_back(QStringLiteral("export pdf (a tenth)"),
                        median(
                            1,
                            [&] {
                                return exportData(
                                    everything.mid(0, everything.size() / 10), true,
                                    [](const TWCellList &cells) {
                                        return TWSerializerPDF::serializerWithCells(cells)->data();
                                    });
                            },
                            &ok));
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
    std::fprintf(stderr,
                 "usage: tw-bench generate [--sample [--home CODE] [--extras]] --transactions N"
                 " [--invoices M] --out PATH\n"
                 "       tw-bench run [--transactions N | --package PATH]\n"
                 "       tw-bench edits --package PATH\n"
                 "       tw-bench growth\n"
                 "       tw-bench verify PATH\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // The PDF export measures fonts: a GUI application, off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
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
        if (arguments.contains(QStringLiteral("--sample"))) {
            TWBenchSampleOptions options;
            options.transactions = transactions;
            const qsizetype home = arguments.indexOf(QStringLiteral("--home"));
            if (home >= 0 && home + 1 < arguments.size())
                options.homeCurrency = arguments[home + 1];
            // The suite's variant: what a user's books gather, a user's changes among it.
            options.extras = arguments.contains(QStringLiteral("--extras"));
            options.userChanges = options.extras;
            std::unique_ptr<TWBusiness> sample = twBenchMakeSampleBusiness(options);
            return sample && !failed(sample->writeToURL(QUrl::fromLocalFile(out),
                                                        TWSaveOperationSaveAs),
                                     "writeToURL")
                       ? 0
                       : 1;
        }
        QTemporaryDir files;
        return files.isValid() && generate(transactions, out, files.path(),
                                           argument(arguments, QStringLiteral("--invoices"), 0))
                   ? 0
                   : 1;
    }
    if (mode == QStringLiteral("memory"))
        return arguments.size() < 3 ? usage() : openMemory(arguments[2]);
    if (mode == QStringLiteral("verify")) {
        if (arguments.size() < 3)
            return usage();
        TWErrorResult error;
        std::unique_ptr<TWBusiness> business = TWBusiness::businessWithURL(
            QUrl::fromLocalFile(QDir::current().absoluteFilePath(arguments[2])), false, &error);
        if (!business || failed(error, "businessWithURL"))
            return 1;
        const QStringList faults = twBenchVerify(*business);
        for (const QString &fault : faults)
            std::printf("%s\n", fault.toUtf8().constData());
        std::printf("%lld transactions: %s\n",
                    static_cast<long long>(business->transactions().size()),
                    faults.isEmpty() ? "valid books" : "INVALID");
        return faults.isEmpty() ? 0 : 1;
    }
    if (mode == QStringLiteral("run")) {
        Phases phases;
        qint64 memory = 0;
        const qsizetype given = arguments.indexOf(QStringLiteral("--package"));
        const QString package = given > 0 && given + 1 < arguments.size()
                                    ? QDir::current().absoluteFilePath(arguments[given + 1])
                                    : QString();
        if (!runPhases(transactions, phases, memory, package))
            return 1;
        for (const auto &[name, ms] : phases)
            std::printf("%s: %lld ms\n", name.toUtf8().constData(), static_cast<long long>(ms));
        std::printf("open / raw read: %.2f\n",
                    double(phases.at(0).second) / double(std::max<qint64>(1, phases.at(1).second)));
        std::printf("memory per transaction: %lld bytes\n", static_cast<long long>(memory));
        return 0;
    }
    if (mode == QStringLiteral("edits")) {
        // Only the phases that change the business, on a package opened once
        // and never saved (quick to repeat while profiling them).
        const qsizetype given = arguments.indexOf(QStringLiteral("--package"));
        if (given < 0 || given + 1 >= arguments.size())
            return usage();
        TWErrorResult error;
        std::unique_ptr<TWBusiness> business = TWBusiness::businessWithURL(
            QUrl::fromLocalFile(QDir::current().absoluteFilePath(arguments[given + 1])), false,
            &error);
        if (!business || failed(error, "businessWithURL"))
            return 1;
        // The application has its strings table long before a first write.
        (void)TWLocalized("closingEntry");
        Phases phases;
        if (!editPhases(*business, phases))
            return 1;
        for (const auto &[name, ms] : phases)
            std::printf("%s: %lld ms\n", name.toUtf8().constData(), static_cast<long long>(ms));
        return 0;
    }
    if (mode == QStringLiteral("growth")) {
        // Each size ten times the one before, and how much longer each phase takes.
        const int sizes[] = {10000, 100000, 1000000};
        std::vector<Phases> runs(3);
        qint64 memory[3] = {};
        for (int i = 0; i < 3; ++i)
            if (!runPhases(sizes[i], runs[std::size_t(i)], memory[i]))
                return 1;
        std::printf("%-24s %10s %10s %10s %7s %7s\n", "phase", "10,000", "100,000", "1,000,000",
                    "x 100k", "x 1M");
        const auto ratio = [](qint64 large, qint64 small) {
            return small > 0 ? double(large) / double(small) : 0.0;
        };
        for (size_t i = 0; i < runs[0].size() && i < runs[1].size() && i < runs[2].size(); ++i)
            std::printf("%-24s %7lld ms %7lld ms %7lld ms %7.1f %7.1f\n",
                        (runs[0][i].first + ':').toUtf8().constData(),
                        static_cast<long long>(runs[0][i].second),
                        static_cast<long long>(runs[1][i].second),
                        static_cast<long long>(runs[2][i].second),
                        ratio(runs[1][i].second, runs[0][i].second),
                        ratio(runs[2][i].second, runs[1][i].second));
        std::printf("%-24s %10lld %10lld %10lld (bytes per transaction)\n",
                    "memory:", static_cast<long long>(memory[0]), static_cast<long long>(memory[1]),
                    static_cast<long long>(memory[2]));
        return 0;
    }
    return usage();
}

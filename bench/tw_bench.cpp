// Generates a large business through the store and times what a user waits
// for: opening, saving, a register, balances, statement totals, owing,
// exports, a month of repeats, adding transactions and deleting a client with
// its work.
//
//   tw-bench generate --transactions N --out PATH
//   tw-bench run [--transactions N]
//   tw-bench growth

#include "TWBenchBusiness.h"

#include "TWBusiness.h"
#include "TWClock.h"
#include "TWExportTransactions.h"
#include "TWNotificationCenter.h"
#include "TWSerializerCSV.h"
#include "TWSerializerHTML.h"
#include "TWSerializerPDF.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUrl>

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
    if (!ok)
        return false;

    // Exports: the table and the writer over as many rows as there are
    // transactions, grouped by account as an export lists them (a tenth of
    // them for PDF, which lays out pages).
    const TWTransactionList everything =
        b.exportTransactionsForAccounts(
             b.accounts(), b.transactionsForAccounts(std::nullopt, nullptr, 0, QDateTime(),
                                                     QDateTime(), nullptr))
            .mid(0, transactions);
    const auto exportSettings = TWExportTransactionsSettings::exportTransactionsSettingsWithBusiness(b);
    const auto exportData = [&](const TWTransactionList &rows, bool totals, auto writer) {
        auto table = TWExportTransactions::exportTransactionsWithTransactions(
            rows, totals, totals, exportSettings, {}, &b);
        return !writer(table->cells()).isEmpty();
    };
    phases.emplace_back(QStringLiteral("export csv"), median(1, [&] {
                            return exportData(everything, false, [](const TWCellList &cells) {
                                return TWSerializerCSV::serializerWithCells(cells)->data();
                            });
                        }, &ok));
    phases.emplace_back(QStringLiteral("export html"), median(1, [&] {
                            return exportData(everything, true, [](const TWCellList &cells) {
                                return TWSerializerHTML::serializerWithCells(cells)->data();
                            });
                        }, &ok));
    phases.emplace_back(QStringLiteral("export pdf (a tenth)"), median(1, [&] {
                            return exportData(everything.mid(0, everything.size() / 10), true,
                                              [](const TWCellList &cells) {
                                                  return TWSerializerPDF::serializerWithCells(cells)
                                                      ->data();
                                              });
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
        QTemporaryDir files;
        return files.isValid() && generate(transactions, out, files.path()) ? 0 : 1;
    }
    if (mode == QStringLiteral("run")) {
        Phases phases;
        if (!runPhases(transactions, phases))
            return 1;
        for (const auto &[name, ms] : phases)
            std::printf("%s: %lld ms\n", name.toUtf8().constData(), static_cast<long long>(ms));
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

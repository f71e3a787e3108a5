// Times the balance and statement aggregates over a ledger of 100,000
// transactions (one in ten split) spread over twenty accounts, one of which,
// the bank account, takes part in more than half of them: the balances of all
// accounts at a date, the bank account's register with running balances, and
// a year's statement totals in twelve monthly columns.

#include "TWBenchLedger.h"
#include "store/TWBusiness.h"

#include "foundation/TWDateAdditions.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

constexpr int kRuns = 5;

// The fastest of a few runs, in wall-clock and CPU milliseconds.
void report(const char *phase, const std::function<qint64()> &run)
{
    qint64 best = -1;
    qint64 bestCpu = -1;
    qint64 size = 0;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        const qint64 cpuStart = twBenchThreadCpuMilliseconds();
        timer.start();
        size = run();
        const qint64 elapsed = timer.elapsed();
        const qint64 cpu = twBenchThreadCpuMilliseconds() - cpuStart;
        if (best < 0 || elapsed < best) {
            best = elapsed;
            bestCpu = cpu;
        }
    }
    std::printf("%s: %lld ms (%lld ms of CPU, %lld results)\n", phase, static_cast<long long>(best),
                static_cast<long long>(bestCpu), static_cast<long long>(size));
}

QDateTime day(int year, int month, int dayOfMonth)
{
    return TWDateAdditions::dateFromFields(year, month, dayOfMonth);
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
    // Twenty accounts of every kind; 100 is the busy bank account.
    if (business->executeSQL("INSERT INTO businesses (identifier, type, name, homeCurrency) "
                             "VALUES (100, 0, 'Bench', 'USD');") ||
        business->executeSQL(
            "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, sortOrder) "
            "VALUES (100, 2, 'Bank', 'USD', 0, 0), (101, 3, 'Cash', 'USD', 0, 1), "
            "(102, 1, 'Receivable', 'USD', 0, 2), (103, 10, 'Card', 'USD', 0, 3), "
            "(104, 9, 'Payable', 'USD', 0, 4), (105, 15, 'Sales', 'USD', 0, 5), "
            "(106, 15, 'Fees', 'USD', 0, 6), (107, 15, 'Interest', 'USD', 0, 7), "
            "(108, 16, 'Rent', 'USD', 0, 8), (109, 16, 'Power', 'USD', 0, 9), "
            "(110, 16, 'Travel', 'USD', 0, 10), (111, 16, 'Meals', 'USD', 0, 11), "
            "(112, 16, 'Office', 'USD', 0, 12), (113, 16, 'Phone', 'USD', 0, 13), "
            "(114, 16, 'Wages', 'USD', 0, 14), (115, 16, 'Tax', 'USD', 0, 15), "
            "(116, 17, 'Owner', 'USD', 0, 16), (117, 11, 'Loan', 'USD', 0, 17), "
            "(118, 2, 'Savings', 'USD', 0, 18), (119, 7, 'Deposits', 'USD', 0, 19);") ||
        business->loadBusinessInfo() || business->loadAccounts())
        return 1;

    TWBenchLedgerAccounts accounts;
    accounts.plain = [](int i) {
        const qint32 first = 101 + (i * 7) % 19;
        const qint32 second = i % 2 == 0 ? 100 : 101 + (i * 3 + 1) % 19;
        return std::pair<qint32, qint32>(first, second == first ? 100 : second);
    };
    accounts.line = [](int i, int line) {
        const qint32 lines[3] = {100, 108 + i % 8, 105};
        return lines[line];
    };
    if (!twBenchWriteLedger(*business, accounts))
        return 1;
    error = business->loadTransactions();
    if (error) {
        std::fprintf(stderr, "load failed: %s\n",
                     error->localizedDescription().toUtf8().constData());
        return 1;
    }
    std::printf("ledger: %lld transactions, %lld accounts\n",
                static_cast<long long>(business->transactions().size()),
                static_cast<long long>(business->accounts().size()));

    const QDateTime asOf = day(2022, 6, 30);
    report("balances of all accounts at a date",
           [&] { return qint64(business->accountBalances(asOf).size()); });
    report("trial balance at a date (home unit)",
           [&] { return qint64(business->transactionTotals(asOf).size()); });

    const TWAccountPtr bank = business->accountWithIdentifier(100);
    report("register of the bank account with running balances", [&] {
        const TWTransactionList rows = business->transactionsForAccount(*bank);
        business->updateBalance(rows);
        return qint64(rows.size());
    });
    const TWTransactionList bankRegister = business->transactionsForAccount(*bank);
    report("running balances of that register alone", [&] {
        business->updateBalance(bankRegister);
        return qint64(bankRegister.size());
    });

    QList<TWDateSpan> months;
    for (int month = 1; month <= 12; ++month)
        months.append({day(2022, month, 1), TWDateAdditions::lastDateOfMonth(day(2022, month, 1))});
    report("statement totals, one year in 12 monthly columns", [&] {
        const TWColumnTotals totals =
            business->groupTransactionTotalsWithAssets(TWStatementFigureAll, months);
        return qint64(totals.assets.size());
    });
    report("statement totals, one year by account", [&] {
        TWStatementTotalsRequest request;
        const TWDateSpan year{day(2022, 1, 1), day(2022, 12, 31)};
        request.assets = {QDateTime(), year.toDate};
        request.liabilities = request.assets;
        request.equities = request.assets;
        request.income = year;
        request.expenses = year;
        const TWStatementTotals totals = business->transactionTotalsWithAssets(request);
        return qint64(totals.assets.size() + totals.liabilities.size() + totals.equities.size() +
                      totals.income.size() + totals.expenses.size());
    });
    return 0;
}

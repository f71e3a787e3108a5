// Times what a user waits for in the transaction register of a generated
// business, on an offscreen table, and prints one "phase: N ms" line each:
//   tw-bench-register [--transactions N]
// Each phase is a small function so a new one is one more line in main.
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchEditor.h"
#include "TWBenchWidgetsMain.h"

#include "ledger/TWTransactionsController.h"

#include "model/TWBuiltInFields.h"
#include "store/TWBusiness.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <functional>

namespace
{

struct Bench {
    TWBusiness *business = nullptr;
    TWAccountPtr account;
    TWTransactionsController *controller = nullptr;
    QString searchText;
};

void phase(const char *name, const std::function<QString()> &work)
{
    QElapsedTimer timer;
    timer.start();
    const QString detail = work();
    QApplication::processEvents(); // the table paints what changed
    std::printf("%s: %lld ms%s\n", name, static_cast<long long>(timer.elapsed()),
                detail.isEmpty() ? "" : qPrintable(QStringLiteral(" (%1)").arg(detail)));
    std::fflush(stdout);
}

QString openRegister(Bench &bench)
{
    TWTransactionsController &c = *bench.controller;
    c.setBusiness(bench.business);
    c.setParentItems({bench.account});
    c.setAccounts({bench.account});
    c.setMode(TWRegisterMode::Accounts);
    c.view()->resize(1400, 900);
    c.view()->show();
    c.update();
    return QStringLiteral("%1 rows").arg(c.sortedTransactions().size());
}

QString sortByPayee(Bench &bench)
{
    bench.controller->updateSortBy(bench.business->fieldWithIdentifier(TWFieldIdentifierPayee),
                                   true);
    return {};
}

QString search(Bench &bench, const QString &text)
{
    bench.controller->search(text);
    return QStringLiteral("\"%1\": %2 rows")
        .arg(text)
        .arg(bench.controller->sortedTransactions().size());
}

QString selectAll(Bench &bench)
{
    TWTransactionsController &c = *bench.controller;
    c.tableView()->selectAll();
    const TWTransactionList selected = c.selectedTransactions();
    const qint64 total = bench.business->transactionTotalWithAccount(*bench.account, selected);
    return QStringLiteral("%1 selected, total %2").arg(selected.size()).arg(total);
}

QString markMany(Bench &bench, int count)
{
    TWTransactionsController &c = *bench.controller;
    const TWTransactionList rows = c.sortedTransactions().mid(0, count);
    c.markTransactions(rows, true);
    return QStringLiteral("%1 marked").arg(rows.size());
}

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    Bench bench;
    bench.business = business;
    bench.account = business->accountWithIdentifier(twBenchBusyAccount());
    if (!bench.account) {
        std::fprintf(stderr, "no busy account\n");
        return 1;
    }
    TWTransactionsController controller;
    bench.controller = &controller;

    phase("open register", [&] { return openRegister(bench); });
    phase("sort by payee", [&] { return sortByPayee(bench); });
    // A payee's first letters: the search a user types.
    const TWTransactionList rows = controller.sortedTransactions();
    const QString payee = rows.isEmpty() ? QStringLiteral("a") : rows[rows.size() / 2]->payee();
    // "Payee 123" typed: all but its last digit, then the whole name.
    phase("search", [&] { return search(bench, payee.left(payee.size() - 1)); });
    phase("narrow search", [&] { return search(bench, payee); });
    phase("clear search", [&] { return search(bench, QString()); });
    phase("select all", [&] { return selectAll(bench); });
    phase("mark 10000", [&] { return markMany(bench, 10000); });
    // The transaction editor on the same business: the lookup a typed payee
    // starts, and a new transaction saved while the register shows.
    TWBenchEditor editor(*business);
    if (!editor.prepare(payee))
        return 1;
    phase("autofill lookup", [&] { return editor.autofillLookup(); });
    // The document refreshes the register shown when the store reports it.
    phase("editor save", [&] {
        const QString saved = editor.save();
        controller.updateTransactions();
        return saved;
    });
    return 0;
}

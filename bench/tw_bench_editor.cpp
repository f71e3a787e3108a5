// Times the transaction editor on a ledger of 100,000 transactions: a save
// through the editor's save road and the autofill lookup (the slowest of five
// runs each). Measure a Release build under the offscreen platform.

#include "TWBenchEditor.h"
#include "TWBenchLedger.h"

#include "model/TWAccount.h"
#include "model/TWUnit.h"
#include "store/TWBusiness.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace
{
constexpr int kRuns = 5;

double timed(const std::function<bool()> &work, bool *ok)
{
    QElapsedTimer timer;
    timer.start();
    *ok = work() && *ok;
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TWErrorResult error;
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithInMemorySchema(&error);
    if (!business || business->populateUnits() || business->loadUnits() ||
        business->populateFields() || business->loadFields())
        return 1;
    const TWUnitPtr dollars = business->unitWithCode(QStringLiteral("USD"));
    for (qint32 identifier = 100; identifier <= 102; ++identifier) {
        const TWAccountPtr account = TWAccount::accountWithIdentifier(
            identifier, QStringLiteral("Account %1").arg(identifier), 0, 0, TWAccountTypeBank,
            QString(), QImage(), dollars, QString());
        if (business->addAccount(account, false))
            return 1;
    }
    if (!twBenchWriteLedger(*business) || business->loadTransactions())
        return 1;

    TWBenchEditor editor(*business);
    bool ok = true;
    double save = 0;
    double lookup = 0;
    for (int run = 0; run < kRuns && ok; ++run) {
        ok = editor.prepare(QStringLiteral("Payee %1").arg(run * 7));
        lookup = std::max(lookup, timed([&] { return !editor.autofillLookup().isEmpty(); }, &ok));
        save = std::max(save, timed([&] { return !editor.save().isEmpty(); }, &ok));
    }
    if (!ok) {
        std::fprintf(stderr, "editor phases failed\n");
        return 1;
    }
    std::printf("ledger: %lld transactions\n",
                static_cast<long long>(business->transactions().size()));
    std::printf("editor save: %.1f ms (target 300 ms)\n", save);
    std::printf("autofill lookup: %.1f ms (target 50 ms)\n", lookup);
    return save < 300 && lookup < 50 ? 0 : 2;
}

// Times deleting all of one account's transactions while the register of the
// busiest account is shown and refreshed on every "transactionDelete", as the
// document window refreshes it:
//   tw-bench-notices [--transactions N | --package PATH]
// Prints the number of transactions deleted, the notices received and the
// time the delete took, the refreshes included. Measure a Release build.

#include "TWBenchWidgetsMain.h"

#include "foundation/TWNotificationCenter.h"
#include "ledger/TWTransactionsController.h"
#include "store/TWBusiness.h"

#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    const TWAccountPtr busy = business->accountWithIdentifier(twBenchBusyAccount());
    if (!busy)
        return 1;
    // The account deleted: the busiest after the one shown.
    TWAccountPtr doomed;
    qsizetype doomedCount = 0;
    for (const TWAccountPtr &account : business->accounts()) {
        if (account == busy)
            continue;
        const qsizetype count = business->transactionsForAccount(*account).size();
        if (count > doomedCount) {
            doomed = account;
            doomedCount = count;
        }
    }
    if (!doomed)
        return 1;

    TWTransactionsController register_;
    register_.setBusiness(business);
    register_.setParentItems({busy});
    register_.setAccounts({busy});
    register_.setMode(TWRegisterMode::Accounts);
    register_.view()->resize(1400, 900);
    register_.view()->show();
    register_.update();
    QApplication::processEvents();

    int notices = 0;
    QElapsedTimer timer;
    const auto token = TWNotificationCenter::defaultCenter().addObserver(
        TWTransactionDeleteNotification, business, [&](const TWNotification &) {
            register_.updateTransactions();
            // How far a long run of notices got, should it be stopped.
            if (++notices % 100 == 0) {
                std::printf("%d notices, %lld ms\n", notices,
                            static_cast<long long>(timer.elapsed()));
                std::fflush(stdout);
            }
        });
    timer.start();
    const TWErrorResult error = business->deleteAccountTransactions(doomed, true);
    QApplication::processEvents();
    const qint64 elapsed = timer.elapsed();
    TWNotificationCenter::defaultCenter().removeObserver(token);
    if (error)
        return 1;
    std::printf("deleted %lld transactions, %d notices, %lld ms\n",
                static_cast<long long>(doomedCount), notices, static_cast<long long>(elapsed));
    return 0;
}

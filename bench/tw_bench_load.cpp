// Times loading a ledger of 100,000 transactions (one in ten split into three
// lines, each with a text, a number and a tags value) into memory.

#include "TWBenchLedger.h"
#include "store/TWBusiness.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

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
    if (!twBenchWriteLedger(*business))
        return 1;

    QElapsedTimer timer;
    const qint64 cpuStart = twBenchThreadCpuMilliseconds();
    timer.start();
    error = business->loadTransactions();
    const qint64 elapsed = timer.elapsed();
    const qint64 cpu = twBenchThreadCpuMilliseconds() - cpuStart;
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

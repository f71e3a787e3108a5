// Times every report type on a generated business, graphs on (no renderer)
// and a comparison period, and prints one line per type named by its key:
//   tw-report-bench run [--transactions N] [--invoices N]
// Each figure is the median of three runs. Measure a Release build.

#include "TWBenchBusiness.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalZone.h"
#include "reports/engine/TWExportReport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    // The zone read as the program's own start reads it.
    TWLocalZone::install();
    QCoreApplication app(argc, argv);
    if (argc < 2 || std::strcmp(argv[1], "run") != 0) {
        std::fprintf(stderr, "usage: tw-report-bench run [--transactions N] [--invoices N]\n");
        return 2;
    }
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    std::unique_ptr<TWBusiness> business =
        twBenchBusinessFromArguments(argc, argv, 2, folder.filePath(QStringLiteral("files")));
    if (!business)
        return 1;

    const QDate today = TWClock::today();
    const QDateTime yearStart(QDate(today.year() - 1, 1, 1), QTime(0, 0));
    const QDateTime yearEnd(QDate(today.year() - 1, 12, 31), QTime(0, 0));
    for (int type = 0; type <= 9; ++type) {
        const bool asOf = type == TWReportTypeBalanceSheet || type == TWReportTypeTrialBalance;
        // Last year beside the year before (12 monthly bars), or the end of
        // last year beside the end of the year before.
        TWReportPtr report = TWReport::reportWithIdentifier(
            100, QStringLiteral("Bench"), 0, 0, TWReportType(type),
            asOf ? TWReportDateTypeCustomDate : TWReportDateTypeCustomRange,
            asOf ? yearEnd : yearStart, asOf ? QDateTime() : yearEnd, true,
            asOf ? TWReportDateTypeCustomDate : TWReportDateTypeCustomRange,
            asOf ? yearEnd.addYears(-1) : yearStart.addYears(-1),
            asOf ? QDateTime() : yearEnd.addYears(-1), true);
        qint64 times[3];
        qsizetype count = 0;
        for (qint64 &time : times) {
            QElapsedTimer timer;
            timer.start();
            TWExportReport builder(report, 2.0, *business);
            count = builder.cells().size();
            time = timer.elapsed();
        }
        std::sort(std::begin(times), std::end(times));
        std::printf("%s: %lld ms (%lld cells)\n", qPrintable(TWReport::reportTypeNameKey(type)),
                    static_cast<long long>(times[1]), static_cast<long long>(count));
    }
    return 0;
}

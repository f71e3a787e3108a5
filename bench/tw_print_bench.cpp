// Prints the bank register of tw-bench's generated business as File > Print
// does, into a PDF-format printer, and reports what a user waits for:
//   tw-print-bench [--transactions N] [--out FILE]
//   print: T ms, P pages, peak memory M MB, text characters on page 1: C
// The rows are read on the main thread; the pages are laid out, drawn and
// handed to the printer on a worker thread while the main thread keeps
// processing events. Peak memory is what printing adds to the process's
// resident memory. Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "ledger/TWTransactionsController.h"

#include "app/TWPrint.h"
#include "export/core/TWExportPrint.h"

#include "app/TWAppRegistry.h"
#include "store/TWBusiness.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QPdfDocument>
#include <QPrinter>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>
#include <cstring>

namespace
{

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM").
double statusMegabytes(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts the peak of resident memory afresh (Linux: "5" to clear_refs).
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    const TWAccountPtr account = business->accountWithIdentifier(twBenchBusyAccount());
    if (!account) {
        std::fprintf(stderr, "no busy account\n");
        return 1;
    }
    // The register as File > Print finds it.
    TWTransactionsController controller;
    controller.setBusiness(business);
    controller.setParentItems({account});
    controller.setAccounts({account});
    controller.setMode(TWRegisterMode::Accounts);
    controller.view()->resize(1400, 900);
    controller.view()->show();
    controller.update();
    const std::optional<QVariantMap> layout =
        business->columnSettings(TWColumnSettingsViewTransactions);
    if (!layout) {
        std::fprintf(stderr, "no column settings\n");
        return 1;
    }

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    // The printed file is kept where --out says.
    QString path = setup.folder().filePath(QStringLiteral("register.pdf"));
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--out") == 0)
            path = QString::fromLocal8Bit(argv[i + 1]);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::Letter));

    const double before = statusMegabytes("VmRSS");
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    TWRegisterPrintRequest request;
    request.business = business;
    request.transactions = controller.sortedTransactions();
    request.fields = twRegisterPrintFields(*layout, account->identifier(), *business);
    request.attachmentFileNames = twAttachmentFileNames(request.transactions, *business);
    request.title = account->name();
    // The first rows decide the orientation offered, as the print dialog opens.
    const auto first =
        TWExportPrint::registerTable(request.business, request.transactions.mid(0, 200),
                                     request.fields, request.attachmentFileNames, request.title);
    QPageLayout portrait = printer.pageLayout();
    portrait.setOrientation(QPageLayout::Portrait);
    printer.setPageOrientation(TWExportPrint::fitsWithoutShortening(first, portrait)
                                   ? QPageLayout::Portrait
                                   : QPageLayout::Landscape);

    auto table = std::make_shared<const TWExportPrint::Table>(
        TWExportPrint::registerTable(request.business, request.transactions, request.fields,
                                     request.attachmentFileNames, request.title));
    const qint64 read = timer.elapsed();
    const QPageLayout pageLayout = printer.pageLayout();
    const TWPrintTarget target = twPrintTarget(printer, request.title);
    QFutureWatcher<TWErrorResult> watcher;
    // The main thread stays free: a 10 ms timer keeps firing while the work runs.
    int ticks = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start();
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([table, pageLayout, target] {
        return twSendPdf(TWExportPrint::tablePDF(*table, pageLayout), target);
    }));
    if (!watcher.isFinished())
        loop.exec();
    tick.stop();
    const qint64 elapsed = timer.elapsed();
    const double peak = statusMegabytes("VmHWM");
    if (const TWErrorResult error = watcher.result()) {
        std::fprintf(stderr, "print failed: %s\n", qPrintable(error->localizedDescription()));
        return 1;
    }

    QPdfDocument document;
    document.load(path);
    const int pages = document.pageCount();
    int emptyPages = 0;
    for (int page = 0; page < pages; ++page)
        emptyPages += document.getAllText(page).text().trimmed().isEmpty() ? 1 : 0;
    std::printf("print: %lld ms, %d pages, peak memory %.0f MB, text characters on page 1: %lld\n",
                static_cast<long long>(elapsed), pages, std::max(0.0, peak - before),
                static_cast<long long>(pages ? document.getAllText(0).text().size() : 0));
    std::printf("(%lld rows read in %lld ms; %s, %lld KB; %d pages without text; main thread "
                "timer fired %d times; resident before printing %.0f MB)\n",
                static_cast<long long>(request.transactions.size()), static_cast<long long>(read),
                pageLayout.orientation() == QPageLayout::Landscape ? "landscape" : "portrait",
                static_cast<long long>(QFile(path).size() / 1024), emptyPages, ticks, before);
    return 0;
}

// Times the clients view on a generated business with every client chosen:
// listing the projects (their invoices attached), sorting by the computed
// columns, the redraw after a task changed and after transactions changed,
// each with the table painted:
//   tw-bench-clients [--transactions N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "work/TWClientController.h"
#include "work/TWWorkTable.h"

#include "store/TWBusiness.h"

#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

constexpr int kRounds = 20;

// Median and slowest of the rounds, in milliseconds.
void measure(const char *what, const std::function<void()> &step, QWidget *paint)
{
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        step();
        paint->repaint();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-34s median %8.2f ms   slowest %8.2f ms\n", what, times[times.size() / 2],
                times.back());
}

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    TWClientController clients;
    clients.setBusiness(business);
    clients.setClients(business->clients());
    clients.view()->resize(1400, 900);
    clients.view()->show();
    clients.update();
    std::printf("%lld clients, %lld projects listed, %lld invoices, %lld tasks\n",
                qlonglong(business->clients().size()), qlonglong(clients.projects().size()),
                qlonglong(business->invoices().size()), qlonglong(business->tasks().size()));
    QWidget *table = clients.projectsTable()->table();
    measure(
        "list the projects (update)", [&] { clients.updateClient(); }, table);
    for (int tag : {TWProjectColumnTotalUninvoiced, TWProjectColumnOwe, TWProjectColumnOverdue,
                    TWProjectColumnPercentPaid}) {
        const QByteArray label =
            "sort by " +
            clients.projectsTable()->columnIdentifier(TWClientController::workTag(tag)).toLatin1();
        bool ascending = true;
        measure(
            label.constData(),
            [&] {
                clients.projectsTable()->updateSortBy(TWClientController::workTag(tag), false);
                clients.projectsTable()->updateSortDirection(ascending, true);
                ascending = !ascending;
            },
            table);
    }
    const TWTaskPtr task = business->tasks().isEmpty() ? nullptr : business->tasks().first();
    if (task)
        measure(
            "a task changed (rows redrawn)", [&] { business->updateTask(task, true); }, table);
    measure(
        "transactions changed", [&] { clients.transactionsUpdated(); }, table);
    return 0;
}

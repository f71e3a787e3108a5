// Times the clients view on a generated business with every client chosen:
// listing the projects (their invoices attached), sorting by the computed
// columns, the redraw after a task changed and after a payment was marked cleared,
// each with the table painted:
//   tw-bench-clients [--transactions N] [--invoices N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "work/TWClientController.h"
#include "work/TWWorkTable.h"

#include "store/TWBusiness.h"

#include <QTableView>

#include <cstdio>

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
    twBenchPhase(
        "list the projects (update)", [&] { clients.updateClient(); }, table);
    for (int tag : {TWProjectColumnTotalUninvoiced, TWProjectColumnOwe, TWProjectColumnOverdue,
                    TWProjectColumnPercentPaid}) {
        const QByteArray label =
            "sort by " +
            clients.projectsTable()->columnIdentifier(TWClientController::workTag(tag)).toLatin1();
        bool ascending = true;
        twBenchPhase(
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
        twBenchPhase(
            "a task changed (rows redrawn)", [&] { business->updateTask(task, true); }, table);
    // Each round a payment of an invoice is marked cleared or not first, as a user would.
    const TWTransactionPtr payment = twBenchDocumentTransaction(*business, business->invoices());
    twBenchPhase(
        "transactions changed", [&] { clients.transactionsUpdated(); }, table, 20,
        [&] { twBenchToggleCleared(*business, payment); });
    return 0;
}

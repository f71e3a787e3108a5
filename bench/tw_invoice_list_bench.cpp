// Times the invoice list on a generated business with every project chosen: a click on the
// header that sorts all the invoices by what is owed and by how overdue they are, as the list
// does it (the rows' values read, sorted, handed to the table's model, the payments pane
// refilled), with the table painted:
//   tw-invoice-list-bench [--transactions N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "invoicing/ui/TWInvoicesController.h"
#include "invoicing/ui/TWInvoicesModel.h"

#include "store/TWBusiness.h"

#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

constexpr int kRounds = 20;

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    TWInvoicesController list;
    list.setBusiness(business);
    list.setMode(TWInvoicesController::ModeProjects);
    list.setProjects(business->projects());
    QWidget *view = list.view();
    view->resize(1400, 900);
    view->show();
    list.update();
    std::printf("%lld transactions, %lld projects, %lld invoices listed\n",
                qlonglong(business->transactions().size()), qlonglong(business->projects().size()),
                qlonglong(list.model()->rowCount()));
    QWidget *table = list.invoicesTableView();
    for (const int tag : {TWInvoiceColumnOwe, TWInvoiceColumnOverdue}) {
        // Each round turns the direction round, so every round sorts anew.
        list.updateSortBy(tag, false);
        bool ascending = true;
        std::vector<double> times;
        for (int round = 0; round < kRounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            list.updateSortDirection(ascending, true);
            table->repaint();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            ascending = !ascending;
        }
        std::sort(times.begin(), times.end());
        std::printf("sort by %s: %.2f ms   (median of %d, slowest %.2f ms)\n",
                    qPrintable(TWInvoiceColumns::columnIdentifier(tag)), times[times.size() / 2],
                    kRounds, times.back());
    }
    return 0;
}

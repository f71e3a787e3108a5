// Times the invoice list on a generated business with every project chosen: listing the
// invoices (their payments below, both count lines), a click on the header that sorts all
// the invoices by what is owed and by how overdue they are (the rows reordered and shown),
// every invoice chosen (the payments pane refilled, the count lines summed again) and the
// refresh after a payment was marked cleared (transactions changed), each with the table painted:
//   tw-invoice-list-bench [--transactions N] [--invoices N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "invoicing/ui/TWInvoicesController.h"
#include "invoicing/ui/TWInvoicesModel.h"

#include "app/TWListViews.h"
#include "store/TWBusiness.h"

#include <cstdio>

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
    TWTableView *table = list.invoicesTableView();
    twBenchPhase(
        "list the invoices (update)", [&] { list.update(); }, table);
    for (const int tag : {TWInvoiceColumnOwe, TWInvoiceColumnOverdue}) {
        const QByteArray label = "sort by " + TWInvoiceColumns::columnIdentifier(tag).toLatin1();
        // Each round turns the direction round, so every round sorts anew.
        list.updateSortBy(tag, false);
        bool ascending = true;
        twBenchPhase(
            label.constData(),
            [&] {
                list.updateSortDirection(ascending, true);
                ascending = !ascending;
            },
            table);
    }
    twBenchPhase(
        "every invoice chosen (count lines)",
        [&] {
            table->clearSelection();
            table->selectAll();
        },
        table);
    table->clearSelection();
    // Each round a payment of an invoice is marked cleared or not first, as a user would.
    const TWTransactionPtr payment = twBenchDocumentTransaction(*business, business->invoices());
    twBenchPhase(
        "transactions changed", [&] { list.transactionsUpdated(); }, table, 20,
        [&] { twBenchToggleCleared(*business, payment); });
    return 0;
}

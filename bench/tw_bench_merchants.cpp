// Times the merchants' view on a generated business with every merchant chosen: listing the
// bills with their payments below and the count line, sorting by the computed columns, the
// count line of every bill chosen and the redraw after a payment was marked cleared, each with the
// table painted:
//   tw-bench-merchants [--transactions N] [--bills N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "work/TWMerchantController.h"
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
    TWMerchantController merchants;
    merchants.setBusiness(business);
    merchants.setMerchants(business->merchants());
    merchants.view()->resize(1400, 900);
    merchants.view()->show();
    merchants.update();
    std::printf("%lld transactions, %lld merchants, %lld bills listed\n",
                qlonglong(business->transactions().size()), qlonglong(business->merchants().size()),
                qlonglong(merchants.bills().size()));
    QWidget *table = merchants.table()->table();
    twBenchPhase(
        "list the bills (update)", [&] { merchants.updateMerchant(); }, table);
    for (const int tag : {TWBillColumnOwe, TWBillColumnOverdue, TWBillColumnPercentPaid}) {
        const QByteArray label = "sort by " + merchants.table()->columnIdentifier(tag).toLatin1();
        bool ascending = true;
        merchants.updateSortBy(tag, true);
        twBenchPhase(
            label.constData(),
            [&] {
                merchants.updateSortDirection(ascending, true);
                ascending = !ascending;
            },
            table);
    }
    twBenchPhase(
        "every bill chosen (count line)",
        [&] {
            merchants.table()->table()->clearSelection();
            merchants.table()->table()->selectAll();
        },
        table);
    merchants.table()->table()->clearSelection();
    // Each round a payment of a bill is marked cleared or not first, as a user would.
    const TWTransactionPtr payment = twBenchDocumentTransaction(*business, business->bills());
    twBenchPhase(
        "transactions changed", [&] { merchants.transactionsUpdated(); }, table, 20,
        [&] { twBenchToggleCleared(*business, payment); });
    return 0;
}

#include "TWBenchSourceList.h"

#include "app/TWMasterTotals.h"

#include "store/TWBusiness.h"

#include <QElapsedTimer>

#include <functional>

long long twBenchSourceListTotals(TWBusiness &business, long long *rows)
{
    const TWMasterItemList items = TWMasterTotals::masterItemsWithBusiness(business);
    TWMasterTotals totals(business);
    QElapsedTimer timer;
    timer.start();
    totals.update(items);
    long long count = 0;
    qsizetype characters = 0;
    std::function<void(const TWMasterItemList &)> read = [&](const TWMasterItemList &nodes) {
        for (const TWMasterItemPtr &node : nodes) {
            characters += totals.detailText(*node).size();
            if (totals.colour(*node).isValid())
                ++characters;
            ++count;
            if (node->childItems())
                read(*node->childItems());
        }
    };
    read(items);
    const long long elapsed = timer.elapsed();
    if (rows)
        *rows = characters > 0 ? count : 0;
    return elapsed;
}

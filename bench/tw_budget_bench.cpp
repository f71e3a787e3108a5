// Times what a user waits for in the budget view of a generated business, on
// an offscreen table, and prints one "phase: N ms" line each:
//   tw-budget-bench [--transactions N]
// Every phase that changes a line recomputes the current cycles of all lines
// over the ledger. Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "reports/ui/TWBudgetController.h"
#include "reports/ui/TWBudgetModel.h"

#include "store/TWBusiness.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace
{

void phase(const char *name, const std::function<QString()> &work)
{
    QElapsedTimer timer;
    timer.start();
    const QString detail = work();
    QApplication::processEvents(); // the table paints what changed
    std::printf("%s: %lld ms%s\n", name, static_cast<long long>(timer.elapsed()),
                detail.isEmpty() ? "" : qPrintable(QStringLiteral(" (%1)").arg(detail)));
    std::fflush(stdout);
}

// The first row with a line whose cycle allows rollover.
int rolloverRow(const TWBudgetModel &model)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        const TWBudgetItemPtr line = model.budgetItemForRow(row);
        if (line && line->cycleUnit() != TWBudgetCycleUnitNone)
            return row;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    TWBudgetController controller;
    controller.setBusiness(business);
    controller.view()->resize(1400, 900);
    controller.view()->show();
    TWBudgetModel &model = *controller.model();

    phase("open budget view", [&] {
        controller.update();
        return QStringLiteral("%1 rows, %2 lines")
            .arg(model.rowCount())
            .arg(business->budgetItems().size());
    });
    phase("sort by progress", [&] {
        model.sort(TWBudgetModel::Progress, Qt::DescendingOrder);
        return QString();
    });
    const int row = rolloverRow(model);
    if (row < 0) {
        std::fprintf(stderr, "no line with a cycle\n");
        return 1;
    }
    const bool on = !model.budgetItemForRow(row)->rollover();
    phase("tick rollover", [&] {
        controller.doCheckbox(row, on);
        return QStringLiteral("stored %1").arg(model.budgetItemForRow(row)->rollover() == on);
    });
    return 0;
}

// The work tables: clients (all or uninvoiced), merchants and time worked.
// One body serves all four; each reads its store totals once per period.

#include "reports/engine/TWExportReport.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"

using namespace Qt::StringLiterals;

TWCellList TWExportReport::cellsClients()
{
    return cellsWork(WorkKind::Clients);
}
TWCellList TWExportReport::cellsClientsUninvoiced()
{
    return cellsWork(WorkKind::ClientsUninvoiced);
}
TWCellList TWExportReport::cellsMerchants()
{
    return cellsWork(WorkKind::Merchants);
}
TWCellList TWExportReport::cellsTime()
{
    return cellsWork(WorkKind::Time);
}

namespace
{
// Per item and per project figures of one period, money or seconds.
struct WorkFigures {
    QHash<qint32, double> totals;
    QHash<qint32, QHash<qint32, double>> projects;
};

template <typename T> QHash<qint32, double> toDoubles(const QHash<qint32, T> &map)
{
    QHash<qint32, double> result;
    result.reserve(map.size());
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        result.insert(it.key(), double(it.value()));
    return result;
}

template <typename Totals> WorkFigures figures(const Totals &totals)
{
    WorkFigures result;
    result.totals = toDoubles(totals.totals);
    for (auto it = totals.clients.constBegin(); it != totals.clients.constEnd(); ++it)
        result.projects.insert(it.key(), toDoubles(it.value()));
    return result;
}

QString contactName(const TWContactItem &item)
{
    return item.company().isEmpty() ? item.name() : u"%1 (%2)"_s.arg(item.name(), item.company());
}
} // namespace

TWCellList TWExportReport::cellsWork(WorkKind kind)
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();
    const bool merchants = kind == WorkKind::Merchants;
    const bool time = kind == WorkKind::Time;

    const auto read = [&](const QDateTime &from, const QDateTime &to) {
        switch (kind) {
        case WorkKind::Clients:
            return figures(business.clientTotals(from, to));
        case WorkKind::ClientsUninvoiced:
            return figures(business.clientUninvoicedTotals(from, to));
        case WorkKind::Time:
            return figures(business.clientTimes(from, to));
        case WorkKind::Merchants:
            break;
        }
        WorkFigures result;
        result.totals = toDoubles(business.merchantTotalsWithMerchants(from, to));
        return result;
    };
    const WorkFigures range = read(m_fromDate, m_toDate);
    const WorkFigures compareRange =
        compare ? read(m_compareFromDate, m_compareToDate) : WorkFigures();

    // The listed items in report order, as contact items.
    QList<std::shared_ptr<TWContactItem>> items;
    const TWPreferences &preferences = TWPreferences::preferences();
    if (merchants) {
        const TWItemList listed = TWBusiness::flatSortedItems(
            business.merchants(), business.merchantGroups(), business.sortBy());
        for (const TWMerchantPtr &merchant : sortedItems(business.merchants(), range.totals, listed,
                                                         preferences.sortReportsMerchants()))
            items.append(merchant);
    } else {
        const TWItemList listed = TWBusiness::flatSortedItems(
            business.clients(), business.clientGroups(), business.sortBy());
        for (const TWClientPtr &client : sortedItems(business.clients(), range.totals, listed,
                                                     preferences.sortReportsClients()))
            items.append(client);
    }

    const auto text = [&](double value) {
        return time ? timeString(value) : moneyString(qint64(value));
    };
    const auto amount = [&](double value, quint32 style) {
        addCell(cells, text(value), style, TWCellJustifyLeft, 0);
    };

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    double grandTotal = 0, compareGrandTotal = 0;
    for (const std::shared_ptr<TWContactItem> &item : items) {
        const double total = range.totals.value(item->identifier());
        const double compareTotal = compare ? compareRange.totals.value(item->identifier()) : 0;
        if (total == 0 && compareTotal == 0)
            continue;
        const quint32 style = merchants ? TWCellStylePlain : TWCellStyleBold;
        addCell(cells, contactName(*item), style, TWCellJustifyLeft, TWCellTypeText);
        amount(total, style);
        if (compare)
            amount(compareTotal, style);
        compareGrandTotal += compareTotal;
        grandTotal += total;
        nextRow();
        if (merchants)
            continue;

        // The projects of either period, by their amounts in the period.
        const QHash<qint32, double> projects = range.projects.value(item->identifier());
        const QHash<qint32, double> compareProjects =
            compareRange.projects.value(item->identifier());
        QList<qint32> identifiers = projects.keys();
        for (auto it = compareProjects.constBegin(); it != compareProjects.constEnd(); ++it) {
            if (!projects.contains(it.key()))
                identifiers.append(it.key());
        }
        std::sort(identifiers.begin(), identifiers.end());
        std::stable_sort(identifiers.begin(), identifiers.end(),
                         [&](qint32 a, qint32 b) { return projects.value(a) < projects.value(b); });
        for (const qint32 identifier : identifiers) {
            const TWProjectPtr project = business.projectWithIdentifier(identifier);
            addCell(cells, project ? project->name() : QString(), TWCellStylePlain,
                    TWCellJustifyLeft, TWCellTypeText);
            amount(projects.value(identifier), TWCellStylePlain);
            if (compare)
                amount(compareProjects.value(identifier), TWCellStylePlain);
            nextRow();
        }
        nextRow();
    }
    nextRow();
    const quint32 totalStyle = TWCellStyleBold + TWCellStyleDoubleUnderline;
    addCell(cells, TWLocalized("total"), TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText);
    amount(grandTotal, totalStyle);
    if (compare)
        amount(compareGrandTotal, totalStyle);
    nextRow();

    if (m_report->showGraphs()) {
        QList<QDateTime> ends;
        const QList<TWDateSpan> spans = graphSpans(true, &ends);
        QList<double> periods;
        if (time) {
            for (const qint64 seconds : business.groupClientTimes(spans))
                periods.append(double(seconds));
        } else {
            const QList<qint64> sums =
                merchants ? business.groupMerchantTotals(spans) : business.groupClientTotals(spans);
            for (const qint64 sum : sums)
                periods.append(double(sum));
        }
        TWDataSetValueList bars;
        TWGraphRange<double> barRange;
        const TWFormatter &formatter = TWFormatter::formatter();
        for (qsizetype i = 0; i < periods.size() && i < ends.size(); ++i) {
            bars.append(TWDataSetValue(formatter.shortDateString(ends.at(i)), periods.at(i), {}));
            barRange.add(periods.at(i));
        }
        const TWDataSetValueList axis =
            time ? yAxisTimeValues(barRange.minimum, barRange.maximum)
                 : yAxisTotalValues(qint64(barRange.minimum), qint64(barRange.maximum));
        addGraph(cells, barGraph({TWDataSet(QString(), bars)}, axis));

        // The pie walks the items in report order, never a hash's order.
        QList<PieEntry> entries;
        for (const std::shared_ptr<TWContactItem> &item : items) {
            const double total = range.totals.value(item->identifier());
            if (total != 0)
                entries.append({item->name(), total});
        }
        const char *title = merchants                             ? "merchants"
                            : kind == WorkKind::ClientsUninvoiced ? "clientsUninvoiced"
                                                                  : "clients";
        addGraph(cells, pieGraph(TWLocalized(title), pieDataSet(entries, [&](double v) {
                                     return time ? timeString(v) : graphMoneyString(qint64(v));
                                 })));
    }
    finish(cells);
    return cells;
}

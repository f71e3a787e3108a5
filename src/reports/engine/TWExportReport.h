#pragma once
// Turns one saved report of a business into a flat list of table cells: the
// title block, the table of one of ten statements (with an optional comparison
// period), bar and pie graphs as data, and the "prepared" line. Everything is
// recomputed from the store's aggregates on every call of cells(); the writers
// render the result.

#include "model/TWGraph.h"

#include "model/TWCell.h"
#include "model/TWReport.h"
#include "store/TWBusiness.h"

#include <QDateTime>
#include <QHash>
#include <QList>

#include <algorithm>
#include <functional>
#include <memory>
#include <type_traits>

// Draws a graph into an image. The report view supplies one; without it the
// graphs keep a null image.
class TWGraphRenderer
{
public:
    virtual ~TWGraphRenderer() = default;
    virtual QImage graphImage(const TWGraph &graph) = 0;
};

class TWExportReport
{
public:
    TWExportReport(TWReportPtr report, double scale, TWBusiness &business,
                   TWGraphRenderer *renderer = nullptr);
    // A builder for one rendering of `report` with graphs drawn at `scale`
    // by `renderer` (none: graphs without images).
    static std::unique_ptr<TWExportReport>
    exportReportWithReport(const TWReportPtr &report, double scale, TWBusiness &business,
                           TWGraphRenderer *renderer = nullptr);

    const TWReportPtr &report() const { return m_report; }
    void setReport(const TWReportPtr &v) { m_report = v; }
    double scale() const { return m_scale; }
    void setScale(double v) { m_scale = v; }
    TWBusiness &business() const { return *m_business; }
    TWGraphRenderer *renderer() const { return m_renderer; }
    void setRenderer(TWGraphRenderer *v) { m_renderer = v; }
    // The resolved period; an as-of report has only fromDate.
    const QDateTime &fromDate() const { return m_fromDate; }
    void setFromDate(const QDateTime &v) { m_fromDate = v; }
    const QDateTime &toDate() const { return m_toDate; }
    void setToDate(const QDateTime &v) { m_toDate = v; }
    const QDateTime &compareFromDate() const { return m_compareFromDate; }
    void setCompareFromDate(const QDateTime &v) { m_compareFromDate = v; }
    const QDateTime &compareToDate() const { return m_compareToDate; }
    void setCompareToDate(const QDateTime &v) { m_compareToDate = v; }
    // The cursor of the table being built.
    quint32 row() const { return m_row; }
    void setRow(quint32 v) { m_row = v; }
    quint32 column() const { return m_column; }
    void setColumn(quint32 v) { m_column = v; }

    // The whole report; empty for a report type above 9.
    TWCellList cells();

    // The blocks every body puts around its table, in this order.
    TWCellList cellsHeader();
    TWCellList cellsTableHeader();
    TWCellList cellsFooter();

    // The bodies (each returns its complete list, blocks included).
    TWCellList cellsBalanceSheet();
    TWCellList cellsIncome();
    TWCellList cellsCashFlow();
    TWCellList cellsEquity();
    TWCellList cellsClients();
    TWCellList cellsClientsUninvoiced();
    TWCellList cellsMerchants();
    TWCellList cellsTime();
    TWCellList cellsTrialBalance();
    TWCellList cellsCustomCurrencyFields();

    // --- Periods, axes, pies and ordering ---

    // The line naming the report's dates.
    QString datesString() const;
    // The report range cut into the bars of a graph (years, months or days),
    // the last 32 at most; either output may be null.
    void graphFromDates(QList<QDateTime> *fromDates, QList<QDateTime> *toDates) const;
    // The same as spans for the store's per-column totals; `withStarts` false
    // leaves each span open at its start.
    QList<TWDateSpan> graphSpans(bool withStarts, QList<QDateTime> *toDates = nullptr) const;
    // The axis step of a money span (minor units) and of a span of seconds; 0
    // for a span that has none (not finite).
    static qint64 totalUnitStep(qint64 span);
    static double timeUnitStep(double span);
    // The labelled ticks of a vertical axis from the minimum up to, not
    // including, the maximum.
    TWDataSetValueList yAxisTotalValues(qint64 minimumTotal, qint64 maximumTotal) const;
    TWDataSetValueList yAxisTimeValues(double minimumTotal, double maximumTotal) const;
    // A pie of the accounts' totals, walked in the given account order: the
    // first 17 non-zero accounts sized by magnitude with their signed money
    // text, sorted ascending, then "other" for the rest; "none" when nothing
    // is left.
    TWDataSet pieDataSetFromAccountValues(const QHash<qint32, qint64> &values,
                                          const TWAccountList &orderedAccounts) const;

    // A pie slice before sizing: its label and signed amount.
    struct PieEntry {
        QString label;
        double value = 0;
    };
    // The pie rule for any labelled signed amounts, in walking order; `text`
    // gives a slice's text from its signed amount.
    static TWDataSet pieDataSet(const QList<PieEntry> &entries,
                                const std::function<QString(double)> &text);

    // Report order of accounts, clients or merchants by sort code: 0 their
    // own order, 1 account number (clients and merchants: their own order), 2
    // ascending totals (missing = 0), 3 position in `listed` (items not there
    // last); other codes keep the given order.
    template <typename T, typename Total>
    static QList<std::shared_ptr<T>> sortedItems(const QList<std::shared_ptr<T>> &items,
                                                 const QHash<qint32, Total> &totals,
                                                 const TWItemList &listed, quint32 sortBy);

    // Money text of the tables (decimals) and of graphs (none).
    QString moneyString(qint64 value) const;
    QString graphMoneyString(qint64 value) const;
    QString timeString(double seconds) const;

    static constexpr int kMaximumGraphPeriods = 32;
    static constexpr int kMaximumPieSlices = 17;
    static constexpr double kGraphWidth = 858;
    static constexpr double kGraphHeight = 480;

private:
    // One cell at the cursor; `advance` moves the column on by the span.
    void addCell(TWCellList &cells, const QString &value, quint32 style, quint32 justify,
                 quint32 type, bool table = true, bool header = false, quint32 span = 1);
    void addMoney(TWCellList &cells, qint64 value, quint32 style);
    void addGraph(TWCellList &cells, const TWGraphPtr &graph);
    void nextRow(quint32 rows = 1);
    // A section heading: the label, bold, and an empty bold text under each
    // amount column.
    void addHeadingRow(TWCellList &cells, const QString &label);
    // A label and the period's (and the comparison's) amount; next row.
    void addAmountRow(TWCellList &cells, const QString &label, quint32 labelStyle, qint64 value,
                      qint64 compareValue, quint32 valueStyle);
    // One row per listed account that moved in either period (`include`
    // picks accounts, `sign` turns the amount shown); the shown amounts are
    // added to the totals. Nothing when both maps are empty.
    void addAccountRows(TWCellList &cells, const TWAccountList &accounts,
                        const QHash<qint32, qint64> &values,
                        const QHash<qint32, qint64> &compareValues, qint64 &total,
                        qint64 &compareTotal,
                        const std::function<bool(const TWAccount &)> &include = {},
                        qint64 sign = 1);
    // A heading, its accounts' rows, their bold total row (the amounts in `totalStyle`) and an
    // empty row; the totals come back for the rows below.
    std::pair<qint64, qint64> addAccountSection(TWCellList &cells, const QString &heading,
                                                const TWAccountList &accounts,
                                                const QHash<qint32, qint64> &values,
                                                const QHash<qint32, qint64> &compareValues,
                                                const QString &totalLabel, quint32 totalStyle);
    TWAccountList orderedAccounts(const TWAccountList &accounts,
                                  const QHash<qint32, qint64> &totals) const;
    // A graph of the builder's size and scale, drawn when there is a renderer.
    TWGraphPtr makeGraph(const QString &name, const TWDataSetList &dataSets,
                         const TWDataSetValueList &yAxisValues, quint32 type) const;
    TWGraphPtr barGraph(const TWDataSetList &dataSets, const TWDataSetValueList &yAxis) const;
    TWGraphPtr pieGraph(const QString &title, const TWDataSet &dataSet) const;
    // "title - dates".
    QString graphTitle(const QString &title) const;
    // The closing gap and footer.
    void finish(TWCellList &cells);
    bool comparing() const;
    TWItemList listedAccounts() const;
    // The work reports share one body: clients (money or time), merchants.
    enum class WorkKind { Clients, ClientsUninvoiced, Merchants, Time };
    TWCellList cellsWork(WorkKind kind);

    TWReportPtr m_report;
    double m_scale = 1.0;
    TWBusiness *m_business = nullptr;
    TWGraphRenderer *m_renderer = nullptr;
    QDateTime m_fromDate;
    QDateTime m_toDate;
    QDateTime m_compareFromDate;
    QDateTime m_compareToDate;
    quint32 m_row = 0;
    quint32 m_column = 0;
};

// Tracks the smallest and the largest bar value, both starting at 0.
template <typename T> struct TWGraphRange {
    T minimum = 0;
    T maximum = 0;
    void add(T value)
    {
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
    }
};

template <typename T, typename Total>
QList<std::shared_ptr<T>> TWExportReport::sortedItems(const QList<std::shared_ptr<T>> &items,
                                                      const QHash<qint32, Total> &totals,
                                                      const TWItemList &listed, quint32 sortBy)
{
    QList<std::shared_ptr<T>> result = items;
    using Ptr = std::shared_ptr<T>;
    switch (sortBy) {
    case 0:
    case 1:
        if constexpr (std::is_same_v<T, TWAccount>) {
            if (sortBy == 1) {
                std::stable_sort(result.begin(), result.end(), [](const Ptr &a, const Ptr &b) {
                    return a->compareNumber(*b) < 0;
                });
                break;
            }
        }
        std::stable_sort(result.begin(), result.end(),
                         [](const Ptr &a, const Ptr &b) { return a->compare(*b) < 0; });
        break;
    case 2:
        std::stable_sort(result.begin(), result.end(), [&totals](const Ptr &a, const Ptr &b) {
            return totals.value(a->identifier(), Total(0)) <
                   totals.value(b->identifier(), Total(0));
        });
        break;
    case 3: {
        // Positions looked up once, not searched per comparison.
        QHash<qint64, qsizetype> positions;
        positions.reserve(listed.size());
        const auto key = [](const TWItem &item) {
            return (qint64(item.type()) << 32) | qint64(quint32(item.identifier()));
        };
        for (qsizetype i = 0; i < listed.size(); ++i)
            positions.insert(key(*listed.at(i)), i);
        const qsizetype absent = listed.size();
        std::stable_sort(result.begin(), result.end(), [&](const Ptr &a, const Ptr &b) {
            return positions.value(key(*a), absent) < positions.value(key(*b), absent);
        });
        break;
    }
    default:
        break;
    }
    return result;
}

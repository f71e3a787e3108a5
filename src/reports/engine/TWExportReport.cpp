#include "reports/engine/TWExportReport.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWReportDates.h"

TWExportReport::TWExportReport(TWReportPtr report, double scale, TWBusiness &business,
                               TWGraphRenderer *renderer)
    : m_report(std::move(report)), m_scale(scale), m_business(&business), m_renderer(renderer)
{
}

std::unique_ptr<TWExportReport> TWExportReport::exportReportWithReport(const TWReportPtr &report,
                                                                       double scale,
                                                                       TWBusiness &business,
                                                                       TWGraphRenderer *renderer)
{
    return std::make_unique<TWExportReport>(report, scale, business, renderer);
}

TWCellList TWExportReport::cells()
{
    m_row = 0;
    m_column = 0;
    m_fromDate = m_toDate = m_compareFromDate = m_compareToDate = QDateTime();
    if (!m_report)
        return {};
    twReportPeriodDates(*m_report, &m_fromDate, &m_toDate, &m_compareFromDate, &m_compareToDate,
                        *m_business);
    switch (int(m_report->reportType())) {
    case TWReportTypeBalanceSheet:
        return cellsBalanceSheet();
    case TWReportTypeIncome:
        return cellsIncome();
    case TWReportTypeCashFlow:
        return cellsCashFlow();
    case TWReportTypeEquity:
        return cellsEquity();
    case TWReportTypeClients:
        return cellsClients();
    case TWReportTypeMerchants:
        return cellsMerchants();
    case TWReportTypeTime:
        return cellsTime();
    case TWReportTypeTrialBalance:
        return cellsTrialBalance();
    case TWReportTypeCustomCurrencyFields:
        return cellsCustomCurrencyFields();
    case TWReportTypeClientsUninvoiced:
        return cellsClientsUninvoiced();
    default:
        return {};
    }
}

bool TWExportReport::comparing() const
{
    return m_report && m_report->compare();
}

void TWExportReport::addCell(TWCellList &cells, const QString &value, quint32 style,
                             quint32 justify, quint32 type, bool table, bool header, quint32 span)
{
    cells.append(TWCell(value, QVariant(), QUrl(), style, justify, type, m_row, m_column, table,
                        header, false, span));
    m_column += span;
}

void TWExportReport::addMoney(TWCellList &cells, qint64 value, quint32 style)
{
    addCell(cells, moneyString(value), style, TWCellJustifyLeft, 0);
}

void TWExportReport::addGraph(TWCellList &cells, const TWGraphPtr &graph)
{
    m_column = 0;
    cells.append(TWCell(QString(), QVariant::fromValue(graph), QUrl(), TWCellStylePlain,
                        TWCellJustifyCenter, TWCellTypeGraph, m_row, 0, false, false, false, 1));
    nextRow();
}

void TWExportReport::nextRow(quint32 rows)
{
    m_row += rows;
    m_column = 0;
}

TWCellList TWExportReport::cellsHeader()
{
    TWCellList cells;
    cells.reserve(5);
    const auto line = [&](const QString &text, quint32 style) {
        cells.append(TWCell(text, QVariant(), QUrl(), style, TWCellJustifyCenter, TWCellTypeText,
                            m_row, m_column, false, false, false, 1));
        ++m_row;
    };
    const TWBusinessInfoPtr &info = m_business->businessInfo();
    if (info && !info->name().isEmpty())
        line(info->name(), TWCellStyleBold);
    if (m_report && !m_report->name().isEmpty())
        line(m_report->name(), TWCellStyleBold + TWCellStyleLarge);
    line(datesString(), TWCellStyleBold);
    ++m_row;
    return cells;
}

TWCellList TWExportReport::cellsTableHeader()
{
    TWCellList cells;
    cells.reserve(25);
    const TWFormatter &formatter = TWFormatter::formatter();
    const auto heading = [&](const QString &text, quint32 justify, quint32 span) {
        addCell(cells, text, TWCellStyleBold, justify, TWCellTypeText, true, true, span);
    };
    heading(QString(), TWCellJustifyRight, 1);
    if (m_report && m_report->dateType() > TWReportDateTypeCustomRange) {
        const bool trial = m_report->reportType() == TWReportTypeTrialBalance;
        const quint32 justify = trial ? TWCellJustifyCenter : TWCellJustifyRight;
        const quint32 span = trial ? 2 : 1;
        heading(formatter.shortDateString(m_fromDate), justify, span);
        if (comparing())
            heading(formatter.shortDateString(m_compareFromDate), justify, span);
    } else {
        const auto range = [&](const QDateTime &from, const QDateTime &to) {
            if (!from.isValid() && !to.isValid())
                return TWLocalized("allDates");
            return QStringLiteral("%1\n%2").arg(formatter.shortDateString(from),
                                                formatter.shortDateString(to));
        };
        heading(range(m_fromDate, m_toDate), TWCellJustifyRight, 1);
        if (comparing())
            heading(range(m_compareFromDate, m_compareToDate), TWCellJustifyRight, 1);
    }
    nextRow();
    return cells;
}

TWCellList TWExportReport::cellsFooter()
{
    const QString text = QStringLiteral("%1 %2.").arg(
        TWLocalized("prepared"), TWFormatter::formatter().longDateString(TWClock::now()));
    TWCellList cells{TWCell(text, QVariant(), QUrl(), TWCellStyleItalic + TWCellStyleSmall,
                            TWCellJustifyLeft, TWCellTypeText, m_row, m_column, false, false, false,
                            1)};
    ++m_row;
    return cells;
}

void TWExportReport::finish(TWCellList &cells)
{
    nextRow(3);
    cells.append(cellsFooter());
}

QString TWExportReport::moneyString(qint64 value) const
{
    return TWFormatter::formatter().valueString(value, m_business->homeUnit().get(), true, true,
                                                false, true, true);
}

QString TWExportReport::graphMoneyString(qint64 value) const
{
    return TWFormatter::formatter().valueString(value, m_business->homeUnit().get(), true, true,
                                                false, true, false);
}

QString TWExportReport::timeString(double seconds) const
{
    return TWFormatter::formatter().timeString(seconds, false,
                                               TWPreferences::preferences().timeFormat());
}

TWItemList TWExportReport::listedAccounts() const
{
    return TWBusiness::flatSortedItems(m_business->accounts(), m_business->accountGroups(),
                                       m_business->sortBy());
}

TWGraphPtr TWExportReport::makeGraph(const QString &name, const TWDataSetList &dataSets,
                                     const TWDataSetValueList &yAxisValues, quint32 type) const
{
    TWGraphPtr graph = TWGraph::graphWithName(name, dataSets, yAxisValues, type,
                                              QSizeF(kGraphWidth, kGraphHeight), m_scale);
    if (m_renderer)
        graph->setGraphImage(m_renderer->graphImage(*graph));
    return graph;
}

TWGraphPtr TWExportReport::barGraph(const TWDataSetList &dataSets,
                                    const TWDataSetValueList &yAxis) const
{
    return makeGraph(QString(), dataSets, yAxis, TWGraphTypeBar);
}

TWGraphPtr TWExportReport::pieGraph(const QString &title, const TWDataSet &dataSet) const
{
    return makeGraph(graphTitle(title), {dataSet}, {}, TWGraphTypePie);
}

QString TWExportReport::graphTitle(const QString &title) const
{
    return QStringLiteral("%1 - %2").arg(title, datesString());
}

void TWExportReport::addHeadingRow(TWCellList &cells, const QString &label)
{
    addCell(cells, label, TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText);
    addCell(cells, QString(), TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText);
    if (comparing())
        addCell(cells, QString(), TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText);
    nextRow();
}

void TWExportReport::addAmountRow(TWCellList &cells, const QString &label, quint32 labelStyle,
                                  qint64 value, qint64 compareValue, quint32 valueStyle)
{
    addCell(cells, label, labelStyle, TWCellJustifyLeft, TWCellTypeText);
    addMoney(cells, value, valueStyle);
    if (comparing())
        addMoney(cells, compareValue, valueStyle);
    nextRow();
}

void TWExportReport::addAccountRows(TWCellList &cells, const TWAccountList &accounts,
                                    const QHash<qint32, qint64> &values,
                                    const QHash<qint32, qint64> &compareValues, qint64 &total,
                                    qint64 &compareTotal,
                                    const std::function<bool(const TWAccount &)> &include,
                                    qint64 sign)
{
    const bool compare = comparing();
    if (values.isEmpty() && (!compare || compareValues.isEmpty()))
        return;
    for (const TWAccountPtr &account : accounts) {
        if (include && !include(*account))
            continue;
        const qint64 amount = values.value(account->identifier());
        const qint64 compareAmount = compare ? compareValues.value(account->identifier()) : 0;
        if (amount == 0 && compareAmount == 0)
            continue;
        addAmountRow(cells, account->name(), TWCellStylePlain, sign * amount, sign * compareAmount,
                     TWCellStylePlain);
        total += sign * amount;
        compareTotal += sign * compareAmount;
    }
}

std::pair<qint64, qint64> TWExportReport::addAccountSection(
    TWCellList &cells, const QString &heading, const TWAccountList &accounts,
    const QHash<qint32, qint64> &values, const QHash<qint32, qint64> &compareValues,
    const QString &totalLabel, quint32 totalStyle)
{
    qint64 total = 0, compareTotal = 0;
    addHeadingRow(cells, heading);
    addAccountRows(cells, accounts, values, compareValues, total, compareTotal);
    addAmountRow(cells, totalLabel, TWCellStyleBold, total, compareTotal, totalStyle);
    nextRow();
    return {total, compareTotal};
}

TWAccountList TWExportReport::orderedAccounts(const TWAccountList &accounts,
                                              const QHash<qint32, qint64> &totals) const
{
    return sortedItems(accounts, totals, listedAccounts(),
                       TWPreferences::preferences().sortReportsAccounts());
}

// The financial statements: balance sheet, income statement, cash flow and
// equity statement. Each reads the store's statement totals once per period
// and the per-column totals once for its graph.

#include "reports/engine/TWExportReport.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

using namespace Qt::StringLiterals;

namespace
{
constexpr unsigned kBalanceMaps =
    TWStatementFigureAssets | TWStatementFigureLiabilities | TWStatementFigureEquities;

// One bar data set of per-period figures labelled by the periods' end dates.
TWDataSet barDataSet(const QString &name, const QList<qint64> &figures,
                     const QList<QDateTime> &ends, TWGraphRange<qint64> &range)
{
    TWDataSetValueList values;
    values.reserve(figures.size());
    const TWFormatter &formatter = TWFormatter::formatter();
    for (qsizetype i = 0; i < figures.size() && i < ends.size(); ++i) {
        values.append(
            TWDataSetValue(formatter.shortDateString(ends.at(i)), double(figures.at(i)), {}));
        range.add(figures.at(i));
    }
    return TWDataSet(name, values);
}

// The statement totals over the given spans: liabilities are read over the
// assets' span and expenses over the income's.
TWStatementTotals statementTotals(TWBusiness &business, unsigned accountMaps,
                                  const TWDateSpan &assets, const TWDateSpan &equities,
                                  const TWDateSpan &income)
{
    TWStatementTotalsRequest r;
    r.assets = assets;
    r.liabilities = assets;
    r.equities = equities;
    r.income = income;
    r.expenses = income;
    r.accountMaps = accountMaps;
    return business.transactionTotalsWithAssets(r);
}
} // namespace

TWCellList TWExportReport::cellsBalanceSheet()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    const auto request = [&](const QDateTime &date) {
        const TWAccountingPeriodPtr period = business.accountingPeriodForDate(date);
        return statementTotals(business, kBalanceMaps, {QDateTime(), date}, {QDateTime(), date},
                               {period ? period->startDate() : QDateTime(), date});
    };
    const TWStatementTotals totals = request(m_fromDate);
    const TWStatementTotals compareTotals =
        compare ? request(m_compareFromDate) : TWStatementTotals();
    const TWAccountList assets =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeAsset), totals.assets);
    const TWAccountList liabilities =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeLiability), totals.liabilities);
    const TWAccountList equities =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeEquity), totals.equities);

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    addAccountSection(cells, TWLocalized("assets"), assets, totals.assets, compareTotals.assets,
                      TWLocalized("totalAssets"), TWCellStyleBold + TWCellStyleDoubleUnderline);
    const auto [totalLiabilities, compareLiabilities] =
        addAccountSection(cells, TWLocalized("liabilities"), liabilities, totals.liabilities,
                          compareTotals.liabilities, TWLocalized("totalLiabilities"),
                          TWCellStyleBold + TWCellStyleUnderline);

    // Retained earnings live in the nominal-transfer account, or else in the
    // account named like them; that account is folded into their row.
    const TWBusinessInfoPtr &info = business.businessInfo();
    const qint32 nominal = info ? info->nominalTransferAccountIdentifier() : 0;
    const QString retainedName = info ? info->retainedEarningsName() : QString();
    const auto isRetained = [&](const TWAccount &account) {
        if (nominal != 0)
            return account.identifier() == nominal;
        return !retainedName.isEmpty() &&
               account.name().compare(retainedName, Qt::CaseInsensitive) == 0;
    };
    TWAccountPtr retainedAccount;
    for (const TWAccountPtr &account : equities) {
        if (isRetained(*account)) {
            retainedAccount = account;
            break;
        }
    }

    qint64 totalEquities = 0, compareEquities = 0;
    addHeadingRow(cells, TWLocalized("equities"));
    addAccountRows(cells, equities, totals.equities, compareTotals.equities, totalEquities,
                   compareEquities, [&](const TWAccount &a) { return !isRetained(a); });
    const qint64 retained =
        totals.retainedEarnings +
        (retainedAccount ? totals.equities.value(retainedAccount->identifier()) : 0);
    const qint64 compareRetained =
        compare ? compareTotals.retainedEarnings +
                      (retainedAccount ? compareTotals.equities.value(retainedAccount->identifier())
                                       : 0)
                : 0;
    QString retainedLabel = retainedName;
    if (nominal != 0) {
        const TWAccountPtr account = business.accountWithIdentifier(nominal);
        retainedLabel = account ? account->name() : QString();
    }
    if (retained != 0 || compareRetained != 0) {
        addAmountRow(cells, retainedLabel, TWCellStylePlain, retained, compareRetained,
                     TWCellStylePlain);
        totalEquities += retained;
        compareEquities += compareRetained;
    }
    const qint64 compareNetIncome = compare ? compareTotals.netIncome : 0;
    if (totals.netIncome != 0 || compareNetIncome != 0) {
        addAmountRow(cells, TWLocalized("netIncome"), TWCellStylePlain, totals.netIncome,
                     compareNetIncome, TWCellStylePlain);
        totalEquities += totals.netIncome;
        compareEquities += compareNetIncome;
    }
    addAmountRow(cells, TWLocalized("totalEquities"), TWCellStyleBold, totalEquities,
                 compareEquities, TWCellStyleBold + TWCellStyleUnderline);
    nextRow();
    addAmountRow(cells, TWLocalized("totalLiabilitiesAndEquities"), TWCellStyleBold,
                 totalLiabilities + totalEquities, compareLiabilities + compareEquities,
                 TWCellStyleBold + TWCellStyleDoubleUnderline);

    if (m_report->showGraphs()) {
        // One bar at the end of each accounting period up to the one holding
        // the report date, each labelled with its end.
        QList<QDateTime> points;
        for (const TWAccountingPeriodPtr &period : business.sortedAccountingPeriodsWithNone(true)) {
            if (period->startDate().isValid() && m_fromDate.isValid() &&
                TWDateAdditions::compareDate(period->startDate(), m_fromDate) > 0)
                break;
            if (period->endDate().isValid())
                points.append(period->endDate());
        }
        if (points.size() > kMaximumGraphPeriods)
            points.remove(0, points.size() - kMaximumGraphPeriods);
        QList<TWDateSpan> spans;
        for (const QDateTime &point : points)
            spans.append({QDateTime(), point});
        const TWColumnTotals columns =
            business.groupTransactionTotalsWithAssets(kBalanceMaps, spans);
        TWGraphRange<qint64> range;
        const TWDataSetList bars{
            barDataSet(TWLocalized("assets"), columns.assets, points, range),
            barDataSet(TWLocalized("liabilities"), columns.liabilities, points, range),
            barDataSet(TWLocalized("equities"), columns.equities, points, range)};
        addGraph(cells, barGraph(bars, yAxisTotalValues(range.minimum, range.maximum)));
        addGraph(cells, pieGraph(TWLocalized("assets"),
                                 pieDataSetFromAccountValues(totals.assets, assets)));
        addGraph(cells, pieGraph(TWLocalized("liabilities"),
                                 pieDataSetFromAccountValues(totals.liabilities, liabilities)));
        // The equity pie: the listed accounts, the retained earnings and the
        // net income. The nominal-transfer account's slice carries its
        // balance; an account only named like the retained earnings is no
        // slice, and their slice is the retained earnings alone.
        QList<PieEntry> entries;
        for (const TWAccountPtr &account : equities) {
            if (!isRetained(*account))
                entries.append(
                    {account->name(), double(totals.equities.value(account->identifier()))});
        }
        entries.append({retainedLabel, double(nominal != 0 ? retained : totals.retainedEarnings)});
        entries.append({TWLocalized("netIncome"), double(totals.netIncome)});
        addGraph(cells, pieGraph(TWLocalized("equities"), pieDataSet(entries, [this](double v) {
                                     return graphMoneyString(qint64(v));
                                 })));
    }
    finish(cells);
    return cells;
}

TWCellList TWExportReport::cellsIncome()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    const auto request = [&](const QDateTime &from, const QDateTime &to) {
        return statementTotals(business, TWStatementFigureIncome | TWStatementFigureExpenses, {},
                               {}, {from, to});
    };
    const TWStatementTotals totals = request(m_fromDate, m_toDate);
    const TWStatementTotals compareTotals =
        compare ? request(m_compareFromDate, m_compareToDate) : TWStatementTotals();
    const TWAccountList income =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeIncome), totals.income);
    const TWAccountList expenses =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeExpense), totals.expenses);

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    addAccountSection(cells, TWLocalized("income"), income, totals.income, compareTotals.income,
                      TWLocalized("totalIncome"), TWCellStyleBold + TWCellStyleDoubleUnderline);
    addAccountSection(cells, TWLocalized("expenses"), expenses, totals.expenses,
                      compareTotals.expenses, TWLocalized("totalExpenses"),
                      TWCellStyleBold + TWCellStyleUnderline);
    addAmountRow(cells, TWLocalized("netIncome"), TWCellStyleBold, totals.netIncome,
                 compareTotals.netIncome, TWCellStyleBold + TWCellStyleDoubleUnderline);

    if (m_report->showGraphs()) {
        QList<QDateTime> ends;
        const QList<TWDateSpan> spans = graphSpans(true, &ends);
        const TWColumnTotals columns = business.groupTransactionTotalsWithAssets(
            TWStatementFigureIncome | TWStatementFigureExpenses, spans);
        QList<qint64> net;
        net.reserve(columns.income.size());
        for (qsizetype i = 0; i < columns.income.size() && i < columns.expenses.size(); ++i)
            net.append(columns.income.at(i) - columns.expenses.at(i));
        TWGraphRange<qint64> range;
        const TWDataSetList bars{barDataSet(TWLocalized("income"), columns.income, ends, range),
                                 barDataSet(TWLocalized("expenses"), columns.expenses, ends, range),
                                 barDataSet(TWLocalized("netIncome"), net, ends, range)};
        addGraph(cells, barGraph(bars, yAxisTotalValues(range.minimum, range.maximum)));
        addGraph(cells, pieGraph(TWLocalized("income"),
                                 pieDataSetFromAccountValues(totals.income, income)));
        addGraph(cells, pieGraph(TWLocalized("expenses"),
                                 pieDataSetFromAccountValues(totals.expenses, expenses)));
    }
    finish(cells);
    return cells;
}

TWCellList TWExportReport::cellsCashFlow()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    const auto request = [&](const QDateTime &from, const QDateTime &to) {
        return statementTotals(business, kBalanceMaps, {from, to}, {from, to}, {from, to});
    };
    const TWStatementTotals totals = request(m_fromDate, m_toDate);
    const TWStatementTotals compareTotals =
        compare ? request(m_compareFromDate, m_compareToDate) : TWStatementTotals();
    const TWAccountList assets =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeAsset), totals.assets);
    const TWAccountList liabilities =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeLiability), totals.liabilities);
    const TWAccountList equities =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeEquity), totals.equities);

    const auto ofTypes = [](std::initializer_list<int> types) {
        QList<int> list(types);
        return
            [list](const TWAccount &account) { return list.contains(int(account.accountType())); };
    };

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    // An asset that grows uses cash (shown negated); a liability or equity
    // that grows brings it in.
    qint64 operating = totals.netIncome;
    qint64 compareOperating = compare ? compareTotals.netIncome : 0;
    addHeadingRow(cells, TWLocalized("operating"));
    addAmountRow(cells, TWLocalized("netIncome"), TWCellStylePlain, totals.netIncome,
                 compareOperating, TWCellStylePlain);
    addAccountRows(cells, assets, totals.assets, compareTotals.assets, operating, compareOperating,
                   ofTypes({1, 4, 7}), -1);
    addAccountRows(cells, liabilities, totals.liabilities, compareTotals.liabilities, operating,
                   compareOperating, ofTypes({9, 10, 12, 14}));
    addAmountRow(cells, TWLocalized("totalOperations"), TWCellStyleBold, operating,
                 compareOperating, TWCellStyleBold + TWCellStyleUnderline);
    nextRow();

    qint64 investing = 0, compareInvesting = 0;
    addHeadingRow(cells, TWLocalized("investing"));
    addAccountRows(cells, assets, totals.assets, compareTotals.assets, investing, compareInvesting,
                   ofTypes({5, 6}), -1);
    addAmountRow(cells, TWLocalized("totalInvesting"), TWCellStyleBold, investing, compareInvesting,
                 TWCellStyleBold + TWCellStyleUnderline);
    nextRow();

    qint64 financing = 0, compareFinancing = 0;
    addHeadingRow(cells, TWLocalized("financing"));
    addAccountRows(cells, liabilities, totals.liabilities, compareTotals.liabilities, financing,
                   compareFinancing, ofTypes({11, 13}));
    addAccountRows(cells, equities, totals.equities, compareTotals.equities, financing,
                   compareFinancing);
    addAmountRow(cells, TWLocalized("totalFinancing"), TWCellStyleBold, financing, compareFinancing,
                 TWCellStyleBold + TWCellStyleUnderline);
    nextRow();

    addAmountRow(cells, TWLocalized("totalCashFlow"), TWCellStyleBold,
                 operating + investing + financing,
                 compareOperating + compareInvesting + compareFinancing,
                 TWCellStyleBold + TWCellStyleDoubleUnderline);
    nextRow();
    addAmountRow(cells, TWLocalized("startCashBalance"), TWCellStyleBold, totals.cashStart,
                 compareTotals.cashStart, TWCellStyleBold);
    addAmountRow(cells, TWLocalized("endCashBalance"), TWCellStyleBold, totals.cashEnd,
                 compareTotals.cashEnd, TWCellStyleBold + TWCellStyleDoubleUnderline);

    if (m_report->showGraphs()) {
        // Each bar is its own period's flow, so the bars add up to the
        // range's change of cash.
        QList<QDateTime> ends;
        const QList<TWDateSpan> spans = graphSpans(true, &ends);
        const TWColumnTotals columns =
            business.groupTransactionTotalsWithAssets(TWStatementFigureCashFlows, spans);
        TWGraphRange<qint64> range;
        const TWDataSetList bars{barDataSet(QString(), columns.cashFlows, ends, range)};
        addGraph(cells, barGraph(bars, yAxisTotalValues(range.minimum, range.maximum)));
    }
    finish(cells);
    return cells;
}

TWCellList TWExportReport::cellsEquity()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    // Assets and liabilities through the period's end only: the start
    // balance then is the equity held when the period began, and does not
    // move when later periods are booked.
    const auto request = [&](const QDateTime &from, const QDateTime &to) {
        return statementTotals(business, TWStatementFigureEquities, {QDateTime(), to}, {from, to},
                               {from, to});
    };
    const TWStatementTotals totals = request(m_fromDate, m_toDate);
    const TWStatementTotals compareTotals =
        compare ? request(m_compareFromDate, m_compareToDate) : TWStatementTotals();
    const TWAccountList equities =
        orderedAccounts(business.accountsOfType(TWAccountGroupTypeEquity), totals.equities);

    const TWBusinessInfoPtr &info = business.businessInfo();
    QString subject;
    if (info && info->nominalTransferAccountIdentifier() == 0 &&
        !info->retainedEarningsName().isEmpty())
        subject = info->retainedEarningsName();
    else
        subject = TWLocalized(info && info->type() != 0 ? "retainedEarnings" : "ownersEquity");

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    addAmountRow(cells, u"%1 %2"_s.arg(TWLocalized("startBalanceOf"), subject), TWCellStyleBold,
                 totals.retainedEarnings, compareTotals.retainedEarnings, TWCellStyleBold);
    nextRow();
    qint64 running = totals.netIncome;
    qint64 compareRunning = compare ? compareTotals.netIncome : 0;
    addAmountRow(cells, TWLocalized("netIncome"), TWCellStylePlain, totals.netIncome,
                 compareRunning, TWCellStylePlain);
    addAccountRows(cells, equities, totals.equities, compareTotals.equities, running,
                   compareRunning);
    nextRow();
    addAmountRow(cells, u"%1 %2"_s.arg(TWLocalized("endBalanceOf"), subject), TWCellStyleBold,
                 running + totals.retainedEarnings,
                 compare ? compareRunning + compareTotals.retainedEarnings : 0,
                 TWCellStyleBold + TWCellStyleDoubleUnderline);

    if (m_report->showGraphs()) {
        QList<QDateTime> ends;
        const QList<TWDateSpan> spans = graphSpans(false, &ends);
        const TWColumnTotals columns =
            business.groupTransactionTotalsWithAssets(TWStatementFigureEquities, spans);
        TWGraphRange<qint64> range;
        const TWDataSetList bars{barDataSet(QString(), columns.equities, ends, range)};
        addGraph(cells, barGraph(bars, yAxisTotalValues(range.minimum, range.maximum)));
    }
    finish(cells);
    return cells;
}

// The five statements of a small business, worked out by hand: rows, money
// texts and styles, with and without a comparison period.

#include "TWReportBooks.h"

#include "TWBenchBusiness.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{
QStringList lines(const TWCellList &cells)
{
    return twTableLines(cells);
}

TWCellList build(TWBusiness &business, const TWReportPtr &report)
{
    TWExportReport builder(report, 1.0, business);
    return builder.cells();
}
} // namespace

TEST(LedgerReportsTest, BalanceSheetFoldsTheTransferAccountIntoRetainedEarnings)
{
    TWFixedClock clock(2025, 1, 10);
    auto business = twMakeReportBooks();
    ASSERT_TRUE(business);
    const TWCellList cells =
        build(*business, twMakeReport(TWReportTypeBalanceSheet, TWReportDateTypeCustomDate,
                                      twDay(2024, 12, 31), {}, true, twDay(2023, 12, 31)));
    EXPECT_EQ(
        lines(cells),
        (QStringList{"Assets||", "Checking|$14,200.00|$13,800.00", "Equipment|$2,000.00|$0.00",
                     "Receivable|$2,000.00|$0.00", "Total Assets|$18,200.00|$13,800.00",
                     "Liabilities||", "Card|$200.00|$0.00", "Loan|$2,000.00|$0.00",
                     "Total Liabilities|$2,200.00|$0.00", "Equities||",
                     "Owner|$9,500.00|$10,000.00", "Retained|$3,800.00|$0.00",
                     "Net Income|$2,700.00|$3,800.00", "Total Equities|$16,000.00|$13,800.00",
                     "Total Liabilities and Equities|$18,200.00|$13,800.00"}));
    const TWCell *total = twCellAt(cells, "Total Assets", 1);
    ASSERT_TRUE(total);
    EXPECT_EQ(total->style(), 72u);
    EXPECT_EQ(total->type(), 0u);
    EXPECT_EQ(twCellAt(cells, "Total Liabilities", 2)->style(), 40u);
    EXPECT_EQ(twCellAt(cells, "Assets", 0)->style(), 8u);
    EXPECT_EQ(twCellAt(cells, "Checking", 1)->style(), 0u);

    // Without comparison: one amount column; the retained row, no transfer
    // account, is named and valued the same.
    auto plain = twMakeReportBooks(false);
    ASSERT_TRUE(plain);
    const QStringList single =
        lines(build(*plain, twMakeReport(TWReportTypeBalanceSheet, TWReportDateTypeCustomDate,
                                         twDay(2024, 12, 31), {})));
    EXPECT_TRUE(single.contains("Retained|$3,800.00"));
    EXPECT_TRUE(single.contains("Total Liabilities and Equities|$18,200.00"));
    EXPECT_FALSE(single.contains("Owner|$9,500.00|$10,000.00"));
}

namespace
{
qint64 amountAt(TWBusiness &business, const TWCellList &cells, const QString &label,
                quint32 column = 1)
{
    const TWCell *cell = twCellAt(cells, label, column);
    EXPECT_TRUE(cell) << label;
    bool ok = false;
    const qint64 value = cell ? TWFormatter::formatter().valueFromString(
                                    cell->value(), business.homeUnit().get(), &ok)
                              : 0;
    EXPECT_TRUE(!cell || ok) << cell->value();
    return value;
}

double barSum(const TWGraphPtr &graph, qsizetype set = 0)
{
    double sum = 0;
    for (const TWDataSetValue &value : graph->dataSets().at(set).values())
        sum += value.value();
    return sum;
}
} // namespace

TEST(LedgerReportsTest, GraphsAgreeWithTheirTables)
{
    TWFixedClock clock(2025, 1, 10);
    auto business = twMakeReportBooks(false);
    ASSERT_TRUE(business);
    // Money booked straight into the account named like the retained
    // earnings: its row carries it; the pie's slice is the retained earnings
    // alone, and the account is no slice of its own.
    ASSERT_TRUE(twWriteAndLoad(*business, {twMakeTransaction(*business, 30, twDay(2024, 7, 1),
                                                             kChecking, kRetained, 10000)}));

    // Each bar stands at its period's end, the period holding the report
    // date included.
    TWReportPtr sheet = twMakeReport(TWReportTypeBalanceSheet, TWReportDateTypeCustomDate,
                                     twDay(2024, 6, 30), {}, false, {}, {}, true);
    TWCellList cells = build(*business, sheet);
    QList<TWGraphPtr> graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 4);
    const TWDataSetValueList assetBars = graphs.at(0)->dataSets().at(0).values();
    ASSERT_FALSE(assetBars.isEmpty());
    EXPECT_EQ(assetBars.last().label(), "12/31/24");
    EXPECT_EQ(graphs.at(0)->dataSets().at(2).name(), "Equities");

    sheet->setFromDate(twDay(2024, 12, 31));
    cells = build(*business, sheet);
    EXPECT_EQ(qint64(assetBars.last().value()), amountAt(*business, cells, "Total Assets"));
    graphs = twGraphs(cells);
    EXPECT_EQ(amountAt(*business, cells, "Retained"), 380000 + 10000);
    QMap<QString, qint64> slices;
    for (const TWDataSetValue &slice : graphs.at(3)->dataSets().at(0).values())
        slices.insert(slice.label(), qint64(slice.value()));
    EXPECT_EQ(slices.value("Retained"), 380000);
    EXPECT_EQ(slices.size(), 3) << slices.keys().join(',').toStdString();

    // Each cash-flow bar is its own month's flow: together the year's change.
    cells =
        build(*business, twMakeReport(TWReportTypeCashFlow, TWReportDateTypeCustomRange,
                                      twDay(2024, 1, 1), twDay(2024, 12, 31), false, {}, {}, true));
    graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 1);
    EXPECT_EQ(graphs.at(0)->dataSets().at(0).values().size(), 12);
    EXPECT_EQ(qint64(barSum(graphs.at(0))), amountAt(*business, cells, "End Cash Balance") -
                                                amountAt(*business, cells, "Start Cash Balance"));

    // A business without accounting periods has no period end to show.
    auto bare = twMakeFullLedger();
    ASSERT_TRUE(bare);
    graphs = twGraphs(build(*bare, sheet));
    ASSERT_EQ(graphs.size(), 4);
    EXPECT_TRUE(graphs.at(0)->dataSets().at(0).values().isEmpty());
}

TEST(LedgerReportsTest, StatementsAgreeOnAGeneratedBusiness)
{
    TWFixedClock clock(2025, 6, 15);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::unique_ptr<TWBusiness> business =
        twBenchMakeBusiness({10000, folder.filePath(QStringLiteral("files"))});
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    for (const QDateTime &date : {twDay(2017, 12, 31), twDay(2021, 6, 30), twDay(2025, 3, 31)}) {
        SCOPED_TRACE(date.toString(Qt::ISODate));
        const QDateTime yearStart(QDate(date.date().year(), 1, 1), QTime(0, 0));
        const auto report = [&](TWReportType type, bool graphs = true) {
            const bool asOf = type == TWReportTypeBalanceSheet || type == TWReportTypeTrialBalance;
            return build(
                b,
                twMakeReport(type, asOf ? TWReportDateTypeCustomDate : TWReportDateTypeCustomRange,
                             asOf ? date : yearStart, asOf ? QDateTime() : date, true,
                             asOf ? date.addYears(-1) : yearStart.addYears(-1),
                             asOf ? QDateTime() : date.addYears(-1), graphs));
        };
        const TWCellList sheet = report(TWReportTypeBalanceSheet);
        for (const quint32 column : {1u, 2u})
            EXPECT_EQ(amountAt(b, sheet, "Total Assets", column),
                      amountAt(b, sheet, "Total Liabilities and Equities", column));

        const TWCellList cash = report(TWReportTypeCashFlow);
        for (const quint32 column : {1u, 2u})
            EXPECT_EQ(amountAt(b, cash, "Start Cash Balance", column) +
                          amountAt(b, cash, "Total Cash Flow", column),
                      amountAt(b, cash, "End Cash Balance", column));
        EXPECT_EQ(qint64(barSum(twGraphs(cash).at(0))), amountAt(b, cash, "Total Cash Flow"));

        const TWCellList equity = report(TWReportTypeEquity);
        const TWCellList income = report(TWReportTypeIncome);
        EXPECT_EQ(amountAt(b, equity, "Net Income"), amountAt(b, income, "Net Income"));
        EXPECT_EQ(amountAt(b, equity, "End Balance of Owner's Equity"),
                  amountAt(b, sheet, "Total Assets") - amountAt(b, sheet, "Total Liabilities"));
        const QList<TWGraphPtr> incomeGraphs = twGraphs(income);
        EXPECT_EQ(qint64(barSum(incomeGraphs.at(0), 0)), amountAt(b, income, "Total Income"));
        EXPECT_EQ(qint64(barSum(incomeGraphs.at(0), 1)), amountAt(b, income, "Total Expenses"));

        const TWCellList trial = report(TWReportTypeTrialBalance, false);
        for (const quint32 column : {1u, 3u})
            EXPECT_EQ(amountAt(b, trial, "Total", column), amountAt(b, trial, "Total", column + 1));
    }
}

TEST(LedgerReportsTest, CurrencyFieldsThatNetToZeroKeepTheirSection)
{
    TWFixedClock clock(2025, 1, 10);
    auto business = twMakeReportBooks();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr deposit = twAddCustomField(b, "Deposit", TWFieldTypeCurrency);
    const TWFieldPtr tip = twAddCustomField(b, "Tip", TWFieldTypeCurrency);
    const TWFieldPtr unused = twAddCustomField(b, "Unused", TWFieldTypeCurrency);
    const TWFieldPtr later = twAddCustomField(b, "Later", TWFieldTypeCurrency);
    const auto add = [&](qint32 identifier, const QDateTime &date, qint32 account,
                         QList<std::pair<TWFieldPtr, qint64>> values) {
        TWTransactionPtr t = twMakeTransaction(b, identifier, date, account, kChecking, 1000);
        for (const auto &[field, value] : values)
            t->fieldValueWithField(*field, true)->setCurrency(value);
        EXPECT_OK(b.addTransaction(t, false, false, false, false));
    };
    add(40, twDay(2024, 7, 1), kTravel, {{deposit, 50000}, {tip, 300}});
    add(41, twDay(2024, 7, 2), kTravel, {{deposit, 25000}, {tip, -300}});
    add(42, twDay(2024, 7, 3), kFees, {{tip, 200}});
    add(44, twDay(2024, 7, 4), kFees, {{tip, -200}});
    add(43, twDay(2024, 8, 3), kFees, {{later, 700}});

    const TWReportPtr july =
        twMakeReport(TWReportTypeCustomCurrencyFields, TWReportDateTypeCustomRange,
                     twDay(2024, 7, 1), twDay(2024, 7, 31), false, {}, {}, true);
    TWCellList cells = build(b, july);
    // Tip's values cancel on each account: its heading and total stay, with
    // no account rows. A field without values in the period has no section.
    EXPECT_EQ(lines(cells),
              (QStringList{"Deposit|", "Travel|$750.00", "Total|$750.00", "Tip|", "Total|$0.00"}));
    const QList<TWGraphPtr> graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 3);
    const TWDataSetValueList bars = graphs.at(0)->dataSets().at(0).values();
    ASSERT_EQ(bars.size(), 2);
    EXPECT_EQ(bars.at(0).label(), "Deposit");
    EXPECT_EQ(bars.at(0).value(), 75000);
    EXPECT_EQ(bars.at(1).label(), "Tip");
    EXPECT_EQ(bars.at(1).value(), 0);
    const TWDataSetValueList tipSlices = graphs.at(2)->dataSets().at(0).values();
    ASSERT_EQ(tipSlices.size(), 1);
    EXPECT_EQ(tipSlices.at(0).label(), TWLocalized("none"));
    EXPECT_EQ(tipSlices.at(0).value(), 1.0);
    EXPECT_TRUE(graphs.at(2)->name().startsWith("Tip - "));
    EXPECT_EQ(graphs.at(1)->dataSets().at(0).values().size(), 1);

    // Compared with August: the sections are July's; Later, only in August,
    // gets none.
    july->setCompare(true);
    july->setCompareFromDate(twDay(2024, 8, 1));
    july->setCompareToDate(twDay(2024, 8, 31));
    cells = build(b, july);
    EXPECT_EQ(lines(cells), (QStringList{"Deposit||", "Travel|$750.00|$0.00", "Total|$750.00|$0.00",
                                         "Tip||", "Total|$0.00|$0.00"}));

    // Nothing in the period: no sections, no pies, a bar graph without bars.
    const TWReportPtr june =
        twMakeReport(TWReportTypeCustomCurrencyFields, TWReportDateTypeCustomRange,
                     twDay(2024, 6, 1), twDay(2024, 6, 30), false, {}, {}, true);
    cells = build(b, june);
    EXPECT_TRUE(lines(cells).isEmpty()) << lines(cells).join(QLatin1Char('\n')).toStdString();
    const QList<TWGraphPtr> none = twGraphs(cells);
    ASSERT_EQ(none.size(), 1);
    EXPECT_TRUE(none.at(0)->dataSets().value(0).values().isEmpty());
    Q_UNUSED(unused);
}

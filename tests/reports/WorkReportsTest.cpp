// Client, uninvoiced-client, merchant and time reports against totals worked
// out by hand.

#include "TWInvoiceTestSupport.h"
#include "TWReportTestSupport.h"
#include "WorkTestSupport.h"

#include "foundation/TWLocalized.h"

#include <gtest/gtest.h>

namespace
{
TWClientPtr addClient(TWBusiness &b, const QString &name, const QString &company = {})
{
    TWClientPtr client = TWClient::clientWithIdentifier(b.nextClientIdentifier(), name, company, 0,
                                                        0, QImage(), {}, {}, {}, QUrl(), {}, {});
    EXPECT_OK(b.addClient(client, false));
    return client;
}

TWProjectPtr addProject(TWBusiness &b, qint32 client, const QString &name)
{
    TWProjectPtr project = TWProject::projectWithDate(
        twLocal(2024, 1, 1), false, name, TWProjectTypeProject, {}, {}, 0,
        b.unitWithCode(QStringLiteral("USD")), 0.0, {}, client, b.nextProjectIdentifier());
    EXPECT_OK(b.addProject(project, false));
    return project;
}

// Ada (Acme): Site 10.00 in June, 3.00 in May; Old 0.50 in May only.
// Bea: BeaP 2.00 in June. Cy: CyP 5.00 in May only.
struct WorkBook {
    TWInvoiceBook book = twInvoiceBook();
    TWProjectPtr old, beaProject, cyProject;

    WorkBook()
    {
        TWBusiness &b = book.b();
        old = addProject(b, book.client->identifier(), "Old");
        beaProject = addProject(b, addClient(b, "Bea")->identifier(), "BeaP");
        cyProject = addProject(b, addClient(b, "Cy")->identifier(), "CyP");
        const auto pay = [&](const TWProjectPtr &project, const QDateTime &date, qint64 total) {
            book.addEntry(book.addInvoice("I", {}, project), date, kReceivable, kSales, total);
        };
        pay(book.project, twLocal(2024, 6, 10), 1000);
        pay(book.project, twLocal(2024, 5, 10), 300);
        pay(old, twLocal(2024, 5, 11), 50);
        pay(beaProject, twLocal(2024, 6, 2), 200);
        pay(cyProject, twLocal(2024, 5, 20), 500);
    }
};

TWReportPtr june(TWReportType type, bool compare, bool graphs = false)
{
    return twMakeReport(type, TWReportDateTypeCustomRange, twLocal(2024, 6, 1),
                        twLocal(2024, 6, 30), compare, twLocal(2024, 5, 1), twLocal(2024, 5, 31),
                        graphs);
}
} // namespace

TEST(WorkReportsTest, GraphsOfClientsAddUpAndCountTwentyClients)
{
    TWFixedClock clock(2024, 7, 1);
    WorkBook work;
    ASSERT_TRUE(work.book.business);
    TWBusiness &b = work.book.b();
    for (int i = 1; i <= 20; ++i) {
        const TWProjectPtr project = addProject(
            b, addClient(b, QStringLiteral("Z%1").arg(i, 2, 10, QLatin1Char('0')))->identifier(),
            "P");
        work.book.addEntry(work.book.addInvoice("I", {}, project), twLocal(2024, 6, 15),
                           kReceivable, kSales, 1000 + i);
    }
    TWReportPtr report =
        twMakeReport(TWReportTypeClients, TWReportDateTypeCustomRange, twLocal(2024, 4, 1),
                     twLocal(2024, 6, 30), false, {}, {}, true);
    TWExportReport builder(report, 1.0, b);
    const TWCellList cells = builder.cells();
    const QList<TWGraphPtr> graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 2);
    double bars = 0;
    for (const TWDataSetValue &value : graphs.at(0)->dataSets().at(0).values())
        bars += value.value();
    const qint64 total = 1000 + 300 + 50 + 200 + 500 + 20 * 1000 + 210;
    EXPECT_EQ(bars, double(total));
    EXPECT_EQ(graphs.at(0)->dataSets().at(0).values().size(), 3); // April, May, June

    // 23 clients with money: 17 slices walked in report order (Ada, Bea, Cy,
    // Z01 ...), sorted by size, then "other" for Z15 to Z20.
    const TWDataSetValueList slices = graphs.at(1)->dataSets().at(0).values();
    ASSERT_EQ(slices.size(), 18);
    EXPECT_EQ(slices.first().label(), "Bea"); // 2.00, the smallest
    EXPECT_EQ(slices.at(15).label(), "Z14");
    EXPECT_EQ(slices.at(16).label(), "Ada"); // 13.50 over the three months
    EXPECT_EQ(slices.last().label(), TWLocalized("other"));
    double other = 0;
    for (int i = 15; i <= 20; ++i)
        other += 1000 + i;
    EXPECT_EQ(slices.last().value(), other);
    EXPECT_EQ(graphs.at(1)->name(), "Clients - Monday, April 1, 2024 to Sunday, June 30, 2024");

    // The uninvoiced report's bars are the clients' whole totals too.
    report->setReportType(TWReportTypeClientsUninvoiced);
    TWExportReport uninvoiced(report, 1.0, b);
    const QList<TWGraphPtr> same = twGraphs(uninvoiced.cells());
    ASSERT_EQ(same.size(), 2);
    EXPECT_EQ(same.at(0)->dataSets().at(0).values().size(), 3);
    EXPECT_EQ(same.at(0)->dataSets().at(0).values().last().value(),
              graphs.at(0)->dataSets().at(0).values().last().value());
}

TEST(WorkReportsTest, TimeWorkedPerClientAndProject)
{
    TWFixedClock clock(2024, 7, 1);
    WorkBook work;
    ASSERT_TRUE(work.book.business);
    TWBusiness &b = work.book.b();
    const auto work_ = [&](const TWProjectPtr &project, const QDateTime &start, int minutes) {
        TWTaskPtr task = twWorkTask(b.nextTaskIdentifier(), project->identifier(), start);
        EXPECT_OK(b.addTask(task, false));
        EXPECT_OK(b.addTaskItem(twWorkItem(b.nextTaskItemIdentifier(), task->identifier(), start,
                                           start.addSecs(minutes * 60)),
                                false));
    };
    work_(work.book.project, twLocal(2024, 6, 4, 9), 120);
    work_(work.old, twLocal(2024, 6, 5, 9), 30);
    work_(work.beaProject, twLocal(2024, 5, 6, 9), 60); // comparison only
    TWReportPtr report = june(TWReportTypeTime, true, true);
    TWExportReport builder(report, 1.0, b);
    const TWCellList cells = builder.cells();
    EXPECT_EQ(twTableLines(cells),
              (QStringList{"Ada (Acme)|2:30|0:00", "Old|0:30|0:00", "Site|2:00|0:00",
                           "Bea|0:00|1:00", "BeaP|0:00|1:00", "Total|2:30|1:00"}));
    const QList<TWGraphPtr> graphs = twGraphs(cells);
    ASSERT_EQ(graphs.size(), 2);
    double seconds = 0;
    for (const TWDataSetValue &value : graphs.at(0)->dataSets().at(0).values())
        seconds += value.value();
    EXPECT_EQ(seconds, 9000);
    QStringList ticks;
    for (const TWDataSetValue &tick : graphs.at(0)->yAxisValues())
        ticks << tick.formattedValue();
    EXPECT_FALSE(ticks.isEmpty());
    const TWDataSetValueList pie = graphs.at(1)->dataSets().at(0).values();
    ASSERT_EQ(pie.size(), 1);
    EXPECT_EQ(pie.first().label(), "Ada");
    EXPECT_EQ(pie.first().formattedValue(), "2:30");

    report->setCompare(false);
    TWExportReport single(report, 1.0, b);
    EXPECT_FALSE(twTableLines(single.cells()).contains("Bea|0:00"));
}

namespace
{
TWMerchantPtr addMerchant(TWBusiness &b, const QString &name, const QString &company = {})
{
    TWMerchantPtr merchant = TWMerchant::merchantWithIdentifier(
        b.nextMerchantIdentifier(), name, company, 0, 0, QImage(), {}, {}, {}, QUrl(), {}, {});
    EXPECT_OK(b.addMerchant(merchant, false));
    return merchant;
}

// Pays `total` against a new bill of the merchant on the date.
void payBill(TWInvoiceBook &book, const TWMerchantPtr &merchant, const QDateTime &date,
             qint64 total)
{
    TWBusiness &b = book.b();
    const TWBillPtr bill =
        TWBill::billWithDate(date, QStringLiteral("B"), false, false, {}, 0, QString(),
                             merchant->identifier(), b.nextBillIdentifier());
    EXPECT_OK(b.addBill(bill, false));
    book.addEntry(bill, date, kPayable, kAdvertising, -total);
}
} // namespace

TEST(WorkReportsTest, MerchantsOneRowEachThenTheTotalAndTheirGraphs)
{
    TWFixedClock clock(2024, 7, 1);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWMerchantPtr ann = addMerchant(b, "Ann");
    const TWMerchantPtr cal = addMerchant(b, "Cal", "Cal & Sons");
    addMerchant(b, "Dee");                                  // never paid
    payBill(book, book.merchant, twLocal(2024, 6, 5), 500); // Bob (Paper Co)
    payBill(book, book.merchant, twLocal(2024, 5, 5), 300);
    payBill(book, ann, twLocal(2024, 5, 9), 200); // May only
    payBill(book, cal, twLocal(2024, 6, 20), 700);

    // Compared with May: Ann's 0.00 in June is listed beside her May.
    TWExportReport compared(june(TWReportTypeMerchants, true), 1.0, b);
    const TWCellList cells = compared.cells();
    const QMap<quint32, QString> rows = twTableRows(cells);
    QStringList merchants = rows.values().mid(0, 3);
    merchants.sort();
    EXPECT_EQ(merchants, (QStringList{"Ann|$0.00|$2.00", "Bob (Paper Co)|$5.00|$3.00",
                                      "Cal (Cal & Sons)|$7.00|$0.00"}));
    ASSERT_EQ(rows.size(), 4);
    // Merchant rows follow each other; one empty row before the total.
    const QList<quint32> numbers = rows.keys();
    EXPECT_EQ(numbers.at(1), numbers.at(0) + 1);
    EXPECT_EQ(numbers.at(2), numbers.at(1) + 1);
    EXPECT_EQ(numbers.at(3), numbers.at(2) + 2);
    EXPECT_EQ(rows.last(), TWLocalized("total") + "|$12.00|$5.00");
    for (const TWCell &cell : cells) {
        if (!cell.table() || cell.header())
            continue;
        const bool total = cell.row() == numbers.at(3);
        if (!total)
            EXPECT_EQ(cell.style(), quint32(TWCellStylePlain)) << qPrintable(cell.value());
        else
            EXPECT_EQ(cell.style(), cell.column() == 0
                                        ? quint32(TWCellStyleBold)
                                        : quint32(TWCellStyleBold + TWCellStyleDoubleUnderline));
    }

    // Without the comparison Ann is left out; the graphs follow the total row.
    TWExportReport plain(june(TWReportTypeMerchants, false, true), 1.0, b);
    const TWCellList withGraphs = plain.cells();
    const QMap<quint32, QString> plainRows = twTableRows(withGraphs);
    ASSERT_EQ(plainRows.size(), 3);
    const quint32 totalRow = plainRows.lastKey();
    EXPECT_EQ(plainRows.last(), TWLocalized("total") + "|$12.00");
    QList<quint32> graphRows;
    for (const TWCell &cell : withGraphs) {
        if (cell.type() == TWCellTypeGraph)
            graphRows.append(cell.row());
    }
    EXPECT_EQ(graphRows, (QList<quint32>{totalRow + 1, totalRow + 2}));
    const QList<TWGraphPtr> graphs = twGraphs(withGraphs);
    ASSERT_EQ(graphs.size(), 2);
    double bars = 0;
    for (const TWDataSetValue &value : graphs.at(0)->dataSets().at(0).values())
        bars += value.value();
    EXPECT_EQ(bars, 1200.0);
    const TWDataSetValueList slices = graphs.at(1)->dataSets().at(0).values();
    ASSERT_EQ(slices.size(), 2);
    EXPECT_EQ(slices.at(0).label(), "Bob");
    EXPECT_EQ(slices.at(0).value(), 500.0);
    EXPECT_EQ(slices.at(1).label(), "Cal");
    EXPECT_TRUE(graphs.at(1)->name().startsWith(TWLocalized("merchants") + " - "));

    // Nobody paid in the period: no rows but the total, one "none" slice.
    TWExportReport empty(twMakeReport(TWReportTypeMerchants, TWReportDateTypeCustomRange,
                                      twLocal(2023, 1, 1), twLocal(2023, 1, 31), false, {}, {},
                                      true),
                         1.0, b);
    const TWCellList nothing = empty.cells();
    EXPECT_EQ(twTableLines(nothing), QStringList{TWLocalized("total") + "|$0.00"});
    const QList<TWGraphPtr> noneGraphs = twGraphs(nothing);
    ASSERT_EQ(noneGraphs.size(), 2);
    const TWDataSetValueList none = noneGraphs.at(1)->dataSets().at(0).values();
    ASSERT_EQ(none.size(), 1);
    EXPECT_EQ(none.at(0).label(), TWLocalized("none"));
    EXPECT_EQ(none.at(0).value(), 1.0);
}

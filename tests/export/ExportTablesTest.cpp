// The transaction, task and expense export tables: columns per unit, signs
// seen from the listed account, split and totals rows, attachment links, time
// items inside the interval; and golden CSV and HTML files of the seeded
// ledger written through them.

#include "TWExportPrint.h"
#include "TWExportTestSupport.h"
#include "TWExportTransactions.h"
#include "TWExportWork.h"
#include "TWSerializerCSV.h"
#include "TWSerializerHTML.h"
#include "TWSerializerPDF.h"

#include <gtest/gtest.h>

namespace
{

TWFieldList fields(TWBusiness &business, const QList<qint32> &identifiers)
{
    TWFieldList list;
    for (const qint32 identifier : identifiers)
        list.append(business.fieldWithIdentifier(identifier));
    return list;
}

TWExportTransactionsSettingsPtr settings(TWBusiness &business, const QList<qint32> &identifiers,
                                         bool includeAttachments = true)
{
    return TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
        0, nullptr, 0, QDateTime(), QDateTime(), TWAccountList(), fields(business, identifiers),
        includeAttachments);
}

// The export list of the accounts, as the export sheet builds it.
TWTransactionList exportList(TWBusiness &business, const TWAccountList &accounts)
{
    const TWTransactionList found =
        business.transactionsForAccounts(accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
    return business.exportTransactionsForAccounts(accounts, found);
}

// The cells of one row, by column (empty text for a gap).
QMap<quint32, QString> row(const TWCellList &cells, quint32 number)
{
    QMap<quint32, QString> values;
    for (const TWCell &cell : cells) {
        if (cell.row() == number)
            values.insert(cell.column(), cell.value());
    }
    return values;
}

quint32 rowCount(const TWCellList &cells)
{
    return cells.isEmpty() ? 0 : cells.constLast().row() + 1;
}

const QList<qint32> kLedgerColumns{-3, -4, -5, -6, -7, -8, -10, -11, -12, -13, -16};

} // namespace

TEST(ExportTablesTest, GoldenCsvAndHtmlOfTheSeededLedger)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWAccountList accounts{b.accountWithIdentifier(kChecking),
                                 b.accountWithIdentifier(kSavings)};
    const TWTransactionList list = exportList(b, accounts);
    const auto csv = TWExportTransactions::exportTransactionsWithTransactions(
        list, false, false, settings(b, kLedgerColumns), {}, &b);
    twExpectGolden(QStringLiteral("seeded.csv"),
                   TWSerializerCSV::serializerWithCells(csv->cells())->data());
    const auto html = TWExportTransactions::exportTransactionsWithTransactions(
        list, true, true, settings(b, kLedgerColumns), {}, &b);
    TWCellList cells{TWCell(QStringLiteral("Transactions & <more>"), QVariant(), QUrl(),
                            TWCellStyleLarge | TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText,
                            0, 0, false, false, false, 1)};
    for (TWCell cell : html->cells()) {
        cell.setRow(cell.row() + 2);
        cells.append(cell);
    }
    twExpectGolden(QStringLiteral("seeded.html"),
                   TWSerializerHTML::serializerWithCells(cells)->data());
    TWPdfReadBack::keep(TWSerializerPDF::serializerWithCells(cells)->data());
}

TEST(ExportTablesTest, MoneyColumnsFollowTheUnitsUsed)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    // Savings alone: dollars only, one column per money field.
    auto table = TWExportTransactions::exportTransactionsWithTransactions(
        exportList(b, {b.accountWithIdentifier(kSavings)}), true, false,
        settings(b, {-5, -10, -11, -12}), {}, &b);
    TWCellList cells = table->cells();
    EXPECT_EQ(row(cells, 0).values(),
              QStringList({"Payee", "Debit (USD)", "Credit (USD)", "Total (USD)"}));
    EXPECT_EQ(row(cells, 1), (QMap<quint32, QString>{{0, "Transfer"}, {1, "12.50"}, {3, "12.50"}}));
    // The totals row: one bold cell per money field, no label.
    const QMap<quint32, QString> totals = row(cells, 2);
    EXPECT_EQ(totals, (QMap<quint32, QString>{{1, "12.50"}, {2, "0.00"}, {3, "12.50"}}));
    EXPECT_EQ(cells.constLast().style(), quint32(TWCellStyleBold));

    // Checking: dollars and euros, then the home column. The euro deposit
    // fills its own column and the home one.
    table = TWExportTransactions::exportTransactionsWithTransactions(
        exportList(b, {b.accountWithIdentifier(kChecking)}), false, false,
        settings(b, {-4, -12, -16}), {}, &b);
    cells = table->cells();
    EXPECT_EQ(row(cells, 0).values(),
              QStringList({"Identifier", "Total (USD)", "Total (EUR)", "Total (USD)", "Unit"}));
    QMap<quint32, QString> euros;
    for (quint32 r = 1; r < rowCount(cells); ++r) {
        if (row(cells, r).value(0) == QLatin1String("5"))
            euros = row(cells, r);
    }
    EXPECT_EQ(euros, (QMap<quint32, QString>{{0, "5"}, {2, "100.00"}, {3, "135.00"}, {4, "EUR"}}));
}

TEST(ExportTablesTest, RowsSeenFromTheirAccountWithSplitsAndTotals)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWTransactionList list =
        exportList(b, {b.accountWithIdentifier(kChecking), b.accountWithIdentifier(kSavings)});
    auto table = TWExportTransactions::exportTransactionsWithTransactions(
        list, true, false, settings(b, {-4, -6, -7, -8, -10, -11}), {}, &b);
    const TWCellList cells = table->cells();
    // Columns: id, description, account, other account, debit (USD, EUR,
    // home), credit (USD, EUR, home).
    QList<QMap<quint32, QString>> rows;
    for (quint32 r = 0; r < rowCount(cells); ++r)
        rows.append(row(cells, r));
    // Rent paid from checking (its account 2): a credit, accounts swapped.
    const auto rent = std::find_if(rows.begin(), rows.end(),
                                   [](const auto &r) { return r.value(0) == QLatin1String("2"); });
    ASSERT_NE(rent, rows.end());
    EXPECT_EQ(*rent, (QMap<quint32, QString>{{0, "2"},
                                             {1, "March rent"},
                                             {2, "Checking"},
                                             {3, "Rent"},
                                             {7, "800.00"},
                                             {9, "800.00"}}));
    // The split deposit: "Split" in both account columns, one row per line.
    const auto split = std::find_if(rows.begin(), rows.end(),
                                    [](const auto &r) { return r.value(0) == QLatin1String("4"); });
    ASSERT_NE(split, rows.end());
    EXPECT_EQ(split->value(2), QStringLiteral("Split"));
    EXPECT_FALSE(split->contains(4));
    EXPECT_EQ(*(split + 1), (QMap<quint32, QString>{{1, "Takings"},
                                                    {2, "Split - Checking"},
                                                    {3, "Split - Checking"},
                                                    {4, "100.00"},
                                                    {6, "100.00"}}));
    EXPECT_EQ(
        *(split + 2),
        (QMap<quint32, QString>{
            {1, "Goods"}, {2, "Split - Sales"}, {3, "Split - Sales"}, {7, "70.00"}, {9, "70.00"}}));
    // Two totals rows: after checking's group and after the last row.
    int totalsRows = 0;
    for (const TWCell &cell : cells)
        totalsRows += cell.style() == TWCellStyleBold && cell.column() == 6 ? 1 : 0;
    EXPECT_EQ(totalsRows, 2);
    EXPECT_EQ(rows.constLast(),
              (QMap<quint32, QString>{
                  {4, "12.50"}, {5, "0.00"}, {6, "12.50"}, {7, "0.00"}, {8, "0.00"}, {9, "0.00"}}));

    // An empty list: the header row alone.
    auto empty = TWExportTransactions::exportTransactionsWithTransactions(
        {}, true, false, settings(b, {-4, -12}), {}, &b);
    const TWCellList header = empty->cells();
    EXPECT_EQ(rowCount(header), 1u);
}

TEST(ExportTablesTest, MileageColumnsAndAttachmentLinks)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionPtr trip = twTransaction(b, 9, QDate(2024, 3, 18), kRent, kChecking, 4200);
    trip->setUnit(b.unitWithCode(QStringLiteral("MIL")));
    trip->setTotalStart(100000);
    trip->setTotalEnd(0);
    trip->setTotalBusiness(2814);
    trip->setHasAttachments(true);
    trip->setAttachments(TWAttachmentList{
        TWAttachment::attachmentWithFileName(QStringLiteral("a b.pdf"), QString(), QString(), 0, 0,
                                             0, QString(), 0, 0, 0, 71),
        TWAttachment::attachmentWithFileName(QStringLiteral("c.jpg"), QString(), QString(), 0, 1, 0,
                                             QString(), 0, 0, 0, 72)});
    trip->setActiveAccountIdentifier(kRent);
    const QHash<qint32, QString> names{{71, QStringLiteral("a b.pdf")},
                                       {72, QStringLiteral("c.jpg")}};
    auto table = TWExportTransactions::exportTransactionsWithTransactions(
        {trip}, true, false, settings(b, {-12, -14}), names, &b);
    const TWCellList cells = table->cells();
    EXPECT_EQ(row(cells, 0).values(), QStringList({"Total (MIL)", "Total (start)", "Total (end)",
                                                   "Total (USD)", "Attachments"}));
    // A reading of 0 leaves its cell empty.
    EXPECT_EQ(
        row(cells, 1),
        (QMap<quint32, QString>{{0, "420.0"}, {1, "10000.0"}, {3, "28.14"}, {4, "a b.pdf,c.jpg"}}));
    const auto attachment = std::find_if(cells.begin(), cells.end(), [](const TWCell &c) {
        return c.column() == 4 && c.row() == 1;
    });
    ASSERT_NE(attachment, cells.end());
    EXPECT_EQ(attachment->link().toEncoded(), QByteArray("./Attachments/a%20b.pdf"));
    // Totals leave the odometer columns empty.
    EXPECT_EQ(row(cells, 2), (QMap<quint32, QString>{{0, "420.0"}, {3, "28.14"}}));

    auto unlinked = TWExportTransactions::exportTransactionsWithTransactions(
        {trip}, false, false, settings(b, {-14}, false), names, &b);
    EXPECT_TRUE(unlinked->cells().constLast().link().isEmpty());
}

TEST(ExportTablesTest, TasksWithTimeItemsInsideTheInterval)
{
    TWFixedClock clock(2024, 3, 20, 9, 30);
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    auto client =
        std::make_shared<TWClient>(1, QStringLiteral("Acme"), QString(), 0, 0, QImage(), QString(),
                                   QString(), QString(), QUrl(), QString(), QString());
    ASSERT_FALSE(b.addClient(client, false));
    ASSERT_FALSE(
        b.addProject(TWProject::projectWithDate(twLocal(2024, 3, 1), false, QStringLiteral("Site"),
                                                TWProjectTypeProject, QDateTime(), QDateTime(), 0,
                                                b.homeUnit(), 0, QString(), 1, 10),
                     false));
    ASSERT_FALSE(
        b.addTask(TWTask::taskWithDate(twLocal(2024, 3, 4), false, QStringLiteral("Build"),
                                       TWTaskTypeTimed, 0, 0, 6000, 7.5, QString(), 10, 20),
                  false));
    ASSERT_FALSE(b.addTask(TWTask::taskWithDate(twLocal(2024, 3, 5), true, QStringLiteral("Fee"), 5,
                                                0, 1, -2500, 10, QStringLiteral("monthly"), 10, 21),
                           false));
    const auto item = [&](qint32 identifier, const QDateTime &start, qint64 seconds) {
        ASSERT_FALSE(b.addTaskItem(TWTaskItem::taskItemWithStartDateTime(
                                       start, start.addSecs(seconds),
                                       QStringLiteral("item %1").arg(identifier), 20, identifier),
                                   false));
    };
    item(31, twLocal(2024, 3, 1, 23, 59, 59), 600);  // a second before the interval
    item(32, twLocal(2024, 3, 3, 23, 59, 59), 3600); // at its last second
    item(33, twLocal(2024, 3, 2, 0, 0, 0), 1800);
    item(34, twLocal(2024, 3, 4, 0, 0, 0), 60);
    const auto taskSettings = TWExportTasksSettings::exportTasksSettingsWithFileType(
        0, 6, twLocal(2024, 3, 2), twLocal(2024, 3, 3), {},
        {-6, -4, -8, -10, -15, -14, -13, -5, -99});
    auto table = TWExportTasks::exportTasksWithTasks(b.tasksForProjects(nullptr, 0, {}, {}), false,
                                                     taskSettings, &b);
    const TWCellList cells = table->cells();
    EXPECT_EQ(row(cells, 0).values(),
              QStringList({"Name", "Type", "Start Date", "Quantity", "Notes", "Total", "Tax Rate",
                           "Completed", QString()}));
    ASSERT_EQ(rowCount(cells), 5u);
    EXPECT_EQ(row(cells, 1).value(0), QStringLiteral("Build"));
    EXPECT_EQ(row(cells, 1).value(6), QStringLiteral("7.5%"));
    EXPECT_EQ(row(cells, 1).value(7), QStringLiteral("0"));
    // The two items inside the interval, in start order.
    EXPECT_EQ(row(cells, 2).value(1), QStringLiteral("task item"));
    EXPECT_EQ(row(cells, 2).value(4), QStringLiteral("item 33"));
    EXPECT_EQ(row(cells, 2).value(3), QStringLiteral("0:30:00"));
    EXPECT_EQ(row(cells, 3).value(4), QStringLiteral("item 32"));
    EXPECT_FALSE(row(cells, 2).contains(0));
    // A monthly task with a negative rate: its total in brackets.
    EXPECT_EQ(row(cells, 4).value(1), QStringLiteral("month"));
    EXPECT_EQ(row(cells, 4).value(5), QStringLiteral("(27.50)"));
    EXPECT_EQ(row(cells, 4).value(6), QStringLiteral("10%"));
    EXPECT_FALSE(row(cells, 4).contains(8));

    // Expenses: grouping only when asked, notes left empty in place.
    ASSERT_FALSE(
        b.addExpense(TWExpense::expenseWithDate(twLocal(2024, 3, 6), QStringLiteral("Paint"), 2.5,
                                                100000, 0, QString(), 10, 40),
                     false));
    const auto expenseSettings = TWExportExpensesSettings::exportExpensesSettingsWithFileType(
        0, 0, QDateTime(), QDateTime(), {}, {-4, -10, -9, -5, -2});
    const TWCellList expenses =
        TWExportExpenses::exportExpensesWithExpenses(b.expensesForProjects(nullptr, 0, {}, {}),
                                                     true, expenseSettings, &b)
            ->cells();
    EXPECT_EQ(row(expenses, 1),
              (QMap<quint32, QString>{{0, "Paint"}, {2, "2,500.00"}, {3, "2.5"}, {4, "Acme"}}));
    // No columns, no cells.
    const auto none = TWExportExpensesSettings::exportExpensesSettingsWithFileType(
        0, 0, QDateTime(), QDateTime(), {}, {});
    EXPECT_TRUE(
        TWExportExpenses::exportExpensesWithExpenses({}, false, none, &b)->cells().isEmpty());
}

TEST(PdfWriterTest, RegisterPrintsOnThePrintersPaper)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWAccountPtr checking = b.accountWithIdentifier(kChecking);
    TWTransactionList rows = b.transactionsForAccount(*checking);
    b.updateBalance(rows);
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(36, 36, 36, 36),
                         QPageLayout::Point);
    const QByteArray pdf =
        TWExportPrint::registerPDF(&b, rows, fields(b, {-3, -5, -12, -13}), {}, a4);
    TWPdfReadBack document(pdf);
    ASSERT_EQ(document.pageCount(), 1);
    EXPECT_NEAR(document.document().pagePointSize(0).width(), 595, 1);
    EXPECT_NEAR(document.document().pagePointSize(0).height(), 842, 1);
    const QString text = document.text(0);
    EXPECT_TRUE(text.contains(QLatin1String("Payee"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("Landlord")));
    EXPECT_TRUE(text.contains(QLatin1String("922.50")));
    // The document's own export choices are left alone.
    EXPECT_EQ(b.exportTransactionsSettings()->fileType(), 0u);
}

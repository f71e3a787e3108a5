// The transaction, task and expense export tables: columns per unit, signs
// seen from the listed account, split and totals rows, attachment links, time
// items inside the interval; and golden CSV and HTML files of the seeded
// ledger written through them.

#include "TWExportTestSupport.h"
#include "export/core/TWExportPrint.h"
#include "export/core/TWExportTransactions.h"
#include "export/core/TWExportWork.h"
#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerPDF.h"

#include <QBuffer>

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
    EXPECT_TRUE(text.contains(QLatin1String("Payee"))) << text;
    EXPECT_TRUE(text.contains(QLatin1String("Landlord")));
    EXPECT_TRUE(text.contains(QLatin1String("922.50")));
    // The document's own export choices are left alone.
    EXPECT_EQ(b.exportTransactionsSettings()->fileType(), 0u);
}

// A group's totals row adds up the column printed above it, a split's lines
// in other accounts included, so that the printed figures add up.
TEST(ExportTablesTest, TotalsOfAGroupAddEveryLinePrintedAboveThem)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWTransactionList list =
        exportList(b, {b.accountWithIdentifier(kChecking), b.accountWithIdentifier(kSales)});
    auto table = TWExportTransactions::exportTransactionsWithTransactions(
        list, true, false, settings(b, {-4, -10, -11, -12}), {}, &b);
    const TWCellList cells = table->cells();
    // Columns: id, debit (USD, EUR, home), credit (USD, EUR, home), total (USD, EUR, home).
    const auto cents = [](const QString &text) { return qRound64(text.toDouble() * 100); };
    QMap<quint32, qint64> sums;
    int totalsRows = 0;
    bool sawSplitLine = false;
    for (quint32 r = 1; r < rowCount(cells); ++r) {
        const QMap<quint32, QString> values = row(cells, r);
        const bool totals = std::any_of(cells.cbegin(), cells.cend(), [r](const TWCell &cell) {
            return cell.row() == r && cell.style() == TWCellStyleBold;
        });
        sawSplitLine = sawSplitLine || (!totals && !values.contains(0));
        if (!totals) {
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                if (it.key() != 0)
                    sums[it.key()] += cents(it.value());
            continue;
        }
        ++totalsRows;
        for (quint32 column = 1; column <= 9; ++column)
            EXPECT_EQ(cents(values.value(column)), sums.value(column))
                << "row " << r << " column " << column;
        sums.clear();
    }
    EXPECT_EQ(totalsRows, 2);
    EXPECT_TRUE(sawSplitLine);
}

// Written a part at a time, an export is the same file as written whole,
// however small the parts.
TEST(ExportTablesTest, APartAtATimeGivesTheSameCsvAndHtmlAsTheWholeTable)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWTransactionList list =
        exportList(b, {b.accountWithIdentifier(kChecking), b.accountWithIdentifier(kSavings)});
    const auto table = [&] {
        return TWExportTransactions::exportTransactionsWithTransactions(
            list, true, true, settings(b, kLedgerColumns), {}, &b);
    };
    const TWCellList whole = table()->cells();
    for (const qsizetype rows : {1, 3, 1000}) {
        QString csv, html;
        TWSerializerCSV::Stream csvStream;
        TWSerializerHTML::Stream htmlStream;
        int parts = 0;
        ASSERT_OK(table()->cells(
            [&](TWCellList &part) -> TWErrorResult {
                ++parts;
                csvStream.append(part, csv);
                htmlStream.append(part, html);
                return std::nullopt;
            },
            rows));
        htmlStream.finish(html);
        EXPECT_EQ(csv, TWSerializerCSV::serializerWithCells(whole)->text()) << rows;
        EXPECT_EQ(html, TWSerializerHTML::serializerWithCells(whole)->text()) << rows;
        EXPECT_EQ(parts > 1, rows < 10) << rows;
    }
    // An error from the receiver stops the table there.
    int calls = 0;
    const TWErrorResult stopped = table()->cells(
        [&calls](TWCellList &) -> TWErrorResult {
            ++calls;
            return TWError(QStringLiteral("test"), 1, QStringLiteral("full"));
        },
        1);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(calls, 1);
}

// Drawn a part at a time (measured in a first pass), a PDF has the pages and
// the text of the PDF drawn from the whole table.
TEST(ExportTablesTest, APdfDrawnAPartAtATimeIsThePdfOfTheWholeTable)
{
    auto business = twSeededBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionList list =
        exportList(b, {b.accountWithIdentifier(kChecking), b.accountWithIdentifier(kSavings)});
    // Enough rows for several pages.
    const TWTransactionList seeded = list;
    for (int i = 0; i < 20; ++i)
        list.append(seeded);
    const auto table = [&] {
        return std::make_unique<TWExportTransactions>(list, true, true, settings(b, kLedgerColumns),
                                                      QHash<qint32, QString>(), &b);
    };
    TWPdfReadBack whole(TWSerializerPDF::serializerWithCells(table()->cells())->data());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    const auto writer = TWSerializerPDF::serializerWithCells({});
    ASSERT_OK(writer->writeParts(
        [&](const TWSerializerPDF::PartSink &sink) { return table()->cells(sink, 7); }, buffer));
    buffer.close();
    TWPdfReadBack parts(bytes);
    ASSERT_GT(whole.pageCount(), 1);
    ASSERT_EQ(parts.pageCount(), whole.pageCount());
    for (int page = 0; page < whole.pageCount(); ++page)
        EXPECT_EQ(parts.text(page), whole.text(page)) << page;
}

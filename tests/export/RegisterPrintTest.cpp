// The printed register: laid out to the printer's paper whatever its columns,
// amounts and balance kept whole, text on every page with the title, check
// boxes as marks, and the work safe on a worker thread.

#include "TWExportTestSupport.h"
#include "export/core/TWExportPrint.h"

#include "model/TWFormatter.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{

TWFieldList printedFields(TWBusiness &business, const QList<qint32> &identifiers)
{
    TWFieldList list;
    for (const qint32 identifier : identifiers)
        list.append(business.fieldWithIdentifier(identifier));
    return list;
}

// Every column the register offers for an account, as a wide register shows them.
const QList<qint32> kWideRegister = {-2, -3, -4, -5, -6, -7, -8, -10, -11, -12, -13};

class RegisterPrintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twSeededBusiness();
        ASSERT_TRUE(business);
        TWBusiness &b = *business;
        // A busy account with long texts: far wider than a page at full size.
        for (int n = 0; n < 300; ++n)
            twStore(b,
                    twTransaction(
                        b, 100 + n, QDate(2024, 4, 1).addDays(n % 60), n % 2 ? kChecking : kRent,
                        n % 2 ? kSales : kChecking, 1000 + 37 * n,
                        QStringLiteral("A payee with a rather long trading name %1").arg(n),
                        QStringLiteral("A description that goes on and on about line %1").arg(n)));
        rows = b.transactionsForAccount(*b.accountWithIdentifier(kChecking));
        b.updateBalance(rows);
    }

    QString balanceText(const TWTransaction &transaction) const
    {
        QString text = TWFormatter::formatter().valueString(
            transaction.balance(), business->accountWithIdentifier(kChecking)->unit().get(), false,
            true, false, true, true);
        text.removeIf([](QChar c) { return c.isSpace(); });
        return text;
    }

    std::unique_ptr<TWBusiness> business;
    TWTransactionList rows;
    const QPageLayout a4{QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(36, 36, 36, 36),
                         QPageLayout::Point};
};

} // namespace

TEST_F(RegisterPrintTest, AWideRegisterPrintsOnThePaperWithTextAmountsAndBalanceOnEveryPage)
{
    TWBusiness &b = *business;
    const QByteArray pdf = TWExportPrint::registerPDF(&b, rows, printedFields(b, kWideRegister), {},
                                                      a4, QStringLiteral("Checking"));
    TWPdfReadBack::keep(pdf);
    TWPdfReadBack document(pdf);
    ASSERT_GE(document.pageCount(), 3);
    for (int page = 0; page < document.pageCount(); ++page) {
        SCOPED_TRACE(page);
        // The printer's paper, not a page as wide as the table.
        EXPECT_NEAR(document.document().pagePointSize(page).width(), 595, 1);
        EXPECT_NEAR(document.document().pagePointSize(page).height(), 842, 1);
        const QString text = document.text(page);
        EXPECT_TRUE(text.startsWith(QLatin1String("Checking"))) << text;
        EXPECT_TRUE(text.contains(QStringLiteral("Page%1").arg(page + 1))) << text;
        // The headings of the amounts and the balance repeat on every page.
        EXPECT_TRUE(text.contains(QLatin1String("Balance"))) << text;
        EXPECT_TRUE(text.contains(QLatin1String("Credit"))) << text;
    }
    // The first and the last row's balance are printed whole.
    EXPECT_TRUE(document.text(0).contains(balanceText(*rows.constFirst())));
    EXPECT_TRUE(document.text(document.pageCount() - 1).contains(balanceText(*rows.constLast())));
    EXPECT_TRUE(document.text(0).contains(QLatin1String("1,500.00")));
    // Vector text: a few kilobytes a page, not a picture of it.
    EXPECT_LT(pdf.size(), 60000 + 20000 * document.pageCount());
}

TEST_F(RegisterPrintTest, TextColumnsGiveWayBeforeTheTypeShrinksAndLandscapeIsOfferedWhenNeeded)
{
    TWBusiness &b = *business;
    const TWExportPrint::Table table = TWExportPrint::registerTable(
        &b, rows, printedFields(b, kWideRegister), {}, QStringLiteral("Checking"));
    // Debit, credit and total have a column in euros and one in the home
    // currency; the dollar column would repeat the home one and is left out.
    ASSERT_EQ(table.columns.size(), 14);
    QStringList titles;
    for (const TWExportPrint::Column &column : table.columns)
        titles.append(column.title);
    EXPECT_EQ(titles.mid(7, 6), (QStringList{"Debit (EUR)", "Debit (USD)", "Credit (EUR)",
                                             "Credit (USD)", "Total (EUR)", "Total (USD)"}));
    EXPECT_EQ(table.columns.at(0).kind, TWExportPrint::ColumnKind::Check);
    EXPECT_EQ(table.columns.at(4).kind, TWExportPrint::ColumnKind::Text);
    EXPECT_EQ(table.columns.constLast().title, QStringLiteral("Balance"));
    QList<int> amounts;
    for (int column = 7; column < table.columns.size(); ++column) {
        EXPECT_EQ(table.columns.at(column).kind, TWExportPrint::ColumnKind::Amount) << column;
        amounts.append(column);
    }

    // On a wide sheet everything keeps its width.
    const TWExportPrint::Layout wide = TWExportPrint::layOut(table, 4000);
    EXPECT_TRUE(wide.fits);
    EXPECT_FALSE(wide.shortened);
    EXPECT_DOUBLE_EQ(wide.scale, 1);

    // On a portrait page the payee and description give way; the amounts do not.
    const double width = 523;
    const TWExportPrint::Layout narrow = TWExportPrint::layOut(table, width);
    EXPECT_TRUE(narrow.fits);
    EXPECT_TRUE(narrow.shortened);
    EXPECT_LE(narrow.offsets.constLast() + narrow.widths.constLast(), width + 0.5);
    for (const int amount : amounts)
        EXPECT_NEAR(narrow.widths.at(amount), wide.widths.at(amount) * narrow.scale, 0.01)
            << amount;
    EXPECT_LT(narrow.widths.at(4), wide.widths.at(4) * narrow.scale);

    QPageLayout landscape = a4;
    landscape.setOrientation(QPageLayout::Landscape);
    EXPECT_FALSE(TWExportPrint::fitsWithoutShortening(table, a4));
    const TWExportPrint::Table small = TWExportPrint::registerTable(
        &b, rows.mid(0, 3), printedFields(b, {-3, -12}), {}, QStringLiteral("Checking"));
    EXPECT_TRUE(TWExportPrint::fitsWithoutShortening(small, a4));
}

// A column title too long for its column wraps between words; a single word
// that does not fit is shortened, never broken across lines.
TEST_F(RegisterPrintTest, ColumnTitlesWrapBetweenWordsOnly)
{
    TWBusiness &b = *business;
    const TWFieldList fields = printedFields(b, kWideRegister + QList<qint32>{-14});
    const TWExportPrint::Table table =
        TWExportPrint::registerTable(&b, rows, fields, {}, QStringLiteral("Checking"));
    TWPdfReadBack document(TWExportPrint::tablePDF(table, a4));
    ASSERT_GE(document.pageCount(), 1);
    QString raw = document.document().getAllText(0).text();
    raw.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    int checked = 0;
    for (const TWExportPrint::Column &column : table.columns) {
        for (const QString &word : column.title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            for (qsizetype cut = 1; cut < word.size(); ++cut) {
                ++checked;
                EXPECT_FALSE(raw.contains(word.left(cut) + QLatin1Char('\n') + word.mid(cut)))
                    << word.toStdString() << " cut after " << cut;
            }
        }
    }
    EXPECT_GT(checked, 50);
}

TEST_F(RegisterPrintTest, CheckBoxesPrintAsMarksNotAsDigits)
{
    TWBusiness &b = *business;
    const TWTransactionList first = rows.mid(0, 5);
    const QByteArray pdf = TWExportPrint::registerPDF(&b, first, printedFields(b, {-2, -5}), {}, a4,
                                                      QStringLiteral("Checking"));
    TWPdfReadBack document(pdf);
    ASSERT_EQ(document.pageCount(), 1);
    const QString text = document.text(0);
    EXPECT_TRUE(text.contains(QLatin1String("O'Brien&Co"))) << text;
    // The only digit on the page is its number.
    EXPECT_EQ(std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); }), 1)
        << text;
}

TEST_F(RegisterPrintTest, PagesAreMadeOnAWorkerThreadWithProgressAndCanBeStopped)
{
    TWBusiness &b = *business;
    const TWExportPrint::Table table = TWExportPrint::registerTable(
        &b, rows, printedFields(b, kWideRegister), {}, QStringLiteral("Checking"));
    QByteArray pdf;
    QList<int> done;
    int pages = 0;
    std::thread worker([&] {
        pdf = TWExportPrint::tablePDF(table, a4, [&](int page, int count) {
            done.append(page);
            pages = count;
            return true;
        });
    });
    worker.join();
    TWPdfReadBack document(pdf);
    ASSERT_EQ(document.pageCount(), pages);
    ASSERT_EQ(done.size(), pages);
    EXPECT_EQ(done.constLast(), pages);
    EXPECT_FALSE(document.text(pages - 1).isEmpty());

    // Stopped after the first page: nothing to print.
    int calls = 0;
    EXPECT_TRUE(
        TWExportPrint::tablePDF(table, a4, [&](int, int) { return ++calls < 1; }).isEmpty());
    EXPECT_EQ(calls, 1);
}

#include "TWInvoiceRenderSupport.h"
#include "store/TWWorkTotals.h"

TEST(InvoiceTotalsTest, PrintedTaxAndDueAreTheLinesOwnSoThePageAddsUp)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    // Two lines at 7.5 %: 75 + 74.925 rounded per line is 150; the store
    // books its entry by rate group, trunc(1999 x 7.5 / 100) = 149, but the
    // page prints what its lines add up to.
    render.bill({render.addTask(twLocal(2024, 5, 1), QStringLiteral("Work"), 1000, 1, 7.5)},
                {render.addExpense(twLocal(2024, 5, 2), QStringLiteral("Parts"), 999, 7.5)});
    EXPECT_EQ(twInvoiceTax(*render.invoice, render.b()), 149);
    TWSendInvoiceDataPtr data = render.data();
    TWInvoiceOperation operation(data->copy());
    ASSERT_TRUE(operation.prepare());
    EXPECT_EQ(operation.invoiceSubtotalTotal(), 1999);
    EXPECT_EQ(operation.invoiceTaxTotal(), 75 + 75);
    EXPECT_EQ(operation.invoiceTotal(), 1075 + 1074);
    EXPECT_EQ(operation.invoiceTotal(),
              operation.invoiceSubtotalTotal() + operation.invoiceTaxTotal());

    TWReadPdf read(twRender(render.b(), data, QStringLiteral("totals")));
    ASSERT_TRUE(read.ok());
    const QString text = read.text(0);
    EXPECT_TRUE(text.contains(QStringLiteral("$1.50")));
    EXPECT_FALSE(text.contains(QStringLiteral("$1.49")));
    EXPECT_TRUE(text.contains(QStringLiteral("$21.49")));
    EXPECT_FALSE(text.contains(QStringLiteral("$21.48")));
    // Each row keeps its own tax.
    EXPECT_TRUE(text.contains(QStringLiteral("0.75")));
}

TEST(InvoiceTotalsTest, BalanceAndPaymentsCountOnlyWhenShown)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 1), QStringLiteral("Work"), 10000, 1)}, {});
    TWSendInvoiceDataPtr data = render.data();
    data->setBalance(2500);
    data->setPayments(4000);
    const auto due = [&] { return TWInvoiceOperation(data->copy()).invoiceTotal(); };
    EXPECT_EQ(due(), 10000 + 2500 - 4000);
    data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayTotalBalance], false);
    EXPECT_EQ(due(), 10000 - 4000);
    data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayTotalPayments], false);
    EXPECT_EQ(due(), 10000);

    TWReadPdf read(twRender(render.b(), data));
    ASSERT_TRUE(read.ok());
    EXPECT_FALSE(read.text(0).contains(data->totalBalanceLabel()));
    EXPECT_FALSE(read.text(0).contains(QStringLiteral("$40.00")));

    // With no item column there is no table and no totals block.
    data->setDisplayBits(TWSendInvoiceData::kDefaultDisplayBits & ~(quint64(0x1FF) << 18) &
                         ~TWInvoiceDisplayMasks[TWDisplayItemType]);
    TWReadPdf bare(twRender(render.b(), data));
    ASSERT_TRUE(bare.ok());
    EXPECT_FALSE(bare.text(0).contains(data->totalDueLabel()));
}

TEST(InvoiceTotalsTest, ALinesTotalAndTheAmountDueAreItsSubtotalAndTaxAdded)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    // 55.00 at 0.7 %: the tax is 0.385 in exact terms but 0.38499... in
    // floating point (0.38), while 55.385 taken whole rounds to 55.39.
    render.bill({render.addTask(twLocal(2024, 5, 1), QStringLiteral("Work"), 5500, 1, 0.7)}, {});
    TWSendInvoiceDataPtr data = render.data();
    TWInvoiceOperation operation(data->copy());
    ASSERT_TRUE(operation.prepare());
    ASSERT_EQ(operation.invoiceSubtotalTotal(), 5500);
    ASSERT_EQ(operation.invoiceTaxTotal(), 38);
    EXPECT_EQ(operation.invoiceTotal(), 5538);

    TWReadPdf read(twRender(render.b(), data, QStringLiteral("line-total")));
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.text(0).contains(QStringLiteral("55.38"))) << read.text(0);
    EXPECT_FALSE(read.text(0).contains(QStringLiteral("55.39"))) << read.text(0);
}

#include "TWInvoiceRenderSupport.h"
#include "store/TWOwing.h"
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

// A credit note (an invoice whose lines bill less than nothing) is the
// charge it books, never a payment: the printed block shows what the client
// owes with no payment that was not made, in every unit's places, and a
// credit paid back owes nothing. The lists read the same.
TEST(InvoiceTotalsTest, ACreditNoteIsItsOwnChargeNotAPayment)
{
    TWFixedClock clock(2026, 6, 15);
    const struct {
        const char *unit;
        qint64 owed;   // on the client's earlier invoice
        qint64 credit; // the credit note's line
        bool paidBack;
        qint64 due;
    } rows[] = {
        {"USD", 50000, -10000, false, 40000}, {"KWD", 500000, -1234, false, 498766},
        {"JPY", 50000, -10000, false, 40000}, {"USD", 0, -10000, false, -10000},
        {"USD", 0, -10000, true, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.unit) + " " + std::to_string(row.owed) +
                     (row.paidBack ? " paid back" : ""));
        TWRenderBook render = twRenderBook();
        ASSERT_TRUE(render.book.business);
        TWBusiness &b = render.b();
        const TWProjectPtr project = TWProject::projectWithDate(
            twLocal(2026, 1, 1), false, QStringLiteral("Delivery"), TWProjectTypeProject, {}, {}, 0,
            b.unitWithCode(QString::fromLatin1(row.unit)), 0.0, {},
            render.book.client->identifier(), b.nextProjectIdentifier());
        ASSERT_OK(b.addProject(project, false));
        if (row.owed) {
            const TWInvoicePtr earlier =
                render.book.addInvoice(QStringLiteral("Goods"), {}, project);
            const TWExpensePtr goods = TWExpense::expenseWithDate(
                twLocal(2026, 5, 1), QStringLiteral("Goods"), 1.0, row.owed, 0.0, {},
                project->identifier(), b.nextExpenseIdentifier());
            ASSERT_OK(b.addExpense(goods, false));
            goods->setInvoiceQuantity(1.0);
            ASSERT_OK(b.updateInvoiceItems(earlier, {}, {goods}));
            ASSERT_OK(b.updateInvoiceTransaction(earlier, render.book.account(kReceivable),
                                                 render.book.account(kSales), nullptr));
        }
        const TWInvoicePtr note = render.book.addInvoice(QStringLiteral("Credit"), {}, project);
        note->setDate(twLocal(2026, 6, 1));
        ASSERT_OK(b.updateInvoice(note, false));
        const TWExpensePtr credit = TWExpense::expenseWithDate(
            twLocal(2026, 6, 1), QStringLiteral("Credit for late delivery"), 1.0, row.credit, 0.0,
            {}, project->identifier(), b.nextExpenseIdentifier());
        ASSERT_OK(b.addExpense(credit, false));
        credit->setInvoiceQuantity(1.0);
        ASSERT_OK(b.updateInvoiceItems(note, {}, {credit}));
        ASSERT_OK(b.updateInvoiceTransaction(note, render.book.account(kReceivable),
                                             render.book.account(kSales), nullptr));
        if (row.paidBack) {
            const TWTransactionPtr refund =
                render.book.addEntry(note, twLocal(2026, 6, 10), kReceivable, kBank, -row.credit);
            (void)refund;
        }
        twUpdateTransactions(*note, b);
        EXPECT_EQ(
            std::tuple(twTotal(*note, b), twPayments(*note, b), twOwe(*note, b)),
            std::tuple(row.credit, row.paidBack ? row.credit : 0, row.paidBack ? 0 : row.credit));

        TWSendInvoiceDataPtr send = b.sendInvoiceData(*render.book.client);
        send->setLayout(TWLayoutManager::layoutManager().layoutWithName(QStringLiteral("Classic")));
        twUpdateTasksExpenses(*note, b);
        twUpdateSendInvoiceData(*send, *note, b);
        TWInvoiceOperation operation(send->copy());
        ASSERT_TRUE(operation.prepare());
        EXPECT_EQ(operation.invoicePaymentsTotal(), row.paidBack ? row.credit : 0);
        EXPECT_EQ(operation.invoiceBalanceTotal(), row.owed);
        EXPECT_EQ(operation.invoiceTotal(), row.due);
    }
}

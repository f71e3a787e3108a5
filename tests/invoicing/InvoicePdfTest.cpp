#include "TWInvoiceRenderSupport.h"

#include "TWLocalized.h"

TEST(InvoicePdfTest, OnePageInvoiceOnClassic)
{
    TWFixedClock clock(2024, 6, 15);
    TWRenderBook render = twRenderBook();
    ASSERT_TRUE(render.book.business);
    render.bill({render.addTask(twLocal(2024, 5, 2), QStringLiteral("Design"), 5000, 3.5, 7.5,
                                QStringLiteral("Logo and letterhead")),
                 render.addTask(twLocal(2024, 5, 3), QStringLiteral("Fixed fee"), 12000, 1, 0,
                                QString(), TWTaskTypeFlat)},
                {render.addExpense(twLocal(2024, 5, 2), QStringLiteral("Printing"), 4599, 7.5)});
    TWSendInvoiceDataPtr data = render.data();
    data->setInvoiceHeader(QStringLiteral("Tallyworth Studio, invoice header"));
    data->setInvoiceFooter(QStringLiteral("Thank you for your business."));
    data->setInvoiceTerms(QStringLiteral("Payment due within 30 days."));
    TWErrorResult error;
    const QByteArray pdf = twRender(render.b(), data, QStringLiteral("classic"), &error);
    ASSERT_FALSE(error);
    TWReadPdf read(pdf);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.pages(), 1);
}

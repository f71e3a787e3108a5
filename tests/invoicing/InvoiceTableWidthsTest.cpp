// The invoice's item table gives every amount, date and type the width it
// needs on one line: the description gives way, never a number.

#include "TWInvoiceRenderSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"

#include <gtest/gtest.h>

TEST(InvoiceTableWidthsTest, NumbersNeverBreakAndTheColumnsMakeRoom)
{
    TWFixedClock clock(2024, 6, 15);
    for (const char *code : {"JPY", "USD", "KWD"}) {
        SCOPED_TRACE(code);
        TWRenderBook render = twRenderBook();
        ASSERT_TRUE(render.book.business);
        const qint64 large = 109999999999999;
        const TWTaskPtr big = render.addTask(twLocal(2024, 6, 3), QStringLiteral("Design"), large,
                                             1, 10, QString(), TWTaskTypeFlat);
        const TWTaskPtr small = render.addTask(twLocal(2024, 6, 4), QStringLiteral("Review"), 1250,
                                               2, 0, QString(), TWTaskTypeFlat);
        render.bill({big, small}, {});
        TWSendInvoiceDataPtr data = render.data();
        data->setUnit(render.b().unitWithCode(QString::fromLatin1(code)));
        TWInvoiceOperation operation(data->copy());
        ASSERT_TRUE(twRunOperation(operation, render.b().operationQueue()));
        TWReadPdf read(operation.pdfData());
        if (!qEnvironmentVariableIsEmpty("TW_INVOICE_DUMP_DIR"))
            twRender(render.b(), data, QStringLiteral("wide-%1").arg(code));
        ASSERT_TRUE(read.ok());
        const QString text = read.text(0);
        // The table stays inside the page's 572 points of content.
        ASSERT_FALSE(operation.columns().isEmpty());
        const TWColumn &last = operation.columns().last();
        EXPECT_LE(last.xOffset() + last.size().width(), 572);
        const TWFormatter &f = TWFormatter::formatter();
        const auto money = [&](qint64 value) {
            return f.valueString(value, data->unit().get(), false, true, false, true, true);
        };
        for (const QString &whole :
             {money(large), money(big->invoiceTax()), money(large + big->invoiceTax()),
              f.shortDateString(big->date()), f.taskTypeString(TWTaskTypeFlat),
              data->itemDateLabel(), data->itemTypeLabel(), data->itemQuantityLabel()})
            EXPECT_TRUE(text.contains(whole)) << whole.toStdString() << " in\n"
                                              << text.toStdString();
    }
}

// A quantity on an invoice reads back as the items list shows it, where Qt's
// own reading refuses the locale's grouping.

#include "TWTestSupport.h"
#include "invoicing/ui/TWInvoiceItemsModel.h"
#include "model/TWFormatter.h"

#include <gtest/gtest.h>

TEST(InvoiceQuantityText, WhatIsShownReadsBack)
{
    for (const char *name : {"es_ES", "pl_PL", "en_IN", "de_DE"}) {
        const TWLocaleGuard pinned{QString::fromLatin1(name)};
        for (double shown : {2500000.0, 1.5, 123456.25}) {
            double read = 0;
            const QString text = TWFormatter::formatter().numberString(shown);
            EXPECT_TRUE(twParseInvoiceQuantity(text, false, &read)) << name << " " << text;
            EXPECT_EQ(read, shown) << name << " " << text;
        }
    }
}

// Schedules of invoices and bills, run through the store's generation: each
// due occurrence is a new stored record carrying the schedule.

#include "TWInvoiceTestSupport.h"
#include "model/TWRepeat.h"

#include <gtest/gtest.h>

TEST(RepeatRecords, MonthlyInvoiceAndBillSchedulesMakeEachDueRecordOnce)
{
    TWFixedClock clock(2024, 9, 20, 12);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();

    const TWRepeatPtr invoices = TWRepeat::repeatWithType(
        TWRepeatTypeInvoice, 1, TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(invoices, false));
    const TWRepeatPtr bills = TWRepeat::repeatWithType(
        TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(bills, false));

    // The book's records are dated 1 June 2024.
    TWInvoicePtr invoice = book.addInvoice(QStringLiteral("Retainer"));
    invoice->setRepeatIdentifier(invoices->identifier());
    ASSERT_OK(b.updateInvoice(invoice, false));
    TWBillPtr bill = book.addBill(QStringLiteral("Hosting"));
    bill->setRepeatIdentifier(bills->identifier());
    ASSERT_OK(b.updateBill(bill, false));

    ASSERT_OK(b.updateRepeatItems(true, false));
    const auto dates = [](const auto &records) {
        QStringList out;
        for (const auto &record : records)
            out.append(record->date().date().toString(Qt::ISODate));
        out.sort();
        return out;
    };
    const QStringList expected{QStringLiteral("2024-06-01"), QStringLiteral("2024-07-01"),
                               QStringLiteral("2024-08-01"), QStringLiteral("2024-09-01")};
    EXPECT_EQ(dates(b.invoicesWithProject(*book.project)), expected);
    EXPECT_EQ(dates(b.billsWithMerchant(*book.merchant)), expected);
    for (const TWInvoicePtr &made : b.invoicesWithProject(*book.project))
        EXPECT_EQ(made->repeatIdentifier(), invoices->identifier());

    // A second run finds nothing more to make.
    ASSERT_OK(b.updateRepeatItems(true, false));
    EXPECT_EQ(b.invoices().size(), 4);
    EXPECT_EQ(b.bills().size(), 4);
}

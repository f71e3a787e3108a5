// Schedules of invoices and bills, run through the store's generation: each
// due occurrence is a new stored record carrying the schedule.

#include "TWInvoiceTestSupport.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"
#include "store/TWWorkTotals.h"

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

// A repeated invoice owes what the lines it carries bill: a timed task with
// no time left to bill gives an occurrence owing nothing, a flat task comes
// along with its line and owes what it owed.
TEST(RepeatRecords, ARepeatedInvoiceOwesWhatItsOwnLinesBill)
{
    TWFixedClock clock(2026, 12, 8, 12);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const qint32 project = book.project->identifier();
    const struct {
        std::uint32_t taskType;
        qint64 rate;
        double quantity; // billed on the first invoice
        qint64 owed;     // by the occurrence
    } rows[] = {{TWTaskTypeTimed, 9500, 37 * 3600.0, 0}, {TWTaskTypeFlat, 80000, 1.0, 80000}};
    for (const auto &row : rows) {
        const TWTaskPtr task =
            TWTask::taskWithDate(twLocal(2026, 10, 1), false, QStringLiteral("Work"), row.taskType,
                                 0.0, 1.0, row.rate, 0.0, {}, project, b.nextTaskIdentifier());
        ASSERT_OK(b.addTask(task, false));
        if (row.taskType == TWTaskTypeTimed) {
            ASSERT_OK(b.addTaskItem(TWTaskItem::taskItemWithStartDateTime(
                                        twLocal(2026, 10, 1, 8), twLocal(2026, 10, 2, 21),
                                        QString(), task->identifier(), b.nextTaskItemIdentifier()),
                                    false));
        }
        task->setInvoiceQuantity(row.quantity);

        const TWRepeatPtr monthly = TWRepeat::repeatWithType(
            TWRepeatTypeInvoice, 1, TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
        ASSERT_OK(b.addRepeat(monthly, false));
        TWInvoicePtr invoice = book.addInvoice(QStringLiteral("1071"));
        invoice->setDate(twLocal(2026, 10, 31));
        invoice->setRepeatIdentifier(monthly->identifier());
        ASSERT_OK(b.updateInvoice(invoice, false));
        ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
        ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                             book.account(kSales), nullptr));
        twUpdateTransactions(*invoice, b);
        const qint64 billed = twOwe(*invoice, b);
        EXPECT_GT(billed, 0);

        ASSERT_OK(b.updateRepeatItemsForRepeat(monthly, true, false));
        const QList<TWRepeatItem> items = b.itemsWithRepeatIdentifier(monthly->identifier());
        ASSERT_EQ(items.size(), 2) << row.taskType;
        const TWInvoicePtr made = items.last().record<TWInvoice>();
        EXPECT_EQ(made->date().date(), QDate(2026, 11, 30));
        twUpdateTransactions(*made, b);
        EXPECT_EQ(twOwe(*made, b), row.owed) << row.taskType;
        EXPECT_EQ(twInvoiceTotal(*made, b), row.owed) << row.taskType;
        EXPECT_EQ(twOwe(*invoice, b), billed);
    }
}

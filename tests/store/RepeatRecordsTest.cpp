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

// Bringing a repeated invoice or bill up to date (as opening the business
// does) books each occurrence's own charge and copies no payment, whatever
// the source's payments were and whichever account they went through.
TEST(RepeatRecords, AnOccurrenceBooksItsOwnChargeAndCopiesNoPayment)
{
    TWFixedClock clock(2026, 12, 8, 12);
    const auto addAccount = [](TWBusiness &b, TWAccountType type) {
        const TWAccountPtr made =
            TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), QStringLiteral("Other"), 0,
                                             0, type, QString(), QImage(), b.homeUnit(), QString());
        EXPECT_OK(b.addAccount(made, false));
        return made->identifier();
    };
    enum Source { EarlyDeposit, PaidBeforeEntry, EntryDeleted, Taxed, SplitPayment };
    const struct {
        const char *name;
        bool bill;
        Source source;
        TWAccountType through; // the payment's other account; Bank: the book's bank
    } rows[] = {
        {"deposit before the invoice", false, EarlyDeposit, TWAccountTypeBank},
        {"same-day payment stored first", false, PaidBeforeEntry, TWAccountTypeBank},
        {"entry deleted", false, EntryDeleted, TWAccountTypeBank},
        {"taxed invoice", false, Taxed, TWAccountTypeBank},
        {"undeposited funds", false, EarlyDeposit, TWAccountTypeCurrentAsset},
        {"one payment over two invoices", false, SplitPayment, TWAccountTypeBank},
        {"bill paid before its charge", true, EarlyDeposit, TWAccountTypeBank},
        {"bill charge deleted", true, EntryDeleted, TWAccountTypeBank},
        {"bill paid by the owner, charge deleted", true, EntryDeleted, TWAccountTypeEquity},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TWInvoiceBook book = twInvoiceBook();
        ASSERT_TRUE(book.business);
        TWBusiness &b = book.b();
        const qint32 through =
            row.through == TWAccountTypeBank ? kBank : addAccount(b, row.through);
        const TWRepeatPtr monthly =
            TWRepeat::repeatWithType(row.bill ? TWRepeatTypeBill : TWRepeatTypeInvoice, 1,
                                     TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
        ASSERT_OK(b.addRepeat(monthly, false));
        const QDateTime day = twLocal(2026, 10, 1);
        const QDateTime early = twLocal(2026, 9, 25);
        qint64 charge = 0;
        if (!row.bill) {
            const TWTaskPtr task =
                TWTask::taskWithDate(day, false, QStringLiteral("Retainer"), TWTaskTypeFlat, 0.0,
                                     1.0, 23000, row.source == Taxed ? 10.0 : 0.0, {},
                                     book.project->identifier(), b.nextTaskIdentifier());
            ASSERT_OK(b.addTask(task, false));
            task->setInvoiceQuantity(1.0);
            TWInvoicePtr invoice = book.addInvoice(QStringLiteral("RT-1"));
            invoice->setDate(day);
            invoice->setRepeatIdentifier(monthly->identifier());
            ASSERT_OK(b.updateInvoice(invoice, false));
            ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
            if (row.source == PaidBeforeEntry)
                book.addEntry(invoice, day, through, kReceivable, 5000);
            ASSERT_OK(b.updateInvoiceTransaction(invoice, book.account(kReceivable),
                                                 book.account(kSales), book.account(kSalesTax)));
            charge = row.source == Taxed ? 25300 : 23000;
            if (row.source == EarlyDeposit || row.source == Taxed)
                book.addEntry(invoice, early, through, kReceivable, 5000);
            if (row.source == EntryDeleted) {
                book.addEntry(invoice, early, through, kReceivable, 5000);
                ASSERT_OK(b.deleteTransaction(b.invoiceEntry(*invoice), false, true, true));
            }
            if (row.source == SplitPayment) {
                // 460.00 in one deposit paying this invoice and an earlier one.
                TWInvoicePtr other = book.addInvoice(QStringLiteral("RT-0"));
                TWTransactionPtr t = twNewTransaction(b);
                t->setDate(early);
                t->setUnit(b.homeUnit());
                t->setHasSplit(true);
                t->setSplits({TWSplit::splitWithIdentifier(0, {}, through, 46000, 46000, 46000, 0,
                                                           0, b.homeUnit()),
                              TWSplit::splitWithIdentifier(0, {}, kReceivable, -23000, -23000,
                                                           -23000, 0, 0, b.homeUnit()),
                              TWSplit::splitWithIdentifier(0, {}, kReceivable, -23000, -23000,
                                                           -23000, 0, 0, b.homeUnit())});
                twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
                ASSERT_OK(b.addTransaction(t, false, false, false, false));
                for (int i = 0; i < 2; ++i) {
                    const TWInvoicePtr &paid = i == 0 ? invoice : other;
                    ASSERT_OK(b.addRelationship(
                        TWRelationship::relationshipWithType(
                            TWRelationshipTypeInvoicePayment, 0.0, paid->projectIdentifier(),
                            paid->identifier(), t->identifier(), t->splits()[i + 1]->identifier(),
                            b.nextRelationshipIdentifier()),
                        false));
                }
            }
        } else {
            TWBillPtr bill = book.addBill(QStringLiteral("Phone"));
            bill->setDate(day);
            bill->setRepeatIdentifier(monthly->identifier());
            ASSERT_OK(b.updateBill(bill, false));
            const TWTransactionPtr own = book.addEntry(bill, day, kPayable, kAdvertising, -12000);
            book.addEntry(bill, early, kPayable, through, 12000);
            if (row.source == EntryDeleted) {
                // An earlier bill of the schedule still names the charge.
                TWBillPtr before = book.addBill(QStringLiteral("Phone"));
                before->setDate(twLocal(2026, 9, 1));
                before->setRepeatIdentifier(monthly->identifier());
                ASSERT_OK(b.updateBill(before, false));
                book.addEntry(before, before->date(), kPayable, kAdvertising, -12000);
                ASSERT_OK(b.deleteTransaction(own, false, true, true));
            }
            charge = 12000;
        }
        const qint64 banked = b.transactionTotalWithAccount(*book.account(through));
        const qint64 sales = b.transactionTotalWithAccount(*book.account(kSales));
        const qint64 expense = b.transactionTotalWithAccount(*book.account(kAdvertising));

        // Opening the business brings the schedule up to date: 1 Nov and 1 Dec.
        ASSERT_OK(b.updateRepeatItems(true, false));
        const QList<TWRepeatItem> items = b.itemsWithRepeatIdentifier(monthly->identifier());
        ASSERT_EQ(items.size(), row.bill && row.source == EntryDeleted ? 4 : 3);
        EXPECT_EQ(b.transactionTotalWithAccount(*book.account(through)), banked);
        for (int i = items.size() - 2; i < items.size(); ++i) {
            if (!row.bill) {
                const TWInvoicePtr made = items[i].record<TWInvoice>();
                twUpdateTransactions(*made, b);
                EXPECT_EQ(made->transactions().size(), 1);
                EXPECT_EQ(twOwe(*made, b), charge);
                EXPECT_EQ(twInvoiceTotal(*made, b), charge);
            } else {
                const TWBillPtr made = items[i].record<TWBill>();
                EXPECT_EQ(b.transactionsWithBill(*made).size(), 1);
                twUpdateTransactions(*made, b);
                EXPECT_EQ(twOwe(*made, b), charge);
            }
        }
        if (!row.bill)
            EXPECT_EQ(b.transactionTotalWithAccount(*book.account(kSales)), sales + 2 * 23000);
        else
            EXPECT_EQ(b.transactionTotalWithAccount(*book.account(kAdvertising)),
                      expense + 2 * 12000);
    }
}

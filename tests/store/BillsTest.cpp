#include "TWInvoiceTestSupport.h"

#include "WorkTestSupport.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

TEST(Bills, DeletesTakeSharedPaymentsWholeAndFollowTheMerchant)
{
    TWFixedClock clock(2024, 6, 15);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWBillPtr paper = book.addBill(QStringLiteral("Paper"), twLocal(2024, 6, 15));
    TWBillPtr ink = book.addBill(QStringLiteral("Ink"));
    TWTransactionPtr charge =
        book.addEntry(paper, twLocal(2024, 6, 1), kAdvertising, kPayable, 200);
    const TWTransactionPtr inkCharge =
        book.addEntry(ink, twLocal(2024, 6, 1), kAdvertising, kPayable, 80);
    TWTransactionPtr shared = book.addEntry(paper, twLocal(2024, 6, 2), kPayable, kBank, 50);
    book.link(shared, ink);

    EXPECT_EQ(b.transactionHomeOwingWithMerchants({book.merchant}), 180);
    EXPECT_EQ(b.transactionHomeOwingWithBills({paper}, {charge}), 200);
    EXPECT_TRUE(b.transactionOverdueWithMerchants({book.merchant}));
    twUpdateTransactions(*paper, b);
    EXPECT_FLOAT_EQ(twPercentPaid(*paper, b), 0.25f);

    const qint32 chargeIdentifier = charge->identifier();
    const qint32 sharedIdentifier = shared->identifier();
    const qint32 inkChargeIdentifier = inkCharge->identifier();
    // The payment shared with the ink bill goes whole: the payable account
    // keeps only what the ink bill books, never a debit no bill explains.
    ASSERT_OK(b.deleteBill(paper, true));
    EXPECT_FALSE(b.transactionWithIdentifier(chargeIdentifier));
    EXPECT_FALSE(b.transactionWithIdentifier(sharedIdentifier));
    EXPECT_EQ(twAccountSumsFromRows(b).value(kPayable), -80);
    EXPECT_EQ(b.transactionHomeOwingWithMerchants({book.merchant}), 80);
    EXPECT_FALSE(b.transactionOverdueWithMerchants({book.merchant}));

    // The merchant takes its bills and their entries along, all or nothing.
    twExec(b, "CREATE TRIGGER refuse BEFORE DELETE ON relationships "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_TRUE(b.deleteMerchant(book.merchant, true));
    EXPECT_EQ(b.bills().size(), 1);
    EXPECT_TRUE(b.transactionWithIdentifier(inkChargeIdentifier));
    twExec(b, "DROP TRIGGER refuse;");
    ASSERT_OK(b.deleteMerchant(book.merchant, true));
    EXPECT_TRUE(b.transactions().isEmpty());
    EXPECT_EQ(twCount(b, "SELECT COUNT(*) FROM relationships"), 0);
}

// The payable entry books on the bill's own day, whatever day was used last,
// and follows the bill when its date changes; it never lands in, or leaves,
// a closed period.
TEST(Bills, TheEntryBooksOnTheBillDayAndFollowsIt)
{
    TWFixedClock clock(2026, 12, 8);
    TWInvoiceBook book = twInvoiceBook();
    TWBusiness &b = book.b();
    TWBillPtr old = book.addBill(QStringLiteral("Old"));
    old->setDate(twLocal(2025, 2, 15));
    ASSERT_OK(b.updateBill(old, false));
    ASSERT_OK(b.createBillTransaction({old}, book.account(kPayable), nullptr, nullptr, true));
    twCloseTwentyTwentyFive(b);
    b.setLastDate(twLocal(2025, 2, 15));

    TWBillPtr bill = book.addBill(QStringLiteral("Rent"));
    bill->setDate(twLocal(2026, 11, 1));
    ASSERT_OK(b.updateBill(bill, false));
    TWTransactionPtr entry;
    ASSERT_OK(b.createBillTransaction({bill}, book.account(kPayable), nullptr, &entry, true));
    EXPECT_EQ(entry->date().date(), QDate(2026, 11, 1));

    bill->setDate(twLocal(2026, 10, 15));
    ASSERT_OK(b.updateBill(bill, false));
    EXPECT_EQ(b.transactionWithIdentifier(entry->identifier())->date().date(), QDate(2026, 10, 15));

    // Into the closed year, and a closed bill out of it: refused with the
    // reason, the bill and its entry as they were.
    const struct {
        TWBillPtr bill;
        QDateTime date;
        QDate entryDay;
    } refusals[] = {{bill, twLocal(2025, 6, 1), QDate(2026, 10, 15)},
                    {old, twLocal(2026, 3, 1), QDate(2025, 2, 15)}};
    for (const auto &row : refusals) {
        const TWBillPtr edited = row.bill->copy();
        edited->setDate(row.date);
        EXPECT_TRUE(b.updateBill(edited, false)) << row.date.toString();
        const TWBillPtr stored = b.billWithIdentifier(row.bill->identifier());
        EXPECT_EQ(stored->date().date(), row.entryDay);
        EXPECT_EQ(b.transactionsWithBill(*stored).first()->date().date(), row.entryDay);
    }
    // A new bill of the closed year gets no entry.
    TWBillPtr late = book.addBill(QStringLiteral("Late"));
    late->setDate(twLocal(2025, 3, 1));
    ASSERT_OK(b.updateBill(late, false));
    EXPECT_TRUE(b.createBillTransaction({late}, book.account(kPayable), nullptr, nullptr, true));
    EXPECT_TRUE(b.transactionsWithBill(*late).isEmpty());
}

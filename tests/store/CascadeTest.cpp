// Deleting a client or a merchant takes everything that belongs to it along,
// in one write: exactly those records, announced by their own notifications.

#include "TWInvoiceTestSupport.h"
#include "TWRepeat.h"
#include "WorkTestSupport.h"

#include <gtest/gtest.h>

TEST(Cascades, DeletingAClientRemovesItsWorkAndInvoicesOnly)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const qint32 project = book.project->identifier();
    const QDateTime day = twLocal(2024, 6, 3, 9);
    ASSERT_FALSE(b.addTask(twWorkTask(b.nextTaskIdentifier(), project, day), false));
    const qint32 task = b.tasks().last()->identifier();
    ASSERT_FALSE(
        b.addTaskItem(twWorkItem(b.nextTaskItemIdentifier(), task, day, day.addSecs(3600)), false));
    ASSERT_FALSE(b.addExpense(twWorkExpense(b.nextExpenseIdentifier(), project, day), false));
    const TWInvoicePtr invoice = book.addInvoice(QStringLiteral("June"));
    const TWTransactionPtr payment = book.addEntry(invoice, day, kBank, kReceivable, 900);

    // Another client's project stays.
    const TWClientPtr other = TWClient::clientWithIdentifier(
        b.nextClientIdentifier(), QStringLiteral("Bo"), {}, 0, 0, {}, {}, {}, {}, {}, {}, {});
    ASSERT_FALSE(b.addClient(other, false));
    ASSERT_FALSE(b.addProject(twWorkProject(b.nextProjectIdentifier(), other->identifier(),
                                            QStringLiteral("Other")),
                              false));

    // A failure at the end of the cascade leaves everything.
    twExec(b, QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON clients BEGIN "
                             "SELECT RAISE(ABORT, 'no'); END;"));
    TWNotificationRecorder recorder(book.business.get());
    EXPECT_TRUE(b.deleteClient(book.client, true));
    EXPECT_EQ(b.projects().size(), 2);
    EXPECT_EQ(b.tasks().size(), 1);
    EXPECT_EQ(b.taskItems().size(), 1);
    EXPECT_EQ(b.expenses().size(), 1);
    EXPECT_EQ(b.invoices().size(), 1);
    EXPECT_TRUE(b.transactionWithIdentifier(payment->identifier()));
    EXPECT_TRUE(recorder.names().isEmpty());

    twExec(b, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_FALSE(b.deleteClient(book.client, true));
    ASSERT_EQ(b.projects().size(), 1);
    EXPECT_EQ(b.projects().first()->clientIdentifier(), other->identifier());
    EXPECT_TRUE(b.tasks().isEmpty());
    EXPECT_TRUE(b.taskItems().isEmpty());
    EXPECT_TRUE(b.expenses().isEmpty());
    EXPECT_TRUE(b.invoices().isEmpty());
    EXPECT_FALSE(b.transactionWithIdentifier(payment->identifier()));
    const QStringList names = recorder.names();
    for (const QString &name : {TWClientDeleteNotification, TWProjectDeleteNotification,
                                TWTaskDeleteNotification, TWExpenseDeleteNotification,
                                TWInvoiceDeleteNotification})
        EXPECT_TRUE(names.contains(name)) << name.toStdString();
    EXPECT_EQ(twCount(b, QStringLiteral("SELECT COUNT(*) FROM taskItems;")), 0);
}

TEST(Cascades, DeletingAMerchantRemovesItsBillsAndStopsTheirSchedule)
{
    TWFixedClock clock(2024, 6, 20, 12);
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWRepeatPtr monthly = TWRepeat::repeatWithType(
        TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, {}, true, b.nextRepeatIdentifier());
    ASSERT_FALSE(b.addRepeat(monthly, false));
    TWBillPtr bill = book.addBill(QStringLiteral("Hosting"));
    bill->setRepeatIdentifier(monthly->identifier());
    ASSERT_FALSE(b.updateBill(bill, false));
    const TWTransactionPtr payment =
        book.addEntry(bill, twLocal(2024, 6, 2), kPayable, kBank, 500);

    ASSERT_FALSE(b.deleteMerchant(book.merchant, true));
    EXPECT_TRUE(b.bills().isEmpty());
    EXPECT_FALSE(b.transactionWithIdentifier(payment->identifier()));
    // The schedule has nothing left to copy: a later run makes no bill.
    clock.set(twLocal(2024, 9, 20, 12));
    ASSERT_FALSE(b.updateRepeatItems(true, false));
    EXPECT_TRUE(b.bills().isEmpty());
}

// The business row never names a deleted account as its closing account.
TEST(Cascades, DeletingTheClosingAccountClearsItFromTheBusiness)
{
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    TWBusinessInfoPtr info = b.businessInfo()->copy();
    info->setNominalTransferAccountIdentifier(kAdvertising);
    ASSERT_FALSE(b.updateBusinessInfo(info));
    ASSERT_FALSE(b.deleteAccount(b.accountWithIdentifier(kAdvertising), false));
    EXPECT_EQ(b.businessInfo()->nominalTransferAccountIdentifier(), 0);
    EXPECT_EQ(twCount(b, QStringLiteral("SELECT nominalTransferAccountIdentifier FROM businesses;")),
              0);
}

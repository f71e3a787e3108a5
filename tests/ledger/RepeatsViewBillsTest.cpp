// A bill schedule in the repeats view: its sample is the first payment of
// its first bill, and without one only the schedule's own cells show.

#include "../store/TWInvoiceTestSupport.h"

#include "ledger/TWLedger.h"
#include "ledger/TWRepeatsController.h"
#include "ledger/TWRepeatsModel.h"

#include "app/TWAppRegistry.h"
#include "model/TWFormatter.h"

#include <QSplitter>

TEST(RepeatsViewBills, APaymentlessBillScheduleShowsOnlyItsOwnCells)
{
    TWFixedClock clock(2024, 6, 15);
    TWAppRegistry::registry().reset();
    twRegisterLedger();
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, QDateTime(), true,
                                 b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(repeat, false));
    auto bill = TWBill::billWithDate(twLocal(2024, 6, 1), QStringLiteral("Power"), false, false,
                                     QDateTime(), 0, QString(), book.merchant->identifier(),
                                     b.nextBillIdentifier());
    bill->setRepeatIdentifier(repeat->identifier());
    ASSERT_OK(b.addBill(bill, false));

    {
        TWRepeatsController controller;
        controller.setBusiness(&b);
        controller.view()->resize(900, 600);
        controller.update();
        const TWRepeatsModel &model = *controller.model();
        ASSERT_EQ(model.rowCount(), 1);
        const auto cell = [&model](int column) { return model.index(0, column).data().toString(); };
        EXPECT_EQ(cell(TWRepeatsModel::TypeColumn),
                  TWFormatter::formatter().repeatTypeString(TWRepeatTypeBill));
        EXPECT_EQ(cell(TWRepeatsModel::NumberOfItemsColumn), QStringLiteral("1"));
        EXPECT_FALSE(cell(TWRepeatsModel::RepeatsColumn).isEmpty());
        EXPECT_FALSE(cell(TWRepeatsModel::NextItemColumn).isEmpty());
        for (int column : {TWRepeatsModel::PayeeColumn, TWRepeatsModel::Account1Column,
                           TWRepeatsModel::Account2Column, TWRepeatsModel::DebitColumn,
                           TWRepeatsModel::CreditColumn})
            EXPECT_TRUE(cell(column).isEmpty()) << column;

        // Once paid, the payment is the sample.
        const TWTransactionPtr payment =
            book.addEntry(bill, twLocal(2024, 6, 3), kPayable, kBank, 4200);
        payment->setPayee(QStringLiteral("Utility Co"));
        controller.updateRepeatsAndTransactions();
        EXPECT_EQ(cell(TWRepeatsModel::PayeeColumn), QStringLiteral("Utility Co"));
        EXPECT_EQ(cell(TWRepeatsModel::Account1Column), b.accountWithIdentifier(kPayable)->name());
        EXPECT_FALSE(cell(TWRepeatsModel::DebitColumn).isEmpty());
        EXPECT_TRUE(cell(TWRepeatsModel::CreditColumn).isEmpty());

        // Its items are the merchants view's to show.
        controller.selectRepeat(repeat);
        EXPECT_EQ(controller.activeRepeatType(), 2);
        EXPECT_EQ(controller.splitView()->widget(1), controller.merchantsView()->view());
    }
    TWAppRegistry::registry().reset();
}

// The amount view: reading typed amounts on either side, converted amounts
// and their rates, odometer readings, unit changes, and which rows it shows.

#include "AmountTestSupport.h"
#include "app/TWControls.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWAmountArithmetic.h"
#include "ledger/TWTotalController.h"
#include "model/TWTransaction.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <limits>

namespace
{

class AmountView : public TWAmountTest
{
protected:
    std::unique_ptr<TWTotalController> makeView(const TWAccountPtr &account1,
                                                const TWAccountPtr &account2, const char *unitCode,
                                                bool swapped = false, bool split = false)
    {
        auto controller = std::make_unique<TWTotalController>();
        controller->setBusiness(business.get());
        controller->setSplit(split);
        controller->setEditing(true);
        controller->setAccount1(account1);
        controller->setAccount2(account2);
        controller->setUnit(unit(unitCode));
        controller->setSwapped(swapped);
        controller->reset();
        controller->view()->show();
        return controller;
    }
};

TEST_F(AmountView, DebitAndCreditOnBothSidesWithAndWithoutSwap)
{
    auto view = makeView(bank, expense, "USD");
    QSignalSpy updates(view.get(), &TWTotalController::totalUpdated);

    type(view->field(TWTotalFieldDebit), QStringLiteral("100.00"));
    EXPECT_EQ(view->total(), 10000);
    EXPECT_EQ(view->totalAccount1(), 10000);
    EXPECT_EQ(view->totalAccount2(), 10000);
    EXPECT_EQ(view->totalBusiness(), 10000);
    EXPECT_EQ(view->field(TWTotalFieldCredit)->text(), QString());
    EXPECT_EQ(updates.count(), 1);
    EXPECT_FALSE(view->showsAccount1Row() || view->showsAccount2Row() || view->showsBusinessRow());
    EXPECT_TRUE(view->field(TWTotalFieldAccount1Debit)->isHidden());
    EXPECT_TRUE(view->field(TWTotalFieldBusinessDebit)->isHidden());

    type(view->field(TWTotalFieldCredit), QStringLiteral("100.00"));
    EXPECT_EQ(view->total(), -10000);
    EXPECT_EQ(view->field(TWTotalFieldDebit)->text(), QString());

    // Seen from account 2's side the credit field carries the positive amount.
    auto swapped = makeView(bank, expense, "USD", true);
    type(swapped->field(TWTotalFieldCredit), QStringLiteral("100.00"));
    EXPECT_EQ(swapped->total(), 10000);
    swapped->updateValues();
    EXPECT_EQ(swapped->field(TWTotalFieldCredit)->text(), QStringLiteral("100.00"));
    EXPECT_EQ(swapped->field(TWTotalFieldDebit)->text(), QString());
}

TEST_F(AmountView, ConvertedAmountOverridesTheRateUntilItsSignChanges)
{
    auto view = makeView(euroBank, expense, "USD");
    EXPECT_TRUE(view->showsAccount1Row());
    EXPECT_FALSE(view->showsBusinessRow());
    type(view->field(TWTotalFieldDebit), QStringLiteral("100.00"));
    EXPECT_EQ(view->totalAccount1(), 9700); // 0.97 euro to the dollar
    EXPECT_EQ(view->field(TWTotalFieldAccount1Debit)->text(), QStringLiteral("97.00"));

    // Same sign: only account 1's amount changes, and its rate shows beside it.
    type(view->field(TWTotalFieldAccount1Debit), QStringLiteral("95.00"));
    EXPECT_EQ(view->totalAccount1(), 9500);
    EXPECT_EQ(view->total(), 10000);
    EXPECT_EQ(view->totalBusiness(), 10000);
    EXPECT_EQ(view->exchangeLabel(TWTotalFieldAccount1Debit)->text(), QStringLiteral("x 0.95000"));
    EXPECT_EQ(view->exchangeLabel(TWTotalFieldAccount1Credit)->text(), QString());

    // The other side: everything follows from the typed amount again.
    type(view->field(TWTotalFieldAccount1Credit), QStringLiteral("97.00"));
    EXPECT_EQ(view->totalAccount1(), -9700);
    EXPECT_EQ(view->total(), -10000);
    EXPECT_EQ(view->totalBusiness(), -10000);
    EXPECT_EQ(view->field(TWTotalFieldCredit)->text(), QStringLiteral("100.00"));
    EXPECT_EQ(view->exchangeLabel(TWTotalFieldAccount1Debit)->text(), QString());
    EXPECT_EQ(view->exchangeLabel(TWTotalFieldAccount1Credit)->text(), QStringLiteral("x 0.97000"));
}

TEST_F(AmountView, UnreadableTextKeepsTheAmountAndTheTextStaysToBeMended)
{
    auto view = makeView(euroBank, expense, "USD");
    type(view->field(TWTotalFieldDebit), QStringLiteral("100.00"));
    QSignalSpy updates(view.get(), &TWTotalController::totalUpdated);
    for (const QString &text : {QStringLiteral("12abc"), QStringLiteral("nan"),
                                QStringLiteral("99999999999999999999999")}) {
        type(view->field(TWTotalFieldDebit), text);
        EXPECT_EQ(view->total(), 10000) << text;
        EXPECT_EQ(view->field(TWTotalFieldDebit)->text(), text);
        EXPECT_FALSE(view->commitEditing());
        type(view->field(TWTotalFieldAccount1Debit), text);
        EXPECT_EQ(view->totalAccount1(), 9700) << text;
        EXPECT_EQ(view->field(TWTotalFieldAccount1Debit)->text(), text);
    }
    EXPECT_EQ(updates.count(), 0);
    // An emptied field is a deliberate 0.
    type(view->field(TWTotalFieldDebit), QString());
    EXPECT_EQ(view->total(), 0);
    EXPECT_EQ(updates.count(), 1);
}

TEST_F(AmountView, UnitChangeKeepsTheWrittenDigits)
{
    auto view = makeView(bank, expense, "USD");
    view->setTotal(1234);
    view->setTotalStart(50);
    view->setTotalEnd(80);
    QSignalSpy updates(view.get(), &TWTotalController::totalUpdated);
    ASSERT_TRUE(view->chooseUnit(unit("JPY")));
    EXPECT_EQ(view->total(), 12);
    EXPECT_EQ(view->totalStart(), 0);
    EXPECT_EQ(view->totalEnd(), 0);
    EXPECT_EQ(view->totalAccount1(), 8); // 12 yen in dollar cents, rounded
    ASSERT_TRUE(view->chooseUnit(unit("USD")));
    EXPECT_EQ(view->total(), 1200);
    ASSERT_TRUE(view->chooseUnit(unit("KWD")));
    EXPECT_EQ(view->total(), 12000);
    EXPECT_EQ(updates.count(), 3);
    EXPECT_EQ(view->unitPopUpButton()->currentText().contains(QStringLiteral("KWD")), true);

    // Picking the unit in the menu does the same.
    const int usd = view->unitPopUpButton()->findText(QStringLiteral("USD"), Qt::MatchContains);
    ASSERT_GE(usd, 0);
    view->unitPopUpButton()->setCurrentIndex(usd);
    emit view->unitPopUpButton()->activated(usd);
    EXPECT_EQ(view->unit()->code(), QStringLiteral("USD"));
    EXPECT_EQ(view->total(), 1200);
}

TEST_F(AmountView, UnitChangeThatCannotHoldTheAmountIsRefused)
{
    auto view = makeView(bank, expense, "JPY");
    const qint64 huge = std::numeric_limits<qint64>::max() / 100;
    view->setTotal(huge);
    view->update();
    QSignalSpy updates(view.get(), &TWTotalController::totalUpdated);
    EXPECT_FALSE(view->chooseUnit(unit("KWD")));
    EXPECT_EQ(alerts, QStringList{TWLocalized("unitChangeTooLargeMessage")});
    EXPECT_EQ(view->unit()->code(), QStringLiteral("JPY"));
    EXPECT_EQ(view->total(), huge);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_TRUE(view->unitPopUpButton()->currentText().contains(QStringLiteral("JPY")));

    // The arithmetic itself: exact integers, truncation toward zero.
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(-1234, 2, 0), -12);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(9007199254740993LL, 0, 1), 90071992547409930LL);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(5, 0, 30), std::nullopt);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(5, 30, 0), 0);
    EXPECT_EQ(TWAmountArithmetic::rescaledTotal(0, 0, 200), 0);
}

TEST_F(AmountView, TransactionHandOverKeepsSameUnitAmountsEqual)
{
    TWTransaction transaction;
    transaction.setAccount1Identifier(bank->identifier());
    transaction.setAccount2Identifier(euroBank->identifier());
    transaction.setUnit(unit("USD"));
    auto view = std::make_unique<TWTotalController>();
    view->setBusiness(business.get());
    view->setValuesFromTransaction(transaction, false);
    view->reset();
    ASSERT_EQ(view->account2(), euroBank);
    type(view->field(TWTotalFieldDebit), QStringLiteral("10.00"));
    // The menu change leaves account 1's own-unit amount at 0 in the view;
    // handed over, amounts in the transaction's unit equal its total.
    ASSERT_TRUE(view->chooseUnit(unit("USD")));
    view->copyValuesToTransaction(transaction);
    EXPECT_EQ(transaction.total(), 1000);
    EXPECT_EQ(transaction.totalAccount1(), 1000);
    EXPECT_EQ(transaction.totalAccount2(), 970);
    EXPECT_EQ(transaction.totalBusiness(), 1000);
}

} // namespace

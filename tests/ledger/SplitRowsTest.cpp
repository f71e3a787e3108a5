// Split lines: splitting and unsplitting a working copy, new lines taking the
// imbalance, deleting lines, balancing, unit and account changes of a line, the
// description completions, and a row driving its line.

#include "AmountTestSupport.h"
#include "app/TWControls.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWSplitEditing.h"
#include "ledger/TWTotalController.h"
#include "model/TWFormatter.h"
#include "model/TWValue.h"

#include <QCompleter>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <limits>

namespace
{

class SplitRows : public TWAmountTest
{
protected:
    // 100.00 dollars from the bank (account 1) to supplies (account 2).
    TWTransactionPtr transfer(qint64 total = 10000)
    {
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setAccount1Identifier(bank->identifier());
        transaction->setAccount2Identifier(expense->identifier());
        transaction->setUnit(unit("USD"));
        transaction->setTotal(total);
        transaction->setTotalAccount1(total);
        transaction->setTotalAccount2(total);
        transaction->setTotalBusiness(total);
        return transaction;
    }

    static QList<qint64> homeAmounts(const TWTransaction &transaction)
    {
        QList<qint64> amounts;
        for (const TWSplitPtr &split : transaction.splits())
            amounts.append(split->totalBusiness());
        return amounts;
    }
};

TEST_F(SplitRows, SplittingAndUnsplittingKeepTheAmounts)
{
    TWTransactionPtr transaction = transfer();
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    ASSERT_TRUE(transaction->hasSplit());
    ASSERT_EQ(transaction->splits().size(), 2);
    EXPECT_EQ(transaction->splits()[0]->accountIdentifier(), bank->identifier());
    EXPECT_EQ(transaction->splits()[0]->total(), 10000);
    EXPECT_EQ(transaction->splits()[1]->accountIdentifier(), expense->identifier());
    EXPECT_EQ(transaction->splits()[1]->total(), -10000);
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0);
    EXPECT_EQ(TWSplitEditing::splitButtonTitle(true), TWLocalized("unsplitTransaction"));

    // Seen from account 2, its line comes first.
    TWTransactionPtr swapped = transfer();
    TWSplitEditing::splitTransaction(*swapped, *business, true);
    EXPECT_EQ(swapped->splits()[0]->accountIdentifier(), expense->identifier());

    // Unsplitting takes the first line's account and amounts.
    transaction->splits()[0]->setAccountIdentifier(euroBank->identifier());
    transaction->splits()[0]->setUnit(unit("EUR"));
    transaction->splits()[0]->setTotal(5000);
    transaction->splits()[0]->setTotalAccount(5000);
    transaction->splits()[0]->setTotalBusiness(5155);
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    EXPECT_FALSE(transaction->hasSplit());
    EXPECT_TRUE(transaction->splits().isEmpty());
    EXPECT_EQ(transaction->account1Identifier(), euroBank->identifier());
    EXPECT_EQ(transaction->account2Identifier(), expense->identifier());
    EXPECT_EQ(transaction->total(), 5000);
    EXPECT_EQ(transaction->totalBusiness(), 5155);
    EXPECT_EQ(transaction->totalAccount2(), 5155); // euros into the dollar account
}

TEST_F(SplitRows, NewLineTakesTheBalance)
{
    TWTransactionPtr transaction = transfer();
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    TWSplitPtr zero = TWSplitEditing::newSplit(*transaction, *business);
    EXPECT_EQ(zero->total(), 0);
    EXPECT_EQ(zero->accountIdentifier(), expense->identifier()); // the last line's account
    EXPECT_EQ(transaction->splits().size(), 3);

    // +25.00 out of balance: a new euro line takes -25.00 dollars, in euros.
    transaction->splits()[0]->setTotal(12500);
    transaction->splits()[0]->setTotalAccount(12500);
    transaction->splits()[0]->setTotalBusiness(12500);
    zero->setAccountIdentifier(euroBank->identifier());
    zero->setUnit(unit("EUR"));
    EXPECT_EQ(TWSplitEditing::balanceToolTip(2500, *business),
              TWLocalized("credit") + QLatin1Char(' ') +
                  TWFormatter::formatter().valueString(2500, business->homeUnit().get(), true, true,
                                                       true, false, true));
    TWSplitPtr taking = TWSplitEditing::newSplit(*transaction, *business);
    EXPECT_EQ(taking->totalBusiness(), -2500);
    EXPECT_EQ(taking->unit()->code(), QStringLiteral("EUR"));
    EXPECT_EQ(taking->total(), -2425);
    EXPECT_EQ(taking->totalAccount(), -2425);
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0);
    EXPECT_TRUE(TWSplitEditing::balanceToolTip(0, *business).isEmpty());
}

TEST_F(SplitRows, DeletingDownToOneLineUnsplits)
{
    TWTransactionPtr transaction = transfer();
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    TWSplitEditing::newSplit(*transaction, *business);
    EXPECT_FALSE(TWSplitEditing::deleteSplit(*transaction, *business, 7)); // no such line
    EXPECT_FALSE(TWSplitEditing::deleteSplit(*transaction, *business, 2));
    EXPECT_TRUE(transaction->hasSplit());
    EXPECT_EQ(transaction->splits().size(), 2);

    transaction->splits()[1]->setTotal(-4000);
    transaction->splits()[1]->setTotalAccount(-4000);
    transaction->splits()[1]->setTotalBusiness(-4000);
    EXPECT_TRUE(TWSplitEditing::deleteSplit(*transaction, *business, 0));
    EXPECT_FALSE(transaction->hasSplit());
    EXPECT_EQ(transaction->total(), -4000);
    EXPECT_EQ(transaction->account1Identifier(), expense->identifier());
    EXPECT_NE(transaction->account2Identifier(), expense->identifier());
}

TEST_F(SplitRows, BalancingALineLeavesExactlyZero)
{
    TWTransactionPtr transaction = transfer();
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    TWSplitPtr euro = transaction->splits()[1];
    euro->setAccountIdentifier(euroBank->identifier());
    euro->setUnit(unit("EUR"));
    euro->setTotal(-9000);
    euro->setTotalAccount(-9000);
    euro->setTotalBusiness(-9278);
    const qint64 balance = TWSplitEditing::splitBalance(*transaction);
    ASSERT_EQ(balance, 722);
    EXPECT_TRUE(TWSplitEditing::balanceSplit(*euro, balance, *business));
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0);
    EXPECT_EQ(euro->totalBusiness(), -10000);
    EXPECT_EQ(euro->total(), -9700);

    // Lines whose sum wraps around 64 bits are not balanced.
    const qint64 most = std::numeric_limits<qint64>::max();
    transaction->splits()[0]->setTotalBusiness(most);
    euro->setTotalBusiness(most);
    TWSplitPtr third = TWSplitEditing::newSplit(*transaction, *business);
    third->setTotalBusiness(2);
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), most);
    EXPECT_FALSE(TWSplitEditing::balanceSplit(*third, -most, *business));
    EXPECT_EQ(third->totalBusiness(), 2);
}

TEST_F(SplitRows, UnitChangeKeepsTheDigitsOrIsRefused)
{
    TWSplit split(0, QString(), bank->identifier(), 1234, 1234, 1234, 0, 0, unit("USD"));
    ASSERT_TRUE(TWSplitEditing::updateSplitUnit(split, unit("KWD"), *business));
    EXPECT_EQ(split.total(), 12340); // 12.34 written as 12.340
    EXPECT_EQ(TWFormatter::formatter().valueString(split.total(), split.unit().get(), false, false,
                                                   false, false, true),
              QStringLiteral("12.340"));
    EXPECT_EQ(split.totalAccount(), 4006); // dinars back in dollars (0.308 to the dollar)

    TWSplit huge(0, QString(), bank->identifier(), std::numeric_limits<qint64>::max() / 10, 0, 0, 0,
                 0, unit("JPY"));
    EXPECT_FALSE(TWSplitEditing::updateSplitUnit(huge, unit("KWD"), *business));
    EXPECT_EQ(huge.unit()->code(), QStringLiteral("JPY"));
    EXPECT_EQ(huge.total(), std::numeric_limits<qint64>::max() / 10);
}

TEST_F(SplitRows, RowDrivesItsLine)
{
    TWTransactionPtr transaction = transfer();
    TWSplitEditing::splitTransaction(*transaction, *business, false);
    TWSplitController row;
    row.setBusiness(business.get());
    row.setTransaction(transaction);
    row.setSplit(transaction->splits()[1]);
    row.setIndex(1);
    row.reset();
    row.view()->show();
    EXPECT_EQ(row.titleLabel()->text(), TWLocalized("split") + QStringLiteral(" #2:"));
    EXPECT_EQ(row.accountPopUpButton()->currentText(), expense->name());
    EXPECT_FALSE(row.deleteButton()->isHidden());
    EXPECT_TRUE(row.totalController()->split());

    QSignalSpy updated(&row, &TWSplitController::updated);
    type(row.totalController()->field(TWTotalFieldCredit), QStringLiteral("60.00"));
    EXPECT_EQ(transaction->splits()[1]->total(), -6000);
    EXPECT_EQ(transaction->splits()[1]->totalBusiness(), -6000);
    EXPECT_EQ(updated.count(), 1);
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 4000);

    // A euro account: the line keeps its dollars, its account amount in euros.
    const int euroIndex = row.accountPopUpButton()->findText(euroBank->name());
    ASSERT_GE(euroIndex, 0);
    row.chooseAccountAtIndex(euroIndex);
    EXPECT_EQ(transaction->splits()[1]->accountIdentifier(), euroBank->identifier());
    EXPECT_EQ(transaction->splits()[1]->totalAccount(), -5820);
    EXPECT_TRUE(row.totalController()->showsAccount1Row());

    // The last entry asks the editor for a new account and changes nothing.
    QSignalSpy create(&row, &TWSplitController::createNewAccount);
    row.chooseAccountAtIndex(row.accountPopUpButton()->count() - 1);
    EXPECT_EQ(create.count(), 1);
    EXPECT_EQ(transaction->splits()[1]->accountIdentifier(), euroBank->identifier());

    QTest::keyClicks(row.descriptionTextField(), QStringLiteral("Paper"));
    QTest::keyClick(row.descriptionTextField(), Qt::Key_Return);
    EXPECT_EQ(transaction->splits()[1]->description(), QStringLiteral("Paper"));

    QSignalSpy balancing(&row, &TWSplitController::balanceClicked);
    row.updateBalanceButton(true, TWSplitEditing::balanceToolTip(4000, *business));
    row.totalController()->balanceButton()->click();
    EXPECT_EQ(balancing.count(), 1);

    // A unit that cannot hold the amount is refused with an alert.
    transaction->splits()[1]->setTotal(std::numeric_limits<qint64>::max() / 5);
    EXPECT_FALSE(row.updateUnit(unit("KWD")));
    EXPECT_EQ(alerts, QStringList{TWLocalized("unitChangeTooLargeMessage")});
    EXPECT_EQ(transaction->splits()[1]->unit()->code(), QStringLiteral("USD"));

    QSignalSpy deleting(&row, &TWSplitController::deleteRequested);
    row.deleteButton()->click();
    EXPECT_EQ(deleting.count(), 1);

    // Read only: no delete button, nothing editable.
    TWSplitController readOnly;
    readOnly.setBusiness(business.get());
    readOnly.setTransaction(transaction);
    readOnly.setSplit(transaction->splits()[0]);
    readOnly.setEditing(false);
    readOnly.reset();
    EXPECT_TRUE(readOnly.deleteButton()->isHidden());
    EXPECT_FALSE(readOnly.accountPopUpButton()->isEnabled());
    EXPECT_FALSE(readOnly.totalController()->field(TWTotalFieldDebit)->isEnabled());
}

} // namespace

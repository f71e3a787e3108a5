// The bar under the detail: controls per selection, the count and total line
// and the date-range pop-up.

#include "TWWindowTestSupport.h"

#include "TWFormatter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace
{

class DetailBarTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        registerFakes();
    }
    static QString money(TWBusiness &b, qint64 value, const TWUnitPtr &unit)
    {
        return TWFormatter::formatter().valueString(value, unit.get(), true, true, false, true, true, &b);
    }
};

TEST_F(DetailBarTest, ControlsFollowTheSelection)
{
    TWAccountPtr account;
    TWClientPtr client;
    auto document = windowDocument([&](TWBusiness &b) {
        account = addAccount(b, QStringLiteral("Bank"));
        client = addClient(b, QStringLiteral("Client"));
    });
    TWWindowController &window = *document->windowController();
    // An account: add/delete and the range pop-up; search on.
    select(*document, 5, TWItemTypeAccount, account->identifier());
    EXPECT_EQ(document->detailButtonsView(), window.addDeleteControl());
    EXPECT_EQ(document->subDetailButtonsView(), window.rangePopUp());
    EXPECT_TRUE(window.searchField()->isEnabled());
    EXPECT_TRUE(window.deleteMasterButton()->isEnabled());
    EXPECT_TRUE(window.addDeleteControl()->isSegmentEnabled(0));
    EXPECT_FALSE(window.addDeleteControl()->isSegmentEnabled(1));
    registerView->selected = {addTransaction(*document->business(), account, account, 1)};
    document->updateDetailButtonsEnabled();
    EXPECT_TRUE(window.addDeleteControl()->isSegmentEnabled(1));

    // A client: nothing in either slot, search off.
    select(*document, 5, TWItemTypeClient, client->identifier());
    EXPECT_FALSE(document->detailButtonsView());
    EXPECT_FALSE(document->subDetailButtonsView());
    EXPECT_TRUE(window.addDeleteControl()->isHidden());
    EXPECT_TRUE(window.rangePopUp()->isHidden());
    EXPECT_FALSE(window.searchField()->isEnabled());

    // Units: add/delete with the refresh button 8 to its right, centred in the bar.
    select(*document, TWMasterItemUnits);
    EXPECT_EQ(document->detailButtonsView(), window.addDeleteControl());
    EXPECT_EQ(document->subDetailButtonsView(), window.refreshButton());
    const QRect add = window.addDeleteControl()->geometry();
    const QRect refresh = window.refreshButton()->geometry();
    EXPECT_EQ(refresh.left() - (add.left() + add.width()), 8);
    EXPECT_EQ(add.left(), window.detailFrameInBar().left() + 8);
    EXPECT_EQ(add.top(), (30 - add.height()) / 2);
    EXPECT_TRUE(window.searchField()->isEnabled());
    EXPECT_FALSE(window.deleteMasterButton()->isEnabled());
    EXPECT_TRUE(window.countLabel()->isHidden());

    // Budget: the reset button; repeats: the range pop-up first.
    select(*document, TWMasterItemBudget);
    EXPECT_EQ(document->detailButtonsView(), window.resetButton());
    EXPECT_TRUE(window.refreshButton()->isHidden());
    select(*document, TWMasterItemRepeats);
    EXPECT_EQ(document->detailButtonsView(), window.rangePopUp());
    EXPECT_FALSE(document->subDetailButtonsView());
}

TEST_F(DetailBarTest, OneAccountTotalsInItsUnitSeveralInTheHomeUnit)
{
    TWAccountPtr euros;
    TWAccountPtr dollars;
    TWGroupPtr group;
    auto document = windowDocument([&](TWBusiness &b) {
        group = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Group"), 0, true);
        euros = addAccount(b, QStringLiteral("Euros"), group->identifier(), QStringLiteral("EUR"));
        dollars = addAccount(b, QStringLiteral("Dollars"), group->identifier());
    });
    TWBusiness &b = *document->business();
    ASSERT_TRUE(euros->unit());
    const TWTransactionPtr transaction = addTransaction(b, euros, dollars, 1234);
    registerView->rows = {transaction};
    QLabel *total = document->windowController()->totalLabel();

    select(*document, 5, TWItemTypeAccount, euros->identifier());
    EXPECT_EQ(total->text(), money(b, b.transactionTotalWithAccount(*euros, {transaction}), euros->unit()));
    EXPECT_TRUE(total->text().contains(euros->unit()->symbol().isEmpty() ? euros->unit()->code()
                                                                         : euros->unit()->symbol()));

    document->selectMasterItems({master(*document).masterItemWithType(5, 5, euros->identifier()),
                                 master(*document).masterItemWithType(5, 5, dollars->identifier())},
                                true);
    const qint64 both = b.transactionHomeTotalWithAccounts({euros, dollars}, {transaction});
    EXPECT_EQ(total->text(), money(b, both, b.homeUnit()));
    // The group counts each of its accounts once, in the home unit too.
    select(*document, 5, TWItemTypeAccountGroup, group->identifier());
    EXPECT_EQ(total->text(), money(b, both, b.homeUnit()));
}

TEST_F(DetailBarTest, SelectedAndAllCountsAndTotals)
{
    TWAccountPtr one;
    TWAccountPtr two;
    auto document = windowDocument([&](TWBusiness &b) {
        one = addAccount(b, QStringLiteral("One"));
        two = addAccount(b, QStringLiteral("Two"));
    });
    TWBusiness &b = *document->business();
    TWTransactionList rows;
    for (int i = 1; i <= 120; ++i)
        rows.append(addTransaction(b, one, two, i * 100));
    registerView->rows = rows;
    registerView->selected = rows.mid(0, 3);
    select(*document, 5, TWItemTypeAccount, one->identifier());
    TWWindowController &window = *document->windowController();
    EXPECT_EQ(window.countLabel()->text(), QStringLiteral("3 / 120 ") + TWLocalized("transactionsLower"));
    EXPECT_EQ(window.totalLabel()->text(),
              money(b, b.transactionTotalWithAccount(*one, rows.mid(0, 3)), one->unit()) +
                  QStringLiteral(" / ") + money(b, b.transactionTotalWithAccount(*one, rows), one->unit()));
    EXPECT_FALSE(window.countLabel()->isHidden());
    // The line stands centred under the detail, the total at its right edge.
    const QRect detail = window.detailFrameInBar();
    EXPECT_NEAR(window.countLabel()->geometry().center().x(), detail.center().x(), 1);
    EXPECT_EQ(window.totalLabel()->geometry().right() + 1, detail.right() + 1 - 8);
    EXPECT_EQ(window.countLabel()->geometry().bottom() + 1, 30 - 5);

    registerView->rows = rows.mid(0, 1);
    registerView->selected.clear();
    document->updateCountTotal();
    EXPECT_EQ(window.countLabel()->text(), QStringLiteral("1 ") + TWLocalized("transactionLower"));
}

TEST_F(DetailBarTest, AMerchantWithoutChosenBillsTotalsAllItsBills)
{
    TWMerchantPtr merchant;
    TWAccountPtr payable;
    TWAccountPtr bank;
    TWBillList bills;
    TWTransactionList charges;
    auto document = windowDocument([&](TWBusiness &b) {
        payable = addAccount(b, QStringLiteral("Payable"), 0, QStringLiteral("USD"), 9);
        bank = addAccount(b, QStringLiteral("Bank"));
        merchant = addMerchant(b, QStringLiteral("Shop"));
        for (int i = 0; i < 2; ++i) {
            TWBillPtr bill = TWBill::billWithDate(QDateTime(QDate(2024, 1, 1), QTime()), QStringLiteral("Bill"),
                                                  true, false, QDateTime(), 0, QString(),
                                                  merchant->identifier(), b.nextBillIdentifier());
            ASSERT_FALSE(b.addBill(bill, false));
            const TWTransactionPtr charge = addTransaction(b, bank, payable, (i + 1) * 1000);
            ASSERT_FALSE(b.addRelationship(TWRelationship::relationshipWithType(
                                               3, 0, merchant->identifier(), bill->identifier(),
                                               charge->identifier(), 0, b.nextRelationshipIdentifier()),
                                           false));
            bills.append(bill);
            charges.append(charge);
        }
    });
    TWBusiness &b = *document->business();
    select(*document, 5, TWItemTypeMerchant, merchant->identifier());
    merchantsView->allBills = bills;
    merchantsView->payments.rows = charges;
    document->updateCountTotal();
    const QString all = money(b, b.transactionHomeOwingWithBills(bills, charges), b.homeUnit());
    const QString first = money(b, b.transactionHomeOwingWithBills({bills.first()}, charges), b.homeUnit());
    ASSERT_NE(all, first);
    QLabel *total = document->windowController()->totalLabel();
    EXPECT_EQ(total->text(), all);
    merchantsView->chosenBills = {bills.first()};
    document->updateCountTotal();
    EXPECT_EQ(total->text(), first);
}

TEST_F(DetailBarTest, TheRangePopUpStoresTheRange)
{
    TWAccountPtr account;
    auto document = windowDocument([&](TWBusiness &b) {
        account = addAccount(b, QStringLiteral("Bank"));
        b.setTransactionRangeType(14);
    });
    TWBusiness &b = *document->business();
    QComboBox *range = document->windowController()->rangePopUp();
    // A stored range outside 0 to 11 shows the first item.
    EXPECT_EQ(range->currentData().toInt(), 0);
    EXPECT_EQ(TWBusinessController::dateRangeTagForDateRange(14), 0);
    EXPECT_EQ(TWBusinessController::dateRangeTagForDateRange(-1), 0);
    EXPECT_EQ(TWBusinessController::dateRangeTagForDateRange(11), 11);

    const QDateTime from(QDate(2024, 1, 1), QTime());
    const QDateTime to(QDate(2024, 3, 31), QTime());
    const int reloads = registerView->reloads;
    document->filterTransactions(11, from, to);
    EXPECT_EQ(b.transactionRangeType(), 11);
    EXPECT_EQ(b.transactionRangeFromDate(), from);
    EXPECT_EQ(b.transactionRangeToDate(), to);
    EXPECT_EQ(registerView->reloads, reloads + 1);

    // Choosing another range in the pop-up clears the dates.
    range->setCurrentIndex(range->findData(3));
    emit range->activated(range->currentIndex());
    EXPECT_EQ(b.transactionRangeType(), 3);
    EXPECT_FALSE(b.transactionRangeFromDate().isValid());
    EXPECT_FALSE(b.transactionRangeToDate().isValid());
}

} // namespace

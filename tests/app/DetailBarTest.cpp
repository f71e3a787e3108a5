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

} // namespace

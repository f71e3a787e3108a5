// The bar under the detail: controls per selection, the count and total line
// and the date-range pop-up.

#include "TWWindowTestSupport.h"

#include "model/TWFormatter.h"

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
    static QString money(TWBusiness &, qint64 value, const TWUnitPtr &unit)
    {
        return TWFormatter::formatter().valueString(value, unit.get(), true, true, false, true,
                                                    true);
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
    EXPECT_EQ(window.countLabel()->text(),
              QStringLiteral("3 / 120 ") + TWLocalized("transactionsLower"));
    EXPECT_EQ(window.totalLabel()->text(),
              money(b, b.transactionTotalWithAccount(*one, rows.mid(0, 3)), one->unit()) +
                  QStringLiteral(" / ") +
                  money(b, b.transactionTotalWithAccount(*one, rows), one->unit()));
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

} // namespace

// Balanced split lines in a foreign unit, entered line by line in the editor:
// each line converts on its own, and the rounding residue goes to the largest
// line so that the lines balance in the home unit too.

#include "AmountTestSupport.h"
#include "ledger/TWSplitEditing.h"
#include "ledger/TWTotalController.h"
#include "model/TWUnitConversion.h"

#include <random>

namespace
{

class SplitResidue : public TWAmountTest
{
};

TEST_F(SplitResidue, RandomBalancedEuroLinesCanAlwaysBeSaved)
{
    std::mt19937_64 random(47);
    const auto uniform = [&random](qint64 low, qint64 high) {
        return std::uniform_int_distribution<qint64>(low, high)(random);
    };
    const TWUnitPtr eur = unit("EUR");
    const TWUnitPtr usd = unit("USD");
    ASSERT_NE(eur->rate(), usd->rate());
    const TWAccountPtr accounts[] = {bank, expense, euroBank, expense};
    int residues = 0;
    for (int round = 0; round < 500; ++round) {
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setHasSplit(true);
        TWSplitList lines;
        for (int i = 0; i < 4; ++i)
            lines.append(TWSplit::splitWithIdentifier(0, QString(), accounts[i]->identifier(), 0, 0,
                                                      0, 0, 0, eur));
        transaction->setSplits(lines);
        qint64 sum = 0;
        qint64 alone = 0;
        for (int i = 0; i < 4; ++i) {
            const qint64 total = i < 3 ? uniform(-500000, 500000) : -sum;
            sum += total;
            // What the line's amount view shows: each amount converted alone.
            TWTotalController amounts;
            amounts.setBusiness(business.get());
            amounts.setUnit(eur);
            amounts.setTotal(total);
            amounts.setTotalAccount1(
                TWUnitConversion::convertTotal(total, *eur, *accounts[i]->unit()));
            amounts.setTotalBusiness(TWUnitConversion::convertTotal(total, *eur, *usd));
            alone += amounts.totalBusiness();
            TWSplitEditing::takeTotals(*lines[i], amounts, *business, transaction.get());
        }
        residues += alone != 0;
        EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0) << "round " << round;
        for (const TWSplitPtr &line : lines) {
            if (line->accountIdentifier() == euroBank->identifier()) {
                EXPECT_EQ(line->totalAccount(), line->total());
            }
        }
    }
    // The amounts chosen do leave residues to settle.
    EXPECT_GT(residues, 100);
}

} // namespace

// Balanced split lines in a foreign unit, entered line by line in the editor:
// each line converts on its own, and the rounding residue goes to the largest
// line so that the lines balance in the home unit too. The balancing ("+")
// line and the balance button make lines of one unit cancel in that unit.

#include "AmountTestSupport.h"
#include "ledger/TWSplitEditing.h"
#include "ledger/TWTotalController.h"
#include "model/TWUnitConversion.h"
#include "store/TWTransactionEditing.h"

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

// A line in `unit` on the account, its other amounts converted from its own.
TWSplitPtr typedLine(const TWAccountPtr &account, qint64 total, const TWUnitPtr &unit,
                     TWBusiness &business)
{
    const TWSplitPtr line =
        TWSplit::splitWithIdentifier(0, QString(), account->identifier(), total, 0, 0, 0, 0, unit);
    twUpdateTotals(*line, TWTotalTypeTotal, TWTotalTypeAll, business);
    return line;
}

qint64 ownSum(const TWTransaction &transaction)
{
    qint64 sum = 0;
    for (const TWSplitPtr &line : transaction.splits())
        sum += line->total();
    return sum;
}

TEST_F(SplitResidue, ThePlusLineMakesLinesOfOneForeignUnitCancelInIt)
{
    std::mt19937_64 random(2031);
    const auto uniform = [&random](qint64 low, qint64 high) {
        return std::uniform_int_distribution<qint64>(low, high)(random);
    };
    const TWAccountPtr yenBank = addAccount(QStringLiteral("Yen Bank"), TWAccountTypeBank, "JPY");
    const TWAccountPtr accounts[] = {bank, expense, euroBank, dinarBank, yenBank};
    const TWUnitPtr units[] = {unit("EUR"), unit("JPY"), unit("KWD"), unit("GBP")};
    for (int round = 0; round < 3000; ++round) {
        const TWUnitPtr lineUnit = units[uniform(0, 3)];
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setHasSplit(true);
        TWSplitList lines;
        const qint64 count = uniform(1, 4);
        for (qint64 i = 0; i < count; ++i)
            lines.append(typedLine(accounts[uniform(0, 4)], uniform(-9000000, 9000000), lineUnit,
                                   *business));
        transaction->setSplits(lines);
        const TWSplitPtr added = TWSplitEditing::newSplit(*transaction, *business);
        ASSERT_TRUE(added);
        EXPECT_EQ(ownSum(*transaction), 0) << "round " << round;
        EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0) << "round " << round;
        EXPECT_TRUE(TWSplitEditing::splitIsBalanced(*transaction)) << "round " << round;
        // An account in the line's unit takes the line's own amount.
        for (const TWSplitPtr &line : transaction->splits()) {
            const TWAccountPtr account = business->accountWithIdentifier(line->accountIdentifier());
            if (account->unit()->code() == lineUnit->code()) {
                EXPECT_EQ(line->totalAccount(), line->total()) << "round " << round;
            }
        }
        if (::testing::Test::HasFailure())
            break;
    }
}

TEST_F(SplitResidue, TwoYenAccountsSplitAgainstEachOtherStayEven)
{
    std::mt19937_64 random(17);
    const TWUnitPtr yen = unit("JPY");
    const TWAccountPtr tokyo = addAccount(QStringLiteral("Tokyo"), TWAccountTypeBank, "JPY");
    const TWAccountPtr osaka = addAccount(QStringLiteral("Osaka"), TWAccountTypeBank, "JPY");
    qint64 tokyoBalance = 0;
    qint64 osakaBalance = 0;
    for (int entry = 0; entry < 2000; ++entry) {
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setHasSplit(true);
        const qint64 amount = std::uniform_int_distribution<qint64>(1, 99999)(random);
        transaction->setSplits(
            {typedLine(tokyo, amount, yen, *business), typedLine(osaka, 0, yen, *business)});
        // The Osaka line takes what is left with its balance button; a
        // second entry of each kind uses the "+" line instead.
        if (entry % 2 == 0) {
            ASSERT_TRUE(TWSplitEditing::balanceSplit(*transaction->splits().last(), *transaction,
                                                     *business));
        } else {
            transaction->setSplits({transaction->splits().first()});
            TWSplitEditing::newSplit(*transaction, *business);
            transaction->splits().last()->setAccountIdentifier(osaka->identifier());
        }
        ASSERT_TRUE(TWSplitEditing::splitIsBalanced(*transaction)) << "entry " << entry;
        tokyoBalance += transaction->splits().first()->totalAccount();
        osakaBalance += transaction->splits().last()->totalAccount();
    }
    EXPECT_EQ(tokyoBalance + osakaBalance, 0);
}

TEST_F(SplitResidue, LinesOfOneUnitThatCancelOnlyAfterConversionAreNotBalanced)
{
    const TWUnitPtr yen = unit("JPY");
    const TWAccountPtr yenBank = addAccount(QStringLiteral("Yen Bank"), TWAccountTypeBank, "JPY");
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setHasSplit(true);
    const TWSplitPtr first = typedLine(yenBank, 1000, yen, *business);
    const TWSplitPtr second = typedLine(expense, -1001, yen, *business);
    // Both convert to the same number of cents.
    second->setTotalBusiness(-first->totalBusiness());
    transaction->setSplits({first, second});
    EXPECT_EQ(TWSplitEditing::splitBalance(*transaction), 0);
    EXPECT_FALSE(TWSplitEditing::splitIsBalanced(*transaction));
    EXPECT_FALSE(TWSplitEditing::balanceToolTip(*transaction, *business).isEmpty());
    ASSERT_TRUE(TWSplitEditing::balanceSplit(*second, *transaction, *business));
    EXPECT_EQ(second->total(), -1000);
    EXPECT_TRUE(TWSplitEditing::splitIsBalanced(*transaction));
    EXPECT_TRUE(TWSplitEditing::balanceToolTip(*transaction, *business).isEmpty());
}

} // namespace

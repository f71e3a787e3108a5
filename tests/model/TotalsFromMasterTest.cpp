// Transactions and split lines recompute their amounts through one conversion
// with the business's rounding; these pin what both rely on.

#include "model/TWSplit.h"
#include "model/TWTransaction.h"
#include "model/TWUnitConversion.h"

#include <gtest/gtest.h>

namespace
{

TWUnitPtr unit(const char *code, double rate, std::uint8_t places)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), rate, places, QDateTime(), false, TWUnitTypeCurrency);
}

struct Units {
    TWUnitPtr usd = unit("USD", 1.0, 2);   // home
    TWUnitPtr half = unit("XHA", 0.5, 2);  // a cent is half a cent of this
    TWUnitPtr yen = unit("XYN", 50.0, 0);  // a cent is half a yen of this
    TWUnitPtr unrated = unit("XZR", 0, 2); // no rate known
};

const TWUnitConverter convert = &TWUnitConversion::convertTotal;

} // namespace

TEST(TotalsFromMaster, TransactionsAndSplitLinesRoundHalvesAwayFromZero)
{
    const Units u;
    // Home amount typed -> the amount in a unit at half the rate, and in a unit
    // without decimals at fifty times the rate: both exactly half.
    const struct {
        qint64 home, half;
    } rows[] = {{1, 1},
                {-1, -1},
                {3, 2},
                {-3, -2},
                {5, 3},
                {-5, -3},
                {2, 1},
                {-2, -1},
                {0, 0},
                {1000001, 500001},
                {-1000001, -500001}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.home);
        TWTransaction transaction;
        transaction.setUnit(u.half);
        transaction.setTotalBusiness(row.home);
        transaction.setTotalAccount2(77);
        transaction.updateTotalsWithMasterTotalType(TWTotalTypeBusiness, TWTotalTypeAll, u.yen,
                                                    u.unrated, u.usd, convert);
        EXPECT_EQ(transaction.total(), row.half);
        EXPECT_EQ(transaction.totalAccount1(), row.half);
        // A target without a rate converts to 0.
        EXPECT_EQ(transaction.totalAccount2(), 0);
        EXPECT_EQ(transaction.totalBusiness(), row.home);

        TWSplit line(1, QString(), 100, 0, 0, row.home, 0, 0, u.half);
        line.updateTotalsWithMasterTotalType(TWTotalTypeBusiness, TWTotalTypeAll, u.yen, u.usd,
                                             convert);
        EXPECT_EQ(line.total(), row.half);
        EXPECT_EQ(line.totalAccount(), row.half);
        EXPECT_EQ(line.totalBusiness(), row.home);
    }
}

TEST(TotalsFromMaster, AMasterWithoutARateGivesZeroAndAMissingUnitKeepsItsAmount)
{
    const Units u;
    TWTransaction transaction;
    transaction.setUnit(u.half);
    transaction.setTotal(11);
    transaction.setTotalAccount1(22);
    transaction.setTotalAccount2(500);
    transaction.setTotalBusiness(44);
    // Typed in a unit without a rate: every converted amount is 0, except the
    // one whose account has no unit.
    transaction.updateTotalsWithMasterTotalType(TWTotalTypeAccount2, TWTotalTypeAll, nullptr,
                                                u.unrated, u.usd, convert);
    EXPECT_EQ(transaction.total(), 0);
    EXPECT_EQ(transaction.totalAccount1(), 22);
    EXPECT_EQ(transaction.totalAccount2(), 500);
    EXPECT_EQ(transaction.totalBusiness(), 0);

    // A master whose own unit is missing changes nothing.
    transaction.setTotalAccount1(9);
    transaction.updateTotalsWithMasterTotalType(TWTotalTypeAccount1, TWTotalTypeAll, nullptr,
                                                u.unrated, u.usd, convert);
    EXPECT_EQ(transaction.total(), 0);
    EXPECT_EQ(transaction.totalBusiness(), 0);

    TWSplit line(1, QString(), 100, 500, 33, 44, 0, 0, u.unrated);
    line.updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, nullptr, u.usd, convert);
    EXPECT_EQ(line.total(), 500);
    EXPECT_EQ(line.totalAccount(), 33);
    EXPECT_EQ(line.totalBusiness(), 0);
    line.setTotal(7);
    line.updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, u.usd, nullptr, convert);
    EXPECT_EQ(line.totalAccount(), 0);
    EXPECT_EQ(line.totalBusiness(), 0);
}

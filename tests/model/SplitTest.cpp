#include "model/TWAccount.h"
#include "model/TWSplit.h"
#include "model/TWTransaction.h"
#include "model/TWUnitConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace
{

TWUnitPtr unit(const char *code, double rate, std::uint8_t places)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), rate, places, QDateTime(), false, TWUnitTypeCurrency);
}

// Rates per US dollar, rescaled by the decimal places, halves away from zero.
qint64 convert(qint64 total, const TWUnit &from, const TWUnit &to)
{
    if (from.code() == to.code())
        return total;
    double v = to.rate() * double(total) / from.rate();
    v *= std::pow(10.0, int(to.decimalPlaces()) - int(from.decimalPlaces()));
    return qint64(std::round(v));
}

struct Units {
    TWUnitPtr eur = unit("EUR", 0.5, 2);
    TWUnitPtr jpy = unit("JPY", 150.0, 0);
    TWUnitPtr usd = unit("USD", 1.0, 2);
};

} // namespace

TEST(Split, AmountsFollowTheTypedOne)
{
    const Units u;
    TWSplit split(1, QString(), 100, 1234, 0, 0, 0, 0, u.eur); // 12.34 EUR

    // Typed in the line's unit: the account (yen) and home (dollar) amounts.
    split.updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, u.jpy, u.usd, convert);
    EXPECT_EQ(split.total(), 1234);
    EXPECT_EQ(split.totalAccount(), 3702);
    EXPECT_EQ(split.totalBusiness(), 2468);

    // Only the named target changes; a target equal to the master changes nothing.
    split.setTotalAccount(3000);
    split.updateTotalsWithMasterTotalType(TWTotalTypeAccount, TWTotalTypeAccount, u.jpy, u.usd,
                                          convert);
    EXPECT_EQ(split.total(), 1234);
    EXPECT_EQ(split.totalBusiness(), 2468);
    split.updateTotalsWithMasterTotalType(TWTotalTypeAccount, TWTotalTypeBusiness, u.jpy, u.usd,
                                          convert);
    EXPECT_EQ(split.total(), 1234);
    EXPECT_EQ(split.totalBusiness(), 2000);

    // Every amount comes from the master, never from one just recomputed:
    // 301 yen is 1.00 EUR (1.003) and 2.01 USD (2.0067); through the rounded
    // euros it would be 2.00 USD.
    split.setTotalAccount(301);
    split.updateTotalsWithMasterTotalType(TWTotalTypeAccount, TWTotalTypeAll, u.jpy, u.usd,
                                          convert);
    EXPECT_EQ(split.totalAccount(), 301);
    EXPECT_EQ(split.total(), 100);
    EXPECT_EQ(split.totalBusiness(), 201);

    split.setTotalBusiness(-1000);
    split.updateTotalsWithMasterTotalType(TWTotalTypeBusiness, TWTotalTypeAll, u.jpy, u.usd,
                                          convert);
    EXPECT_EQ(split.total(), -500);

    // Masters a split does not have change nothing; an amount without a unit stays.
    split.updateTotalsWithMasterTotalType(TWTotalTypeAccount1, TWTotalTypeAll, u.jpy, u.usd,
                                          convert);
    EXPECT_EQ(split.total(), -500);
    split.setTotal(-600);
    split.updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, nullptr, u.usd,
                                          convert);
    EXPECT_EQ(split.totalAccount(), -1500);
    EXPECT_EQ(split.totalBusiness(), -1200);
}

TEST(SplitTotals, BalancedForeignLinesBalanceExactlyInHomeAndAccountUnits)
{
    std::mt19937 random(20241207);
    const auto uniform = [&random](qint64 low, qint64 high) {
        return std::uniform_int_distribution<qint64>(low, high)(random);
    };
    const TWUnitPtr home = unit("USD", 1.0, 2);
    const QList<std::uint8_t> places{2, 0, 3};
    int settled = 0;
    for (int round = 0; round < 2000; ++round) {
        // Lines in one foreign unit, accounts in another (or in one each).
        const TWUnitPtr lineUnit =
            unit("EUR", double(uniform(1000, 3000000)) / 10000.0, places.at(int(uniform(0, 2))));
        const TWUnitPtr accountUnit =
            unit("GBP", double(uniform(1000, 3000000)) / 10000.0, places.at(int(uniform(0, 2))));
        const bool oneAccountUnit = round % 3 != 0;
        QHash<qint32, TWAccountPtr> accounts;
        TWSplitList lines;
        const int count = int(uniform(2, 7));
        qint64 sum = 0;
        for (int i = 0; i < count; ++i) {
            const qint64 total = i + 1 < count ? uniform(-5000000, 5000000) : -sum;
            sum += total;
            auto account = std::make_shared<TWAccount>();
            account->setIdentifier(100 + i);
            account->setUnit(oneAccountUnit || i % 2 ? accountUnit : home);
            accounts.insert(100 + i, account);
            lines.append(TWSplit::splitWithIdentifier(i + 1, QString(), 100 + i, total, 0, 0, 0, 0,
                                                      lineUnit));
        }
        TWTransaction transaction;
        transaction.setHasSplit(true);
        transaction.setSplits(lines);
        transaction.updateSplitTotals([&accounts](qint32 id) { return accounts.value(id); }, home,
                                      &TWUnitConversion::convertTotal);

        qint64 business = 0;
        qint64 inAccounts = 0;
        int adjusted = 0;
        for (const TWSplitPtr &line : transaction.splits()) {
            business += line->totalBusiness();
            inAccounts += line->totalAccount();
            const qint64 alone = TWUnitConversion::convertTotal(line->total(), *lineUnit, *home);
            // Only the largest line takes the residue, never more than a
            // minor unit per line.
            if (line->totalBusiness() != alone) {
                ++adjusted;
                EXPECT_LE(std::abs(line->totalBusiness() - alone), count);
                for (const TWSplitPtr &other : transaction.splits())
                    EXPECT_LE(std::abs(other->total()), std::abs(line->total()));
            }
        }
        EXPECT_EQ(business, 0) << "round " << round;
        if (oneAccountUnit) {
            EXPECT_EQ(inAccounts, 0) << "round " << round;
        }
        EXPECT_LE(adjusted, 1);
        settled += adjusted;
    }
    // The rates and amounts do leave residues to settle.
    EXPECT_GT(settled, 200);

    // Lines that do not balance in their own unit keep their own conversions.
    TWTransaction open;
    open.setHasSplit(true);
    const TWUnitPtr eur = unit("EUR", 0.9, 2);
    open.setSplits({TWSplit::splitWithIdentifier(1, QString(), 0, 1001, 0, 0, 0, 0, eur),
                    TWSplit::splitWithIdentifier(2, QString(), 0, -1000, 0, 0, 0, 0, eur)});
    open.updateSplitTotals({}, home, &TWUnitConversion::convertTotal);
    for (const TWSplitPtr &line : open.splits())
        EXPECT_EQ(line->totalBusiness(),
                  TWUnitConversion::convertTotal(line->total(), *eur, *home));
}

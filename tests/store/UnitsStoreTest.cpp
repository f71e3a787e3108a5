// Units: conversion, loading and a failed cascade.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include "foundation/TWLocalized.h"
#include "model/TWTotalType.h"
#include "model/TWUnitConversion.h"
#include "model/TWUnits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

TWUnit unit(const char *code, double rate, std::uint8_t places)
{
    return TWUnit(QString::fromLatin1(code), QString(), QString::fromLatin1(code), QString(), rate,
                  places, QDateTime(), false, TWUnitTypeCurrency);
}

TWUnitPtr unitPtr(const char *code, const char *name, double rate = 1.0)
{
    return TWUnit::unitWithName(QString::fromLatin1(name), QStringLiteral("d"),
                                QString::fromLatin1(code), QStringLiteral("s"), rate, 3,
                                twLocal(2024, 5, 6, 7, 8, 9), false, TWUnitTypeCustom);
}

QStringList codes(const TWUnitList &units)
{
    QStringList result;
    for (const TWUnitPtr &u : units)
        result.append(u->code());
    return result;
}

} // namespace

TEST(UnitConversion, RatesPlacesRoundingAndRefusals)
{
    using TWUnitConversion::convertedTotal;
    // 150 × 1234 ÷ 1.25 = 148080, from two decimal places to none: 1480.8.
    EXPECT_EQ(convertedTotal(1234, unit("AAA", 1.25, 2), unit("BBB", 150.0, 0)), 1481);
    // Halves go away from zero.
    EXPECT_EQ(convertedTotal(-125, unit("AAA", 2.0, 2), unit("BBB", 1.0, 2)), -63);
    // A source without a rate gives 0, unless it is the same unit.
    EXPECT_EQ(convertedTotal(999, unit("AAA", 0.0, 2), unit("BBB", 3.0, 2)), 0);
    EXPECT_EQ(convertedTotal(999, unit("AAA", 0.0, 2), unit("AAA", 3.0, 0)), 999);
    EXPECT_EQ(TWUnitConversion::convertedBaseTotal(100, unit("JPY", 150.0, 0)), 67);

    // Refused: past 64 bits, a scale past a double, no rate at all.
    const qint64 big = std::numeric_limits<qint64>::max();
    EXPECT_FALSE(convertedTotal(big, unit("AAA", 1.0, 2), unit("BBB", 2.0, 2)));
    EXPECT_FALSE(convertedTotal(1, unit("AAA", 1.0, 0), unit("BBB", 1.0, 255)));
    EXPECT_FALSE(convertedTotal(10, unit("AAA", std::nan(""), 2), unit("BBB", 1.0, 2)));
    EXPECT_EQ(convertedTotal(qint64(1) << 62, unit("AAA", 2.0, 2), unit("BBB", 1.0, 2)), qint64(1)
                                                                                             << 61);
    // The plain forms answer 0 for a refusal.
    TWBusiness business;
    EXPECT_EQ(business.totalInUnit(big, unitPtr("AAA", "a"), unitPtr("BBB", "b", 2.0)), 0);
    EXPECT_EQ(TWBusiness::unitConverter()(-125, unit("AAA", 2.0, 2), unit("BBB", 1.0, 2)), -63);
}

TEST(UnitsStore, LoadReadsBackWhatWasWritten)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWUnitPtr full = unitPtr("ZZB", "Beta", 1.5);
    const TWUnitPtr bare =
        TWUnit::unitWithName(QStringLiteral("Alpha"), QString(), QStringLiteral("ZZA"), QString(),
                             0.25, 0, QDateTime(), true, TWUnitTypeMileage);
    ASSERT_OK(b.addUnit(full, false));
    ASSERT_OK(b.addUnit(bare, false));
    ASSERT_OK(b.loadUnits());
    ASSERT_EQ(codes(b.units()), (QStringList{"ZZA", "ZZB"}));
    const TWUnitPtr a = b.unitWithCode(QStringLiteral("ZZA"));
    const TWUnitPtr z = b.unitWithCode(QStringLiteral("ZZB"));
    EXPECT_EQ(std::tuple(z->name(), z->description(), z->symbol(), z->rate(), z->decimalPlaces(),
                         z->lastUpdatedDate(), z->type(), z->favourite()),
              std::tuple(full->name(), full->description(), full->symbol(), 1.5, std::uint8_t(3),
                         full->lastUpdatedDate(), std::uint32_t(TWUnitTypeCustom), false));
    EXPECT_FALSE(a->lastUpdatedDate().isValid());
    EXPECT_TRUE(a->favourite());

    // Damaged values read as something harmless.
    twExec(b, QStringLiteral("UPDATE units SET lastUpdated=1e300, decimalPlaces=258;"));
    ASSERT_OK(b.loadUnits());
    EXPECT_FALSE(b.unitWithCode(QStringLiteral("ZZB"))->lastUpdatedDate().isValid());
    EXPECT_EQ(b.unitWithCode(QStringLiteral("ZZB"))->decimalPlaces(), 2);
}

TEST(UnitsStore, AFailedCascadePutsTheListBack)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    for (const char *code : {"ZZA", "ZZB", "ZZC"})
        ASSERT_OK(b.addUnit(unitPtr(code, code), false));
    const TWUnitList before = b.units();
    TWNotificationRecorder recorder(&b);
    {
        TWBusiness::WriteScope scope(b);
        ASSERT_OK(b.deleteUnit(before.at(1), true));
        ASSERT_OK(b.addUnit(unitPtr("ZZD", "ZZ0"), true));
        TWUnitPtr edited = before.at(2)->copy();
        edited->setName(QStringLiteral("changed"));
        ASSERT_OK(b.updateUnit(edited, true));
        scope.rollback();
    }
    EXPECT_EQ(b.units(), before);
    EXPECT_EQ(b.unitWithCode(QStringLiteral("ZZB")), before.at(1));
    EXPECT_EQ(before.at(2)->name(), QStringLiteral("ZZC"));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM units;")), 3);
    EXPECT_TRUE(recorder.names().isEmpty());
}

// An amount whose conversion into an account's unit or the home unit 64 bits
// cannot hold is refused, naming where it would go, and nothing is stored.
TEST(UnitsStore, AmountsThatCannotBeHeldAreRefusedBeforeAnythingIsStored)
{
    struct Case {
        const char *home;
        const char *unit;  // of the transaction and of account 1
        const char *other; // unit of account 2
        qint64 total;
        const char *named; // the account named, or null for the home unit
    };
    const Case cases[] = {
        {"USD", "JPY", "KWD", std::numeric_limits<qint64>::max(), "Other"},
        {"VND", "USD", "USD", 1000000000000000000, nullptr},
        {"KWD", "USD", "JPY", 9000000000000000000, "Other"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.home << " " << c.unit << " " << c.other);
        auto business = twMakeBusinessWithUnits(QString::fromLatin1(c.home));
        ASSERT_TRUE(business);
        TWBusiness &b = *business;
        for (const auto &[code, rate] :
             {std::pair{"USD", 1.0}, {"JPY", 150.0}, {"KWD", 0.3}, {"VND", 25000.0}})
            b.unitWithCode(QString::fromLatin1(code))->setRate(rate);
        const auto account = [&](const char *name, const char *code) {
            auto made = TWAccount::accountWithIdentifier(
                b.nextAccountIdentifier(), QString::fromLatin1(name), 0, 0, TWAccountTypeBank,
                QString(), QImage(), b.unitWithCode(QString::fromLatin1(code)), QString());
            EXPECT_OK(b.addAccount(made, false));
            return made;
        };
        const TWAccountPtr one = account("One", c.unit);
        const TWAccountPtr other = account("Other", c.other);
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setIdentifier(b.nextTransactionIdentifier());
        transaction->setDate(twLocal(2024, 6, 3));
        transaction->setAccount1Identifier(one->identifier());
        transaction->setAccount2Identifier(other->identifier());
        transaction->setUnit(b.unitWithCode(QString::fromLatin1(c.unit)));
        transaction->setTotal(c.total);
        transaction->setTotalAccount1(c.total);
        twUpdateTotals(*transaction, TWTotalTypeTotal, TWTotalTypeAll, b);
        const QString expected =
            TWLocalized("amountNotHeldMessage")
                .arg(c.named ? QString::fromLatin1(c.named) : TWLocalized("homeCurrency"),
                     QString::fromLatin1(c.named ? c.other : c.home));
        const TWErrorResult error = b.addTransaction(transaction, false, false, false, false);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->localizedDescription(), expected);
        EXPECT_TRUE(b.transactions().isEmpty());
        EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions")), 0);
    }
}

// Units: conversion, seeding, loading, writes, and the placeholder for unknown codes.

#include "TWBusiness.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "TWUnitConversion.h"
#include "TWUnits.h"

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

TEST(UnitsStore, SeedingANewBusiness)
{
    const TWUnitList &builtIn = TWUnits::units().unitList();
    ASSERT_FALSE(builtIn.isEmpty());
    auto business = twMakeBusinessWithUnits(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    EXPECT_EQ(codes(b.units()), codes(builtIn));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT value FROM info WHERE identifier=2;")),
              16777216);
    EXPECT_EQ(b.homeUnit(), b.unitWithCode(QStringLiteral("EUR")));
    // Only a Canadian business renames the dollars.
    EXPECT_EQ(b.unitWithCode(QStringLiteral("CAD"))->symbol(), QStringLiteral("CA$"));
    auto canadian = twMakeBusinessWithUnits(QStringLiteral("CAD"));
    ASSERT_TRUE(canadian);
    EXPECT_EQ(canadian->unitWithCode(QStringLiteral("CAD"))->symbol(), QStringLiteral("$"));
    const TWUnitPtr usd = canadian->unitWithCode(QStringLiteral("USD"));
    EXPECT_EQ(usd->symbol(), QStringLiteral("US$"));
    EXPECT_EQ(canadian->totalInHomeCurrency(10000, usd),
              TWUnitConversion::convertTotal(10000, *usd, *canadian->homeUnit()));
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
    ASSERT_FALSE(b.addUnit(full, false));
    ASSERT_FALSE(b.addUnit(bare, false));
    ASSERT_FALSE(b.loadUnits());
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
    ASSERT_FALSE(b.loadUnits());
    EXPECT_FALSE(b.unitWithCode(QStringLiteral("ZZB"))->lastUpdatedDate().isValid());
    EXPECT_EQ(b.unitWithCode(QStringLiteral("ZZB"))->decimalPlaces(), 2);
}

TEST(UnitsStore, AddUpdateAndDelete)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWNotificationRecorder recorder(&b);
    ASSERT_FALSE(b.addUnit(unitPtr("ZZM", "Middle"), false));
    ASSERT_FALSE(b.addUnit(unitPtr("ZZZ", "Zulu"), false));
    const TWUnitPtr added = unitPtr("ZZA", "Able");
    ASSERT_FALSE(b.addUnit(added, true));
    EXPECT_EQ(codes(b.units()), (QStringList{"ZZA", "ZZM", "ZZZ"}));
    ASSERT_EQ(recorder.names(), QStringList{"unitNew"});
    EXPECT_EQ(recorder.notifications().front().userInfo.value("unit").value<TWUnitPtr>(), added);
    // A second unit with the same code is refused and changes nothing.
    EXPECT_TRUE(b.addUnit(unitPtr("ZZA", "Another"), true));
    EXPECT_EQ(b.unitWithCode(QStringLiteral("ZZA")), added);

    // A copy updates the listed object, which keeps its place and its type.
    TWUnitPtr edited = added->copy();
    edited->setName(QStringLiteral("Zz last"));
    edited->setType(TWUnitTypeMileage);
    ASSERT_FALSE(b.updateUnit(edited, true));
    EXPECT_EQ(added->name(), QStringLiteral("Zz last"));
    EXPECT_EQ(added->type(), std::uint32_t(TWUnitTypeCustom));
    EXPECT_EQ(b.units().first(), added);
    EXPECT_EQ(twQueryText(b, QStringLiteral("SELECT name FROM units WHERE code='ZZA';")),
              QStringLiteral("Zz last"));

    // A rate update writes the rate and the date only, and no listed object.
    TWUnitPtr rated = added->copy();
    rated->setRate(8.0);
    rated->setName(QStringLiteral("Ignored"));
    ASSERT_FALSE(b.updateUnitRate(rated, true));
    EXPECT_EQ(added->rate(), 1.0);
    EXPECT_EQ(twQueryText(b, QStringLiteral("SELECT rate || name FROM units WHERE code='ZZA';")),
              QStringLiteral("8.0Zz last"));

    // Delete goes by code.
    ASSERT_FALSE(b.deleteUnit(unitPtr("ZZM", "whatever"), true));
    EXPECT_EQ(codes(b.units()), (QStringList{"ZZA", "ZZZ"}));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM units;")), 2);
    EXPECT_EQ(recorder.names(), (QStringList{"unitNew", "unitUpdate", "unitUpdate", "unitDelete"}));
}

TEST(UnitsStore, AFailedCascadePutsTheListBack)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    for (const char *code : {"ZZA", "ZZB", "ZZC"})
        ASSERT_FALSE(b.addUnit(unitPtr(code, code), false));
    const TWUnitList before = b.units();
    TWNotificationRecorder recorder(&b);
    {
        TWBusiness::WriteScope scope(b);
        ASSERT_FALSE(b.deleteUnit(before.at(1), true));
        ASSERT_FALSE(b.addUnit(unitPtr("ZZD", "ZZ0"), true));
        TWUnitPtr edited = before.at(2)->copy();
        edited->setName(QStringLiteral("changed"));
        ASSERT_FALSE(b.updateUnit(edited, true));
        scope.rollback();
    }
    EXPECT_EQ(b.units(), before);
    EXPECT_EQ(b.unitWithCode(QStringLiteral("ZZB")), before.at(1));
    EXPECT_EQ(before.at(2)->name(), QStringLiteral("ZZC"));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM units;")), 3);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(UnitsStore, UnknownCodesKeepTheirCode)
{
    auto business = twMakeBusinessWithUnits(QStringLiteral("XQQ"));
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    // The home unit is a placeholder carrying the stored code, not dollars.
    const TWUnitPtr home = b.homeUnit();
    ASSERT_TRUE(home);
    EXPECT_EQ(home->code(), QStringLiteral("XQQ"));
    EXPECT_EQ(b.unitForStoredCode(QStringLiteral("XQQ")), home);
    EXPECT_FALSE(b.units().contains(home));
    // Its own amounts stay; nothing pretends to know what it is worth.
    EXPECT_EQ(b.totalInHomeCurrency(500, home), 500);
    EXPECT_EQ(b.totalInHomeCurrency(500, b.unitWithCode(QStringLiteral("EUR"))), 0);
}

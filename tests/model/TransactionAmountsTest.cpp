// Transactions: the four amounts, percent-of-total fields, autofill, default
// accounts, search and attachments.

#include "model/TWTransaction.h"

#include "TWTestSupport.h"
#include "model/TWBuiltInFields.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

namespace
{

TWUnitPtr unit(const char *code, double rate, std::uint8_t places,
               std::uint32_t type = TWUnitTypeCurrency)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), rate, places, QDateTime(), false, type);
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
    TWUnitPtr eur = unit("EUR", 0.9, 2);   // the transaction's unit
    TWUnitPtr jpy = unit("JPY", 150.0, 0); // account 1
    TWUnitPtr bhd = unit("BHD", 0.376, 3); // account 2
    TWUnitPtr usd = unit("USD", 1.0, 2);   // home
};

TWAccountPtr account(qint32 identifier, const char *name, const TWUnitPtr &unit)
{
    auto result = std::make_shared<TWAccount>();
    result->setIdentifier(identifier);
    result->setName(QString::fromUtf8(name));
    result->setUnit(unit);
    return result;
}

TWFieldPtr field(qint32 identifier, std::uint32_t type, bool autofillValue = true)
{
    return TWField::fieldWithName(QStringLiteral("F%1").arg(identifier), type, false, autofillValue,
                                  identifier);
}

struct Totals {
    qint64 total, account1, account2, business;
};

void expectTotals(const TWTransaction &t, Totals expected)
{
    EXPECT_EQ(t.total(), expected.total);
    EXPECT_EQ(t.totalAccount1(), expected.account1);
    EXPECT_EQ(t.totalAccount2(), expected.account2);
    EXPECT_EQ(t.totalBusiness(), expected.business);
}

} // namespace

TEST(TransactionAmounts, EachMasterGivesTheOtherThree)
{
    const Units u;
    TWTransaction t;
    t.setUnit(u.eur);
    const auto update = [&](int master, int target) {
        t.updateTotalsWithMasterTotalType(master, target, u.jpy, u.bhd, u.usd, convert);
    };

    // 10.00 EUR: 1666.67 yen, 4.17778 dinar, 11.1111 dollars.
    t.setTotal(1000);
    update(TWTotalTypeTotal, TWTotalTypeAll);
    expectTotals(t, {1000, 1667, 4178, 1111});

    // 1500 yen: 9.00 EUR, 3.760 BHD, 10.00 USD.
    t.setTotalAccount1(1500);
    update(TWTotalTypeAccount1, TWTotalTypeAll);
    expectTotals(t, {900, 1500, 3760, 1000});

    // -2.50 USD: -2.25 EUR, -375 yen, -0.940 BHD.
    t.setTotalBusiness(-250);
    update(TWTotalTypeBusiness, TWTotalTypeAll);
    expectTotals(t, {-225, -375, -940, -250});

    // A target equal to the master, or a master outside 1 to 4, changes nothing.
    t.setTotalAccount1(3000);
    update(TWTotalTypeAccount1, TWTotalTypeAccount1);
    update(0, TWTotalTypeAll);
    expectTotals(t, {-225, 3000, -940, -250});

    // A named target changes only that amount.
    update(TWTotalTypeAccount1, TWTotalTypeAccount2);
    expectTotals(t, {-225, 3000, 7520, -250});

    // An account without a unit keeps its amount; the rest still follow.
    t.setTotal(2000);
    t.updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll, nullptr, u.bhd, u.usd,
                                      convert);
    expectTotals(t, {2000, 3000, 8356, 2222});
}

TEST(TransactionAmounts, AutofillFromARememberedTransaction)
{
    const Units u;
    const QHash<qint32, TWAccountPtr> accounts{{100, account(100, "Cash", u.jpy)},
                                               {101, account(101, "Travel", u.bhd)},
                                               {102, account(102, "Bank", u.usd)}};
    const TWAccountLookup lookup = [&accounts](qint32 id) { return accounts.value(id); };

    TWFieldList fields;
    for (qint32 id : {TWFieldIdentifierPayee, TWFieldIdentifierDescription, TWFieldIdentifierTotal,
                      TWFieldIdentifierAccount1, TWFieldIdentifierAccount2, TWFieldIdentifierNotes})
        fields.append(TWBuiltInFields::makeField(*TWBuiltInFields::definition(id)));
    for (const TWFieldPtr &f : fields)
        f->setAutofillValue(true);
    fields[5]->setAutofillValue(false); // notes are not filled
    const TWFieldPtr text = field(1, TWFieldTypeText);
    fields.append(text);

    TWTransaction source;
    source.setPayee(QStringLiteral("Airline"));
    source.setDescription(QStringLiteral("Ticket"));
    source.setNotes(QStringLiteral("window seat"));
    source.setTotal(1000);
    source.setUnit(u.eur);
    source.setAccount1Identifier(101);
    source.setAccount2Identifier(102);
    source.fieldValueWithField(*text, true)->setText(QStringLiteral("trip"));

    TWTransaction t;
    t.setPayee(QStringLiteral("Air"));
    t.setAccount1Identifier(100);
    t.fieldValueWithField(*text, true)->setText(QStringLiteral("old"));
    t.autofill(TWFieldIdentifierPayee, source, fields, lookup, u.usd, convert);

    EXPECT_EQ(t.payee(), QStringLiteral("Air")); // the trigger itself
    EXPECT_EQ(t.description(), QStringLiteral("Ticket"));
    EXPECT_TRUE(t.notes().isEmpty());
    EXPECT_EQ(t.account1Identifier(), 101);
    EXPECT_EQ(t.account2Identifier(), 102);
    // Converted into the units of the accounts filled in, not the old ones.
    expectTotals(t, {1000, 4178, 1111, 1111});

    // The custom value replaces the old one and is not the source's object.
    ASSERT_EQ(t.fieldValues().size(), 1);
    t.fieldValueWithIdentifier(1)->setText(QStringLiteral("edited"));
    EXPECT_EQ(source.fieldValueWithIdentifier(1)->text(), QStringLiteral("trip"));

    // A split source gives neither amount nor accounts.
    source.setHasSplit(true);
    TWTransaction other;
    other.autofill(0, source, fields, lookup, u.usd, convert);
    EXPECT_EQ(other.total(), 0);
    EXPECT_EQ(other.account1Identifier(), 0);
    EXPECT_EQ(other.description(), QStringLiteral("Ticket"));
}

// Transactions: the four amounts, percent-of-total fields, autofill, default
// accounts, search and attachments.

#include "TWTransaction.h"

#include "TWBuiltInFields.h"
#include "TWTestSupport.h"

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

// Plain money text: signed, decimals, no grouping, no unit.
QString moneyText(qint64 total, const TWUnitPtr &unit)
{
    const int places = unit ? unit->decimalPlaces() : 2;
    return QString::number(double(total) / std::pow(10.0, places), 'f', places);
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
    return TWField::fieldWithName(QStringLiteral("F%1").arg(identifier), type, false,
                                  autofillValue, identifier);
}

TWFieldPtr percentField(qint32 identifier, double percent, bool included)
{
    TWFieldPtr result = field(identifier, TWFieldTypePercentTotal);
    result->setPercent(percent);
    result->setIncludedInTotal(included);
    return result;
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

TEST(TransactionAmounts, PercentTotals)
{
    const TWFieldPtr included = percentField(1, 10.0, true);
    const TWFieldPtr onTop = percentField(2, 10.0, false);
    const TWFieldPtr impossible = percentField(3, -100.0, true);
    const TWFieldList fields{included, onTop, impossible, field(4, TWFieldTypeText)};

    TWTransaction t;
    t.setTotal(11000);
    t.updatePercentTotals(fields);
    EXPECT_EQ(t.fieldValueWithIdentifier(1)->currency(), 1000);
    EXPECT_EQ(t.fieldValueWithIdentifier(2)->currency(), 1100);
    // Dividing by zero gives no amount rather than an undefined one.
    EXPECT_EQ(t.fieldValueWithIdentifier(3)->currency(), 0);
    EXPECT_EQ(t.fieldValueWithIdentifier(4), nullptr);

    // Negative bases give negative shares, truncated toward zero.
    t.setTotal(-105);
    t.updatePercentTotals(fields);
    EXPECT_EQ(t.fieldValueWithIdentifier(1)->currency(), -9); // -9.545...
    EXPECT_EQ(t.fieldValueWithIdentifier(2)->currency(), -10); // -10.5

    // A split transaction counts only its positive lines.
    t.setHasSplit(true);
    t.setSplits({TWSplit::splitWithIdentifier(1, QString(), 5, 8000, 0, 0, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(2, QString(), 6, 3000, 0, 0, 0, 0, nullptr),
                 TWSplit::splitWithIdentifier(3, QString(), 7, -11000, 0, 0, 0, 0, nullptr)});
    t.updatePercentTotals(fields);
    EXPECT_EQ(t.fieldValueWithIdentifier(2)->currency(), 1100);
    EXPECT_EQ(t.fieldValues().size(), 3);
}

TEST(TransactionAmounts, AutofillFromARememberedTransaction)
{
    const Units u;
    const QHash<qint32, TWAccountPtr> accounts{{100, account(100, "Cash", u.jpy)},
                                               {101, account(101, "Travel", u.bhd)},
                                               {102, account(102, "Bank", u.usd)}};
    const TWAccountLookup lookup = [&accounts](qint32 id) { return accounts.value(id); };

    TWFieldList fields;
    for (qint32 id : {TWFieldIdentifierPayee, TWFieldIdentifierDescription,
                      TWFieldIdentifierTotal, TWFieldIdentifierAccount1,
                      TWFieldIdentifierAccount2, TWFieldIdentifierNotes})
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

TEST(TransactionAmounts, DefaultAccounts)
{
    const Units u;
    const TWUnitPtr km = unit("KM", 1.0, 1, TWUnitTypeMileage);
    TWAccountDefaults defaults;
    defaults.accounts = {account(100, "Bank", u.usd), account(101, "Sales", u.usd),
                         account(102, "Car Mileage", u.usd)};
    defaults.mileageUnit = km;

    // Nothing remembered: the business's first two accounts.
    TWTransaction t;
    t.setUnit(u.usd);
    t.updateAccounts(defaults, std::nullopt, false);
    EXPECT_EQ(t.account1Identifier(), 100);
    EXPECT_EQ(t.account2Identifier(), 101);
    EXPECT_EQ(t.unit(), u.usd);

    // The last used ones first; never the same account twice.
    defaults.lastAccount1Identifier = 101;
    defaults.lastAccount2Identifier = 101;
    TWTransaction same;
    same.updateAccounts(defaults, std::nullopt, false);
    EXPECT_EQ(same.account1Identifier(), 101);
    EXPECT_EQ(same.account2Identifier(), 100);

    // Account 1 must come from the given list.
    TWTransaction listed;
    listed.setAccount1Identifier(100);
    listed.updateAccounts(defaults, TWAccountList{defaults.accounts[2]}, false);
    EXPECT_EQ(listed.account1Identifier(), 102);
    EXPECT_EQ(listed.account2Identifier(), 101);
    // ... and the mileage account turns it into a mileage transaction.
    EXPECT_EQ(listed.unit(), km);

    // A split transaction's first two lines give the candidates.
    TWTransaction split;
    split.setHasSplit(true);
    split.setSplits({TWSplit::splitWithIdentifier(1), // no account yet
                     TWSplit::splitWithIdentifier(2, QString(), 102, 0, 0, 0, 0, 0, u.usd)});
    split.updateAccounts(defaults, std::nullopt, false);
    EXPECT_EQ(split.account1Identifier(), 102);
    EXPECT_EQ(split.account2Identifier(), 101);

    // A business with no accounts leaves them missing.
    TWTransaction empty;
    empty.updateAccounts(TWAccountDefaults(), TWAccountList(), false);
    EXPECT_EQ(empty.account1Identifier(), 0);
    EXPECT_EQ(empty.account2Identifier(), 0);
}

TEST(TransactionAmounts, Search)
{
    const Units u;
    const QHash<qint32, TWAccountPtr> accounts{{100, account(100, "Checking", u.usd)},
                                               {101, account(101, "Groceries", u.eur)}};
    TWFieldPtr colour = field(7, TWFieldTypeList);
    colour->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("Crimson"), 1)});
    TWFieldPtr tags = field(8, TWFieldTypeTags);
    tags->setTagItems({TWFieldTagItem::fieldTagItemWithName(QStringLiteral("Urgent"), 4)});
    TWTransactionSearchContext context;
    context.account = [&accounts](qint32 id) { return accounts.value(id); };
    context.field = [&](qint32 id) { return id == 7 ? colour : id == 8 ? tags : nullptr; };
    context.homeUnit = u.usd;
    context.moneyText = moneyText;

    TWTransaction t(123, 0, 0, QStringLiteral("Corner Market"), QStringLiteral("weekly food"),
                    100, 101, twLocal(2024, 1, 1), 1250, 1250, 1125, 1250, 0, 0, u.usd, false,
                    0, {}, false, QString(), false, {}, QDateTime(), QDateTime());

    EXPECT_TRUE(t.searchString(QStringLiteral("12"), context));     // identifier and 12.50
    EXPECT_TRUE(t.searchString(QStringLiteral("11.2"), context));   // account 2's 11.25
    EXPECT_TRUE(t.searchString(QStringLiteral("market"), context)); // payee word
    EXPECT_TRUE(t.searchString(QStringLiteral("groc"), context));   // account 2's name
    EXPECT_FALSE(t.searchString(QStringLiteral("112"), context));
    EXPECT_FALSE(t.searchString(QStringLiteral("2.50"), context)); // prefixes only

    // Without "contains", words must begin the text.
    context.contains = false;
    EXPECT_FALSE(t.searchString(QStringLiteral("market"), context));
    EXPECT_TRUE(t.searchString(QStringLiteral("corner"), context));
    context.contains = true;

    // An amount of 112.00 does not match 12; its identifier does not either.
    t.setIdentifier(99);
    t.setTotal(11200);
    t.setTotalAccount1(11200);
    t.setTotalAccount2(11200);
    t.setTotalBusiness(11200);
    EXPECT_FALSE(t.searchString(QStringLiteral("12"), context));

    // The running balance of the row, in the active account's unit.
    t.setBalance(-1234);
    EXPECT_FALSE(t.searchString(QStringLiteral("-12.34"), context));
    t.setActiveAccountIdentifier(101);
    EXPECT_TRUE(t.searchString(QStringLiteral("-12.34"), context));

    // Custom values by type.
    t.fieldValueWithField(*colour, true)->setListItemIdentifier(1);
    t.fieldValueWithField(*tags, true)->setTagItemIdentifiers({4});
    t.fieldValueWithField(*field(9, TWFieldTypeNumber), true)->setNumber(42.9);
    EXPECT_TRUE(t.searchString(QStringLiteral("crim"), context));
    EXPECT_TRUE(t.searchString(QStringLiteral("urgent"), context));
    EXPECT_FALSE(t.searchString(QStringLiteral("42.9"), context));

    // Lines: their description, account name and amounts.
    t.setHasSplit(true);
    t.setSplits({TWSplit::splitWithIdentifier(1, QStringLiteral("bread"), 100, 777, 777, 777, 0,
                                              0, u.usd)});
    EXPECT_TRUE(t.searchString(QStringLiteral("bread"), context));
    EXPECT_TRUE(t.searchStringSplits(QStringLiteral("check"), context));
}

TEST(TransactionAmounts, Attachments)
{
    TWTestTempDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString photo = dir.filePath(QStringLiteral("receipt.png"));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(photo));
    const QString text = dir.filePath(QStringLiteral("a.txt"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("hello");
    }

    TWTransaction t;
    const TWAttachmentPtr first = t.addAttachmentFile(text, TWAttachmentTypeFile, QString(), -1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->fileSize(), 5u);
    EXPECT_TRUE(t.dirtyAttachments());

    QImage thumbnailSeen;
    const TWAttachmentPtr second = t.addAttachmentFile(
        photo, TWAttachmentTypeFile, QStringLiteral("a-2.txt"), 0, [&](const QImage &image) {
            thumbnailSeen = image;
            return QStringLiteral("/tmp/thumb.jpg");
        });
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->type(), std::uint32_t(TWAttachmentTypePhoto));
    EXPECT_EQ(second->photoWidth(), 40u);
    EXPECT_EQ(thumbnailSeen.size(), QSize(40, 30));
    ASSERT_EQ(t.attachments()->size(), 2);
    EXPECT_EQ(t.attachments()->first(), second); // inserted at index 0

    EXPECT_EQ(t.uniqueAttachmentName(QStringLiteral("a"), QStringLiteral("txt")),
              QStringLiteral("a-3.txt"));

    // Stored attachments that were never loaded are not replaced by a new list.
    TWTransaction stored;
    stored.setHasAttachments(true);
    EXPECT_EQ(stored.addAttachmentFile(text, TWAttachmentTypeFile, QString(), -1), nullptr);
    EXPECT_FALSE(stored.attachments().has_value());
    EXPECT_FALSE(stored.dirtyAttachments());

    // Copies carry their own attachment records.
    const TWTransactionPtr copy = t.copy();
    copy->attachments()->at(1)->setFileName(QStringLiteral("renamed"));
    EXPECT_EQ(first->fileName(), QStringLiteral("a.txt"));
    EXPECT_TRUE(copy->dirtyAttachments());
}

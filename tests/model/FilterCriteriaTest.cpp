#include "model/TWBuiltInFields.h"
#include "model/TWFilter.h"
#include "model/TWFilterCriteria.h"

#include "TWTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{

TWUnitPtr unitWithPlaces(const char *code, std::uint8_t places)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), 1.0, places, QDateTime(), false, TWUnitTypeCurrency);
}

// Custom fields 1 text, 2 currency, 3 number, 4 percent, 5 checkbox, 6 date,
// 7 list (choices 11, 12), 8 tags (choices 21, 22), 9 percent total, 10 an
// empty list, 11 empty tags.
struct Fields {
    QHash<qint32, TWFieldPtr> byIdentifier;
    TWFilterContext context;

    Fields()
    {
        for (std::uint32_t type = 1; type <= 9; ++type)
            add(qint32(type), type);
        byIdentifier[7]->setListItems({TWFieldListItem::fieldListItemWithName("a", 11),
                                       TWFieldListItem::fieldListItemWithName("b", 12)});
        byIdentifier[8]->setTagItems({TWFieldTagItem::fieldTagItemWithName("x", 21),
                                      TWFieldTagItem::fieldTagItemWithName("y", 22)});
        add(10, TWFieldTypeList);
        add(11, TWFieldTypeTags);
        context.field = [this](qint32 identifier) { return byIdentifier.value(identifier); };
        context.homeUnit = unitWithPlaces("USD", 2);
        context.firstAccountIdentifier = 100;
    }

    void add(qint32 identifier, std::uint32_t type)
    {
        byIdentifier.insert(identifier,
                            TWField::fieldWithName(QStringLiteral("F%1").arg(identifier), type,
                                                   false, false, identifier));
    }
};

TWTransactionPtr transaction(const TWUnitPtr &unit = unitWithPlaces("USD", 2))
{
    return TWTransaction::transactionWithIdentifier(
        150, 0, 0, QStringLiteral("Shop"), QStringLiteral("Weekly groceries"), 100, 101,
        twLocal(2024, 3, 1), 1234, 1234, 1234, 1234, 0, 0, unit, false, 0, {}, true, QString(),
        false, {}, QDateTime(), QDateTime());
}

TWFilterCriteriaPtr simple(qint32 field, quint32 match, quint32 valueType)
{
    return TWFilterCriteria::filterCriteriaWithType(TWFilterCriteriaTypeSimple, field, match,
                                                    valueType, 0, QString(), false, 0, 0.0,
                                                    QDateTime(), 0, 0.0f);
}

TWFilterCriteriaPtr identifierIs(qint32 field, quint32 match, qint32 value)
{
    auto c = simple(field, match, TWFilterValueTypeIdentifier);
    c->setValueIdentifier(value);
    return c;
}

TWFilterCriteriaPtr textIs(qint32 field, quint32 match, const QString &value)
{
    auto c = simple(field, match, TWFilterValueTypeText);
    c->setValueText(value);
    return c;
}

TWFilterCriteriaPtr amountIs(qint32 field, quint32 match, qint64 value)
{
    auto c = simple(field, match, TWFilterValueTypeCurrency);
    c->setValueCurrency(value);
    return c;
}

} // namespace

TEST(FilterCriteria, ALoopingTreeFromADamagedDocumentEndsInsteadOfOverflowing)
{
    const Fields f;
    auto a = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAll, {});
    auto b = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAll, {a});
    a->addChildCriteria(b);

    EXPECT_FALSE(a->matchTransaction(*transaction(), f.context));
    const TWFilterCriteriaList walked = TWFilterCriteria::preOrderCriteria(a);
    ASSERT_EQ(walked.size(), 2);
    EXPECT_EQ(walked[0], a);
    EXPECT_EQ(walked[1], b);
    EXPECT_NE(a->copy(), nullptr);
    TWFilter::deleteChildCriteria(a, *f.byIdentifier[1]);

    // Break the loop so the nodes are released.
    a->setChildCriteria({});
}

TEST(FilterCriteria, AccountsMatchAnyOfTheTransactionsAccountsOrSplitLines)
{
    const Fields f;
    const TWTransactionPtr t = transaction(); // accounts 100 and 101
    const auto account = [&](quint32 match, qint32 value) {
        return identifierIs(TWFieldIdentifierAccount1, match, value)
            ->matchTransaction(*t, f.context);
    };
    EXPECT_TRUE(account(TWFilterComparisonIs, 100));
    EXPECT_FALSE(account(TWFilterComparisonIs, 102));
    EXPECT_FALSE(account(TWFilterComparisonIs, -1)); // it has accounts
    // A set compares as 0 in the ordered comparisons.
    EXPECT_TRUE(account(TWFilterComparisonLess, 100));

    // A split transaction: the lines' accounts, not the two account fields.
    const TWUnitPtr usd = f.context.homeUnit;
    t->setHasSplit(true);
    t->setSplits({TWSplit::splitWithIdentifier(1, QString(), 300, 500, 500, 500, 0, 0, usd),
                  TWSplit::splitWithIdentifier(2, QString(), 301, -500, -500, -500, 0, 0, usd)});
    EXPECT_TRUE(account(TWFilterComparisonIs, 301));
    EXPECT_FALSE(account(TWFilterComparisonIs, 100));

    // No account at all: "no account" holds.
    t->setHasSplit(false);
    t->setAccount1Identifier(0);
    t->setAccount2Identifier(0);
    EXPECT_TRUE(account(TWFilterComparisonIs, -1));
}

TEST(FilterCriteria, TotalsCompareExactlyInTheirOwnUnitsDecimalPlaces)
{
    Fields f;
    // 12.34 in a unit of two places.
    const TWTransactionPtr t = transaction();
    const auto total = [&](quint32 match, qint64 value) {
        return amountIs(TWFieldIdentifierTotal, match, value)->matchTransaction(*t, f.context);
    };
    EXPECT_TRUE(total(TWFilterComparisonIs, 1234));
    EXPECT_FALSE(total(TWFilterComparisonGreater, 1234));
    EXPECT_FALSE(total(TWFilterComparisonContains, 1234));

    // A home unit of three places: 12.345 is more than 12.34 and less than
    // 12.35 (truncating it to 12.34 would make it equal).
    f.context.homeUnit = unitWithPlaces("KWD", 3);
    t->setTotalBusiness(12345);
    EXPECT_FALSE(total(TWFilterComparisonIs, 1234));
    EXPECT_TRUE(total(TWFilterComparisonGreater, 1234));
    t->setTotalBusiness(-12345);
    EXPECT_TRUE(total(TWFilterComparisonLess, -1234));

    // A home unit without decimals: 12 against 12.34 and 12.00.
    f.context.homeUnit = unitWithPlaces("JPY", 0);
    t->setTotalBusiness(12);
    EXPECT_TRUE(total(TWFilterComparisonLess, 1234));
    EXPECT_TRUE(total(TWFilterComparisonIs, 1200));

    // The home-currency amount counts in the home unit, whatever the
    // transaction's own unit is.
    t->setUnit(unitWithPlaces("KWD", 3));
    EXPECT_TRUE(total(TWFilterComparisonIs, 1200));

    // Extremes neither overflow nor wrap: the largest home amount of a unit
    // with no decimals is far above the largest criterion value.
    t->setTotalBusiness(std::numeric_limits<qint64>::max());
    EXPECT_TRUE(total(TWFilterComparisonGreater, std::numeric_limits<qint64>::max()));
    t->setTotalBusiness(std::numeric_limits<qint64>::min());
    EXPECT_TRUE(total(TWFilterComparisonLess, std::numeric_limits<qint64>::min()));
    f.context.homeUnit = unitWithPlaces("XXX", 30);
    t->setTotalBusiness(1);
    EXPECT_TRUE(total(TWFilterComparisonLess, 1));
    t->setTotalBusiness(0);
    EXPECT_TRUE(total(TWFilterComparisonIs, 0));
}

TEST(FilterCriteria, DeletingAFieldRemovesItsCriteriaAtEveryDepth)
{
    const Fields f;
    const TWField &list = *f.byIdentifier[7];
    auto keep = textIs(1, TWFilterComparisonIs, QStringLiteral("x"));
    auto listA = identifierIs(7, TWFilterComparisonIs, 11);
    auto listB = identifierIs(7, TWFilterComparisonIs, 12);
    auto deepA = identifierIs(7, TWFilterComparisonIsNot, 11);
    auto inner = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAny, {deepA});
    auto root = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAll,
                                                                  {listA, keep, inner, listB});

    // Deleting choice 11 removes only the criteria on that choice.
    TWFilter::deleteChildCriteria(root, list, 11);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{keep, inner, listB}));
    EXPECT_TRUE(inner->childCriteria().isEmpty()); // emptied, but kept

    // Deleting the field removes the rest of them.
    inner->addChildCriteria(deepA);
    TWFilter::deleteChildCriteria(root, list);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{keep, inner}));
    EXPECT_TRUE(inner->childCriteria().isEmpty());

    // Another field's criteria go the same way; a null tree is left alone.
    TWFilter::deleteChildCriteria(nullptr, list);
    TWFilter::deleteChildCriteria(root, *f.byIdentifier[1]);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{inner}));
}

#include "TWBuiltInFields.h"
#include "TWFilter.h"
#include "TWFilterCriteria.h"

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

TWFilterCriteriaPtr always(bool yes)
{
    // Cleared is YES on the test transaction.
    auto c = simple(TWFieldIdentifierCleared, TWFilterComparisonIs, TWFilterValueTypeSwitch);
    c->setValueSwitch(yes);
    return c;
}

} // namespace

TEST(FilterCriteria, CompoundsCombineTheirChildrenAndKeepTheirMeaningWhenEmpty)
{
    const Fields f;
    const TWTransactionPtr t = transaction();
    const auto compound = [](quint32 match, TWFilterCriteriaList children = {}) {
        return TWFilterCriteria::filterCriteriaCompoundWithMatch(match, children);
    };

    EXPECT_TRUE(TWFilterCriteria::filterCriteriaCompound()->matchTransaction(*t, f.context));
    EXPECT_TRUE(compound(TWFilterMatchAll)->matchTransaction(*t, f.context));
    EXPECT_FALSE(compound(TWFilterMatchAny)->matchTransaction(*t, f.context));
    EXPECT_TRUE(compound(TWFilterMatchNone)->matchTransaction(*t, f.context));
    EXPECT_FALSE(compound(7)->matchTransaction(*t, f.context));

    const TWFilterCriteriaList mixed{always(true), always(false)};
    EXPECT_FALSE(compound(TWFilterMatchAll, mixed)->matchTransaction(*t, f.context));
    EXPECT_TRUE(compound(TWFilterMatchAny, mixed)->matchTransaction(*t, f.context));

    // A node of an unknown type matches nothing.
    auto odd = always(true);
    odd->setType(5);
    EXPECT_FALSE(odd->matchTransaction(*t, f.context));

    // A filter answers with its tree; without one it matches nothing.
    const TWFilterPtr filter = TWFilter::filterWithIdentifier(100, QStringLiteral("f"));
    EXPECT_FALSE(filter->matchTransaction(*t, f.context));
    filter->setCriteria(compound(TWFilterMatchAll));
    EXPECT_TRUE(filter->matchTransaction(*t, f.context));
}

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

TEST(FilterCriteria, TextComparisonsAreLiteralAndCaseSensitive)
{
    const Fields f;
    const TWTransactionPtr t = transaction(); // payee "Shop", no notes
    const auto text = [&](qint32 field, quint32 match, const QString &value) {
        return textIs(field, match, value)->matchTransaction(*t, f.context);
    };
    const auto payee = [&](quint32 match, const char *value) {
        return text(TWFieldIdentifierPayee, match, QString::fromUtf8(value));
    };
    EXPECT_TRUE(payee(TWFilterComparisonIs, "Shop"));
    EXPECT_FALSE(payee(TWFilterComparisonIs, "shop"));
    EXPECT_TRUE(payee(TWFilterComparisonContains, "ho"));
    EXPECT_FALSE(payee(TWFilterComparisonContains, "S.op")); // no patterns
    EXPECT_TRUE(payee(TWFilterComparisonBeginsWith, "Sh"));
    EXPECT_TRUE(payee(TWFilterComparisonEndsWith, "op"));

    // An absent text on either side is the empty text.
    EXPECT_TRUE(text(TWFieldIdentifierPayee, TWFilterComparisonContains, QString()));
    EXPECT_TRUE(text(TWFieldIdentifierNotes, TWFilterComparisonIs, QString()));
    EXPECT_FALSE(text(TWFieldIdentifierNotes, TWFilterComparisonContains, "x"));

    // The unit by its code; a custom text field by its value.
    EXPECT_TRUE(text(TWFieldIdentifierUnit, TWFilterComparisonIs, "USD"));
    t->fieldValueWithField(*f.byIdentifier[1], true)->setText(QStringLiteral("Invoice 12"));
    EXPECT_TRUE(text(1, TWFilterComparisonEndsWith, " 12"));
}

TEST(FilterCriteria, SwitchesIgnoreTheComparison)
{
    const Fields f;
    const TWTransactionPtr t = transaction(); // cleared, no repeat, no attachments
    auto cleared = always(true);
    cleared->setMatch(TWFilterComparisonIsNot);
    EXPECT_TRUE(cleared->matchTransaction(*t, f.context));

    auto repeat = simple(TWFieldIdentifierRepeat, TWFilterComparisonIs, TWFilterValueTypeSwitch);
    repeat->setValueSwitch(true);
    EXPECT_FALSE(repeat->matchTransaction(*t, f.context));
    t->setRepeatIdentifier(3);
    EXPECT_TRUE(repeat->matchTransaction(*t, f.context));

    // A checkbox field without a value is NO.
    auto checkbox = simple(5, TWFilterComparisonIs, TWFilterValueTypeSwitch);
    checkbox->setValueSwitch(true);
    EXPECT_FALSE(checkbox->matchTransaction(*t, f.context));
    t->fieldValueWithField(*f.byIdentifier[5], true)->setCheckboxValue(true);
    EXPECT_TRUE(checkbox->matchTransaction(*t, f.context));
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

TEST(FilterCriteria, IdentifiersListsAndTagsCompareAsIdentifiers)
{
    const Fields f;
    const TWTransactionPtr t = transaction(); // identifier 150
    const auto matches = [&](qint32 field, quint32 match, qint32 value) {
        return identifierIs(field, match, value)->matchTransaction(*t, f.context);
    };
    EXPECT_TRUE(matches(TWFieldIdentifierIdentifier, TWFilterComparisonIs, 150));
    EXPECT_FALSE(matches(TWFieldIdentifierIdentifier, TWFilterComparisonGreater, 150));

    // List: no value counts as "no choice" (-1).
    EXPECT_TRUE(matches(7, TWFilterComparisonIs, -1));
    t->fieldValueWithField(*f.byIdentifier[7], true)->setListItemIdentifier(12);
    EXPECT_TRUE(matches(7, TWFilterComparisonIs, 12));

    // Tags: without a value, "no tags" holds; with one, each chosen tag.
    EXPECT_TRUE(matches(8, TWFilterComparisonIs, -1));
    t->fieldValueWithField(*f.byIdentifier[8], true)->setTagItemIdentifiers({22, 21});
    EXPECT_TRUE(matches(8, TWFilterComparisonIs, 21));
    EXPECT_FALSE(matches(8, TWFilterComparisonIs, -1));

    // Built-in fields a filter does not offer give empty values too.
    EXPECT_TRUE(matches(TWFieldIdentifierBalance, TWFilterComparisonIs, 0));
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

TEST(FilterCriteria, CustomAmountsCountInTheTransactionsUnit)
{
    const Fields f;
    const auto matches = [&](const TWTransactionPtr &t, qint32 field, quint32 match, qint64 value) {
        return amountIs(field, match, value)->matchTransaction(*t, f.context);
    };

    // 1.234 in a unit of three places, against 1.23 and 1.24.
    const TWTransactionPtr dinar = transaction(unitWithPlaces("KWD", 3));
    dinar->fieldValueWithField(*f.byIdentifier[2], true)->setCurrency(1234);
    EXPECT_TRUE(matches(dinar, 2, TWFilterComparisonGreater, 123));
    EXPECT_FALSE(matches(dinar, 2, TWFilterComparisonIs, 123));

    // 5 in a unit without decimals is 5.00.
    const TWTransactionPtr yen = transaction(unitWithPlaces("JPY", 0));
    yen->fieldValueWithField(*f.byIdentifier[9], true)->setCurrency(5);
    EXPECT_TRUE(matches(yen, 9, TWFilterComparisonIs, 500));

    // No value is 0.
    EXPECT_TRUE(matches(yen, 2, TWFilterComparisonIs, 0));
}

TEST(FilterCriteria, NumbersAndPercentsCompareAsNumbers)
{
    const Fields f;
    const TWTransactionPtr t = transaction();
    t->fieldValueWithField(*f.byIdentifier[3], true)->setNumber(2.5);
    t->fieldValueWithField(*f.byIdentifier[4], true)->setPercent(12.5f);

    auto number = simple(3, TWFilterComparisonGreater, TWFilterValueTypeNumber);
    number->setValueNumber(2.25);
    EXPECT_TRUE(number->matchTransaction(*t, f.context));
    auto percent = simple(4, TWFilterComparisonLess, TWFilterValueTypePercent);
    percent->setValuePercent(12.5f);
    EXPECT_FALSE(percent->matchTransaction(*t, f.context));
    percent->setMatch(TWFilterComparisonLessOrEqual);
    EXPECT_TRUE(percent->matchTransaction(*t, f.context));
    // The value type decides: the number field read as a percent is empty.
    EXPECT_TRUE(
        simple(3, TWFilterComparisonIs, TWFilterValueTypePercent)->matchTransaction(*t, f.context));
}

TEST(FilterCriteria, NewCriteriaTakeTheirFieldsDefaults)
{
    const Fields f;
    const auto fresh = [&](qint32 field) {
        return TWFilterCriteria::filterCriteriaWithFieldIdentifier(field, f.context);
    };
    // Field -> value type and the identifier value where it has one.
    const QList<std::tuple<qint32, int, qint32>> expected{
        {TWFieldIdentifierDateModified, TWFilterValueTypeNamedPeriod, TWFilterPeriodToday},
        {TWFieldIdentifierAccount1, TWFilterValueTypeIdentifier, 100},
        {7, TWFilterValueTypeIdentifier, 11},
        {11, TWFilterValueTypeIdentifier, -1}};
    for (const auto &[field, valueType, value] : expected) {
        const auto c = fresh(field);
        EXPECT_EQ(c->match(), quint32(TWFilterComparisonIs)) << field;
        EXPECT_EQ(c->valueType(), quint32(valueType)) << field;
        EXPECT_EQ(c->valueIdentifier(), value) << field;
    }
    EXPECT_EQ(fresh(TWFieldIdentifierUnit)->valueText(), QStringLiteral("USD"));
    EXPECT_TRUE(fresh(TWFieldIdentifierCleared)->valueSwitch());

    // Changing the field resets the old value; "kept" values stay.
    auto c = fresh(3);
    c->setValueNumber(7.5);
    c->setValueCurrency(900);
    c->setMatch(TWFilterComparisonGreater);
    c->updateFieldIdentifier(TWFieldIdentifierTotal, f.context);
    EXPECT_EQ(c->match(), quint32(TWFilterComparisonIs));
    EXPECT_EQ(c->valueCurrency(), 900);
    EXPECT_EQ(c->valueNumber(), 0.0);

    // Fields a filter does not offer, and unknown fields, keep the comparison
    // and value type; a relative count resets to 1.
    c = simple(TWFieldIdentifierDate, TWFilterComparisonWithinDays, TWFilterValueTypeRelativeDate);
    c->setValueRelativeDate(-30);
    c->updateFieldIdentifier(TWFieldIdentifierBalance, f.context);
    EXPECT_EQ(c->match(), quint32(TWFilterComparisonWithinDays));
    EXPECT_EQ(c->valueRelativeDate(), 1);
    c->updateFieldIdentifier(42, f.context);
    EXPECT_EQ(c->fieldIdentifier(), 42);
    EXPECT_EQ(c->valueType(), quint32(TWFilterValueTypeRelativeDate));

    // A business without accounts keeps the account value.
    auto account = simple(TWFieldIdentifierPayee, TWFilterComparisonIs, TWFilterValueTypeText);
    account->setValueIdentifier(55);
    account->updateFieldIdentifier(TWFieldIdentifierAccount1, TWFilterContext());
    EXPECT_EQ(account->valueIdentifier(), 55);

    // The default tree: all of "account is the first account".
    const auto tree = TWFilterCriteria::defaultCriteria(f.context);
    ASSERT_EQ(tree->childCriteria().size(), 1);
    EXPECT_EQ(tree->childCriteria()[0]->fieldIdentifier(), TWFieldIdentifierAccount1);
    EXPECT_TRUE(tree->matchTransaction(*transaction(), f.context));
}

TEST(FilterCriteria, CopiesAreDeepAndCarryOnlyTheTypedValue)
{
    auto leaf = TWFilterCriteria::filterCriteriaWithType(
        TWFilterCriteriaTypeSimple, TWFieldIdentifierPayee, TWFilterComparisonContains,
        TWFilterValueTypeText, 42, QStringLiteral("Shop"), true, 500, 1.5, twLocal(2024, 1, 1), 3,
        2.5f);
    leaf->setIdentifier(102);
    leaf->setParentIdentifier(101);
    leaf->setSortOrder(4);
    auto inner = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchNone, {leaf});
    auto root = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAny, {inner});

    const TWFilterCriteriaPtr copy = root->copy();
    ASSERT_EQ(copy->childCriteria().size(), 1);
    const TWFilterCriteriaPtr innerCopy = copy->childCriteria()[0];
    ASSERT_EQ(innerCopy->childCriteria().size(), 1);
    const TWFilterCriteriaPtr leafCopy = innerCopy->childCriteria()[0];
    EXPECT_NE(innerCopy, inner);
    EXPECT_NE(leafCopy, leaf);
    EXPECT_EQ(innerCopy->match(), quint32(TWFilterMatchNone));
    EXPECT_EQ(leafCopy->match(), quint32(TWFilterComparisonContains));
    EXPECT_EQ(leafCopy->valueText(), QStringLiteral("Shop"));
    // The values another value type would use are not carried over.
    EXPECT_EQ(leafCopy->valueIdentifier(), 0);
    EXPECT_FALSE(leafCopy->valueDate().isValid());

    // Editing the copy leaves the original alone.
    leafCopy->setValueText(QStringLiteral("Market"));
    innerCopy->addChildCriteria(TWFilterCriteria::filterCriteriaCompound());
    EXPECT_EQ(leaf->valueText(), QStringLiteral("Shop"));
    EXPECT_EQ(inner->childCriteria().size(), 1);

    // Assigning a node one of its own children works on a copy first.
    *root = *inner;
    EXPECT_EQ(root->match(), quint32(TWFilterMatchNone));
    ASSERT_EQ(root->childCriteria().size(), 1);
    EXPECT_NE(root->childCriteria()[0], leaf);

    // A filter's copy shares its tree.
    const TWFilterPtr filter = TWFilter::filterWithIdentifier(100, QStringLiteral("f"), 0, 0, copy);
    EXPECT_EQ(filter->copy()->criteria(), copy);
}

TEST(FilterCriteria, ChildrenAreInsertedRemovedByIdentityAndOrdered)
{
    auto root = TWFilterCriteria::filterCriteriaCompound();
    auto a = always(true);
    auto b = always(true);
    auto c = always(true);
    root->addChildCriteria(a);
    root->addChildCriteria(b, 99); // past the end: appended
    root->addChildCriteria(c, 1);
    root->addChildCriteria(nullptr);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{a, c, b}));
    root->removeChildCriteria(always(true)); // an equal node is not that node
    root->removeChildCriteria(c);
    EXPECT_EQ(root->childCriteria(), (TWFilterCriteriaList{a, b}));

    a->setSortOrder(2);
    b->setSortOrder(1);
    TWFilterCriteriaList list{a, nullptr, b};
    std::stable_sort(list.begin(), list.end(), TWFilterCriteria::lessThan);
    EXPECT_EQ(list, (TWFilterCriteriaList{b, a, nullptr}));
}

TEST(FilterCriteria, StorageNumbersTheTreeInPreOrder)
{
    // R holds A and B; A holds C.
    auto c = always(true);
    auto a = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAny, {c});
    auto b = always(false);
    auto r = TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAll, {a, b});
    for (const auto &node : {a, b, c})
        node->setSortOrder(9);

    EXPECT_EQ(TWFilterCriteria::preOrderCriteria(r), (TWFilterCriteriaList{r, a, c, b}));
    EXPECT_TRUE(TWFilterCriteria::preOrderCriteria(nullptr).isEmpty());

    TWFilterCriteriaList list;
    quint32 next = 100;
    TWFilterCriteria::numberCriteria(list, r, next);
    EXPECT_EQ(list, (TWFilterCriteriaList{r, a, c, b}));
    EXPECT_EQ(next, 104u);
    EXPECT_EQ(r->identifier(), 100u);
    EXPECT_EQ(a->identifier(), 101u);
    EXPECT_EQ(a->parentIdentifier(), 100u);
    EXPECT_EQ(a->sortOrder(), 0u);
    EXPECT_EQ(c->identifier(), 102u);
    EXPECT_EQ(c->parentIdentifier(), 101u);
    EXPECT_EQ(b->identifier(), 103u);
    EXPECT_EQ(b->parentIdentifier(), 100u);
    EXPECT_EQ(b->sortOrder(), 1u);

    // Read back without a type: children make a compound, and a childless node
    // without a field was a compound too.
    EXPECT_EQ(TWFilterCriteria::typeForStoredCriteria(true, -2),
              quint32(TWFilterCriteriaTypeCompound));
    EXPECT_EQ(TWFilterCriteria::typeForStoredCriteria(false, 0),
              quint32(TWFilterCriteriaTypeCompound));
    EXPECT_EQ(TWFilterCriteria::typeForStoredCriteria(false, -2),
              quint32(TWFilterCriteriaTypeSimple));
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

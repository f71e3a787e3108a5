#include "TWBuiltInFields.h"
#include "TWField.h"
#include "TWLocalized.h"
#include "TWValue.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace
{

TWFieldPtr listField()
{
    TWFieldPtr field =
        TWField::fieldWithName(QStringLiteral("Project"), TWFieldTypeList, false, true, 4);
    field->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("Alpha"), 2),
                         TWFieldListItem::fieldListItemWithName(QStringLiteral("Beta"), 1),
                         TWFieldListItem::fieldListItemWithName(QStringLiteral("Gamma"), 7)});
    return field;
}

TWFieldPtr colourTags()
{
    TWFieldPtr field =
        TWField::fieldWithName(QStringLiteral("Colour"), TWFieldTypeTags, false, false, 5);
    field->setTagItems({TWFieldTagItem::fieldTagItemWithName(QStringLiteral("red"), 1),
                        TWFieldTagItem::fieldTagItemWithName(QStringLiteral("green"), 2),
                        TWFieldTagItem::fieldTagItemWithName(QStringLiteral("blue"), 3)});
    return field;
}

} // namespace

TEST(Field, ListItemLookupByIdentifier)
{
    const TWFieldPtr field = listField();
    ASSERT_TRUE(field->listItemWithIdentifier(7));
    EXPECT_EQ(field->listItemWithIdentifier(7)->name(), QStringLiteral("Gamma"));
    EXPECT_EQ(field->listNameWithIdentifier(1), QStringLiteral("Beta"));
    // -1 means no choice; an identifier nobody has finds nothing.
    EXPECT_EQ(field->listItemWithIdentifier(-1), nullptr);
    EXPECT_FALSE(field->listNameWithIdentifier(3).has_value());

    // An entry with -1 as its identifier is still never chosen by -1.
    field->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("X"), -1)});
    EXPECT_EQ(field->listItemWithIdentifier(-1), nullptr);

    // An entry with an empty name is found, and its name is present but empty.
    field->setListItems({TWFieldListItem::fieldListItemWithName(QString(), 1)});
    ASSERT_TRUE(field->listNameWithIdentifier(1).has_value());
    EXPECT_TRUE(field->listNameWithIdentifier(1)->isEmpty());

    // Two entries with the same identifier: the first one wins.
    field->setListItems(listField()->listItems());
    TWFieldListItemList items = field->listItems();
    items.append(TWFieldListItem::fieldListItemWithName(QStringLiteral("Later"), 2));
    field->setListItems(items);
    EXPECT_EQ(field->listNameWithIdentifier(2), QStringLiteral("Alpha"));

    field->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("Only"), 9)});
    // Entries are shared objects: renumbering one in place is seen by the lookup.
    field->listItems().first()->setIdentifier(11);
    EXPECT_EQ(field->listItemWithIdentifier(9), nullptr);
    EXPECT_EQ(field->listNameWithIdentifier(11), QStringLiteral("Only"));
}

TEST(Field, TagNamesFollowTheFieldsOrder)
{
    const TWFieldPtr field = colourTags();
    EXPECT_EQ(field->tagNameWithIdentifiers({3, 1}), QStringLiteral("red, blue"));
    // Unknown identifiers are skipped; a repeated one names its tag once.
    EXPECT_EQ(field->tagNameWithIdentifiers({42, 3, 3, -1}), QStringLiteral("blue"));
    EXPECT_EQ(TWField::field()->tagNameWithIdentifiers({1}), QString());
}

TEST(Field, EqualityIsByIdentifierAndOrderIsByName)
{
    const TWFieldPtr a =
        TWField::fieldWithName(QStringLiteral("a"), TWFieldTypeText, false, false, 3);
    const TWFieldPtr b =
        TWField::fieldWithName(QStringLiteral("b"), TWFieldTypeNumber, true, true, 3);
    const TWFieldPtr c =
        TWField::fieldWithName(QStringLiteral("a"), TWFieldTypeText, false, false, 4);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*c));
    EXPECT_EQ(a->compare(*b), -1);
    EXPECT_EQ(a->compare(*c), 0);

    // Case-sensitive: capitals sort before small letters.
    TWFieldList fields = {
        TWField::fieldWithName(QStringLiteral("alpha"), TWFieldTypeText, false, false, 1),
        TWField::fieldWithName(QStringLiteral("Zeta"), TWFieldTypeText, false, false, 2),
        TWField::fieldWithName(QStringLiteral("Beta"), TWFieldTypeText, false, false, 3)};
    std::stable_sort(fields.begin(), fields.end(),
                     [](const TWFieldPtr &l, const TWFieldPtr &r) { return l->compare(*r) < 0; });
    EXPECT_EQ(fields[0]->name(), QStringLiteral("Beta"));
    EXPECT_EQ(fields[2]->name(), QStringLiteral("alpha"));
}

TEST(Field, ChoicesAreEqualOnlyWithSameNameAndIdentifier)
{
    const auto one = TWFieldListItem::fieldListItemWithName(QStringLiteral("Red"), 1);
    EXPECT_TRUE(one->isEqual(*TWFieldListItem::fieldListItemWithName(QStringLiteral("Red"), 1)));
    EXPECT_FALSE(one->isEqual(*TWFieldListItem::fieldListItemWithName(QStringLiteral("Red"), 2)));
    EXPECT_FALSE(one->isEqual(*TWFieldListItem::fieldListItemWithName(QStringLiteral("red"), 1)));
}

TEST(Field, CopyIsDeepAndKeepsChoicesAndPercentSettings)
{
    const TWFieldPtr original = listField();
    original->setTagItems(colourTags()->tagItems());
    original->setPercent(15.0);
    original->setIncludedInTotal(true);

    const TWFieldPtr copy = original->copy();
    EXPECT_EQ(copy->percent(), 15.0);
    EXPECT_TRUE(copy->includedInTotal());
    ASSERT_EQ(copy->listItems().size(), 3);
    ASSERT_EQ(copy->tagItems().size(), 3);
    // Editing the copy's choices leaves the original alone, and both look up
    // their own entries.
    copy->listItems()[0]->setName(QStringLiteral("Changed"));
    copy->tagItems()[2]->setIdentifier(30);
    EXPECT_EQ(original->listNameWithIdentifier(2), QStringLiteral("Alpha"));
    EXPECT_EQ(copy->listNameWithIdentifier(2), QStringLiteral("Changed"));
    EXPECT_EQ(original->tagNameWithIdentifiers({3}), QStringLiteral("blue"));
    EXPECT_EQ(copy->tagNameWithIdentifiers({3}), QString());

    // Assignment copies the same way.
    TWField assigned;
    assigned = *original;
    EXPECT_NE(assigned.listItems()[1], original->listItems()[1]);
    EXPECT_EQ(assigned.listNameWithIdentifier(7), QStringLiteral("Gamma"));
}

TEST(Field, PercentThatIsNotFiniteBecomesZero)
{
    TWField field(QStringLiteral("Tax"), TWFieldTypePercentTotal, false, false, 2);
    field.setPercent(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(field.percent(), 0.0);
    field.setPercent(7.5);
    field.setPercent(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(field.percent(), 0.0);
}

TEST(Field, EveryFieldTypeHasADisplayName)
{
    for (std::uint32_t type = TWFieldTypeStandard; type <= TWFieldTypePercentTotal; ++type) {
        const char *key = TWFieldTypeNameKey(type);
        ASSERT_NE(key, nullptr) << type;
        EXPECT_TRUE(TWHasLocalized(QString::fromUtf8(key))) << key;
    }
    EXPECT_EQ(TWFieldTypeNameKey(10), nullptr);
}

TEST(BuiltInFields, EighteenInTheOrderANewBusinessInsertsThem)
{
    const QList<qint32> expected = {-1,  -2,  -3,  -4,  -5,  -6,  -7,  -8,  -9,
                                    -10, -11, -12, -16, -13, -14, -15, -17, -18};
    QList<qint32> identifiers;
    for (const TWBuiltInField &definition : TWBuiltInFields::definitions())
        identifiers.append(definition.identifier);
    EXPECT_EQ(identifiers, expected);

    QSet<qint32> triggers, values;
    for (const TWBuiltInField &definition : TWBuiltInFields::definitions()) {
        const TWFieldPtr field = TWBuiltInFields::makeField(definition);
        EXPECT_TRUE(TWHasLocalized(QString::fromUtf8(definition.nameKey))) << definition.nameKey;
        if (field->autofillTrigger())
            triggers.insert(field->identifier());
        if (field->autofillValue())
            values.insert(field->identifier());
        EXPECT_EQ(TWBuiltInFields::definition(definition.identifier), &definition);
    }
    EXPECT_EQ(triggers, QSet<qint32>({-5, -6}));
    EXPECT_EQ(values, QSet<qint32>({-2, -5, -6, -7, -8, -12, -15}));
    EXPECT_EQ(TWBuiltInFields::definition(0), nullptr);
    EXPECT_EQ(TWBuiltInFields::definition(-19), nullptr);
}

TEST(BuiltInFields, FieldListsNameOnlyBuiltInFieldsOnce)
{
    const QList<const QList<qint32> *> lists = {&TWBuiltInFields::sortedFieldIdentifiers(),
                                                &TWBuiltInFields::filterFieldIdentifiers(),
                                                &TWBuiltInFields::importFieldIdentifiers(),
                                                &TWBuiltInFields::exportFieldIdentifiers(),
                                                &TWBuiltInFields::defaultExportFieldIdentifiers(),
                                                &TWBuiltInFields::editFieldIdentifiers(),
                                                &TWBuiltInFields::autofillFieldIdentifiers()};
    for (const QList<qint32> *list : lists) {
        const QSet<qint32> unique(list->cbegin(), list->cend());
        EXPECT_EQ(unique.size(), list->size());
        EXPECT_FALSE(unique.contains(TWFieldIdentifierImport));
        for (qint32 identifier : *list)
            EXPECT_NE(TWBuiltInFields::definition(identifier), nullptr) << identifier;
    }
    // The unit comes between total and balance wherever both are exported.
    const QList<qint32> &exported = TWBuiltInFields::exportFieldIdentifiers();
    EXPECT_EQ(exported.indexOf(TWFieldIdentifierUnit),
              exported.indexOf(TWFieldIdentifierTotal) + 1);
    EXPECT_EQ(exported.indexOf(TWFieldIdentifierBalance),
              exported.indexOf(TWFieldIdentifierUnit) + 1);
    // Balance is computed, never a filter or import target; account 2 is no filter.
    EXPECT_FALSE(TWBuiltInFields::importFieldIdentifiers().contains(TWFieldIdentifierBalance));
    EXPECT_FALSE(TWBuiltInFields::filterFieldIdentifiers().contains(TWFieldIdentifierAccount2));
}

TEST(Value, EqualityIsByIdentifierAndOrderIsByName)
{
    const TWValuePtr a =
        TWValue::valueWithName(QStringLiteral("acme"), TWFieldIdentifierPayee, 100);
    const TWValuePtr b =
        TWValue::valueWithName(QStringLiteral("Acme"), TWFieldIdentifierPayee, 100);
    const TWValuePtr c = TWValue::valueWithName(QStringLiteral("acme"), TWValueListBillNames, 101);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*c));
    EXPECT_EQ(b->compare(*a), -1);
    EXPECT_EQ(a->compare(*c), 0);
}

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWField.h"
#include "model/TWValue.h"

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

TEST(Field, CopyHasNoChoicesOrPercentSettingsAndAValueCopyIsDeep)
{
    const TWFieldPtr original = listField();
    original->setTagItems(colourTags()->tagItems());
    original->setPercent(15.0);
    original->setIncludedInTotal(true);

    const TWFieldPtr copy = original->copy();
    EXPECT_EQ(copy->name(), original->name());
    EXPECT_EQ(copy->identifier(), original->identifier());
    EXPECT_EQ(copy->type(), original->type());
    EXPECT_EQ(copy->percent(), 0.0);
    EXPECT_FALSE(copy->includedInTotal());
    EXPECT_TRUE(copy->listItems().isEmpty());
    EXPECT_TRUE(copy->tagItems().isEmpty());
    EXPECT_FALSE(copy->listItemWithIdentifier(2));

    // A value copy keeps the choices as copies of its own: editing them
    // leaves the original alone, and both look up their own entries.
    TWField whole(*original);
    whole.listItems()[0]->setName(QStringLiteral("Changed"));
    whole.tagItems()[2]->setIdentifier(30);
    EXPECT_EQ(original->listNameWithIdentifier(2), QStringLiteral("Alpha"));
    EXPECT_EQ(whole.listNameWithIdentifier(2), QStringLiteral("Changed"));
    EXPECT_EQ(original->tagNameWithIdentifiers({3}), QStringLiteral("blue"));
    EXPECT_EQ(whole.tagNameWithIdentifiers({3}), QString());
    EXPECT_EQ(whole.percent(), 15.0);

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

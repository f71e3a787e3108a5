#include "app/TWMasterItem.h"

#include "model/TWGroup.h"

#include <gtest/gtest.h>

namespace
{

TWMasterItemPtr record(const TWItemPtr &item, TWMasterItemList children = {})
{
    TWMasterItemChildren list;
    if (!children.isEmpty())
        list = std::make_shared<TWMasterItemList>(children);
    return TWMasterItem::masterItemWithType(TWMasterItemEntity, list, item);
}

TWItemPtr item(qint32 identifier, TWItemType type, quint32 sortOrder = 0)
{
    return TWItem::itemWithIdentifier(identifier, type, QStringLiteral("x"), 0, sortOrder);
}

TEST(MasterItemTest, ChildItemsOfTypeTellsNoneFromHits)
{
    const TWItemPtr account = item(101, TWItemTypeAccount);
    const TWMasterItemPtr inner = record(item(201, TWItemTypeAccountGroup), {record(account)});
    const TWMasterItemPtr empty = record(item(202, TWItemTypeAccountGroup));
    const TWMasterItemPtr outer = record(item(200, TWItemTypeAccountGroup), {inner, empty});

    // Found at any depth; the node's own record is not part of it.
    const std::optional<TWItemList> accounts = outer->childItemsOfType(TWItemTypeAccount);
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 1);
    EXPECT_EQ(accounts->first(), account);
    ASSERT_TRUE(outer->childItemsOfType(TWItemTypeAccountGroup));
    EXPECT_EQ(outer->childItemsOfType(TWItemTypeAccountGroup)->size(), 2);
    // No descendant of the kind gives none, never an empty list.
    EXPECT_FALSE(empty->childItemsOfType(TWItemTypeAccount));
    EXPECT_FALSE(outer->childItemsOfType(TWItemTypeClient));
    // A header answers none even with accounts below it.
    const TWMasterItemPtr header = TWMasterItem::masterItemWithType(
        TWMasterItemAccountsHeader, std::make_shared<TWMasterItemList>(TWMasterItemList{outer}));
    EXPECT_FALSE(header->childItemsOfType(TWItemTypeAccount));
}

} // namespace

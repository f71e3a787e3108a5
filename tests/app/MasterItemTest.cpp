#include "TWMasterItem.h"

#include "TWGroup.h"

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

TEST(MasterItemTest, NextSortOrderFollowsTheLargestChild)
{
    EXPECT_EQ(record(item(1, TWItemTypeAccountGroup))->nextSortOrder(), 0u);
    const TWMasterItemPtr parent =
        record(item(1, TWItemTypeAccountGroup),
               {record(item(2, TWItemTypeAccount, 0)), record(item(3, TWItemTypeAccount, 4)),
                record(item(4, TWItemTypeAccount, 2)),
                TWMasterItem::masterItemWithType(TWMasterItemBudget)});
    EXPECT_EQ(parent->nextSortOrder(), 5u);
}

TEST(MasterItemTest, ContainmentAndParents)
{
    const TWMasterItemPtr leaf = record(item(3, TWItemTypeAccount));
    const TWMasterItemPtr middle = record(item(2, TWItemTypeAccountGroup), {leaf});
    const TWMasterItemPtr top = record(item(1, TWItemTypeAccountGroup), {middle});
    EXPECT_TRUE(leaf->containsMasterItem(*leaf));
    EXPECT_TRUE(top->containsMasterItem(*leaf));
    EXPECT_FALSE(leaf->containsMasterItem(*top));
    EXPECT_FALSE(leaf->hasParent({leaf}));
    EXPECT_TRUE(leaf->hasParent({leaf, top}));
    EXPECT_FALSE(top->hasParent({leaf, top}));
}

TEST(MasterItemTest, EqualityHashAndSettings)
{
    const TWMasterItemPtr a = TWMasterItem::masterItemWithType(TWMasterItemClientsHeader);
    const TWMasterItemPtr b = TWMasterItem::masterItemWithType(TWMasterItemClientsHeader);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(*TWMasterItem::masterItemWithType(TWMasterItemMerchantsHeader)));
    // A header with children differs from one without.
    const TWMasterItemPtr full = TWMasterItem::masterItemWithType(
        TWMasterItemClientsHeader,
        std::make_shared<TWMasterItemList>(TWMasterItemList{record(item(5, TWItemTypeClient))}));
    EXPECT_FALSE(a->isEqual(*full));

    const TWItemPtr client = item(7, TWItemTypeClient);
    const TWMasterItemPtr node = record(client);
    EXPECT_EQ(node->hash(), client->hash());
    // Same identifier, other kind: another record.
    EXPECT_FALSE(node->isEqual(*record(item(7, TWItemTypeMerchant))));

    EXPECT_EQ(a->settings().keys(), QStringList{QStringLiteral("type")});
    const QVariantMap settings = node->settings();
    EXPECT_EQ(settings.value(QStringLiteral("type")).toInt(), 5);
    EXPECT_EQ(settings.value(QStringLiteral("subtype")).toInt(), int(TWItemTypeClient));
    EXPECT_EQ(settings.value(QStringLiteral("identifier")).toInt(), 7);

    // A copy shares the children list and starts collapsed.
    full->setExpanded(true);
    const TWMasterItemPtr copy = full->copy();
    EXPECT_EQ(copy->childItems(), full->childItems());
    EXPECT_FALSE(copy->expanded());
}

TEST(MasterItemTest, RecordsOfASelectionCountOnce)
{
    const TWItemPtr account = item(101, TWItemTypeAccount);
    const TWMasterItemPtr accountNode = record(account);
    const TWMasterItemPtr group = record(item(200, TWItemTypeAccountGroup), {accountNode});
    const TWMasterItemPtr header = TWMasterItem::masterItemWithType(TWMasterItemUnits);

    const TWItemList accounts = TWMasterItem::childItems({group, accountNode, header}, TWItemTypeAccount);
    ASSERT_EQ(accounts.size(), 1);
    EXPECT_EQ(accounts.first(), account);
    // The plain form takes the selected records only.
    const TWItemList records = TWMasterItem::childItems({group, header, accountNode});
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records.at(0)->identifier(), 200);
    EXPECT_EQ(records.at(1)->identifier(), 101);
}

} // namespace

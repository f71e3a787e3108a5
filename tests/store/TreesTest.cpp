#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

TWGroupPtr group(qint32 identifier, const QString &name, qint32 parent, quint32 sortOrder = 0,
                 TWItemType type = TWItemTypeAccountGroup)
{
    return TWGroup::groupWithIdentifier(identifier, type, name, parent, sortOrder, QColor(), true);
}

template <typename T = TWAccount>
std::shared_ptr<T> leaf(qint32 identifier, const QString &name, qint32 parent,
                        quint32 sortOrder = 0)
{
    auto item = std::make_shared<T>();
    item->setIdentifier(identifier);
    item->setName(name);
    item->setParentIdentifier(parent);
    item->setSortOrder(sortOrder);
    if constexpr (std::is_same_v<T, TWAccount>)
        item->setUnit(std::make_shared<TWUnit>());
    return item;
}

QList<qint32> identifiers(const TWItemList &items, const TWItemIndentLevels *levels = nullptr)
{
    QList<qint32> result;
    for (const TWItemPtr &item : items)
        result.append(levels ? levels->value(TWItemKey::of(*item), -1) : item->identifier());
    return result;
}

// "identifier:sortOrder ..." by identifier, as stored and as held in memory.
QString stored(TWBusiness &business, const char *table)
{
    return twQueryText(business, QStringLiteral("SELECT group_concat(identifier || ':' || "
                                                "sortOrder, ' ') FROM (SELECT * FROM %1 "
                                                "ORDER BY identifier);")
                                     .arg(table))
        .value_or(QString());
}

template <typename List> QString held(const List &items)
{
    QMap<qint32, quint32> byIdentifier;
    for (const auto &item : items)
        byIdentifier.insert(item->identifier(), item->sortOrder());
    QStringList parts;
    for (auto it = byIdentifier.cbegin(); it != byIdentifier.cend(); ++it)
        parts.append(QStringLiteral("%1:%2").arg(it.key()).arg(it.value()));
    return parts.join(QLatin1Char(' '));
}

// Groups 100 "Assets" > 101 "bank" > 102 "Cash" and 103 "assets", accounts
// with names that tie when case is ignored; no sort order is a position.
std::unique_ptr<TWBusiness> businessWithChart()
{
    auto business = twMakeBusiness();
    if (!business)
        return nullptr;
    for (const TWGroupPtr &g : {group(100, "Assets", 0, 40), group(101, "bank", 100, 41),
                                group(102, "Cash", 101, 42), group(103, "assets", 0, 43)})
        EXPECT_OK(business->addGroup(g, false));
    for (const TWAccountPtr &a :
         {leaf(110, "savings", 101, 50), leaf(111, "Checking", 101, 51),
          leaf(112, "petty", 102, 52), leaf(113, "Loan", 0, 53), leaf(114, "loan", 0, 54),
          leaf(115, QString(), 100, 55), leaf(116, "Wallet", 103, 56)})
        EXPECT_OK(business->addAccount(a, false));
    return business;
}

} // namespace

TEST(Trees, MissingParentsAndLoopingChainsEndAtTheTopLevel)
{
    // 400's parent does not exist; 401 and 402 hold each other; 403 itself.
    const TWGroupList groups{group(400, "Orphan", 999), group(401, "Loop A", 402),
                             group(402, "Loop B", 401), group(403, "Self", 403),
                             group(404, "Inner", 401)};
    const TWItemList items{leaf(20, "in orphan", 400), leaf(21, "lost", 998),
                           leaf(22, "in loop", 402), leaf(23, "in self", 403)};
    TWItemList flat;
    TWItemIndentLevels levels;
    TWBusiness::flatItems(TWBusiness::sortedItems(items, groups, 0), TWItem::rootItem(), 0, flat,
                          &levels);
    EXPECT_EQ(identifiers(flat), (QList<qint32>{401, 404, 402, 22, 21, 400, 20, 403, 23}));
    EXPECT_EQ(identifiers(flat, &levels), (QList<qint32>{0, 1, 1, 2, 0, 0, 1, 0, 1}));

    // A hand-made tree holding a group inside itself still ends.
    TWItemTree selfHolding;
    selfHolding.append(*TWItem::rootItem(), groups[0]);
    selfHolding.append(*groups[0], groups[0]);
    TWItemList once;
    TWBusiness::flatItems(selfHolding, TWItem::rootItem(), 0, once);
    EXPECT_EQ(identifiers(once), (QList<qint32>{400, 400}));

    // A chain tens of thousands deep needs no recursion.
    TWGroupList chain;
    for (qint32 i = 50000; i > 0; --i)
        chain.append(group(1000 + i, "G", i == 1 ? 0 : 999 + i));
    TWBusiness::flatItems(TWBusiness::sortedItems({}, chain, 1), TWItem::rootItem(), 0, flat,
                          &levels);
    EXPECT_EQ(levels.value(TWItemKey::of(*flat.back())), 49999);
}

TEST(Trees, AFailedRenumberingLeavesEverySortOrderAsItWas)
{
    auto business = businessWithChart();
    ASSERT_TRUE(business);
    const QString groups = stored(*business, "groups");
    const QString accounts = stored(*business, "accounts");
    TWNotificationRecorder recorder(business.get());
    auto expectUnchanged = [&](TWErrorResult error) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), TWDatabaseErrorDomain);
        EXPECT_EQ(stored(*business, "groups"), groups);
        EXPECT_EQ(stored(*business, "accounts"), accounts);
        EXPECT_EQ(held(business->accountGroups()), groups);
        EXPECT_EQ(held(business->accounts()), accounts);
        EXPECT_TRUE(recorder.names().isEmpty());
    };
    // Account 110 comes late in the manual walk and after every group reset.
    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON accounts WHEN "
                                     "NEW.identifier = 110 BEGIN SELECT RAISE(ABORT, 'no'); END;"));
    expectUnchanged(business->updateItems(business->accounts(), business->accountGroups(), 1));
    expectUnchanged(business->updateItems(business->accounts(), business->accountGroups(), 0));
    // Group 103 comes after most accounts.
    twExec(*business, QStringLiteral("DROP TRIGGER refuse; CREATE TRIGGER refuse BEFORE UPDATE ON "
                                     "groups WHEN NEW.identifier = 103 BEGIN SELECT "
                                     "RAISE(ABORT, 'no'); END;"));
    expectUnchanged(business->updateItems(business->accounts(), business->accountGroups(), 1));
}

// Dragging records within the source list over a real store: what may start
// a drag, where a record may go, the sort orders and parents stored, drops
// from another window, and a drop whose write fails.

#include "TWWindowTestSupport.h"

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "app/TWMasterModel.h"

#include <QMimeData>

namespace
{

class SourceListDragTest : public TWWindowTest
{
protected:
    // Accounts A, B, C inside the group Box, an empty-ish group Other holding
    // X, and a client group, in the manual order unless told otherwise.
    std::unique_ptr<TWBusinessController> chart(bool manual)
    {
        return windowDocument([&](TWBusiness &b) {
            box = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Box"), 0, true);
            inner = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Inner"), box->identifier(),
                             true);
            a = addAccount(b, QStringLiteral("A"), box->identifier());
            bee = addAccount(b, QStringLiteral("B"), box->identifier());
            c = addAccount(b, QStringLiteral("C"), box->identifier());
            other = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Other"), 0, true);
            x = addAccount(b, QStringLiteral("X"), other->identifier());
            clients = addGroup(b, TWItemTypeClientGroup, QStringLiteral("Clients"), 0, true);
            addClient(b, QStringLiteral("Client"), clients->identifier());
            ASSERT_OK(b.setSortBy(manual ? 0 : 1));
            ASSERT_OK(b.setSortBy(manual ? 1 : 0));
        });
    }
    static TWMasterItemPtr node(TWMasterController &list, int kind, qint32 id)
    {
        return list.masterItemWithType(TWMasterItemEntity, quint32(kind), id);
    }
    static std::unique_ptr<QMimeData> drag(TWMasterController &list,
                                           const QList<TWMasterItemPtr> &nodes)
    {
        QModelIndexList indexes;
        for (const TWMasterItemPtr &n : nodes)
            indexes.append(list.model()->indexOf(n.get()));
        return std::unique_ptr<QMimeData>(list.model()->mimeData(indexes));
    }
    static bool drop(TWMasterController &list, const TWMasterItemPtr &dragged,
                     const TWMasterItemPtr &target, int row)
    {
        auto mime = drag(list, {dragged});
        EXPECT_TRUE(mime);
        return mime && list.model()->dropMimeData(mime.get(), Qt::MoveAction, row, 0,
                                                  list.model()->indexOf(target.get()));
    }
    // The names of a node's children as the list shows them.
    static QStringList names(TWMasterController &list, const TWMasterItemPtr &parent)
    {
        QStringList result;
        const QModelIndex at = list.model()->indexOf(parent.get());
        for (int row = 0; row < list.model()->rowCount(at); ++row)
            result.append(list.model()->index(row, 0, at).data().toString());
        return result;
    }
    static qint64 storedSortOrder(TWBusiness &b, const TWAccountPtr &account)
    {
        return twQueryInt(b, QStringLiteral("SELECT sortOrder FROM accounts WHERE identifier=%1")
                                 .arg(account->identifier()))
            .value_or(-1);
    }

    TWGroupPtr box, inner, other, clients;
    TWAccountPtr a, bee, c, x;
};

// A payload names a record by kind and identifier only; in another business
// that names another record, so a drag from another window is refused.
TEST_F(SourceListDragTest, ADropFromAnotherWindowIsRefused)
{
    auto first = chart(true);
    const TWAccountPtr firstA = a;
    auto second = chart(true);
    ASSERT_EQ(firstA->identifier(), a->identifier());
    TWMasterController &there = master(*first);
    TWMasterController &here = master(*second);
    auto mime = drag(there, {node(there, 5, firstA->identifier())});
    ASSERT_TRUE(mime);
    EXPECT_EQ(mime->formats(), QStringList{"com.darozirazozozudod.tallyworth.masterItem"});
    const TWMasterItemPtr target = node(here, 1, other->identifier());
    EXPECT_FALSE(here.model()->canDropMimeData(mime.get(), Qt::MoveAction, -1, 0,
                                               here.model()->indexOf(target.get())));
    EXPECT_FALSE(here.model()->dropMimeData(mime.get(), Qt::MoveAction, -1, 0,
                                            here.model()->indexOf(target.get())));
    EXPECT_EQ(a->parentIdentifier(), box->identifier());
    // A forged payload without the list's token is refused too.
    QMimeData forged;
    forged.setData(TWMasterItemMimeType, QByteArray("<plist/>"));
    EXPECT_FALSE(here.model()->canDropMimeData(&forged, Qt::MoveAction, -1, 0,
                                               here.model()->indexOf(target.get())));
}

// The renumbering and the move are one write: when a part fails, every sort
// order, parent and the sort mode stay as they were, in memory and on file.
TEST_F(SourceListDragTest, AFailedWriteChangesNothing)
{
    for (bool manual : {true, false}) {
        prompts.errors.clear();
        auto document = chart(manual);
        TWMasterController &list = master(*document);
        TWBusiness &b = *document->business();
        const quint32 sortBy = b.sortBy();
        const TWMasterItemPtr header = list.masterItemAtIndex(0);
        // The header holds groups only: their renumbering succeeds, then the
        // account's own write fails.
        QList<std::pair<TWItemPtr, quint32>> before;
        for (const TWMasterItemPtr &child : *header->childItems()) {
            ASSERT_TRUE(TWItem::isGroupType(child->item()->type()));
            before.append({child->item(), child->item()->sortOrder()});
        }
        const QStringList shown = names(list, header);
        const quint32 order = c->sortOrder();
        {
            TWDenyGuard deny(b, SQLITE_UPDATE, "accounts");
            EXPECT_FALSE(drop(list, node(list, 5, c->identifier()), header, 0));
        }
        EXPECT_EQ(prompts.errors.size(), 1) << manual;
        EXPECT_EQ(b.sortBy(), sortBy);
        for (const auto &[item, sortOrder] : before) {
            EXPECT_EQ(item->sortOrder(), sortOrder) << item->name();
            EXPECT_EQ(
                twQueryInt(b, QStringLiteral("SELECT sortOrder FROM groups WHERE identifier=%1")
                                  .arg(item->identifier())),
                qint64(sortOrder));
        }
        EXPECT_EQ(c->sortOrder(), order);
        EXPECT_EQ(storedSortOrder(b, c), qint64(order));
        EXPECT_EQ(c->parentIdentifier(), box->identifier());
        // The list was rebuilt from the store.
        EXPECT_EQ(names(list, list.masterItemAtIndex(0)), shown);
        EXPECT_TRUE(node(list, 5, c->identifier())->hasParent({node(list, 1, box->identifier())}));
    }
}

} // namespace

// Groups: the default groups and the delete cascade.

#include "TWStoreTestSupport.h"
#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

TWGroupPtr makeGroup(qint32 identifier, TWItemType type, qint32 parent,
                     const QColor &tint = QColor())
{
    return TWGroup::groupWithIdentifier(identifier, type, QStringLiteral("G%1").arg(identifier),
                                        parent, 0, tint, false);
}

TWAccountPtr makeAccount(qint32 identifier, qint32 parent)
{
    auto unit = std::make_shared<TWUnit>();
    unit->setCode(QStringLiteral("USD"));
    return TWAccount::accountWithIdentifier(identifier, QStringLiteral("A%1").arg(identifier),
                                            parent, 0, TWAccountTypeBank, QString(), QImage(), unit,
                                            QString());
}

template <typename List> QList<qint32> identifiers(const List &items)
{
    QList<qint32> result;
    for (const auto &item : items)
        result.append(item->identifier());
    return result;
}

qint64 count(TWBusiness &business, const char *table)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table)).value_or(-1);
}

} // namespace

TEST(Groups, DefaultAccountGroupsAndLoadRoundTrip)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->populateGroups());
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM groups WHERE type=1 AND "
                                             "tint=-11250604 AND expanded=1 AND "
                                             "parentIdentifier=0 AND sortOrder=identifier-100;")),
        5); // 0xFF545454: grey 0.33 is 84
    const TWGroupList written = business->accountGroups();

    // Rows of every kind, and one of no group type.
    ASSERT_OK(business->addGroup(makeGroup(200, TWItemTypeFilterGroup, 0), false));
    ASSERT_OK(business->addGroup(makeGroup(201, TWItemTypeClientGroup, 0), false));
    ASSERT_OK(business->addGroup(makeGroup(202, TWItemTypeMerchantGroup, 0), false));
    ASSERT_OK(business->addGroup(makeGroup(203, TWItemTypeReportGroup, 0), false));
    ASSERT_OK(business->addGroup(makeGroup(204, TWItemTypeAccount, 0), false));

    ASSERT_OK(business->loadGroups());
    EXPECT_EQ(count(*business, "groups"), 10);
    ASSERT_EQ(business->accountGroups().size(), 5);
    const char *keys[] = {"assets", "liabilities", "income", "expenses", "equity"};
    for (int i = 0; i < 5; ++i) {
        const TWGroupPtr read = business->accountGroups().at(i);
        EXPECT_EQ(read->identifier(), written.at(i)->identifier());
        EXPECT_TRUE(TWHasLocalized(QString::fromLatin1(keys[i])));
        EXPECT_EQ(read->name(), TWLocalized(keys[i]));
        EXPECT_EQ(read->tintColour().rgba(), 0xFF545454u);
    }
    EXPECT_EQ(identifiers(business->filterGroups()), QList<qint32>{200});
    EXPECT_EQ(identifiers(business->merchantGroups()), QList<qint32>{202});
    EXPECT_FALSE(business->groupWithIdentifier(204));
    EXPECT_EQ(business->nextGroupIdentifier(), 205);
}

TEST(Groups, FailedDeleteLeavesEverything)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 0), false));
    ASSERT_OK(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_OK(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 100), false));
    for (auto [id, parent] : {std::pair{200, 101}, {201, 102}, {202, 100}})
        ASSERT_OK(business->addAccount(makeAccount(id, parent), false));
    // The last account of the cascade cannot be deleted.
    twExec(*business, QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON accounts "
                                     "WHEN old.identifier = 202 "
                                     "BEGIN SELECT RAISE(ABORT, 'kept'); END;"));
    const TWGroupList groupsBefore = business->accountGroups();
    const TWAccountList accountsBefore = business->accounts();

    TWNotificationRecorder recorder(business.get());
    EXPECT_TRUE(business->deleteGroup(business->groupWithIdentifier(100), true));
    EXPECT_EQ(business->accountGroups(), groupsBefore);
    EXPECT_EQ(business->accounts(), accountsBefore);
    EXPECT_EQ(business->accountWithIdentifier(202), accountsBefore.at(2));
    EXPECT_EQ(count(*business, "groups"), 3);
    EXPECT_EQ(count(*business, "accounts"), 3);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(business->inTransaction());
}

TEST(Groups, DeleteEndsOnAParentLoop)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 101), false));
    ASSERT_OK(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_OK(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 102), false));
    ASSERT_OK(business->addAccount(makeAccount(200, 100), false));
    ASSERT_OK(business->deleteGroup(business->groupWithIdentifier(100), true));
    ASSERT_OK(business->deleteGroup(business->groupWithIdentifier(102), true));
    EXPECT_TRUE(business->accountGroups().isEmpty());
    EXPECT_TRUE(business->accounts().isEmpty());
    EXPECT_EQ(count(*business, "groups"), 0);
}

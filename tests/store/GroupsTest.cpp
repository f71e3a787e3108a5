// Groups: the packed tint, the default groups, items at any depth and the delete cascade.

#include "TWBusiness.h"
#include "TWLocalized.h"
#include "TWStoreTestSupport.h"

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

TEST(Groups, TintIsPackedIntoOneSignedIntegerAndReadBack)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->addGroup(
        makeGroup(100, TWItemTypeAccountGroup, 0, QColor::fromRgbF(0.5f, 0.25f, 1.0f, 1.0f)),
        false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeClientGroup, 0), false));
    // FF 7F 3F FF, opaque, so negative in the file.
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT tint FROM groups WHERE identifier=100;")),
        qint64(qint32(0xFF7F3FFFu)));
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT tint FROM groups WHERE identifier=101;")), 0);
    // A file that holds the same bits as a positive number reads the same.
    twExec(*business, QStringLiteral("INSERT INTO groups (identifier, type, tint) "
                                     "VALUES (102, 1, 4286529535);"));

    ASSERT_FALSE(business->loadGroups());
    for (qint32 id : {100, 102})
        EXPECT_EQ(business->groupWithIdentifier(id)->tintColour().rgba(), 0xFF7F3FFFu) << id;
    EXPECT_FALSE(business->groupWithIdentifier(101)->tintColour().isValid());
    // Writing what was read stores the same bits again.
    ASSERT_FALSE(business->updateGroup(business->groupWithIdentifier(102), false));
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT tint FROM groups WHERE identifier=102;")),
        qint64(qint32(0xFF7F3FFFu)));
}

TEST(Groups, DefaultAccountGroupsAndLoadRoundTrip)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->populateGroups());
    EXPECT_EQ(
        twQueryInt(*business, QStringLiteral("SELECT COUNT(*) FROM groups WHERE type=1 AND "
                                             "tint=-11250604 AND expanded=1 AND "
                                             "parentIdentifier=0 AND sortOrder=identifier-100;")),
        5); // 0xFF545454: grey 0.33 is 84
    const TWGroupList written = business->accountGroups();

    // Rows of every kind, and one of no group type.
    ASSERT_FALSE(business->addGroup(makeGroup(200, TWItemTypeFilterGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(201, TWItemTypeClientGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(202, TWItemTypeMerchantGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(203, TWItemTypeReportGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(204, TWItemTypeAccount, 0), false));

    ASSERT_FALSE(business->loadGroups());
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

TEST(Groups, UpdatesWriteTheirColumnsAndNotify)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 0), false));
    TWNotificationRecorder recorder(business.get());

    const TWGroupPtr copy = business->groupWithIdentifier(100)->copy();
    copy->setName(QStringLiteral("Renamed"));
    copy->setType(TWItemTypeReportGroup); // the type is not written
    ASSERT_FALSE(business->updateGroup(copy, true));
    EXPECT_EQ(business->groupWithIdentifier(100), copy);
    EXPECT_EQ(copy->type(), TWItemTypeAccountGroup);
    EXPECT_TRUE(business->reportGroups().isEmpty());

    copy->setSortOrder(4);
    copy->setExpanded(true);
    ASSERT_FALSE(business->updateGroupSortOrder(copy, true));
    ASSERT_FALSE(business->updateGroupExpanded(copy, true));
    ASSERT_FALSE(business->updateGroupExpanded(copy, false));
    EXPECT_EQ(twQueryText(*business, QStringLiteral("SELECT name || type || sortOrder || expanded "
                                                    "FROM groups WHERE identifier=100;")),
              QStringLiteral("Renamed141"));
    EXPECT_EQ(recorder.names(), QStringList(3, TWGroupUpdateNotification));
}

TEST(Groups, ItemsOfAGroupAtAnyDepth)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    // 100 > 101 > 102; 103 and 104 name each other as parent.
    ASSERT_FALSE(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_FALSE(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 101), false));
    ASSERT_FALSE(business->addGroup(makeGroup(103, TWItemTypeAccountGroup, 104), false));
    ASSERT_FALSE(business->addGroup(makeGroup(104, TWItemTypeAccountGroup, 103), false));
    ASSERT_FALSE(business->addGroup(makeGroup(105, TWItemTypeClientGroup, 100), false));
    for (auto [id, parent] : {std::pair{200, 102},
                              {201, 0},
                              {202, 100},
                              {203, 999},
                              {204, 103},
                              {205, 101},
                              {206, 105}})
        ASSERT_FALSE(business->addAccount(makeAccount(id, parent), false));

    EXPECT_EQ(identifiers(business->groupItems(100, TWItemTypeAccount)),
              (QList<qint32>{200, 202, 205, 206}));
    EXPECT_EQ(identifiers(business->groupItems(101, TWItemTypeAccount)), (QList<qint32>{200, 205}));
    EXPECT_TRUE(business->groupItems(100, TWItemTypeClient).isEmpty());
    // The loop 103 <-> 104 ends the walk instead of running for ever.
    EXPECT_EQ(identifiers(business->groupItems(104, TWItemTypeAccount)), QList<qint32>{204});
    EXPECT_TRUE(business->groupItems(555, TWItemTypeAccount).isEmpty());
}

TEST(Groups, DeleteTakesNestedGroupsAndTheirAccounts)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_FALSE(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 0), false));
    for (auto [id, parent] : {std::pair{200, 101}, {201, 101}, {202, 101}, {203, 102}, {204, 0}})
        ASSERT_FALSE(business->addAccount(makeAccount(id, parent), false));

    TWNotificationRecorder recorder(business.get());
    // The outer group without notification; what it holds always notifies.
    ASSERT_FALSE(business->deleteGroup(business->groupWithIdentifier(100), false));
    EXPECT_EQ(recorder.names(),
              (QStringList{TWGroupDeleteNotification, TWAccountDeleteNotification,
                           TWAccountDeleteNotification, TWAccountDeleteNotification}));
    EXPECT_EQ(identifiers(business->accountGroups()), QList<qint32>{102});
    EXPECT_EQ(identifiers(business->accounts()), (QList<qint32>{203, 204}));
    EXPECT_EQ(count(*business, "groups"), 1);
    EXPECT_EQ(count(*business, "accounts"), 2);
}

TEST(Groups, FailedDeleteLeavesEverything)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_FALSE(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 0), false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_FALSE(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 100), false));
    for (auto [id, parent] : {std::pair{200, 101}, {201, 102}, {202, 100}})
        ASSERT_FALSE(business->addAccount(makeAccount(id, parent), false));
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
    ASSERT_FALSE(business->addGroup(makeGroup(100, TWItemTypeAccountGroup, 101), false));
    ASSERT_FALSE(business->addGroup(makeGroup(101, TWItemTypeAccountGroup, 100), false));
    ASSERT_FALSE(business->addGroup(makeGroup(102, TWItemTypeAccountGroup, 102), false));
    ASSERT_FALSE(business->addAccount(makeAccount(200, 100), false));
    ASSERT_FALSE(business->deleteGroup(business->groupWithIdentifier(100), true));
    ASSERT_FALSE(business->deleteGroup(business->groupWithIdentifier(102), true));
    EXPECT_TRUE(business->accountGroups().isEmpty());
    EXPECT_TRUE(business->accounts().isEmpty());
    EXPECT_EQ(count(*business, "groups"), 0);
}

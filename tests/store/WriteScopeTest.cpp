// Nested SQL work: brackets, write scopes and their rollback of rows, lists and notifications.

#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include <QHash>
#include <QList>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace
{

const char *const kInsertGroupSQL =
    "INSERT INTO groups (identifier, type, name, parentIdentifier) VALUES (?, ?, ?, ?);";

// A tiny entity group of its own, written the way the store's groups are: a
// list with an index, one write per row, and a cascade that adds a parent
// with its children.
struct GroupList {
    TWBusiness &business;
    QList<qint32> list;
    QHash<qint32, QString> names;

    TWErrorResult add(qint32 identifier, const QString &name, qint32 parent, bool notify)
    {
        TWBusiness::WriteScope scope(business);
        TWStatement insert = business.statement(kInsertGroupSQL);
        insert.bindInt32(identifier).bindInt32(0).bindText(name).bindInt32(parent);
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
        list.append(identifier);
        names.insert(identifier, name);
        scope.onRollback([this, identifier] {
            list.removeOne(identifier);
            names.remove(identifier);
        });
        if (notify)
            scope.post(TWGroupNewNotification, {{TWGroupNotificationKey, identifier}});
        return scope.commit();
    }

    TWErrorResult addWithChildren(qint32 identifier, const QList<qint32> &children, bool notify)
    {
        TWBusiness::WriteScope scope(business);
        if (TWErrorResult error = add(identifier, QStringLiteral("parent"), 0, notify))
            return scope.finish(error);
        for (qint32 child : children) {
            if (TWErrorResult error = add(child, QStringLiteral("child"), identifier, notify))
                return scope.finish(error);
        }
        return scope.commit();
    }
};

qint64 groupRows(TWBusiness &business)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM groups;")).value_or(-1);
}

} // namespace

TEST(Transactions, BracketsNestAndOnlyTheOutermostCommits)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    EXPECT_OK(b.beginTransaction());
    EXPECT_OK(b.beginTransaction());
    twExec(b, QStringLiteral("INSERT INTO groups (identifier) VALUES (1);"));
    EXPECT_OK(b.commitTransaction());
    EXPECT_TRUE(b.inTransaction());
    EXPECT_EQ(sqlite3_get_autocommit(b.database()), 0);
    EXPECT_OK(b.commitTransaction());
    EXPECT_NE(sqlite3_get_autocommit(b.database()), 0);
    // A commit without a begin does nothing.
    EXPECT_OK(b.commitTransaction());
    EXPECT_EQ(groupRows(b), 1);
}

TEST(Transactions, AFailingWriteInACascadeLeavesNothing)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    GroupList groups{*business, {}, {}};
    ASSERT_OK(groups.add(300, QStringLiteral("existing"), 0, false));
    TWNotificationRecorder recorder(business.get());

    // The second child collides with the existing row.
    const TWErrorResult error = groups.addWithChildren(100, {101, 300, 102}, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_CONSTRAINT);
    EXPECT_EQ(groupRows(*business), 1);
    EXPECT_EQ(groups.list, QList<qint32>{300});
    EXPECT_EQ(groups.names.size(), 1);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(business->inTransaction());

    // The same cascade without the collision goes through, with its
    // notifications delivered in order once everything is stored.
    QList<qint64> rowsSeen;
    QList<bool> openSeen;
    const auto token = TWNotificationCenter::defaultCenter().addObserver(
        TWGroupNewNotification, business.get(), [&](const TWNotification &) {
            rowsSeen.append(groupRows(*business));
            openSeen.append(business->inTransaction());
        });
    EXPECT_OK(groups.addWithChildren(100, {101, 102}, true));
    TWNotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(groups.list, (QList<qint32>{300, 100, 101, 102}));
    EXPECT_EQ(recorder.names(), QStringList(3, TWGroupNewNotification));
    EXPECT_EQ(recorder.notifications()[1].userInfo.value(TWGroupNotificationKey), QVariant(101));
    EXPECT_EQ(rowsSeen, (QList<qint64>{4, 4, 4}));
    EXPECT_EQ(openSeen, (QList<bool>{false, false, false}));
}

TEST(Transactions, AFailedInnerWriteCanBeSurvivedByTheOuterOne)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    GroupList groups{*business, {}, {}};
    TWNotificationRecorder recorder(business.get());
    TWErrorResult outcome;
    {
        TWBusiness::WriteScope outer(*business);
        EXPECT_OK(groups.add(100, QStringLiteral("kept"), 0, true));
        EXPECT_TRUE(groups.addWithChildren(200, {201, 100}, true)); // fails, ignored
        outcome = outer.commit();
    }
    EXPECT_OK(outcome);
    EXPECT_EQ(groupRows(*business), 1);
    EXPECT_EQ(groups.list, QList<qint32>{100});
    EXPECT_EQ(recorder.names(), QStringList{TWGroupNewNotification});
}

TEST(Transactions, AnUnfinishedScopeRollsBack)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    {
        TWBusiness::WriteScope scope(*business);
        twExec(*business, QStringLiteral("INSERT INTO groups (identifier) VALUES (1);"));
    }
    EXPECT_EQ(groupRows(*business), 0);
    EXPECT_FALSE(business->inTransaction());

    // A bracket left without its commit joins the write around it.
    {
        TWBusiness::WriteScope scope(*business);
        business->beginTransaction();
        twExec(*business, QStringLiteral("INSERT INTO groups (identifier) VALUES (2);"));
        EXPECT_OK(scope.commit());
    }
    EXPECT_EQ(groupRows(*business), 1);
    EXPECT_NE(sqlite3_get_autocommit(business->database()), 0);
}

TEST(Transactions, ScopesOutlivingTheDatabaseAreHarmless)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    bool undone = false;
    {
        TWBusiness::WriteScope scope(*business);
        scope.onRollback([&] { undone = true; });
        TWStatement held = business->statement("SELECT identifier FROM groups;");
        business->closeDatabase();
        const TWErrorResult error = scope.commit();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), SQLITE_MISUSE);
    }
    EXPECT_FALSE(undone); // the levels went with the database
    EXPECT_FALSE(business->inTransaction());
    // With no database every write fails cleanly.
    TWBusiness::WriteScope scope(*business);
    EXPECT_TRUE(scope.commit());
}

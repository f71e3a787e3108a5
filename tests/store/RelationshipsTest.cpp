// Relationships in the store: rows, list and indexed lookups kept alike.

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWRelationship.h"
#include "model/TWSplit.h"
#include "model/TWTransaction.h"

#include <QSet>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>

namespace
{

using R = TWRelationship;
using Ids = QList<qint32>;

TWRelationshipPtr link(std::uint32_t type, double value, qint32 parent, qint32 child,
                       qint32 transaction, qint32 split, qint32 identifier)
{
    return R::relationshipWithType(type, value, parent, child, transaction, split, identifier);
}

Ids ids(const TWRelationshipList &list)
{
    Ids result;
    for (const TWRelationshipPtr &r : list)
        result.append(r->identifier());
    return result;
}

QStringList listRows(const TWBusiness &business)
{
    QStringList rows;
    for (const TWRelationshipPtr &r : business.relationships())
        rows.append(QStringLiteral("%1:%2:%3:%4:%5:%6:%7")
                        .arg(r->identifier())
                        .arg(r->type())
                        .arg(r->value())
                        .arg(r->parentIdentifier())
                        .arg(r->childIdentifier())
                        .arg(r->transactionIdentifier())
                        .arg(r->splitIdentifier()));
    return rows;
}

// The table in its own order, read behind the store's back, as `listRows` does.
QStringList tableRows(TWBusiness &business)
{
    QStringList rows;
    sqlite3_stmt *q = nullptr;
    sqlite3_prepare_v2(business.database(),
                       "SELECT printf('%d:%d:%g:%d:%d:%d:%d', identifier, type, value, "
                       "parentIdentifier, childIdentifier, transactionIdentifier, "
                       "splitIdentifier) FROM relationships;",
                       -1, &q, nullptr);
    while (q && sqlite3_step(q) == SQLITE_ROW)
        rows.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(q, 0))));
    sqlite3_finalize(q);
    return rows;
}

TWTransaction transaction(qint32 identifier)
{
    TWTransaction t;
    t.setIdentifier(identifier);
    return t;
}

// Every indexed lookup of the store gives what a plain scan of its list
// gives, for every key the list holds and a few it does not.
void expectLookupsMatchTheList(const TWBusiness &b)
{
    const TWRelationshipList &list = b.relationships();
    QSet<qint32> transactions{0, 999}, splits{0, 999}, parents{0, 999}, children{999}, idents{0};
    for (const TWRelationshipPtr &r : list) {
        transactions.insert(r->transactionIdentifier());
        splits.insert(r->splitIdentifier());
        parents.insert(r->parentIdentifier());
        children.insert(r->childIdentifier());
        idents.insert(r->identifier());
    }
    children.remove(0); // "none": the store answers nothing (tested on its own)
    for (qint32 i : idents)
        EXPECT_EQ(b.relationshipWithIdentifier(i), R::relationshipWithIdentifier(list, i));
    for (qint32 s : splits)
        EXPECT_EQ(b.relationshipsWithSplit(TWSplit(s)), R::relationshipsWithSplit(list, s));
    for (std::uint32_t type = 0; type <= 4; ++type) {
        EXPECT_EQ(b.relationshipsOfType(type), R::relationshipsOfType(list, type));
        for (qint32 t : transactions) {
            EXPECT_EQ(b.relationshipsWithTransaction(transaction(t)),
                      R::relationshipsWithTransaction(list, t));
            EXPECT_EQ(b.relationshipsWithTransaction(transaction(t), type),
                      R::relationshipsWithTransaction(list, t, type));
        }
        for (qint32 c : children) {
            EXPECT_EQ(b.relationshipsWithChildIdentifier(c, type),
                      R::relationshipsWithChildIdentifier(list, c, type));
            for (qint32 p : parents)
                EXPECT_EQ(b.relationshipsWithParentIdentifier(p, c, type),
                          R::relationshipsWithParentIdentifier(list, p, c, type));
        }
        for (qint32 p : parents)
            EXPECT_EQ(b.relationshipsWithParentIdentifier(p, type),
                      R::relationshipsWithParentIdentifier(list, p, type));
    }
}

// Two invoice payments (one by split 601), a bill payment by split 600 of
// transaction 500 which also pays an invoice whole, billed tasks and an
// expense, a year-end transfer of period 1 and one of the gap before the
// first period (parent 0).
class RelationshipsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twMakeBusiness();
        ASSERT_TRUE(business);
        for (const TWRelationshipPtr &r : {
                 link(TWRelationshipTypeInvoicePayment, 0, 110, 200, 500, 0, 100),
                 link(TWRelationshipTypeInvoiceTask, 1.5, 200, 300, 0, 0, 101),
                 link(TWRelationshipTypeInvoiceTask, 2.5, 200, 301, 0, 0, 102),
                 link(TWRelationshipTypeBillPayment, 0, 120, 210, 500, 600, 103),
                 link(TWRelationshipTypeInvoiceExpense, 1, 200, 302, 0, 0, 104),
                 link(TWRelationshipTypeNominalTransfer, 0, 1, 0, 501, 0, 105),
                 link(TWRelationshipTypeInvoicePayment, 0, 110, 201, 502, 601, 106),
                 link(TWRelationshipTypeInvoiceTask, 4, 201, 300, 0, 0, 107),
                 link(TWRelationshipTypeNominalTransfer, 0, 0, 0, 503, 0, 108),
             })
            ASSERT_OK(business->addRelationship(r, false));
    }

    std::unique_ptr<TWBusiness> business;
};

} // namespace

TEST_F(RelationshipsTest, FailedBulkDeleteKeepsEveryRowAndListEntry)
{
    TWBusiness &b = *business;
    const TWRelationshipList listBefore = b.relationships();
    const QStringList rowsBefore = tableRows(b);
    {
        // The deletes succeed, then the enclosing write fails.
        TWBusiness::WriteScope outer(b);
        EXPECT_OK(b.deleteParentRelationships(200, 1));
        EXPECT_OK(b.deleteTransactionRelationships(transaction(500)));
        EXPECT_OK(b.deleteRelationshipsOfType(4));
        EXPECT_TRUE(outer.finish(TWBusiness::databaseError(SQLITE_ERROR)));
    }
    EXPECT_EQ(b.relationships(), listBefore);
    EXPECT_EQ(tableRows(b), rowsBefore);
    expectLookupsMatchTheList(b);

    // The statement itself fails halfway through its rows.
    twExec(b, QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON relationships "
                             "WHEN old.identifier = 102 BEGIN SELECT RAISE(ABORT, 'kept'); END;"));
    const TWErrorResult error = b.deleteParentRelationships(200, 1);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_CONSTRAINT);
    EXPECT_TRUE(b.deleteRelationship(b.relationshipWithIdentifier(102), true));
    EXPECT_EQ(b.relationships(), listBefore);
    EXPECT_EQ(tableRows(b), rowsBefore);
    EXPECT_FALSE(b.inTransaction());
}

TEST_F(RelationshipsTest, RefusedAddsStoreNothing)
{
    TWBusiness &b = *business;
    TWNotificationRecorder recorder(&b);
    const QStringList before = tableRows(b);
    TWErrorResult error = b.addRelationship(link(0, 0, 110, 220, 510, 0, 103), true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_CONSTRAINT); // identifier already stored
    EXPECT_TRUE(b.addRelationship(link(0, 0, 110, 220, 510, 0, 0), true)); // no identifier
    EXPECT_TRUE(b.addRelationship(nullptr, true));
    const TWRelationshipPtr listed = b.relationshipWithIdentifier(100);
    listed->setIdentifier(130); // the same object as a second row
    EXPECT_TRUE(b.addRelationship(listed, true));
    listed->setIdentifier(100);
    twExec(b, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON relationships "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    EXPECT_TRUE(b.addRelationship(link(0, 0, 110, 220, 510, 0, 140), true));
    EXPECT_EQ(tableRows(b), before);
    EXPECT_EQ(listRows(b), before);
    expectLookupsMatchTheList(b);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Relationships, WritesSurviveReopeningTheDocument)
{
    TWTestTempDir folder;
    const QByteArray path = folder.filePath(QStringLiteral("Data.sql")).toUtf8();
    auto open = [&path] {
        sqlite3 *connection = nullptr;
        sqlite3_open_v2(path.constData(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        auto business = TWBusiness::businessWithConnection(connection, false);
        EXPECT_TRUE(business && !business->loadRelationships());
        return business;
    };
    auto writer = open();
    ASSERT_TRUE(writer);
    const TWRelationshipList added{
        link(1, 2.5, 120, 300, 0, 0, 100), link(3, 0, 130, 210, 500, 600, 101),
        link(0, 0, 110, 200, 501, 0, 102), link(4, 0, 0, 0, 502, 0, 103)};
    for (const TWRelationshipPtr &r : added)
        ASSERT_OK(writer->addRelationship(r, false));
    added[1]->setValue(0.75);
    ASSERT_OK(writer->updateRelationship(added[1], false));
    ASSERT_OK(writer->deleteRelationship(added[2], false));

    auto reader = open();
    ASSERT_TRUE(reader);
    EXPECT_EQ(ids(reader->relationships()), (Ids{100, 101, 103}));
    EXPECT_EQ(listRows(*reader), listRows(*writer));
    expectLookupsMatchTheList(*reader);
}

// Random adds, deletes of every kind and failing enclosing writes: after each
// step the list matches the table and every index matches the list.
TEST(Relationships, IndexesStayInStepThroughRandomWrites)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    std::mt19937 random(20240611);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    for (int step = 0; step < 400 && !::testing::Test::HasFailure(); ++step) {
        SCOPED_TRACE(step);
        const QStringList before = tableRows(b);
        const TWRelationshipList listBefore = b.relationships();
        TWBusiness::WriteScope outer(b);
        const auto type = std::uint32_t(pick(5));
        TWErrorResult error;
        switch (pick(10)) {
        case 5:
            if (!b.relationships().isEmpty())
                error = b.deleteRelationship(b.relationships().at(pick(b.relationships().size())),
                                             false);
            break;
        case 6:
            error = b.deleteTransactionRelationships(transaction(pick(6)));
            break;
        case 7:
            error = b.deleteSplitRelationships(TWSplit(pick(2) ? 0 : pick(4) + 600));
            break;
        case 8:
            error = b.deleteParentRelationships(pick(4), type);
            break;
        case 9:
            error = b.deleteChildRelationships(pick(5), type);
            break;
        default:
            error =
                b.addRelationship(link(type, pick(4), pick(4), type == 4 ? 0 : pick(5), pick(6),
                                       pick(2) ? 0 : pick(4) + 600, b.nextRelationshipIdentifier()),
                                  false);
        }
        ASSERT_OK(error);
        if (pick(5) == 0) {
            outer.rollback();
            ASSERT_EQ(tableRows(b), before);
            ASSERT_EQ(b.relationships(), listBefore);
        } else {
            ASSERT_OK(outer.commit());
        }
        ASSERT_EQ(tableRows(b), listRows(b));
        expectLookupsMatchTheList(b);
    }
}

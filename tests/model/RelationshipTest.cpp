#include "model/TWRelationship.h"

#include <gtest/gtest.h>

namespace
{

QList<qint32> identifiers(const TWRelationshipList &list)
{
    QList<qint32> result;
    for (const TWRelationshipPtr &r : list)
        result.append(r->identifier());
    return result;
}

} // namespace

TEST(Relationship, LookupsReturnTheListsOwnObjectsInOrder)
{
    using R = TWRelationship;
    const TWRelationshipList list{
        R::relationshipWithType(TWRelationshipTypeInvoicePayment, 0, 110, 200, 500, 0, 100),
        R::relationshipWithType(TWRelationshipTypeInvoiceTask, 1.5, 200, 300, 0, 0, 101),
        R::relationshipWithType(TWRelationshipTypeInvoiceTask, 3, 201, 300, 0, 0, 102),
        R::relationshipWithType(TWRelationshipTypeBillPayment, 0, 120, 210, 500, 600, 103),
        R::relationshipWithType(TWRelationshipTypeInvoiceExpense, 1, 200, 301, 0, 0, 104),
        nullptr,
        R::relationshipWithType(TWRelationshipTypeNominalTransfer, 0, 1, 0, 500, 0, 105),
        R::relationshipWithType(TWRelationshipTypeInvoicePayment, 0, 110, 202, 501, 601, 106),
    };

    EXPECT_EQ(identifiers(R::relationshipsWithTransaction(list, 500)),
              (QList<qint32>{100, 103, 105}));
    EXPECT_EQ(
        identifiers(R::relationshipsWithTransaction(list, 500, TWRelationshipTypeBillPayment)),
        (QList<qint32>{103}));
    EXPECT_EQ(
        identifiers(R::relationshipsWithParentIdentifier(list, 200, TWRelationshipTypeInvoiceTask)),
        (QList<qint32>{101}));
    EXPECT_EQ(
        identifiers(R::relationshipsWithChildIdentifier(list, 300, TWRelationshipTypeInvoiceTask)),
        (QList<qint32>{101, 102}));
    EXPECT_EQ(identifiers(R::relationshipsWithParentIdentifier(list, 200, 301,
                                                               TWRelationshipTypeInvoiceExpense)),
              (QList<qint32>{104}));
    EXPECT_TRUE(R::relationshipsWithParentIdentifier(list, 200, 301, TWRelationshipTypeInvoiceTask)
                    .isEmpty());
    EXPECT_EQ(identifiers(R::relationshipsWithSplit(list, 601)), (QList<qint32>{106}));
    EXPECT_EQ(R::relationshipWithIdentifier(list, 104), list.at(4));
    EXPECT_FALSE(R::relationshipWithIdentifier(list, 99));

    // 0 stands for "no transaction" and "no split": an unsaved record has no
    // links, not every link that lacks one.
    EXPECT_TRUE(R::relationshipsWithTransaction(list, 0).isEmpty());
    EXPECT_TRUE(R::relationshipsWithSplit(list, 0).isEmpty());
}

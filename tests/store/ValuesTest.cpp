#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

std::unique_ptr<TWBusiness> makeValuesBusiness()
{
    auto business = twMakeBusiness();
    if (business) {
        EXPECT_OK(business->populateFields());
        EXPECT_OK(business->loadFields());
    }
    return business;
}

QStringList names(TWBusiness &b, qint32 code)
{
    QStringList result;
    for (const TWValuePtr &value : b.values(code).value_or(TWValueList()))
        result.append(value->name());
    return result;
}

qint64 rows(TWBusiness &b)
{
    return twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactionValues;")).value_or(-1);
}

} // namespace

TEST(Values, ListsInMemoryFollowEveryWriteAndRollback)
{
    auto business = makeValuesBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_OK(b.rememberValue(QStringLiteral("Acme"), -5, false));
    TWValuePtr acme = b.values(-5)->front();

    acme->setName(QStringLiteral("Acme's"));
    TWNotificationRecorder recorder(&b);
    ASSERT_OK(b.updateValue(acme, true));
    ASSERT_OK(b.rememberValue(QStringLiteral("Acme's"), -5, false));
    EXPECT_EQ(rows(b), 1);
    ASSERT_OK(b.rememberValue(QStringLiteral("Acme"), -5, false));
    EXPECT_EQ(rows(b), 2);

    ASSERT_OK(b.deleteValue(acme, true));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Acme's"), -5));
    ASSERT_OK(b.deleteAllFieldValues(-5, true));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Acme"), -5));
    EXPECT_EQ(recorder.names(), (QStringList{"valueUpdate", "valueDelete", "valueDeleteAll"}));

    // A write that rolls back takes its remembered names along, also when the
    // list was first read inside it.
    {
        TWBusiness::WriteScope scope(b);
        ASSERT_OK(b.rememberValue(QStringLiteral("Zed"), -5, true));
        ASSERT_OK(b.addValue(TWValue::valueWithName("Quay", -6, b.nextValueIdentifier()), true));
        EXPECT_TRUE(b.matchValue(QStringLiteral("Quay"), -6));
        scope.rollback();
    }
    EXPECT_EQ(rows(b), 0);
    EXPECT_FALSE(b.matchValue(QStringLiteral("Zed"), -5));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Quay"), -6));
    EXPECT_EQ(recorder.names().size(), 3);
    ASSERT_OK(b.rememberValue(QStringLiteral("Zed"), -5, false));

    // Another database forgets the lists; identifier 0 is refused.
    ASSERT_OK(b.openInMemoryDatabase());
    ASSERT_OK(b.prepareSchema(false));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Zed"), -5));
    EXPECT_TRUE(b.addValue(TWValue::valueWithName("No identifier", -5, 0), false));
    EXPECT_EQ(rows(b), 0);
}

TEST(Values, RebuildKeepsTheFirstOfEachTextRegardlessOfCase)
{
    auto business = makeValuesBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_OK(b.addField(TWField::fieldWithName("Ref", TWFieldTypeText, false, false, 1), false));
    ASSERT_OK(b.rememberValue(QStringLiteral("Old"), -5, false));
    twExec(b, QStringLiteral("INSERT INTO transactions (identifier, payee, user_1) VALUES "
                             "(1, 'Acme', 'x'), (2, 'ACME', 'X'), (3, '', NULL), (4, NULL, 'y'),"
                             "(5, 'Beta', 'x'), (6, 'acme', 'z'), (7, 'It''s 50%', NULL);"
                             "INSERT INTO projects (identifier, name) VALUES (1, 'Site'), "
                             "(2, 'site'), (3, 'Roof');"));
    TWNotificationRecorder recorder(&b);
    ASSERT_OK(b.rebuildValues(-5));
    EXPECT_EQ(names(b, -5), (QStringList{"Acme", "Beta", "It's 50%"}));
    EXPECT_EQ(twQueryText(b, QStringLiteral("SELECT group_concat(identifier) FROM "
                                            "(SELECT identifier FROM transactionValues "
                                            "ORDER BY identifier);")),
              QStringLiteral("100,101,102"));
    EXPECT_EQ(recorder.names(), (QStringList{"valueDeleteAll", "valueNew"}));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Old"), -5));

    ASSERT_OK(b.rebuildValues(1));
    EXPECT_EQ(names(b, 1), (QStringList{"x", "y", "z"}));
    ASSERT_OK(b.rebuildValues(-50));
    EXPECT_EQ(names(b, -50), (QStringList{"Roof", "Site"}));

    // Nothing to read: the list ends empty, with only the deletion announced.
    recorder.clear();
    ASSERT_OK(b.rebuildValues(-100));
    EXPECT_EQ(recorder.names(), QStringList{"valueDeleteAll"});

    // A code without a source changes nothing.
    recorder.clear();
    const qint64 before = rows(b);
    EXPECT_OK(b.rebuildValues(77));
    EXPECT_EQ(rows(b), before);
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Values, FailedRebuildKeepsTheOldList)
{
    auto business = makeValuesBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_OK(b.rememberValue(QStringLiteral("Kept"), -6, false));
    twExec(b,
           QStringLiteral("INSERT INTO transactions (identifier, description) VALUES (1, 'New');"));
    TWNotificationRecorder recorder(&b);
    {
        TWDenyGuard deny(b, SQLITE_INSERT, "transactionValues");
        EXPECT_TRUE(b.rebuildValues(-6));
    }
    EXPECT_EQ(names(b, -6), QStringList{"Kept"});
    EXPECT_FALSE(b.matchValue(QStringLiteral("New"), -6));
    EXPECT_TRUE(recorder.names().isEmpty());
}

TEST(Values, ATransactionsTextsAreReadAndRememberedTogether)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr reference = twAddCustomField(b, "Reference", TWFieldTypeText);
    const auto entry = [&](qint32 identifier, const char *payee, const char *description,
                           const char *text) {
        TWTransactionPtr t =
            twMakeTransaction(b, identifier, twDay(2024, 1, identifier), kChecking, kSales, 5);
        t->setPayee(QString::fromUtf8(payee));
        t->setDescription(QString::fromUtf8(description));
        if (*text)
            t->fieldValueWithField(*reference, true)->setText(QString::fromUtf8(text));
        return t;
    };
    ASSERT_OK(b.addTransaction(entry(1, "Acme", "Paper", "R-1"), false, false, false, false));
    EXPECT_EQ(names(b, -5), QStringList{"Acme"});
    EXPECT_EQ(names(b, -6), QStringList{"Paper"});
    EXPECT_EQ(names(b, reference->identifier()), QStringList{"R-1"});
    // Known texts write nothing; a text of one list is not taken as another's.
    ASSERT_OK(b.addTransaction(entry(2, "Acme", "Acme", ""), false, false, false, false));
    EXPECT_EQ(rows(b), 4);
    EXPECT_EQ(names(b, -6), (QStringList{"Acme", "Paper"}));

    // A list held with a name of an unfinished write stays when the other
    // lists are read, and the rollback forgets both.
    {
        TWBusiness::WriteScope scope(b);
        ASSERT_OK(b.rememberValue(QStringLiteral("Zed"), -5, false));
        ASSERT_OK(b.addTransaction(entry(3, "Zed", "Ink", "R-1"), false, false, false, false));
        EXPECT_TRUE(b.matchValue(QStringLiteral("Ink"), -6));
        EXPECT_EQ(rows(b), 6);
        scope.rollback();
    }
    EXPECT_EQ(rows(b), 4);
    EXPECT_FALSE(b.matchValue(QStringLiteral("Zed"), -5));
    EXPECT_FALSE(b.matchValue(QStringLiteral("Ink"), -6));
    ASSERT_OK(b.addTransaction(entry(4, "Zed", "Paper", ""), false, false, false, false));
    EXPECT_EQ(names(b, -5), (QStringList{"Acme", "Zed"}));
}

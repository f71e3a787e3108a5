#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWBuiltInFields.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

std::unique_ptr<TWBusiness> makeFieldsBusiness()
{
    auto business = twMakeBusiness();
    if (business) {
        EXPECT_OK(business->populateFields());
        EXPECT_OK(business->loadFields());
    }
    return business;
}

TWFieldPtr addCustom(TWBusiness &b, const QString &name, std::uint32_t type)
{
    TWFieldPtr field = TWField::fieldWithName(name, type, false, false, b.nextFieldIdentifier());
    EXPECT_OK(b.addField(field, false)) << name;
    return field;
}

QList<qint32> identifiers(const TWFieldList &fields)
{
    QList<qint32> result;
    for (const TWFieldPtr &field : fields)
        result.append(field->identifier());
    return result;
}

QString columnType(TWBusiness &b, const QString &column)
{
    return twQueryText(b, QStringLiteral("SELECT type FROM pragma_table_info('transactions') "
                                         "WHERE name='%1';")
                              .arg(column))
        .value_or(QStringLiteral("<none>"));
}

// A business with five custom fields (text 1, currency 2, list 3 with two
// choices, tags 4, number 5), 1,000 transactions holding values in every
// column, and rows that depend on the list field.
struct Ledger {
    std::unique_ptr<TWBusiness> business = makeFieldsBusiness();
    TWFieldPtr text, currency, list, tags, number;

    Ledger()
    {
        TWBusiness &b = *business;
        text = addCustom(b, QStringLiteral("Text"), TWFieldTypeText);
        currency = addCustom(b, QStringLiteral("Currency"), TWFieldTypeCurrency);
        list = addCustom(b, QStringLiteral("List"), TWFieldTypeList);
        tags = addCustom(b, QStringLiteral("Tags"), TWFieldTypeTags);
        number = addCustom(b, QStringLiteral("Number"), TWFieldTypeNumber);
        EXPECT_OK(b.addFieldListItem(TWFieldListItem::fieldListItemWithName("a", 0), list, false));
        EXPECT_OK(b.addFieldListItem(TWFieldListItem::fieldListItemWithName("b", 0), list, false));
        twExec(b,
               QStringLiteral(
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                   "INSERT INTO transactions (identifier, payee, total, notes, user_1, user_2, "
                   "user_3, user_5) SELECT i, 'Payee ''' || i, i * 100, 'n' || i, 'text ' || i, "
                   "i * 7, i % 3, i * 0.5 FROM n;"));
        twExec(b, QStringLiteral(
                      "INSERT INTO filterCriterion (fieldIdentifier, valueInteger) "
                      "VALUES (3, 1), (2, 0);"
                      "INSERT INTO transactionValues VALUES (100, 3, 'x'), (101, 1, 'y');"));
    }

    // Every row's values of the columns given, in identifier order.
    QString fingerprint(const QString &columns)
    {
        return twQueryText(*business,
                           QStringLiteral("SELECT group_concat(r, ';') FROM (SELECT %1 AS r FROM "
                                          "transactions ORDER BY identifier);")
                               .arg(columns))
            .value_or(QString());
    }
};

const QString kAllColumns =
    QStringLiteral("identifier || payee || total || notes || user_1 || typeof(user_2) || user_2 || "
                   "typeof(user_3) || user_3 || typeof(user_5) || user_5");
const QString kColumnsButCurrency =
    QStringLiteral("identifier || payee || total || notes || user_1 || user_3 || typeof(user_5) || "
                   "user_5");

} // namespace

TEST(Fields, RefusedOrFailedAddLeavesNothingBehind)
{
    auto business = makeFieldsBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWNotificationRecorder recorder(&b);
    EXPECT_TRUE(b.addField(TWField::fieldWithName("zero", TWFieldTypeText, false, false, 0), true));
    EXPECT_TRUE(b.addField(TWField::fieldWithName("odd", 12, false, false, 3), true));
    EXPECT_TRUE(b.addField(nullptr, true));

    twExec(b, QStringLiteral("INSERT INTO fields (identifier, name, type) VALUES (7, 'x', 1);"));
    EXPECT_TRUE(b.addField(TWField::fieldWithName("dup", TWFieldTypeText, false, false, 7), true));
    EXPECT_EQ(columnType(b, QStringLiteral("user_7")), QStringLiteral("<none>"));
    EXPECT_EQ(b.fields().size(), 18);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM fields;")), 19);
    EXPECT_TRUE(recorder.names().isEmpty());
}

class FieldDeleteFailure : public testing::TestWithParam<std::pair<int, const char *>>
{
};

TEST_P(FieldDeleteFailure, RollsBackEverything)
{
    Ledger ledger;
    TWBusiness &b = *ledger.business;
    const QString before = ledger.fingerprint(kAllColumns);
    const QString kept = QStringLiteral("identifier || payee || total || notes || user_1 || "
                                        "typeof(user_2) || user_2 || typeof(user_5) || user_5");
    const QString keptBefore = ledger.fingerprint(kept);
    const QList<qint32> fieldsBefore = identifiers(b.fields());
    TWNotificationRecorder recorder(&b);
    {
        TWDenyGuard deny(b, GetParam().first, GetParam().second);
        EXPECT_TRUE(b.deleteField(ledger.list, true));
    }
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions;")), 1000);
    EXPECT_EQ(ledger.fingerprint(kAllColumns), before);
    EXPECT_EQ(columnType(b, QStringLiteral("user_3")), QStringLiteral("INTEGER"));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM lists;")), 2);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM filterCriterion;")), 2);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactionValues;")), 2);
    EXPECT_EQ(identifiers(b.fields()), fieldsBefore);
    EXPECT_EQ(b.fieldWithIdentifier(3), ledger.list);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(b.inTransaction());

    // Nothing lingers: the deletion goes through afterwards.
    ASSERT_OK(b.deleteField(ledger.list, true));
    EXPECT_EQ(ledger.fingerprint(kept), keptBefore);
    EXPECT_EQ(columnType(b, QStringLiteral("user_3")), QStringLiteral("<none>"));
}

INSTANTIATE_TEST_SUITE_P(Steps, FieldDeleteFailure,
                         testing::Values(std::make_pair(SQLITE_CREATE_TABLE, "transactions"),
                                         std::make_pair(SQLITE_INSERT, "transactions"),
                                         std::make_pair(SQLITE_DELETE, "lists")));

TEST(Fields, LoadingRoundTripsNamesChoicesAndPercents)
{
    auto business = makeFieldsBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr quoted = addCustom(b, QStringLiteral("O'Brien's 100% field"), TWFieldTypeList);
    const TWFieldPtr tags = addCustom(b, QStringLiteral("%1 tags"), TWFieldTypeTags);
    const TWFieldPtr share = addCustom(b, QStringLiteral("Tip"), TWFieldTypePercentTotal);
    const TWFieldPtr unset = addCustom(b, QStringLiteral("Fee"), TWFieldTypePercentTotal);
    ASSERT_OK(
        b.addFieldListItem(TWFieldListItem::fieldListItemWithName("50% off", 0), quoted, false));
    ASSERT_OK(
        b.addFieldListItem(TWFieldListItem::fieldListItemWithName("Bob's", 0), quoted, false));
    ASSERT_OK(b.addFieldTagItem(TWFieldTagItem::fieldTagItemWithName("it's", 0), tags, false));
    share->setPercent(12.5);
    ASSERT_OK(b.updateFieldPercentTotal(share, false));
    share->setPercent(15.25);
    share->setIncludedInTotal(true);
    ASSERT_OK(b.updateFieldPercentTotal(share, true));
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM percentTotals;")), 1);
    // Rows of fields that do not exist are ignored.
    twExec(b, QStringLiteral("INSERT INTO lists VALUES (1, 'orphan', 99);"
                             "INSERT INTO percentTotals VALUES (98, 5, 1);"
                             "INSERT INTO fields (identifier, type) VALUES (-30, 0);"));

    ASSERT_OK(b.loadFields());
    ASSERT_OK(b.loadLists());
    ASSERT_OK(b.loadTags());
    ASSERT_OK(b.loadPercentTotals());
    ASSERT_EQ(b.fields().size(), 23);
    const TWFieldPtr loaded = b.fieldWithIdentifier(quoted->identifier());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->listItems().size(), 2);
    EXPECT_EQ(loaded->listItems()[0]->name(), QStringLiteral("50% off"));
    EXPECT_EQ(loaded->listItems()[1]->name(), QStringLiteral("Bob's"));
    EXPECT_EQ(b.fieldWithIdentifier(tags->identifier())->name(), QStringLiteral("%1 tags"));
    EXPECT_EQ(b.fieldWithIdentifier(tags->identifier())->tagItems().front()->name(),
              QStringLiteral("it's"));
    EXPECT_DOUBLE_EQ(b.fieldWithIdentifier(share->identifier())->percent(), 15.25);
    EXPECT_TRUE(b.fieldWithIdentifier(share->identifier())->includedInTotal());
    EXPECT_EQ(b.fieldWithIdentifier(-30)->name(), QStringLiteral(""));
}

TEST(Fields, RebuildingTheTransactionsTableKeepsItsIndex)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const QString count = QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='index' "
                                         "AND name='%1';");
    ASSERT_OK(b.populateFields());
    ASSERT_OK(b.loadFields());
    const TWFieldPtr field = TWField::fieldWithName(QStringLiteral("Ref"), TWFieldTypeText, false,
                                                    false, b.nextFieldIdentifier());
    ASSERT_OK(b.addField(field, false));
    ASSERT_OK(b.deleteField(field, false));
    EXPECT_EQ(twQueryInt(b, count.arg(QStringLiteral("transactionsRepeatIndex"))), 1);
}

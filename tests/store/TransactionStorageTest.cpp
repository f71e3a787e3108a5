// What a transaction stores beside its row: custom values, tags, lines and
// attachments.

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"

#include "model/TWRelationship.h"
#include "store/TWSchema.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

QString column(TWBusiness &b, const TWFieldPtr &field, qint32 transaction)
{
    return twQueryText(b, QStringLiteral("SELECT typeof(%1) || ':' || quote(%1) FROM "
                                         "transactions WHERE identifier=%2;")
                              .arg(TWSchema::userColumnName(field->identifier()))
                              .arg(transaction))
        .value_or(QStringLiteral("<no row>"));
}

QString tagRows(TWBusiness &b)
{
    return twQueryText(b, "SELECT group_concat(transactionIdentifier || '/' || fieldIdentifier "
                          "|| '/' || tagIdentifier, ' ') FROM (SELECT * FROM transactionTags "
                          "ORDER BY rowid);")
        .value_or(QString());
}

} // namespace

TEST(TransactionStorage, CustomValuesAreBoundWhateverTheLocale)
{
    TWLocaleGuard german(QStringLiteral("de_DE"));
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr text = twAddCustomField(b, "Reference", TWFieldTypeText);
    const TWFieldPtr number = twAddCustomField(b, "Kilometres", TWFieldTypeNumber);
    const TWFieldPtr percent = twAddCustomField(b, "Share", TWFieldTypePercent);
    const TWFieldPtr checkbox = twAddCustomField(b, "Reviewed", TWFieldTypeCheckbox);
    const TWFieldPtr date = twAddCustomField(b, "Due", TWFieldTypeDate);
    const TWFieldPtr tags = twAddCustomField(b, "Tags", TWFieldTypeTags);

    TWTransactionPtr t = twMakeTransaction(b, 1, twDay(2024, 1, 1), kChecking, kSales, 5);
    t->fieldValueWithField(*text, true)
        ->setText(QStringLiteral("it's 1,5'; DELETE FROM splits;--"));
    t->fieldValueWithField(*number, true)->setNumber(1234.5);
    t->fieldValueWithField(*percent, true)->setPercent(0.25f);
    t->fieldValueWithField(*checkbox, true)->setCheckboxValue(false);
    t->fieldValueWithField(*date, true)->setDate(twDay(2024, 2, 29));
    t->fieldValueWithField(*tags, true)->setTagItemIdentifiers({4, 2});
    ASSERT_TRUE(twWriteTransaction(b, *t));

    EXPECT_EQ(column(b, text, 1), QStringLiteral("text:'it''s 1,5''; DELETE FROM splits;--'"));
    EXPECT_EQ(column(b, number, 1), QStringLiteral("real:1234.5"));
    EXPECT_EQ(column(b, checkbox, 1), QStringLiteral("integer:0"));
    EXPECT_EQ(column(b, date, 1), QStringLiteral("real:1036381.0")); // 2024·512 + 2·32 + 29
    EXPECT_EQ(tagRows(b), QStringLiteral("1/%1/4 1/%1/2").arg(tags->identifier()));

    // Read back: the unchecked box is no value, the rest as written.
    ASSERT_OK(b.loadTransactions());
    const TWTransactionPtr loaded = b.transactionWithIdentifier(1);
    EXPECT_EQ(loaded->fieldValueWithIdentifier(text->identifier())->text(),
              t->fieldValueWithIdentifier(text->identifier())->text());
    EXPECT_EQ(loaded->fieldValueWithIdentifier(checkbox->identifier()), nullptr);
    EXPECT_EQ(loaded->fieldValueWithIdentifier(tags->identifier())->tagItemIdentifiers(),
              QList<qint32>({4, 2}));

    // A NaN is refused by the value, which then holds none: the column goes
    // back to NULL. The tags are replaced.
    TWFieldValuePtr kilometres = loaded->fieldValueWithIdentifier(number->identifier());
    EXPECT_FALSE(kilometres->setNumber(std::numeric_limits<double>::quiet_NaN()));
    loaded->fieldValueWithIdentifier(tags->identifier())->setTagItemIdentifiers({7});
    ASSERT_OK(b.updateTransactionFields(*loaded));
    EXPECT_EQ(column(b, number, 1), QStringLiteral("null:NULL"));
    EXPECT_EQ(tagRows(b), QStringLiteral("1/%1/7").arg(tags->identifier()));

    // A value whose type is not its field's is refused whole.
    TWTransactionPtr wrong = loaded->copy();
    wrong->removeFieldValueWithIdentifier(text->identifier());
    TWFieldValuePtr misplaced =
        TWFieldValue::fieldValueWithIdentifier(text->identifier(), TWFieldTypeNumber);
    misplaced->setNumber(3.0);
    wrong->setFieldValues(wrong->fieldValues() + TWFieldValueList{misplaced});
    wrong->fieldValueWithIdentifier(tags->identifier())->setTagItemIdentifiers({1});
    const TWErrorResult refused = b.updateTransactionFields(*wrong);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), SQLITE_MISMATCH);
    EXPECT_TRUE(column(b, text, 1).startsWith(QStringLiteral("text:'it''s")));
    EXPECT_EQ(tagRows(b), QStringLiteral("1/%1/7").arg(tags->identifier()));

    // A field added later: the write names the new column too.
    const TWFieldPtr later = twAddCustomField(b, "Later", TWFieldTypeCurrency);
    loaded->fieldValueWithField(*later, true)->setCurrency(-42);
    ASSERT_OK(b.updateTransactionFields(*loaded));
    EXPECT_EQ(column(b, later, 1), QStringLiteral("integer:-42"));
}

namespace
{

QString splitRows(TWBusiness &b)
{
    return twQueryText(b, "SELECT group_concat(r, ' ') FROM (SELECT identifier || ':' || "
                          "transactionIdentifier || ':' || accountIdentifier || ':' || total AS r "
                          "FROM splits ORDER BY identifier);")
        .value_or(QString());
}

} // namespace

TEST(TransactionStorage, LinesAreUpdatedInsertedAndDeletedOnlyForTheirTransaction)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionPtr first = twMakeTransaction(b, 1, twDay(2024, 1, 1), 0, 0, 0);
    first->setHasSplit(true);
    first->setSplits({twMakeSplit(b, 0, kChecking, -10), twMakeSplit(b, 0, kSales, 4),
                      twMakeSplit(b, 0, kRent, 6)});
    TWTransactionPtr other = twMakeTransaction(b, 2, twDay(2024, 1, 2), 0, 0, 0);
    other->setHasSplit(true);
    other->setSplits({twMakeSplit(b, 0, kCard, -1), twMakeSplit(b, 0, kRent, 1)});
    ASSERT_TRUE(twWriteTransaction(b, *first));
    ASSERT_TRUE(twWriteTransaction(b, *other));
    EXPECT_EQ(splitRows(b), "100:1:100:-10 101:1:101:4 102:1:102:6 103:2:103:-1 104:2:102:1");
    // Payments recorded against lines B (101) and C (102).
    for (const qint32 line : {101, 102}) {
        ASSERT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                        0, 0.0, 1, 1, 1, line, b.nextRelationshipIdentifier()),
                                    false));
    }

    // (A, B, C) becomes (A changed, D new); B and C go with their payments.
    const TWSplitPtr a = first->splits().at(0);
    a->setTotal(-20);
    const TWSplitPtr d = twMakeSplit(b, 0, kSales, 20);
    first->setSplits({a, d});
    ASSERT_OK(b.updateTransactionSplits(*first));
    EXPECT_EQ(d->identifier(), 105);
    EXPECT_EQ(splitRows(b), "100:1:100:-20 103:2:103:-1 104:2:102:1 105:1:101:20");
    EXPECT_EQ(twQueryInt(b, "SELECT count(*) FROM relationships;"), 0);

    // A line carrying another transaction's line identifier is stored as a
    // new line of its own; the other transaction's line is left alone.
    const TWSplitPtr foreign = other->splits().at(0)->copy();
    foreign->setTotal(999);
    first->setSplits({a, d, foreign});
    ASSERT_OK(b.updateTransactionSplits(*first));
    EXPECT_EQ(twQueryInt(b, "SELECT total FROM splits WHERE identifier=103;"), -1);
    EXPECT_EQ(twQueryInt(b, "SELECT transactionIdentifier FROM splits WHERE identifier=106;"), 1);

    // A repeat occurrence's lines are new lines: new rows, the source's stay.
    TWTransactionPtr occurrence = other->repeatTransactionWithDate(twDay(2024, 2, 2), 3, false);
    ASSERT_TRUE(twWriteTransaction(b, *occurrence));
    EXPECT_EQ(occurrence->splits().at(1)->identifier(), 108);
    EXPECT_EQ(other->splits().at(0)->identifier(), 103);
    EXPECT_EQ(twQueryInt(b, "SELECT count(*) FROM splits WHERE transactionIdentifier=2;"), 2);

    // A failure undoes the whole update, new identifiers included.
    const QString before = splitRows(b);
    const TWSplitPtr e = twMakeSplit(b, 0, kCard, 1);
    a->setTotal(-1);
    first->setSplits({e, a});
    {
        TWDenyGuard deny(b, SQLITE_DELETE, "splits");
        EXPECT_TRUE(b.updateTransactionSplits(*first));
    }
    EXPECT_EQ(splitRows(b), before);
    EXPECT_EQ(e->identifier(), 0);

    // Deleting all lines of one transaction leaves the others'.
    ASSERT_OK(b.deleteTransactionSplits(*first));
    EXPECT_EQ(twQueryInt(b, "SELECT count(*) FROM splits WHERE transactionIdentifier=1;"), 0);
    EXPECT_EQ(twQueryInt(b, "SELECT count(*) FROM splits;"), 4);
    // A transaction no longer split keeps no lines.
    other->setHasSplit(false);
    ASSERT_OK(b.updateTransactionSplits(*other));
    EXPECT_EQ(twQueryInt(b, "SELECT count(*) FROM splits WHERE transactionIdentifier=2;"), 0);
}

TEST(TransactionStorage, RowsCarryEveryCustomColumnAsFieldsComeAndGo)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr text = twAddCustomField(b, "Reference", TWFieldTypeText);

    TWTransactionPtr first = twMakeTransaction(b, 1, twDay(2024, 1, 1), kChecking, kSales, 5);
    first->fieldValueWithField(*text, true)->setText(QStringLiteral("one"));
    ASSERT_OK(b.addTransaction(first, false, false, false, false));
    EXPECT_EQ(column(b, text, 1), QStringLiteral("text:'one'"));

    // A field added later is written by the next addition and update.
    const TWFieldPtr amount = twAddCustomField(b, "Deposit", TWFieldTypeCurrency);
    TWTransactionPtr second = twMakeTransaction(b, 2, twDay(2024, 1, 2), kChecking, kSales, 7);
    second->fieldValueWithField(*amount, true)->setCurrency(-42);
    ASSERT_OK(b.addTransaction(second, false, false, false, false));
    EXPECT_EQ(column(b, amount, 2), QStringLiteral("integer:-42"));
    EXPECT_EQ(column(b, text, 2), QStringLiteral("null:NULL"));
    first->removeFieldValueWithIdentifier(text->identifier());
    first->fieldValueWithField(*amount, true)->setCurrency(9);
    ASSERT_OK(b.updateTransaction(first, false, false, false, false));
    EXPECT_EQ(column(b, text, 1), QStringLiteral("null:NULL"));
    EXPECT_EQ(column(b, amount, 1), QStringLiteral("integer:9"));

    // With the text field gone, its column is no longer named.
    ASSERT_OK(b.deleteField(text, false));
    TWTransactionPtr third = twMakeTransaction(b, 3, twDay(2024, 1, 3), kChecking, kSales, 9);
    third->fieldValueWithField(*amount, true)->setCurrency(3);
    ASSERT_OK(b.addTransaction(third, false, false, false, false));
    EXPECT_EQ(column(b, amount, 3), QStringLiteral("integer:3"));

    // A value of the wrong type writes no row at all.
    TWTransactionPtr wrong = twMakeTransaction(b, 4, twDay(2024, 1, 4), kChecking, kSales, 1);
    TWFieldValuePtr misplaced =
        TWFieldValue::fieldValueWithIdentifier(amount->identifier(), TWFieldTypeNumber);
    misplaced->setNumber(3.0);
    wrong->setFieldValues({misplaced});
    const TWErrorResult refused = b.addTransaction(wrong, false, false, false, false);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), SQLITE_MISMATCH);
    EXPECT_EQ(column(b, amount, 4), QStringLiteral("<no row>"));
    EXPECT_FALSE(b.transactionWithIdentifier(4));

    // Tag rows left behind under a new transaction's identifier are not its.
    twExec(b, "INSERT INTO transactionTags (transactionIdentifier, fieldIdentifier, tagIdentifier) "
              "VALUES (5, 77, 1);");
    ASSERT_OK(b.addTransaction(twMakeTransaction(b, 5, twDay(2024, 1, 5), kChecking, kSales, 2),
                               false, false, false, false));
    EXPECT_EQ(tagRows(b), QString());
}

// Loading transactions: round trips, odd stored values, failing reads,
// attachments read on first use and the list's index.

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWSchema.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

// Reaches the store's private list changes.
class TWTransactionsTestPeer
{
public:
    explicit TWTransactionsTestPeer(TWBusiness &business) : m_business(business) {}
    void append(TWBusiness::WriteScope &scope, const TWTransactionPtr &t)
    {
        m_business.appendTransaction(scope, t);
    }
    void replace(TWBusiness::WriteScope &scope, qsizetype position, const TWTransactionPtr &t)
    {
        m_business.replaceTransactionAt(scope, position, t);
    }
    void remove(TWBusiness::WriteScope &scope, qsizetype position)
    {
        m_business.removeTransactionAt(scope, position);
    }
    TWTransactionList removeIf(TWBusiness::WriteScope &scope,
                               const std::function<bool(const TWTransaction &)> &pick)
    {
        return m_business.removeTransactionsIf(scope, pick);
    }

private:
    TWBusiness &m_business;
};

namespace
{

// The parts as text, "|"-separated (QVariant's texts: dates with ms).
template <typename... Parts> QString join(const Parts &...parts)
{
    QStringList list;
    (list.append(QVariant::fromValue(parts).toString()), ...);
    return list.join(QLatin1Char('|'));
}

QString describeValue(const TWFieldValue &v)
{
    QStringList tags;
    for (const qint32 tag : v.tagItemIdentifiers())
        tags.append(QString::number(tag));
    return join(v.identifier(), v.type(), v.hasValue(), v.text(), v.currency(), v.number(),
                v.percent(), v.checkboxValue(), v.date(), v.listItemIdentifier(), tags.join(','));
}

// Every stored field of a transaction, its values in order and its lines.
QStringList describe(const TWTransaction &t)
{
    const auto code = [](const TWUnitPtr &unit) { return unit ? unit->code() : QString(); };
    QStringList lines{join(t.identifier(), t.type(), t.state(), t.payee(), t.description(),
                           t.account1Identifier(), t.account2Identifier(), t.date(), t.total(),
                           t.totalAccount1(), t.totalAccount2(), t.totalBusiness(), t.totalStart(),
                           t.totalEnd(), code(t.unit()), t.hasAttachments(), t.repeatIdentifier(),
                           t.cleared(), t.notes(), t.hasSplit(), t.dateCreated(),
                           t.dateModified())};
    for (const TWFieldValuePtr &value : t.fieldValues())
        lines << describeValue(*value);
    for (const TWSplitPtr &s : t.splits())
        lines << join(s->identifier(), s->description(), s->accountIdentifier(), s->total(),
                      s->totalAccount(), s->totalBusiness(), s->totalStart(), s->totalEnd(),
                      code(s->unit()));
    return lines;
}

struct Fields {
    TWFieldPtr text, currency, number, percent, checkbox, date, list, tags, percentTotal, labels;
};

Fields addEveryKind(TWBusiness &b)
{
    Fields f;
    f.text = twAddCustomField(b, "Reference", TWFieldTypeText);
    f.tags = twAddCustomField(b, "Tags", TWFieldTypeTags);
    f.currency = twAddCustomField(b, "Deposit", TWFieldTypeCurrency);
    f.number = twAddCustomField(b, "Kilometres", TWFieldTypeNumber);
    f.percent = twAddCustomField(b, "Share", TWFieldTypePercent);
    f.checkbox = twAddCustomField(b, "Reviewed", TWFieldTypeCheckbox);
    f.date = twAddCustomField(b, "Due", TWFieldTypeDate);
    f.list = twAddCustomField(b, "Project", TWFieldTypeList);
    f.percentTotal = twAddCustomField(b, "VAT", TWFieldTypePercentTotal);
    f.labels = twAddCustomField(b, "Labels", TWFieldTypeTags);
    return f;
}

} // namespace

TEST(TransactionsLoad, ReadsBackEveryFieldValueTagAndLineAsWritten)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const Fields f = addEveryKind(b);

    // Every value kind, tags of two fields in a chosen order, and odd texts.
    TWTransactionPtr rich = twMakeTransaction(b, 7, twDay(2024, 3, 5), kChecking, kSales, 12345);
    rich->setType(TWTransactionTypeNominal);
    rich->setState(TWTransactionStateLocked);
    rich->setPayee(QStringLiteral("O'Brien & Söhne"));
    rich->setDescription(QStringLiteral("Line one\nline two; DROP TABLE transactions;"));
    rich->setTotalStart(100);
    rich->setRepeatIdentifier(3);
    rich->setDateCreated(QDateTime::fromMSecsSinceEpoch(1700000000500));
    rich->setDateModified(QDateTime::fromMSecsSinceEpoch(1700000100250));
    rich->fieldValueWithField(*f.text, true)->setText(QStringLiteral("It's 'quoted'"));
    rich->fieldValueWithField(*f.currency, true)->setCurrency(-987654321012);
    rich->fieldValueWithField(*f.number, true)->setNumber(1234.5678);
    rich->fieldValueWithField(*f.percent, true)->setPercent(12.5f);
    rich->fieldValueWithField(*f.checkbox, true)->setCheckboxValue(true);
    rich->fieldValueWithField(*f.date, true)->setDate(twDay(2025, 1, 31));
    rich->fieldValueWithField(*f.list, true)->setListItemIdentifier(2);
    rich->fieldValueWithField(*f.percentTotal, true)->setCurrency(1122);
    rich->fieldValueWithField(*f.labels, true)->setTagItemIdentifiers({9, 8});
    rich->fieldValueWithField(*f.tags, true)->setTagItemIdentifiers({3, 1, 2});

    // A split transaction: its lines keep their identifiers and order.
    TWTransactionPtr split = twMakeTransaction(b, 3, twDay(2024, 1, 2), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 0, kChecking, -3000, "all"),
                      twMakeSplit(b, 0, kSales, 2000, "goods"),
                      twMakeSplit(b, 0, kRent, 1000, "rent")});
    split->fieldValueWithField(*f.tags, true)->setTagItemIdentifiers({5});

    // Nothing but the fixed columns; no texts at all.
    TWTransactionPtr bare = twMakeTransaction(b, 11, twDay(2023, 12, 31), kCard, kRent, -1);

    ASSERT_TRUE(twWriteAndLoad(b, {rich, split, bare}));

    EXPECT_EQ(split->splits().at(2)->identifier(), 102); // numbered when stored
    // Table order; the values of each transaction in field order: the column
    // fields, then the tags fields.
    ASSERT_EQ(twIdentifiers(b.transactions()), QList<qint32>({7, 3, 11}));
    TWTransactionPtr expected = rich->copy();
    TWFieldValueList inFieldOrder;
    for (const TWFieldPtr &field : {f.text, f.currency, f.number, f.percent, f.checkbox, f.date,
                                    f.list, f.percentTotal, f.tags, f.labels})
        inFieldOrder.append(rich->fieldValueWithIdentifier(field->identifier()));
    expected->setFieldValues(inFieldOrder);
    EXPECT_EQ(describe(*b.transactions().at(0)), describe(*expected));
    EXPECT_EQ(describe(*b.transactions().at(1)), describe(*split));
    EXPECT_EQ(describe(*b.transactions().at(2)), describe(*bare));

    // Loading again gives the same list, not a second copy.
    ASSERT_OK(b.loadTransactions());
    EXPECT_EQ(b.transactions().size(), 3);
    EXPECT_EQ(describe(*b.transactions().at(1)), describe(*split));
}

TEST(TransactionsLoad, StoredZerosNullsAndUnknownCodesMeanNothingOrAPlaceholder)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;

    // Without custom fields nobody has values.
    ASSERT_TRUE(
        twWriteAndLoad(b, {twMakeTransaction(b, 1, twDay(2024, 1, 1), kChecking, kSales, 5)}));
    EXPECT_TRUE(b.transactions().at(0)->fieldValues().isEmpty());

    const Fields f = addEveryKind(b);
    twExec(b, QStringLiteral("UPDATE transactions SET %1=NULL, %2=0, %3=0, %4=0, %5=0, %6=0, "
                             "%7=0, %8=0 WHERE identifier=1;")
                  .arg(TWSchema::userColumnName(f.text->identifier()),
                       TWSchema::userColumnName(f.currency->identifier()),
                       TWSchema::userColumnName(f.number->identifier()),
                       TWSchema::userColumnName(f.percent->identifier()),
                       TWSchema::userColumnName(f.checkbox->identifier()),
                       TWSchema::userColumnName(f.date->identifier()),
                       TWSchema::userColumnName(f.list->identifier()),
                       TWSchema::userColumnName(f.percentTotal->identifier())));
    // A row without a unit, one with a code nobody knows, no creation date,
    // a date that is no packed date; a split flag without lines; lines and
    // tags of a transaction that does not exist.
    twExec(b, "INSERT INTO transactions (identifier, date, unit, split, dateCreated, total) "
              "VALUES (2, 1036353.0, NULL, 0, 0, 1), (5, -4, 'XQQ', 1, NULL, 2);");
    twExec(b, "INSERT INTO splits (identifier, transactionIdentifier, accountIdentifier, total, "
              "unit) VALUES (300, 99, 100, 1, 'USD'), (301, 2, 100, 1, 'USD');");
    twExec(b, QStringLiteral("INSERT INTO transactionTags VALUES (99, %1, 1), (2, 12345, 1);")
                  .arg(f.tags->identifier()));
    ASSERT_OK(b.loadTransactions());
    ASSERT_EQ(twIdentifiers(b.transactions()), QList<qint32>({1, 2, 5}));

    const TWTransactionPtr zeros = b.transactions().at(0);
    EXPECT_TRUE(zeros->fieldValues().isEmpty());

    const TWTransactionPtr noUnit = b.transactions().at(1);
    EXPECT_EQ(noUnit->unit(), b.unitWithCode("USD"));
    EXPECT_FALSE(noUnit->dateCreated().isValid());
    EXPECT_EQ(noUnit->date(), twDay(2024, 2, 1)); // 2024 × 512 + 2 × 32 + 1
    EXPECT_FALSE(noUnit->hasSplit());
    EXPECT_TRUE(noUnit->splits().isEmpty()); // not split: its stray line is ignored

    const TWTransactionPtr unknown = b.transactions().at(2);
    ASSERT_TRUE(unknown->unit());
    EXPECT_EQ(unknown->unit()->code(), QStringLiteral("XQQ"));
    EXPECT_EQ(unknown->unit()->rate(), 0.0); // never mistaken for another currency
    EXPECT_FALSE(unknown->date().isValid());
    EXPECT_TRUE(unknown->hasSplit());
    EXPECT_TRUE(unknown->splits().isEmpty());
}

TEST(TransactionsLoad, AFailingReadOfLinesOrTagsFailsTheLoadAndKeepsNothing)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr tags = twAddCustomField(b, "Tags", TWFieldTypeTags);
    TWTransactionPtr split = twMakeTransaction(b, 1, twDay(2024, 1, 1), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 0, kChecking, -5), twMakeSplit(b, 0, kSales, 5)});
    split->fieldValueWithField(*tags, true)->setTagItemIdentifiers({1});
    ASSERT_TRUE(twWriteAndLoad(b, {split}));
    ASSERT_EQ(b.transactions().size(), 1);

    for (const char *table : {"splits", "transactionTags", "transactions"}) {
        SCOPED_TRACE(table);
        {
            TWDenyGuard deny(b, SQLITE_READ, table);
            const TWErrorResult error = b.loadTransactions();
            ASSERT_TRUE(error);
            EXPECT_TRUE(b.transactions().isEmpty());
            EXPECT_EQ(b.transactionWithIdentifier(1), nullptr);
        }
        // Nothing was left behind: the next load reads everything.
        ASSERT_OK(b.loadTransactions());
        ASSERT_EQ(b.transactions().size(), 1);
        EXPECT_EQ(b.transactions().at(0)->splits().size(), 2);
        EXPECT_EQ(b.transactions().at(0)->fieldValues().size(), 1);
    }
}

TEST(TransactionsLoad, ListChangesKeepTheIndexAndAreUndoneWithTheirWrite)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionsTestPeer peer(b);
    const auto make = [&b](qint32 identifier) {
        return twMakeTransaction(b, identifier, twDay(2024, 1, 1), kChecking, kSales, 1);
    };
    ASSERT_TRUE(twWriteAndLoad(b, {make(1), make(2), make(3)}));
    const TWTransactionList before = b.transactions();
    const TWTransactionPtr replacement = before.at(1)->copy();
    const TWTransactionPtr renumbered = make(8);
    {
        TWBusiness::WriteScope scope(b);
        peer.append(scope, make(9));
        peer.replace(scope, 1, replacement);
        peer.remove(scope, 0);
        peer.replace(scope, 0, renumbered); // 2 leaves, 8 comes in
        EXPECT_EQ(b.transactionWithIdentifier(2), nullptr);
        EXPECT_EQ(b.transactionWithIdentifier(8), renumbered);
        const TWTransactionList removed =
            peer.removeIf(scope, [](const TWTransaction &t) { return t.identifier() > 2; });
        EXPECT_EQ(twIdentifiers(removed), QList<qint32>({8, 3, 9}));
        scope.rollback();
    }
    EXPECT_EQ(b.transactions(), before);
    for (const TWTransactionPtr &t : before)
        EXPECT_EQ(b.transactionWithIdentifier(t->identifier()), t);
    EXPECT_EQ(b.transactionWithIdentifier(8), nullptr);

    // A repeated identifier: the index names the first listed object, and
    // the next one takes over when it goes.
    const TWTransactionPtr twin = make(2);
    TWBusiness::WriteScope scope(b);
    peer.append(scope, twin);
    EXPECT_EQ(b.transactionWithIdentifier(2), before.at(1));
    peer.remove(scope, 1);
    EXPECT_EQ(b.transactionWithIdentifier(2), twin);
    EXPECT_OK(scope.commit());
    EXPECT_EQ(twIdentifiers(b.transactions()), QList<qint32>({1, 3, 2}));
}

// No notes (NULL) and empty notes ('') are told apart through every write and
// load, as are odometer readings and values made together in one block.
TEST(TransactionsLoad, NoNotesEmptyNotesAndReadingsComeBackAsStored)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const Fields f = addEveryKind(b);
    TWTransactionPtr none = twMakeTransaction(b, 1, twDay(2024, 2, 1), kChecking, kSales, 10);
    TWTransactionPtr empty = twMakeTransaction(b, 2, twDay(2024, 2, 2), kChecking, kSales, 20);
    empty->setNotes(QStringLiteral(""));
    TWTransactionPtr mileage = twMakeTransaction(b, 3, twDay(2024, 2, 3), kChecking, kSales, 30);
    mileage->setNotes(QStringLiteral("trip"));
    mileage->setTotalStart(0);
    mileage->setTotalEnd(4321);
    mileage->fieldValueWithField(*f.text, true)->setText(QStringLiteral("one"));
    mileage->fieldValueWithField(*f.number, true)->setNumber(2.5);
    ASSERT_TRUE(twWriteAndLoad(b, {none, empty, mileage}));
    EXPECT_EQ(
        twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions WHERE notes IS NULL")), 1);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions WHERE notes=''")), 1);

    ASSERT_EQ(b.transactions().size(), 3);
    const TWTransactionPtr loadedNone = b.transactionWithIdentifier(1);
    const TWTransactionPtr loadedEmpty = b.transactionWithIdentifier(2);
    const TWTransactionPtr loadedMileage = b.transactionWithIdentifier(3);
    EXPECT_TRUE(loadedNone->notes().isNull());
    EXPECT_FALSE(loadedEmpty->notes().isNull());
    EXPECT_TRUE(loadedEmpty->notes().isEmpty());
    EXPECT_EQ(describe(*loadedMileage), describe(*mileage));

    // Values read together are still values of their own.
    loadedMileage->fieldValueWithIdentifier(f.text->identifier())->setText(QStringLiteral("two"));
    EXPECT_EQ(loadedMileage->fieldValueWithIdentifier(f.number->identifier())->number(), 2.5);
    const TWFieldValuePtr kept = loadedMileage->fieldValueWithIdentifier(f.number->identifier());
    loadedMileage->setFieldValues({});
    EXPECT_EQ(kept->number(), 2.5);

    // Written back unchanged, the rows stay as they were.
    ASSERT_OK(b.updateTransaction(loadedEmpty->copy(), false, false, false, false));
    ASSERT_OK(b.updateTransaction(loadedNone->copy(), false, false, false, false));
    EXPECT_EQ(
        twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions WHERE notes IS NULL")), 1);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT COUNT(*) FROM transactions WHERE notes=''")), 1);
}

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

// Rows added one after another are matched to their lines and tags as they
// are read; from a row out of identifier order on, the rest after the rows.
// Equal texts and tag lists read from the file are shared, yet changing one
// transaction's changes no other's, and the changes survive a new load.
TEST(TransactionsLoad, LinesTagsAndSharedValuesFollowTheirOwnTransaction)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const Fields f = addEveryKind(b);
    const QString text = TWSchema::userColumnName(f.text->identifier());
    // Table order 1, 2, 4, 2000000, then 3 (out of order): 3 and the far
    // identifier are the ones a merge in step could lose.
    twExec(b, QStringLiteral("INSERT INTO transactions (identifier, total, split, %1) VALUES "
                             "(1, 1, 0, 'same'), (2, 2, 1, 'same'), (4, 4, 1, NULL), "
                             "(2000000, 5, 0, 'same'), (3, 3, 1, 'other');")
                  .arg(text));
    twExec(b, "INSERT INTO splits (identifier, transactionIdentifier, accountIdentifier, total, "
              "unit) VALUES (10, 2, 100, 1, 'USD'), (11, 2, 101, -1, 'USD'), "
              "(12, 4, 100, 4, 'USD'), (13, 5, 100, 9, 'USD'), (14, 3, 101, 3, 'USD');");
    twExec(b, QStringLiteral("INSERT INTO transactionTags VALUES (1, %1, 7), (1, %1, 8), "
                             "(2, %1, 7), (2, %1, 8), (5, %1, 9), (3, %1, 9), (2000000, %1, 7), "
                             "(2000000, %2, 8);")
                  .arg(f.tags->identifier())
                  .arg(f.labels->identifier()));
    ASSERT_OK(b.loadTransactions());
    ASSERT_EQ(twIdentifiers(b.transactions()), QList<qint32>({1, 2, 4, 2000000, 3}));

    const auto lines = [&b](qint32 identifier) {
        QList<qint32> result;
        for (const TWSplitPtr &split : b.transactionWithIdentifier(identifier)->splits())
            result.append(split->identifier());
        return result;
    };
    const auto valueOf = [&b](qint32 identifier, const TWFieldPtr &field) {
        return b.transactionWithIdentifier(identifier)
            ->fieldValueWithIdentifier(field->identifier());
    };
    EXPECT_EQ(lines(2), QList<qint32>({10, 11}));
    EXPECT_EQ(lines(4), QList<qint32>({12}));
    EXPECT_EQ(lines(3), QList<qint32>({14}));
    EXPECT_FALSE(b.transactionWithIdentifier(5));
    EXPECT_EQ(valueOf(1, f.tags)->tagItemIdentifiers(), QList<qint32>({7, 8}));
    EXPECT_EQ(valueOf(2, f.tags)->tagItemIdentifiers(), QList<qint32>({7, 8}));
    EXPECT_EQ(valueOf(3, f.tags)->tagItemIdentifiers(), QList<qint32>({9}));
    EXPECT_FALSE(valueOf(4, f.tags));
    EXPECT_EQ(valueOf(2000000, f.tags)->tagItemIdentifiers(), QList<qint32>({7}));
    EXPECT_EQ(valueOf(2000000, f.labels)->tagItemIdentifiers(), QList<qint32>({8}));
    EXPECT_EQ(valueOf(2000000, f.text)->text(), QStringLiteral("same"));
    EXPECT_EQ(valueOf(3, f.text)->text(), QStringLiteral("other"));
    // The tags value follows the column values.
    EXPECT_EQ(b.transactionWithIdentifier(1)->fieldValues().last()->identifier(),
              f.tags->identifier());

    const TWTransactionPtr one = b.transactionWithIdentifier(1);
    one->fieldValueWithIdentifier(f.text->identifier())->setText(QStringLiteral("mine"));
    one->fieldValueWithIdentifier(f.tags->identifier())->setTagItemIdentifiers({9});
    EXPECT_EQ(valueOf(2, f.text)->text(), QStringLiteral("same"));
    EXPECT_EQ(valueOf(2, f.tags)->tagItemIdentifiers(), QList<qint32>({7, 8}));
    ASSERT_OK(b.updateTransaction(one, false, false, false, false));
    ASSERT_OK(b.loadTransactions());
    EXPECT_EQ(valueOf(1, f.text)->text(), QStringLiteral("mine"));
    EXPECT_EQ(valueOf(1, f.tags)->tagItemIdentifiers(), QList<qint32>({9}));
    EXPECT_EQ(valueOf(2, f.text)->text(), QStringLiteral("same"));
    EXPECT_EQ(valueOf(2000000, f.text)->text(), QStringLiteral("same"));
    EXPECT_EQ(valueOf(2, f.tags)->tagItemIdentifiers(), QList<qint32>({7, 8}));
}

// The index keeps a run of identifiers in an array and the others hashed:
// every identifier must find its transaction, whichever way it is kept.
TEST(TransactionIndex, IdentifiersInAndFarFromTheRunFindTheirTransaction)
{
    const auto make = [](qint32 identifier) {
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setIdentifier(identifier);
        return transaction;
    };
    TWTransactionList list;
    for (qint32 identifier = 5; identifier < 1005; ++identifier)
        list.append(make(identifier));
    const TWTransactionPtr repeated = make(6); // a damaged file's second row of 6
    list.append(repeated);
    list.append(make(-7));
    list.append(make(2000000000));
    TWTransactionIndex index;
    index.assign(list);
    EXPECT_EQ(index.size(), 1002);
    EXPECT_EQ(index.value(6), list.at(1));
    EXPECT_EQ(index.value(-7), list.at(1001));
    EXPECT_EQ(index.value(2000000000), list.at(1002));
    EXPECT_FALSE(index.value(4));
    EXPECT_FALSE(index.contains(1005));

    // New identifiers past the run extend it; far ones are hashed.
    for (qint32 identifier = 1005; identifier < 3000; ++identifier)
        index.insert(identifier, make(identifier));
    index.insert(1500000000, make(1500000000));
    index.insert(6, repeated);
    EXPECT_EQ(index.size(), 1002 + 1995 + 1);
    EXPECT_EQ(index.value(2999)->identifier(), 2999);
    EXPECT_EQ(index.value(1500000000)->identifier(), 1500000000);
    EXPECT_EQ(index.value(6), repeated);

    index.remove(500);
    index.remove(500);
    index.remove(-7);
    index.insert(7, nullptr);
    EXPECT_FALSE(index.contains(500));
    EXPECT_FALSE(index.contains(-7));
    EXPECT_FALSE(index.contains(7));
    EXPECT_EQ(index.size(), 1002 + 1995 + 1 - 3);
    index.clear();
    EXPECT_EQ(index.size(), 0);
    EXPECT_FALSE(index.value(2999));
    // An empty index takes its run from the first identifier given.
    index.insert(-100, make(-100));
    index.insert(-99, make(-99));
    EXPECT_EQ(index.value(-99)->identifier(), -99);
    EXPECT_EQ(index.size(), 2);
    // One hashed while far from the run, then reached by the run's growth.
    index.insert(9000, make(9000));
    for (qint32 identifier = -98; identifier < 9100; ++identifier) {
        if (identifier != 9000)
            index.insert(identifier, make(identifier));
    }
    EXPECT_EQ(index.value(9000)->identifier(), 9000);
    EXPECT_TRUE(index.contains(9000));
    EXPECT_EQ(index.size(), 9200);
    const TWTransactionPtr replaced = make(9000);
    index.insert(9000, replaced);
    EXPECT_EQ(index.value(9000), replaced);
    EXPECT_EQ(index.size(), 9200);
    index.remove(9000);
    EXPECT_FALSE(index.contains(9000));
    EXPECT_EQ(index.size(), 9199);
}

// The rows are read in batches (a thousand rows or a megabyte of text at a
// time) and made into transactions apart from the reading: every text, day,
// value, line and tag must still land on its own transaction, at batch ends
// too, with NULL and empty texts told apart and odd bytes kept as they are.
TEST(TransactionsLoad, RowsReadInBatchesKeepEveryValueOfTheirOwn)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const Fields f = addEveryKind(b);
    constexpr int kRows = 3000;
    // Packed days sixteen years apart, which a cache keyed on the low bits of
    // the packed day would take for one another.
    const auto packed = [](int year) { return year * 512 + 3 * 32 + 5; };
    twExec(b, QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                  "INSERT INTO transactions (identifier, type, payee, description, notes, date, "
                  "split, total, unit, %2, %3) SELECT i, 0, "
                  "CASE WHEN i BETWEEN 1500 AND 1502 THEN replace(hex(zeroblob(350000)), '00', "
                  "'xy') || i ELSE CASE i % 6 WHEN 0 THEN NULL WHEN 1 THEN '' "
                  "WHEN 2 THEN CAST(x'610062' AS TEXT) WHEN 3 THEN CAST(x'ff61' AS TEXT) "
                  "ELSE 'Payee ' || (i % 40) END END, "
                  "'Entry ' || i || substr('abcdefghijklmnopq', 1, i % 17), "
                  "CASE i % 5 WHEN 0 THEN '' WHEN 1 THEN 'n' ELSE NULL END, "
                  "CASE i % 3 WHEN 0 THEN %4 WHEN 1 THEN %5 ELSE -4 END, i % 4 = 0, i, 'USD', "
                  "CASE WHEN i % 7 = 0 THEN NULL ELSE 'T' || (i % 90) END, "
                  "CASE i % 2 WHEN 0 THEN %6 ELSE %4 END FROM n;")
                  .arg(kRows)
                  .arg(TWSchema::userColumnName(f.text->identifier()),
                       TWSchema::userColumnName(f.date->identifier()))
                  .arg(packed(2008))
                  .arg(packed(2024))
                  .arg(packed(2040)));
    twExec(b, QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 4 UNION ALL SELECT i + 4 FROM n WHERE i < %1) "
                  "INSERT INTO splits (identifier, transactionIdentifier, description, "
                  "accountIdentifier, total, unit) SELECT 10000 + 2 * i, i, 'L' || (i % 30), 100, "
                  "i, 'USD' FROM n UNION ALL SELECT 10001 + 2 * i, i, NULL, 101, -i, 'EUR' FROM n;")
                  .arg(kRows));
    twExec(b, QStringLiteral(
                  "WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 3 FROM n WHERE i < %1) "
                  "INSERT INTO transactionTags SELECT i, %2, i % 5 + 1 FROM n UNION ALL "
                  "SELECT i, %3, 4 FROM n WHERE i % 9 = 0 UNION ALL SELECT i, %2, 9 FROM n;")
                  .arg(kRows)
                  .arg(f.tags->identifier())
                  .arg(f.labels->identifier()));
    ASSERT_OK(b.loadTransactions());
    ASSERT_EQ(b.transactions().size(), kRows);

    const auto day = [](int year) { return twDay(year, 3, 5); };
    for (int i = 1; i <= kRows; ++i) {
        SCOPED_TRACE(i);
        const TWTransactionPtr t = b.transactions().at(i - 1);
        ASSERT_EQ(t->identifier(), i);
        // Texts.
        if (i >= 1500 && i <= 1502) {
            EXPECT_EQ(t->payee(),
                      QString(QStringLiteral("xy")).repeated(350000) + QString::number(i));
        } else {
            switch (i % 6) {
            case 0:
                EXPECT_TRUE(t->payee().isNull());
                break;
            case 1:
                EXPECT_FALSE(t->payee().isNull());
                EXPECT_TRUE(t->payee().isEmpty());
                break;
            case 2:
                EXPECT_EQ(t->payee(), QString::fromUtf8("a\0b", 3));
                break;
            case 3:
                EXPECT_EQ(t->payee(), QString::fromUtf8("\xff"
                                                        "a",
                                                        2));
                break;
            default:
                EXPECT_EQ(t->payee(), QStringLiteral("Payee %1").arg(i % 40));
            }
        }
        EXPECT_EQ(t->description(), QStringLiteral("Entry %1").arg(i) +
                                        QStringLiteral("abcdefghijklmnopq").left(i % 17));
        EXPECT_EQ(t->notes().isNull(), i % 5 > 1);
        EXPECT_EQ(t->notes(), i % 5 == 1 ? QStringLiteral("n") : QString());
        // The day and its day value.
        const QDateTime date = i % 3 == 0 ? day(2008) : i % 3 == 1 ? day(2024) : QDateTime();
        EXPECT_EQ(t->date(), date);
        EXPECT_EQ(t->dayValue(), TWDateAdditions::dateValue(date));
        // Values: the text and the date columns, then the tags fields.
        const TWFieldValuePtr text = t->fieldValueWithIdentifier(f.text->identifier());
        EXPECT_EQ(text ? text->text() : QString(),
                  i % 7 == 0 ? QString() : QStringLiteral("T%1").arg(i % 90));
        const TWFieldValuePtr due = t->fieldValueWithIdentifier(f.date->identifier());
        ASSERT_TRUE(due);
        EXPECT_EQ(due->date(), i % 2 == 0 ? day(2040) : day(2008));
        const TWFieldValuePtr tags = t->fieldValueWithIdentifier(f.tags->identifier());
        const TWFieldValuePtr labels = t->fieldValueWithIdentifier(f.labels->identifier());
        if (i % 3 == 0) {
            ASSERT_TRUE(tags);
            EXPECT_EQ(tags->tagItemIdentifiers(), QList<qint32>({i % 5 + 1, 9}));
        } else {
            EXPECT_FALSE(tags);
        }
        if (i % 9 == 0) {
            ASSERT_TRUE(labels);
            EXPECT_EQ(labels->tagItemIdentifiers(), QList<qint32>({4}));
        } else {
            EXPECT_FALSE(labels);
        }
        // Lines, in identifier order.
        if (i % 4 == 0) {
            ASSERT_EQ(t->splits().size(), 2);
            EXPECT_EQ(t->splits().at(0)->identifier(), 10000 + 2 * i);
            EXPECT_EQ(t->splits().at(0)->description(), QStringLiteral("L%1").arg(i % 30));
            EXPECT_EQ(t->splits().at(0)->total(), i);
            EXPECT_EQ(t->splits().at(1)->identifier(), 10001 + 2 * i);
            EXPECT_TRUE(t->splits().at(1)->description().isNull());
            EXPECT_EQ(t->splits().at(1)->unit(), b.unitWithCode("EUR"));
        } else {
            EXPECT_TRUE(t->splits().isEmpty());
        }
    }
}

// Equal texts are remembered up to a bound; past it, every text is still
// read as stored, whether it was remembered or not.
TEST(TransactionsLoad, TextsPastTheSharingBoundReadBackAsStored)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const TWFieldPtr reference = twAddCustomField(b, "Reference", TWFieldTypeText);
    constexpr int kRows = 70000;
    twExec(b, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                             "WHERE i < %1) INSERT INTO transactions (identifier, payee, %2) "
                             "SELECT i, 'P' || (i % 69000), 'R' || i FROM n;")
                  .arg(kRows)
                  .arg(TWSchema::userColumnName(reference->identifier())));
    ASSERT_OK(b.loadTransactions());
    ASSERT_EQ(b.transactions().size(), kRows);
    for (int i = 1; i <= kRows; ++i) {
        const TWTransaction &t = *b.transactions().at(i - 1);
        ASSERT_EQ(t.payee(), QStringLiteral("P%1").arg(i % 69000)) << i;
        const TWFieldValuePtr value = t.fieldValueWithIdentifier(reference->identifier());
        ASSERT_TRUE(value) << i;
        ASSERT_EQ(value->text(), QStringLiteral("R%1").arg(i)) << i;
    }
}

// Lines are read as they lie in their table when that is their order by
// transaction and identifier; a stored number that is no integer (which
// SQLite orders after every integer) keeps them in SQLite's order.
TEST(TransactionsLoad, LinesGoToTheirTransactionInTheOrderSQLiteGivesThem)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    twExec(b, "INSERT INTO transactions (identifier, total, split) VALUES (2, 1, 1), (3, 1, 1), "
              "(5, 1, 1), (6, 1, 0);");
    const auto lines = [&b](qint32 identifier) {
        QList<qint32> result;
        for (const TWSplitPtr &split : b.transactionWithIdentifier(identifier)->splits())
            result.append(split->identifier());
        return result;
    };
    // In table order: read as they lie.
    twExec(b, "INSERT INTO splits (identifier, transactionIdentifier, accountIdentifier, total, "
              "unit) VALUES (20, 5, 100, 1, 'USD'), (21, 5, 101, -1, 'USD'), "
              "(22, 6, 100, 1, 'USD');");
    ASSERT_OK(b.loadTransactions());
    EXPECT_EQ(lines(5), QList<qint32>({20, 21}));
    EXPECT_TRUE(lines(6).isEmpty()); // not split
    // A text whose number is 2 lies between the lines of 2 and 3; SQLite
    // orders it after both, where it belongs to no transaction.
    twExec(b, "DELETE FROM splits;");
    twExec(b, "INSERT INTO splits (identifier, transactionIdentifier, accountIdentifier, total, "
              "unit) VALUES (10, 2, 100, 1, 'USD'), (11, '2x', 100, 1, 'USD'), "
              "(12, 3, 101, -1, 'USD');");
    ASSERT_OK(b.loadTransactions());
    EXPECT_EQ(lines(2), QList<qint32>({10}));
    EXPECT_EQ(lines(3), QList<qint32>({12}));
    EXPECT_TRUE(lines(5).isEmpty());
}

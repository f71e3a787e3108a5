#include "model/TWRepeat.h"
#include "model/TWTransaction.h"

#include "TWTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

TWUnitPtr currency(const char *code)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), 1.0, 2, QDateTime(), false, TWUnitTypeCurrency);
}

// A deposit of 100.00 into account 10 taken from 20 (-60.00) and 30 (-40.00).
TWTransactionPtr splitTransaction()
{
    const TWUnitPtr usd = currency("USD");
    const TWSplitList splits{
        TWSplit::splitWithIdentifier(201, QStringLiteral("in"), 10, 10000, 10000, 10000, 0, 0, usd),
        TWSplit::splitWithIdentifier(202, QStringLiteral("a"), 20, -6000, -6000, -6000, 0, 0, usd),
        TWSplit::splitWithIdentifier(203, QStringLiteral("b"), 20, -4000, -4000, -4000, 0, 0, usd)};
    return TWTransaction::transactionWithIdentifier(
        150, 0, 0, QStringLiteral("Shop"), QString(), 0, 0, twLocal(2024, 3, 1), 0, 0, 0, 0, 0, 0,
        usd, false, 0, {}, false, QString(), true, splits, QDateTime(), QDateTime());
}

TWFieldPtr customField(qint32 identifier, std::uint32_t type)
{
    return TWField::fieldWithName(QStringLiteral("F%1").arg(identifier), type, false, false,
                                  identifier);
}

} // namespace

TEST(Transaction, SplitRowsPerLineCarryTheLinesSignedAmount)
{
    const TWTransactionPtr stored = splitTransaction();

    // One register row per line of account 20, and the row of account 10.
    const TWTransactionPtr a = stored->transactionForActiveAccount(20, 202);
    const TWTransactionPtr b = stored->transactionForActiveAccount(20, 203);
    const TWTransactionPtr in = stored->transactionForActiveAccount(10, 201);
    EXPECT_EQ(a->activeAccountTotal(), -6000);
    EXPECT_EQ(b->activeAccountTotal(), -4000);
    EXPECT_EQ(in->activeAccountTotal(), 10000);
    // With no account at all, the first line's account.
    EXPECT_EQ(stored->balanceAccountIdentifier(), 10);
    EXPECT_EQ(stored->activeAccountTotal(), 10000);

    // The rows are distinct rows; the stored transaction is each of them.
    EXPECT_FALSE(a->isEqual(*b));
    EXPECT_TRUE(stored->isEqual(*a));
    EXPECT_TRUE(a->isEqual(*stored->transactionForActiveAccount(20, 0)));

    // A row is a copy: a balance or an edited line stays in the row.
    a->setBalance(-6000);
    a->splits()[1]->setTotalAccount(1);
    EXPECT_EQ(stored->balance(), 0);
    EXPECT_EQ(stored->splits()[1]->totalAccount(), -6000);
}

// Rows share the stored parts until asked for; what a row hands out is its own.
TEST(Transaction, RegisterRowsNeverChangeTheStoredTransaction)
{
    const TWTransactionPtr stored = splitTransaction();
    const TWFieldPtr text = customField(1, TWFieldTypeText);
    stored->fieldValueWithField(*text, true)->setText(QStringLiteral("stored"));

    // Without a line, the row counts every line of its account.
    const TWTransactionPtr row = stored->transactionForActiveAccount(20, 0);
    EXPECT_EQ(row->activeAccountTotal(), -10000);

    row->fieldValueWithField(*text, false)->setText(QStringLiteral("edited"));
    row->splits().first()->setTotal(1);
    row->setSplits({});
    EXPECT_EQ(stored->fieldValueWithIdentifier(1)->text(), QStringLiteral("stored"));
    ASSERT_EQ(stored->splits().size(), 3);
    EXPECT_EQ(stored->splits().first()->total(), 10000);

    // Another row made after the edit of the first still sees the stored parts.
    const TWTransactionPtr other = stored->transactionForActiveAccount(10, 0);
    EXPECT_EQ(other->fieldValueWithIdentifier(1)->text(), QStringLiteral("stored"));
    EXPECT_NE(other->fieldValueWithIdentifier(1), stored->fieldValueWithIdentifier(1));
    EXPECT_NE(other->splits().first(), stored->splits().first());
    const TWTransactionPtr copied = stored->transactionForActiveAccount(10, 0)->copy();
    EXPECT_NE(copied->splits().first(), stored->splits().first());
}

// Lines, notes, odometer readings and attachments live apart from the rest of
// a transaction; copies, rows and repeats must carry them exactly as before,
// and no notes must stay apart from empty notes.
TEST(Transaction, PartsKeptApartCopyAndReadAsTheOthers)
{
    TWTransaction plain;
    EXPECT_TRUE(plain.notes().isNull());
    EXPECT_TRUE(plain.splits().isEmpty());
    EXPECT_FALSE(plain.attachments());
    EXPECT_EQ(plain.totalStart(), 0);
    plain.setNotes(QStringLiteral(""));
    EXPECT_FALSE(plain.notes().isNull());
    EXPECT_TRUE(plain.notes().isEmpty());
    // Empty notes stay empty, not none, once other parts move apart.
    plain.setTotalEnd(5);
    EXPECT_FALSE(plain.notes().isNull());
    EXPECT_TRUE(TWTransaction(plain).notes().isEmpty() && !TWTransaction(plain).notes().isNull());
    plain.setNotes(QString());
    EXPECT_TRUE(plain.notes().isNull());
    EXPECT_TRUE(TWTransaction(plain).notes().isNull());

    const TWTransactionPtr stored = splitTransaction();
    stored->setNotes(QStringLiteral("kept"));
    stored->setTotalStart(1200);
    stored->setTotalEnd(1350);
    stored->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        QStringLiteral("a.pdf"), QStringLiteral("/tmp/a.pdf"), QStringLiteral("application/pdf"), 0,
        0, 0.0, QString(), 0, 0, 10, 7)});
    const TWTransactionPtr copy = stored->copy();
    EXPECT_EQ(copy->notes(), QStringLiteral("kept"));
    EXPECT_EQ(copy->totalStart(), 1200);
    EXPECT_EQ(copy->totalEnd(), 1350);
    ASSERT_EQ(copy->splits().size(), 3);
    ASSERT_TRUE(copy->attachments());
    EXPECT_NE(copy->splits().first(), stored->splits().first());
    EXPECT_NE(copy->attachments()->first(), stored->attachments()->first());
    copy->setNotes(QStringLiteral("changed"));
    copy->setTotalStart(0);
    copy->setSplits({});
    EXPECT_EQ(stored->notes(), QStringLiteral("kept"));
    EXPECT_EQ(stored->totalStart(), 1200);
    EXPECT_EQ(stored->splits().size(), 3);

    // A register row reads them, and its own changes stay in the row.
    const TWTransactionPtr row = stored->transactionForActiveAccount(20, 0);
    EXPECT_EQ(row->notes(), QStringLiteral("kept"));
    EXPECT_EQ(row->totalEnd(), 1350);
    row->setTotalEnd(1);
    row->attachments()->first()->setFileName(QStringLiteral("b.pdf"));
    EXPECT_EQ(stored->totalEnd(), 1350);
    EXPECT_EQ(stored->attachments()->first()->fileName(), QStringLiteral("a.pdf"));

    // A repeat takes the notes, readings and new copies of the lines.
    const TWTransactionPtr next =
        stored->repeatTransactionWithDate(twLocal(2024, 4, 1), 151, false);
    EXPECT_EQ(next->notes(), QStringLiteral("kept"));
    EXPECT_EQ(next->totalStart(), 1200);
    ASSERT_EQ(next->splits().size(), 3);
    EXPECT_EQ(next->splits().first()->identifier(), 0);
    EXPECT_FALSE(next->attachments());
}

// Values are found by walking the list: the first value of a field wins, and
// a value given another field is found under its new one.
TEST(Transaction, FieldValuesAreFoundByTheirCurrentField)
{
    TWTransaction t;
    const TWFieldValuePtr first = TWFieldValue::fieldValueWithIdentifier(4, TWFieldTypeText);
    const TWFieldValuePtr second = TWFieldValue::fieldValueWithIdentifier(4, TWFieldTypeText);
    t.setFieldValues({first, second});
    EXPECT_EQ(t.fieldValueWithIdentifier(4), first);
    first->setIdentifier(9);
    EXPECT_EQ(t.fieldValueWithIdentifier(4), second);
    EXPECT_EQ(t.fieldValueWithIdentifier(9), first);
    t.removeFieldValueWithIdentifier(4);
    EXPECT_FALSE(t.fieldValueWithIdentifier(4));
    EXPECT_EQ(t.fieldValueWithField(*customField(9, TWFieldTypeText), true), first);
    EXPECT_EQ(t.fieldValues().size(), 1);
}

// A document's creation and modification moments are turned into local time
// only when asked for; they must read exactly as converting them at once did,
// also around the changes to and from daylight saving (this suite runs again
// in New York).
TEST(DatesOfTransactions, StoredMomentsReadAsTheLocalTimesOfAConversionAtOnce)
{
    const double moments[] = {
        1710053999.0,   1710054000.0, 1710055800.5, // 2024-03-10, around 2:00 in New York
        1730611800.0,   1730613599.0, 1730613600.0, 1730615400.25, // 2024-11-03, 1:30 twice
        1700000000.123, -315619200.0, 1.0,          253402290000.0};
    for (const double seconds : moments) {
        SCOPED_TRACE(seconds);
        const QDateTime atOnce =
            QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)));
        TWTransaction transaction;
        transaction.setStoredDates(seconds, seconds + 3600.0);
        // Copies and register rows made before the first read convert on their own.
        const TWTransactionPtr copied = transaction.copy();
        const TWTransactionPtr row = transaction.transactionForActiveAccount(0, 0);
        for (const TWTransaction *read : {&transaction, copied.get(), row.get()}) {
            EXPECT_EQ(read->dateCreated(), atOnce);
            EXPECT_EQ(read->dateCreated().timeSpec(), Qt::LocalTime);
            EXPECT_EQ(read->dateCreated().offsetFromUtc(), atOnce.offsetFromUtc());
            EXPECT_EQ(read->dateCreated().toString(Qt::ISODateWithMs),
                      atOnce.toString(Qt::ISODateWithMs));
            EXPECT_EQ(read->dateModified(), atOnce.addSecs(3600));
            EXPECT_EQ(read->dateModified().toString(Qt::ISODateWithMs),
                      atOnce.addSecs(3600).toString(Qt::ISODateWithMs));
        }
    }

    // What is no moment reads as no date.
    for (const double damaged : {0.0, std::nan(""), HUGE_VAL, 253402300800.0, -1e15}) {
        TWTransaction transaction;
        transaction.setStoredDates(damaged, damaged);
        EXPECT_FALSE(transaction.dateCreated().isValid());
        EXPECT_FALSE(transaction.dateModified().isValid());
    }

    // A date set later is kept as given, in its own time spec, whether or not
    // the stored one was ever read.
    TWTransaction transaction;
    transaction.setStoredDates(1710054000.0, 1710054000.0);
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(1000, Qt::UTC);
    transaction.setDateCreated(utc);
    EXPECT_EQ(transaction.dateModified(), QDateTime::fromMSecsSinceEpoch(1710054000000));
    transaction.setDateModified(utc);
    EXPECT_EQ(transaction.dateCreated().timeSpec(), Qt::UTC);
    EXPECT_EQ(transaction.dateModified().timeSpec(), Qt::UTC);
    EXPECT_EQ(transaction.dateCreated(), utc);
}

// A transaction's values read together lie in one block. Adding or removing
// a value later, copying the transaction or making a register row of it must
// leave every pointer handed out before naming the transaction's own value.
TEST(TransactionValues, PointersStayTheTransactionsThroughAddsRemovesAndCopies)
{
    TWTransaction t;
    TWFieldValuePtr block = TWFieldValue::fieldValueBlock(3);
    for (int i = 0; i < 3; ++i) {
        block.get()[i] = TWFieldValue(10 + i, TWFieldTypeText);
        block.get()[i].setText(QStringLiteral("v%1").arg(i));
    }
    t.setFieldValues(block, 3);
    block.reset();
    EXPECT_TRUE(t.hasFieldValues());
    const TWFieldValuePtr first = t.fieldValueWithIdentifier(10);
    const TWFieldValuePtr third = t.fieldValueWithIdentifier(12);
    ASSERT_TRUE(first && third);
    first->setText(QStringLiteral("changed"));
    EXPECT_EQ(t.fieldValueWithIdentifier(10)->text(), QStringLiteral("changed"));

    const TWFieldPtr number =
        TWField::fieldWithName(QStringLiteral("n"), TWFieldTypeNumber, false, false, 20);
    const TWFieldValuePtr added = t.fieldValueWithField(*number, true);
    ASSERT_TRUE(added);
    added->setNumber(4);
    t.removeFieldValueWithIdentifier(11);
    first->setText(QStringLiteral("after"));
    third->setText(QStringLiteral("later"));
    QList<qint32> identifiers;
    for (const TWFieldValuePtr &value : t.fieldValues())
        identifiers.append(value->identifier());
    EXPECT_EQ(identifiers, QList<qint32>({10, 12, 20}));
    EXPECT_EQ(t.fieldValueWithIdentifier(10)->text(), QStringLiteral("after"));
    EXPECT_EQ(t.fieldValueWithIdentifier(12)->text(), QStringLiteral("later"));
    EXPECT_EQ(t.fieldValueWithIdentifier(20)->number(), 4.0);
    EXPECT_FALSE(t.fieldValueWithIdentifier(11));

    // Copies are deep, and so are the copies of copies.
    const TWTransactionPtr copy = t.copy();
    copy->fieldValueWithIdentifier(10)->setText(QStringLiteral("copy"));
    const TWTransactionPtr copyOfCopy = copy->copy();
    copyOfCopy->fieldValueWithIdentifier(12)->setText(QStringLiteral("again"));
    EXPECT_EQ(t.fieldValueWithIdentifier(10)->text(), QStringLiteral("after"));
    EXPECT_EQ(copy->fieldValueWithIdentifier(12)->text(), QStringLiteral("later"));
    EXPECT_EQ(copyOfCopy->fieldValueWithIdentifier(10)->text(), QStringLiteral("copy"));
    EXPECT_EQ(copy->fieldValues().size(), 3);

    // A register row copies the values it is asked for.
    const TWTransactionPtr row = copy->transactionForActiveAccount(0, 0);
    row->fieldValueWithIdentifier(12)->setText(QStringLiteral("row"));
    EXPECT_EQ(copy->fieldValueWithIdentifier(12)->text(), QStringLiteral("later"));

    // Setting a list replaces them all.
    t.setFieldValues(TWFieldValueList());
    EXPECT_FALSE(t.hasFieldValues());
    EXPECT_TRUE(t.fieldValues().isEmpty());
    EXPECT_EQ(first->text(), QStringLiteral("after")); // still alive, no longer the transaction's
}

TEST(TransactionValues, MoreValuesThanABlockHoldsAreKeptAsAList)
{
    constexpr std::size_t count = 70000;
    TWFieldValuePtr block = TWFieldValue::fieldValueBlock(count);
    for (std::size_t i = 0; i < count; ++i)
        block.get()[i] = TWFieldValue(qint32(i + 1), TWFieldTypeCheckbox);
    block.get()[count - 1].setCheckboxValue(true);
    TWTransaction t;
    t.setFieldValues(block, count);
    EXPECT_EQ(t.fieldValues().size(), qsizetype(count));
    const TWTransactionPtr copy = t.copy();
    EXPECT_EQ(copy->fieldValues().size(), qsizetype(count));
    EXPECT_TRUE(copy->fieldValueWithIdentifier(qint32(count))->checkboxValue());
    copy->fieldValueWithIdentifier(qint32(count))->setCheckboxValue(false);
    EXPECT_TRUE(t.fieldValueWithIdentifier(qint32(count))->checkboxValue());
}

// Type and state are kept small; values no version writes must still read
// back as they were stored and copy with the transaction.
TEST(Transaction, TypesAndStatesBeyondTheKnownOnesKeepTheirValue)
{
    TWTransaction t;
    t.setType(300);
    t.setState(0xFFFFFFFFu);
    EXPECT_EQ(t.type(), 300u);
    EXPECT_EQ(t.state(), 0xFFFFFFFFu);
    EXPECT_TRUE(t.canEdit());
    const TWTransactionPtr copy = t.copy();
    const TWTransactionPtr row = t.transactionForActiveAccount(0, 0);
    EXPECT_EQ(copy->type(), 300u);
    EXPECT_EQ(row->state(), 0xFFFFFFFFu);
    copy->setType(TWTransactionTypeNominal);
    copy->setState(255);
    EXPECT_EQ(copy->type(), std::uint32_t(TWTransactionTypeNominal));
    EXPECT_EQ(copy->state(), 255u);
    copy->setState(254);
    EXPECT_EQ(copy->state(), 254u);
    EXPECT_EQ(t.type(), 300u);
    t.setState(TWTransactionStateLocked);
    EXPECT_FALSE(t.canEdit());

    // A row of a line carries that line; the stored transaction and rows
    // made from the row for the whole account do not.
    const TWTransactionPtr split = splitTransaction();
    const TWTransactionPtr line = split->transactionForActiveAccount(20, 202);
    EXPECT_EQ(line->activeSplitIdentifier(), 202);
    EXPECT_EQ(split->activeSplitIdentifier(), 0);
    EXPECT_EQ(line->transactionForActiveAccount(20, 0)->activeSplitIdentifier(), 0);
    EXPECT_EQ(line->copy()->activeSplitIdentifier(), 202);
}

#include "TWRepeat.h"
#include "TWTransaction.h"

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

TWTransactionPtr plain(qint32 identifier, const QDateTime &date)
{
    return TWTransaction::transactionWithIdentifier(
        identifier, 0, 0, QString(), QString(), 100, 101, date, 500, 500, 500, 500, 0, 0,
        currency("USD"), false, 0, {}, false, QString(), false, {}, QDateTime(), QDateTime());
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

TEST(Transaction, PlainRowsAreSignedFromTheirAccountsSide)
{
    const TWTransactionPtr stored = plain(120, twLocal(2024, 1, 1));
    stored->setTotalAccount1(700);
    stored->setTotalAccount2(300);

    const TWTransactionPtr into = stored->transactionForActiveAccount(100, 0);
    const TWTransactionPtr outOf = stored->transactionForActiveAccount(101, 0);
    EXPECT_EQ(into->activeAccountTotal(), 700);
    EXPECT_EQ(outOf->activeAccountTotal(), -300);
    EXPECT_TRUE(outOf->swapDebitCredit());
    EXPECT_FALSE(into->isEqual(*outOf));
}

TEST(Transaction, OrderIsByDayThenIdentifier)
{
    const TWTransactionPtr late = plain(101, twLocal(2024, 5, 2));
    const TWTransactionPtr morningHigh = plain(300, twLocal(2024, 5, 1, 8));
    const TWTransactionPtr eveningLow = plain(200, twLocal(2024, 5, 1, 22));
    const TWTransactionPtr undated = plain(400, QDateTime());

    // Same day: identifier decides, whatever the time of day (dates are
    // stored as days, so the order must not change when the file is reopened).
    EXPECT_LT(eveningLow->compare(*morningHigh), 0);
    EXPECT_GT(late->compare(*morningHigh), 0);
    // A missing date is compared, not dereferenced, and sorts first.
    EXPECT_LT(undated->compare(*late), 0);
    EXPECT_EQ(undated->compare(*plain(400, QDateTime())), 0);

    TWTransactionList list{late, nullptr, morningHigh, undated, eveningLow};
    TWTransaction::sortTransactions(list);
    EXPECT_EQ(list, (TWTransactionList{undated, eveningLow, morningHigh, late, nullptr}));

    // Rows of one transaction compare equal and keep the order they came in.
    const TWTransactionPtr to = late->transactionForActiveAccount(100, 0);
    const TWTransactionPtr from = late->transactionForActiveAccount(101, 0);
    TWTransactionList rows{from, eveningLow, to, nullptr, undated};
    TWTransaction::sortTransactions(rows);
    EXPECT_EQ(rows, (TWTransactionList{undated, eveningLow, from, to, nullptr}));
    rows = {to, from};
    TWTransaction::sortTransactions(rows);
    EXPECT_EQ(rows, (TWTransactionList{to, from}));
}

TEST(Transaction, EditingRules)
{
    const TWTransactionPtr normal = plain(1, twLocal(2024, 1, 1));
    const TWTransactionPtr locked = plain(2, twLocal(2024, 1, 1));
    locked->setState(TWTransactionStateLocked);
    EXPECT_FALSE(locked->canEdit());

    bool repeat = true, closedLocked = false, isNormal = false;
    TWTransaction::validateEditTransactions({locked, normal}, &repeat, &closedLocked, &isNormal);
    EXPECT_TRUE(!repeat && closedLocked && isNormal);

    normal->setRepeatIdentifier(7);
    TWTransaction::validateEditTransactions({normal}, &repeat, nullptr, &isNormal);
    EXPECT_TRUE(repeat);
    TWTransaction::validateEditTransactions({}, &repeat, &closedLocked, &isNormal);
    EXPECT_FALSE(repeat || closedLocked || isNormal);
}

TEST(Transaction, NewTransactionDefaults)
{
    TWFixedClock clock(2024, 6, 15);
    TWFieldPtr list = customField(3, TWFieldTypeList);
    list->setListItems({TWFieldListItem::fieldListItemWithName(QStringLiteral("Red"), 7),
                        TWFieldListItem::fieldListItemWithName(QStringLiteral("Blue"), 8)});
    const TWFieldPtr emptyList = customField(4, TWFieldTypeList);

    TWNewTransactionDefaults defaults;
    defaults.identifier = 512;
    defaults.useLastDateUnit = true; // but nothing remembered yet
    defaults.homeUnit = currency("CAD");
    defaults.userFields = {list, emptyList, customField(5, TWFieldTypeText)};
    TWTransactionPtr fresh = TWTransaction::transactionWithDefaults(defaults);
    EXPECT_EQ(fresh->date(), clock.now());
    EXPECT_EQ(fresh->unit()->code(), QStringLiteral("CAD"));
    ASSERT_EQ(fresh->fieldValues().size(), 1);
    EXPECT_EQ(fresh->fieldValueWithIdentifier(3)->listItemIdentifier(), 7);

    defaults.lastDate = twLocal(2023, 2, 1);
    defaults.lastUnit = currency("EUR");
    fresh = TWTransaction::transactionWithDefaults(defaults);
    EXPECT_EQ(fresh->date(), twLocal(2023, 2, 1));
    EXPECT_EQ(fresh->unit()->code(), QStringLiteral("EUR"));
    defaults.useLastDateUnit = false;
    fresh = TWTransaction::transactionWithDefaults(defaults);
    EXPECT_EQ(fresh->date(), clock.now());
}

TEST(Transaction, RepeatOccurrenceAddsNewLines)
{
    TWFixedClock clock(2024, 4, 2, 9);
    TWTransactionPtr source = splitTransaction();
    source->setRepeatIdentifier(30);
    source->setHasAttachments(true);
    source->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        QStringLiteral("a.txt"), QStringLiteral("/x/a.txt"), QString(), 0, 0, 0, QString(), 0, 0,
        1, 5)});
    TWFieldValuePtr note = source->fieldValueWithField(*customField(1, TWFieldTypeText), true);
    note->setText(QStringLiteral("rent"));

    const TWTransactionPtr next = source->repeatTransactionWithDate(twLocal(2024, 4, 1), 900, true);
    EXPECT_EQ(next->state(), std::uint32_t(TWTransactionStateClosed));
    EXPECT_EQ(next->repeatIdentifier(), 30);
    EXPECT_EQ(next->dateCreated(), clock.now());
    EXPECT_FALSE(next->hasAttachments());
    EXPECT_EQ(TWRepeatItem(next).date(), twLocal(2024, 4, 1));

    // The occurrence's lines are new lines; the source keeps its own rows.
    ASSERT_TRUE(next->hasSplit());
    ASSERT_EQ(next->splits().size(), 3);
    for (const TWSplitPtr &split : next->splits())
        EXPECT_EQ(split->identifier(), 0);
    EXPECT_EQ(next->splits()[1]->totalAccount(), -6000);
    EXPECT_EQ(source->splits()[0]->identifier(), 201);
    next->fieldValueWithIdentifier(1)->setText(QStringLiteral("changed"));
    EXPECT_EQ(note->text(), QStringLiteral("rent"));
}

TEST(Transaction, LaterOccurrenceTakesEditedFields)
{
    const TWFieldPtr text = customField(1, TWFieldTypeText);
    const TWFieldPtr due = customField(2, TWFieldTypeDate);
    const TWFieldPtr flag = customField(3, TWFieldTypeCheckbox);

    TWTransactionPtr source = splitTransaction();
    source->setPayee(QStringLiteral("Landlord"));
    source->fieldValueWithField(*text, true)->setText(QStringLiteral("new"));
    source->fieldValueWithField(*due, true)->setDate(twLocal(2024, 3, 5));

    TWTransactionPtr item = plain(170, twLocal(2024, 4, 1));
    item->setRepeatIdentifier(30);
    item->setSplits({TWSplit::splitWithIdentifier(301)});
    item->fieldValueWithField(*due, true)->setDate(twLocal(2024, 4, 5));
    item->fieldValueWithField(*flag, true)->setCheckboxValue(true);

    item->copyRepeatFields(*source, {text, due, flag});
    EXPECT_EQ(item->date(), twLocal(2024, 4, 1));
    EXPECT_EQ(item->payee(), QStringLiteral("Landlord"));
    ASSERT_EQ(item->splits().size(), 3);
    EXPECT_EQ(item->splits()[0]->identifier(), 0);
    EXPECT_EQ(source->splits()[0]->identifier(), 201);

    // The check box is gone because the source has none.
    ASSERT_EQ(item->fieldValues().size(), 2);
    EXPECT_EQ(item->fieldValueWithIdentifier(1)->text(), QStringLiteral("new"));
    EXPECT_NE(item->fieldValueWithIdentifier(1), source->fieldValueWithIdentifier(1));
    EXPECT_EQ(item->fieldValueWithIdentifier(2)->date(), twLocal(2024, 4, 5));
    EXPECT_EQ(item->fieldValueWithIdentifier(3), nullptr);
}

TEST(Transaction, FieldValuesByFieldIdentifier)
{
    TWTransaction transaction;
    const TWFieldPtr amount = customField(4, TWFieldTypeCurrency);
    EXPECT_EQ(transaction.fieldValueWithField(*amount, false), nullptr);
    const TWFieldValuePtr created = transaction.fieldValueWithField(*amount, true);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(transaction.fieldValueWithField(*amount, true), created);

    // A value moved to another field is found under its new identifier.
    created->setIdentifier(6);
    EXPECT_EQ(transaction.fieldValueWithIdentifier(4), nullptr);
    EXPECT_EQ(transaction.fieldValueWithIdentifier(6), created);

    // A replaced list is indexed anew; a copy has values of its own.
    TWFieldValuePtr other = TWFieldValue::fieldValueWithIdentifier(9, TWFieldTypeText);
    transaction.setFieldValues({other});
    EXPECT_EQ(transaction.fieldValueWithIdentifier(6), nullptr);
    const TWTransactionPtr copy = transaction.copy();
    ASSERT_NE(copy->fieldValueWithIdentifier(9), nullptr);
    EXPECT_NE(copy->fieldValueWithIdentifier(9), other);
    transaction.removeFieldValueWithIdentifier(9);
    EXPECT_TRUE(transaction.fieldValues().isEmpty());
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

// A document's creation and modification moments are turned into local time
// only when asked for; they must read exactly as converting them at once did,
// also around the changes to and from daylight saving (this suite runs again
// in New York).
TEST(DatesOfTransactions, StoredMomentsReadAsTheLocalTimesOfAConversionAtOnce)
{
    const double moments[] = {
        1710053999.0, 1710054000.0, 1710055800.5, // 2024-03-10, around 2:00 in New York
        1730611800.0, 1730613599.0, 1730613600.0, 1730615400.25, // 2024-11-03, 1:30 twice
        1700000000.123, -315619200.0, 1.0, 253402290000.0};
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

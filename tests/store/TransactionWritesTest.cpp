// Writing transactions: round trips through a package, atomic failures, bulk
// deletes and notifications, last-used values and year-end rebuild requests.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "TWTransactionTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include "model/TWBuiltInFields.h"
#include "model/TWRepeat.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sqlite3.h>

class TWTransactionWritesTestPeer
{
public:
    static std::uint64_t rebuilds(const TWBusiness &b) { return b.m_transactionRebuildRequests; }
};

namespace
{

qint64 count(TWBusiness &b, const QString &sql)
{
    return twQueryInt(b, sql).value_or(-1);
}

// The stored fields, lines and custom values (text, currency, tags) as text.
QString describe(const TWTransaction &t, const QList<TWFieldPtr> &fields)
{
    QStringList parts{t.payee(),
                      t.description(),
                      t.date().toString(Qt::ISODate),
                      t.unit()->code(),
                      QString::number(t.hasAttachments()),
                      t.dateCreated().toString(Qt::ISODateWithMs)};
    for (const TWSplitPtr &split : t.splits())
        parts.append(QStringLiteral("%1@%2").arg(split->total()).arg(split->accountIdentifier()));
    for (const TWFieldPtr &field : fields) {
        const TWFieldValuePtr v = t.fieldValueWithIdentifier(field->identifier());
        parts.append(!v ? QStringLiteral("-")
                        : v->text() + QString::number(v->currency()) +
                              QString::number(v->tagItemIdentifiers().size()));
    }
    return parts.join(u'|');
}

TWTransactionPtr view(const TWNotification &notification)
{
    return notification.userInfo.value(TWTransactionNotificationKey).value<TWTransactionPtr>();
}

} // namespace

TEST(TransactionWrites, AddUpdateDeleteRoundTripThroughThePackage)
{
    TWFixedClock clock(2024, 5, 10, 9, 30, 0);
    TWTestTempDir dir;
    std::unique_ptr<TWBusiness> business = twNewBusiness();
    ASSERT_TRUE(business);
    const TWFieldPtr text = twAddCustomField(*business, "Reference", TWFieldTypeText);
    const TWFieldPtr amount = twAddCustomField(*business, "Deposit", TWFieldTypeCurrency);
    const TWFieldPtr tags = twAddCustomField(*business, "Tags", TWFieldTypeTags);
    for (const char *name : {"red", "blue"})
        ASSERT_OK(business->addFieldTagItem(
            TWFieldTagItem::fieldTagItemWithName(QLatin1String(name), 0), tags, false));
    const QList<TWFieldPtr> fields{text, amount, tags};
    const QUrl url = twPackageURL(dir, QStringLiteral("Books"));
    const auto saveAndReopen = [&] {
        EXPECT_OK(business->writeToURL(url, business->url().isEmpty() ? TWSaveOperationSaveAs
                                                                      : TWSaveOperationSave));
        business = twOpenPackage(url);
        return business != nullptr;
    };

    TWBusiness *b = business.get();
    TWTransactionPtr t =
        twMakeTransaction(*b, b->nextTransactionIdentifier(), twDay(2024, 5, 2), 0, 0, 0);
    t->setPayee(QStringLiteral("Hardware Store"));
    t->setHasSplit(true);
    t->setSplits({twMakeSplit(*b, 0, 100, 3000), twMakeSplit(*b, 0, 101, -1000),
                  twMakeSplit(*b, 0, 102, -2000)});
    t->fieldValueWithField(*text, true)->setText(QStringLiteral("PO 'seven'"));
    t->fieldValueWithField(*amount, true)->setCurrency(12345);
    t->fieldValueWithField(*tags, true)->setTagItemIdentifiers({1, 2});
    const QString source = dir.filePath(QStringLiteral("receipt.pdf"));
    ASSERT_TRUE(twWriteBytes(source, "PDF bytes"));
    ASSERT_TRUE(t->addAttachmentFile(source, TWAttachmentTypeFile, QString(), -1));
    TWNotificationRecorder recorder(b);
    ASSERT_OK(b->addTransaction(t, false, false, true, true));
    EXPECT_EQ(recorder.names().filter(QStringLiteral("transaction")),
              QStringList{QStringLiteral("transactionNew")});
    EXPECT_EQ(t->dateCreated(), twLocal(2024, 5, 10, 9, 30, 0));
    EXPECT_TRUE(b->matchValue(QStringLiteral("PO 'seven'"), text->identifier()));

    // Saved as a package, the attachment file is copied into it.
    ASSERT_TRUE(saveAndReopen());
    b = business.get();
    const QString copied = QDir(twPackageFile(url, QStringLiteral("Attachments")))
                               .filePath(TWBusiness::attachmentFileName(
                                   t->attachments()->first()->identifier(), "receipt.pdf"));
    EXPECT_EQ(twFileBytes(copied), "PDF bytes");
    EXPECT_EQ(describe(*b->transactionWithIdentifier(t->identifier()), fields),
              describe(*t, fields));
    // A copy whose attachments were never loaded leaves them stored.
    ASSERT_OK(b->updateTransaction(b->transactionWithIdentifier(t->identifier())->copy(), false,
                                   false, false, false));
    EXPECT_EQ(count(*b, "SELECT COUNT(*) FROM attachments;"), 1);
    TWTransactionPtr loaded = b->transactionWithIdentifier(t->identifier());
    ASSERT_TRUE(twLoadedAttachments(*loaded, *b));
    EXPECT_EQ(loaded->attachments()->value(0)->filePath(), copied);

    // The listed object updated in place: a line, a value and the attachment
    // gone (its file goes at the next save).
    loaded->setDescription(QStringLiteral("Shelves"));
    TWSplitList lines = loaded->splits();
    lines[0]->setTotal(2000);
    lines.removeLast();
    loaded->setSplits(lines);
    loaded->removeFieldValueWithIdentifier(amount->identifier());
    loaded->setAttachments(TWAttachmentList());
    loaded->setHasAttachments(false);
    ASSERT_OK(b->updateTransaction(loaded, false, false, false, true));
    const QString expected = describe(*loaded, fields);
    ASSERT_TRUE(saveAndReopen());
    b = business.get();
    EXPECT_FALSE(QFileInfo::exists(copied));
    TWTransactionPtr updated = b->transactionWithIdentifier(t->identifier());
    ASSERT_TRUE(updated);
    EXPECT_EQ(describe(*updated, fields), expected);

    // Deleted: nothing kept for it is left.
    ASSERT_OK(b->deleteTransaction(updated, false, false, true));
    EXPECT_EQ(updated->identifier(), 0);
    ASSERT_TRUE(saveAndReopen());
    EXPECT_TRUE(business->transactions().isEmpty());
    for (const char *table : {"transactions", "splits", "transactionTags", "attachments"})
        EXPECT_EQ(count(*business, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table)), 0)
            << table;
}

TEST(TransactionWrites, AFailureHalfWayLeavesNothingBehind)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const char *trigger =
        "CREATE TRIGGER t BEFORE INSERT ON splits BEGIN SELECT RAISE(ABORT,'x'); END;";
    twExec(b, trigger);
    TWTransactionPtr t = twMakeTransaction(b, 100, twDay(2024, 1, 5), 0, 0, 0);
    t->setPayee(QStringLiteral("Never"));
    t->setHasSplit(true);
    t->setSplits({twMakeSplit(b, 0, kChecking, 10), twMakeSplit(b, 0, kSales, -10)});
    TWNotificationRecorder recorder(&b);
    EXPECT_TRUE(b.addTransaction(t, true, true, true, true));
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions;"), 0);
    EXPECT_TRUE(b.transactions().isEmpty());
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(b.matchValue(QStringLiteral("Never"), TWFieldIdentifierPayee));
    EXPECT_NE(b.lastAccount1Identifier(), kChecking);
    EXPECT_FALSE(t->dateCreated().isValid());

    // An update failing at its new line leaves the row and the list alone.
    twExec(b, "DROP TRIGGER t;");
    ASSERT_OK(b.addTransaction(t, false, false, false, false));
    twExec(b, trigger);
    TWTransactionPtr copy = t->copy();
    copy->setPayee(QStringLiteral("Changed"));
    copy->setSplits(copy->splits() + TWSplitList{twMakeSplit(b, 0, kRent, 0)});
    EXPECT_TRUE(b.updateTransaction(copy, false, false, false, true));
    EXPECT_EQ(twQueryText(b, "SELECT payee FROM transactions;"), QStringLiteral("Never"));
    EXPECT_EQ(b.transactions(), TWTransactionList{t});
    EXPECT_TRUE(recorder.names().isEmpty());

    // Another object takes the listed one's place; one never stored is refused.
    twExec(b, "DROP TRIGGER t;");
    ASSERT_OK(b.updateTransaction(copy, false, false, false, false));
    EXPECT_EQ(b.transactions(), TWTransactionList{copy});
    const TWErrorResult error =
        b.updateTransaction(twMakeTransaction(b, 999, twDay(2024, 1, 5), kChecking, kSales, 1),
                            false, false, false, true);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), SQLITE_NOTFOUND);
    EXPECT_EQ(b.transactions(), TWTransactionList{copy});
}

TEST(TransactionWrites, DeletingAnAccountFindsSplitTransactionsByTheirLines)
{
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    TWTransactionPtr plain = twMakeTransaction(b, 100, twDay(2024, 1, 5), kChecking, kSales, 1);
    // Reaches Sales only through its third line.
    TWTransactionPtr split = twMakeTransaction(b, 101, twDay(2024, 1, 6), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({twMakeSplit(b, 0, kChecking, 5), twMakeSplit(b, 0, kCard, -3),
                      twMakeSplit(b, 0, kSales, -2)});
    // Names Sales in its own columns from before it was split, in no line.
    TWTransactionPtr stale = twMakeTransaction(b, 102, twDay(2024, 1, 7), kSales, kSales, 0);
    stale->setHasSplit(true);
    stale->setSplits({twMakeSplit(b, 0, kChecking, 4), twMakeSplit(b, 0, kCard, -4)});
    for (const TWTransactionPtr &t : {plain, split, stale})
        ASSERT_OK(b.addTransaction(t, false, false, false, false));

    TWNotificationRecorder recorder(&b);
    ASSERT_OK(b.deleteAccount(b.accountWithIdentifier(kSales), true));
    EXPECT_EQ(b.transactions(), TWTransactionList{stale});
    EXPECT_EQ(count(b, "SELECT SUM(identifier) FROM transactions;"), 102);
    EXPECT_EQ(recorder.names(),
              (QStringList{QStringLiteral("transactionDelete"), QStringLiteral("accountDelete")}));
    EXPECT_EQ(split->identifier(), 101); // the bulk deletes leave identifiers alone
}

TEST(TransactionWrites, CopiesOfOneTransactionAreDeletedOnceAndRebuildOnce)
{
    TWFixedClock clock(2024, 6, 1);
    auto business = twMakeLedger();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    b.businessInfo()->setAccountingPeriods({TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("2024"), twDay(2024, 1, 1), twDay(2024, 12, 31), false, 100)});
    const auto rebuilds = [&] { return TWTransactionWritesTestPeer::rebuilds(b); };

    // The period's first day does not count as before it; the day before does.
    TWTransactionPtr t = twMakeTransaction(b, 100, twDay(2024, 1, 1), kChecking, kSales, 1);
    ASSERT_OK(b.addTransaction(t, false, true, false, false));
    EXPECT_EQ(rebuilds(), 0u);
    TWTransactionPtr old = twMakeTransaction(b, 101, twDay(2023, 12, 31), kChecking, kRent, 2);
    ASSERT_OK(b.addTransaction(old, false, true, false, false));
    EXPECT_EQ(rebuilds(), 1u);
    // The listed object moved out of the past period in place: the stored
    // day still asks for the rebuild.
    old->setDate(twDay(2024, 2, 1));
    ASSERT_OK(b.updateTransaction(old, false, true, false, false));
    EXPECT_EQ(rebuilds(), 2u);
    old->setDate(twDay(2023, 11, 1));
    ASSERT_OK(b.updateTransaction(old, false, true, false, false));

    // A register of several accounts shows each transaction twice.
    const TWAccountList accounts{b.accountWithIdentifier(kChecking),
                                 b.accountWithIdentifier(kSales), b.accountWithIdentifier(kRent)};
    const TWTransactionList views = b.transactionsForAccounts(accounts);
    ASSERT_EQ(views.size(), 4);
    TWNotificationRecorder recorder(&b);
    ASSERT_OK(b.deleteTransactions(views, false, true, true));
    EXPECT_EQ(count(b, "SELECT COUNT(*) FROM transactions;"), 0);
    EXPECT_EQ(recorder.names(), QStringList{QStringLiteral("transactionDelete")});
    EXPECT_FALSE(view(recorder.notifications()[0]));
    EXPECT_EQ(rebuilds(), 4u);
    for (const TWTransactionPtr &deleted : views)
        EXPECT_EQ(deleted->identifier(), 0);

    // One at a time, the second copy finds nothing left to delete.
    ASSERT_OK(b.addTransaction(t, false, false, false, false));
    const TWTransactionList copies = b.transactionsForAccounts(accounts);
    recorder.clear();
    ASSERT_OK(b.deleteTransaction(copies[0], false, false, true));
    ASSERT_OK(b.deleteTransaction(copies[1], false, false, true));
    ASSERT_EQ(recorder.names(), QStringList{QStringLiteral("transactionDelete")});
    EXPECT_EQ(view(recorder.notifications()[0]), copies[0]);
}

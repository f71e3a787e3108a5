// What the register does to its rows on a real business: batch writes with
// one rebuild and one pair of notifications, deleting a repeat's items,
// duplicating with links, cell check boxes and the closed-and-locked rule.

#include "RegisterTestSupport.h"

#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBuiltInFields.h"
#include "model/TWRelationship.h"
#include "model/TWSplit.h"

#include "TWStoreTestSupport.h"

#include <functional>

namespace
{

void openAccountRegister(TWTransactionsController &c, RegisterBooks &books,
                         const TWAccountPtr &account)
{
    c.setBusiness(books.business.get());
    c.setParentItems({account});
    c.setAccounts({account});
    c.setMode(TWRegisterMode::Accounts);
    c.view();
    c.update();
}

qsizetype count(const QStringList &names, const char *name)
{
    return names.count(QLatin1String(name));
}

} // namespace

TEST(RegisterActions, DeletingTwoEarlyTransactionsRebuildsOnceAndPostsOnePair)
{
    TWFixedClock clock(2024, 6, 1);
    RegisterBooks books;
    TWBusiness &b = *books.business;
    const TWAccountPtr equity = books.account("Retained", 17);
    TWBusinessInfoPtr info = b.businessInfo()->copy();
    info->setNominalTransferAccountIdentifier(equity->identifier());
    ASSERT_OK(b.updateBusinessInfo(info));
    for (int year : {2023, 2024})
        ASSERT_OK(b.addAccountingPeriod(
            TWAccountingPeriod::accountingPeriodWithName(
                QString::number(year), QDateTime(QDate(year, 1, 1), QTime()),
                QDateTime(QDate(year, 12, 31), QTime()), false, b.nextAccountingPeriodIdentifier()),
            false));
    ASSERT_OK(b.loadAccountingPeriods());
    const TWTransactionPtr first = books.add(QDate(2023, 3, 1), books.checking, books.sales, 100);
    const TWTransactionPtr second = books.add(QDate(2023, 4, 1), books.checking, books.sales, 200);
    books.add(QDate(2023, 5, 1), books.checking, books.sales, 300);
    ASSERT_OK(b.updateNominalTransferTransactions());
    ASSERT_TRUE(b.transactionBeforeActiveAccountingPeriod(*first));

    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    TWNotificationRecorder recorder(&b);
    c.deleteTransactions(
        {c.transactionAtRow(c.transactionRow(first)), c.transactionAtRow(c.transactionRow(second))},
        false);
    const QStringList names = recorder.names();
    // One rebuild (its transfers made once), then the one bulk pair.
    EXPECT_EQ(count(names, "transactionNew"), 1) << names.join(",");
    ASSERT_GE(names.size(), 2);
    EXPECT_EQ(names.mid(names.size() - 2), (QStringList{"transactionDelete", "valueNew"}));
    EXPECT_EQ(b.transactionWithIdentifier(first->identifier()), nullptr);
    EXPECT_EQ(b.transactionWithIdentifier(second->identifier()), nullptr);
    // The year-end transfer now closes only what is left.
    qint64 closing = 0;
    for (const TWTransactionPtr &t : b.transactions())
        if (t->type() == 1)
            closing += t->total();
    EXPECT_EQ(std::abs(closing), 300);
}

TEST(RegisterActions, DeleteRelatedRemovesARepeatsItemsUnlessOneIsClosed)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    alerts.answer = 1002;
    const TWRepeatPtr open = books.repeat();
    const TWTransactionPtr a =
        books.add(QDate(2024, 1, 1), books.checking, books.rent, 1, "a", open->identifier());
    books.add(QDate(2024, 2, 1), books.checking, books.rent, 1, "b", open->identifier());
    const TWRepeatPtr guarded = books.repeat();
    const TWTransactionPtr c1 =
        books.add(QDate(2024, 1, 1), books.savings, books.rent, 1, "c", guarded->identifier());
    const TWTransactionPtr c2 =
        books.add(QDate(2024, 2, 1), books.savings, books.rent, 1, "d", guarded->identifier());
    c2->setState(1);
    ASSERT_OK(b.updateTransactionState(c2, false));

    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    c.selectTransactions({a});
    c.deleteSelectedTransaction(false);
    ASSERT_EQ(alerts.messages.size(), 1);
    EXPECT_EQ(alerts.buttons.first().size(), 3);
    for (const TWTransactionPtr &t : b.transactions())
        EXPECT_NE(t->repeatIdentifier(), open->identifier());

    openAccountRegister(c, books, books.savings);
    c.selectTransactions({c1});
    c.deleteSelectedTransaction(false);
    EXPECT_EQ(b.transactionWithIdentifier(c1->identifier()), nullptr);
    EXPECT_NE(b.transactionWithIdentifier(c2->identifier()), nullptr);

    // Cancel (1001) writes nothing.
    alerts.answer = 1001;
    const qsizetype before = b.transactions().size();
    openAccountRegister(c, books, books.savings);
    c.selectTransactions({c2});
    c.tableView()->selectAll();
    c.deleteSelectedTransaction(false);
    EXPECT_EQ(b.transactions().size(), before);
}

TEST(RegisterActions, DeleteOnlyThisOnTheLatestOccurrenceMovesTheRepeatPastIt)
{
    TWFixedClock clock(2024, 3, 15);
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    alerts.answer = 1000; // Delete Only This
    const TWRepeatPtr monthly =
        TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(monthly, false));
    books.add(QDate(2024, 1, 10), books.checking, books.rent, 500, "Rent", monthly->identifier());
    ASSERT_OK(b.updateRepeatItemsForRepeat(monthly, false, false));
    ASSERT_EQ(b.itemsWithRepeatIdentifier(monthly->identifier()).size(), 3);
    const qint32 bank = books.checking->identifier(), rent = books.rent->identifier();
    EXPECT_EQ(twAccountSumsFromRows(b), (QHash<qint32, qint64>{{bank, 1500}, {rent, -1500}}));

    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    const TWTransactionPtr march =
        b.latestItemWithRepeatIdentifier(monthly->identifier()).record<TWTransaction>();
    ASSERT_TRUE(march);
    c.selectTransactions({march});
    c.deleteSelectedTransaction(false);
    ASSERT_EQ(alerts.messages.size(), 1);
    // Gone, and not made again by this refresh or a later one.
    ASSERT_OK(b.updateRepeatItems(false, false));
    const TWRepeatItemList items = b.itemsWithRepeatIdentifier(monthly->identifier());
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items.last().date().date(), QDate(2024, 2, 10));
    EXPECT_EQ(twAccountSumsFromRows(b), (QHash<qint32, qint64>{{bank, 1000}, {rent, -1000}}));

    // The repeat goes on after the day it moved past.
    TWFixedClock april(2024, 4, 15);
    ASSERT_OK(b.updateRepeatItems(false, false));
    EXPECT_EQ(b.latestItemWithRepeatIdentifier(monthly->identifier()).date().date(),
              QDate(2024, 4, 10));
    EXPECT_EQ(twAccountSumsFromRows(b), (QHash<qint32, qint64>{{bank, 1500}, {rent, -1500}}));
}

TEST(RegisterActions, ADuplicatedPaymentHasItsOwnLinkNewLinesAndNoRepeat)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    const TWRepeatPtr repeat = books.repeat();
    auto t = std::make_shared<TWTransaction>();
    t->setIdentifier(b.nextTransactionIdentifier());
    t->setDate(QDateTime(QDate(2024, 1, 1), QTime()));
    t->setUnit(b.unitWithCode("USD"));
    t->setAccount1Identifier(books.checking->identifier());
    t->setAccount2Identifier(books.sales->identifier());
    t->setHasSplit(true);
    t->setSplits({TWSplit::splitWithIdentifier(0, "fee", books.checking->identifier(), 500, 500,
                                               500, 0, 0, b.unitWithCode("USD")),
                  TWSplit::splitWithIdentifier(0, "sale", books.sales->identifier(), -500, -500,
                                               -500, 0, 0, b.unitWithCode("USD"))});
    t->setTotal(500);
    t->setRepeatIdentifier(repeat->identifier());
    ASSERT_OK(b.addTransaction(t, false, false, false, false));
    ASSERT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                    0, 0, 7, 8, t->identifier(), 0, b.nextRelationshipIdentifier()),
                                false));
    const TWRelationshipPtr original = b.relationshipsWithTransaction(*t, 0).first();

    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    TWNotificationRecorder recorder(&b);
    c.duplicateTransactions({c.transactionAtRow(0)});
    const TWTransactionPtr copy = b.transactions().last();
    ASSERT_NE(copy->identifier(), t->identifier());
    EXPECT_EQ(copy->repeatIdentifier(), 0);
    EXPECT_FALSE(copy->hasAttachments());
    ASSERT_EQ(copy->splits().size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_NE(copy->splits()[i]->identifier(), 0);
        EXPECT_NE(copy->splits()[i]->identifier(), t->splits()[i]->identifier());
    }
    const TWRelationshipList links = b.relationshipsWithTransaction(*copy, 0);
    ASSERT_EQ(links.size(), 1);
    EXPECT_NE(links.first()->identifier(), original->identifier());
    EXPECT_EQ(links.first()->childIdentifier(), 8);
    EXPECT_EQ(b.relationshipsWithTransaction(*t, 0).size(), 1);
    const QStringList names = recorder.names();
    EXPECT_EQ(names.mid(names.size() - 2), (QStringList{"transactionNew", "valueNew"}));
}

TEST(RegisterActions, AClearedBoxWritesAndClosedRowsAreLeftAlone)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    const TWTransactionPtr open = books.add(QDate(2024, 1, 1), books.checking, books.sales, 1);
    const TWTransactionPtr locked = books.add(QDate(2024, 1, 2), books.checking, books.sales, 1);
    locked->setState(2);
    ASSERT_OK(b.updateTransactionState(locked, false));

    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    const int cleared = c.fieldColumn(b.fieldWithIdentifier(TWFieldIdentifierCleared));
    ASSERT_GE(cleared, 0);
    const int openRow = c.transactionRow(open);
    const int lockedRow = c.transactionRow(locked);
    EXPECT_FALSE(c.model()->flags(c.model()->index(lockedRow, cleared)) & Qt::ItemIsUserCheckable);
    TWNotificationRecorder recorder(&b);
    ASSERT_TRUE(
        c.model()->setData(c.model()->index(openRow, cleared), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(b.transactionWithIdentifier(open->identifier())->cleared());
    EXPECT_TRUE(recorder.names().contains("transactionUpdate"));
    // A locked row's box is refused.
    EXPECT_FALSE(
        c.model()->setData(c.model()->index(lockedRow, cleared), Qt::Checked, Qt::CheckStateRole));

    // Marking only locked rows: one alert, nothing written.
    openAccountRegister(c, books, books.checking);
    recorder.clear();
    c.selectTransactions({locked});
    c.markSelectedTransaction(true, false);
    ASSERT_EQ(alerts.messages.size(), 1);
    EXPECT_EQ(alerts.buttons.first().size(), 1);
    EXPECT_TRUE(recorder.names().isEmpty());
    // Mixed: the action's own question; going on skips the locked one.
    openAccountRegister(c, books, books.checking);
    c.tableView()->selectAll();
    c.markSelectedTransaction(false, false);
    ASSERT_EQ(alerts.messages.size(), 2);
    EXPECT_EQ(alerts.buttons.last().size(), 2);
    EXPECT_FALSE(b.transactionWithIdentifier(open->identifier())->cleared());
    EXPECT_FALSE(b.transactionWithIdentifier(locked->identifier())->cleared());
    EXPECT_EQ(recorder.names().mid(recorder.names().size() - 2),
              (QStringList{"transactionUpdate", "valueNew"}));
}

TEST(RegisterActions, ARefusedMarkLeavesTheRowAsStored)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    const TWTransactionPtr open = books.add(QDate(2024, 1, 1), books.checking, books.sales, 1);
    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    c.selectTransactions({open});
    // The database refuses every change of a transaction row.
    twExec(b, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON transactions "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    c.markSelectedTransaction(true, false);
    twExec(b, QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_FALSE(b.transactionWithIdentifier(open->identifier())->cleared());
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT cleared FROM transactions WHERE identifier = %1")
                                .arg(open->identifier())),
              0);
}

TEST(RegisterActions, ARefusedBoxOrConversionLeavesTheRowAsStored)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    const TWTransactionPtr open = books.add(QDate(2024, 1, 1), books.checking, books.sales, 100);
    // An account-1 amount out of step with the total: a conversion would change it.
    open->setTotalAccount1(999);
    ASSERT_OK(b.updateTransaction(open, false, false, false, false));
    TWTransactionsController c;
    openAccountRegister(c, books, books.checking);
    const int row = c.transactionRow(open);
    ASSERT_GE(row, 0);
    const int cleared = c.fieldColumn(b.fieldWithIdentifier(TWFieldIdentifierCleared));
    ASSERT_GE(cleared, 0);

    twExec(b, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON transactions "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    // The cleared box: the write is refused, so the box must not stay ticked.
    c.model()->setData(c.model()->index(row, cleared), Qt::Checked, Qt::CheckStateRole);
    EXPECT_FALSE(c.transactionAtRow(row)->cleared());
    EXPECT_EQ(c.model()->data(c.model()->index(row, cleared), Qt::CheckStateRole).toInt(),
              int(Qt::Unchecked));
    // Converted totals: the row keeps the stored amounts.
    c.selectTransactions({open});
    c.updateSelectedConvertedTotals(false);
    twExec(b, QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_EQ(c.transactionAtRow(row)->totalAccount1(), 999);
    EXPECT_EQ(b.transactionWithIdentifier(open->identifier())->totalAccount1(), 999);
    EXPECT_EQ(twQueryInt(b, QStringLiteral("SELECT cleared FROM transactions WHERE identifier = %1")
                                .arg(open->identifier())),
              0);
}

TEST(RegisterActions, TheDeleteKeyDeletesExistingRowsButNeverFromThePreview)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    const TWTransactionPtr stored = books.add(QDate(2024, 1, 1), books.checking, books.sales, 1);
    // A previewed row that happens to carry a stored transaction's identifier.
    const TWTransactionPtr preview = stored->copy();
    preview->setPayee(QStringLiteral("imported"));
    for (TWRegisterMode mode : {TWRegisterMode::ImportPreview, TWRegisterMode::AllTransactions}) {
        SCOPED_TRACE(int(mode));
        TWTransactionsController c;
        c.setBusiness(&b);
        if (mode == TWRegisterMode::ImportPreview)
            c.setTransactions({preview});
        c.setMode(mode);
        c.view();
        c.update();
        c.selectTransactions({stored});
        ASSERT_EQ(c.selectedTransactions().size(), 1);
        const bool existing = mode == TWRegisterMode::AllTransactions;
        // The preview's rows are not in the store: its Delete key does nothing.
        EXPECT_EQ(c.tableViewDelete(c.tableView()), existing);
        EXPECT_EQ(alerts.messages,
                  existing ? QStringList{TWLocalized("deleteTransactionMessage")} : QStringList());
        EXPECT_EQ(b.transactionWithIdentifier(stored->identifier()) == nullptr, existing);
    }
}

TEST(RegisterActions, OnlyClosedRowsAreSpokenOfAsOneOrSeveral)
{
    RegisterBooks books;
    TWBusiness &b = *books.business;
    RegisterAlerts alerts;
    TWTransactionList closed;
    for (int day : {1, 2}) {
        const TWTransactionPtr t = books.add(QDate(2024, 1, day), books.checking, books.sales, 1);
        t->setState(1);
        ASSERT_OK(b.updateTransactionState(t, false));
        closed.append(t);
    }
    using C = TWTransactionsController;
    const struct {
        std::function<void(C &)> action;
        const char *one, *several;
    } cases[] = {
        {[](C &c) { c.deleteSelectedTransaction(false); }, "lockedClosedTransactionDelete",
         "lockedClosedTransactionsDeleteAll"},
        {[](C &c) { c.duplicateSelectedTransaction(false); }, "lockedClosedTransaction",
         "lockedClosedTransactions"},
        {[](C &c) { c.markSelectedTransaction(false, false); }, "lockedClosedTransaction",
         "lockedClosedTransactions"},
        {[](C &c) { c.updateSelectedConvertedTotals(false); }, "lockedClosedTransaction",
         "lockedClosedTransactions"},
    };
    for (const auto &test : cases) {
        for (const qsizetype rows : {1, 2}) {
            TWTransactionsController c;
            openAccountRegister(c, books, books.checking);
            alerts.messages.clear();
            c.selectTransactions(closed.mid(0, rows));
            test.action(c);
            EXPECT_EQ(alerts.messages,
                      QStringList{TWLocalized(rows == 1 ? test.one : test.several)});
            EXPECT_EQ(b.transactions().size(), 2);
        }
    }
}

// The register on a real business: modes, date range and balance, search
// narrowing, selection of rows listed twice, columns and the import preview.

#include "RegisterTestSupport.h"

#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"
#include "model/TWGroup.h"
#include "model/TWPreferences.h"
#include "model/TWSplit.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>

namespace
{

QList<qint32> ids(const TWTransactionList &list)
{
    QList<qint32> result;
    for (const TWTransactionPtr &t : list)
        result.append(t->identifier());
    return result;
}

struct Register {
    TWTransactionsController controller;
    explicit Register(TWBusiness &business, TWRegisterMode mode, const TWAccountList &accounts = {})
    {
        controller.setBusiness(&business);
        TWItemList items;
        for (const TWAccountPtr &account : accounts)
            items.append(account);
        controller.setParentItems(items);
        controller.setAccounts(accounts);
        controller.setMode(mode);
        controller.view()->resize(900, 400);
        controller.update();
    }
};

} // namespace

TEST(RegisterController, DateRangeHidesEarlyRowsButKeepsTheirBalance)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 5), books.checking, books.sales, 1000);
    books.add(QDate(2024, 2, 5), books.checking, books.sales, 250);
    const TWTransactionPtr march = books.add(QDate(2024, 3, 5), books.rent, books.checking, 100);
    books.business->setTransactionRangeType(11);
    books.business->setTransactionRangeFromDate(QDateTime(QDate(2024, 3, 5), QTime(18, 0)));
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking});
    ASSERT_EQ(ids(reg.controller.transactions()), QList<qint32>{march->identifier()});
    EXPECT_EQ(reg.controller.transactions().first()->balance(), 1150);
    // The running balance is in the shown cells too.
    const int balance = reg.controller.fieldColumn(books.business->fieldWithIdentifier(-13));
    ASSERT_GE(balance, 0);
    EXPECT_TRUE(reg.controller.model()->index(0, balance).data().toString().contains("11.50"));

    // Range type 0 applies no bounds; modes 4-7 ignore the range.
    books.business->setTransactionRangeType(0);
    reg.controller.updateTransactions();
    EXPECT_EQ(reg.controller.transactions().size(), 3);
    books.business->setTransactionRangeType(11);
    Register all(*books.business, TWRegisterMode::AllTransactions);
    EXPECT_EQ(all.controller.transactions().size(), 3);
    Register bills(*books.business, TWRegisterMode::BillPayments);
    EXPECT_TRUE(bills.controller.transactions().isEmpty());
}

TEST(RegisterController, SearchNarrowsWhileTypingAndRestartsOtherwise)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 1), books.checking, books.sales, 1, "abacus");
    books.add(QDate(2024, 1, 2), books.checking, books.sales, 1, "acorn");
    books.add(QDate(2024, 1, 3), books.checking, books.sales, 1, "abbey");
    books.add(QDate(2024, 1, 4), books.checking, books.sales, 1, "zebra");
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking});
    TWTransactionsController &c = reg.controller;
    c.search("a");
    EXPECT_EQ(c.sortedTransactions().size(), 3);
    // Narrowing works on the shown rows: a row added to the loaded list behind
    // the register's back stays out while the text grows.
    TWTransactionList loaded = c.transactions();
    auto abyss = std::make_shared<TWTransaction>();
    abyss->setIdentifier(99);
    abyss->setPayee("abyss");
    loaded.append(abyss);
    c.setTransactions(loaded);
    c.search("ab");
    EXPECT_EQ(c.sortedTransactions().size(), 2);
    EXPECT_EQ(c.searchString(), "ab");
    c.search("ac");
    EXPECT_EQ(c.sortedTransactions().size(), 1);
    // A text that does not extend the last one starts from the whole list.
    c.search("ab");
    EXPECT_EQ(c.sortedTransactions().size(), 3);
    c.setTransactions(loaded.mid(0, 4));
    c.search("  ");
    EXPECT_TRUE(c.searchString().isNull());
    EXPECT_EQ(c.sortedTransactions().size(), 4);
    // The count and total line reads the loaded list, not the found rows.
    c.search("zeb");
    EXPECT_EQ(c.transactions().size(), 4);
    EXPECT_EQ(c.model()->rowCount(), 1);
}

TEST(RegisterController, ATransferListedTwiceSelectsItsFirstRow)
{
    RegisterBooks books;
    const TWTransactionPtr other = books.add(QDate(2024, 1, 1), books.checking, books.sales, 7);
    const TWTransactionPtr transfer =
        books.add(QDate(2024, 1, 2), books.savings, books.checking, 5);
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking, books.savings});
    TWTransactionsController &c = reg.controller;
    ASSERT_EQ(c.sortedTransactions().size(), 3);
    QList<int> rows;
    for (int row = 0; row < 3; ++row)
        if (c.transactionAtRow(row)->identifier() == transfer->identifier())
            rows.append(row);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(c.rowIndexesForTransactions({c.transactionAtRow(rows[1])}), QList<int>{rows[0]});
    // Clicking the second copy selects the first.
    c.tableView()->selectRow(rows[1]);
    EXPECT_EQ(c.selectedRows(), QList<int>{rows[0]});
    EXPECT_EQ(c.tableView()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(c.tableView()->selectionModel()->selectedRows().first().row(), rows[0]);
    EXPECT_TRUE(c.hasSelectedTransaction(false, true, false, false));
    EXPECT_FALSE(c.hasSelectedTransaction(false, false, true, false));
    // Selecting every row: each transaction once.
    c.tableView()->selectAll();
    EXPECT_EQ(c.selectedTransactions().size(), 2);
    c.selectTransactions({other});
    EXPECT_EQ(ids(c.selectedTransactions()), QList<qint32>{other->identifier()});
    c.clearSelection();
    EXPECT_FALSE(c.hasSelectedTransaction());
}

TEST(RegisterController, ImportPreviewTicksStayOffTheStore)
{
    RegisterBooks books;
    auto preview = std::make_shared<TWTransaction>();
    preview->setIdentifier(1);
    preview->setPayee("imported");
    preview->setAccount1Identifier(books.checking->identifier());
    preview->setAccount2Identifier(books.sales->identifier());
    // A row of the file that matches a locked one takes no locked colour in the preview.
    preview->setState(TWTransactionStateLocked);
    TWTransactionsController c;
    c.setBusiness(books.business.get());
    c.setTransactions({preview});
    c.setImportSelectedTransactions({});
    c.setMode(TWRegisterMode::ImportPreview);
    c.view();
    c.update();
    int told = 0;
    c.importSelectedTransactionsChanged = [&told](TWTransactionsController *) { ++told; };
    const int tick = c.fieldColumn(books.business->fieldWithIdentifier(TWFieldIdentifierImport));
    ASSERT_GE(tick, 0);
    EXPECT_EQ(c.fieldColumn(books.business->fieldWithIdentifier(TWFieldIdentifierBalance)), -1);
    EXPECT_TRUE(c.headerMenu()->isEmpty());
    EXPECT_EQ(c.model()->index(0, tick).data(Qt::ForegroundRole).value<QColor>(),
              TWPreferences::preferences().transactionColour());
    preview->setState(TWTransactionStateNormal);
    TWNotificationRecorder recorder(books.business.get());
    ASSERT_TRUE(c.model()->setData(c.model()->index(0, tick), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(c.sortedImportTransactions(), TWTransactionList{preview});
    // Marking in the preview changes the row only.
    c.markTransactions({preview}, true);
    EXPECT_TRUE(preview->cleared());
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_TRUE(books.business->transactions().isEmpty());
}

TEST(RegisterController, AViewDeletedByItsWindowLeavesTheRegisterUsable)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 1), books.checking, books.sales, 7);
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking});
    delete reg.controller.view(); // the window closing first
    TWNotificationCenter::defaultCenter().postNotification(QStringLiteral("preferences"), nullptr);
    reg.controller.clearSelection();
    reg.controller.updateTransactions();
    reg.controller.update();
    ASSERT_TRUE(reg.controller.view());
    reg.controller.update();
    EXPECT_EQ(reg.controller.model()->rowCount(), 1);
    EXPECT_GT(reg.controller.model()->columnCount(), 0);
}

TEST(RegisterController, ReloadsKeepOneSortMenu)
{
    RegisterBooks books;
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking});
    reg.controller.update(); // the fixture updated once already
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(reg.controller.headerMenu()->findChildren<QMenu *>().size(), 1);
}

TEST(RegisterController, ANewLastRowSelectedRightAfterAReloadIsScrolledIntoView)
{
    RegisterBooks books;
    for (int day = 0; day < 60; ++day)
        books.add(QDate(2024, 1, 1).addDays(day), books.checking, books.sales, 1 + day);
    Register reg(*books.business, TWRegisterMode::Accounts, {books.checking});
    TWTransactionsController &c = reg.controller;
    c.view()->show();
    QCoreApplication::processEvents();
    c.tableView()->scrollToBottom();
    QCoreApplication::processEvents();

    const TWTransactionPtr added = books.add(QDate(2024, 12, 31), books.checking, books.sales, 999);
    c.updateTransactions();
    c.selectTransactions({added});
    const QModelIndex index = c.model()->index(c.selectedRows().value(0, -1), 0);
    ASSERT_TRUE(index.isValid());
    EXPECT_EQ(index.row(), c.model()->rowCount() - 1);
    EXPECT_TRUE(c.tableView()->viewport()->rect().contains(c.tableView()->visualRect(index)));
}

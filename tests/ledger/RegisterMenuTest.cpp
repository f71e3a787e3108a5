// The register's context menu decided without a window.

#include "ledger/TWRegisterMenu.h"

#include <gtest/gtest.h>

namespace
{

QStringList keys(const QList<TWRegisterMenuItem> &items)
{
    QStringList result;
    for (const TWRegisterMenuItem &item : items)
        result.append(item.isSeparator() ? QStringLiteral("-") : item.key);
    return result;
}

} // namespace

TEST(RegisterMenu, ContextRowsAreTheSelectionOnlyWhenTheClickLiesInIt)
{
    EXPECT_EQ(twRegisterContextRows(5, {1, 2, 3}), QList<int>{5});
    EXPECT_EQ(twRegisterContextRows(2, {1, 2, 3}), (QList<int>{1, 2, 3}));
    EXPECT_TRUE(twRegisterContextRows(-1, {1, 2}).isEmpty());
}

TEST(RegisterMenu, ItemsFollowModeAndRows)
{
    TWRegisterMenuInput input;
    input.mode = TWRegisterMode::Accounts;
    input.hasParentItems = true;
    input.selectedRows = {1, 2, 3};
    // Below the last row of an account register: only the new transaction.
    EXPECT_EQ(keys(twRegisterContextMenu(input)), QStringList{"newTransaction"});
    // An unselected row: singular titles for that row alone.
    input.clickedRow = 7;
    EXPECT_EQ(keys(twRegisterContextMenu(input)),
              (QStringList{"newTransaction", "editTransaction", "duplicateTransaction",
                           "deleteTransaction", "-", "addMultipleTransactions", "-",
                           "updateConvertedTotals", "-", "mark"}));
    // Inside a selection of three: plural titles, several-at-once editing.
    input.clickedRow = 2;
    EXPECT_EQ(keys(twRegisterContextMenu(input)),
              (QStringList{"newTransaction", "duplicateTransactions", "deleteTransactions", "-",
                           "addMultipleTransactions", "editMultipleTransactions", "-",
                           "updateConvertedTotals", "-", "mark"}));
    // A related single row offers the way there; the mark submenu has both tags.
    input.clickedRow = 7;
    input.contextRowRelated = true;
    const QList<TWRegisterMenuItem> related = twRegisterContextMenu(input);
    EXPECT_TRUE(keys(related).contains("showRelatedTransactions"));
    ASSERT_EQ(related.last().submenu.size(), 2);
    EXPECT_EQ(related.last().submenu[1].tag, 1);
    EXPECT_EQ(related.last().submenu[1].action, TWAction::doMarkTransactionContext);
}

TEST(RegisterMenu, EmbeddedRegistersOfferLess)
{
    TWRegisterMenuInput input;
    input.mode = TWRegisterMode::RepeatItems;
    // A repeat register below its rows: nothing at all.
    EXPECT_TRUE(twRegisterContextMenu(input).isEmpty());
    input.clickedRow = 0;
    EXPECT_FALSE(keys(twRegisterContextMenu(input)).contains("duplicateTransaction"));
    input.mode = TWRegisterMode::ImportPreview;
    EXPECT_EQ(keys(twRegisterContextMenu(input)), (QStringList{"editTransaction", "mark"}));
    // Invoice payments take a new payment only for one project's invoices.
    input = {};
    input.mode = TWRegisterMode::InvoicePayments;
    input.invoiceCount = 2;
    EXPECT_FALSE(twRegisterCanAddTransaction(input));
    input.invoicesShareProject = true;
    EXPECT_TRUE(twRegisterCanAddTransaction(input));
    input.mode = TWRegisterMode::Accounts;
    EXPECT_FALSE(twRegisterCanAddTransaction(input));
    input.mode = TWRegisterMode::Filters;
    EXPECT_TRUE(twRegisterCanAddTransaction(input));
}

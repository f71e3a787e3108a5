#include "ledger/TWRegisterMenu.h"

namespace
{

TWRegisterMenuItem item(const char *key, TWAction action, int tag = 0)
{
    return {QLatin1String(key), action, tag, {}};
}

TWRegisterMenuItem separator()
{
    return {};
}

} // namespace

QList<int> twRegisterContextRows(int clickedRow, const QList<int> &selectedRows)
{
    if (clickedRow < 0)
        return {};
    if (selectedRows.contains(clickedRow))
        return selectedRows;
    return {clickedRow};
}

bool twRegisterCanAddTransaction(const TWRegisterMenuInput &input)
{
    switch (input.mode) {
    case TWRegisterMode::Accounts:
        return input.hasParentItems;
    case TWRegisterMode::Filters:
        return true;
    case TWRegisterMode::InvoicePayments:
        return input.invoiceCount > 0 && input.invoicesShareProject;
    case TWRegisterMode::BillPayments:
        return input.billCount > 0 && input.billsShareMerchant;
    default:
        return false;
    }
}

QList<TWRegisterMenuItem> twRegisterContextMenu(const TWRegisterMenuInput &input)
{
    using A = TWAction;
    QList<TWRegisterMenuItem> items;
    if (twRegisterCanAddTransaction(input))
        items.append(item("newTransaction", A::doNewTransactionContext));
    if (input.clickedRow < 0)
        return items;
    const QList<int> rows = twRegisterContextRows(input.clickedRow, input.selectedRows);
    const bool single = rows.size() < 2;
    const TWRegisterMode mode = input.mode;
    if (single)
        items.append(item("editTransaction", A::doEditTransactionContext));
    if (mode != TWRegisterMode::RepeatItems && mode != TWRegisterMode::ImportPreview &&
        mode != TWRegisterMode::AllTransactions)
        items.append(item(single ? "duplicateTransaction" : "duplicateTransactions",
                          A::doDuplicateTransactionContext));
    if (mode != TWRegisterMode::ImportPreview && mode != TWRegisterMode::AllTransactions) {
        items.append(item(single ? "deleteTransaction" : "deleteTransactions",
                          A::doDeleteTransactionContext));
        items.append(separator());
        items.append(item("addMultipleTransactions", A::doAddMultipleTransactionsContext));
        if (!single)
            items.append(item("editMultipleTransactions", A::doEditMultipleTransactionsContext));
        items.append(separator());
        items.append(item("updateConvertedTotals", A::doUpdateConvertedTotalsContext));
        items.append(separator());
        if (rows.size() == 1 && input.contextRowRelated) {
            items.append(item("showRelatedTransactions", A::doShowRelatedTransactionsContext));
            items.append(separator());
        }
    }
    TWRegisterMenuItem mark = item("mark", A::count);
    mark.submenu = {item("asCleared", A::doMarkTransactionContext, 0),
                    item("asUncleared", A::doMarkTransactionContext, 1)};
    items.append(mark);
    return items;
}

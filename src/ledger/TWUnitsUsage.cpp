#include "ledger/TWUnitsUsage.h"

#include "store/TWBusiness.h"

namespace
{

bool same(const TWUnitPtr &a, const TWUnit &b)
{
    return a && a->isEqual(b);
}

} // namespace

TWUnitsUsage twUnitsUsage(const TWBusiness &business, const TWUnit &unit)
{
    TWUnitsUsage usage;
    for (const TWAccountPtr &account : business.accounts())
        if (account && same(account->unit(), unit))
            ++usage.accounts;
    for (const TWTransactionPtr &transaction : business.transactions()) {
        if (!transaction)
            continue;
        if (same(transaction->unit(), unit))
            ++usage.transactions;
        if (transaction->hasSplit())
            for (const TWSplitPtr &split : transaction->splits())
                if (split && same(split->unit(), unit))
                    ++usage.splits;
    }
    for (const TWProjectPtr &project : business.projects())
        if (project && same(project->unit(), unit))
            ++usage.projects;
    for (const TWBudgetItemPtr &item : business.budgetItems())
        if (item && same(item->unit(), unit))
            ++usage.budgetItems;
    return usage;
}

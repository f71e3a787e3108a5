// The figures behind the financial statements and the summary: balances by
// account at a date, totals of each kind of account over its own span with
// retained earnings, net income and cash, the same per report column, the
// balance-sheet figures, and the custom currency fields per account. Each is
// one pass over the transactions in memory, in the home unit.

#include "store/TWBusiness.h"

#include "store/TWLedgerEntries.h"

#include <algorithm>
#include <vector>

using TWLedgerEntries::AccountKind;
using TWLedgerEntries::add;
using TWLedgerEntries::negated;

namespace
{

// Assets and expenses grow with what is booked into them; liabilities,
// income and equity with what leaves them.
qint64 normalBalance(const AccountKind &kind, qint64 amount)
{
    return kind.group == TWAccountGroupTypeAsset || kind.group == TWAccountGroupTypeExpense
               ? amount
               : negated(amount);
}

bool isCash(const AccountKind &kind)
{
    return kind.type == TWAccountTypeBank || kind.type == TWAccountTypeCash;
}

bool isNominal(const TWTransaction &transaction)
{
    return transaction.type() == TWTransactionTypeNominal;
}

using DaySpan = TWLedgerEntries::DaySpan;

// Which account of a transaction its custom currency values are booked under:
// expenses first, then income, assets, liabilities, equity; unknown accounts
// last.
int bookingRank(const TWLedgerEntries::AccountKinds &kinds, qint32 account)
{
    const auto kind = kinds.constFind(account);
    if (kind == kinds.constEnd())
        return 0;
    switch (kind->group) {
    case TWAccountGroupTypeExpense:
        return 5;
    case TWAccountGroupTypeIncome:
        return 4;
    case TWAccountGroupTypeAsset:
        return 3;
    case TWAccountGroupTypeLiability:
        return 2;
    default:
        return 1;
    }
}

} // namespace

QHash<qint32, qint64> TWBusiness::transactionTotals(const QDateTime &date) const
{
    const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(m_accounts);
    const std::uint32_t limit = TWLedgerEntries::dayValue(date);
    QHash<qint32, qint64> totals;
    totals.reserve(kinds.size());
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction || (limit != 0 && transaction->dayValue() > limit))
            continue;
        TWLedgerEntries::forEachHomeEntry(*transaction, [&](qint32 account, qint64 amount) {
            const auto kind = kinds.constFind(account);
            if (kind != kinds.constEnd())
                add(totals[account], normalBalance(*kind, amount));
        });
    }
    return totals;
}

TWStatementTotals
TWBusiness::transactionTotalsWithAssets(const TWStatementTotalsRequest &request) const
{
    const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(m_accounts);
    const DaySpan assets(request.assets);
    const DaySpan liabilities(request.liabilities);
    const DaySpan equities(request.equities);
    const DaySpan income(request.income);
    const DaySpan expenses(request.expenses);
    const unsigned maps = request.accountMaps;

    TWStatementTotals result;
    qint64 assetSum = 0;
    qint64 liabilitySum = 0;
    qint64 equitySum = 0;
    qint64 netIncome = 0;
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction || isNominal(*transaction))
            continue;
        const std::uint32_t day = transaction->dayValue();
        TWLedgerEntries::forEachHomeEntry(*transaction, [&](qint32 account, qint64 amount) {
            const auto kind = kinds.constFind(account);
            if (kind == kinds.constEnd())
                return;
            const qint64 balance = normalBalance(*kind, amount);
            switch (kind->group) {
            case TWAccountGroupTypeAsset:
                if (assets.contains(day)) {
                    if (maps & TWStatementFigureAssets)
                        add(result.assets[account], balance);
                    add(assetSum, balance);
                }
                if (isCash(*kind)) {
                    if (assets.from != 0 && day < assets.from)
                        add(result.cashStart, amount);
                    if (assets.to == 0 || day <= assets.to)
                        add(result.cashEnd, amount);
                }
                break;
            case TWAccountGroupTypeLiability:
                if (liabilities.contains(day)) {
                    if (maps & TWStatementFigureLiabilities)
                        add(result.liabilities[account], balance);
                    add(liabilitySum, balance);
                }
                break;
            case TWAccountGroupTypeIncome:
                if (income.contains(day)) {
                    if (maps & TWStatementFigureIncome)
                        add(result.income[account], balance);
                    add(netIncome, balance);
                }
                break;
            case TWAccountGroupTypeExpense:
                if (expenses.contains(day)) {
                    if (maps & TWStatementFigureExpenses)
                        add(result.expenses[account], balance);
                    add(netIncome, negated(balance));
                }
                break;
            case TWAccountGroupTypeEquity:
                if (equities.contains(day)) {
                    if (maps & TWStatementFigureEquities)
                        add(result.equities[account], balance);
                    add(equitySum, balance);
                }
                break;
            }
        });
    }
    result.netIncome = netIncome;
    result.retainedEarnings = TWLedgerEntries::sum(
        TWLedgerEntries::sum(TWLedgerEntries::sum(assetSum, negated(liabilitySum)),
                             negated(equitySum)),
        negated(netIncome));
    return result;
}

TWColumnTotals TWBusiness::groupTransactionTotalsWithAssets(unsigned figures,
                                                            const QList<TWDateSpan> &columns) const
{
    // One stretch per day range between column bounds; see ColumnStretches.
    const TWLedgerEntries::ColumnStretches columnStretches(columns);
    const std::size_t stretches = columnStretches.count();
    std::vector<qint64> assets(stretches, 0);
    std::vector<qint64> liabilities(stretches, 0);
    std::vector<qint64> income(stretches, 0);
    std::vector<qint64> expenses(stretches, 0);
    std::vector<qint64> cashFlows(stretches, 0);
    if (!columns.isEmpty()) {
        const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(m_accounts);
        for (qsizetype at = 0; at < m_transactions.size(); ++at) {
            TWLedgerEntries::prefetchAhead(m_transactions, at);
            const TWTransactionPtr &transaction = m_transactions.at(at);
            if (!transaction || isNominal(*transaction))
                continue;
            const std::size_t stretch = columnStretches.stretchOfDay(transaction->dayValue());
            TWLedgerEntries::forEachHomeEntry(*transaction, [&](qint32 account, qint64 amount) {
                const auto kind = kinds.constFind(account);
                if (kind == kinds.constEnd())
                    return;
                switch (kind->group) {
                case TWAccountGroupTypeAsset:
                    add(assets[stretch], amount);
                    if (isCash(*kind))
                        add(cashFlows[stretch], amount);
                    break;
                case TWAccountGroupTypeLiability:
                    add(liabilities[stretch], negated(amount));
                    break;
                case TWAccountGroupTypeIncome:
                    add(income[stretch], negated(amount));
                    break;
                case TWAccountGroupTypeExpense:
                    add(expenses[stretch], amount);
                    break;
                default:
                    break;
                }
            });
        }
    }

    TWColumnTotals result;
    if (figures & TWStatementFigureAssets)
        result.assets = columnStretches.perColumn(assets);
    if (figures & TWStatementFigureLiabilities)
        result.liabilities = columnStretches.perColumn(liabilities);
    if (figures & TWStatementFigureIncome)
        result.income = columnStretches.perColumn(income);
    if (figures & TWStatementFigureExpenses)
        result.expenses = columnStretches.perColumn(expenses);
    if (figures & TWStatementFigureCashFlows)
        result.cashFlows = columnStretches.perColumn(cashFlows);
    if (figures & TWStatementFigureEquities) {
        const QList<qint64> assetTotals = columnStretches.perColumn(assets);
        const QList<qint64> liabilityTotals = columnStretches.perColumn(liabilities);
        result.equities.reserve(columns.size());
        for (qsizetype i = 0; i < assetTotals.size(); ++i)
            result.equities.append(
                TWLedgerEntries::sum(assetTotals.at(i), negated(liabilityTotals.at(i))));
    }
    return result;
}

TWBalanceSheetTotals TWBusiness::totalsWithAssets(const QDateTime &date,
                                                  const QDateTime &nominalFromDate,
                                                  const QDateTime &nominalToDate) const
{
    const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(m_accounts);
    const std::uint32_t limit = TWLedgerEntries::dayValue(date);
    const DaySpan nominal(TWDateSpan{nominalFromDate, nominalToDate});

    TWBalanceSheetTotals result;
    qint64 equityAccounts = 0;
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction || isNominal(*transaction))
            continue;
        const std::uint32_t day = transaction->dayValue();
        const bool asOfDate = limit == 0 || day <= limit;
        TWLedgerEntries::forEachHomeEntry(*transaction, [&](qint32 account, qint64 amount) {
            const auto kind = kinds.constFind(account);
            if (kind == kinds.constEnd())
                return;
            const qint64 balance = normalBalance(*kind, amount);
            switch (kind->group) {
            case TWAccountGroupTypeAsset:
                if (asOfDate) {
                    add(result.assets, balance);
                    if (kind->type == TWAccountTypeAccountsReceivable)
                        add(result.accountsReceivable, balance);
                }
                break;
            case TWAccountGroupTypeLiability:
                if (asOfDate) {
                    add(result.liabilities, balance);
                    if (kind->type == TWAccountTypeAccountsPayable)
                        add(result.accountsPayable, balance);
                }
                break;
            case TWAccountGroupTypeEquity:
                if (asOfDate)
                    add(equityAccounts, balance);
                break;
            case TWAccountGroupTypeIncome:
                if (nominal.contains(day)) {
                    add(result.income, balance);
                    add(result.netIncome, balance);
                }
                break;
            case TWAccountGroupTypeExpense:
                if (nominal.contains(day)) {
                    add(result.expenses, balance);
                    add(result.netIncome, negated(balance));
                }
                break;
            }
        });
    }
    result.equities = TWLedgerEntries::sum(result.assets, negated(result.liabilities));
    result.retainedEarnings = TWLedgerEntries::sum(
        TWLedgerEntries::sum(result.equities, negated(equityAccounts)), negated(result.netIncome));
    return result;
}

TWCurrencyFieldTotals TWBusiness::customCurrencyFieldTotals(const QDateTime &fromDate,
                                                            const QDateTime &toDate,
                                                            QSet<qint32> *fieldsWithValues) const
{
    if (fieldsWithValues)
        fieldsWithValues->clear();
    TWCurrencyFieldTotals result;
    QList<qint32> fields;
    for (const TWFieldPtr &field : m_fields) {
        if (!field || result.contains(field->identifier()))
            continue;
        if (field->type() == TWFieldTypeCurrency || field->type() == TWFieldTypePercentTotal) {
            result.insert(field->identifier(), {});
            fields.append(field->identifier());
        }
    }
    if (fields.isEmpty())
        return result;

    const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(m_accounts);
    const DaySpan span(TWDateSpan{fromDate, toDate});
    for (const TWTransactionPtr &transaction : m_transactions) {
        if (!transaction || !span.contains(transaction->dayValue()))
            continue;
        // The account of highest rank; of equal rank the first one.
        qint32 chosen = 0;
        int chosenRank = -1;
        const auto consider = [&](qint32 account) {
            const int rank = bookingRank(kinds, account);
            if (rank > chosenRank) {
                chosen = account;
                chosenRank = rank;
            }
        };
        if (transaction->hasSplit()) {
            for (const TWSplitPtr &split : transaction->splits()) {
                if (split)
                    consider(split->accountIdentifier());
            }
        } else {
            consider(transaction->account1Identifier());
            consider(transaction->account2Identifier());
        }
        // Nothing to book under: no lines, or only accounts the business
        // does not have.
        if (chosenRank <= 0)
            continue;
        const bool homeUnit =
            transaction->unit() && m_homeUnit && transaction->unit()->isEqual(*m_homeUnit);
        for (const qint32 field : std::as_const(fields)) {
            const TWFieldValuePtr value = transaction->fieldValueWithIdentifier(field);
            qint64 amount = value ? value->currency() : 0;
            if (amount != 0 && fieldsWithValues)
                fieldsWithValues->insert(field);
            if (amount != 0 && !homeUnit)
                amount = totalInHomeCurrency(amount, transaction->unit());
            add(result[field][chosen], amount);
        }
    }
    return result;
}

#include "app/TWMasterTotals.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"
#include "store/TWLedgerEntries.h"
#include "store/TWOwing.h"

#include <QDateTime>
#include <QSet>

#include <limits>
#include <vector>

namespace
{

TWMasterItemChildren childNodes(const TWItemPtr &item, const TWItemTree &tree)
{
    const TWItemList &children = tree.children(item);
    if (children.isEmpty())
        return {};
    auto list = std::make_shared<TWMasterItemList>();
    list->reserve(children.size());
    for (const TWItemPtr &child : children)
        list->append(
            TWMasterItem::masterItemWithType(TWMasterItemEntity, childNodes(child, tree), child));
    return list;
}

} // namespace

TWMasterItemList TWMasterTotals::masterItemsWithBusiness(TWBusiness &business)
{
    const quint32 sortBy = business.sortBy();
    const TWItemPtr &root = TWItem::rootItem();
    const auto family = [&](quint32 header, const TWItemTree &tree) {
        return TWMasterItem::masterItemWithType(header, childNodes(root, tree));
    };
    TWMasterItemList items;
    items.append(
        family(TWMasterItemAccountsHeader,
               TWBusiness::sortedItems(business.accounts(), business.accountGroups(), sortBy)));
    items.append(
        family(TWMasterItemFiltersHeader,
               TWBusiness::sortedItems(business.filters(), business.filterGroups(), sortBy)));
    if (business.advancedFindFilter()) {
        auto results = std::make_shared<TWMasterItemList>();
        results->append(TWMasterItem::masterItemWithType(TWMasterItemSearchResults));
        items.append(TWMasterItem::masterItemWithType(TWMasterItemFindHeader, results));
    }
    items.append(
        family(TWMasterItemClientsHeader,
               TWBusiness::sortedItems(business.clients(), business.clientGroups(), sortBy)));
    items.append(
        family(TWMasterItemMerchantsHeader,
               TWBusiness::sortedItems(business.merchants(), business.merchantGroups(), sortBy)));
    items.append(
        family(TWMasterItemReportsHeader,
               TWBusiness::sortedItems(business.reports(), business.reportGroups(), sortBy)));
    auto manage = std::make_shared<TWMasterItemList>();
    for (quint32 type : {TWMasterItemAutofill, TWMasterItemBudget, TWMasterItemFields,
                         TWMasterItemRepeats, TWMasterItemUnits, TWMasterItemValues})
        manage->append(TWMasterItem::masterItemWithType(type));
    items.append(TWMasterItem::masterItemWithType(TWMasterItemManageHeader, manage));
    return items;
}

QString TWMasterTotals::rowAmount(qint64 value, const TWUnit *unit, const TWBusiness &)
{
    return TWFormatter::formatter().valueString(value, unit, true, true, false, true, true);
}

// What one refresh computes once and shares between the rows: every
// account's balance, and each client's and merchant's owing and overdue state.
struct TWMasterTotals::Pass {
    std::optional<QHash<qint32, qint64>> balances;
    // Every account's raw home-unit sum, for the group rows.
    std::optional<QHash<qint32, qint64>> homeSums;
    // Filter rows of the subtree being refreshed, computed together.
    std::optional<QHash<const TWMasterItem *, qint64>> filters;
    const TWMasterItem *root = nullptr;
    QHash<qint32, std::pair<qint64, bool>> clients;
    QHash<qint32, std::pair<qint64, bool>> merchants;
};

namespace
{

// What a filter total counts of one transaction: a plain one's home amount,
// the positive lines of a split one (the store's rule for filter totals).
qint64 filterAmount(const TWTransaction &transaction)
{
    if (!transaction.hasSplit())
        return transaction.totalBusiness();
    qint64 amount = 0;
    for (const TWSplitPtr &split : transaction.splits())
        if (split && split->totalBusiness() > 0 &&
            __builtin_add_overflow(amount, split->totalBusiness(), &amount))
            amount = std::numeric_limits<qint64>::max();
    return amount;
}

void addSaturating(qint64 &total, qint64 amount)
{
    if (__builtin_add_overflow(total, amount, &total))
        total =
            amount > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

void collectFilterRows(const TWMasterItem &node, QList<const TWMasterItem *> &rows)
{
    const int kind = node.itemType();
    if (kind == TWItemTypeFilter || kind == TWItemTypeFilterGroup)
        rows.append(&node);
    if (node.childItems())
        for (const TWMasterItemPtr &child : *node.childItems())
            collectFilterRows(*child, rows);
}

} // namespace

// Every filter and filter-group row below `node` in one pass over the
// transactions: each filter is matched once per transaction, and a group
// counts a transaction when any filter below it matched.
static QHash<const TWMasterItem *, qint64> filterTotals(TWBusiness &business,
                                                        const TWMasterItem &node)
{
    QHash<const TWMasterItem *, qint64> totals;
    QList<const TWMasterItem *> rows;
    collectFilterRows(node, rows);
    if (rows.isEmpty())
        return totals;
    // The distinct filters, and for each the rows it counts for.
    QList<TWFilterPtr> filters;
    QHash<const TWFilter *, int> filterIndex;
    QList<QList<int>> rowsOfFilter;
    const auto filterAt = [&](const TWFilterPtr &filter) {
        auto found = filterIndex.find(filter.get());
        if (found == filterIndex.end()) {
            found = filterIndex.insert(filter.get(), int(filters.size()));
            filters.append(filter);
            rowsOfFilter.append(QList<int>());
        }
        return *found;
    };
    for (int row = 0; row < rows.size(); ++row) {
        const TWMasterItem &filterRow = *rows.at(row);
        totals.insert(&filterRow, 0);
        if (filterRow.itemType() == TWItemTypeFilter) {
            rowsOfFilter[filterAt(std::static_pointer_cast<TWFilter>(filterRow.item()))].append(
                row);
            continue;
        }
        for (const TWItemPtr &member :
             filterRow.childItemsOfType(TWItemTypeFilter).value_or(TWItemList()))
            if (const auto filter = std::dynamic_pointer_cast<TWFilter>(member)) {
                QList<int> &counted = rowsOfFilter[filterAt(filter)];
                if (!counted.contains(row))
                    counted.append(row);
            }
    }
    const TWFilterContext context = business.filterContext();
    // Every match of the pass sees the same moment: date rules ask for
    // "today" on every transaction, and the system clock is slow to read.
    const std::function<QDateTime()> clock = TWClock::nowProvider();
    const QDateTime now = TWClock::now();
    TWClock::setNowProvider([now] { return now; });
    std::vector<qint64> sums(rows.size(), 0);
    std::vector<qsizetype> seen(rows.size(), -1);
    const TWTransactionList &transactions = business.transactions();
    for (qsizetype t = 0; t < transactions.size(); ++t) {
        const TWTransactionPtr &transaction = transactions.at(t);
        if (!transaction)
            continue;
        std::optional<qint64> amount;
        for (int f = 0; f < filters.size(); ++f) {
            if (!filters.at(f)->matchTransaction(*transaction, context))
                continue;
            if (!amount)
                amount = filterAmount(*transaction);
            for (int row : rowsOfFilter.at(f))
                if (seen[row] != t) {
                    seen[row] = t;
                    addSaturating(sums[row], *amount);
                }
        }
    }
    TWClock::setNowProvider(clock);
    for (int row = 0; row < rows.size(); ++row)
        totals[rows.at(row)] = sums[row];
    return totals;
}

void TWMasterTotals::update(const TWMasterItemList &items)
{
    m_rows.clear();
    Pass pass;
    for (const TWMasterItemPtr &item : items) {
        pass.root = item.get();
        pass.filters.reset();
        compute(*item, pass);
    }
}

void TWMasterTotals::updateTotals(const TWMasterItem &node)
{
    Pass pass;
    pass.root = &node;
    compute(node, pass);
}

void TWMasterTotals::compute(const TWMasterItem &node, Pass &pass)
{
    TWBusiness &b = *m_business;
    const TWUnit *home = b.homeUnit().get();
    const auto clientFigures = [&](const TWItemPtr &item) {
        const qint32 id = item->identifier();
        auto found = pass.clients.find(id);
        if (found == pass.clients.end()) {
            const auto client = std::static_pointer_cast<TWClient>(item);
            found = pass.clients.insert(
                id, {b.transactionHomeOwingWithClients({client}), twOverdue(*client, b)});
        }
        return *found;
    };
    const auto merchantFigures = [&](const TWItemPtr &item) {
        const qint32 id = item->identifier();
        auto found = pass.merchants.find(id);
        if (found == pass.merchants.end()) {
            const auto merchant = std::static_pointer_cast<TWMerchant>(item);
            found = pass.merchants.insert(
                id, {b.transactionHomeOwingWithMerchants({merchant}), twOverdue(*merchant, b)});
        }
        return *found;
    };
    const auto below = [&node](int kind) {
        return node.childItemsOfType(kind).value_or(TWItemList());
    };

    Row row;
    bool computed = true;
    if (node.type() == TWMasterItemSearchResults) {
        if (const TWFilterPtr &filter = b.advancedFindFilter())
            row.detail = rowAmount(b.transactionHomeTotalWithFilters({filter}), home, b);
    } else if (node.isRecord()) {
        const TWItemPtr &item = node.item();
        switch (item->type()) {
        case TWItemTypeAccountGroup: {
            // A group's total is the sum of its accounts' home totals, each
            // shown its way; one pass over the transactions serves them all.
            if (!pass.homeSums) {
                QHash<qint32, qint64> sums;
                for (const TWTransactionPtr &transaction : b.transactions())
                    if (transaction)
                        TWLedgerEntries::forEachHomeEntry(
                            *transaction, [&sums](qint32 account, qint64 amount) {
                                qint64 &sum = sums[account];
                                sum = TWLedgerEntries::sum(sum, amount);
                            });
                pass.homeSums = std::move(sums);
            }
            qint64 total = 0;
            QSet<qint32> seen;
            for (const TWAccountPtr &account : twItemsAs<TWAccount>(below(TWItemTypeAccount))) {
                if (seen.contains(account->identifier()))
                    continue;
                seen.insert(account->identifier());
                const qint64 raw = pass.homeSums->value(account->identifier());
                total = TWLedgerEntries::sum(total, TWBusiness::isAccountDebitPositive(*account)
                                                        ? raw
                                                        : TWLedgerEntries::negated(raw));
            }
            row.detail = rowAmount(total, home, b);
            break;
        }
        case TWItemTypeAccount: {
            if (!pass.balances)
                pass.balances = b.accountBalances(QDateTime());
            const auto &account = static_cast<const TWAccount &>(*item);
            row.detail =
                rowAmount(pass.balances->value(account.identifier()), account.unit().get(), b);
            break;
        }
        case TWItemTypeClientGroup:
        case TWItemTypeMerchantGroup: {
            const bool clients = item->type() == TWItemTypeClientGroup;
            QSet<qint32> seen;
            for (const TWItemPtr &member : below(clients ? TWItemTypeClient : TWItemTypeMerchant)) {
                if (seen.contains(member->identifier()))
                    continue;
                seen.insert(member->identifier());
                const auto [owing, overdue] =
                    clients ? clientFigures(member) : merchantFigures(member);
                row.owing += owing;
                row.overdue = row.overdue || overdue;
            }
            row.coloured = true;
            row.detail = rowAmount(row.owing, home, b);
            break;
        }
        case TWItemTypeClient:
        case TWItemTypeMerchant: {
            const auto [owing, overdue] =
                item->type() == TWItemTypeClient ? clientFigures(item) : merchantFigures(item);
            row.owing = owing;
            row.overdue = overdue;
            row.coloured = true;
            row.detail = rowAmount(owing, home, b);
            break;
        }
        case TWItemTypeFilterGroup:
        case TWItemTypeFilter:
            if (!pass.filters)
                pass.filters = filterTotals(b, *pass.root);
            row.detail = rowAmount(pass.filters->value(&node), home, b);
            break;
        default:
            // Reports and report groups show nothing.
            break;
        }
    } else if (TWMasterItem::isManageType(node.type())) {
        const auto onOff = [](bool on) { return TWLocalized(on ? "on" : "off"); };
        switch (node.type()) {
        case TWMasterItemAutofill:
            row.detail = onOff(b.autofill());
            break;
        case TWMasterItemBudget:
            row.detail = onOff(!b.budgetItems().isEmpty());
            break;
        case TWMasterItemFields:
            row.detail = QString::number(b.fields().size());
            break;
        case TWMasterItemUnits:
            row.detail = QString::number(b.units().size());
            break;
        case TWMasterItemRepeats:
            row.detail = QString::number(b.repeats().size());
            break;
        case TWMasterItemValues:
            row.detail = QString::number(b.valuesCount());
            break;
        default:
            break;
        }
    } else {
        computed = false;
    }
    if (computed)
        m_rows.insert(&node, row);
    if (node.childItems())
        for (const TWMasterItemPtr &child : *node.childItems())
            compute(*child, pass);
}

QString TWMasterTotals::detailText(const TWMasterItem &node) const
{
    return m_rows.value(&node).detail;
}

QColor TWMasterTotals::colour(const TWMasterItem &node) const
{
    const auto found = m_rows.constFind(&node);
    if (found == m_rows.cend() || !found->coloured)
        return {};
    return colourForOwing(found->owing, found->overdue);
}

QColor TWMasterTotals::colourForOwing(qint64 owing, bool overdue)
{
    const TWPreferences &preferences = TWPreferences::preferences();
    if (overdue)
        return preferences.overdueColour();
    if (owing > 0)
        return preferences.oweColour();
    return {};
}

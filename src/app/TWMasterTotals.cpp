#include "TWMasterTotals.h"

#include "TWBusiness.h"
#include "TWFormatter.h"
#include "TWLocalized.h"
#include "TWPreferences.h"

#include <QDateTime>
#include <QSet>

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
        list->append(TWMasterItem::masterItemWithType(TWMasterItemEntity, childNodes(child, tree), child));
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
    items.append(family(TWMasterItemAccountsHeader,
                        TWBusiness::sortedItems(business.accounts(), business.accountGroups(), sortBy)));
    items.append(family(TWMasterItemFiltersHeader,
                        TWBusiness::sortedItems(business.filters(), business.filterGroups(), sortBy)));
    if (business.advancedFindFilter()) {
        auto results = std::make_shared<TWMasterItemList>();
        results->append(TWMasterItem::masterItemWithType(TWMasterItemSearchResults));
        items.append(TWMasterItem::masterItemWithType(TWMasterItemFindHeader, results));
    }
    items.append(family(TWMasterItemClientsHeader,
                        TWBusiness::sortedItems(business.clients(), business.clientGroups(), sortBy)));
    items.append(family(TWMasterItemMerchantsHeader,
                        TWBusiness::sortedItems(business.merchants(), business.merchantGroups(), sortBy)));
    items.append(family(TWMasterItemReportsHeader,
                        TWBusiness::sortedItems(business.reports(), business.reportGroups(), sortBy)));
    auto manage = std::make_shared<TWMasterItemList>();
    for (quint32 type : {TWMasterItemAutofill, TWMasterItemBudget, TWMasterItemFields,
                         TWMasterItemRepeats, TWMasterItemUnits, TWMasterItemValues})
        manage->append(TWMasterItem::masterItemWithType(type));
    items.append(TWMasterItem::masterItemWithType(TWMasterItemManageHeader, manage));
    return items;
}

QString TWMasterTotals::rowAmount(qint64 value, const TWUnit *unit, const TWBusiness &business)
{
    return TWFormatter::formatter().valueString(value, unit, true, true, false, true, true, &business);
}

// What one refresh computes once and shares between the rows: every
// account's balance, and each client's and merchant's owing and overdue state.
struct TWMasterTotals::Pass {
    std::optional<QHash<qint32, qint64>> balances;
    QHash<qint32, std::pair<qint64, bool>> clients;
    QHash<qint32, std::pair<qint64, bool>> merchants;
};

void TWMasterTotals::update(const TWMasterItemList &items)
{
    m_rows.clear();
    Pass pass;
    for (const TWMasterItemPtr &item : items)
        compute(*item, pass);
}

void TWMasterTotals::updateTotals(const TWMasterItem &node)
{
    Pass pass;
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
                id, {b.transactionHomeOwingWithClients({client}), client->overdueWithBusiness(b)});
        }
        return *found;
    };
    const auto merchantFigures = [&](const TWItemPtr &item) {
        const qint32 id = item->identifier();
        auto found = pass.merchants.find(id);
        if (found == pass.merchants.end()) {
            const auto merchant = std::static_pointer_cast<TWMerchant>(item);
            found = pass.merchants.insert(id, {b.transactionHomeOwingWithMerchants({merchant}),
                                               merchant->overdueWithBusiness(b)});
        }
        return *found;
    };
    const auto below = [&node](int kind) { return node.childItemsOfType(kind).value_or(TWItemList()); };

    Row row;
    bool computed = true;
    if (node.type() == TWMasterItemSearchResults) {
        if (const TWFilterPtr &filter = b.advancedFindFilter())
            row.detail = rowAmount(b.transactionHomeTotalWithFilters({filter}), home, b);
    } else if (node.isRecord()) {
        const TWItemPtr &item = node.item();
        switch (item->type()) {
        case TWItemTypeAccountGroup:
            row.detail = rowAmount(
                b.transactionHomeTotalWithAccounts(twItemsAs<TWAccount>(below(TWItemTypeAccount))),
                home, b);
            break;
        case TWItemTypeAccount: {
            if (!pass.balances)
                pass.balances = b.accountBalances(QDateTime());
            const auto &account = static_cast<const TWAccount &>(*item);
            row.detail = rowAmount(pass.balances->value(account.identifier()), account.unit().get(), b);
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
                const auto [owing, overdue] = clients ? clientFigures(member) : merchantFigures(member);
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
            row.detail = rowAmount(
                b.transactionHomeTotalWithFilters(twItemsAs<TWFilter>(below(TWItemTypeFilter))), home,
                b);
            break;
        case TWItemTypeFilter:
            row.detail = rowAmount(
                b.transactionHomeTotalWithFilters({std::static_pointer_cast<TWFilter>(item)}), home, b);
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

// Saved filters: the filter rows, their criteria trees flattened into one row
// per node, the in-memory list with its index, the default filters of a new
// business, and what filter matching takes from the business.

#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"

#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "model/TWBuiltInFields.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <tuple>
#include <vector>

namespace
{

const char *const kFiltersMaxSQL = "SELECT MAX(identifier) FROM filters;";
const char *const kFiltersLoadSQL =
    "SELECT identifier, name, parentIdentifier, sortOrder FROM filters ORDER BY name ASC;";
const char *const kFiltersInsertSQL = "INSERT INTO filters ( identifier, name, parentIdentifier, "
                                      "sortOrder ) VALUES ( ?, ?, ?, ? );";
const char *const kFiltersUpdateSQL =
    "UPDATE filters SET name=?, parentIdentifier=?, sortOrder=? WHERE identifier=?;";
const char *const kFiltersUpdateSortOrderSQL = "UPDATE filters SET sortOrder=? WHERE identifier=?;";
const char *const kFiltersDeleteSQL = "DELETE FROM filters WHERE identifier=?;";

const char *const kCriterionLoadSQL =
    "SELECT identifier, parentIdentifier, filterIdentifier, fieldIdentifier, sortOrder, match, "
    "valueType, valueInteger, valueDouble, valueString FROM filterCriterion "
    "ORDER BY filterIdentifier ASC;";
const char *const kCriterionInsertSQL =
    "INSERT INTO filterCriterion ( identifier, parentIdentifier, filterIdentifier, "
    "fieldIdentifier, sortOrder, match, valueType, valueInteger, valueDouble, valueString ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kCriterionDeleteSQL = "DELETE FROM filterCriterion WHERE filterIdentifier=?;";

// Every tree is numbered from here, whatever the filter.
constexpr quint32 kFirstCriterionIdentifier = 100;

TWErrorResult misuse()
{
    return TWBusiness::databaseError(SQLITE_MISUSE);
}

QVariantMap filterInfo(const TWFilterPtr &filter)
{
    return {{TWFilterNotificationKey, QVariant::fromValue(filter)}};
}

// Unsigned 32-bit columns; a damaged file's out-of-range value wraps.
quint32 unsignedColumn(const TWStatement &row, int column)
{
    return quint32(row.columnInt64(column));
}

// Sets the value the row's value type selects; the other columns mean
// nothing.
void readValue(TWFilterCriteria &node, const TWStatement &row)
{
    const qint64 integer = row.columnInt64(7);
    switch (node.valueType()) {
    case TWFilterValueTypeIdentifier:
    case TWFilterValueTypeNamedPeriod:
        node.setValueIdentifier(qint32(integer));
        break;
    case TWFilterValueTypeText:
        node.setValueText(row.columnText(9));
        break;
    case TWFilterValueTypeSwitch:
        node.setValueSwitch(integer != 0);
        break;
    case TWFilterValueTypeCurrency:
        node.setValueCurrency(integer);
        break;
    case TWFilterValueTypeNumber:
        node.setValueNumber(row.columnDouble(8));
        break;
    case TWFilterValueTypeRelativeDate:
        node.setValueRelativeDate(qint32(integer));
        break;
    case TWFilterValueTypeDate:
        // Anything that is no packed date reads as no date.
        node.setValueDate(integer > 0 && integer <= std::numeric_limits<std::uint32_t>::max()
                              ? TWDateAdditions::dateWithValue(std::uint32_t(integer))
                              : QDateTime());
        break;
    case TWFilterValueTypePercent:
        node.setValuePercent(float(row.columnDouble(8)));
        break;
    default:
        break;
    }
}

// Binds valueInteger, valueDouble and valueString: the node's value in the
// column its value type selects, NULL in the others.
void bindValue(TWStatement &insert, const TWFilterCriteria &node)
{
    std::optional<qint64> integer;
    std::optional<double> real;
    QString text;
    switch (node.valueType()) {
    case TWFilterValueTypeIdentifier:
    case TWFilterValueTypeNamedPeriod:
        integer = node.valueIdentifier();
        break;
    case TWFilterValueTypeText:
        text = node.valueText();
        break;
    case TWFilterValueTypeSwitch:
        integer = node.valueSwitch() ? 1 : 0;
        break;
    case TWFilterValueTypeCurrency:
        integer = node.valueCurrency();
        break;
    case TWFilterValueTypeNumber:
        real = node.valueNumber();
        break;
    case TWFilterValueTypeRelativeDate:
        integer = node.valueRelativeDate();
        break;
    case TWFilterValueTypeDate:
        integer = qint64(TWDateAdditions::dateValue(node.valueDate()));
        break;
    case TWFilterValueTypePercent:
        real = double(node.valuePercent());
        break;
    default:
        break;
    }
    if (integer)
        insert.bindInt64(*integer);
    else
        insert.bindNull();
    if (real)
        insert.bindDouble(*real);
    else
        insert.bindNull();
    insert.bindText(text);
}

// One default filter: a compound root and its simple children.
struct DefaultFilter {
    qint32 identifier;
    const char *key;
    quint32 match;
    TWFilterCriteriaList children;
};

TWFilterCriteriaPtr switchCriterion(qint32 field, bool value)
{
    return TWFilterCriteria::filterCriteriaWithType(
        TWFilterCriteriaTypeSimple, field, TWFilterComparisonIs, TWFilterValueTypeSwitch, 0,
        QString(), value, 0, 0.0, QDateTime(), 0, 0.0f);
}

TWFilterCriteriaPtr lastThirtyDays(qint32 field)
{
    return TWFilterCriteria::filterCriteriaWithType(
        TWFilterCriteriaTypeSimple, field, TWFilterComparisonWithinDays,
        TWFilterValueTypeRelativeDate, 0, QString(), false, 0, 0.0, QDateTime(), -30, 0.0f);
}

QString defaultFilterName(const char *key)
{
    const QString k = QString::fromLatin1(key);
    return TWHasLocalized(k) ? TWLocalized(k) : QString(QLatin1String(""));
}

} // namespace

// ---- Lookups ----

TWFilterPtr TWBusiness::filterWithIdentifier(qint32 identifier) const
{
    return m_filterIndex.value(identifier);
}

qint32 TWBusiness::nextFilterIdentifier()
{
    return nextIdentifier(kFiltersMaxSQL);
}

TWFilterContext TWBusiness::filterContext() const
{
    TWFilterContext context;
    context.field = [this](qint32 identifier) { return fieldWithIdentifier(identifier); };
    context.homeUnit = homeUnit();
    if (!m_accounts.isEmpty() && m_accounts.first())
        context.firstAccountIdentifier = m_accounts.first()->identifier();
    return context;
}

// ---- Loading ----

TWErrorResult TWBusiness::loadFiltersAll()
{
    if (TWErrorResult error = loadFilters())
        return error;
    return loadFilterCriterion();
}

TWErrorResult TWBusiness::loadFilters()
{
    m_filters.clear();
    m_filterIndex.clear();
    TWStatement select = statement(kFiltersLoadSQL);
    while (select.next()) {
        TWFilterPtr filter = TWFilter::filterWithIdentifier(
            select.columnInt32(0), select.columnText(1), select.columnInt32(2),
            unsignedColumn(select, 3), nullptr);
        m_filters.append(filter);
        if (!m_filterIndex.contains(filter->identifier()))
            m_filterIndex.insert(filter->identifier(), filter);
    }
    return select.error();
}

TWFilterCriteriaPtr
TWBusiness::rootCriteria(const QHash<quint32, TWFilterCriteriaPtr> &criteria,
                         const QHash<quint32, TWFilterCriteriaList> &childCriterion)
{
    // The root: the last node met whose parent is 0. The maps keep no order,
    // so "last" is decided by the order in the child lists, which is the
    // order the rows were read in.
    const TWFilterCriteriaList roots = childCriterion.value(0);
    TWFilterCriteriaPtr root;
    for (qsizetype i = roots.size() - 1; i >= 0 && !root; --i) {
        if (roots[i] && criteria.value(roots[i]->identifier()) == roots[i])
            root = roots[i];
    }
    if (!root)
        return nullptr;

    // Links the tree from the root down, each node once. A node whose parent
    // does not exist, or whose parent chain loops without reaching the root,
    // is never met and stays out of the tree, so the tree cannot loop.
    QSet<const TWFilterCriteria *> linked{root.get()};
    TWFilterCriteriaList pending{root};
    while (!pending.isEmpty()) {
        const TWFilterCriteriaPtr node = pending.takeLast();
        TWFilterCriteriaList children;
        for (const TWFilterCriteriaPtr &child : childCriterion.value(node->identifier())) {
            // Rows that repeat an identifier are not in `criteria`; a node
            // already linked (the root, whose parent 0 may be a node's
            // identifier in a damaged file) is not linked again.
            if (!child || criteria.value(child->identifier()) != child ||
                linked.contains(child.get()))
                continue;
            linked.insert(child.get());
            children.append(child);
            pending.append(child);
        }
        std::stable_sort(children.begin(), children.end(), TWFilterCriteria::lessThan);
        node->setChildCriteria(children);
        node->setType(
            TWFilterCriteria::typeForStoredCriteria(!children.isEmpty(), node->fieldIdentifier()));
    }
    return root;
}

TWErrorResult TWBusiness::loadFilterCriterion()
{
    QHash<quint32, TWFilterCriteriaPtr> criteria;
    QHash<quint32, TWFilterCriteriaList> childCriterion;
    std::optional<qint32> current;
    const auto finish = [&] {
        if (!current)
            return;
        const TWFilterPtr filter = filterWithIdentifier(*current);
        if (filter)
            filter->setCriteria(rootCriteria(criteria, childCriterion));
        criteria.clear();
        childCriterion.clear();
    };

    TWStatement select = statement(kCriterionLoadSQL);
    while (select.next()) {
        const qint32 filterIdentifier = select.columnInt32(2);
        if (!current || *current != filterIdentifier) {
            finish();
            current = filterIdentifier;
        }
        const quint32 identifier = unsignedColumn(select, 0);
        // A row that repeats an identifier of its filter is left out: its
        // children (which name that identifier) go to the first one.
        if (criteria.contains(identifier))
            continue;
        TWFilterCriteriaPtr node = TWFilterCriteria::filterCriteriaWithIdentifier(
            identifier, TWFilterCriteriaTypeCompound, unsignedColumn(select, 1),
            select.columnInt32(3), unsignedColumn(select, 4), unsignedColumn(select, 5),
            unsignedColumn(select, 6));
        readValue(*node, select);
        criteria.insert(identifier, node);
        childCriterion[node->parentIdentifier()].append(node);
    }
    if (TWErrorResult error = select.error())
        return error; // the filter being read keeps no half tree
    finish();
    return std::nullopt;
}

TWErrorResult TWBusiness::populateFilters()
{
    const DefaultFilter defaults[] = {
        {100,
         "all",
         TWFilterMatchAny,
         {switchCriterion(TWFieldIdentifierCleared, true),
          switchCriterion(TWFieldIdentifierCleared, false)}},
        {101, "recent", TWFilterMatchAll, {lastThirtyDays(TWFieldIdentifierDate)}},
        {102,
         "recentlyModified",
         TWFilterMatchAll,
         {lastThirtyDays(TWFieldIdentifierDateModified)}},
        {103, "repeating", TWFilterMatchAll, {switchCriterion(TWFieldIdentifierRepeat, true)}},
    };
    WriteScope scope(*this);
    quint32 sortOrder = 0;
    for (const DefaultFilter &row : defaults) {
        const TWFilterPtr filter = TWFilter::filterWithIdentifier(
            row.identifier, defaultFilterName(row.key), 0, sortOrder++,
            TWFilterCriteria::filterCriteriaCompoundWithMatch(row.match, row.children));
        if (TWErrorResult error = addFilter(filter, false))
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- List changes ----

void TWBusiness::appendFilter(WriteScope &scope, const TWFilterPtr &filter)
{
    m_filters.append(filter);
    const bool indexed = !m_filterIndex.contains(filter->identifier());
    if (indexed)
        m_filterIndex.insert(filter->identifier(), filter);
    scope.onRollback([this, filter, indexed] {
        m_filters.removeLast();
        if (indexed)
            m_filterIndex.remove(filter->identifier());
    });
}

void TWBusiness::removeFilterAt(WriteScope &scope, qsizetype position)
{
    const TWFilterPtr filter = m_filters.takeAt(position);
    const bool indexed = m_filterIndex.value(filter->identifier()) == filter;
    if (indexed)
        m_filterIndex.remove(filter->identifier());
    scope.onRollback([this, filter, position, indexed] {
        m_filters.insert(position, filter);
        if (indexed)
            m_filterIndex.insert(filter->identifier(), filter);
    });
}

// ---- Criteria rows ----

TWErrorResult TWBusiness::deleteFilterCriterion(const TWFilterPtr &filter)
{
    if (!filter)
        return misuse();
    WriteScope scope(*this);
    TWStatement remove = statement(kCriterionDeleteSQL);
    remove.bindInt32(filter->identifier());
    return scope.finish(remove.execute());
}

TWErrorResult TWBusiness::addFilterCriterion(const TWFilterPtr &filter)
{
    if (!filter)
        return misuse();
    WriteScope scope(*this);
    if (TWErrorResult error = deleteFilterCriterion(filter))
        return scope.finish(error);
    const TWFilterCriteriaPtr root = filter->criteria();
    if (!root)
        return scope.commit();

    // Numbering rewrites each node's identifier, parent and position; a
    // failed save gives them back.
    using Numbering = std::tuple<TWFilterCriteriaPtr, quint32, quint32, quint32>;
    std::vector<Numbering> before;
    for (const TWFilterCriteriaPtr &node : TWFilterCriteria::preOrderCriteria(root))
        before.emplace_back(node, node->identifier(), node->parentIdentifier(), node->sortOrder());
    scope.onRollback([before] {
        for (const auto &[node, identifier, parent, sortOrder] : before) {
            node->setIdentifier(identifier);
            node->setParentIdentifier(parent);
            node->setSortOrder(sortOrder);
        }
    });
    // The loader finds the root by its parent 0.
    root->setParentIdentifier(0);
    TWFilterCriteriaList list;
    quint32 nextIdentifier = kFirstCriterionIdentifier;
    criteriaList(list, root, nextIdentifier);

    for (const TWFilterCriteriaPtr &node : std::as_const(list)) {
        TWStatement insert = statement(kCriterionInsertSQL);
        // A compound row names no field, so that read back without children
        // it is still known as compound.
        insert.bindInt64(node->identifier())
            .bindInt64(node->parentIdentifier())
            .bindInt32(filter->identifier())
            .bindInt32(node->isCompound() ? 0 : node->fieldIdentifier())
            .bindInt64(node->sortOrder())
            .bindInt64(node->match())
            .bindInt64(node->valueType());
        bindValue(insert, *node);
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- Writes ----

TWErrorResult TWBusiness::addFilter(const TWFilterPtr &filter, bool notify)
{
    // Identifier 0 is the search bar's filter (and what a failed
    // nextFilterIdentifier gives): never stored.
    if (!filter || filter->identifier() == 0)
        return misuse();
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kFiltersInsertSQL);
        insert.bindInt32(filter->identifier())
            .bindText(filter->name())
            .bindInt32(filter->parentIdentifier())
            .bindInt64(filter->sortOrder());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    if (TWErrorResult error = addFilterCriterion(filter))
        return scope.finish(error);
    appendFilter(scope, filter);
    if (notify)
        scope.post(TWFilterNewNotification, filterInfo(filter));
    return scope.commit();
}

TWErrorResult TWBusiness::updateFilter(const TWFilterPtr &filter, bool notify)
{
    if (!filter)
        return misuse();
    WriteScope scope(*this);
    {
        TWStatement update = statement(kFiltersUpdateSQL);
        update.bindText(filter->name())
            .bindInt32(filter->parentIdentifier())
            .bindInt64(filter->sortOrder())
            .bindInt32(filter->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    if (TWErrorResult error = addFilterCriterion(filter))
        return scope.finish(error);
    const TWFilterPtr listed = m_filterIndex.value(filter->identifier());
    if (listed != filter) {
        if (listed) {
            const qsizetype position = m_filters.indexOf(listed);
            if (position >= 0)
                removeFilterAt(scope, position);
        }
        appendFilter(scope, filter);
    }
    if (notify)
        scope.post(TWFilterUpdateNotification, filterInfo(filter));
    return scope.commit();
}

TWErrorResult TWBusiness::updateFilterSortOrder(const TWFilterPtr &filter, bool notify)
{
    if (!filter)
        return misuse();
    WriteScope scope(*this);
    {
        TWStatement update = statement(kFiltersUpdateSortOrderSQL);
        update.bindInt64(filter->sortOrder()).bindInt32(filter->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    if (notify)
        scope.post(TWFilterUpdateNotification, filterInfo(filter));
    return scope.commit();
}

TWErrorResult TWBusiness::deleteFilter(const TWFilterPtr &filter, bool notify)
{
    if (!filter)
        return misuse();
    WriteScope scope(*this);
    {
        TWStatement remove = statement(kFiltersDeleteSQL);
        remove.bindInt32(filter->identifier());
        if (TWErrorResult error = remove.execute())
            return scope.finish(error);
    }
    if (TWErrorResult error = deleteFilterCriterion(filter))
        return scope.finish(error);
    filterHookExportSettingsRemoveFilter(filter);
    const qsizetype position = m_filters.indexOf(m_filterIndex.value(filter->identifier()));
    if (position >= 0)
        removeFilterAt(scope, position);
    if (notify)
        scope.post(TWFilterDeleteNotification, filterInfo(filter));
    return scope.commit();
}

TWErrorResult TWBusiness::deleteFiltersInGroup(const TWGroupPtr &group, bool notify)
{
    if (!group)
        return misuse();
    if (group->type() != TWItemTypeFilterGroup)
        return std::nullopt;
    WriteScope scope(*this);
    const TWFilterList filters = m_filters;
    for (const TWFilterPtr &filter : filters) {
        if (filter->parentIdentifier() != group->identifier())
            continue;
        if (TWErrorResult error = deleteFilter(filter, notify))
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- Deleted fields and choices ----

void TWBusiness::filtersDeleteCriteria(const TWField &field, std::optional<qint32> valueIdentifier)
{
    WriteScope scope(*this);
    const auto removes = [&](const TWFilterCriteria &node) {
        return node.type() == TWFilterCriteriaTypeSimple &&
               node.fieldIdentifier() == field.identifier() &&
               (!valueIdentifier || node.valueIdentifier() == *valueIdentifier);
    };
    for (const TWFilterPtr &filter : std::as_const(m_filters)) {
        const TWFilterCriteriaPtr root = filter->criteria();
        if (!root)
            continue;
        if (removes(*root)) {
            // A simple root on the field lost its row with the others.
            filter->setCriteria(nullptr);
            scope.onRollback([filter, root] { filter->setCriteria(root); });
            continue;
        }
        // Removal only shortens child lists: keeping each compound's list
        // before is enough to undo it.
        std::vector<std::pair<TWFilterCriteriaPtr, TWFilterCriteriaList>> before;
        for (const TWFilterCriteriaPtr &node : TWFilterCriteria::preOrderCriteria(root)) {
            if (!node->childCriteria().isEmpty())
                before.emplace_back(node, node->childCriteria());
        }
        if (valueIdentifier)
            TWFilter::deleteChildCriteria(root, field, *valueIdentifier);
        else
            TWFilter::deleteChildCriteria(root, field);
        for (const auto &[node, children] : before) {
            if (node->childCriteria().size() != children.size())
                scope.onRollback(
                    [node = node, children = children] { node->setChildCriteria(children); });
        }
    }
    // Nested in the caller's write: it joins that write, which is what fails
    // if anything does.
    (void)scope.commit();
}

// ---- Hooks into later groups of the store ----

void TWBusiness::filterHookExportSettingsRemoveFilter(const TWFilterPtr &filter)
{
    exportSettingsRemoveAccount(nullptr, nullptr, filter);
}

// ---- The criteria's and filters' operations that need the business ----

TWFilterCriteriaPtr twCriteriaForField(qint32 fieldIdentifier, TWBusiness &business)
{
    return TWFilterCriteria::filterCriteriaWithFieldIdentifier(fieldIdentifier,
                                                               business.filterContext());
}

TWFilterCriteriaPtr twDefaultCriteria(TWBusiness &business)
{
    return TWFilterCriteria::defaultCriteria(business.filterContext());
}

void twSetCriteriaField(TWFilterCriteria &criteria, qint32 fieldIdentifier, TWBusiness &business)
{
    criteria.updateFieldIdentifier(fieldIdentifier, business.filterContext());
}

bool twMatchTransaction(const TWFilterCriteria &criteria, const TWTransaction &transaction,
                        TWBusiness &business)
{
    return criteria.matchTransaction(transaction, business.filterContext());
}

bool twMatchTransaction(const TWFilter &filter, const TWTransaction &transaction,
                        TWBusiness &business)
{
    return filter.matchTransaction(transaction, business.filterContext());
}

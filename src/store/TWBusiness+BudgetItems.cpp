// The budget lines of a business: the table, the in-memory list with its
// indexes (by identifier, and by the account or group a line budgets), and
// the removal of the lines of an account or group that is deleted.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "foundation/TWDateAdditions.h"

#include <sqlite3.h>

#include <cmath>

namespace
{

const char *const kBudgetItemsMaxIdentifierSQL = "SELECT MAX(identifier) FROM budgetItems;";
const char *const kBudgetItemsSelectSQL =
    "SELECT identifier, itemType, itemIdentifier, total, unit, startDate, cycle, cycleUnit, "
    "rollover FROM budgetItems;";
const char *const kBudgetItemsInsertSQL =
    "INSERT INTO budgetItems (identifier, itemType, itemIdentifier, total, unit, startDate, "
    "cycle, cycleUnit, rollover) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?);";
const char *const kBudgetItemsDeleteSQL = "DELETE FROM budgetItems WHERE identifier=?;";
const char *const kBudgetItemsDeleteAllSQL = "DELETE FROM budgetItems;";
const char *const kBudgetItemsUpdateSQL =
    "UPDATE budgetItems SET itemType=?, itemIdentifier=?, total=?, unit=?, startDate=?, cycle=?, "
    "cycleUnit=?, rollover=? WHERE identifier=?;";

// A line without a unit code counts in US dollars.
const QString kFallbackUnitCode = QStringLiteral("USD");

// The start date is a packed day number stored as a double; 0 is no date.
double storedStartDate(const QDateTime &date)
{
    return date.isValid() ? double(TWDateAdditions::dateValue(date)) : 0.0;
}

// Anything that is no packed day number (0, negative, fractional parts
// aside, too large, not a number) reads as no date.
QDateTime startDateFromStored(double value)
{
    if (!std::isfinite(value) || value < 1.0 || value >= 4294967296.0)
        return {};
    return TWDateAdditions::dateWithValue(std::uint32_t(value));
}

} // namespace

// ---- Lookups ----

quint64 TWBusiness::budgetItemKey(qint32 type, qint32 itemIdentifier)
{
    return (quint64(quint32(type)) << 32) | quint32(itemIdentifier);
}

TWBudgetItemPtr TWBusiness::budgetItemWithType(qint32 type, qint32 itemIdentifier) const
{
    const auto found = m_budgetItemKeyIndex.constFind(budgetItemKey(type, itemIdentifier));
    if (found == m_budgetItemKeyIndex.constEnd() || found->isEmpty())
        return nullptr;
    return found->first();
}

QHash<qint32, QHash<qint32, TWBudgetItemPtr>> TWBusiness::budgetItemsByTypeIdentifier() const
{
    QHash<qint32, QHash<qint32, TWBudgetItemPtr>> result;
    for (const TWBudgetItemPtr &item : m_budgetItems)
        result[item->itemType()].insert(item->itemIdentifier(), item);
    return result;
}

qint32 TWBusiness::nextBudgetItemsIdentifier()
{
    return nextIdentifier(kBudgetItemsMaxIdentifierSQL);
}

// ---- Loading ----

TWErrorResult TWBusiness::loadBudgetItems()
{
    clearBudgetItems();
    TWStatement select = statement(kBudgetItemsSelectSQL);
    while (select.next()) {
        QString code = select.columnText(4);
        if (code.isEmpty())
            code = kFallbackUnitCode;
        const TWUnitPtr unit = unitForStoredCode(code);
        const TWBudgetItemPtr item = TWBudgetItem::budgetItemWithItemType(
            select.columnInt32(1), select.columnInt32(2), select.columnInt64(3), unit,
            startDateFromStored(select.columnDouble(5)), std::uint32_t(select.columnInt64(6)),
            std::uint32_t(select.columnInt64(7)), select.columnBool(8), select.columnInt32(0));
        const BudgetItemFiling filing{budgetItemKey(item->itemType(), item->itemIdentifier()),
                                      item->identifier()};
        m_budgetItems.append(item);
        m_budgetItemFilings.insert(item.get(), filing);
        m_budgetItemKeyIndex[filing.key].append(item);
        if (!m_budgetItemIndex.contains(filing.identifier))
            m_budgetItemIndex.insert(filing.identifier, item);
    }
    return select.error();
}

// ---- List changes ----

void TWBusiness::clearBudgetItems()
{
    m_budgetItems.clear();
    m_budgetItemIndex.clear();
    m_budgetItemKeyIndex.clear();
    m_budgetItemFilings.clear();
}

void TWBusiness::appendBudgetItem(WriteScope &scope, const TWBudgetItemPtr &item)
{
    const BudgetItemFiling filing{budgetItemKey(item->itemType(), item->itemIdentifier()),
                                  item->identifier()};
    m_budgetItems.append(item);
    m_budgetItemFilings.insert(item.get(), filing);
    // Appended to the list, so it is the last of its account's lines too.
    m_budgetItemKeyIndex[filing.key].append(item);
    const bool indexed = !m_budgetItemIndex.contains(filing.identifier);
    if (indexed)
        m_budgetItemIndex.insert(filing.identifier, item);
    scope.onRollback([this, item, filing, indexed] {
        m_budgetItems.removeLast();
        m_budgetItemFilings.remove(item.get());
        TWBudgetItemList &lines = m_budgetItemKeyIndex[filing.key];
        lines.removeLast();
        if (lines.isEmpty())
            m_budgetItemKeyIndex.remove(filing.key);
        if (indexed)
            m_budgetItemIndex.remove(filing.identifier);
    });
}

void TWBusiness::removeBudgetItemAt(WriteScope &scope, qsizetype position)
{
    const TWBudgetItemPtr item = m_budgetItems.takeAt(position);
    const BudgetItemFiling filing = m_budgetItemFilings.take(item.get());
    TWBudgetItemList &lines = m_budgetItemKeyIndex[filing.key];
    const qsizetype linePosition = lines.indexOf(item);
    if (linePosition >= 0)
        lines.removeAt(linePosition);
    if (lines.isEmpty())
        m_budgetItemKeyIndex.remove(filing.key);
    const bool indexed = m_budgetItemIndex.value(filing.identifier) == item;
    if (indexed)
        m_budgetItemIndex.remove(filing.identifier);
    scope.onRollback([this, item, filing, position, linePosition, indexed] {
        m_budgetItems.insert(position, item);
        m_budgetItemFilings.insert(item.get(), filing);
        if (linePosition >= 0)
            m_budgetItemKeyIndex[filing.key].insert(linePosition, item);
        if (indexed)
            m_budgetItemIndex.insert(filing.identifier, item);
    });
}

void TWBusiness::refileBudgetItem(WriteScope &scope, const TWBudgetItemPtr &item)
{
    const BudgetItemFiling before = m_budgetItemFilings.value(item.get());
    const BudgetItemFiling after{budgetItemKey(item->itemType(), item->itemIdentifier()),
                                 item->identifier()};
    if (before.key == after.key && before.identifier == after.identifier)
        return;

    // What changes, to be put back on rollback.
    const TWBudgetItemList oldLines = m_budgetItemKeyIndex.value(before.key);
    const TWBudgetItemList newLines = m_budgetItemKeyIndex.value(after.key);
    const TWBudgetItemPtr oldEntry = m_budgetItemIndex.value(before.identifier);
    const TWBudgetItemPtr newEntry = m_budgetItemIndex.value(after.identifier);

    m_budgetItemFilings.insert(item.get(), after);
    if (before.key != after.key) {
        TWBudgetItemList &lines = m_budgetItemKeyIndex[before.key];
        lines.removeOne(item);
        if (lines.isEmpty())
            m_budgetItemKeyIndex.remove(before.key);
        // The line keeps its list position: the new key's lines are gathered
        // again in list order.
        TWBudgetItemList gathered;
        for (const TWBudgetItemPtr &other : std::as_const(m_budgetItems)) {
            if (m_budgetItemFilings.value(other.get()).key == after.key)
                gathered.append(other);
        }
        m_budgetItemKeyIndex.insert(after.key, gathered);
    }
    if (before.identifier != after.identifier) {
        if (oldEntry == item)
            m_budgetItemIndex.remove(before.identifier);
        if (!newEntry)
            m_budgetItemIndex.insert(after.identifier, item);
    }

    scope.onRollback([this, item, before, after, oldLines, newLines, oldEntry, newEntry] {
        m_budgetItemFilings.insert(item.get(), before);
        auto restoreLines = [this](quint64 key, const TWBudgetItemList &lines) {
            if (lines.isEmpty())
                m_budgetItemKeyIndex.remove(key);
            else
                m_budgetItemKeyIndex.insert(key, lines);
        };
        restoreLines(after.key, newLines);
        restoreLines(before.key, oldLines);
        auto restoreEntry = [this](qint32 identifier, const TWBudgetItemPtr &entry) {
            if (entry)
                m_budgetItemIndex.insert(identifier, entry);
            else
                m_budgetItemIndex.remove(identifier);
        };
        restoreEntry(after.identifier, newEntry);
        restoreEntry(before.identifier, oldEntry);
    });
}

// ---- Writes ----

TWErrorResult TWBusiness::addBudgetItem(const TWBudgetItemPtr &item, bool notify)
{
    // No object, identifier 0 (the value of a failed nextBudgetItemsIdentifier)
    // or an object that is listed already (it would be listed twice) is never
    // stored.
    if (!item || item->identifier() == 0 || m_budgetItemFilings.contains(item.get()))
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kBudgetItemsInsertSQL);
        insert.bindInt32(item->identifier())
            .bindInt32(item->itemType())
            .bindInt32(item->itemIdentifier())
            .bindInt64(item->total())
            .bindText(item->unit() ? item->unit()->code() : QString())
            .bindDouble(storedStartDate(item->startDate()))
            .bindInt64(qint64(item->cycle()))
            .bindInt64(qint64(item->cycleUnit()))
            .bindBool(item->rollover());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    appendBudgetItem(scope, item);
    TWRecordWrites::post(scope, notify, TWBudgetItemNewNotification, TWBudgetItemNotificationKey,
                         item);
    return scope.commit();
}

TWErrorResult TWBusiness::updateBudgetItem(const TWBudgetItemPtr &item, bool notify)
{
    if (!item)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kBudgetItemsUpdateSQL);
        update.bindInt32(item->itemType())
            .bindInt32(item->itemIdentifier())
            .bindInt64(item->total())
            .bindText(item->unit() ? item->unit()->code() : QString())
            .bindDouble(storedStartDate(item->startDate()))
            .bindInt64(qint64(item->cycle()))
            .bindInt64(qint64(item->cycleUnit()))
            .bindBool(item->rollover())
            .bindInt32(item->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    if (m_budgetItemFilings.contains(item.get())) {
        // The listed object itself keeps its place; it may now budget another
        // account or group.
        refileBudgetItem(scope, item);
    } else {
        const TWBudgetItemPtr listed = m_budgetItemIndex.value(item->identifier());
        if (listed) {
            const qsizetype position = m_budgetItems.indexOf(listed);
            if (position >= 0)
                removeBudgetItemAt(scope, position);
        }
        appendBudgetItem(scope, item);
    }
    TWRecordWrites::post(scope, notify, TWBudgetItemUpdateNotification, TWBudgetItemNotificationKey,
                         item);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteBudgetItem(const TWBudgetItemPtr &item, bool notify)
{
    if (!item)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        if (TWErrorResult error =
                TWRecordWrites::deleteRow(*this, kBudgetItemsDeleteSQL, item->identifier()))
            return scope.finish(error);
    }
    TWBudgetItemPtr listed = m_budgetItemIndex.value(item->identifier());
    if (!listed && m_budgetItemFilings.contains(item.get()))
        listed = item;
    if (listed) {
        const qsizetype position = m_budgetItems.indexOf(listed);
        if (position >= 0)
            removeBudgetItemAt(scope, position);
    }
    TWRecordWrites::post(scope, notify, TWBudgetItemDeleteNotification, TWBudgetItemNotificationKey,
                         item);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteAllBudgetItems(bool notify)
{
    WriteScope scope(*this);
    {
        TWStatement remove = statement(kBudgetItemsDeleteAllSQL);
        if (TWErrorResult error = remove.execute())
            return scope.finish(error);
    }
    const TWBudgetItemList items = m_budgetItems;
    const QHash<qint32, TWBudgetItemPtr> index = m_budgetItemIndex;
    const QHash<quint64, TWBudgetItemList> keyIndex = m_budgetItemKeyIndex;
    const QHash<const TWBudgetItem *, BudgetItemFiling> filings = m_budgetItemFilings;
    clearBudgetItems();
    scope.onRollback([this, items, index, keyIndex, filings] {
        m_budgetItems = items;
        m_budgetItemIndex = index;
        m_budgetItemKeyIndex = keyIndex;
        m_budgetItemFilings = filings;
    });
    if (notify)
        scope.post(TWBudgetItemDeleteAllNotification);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteBudgetItemsForItem(const TWItemPtr &item, bool notify)
{
    if (!item)
        return databaseError(SQLITE_MISUSE);
    // All or none: a failure part of the way puts back the lines deleted
    // before it.
    WriteScope scope(*this);
    const TWBudgetItemList lines =
        m_budgetItemKeyIndex.value(budgetItemKey(item->type(), item->identifier()));
    for (const TWBudgetItemPtr &line : lines) {
        if (TWErrorResult error = deleteBudgetItem(line, notify))
            return scope.finish(error);
    }
    return scope.commit();
}

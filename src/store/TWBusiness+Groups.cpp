// The groups of the master list: the table, one in-memory list per kind of
// item, the default account groups of a new business, the accounts inside a
// group, and the cascade that deleting a group sets off.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "foundation/TWLocalized.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace
{

const char *const kGroupsMaxIdentifierSQL = "SELECT MAX(identifier) FROM groups;";
const char *const kGroupsSelectSQL = "SELECT identifier, type, name, tint, parentIdentifier, "
                                     "sortOrder, expanded FROM groups ORDER BY sortOrder ASC;";
const char *const kGroupsInsertSQL =
    "INSERT INTO groups ( identifier, type, name, tint, parentIdentifier, sortOrder, expanded ) "
    "VALUES ( ?, ?, ?, ?, ?, ?, ? );";
const char *const kGroupsUpdateSQL = "UPDATE groups SET name=?, tint=?, parentIdentifier=?, "
                                     "sortOrder=?, expanded=? WHERE identifier=?;";
const char *const kGroupsUpdateSortOrderSQL = "UPDATE groups SET sortOrder=? WHERE identifier=?;";
const char *const kGroupsUpdateExpandedSQL = "UPDATE groups SET expanded=? WHERE identifier=?;";
const char *const kGroupsDeleteSQL = "DELETE FROM groups WHERE identifier=?;";

// The tint is stored as one 32-bit integer: alpha, red, green and blue bytes
// from the highest down, each component times 255 truncated. No tint is 0 (so
// a fully transparent black reads back as no tint).
quint32 packedTint(const QColor &colour)
{
    if (!colour.isValid())
        return 0;
    const QColor rgb = colour.toRgb();
    auto byte = [](float component) {
        return quint32(std::clamp(double(component), 0.0, 1.0) * 255.0) & 0xFF;
    };
    return byte(rgb.alphaF()) << 24 | byte(rgb.redF()) << 16 | byte(rgb.greenF()) << 8 |
           byte(rgb.blueF());
}

QColor tintColour(quint32 tint)
{
    if (tint == 0)
        return QColor();
    return QColor::fromRgbF(float((tint >> 16) & 255) / 255.0f, float((tint >> 8) & 255) / 255.0f,
                            float(tint & 255) / 255.0f, float((tint >> 24) & 255) / 255.0f);
}

// The column is a signed 32-bit integer, so opaque tints are negative in the
// file; any stored value is read back through its low 32 bits.
qint32 storedTint(const QColor &colour)
{
    return qint32(packedTint(colour));
}

} // namespace

// ---- Lists and lookups ----

TWBusiness::GroupKindList *TWBusiness::groupKindList(int type)
{
    return const_cast<GroupKindList *>(std::as_const(*this).groupKindList(type));
}

const TWBusiness::GroupKindList *TWBusiness::groupKindList(int type) const
{
    switch (type) {
    case TWItemTypeAccountGroup:
        return &m_accountGroups;
    case TWItemTypeClientGroup:
        return &m_clientGroups;
    case TWItemTypeMerchantGroup:
        return &m_merchantGroups;
    case TWItemTypeReportGroup:
        return &m_reportGroups;
    case TWItemTypeFilterGroup:
        return &m_filterGroups;
    default:
        return nullptr;
    }
}

TWGroupPtr TWBusiness::groupWithIdentifier(qint32 identifier) const
{
    for (const GroupKindList *kind :
         {&m_accountGroups, &m_filterGroups, &m_clientGroups, &m_merchantGroups, &m_reportGroups}) {
        if (TWGroupPtr group = kind->index.value(identifier))
            return group;
    }
    return nullptr;
}

TWBusiness::GroupKindList *TWBusiness::findGroup(qint32 identifier, qsizetype *position)
{
    for (GroupKindList *kind :
         {&m_accountGroups, &m_filterGroups, &m_clientGroups, &m_merchantGroups, &m_reportGroups}) {
        const TWGroupPtr group = kind->index.value(identifier);
        if (!group)
            continue;
        const qsizetype at = kind->list.indexOf(group);
        if (at < 0)
            continue;
        *position = at;
        return kind;
    }
    return nullptr;
}

qint32 TWBusiness::nextGroupIdentifier()
{
    return nextIdentifier(kGroupsMaxIdentifierSQL);
}

TWAccountList TWBusiness::groupItems(qint32 groupIdentifier, int type) const
{
    TWAccountList result;
    if (type != TWItemTypeAccount)
        return result;
    // A chain of parents longer than the number of groups loops back on
    // itself (a damaged document); the walk stops there and leaves the
    // account out.
    const qsizetype groupCount = m_accountGroups.list.size() + m_clientGroups.list.size() +
                                 m_merchantGroups.list.size() + m_reportGroups.list.size() +
                                 m_filterGroups.list.size();
    for (const TWAccountPtr &account : m_accounts) {
        if (account->parentIdentifier() == groupIdentifier) {
            result.append(account);
            continue;
        }
        TWGroupPtr group = groupWithIdentifier(account->parentIdentifier());
        qsizetype steps = 0;
        while (group && group->identifier() != groupIdentifier && steps++ < groupCount)
            group = groupWithIdentifier(group->parentIdentifier());
        if (group && group->identifier() == groupIdentifier)
            result.append(account);
    }
    return result;
}

void TWBusiness::appendGroup(WriteScope &scope, GroupKindList &kind, const TWGroupPtr &group)
{
    kind.list.append(group);
    const bool indexed = !kind.index.contains(group->identifier());
    if (indexed)
        kind.index.insert(group->identifier(), group);
    GroupKindList *list = &kind;
    scope.onRollback([list, group, indexed] {
        list->list.removeLast();
        if (indexed)
            list->index.remove(group->identifier());
    });
}

void TWBusiness::removeGroupAt(WriteScope &scope, GroupKindList &kind, qsizetype position)
{
    const TWGroupPtr group = kind.list.takeAt(position);
    const bool indexed = kind.index.value(group->identifier()) == group;
    if (indexed)
        kind.index.remove(group->identifier());
    GroupKindList *list = &kind;
    scope.onRollback([list, group, position, indexed] {
        list->list.insert(position, group);
        if (indexed)
            list->index.insert(group->identifier(), group);
    });
}

// ---- Loading and the default groups ----

TWErrorResult TWBusiness::loadGroups()
{
    for (GroupKindList *kind :
         {&m_accountGroups, &m_clientGroups, &m_merchantGroups, &m_reportGroups, &m_filterGroups}) {
        kind->list.clear();
        kind->index.clear();
    }
    TWStatement select = statement(kGroupsSelectSQL);
    while (select.next()) {
        const int type = select.columnInt32(1);
        GroupKindList *kind = groupKindList(type);
        if (!kind)
            continue; // stored, but no kind of group the master list shows
        TWGroupPtr group = TWGroup::groupWithIdentifier(
            select.columnInt32(0), TWItemType(type), select.columnText(2), select.columnInt32(4),
            quint32(select.columnInt64(5)), tintColour(quint32(select.columnInt64(3) & 0xFFFFFFFF)),
            select.columnBool(6));
        kind->list.append(group);
        if (!kind->index.contains(group->identifier()))
            kind->index.insert(group->identifier(), group);
    }
    return select.error();
}

TWErrorResult TWBusiness::populateGroups()
{
    static const char *const kNames[] = {"assets", "liabilities", "income", "expenses", "equity"};
    const QColor grey = QColor::fromRgbF(0.33f, 0.33f, 0.33f, 1.0f);
    WriteScope scope(*this);
    for (quint32 i = 0; i < 5; ++i) {
        const QString key = QString::fromLatin1(kNames[i]);
        const QString name = TWHasLocalized(key) ? TWLocalized(key) : QString(QLatin1String(""));
        TWGroupPtr group = TWGroup::groupWithIdentifier(qint32(100 + i), TWItemTypeAccountGroup,
                                                        name, 0, i, grey, true);
        if (TWErrorResult error = addGroup(group, false))
            return scope.finish(error);
    }
    return scope.commit();
}

// ---- Writes ----

TWErrorResult TWBusiness::addGroup(const TWGroupPtr &group, bool notify)
{
    // Identifier 0 is what a failed nextGroupIdentifier gives; never stored.
    if (!group || group->identifier() == 0)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement insert = statement(kGroupsInsertSQL);
        insert.bindInt32(group->identifier())
            .bindInt32(group->type())
            .bindText(group->name())
            .bindInt32(storedTint(group->tintColour()))
            .bindInt32(group->parentIdentifier())
            .bindInt64(group->sortOrder())
            .bindBool(group->expanded());
        if (TWErrorResult error = insert.execute())
            return scope.finish(error);
    }
    // A group of any other type is stored but belongs to no list.
    if (GroupKindList *kind = groupKindList(group->type()))
        appendGroup(scope, *kind, group);
    TWRecordWrites::post(scope, notify, TWGroupNewNotification, TWGroupNotificationKey, group);
    return scope.commit();
}

TWErrorResult TWBusiness::updateGroup(const TWGroupPtr &group, bool notify)
{
    if (!group)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kGroupsUpdateSQL);
        update.bindText(group->name())
            .bindInt32(storedTint(group->tintColour()))
            .bindInt32(group->parentIdentifier())
            .bindInt64(group->sortOrder())
            .bindBool(group->expanded())
            .bindInt32(group->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    // Another object of a listed group's identifier (an edited copy) takes
    // the listed one's place, with the stored type (which is not written), so
    // the lists show what the file holds.
    qsizetype position = -1;
    if (GroupKindList *kind = findGroup(group->identifier(), &position)) {
        const TWGroupPtr listed = kind->list.at(position);
        if (listed != group) {
            const TWItemType typeBefore = group->type();
            group->setType(listed->type());
            scope.onRollback([group, typeBefore] { group->setType(typeBefore); });
            removeGroupAt(scope, *kind, position);
            appendGroup(scope, *kind, group);
        }
    }
    TWRecordWrites::post(scope, notify, TWGroupUpdateNotification, TWGroupNotificationKey, group);
    return scope.commit();
}

TWErrorResult TWBusiness::updateGroupSortOrder(const TWGroupPtr &group, bool notify)
{
    if (!group)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kGroupsUpdateSortOrderSQL);
        update.bindInt64(group->sortOrder()).bindInt32(group->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    TWRecordWrites::post(scope, notify, TWGroupUpdateNotification, TWGroupNotificationKey, group);
    return scope.commit();
}

TWErrorResult TWBusiness::updateGroupExpanded(const TWGroupPtr &group, bool notify)
{
    if (!group)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    {
        TWStatement update = statement(kGroupsUpdateExpandedSQL);
        update.bindBool(group->expanded()).bindInt32(group->identifier());
        if (TWErrorResult error = update.executeUpdate())
            return scope.finish(error);
    }
    TWRecordWrites::post(scope, notify, TWGroupUpdateNotification, TWGroupNotificationKey, group);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteGroup(const TWGroupPtr &group, bool notify)
{
    if (!group)
        return databaseError(SQLITE_MISUSE);
    // One write for the whole cascade: a failure anywhere below leaves every
    // group, item, row and notification as it was.
    WriteScope scope(*this);
    {
        if (TWErrorResult error =
                TWRecordWrites::deleteRow(*this, kGroupsDeleteSQL, group->identifier()))
            return scope.finish(error);
    }
    if (TWErrorResult error = deleteBudgetItemsForItemHook(group))
        return scope.finish(error);
    GroupKindList *kind = groupKindList(group->type());
    if (kind) {
        const qsizetype position = kind->list.indexOf(kind->index.value(group->identifier()));
        if (position >= 0)
            removeGroupAt(scope, *kind, position);
    }
    TWRecordWrites::post(scope, notify, TWGroupDeleteNotification, TWGroupNotificationKey, group);
    if (!kind)
        return scope.commit();

    // The groups inside, each with what it holds. The group itself has left
    // its list already, so a parent chain that loops back ends here.
    const TWGroupList groups = kind->list;
    for (const TWGroupPtr &child : groups) {
        if (child->parentIdentifier() != group->identifier() ||
            kind->index.value(child->identifier()) != child)
            continue;
        if (TWErrorResult error = deleteGroup(child, true))
            return scope.finish(error);
    }

    // The items directly inside.
    if (group->type() == TWItemTypeAccountGroup) {
        const TWAccountList accounts = m_accounts;
        for (const TWAccountPtr &account : accounts) {
            if (account->parentIdentifier() != group->identifier() ||
                m_accountIndex.value(account->identifier()) != account)
                continue;
            if (TWErrorResult error = deleteAccount(account, true))
                return scope.finish(error);
        }
    } else if (TWErrorResult error = deleteGroupOtherItemsHook(group)) {
        return scope.finish(error);
    }
    return scope.commit();
}

// ---- Hooks into later groups of the store ----

// Clients (client groups), merchants (merchant groups), reports (report
// groups) and filters (filter groups) directly inside the group are deleted
// with notifications by deleteClient, deleteMerchant, deleteReport and
// deleteFilter; the first error is returned and undoes the whole group
// deletion.
namespace
{

// Deletes every listed record directly inside the group, each with its own
// notifications. The walk goes over a snapshot, since every delete changes the
// list, and skips records a cascade already took away.
template <class List, class Index, class Delete>
TWErrorResult deleteRecordsInGroup(qint32 parent, const List &listed, const Index &index,
                                   Delete deleteRecord)
{
    const List records = listed;
    for (const auto &record : records) {
        if (record->parentIdentifier() != parent || index.value(record->identifier()) != record)
            continue;
        if (TWErrorResult error = deleteRecord(record))
            return error;
    }
    return std::nullopt;
}

} // namespace

TWErrorResult TWBusiness::deleteGroupOtherItemsHook(const TWGroupPtr &group)
{
    const qint32 parent = group->identifier();
    switch (group->type()) {
    case TWItemTypeClientGroup:
        return deleteRecordsInGroup(parent, m_clients, m_clientIndex, [this](const auto &client) {
            return deleteClient(client, true);
        });
    case TWItemTypeMerchantGroup:
        return deleteRecordsInGroup(
            parent, m_merchants, m_merchantIndex,
            [this](const auto &merchant) { return deleteMerchant(merchant, true); });
    case TWItemTypeReportGroup:
        return deleteRecordsInGroup(parent, m_reports, m_reportIndex, [this](const auto &report) {
            return deleteReport(report, true);
        });
    case TWItemTypeFilterGroup:
        return deleteFiltersInGroup(group, true);
    default:
        return std::nullopt;
    }
}

// Relationships: the typed links between records kept in the relationships
// table and, row for row, in the indexed in-memory list.

#include "store/TWBusiness.h"
#include "store/TWRecordWrites.h"

#include "model/TWSplit.h"
#include "model/TWTransaction.h"

#include <sqlite3.h>

namespace
{

const char *const kRelationshipsMaxIdentifierSQL = "SELECT MAX(identifier) FROM relationships;";
const char *const kRelationshipsGetSQL =
    "SELECT identifier, type, value, parentIdentifier, childIdentifier, transactionIdentifier, "
    "splitIdentifier FROM relationships;";
const char *const kRelationshipsInsertSQL =
    "INSERT INTO relationships ( identifier, type, value, parentIdentifier, childIdentifier, "
    "transactionIdentifier, splitIdentifier ) VALUES ( ?, ?, ?, ?, ?, ?, ? );";
const char *const kRelationshipsDeleteSQL = "DELETE FROM relationships WHERE identifier=?;";
const char *const kRelationshipsDeleteTypeSQL = "DELETE FROM relationships WHERE type=?;";
const char *const kRelationshipsDeleteParentSQL =
    "DELETE FROM relationships WHERE type=? AND parentIdentifier=?;";
const char *const kRelationshipsDeleteChildSQL =
    "DELETE FROM relationships WHERE type=? AND childIdentifier=?;";
const char *const kRelationshipsDeleteTransactionSQL =
    "DELETE FROM relationships WHERE transactionIdentifier=?;";
const char *const kRelationshipsDeleteSplitSQL =
    "DELETE FROM relationships WHERE splitIdentifier=?;";
const char *const kRelationshipsUpdateSQL = "UPDATE relationships SET value=? WHERE identifier=?;";

// Types are unsigned in the model and stored as 32-bit integers.
qint32 storedType(std::uint32_t type)
{
    return qint32(type);
}

} // namespace

// ---- Load ----

TWErrorResult TWBusiness::loadRelationships()
{
    m_relationships.clear();
    TWStatement query = statement(kRelationshipsGetSQL);
    while (query.next()) {
        m_relationships.append(TWRelationship::relationshipWithType(
            std::uint32_t(query.columnInt32(1)), query.columnDouble(2), query.columnInt32(3),
            query.columnInt32(4), query.columnInt32(5), query.columnInt32(6),
            query.columnInt32(0)));
    }
    return query.error();
}

// ---- Lookups ----

TWRelationshipPtr TWBusiness::relationshipWithIdentifier(qint32 identifier) const
{
    return m_relationships.withIdentifier(identifier);
}

TWRelationshipList TWBusiness::relationshipsOfType(std::uint32_t type) const
{
    return m_relationships.ofType(type);
}

TWRelationshipList TWBusiness::relationshipsWithParentIdentifier(qint32 parentIdentifier,
                                                                 std::uint32_t type) const
{
    return m_relationships.withParent(parentIdentifier, type);
}

TWRelationshipList TWBusiness::relationshipsWithChildIdentifier(qint32 childIdentifier,
                                                                std::uint32_t type) const
{
    return m_relationships.withChild(childIdentifier, type);
}

TWRelationshipList TWBusiness::relationshipsWithParentIdentifier(qint32 parentIdentifier,
                                                                 qint32 childIdentifier,
                                                                 std::uint32_t type) const
{
    return m_relationships.withParentAndChild(parentIdentifier, childIdentifier, type);
}

TWRelationshipList TWBusiness::relationshipsWithTransaction(const TWTransaction &transaction) const
{
    return m_relationships.withTransaction(transaction.identifier());
}

TWRelationshipList TWBusiness::relationshipsWithTransaction(const TWTransaction &transaction,
                                                            std::uint32_t type) const
{
    return m_relationships.withTransaction(transaction.identifier(), type);
}

TWRelationshipList TWBusiness::relationshipsWithSplit(const TWSplit &split) const
{
    return m_relationships.withSplit(split.identifier());
}

// ---- Single writes ----

TWErrorResult TWBusiness::addRelationship(const TWRelationshipPtr &relationship, bool notify)
{
    if (!relationship)
        return databaseError(SQLITE_MISUSE);
    // Identifier 0 is what a failed `nextRelationshipIdentifier` hands out.
    if (relationship->identifier() <= 0)
        return databaseError(SQLITE_MISUSE);
    // One object stands for one row: listing it twice would tie two rows to
    // whatever the object says.
    if (m_relationships.contains(relationship.get()))
        return databaseError(SQLITE_CONSTRAINT);

    WriteScope scope(*this);
    TWStatement insert = statement(kRelationshipsInsertSQL);
    insert.bindInt32(relationship->identifier())
        .bindInt32(storedType(relationship->type()))
        .bindDouble(relationship->value())
        .bindInt32(relationship->parentIdentifier())
        .bindInt32(relationship->childIdentifier())
        .bindInt32(relationship->transactionIdentifier())
        .bindInt32(relationship->splitIdentifier());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);
    m_relationships.append(relationship);
    scope.onRollback([this, relationship] { m_relationships.remove({relationship}); });
    TWRecordWrites::post(scope, notify, TWRelationshipNewNotification,
                         TWRelationshipNotificationKey, relationship);
    return scope.commit();
}

TWErrorResult TWBusiness::updateRelationship(const TWRelationshipPtr &relationship, bool notify)
{
    if (!relationship)
        return databaseError(SQLITE_MISUSE);

    WriteScope scope(*this);
    TWStatement update = statement(kRelationshipsUpdateSQL);
    update.bindDouble(relationship->value()).bindInt32(relationship->identifier());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);

    // The listed relationship keeps the value its row now holds, also when
    // the caller passed a copy; a rollback gives it the old one back.
    const TWRelationshipPtr listed = m_relationships.withIdentifier(relationship->identifier());
    if (TWRelationshipIndex::Entry *entry =
            listed ? m_relationships.entry(listed.get()) : nullptr) {
        const double previous = entry->value;
        const double value = relationship->value();
        entry->value = value;
        listed->setValue(value);
        scope.onRollback([this, listed, previous] {
            if (TWRelationshipIndex::Entry *undone = m_relationships.entry(listed.get()))
                undone->value = previous;
            listed->setValue(previous);
        });
    }
    TWRecordWrites::post(scope, notify, TWRelationshipUpdateNotification,
                         TWRelationshipNotificationKey, relationship);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteRelationship(const TWRelationshipPtr &relationship, bool notify)
{
    if (!relationship)
        return databaseError(SQLITE_MISUSE);

    WriteScope scope(*this);
    if (TWErrorResult error =
            TWRecordWrites::deleteRow(*this, kRelationshipsDeleteSQL, relationship->identifier()))
        return scope.finish(error);
    // By identifier, so that deleting through a copy does not leave the
    // listed object behind.
    const TWRelationshipIndex::Removed removed =
        m_relationships.remove(m_relationships.allWithIdentifier(relationship->identifier()));
    if (!removed.empty())
        scope.onRollback([this, removed] { m_relationships.restore(removed); });
    TWRecordWrites::post(scope, notify, TWRelationshipDeleteNotification,
                         TWRelationshipNotificationKey, relationship);
    return scope.commit();
}

// ---- Deletes by key ----

TWErrorResult
TWBusiness::deleteRelationshipsMatching(const TWRelationshipList &matches, const char *sql,
                                        const std::function<void(TWStatement &)> &bind)
{
    // The list holds every row, so no match means no row to delete; this
    // spares a scan of the table for each deleted transaction or split.
    if (matches.isEmpty())
        return std::nullopt;

    WriteScope scope(*this);
    TWStatement remove = statement(sql);
    bind(remove);
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);
    const TWRelationshipIndex::Removed removed = m_relationships.remove(matches);
    scope.onRollback([this, removed] { m_relationships.restore(removed); });
    return scope.commit();
}

TWErrorResult TWBusiness::deleteRelationshipsOfType(std::uint32_t type)
{
    return deleteRelationshipsMatching(m_relationships.ofType(type), kRelationshipsDeleteTypeSQL,
                                       [type](TWStatement &s) { s.bindInt32(storedType(type)); });
}

TWErrorResult TWBusiness::deleteParentRelationships(qint32 parentIdentifier, std::uint32_t type)
{
    return deleteRelationshipsMatching(
        m_relationships.withParent(parentIdentifier, type), kRelationshipsDeleteParentSQL,
        [=](TWStatement &s) { s.bindInt32(storedType(type)).bindInt32(parentIdentifier); });
}

TWErrorResult TWBusiness::deleteChildRelationships(qint32 childIdentifier, std::uint32_t type)
{
    // Child 0 is "none": the statement would take every year-end link.
    if (childIdentifier == 0)
        return std::nullopt;
    return deleteRelationshipsMatching(
        m_relationships.withChild(childIdentifier, type), kRelationshipsDeleteChildSQL,
        [=](TWStatement &s) { s.bindInt32(storedType(type)).bindInt32(childIdentifier); });
}

TWErrorResult TWBusiness::deleteTransactionRelationships(const TWTransaction &transaction)
{
    // A transaction that was never stored has identifier 0, which every link
    // without a transaction (billed tasks and expenses) carries as well.
    const qint32 identifier = transaction.identifier();
    if (identifier == 0)
        return std::nullopt;
    return deleteRelationshipsMatching(m_relationships.withTransaction(identifier),
                                       kRelationshipsDeleteTransactionSQL,
                                       [identifier](TWStatement &s) { s.bindInt32(identifier); });
}

TWErrorResult TWBusiness::deleteSplitRelationships(const TWSplit &split)
{
    // A split line that was never stored has identifier 0, which every link
    // without a split carries as well: billed tasks and expenses and the
    // payments made by whole transactions.
    const qint32 identifier = split.identifier();
    if (identifier == 0)
        return std::nullopt;
    return deleteRelationshipsMatching(m_relationships.withSplit(identifier),
                                       kRelationshipsDeleteSplitSQL,
                                       [identifier](TWStatement &s) { s.bindInt32(identifier); });
}

// ---- Identifiers and bulk notification ----

qint32 TWBusiness::nextRelationshipIdentifier()
{
    return nextIdentifier(kRelationshipsMaxIdentifierSQL);
}

void TWBusiness::notifyRelationshipsAdd()
{
    notifyBulk(TWRelationshipNewNotification);
}

#pragma once
// The store's in-memory relationships: the list in table order together with
// indexes by identifier, transaction, split, parent and child, so that the
// per-transaction and per-invoice lookups of registers, balances and invoices
// never scan the whole list. Every index answers in list order.
//
// Each listed relationship is indexed under the keys it had when it was
// listed, which are the keys its table row holds (the store writes only the
// value afterwards); the lookups compare those keys, never fields changed on
// the object behind the store's back.

#include "model/TWRelationship.h"

#include <QHash>
#include <QList>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class TWRelationshipIndex
{
public:
    // What the table row of one listed relationship holds, and the place of
    // the relationship in the list (`order` grows along the list).
    struct Entry {
        quint64 order = 0;
        qint32 identifier = 0;
        std::uint32_t type = 0;
        double value = 0.0;
        qint32 parentIdentifier = 0;
        qint32 childIdentifier = 0;
        qint32 transactionIdentifier = 0;
        qint32 splitIdentifier = 0;
    };
    using Removed = std::vector<std::pair<TWRelationshipPtr, Entry>>;

    const TWRelationshipList &list() const { return m_list; }
    bool isEmpty() const { return m_list.isEmpty(); }
    bool contains(const TWRelationship *relationship) const
    {
        return m_entries.contains(relationship);
    }
    // The row a listed relationship stands for; nullptr when it is not listed.
    Entry *entry(const TWRelationship *relationship);

    void clear();
    // Appends a relationship that is not listed yet, indexed under its
    // current fields.
    void append(const TWRelationshipPtr &relationship);
    // Removes listed relationships (others are skipped) and hands back their
    // entries, for `restore`.
    Removed remove(const TWRelationshipList &relationships);
    // Puts removed relationships back at their old places.
    void restore(const Removed &removed);

    // The first listed relationship with the identifier, or null.
    TWRelationshipPtr withIdentifier(qint32 identifier) const;
    // Every listed relationship with the identifier (one, unless a document
    // from elsewhere repeats identifiers beyond 32 bits).
    TWRelationshipList allWithIdentifier(qint32 identifier) const;
    TWRelationshipList ofType(std::uint32_t type) const;
    TWRelationshipList withParent(qint32 parentIdentifier, std::uint32_t type) const;
    TWRelationshipList withChild(qint32 childIdentifier, std::uint32_t type) const;
    TWRelationshipList withParentAndChild(qint32 parentIdentifier, qint32 childIdentifier,
                                          std::uint32_t type) const;
    TWRelationshipList withTransaction(qint32 transactionIdentifier) const;
    TWRelationshipList withTransaction(qint32 transactionIdentifier, std::uint32_t type) const;
    TWRelationshipList withSplit(qint32 splitIdentifier) const;

private:
    enum Key { ByIdentifier, ByTransaction, BySplit, ByParent, ByChild, KeyCount };
    using Buckets = QHash<quint64, TWRelationshipList>;

    // The bucket key of an entry in one index; false when the entry is not
    // indexed there (no transaction, no split, no child).
    static bool bucketKey(Key index, const Entry &entry, quint64 *key);
    static quint64 typedKey(std::uint32_t type, qint32 identifier);

    quint64 orderOf(const TWRelationshipPtr &relationship) const;
    // Inserts at the place `order` gives (usually the end).
    void insertOrdered(TWRelationshipList &list, const TWRelationshipPtr &relationship,
                       quint64 order);
    void insert(const TWRelationshipPtr &relationship, const Entry &entry);
    // The bucket under the key; an empty list when there is none.
    const TWRelationshipList &bucket(Key index, quint64 key) const;
    // The elements of `list` whose entries match.
    template <typename Matches>
    TWRelationshipList filtered(const TWRelationshipList &list, Matches matches) const;

    TWRelationshipList m_list;
    QHash<const TWRelationship *, Entry> m_entries;
    std::array<Buckets, KeyCount> m_buckets;
    quint64 m_nextOrder = 1;
};

#include "store/TWRelationshipIndex.h"

#include <QSet>

#include <algorithm>

TWRelationshipIndex::Entry *TWRelationshipIndex::entry(const TWRelationship *relationship)
{
    const auto found = m_entries.find(relationship);
    return found == m_entries.end() ? nullptr : &found.value();
}

void TWRelationshipIndex::clear()
{
    m_list.clear();
    m_entries.clear();
    for (Buckets &buckets : m_buckets)
        buckets.clear();
    m_nextOrder = 1;
}

quint64 TWRelationshipIndex::typedKey(std::uint32_t type, qint32 identifier)
{
    return (quint64(type) << 32) | quint32(identifier);
}

bool TWRelationshipIndex::bucketKey(Key index, const Entry &entry, quint64 *key)
{
    switch (index) {
    case ByIdentifier:
        *key = quint32(entry.identifier);
        return true;
    case ByTransaction:
        *key = quint32(entry.transactionIdentifier);
        return entry.transactionIdentifier != 0;
    case BySplit:
        *key = quint32(entry.splitIdentifier);
        return entry.splitIdentifier != 0;
    case ByParent:
        // Parent 0 is a real key: the year-end transfers of the gap before
        // the first accounting period hang off it.
        *key = typedKey(entry.type, entry.parentIdentifier);
        return true;
    case ByChild:
        *key = typedKey(entry.type, entry.childIdentifier);
        return entry.childIdentifier != 0;
    case KeyCount:
        break;
    }
    return false;
}

quint64 TWRelationshipIndex::orderOf(const TWRelationshipPtr &relationship) const
{
    return m_entries.value(relationship.get()).order;
}

void TWRelationshipIndex::insertOrdered(TWRelationshipList &list,
                                        const TWRelationshipPtr &relationship, quint64 order)
{
    if (list.isEmpty() || orderOf(list.constLast()) < order) {
        list.append(relationship);
        return;
    }
    const auto place = std::lower_bound(
        list.cbegin(), list.cend(), order,
        [this](const TWRelationshipPtr &element, quint64 o) { return orderOf(element) < o; });
    list.insert(place - list.cbegin(), relationship);
}

void TWRelationshipIndex::insert(const TWRelationshipPtr &relationship, const Entry &entry)
{
    m_entries.insert(relationship.get(), entry);
    insertOrdered(m_list, relationship, entry.order);
    for (int index = 0; index < KeyCount; ++index) {
        quint64 key = 0;
        if (bucketKey(Key(index), entry, &key))
            insertOrdered(m_buckets[index][key], relationship, entry.order);
    }
}

void TWRelationshipIndex::append(const TWRelationshipPtr &relationship)
{
    if (!relationship || m_entries.contains(relationship.get()))
        return;
    Entry entry;
    entry.order = m_nextOrder++;
    entry.identifier = relationship->identifier();
    entry.type = relationship->type();
    entry.value = relationship->value();
    entry.parentIdentifier = relationship->parentIdentifier();
    entry.childIdentifier = relationship->childIdentifier();
    entry.transactionIdentifier = relationship->transactionIdentifier();
    entry.splitIdentifier = relationship->splitIdentifier();
    insert(relationship, entry);
}

TWRelationshipIndex::Removed TWRelationshipIndex::remove(const TWRelationshipList &relationships)
{
    Removed removed;
    QSet<const TWRelationship *> taken;
    for (const TWRelationshipPtr &relationship : relationships) {
        const auto found = m_entries.constFind(relationship.get());
        if (found == m_entries.cend() || taken.contains(relationship.get()))
            continue;
        taken.insert(relationship.get());
        removed.emplace_back(relationship, found.value());
    }
    if (removed.empty())
        return removed;

    // The list, while the entries still give every element's place.
    if (removed.size() == 1) {
        const quint64 order = removed.front().second.order;
        const auto place = std::lower_bound(
            m_list.cbegin(), m_list.cend(), order,
            [this](const TWRelationshipPtr &element, quint64 o) { return orderOf(element) < o; });
        m_list.removeAt(place - m_list.cbegin());
    } else {
        m_list.removeIf(
            [&taken](const TWRelationshipPtr &element) { return taken.contains(element.get()); });
    }

    // The buckets: elements leave a bucket in its own order, so each is found
    // at or near its front.
    for (const auto &[relationship, entry] : removed) {
        for (int index = 0; index < KeyCount; ++index) {
            quint64 key = 0;
            if (!bucketKey(Key(index), entry, &key))
                continue;
            const auto bucket = m_buckets[index].find(key);
            if (bucket == m_buckets[index].end())
                continue;
            bucket->removeOne(relationship);
            if (bucket->isEmpty())
                m_buckets[index].erase(bucket);
        }
        m_entries.remove(relationship.get());
    }
    return removed;
}

void TWRelationshipIndex::restore(const Removed &removed)
{
    for (const auto &[relationship, entry] : removed) {
        if (!m_entries.contains(relationship.get()))
            insert(relationship, entry);
    }
}

const TWRelationshipList &TWRelationshipIndex::bucket(Key index, quint64 key) const
{
    static const TWRelationshipList none;
    const auto found = m_buckets[index].constFind(key);
    return found == m_buckets[index].cend() ? none : *found;
}

template <typename Matches>
TWRelationshipList TWRelationshipIndex::filtered(const TWRelationshipList &list,
                                                 Matches matches) const
{
    const auto match = [this, &matches](const TWRelationshipPtr &relationship) {
        const auto entry = m_entries.constFind(relationship.get());
        return entry != m_entries.cend() && matches(entry.value());
    };
    // Usually every element matches: the list itself is handed out, shared.
    qsizetype kept = 0;
    while (kept < list.size() && match(list.at(kept)))
        ++kept;
    if (kept == list.size())
        return list;
    TWRelationshipList found = list.first(kept);
    for (qsizetype i = kept + 1; i < list.size(); ++i) {
        if (match(list.at(i)))
            found.append(list.at(i));
    }
    return found;
}

TWRelationshipPtr TWRelationshipIndex::withIdentifier(qint32 identifier) const
{
    return bucket(ByIdentifier, quint32(identifier)).value(0);
}

TWRelationshipList TWRelationshipIndex::allWithIdentifier(qint32 identifier) const
{
    return bucket(ByIdentifier, quint32(identifier));
}

TWRelationshipList TWRelationshipIndex::ofType(std::uint32_t type) const
{
    return filtered(m_list, [type](const Entry &entry) { return entry.type == type; });
}

TWRelationshipList TWRelationshipIndex::withParent(qint32 parentIdentifier,
                                                   std::uint32_t type) const
{
    return bucket(ByParent, typedKey(type, parentIdentifier));
}

TWRelationshipList TWRelationshipIndex::withChild(qint32 childIdentifier, std::uint32_t type) const
{
    if (childIdentifier == 0)
        return {};
    return bucket(ByChild, typedKey(type, childIdentifier));
}

TWRelationshipList TWRelationshipIndex::withParentAndChild(qint32 parentIdentifier,
                                                           qint32 childIdentifier,
                                                           std::uint32_t type) const
{
    if (childIdentifier == 0)
        return {};
    return filtered(bucket(ByChild, typedKey(type, childIdentifier)),
                    [parentIdentifier](const Entry &entry) {
                        return entry.parentIdentifier == parentIdentifier;
                    });
}

TWRelationshipList TWRelationshipIndex::withTransaction(qint32 transactionIdentifier) const
{
    if (transactionIdentifier == 0)
        return {};
    return bucket(ByTransaction, quint32(transactionIdentifier));
}

TWRelationshipList TWRelationshipIndex::withTransaction(qint32 transactionIdentifier,
                                                        std::uint32_t type) const
{
    if (transactionIdentifier == 0)
        return {};
    return filtered(bucket(ByTransaction, quint32(transactionIdentifier)),
                    [type](const Entry &entry) { return entry.type == type; });
}

TWRelationshipList TWRelationshipIndex::withSplit(qint32 splitIdentifier) const
{
    if (splitIdentifier == 0)
        return {};
    return bucket(BySplit, quint32(splitIdentifier));
}

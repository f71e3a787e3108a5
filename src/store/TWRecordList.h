#pragma once
// An in-memory record list of the store together with two indexes kept in step
// with it: identifier -> record, and owner identifier -> that owner's records
// in list order (a project's tasks, a task's time items). Lookups by either
// are hash lookups, never scans.
//
// Changes made inside a write register their own undo with the write scope
// passed in, so a write that rolls back leaves the list and both indexes
// exactly as they were. Undos run in reverse order, which the position-based
// restores rely on.

#include <QHash>
#include <QList>

#include <memory>
#include <optional>

template <class T> class TWRecordList
{
public:
    using Ptr = std::shared_ptr<T>;
    using List = QList<Ptr>;
    // The owner identifier a record is filed under.
    using OwnerFunction = qint32 (*)(const T &);

    explicit TWRecordList(OwnerFunction owner) : m_ownerOf(owner) {}

    // In load order, then additions at the end.
    const List &list() const { return m_list; }
    // The first listed record with the identifier; nullptr when none.
    Ptr withIdentifier(qint32 identifier) const { return m_index.value(identifier); }
    // The records filed under the owner, in list order.
    List withOwner(qint32 owner) const { return m_byOwner.value(owner); }
    // The records in list order, each once for every time its owner (as its
    // field says) is counted in `times`.
    List withOwnerCounts(const QHash<qint32, int> &times) const
    {
        List result;
        if (times.isEmpty())
            return result;
        for (const Ptr &record : m_list) {
            for (int n = times.value(m_ownerOf(*record)); n > 0; --n)
                result.append(record);
        }
        return result;
    }
    // Whether this very object is listed.
    bool contains(const T *record) const { return m_filedOwner.contains(record); }
    // The owner a listed object was filed under when it was listed: its owner
    // as stored, whatever its field says since.
    std::optional<qint32> filedOwner(const T *record) const
    {
        const auto found = m_filedOwner.constFind(record);
        if (found == m_filedOwner.constEnd())
            return std::nullopt;
        return *found;
    }

    // The owner a record is stored under: the filed owner of this very object
    // when it is listed, else that of the listed record with its identifier;
    // none when neither is listed.
    std::optional<qint32> storedOwner(const T &record) const
    {
        if (const std::optional<qint32> owner = filedOwner(&record))
            return owner;
        if (const Ptr listed = withIdentifier(record.identifier()))
            return filedOwner(listed.get());
        return std::nullopt;
    }

    // Outside writes (loading): no undo.
    void clear()
    {
        m_list.clear();
        m_index.clear();
        m_byOwner.clear();
        m_filedOwner.clear();
        m_count.clear();
    }
    void load(const Ptr &record) { insertAt(m_list.size(), record); }

    // Appends the record (unless this very object is listed already), with
    // its undo registered in `scope`.
    template <class Scope> void append(Scope &scope, const Ptr &record)
    {
        if (!record || contains(record.get()))
            return; // an object is listed once
        const qsizetype position = m_list.size();
        const IndexState before = indexState(record->identifier());
        const qint32 owner = insertAt(position, record);
        scope.onRollback([this, record, position, owner, before] {
            eraseAt(position, record, owner);
            restoreIndex(record->identifier(), before);
        });
    }

    // Removes every listed record with the identifier, each with its undo.
    template <class Scope> void removeIdentifier(Scope &scope, qint32 identifier)
    {
        while (const Ptr listed = m_index.value(identifier))
            remove(scope, listed);
    }

    // Removes this very object when it is listed, with its undo.
    template <class Scope> void remove(Scope &scope, const Ptr &record)
    {
        if (!record || !contains(record.get()))
            return;
        const qsizetype position = m_list.indexOf(record);
        const qint32 owner = m_filedOwner.value(record.get());
        const qsizetype ownerPosition = m_byOwner.value(owner).indexOf(record);
        const IndexState before = indexState(record->identifier());
        eraseAt(position, record, owner);
        scope.onRollback([this, record, position, owner, ownerPosition, before] {
            m_list.insert(position, record);
            m_byOwner[owner].insert(ownerPosition, record);
            m_filedOwner.insert(record.get(), owner);
            ++m_count[record->identifier()];
            restoreIndex(record->identifier(), before);
        });
    }

    // After an update: this very object stays where it is; another object
    // takes the place of the listed record with its identifier (if any) at
    // the end of the list.
    template <class Scope> void replace(Scope &scope, const Ptr &record)
    {
        if (!record || contains(record.get()))
            return;
        if (const Ptr listed = withIdentifier(record->identifier()))
            remove(scope, listed);
        append(scope, record);
    }

private:
    struct IndexState {
        Ptr indexed;
    };

    IndexState indexState(qint32 identifier) const { return {m_index.value(identifier)}; }

    void restoreIndex(qint32 identifier, const IndexState &state)
    {
        if (state.indexed)
            m_index.insert(identifier, state.indexed);
        else
            m_index.remove(identifier);
    }

    // Lists the record at `position` of the list, filed under its owner's
    // list at the end (the owner lists follow the list's order because
    // records only ever join the list at its end, or return to where they
    // were).
    qint32 insertAt(qsizetype position, const Ptr &record)
    {
        const qint32 owner = m_ownerOf(*record);
        m_list.insert(position, record);
        m_byOwner[owner].append(record);
        m_filedOwner.insert(record.get(), owner);
        ++m_count[record->identifier()];
        if (!m_index.contains(record->identifier()))
            m_index.insert(record->identifier(), record);
        return owner;
    }

    void eraseAt(qsizetype position, const Ptr &record, qint32 owner)
    {
        m_list.removeAt(position);
        auto byOwner = m_byOwner.find(owner);
        if (byOwner != m_byOwner.end()) {
            byOwner->removeOne(record);
            if (byOwner->isEmpty())
                m_byOwner.erase(byOwner);
        }
        m_filedOwner.remove(record.get());
        const qint32 identifier = record->identifier();
        if (--m_count[identifier] <= 0)
            m_count.remove(identifier);
        if (m_index.value(identifier) == record) {
            m_index.remove(identifier);
            // Only a damaged document lists two records with one identifier;
            // the next of them in list order takes over the index.
            if (m_count.contains(identifier)) {
                for (const Ptr &other : std::as_const(m_list)) {
                    if (other->identifier() == identifier) {
                        m_index.insert(identifier, other);
                        break;
                    }
                }
            }
        }
    }

    OwnerFunction m_ownerOf;
    List m_list;
    QHash<qint32, Ptr> m_index;
    QHash<qint32, List> m_byOwner;
    QHash<const T *, qint32> m_filedOwner;
    QHash<qint32, int> m_count;
};

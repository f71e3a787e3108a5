#pragma once
// Keeps one of the store's entity lists and its identifier index in step
// inside a write: each change registers the undo that puts both back as they
// were if the write (or one enclosing it) rolls back.

#include "store/TWBusiness.h"

#include <QHash>
#include <QList>

#include <algorithm>
#include <memory>

namespace TWStoreLists
{

template <typename T> using Index = QHash<qint32, std::shared_ptr<T>>;

// Appends the item; the index takes it unless it already holds another one
// of that identifier.
template <typename T>
void append(TWBusiness::WriteScope &scope, QList<std::shared_ptr<T>> &list, Index<T> &index,
            const std::shared_ptr<T> &item)
{
    list.append(item);
    const bool indexed = !index.contains(item->identifier());
    if (indexed)
        index.insert(item->identifier(), item);
    QList<std::shared_ptr<T>> *listPointer = &list;
    Index<T> *indexPointer = &index;
    scope.onRollback([listPointer, indexPointer, item, indexed] {
        const qsizetype at = listPointer->lastIndexOf(item);
        if (at >= 0)
            listPointer->removeAt(at);
        if (indexed)
            indexPointer->remove(item->identifier());
    });
}

// Removes the item at the position (and from the index when it is the
// indexed one); the undo puts it back at the same position.
template <typename T>
void removeAt(TWBusiness::WriteScope &scope, QList<std::shared_ptr<T>> &list, Index<T> &index,
              qsizetype position)
{
    const std::shared_ptr<T> item = list.takeAt(position);
    const bool indexed = index.value(item->identifier()) == item;
    if (indexed)
        index.remove(item->identifier());
    QList<std::shared_ptr<T>> *listPointer = &list;
    Index<T> *indexPointer = &index;
    scope.onRollback([listPointer, indexPointer, item, position, indexed] {
        listPointer->insert(std::min(position, listPointer->size()), item);
        if (indexed)
            indexPointer->insert(item->identifier(), item);
    });
}

// Removes the listed object of the item's identifier, if any.
template <typename T>
void removeListed(TWBusiness::WriteScope &scope, QList<std::shared_ptr<T>> &list, Index<T> &index,
                  const std::shared_ptr<T> &item)
{
    const std::shared_ptr<T> listed = index.value(item->identifier());
    const qsizetype position = list.indexOf(listed ? listed : item);
    if (position >= 0)
        removeAt(scope, list, index, position);
}

// After an update: an object other than the listed one of its identifier
// takes that one's place at the end of the list; the listed object itself
// stays where it is.
template <typename T>
void replaceListed(TWBusiness::WriteScope &scope, QList<std::shared_ptr<T>> &list, Index<T> &index,
                   const std::shared_ptr<T> &item)
{
    const std::shared_ptr<T> listed = index.value(item->identifier());
    if (listed == item)
        return;
    if (listed)
        removeListed(scope, list, index, listed);
    append(scope, list, index, item);
}

} // namespace TWStoreLists

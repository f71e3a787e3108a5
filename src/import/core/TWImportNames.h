#pragma once
// Finds the accounts, clients, projects, list entries and tags that an import
// file names. A name that equals a record's name (ignoring case) is that
// record; otherwise the first record, in the store's order, whose name holds
// the text word by word (TWStringAdditions::searchString with contains). An
// exact name wins over an earlier partial one, so "Food" never lands on "Food
// Delivery" when both exist. Each distinct text is looked up once, so a file
// of thousands of rows costs as many searches as it has different names.

#include "foundation/TWStringAdditions.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

template <typename T> class TWImportNames
{
public:
    using Ptr = std::shared_ptr<T>;

    TWImportNames() = default;
    // `records` in the store's order; null entries are skipped.
    explicit TWImportNames(const QList<Ptr> &records)
    {
        m_records.reserve(records.size());
        for (const Ptr &record : records)
            add(record);
    }

    // The record the text names; null when none does. An empty text names the
    // first record (the word search's empty-search rule).
    Ptr find(const QString &text)
    {
        const auto cached = m_found.constFind(text);
        if (cached != m_found.constEnd())
            return *cached;
        Ptr found = m_exact.value(text.toUpper());
        if (!found) {
            for (const Ptr &record : std::as_const(m_records)) {
                if (TWStringAdditions::searchString(record->name(), text, true)) {
                    found = record;
                    break;
                }
            }
        }
        m_found.insert(text, found);
        return found;
    }

    // The record whose name equals the text (ignoring case) and nothing else.
    Ptr findExact(const QString &text) const { return m_exact.value(text.toUpper()); }

    // A record made during the import (a new list entry or tag): later texts
    // can name it.
    void add(const Ptr &record)
    {
        if (!record)
            return;
        m_records.append(record);
        const QString key = record->name().toUpper();
        if (!m_exact.contains(key))
            m_exact.insert(key, record);
        m_found.clear();
    }

    bool isEmpty() const { return m_records.isEmpty(); }

private:
    QList<Ptr> m_records;
    QHash<QString, Ptr> m_exact; // upper-cased name -> first record with it
    QHash<QString, Ptr> m_found; // text -> answer (null: none)
};

#pragma once
// Makes SQLite refuse one kind of statement on one table while the guard
// lives (through the connection's authorizer), so a test can fail a chosen
// step of a multi-statement write with a real database error.

#include "store/TWBusiness.h"

#include <QByteArray>

#include <sqlite3.h>

class TWDenyGuard
{
public:
    // `action` is an SQLite authorizer action code (SQLITE_INSERT,
    // SQLITE_CREATE_TABLE, ...); `table` the name it acts on.
    TWDenyGuard(TWBusiness &business, int action, const char *table)
        : m_database(business.database()), m_action(action), m_table(table)
    {
        sqlite3_set_authorizer(m_database, &TWDenyGuard::authorize, this);
    }
    ~TWDenyGuard() { sqlite3_set_authorizer(m_database, nullptr, nullptr); }
    TWDenyGuard(const TWDenyGuard &) = delete;
    TWDenyGuard &operator=(const TWDenyGuard &) = delete;

private:
    static int authorize(void *context, int action, const char *first, const char *, const char *,
                         const char *)
    {
        const auto *guard = static_cast<const TWDenyGuard *>(context);
        if (action == guard->m_action && first && guard->m_table == first)
            return SQLITE_DENY;
        return SQLITE_OK;
    }

    sqlite3 *m_database;
    int m_action;
    QByteArray m_table;
};

#pragma once
// One use of a prepared SQL statement of a business store: typed binding,
// stepping with the store's success rules and typed column reading. The
// statement is reset (and its bindings cleared) when this object goes away, so
// no statement is ever left running: an unfinished statement keeps its tables
// locked and makes a later DROP TABLE or ROLLBACK fail.
//
// Obtained from `TWBusiness::statement(sql)`. Binding goes parameter by
// parameter in the order of the SQL text; after the first failing bind the
// remaining binds are ignored and `execute()`/`next()` return that failure
// without stepping.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string_view>

struct sqlite3_stmt;
class TWBusiness;

class TWStatement
{
public:
    TWStatement() = default;
    TWStatement(TWStatement &&other) noexcept;
    TWStatement &operator=(TWStatement &&other) noexcept;
    TWStatement(const TWStatement &) = delete;
    TWStatement &operator=(const TWStatement &) = delete;
    ~TWStatement();

    // False when the text could not be prepared (or there is no database).
    bool isPrepared() const { return m_statement != nullptr; }

    // Binding, next parameter first. A null QString or QByteArray binds NULL;
    // texts are bound as UTF-8 copies, so nothing bound must outlive the call.
    TWStatement &bindInt32(qint32 value);
    TWStatement &bindInt64(qint64 value);
    TWStatement &bindDouble(double value);
    TWStatement &bindBool(bool value); // 0 or 1
    TWStatement &bindText(const QString &value);
    TWStatement &bindBlob(const QByteArray &value);
    TWStatement &bindNull();

    // Runs a statement that returns no rows (a row counts as success too) and
    // resets it at once. Success is SQLITE_OK or SQLITE_DONE; anything else is
    // returned as a database error record.
    TWErrorResult execute();
    // Runs the UPDATE of one stored record like execute(), and fails with
    // SQLITE_NOTFOUND when it changed no row: the record was deleted, and
    // the caller must not list or announce it again.
    TWErrorResult executeUpdate();
    // Steps a query: true with a row to read; false at the end or on failure
    // (then `error()` holds it).
    bool next();
    // The raw result code of one step (for callers with their own rules);
    // a preparation or bind failure is returned without stepping.
    int step();
    // Resets early (the destructor does it anyway), so the statement can run
    // again; bindings stay.
    void reset();

    // The first failing SQLite result code, 0 when nothing failed.
    int failureCode() const { return m_failure; }
    // The first failure as a "Tallyworth Database Error" record, or none.
    TWErrorResult error() const;

    // Columns of the current row, numbered from 0.
    bool isNull(int column) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL
    // (also without a statement).
    int columnType(int column) const;
    qint32 columnInt32(int column) const;
    qint64 columnInt64(int column) const;
    double columnDouble(int column) const;
    bool columnBool(int column) const;       // any non-zero integer
    QString columnText(int column) const;    // NULL gives a null QString
    QByteArray columnBlob(int column) const; // NULL gives a null QByteArray
    // The column's text as SQLite holds it (UTF-8), without a copy: valid only
    // until the statement moves on. Empty for NULL and for an empty text.
    std::string_view columnUtf8(int column) const;

private:
    friend class TWBusiness;
    TWStatement(TWBusiness *business, sqlite3_stmt *statement, bool owned, std::uint64_t generation,
                int failure);
    void release();
    bool bindResult(int rc);

    TWBusiness *m_business = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    // A private copy made because the cached statement of the same text was
    // in use further up the call stack; finalised instead of kept.
    bool m_owned = false;
    std::uint64_t m_generation = 0;
    int m_bindIndex = 0;
    int m_failure = 0;
    bool m_done = false;
};

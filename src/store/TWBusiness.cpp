#include "store/TWBusiness.h"

#include "model/TWPreferences.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWNotificationCenter.h"
#include "foundation/TWSQLitePageCache.h"

#include "store/TWNotifications.h"

#include <QSettings>
#include <QThreadPool>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

TWBusiness::TWBusiness() : m_operationQueue(std::make_unique<QThreadPool>())
{
    // Before this business starts SQLite (a no-op when it is running).
    TWSQLitePageCache::install();
    m_deleteAttachments.reserve(100);
}

TWBusiness::~TWBusiness()
{
    // Background work may still read the store: stop what has not started and
    // wait for the rest before the database goes away.
    m_operationQueue->clear();
    m_operationQueue->waitForDone();
    closeDatabase();
}

std::unique_ptr<TWBusiness> TWBusiness::businessWithInMemorySchema(TWErrorResult *error)
{
    auto business = std::make_unique<TWBusiness>();
    TWErrorResult result = business->openInMemoryDatabase();
    if (!result)
        result = business->prepareSchema(false);
    if (error)
        *error = result;
    if (result)
        return nullptr;
    return business;
}

std::unique_ptr<TWBusiness>
TWBusiness::businessWithConnection(sqlite3 *connection, bool allowUpgrade, TWErrorResult *error)
{
    auto business = std::make_unique<TWBusiness>();
    TWErrorResult result = business->adoptDatabase(connection);
    if (!result)
        result = business->prepareSchema(allowUpgrade);
    if (error)
        *error = result;
    if (result)
        return nullptr;
    return business;
}

TWErrorResult TWBusiness::hardenConnection(sqlite3 *connection)
{
    if (!connection)
        return databaseError(SQLITE_MISUSE);
    int rc = sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_db_config(connection, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    if (rc != SQLITE_OK)
        return databaseError(rc);
    return std::nullopt;
}

TWErrorResult TWBusiness::openInMemoryDatabase()
{
    closeDatabase();
    sqlite3 *connection = nullptr;
    // The store is used from the main thread only: no mutex on every call.
    // File names given to it as URIs (an opening attaches the package's file
    // read-only that way).
    const int rc = sqlite3_open_v2(":memory:", &connection,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                       SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                                   nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(connection);
        return databaseError(rc);
    }
    // Names, notes, logos and icons fit in a few megabytes; a larger value is
    // refused when it is read or written instead of being held in memory.
    sqlite3_limit(connection, SQLITE_LIMIT_LENGTH, TWStoredRowSizeLimit);
    return adoptDatabase(connection);
}

TWErrorResult TWBusiness::adoptDatabase(sqlite3 *connection)
{
    closeDatabase();
    if (!connection)
        return databaseError(SQLITE_MISUSE);
    m_database = connection;
    bumpReadingRevision();
    m_readingChanges = sqlite3_total_changes64(connection);
    m_rowsSeen = 0;
    sqlite3_update_hook(
        connection,
        [](void *business, int, const char *database, const char *table, sqlite3_int64) {
            static_cast<TWBusiness *>(business)->noteRowChanged(database, table);
        },
        this);
    if (TWErrorResult error = hardenConnection(connection)) {
        closeDatabase();
        return error;
    }
    return std::nullopt;
}

void TWBusiness::closeDatabase()
{
    if (!m_database)
        return;
    for (sqlite3_stmt *statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    m_statements.clear();
    m_busyStatements.clear();
    ++m_generation;
    bumpReadingRevision();
    m_levels.clear();
    m_inTransaction = false;
    // Statements still held by objects further up the stack are finalised
    // when those go away; until then the connection lingers as a zombie.
    sqlite3_close_v2(m_database);
    m_database = nullptr;
    m_attachmentsFolderPath.clear();
}

void TWBusiness::setAutofill(bool autofill)
{
    m_autofill = autofill;
    postNotification(TWAutofillUpdatedNotification);
}

// ---- Statements ----

TWStatement TWBusiness::statement(const char *sql)
{
    if (!m_database || !sql)
        return TWStatement(nullptr, nullptr, false, 0, SQLITE_MISUSE);
    const QByteArray key = QByteArray::fromRawData(sql, qsizetype(qstrlen(sql)));
    const auto found = m_statements.constFind(key);
    if (found != m_statements.cend() && !m_busyStatements.contains(found.value())) {
        m_busyStatements.insert(found.value());
        return TWStatement(this, found.value(), false, m_generation, SQLITE_OK);
    }
    // Not prepared yet, or in use by an operation further up the stack (a
    // cascade calling the same operation again): prepare it (again).
    const bool cache = found == m_statements.cend();
    sqlite3_stmt *prepared = nullptr;
    int rc = sqlite3_prepare_v3(m_database, sql, -1, cache ? SQLITE_PREPARE_PERSISTENT : 0,
                                &prepared, nullptr);
    if (rc == SQLITE_OK && !prepared)
        rc = SQLITE_MISUSE; // an empty text
    if (rc != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return TWStatement(nullptr, nullptr, false, 0, rc);
    }
    if (!cache)
        return TWStatement(this, prepared, true, m_generation, SQLITE_OK);
    m_statements.insert(QByteArray(sql), prepared);
    m_busyStatements.insert(prepared);
    return TWStatement(this, prepared, false, m_generation, SQLITE_OK);
}

void TWBusiness::releaseStatement(sqlite3_stmt *statement, bool owned, std::uint64_t generation)
{
    if (owned) {
        sqlite3_finalize(statement);
        return;
    }
    if (generation != m_generation)
        return; // finalised by closeDatabase
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    m_busyStatements.remove(statement);
}

TWErrorResult TWBusiness::executeSQL(const QString &sql)
{
    if (!m_database)
        return databaseError(SQLITE_MISUSE);
    char *message = nullptr;
    const int rc = sqlite3_exec(m_database, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        return databaseError(rc, text);
    return std::nullopt;
}

// ---- Errors ----

TWError TWBusiness::databaseError(int code, const QString &message)
{
    QString description = message;
    if (description.isEmpty()) {
        // What the primary code means, for the codes a user can meet.
        const char *key = "databaseErrorDescription";
        switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            key = "databaseBusyDescription";
            break;
        case SQLITE_NOMEM:
            key = "databaseNoMemoryDescription";
            break;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            key = "databaseReadOnlyDescription";
            break;
        case SQLITE_IOERR:
            key = "databaseDiskErrorDescription";
            break;
        case SQLITE_CORRUPT:
            key = "databaseDamagedDescription";
            break;
        case SQLITE_FULL:
            key = "databaseFullDescription";
            break;
        case SQLITE_CANTOPEN:
            key = "databaseCannotOpenDescription";
            break;
        case SQLITE_TOOBIG:
            key = "databaseTooBigDescription";
            break;
        case SQLITE_CONSTRAINT:
            key = "databaseConstraintDescription";
            break;
        case SQLITE_NOTADB:
            key = "databaseNotDatabaseDescription";
            break;
        default:
            break;
        }
        description = TWLocalized(key).arg(code);
    }
    return TWError(TWDatabaseErrorDomain, code, description);
}

TWError TWBusiness::databaseErrorWithMessage(int code) const
{
    return databaseError(code,
                         m_database ? QString::fromUtf8(sqlite3_errmsg(m_database)) : QString());
}

TWError TWBusiness::lastDatabaseError() const
{
    int code = m_database ? sqlite3_errcode(m_database) : SQLITE_ERROR;
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE)
        code = SQLITE_ERROR;
    return databaseErrorWithMessage(code);
}

TWError TWBusiness::databaseVersionError()
{
    return TWError(TWDatabaseErrorDomain, -1, TWLocalized("databaseVersionDescription"));
}

TWError TWBusiness::upgradeRequiredError()
{
    return TWError(TWUpgradeErrorDomain, TWUpgradeRequiredErrorCode,
                   TWLocalized("upgradeRequiredDescription"));
}

// ---- Identifiers ----

qint32 TWBusiness::nextIdentifier(const char *maxIdentifierSQL, qint64 floor)
{
    TWStatement query = statement(maxIdentifierSQL);
    if (!query.next())
        return 0;
    // An empty table gives NULL, read as 0.
    const qint64 next = query.columnInt64(0) + 1;
    const qint64 result = std::max(next, floor);
    if (result < 1 || result > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(result);
}

quint32 TWBusiness::startingTransactionIdentifier()
{
    const quint32 value = TWPreferences::preferences().startingIdentifier();
    return value > 0 ? value : 1;
}

// ---- Notifications ----

void TWBusiness::postNotification(const QString &name, const QVariantMap &userInfo)
{
    // What changed unwritten may be anything; a transaction's own notice follows its writes.
    if (name != TWTransactionNewNotification && name != TWTransactionUpdateNotification &&
        name != TWTransactionDeleteNotification)
        bumpReadingRevision();
    if (!m_levels.empty()) {
        m_levels.back().notifications.append({name, userInfo});
        return;
    }
    deliver({{name, userInfo}});
}

void TWBusiness::deliver(const QList<std::pair<QString, QVariantMap>> &notifications)
{
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    for (const auto &[name, userInfo] : notifications)
        center.postNotification(name, this, userInfo);
}

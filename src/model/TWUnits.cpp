#include "model/TWUnits.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWSQLitePageCache.h"

#include <QFile>

#include <sqlite3.h>

#include <cmath>

namespace
{

const QString kUnitsErrorDomain = QStringLiteral("Tallyworth Units Error");

TWError unitsError(int code)
{
    return TWError(kUnitsErrorDomain, code,
                   TWLocalized("unitsLoadError").arg(QString::fromUtf8(sqlite3_errstr(code))));
}

// A text column; NULL gives a null string.
QString textColumn(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    if (!text)
        return QString();
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// Seconds since 1970; NULL (or a value no date can hold) gives no date.
QDateTime dateColumn(sqlite3_stmt *statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return QDateTime();
    const double seconds = sqlite3_column_double(statement, column);
    // QDateTime holds milliseconds in 64 bits; stay well inside that.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1.0e14)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0));
}

// Owns an SQLite connection and statement and releases them on every path.
struct Connection {
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    ~Connection()
    {
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
};

} // namespace

TWUnits &TWUnits::units()
{
    static TWUnits instance;
    // Without the built-in list the program goes on with the business's own
    // units; nothing is shown.
    static const bool loaded = (instance.loadUnits(), true);
    (void)loaded;
    return instance;
}

QString TWUnits::resourcePath()
{
    return QStringLiteral(":/units/Units.sqlite");
}

TWUnitList TWUnits::unitsOfType(std::uint32_t type) const
{
    TWUnitList result;
    for (const TWUnitPtr &unit : m_units) {
        if (unit->type() == type)
            result.append(unit);
    }
    return result;
}

TWErrorResult TWUnits::loadUnits()
{
    return loadUnits(resourcePath());
}

TWErrorResult TWUnits::loadUnits(const QString &path)
{
    // The database is opened from a copy in memory, read-only: a resource has
    // no file SQLite could open, and no temporary file is written.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unitsError(SQLITE_CANTOPEN);
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty())
        return unitsError(SQLITE_NOTADB);

    Connection c;
    // The units may be the first to start SQLite.
    TWSQLitePageCache::install();
    int rc =
        sqlite3_open_v2(":memory:", &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr);
    if (rc != SQLITE_OK)
        return unitsError(rc);
    // The data is not trusted to be a sound database: no extensions, no
    // writes, defensive mode.
    sqlite3_db_config(c.db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(c.db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(c.db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    // SQLite reads the buffer for as long as the connection is open; `c` is
    // declared after `bytes`, so the connection closes first.
    auto *data = reinterpret_cast<unsigned char *>(const_cast<char *>(bytes.constData()));
    rc = sqlite3_deserialize(c.db, "main", data, bytes.size(), bytes.size(),
                             SQLITE_DESERIALIZE_READONLY);
    if (rc != SQLITE_OK)
        return unitsError(rc);

    rc = sqlite3_prepare_v2(c.db,
                            "SELECT code, name, description, lastUpdated, rate, type, "
                            "decimalPlaces, symbol, favourite FROM units ORDER BY name;",
                            -1, &c.statement, nullptr);
    if (rc != SQLITE_OK)
        return unitsError(rc);

    TWUnitList units;
    units.reserve(200);
    while ((rc = sqlite3_step(c.statement)) == SQLITE_ROW) {
        sqlite3_stmt *s = c.statement;
        units.append(TWUnit::unitWithName(textColumn(s, 1), textColumn(s, 2), textColumn(s, 0),
                                          textColumn(s, 7), sqlite3_column_double(s, 4),
                                          static_cast<std::uint8_t>(sqlite3_column_int64(s, 6)),
                                          dateColumn(s, 3), sqlite3_column_int64(s, 8) != 0,
                                          static_cast<std::uint32_t>(sqlite3_column_int64(s, 5))));
    }
    // A read that fails part-way (a damaged file) keeps the list as it was
    // rather than installing part of it.
    if (rc != SQLITE_DONE)
        return unitsError(rc);

    m_units = std::move(units);
    return std::nullopt;
}

#pragma once
// The layout of a business database: its tables in creation order with their
// CREATE statements, the version numbers kept in the info table, and the
// per-field columns of the transactions table. The declared types are part of
// the file format (they decide SQLite's type affinities), so the texts here
// must not be reworded.

#include <QString>

#include <cstdint>
#include <span>

namespace TWSchema
{

struct Table {
    const char *name;
    const char *createSQL;
};

// The 29 tables, in the order they are created.
std::span<const Table> tables();
// The CREATE statement of one table; nullptr for an unknown name.
const char *createSQL(const QString &tableName);

// The 22 column declarations of the transactions table, comma-separated, and
// their names in the same order (for rebuilding the table without a column).
extern const char *const transactionsDeclarations;
extern const char *const transactionsColumnNames;

// Info rows and the values kept in them.
inline constexpr std::int32_t infoSchemaVersionRow = 1;
inline constexpr std::int32_t infoUnitListVersionRow = 2;
inline constexpr std::uint32_t version2 = 0x02000000; // current
inline constexpr std::uint32_t version1 = 0x01000000; // upgraded on request
inline constexpr std::uint32_t unitListVersion = 0x01000000;

// Whether a schema 1.0 database has the table already: the tables the
// upgrade to 2.0 changes or refers to. Others may be missing from it and are
// created empty.
bool inVersion1(const QString &tableName);
// Whether the upgrade to 2.0 adds the column (so a 1.0 table may lack it);
// `value` then receives, as SQL, the value an upgraded row holds in it.
bool addedInVersion2(const QString &tableName, const QString &column, QString *value);

// The column of the transactions table that holds a custom field's values:
// "user_%ld" with the field's identifier (field 3: "user_3").
QString userColumnName(std::int64_t fieldIdentifier);
// The declared type of that column by field type; empty for the types that
// have no column (0 built-in, 8 tags, and anything unknown).
QString userColumnType(int fieldType);

} // namespace TWSchema

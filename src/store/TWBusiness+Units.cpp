// The business's own units: seeding from the built-in list, loading, the
// writes with their notifications, and conversion between units.

#include "store/TWBusiness.h"

#include "model/TWUnitConversion.h"
#include "model/TWUnits.h"
#include "store/TWRecordWrites.h"
#include "store/TWSchema.h"

#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

namespace
{

const char *const kUnitsSelectSQL =
    "SELECT code, name, description, lastUpdated, rate, type, "
    "decimalPlaces, symbol, favourite FROM units ORDER BY name ASC;";
const char *const kUnitsInsertSQL =
    "INSERT INTO units ( code, name, description, lastUpdated, rate, type, decimalPlaces, symbol, "
    "favourite ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ? );";
const char *const kUnitsUpdateSQL = "UPDATE units SET name=?, description=?, lastUpdated=?, "
                                    "rate=?, decimalPlaces=?, symbol=?, favourite=? WHERE code=?;";
const char *const kUnitsUpdateRateSQL = "UPDATE units SET rate=?, lastUpdated=? WHERE code=?;";
const char *const kUnitsDeleteSQL = "DELETE FROM units WHERE code=?;";

// Seconds since 1970; no date is stored as NULL.
void bindLastUpdated(TWStatement &statement, const QDateTime &date)
{
    if (date.isValid())
        statement.bindDouble(double(date.toMSecsSinceEpoch()) / 1000.0);
    else
        statement.bindNull();
}

// NULL, or a value no date can hold, gives no date.
QDateTime lastUpdatedColumn(const TWStatement &statement, int column)
{
    if (statement.isNull(column))
        return {};
    const double seconds = statement.columnDouble(column);
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1.0e14)
        return {};
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0));
}

} // namespace

// ---- Lookups ----

TWUnitPtr TWBusiness::unitWithCode(const QString &code) const
{
    return m_unitsDictionary.value(code);
}

TWUnitPtr TWBusiness::unitForStoredCode(const QString &code) const
{
    if (TWUnitPtr unit = m_unitsDictionary.value(code))
        return unit;
    TWUnitPtr &placeholder = m_placeholderUnits[code];
    if (!placeholder) {
        // Rate 0: amounts of a unit nobody knows the value of convert to 0
        // rather than to a guess.
        placeholder = TWUnit::unitWithName(code, QString(), code, QString(), 0.0, 2, QDateTime(),
                                           false, TWUnitTypeCurrency);
    }
    return placeholder;
}

TWUnitList TWBusiness::unitsOfType(std::uint32_t type) const
{
    TWUnitList result;
    for (const TWUnitPtr &unit : m_units) {
        if (unit->type() == type)
            result.append(unit);
    }
    return result;
}

TWUnitList TWBusiness::favouriteUnits() const
{
    TWUnitList result;
    for (const TWUnitPtr &unit : m_units) {
        if (unit->favourite())
            result.append(unit);
    }
    return result;
}

// ---- Seeding and loading ----

TWErrorResult TWBusiness::populateUnits()
{
    const bool canadian = m_businessInfo && m_businessInfo->homeCurrency() == QLatin1String("CAD");
    WriteScope scope(*this);
    for (const TWUnitPtr &builtIn : TWUnits::units().unitList()) {
        TWUnitPtr unit = builtIn->copy();
        if (canadian && unit->code() == QLatin1String("CAD"))
            unit->setSymbol(QStringLiteral("$"));
        else if (canadian && unit->code() == QLatin1String("USD"))
            unit->setSymbol(QStringLiteral("US$"));
        // A unit that cannot be stored is left out; the others still are.
        (void)addUnit(unit, false);
    }
    return scope.finish(
        insertInfoIdentifier(TWSchema::infoUnitListVersionRow, TWSchema::unitListVersion));
}

TWErrorResult TWBusiness::loadUnits()
{
    m_units.clear();
    m_unitsDictionary.clear();
    TWStatement query = statement(kUnitsSelectSQL);
    if (!query.isPrepared())
        return query.error();

    TWUnitList units;
    QHash<QString, TWUnitPtr> dictionary;
    units.reserve(200);
    dictionary.reserve(200);
    while (query.next()) {
        TWUnitPtr unit = TWUnit::unitWithName(
            query.columnText(1), query.columnText(2), query.columnText(0), query.columnText(7),
            query.columnDouble(4), std::uint8_t(query.columnInt64(6)), lastUpdatedColumn(query, 3),
            query.columnBool(8), std::uint32_t(query.columnInt64(5)));
        units.append(unit);
        dictionary.insert(unit->code(), unit);
    }
    m_units = std::move(units);
    m_unitsDictionary = std::move(dictionary);
    // A home unit read before this load must be the listed object of its code.
    if (m_businessInfo)
        m_homeUnit = unitForStoredCode(m_businessInfo->homeCurrency());
    return query.error();
}

// ---- Writes ----

void TWBusiness::insertSortedUnit(const TWUnitPtr &unit)
{
    // The list is sorted by name; an equal name goes after the listed ones,
    // as a stable sort of the appended unit would place it.
    const auto position =
        std::upper_bound(m_units.begin(), m_units.end(), unit,
                         [](const TWUnitPtr &a, const TWUnitPtr &b) { return a->compare(*b) < 0; });
    m_units.insert(position, unit);
}

TWErrorResult TWBusiness::addUnit(const TWUnitPtr &unit, bool notify)
{
    if (!unit)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement insert = statement(kUnitsInsertSQL);
    insert.bindText(unit->code()).bindText(unit->name()).bindText(unit->description());
    bindLastUpdated(insert, unit->lastUpdatedDate());
    insert.bindDouble(unit->rate())
        .bindInt64(unit->type())
        .bindInt32(unit->decimalPlaces())
        .bindText(unit->symbol())
        .bindBool(unit->favourite());
    if (TWErrorResult error = insert.execute())
        return scope.finish(error);

    const TWUnitPtr previous = m_unitsDictionary.value(unit->code());
    insertSortedUnit(unit);
    m_unitsDictionary.insert(unit->code(), unit);
    scope.onRollback([this, unit, previous] {
        m_units.removeOne(unit);
        if (previous)
            m_unitsDictionary.insert(unit->code(), previous);
        else
            m_unitsDictionary.remove(unit->code());
    });
    TWRecordWrites::post(scope, notify, TWUnitNewNotification, TWUnitNotificationKey, unit);
    return scope.commit();
}

TWErrorResult TWBusiness::updateUnit(const TWUnitPtr &unit, bool notify)
{
    if (!unit)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement update = statement(kUnitsUpdateSQL);
    update.bindText(unit->name()).bindText(unit->description());
    bindLastUpdated(update, unit->lastUpdatedDate());
    update.bindDouble(unit->rate())
        .bindInt32(unit->decimalPlaces())
        .bindText(unit->symbol())
        .bindBool(unit->favourite())
        .bindText(unit->code());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);

    const TWUnitPtr listed = m_unitsDictionary.value(unit->code());
    if (listed && listed != unit) {
        const TWUnit before = *listed;
        listed->updateUnit(*unit);
        listed->setType(before.type()); // the row keeps its type
        scope.onRollback([listed, before] { listed->updateUnit(before); });
    }
    TWRecordWrites::post(scope, notify, TWUnitUpdateNotification, TWUnitNotificationKey, unit);
    return scope.commit();
}

TWErrorResult TWBusiness::updateUnitRate(const TWUnitPtr &unit, bool notify)
{
    if (!unit)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement update = statement(kUnitsUpdateRateSQL);
    update.bindDouble(unit->rate());
    bindLastUpdated(update, unit->lastUpdatedDate());
    update.bindText(unit->code());
    if (TWErrorResult error = update.executeUpdate())
        return scope.finish(error);
    TWRecordWrites::post(scope, notify, TWUnitUpdateNotification, TWUnitNotificationKey, unit);
    return scope.commit();
}

TWErrorResult TWBusiness::deleteUnit(const TWUnitPtr &unit, bool notify)
{
    if (!unit)
        return databaseError(SQLITE_MISUSE);
    WriteScope scope(*this);
    TWStatement remove = statement(kUnitsDeleteSQL);
    remove.bindText(unit->code());
    if (TWErrorResult error = remove.execute())
        return scope.finish(error);

    const QString code = unit->code();
    const auto found = std::find_if(m_units.cbegin(), m_units.cend(),
                                    [&code](const TWUnitPtr &u) { return u->code() == code; });
    if (found != m_units.cend()) {
        const qsizetype position = found - m_units.cbegin();
        const TWUnitPtr listed = *found;
        m_units.removeAt(position);
        scope.onRollback([this, position, listed] { m_units.insert(position, listed); });
    }
    if (const TWUnitPtr keyed = m_unitsDictionary.take(code))
        scope.onRollback([this, keyed] { m_unitsDictionary.insert(keyed->code(), keyed); });
    TWRecordWrites::post(scope, notify, TWUnitDeleteNotification, TWUnitNotificationKey, unit);
    return scope.commit();
}

// ---- Conversion ----

qint64 TWBusiness::totalInHomeCurrency(qint64 total, const TWUnitPtr &unit) const
{
    return totalInUnit(total, unit, m_homeUnit);
}

qint64 TWBusiness::totalInUnit(qint64 total, const TWUnitPtr &totalUnit,
                               const TWUnitPtr &unit) const
{
    if (!totalUnit || !unit)
        return 0;
    return TWUnitConversion::convertTotal(total, *totalUnit, *unit);
}

qint64 TWBusiness::totalInBaseCurrency(qint64 total, const TWUnitPtr &unit) const
{
    if (!unit)
        return 0;
    return TWUnitConversion::convertedBaseTotal(total, *unit).value_or(0);
}

TWUnitConverter TWBusiness::unitConverter()
{
    return &TWUnitConversion::convertTotal;
}

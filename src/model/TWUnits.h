#pragma once
// The currencies and mileage units the program ships with. A new business
// copies its own units from this list; the currency menu of a new business
// offers its currencies. Made and loaded on first use, kept for the life of the
// program; main thread only.

#include "foundation/TWError.h"
#include "model/TWUnit.h"

#include <QString>

#include <cstdint>

class TWUnits
{
public:
    // An empty list; units() is the instance the program uses.
    TWUnits() = default;
    TWUnits(const TWUnits &) = delete;
    TWUnits &operator=(const TWUnits &) = delete;

    // The single instance, loaded from the program's resources on the first
    // call. A failed load leaves it with no units.
    static TWUnits &units();

    // Where the built-in database lives among the resources.
    static QString resourcePath();

    // The built-in units, sorted by name in the byte order of the database.
    const TWUnitList &unitList() const { return m_units; }

    // A new list of the units of one type (TWUnitType), in list order.
    TWUnitList unitsOfType(std::uint32_t type) const;

    // Reads the built-in database. On failure the list stays as it was and the
    // error ("Tallyworth Units Error", SQLite result code) is returned.
    TWErrorResult loadUnits();
    // The same from a database file at the given path (a resource path or a
    // file on disk). The file is read into memory and never written.
    TWErrorResult loadUnits(const QString &path);

private:
    TWUnitList m_units;
};

#pragma once
// How the work tables keep dates: a day as its packed value in a DOUBLE column
// (0 for none), a moment as its packed date-time in an INTEGER column. Values
// read from a document are untrusted: anything that is no packed value reads
// as no date rather than as a wrapped-around one.

#include "foundation/TWDateAdditions.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>

namespace TWWorkColumns
{

// The packed day bound for a date; 0.0 for none.
inline double dayColumn(const QDateTime &date)
{
    return double(TWDateAdditions::dateValue(date));
}

// The date of a stored day column, the double cut to an integer; none for 0
// and for values outside the packed range.
inline QDateTime dateFromDayColumn(double value)
{
    if (!std::isfinite(value) || value < 1.0 || value >= 4294967296.0)
        return {};
    return TWDateAdditions::dateWithValue(std::uint32_t(value));
}

// The packed date-time bound for a moment; 0 for none.
inline qint64 momentColumn(const QDateTime &moment)
{
    return qint64(TWDateAdditions::dateTimeValue(moment));
}

// The moment of a stored date-time column; none for 0 and negative values.
inline QDateTime momentFromColumn(qint64 value)
{
    if (value <= 0)
        return {};
    return TWDateAdditions::dateTimeWithValue(std::uint64_t(value));
}

} // namespace TWWorkColumns

#pragma once
// The money arithmetic of work, invoices and bills: doubles become whole minor
// units without undefined behaviour, and sums never wrap. Callers pass their
// doubles through finiteOrZero() first, so a quantity or rate that is NaN or infinite
// (a damaged document) counts as 0; a result beyond the 64-bit range is held at
// the nearest end of that range, and NaN becomes 0.

#include <QDateTime>

#include <cstdint>

namespace TWWorkArithmetic
{

// The value itself when it is finite, else 0.
double finiteOrZero(double value);

// Cut toward zero (0.9 -> 0, -0.9 -> 0).
qint64 truncated(double value);
// To the nearest whole number, halves away from zero (2.5 -> 3, -2.5 -> -3).
qint64 rounded(double value);

// a + b and a - b, held at the ends of the 64-bit range instead of wrapping.
qint64 add(qint64 a, qint64 b);
qint64 subtract(qint64 a, qint64 b);

// Two moments, a missing one before every real one: -1, 0 or 1.
int compareMoments(const QDateTime &a, const QDateTime &b);

} // namespace TWWorkArithmetic

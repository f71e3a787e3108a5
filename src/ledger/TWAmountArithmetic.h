#pragma once
// Integer arithmetic the amount views share: keeping an amount's written digits
// when its unit's decimal places change, and the odometer rules that tie a
// mileage distance to its start and end readings.

#include <QtGlobal>

#include <optional>

namespace TWAmountArithmetic
{

// The amount with the same written digits in a unit of `newPlaces` decimals:
// multiplied by ten to (new - old), or divided by ten to (old - new) and
// truncated toward zero. None when the result cannot be held in 64 bits.
std::optional<qint64> rescaledTotal(qint64 total, int oldPlaces, int newPlaces);

// The distance between two readings: end - start when start <= end, else 0,
// negative when `signOf` is below zero. None when it overflows.
std::optional<qint64> distance(qint64 start, qint64 end, qint64 signOf);

} // namespace TWAmountArithmetic

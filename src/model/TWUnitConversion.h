#pragma once
// Converting amounts between units: amount × rate of the target ÷ rate of the
// source, rescaled by ten to the difference of the decimal places and rounded
// half away from zero. Rates are quoted per US dollar. Lives with the model so
// that record arithmetic can convert without a store at hand.

#include "model/TWUnit.h"

#include <optional>

namespace TWUnitConversion
{

// The amount of unit `from` expressed in unit `to`. The same code keeps the
// amount; a source rate of 0 gives 0. None when the conversion is refused: an
// intermediate value that is not finite (a NaN or infinite rate, a scale past
// the range of a double) or a result that does not fit 64 bits.
std::optional<qint64> convertedTotal(qint64 total, const TWUnit &from, const TWUnit &to);

// The same as a plain number, usable as a TWUnitConverter: a refused
// conversion gives 0, the value a unit without a rate converts to.
qint64 convertTotal(qint64 total, const TWUnit &from, const TWUnit &to);

// The amount in US cents (a US dollar at rate 1 with two decimal places); the
// code "USD" keeps the amount. None when refused.
std::optional<qint64> convertedBaseTotal(qint64 total, const TWUnit &unit);

} // namespace TWUnitConversion

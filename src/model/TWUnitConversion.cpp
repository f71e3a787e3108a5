#include "model/TWUnitConversion.h"

#include <cmath>

namespace TWUnitConversion
{

namespace
{

// 2^63: the first double past the largest signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

std::optional<qint64> roundedTotal(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::round(value); // halves away from zero
    if (rounded < -kInt64Limit || rounded >= kInt64Limit)
        return std::nullopt;
    return qint64(rounded);
}

} // namespace

std::optional<qint64> convertedTotal(qint64 total, const TWUnit &from, const TWUnit &to)
{
    if (from.code() == to.code())
        return total;
    if (from.rate() == 0.0)
        return 0;
    double value = (to.rate() * double(total)) / from.rate();
    const int fromPlaces = from.decimalPlaces();
    const int toPlaces = to.decimalPlaces();
    if (fromPlaces < toPlaces)
        value *= std::pow(10.0, toPlaces - fromPlaces);
    else if (fromPlaces > toPlaces)
        value /= std::pow(10.0, fromPlaces - toPlaces);
    return roundedTotal(value);
}

qint64 convertTotal(qint64 total, const TWUnit &from, const TWUnit &to)
{
    return convertedTotal(total, from, to).value_or(0);
}

std::optional<qint64> convertedBaseTotal(qint64 total, const TWUnit &unit)
{
    static const TWUnit dollar(QStringLiteral("US Dollar"), QString(), QStringLiteral("USD"),
                               QStringLiteral("$"), 1.0, 2, QDateTime(), false, TWUnitTypeCurrency);
    return convertedTotal(total, unit, dollar);
}

} // namespace TWUnitConversion

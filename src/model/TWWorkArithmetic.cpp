#include "model/TWWorkArithmetic.h"

#include <cmath>
#include <limits>

namespace TWWorkArithmetic
{

namespace
{

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
// 2^63 as a double: every double below it (and at or above -2^63) converts to
// a qint64 without overflow.
constexpr double kLimit = 9223372036854775808.0;

// A whole-valued double into the 64-bit range.
qint64 held(double whole)
{
    if (std::isnan(whole))
        return 0;
    if (whole >= kLimit)
        return kMax;
    if (whole < -kLimit)
        return kMin;
    return static_cast<qint64>(whole);
}

} // namespace

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

qint64 truncated(double value)
{
    return held(std::trunc(value));
}

qint64 rounded(double value)
{
    // std::round goes half away from zero; std::llround would be undefined
    // beyond the range.
    return held(std::round(value));
}

qint64 add(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? kMax : kMin;
    return sum;
}

qint64 subtract(qint64 a, qint64 b)
{
    qint64 difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? kMax : kMin;
    return difference;
}

int compareMoments(const QDateTime &a, const QDateTime &b)
{
    if (!a.isValid() || !b.isValid())
        return int(a.isValid()) - int(b.isValid());
    if (a == b)
        return 0;
    return a < b ? -1 : 1;
}

} // namespace TWWorkArithmetic

#include "ledger/TWAmountArithmetic.h"

namespace TWAmountArithmetic
{

std::optional<qint64> rescaledTotal(qint64 total, int oldPlaces, int newPlaces)
{
    if (total == 0 || oldPlaces == newPlaces)
        return total;
    if (newPlaces > oldPlaces) {
        qint64 result = total;
        for (int step = oldPlaces; step < newPlaces; ++step) {
            if (__builtin_mul_overflow(result, qint64(10), &result))
                return std::nullopt;
        }
        return result;
    }
    // Dividing step by step truncates toward zero like one division would,
    // and never needs a power of ten past 64 bits.
    qint64 result = total;
    for (int step = newPlaces; step < oldPlaces && result != 0; ++step)
        result /= 10;
    return result;
}

std::optional<qint64> distance(qint64 start, qint64 end, qint64 signOf)
{
    qint64 result = 0;
    if (start <= end && __builtin_sub_overflow(end, start, &result))
        return std::nullopt;
    return signOf < 0 ? -result : result;
}

} // namespace TWAmountArithmetic

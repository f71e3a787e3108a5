#pragma once
// Plain number texts shared by the export tables: the shortest decimal form
// that reads back as the same value.

#include <QString>

#include <charconv>

inline QString twShortestNumber(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

// A single-precision value (tax rates, percents) in its own shortest form.
inline QString twShortestNumber(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

#pragma once
// Decimal numbers as digit strings, so money is read and written exactly: typed
// text becomes minor units without passing through a binary double, and minor
// units become locale text without one either. Used by TWFormatter.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

// How a tie (a dropped part of exactly one half) is broken.
enum class TWRounding {
    HalfToEven,       // the default rounding of number formats: 12.5 -> 12, 13.5 -> 14
    HalfAwayFromZero, // money typed or read in: 2.5 -> 3, -2.5 -> -3
};

struct TWDecimal {
    bool negative = false;
    std::string intDigits = "0"; // ASCII digits, no leading zeros (but at least one digit)
    std::string fracDigits;      // ASCII digits

    bool isZero() const;

    // |value| / 10^decimals, exactly.
    static TWDecimal fromMinorUnits(qint64 value, unsigned decimals);
    // The double's exact decimal expansion rounded to `maxFraction` digits (ties
    // to even); none for infinities and NaN.
    static std::optional<TWDecimal> fromDouble(double value, int maxFraction);

    // Reads typed text leniently: surrounding white space, the locale's grouping
    // separators in the whole part, its decimal separator, a leading sign (also
    // after or before a currency symbol), brackets for a negative amount, and any
    // of `symbols` (currency signs and codes) before or after the number. No
    // exponents, no "nan" or "inf". None when the text is not such a number.
    // `asWritten` reads only numbers the way the locale writes them: grouping
    // separators, where there are any, stand between whole groups of the
    // locale's sizes ("1,234.56", never "1234,56" or "1,2345" under en_US).
    static std::optional<TWDecimal> parse(const QString &text, const QLocale &locale,
                                          const QStringList &symbols = {}, bool asWritten = false);

    // Rounds to `places` fraction digits, ties broken as `rounding` says.
    void roundTo(unsigned places, TWRounding rounding);
    // Drops trailing fraction zeros, keeping at least `minimum` fraction digits.
    void trimFraction(unsigned minimum);

    // The value in minor units of `decimals` places (digits beyond them rounded,
    // halves away from zero); none when it does not fit in 64 bits.
    std::optional<qint64> minorUnits(unsigned decimals) const;
    // The nearest double; none when out of the double's range.
    std::optional<double> toDouble() const;

    // The magnitude in the locale's digits and separators, no sign.
    QString localized(const QLocale &locale, bool grouping) const;
};

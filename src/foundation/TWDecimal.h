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
    // The fewest digits (never an exponent) that read back as the same double,
    // or the same float; none for infinities and NaN.
    static std::optional<TWDecimal> shortest(double value);
    static std::optional<TWDecimal> shortest(float value);

    // Reads typed text leniently: surrounding white space, the locale's grouping
    // separators in the whole part, its decimal separator, a leading sign (also
    // after or before a currency symbol), brackets for a negative amount, and any
    // of `symbols` (currency signs and codes) before or after the number. No
    // exponents, no "nan" or "inf". None when the text is not such a number.
    // `asWritten` reads only numbers the way they are written: grouping
    // separators, where there are any, stand between whole groups, either of
    // the locale's own sizes or of three ("1,23,456.78" and "123,456.78" under
    // en_IN; never "1234,56" or "1,2345" under en_US), and a grouped number
    // never starts with 0 ("0,500" under en_US is none). Where the locale's
    // decimal mark is not on a Latin keyboard, "." is read as it too
    // (readsDotAsPoint).
    static std::optional<TWDecimal> parse(const QString &text, const QLocale &locale,
                                          const QStringList &symbols = {}, bool asWritten = false);

    // Whether "." is read as the decimal mark besides the locale's own: where
    // that mark is no ASCII character ("٫" of Arabic and Persian).
    static bool readsDotAsPoint(const QLocale &locale);

    // Rounds to `places` fraction digits, ties broken as `rounding` says.
    void roundTo(unsigned places, TWRounding rounding);
    // Drops trailing fraction zeros, keeping at least `minimum` fraction digits.
    void trimFraction(unsigned minimum);

    // The value in minor units of `decimals` places (digits beyond them rounded,
    // halves away from zero); none when it does not fit in 64 bits.
    std::optional<qint64> minorUnits(unsigned decimals) const;
    // The nearest double; none when out of the double's range.
    std::optional<double> toDouble() const;

    // The magnitude in the locale's digits and separators, no sign. Grouping
    // follows the locale's group sizes and the fewest digits it groups at all
    // ("2500" and "2.500.000" under es_ES), written here rather than by Qt,
    // which leaves the leading group of such locales unseparated ("2500.000").
    QString localized(const QLocale &locale, bool grouping) const;
    // The same with the locale's minus sign before a negative number.
    QString signedLocalized(const QLocale &locale, bool grouping) const;
};

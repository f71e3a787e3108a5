// Money and numbers. Dates, durations and display names are in
// TWFormatter+Text.cpp.

#include "model/TWFormatter.h"

#include "foundation/TWDecimal.h"
#include "foundation/TWLocalized.h"
#include "model/TWMoneySigns.h"
#include "model/TWNumberFormatter.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace
{

// A unit's decimals can reach 255; larger requests are clamped there so a
// wild argument cannot ask for gigabytes of zeros.
constexpr std::uint32_t kMaxDecimals = 255;

QString signedText(const QString &magnitude, bool negative)
{
    return negative ? QStringLiteral("-") + magnitude : magnitude;
}

double powerOfTen(unsigned decimals)
{
    return std::pow(10.0, double(decimals));
}

// Money text to minor units; the unit's signs and codes are understood
// (twMoneySigns: its own, "$" for a dollar unit, the locale's where they are
// the unit's): "€12.50" in a dollar field is refused, never read as dollars.
// `asWritten` asks for the locale's own grouping (typed text); otherwise any
// grouping separator after a digit is skipped.
std::optional<qint64> parseMinorUnits(const QString &text, const QLocale &locale,
                                      const TWUnit *unit, std::uint32_t decimals, bool asWritten)
{
    if (text.trimmed().isEmpty())
        return 0;
    const std::optional<TWDecimal> parsed =
        TWDecimal::parse(text, locale, twMoneySigns(unit, locale), asWritten);
    return parsed ? parsed->minorUnits(decimals) : std::nullopt;
}

qint64 valueOrZero(const std::optional<qint64> &value, bool *ok)
{
    if (ok)
        *ok = value.has_value();
    return value.value_or(0);
}

} // namespace

const TWFormatter &TWFormatter::formatter()
{
    static const TWFormatter *shared = new TWFormatter();
    return *shared;
}

bool TWFormatter::isUS() const
{
    return locale().territory() == QLocale::UnitedStates;
}

TWNumberFormatter *TWFormatter::numberTextFormatter()
{
    static TWNumberFormatter *shared = new TWNumberFormatter();
    return shared;
}

// --- Money -----------------------------------------------------------------

QString TWFormatter::valueString(qint64 value, const TWUnit *unit, bool displayUnit,
                                 bool displayGroupingSeparator, bool forcePositive,
                                 bool useBrackets, bool showDecimals) const
{
    if (!unit)
        return {};
    TWDecimal magnitude = TWDecimal::fromMinorUnits(value, unit->decimalPlaces());
    // Whole units for display only: halves to the even neighbour, as number
    // formats round (12.5 shows 12, 13.5 shows 14).
    if (!showDecimals)
        magnitude.roundTo(0, TWRounding::HalfToEven);
    QString text = magnitude.localized(locale(), displayGroupingSeparator);
    if (displayUnit) {
        const bool hasSymbol = !unit->symbol().isEmpty();
        if (unit->type() == TWUnitTypeCurrency || unit->type() == TWUnitTypeCustom)
            text =
                hasSymbol ? unit->symbol() + text : QStringLiteral("%1 %2").arg(unit->code(), text);
        else if (unit->type() == TWUnitTypeMileage)
            text += unit->symbol();
    }
    if (value < 0 && !forcePositive)
        text = useBrackets ? QStringLiteral("(%1)").arg(text) : QStringLiteral("-") + text;
    return text;
}

QString TWFormatter::valueString(qint64 value, std::uint32_t decimalPlaces) const
{
    const TWDecimal magnitude =
        TWDecimal::fromMinorUnits(value, std::min(decimalPlaces, kMaxDecimals));
    return signedText(magnitude.localized(locale(), false), value < 0);
}

QString TWFormatter::valueSafeString(qint64 value, const TWUnit *unit) const
{
    if (!unit)
        return {};
    const TWDecimal magnitude = TWDecimal::fromMinorUnits(value, unit->decimalPlaces());
    return signedText(magnitude.localized(QLocale::c(), false), value < 0);
}

qint64 TWFormatter::valueFromString(const QString &text, const TWUnit *unit, bool *ok) const
{
    return valueOrZero(
        parseMinorUnits(text, locale(), unit, unit ? unit->decimalPlaces() : 0, false), ok);
}

qint64 TWFormatter::valueFromString(const QString &text, std::uint32_t decimalPlaces,
                                    bool *ok) const
{
    return valueOrZero(parseMinorUnits(text, locale(), nullptr, decimalPlaces, false), ok);
}

std::optional<qint64> TWFormatter::typedValue(const QString &text, const TWUnit *unit) const
{
    return parseMinorUnits(text, locale(), unit, unit ? unit->decimalPlaces() : 0, true);
}

std::optional<qint64> TWFormatter::typedValue(const QString &text,
                                              std::uint32_t decimalPlaces) const
{
    return parseMinorUnits(text, locale(), nullptr, decimalPlaces, true);
}

std::optional<double> TWFormatter::typedNumber(const QString &text) const
{
    if (text.trimmed().isEmpty())
        return 0.0;
    const std::optional<TWDecimal> parsed = TWDecimal::parse(text, locale(), {}, true);
    if (!parsed)
        return std::nullopt;
    return parsed->toDouble();
}

std::optional<double> TWFormatter::typedTime(const QString &raw) const
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return 0.0;
    // Digits of any script: a locale that writes its own types them too.
    static const QRegularExpression clock(QStringLiteral("^-?\\d+:\\d{1,2}(:\\d{1,2})?$"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    if (clock.match(text).hasMatch())
        return timeValueFromString(text);
    if (const std::optional<double> hours = typedNumber(text))
        return *hours * 3600.0;
    return std::nullopt;
}

QString TWFormatter::typedNumberExample(double value) const
{
    const QString shown = doubleValueString(value);
    if (!TWDecimal::readsDotAsPoint(locale()))
        return shown;
    // The form a Latin keyboard types, ungrouped: "," is no mark there.
    const std::optional<TWDecimal> d = TWDecimal::shortest(value);
    const QString typable = d ? d->signedLocalized(QLocale::c(), false) : shown;
    return shown == typable ? shown : TWLocalized("numberExampleEither").arg(shown, typable);
}

QString TWFormatter::typedNumberError(const QString &typed) const
{
    double value = 1234.56;
    if (doubleValueString(value) == typed)
        value = 1234.0;
    // Where the locale groups with a space, the example has one: the words
    // then ask only that spaces stand between groups.
    const QString shown = doubleValueString(value);
    const bool spaced =
        std::any_of(shown.cbegin(), shown.cend(), [](QChar c) { return c.isSpace(); });
    return TWLocalized(spaced ? "numberNotAsWrittenSpaced" : "numberNotAsWritten")
        .arg(typedNumberExample(value));
}

double TWFormatter::unitValueFromString(const QString &text, const TWUnit *unit) const
{
    const unsigned decimals = unit ? unit->decimalPlaces() : 0;
    return double(valueFromString(text, unit)) / powerOfTen(decimals);
}

QString TWFormatter::conversionString(qint64 value1, const TWUnit *unit1, qint64 value2,
                                      const TWUnit *unit2) const
{
    const double a = std::fabs(double(value1)) / powerOfTen(unit1 ? unit1->decimalPlaces() : 0);
    const double b = std::fabs(double(value2)) / powerOfTen(unit2 ? unit2->decimalPlaces() : 0);
    if (a == 0 || b == 0)
        return QStringLiteral("");
    // A label only, never read back: written with a point in every locale.
    return QString::asprintf("x %.5f", a / b);
}

QString TWFormatter::homeUnitRateString(const TWUnit *unit, const TWUnit *homeUnit) const
{
    if (!unit || !homeUnit)
        return {};
    const double homeRate = homeUnit->rate();
    double rate = 0;
    if (unit->type() == TWUnitTypeCurrency || unit->type() == TWUnitTypeCustom) {
        rate = homeRate == 0 ? 0 : unit->rate() / homeRate;
    } else if (unit->type() == TWUnitTypeMileage) {
        const double r = homeRate == 0 ? 0 : unit->rate() / homeRate;
        rate = r == 0 ? 0 : 1 / r;
    } else {
        return {};
    }
    const int maxFraction = 6;
    const unsigned minFraction = std::min<unsigned>(homeUnit->decimalPlaces(), maxFraction);
    std::optional<TWDecimal> d = TWDecimal::fromDouble(rate, maxFraction);
    if (!d)
        return locale().toString(rate);
    d->trimFraction(minFraction);
    // Grouping is always on here: the text is only ever shown.
    return signedText(d->localized(locale(), true), d->negative);
}

QString TWFormatter::debitCreditColumnString(qint64 value, qint64 sign, const TWUnit *unit,
                                             bool isDebit, bool displayUnit,
                                             bool displayGroupingSeparator) const
{
    const bool shown = isDebit ? sign > 0 : sign < 0;
    if (!shown)
        return QStringLiteral("");
    const QString text =
        valueString(value, unit, displayUnit, displayGroupingSeparator, true, false, true);
    return text.isNull() ? QStringLiteral("") : text;
}

QString TWFormatter::debitCreditValue(qint64 value, const TWUnit *unit, bool swapped, bool isDebit,
                                      bool editing) const
{
    // Swapped shows the debit column for amounts below zero.
    return debitCreditColumnString(value, swapped ? -value : value, unit, isDebit, false, !editing);
}

QString TWFormatter::currencyGroupingSeparator() const
{
    return locale().groupSeparator();
}

QString TWFormatter::currencyDecimalSeparator() const
{
    return locale().decimalPoint();
}

QString TWFormatter::stringForPrice(double price, const QLocale &locale)
{
    return locale.toCurrencyString(price);
}

// --- Numbers ---------------------------------------------------------------

QString TWFormatter::doubleValueString(double value) const
{
    std::optional<TWDecimal> d = TWDecimal::fromDouble(value, 6);
    if (!d)
        return locale().toString(value);
    d->trimFraction(0);
    return d->signedLocalized(locale(), true);
}

namespace
{

QString signedNumberText(const std::optional<TWDecimal> &d, const QLocale &locale)
{
    if (!d)
        return {};
    return d->signedLocalized(locale, true);
}

} // namespace

QString TWFormatter::numberString(double value) const
{
    return signedNumberText(TWDecimal::shortest(value), locale());
}

QString TWFormatter::numberString(float value) const
{
    return signedNumberText(TWDecimal::shortest(value), locale());
}

double TWFormatter::doubleValueFromString(const QString &text) const
{
    if (text.isEmpty())
        return 0;
    std::optional<TWDecimal> d = TWDecimal::parse(text, locale());
    if (!d)
        return 0;
    // A plain number keeps six places, rounded as number formats round.
    d->roundTo(6, TWRounding::HalfToEven);
    return d->toDouble().value_or(0);
}

QString TWFormatter::percentValueString(float value, std::uint32_t decimalPlaces) const
{
    const double percent = double(value) * 100.0;
    std::optional<TWDecimal> d =
        TWDecimal::fromDouble(percent, int(std::min(decimalPlaces, kMaxDecimals)));
    if (!d)
        return locale().toString(percent);
    return d->signedLocalized(locale(), true);
}

float TWFormatter::percentValueFromString(const QString &text) const
{
    return float(doubleValueFromString(text));
}

#include "foundation/TWDecimal.h"

#include <QHash>
#include <QStringView>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace
{

void stripLeadingZeros(std::string &digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        digits.assign(1, '0');
    else if (first > 0)
        digits.erase(0, first);
}

bool isMinusSign(QStringView s, const QLocale &locale)
{
    return s.startsWith(QLatin1Char('-')) || s.startsWith(QChar(0x2212)) ||
           (!locale.negativeSign().isEmpty() && s.startsWith(locale.negativeSign()));
}

bool isPlusSign(QStringView s, const QLocale &locale)
{
    return s.startsWith(QLatin1Char('+')) ||
           (!locale.positiveSign().isEmpty() && s.startsWith(locale.positiveSign()));
}

// The length of the sign at the start of `s` (the locale's sign may be longer
// than one code unit).
qsizetype signLength(QStringView s, const QLocale &locale)
{
    for (const QString &sign : {locale.negativeSign(), locale.positiveSign()}) {
        if (!sign.isEmpty() && s.startsWith(sign))
            return sign.size();
    }
    return 1;
}

// Spaces that locales use as grouping separators and that people type instead.
bool isSpaceSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

QString localizedDigits(const std::string &digits, const QLocale &locale)
{
    if (locale.zeroDigit() == QLatin1String("0"))
        return QString::fromLatin1(digits.data(), qsizetype(digits.size()));
    QString text;
    for (char c : digits)
        text += locale.toString(int(c - '0'));
    return text;
}

// How the locale groups the whole part: the digit count of the group next to
// the decimal separator and of the groups above it (3 and 3 in most locales,
// 3 and 2 where lakhs are written), and the fewest whole digits it groups at
// all (5 where "2500" stands ungrouped but "25.000" does not).
struct GroupSizes {
    qsizetype least = 3;
    qsizetype higher = 3;
    qsizetype fewestDigits = 4;
};

GroupSizes measureGroupSizes(const QLocale &locale)
{
    GroupSizes sizes;
    QLocale l(locale);
    l.setNumberOptions(QLocale::DefaultNumberOptions);
    const QString group = l.groupSeparator();
    if (group.isEmpty())
        return sizes;
    // Qt leaves a leading group unseparated when it is shorter than the
    // locale's minimum ("1234.567.890" under es_ES), so the sizes are read off
    // the trailing groups, which it always writes right.
    const QStringList runs = l.toString(Q_INT64_C(1234567890123456)).split(group);
    if (runs.size() >= 2)
        sizes.least = runs.at(runs.size() - 1).size();
    if (runs.size() >= 3)
        sizes.higher = runs.at(runs.size() - 2).size();
    if (sizes.least < 1 || sizes.higher < 1)
        sizes = GroupSizes();
    QString smallest(sizes.least + 1, QLatin1Char('0'));
    smallest[0] = QLatin1Char('1');
    const qlonglong oneGroup = smallest.toLongLong();
    sizes.fewestDigits = l.toString(oneGroup).contains(group) ? sizes.least + 1 : sizes.least + 2;
    return sizes;
}

GroupSizes groupSizes(const QLocale &locale)
{
    // Asked for every amount a register paints: measured once per locale and
    // thread (the invoice renderer formats on its own thread).
    thread_local QHash<QString, GroupSizes> measured;
    const QString key = locale.bcp47Name();
    const auto found = measured.constFind(key);
    if (found != measured.constEnd())
        return *found;
    const GroupSizes sizes = measureGroupSizes(locale);
    measured.insert(key, sizes);
    return sizes;
}

// Whole-part digit runs between grouping separators: the last of `least`
// digits, the first 1 to `higher`, those between exactly `higher`.
bool groupsOfSizes(const QList<qsizetype> &runs, qsizetype least, qsizetype higher)
{
    if (runs.last() != least || runs.first() < 1 || runs.first() > higher)
        return false;
    for (qsizetype i = 1; i + 1 < runs.size(); ++i) {
        if (runs.at(i) != higher)
            return false;
    }
    return true;
}

// Groups as the locale writes them, or groups of three, which is how most
// people type (and paste) a large number whatever their locale's own habit.
bool groupsAsWritten(const QList<qsizetype> &runs, const GroupSizes &sizes)
{
    return runs.size() < 2 || groupsOfSizes(runs, sizes.least, sizes.higher) ||
           groupsOfSizes(runs, 3, 3);
}

QString groupedDigits(const std::string &digits, const QLocale &locale)
{
    const QString group = locale.groupSeparator();
    const GroupSizes sizes = groupSizes(locale);
    const qsizetype count = qsizetype(digits.size());
    if (group.isEmpty() || count < sizes.fewestDigits)
        return localizedDigits(digits, locale);
    // Group boundaries from the right: `least` digits, then `higher` at a time.
    QList<qsizetype> starts;
    for (qsizetype end = count - sizes.least; end > 0; end -= sizes.higher)
        starts.prepend(end);
    QString text;
    qsizetype from = 0;
    for (qsizetype start : std::as_const(starts)) {
        text +=
            localizedDigits(digits.substr(std::size_t(from), std::size_t(start - from)), locale);
        text += group;
        from = start;
    }
    text += localizedDigits(digits.substr(std::size_t(from)), locale);
    return text;
}

// The fewest digits that read back as `value` in its own precision, never an
// exponent. Fixed notation never needs more than 309 whole digits or 1074
// fraction digits (a double's; a float's fewer).
template <typename Real> std::optional<TWDecimal> shortestDecimal(Real value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    char buffer[1500];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::nullopt;
    const std::string text(buffer, result.ptr);
    TWDecimal d;
    const std::size_t dot = text.find('.');
    d.intDigits = text.substr(0, dot);
    d.fracDigits = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    stripLeadingZeros(d.intDigits);
    d.negative = value < 0 && !d.isZero();
    return d;
}

} // namespace

bool TWDecimal::isZero() const
{
    return intDigits.find_first_not_of('0') == std::string::npos &&
           fracDigits.find_first_not_of('0') == std::string::npos;
}

TWDecimal TWDecimal::fromMinorUnits(qint64 value, unsigned decimals)
{
    TWDecimal d;
    d.negative = value < 0;
    // The magnitude in unsigned arithmetic, so the most negative value has one.
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < std::size_t(decimals) + 1)
        digits.insert(0, std::size_t(decimals) + 1 - digits.size(), '0');
    d.intDigits = digits.substr(0, digits.size() - decimals);
    d.fracDigits = digits.substr(digits.size() - decimals);
    stripLeadingZeros(d.intDigits);
    return d;
}

std::optional<TWDecimal> TWDecimal::fromDouble(double value, int maxFraction)
{
    if (!std::isfinite(value))
        return std::nullopt;
    maxFraction = std::clamp(maxFraction, 0, 340);
    std::string buffer(std::size_t(360 + maxFraction), '\0');
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                      std::fabs(value), std::chars_format::fixed, maxFraction);
    if (result.ec != std::errc())
        return std::nullopt;
    const std::string text(buffer.data(), result.ptr);
    TWDecimal d;
    const std::size_t dot = text.find('.');
    d.intDigits = text.substr(0, dot);
    d.fracDigits = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    stripLeadingZeros(d.intDigits);
    d.negative = value < 0 && !d.isZero();
    return d;
}

std::optional<TWDecimal> TWDecimal::shortest(double value)
{
    return shortestDecimal(value);
}

std::optional<TWDecimal> TWDecimal::shortest(float value)
{
    return shortestDecimal(value);
}

bool TWDecimal::readsDotAsPoint(const QLocale &locale)
{
    // Such a locale writes "." nowhere in a number, so it can mean nothing
    // but the decimal mark.
    const QString point = locale.decimalPoint();
    const bool typable = point.size() == 1 && point.at(0).unicode() < 0x80;
    return !point.isEmpty() && !typable && !locale.groupSeparator().contains(QLatin1Char('.'));
}

std::optional<TWDecimal> TWDecimal::parse(const QString &text, const QLocale &locale,
                                          const QStringList &symbols, bool asWritten)
{
    QStringView s = QStringView(text).trimmed();
    bool negative = false;
    if (s.size() >= 2 && s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        negative = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }

    // Longer symbols first, so "US$" is not taken for "$" followed by junk.
    QStringList candidates;
    for (const QString &symbol : symbols) {
        if (!symbol.trimmed().isEmpty())
            candidates.append(symbol.trimmed());
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QString &a, const QString &b) { return a.size() > b.size(); });

    // At most one sign and one symbol around the number, in either order.
    bool sawSign = false;
    bool sawSymbol = false;
    for (bool changed = true; changed && !s.isEmpty();) {
        changed = false;
        if (!sawSign && (isMinusSign(s, locale) || isPlusSign(s, locale))) {
            negative = negative || isMinusSign(s, locale);
            s = s.mid(signLength(s, locale)).trimmed();
            sawSign = changed = true;
            continue;
        }
        if (sawSymbol)
            break;
        for (const QString &symbol : candidates) {
            if (s.startsWith(symbol, Qt::CaseInsensitive)) {
                s = s.mid(symbol.size()).trimmed();
                sawSymbol = changed = true;
                break;
            }
            if (s.endsWith(symbol, Qt::CaseInsensitive)) {
                s = s.left(s.size() - symbol.size()).trimmed();
                sawSymbol = changed = true;
                break;
            }
        }
    }

    const QString group = locale.groupSeparator();
    const QString point = locale.decimalPoint();
    const bool dotIsPoint = readsDotAsPoint(locale);
    const bool groupIsSpace = group.size() == 1 && isSpaceSeparator(group.at(0));
    // Swiss locales write a right quote that keyboards type as an apostrophe.
    const bool groupIsQuote = group == QStringLiteral("\u2019");
    TWDecimal d;
    d.intDigits.clear();
    bool inFraction = false;
    bool lastWasDigit = false;
    bool anyDigit = false;
    // The lengths of the whole part's digit runs between grouping separators.
    QList<qsizetype> runs(1, 0);
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s.at(i);
        if (c.isDigit()) {
            (inFraction ? d.fracDigits : d.intDigits).push_back(char('0' + c.digitValue()));
            if (!inFraction)
                ++runs.last();
            anyDigit = lastWasDigit = true;
            ++i;
            continue;
        }
        const QStringView rest = s.mid(i);
        const bool atPoint = !point.isEmpty() && rest.startsWith(point);
        if (!inFraction && (atPoint || (dotIsPoint && c == QLatin1Char('.')))) {
            inFraction = true;
            lastWasDigit = false;
            i += atPoint ? point.size() : 1;
            continue;
        }
        if (!inFraction && lastWasDigit) {
            if (!group.isEmpty() && rest.startsWith(group)) {
                lastWasDigit = false;
                runs.append(0);
                i += group.size();
                continue;
            }
            if ((groupIsSpace && isSpaceSeparator(c)) || (groupIsQuote && c == QLatin1Char('\''))) {
                lastWasDigit = false;
                runs.append(0);
                ++i;
                continue;
            }
        }
        return std::nullopt;
    }
    // No locale writes a first group of 0: "0.500" under de_DE is no 500.
    if (!anyDigit || (asWritten && runs.size() > 1 &&
                      (d.intDigits.front() == '0' || !groupsAsWritten(runs, groupSizes(locale)))))
        return std::nullopt;
    stripLeadingZeros(d.intDigits);
    d.negative = negative && !d.isZero();
    return d;
}

void TWDecimal::roundTo(unsigned places, TWRounding rounding)
{
    if (fracDigits.size() <= places)
        return;
    const char first = fracDigits[places];
    const bool restNonZero =
        fracDigits.find_first_not_of('0', std::size_t(places) + 1) != std::string::npos;
    const char kept = places > 0 ? fracDigits[places - 1] : intDigits.back();
    // The digits hold the magnitude, so rounding it up goes away from zero on
    // either side.
    const bool tieUp = rounding == TWRounding::HalfAwayFromZero || (kept - '0') % 2 == 1;
    const bool up = first > '5' || (first == '5' && (restNonZero || tieUp));
    fracDigits.resize(places);
    if (up) {
        bool carry = true;
        for (auto it = fracDigits.rbegin(); carry && it != fracDigits.rend(); ++it) {
            carry = *it == '9';
            *it = carry ? '0' : char(*it + 1);
        }
        for (auto it = intDigits.rbegin(); carry && it != intDigits.rend(); ++it) {
            carry = *it == '9';
            *it = carry ? '0' : char(*it + 1);
        }
        if (carry)
            intDigits.insert(intDigits.begin(), '1');
    }
    if (isZero())
        negative = false;
}

void TWDecimal::trimFraction(unsigned minimum)
{
    while (fracDigits.size() > minimum && fracDigits.back() == '0')
        fracDigits.pop_back();
}

std::optional<qint64> TWDecimal::minorUnits(unsigned decimals) const
{
    TWDecimal rounded = *this;
    rounded.roundTo(decimals, TWRounding::HalfAwayFromZero);
    if (rounded.isZero())
        return 0;
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 value = 0;
    auto append = [&](unsigned digit) {
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
        return true;
    };
    for (char c : rounded.intDigits) {
        if (!append(unsigned(c - '0')))
            return std::nullopt;
    }
    for (char c : rounded.fracDigits) {
        if (!append(unsigned(c - '0')))
            return std::nullopt;
    }
    // The value is not zero, so this ends within twenty steps.
    for (std::size_t k = rounded.fracDigits.size(); k < decimals; ++k) {
        if (!append(0))
            return std::nullopt;
    }
    if (!negative)
        return qint64(value);
    return value == limit ? std::numeric_limits<qint64>::min() : -qint64(value);
}

std::optional<double> TWDecimal::toDouble() const
{
    std::string text = intDigits;
    if (!fracDigits.empty())
        text += "." + fracDigits;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

QString TWDecimal::localized(const QLocale &locale, bool grouping) const
{
    QString text = grouping ? groupedDigits(intDigits, locale) : localizedDigits(intDigits, locale);
    if (!fracDigits.empty())
        text += locale.decimalPoint() + localizedDigits(fracDigits, locale);
    return text;
}

QString TWDecimal::signedLocalized(const QLocale &locale, bool grouping) const
{
    const QString magnitude = localized(locale, grouping);
    return negative ? locale.negativeSign() + magnitude : magnitude;
}

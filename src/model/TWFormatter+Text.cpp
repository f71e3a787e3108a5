// Durations, sizes, dates and the display names of the model's enumerations.

#include "foundation/TWClock.h"
#include "foundation/TWDecimal.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWBudgetItem.h"
#include "model/TWField.h"
#include "model/TWFormatter.h"
#include "model/TWReport.h"
#include "model/TWUtilities.h"

#include <array>
#include <cmath>
#include <limits>

namespace
{

// The display-name tables: the key for each value, null where a value has none.
QString keyedText(const char *const *keys, std::size_t count, qint64 index)
{
    if (index < 0 || std::uint64_t(index) >= count || !keys[index])
        return {};
    return TWLocalized(keys[index]);
}

// The text of a key; none for a null key.
QString keyText(const QString &key)
{
    return key.isNull() ? QString() : TWLocalized(key);
}

template <std::size_t N> QString keyedText(const std::array<const char *, N> &keys, qint64 index)
{
    return keyedText(keys.data(), N, index);
}

constexpr std::array<const char *, 18> kDebitNames{
    nullptr,    "invoice",  "deposit",  "receive", "increase", "buy",
    "increase", "increase", nullptr,    "payment", "payment",  "decrease",
    "decrease", "decrease", "decrease", "charge",  "expense",  "decrease"};
constexpr std::array<const char *, 18> kCreditNames{
    nullptr,    "payment",  "withdrawal", "spend",  "decrease", "sell",
    "decrease", "decrease", nullptr,      "bill",   "charge",   "increase",
    "increase", "increase", "increase",   "income", "rebate",   "increase"};
constexpr std::array<const char *, 8> kTaskTypes{"timed", "flat",  "hour",    "day",
                                                 "week",  "month", "quarter", "year"};
constexpr std::array<const char *, 3> kBusinessTypes{"soleProprietorship", "partnership",
                                                     "corporation"};
constexpr std::array<const char *, 2> kProjectTypes{"estimate", "project"};
constexpr std::array<const char *, 3> kRepeatTypes{"transaction", "invoice", "bill"};
constexpr std::array<const char *, 2> kLayoutKinds{"standard", "custom"};
// Field identifiers -1, -2, ... at index 0, 1, ...
constexpr std::array<const char *, 15> kTaskFields{
    "date",    "client",   "project", "type",     "completed", "name",  "estimate", "startDate",
    "endDate", "quantity", "rate",    "subtotal", "taxRate",   "total", "notes"};
constexpr std::array<const char *, 10> kExpenseFields{"date",     "client", "project",  "name",
                                                      "quantity", "cost",   "subtotal", "taxRate",
                                                      "total",    "notes"};

// Singular and plural unit words, by day, week, month, year.
constexpr std::array<const char *, 4> kUnitSingular{"dayLower", "weekLower", "monthLower",
                                                    "yearLower"};
constexpr std::array<const char *, 4> kUnitPlural{"daysLower", "weeksLower", "monthsLower",
                                                  "yearsLower"};

QString unitWord(std::size_t unit, std::uint64_t count)
{
    return TWLocalized(count == 1 ? kUnitSingular[unit] : kUnitPlural[unit]);
}

// Whole days from `from` to `to` on the local calendar, and the hours left over
// (both negative when `to` is earlier), the way a calendar counts components.
void daysAndHours(const QDateTime &from, const QDateTime &to, qint64 &days, qint64 &hours)
{
    const QDateTime a = from.toLocalTime();
    const QDateTime b = to.toLocalTime();
    days = a.date().daysTo(b.date());
    if (b >= a) {
        if (a.addDays(days) > b)
            --days;
    } else if (a.addDays(days) < b) {
        ++days;
    }
    hours = a.addDays(days).secsTo(b) / 3600;
}

QString daysText(qint64 days)
{
    return QStringLiteral("%1 %2").arg(days).arg(TWLocalized(days == 1 ? "dayLower" : "daysLower"));
}

// The leading integer of a part of a duration (white space, sign, digits),
// saturated so a long run of digits cannot overflow.
double leadingInteger(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        negative = text.startsWith(QLatin1Char('-'));
        text = text.mid(1);
    }
    double value = 0;
    for (QChar c : text) {
        if (!c.isDigit())
            break;
        value = std::min(value * 10 + c.digitValue(), double(std::numeric_limits<int>::max()));
    }
    return negative ? -value : value;
}

} // namespace

// --- Durations and sizes ---------------------------------------------------

QString TWFormatter::timeString(double seconds, bool includeSeconds, std::uint32_t format) const
{
    if (!std::isfinite(seconds))
        return {};
    if (format == 1) {
        const float hours = float(seconds) / 60.0f / 60.0f;
        const std::optional<TWDecimal> d = TWDecimal::fromDouble(double(hours), 2);
        if (!d)
            return {};
        return d->signedLocalized(locale(), false);
    }
    if (format != 0)
        return {};
    const double a = std::min(std::fabs(seconds), 9.0e15);
    const qint64 h = qint64(a) / 3600;
    const double rest = a - double(h) * 3600;
    const qint64 m = qint64(rest / 60);
    const qint64 s = qint64(rest - double(m) * 60);
    // In the locale's digits, as every other number it shows (a formatter of
    // QLocale::c() keeps ASCII for files); the minus and the colons stay as
    // the readers take them.
    QLocale l = locale();
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto twoDigits = [&l](qint64 value) {
        return value < 10 ? l.toString(0) + l.toString(value) : l.toString(value);
    };
    QString text = seconds < 0 ? QStringLiteral("-") : QString();
    text += l.toString(h) + QLatin1Char(':') + twoDigits(m);
    if (includeSeconds)
        text += QLatin1Char(':') + twoDigits(s);
    return text;
}

double TWFormatter::timeValueFromString(const QString &text) const
{
    if (!text.contains(QLatin1Char(':')))
        return doubleValueFromString(text) * 3600;
    QStringView rest = QStringView(text).trimmed();
    // A leading minus makes the whole duration negative, so "-1:30" reads back
    // what timeString wrote for -5400 seconds.
    bool negative = false;
    if (rest.startsWith(QLatin1Char('-'))) {
        negative = true;
        rest = rest.mid(1);
    }
    double value = 0;
    int colons = 0;
    while (!rest.isEmpty()) {
        rest = rest.trimmed();
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        const QStringView part = colon < 0 ? rest : rest.left(colon);
        if (!part.trimmed().isEmpty())
            value = value * 60 + leadingInteger(part);
        if (colon < 0)
            break;
        ++colons;
        rest = rest.mid(colon + 1);
    }
    if (colons == 1)
        value *= 60;
    return negative ? -value : value;
}

QString TWFormatter::dataSizeString(std::uint64_t bytes) const
{
    if (bytes < 1024) {
        QLocale l = locale();
        l.setNumberOptions(QLocale::DefaultNumberOptions);
        return QStringLiteral("%1 %2").arg(l.toString(qulonglong(bytes)), QStringLiteral("B"));
    }
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    int unit = 0;
    while (unit < 3 && bytes >= (std::uint64_t(1) << (10 * (unit + 2))))
        ++unit;
    const float size = float(bytes >> (10 * unit)) * (1.0f / 1024.0f);
    return QString::asprintf("%.1f %s", double(size), units[unit]);
}

// --- Dates -----------------------------------------------------------------

QString TWFormatter::shortDateString(const QDateTime &date) const
{
    if (!date.isValid())
        return {};
    return locale().toString(date.toLocalTime().date(), QLocale::ShortFormat);
}

QString TWFormatter::shortDateFormat() const
{
    return locale().dateFormat(QLocale::ShortFormat);
}

QString TWFormatter::shortDateTimeString(const QDateTime &date) const
{
    if (!date.isValid())
        return {};
    return locale().toString(date.toLocalTime(), QLocale::ShortFormat);
}

QString TWFormatter::shortDateTimeFormat() const
{
    return locale().dateTimeFormat(QLocale::ShortFormat);
}

QString TWFormatter::longDateString(const QDateTime &date) const
{
    if (!date.isValid())
        return {};
    return locale().toString(date.toLocalTime().date(), QLocale::LongFormat);
}

QString TWFormatter::safeDateString(const QDateTime &date) const
{
    if (!date.isValid())
        return {};
    const QDate day = date.toLocalTime().date();
    return QStringLiteral("%1-%2-%3")
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(day.month())
        .arg(day.day());
}

QString TWFormatter::overdueDateString(const QDateTime &date) const
{
    if (!date.isValid())
        return {};
    qint64 days = 0;
    qint64 hours = 0;
    daysAndHours(date, TWClock::now(), days, hours);
    return daysText(days + (hours > 0 ? 1 : 0));
}

QString TWFormatter::repeatString(std::uint32_t interval, std::uint32_t intervalUnit,
                                  const QDateTime &endDate) const
{
    if (intervalUnit > 3)
        return {};
    const QString text =
        QStringLiteral("%1 %2").arg(interval).arg(unitWord(intervalUnit, interval));
    if (!endDate.isValid())
        return text;
    return QStringLiteral("%1 (%2 %3)").arg(text, TWLocalized("ends"), shortDateString(endDate));
}

QString TWFormatter::repeatNextItemString(bool active, bool hasGeneratedItems,
                                          const QDateTime &nextDate) const
{
    if (!active || !hasGeneratedItems)
        return TWLocalized("inactiveLower");
    qint64 days = 0;
    qint64 hours = 0;
    if (nextDate.isValid())
        daysAndHours(TWClock::now(), nextDate, days, hours);
    return daysText(days + (hours > 0 ? 1 : 0));
}

QString TWFormatter::budgetItemCycleString(std::uint32_t cycle, std::uint32_t cycleUnit) const
{
    if (cycleUnit == 0)
        return noneString();
    if (cycleUnit > 4)
        return {};
    return QStringLiteral("%1 %2").arg(cycle).arg(unitWord(cycleUnit - 1, cycle));
}

QString TWFormatter::budgetItemCycleString(const TWBudgetItem &budgetItem) const
{
    return budgetItemCycleString(budgetItem.cycle(), budgetItem.cycleUnit());
}

QString TWFormatter::noneString() const
{
    return TWLocalized("none");
}

QString TWFormatter::intervalDetails(std::uint32_t preset, const QDateTime &customFromDate,
                                     const QDateTime &customToDate, bool multipleLines) const
{
    static const char *const names[] = {"allDates", "today", "yesterday", "week",
                                        "month",    "year",  "custom"};
    if (preset > 6)
        return {};
    if (preset == 0)
        return TWLocalized(names[0]);
    const QString separator = multipleLines ? QStringLiteral("\r\n") : QStringLiteral(" - ");
    const QString from = shortDateString(TWUtilities::intervalFromDate(preset, customFromDate));
    QString text = TWLocalized(names[preset]) + separator + from;
    if (preset >= 3)
        text += separator + shortDateString(TWUtilities::intervalToDate(preset, customToDate));
    return text;
}

// --- Display names ---------------------------------------------------------

QString TWFormatter::accountTypeString(std::uint32_t accountType) const
{
    return keyText(TWAccount::accountTypeNameKey(int(std::min<std::uint32_t>(accountType, 1000))));
}

QString TWFormatter::debitNameString(std::uint32_t accountType) const
{
    return keyedText(kDebitNames, accountType);
}

QString TWFormatter::creditNameString(std::uint32_t accountType) const
{
    return keyedText(kCreditNames, accountType);
}

QString TWFormatter::fieldTypeString(std::uint32_t fieldType) const
{
    const char *key = TWFieldTypeNameKey(fieldType);
    return key ? TWLocalized(key) : QString();
}

QString TWFormatter::reportTypeString(std::uint32_t reportType) const
{
    return keyText(TWReport::reportTypeNameKey(int(std::min<std::uint32_t>(reportType, 1000))));
}

QString TWFormatter::businessTypeString(std::uint32_t businessType) const
{
    return keyedText(kBusinessTypes, businessType);
}

QString TWFormatter::projectTypeString(std::uint32_t projectType) const
{
    return keyedText(kProjectTypes, projectType);
}

QString TWFormatter::taskTypeString(std::uint32_t taskType) const
{
    return keyedText(kTaskTypes, taskType);
}

QString TWFormatter::repeatTypeString(std::uint32_t repeatType) const
{
    return keyedText(kRepeatTypes, repeatType);
}

QString TWFormatter::layoutKindString(std::uint32_t layoutKind) const
{
    return keyedText(kLayoutKinds, layoutKind);
}

QString TWFormatter::taskFieldString(std::int32_t fieldIdentifier) const
{
    return keyedText(kTaskFields, -qint64(fieldIdentifier) - 1);
}

QString TWFormatter::expenseFieldString(std::int32_t fieldIdentifier) const
{
    return keyedText(kExpenseFields, -qint64(fieldIdentifier) - 1);
}

QStringList TWFormatter::localizationKeys()
{
    QStringList keys;
    auto add = [&](const auto &table) {
        for (const char *key : table) {
            if (key)
                keys.append(QString::fromLatin1(key));
        }
    };
    for (int type = 0; type <= TWAccountTypeEquity; ++type) {
        if (const QString key = TWAccount::accountTypeNameKey(type); !key.isNull())
            keys.append(key);
    }
    add(kDebitNames);
    add(kCreditNames);
    for (std::uint32_t type = 0; TWFieldTypeNameKey(type); ++type)
        keys.append(QString::fromLatin1(TWFieldTypeNameKey(type)));
    for (int type = 0; !TWReport::reportTypeNameKey(type).isNull(); ++type)
        keys.append(TWReport::reportTypeNameKey(type));
    add(kTaskTypes);
    add(kBusinessTypes);
    add(kProjectTypes);
    add(kRepeatTypes);
    add(kLayoutKinds);
    add(kTaskFields);
    add(kExpenseFields);
    add(kUnitSingular);
    add(kUnitPlural);
    for (const char *key : {"allDates", "today", "yesterday", "week", "month", "year", "custom"})
        keys.append(QString::fromLatin1(key));
    keys.append(QStringLiteral("numberNotAsWritten"));
    keys.append(QStringLiteral("numberNotAsWrittenSpaced"));
    keys.append(QStringLiteral("numberExampleEither"));
    return keys;
}

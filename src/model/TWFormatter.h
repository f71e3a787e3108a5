#pragma once
// Turns stored values into display text and typed text back into stored values:
// money in minor units, numbers, percentages, durations, data sizes, dates and
// the display names of the model's enumerations. Nothing is formatted anywhere
// else, so every list, report, export and invoice agrees.
//
// The formatter keeps no state that a call changes: every call works on its own
// copy of the locale, so the invoice renderer's thread may format while the main
// thread does. The shared instance follows the application's default locale
// (QLocale()); an instance made with an explicit locale keeps that one.

#include "model/TWUnit.h"

#include <QCalendar>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class TWBudgetItem;
class TWNumberFormatter;

class TWFormatter
{
public:
    // The shared instance (made on first use, never released). Make it on the
    // main thread before another thread first asks for it.
    static const TWFormatter &formatter();

    // Follows the default locale.
    TWFormatter() = default;
    // Always uses `locale`.
    explicit TWFormatter(const QLocale &locale) : m_locale(locale) {}

    QLocale locale() const { return m_locale.value_or(QLocale()); }
    // The Gregorian calendar; its dates are local wall-clock dates (TWDateAdditions).
    QCalendar calendar() const { return QCalendar(QCalendar::System::Gregorian); }
    // True when the locale's country is the United States.
    bool isUS() const;
    // The validator handed to editable number fields (shared, main thread only).
    static TWNumberFormatter *numberTextFormatter();

    // --- Money -------------------------------------------------------------
    // Display text of an amount in minor units; none (a null string) when the
    // unit is missing. The sign ("-" or brackets) stands outside the unit's
    // symbol or code. Hidden decimals round to whole units, ties to even.
    QString valueString(qint64 value, const TWUnit *unit, bool displayUnit,
                        bool displayGroupingSeparator, bool forcePositive, bool useBrackets,
                        bool showDecimals) const;
    // Exactly `decimalPlaces` decimals (at most 255), no grouping, "-" for negatives.
    QString valueString(qint64 value, std::uint32_t decimalPlaces) const;
    // Text for files: "." as decimal separator, no grouping, the unit's decimals.
    QString valueSafeString(qint64 value, const TWUnit *unit) const;
    // Minor units from typed text, read exactly (never through a double): the
    // locale's separators, a leading minus, brackets and the currency's symbol
    // or code are understood; digits beyond the decimals round to the nearest
    // minor unit, ties to even (12.345 at 2 places is 1234, 5.5 at 0 places 6).
    // Missing or blank text gives 0 (*ok true); unreadable or out-of-range text
    // (too large for 64 bits, exponents, "nan") gives 0 and sets *ok to false.
    qint64 valueFromString(const QString &text, const TWUnit *unit, bool *ok = nullptr) const;
    qint64 valueFromString(const QString &text, std::uint32_t decimalPlaces,
                           bool *ok = nullptr) const;
    // Money as a user types it, read only when it is written as the locale
    // writes numbers: what valueFromString reads, except that grouping
    // separators must stand between whole groups ("1234,56" under en_US is
    // none, not 123456) and the amount must fit in 64 bits. Surrounding white
    // space is dropped and blank text is 0; none for anything else unreadable,
    // which the field then refuses rather than storing something else.
    std::optional<qint64> typedValue(const QString &text, const TWUnit *unit) const;
    std::optional<qint64> typedValue(const QString &text, std::uint32_t decimalPlaces) const;
    // A plain number (quantity, tax rate, percentage) as a user types it, read
    // as strictly; blank text is 0, none when unreadable or beyond a double.
    std::optional<double> typedNumber(const QString &text) const;
    // A duration as a user types it, in seconds: "h:mm", "h:mm:ss" or decimal
    // hours read as typedNumber reads; blank text is 0, none when unreadable.
    std::optional<double> typedTime(const QString &text) const;
    // A number as an example of what to type: as fields show it, and where
    // the locale's decimal mark is not on a Latin keyboard also as typed on
    // one ("١٫٥ or 1.5").
    QString typedNumberExample(double value) const;
    // What a field that refused typed text says: the number is not written as
    // the locale writes numbers, with an example ("1,234.56") other than
    // `typed` (where that itself was refused, a field without decimal places
    // holds it, and "1,234" stands for it).
    QString typedNumberError(const QString &typed = QString()) const;
    // The parsed amount in whole units (rounded to the unit's decimals).
    double unitValueFromString(const QString &text, const TWUnit *unit) const;
    // "x 1.25000" (with a point in every locale): amount 1 per amount 2 in
    // whole units; empty when either is 0.
    QString conversionString(qint64 value1, const TWUnit *unit1, qint64 value2,
                             const TWUnit *unit2) const;
    // The unit's exchange rate against the home unit, with grouping; none for a
    // missing unit or a unit type other than 0, 1 and 2.
    QString homeUnitRateString(const TWUnit *unit, const TWUnit *homeUnit) const;
    // The register's debit or credit column for an amount: shown in the debit
    // column when `sign` is above 0 and in the credit column when below, as a
    // magnitude; otherwise the empty text. The transaction and split column
    // operations pick value, sign and unit from their records and call this.
    QString debitCreditColumnString(qint64 value, qint64 sign, const TWUnit *unit, bool isDebit,
                                    bool displayUnit, bool displayGroupingSeparator) const;
    // An editor's debit or credit text of a bare amount (debit shows amounts
    // above 0, credit below 0; swapped the other way round); magnitude without
    // the unit, grouping off while editing; the empty text when not shown.
    QString debitCreditValue(qint64 value, const TWUnit *unit, bool swapped, bool isDebit,
                             bool editing) const;
    QString currencyGroupingSeparator() const;
    QString currencyDecimalSeparator() const;
    // The number in the currency style of the given locale.
    static QString stringForPrice(double price, const QLocale &locale);

    // --- Numbers, percentages, durations, sizes -----------------------------
    // Grouped, 0 to 6 decimals.
    QString doubleValueString(double value) const;
    // A plain number as fields and lists show it (quantities, tax rates,
    // percents): the fewest digits that read back as the same value, never an
    // exponent, in the locale's marks and grouping. The float form is for
    // values kept in single precision ("7.7", not "7.6999998").
    QString numberString(double value) const;
    QString numberString(float value) const;
    // Grouping allowed, rounded to 6 decimals; 0 for missing or unreadable text.
    double doubleValueFromString(const QString &text) const;
    // The fraction times 100 with exactly `decimalPlaces` decimals, no percent sign.
    QString percentValueString(float value, std::uint32_t decimalPlaces) const;
    // The number as typed (not divided by 100); 0 for missing or unreadable text.
    float percentValueFromString(const QString &text) const;
    // Format 0: "h:mm:ss" or "h:mm" (truncated); format 1: decimal hours with
    // two decimals in the locale's marks ("2.50", "2,50"), ungrouped; other
    // formats: none. A formatter of QLocale::c() writes what files hold.
    QString timeString(double seconds, bool includeSeconds, std::uint32_t format) const;
    // "1:30" is 5400 s, "1:30:15" 5415 s, "2.5" (hours) 9000 s.
    double timeValueFromString(const QString &text) const;
    // "1,023 B", "2.0 KB" ... "TB" (powers of 1024).
    QString dataSizeString(std::uint64_t bytes) const;

    // --- Dates (none for a missing date) ------------------------------------
    QString shortDateString(const QDateTime &date) const;
    QString shortDateFormat() const;
    QString shortDateTimeString(const QDateTime &date) const;
    QString shortDateTimeFormat() const;
    QString longDateString(const QDateTime &date) const;
    // "yyyy-M-d", independent of the locale.
    QString safeDateString(const QDateTime &date) const;
    // "3 days": whole days since the date, a started day counting as one more.
    QString overdueDateString(const QDateTime &date) const;
    // Schedule text of a repeat ("2 weeks (ends 5/1/24)"); none for an interval
    // unit above 3. A missing repeat shows noneString().
    QString repeatString(std::uint32_t interval, std::uint32_t intervalUnit,
                         const QDateTime &endDate) const;
    // Days until a repeat's next generated item; "inactive" when the repeat is
    // not active or has generated nothing. `nextDate` is the repeat's next date.
    QString repeatNextItemString(bool active, bool hasGeneratedItems,
                                 const QDateTime &nextDate) const;
    // "1 month", "2 weeks"; cycle unit 0 shows noneString(); above 4 none.
    QString budgetItemCycleString(std::uint32_t cycle, std::uint32_t cycleUnit) const;
    QString budgetItemCycleString(const TWBudgetItem &budgetItem) const;
    // The text shown for a missing repeat or budget cycle.
    QString noneString() const;
    // Name and dates of an interval preset 0-6 (TWUtilities); none above 6.
    QString intervalDetails(std::uint32_t preset, const QDateTime &customFromDate,
                            const QDateTime &customToDate, bool multipleLines) const;

    // --- Display names (none for a value outside the table) -----------------
    QString accountTypeString(std::uint32_t accountType) const;
    QString debitNameString(std::uint32_t accountType) const;
    QString creditNameString(std::uint32_t accountType) const;
    QString fieldTypeString(std::uint32_t fieldType) const;
    QString reportTypeString(std::uint32_t reportType) const;
    QString businessTypeString(std::uint32_t businessType) const;
    QString projectTypeString(std::uint32_t projectType) const;
    QString taskTypeString(std::uint32_t taskType) const;
    QString repeatTypeString(std::uint32_t repeatType) const;
    QString layoutKindString(std::uint32_t layoutKind) const;
    QString taskFieldString(std::int32_t fieldIdentifier) const;
    QString expenseFieldString(std::int32_t fieldIdentifier) const;
    // Every key the display names and interval texts look up (a test checks
    // that each has a text).
    static QStringList localizationKeys();

private:
    std::optional<QLocale> m_locale;
};

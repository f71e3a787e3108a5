#pragma once
// Reads Quicken Interchange Format files: the bank-style sections (cash, bank,
// credit card, investment, other asset and liability) become rows of seven
// fixed columns, one row per transaction, or a head row, a bank-side row and
// one row per split for a split transaction. Amounts come out as the change of
// the row's account 1; dates as written, with the pattern of the file's order
// of day and month for the mapping to read them by.

#include "import/core/TWImportValues.h"
#include "import/core/TWParser.h"

#include <QDate>
#include <QLocale>

class TWParserQIF : public TWParser
{
public:
    static std::shared_ptr<TWParserQIF> parser();

    // Columns: cleared, date, payee, memo, account 1, account 2, amount.
    void parse(const QByteArray &data) override;

    // The localised account name of a QIF account type ("Bank", "CCard", ...,
    // compared without regard to case); none for any other type.
    static std::optional<QString> accountNameFromType(const QString &type);

    // The three numbers of a "D" value ("3/14/19", "14.03.2019", "3/14'19"):
    // day and month in the order written, then the year (a two-digit year
    // below 50 is 20xx); none when the value is not such a date.
    struct DateParts {
        int first = 0;
        int second = 0;
        int year = 0;
        int yearDigits = 4; // as written: 2 or 4
        // Invalid when the numbers name no day in that order.
        QDate date(bool dayFirst) const;
    };
    static std::optional<DateParts> dateParts(const QString &value);
    // The date pattern that a file's "D" values fit as a whole ("dd.MM.yyyy",
    // "MM/dd/yyyy"): the order of day and month most of them fit alone (14/3
    // or 3/14); where none decides, for dates written with "/" the order of
    // `shortDateFormat` (the user's) when it writes "/" too, else month
    // first; day first for any other separator. Null when no value is a date.
    static QString dateFormat(const QStringList &values, const QString &shortDateFormat);
    // A "T" or "$" value in the locale's notation, negated when asked; either
    // decimal mark is read by its shape ("1,500.00", "-45,90"), a lone "." is
    // the decimal mark ("1.234" is one and a quarter, never 1,234); a
    // currency sign around the number stays ("-¥1234"); unreadable text as
    // written.
    static QString amountString(const QString &value, bool negate, const QLocale &locale);
    // "1" for a cleared or reconciled mark ("*", "c", "X", "R"), else "0".
    static QString clearedString(const QString &value);
    // A category as an account name: a transfer's "[Savings]" is "Savings".
    static QString accountName(const QString &category);

private:
    static QString firstSeparator(const QString &value);
    // Whether a short date format writes "/" and the day before the month.
    static bool writesDayFirstWithSlash(const QString &shortDateFormat);
};

#pragma once
// Values that the import readers hand on and the import processors read back:
// the split word that marks the rows of a split transaction, and amounts and
// dates rewritten from a file's fixed notation into the user's locale, so the
// mapping's default reading of the rows is exact.

#include "foundation/TWDecimal.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

class TWUnit;

namespace TWImportValues
{

// The localised word in the account columns of a split transaction's rows.
QString splitWord();
// The split word followed by " - ": begins the account column of a split line.
QString splitPrefix();

// An amount written with "." as decimal point and "," grouping, a leading "+"
// or "-" allowed; with `commaDecimal`, a "," is the decimal point when the text
// has no ".". None when the text is not such a number.
std::optional<TWDecimal> readAmount(const QString &text, bool commaDecimal = false);
// A number as a file or a person writes it, with either decimal mark: a lone
// "." is the decimal point (QIF's notation, and what "1.500" hours means);
// otherwise the shape decides as in localAmountText ("-45,90", "1,5",
// "1.234,56", "1,500"). No exponents. None when it is no such number.
std::optional<TWDecimal> readWrittenNumber(const QString &text);
// The same as a double; with `percent`, a "%" after the number is allowed
// ("7.5%" is 7.5). None when it is no such number.
std::optional<double> readNumber(const QString &text, bool percent = false);
// An amount as a bank or spreadsheet writes it, rewritten for the locale:
// grouping taken out and the decimal mark made the locale's. Which of "." and
// "," is the decimal mark follows from the text, not the locale: grouping is
// always followed by exactly three digits, so a last separator followed by
// one, two or more than three digits, or one that follows the other kind, is
// the decimal mark ("-850,00", "2.500,00", "-1,500.00", "3,250.00"). None when
// the separators fit no reading ("1.2.3", "1,23,45"). Text without separators
// comes back as it is. In a unit of three places a lone separator followed by
// three digits is its decimal mark ("1.234" dinars is 1234 fils, as the
// program writes it), and only a second one of its kind makes it grouping.
// With `localeGrouping`, a lone "," the locale groups with stays grouping in
// a unit of three places too (isLocaleGrouping).
std::optional<QString> localAmountText(const QString &text, const QLocale &locale,
                                       unsigned places = 2, bool localeGrouping = false);
// Whether the mark is the comma the locale groups with (en_US, en_GB): such a
// mark before three digits is grouping in every unit, never the decimal mark
// of a unit of three places. A locale that groups with "." (de_DE) leaves a
// dinar's "1.250" to the unit, as the program's own files of dinars write it.
bool isLocaleGrouping(QChar mark, const QLocale &locale);

// What a column's amounts say of their decimal mark, between them: a value
// decides when its mark cannot be grouping (a lone "." or "," followed by one,
// two, or four or more digits, or after more than three digits or a leading
// 0; the later of two kinds; the other kind of a mark written twice; a mark
// after a grouping space). `decimal` is that mark, none when no value decides
// or values decide both ways (`conflicting`).
struct ColumnMarks {
    std::optional<QChar> decimal;
    bool conflicting = false;
};
ColumnMarks columnMarks(const QStringList &values);
// Whether the text holds a lone "." or "," followed by exactly three digits:
// the one shape that is grouping or a decimal mark by the column or the locale.
std::optional<QChar> undecidedMark(const QString &text);
// An amount written with `decimal` as its decimal mark, rewritten for the
// locale: the other mark, spaces and apostrophes are grouping (every group
// after the first of three digits), the decimal mark becomes the locale's.
// None when the separators fit no such reading ("1.2.3" with "." decimal).
std::optional<QString> markedAmountText(const QString &text, const QLocale &locale, QChar decimal);

// An amount of a unit as a file writes it. With `plain` the parser has
// already read the number by its format's rule (QIF and OFX: "." is the
// decimal mark) and handed it on in the locale's mark without grouping; else
// (CSV) the separators are read by the text's shape and the unit's places
// (localAmountText). Either way the text may carry the unit's sign or code
// (twMoneySigns: "$" for every dollar unit); a sign or code of another unit,
// or text that is no amount, gives none. Never rounded: see fitsPlaces.
std::optional<TWDecimal> fileAmount(const QString &text, const TWUnit *unit, bool plain,
                                    const QLocale &locale);
// The same with the decimal mark settled for the text's column (CSV).
std::optional<TWDecimal> fileAmount(const QString &text, const TWUnit *unit, QChar decimal,
                                    const QLocale &locale);
// Whether the amount has no digits past `places` but zeros.
bool fitsPlaces(const TWDecimal &amount, unsigned places);

// The amount in the locale's digits without grouping, "-" before a negative.
QString amountText(const TWDecimal &amount, const QLocale &locale);

// A date as the formatter's short date text (what the mapping reads by default).
QString dateText(const QDate &date);

// The same texts remembered by day for one parse: formatting a date is slow
// next to reading a row, and a statement repeats few days.
class DateTexts
{
public:
    QString text(const QDate &date);

private:
    QHash<qint64, QString> m_texts;
};

} // namespace TWImportValues

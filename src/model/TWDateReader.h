#pragma once
// Reads the dates of import files the forgiving way people and banks write
// them. A pattern (the user's short date format, or one chosen per column)
// gives only the order of day, month and year, whether months are written as
// names and whether a time follows; the text may use one or two digits for day
// and month, two or four for the year and any separators. QDate::fromString
// would refuse "3/4/2019" under "M/d/yy", so the import reads through here,
// and so does every date field of the windows: what a user types is read the
// same way as a file's dates.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

class TWDateReader
{
public:
    // Reads by `pattern` (QLocale/QDateTime format letters) in `locale`'s
    // month names and day periods.
    explicit TWDateReader(const QString &pattern, const QLocale &locale = QLocale());

    // The reader of what is typed into a field showing `pattern` (the
    // locale's short formats): a month written as a name is read whatever
    // the pattern, so "Oct 5, 2026" reads in a field showing 10/5/26, and
    // so do an ordinal's ending after the day ("Oct 5th, 2026") and the words
    // of the locale's long format ("5 de octubre de 2026"). It reads the text
    // whole: anything left over (a second date run on after
    // the first, a time where the field shows none, a stray word) refuses
    // it, where a file's reader passes such text over.
    static TWDateReader typed(const QString &pattern, const QLocale &locale = QLocale());

    const QString &pattern() const { return m_pattern; }

    // The local moment the text names (midnight without a time); an invalid
    // QDateTime when it does not read as a date of the pattern's order.
    QDateTime read(const QString &text) const;

private:
    enum Part { Day, Month, Year };
    QString m_pattern;
    QLocale m_locale;
    Part m_order[3] = {Month, Day, Year};
    bool m_monthNames = false;
    bool m_time = false;
    bool m_whole = false;
    // Words the pattern writes itself (quoted), upper-cased; for typed text
    // also those of the locale's long format.
    QStringList m_literals;

    int monthFromName(QStringView word) const;
    // Whether a word of whole text may stand beside the date: a weekday's
    // name or one of the pattern's own words.
    bool isKnownWord(const QString &word) const;
};

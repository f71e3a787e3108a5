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

#include <utility>

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
    // of the locale's long format ("5 de octubre de 2026", "segunda-feira, 5
    // de outubro de 2026"), in its order ("5 oktober 2026" where the short
    // format puts the year first). It reads the text
    // whole: anything left over (a second date run on after
    // the first, a time where the field shows none, a stray word) refuses
    // it, where a file's reader passes such text over.
    static TWDateReader typed(const QString &pattern, const QLocale &locale = QLocale());

    const QString &pattern() const { return m_pattern; }

    // The local moment the text names (the day's start without a time); an
    // invalid QDateTime when it does not read as a date of the pattern's
    // order, or names a time the local clock skipped that day (`skippedTime`
    // then says so).
    QDateTime read(const QString &text, bool *skippedTime = nullptr) const;

private:
    // Without `names`, only the pattern is read (its order and words).
    TWDateReader(const QString &pattern, const QLocale &locale, bool names);

    enum Part { Day, Month, Year };
    QString m_pattern;
    QLocale m_locale;
    Part m_order[3] = {Month, Day, Year};
    // The order beside a month written as a name: the pattern's, or for
    // typed text the locale's long format's.
    Part m_namedOrder[3] = {Month, Day, Year};
    bool m_monthNames = false;
    bool m_time = false;
    bool m_whole = false;
    // Words the pattern writes itself (quoted, or in letters that are no
    // format letters), upper-cased; for typed text also those of the
    // locale's long format and the words written before a date.
    QStringList m_literals;
    // The pattern's own words after its hour ("HH 'h' mm").
    QStringList m_timeLiterals;
    // Month names as tokens hold them, with their months.
    QList<std::pair<QString, int>> m_monthNameList;
    // Weekday names, and the words of month names written with a number.
    QStringList m_weekdays;
    // The day periods as tokens hold them: the locale's and "AM"/"PM", with
    // Latin letters for the Greek and Cyrillic ones that look the same.
    QStringList m_amWords;
    QStringList m_pmWords;

    // The month a word names: a name of the locale or of English, or with
    // `whole` false also its first three or more letters; 0 for none.
    int monthFromName(QStringView word, bool whole) const;
    // Whether words (run together) are one of `periods`, alone or beside one
    // of the pattern's words.
    bool isDayPeriod(const QString &words, const QStringList &periods) const;
    // Whether words of whole text (run together) may stand beside the date:
    // weekday names and the pattern's own words.
    bool isKnownWord(const QString &word) const;
};

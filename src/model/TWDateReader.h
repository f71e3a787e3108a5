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

class TWDateReader
{
public:
    // Reads by `pattern` (QLocale/QDateTime format letters) in `locale`'s
    // month names and day periods.
    explicit TWDateReader(const QString &pattern, const QLocale &locale = QLocale());

    // The reader of what is typed into a field showing `pattern` (the
    // locale's short formats): a month written as a name is read whatever
    // the pattern, so "Oct 5, 2026" reads in a field showing 10/5/26.
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

    int monthFromName(QStringView word) const;
};

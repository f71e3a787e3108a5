#include "model/TWDateReader.h"

#include <QList>
#include <QTime>

#include <algorithm>
#include <optional>
#include <utility>

namespace
{

struct Token {
    bool number = false;
    int value = 0;
    int digits = 0;
    QString word;        // upper-cased
    bool spaced = false; // white space or a comma since the token before
};

QList<Token> tokenize(const QString &text)
{
    QList<Token> tokens;
    const qsizetype size = text.size();
    qsizetype i = 0;
    bool spaced = false;
    while (i < size) {
        const QChar c = text.at(i);
        if (c.isDigit()) {
            Token token;
            token.number = true;
            token.spaced = std::exchange(spaced, false);
            while (i < size && text.at(i).isDigit()) {
                // More digits than any date part has: the token cannot be one.
                if (token.digits < 9)
                    token.value = token.value * 10 + text.at(i).digitValue();
                ++token.digits;
                ++i;
            }
            tokens.append(token);
        } else if (c.isLetter()) {
            const qsizetype start = i;
            while (i < size && text.at(i).isLetter())
                ++i;
            Token token;
            token.word = text.mid(start, i - start).toUpper();
            token.spaced = std::exchange(spaced, false);
            tokens.append(token);
        } else {
            if (c.isSpace() || c == QLatin1Char(','))
                spaced = true;
            ++i;
        }
    }
    return tokens;
}

// Walks a date pattern, quoted text being literal: each quoted word is
// handed upper-cased to `word`, each run of one unquoted character to `field`
// with the run's length.
template <typename Word, typename Field>
void scanPattern(const QString &pattern, Word word, Field field)
{
    bool quoted = false;
    const qsizetype size = pattern.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            ++i;
        } else if (quoted && c.isLetter()) {
            const qsizetype start = i;
            while (i < size && pattern.at(i).isLetter())
                ++i;
            word(pattern.mid(start, i - start).toUpper());
        } else {
            qsizetype run = 1;
            while (i + run < size && pattern.at(i + run) == c)
                ++run;
            if (!quoted)
                field(c, run);
            i += run;
        }
    }
}

// The words a pattern writes itself (quoted), upper-cased.
QStringList quotedWords(const QString &pattern)
{
    QStringList words;
    scanPattern(
        pattern, [&words](QString word) { words.append(std::move(word)); },
        [](QChar, qsizetype) {});
    return words;
}

// The endings written straight after a day's digits: "5th", "1er", "5º".
bool isOrdinalEnding(const QString &word)
{
    static const QStringList endings = {QStringLiteral("ST"),    QStringLiteral("ND"),
                                        QStringLiteral("RD"),    QStringLiteral("TH"),
                                        QStringLiteral("ER"),    QStringLiteral("\u00BA"),
                                        QStringLiteral("\u00AA")};
    return endings.contains(word);
}

} // namespace

TWDateReader::TWDateReader(const QString &pattern, const QLocale &locale)
    : m_pattern(pattern), m_locale(locale)
{
    // The order in which day, month and year first appear; quoted text is
    // literal. "ddd" and "dddd" are weekday names, not the day.
    int found = 0;
    bool seen[3] = {false, false, false};
    Part order[3] = {Month, Day, Year};
    const auto literal = [this](QString word) { m_literals.append(std::move(word)); };
    const auto field = [&](QChar c, qsizetype run) {
        const char16_t u = c.unicode();
        std::optional<Part> part;
        if (u == u'd' && run <= 2)
            part = Day;
        else if (u == u'M' || u == u'L') {
            part = Month;
            if (run >= 3)
                m_monthNames = true;
        } else if (u == u'y')
            part = Year;
        else if (u == u'h' || u == u'H')
            m_time = true;
        if (part && !seen[*part] && found < 3) {
            seen[*part] = true;
            order[found++] = *part;
        }
    };
    scanPattern(pattern, literal, field);
    if (found == 3)
        std::copy(std::begin(order), std::end(order), std::begin(m_order));
}

TWDateReader TWDateReader::typed(const QString &pattern, const QLocale &locale)
{
    TWDateReader reader(pattern, locale);
    reader.m_monthNames = true;
    reader.m_whole = true;
    // People type dates as the locale writes them in full ("5 de octubre de
    // 2026"), whatever the field shows. Qt has no medium format; where a
    // locale's medium format has words, they are its long format's.
    reader.m_literals.append(quotedWords(locale.dateFormat(QLocale::LongFormat)));
    return reader;
}

bool TWDateReader::isKnownWord(const QString &word) const
{
    if (m_literals.contains(word))
        return true;
    static const QLocale english = QLocale::c();
    for (const QLocale *locale : {&m_locale, &english}) {
        for (int day = 1; day <= 7; ++day) {
            for (const QString &name : {locale->dayName(day, QLocale::LongFormat),
                                        locale->dayName(day, QLocale::ShortFormat)}) {
                QString upper = name.toUpper();
                if (upper.endsWith(QLatin1Char('.')))
                    upper.chop(1);
                if (upper == word)
                    return true;
            }
        }
    }
    return false;
}

int TWDateReader::monthFromName(QStringView word) const
{
    if (word.size() < 3)
        return 0;
    static const QLocale english = QLocale::c();
    for (const QLocale *locale : {&m_locale, &english}) {
        for (int month = 1; month <= 12; ++month) {
            for (const QString &name : {locale->monthName(month, QLocale::LongFormat),
                                        locale->monthName(month, QLocale::ShortFormat),
                                        locale->standaloneMonthName(month, QLocale::LongFormat),
                                        locale->standaloneMonthName(month, QLocale::ShortFormat)}) {
                QString upper = name.toUpper();
                if (upper.endsWith(QLatin1Char('.')))
                    upper.chop(1);
                if (!upper.isEmpty() &&
                    (upper == word || (word.size() >= 3 && upper.startsWith(word))))
                    return month;
            }
        }
    }
    return 0;
}

QDateTime TWDateReader::read(const QString &text) const
{
    const QList<Token> tokens = tokenize(text);

    // A month written as a name takes the month's place; without one the
    // month is read as a number even where the pattern names it.
    int month = 0;
    qsizetype monthToken = -1;
    if (m_monthNames) {
        for (qsizetype i = 0; i < tokens.size() && monthToken < 0; ++i) {
            if (!tokens.at(i).number) {
                month = monthFromName(tokens.at(i).word);
                if (month != 0)
                    monthToken = i;
            }
        }
    }
    QList<Part> parts;
    for (const Part part : m_order) {
        if (part != Month || monthToken < 0)
            parts.append(part);
    }
    // A date that opens with a four-digit year is ISO 8601's year, month,
    // day (time trackers and spreadsheets write "2026-11-02"), whatever order
    // the pattern gives: no order puts a year first and the day before the
    // month, so nothing else can be meant.
    if (monthToken < 0 && parts.first() != Year) {
        const auto first = std::find_if(tokens.begin(), tokens.end(),
                                        [](const Token &token) { return token.number; });
        if (first != tokens.end() && first->digits == 4)
            parts = {Year, Month, Day};
    }

    int day = 0;
    int year = 0;
    qsizetype next = 0;
    qsizetype index = 0;
    qsizetype lastDateToken = monthToken;
    qsizetype dayToken = -1;
    // An ordinal's ending straight after the day's digits belongs to the day.
    const auto isDaysEnding = [&tokens, &dayToken](qsizetype i) {
        return dayToken >= 0 && i == dayToken + 1 && !tokens.at(i).spaced &&
               isOrdinalEnding(tokens.at(i).word);
    };
    for (; index < tokens.size() && next < parts.size(); ++index) {
        const Token &token = tokens.at(index);
        // Weekday names and other words around the date are passed over;
        // whole text allows only the words a date is written with.
        if (!token.number) {
            if (m_whole && index != monthToken && !isDaysEnding(index) && !isKnownWord(token.word))
                return {};
            continue;
        }
        switch (parts.at(next)) {
        case Day:
            if (token.digits > 2)
                return {};
            day = token.value;
            dayToken = index;
            break;
        case Month:
            if (token.digits > 2)
                return {};
            month = token.value;
            break;
        case Year:
            if (token.digits != 2 && token.digits != 4)
                return {};
            year = token.value;
            if (token.digits == 2)
                year += year < 50 ? 2000 : 1900;
            break;
        }
        ++next;
        lastDateToken = std::max(lastDateToken, index);
    }
    if (next < parts.size())
        return {};
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};

    // What follows the date: a time (read when the pattern has one, passed
    // over otherwise); any other text means the value is not a date.
    int fields[3] = {0, 0, 0};
    int count = 0;
    bool am = false;
    bool pm = false;
    const QString amText = m_locale.amText().toUpper();
    const QString pmText = m_locale.pmText().toUpper();
    for (index = lastDateToken + 1; index < tokens.size(); ++index) {
        const Token &token = tokens.at(index);
        if (token.number) {
            if (count == 3 || token.digits > 2)
                return {};
            // Whole text: a time only where the pattern has one, set apart
            // from the date ("10/5/2611/1/26" is no date at 1:26).
            if (m_whole && (!m_time || (count == 0 && !token.spaced)))
                return {};
            fields[count++] = token.value;
        } else if (count == 0 && isDaysEnding(index)) {
            continue;
        } else if (token.word == pmText || token.word == QLatin1String("PM")) {
            pm = true;
        } else if (token.word == amText || token.word == QLatin1String("AM")) {
            am = true;
        } else if (count > 0 || (m_whole && !isKnownWord(token.word))) {
            return {};
        }
    }
    if (m_whole && (am || pm) && (!m_time || count == 0))
        return {};
    if (!m_time || count == 0)
        return QDateTime(date, QTime(0, 0));
    int hour = fields[0];
    if ((am || pm) && (hour < 1 || hour > 12))
        return {};
    if (pm && hour < 12)
        hour += 12;
    else if (am && hour == 12)
        hour = 0;
    const QTime time(hour, fields[1], fields[2]);
    if (!time.isValid())
        return {};
    return QDateTime(date, time);
}

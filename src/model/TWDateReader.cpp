#include "model/TWDateReader.h"

#include "foundation/TWDateAdditions.h"

#include <QHash>
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
    QString word;        // upper-cased, letters and marks only
    bool spaced = false; // white space or a comma since the token before
};

// Letters with the marks that belong to them (the vowel signs of Devanagari
// or Bengali are marks, not letters).
bool isWordCharacter(char32_t c)
{
    return QChar::isLetter(c) || QChar::isMark(c);
}

// What stands inside a word as locales write it: the dots of "p.m." and
// "μ.μ.", the hyphen of "segunda-feira", the apostrophes of "d’octubre" and
// of Hebrew, and the joiners of Persian.
bool isJoiner(char32_t c)
{
    return c == U'.' || c == U'-' || c == U'\'' || c == 0x2019 || c == 0x200C || c == 0x200D ||
           c == 0x05F3 || c == 0x05F4;
}

// The text's characters, whole: some scripts' digits and letters lie beyond
// the basic plane.
QList<char32_t> codePoints(const QString &text)
{
    QList<char32_t> points;
    points.reserve(text.size());
    for (const uint c : text.toUcs4())
        points.append(char32_t(c));
    return points;
}

QList<Token> tokenize(const QString &text)
{
    const QList<char32_t> points = codePoints(text);
    QList<Token> tokens;
    const qsizetype size = points.size();
    qsizetype i = 0;
    bool spaced = false;
    while (i < size) {
        const char32_t c = points.at(i);
        if (QChar::isDigit(c)) {
            Token token;
            token.number = true;
            token.spaced = std::exchange(spaced, false);
            while (i < size && QChar::isDigit(points.at(i))) {
                // More digits than any date part has: the token cannot be one.
                if (token.digits < 9)
                    token.value = token.value * 10 + QChar::digitValue(points.at(i));
                ++token.digits;
                ++i;
            }
            tokens.append(token);
        } else if (isWordCharacter(c)) {
            Token token;
            token.spaced = std::exchange(spaced, false);
            QList<char32_t> word;
            for (;;) {
                while (i < size && isWordCharacter(points.at(i)))
                    word.append(points.at(i++));
                qsizetype next = i;
                while (next < size && isJoiner(points.at(next)))
                    ++next;
                if (next == i || next == size || !isWordCharacter(points.at(next)))
                    break;
                i = next;
            }
            token.word = QString::fromUcs4(word.constData(), word.size()).toUpper();
            tokens.append(token);
        } else {
            if (QChar::isSpace(c) || c == U',')
                spaced = true;
            ++i;
        }
    }
    return tokens;
}

// A name (of a month, a weekday, a day period) as tokens hold words.
QString normalized(const QString &name)
{
    QList<char32_t> word;
    for (const char32_t c : codePoints(name)) {
        if (isWordCharacter(c))
            word.append(c);
    }
    return QString::fromUcs4(word.constData(), word.size()).toUpper();
}

// A word with the Greek and Cyrillic capitals that look like Latin ones
// written as those: a day period shown as "Μ.Μ." is typed "M.M." on a Latin
// keyboard, and nobody can tell the two apart.
QString latinLookAlike(const QString &word)
{
    static const QHash<char16_t, char16_t> alike = {
        {u'\u0391', u'A'}, {u'\u0392', u'B'}, {u'\u0395', u'E'}, {u'\u0396', u'Z'},
        {u'\u0397', u'H'}, {u'\u0399', u'I'}, {u'\u039A', u'K'}, {u'\u039C', u'M'},
        {u'\u039D', u'N'}, {u'\u039F', u'O'}, {u'\u03A1', u'P'}, {u'\u03A4', u'T'},
        {u'\u03A5', u'Y'}, {u'\u03A7', u'X'}, {u'\u0405', u'S'}, {u'\u0406', u'I'},
        {u'\u0408', u'J'}, {u'\u0410', u'A'}, {u'\u0412', u'B'}, {u'\u0415', u'E'},
        {u'\u041A', u'K'}, {u'\u041C', u'M'}, {u'\u041D', u'H'}, {u'\u041E', u'O'},
        {u'\u0420', u'P'}, {u'\u0421', u'C'}, {u'\u0422', u'T'}, {u'\u0425', u'X'}};
    QString text = word;
    for (QChar &c : text)
        c = QChar(alike.value(c.unicode(), c.unicode()));
    return text;
}

// The letters Qt's date formats write a field for; any other letter of a
// pattern is written as it stands.
bool isFormatLetter(QChar c)
{
    return c.unicode() < 0x80 && QLatin1String("dMLyhHmszaAt").contains(c);
}

// Walks a date pattern: each run of one format letter outside quotes is a
// field, handed to `field` with the run's length; everything else is the
// pattern's own text, whose words (read as typed text is) go to `word`
// together with whether an hour field came before them.
template <typename Word, typename Field>
void scanPattern(const QString &pattern, Word word, Field field)
{
    bool quoted = false;
    bool afterHour = false;
    QString literal;
    const auto flush = [&] {
        for (const Token &token : tokenize(literal)) {
            if (!token.number)
                word(token.word, afterHour);
        }
        literal.clear();
    };
    const qsizetype size = pattern.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            // Two quotes stand for one.
            if (i + 1 < size && pattern.at(i + 1) == QLatin1Char('\'')) {
                literal += c;
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
        } else if (quoted || !isFormatLetter(c)) {
            literal += c;
            ++i;
        } else {
            flush();
            qsizetype run = 1;
            while (i + run < size && pattern.at(i + run) == c)
                ++run;
            field(c, run);
            afterHour = afterHour || c == QLatin1Char('h') || c == QLatin1Char('H');
            i += run;
        }
    }
    flush();
}

// Words that people write before a date and no format of the locale holds
// ("le 5 octobre 2026").
QStringList leadingWords(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::French:
        return {QStringLiteral("LE")};
    default:
        return {};
    }
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
    : TWDateReader(pattern, locale, true)
{
}

TWDateReader::TWDateReader(const QString &pattern, const QLocale &locale, bool names)
    : m_pattern(pattern), m_locale(locale)
{
    // The order in which day, month and year first appear; quoted text is
    // literal. "ddd" and "dddd" are weekday names, not the day.
    int found = 0;
    bool seen[3] = {false, false, false};
    Part order[3] = {Month, Day, Year};
    const auto literal = [this](const QString &word, bool afterHour) {
        m_literals.append(word);
        if (afterHour)
            m_timeLiterals.append(word);
    };
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
    std::copy(std::begin(m_order), std::end(m_order), std::begin(m_namedOrder));
    if (!names)
        return;
    // The names words are compared with, as tokens hold them: the locale's
    // and English month and weekday names. A month name with digits
    // ("10月", "tháng 10") is a number's ending, no name: its words are
    // known words.
    static const QLocale english = QLocale::c();
    const auto hasDigit = [](const QString &name) {
        return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.isDigit(); });
    };
    for (const QLocale *names : {static_cast<const QLocale *>(&m_locale), &english}) {
        for (int month = 1; month <= 12; ++month) {
            for (const QString &name : {names->monthName(month, QLocale::LongFormat),
                                        names->monthName(month, QLocale::ShortFormat),
                                        names->standaloneMonthName(month, QLocale::LongFormat),
                                        names->standaloneMonthName(month, QLocale::ShortFormat)}) {
                const QString known = normalized(name);
                if (known.isEmpty())
                    continue;
                if (!hasDigit(name))
                    m_monthNameList.append({known, month});
                else if (names == &m_locale && !m_weekdays.contains(known))
                    m_weekdays.append(known);
            }
        }
        for (int day = 1; day <= 7; ++day) {
            for (const QString &name : {names->dayName(day, QLocale::LongFormat),
                                        names->dayName(day, QLocale::ShortFormat)}) {
                const QString known = normalized(name);
                if (!known.isEmpty() && !m_weekdays.contains(known))
                    m_weekdays.append(known);
            }
        }
    }
    for (const QString &text : {locale.amText(), QStringLiteral("AM")})
        m_amWords.append(latinLookAlike(normalized(text)));
    for (const QString &text : {locale.pmText(), QStringLiteral("PM")})
        m_pmWords.append(latinLookAlike(normalized(text)));
}

TWDateReader TWDateReader::typed(const QString &pattern, const QLocale &locale)
{
    TWDateReader reader(pattern, locale);
    reader.m_monthNames = true;
    reader.m_whole = true;
    // People type dates as the locale writes them in full ("5 de octubre de
    // 2026", "5 oktober 2026" where the short format puts the year first),
    // whatever the field shows. Qt has no medium format; where a locale's
    // medium format has words, they are its long format's.
    const QString longFormat = locale.dateFormat(QLocale::LongFormat);
    const TWDateReader written(longFormat, locale, false);
    std::copy(std::begin(written.m_order), std::end(written.m_order),
              std::begin(reader.m_namedOrder));
    reader.m_literals.append(written.m_literals);
    reader.m_literals.append(leadingWords(locale));
    return reader;
}

bool TWDateReader::isKnownWord(const QString &word) const
{
    if (word.isEmpty() || m_literals.contains(word) || m_weekdays.contains(word))
        return true;
    // Words run together: a weekday of several words ("Dé Luain"), or
    // scripts that leave no space between the pattern's words and the
    // weekday ("日月曜日" is "日" and "月曜日").
    QList<bool> reachable(word.size() + 1, false);
    reachable[0] = true;
    for (qsizetype at = 0; at < word.size(); ++at) {
        if (!reachable.at(at))
            continue;
        for (const QStringList *pieces : {&m_literals, &m_weekdays}) {
            for (const QString &piece : *pieces) {
                if (!piece.isEmpty() && QStringView(word).mid(at).startsWith(piece))
                    reachable[at + piece.size()] = true;
            }
        }
    }
    return reachable.last();
}

bool TWDateReader::isDayPeriod(const QString &words, const QStringList &periods) const
{
    // Alone, or beside the pattern's own word ("ɣetrɔ ga 2:45"); in Latin
    // letters where the locale's look the same.
    const QString alike = latinLookAlike(words);
    for (const QString &period : periods) {
        if (period.isEmpty())
            continue;
        if (alike == period ||
            (alike.startsWith(period) && m_literals.contains(words.mid(period.size()))) ||
            (alike.endsWith(period) && m_literals.contains(words.chopped(period.size()))))
            return true;
    }
    return false;
}

int TWDateReader::monthFromName(QStringView word, bool whole) const
{
    if (word.isEmpty())
        return 0;
    for (const auto &[name, month] : m_monthNameList) {
        if (name == word || (!whole && word.size() >= 3 && name.startsWith(word)))
            return month;
    }
    return 0;
}

QDateTime TWDateReader::read(const QString &text, bool *skippedTime) const
{
    if (skippedTime)
        *skippedTime = false;
    const QList<Token> tokens = tokenize(text);
    // The last token of the run of words (no number between) that starts at i.
    const auto runEnd = [&tokens](qsizetype i) {
        while (i + 1 < tokens.size() && !tokens.at(i + 1).number)
            ++i;
        return i;
    };
    const auto joined = [&tokens](qsizetype from, qsizetype to) {
        QString word;
        for (qsizetype i = from; i <= to; ++i)
            word += tokens.at(i).word;
        return word;
    };

    // A month written as a name takes the month's place; without one the
    // month is read as a number even where the pattern names it. A name may
    // be several words ("Deireadh Fómhair"); one word may be its beginning.
    int month = 0;
    qsizetype monthToken = -1;
    qsizetype monthLast = -1;
    const auto nameAt = [&](qsizetype from, qsizetype last) {
        const QString words = joined(from, last);
        // Beside a time, a day period is no month ("p. m." is July's "pm" in Nheengatu).
        if (m_time && (isDayPeriod(words, m_amWords) || isDayPeriod(words, m_pmWords)))
            return 0;
        if (const int named = monthFromName(words, last > from))
            return named;
        // The pattern's word written onto the name ("באוקטובר": "ב" and the month).
        for (const QString &literal : m_literals) {
            if (!literal.isEmpty() && words.size() > literal.size() && words.startsWith(literal)) {
                if (const int named = monthFromName(QStringView(words).mid(literal.size()), true))
                    return named;
            }
        }
        return 0;
    };
    if (m_monthNames) {
        for (qsizetype i = 0; i < tokens.size() && monthToken < 0; ++i) {
            if (tokens.at(i).number)
                continue;
            for (qsizetype last = std::min(runEnd(i), i + 5); last >= i && monthToken < 0; --last) {
                month = nameAt(i, last);
                if (month != 0) {
                    monthToken = i;
                    monthLast = last;
                }
            }
        }
    }
    QList<Part> parts;
    for (const Part part : monthToken < 0 ? m_order : m_namedOrder) {
        if (part != Month || monthToken < 0)
            parts.append(part);
    }
    QList<qsizetype> numbers;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens.at(i).number)
            numbers.append(i);
    }
    // Four digits are only ever a year. A date that opens with one is ISO
    // 8601's year, month, day (time trackers and spreadsheets write
    // "2026-11-02") whatever order the pattern gives: no order puts a year
    // first and the day before the month, so nothing else can be meant.
    // Beside a month's name the other number is the day.
    if (!numbers.isEmpty() && tokens.at(numbers.first()).digits == 4 && parts.first() != Year)
        parts = monthToken < 0 ? QList<Part>{Year, Month, Day} : QList<Part>{Year, Day};
    else if (monthToken >= 0 && parts.first() == Year && numbers.size() >= 2 &&
             tokens.at(numbers.first()).digits <= 2 && tokens.at(numbers.at(1)).digits == 4)
        parts = {Day, Year};

    int day = 0;
    int year = 0;
    qsizetype next = 0;
    qsizetype index = 0;
    qsizetype lastDateToken = monthLast;
    qsizetype dayToken = -1;
    // An ordinal's ending straight after the day's digits belongs to the day.
    const auto isDaysEnding = [&tokens, &dayToken](qsizetype i) {
        return dayToken >= 0 && i == dayToken + 1 && !tokens.at(i).spaced &&
               isOrdinalEnding(tokens.at(i).word);
    };
    // Whole text allows only the words a date is written with around and
    // between its numbers: the month's name, a day's ending, the pattern's
    // and the long format's words, weekday names.
    const auto wordsKnown = [&](qsizetype from, qsizetype to) {
        if (isDaysEnding(from))
            ++from;
        if (monthToken >= from && monthToken <= to)
            return (monthToken == from || isKnownWord(joined(from, monthToken - 1))) &&
                   (monthLast == to || isKnownWord(joined(monthLast + 1, to)));
        return from > to || isKnownWord(joined(from, to));
    };
    for (; index < tokens.size() && next < parts.size(); ++index) {
        const Token &token = tokens.at(index);
        if (!token.number) {
            const qsizetype last = runEnd(index);
            if (m_whole && !wordsKnown(index, last))
                return {};
            index = last;
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
    bool apart = false; // words stand between the date and the time
    for (index = lastDateToken + 1; index < tokens.size(); ++index) {
        const Token &token = tokens.at(index);
        if (token.number) {
            if (count == 3 || token.digits > 2)
                return {};
            // Whole text: a time only where the pattern has one, set apart
            // from the date ("10/5/2611/1/26" is no date at 1:26).
            if (m_whole && (!m_time || (count == 0 && !token.spaced && !apart)))
                return {};
            fields[count++] = token.value;
            continue;
        }
        if (count == 0 && isDaysEnding(index))
            continue;
        // A day period may be written in several words ("p. m.", "da tarde").
        const qsizetype last = runEnd(index);
        const QString words = joined(index, last);
        if (isDayPeriod(words, m_pmWords)) {
            pm = true;
        } else if (isDayPeriod(words, m_amWords)) {
            am = true;
        } else if (count > 0 ? !m_timeLiterals.contains(words) : m_whole && !isKnownWord(words)) {
            // After the hour only the pattern's own words ("14 h 45").
            return {};
        }
        apart = true;
        index = last;
    }
    if (m_whole && (am || pm) && (!m_time || count == 0))
        return {};
    if (!m_time || count == 0)
        return TWDateAdditions::dateFromFields(date.year(), date.month(), date.day());
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
    const QDateTime moment(date, time);
    // Written as dates are written, but the clock jumped over it that day.
    if (!moment.isValid() && skippedTime)
        *skippedTime = true;
    return moment;
}

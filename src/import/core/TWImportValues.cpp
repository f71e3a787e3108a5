#include "import/core/TWImportValues.h"

#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWMoneySigns.h"
#include "model/TWUnit.h"

#include <QDateTime>
#include <QTime>
#include <QVarLengthArray>

namespace TWImportValues
{

QString splitWord()
{
    return TWLocalized("split");
}

QString splitPrefix()
{
    return splitWord() + QStringLiteral(" - ");
}

std::optional<TWDecimal> readAmount(const QString &text, bool commaDecimal)
{
    static const QLocale c = QLocale::c();
    if (commaDecimal && text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('.'))) {
        QString point = text;
        point.replace(QLatin1Char(','), QLatin1Char('.'));
        return TWDecimal::parse(point, c);
    }
    return TWDecimal::parse(text, c);
}

std::optional<TWDecimal> readWrittenNumber(const QString &text)
{
    static const QLocale c = QLocale::c();
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1Char(',')) && trimmed.count(QLatin1Char('.')) == 1)
        return TWDecimal::parse(trimmed, c);
    const std::optional<QString> local = localAmountText(trimmed, c);
    // What is left is digits and at most one "."; a "," that no digits
    // surround ("12,", ",5") is no number.
    if (!local || local->contains(QLatin1Char(',')))
        return std::nullopt;
    return TWDecimal::parse(*local, c);
}

std::optional<double> readNumber(const QString &text, bool percent)
{
    QStringView view = QStringView(text).trimmed();
    if (percent && view.endsWith(QLatin1Char('%')))
        view = view.chopped(1);
    const std::optional<TWDecimal> number = readWrittenNumber(view.toString());
    if (!number)
        return std::nullopt;
    return number->toDouble();
}

bool isLocaleGrouping(QChar mark, const QLocale &locale)
{
    return mark == QLatin1Char(',') && locale.groupSeparator() == QLatin1String(",");
}

std::optional<QString> localAmountText(const QString &text, const QLocale &locale, unsigned places,
                                       bool localeGrouping)
{
    const bool threePlaces = places == 3;
    const qsizetype size = text.size();
    // The common case needs no rewriting: no comma, at most one point, and
    // the locale's decimal mark is the point; a point then is the decimal mark
    // unless exactly three digits follow it (grouping, handled below).
    {
        qsizetype commas = 0, points = 0, lastPoint = -1;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t u = text.at(i).unicode();
            if (u == u',')
                ++commas;
            else if (u == u'.') {
                ++points;
                lastPoint = i;
            } else if (u == u' ' || u == u'\'' || u == 0x00A0 || u == 0x202F) {
                commas = 2; // a grouping space: take the long road
            }
        }
        if (commas == 0 && points == 0)
            return text;
        if (commas == 0 && points == 1 && locale.decimalPoint() == QLatin1String(".")) {
            qsizetype after = 0;
            for (qsizetype i = lastPoint + 1; i < size && text.at(i).isDigit(); ++i)
                ++after;
            if (after != 3 || threePlaces)
                return text;
        }
    }
    // Where the number's separators are: those between two digits count,
    // anything else (a trailing "." of a currency code, say) is left as is.
    QVarLengthArray<qsizetype, 8> separators;
    const auto isDigit = [&text](qsizetype i) {
        const char16_t u = text.at(i).unicode();
        return u >= u'0' && u <= u'9';
    };
    for (qsizetype i = 1; i + 1 < size; ++i) {
        const QChar c = text.at(i);
        if ((c == QLatin1Char('.') || c == QLatin1Char(',') || c == QChar(0x00A0) ||
             c == QChar(0x202F) || c == QLatin1Char('\'') || c == QLatin1Char(' ')) &&
            isDigit(i - 1) && isDigit(i + 1))
            separators.append(i);
    }
    if (separators.isEmpty())
        return text;
    const QChar last = text.at(separators.back());
    qsizetype digitsAfter = 0;
    for (qsizetype i = separators.back() + 1; i < size && isDigit(i); ++i)
        ++digitsAfter;
    bool mixed = false;
    for (const qsizetype at : std::as_const(separators))
        mixed = mixed || text.at(at) != last;
    const bool markCandidate = last == QLatin1Char('.') || last == QLatin1Char(',');
    qsizetype sameKind = 0;
    for (const qsizetype at : std::as_const(separators))
        sameKind += text.at(at) == last ? 1 : 0;
    // The digits before the first separator: grouping starts with one to
    // three of them, never with a 0 ("0.125", "12345,678" are decimals).
    qsizetype start = separators.front();
    while (start > 0 && isDigit(start - 1))
        --start;
    const qsizetype leading = separators.front() - start;
    const bool cannotGroup = leading > 3 || text.at(start) == QLatin1Char('0');
    // The last separator is the decimal mark when it cannot be grouping.
    const bool threePlacesMark = threePlaces && !(localeGrouping && isLocaleGrouping(last, locale));
    const bool decimal = markCandidate && sameKind == 1 &&
                         (mixed || digitsAfter != 3 || cannotGroup || threePlacesMark);
    if (!decimal && digitsAfter != 3 && markCandidate)
        return std::nullopt;
    // Grouping: every group after the first has exactly three digits.
    const qsizetype groupsEnd = decimal ? separators.size() - 1 : separators.size();
    for (qsizetype g = 0; g < groupsEnd; ++g) {
        const qsizetype next = g + 1 < separators.size() ? separators.at(g + 1) : size;
        qsizetype digits = 0;
        for (qsizetype i = separators.at(g) + 1; i < next && isDigit(i); ++i)
            ++digits;
        if (digits != 3)
            return std::nullopt;
        // Grouping is one kind of character.
        if (text.at(separators.at(g)) != text.at(separators.front()))
            return std::nullopt;
    }
    QString result;
    result.reserve(size);
    qsizetype next = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (next < separators.size() && separators.at(next) == i) {
            if (decimal && next == separators.size() - 1)
                result.append(locale.decimalPoint());
            ++next;
            continue;
        }
        result.append(text.at(i));
    }
    return result;
}

namespace
{

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool isMark(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

bool isGroupingSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\'') || c == QChar(0x00A0) ||
           c == QChar(0x202F);
}

// The positions of the separators that stand between two digits.
QVarLengthArray<qsizetype, 8> numberSeparators(const QString &text)
{
    QVarLengthArray<qsizetype, 8> separators;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((isMark(c) || isGroupingSpace(c)) && isAsciiDigit(text.at(i - 1)) &&
            isAsciiDigit(text.at(i + 1)))
            separators.append(i);
    }
    return separators;
}

qsizetype digitsFrom(const QString &text, qsizetype i, int step)
{
    qsizetype digits = 0;
    for (; i >= 0 && i < text.size() && isAsciiDigit(text.at(i)); i += step)
        ++digits;
    return digits;
}

// The decimal mark one value shows by itself, if any.
std::optional<QChar> decidedMark(const QString &text)
{
    const QVarLengthArray<qsizetype, 8> separators = numberSeparators(text);
    qsizetype points = 0, commas = 0;
    bool spaceBefore = false;
    qsizetype lastMark = -1;
    for (const qsizetype at : separators) {
        const QChar c = text.at(at);
        if (c == QLatin1Char('.'))
            ++points;
        else if (c == QLatin1Char(','))
            ++commas;
        if (isMark(c))
            lastMark = at;
        else if (lastMark < 0)
            spaceBefore = true;
    }
    if (lastMark < 0)
        return std::nullopt;
    const QChar last = text.at(lastMark);
    const QChar other = last == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
    if (points > 0 && commas > 0)
        return last;
    if (points + commas > 1)
        return other;
    // A lone mark.
    const qsizetype after = digitsFrom(text, lastMark + 1, 1);
    const qsizetype before = digitsFrom(text, lastMark - 1, -1);
    const bool leadingZero = before == 1 && text.at(lastMark - 1) == QLatin1Char('0');
    if (after != 3 || before > 3 || leadingZero || spaceBefore)
        return last;
    return std::nullopt;
}

} // namespace

ColumnMarks columnMarks(const QStringList &values)
{
    ColumnMarks marks;
    for (const QString &value : values) {
        const std::optional<QChar> mark = decidedMark(value);
        if (!mark)
            continue;
        if (marks.decimal && *marks.decimal != *mark) {
            marks.decimal.reset();
            marks.conflicting = true;
            return marks;
        }
        marks.decimal = mark;
    }
    return marks;
}

std::optional<QChar> undecidedMark(const QString &text)
{
    const QVarLengthArray<qsizetype, 8> separators = numberSeparators(text);
    if (separators.size() != 1 || !isMark(text.at(separators.front())) ||
        decidedMark(text).has_value())
        return std::nullopt;
    return text.at(separators.front());
}

std::optional<QString> markedAmountText(const QString &text, const QLocale &locale, QChar decimal)
{
    const QVarLengthArray<qsizetype, 8> separators = numberSeparators(text);
    if (separators.isEmpty())
        return text;
    qsizetype decimalAt = -1;
    for (const qsizetype at : separators) {
        if (text.at(at) != decimal)
            continue;
        // One decimal mark, after every grouping separator.
        if (decimalAt >= 0 || at != separators.back())
            return std::nullopt;
        decimalAt = at;
    }
    // Grouping: one to three digits before the first group, every group
    // after it of three digits, one kind of separator.
    if (separators.front() != decimalAt && digitsFrom(text, separators.front() - 1, -1) > 3)
        return std::nullopt;
    for (const qsizetype at : separators) {
        if (at == decimalAt)
            continue;
        if (digitsFrom(text, at + 1, 1) != 3 || text.at(at) != text.at(separators.front()))
            return std::nullopt;
    }
    QString result;
    result.reserve(text.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (next < separators.size() && separators.at(next) == i) {
            if (i == decimalAt)
                result.append(locale.decimalPoint());
            ++next;
            continue;
        }
        result.append(text.at(i));
    }
    return result;
}

std::optional<TWDecimal> fileAmount(const QString &text, const TWUnit *unit, QChar decimal,
                                    const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TWDecimal();
    const std::optional<QString> local = markedAmountText(trimmed, locale, decimal);
    if (!local)
        return std::nullopt;
    return TWDecimal::parse(*local, locale, twMoneySigns(unit, locale));
}

std::optional<TWDecimal> fileAmount(const QString &text, const TWUnit *unit, bool plain,
                                    const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return TWDecimal();
    const std::optional<QString> local =
        plain ? trimmed : localAmountText(trimmed, locale, unit ? unit->decimalPlaces() : 0, true);
    if (!local)
        return std::nullopt;
    return TWDecimal::parse(*local, locale, twMoneySigns(unit, locale));
}

bool fitsPlaces(const TWDecimal &amount, unsigned places)
{
    const std::string &fraction = amount.fracDigits;
    return fraction.size() <= places ||
           fraction.find_first_not_of('0', std::size_t(places)) == std::string::npos;
}

QString amountText(const TWDecimal &amount, const QLocale &locale)
{
    const QString digits = amount.localized(locale, false);
    return amount.negative && !amount.isZero() ? QLatin1Char('-') + digits : digits;
}

QString dateText(const QDate &date)
{
    // Midday, so that no zone's change of clocks can move the day.
    return TWFormatter::formatter().shortDateString(QDateTime(date, QTime(12, 0)));
}

QString DateTexts::text(const QDate &date)
{
    const qint64 day = date.toJulianDay();
    auto found = m_texts.constFind(day);
    if (found == m_texts.constEnd())
        found = m_texts.insert(day, dateText(date));
    return *found;
}

} // namespace TWImportValues

#include "TWImportValues.h"

#include "TWFormatter.h"
#include "TWLocalized.h"

#include <QDateTime>
#include <QTime>

namespace TWImportValues {

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

std::optional<QString> localAmountText(const QString &text, const QLocale &locale)
{
    // Where the number's separators are: those between two digits count,
    // anything else (a trailing "." of a currency code, say) is left as is.
    QList<qsizetype> separators;
    const qsizetype size = text.size();
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
    const QChar last = text.at(separators.constLast());
    qsizetype digitsAfter = 0;
    for (qsizetype i = separators.constLast() + 1; i < size && isDigit(i); ++i)
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
    qsizetype start = separators.constFirst();
    while (start > 0 && isDigit(start - 1))
        --start;
    const qsizetype leading = separators.constFirst() - start;
    const bool cannotGroup = leading > 3 || text.at(start) == QLatin1Char('0');
    // The last separator is the decimal mark when it cannot be grouping.
    const bool decimal =
        markCandidate && sameKind == 1 && (mixed || digitsAfter != 3 || cannotGroup);
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
        if (text.at(separators.at(g)) != text.at(separators.constFirst()))
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

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

#include "model/TWMoneySigns.h"

#include "model/TWUnit.h"

QStringList twMoneySigns(const TWUnit *unit, const QLocale &locale)
{
    QStringList signs;
    const QString localeCode = locale.currencySymbol(QLocale::CurrencyIsoCode);
    if (unit) {
        if (!unit->symbol().isEmpty())
            signs << unit->symbol();
        signs << unit->code();
        // "$" alone is every dollar's sign; "A$" or "US$" names one of them.
        if (unit->symbol().endsWith(QLatin1Char('$')))
            signs << QStringLiteral("$");
    }
    if (!unit || localeCode.compare(unit->code(), Qt::CaseInsensitive) == 0)
        signs << locale.currencySymbol(QLocale::CurrencySymbol) << localeCode;
    signs.removeDuplicates();
    signs.removeAll(QString());
    return signs;
}

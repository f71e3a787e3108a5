#include "model/TWMoneySigns.h"

#include "model/TWUnit.h"

#include <QFile>
#include <QSet>

bool twWritesBareDollarSign(const QString &code)
{
    // Read once: a short list shipped beside the built-in units.
    static const QSet<QString> codes = [] {
        QSet<QString> read;
        QFile file(QStringLiteral(":/units/dollar-sign.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return read;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (!trimmed.isEmpty() && !trimmed.startsWith('#'))
                read.insert(QString::fromLatin1(trimmed).toUpper());
        }
        return read;
    }();
    return codes.contains(code.toUpper());
}

QStringList twMoneySigns(const TWUnit *unit, const QLocale &locale)
{
    QStringList signs;
    const QString localeCode = locale.currencySymbol(QLocale::CurrencyIsoCode);
    if (unit) {
        if (!unit->symbol().isEmpty())
            signs << unit->symbol();
        signs << unit->code();
        // "$" alone is the sign of every dollar and peso; "A$" or "US$" names
        // one of them, and R$ or C$ a unit that is neither.
        if (twWritesBareDollarSign(unit->code()))
            signs << QStringLiteral("$");
    }
    if (!unit || localeCode.compare(unit->code(), Qt::CaseInsensitive) == 0)
        signs << locale.currencySymbol(QLocale::CurrencySymbol) << localeCode;
    signs.removeDuplicates();
    signs.removeAll(QString());
    return signs;
}

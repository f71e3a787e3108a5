#include "import/core/TWImportWarnings.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"

#include <cmath>

namespace TWImportWarnings
{

QString text(const std::vector<std::pair<const char *, const TWImportWarningList *>> &lists)
{
    QString result;
    for (const auto &[key, list] : lists) {
        if (!list || list->names().isEmpty())
            continue;
        if (result.isNull())
            result.reserve(500);
        result += QStringLiteral("%1\r\t%2\r").arg(TWLocalized(key), names(list->names()));
    }
    return result;
}

QString valueNotRead(qsizetype row, const QString &column, const QString &value)
{
    constexpr qsizetype kShownLength = 60;
    const QString shown = TWStringAdditions::shortened(
        value.trimmed().isEmpty() ? TWLocalized("importEmptyValue") : value, kShownLength);
    return TWLocalized("importValueNotRead").arg(row).arg(column, shown);
}

QString names(const QStringList &names)
{
    return TWStringAdditions::shortList(
        names.size(), [&names](qsizetype i) { return names.at(i); }, QStringLiteral(", "),
        TWLocalized("importMoreNames"));
}

bool isTrue(const QString &value)
{
    const QString upper = value.toUpper();
    return upper == QLatin1String("1") || upper == QLatin1String("TRUE") ||
           upper == QLatin1String("YES") || upper == QLatin1String("ON");
}

double leadingDouble(const QString &value)
{
    const QString text = value.trimmed();
    qsizetype end = 0;
    const qsizetype size = text.size();
    if (end < size && (text.at(end) == QLatin1Char('-') || text.at(end) == QLatin1Char('+')))
        ++end;
    qsizetype digits = 0;
    while (end < size && text.at(end).isDigit() && text.at(end).unicode() < 128) {
        ++end;
        ++digits;
    }
    if (end < size && text.at(end) == QLatin1Char('.')) {
        ++end;
        while (end < size && text.at(end).isDigit() && text.at(end).unicode() < 128) {
            ++end;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double number = QStringView(text).left(end).toDouble(&ok);
    return ok && std::isfinite(number) ? number : 0.0;
}

} // namespace TWImportWarnings

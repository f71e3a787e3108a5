// Rectangle texts and the field-width readings of property-list numbers.

#include "foundation/TWPropertyList.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace TWPropertyList
{

namespace
{

QString numberText(double value)
{
    // Plain C notation whatever the locale; -0 and values that could not be read back as 0.
    if (value == 0 || !std::isfinite(value))
        value = 0;
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// The integer a number fills a field with, as 64 bits; nothing for what is not a number.
std::optional<quint64> integerBits(const QVariant &number)
{
    switch (number.typeId()) {
    case QMetaType::Bool:
        return number.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return quint64(number.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return number.toULongLong();
    case QMetaType::Float:
    case QMetaType::Double: {
        const double real = std::trunc(number.toDouble());
        if (!std::isfinite(real))
            return std::nullopt;
        // Out of the 64-bit range: the nearest end of it.
        if (real >= 9223372036854775808.0)
            return quint64(std::numeric_limits<qint64>::max());
        if (real < -9223372036854775808.0)
            return quint64(std::numeric_limits<qint64>::min());
        return quint64(qint64(real));
    }
    default:
        return std::nullopt;
    }
}

} // namespace

QString stringFromRect(const QRectF &rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(numberText(rect.x()), numberText(rect.y()), numberText(rect.width()),
             numberText(rect.height()));
}

std::optional<QRectF> rectFromString(const QString &text)
{
    // A number as C's strtod reads it, without "nan" and "inf".
    static const QString number =
        QStringLiteral("\\s*([-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)\\s*");
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*\\{\\s*\\{%1,%1\\}\\s*,\\s*\\{%1,%1\\}\\s*\\}\\s*$").arg(number));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = match.captured(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return std::nullopt;
    }
    return QRectF(values[0], values[1], values[2], values[3]);
}

quint32 unsignedIntValue(const QVariant &number, quint32 fallback)
{
    const std::optional<quint64> bits = integerBits(number);
    return bits ? quint32(*bits) : fallback;
}

qint32 intValue(const QVariant &number, qint32 fallback)
{
    const std::optional<quint64> bits = integerBits(number);
    return bits ? qint32(quint32(*bits)) : fallback;
}

float floatValue(const QVariant &number, float fallback)
{
    switch (number.typeId()) {
    case QMetaType::Float:
    case QMetaType::Double: {
        const double real = number.toDouble();
        const float narrowed = float(real);
        return std::isfinite(narrowed) ? narrowed : fallback;
    }
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return float(number.toULongLong());
    default: {
        const std::optional<quint64> bits = integerBits(number);
        return bits ? float(qint64(*bits)) : fallback;
    }
    }
}

bool boolValue(const QVariant &number, bool fallback)
{
    switch (number.typeId()) {
    case QMetaType::Float:
    case QMetaType::Double:
        return number.toDouble() != 0;
    default: {
        const std::optional<quint64> bits = integerBits(number);
        return bits ? *bits != 0 : fallback;
    }
    }
}

} // namespace TWPropertyList

#include "crashreporting/common/MSHError.h"

QString MSHError::toString() const
{
    QString text = domain + QLatin1Char(' ') + QString::number(code);
    if (!description.isEmpty())
        text += QStringLiteral(" (") + description + QLatin1Char(')');
    return text;
}

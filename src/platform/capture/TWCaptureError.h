#pragma once
// The errors of the capture services: one domain, the text from the strings
// table with the library's own reason filled in.

#include "foundation/TWError.h"
#include "foundation/TWLocalized.h"

inline TWError twCaptureError(const char *key, const QString &reason = QString())
{
    QString text = TWLocalized(key);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(reason);
    return TWError(QStringLiteral("Tallyworth Capture Error"), -1, text);
}

#include "foundation/TWZipError.h"

#include "foundation/TWLocalized.h"

#include <QStringList>

TWError TWZipErrorRecord(TWZipErrorCode code, const QString &subject)
{
    QString text;
    switch (code) {
    case TWZipErrorNotOpen:
        text = TWLocalized("zipErrorNotOpen");
        break;
    case TWZipErrorCannotOpen:
        text = TWLocalized("zipErrorCannotOpen");
        break;
    case TWZipErrorDamaged:
        text = TWLocalized("zipErrorDamaged");
        break;
    case TWZipErrorTooManyEntries:
        text = TWLocalized("zipErrorTooManyEntries");
        break;
    case TWZipErrorEntryTooLarge:
        text = TWLocalized("zipErrorEntryTooLarge");
        break;
    case TWZipErrorTotalTooLarge:
        text = TWLocalized("zipErrorTotalTooLarge");
        break;
    case TWZipErrorUnsafeName:
        text = TWLocalized("zipErrorUnsafeName");
        break;
    case TWZipErrorEncrypted:
        text = TWLocalized("zipErrorEncrypted");
        break;
    case TWZipErrorCannotWrite:
        text = TWLocalized("zipErrorCannotWrite");
        break;
    case TWZipErrorCannotRead:
        text = TWLocalized("zipErrorCannotRead");
        break;
    }
    if (text.contains(QLatin1String("%1")))
        text = text.arg(subject);
    return TWError(QString::fromLatin1(TWZipErrorDomain), code, text);
}

bool TWZipEntryNameIsSafe(const QString &name)
{
    if (name.isEmpty() || name.contains(QChar(0)))
        return false;
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')))
        return false;
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return false;
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return !path.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

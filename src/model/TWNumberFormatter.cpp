#include "model/TWNumberFormatter.h"

#include "foundation/TWLocalized.h"

namespace
{

std::function<void()> &beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

const QString &allowedCharacters()
{
    static const QString allowed = QStringLiteral("0123456789,.-");
    return allowed;
}

} // namespace

TWNumberFormatter::TWNumberFormatter(QObject *parent) : QValidator(parent)
{
}

bool TWNumberFormatter::isAllowed(QChar c) const
{
    return allowedCharacters().contains(c) || (m_allowsTimeSeparator && c == QLatin1Char(':'));
}

bool TWNumberFormatter::isPartialStringValid(const QString &partialString,
                                             int proposedSelectionStart,
                                             const QString &originalString,
                                             int originalSelectionStart,
                                             QString *errorDescription) const
{
    Q_UNUSED(originalString);
    if (errorDescription)
        errorDescription->clear();
    const qsizetype from =
        qBound(qsizetype(0), qsizetype(originalSelectionStart), partialString.size());
    const qsizetype to =
        qBound(qsizetype(0), qsizetype(proposedSelectionStart), partialString.size());
    for (qsizetype i = from; i < to; ++i) {
        if (!isAllowed(partialString.at(i))) {
            beep();
            if (errorDescription)
                *errorDescription = TWLocalized("invalidInput");
            return false;
        }
    }
    return true;
}

QValidator::State TWNumberFormatter::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    const QLocale l = locale();
    const QString group = l.groupSeparator();
    const QString point = l.decimalPoint();
    // What the formatter writes stays editable: the locale's marks and minus
    // sign, brackets around a negative amount, and the plain space or
    // apostrophe that people type for a locale's space or right quote.
    const QString written = group + point + l.negativeSign() + QStringLiteral("()\u2212");
    const bool spaceGroup = group == QStringLiteral("\u00a0") || group == QStringLiteral("\u202f");
    const bool quoteGroup = group == QStringLiteral("\u2019");
    for (QChar c : std::as_const(input)) {
        if (isAllowed(c) || written.contains(c) ||
            (spaceGroup && (c == QLatin1Char(' ') || c == QChar(0x00a0) || c == QChar(0x202f))) ||
            (quoteGroup && c == QLatin1Char('\'')))
            continue;
        beep();
        return Invalid;
    }
    return Acceptable;
}

void TWNumberFormatter::setBeepHandler(std::function<void()> handler)
{
    beepHandler() = std::move(handler);
}

void TWNumberFormatter::beep()
{
    if (beepHandler())
        beepHandler()();
}

#include "model/TWNumberFormatter.h"

#include "foundation/TWLocalized.h"

namespace
{

std::function<void()> &beepHandler()
{
    static std::function<void()> handler;
    return handler;
}

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QChar(0x00a0) || c == QChar(0x202f);
}

// Whether `c` is one of the locale's own ten digits (Arabic-Indic, Bengali,
// Devanagari, Myanmar ...): what the formatter writes there.
bool isLocaleDigit(QChar c, const QLocale &locale)
{
    const QString zero = locale.zeroDigit();
    if (zero.size() != 1 || !c.isDigit())
        return false;
    const int offset = int(c.unicode()) - int(zero.at(0).unicode());
    return offset >= 0 && offset <= 9;
}

} // namespace

TWNumberFormatter::TWNumberFormatter(QObject *parent) : QValidator(parent)
{
}

bool TWNumberFormatter::isAllowed(QChar c) const
{
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(',') ||
        c == QLatin1Char('.') || c == QLatin1Char('-') ||
        (m_allowsTimeSeparator && c == QLatin1Char(':')))
        return true;
    // What the formatter writes stays editable: the locale's digits, marks
    // and minus sign (with the direction mark some locales put before it),
    // brackets around a negative amount, and the plain space or apostrophe
    // that people type for a locale's space or right quote.
    const QLocale l = locale();
    const QString group = l.groupSeparator();
    const QString written =
        group + l.decimalPoint() + l.negativeSign() + QStringLiteral("()\u2212");
    const bool spaceGroup = group.size() == 1 && isSpace(group.at(0));
    const bool quoteGroup = group == QStringLiteral("\u2019");
    return isLocaleDigit(c, l) || written.contains(c) || (spaceGroup && isSpace(c)) ||
           (quoteGroup && c == QLatin1Char('\''));
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
    for (QChar c : std::as_const(input)) {
        if (isAllowed(c))
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

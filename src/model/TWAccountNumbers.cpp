#include "model/TWAccountNumbers.h"

#include "model/TWAccount.h"

#include <QUuid>

namespace TWAccountNumbers
{

QString statementNumber(const TWAccount &account)
{
    if (account.isInstitution() && !account.institutionNumber().trimmed().isEmpty())
        return account.institutionNumber().trimmed();
    if (!account.number().trimmed().isEmpty())
        return account.number().trimmed();
    return accountLabel(account);
}

QString accountLabel(const TWAccount &account)
{
    return QStringLiteral("TW%1").arg(account.identifier());
}

qint32 labelledIdentifier(const QString &label)
{
    const QString text = label.trimmed();
    if (text.size() < 3 || !text.startsWith(QLatin1String("TW")))
        return 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const qint32 identifier = QStringView(text).mid(2).toInt(&ok);
    return ok && identifier > 0 ? identifier : 0;
}

QString writerIdentifier(const QString &businessIdentity, const QString &moment)
{
    if (businessIdentity.trimmed().isEmpty())
        return {};
    // A fixed namespace of the program's own, so that no other name-based
    // UUID scheme gives the same identifiers.
    static const QUuid space(QStringLiteral("6f1d2c3e-5a7b-4c8d-9e0f-a1b2c3d4e5f6"));
    const QUuid business = QUuid::createUuidV5(space, businessIdentity.trimmed());
    return QUuid::createUuidV5(business, moment.trimmed()).toString(QUuid::WithoutBraces);
}

bool writtenBy(const WriterMark &mark, const QString &businessIdentity)
{
    const QString expected = writerIdentifier(businessIdentity, mark.moment);
    return !expected.isEmpty() && !mark.moment.trimmed().isEmpty() &&
           mark.identifier.trimmed().compare(expected, Qt::CaseInsensitive) == 0;
}

} // namespace TWAccountNumbers

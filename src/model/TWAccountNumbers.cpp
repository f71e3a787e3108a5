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
    return QStringLiteral("TW%1").arg(account.identifier());
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

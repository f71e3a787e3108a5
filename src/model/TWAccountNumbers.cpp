#include "model/TWAccountNumbers.h"

#include "model/TWAccount.h"

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

} // namespace TWAccountNumbers

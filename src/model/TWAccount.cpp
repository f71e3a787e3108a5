#include "model/TWAccount.h"

#include "foundation/TWLocalized.h"
#include "model/TWItemIcons.h"

#include <limits>

namespace
{

struct AccountTypeInfo {
    const char *nameKey;
    const char *iconName;
};

// Indexed by account type; 0 and 8 are no account type.
constexpr AccountTypeInfo kAccountTypes[] = {
    {nullptr, nullptr},
    {"accountsReceivable", "AccountsReceivable"},
    {"bank", "Bank"},
    {"cash", "Cash"},
    {"inventory", "Inventory"},
    {"investment", "Investment"},
    {"fixedAsset", "FixedAsset"},
    {"currentAsset", "CurrentAsset"},
    {nullptr, nullptr},
    {"accountsPayable", "AccountsPayable"},
    {"creditCard", "CreditCard"},
    {"loan", "Loan"},
    {"tax", "Tax"},
    {"longTermLiability", "LongTermLiability"},
    {"currentLiability", "CurrentLiability"},
    {"income", "Income"},
    {"expense", "Expense"},
    {"equity", "Equity"},
};

const AccountTypeInfo *typeInfo(int accountType)
{
    const auto index = static_cast<quint32>(accountType);
    if (index >= std::size(kAccountTypes) || !kAccountTypes[index].nameKey)
        return nullptr;
    return &kAccountTypes[index];
}

} // namespace

TWAccount::TWAccount(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
                     TWAccountType accountType, QString number, TWStoredImage icon, TWUnitPtr unit,
                     QString notes)
    : TWItem(identifier, TWItemTypeAccount, std::move(name), parentIdentifier, sortOrder),
      m_accountType(accountType), m_number(std::move(number)), m_icon(std::move(icon)),
      m_unit(std::move(unit)), m_notes(std::move(notes))
{
}

TWAccount::TWAccount(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
                     TWAccountType accountType, QString number, TWStoredImage icon, TWUnitPtr unit,
                     QString notes, bool isInstitution, QString institutionName,
                     QString institutionNumber, QString institutionPhone, QString institutionFax,
                     QString institutionEmail, QUrl institutionWebsite, QString institutionAddress,
                     QString institutionRoutingTransit, QString institutionWireTransfer)
    : TWAccount(identifier, std::move(name), parentIdentifier, sortOrder, accountType,
                std::move(number), std::move(icon), std::move(unit), std::move(notes))
{
    m_isInstitution = isInstitution;
    m_institutionName = std::move(institutionName);
    m_institutionNumber = std::move(institutionNumber);
    m_institutionPhone = std::move(institutionPhone);
    m_institutionFax = std::move(institutionFax);
    m_institutionEmail = std::move(institutionEmail);
    m_institutionWebsite = std::move(institutionWebsite);
    m_institutionAddress = std::move(institutionAddress);
    m_institutionRoutingTransit = std::move(institutionRoutingTransit);
    m_institutionWireTransfer = std::move(institutionWireTransfer);
}

TWAccountPtr TWAccount::accountWithIdentifier(qint32 identifier, const QString &name,
                                              qint32 parentIdentifier, quint32 sortOrder,
                                              TWAccountType accountType, const QString &number,
                                              const TWStoredImage &icon, const TWUnitPtr &unit,
                                              const QString &notes)
{
    return std::make_shared<TWAccount>(identifier, name, parentIdentifier, sortOrder, accountType,
                                       number, icon, unit, notes);
}

TWAccountPtr TWAccount::accountWithIdentifier(
    qint32 identifier, const QString &name, qint32 parentIdentifier, quint32 sortOrder,
    TWAccountType accountType, const QString &number, const TWStoredImage &icon,
    const TWUnitPtr &unit, const QString &notes, bool isInstitution, const QString &institutionName,
    const QString &institutionNumber, const QString &institutionPhone,
    const QString &institutionFax, const QString &institutionEmail, const QUrl &institutionWebsite,
    const QString &institutionAddress, const QString &institutionRoutingTransit,
    const QString &institutionWireTransfer)
{
    return std::make_shared<TWAccount>(identifier, name, parentIdentifier, sortOrder, accountType,
                                       number, icon, unit, notes, isInstitution, institutionName,
                                       institutionNumber, institutionPhone, institutionFax,
                                       institutionEmail, institutionWebsite, institutionAddress,
                                       institutionRoutingTransit, institutionWireTransfer);
}

TWItemPtr TWAccount::clone() const
{
    return copy();
}

qint64 TWAccount::numberValue(const QString &number)
{
    qsizetype i = 0;
    const qsizetype n = number.size();
    while (i < n && number.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (number.at(i) == QLatin1Char('-') || number.at(i) == QLatin1Char('+'))) {
        negative = number.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulate toward the sign so the most negative value is reachable, and
    // stop at the bound instead of overflowing on very long digit runs.
    qint64 value = 0;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (; i < n; ++i) {
        const char16_t c = number.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        const int digit = c - u'0';
        if (negative) {
            if (value < (kMin + digit) / 10)
                return kMin;
            value = value * 10 - digit;
        } else {
            if (value > (kMax - digit) / 10)
                return kMax;
            value = value * 10 + digit;
        }
    }
    return value;
}

int TWAccount::compareNumber(const TWAccount &other) const
{
    const qint64 a = numberValue(m_number);
    const qint64 b = numberValue(other.m_number);
    return a < b ? -1 : (a > b ? 1 : 0);
}

TWAccountGroupType TWAccount::accountGroupType(int accountType)
{
    const auto type = static_cast<quint32>(accountType);
    if (type <= TWAccountTypeCurrentAsset)
        return TWAccountGroupTypeAsset;
    if (type <= TWAccountTypeCurrentLiability)
        return TWAccountGroupTypeLiability;
    if (type == TWAccountTypeIncome)
        return TWAccountGroupTypeIncome;
    if (type == TWAccountTypeExpense)
        return TWAccountGroupTypeExpense;
    return TWAccountGroupTypeEquity;
}

QString TWAccount::defaultIconNameForAccountType(int accountType)
{
    const AccountTypeInfo *info = typeInfo(accountType);
    return info ? QString::fromLatin1(info->iconName) : QString();
}

QImage TWAccount::defaultIconForAccountType(int accountType)
{
    const QString name = defaultIconNameForAccountType(accountType);
    return name.isNull() ? QImage() : TWItemIcons::image(name);
}

QImage TWAccount::defaultIconForAccount(const TWAccount &account)
{
    return defaultIconForAccountType(account.accountType());
}

QString TWAccount::accountTypeNameKey(int accountType)
{
    const AccountTypeInfo *info = typeInfo(accountType);
    return info ? QString::fromLatin1(info->nameKey) : QString();
}

QString TWAccount::accountTypeName(int accountType)
{
    const QString key = accountTypeNameKey(accountType);
    return key.isNull() ? QString(QLatin1String("")) : TWLocalized(key);
}

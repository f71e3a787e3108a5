#pragma once
// An account of the chart of accounts: what transactions move amounts between.
// Its type places it among assets, liabilities, income, expenses or equity,
// which decides how its balance is shown and which reports list it.

#include "model/TWItem.h"
#include "model/TWStoredImage.h"
#include "model/TWUnit.h"

#include <QImage>
#include <QUrl>

// The kinds of account. Stored as integers; 0 and 8 are no account type (they
// name the asset and liability groups, see TWAccountGroupType).
enum TWAccountType : int {
    TWAccountTypeAccountsReceivable = 1,
    TWAccountTypeBank = 2,
    TWAccountTypeCash = 3,
    TWAccountTypeInventory = 4,
    TWAccountTypeInvestment = 5,
    TWAccountTypeFixedAsset = 6,
    TWAccountTypeCurrentAsset = 7,
    TWAccountTypeAccountsPayable = 9,
    TWAccountTypeCreditCard = 10,
    TWAccountTypeLoan = 11,
    TWAccountTypeTax = 12,
    TWAccountTypeLongTermLiability = 13,
    TWAccountTypeCurrentLiability = 14,
    TWAccountTypeIncome = 15,
    TWAccountTypeExpense = 16,
    TWAccountTypeEquity = 17,
};

// The five families of account types, numbered in the account types' own range.
enum TWAccountGroupType : int {
    TWAccountGroupTypeAsset = 0,
    TWAccountGroupTypeLiability = 8,
    TWAccountGroupTypeIncome = 15,
    TWAccountGroupTypeExpense = 16,
    TWAccountGroupTypeEquity = 17,
};

class TWAccount : public TWItem
{
public:
    TWAccount() : TWItem(0, TWItemTypeAccount, QString(), 0, 0u) {}
    // Without institution details.
    TWAccount(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
              TWAccountType accountType, QString number, TWStoredImage icon, TWUnitPtr unit,
              QString notes);
    TWAccount(qint32 identifier, QString name, qint32 parentIdentifier, quint32 sortOrder,
              TWAccountType accountType, QString number, TWStoredImage icon, TWUnitPtr unit,
              QString notes, bool isInstitution, QString institutionName, QString institutionNumber,
              QString institutionPhone, QString institutionFax, QString institutionEmail,
              QUrl institutionWebsite, QString institutionAddress,
              QString institutionRoutingTransit, QString institutionWireTransfer);

    static std::shared_ptr<TWAccount>
    accountWithIdentifier(qint32 identifier, const QString &name, qint32 parentIdentifier,
                          quint32 sortOrder, TWAccountType accountType, const QString &number,
                          const TWStoredImage &icon, const TWUnitPtr &unit, const QString &notes);
    static std::shared_ptr<TWAccount>
    accountWithIdentifier(qint32 identifier, const QString &name, qint32 parentIdentifier,
                          quint32 sortOrder, TWAccountType accountType, const QString &number,
                          const TWStoredImage &icon, const TWUnitPtr &unit, const QString &notes,
                          bool isInstitution, const QString &institutionName,
                          const QString &institutionNumber, const QString &institutionPhone,
                          const QString &institutionFax, const QString &institutionEmail,
                          const QUrl &institutionWebsite, const QString &institutionAddress,
                          const QString &institutionRoutingTransit,
                          const QString &institutionWireTransfer);

    // The copy shares the unit object (units are the business's own records).
    TWItemPtr clone() const override;
    std::shared_ptr<TWAccount> copy() const { return std::make_shared<TWAccount>(*this); }

    // Any integer may come from a document; only 1-7 and 9-17 are account types.
    TWAccountType accountType() const { return m_accountType; }
    void setAccountType(TWAccountType v) { m_accountType = v; }
    // The account number as typed.
    const QString &number() const { return m_number; }
    void setNumber(const QString &v) { m_number = v; }
    // A null image when the account has none of its own (the type's default icon
    // is shown then).
    // Decoded when first asked for (see TWStoredImage).
    const QImage &icon() const { return m_icon.image(); }
    void setIcon(const QImage &v) { m_icon = TWStoredImage(v); }
    const TWStoredImage &storedIcon() const { return m_icon; }
    void setStoredIcon(const TWStoredImage &v) { m_icon = v; }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }

    // The institution fields describe the bank or other institution keeping the
    // account; they matter only when isInstitution is set.
    bool isInstitution() const { return m_isInstitution; }
    void setIsInstitution(bool v) { m_isInstitution = v; }
    const QString &institutionName() const { return m_institutionName; }
    void setInstitutionName(const QString &v) { m_institutionName = v; }
    const QString &institutionNumber() const { return m_institutionNumber; }
    void setInstitutionNumber(const QString &v) { m_institutionNumber = v; }
    const QString &institutionPhone() const { return m_institutionPhone; }
    void setInstitutionPhone(const QString &v) { m_institutionPhone = v; }
    const QString &institutionFax() const { return m_institutionFax; }
    void setInstitutionFax(const QString &v) { m_institutionFax = v; }
    const QString &institutionEmail() const { return m_institutionEmail; }
    void setInstitutionEmail(const QString &v) { m_institutionEmail = v; }
    const QUrl &institutionWebsite() const { return m_institutionWebsite; }
    void setInstitutionWebsite(const QUrl &v) { m_institutionWebsite = v; }
    const QString &institutionAddress() const { return m_institutionAddress; }
    void setInstitutionAddress(const QString &v) { m_institutionAddress = v; }
    const QString &institutionRoutingTransit() const { return m_institutionRoutingTransit; }
    void setInstitutionRoutingTransit(const QString &v) { m_institutionRoutingTransit = v; }
    const QString &institutionWireTransfer() const { return m_institutionWireTransfer; }
    void setInstitutionWireTransfer(const QString &v) { m_institutionWireTransfer = v; }

    // Account-number order: the integers the two numbers begin with (optional
    // blanks and sign, then digits; a number without leading digits counts as
    // 0). Equal integers tie. Returns -1, 0 or 1.
    int compareNumber(const TWAccount &other) const;
    static qint64 numberValue(const QString &number);

    // Which family an account type belongs to: 0-7 assets, 8-14 liabilities, 15
    // income, 16 expenses, anything above equity. Types are read as unsigned, so
    // a negative value from a damaged document counts as "above".
    static TWAccountGroupType accountGroupType(int accountType);

    // The built-in icon of an account type; a null image for 0, 8 and values
    // outside 1-17.
    static QImage defaultIconForAccountType(int accountType);
    static QImage defaultIconForAccount(const TWAccount &account);
    // The name of that icon ("Bank"), null when the type has none.
    static QString defaultIconNameForAccountType(int accountType);

    // The strings-table key of an account type's name ("bank"), null when the
    // value is no account type; the localised name, empty for such a value.
    static QString accountTypeNameKey(int accountType);
    static QString accountTypeName(int accountType);

private:
    TWAccountType m_accountType = TWAccountTypeBank;
    QString m_number;
    TWStoredImage m_icon;
    TWUnitPtr m_unit;
    QString m_notes;
    bool m_isInstitution = false;
    QString m_institutionName;
    QString m_institutionNumber;
    QString m_institutionPhone;
    QString m_institutionFax;
    QString m_institutionEmail;
    QUrl m_institutionWebsite;
    QString m_institutionAddress;
    QString m_institutionRoutingTransit;
    QString m_institutionWireTransfer;
};

using TWAccountPtr = std::shared_ptr<TWAccount>;
using TWAccountList = QList<TWAccountPtr>;

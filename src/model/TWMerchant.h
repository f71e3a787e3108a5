#pragma once
// A supplier of the business: the bills it sends and their payments hang off
// its identifier.

#include "model/TWContactItem.h"

class TWMerchant : public TWContactItem
{
public:
    TWMerchant() : TWContactItem() { setType(TWItemTypeMerchant); }
    TWMerchant(qint32 identifier, QString name, QString company, qint32 parentIdentifier,
               quint32 sortOrder, TWStoredImage logo, QString phone, QString fax, QString email,
               QUrl website, QString address, QString notes);

    static std::shared_ptr<TWMerchant>
    merchantWithIdentifier(qint32 identifier, const QString &name, const QString &company,
                           qint32 parentIdentifier, quint32 sortOrder, const TWStoredImage &logo,
                           const QString &phone, const QString &fax, const QString &email,
                           const QUrl &website, const QString &address, const QString &notes);

    TWItemPtr clone() const override;
    std::shared_ptr<TWMerchant> copy() const { return std::make_shared<TWMerchant>(*this); }

    // The built-in image shown when a merchant has no logo ("Merchant"); the same
    // for every merchant.
    static QImage defaultIconForMerchant(const TWMerchant *merchant = nullptr);
};

using TWMerchantPtr = std::shared_ptr<TWMerchant>;
using TWMerchantList = QList<TWMerchantPtr>;

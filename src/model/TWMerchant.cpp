#include "model/TWMerchant.h"

#include "model/TWItemIcons.h"

TWMerchant::TWMerchant(qint32 identifier, QString name, QString company, qint32 parentIdentifier,
                       quint32 sortOrder, TWStoredImage logo, QString phone, QString fax,
                       QString email, QUrl website, QString address, QString notes)
    : TWContactItem(identifier, TWItemTypeMerchant, std::move(name), std::move(company),
                    parentIdentifier, sortOrder, std::move(logo), std::move(phone), std::move(fax),
                    std::move(email), std::move(website), std::move(address), std::move(notes))
{
}

TWMerchantPtr TWMerchant::merchantWithIdentifier(qint32 identifier, const QString &name,
                                                 const QString &company, qint32 parentIdentifier,
                                                 quint32 sortOrder, const TWStoredImage &logo,
                                                 const QString &phone, const QString &fax,
                                                 const QString &email, const QUrl &website,
                                                 const QString &address, const QString &notes)
{
    return std::make_shared<TWMerchant>(identifier, name, company, parentIdentifier, sortOrder,
                                        logo, phone, fax, email, website, address, notes);
}

TWItemPtr TWMerchant::clone() const
{
    return copy();
}

QImage TWMerchant::defaultIconForMerchant(const TWMerchant *)
{
    return TWItemIcons::image(QStringLiteral("Merchant"));
}

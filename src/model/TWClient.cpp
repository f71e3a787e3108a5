#include "model/TWClient.h"

#include "model/TWItemIcons.h"

TWClient::TWClient(qint32 identifier, QString name, QString company, qint32 parentIdentifier,
                   quint32 sortOrder, TWStoredImage logo, QString phone, QString fax, QString email,
                   QUrl website, QString address, QString notes)
    : TWContactItem(identifier, TWItemTypeClient, std::move(name), std::move(company),
                    parentIdentifier, sortOrder, std::move(logo), std::move(phone), std::move(fax),
                    std::move(email), std::move(website), std::move(address), std::move(notes))
{
}

TWClientPtr TWClient::clientWithIdentifier(qint32 identifier, const QString &name,
                                           const QString &company, qint32 parentIdentifier,
                                           quint32 sortOrder, const TWStoredImage &logo,
                                           const QString &phone, const QString &fax,
                                           const QString &email, const QUrl &website,
                                           const QString &address, const QString &notes)
{
    return std::make_shared<TWClient>(identifier, name, company, parentIdentifier, sortOrder, logo,
                                      phone, fax, email, website, address, notes);
}

TWItemPtr TWClient::clone() const
{
    return copy();
}

QImage TWClient::defaultIconForClient(const TWClient *)
{
    return TWItemIcons::image(QStringLiteral("Client"));
}

#pragma once
// A customer of the business: the projects, estimates, invoices and payments of
// the work done for it hang off its identifier.

#include "model/TWContactItem.h"

class TWClient : public TWContactItem
{
public:
    TWClient() : TWContactItem() { setType(TWItemTypeClient); }
    TWClient(qint32 identifier, QString name, QString company, qint32 parentIdentifier,
             quint32 sortOrder, TWStoredImage logo, QString phone, QString fax, QString email,
             QUrl website, QString address, QString notes);

    static std::shared_ptr<TWClient>
    clientWithIdentifier(qint32 identifier, const QString &name, const QString &company,
                         qint32 parentIdentifier, quint32 sortOrder, const TWStoredImage &logo,
                         const QString &phone, const QString &fax, const QString &email,
                         const QUrl &website, const QString &address, const QString &notes);

    TWItemPtr clone() const override;
    std::shared_ptr<TWClient> copy() const { return std::make_shared<TWClient>(*this); }

    // The built-in image shown when a client has no logo ("Client"); the same
    // for every client.
    static QImage defaultIconForClient(const TWClient *client = nullptr);
};

using TWClientPtr = std::shared_ptr<TWClient>;
using TWClientList = QList<TWClientPtr>;

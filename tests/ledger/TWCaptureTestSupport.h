#pragma once
// Fixtures of the capture suites: a delegate that adds the finished files to
// a real transaction, and SANE pointed at a configuration of the test's own.

#include "ledger/TWDeviceController.h"

#include "TWTestSupport.h"
#include "model/TWTransaction.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QFile>
#include <QtGlobal>

// Adds what the device sheet hands over to a transaction, as the strip does.
class TWTransactionDeviceDelegate final : public TWDeviceControllerDelegate
{
public:
    TWTransactionDeviceDelegate(TWBusiness &business)
        : business(business), transaction(twNewTransaction(business))
    {
    }

    QString uniqueAttachmentName(const QString &name, const QString &extension) override
    {
        return twUniqueAttachmentName(*transaction, name, extension, business);
    }
    void deviceControllerAddAttachmentURL(const QUrl &url, std::uint32_t type,
                                          const QString &name) override
    {
        added.append({url, type, name});
        twLoadedAttachments(*transaction, business);
        transaction->addAttachmentFile(url.toLocalFile(), type, name, -1, [](const QImage &image) {
            return TWUtilities::utilities().thumbnailImageFile(image);
        });
    }

    struct Added {
        QUrl url;
        std::uint32_t type;
        QString name;
    };
    TWBusiness &business;
    TWTransactionPtr transaction;
    QList<Added> added;
};

// SANE keeps the configuration folder it first read for the life of the
// process, so the suites give it one folder before any test runs and change
// only the backends named in its dll.conf.
void twSetSaneBackends(const QByteArray &backends);

#pragma once
// A newer test build the service offers: where to get it and its version, with the texts of the
// offer (the application's strings table first, then the built-in defaults).

#include "crashreporting/common/MSHError.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

class MSHBetaUpdate
{
public:
    // None, with an error of the URL domain and code -1017, when "url" is missing or no URL.
    static std::optional<MSHBetaUpdate> betaUpdateWithDictionary(const QVariantMap &dictionary,
                                                                 MSHError *error);

    const QUrl &url() const { return m_url; }
    const QString &version() const { return m_version; }
    QString promptTitle() const;
    QString promptMessage() const;
    QString installLabel() const;
    QString cancelLabel() const;

private:
    QUrl m_url;
    QString m_version;
};

#pragma once
// Sends one fragment's event files to the analytics address as a multipart form, through a
// network client of its own that trusts the system's certificate authorities (no pinning).

#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHURLRequest.h"

#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class KTBNetworkClient;

class MSHAnalyticsNetworkingClient
{
public:
    MSHAnalyticsNetworkingClient();

    static MSHURLRequest requestForLogFiles(const QStringList &files, const QUrl &url,
                                            const QString &APIKey);
    // The completion hears the client's error (none on success), on the client's queue.
    void transmitLogFiles(const QStringList &files, const QUrl &url, const QString &APIKey,
                          std::function<void(const MSHErrorResult &)> completion);

private:
    std::shared_ptr<KTBNetworkClient> m_client;
};

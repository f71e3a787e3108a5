#include "crashreporting/analytics/MSHAnalyticsNetworkingClient.h"

#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/network/KTBNetworkClient.h"
#include "crashreporting/network/KTBNetworkOperation.h"

#include <QFileInfo>
#include <QNetworkRequest>

MSHAnalyticsNetworkingClient::MSHAnalyticsNetworkingClient() : m_client(KTBNetworkClient::create())
{
}

MSHURLRequest MSHAnalyticsNetworkingClient::requestForLogFiles(const QStringList &files,
                                                               const QUrl &url,
                                                               const QString &APIKey)
{
    MSHURLRequest request(url, 20.0);
    request.setHTTPMethod("POST");
    request.setValue("Mishap Mac SDK/3.0.10", "User-Agent");
    request.setValue(KTBNetworkOperation::developerToken, "X-MISHAP-DEVELOPER-TOKEN");
    request.setValue("Mishap Mac SDK", "X-MISHAP-API-CLIENT-TYPE");
    request.setValue("56", "X-MISHAP-API-CLIENT-VERSION");
    request.setValue("3.0.10", "X-MISHAP-API-CLIENT-DISPLAY-VERSION");
    request.setValue("56", "X-MISHAP-API-CLIENT-BUILD-VERSION");
    request.setValue(APIKey.toUtf8(), "X-MISHAP-API-KEY");
    QNetworkRequest encoded;
    const QByteArray body = KTBMultipartMimeStreamEncoder::populateRequest(
        encoded, [&files](KTBMultipartMimeStreamEncoder &encoder) {
            for (const QString &file : files) {
                const QString name = QFileInfo(file).fileName();
                encoder.addFile(file, name, QStringLiteral("application/vnd.mishap.ios.events"),
                                name);
            }
        });
    request.setValue(encoded.rawHeader("Content-Type"), "Content-Type");
    request.setValue(encoded.rawHeader("Content-Length"), "Content-Length");
    request.setHTTPBody(body);
    return request;
}

void MSHAnalyticsNetworkingClient::transmitLogFiles(
    const QStringList &files, const QUrl &url, const QString &APIKey,
    std::function<void(const MSHErrorResult &)> completion)
{
    if (!m_client) {
        MSHError error;
        error.domain = QStringLiteral("KTBNetworkError");
        error.code = -3;
        error.description = QStringLiteral("No network client");
        completion(error);
        return;
    }
    m_client->startDataTaskWithRequest(
        requestForLogFiles(files, url, APIKey),
        [completion = std::move(completion)](const QByteArray &, const MSHHTTPURLResponse &,
                                             const MSHErrorResult &error) { completion(error); });
}

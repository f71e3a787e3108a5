#pragma once
// The client of the settings download and the onboarding requests: one task, and after a
// retryable failure a fixed number of further attempts, each after the server's delay (no
// multiplier, no jitter). Its HTTPS requests trust only the pinned certificates.

#include "crashreporting/network/MSHURLSession.h"

#include <QList>
#include <QSslCertificate>

#include <functional>
#include <memory>

class KTBCertificatePinner;
class MSHDispatchQueue;

class KTBNetworkTaskUtility final : public MSHURLSessionDelegate,
                                    public std::enable_shared_from_this<KTBNetworkTaskUtility>
{
public:
    // The program's pinned set unless the caller hands in its own.
    static std::shared_ptr<KTBNetworkTaskUtility>
    create(const std::shared_ptr<MSHDispatchQueue> &queue = {});
    static std::shared_ptr<KTBNetworkTaskUtility>
    create(const std::shared_ptr<MSHDispatchQueue> &queue,
           const QList<QSslCertificate> &pinnedCertificates);

    const std::shared_ptr<MSHURLSession> &session() const { return m_session; }
    const std::shared_ptr<const KTBCertificatePinner> &certPinner() const { return m_pinner; }
    // Kept for the application; never called here (there are no background sessions).
    std::function<void()> backgroundCompletionHandler;

    void beginDataTaskWithRequest(const MSHURLRequest &request, int maxNumberOfRetries,
                                  MSHURLSessionDataTask::CompletionHandler completion);
    void
    beginDownloadTaskWithRequest(const MSHURLRequest &request, int maxNumberOfRetries,
                                 MSHURLSessionDownloadTask::DownloadCompletionHandler completion);
    // After the response's retry value, on a serial queue of its own made for this wait.
    static void runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response,
                                               std::function<void()> block);

    std::shared_ptr<const KTBCertificatePinner>
    URLSessionDidReceiveChallenge(MSHURLSession &session,
                                  const MSHURLSessionTaskPtr &task) override;

private:
    KTBNetworkTaskUtility() = default;

    std::shared_ptr<MSHURLSession> m_session;
    std::shared_ptr<const KTBCertificatePinner> m_pinner;
};

#pragma once
// The client of the component's settings-independent requests (the beta check's, for one): it
// sends a request and, while the service answers with a retryable failure, tries again up to ten
// more times after the server's delay times the attempt number, jittered by ±10 %. Its handler
// hears exactly once: the answer, a permanent failure, the transport's error, or -6 when the
// retries ran out. With pinned certificates its HTTPS requests trust only those.

#include "crashreporting/network/MSHURLSession.h"

#include <QList>
#include <QSslCertificate>

#include <memory>

class KTBCertificatePinner;
class MSHDispatchQueue;

class KTBNetworkClient final : public MSHURLSessionDelegate,
                               public std::enable_shared_from_this<KTBNetworkClient>
{
public:
    static constexpr int maximumRetryCount = 10;

    // Null when no session could be made. Without a queue the session makes its own.
    static std::shared_ptr<KTBNetworkClient>
    create(const std::shared_ptr<MSHDispatchQueue> &queue = {},
           const QList<QSslCertificate> &pinnedCertificates = {});
    static std::shared_ptr<KTBNetworkClient>
    createWithSessionConfiguration(const std::shared_ptr<MSHURLSessionConfiguration> &configuration,
                                   const std::shared_ptr<MSHDispatchQueue> &queue,
                                   const QList<QSslCertificate> &pinnedCertificates);

    const std::shared_ptr<MSHURLSession> &session() const { return m_session; }
    const std::shared_ptr<const KTBCertificatePinner> &certPinner() const { return m_pinner; }

    void startDataTaskWithRequest(const MSHURLRequest &request,
                                  MSHURLSessionDataTask::CompletionHandler completion);
    void
    startDownloadTaskWithRequest(const MSHURLRequest &request,
                                 MSHURLSessionDownloadTask::DownloadCompletionHandler completion);

    // min + (max - min) × a uniform number in [0, 1).
    static double randomDoubleWithMin(double min, double max);
    static double generateRandomJitter();
    // Seconds before the retry with this count: retry value × count (× 1 for 0) × jitter, at
    // most the longest delay the response rule honours.
    static double computeDelayForResponse(const MSHHTTPURLResponse &response, int retryCount);
    // Runs the block after the computed delay, on the queue or (without one) on the global pool.
    static void runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response, int attempts,
                                               const std::shared_ptr<MSHDispatchQueue> &queue,
                                               std::function<void()> block);
    static void runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response, int attempts,
                                               std::function<void()> block);
    static void startDataTaskForSession(const std::shared_ptr<MSHURLSession> &session,
                                        const MSHURLRequest &request, int retryCount,
                                        MSHURLSessionDataTask::CompletionHandler completion);
    static void
    startDownloadTaskForSession(const std::shared_ptr<MSHURLSession> &session,
                                const MSHURLRequest &request, int retryCount,
                                MSHURLSessionDownloadTask::DownloadCompletionHandler completion);

    std::shared_ptr<const KTBCertificatePinner>
    URLSessionDidReceiveChallenge(MSHURLSession &session,
                                  const MSHURLSessionTaskPtr &task) override;

private:
    KTBNetworkClient() = default;

    std::shared_ptr<MSHURLSession> m_session;
    std::shared_ptr<const KTBCertificatePinner> m_pinner;
};

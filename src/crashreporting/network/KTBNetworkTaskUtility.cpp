#include "crashreporting/network/KTBNetworkTaskUtility.h"

#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/KTBNetworkFailAtOnce.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"
#include "crashreporting/network/MSHSharedQueue.h"

namespace
{

// One attempt and, while the service asks for it and retries remain, the next ones.
template <typename Task, typename Handler, typename Maker>
void beginTask(const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
               int retriesLeft, Handler completion, Maker make)
{
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        KTBNetworkFailAtOnce(
            session, std::move(completion),
            KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Kitbase]"));
        return;
    }
    auto holder = std::make_shared<std::weak_ptr<Task>>();
    auto onDone = [session, request, retriesLeft, completion, make,
                   holder](const auto &result, const MSHHTTPURLResponse &response,
                           const MSHErrorResult &error) {
        const std::shared_ptr<Task> finished = holder->lock();
        const MSHURLRequest original = finished ? finished->originalRequest() : request;
        KTBNetworkResponseHandler::handleCompletedResponse(
            &response, original, error, [&](bool retry, const MSHErrorResult &outcome) {
                if (retry && retriesLeft > 0) {
                    KTBNetworkTaskUtility::runAfterRetryValueFromResponse(response, [=] {
                        beginTask<Task>(session, request, retriesLeft - 1, completion, make);
                    });
                    return;
                }
                if (completion)
                    completion(result, response, outcome);
            });
    };
    std::shared_ptr<Task> task = session ? make(session, request, std::move(onDone)) : nullptr;
    if (!task) {
        KTBNetworkFailAtOnce(session, std::move(completion),
                             MSHError{KTBNetworkResponseHandler::errorDomain,
                                      KTBNetworkErrorCode::NoTask,
                                      {},
                                      QStringLiteral("No task could be made for the request")});
        return;
    }
    *holder = task;
    task->resume();
}

} // namespace

std::shared_ptr<KTBNetworkTaskUtility>
KTBNetworkTaskUtility::create(const std::shared_ptr<MSHDispatchQueue> &queue)
{
    return create(queue, KTBCertificatePinner::pinnedCertificates());
}

std::shared_ptr<KTBNetworkTaskUtility>
KTBNetworkTaskUtility::create(const std::shared_ptr<MSHDispatchQueue> &queue,
                              const QList<QSslCertificate> &pinnedCertificates)
{
    std::shared_ptr<KTBNetworkTaskUtility> utility(new KTBNetworkTaskUtility);
    utility->m_pinner = std::make_shared<const KTBCertificatePinner>(pinnedCertificates);
    utility->m_session = MSHURLSession::sessionWithConfiguration(
        MSHURLSessionConfiguration::defaultSessionConfiguration(), utility, queue);
    if (!utility->m_session)
        return nullptr;
    return utility;
}

void KTBNetworkTaskUtility::beginDataTaskWithRequest(
    const MSHURLRequest &request, int maxNumberOfRetries,
    MSHURLSessionDataTask::CompletionHandler completion)
{
    beginTask<MSHURLSessionDataTask>(
        m_session, request, maxNumberOfRetries, std::move(completion),
        [](const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
           MSHURLSessionDataTask::CompletionHandler done) {
            return session->dataTaskWithRequest(request, std::move(done));
        });
}

void KTBNetworkTaskUtility::beginDownloadTaskWithRequest(
    const MSHURLRequest &request, int maxNumberOfRetries,
    MSHURLSessionDownloadTask::DownloadCompletionHandler completion)
{
    beginTask<MSHURLSessionDownloadTask>(
        m_session, request, maxNumberOfRetries, std::move(completion),
        [](const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
           MSHURLSessionDownloadTask::DownloadCompletionHandler done) {
            return session->downloadTaskWithRequest(request, std::move(done));
        });
}

void KTBNetworkTaskUtility::runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response,
                                                           std::function<void()> block)
{
    const double delay = KTBNetworkResponseHandler::retryValueForResponse(response);
    auto queue = MSHMakeSharedQueue("io.kitbase.sdk.mac.retry-work-queue");
    // The block keeps its queue until it has run.
    queue->after(delay, [queue, block = std::move(block)]() mutable {
        block();
        queue.reset();
    });
}

std::shared_ptr<const KTBCertificatePinner>
KTBNetworkTaskUtility::URLSessionDidReceiveChallenge(MSHURLSession &, const MSHURLSessionTaskPtr &)
{
    // Never bypassed, debug mode included: the settings this client fetches decide collection,
    // the prompt and the analytics address, so only the pinned service may answer.
    return m_pinner;
}

#include "crashreporting/network/KTBNetworkClient.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/KTBNetworkFailAtOnce.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"

#include <QRandomGenerator>
#include <QThreadPool>

namespace
{

MSHError noTaskError()
{
    return MSHError{KTBNetworkResponseHandler::errorDomain,
                    KTBNetworkErrorCode::NoTask,
                    {},
                    QStringLiteral("No task could be made for the request")};
}

MSHError retriesExhaustedError()
{
    return MSHError{KTBNetworkResponseHandler::errorDomain,
                    KTBNetworkErrorCode::RetriesExhausted,
                    {},
                    QStringLiteral("The service kept failing; retries exhausted")};
}

// One attempt and, after a retryable failure, the next one after the growing delay, until the
// retries run out.
template <typename Task, typename Handler, typename Maker>
void startTask(const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
               int retryCount, Handler completion, Maker make)
{
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        KTBNetworkFailAtOnce(
            session, std::move(completion),
            KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Kitbase]"));
        return;
    }
    if (!session) {
        KTBNetworkFailAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    // The task's completion holds only a weak reference to itself.
    auto holder = std::make_shared<std::weak_ptr<Task>>();
    std::shared_ptr<Task> task = make(
        session, request,
        [session, request, retryCount, completion, make, holder](
            const auto &result, const MSHHTTPURLResponse &response, const MSHErrorResult &error) {
            const std::shared_ptr<Task> finished = holder->lock();
            const MSHURLRequest original = finished ? finished->originalRequest() : request;
            KTBNetworkResponseHandler::handleCompletedResponse(
                &response, original, error, [&](bool retry, const MSHErrorResult &outcome) {
                    if (!retry) {
                        if (completion)
                            completion(result, response, outcome);
                    } else if (retryCount < KTBNetworkClient::maximumRetryCount) {
                        const int next = retryCount + 1;
                        KTBNetworkClient::runAfterRetryValueFromResponse(response, next, [=] {
                            startTask<Task>(session, request, next, completion, make);
                        });
                    } else if (completion) {
                        completion({}, MSHHTTPURLResponse(), retriesExhaustedError());
                    }
                });
        });
    if (!task) {
        KTBNetworkFailAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    *holder = task;
    task->resume();
}

} // namespace

std::shared_ptr<KTBNetworkClient>
KTBNetworkClient::create(const std::shared_ptr<MSHDispatchQueue> &queue,
                         const QList<QSslCertificate> &pinnedCertificates)
{
    return createWithSessionConfiguration(MSHURLSessionConfiguration::defaultSessionConfiguration(),
                                          queue, pinnedCertificates);
}

std::shared_ptr<KTBNetworkClient> KTBNetworkClient::createWithSessionConfiguration(
    const std::shared_ptr<MSHURLSessionConfiguration> &configuration,
    const std::shared_ptr<MSHDispatchQueue> &queue,
    const QList<QSslCertificate> &pinnedCertificates)
{
    std::shared_ptr<KTBNetworkClient> client(new KTBNetworkClient);
    if (!pinnedCertificates.isEmpty())
        client->m_pinner = std::make_shared<const KTBCertificatePinner>(pinnedCertificates);
    client->m_session = MSHURLSession::sessionWithConfiguration(configuration, client, queue);
    if (!client->m_session)
        return nullptr;
    return client;
}

void KTBNetworkClient::startDataTaskWithRequest(const MSHURLRequest &request,
                                                MSHURLSessionDataTask::CompletionHandler completion)
{
    startDataTaskForSession(m_session, request, 0, std::move(completion));
}

void KTBNetworkClient::startDownloadTaskWithRequest(
    const MSHURLRequest &request, MSHURLSessionDownloadTask::DownloadCompletionHandler completion)
{
    startDownloadTaskForSession(m_session, request, 0, std::move(completion));
}

double KTBNetworkClient::randomDoubleWithMin(double min, double max)
{
    return min + (max - min) * QRandomGenerator::global()->generateDouble();
}

double KTBNetworkClient::generateRandomJitter()
{
    return randomDoubleWithMin(double(0.9f), double(1.1f));
}

double KTBNetworkClient::computeDelayForResponse(const MSHHTTPURLResponse &response, int retryCount)
{
    const double value = KTBNetworkResponseHandler::retryValueForResponse(response);
    const double delay = value * double(std::max(retryCount, 1)) * generateRandomJitter();
    return std::clamp(delay, 0.0, KTBNetworkResponseHandler::maximumRetryValue);
}

void KTBNetworkClient::runAfterRetryValueFromResponse(
    const MSHHTTPURLResponse &response, int attempts,
    const std::shared_ptr<MSHDispatchQueue> &queue, std::function<void()> block)
{
    const double delay = computeDelayForResponse(response, attempts);
    if (queue)
        queue->after(delay, std::move(block));
    else
        MSHDispatchAfterOnGlobalQueue(QThreadPool::globalInstance(), std::move(block), delay);
}

void KTBNetworkClient::runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response,
                                                      int attempts, std::function<void()> block)
{
    runAfterRetryValueFromResponse(response, attempts, nullptr, std::move(block));
}

void KTBNetworkClient::startDataTaskForSession(const std::shared_ptr<MSHURLSession> &session,
                                               const MSHURLRequest &request, int retryCount,
                                               MSHURLSessionDataTask::CompletionHandler completion)
{
    startTask<MSHURLSessionDataTask>(
        session, request, retryCount, std::move(completion),
        [](const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
           MSHURLSessionDataTask::CompletionHandler done) {
            return session->dataTaskWithRequest(request, std::move(done));
        });
}

void KTBNetworkClient::startDownloadTaskForSession(
    const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request, int retryCount,
    MSHURLSessionDownloadTask::DownloadCompletionHandler completion)
{
    startTask<MSHURLSessionDownloadTask>(
        session, request, retryCount, std::move(completion),
        [](const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request,
           MSHURLSessionDownloadTask::DownloadCompletionHandler done) {
            return session->downloadTaskWithRequest(request, std::move(done));
        });
}

std::shared_ptr<const KTBCertificatePinner>
KTBNetworkClient::URLSessionDidReceiveChallenge(MSHURLSession &, const MSHURLSessionTaskPtr &)
{
    // Debug mode only adds log lines: the pinned certificates hold in every mode.
    return m_pinner;
}

#include "KTBNetworkClient.h"

#include "KTBCertificatePinner.h"
#include "KTBDebug.h"
#include "KTBNetworkResponseHandler.h"
#include "MSHDispatchQueue.h"
#include "MSHHost.h"

#include <QRandomGenerator>
#include <QThreadPool>

namespace
{

MSHError noTaskError()
{
    return MSHError{KTBNetworkResponseHandler::errorDomain, KTBNetworkErrorCode::NoTask, {},
                    QStringLiteral("No task could be made for the request")};
}

MSHError retriesExhaustedError()
{
    return MSHError{KTBNetworkResponseHandler::errorDomain, KTBNetworkErrorCode::RetriesExhausted,
                    {}, QStringLiteral("The service kept failing; retries exhausted")};
}

// Hands a refusal to the handler on the session's delegate queue, like any other answer.
template <typename Handler>
void failAtOnce(const std::shared_ptr<MSHURLSession> &session, Handler completion,
                const MSHError &error)
{
    if (!completion)
        return;
    auto deliver = [completion = std::move(completion), error] {
        completion({}, MSHHTTPURLResponse(), error);
    };
    if (session && session->delegateQueue())
        session->delegateQueue()->async(std::move(deliver));
    else
        deliver();
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

double KTBNetworkClient::computeDelayForResponse(const MSHHTTPURLResponse &response,
                                                 int retryCount)
{
    const double value = KTBNetworkResponseHandler::retryValueForResponse(response);
    const double delay = value * double(std::max(retryCount, 1)) * generateRandomJitter();
    return std::clamp(delay, 0.0, KTBNetworkResponseHandler::maximumRetryValue);
}

void KTBNetworkClient::runAfterRetryValueFromResponse(const MSHHTTPURLResponse &response,
                                                      int attempts,
                                                      const std::shared_ptr<MSHDispatchQueue> &queue,
                                                      std::function<void()> block)
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
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        failAtOnce(session, std::move(completion),
                   KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Kitbase]"));
        return;
    }
    if (!session) {
        failAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    // The task's completion holds only a weak reference to itself.
    auto holder = std::make_shared<std::weak_ptr<MSHURLSessionDataTask>>();
    std::shared_ptr<MSHURLSessionDataTask> task = session->dataTaskWithRequest(
        request, [session, request, retryCount, completion, holder](
                     const QByteArray &data, const MSHHTTPURLResponse &response,
                     const MSHErrorResult &error) {
            const std::shared_ptr<MSHURLSessionDataTask> finished = holder->lock();
            const MSHURLRequest original = finished ? finished->originalRequest() : request;
            KTBNetworkResponseHandler::handleCompletedResponse(
                &response, original, error, [&](bool retry, const MSHErrorResult &outcome) {
                    if (!retry) {
                        if (completion)
                            completion(data, response, outcome);
                    } else if (retryCount < maximumRetryCount) {
                        const int next = retryCount + 1;
                        runAfterRetryValueFromResponse(response, next, [=] {
                            startDataTaskForSession(session, request, next, completion);
                        });
                    } else if (completion) {
                        completion({}, MSHHTTPURLResponse(), retriesExhaustedError());
                    }
                });
        });
    if (!task) {
        failAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    *holder = task;
    task->resume();
}

void KTBNetworkClient::startDownloadTaskForSession(
    const std::shared_ptr<MSHURLSession> &session, const MSHURLRequest &request, int retryCount,
    MSHURLSessionDownloadTask::DownloadCompletionHandler completion)
{
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        failAtOnce(session, std::move(completion),
                   KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Kitbase]"));
        return;
    }
    if (!session) {
        failAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    auto holder = std::make_shared<std::weak_ptr<MSHURLSessionDownloadTask>>();
    std::shared_ptr<MSHURLSessionDownloadTask> task = session->downloadTaskWithRequest(
        request, [session, request, retryCount, completion, holder](
                     const QString &path, const MSHHTTPURLResponse &response,
                     const MSHErrorResult &error) {
            const std::shared_ptr<MSHURLSessionDownloadTask> finished = holder->lock();
            const MSHURLRequest original = finished ? finished->originalRequest() : request;
            KTBNetworkResponseHandler::handleCompletedResponse(
                &response, original, error, [&](bool retry, const MSHErrorResult &outcome) {
                    if (!retry) {
                        if (completion)
                            completion(path, response, outcome);
                    } else if (retryCount < maximumRetryCount) {
                        const int next = retryCount + 1;
                        runAfterRetryValueFromResponse(response, next, [=] {
                            startDownloadTaskForSession(session, request, next, completion);
                        });
                    } else if (completion) {
                        completion({}, MSHHTTPURLResponse(), retriesExhaustedError());
                    }
                });
        });
    if (!task) {
        failAtOnce(session, std::move(completion), noTaskError());
        return;
    }
    *holder = task;
    task->resume();
}

std::shared_ptr<const KTBCertificatePinner>
KTBNetworkClient::URLSessionDidReceiveChallenge(MSHURLSession &, const MSHURLSessionTaskPtr &)
{
    if (KTBDebugEnabled())
        return nullptr;
    return m_pinner;
}

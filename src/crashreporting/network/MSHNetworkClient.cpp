#include "crashreporting/network/MSHNetworkClient.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"
#include "crashreporting/network/MSHSharedQueue.h"

#include <QFileInfo>
#include <QThreadPool>

const QString MSHNetworkClient::errorDomain = QStringLiteral("MSHNetworkError");

void MSHNetworkClientDelegate::networkClient(MSHNetworkClient &, const QString &,
                                             const MSHErrorResult &)
{
}

std::shared_ptr<MSHNetworkClient>
MSHNetworkClient::create(const std::shared_ptr<MSHDispatchQueue> &operationQueue,
                         const std::shared_ptr<MSHFileManager> &fileManager,
                         const std::weak_ptr<MSHNetworkClientDelegate> &delegate)
{
    return create(operationQueue, fileManager, delegate,
                  KTBCertificatePinner::pinnedCertificates());
}

std::shared_ptr<MSHNetworkClient>
MSHNetworkClient::create(const std::shared_ptr<MSHDispatchQueue> &operationQueue,
                         const std::shared_ptr<MSHFileManager> &fileManager,
                         const std::weak_ptr<MSHNetworkClientDelegate> &delegate,
                         const QList<QSslCertificate> &pinnedCertificates)
{
    std::shared_ptr<MSHNetworkClient> client(new MSHNetworkClient);
    client->m_queue = operationQueue ? operationQueue : MSHMakeSharedQueue("com.mishap.mac.upload");
    client->m_fileManager = fileManager;
    client->m_delegate = delegate;
    client->m_pinner = std::make_shared<const KTBCertificatePinner>(pinnedCertificates);
    if (const std::shared_ptr<MSHNetworkClientDelegate> owner = delegate.lock())
        client->m_canUseBackgroundSession = owner->networkClientCanUseBackgroundSessions(*client);
    if (KTBDebugEnabled()) {
        MSHLog("[Mishap:Crash:Client]",
               client->supportsBackgroundRequests()
                   ? QStringLiteral("Background session uploading supported")
                   : QStringLiteral("Background session uploading not supported, asynchronous "
                                    "uploading will be used"));
    }
    return client;
}

std::shared_ptr<MSHURLSession> MSHNetworkClient::session()
{
    QMutexLocker lock(&m_mutex);
    if (!m_session) {
        m_session = MSHURLSession::sessionWithConfiguration(
            MSHURLSessionConfiguration::defaultSessionConfiguration(), shared_from_this(), m_queue);
        if (!m_session)
            MSHLog("[Mishap:Crash:Client]", QStringLiteral("Failed to initialize"));
    }
    return m_session;
}

bool MSHNetworkClient::beginUpload(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    if (m_inFlight.contains(path))
        return false;
    m_inFlight.insert(path);
    return true;
}

void MSHNetworkClient::endUpload(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_inFlight.remove(path);
}

void MSHNetworkClient::startUploadRequest(const MSHURLRequest &request, const QString &filePath,
                                          bool immediately)
{
    // Claimed at once, on the calling thread: the task list is looked at later, so two calls in
    // a row would both find it empty.
    if (!beginUpload(filePath)) {
        if (KTBDebugEnabled())
            MSHLog("[Mishap:Crash:Client]",
                   QStringLiteral("An upload of this report is still running, skipping"));
        return;
    }
    if (immediately) {
        startImmediateUploadRequest(request, filePath);
        return;
    }
    const QString description = relativeTaskPathForAbsolutePath(filePath);
    std::shared_ptr<MSHNetworkClient> self = shared_from_this();
    checkForExistingTaskMatchingDescription(description, [self, request, filePath](bool exists) {
        if (exists) {
            if (KTBDebugEnabled())
                MSHLog("[Mishap:Crash:Client]",
                       QStringLiteral("A task currently exists for this upload, skipping"));
            self->endUpload(filePath);
            return;
        }
        self->startNewUploadRequest(request, filePath);
    });
}

void MSHNetworkClient::startImmediateUploadRequest(const MSHURLRequest &request,
                                                   const QString &filePath)
{
    if (supportsBackgroundRequests()) {
        startNewUploadRequest(request, filePath);
        return;
    }
    struct Release {
        MSHNetworkClient *client;
        const QString &path;
        ~Release() { client->endUpload(path); }
    } release{this, filePath};
    if (!QFileInfo(filePath).isReadable() || !QFileInfo(filePath).isFile()) {
        MSHSafeLog("%s: Error: file unreadable", __func__);
        return;
    }
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Mishap:Crash:Client]");
        return;
    }
    const std::shared_ptr<MSHURLSession> urlSession = session();
    if (!urlSession)
        return;
    MSHURLRequest upload = request;
    upload.setHTTPBody(QByteArray());
    upload.setHTTPBodyFile(filePath);
    MSHHTTPURLResponse response;
    MSHErrorResult error;
    urlSession->sendSynchronousRequest(upload, &response, &error);
    if (error)
        return;
    // Judged as every other answer is: a success in another type than the one asked for (a
    // portal's page, an empty answer) is not the service's.
    KTBNetworkResponseHandler::handleCompletedResponse(&response, upload, std::nullopt,
                                                       [&](bool, const MSHErrorResult &outcome) {
                                                           // Any failure leaves the file where it
                                                           // is for a later attempt.
                                                           if (!outcome)
                                                               tellDelegate(filePath, std::nullopt);
                                                       });
}

void MSHNetworkClient::startNewUploadRequest(const MSHURLRequest &request, const QString &filePath)
{
    startNewUploadRequest(request, filePath, 0);
}

void MSHNetworkClient::startNewUploadRequest(const MSHURLRequest &request, const QString &filePath,
                                             int restarts)
{
    const QFileInfo info(filePath);
    if (!info.isFile() || !info.isReadable()) {
        MSHError error{errorDomain,
                       -2,
                       {{QStringLiteral("path"), filePath}},
                       QStringLiteral("The report file cannot be read")};
        std::shared_ptr<MSHNetworkClient> self = shared_from_this();
        m_queue->async([self, filePath, error] { self->tellDelegate(filePath, error); });
        return;
    }
    if (!KTBNetworkResponseHandler::isServiceURL(request.url())) {
        const MSHError error =
            KTBNetworkResponseHandler::noServiceURLError(request.url(), "[Mishap:Crash:Client]");
        std::shared_ptr<MSHNetworkClient> self = shared_from_this();
        m_queue->async([self, filePath, error] { self->tellDelegate(filePath, error); });
        return;
    }
    const std::shared_ptr<MSHURLSession> urlSession = session();
    if (!urlSession) {
        endUpload(filePath);
        return;
    }
    std::shared_ptr<MSHURLSessionUploadTask> task =
        urlSession->uploadTaskWithRequest(request, filePath);
    task->setTaskDescription(relativeTaskPathForAbsolutePath(filePath));
    {
        QMutexLocker lock(&m_mutex);
        m_uploads.insert(task->taskIdentifier(), Upload{filePath, restarts});
    }
    task->resume();
}

void MSHNetworkClient::attemptToReconnectBackgroundSessionWithCompletionBlock(
    std::function<void()> block)
{
    if (block)
        block();
}

QString MSHNetworkClient::rootPath() const
{
    return m_fileManager ? m_fileManager->rootPath() : QString();
}

QString MSHNetworkClient::absolutePathForRelativeTaskPath(const QString &relativePath) const
{
    return rootPath() + QLatin1Char('/') + relativePath;
}

QString MSHNetworkClient::relativeTaskPathForAbsolutePath(const QString &absolutePath) const
{
    const QString root = rootPath() + QLatin1Char('/');
    if (!absolutePath.startsWith(root)) {
        MSHSafeLog("%s: Error: path '%s' is not at the root '%s'", __func__,
                   absolutePath.toUtf8().constData(), root.toUtf8().constData());
        return {};
    }
    return absolutePath.mid(root.size());
}

void MSHNetworkClient::checkForExistingTaskMatchingDescription(const QString &description,
                                                               std::function<void(bool)> block)
{
    const std::shared_ptr<MSHURLSession> urlSession = session();
    if (!urlSession || description.isEmpty()) {
        m_queue->async([block = std::move(block)] { block(false); });
        return;
    }
    urlSession->getTasksWithCompletionHandler(
        [description, block = std::move(block)](const QList<MSHURLSessionTaskPtr> &data,
                                                const QList<MSHURLSessionTaskPtr> &upload,
                                                const QList<MSHURLSessionTaskPtr> &download) {
            block(taskArrayHasTaskMatchingDescription(data, description) ||
                  taskArrayHasTaskMatchingDescription(upload, description) ||
                  taskArrayHasTaskMatchingDescription(download, description));
        });
}

bool MSHNetworkClient::taskArrayHasTaskMatchingDescription(const QList<MSHURLSessionTaskPtr> &tasks,
                                                           const QString &description)
{
    return std::any_of(tasks.begin(), tasks.end(), [&](const MSHURLSessionTaskPtr &task) {
        return task->taskDescription() == description;
    });
}

void MSHNetworkClient::URLSessionTaskDidCompleteWithError(MSHURLSession &,
                                                          const MSHURLSessionTaskPtr &task,
                                                          const MSHErrorResult &error)
{
    Upload upload;
    {
        QMutexLocker lock(&m_mutex);
        upload = m_uploads.take(task->taskIdentifier());
    }
    if (upload.path.isEmpty())
        upload.path = absolutePathForRelativeTaskPath(task->taskDescription());
    const MSHHTTPURLResponse response = task->response();
    KTBNetworkResponseHandler::handleCompletedResponse(
        &response, task->originalRequest(), error, [&](bool retry, MSHErrorResult outcome) {
            // After ten restarts the owner's own, slower retry takes over.
            if (retry && upload.restarts < maximumRestarts)
                restartTask(task, response, upload.path, upload.restarts + 1);
            else
                tellDelegate(upload.path, outcome);
        });
}

void MSHNetworkClient::restartTask(const MSHURLSessionTaskPtr &task,
                                   const MSHHTTPURLResponse &response, const QString &path,
                                   int restarts)
{
    const double delay = double(float(KTBNetworkResponseHandler::retryValueForResponse(response)));
    std::shared_ptr<MSHNetworkClient> self = shared_from_this();
    MSHURLRequest request = task->originalRequest();
    std::shared_ptr<MSHDispatchQueue> queue = m_queue;
    queue->after(delay, [self, request, path, restarts] {
        self->startNewUploadRequest(request, path, restarts);
    });
}

void MSHNetworkClient::tellDelegate(const QString &path, const MSHErrorResult &error)
{
    endUpload(path);
    if (const std::shared_ptr<MSHNetworkClientDelegate> delegate = m_delegate.lock())
        delegate->networkClient(*this, path, error);
}

std::shared_ptr<const KTBCertificatePinner>
MSHNetworkClient::URLSessionDidReceiveChallenge(MSHURLSession &, const MSHURLSessionTaskPtr &)
{
    // Debug mode only adds log lines: the pinned certificates hold in every mode.
    return m_pinner;
}

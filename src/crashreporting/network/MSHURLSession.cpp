#include "crashreporting/network/MSHURLSession.h"

#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/MSHSharedQueue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSemaphore>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::atomic<quint64> nextTaskIdentifier{1};

const QString sessionErrorDomain = QStringLiteral("MSHURLSessionError");
const QString downloadErrorDomain = QStringLiteral("MSHURLSessionDownloadTaskError");
const QString transportErrorDomain = QStringLiteral("QNetworkReply");

MSHError transportError(QNetworkReply *reply)
{
    MSHError error;
    error.domain = transportErrorDomain;
    error.code = reply->error();
    error.description = reply->errorString();
    return error;
}

// Errors of the transport (connection, TLS, timeout, cancellation, proxy) as opposed to an HTTP
// answer that merely carries a failing status, which the clients classify themselves.
bool isTransportError(QNetworkReply *reply)
{
    const QNetworkReply::NetworkError code = reply->error();
    if (code == QNetworkReply::NoError)
        return false;
    if (code < 200)
        return true;
    return !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

MSHHTTPURLResponse responseOf(QNetworkReply *reply)
{
    MSHHeaderList headers;
    const QList<QNetworkReply::RawHeaderPair> pairs = reply->rawHeaderPairs();
    for (const auto &pair : pairs)
        headers.append({pair.first, pair.second});
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return MSHHTTPURLResponse(reply->url(), status.isValid() ? status.toInt() : 0,
                              std::move(headers));
}

MSHError cancelledError()
{
    return MSHError{transportErrorDomain,
                    QNetworkReply::OperationCanceledError,
                    {},
                    QStringLiteral("Operation canceled")};
}

} // namespace

// --- configuration ---------------------------------------------------------------------------

std::shared_ptr<MSHURLSessionConfiguration>
MSHURLSessionConfiguration::defaultSessionConfiguration()
{
    return std::make_shared<MSHURLSessionConfiguration>();
}

std::shared_ptr<MSHURLSessionConfiguration>
MSHURLSessionConfiguration::ephemeralSessionConfiguration()
{
    return std::make_shared<MSHURLSessionConfiguration>();
}

std::shared_ptr<MSHURLSessionConfiguration>
MSHURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const QString &)
{
    return nullptr;
}

std::shared_ptr<MSHURLSessionConfiguration>
MSHURLSessionConfiguration::backgroundSessionConfiguration(const QString &identifier)
{
    return backgroundSessionConfigurationWithIdentifier(identifier);
}

std::shared_ptr<MSHURLSessionConfiguration> MSHURLSessionConfiguration::copy() const
{
    auto other = std::make_shared<MSHURLSessionConfiguration>();
    other->m_headers = m_headers;
    return other;
}

// --- delegate defaults -----------------------------------------------------------------------

void MSHURLSessionDelegate::URLSessionDataTaskDidReceiveResponse(MSHURLSession &,
                                                                 const MSHURLSessionTaskPtr &,
                                                                 const MSHHTTPURLResponse &)
{
}

void MSHURLSessionDelegate::URLSessionDataTaskDidReceiveData(MSHURLSession &,
                                                             const MSHURLSessionTaskPtr &,
                                                             const QByteArray &)
{
}

void MSHURLSessionDelegate::URLSessionDownloadTaskDidFinishDownloadingToURL(
    MSHURLSession &, const MSHURLSessionTaskPtr &, const QString &)
{
}

void MSHURLSessionDelegate::URLSessionTaskDidCompleteWithError(MSHURLSession &,
                                                               const MSHURLSessionTaskPtr &,
                                                               const MSHErrorResult &)
{
}

std::shared_ptr<const KTBCertificatePinner>
MSHURLSessionDelegate::URLSessionDidReceiveChallenge(MSHURLSession &, const MSHURLSessionTaskPtr &)
{
    return nullptr;
}

// --- tasks -----------------------------------------------------------------------------------

MSHURLSessionTask::MSHURLSessionTask(Kind kind, const MSHURLRequest &request)
    : m_kind(kind), m_identifier(nextTaskIdentifier.fetch_add(1)), m_request(request)
{
}

MSHURLSessionTask::~MSHURLSessionTask()
{
    delete m_file;
}

MSHHTTPURLResponse MSHURLSessionTask::response() const
{
    QMutexLocker lock(&m_mutex);
    return m_response;
}

MSHErrorResult MSHURLSessionTask::error() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

QString MSHURLSessionTask::taskDescription() const
{
    QMutexLocker lock(&m_mutex);
    return m_description;
}

void MSHURLSessionTask::setTaskDescription(const QString &description)
{
    QMutexLocker lock(&m_mutex);
    m_description = description;
}

bool MSHURLSessionTask::isCompleted() const
{
    QMutexLocker lock(&m_mutex);
    return m_completed;
}

void MSHURLSessionTask::resume()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_resumed)
            return;
        m_resumed = true;
    }
    if (const std::shared_ptr<MSHURLSession> session = m_session.lock())
        session->resumeTask(shared_from_this());
}

void MSHURLSessionTask::cancel()
{
    if (const std::shared_ptr<MSHURLSession> session = m_session.lock())
        session->cancelTask(shared_from_this());
}

MSHURLSessionDownloadTask::MSHURLSessionDownloadTask(const MSHURLRequest &request)
    : MSHURLSessionDataTask(Kind::Download, request),
      m_targetPath(QDir::temp().filePath(QStringLiteral("mshdownload-") +
                                         QUuid::createUuid().toString(QUuid::WithoutBraces)))
{
}

MSHURLSessionDownloadTask::~MSHURLSessionDownloadTask()
{
    cleanup();
}

void MSHURLSessionDownloadTask::cleanup()
{
    QFile::remove(m_targetPath);
}

// --- session ---------------------------------------------------------------------------------

std::shared_ptr<MSHURLSession> MSHURLSession::sessionWithConfiguration(
    const std::shared_ptr<MSHURLSessionConfiguration> &configuration,
    const std::shared_ptr<MSHURLSessionDelegate> &delegate,
    const std::shared_ptr<MSHDispatchQueue> &delegateQueue)
{
    if (!configuration)
        return nullptr;
    return std::shared_ptr<MSHURLSession>(
        new MSHURLSession(configuration, delegate, delegateQueue));
}

void MSHURLSession::removeLeftoverDownloads(qint64 minimumAgeSeconds)
{
    const QDir temporary = QDir::temp();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-minimumAgeSeconds);
    for (const QFileInfo &entry :
         temporary.entryInfoList({QStringLiteral("mshdownload-*")}, QDir::Files | QDir::Hidden)) {
        if (!entry.isSymLink() && entry.lastModified().toUTC() < before)
            QFile::remove(entry.filePath());
    }
}

MSHURLSession::MSHURLSession(std::shared_ptr<MSHURLSessionConfiguration> configuration,
                             std::weak_ptr<MSHURLSessionDelegate> delegate,
                             std::shared_ptr<MSHDispatchQueue> delegateQueue)
    : m_configuration(std::move(configuration)), m_delegate(std::move(delegate)),
      m_delegateQueue(std::move(delegateQueue)),
      m_queue(MSHMakeSharedQueue("com.mishap.URLSession"))
{
    if (!m_delegateQueue) {
        const QByteArray name =
            QByteArray("MSHURLSession 0x") + QByteArray::number(quintptr(this), 16);
        m_delegateQueue = MSHMakeSharedQueue(name);
    }
    // Downloads of a process that ended early: any older than ten minutes are no one's.
    static std::once_flag leftovers;
    std::call_once(leftovers, [] { removeLeftoverDownloads(600); });
    m_queue->sync([this] {
        m_manager = new QNetworkAccessManager;
        // Nothing of the service is cached: every answer comes from the network.
        m_manager->setCache(nullptr);
        // No redirect is followed: an upload must never become an empty GET, nor carry the
        // report and the API key to a host the answer names. A 3xx ends the task as it stands.
        m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    });
}

MSHURLSession::~MSHURLSession()
{
    // Replies belong to the manager, which goes when its thread ends and drops them unanswered.
    // Not at once: the last reference may die inside one of its replies' own signals.
    m_queue->sync([this] {
        m_manager->deleteLater();
        m_manager = nullptr;
    });
}

QString MSHURLSession::sessionDescription() const
{
    QMutexLocker lock(&m_mutex);
    return m_description;
}

void MSHURLSession::setSessionDescription(const QString &description)
{
    QMutexLocker lock(&m_mutex);
    m_description = description;
}

void MSHURLSession::configureTask(const MSHURLSessionTaskPtr &task)
{
    task->m_session = weak_from_this();
    const MSHHeaderList headers = m_configuration->HTTPAdditionalHeaders();
    for (const auto &header : headers)
        task->m_request.addValue(header.second, header.first);
}

std::shared_ptr<MSHURLSessionDataTask>
MSHURLSession::dataTaskWithRequest(const MSHURLRequest &request,
                                   MSHURLSessionDataTask::CompletionHandler completion)
{
    auto task = std::make_shared<MSHURLSessionDataTask>(request);
    task->m_request.setHTTPBodyFile(QString());
    if (completion) {
        task->m_completion = std::move(completion);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<MSHURLSessionUploadTask>
MSHURLSession::uploadTaskWithRequest(const MSHURLRequest &request, const QString &filePath,
                                     MSHURLSessionDataTask::CompletionHandler completion)
{
    auto task = std::make_shared<MSHURLSessionUploadTask>(request);
    task->m_request.setHTTPBody(QByteArray());
    task->m_request.setHTTPBodyFile(filePath);
    if (completion) {
        task->m_completion = std::move(completion);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<MSHURLSessionDownloadTask> MSHURLSession::downloadTaskWithRequest(
    const MSHURLRequest &request, MSHURLSessionDownloadTask::DownloadCompletionHandler completion)
{
    auto task = std::make_shared<MSHURLSessionDownloadTask>(request);
    task->m_request.setHTTPBodyFile(QString());
    if (completion) {
        task->m_downloadCompletion = std::move(completion);
        task->m_invokesDelegate = false;
    }
    configureTask(task);
    return task;
}

std::shared_ptr<MSHURLSessionDownloadTask> MSHURLSession::downloadTaskWithURL(const QUrl &url)
{
    return downloadTaskWithRequest(MSHURLRequest(url));
}

void MSHURLSession::getTasksWithCompletionHandler(
    std::function<void(const QList<MSHURLSessionTaskPtr> &, const QList<MSHURLSessionTaskPtr> &,
                       const QList<MSHURLSessionTaskPtr> &)>
        handler)
{
    if (!handler)
        return;
    // The running tasks are read on the delegate queue, so that work queued there before this
    // call (a task resumed by an earlier block) is already counted.
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_delegateQueue->async([self, handler = std::move(handler)] {
        QList<MSHURLSessionTaskPtr> data, upload, download;
        {
            QMutexLocker lock(&self->m_mutex);
            for (const MSHURLSessionTaskPtr &task : std::as_const(self->m_running)) {
                switch (task->kind()) {
                case MSHURLSessionTask::Kind::Data:
                    data.append(task);
                    break;
                case MSHURLSessionTask::Kind::Upload:
                    upload.append(task);
                    break;
                case MSHURLSessionTask::Kind::Download:
                    download.append(task);
                    break;
                }
            }
        }
        handler(data, upload, download);
    });
}

QByteArray MSHURLSession::sendSynchronousRequest(const MSHURLRequest &request,
                                                 MSHHTTPURLResponse *response,
                                                 MSHErrorResult *error)
{
    if (m_queue->isCurrent()) {
        if (error)
            *error = MSHError{sessionErrorDomain,
                              2,
                              {},
                              QStringLiteral("A synchronous request cannot wait on its session")};
        return {};
    }
    std::shared_ptr<MSHURLSessionDataTask> task;
    if (request.HTTPBodyFile().isEmpty())
        task = std::make_shared<MSHURLSessionDataTask>(request);
    else
        task = std::make_shared<MSHURLSessionUploadTask>(request);
    task->m_invokesDelegate = false;
    configureTask(task);
    struct Outcome {
        QSemaphore done;
        QByteArray data;
        MSHHTTPURLResponse response;
        MSHErrorResult error;
    };
    auto outcome = std::make_shared<Outcome>();
    task->m_directHandler = [outcome](const QByteArray &data, const MSHHTTPURLResponse &answer,
                                      const MSHErrorResult &failure) {
        outcome->data = data;
        outcome->response = answer;
        outcome->error = failure;
        outcome->done.release();
    };
    task->resume();
    // The timeout bounds the whole exchange, on the clock: the transfer timeout restarts with
    // every byte, so a service that trickles its answer (or a large body that goes out slowly)
    // would otherwise hold the caller for as long as it likes.
    const double seconds = request.timeoutInterval() > 0 ? request.timeoutInterval() : 60.0;
    if (!outcome->done.tryAcquire(1, int(std::ceil(seconds * 1000.0)))) {
        // Not waited for: the outcome is shared, and the task ends on the session's queue.
        task->cancel();
        if (response)
            *response = MSHHTTPURLResponse();
        if (error)
            *error = cancelledError();
        return {};
    }
    if (response)
        *response = outcome->response;
    if (error)
        *error = outcome->error;
    return outcome->data;
}

void MSHURLSession::resumeTask(const MSHURLSessionTaskPtr &task)
{
    {
        QMutexLocker lock(&m_mutex);
        m_running.insert(task->taskIdentifier(), task);
    }
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_queue->async([self, task] { self->startOnQueue(task); });
}

void MSHURLSession::cancelTask(const MSHURLSessionTaskPtr &task)
{
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_queue->async([self, task] {
        {
            QMutexLocker lock(&task->m_mutex);
            if (task->m_completed)
                return;
            task->m_cancelRequested = true;
        }
        if (task->m_reply)
            task->m_reply->abort();
        else
            self->completeOnQueue(task, cancelledError());
    });
}

void MSHURLSession::startOnQueue(const MSHURLSessionTaskPtr &task)
{
    {
        QMutexLocker lock(&task->m_mutex);
        if (task->m_completed) {
            lock.unlock();
            QMutexLocker sessionLock(&m_mutex);
            m_running.remove(task->taskIdentifier());
            return;
        }
        if (task->m_cancelRequested) {
            lock.unlock();
            completeOnQueue(task, cancelledError());
            return;
        }
    }
    const MSHURLRequest &request = task->m_request;
    QNetworkRequest networkRequest(request.url());
    for (const auto &header : request.allHTTPHeaderFields())
        networkRequest.setRawHeader(header.first, header.second);
    if (request.timeoutInterval() > 0)
        networkRequest.setTransferTimeout(int(std::min(request.timeoutInterval() * 1000.0, 2.0e9)));
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);

    std::shared_ptr<const KTBCertificatePinner> pinner;
    if (request.url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
        if (const std::shared_ptr<MSHURLSessionDelegate> delegate = m_delegate.lock())
            pinner = delegate->URLSessionDidReceiveChallenge(*this, task);
        if (pinner)
            pinner->configureRequest(networkRequest);
        // A kept-alive connection carries the trust it was opened with: when the answer to the
        // challenge changes (debug mode turned on or off), none of them may be reused.
        if (!m_trustDecided || pinner != m_lastPinner) {
            if (m_trustDecided)
                m_manager->clearConnectionCache();
            m_trustDecided = true;
            m_lastPinner = pinner;
        }
    }

    if (task->kind() == MSHURLSessionTask::Kind::Download) {
        auto *download = static_cast<MSHURLSessionDownloadTask *>(task.get());
        task->m_file = new QFile(download->targetPath());
        if (!task->m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            completeOnQueue(task,
                            MSHError{downloadErrorDomain, -1, {}, task->m_file->errorString()});
            return;
        }
    }

    QNetworkReply *reply = nullptr;
    const QByteArray method =
        request.HTTPMethod().isEmpty() ? QByteArray("GET") : request.HTTPMethod();
    if (task->kind() == MSHURLSessionTask::Kind::Upload) {
        // The body is the file at that name itself: never one a link there points at, never
        // anything but a regular file, never a file that has another name as well.
        auto *file = new QFile(request.HTTPBodyFile());
        const int descriptor = ::open(QFile::encodeName(request.HTTPBodyFile()).constData(),
                                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat status {
        };
        const bool regular = descriptor >= 0 && ::fstat(descriptor, &status) == 0 &&
                             S_ISREG(status.st_mode) && status.st_nlink == 1;
        // What is opened is what was measured and declared: the same file, of the length given.
        const auto identity = request.HTTPBodyFileIdentity();
        const QByteArray declared = request.valueForHTTPHeaderField("Content-Length");
        const bool same = regular &&
                          (!identity || (quint64(status.st_dev) == identity->device &&
                                         quint64(status.st_ino) == identity->inode)) &&
                          (declared.isEmpty() || declared.toLongLong() == qint64(status.st_size));
        if (!same || !file->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            const QString reason = same             ? file->errorString()
                                   : regular        ? QStringLiteral("not the file measured for it")
                                   : descriptor < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                                    : QStringLiteral("not a regular file");
            if (descriptor >= 0 && !file->isOpen())
                ::close(descriptor);
            delete file;
            completeOnQueue(
                task, MSHError{sessionErrorDomain,
                               1,
                               {},
                               QStringLiteral("The upload file could not be read: ") + reason});
            return;
        }
        reply = m_manager->sendCustomRequest(networkRequest, method, file);
        file->setParent(reply);
    } else if (method == "GET" && request.HTTPBody().isEmpty()) {
        reply = m_manager->get(networkRequest);
    } else {
        reply = m_manager->sendCustomRequest(networkRequest, method, request.HTTPBody());
    }
    task->m_reply = reply;

    // The manager owns its replies, so a session still exists whenever they report.
    std::weak_ptr<MSHURLSession> weakSelf = weak_from_this();
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [weakSelf, task, reply] {
        if (const std::shared_ptr<MSHURLSession> self = weakSelf.lock()) {
            self->noteResponseOnQueue(task);
            self->receiveOnQueue(task, reply->readAll());
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [weakSelf, task, reply] {
        const std::shared_ptr<MSHURLSession> self = weakSelf.lock();
        reply->deleteLater();
        if (!self) {
            task->m_reply = nullptr;
            return;
        }
        const QByteArray rest = reply->readAll();
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
            self->noteResponseOnQueue(task);
        if (!rest.isEmpty())
            self->receiveOnQueue(task, rest);
        task->m_reply = nullptr;
        MSHErrorResult error;
        if (isTransportError(reply))
            error = transportError(reply);
        self->completeOnQueue(task, error);
    });
    if (pinner)
        pinner->handleChallenge(reply);
}

void MSHURLSession::noteResponseOnQueue(const MSHURLSessionTaskPtr &task)
{
    {
        QMutexLocker lock(&task->m_mutex);
        if (task->m_hasResponse || !task->m_reply)
            return;
        task->m_response = responseOf(task->m_reply);
        task->m_hasResponse = true;
    }
    if (!task->m_invokesDelegate)
        return;
    const MSHHTTPURLResponse response = task->response();
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_delegateQueue->async([self, task, response] {
        if (const std::shared_ptr<MSHURLSessionDelegate> delegate = self->m_delegate.lock())
            delegate->URLSessionDataTaskDidReceiveResponse(*self, task, response);
    });
}

void MSHURLSession::receiveOnQueue(const MSHURLSessionTaskPtr &task, const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    task->m_received += chunk.size();
    if (task->m_received > MSHURLSessionMaximumResponseSize) {
        // Stopped as soon as the answer grows past the cap, before it fills the disk or memory.
        const MSHError error{sessionErrorDomain,
                             3,
                             {},
                             QStringLiteral("The answer is larger than %1 bytes")
                                 .arg(MSHURLSessionMaximumResponseSize)};
        if (task->m_file)
            task->m_file->close();
        task->m_data.clear();
        QMutexLocker lock(&task->m_mutex);
        if (!task->m_error)
            task->m_error = error;
        lock.unlock();
        if (task->m_reply)
            task->m_reply->abort();
        return;
    }
    if (task->kind() == MSHURLSessionTask::Kind::Download) {
        if (task->m_file && task->m_file->isOpen() && task->m_file->write(chunk) != chunk.size()) {
            const MSHError error{downloadErrorDomain, -1, {}, task->m_file->errorString()};
            task->m_file->close();
            QMutexLocker lock(&task->m_mutex);
            if (!task->m_error)
                task->m_error = error;
            lock.unlock();
            if (task->m_reply)
                task->m_reply->abort();
        }
        return;
    }
    task->m_data += chunk;
    if (!task->m_invokesDelegate)
        return;
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_delegateQueue->async([self, task, chunk] {
        if (const std::shared_ptr<MSHURLSessionDelegate> delegate = self->m_delegate.lock())
            delegate->URLSessionDataTaskDidReceiveData(*self, task, chunk);
    });
}

void MSHURLSession::completeOnQueue(const MSHURLSessionTaskPtr &task, MSHErrorResult error)
{
    {
        QMutexLocker lock(&task->m_mutex);
        if (task->m_completed)
            return;
        task->m_completed = true;
        // A failure recorded earlier (a download file that refused a write) wins.
        if (!task->m_error)
            task->m_error = std::move(error);
    }
    if (task->m_file) {
        task->m_file->close();
        delete task->m_file;
        task->m_file = nullptr;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_running.remove(task->taskIdentifier());
    }
    if (task->m_directHandler) {
        auto handler = std::move(task->m_directHandler);
        task->m_directHandler = nullptr;
        handler(task->m_data, task->response(), task->error());
        return;
    }
    std::shared_ptr<MSHURLSession> self = shared_from_this();
    m_delegateQueue->async([self, task] { self->deliverCompletion(task); });
}

void MSHURLSession::deliverCompletion(const MSHURLSessionTaskPtr &task)
{
    const MSHHTTPURLResponse response = task->response();
    const MSHErrorResult error = task->error();
    const std::shared_ptr<MSHURLSessionDelegate> delegate =
        task->m_invokesDelegate ? m_delegate.lock() : nullptr;
    if (task->kind() == MSHURLSessionTask::Kind::Download) {
        auto *download = static_cast<MSHURLSessionDownloadTask *>(task.get());
        if (download->m_downloadCompletion)
            download->m_downloadCompletion(download->targetPath(), response, error);
        if (delegate && !error)
            delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(*this, task,
                                                                      download->targetPath());
        // Whatever the outcome, the temporary file does not outlive its task.
        download->cleanup();
    } else {
        auto *dataTask = static_cast<MSHURLSessionDataTask *>(task.get());
        if (dataTask->m_completion)
            dataTask->m_completion(task->m_data, response, error);
    }
    if (delegate)
        delegate->URLSessionTaskDidCompleteWithError(*this, task, error);
}

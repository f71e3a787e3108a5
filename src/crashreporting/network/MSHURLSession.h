#pragma once
// The component's HTTP session: data, upload (a file streamed as the body) and download (into a
// temporary file) tasks over a QNetworkAccessManager that lives on the session's own queue thread
// ("com.mishap.URLSession"). A task made with a completion block reports there and never to the
// session's delegate; the others report to the delegate. Blocks and delegate calls run on the
// delegate queue. There are no background sessions here: nothing carries an upload on once the
// process has ended, so a background configuration is null. No redirect is followed: a 3xx
// answer completes the task as it is.

#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHURLRequest.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <functional>
#include <memory>

class KTBCertificatePinner;
class MSHDispatchQueue;
class MSHURLSession;
class MSHURLSessionDataTask;
class MSHURLSessionDownloadTask;
class MSHURLSessionTask;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;

class MSHURLSessionConfiguration
{
public:
    static std::shared_ptr<MSHURLSessionConfiguration> defaultSessionConfiguration();
    static std::shared_ptr<MSHURLSessionConfiguration> ephemeralSessionConfiguration();
    // Always null: see above.
    static std::shared_ptr<MSHURLSessionConfiguration>
    backgroundSessionConfigurationWithIdentifier(const QString &identifier);
    static std::shared_ptr<MSHURLSessionConfiguration>
    backgroundSessionConfiguration(const QString &identifier);

    // A new configuration carrying only the additional headers.
    std::shared_ptr<MSHURLSessionConfiguration> copy() const;

    // Added to every request of the session, joined to the request's own values of that name.
    const MSHHeaderList &HTTPAdditionalHeaders() const { return m_headers; }
    void setHTTPAdditionalHeaders(const MSHHeaderList &headers) { m_headers = headers; }
    bool sessionSendsLaunchEvents() const { return false; }
    void setSessionSendsLaunchEvents(bool) {}

private:
    MSHHeaderList m_headers;
};

using MSHURLSessionTaskPtr = std::shared_ptr<MSHURLSessionTask>;

// What a session tells the object it was made for. Every call has a default doing nothing.
class MSHURLSessionDelegate
{
public:
    virtual ~MSHURLSessionDelegate() = default;
    virtual void URLSessionDataTaskDidReceiveResponse(MSHURLSession &session,
                                                      const MSHURLSessionTaskPtr &task,
                                                      const MSHHTTPURLResponse &response);
    virtual void URLSessionDataTaskDidReceiveData(MSHURLSession &session,
                                                  const MSHURLSessionTaskPtr &task,
                                                  const QByteArray &data);
    // The file is deleted when this returns.
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(MSHURLSession &session,
                                                                 const MSHURLSessionTaskPtr &task,
                                                                 const QString &path);
    virtual void URLSessionTaskDidCompleteWithError(MSHURLSession &session,
                                                    const MSHURLSessionTaskPtr &task,
                                                    const MSHErrorResult &error);
    // Server trust of an HTTPS task, asked on the session's queue before it connects: the pinner
    // that decides, or none for the default checks against the system's certificates.
    virtual std::shared_ptr<const KTBCertificatePinner>
    URLSessionDidReceiveChallenge(MSHURLSession &session, const MSHURLSessionTaskPtr &task);
};

class MSHURLSessionTask : public std::enable_shared_from_this<MSHURLSessionTask>
{
public:
    enum class Kind { Data, Upload, Download };
    virtual ~MSHURLSessionTask();
    MSHURLSessionTask(const MSHURLSessionTask &) = delete;
    MSHURLSessionTask &operator=(const MSHURLSessionTask &) = delete;

    Kind kind() const { return m_kind; }
    quint64 taskIdentifier() const { return m_identifier; }
    // The request as sent: the caller's with the session's additional headers.
    const MSHURLRequest &originalRequest() const { return m_request; }
    const MSHURLRequest &currentRequest() const { return m_request; }
    MSHHTTPURLResponse response() const;
    MSHErrorResult error() const;
    QString taskDescription() const;
    void setTaskDescription(const QString &description);
    bool invokesDelegate() const { return m_invokesDelegate; }
    bool isCompleted() const;

    // Starts the task once; later calls do nothing.
    void resume();
    // Ends a running task with a cancellation error (or one not yet started, at once).
    void cancel();

protected:
    MSHURLSessionTask(Kind kind, const MSHURLRequest &request);

private:
    friend class MSHURLSession;

    const Kind m_kind;
    const quint64 m_identifier;
    MSHURLRequest m_request;
    bool m_invokesDelegate = true;
    std::weak_ptr<MSHURLSession> m_session;
    mutable QMutex m_mutex;
    QString m_description;
    MSHHTTPURLResponse m_response;
    bool m_hasResponse = false;
    MSHErrorResult m_error;
    bool m_resumed = false;
    bool m_completed = false;
    bool m_cancelRequested = false;
    // Session queue only.
    QNetworkReply *m_reply = nullptr;
    QByteArray m_data;
    QFile *m_file = nullptr;
    qint64 m_received = 0;
    // Synchronous sends complete on the session's queue, not on the delegate queue.
    std::function<void(const QByteArray &, const MSHHTTPURLResponse &, const MSHErrorResult &)>
        m_directHandler;
};

class MSHURLSessionDataTask : public MSHURLSessionTask
{
public:
    using CompletionHandler = std::function<void(
        const QByteArray &data, const MSHHTTPURLResponse &response, const MSHErrorResult &error)>;
    explicit MSHURLSessionDataTask(const MSHURLRequest &request)
        : MSHURLSessionDataTask(Kind::Data, request)
    {
    }
    CompletionHandler completionHandler() const { return m_completion; }

protected:
    MSHURLSessionDataTask(Kind kind, const MSHURLRequest &request)
        : MSHURLSessionTask(kind, request)
    {
    }

private:
    friend class MSHURLSession;
    CompletionHandler m_completion;
};

class MSHURLSessionUploadTask final : public MSHURLSessionDataTask
{
public:
    explicit MSHURLSessionUploadTask(const MSHURLRequest &request)
        : MSHURLSessionDataTask(Kind::Upload, request)
    {
    }
};

class MSHURLSessionDownloadTask final : public MSHURLSessionDataTask
{
public:
    using DownloadCompletionHandler = std::function<void(
        const QString &path, const MSHHTTPURLResponse &response, const MSHErrorResult &error)>;
    explicit MSHURLSessionDownloadTask(const MSHURLRequest &request);
    // A task dropped unanswered (its session ended) leaves no file either.
    ~MSHURLSessionDownloadTask() override;
    // The temporary file the body goes to.
    QString targetPath() const { return m_targetPath; }
    // Deletes the temporary file.
    void cleanup();

private:
    friend class MSHURLSession;
    QString m_targetPath;
    DownloadCompletionHandler m_downloadCompletion;
};

// The most any answer may hold (the largest the component expects is its settings): the
// transfer is stopped there and the task fails.
inline constexpr qint64 MSHURLSessionMaximumResponseSize = 8 * 1024 * 1024;

class MSHURLSession : public std::enable_shared_from_this<MSHURLSession>
{
public:
    // Null without a configuration. Without a delegate queue the session makes its own serial one.
    // Removes download files a process that ended early left in the temporary folder (those
    // older than `minimumAgeSeconds`); done once per process when the first session is made.
    static void removeLeftoverDownloads(qint64 minimumAgeSeconds);
    static std::shared_ptr<MSHURLSession>
    sessionWithConfiguration(const std::shared_ptr<MSHURLSessionConfiguration> &configuration,
                             const std::shared_ptr<MSHURLSessionDelegate> &delegate = {},
                             const std::shared_ptr<MSHDispatchQueue> &delegateQueue = {});
    ~MSHURLSession();
    MSHURLSession(const MSHURLSession &) = delete;
    MSHURLSession &operator=(const MSHURLSession &) = delete;

    std::shared_ptr<MSHURLSessionConfiguration> configuration() const { return m_configuration; }
    std::shared_ptr<MSHURLSessionDelegate> delegate() const { return m_delegate.lock(); }
    const std::shared_ptr<MSHDispatchQueue> &delegateQueue() const { return m_delegateQueue; }
    QString sessionDescription() const;
    void setSessionDescription(const QString &description);

    // Each returns the new task, not yet resumed.
    std::shared_ptr<MSHURLSessionDataTask>
    dataTaskWithRequest(const MSHURLRequest &request,
                        MSHURLSessionDataTask::CompletionHandler completion = {});
    std::shared_ptr<MSHURLSessionUploadTask>
    uploadTaskWithRequest(const MSHURLRequest &request, const QString &filePath,
                          MSHURLSessionDataTask::CompletionHandler completion = {});
    std::shared_ptr<MSHURLSessionDownloadTask>
    downloadTaskWithRequest(const MSHURLRequest &request,
                            MSHURLSessionDownloadTask::DownloadCompletionHandler completion = {});
    std::shared_ptr<MSHURLSessionDownloadTask> downloadTaskWithURL(const QUrl &url);

    // On the delegate queue: the tasks resumed and not yet completed, by kind.
    void getTasksWithCompletionHandler(
        std::function<void(const QList<MSHURLSessionTaskPtr> &dataTasks,
                           const QList<MSHURLSessionTaskPtr> &uploadTasks,
                           const QList<MSHURLSessionTaskPtr> &downloadTasks)>
            handler);

    // Sends the request and waits for the answer: the request's timeout bounds the whole wait
    // (not only a stall), after which the task is cancelled. Must not be called on the session's
    // own queue.
    QByteArray sendSynchronousRequest(const MSHURLRequest &request, MSHHTTPURLResponse *response,
                                      MSHErrorResult *error);

private:
    MSHURLSession(std::shared_ptr<MSHURLSessionConfiguration> configuration,
                  std::weak_ptr<MSHURLSessionDelegate> delegate,
                  std::shared_ptr<MSHDispatchQueue> delegateQueue);
    void configureTask(const MSHURLSessionTaskPtr &task);
    void resumeTask(const MSHURLSessionTaskPtr &task);
    void cancelTask(const MSHURLSessionTaskPtr &task);
    // Session queue only.
    void startOnQueue(const MSHURLSessionTaskPtr &task);
    void receiveOnQueue(const MSHURLSessionTaskPtr &task, const QByteArray &chunk);
    void noteResponseOnQueue(const MSHURLSessionTaskPtr &task);
    void completeOnQueue(const MSHURLSessionTaskPtr &task, MSHErrorResult error);
    void deliverCompletion(const MSHURLSessionTaskPtr &task);

    friend class MSHURLSessionTask;

    std::shared_ptr<MSHURLSessionConfiguration> m_configuration;
    std::weak_ptr<MSHURLSessionDelegate> m_delegate;
    std::shared_ptr<MSHDispatchQueue> m_delegateQueue;
    std::shared_ptr<MSHDispatchQueue> m_queue;
    QNetworkAccessManager *m_manager = nullptr;
    // Session queue only: the trust the manager's open connections were made with.
    bool m_trustDecided = false;
    std::shared_ptr<const KTBCertificatePinner> m_lastPinner;
    mutable QMutex m_mutex;
    QString m_description;
    QHash<quint64, MSHURLSessionTaskPtr> m_running;
};

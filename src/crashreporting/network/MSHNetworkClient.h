#pragma once
// Uploads packaged crash reports (files under the reports folder) to the reports endpoint. An
// urgent upload is sent at once and the caller waits for the answer (within the request's
// timeout); any other is an upload task labelled with the file's path relative to the reports
// folder, so a second start of the same report while the first runs is skipped. A retryable
// failure restarts the upload after the server's delay, at most ten times; the result goes to
// the delegate, identified by the file's absolute path.

#include "crashreporting/network/MSHURLSession.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QSslCertificate>

#include <functional>
#include <memory>

class KTBCertificatePinner;
class MSHDispatchQueue;
class MSHFileManager;
class MSHNetworkClient;

class MSHNetworkClientDelegate
{
public:
    virtual ~MSHNetworkClientDelegate() = default;
    virtual bool networkClientCanUseBackgroundSessions(MSHNetworkClient &client) = 0;
    // The upload of the file ended: no error on success. Called on the client's operation queue.
    virtual void networkClient(MSHNetworkClient &client, const QString &path,
                               const MSHErrorResult &error);
};

class MSHNetworkClient final : public MSHURLSessionDelegate,
                               public std::enable_shared_from_this<MSHNetworkClient>
{
public:
    static const QString errorDomain;
    static constexpr int maximumRestarts = 10;

    // The program's pinned set unless the caller hands in its own. The operation queue should
    // come from MSHMakeSharedQueue(): the client may be let go on it.
    static std::shared_ptr<MSHNetworkClient>
    create(const std::shared_ptr<MSHDispatchQueue> &operationQueue,
           const std::shared_ptr<MSHFileManager> &fileManager,
           const std::weak_ptr<MSHNetworkClientDelegate> &delegate);
    static std::shared_ptr<MSHNetworkClient>
    create(const std::shared_ptr<MSHDispatchQueue> &operationQueue,
           const std::shared_ptr<MSHFileManager> &fileManager,
           const std::weak_ptr<MSHNetworkClientDelegate> &delegate,
           const QList<QSslCertificate> &pinnedCertificates);

    const std::shared_ptr<MSHDispatchQueue> &operationQueue() const { return m_queue; }
    const std::shared_ptr<const KTBCertificatePinner> &certPinner() const { return m_pinner; }
    bool canUseBackgroundSession() const { return m_canUseBackgroundSession; }
    // Always false: nothing carries an upload on after the process ends.
    bool supportsBackgroundRequests() const { return false; }
    // Made on first use; null (logged) when it cannot be made, tried again next time.
    std::shared_ptr<MSHURLSession> session();
    std::function<void()> backgroundCompletionHandler;

    void startUploadRequest(const MSHURLRequest &request, const QString &filePath,
                            bool immediately);
    void startImmediateUploadRequest(const MSHURLRequest &request, const QString &filePath);
    void startNewUploadRequest(const MSHURLRequest &request, const QString &filePath);
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);

    QString rootPath() const;
    QString absolutePathForRelativeTaskPath(const QString &relativePath) const;
    // Empty (and logged to "sdk.log") for a path outside the reports folder.
    QString relativeTaskPathForAbsolutePath(const QString &absolutePath) const;

    // On the operation queue: whether a running task carries the description.
    void checkForExistingTaskMatchingDescription(const QString &description,
                                                 std::function<void(bool)> block);
    static bool taskArrayHasTaskMatchingDescription(const QList<MSHURLSessionTaskPtr> &tasks,
                                                    const QString &description);

    void URLSessionTaskDidCompleteWithError(MSHURLSession &session,
                                            const MSHURLSessionTaskPtr &task,
                                            const MSHErrorResult &error) override;
    std::shared_ptr<const KTBCertificatePinner>
    URLSessionDidReceiveChallenge(MSHURLSession &session,
                                  const MSHURLSessionTaskPtr &task) override;

private:
    MSHNetworkClient() = default;
    void startNewUploadRequest(const MSHURLRequest &request, const QString &filePath, int restarts);
    void restartTask(const MSHURLSessionTaskPtr &task, const MSHHTTPURLResponse &response,
                     const QString &path, int restarts);
    void tellDelegate(const QString &path, const MSHErrorResult &error);

    struct Upload {
        QString path;
        int restarts = 0;
    };

    std::shared_ptr<MSHDispatchQueue> m_queue;
    std::shared_ptr<MSHFileManager> m_fileManager;
    std::weak_ptr<MSHNetworkClientDelegate> m_delegate;
    std::shared_ptr<const KTBCertificatePinner> m_pinner;
    bool m_canUseBackgroundSession = false;
    QMutex m_mutex;
    std::shared_ptr<MSHURLSession> m_session;
    QHash<quint64, Upload> m_uploads;
    // Packages with an upload running (restarts included): asked again, they are not sent twice.
    QSet<QString> m_inFlight;

    bool beginUpload(const QString &path);
    void endUpload(const QString &path);
};

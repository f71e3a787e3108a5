#pragma once
// Takes one report of an earlier process to the service: moves its folder into processing,
// symbolicates and packages it, removes the folder and uploads the package with a POST through
// the network client. The package is deleted once the service confirms it; a failed one stays
// in prepared for the owner's retry. Urgent reports are uploaded synchronously.

#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHURLRequest.h"
#include "crashreporting/settings/MSHSettings.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QString>

#include <memory>

class MSHDispatchQueue;
class MSHFileManager;
class MSHInternalReport;
class MSHNetworkClient;
class MSHReportsController;

class MSHReportsControllerDelegate
{
public:
    virtual ~MSHReportsControllerDelegate() = default;
    // The upload of the package ended; no error on success (the package is already gone then).
    virtual void reportsController(MSHReportsController &controller, const QString &packagePath,
                                   const MSHErrorResult &error) = 0;
    virtual void reportsControllerDidCompleteAllSubmissions(MSHReportsController &controller) = 0;
    virtual MSHSettings settingsForReportsController(MSHReportsController &controller) = 0;
    virtual QString APIKeyForReportsController(MSHReportsController &controller) = 0;
    virtual QString bundleIdentifierForReportsController(MSHReportsController &controller) = 0;
};

class MSHReportsController : public std::enable_shared_from_this<MSHReportsController>
{
public:
    MSHReportsController(std::shared_ptr<MSHDispatchQueue> queue,
                         std::weak_ptr<MSHReportsControllerDelegate> delegate,
                         std::shared_ptr<MSHNetworkClient> client,
                         std::shared_ptr<MSHFileManager> fileManager);

    const std::shared_ptr<MSHDispatchQueue> &operationQueue() const { return m_queue; }
    const std::shared_ptr<MSHNetworkClient> &networkClient() const { return m_client; }

    MSHSettings settings() const;
    QString APIKey() const;
    QString appBundleIdentifier() const;
    static QString reportEndpoint();
    QUrl reportURL() const;
    static bool submissionEnabled();
    static bool packagingEnabled();
    static QString localeIdentifier();

    // The request with the cache policy and the common headers (everything but the body's).
    MSHURLRequest mutableRequestWithURL(const QUrl &url, double timeout) const;
    // The same for any caller of the crash kit's service (the beta update check too).
    static MSHURLRequest requestWithURL(const QUrl &url, double timeout, const QByteArray &APIKey);
    // Content-Type (the package's name is its boundary) and Content-Length.
    bool fillInRequest(MSHURLRequest &request, const QString &packagePath) const;

    // Answers whether an upload was started. An urgent report is handled on the work queue while
    // the caller waits at most until the urgent deadline (processing and packaging included);
    // what is left then goes on there in the background, and the answer is false.
    bool prepareAndSubmitReport(const std::shared_ptr<MSHInternalReport> &report, bool urgent,
                                bool withProcessing);
    bool uploadPackagedReportAtPath(const QString &packagePath, bool urgent);
    // Whether the file is a package as this component writes them: its name, a regular file with
    // no second name (a hard link would send another file's bytes), no larger than any package.
    // Anything else there is removed unread (only its status is looked at) and logged.
    static bool isSendablePackage(MSHFileManager &fileManager, const QString &path);
    bool submitPackageMultipartMimeAtPath(const QString &packagePath, bool synchronously);
    bool cleanUpSubmittedReportAtPath(const QString &packagePath);
    // The network client's word on an upload.
    void reportUploadAtPath(const QString &packagePath, const MSHErrorResult &error);
    // Synchronous (urgent) uploads end by this time: each waits at most what is left of it, and
    // once it has passed they are started like any other.
    void setUrgentDeadline(QDeadlineTimer deadline);

private:
    QDeadlineTimer urgentDeadline() const;
    bool prepareAndSubmit(const std::shared_ptr<MSHInternalReport> &report, bool urgent,
                          bool withProcessing, QDeadlineTimer deadline);
    bool uploadPackagedReport(const QString &packagePath, bool urgent, QDeadlineTimer deadline);
    bool submitPackage(const QString &packagePath, bool synchronously, QDeadlineTimer deadline);

    mutable QMutex m_deadlineMutex;
    QDeadlineTimer m_urgentDeadline{QDeadlineTimer::Forever};
    std::shared_ptr<MSHDispatchQueue> m_queue;
    std::weak_ptr<MSHReportsControllerDelegate> m_delegate;
    std::shared_ptr<MSHNetworkClient> m_client;
    std::shared_ptr<MSHFileManager> m_fileManager;
};

#include "crashreporting/reports/MSHReportsController.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/common/MSHStepObserver.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/network/KTBNetworkOperation.h"
#include "crashreporting/network/MSHNetworkClient.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHPackageReportOperation.h"
#include "crashreporting/reports/MSHProcessReportOperation.h"
#include "crashreporting/reports/MSHSymbolResolver.h"
#include "crashreporting/settings/KTBURLBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSemaphore>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char *const logPrefix = "[Mishap:Crash:Reports]";

void debugLog(const QString &message)
{
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
}

} // namespace

MSHReportsController::MSHReportsController(std::shared_ptr<MSHDispatchQueue> queue,
                                           std::weak_ptr<MSHReportsControllerDelegate> delegate,
                                           std::shared_ptr<MSHNetworkClient> client,
                                           std::shared_ptr<MSHFileManager> fileManager)
    : m_queue(std::move(queue)), m_delegate(std::move(delegate)), m_client(std::move(client)),
      m_fileManager(std::move(fileManager))
{
}

MSHSettings MSHReportsController::settings() const
{
    if (const auto delegate = m_delegate.lock())
        return delegate->settingsForReportsController(const_cast<MSHReportsController &>(*this));
    return MSHSettings(QVariantMap());
}

QString MSHReportsController::APIKey() const
{
    if (const auto delegate = m_delegate.lock())
        return delegate->APIKeyForReportsController(const_cast<MSHReportsController &>(*this));
    return {};
}

QString MSHReportsController::appBundleIdentifier() const
{
    if (const auto delegate = m_delegate.lock())
        return delegate->bundleIdentifierForReportsController(
            const_cast<MSHReportsController &>(*this));
    return {};
}

QString MSHReportsController::reportEndpoint()
{
    return MSHSettings::reportsEndpoint();
}

QUrl MSHReportsController::reportURL() const
{
    KTBURLBuilder builder = KTBURLBuilder::URLWithBase(reportEndpoint());
    builder.appendComponent(QStringLiteral("/sdk-api/v1/platforms/"));
    builder.appendComponent(QStringLiteral("linux"));
    builder.appendComponent(QStringLiteral("/apps/"));
    builder.appendComponent(appBundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_')));
    builder.appendComponent(QStringLiteral("/reports"));
    return builder.URL();
}

bool MSHReportsController::submissionEnabled()
{
    return MSHSettings::shouldSubmitReports();
}

bool MSHReportsController::packagingEnabled()
{
    return MSHSettings::shouldPackageReports();
}

QString MSHReportsController::localeIdentifier()
{
    return QLocale().name();
}

MSHURLRequest MSHReportsController::mutableRequestWithURL(const QUrl &url, double timeout) const
{
    return requestWithURL(url, timeout, APIKey().toUtf8());
}

MSHURLRequest MSHReportsController::requestWithURL(const QUrl &url, double timeout,
                                                   const QByteArray &APIKey)
{
    MSHURLRequest request(url, timeout);
    const QByteArray locale = localeIdentifier().toUtf8();
    request.setValue("Mishap Mac SDK/3.0.10", "User-Agent");
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(KTBNetworkOperation::developerToken, "X-Mishap-Developer-Token");
    // The crash kit's own identity, not the kit host's.
    request.setValue("com.mishap.mac", "X-Mishap-API-Client-Id");
    request.setValue("3.0.10", "X-Mishap-API-Client-Display-Version");
    request.setValue("56", "X-Mishap-API-Client-Build-Version");
    request.setValue(APIKey, "X-Mishap-API-Key");
    return request;
}

bool MSHReportsController::fillInRequest(MSHURLRequest &request, const QString &packagePath) const
{
    const QFileInfo info(packagePath);
    // A claimed package is measured on the claim's own descriptor, and the upload must open that
    // very file: one renamed over its name in between is never sent.
    const std::optional<struct stat> claimed = m_fileManager->claimedStatus(packagePath);
    if (!info.isFile() || info.isSymLink() || (claimed && !S_ISREG(claimed->st_mode))) {
        MSHLog(logPrefix, QStringLiteral("Could not determine size of multipart mime file"));
        return false;
    }
    const qint64 size = claimed ? qint64(claimed->st_size) : info.size();
    if (size > MSHPackageReportOperation::maximumPackageSize) {
        MSHLog(logPrefix, QStringLiteral("Not sending %1: larger than any package (%2 bytes)")
                              .arg(packagePath)
                              .arg(size));
        return false;
    }
    if (claimed)
        request.setHTTPBodyFileIdentity({quint64(claimed->st_dev), quint64(claimed->st_ino)});
    // The package's name is its boundary, so a package found at a later launch needs nothing else.
    request.setValue(KTBMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(
                         info.completeBaseName())
                         .toUtf8(),
                     "Content-Type");
    request.setValue(QByteArray::number(size), "Content-Length");
    return true;
}

void MSHReportsController::setUrgentDeadline(QDeadlineTimer deadline)
{
    QMutexLocker lock(&m_deadlineMutex);
    m_urgentDeadline = deadline;
}

QDeadlineTimer MSHReportsController::urgentDeadline() const
{
    QMutexLocker lock(&m_deadlineMutex);
    return m_urgentDeadline;
}

bool MSHReportsController::prepareAndSubmitReport(const std::shared_ptr<MSHInternalReport> &report,
                                                  bool urgent, bool withProcessing)
{
    const QDeadlineTimer deadline =
        urgent ? urgentDeadline() : QDeadlineTimer(QDeadlineTimer::Forever);
    if (!urgent || deadline.isForever() || m_queue->isCurrent())
        return prepareAndSubmit(report, urgent, withProcessing, deadline);
    // One deadline holds for the whole urgent treatment: a large report may take longer to
    // process and package than the start may wait, so the work runs on the work queue and the
    // caller waits for it only until the deadline.
    struct Outcome {
        QSemaphore done;
        std::atomic<bool> started{false};
    };
    auto outcome = std::make_shared<Outcome>();
    const std::shared_ptr<MSHReportsController> self = shared_from_this();
    m_queue->async([self, report, withProcessing, deadline, outcome] {
        outcome->started = self->prepareAndSubmit(report, true, withProcessing, deadline);
        outcome->done.release();
    });
    if (outcome->done.tryAcquire(1, int(std::max<qint64>(deadline.remainingTime(), 0))))
        return outcome->started.load();
    debugLog(QStringLiteral("The time for urgent reports is up; the report goes on in the "
                            "background"));
    return false;
}

bool MSHReportsController::prepareAndSubmit(const std::shared_ptr<MSHInternalReport> &report,
                                            bool urgent, bool withProcessing,
                                            QDeadlineTimer deadline)
{
    bool started = false;
    MSHApplicationPerformActivity(0, QStringLiteral("Mishap Crash Report Processing"), [&] {
        // Another instance may have found the same report: whoever claims it first takes it.
        if (!m_fileManager->claimItemAtPath(report->path())) {
            debugLog(QStringLiteral("Report %1 is taken by another process").arg(report->path()));
            return;
        }
        // The list was taken before the claim: another process may have packaged it since, and
        // recorded so where its folder took no change.
        if (m_fileManager->isSettled(report->path())) {
            debugLog(QStringLiteral("Report %1 was packaged already").arg(report->path()));
            m_fileManager->releaseClaimAtPath(report->path());
            return;
        }
        if (withProcessing) {
            const QString target =
                m_fileManager->processingPath() + QLatin1Char('/') + report->directoryName();
            if (!m_fileManager->moveItemAtPath(report->path(), m_fileManager->processingPath())) {
                const int moveError = errno;
                // A folder that cannot move (a stage that is read-only, another user's) fails so
                // at every launch: it is processed and packaged where it lies.
                MSHLog(logPrefix, QStringLiteral("Unable to move report for processing (%1); it "
                                                 "is processed where it lies")
                                      .arg(QString::fromLocal8Bit(std::strerror(moveError))));
                const QFileInfo taken(target);
                if (taken.exists() || taken.isSymLink() ||
                    !MSHFileManager::isRealDirectory(report->path()))
                    return;
            } else {
                report->setPath(target);
            }
        }
        bool processed = true;
        int processingError = 0;
        // Processed in the folder itself, reached without a link and held open: a stage swapped
        // for a link meanwhile leads none of its writes elsewhere.
        const int folder = m_fileManager->openFolder(report->path());
        if (folder < 0) {
            MSHLog(logPrefix, QStringLiteral("Refusing report folder %1: not a readable folder")
                                  .arg(report->path()));
            return;
        }
        const std::shared_ptr<int> closesFolder(new int(folder), [](const int *descriptor) {
            ::close(*descriptor);
            delete descriptor;
        });
        const auto held = std::make_shared<MSHInternalReport>(
            QStringLiteral("/proc/self/fd/%1/.").arg(folder), report->identifier());
        // A report found in processing whose processing was cut off is processed again.
        if (withProcessing || !MSHProcessReportOperation::isProcessed(*held)) {
            MSHSymbolResolver resolver;
            MSHProcessReportOperation processing(held, &resolver);
            processing.start();
            processed = processing.completed();
            processingError = processing.writeError();
            // A full disk or quota passes: the report waits in processing for a start with room
            // rather than going out without its names for good.
            if (!processed && processing.failedForRoom()) {
                MSHLog(logPrefix, QStringLiteral("No room to process report %1; it waits for a "
                                                 "later start")
                                      .arg(report->path()));
                return;
            }
        }
        if (!packagingEnabled()) {
            MSHLog(logPrefix, QStringLiteral("Report packaging disabled"));
            return;
        }
        // Any other write that failed here fails again at every launch (a folder that takes no
        // new file, a name taken): the report goes out now, with its records as they were written.
        if (!processed)
            MSHLog(logPrefix, QStringLiteral("Unable to process report %1 (%2); it is sent "
                                             "without symbolication")
                                  .arg(report->path(),
                                       processingError != 0
                                           ? QString::fromLocal8Bit(std::strerror(processingError))
                                           : QStringLiteral("its records cannot be read")));
        MSHPackageReportOperation packaging(report, m_fileManager.get());
        packaging.setLeavesOutSymbolicated(!processed);
        packaging.start();
        if (packaging.finalPath().isEmpty()) {
            MSHLog(logPrefix, QStringLiteral("Unable to package report"));
            return;
        }
        MSHReachedStep("package-named");
        // Claimed for its package when the package took its name: nothing of it is read again.
        if (!m_fileManager->removeItemAtPath(report->path()))
            MSHLog(logPrefix, QStringLiteral("Unable to remove a processing item"));
        debugLog(QStringLiteral("Packaged id %1 for submission").arg(report->identifier()));
        started = uploadPackagedReport(packaging.finalPath(), urgent, deadline);
    });
    return started;
}

bool MSHReportsController::uploadPackagedReportAtPath(const QString &packagePath, bool urgent)
{
    return uploadPackagedReport(packagePath, urgent, urgentDeadline());
}

bool MSHReportsController::uploadPackagedReport(const QString &packagePath, bool urgent,
                                                QDeadlineTimer deadline)
{
    if (!submissionEnabled()) {
        MSHLog(logPrefix, QStringLiteral("Submission disabled"));
        return false;
    }
    MSHReachedStep("package-to-send");
    // Only a package this component wrote, and one no other instance sends.
    if (!isSendablePackage(*m_fileManager, packagePath) ||
        !m_fileManager->claimItemAtPath(packagePath)) {
        debugLog(QStringLiteral("Not sending %1: not a package, or taken by another process")
                     .arg(packagePath));
        return false;
    }
    // Listed before the claim: another process may have sent it since and recorded so, where
    // prepared took no removal.
    if (m_fileManager->isSettled(packagePath)) {
        MSHLog(logPrefix, QStringLiteral("Not sending %1: it was sent already").arg(packagePath));
        m_fileManager->releaseClaimAtPath(packagePath);
        return false;
    }
    debugLog(QStringLiteral("Submitting report%1")
                 .arg(urgent ? QStringLiteral(" as urgent") : QString()));
    return submitPackage(packagePath, urgent, deadline);
}

bool MSHReportsController::isSendablePackage(MSHFileManager &fileManager, const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    QString reason;
    if (!MSHFileManager::isPackageName(QFileInfo(path).fileName()) || !S_ISREG(status.st_mode))
        reason = QStringLiteral("not a report package");
    else if (status.st_nlink != 1)
        reason = QStringLiteral("a second name of another file");
    else if (status.st_size > MSHPackageReportOperation::maximumPackageSize)
        reason = QStringLiteral("larger than any package (%1 bytes)").arg(status.st_size);
    if (reason.isEmpty())
        return true;
    MSHLog(logPrefix, QStringLiteral("Removing %1 unread: %2").arg(path, reason));
    fileManager.removeItemAtPath(path);
    return false;
}

bool MSHReportsController::submitPackageMultipartMimeAtPath(const QString &packagePath,
                                                            bool synchronously)
{
    return submitPackage(packagePath, synchronously, urgentDeadline());
}

bool MSHReportsController::submitPackage(const QString &packagePath, bool synchronously,
                                         QDeadlineTimer deadline)
{
    MSHLog(logPrefix,
           QStringLiteral("Submitting %1 %2")
               .arg(synchronously ? QStringLiteral("sync") : QStringLiteral("async"), packagePath));
    const QFileInfo info(packagePath);
    if (!info.isFile() || info.size() == 0) {
        debugLog(QStringLiteral("Already-submitted report being ignored"));
        return false;
    }
    if (synchronously && deadline.remainingTime() >= 0 && deadline.remainingTime() < 250) {
        debugLog(QStringLiteral("The time for urgent reports is up; submitting in the background"));
        synchronously = false;
    }
    double timeout = 10.0;
    if (synchronously && !m_client->supportsBackgroundRequests()) {
        timeout = 2.0;
        if (deadline.remainingTime() >= 0)
            timeout = std::min(timeout, double(deadline.remainingTime()) / 1000.0);
    }
    MSHURLRequest request = mutableRequestWithURL(reportURL(), timeout);
    request.setHTTPMethod("POST");
    if (!fillInRequest(request, packagePath))
        return false;
    MSHReachedStep("upload-requested");
    m_client->startUploadRequest(request, packagePath, synchronously);
    return true;
}

bool MSHReportsController::cleanUpSubmittedReportAtPath(const QString &packagePath)
{
    if (!m_fileManager->removeItemAtPath(packagePath)) {
        MSHLog(logPrefix, QStringLiteral("Unable to remove packaged submission"));
        // Sent: it must not go out again at every launch while it cannot be removed.
        m_fileManager->settlePackage(packagePath);
        return false;
    }
    return true;
}

void MSHReportsController::reportUploadAtPath(const QString &packagePath,
                                              const MSHErrorResult &error)
{
    debugLog(QStringLiteral("completed submission of %1").arg(packagePath));
    if (!error)
        cleanUpSubmittedReportAtPath(packagePath);
    if (const auto delegate = m_delegate.lock())
        delegate->reportsController(*this, packagePath, error);
}

#include "crashreporting/reports/MSHCrashReportingController.h"

#include "crashreporting/capture/MSHException.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHSafeUtilities.h"
#include "crashreporting/capture/MSHSignal.h"
#include "crashreporting/capture/MSHUserLogging.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"
#include "crashreporting/network/MSHSharedQueue.h"
#include "crashreporting/reports/MSHInternalReport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QTimer>
#include <QUuid>

#include <sys/stat.h>

#include <unistd.h>

namespace
{

const char *const logPrefix = "[Mishap:Crash]";

void debugLog(const QString &message)
{
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
}

QMutex promptMutex;
MSHPermissionPrompt &registeredPrompt()
{
    static MSHPermissionPrompt prompt;
    return prompt;
}

// Whether the folder of active or processing holds a report. One of ours that nobody may read is
// made readable first, so that it is sent, or removed, like any other.
bool isReportFolder(const QString &path)
{
    MSHFileManager::makeOwnFolderReadable(path);
    return MSHInternalReport(path, QString()).needsToBeSubmitted();
}

// Runs the block on the main thread's next turn; nothing without an application object.
void onMainQueue(std::function<void()> block, int delayMs = 0)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    QMetaObject::invokeMethod(
        application,
        [application, delayMs, block = std::move(block)] {
            QTimer::singleShot(delayMs, application, block);
        },
        Qt::QueuedConnection);
}

} // namespace

void MSHSetPermissionPrompt(MSHPermissionPrompt prompt)
{
    QMutexLocker lock(&promptMutex);
    registeredPrompt() = std::move(prompt);
}

MSHPermissionPrompt MSHCurrentPermissionPrompt()
{
    QMutexLocker lock(&promptMutex);
    return registeredPrompt();
}

void MSHCrashContextInstaller::install(const MSHContextInitData &data)
{
    MSHContextInitialize(&data);
}

void MSHCrashContextInstaller::checkHandlers()
{
    MSHExceptionCheckHandlers();
    MSHSignalCheckHandlers();
}

std::shared_ptr<MSHCrashReportingController> MSHCrashReportingController::initWithFileManager(
    const std::shared_ptr<MSHFileManager> &fileManager,
    const std::weak_ptr<MSHCrashReportingControllerDelegate> &delegate)
{
    std::shared_ptr<MSHCrashReportingController> controller(new MSHCrashReportingController);
    controller->m_fileManager = fileManager;
    controller->m_delegate = delegate;
    controller->m_queue = MSHMakeSharedQueue("com.mishap.mac.work-queue");
    controller->m_installer = std::make_shared<MSHCrashContextInstaller>();
    controller->m_executionIdentifier = QUuid::createUuid().toString(QUuid::Id128).toLower();
    controller->m_networkClient =
        MSHNetworkClient::create(controller->m_queue, fileManager, controller);
    return controller;
}

MSHCrashReportingController::~MSHCrashReportingController() = default;

void MSHCrashReportingController::setContextInstaller(
    std::shared_ptr<MSHCrashContextInstaller> installer)
{
    m_installer = std::move(installer);
}

std::shared_ptr<MSHReportsController> MSHCrashReportingController::reportsController()
{
    QMutexLocker lock(&m_mutex);
    if (!m_reportsController)
        m_reportsController = std::make_shared<MSHReportsController>(
            m_queue, weak_from_this(), m_networkClient, m_fileManager);
    return m_reportsController;
}

// ---- Launch

bool MSHCrashReportingController::startWithProfilingMark(uint64_t mark, const QString &betaToken)
{
    m_profilingMark = mark;
    if (!checkPreconditions())
        return false;
    if (!settings().crashReportingEnabled()) {
        MSHLog(logPrefix, QStringLiteral("Reporting is disabled"));
        m_fileManager->removeContentsOfAllPaths();
        return false;
    }
    if (!prepareForNewLaunch())
        return false;
    const bool urgent = checkForAndCreateLaunchMarker();
    // What could not be sent in earlier launches (refused, unconfigured, damaged) is kept only
    // within bounds: the rest is left out here and removed on the work queue.
    // The folder of a process that still runs (another instance on another display or session)
    // is that process's own: it is neither an earlier run's report nor removed for the bounds.
    // A folder that holds no report (a launch cut off before it wrote one) counts for nothing.
    // One of ours that nobody can read is made readable first, in active as in processing: it
    // is then sent, or removed, like any other.
    // Each judged on the folder its removal reaches, never through a link swapped in.
    const std::shared_ptr<MSHFileManager> judge = m_fileManager;
    QStringList beyond = m_fileManager->reportsBeyondBounds(
        [&judge](const QString &path) { return judge->itemSatisfies(path, isReportFolder); });
    beyond.removeIf(MSHFileManager::isReportFolderInUse);
    // What was packaged or sent already, though it could not be taken away, is left out too.
    const QSet<QString> settled = m_fileManager->settledPaths();
    const auto within = [&beyond, &settled](QStringList paths) {
        paths.removeIf(
            [&](const QString &path) { return beyond.contains(path) || settled.contains(path); });
        return paths;
    };
    QStringList earlier = within(m_fileManager->activePathContents());
    earlier.removeIf(MSHFileManager::isReportFolderInUse);
    // Taken now: the work queued below moves folders into processing and packages into
    // prepared, and those must not be handled twice.
    const QStringList processing = within(m_fileManager->processingPathContents());
    const QStringList prepared =
        within(m_fileManager->preparedPathContents() + m_fileManager->outgoingPathContents());

    std::shared_ptr<MSHInternalReport> report = setupCurrentReport();
    if (!report)
        MSHLog(logPrefix, QStringLiteral("Unable to setup a new report"));
    else if (!startCrashReporterWithAPIKey(APIKey(), betaToken, report)) {
        MSHLog(logPrefix, QStringLiteral("Unable to start crash reporter"));
        report.reset();
    }

    processExistingReportPaths(earlier, urgent);
    // What is only removed, however large, waits until the urgent reports went out.
    const std::shared_ptr<MSHFileManager> files = m_fileManager;
    m_queue->async([files, beyond] {
        for (const QString &path : beyond)
            files->removeItemAtPath(path);
        files->removeLeftovers();
    });
    handleExistingFilesInProcessing(processing);
    handleExistingFilesInPrepared(prepared);
    // Reports in folders set aside are taken off this thread, after the lists above were made
    // (none is handled twice), and handled as those of an earlier launch once they are in.
    const std::weak_ptr<MSHCrashReportingController> weak = weak_from_this();
    m_queue->async([weak, files] {
        const MSHFileManager::TakenReports taken = files->takeReportsSetAside();
        const auto self = weak.lock();
        if (!self)
            return;
        self->processExistingReportPaths(taken.active, false);
        self->handleExistingFilesInProcessing(taken.processing);
        self->handleExistingFilesInPrepared(taken.prepared);
    });

    if (report) {
        MSHUserLoggingWriteInternalKeyValue(
            QStringLiteral("com.mishap.kit-start-time"),
            QString::number(qint64(MSHProfileMillisecondsSinceMark(mark))));
    }
    return report != nullptr;
}

bool MSHCrashReportingController::checkPreconditions() const
{
    if (bundleIdentifier().isEmpty()) {
        MSHLog(
            "[Mishap]",
            QStringLiteral("An application must have a valid bundle idenifier in its Info.plist"));
        return false;
    }
    return true;
}

QString MSHCrashReportingController::bundleIdentifier()
{
    return MSHApplicationInfo::bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString MSHCrashReportingController::APIKey()
{
    const auto owner = delegate();
    return owner ? owner->APIKeyForCrashReportingController(*this) : QString();
}

QString MSHCrashReportingController::installIdentifier()
{
    const auto owner = delegate();
    return owner ? owner->installIDForCrashReportingController(*this) : QString();
}

bool MSHCrashReportingController::firstInstall()
{
    const auto owner = delegate();
    return owner && owner->isFirstInstallForCrashReportingController(*this);
}

MSHSettings MSHCrashReportingController::settings()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_settings)
            return *m_settings;
    }
    const auto owner = delegate();
    MSHSettings found =
        owner ? owner->settingsForCrashReportingController(*this) : MSHSettings(QVariantMap());
    QMutexLocker lock(&m_mutex);
    if (!m_settings)
        m_settings = found;
    return *m_settings;
}

uint32_t MSHCrashReportingController::machExceptionMask()
{
    const auto owner = delegate();
    if (!owner)
        return 0;
    uint32_t mask = 0;
    MSHSignalEnumerateHandledSignals([&](size_t, int signal) {
        if (owner->reportingControllerEnsureDeliveryOfUnixSignal(*this, signal))
            mask |= MSHMachExceptionMaskForSignal(signal);
    });
    return mask;
}

bool MSHCrashReportingController::prepareForNewLaunch()
{
    const std::shared_ptr<MSHFileManager> files = m_fileManager;
    m_queue->async([files] { files->removeLegacyDirectories(); });
    // Its leftovers are removed once the reports of the last launch are on their way.
    return m_fileManager->prepareForNewLaunch();
}

std::shared_ptr<MSHInternalReport> MSHCrashReportingController::setupCurrentReport()
{
    createLaunchFailureMarker();
    const QString path = m_fileManager->setupNewPathForExecutionIdentifier(m_executionIdentifier);
    if (path.isEmpty())
        return nullptr;
    return std::make_shared<MSHInternalReport>(path, m_executionIdentifier);
}

bool MSHCrashReportingController::startCrashReporterWithAPIKey(
    const QString &apiKey, const QString &betaToken,
    const std::shared_ptr<MSHInternalReport> &report)
{
    m_apiKey = apiKey.toUtf8();
    m_reportPath = report->path().toUtf8();
    m_sessionID = report->identifier().toUtf8();
    m_installID = installIdentifier().toUtf8();
    m_betaToken = betaToken.toUtf8();

    const MSHSettings current = settings();
    const auto owner = delegate();
    MSHContextInitData data;
    data.apiKey = m_apiKey.constData();
    data.firstInstall = firstInstall();
    data.crashCallback = owner && owner->shouldInstallCrashCallback() ? this : nullptr;
    data.reportPath = m_reportPath.constData();
    data.sessionID = m_sessionID.constData();
    data.installID = m_installID.constData();
    data.betaToken = betaToken.isEmpty() ? nullptr : m_betaToken.constData();
    data.machExceptionExclusions = machExceptionMask();
    data.errorReportingEnabled = current.errorReportingEnabled();
    data.customExceptionsEnabled = current.customExceptionsEnabled();
    data.maxCustomExceptions = current.maxCustomExceptions();
    data.errorLogBufferSize = current.errorLogBufferSize();
    data.logBufferSize = current.logBufferSize();
    data.maxCustomKeys = current.maxCustomKeys();
    installCrashReportingHandlers(data);
    crashReportingSetupCompleted();
    return true;
}

void MSHCrashReportingController::installCrashReportingHandlers(const MSHContextInitData &data)
{
    if (m_installer)
        m_installer->install(data);
    setupStateNotifications();
}

void MSHCrashReportingController::setupStateNotifications()
{
    const QString key = QStringLiteral("com.mishap.in-background");
    MSHUserLoggingWriteInternalKeyValue(key, QStringLiteral("0"));
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!application)
        return;
    QObject::connect(application, &QGuiApplication::applicationStateChanged, application,
                     [key](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             MSHUserLoggingRecordInternalKeyValue(key, QStringLiteral("0"));
                         else if (state == Qt::ApplicationInactive)
                             MSHUserLoggingRecordInternalKeyValue(key, QStringLiteral("1"));
                     });
}

void MSHCrashReportingController::crashReportingSetupCompleted()
{
    const std::weak_ptr<MSHCrashReportingController> weak = weak_from_this();
    onMainQueue(
        [weak] {
            if (const auto self = weak.lock()) {
                if (self->m_installer)
                    self->m_installer->checkHandlers();
                self->checkForUserPromptSetting();
            }
        },
        2000);
    // The first main-loop turn: this launch got through its start.
    onMainQueue([weak] {
        if (const auto self = weak.lock())
            self->removeLaunchFailureMarker();
        MSHUserLoggingWriteInternalKeyValue(
            QStringLiteral("com.mishap.first-run-loop-time"),
            QString::number(qint64(MSHProfileMillisecondsSinceStart())));
    });
}

void MSHCrashReportingController::checkForUserPromptSetting()
{
    if (settings().userPromptEnabled() && !delegateNeedsToBeInformedOfReports()) {
        MSHLog(logPrefix,
               QStringLiteral("WARNING: the user prompt feature is enabled. As of Mishap 3.0.0, "
                              "implementing a user prompt is the application's responsibility. "
                              "See Mishap.h's notes about "
                              "-mishapDidDetectReportForLastExecution:completionHandler:"));
    }
}

// ---- Launch marker

QString MSHCrashReportingController::launchFailureMarkerPath() const
{
    return m_fileManager->structurePath() + QStringLiteral("/launchmarker");
}

bool MSHCrashReportingController::createLaunchFailureMarker()
{
    // Never opened for writing when it is there: a link or a second name of another file in its
    // place would have that file cut to nothing.
    return m_fileManager->createMarkerFileInTree(launchFailureMarkerPath());
}

bool MSHCrashReportingController::launchFailureMarkerPresent() const
{
    struct stat status {
    };
    return m_fileManager->entryStatus(launchFailureMarkerPath(), status);
}

bool MSHCrashReportingController::removeLaunchFailureMarker()
{
    return launchFailureMarkerPresent() &&
           m_fileManager->removeItemAtPath(launchFailureMarkerPath());
}

bool MSHCrashReportingController::checkForAndCreateLaunchMarker()
{
    if (launchFailureMarkerPresent()) {
        debugLog(QStringLiteral("Last launch failed"));
        return true;
    }
    createLaunchFailureMarker();
    return false;
}

// ---- Reports of earlier processes

void MSHCrashReportingController::processExistingReportPaths(const QStringList &paths, bool urgent)
{
    // Urgent reports go first, on this thread, but the window must not wait for them without
    // end: once the time is spent, the rest are handled like any other report.
    const QDeadlineTimer deadline(urgentReportsTimeLimitMs);
    if (urgent)
        reportsController()->setUrgentDeadline(deadline);
    for (const QString &path : paths)
        processExistingActiveReportPath(path, urgent && deadline.remainingTime() > 250);
    if (urgent)
        reportsController()->setUrgentDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
}

void MSHCrashReportingController::processExistingActiveReportPath(const QString &path, bool urgent)
{
    const std::shared_ptr<MSHInternalReport> report = MSHInternalReport::reportWithPath(path);
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    // Judged on the folder reached as its removal reaches it: a level swapped for a link
    // meanwhile never has a real report taken for none.
    if (!m_fileManager->itemSatisfies(path, isReportFolder)) {
        m_queue->async(
            [self, path] { self->m_fileManager->removeItemUnless(path, isReportFolder); });
        return;
    }
    const auto owner = delegate();
    if (owner)
        owner->reportingControllerInternalDidDetectReportForLastExecution(*this, report);
    if (urgent && canProcessUrgentReports()) {
        reportsController()->prepareAndSubmitReport(report, true, true);
        return;
    }
    auto completion = [self, report](bool submit) {
        self->handleDelegateCompletionForReport(report, submit);
    };
    if (owner)
        owner->reportingControllerDidDetectReportForLastExecution(*this, report, completion);
    else
        completion(true);
}

void MSHCrashReportingController::handleDelegateCompletionForReport(
    const std::shared_ptr<MSHInternalReport> &report, bool submit)
{
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    m_queue->async([self, report, submit] {
        if (!submit) {
            debugLog(QStringLiteral("Removing report at request of delegate"));
            self->removeReport(report);
        } else if (self->needsToPrompt()) {
            self->displayPermissionAlertForReport(report);
        } else {
            self->reportsController()->prepareAndSubmitReport(report, false, true);
        }
    });
}

void MSHCrashReportingController::handleContentsInOtherReportingDirectories()
{
    handleExistingFilesInProcessing(m_fileManager->processingPathContents());
    handleExistingFilesInPrepared(m_fileManager->preparedPathContents() +
                                  m_fileManager->outgoingPathContents());
}

void MSHCrashReportingController::handleExistingFilesInProcessing(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    m_queue->async([self, paths] {
        for (const QString &path : paths) {
            // A folder holding no record is never sent, nor kept to be tried again: it goes
            // unless a process holds it (a link, which none can hold, goes as a link). What is
            // judged is what is removed.
            const std::optional<bool> kept =
                self->m_fileManager->removeItemUnless(path, isReportFolder);
            if (kept == false)
                MSHLog(logPrefix, QStringLiteral("Removed %1: not a report").arg(path));
            if (kept != true)
                continue;
            self->reportsController()->prepareAndSubmitReport(
                MSHInternalReport::reportWithPath(path), false, false);
        }
    });
}

void MSHCrashReportingController::handleExistingFilesInPrepared(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    m_networkClient->attemptToReconnectBackgroundSessionWithCompletionBlock([self, paths] {
        self->m_queue->async([self, paths] {
            for (const QString &path : paths) {
                // Only the packages this component writes are sent: a link, a folder, a file of
                // another name, another file's second name or anything larger than a package
                // put there is removed unread.
                if (!MSHReportsController::isSendablePackage(*self->m_fileManager, path))
                    continue;
                self->reportsController()->uploadPackagedReportAtPath(path, false);
            }
        });
    });
}

bool MSHCrashReportingController::needsToPrompt()
{
    const int64_t choice = m_promptChoice.load();
    if (choice == Send || choice == AlwaysSend)
        return false;
    return settings().userPromptEnabled();
}

bool MSHCrashReportingController::canProcessUrgentReports()
{
    return MSHSettings::canProcessUrgentReports() && !needsToPrompt() &&
           !delegateNeedsToBeInformedOfReports();
}

bool MSHCrashReportingController::delegateNeedsToBeInformedOfReports()
{
    const auto owner = delegate();
    return owner && owner->reportingControllerMustInformDelegateOfReports(*this);
}

bool MSHCrashReportingController::packagingEnabled()
{
    return MSHSettings::shouldPackageReports();
}

bool MSHCrashReportingController::removeReport(const std::shared_ptr<MSHInternalReport> &report)
{
    return m_fileManager->removeItemAtPath(report->path());
}

// ---- The user's permission

void MSHCrashReportingController::displayPermissionAlertForReport(
    const std::shared_ptr<MSHInternalReport> &report)
{
    const MSHPermissionPrompt prompt = MSHCurrentPermissionPrompt();
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    if (!prompt || !QCoreApplication::instance()) {
        // The service wants the user asked, but the application registered no way to ask: the
        // user has not agreed, so nothing is sent (the report waits, as any unsent one does).
        debugLog(QStringLiteral("No permission prompt is registered; the report is not sent"));
        return;
    }
    const MSHSettings current = settings();
    MSHPermissionPromptTexts texts{
        current.interactivePromptTitle(), current.interactivePromptMessage(),
        current.interactivePromptCancelTitle(), current.interactivePromptSendTitle(),
        current.interactivePromptAlwaysSendTitle()};
    debugLog(QStringLiteral("Displaying permission alert"));
    onMainQueue([self, report, texts, prompt] { self->presentPrompt(report, texts, prompt); });
}

void MSHCrashReportingController::presentPrompt(const std::shared_ptr<MSHInternalReport> &report,
                                                const MSHPermissionPromptTexts &texts,
                                                const MSHPermissionPrompt &prompt)
{
    switch (m_promptChoice.load()) {
    case Declined:
        handlePromptCompleteForReport(report, false, false);
        return;
    case Send:
    case AlwaysSend:
        handlePromptCompleteForReport(report, true, false);
        return;
    default:
        break;
    }
    // One question at a time: later reports wait for the answer, which may settle them.
    if (m_promptShowing) {
        const std::weak_ptr<MSHCrashReportingController> weak = weak_from_this();
        m_waitingPrompts.append([weak, report, texts, prompt] {
            if (const auto self = weak.lock())
                self->presentPrompt(report, texts, prompt);
        });
        return;
    }
    m_promptShowing = true;
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    prompt(texts, [self, report](MSHPromptAnswer answer) {
        self->m_promptShowing = false;
        self->handlePromptCompleteForReport(report, answer != MSHPromptAnswer::Cancel,
                                            answer == MSHPromptAnswer::AlwaysSend);
        if (!self->m_waitingPrompts.isEmpty())
            self->m_waitingPrompts.takeFirst()();
    });
}

void MSHCrashReportingController::handlePromptCompleteForReport(
    const std::shared_ptr<MSHInternalReport> &report, bool submit, bool markAlwaysSubmit)
{
    // The choice counts from the moment it is made, for the reports still waiting to ask.
    if (!submit) {
        m_promptChoice.store(Declined);
    } else if (markAlwaysSubmit) {
        debugLog(QStringLiteral("should set always submit here"));
        m_promptChoice.store(AlwaysSend);
    } else if (m_promptChoice.load() != AlwaysSend) {
        m_promptChoice.store(Send);
    }
    const std::shared_ptr<MSHCrashReportingController> self = shared_from_this();
    m_queue->async([self, report, submit] {
        if (!submit) {
            debugLog(QStringLiteral("Removing report at request of user"));
            self->removeReport(report);
            return;
        }
        self->reportsController()->prepareAndSubmitReport(report, false, true);
    });
}

// ---- Crash time and network

void MSHCrashReportingController::deliverCrashDelegateCallback()
{
    if (const auto owner = delegate())
        owner->detectedCrash();
}

bool MSHCrashReportingController::networkClientCanUseBackgroundSessions(MSHNetworkClient &)
{
    const auto owner = delegate();
    return owner && owner->reportingControllerCanUseBackgroundSessions(*this);
}

void MSHCrashReportingController::networkClient(MSHNetworkClient &, const QString &path,
                                                const MSHErrorResult &error)
{
    reportsController()->reportUploadAtPath(path, error);
}

bool MSHCrashReportingController::isPermanentSubmissionFailure(const MSHError &error)
{
    return error.domain == KTBNetworkResponseHandler::errorDomain &&
           (error.code == KTBNetworkErrorCode::ClientFailure ||
            error.code == KTBNetworkErrorCode::NoServiceURL);
}

void MSHCrashReportingController::reportsController(MSHReportsController &,
                                                    const QString &packagePath,
                                                    const MSHErrorResult &error)
{
    if (!error) {
        debugLog(QStringLiteral("report submission successful"));
        return;
    }
    debugLog(QStringLiteral("report submission failed with error %1").arg(error->toString()));
    MSHSafeLog("%s: Error: failed to submit report '%s'\n", "reportsController",
               error->toString().toUtf8().constData());
    if (isPermanentSubmissionFailure(*error)) {
        MSHLog(logPrefix, QStringLiteral("The service refused the report for good; it stays in "
                                         "prepared until the next launch: %1")
                              .arg(error->toString()));
        return;
    }
    retryUploadForReportAtPath(packagePath);
}

void MSHCrashReportingController::retryUploadForReportAtPath(const QString &packagePath)
{
    const std::weak_ptr<MSHCrashReportingController> weak = weak_from_this();
    m_queue->after(m_retryInterval, [weak, packagePath] {
        const auto self = weak.lock();
        if (!self)
            return;
        debugLog(QStringLiteral("re-attempting report submission"));
        self->reportsController()->uploadPackagedReportAtPath(packagePath, false);
    });
}

void MSHCrashReportingController::reportsControllerDidCompleteAllSubmissions(MSHReportsController &)
{
    const std::weak_ptr<MSHCrashReportingController> weak = weak_from_this();
    m_queue->async([weak] {
        if (const auto self = weak.lock()) {
            QMutexLocker lock(&self->m_mutex);
            self->m_reportsController.reset();
        }
        debugLog(QStringLiteral("report submission complete"));
    });
}

MSHSettings MSHCrashReportingController::settingsForReportsController(MSHReportsController &)
{
    return settings();
}

QString MSHCrashReportingController::APIKeyForReportsController(MSHReportsController &)
{
    return APIKey();
}

QString MSHCrashReportingController::bundleIdentifierForReportsController(MSHReportsController &)
{
    return bundleIdentifier();
}

#pragma once
// The crash-reporting side of each launch: decides whether reporting is on, prepares the report
// folders, tells from the launch marker whether the previous launch died before its first
// main-loop turn, opens this process's report folder and installs the crash context, then deals
// with what earlier processes left: reports to send (urgent ones at once, on the calling thread;
// the rest on the work queue), half-processed folders and packages waiting in prepared. Failed
// uploads are tried again after the retry interval, unless the service refused them for good.

#include "crashreporting/capture/MSHContext.h"
#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/MSHNetworkClient.h"
#include "crashreporting/reports/MSHReportsController.h"
#include "crashreporting/settings/MSHSettings.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class MSHCrashReportingController;
class MSHDispatchQueue;
class MSHFileManager;
class MSHInternalReport;

// What the controller asks of its owner (the kit).
class MSHCrashReportingControllerDelegate
{
public:
    virtual ~MSHCrashReportingControllerDelegate() = default;
    virtual bool shouldInstallCrashCallback() = 0;
    virtual void detectedCrash() = 0;
    virtual bool reportingControllerCanUseBackgroundSessions(MSHCrashReportingController &) = 0;
    virtual bool reportingControllerMustInformDelegateOfReports(MSHCrashReportingController &) = 0;
    // The decision on a report of an earlier process: submit or not.
    virtual void
    reportingControllerDidDetectReportForLastExecution(MSHCrashReportingController &,
                                                       const std::shared_ptr<MSHInternalReport> &,
                                                       std::function<void(bool)> completion) = 0;
    virtual void reportingControllerInternalDidDetectReportForLastExecution(
        MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &) = 0;
    virtual bool reportingControllerEnsureDeliveryOfUnixSignal(MSHCrashReportingController &,
                                                               int signal) = 0;
    virtual QString APIKeyForCrashReportingController(MSHCrashReportingController &) = 0;
    virtual QString installIDForCrashReportingController(MSHCrashReportingController &) = 0;
    virtual bool isFirstInstallForCrashReportingController(MSHCrashReportingController &) = 0;
    virtual MSHSettings settingsForCrashReportingController(MSHCrashReportingController &) = 0;
};

// The question put to the user before a report is sent, and the answers.
struct MSHPermissionPromptTexts {
    QString title;
    QString message;
    QString cancelTitle;
    QString sendTitle;
    // Empty: no "always send" button.
    QString alwaysSendTitle;
};
enum class MSHPromptAnswer { Send, AlwaysSend, Cancel };
// Shows the prompt on the main thread and calls the completion once with the answer. The
// program registers one (a message box); without one no prompt can be shown and the report
// goes out as if the user had chosen send.
using MSHPermissionPrompt =
    std::function<void(const MSHPermissionPromptTexts &, std::function<void(MSHPromptAnswer)>)>;
void MSHSetPermissionPrompt(MSHPermissionPrompt prompt);
MSHPermissionPrompt MSHCurrentPermissionPrompt();

// Puts the crash context (and its handlers) into the process. The default one installs the real
// handlers; tests hand in one that only records what it was given.
class MSHCrashContextInstaller
{
public:
    virtual ~MSHCrashContextInstaller() = default;
    virtual void install(const MSHContextInitData &data);
    // Warns when another handler took over one of ours (two seconds after start).
    virtual void checkHandlers();
};

class MSHCrashReportingController final
    : public MSHNetworkClientDelegate,
      public MSHReportsControllerDelegate,
      public MSHCrashCallback,
      public std::enable_shared_from_this<MSHCrashReportingController>
{
public:
    enum PromptChoice : int64_t { NotAsked = 0, Declined = 1, Send = 2, AlwaysSend = 3 };
    static constexpr double defaultRetryInterval = 600.0;

    static std::shared_ptr<MSHCrashReportingController>
    initWithFileManager(const std::shared_ptr<MSHFileManager> &fileManager,
                        const std::weak_ptr<MSHCrashReportingControllerDelegate> &delegate);
    ~MSHCrashReportingController() override;

    // Before start: the context installer, the retry interval, this process's identifier.
    void setContextInstaller(std::shared_ptr<MSHCrashContextInstaller> installer);
    void setRetryInterval(double seconds) { m_retryInterval = seconds; }
    // How long a start may spend sending the reports of a launch that died early; the rest go
    // to the work queue.
    static constexpr int urgentReportsTimeLimitMs = 3000;
    double retryInterval() const { return m_retryInterval; }
    void setExecutionIdentifier(const QString &identifier) { m_executionIdentifier = identifier; }
    const QString &executionIdentifier() const { return m_executionIdentifier; }

    const std::shared_ptr<MSHFileManager> &fileManager() const { return m_fileManager; }
    const std::shared_ptr<MSHDispatchQueue> &operationQueue() const { return m_queue; }
    const std::shared_ptr<MSHNetworkClient> &networkClient() const { return m_networkClient; }
    std::shared_ptr<MSHReportsController> reportsController();
    int64_t promptChoice() const { return m_promptChoice.load(); }

    // The launch flow; true when this process has a report folder and the handlers are in.
    bool startWithProfilingMark(uint64_t mark, const QString &betaToken);

    bool checkPreconditions() const;
    static QString bundleIdentifier();
    QString APIKey();
    QString installIdentifier();
    bool firstInstall();
    MSHSettings settings();
    uint32_t machExceptionMask();

    bool prepareForNewLaunch();
    std::shared_ptr<MSHInternalReport> setupCurrentReport();
    bool startCrashReporterWithAPIKey(const QString &apiKey, const QString &betaToken,
                                      const std::shared_ptr<MSHInternalReport> &report);
    void installCrashReportingHandlers(const MSHContextInitData &data);
    void crashReportingSetupCompleted();

    QString launchFailureMarkerPath() const;
    bool createLaunchFailureMarker();
    bool launchFailureMarkerPresent() const;
    bool removeLaunchFailureMarker();
    bool checkForAndCreateLaunchMarker();

    void processExistingReportPaths(const QStringList &paths, bool urgent);
    void processExistingActiveReportPath(const QString &path, bool urgent);
    void handleContentsInOtherReportingDirectories();

    bool needsToPrompt();
    bool canProcessUrgentReports();
    bool delegateNeedsToBeInformedOfReports();
    static bool packagingEnabled();
    bool removeReport(const std::shared_ptr<MSHInternalReport> &report);
    void displayPermissionAlertForReport(const std::shared_ptr<MSHInternalReport> &report);

    // Crash time, on the terminating thread.
    void deliverCrashDelegateCallback() override;

    bool networkClientCanUseBackgroundSessions(MSHNetworkClient &client) override;
    void networkClient(MSHNetworkClient &client, const QString &path,
                       const MSHErrorResult &error) override;

    void reportsController(MSHReportsController &controller, const QString &packagePath,
                           const MSHErrorResult &error) override;
    void reportsControllerDidCompleteAllSubmissions(MSHReportsController &controller) override;
    MSHSettings settingsForReportsController(MSHReportsController &controller) override;
    QString APIKeyForReportsController(MSHReportsController &controller) override;
    QString bundleIdentifierForReportsController(MSHReportsController &controller) override;

    // A failure that cannot end otherwise within this process (a key or application the
    // service refuses, no service address): no timer, the package waits for the next launch.
    static bool isPermanentSubmissionFailure(const MSHError &error);

private:
    MSHCrashReportingController() = default;
    std::shared_ptr<MSHCrashReportingControllerDelegate> delegate() const
    {
        return m_delegate.lock();
    }
    void handleDelegateCompletionForReport(const std::shared_ptr<MSHInternalReport> &report,
                                           bool submit);
    // On the main thread.
    void presentPrompt(const std::shared_ptr<MSHInternalReport> &report,
                       const MSHPermissionPromptTexts &texts, const MSHPermissionPrompt &prompt);
    void handlePromptCompleteForReport(const std::shared_ptr<MSHInternalReport> &report,
                                       bool submit, bool markAlwaysSubmit);
    void handleExistingFilesInProcessing(const QStringList &paths);
    void handleExistingFilesInPrepared(const QStringList &paths);
    void retryUploadForReportAtPath(const QString &packagePath);
    void setupStateNotifications();
    void checkForUserPromptSetting();

    std::shared_ptr<MSHFileManager> m_fileManager;
    std::weak_ptr<MSHCrashReportingControllerDelegate> m_delegate;
    std::shared_ptr<MSHDispatchQueue> m_queue;
    std::shared_ptr<MSHNetworkClient> m_networkClient;
    std::shared_ptr<MSHCrashContextInstaller> m_installer;
    QMutex m_mutex;
    std::shared_ptr<MSHReportsController> m_reportsController;
    std::optional<MSHSettings> m_settings;
    std::atomic<int64_t> m_promptChoice{NotAsked};
    double m_retryInterval = defaultRetryInterval;
    // Main thread only: a prompt is on screen, and the reports waiting for its answer.
    bool m_promptShowing = false;
    QList<std::function<void()>> m_waitingPrompts;
    QString m_executionIdentifier;
    uint64_t m_profilingMark = 0;
    // The strings the crash context points at live as long as this controller.
    QByteArray m_apiKey;
    QByteArray m_reportPath;
    QByteArray m_sessionID;
    QByteArray m_installID;
    QByteArray m_betaToken;
};

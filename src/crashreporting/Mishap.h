#pragma once
// The crash-reporting kit: its start creates the report folders, the beta check (for builds
// signed for distribution) and the crash reporting controller, and it offers the application's
// programming interface (user identity, custom keys, logged errors, custom exceptions, test
// crashes), which forwards to the crash-time recorders. It answers the controllers' questions.
// One shared instance; the application's only call is Kitbase::with({&Mishap::sharedInstance()}).

#include "crashreporting/KTBKit.h"
#include "crashreporting/MSHBetaController.h"
#include "crashreporting/MishapDelegate.h"
#include "crashreporting/common/MSHWebViewConfiguration.h"
#include "crashreporting/reports/MSHCrashReportingController.h"

#include <QList>
#include <QMutex>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class MSHAnalyticsController;
class MSHFileManager;
class TWError;

class Mishap final : public KTBKit,
                     public MSHCrashReportingControllerDelegate,
                     public MSHBetaControllerDelegate,
                     public MSHScriptMessageHandler,
                     public std::enable_shared_from_this<Mishap>
{
public:
    static Mishap &sharedInstance();
    static std::shared_ptr<Mishap> sharedPointer();
    // A kit of its own (tests): it files its folders under the root and installs the crash
    // context through the installer.
    static std::shared_ptr<Mishap> create(const QString &rootPath = QString(),
                                          std::shared_ptr<MSHCrashContextInstaller> installer = {});

    static Mishap &startWithAPIKey(const QString &apiKey,
                                   const std::shared_ptr<MishapDelegate> &delegate = {});
    // Deprecated: they start at once, without the delay.
    static Mishap &startWithAPIKey(const QString &apiKey, double afterDelay);
    static Mishap &startWithAPIKey(const QString &apiKey,
                                   const std::shared_ptr<MishapDelegate> &delegate,
                                   double afterDelay);
    static void initializeIfNeeded();

    // KTBKit
    QString kitClassName() const override { return QStringLiteral("Mishap"); }
    void start() override;
    std::optional<QString> bundleIdentifier() const override;
    std::optional<QString> version() const override;
    static QString kitDisplayVersion() { return QStringLiteral("3.0.10"); }
    static QString kitBuildVersion() { return QStringLiteral("56"); }

    QString APIKey() const;
    QString installID() const;
    bool isFirstInstall() const;
    bool isMishapStarted() const;
    void setDebugMode(bool debug);
    bool debugMode() const;
    void setDelegate(const std::shared_ptr<MishapDelegate> &delegate);
    std::shared_ptr<MishapDelegate> delegate() const;
    const std::shared_ptr<MSHCrashReportingController> &crashReportingController() const
    {
        return m_crashReportingController;
    }
    const std::shared_ptr<MSHBetaController> &betaController() const { return m_betaController; }
    std::shared_ptr<MSHAnalyticsController> analyticsController() const;

    // A test crash (illegal instruction) and a test exception left uncaught.
    [[noreturn]] void crash();
    [[noreturn]] void throwException();

    void setUserIdentifier(const QString &identifier);
    void setUserName(const QString &name);
    void setUserEmail(const QString &email);
    void setObjectValue(const QVariant &value, const QString &key);
    void setIntValue(int value, const QString &key);
    void setBoolValue(bool value, const QString &key);
    void setFloatValue(float value, const QString &key);
    void setDevelopmentPlatformName(const QString &name);
    void setDevelopmentPlatformVersion(const QString &version);
    QString developmentPlatformName() const;
    QString developmentPlatformVersion() const;
    void recordError(const TWError &error, const QVariantMap &additionalUserInfo = {});
    void recordCustomExceptionName(const QString &name, const QString &reason,
                                   const QList<QVariantMap> &frameArray);
    void logEvent(const QString &name, const QVariantMap &attributes = {});

    // Script errors of the web view's pages become "javascript" exceptions: the kit receives the
    // messages of the handler "mishap" and adds the script that posts them.
    void monitorErrorsForWebViewConfiguration(MSHWebViewConfiguration &configuration);
    // MSHScriptMessageHandler
    void userContentControllerDidReceiveScriptMessage(MSHUserContentController &controller,
                                                      const MSHScriptMessage &message) override;

    // The kit keeps no kit information and no settings of its own: none, nothing, none.
    std::optional<QVariantMap> kitInfo() const { return std::nullopt; }
    void setKitInfo(const QVariantMap &) {}
    std::optional<QVariantMap> settingsDictionary() const { return std::nullopt; }

    // MSHCrashReportingControllerDelegate
    bool shouldInstallCrashCallback() override;
    void detectedCrash() override;
    bool reportingControllerCanUseBackgroundSessions(MSHCrashReportingController &) override;
    bool reportingControllerMustInformDelegateOfReports(MSHCrashReportingController &) override;
    void reportingControllerDidDetectReportForLastExecution(
        MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &report,
        std::function<void(bool)> completion) override;
    void reportingControllerInternalDidDetectReportForLastExecution(
        MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &report) override;
    bool reportingControllerEnsureDeliveryOfUnixSignal(MSHCrashReportingController &,
                                                       int signal) override;
    QString APIKeyForCrashReportingController(MSHCrashReportingController &) override;
    QString installIDForCrashReportingController(MSHCrashReportingController &) override;
    bool isFirstInstallForCrashReportingController(MSHCrashReportingController &) override;
    MSHSettings settingsForCrashReportingController(MSHCrashReportingController &) override;

    // MSHBetaControllerDelegate
    MSHSettings settingsForBetaController(MSHBetaController &) override;
    QString APIKeyForBetaController(MSHBetaController &) override;
    QString instanceIdentifierForBetaController(MSHBetaController &) override;

private:
    Mishap() = default;
    void warnDelegateAboutMethods();
    MSHSettings currentSettings() const;
    void startAnalytics(const QString &betaToken);

    QString m_rootPath;
    std::shared_ptr<MSHCrashContextInstaller> m_installer;
    std::once_flag m_startOnce;
    mutable QMutex m_mutex;
    std::shared_ptr<MishapDelegate> m_delegate;
    std::shared_ptr<MSHFileManager> m_fileManager;
    std::shared_ptr<MSHCrashReportingController> m_crashReportingController;
    std::shared_ptr<MSHBetaController> m_betaController;
    std::shared_ptr<MSHAnalyticsController> m_analyticsController;
};

#include "crashreporting/Mishap.h"

#include "crashreporting/Kitbase.h"
#include "crashreporting/MSHApplicationIdentity.h"
#include "crashreporting/analytics/MSHAnalyticsController.h"
#include "crashreporting/capture/MSHException.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/capture/MSHJavaScriptErrors.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/capture/MSHUserLogging.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHReport.h"
#include "crashreporting/settings/KTBSettingsOnboardingManager.h"
#include "foundation/TWError.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>

#include <cerrno>
#include <stdexcept>
#include <typeinfo>
#include <unistd.h>

namespace
{

const char *const logPrefix = "[Mishap]";

// The test exception, left uncaught so that the terminate path records it under this name.
class MishapTestException final : public std::runtime_error
{
public:
    MishapTestException()
        : std::runtime_error("This is an Objective-C exception using for testing.")
    {
    }
};

void onMainQueue(std::function<void()> block)
{
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(block), Qt::QueuedConnection);
}

} // namespace

std::shared_ptr<Mishap> Mishap::sharedPointer()
{
    // Never destroyed: crash handlers and queues may reach the kit while the process ends.
    static auto *shared = new std::shared_ptr<Mishap>(create());
    return *shared;
}

Mishap &Mishap::sharedInstance()
{
    return *sharedPointer();
}

std::shared_ptr<Mishap> Mishap::create(const QString &rootPath,
                                       std::shared_ptr<MSHCrashContextInstaller> installer)
{
    std::shared_ptr<Mishap> kit(new Mishap);
    kit->m_rootPath = rootPath;
    kit->m_installer = std::move(installer);
    return kit;
}

Mishap &Mishap::startWithAPIKey(const QString &apiKey,
                                const std::shared_ptr<MishapDelegate> &delegate)
{
    Mishap &kit = sharedInstance();
    if (delegate)
        kit.setDelegate(delegate);
    Kitbase::sharedSDK().setAPIKey(apiKey);
    Kitbase::with({&kit});
    return kit;
}

Mishap &Mishap::startWithAPIKey(const QString &apiKey, double)
{
    MSHLog(logPrefix, QStringLiteral("Warning, startWithAPIKey:afterDelay: is deprecated."));
    return startWithAPIKey(apiKey);
}

Mishap &Mishap::startWithAPIKey(const QString &apiKey,
                                const std::shared_ptr<MishapDelegate> &delegate, double)
{
    MSHLog(logPrefix,
           QStringLiteral("Warning, startWithAPIKey:delegate:afterDelay: is deprecated."));
    return startWithAPIKey(apiKey, delegate);
}

void Mishap::initializeIfNeeded()
{
    sharedInstance().start();
}

std::optional<QString> Mishap::bundleIdentifier() const
{
    return QStringLiteral("com.mishap.mac");
}

std::optional<QString> Mishap::version() const
{
    return kitDisplayVersion();
}

void Mishap::start()
{
    std::call_once(m_startOnce, [this] {
        const uint64_t mark = MSHProfileMark();
        MSHLog(logPrefix,
               QStringLiteral("Version %1 (%2)").arg(kitDisplayVersion(), kitBuildVersion()));
        if (KTBDebugEnabled()) {
            MSHLog(logPrefix, QStringLiteral("Running on %1, %2 (%3)")
                                  .arg(MSHHostGetModel(), MSHHostGetOSDisplayVersion(),
                                       MSHHostGetOSBuildVersion()));
        }
        const std::weak_ptr<Mishap> weak = weak_from_this();
        onMainQueue([weak] {
            if (const auto self = weak.lock())
                self->warnDelegateAboutMethods();
        });

        m_fileManager = m_rootPath.isEmpty() ? std::make_shared<MSHFileManager>()
                                             : std::make_shared<MSHFileManager>(m_rootPath);
        if (MSHBetaController::isBetaSupported()) {
            m_betaController = MSHBetaController::initWithDelegate(
                weak, QString(), Kitbase::sharedSDK().settingsAndOnboardingManager());
            if (!m_betaController->start())
                MSHLog(logPrefix, QStringLiteral("Beta could not be initialized"));
        }
        std::shared_ptr<MSHCrashReportingController> controller =
            MSHCrashReportingController::initWithFileManager(m_fileManager, weak);
        controller->setExecutionIdentifier(Kitbase::sharedSDK().executionIdentifier());
        if (m_installer)
            controller->setContextInstaller(m_installer);
        {
            QMutexLocker lock(&m_mutex);
            m_crashReportingController = controller;
        }
        if (!controller->startWithProfilingMark(
                mark, m_betaController ? m_betaController->betaToken() : QString()))
            MSHLog(logPrefix, QStringLiteral("Crash reporting could not be initialized"));
        if (MSHAnalyticsController::supported())
            startAnalytics(m_betaController ? m_betaController->betaToken() : QString());
    });
}

void Mishap::startAnalytics(const QString &betaToken)
{
    Kitbase &kitbase = Kitbase::sharedSDK();
    MSHAnalyticsIdentity identity;
    identity.APIKey = APIKey();
    identity.sessionIdentifier = kitbase.executionIdentifier();
    identity.installIdentifier = kitbase.installID();
    identity.instanceIdentifier = kitbase.instanceIdentifier();
    identity.betaToken = betaToken;
    // Its folder lies in the report tree's root and is made as the tree's folders are: never in
    // a cache folder that is not this user's (nor the cache folder itself, when missing), never
    // through a link or in a folder of another user's.
    const QString root = QDir(m_fileManager->rootPath()).filePath(QStringLiteral("analytics"));
    if (!m_fileManager->createDirectoryAtPath(root)) {
        MSHLog(logPrefix, QStringLiteral("Usage analytics off: %1 is not a folder of this user's")
                              .arg(m_fileManager->rootPath()));
        return;
    }
    std::shared_ptr<MSHAnalyticsController> analytics =
        MSHAnalyticsController::create(root, identity, MSHUserDefaults::standardUserDefaults());
    if (!analytics)
        return;
    {
        QMutexLocker lock(&m_mutex);
        m_analyticsController = analytics;
    }
    // Settings downloaded later reach the controller through the manager's notice.
    if (const auto &manager = kitbase.settingsAndOnboardingManager()) {
        const std::weak_ptr<MSHAnalyticsController> weak = analytics;
        QObject::connect(
            manager.get(), &KTBSettingsOnboardingManager::settingsAvailable, manager.get(),
            [weak] {
                if (const auto controller = weak.lock())
                    controller->setSettings(Kitbase::sharedSDK().settings());
            },
            Qt::DirectConnection);
    }
    analytics->setSettings(kitbase.settings());
    if (QCoreApplication::instance()) {
        const std::weak_ptr<MSHAnalyticsController> weak = analytics;
        onMainQueue([weak] {
            if (const auto controller = weak.lock())
                controller->observeApplication();
        });
    }
    if (isFirstInstall())
        analytics->logAppInstalled();
    analytics->logAppLaunched();
}

std::shared_ptr<MSHAnalyticsController> Mishap::analyticsController() const
{
    QMutexLocker lock(&m_mutex);
    return m_analyticsController;
}

void Mishap::warnDelegateAboutMethods()
{
    const std::shared_ptr<MishapDelegate> current = delegate();
    if (!current)
        return;
    if (current->implementsDidDetectCrashDuringPreviousExecutionWithReport() ||
        current->implementsDidDetectCrashDuringPreviousExecution()) {
        MSHLog(logPrefix, QStringLiteral("The Mishap delegate '%1' implements deprecated methods.  "
                                         "Please see Mishap.h for details.")
                              .arg(QString::fromLatin1(typeid(*current).name())));
    }
}

QString Mishap::APIKey() const
{
    return Kitbase::sharedSDK().APIKey();
}

QString Mishap::installID() const
{
    return Kitbase::sharedSDK().installID();
}

bool Mishap::isFirstInstall() const
{
    return Kitbase::sharedSDK().isFirstInstall();
}

bool Mishap::isMishapStarted() const
{
    QMutexLocker lock(&m_mutex);
    return m_crashReportingController != nullptr;
}

void Mishap::setDebugMode(bool debug)
{
    Kitbase::setDebug(debug);
    MSHUserDefaults::setDebugLogging(debug);
    if (isMishapStarted())
        MSHLog(logPrefix,
               QStringLiteral("Warning, consider enabling debug mode before starting Mishap"));
}

bool Mishap::debugMode() const
{
    return Kitbase::debug();
}

void Mishap::setDelegate(const std::shared_ptr<MishapDelegate> &delegate)
{
    if (isMishapStarted()) {
        MSHLog(logPrefix,
               QStringLiteral("Warning, setting delegate after start. Make sure to set the Mishap "
                              "delegate before calling startWithAPIKey:.., or +[Kitbase with...] "
                              "to avoid missing some delegate callbacks."));
    }
    QMutexLocker lock(&m_mutex);
    m_delegate = delegate;
}

std::shared_ptr<MishapDelegate> Mishap::delegate() const
{
    QMutexLocker lock(&m_mutex);
    return m_delegate;
}

void Mishap::crash()
{
    __builtin_trap();
}

void Mishap::throwException()
{
    throw MishapTestException();
}

void Mishap::setUserIdentifier(const QString &identifier)
{
    MSHUserLoggingRecordInternalKeyValue(QStringLiteral("com.mishap.user-id"), identifier);
}

void Mishap::setUserName(const QString &name)
{
    MSHUserLoggingRecordInternalKeyValue(QStringLiteral("com.mishap.user-name"), name);
}

void Mishap::setUserEmail(const QString &email)
{
    MSHUserLoggingRecordInternalKeyValue(QStringLiteral("com.mishap.user-email"), email);
}

void Mishap::setObjectValue(const QVariant &value, const QString &key)
{
    MSHUserLoggingRecordUserKeyValue(key, value);
}

void Mishap::setIntValue(int value, const QString &key)
{
    setObjectValue(QVariant(value), key);
}

void Mishap::setBoolValue(bool value, const QString &key)
{
    setObjectValue(QVariant(value), key);
}

void Mishap::setFloatValue(float value, const QString &key)
{
    setObjectValue(QVariant(value), key);
}

void Mishap::setDevelopmentPlatformName(const QString &name)
{
    MSHUserLoggingRecordInternalKeyValue(QStringLiteral("com.mishap.development-platform-name"),
                                         name);
}

void Mishap::setDevelopmentPlatformVersion(const QString &version)
{
    MSHUserLoggingRecordInternalKeyValue(QStringLiteral("com.mishap.development-platform-version"),
                                         version);
}

QString Mishap::developmentPlatformName() const
{
    MSHLog(logPrefix, QStringLiteral("developmentPlatformName is write-only"));
    return {};
}

QString Mishap::developmentPlatformVersion() const
{
    MSHLog(logPrefix, QStringLiteral("developmentPlatformVersion is write-only"));
    return {};
}

void Mishap::recordError(const TWError &error, const QVariantMap &additionalUserInfo)
{
    MSHUserLoggingRecordError(error, QVariantMap(), additionalUserInfo);
}

void Mishap::monitorErrorsForWebViewConfiguration(MSHWebViewConfiguration &configuration)
{
    MSHUserContentController &controller = configuration.userContentController();
    controller.addScriptMessageHandler(shared_from_this(),
                                       QString::fromLatin1(MSHJavaScriptMessageHandlerName));
    if (!MSHJavaScriptAddErrorReportingScript(controller))
        MSHLog("[Mishap]", QStringLiteral("Unable to monitor %1").arg(configuration.description()));
}

void Mishap::userContentControllerDidReceiveScriptMessage(MSHUserContentController &,
                                                          const MSHScriptMessage &message)
{
    if (!MSHJavaScriptRecordMessageBody(message.body))
        MSHLog("[Mishap]", QStringLiteral("Unable to record exception from WKWebView"));
}

void Mishap::recordCustomExceptionName(const QString &name, const QString &reason,
                                       const QList<QVariantMap> &frameArray)
{
    QList<MSHExceptionFrame> frames;
    for (const QVariantMap &entry : frameArray) {
        MSHExceptionFrame frame;
        frame.pc = entry.value(QStringLiteral("pc")).toULongLong();
        if (entry.contains(QStringLiteral("symbol")))
            frame.symbol = entry.value(QStringLiteral("symbol")).toString().toUtf8();
        frame.offset = entry.value(QStringLiteral("offset")).toULongLong();
        frame.library = entry.value(QStringLiteral("library")).toString().toUtf8();
        frame.file = entry.value(QStringLiteral("file")).toString().toUtf8();
        frame.line = entry.value(QStringLiteral("line")).toUInt();
        frames.append(frame);
    }
    MSHExceptionRecord(MSHExceptionTypeCustom, name.toUtf8(), reason.toUtf8(), frames, false);
}

void Mishap::logEvent(const QString &name, const QVariantMap &attributes)
{
    if (const auto analytics = analyticsController())
        analytics->logCustomEventWithName(name, attributes);
}

// ---- Delegate of the controllers

MSHSettings Mishap::currentSettings() const
{
    return MSHSettings(Kitbase::sharedSDK().settings().value_or(QVariantMap()));
}

bool Mishap::shouldInstallCrashCallback()
{
    const auto current = delegate();
    return current && current->implementsDidDetectCrash();
}

void Mishap::detectedCrash()
{
    if (const auto current = delegate(); current && current->implementsDidDetectCrash())
        current->mishapDidDetectCrash(*this);
}

bool Mishap::reportingControllerCanUseBackgroundSessions(MSHCrashReportingController &)
{
    const auto current = delegate();
    if (current && current->implementsCanUseBackgroundSessions())
        return current->mishapCanUseBackgroundSessions(*this);
    return !MSHApplicationIsExtension();
}

bool Mishap::reportingControllerMustInformDelegateOfReports(MSHCrashReportingController &)
{
    const auto current = delegate();
    return current && (current->implementsDidDetectReportForLastExecution() ||
                       current->implementsDidDetectCrashDuringPreviousExecutionWithReport() ||
                       current->implementsDidDetectCrashDuringPreviousExecution());
}

void Mishap::reportingControllerDidDetectReportForLastExecution(
    MSHCrashReportingController &controller, const std::shared_ptr<MSHInternalReport> &report,
    std::function<void(bool)> completion)
{
    if (!reportingControllerMustInformDelegateOfReports(controller)) {
        completion(true);
        return;
    }
    const auto current = delegate();
    const MSHReport wrapped(report);
    if (current->implementsDidDetectReportForLastExecution())
        current->mishapDidDetectReportForLastExecution(wrapped, completion);
    else
        completion(true);
    const std::weak_ptr<Mishap> weak = weak_from_this();
    onMainQueue([weak, current, wrapped] {
        const auto self = weak.lock();
        if (!self)
            return;
        if (current->implementsDidDetectCrashDuringPreviousExecutionWithReport())
            current->mishapDidDetectCrashDuringPreviousExecution(*self, wrapped);
        if (current->implementsDidDetectCrashDuringPreviousExecution())
            current->mishapDidDetectCrashDuringPreviousExecution(*self);
    });
}

void Mishap::reportingControllerInternalDidDetectReportForLastExecution(
    MSHCrashReportingController &, const std::shared_ptr<MSHInternalReport> &report)
{
    const std::optional<QDateTime> date = report ? report->dateCreated() : std::nullopt;
    if (!date)
        return;
    const std::weak_ptr<Mishap> weak = weak_from_this();
    const QDateTime created = *date;
    onMainQueue([weak, created] {
        if (const auto self = weak.lock()) {
            if (const auto analytics = self->analyticsController())
                analytics->logPreviousSessionCrashedOnDate(created);
        }
    });
}

bool Mishap::reportingControllerEnsureDeliveryOfUnixSignal(MSHCrashReportingController &,
                                                           int signal)
{
    const auto current = delegate();
    return current && current->implementsEnsureDeliveryOfUnixSignal() &&
           current->mishapEnsureDeliveryOfUnixSignal(*this, signal);
}

QString Mishap::APIKeyForCrashReportingController(MSHCrashReportingController &)
{
    return APIKey();
}

QString Mishap::installIDForCrashReportingController(MSHCrashReportingController &)
{
    return installID();
}

bool Mishap::isFirstInstallForCrashReportingController(MSHCrashReportingController &)
{
    return isFirstInstall();
}

MSHSettings Mishap::settingsForCrashReportingController(MSHCrashReportingController &)
{
    return currentSettings();
}

MSHSettings Mishap::settingsForBetaController(MSHBetaController &)
{
    return currentSettings();
}

QString Mishap::APIKeyForBetaController(MSHBetaController &)
{
    return APIKey();
}

QString Mishap::instanceIdentifierForBetaController(MSHBetaController &)
{
    return Kitbase::sharedSDK().instanceIdentifier();
}

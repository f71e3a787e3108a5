#include "crashreporting/MSHBetaController.h"

#include "crashreporting/MSHApplicationIdentity.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/network/KTBNetworkClient.h"
#include "crashreporting/network/MSHSharedQueue.h"
#include "crashreporting/reports/MSHReportsController.h"
#include "crashreporting/settings/KTBSettings.h"
#include "crashreporting/settings/KTBSettingsOnboardingManager.h"
#include "crashreporting/settings/KTBURLBuilder.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

const char *const logPrefix = "[Mishap:Beta]";

void debugLog(const QString &message)
{
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
}

void onMainQueue(std::function<void()> block)
{
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(block), Qt::QueuedConnection);
}

} // namespace

bool MSHBetaController::isBetaSupported()
{
    return !MSHApplicationIsExtension() && MSHApplicationInstallationSource() == 3;
}

QList<QSslCertificate> MSHBetaController::pinnnedCertificates()
{
    return KTBCertificatePinner::pinnedCertificates();
}

std::shared_ptr<MSHBetaController> MSHBetaController::initWithDelegate(
    const std::weak_ptr<MSHBetaControllerDelegate> &delegate, const QString &betaToken,
    const std::shared_ptr<KTBSettingsOnboardingManager> &settingsNotices,
    const QList<QSslCertificate> &pinnedCertificates)
{
    std::shared_ptr<MSHBetaController> controller(new MSHBetaController);
    controller->m_delegate = delegate;
    controller->m_betaToken = betaToken;
    controller->m_settingsNotices = settingsNotices;
    controller->m_queue = MSHMakeSharedQueue("com.mishap.mac.beta");
    controller->m_networkClient = KTBNetworkClient::create(controller->m_queue, pinnedCertificates);
    if (!controller->m_networkClient)
        debugLog(QStringLiteral("Failed to configure networking"));
    return controller;
}

MSHBetaController::~MSHBetaController()
{
    QObject::disconnect(m_settingsConnection);
    QObject::disconnect(m_foregroundConnection);
}

bool MSHBetaController::start()
{
    if (m_betaToken.isEmpty())
        return false;
    const std::weak_ptr<MSHBetaController> weak = weak_from_this();
    if (m_settingsNotices) {
        m_settingsConnection = QObject::connect(
            m_settingsNotices.get(), &KTBSettingsOnboardingManager::settingsAvailable,
            m_settingsNotices.get(),
            [weak] {
                if (const auto self = weak.lock())
                    self->kitbaseSettingsDownloaded();
            },
            Qt::DirectConnection);
    }
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_foregroundConnection =
            QObject::connect(application, &QGuiApplication::applicationStateChanged, application,
                             [weak](Qt::ApplicationState state) {
                                 if (state != Qt::ApplicationActive)
                                     return;
                                 if (const auto self = weak.lock())
                                     self->applicationWillEnterForeground();
                             });
    }
    return true;
}

void MSHBetaController::kitbaseSettingsDownloaded()
{
    checkForUpdate();
}

void MSHBetaController::applicationWillEnterForeground()
{
    checkForUpdate();
}

void MSHBetaController::checkForUpdate()
{
    const std::weak_ptr<MSHBetaController> weak = weak_from_this();
    maybeGetUpdate([weak](const std::optional<MSHBetaUpdate> &update, const MSHErrorResult &) {
        if (const auto self = weak.lock())
            self->didGetUpdate(update);
    });
}

void MSHBetaController::maybeGetUpdate(UpdateCompletion completion)
{
    const std::shared_ptr<MSHBetaController> self = shared_from_this();
    m_queue->async([self, completion = std::move(completion)] {
        if (!self->shouldGetUpdates() || self->m_retrying.load())
            return;
        debugLog(QStringLiteral("Loading beta update"));
        self->loadUpdateWithCompletionBlock(completion);
    });
}

QUrl MSHBetaController::betaUpdateURL()
{
    KTBURLBuilder builder = KTBURLBuilder::URLWithBase(MSHSettings::betaEndpoint());
    builder.appendComponent(QStringLiteral("/spi/v2/platforms/"));
    builder.appendComponent(KTBSettings::appPlatform());
    builder.appendComponent(QStringLiteral("/apps/"));
    builder.appendComponent(MSHApplicationGetBundleIdentifier());
    builder.appendComponent(QStringLiteral("/beta_update_check"));
    builder.appendValue(MSHApplicationGetBuildVersion(), QStringLiteral("build_version"));
    builder.appendValue(MSHApplicationGetDisplayVersion(), QStringLiteral("display_version"));
    const auto delegate = m_delegate.lock();
    builder.appendValue(delegate ? delegate->instanceIdentifierForBetaController(*this) : QString(),
                        QStringLiteral("instance"));
    builder.appendValue(MSHApplicationInstallationSource(), QStringLiteral("source"));
    return builder.URL();
}

void MSHBetaController::loadUpdateWithCompletionBlock(UpdateCompletion completion)
{
    const QUrl url = betaUpdateURL();
    debugLog(QStringLiteral("Beta Update-Check url string: '%1'").arg(url.toString()));
    const auto delegate = m_delegate.lock();
    MSHURLRequest request = MSHReportsController::requestWithURL(
        url, 10.0, delegate ? delegate->APIKeyForBetaController(*this).toUtf8() : QByteArray());
    request.setValue(m_betaToken.toUtf8(), "X-Mishap-Beta-Token");
    if (!m_networkClient) {
        debugLog(
            QStringLiteral("Failed to load update '%1'").arg(QStringLiteral("no network client")));
        return;
    }
    m_retrying.store(true);
    const std::shared_ptr<MSHBetaController> self = shared_from_this();
    m_networkClient->startDataTaskWithRequest(
        request, [self, completion](const QByteArray &data, const MSHHTTPURLResponse &,
                                    const MSHErrorResult &error) {
            self->handledCompletedBetaRequest(data, error, completion);
        });
}

void MSHBetaController::handledCompletedBetaRequest(const QByteArray &data,
                                                    const MSHErrorResult &error,
                                                    const UpdateCompletion &completion)
{
    if (error || data.isEmpty()) {
        debugLog(QStringLiteral("Failed to load update '%1'")
                     .arg(error ? error->toString() : QStringLiteral("no data")));
        // The flag stays set: a service that failed (after the network client's own retries)
        // is not asked again by this process; the next launch checks afresh.
        return;
    }
    const std::shared_ptr<MSHBetaController> self = shared_from_this();
    m_queue->async([self, data, completion] {
        debugLog(QStringLiteral("Beta update loaded"));
        self->temporarilySuspendChecks();
        self->m_retrying.store(false);
        MSHError failure;
        const std::optional<MSHBetaUpdate> update = updateWithData(data, &failure);
        if (completion)
            completion(update, update ? MSHErrorResult() : MSHErrorResult(failure));
    });
}

std::optional<MSHBetaUpdate> MSHBetaController::updateWithData(const QByteArray &data,
                                                               MSHError *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (!document.isObject()) {
        const QString reason = parseError.error == QJsonParseError::NoError
                                   ? QStringLiteral("not a JSON object")
                                   : parseError.errorString();
        MSHLog(logPrefix, QStringLiteral("Unable to deserialize beta update data: %1").arg(reason));
        if (error)
            *error = MSHError{QStringLiteral("NSCocoaErrorDomain"), 3840, {}, reason};
        return std::nullopt;
    }
    MSHError failure;
    std::optional<MSHBetaUpdate> update =
        MSHBetaUpdate::betaUpdateWithDictionary(document.object().toVariantMap(), &failure);
    if (!update) {
        MSHLog(logPrefix,
               QStringLiteral("Unable to read beta update data: %1").arg(failure.toString()));
        if (error)
            *error = failure;
    }
    return update;
}

MSHSettings MSHBetaController::settings()
{
    const auto delegate = m_delegate.lock();
    return delegate ? delegate->settingsForBetaController(*this) : MSHSettings(QVariantMap());
}

void MSHBetaController::temporarilySuspendChecks()
{
    const QVariantMap beta =
        KTBSettings::section(settings().settingsDictionary(), QStringLiteral("beta"));
    if (!beta.contains(QStringLiteral("update_suspend_duration")))
        return;
    const double seconds = settings().betaSuspendDuration();
    m_checksSuspended.store(true);
    const std::weak_ptr<MSHBetaController> weak = weak_from_this();
    onMainQueue([weak, seconds] {
        const auto self = weak.lock();
        if (!self)
            return;
        delete self->m_checkSuspensionTimer;
        auto *timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(std::max(0, int(seconds * 1000.0)));
        QObject::connect(timer, &QTimer::timeout, timer, [weak] {
            if (const auto owner = weak.lock())
                owner->allowChecks();
        });
        self->m_checkSuspensionTimer = timer;
        timer->start();
    });
}

void MSHBetaController::allowChecks()
{
    m_checksSuspended.store(false);
    if (m_checkSuspensionTimer) {
        m_checkSuspensionTimer->deleteLater();
        m_checkSuspensionTimer = nullptr;
    }
}

bool MSHBetaController::shouldGetUpdates() const
{
    return isBetaSupported() && !m_checksSuspended.load();
}

void MSHBetaController::didGetUpdate(const std::optional<MSHBetaUpdate> &update)
{
    if (!update || !update->url().isValid()) {
        debugLog(QStringLiteral("Beta update url is invalid"));
        return;
    }
    const std::weak_ptr<MSHBetaController> weak = weak_from_this();
    const MSHBetaUpdate found = *update;
    onMainQueue([weak, found] {
        if (const auto self = weak.lock())
            self->showBetaAlertForUpdate(found);
    });
}

void MSHBetaController::showBetaAlertForUpdate(const MSHBetaUpdate &update)
{
    QMutexLocker lock(&m_mutex);
    m_activeUpdate = update;
}

std::optional<MSHBetaUpdate> MSHBetaController::activeUpdate() const
{
    QMutexLocker lock(&m_mutex);
    return m_activeUpdate;
}

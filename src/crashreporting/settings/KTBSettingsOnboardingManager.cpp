#include "crashreporting/settings/KTBSettingsOnboardingManager.h"

#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/settings/KTBApplicationIdentiferModel.h"
#include "crashreporting/settings/KTBSettings.h"

#include <QDir>
#include <QFile>

std::shared_ptr<KTBSettingsOnboardingManager>
KTBSettingsOnboardingManager::initWithApplicationIdentifierModel(
    const std::shared_ptr<KTBApplicationIdentiferModel> &model, const QString &advertisingToken,
    const QString &settingsDirectory)
{
    std::shared_ptr<KTBSettingsOnboardingManager> manager(new KTBSettingsOnboardingManager);
    manager->m_model = model;
    manager->m_advertisingToken = advertisingToken;
    manager->m_settingsDirectory =
        settingsDirectory.isEmpty() ? settingsDirectoryPath() : settingsDirectory;
    manager->m_pinnedCertificates = KTBCertificatePinner::pinnedCertificates();
    return manager;
}

QString KTBSettingsOnboardingManager::settingsDirectoryPath()
{
    // The cache folder the crash reports live in, by the same name: never one of another
    // user's, and each level a folder of this user's.
    QList<QByteArray> names{QByteArray(KTBNetworkOperation::clientIdentifier) +
                            QByteArrayLiteral(".data")};
    for (const QString &level :
         MSHApplicationInfo::bundleIdentifier().split(QLatin1Char('/'), Qt::SkipEmptyParts))
        names.append(QFile::encodeName(level));
    return MSHFileManager::ownCacheFolder(names);
}

QVariant KTBSettingsOnboardingManager::valueForConfigurationKey(const QString &key)
{
    const QByteArray variable = key.toUtf8();
    if (qEnvironmentVariableIsSet(variable.constData()))
        return qEnvironmentVariable(variable.constData());
    // No service address is built in: a deployment configures them.
    return MSHApplicationInfo::mishapDictionary().value(key);
}

void KTBSettingsOnboardingManager::setPinnedCertificates(const QList<QSslCertificate> &certificates)
{
    QMutexLocker lock(&m_mutex);
    m_pinnedCertificates = certificates;
}

void KTBSettingsOnboardingManager::beginSettingsAndOnboardingOperationsWithAPIKey(
    const QString &apiKey, const QMap<QString, QString> &kitVersions)
{
    {
        QMutexLocker lock(&m_mutex);
        m_APIKey = apiKey;
        m_kitVersions = kitVersions;
    }
    beginSettingsDownload();
}

void KTBSettingsOnboardingManager::beginSettingsDownload()
{
    QString apiKey, token;
    QList<QSslCertificate> certificates;
    {
        QMutexLocker lock(&m_mutex);
        apiKey = m_APIKey;
        token = m_advertisingToken;
        certificates = m_pinnedCertificates;
    }
    if (m_settingsDirectory.isEmpty()) {
        MSHLog("[Kitbase]", QStringLiteral("Settings not downloaded: no settings folder of this "
                                           "user's"));
        return;
    }
    std::shared_ptr<KTBDownloadAndSaveSettingsOperation> operation =
        KTBDownloadAndSaveSettingsOperation::create(
            apiKey, weak_from_this(), settingsURL(), m_settingsDirectory, settingsPath(),
            m_model ? m_model->installID() : QString(), token, certificates);
    if (!operation) {
        MSHLog("[Kitbase]", QStringLiteral("failed to download settings: no API key"));
        return;
    }
    operation->start();
}

void KTBSettingsOnboardingManager::beginOnboarding(bool create, const QString &endpointString)
{
    std::shared_ptr<KTBOnboardingOperation> previous;
    std::shared_ptr<KTBOnboardingOperation> operation;
    {
        QMutexLocker lock(&m_mutex);
        previous = std::move(m_onboardingOperation);
        operation =
            KTBOnboardingOperation::create(m_APIKey, weak_from_this(), create, m_kitVersions,
                                           m_model, endpointString, m_pinnedCertificates);
        m_onboardingOperation = operation;
    }
    if (previous)
        previous->cancel();
    if (operation)
        operation->start();
}

QString KTBSettingsOnboardingManager::APIKey() const
{
    QMutexLocker lock(&m_mutex);
    return m_APIKey;
}

QString KTBSettingsOnboardingManager::advertisingToken() const
{
    QMutexLocker lock(&m_mutex);
    return m_advertisingToken;
}

void KTBSettingsOnboardingManager::setAdvertisingToken(const QString &token)
{
    QMutexLocker lock(&m_mutex);
    m_advertisingToken = token;
}

bool KTBSettingsOnboardingManager::hasAttemptedAppConfigure() const
{
    QMutexLocker lock(&m_mutex);
    return m_hasAttemptedAppConfigure;
}

std::shared_ptr<KTBSettings> KTBSettingsOnboardingManager::settingsModel()
{
    QMutexLocker lock(&m_mutex);
    if (!m_settingsModel)
        m_settingsModel = std::make_shared<KTBSettings>(settingsPath());
    return m_settingsModel;
}

QUrl KTBSettingsOnboardingManager::settingsURL() const
{
    return KTBSettings::settingsURLForEndpoint(
        valueForConfigurationKey(QStringLiteral("SettingsEndpoint")).toString(),
        m_model ? m_model->instanceIdentifier() : QString(), appIconHash());
}

QString KTBSettingsOnboardingManager::settingsPath() const
{
    // No settings folder (a cache folder of another user's): no settings file either, never one
    // in the working folder.
    if (m_settingsDirectory.isEmpty())
        return QString();
    return QDir(m_settingsDirectory).filePath(QStringLiteral("settings.json"));
}

QString KTBSettingsOnboardingManager::appIconHash() const
{
    return m_model && m_model->icon() ? m_model->icon()->dataHash() : QString();
}

void KTBSettingsOnboardingManager::postSettingsDownloadCompletedNotification()
{
    if (KTBDebugEnabled())
        MSHLog("[Kitbase]", QStringLiteral("Settings are available for consumption"));
    Q_EMIT settingsAvailable();
}

void KTBSettingsOnboardingManager::operation(KTBDownloadAndSaveSettingsOperation &,
                                             const MSHErrorResult &error)
{
    if (error) {
        MSHLog("[Kitbase]",
               QStringLiteral("failed to download settings %1").arg(error->toString()));
        return;
    }
    if (KTBDebugEnabled())
        MSHLog("[Kitbase]", QStringLiteral("settings downloaded succesfully"));
    const std::shared_ptr<KTBSettings> settings = settingsModel();
    settings->clearSettingsDictionary();

    bool attempted = false;
    {
        QMutexLocker lock(&m_mutex);
        attempted = m_hasAttemptedAppConfigure;
    }
    if (attempted) {
        if (KTBDebugEnabled())
            MSHLog("[Kitbase]", QStringLiteral("App already onboarded in this run of the app"));
        postSettingsDownloadCompletedNotification();
        return;
    }
    const QString endpoint =
        valueForConfigurationKey(QStringLiteral("ConfigureEndpoint")).toString();
    if (settings->appNeedsOnboarding()) {
        if (KTBDebugEnabled())
            MSHLog("[Kitbase]", QStringLiteral("Starting onboarding with app create"));
        {
            QMutexLocker lock(&m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        // The download after a successful creation posts the notice.
        beginOnboarding(true, endpoint);
        return;
    }
    if (settings->appUpdateRequired()) {
        if (KTBDebugEnabled())
            MSHLog("[Kitbase]", QStringLiteral("Starting onboarding with app update"));
        {
            QMutexLocker lock(&m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        beginOnboarding(false, endpoint);
    }
    postSettingsDownloadCompletedNotification();
}

void KTBSettingsOnboardingManager::onboardingOperationDidCompleteAppCreationWithError(
    KTBOnboardingOperation &operation, const MSHErrorResult &error)
{
    if (error) {
        MSHLog(
            "[Kitbase]",
            QStringLiteral("unable to complete application configure: %1").arg(error->toString()));
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        if (m_onboardingOperation.get() == &operation)
            m_onboardingOperation.reset();
    }
    if (KTBDebugEnabled())
        MSHLog("[Kitbase]", QStringLiteral("completed configure"));
    beginSettingsDownload();
}

void KTBSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdateWithError(
    KTBOnboardingOperation &operation, const MSHErrorResult &error)
{
    if (error) {
        MSHLog("[Kitbase]",
               QStringLiteral("unable to complete application update: %1").arg(error->toString()));
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        if (m_onboardingOperation.get() == &operation)
            m_onboardingOperation.reset();
    }
    if (KTBDebugEnabled())
        MSHLog("[Kitbase]", QStringLiteral("completed application update"));
}

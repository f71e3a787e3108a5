#include "crashreporting/Kitbase.h"

#include "crashreporting/capture/KTBObfuscator.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBCertificatePinner.h"
#include "crashreporting/settings/KTBApplicationIdentiferModel.h"
#include "crashreporting/settings/KTBSettings.h"
#include "crashreporting/settings/KTBSettingsOnboardingManager.h"
#include "crashreporting/settings/MSHSettings.h"

#include <QSet>
#include <QUrl>
#include <QUuid>

namespace
{

const char *const logPrefix = "[Kitbase]";

void migrateInstallIDOnce(MSHUserDefaults &defaults)
{
    static std::once_flag once;
    std::call_once(once, [&defaults] {
        defaults.migrateFromNSUserDefaults({QString::fromLatin1(Kitbase::installIDKey)});
    });
}

} // namespace

Kitbase &Kitbase::sharedSDK()
{
    // Lives as long as the process: kits and queues may still use it while it ends.
    static Kitbase *shared = new Kitbase(MSHUserDefaults::standardUserDefaults());
    return *shared;
}

Kitbase &Kitbase::with(const QList<KTBKit *> &kits)
{
    return sharedSDK().startWithKits(kits);
}

void Kitbase::startInstance(KTBKit *kit)
{
    if (kit && kit->implementsStart())
        kit->start();
}

Kitbase::Kitbase(MSHUserDefaults &defaults, const QString &settingsDirectory)
{
    migrateInstallIDOnce(defaults);
    const QString key = QString::fromLatin1(installIDKey);
    const std::optional<QString> stored = defaults.stringForKey(key);
    if (stored && !stored->isEmpty()) {
        m_installID = *stored;
    } else {
        m_isFirstInstall = true;
        m_installID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        defaults.setString(m_installID, key);
        defaults.synchronize();
    }
    m_executionIdentifier = QUuid::createUuid().toString(QUuid::Id128).toLower();
    m_applicationIdentifierModel = KTBApplicationIdentiferModel::initWithInstallID(m_installID);
    m_settingsManager = KTBSettingsOnboardingManager::initWithApplicationIdentifierModel(
        m_applicationIdentifierModel, QString(), settingsDirectory);
}

Kitbase::~Kitbase() = default;

Kitbase &Kitbase::startWithKits(const QList<KTBKit *> &kits)
{
    std::call_once(m_startOnce, [this, &kits] { runStartup(kits); });
    return *this;
}

void Kitbase::runStartup(const QList<KTBKit *> &kits)
{
    // A key set by the application wins; otherwise the configuration must be sound and hold one.
    if (APIKey().isEmpty()) {
        if (debug())
            MSHLog(logPrefix, QStringLiteral("No kit is started: without a valid configuration and "
                                             "API key crash reporting stays off"));
        return;
    }
    // Kits looked up by class name at run time do not exist here: the array is what is started.
    QMap<QString, KTBKit *> map;
    for (KTBKit *kit : kits) {
        if (!kit)
            continue;
        startInstance(kit);
        map.insert(kit->kitClassName(), kit);
    }
    {
        QMutexLocker lock(&m_mutex);
        m_kitMap = map;
    }
    if (debug()) {
        QStringList versions;
        const QMap<QString, QString> kitVersions = SDKKitVersions();
        for (auto it = kitVersions.cbegin(); it != kitVersions.cend(); ++it)
            versions.append(it.key() + QStringLiteral(" = ") + it.value());
        MSHLog(logPrefix, QStringLiteral("Initialized with kit versions: {%1}")
                              .arg(versions.join(QStringLiteral(", "))));
    }
    warnAboutUnpinnedServices();
    onboardAppAndDownloadSettings();
}

void Kitbase::warnAboutUnpinnedServices()
{
    if (!KTBCertificatePinner::pinnedCertificates().isEmpty())
        return;
    const QStringList addresses = {
        KTBSettingsOnboardingManager::valueForConfigurationKey(QStringLiteral("SettingsEndpoint"))
            .toString(),
        KTBSettingsOnboardingManager::valueForConfigurationKey(QStringLiteral("ConfigureEndpoint"))
            .toString(),
        MSHSettings::reportsEndpoint(),
        MSHSettings::betaEndpoint(),
    };
    QSet<QString> told;
    for (const QString &address : addresses) {
        const QUrl url(address);
        if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0 ||
            told.contains(address))
            continue;
        told.insert(address);
        MSHLog(logPrefix, QStringLiteral("No certificate is pinned for the service at %1: every "
                                         "request to it will be refused. Add the service's "
                                         "certificates to the pinned set.")
                              .arg(address));
    }
}

KTBKit *Kitbase::kitForClass(const QString &className) const
{
    QMutexLocker lock(&m_mutex);
    return m_kitMap.value(className, nullptr);
}

QMap<QString, KTBKit *> Kitbase::kitMap() const
{
    QMutexLocker lock(&m_mutex);
    return m_kitMap;
}

QMap<QString, QString> Kitbase::SDKKitVersions() const
{
    const QMap<QString, KTBKit *> kits = kitMap();
    QMap<QString, QString> versions;
    if (kits.isEmpty())
        return versions;
    for (auto it = kits.cbegin(); it != kits.cend(); ++it) {
        const QString key = it.value()->bundleIdentifier().value_or(it.key());
        versions.insert(key, it.value()->version().value_or(QStringLiteral("???")));
    }
    versions.insert(QStringLiteral("io.kitbase.sdk.mac"), QStringLiteral("1.2.6"));
    return versions;
}

std::optional<QVariantMap> Kitbase::configurationDictionaryForKit(const KTBKit &kit)
{
    const std::optional<QVariantMap> config = SDKConfig();
    if (!config)
        return std::nullopt;
    const QVariant kits = config->value(QStringLiteral("Kits"));
    if (kits.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    for (const QVariant &entry : kits.toList()) {
        const QVariantMap entryMap = entry.toMap();
        if (entryMap.value(QStringLiteral("KitName")).toString() != kit.kitClassName())
            continue;
        QVariantMap result;
        const QVariant obfuscated = entryMap.value(QStringLiteral("ObfuscatedKitInfo"));
        if (obfuscated.isValid()) {
            const TWResult<QVariantMap> read =
                KTBObfuscator::dictionaryWithObfuscatedData(obfuscated.toByteArray());
            if (read.ok())
                result = read.value;
        }
        const QVariantMap kitInfo = entryMap.value(QStringLiteral("KitInfo")).toMap();
        for (auto it = kitInfo.cbegin(); it != kitInfo.cend(); ++it)
            result.insert(it.key(), it.value());
        return result;
    }
    return std::nullopt;
}

void Kitbase::onboardAppAndDownloadSettings()
{
    m_settingsManager->beginSettingsAndOnboardingOperationsWithAPIKey(APIKey(), SDKKitVersions());
}

std::optional<QVariantMap> Kitbase::validSDKConfigFromInfoPlist(const QVariantMap &info)
{
    const QString name = QStringLiteral("Kitbase");
    // A build without a crash service configured is an ordinary build: it starts quietly
    // (the messages are kept for debug mode). A broken entry is still reported.
    if (info.isEmpty()) {
        if (debug())
            MSHLog(logPrefix, QStringLiteral("[%1] Cannot find Info.plist.").arg(name));
        return std::nullopt;
    }
    const QVariant value = info.value(name);
    if (!value.isValid()) {
        if (debug())
            MSHLog(logPrefix, QStringLiteral("[%1] No crash service is configured.").arg(name));
        return std::nullopt;
    }
    if (value.typeId() != QMetaType::QVariantMap) {
        MSHLog(logPrefix, QStringLiteral("[%1] Value of Info.plist key \"%2\" must be a "
                                         "NSDictionary.")
                              .arg(name, name));
        return std::nullopt;
    }
    const QVariantMap config = value.toMap();
    const QVariant kits = config.value(QStringLiteral("Kits"));
    if (kits.isValid() && kits.typeId() != QMetaType::QVariantList) {
        MSHLog(logPrefix, QStringLiteral("[%1] Value of Info.plist[%2][%3] should be a NSArray.")
                              .arg(name, name, QStringLiteral("Kits")));
    }
    if (config.value(QStringLiteral("APIKey")).typeId() != QMetaType::QString) {
        MSHLog(logPrefix, QStringLiteral("[%1] Value of Info.plist[%2][%3] must contain your %4 "
                                         "API Key.")
                              .arg(name, name, QStringLiteral("APIKey"), name));
        return std::nullopt;
    }
    return config;
}

std::optional<QVariantMap> Kitbase::SDKConfig()
{
    std::call_once(m_configOnce, [this] {
        const std::optional<QVariantMap> config =
            validSDKConfigFromInfoPlist(MSHApplicationInfo::infoDictionary());
        QMutexLocker lock(&m_mutex);
        m_SDKConfig = config;
    });
    QMutexLocker lock(&m_mutex);
    return m_SDKConfig;
}

QString Kitbase::APIKey()
{
    bool needsRead = false;
    {
        QMutexLocker lock(&m_mutex);
        needsRead = !m_APIKey.has_value();
    }
    if (needsRead) {
        const std::optional<QVariantMap> config = SDKConfig();
        const QString key = config ? config->value(QStringLiteral("APIKey")).toString() : QString();
        QMutexLocker lock(&m_mutex);
        if (!m_APIKey)
            m_APIKey = key;
    }
    QString key;
    {
        QMutexLocker lock(&m_mutex);
        key = *m_APIKey;
    }
    if (key.isEmpty() && debug())
        MSHLog(logPrefix, QStringLiteral("Kitbase API Key is nil! Kitbase won't work unless there "
                                         "is a valid API Key setup in Info.plist"));
    return key;
}

void Kitbase::setAPIKey(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    m_APIKey = key;
}

bool Kitbase::debug()
{
    return KTBDebugEnabled();
}

void Kitbase::setDebug(bool debug)
{
    KTBSetDebugEnabled(debug);
}

QString Kitbase::advertisingToken() const
{
    QMutexLocker lock(&m_mutex);
    return m_advertisingToken;
}

void Kitbase::setAdvertisingToken(const QString &token)
{
    {
        QMutexLocker lock(&m_mutex);
        m_advertisingToken = token;
    }
    m_settingsManager->setAdvertisingToken(token);
}

std::optional<QVariantMap> Kitbase::settings() const
{
    return m_settingsManager->settingsModel()->settingsDictionary();
}

QString Kitbase::instanceIdentifier() const
{
    return m_applicationIdentifierModel ? m_applicationIdentifierModel->instanceIdentifier()
                                        : QString();
}

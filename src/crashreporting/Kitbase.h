#pragma once
// The kit host the application starts at launch with its one call, Kitbase::with(): it reads the
// component's configuration (the "Kitbase" dictionary of the application information), keeps the
// installation identifier, starts each kit it is handed and then downloads the service's
// settings. A broken configuration or a missing API key is logged and starts nothing; nothing
// here throws.

#include "crashreporting/KTBKit.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class KTBApplicationIdentiferModel;
class KTBSettingsOnboardingManager;
class MSHUserDefaults;

class Kitbase
{
public:
    static constexpr const char *installIDKey = "com.mishap.iuuid";

    static Kitbase &sharedSDK();
    // The start-up, once per process; later calls only answer the shared instance.
    static Kitbase &with(const QList<KTBKit *> &kits);
    static void startInstance(KTBKit *kit);

    // An instance over its own defaults store and settings folder (tests); the shared one uses
    // the component's standard defaults. The application's own settings are searched for an
    // older installation identifier once per process.
    explicit Kitbase(MSHUserDefaults &defaults, const QString &settingsDirectory = QString());
    ~Kitbase();
    Kitbase(const Kitbase &) = delete;
    Kitbase &operator=(const Kitbase &) = delete;

    // This instance's start-up, once per instance.
    Kitbase &startWithKits(const QList<KTBKit *> &kits);

    KTBKit *kitForClass(const QString &className) const;
    QMap<QString, KTBKit *> kitMap() const;
    QMap<QString, QString> SDKKitVersions() const;
    // The kit's entry of "Kits" (unscrambled "ObfuscatedKitInfo" under "KitInfo"); none when
    // there is no entry for it.
    std::optional<QVariantMap> configurationDictionaryForKit(const KTBKit &kit);
    void onboardAppAndDownloadSettings();
    // Logs each configured HTTPS service address that no pinned certificate can vouch for: with
    // the pinned set empty every request there is refused, and the log says so once, at start.
    static void warnAboutUnpinnedServices();

    // The validated "Kitbase" dictionary; none (logged) when the configuration is broken.
    std::optional<QVariantMap> SDKConfig();
    static std::optional<QVariantMap> validSDKConfigFromInfoPlist(const QVariantMap &info);

    QString APIKey();
    void setAPIKey(const QString &key);
    static bool debug();
    static void setDebug(bool debug);
    QString installID() const { return m_installID; }
    bool isFirstInstall() const { return m_isFirstInstall; }
    QString executionIdentifier() const { return m_executionIdentifier; }
    QString advertisingToken() const;
    void setAdvertisingToken(const QString &token);
    // The service's settings document last downloaded; none before the first download.
    std::optional<QVariantMap> settings() const;
    QString instanceIdentifier() const;
    const std::shared_ptr<KTBSettingsOnboardingManager> &settingsAndOnboardingManager() const
    {
        return m_settingsManager;
    }

private:
    void runStartup(const QList<KTBKit *> &kits);

    mutable QMutex m_mutex;
    std::once_flag m_startOnce;
    std::once_flag m_configOnce;
    std::optional<QVariantMap> m_SDKConfig;
    std::optional<QString> m_APIKey;
    QMap<QString, KTBKit *> m_kitMap;
    QString m_installID;
    bool m_isFirstInstall = false;
    QString m_executionIdentifier;
    QString m_advertisingToken;
    std::shared_ptr<KTBApplicationIdentiferModel> m_applicationIdentifierModel;
    std::shared_ptr<KTBSettingsOnboardingManager> m_settingsManager;
};

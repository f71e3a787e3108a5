#pragma once
// At every start: downloads the service's settings and, when they say the service does not know
// this application yet ("app" → "status" "new") or its record is out of date ("update_required"),
// onboards it once per run. settingsAvailable() is the notice the kits wait for: after a
// successful download, after the second download that follows a creation, at once beside an
// update; never after a failed download.

#include "crashreporting/settings/KTBSettingsOperations.h"

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

class KTBApplicationIdentiferModel;
class KTBSettings;

class KTBSettingsOnboardingManager final
    : public QObject,
      public KTBDownloadAndSaveSettingsOperationDelegate,
      public KTBOnboardingOperationDelegate,
      public std::enable_shared_from_this<KTBSettingsOnboardingManager>
{
    Q_OBJECT

public:
    // The settings live in settingsDirectoryPath() unless a folder is given (tests).
    static std::shared_ptr<KTBSettingsOnboardingManager>
    initWithApplicationIdentifierModel(const std::shared_ptr<KTBApplicationIdentiferModel> &model,
                                       const QString &advertisingToken,
                                       const QString &settingsDirectory = QString());

    // The user's cache folder / "io.kitbase.sdk.mac.data" / the bundle identifier.
    static QString settingsDirectoryPath();
    // The environment variable of that name, else the "Mishap" dictionary; no built-in value.
    static QVariant valueForConfigurationKey(const QString &key);

    // Requests of this manager trust these certificates (the program's pinned set by default).
    void setPinnedCertificates(const QList<QSslCertificate> &certificates);

    void beginSettingsAndOnboardingOperationsWithAPIKey(const QString &apiKey,
                                                        const QMap<QString, QString> &kitVersions);
    void beginSettingsDownload();
    void beginOnboarding(bool create, const QString &endpointString);

    const std::shared_ptr<KTBApplicationIdentiferModel> &appIdentifierModel() const
    {
        return m_model;
    }
    QString APIKey() const;
    QString advertisingToken() const;
    void setAdvertisingToken(const QString &token);
    bool hasAttemptedAppConfigure() const;
    std::shared_ptr<KTBSettings> settingsModel();
    QUrl settingsURL() const;
    QString settingsPath() const;
    // The icon's hash, empty without an icon.
    QString appIconHash() const;

    void postSettingsDownloadCompletedNotification();

    void operation(KTBDownloadAndSaveSettingsOperation &operation,
                   const MSHErrorResult &error) override;
    void onboardingOperationDidCompleteAppCreationWithError(KTBOnboardingOperation &operation,
                                                            const MSHErrorResult &error) override;
    void onboardingOperationDidCompleteAppUpdateWithError(KTBOnboardingOperation &operation,
                                                          const MSHErrorResult &error) override;

Q_SIGNALS:
    // "KTBSettingsAvailableNotification": emitted on the thread that finished the download.
    void settingsAvailable();

private:
    KTBSettingsOnboardingManager() = default;

    std::shared_ptr<KTBApplicationIdentiferModel> m_model;
    QString m_settingsDirectory;
    mutable QMutex m_mutex;
    QString m_advertisingToken;
    QString m_APIKey;
    QMap<QString, QString> m_kitVersions;
    QList<QSslCertificate> m_pinnedCertificates;
    std::shared_ptr<KTBSettings> m_settingsModel;
    std::shared_ptr<KTBOnboardingOperation> m_onboardingOperation;
    bool m_hasAttemptedAppConfigure = false;
};

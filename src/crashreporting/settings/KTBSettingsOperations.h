#pragma once
// The two requests of the start-up: downloading the service's settings document (stored as
// "settings.json" only when the answer is a JSON object, replacing the earlier copy in one
// rename) and onboarding, the multipart form that creates (POST) or updates (PUT) the service's
// record of this application.

#include "crashreporting/common/MSHError.h"
#include "crashreporting/network/KTBNetworkOperation.h"

#include <QMap>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <memory>

class KTBApplicationIdentiferModel;
class KTBDownloadAndSaveSettingsOperation;
class KTBMultipartMimeStreamEncoder;
class KTBNetworkTaskUtility;
class KTBOnboardingOperation;

class KTBDownloadAndSaveSettingsOperationDelegate
{
public:
    virtual ~KTBDownloadAndSaveSettingsOperationDelegate() = default;
    virtual void operation(KTBDownloadAndSaveSettingsOperation &operation,
                           const MSHErrorResult &error) = 0;
};

class KTBDownloadAndSaveSettingsOperation final : public KTBNetworkOperation
{
public:
    static const QString errorDomain;

    // Null without an API key. The token is kept only when device identifiers may be reported.
    static std::shared_ptr<KTBDownloadAndSaveSettingsOperation>
    create(const QString &apiKey,
           const std::weak_ptr<KTBDownloadAndSaveSettingsOperationDelegate> &delegate,
           const QUrl &settingsURL, const QString &settingsDirectoryPath,
           const QString &settingsFilePath, const QString &installIdentifier,
           const QString &advertisingToken, const QList<QSslCertificate> &pinnedCertificates);

    // "ReportIdentifiers" of the "Kitbase" dictionary, else the top-level
    // "MishapCollectDeviceIdentifiers"; true when neither is present.
    static bool shouldReportDeviceIdentifiers();

    MSHErrorResult error() const;
    const QUrl &settingsURL() const { return m_settingsURL; }
    const QString &advertisingToken() const { return m_advertisingToken; }
    const std::shared_ptr<KTBNetworkTaskUtility> &networkClient() const { return m_networkClient; }
    MSHURLRequest settingsRequest() const;
    // The downloaded body replaces the stored settings when it is a JSON object; on any failure
    // (a full disk included) the stored file stays as it was.
    MSHErrorResult saveSettings(const QString &downloadedPath);

protected:
    void main() override;

private:
    explicit KTBDownloadAndSaveSettingsOperation(const QString &apiKey)
        : KTBNetworkOperation(apiKey)
    {
    }
    void complete(const MSHErrorResult &error);

    std::weak_ptr<KTBDownloadAndSaveSettingsOperationDelegate> m_delegate;
    QUrl m_settingsURL;
    QString m_settingsDirectoryPath;
    QString m_settingsFilePath;
    QString m_installIdentifier;
    QString m_advertisingToken;
    std::shared_ptr<KTBNetworkTaskUtility> m_networkClient;
    mutable QMutex m_errorMutex;
    MSHErrorResult m_error;
};

class KTBOnboardingOperationDelegate
{
public:
    virtual ~KTBOnboardingOperationDelegate() = default;
    virtual void
    onboardingOperationDidCompleteAppCreationWithError(KTBOnboardingOperation &operation,
                                                       const MSHErrorResult &error) = 0;
    virtual void onboardingOperationDidCompleteAppUpdateWithError(KTBOnboardingOperation &operation,
                                                                  const MSHErrorResult &error) = 0;
};

class KTBOnboardingOperation final : public KTBNetworkOperation
{
public:
    // Null without an API key.
    static std::shared_ptr<KTBOnboardingOperation>
    create(const QString &apiKey, const std::weak_ptr<KTBOnboardingOperationDelegate> &delegate,
           bool shouldCreate, const QMap<QString, QString> &kitVersions,
           const std::shared_ptr<KTBApplicationIdentiferModel> &appIdentifierModel,
           const QString &appEndpoint, const QList<QSslCertificate> &pinnedCertificates);

    bool shouldCreate() const { return m_shouldCreate; }
    MSHErrorResult error() const;
    const QString &appEndpoint() const { return m_appEndpoint; }

    // The form, part by part: the application, its libraries, its slices and its icon.
    static void encodeForm(KTBMultipartMimeStreamEncoder &encoder,
                           const KTBApplicationIdentiferModel &model,
                           const QMap<QString, QString> &kitVersions);
    // The application's name: display name, else name, else build version.
    static QString applicationName();
    // POST base + "/spi/v1/platforms/linux/apps" (2 s) or PUT .../apps/<bundle identifier> (10 s).
    MSHURLRequest onboardingRequestForAppCreate(bool create) const;

protected:
    void main() override;

private:
    explicit KTBOnboardingOperation(const QString &apiKey) : KTBNetworkOperation(apiKey) {}
    void beginAppConfigure();

    bool m_shouldCreate = false;
    std::weak_ptr<KTBOnboardingOperationDelegate> m_delegate;
    QMap<QString, QString> m_kitVersions;
    std::shared_ptr<KTBApplicationIdentiferModel> m_appIdentifierModel;
    QString m_appEndpoint;
    std::shared_ptr<KTBNetworkTaskUtility> m_networkClient;
    mutable QMutex m_errorMutex;
    MSHErrorResult m_error;
};

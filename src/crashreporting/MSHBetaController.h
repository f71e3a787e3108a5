#pragma once
// Asks the service, for builds handed to testers, whether a newer test build exists and keeps it
// as the offer to show. It needs a beta token (this program has none, so start() declines) and a
// build signed for distribution. After each answer it stays quiet for the time the settings give.
// A failed request ends that check only: the next settings notice checks again.

#include "crashreporting/MSHBetaUpdate.h"
#include "crashreporting/common/MSHError.h"
#include "crashreporting/settings/MSHSettings.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class KTBNetworkClient;
class KTBSettingsOnboardingManager;
class MSHBetaController;
class MSHDispatchQueue;

class MSHBetaControllerDelegate
{
public:
    virtual ~MSHBetaControllerDelegate() = default;
    virtual MSHSettings settingsForBetaController(MSHBetaController &controller) = 0;
    virtual QString APIKeyForBetaController(MSHBetaController &controller) = 0;
    // The component's instance identifier, sent with the check.
    virtual QString instanceIdentifierForBetaController(MSHBetaController &controller) = 0;
};

class MSHBetaController final : public std::enable_shared_from_this<MSHBetaController>
{
public:
    using UpdateCompletion =
        std::function<void(const std::optional<MSHBetaUpdate> &, const MSHErrorResult &)>;

    static bool isBetaSupported();
    static QList<QSslCertificate> pinnnedCertificates();
    // The token comes from the build; none here. Settings notices come from the manager.
    static std::shared_ptr<MSHBetaController>
    initWithDelegate(const std::weak_ptr<MSHBetaControllerDelegate> &delegate,
                     const QString &betaToken = QString(),
                     const std::shared_ptr<KTBSettingsOnboardingManager> &settingsNotices = {},
                     const QList<QSslCertificate> &pinnedCertificates = pinnnedCertificates());
    ~MSHBetaController();

    const QString &betaToken() const { return m_betaToken; }
    bool start();
    void checkForUpdate();
    void maybeGetUpdate(UpdateCompletion completion);
    void loadUpdateWithCompletionBlock(UpdateCompletion completion);
    void handledCompletedBetaRequest(const QByteArray &data, const MSHErrorResult &error,
                                     const UpdateCompletion &completion);
    static std::optional<MSHBetaUpdate> updateWithData(const QByteArray &data, MSHError *error);
    void temporarilySuspendChecks();
    void allowChecks();
    bool shouldGetUpdates() const;
    void didGetUpdate(const std::optional<MSHBetaUpdate> &update);
    void showBetaAlertForUpdate(const MSHBetaUpdate &update);
    void kitbaseSettingsDownloaded();
    void applicationWillEnterForeground();
    QUrl betaUpdateURL();

    bool checksSuspended() const { return m_checksSuspended.load(); }
    bool requestInFlight() const { return m_retrying.load(); }
    std::optional<MSHBetaUpdate> activeUpdate() const;
    const std::shared_ptr<MSHDispatchQueue> &queue() const { return m_queue; }

private:
    MSHBetaController() = default;
    MSHSettings settings();

    std::weak_ptr<MSHBetaControllerDelegate> m_delegate;
    std::shared_ptr<MSHDispatchQueue> m_queue;
    QString m_betaToken;
    std::shared_ptr<KTBNetworkClient> m_networkClient;
    std::shared_ptr<KTBSettingsOnboardingManager> m_settingsNotices;
    mutable QMutex m_mutex;
    std::optional<MSHBetaUpdate> m_activeUpdate;
    QPointer<QTimer> m_checkSuspensionTimer;
    std::atomic<bool> m_checksSuspended{false};
    // The in-flight flag of the one request at a time.
    std::atomic<bool> m_retrying{false};
    QMetaObject::Connection m_settingsConnection;
    QMetaObject::Connection m_foregroundConnection;
};

#pragma once
// Usage analytics of the running process (the "Pulse" kit): writes lifecycle and custom events
// into per-priority event files of the open session fragment, follows the service's settings,
// records the previous run's crash, and runs the maintenance cycle that closes fragments,
// packages, uploads, prunes and cleans them. Four serial queues: one per priority for appending
// (each file is written from one queue only) and one for maintenance and settings.

#include "crashreporting/analytics/MSHAnalyticsMetadata.h"
#include "crashreporting/analytics/MSHEventLogEvent.h"
#include "crashreporting/analytics/MSHEventLogSessionRepository.h"
#include "crashreporting/common/MSHError.h"

#include <QDateTime>
#include <QMutex>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class MSHAnalyticsNetworkingClient;
class MSHDispatchQueue;
class MSHEventLogEventFile;
class MSHUserDefaults;
class QObject;
class QTimer;

class MSHAnalyticsController : public std::enable_shared_from_this<MSHAnalyticsController>
{
public:
    static const QString errorDomain; // "MSHAnalyticsControllerErrorDomain"
    static constexpr const char *lastSessionIdentifierKey =
        "com.mishap.insights.lastsessionidentifier";
    static constexpr const char *lastSessionTimestampKey =
        "com.mishap.insights.lastsessiontimestamp";
    static constexpr const char *lastSessionMetadataKey = "com.mishap.insights.lastsessionmetadata";
    static constexpr const char *lastMaintenanceDateKey = "com.mishap.insights.lastmaintenancedate";

    // JSON is always at hand here and there are no application extensions.
    static bool supported();

    // None when the first fragment cannot be prepared. The defaults must outlive the controller.
    static std::shared_ptr<MSHAnalyticsController>
    create(const QString &analyticsRootDirectory, const MSHAnalyticsIdentity &identity,
           MSHUserDefaults &defaults,
           std::shared_ptr<MSHAnalyticsNetworkingClient> networkingClient = {});
    ~MSHAnalyticsController();
    MSHAnalyticsController(const MSHAnalyticsController &) = delete;
    MSHAnalyticsController &operator=(const MSHAnalyticsController &) = delete;

    // Lifecycle events from the running application (becoming active or inactive, quitting).
    void observeApplication();

    void logAppInstalled();
    void logAppLaunched();
    void logCustomEventWithName(const QString &name, const QVariantMap &attributes);
    void logPreviousSessionCrashedOnDate(const QDateTime &date);
    void logEvent(const std::optional<MSHEventLogEvent> &event);
    void applicationLifecycleEvent(MSHEventLogEvent::Lifecycle notification);

    // The service's settings document (none before the first download). Waits until applied.
    void setSettings(const std::optional<QVariantMap> &settings);

    // The maintenance cycle and its steps; completions run on the maintenance queue.
    using Completion = std::function<void(const MSHErrorResult &)>;
    void maintainSessionFragments(Completion completion);
    void maintainSessionFragmentsIgnoringError();
    void openNewSessionFragment(Completion completion);
    void packageClosedSessionFragments(Completion completion);
    void transmitPackagedSessionFragments(Completion completion);
    void pruneSessionFragmentLogFiles(Completion completion);
    void cleanUpRepository(Completion completion);

    // Seconds until the first timer firing: the interval less the time since the last
    // maintenance, at least 0.
    double initialMaintenanceTimeWithFlushInterval(double interval);
    QDateTime lastMaintenanceDate();
    void saveLastMaintenanceDate(const QDateTime &date);

    const QString &sessionIdentifier() const { return m_identity.sessionIdentifier; }
    uint64_t sessionTimestamp() const { return m_sessionTimestamp; }
    QString currentSessionFragmentDirectory() const;
    const QByteArray &metadataJSONData() const { return m_metadataJSON; }
    const QString &analyticsRootDirectory() const { return m_root; }
    MSHEventLogSessionRepository &repository() { return m_repository; }
    MSHDispatchQueue &sessionMaintenanceQueue() { return *m_maintenanceQueue; }
    // The appending queue of a priority; none for another priority.
    MSHDispatchQueue *loggingQueue(uint64_t priority) const;
    // The previous run's session as read at creation (all three or none).
    std::optional<QString> lastSessionIdentifier() const { return m_lastSessionIdentifier; }
    bool performSessionMaintenanceAfterSettingsArrive() const;
    bool hasMaintenanceTimer() const;

    static constexpr int maxCustomEventAttributeCount = 20;
    static constexpr int maxCustomEventAttributeSize = 100;
    // At most the given UTF-16 units, never half of a surrogate pair.
    static QString truncatedAttributeValue(const QString &value, int size);
    // The accepted attributes of a custom event (the first 20 accepted ones; strings cut to 100
    // characters).
    static QVariantMap filterCustomAttributes(const QVariantMap &attributes);

    void dispatchToQueue(MSHDispatchQueue &queue, bool asynchronous,
                         const std::function<void()> &block);

private:
    struct Settings {
        bool haveSettings = false;
        bool collectAnalytics = false;
        QUrl analyticsURL;
        bool flushOnBackground = false;
        uint64_t maxByteSizePerFile = 0;
        uint32_t flushIntervalSecs = 0;
        uint32_t maxPendingSendFileCount = 0;
        bool trackCustomEvents = true;
    };

    MSHAnalyticsController(const QString &root, const MSHAnalyticsIdentity &identity,
                           MSHUserDefaults &defaults,
                           std::shared_ptr<MSHAnalyticsNetworkingClient> networkingClient);
    Settings settings() const;
    bool analyticsFeatureSwitchEnabled() const;
    bool customEventsFeatureSwitchEnabled() const;
    bool prepareNewSessionFragment(const QString &identifier, uint64_t timestamp, MSHError *error);
    bool ensureLogFileExistsForPriority(uint64_t priority, MSHError *error);
    void appendOnLoggingQueue(const MSHEventLogEvent &event);
    void readLastSessionInformation();
    void saveCurrentSessionInformation();
    void handleDisabledFeatureSwitch();
    void scheduleSessionMaintenance();
    void cancelSessionMaintenance();
    void runMaintenanceSteps(Completion completion);
    MSHErrorResult runOpenNewSessionFragment();
    MSHErrorResult runPackageClosedSessionFragments();
    MSHErrorResult runPruneSessionFragmentLogFiles();
    MSHErrorResult runCleanUpRepository();
    void runTransmitPackagedSessionFragments(Completion completion);
    void transmitNextPackagedSessionFragment(Completion completion);
    static MSHError controllerError(int code, const QString &description);

    QString m_root;
    MSHAnalyticsIdentity m_identity;
    MSHUserDefaults &m_defaults;
    uint64_t m_sessionTimestamp = 0;
    QByteArray m_metadataJSON;
    MSHEventLogSessionRepository m_repository;
    std::shared_ptr<MSHAnalyticsNetworkingClient> m_networkingClient;

    std::unique_ptr<MSHDispatchQueue> m_maintenanceQueue;
    std::array<std::unique_ptr<MSHDispatchQueue>, 3> m_loggingQueues;
    // Per priority; each slot touched only on its own logging queue.
    std::array<QString, 3> m_fileURLs;
    std::array<std::unique_ptr<MSHEventLogEventFile>, 3> m_files;

    mutable QMutex m_mutex; // guards the fields below
    Settings m_settings;
    QString m_fragmentIdentifier;
    uint64_t m_fragmentTimestamp = 0;
    QString m_fragmentDirectory;
    bool m_performMaintenanceAfterSettings = false;
    bool m_loggedAnalyticsEnabled = false;

    // Maintenance-queue state.
    QTimer *m_timer = nullptr;
    std::optional<QStringList> m_fragmentsToTransmit;

    std::optional<QString> m_lastSessionIdentifier;
    uint64_t m_lastSessionTimestamp = 0;
    QByteArray m_lastSessionMetadata;
    QObject *m_observer = nullptr;
};

#include "crashreporting/analytics/MSHAnalyticsController.h"

#include "crashreporting/analytics/MSHAnalyticsNetworkingClient.h"
#include "crashreporting/analytics/MSHEventLogEventFile.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSemaphore>
#include <QTimer>

const QString MSHAnalyticsController::errorDomain =
    QStringLiteral("MSHAnalyticsControllerErrorDomain");

namespace
{
const char *const logPrefix = "[Mishap:Pulse]";

void debugLog(const QString &message)
{
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
}

QVariantMap mapValue(const QVariantMap &map, const QString &key)
{
    return map.value(key).toMap();
}
} // namespace

bool MSHAnalyticsController::supported()
{
    return true;
}

MSHAnalyticsController::MSHAnalyticsController(
    const QString &root, const MSHAnalyticsIdentity &identity, MSHUserDefaults &defaults,
    std::shared_ptr<MSHAnalyticsNetworkingClient> networkingClient)
    : m_root(QDir::cleanPath(root)), m_identity(identity), m_defaults(defaults), m_repository(root),
      m_networkingClient(std::move(networkingClient))
{
}

std::shared_ptr<MSHAnalyticsController>
MSHAnalyticsController::create(const QString &analyticsRootDirectory,
                               const MSHAnalyticsIdentity &identity, MSHUserDefaults &defaults,
                               std::shared_ptr<MSHAnalyticsNetworkingClient> networkingClient)
{
    if (!networkingClient)
        networkingClient = std::make_shared<MSHAnalyticsNetworkingClient>();
    // The last owner may be a block running on one of the controller's own queues, which cannot
    // wait for itself to stop: the controller then goes away on the main thread.
    std::shared_ptr<MSHAnalyticsController> controller(
        new MSHAnalyticsController(analyticsRootDirectory, identity, defaults, networkingClient),
        [](MSHAnalyticsController *owned) {
            bool onOwnQueue = owned->m_maintenanceQueue && owned->m_maintenanceQueue->isCurrent();
            for (const auto &queue : owned->m_loggingQueues)
                onOwnQueue = onOwnQueue || (queue && queue->isCurrent());
            QCoreApplication *application = QCoreApplication::instance();
            if (onOwnQueue && application)
                QMetaObject::invokeMethod(
                    application, [owned] { delete owned; }, Qt::QueuedConnection);
            else if (!onOwnQueue)
                delete owned;
        });
    MSHAnalyticsController &self = *controller;
    self.m_sessionTimestamp = MSHAnalyticsGenerateTimestamp();
    self.m_metadataJSON = MSHAnalyticsMetadata::metadataJSONData(self.m_sessionTimestamp, identity);
    self.m_maintenanceQueue =
        std::make_unique<MSHDispatchQueue>("com.mishap.analytics.maintenance");
    self.m_loggingQueues[0] =
        std::make_unique<MSHDispatchQueue>("com.mishap.analytics.high-priority");
    self.m_loggingQueues[1] =
        std::make_unique<MSHDispatchQueue>("com.mishap.analytics.medium-priority");
    self.m_loggingQueues[2] =
        std::make_unique<MSHDispatchQueue>("com.mishap.analytics.low-priority");

    MSHError error;
    const bool prepared = self.prepareNewSessionFragment(MSHAnalyticsGenerateIdentifier(),
                                                         self.m_sessionTimestamp, &error);
    if (!prepared)
        debugLog(QStringLiteral("Unable to prepare new session fragment {error: %1}")
                     .arg(error.description));
    self.readLastSessionInformation();
    self.saveCurrentSessionInformation();
    if (!prepared)
        return nullptr;
    self.setSettings(std::nullopt);
    return controller;
}

MSHAnalyticsController::~MSHAnalyticsController()
{
    delete m_observer;
    if (m_maintenanceQueue)
        m_maintenanceQueue->sync([this] { cancelSessionMaintenance(); });
    for (std::size_t priority = 0; priority < 3; ++priority) {
        if (m_loggingQueues[priority])
            m_loggingQueues[priority]->sync([this, priority] { m_files[priority].reset(); });
    }
}

void MSHAnalyticsController::observeApplication()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || m_observer)
        return;
    m_observer = new QObject;
    m_observer->moveToThread(application->thread());
    const std::weak_ptr<MSHAnalyticsController> weak = weak_from_this();
    if (auto *gui = qobject_cast<QGuiApplication *>(application)) {
        QObject::connect(
            gui, &QGuiApplication::applicationStateChanged, m_observer,
            [weak](Qt::ApplicationState state) {
                const auto self = weak.lock();
                if (!self)
                    return;
                if (state == Qt::ApplicationActive)
                    self->applicationLifecycleEvent(MSHEventLogEvent::Lifecycle::DidBecomeActive);
                else if (state == Qt::ApplicationInactive)
                    self->applicationLifecycleEvent(MSHEventLogEvent::Lifecycle::WillResignActive);
            });
    }
    QObject::connect(application, &QCoreApplication::aboutToQuit, m_observer, [weak] {
        if (const auto self = weak.lock())
            self->applicationLifecycleEvent(MSHEventLogEvent::Lifecycle::WillTerminate);
    });
}

// ---- Settings

MSHAnalyticsController::Settings MSHAnalyticsController::settings() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings;
}

bool MSHAnalyticsController::analyticsFeatureSwitchEnabled() const
{
    const Settings current = settings();
    return !current.haveSettings || current.collectAnalytics;
}

bool MSHAnalyticsController::customEventsFeatureSwitchEnabled() const
{
    const Settings current = settings();
    return !current.haveSettings || (current.collectAnalytics && current.trackCustomEvents);
}

bool MSHAnalyticsController::performSessionMaintenanceAfterSettingsArrive() const
{
    QMutexLocker lock(&m_mutex);
    return m_performMaintenanceAfterSettings;
}

void MSHAnalyticsController::setSettings(const std::optional<QVariantMap> &document)
{
    dispatchToQueue(*m_maintenanceQueue, false, [this, document] {
        Settings next;
        next.haveSettings = document.has_value();
        if (document) {
            next.collectAnalytics = mapValue(*document, QStringLiteral("features"))
                                        .value(QStringLiteral("collect_analytics"))
                                        .toBool();
            const QVariantMap analytics = mapValue(*document, QStringLiteral("analytics"));
            if (next.collectAnalytics)
                debugLog(
                    QStringLiteral("Pulse enabled with settings: %1")
                        .arg(QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(analytics))
                                                   .toJson(QJsonDocument::Compact))));
            const QString url = analytics.value(QStringLiteral("url")).toString();
            next.analyticsURL = url.isEmpty() ? QUrl() : QUrl(url);
            next.flushOnBackground =
                analytics.value(QStringLiteral("flush_on_background")).toBool();
            next.maxByteSizePerFile =
                analytics.value(QStringLiteral("max_byte_size_per_file")).toULongLong();
            next.flushIntervalSecs =
                analytics.value(QStringLiteral("flush_interval_secs")).toUInt();
            next.maxPendingSendFileCount =
                analytics.value(QStringLiteral("max_pending_send_file_count")).toUInt();
            next.trackCustomEvents =
                analytics.value(QStringLiteral("track_custom_events")).toBool();
        }
        {
            QMutexLocker lock(&m_mutex);
            m_settings = next;
        }
        scheduleSessionMaintenance();
        handleDisabledFeatureSwitch();
        if (!next.haveSettings || !next.collectAnalytics)
            return;
        bool logFolder = false;
        {
            QMutexLocker lock(&m_mutex);
            logFolder = !m_loggedAnalyticsEnabled;
        }
        if (logFolder) {
            const auto folder =
                m_repository.sessionDirectory(MSHEventLogSessionRepository::activeStateName,
                                              m_identity.sessionIdentifier, m_sessionTimestamp);
            if (folder) {
                debugLog(QStringLiteral("Logging events to session directory %1").arg(*folder));
                QMutexLocker lock(&m_mutex);
                m_loggedAnalyticsEnabled = true;
            }
        }
        if (performSessionMaintenanceAfterSettingsArrive())
            maintainSessionFragmentsIgnoringError();
    });
}

void MSHAnalyticsController::handleDisabledFeatureSwitch()
{
    if (analyticsFeatureSwitchEnabled())
        return;
    debugLog(QStringLiteral("Pulse is disabled. Cleaning up session directory"));
    if (QFileInfo::exists(m_root)) {
        for (std::size_t priority = 0; priority < 3; ++priority) {
            m_loggingQueues[priority]->sync([this, priority] {
                m_files[priority].reset();
                m_fileURLs[priority].clear();
            });
        }
        if (!QDir(m_root).removeRecursively())
            debugLog(
                QStringLiteral("Unable to purge analytics directory {error = %1}").arg(m_root));
    }
    QMutexLocker lock(&m_mutex);
    m_performMaintenanceAfterSettings = false;
}

// ---- Session information

void MSHAnalyticsController::readLastSessionInformation()
{
    const QVariant identifier = m_defaults.objectForKey(QLatin1String(lastSessionIdentifierKey));
    const QVariant timestamp = m_defaults.objectForKey(QLatin1String(lastSessionTimestampKey));
    const QVariant metadata = m_defaults.objectForKey(QLatin1String(lastSessionMetadataKey));
    bool numeric = false;
    const qulonglong timestampValue = timestamp.toULongLong(&numeric);
    if (identifier.typeId() != QMetaType::QString || !numeric ||
        timestamp.typeId() == QMetaType::QString || timestamp.typeId() == QMetaType::QByteArray ||
        metadata.typeId() != QMetaType::QByteArray)
        return;
    m_lastSessionIdentifier = identifier.toString();
    m_lastSessionTimestamp = timestampValue;
    m_lastSessionMetadata = metadata.toByteArray();
}

void MSHAnalyticsController::saveCurrentSessionInformation()
{
    m_defaults.setObject(m_identity.sessionIdentifier, QLatin1String(lastSessionIdentifierKey));
    m_defaults.setObject(QVariant::fromValue(qulonglong(m_sessionTimestamp)),
                         QLatin1String(lastSessionTimestampKey));
    m_defaults.setObject(m_metadataJSON, QLatin1String(lastSessionMetadataKey));
    m_defaults.synchronize();
}

// ---- Events

QString MSHAnalyticsController::truncatedAttributeValue(const QString &value, int size)
{
    if (value.size() <= size)
        return value;
    qsizetype cut = size;
    if (cut > 0 && value.at(cut - 1).isHighSurrogate())
        --cut;
    return value.left(cut);
}

QVariantMap MSHAnalyticsController::filterCustomAttributes(const QVariantMap &attributes)
{
    QVariantMap accepted;
    // Only accepted entries count: a refused one leaves its place to the next.
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        if (accepted.size() == maxCustomEventAttributeCount) {
            MSHLog("[Mishap]", QStringLiteral("Maximum number of Event attributes exceeded. "
                                              "Ignoring last %1 attributes ")
                                   .arg(attributes.size() - maxCustomEventAttributeCount));
            break;
        }
        const QVariant &value = it.value();
        const int type = value.typeId();
        if (type == QMetaType::QString) {
            const QString text = value.toString();
            const QString cut = truncatedAttributeValue(text, maxCustomEventAttributeSize);
            if (cut.size() != text.size())
                MSHLog("[Mishap]", QStringLiteral("Maximum length for an Event attributes "
                                                  "exceeded. Truncating to %1 characters.")
                                       .arg(maxCustomEventAttributeSize));
            accepted.insert(it.key(), cut);
        } else if (type == QMetaType::Int || type == QMetaType::UInt ||
                   type == QMetaType::LongLong || type == QMetaType::ULongLong ||
                   type == QMetaType::Double || type == QMetaType::Float ||
                   type == QMetaType::Bool) {
            accepted.insert(it.key(), value);
        } else {
            MSHLog("[Mishap]", QStringLiteral("Event attribute values must be of type NSString or "
                                              "NSNumber. Ignoring entry %1:%2")
                                   .arg(it.key(), value.toString()));
        }
    }
    return accepted;
}

void MSHAnalyticsController::logAppInstalled()
{
    logEvent(MSHEventLogEvent::applicationInstalledEvent(MSHAnalyticsGenerateTimestamp(),
                                                         MSHAnalyticsGenerateIdentifier()));
}

void MSHAnalyticsController::logAppLaunched()
{
    logEvent(MSHEventLogEvent::applicationLaunchedEvent(MSHAnalyticsGenerateTimestamp(),
                                                        MSHAnalyticsGenerateIdentifier()));
}

void MSHAnalyticsController::applicationLifecycleEvent(MSHEventLogEvent::Lifecycle notification)
{
    logEvent(MSHEventLogEvent::applicationLifecycleEvent(
        notification, MSHAnalyticsGenerateTimestamp(), MSHAnalyticsGenerateIdentifier(),
        settings().flushOnBackground));
}

void MSHAnalyticsController::logCustomEventWithName(const QString &name,
                                                    const QVariantMap &attributes)
{
    if (!analyticsFeatureSwitchEnabled()) {
        MSHLog(logPrefix, QStringLiteral("Pulse is disabled for this application. Please enable "
                                         "Pulse on your dashboard."));
        return;
    }
    if (!customEventsFeatureSwitchEnabled()) {
        MSHLog(logPrefix, QStringLiteral("Custom Event tracking is disabled for this "
                                         "application. Ignoring event named=%1")
                              .arg(name));
        return;
    }
    logEvent(MSHEventLogEvent::customEvent(name, filterCustomAttributes(attributes),
                                           MSHAnalyticsGenerateTimestamp(),
                                           MSHAnalyticsGenerateIdentifier()));
}

MSHDispatchQueue *MSHAnalyticsController::loggingQueue(uint64_t priority) const
{
    return priority < 3 ? m_loggingQueues[priority].get() : nullptr;
}

void MSHAnalyticsController::dispatchToQueue(MSHDispatchQueue &queue, bool asynchronous,
                                             const std::function<void()> &block)
{
    if (!asynchronous) {
        queue.sync(block);
        return;
    }
    const std::weak_ptr<MSHAnalyticsController> weak = weak_from_this();
    queue.async([weak, block] {
        if (const auto self = weak.lock())
            block();
    });
}

void MSHAnalyticsController::logEvent(const std::optional<MSHEventLogEvent> &event)
{
    if (!event || !analyticsFeatureSwitchEnabled())
        return;
    MSHDispatchQueue *queue = loggingQueue(event->priority());
    if (!queue)
        return;
    const MSHEventLogEvent copy = *event;
    dispatchToQueue(*queue, event->priority() == 2, [this, copy] { appendOnLoggingQueue(copy); });
}

bool MSHAnalyticsController::ensureLogFileExistsForPriority(uint64_t priority, MSHError *error)
{
    if (m_files[priority])
        return true;
    if (m_fileURLs[priority].isEmpty()) {
        *error = MSHAnalyticsFileError(QStringLiteral("No open session fragment"));
        return false;
    }
    auto file = MSHEventLogEventFile::create(m_fileURLs[priority], error);
    if (!file)
        return false;
    uint64_t fragmentTimestamp = 0;
    {
        QMutexLocker lock(&m_mutex);
        fragmentTimestamp = m_fragmentTimestamp;
    }
    if (!file->appendEvent(
            MSHEventLogEvent::metadataEvent(priority, fragmentTimestamp, m_metadataJSON), error))
        return false;
    m_files[priority] = std::move(file);
    return true;
}

void MSHAnalyticsController::appendOnLoggingQueue(const MSHEventLogEvent &event)
{
    const uint64_t priority = event.priority();
    MSHError error;
    if (!ensureLogFileExistsForPriority(priority, &error)) {
        debugLog(QStringLiteral("Unable to create a new log file for priority %1 {error: %2}")
                     .arg(priority)
                     .arg(error.description));
        return;
    }
    if (!m_files[priority]->appendEvent(event, &error)) {
        debugLog(QStringLiteral("Unable to log event {error: %1}").arg(error.description));
        return;
    }
    const Settings current = settings();
    if (current.maxByteSizePerFile != 0 &&
        m_files[priority]->fileSize() > current.maxByteSizePerFile) {
        maintainSessionFragmentsIgnoringError();
    } else if (priority == 0) {
        if (current.haveSettings) {
            maintainSessionFragmentsIgnoringError();
        } else {
            QMutexLocker lock(&m_mutex);
            m_performMaintenanceAfterSettings = true;
        }
    }
}

// ---- Fragments

QString MSHAnalyticsController::currentSessionFragmentDirectory() const
{
    QMutexLocker lock(&m_mutex);
    return m_fragmentDirectory;
}

bool MSHAnalyticsController::prepareNewSessionFragment(const QString &identifier,
                                                       uint64_t timestamp, MSHError *error)
{
    const auto folder = m_repository.sessionFragmentDirectory(
        MSHEventLogSessionRepository::activeStateName, m_identity.sessionIdentifier,
        m_sessionTimestamp, identifier, timestamp, error);
    if (!folder)
        return false;
    std::array<QString, 3> urls;
    for (int priority = 0; priority < 3; ++priority)
        urls[std::size_t(priority)] = QDir(*folder).filePath(
            *MSHEventLogSessionRepository::activeEventLogFileNameForPriority(priority));
    {
        QMutexLocker lock(&m_mutex);
        m_fragmentIdentifier = identifier;
        m_fragmentTimestamp = timestamp;
        m_fragmentDirectory = *folder;
    }
    // The slots change on their own queues; a queue that does not answer within 5 seconds
    // fails the switch.
    const auto done = std::make_shared<QSemaphore>();
    for (std::size_t priority = 0; priority < 3; ++priority) {
        const QString url = urls[priority];
        m_loggingQueues[priority]->async([this, priority, url, done] {
            m_files[priority].reset();
            m_fileURLs[priority] = url;
            done->release();
        });
    }
    if (!done->tryAcquire(3, 5000)) {
        *error = MSHAnalyticsFileError(QStringLiteral("Timed out switching session fragments"));
        return false;
    }
    return true;
}

void MSHAnalyticsController::openNewSessionFragment(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true, [this, completion] {
        const MSHErrorResult error = runOpenNewSessionFragment();
        if (completion)
            completion(error);
    });
}

MSHErrorResult MSHAnalyticsController::runOpenNewSessionFragment()
{
    MSHError error;
    if (!prepareNewSessionFragment(MSHAnalyticsGenerateIdentifier(),
                                   MSHAnalyticsGenerateTimestamp(), &error))
        return error;
    return std::nullopt;
}

// ---- Previous run's crash

void MSHAnalyticsController::logPreviousSessionCrashedOnDate(const QDateTime &date)
{
    dispatchToQueue(*m_maintenanceQueue, true, [this, date] {
        debugLog(QStringLiteral("Logging previous session crashed event {date: %1}")
                     .arg(date.toString(Qt::ISODate)));
        if (!date.isValid() || !m_lastSessionIdentifier)
            return;
        const uint64_t timestamp = uint64_t(std::max<qint64>(0, date.toSecsSinceEpoch())) * 1000;
        const auto crash =
            MSHEventLogEvent::applicationCrashedEvent(timestamp, MSHAnalyticsGenerateIdentifier());
        if (!crash)
            return;
        const MSHEventLogEvent metadata =
            MSHEventLogEvent::metadataEvent(crash->priority(), timestamp, m_lastSessionMetadata);
        MSHError error;
        const auto path = m_repository.eventLogFile(
            MSHEventLogSessionRepository::activeStateName, *m_lastSessionIdentifier,
            m_lastSessionTimestamp, MSHAnalyticsGenerateIdentifier(), timestamp,
            int64_t(crash->priority()), &error);
        auto file = path ? MSHEventLogEventFile::create(*path, &error) : nullptr;
        if (!file) {
            debugLog(QStringLiteral("Unable to create a new session fragment to contain crash "
                                    "event {error: %1}")
                         .arg(error.description));
            return;
        }
        if (!file->appendEvent(metadata, &error)) {
            debugLog(
                QStringLiteral("Unable to log metadata event {error: %1}").arg(error.description));
            file.reset();
            m_repository.removeLogFile(*path);
        } else if (!file->appendEvent(*crash, &error)) {
            debugLog(
                QStringLiteral("Unable to log crash event {error: %1}").arg(error.description));
            file.reset();
            m_repository.removeLogFile(*path);
        }
    });
}

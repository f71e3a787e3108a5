// The maintenance cycle: close the open fragment, package closed fragments, upload packaged ones,
// prune waiting files, clean the folder tree and remember when it ran.

#include "crashreporting/analytics/MSHAnalyticsController.h"

#include "crashreporting/analytics/MSHAnalyticsNetworkingClient.h"
#include "crashreporting/analytics/MSHEventLogEventFile.h"
#include "crashreporting/capture/MSHGzip.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"
#include "foundation/TWClock.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace
{
const char *const logPrefix = "[Mishap:Pulse]";

void debugLog(const QString &message)
{
    if (KTBDebugEnabled())
        MSHLog(logPrefix, message);
}

QString describe(const MSHErrorResult &error)
{
    return error ? error->description : QString();
}
} // namespace

MSHError MSHAnalyticsController::controllerError(int code, const QString &description)
{
    MSHError error;
    error.domain = errorDomain;
    error.code = code;
    error.description = description;
    return error;
}

void MSHAnalyticsController::maintainSessionFragments(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true,
                    [this, completion] { runMaintenanceSteps(completion); });
}

void MSHAnalyticsController::maintainSessionFragmentsIgnoringError()
{
    maintainSessionFragments([](const MSHErrorResult &error) {
        if (error)
            debugLog(QStringLiteral("Unable to maintain session fragments {%1}")
                         .arg(error->description));
    });
}

void MSHAnalyticsController::runMaintenanceSteps(Completion completion)
{
    if (const MSHErrorResult error = runOpenNewSessionFragment())
        debugLog(QStringLiteral("Unable to open new session fragment {%1}").arg(describe(error)));
    if (const MSHErrorResult error = runPackageClosedSessionFragments())
        debugLog(
            QStringLiteral("Unable to package closed session fragments {%1}").arg(describe(error)));
    const std::weak_ptr<MSHAnalyticsController> weak = weak_from_this();
    runTransmitPackagedSessionFragments([weak, completion](const MSHErrorResult &error) {
        const auto self = weak.lock();
        if (!self)
            return;
        if (error)
            debugLog(QStringLiteral("Unable to transmit packaged session fragments {%1}")
                         .arg(describe(error)));
        else
            debugLog(QStringLiteral("Successfully transmitted packaged session fragments"));
        if (const MSHErrorResult pruning = self->runPruneSessionFragmentLogFiles())
            debugLog(QStringLiteral("Unable to prune session fragment log files {%1}")
                         .arg(describe(pruning)));
        if (const MSHErrorResult cleaning = self->runCleanUpRepository())
            debugLog(QStringLiteral("Unable to clean up session repository {%1}")
                         .arg(describe(cleaning)));
        self->saveLastMaintenanceDate(TWClock::now());
        if (completion)
            completion(std::nullopt);
    });
}

// ---- Packaging

void MSHAnalyticsController::packageClosedSessionFragments(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true, [this, completion] {
        const MSHErrorResult error = runPackageClosedSessionFragments();
        if (completion)
            completion(error);
    });
}

MSHErrorResult MSHAnalyticsController::runPackageClosedSessionFragments()
{
    MSHError error;
    if (!m_repository.purgePrepSessionFragmentDirectories(
            MSHEventLogSessionRepository::packagedStateName, &error))
        debugLog(QStringLiteral("Unable to purge packaged prep session fragments {error = %1}")
                     .arg(error.description));
    const auto fragments = m_repository.sessionFragmentDirectories(
        MSHEventLogSessionRepository::activeStateName, &error);
    if (!fragments)
        return error;
    const QString open =
        MSHEventLogSessionRepository::standardized(currentSessionFragmentDirectory());
    for (const QString &fragment : *fragments) {
        if (MSHEventLogSessionRepository::standardized(fragment) == open)
            continue;
        const auto prep = m_repository.prepSessionFragmentDirectory(
            MSHEventLogSessionRepository::packagedStateName, fragment, &error);
        if (!prep)
            return error;
        const auto items = m_repository.contentsOfDirectory(fragment, &error);
        if (!items)
            return error;
        for (const QString &item : *items) {
            const QFileInfo info(item);
            if (info.suffix() != QLatin1String("log"))
                continue;
            const QString target = QDir(*prep).filePath(info.fileName() + QStringLiteral(".zip"));
            if (MSHGzipCompressFile(QFile::encodeName(item).constData(),
                                    QFile::encodeName(target).constData()) != 0)
                return MSHAnalyticsFileError(QStringLiteral("Unable to compress %1").arg(item));
        }
        if (!m_repository.removePrepStatus(*prep, &error))
            return error;
        if (!m_repository.removeSessionFragmentDirectory(fragment, &error))
            return error;
    }
    return std::nullopt;
}

// ---- Upload

void MSHAnalyticsController::transmitPackagedSessionFragments(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true,
                    [this, completion] { runTransmitPackagedSessionFragments(completion); });
}

void MSHAnalyticsController::runTransmitPackagedSessionFragments(Completion completion)
{
    const QUrl url = settings().analyticsURL;
    if (!KTBNetworkResponseHandler::isServiceURL(url)) {
        completion(controllerError(-2, QStringLiteral("No analytics URL")));
        return;
    }
    if (m_fragmentsToTransmit) {
        completion(controllerError(-1, QStringLiteral("An upload is already in progress")));
        return;
    }
    MSHError error;
    const auto fragments = m_repository.sessionFragmentDirectories(
        MSHEventLogSessionRepository::packagedStateName, &error);
    if (!fragments) {
        completion(error);
        return;
    }
    m_fragmentsToTransmit = QStringList();
    // A packaging folder left by a failed packaging is not a fragment to send.
    for (const QString &fragment : *fragments) {
        if (!MSHEventLogSessionRepository::isPrepDirectory(fragment))
            m_fragmentsToTransmit->append(fragment);
    }
    transmitNextPackagedSessionFragment(std::move(completion));
}

void MSHAnalyticsController::transmitNextPackagedSessionFragment(Completion completion)
{
    if (!m_fragmentsToTransmit || m_fragmentsToTransmit->isEmpty()) {
        m_fragmentsToTransmit.reset();
        completion(std::nullopt);
        return;
    }
    const QString fragment = m_fragmentsToTransmit->first();
    debugLog(QStringLiteral("Transmitting packaged session fragments in %1").arg(fragment));
    const QStringList files =
        m_repository.logFilesForSessionFragmentDirectory(fragment).value_or(QStringList());
    const std::weak_ptr<MSHAnalyticsController> weak = weak_from_this();
    m_networkingClient->transmitLogFiles(
        files, settings().analyticsURL, m_identity.APIKey,
        [weak, fragment, completion](const MSHErrorResult &error) {
            const auto self = weak.lock();
            if (!self)
                return;
            // The answer arrives on the client's queue; the pass goes on on the maintenance queue.
            self->m_maintenanceQueue->async([weak, fragment, completion, error] {
                const auto controller = weak.lock();
                if (!controller)
                    return;
                if (!error) {
                    MSHError removal;
                    if (!controller->m_repository.removeSessionFragmentDirectory(fragment,
                                                                                 &removal))
                        debugLog(QStringLiteral("Unable to delete session fragment directory "
                                                "\"%1\" {%2}")
                                     .arg(fragment, removal.description));
                }
                if (controller->m_fragmentsToTransmit)
                    controller->m_fragmentsToTransmit->removeAll(fragment);
                controller->transmitNextPackagedSessionFragment(completion);
            });
        });
}

// ---- Pruning and clean-up

void MSHAnalyticsController::pruneSessionFragmentLogFiles(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true, [this, completion] {
        const MSHErrorResult error = runPruneSessionFragmentLogFiles();
        if (completion)
            completion(error);
    });
}

MSHErrorResult MSHAnalyticsController::runPruneSessionFragmentLogFiles()
{
    const Settings current = settings();
    if (!current.haveSettings)
        return std::nullopt;
    MSHError error;
    const auto all = m_repository.logFilesForAllStates(&error);
    if (!all)
        return error;
    const QString open =
        MSHEventLogSessionRepository::standardized(currentSessionFragmentDirectory());
    QStringList waiting;
    for (const QString &file : *all) {
        if (MSHEventLogSessionRepository::standardized(
                MSHEventLogSessionRepository::parentDirectory(file)) != open)
            waiting.append(file);
    }
    qsizetype count = waiting.size();
    const qsizetype limit = qsizetype(current.maxPendingSendFileCount);
    if (count <= limit)
        return std::nullopt;
    QMap<int, QStringList> groups;
    for (const QString &file : std::as_const(waiting)) {
        const int priority = MSHEventLogSessionRepository::priorityForEventLogFileWithName(
            QFileInfo(file).fileName());
        if (priority >= 0)
            groups[priority].append(file);
    }
    for (QStringList &group : groups)
        std::sort(group.begin(), group.end());
    while (count > limit) {
        while (!groups.isEmpty() && groups.last().isEmpty())
            groups.erase(std::prev(groups.end()));
        if (groups.isEmpty())
            return controllerError(-3, QStringLiteral("No file left to prune"));
        const QString file = groups.last().takeFirst();
        if (!m_repository.removeLogFile(file, &error))
            return error;
        --count;
    }
    return std::nullopt;
}

void MSHAnalyticsController::cleanUpRepository(Completion completion)
{
    dispatchToQueue(*m_maintenanceQueue, true, [this, completion] {
        const MSHErrorResult error = runCleanUpRepository();
        if (completion)
            completion(error);
    });
}

MSHErrorResult MSHAnalyticsController::runCleanUpRepository()
{
    MSHError error;
    if (!m_repository.cleanUpEventLogRepositoryIgnoringSessionFragmentDirectory(
            currentSessionFragmentDirectory(), &error))
        return error;
    return std::nullopt;
}

// ---- Timer

QDateTime MSHAnalyticsController::lastMaintenanceDate()
{
    const QVariant stored = m_defaults.objectForKey(QLatin1String(lastMaintenanceDateKey));
    if (stored.typeId() == QMetaType::QDateTime && stored.toDateTime().isValid())
        return stored.toDateTime();
    const QDateTime now = TWClock::now();
    saveLastMaintenanceDate(now);
    return now;
}

void MSHAnalyticsController::saveLastMaintenanceDate(const QDateTime &date)
{
    m_defaults.setObject(date, QLatin1String(lastMaintenanceDateKey));
    m_defaults.synchronize();
}

double MSHAnalyticsController::initialMaintenanceTimeWithFlushInterval(double interval)
{
    const double since = double(lastMaintenanceDate().msecsTo(TWClock::now())) / 1000.0;
    return std::max(0.0, interval - since);
}

bool MSHAnalyticsController::hasMaintenanceTimer() const
{
    bool has = false;
    m_maintenanceQueue->sync([this, &has] { has = m_timer != nullptr; });
    return has;
}

void MSHAnalyticsController::cancelSessionMaintenance()
{
    delete m_timer;
    m_timer = nullptr;
}

void MSHAnalyticsController::scheduleSessionMaintenance()
{
    cancelSessionMaintenance();
    const Settings current = settings();
    if (!analyticsFeatureSwitchEnabled() || !current.haveSettings || current.flushIntervalSecs == 0)
        return;
    const auto toMilliseconds = [](double seconds) {
        return int(std::clamp(seconds * 1000.0, 0.0, double(INT_MAX)));
    };
    const int interval = toMilliseconds(double(current.flushIntervalSecs));
    const int first =
        toMilliseconds(initialMaintenanceTimeWithFlushInterval(double(current.flushIntervalSecs)));
    m_timer = new QTimer;
    const std::weak_ptr<MSHAnalyticsController> weak = weak_from_this();
    QTimer *timer = m_timer;
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [weak, timer, interval] {
        if (timer->interval() != interval)
            timer->setInterval(interval);
        if (const auto self = weak.lock())
            self->maintainSessionFragmentsIgnoringError();
    });
    m_timer->start(first);
}

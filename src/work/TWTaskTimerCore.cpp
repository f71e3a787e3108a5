#include "work/TWTaskTimerCore.h"

#include "store/TWBusiness.h"
#include "store/TWNotifications.h"
#include "store/TWWorkTotals.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"

#include <QLocale>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace
{

// Idle time below this is activity: a source that counts in milliseconds is
// never exactly 0.
constexpr double kActiveWithin = 1.0;

QString orUntitled(const QString &name)
{
    return name.isEmpty() ? TWLocalized("untitled") : name;
}

template <typename T> qint32 identifierIn(const TWNotification &notification, const QString &key)
{
    const auto record = notification.userInfo.value(key).value<std::shared_ptr<T>>();
    return record ? record->identifier() : 0;
}

} // namespace

TWTaskTimerCore::TWTaskTimerCore(TWTaskTimerHost *host, QObject *parent)
    : QObject(parent), m_host(host),
      m_idleSource([] { return TWUtilities::utilities().idleTime(); })
{
}

TWTaskTimerCore::~TWTaskTimerCore()
{
    // The timer goes with this object; nothing is written any more.
    delete m_timer;
}

bool TWTaskTimerCore::canTimeTask(const TWTaskPtr &task, TWBusiness &business)
{
    if (!task)
        return false;
    const TWTaskPtr stored = business.taskWithIdentifier(task->identifier());
    if (!stored || stored->taskType() != TWTaskTypeTimed)
        return false;
    const TWProjectPtr project = business.projectWithIdentifier(stored->projectIdentifier());
    return project && project->type() == 1;
}

bool TWTaskTimerCore::startTaskTimer(const TWTaskPtr &requested)
{
    TWBusiness *store = business();
    if (!store || m_timedTaskIdentifier != 0 || !canTimeTask(requested, *store))
        return false;
    const TWTaskPtr task = store->taskWithIdentifier(requested->identifier());
    const QDateTime now = TWClock::now();
    const qint32 identifier = store->nextTaskItemIdentifier();
    if (identifier == 0) {
        m_host->timerPresentError(store->databaseErrorWithMessage(1));
        return false;
    }
    const TWTaskItemPtr item =
        TWTaskItem::taskItemWithStartDateTime(now, now, QString(), task->identifier(), identifier);
    if (TWErrorResult error = store->addTaskItem(item, true)) {
        m_host->timerPresentError(*error);
        return false;
    }
    emit taskItemsChanged();
    m_menuletTaskIdentifier = task->identifier();
    m_timedTaskIdentifier = task->identifier();
    m_timedTaskItemIdentifier = identifier;
    ++m_run;
    m_pieces = {Piece{identifier, now}};
    m_timer = new QTimer(this);
    m_timer->setInterval(kInterval);
    connect(m_timer, &QTimer::timeout, this, [this] { updateTimedTask(QDateTime()); });
    m_timer->start();
    m_idleTimeout = TWPreferences::preferences().idleTimeout();
    m_lastNonIdleDate = m_idleTimeout != 0 ? now : QDateTime();
    m_lastTickDate = now;
    updateTimedTask(QDateTime());
    if (!isTaskTimerRunning())
        return false;
    emit highlightChanged(true);
    emit runningChanged(true);
    m_host->timerUpdateUI();
    m_host->timerDocumentChanged();
    return true;
}

bool TWTaskTimerCore::splitAtClockChanges(const QDateTime &end)
{
    TWBusiness *store = business();
    const TWTaskItemPtr stored = store->taskItemWithIdentifier(m_timedTaskItemIdentifier);
    if (!stored || !stored->startDateTime().isValid() ||
        stored->startDateTime().toLocalTime().offsetFromUtc() == end.toLocalTime().offsetFromUtc())
        return true;
    // Items keep local wall-clock times, which cannot tell a repeated hour
    // apart nor count a skipped one: the item ends at the change on the clock
    // it started on, and the timed time goes on in a new item from the change.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    TWTaskItemPtr item = stored->copy();
    QDateTime after = item->startDateTime();
    for (;;) {
        const QTimeZone::OffsetData change = zone.nextTransition(after);
        if (!change.atUtc.isValid() || change.atUtc > end)
            return true;
        after = change.atUtc;
        const int before = zone.offsetFromUtc(change.atUtc.addSecs(-1));
        if (before == change.offsetFromUtc)
            continue;
        item->setEndDateTime(change.atUtc.toOffsetFromUtc(before));
        if (store->updateTaskItem(item, true))
            return false;
        const qint32 identifier = store->nextTaskItemIdentifier();
        if (identifier == 0)
            return false;
        const QDateTime from = change.atUtc.toLocalTime();
        item = TWTaskItem::taskItemWithStartDateTime(from, from, QString(), m_timedTaskIdentifier,
                                                     identifier);
        if (store->addTaskItem(item, true))
            return false;
        m_timedTaskItemIdentifier = identifier;
        m_pieces.append(Piece{identifier, change.atUtc});
        emit taskItemsChanged();
    }
}

bool TWTaskTimerCore::writeEnd(const QDateTime &endDate, TWTaskPtr *taskOut)
{
    TWBusiness *store = business();
    if (!store)
        return false;
    const QDateTime end = endDate.isValid() ? endDate : TWClock::now();
    // A change that could not be written is tried again at the next tick.
    if (!splitAtClockChanges(end))
        return true;
    // Looked up at every write: an item deleted (with or without a
    // notification) is simply gone, never written back.
    const TWTaskItemPtr stored = store->taskItemWithIdentifier(m_timedTaskItemIdentifier);
    const TWTaskPtr task = store->taskWithIdentifier(m_timedTaskIdentifier);
    if (!stored || !task)
        return false;
    const TWProjectPtr project = store->projectWithIdentifier(task->projectIdentifier());
    const TWTaskItemPtr item = stored->copy();
    item->setEndDateTime(end);
    // A failed write keeps the stored item as it was; the next tick writes again.
    if (!store->updateTaskItem(item, true)) {
        if (project && m_host->timerShowsClient(project->clientIdentifier()))
            emit timerRowsChanged(project, task, item);
    }
    if (taskOut)
        *taskOut = task;
    return true;
}

void TWTaskTimerCore::updateTimedTask(const QDateTime &date)
{
    if (m_timedTaskItemIdentifier == 0)
        return;
    TWTaskPtr task;
    if (!writeEnd(date, &task)) {
        // Nothing left to time: the timer must not go on showing Stop.
        clearTimer();
        return;
    }
    checkIdle(task);
    m_host->timerDocumentChanged();
}

void TWTaskTimerCore::checkIdle(const TWTaskPtr &task)
{
    const QDateTime now = TWClock::now();
    const QDateTime previousTick = std::exchange(m_lastTickDate, now);
    if (m_showingIdleAlert || m_idleTimeout == 0 || !task)
        return;
    // A gap between ticks as long as the idle time-out is a sleep, whether or
    // not the wake was heard yet: the wake resets the system's idle time, so
    // the idle source alone would count the sleep as work.
    const double limit = double(m_idleTimeout) * 60.0;
    if (previousTick.isValid() && double(previousTick.msecsTo(now)) / 1000.0 >= limit) {
        askIdle(task->identifier());
        return;
    }
    const double idle = m_idleSource ? m_idleSource() : 0.0;
    if (idle >= limit)
        askIdle(task->identifier());
    else if (idle < kActiveWithin)
        m_lastNonIdleDate = now;
}

QString TWTaskTimerCore::idleMessage() const
{
    // How long since the last activity (after a sleep, far more than the
    // time-out), in whole minutes and never less than the time-out.
    qint64 minutes = m_idleTimeout;
    if (m_lastNonIdleDate.isValid())
        minutes = std::max(minutes, m_lastNonIdleDate.secsTo(TWClock::now()) / 60);
    const auto minuteWord = [](qint64 count) {
        return TWLocalized(count == 1 ? "minuteLower" : "minutesLower");
    };
    const auto hourWord = [](qint64 count) {
        return TWLocalized(count == 1 ? "hourLower" : "hoursLower");
    };
    const QLocale locale = TWFormatter::formatter().locale();
    if (minutes < 60)
        return TWLocalized("yourMacHasBeenIdle").arg(locale.toString(minutes), minuteWord(minutes));
    const qint64 hours = minutes / 60;
    const qint64 rest = minutes % 60;
    if (rest == 0)
        return TWLocalized("yourMacHasBeenIdle").arg(locale.toString(hours), hourWord(hours));
    return TWLocalized("yourMacHasBeenIdleHours")
        .arg(locale.toString(hours), hourWord(hours), locale.toString(rest), minuteWord(rest));
}

void TWTaskTimerCore::askIdle(qint32 taskIdentifier)
{
    m_showingIdleAlert = true;
    const quint64 run = m_run;
    const quint64 question = ++m_idleQuestion;
    QPointer<TWTaskTimerCore> guarded(this);
    m_host->timerAskIdle(
        idleMessage(), {TWLocalized("yes"), TWLocalized("no"), TWLocalized("noButContinueTimer")},
        [guarded, taskIdentifier, run, question](int answer) {
            if (!guarded)
                return;
            TWTaskTimerCore *self = guarded;
            // The answer is about the run it was asked in, whatever items a
            // clock change has made of it since; a run stopped since (or a
            // new one) is not changed by it.
            const bool sameRun = self->m_run == run && self->m_timedTaskItemIdentifier != 0;
            if (answer == 1000) {
                if (sameRun)
                    self->m_lastNonIdleDate = TWClock::now();
            } else if (sameRun && (answer == 1001 || answer == 1002)) {
                self->stopTaskTimer(self->m_lastNonIdleDate);
                // The run that goes on starts at the answer: nothing to ask yet.
                self->m_showingIdleAlert = answer == 1002;
                if (answer == 1002)
                    if (TWBusiness *store = self->business())
                        self->startTaskTimer(store->taskWithIdentifier(taskIdentifier));
            }
            // A question asked since (of a new run) stays open.
            if (self->m_idleQuestion == question)
                self->m_showingIdleAlert = false;
        });
}

void TWTaskTimerCore::stopTaskTimer(const QDateTime &endDate)
{
    if (m_timedTaskIdentifier == 0)
        return;
    const qint64 minimum = TWPreferences::preferences().minimumTaskTime();
    QDateTime end = endDate.isValid() ? endDate : TWClock::now();
    // The minimum is the run's, counted in time that passed from its start,
    // however many items a clock change made of it.
    const QDateTime runStart = m_pieces.isEmpty() ? QDateTime() : m_pieces.first().start;
    if (minimum != 0 && runStart.isValid()) {
        const double elapsed = double(runStart.msecsTo(end)) / 1000.0;
        if (double(minimum) * 60.0 > elapsed)
            end = runStart.addSecs(minimum * 60).toLocalTime();
    }
    dropPiecesAfter(end);
    // The last write asks nothing: an idle answer could start the timer again.
    if (m_timedTaskItemIdentifier != 0)
        writeEnd(end, nullptr);
    clearTimer();
    m_host->timerDocumentChanged();
}

void TWTaskTimerCore::dropPiecesAfter(const QDateTime &end)
{
    TWBusiness *store = business();
    if (!store)
        return;
    bool dropped = false;
    while (m_pieces.size() > 1 && m_pieces.last().start > end) {
        const qint32 gone = m_pieces.takeLast().identifier;
        // The piece before is timed first, so the deletion's notice does not
        // stop the run.
        m_timedTaskItemIdentifier = m_pieces.last().identifier;
        if (const TWTaskItemPtr item = store->taskItemWithIdentifier(gone)) {
            if (TWErrorResult error = store->deleteTaskItem(item, true))
                m_host->timerPresentError(*error);
            dropped = true;
        }
    }
    if (dropped)
        emit taskItemsChanged();
}

void TWTaskTimerCore::clearTimer()
{
    const bool wasRunning = m_timer != nullptr || m_timedTaskIdentifier != 0;
    if (wasRunning)
        emit highlightChanged(false);
    delete m_timer;
    m_timer = nullptr;
    m_timedTaskIdentifier = 0;
    m_timedTaskItemIdentifier = 0;
    m_lastNonIdleDate = QDateTime();
    m_lastTickDate = QDateTime();
    m_pieces.clear();
    // A question still open is about this run: the next run asks its own.
    m_showingIdleAlert = false;
    if (wasRunning) {
        emit runningChanged(false);
        m_host->timerUpdateUI();
    }
}

void TWTaskTimerCore::didWake()
{
    if (m_timedTaskItemIdentifier == 0 || m_showingIdleAlert || m_idleTimeout == 0 ||
        !m_lastNonIdleDate.isValid())
        return;
    const double asleep = double(m_lastNonIdleDate.msecsTo(TWClock::now())) / 1000.0;
    if (asleep >= double(m_idleTimeout) * 60.0)
        askIdle(m_timedTaskIdentifier);
}

void TWTaskTimerCore::taskTimerUpdateNotification(const TWNotification &notification)
{
    TWBusiness *store = business();
    const QString &name = notification.name;
    if (m_timedTaskIdentifier != 0 && store) {
        const TWTaskPtr task = store->taskWithIdentifier(m_timedTaskIdentifier);
        const TWProjectPtr project =
            task ? store->projectWithIdentifier(task->projectIdentifier()) : nullptr;
        bool stop = false;
        if (name == TWClientDeleteNotification) {
            const qint32 client = identifierIn<TWClient>(notification, TWClientNotificationKey);
            stop = client != 0 && (!project || project->clientIdentifier() == client);
        } else if (name == TWProjectDeleteNotification) {
            const qint32 deleted = identifierIn<TWProject>(notification, TWProjectNotificationKey);
            stop = deleted != 0 && (!task || task->projectIdentifier() == deleted);
        } else if (name == TWTaskDeleteNotification) {
            stop =
                identifierIn<TWTask>(notification, TWTaskNotificationKey) == m_timedTaskIdentifier;
        } else if (name == TWTaskItemDeleteNotification) {
            stop = identifierIn<TWTaskItem>(notification, TWTaskItemNotificationKey) ==
                   m_timedTaskItemIdentifier;
        } else if (name == TWTaskUpdateNotification) {
            // A task that stopped being timed (or moved to an estimate) counts
            // its time no more: the item it was given is gone with the change.
            stop = identifierIn<TWTask>(notification, TWTaskNotificationKey) ==
                       m_timedTaskIdentifier &&
                   !canTimeTask(task, *store);
        }
        if (stop) {
            stopTaskTimer(QDateTime());
            m_menuletTaskIdentifier = 0;
        }
    } else if (name == TWTaskDeleteNotification &&
               identifierIn<TWTask>(notification, TWTaskNotificationKey) ==
                   m_menuletTaskIdentifier) {
        m_menuletTaskIdentifier = 0;
    }
    m_host->timerRebuildMenulet();
}

void TWTaskTimerCore::reset()
{
    delete m_timer;
    m_timer = nullptr;
    m_timedTaskIdentifier = 0;
    m_timedTaskItemIdentifier = 0;
    m_menuletTaskIdentifier = 0;
    m_lastNonIdleDate = QDateTime();
    m_lastTickDate = QDateTime();
    m_pieces.clear();
    m_idleTimeout = 0;
    m_showingIdleAlert = false;
}

// ---- The menu-bar menu ----

QString TWTaskTimerCore::taskMenuletString() const
{
    TWBusiness *store = business();
    const TWTaskPtr task = store && m_menuletTaskIdentifier
                               ? store->taskWithIdentifier(m_menuletTaskIdentifier)
                               : nullptr;
    if (!task)
        return TWLocalized("noTaskSelected");
    const TWProjectPtr project = store->projectWithIdentifier(task->projectIdentifier());
    const TWClientPtr client =
        project ? store->clientWithIdentifier(project->clientIdentifier()) : nullptr;
    const TWBusinessInfoPtr info = store->businessInfo();
    return QStringLiteral("%1 : %2 : %3 : %4")
        .arg(orUntitled(info ? info->name() : QString()),
             orUntitled(client ? client->name() : QString()),
             orUntitled(project ? project->name() : QString()), orUntitled(task->name()));
}

QString TWTaskTimerCore::timeMenuletString() const
{
    TWBusiness *store = business();
    const TWTaskPtr task = store && m_menuletTaskIdentifier
                               ? store->taskWithIdentifier(m_menuletTaskIdentifier)
                               : nullptr;
    const double seconds = task ? twQuantity(*task, *store) : 0.0;
    return TWFormatter::formatter().timeString(seconds, true,
                                               TWPreferences::preferences().timeFormat());
}

QList<TWMenuletItem> TWTaskTimerCore::menuletItems() const
{
    QList<TWMenuletItem> items;
    TWBusiness *store = business();
    const bool noTask = !store || m_menuletTaskIdentifier == 0 ||
                        !store->taskWithIdentifier(m_menuletTaskIdentifier);
    TWMenuletItem startStop;
    startStop.title = TWLocalized(isTaskTimerRunning() ? "stopTimer" : "startTimer");
    startStop.tag = 1;
    startStop.hidden = noTask;
    startStop.action = TWMenuletItem::StartStop;
    items.append(startStop);
    TWMenuletItem separator;
    separator.separator = true;
    separator.tag = 2;
    separator.hidden = noTask;
    items.append(separator);
    TWMenuletItem taskLine;
    taskLine.title = taskMenuletString();
    taskLine.tag = 3;
    taskLine.enabled = false;
    items.append(taskLine);
    TWMenuletItem timeLine;
    timeLine.title = timeMenuletString();
    timeLine.tag = 4;
    timeLine.hidden = noTask;
    timeLine.enabled = false;
    items.append(timeLine);
    if (!store || store->clients().isEmpty())
        return items;
    TWMenuletItem plain;
    plain.separator = true;
    items.append(plain);
    for (const TWClientPtr &client : store->clients()) {
        if (!client)
            continue;
        TWMenuletItem clientItem;
        clientItem.title = orUntitled(client->name());
        clientItem.hasSubmenu = true;
        const TWProjectList projects = store->projectsWithClient(*client);
        if (projects.isEmpty()) {
            TWMenuletItem none;
            none.title = TWLocalized("noProjects");
            none.enabled = false;
            clientItem.submenu.append(none);
        }
        for (const TWProjectPtr &project : projects) {
            if (!project || project->type() != 1)
                continue;
            TWMenuletItem projectItem;
            projectItem.title = orUntitled(project->name());
            projectItem.hasSubmenu = true;
            for (const TWTaskPtr &task : store->tasksWithProject(*project)) {
                if (!task || task->taskType() != TWTaskTypeTimed)
                    continue;
                TWMenuletItem taskItem;
                taskItem.title = orUntitled(task->name());
                taskItem.action = TWMenuletItem::SelectTask;
                taskItem.task = task;
                projectItem.submenu.append(taskItem);
            }
            if (projectItem.submenu.isEmpty()) {
                TWMenuletItem none;
                none.title = TWLocalized("noTasks");
                none.enabled = false;
                projectItem.submenu.append(none);
            }
            clientItem.submenu.append(projectItem);
        }
        items.append(clientItem);
    }
    return items;
}

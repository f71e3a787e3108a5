#pragma once
// The task timer of one document, without any window: while it runs it keeps
// one time item of a timed task ending "now" (written every 0.3 seconds),
// watches for idleness and wake-ups, stops when what it times is deleted, and
// describes the menu-bar menu as plain data. The document side (questions,
// toolbar, status icon) is reached through TWTaskTimerHost.

#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWTask.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class TWBusiness;
class TWProject;

class TWTaskTimerHost
{
public:
    virtual ~TWTaskTimerHost() = default;
    virtual TWBusiness *timerBusiness() const = 0;
    // A change was made (the document is edited).
    virtual void timerDocumentChanged() = 0;
    virtual void timerPresentError(const TWError &error) = 0;
    // The idle question; the answer is 1000, 1001 or 1002 for the buttons in order.
    virtual void timerAskIdle(const QString &message, const QStringList &buttons,
                              std::function<void(int)> answer) = 0;
    // Whether the window shows the client (the timer rows are refreshed then).
    virtual bool timerShowsClient(qint32) const { return true; }
    // The status icon and the toolbar item follow the running state.
    virtual void timerUpdateUI() {}
    // The menu-bar menu is rebuilt the next time it opens.
    virtual void timerRebuildMenulet() {}
};

// One entry of the menu-bar menu, as data.
struct TWMenuletItem {
    enum Action { NoAction, StartStop, SelectTask };
    bool separator = false;
    QString title;
    int tag = 0;
    bool hidden = false;
    bool enabled = true;
    Action action = NoAction;
    TWTaskPtr task;
    bool hasSubmenu = false;
    QList<TWMenuletItem> submenu;
};

class TWTaskTimerCore final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kInterval = 300; // milliseconds between writes

    explicit TWTaskTimerCore(TWTaskTimerHost *host, QObject *parent = nullptr);
    ~TWTaskTimerCore() override;

    // Seconds since the user's last input (the system's by default).
    void setIdleSource(std::function<double()> source) { m_idleSource = std::move(source); }

    bool isTaskTimerRunning() const { return m_timer != nullptr; }
    QTimer *timer() const { return m_timer; }
    qint32 timedTaskIdentifier() const { return m_timedTaskIdentifier; }
    qint32 timedTaskItemIdentifier() const { return m_timedTaskItemIdentifier; }
    qint32 menuletTaskIdentifier() const { return m_menuletTaskIdentifier; }
    void setMenuletTaskIdentifier(qint32 identifier) { m_menuletTaskIdentifier = identifier; }
    const QDateTime &lastNonIdleDate() const { return m_lastNonIdleDate; }
    qint64 idleTimeout() const { return m_idleTimeout; }
    bool showingIdleAlert() const { return m_showingIdleAlert; }

    // Only a stored timed task of a project (not an estimate) can be timed.
    static bool canTimeTask(const TWTaskPtr &task, TWBusiness &business);

    // Starts a new time item of the task; false when refused or the item
    // could not be stored (the error is presented).
    bool startTaskTimer(const TWTaskPtr &task);
    // Ends the item at `endDate` (invalid: now), lengthened to the minimum
    // task time, and stops.
    void stopTaskTimer(const QDateTime &endDate);
    // The tick: moves the item's end to `date` (invalid: now) and checks idleness.
    void updateTimedTask(const QDateTime &date);
    void didWake();
    // A client, project, task or time item notification of the document's store.
    void taskTimerUpdateNotification(const TWNotification &notification);
    // Forgets everything without a write (after a revert).
    void reset();

    QList<TWMenuletItem> menuletItems() const;
    QString taskMenuletString() const;
    QString timeMenuletString() const;
    QString idleMessage() const;

signals:
    // The tasks view lists its time items again (a new item).
    void taskItemsChanged();
    // The timed rows' cells changed (only while the client is shown).
    void timerRowsChanged(const std::shared_ptr<TWProject> &project, const TWTaskPtr &task,
                          const TWTaskItemPtr &taskItem);
    // The timed rows are highlighted (on) or no longer (off).
    void highlightChanged(bool on);
    void runningChanged(bool running);

private:
    TWBusiness *business() const { return m_host ? m_host->timerBusiness() : nullptr; }
    // Writes the item's end (invalid: now); false when the item is gone.
    bool writeEnd(const QDateTime &endDate, TWTaskPtr *task);
    // Ends the timed item at each change of the local clock before `end` and
    // goes on in a new item; false when a write failed.
    bool splitAtClockChanges(const QDateTime &end);
    // Deletes the run's pieces that begin after `end` (an idle answer ends
    // the run before a clock change split it); the piece holding `end` is
    // timed again.
    void dropPiecesAfter(const QDateTime &end);
    void checkIdle(const TWTaskPtr &task);
    void askIdle(qint32 taskIdentifier);
    void clearTimer();

    // One run's time items: a clock change splits a run into pieces, each
    // begun at a known moment. The last is the one the ticks extend.
    struct Piece {
        qint32 identifier = 0;
        QDateTime start;
    };

    TWTaskTimerHost *m_host;
    QTimer *m_timer = nullptr;
    std::function<double()> m_idleSource;
    qint32 m_timedTaskIdentifier = 0;
    qint32 m_timedTaskItemIdentifier = 0;
    qint32 m_menuletTaskIdentifier = 0;
    QDateTime m_lastNonIdleDate;
    // The moment of the last tick: a gap since is a sleep.
    QDateTime m_lastTickDate;
    // Counts idle questions, so an answer clears only its own.
    quint64 m_idleQuestion = 0;
    // Counts runs: an idle answer is about its run, whatever items a clock
    // change has made of it since.
    quint64 m_run = 0;
    QList<Piece> m_pieces;
    qint64 m_idleTimeout = 0;
    bool m_showingIdleAlert = false;
};

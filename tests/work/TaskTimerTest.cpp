// The task timer on a real store with a pinned clock and a fake idle source:
// starting, ticking, stopping with the minimum time, the idle question and
// wake-ups, stopping when what it times is deleted, the menu-bar menu as data,
// and the document's own timer (menu, toolbar, closing).

#include "TWWorkTestSupport.h"

#include "work/TWTaskTimerCore.h"
#include "work/TWTasksController.h"

#include "TWTestSupport.h"
#include "TWZoneGuard.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWLocalized.h"
#include "store/TWNotifications.h"
#include "store/TWWorkTotals.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include <functional>
#include <utility>

namespace
{

// The document side of the timer, recorded.
class FakeHost final : public TWTaskTimerHost
{
public:
    explicit FakeHost(TWBusiness *business) : m_business(business)
    {
        for (const char *name :
             {"clientNew", "clientDelete", "clientUpdate", "projectNew", "projectDelete",
              "projectUpdate", "taskNew", "taskDelete", "taskUpdate", "taskItemDelete"})
            m_tokens.push_back(TWNotificationCenter::defaultCenter().addObserver(
                QLatin1String(name), business, [this](const TWNotification &note) {
                    if (core)
                        core->taskTimerUpdateNotification(note);
                }));
    }
    ~FakeHost() override
    {
        for (auto token : m_tokens)
            TWNotificationCenter::defaultCenter().removeObserver(token);
    }
    TWBusiness *timerBusiness() const override { return m_business; }
    void timerDocumentChanged() override { ++changes; }
    void timerPresentError(const TWError &error) override { errors.append(error); }
    void timerAskIdle(const QString &message, const QStringList &buttons,
                      std::function<void(int)> answer) override
    {
        questions.append(message);
        lastButtons = buttons;
        pending = std::move(answer);
    }
    void answer(int code)
    {
        auto call = std::move(pending);
        pending = nullptr;
        call(code);
    }

    TWTaskTimerCore *core = nullptr;
    int changes = 0;
    QList<TWError> errors;
    QStringList questions;
    QStringList lastButtons;
    std::function<void(int)> pending;

private:
    TWBusiness *m_business;
    std::vector<TWNotificationCenter::Token> m_tokens;
};

class TaskTimer : public TWWorkTest
{
protected:
    void SetUp() override
    {
        TWWorkTest::SetUp();
        host = std::make_unique<FakeHost>(business);
        core = std::make_unique<TWTaskTimerCore>(host.get());
        host->core = core.get();
        core->setIdleSource([this] { return idle; });
        task = addTask(project, QStringLiteral("Coding"));
    }
    void TearDown() override
    {
        core.reset();
        host.reset();
        TWWorkTest::TearDown();
    }
    TWTaskItemPtr timedItem() const
    {
        return business->taskItemWithIdentifier(core->timedTaskItemIdentifier());
    }
    // Moves the clock and lets one tick run.
    void tickAt(const QDateTime &now)
    {
        clock.set(now);
        core->updateTimedTask(QDateTime());
    }

    TWFixedClock clock{2026, 3, 2, 10, 0, 0};
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<TWTaskTimerCore> core;
    TWTaskPtr task;
    double idle = 0.0;
};

} // namespace

TEST_F(TaskTimer, StartsTicksAndStopsWithTheMinimumTime)
{
    TWPreferences::preferences().setMinimumTaskTime(15);
    ASSERT_TRUE(core->startTaskTimer(task));
    EXPECT_TRUE(core->isTaskTimerRunning());
    EXPECT_EQ(core->timer()->interval(), 300);
    EXPECT_EQ(core->timedTaskIdentifier(), task->identifier());
    EXPECT_EQ(core->menuletTaskIdentifier(), task->identifier());
    const qint32 itemIdentifier = core->timedTaskItemIdentifier();
    ASSERT_TRUE(timedItem());
    EXPECT_EQ(timedItem()->startDateTime(), twLocal(2026, 3, 2, 10, 0, 0));

    tickAt(twLocal(2026, 3, 2, 10, 1, 0));
    EXPECT_EQ(timedItem()->endDateTime(), twLocal(2026, 3, 2, 10, 1, 0));
    EXPECT_DOUBLE_EQ(twQuantity(*task, *business), 60.0);

    // Two minutes in, stopped: the item is lengthened to fifteen.
    clock.set(twLocal(2026, 3, 2, 10, 2, 0));
    core->stopTaskTimer(QDateTime());
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_EQ(core->timedTaskIdentifier(), 0);
    EXPECT_EQ(core->menuletTaskIdentifier(), task->identifier());
    EXPECT_EQ(business->taskItemWithIdentifier(itemIdentifier)->endDateTime(),
              twLocal(2026, 3, 2, 10, 15, 0));

    // Without a minimum the item ends when stopped.
    TWPreferences::preferences().setMinimumTaskTime(0);
    ASSERT_TRUE(core->startTaskTimer(task));
    const qint32 second = core->timedTaskItemIdentifier();
    clock.set(twLocal(2026, 3, 2, 10, 7, 0));
    core->stopTaskTimer(QDateTime());
    EXPECT_EQ(business->taskItemWithIdentifier(second)->endDateTime(),
              twLocal(2026, 3, 2, 10, 7, 0));
}

TEST_F(TaskTimer, OnlyAStoredTimedTaskOfAProjectIsTimed)
{
    const qsizetype items = business->taskItems().size();
    EXPECT_FALSE(core->startTaskTimer(addTask(project, QStringLiteral("Flat"), TWTaskTypeFlat, 1)));
    EXPECT_FALSE(core->startTaskTimer(addTask(estimate, QStringLiteral("Guess"))));
    // A task since deleted (a stale menu-bar task), and one never stored.
    const TWTaskPtr gone = addTask(project, QStringLiteral("Gone"));
    ASSERT_OK(business->deleteTask(gone, true));
    EXPECT_FALSE(core->startTaskTimer(gone));
    EXPECT_FALSE(core->startTaskTimer(TWTask::taskWithDate(
        QDateTime(), false, QString(), 0, 0, 0, 0, 0, QString(), project->identifier(), 999)));
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_EQ(business->taskItems().size(), items);
    // A running timer is not started twice.
    ASSERT_TRUE(core->startTaskTimer(task));
    EXPECT_FALSE(core->startTaskTimer(task));
    EXPECT_EQ(business->taskItems().size(), items + 1);
}

TEST_F(TaskTimer, IdleNoCutsTheItemBackToTheLastActivity)
{
    TWPreferences::preferences().setIdleTimeout(10);
    ASSERT_TRUE(core->startTaskTimer(task));
    const qint32 item = core->timedTaskItemIdentifier();
    // A source in milliseconds never says exactly 0: input 0.4 s ago is activity.
    idle = 0.4;
    tickAt(twLocal(2026, 3, 2, 10, 5, 0));
    EXPECT_EQ(core->lastNonIdleDate(), twLocal(2026, 3, 2, 10, 5, 0));
    idle = 120.0;
    tickAt(twLocal(2026, 3, 2, 10, 7, 0));
    EXPECT_TRUE(host->questions.isEmpty());

    idle = 600.0;
    tickAt(twLocal(2026, 3, 2, 10, 15, 0));
    ASSERT_EQ(host->questions.size(), 1);
    EXPECT_EQ(host->questions.first(), core->idleMessage());
    EXPECT_TRUE(host->questions.first().contains(TWLocalized("minutesLower")));
    EXPECT_EQ(host->lastButtons, QStringList({TWLocalized("yes"), TWLocalized("no"),
                                              TWLocalized("noButContinueTimer")}));
    // While the question is up, ticks go on and ask nothing more.
    tickAt(twLocal(2026, 3, 2, 10, 16, 0));
    EXPECT_EQ(host->questions.size(), 1);

    host->answer(1001);
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_FALSE(core->showingIdleAlert());
    EXPECT_EQ(business->taskItemWithIdentifier(item)->endDateTime(), twLocal(2026, 3, 2, 10, 5, 0));
}

TEST_F(TaskTimer, NoButContinueLeavesTheIdleSpellInNeitherItem)
{
    TWPreferences::preferences().setIdleTimeout(10);
    ASSERT_TRUE(core->startTaskTimer(task));
    const qint32 first = core->timedTaskItemIdentifier();
    idle = 0.2;
    tickAt(twLocal(2026, 3, 2, 10, 5, 0));
    idle = 900.0;
    tickAt(twLocal(2026, 3, 2, 10, 20, 0));
    ASSERT_TRUE(host->pending);
    clock.set(twLocal(2026, 3, 2, 10, 21, 0));
    host->answer(1002);
    ASSERT_TRUE(core->isTaskTimerRunning());
    EXPECT_NE(core->timedTaskItemIdentifier(), first);
    EXPECT_EQ(business->taskItemWithIdentifier(first)->endDateTime(),
              twLocal(2026, 3, 2, 10, 5, 0));
    EXPECT_EQ(timedItem()->startDateTime(), twLocal(2026, 3, 2, 10, 21, 0));
    EXPECT_FALSE(core->showingIdleAlert());
}

TEST_F(TaskTimer, AnswersAboutAStoppedTimerChangeNothing)
{
    TWPreferences::preferences().setIdleTimeout(1);
    ASSERT_TRUE(core->startTaskTimer(task));
    idle = 100.0;
    tickAt(twLocal(2026, 3, 2, 10, 3, 0));
    ASSERT_TRUE(host->pending);
    EXPECT_TRUE(host->questions.first().contains(TWLocalized("minuteLower")));
    // Stopped from the menu while the question is up: "continue" must not
    // start it again.
    core->stopTaskTimer(QDateTime());
    const qsizetype items = business->taskItems().size();
    host->answer(1002);
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_EQ(business->taskItems().size(), items);
}

TEST_F(TaskTimer, AStopAsksNothing)
{
    TWPreferences::preferences().setIdleTimeout(10);
    ASSERT_TRUE(core->startTaskTimer(task));
    idle = 3600.0;
    clock.set(twLocal(2026, 3, 2, 11, 0, 0));
    core->stopTaskTimer(QDateTime());
    EXPECT_TRUE(host->questions.isEmpty());
    EXPECT_FALSE(core->isTaskTimerRunning());
}

TEST_F(TaskTimer, AWakeAfterALongSleepAsks)
{
    TWPreferences::preferences().setIdleTimeout(10);
    ASSERT_TRUE(core->startTaskTimer(task));
    clock.set(twLocal(2026, 3, 2, 10, 9, 0));
    core->didWake();
    EXPECT_TRUE(host->questions.isEmpty());
    // The system's idle time was reset by the wake; the sleep still counts.
    idle = 0.0;
    clock.set(twLocal(2026, 3, 2, 10, 40, 0));
    core->didWake();
    ASSERT_EQ(host->questions.size(), 1);
    host->answer(1000);
    EXPECT_TRUE(core->isTaskTimerRunning());
    EXPECT_EQ(core->lastNonIdleDate(), twLocal(2026, 3, 2, 10, 40, 0));
}

// Items keep local wall-clock times. Through a clock change the timer ends its
// item at the change and goes on in a new one: read back from what is stored,
// the items add up to the time that passed and none ends before it starts.
TEST_F(TaskTimer, ThroughAClockChangeTheStoredItemsAddUpToTheTimeThatPassed)
{
    const TWZoneGuard zone("Europe/Berlin");
    const auto utc = [](int month, int day, int hour, int minute) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::UTC).toLocalTime();
    };
    const struct {
        QDateTime from, to;
        double seconds;
    } runs[] = {
        // 02:10 summer time to 02:50 winter time, and 02:50 to 02:10.
        {utc(10, 25, 0, 10), utc(10, 25, 1, 50), 6000.0},
        {utc(10, 25, 0, 50), utc(10, 25, 1, 10), 1200.0},
        // 01:50 to 03:10 in spring, over the hour the clock skips.
        {utc(3, 29, 0, 50), utc(3, 29, 1, 10), 1200.0},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.from.toString(Qt::ISODate).toStdString());
        const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
        clock.set(run.from);
        ASSERT_TRUE(core->startTaskTimer(timed));
        for (QDateTime at = run.from; at < run.to; at = at.addSecs(600))
            tickAt(at);
        clock.set(run.to);
        core->stopTaskTimer(QDateTime());
        double total = 0.0;
        for (const TWTaskItemPtr &item : business->taskItemsWithTask(*timed)) {
            // As opened again: from the stored wall-clock fields.
            const QDateTime start = TWDateAdditions::dateTimeWithValue(
                TWDateAdditions::dateTimeValue(item->startDateTime()));
            const QDateTime end = TWDateAdditions::dateTimeWithValue(
                TWDateAdditions::dateTimeValue(item->endDateTime()));
            EXPECT_LE(TWDateAdditions::dateTimeValue(start), TWDateAdditions::dateTimeValue(end));
            total += TWTaskItem::taskItemWithStartDateTime(start, end, QString(), 0, 0)->duration();
        }
        EXPECT_DOUBLE_EQ(total, run.seconds);
        EXPECT_DOUBLE_EQ(twQuantity(*timed, *business), run.seconds);
    }
}

// An idle answer is about the run, whatever items a clock change made of it:
// "No" ends the run at the last activity (pieces begun after it go), and a
// minimum task time is the run's, not each piece's. Europe/Berlin, autumn.
TEST_F(TaskTimer, AClockChangeSplitsTheItemButTheIdleAnswerAndMinimumAreTheRuns)
{
    const TWZoneGuard zone("Europe/Berlin");
    const auto utc = [](int month, int day, int hour, int minute) {
        return QDateTime(QDate(2026, month, day), QTime(hour, minute), Qt::UTC).toLocalTime();
    };
    struct Case {
        const char *name;
        QDateTime start, lastActive, answerAt;
        enum { Stop, Idle, SleepWakeFirst, SleepTickFirst } how;
        qint64 minimum;
        double seconds;
    };
    const Case cases[] = {
        // 24 Oct 20:00 summer time, active until 22:00, asleep until 08:00
        // winter time: 2 hours worked.
        {"sleep, wake heard first", utc(10, 24, 18, 0), utc(10, 24, 20, 0), utc(10, 25, 7, 0),
         Case::SleepWakeFirst, 0, 7200.0},
        {"sleep, tick first", utc(10, 24, 18, 0), utc(10, 24, 20, 0), utc(10, 25, 7, 0),
         Case::SleepTickFirst, 0, 7200.0},
        // 02:00 to 02:50 summer time, idle through the change, answered at
        // 02:50 winter time: 50 minutes worked.
        {"idle in the change night", utc(10, 25, 0, 0), utc(10, 25, 0, 50), utc(10, 25, 1, 50),
         Case::Idle, 0, 3000.0},
        // A 65-minute run over the change with a 15-minute minimum.
        {"minimum", utc(10, 25, 0, 0), QDateTime(), utc(10, 25, 1, 5), Case::Stop, 15, 3900.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWPreferences::preferences().setIdleTimeout(c.how == Case::Stop ? 0 : 10);
        TWPreferences::preferences().setMinimumTaskTime(c.minimum);
        host->questions.clear();
        const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
        clock.set(c.start);
        idle = 0.0;
        ASSERT_TRUE(core->startTaskTimer(timed));
        const QDateTime activeUntil = c.lastActive.isValid() ? c.lastActive : c.answerAt;
        for (QDateTime at = c.start; at <= activeUntil; at = at.addSecs(60))
            tickAt(at);
        if (c.how == Case::SleepWakeFirst) {
            clock.set(c.answerAt);
            core->didWake();
            tickAt(c.answerAt);
        } else if (c.how == Case::SleepTickFirst) {
            tickAt(c.answerAt);
        } else if (c.how == Case::Idle) {
            // Idle by the minute: the question comes at ten minutes; the
            // ticks go on while it is open.
            for (QDateTime at = activeUntil.addSecs(60); at <= c.answerAt; at = at.addSecs(60)) {
                idle = double(activeUntil.secsTo(at));
                tickAt(at);
            }
        }
        if (c.how != Case::Stop) {
            ASSERT_EQ(host->questions.size(), 1);
            // The question says how long the user was away, not the time-out.
            if (c.how == Case::SleepWakeFirst) {
                EXPECT_EQ(host->questions.first(),
                          TWLocalized("yourMacHasBeenIdle")
                              .arg(QStringLiteral("11"), TWLocalized("hoursLower")));
            }
            if (c.how == Case::Idle) {
                EXPECT_EQ(host->questions.first(),
                          TWLocalized("yourMacHasBeenIdle")
                              .arg(QStringLiteral("10"), TWLocalized("minutesLower")));
            }
            host->answer(1001);
        } else {
            core->stopTaskTimer(QDateTime());
        }
        EXPECT_FALSE(core->isTaskTimerRunning());
        EXPECT_DOUBLE_EQ(twQuantity(*timed, *business), c.seconds);
        for (const TWTaskItemPtr &item : business->taskItemsWithTask(*timed))
            EXPECT_LE(TWDateAdditions::dateTimeValue(item->startDateTime()),
                      TWDateAdditions::dateTimeValue(item->endDateTime()));
        if (host->pending)
            host->answer(1000);
        core->stopTaskTimer(QDateTime());
    }
}

// Where the clock shows a time twice, the timer's two items say which clock
// they mean: the one ending at the change ends on summer time, the next
// starts on winter time; other times show as ever. Also as read back.
TEST_F(TaskTimer, TimesTheClockShowsTwiceSayWhichClockTheyMean)
{
    const TWZoneGuard zone("Europe/Berlin");
    const TWLocaleGuard locale{QStringLiteral("en_US")};
    const auto utc = [](int hour, int minute) {
        return QDateTime(QDate(2026, 10, 25), QTime(hour, minute), Qt::UTC).toLocalTime();
    };
    const TWTaskPtr timed = addTask(project, QStringLiteral("Timed"));
    clock.set(QDateTime(QDate(2026, 10, 24), QTime(23, 0), Qt::UTC).toLocalTime());
    ASSERT_TRUE(core->startTaskTimer(timed));
    tickAt(utc(1, 30));
    core->stopTaskTimer(QDateTime());
    TWTaskItemList items = business->taskItemsWithTask(*timed);
    ASSERT_EQ(items.size(), 2);
    if (items.at(0)->startDateTime() > items.at(1)->startDateTime())
        std::swap(items[0], items[1]);
    for (const bool reopened : {false, true}) {
        SCOPED_TRACE(reopened);
        QStringList shown;
        for (const TWTaskItemPtr &stored : items) {
            TWTaskItemPtr item = stored->copy();
            if (reopened) {
                item->setStartDateTime(TWDateAdditions::dateTimeWithValue(
                    TWDateAdditions::dateTimeValue(item->startDateTime())));
                item->setEndDateTime(TWDateAdditions::dateTimeWithValue(
                    TWDateAdditions::dateTimeValue(item->endDateTime())));
            }
            shown << TWTasksController::taskItemMomentText(*item, false)
                  << TWTasksController::taskItemMomentText(*item, true);
        }
        EXPECT_EQ(shown, (QStringList{"10/25/26 1:00 AM", "10/25/26 3:00 AM CEST",
                                      "10/25/26 2:00 AM CET", "10/25/26 2:30 AM CET"}));
    }
    // A run inside the first pass of the repeated hour, as timed (before the change).
    const TWTaskItemPtr early = addItem(timed, utc(0, 10), utc(0, 20));
    EXPECT_EQ(TWTasksController::taskItemMomentText(*early, false), "10/25/26 2:10 AM CEST");
    EXPECT_EQ(TWTasksController::taskItemMomentText(*early, true), "10/25/26 2:20 AM CEST");
}

// The first tick after a sleep may come before the wake is heard, with the
// system's idle time already reset by the wake: the gap in the clock asks.
TEST_F(TaskTimer, ATickAfterASleepAsksBeforeTheWakeIsHeard)
{
    TWPreferences::preferences().setIdleTimeout(10);
    ASSERT_TRUE(core->startTaskTimer(task));
    const qint32 item = core->timedTaskItemIdentifier();
    idle = 0.0;
    tickAt(twLocal(2026, 3, 2, 10, 5, 0));
    tickAt(twLocal(2026, 3, 2, 11, 5, 0));
    ASSERT_EQ(host->questions.size(), 1);
    core->didWake();
    EXPECT_EQ(host->questions.size(), 1);
    host->answer(1001);
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_EQ(business->taskItemWithIdentifier(item)->endDateTime(), twLocal(2026, 3, 2, 10, 5, 0));
}

// A question left open while the timer was stopped and started again is not
// the new run's: the new run asks its own.
TEST_F(TaskTimer, ANewRunAsksItsOwnIdleQuestion)
{
    TWPreferences::preferences().setIdleTimeout(1);
    ASSERT_TRUE(core->startTaskTimer(task));
    idle = 100.0;
    tickAt(twLocal(2026, 3, 2, 10, 0, 30));
    ASSERT_EQ(host->questions.size(), 1);
    auto stale = std::move(host->pending);
    core->stopTaskTimer(QDateTime());
    ASSERT_TRUE(core->startTaskTimer(task));
    tickAt(twLocal(2026, 3, 2, 10, 0, 40));
    EXPECT_EQ(host->questions.size(), 2);
    // The old answer comes last and leaves the new question open.
    stale(1000);
    EXPECT_TRUE(core->showingIdleAlert());
}

TEST_F(TaskTimer, IdleDetectionOffForTheRunWhenTheTimeOutIsZero)
{
    ASSERT_TRUE(core->startTaskTimer(task));
    TWPreferences::preferences().setIdleTimeout(5);
    idle = 100000.0;
    tickAt(twLocal(2026, 3, 2, 12, 0, 0));
    core->didWake();
    EXPECT_TRUE(host->questions.isEmpty());
    EXPECT_FALSE(core->lastNonIdleDate().isValid());
}

TEST_F(TaskTimer, DeletingWhatItTimesStopsItWithoutAGhostItem)
{
    const auto expectStoppedWithoutGhost = [this](qint32 item) {
        EXPECT_FALSE(core->isTaskTimerRunning());
        EXPECT_EQ(core->menuletTaskIdentifier(), 0);
        EXPECT_FALSE(business->taskItemWithIdentifier(item));
        for (const TWTaskItemPtr &listed : business->taskItems())
            EXPECT_NE(listed->identifier(), item);
    };
    // The item itself.
    ASSERT_TRUE(core->startTaskTimer(task));
    qint32 item = core->timedTaskItemIdentifier();
    ASSERT_OK(business->deleteTaskItem(timedItem(), true));
    expectStoppedWithoutGhost(item);

    // Its task.
    ASSERT_TRUE(core->startTaskTimer(task));
    item = core->timedTaskItemIdentifier();
    ASSERT_OK(business->deleteTask(task, true));
    expectStoppedWithoutGhost(item);

    // Its project, then its client.
    for (int owner = 0; owner < 2; ++owner) {
        const TWClientPtr other = addClient(QStringLiteral("Other %1").arg(owner));
        const TWProjectPtr work = addProject(other, QStringLiteral("Work"), 1);
        const TWTaskPtr timed = addTask(work, QStringLiteral("Timed"));
        ASSERT_TRUE(core->startTaskTimer(timed));
        item = core->timedTaskItemIdentifier();
        if (owner == 0)
            ASSERT_OK(business->deleteProject(work, true));
        else
            ASSERT_OK(business->deleteClient(other, true));
        expectStoppedWithoutGhost(item);
    }
}

TEST_F(TaskTimer, AnotherTaskDeletedLeavesItRunning)
{
    ASSERT_TRUE(core->startTaskTimer(task));
    ASSERT_OK(business->deleteTask(addTask(project, QStringLiteral("Other")), true));
    EXPECT_TRUE(core->isTaskTimerRunning());
}

TEST_F(TaskTimer, ATickThatFindsNoItemStopsTheTimer)
{
    ASSERT_TRUE(core->startTaskTimer(task));
    // Gone without a notification.
    ASSERT_OK(business->deleteTaskItem(timedItem(), false));
    const qsizetype items = business->taskItems().size();
    tickAt(twLocal(2026, 3, 2, 10, 1, 0));
    EXPECT_FALSE(core->isTaskTimerRunning());
    EXPECT_EQ(business->taskItems().size(), items);
}

TEST_F(TaskTimer, MenuWithoutClientsHoldsTheFourHeadItems)
{
    ASSERT_OK(business->deleteClient(client, false));
    const QList<TWMenuletItem> items = core->menuletItems();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items.at(2).title, TWLocalized("noTaskSelected"));
    EXPECT_TRUE(items.at(0).hidden);
    EXPECT_TRUE(items.at(1).hidden);
    EXPECT_TRUE(items.at(3).hidden);
    EXPECT_FALSE(items.at(2).enabled);
}

TEST_F(TaskTimer, MenuListsTimedTasksOfProjectsOnly)
{
    addTask(project, QStringLiteral("Flat"), TWTaskTypeFlat, 1);
    addTask(estimate, QStringLiteral("Estimated"));
    addTask(project, QString());
    addProject(client, QStringLiteral("Empty"), 1);
    const TWClientPtr quiet = addClient(QString());
    const TWClientPtr estimates = addClient(QStringLiteral("Estimates only"));
    addProject(estimates, QStringLiteral("Guess"), 0);
    core->setMenuletTaskIdentifier(task->identifier());

    const QList<TWMenuletItem> items = core->menuletItems();
    ASSERT_EQ(items.size(), 8);
    EXPECT_FALSE(items.at(0).hidden);
    EXPECT_EQ(items.at(0).title, TWLocalized("startTimer"));
    EXPECT_EQ(items.at(2).title, QStringLiteral("Test Firm : Acme : Website : Coding"));
    EXPECT_EQ(items.at(3).title, QStringLiteral("0:00:00"));
    EXPECT_TRUE(items.at(4).separator);
    // Acme: Website with its two timed tasks; Empty says so; no estimate.
    const TWMenuletItem &acme = items.at(5);
    ASSERT_EQ(acme.submenu.size(), 2);
    EXPECT_EQ(acme.submenu.at(0).title, QStringLiteral("Website"));
    ASSERT_EQ(acme.submenu.at(0).submenu.size(), 2);
    EXPECT_EQ(acme.submenu.at(0).submenu.at(0).title, QStringLiteral("Coding"));
    EXPECT_EQ(acme.submenu.at(0).submenu.at(1).title, TWLocalized("untitled"));
    EXPECT_EQ(acme.submenu.at(0).submenu.at(1).action, TWMenuletItem::SelectTask);
    EXPECT_EQ(acme.submenu.at(1).submenu.at(0).title, TWLocalized("noTasks"));
    EXPECT_FALSE(acme.submenu.at(1).submenu.at(0).enabled);
    EXPECT_EQ(items.at(6).title, TWLocalized("untitled"));
    EXPECT_EQ(items.at(6).submenu.at(0).title, TWLocalized("noProjects"));
    EXPECT_TRUE(items.at(7).hasSubmenu);
    EXPECT_TRUE(items.at(7).submenu.isEmpty());
}

TEST_F(TaskTimer, DocumentTimerRunsFromTheMenuBarMenuAndStopsWhenClosing)
{
    ASSERT_TRUE(timer());
    QMenu menu;
    timer()->rebuildTimerMenulet(&menu);
    // Choose the task in the client's submenu, then start from the head item.
    QAction *coding = nullptr;
    for (QAction *clientItem : menu.actions())
        if (clientItem->menu())
            for (QAction *projectItem : clientItem->menu()->actions())
                if (projectItem->menu())
                    for (QAction *taskItem : projectItem->menu()->actions())
                        if (taskItem->text() == QStringLiteral("Coding"))
                            coding = taskItem;
    ASSERT_TRUE(coding);
    coding->trigger();
    EXPECT_EQ(timer()->menuletTaskIdentifier(), task->identifier());
    timer()->rebuildTimerMenulet(&menu);
    QAction *startStop = menu.actions().value(0);
    ASSERT_TRUE(startStop && startStop->isVisible());
    startStop->trigger();
    ASSERT_TRUE(timer()->isTaskTimerRunning());
    EXPECT_TRUE(timer()->core()->timer()->isActive());
    const qint32 item = timer()->timedTaskItemIdentifier();
    timer()->updateTimerMenulet(&menu);
    EXPECT_EQ(menu.actions().value(0)->text(), TWLocalized("stopTimer"));

    // A real tick from the event loop moves the end.
    clock.set(twLocal(2026, 3, 2, 10, 4, 0));
    QTest::qWait(400);
    EXPECT_EQ(business->taskItemWithIdentifier(item)->endDateTime(), twLocal(2026, 3, 2, 10, 4, 0));

    // Cancel on the close question leaves the timer running and its item as it was.
    clock.set(twLocal(2026, 3, 2, 10, 9, 0));
    prompts.saveChanges = TWDocumentPrompts::Cancel;
    EXPECT_FALSE(document->canClose());
    EXPECT_TRUE(timer()->isTaskTimerRunning());
    EXPECT_EQ(business->taskItemWithIdentifier(item)->endDateTime(), twLocal(2026, 3, 2, 10, 4, 0));
}

// Close asks before it stops the timer: Cancel leaves the run as it was (no
// minimum item ending in the future); while the idle question is open nothing
// is asked, since its answer says where the item ends; the timer stops only
// when the window really closes.
TEST_F(TaskTimer, CloseStopsTheTimerOnlyWhenTheWindowCloses)
{
    TWPreferences::preferences().setMinimumTaskTime(15);
    TWPreferences::preferences().setIdleTimeout(10);
    std::function<void(int)> idleAnswer;
    twSetAlertPresenter([&](const TWAlert &alert, TWAlertCompletion completion) {
        alerts.append(alert.message);
        idleAnswer = std::move(completion);
    });
    timer()->core()->setIdleSource([this] { return idle; });
    timer()->startTaskTimer(task);
    ASSERT_TRUE(timer()->isTaskTimerRunning());
    const qint32 item = timer()->timedTaskItemIdentifier();
    const auto end = [&] { return business->taskItemWithIdentifier(item)->endDateTime(); };
    clock.set(twLocal(2026, 3, 2, 10, 0, 4));
    timer()->core()->updateTimedTask(QDateTime());
    int asked = 0;
    prompts.whileAsking = [&] { ++asked; };

    prompts.saveChanges = TWDocumentPrompts::Cancel;
    EXPECT_FALSE(document->canClose());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(timer()->isTaskTimerRunning());
    EXPECT_EQ(end(), twLocal(2026, 3, 2, 10, 0, 4));

    idle = 600.0;
    clock.set(twLocal(2026, 3, 2, 10, 10, 4));
    timer()->core()->updateTimedTask(QDateTime());
    ASSERT_TRUE(idleAnswer);
    prompts.saveChanges = TWDocumentPrompts::DontSave;
    EXPECT_FALSE(document->canClose());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(timer()->isTaskTimerRunning());
    // "No" still ends the item at the last activity (lengthened to the minimum).
    std::exchange(idleAnswer, nullptr)(1001);
    EXPECT_FALSE(timer()->isTaskTimerRunning());
    EXPECT_EQ(end(), twLocal(2026, 3, 2, 10, 15, 0));

    // Running again, Don't Save closes and stops it.
    idle = 0.0;
    timer()->startTaskTimer(task);
    const qint32 second = timer()->timedTaskItemIdentifier();
    clock.set(twLocal(2026, 3, 2, 10, 40, 0));
    ASSERT_TRUE(document->canClose());
    EXPECT_TRUE(timer()->isTaskTimerRunning());
    document->close();
    EXPECT_FALSE(timer()->isTaskTimerRunning());
    EXPECT_EQ(business->taskItemWithIdentifier(second)->endDateTime(),
              twLocal(2026, 3, 2, 10, 40, 0));
}

TEST_F(TaskTimer, DocumentTimerHearsTheStoreWithTheRecord)
{
    // The document's observers hand the notification on with its record.
    document->initUI();
    ASSERT_TRUE(timer());
    timer()->startTaskTimer(task);
    ASSERT_TRUE(timer()->isTaskTimerRunning());
    ASSERT_OK(business->deleteTask(task, true));
    EXPECT_FALSE(timer()->isTaskTimerRunning());
    EXPECT_EQ(timer()->menuletTaskIdentifier(), 0);
}

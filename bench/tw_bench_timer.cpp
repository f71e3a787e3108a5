// Times one task-timer tick on a generated business: the running time item's
// end written to the store, and the tasks view's timed cells and count line
// refreshed (then painted). Prints the median and the slowest of the ticks:
//   tw-bench-timer [--transactions N]
// Measure a Release build.

#include "TWBenchBusiness.h"
#include "TWBenchWidgetsMain.h"

#include "work/TWTaskTimerCore.h"
#include "work/TWTasksController.h"

#include "foundation/TWClock.h"
#include "store/TWBusiness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

constexpr int kTicks = 2000;

class BenchHost final : public TWTaskTimerHost
{
public:
    explicit BenchHost(TWBusiness *business) : m_business(business) {}
    TWBusiness *timerBusiness() const override { return m_business; }
    void timerDocumentChanged() override {}
    void timerPresentError(const TWError &error) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
    }
    void timerAskIdle(const QString &, const QStringList &, std::function<void(int)>) override {}

private:
    TWBusiness *m_business;
};

} // namespace

int main(int argc, char **argv)
{
    TWBenchWidgetsMain setup(argc, argv);
    TWBusiness *business = setup.business();
    if (!business)
        return 1;
    // The timed task of a project with the most tasks.
    TWTaskPtr timed;
    qsizetype most = -1;
    for (const TWProjectPtr &project : business->projects()) {
        if (project->type() != 1)
            continue;
        const TWTaskList tasks = business->tasksWithProject(*project);
        for (const TWTaskPtr &task : tasks)
            if (task->taskType() == TWTaskTypeTimed && tasks.size() > most) {
                most = tasks.size();
                timed = task;
            }
    }
    if (!timed) {
        std::fprintf(stderr, "no timed task of a project\n");
        return 1;
    }
    const TWProjectPtr project = business->projectWithIdentifier(timed->projectIdentifier());
    const TWClientPtr client = business->clientWithIdentifier(project->clientIdentifier());
    // The clients view shows every project of the client.
    TWTasksController tasks;
    tasks.setBusiness(business);
    tasks.setProjects(client ? business->projectsWithClient(*client) : TWProjectList{project});
    tasks.view()->resize(1200, 800);
    tasks.view()->show();
    tasks.update();

    BenchHost host(business);
    TWTaskTimerCore timer(&host);
    timer.setIdleSource([] { return 0.0; });
    tasks.connectTimer(&timer);
    if (!timer.startTaskTimer(timed))
        return 1;
    // The ticks are driven here, one after the other.
    timer.timer()->stop();
    QApplication::processEvents();

    const QDateTime start = TWClock::now();
    std::vector<double> ticks;
    ticks.reserve(kTicks);
    for (int i = 1; i <= kTicks; ++i) {
        QElapsedTimer clock;
        clock.start();
        timer.updateTimedTask(start.addMSecs(300LL * i));
        QApplication::processEvents();
        ticks.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ticks.begin(), ticks.end());
    std::printf("tasks listed: %lld, time items listed: %lld, transactions: %lld\n",
                static_cast<long long>(tasks.tasks().size()),
                static_cast<long long>(tasks.taskItems().size()),
                static_cast<long long>(business->transactions().size()));
    std::printf("timer tick: median %.3f ms, slowest %.3f ms (%d ticks)\n", ticks[ticks.size() / 2],
                ticks.back(), kTicks);
    timer.stopTaskTimer(QDateTime());
    return 0;
}

#include "crashreporting/common/MSHStepObserver.h"

#include <atomic>

namespace
{

std::atomic<MSHStepObserver> observer{nullptr};

} // namespace

void MSHSetStepObserver(MSHStepObserver watcher)
{
    observer.store(watcher);
}

void MSHReachedStep(const char *step)
{
    if (const MSHStepObserver watcher = observer.load())
        watcher(step);
}

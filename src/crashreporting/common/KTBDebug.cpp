#include "crashreporting/common/KTBDebug.h"

#include <atomic>

namespace
{
std::atomic<bool> debugFlag{false};
}

bool KTBDebugEnabled()
{
    return debugFlag.load(std::memory_order_relaxed);
}

void KTBSetDebugEnabled(bool enabled)
{
    debugFlag.store(enabled, std::memory_order_relaxed);
}

// Process id, wall clock and tick count, with a fixed setting for tests.
#include <time.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

namespace {
const FixedClock* g_pFixedClock = nullptr;
FixedClock g_fixedClock;
}  // namespace

void SetFixedClockForTesting(const FixedClock* pClock)
{
    if (pClock) {
        g_fixedClock = *pClock;
        g_pFixedClock = &g_fixedClock;
    } else {
        g_pFixedClock = nullptr;
    }
}

uint32_t ProcessId()
{
    return g_pFixedClock ? g_pFixedClock->processId : static_cast<uint32_t>(::getpid());
}

time_t CurrentTime()
{
    return g_pFixedClock ? g_pFixedClock->time : ::time(nullptr);
}

uint32_t TickCount()
{
    if (g_pFixedClock) return g_pFixedClock->tickCount;
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t nMilliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(nMilliseconds);
}

}  // namespace platform

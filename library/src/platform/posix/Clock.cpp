// Process id, wall clock and tick count.
#include <time.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

uint32_t ProcessId()
{
    return static_cast<uint32_t>(::getpid());
}

time_t CurrentTime()
{
    return ::time(nullptr);
}

uint32_t TickCount()
{
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t nMilliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(nMilliseconds);
}

}  // namespace platform

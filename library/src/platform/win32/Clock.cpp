// Process id, time and tick count from the Windows kernel, the values that
// make Content-IDs and boundaries unique. Tests may pin all three.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {
namespace {
bool g_bFixed = false;
FixedClock g_fixed{};
}  // namespace

uint32_t ProcessId()
{
    return g_bFixed ? g_fixed.processId : static_cast<uint32_t>(GetCurrentProcessId());
}

time_t CurrentTime()
{
    return g_bFixed ? g_fixed.time : std::time(nullptr);
}

uint32_t TickCount()
{
    return g_bFixed ? g_fixed.tickCount : static_cast<uint32_t>(GetTickCount());
}

void SetFixedClockForTesting(const FixedClock* pClock)
{
    g_bFixed = pClock != nullptr;
    if (pClock) g_fixed = *pClock;
}

}  // namespace platform

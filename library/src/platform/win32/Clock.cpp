// Process id, time and tick count from the Windows kernel, the values that
// make Content-IDs and boundaries unique.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {
uint32_t ProcessId()
{
    return static_cast<uint32_t>(GetCurrentProcessId());
}

time_t CurrentTime()
{
    return std::time(nullptr);
}

uint32_t TickCount()
{
    return static_cast<uint32_t>(GetTickCount());
}

}  // namespace platform

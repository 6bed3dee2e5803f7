// The table of system calls: the platform's own functions, or a test's.
// The stdio and heap calls are the same everywhere and live here; the rest
// come from platform/<platform>/.
#include "platform/SystemCalls.h"

#include <cstdlib>

#include "platform/Platform.h"
#include "platform/TempFile.h"

namespace platform {

namespace {

FILE* OpenFile(const char* path, const char* mode)
{
    return std::fopen(path, mode);
}

long ReadFile(FILE* file, void* buffer, size_t size)
{
    size_t nRead = std::fread(buffer, 1, size, file);
    if (nRead == 0 && std::ferror(file)) return -1;
    return static_cast<long>(nRead);
}

bool WriteFile(FILE* file, const void* data, size_t size)
{
    return std::fwrite(data, 1, size, file) == size && !std::ferror(file);
}

bool FlushFile(FILE* file)
{
    return std::fflush(file) == 0 && !std::ferror(file);
}

const char* EnvironmentValue(const char* name)
{
    return std::getenv(name);
}

void* Allocate(size_t size)
{
    return std::malloc(size);
}

const SystemCalls kNative = {
    StartSocketLayer,    ConnectToHost,  SendSome,         ReceiveSome, LocalHostName,
    FileIsReadable,      OpenFile,       ReadFile,         WriteFile,   FlushFile,
    CreateExclusiveFile, DeleteTempFile, EnvironmentValue, ProcessId,   CurrentTime,
    TickCount,           Allocate,
};

SystemCalls g_inUse = kNative;

FixedClock g_fixedClock;
uint32_t FixedProcessId()
{
    return g_fixedClock.processId;
}
time_t FixedTime()
{
    return g_fixedClock.time;
}
uint32_t FixedTickCount()
{
    return g_fixedClock.tickCount;
}

}  // namespace

const SystemCalls& Calls()
{
    return g_inUse;
}

const SystemCalls& NativeCalls()
{
    return kNative;
}

void UseCallsForTesting(const SystemCalls* pCalls)
{
    g_inUse = pCalls ? *pCalls : kNative;
}

void SetFixedClockForTesting(const FixedClock* pClock)
{
    if (pClock) g_fixedClock = *pClock;
    g_inUse.processId = pClock ? FixedProcessId : kNative.processId;
    g_inUse.currentTime = pClock ? FixedTime : kNative.currentTime;
    g_inUse.tickCount = pClock ? FixedTickCount : kNative.tickCount;
}

}  // namespace platform

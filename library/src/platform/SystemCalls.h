#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "platform/Sockets.h"

// Every call into the operating system that can fail, or whose answer a test
// must fix, as one table. The library makes these calls only through
// Calls(); production fills the table with the platform's own functions
// (Sockets.cpp, Files.cpp, TempFile.cpp, Clock.cpp), and a test may put in a
// table of its own that counts the calls and makes any one of them fail.
namespace platform {

struct SystemCalls {
    // Sockets: the contracts are those of Sockets.h.
    bool (*startSocketLayer)();
    ConnectStatus (*connectToHost)(const char* host, uint16_t port, int timeoutSeconds, SocketHandle& socket,
                                   int& error);
    long (*sendSome)(SocketHandle socket, const char* data, size_t length, int timeoutSeconds);
    long (*receiveSome)(SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds);
    bool (*localHostName)(char* buffer, size_t size);

    // Files. The one rule for input files: a path may be read when it names
    // something that exists, is no folder and may be opened for reading.
    bool (*fileIsReadable)(const char* path);
    FILE* (*openFile)(const char* path, const char* mode);
    // The count read; 0 at the end; less than 0 on a read error.
    long (*readFile)(FILE* file, void* buffer, size_t size);
    // True when all `size` bytes were taken.
    bool (*writeFile)(FILE* file, const void* data, size_t size);
    // True when everything written so far reached the file.
    bool (*flushFile)(FILE* file);
    // The temporary message file (see TempFile.h).
    FILE* (*createExclusiveFile)(const char* path, bool* pbNameTaken);
    bool (*deleteTempFile)(const char* path);

    // The environment: a variable's value, or null when it is not set.
    const char* (*environmentValue)(const char* name);

    // Clock and ids for Content-IDs, boundaries and the Date header.
    uint32_t (*processId)();
    time_t (*currentTime)();
    uint32_t (*tickCount)();

    // Memory from the C heap, or null.
    void* (*allocate)(size_t size);
};

// The table in use.
const SystemCalls& Calls();

// The platform's own table.
const SystemCalls& NativeCalls();

// Puts `pCalls` in use (copied); null puts the platform's own back (tests).
void UseCallsForTesting(const SystemCalls* pCalls);

}  // namespace platform

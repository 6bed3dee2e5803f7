#pragma once

#include <cstdio>

#include "Diagnostics.h"
#include "platform/SystemCalls.h"

// The temporary message file: closed and deleted on every way out.
class TempFileGuard {
public:
    TempFileGuard() = default;
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard()
    {
        if (!pFile) return;
        std::fclose(pFile);
        // The file holds the whole message: say so when it stays behind.
        if (!platform::Calls().deleteTempFile(szPath)) Log("Unable to delete tmp file '%s'.\n", szPath);
    }
    FILE* pFile = nullptr;
    char szPath[128] = "";
};

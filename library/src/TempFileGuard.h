#pragma once

#include <cstdio>

#include "platform/TempFile.h"

// The temporary message file: closed and deleted on every way out.
class TempFileGuard {
public:
    TempFileGuard() = default;
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    ~TempFileGuard()
    {
        if (pFile) std::fclose(pFile);
        if (pFile) platform::DeleteTempFile(szPath);
    }
    FILE* pFile = nullptr;
    char szPath[128] = "";
};

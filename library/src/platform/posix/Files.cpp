// File tests and removal.
#include <unistd.h>

#include <cstdio>

#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    return ::access(pszPath, R_OK) == 0;
}

bool RemoveFile(const char* pszPath)
{
    return std::remove(pszPath) == 0;
}

}  // namespace platform

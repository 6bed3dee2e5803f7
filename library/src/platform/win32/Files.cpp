// File checks and removal through the Windows C runtime and kernel.
#include <io.h>
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    constexpr int kReadAccess = 4;
    return pszPath && _access(pszPath, kReadAccess) == 0;
}

bool RemoveFile(const char* pszPath)
{
    return pszPath && DeleteFileA(pszPath) != 0;
}

}  // namespace platform

// File checks through the Windows C runtime.
#include <io.h>

#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    constexpr int kReadAccess = 4;
    return pszPath && _access(pszPath, kReadAccess) == 0;
}

}  // namespace platform

// The input-file rule through the Windows C runtime.
#include <io.h>
#include <sys/stat.h>

#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    constexpr int kReadAccess = 4;
    struct _stat info;
    return pszPath && _stat(pszPath, &info) == 0 && !(info.st_mode & _S_IFDIR) &&
           _access(pszPath, kReadAccess) == 0;
}

}  // namespace platform

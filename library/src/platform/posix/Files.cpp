// The input-file rule on POSIX. A folder opens like a file here, so it is
// ruled out before anyone tries to read it.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    struct stat info;
    return pszPath && ::stat(pszPath, &info) == 0 && !S_ISDIR(info.st_mode) && ::access(pszPath, R_OK) == 0;
}

}  // namespace platform

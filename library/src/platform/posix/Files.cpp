// File tests.
#include <unistd.h>


#include "platform/Platform.h"

namespace platform {

bool FileIsReadable(const char* pszPath)
{
    return ::access(pszPath, R_OK) == 0;
}

}  // namespace platform

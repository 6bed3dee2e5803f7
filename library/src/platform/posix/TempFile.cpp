// The temporary message file on POSIX: created exclusively and owner-only, so
// no other user can read the message or plant a link under its name.
#include "platform/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

FILE* CreateExclusiveFile(const char* path, bool* pbNameTaken)
{
    *pbNameTaken = false;
    int descriptor = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (descriptor < 0) {
        *pbNameTaken = errno == EEXIST;
        return nullptr;
    }
    FILE* pFile = ::fdopen(descriptor, "w+b");
    if (!pFile) {
        ::close(descriptor);
        ::unlink(path);
    }
    return pFile;
}

bool DeleteTempFile(const char* path)
{
    return ::unlink(path) == 0;
}

}  // namespace platform

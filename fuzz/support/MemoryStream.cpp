#include "support/MemoryStream.h"

#include <cstdlib>

namespace fuzzsupport {

std::string CaptureStream(const std::function<void(FILE*)>& write)
{
    char* pBuffer = nullptr;
    size_t nSize = 0;
    FILE* pStream = open_memstream(&pBuffer, &nSize);
    if (!pStream) std::abort();
    write(pStream);
    std::fclose(pStream);
    std::string text(pBuffer, nSize);
    std::free(pBuffer);
    return text;
}

}  // namespace fuzzsupport

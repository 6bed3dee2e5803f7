// Content types of attached files.
#include "ContentType.h"

#include <cstring>

#include "AsciiText.h"
#include "platform/Platform.h"

const char* FileNameOfPath(const char* pszPath)
{
    const char* pszName = pszPath;
    for (const char* p = pszPath; *p; ++p) {
        if (*p == '/' || *p == '\\') pszName = p + 1;
    }
    return pszName;
}

std::string ContentTypeOfFile(const char* pszPath)
{
    static const char* const kImageExtensions[] = {"gif", "jpg", "tif", "tiff", "bmp", "jpeg", "pcd", "png"};
    const char* pszDot = std::strrchr(FileNameOfPath(pszPath), '.');
    if (!pszDot) return "unknown/unknown";
    const char* pszExtension = pszDot + 1;

    std::string registered = platform::QueryRegisteredContentType(pszExtension);
    if (!registered.empty()) return registered;

    for (const char* pszImage : kImageExtensions) {
        if (EqualsIgnoringCase(pszExtension, pszImage)) return std::string("image/") + pszExtension;
    }
    return std::string("unknown/") + pszExtension;
}

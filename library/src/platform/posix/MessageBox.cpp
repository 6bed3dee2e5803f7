// Without a window system the library's one message box is a line on the
// process's standard error: "caption: text".
#include <cstdio>

#include "platform/Platform.h"

namespace platform {

void ShowErrorBox(const char* pszText, const char* pszCaption)
{
    std::fprintf(stderr, "%s: %s\n", pszCaption, pszText);
    std::fflush(stderr);
}

}  // namespace platform

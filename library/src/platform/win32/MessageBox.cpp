// The library's one message box: no owner window, a single OK button.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

void ShowErrorBox(const char* pszText, const char* pszCaption)
{
    MessageBoxA(nullptr, pszText, pszCaption, MB_OK);
}

}  // namespace platform

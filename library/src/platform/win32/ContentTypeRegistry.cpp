// Registered content types come from the "Content Type" value of the
// extension's key under HKEY_CLASSES_ROOT, the place where installers record
// them. The value is read into a 64-byte buffer; anything longer, missing or
// not a string counts as not registered.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

std::string QueryRegisteredContentType(const char* pszExtension)
{
    if (!pszExtension) return std::string();
    const std::string keyName = std::string(".") + pszExtension;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return std::string();

    char buffer[64];
    DWORD nSize = sizeof buffer;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExA(hKey, "Content Type", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &nSize);
    RegCloseKey(hKey);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    // The stored data need not carry its terminator; take the text up to the
    // first zero within what was returned.
    std::string text(buffer, nSize);
    const size_t nZero = text.find('\0');
    if (nZero != std::string::npos) text.resize(nZero);
    return text;
}

}  // namespace platform

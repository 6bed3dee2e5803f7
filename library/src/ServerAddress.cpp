#include "ServerAddress.h"

#include <cstring>

ServerAddress SplitServerAddress(const char* pszSetting, int nDefaultPort)
{
    ServerAddress address;
    const char* pszColon = std::strchr(pszSetting, ':');
    if (!pszColon) {
        address.host = pszSetting;
        address.port = nDefaultPort;
        return address;
    }
    address.host.assign(pszSetting, pszColon);
    long nPort = 0;
    const char* p = pszColon + 1;
    for (; *p >= '0' && *p <= '9'; ++p) {
        nPort = nPort * 10 + (*p - '0');
        if (nPort > 65535) return address;
    }
    if (*p == '\0' && p != pszColon + 1 && nPort >= 1) address.port = static_cast<int>(nPort);
    return address;
}

#include "ServerAddress.h"

#include <cstring>

namespace {

struct Scheme {
    const char* pszPrefix;
    bool bNews;
    ServerMode mode;
    int nPort;
};

constexpr Scheme kSchemes[] = {
    {"smtp+starttls://", false, ServerMode::kStartTls, 587},
    {"smtps://", false, ServerMode::kImplicitTls, 465},
    {"nntp+starttls://", true, ServerMode::kStartTls, 119},
    {"nntps://", true, ServerMode::kImplicitTls, 563},
};

// "" or ":" and a port from 1 to 65535; 0 for anything else.
int ParsePort(const char* pszText, int nDefaultPort)
{
    if (*pszText == '\0') return nDefaultPort;
    if (*pszText != ':') return 0;
    long nPort = 0;
    const char* p = pszText + 1;
    for (; *p >= '0' && *p <= '9'; ++p) {
        nPort = nPort * 10 + (*p - '0');
        if (nPort > 65535) return 0;
    }
    return *p == '\0' && p != pszText + 1 && nPort >= 1 ? static_cast<int>(nPort) : 0;
}

}  // namespace

ServerAddress SplitServerAddress(const char* pszSetting, int nDefaultPort)
{
    ServerAddress address;
    if (pszSetting[0] == '[') {
        const char* pszClose = std::strchr(pszSetting, ']');
        if (pszClose) {
            address.host.assign(pszSetting + 1, pszClose);
            address.port = ParsePort(pszClose + 1, nDefaultPort);
            return address;
        }
    }
    const char* pszColon = std::strchr(pszSetting, ':');
    if (!pszColon) {
        address.host = pszSetting;
        address.port = nDefaultPort;
        return address;
    }
    address.host.assign(pszSetting, pszColon);
    address.port = ParsePort(pszColon, nDefaultPort);
    return address;
}

bool IsServerUrl(const char* pszSetting)
{
    return pszSetting && std::strstr(pszSetting, "://") != nullptr;
}

ServerAddress ParseServerSetting(const char* pszSetting, bool bNews, int nPlainPort)
{
    if (!IsServerUrl(pszSetting)) return SplitServerAddress(pszSetting, nPlainPort);
    for (const Scheme& scheme : kSchemes) {
        size_t nPrefix = std::strlen(scheme.pszPrefix);
        if (strncasecmp(pszSetting, scheme.pszPrefix, nPrefix) != 0) continue;
        std::string rest = pszSetting + nPrefix;
        // A trailing "/" (as in "smtps://mail.example.com/") names no path.
        while (!rest.empty() && rest.back() == '/') rest.pop_back();
        ServerAddress address = SplitServerAddress(rest.c_str(), scheme.nPort);
        address.mode = scheme.mode;
        address.bValid =
            scheme.bNews == bNews && !address.host.empty() && address.host.find('/') == std::string::npos;
        return address;
    }
    ServerAddress address;
    address.host = pszSetting;
    address.mode = ServerMode::kStartTls;
    address.bValid = false;
    return address;
}

#include "DialogueTimeouts.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/SystemCalls.h"

DialogueTimeouts DialogueTimeouts::FromEnvironment()
{
    DialogueTimeouts timeouts;
    const char* pszValue = platform::Calls().environmentValue("QUILLNET_TIMEOUT");
    if (!pszValue || !*pszValue) return timeouts;
    char* pszEnd = nullptr;
    errno = 0;
    long nSeconds = std::strtol(pszValue, &pszEnd, 10);
    if (errno != 0 || *pszEnd != '\0' || nSeconds < 1 || nSeconds > INT_MAX / 1000) return timeouts;
    timeouts.nConnect = timeouts.nSend = timeouts.nReceive = static_cast<int>(nSeconds);
    return timeouts;
}

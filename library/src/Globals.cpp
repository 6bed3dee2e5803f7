#include "Globals.h"

#include <cstdlib>
#include <cstring>

char g_szMailHost[128] = "localhost";
char g_szNewsHost[128] = "";
char g_szNewsUser[32] = "";
char g_szNewsPassword[32] = "";
char g_szMailer[128] = "";
char g_szOrganization[128] = "";
char g_szLocalHost[256] = "";
char* g_pszReply = nullptr;
int32_t g_bVerbose = 0;
int32_t g_nSessions = 0;
int32_t g_bWinsockStarted = 0;

void ResetLibraryStateForTesting()
{
    std::strcpy(g_szMailHost, kDefaultMailHost);
    g_szNewsHost[0] = '\0';
    g_szNewsUser[0] = '\0';
    g_szNewsPassword[0] = '\0';
    g_szMailer[0] = '\0';
    g_szOrganization[0] = '\0';
    g_szLocalHost[0] = '\0';
    g_bVerbose = 0;
}

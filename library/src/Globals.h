#pragma once

#include <cstdint>

// Library-wide settings and resources. They outlive every call: a setting that
// a job leaves empty keeps the value an earlier job gave. _Wrenpost holds a
// process-wide lock for the whole call, so nothing here races.

extern char g_szMailHost[128];
extern char g_szNewsHost[128];
extern char g_szNewsUser[32];
extern char g_szNewsPassword[32];
extern char g_szMailer[128];
extern char g_szOrganization[128];
extern char g_szLocalHost[256];
extern char* g_pszReply;  // 4096-byte reply buffer, made by the first Ack
extern int32_t g_bVerbose;
extern int32_t g_nSessions;
extern int32_t g_bWinsockStarted;

constexpr int kReplyBufferSize = 4096;
constexpr const char* kDefaultMailHost = "localhost";

// Puts every setting back to its load-time value (tests only).
void ResetLibraryStateForTesting();

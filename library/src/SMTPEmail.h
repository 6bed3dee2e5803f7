#pragma once

#include <cstdint>

#include "MailUtil.h"

// One mail session: a message plus the transport that delivers it over SMTP
// or posts it over NNTP. Lives for one _Wrenpost call.
class CSMTPEmail : public CMailUtil {
public:
    CSMTPEmail();
    ~CSMTPEmail();

    // Runs the dialogue; 0 on success, else the failure's result code.
    int Send();

    char* m_pszErrorReply = nullptr;
    int32_t* m_plBytesProcessed = nullptr;
    int32_t* m_plBytesTotal = nullptr;
    uint8_t* m_pbUserCancel = nullptr;
    void (*m_pfnCallback)(void) = nullptr;

private:
    void _SendIt();
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "DialogueTimeouts.h"
#include "MailUtil.h"
#include "platform/Sockets.h"

// One mail session: a message plus the transport that delivers it over SMTP
// or posts it over NNTP. Lives for one _Wrenpost call.
class CSMTPEmail : public CMailUtil {
public:
    CSMTPEmail();
    ~CSMTPEmail();

    // Runs the dialogue; 0 on success, else the failure's result code.
    int Send();

    // Reads one server reply; returns when it is positive, raises otherwise
    // (8: closed, failed or timed out; 9: error reply; 11: no reply buffer).
    void Ack(platform::SocketHandle socket);

    // Sends a zero-terminated text whole (7 on failure). Commands are built
    // first and posted in one piece.
    void Post(platform::SocketHandle socket, const char* pszText);
    void Post(platform::SocketHandle socket, const char* pData, size_t nLength);

    // The IPv4 address (network order) of a host name or dotted address, or 0.
    static uint32_t ResolveHost(const char* pszHost);

    // Creates the temporary message file exclusively and writes its path into
    // `pszPath` (128 bytes). Returns the open file, or null when no candidate
    // folder takes it (`pszPath` then holds the last path tried).
    static FILE* MakeTempFileName(char* pszPath);

    char* m_pszErrorReply = nullptr;
    int32_t* m_plBytesProcessed = nullptr;
    int32_t* m_plBytesTotal = nullptr;
    uint8_t* m_pbUserCancel = nullptr;
    void (*m_pfnCallback)(void) = nullptr;

private:
    // The dialogue, one function per phase, in the order _SendIt runs them.
    void _SendIt();
    void StartSocketLayer();
    void ConnectToServer();
    void FetchLocalHostName();
    void IntroduceMail();
    void IntroduceArticle();
    void CompleteHeaders();
    void ComposeAndTransfer();
    void SayGoodbye();

    // Closes the connection without ending the data, so the server discards
    // whatever part of the message it has received.
    void DropConnection();

    platform::SocketHandle m_socket = platform::kInvalidSocket;
    DialogueTimeouts m_timeouts;
};

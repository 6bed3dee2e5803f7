#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DialogueTimeouts.h"
#include "EsmtpCapabilities.h"
#include "MailUtil.h"
#include "ReplyReader.h"
#include "ServerAddress.h"
#include "Transport.h"
#include "platform/Sockets.h"

// One mail session: a message plus the transport that delivers it over SMTP
// or posts it over NNTP. Lives for one _Wrenpost call.
class TempFileGuard;

class CSMTPEmail : public CMailUtil {
public:
    CSMTPEmail();
    ~CSMTPEmail();

    // Runs the dialogue; 0 on success, else the failure's result code.
    int Send();

    // Reads one server reply; returns when it is positive, raises otherwise
    // (8: closed, failed or timed out; 9: error reply; 11: no reply buffer).
    void Ack();

    // Sends a zero-terminated text whole (7 on failure). Commands are built
    // first and posted in one piece.
    void Post(const char* pszText);
    void Post(const char* pData, size_t nLength);

    // Creates the temporary message file exclusively and writes its path into
    // `pszPath` (128 bytes). Returns the open file, or null when no candidate
    // folder takes it (`pszPath` then holds the last path tried).
    static FILE* MakeTempFileName(char* pszPath);

    // The byte stream Ack and Post use from now on. The dialogue sets its
    // own when it connects; a reader of replies can be fed from memory.
    void UseTransport(std::unique_ptr<Transport> transport) { m_transport = std::move(transport); }

    char* m_pszErrorReply = nullptr;
    int32_t* m_plBytesProcessed = nullptr;
    int32_t* m_plBytesTotal = nullptr;
    uint8_t* m_pbUserCancel = nullptr;
    void (*m_pfnCallback)(void) = nullptr;

    // Credentials for AUTH in the submission modes (the job's USERNAME and
    // USERPASSWORD); "bearer:TOKEN" as the password asks for XOAUTH2.
    std::string m_submissionUser;
    std::string m_submissionPassword;

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
    // Writes the message into the temporary file; returns its size.
    long ComposeMessage(TempFileGuard& temp);
    // Sends the composed file and the end-of-message line (not the reply).
    void TransferMessage(FILE* pFile, long nSize);
    void SayGoodbye();

    // The submission modes (SubmissionDialogue.cpp): ESMTP with TLS, AUTH,
    // pipelining and a result per recipient.
    void SubmitMail();
    void SayEhlo();
    void StartTlsOnMail();
    void StartTlsOnNews();
    void StartTlsHandshake();
    void Authenticate();
    void AuthenticateWith(const std::string& mechanism);
    void AddStandardHeaders();
    void RunTransactions(FILE* pFile, long nSize, bool b8Bit);
    // One MAIL/RCPT/DATA transaction; returns the number of recipients that
    // got the message. Recipients refused for good go to m_refused; those
    // answered with 452 into `deferred`, for a further transaction.
    size_t RunTransaction(FILE* pFile, long nSize, bool b8Bit, const std::vector<std::string>& recipients,
                          std::vector<std::pair<std::string, SmtpReply>>& deferred);
    // Sends a command; `pszShown` is what the debug file shows instead of
    // a line that holds a secret.
    void Command(const std::string& line, const char* pszShown = nullptr);
    // Reads the next reply; raises 8 when none comes.
    SmtpReply NextReply();
    // Raises 9 with the reply in the host's buffer unless it has `nClass`
    // (2 for 2xx, 3 for 3xx).
    SmtpReply Expect(int nClass);
    // The same for one exact code, without the Ack log line.
    SmtpReply ExpectCode(int nCode);
    void ReportServerText(const std::string& text);
    [[noreturn]] void FailTransport(int code);

    // Closes the connection without ending the data, so the server discards
    // whatever part of the message it has received.
    void DropConnection();

    platform::SocketHandle m_socket = platform::kInvalidSocket;
    std::unique_ptr<Transport> m_transport;
    ServerAddress m_server;
    EsmtpCapabilities m_capabilities;
    ReplyReader m_replies;
    std::vector<std::string> m_refused;  // "<addr> 550 ..." per refused recipient
    DialogueTimeouts m_timeouts;
};

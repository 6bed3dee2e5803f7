// The mail session's life cycle and the dialogue script. The protocol
// primitives (Ack, Post, ResolveHost) are in SMTPDialogue.cpp, the temporary
// file in TempMessageFile.cpp, the data phase in MessageTransfer.cpp.
#include "SMTPEmail.h"

#include <cstring>
#include <new>
#include <string>

#include "Diagnostics.h"
#include "Globals.h"
#include "MessageTransfer.h"
#include "SMTPError.h"
#include "ServerAddress.h"
#include "platform/TempFile.h"

namespace {

constexpr int kSmtpPort = 25;
constexpr int kNntpPort = 119;

// The temporary message file: closed and deleted on every way out.
class TempFileGuard {
public:
    ~TempFileGuard()
    {
        if (pFile) std::fclose(pFile);
        if (pFile) platform::DeleteTempFile(szPath);
    }
    FILE* pFile = nullptr;
    char szPath[128] = "";
};

// Recipients are separated by "," or a space; empty pieces are skipped.
template <typename Visit>
void ForEachRecipient(const std::string& list, Visit visit)
{
    size_t nStart = 0;
    while (nStart < list.size()) {
        size_t nEnd = list.find_first_of(", ", nStart);
        if (nEnd == std::string::npos) nEnd = list.size();
        if (nEnd > nStart && !visit(list.substr(nStart, nEnd - nStart))) return;
        nStart = nEnd + 1;
    }
}

}  // namespace

CSMTPEmail::CSMTPEmail()
{
    ++g_nSessions;
}

CSMTPEmail::~CSMTPEmail()
{
    DropConnection();
    --g_nSessions;
    if (g_nSessions == 0 && g_bWinsockStarted) platform::StopSocketLayer();
    g_bWinsockStarted = 0;
}

int CSMTPEmail::Send()
{
    try {
        _SendIt();
        return 0;
    } catch (const CSMTPError&) {
        return m_nError;
    } catch (const std::bad_alloc&) {
        m_nError = 11;
        return m_nError;
    }
}

void CSMTPEmail::DropConnection()
{
    platform::CloseSocket(m_socket);
    m_socket = platform::kInvalidSocket;
}

void CSMTPEmail::_SendIt()
{
    m_timeouts = DialogueTimeouts::FromEnvironment();
    StartSocketLayer();
    ConnectToServer();
    Ack(m_socket);
    FetchLocalHostName();
    if (m_bNewsMode)
        IntroduceArticle();
    else
        IntroduceMail();
    CompleteHeaders();
    ComposeAndTransfer();
    SayGoodbye();
}

void CSMTPEmail::StartSocketLayer()
{
    if (!g_bWinsockStarted) {
        if (!platform::StartSocketLayer()) Fail(3);
        g_bWinsockStarted = 1;
    }
}

void CSMTPEmail::ConnectToServer()
{
    m_socket = platform::OpenStreamSocket();
    if (m_socket == platform::kInvalidSocket) Fail(5);

    ServerAddress server =
        SplitServerAddress(m_bNewsMode ? g_szNewsHost : g_szMailHost, m_bNewsMode ? kNntpPort : kSmtpPort);
    uint32_t nAddress = server.port ? ResolveHost(server.host.c_str()) : 0;
    int nError = nAddress ? platform::Connect(m_socket, nAddress, static_cast<uint16_t>(server.port),
                                              m_timeouts.nConnect)
                          : platform::AddressNotAvailableError();
    if (nError != 0) {
        Log("Failed to connect to server '%s' port %d. Winsock error: %d\n", server.host.c_str(), server.port,
            nError);
        Fail(6);
    }
}

void CSMTPEmail::FetchLocalHostName()
{
    if (g_szLocalHost[0]) return;
    if (!platform::LocalHostName(g_szLocalHost, sizeof g_szLocalHost)) {
        g_szLocalHost[0] = '\0';
        Log("CSMTPEmail::_SendIt() - gethostname() failed. Winsock error code is %d\n",
            platform::LastSocketError());
        Fail(10);
    }
}

void CSMTPEmail::IntroduceMail()
{
    Post(m_socket, (std::string("HELO ") + g_szLocalHost + "\r\n").c_str());
    Ack(m_socket);

    // The envelope sender is the bare address: a From text with a display
    // name is no valid argument for MAIL FROM.
    Post(m_socket, (std::string("MAIL FROM: ") + GetHeader("X-Sender", "(NULL)") + "\r\n").c_str());
    Ack(m_socket);

    if (m_pszRecipients) {
        ForEachRecipient(*m_pszRecipients, [this](const std::string& recipient) {
            Post(m_socket, ("RCPT TO: " + recipient + "\r\n").c_str());
            Ack(m_socket);
            return true;
        });
    }

    Post(m_socket, "DATA\r\n");
    Ack(m_socket);
    SetHeader("Return-Path", GetHeader("X-Sender", "(NULL)"), 0);
}

void CSMTPEmail::IntroduceArticle()
{
    if (g_szNewsUser[0]) {
        Post(m_socket, (std::string("AUTHINFO USER ") + g_szNewsUser + "\r\n").c_str());
        Ack(m_socket);
        if (g_szNewsPassword[0]) {
            Post(m_socket, (std::string("AUTHINFO PASS ") + g_szNewsPassword + "\r\n").c_str());
            Ack(m_socket);
        }
    }

    // A news server knows one group per GROUP command; the Newsgroups header
    // still names every group, and the server files the article in each.
    std::string firstGroup;
    if (m_pszRecipients) {
        ForEachRecipient(*m_pszRecipients, [&firstGroup](const std::string& group) {
            firstGroup = group;
            return false;
        });
    }
    Post(m_socket, ("GROUP " + firstGroup + "\r\n").c_str());
    Ack(m_socket);

    Post(m_socket, "POST\r\n");
    Ack(m_socket);
}

void CSMTPEmail::CompleteHeaders()
{
    SetHeader("Reply-To", GetHeader("X-Sender", "(NULL)"), 0);
    SetDate();
}

void CSMTPEmail::ComposeAndTransfer()
{
    TempFileGuard temp;
    temp.pFile = MakeTempFileName(temp.szPath);
    if (!temp.pFile) {
        Log("Unable to open tmp file '%s'. Aborting.\n", temp.szPath);
        Fail(12);
    }

    // A message that could not be written whole must not reach the server:
    // dropping the connection before the end of the data makes it discard
    // what it has.
    int nWritten = WriteOutMessage(temp.pFile);
    if (nWritten == 0 && (std::fflush(temp.pFile) != 0 || std::ferror(temp.pFile))) {
        Log("Unable to write tmp file '%s'. Aborting.\n", temp.szPath);
        nWritten = 12;
    }
    long nSize = nWritten == 0 ? std::ftell(temp.pFile) : -1;
    if (nWritten != 0 || nSize < 0) {
        DropConnection();
        Fail(nWritten == 11 ? 11 : 12);
    }

    ProgressHooks hooks{m_plBytesProcessed, m_plBytesTotal, m_pbUserCancel, m_pfnCallback};
    CMessageTransfer transfer([this](const char* pData, size_t nLength) { Post(m_socket, pData, nLength); },
                              hooks);
    switch (transfer.Run(temp.pFile, nSize)) {
        case CMessageTransfer::kSent:
            break;
        case CMessageTransfer::kCancelled:
            DropConnection();
            Fail(14);
        case CMessageTransfer::kReadFailed:
            DropConnection();
            Fail(12);
    }
    Ack(m_socket);
}

void CSMTPEmail::SayGoodbye()
{
    // The server has accepted the message: a failed goodbye cannot undo that,
    // and reporting it would invite the user to send the mail twice.
    try {
        Post(m_socket, "QUIT\r\n");
        Ack(m_socket);
    } catch (const CSMTPError&) {
        m_nError = 0;
    }
}

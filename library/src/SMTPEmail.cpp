// The mail session's life cycle and the dialogue script. The protocol
// primitives (Ack, Post, ResolveHost) are in SMTPDialogue.cpp, the temporary
// file in TempMessageFile.cpp, the data phase in MessageTransfer.cpp.
#include "SMTPEmail.h"

#include <cstring>
#include <string>

#include "Diagnostics.h"
#include "Globals.h"
#include "MessageTransfer.h"
#include "RecipientList.h"
#include "SMTPError.h"
#include "ServerAddress.h"
#include "SocketTransport.h"
#include "TempFileGuard.h"
#include "platform/SystemCalls.h"
#include "platform/Tls.h"

namespace {

constexpr int kSmtpPort = 25;
constexpr int kNntpPort = 119;

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
        return RESULT_OK;
    } catch (...) {
        m_nError = CurrentFailure().nResult;
        return m_nError;
    }
}

void CSMTPEmail::DropConnection()
{
    m_transport.reset();
    platform::CloseSocket(m_socket);
    m_socket = platform::kInvalidSocket;
}

void CSMTPEmail::_SendIt()
{
    m_timeouts = DialogueTimeouts::FromEnvironment();
    m_server = ParseServerSetting(m_bNewsMode ? g_szNewsHost : g_szMailHost, m_bNewsMode != 0,
                                  m_bNewsMode ? kNntpPort : kSmtpPort);
    StartSocketLayer();
    ConnectToServer();
    if (m_server.mode != ServerMode::kPlain && !m_bNewsMode) {
        SubmitMail();
        return;
    }
    Ack();
    if (m_server.mode == ServerMode::kStartTls) StartTlsOnNews();
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
        if (!platform::Calls().startSocketLayer()) Fail(RESULT_WINSOCK_START);
        g_bWinsockStarted = 1;
    }
}

void CSMTPEmail::ConnectToServer()
{
    if (!m_server.bValid) {
        LogAlways(
            "'%s' is no server URL for %s (smtp+starttls://, smtps://, nntp+starttls:// or nntps://).\n",
            m_server.host.c_str(), m_bNewsMode ? "news" : "mail");
        Fail(RESULT_CONNECT_FAILED);
    }
    if (m_server.mode != ServerMode::kPlain && !platform::TlsIsBuiltIn()) {
        LogAlways("TLS: TLS is not built into this library; '%s' cannot be reached.\n",
                  m_server.host.c_str());
        ReportServerText("TLS: TLS is not built into this library");
        Fail(RESULT_CONNECT_FAILED);
    }

    int nError = 0;
    switch (platform::Calls().connectToHost(m_server.host.c_str(), static_cast<uint16_t>(m_server.port),
                                            m_timeouts.nConnect, m_socket, nError)) {
        case platform::ConnectStatus::kConnected:
            break;
        case platform::ConnectStatus::kNoSocket:
            Fail(RESULT_NO_SOCKET);
        case platform::ConnectStatus::kFailed:
            Log("Failed to connect to server '%s' port %d. Winsock error: %d\n", m_server.host.c_str(),
                m_server.port, nError);
            Fail(RESULT_CONNECT_FAILED);
    }
    m_transport = std::make_unique<SocketTransport>(m_socket);
    if (m_server.mode == ServerMode::kImplicitTls) StartTlsHandshake();
}

void CSMTPEmail::FetchLocalHostName()
{
    if (g_szLocalHost[0]) return;
    if (!platform::Calls().localHostName(g_szLocalHost, sizeof g_szLocalHost)) {
        g_szLocalHost[0] = '\0';
        Log("CSMTPEmail::_SendIt() - gethostname() failed. Winsock error code is %d\n",
            platform::LastSocketError());
        Fail(RESULT_NO_LOCAL_HOST);
    }
}

void CSMTPEmail::IntroduceMail()
{
    Post((std::string("HELO ") + g_szLocalHost + "\r\n").c_str());
    Ack();

    // The envelope sender is the bare address: a From text with a display
    // name is no valid argument for MAIL FROM.
    Post((std::string("MAIL FROM: ") + GetHeader("X-Sender", "(NULL)") + "\r\n").c_str());
    Ack();

    if (m_pszRecipients) {
        ForEachRecipient(*m_pszRecipients, [this](const std::string& recipient) {
            Post(("RCPT TO: " + recipient + "\r\n").c_str());
            Ack();
            return true;
        });
    }

    Post("DATA\r\n");
    Ack();
    SetHeader("Return-Path", GetHeader("X-Sender", "(NULL)"), 0);
}

void CSMTPEmail::IntroduceArticle()
{
    if (g_szNewsUser[0]) {
        Post((std::string("AUTHINFO USER ") + g_szNewsUser + "\r\n").c_str());
        Ack();
        if (g_szNewsPassword[0]) {
            Post((std::string("AUTHINFO PASS ") + g_szNewsPassword + "\r\n").c_str());
            Ack();
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
    Post(("GROUP " + firstGroup + "\r\n").c_str());
    Ack();

    Post("POST\r\n");
    Ack();
}

void CSMTPEmail::CompleteHeaders()
{
    SetHeader("Reply-To", GetHeader("X-Sender", "(NULL)"), 0);
    SetDate();
}

void CSMTPEmail::ComposeAndTransfer()
{
    TempFileGuard temp;
    long nSize = ComposeMessage(temp);
    TransferMessage(temp.pFile, nSize);
    Ack();
}

long CSMTPEmail::ComposeMessage(TempFileGuard& temp)
{
    temp.pFile = MakeTempFileName(temp.szPath);
    if (!temp.pFile) {
        Log("Unable to open tmp file '%s'. Aborting.\n", temp.szPath);
        Fail(RESULT_TEMP_FILE);
    }
    // The file is written and read in large blocks (the encoders' output, the
    // transfer's reads): with a buffer as large, stdio passes them straight
    // through instead of splitting each around its own small buffer.
    std::setvbuf(temp.pFile, nullptr, _IOFBF, CMessageTransfer::kWriteSize);

    // A message that could not be written whole must not reach the server:
    // dropping the connection before the end of the data makes it discard
    // what it has.
    long nSize = -1;
    try {
        WriteMessage(temp.pFile);
        nSize = std::ftell(temp.pFile);
    } catch (...) {
        DropConnection();
        throw;
    }
    if (nSize < 0) {
        DropConnection();
        Fail(RESULT_TEMP_FILE);
    }
    return nSize;
}

void CSMTPEmail::TransferMessage(FILE* pFile, long nSize)
{
    ProgressHooks hooks{m_plBytesProcessed, m_plBytesTotal, m_pbUserCancel, m_pfnCallback};
    CMessageTransfer transfer([this](const char* pData, size_t nLength) { Post(pData, nLength); }, hooks);
    switch (transfer.Run(pFile, nSize)) {
        case CMessageTransfer::kSent:
            break;
        case CMessageTransfer::kCancelled:
            DropConnection();
            Fail(RESULT_CANCELLED);
        case CMessageTransfer::kReadFailed:
            DropConnection();
            Fail(RESULT_TEMP_FILE);
    }
}

void CSMTPEmail::SayGoodbye()
{
    // The server has accepted the message: a failed goodbye cannot undo that,
    // and reporting it would invite the user to send the mail twice.
    try {
        Post("QUIT\r\n");
        Ack();
    } catch (const CSMTPError&) {
        m_nError = 0;
    }
}

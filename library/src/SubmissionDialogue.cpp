// The submission modes of mail: EHLO, TLS (after STARTTLS or from the first
// byte), AUTH, then one or more transactions with a result per recipient.
// Every command and reply goes through the session's transport; the reply
// reader keeps bytes that arrive early, so pipelined replies stay in order.
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "AsciiText.h"
#include "Diagnostics.h"
#include "Globals.h"
#include "MessageOutput.h"
#include "RecipientList.h"
#include "SMTPEmail.h"
#include "SMTPError.h"
#include "SaslMessages.h"
#include "TempFileGuard.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"
#include "platform/Tls.h"
#include "quillnet/wrenpost.h"

namespace {

bool HasNonAscii(const std::string& text)
{
    return HasEightBitBytes(text.data(), text.size());
}

std::string Hex(uint64_t nValue)
{
    char szText[24];
    std::snprintf(szText, sizeof szText, "%llx", static_cast<unsigned long long>(nValue));
    return szText;
}

// Unique across calls of this process (counter), processes (id) and runs
// (time and a random part); the host name makes it unique across machines.
std::string MakeMessageId()
{
    static std::atomic<unsigned> s_nCounter{0};
    static const uint64_t s_nRandom = [] {
        std::random_device source;
        return static_cast<uint64_t>(source()) << 32 | source();
    }();
    return "<" + Hex(static_cast<uint64_t>(platform::CurrentTime())) + "." + Hex(platform::ProcessId()) +
           "." + Hex(platform::TickCount()) + "." + Hex(++s_nCounter) + "." + Hex(s_nRandom) + "@" +
           g_szLocalHost + ">";
}

// "250 ok" of a RCPT reply: the 452 "too many recipients" of RFC 5321 asks
// for the rest in a further transaction.
bool AsksForAnotherTransaction(const SmtpReply& reply)
{
    return reply.nCode == 452;
}

}  // namespace

void CSMTPEmail::Command(const std::string& line, const char* pszShown)
{
    Log("Sent: %s\n", pszShown ? pszShown : line.c_str());
    std::string wire = line + "\r\n";
    Post(wire.data(), wire.size());
}

SmtpReply CSMTPEmail::NextReply()
{
    SmtpReply reply;
    switch (m_replies.Read(*m_transport, m_timeouts.nReceive, reply)) {
        case ReplyReader::kReply:
            return reply;
        case ReplyReader::kMalformed:
            Log("CSMTPEmail: malformed server reply\n");
            Fail(RESULT_RECEIVE_FAILED);
        case ReplyReader::kClosed:
        case ReplyReader::kFailed:
            break;
    }
    FailTransport(RESULT_RECEIVE_FAILED);
}

SmtpReply CSMTPEmail::Expect(int nClass)
{
    SmtpReply reply = NextReply();
    if (reply.nCode / 100 != nClass) {
        Log("CSMTPEmail::Ack: Server Error!\n");
        ReportServerText(reply.text);
        Fail(RESULT_SERVER_ERROR);
    }
    return reply;
}

SmtpReply CSMTPEmail::ExpectCode(int nCode)
{
    SmtpReply reply = NextReply();
    if (reply.nCode != nCode) {
        ReportServerText(reply.text);
        Fail(RESULT_SERVER_ERROR);
    }
    return reply;
}

void CSMTPEmail::SubmitMail()
{
    Expect(2);
    FetchLocalHostName();
    SayEhlo();
    if (m_server.mode == ServerMode::kStartTls) StartTlsOnMail();
    Authenticate();
    AddStandardHeaders();
    CompleteHeaders();

    TempFileGuard temp;
    EightBitWatch watch;
    long nSize = ComposeMessage(temp);
    bool b8Bit = watch.Seen();
    RunTransactions(temp.pFile, nSize, b8Bit);
    try {
        Command("QUIT");
        NextReply();
    } catch (const CSMTPError&) {
        m_nError = 0;  // the message is accepted; see SayGoodbye
    }
    if (!m_refused.empty()) {
        std::string text = "Refused:";
        for (size_t i = 0; i < m_refused.size(); ++i) text += (i ? "; " : " ") + m_refused[i];
        LogAlways("%s\n", text.c_str());
        ReportServerText(text);
        Fail(RESULT_SOME_RECIPIENTS_REFUSED);
    }
}

void CSMTPEmail::SayEhlo()
{
    Command(std::string("EHLO ") + g_szLocalHost);
    m_capabilities.Learn(Expect(2).text);
}

void CSMTPEmail::StartTlsOnMail()
{
    // Without STARTTLS the mail would go out in plain text: never fall back.
    if (!m_capabilities.Has("STARTTLS")) {
        const char* pszText = "TLS: the server does not offer STARTTLS";
        LogAlways("%s\n", pszText);
        ReportServerText(pszText);
        Fail(RESULT_CONNECT_FAILED);
    }
    Command("STARTTLS");
    ExpectCode(220);
    StartTlsHandshake();
    // What the server said in plain text may have been forged on the way.
    m_capabilities.Forget();
    SayEhlo();
}

void CSMTPEmail::StartTlsOnNews()
{
    Post("STARTTLS\r\n");
    ExpectCode(382);
    StartTlsHandshake();
}

void CSMTPEmail::StartTlsHandshake()
{
    // Bytes after the reply to STARTTLS, before the handshake, would be read
    // as the first replies of the encrypted session: someone on the way
    // injected them.
    if (m_replies.HasPending()) {
        const char* pszText = "TLS: the server sent data before the TLS handshake";
        LogAlways("%s\n", pszText);
        ReportServerText(pszText);
        Fail(RESULT_CONNECT_FAILED);
    }
    std::string failure;
    std::unique_ptr<Transport> tls =
        platform::StartTls(m_socket, m_server.host, m_timeouts.nConnect, failure);
    if (!tls) {
        LogAlways("%s\n", failure.c_str());
        ReportServerText(failure);
        Fail(RESULT_CONNECT_FAILED);
    }
    m_transport = std::move(tls);
    m_replies.DiscardPending();
}

void CSMTPEmail::Authenticate()
{
    // Only reached with TLS up: both submission modes start it before this.
    if (m_submissionUser.empty()) return;
    const char* pszMechanism = nullptr;
    if (!BearerToken(m_submissionPassword).empty()) {
        if (m_capabilities.OffersAuth("XOAUTH2")) pszMechanism = "XOAUTH2";
    } else if (m_capabilities.OffersAuth("PLAIN")) {
        pszMechanism = "PLAIN";
    } else if (m_capabilities.OffersAuth("LOGIN")) {
        pszMechanism = "LOGIN";
    }
    if (!pszMechanism) {
        std::string text =
            "AUTH: the server offers no usable mechanism (AUTH " + m_capabilities.Parameters("AUTH") + ")";
        LogAlways("%s\n", text.c_str());
        ReportServerText(text);
        Fail(RESULT_SERVER_ERROR);
    }
    AuthenticateWith(pszMechanism);
}

void CSMTPEmail::AuthenticateWith(const std::string& mechanism)
{
    if (mechanism == "PLAIN") {
        Command("AUTH PLAIN " + PlainResponse(m_submissionUser, m_submissionPassword), "AUTH PLAIN ****");
    } else if (mechanism == "LOGIN") {
        Command("AUTH LOGIN");
        Expect(3);
        Command(Base64Text(m_submissionUser));
        Expect(3);
        Command(Base64Text(m_submissionPassword), "****");
    } else {
        Command("AUTH XOAUTH2 " + XOAuth2Response(m_submissionUser, BearerToken(m_submissionPassword)),
                "AUTH XOAUTH2 ****");
        SmtpReply reply = NextReply();
        // A refused token comes as a 334 challenge holding the error; an
        // empty answer makes the server send its final refusal.
        if (reply.nCode == 334) {
            Command("");
            reply = NextReply();
        }
        if (reply.nCode / 100 != 2) {
            ReportServerText(reply.text);
            Fail(RESULT_SERVER_ERROR);
        }
        return;
    }
    Expect(2);
}

void CSMTPEmail::AddStandardHeaders()
{
    m_bStandardHeaders = 1;
    if (!FindHeader("Message-ID")) SetHeader("Message-ID", MakeMessageId().c_str(), 0);
}

void CSMTPEmail::RunTransactions(FILE* pFile, long nSize, bool b8Bit)
{
    std::vector<std::string> pending;
    if (m_pszRecipients) {
        ForEachRecipient(*m_pszRecipients, [&pending](const std::string& recipient) {
            pending.push_back(recipient);
            return true;
        });
    }
    m_refused.clear();
    size_t nDelivered = 0;
    while (!pending.empty()) {
        std::vector<std::pair<std::string, SmtpReply>> deferred;
        size_t nAccepted = RunTransaction(pFile, nSize, b8Bit, pending, deferred);
        nDelivered += nAccepted;
        pending.clear();
        for (auto& [recipient, reply] : deferred) {
            // Without progress another transaction would only repeat this one.
            if (nAccepted == 0)
                m_refused.push_back("<" + recipient + "> " + reply.LastLine());
            else
                pending.push_back(recipient);
        }
    }
    if (nDelivered == 0) {
        std::string text = "Refused:";
        for (size_t i = 0; i < m_refused.size(); ++i) text += (i ? "; " : " ") + m_refused[i];
        LogAlways("%s\n", text.c_str());
        ReportServerText(text);
        Fail(m_refused.empty() ? RESULT_NO_RECIPIENTS : RESULT_SERVER_ERROR);
    }
}

size_t CSMTPEmail::RunTransaction(FILE* pFile, long nSize, bool b8Bit,
                                  const std::vector<std::string>& recipients,
                                  std::vector<std::pair<std::string, SmtpReply>>& deferred)
{
    std::string sender = GetHeader("X-Sender", "");
    bool bUtf8 = HasNonAscii(sender);
    for (const std::string& recipient : recipients) bUtf8 = bUtf8 || HasNonAscii(recipient);

    std::string mail = "MAIL FROM:<" + sender + ">";
    if (m_capabilities.Has("SIZE")) mail += " SIZE=" + std::to_string(nSize);
    if (b8Bit && m_capabilities.Has("8BITMIME")) mail += " BODY=8BITMIME";
    if (bUtf8 && m_capabilities.Has("SMTPUTF8")) mail += " SMTPUTF8";

    // With PIPELINING the envelope and DATA go in one write and the replies
    // are read afterwards, in the order of the commands.
    const bool bPipelining = m_capabilities.Has("PIPELINING");
    if (bPipelining) {
        std::string batch = mail + "\r\n";
        for (const std::string& recipient : recipients) batch += "RCPT TO:<" + recipient + ">\r\n";
        batch += "DATA\r\n";
        Log("Sent: %s and %lu RCPT TO and DATA in one write\n", mail.c_str(),
            static_cast<unsigned long>(recipients.size()));
        Post(batch.data(), batch.size());
    } else {
        Command(mail);
    }
    SmtpReply reply = NextReply();
    if (reply.nCode / 100 != 2) {
        ReportServerText(reply.text);
        Fail(RESULT_SERVER_ERROR);
    }

    size_t nAccepted = 0;
    for (const std::string& recipient : recipients) {
        if (!bPipelining) Command("RCPT TO:<" + recipient + ">");
        reply = NextReply();
        if (reply.nCode / 100 == 2)
            ++nAccepted;
        else if (AsksForAnotherTransaction(reply))
            deferred.emplace_back(recipient, reply);
        else
            m_refused.push_back("<" + recipient + "> " + reply.LastLine());
    }

    if (!bPipelining && nAccepted == 0) {
        Command("RSET");
        NextReply();
        return 0;
    }
    if (!bPipelining) Command("DATA");
    reply = NextReply();
    if (nAccepted == 0) {
        // The server has to refuse DATA without recipients; one that takes
        // it gets no message: the connection is dropped.
        if (reply.nCode == 354) {
            DropConnection();
            Fail(RESULT_SERVER_ERROR);
        }
        Command("RSET");
        NextReply();
        return 0;
    }
    if (reply.nCode != 354) {
        ReportServerText(reply.text);
        Fail(RESULT_SERVER_ERROR);
    }
    TransferMessage(pFile, nSize);
    Expect(2);
    return nAccepted;
}

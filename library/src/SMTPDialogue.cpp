// The protocol primitives of the classic dialogue: reading a reply and
// sending a command, both through the session's transport.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "Diagnostics.h"
#include "Globals.h"
#include "SMTPEmail.h"
#include "SMTPError.h"
#include "platform/SystemCalls.h"

namespace {

constexpr size_t kErrorReplyBufferSize = 500;
constexpr unsigned char kFirstErrorByte = '4';
constexpr unsigned char kLastErrorByte = 0x7F;

// An SMTP reply of several lines marks every line but the last with a "-"
// after its code ("250-first\r\n250 last\r\n"). Waiting for the last line
// keeps replies and commands in step when such a reply arrives in pieces.
bool EndsWithContinuationLine(const char* pszReply, size_t nLength)
{
    size_t nLineStart = nLength - 2;
    while (nLineStart > 0 && pszReply[nLineStart - 1] != '\n') --nLineStart;
    const char* pLine = pszReply + nLineStart;
    return nLength - 2 - nLineStart >= 4 && std::isdigit(static_cast<unsigned char>(pLine[0])) &&
           std::isdigit(static_cast<unsigned char>(pLine[1])) &&
           std::isdigit(static_cast<unsigned char>(pLine[2])) && pLine[3] == '-';
}

}  // namespace

void CSMTPEmail::Ack()
{
    if (!g_pszReply) {
        g_pszReply = static_cast<char*>(platform::Calls().allocate(kReplyBufferSize));
        if (!g_pszReply) {
            Log("CSMTPEmail::Ack: Out of Memory!\n");
            Fail(RESULT_OUT_OF_MEMORY);
        }
    }

    size_t nHeld = 0;
    const size_t nCapacity = kReplyBufferSize - 1;
    for (;;) {
        if (nHeld == nCapacity) Fail(RESULT_RECEIVE_FAILED);
        long nReceived = m_transport->Receive(g_pszReply + nHeld, nCapacity - nHeld, m_timeouts.nReceive);
        if (nReceived <= 0) FailTransport(RESULT_RECEIVE_FAILED);
        const char* pszPiece = g_pszReply + nHeld;
        nHeld += static_cast<size_t>(nReceived);
        g_pszReply[nHeld] = '\0';
        Log("Received: (%ld bytes) %s\n", nReceived, pszPiece);
        if (nHeld >= 2 && g_pszReply[nHeld - 2] == '\r' && g_pszReply[nHeld - 1] == '\n' &&
            !EndsWithContinuationLine(g_pszReply, nHeld))
            break;
        Log("Incomplete server message. Awaiting CRLF\n");
    }

    // The first digit "4" or higher marks an error; so does any byte above
    // the digits, as a reply that is no reply at all.
    unsigned char nFirst = static_cast<unsigned char>(g_pszReply[0]);
    if (nFirst >= kFirstErrorByte && nFirst <= kLastErrorByte) {
        Log("CSMTPEmail::Ack: Server Error!\n");
        ReportServerText(std::string(g_pszReply, nHeld));
        Fail(RESULT_SERVER_ERROR);
    }
}

void CSMTPEmail::Post(const char* pszText)
{
    Post(pszText, std::strlen(pszText));
}

void CSMTPEmail::Post(const char* pData, size_t nLength)
{
    while (nLength > 0) {
        long nSent = m_transport->Send(pData, nLength, m_timeouts.nSend);
        if (nSent < 1) {
            Log("Post: Failed to Send!\n");
            FailTransport(RESULT_SEND_FAILED);
        }
        pData += nSent;
        nLength -= static_cast<size_t>(nSent);
    }
}

void CSMTPEmail::ReportServerText(const std::string& text)
{
    if (!m_pszErrorReply) return;
    size_t nCopy = std::min(text.size(), kErrorReplyBufferSize - 1);
    std::memcpy(m_pszErrorReply, text.data(), nCopy);
    m_pszErrorReply[nCopy] = '\0';
}

void CSMTPEmail::FailTransport(int code)
{
    // A broken TLS session says why; the host sees the same text as a
    // server's refusal would give it.
    std::string failure = m_transport ? m_transport->FailureText() : "";
    if (!failure.empty()) {
        LogAlways("%s\n", failure.c_str());
        ReportServerText(failure);
    }
    Fail(code);
}

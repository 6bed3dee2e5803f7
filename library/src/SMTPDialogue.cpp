// The protocol primitives of the mail session: reading a reply, sending a
// command, and finding the server's address.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "Diagnostics.h"
#include "Globals.h"
#include "SMTPEmail.h"

namespace {

constexpr size_t kErrorReplyBufferSize = 500;

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

void CSMTPEmail::Ack(platform::SocketHandle socket)
{
    if (!g_pszReply) {
        g_pszReply = static_cast<char*>(platform::AllocateMemory(kReplyBufferSize));
        if (!g_pszReply) {
            Log("CSMTPEmail::Ack: Out of Memory!\n");
            Fail(11);
        }
    }

    size_t nHeld = 0;
    const size_t nCapacity = kReplyBufferSize - 1;
    for (;;) {
        if (nHeld == nCapacity) Fail(8);
        long nReceived =
            platform::ReceiveSome(socket, g_pszReply + nHeld, nCapacity - nHeld, m_timeouts.nReceive);
        if (nReceived <= 0) Fail(8);
        const char* pszPiece = g_pszReply + nHeld;
        nHeld += static_cast<size_t>(nReceived);
        g_pszReply[nHeld] = '\0';
        Log("Received: (%ld bytes) %s\n", nReceived, pszPiece);
        if (nHeld >= 2 && g_pszReply[nHeld - 2] == '\r' && g_pszReply[nHeld - 1] == '\n' &&
            !EndsWithContinuationLine(g_pszReply, nHeld))
            break;
        Log("Incomplete server message. Awaiting CRLF\n");
    }

    unsigned char nFirst = static_cast<unsigned char>(g_pszReply[0]);
    if (nFirst >= 0x34 && nFirst <= 0x7F) {
        Log("CSMTPEmail::Ack: Server Error!\n");
        if (m_pszErrorReply) {
            size_t nCopy = std::min(nHeld, kErrorReplyBufferSize - 1);
            std::memcpy(m_pszErrorReply, g_pszReply, nCopy);
            m_pszErrorReply[nCopy] = '\0';
        }
        Fail(9);
    }
}

void CSMTPEmail::Post(platform::SocketHandle socket, const char* pszText)
{
    Post(socket, pszText, std::strlen(pszText));
}

void CSMTPEmail::Post(platform::SocketHandle socket, const char* pData, size_t nLength)
{
    while (nLength > 0) {
        long nSent = platform::SendSome(socket, pData, nLength, m_timeouts.nSend);
        if (nSent < 1) {
            Log("Post: Failed to Send!\n");
            Fail(7);
        }
        pData += nSent;
        nLength -= static_cast<size_t>(nSent);
    }
}

uint32_t CSMTPEmail::ResolveHost(const char* pszHost)
{
    if (!pszHost || !*pszHost) return 0;
    uint32_t nAddress = platform::ParseDottedAddress(pszHost);
    if (nAddress != 0xFFFFFFFFu) return nAddress;
    if (std::strcmp(pszHost, "255.255.255.255") == 0) return nAddress;
    return platform::LookUpHostAddress(pszHost);
}

#include "ReplyReader.h"

#include "Diagnostics.h"

namespace {

// A reply longer than this is no reply a mail or news server sends.
constexpr size_t kMaxReplySize = 64 * 1024;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

std::string SmtpReply::LastLine() const
{
    // Lines end at CR LF only: a bare LF inside a line is part of it.
    size_t nEnd = text.size() >= 2 ? text.size() - 2 : 0;
    size_t nStart = nEnd > 0 ? text.rfind("\r\n", nEnd - 1) : std::string::npos;
    nStart = nStart == std::string::npos ? 0 : nStart + 2;
    return text.substr(nStart, nEnd - nStart);
}

void ReplyReader::DiscardPending()
{
    m_buffer.clear();
    m_nUsed = 0;
}

bool ReplyReader::TakeReply(SmtpReply& reply, bool& bMalformed)
{
    size_t nLineStart = m_nUsed;
    for (;;) {
        size_t nLineEnd = m_buffer.find("\r\n", nLineStart);
        if (nLineEnd == std::string::npos) return false;
        const char* pLine = m_buffer.data() + nLineStart;
        size_t nLength = nLineEnd - nLineStart;
        if (nLength < 3 || !IsDigit(pLine[0]) || !IsDigit(pLine[1]) || !IsDigit(pLine[2]) ||
            (nLength > 3 && pLine[3] != ' ' && pLine[3] != '-')) {
            bMalformed = true;
            return false;
        }
        if (nLength > 3 && pLine[3] == '-') {
            nLineStart = nLineEnd + 2;
            continue;
        }
        reply.nCode = (pLine[0] - '0') * 100 + (pLine[1] - '0') * 10 + (pLine[2] - '0');
        reply.text = m_buffer.substr(m_nUsed, nLineEnd + 2 - m_nUsed);
        m_nUsed = nLineEnd + 2;
        if (m_nUsed == m_buffer.size()) DiscardPending();
        return true;
    }
}

ReplyReader::Status ReplyReader::Read(Transport& transport, int nTimeoutSeconds, SmtpReply& reply)
{
    for (;;) {
        bool bMalformed = false;
        if (TakeReply(reply, bMalformed)) return kReply;
        if (bMalformed || m_buffer.size() - m_nUsed > kMaxReplySize) return kMalformed;
        char piece[4096];
        long nReceived = transport.Receive(piece, sizeof piece, nTimeoutSeconds);
        if (nReceived == 0) return kClosed;
        if (nReceived < 0) return kFailed;
        m_buffer.append(piece, static_cast<size_t>(nReceived));
        Log("Received: (%ld bytes) %.*s\n", nReceived, static_cast<int>(nReceived), piece);
    }
}

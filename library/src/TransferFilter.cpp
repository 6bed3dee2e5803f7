#include "TransferFilter.h"

#include <cstring>

void CTransferFilter::Append(const char* pData, size_t nLength, std::string& out)
{
    // Works line by line with memchr so that long runs without a line feed
    // (base64 bodies are 76 bytes a line) are copied in one piece.
    if (nLength > 0) m_bAnyData = true;
    while (nLength > 0) {
        if (m_bLineStart && *pData == '.') out += '.';
        const char* pLineFeed = static_cast<const char*>(std::memchr(pData, '\n', nLength));
        size_t nSpan = pLineFeed ? static_cast<size_t>(pLineFeed - pData) : nLength;
        out.append(pData, nSpan);
        bool bCRBefore = nSpan > 0 ? pData[nSpan - 1] == '\r' : m_bAfterCR;
        if (!pLineFeed) {
            m_bLineStart = false;
            m_bAfterCR = bCRBefore;
            return;
        }
        if (!bCRBefore) out += '\r';
        out += '\n';
        m_bLineStart = true;
        m_bAfterCR = false;
        pData += nSpan + 1;
        nLength -= nSpan + 1;
    }
}

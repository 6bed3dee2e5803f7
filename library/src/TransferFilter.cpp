#include "TransferFilter.h"

#include <cstring>

void CTransferFilter::Append(const char* pData, size_t nLength, std::string& out)
{
    if (Filter(pData, nLength, out)) out.append(pData, nLength);
}

bool CTransferFilter::AppendIfChanged(const char* pData, size_t nLength, std::string& out)
{
    return !Filter(pData, nLength, out);
}

bool CTransferFilter::Filter(const char* pData, size_t nLength, std::string& out)
{
    if (nLength == 0) return true;
    m_bAnyData = true;
    // Most pieces (base64 bodies above all) need no change: copy runs between
    // the places that do in one append, finding line feeds with memchr. Until
    // the first such place nothing is copied, so an unchanged piece costs a
    // scan and no copy.
    const char* const pEnd = pData + nLength;
    const char* pCopyFrom = pData;
    bool bChanged = false;
    if (m_bLineStart && *pData == '.') {
        out += '.';
        bChanged = true;
    }
    for (const char* p = pData;;) {
        const char* pLineFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(pEnd - p)));
        if (!pLineFeed) break;
        bool bCRBefore = pLineFeed > pData ? pLineFeed[-1] == '\r' : m_bAfterCR;
        if (!bCRBefore) {
            out.append(pCopyFrom, pLineFeed);
            out += '\r';
            pCopyFrom = pLineFeed;
            bChanged = true;
        }
        p = pLineFeed + 1;
        if (p == pEnd) break;
        if (*p == '.') {
            out.append(pCopyFrom, p);
            out += '.';
            pCopyFrom = p;
            bChanged = true;
        }
    }
    if (bChanged) out.append(pCopyFrom, pEnd);
    m_bLineStart = pEnd[-1] == '\n';
    m_bAfterCR = pEnd[-1] == '\r';
    return !bChanged;
}

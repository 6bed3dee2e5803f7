// The composer's header list, its simple setters and its part list.
#include "MailUtil.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "AsciiText.h"
#include "HeaderEncoding.h"
#include "MailPart.h"
#include "MessageOutput.h"
#include "SMTPError.h"
#include "platform/SystemCalls.h"

CMailUtil::~CMailUtil()
{
    delete m_pFirstPart;  // a part owns its successors and its related parts
    HeaderLine* pLine = m_pHeaders;
    while (pLine) {
        HeaderLine* pNext = pLine->pNext;
        delete pLine;
        pLine = pNext;
    }
}

void CMailUtil::Fail(int code)
{
    m_nError = code;
    throw CSMTPError{code};
}

std::string WithoutLineBreaks(const char* pszText)
{
    std::string text = pszText ? pszText : "";
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

HeaderLine* CMailUtil::FindHeader(const char* pszName) const
{
    for (HeaderLine* pLine = m_pHeaders; pLine; pLine = pLine->pNext) {
        if (EqualsIgnoringCase(pLine->pszName, pszName)) return pLine;
    }
    return nullptr;
}

const char* CMailUtil::GetHeader(const char* pszName, const char* pszDefault) const
{
    HeaderLine* pLine = FindHeader(pszName);
    return pLine ? pLine->value.c_str() : pszDefault;
}

int CMailUtil::SetHeader(const char* pszName, const char* pszValue, int bAppend)
{
    if (!pszValue) pszValue = "";
    HeaderLine* pLine = FindHeader(pszName);
    if (pLine) {
        if (bAppend)
            AppendHeaderValue(pLine, pszValue);
        else
            pLine->value = pszValue;
        return 0;
    }
    // Filled before it is linked: a copy that runs out of memory must not
    // leave a node that nothing owns.
    auto pNewLine = std::make_unique<HeaderLine>();
    pNewLine->pszName = pszName;
    pNewLine->value = pszValue;
    pLine = pNewLine.release();
    // The tail pointer keeps adding lines constant-time however long the list.
    if (m_pLastHeader)
        m_pLastHeader->pNext = pLine;
    else
        m_pHeaders = pLine;
    m_pLastHeader = pLine;
    return 0;
}

void CMailUtil::AppendHeaderValue(HeaderLine* pLine, const char* pszText)
{
    std::string text = pszText;  // the text may point into the value that grows below
    std::string& value = pLine->value;
    // Searching back from the end keeps a header of thousands of entries linear.
    size_t nLastLineFeed = value.rfind('\n');
    size_t nLastLineLength = nLastLineFeed == std::string::npos ? value.size() : value.size() - nLastLineFeed;
    value += ',';
    if (nLastLineLength > 75) value += "\r\n\t";
    value += text;
}

void CMailUtil::WriteHeaders(FILE* pFile) const
{
    const char* pszCharset = platform::Calls().environmentValue("MM_CHARSET");
    const std::string charset = pszCharset && *pszCharset ? pszCharset : "iso-8859-1";
    for (HeaderLine* pLine = m_pHeaders; pLine; pLine = pLine->pNext) {
        WriteText(pFile, pLine->pszName);
        WriteText(pFile, ": ");
        const std::string* pValue = &pLine->value;
        std::string encoded;
        if (m_bStandardHeaders) {
            const char* pszName = pLine->pszName;
            if (EqualsIgnoringCase(pszName, "Subject") || EqualsIgnoringCase(pszName, "Organization"))
                encoded = EncodeUnstructured(pLine->value, charset);
            else if (EqualsIgnoringCase(pszName, "From") || EqualsIgnoringCase(pszName, "To") ||
                     EqualsIgnoringCase(pszName, "Cc"))
                encoded = EncodeAddressList(pLine->value, charset);
            else
                encoded = pLine->value;
            pValue = &encoded;
        }
        WriteBytes(pFile, pValue->data(), pValue->size());
        WriteText(pFile, "\r\n");
    }
    FlushOutput(pFile);
}

void CMailUtil::SetSender(const char* pszText)
{
    std::string text = WithoutLineBreaks(pszText);
    size_t nStart = text.find('<');
    nStart = nStart == std::string::npos ? 0 : nStart + 1;
    size_t nEnd = text.find('>', nStart);
    if (nEnd == std::string::npos) nEnd = text.size();
    SetHeader("X-Sender", text.substr(nStart, nEnd - nStart).c_str(), 0);
}

void CMailUtil::SetSubject(const char* pszText)
{
    SetHeader("Subject", WithoutLineBreaks(pszText).c_str(), 0);
}

void CMailUtil::SetFrom(const char* pszText)
{
    SetHeader("From", WithoutLineBreaks(pszText).c_str(), 0);
    if (!FindHeader("X-Sender")) SetSender(pszText);
}

void CMailUtil::SetPriority(int8_t priority)
{
    if (priority < 1 || priority > 5) return;
    char szValue[4];
    std::snprintf(szValue, sizeof szValue, "%d", priority);
    SetHeader("X-Priority", szValue, 0);
}

void CMailUtil::SetDate()
{
    if (FindHeader("Date")) return;
    SetHeader("Date", arpadate(platform::Calls().currentTime()).c_str(), 0);
}

int CMailUtil::AddPart(const char* pszSource, int kind)
{
    CMailPart* pPart = new CMailPart(this);
    if (!m_pFirstPart) m_pFirstPart = pPart;
    return pPart->Create(pszSource, kind, m_bOemToAnsi);
}

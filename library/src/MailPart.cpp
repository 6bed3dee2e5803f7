// The part model: construction, linking, and filling a part from a text or a path.
#include "MailPart.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ContentType.h"
#include "Diagnostics.h"
#include "MailUtil.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"
#include "quillnet/wrenpost.h"

namespace {

// SMTP refuses lines longer than 998 bytes (CR LF not counted).
constexpr size_t kMaxLineLength = 998;

bool NeedsQuotedPrintable(const std::string& text)
{
    size_t nLineLength = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c > 127) return true;
        if (c == '\n') {
            nLineLength = 0;
        } else if (c != '\r' || i + 1 == text.size() || text[i + 1] != '\n') {
            if (++nLineLength > kMaxLineLength) return true;
        }
    }
    return false;
}

// The text after the last "\": an HTML reference such as "images/pic.gif"
// stays whole, so repeated references find the part made for the first one.
const char* AfterLastBackslash(const char* pszPath)
{
    const char* pszSlash = std::strrchr(pszPath, '\\');
    return pszSlash ? pszSlash + 1 : pszPath;
}

// `text` as a quoted string: a quote or backslash in a file name would
// otherwise end the value early or escape its closing quote.
std::string QuotedString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

CMailPart::CMailPart(CMailUtil* pSession)
{
    m_bRelated = 0;
    m_pListHead = pSession->m_pFirstPart;
    InitCommon(pSession, pSession->m_pLastPart);
}

CMailPart::CMailPart(CMailUtil* pSession, CMailPart* pOwner)
{
    // The owner learns of the part only once nothing here can throw any
    // more: a part whose construction failed is freed again, and an owner
    // still pointing at it would free it a second time.
    m_pListHead = pOwner->m_pFirstRelated ? pOwner->m_pFirstRelated : this;
    m_bRelated = 1;
    char szContentId[200];
    std::snprintf(szContentId, sizeof szContentId, "PART.CID.%" PRIX32 ".%llX.%" PRIX32 ".%" PRIXPTR,
                  platform::Calls().processId(),
                  static_cast<unsigned long long>(platform::Calls().currentTime()),
                  platform::Calls().tickCount(), reinterpret_cast<uintptr_t>(this));
    m_szContentId = szContentId;
    InitCommon(pSession, pOwner->m_pLastRelated);
    if (!pOwner->m_pFirstRelated) pOwner->m_pFirstRelated = this;
    pOwner->m_pLastRelated = this;
}

CMailPart::~CMailPart()
{
    // Lists are freed in a loop rather than by each part deleting its
    // successor, so a long list cannot exhaust the stack.
    for (CMailPart** ppList : {&m_pNext, &m_pFirstRelated}) {
        CMailPart* pPart = *ppList;
        *ppList = nullptr;
        while (pPart) {
            CMailPart* pNext = pPart->m_pNext;
            pPart->m_pNext = nullptr;
            delete pPart;
            pPart = pNext;
        }
    }
}

void CMailPart::InitCommon(CMailUtil* pSession, CMailPart* pKnownTail)
{
    m_bText = 1;
    m_bRichText = 0;
    m_bHtml = 0;
    m_pszContentType = "text/plain";
    m_nEncoding = ENC_NONE;
    m_pSession = pSession;
    const char* pszCharset = platform::Calls().environmentValue("MM_CHARSET");
    m_szCharsetBuf = pszCharset ? pszCharset : "iso-8859-1";
    m_pszCharset = m_szCharsetBuf.c_str();
    LinkIntoList(pKnownTail);  // last, after everything that may throw
}

void CMailPart::LinkIntoList(CMailPart* pKnownTail)
{
    if (m_pListHead && m_pListHead != this) {
        // Starting from the list's known tail keeps adding many parts linear.
        CMailPart* pLast = pKnownTail ? pKnownTail : m_pListHead;
        while (pLast->m_pNext) pLast = pLast->m_pNext;
        pLast->m_pNext = this;
    }
    if (!m_bRelated) m_pSession->m_pLastPart = this;
}

void CMailPart::SetText(const char* pszText)
{
    m_pszData = pszText;
}

void CMailPart::ConvertOemToAnsi()
{
    platform::OemToAnsi(m_pszData.data(), m_pszData.size());
}

bool CMailPart::ReadTextFile(const char* pszPath)
{
    if (!platform::Calls().fileIsReadable(pszPath)) return false;
    FILE* pFile = platform::Calls().openFile(pszPath, "rb");
    if (!pFile) return false;
    std::string text;
    char buffer[16384];
    long nGot;
    while ((nGot = platform::Calls().readFile(pFile, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(nGot));
    std::fclose(pFile);
    // Half a text is no text: the part is refused as if unreadable.
    if (nGot < 0) return false;
    // The part is a text: a zero byte ends it.
    size_t nZero = text.find('\0');
    if (nZero != std::string::npos) text.resize(nZero);
    m_pszData = std::move(text);
    return true;
}

void CMailPart::ChooseTextEncoding(int bOemToAnsi)
{
    if (!NeedsQuotedPrintable(m_pszData)) {
        m_nEncoding = ENC_7BIT;
        return;
    }
    m_nEncoding = ENC_QUOTED_PRINTABLE;
    if (bOemToAnsi) ConvertOemToAnsi();
}

void CMailPart::SetFile(const char* pszPath)
{
    m_bText = 0;
    m_nEncoding = ENC_BASE64;
    m_szContentTypeBuf = ContentTypeOfFile(pszPath);
    m_pszContentType = m_szContentTypeBuf.c_str();
    m_szFileName = m_bRelated ? AfterLastBackslash(pszPath) : FileNameOfPath(pszPath);
    m_szDisposition = std::string(m_bRelated ? "inline" : "attachment") +
                      "; filename=" + QuotedString(WithoutLineBreaks(m_szFileName.c_str()));
    m_pszData = pszPath;
}

int CMailPart::Create(const char* pszSource, int kind, int bOemToAnsi)
{
    if (!pszSource) pszSource = "";
    Log("CMailPart::Create: %s\n", pszSource);
    switch (kind) {
        case PART_TEXT_RAW:
            SetText(pszSource);
            break;
        case PART_TEXT_7BIT:
            m_nEncoding = ENC_7BIT;
            SetText(pszSource);
            break;
        case PART_TEXT_QP:
        case PART_RICHTEXT:
            m_nEncoding = ENC_QUOTED_PRINTABLE;
            SetText(pszSource);
            if (bOemToAnsi) ConvertOemToAnsi();
            m_bRichText = kind == PART_RICHTEXT;
            break;
        case PART_HTML:
            m_nEncoding = ENC_7BIT;
            m_pszCharset = "us-ascii";
            SetText(pszSource);
            if (bOemToAnsi) ConvertOemToAnsi();
            m_bHtml = 1;
            break;
        case PART_HTML_FILE:
        case PART_TEXT_FILE:
            if (kind == PART_HTML_FILE) {
                m_bHtml = 1;
                m_nEncoding = ENC_7BIT;
                m_pszCharset = "us-ascii";
            }
            if (!ReadTextFile(pszSource)) return -1;
            ChooseTextEncoding(bOemToAnsi);
            break;
        case PART_TEXT:
            SetText(pszSource);
            ChooseTextEncoding(bOemToAnsi);
            break;
        case PART_ATTACHMENT:
            SetFile(pszSource);
            break;
        default:
            break;  // an unknown kind stays an empty text part
    }
    if (m_bHtml) {
        GetRelatedParts();
        // Rewritten references lengthen lines; an HTML file that chose 7bit
        // must still keep every line within what SMTP accepts.
        if (kind == PART_HTML_FILE && m_nEncoding == ENC_7BIT && NeedsQuotedPrintable(m_pszData))
            ChooseTextEncoding(bOemToAnsi);
    }
    return 0;
}

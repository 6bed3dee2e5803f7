// The HTML scan that turns references to local files into "cid:" references
// and makes one related part per distinct file. It is not an HTML parser: it
// looks only at the first attribute of a few tags and only at double-quoted
// values, and copies everything else through untouched.
#include <cstring>
#include <new>
#include <string>

#include "Diagnostics.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/Platform.h"
#include "quillnet/wrenpost.h"

namespace {

struct TagAttribute {
    const char* pszTag;
    const char* pszAttribute;
};

constexpr TagAttribute kReferenceTags[] = {
    {"IMG", "SRC"},       {"BODY", "BACKGROUND"}, {"TABLE", "BACKGROUND"}, {"A", "HREF"},
    {"TD", "BACKGROUND"}, {"TH", "BACKGROUND"},   {"TR", "BACKGROUND"},    {"APPLET", "CODE"},
    {"EMBED", "SRC"},     {"BGSOUND", "SRC"},
};

// Names and values are held in fixed working storage of these sizes, the
// terminating zero included: a name that does not fit matches nothing, a
// value that does not fit is left as written.
constexpr size_t kNameStorage = 100;
constexpr size_t kValueStorage = 300;
// The output is the input with some values rewritten to "cid:" and a
// Content-ID; reserving this much beyond the input up front keeps appends from
// reallocating for all but reference-heavy pages.
constexpr size_t kSpareOutput = 9000;

bool IsWhiteSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EndsName(unsigned char c)
{
    return c == '>' || (c != '\0' && std::strchr(" =\"'\t\r\n#()", c) != nullptr);
}

// Upper-cases ASCII letters only: bytes above 127 have no case here, whatever
// the process locale says.
std::string UpperCase(const char* pBegin, size_t nLength)
{
    std::string upper(pBegin, nLength);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

const TagAttribute* FindTag(const std::string& upperName)
{
    for (const TagAttribute& entry : kReferenceTags) {
        if (upperName == entry.pszTag) return &entry;
    }
    return nullptr;
}

bool IsNonLocal(const std::string& value)
{
    return (!value.empty() && value[0] == '/') || value.find("://") != std::string::npos;
}

// One pass over the input. Every byte read is either appended to the output
// at once or, for a double-quoted value, appended (possibly rewritten) right
// after the value has been classified, so the output is the input with only
// the values replaced.
class HtmlScan {
public:
    HtmlScan(const char* pText, size_t nLength, std::string& out)
        : m_pPos(pText), m_pEnd(pText + nLength), m_out(out)
    {
    }

    bool AtEnd() const { return m_pPos == m_pEnd; }
    unsigned char Current() const { return static_cast<unsigned char>(*m_pPos); }

    // Copies text up to and including the next "<"; false at the end.
    bool CopyThroughTagOpen()
    {
        const void* pFound = std::memchr(m_pPos, '<', static_cast<size_t>(m_pEnd - m_pPos));
        const char* pStop = pFound ? static_cast<const char*>(pFound) + 1 : m_pEnd;
        m_out.append(m_pPos, pStop);
        m_pPos = pStop;
        return pFound != nullptr;
    }

    void CopyWhiteSpace()
    {
        const char* pStart = m_pPos;
        while (m_pPos != m_pEnd && IsWhiteSpace(Current())) ++m_pPos;
        m_out.append(pStart, m_pPos);
    }

    // Copies a tag or attribute name and returns it upper-cased, or "" when
    // it is too long for the name storage (so it matches no table entry).
    std::string CopyName()
    {
        const char* pStart = m_pPos;
        while (m_pPos != m_pEnd && !EndsName(Current())) ++m_pPos;
        m_out.append(pStart, m_pPos);
        size_t nLength = static_cast<size_t>(m_pPos - pStart);
        return nLength < kNameStorage ? UpperCase(pStart, nLength) : std::string();
    }

    // Copies `c` when it is the current byte.
    bool CopyIf(char c)
    {
        if (AtEnd() || *m_pPos != c) return false;
        m_out.push_back(c);
        ++m_pPos;
        return true;
    }

    // Reads the value up to the next double quote (or the end), leaving the
    // closing quote as the current byte. Nothing is copied.
    void ReadValue(const char*& pBegin, const char*& pEnd)
    {
        const void* pQuote = std::memchr(m_pPos, '"', static_cast<size_t>(m_pEnd - m_pPos));
        pBegin = m_pPos;
        pEnd = pQuote ? static_cast<const char*>(pQuote) : m_pEnd;
        m_pPos = pEnd;
    }

private:
    const char* m_pPos;
    const char* m_pEnd;
    std::string& m_out;
};

// The related part that stands for `value`, made on first use; null when
// the reference is not to a readable local file.
CMailPart* RelatedPartFor(CMailPart& owner, const std::string& value)
{
    if (IsNonLocal(value)) {
        Log("GetRelatedParts: Target not local!\n");
        return nullptr;
    }
    if (!platform::FileIsReadable(value.c_str())) {
        Log("GetRelatedParts: File \"%s\" does not exist!\n", value.c_str());
        return nullptr;
    }
    // A linear walk: a page refers to few distinct files, and the list order
    // decides which part wins when file names repeat.
    for (CMailPart* pPart = owner.m_pFirstRelated; pPart; pPart = pPart->m_pNext) {
        if (pPart->m_szFileName == value) {
            Log("GetRelatedParts: Use old part for \"%s\"\n", value.c_str());
            return pPart;
        }
    }
    Log("GetRelatedParts: Create NEW part for \"%s\"\n", value.c_str());
    // The constructor links the part into this part's related list, which
    // owns it from then on.
    CMailPart* pPart = new CMailPart(owner.m_pSession, &owner);
    pPart->Create(value.c_str(), PART_ATTACHMENT, 0);
    Log("GetRelatedParts: Create related part for  \"%s\" CID:%s!\n", value.c_str(),
        pPart->m_szContentId.c_str());
    return pPart;
}

}  // namespace

void CMailPart::GetRelatedParts()
{
    // The text ends at its first zero byte, as everywhere else it is read.
    size_t nInput = std::strlen(m_pszData.c_str());
    std::string out;
    try {
        out.reserve(nInput + kSpareOutput);
        Log("GetRelatedParts: Begin HTML parsing\n");

        HtmlScan scan(m_pszData.data(), nInput, out);
        // Where a step gives up on a tag it simply returns to the top of the
        // loop: the text copy there carries on from the current byte, and a
        // "<" at that byte starts the next tag instead of being swallowed.
        while (scan.CopyThroughTagOpen()) {
            scan.CopyWhiteSpace();
            std::string tagName = scan.CopyName();
            scan.CopyWhiteSpace();
            if (scan.AtEnd() || scan.CopyIf('>')) continue;

            const TagAttribute* pEntry = FindTag(tagName);
            if (!pEntry) continue;

            std::string attributeName = scan.CopyName();
            if (attributeName != pEntry->pszAttribute) continue;

            scan.CopyWhiteSpace();
            if (!scan.CopyIf('=')) continue;
            scan.CopyWhiteSpace();
            if (!scan.CopyIf('"')) continue;

            const char* pValue;
            const char* pValueEnd;
            scan.ReadValue(pValue, pValueEnd);
            size_t nValue = static_cast<size_t>(pValueEnd - pValue);
            if (nValue < kValueStorage) {
                std::string value(pValue, nValue);
                Log("GetRelatedParts: Found Tag <%s %s=\"%s\">\n", tagName.c_str(), attributeName.c_str(),
                    value.c_str());
                CMailPart* pRelated = RelatedPartFor(*this, value);
                if (pRelated) {
                    out.append("cid:");
                    out.append(pRelated->m_szContentId);
                } else {
                    out.append(value);
                }
            } else {
                // Longer than the value storage: left as written.
                out.append(pValue, nValue);
            }
            scan.CopyIf('"');
        }
    } catch (const std::bad_alloc&) {
        // The part keeps its old text; the related parts made so far stay in
        // its list and go with the session.
        if (m_pSession) m_pSession->Fail(RESULT_OUT_OF_MEMORY);
        throw CSMTPError{RESULT_OUT_OF_MEMORY};
    }
    m_pszData = std::move(out);
}

// The HTML scan that turns references to local files into "cid:" references
// and makes one related part per distinct file. It is not an HTML parser: it
// looks only at the first attribute of a few tags and only at double-quoted
// values, and copies everything else through untouched.
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "Diagnostics.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"
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

// The delimiters " =\"'\t\r\n#()" and the ">" that closes a tag.
bool EndsName(unsigned char c)
{
    switch (c) {
        case ' ':
        case '=':
        case '"':
        case '\'':
        case '\t':
        case '\r':
        case '\n':
        case '#':
        case '(':
        case ')':
        case '>':
            return true;
        default:
            return false;
    }
}

// A run of input bytes: a tag or attribute name, or a value.
struct Token {
    const char* p;
    size_t n;
};

// Compares a name with an upper-case table name, folding ASCII letters only:
// bytes above 127 have no case here, whatever the process locale says. A name
// too long for the name storage equals nothing.
bool NameIs(Token name, const char* pszUpper)
{
    if (name.n >= kNameStorage || std::strlen(pszUpper) != name.n) return false;
    for (size_t i = 0; i < name.n; ++i) {
        char c = name.p[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != pszUpper[i]) return false;
    }
    return true;
}

const TagAttribute* FindTag(Token tagName)
{
    for (const TagAttribute& entry : kReferenceTags) {
        if (NameIs(tagName, entry.pszTag)) return &entry;
    }
    return nullptr;
}

bool IsNonLocal(const std::string& value)
{
    return (!value.empty() && value[0] == '/') || value.find("://") != std::string::npos;
}

// One pass over the input. Bytes the scan moves over count as copied; they
// reach the output in bulk just before a replaced value and at the end, so
// the output is the input with only the rewritten values changed, and plain
// text costs no per-byte appends.
class HtmlScan {
public:
    HtmlScan(const char* pText, size_t nLength, std::string& out)
        : m_pPos(pText), m_pEnd(pText + nLength), m_pCopied(pText), m_out(out)
    {
    }

    bool AtEnd() const { return m_pPos == m_pEnd; }

    // Moves past the next "<"; false at the end.
    bool SkipThroughTagOpen()
    {
        const void* pFound = std::memchr(m_pPos, '<', static_cast<size_t>(m_pEnd - m_pPos));
        m_pPos = pFound ? static_cast<const char*>(pFound) + 1 : m_pEnd;
        return pFound != nullptr;
    }

    void SkipWhiteSpace()
    {
        while (m_pPos != m_pEnd && IsWhiteSpace(Current())) ++m_pPos;
    }

    // A tag or attribute name: up to a delimiter or ">".
    Token ReadName()
    {
        const char* pStart = m_pPos;
        while (m_pPos != m_pEnd && !EndsName(Current())) ++m_pPos;
        return Token{pStart, static_cast<size_t>(m_pPos - pStart)};
    }

    // Moves past `c` when it is the current byte.
    bool SkipIf(char c)
    {
        if (AtEnd() || *m_pPos != c) return false;
        ++m_pPos;
        return true;
    }

    // The value up to the next double quote (or the end), which is left as
    // the current byte.
    Token ReadValue()
    {
        const void* pQuote = std::memchr(m_pPos, '"', static_cast<size_t>(m_pEnd - m_pPos));
        const char* pStart = m_pPos;
        m_pPos = pQuote ? static_cast<const char*>(pQuote) : m_pEnd;
        return Token{pStart, static_cast<size_t>(m_pPos - pStart)};
    }

    // Writes `replacement` in place of `value`, which was just read.
    void Replace(Token value, const std::string& replacement)
    {
        m_out.append(m_pCopied, value.p);
        m_out.append(replacement);
        m_pCopied = value.p + value.n;
    }

    void Finish() { m_out.append(m_pCopied, m_pEnd); }

private:
    unsigned char Current() const { return static_cast<unsigned char>(*m_pPos); }

    const char* m_pPos;
    const char* m_pEnd;
    const char* m_pCopied;  // input before this is in the output
    std::string& m_out;
};

// The related parts of one HTML part by the reference they were made for. A
// reference reuses the first part in list order made for the same text byte
// for byte; keying by the whole reference, not the file name the part shows,
// keeps "a\\pic.gif" and "pic.gif" (two files) apart. Keeping only the first
// part per reference gives that answer without walking the list each time.
class RelatedPartIndex {
public:
    explicit RelatedPartIndex(CMailPart& owner) : m_owner(owner)
    {
        for (CMailPart* pPart = owner.m_pFirstRelated; pPart; pPart = pPart->m_pNext) Add(pPart);
    }

    // The related part that stands for `value`, made on first use; null when
    // the reference is not to a readable local file.
    CMailPart* PartFor(const std::string& value)
    {
        if (IsNonLocal(value)) {
            Log("GetRelatedParts: Target not local!\n");
            return nullptr;
        }
        if (!platform::Calls().fileIsReadable(value.c_str())) {
            Log("GetRelatedParts: File \"%s\" does not exist!\n", value.c_str());
            return nullptr;
        }
        auto found = m_partOfReference.find(value);
        if (found != m_partOfReference.end()) {
            Log("GetRelatedParts: Use old part for \"%s\"\n", value.c_str());
            return found->second;
        }
        Log("GetRelatedParts: Create NEW part for \"%s\"\n", value.c_str());
        // The constructor links the part into the owner's related list, which
        // owns it from then on.
        CMailPart* pPart = new CMailPart(m_owner.m_pSession, &m_owner);
        pPart->Create(value.c_str(), PART_ATTACHMENT, 0);
        Log("GetRelatedParts: Create related part for  \"%s\" CID:%s!\n", value.c_str(),
            pPart->m_szContentId.c_str());
        Add(pPart);
        return pPart;
    }

private:
    // A file part keeps the path it was made from as its data.
    void Add(CMailPart* pPart) { m_partOfReference.emplace(pPart->m_pszData, pPart); }

    CMailPart& m_owner;
    std::unordered_map<std::string, CMailPart*> m_partOfReference;
};

}  // namespace

void CMailPart::GetRelatedParts()
{
    // The text ends at its first zero byte, as everywhere else it is read.
    size_t nInput = std::strlen(m_pszData.c_str());
    std::string out;
    try {
        out.reserve(nInput + kSpareOutput);
        Log("GetRelatedParts: Begin HTML parsing\n");

        RelatedPartIndex related(*this);
        HtmlScan scan(m_pszData.data(), nInput, out);
        // Where a step gives up on a tag it simply returns to the top of the
        // loop, which carries on from the current byte, so a "<" there starts
        // the next tag instead of being passed over as text.
        while (scan.SkipThroughTagOpen()) {
            scan.SkipWhiteSpace();
            Token tagName = scan.ReadName();
            scan.SkipWhiteSpace();
            if (scan.AtEnd() || scan.SkipIf('>')) continue;

            const TagAttribute* pEntry = FindTag(tagName);
            if (!pEntry) continue;
            if (!NameIs(scan.ReadName(), pEntry->pszAttribute)) continue;

            scan.SkipWhiteSpace();
            if (!scan.SkipIf('=')) continue;
            scan.SkipWhiteSpace();
            if (!scan.SkipIf('"')) continue;

            // A value too long for the value storage is left as written.
            Token rawValue = scan.ReadValue();
            if (rawValue.n < kValueStorage) {
                std::string value(rawValue.p, rawValue.n);
                // The names matched the table, so its entries are their upper-case form.
                Log("GetRelatedParts: Found Tag <%s %s=\"%s\">\n", pEntry->pszTag, pEntry->pszAttribute,
                    value.c_str());
                if (CMailPart* pRelated = related.PartFor(value)) {
                    scan.Replace(rawValue, "cid:" + pRelated->m_szContentId);
                }
            }
            scan.SkipIf('"');
        }
        scan.Finish();
    } catch (const std::bad_alloc&) {
        // The part keeps its old text; the related parts made so far stay in
        // its list and go with the session, which reports the failure.
        if (m_pSession) m_pSession->m_nError = RESULT_OUT_OF_MEMORY;
        throw;
    }
    m_pszData = std::move(out);
}

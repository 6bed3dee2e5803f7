#pragma once

#include <string>

class CMailUtil;

// How a part's body is transferred.
enum TransferEncoding { ENC_NONE = 0, ENC_QUOTED_PRINTABLE = 1, ENC_BASE64 = 2, ENC_7BIT = 3 };

// One MIME part: the message text, an attached file, or a local file that an
// HTML part refers to (a related part). Parts form singly linked lists; a part
// owns its successor and its related parts, so deleting the first part of the
// top-level list frees the whole tree.
class CMailPart {
public:
    // A top-level part, appended to the end of the session's top-level list.
    // CMailUtil::AddPart makes it the session's first part when there is none.
    explicit CMailPart(CMailUtil* pSession);
    // A related part of `pOwner` (an HTML part), appended to its related list,
    // with a fresh Content-ID.
    CMailPart(CMailUtil* pSession, CMailPart* pOwner);
    ~CMailPart();

    CMailPart(const CMailPart&) = delete;
    CMailPart& operator=(const CMailPart&) = delete;

    // Fills the part from a text or a path according to `kind` (PartKind).
    // Returns 0, or -1 when the file of kind 5 or 7 cannot be read.
    // May raise CSMTPError from the HTML scan.
    int Create(const char* pszSource, int kind, int bOemToAnsi);

    // Rewrites the HTML text's local references to "cid:" and adds one related
    // part per distinct local file.
    void GetRelatedParts();

    // Appends this part after the last part of the list headed by m_pListHead.
    void LinkIntoList(CMailPart* pKnownTail = nullptr);

    int m_bText = 1;
    int m_bRichText = 0;
    int m_bHtml = 0;
    int m_bRelated = 0;
    std::string m_szContentId;  // related parts only, without angle brackets
    const char* m_pszContentType = "text/plain";
    int m_nEncoding = ENC_NONE;
    std::string m_szFileName;  // file parts: top-level after the last "/" or "\", related after the last "\"
    const char* m_pszCharset = nullptr;  // points to m_szCharsetBuf
    std::string m_pszData;               // text parts: the text; file parts: the path
    CMailPart* m_pNext = nullptr;
    CMailPart* m_pListHead = nullptr;
    CMailPart* m_pFirstRelated = nullptr;
    CMailPart* m_pLastRelated = nullptr;  // tail of the related list, for constant-time appends
    std::string m_szContentTypeBuf;
    std::string m_szDisposition;
    CMailUtil* m_pSession = nullptr;

private:
    void InitCommon(CMailUtil* pSession, CMailPart* pKnownTail);
    void SetText(const char* pszText);
    bool ReadTextFile(const char* pszPath);
    void ChooseTextEncoding(int bOemToAnsi);
    void ConvertOemToAnsi();
    void SetFile(const char* pszPath);

    // The environment's value is copied: the environment may change while the
    // part lives.
    std::string m_szCharsetBuf;
};

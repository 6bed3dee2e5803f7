#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "HeaderLine.h"

class CMailPart;

// The message composer: header list, part list, envelope recipients, and the
// writer that puts the whole message into a file.
class CMailUtil {
public:
    CMailUtil() = default;
    ~CMailUtil();

    CMailUtil(const CMailUtil&) = delete;
    CMailUtil& operator=(const CMailUtil&) = delete;

    // Stores `code` in m_nError, writes nothing, and raises CSMTPError.
    [[noreturn]] void Fail(int code);

    // Header store. Names must outlive the session (pass string literals).
    HeaderLine* FindHeader(const char* pszName) const;
    const char* GetHeader(const char* pszName, const char* pszDefault) const;
    int SetHeader(const char* pszName, const char* pszValue, int bAppend);
    void AppendHeaderValue(HeaderLine* pLine, const char* pszText);
    void WriteHeaders(FILE* pFile) const;

    // Setters used by the entry point. Values from the job lose their CR and
    // LF bytes (each becomes a space) so they cannot start a header of their own.
    void SetSender(const char* pszText);
    void SetSubject(const char* pszText);
    void SetFrom(const char* pszText);
    void SetPriority(int8_t priority);
    void SetDate();
    void AddTo(const char* pszName, const char* pszAddress);
    void AddCc(const char* pszName, const char* pszAddress);
    void AddBcc(const char* pszAddress);
    // An address that begins with "@" names a file of addresses, one a line.
    // Raises with result 1 when such a file cannot be opened.
    void AddAddress(const char* pszHeader, const char* pszName, const char* pszAddress);

    // Appends a top-level part and fills it; returns CMailPart::Create's result.
    int AddPart(const char* pszSource, int kind);

    // Writes the complete message. Returns 0; the code of a raised CSMTPError
    // (12 for an attachment that cannot be read); 11 when memory ran out; or
    // -1 for any other failure, a write error on pFile included.
    int WriteOutMessage(FILE* pFile);
    // The same, raising the failure instead (see CurrentFailure) after the
    // writer's line about it.
    void WriteMessage(FILE* pFile);

    int32_t m_nError = 0;
    int32_t m_bNewsMode = 0;
    const char* m_pszToText = nullptr;
    int32_t m_bOemToAnsi = 0;
    // Set in the submission modes: header text outside US-ASCII is written as
    // RFC 2047 encoded words and display names are quoted as RFC 5322 asks.
    int32_t m_bStandardHeaders = 0;
    CMailPart* m_pFirstPart = nullptr;
    CMailPart* m_pLastPart = nullptr;  // tail of the top-level list, for constant-time appends
    HeaderLine* m_pHeaders = nullptr;
    std::optional<std::string> m_pszRecipients;  // bare addresses joined by ","

private:
    void AddAddressNested(const char* pszHeader, const char* pszName, const char* pszAddress, int nDepth);
    void AddAddressFile(const char* pszHeader, const char* pszAddress, int nDepth);

    void _WriteOutMessage(FILE* pFile);
    void WriteMimeContent(CMailPart* pPart, FILE* pFile);
    void WritePartHeaders(CMailPart* pPart, FILE* pFile);
    void WriteContentType(const char* pszContentType, FILE* pFile);
    void WriteQuotedValue(const char* pszValue, FILE* pFile);
    void WriteBody(CMailPart* pPart, FILE* pFile);

    HeaderLine* m_pLastHeader = nullptr;
};

// The RFC 822 date of `when`: "Sun, 07 Dec 2026 13:28:00 +0100" (at most 31 characters).
std::string arpadate(time_t when);

// `pszText` with every CR and LF replaced by a space; null gives "".
std::string WithoutLineBreaks(const char* pszText);

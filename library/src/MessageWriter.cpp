// Writes the composed message, header lines and MIME body, into a file.
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "Diagnostics.h"
#include "Encoders.h"
#include "Globals.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/Platform.h"

namespace {

const char kPreamble[] =
    "> THIS IS A MESSAGE IN 'MIME' FORMAT.  Your mail reader does not support MIME.\r\n"
    "> Some parts of this will be readable as plain text.\r\n"
    "> To see the rest, you will need to upgrade your mail reader.\r\n";

const char kMailLibrary[] = "quillnet " QUILLNET_VERSION_TEXT;

struct FileCloser {
    void operator()(FILE* pFile) const { std::fclose(pFile); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// "PART.BOUNDARY.<kind>.<pid>.<time>.<ticks>.<address>": the address keeps two
// groups made in the same millisecond apart.
std::string Boundary(const char* pszKind, const void* pOwner)
{
    char szBoundary[120];
    std::snprintf(szBoundary, sizeof szBoundary, "PART.BOUNDARY.%s.%" PRIX32 ".%llX.%" PRIX32 ".%" PRIXPTR,
                  pszKind, platform::ProcessId(), static_cast<unsigned long long>(platform::CurrentTime()),
                  platform::TickCount(), reinterpret_cast<uintptr_t>(pOwner));
    return szBoundary;
}

void WriteString(const std::string& text, FILE* pFile)
{
    std::fwrite(text.data(), 1, text.size(), pFile);
}

void WriteDelimiter(const std::string& boundary, bool bLast, FILE* pFile)
{
    std::fputs("\r\n--", pFile);
    WriteString(boundary, pFile);
    std::fputs(bLast ? "--\r\n" : "\r\n", pFile);
}

std::string WithoutLeadingBlanks(const std::string& text)
{
    size_t nStart = text.find_first_not_of(" \t");
    return nStart == std::string::npos ? std::string() : text.substr(nStart);
}

// A folder opens like a file on this platform but cannot be read as one.
FILE* OpenIncludeFile(const char* pszPath)
{
    FILE* pFile = std::fopen(pszPath, "rb");
    if (!pFile) return nullptr;
    struct stat info;
    if (::fstat(fileno(pFile), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(pFile);
        return nullptr;
    }
    return pFile;
}

void CopyFile(FILE* pIn, FILE* pOut)
{
    char buffer[65536];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof buffer, pIn)) > 0) std::fwrite(buffer, 1, nRead, pOut);
}

}  // namespace

int CMailUtil::WriteOutMessage(FILE* pFile)
{
    try {
        _WriteOutMessage(pFile);
    } catch (const CSMTPError& error) {
        LogAlways("CMailUtil::WriteOutMessage() - SMTP Error : %d.\n", error.nCode);
        return error.nCode;
    } catch (const std::bad_alloc&) {
        LogAlways("CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n");
        return 11;
    } catch (...) {
        LogAlways("CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n");
        return -1;
    }
    // A message cut short by a full disk must not be delivered as complete.
    if (std::fflush(pFile) != 0 || std::ferror(pFile)) {
        LogAlways("CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n");
        return -1;
    }
    return 0;
}

void CMailUtil::_WriteOutMessage(FILE* pFile)
{
    if (m_pszToText) SetHeader("To", WithoutLineBreaks(m_pszToText).c_str(), 0);
    SetHeader("MIME-Version", "1.0", 0);
    SetHeader("X-MailLibrary", kMailLibrary, 0);
    if (*GetHeader("From", "") == '\0') {
        std::string sender = GetHeader("X-Sender", "(NULL)");
        SetFrom(sender.c_str());
    }
    if (g_szMailer[0]) SetHeader("X-Mailer", WithoutLineBreaks(g_szMailer).c_str(), 0);
    if (g_szOrganization[0]) SetHeader("Organization", WithoutLineBreaks(g_szOrganization).c_str(), 0);

    if (!m_pFirstPart) {
        // No text and no attachment: still a well-formed, empty message.
        WriteHeaders(pFile);
        std::fputs("\r\n", pFile);
        return;
    }
    if (m_pFirstPart->m_pNext || m_pFirstPart->m_pFirstRelated) {
        Log("_WriteOutMessage: Use MIME multipart...\n");
        std::string boundary = Boundary("MIXED", this);
        // The value's own two line ends close the header block and add the
        // empty line before the preamble.
        SetHeader("Content-Type", ("multipart/mixed;\r\n\tboundary=" + boundary + "\r\n\r\n").c_str(), 0);
        WriteHeaders(pFile);
        std::fputs(kPreamble, pFile);
        for (CMailPart* pPart = m_pFirstPart; pPart; pPart = pPart->m_pNext) {
            WriteDelimiter(boundary, false, pFile);
            WriteMimeContent(pPart, pFile);
        }
        WriteDelimiter(boundary, true, pFile);
        return;
    }
    // One part: its header lines join the message header.
    WriteHeaders(pFile);
    WritePartHeaders(m_pFirstPart, pFile);
    std::fputs("\r\n", pFile);
    WriteBody(m_pFirstPart, pFile);
}

void CMailUtil::WriteMimeContent(CMailPart* pPart, FILE* pFile)
{
    Log("WriteMimeContent: About to include related parts...\n");
    if (!pPart->m_pFirstRelated) {
        WritePartHeaders(pPart, pFile);
        std::fputs("\r\n", pFile);
        WriteBody(pPart, pFile);
        return;
    }
    Log("WriteMimeContent: Now including related parts...\n");
    std::string boundary = Boundary("RELATED", pPart);
    std::fputs("Content-Type: multipart/related;\r\n\tboundary=", pFile);
    WriteString(boundary, pFile);
    std::fputs("\r\n\r\n", pFile);
    Log("WriteMimeContent: PART: %s\n", boundary.c_str());

    WriteDelimiter(boundary, false, pFile);
    WritePartHeaders(pPart, pFile);
    std::fputs("\r\n", pFile);
    WriteBody(pPart, pFile);
    for (CMailPart* pRelated = pPart->m_pFirstRelated; pRelated; pRelated = pRelated->m_pNext) {
        WriteDelimiter(boundary, false, pFile);
        WritePartHeaders(pRelated, pFile);
        std::fputs("\r\n", pFile);
        WriteBody(pRelated, pFile);
    }
    WriteDelimiter(boundary, true, pFile);
}

void CMailUtil::WritePartHeaders(CMailPart* pPart, FILE* pFile)
{
    if (pPart->m_bText) {
        const char* pszType = pPart->m_bRichText ? "text/richtext"
                              : pPart->m_bHtml   ? "text/html"
                                                 : "text/plain";
        std::fprintf(pFile, "Content-Type: %s; charset=%s\r\n", pszType,
                     WithoutLineBreaks(pPart->m_pszCharset).c_str());
    } else {
        std::fputs("Content-Type: ", pFile);
        WriteContentType(pPart->m_pszContentType, pFile);
        if (!pPart->m_szDisposition.empty()) {
            std::fputs("Content-Disposition: ", pFile);
            WriteString(pPart->m_szDisposition, pFile);
            std::fputs("\r\n", pFile);
        }
    }
    if (pPart->m_bRelated) std::fprintf(pFile, "Content-ID: <%s>\r\n", pPart->m_szContentId.c_str());
    switch (pPart->m_nEncoding) {
        case ENC_QUOTED_PRINTABLE:
            std::fputs("Content-Transfer-Encoding: quoted-printable\r\n", pFile);
            break;
        case ENC_BASE64:
            std::fputs("Content-Transfer-Encoding: base64\r\n", pFile);
            break;
        case ENC_7BIT:
            std::fputs("Content-Transfer-Encoding: 7bit\r\n", pFile);
            break;
        default:
            break;
    }
}

void CMailUtil::WriteContentType(const char* pszContentType, FILE* pFile)
{
    std::string text = WithoutLineBreaks(pszContentType);
    size_t nSeparator = text.find(';');
    std::string mainType = text.substr(0, nSeparator);
    WriteString(mainType, pFile);
    if (mainType.find('/') == std::string::npos) std::fputs("/unknown", pFile);
    while (nSeparator != std::string::npos) {
        size_t nStart = nSeparator + 1;
        nSeparator = text.find(';', nStart);
        std::string piece =
            text.substr(nStart, nSeparator == std::string::npos ? std::string::npos : nSeparator - nStart);
        size_t nEquals = piece.find('=');
        std::fputs(";\r\n\t", pFile);
        WriteString(WithoutLeadingBlanks(piece.substr(0, nEquals)), pFile);
        if (nEquals != std::string::npos) {
            std::fputc('=', pFile);
            WriteQuotedValue(WithoutLeadingBlanks(piece.substr(nEquals + 1)).c_str(), pFile);
        }
    }
    std::fputs("\r\n", pFile);
}

void CMailUtil::WriteQuotedValue(const char* pszValue, FILE* pFile)
{
    std::fputc('"', pFile);
    if (pszValue[0] == '"') {
        // Already quoted: copy it up to its closing quote, escapes as pairs.
        for (const char* p = pszValue + 1; *p; ++p) {
            if (*p == '\\') {
                // A lone backslash at the end would escape the closing quote.
                if (p[1] == '\0') {
                    std::fputs("\\\\", pFile);
                    break;
                }
                std::fputc(*p++, pFile);
            } else if (*p == '"') {
                break;
            }
            std::fputc(*p, pFile);
        }
    } else {
        for (const char* p = pszValue; *p; ++p) {
            if (*p == '"' || *p == '\\') std::fputc('\\', pFile);
            std::fputc(*p, pFile);
        }
    }
    std::fputc('"', pFile);
}

void CMailUtil::WriteBody(CMailPart* pPart, FILE* pFile)
{
    if (pPart->m_bText) {
        const std::string& text = pPart->m_pszData;  // empty for a part without content
        switch (pPart->m_nEncoding) {
            case ENC_QUOTED_PRINTABLE:
                EncodeQuotedPrintable(text.data(), text.size(), pFile);
                break;
            case ENC_BASE64:
                EncodeBase64(text.data(), text.size(), pFile);
                break;
            default:
                WriteString(text, pFile);
                break;
        }
        return;
    }
    // File parts are streamed through their encoder, never loaded whole.
    const char* pszPath = pPart->m_pszData.c_str();
    FileHandle file(OpenIncludeFile(pszPath));
    if (!file) {
        Log("Unable to open include file '%s'. Aborting.\n", pszPath);
        Fail(12);
    }
    switch (pPart->m_nEncoding) {
        case ENC_QUOTED_PRINTABLE:
            EncodeQuotedPrintable(file.get(), pFile);
            break;
        case ENC_BASE64:
            EncodeBase64(file.get(), pFile);
            break;
        default:
            CopyFile(file.get(), pFile);
            break;
    }
    // A read error midway would otherwise send a truncated file as if whole.
    if (std::ferror(file.get())) {
        Log("Unable to read include file '%s'. Aborting.\n", pszPath);
        Fail(12);
    }
}

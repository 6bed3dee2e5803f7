// Writes the composed message, header lines and MIME body, into a file.
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
#include "MessageOutput.h"
#include "SMTPError.h"
#include "platform/SystemCalls.h"

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
                  pszKind, platform::Calls().processId(),
                  static_cast<unsigned long long>(platform::Calls().currentTime()),
                  platform::Calls().tickCount(), reinterpret_cast<uintptr_t>(pOwner));
    return szBoundary;
}

void WriteDelimiter(const std::string& boundary, bool bLast, FILE* pFile)
{
    WriteText(pFile, "\r\n--");
    WriteText(pFile, boundary);
    WriteText(pFile, bLast ? "--\r\n" : "\r\n");
}

std::string WithoutLeadingBlanks(const std::string& text)
{
    size_t nStart = text.find_first_not_of(" \t");
    return nStart == std::string::npos ? std::string() : text.substr(nStart);
}

FILE* OpenIncludeFile(const char* pszPath)
{
    return platform::Calls().fileIsReadable(pszPath) ? platform::Calls().openFile(pszPath, "rb") : nullptr;
}

// False when the file could not be read to its end.
bool CopyFile(FILE* pIn, FILE* pOut)
{
    char buffer[65536];
    long nRead;
    while ((nRead = platform::Calls().readFile(pIn, buffer, sizeof buffer)) > 0)
        WriteBytes(pOut, buffer, static_cast<size_t>(nRead));
    return nRead == 0;
}

}  // namespace

void CMailUtil::WriteMessage(FILE* pFile)
{
    try {
        _WriteOutMessage(pFile);
        // A message cut short by a full disk must not be delivered as complete.
        FlushOutput(pFile);
    } catch (...) {
        const CaughtFailure failure = CurrentFailure();
        if (failure.bRaised)
            LogAlways("CMailUtil::WriteOutMessage() - SMTP Error : %d.\n", failure.nResult);
        else
            LogAlways("CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n");
        throw;
    }
}

int CMailUtil::WriteOutMessage(FILE* pFile)
{
    try {
        WriteMessage(pFile);
        return RESULT_OK;
    } catch (...) {
        const CaughtFailure failure = CurrentFailure();
        return failure.bRaised || failure.nResult == RESULT_OUT_OF_MEMORY ? failure.nResult : -1;
    }
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
        WriteText(pFile, "\r\n");
        return;
    }
    if (m_pFirstPart->m_pNext || m_pFirstPart->m_pFirstRelated) {
        Log("_WriteOutMessage: Use MIME multipart...\n");
        std::string boundary = Boundary("MIXED", this);
        // The value's own two line ends close the header block and add the
        // empty line before the preamble.
        SetHeader("Content-Type", ("multipart/mixed;\r\n\tboundary=" + boundary + "\r\n\r\n").c_str(), 0);
        WriteHeaders(pFile);
        WriteText(pFile, kPreamble);
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
    WriteText(pFile, "\r\n");
    WriteBody(m_pFirstPart, pFile);
}

void CMailUtil::WriteMimeContent(CMailPart* pPart, FILE* pFile)
{
    Log("WriteMimeContent: About to include related parts...\n");
    if (!pPart->m_pFirstRelated) {
        WritePartHeaders(pPart, pFile);
        WriteText(pFile, "\r\n");
        WriteBody(pPart, pFile);
        return;
    }
    Log("WriteMimeContent: Now including related parts...\n");
    std::string boundary = Boundary("RELATED", pPart);
    WriteText(pFile, "Content-Type: multipart/related;\r\n\tboundary=");
    WriteText(pFile, boundary);
    WriteText(pFile, "\r\n\r\n");
    Log("WriteMimeContent: PART: %s\n", boundary.c_str());

    WriteDelimiter(boundary, false, pFile);
    WritePartHeaders(pPart, pFile);
    WriteText(pFile, "\r\n");
    WriteBody(pPart, pFile);
    for (CMailPart* pRelated = pPart->m_pFirstRelated; pRelated; pRelated = pRelated->m_pNext) {
        WriteDelimiter(boundary, false, pFile);
        WritePartHeaders(pRelated, pFile);
        WriteText(pFile, "\r\n");
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
        WriteFormatted(pFile, "Content-Type: %s; charset=%s\r\n", pszType,
                       WithoutLineBreaks(pPart->m_pszCharset).c_str());
    } else {
        WriteText(pFile, "Content-Type: ");
        WriteContentType(pPart->m_pszContentType, pFile);
        if (!pPart->m_szDisposition.empty()) {
            WriteText(pFile, "Content-Disposition: ");
            WriteText(pFile, pPart->m_szDisposition);
            WriteText(pFile, "\r\n");
        }
    }
    if (pPart->m_bRelated) WriteFormatted(pFile, "Content-ID: <%s>\r\n", pPart->m_szContentId.c_str());
    switch (pPart->m_nEncoding) {
        case ENC_QUOTED_PRINTABLE:
            WriteText(pFile, "Content-Transfer-Encoding: quoted-printable\r\n");
            break;
        case ENC_BASE64:
            WriteText(pFile, "Content-Transfer-Encoding: base64\r\n");
            break;
        case ENC_7BIT:
            WriteText(pFile, "Content-Transfer-Encoding: 7bit\r\n");
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
    WriteText(pFile, mainType);
    if (mainType.find('/') == std::string::npos) WriteText(pFile, "/unknown");
    while (nSeparator != std::string::npos) {
        size_t nStart = nSeparator + 1;
        nSeparator = text.find(';', nStart);
        std::string piece =
            text.substr(nStart, nSeparator == std::string::npos ? std::string::npos : nSeparator - nStart);
        size_t nEquals = piece.find('=');
        WriteText(pFile, ";\r\n\t");
        WriteText(pFile, WithoutLeadingBlanks(piece.substr(0, nEquals)));
        if (nEquals != std::string::npos) {
            WriteChar(pFile, '=');
            WriteQuotedValue(WithoutLeadingBlanks(piece.substr(nEquals + 1)).c_str(), pFile);
        }
    }
    WriteText(pFile, "\r\n");
}

void CMailUtil::WriteQuotedValue(const char* pszValue, FILE* pFile)
{
    WriteChar(pFile, '"');
    if (pszValue[0] == '"') {
        // Already quoted: copy it up to its closing quote, escapes as pairs.
        for (const char* p = pszValue + 1; *p; ++p) {
            if (*p == '\\') {
                // A lone backslash at the end would escape the closing quote.
                if (p[1] == '\0') {
                    WriteText(pFile, "\\\\");
                    break;
                }
                WriteChar(pFile, *p++);
            } else if (*p == '"') {
                break;
            }
            WriteChar(pFile, *p);
        }
    } else {
        for (const char* p = pszValue; *p; ++p) {
            if (*p == '"' || *p == '\\') WriteChar(pFile, '\\');
            WriteChar(pFile, *p);
        }
    }
    WriteChar(pFile, '"');
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
                WriteText(pFile, text);
                break;
        }
        return;
    }
    // File parts are streamed through their encoder, never loaded whole.
    const char* pszPath = pPart->m_pszData.c_str();
    FileHandle file(OpenIncludeFile(pszPath));
    if (!file) {
        Log("Unable to open include file '%s'. Aborting.\n", pszPath);
        Fail(RESULT_TEMP_FILE);
    }
    bool bWhole;
    switch (pPart->m_nEncoding) {
        case ENC_QUOTED_PRINTABLE:
            bWhole = EncodeQuotedPrintable(file.get(), pFile);
            break;
        case ENC_BASE64:
            bWhole = EncodeBase64(file.get(), pFile);
            break;
        default:
            bWhole = CopyFile(file.get(), pFile);
            break;
    }
    // A read error midway would otherwise send a truncated file as if whole.
    if (!bWhole) {
        Log("Unable to read include file '%s'. Aborting.\n", pszPath);
        Fail(RESULT_TEMP_FILE);
    }
}

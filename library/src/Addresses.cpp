// Recipients: header entries, the envelope list and address files.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Diagnostics.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/SystemCalls.h"

namespace {

// Address files may name further address files; a file that names itself
// would otherwise recurse until the stack runs out.
constexpr int kMaxAddressFileDepth = 16;

bool IsAddressCharacter(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("._-@<> '\"", c) != nullptr && c != '\0';
}

// The line up to its first byte that cannot belong to an address; this also
// drops the line end and anything after a separator such as ";".
std::string AddressOfLine(const std::string& line)
{
    size_t nLength = 0;
    while (nLength < line.size() && IsAddressCharacter(static_cast<unsigned char>(line[nLength]))) ++nLength;
    return line.substr(0, nLength);
}

// The display name as the inside of a quoted string. An unescaped '"' would
// end the quotes early and let the rest of the name pose as an address (or
// hide the real one); a backslash would escape the closing quote. Names
// without either come back byte for byte.
std::string QuotedNameContent(const std::string& name)
{
    if (name.find_first_of("\"\\") == std::string::npos) return name;
    std::string quoted;
    quoted.reserve(name.size() + 8);
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted;
}

}  // namespace

void CMailUtil::AddTo(const char* pszName, const char* pszAddress)
{
    if (m_bNewsMode)
        AddAddress("Newsgroups", nullptr, pszAddress);
    else
        AddAddress("To", pszName, pszAddress);
}

void CMailUtil::AddCc(const char* pszName, const char* pszAddress)
{
    if (m_bNewsMode) {
        Log("Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n");
        Fail(RESULT_SETUP_FAILED);
    }
    AddAddress("Cc", pszName, pszAddress);
}

void CMailUtil::AddBcc(const char* pszAddress)
{
    if (m_bNewsMode) {
        Log("Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n");
        Fail(RESULT_SETUP_FAILED);
    }
    AddAddress(nullptr, nullptr, pszAddress);
}

void CMailUtil::AddAddress(const char* pszHeader, const char* pszName, const char* pszAddress)
{
    AddAddressNested(pszHeader, pszName, pszAddress, 0);
}

void CMailUtil::AddAddressNested(const char* pszHeader, const char* pszName, const char* pszAddress,
                                 int nDepth)
{
    if (!pszAddress) pszAddress = "";
    if (pszAddress[0] == '@') {
        AddAddressFile(pszHeader, pszAddress, nDepth);
        return;
    }
    std::string address = WithoutLineBreaks(pszAddress);
    if (pszHeader && *pszHeader && !(m_pszToText && std::strcmp(pszHeader, "To") == 0)) {
        std::string entry;
        if (pszName && *pszName)
            entry = "\"" + QuotedNameContent(WithoutLineBreaks(pszName)) + "\" <" + address + ">";
        else
            entry = address;
        SetHeader(pszHeader, entry.c_str(), 1);
    }
    if (!m_pszRecipients) {
        m_pszRecipients = address;
    } else {
        *m_pszRecipients += ',';
        *m_pszRecipients += address;
    }
}

void CMailUtil::AddAddressFile(const char* pszHeader, const char* pszAddress, int nDepth)
{
    if (nDepth >= kMaxAddressFileDepth) {
        Log("Address file '%s' is nested too deeply. Aborting.\n", pszAddress);
        Fail(RESULT_SETUP_FAILED);
    }
    const char* pszPath = pszAddress + 1;
    FILE* pOpened =
        platform::Calls().fileIsReadable(pszPath) ? platform::Calls().openFile(pszPath, "rb") : nullptr;
    if (!pOpened) {
        Log("Failed to open address file '%s'. Aborting.\n", pszAddress);
        Fail(RESULT_SETUP_FAILED);
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(pOpened, std::fclose);

    // The whole file is read before any address is taken: a read error
    // midway must not leave the job with only some of its recipients.
    // Lines are kept whole: an address cut at some fixed length would be a
    // wrong address.
    std::string text;
    char buffer[4096];
    long nRead;
    while ((nRead = platform::Calls().readFile(file.get(), buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(nRead));
    if (nRead < 0) {
        Log("Failed to read address file '%s'. Aborting.\n", pszAddress);
        Fail(RESULT_SETUP_FAILED);
    }
    file.reset();
    for (size_t nStart = 0; nStart < text.size();) {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = text.size();
        AddAddressNested(pszHeader, nullptr, AddressOfLine(text.substr(nStart, nEnd - nStart)).c_str(),
                         nDepth + 1);
        nStart = nEnd + 1;
    }
}

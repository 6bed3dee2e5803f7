// Recipients: header entries, the envelope list and address files.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <string>

#include "Diagnostics.h"
#include "MailUtil.h"

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
        Fail(1);
    }
    AddAddress("Cc", pszName, pszAddress);
}

void CMailUtil::AddBcc(const char* pszAddress)
{
    if (m_bNewsMode) {
        Log("Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n");
        Fail(1);
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
            entry = "\"" + WithoutLineBreaks(pszName) + "\" <" + address + ">";
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
    std::ifstream file;
    const char* pszPath = pszAddress + 1;
    struct stat info;
    // A folder opens as an empty stream here; elsewhere it does not open at all.
    bool bFolder = ::stat(pszPath, &info) == 0 && S_ISDIR(info.st_mode);
    if (nDepth < kMaxAddressFileDepth && !bFolder) file.open(pszPath);
    if (!file.is_open()) {
        if (nDepth < kMaxAddressFileDepth)
            Log("Failed to open address file '%s'. Aborting.\n", pszAddress);
        else
            Log("Address file '%s' is nested too deeply. Aborting.\n", pszAddress);
        Fail(1);
    }
    // Lines are read whole: an address cut at some fixed length would be a wrong address.
    std::string line;
    while (std::getline(file, line)) {
        AddAddressNested(pszHeader, nullptr, AddressOfLine(line).c_str(), nDepth + 1);
    }
}

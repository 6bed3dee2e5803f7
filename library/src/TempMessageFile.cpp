// Where the temporary message file goes. The folders named by MAIL_TEMP,
// TEMP, TMP and (POSIX) TMPDIR are tried in this order, then the current
// folder; in each, "~mail1", "~mail2", ... until a name is free. The file is
// created exclusively, so an existing file or a planted link is never reused.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SMTPEmail.h"
#include "platform/Platform.h"
#include "platform/SystemCalls.h"

namespace {

constexpr size_t kPathSize = 128;
constexpr int kMaxNumber = 65535;

// Tries the names of one folder; false when the folder takes none.
bool CreateInFolder(const char* pszFolder, char* pszPath, FILE** ppFile)
{
    size_t nLength = std::strlen(pszFolder);
    bool bHasSeparator =
        nLength > 0 && (pszFolder[nLength - 1] == platform::kPathSeparator || pszFolder[nLength - 1] == '/');
    static const char kSeparator[] = {platform::kPathSeparator, '\0'};
    const char* pszSeparator = bHasSeparator ? "" : kSeparator;
    for (int nNumber = 1; nNumber <= kMaxNumber; ++nNumber) {
        int nWritten = std::snprintf(pszPath, kPathSize, "%s%s~mail%d", pszFolder, pszSeparator, nNumber);
        if (nWritten < 0 || static_cast<size_t>(nWritten) >= kPathSize) return false;
        bool bNameTaken = false;
        *ppFile = platform::Calls().createExclusiveFile(pszPath, &bNameTaken);
        if (*ppFile) return true;
        if (!bNameTaken) return false;
    }
    return false;
}

}  // namespace

FILE* CSMTPEmail::MakeTempFileName(char* pszPath)
{
    static const char* const kVariables[] = {"MAIL_TEMP", "TEMP", "TMP",
#ifndef _WIN32
                                             "TMPDIR"
#endif
    };
    pszPath[0] = '\0';
    FILE* pFile = nullptr;
    for (const char* pszVariable : kVariables) {
        const char* pszFolder = platform::Calls().environmentValue(pszVariable);
        if (pszFolder && *pszFolder && CreateInFolder(pszFolder, pszPath, &pFile)) return pFile;
    }
    static const char kCurrentFolder[] = {'.', platform::kPathSeparator, '\0'};
    if (CreateInFolder(kCurrentFolder, pszPath, &pFile)) return pFile;
    return nullptr;
}

// The temporary message file on Windows: created with CREATE_NEW, so an
// existing name (a file, a link, a folder) is never opened or replaced, and
// with a DACL that grants access to the current user alone.
#include "platform/TempFile.h"

// sddl.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

#include <string>

namespace platform {
namespace {

// "D:P(A;;FA;;;<user SID>)": a protected DACL with full access for the
// process's user and nothing for anyone else. Empty when the SID cannot be had.
std::string OwnerOnlyDescriptorText()
{
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return std::string();
    DWORD nSize = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &nSize);
    std::string buffer(nSize, '\0');
    std::string text;
    char* pszSid = nullptr;
    if (nSize != 0 && GetTokenInformation(hToken, TokenUser, &buffer[0], nSize, &nSize) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid, &pszSid)) {
        text = std::string("D:P(A;;FA;;;") + pszSid + ")";
        LocalFree(pszSid);
    }
    CloseHandle(hToken);
    return text;
}

}  // namespace

FILE* CreateExclusiveFile(const char* path, bool* pbNameTaken)
{
    *pbNameTaken = false;

    // Without a descriptor the file inherits the folder's ACL, which for the
    // usual per-user temporary folder is owner-only as well.
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    const std::string descriptorText = OwnerOnlyDescriptorText();
    if (!descriptorText.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                       descriptorText.c_str(), SDDL_REVISION_1, &pDescriptor, nullptr))
        attributes.lpSecurityDescriptor = pDescriptor;

    HANDLE hFile = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY, nullptr);
    const DWORD error = GetLastError();
    if (pDescriptor) LocalFree(pDescriptor);
    if (hFile == INVALID_HANDLE_VALUE) {
        // A folder of that name gives "access denied" rather than "exists".
        *pbNameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                       (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES);
        return nullptr;
    }

    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_RDWR | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(hFile);
        DeleteFileA(path);
        return nullptr;
    }
    FILE* pFile = _fdopen(descriptor, "w+b");
    if (!pFile) {
        _close(descriptor);
        DeleteFileA(path);
    }
    return pFile;
}

bool DeleteTempFile(const char* path)
{
    return DeleteFileA(path) != 0;
}

}  // namespace platform

#include "support/ScratchFolder.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzzsupport {

namespace {

std::string MakeFolder()
{
    const char* pszBase = std::getenv("TMPDIR");
    std::string pattern = std::string(pszBase && *pszBase ? pszBase : "/tmp") + "/quillnet-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

}  // namespace

const std::string& ScratchFolder()
{
    static const std::string folder = MakeFolder();
    static const bool bRemoveAtExit = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)bRemoveAtExit;
    return folder;
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (!pFile || std::fwrite(content.data(), 1, content.size(), pFile) != content.size() ||
        std::fclose(pFile) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

}  // namespace fuzzsupport

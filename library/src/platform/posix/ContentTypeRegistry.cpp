// Registered content types, read from a mime.types file: the one named by
// QUILLNET_MIME_TYPES, else /etc/mime.types. The parsed table is kept and read
// again only when the file's path or modification time changes.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_map>

#include "AsciiText.h"
#include "platform/Platform.h"

namespace platform {

namespace {

struct Registry {
    std::string path;
    bool bLoaded = false;
    struct timespec modified {};
    off_t size = 0;
    std::unordered_map<std::string, std::string> typeOfExtension;  // keys in lower case
};

std::mutex g_mutex;
Registry g_registry;

std::string Lowered(std::string text)
{
    for (char& c : text) c = AsciiLower(c);
    return text;
}

void Load(Registry& registry, const std::string& path)
{
    registry.typeOfExtension.clear();
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        size_t nHash = line.find('#');
        if (nHash != std::string::npos) line.resize(nHash);
        std::istringstream tokens(line);
        std::string type;
        if (!(tokens >> type)) continue;
        std::string extension;
        while (tokens >> extension) {
            // The first type that lists an extension wins.
            registry.typeOfExtension.emplace(Lowered(extension), type);
        }
    }
}

}  // namespace

std::string QueryRegisteredContentType(const char* pszExtension)
{
    const char* pszPath = std::getenv("QUILLNET_MIME_TYPES");
    std::string path = pszPath && *pszPath ? pszPath : "/etc/mime.types";

    std::lock_guard<std::mutex> lock(g_mutex);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        g_registry = Registry{};  // no file: nothing is registered
        return "";
    }
    bool bChanged = !g_registry.bLoaded || g_registry.path != path || g_registry.size != info.st_size ||
                    g_registry.modified.tv_sec != info.st_mtim.tv_sec ||
                    g_registry.modified.tv_nsec != info.st_mtim.tv_nsec;
    if (bChanged) {
        Load(g_registry, path);
        g_registry.path = path;
        g_registry.bLoaded = true;
        g_registry.modified = info.st_mtim;
        g_registry.size = info.st_size;
    }
    auto it = g_registry.typeOfExtension.find(Lowered(pszExtension));
    return it == g_registry.typeOfExtension.end() ? "" : it->second;
}

}  // namespace platform

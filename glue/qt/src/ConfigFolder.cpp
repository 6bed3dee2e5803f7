#include "quillnet/qt/ConfigFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillnet::qt {
namespace {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::filesystem::path chosenFolder()
{
    const std::string chosen = environmentValue("QUILLNET_CONFIG_DIR");
    if (!chosen.empty()) return chosen;
#ifdef _WIN32
    const std::string appData = environmentValue("APPDATA");
    if (!appData.empty()) return std::filesystem::path(appData) / "quillnet";
#else
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    const std::string xdg = environmentValue("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return std::filesystem::path(xdg) / "quillnet";
    const std::string home = environmentValue("HOME");
    if (!home.empty()) return std::filesystem::path(home) / ".config" / "quillnet";
#endif
    return std::filesystem::current_path();
}

}  // namespace

std::string configFolder()
{
    const std::filesystem::path folder = chosenFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder.string();
}

std::string configFilePath(const std::string& fileName)
{
    return (std::filesystem::path(configFolder()) / fileName).string();
}

}  // namespace quillnet::qt

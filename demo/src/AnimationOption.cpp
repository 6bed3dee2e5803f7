#include "AnimationOption.h"

#include "quillnet/inifile.h"

namespace demo {
namespace {

constexpr const char* kSection = "Options";
constexpr const char* kKey = "Animation";
constexpr size_t kValueWidth = 32;

}  // namespace

bool readAnimationOption(const std::string& iniPath)
{
    std::string value = quillnet::readProfileString(iniPath, kSection, kKey, "").substr(0, kValueWidth);
    value.erase(value.find_last_not_of(' ') + 1);
    return value.empty() || value == "Yes";
}

bool writeAnimationOption(const std::string& iniPath, bool animated)
{
    return quillnet::writeProfileString(iniPath, kSection, kKey, animated ? "Yes" : "No");
}

}  // namespace demo

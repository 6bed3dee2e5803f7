#include "IniManager.h"

namespace demo {

IniManager::IniManager(std::string iniPath) : file_(std::move(iniPath)), readable_(file_.load()) {}

bool IniManager::close()
{
    if (!readable_) return false;
    const std::string sectors = file_.value(kBookkeepingSection, kBookkeepingKey, "");
    return file_.setValue(kBookkeepingSection, kBookkeepingKey, sectors) && file_.save();
}

}  // namespace demo

// The program's own profile, "demo.INI": opened at start and written back at
// the end. The program keeps none of its values there; what it holds is the
// bookkeeping section "__Dont_Touch_Me__" whose key "Sectors" lists the
// sections kept in the file, left as the file had it.
#ifndef DEMO_INIMANAGER_H
#define DEMO_INIMANAGER_H

#include <string>

#include "quillnet/inifile.h"

namespace demo {

inline constexpr const char* kProgramIniFileName = "demo.INI";
inline constexpr const char* kBookkeepingSection = "__Dont_Touch_Me__";
inline constexpr const char* kBookkeepingKey = "Sectors";

class IniManager {
public:
    // Reads the file; a missing one is an empty profile.
    explicit IniManager(std::string iniPath);

    // Writes the file back with its bookkeeping section (created when
    // missing). False when it could not be written, or when the file existed
    // but could not be read: it is then left alone, as writing it would lose
    // what it held.
    bool close();

    const std::string& path() const { return file_.path(); }

private:
    quillnet::IniFile file_;
    bool readable_;
};

}  // namespace demo

#endif

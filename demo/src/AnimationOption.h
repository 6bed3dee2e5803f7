// The one setting the frame keeps between runs: whether its mail picture
// moves. Section "Options", key "Animation" of "mailig.ini", "Yes" or "No".
#ifndef DEMO_ANIMATIONOPTION_H
#define DEMO_ANIMATIONOPTION_H

#include <string>

namespace demo {

inline constexpr const char* kAnimationIniFileName = "mailig.ini";

// On when the value (its first 32 characters) is exactly "Yes" (case counts,
// trailing blanks do not) or empty; a missing or unreadable file, section or
// key reads as empty, so the first start animates.
bool readAnimationOption(const std::string& iniPath);

// Writes "Yes" or "No", creating the file when needed. False when the file
// could not be written.
bool writeAnimationOption(const std::string& iniPath, bool animated);

}  // namespace demo

#endif

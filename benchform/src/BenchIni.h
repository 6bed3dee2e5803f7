// GETINI and PUTINI: the form's values in "BENCHFORM.ini", section
// "Bench-Form 2".
//
// Mailer, ReturnPath, ReplyTo and Subject are written but never read, so each
// run starts them from the built-in values. The two numbers are read as text
// and kept in one byte (300 reads as 44). Line breaks of the message text are
// stored escaped on one line (see quillnet/inilineescape.h).
#ifndef BENCHFORM_BENCHINI_H
#define BENCHFORM_BENCHINI_H

#include <cstdint>
#include <string>

#include "BenchValues.h"

namespace benchform {

inline constexpr const char* kIniFileName = "BENCHFORM.ini";
inline constexpr const char* kIniSection = "Bench-Form 2";

// The full path of "BENCHFORM.ini", in the folder of every window program's
// INI files (quillnet/qt/ConfigFolder.h).
std::string benchIniPath();

void GETINI(const std::string& iniPath, BenchValues& values);

// False when the file could not be written.
bool PUTINI(const std::string& iniPath, const BenchValues& values);

// A number as the host runtime turns text into an unsigned byte: leading
// blanks and sign, then decimal digits up to the first other character,
// taken modulo 256; no digits give 0.
uint8_t textToByte(const std::string& text);

}  // namespace benchform

#endif

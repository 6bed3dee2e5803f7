// A reversible escape that keeps a multi-line text on one profile line.
//
// Backslash becomes "\\", line feed "\n", carriage return "\r"; nothing else
// changes, so texts without these characters are stored as they are. Reading
// back turns the three pairs into their characters again; a backslash followed
// by anything else (or by nothing) is kept as it stands, so values typed by
// hand, such as Windows paths, survive too.
#ifndef QUILLNET_INILINEESCAPE_H
#define QUILLNET_INILINEESCAPE_H

#include <string>

namespace quillnet {

std::string escapeLineBreaks(const std::string& text);
std::string unescapeLineBreaks(const std::string& stored);

}  // namespace quillnet

#endif  // QUILLNET_INILINEESCAPE_H

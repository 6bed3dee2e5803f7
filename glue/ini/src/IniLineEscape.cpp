#include "quillnet/inilineescape.h"

namespace quillnet {

std::string escapeLineBreaks(const std::string& text)
{
    std::string stored;
    stored.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                stored += "\\\\";
                break;
            case '\n':
                stored += "\\n";
                break;
            case '\r':
                stored += "\\r";
                break;
            default:
                stored += c;
        }
    }
    return stored;
}

std::string unescapeLineBreaks(const std::string& stored)
{
    std::string text;
    text.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        const char next = i + 1 < stored.size() ? stored[i + 1] : '\0';
        if (stored[i] == '\\' && (next == '\\' || next == 'n' || next == 'r')) {
            text += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
            ++i;
        } else {
            text += stored[i];
        }
    }
    return text;
}

}  // namespace quillnet

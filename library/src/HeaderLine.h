#pragma once

#include <string>

// One line of a message's header list. Names are the library's fixed header
// names (static storage); values are owned and may hold folded lines.
struct HeaderLine {
    const char* pszName = nullptr;
    std::string value;
    HeaderLine* pNext = nullptr;
};

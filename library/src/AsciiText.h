#pragma once

// Comparison of protocol names (header names, file extensions) in ASCII,
// independent of the C library's locale.
inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringCase(const char* pszA, const char* pszB)
{
    while (*pszA && AsciiLower(*pszA) == AsciiLower(*pszB)) {
        ++pszA;
        ++pszB;
    }
    return AsciiLower(*pszA) == AsciiLower(*pszB);
}

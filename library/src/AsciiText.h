#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Comparison of protocol names (header names, file extensions) in ASCII,
// independent of the C library's locale, and the test for 8-bit text.
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

// True when a byte of the `nLength` bytes at `pData` lies outside US-ASCII.
// Whole messages are scanned with it before they are sent, so it tests eight
// bytes at a time rather than branching on each.
inline bool HasEightBitBytes(const char* pData, size_t nLength)
{
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 32 <= nLength; i += 32) {
        uint64_t words[4];
        std::memcpy(words, pData + i, sizeof words);
        if ((words[0] | words[1] | words[2] | words[3]) & kHighBits) return true;
    }
    unsigned char any = 0;
    for (; i < nLength; ++i) any |= static_cast<unsigned char>(pData[i]);
    return (any & 0x80) != 0;
}

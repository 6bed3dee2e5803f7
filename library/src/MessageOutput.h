#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Output to the message file. Every byte goes through the table of system
// calls, and the first write that fails raises WriteFailed: a message that
// lost a piece is never written on as if whole.
struct WriteFailed {};

void WriteBytes(FILE* pFile, const void* pData, size_t nLength);
// For output that is US-ASCII by construction (the transfer encoders'): the
// same, but not looked at by an EightBitWatch.
void WriteAsciiBytes(FILE* pFile, const void* pData, size_t nLength);
void WriteText(FILE* pFile, const char* pszText);
void WriteText(FILE* pFile, const std::string& text);
void WriteChar(FILE* pFile, char c);
void WriteFormatted(FILE* pFile, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
// Raises WriteFailed unless everything written so far reached the file.
void FlushOutput(FILE* pFile);

// Notes whether a byte outside US-ASCII is written through these functions
// while it lives, on this thread. The submission dialogue learns so whether a
// message needs BODY=8BITMIME as it is composed, without reading the whole
// message file once more.
class EightBitWatch {
public:
    EightBitWatch();
    ~EightBitWatch();
    EightBitWatch(const EightBitWatch&) = delete;
    EightBitWatch& operator=(const EightBitWatch&) = delete;

    bool Seen() const { return m_bSeen; }

private:
    friend void WriteBytes(FILE* pFile, const void* pData, size_t nLength);

    EightBitWatch* m_pOuter;
    bool m_bSeen = false;
};

#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Output to the message file. Every byte goes through the table of system
// calls, and the first write that fails raises WriteFailed: a message that
// lost a piece is never written on as if whole.
struct WriteFailed {};

void WriteBytes(FILE* pFile, const void* pData, size_t nLength);
void WriteText(FILE* pFile, const char* pszText);
void WriteText(FILE* pFile, const std::string& text);
void WriteChar(FILE* pFile, char c);
void WriteFormatted(FILE* pFile, const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
// Raises WriteFailed unless everything written so far reached the file.
void FlushOutput(FILE* pFile);

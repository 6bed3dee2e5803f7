#include "MessageOutput.h"

#include <cstdarg>
#include <cstring>
#include <vector>

#include "AsciiText.h"
#include "platform/SystemCalls.h"

namespace {

thread_local EightBitWatch* t_pWatch = nullptr;

}  // namespace

EightBitWatch::EightBitWatch() : m_pOuter(t_pWatch)
{
    t_pWatch = this;
}

EightBitWatch::~EightBitWatch()
{
    t_pWatch = m_pOuter;
    if (m_pOuter && m_bSeen) m_pOuter->m_bSeen = true;
}

void WriteAsciiBytes(FILE* pFile, const void* pData, size_t nLength)
{
    if (nLength > 0 && !platform::Calls().writeFile(pFile, pData, nLength)) throw WriteFailed{};
}

void WriteBytes(FILE* pFile, const void* pData, size_t nLength)
{
    if (t_pWatch && !t_pWatch->m_bSeen)
        t_pWatch->m_bSeen = HasEightBitBytes(static_cast<const char*>(pData), nLength);
    WriteAsciiBytes(pFile, pData, nLength);
}

void WriteText(FILE* pFile, const char* pszText)
{
    WriteBytes(pFile, pszText, std::strlen(pszText));
}

void WriteText(FILE* pFile, const std::string& text)
{
    WriteBytes(pFile, text.data(), text.size());
}

void WriteChar(FILE* pFile, char c)
{
    WriteBytes(pFile, &c, 1);
}

void WriteFormatted(FILE* pFile, const char* pszFormat, ...)
{
    char szShort[256];
    va_list args;
    va_start(args, pszFormat);
    va_list again;
    va_copy(again, args);
    int nLength = std::vsnprintf(szShort, sizeof szShort, pszFormat, args);
    va_end(args);
    if (nLength < 0) {
        va_end(again);
        throw WriteFailed{};
    }
    if (static_cast<size_t>(nLength) < sizeof szShort) {
        va_end(again);
        WriteBytes(pFile, szShort, static_cast<size_t>(nLength));
        return;
    }
    std::vector<char> text(static_cast<size_t>(nLength) + 1);
    std::vsnprintf(text.data(), text.size(), pszFormat, again);
    va_end(again);
    WriteBytes(pFile, text.data(), static_cast<size_t>(nLength));
}

void FlushOutput(FILE* pFile)
{
    if (!platform::Calls().flushFile(pFile)) throw WriteFailed{};
}

#include "Diagnostics.h"

#include <cstdarg>

#include "Globals.h"
#include "platform/SystemCalls.h"

namespace {
FILE* g_pDebugFile = nullptr;  // null: the process's standard error
}

FILE* DiagnosticStream()
{
    return g_pDebugFile ? g_pDebugFile : stderr;
}

bool OpenDebugFile(const char* path)
{
    FILE* pFile = platform::Calls().openFile(path, "w");
    if (!pFile) return false;
    std::setvbuf(pFile, nullptr, _IONBF, 0);
    if (g_pDebugFile) std::fclose(g_pDebugFile);
    g_pDebugFile = pFile;
    return true;
}

static void WriteLine(const char* format, va_list args)
{
    std::vfprintf(DiagnosticStream(), format, args);
}

void Log(const char* format, ...)
{
    if (!g_bVerbose) return;
    va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
}

void LogAlways(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
}

void ResetDiagnosticStreamForTesting()
{
    if (g_pDebugFile) std::fclose(g_pDebugFile);
    g_pDebugFile = nullptr;
}

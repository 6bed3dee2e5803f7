#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// Everything the library asks of the operating system, apart from sockets
// (see Sockets.h). One implementation file per platform and concern lives in
// platform/<platform>/.
namespace platform {

// Clock and ids for Content-IDs, boundaries and the Date header.
uint32_t ProcessId();
time_t CurrentTime();
uint32_t TickCount();  // milliseconds from a monotonic clock, cut to 32 bits

// Fixes the three values above in the table of system calls (tests); pass
// nullptr to use the real clock again.
struct FixedClock {
    uint32_t processId;
    time_t time;
    uint32_t tickCount;
};
void SetFixedClockForTesting(const FixedClock* pClock);

// The content type registered for a file extension (without the dot), or "".
std::string QueryRegisteredContentType(const char* pszExtension);

// The library's one message box: text, caption, OK.
void ShowErrorBox(const char* pszText, const char* pszCaption);

// Converts `nLength` bytes in place from the OEM code page (437) to ANSI (1252).
void OemToAnsi(char* pText, size_t nLength);

// True when the path names a file that exists, is no folder and may be read.
bool FileIsReadable(const char* pszPath);

// The folder separator written between a folder and a file name.
constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace platform

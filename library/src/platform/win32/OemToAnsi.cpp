// OEM to ANSI through the system's own code pages. OemToCharBuffA is the
// counted form of OemToCharA, so a text is converted over its whole length
// even past an embedded zero byte; it may work in place.
#include <windows.h>

#include "platform/Platform.h"

namespace platform {

void OemToAnsi(char* pText, size_t nLength)
{
    // The call takes a DWORD count; convert huge texts in slices.
    constexpr size_t kSlice = 0x40000000;
    while (nLength > 0) {
        const size_t nNow = nLength < kSlice ? nLength : kSlice;
        OemToCharBuffA(pText, pText, static_cast<DWORD>(nNow));
        pText += nNow;
        nLength -= nNow;
    }
}

}  // namespace platform

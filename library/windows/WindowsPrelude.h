/*
 * Included first in every library source on Windows (compiler option
 * -include), so <windows.h> is read once, before the library's own headers,
 * and its macros that reuse the library's names are removed for good:
 * winuser.h maps OemToAnsi to OemToCharA, and min/max would break std::min.
 */
#ifndef QUILLNET_WINDOWS_PRELUDE_H
#define QUILLNET_WINDOWS_PRELUDE_H

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef OemToAnsi

#endif

# Cross-build for 32-bit Windows with Debian's MinGW-w64 (posix thread model).
# The 32-bit DLL is the one existing hosts load: its job block is 88 bytes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLNET_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

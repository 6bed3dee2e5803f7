# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
# This build runs under Debian's 64-bit Wine in the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLNET_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Lets CMake run the programs it builds (ctest) through Wine.
find_program(QUILLNET_WINE wine)
if(QUILLNET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLNET_WINE})
endif()

# Shared part of the MinGW-w64 toolchain files; QUILLNET_MINGW_TRIPLET is set
# by the including file. The posix variants are used because the win32 thread
# model lacks std::mutex, which the library's call lock needs.
set(CMAKE_C_COMPILER ${QUILLNET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLNET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLNET_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLNET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs and DLLs carry their C, C++ and thread runtimes inside, so a
# Windows user needs nothing beside them but quillnet.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

#pragma once

#include <cstdio>

// The temporary message file. One implementation per platform
// (posix/TempFile.cpp).
namespace platform {

// Creates `path` exclusively (fails when the name exists, link or not) with
// owner-only permissions, opened for binary reading and writing. Returns null
// on failure; `*pbNameTaken` tells whether the failure was an existing name.
FILE* CreateExclusiveFile(const char* path, bool* pbNameTaken);

// Deletes the temporary message file.
bool DeleteTempFile(const char* path);

}  // namespace platform

#pragma once

#include <cstdio>

// The library's diagnostic stream: the process's standard error until a job
// names a debug file, then that file (unbuffered, so each line lands at once).

FILE* DiagnosticStream();

// Opens `path` with mode "w" as the new stream, closing an earlier debug file.
// On failure the current stream stays and false is returned.
bool OpenDebugFile(const char* path);

// Writes a line when g_bVerbose is set.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes a line whatever g_bVerbose says.
void LogAlways(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Back to standard error, closing a debug file (tests only).
void ResetDiagnosticStreamForTesting();

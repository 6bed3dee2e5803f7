#pragma once

// Puts the library's settings back to their load-time values before each
// input and turns verbose logging on into /dev/null, so the diagnostic lines
// that quote foreign text are formatted on every run without filling a log.
namespace fuzzsupport {

void ResetLibraryWithQuietLog();

}  // namespace fuzzsupport

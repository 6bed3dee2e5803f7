#pragma once

#include <string>

namespace fuzzsupport {

// A fresh folder under $TMPDIR (or /tmp) for the whole run of one target,
// removed when the process exits normally.
const std::string& ScratchFolder();

// Writes `content` to `path` whole, replacing what was there; aborts on failure.
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace fuzzsupport

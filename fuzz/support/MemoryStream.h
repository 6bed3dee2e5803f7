#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace fuzzsupport {

// What `write` puts into a stream, collected in memory.
std::string CaptureStream(const std::function<void(FILE*)>& write);

}  // namespace fuzzsupport

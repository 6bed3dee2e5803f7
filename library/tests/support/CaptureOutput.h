#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace composer_test {

// What `write` puts into a fresh temporary file.
std::string Capture(const std::function<void(FILE*)>& write);

}  // namespace composer_test

#include "support/CaptureOutput.h"

namespace composer_test {

std::string Capture(const std::function<void(FILE*)>& write)
{
    FILE* pFile = std::tmpfile();
    write(pFile);
    std::string text(static_cast<size_t>(std::ftell(pFile)), '\0');
    std::rewind(pFile);
    text.resize(std::fread(text.data(), 1, text.size(), pFile));
    std::fclose(pFile);
    return text;
}

}  // namespace composer_test

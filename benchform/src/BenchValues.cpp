#include "BenchValues.h"

namespace benchform {

std::string fieldText(const std::string& text, int width)
{
    size_t cut = 0;
    int characters = 0;
    while (cut < text.size() && characters < width) {
        ++cut;
        // Continuation bytes (10xxxxxx) belong to the character before them.
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
        ++characters;
    }
    size_t end = cut;
    while (end > 0 && text[end - 1] == ' ') --end;
    return text.substr(0, end);
}

bool isBlank(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

}  // namespace benchform

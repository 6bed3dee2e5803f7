// Host texts are fixed-length and blank-padded; the glue stores them without
// the padding in zero-terminated buffers of fixed size.
#ifndef QUILLNET_GLUE_FIXEDTEXT_H
#define QUILLNET_GLUE_FIXEDTEXT_H

#include <cstddef>
#include <cstring>
#include <string_view>

namespace quillnet {

inline std::string_view withoutTrailingBlanks(std::string_view text)
{
    size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

// Copies at most capacity - 1 characters and zero-fills the rest, so records
// copied whole into memory blocks carry nothing but the text.
inline void storeText(char* buffer, size_t capacity, std::string_view text)
{
    size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (length > 0) std::memcpy(buffer, text.data(), length);
    std::memset(buffer + length, 0, capacity - length);
}

template <size_t N>
void storeTrimmed(char (&buffer)[N], std::string_view text)
{
    storeText(buffer, N, withoutTrailingBlanks(text));
}

}  // namespace quillnet

#endif

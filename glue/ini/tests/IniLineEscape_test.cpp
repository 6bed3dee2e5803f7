#include "quillnet/inilineescape.h"

#include <gtest/gtest.h>

namespace {

TEST(IniLineEscapeTest, RoundTripsEveryTextOnOneLine)
{
    const struct {
        std::string text;
        std::string stored;
    } cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"two\nlines", "two\\nlines"},
        {"windows\r\nend", "windows\\r\\nend"},
        {"C:\\tmp\\new", "C:\\\\tmp\\\\new"},
        {"ends in backslash\\", "ends in backslash\\\\"},
        {"\\n is not a break", "\\\\n is not a break"},
        {"\n\n", "\\n\\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const std::string stored = quillnet::escapeLineBreaks(c.text);
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(quillnet::unescapeLineBreaks(stored), c.text);
    }
    // Hand-typed backslashes that start no pair are kept as they stand.
    EXPECT_EQ(quillnet::unescapeLineBreaks("c:\\tmp\\mdi.bmp\\"), "c:\\tmp\\mdi.bmp\\");
}

}  // namespace

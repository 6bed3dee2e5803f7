// Where quillnet-send's login password comes from.
#include "PasswordSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace quillnet {
namespace {

std::string writeTemp(const std::string& name, const std::string& bytes)
{
    std::string path = testing::TempDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(PasswordFile, FirstLineWithoutItsLineEnd)
{
    // Each content and the password read, or "error".
    const std::pair<std::string, std::string> cases[] = {
        {"secret\n", "secret"},
        {"secret", "secret"},
        {"secret\r\nsecond line\n", "secret"},
        {" with blanks \n", " with blanks "},
        {"bearer:ya29.token\n", "bearer:ya29.token"},
        {"", "error"},
        {"\nsecret\n", "error"},
        {std::string(kMaxPassword, 'p'), std::string(kMaxPassword, 'p')},
        {std::string(kMaxPassword + 1, 'p') + "\n", "error"},
    };
    for (const auto& [content, expected] : cases) {
        std::string error;
        auto password = readPasswordFile(writeTemp("password", content), error);
        EXPECT_EQ(password.value_or("error"), expected) << content;
        EXPECT_EQ(error.empty(), password.has_value()) << error;
    }
    std::string error;
    EXPECT_FALSE(readPasswordFile(testing::TempDir() + "/no-such-file", error));
    EXPECT_NE(error.find("no-such-file"), std::string::npos);
}

TEST(PasswordChoice, FirstSourceWinsAndOnlyUrlHostsAsk)
{
    const std::string file = writeTemp("password-choice", "from-file\n");
    struct Case {
        const char* host;
        const char* user;
        bool fromCommandLine, fromFile;
        const char* environment;
        const char* expected;  // the password, or "none"
        bool asked;
    } cases[] = {
        {"smtps://h", "u", true, true, "from-env", "from-command-line", false},
        {"smtps://h", "u", false, true, "from-env", "from-file", false},
        {"smtps://h", "u", false, false, "from-env", "from-env", false},
        {"smtps://h", "u", false, false, "", "typed", true},
        {"smtps://h", "u", false, false, nullptr, "typed", true},
        {"h:25", "u", false, false, nullptr, "none", false},
        {"smtps://h", "", false, true, "from-env", "none", false},
    };
    for (const Case& c : cases) {
        SendOptions o;
        o.host = c.host;
        o.user = c.user;
        if (c.fromCommandLine) o.password = "from-command-line";
        if (c.fromFile) o.passwordFile = file;
        bool asked = false;
        std::string error = choosePassword(o, c.environment, [&]() -> std::optional<std::string> {
            asked = true;
            return "typed";
        });
        EXPECT_EQ(error, "");
        EXPECT_EQ(o.password.value_or("none"), c.expected) << c.host << " " << c.user;
        EXPECT_EQ(asked, c.asked) << c.expected;
    }

    SendOptions o;
    o.host = "smtps://h";
    o.user = "u";
    o.passwordFile = testing::TempDir() + "/missing-password";
    EXPECT_NE(choosePassword(o, "from-env", nullptr), "") << "an unreadable file must not fall back";
    EXPECT_FALSE(o.password);
}

TEST(RefusedRecipients, OneEntryALineEvenWithSemicolonsInReplies)
{
    EXPECT_EQ(refusedRecipients("Refused: <a@x> 550 5.1.1 No such user; try later; <b@y> 553 Denied"),
              (std::vector<std::string>{"<a@x> 550 5.1.1 No such user; try later", "<b@y> 553 Denied"}));
    EXPECT_EQ(refusedRecipients("Refused: <a@x> 550 No"), (std::vector<std::string>{"<a@x> 550 No"}));
    EXPECT_TRUE(refusedRecipients("530 Authentication required").empty());
}

}  // namespace
}  // namespace quillnet

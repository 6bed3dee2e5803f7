// Reading quillnet-send's command line.
#include "SendOptions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace quillnet {
namespace {

ParsedCommandLine parse(std::initializer_list<const char*> args)
{
    std::vector<std::string> storage{"quillnet-send"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return parseSendOptions(static_cast<int>(storage.size()), argv.data());
}

TEST(SendCommandLine, RecipientForms)
{
    // Each text as "name|address", or "refused".
    const std::pair<const char*, const char*> cases[] = {
        {"bob@example.com", "|bob@example.com"},
        {"  bob@example.com ", "|bob@example.com"},
        {"Bob Smith <bob@example.com>", "Bob Smith|bob@example.com"},
        {"\"Smith, Bob\" <bob@example.com>", "Smith, Bob|bob@example.com"},
        {"<bob@example.com>", "|bob@example.com"},
        {"@/tmp/addresses.txt", "|@/tmp/addresses.txt"},
        {"", "refused"},
        {"Bob <>", "refused"},
        {"Bob <bob@example.com", "refused"},
        {"Bob Smith bob@example.com", "refused"},
    };
    for (const auto& [text, expected] : cases) {
        auto recipient = parseRecipient(text);
        EXPECT_EQ(recipient ? recipient->name + "|" + recipient->address : "refused", expected) << text;
    }
    // What a record could not hold whole is refused, not cut.
    EXPECT_TRUE(parseRecipient(std::string(199, 'a')));
    EXPECT_FALSE(parseRecipient(std::string(200, 'a')));
}

TEST(SendCommandLine, EveryValueReachesItsField)
{
    // clang-format off
    ParsedCommandLine parsed =
        parse({"--host", "127.0.0.1:2525", "--mailer", "m", "-f", "ann@x", "--from-name", "Ann", "--return-path",
               "rp@x", "--organization", "Org", "-s", "Hi", "-t", "Bob <bob@x>", "-t", "carl@x", "-c", "cc@x",
               "-b", "bcc@x", "--to-text", "Friends", "-p", "1", "-m", "text", "-k", "html", "-a", "/tmp/a",
               "-a", "/tmp/b", "--debug-file", "/tmp/d", "--quiet"});
    // clang-format on
    ASSERT_EQ(parsed.error, "");
    const SendOptions& o = parsed.options;
    EXPECT_EQ((std::vector<std::string>{o.host, o.mailer, o.fromAddress, o.fromName, o.returnPath,
                                        o.organization, o.subject, o.toText, o.debugFile, *o.messageText}),
              (std::vector<std::string>{"127.0.0.1:2525", "m", "ann@x", "Ann", "rp@x", "Org", "Hi", "Friends",
                                        "/tmp/d", "text"}));
    ASSERT_EQ(o.to.size(), 2u);
    EXPECT_EQ(o.to[0].name + "|" + o.to[0].address + "|" + o.to[1].address, "Bob|bob@x|carl@x");
    ASSERT_EQ(o.cc.size() + o.bcc.size(), 2u);
    EXPECT_EQ(o.cc[0].address + o.bcc[0].address, "cc@xbcc@x");
    EXPECT_EQ(o.priority, 1);
    EXPECT_EQ(o.messageKind, 4);
    EXPECT_EQ(o.attachments, (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
    EXPECT_TRUE(o.quiet);

    parsed = parse({"-H", "news.local", "--news", "local.test", "--news", "local.other", "--user", "u",
                    "--password", "p"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.newsgroups, (std::vector<std::string>{"local.test", "local.other"}));
    EXPECT_EQ(parsed.options.user + "/" + parsed.options.password.value_or("none"), "u/p");

    parsed = parse({"-H", "smtps://mail.example", "--user", "u", "--password-file", "/tmp/pw"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.host, "smtps://mail.example");
    EXPECT_EQ(parsed.options.passwordFile.value_or("none"), "/tmp/pw");
    EXPECT_FALSE(parsed.options.password);
}

TEST(SendCommandLine, MessageKinds)
{
    const std::pair<const char*, int> kinds[] = {
        {"text", 6}, {"html", 4}, {"richtext", 3}, {"quoted-printable", 2},
        {"7bit", 1}, {"raw", 0},  {"8", 8},        {"0", 0}};
    for (auto [kind, expected] : kinds) {
        ParsedCommandLine parsed = parse({"-H", "h", "-k", kind});
        EXPECT_EQ(parsed.error + std::to_string(parsed.options.messageKind), std::to_string(expected))
            << kind;
    }
}

TEST(SendCommandLine, UnusableCommandLinesAreRefused)
{
    struct Case {
        std::initializer_list<const char*> args;
        const char* errorPart;
    } cases[] = {
        {{"-t", "bob@x"}, "no server"},
        {{"-H", "h", "--frobnicate"}, "unknown option"},
        {{"-H", "h", "-t"}, "needs a value"},
        {{"-H", "h", "stray"}, "unexpected argument"},
        {{"-H", "h", "-t", "Bob <bob@x"}, "not a recipient"},
        {{"-H", "h", "-p", "256"}, "priority"},
        {{"-H", "h", "-p", "two"}, "priority"},
        {{"-H", "h", "-m", "x", "-F", "f"}, "only one of"},
        {{"-H", "h", "-m", "x", "--html-file", "f"}, "only one of"},
        {{"-H", "h", "-t", "a@x", "--news", "g"}, "not both"},
        {{"-H", "h", "--news", "g", "-c", "c@x"}, "--cc and --bcc"},
        {{"-H", "h", "-a", ""}, "attachment path"},
        {{"-H", "h", "-k", "9"}, "message kind"},
        {{"-H", "h", "-k", "-1"}, "message kind"},
        {{"-H", "h", "-k", "HTML"}, "message kind"},
        {{"-H", "h", "-k", ""}, "message kind"},
        {{"-H", "h", "--password", "p", "--password-file", "f"}, "only one of --password"},
    };
    for (const Case& c : cases) {
        ParsedCommandLine parsed = parse(c.args);
        EXPECT_NE(parsed.error.find(c.errorPart), std::string::npos)
            << "error was \"" << parsed.error << "\", expected it to mention \"" << c.errorPart << "\"";
    }
    // Asking for help needs nothing else.
    ParsedCommandLine help = parse({"--help"});
    EXPECT_EQ(help.error, "");
    EXPECT_TRUE(help.options.help);
}

}  // namespace
}  // namespace quillnet

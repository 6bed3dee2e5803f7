// How WRENPOSTCLASS stores the values a host gives it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordingHostServices.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {
namespace {

class GlueValues : public ::testing::Test {
protected:
    RecordingHostServices host;
    WRENPOSTCLASS mail{host};
};

TEST_F(GlueValues, InitGivesTheStartingValues)
{
    mail.SETSUBJECT("old");
    mail.ADDTO("", "a@example.com");
    mail.SETPRIORITY(1);
    mail.SETMESSAGE("text", PART_HTML);
    mail.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    mail.INIT();
    EXPECT_STREQ(mail.SUBJECT, "");
    EXPECT_TRUE(mail.TOADR.empty());
    EXPECT_EQ(std::to_string(mail.PRIORITY) + std::to_string(mail.SERVERMODE) +
                  std::to_string(mail.MESSAGETYPE) + std::to_string(mail.MESSAGETEXTHANDLEFREE),
              "3160");
    EXPECT_EQ(mail.MESSAGETEXTHANDLE, nullptr);
}

TEST_F(GlueValues, TextSettersDropTrailingBlanksAndCutToTheBuffer)
{
    using Setter = void (WRENPOSTCLASS::*)(std::string_view);
    struct Case {
        const char* name;
        Setter set;
        const char* field;
        size_t capacity;
    } cases[] = {
        {"MAILHOST", &WRENPOSTCLASS::SETMAILHOST, mail.MAILHOST, 200},
        {"MAILER", &WRENPOSTCLASS::SETMAILER, mail.MAILER, 200},
        {"RETURNPATH", &WRENPOSTCLASS::SETRETURNPATH, mail.RETURNPATH, 200},
        // Reply To is the return path's field: the later call wins, an empty one empties it.
        {"REPLYTO", &WRENPOSTCLASS::SETREPLYTO, mail.RETURNPATH, 200},
        {"ORGANIZATION", &WRENPOSTCLASS::SETORGANIZATION, mail.ORGANIZATION, 200},
        {"SUBJECT", &WRENPOSTCLASS::SETSUBJECT, mail.SUBJECT, 200},
        {"TONAME", &WRENPOSTCLASS::SETTONAME, mail.TONAME, 200},
        {"DEBUGFILE", &WRENPOSTCLASS::SETDEBUGFILE, mail.DEBUGFILE, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        (mail.*c.set)("  value with inner  blanks   ");
        EXPECT_STREQ(c.field, "  value with inner  blanks");
        std::string longText(300, 'x');
        longText[c.capacity - 2] = 'y';
        (mail.*c.set)(longText);
        EXPECT_EQ(std::string(c.field), longText.substr(0, c.capacity - 1));
        (mail.*c.set)("      ");
        EXPECT_STREQ(c.field, "");
    }
}

TEST_F(GlueValues, SetFromInItsThreeForms)
{
    struct Case {
        const char* name;
        const char* address;  // nullptr: omitted
        std::string expected;
    } cases[] = {
        {"Ann Smith  ", nullptr, "Ann Smith"},
        {"Ann Smith", "    ", "Ann Smith"},
        {"Ann Smith  ", "ann@example.com  ", "\"Ann Smith\" <ann@example.com>"},
        {"", "ann@example.com", "\"\" <ann@example.com>"},
        {"Eve\" <eve@evil.example>, \"C:\\", "ann@example.com",
         "\"Eve\\\" <eve@evil.example>, \\\"C:\\\\\" <ann@example.com>"},
        {"ann@example.com", "", "ann@example.com"},
    };
    for (const Case& c : cases) {
        if (c.address)
            mail.SETFROM(c.name, c.address);
        else
            mail.SETFROM(c.name);
        EXPECT_EQ(std::string(mail.FROM), c.expected)
            << c.name << " / " << (c.address ? c.address : "omitted");
    }
    // The composed text is cut as a whole, so the closing bracket is what goes.
    mail.SETFROM(std::string(190, 'n'), "ann@example.com");
    EXPECT_EQ(std::strlen(mail.FROM), 199u);
    EXPECT_EQ(std::string(mail.FROM).substr(0, 3), "\"nn");
}

TEST_F(GlueValues, AddsSkipBlankAddressesAndFileNames)
{
    mail.ADDTO("Name only", "   ");
    mail.ADDTO("", "");
    mail.ADDATTACHMENT("    ", PART_ATTACHMENT);
    EXPECT_TRUE(mail.TOADR.empty());
    EXPECT_TRUE(mail.ATTACHMENTS.empty());

    mail.ADDTO("   ", "bob@example.com");
    ASSERT_EQ(mail.TOADR.size(), 1u);
    EXPECT_STREQ(mail.TOADR[0].NAME, "");
    mail.ADDTO(std::string(300, 'n'), std::string(300, 'e'));
    EXPECT_EQ(std::strlen(mail.TOADR[1].NAME), 199u);
    EXPECT_EQ(std::strlen(mail.TOADR[1].EMAIL), 199u);
    mail.ADDATTACHMENT(std::string(300, 'f'), 200);
    EXPECT_EQ(std::strlen(mail.ATTACHMENTS[0].FILENAME), 254u);
    EXPECT_EQ(static_cast<uint8_t>(mail.ATTACHMENTS[0].FILETYPE), 200);
}

TEST_F(GlueValues, CopyStringToMemoryKeepsTheTextsLengthPlusOne)
{
    struct Case {
        std::string text;
        std::string stored;
    } cases[] = {{"", ""},
                 {"abc", "abc"},
                 {"abc   ", "abc"},
                 {"   ", ""},
                 {"line 1\r\nline 2\r\n", "line 1\r\nline 2\r\n"}};
    for (const Case& c : cases) {
        HGLOBAL block = mail.COPYSTRINGTOMEMORY(c.text);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(GlobalSize(block), c.text.size() + 1);
        const char* memory = static_cast<const char*>(GlobalLock(block));
        EXPECT_EQ(std::string(memory), c.stored);
        EXPECT_EQ(memory[c.text.size()], '\0') << "last byte is zero";
        GlobalUnlock(block);
        GlobalFree(block);
    }
}

TEST_F(GlueValues, SetMessageReplacesAndFreesTheOwnedBlock)
{
    mail.SETMESSAGE("first", PART_TEXT);
    HGLOBAL first = mail.MESSAGETEXTHANDLE;
    ASSERT_NE(first, nullptr);
    mail.SETMESSAGE("second   ", PART_HTML_FILE);
    EXPECT_NE(mail.MESSAGETEXTHANDLE, nullptr);
    EXPECT_EQ(GlobalSize(first), 0u) << "the first block was released";
    EXPECT_EQ(mail.MESSAGETEXTHANDLEFREE, 1);
    EXPECT_EQ(mail.MESSAGETYPE, PART_HTML_FILE);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(mail.MESSAGETEXTHANDLE)), "second");
    GlobalUnlock(mail.MESSAGETEXTHANDLE);

    // A block the host put there itself is the host's to free.
    HGLOBAL hostBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
    mail.KILL();
    mail.MESSAGETEXTHANDLE = hostBlock;
    mail.KILL();
    EXPECT_EQ(GlobalSize(hostBlock), 8u);
    GlobalFree(hostBlock);
}

}  // namespace
}  // namespace quillnet

// The entry point: reading the job block, refusals, library-wide settings,
// and a whole job composed and handed to a scripted server.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "EntryPoint.h"
#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/ComposerSupport.h"
#include "support/ScriptedServer.h"

using composer_test::ComposerFixture;
using composer_test::MaskAddresses;
using composer_test::ScopedEnv;

namespace {

struct Address {
    const char* pszName;
    const char* pszEmail;
};

// A block of address records; `extraBytes` adds a partial record at the end.
HGLOBAL AddressBlock(const std::vector<Address>& addresses, size_t extraBytes = 0)
{
    size_t nSize = addresses.size() * sizeof(WRENPOSTADDRESS) + extraBytes;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, nSize);
    auto* pRecords = static_cast<WRENPOSTADDRESS*>(GlobalLock(block));
    for (size_t i = 0; i < addresses.size(); ++i) {
        std::strcpy(pRecords[i].NAME, addresses[i].pszName);
        std::strcpy(pRecords[i].EMAIL, addresses[i].pszEmail);
    }
    GlobalUnlock(block);
    return block;
}

HGLOBAL AttachmentBlock(const std::vector<std::pair<std::string, int>>& files)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, files.size() * sizeof(WRENPOSTATTACHMENT));
    auto* pRecords = static_cast<WRENPOSTATTACHMENT*>(GlobalLock(block));
    for (size_t i = 0; i < files.size(); ++i) {
        std::strcpy(pRecords[i].FILENAME, files[i].first.c_str());
        pRecords[i].FILETYPE = static_cast<int8_t>(files[i].second);
    }
    GlobalUnlock(block);
    return block;
}

// A block holding `bytes` exactly, without a terminating zero of its own.
HGLOBAL TextBlock(const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

class EntryPoint : public ComposerFixture {
protected:
    void TearDown() override
    {
        for (HGLOBAL block : m_blocks) GlobalFree(block);
        ComposerFixture::TearDown();
    }
    HGLOBAL Keep(HGLOBAL block)
    {
        m_blocks.push_back(block);
        return block;
    }
    WRENPOSTDATA Job()
    {
        WRENPOSTDATA job;
        std::memset(&job, 0, sizeof job);
        job.DEBUGFILE = m_logPath.c_str();
        return job;
    }

    std::vector<HGLOBAL> m_blocks;
};

TEST_F(EntryPoint, NoWholeRecipientRecordEndsTheCallWithFifteen)
{
    std::string attachment = m_folder.WriteFile("a.bin", "x");
    struct Case {
        const char* pszName;
        HGLOBAL to;
    } cases[] = {
        {"no block", nullptr},
        {"399 bytes", Keep(AddressBlock({}, sizeof(WRENPOSTADDRESS) - 1))},
        {"unknown handle", reinterpret_cast<HGLOBAL>(0x7)},
    };
    for (const Case& c : cases) {
        WRENPOSTDATA job = Job();
        job.TOADR = c.to;
        job.CCADR = Keep(AddressBlock({{"", "cc@example.com"}}));
        job.MESSAGETEXT = "text";
        job.MESSAGETYPE = PART_TEXT;
        job.ATTACHMENTS = Keep(AttachmentBlock({{attachment, PART_ATTACHMENT}}));
        EXPECT_EQ(_Wrenpost(&job), RESULT_NO_RECIPIENTS) << c.pszName;
        // Neither text nor attachments were looked at.
        EXPECT_EQ(LogText(), "") << c.pszName;
    }
    EXPECT_EQ(_Wrenpost(nullptr), RESULT_NO_RECIPIENTS);
}

TEST_F(EntryPoint, DebugFileThatCannotBeCreatedLeavesTheEarlierStream)
{
    WRENPOSTDATA first = Job();
    EXPECT_EQ(_Wrenpost(&first), RESULT_NO_RECIPIENTS);
    EXPECT_EQ(g_bVerbose, 1);

    WRENPOSTDATA broken = Job();
    std::string missing = m_folder.Path() + "/no/such/folder/debug.log";
    broken.DEBUGFILE = missing.c_str();
    broken.TOADR = Keep(AddressBlock({{"", "bob@example.com"}}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(_Wrenpost(&broken), RESULT_SETUP_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR!: Error creating debug file\n");

    // A later job that names no debug file still writes into the first one.
    WRENPOSTDATA news = Job();
    news.DEBUGFILE = nullptr;
    news.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    news.TOADR = Keep(AddressBlock({{"", "alt.test"}}));
    news.CCADR = Keep(AddressBlock({{"", "cc@example.com"}}));
    EXPECT_EQ(_Wrenpost(&news), RESULT_SETUP_FAILED);
    EXPECT_EQ(LogText(), "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n");
}

TEST_F(EntryPoint, NewsModeRefusesCopiesAndMailModeRefusesMissingAddressFiles)
{
    struct Case {
        const char* pszName;
        uint8_t serverMode;
        HGLOBAL cc;
        HGLOBAL bcc;
        const char* pszTo;
        std::string line;
    } cases[] = {
        {"news cc", 2, Keep(AddressBlock({{"Ann", "ann@example.com"}})), nullptr, "alt.test",
         "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        {"news bcc", 2, Keep(AddressBlock({}, 399)), Keep(AddressBlock({{"", "ann@example.com"}})),
         "alt.test", "Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        {"mail address file", 0, nullptr, nullptr, "@/no/such/list.txt",
         "Failed to open address file '@/no/such/list.txt'. Aborting.\n"},
    };
    for (const Case& c : cases) {
        std::remove(m_logPath.c_str());
        WRENPOSTDATA job = Job();
        job.SERVERMODE = c.serverMode;
        job.TOADR = Keep(AddressBlock({{"", c.pszTo}}));
        job.CCADR = c.cc;
        job.BCCADR = c.bcc;
        job.MESSAGETEXT = "never composed";
        EXPECT_EQ(_Wrenpost(&job), RESULT_SETUP_FAILED) << c.pszName;
        EXPECT_EQ(LogText(), c.line) << c.pszName;
    }
}

TEST_F(EntryPoint, OverlongServerSettingsAreRefusedBeforeAnythingChanges)
{
    const std::string host128(128, 'h'), user32(32, 'u');
    struct Case {
        uint8_t serverMode;
        const char *pszHost, *pszUser, *pszPassword, *pszField;
        int limit;
    } cases[] = {
        {0, host128.c_str(), nullptr, nullptr, "MAILHOST", 127},
        {2, host128.c_str(), "u", "p", "MAILHOST", 127},
        {2, "news", user32.c_str(), "p", "USERNAME", 31},
        {2, "news", "u", user32.c_str(), "USERPASSWORD", 31},
    };
    for (const Case& c : cases) {
        std::remove(m_logPath.c_str());
        WRENPOSTDATA job = Job();
        job.SERVERMODE = c.serverMode;
        job.MAILHOST = c.pszHost;
        job.USERNAME = c.pszUser;
        job.USERPASSWORD = c.pszPassword;
        job.MAILER = "changed";
        job.TOADR = Keep(AddressBlock({{"", "alt.test"}}));
        EXPECT_EQ(_Wrenpost(&job), RESULT_SETUP_FAILED) << c.pszField;
        EXPECT_EQ(LogText(), std::string("_Wrenpost: ") + c.pszField + " is longer than " +
                                 std::to_string(c.limit) + " characters. Aborting.\n");
        EXPECT_STREQ(g_szMailHost, "localhost");
        EXPECT_STREQ(g_szMailer, "");
    }
}

TEST_F(EntryPoint, SettingsFitTheirBuffersAndOutliveTheCall)
{
    const std::string host127(127, 'h'), user31(31, 'u'), mailer(300, 'm'), user40(40, 'x');
    WRENPOSTDATA news = Job();
    news.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    news.MAILHOST = host127.c_str();
    news.USERNAME = user31.c_str();
    news.USERPASSWORD = "secret";
    news.MAILER = mailer.c_str();
    EXPECT_EQ(_Wrenpost(&news), RESULT_NO_RECIPIENTS);
    EXPECT_EQ(g_szNewsHost, host127);
    EXPECT_EQ(g_szNewsUser, user31);
    EXPECT_STREQ(g_szNewsPassword, "secret");

    // Empty values keep what the earlier job stored; a user name is only a
    // news setting, so mail mode ignores even a long one.
    WRENPOSTDATA mail = Job();
    mail.MAILHOST = "";
    mail.USERNAME = user40.c_str();
    EXPECT_EQ(_Wrenpost(&mail), RESULT_NO_RECIPIENTS);
    EXPECT_EQ(g_szMailHost, host127);
    EXPECT_EQ(g_szMailer, mailer.substr(0, 127));
    EXPECT_EQ(g_szNewsUser, user31);
}

TEST_F(EntryPoint, MessageTextComesFromTheBlockWhenThereIsOne)
{
    struct Case {
        const char* pszName;
        HGLOBAL textBlock;
        const char* pszText;
        const char* pszCreated;  // the texts the parts were made from
    } cases[] = {
        {"block wins", Keep(TextBlock(std::string("from block\0tail", 15))), "from pointer", "from block;"},
        {"block without its zero", Keep(TextBlock("abcde")), "from pointer", "abcde;"},
        {"block that cannot be locked", reinterpret_cast<HGLOBAL>(0x7), "from pointer", ""},
    };
    for (const Case& c : cases) {
        std::remove(m_logPath.c_str());
        WRENPOSTDATA job = Job();
        job.MAILHOST = "127.0.0.1:1";  // nothing listens there: the call ends after composing the parts
        job.TOADR = Keep(AddressBlock({{"", "bob@example.com"}}));
        job.MESSAGETEXTHANDLE = c.textBlock;
        job.MESSAGETEXT = c.pszText;
        job.MESSAGETYPE = PART_TEXT;
        EXPECT_NE(_Wrenpost(&job), RESULT_OK) << c.pszName;
        std::string created;
        for (size_t n = LogText().find("CMailPart::Create: "); n != std::string::npos;
             n = LogText().find("CMailPart::Create: ", n + 1))
            created += LogText().substr(n + 19, LogText().find('\n', n) - n - 19) + ";";
        EXPECT_EQ(created, c.pszCreated) << c.pszName;
    }
}

TEST_F(EntryPoint, ResultsNearThirtyTwoThousandCountAsSuccess)
{
    struct Case {
        int32_t result;
        int32_t normalised;
    } cases[] = {{0, 0},      {9, 9},           {32000, 32000},        {32001, 0},
                 {33999, 0},  {34000, 34000},   {-32000, -32000},      {-32001, 0},
                 {-33999, 0}, {-34000, -34000}, {INT32_MIN, INT32_MIN}};
    for (const Case& c : cases) EXPECT_EQ(NormalisedResult(c.result), c.normalised) << c.result;
}

TEST_F(EntryPoint, WholeJobReachesTheServerAsComposed)
{
    ScopedEnv zone("TZ", "UTC0");
    tzset();
    std::string attachment = m_folder.WriteFile("notes.txt", "hello\n");
    m_folder.WriteFile("mime.types", "text/plain txt text\n");
    std::vector<dialoguetest::ScriptStep> script = dialoguetest::SmtpUpToData(3);
    script.push_back(dialoguetest::ReadData());
    script.push_back(dialoguetest::Reply("250 queued\r\n"));
    script.push_back(dialoguetest::ReadLine());
    script.push_back(dialoguetest::Reply("221 bye\r\n"));
    dialoguetest::ScriptedServer server(script);
    std::string host = server.HostSetting();

    WRENPOSTDATA job = Job();
    job.MAILHOST = host.c_str();
    job.RETURNPATH = "Bounces <bounce@example.com>";
    job.SUBJECT = "Minutes\r\nBcc: spy@example.com";
    job.FROM = "\"Ann\" <ann@example.com>";
    job.MAILER = "Bench Form 2";
    job.TOADR = Keep(AddressBlock({{"Bob", "bob@example.com"}}));
    job.CCADR = Keep(AddressBlock({{"", "carl@example.com"}}));
    job.BCCADR = Keep(AddressBlock({{"Ignored", "dora@example.com"}}));
    job.PRIORITY = 1;
    job.MESSAGETEXT = "Dear Bob,\r\nthe minutes are attached.\r\n";
    job.MESSAGETYPE = PART_TEXT;
    job.ATTACHMENTS = Keep(AttachmentBlock({{attachment, PART_ATTACHMENT}}));
    EXPECT_EQ(_Wrenpost(&job), RESULT_OK) << LogText();

    std::string received = server.Received();
    size_t nData = received.find("DATA\r\n");
    ASSERT_NE(nData, std::string::npos) << received;
    EXPECT_NE(received.find(
                  "RCPT TO: bob@example.com\r\nRCPT TO: carl@example.com\r\nRCPT TO: dora@example.com\r\n"),
              std::string::npos)
        << received;
    // The end of the data and the goodbye are the dialogue's business; the
    // message itself must arrive exactly as composed.
    const std::string expected = composer_test::Golden("whole_job.eml");
    std::string message = MaskAddresses(received.substr(nData + 6));
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_NE(message.find(".\r\nQUIT\r\n", expected.size()), std::string::npos) << message;
}

}  // namespace

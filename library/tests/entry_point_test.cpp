// The entry point: reading the job block, refusals, library-wide settings,
// and a whole job composed and handed to a scripted server.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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

// Address records (display name, address) as the bytes of a block.
std::string Addresses(const std::vector<std::pair<const char*, const char*>>& addresses)
{
    std::string bytes;
    for (const auto& address : addresses) {
        WRENPOSTADDRESS record{};
        std::strcpy(record.NAME, address.first);
        std::strcpy(record.EMAIL, address.second);
        bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
    }
    return bytes;
}

std::string Attachment(const std::string& path, int kind)
{
    WRENPOSTATTACHMENT record{};
    std::strcpy(record.FILENAME, path.c_str());
    record.FILETYPE = static_cast<int8_t>(kind);
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

class EntryPoint : public ComposerFixture {
protected:
    void TearDown() override
    {
        for (HGLOBAL block : m_blocks) GlobalFree(block);
        ComposerFixture::TearDown();
    }
    // A block holding exactly `bytes` (no terminating zero added), freed after the test.
    HGLOBAL Block(const std::string& bytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
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

TEST_F(EntryPoint, RefusedJobsComposeNothing)
{
    const std::string attachment = m_folder.WriteFile("a.bin", "x");
    const std::string host128(128, 'h'), user32(32, 'u');
    const std::string longLine = " is longer than 127 characters. Aborting.\n";
    struct Case {
        const char* pszName;
        std::function<void(WRENPOSTDATA&)> change;
        int result;
        std::string log;
    } cases[] = {
        {"no To block", [](WRENPOSTDATA& j) { j.TOADR = nullptr; }, RESULT_NO_RECIPIENTS, ""},
        {"To block without a whole record", [&](WRENPOSTDATA& j) { j.TOADR = Block(std::string(399, 'x')); },
         RESULT_NO_RECIPIENTS, ""},
        {"To block that cannot be locked", [](WRENPOSTDATA& j) { j.TOADR = reinterpret_cast<HGLOBAL>(0x7); },
         RESULT_NO_RECIPIENTS, ""},
        {"news Cc",
         [&](WRENPOSTDATA& j) {
             j.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
             j.CCADR = Block(Addresses({{"Ann", "ann@example.com"}}));
         },
         RESULT_SETUP_FAILED, "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        {"news Bcc after a Cc block without a whole record",
         [&](WRENPOSTDATA& j) {
             j.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
             j.CCADR = Block(std::string(399, '\0'));
             j.BCCADR = Block(Addresses({{"", "ann@example.com"}}));
         },
         RESULT_SETUP_FAILED, "Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        {"missing address file",
         [&](WRENPOSTDATA& j) {
             j.TOADR = Block(Addresses({{"", "@/no/such/list"}}));
         },
         RESULT_SETUP_FAILED, "Failed to open address file '@/no/such/list'. Aborting.\n"},
        {"long host", [&](WRENPOSTDATA& j) { j.MAILHOST = host128.c_str(); }, RESULT_SETUP_FAILED,
         "_Wrenpost: MAILHOST" + longLine},
        {"long news user",
         [&](WRENPOSTDATA& j) {
             j.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
             j.USERNAME = user32.c_str();
         },
         RESULT_SETUP_FAILED, "_Wrenpost: USERNAME is longer than 31 characters. Aborting.\n"},
        {"long news password",
         [&](WRENPOSTDATA& j) {
             j.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
             j.USERPASSWORD = user32.c_str();
         },
         RESULT_SETUP_FAILED, "_Wrenpost: USERPASSWORD is longer than 31 characters. Aborting.\n"},
    };
    for (const Case& c : cases) {
        std::remove(m_logPath.c_str());
        WRENPOSTDATA job = Job();
        job.TOADR = Block(Addresses({{"", "alt.test"}}));
        job.MESSAGETEXT = "never composed";
        job.MESSAGETYPE = PART_TEXT;
        job.ATTACHMENTS = Block(Attachment(attachment, PART_ATTACHMENT));
        c.change(job);
        EXPECT_EQ(_Wrenpost(&job), c.result) << c.pszName;
        EXPECT_EQ(LogText(), c.log) << c.pszName;  // no "CMailPart::Create" line
        EXPECT_STREQ(g_szMailHost, "localhost") << c.pszName;
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
    broken.TOADR = Block(Addresses({{"", "bob@example.com"}}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(_Wrenpost(&broken), RESULT_SETUP_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR!: Error creating debug file\n");

    // A later job that names no debug file still writes into the first one.
    WRENPOSTDATA news = Job();
    news.DEBUGFILE = nullptr;
    news.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    news.TOADR = Block(Addresses({{"", "alt.test"}}));
    news.CCADR = Block(Addresses({{"", "cc@example.com"}}));
    EXPECT_EQ(_Wrenpost(&news), RESULT_SETUP_FAILED);
    EXPECT_EQ(LogText(), "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n");
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
        {"block wins", Block(std::string("from block\0tail", 15)), "from pointer", "from block;"},
        {"block without its zero", Block("abcde"), "from pointer", "abcde;"},
        {"block that cannot be locked", reinterpret_cast<HGLOBAL>(0x7), "from pointer", ""},
    };
    for (const Case& c : cases) {
        std::remove(m_logPath.c_str());
        WRENPOSTDATA job = Job();
        job.MAILHOST = "127.0.0.1:1";  // nothing listens there: the call ends after composing the parts
        job.TOADR = Block(Addresses({{"", "bob@example.com"}}));
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
    job.TOADR = Block(Addresses({{"Bob", "bob@example.com"}}));
    job.CCADR = Block(Addresses({{"", "carl@example.com"}}));
    job.BCCADR = Block(Addresses({{"Ignored", "dora@example.com"}}));
    job.PRIORITY = 1;
    job.MESSAGETEXT = "Dear Bob,\r\nthe minutes are attached.\r\n";
    job.MESSAGETYPE = PART_TEXT;
    job.ATTACHMENTS = Block(Attachment(attachment, PART_ATTACHMENT));
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

// The entry point: reading the job block, refusals, library-wide settings,
// and a whole job composed and handed to a scripted server.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "EntryPoint.h"
#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/ComposerSupport.h"
#include "support/ScriptedServer.h"

namespace {

class EntryPoint : public composer_test::ComposerFixture {
protected:
    void TearDown() override
    {
        for (HGLOBAL block : m_blocks) GlobalFree(block);
        ComposerFixture::TearDown();
    }
    // A block holding exactly `bytes`, freed after the test.
    HGLOBAL Block(const std::string& bytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        m_blocks.push_back(block);
        return block;
    }
    HGLOBAL AddressBlock(const char* pszName, const char* pszEmail)
    {
        WRENPOSTADDRESS record{};
        std::strcpy(record.NAME, pszName);
        std::strcpy(record.EMAIL, pszEmail);
        return Block(std::string(reinterpret_cast<const char*>(&record), sizeof record));
    }
    HGLOBAL AttachmentBlock(const std::string& path)
    {
        WRENPOSTATTACHMENT record{};
        std::strcpy(record.FILENAME, path.c_str());
        record.FILETYPE = PART_ATTACHMENT;
        return Block(std::string(reinterpret_cast<const char*>(&record), sizeof record));
    }
    // A job that writes its debug lines to LogText(), sent to `to`.
    WRENPOSTDATA Job(const char* pszTo = nullptr)
    {
        WRENPOSTDATA job;
        std::memset(&job, 0, sizeof job);
        job.DEBUGFILE = m_logPath.c_str();
        if (pszTo) job.TOADR = AddressBlock("", pszTo);
        return job;
    }

    std::vector<HGLOBAL> m_blocks;
};

TEST_F(EntryPoint, RefusedJobsComposeNothing)
{
    const std::string host128(128, 'h'), user32(32, 'u');
    const auto news = [](WRENPOSTDATA& j) { j.SERVERMODE = WRENPOST_SERVERMODE_NEWS; };
    struct Case {
        std::function<void(WRENPOSTDATA&)> change;
        int result;
        std::string log;
    } cases[] = {
        {[](WRENPOSTDATA& j) { j.TOADR = nullptr; }, RESULT_NO_RECIPIENTS, ""},
        {[&](WRENPOSTDATA& j) { j.TOADR = Block(std::string(399, 'x')); }, RESULT_NO_RECIPIENTS, ""},
        {[](WRENPOSTDATA& j) { j.TOADR = reinterpret_cast<HGLOBAL>(0x7); }, RESULT_NO_RECIPIENTS, ""},
        {[&](WRENPOSTDATA& j) { news(j), j.CCADR = AddressBlock("Ann", "ann@example.com"); },
         RESULT_SETUP_FAILED, "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        // A Cc block without a whole record adds nobody; the Bcc is refused.
        {[&](WRENPOSTDATA& j) {
             news(j), j.CCADR = Block(std::string(399, '\0'));
             j.BCCADR = AddressBlock("", "ann@example.com");
         },
         RESULT_SETUP_FAILED, "Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n"},
        {[&](WRENPOSTDATA& j) { j.MAILHOST = host128.c_str(); }, RESULT_SETUP_FAILED,
         "_Wrenpost: MAILHOST is longer than 127 characters. Aborting.\n"},
        {[&](WRENPOSTDATA& j) { news(j), j.USERNAME = user32.c_str(); }, RESULT_SETUP_FAILED,
         "_Wrenpost: USERNAME is longer than 31 characters. Aborting.\n"},
        {[&](WRENPOSTDATA& j) { news(j), j.USERPASSWORD = user32.c_str(); }, RESULT_SETUP_FAILED,
         "_Wrenpost: USERPASSWORD is longer than 31 characters. Aborting.\n"},
    };
    for (const Case& c : cases) {
        WRENPOSTDATA job = Job("alt.test");
        job.MESSAGETEXT = "never composed";
        job.MESSAGETYPE = PART_TEXT;
        job.ATTACHMENTS = AttachmentBlock(WriteFile("a.bin", "x"));
        c.change(job);
        EXPECT_EQ(_Wrenpost(&job), c.result) << c.log;
        EXPECT_EQ(LogText(), c.log);  // no "CMailPart::Create" line
        EXPECT_STREQ(g_szMailHost, "localhost") << c.log;
    }
    EXPECT_EQ(_Wrenpost(nullptr), RESULT_NO_RECIPIENTS);
}

TEST_F(EntryPoint, SettingsAndTheDebugStreamOutliveTheCall)
{
    const std::string host127(127, 'h'), user31(31, 'u'), mailer(300, 'm'), user40(40, 'x');
    WRENPOSTDATA news = Job();
    news.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
    news.MAILHOST = host127.c_str();
    news.USERNAME = user31.c_str();
    news.USERPASSWORD = "secret";
    news.MAILER = mailer.c_str();
    EXPECT_EQ(_Wrenpost(&news), RESULT_NO_RECIPIENTS);
    EXPECT_EQ(g_bVerbose, 1);
    EXPECT_EQ(g_szNewsHost, host127);
    EXPECT_EQ(g_szNewsUser, user31);
    EXPECT_STREQ(g_szNewsPassword, "secret");

    WRENPOSTDATA broken = Job("bob@example.com");
    broken.DEBUGFILE = "/no/such/folder/debug.log";
    testing::internal::CaptureStderr();
    EXPECT_EQ(_Wrenpost(&broken), RESULT_SETUP_FAILED);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR!: Error creating debug file\n");

    // A job without a debug file still writes into the first one. Empty values
    // keep what the earlier job stored; mail mode ignores even a long user name.
    WRENPOSTDATA mail = Job("@/no/such/list");
    mail.DEBUGFILE = nullptr;
    mail.MAILHOST = "";
    mail.USERNAME = user40.c_str();
    EXPECT_EQ(_Wrenpost(&mail), RESULT_SETUP_FAILED);
    EXPECT_EQ(LogText(), "Failed to open address file '@/no/such/list'. Aborting.\n");
    EXPECT_EQ(g_szMailHost, host127);
    EXPECT_EQ(g_szMailer, mailer.substr(0, 127));
    EXPECT_EQ(g_szNewsUser, user31);
}

TEST_F(EntryPoint, MessageTextComesFromTheBlockWhenThereIsOne)
{
    const std::pair<HGLOBAL, std::string> cases[] = {
        {Block(std::string("from block\0tail", 15)), "CMailPart::Create: from block\n"},
        {Block("abcde"), "CMailPart::Create: abcde\n"},  // no terminating zero
        {reinterpret_cast<HGLOBAL>(0x7), ""},            // cannot be locked
    };
    for (const auto& [block, created] : cases) {
        WRENPOSTDATA job = Job("bob@example.com");
        job.MAILHOST = "127.0.0.1:1";  // nothing listens: the call ends once the parts are made
        job.MESSAGETEXTHANDLE = block;
        job.MESSAGETEXT = "from pointer";
        job.MESSAGETYPE = PART_TEXT;
        EXPECT_NE(_Wrenpost(&job), RESULT_OK);
        const std::string log = LogText();
        const size_t nStart = log.find("CMailPart::Create: ");
        EXPECT_EQ(nStart == std::string::npos ? "" : log.substr(nStart, log.find('\n', nStart) + 1 - nStart),
                  created);
        EXPECT_EQ(log.find("CMailPart::Create: ", nStart + 1), std::string::npos);
    }
}

TEST_F(EntryPoint, ResultsNearThirtyTwoThousandCountAsSuccess)
{
    for (int32_t same : {0, 9, 32000, 34000, -32000, -34000, INT32_MIN})
        EXPECT_EQ(NormalisedResult(same), same);
    for (int32_t success : {32001, 33999, -32001, -33999}) EXPECT_EQ(NormalisedResult(success), 0) << success;
}

TEST_F(EntryPoint, WholeJobReachesTheServerAsComposed)
{
    composer_test::ScopedEnv zone("TZ", "UTC0");
    tzset();
    std::filesystem::create_directory("files");  // not the current folder: the path, not the name, is read
    const std::string attachment = WriteFile("files/notes.txt", "hello\n");
    WriteFile("mime.types", "text/plain txt text\n");
    std::vector<dialoguetest::ScriptStep> script = dialoguetest::SmtpUpToData(3);
    for (auto step : {dialoguetest::ReadData(), dialoguetest::Reply("250 queued\r\n"),
                      dialoguetest::ReadLine(), dialoguetest::Reply("221 bye\r\n")})
        script.push_back(step);
    dialoguetest::ScriptedServer server(script);
    std::string host = server.HostSetting();

    WRENPOSTDATA job = Job();
    job.MAILHOST = host.c_str();
    job.RETURNPATH = "Bounces <bounce@example.com>";
    job.SUBJECT = "Minutes\r\nBcc: spy@example.com";
    job.FROM = "\"Ann\" <ann@example.com>";
    job.MAILER = "Bench Form 2";
    job.TOADR = AddressBlock("Bob", "bob@example.com");
    job.CCADR = AddressBlock("", "carl@example.com");
    job.BCCADR = AddressBlock("Ignored", "dora@example.com");
    job.PRIORITY = 1;
    job.MESSAGETEXT = "Dear Bob,\r\nthe minutes are attached.\r\n";
    job.MESSAGETYPE = PART_TEXT;
    job.ATTACHMENTS = AttachmentBlock(attachment);
    EXPECT_EQ(_Wrenpost(&job), RESULT_OK) << LogText();

    std::string received = server.Received();
    size_t nData = received.find("DATA\r\n");
    ASSERT_NE(nData, std::string::npos) << received;
    EXPECT_NE(received.find(
                  "RCPT TO: bob@example.com\r\nRCPT TO: carl@example.com\r\nRCPT TO: dora@example.com\r\n"),
              std::string::npos)
        << received;
    // The message arrives exactly as composed; the end of the data is the dialogue's business.
    const std::string expected = composer_test::Golden("whole_job.eml");
    std::string message = composer_test::MaskAddresses(received.substr(nData + 6));
    EXPECT_EQ(message.substr(0, expected.size()), expected);
    EXPECT_NE(message.find(".\r\nQUIT\r\n", expected.size()), std::string::npos) << message;
}

}  // namespace

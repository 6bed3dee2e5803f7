// The SMTP and NNTP dialogue byte for byte against a scripted server, phase
// by phase, each with its failures; then the result codes that need the
// platform to fail, the temporary file, cancel, progress and time-outs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Globals.h"
#include "SMTPEmail.h"
#include "support/DialogueFixture.h"
#include "support/FaultyCalls.h"
#include "support/ScriptedServer.h"
#include "support/SmtpCaptureServer.h"

namespace dialoguetest {
namespace {

// The first `count` steps of `script`.
Script Prefix(const Script& script, size_t count)
{
    return Script(script.begin(), script.begin() + count);
}

// From the end of the data to the goodbye, all accepted.
const Script kAcceptAndQuit = {ReadData(), Reply("250 queued as 1\r\n"), ReadLine(), Reply("221 bye\r\n")};

const std::string kHelo = "HELO client.test\r\n";
const std::string kMail = "MAIL FROM: ann@example.com\r\n";
const std::string kRcpt = "RCPT TO: bob@example.org\r\n";

// Each reply of an accepted delivery in turn refused (4xx or 5xx) or never
// sent: the call ends there with 9 or 8, having sent nothing further; once
// the message is accepted, nothing at the goodbye makes the call fail.
TEST_F(DialogueTest, EachReplyRefusedOrMissingEndsTheDialogueThere)
{
    const Script accepted = SmtpUpToData(1) + kAcceptAndQuit;
    const std::string sent[] = {"", kHelo, kMail, kRcpt, "DATA\r\n", "<message>.\r\n", "QUIT\r\n"};
    std::string commands;
    for (size_t phase = 0; phase < std::size(sent); ++phase) {
        commands += sent[phase];
        const std::string refusal = (phase % 2 ? "451 later\r\n" : "554 never\r\n");
        for (bool refuse : {true, false}) {
            Script script = Prefix(accepted, 2 * phase);  // replies and reads alternate
            script.push_back(refuse ? Reply(refusal) : Close());
            ScriptedServer server(script);
            SessionResult outcome = Deliver(server);
            const std::string name = std::to_string(phase) + (refuse ? " refused" : " closed");
            EXPECT_EQ(outcome.result, phase + 1 == std::size(sent) ? 0 : refuse ? 9 : 8) << name;
            EXPECT_EQ(outcome.commands, commands) << name;
            EXPECT_EQ(outcome.errorReply, refuse ? refusal : "") << name;
            EXPECT_TRUE(TempFolderIsEmpty()) << name;
        }
    }
}

// Replies that arrive in pieces, over several lines or too long.
TEST_F(DialogueTest, RepliesAreReadWholeAndKeptForTheHost)
{
    const std::string longReply = "550 " + std::string(700, 'e') + "\r\n";
    struct Case {
        const char* name;
        Script script;
        int result;
        std::string commands;
        std::string errorReply;
    };
    const Case cases[] = {
        // A reply read before its last line came would leave every later
        // reply one command behind, and the refusal of MAIL unseen.
        {"multi-line in pieces",
         {ReplyInPieces({"220-scripted\r\n", "220-still greeting\r\n", "220 ready\r\n"}), ReadLine(),
          Reply("250 hello\r\n"), ReadLine(), Reply("550 not from you\r\n")},
         9,
         kHelo + kMail,
         "550 not from you\r\n"},
        {"multi-line error",
         {Reply("554-first line\r\n554 second line\r\n")},
         9,
         "",
         "554-first line\r\n554 second line\r\n"},
        {"no line end within the buffer", {Reply("220 " + std::string(4091, 'x')), ReadLine()}, 8, "", ""},
        {"long error cut to 499", {Reply(longReply)}, 9, "", longReply.substr(0, 499)},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script);
        SessionResult outcome = Deliver(server);
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(outcome.commands, c.commands) << c.name;
        EXPECT_EQ(outcome.errorReply, c.errorReply) << c.name;
    }
}

TEST_F(DialogueTest, EveryRecipientTokenGetsItsOwnCommandInListOrder)
{
    ScriptedServer server(SmtpUpToData(4) + kAcceptAndQuit);
    SessionResult outcome = Deliver(server, [](CSMTPEmail& session) {
        FillSimpleMail(session);
        session.AddCc("", "carol@example.net");
        session.AddBcc("dave@example.com erin@example.com");
    });
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.commands, kHelo + kMail + kRcpt +
                                    "RCPT TO: carol@example.net\r\nRCPT TO: dave@example.com\r\n"
                                    "RCPT TO: erin@example.com\r\nDATA\r\n<message>.\r\nQUIT\r\n");
    EXPECT_EQ(outcome.message.find("dave@"), std::string::npos) << "Bcc must not show in the message";
}

TEST_F(DialogueTest, EnvelopeSenderAndReturnPathAreTheBareSenderAddress)
{
    struct Case {
        const char* from;
        const char* returnPath;
        std::string mailFrom;
    };
    for (const Case& c :
         {Case{"\"Ann\" <ann@example.com>", nullptr, "ann@example.com"},
          Case{"\"Ann\" <ann@example.com>", "<bounce@example.com>", "bounce@example.com"},
          Case{"plain@example.com", nullptr, "plain@example.com"}, Case{nullptr, nullptr, "(NULL)"}}) {
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server, [&c](CSMTPEmail& session) {
            if (c.returnPath) session.SetSender(c.returnPath);
            if (c.from) session.SetFrom(c.from);
            session.AddTo("", "bob@example.org");
            session.AddPart("text\r\n", 6);
        });
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.commands.substr(kHelo.size(), 11 + c.mailFrom.size() + 2),
                  "MAIL FROM: " + c.mailFrom + "\r\n");
        EXPECT_NE(outcome.message.find("\r\nReturn-Path: " + c.mailFrom + "\r\n"), std::string::npos)
            << outcome.message;
        EXPECT_NE(outcome.message.find("\r\nReply-To: " + c.mailFrom + "\r\n"), std::string::npos);
    }
}

// News: AUTHINFO only with a user (and PASS only with a password as well),
// GROUP names the first group, the article's header names all of them.
TEST_F(DialogueTest, NewsDialogueAndItsRefusals)
{
    const Script greeting = {Reply("200 news ready\r\n")};
    const Script postAndQuit = {
        ReadLine(), Reply("211 2 1 2 comp.test\r\n"), ReadLine(), Reply("340 send it\r\n"),
        ReadData(), Reply("240 posted\r\n"),          ReadLine(), Reply("205 bye\r\n")};
    const std::string posted = "GROUP comp.test\r\nPOST\r\n<message>.\r\nQUIT\r\n";
    const std::string user = "AUTHINFO USER reader\r\n", pass = "AUTHINFO PASS secret\r\n";
    struct Case {
        const char* user;
        const char* password;
        Script script;
        int result;
        std::string commands;
    };
    const Case cases[] = {
        {"reader", "secret",
         greeting + Script{ReadLine(), Reply("381 more\r\n"), ReadLine(), Reply("281 ok\r\n")} + postAndQuit,
         0, user + pass + posted},
        {"reader", "", greeting + Script{ReadLine(), Reply("281 ok\r\n")} + postAndQuit, 0, user + posted},
        {"", "secret", greeting + postAndQuit, 0, posted},
        {"reader", "secret",
         greeting + Script{ReadLine(), Reply("381 more\r\n"), ReadLine(), Reply("481 denied\r\n")}, 9,
         user + pass},
        {"", "", greeting + Script{ReadLine(), Reply("411 no such group\r\n")}, 9, "GROUP comp.test\r\n"},
        {"", "", greeting + Prefix(postAndQuit, 3) + Script{Reply("440 posting not allowed\r\n")}, 9,
         "GROUP comp.test\r\nPOST\r\n"},
    };
    for (const Case& c : cases) {
        std::snprintf(g_szNewsUser, sizeof g_szNewsUser, "%s", c.user);
        std::snprintf(g_szNewsPassword, sizeof g_szNewsPassword, "%s", c.password);
        ScriptedServer server(c.script);
        SessionResult outcome = Deliver(server, [](CSMTPEmail& session) {
            session.m_bNewsMode = 1;
            session.SetFrom("ann@example.com");
            session.AddTo("", "comp.test");
            session.AddTo("", "alt.test");
            session.AddPart("Body of the article.\r\n", 6);
        });
        EXPECT_EQ(outcome.result, c.result) << c.commands;
        EXPECT_EQ(outcome.commands, c.commands);
        if (c.result == 0) {
            EXPECT_NE(outcome.message.find("Newsgroups: comp.test,alt.test\r\n"), std::string::npos);
            EXPECT_EQ(outcome.message.find("Return-Path:"), std::string::npos);
            EXPECT_NE(outcome.message.find("Reply-To: ann@example.com\r\n"), std::string::npos);
        }
        EXPECT_TRUE(TempFolderIsEmpty());
    }
}

// Failures before any byte is exchanged.
TEST_F(DialogueTest, ConnectionFailuresGiveResult6AndNameHostAndPort)
{
    const int closedPort = ClosedPort();
    struct Case {
        std::string host;
        std::string line;  // start of the expected log line
    };
    std::vector<Case> cases = {{"127.0.0.1:" + std::to_string(closedPort),
                                "Failed to connect to server '127.0.0.1' port " + std::to_string(closedPort) +
                                    ". Winsock error: 111\n"},
                               {"", "Failed to connect to server '' port 25. Winsock error: "},
                               {":2525", "Failed to connect to server '' port 2525. Winsock error: "}};
    for (const char* port : {"0", "65536", "", "25x", "-25"})
        cases.push_back(
            {std::string("127.0.0.1:") + port, "Failed to connect to server '127.0.0.1' port 0."});
    for (const Case& c : cases) {
        SessionResult outcome = Deliver(c.host, nullptr);
        EXPECT_EQ(outcome.result, 6) << c.host;
        EXPECT_EQ(outcome.log.substr(0, c.line.size()), c.line) << c.host;
    }
}

TEST_F(DialogueTest, PlatformFailuresGiveTheirResultsAndSendNothing)
{
    using faults::Call;
    struct Case {
        Call fault;
        int result;
        std::string line;
    };
    const Case cases[] = {
        {Call::kStartSocketLayer, 3, ""},
        {Call::kSocket, 5, ""},
        {Call::kLocalHostName, 10, "CSMTPEmail::_SendIt() - gethostname() failed. Winsock error code is "},
        {Call::kAllocate, 11, "CSMTPEmail::Ack: Out of Memory!\n"},
    };
    for (const Case& c : cases) {
        faults::FaultyCalls calls;
        calls.Fail(c.fault, 1);
        g_szLocalHost[0] = '\0';  // fetched anew
        std::free(g_pszReply);    // allocated anew
        g_pszReply = nullptr;
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server);
        EXPECT_EQ(outcome.result, c.result) << c.line;
        EXPECT_EQ(outcome.wire, "") << c.line;
        if (c.line.empty()) {
            EXPECT_EQ(outcome.log, "") << c.result;  // these failures write no line
        } else {
            EXPECT_NE(outcome.log.find(c.line), std::string::npos) << c.line << ": " << outcome.log;
        }
    }
}

TEST_F(DialogueTest, LocalHostNameIsFetchedOnceAndKept)
{
    g_szLocalHost[0] = '\0';
    char expected[256] = "";
    ASSERT_EQ(::gethostname(expected, sizeof expected), 0);
    faults::FaultyCalls calls;
    for (int call = 0; call < 2; ++call) {
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.wire.substr(0, 5 + std::strlen(expected) + 2),
                  "HELO " + std::string(expected) + "\r\n");
        calls.Fail(faults::Call::kLocalHostName, 1, true);  // a second fetch would fail
    }
}

TEST_F(DialogueTest, ServerLogShowsEachPieceAndTheWaitForTheLineEnd)
{
    // The log shows two receives only if the client reads the first piece
    // before the second arrives; on a loaded machine 50 ms was not enough.
    ScriptedServer server({ReplyInPieces({"220 scri", "pted\r\n"}, 500), ReadLine(), Reply("502 no\r\n")});
    SessionResult outcome = Deliver(server);
    EXPECT_EQ(outcome.result, 9);
    EXPECT_EQ(outcome.log,
              "Received: (8 bytes) 220 scri\n"
              "Incomplete server message. Awaiting CRLF\n"
              "Received: (6 bytes) pted\r\n\n"
              "Received: (8 bytes) 502 no\r\n\n"
              "CSMTPEmail::Ack: Server Error!\n");
}

// The temporary file: where it goes, how it is named, and that no way out
// leaves it behind.
class TempFileNaming : public DialogueTest {
protected:
    void SetUp() override
    {
        DialogueTest::SetUp();
        for (const char* variable : {"MAIL_TEMP", "TEMP", "TMP", "TMPDIR"}) {
            const char* value = std::getenv(variable);
            m_saved.emplace_back(variable, value ? value : "");
            ::unsetenv(variable);
        }
    }
    void TearDown() override
    {
        for (const auto& [variable, value] : m_saved)
            if (!value.empty()) ::setenv(variable.c_str(), value.c_str(), 1);
        DialogueTest::TearDown();
    }
    std::string Folder(const std::string& name)
    {
        std::string path = WorkFolder() + "/" + name;
        std::filesystem::create_directories(path);
        return path;
    }

private:
    std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST_F(TempFileNaming, FirstUsableFolderInOrderAndFirstFreeNumber)
{
    const std::string mailTemp = Folder("mail-temp"), temp = Folder("temp"), tmp = Folder("tmp"),
                      tmpdir = Folder("tmpdir"), missing = WorkFolder() + "/missing";
    struct Case {
        std::vector<std::pair<const char*, std::string>> environment;
        std::string expected;
    };
    const Case cases[] = {
        {{{"MAIL_TEMP", mailTemp}, {"TEMP", temp}, {"TMP", tmp}, {"TMPDIR", tmpdir}}, mailTemp + "/~mail1"},
        {{{"TEMP", temp + "/"}, {"TMP", tmp}, {"TMPDIR", tmpdir}}, temp + "/~mail1"},
        {{{"MAIL_TEMP", missing}, {"TEMP", ""}, {"TMP", tmp}, {"TMPDIR", tmpdir}}, tmp + "/~mail1"},
        {{{"MAIL_TEMP", missing}, {"TMPDIR", tmpdir}}, tmpdir + "/~mail1"},
    };
    for (const Case& c : cases) {
        for (const auto& [variable, value] : c.environment) ::setenv(variable, value.c_str(), 1);
        char path[128] = "";
        FILE* pFile = CSMTPEmail::MakeTempFileName(path);
        ASSERT_NE(pFile, nullptr) << c.expected;
        EXPECT_EQ(std::string(path), c.expected);
        struct stat info {};
        ASSERT_EQ(::stat(path, &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        std::fclose(pFile);
        std::filesystem::remove(path);
        for (const auto& [variable, value] : c.environment) ::unsetenv(variable);
    }
}

TEST_F(TempFileNaming, ExistingNamesAndPlantedLinksAreNeverOpened)
{
    const std::string folder = Folder("shared");
    const std::string target = WorkFolder() + "/victim";
    std::ofstream(folder + "/~mail1") << "someone else's";
    std::ofstream(target) << "keep me";
    std::filesystem::create_symlink(target, folder + "/~mail2");
    std::filesystem::create_symlink(WorkFolder() + "/nowhere", folder + "/~mail3");
    ::setenv("MAIL_TEMP", folder.c_str(), 1);

    char path[128] = "";
    FILE* pFile = CSMTPEmail::MakeTempFileName(path);
    ASSERT_NE(pFile, nullptr);
    EXPECT_EQ(std::string(path), folder + "/~mail4");
    std::fputs("message", pFile);
    std::fclose(pFile);
    EXPECT_EQ(ReadWholeFile(target), "keep me");
    EXPECT_FALSE(std::filesystem::exists(WorkFolder() + "/nowhere"));
}

TEST_F(TempFileNaming, NoUsableFolderGivesResult12BeforeAnyMessageByte)
{
    // The current folder is the last candidate; one that was removed takes
    // no file, even for root.
    const std::string gone = Folder("gone");
    const auto previous = std::filesystem::current_path();
    ::setenv("MAIL_TEMP", (WorkFolder() + "/missing").c_str(), 1);
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    std::filesystem::remove(gone);

    ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
    SessionResult outcome = Deliver(server);
    std::filesystem::current_path(previous);
    EXPECT_EQ(outcome.result, 12);
    EXPECT_EQ(outcome.wire, kHelo + kMail + kRcpt + "DATA\r\n");
    EXPECT_EQ(outcome.log.substr(outcome.log.rfind("Unable")),
              "Unable to open tmp file './~mail1'. Aborting.\n");
}

TEST_F(DialogueTest, FailedCompositionIsNeverEnded)
{
    const std::string attachment = WorkFolder() + "/report.bin";
    std::ofstream(attachment) << "attached bytes";
    ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
    SessionResult outcome = Deliver(server, [&attachment](CSMTPEmail& session) {
        FillSimpleMail(session);
        session.AddPart(attachment.c_str(), 8);
        std::filesystem::remove(attachment);  // deleted after the job was made
    });
    EXPECT_EQ(outcome.result, 12);
    EXPECT_EQ(outcome.wire, kHelo + kMail + kRcpt + "DATA\r\n");
    EXPECT_TRUE(TempFolderIsEmpty());
}

// Progress and cancel through a whole session: one call before the
// transfer, one after each 1024-byte block that more bytes follow; a cancel
// drops the connection without ending the message.
struct ProgressLog {
    std::vector<std::pair<int32_t, int32_t>> calls;
    int32_t processed = -1, total = -1;
    uint8_t cancel = 0;
    size_t cancelAtCall = 0;
} g_progress;

void OnProgress()
{
    g_progress.calls.emplace_back(g_progress.processed, g_progress.total);
    if (g_progress.cancelAtCall == g_progress.calls.size()) g_progress.cancel = 1;
}

TEST_F(DialogueTest, ProgressInBlocksAndCancelWithoutEndingTheMessage)
{
    for (size_t cancelAt : {0, 3}) {
        g_progress = {};
        g_progress.cancelAtCall = cancelAt;
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server, [](CSMTPEmail& session) {
            FillSimpleMail(session);
            std::string text;
            for (int line = 0; line < 200; ++line)
                text += "Line " + std::to_string(line) + " of a long text.\r\n";
            session.AddPart(text.c_str(), 6);
            session.m_plBytesProcessed = &g_progress.processed;
            session.m_plBytesTotal = &g_progress.total;
            session.m_pbUserCancel = &g_progress.cancel;
            session.m_pfnCallback = &OnProgress;
        });
        ASSERT_FALSE(g_progress.calls.empty());
        const int32_t total = g_progress.calls[0].second;
        std::vector<std::pair<int32_t, int32_t>> expected{{0, total}};
        for (int32_t end = 1024; end < total; end += 1024) expected.emplace_back(end + 1, total);
        if (cancelAt == 0) {
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(total, static_cast<int32_t>(outcome.message.size()));  // CR LF lines, no leading dots
            EXPECT_GT(total, 4096);
        } else {
            expected.resize(cancelAt);
            EXPECT_EQ(outcome.result, 14);
            const std::string sent = kHelo + kMail + kRcpt + "DATA\r\n";
            EXPECT_EQ(outcome.wire.substr(0, sent.size()), sent);
            EXPECT_LE(outcome.wire.size(), sent.size() + 2048);  // two blocks at most
            for (const char* never : {"\r\n.\r\n", "RSET", "QUIT"})
                EXPECT_EQ(outcome.wire.find(never), std::string::npos);
        }
        EXPECT_EQ(g_progress.calls, expected);
        EXPECT_TRUE(TempFolderIsEmpty());
    }
}

// Time-outs and broken connections during the transfer of a 12 MB attachment.
TEST_F(DialogueTest, SilentOrBrokenServerEndsTheTransferInsteadOfHanging)
{
    ::setenv("QUILLNET_TIMEOUT", "1", 1);
    const std::string attachment = WorkFolder() + "/large.bin";
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7919 % 251);
    std::ofstream file(attachment, std::ios::binary);
    for (int i = 0; i < 12; ++i) file << block;
    file.close();
    // A receive that fails writes no line: the log ends with the last reply
    // read, or is empty when there was none.
    struct Case {
        Script script;
        int result;
        std::string logEnd;
    };
    const Case cases[] = {
        {{StopReading()}, 8, ""},  // no greeting
        {Prefix(SmtpUpToData(1), 8) + Script{StopReading()}, 8,
         "Received: (18 bytes) 250 recipient ok\r\n\n"},                          // no reply to DATA
        {SmtpUpToData(1) + Script{StopReading()}, 7, "Post: Failed to Send!\n"},  // no reading
        {SmtpUpToData(1) + Script{Reset()}, 7, "Post: Failed to Send!\n"},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script, 4096);
        auto started = std::chrono::steady_clock::now();
        SessionResult outcome = Deliver(server, [&attachment](CSMTPEmail& session) {
            FillSimpleMail(session);
            session.AddPart(attachment.c_str(), 8);
        });
        const size_t row = &c - cases;
        EXPECT_EQ(outcome.result, c.result) << row;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << row;
        const std::string& log = outcome.log;
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), c.logEnd.size())), c.logEnd) << row;
        if (c.logEnd.empty()) {
            EXPECT_EQ(log, "") << row;
        }
        EXPECT_TRUE(TempFolderIsEmpty()) << row;
    }
}

}  // namespace
}  // namespace dialoguetest

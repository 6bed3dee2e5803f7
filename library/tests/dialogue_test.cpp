// The SMTP and NNTP dialogue byte for byte against a scripted server, phase
// by phase, each with its failures; then the result codes that need the
// platform to fail, the temporary file, cancel, progress and time-outs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "support/ScriptedServer.h"

namespace dialoguetest {
namespace {

using Script = std::vector<ScriptStep>;

Script operator+(Script first, const Script& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// `script` without its first `front` and last `back` steps.
Script Trim(Script script, size_t front, size_t back)
{
    return Script(script.begin() + front, script.end() - back);
}

// From the end of the data to the goodbye, all accepted.
const Script kAcceptAndQuit = {ReadData(), Reply("250 queued as 1\r\n"), ReadLine(), Reply("221 bye\r\n")};

const std::string kSimpleMailCommands =
    "HELO client.test\r\nMAIL FROM: ann@example.com\r\nRCPT TO: bob@example.org\r\nDATA\r\n<message>.\r\n"
    "QUIT\r\n";

struct PhaseCase {
    const char* name;
    Script script;
    int result;
    std::string commands;    // what the client must have sent
    std::string errorReply;  // what the host's buffer must hold
};

void PrintTo(const PhaseCase& c, std::ostream* os)
{
    *os << c.name;
}

class SmtpPhases : public DialogueTest, public testing::WithParamInterface<PhaseCase> {};

TEST_P(SmtpPhases, SendsExactlyTheseBytesAndEndsWithThisResult)
{
    const PhaseCase& c = GetParam();
    ScriptedServer server(c.script);
    SessionResult outcome = Deliver(server);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.commands, c.commands);
    EXPECT_EQ(outcome.errorReply, c.errorReply);
    EXPECT_TRUE(TempFolderIsEmpty());
}

const std::string kHelo = "HELO client.test\r\n";
const std::string kMail = "MAIL FROM: ann@example.com\r\n";
const std::string kRcpt = "RCPT TO: bob@example.org\r\n";

INSTANTIATE_TEST_SUITE_P(
    Greeting, SmtpPhases,
    testing::Values(
        PhaseCase{"Accepted", SmtpUpToData(1) + kAcceptAndQuit, 0, kSimpleMailCommands, ""},
        PhaseCase{"Refused", {Reply("554 no service here\r\n")}, 9, "", "554 no service here\r\n"},
        PhaseCase{"ClosedBeforeGreeting", {Close()}, 8, "", ""},
        PhaseCase{"SplitOverReads",
                  Script{ReplyInPieces({"220 scri", "pted ready\r\n"})} + Trim(SmtpUpToData(1), 1, 0) +
                      kAcceptAndQuit,
                  0, kSimpleMailCommands, ""},
        // A reply read before its last line came would leave every later
        // reply one command behind, and the refusal of MAIL unseen.
        PhaseCase{"MultiLineInPieces",
                  {ReplyInPieces({"220-scripted\r\n", "220-still greeting\r\n", "220 ready\r\n"}), ReadLine(),
                   Reply("250 hello\r\n"), ReadLine(), Reply("550 not from you\r\n")},
                  9,
                  kHelo + kMail,
                  "550 not from you\r\n"},
        PhaseCase{"MultiLineErrorInOneRead",
                  {Reply("554-first line\r\n554 second line\r\n")},
                  9,
                  "",
                  "554-first line\r\n554 second line\r\n"},
        PhaseCase{
            "NoLineEndWithinTheBuffer", {Reply("220 " + std::string(4091, 'x')), ReadLine()}, 8, "", ""}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Sender, SmtpPhases,
    testing::Values(PhaseCase{"HeloRefused",
                              {Reply("220 hi\r\n"), ReadLine(), Reply("501 bad name\r\n")},
                              9,
                              kHelo,
                              "501 bad name\r\n"},
                    PhaseCase{"ClosedAfterHelo", {Reply("220 hi\r\n"), ReadLine(), Close()}, 8, kHelo, ""},
                    PhaseCase{"MailFromRefused",
                              {Reply("220 hi\r\n"), ReadLine(), Reply("250 ok\r\n"), ReadLine(),
                               Reply("553 not you\r\n")},
                              9,
                              kHelo + kMail,
                              "553 not you\r\n"},
                    PhaseCase{"ClosedAfterMailFrom",
                              {Reply("220 hi\r\n"), ReadLine(), Reply("250 ok\r\n"), ReadLine(), Close()},
                              8,
                              kHelo + kMail,
                              ""}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Recipients, SmtpPhases,
                         testing::Values(PhaseCase{"Refused",
                                                   Trim(SmtpUpToData(0), 0, 2) +
                                                       Script{ReadLine(), Reply("550 no such user\r\n")},
                                                   9, kHelo + kMail + kRcpt, "550 no such user\r\n"},
                                         PhaseCase{"ClosedAfterRecipient",
                                                   Trim(SmtpUpToData(0), 0, 2) + Script{ReadLine(), Close()},
                                                   8, kHelo + kMail + kRcpt, ""}),
                         [](const testing::TestParamInfo<PhaseCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Data, SmtpPhases,
    testing::Values(PhaseCase{"DataRefused",
                              Trim(SmtpUpToData(1), 0, 1) + Script{Reply("554 no data today\r\n")}, 9,
                              kHelo + kMail + kRcpt + "DATA\r\n", "554 no data today\r\n"},
                    PhaseCase{"ClosedAfterData", Trim(SmtpUpToData(1), 0, 1) + Script{Close()}, 8,
                              kHelo + kMail + kRcpt + "DATA\r\n", ""},
                    PhaseCase{"MessageRefused", SmtpUpToData(1) + Script{ReadData(), Reply("554 spam\r\n")},
                              9, kHelo + kMail + kRcpt + "DATA\r\n<message>.\r\n", "554 spam\r\n"},
                    PhaseCase{"ClosedBeforeMessageReply", SmtpUpToData(1) + Script{ReadData(), Close()}, 8,
                              kHelo + kMail + kRcpt + "DATA\r\n<message>.\r\n", ""}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return info.param.name; });

// Once the message is accepted, nothing that happens at the goodbye makes
// the call fail.
INSTANTIATE_TEST_SUITE_P(
    End, SmtpPhases,
    testing::Values(PhaseCase{"QuitRefused",
                              SmtpUpToData(1) + Script{ReadData(), Reply("250 queued\r\n"), ReadLine(),
                                                       Reply("500 what\r\n")},
                              0, kSimpleMailCommands, "500 what\r\n"},
                    PhaseCase{
                        "ClosedBeforeQuitReply",
                        SmtpUpToData(1) + Script{ReadData(), Reply("250 queued\r\n"), ReadLine(), Close()}, 0,
                        kSimpleMailCommands, ""}),
    [](const testing::TestParamInfo<PhaseCase>& info) { return info.param.name; });

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
struct NewsCase {
    const char* name;
    const char* user;
    const char* password;
    Script script;
    int result;
    std::string commands;
};

void PrintTo(const NewsCase& c, std::ostream* os)
{
    *os << c.name;
}

class NntpPhases : public DialogueTest, public testing::WithParamInterface<NewsCase> {};

const Script kPostAndQuit = {
    ReadLine(), Reply("211 2 1 2 comp.test\r\n"), ReadLine(), Reply("340 send it\r\n"),
    ReadData(), Reply("240 posted\r\n"),          ReadLine(), Reply("205 bye\r\n")};
const std::string kPostCommands = "GROUP comp.test\r\nPOST\r\n<message>.\r\nQUIT\r\n";

TEST_P(NntpPhases, SendsExactlyTheseBytesAndEndsWithThisResult)
{
    const NewsCase& c = GetParam();
    std::snprintf(g_szNewsUser, sizeof g_szNewsUser, "%s", c.user);
    std::snprintf(g_szNewsPassword, sizeof g_szNewsPassword, "%s", c.password);
    ScriptedServer server(c.script);
    SessionResult outcome = Deliver(server, [](CSMTPEmail& session) {
        session.m_bNewsMode = 1;
        session.SetSubject("Test article");
        session.SetFrom("ann@example.com");
        session.AddTo("", "comp.test");
        session.AddTo("", "alt.test");
        session.AddPart("Body of the article.\r\n", 6);
    });
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.commands, c.commands);
    if (c.result == 0) {
        EXPECT_NE(outcome.message.find("Newsgroups: comp.test,alt.test\r\n"), std::string::npos);
        EXPECT_EQ(outcome.message.find("Return-Path:"), std::string::npos);
        EXPECT_NE(outcome.message.find("Reply-To: ann@example.com\r\n"), std::string::npos);
    }
    EXPECT_TRUE(TempFolderIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    News, NntpPhases,
    testing::Values(NewsCase{"UserAndPassword", "reader", "secret",
                             Script{Reply("200 news ready\r\n"), ReadLine(), Reply("381 more\r\n"),
                                    ReadLine(), Reply("281 ok\r\n")} +
                                 kPostAndQuit,
                             0, "AUTHINFO USER reader\r\nAUTHINFO PASS secret\r\n" + kPostCommands},
                    NewsCase{
                        "UserOnly", "reader", "",
                        Script{Reply("200 news ready\r\n"), ReadLine(), Reply("281 ok\r\n")} + kPostAndQuit,
                        0, "AUTHINFO USER reader\r\n" + kPostCommands},
                    NewsCase{"NoUser", "", "secret", Script{Reply("200 news ready\r\n")} + kPostAndQuit, 0,
                             kPostCommands},
                    NewsCase{"PasswordRefused",
                             "reader",
                             "wrong",
                             {Reply("200 news ready\r\n"), ReadLine(), Reply("381 more\r\n"), ReadLine(),
                              Reply("481 denied\r\n")},
                             9,
                             "AUTHINFO USER reader\r\nAUTHINFO PASS wrong\r\n"},
                    NewsCase{"NoSuchGroup",
                             "",
                             "",
                             {Reply("200 news ready\r\n"), ReadLine(), Reply("411 no such group\r\n")},
                             9,
                             "GROUP comp.test\r\n"},
                    NewsCase{"PostingRefused",
                             "",
                             "",
                             {Reply("200 news ready\r\n"), ReadLine(), Reply("211 ok\r\n"), ReadLine(),
                              Reply("440 posting not allowed\r\n")},
                             9,
                             "GROUP comp.test\r\nPOST\r\n"}),
    [](const testing::TestParamInfo<NewsCase>& info) { return info.param.name; });

// Failures before any byte is exchanged.
TEST_F(DialogueTest, ConnectionFailuresGiveResult6AndNameHostAndPort)
{
    const int closedPort = ClosedPort();
    struct Case {
        std::string host;
        std::string line;  // start of the expected log line
    };
    for (const Case& c : {Case{"127.0.0.1:" + std::to_string(closedPort),
                               "Failed to connect to server '127.0.0.1' port " + std::to_string(closedPort) +
                                   ". Winsock error: 111\n"},
                          Case{"", "Failed to connect to server '' port 25. Winsock error: "},
                          Case{":2525", "Failed to connect to server '' port 2525. Winsock error: "},
                          Case{"127.0.0.1:0", "Failed to connect to server '127.0.0.1' port 0."},
                          Case{"127.0.0.1:65536", "Failed to connect to server '127.0.0.1' port 0."},
                          Case{"127.0.0.1:", "Failed to connect to server '127.0.0.1' port 0."},
                          Case{"127.0.0.1:25x", "Failed to connect to server '127.0.0.1' port 0."},
                          Case{"127.0.0.1:-25", "Failed to connect to server '127.0.0.1' port 0."}}) {
        SessionResult outcome = Deliver(c.host, nullptr);
        EXPECT_EQ(outcome.result, 6) << c.host;
        EXPECT_EQ(outcome.log.substr(0, c.line.size()), c.line) << c.host;
    }
}

TEST_F(DialogueTest, PlatformFailuresGiveTheirResultsAndLines)
{
    struct Case {
        const char* name;
        void (*provoke)();
        int result;
        std::string line;
        bool connects;
    };
    const Case cases[] = {
        {"startup", [] { platform::g_socketFaultsForTesting.failStartup = true; }, 3, "", false},
        {"socket", [] { platform::g_socketFaultsForTesting.failSocket = true; }, 5, "", false},
        {"host name",
         [] {
             g_szLocalHost[0] = '\0';
             platform::g_socketFaultsForTesting.failHostName = true;
         },
         10, "CSMTPEmail::_SendIt() - gethostname() failed. Winsock error code is ", true},
        {"reply buffer",
         [] {
             std::free(g_pszReply);
             g_pszReply = nullptr;
             platform::g_socketFaultsForTesting.failAllocation = true;
         },
         11, "CSMTPEmail::Ack: Out of Memory!\n", true},
    };
    for (const Case& c : cases) {
        platform::g_socketFaultsForTesting = {};
        std::strcpy(g_szLocalHost, "client.test");
        c.provoke();
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server);
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(outcome.wire, "") << c.name << ": nothing may be sent";
        EXPECT_EQ(server.ScriptCompleted(), false) << c.name;
        if (!c.line.empty()) {
            EXPECT_NE(outcome.log.find(c.line), std::string::npos) << c.name << ": " << outcome.log;
        }
    }
}

TEST_F(DialogueTest, LocalHostNameIsFetchedOnceAndKept)
{
    g_szLocalHost[0] = '\0';
    char expected[256] = "";
    ASSERT_EQ(::gethostname(expected, sizeof expected), 0);
    for (int call = 0; call < 2; ++call) {
        ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
        SessionResult outcome = Deliver(server);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.wire.substr(0, 5 + std::strlen(expected) + 2),
                  "HELO " + std::string(expected) + "\r\n");
        platform::g_socketFaultsForTesting.failHostName = true;  // a second fetch would fail
    }
}

TEST_F(DialogueTest, ServerLogShowsEachPieceAndTheWaitForTheLineEnd)
{
    ScriptedServer server({ReplyInPieces({"220 scri", "pted\r\n"}), ReadLine(), Reply("502 no\r\n")});
    SessionResult outcome = Deliver(server);
    EXPECT_EQ(outcome.result, 9);
    EXPECT_EQ(outcome.log,
              "Received: (8 bytes) 220 scri\n"
              "Incomplete server message. Awaiting CRLF\n"
              "Received: (6 bytes) pted\r\n\n"
              "Received: (8 bytes) 502 no\r\n\n"
              "CSMTPEmail::Ack: Server Error!\n");
}

TEST_F(DialogueTest, LongErrorReplyIsCutTo499CharactersInTheHostBuffer)
{
    const std::string reply = "550 " + std::string(700, 'e') + "\r\n";
    ScriptedServer server({Reply(reply)});
    SessionResult outcome = Deliver(server);
    EXPECT_EQ(outcome.result, 9);
    EXPECT_EQ(outcome.errorReply, reply.substr(0, 499));
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
    std::ifstream victim(target);
    std::string kept;
    std::getline(victim, kept);
    EXPECT_EQ(kept, "keep me");
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
    const std::string line = "Unable to open tmp file './~mail1'. Aborting.\n";
    ASSERT_GE(outcome.log.size(), line.size());
    EXPECT_EQ(outcome.log.substr(outcome.log.size() - line.size()), line);
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

// Progress and cancel through a whole session.
struct ProgressLog {
    std::vector<std::pair<int32_t, int32_t>> calls;
    int32_t processed = -1;
    int32_t total = -1;
    uint8_t cancel = 0;
    size_t cancelAtCall = 0;
};
ProgressLog* g_pProgress = nullptr;

void OnProgress()
{
    g_pProgress->calls.emplace_back(g_pProgress->processed, g_pProgress->total);
    if (g_pProgress->cancelAtCall == g_pProgress->calls.size()) g_pProgress->cancel = 1;
}

std::function<void(CSMTPEmail&)> LongMailWithProgress(ProgressLog& progress)
{
    g_pProgress = &progress;
    return [&progress](CSMTPEmail& session) {
        FillSimpleMail(session);
        std::string text;
        for (int line = 0; line < 200; ++line)
            text += "Line " + std::to_string(line) + " of a long text.\r\n";
        session.AddPart(text.c_str(), 6);
        session.m_plBytesProcessed = &progress.processed;
        session.m_plBytesTotal = &progress.total;
        session.m_pbUserCancel = &progress.cancel;
        session.m_pfnCallback = &OnProgress;
    };
}

TEST_F(DialogueTest, ProgressReportsTheMessageFileInBlocks)
{
    ProgressLog progress;
    ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
    SessionResult outcome = Deliver(server, LongMailWithProgress(progress));
    ASSERT_EQ(outcome.result, 0);
    const int32_t total = static_cast<int32_t>(outcome.message.size());  // CR LF lines, no leading dots
    ASSERT_GT(total, 4096);
    std::vector<std::pair<int32_t, int32_t>> expected{{0, total}};
    for (int32_t end = 1024; end < total; end += 1024) expected.emplace_back(end + 1, total);
    EXPECT_EQ(progress.calls, expected);
}

TEST_F(DialogueTest, CancelDropsTheConnectionWithoutEndingTheMessage)
{
    ProgressLog progress;
    progress.cancelAtCall = 3;  // after the second block
    ScriptedServer server(SmtpUpToData(1) + kAcceptAndQuit);
    SessionResult outcome = Deliver(server, LongMailWithProgress(progress));
    EXPECT_EQ(outcome.result, 14);
    EXPECT_EQ(progress.calls.size(), 3u);
    EXPECT_EQ(outcome.wire.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(outcome.wire.find("RSET"), std::string::npos);
    EXPECT_EQ(outcome.wire.find("QUIT"), std::string::npos);
    EXPECT_LE(outcome.message.size(), 2048u);
    EXPECT_TRUE(TempFolderIsEmpty());
}

// Time-outs and broken connections during the transfer.
std::function<void(CSMTPEmail&)> MailWithLargeAttachment(const std::string& path)
{
    return [path](CSMTPEmail& session) {
        std::ofstream file(path, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7919 % 251);
        for (int i = 0; i < 12; ++i) file << block;
        file.close();
        FillSimpleMail(session);
        session.AddPart(path.c_str(), 8);
    };
}

TEST_F(DialogueTest, SilentServerTimesOutInsteadOfHanging)
{
    ::setenv("QUILLNET_TIMEOUT", "1", 1);
    struct Case {
        const char* name;
        Script script;
        int result;
        std::string line;
    };
    const Case cases[] = {
        {"no greeting", {StopReading()}, 8, ""},
        {"no reply to DATA", Trim(SmtpUpToData(1), 0, 1) + Script{StopReading()}, 8, ""},
        {"no reading during the message", SmtpUpToData(1) + Script{StopReading()}, 7,
         "Post: Failed to Send!\n"},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script, 4096);
        auto started = std::chrono::steady_clock::now();
        SessionResult outcome = Deliver(server, MailWithLargeAttachment(WorkFolder() + "/large.bin"));
        auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_LT(waited, std::chrono::seconds(10)) << c.name;
        if (!c.line.empty()) {
            EXPECT_NE(outcome.log.find(c.line), std::string::npos) << c.name;
        }
        EXPECT_TRUE(TempFolderIsEmpty()) << c.name;
    }
}

TEST_F(DialogueTest, PeerResetDuringALargeMessageGivesResult7)
{
    ScriptedServer server(SmtpUpToData(1) + Script{Reset()});
    SessionResult outcome = Deliver(server, MailWithLargeAttachment(WorkFolder() + "/large.bin"));
    EXPECT_EQ(outcome.result, 7);
    EXPECT_NE(outcome.log.find("Post: Failed to Send!\n"), std::string::npos);
    EXPECT_TRUE(TempFolderIsEmpty());
}

}  // namespace
}  // namespace dialoguetest

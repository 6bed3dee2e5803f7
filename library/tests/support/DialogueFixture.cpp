#include "support/DialogueFixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "Diagnostics.h"
#include "Globals.h"
#include "platform/Platform.h"
#include "support/SmtpCaptureServer.h"

namespace dialoguetest {

namespace {

std::string MakeFolder(const char* pattern)
{
    std::string path = (std::filesystem::temp_directory_path() / pattern).string();
    return ::mkdtemp(path.data()) ? path : "";
}

// Shows the message between the start command and the "." that ends it as
// <message>, so that command sequences read as they are written.
std::string CommandsOf(const std::string& wire, std::string* pMessage)
{
    for (const char* start : {"DATA\r\n", "POST\r\n"}) {
        size_t begin = wire.find(start);
        if (begin == std::string::npos) continue;
        begin += std::strlen(start);
        if (begin == wire.size()) return wire;
        size_t end = wire.rfind("\r\n.\r\n");
        if (end == std::string::npos || end < begin) end = wire.size();
        // The CR LF before the "." ends the message's last line.
        if (end < wire.size()) end += 2;
        *pMessage = wire.substr(begin, end - begin);
        return wire.substr(0, begin) + "<message>" + wire.substr(end);
    }
    return wire;
}

}  // namespace

void FillSimpleMail(CSMTPEmail& session)
{
    session.SetSubject("Greetings");
    session.SetFrom("\"Ann Example\" <ann@example.com>");
    session.AddTo("Bob", "bob@example.org");
    session.AddPart("Hello Bob,\r\nthis is a test.\r\n", 6);
}

void DialogueTest::SetUp()
{
    ResetLibraryStateForTesting();
    std::strcpy(g_szLocalHost, "client.test");
    static const platform::FixedClock clock{4242, 1796560000, 123456};
    platform::SetFixedClockForTesting(&clock);
    m_tempFolder = MakeFolder("quillnet-dialogue-tmp-XXXXXX");
    m_workFolder = MakeFolder("quillnet-dialogue-work-XXXXXX");
    ASSERT_FALSE(m_tempFolder.empty());
    ASSERT_FALSE(m_workFolder.empty());
    ::setenv("MAIL_TEMP", m_tempFolder.c_str(), 1);
    // A dialogue that falls out of step fails the test in seconds, not minutes.
    ::setenv("QUILLNET_TIMEOUT", "10", 1);
    ASSERT_TRUE(OpenDebugFile((m_workFolder + "/debug.log").c_str()));
    g_bVerbose = 1;
}

void DialogueTest::TearDown()
{
    ResetDiagnosticStreamForTesting();
    ResetLibraryStateForTesting();
    platform::SetFixedClockForTesting(nullptr);
    ::unsetenv("MAIL_TEMP");
    ::unsetenv("QUILLNET_TIMEOUT");
    std::filesystem::remove_all(m_tempFolder);
    std::filesystem::remove_all(m_workFolder);
}

SessionResult DialogueTest::Deliver(const std::string& host, ScriptedServer* server,
                                    const std::function<void(CSMTPEmail&)>& fill)
{
    SessionResult outcome;
    std::vector<char> errorReply(500, '\0');
    {
        CSMTPEmail session;
        session.m_pszErrorReply = errorReply.data();
        fill(session);
        std::snprintf(session.m_bNewsMode ? g_szNewsHost : g_szMailHost, sizeof g_szMailHost, "%s",
                      host.c_str());
        size_t logBefore = Log().size();
        outcome.result = session.Send();
        outcome.log = Log().substr(logBefore);
    }
    if (server) outcome.wire = server->Received();
    outcome.commands = CommandsOf(outcome.wire, &outcome.message);
    outcome.errorReply = errorReply.data();
    return outcome;
}

std::string DialogueTest::Log() const
{
    return ReadWholeFile(m_workFolder + "/debug.log");
}

bool DialogueTest::TempFolderIsEmpty() const
{
    return std::filesystem::is_empty(m_tempFolder);
}

int ClosedPort()
{
    return ScriptedServer({}).Port();  // its listener closes with it
}

}  // namespace dialoguetest

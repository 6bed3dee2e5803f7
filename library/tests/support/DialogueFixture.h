#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "SMTPEmail.h"
#include "support/ScriptedServer.h"

// Runs mail sessions against a scripted server with the library in a known
// state: a fixed local host name and clock, a private folder for the
// temporary message file, verbose logging into a file the test can read.
namespace dialoguetest {

struct SessionResult {
    int result = -1;
    std::string wire;        // every byte the server received
    std::string commands;    // the same, the message after DATA/POST up to its "." line shown as <message>
    std::string message;     // that message as received
    std::string errorReply;  // the host's 500-byte buffer
    std::string log;         // diagnostic lines written while sending
};

// A session as a host would fill it: a sender with a display name, one
// recipient, a subject and a short text.
void FillSimpleMail(CSMTPEmail& session);

class DialogueTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills a session with `fill`, lets it deliver to `host`, and collects
    // what the server saw (when `server` is given).
    SessionResult Deliver(const std::string& host, ScriptedServer* server,
                          const std::function<void(CSMTPEmail&)>& fill = FillSimpleMail);
    SessionResult Deliver(ScriptedServer& server,
                          const std::function<void(CSMTPEmail&)>& fill = FillSimpleMail)
    {
        return Deliver(server.HostSetting(), &server, fill);
    }

    std::string Log() const;         // the debug file so far
    bool TempFolderIsEmpty() const;  // no temporary message file left behind
    const std::string& TempFolder() const { return m_tempFolder; }
    const std::string& WorkFolder() const { return m_workFolder; }

private:
    std::string m_tempFolder;
    std::string m_workFolder;
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

}  // namespace dialoguetest

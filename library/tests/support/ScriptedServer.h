#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A mail or news server that follows a script, for checking the library's
// side of a dialogue byte for byte. It listens on 127.0.0.1 on an ephemeral
// port, takes one connection, runs its steps in a thread of its own and
// records every byte the client sends until the client closes.
// Kept apart from peers/capture_server.py: these tests fix every reply byte, split and pause.

// OpenSSL's types, declared here so the header does not pull in OpenSSL.
struct ssl_ctx_st;
struct ssl_st;

namespace dialoguetest {

struct ScriptStep {
    enum Kind {
        kReadLine,     // read through the next CR LF
        kReadData,     // read through the next "\r\n.\r\n"
        kSend,         // send `pieces`, pausing `pauseMs` between them
        kClose,        // close the connection
        kReset,        // close the connection with a reset
        kStopReading,  // neither read nor answer any more (a silent server)
        kStartTls      // TLS handshake as the server, `pieces` = {certificate, key}; later steps encrypted
    };
    Kind kind;
    std::vector<std::string> pieces;
    int pauseMs = 0;
};

inline ScriptStep ReadLine()
{
    return {ScriptStep::kReadLine, {}};
}
inline ScriptStep ReadData()
{
    return {ScriptStep::kReadData, {}};
}
inline ScriptStep Reply(std::string text)
{
    return {ScriptStep::kSend, {std::move(text)}};
}
inline ScriptStep ReplyInPieces(std::vector<std::string> pieces, int pauseMs = 50)
{
    return {ScriptStep::kSend, std::move(pieces), pauseMs};
}
inline ScriptStep Close()
{
    return {ScriptStep::kClose, {}};
}
inline ScriptStep Reset()
{
    return {ScriptStep::kReset, {}};
}
inline ScriptStep StopReading()
{
    return {ScriptStep::kStopReading, {}};
}

inline ScriptStep StartTls(std::string certificate, std::string key)
{
    return {ScriptStep::kStartTls, {std::move(certificate), std::move(key)}};
}

// The usual script of a mail server up to (not including) the reply to the
// end of the data: greeting, HELO, MAIL, `recipients` RCPT, DATA.
std::vector<ScriptStep> SmtpUpToData(int recipients);

class ScriptedServer {
public:
    // `receiveBuffer` > 0 shrinks the server's receive buffer, so a client
    // that sends more than it reads soon has to wait.
    explicit ScriptedServer(std::vector<ScriptStep> script, int receiveBuffer = 0);
    ~ScriptedServer();

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return m_port; }
    std::string HostSetting() const;  // "127.0.0.1:<port>"

    // Waits for the server to finish (the client closed, or the script
    // closed) and returns every byte received.
    std::string Received();

private:
    void Run();
    bool ReadUntil(const std::string& marker);
    bool ReadSome();
    bool SendAll(const std::string& bytes);
    bool AcceptTls(const std::string& certificate, const std::string& key);

    std::vector<ScriptStep> m_script;
    int m_listener = -1;
    int m_connection = -1;
    int m_port = 0;
    std::string m_received;
    size_t m_consumed = 0;
    ssl_ctx_st* m_pTlsContext = nullptr;
    ssl_st* m_pTls = nullptr;         // set once kStartTls has run
    std::atomic<bool> m_stop{false};  // the test has its result
    std::thread m_thread;
};

// A script made of several parts, joined in order.
using Script = std::vector<ScriptStep>;

inline Script operator+(Script first, const Script& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace dialoguetest

#include "support/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <chrono>
#include <stdexcept>

namespace dialoguetest {

// No test waits on a client longer than this; a hung client fails the test
// instead of hanging the run.
constexpr int kPatienceMs = 20000;

std::vector<ScriptStep> SmtpUpToData(int recipients)
{
    std::vector<ScriptStep> script = {Reply("220 scripted ready\r\n"), ReadLine(), Reply("250 hello\r\n"),
                                      ReadLine(), Reply("250 sender ok\r\n")};
    for (int i = 0; i < recipients; ++i) {
        script.push_back(ReadLine());
        script.push_back(Reply("250 recipient ok\r\n"));
    }
    script.push_back(ReadLine());
    script.push_back(Reply("354 go ahead\r\n"));
    return script;
}

ScriptedServer::ScriptedServer(std::vector<ScriptStep> script, int receiveBuffer)
    : m_script(std::move(script))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) throw std::runtime_error("scripted server: no socket");
    if (receiveBuffer > 0)
        ::setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("scripted server: cannot listen");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    SSL_free(m_pTls);
    SSL_CTX_free(m_pTlsContext);
    if (m_connection >= 0) ::close(m_connection);
    if (m_listener >= 0) ::close(m_listener);
}

bool ScriptedServer::AcceptTls(const std::string& certificate, const std::string& key)
{
    m_pTlsContext = SSL_CTX_new(TLS_server_method());
    if (!m_pTlsContext || SSL_CTX_use_certificate_chain_file(m_pTlsContext, certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_pTlsContext, key.c_str(), SSL_FILETYPE_PEM) != 1)
        return false;
    m_pTls = SSL_new(m_pTlsContext);
    SSL_set_fd(m_pTls, m_connection);
    // Bytes read as plain text before the handshake are gone from the
    // socket; the handshake starts with what comes next.
    timeval limit{kPatienceMs / 1000, 0};
    ::setsockopt(m_connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return SSL_accept(m_pTls) == 1;
}

bool ScriptedServer::SendAll(const std::string& bytes)
{
    if (m_pTls) return bytes.empty() || SSL_write(m_pTls, bytes.data(), static_cast<int>(bytes.size())) > 0;
    return ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string ScriptedServer::HostSetting() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string ScriptedServer::Received()
{
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_received;
}

bool ScriptedServer::ReadSome()
{
    pollfd entry{m_connection, POLLIN, 0};
    if (!(m_pTls && SSL_pending(m_pTls) > 0) && ::poll(&entry, 1, kPatienceMs) <= 0) return false;
    char buffer[65536];
    ssize_t received = m_pTls ? SSL_read(m_pTls, buffer, sizeof buffer)
                              : ::recv(m_connection, buffer, sizeof buffer, 0);
    if (received <= 0) return false;
    m_received.append(buffer, static_cast<size_t>(received));
    return true;
}

bool ScriptedServer::ReadUntil(const std::string& marker)
{
    for (;;) {
        size_t found = m_received.find(marker, m_consumed);
        if (found != std::string::npos) {
            m_consumed = found + marker.size();
            return true;
        }
        if (!ReadSome()) return false;
    }
}

void ScriptedServer::Run()
{
    // A client that never connects (a failure before the connection) ends
    // the wait as soon as the test asks for the result. The listener is
    // looked at once more after that: under load this thread may first run
    // when the client has long connected, finished and the test has asked.
    bool ready = false;
    for (int waited = 0; waited < kPatienceMs && !ready; waited += 50) {
        const bool bLastLook = m_stop;
        pollfd entry{m_listener, POLLIN, 0};
        ready = ::poll(&entry, 1, bLastLook ? 0 : 50) > 0;
        if (bLastLook) break;
    }
    if (!ready) return;
    m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_connection < 0) return;

    for (const ScriptStep& step : m_script) {
        switch (step.kind) {
            case ScriptStep::kReadLine:
                if (!ReadUntil("\r\n")) return;
                break;
            case ScriptStep::kReadData:
                if (!ReadUntil("\r\n.\r\n")) return;
                break;
            case ScriptStep::kSend:
                for (size_t i = 0; i < step.pieces.size(); ++i) {
                    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
                    if (!SendAll(step.pieces[i])) return;
                }
                break;
            case ScriptStep::kStartTls:
                if (!AcceptTls(step.pieces[0], step.pieces[1])) return;
                break;
            case ScriptStep::kReset:
            case ScriptStep::kClose:
                if (step.kind == ScriptStep::kReset) {
                    linger abort{1, 0};
                    ::setsockopt(m_connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                }
                ::close(m_connection);
                m_connection = -1;
                return;
            case ScriptStep::kStopReading:
                // Waits without reading until the client gives up and closes, or
                // the test has its result (a client that stops sending while
                // its data is unread never gets its close through).
                for (int waited = 0; waited < kPatienceMs && !m_stop; waited += 50) {
                    pollfd peer{m_connection, POLLRDHUP, 0};
                    if (::poll(&peer, 1, 50) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR))) return;
                }
                return;
        }
    }
    while (ReadSome()) {
    }
}

}  // namespace dialoguetest

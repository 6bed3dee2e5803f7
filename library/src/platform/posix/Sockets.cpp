// POSIX sockets behind the dialogue's seam. Connecting is bounded with poll();
// sends and receives block with SO_SNDTIMEO / SO_RCVTIMEO set, so each costs
// one system call (a lockstep dialogue makes thousands of them) and none waits
// longer than the time-out it is given.
#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

thread_local int t_lastError = 0;

int Remember(int error)
{
    t_lastError = error;
    return error;
}

int TimeoutMilliseconds(int seconds)
{
    if (seconds <= 0) return 0;
    if (seconds > INT_MAX / 1000) return INT_MAX;
    return seconds * 1000;
}

// Waits until the socket is ready for `events`; false on time-out or error.
bool WaitFor(SocketHandle socket, short events, int timeoutSeconds)
{
    pollfd entry{socket, events, 0};
    for (;;) {
        int ready = ::poll(&entry, 1, TimeoutMilliseconds(timeoutSeconds));
        if (ready > 0) return true;
        if (ready == 0) {
            Remember(ETIMEDOUT);
            return false;
        }
        if (errno != EINTR) {
            Remember(errno);
            return false;
        }
    }
}

}  // namespace

namespace {

// The time-outs last set on the dialogue's socket; set again only when they
// change. A new socket starts without any.
struct AppliedTimeouts {
    SocketHandle socket = kInvalidSocket;
    int send = -1;
    int receive = -1;
} g_applied;

bool ApplyTimeout(SocketHandle socket, int option, int seconds, int& applied)
{
    if (g_applied.socket != socket) g_applied = {socket, -1, -1};
    if (applied == seconds) return true;
    timeval limit{seconds > 0 ? seconds : 0, 0};
    if (::setsockopt(socket, SOL_SOCKET, option, &limit, sizeof limit) != 0) {
        Remember(errno);
        return false;
    }
    applied = seconds;
    return true;
}

// Connects within `timeoutSeconds`; 0 or the error number.
int ConnectAddress(SocketHandle socket, const sockaddr* pPeer, socklen_t nPeerLength, int timeoutSeconds)
{
    // Connect without blocking so the wait can be bounded, then go back to
    // blocking mode: each later send and receive is bounded by the
    // SO_SNDTIMEO / SO_RCVTIMEO limit that ApplyTimeout sets before it.
    int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) return Remember(errno);
    int result = ::connect(socket, pPeer, nPeerLength);
    if (result < 0 && errno != EINPROGRESS) return Remember(errno);
    if (result < 0) {
        if (!WaitFor(socket, POLLOUT, timeoutSeconds)) return t_lastError;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return Remember(errno);
        if (error != 0) return Remember(error);
    }
    if (::fcntl(socket, F_SETFL, flags) < 0) return Remember(errno);

    // Commands and data are gathered into whole writes before they are sent,
    // so Nagle's delay could only hold back the last piece of a message.
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return 0;
}

}  // namespace

bool StartSocketLayer()
{
    return true;
}

void StopSocketLayer() {}

SocketHandle OpenStreamSocket()
{
    SocketHandle socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) Remember(errno);
    g_applied = {};
    return socket < 0 ? kInvalidSocket : socket;
}

void CloseSocket(SocketHandle socket)
{
    if (socket != kInvalidSocket) ::close(socket);
}

int Connect(SocketHandle socket, uint32_t address, uint16_t port, int timeoutSeconds)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    return ConnectAddress(socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer, timeoutSeconds);
}

ConnectStatus ConnectToHost(const char* host, uint16_t port, int timeoutSeconds, SocketHandle& socket,
                            int& error)
{
    socket = kInvalidSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* pList = nullptr;
    const std::string service = std::to_string(port);
    if (port == 0 || !host || !*host || ::getaddrinfo(host, service.c_str(), &hints, &pList) != 0) {
        error = Remember(EADDRNOTAVAIL);
        return ConnectStatus::kFailed;
    }

    // One time-out for all addresses together: a name with many dead
    // addresses must not multiply the host's wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    error = EADDRNOTAVAIL;
    bool bAnySocket = false;
    for (addrinfo* pEntry = pList; pEntry; pEntry = pEntry->ai_next) {
        SocketHandle candidate = ::socket(pEntry->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (candidate < 0) {
            error = Remember(errno);
            continue;
        }
        bAnySocket = true;
        g_applied = {};
        auto left =
            std::chrono::duration_cast<std::chrono::seconds>(deadline - std::chrono::steady_clock::now());
        int leftSeconds = left.count() > 0 ? static_cast<int>(left.count()) : 1;
        error = ConnectAddress(candidate, pEntry->ai_addr, pEntry->ai_addrlen, leftSeconds);
        if (error == 0) {
            socket = candidate;
            break;
        }
        ::close(candidate);
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    ::freeaddrinfo(pList);
    if (socket != kInvalidSocket) return ConnectStatus::kConnected;
    return bAnySocket ? ConnectStatus::kFailed : ConnectStatus::kNoSocket;
}

long SendSome(SocketHandle socket, const char* data, size_t length, int timeoutSeconds)
{
    if (!ApplyTimeout(socket, SO_SNDTIMEO, timeoutSeconds, g_applied.send)) return -1;
    for (;;) {
        ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
        if (sent >= 0) return static_cast<long>(sent);
        if (errno == EINTR) continue;
        Remember(errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno);
        return -1;
    }
}

long ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds)
{
    if (!ApplyTimeout(socket, SO_RCVTIMEO, timeoutSeconds, g_applied.receive)) return -1;
    for (;;) {
        ssize_t received = ::recv(socket, buffer, capacity, 0);
        if (received >= 0) return static_cast<long>(received);
        if (errno == EINTR) continue;
        Remember(errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno);
        return -1;
    }
}

int LastSocketError()
{
    return t_lastError;
}

int AddressNotAvailableError()
{
    return EADDRNOTAVAIL;
}

uint32_t ParseDottedAddress(const char* text)
{
    return ::inet_addr(text);
}

uint32_t LookUpHostAddress(const char* name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pList = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &pList) != 0 || !pList) return 0;
    uint32_t address = reinterpret_cast<sockaddr_in*>(pList->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(pList);
    return address;
}

bool LocalHostName(char* buffer, size_t size)
{
    if (::gethostname(buffer, size) != 0) {
        Remember(errno);
        return false;
    }
    buffer[size - 1] = '\0';
    return true;
}

}  // namespace platform

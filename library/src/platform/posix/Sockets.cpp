// POSIX sockets behind the dialogue's seam. Blocking calls are bounded with
// poll() so that no call waits longer than the time-out it is given.
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
#include <climits>
#include <cstdlib>
#include <cstring>

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

bool StartSocketLayer()
{
    return !g_socketFaultsForTesting.failStartup;
}

void StopSocketLayer() {}

SocketHandle OpenStreamSocket()
{
    if (g_socketFaultsForTesting.failSocket) {
        Remember(EMFILE);
        return kInvalidSocket;
    }
    SocketHandle socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) Remember(errno);
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

    // Connect without blocking so the wait can be bounded, then go back to
    // blocking mode: every later wait is bounded by poll() anyway.
    int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) return Remember(errno);
    int result = ::connect(socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
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

long SendSome(SocketHandle socket, const char* data, size_t length, int timeoutSeconds)
{
    for (;;) {
        if (!WaitFor(socket, POLLOUT, timeoutSeconds)) return -1;
        ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) return static_cast<long>(sent);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Remember(errno);
            return -1;
        }
    }
}

long ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds)
{
    for (;;) {
        if (!WaitFor(socket, POLLIN, timeoutSeconds)) return -1;
        ssize_t received = ::recv(socket, buffer, capacity, MSG_DONTWAIT);
        if (received >= 0) return static_cast<long>(received);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Remember(errno);
            return -1;
        }
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
    if (g_socketFaultsForTesting.failHostName) {
        Remember(EFAULT);
        return false;
    }
    if (::gethostname(buffer, size) != 0) {
        Remember(errno);
        return false;
    }
    buffer[size - 1] = '\0';
    return true;
}

void* AllocateMemory(size_t size)
{
    if (g_socketFaultsForTesting.failAllocation) return nullptr;
    return std::malloc(size);
}

}  // namespace platform

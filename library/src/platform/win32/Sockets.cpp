// Windows sockets 1.1 behind the dialogue's seam. After connecting, the socket
// stays non-blocking and every wait goes through select(), so no call waits
// longer than the time-out it is given (a blocking Winsock send would wait
// for the whole buffer, however long the peer stalls).
#include "platform/Sockets.h"

#include <windows.h>
#include <winsock.h>

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

SOCKET Native(SocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

bool SetBlocking(SocketHandle socket, bool bBlocking)
{
    u_long nonBlocking = bBlocking ? 0 : 1;
    if (ioctlsocket(Native(socket), FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        Remember(WSAGetLastError());
        return false;
    }
    return true;
}

// Read and Write wait for data or room; Connected waits for a pending
// connect, whose failure Winsock reports through the exception set.
enum class Readiness { Read, Write, Connected };

// Waits until the socket is ready; false on time-out or error.
bool WaitFor(SocketHandle socket, Readiness readiness, int timeoutSeconds)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(Native(socket), &ready);
    if (readiness == Readiness::Connected) FD_SET(Native(socket), &failed);
    timeval limit{timeoutSeconds > 0 ? timeoutSeconds : 0, 0};
    const int count = readiness == Readiness::Read ? select(0, &ready, nullptr, &failed, &limit)
                                                   : select(0, nullptr, &ready, &failed, &limit);
    if (count == 0) {
        Remember(WSAETIMEDOUT);
        return false;
    }
    if (count == SOCKET_ERROR) {
        Remember(WSAGetLastError());
        return false;
    }
    if (FD_ISSET(Native(socket), &failed)) {
        int error = 0;
        int length = sizeof error;
        getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        Remember(error ? error : WSAECONNRESET);
        return false;
    }
    return true;
}

}  // namespace

bool StartSocketLayer()
{
    WSADATA data;
    return WSAStartup(0x0101, &data) == 0;
}

void StopSocketLayer()
{
    WSACleanup();
}

SocketHandle OpenStreamSocket()
{
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket == INVALID_SOCKET) {
        Remember(WSAGetLastError());
        return kInvalidSocket;
    }
    return static_cast<SocketHandle>(socket);
}

void CloseSocket(SocketHandle socket)
{
    if (socket != kInvalidSocket) closesocket(Native(socket));
}

int Connect(SocketHandle socket, uint32_t address, uint16_t port, int timeoutSeconds)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;

    if (!SetBlocking(socket, false)) return t_lastError;
    if (::connect(Native(socket), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return Remember(error);
        if (!WaitFor(socket, Readiness::Connected, timeoutSeconds)) return t_lastError;
        int pending = 0;
        int length = sizeof pending;
        if (getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) ==
            SOCKET_ERROR)
            return Remember(WSAGetLastError());
        if (pending != 0) return Remember(pending);
    }

    // Commands and data are gathered into whole writes before they are sent,
    // so Nagle's delay could only hold back the last piece of a message.
    BOOL on = TRUE;
    setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return 0;
}

long SendSome(SocketHandle socket, const char* data, size_t length, int timeoutSeconds)
{
    // send() counts in int; larger buffers go out over several calls.
    const int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    for (;;) {
        if (!WaitFor(socket, Readiness::Write, timeoutSeconds)) return -1;
        const int sent = ::send(Native(socket), data, chunk, 0);
        if (sent != SOCKET_ERROR) return sent;
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            Remember(error);
            return -1;
        }
    }
}

long ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds)
{
    const int room = capacity > 0x40000000 ? 0x40000000 : static_cast<int>(capacity);
    for (;;) {
        if (!WaitFor(socket, Readiness::Read, timeoutSeconds)) return -1;
        const int received = ::recv(Native(socket), buffer, room, 0);
        if (received != SOCKET_ERROR) return received;
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            Remember(error);
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
    return WSAEADDRNOTAVAIL;
}

uint32_t ParseDottedAddress(const char* text)
{
    return inet_addr(text);
}

uint32_t LookUpHostAddress(const char* name)
{
    const hostent* pHost = gethostbyname(name);
    if (!pHost || pHost->h_addrtype != AF_INET || !pHost->h_addr_list || !pHost->h_addr_list[0]) {
        if (!pHost) Remember(WSAGetLastError());
        return 0;
    }
    uint32_t address;
    std::memcpy(&address, pHost->h_addr_list[0], sizeof address);
    return address;
}

bool LocalHostName(char* buffer, size_t size)
{
    if (gethostname(buffer, static_cast<int>(size)) == SOCKET_ERROR) {
        Remember(WSAGetLastError());
        return false;
    }
    buffer[size - 1] = '\0';
    return true;
}

}  // namespace platform

namespace platform {

// Windows sockets 1.1 know IPv4 only: the first address of the name is the
// one tried, as it always was.
ConnectStatus ConnectToHost(const char* host, uint16_t port, int timeoutSeconds, SocketHandle& socket,
                            int& error)
{
    socket = OpenStreamSocket();
    if (socket == kInvalidSocket) return ConnectStatus::kNoSocket;
    uint32_t address = 0;
    if (port != 0 && host && *host) {
        address = ParseDottedAddress(host);
        if (address == 0xFFFFFFFFu && std::strcmp(host, "255.255.255.255") != 0)
            address = LookUpHostAddress(host);
    }
    error = address ? Connect(socket, address, port, timeoutSeconds) : AddressNotAvailableError();
    return error == 0 ? ConnectStatus::kConnected : ConnectStatus::kFailed;
}

}  // namespace platform

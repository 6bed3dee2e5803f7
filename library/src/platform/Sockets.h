#pragma once

#include <cstddef>
#include <cstdint>

// The socket layer as the mail dialogue needs it. One implementation per
// platform (posix/Sockets.cpp; Winsock on Windows). Every wait is bounded: a
// silent peer makes a call fail after the time-out given, never hang. The
// library reaches the calls that can fail through SystemCalls.h.
namespace platform {

#ifdef _WIN32
using SocketHandle = uintptr_t;  // SOCKET
#else
using SocketHandle = int;
#endif
constexpr SocketHandle kInvalidSocket = static_cast<SocketHandle>(-1);

// Starts and stops the socket layer (WSAStartup 1.1 / WSACleanup on Windows;
// nothing to do elsewhere). StartSocketLayer returns false on failure.
bool StartSocketLayer();
void StopSocketLayer();

// An IPv4 stream socket, or kInvalidSocket.
SocketHandle OpenStreamSocket();
void CloseSocket(SocketHandle socket);

// Connects to `address` (IPv4, network order) and `port` (host order) within
// `timeoutSeconds`. Returns 0, or the socket error number.
int Connect(SocketHandle socket, uint32_t address, uint16_t port, int timeoutSeconds);

// Opens a stream socket connected to `host` (a name, a dotted IPv4 address
// or, where the platform has it, an IPv6 address) on `port`. Every address the
// name has is tried in turn until one answers or `timeoutSeconds` in all have
// passed. Port 0 connects nowhere. On success `socket` holds the connection.
enum class ConnectStatus {
    kConnected,
    kNoSocket,  // no socket could be created
    kFailed     // no address answered; `error` holds the socket error number
};
ConnectStatus ConnectToHost(const char* host, uint16_t port, int timeoutSeconds, SocketHandle& socket,
                            int& error);

// Sends up to `length` bytes, waiting at most `timeoutSeconds` for room.
// Returns the count sent (at least 1), or 0 or less on failure or time-out.
long SendSome(SocketHandle socket, const char* data, size_t length, int timeoutSeconds);

// Receives up to `capacity` bytes, waiting at most `timeoutSeconds`. Returns
// the count received, 0 when the peer closed, or less than 0 on failure or
// time-out.
long ReceiveSome(SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds);

// The error number of the last failed socket call of this thread.
int LastSocketError();

// The error number reported when there is no address to connect to.
int AddressNotAvailableError();

// The dotted IPv4 address in `text` (network order), or 0xFFFFFFFF when the
// text is not one (inet_addr rules, so "255.255.255.255" also gives that).
uint32_t ParseDottedAddress(const char* text);

// The first IPv4 address of a host name (network order), or 0 when unknown.
uint32_t LookUpHostAddress(const char* name);

// This machine's host name into `buffer`; false on failure.
bool LocalHostName(char* buffer, size_t size);

}  // namespace platform

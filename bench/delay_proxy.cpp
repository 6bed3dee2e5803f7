// A relay that gives loopback a distance: what the server sends reaches the
// client DELAY_MS milliseconds later, each piece timed from its own arrival,
// so replies keep their order and a pipelined batch costs one delay while a
// lockstep dialogue pays it once per command. What the client sends goes on
// at once, so a round trip costs DELAY_MS. Listens on 127.0.0.1 (port 0
// picks one), prints "PORT <n>", and relays one connection after another to
// 127.0.0.1:TARGET_PORT until killed.
//
// After each connection it prints one line: the client's flights (bytes sent
// after a reply reached it, so each one after the first costs a round trip),
// the milliseconds from the client's first TLS handshake record to its next
// flight (the handshake as the client lives it: ClientHello out, the server's
// flight in, Finished out) and the connection's milliseconds in all:
//   "CONNECTION flights <n> handshake_ms <x> total_ms <y>"
//
// Usage: delay_proxy TARGET_PORT DELAY_MS [PORT]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "LoopbackListener.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Piece {
    Clock::time_point due;
    std::string bytes;
};

bool SendAll(int socket, const char* data, size_t length)
{
    while (length > 0) {
        ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

int ConnectTo(uint16_t port)
{
    int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(server);
        return -1;
    }
    return server;
}

double MillisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Flights {
    Clock::time_point start = Clock::now();
    int count = 0;
    bool replyReached = true;  // the greeting counts as the first reply
    bool inHandshake = false;
    Clock::time_point hello;
    double handshakeMs = -1;

    void ClientSent(const char* data)
    {
        if (!replyReached) return;
        replyReached = false;
        ++count;
        auto now = Clock::now();
        if (inHandshake) {
            handshakeMs = MillisecondsBetween(hello, now);
            inHandshake = false;
        } else if (handshakeMs < 0 && data[0] == 0x16) {  // a TLS handshake record
            inHandshake = true;
            hello = now;
        }
    }
    void Print() const
    {
        std::printf("CONNECTION flights %d handshake_ms %.2f total_ms %.2f\n", count, handshakeMs,
                    MillisecondsBetween(start, Clock::now()));
        std::fflush(stdout);
    }
};

void Relay(int client, int server, Clock::duration delay, Flights& flights)
{
    std::deque<Piece> toClient;
    bool serverOpen = true;
    char buffer[256 * 1024];
    for (;;) {
        auto now = Clock::now();
        while (!toClient.empty() && toClient.front().due <= now) {
            if (!SendAll(client, toClient.front().bytes.data(), toClient.front().bytes.size())) return;
            toClient.pop_front();
            flights.replyReached = true;
        }
        if (!serverOpen && toClient.empty()) return;
        // Waits to the microsecond: the delays are a few milliseconds.
        timespec wait{};
        timespec* timeout = nullptr;
        if (!toClient.empty()) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(toClient.front().due - now).count();
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
            timeout = &wait;
        }
        pollfd entries[2] = {{client, POLLIN, 0}, {server, static_cast<short>(serverOpen ? POLLIN : 0), 0}};
        if (::ppoll(entries, 2, timeout, nullptr) < 0) return;
        if (entries[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            flights.ClientSent(buffer);
            if (!SendAll(server, buffer, static_cast<size_t>(got))) return;
        }
        if (entries[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
            if (got <= 0) {
                serverOpen = false;
            } else {
                toClient.push_back({Clock::now() + delay, std::string(buffer, static_cast<size_t>(got))});
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TARGET_PORT DELAY_MS [PORT]\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    auto target = static_cast<uint16_t>(std::atoi(argv[1]));
    auto delay = std::chrono::microseconds(static_cast<long>(std::atof(argv[2]) * 1000));
    int listener = ListenOnLoopback(static_cast<uint16_t>(argc > 3 ? std::atoi(argv[3]) : 0), "delay_proxy");
    if (listener < 0) return 1;
    int on = 1;
    for (;;) {
        int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        int server = ConnectTo(target);
        if (server >= 0) {
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            Flights flights;
            Relay(client, server, delay, flights);
            flights.Print();
            ::close(server);
        }
        ::close(client);
    }
}

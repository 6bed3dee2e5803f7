// The listening socket of the bench's servers: loopback only, on `port` (0:
// any free one), and the port announced as "PORT n" on standard output for
// the script that started the server.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>

inline int ListenOnLoopback(uint16_t port, const char* who)
{
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror(who);
        return -1;
    }
    std::printf("PORT %d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    return listener;
}

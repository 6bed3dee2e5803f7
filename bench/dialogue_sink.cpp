// A mail server that accepts everything and keeps nothing: the far end for
// the delivery figures. Listens on 127.0.0.1 (port 0 unless one is given),
// prints "PORT <n>", and serves one connection after another until killed.
// Replies 220 on connect, 354 to DATA, 221 to QUIT and 250 to every other
// line and to the end of the data.
// Kept apart from peers/capture_server.py: a Python server would be the bottleneck of the figures.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LoopbackListener.h"

namespace {

bool SendAll(int socket, const char* text)
{
    size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t sent = ::send(socket, text, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        text += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool StartsWith(const std::string& line, const char* word)
{
    return ::strncasecmp(line.c_str(), word, std::strlen(word)) == 0;
}

void Serve(int socket)
{
    if (!SendAll(socket, "220 sink ready\r\n")) return;
    std::vector<char> buffer(256 * 1024);
    std::string line;
    bool inData = false;
    // How much of "\r\n.\r\n" the data has matched so far, across reads.
    static constexpr char kEnd[] = "\r\n.\r\n";
    size_t matched = 2;  // the data starts at a line start
    for (;;) {
        ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (got <= 0) return;
        const char* data = buffer.data();
        size_t count = static_cast<size_t>(got);
        for (size_t i = 0; i < count;) {
            if (inData) {
                // Far from a possible end, jump to the next carriage return.
                if (matched == 0) {
                    const void* next = std::memchr(data + i, '\r', count - i);
                    if (!next) break;
                    i = static_cast<size_t>(static_cast<const char*>(next) - data);
                }
                char c = data[i++];
                if (c == kEnd[matched]) {
                    ++matched;
                } else {
                    matched = c == '\r' ? 1 : 0;
                }
                if (matched == 5) {
                    inData = false;
                    matched = 2;
                    if (!SendAll(socket, "250 discarded\r\n")) return;
                }
                continue;
            }
            char c = data[i++];
            line += c;
            if (c != '\n') continue;
            if (StartsWith(line, "DATA")) {
                inData = true;
                matched = 2;
                if (!SendAll(socket, "354 go ahead\r\n")) return;
            } else if (StartsWith(line, "QUIT")) {
                SendAll(socket, "221 bye\r\n");
                return;
            } else if (!SendAll(socket, "250 ok\r\n")) {
                return;
            }
            line.clear();
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int listener = ListenOnLoopback(static_cast<uint16_t>(argc > 1 ? std::atoi(argv[1]) : 0), "sink");
    if (listener < 0) return 1;
    int on = 1;
    for (;;) {
        int connection = ::accept(listener, nullptr, nullptr);
        if (connection < 0) continue;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Serve(connection);
        ::close(connection);
    }
}

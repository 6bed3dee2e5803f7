// A mail server that accepts everything over TLS and keeps nothing: the far
// end for the submission figures. Listens on 127.0.0.1 (port 0 picks one),
// prints "PORT <n>", and serves one connection after another until killed.
// EHLO offers PIPELINING, SIZE, 8BITMIME and STARTTLS; STARTTLS switches to
// TLS with CERT and KEY. Replies 354 to DATA, 221 to QUIT and 250 to every
// other line and to the end of the data, each as soon as its line is read.
// Kept apart from peers/capture_server.py: a Python server would be the bottleneck of the figures.
//
// Usage: tls_sink CERT KEY [PORT]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LoopbackListener.h"

namespace {

// The connection before and after STARTTLS.
struct Channel {
    int socket;
    SSL* ssl = nullptr;

    long Read(char* buffer, size_t capacity)
    {
        if (ssl) return SSL_read(ssl, buffer, static_cast<int>(capacity));
        return ::recv(socket, buffer, capacity, 0);
    }
    bool Write(const char* text)
    {
        size_t length = std::strlen(text);
        while (length > 0) {
            long sent = ssl ? SSL_write(ssl, text, static_cast<int>(length))
                            : ::send(socket, text, length, MSG_NOSIGNAL);
            if (sent <= 0) return false;
            text += sent;
            length -= static_cast<size_t>(sent);
        }
        return true;
    }
};

bool StartsWith(const std::string& line, const char* word)
{
    return ::strncasecmp(line.c_str(), word, std::strlen(word)) == 0;
}

void Serve(Channel& channel, SSL_CTX* context)
{
    if (!channel.Write("220 sink ready\r\n")) return;
    std::vector<char> buffer(256 * 1024);
    std::string line;
    bool inData = false;
    // How much of "\r\n.\r\n" the data has matched so far, across reads.
    static constexpr char kEnd[] = "\r\n.\r\n";
    size_t matched = 2;
    for (;;) {
        long got = channel.Read(buffer.data(), buffer.size());
        if (got <= 0) return;
        const char* data = buffer.data();
        size_t count = static_cast<size_t>(got);
        for (size_t i = 0; i < count;) {
            if (inData) {
                if (matched == 0) {
                    const void* next = std::memchr(data + i, '\r', count - i);
                    if (!next) break;
                    i = static_cast<size_t>(static_cast<const char*>(next) - data);
                }
                char c = data[i++];
                matched = c == kEnd[matched] ? matched + 1 : (c == '\r' ? 1 : 0);
                if (matched == 5) {
                    inData = false;
                    matched = 2;
                    if (!channel.Write("250 discarded\r\n")) return;
                }
                continue;
            }
            char c = data[i++];
            line += c;
            if (c != '\n') continue;
            bool written;
            if (StartsWith(line, "EHLO")) {
                written =
                    channel.Write(channel.ssl ? "250-sink\r\n250-PIPELINING\r\n250-SIZE\r\n250 8BITMIME\r\n"
                                              : "250-sink\r\n250-PIPELINING\r\n250 STARTTLS\r\n");
            } else if (StartsWith(line, "STARTTLS") && !channel.ssl) {
                // Nothing may follow the command before the handshake.
                if (i != count || !channel.Write("220 go ahead\r\n")) return;
                channel.ssl = SSL_new(context);
                SSL_set_fd(channel.ssl, channel.socket);
                if (SSL_accept(channel.ssl) != 1) return;
                written = true;
            } else if (StartsWith(line, "DATA")) {
                inData = true;
                matched = 2;
                written = channel.Write("354 go ahead\r\n");
            } else if (StartsWith(line, "QUIT")) {
                channel.Write("221 bye\r\n");
                return;
            } else {
                written = channel.Write("250 ok\r\n");
            }
            if (!written) return;
            line.clear();
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CERT KEY [PORT]\n", argv[0]);
        return 2;
    }
    // A client that leaves mid-reply (s_client does) must not end the sink.
    std::signal(SIGPIPE, SIG_IGN);
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_use_certificate_chain_file(context, argv[1]) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, argv[2], SSL_FILETYPE_PEM) != 1) {
        ERR_print_errors_fp(stderr);
        return 1;
    }
    int listener = ListenOnLoopback(static_cast<uint16_t>(argc > 3 ? std::atoi(argv[3]) : 0), "sink");
    if (listener < 0) return 1;
    int on = 1;
    for (;;) {
        int connection = ::accept(listener, nullptr, nullptr);
        if (connection < 0) continue;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Channel channel{connection};
        Serve(channel, context);
        if (channel.ssl) {
            SSL_shutdown(channel.ssl);
            SSL_free(channel.ssl);
        }
        ::close(connection);
    }
}

// The yardstick client for the delivery figures: the least a mail client can
// do. It speaks the same lockstep dialogue as the library (HELO, MAIL, one
// RCPT per recipient with its reply awaited, DATA) and sends a file that is
// already in wire form in writes of a given size, then ends and quits.
//
// Usage: dialogue_client PORT FILE [RECIPIENTS [WRITE_SIZE]]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_socket = -1;

void SendAll(const char* data, size_t length)
{
    while (length > 0) {
        ssize_t sent = ::send(g_socket, data, length, MSG_NOSIGNAL);
        if (sent <= 0) {
            std::perror("send");
            std::exit(1);
        }
        data += sent;
        length -= static_cast<size_t>(sent);
    }
}

// Reads one reply (a single line is all the sink sends) and checks its class.
void Expect(char digit)
{
    char reply[512];
    size_t held = 0;
    while (held < 2 || reply[held - 1] != '\n') {
        ssize_t got = ::recv(g_socket, reply + held, sizeof reply - held, 0);
        if (got <= 0) std::exit(1);
        held += static_cast<size_t>(got);
    }
    if (reply[0] != digit) std::exit(1);
}

void Command(const std::string& text, char digit)
{
    SendAll(text.data(), text.size());
    Expect(digit);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PORT FILE [RECIPIENTS [WRITE_SIZE]]\n", argv[0]);
        return 2;
    }
    int recipients = argc > 3 ? std::atoi(argv[3]) : 1;
    size_t writeSize = argc > 4 ? static_cast<size_t>(std::atol(argv[4])) : 65536;

    g_socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    if (::connect(g_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 1;
    Expect('2');
    Command("HELO yardstick\r\n", '2');
    Command("MAIL FROM: ann@example.com\r\n", '2');
    for (int i = 0; i < recipients; ++i) Command("RCPT TO: r" + std::to_string(i) + "@example.org\r\n", '2');
    Command("DATA\r\n", '3');

    FILE* file = std::fopen(argv[2], "rb");
    if (!file) return 1;
    std::vector<char> block(writeSize);
    size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) SendAll(block.data(), got);
    std::fclose(file);
    Command("\r\n.\r\n", '2');
    Command("QUIT\r\n", '2');
    ::close(g_socket);
    return 0;
}

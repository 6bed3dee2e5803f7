// The server reply reader (Ack): any byte stream from the server, arriving
// in pieces split at points the input chooses (at most 64, from 1 to 300
// bytes but the last), read reply after reply until
// the reader gives up. Each reply it accepts or refuses, and the result code
// and error text it ends with, must be what the reply rules give for that
// stream and those pieces: a reply ends at a CR LF whose line is not a "ddd-"
// continuation line, a first byte from "4" to DEL is a server error (9), and
// a closed stream or a full reply buffer is a receive failure (8).
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Globals.h"
#include "SMTPEmail.h"
#include "SMTPError.h"
#include "SocketTransport.h"
#include "support/Check.h"
#include "support/LibraryState.h"

namespace {

constexpr size_t kCapacity = kReplyBufferSize - 1;  // one byte for the terminating zero
constexpr size_t kErrorTextSize = 500;
constexpr size_t kMaxPieces = 64;

struct Outcome {
    std::vector<std::string> accepted;  // replies read as positive, in order
    int failure = 0;                    // the code the reading ended with
    std::string errorText;              // the host's copy of an error reply
};

bool EndsReply(const std::string& held)
{
    if (held.size() < 2 || held.compare(held.size() - 2, 2, "\r\n") != 0) return false;
    const std::string text = held.substr(0, held.size() - 2);
    const size_t nLastBreak = text.rfind('\n');
    const std::string line = nLastBreak == std::string::npos ? text : text.substr(nLastBreak + 1);
    const bool bContinued = line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                            std::isdigit(static_cast<unsigned char>(line[1])) &&
                            std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == '-';
    return !bContinued;
}

// What the reader must make of `pieces`: each receive takes one piece, as
// much of it as the buffer still holds (the peer's packets keep their
// bounds, and what does not fit is lost, as if never sent).
Outcome Expected(std::deque<std::string> pieces)
{
    Outcome outcome;
    for (;;) {
        std::string held;
        for (;;) {
            if (held.size() == kCapacity || pieces.empty()) {
                outcome.failure = 8;
                return outcome;
            }
            held += pieces.front().substr(0, kCapacity - held.size());
            pieces.pop_front();
            if (EndsReply(held)) break;
        }
        const unsigned char first = static_cast<unsigned char>(held[0]);
        if (first >= '4' && first <= 0x7F) {
            outcome.failure = 9;
            outcome.errorText = held.substr(0, kErrorTextSize - 1);
            return outcome;
        }
        outcome.accepted.push_back(held);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::ResetLibraryWithQuietLog();
    FuzzedDataProvider input(data, size);
    const uint32_t seed = input.ConsumeIntegral<uint32_t>();
    const std::string stream = input.ConsumeRemainingBytesAsString();

    // Split points from the seed; pieces are never empty (a stream delivers
    // no empty receive but its end), and after kMaxPieces the rest comes whole.
    std::vector<std::string> pieces;
    uint32_t state = seed | 1;
    for (size_t nAt = 0; nAt < stream.size();) {
        state = state * 1103515245u + 12345u;
        size_t n = pieces.size() + 1 == kMaxPieces ? stream.size() - nAt : 1 + (state >> 16) % 300;
        n = std::min(n, stream.size() - nAt);
        pieces.push_back(stream.substr(nAt, n));
        nAt += n;
    }
    const Outcome expected = Expected(std::deque<std::string>(pieces.begin(), pieces.end()));

    // A packet socket keeps every piece a receive of its own: a stream
    // socket would join pieces that arrive while a receive is under way.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0) std::abort();
    for (const std::string& piece : pieces) {
        if (::send(ends[0], piece.data(), piece.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(piece.size()))
            std::abort();
    }
    ::shutdown(ends[0], SHUT_WR);

    Outcome seen;
    char errorText[kErrorTextSize];
    std::memset(errorText, 'x', sizeof errorText);
    {
        CSMTPEmail session;
        session.m_pszErrorReply = errorText;
        session.UseTransport(std::make_unique<SocketTransport>(ends[1]));
        for (;;) {
            try {
                session.Ack();
            } catch (const CSMTPError& error) {
                FUZZ_CHECK(error.nCode == session.m_nError, "the raised code is the session's");
                seen.failure = error.nCode;
                break;
            }
            FUZZ_CHECK(g_pszReply != nullptr, "the reply buffer exists");
            seen.accepted.emplace_back(g_pszReply, std::strlen(g_pszReply));
        }
    }
    ::close(ends[0]);
    ::close(ends[1]);

    FUZZ_CHECK(seen.failure == expected.failure, "the reading ends with the expected code");
    if (seen.failure == 9) {
        FUZZ_CHECK(std::memchr(errorText, '\0', sizeof errorText) != nullptr, "the error text is terminated");
        seen.errorText.assign(errorText, expected.errorText.size());
        FUZZ_CHECK(errorText[expected.errorText.size()] == '\0', "the error text has the reply's length");
    }
    FUZZ_CHECK(seen.accepted.size() == expected.accepted.size(), "as many replies accepted as expected");
    for (size_t n = 0; n < seen.accepted.size(); ++n) {
        // A zero byte in a reply ends the text the reader holds.
        const std::string& whole = expected.accepted[n];
        FUZZ_CHECK(seen.accepted[n] == whole.substr(0, whole.find('\0')), "each accepted reply as sent");
    }
    FUZZ_CHECK(seen.errorText == expected.errorText, "the error text is the start of the reply");
    return 0;
}

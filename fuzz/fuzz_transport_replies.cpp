// Replies read through the transport interface, as the submission modes read
// them once TLS is up: the session hands over what it has decrypted in
// pieces of any size up to a whole record (16 KiB), more than the reader asks
// for at a time, and may fail at any receive. Any byte stream, in pieces the
// input chooses, read reply after reply until the reader stops:
//   - every reply is the next one of the stream, whole, with the code of its
//     last line, and what came after it is held for the next one;
//   - the reader receives only when what it holds has no whole reply and no
//     whole broken line, and never holds more than 64 KiB of one reply;
//   - it stops with kMalformed on a broken line or an endless reply,
//     kClosed when the peer closed, kFailed when a receive failed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ReplyReader.h"
#include "Transport.h"
#include "support/Check.h"
#include "support/LibraryState.h"

namespace {

constexpr size_t kMaxHeld = 64 * 1024;
constexpr size_t kMaxRecord = 16 * 1024;
constexpr size_t kNoEnd = SIZE_MAX;

bool Digit(char c)
{
    return c >= '0' && c <= '9';
}

// Where the reply starting at `nAt` of `stream` ends (past its CR LF), or
// where its first broken line ends (`bBroken`), or kNoEnd when the stream
// ends first.
size_t NextEnd(const std::string& stream, size_t nAt, bool& bBroken)
{
    bBroken = false;
    for (;;) {
        const size_t nBreak = stream.find("\r\n", nAt);
        if (nBreak == std::string::npos) return kNoEnd;
        const std::string line = stream.substr(nAt, nBreak - nAt);
        const bool bCode = line.size() >= 3 && Digit(line[0]) && Digit(line[1]) && Digit(line[2]);
        if (!bCode || (line.size() > 3 && line[3] != ' ' && line[3] != '-')) {
            bBroken = true;
            return nBreak + 2;
        }
        if (line.size() == 3 || line[3] == ' ') return nBreak + 2;
        nAt = nBreak + 2;
    }
}

// Hands out `stream` piece by piece; a piece larger than the reader's buffer
// is handed out over several receives, as a TLS record is.
class PiecesTransport : public Transport {
public:
    PiecesTransport(const std::string& stream, std::vector<size_t> pieces, size_t nFailAt)
        : m_stream(stream), m_pieces(std::move(pieces)), m_nFailAt(nFailAt)
    {
    }

    long Send(const char*, size_t nLength, int) override { return static_cast<long>(nLength); }

    long Receive(char* pBuffer, size_t nCapacity, int) override
    {
        // The reader must not ask for more while it holds a whole reply or
        // a whole broken line, nor go on with one longer than it may hold.
        bool bBroken = false;
        const size_t nEnd = NextEnd(m_stream, nUsed, bBroken);
        FUZZ_CHECK(nEnd == kNoEnd || nEnd > nDelivered, "no receive while a reply is in hand");
        FUZZ_CHECK(nDelivered - nUsed <= kMaxHeld, "no receive past the reply size limit");
        FUZZ_CHECK(nCapacity > 0, "room for a byte");

        if (m_nReceives++ == m_nFailAt) {
            bFailed = true;
            return -1;
        }
        if (m_nPiece == m_pieces.size()) {
            bClosed = true;
            return 0;
        }
        const size_t n = std::min(nCapacity, m_pieces[m_nPiece] - m_nIntoPiece);
        std::memcpy(pBuffer, m_stream.data() + nDelivered, n);
        nDelivered += n;
        m_nIntoPiece += n;
        if (m_nIntoPiece == m_pieces[m_nPiece]) {
            ++m_nPiece;
            m_nIntoPiece = 0;
        }
        return static_cast<long>(n);
    }

    size_t nDelivered = 0;  // bytes handed out so far
    size_t nUsed = 0;       // end of the last reply the reader gave back
    bool bClosed = false;
    bool bFailed = false;

private:
    const std::string& m_stream;
    std::vector<size_t> m_pieces;
    size_t m_nFailAt;
    size_t m_nPiece = 0;
    size_t m_nIntoPiece = 0;
    size_t m_nReceives = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::ResetLibraryWithQuietLog();
    FuzzedDataProvider input(data, size);
    // Repeating the input's stream reaches the size limit from short inputs.
    const int nRepeat = input.ConsumeIntegralInRange<int>(1, 40);
    const size_t nFailAt = input.ConsumeIntegralInRange<size_t>(0, 80);  // past the pieces: never
    const bool bLargePieces = input.ConsumeBool();
    const uint32_t seed = input.ConsumeIntegral<uint32_t>();
    const std::string once = input.ConsumeRemainingBytesAsString();
    std::string stream;
    for (int i = 0; i < nRepeat; ++i) stream += once;

    std::vector<size_t> pieces;
    uint32_t state = seed | 1;
    for (size_t nAt = 0; nAt < stream.size();) {
        state = state * 1664525u + 1013904223u;
        const size_t nLimit = bLargePieces ? kMaxRecord : 64;
        const size_t n = std::min<size_t>(1 + (state >> 8) % nLimit, stream.size() - nAt);
        pieces.push_back(n);
        nAt += n;
    }

    PiecesTransport transport(stream, pieces, nFailAt);
    ReplyReader reader;
    for (;;) {
        SmtpReply reply;
        const ReplyReader::Status status = reader.Read(transport, 1, reply);
        bool bBroken = false;
        const size_t nEnd = NextEnd(stream, transport.nUsed, bBroken);
        const bool bInHand = nEnd != kNoEnd && nEnd <= transport.nDelivered;
        if (status == ReplyReader::kReply) {
            FUZZ_CHECK(bInHand && !bBroken, "a reply only when a whole one arrived");
            FUZZ_CHECK(reply.text == stream.substr(transport.nUsed, nEnd - transport.nUsed), "the reply whole");
            const std::string last = reply.LastLine();
            FUZZ_CHECK(last.size() >= 3 && reply.nCode == std::stoi(last.substr(0, 3)),
                       "the code of the last line");
            FUZZ_CHECK(reply.text.compare(reply.text.size() - last.size() - 2, last.size(), last) == 0,
                       "the last line is the reply's end");
            transport.nUsed = nEnd;
            FUZZ_CHECK(reader.HasPending() == (transport.nDelivered > nEnd), "what follows is held");
            continue;
        }
        if (status == ReplyReader::kMalformed) {
            FUZZ_CHECK((bInHand && bBroken) || transport.nDelivered - transport.nUsed > kMaxHeld,
                       "malformed: a broken line or an endless reply");
        } else if (status == ReplyReader::kClosed) {
            FUZZ_CHECK(transport.bClosed && !bInHand, "closed only at the stream's end");
        } else {
            FUZZ_CHECK(status == ReplyReader::kFailed && transport.bFailed && !bInHand,
                       "failed only when the receive failed");
        }
        break;
    }
    return 0;
}

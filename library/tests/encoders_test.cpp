#include "Encoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "MessageOutput.h"
#include "support/CaptureOutput.h"
#include "support/FaultyCalls.h"

using composer_test::Capture;

namespace {

using Bytes = std::string;

// Longest line between line feeds, not counting the CR of a CR LF.
size_t LongestLine(const std::string& text)
{
    size_t longest = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        longest = std::max(longest, line.size() - (!line.empty() && line.back() == '\r'));
    return longest;
}

// Binary bytes, or text full of what quoted-printable cares about: blanks
// before line ends, CR LF and bare LF, "=", control and high bytes.
Bytes RandomSource(std::mt19937& rng, size_t length, bool bText)
{
    static const char specials[] = {' ', '\t', '\r', '\n', '=', '\x7f', '\0', '\xe9', '\xff', '\x0c'};
    Bytes out;
    while (out.size() < length) {
        const unsigned pick = rng() % 100;
        if (!bText)
            out += static_cast<char>(rng() & 0xFF);
        else if (pick < 70)
            out += static_cast<char>('a' + rng() % 26);
        else if (pick < 75)
            out += "\r\n";
        else
            out += specials[rng() % sizeof specials];
    }
    out.resize(length);
    return out;
}

// The source through one encoder, in pieces of `pieceSize` bytes (0: random sizes).
template <typename Encoder>
std::string Encode(const Bytes& in, size_t pieceSize, std::mt19937* pRng = nullptr)
{
    return Capture([&](FILE* pOut) {
        Encoder encoder(pOut);
        for (size_t i = 0, n; i < in.size(); i += n) {
            n = std::min(pieceSize ? pieceSize : 1 + (*pRng)() % 90, in.size() - i);
            encoder.Write(reinterpret_cast<const unsigned char*>(in.data()) + i, n);
        }
        encoder.Finish();
    });
}

using Vector = std::pair<Bytes, std::string>;  // input, expected output

TEST(TransferEncoderTest, MatchesHandComputedVectors)
{
    auto repeat = [](const Bytes& unit, int count) {
        Bytes out;
        while (count-- > 0) out += unit;
        return out;
    };
    const std::string k76 = repeat("TWFu", 19);
    const Vector base64Vectors[] = {
        {"", ""},
        {"M", "TQ==\r\n"},
        {"Ma", "TWE=\r\n"},
        {"Man", "TWFu\r\n"},
        {"\xff\xff\xff\xff", "/////w==\r\n"},
        // Every character of the alphabet, from bytes that start with a zero.
        {Bytes("\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51"
               "\x55\x97\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a"
               "\xab\xb2\xdb\xaf\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf",
               48),
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/\r\n"},
        {repeat("Man", 18) + "Ma", repeat("TWFu", 18) + "TWE=\r\n"},  // the short group fills the line
        {repeat("Man", 19), k76 + "\r\n"},
        {repeat("Man", 19) + "M", k76 + "\r\nTQ==\r\n"},
        {repeat("Man", 38), k76 + "\r\n" + k76 + "\r\n"},
    };
    for (const auto& [input, expected] : base64Vectors)
        EXPECT_EQ(Capture([&](FILE* f) { EncodeBase64(input.data(), input.size(), f); }), expected)
            << input.size() << " bytes";

    const std::string a72(72, 'a'), a73(73, 'a');
    std::vector<Vector> qpVectors = {
        {"", ""},
        {"caf\xe9\n", "caf=E9\n"},
        {"ab\r\ncd\r\n", "ab\r\ncd\r\n"},
        // No soft break between the CR and LF of a line end.
        {a72 + "\r\n", a72 + "\r\n"},
        {a72 + "\rb", a72 + "\r=\r\nb=\r\n"},
        {a72 + "\r", a72 + "\r=\r\n"},
        {a73 + "\r\n", a73 + "=\r\n\r\n"},
        {a73 + "a", a73 + "=\r\na=\r\n"},
        {"line \nx", "line =\n\nx=\r\n"},
        {"1234567 \nx", "1234567 =\n\nx=\r\n"},  // the blank ends an eight-byte run
        {"a\t\n", "a\t=\n\n"},
        {"a \r\n", "a \r\n"},
        {"end\t", "end\t=\r\n"},
        {std::string(69, 'a') + "=b", std::string(69, 'a') + "=3Db=\r\n"},
        {std::string(70, 'a') + "=b", std::string(70, 'a') + "=3D=\r\nb=\r\n"},
        {a72 + " \n", a72 + " =\r\n\n"},
        {"\xa0\n", "=A0\n"},  // an escape before LF is no blank
    };
    for (int b = 0; b < 256; ++b) {  // each byte alone: itself, or "=" and two hex digits
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "=%02X", b);
        const Bytes plain(1, static_cast<char>(b));
        const bool bPlain = b == '\t' || b == '\r' || (b >= ' ' && b <= '~' && b != '=');
        if (b != '\n') qpVectors.push_back({plain, (bPlain ? plain : escaped) + std::string("=\r\n")});
    }
    for (const auto& [input, expected] : qpVectors)
        EXPECT_EQ(Capture([&](FILE* f) { EncodeQuotedPrintable(input.data(), input.size(), f); }), expected)
            << input;
}

// Byte by byte the encoders take their simplest path; whole lines and
// eight-byte runs must give the same bytes, whatever the piece sizes.
TEST(TransferEncoderStreamingTest, AnyPieceSizesGiveTheByteAtATimeResult)
{
    std::mt19937 rng(20261207);
    for (int kind = 0; kind < 3; ++kind) {  // base64 of binary, quoted-printable of text and of binary
        auto encode = [&](const Bytes& source, size_t piece) {
            return kind == 0 ? Encode<Base64Encoder>(source, piece, &rng)
                             : Encode<QuotedPrintableEncoder>(source, piece, &rng);
        };
        const Bytes source = RandomSource(rng, 700, kind == 1);
        const std::string single = encode(source, 1);
        for (size_t piece = 2; piece <= source.size(); ++piece)
            ASSERT_EQ(encode(source, piece), single) << kind << ", pieces of " << piece;
        for (size_t length = 0; length < 400; ++length) {
            const Bytes shorter = RandomSource(rng, length, kind == 1);
            const std::string expected = encode(shorter, 1);
            ASSERT_EQ(encode(shorter, length + 1), expected) << kind << ", length " << length;
            ASSERT_EQ(encode(shorter, 0), expected) << kind << ", length " << length;
            ASSERT_LE(LongestLine(expected), 76u) << kind << ", length " << length;
        }
    }
}

// The file forms read in chunks; a source longer than one chunk comes out as
// the text form makes it. A failed read or write is no success.
TEST(TransferEncoderFileTest, FileSourcesMatchTextAndReportFailures)
{
    std::mt19937 rng(3);
    for (bool bBase64 : {true, false}) {
        auto encode = [&](FILE* pIn, FILE* pOut) {
            return bBase64 ? EncodeBase64(pIn, pOut) : EncodeQuotedPrintable(pIn, pOut);
        };
        const Bytes source = RandomSource(rng, bBase64 ? 57 * 1024 * 2 + 5 : 150000, !bBase64);
        FILE* pIn = std::tmpfile();
        std::fwrite(source.data(), 1, source.size(), pIn);
        std::rewind(pIn);
        bool bOk = false;
        EXPECT_EQ(Capture([&](FILE* pOut) { bOk = encode(pIn, pOut); }), Capture([&](FILE* pOut) {
                      bBase64 ? EncodeBase64(source.data(), source.size(), pOut)
                              : EncodeQuotedPrintable(source.data(), source.size(), pOut);
                  }));
        EXPECT_TRUE(bOk);

        // A failed write stops the encoder at once; a failed read ends the
        // source there and is reported.
        for (faults::Call fault : {faults::Call::kWriteFile, faults::Call::kReadFile}) {
            FILE* pOut = std::tmpfile();
            faults::FaultyCalls calls;
            calls.Fail(fault, 1);
            std::rewind(pIn);
            if (fault == faults::Call::kWriteFile) {
                EXPECT_THROW(encode(pIn, pOut), WriteFailed);
            } else {
                EXPECT_FALSE(encode(pIn, pOut));
                EXPECT_EQ(std::ftell(pOut), 0L);  // an empty source encodes to nothing
            }
            std::fclose(pOut);
        }
        std::fclose(pIn);
    }
}

}  // namespace

#include "Encoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Runs `write` against a temporary file and returns what it wrote.
std::string Capture(const std::function<void(FILE*)>& write)
{
    FILE* pFile = tmpfile();
    if (pFile == nullptr) {
        ADD_FAILURE() << "tmpfile failed";
        return {};
    }
    write(pFile);
    EXPECT_EQ(ferror(pFile), 0);
    std::string result;
    rewind(pFile);
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pFile)) > 0) result.append(chunk, n);
    fclose(pFile);
    return result;
}

FILE* TempFileHolding(const Bytes& data)
{
    FILE* pFile = tmpfile();
    if (pFile != nullptr) {
        fwrite(data.data(), 1, data.size(), pFile);
        rewind(pFile);
    }
    return pFile;
}

const unsigned char* U(const Bytes& data)
{
    return reinterpret_cast<const unsigned char*>(data.data());
}

// Reference encoders written straight from the byte-at-a-time rules.
std::string ReferenceBase64(const Bytes& in)
{
    std::string out;
    int line = 0;
    for (size_t i = 0; i < in.size(); i += 3) {
        const size_t n = std::min<size_t>(3, in.size() - i);
        const unsigned b1 = static_cast<unsigned char>(in[i]);
        const unsigned b2 = n > 1 ? static_cast<unsigned char>(in[i + 1]) : 0;
        const unsigned b3 = n > 2 ? static_cast<unsigned char>(in[i + 2]) : 0;
        out += kAlphabet[b1 >> 2];
        out += kAlphabet[((b1 & 3) << 4) | (b2 >> 4)];
        if (n == 1) {
            out += "==";
        } else if (n == 2) {
            out += kAlphabet[((b2 & 15) << 2) | (b3 >> 6)];
            out += '=';
        } else {
            out += kAlphabet[((b2 & 15) << 2) | (b3 >> 6)];
            out += kAlphabet[b3 & 63];
        }
        line += 4;
        if (line > 75) {
            out += "\r\n";
            line = 0;
        }
    }
    if (line != 0) out += "\r\n";
    return out;
}

std::string ReferenceQuotedPrintable(const Bytes& in)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    int column = 0;
    unsigned char previous = 0xFF;
    bool breakAfterCR = false;  // a CR crossed column 72: break unless LF follows
    for (unsigned char b : in) {
        if (breakAfterCR) {
            breakAfterCR = false;
            if (b != '\n') {
                out += "=\r\n";
                column = 0;
                previous = '\n';
            }
        }
        if (b == '\n') {
            if (previous == ' ' || previous == '\t') out += "=\n";
            out += '\n';
            column = 0;
            previous = '\n';
            continue;
        }
        if (b == '\t' || b == '\r' || (b >= 0x20 && b <= 0x7E && b != '=')) {
            out += static_cast<char>(b);
            column += 1;
            previous = b;
        } else {
            out += '=';
            out += hex[b >> 4];
            out += hex[b & 15];
            column += 3;
            previous = 'A';
        }
        if (column > 72 && b == '\r') {
            breakAfterCR = true;
        } else if (column > 72) {
            out += "=\r\n";
            column = 0;
            previous = '\n';
        }
    }
    if (column != 0) out += "=\r\n";
    return out;
}

// Decoders for the round trips.
Bytes DecodeBase64(const std::string& text)
{
    Bytes out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '=') continue;
        const char* pos = std::strchr(kAlphabet, c);
        if (pos == nullptr || c == '\0') {
            ADD_FAILURE() << "not a base64 character: " << int(c);
            return out;
        }
        value = (value << 6) | unsigned(pos - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

Bytes DecodeQuotedPrintable(const std::string& text)
{
    Bytes out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
        } else if (text.compare(i, 3, "=\r\n") == 0) {
            i += 2;
        } else if (text.compare(i, 2, "=\n") == 0) {
            i += 1;
        } else if (i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            ADD_FAILURE() << "truncated escape at " << i;
        }
    }
    return out;
}

// Longest line between line feeds, not counting the CR of a CR LF.
size_t LongestLine(const std::string& text)
{
    size_t longest = 0, start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            size_t length = i - start;
            if (length > 0 && text[i - 1] == '\r') --length;
            longest = std::max(longest, length);
            start = i + 1;
        }
    }
    return longest;
}

Bytes Repeat(const Bytes& unit, size_t count)
{
    Bytes out;
    for (size_t i = 0; i < count; ++i) out += unit;
    return out;
}

Bytes RandomBytes(std::mt19937& rng, size_t length)
{
    Bytes out(length, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

// Text full of what the quoted-printable rules care about: blanks before line
// ends, CR LF and bare LF, "=", control and high bytes, and lines long enough
// to need soft breaks.
Bytes RandomQpText(std::mt19937& rng, size_t length)
{
    static const char specials[] = {' ', '\t', '\r', '\n', '=', '\x7f', '\0', '\xe9', '\xff', '\x0c'};
    Bytes out;
    while (out.size() < length) {
        const unsigned pick = rng() % 100;
        if (pick < 70)
            out += static_cast<char>('a' + rng() % 26);
        else if (pick < 75)
            out += "\r\n";
        else
            out += specials[rng() % sizeof specials];
    }
    out.resize(length);
    return out;
}

template <typename Encoder>
std::string EncodeInPieces(const Bytes& in, size_t pieceSize)
{
    return Capture([&](FILE* pOut) {
        Encoder encoder(pOut);
        for (size_t i = 0; i < in.size(); i += pieceSize)
            encoder.Write(U(in) + i, std::min(pieceSize, in.size() - i));
        encoder.Finish();
    });
}

struct Vector {
    const char* name;
    Bytes input;
    std::string expected;
};

const std::string k76 = Repeat("TWFu", 19);  // "Man" x 19, one full line

TEST(Base64EncoderTest, MatchesHandComputedVectors)
{
    const Vector vectors[] = {
        {"empty", "", ""},
        {"1 byte", "M", "TQ==\r\n"},
        {"2 bytes", "Ma", "TWE=\r\n"},
        {"3 bytes", "Man", "TWFu\r\n"},
        {"top of the alphabet", "\xfb\xff", "+/8=\r\n"},
        {"all ones", "\xff\xff\xff\xff", "/////w==\r\n"},
        {"56 bytes", Repeat("Man", 18) + "Ma", Repeat("TWFu", 18) + "TWE=\r\n"},
        {"57 bytes", Repeat("Man", 19), k76 + "\r\n"},
        {"58 bytes", Repeat("Man", 19) + "M", k76 + "\r\nTQ==\r\n"},
        {"114 bytes", Repeat("Man", 38), k76 + "\r\n" + k76 + "\r\n"},
        {"zero bytes", Bytes(4, '\0'), "AAAAAA==\r\n"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(Capture([&](FILE* f) { EncodeBase64(v.input.data(), v.input.size(), f); }), v.expected)
            << v.name;
        EXPECT_EQ(ReferenceBase64(v.input), v.expected) << "reference, " << v.name;
    }
}

TEST(QuotedPrintableEncoderTest, MatchesHandComputedVectors)
{
    const std::string a72(72, 'a'), a73(73, 'a'), a69(69, 'a'), a70(70, 'a');
    const Vector vectors[] = {
        {"empty", "", ""},
        {"equals sign", "=", "=3D=\r\n"},
        {"DEL and e-acute", "\x7f\xe9", "=7F=E9=\r\n"},
        {"NUL and form feed", Bytes("\0\x0c", 2), "=00=0C=\r\n"},
        {"ends in a line feed", "caf\xe9\n", "caf=E9\n"},
        {"CR LF line ends", "ab\r\ncd\r\n", "ab\r\ncd\r\n"},
        // No soft break between the CR and LF of a line end: it would leave
        // a stray CR in the decoded text once the wire makes the LF a CR LF.
        {"72 columns then CR LF", a72 + "\r\n", a72 + "\r\n"},
        {"72 columns then CR alone", a72 + "\rb", a72 + "\r=\r\nb=\r\n"},
        {"72 columns then CR at the end", a72 + "\r", a72 + "\r=\r\n"},
        {"73 columns then CR LF", a73 + "\r\n", a73 + "=\r\n\r\n"},
        {"74 columns", a73 + "a", a73 + "=\r\na=\r\n"},
        {"space before bare LF", "line \nx", "line =\n\nx=\r\n"},
        {"tab before bare LF", "a\t\n", "a\t=\n\n"},
        {"space before CR LF", "a \r\n", "a \r\n"},
        {"blank at the very end", "end\t", "end\t=\r\n"},
        {"escape reaching column 72", a69 + "=b", a69 + "=3Db=\r\n"},
        {"escape crossing column 72", a70 + "=b", a70 + "=3D=\r\nb=\r\n"},
        {"space at column 73 then LF", a72 + " \n", a72 + " =\r\n\n"},
        {"escape before LF is no blank", "\xa0\n", "=A0\n"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(Capture([&](FILE* f) { EncodeQuotedPrintable(v.input.data(), v.input.size(), f); }),
                  v.expected)
            << v.name;
        EXPECT_EQ(ReferenceQuotedPrintable(v.input), v.expected) << "reference, " << v.name;
    }
}

// Whatever the sizes of the pieces, the output equals the byte-at-a-time result.
TEST(TransferEncoderStreamingTest, EveryPieceSizeGivesTheWholeResult)
{
    std::mt19937 rng(20261207);
    const Bytes binary = RandomBytes(rng, 400);
    const Bytes text = RandomQpText(rng, 700);
    const std::string base64 = ReferenceBase64(binary);
    const std::string qp = ReferenceQuotedPrintable(text);
    for (size_t piece = 1; piece <= binary.size(); ++piece)
        ASSERT_EQ(EncodeInPieces<Base64Encoder>(binary, piece), base64) << "base64, pieces of " << piece;
    for (size_t piece = 1; piece <= text.size(); ++piece)
        ASSERT_EQ(EncodeInPieces<QuotedPrintableEncoder>(text, piece), qp) << "qp, pieces of " << piece;
}

// Random sources of every length around the line boundaries, in random
// pieces, decode back to the source and keep lines within 76 characters.
TEST(TransferEncoderStreamingTest, RandomSourcesRoundTrip)
{
    std::mt19937 rng(7);
    for (size_t length = 0; length < 400; ++length) {
        const Bytes binary = RandomBytes(rng, length);
        const Bytes text = RandomQpText(rng, length);
        const std::vector<std::pair<Bytes, bool>> cases = {{binary, true}, {text, false}, {binary, false}};
        for (const auto& [source, isBase64] : cases) {
            const std::string encoded = Capture([&](FILE* pOut) {
                Base64Encoder base64(pOut);
                QuotedPrintableEncoder qp(pOut);
                for (size_t i = 0; i < source.size();) {
                    const size_t n = std::min<size_t>(1 + rng() % 90, source.size() - i);
                    isBase64 ? base64.Write(U(source) + i, n) : qp.Write(U(source) + i, n);
                    i += n;
                }
                isBase64 ? base64.Finish() : qp.Finish();
            });
            const char* kind = isBase64 ? "base64" : "qp";
            ASSERT_EQ(encoded, isBase64 ? ReferenceBase64(source) : ReferenceQuotedPrintable(source))
                << kind << ", length " << length;
            ASSERT_EQ(isBase64 ? DecodeBase64(encoded) : DecodeQuotedPrintable(encoded), source)
                << kind << ", length " << length;
            ASSERT_LE(LongestLine(encoded), 76u) << kind << ", length " << length;
        }
    }
}

// The file forms read in large chunks; a source longer than one chunk must
// come out exactly as the text form does.
TEST(TransferEncoderFileTest, FileSourceMatchesTextSource)
{
    std::mt19937 rng(3);
    const Bytes binary = RandomBytes(rng, 57 * 1024 * 2 + 5);
    const Bytes text = RandomQpText(rng, 150000);
    for (bool isBase64 : {true, false}) {
        const Bytes& source = isBase64 ? binary : text;
        FILE* pIn = TempFileHolding(source);
        ASSERT_NE(pIn, nullptr);
        bool ok = false;
        const std::string encoded = Capture(
            [&](FILE* pOut) { ok = isBase64 ? EncodeBase64(pIn, pOut) : EncodeQuotedPrintable(pIn, pOut); });
        fclose(pIn);
        EXPECT_TRUE(ok);
        EXPECT_EQ(encoded, isBase64 ? ReferenceBase64(source) : ReferenceQuotedPrintable(source));
    }
}

TEST(TransferEncoderFileTest, FailuresAreNotReportedAsSuccess)
{
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("quillnet-encoders-" + std::to_string(std::random_device{}())))
                                 .string();
    const Bytes source(200000, 'x');
    for (bool isBase64 : {true, false}) {
        auto encode = [&](FILE* pIn, FILE* pOut) {
            return isBase64 ? EncodeBase64(pIn, pOut) : EncodeQuotedPrintable(pIn, pOut);
        };
        FILE* pCreate = fopen(path.c_str(), "wb");
        ASSERT_NE(pCreate, nullptr);
        fclose(pCreate);

        // Output that cannot be written: the stream keeps the error for the caller.
        FILE* pIn = TempFileHolding(source);
        FILE* pReadOnly = fopen(path.c_str(), "rb");
        ASSERT_NE(pIn, nullptr);
        ASSERT_NE(pReadOnly, nullptr);
        EXPECT_FALSE(encode(pIn, pReadOnly));
        EXPECT_NE(ferror(pReadOnly), 0);
        fclose(pReadOnly);
        fclose(pIn);

        // Source that cannot be read: an error, not an empty attachment.
        FILE* pWriteOnly = fopen(path.c_str(), "wb");
        ASSERT_NE(pWriteOnly, nullptr);
        std::string encoded = Capture([&](FILE* pOut) { EXPECT_FALSE(encode(pWriteOnly, pOut)); });
        EXPECT_EQ(encoded, "");
        fclose(pWriteOnly);
    }
    std::remove(path.c_str());
}

}  // namespace

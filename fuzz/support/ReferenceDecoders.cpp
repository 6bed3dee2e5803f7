#include "support/ReferenceDecoders.h"

#include <cstring>

namespace fuzzsupport {

namespace {

constexpr size_t kMaxBase64Line = 76;
constexpr size_t kMaxQuotedPrintableLine = 76;

int Base64Value(char c)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* p = c ? std::strchr(kAlphabet, c) : nullptr;
    return p ? static_cast<int>(p - kAlphabet) : -1;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> DecodeBase64Lines(const std::string& encoded)
{
    std::string decoded;
    bool bSeenShortLine = false;
    bool bSeenPadding = false;
    size_t nPos = 0;
    while (nPos < encoded.size()) {
        size_t nEnd = encoded.find("\r\n", nPos);
        if (nEnd == std::string::npos) return std::nullopt;  // every line ends in CR LF
        const std::string line = encoded.substr(nPos, nEnd - nPos);
        nPos = nEnd + 2;
        // Only the last line may be short, and no line is empty.
        if (bSeenShortLine || line.empty() || line.size() > kMaxBase64Line || line.size() % 4 != 0)
            return std::nullopt;
        if (line.size() < kMaxBase64Line) bSeenShortLine = true;
        for (size_t i = 0; i < line.size(); i += 4) {
            if (bSeenPadding) return std::nullopt;  // padding ends the text
            int v[4];
            int nPadding = 0;
            for (int k = 0; k < 4; ++k) {
                char c = line[i + k];
                if (c == '=' && k >= 2) {
                    v[k] = 0;
                    ++nPadding;
                } else {
                    if (nPadding > 0) return std::nullopt;  // "=" only at the end of a group
                    v[k] = Base64Value(c);
                    if (v[k] < 0) return std::nullopt;
                }
            }
            unsigned bits = (unsigned(v[0]) << 18) | (unsigned(v[1]) << 12) | (unsigned(v[2]) << 6) | unsigned(v[3]);
            decoded += static_cast<char>((bits >> 16) & 0xFF);
            if (nPadding < 2) decoded += static_cast<char>((bits >> 8) & 0xFF);
            if (nPadding < 1) decoded += static_cast<char>(bits & 0xFF);
            // The bits that padding stands for must be zero: one text, one encoding.
            if ((nPadding == 1 && (bits & 0xFF) != 0) || (nPadding == 2 && (bits & 0xFFFF) != 0))
                return std::nullopt;
            if (nPadding > 0) bSeenPadding = true;
        }
        if (bSeenPadding) bSeenShortLine = true;
    }
    return decoded;
}

std::optional<std::string> DecodeQuotedPrintable(const std::string& encoded)
{
    // Line lengths first, on the encoded text as it would travel.
    size_t nLineStart = 0;
    for (size_t i = 0; i <= encoded.size(); ++i) {
        if (i == encoded.size() || encoded[i] == '\n') {
            size_t nLength = i - nLineStart;
            if (i < encoded.size() && nLength > 0 && encoded[i - 1] == '\r') --nLength;
            if (nLength > kMaxQuotedPrintableLine) return std::nullopt;
            nLineStart = i + 1;
        }
    }

    std::string decoded;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(encoded[i]);
        if (c == '=') {
            if (encoded.compare(i + 1, 2, "\r\n") == 0) {
                i += 2;
            } else if (i + 1 < encoded.size() && encoded[i + 1] == '\n') {
                i += 1;
            } else {
                if (i + 2 >= encoded.size()) return std::nullopt;
                int hi = HexValue(encoded[i + 1]);
                int lo = HexValue(encoded[i + 2]);
                if (hi < 0 || lo < 0) return std::nullopt;
                const int b = hi * 16 + lo;
                // A byte that may stand for itself is never escaped.
                if (b == '\t' || b == '\r' || (b >= 0x20 && b <= 0x7E && b != '=')) return std::nullopt;
                decoded += static_cast<char>(b);
                i += 2;
            }
        } else if (c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c <= 0x7E)) {
            decoded += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    return decoded;
}

}  // namespace fuzzsupport

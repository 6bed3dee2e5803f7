#include "Encoders.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "MessageOutput.h"
#include "platform/SystemCalls.h"

namespace {

// Size of each encoder's output buffer; large enough that fwrite hands whole
// blocks to the operating system instead of copying into the stream's buffer.
constexpr size_t kOutputBufferSize = 64 * 1024;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Base64 line geometry: 19 groups of 3 source bytes make 76 characters.
constexpr int kBase64LineLength = 76;
constexpr size_t kBase64LineSource = 57;
constexpr size_t kBase64LineOutput = kBase64LineLength + 2;

// The two characters for each 12-bit half of a group, so one lookup does the
// work of two.
struct CharPair {
    char chars[2];
};
constexpr std::array<CharPair, 4096> MakePairTable()
{
    std::array<CharPair, 4096> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i].chars[0] = kAlphabet[i >> 6];
        table[i].chars[1] = kAlphabet[i & 63];
    }
    return table;
}
constexpr std::array<CharPair, 4096> kPairs = MakePairTable();

inline void EncodeFullGroup(const unsigned char* pGroup, char* pOut)
{
    const uint32_t value = (uint32_t{pGroup[0]} << 16) | (uint32_t{pGroup[1]} << 8) | pGroup[2];
    std::memcpy(pOut, kPairs[value >> 12].chars, 2);
    std::memcpy(pOut + 2, kPairs[value & 0xFFF].chars, 2);
}

// Bytes p[0..7] as one big-endian number; compilers turn this into a single
// load and byte swap.
inline uint64_t LoadBigEndian64(const unsigned char* p)
{
    return (uint64_t{p[0]} << 56) | (uint64_t{p[1]} << 48) | (uint64_t{p[2]} << 40) | (uint64_t{p[3]} << 32) |
           (uint64_t{p[4]} << 24) | (uint64_t{p[5]} << 16) | (uint64_t{p[6]} << 8) | uint64_t{p[7]};
}

// One whole line: 57 source bytes to 76 characters and CR LF. Two groups per
// step from one 8-byte load; the last load ends at byte 55, inside the line.
inline void EncodeFullLine(const unsigned char* pSource, char* pOut)
{
    for (int step = 0; step < 9; ++step) {
        const uint64_t bits = LoadBigEndian64(pSource);
        std::memcpy(pOut, kPairs[(bits >> 52) & 0xFFF].chars, 2);
        std::memcpy(pOut + 2, kPairs[(bits >> 40) & 0xFFF].chars, 2);
        std::memcpy(pOut + 4, kPairs[(bits >> 28) & 0xFFF].chars, 2);
        std::memcpy(pOut + 6, kPairs[(bits >> 16) & 0xFFF].chars, 2);
        pSource += 6;
        pOut += 8;
    }
    EncodeFullGroup(pSource, pOut);
    pOut[4] = '\r';
    pOut[5] = '\n';
}

// What each byte becomes in quoted-printable: itself (tab, CR, printable
// ASCII other than "="), or "=" and two hex digits. The line feed has a
// length of 0 and is handled apart. `previous` is what the blank test before
// a line feed sees afterwards: the byte itself, or kNotBlank for an escape.
struct alignas(8) QpCode {
    char chars[4];  // padded so that every byte is copied with one 4-byte store
    unsigned char length;
    unsigned char previous;
};

// Stands for "an ordinary letter" as the byte before a line feed: an encoded
// byte's three characters end in a hex digit, never in a blank.
constexpr unsigned char kNotBlank = 0xFF;

constexpr std::array<QpCode, 256> MakeQpCodeTable()
{
    std::array<QpCode, 256> table{};
    for (size_t b = 0; b < table.size(); ++b) {
        QpCode& code = table[b];
        if (b == 0x0A) {
            code.length = 0;
        } else if (b == 0x09 || b == 0x0D || (b >= 0x20 && b <= 0x7E && b != '=')) {
            code.chars[0] = static_cast<char>(b);
            code.length = 1;
            code.previous = static_cast<unsigned char>(b);
        } else {
            code.chars[0] = '=';
            code.chars[1] = kHexDigits[b >> 4];
            code.chars[2] = kHexDigits[b & 15];
            code.length = 3;
            code.previous = kNotBlank;
        }
    }
    return table;
}
constexpr std::array<QpCode, 256> kQpCodes = MakeQpCodeTable();

constexpr int kQpMaxColumn = 72;

// True when all eight bytes of `word` are printable ASCII other than "=":
// the common run of plain text, copied eight bytes at a time. Each test sets
// a byte's high bit exactly when some byte of the word fails it.
inline bool AllPlainPrintable(uint64_t word)
{
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighBits = kOnes * 0x80;
    const uint64_t below = (word - kOnes * 0x20) & ~word;          // a byte under 0x20
    const uint64_t above = (word + kOnes * (0x7F - 0x7E)) | word;  // a byte over 0x7E
    const uint64_t equals = word ^ (kOnes * '=');
    const uint64_t isEquals = (equals - kOnes) & ~equals;  // a byte that was "="
    return ((below | above | isEquals) & kHighBits) == 0;
}

// The most one quoted-printable step can add: eight bytes, each escaped and
// written with a 4-byte store, and the line breaks between them.
constexpr size_t kQpMaxStepOutput = 8 * (4 + 3) + 3;

// "=" CR LF: the soft line break, after which the line starts anew.
inline void SoftBreakAt(char*& pOut, int& column, unsigned char& previous)
{
    *pOut++ = '=';
    *pOut++ = '\r';
    *pOut++ = '\n';
    column = 0;
    previous = '\n';
}

// Source chunk for the file forms: a whole number of base64 lines, so the
// encoder takes its whole-line path on every chunk but the last.
constexpr size_t kFileChunkSize = kBase64LineSource * 1024;

}  // namespace

// ---------------------------------------------------------------------------
// Base64

Base64Encoder::Base64Encoder(FILE* pOut) : m_pOut(pOut) {}

void Base64Encoder::Flush()
{
    if (m_nBuffered > 0) {
        WriteAsciiBytes(m_pOut, m_pBuffer.get(), m_nBuffered);
        m_nBuffered = 0;
    }
}

void Base64Encoder::EndLine()
{
    m_pBuffer[m_nBuffered++] = '\r';
    m_pBuffer[m_nBuffered++] = '\n';
    m_nLineLength = 0;
}

void Base64Encoder::EncodeGroup(const unsigned char* pGroup)
{
    if (kOutputBufferSize - m_nBuffered < 6) Flush();
    EncodeFullGroup(pGroup, m_pBuffer.get() + m_nBuffered);
    m_nBuffered += 4;
    m_nLineLength += 4;
    if (m_nLineLength >= kBase64LineLength) EndLine();
}

void Base64Encoder::Write(const unsigned char* pData, size_t nLength)
{
    if (nLength == 0) return;
    if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);

    // Complete a group left over from the previous Write.
    if (m_nPending > 0) {
        while (m_nPending < 3 && nLength > 0) {
            m_pending[m_nPending++] = *pData++;
            --nLength;
        }
        if (m_nPending < 3) return;
        EncodeGroup(m_pending);
        m_nPending = 0;
    }

    // Fill the current line group by group, then go line by line.
    while (m_nLineLength != 0 && nLength >= 3) {
        EncodeGroup(pData);
        pData += 3;
        nLength -= 3;
    }
    while (nLength >= kBase64LineSource) {
        if (kOutputBufferSize - m_nBuffered < kBase64LineOutput) Flush();
        EncodeFullLine(pData, m_pBuffer.get() + m_nBuffered);
        pData += kBase64LineSource;
        m_nBuffered += kBase64LineOutput;
        nLength -= kBase64LineSource;
    }
    while (nLength >= 3) {
        EncodeGroup(pData);
        pData += 3;
        nLength -= 3;
    }

    // Only the last group of the whole source may be short, so keep 1 or 2
    // bytes until more arrive or Finish says there is no more.
    while (nLength > 0) {
        m_pending[m_nPending++] = *pData++;
        --nLength;
    }
}

void Base64Encoder::Finish()
{
    if (m_nPending > 0 || m_nLineLength != 0) {
        if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);
        if (kOutputBufferSize - m_nBuffered < 6) Flush();
        if (m_nPending > 0) {
            const unsigned char b1 = m_pending[0];
            const unsigned char b2 = m_nPending > 1 ? m_pending[1] : 0;
            char* pOut = m_pBuffer.get() + m_nBuffered;
            pOut[0] = kAlphabet[b1 >> 2];
            pOut[1] = kAlphabet[((b1 & 3) << 4) | (b2 >> 4)];
            pOut[2] = m_nPending > 1 ? kAlphabet[(b2 & 15) << 2] : '=';
            pOut[3] = '=';
            m_nBuffered += 4;
            m_nLineLength += 4;
            m_nPending = 0;
        }
        // The short group may complete a line; either way exactly one line end follows.
        EndLine();
    }
    Flush();
}

// ---------------------------------------------------------------------------
// Quoted-printable

QuotedPrintableEncoder::QuotedPrintableEncoder(FILE* pOut) : m_pOut(pOut) {}

void QuotedPrintableEncoder::Flush()
{
    if (m_nBuffered > 0) {
        WriteAsciiBytes(m_pOut, m_pBuffer.get(), m_nBuffered);
        m_nBuffered = 0;
    }
}

void QuotedPrintableEncoder::Write(const unsigned char* pData, size_t nLength)
{
    if (nLength == 0) return;
    if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);

    // State lives in locals here: stores through the char output pointer may
    // alias the members, which would force a reload after every byte.
    char* const pBuffer = m_pBuffer.get();
    char* const pFlushAt = pBuffer + kOutputBufferSize - kQpMaxStepOutput;
    char* pOut = pBuffer + m_nBuffered;
    int column = m_nColumn;
    unsigned char previous = m_previous;
    bool breakAfterCR = m_bBreakAfterCR;
    const unsigned char* const pEnd = pData + nLength;

    while (pData < pEnd) {
        if (pOut > pFlushAt) {
            m_nBuffered = static_cast<size_t>(pOut - pBuffer);
            Flush();
            pOut = pBuffer;
        }
        // Plain text goes eight bytes at a time while they fit on the line;
        // eight bytes that are not all plain go byte by byte before the next
        // try, so text with many escapes does not pay for a failed test per byte.
        const unsigned char* pStepEnd = pData + 1;
        if (!breakAfterCR && column <= kQpMaxColumn + 1 - 8 && pEnd - pData >= 8) {
            uint64_t word;
            std::memcpy(&word, pData, 8);
            if (AllPlainPrintable(word)) {
                std::memcpy(pOut, &word, 8);
                pOut += 8;
                column += 8;
                previous = pData[7];
                pData += 8;
                if (column > kQpMaxColumn) SoftBreakAt(pOut, column, previous);
                continue;
            }
            pStepEnd = pData + 8;
        }
        while (pData < pStepEnd) {
            // A CR that crossed the column limit is followed by its soft
            // break only when no LF follows: a break between CR and LF would
            // leave a stray CR in the decoded text once the LF goes out as CR LF.
            if (breakAfterCR) {
                breakAfterCR = false;
                if (*pData != '\n') SoftBreakAt(pOut, column, previous);
            }
            const QpCode& code = kQpCodes[*pData++];
            if (code.length == 0) {
                // A blank right before a line end would be lost in transport;
                // a bare-LF soft break protects it.
                if (previous == ' ' || previous == '\t') {
                    *pOut++ = '=';
                    *pOut++ = '\n';
                }
                *pOut++ = '\n';
                column = 0;
                previous = '\n';
                continue;
            }
            std::memcpy(pOut, code.chars, 4);
            pOut += code.length;
            column += code.length;
            previous = code.previous;
            if (column > kQpMaxColumn) {
                if (pData[-1] == '\r')
                    breakAfterCR = true;
                else
                    SoftBreakAt(pOut, column, previous);
            }
        }
    }

    m_nBuffered = static_cast<size_t>(pOut - pBuffer);
    m_nColumn = column;
    m_previous = previous;
    m_bBreakAfterCR = breakAfterCR;
}

void QuotedPrintableEncoder::Finish()
{
    if (m_nColumn != 0) {
        if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);
        if (kOutputBufferSize - m_nBuffered < 3) Flush();
        char* pOut = m_pBuffer.get() + m_nBuffered;
        SoftBreakAt(pOut, m_nColumn, m_previous);
        m_nBuffered = static_cast<size_t>(pOut - m_pBuffer.get());
    }
    m_bBreakAfterCR = false;
    Flush();
    m_previous = kNotBlank;
}

// ---------------------------------------------------------------------------
// Whole sources

namespace {

template <typename Encoder>
void EncodeText(const char* pText, size_t nLength, FILE* pOut)
{
    Encoder encoder(pOut);
    if (pText != nullptr) encoder.Write(reinterpret_cast<const unsigned char*>(pText), nLength);
    encoder.Finish();
}

template <typename Encoder>
bool EncodeFile(FILE* pIn, FILE* pOut)
{
    if (pIn == nullptr || pOut == nullptr) return false;
    Encoder encoder(pOut);
    std::unique_ptr<unsigned char[]> pChunk(new unsigned char[kFileChunkSize]);
    long nRead;
    while ((nRead = platform::Calls().readFile(pIn, pChunk.get(), kFileChunkSize)) > 0) {
        encoder.Write(pChunk.get(), static_cast<size_t>(nRead));
    }
    encoder.Finish();
    return nRead == 0;
}

}  // namespace

void EncodeBase64(const char* pText, size_t nLength, FILE* pOut)
{
    EncodeText<Base64Encoder>(pText, nLength, pOut);
}

bool EncodeBase64(FILE* pIn, FILE* pOut)
{
    return EncodeFile<Base64Encoder>(pIn, pOut);
}

void EncodeQuotedPrintable(const char* pText, size_t nLength, FILE* pOut)
{
    EncodeText<QuotedPrintableEncoder>(pText, nLength, pOut);
}

bool EncodeQuotedPrintable(FILE* pIn, FILE* pOut)
{
    return EncodeFile<QuotedPrintableEncoder>(pIn, pOut);
}

#include "Encoders.h"

#include <array>
#include <cstdint>
#include <cstring>

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

// Quoted-printable byte classes. Literal bytes are copied as they are (tab,
// CR, and printable ASCII other than "="); a line feed ends the line; all
// else is written as "=" and two hex digits.
enum QpClass : unsigned char { kLiteral = 0, kLineFeed = 1, kEncoded = 2 };
constexpr std::array<unsigned char, 256> MakeQpClassTable()
{
    std::array<unsigned char, 256> table{};
    for (size_t b = 0; b < table.size(); ++b) {
        if (b == 0x0A)
            table[b] = kLineFeed;
        else if (b == 0x09 || b == 0x0D || (b >= 0x20 && b <= 0x7E && b != '='))
            table[b] = kLiteral;
        else
            table[b] = kEncoded;
    }
    return table;
}
constexpr std::array<unsigned char, 256> kQpClass = MakeQpClassTable();

constexpr int kQpMaxColumn = 72;
// Stands for "an ordinary letter" as the byte before a line feed: an encoded
// byte's three characters end in a hex digit, never in a blank.
constexpr unsigned char kNotBlank = 0xFF;
// The most one quoted-printable step can add: a run of 73 literal bytes and a
// soft break, or one encoded byte and a soft break.
constexpr size_t kQpMaxStepOutput = (kQpMaxColumn + 1) + 3;

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
        fwrite(m_pBuffer.get(), 1, m_nBuffered, m_pOut);
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
        char* pOut = m_pBuffer.get() + m_nBuffered;
        for (size_t group = 0; group < kBase64LineSource / 3; ++group) {
            EncodeFullGroup(pData, pOut);
            pData += 3;
            pOut += 4;
        }
        pOut[0] = '\r';
        pOut[1] = '\n';
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
        fwrite(m_pBuffer.get(), 1, m_nBuffered, m_pOut);
        m_nBuffered = 0;
    }
}

void QuotedPrintableEncoder::SoftBreak()
{
    char* pOut = m_pBuffer.get() + m_nBuffered;
    pOut[0] = '=';
    pOut[1] = '\r';
    pOut[2] = '\n';
    m_nBuffered += 3;
    m_nColumn = 0;
    m_previous = '\n';
}

void QuotedPrintableEncoder::Write(const unsigned char* pData, size_t nLength)
{
    if (nLength == 0) return;
    if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);

    const unsigned char* const pEnd = pData + nLength;
    while (pData < pEnd) {
        if (kOutputBufferSize - m_nBuffered < kQpMaxStepOutput) Flush();
        char* pOut = m_pBuffer.get() + m_nBuffered;
        const unsigned char byte = *pData;

        switch (kQpClass[byte]) {
            case kLiteral: {
                // The column is at most 72 here, so the run may take the line up
                // to column 73, which is where the soft break goes.
                const size_t nRoom = static_cast<size_t>(kQpMaxColumn + 1 - m_nColumn);
                const unsigned char* pLimit =
                    static_cast<size_t>(pEnd - pData) < nRoom ? pEnd : pData + nRoom;
                const unsigned char* pRunEnd = pData + 1;
                while (pRunEnd < pLimit && kQpClass[*pRunEnd] == kLiteral) ++pRunEnd;
                const size_t nRun = static_cast<size_t>(pRunEnd - pData);
                std::memcpy(pOut, pData, nRun);
                m_nBuffered += nRun;
                m_nColumn += static_cast<int>(nRun);
                m_previous = pRunEnd[-1];
                pData = pRunEnd;
                if (m_nColumn > kQpMaxColumn) SoftBreak();
                break;
            }
            case kLineFeed:
                // A blank right before a line end would be lost in transport;
                // a bare-LF soft break protects it.
                if (m_previous == ' ' || m_previous == '\t') {
                    *pOut++ = '=';
                    *pOut++ = '\n';
                    m_nBuffered += 2;
                }
                *pOut = '\n';
                m_nBuffered += 1;
                m_nColumn = 0;
                m_previous = '\n';
                ++pData;
                break;
            default:
                pOut[0] = '=';
                pOut[1] = kHexDigits[byte >> 4];
                pOut[2] = kHexDigits[byte & 15];
                m_nBuffered += 3;
                m_nColumn += 3;
                m_previous = kNotBlank;
                ++pData;
                if (m_nColumn > kQpMaxColumn) SoftBreak();
                break;
        }
    }
}

void QuotedPrintableEncoder::Finish()
{
    if (m_nColumn != 0) {
        if (!m_pBuffer) m_pBuffer.reset(new char[kOutputBufferSize]);
        if (kOutputBufferSize - m_nBuffered < 3) Flush();
        SoftBreak();
    }
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
    size_t nRead;
    // Stop early once the output fails: the message is lost anyway, and the
    // caller learns of it from the stream's error flag.
    while (!ferror(pOut) && (nRead = fread(pChunk.get(), 1, kFileChunkSize, pIn)) > 0) {
        encoder.Write(pChunk.get(), nRead);
    }
    encoder.Finish();
    return !ferror(pIn) && !ferror(pOut);
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

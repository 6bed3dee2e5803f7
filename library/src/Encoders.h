#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// Transfer encoders. They work on blocks but produce exactly the bytes of the
// byte-at-a-time rules: base64 in CR LF lines of 76 characters; quoted-
// printable with soft breaks after column 72. Both keep their state across
// Write calls, so a source may arrive in pieces of any size.
//
// Output is collected in a buffer of the encoder's own and handed to the
// message output (MessageOutput.h) in large blocks; Finish hands over the
// rest. A failed write raises WriteFailed there. Call Finish exactly once per
// source; an encoder that is destroyed without it writes nothing more.

class Base64Encoder {
public:
    explicit Base64Encoder(FILE* pOut);
    void Write(const unsigned char* pData, size_t nLength);
    void Finish();  // writes the last group and the last line end

private:
    void EncodeGroup(const unsigned char* pGroup);
    void EndLine();
    void Flush();

    FILE* m_pOut;
    unsigned char m_pending[3];
    size_t m_nPending = 0;
    int m_nLineLength = 0;
    std::unique_ptr<char[]> m_pBuffer;  // allocated by the first non-empty Write
    size_t m_nBuffered = 0;
};

class QuotedPrintableEncoder {
public:
    explicit QuotedPrintableEncoder(FILE* pOut);
    void Write(const unsigned char* pData, size_t nLength);
    void Finish();  // ends an unfinished line with a soft break

private:
    void Flush();

    FILE* m_pOut;
    int m_nColumn = 0;
    unsigned char m_previous = 0xFF;
    bool m_bBreakAfterCR = false;       // a CR passed column 72; its soft break waits for the next byte
    std::unique_ptr<char[]> m_pBuffer;  // allocated by the first non-empty Write
    size_t m_nBuffered = 0;
};

// Whole sources: a text of exactly nLength bytes (a null text counts as empty),
// or an open file read from its current position to its end. The file forms
// return false when the source could not be read to its end (a read error on
// pIn); what was read before it is still encoded and finished, so the output
// stays well formed.
void EncodeBase64(const char* pText, size_t nLength, FILE* pOut);
bool EncodeBase64(FILE* pIn, FILE* pOut);
void EncodeQuotedPrintable(const char* pText, size_t nLength, FILE* pOut);
bool EncodeQuotedPrintable(FILE* pIn, FILE* pOut);

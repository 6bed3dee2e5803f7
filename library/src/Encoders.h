#pragma once

#include <cstddef>
#include <cstdio>

// Transfer encoders. They work on blocks but produce exactly the bytes of the
// byte-at-a-time rules: base64 in CR LF lines of 76 characters; quoted-
// printable with soft breaks after column 72. Both keep their state across
// Write calls, so a source may arrive in pieces of any size.

class Base64Encoder {
public:
    explicit Base64Encoder(FILE* pOut);
    void Write(const unsigned char* pData, size_t nLength);
    void Finish();  // writes the last group and the last line end

private:
    FILE* m_pOut;
    unsigned char m_pending[3];
    size_t m_nPending = 0;
    int m_nLineLength = 0;
};

class QuotedPrintableEncoder {
public:
    explicit QuotedPrintableEncoder(FILE* pOut);
    void Write(const unsigned char* pData, size_t nLength);
    void Finish();  // ends an unfinished line with a soft break

private:
    FILE* m_pOut;
    int m_nColumn = 0;
    unsigned char m_previous = 0xFF;
};

// Whole sources: a text up to nLength bytes, or an open file read to its end.
void EncodeBase64(const char* pText, size_t nLength, FILE* pOut);
void EncodeBase64(FILE* pIn, FILE* pOut);
void EncodeQuotedPrintable(const char* pText, size_t nLength, FILE* pOut);
void EncodeQuotedPrintable(FILE* pIn, FILE* pOut);

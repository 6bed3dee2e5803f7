// Stub until the encoders land.
#include "Encoders.h"

Base64Encoder::Base64Encoder(FILE* pOut) : m_pOut(pOut) {}
void Base64Encoder::Write(const unsigned char*, size_t) {}
void Base64Encoder::Finish() {}
QuotedPrintableEncoder::QuotedPrintableEncoder(FILE* pOut) : m_pOut(pOut) {}
void QuotedPrintableEncoder::Write(const unsigned char*, size_t) {}
void QuotedPrintableEncoder::Finish() {}
void EncodeBase64(const char*, size_t, FILE*) {}
void EncodeBase64(FILE*, FILE*) {}
void EncodeQuotedPrintable(const char*, size_t, FILE*) {}
void EncodeQuotedPrintable(FILE*, FILE*) {}

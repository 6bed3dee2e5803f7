// Quoted-printable encoder: any bytes, fed in pieces of any size or read from
// a file, decode back to themselves through the reference decoder; no output
// line is longer than 76 characters and the output ends with a line end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "Encoders.h"
#include "support/Check.h"
#include "support/EncoderFeed.h"
#include "support/ReferenceDecoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const fuzzsupport::EncoderFeed feed = fuzzsupport::EncoderFeed::From(input);
    const std::string encoded =
        feed.Encode<QuotedPrintableEncoder>(
        [](const char* pText, size_t nLength, FILE* pOut) { EncodeQuotedPrintable(pText, nLength, pOut); },
        [](FILE* pIn, FILE* pOut) { return EncodeQuotedPrintable(pIn, pOut); });

    FUZZ_CHECK(!feed.source.empty() || encoded.empty(), "an empty source gives no output");
    FUZZ_CHECK(encoded.empty() || encoded.back() == '\n', "the output ends with a line end");
    const auto decoded = fuzzsupport::DecodeQuotedPrintable(encoded);
    FUZZ_CHECK(decoded.has_value(), "the output is well-formed quoted-printable within the line limit");
    FUZZ_CHECK(*decoded == feed.source, "the output decodes to the source");
    return 0;
}

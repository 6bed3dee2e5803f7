// Base64 encoder: any bytes, fed in pieces of any size or read from a file,
// decode back to themselves through the reference decoder, in CR LF lines of
// exactly 76 characters but the last.
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
    const std::string encoded = feed.Encode<Base64Encoder>(
        [](const char* pText, size_t nLength, FILE* pOut) { EncodeBase64(pText, nLength, pOut); },
        [](FILE* pIn, FILE* pOut) { return EncodeBase64(pIn, pOut); });

    FUZZ_CHECK(!feed.source.empty() || encoded.empty(), "an empty source gives no output");
    const auto decoded = fuzzsupport::DecodeBase64Lines(encoded);
    FUZZ_CHECK(decoded.has_value(), "the output is well-formed base64 lines");
    FUZZ_CHECK(*decoded == feed.source, "the output decodes to the source");
    return 0;
}

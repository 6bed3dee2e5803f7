#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "support/MemoryStream.h"

namespace fuzzsupport {

// How a fuzz input reaches an encoder: the bytes, and whether they come as
// one text, as a file, or in pieces whose sizes a seed from the input picks,
// so that the encoder's state across Write calls is exercised too.
struct EncoderFeed {
    enum Way { kText, kFile, kPieces };
    Way way = kText;
    uint32_t pieceSeed = 0;
    std::string source;

    static EncoderFeed From(FuzzedDataProvider& input)
    {
        EncoderFeed feed;
        feed.way = static_cast<Way>(input.ConsumeIntegralInRange<int>(0, 2));
        feed.pieceSeed = input.ConsumeIntegral<uint32_t>();
        feed.source = input.ConsumeRemainingBytesAsString();
        return feed;
    }

    template <typename Encoder, typename TextForm, typename FileForm>
    std::string Encode(TextForm encodeText, FileForm encodeFile) const
    {
        return CaptureStream([&](FILE* pOut) {
            switch (way) {
                case kText:
                    encodeText(source.data(), source.size(), pOut);
                    break;
                case kFile: {
                    // fmemopen needs a buffer even for an empty source.
                    std::string copy = source + '\0';
                    FILE* pIn = fmemopen(&copy[0], source.size(), "rb");
                    if (!pIn) std::abort();
                    if (!encodeFile(pIn, pOut)) std::abort();
                    std::fclose(pIn);
                    break;
                }
                case kPieces: {
                    std::minstd_rand pieces(pieceSeed | 1);
                    Encoder encoder(pOut);
                    const auto* pData = reinterpret_cast<const unsigned char*>(source.data());
                    for (size_t i = 0; i < source.size();) {
                        size_t n = std::min<size_t>(pieces() % 80, source.size() - i);  // empty pieces too
                        encoder.Write(pData + i, n);
                        i += n;
                    }
                    encoder.Finish();
                    break;
                }
            }
        });
    }
};

}  // namespace fuzzsupport

// Throughput of the whole-file encoders, reading the files named on the
// command line and writing to the null device, so that a figure covers what a
// message with that attachment costs: reading the file and encoding it.
//
//   encoders BINARY_FILE TEXT_FILE [--benchmark_... flags]
#include "Encoders.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

long long FileSize(const std::string& path)
{
    FILE* pFile = std::fopen(path.c_str(), "rb");
    if (!pFile) return -1;
    std::fseek(pFile, 0, SEEK_END);
    long long size = std::ftell(pFile);
    std::fclose(pFile);
    return size;
}

void EncodeFileToNull(benchmark::State& state, const std::string& path, bool (*encode)(FILE*, FILE*))
{
    const long long size = FileSize(path);
    if (size < 0) {
        state.SkipWithError(("cannot open " + path).c_str());
        return;
    }
    for (auto _ : state) {
        FILE* pIn = std::fopen(path.c_str(), "rb");
        FILE* pOut = std::fopen("/dev/null", "wb");
        const bool ok = pIn && pOut && encode(pIn, pOut);
        if (pIn) std::fclose(pIn);
        if (pOut) std::fclose(pOut);
        if (!ok) {
            state.SkipWithError("encoding failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BINARY_FILE TEXT_FILE [benchmark flags]\n", argv[0]);
        return 2;
    }
    const std::string binary = argv[1];
    const std::string text = argv[2];
    bool (*base64)(FILE*, FILE*) = EncodeBase64;
    bool (*quotedPrintable)(FILE*, FILE*) = EncodeQuotedPrintable;
    benchmark::RegisterBenchmark("EncodeBase64/file", EncodeFileToNull, binary, base64)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("EncodeQuotedPrintable/file", EncodeFileToNull, text, quotedPrintable)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

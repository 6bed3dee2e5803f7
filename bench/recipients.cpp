// Building the To header and the envelope list for many recipients with
// display names. The per-recipient cost must stay flat as the list grows.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "MailUtil.h"

namespace {

void AddToRecipients(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<std::string> names, addresses;
    for (int i = 0; i < count; ++i) {
        names.push_back("Recipient Number " + std::to_string(i));
        addresses.push_back("recipient" + std::to_string(i) + "@example.com");
    }
    for (auto _ : state) {
        CMailUtil session;
        for (int i = 0; i < count; ++i) session.AddTo(names[i].c_str(), addresses[i].c_str());
        benchmark::DoNotOptimize(session.GetHeader("To", ""));
        benchmark::DoNotOptimize(session.m_pszRecipients);
    }
    state.SetComplexityN(count);
}

}  // namespace

BENCHMARK(AddToRecipients)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();

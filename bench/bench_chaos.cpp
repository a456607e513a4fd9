// The chaos campaign of the tests (tests/chaos/ChaosCampaign.h), long: the
// label, receipt, send and firmware jobs through the core and pemberlux-cli
// against printers in chaos mode over TCP, a pty and the fake USB tree, until
// at least 1,000 exchanges had a fault picked. It prints how often each fault
// came and how each round ended; false successes, values not from the wire,
// hangs, crashes and things left behind must all be 0.
// PEMBERLUX_CHAOS_SEED picks another campaign.
#include "../tests/chaos/ChaosCampaign.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>

using namespace pemberlux::test;
using namespace pemberlux::test::chaos;

namespace {

constexpr std::size_t kExchanges = 1000;

void BM_ChaosCampaign(benchmark::State& state) {
    if (!std::filesystem::exists(CliBinary())) {
        state.SkipWithError("pemberlux-cli is not built");
        return;
    }
    const std::uint64_t seed = SeedFromEnv(1);
    for (auto _ : state) {
        Campaign campaign(seed);
        const std::vector<Round> all = Rounds();
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t n = 0; campaign.tally.exchanges < kExchanges; ++n)
            campaign.Run(n, all[n % all.size()]);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const Tally& t = campaign.tally;
        std::cout << "seed " << seed << ", " << seconds << " s: " << t.Report();
        for (const std::string& p : t.problems)
            std::cout << "  " << p << "\n";
        state.counters["rounds"] = static_cast<double>(t.rounds);
        state.counters["exchanges"] = static_cast<double>(t.exchanges);
        state.counters["faults_of_the_program"] = static_cast<double>(t.Faults()); // must be 0
        state.counters["seconds"] = seconds;
    }
}
BENCHMARK(BM_ChaosCampaign)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

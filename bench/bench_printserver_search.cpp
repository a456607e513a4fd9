// A print-server search against simulated print servers on the loopback
// broadcast: the time from Search() to the last row, the time until the search
// is over (500 ms of quiet), and the CPU the channel and its drain used; and how
// long destroying the channel takes while a search runs.
#include "PrintServerSim.h"
#include "core/network/PrintServerChannel.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <memory>

using namespace pemberlux;
using Clock = std::chrono::steady_clock;

namespace {

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_PrintServerSearch(benchmark::State& state) {
    const int servers = static_cast<int>(state.range(0));
    sim::PrintServerSim net(0);
    for (int i = 0; i < servers; ++i)
        net.Add(sim::MakePrintServer(i));
    PrintServerChannel channel(net.Port());

    double lastRowMs = 0, idleMs = 0, channelCpuMs = 0, simCpuMs = 0, rows = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuMs();
        const auto sim0 = net.ThreadCpuTime();
        const auto start = Clock::now();
        if (channel.Search() != PsSearchResult::Started) {
            state.SkipWithError("search did not start");
            return;
        }
        // Drain as the list-fill worker does, without spinning.
        auto lastRow = start;
        int found = 0;
        DiscoveryRecord record;
        for (;;) {
            channel.WaitAnswerOrIdle(std::chrono::milliseconds(100));
            while (channel.PopAnswer(record)) {
                benchmark::DoNotOptimize(record.DeviceName());
                ++found;
                lastRow = Clock::now();
            }
            if (channel.IsIdle() && !channel.PopAnswer(record)) break;
        }
        const auto idle = Clock::now();
        if (found != servers) {
            state.SkipWithError("not every print server was listed");
            return;
        }
        const double sim = std::chrono::duration<double, std::milli>(net.ThreadCpuTime() - sim0).count();
        state.SetIterationTime(std::chrono::duration<double>((found ? lastRow : idle) - start).count());
        lastRowMs += Ms(lastRow - start);
        idleMs += Ms(idle - start);
        channelCpuMs += ProcessCpuMs() - cpu0 - sim;
        simCpuMs += sim;
        rows += found;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["rows"] = rows / n;
    state.counters["last_row_ms"] = lastRowMs / n;
    state.counters["search_over_ms"] = idleMs / n;
    state.counters["channel_cpu_ms"] = channelCpuMs / n;
    state.counters["sim_cpu_ms"] = simCpuMs / n;
}

BENCHMARK(BM_PrintServerSearch)->Arg(0)->Arg(50)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// Closing the search dialog mid-search: how long destroying the channel takes
// while its receiver waits for answers (no print server answers).
void BM_PrintServerChannelDestroyedMidSearch(benchmark::State& state) {
    sim::PrintServerSim net(0);
    for (auto _ : state) {
        auto channel = std::make_unique<PrintServerChannel>(net.Port());
        if (channel->Search() != PsSearchResult::Started) {
            state.SkipWithError("search did not start");
            return;
        }
        channel->WaitIdle(std::chrono::milliseconds(150)); // well inside the quiet 500 ms
        const auto start = Clock::now();
        channel.reset();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_PrintServerChannelDestroyedMidSearch)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

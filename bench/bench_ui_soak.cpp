// The program's window over time and under chaos (tests/chaos/WindowSoak.h),
// long:
// - the soak: the label and receipt pages, the command test page, the
//   firmware page and the Wi-Fi and Bluetooth dialogs against printers in
//   chaos mode for 300 rounds; it prints the faults met and how the GUI
//   thread fared (ticks of a 10 ms timer later than 100 ms: must be 0), and
//   the problems found (must be none);
// - the window doing 5,000 exchanges in one process (label page get and
//   send, command test page text) against the simulated label printer;
// - the fleet inventory (the job pool, 16 at a time) over 200 simulated
//   printers, 200 times in one process.
// For both long runs: resident memory after the warm-up and at the end, open
// descriptors and threads before and after (back to where they were).
// PEMBERLUX_CHAOS_SEED picks another soak.
#include "../tests/chaos/WindowSoak.h"

#include "ui/toolkit/Platform.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <iostream>

using namespace pemberlux;
using namespace pemberlux::test::soak;

namespace {

constexpr std::size_t kSoakRounds = 300;
constexpr std::size_t kWindowExchanges = 5000;
constexpr std::size_t kWarmUp = 200;
constexpr int kFleetSize = 200;
constexpr int kFleetPasses = 200;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Report(benchmark::State& state, const Figures& before, const Figures& warm, const Figures& end) {
    std::cout << "  before: " << before.Text() << "\n  after the warm-up: " << warm.Text()
              << "\n  at the end: " << end.Text() << "\n";
    state.counters["rss_kb_after_warm_up"] = static_cast<double>(warm.rssKb);
    state.counters["rss_kb_at_end"] = static_cast<double>(end.rssKb);
    state.counters["descriptors_warm"] = static_cast<double>(warm.descriptors);
    state.counters["descriptors_after"] = static_cast<double>(end.descriptors);
    state.counters["threads_warm"] = static_cast<double>(warm.threads);
    state.counters["threads_after"] = static_cast<double>(end.threads);
}

void BM_WindowSoak(benchmark::State& state) {
    const std::uint64_t seed = test::chaos::SeedFromEnv(1);
    for (auto _ : state) {
        WindowSoak soak(seed, 100ms);
        const auto start = Clock::now();
        for (std::size_t n = 0; n < kSoakRounds; ++n)
            soak.Run(n);
        soak.Close();
        const double seconds = Seconds(start);
        const SoakTally& t = soak.tally;
        std::cout << "seed " << seed << ", " << seconds << " s: " << t.Report() << "GUI thread: " << soak.probe.Late()
                  << " of " << soak.probe.Ticks() << " ticks later than 100 ms, the worst "
                  << soak.probe.Worst().count() << " ms in " << soak.probe.WorstWhere() << "\n";
        for (const std::string& p : t.problems)
            std::cout << "  " << p << "\n";
        state.counters["rounds"] = static_cast<double>(t.rounds);
        state.counters["exchanges"] = static_cast<double>(t.exchanges);
        state.counters["problems"] = static_cast<double>(t.problems.size());             // must be 0
        state.counters["gui_ticks_over_100ms"] = static_cast<double>(soak.probe.Late()); // must be 0
        state.counters["gui_worst_ms"] = static_cast<double>(soak.probe.Worst().count());
        state.counters["seconds"] = seconds;
    }
}
BENCHMARK(BM_WindowSoak)->Unit(benchmark::kSecond)->Iterations(1);

void BM_WindowLongRun(benchmark::State& state) {
    for (auto _ : state) {
        const Figures before = Figures::Now();
        Program program(Screen::Label);
        const auto start = Clock::now();
        std::size_t failed = WindowExchanges(program, kWarmUp);
        const Figures warm = BackTo(Figures::Now());
        failed += WindowExchanges(program, kWindowExchanges - kWarmUp);
        const Figures end = BackTo(warm);
        state.counters["exchanges"] = static_cast<double>(kWindowExchanges);
        state.counters["failed"] = static_cast<double>(failed); // must be 0
        state.counters["seconds"] = Seconds(start);
        std::cout << "window, " << kWindowExchanges << " exchanges, " << failed << " failed:\n";
        Report(state, before, warm, end);
    }
}
BENCHMARK(BM_WindowLongRun)->Unit(benchmark::kSecond)->Iterations(1);

void BM_FleetLongRun(benchmark::State& state) {
    for (auto _ : state) {
        const Figures before = Figures::Now();
        sim::SimFleet fleet(FleetOf(kFleetSize));
        const auto start = Clock::now();
        std::size_t failed = 0;
        for (int pass = 0; pass < 5; ++pass)
            failed += FleetInventory(fleet);
        const Figures warm = BackTo(Figures::Now());
        for (int pass = 5; pass < kFleetPasses; ++pass) {
            failed += FleetInventory(fleet);
            // What the simulated printers keep of the bytes they received is
            // not the program's memory.
            for (std::size_t k = 0; k < fleet.Size(); ++k)
                fleet[k].printer->ClearReceived();
            if ((pass + 1) % 50 == 0)
                std::cout << "  after " << pass + 1 << " passes: " << test::ResidentKb() << " KiB resident\n";
        }
        const Figures end = BackTo(warm);
        state.counters["printers"] = kFleetSize;
        state.counters["passes"] = kFleetPasses;
        state.counters["failed"] = static_cast<double>(failed); // must be 0
        state.counters["seconds"] = Seconds(start);
        std::cout << "fleet, " << kFleetSize << " printers " << kFleetPasses << " times, " << failed << " failed:\n";
        Report(state, before, warm, end);
    }
}
BENCHMARK(BM_FleetLongRun)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    setenv("PEMBERLUX_BROADCAST_ADDR", "127.255.255.255", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    InitPlatform();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

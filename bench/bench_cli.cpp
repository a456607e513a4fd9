// pemberlux-cli as a process against the simulator: a verified profile apply
// on a label printer over TCP against its floor (the printer's own answer
// delays), a discovery of 50 print servers and 10 key-value printers against
// the protocols' quiet windows, and Ctrl-C during a transfer to a printer that
// stopped reading (target: ended within 100 ms).
#include "../tests/cli/CliProcess.h"
#include "KvPrinterSim.h"
#include "LabelPrinterSim.h"
#include "PrintServerSim.h"
#include "Stalls.h"
#include "Transports.h"
#include "core/network/KvProtocol.h"
#include "core/network/PrintServerChannel.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>

using namespace pemberlux;
using namespace pemberlux::test;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

bool HaveCli(benchmark::State& state) {
    if (std::filesystem::exists(CliBinary())) return true;
    state.SkipWithError("pemberlux-cli is not built");
    return false;
}

// Each answer of the printer comes this late: the floor of an apply is the
// two settings reads it waits for.
constexpr std::chrono::milliseconds ANSWER_DELAY{50};

void BM_ProfileApplyVerify(benchmark::State& state) {
    if (!HaveCli(state)) return;
    TempDir dir;
    sim::LabelPrinterSim printer;
    sim::Faults late;
    late.answerDelay = ANSWER_DELAY;
    printer.SetFaults(late);
    sim::TcpServer tcp(printer);
    const std::string port = "127.0.0.1:" + std::to_string(tcp.Port());
    dir.Write("p.json", R"({"model":"LB-610","family":"label","settings":{"print_speed":"4","peeler":"On"}})");
    double wallMs = 0;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        printer.RestoreFactorySettings();
        state.ResumeTiming();
        const auto start = Clock::now();
        const CliRun run =
            RunCli(dir.Path(), {"--model", "LB-610", "--tcp", port, "profile", "apply", "p.json", "--verify"});
        wallMs += Ms(Clock::now() - start);
        ++runs;
        if (run.code != 0) {
            state.SkipWithError(("apply failed: " + run.err).c_str());
            return;
        }
    }
    const double floorMs = 2.0 * static_cast<double>(ANSWER_DELAY.count());
    state.counters["wall_ms"] = wallMs / runs;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio"] = wallMs / runs / floorMs; // target <= 1.1
}
BENCHMARK(BM_ProfileApplyVerify)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Discover(benchmark::State& state) {
    if (!HaveCli(state)) return;
    TempDir dir;
    sim::PrintServerSim servers(0);
    for (int i = 0; i < 50; ++i)
        servers.Add(sim::MakePrintServer(i));
    const std::uint16_t kvPort = sim::FreeUdpPort();
    sim::KvPrinterFleet printers(10, kvPort);
    double wallMs = 0;
    int runs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const CliRun run = RunCli(
            dir.Path(),
            {"discover", "--json", "--ps-port", std::to_string(servers.Port()), "--kv-port", std::to_string(kvPort)},
            {{"PEMBERLUX_BROADCAST_ADDR", "127.255.255.255"}});
        wallMs += Ms(Clock::now() - start);
        ++runs;
        const std::size_t found = static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '{'));
        if (run.code != 0 || found != 60) {
            state.SkipWithError(("not every device was found: " + std::to_string(found)).c_str());
            return;
        }
    }
    // The key-value search listens for its whole reply window (the time-out
    // counted in whole seconds: it ends a second after it); the print servers'
    // search ends after its quiet window, well inside it.
    const double windowMs =
        std::max<double>((KV_REPLY_TIMEOUT_SECONDS + 1) * 1000.0, static_cast<double>(PS_ANSWER_TIMEOUT.count()));
    state.counters["wall_ms"] = wallMs / runs;
    state.counters["quiet_windows_ms"] = windowMs;
    state.counters["over_windows_ms"] = wallMs / runs - windowMs; // target <= 50
}
BENCHMARK(BM_Discover)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InterruptTransfer(benchmark::State& state) {
    if (!HaveCli(state)) return;
    TempDir dir;
    dir.Write("big.bin", std::string(32u << 20, 'x'));
    double totalMs = 0, worstMs = 0;
    int runs = 0;
    for (auto _ : state) {
        Listener stalled(false); // takes one connection, never reads
        const std::string port = "127.0.0.1:" + std::to_string(stalled.Port());
        CliProcess cli(dir.Path(), {"--tcp", port, "--json", "--progress", "send", "--file", "big.bin"});
        // Until the transfer is under way and the line has filled.
        const auto until = Clock::now() + std::chrono::seconds(30);
        while (cli.Stderr().find("progress") == std::string::npos && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto start = Clock::now();
        cli.Signal(SIGINT);
        const CliRun run = cli.Wait(std::chrono::seconds(10));
        const double ms = Ms(Clock::now() - start);
        if (run.code != 130 && run.code != 4) {
            state.SkipWithError(("not ended by Ctrl-C: " + std::to_string(run.code)).c_str());
            return;
        }
        totalMs += ms;
        worstMs = std::max(worstMs, ms);
        ++runs;
    }
    state.counters["mean_ms"] = totalMs / runs;
    state.counters["worst_ms"] = worstMs; // target <= 100
}
BENCHMARK(BM_InterruptTransfer)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

// pemberlux-cli fleet as a process against a simulated fleet of LB-610
// printers whose every answer comes ANSWER_DELAY late (the printers' own
// waits): `fleet inventory` and `fleet apply --verify` on 100 printers against
// the same command on one printer of the same fleet, in the same run, at
// --parallel 16 and 32 (target: wall <= 1.2 x ceil(100 / N) x the single
// printer's wall, i.e. ratio <= 1); and the command's peak memory (VmHWM of
// the child, from wait4) and peak thread count (Threads of /proc/PID/status,
// sampled) for 10, 100 and 200 printers.
#include "../tests/cli/CliProcess.h"
#include "LabelPrinterSim.h"
#include "SimFleet.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

using namespace pemberlux;
using namespace pemberlux::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::chrono::milliseconds ANSWER_DELAY{50};
constexpr int FLEET_SIZE = 100;

sim::SimFleet& Fleet() {
    static sim::SimFleet fleet([] {
        sim::FleetOptions o;
        o.count = 200;
        o.printPort = 0;
        o.searchPort = 0;
        o.models = {"LB-610"};
        o.common.answerDelay = ANSWER_DELAY;
        return o;
    }());
    return fleet;
}

void WriteTargets(const TempDir& dir, const std::string& name, int count) {
    std::ostringstream out;
    for (int k = 0; k < count; ++k)
        out << "tcp:" << Fleet()[static_cast<std::size_t>(k)].address << ":" << Fleet()[static_cast<std::size_t>(k)].port
            << " LB-610\n";
    dir.Write(name, out.str());
}

void Restore(int count) {
    for (int k = 0; k < count; ++k)
        static_cast<sim::LabelPrinterSim*>(Fleet()[static_cast<std::size_t>(k)].printer)->RestoreFactorySettings();
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Measured {
    int code = -1;
    double wallMs = 0;
    long peakKb = 0;
    int peakThreads = 0;
};

// The command as a child; its peak threads sampled while it runs, its peak
// memory from the kernel's account when it ends (wait4 reaps it here).
Measured Measure(const TempDir& dir, std::vector<std::string> args) {
    Measured m;
    args.insert(args.begin(), CliBinary());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = (dir.Path() / "out.json").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return m;
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    while (true) {
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("Threads:", 0) == 0) m.peakThreads = std::max(m.peakThreads, std::stoi(line.substr(8)));
        int wstatus = 0;
        rusage usage{};
        if (::wait4(pid, &wstatus, WNOHANG, &usage) == pid) {
            m.wallMs = Ms(Clock::now() - start);
            m.code = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
            m.peakKb = usage.ru_maxrss;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m;
}

bool HaveCli(benchmark::State& state) {
    if (std::filesystem::exists(CliBinary())) return true;
    state.SkipWithError("pemberlux-cli is not built");
    return false;
}

// Wall time of `command` on 100 printers against the same on one, at --parallel N.
void AgainstOne(benchmark::State& state, const std::vector<std::string>& command, bool restore) {
    if (!HaveCli(state)) return;
    const int parallel = static_cast<int>(state.range(0));
    TempDir dir;
    WriteTargets(dir, "one.txt", 1);
    WriteTargets(dir, "fleet.txt", FLEET_SIZE);
    dir.Write("p.json", R"({"model":"LB-610","family":"label","settings":{"print_speed":"4","peeler":"On"}})");
    auto args = [&](const char* targets) {
        std::vector<std::string> a = command;
        a.insert(a.end(), {"--targets", targets, "--parallel", std::to_string(parallel), "--json"});
        return a;
    };
    double singleMs = 0, fleetMs = 0;
    int runs = 0;
    for (auto _ : state) {
        if (restore) Restore(FLEET_SIZE);
        const Measured one = Measure(dir, args("one.txt"));
        if (restore) Restore(FLEET_SIZE);
        const Measured many = Measure(dir, args("fleet.txt"));
        if (one.code != 0 || many.code != 0) {
            state.SkipWithError("a fleet command failed");
            return;
        }
        singleMs += one.wallMs;
        fleetMs += many.wallMs;
        ++runs;
    }
    const double waves = std::ceil(static_cast<double>(FLEET_SIZE) / parallel);
    state.counters["single_ms"] = singleMs / runs;
    state.counters["fleet_ms"] = fleetMs / runs;
    state.counters["bound_ms"] = 1.2 * waves * singleMs / runs;
    state.counters["ratio"] = fleetMs / (1.2 * waves * singleMs); // target <= 1
}

void BM_FleetInventory(benchmark::State& state) {
    AgainstOne(state, {"fleet", "inventory"}, false);
}
BENCHMARK(BM_FleetInventory)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_FleetApplyVerify(benchmark::State& state) {
    AgainstOne(state, {"fleet", "apply", "p.json", "--verify"}, true);
}
BENCHMARK(BM_FleetApplyVerify)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Peak memory and threads of `fleet inventory --parallel 16` as the fleet grows.
void BM_FleetFootprint(benchmark::State& state) {
    if (!HaveCli(state)) return;
    const int count = static_cast<int>(state.range(0));
    TempDir dir;
    WriteTargets(dir, "fleet.txt", count);
    Measured worst;
    for (auto _ : state) {
        const Measured m = Measure(dir, {"fleet", "inventory", "--targets", "fleet.txt", "--json"});
        if (m.code != 0) {
            state.SkipWithError("fleet inventory failed");
            return;
        }
        worst.peakKb = std::max(worst.peakKb, m.peakKb);
        worst.peakThreads = std::max(worst.peakThreads, m.peakThreads);
        worst.wallMs = std::max(worst.wallMs, m.wallMs);
    }
    state.counters["peak_rss_kb"] = static_cast<double>(worst.peakKb);
    state.counters["peak_threads"] = worst.peakThreads;
    state.counters["wall_ms"] = worst.wallMs;
}
BENCHMARK(BM_FleetFootprint)->Arg(10)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

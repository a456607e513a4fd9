// Key-value search against ten simulated label printers on the loopback broadcast:
// how long until the tenth row is there, and how much CPU a search costs (the
// process as a whole: tool, receiver thread and the simulated printers).
#include "KvPrinterSim.h"
#include "Transports.h"
#include "core/network/KvSession.h"

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace {

using namespace pemberlux;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kPrinters = 10;

double ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Where the dialog has its socket notifier: hand every datagram to the session.
// Like an event loop it sleeps until the socket (or its own stop descriptor) is
// readable, so the CPU counted is the search's own.
class Pump {
public:
    explicit Pump(KvSession& session)
        : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), thread_([this, &session] {
              while (!stop_) {
                  pollfd p[2] = {{wake_, POLLIN, 0}, {session.ReceiveSocket(), POLLIN, 0}};
                  if (::poll(p, 2, 100) > 0 && (p[1].revents & POLLIN)) session.OnReadable();
              }
          }) {}
    ~Pump() {
        stop_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        thread_.join();
        ::close(wake_);
    }

private:
    int wake_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// One search with the owner ticking every `tick`; returns when the tenth row is
// listed (or, with `toEnd`, when the exchange is over).
bool Search(KvSession& session, std::chrono::milliseconds tick, bool toEnd) {
    if (session.StartSearch() != KvStart::Started) return false;
    std::size_t rows = 0;
    const auto limit = Clock::now() + 10s;
    while (Clock::now() < limit) {
        const KvPollResult r = session.Poll();
        if (r.listChanged) rows = r.rows.size();
        if (!toEnd && rows == kPrinters) return true;
        if (toEnd && r.exchangeEnded) return rows == kPrinters;
        std::this_thread::sleep_for(tick);
    }
    return false;
}

// Open, search until the tenth row, close: the time to the last row, and CPU.
void BM_KvSearchTimeToLastRow(benchmark::State& state) {
    const auto tick = std::chrono::milliseconds(state.range(0));
    const std::uint16_t port = sim::FreeUdpPort();
    sim::KvPrinterFleet fleet(kPrinters, port);
    double cpu = 0;
    for (auto _ : state) {
        KvSession session;
        session.Open(port);
        bool listed = false;
        {
            Pump pump(session);
            const double cpuBefore = ProcessCpuMs();
            const auto start = Clock::now();
            listed = Search(session, tick, false);
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            cpu += ProcessCpuMs() - cpuBefore;
        }
        session.Close(); // ends the receiver before the time-out
        if (!listed) {
            state.SkipWithError("not all printers listed");
            break;
        }
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_KvSearchTimeToLastRow)->Arg(1)->Arg(100)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A whole search as the dialog runs it: 100 ms ticks until the exchange ends (4 s).
void BM_KvSearchWholeExchange(benchmark::State& state) {
    const std::uint16_t port = sim::FreeUdpPort();
    sim::KvPrinterFleet fleet(kPrinters, port);
    KvSession session;
    session.Open(port);
    Pump pump(session);
    double cpu = 0;
    for (auto _ : state) {
        const double cpuBefore = ProcessCpuMs();
        if (!Search(session, 100ms, true)) {
            state.SkipWithError("search did not list all printers");
            break;
        }
        cpu += ProcessCpuMs() - cpuBefore;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_KvSearchWholeExchange)->Unit(benchmark::kMillisecond)->Iterations(3);

// Closing the search dialog while the receiver waits for the rest of a reply
// (a printer that leaves out the end line): how long Close() takes. Without a
// wake-up the receiver would wait out the body's 100 s.
void BM_KvCloseWhileTheReceiverWaits(benchmark::State& state) {
    const std::uint16_t port = sim::FreeUdpPort();
    sim::KvPrinterOptions cut;
    cut.noEndLine = true;
    sim::KvPrinterSim printer(sim::NumberedKvPrinter(0), cut, port);
    for (auto _ : state) {
        KvSession session;
        session.Open(port);
        {
            Pump pump(session);
            const std::size_t before = printer.RepliesSent();
            if (session.StartSearch() != KvStart::Started) {
                state.SkipWithError("search did not start");
                break;
            }
            const auto limit = Clock::now() + 5s;
            while (printer.RepliesSent() == before && Clock::now() < limit)
                std::this_thread::sleep_for(5ms);
            std::this_thread::sleep_for(50ms); // the cut reply has reached the ring
        }
        const auto start = Clock::now();
        session.Close();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_KvCloseWhileTheReceiverWaits)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

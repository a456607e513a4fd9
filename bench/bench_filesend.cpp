// File send throughput of the command test page's file job to the simulated
// printer, over TCP and over a pty as serial line, next to the raw throughput
// of the same peer: `cat file > peer` (bash's /dev/tcp for TCP, the pty's path
// for the line). Each run ends when the printer has received the whole file.
#include "Records.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/command/SendJobs.h"

#include "support/Shell.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pemberlux {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kFileSize = 16 << 20;

// Receipt text: lines of 63 printable characters and LF.
std::vector<std::uint8_t> ReceiptText(std::size_t size) {
    std::vector<std::uint8_t> b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = i % 64 == 63 ? 0x0A : static_cast<std::uint8_t>(0x20 + (i * 7) % 95);
    return b;
}

enum class Peer { Tcp, Pty };

// The simulated printer on one transport and a file for it.
struct Rig {
    explicit Rig(Peer peer) : file(ReceiptText(kFileSize)) {
        dir.Write("data.txt", std::string(file.begin(), file.end()));
        settings = test::UserRecord("TR-520", PORT_LAN);
        if (peer == Peer::Tcp) {
            tcp = std::make_unique<sim::TcpServer>(printer);
            settings.tcpPort = tcp->Port();
            rawCommand =
                "cat '" + (dir / "data.txt").string() + "' > /dev/tcp/127.0.0.1/" + std::to_string(tcp->Port());
        } else {
            pty = std::make_unique<sim::PtyPort>(printer);
            settings.portKind = PORT_COM;
            settings.comName = pty->Path();
            rawCommand = "cat '" + (dir / "data.txt").string() + "' > " + pty->Path();
        }
    }
    void AwaitWhole() const {
        if (!printer.WaitForBytes(file.size(), 120s)) throw std::runtime_error("the printer did not get the file");
    }

    test::TempDir dir;
    std::vector<std::uint8_t> file;
    sim::SimPrinter printer;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::PtyPort> pty;
    PortSettings settings;
    std::string rawCommand;
};

void BM_FileSend(benchmark::State& state, Peer peer, bool raw) {
    Rig rig(peer);
    for (auto _ : state) {
        rig.printer.ClearReceived();
        const auto started = Clock::now();
        if (raw) {
            if (bench::RunShell(rig.rawCommand) != 0) state.SkipWithError("cat failed");
        } else {
            std::stop_source stop;
            PrinterPort port(rig.settings, {});
            const SendJobResult r = RunFileSend(port, rig.file, {}, SendLimits(stop.get_token()), nullptr);
            if (r.status != SendJobResult::Done) state.SkipWithError("the send failed");
        }
        rig.AwaitWhole();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rig.file.size()));
}

BENCHMARK_CAPTURE(BM_FileSend, tcp_raw_cat, Peer::Tcp, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileSend, tcp_file_job, Peer::Tcp, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileSend, pty_raw_cat, Peer::Pty, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FileSend, pty_file_job, Peer::Pty, false)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pemberlux

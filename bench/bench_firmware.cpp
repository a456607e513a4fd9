// Firmware transfer throughput: a 4 MiB image sent by the firmware page's
// transfer job (about one hundred blocks, progress after each) to the
// simulated loader, over TCP and to a USB printer whose node is a pty, next
// to the raw throughput of the same peer: `cat image > peer` (bash's /dev/tcp
// for TCP, the node's path for USB). Each run ends when the loader has
// received the whole image. The ratio job / raw is the figure to watch.
#include "DownloadSim.h"
#include "Records.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/command/Firmware.h"

#include "support/Shell.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pemberlux {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kImageSize = 4 << 20;

enum class Peer { Tcp, UsbPty };

// The loader on one transport and the image (tag and file) for it.
struct Rig {
    explicit Rig(Peer peer) {
        std::vector<std::uint8_t> file(kImageSize - 4);
        for (std::size_t i = 0; i < file.size(); ++i)
            file[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
        image = PrepareFirmware(FirmwareFormat::Firmware, file, false, {})->bytes;
        dir.Write("image.FW", std::string(image.begin(), image.end()));
        const std::string path = (dir / "image.FW").string();
        if (peer == Peer::Tcp) {
            settings = test::UserRecord("LB-610", PORT_LAN);
            tcp = std::make_unique<sim::TcpServer>(loader);
            settings.tcpPort = tcp->Port();
            rawCommand = "cat '" + path + "' > /dev/tcp/127.0.0.1/" + std::to_string(tcp->Port());
        } else {
            settings = test::UserRecord("TR-510", PORT_USB);
            usbTree = std::make_unique<sim::FakeUsbTree>(dir / "usb");
            const std::string node = usbTree->AddPrinter(loader, "3a7e", "41a2");
            usb = UsbSelection{"3A7E", "41A2", false};
            setenv("PEMBERLUX_SYSFS_ROOT", usbTree->SysfsRoot().c_str(), 1);
            setenv("PEMBERLUX_DEV_ROOT", usbTree->DevRoot().c_str(), 1);
            rawCommand = "cat '" + path + "' > '" + node + "'";
        }
    }
    void AwaitWhole() const {
        if (!loader.WaitForBytes(image.size(), 120s)) throw std::runtime_error("the loader did not get the image");
    }

    test::TempDir dir;
    std::vector<std::uint8_t> image;
    sim::DownloadSim loader;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::FakeUsbTree> usbTree;
    PortSettings settings;
    UsbSelection usb;
    std::string rawCommand;
};

void BM_Firmware(benchmark::State& state, Peer peer, bool raw) {
    Rig rig(peer);
    std::size_t updates = 0;
    for (auto _ : state) {
        rig.loader.ClearReceived();
        const auto started = Clock::now();
        if (raw) {
            if (bench::RunShell(rig.rawCommand) != 0) state.SkipWithError("cat failed");
        } else {
            std::stop_source stop;
            PrinterPort port(rig.settings, rig.usb);
            // The page's caption and progress bar are fed from here.
            const FirmwareResult r = RunFirmwareTransfer(port, rig.image, FirmwareLimits(stop.get_token()),
                                                         [&](const FirmwareProgress&) { ++updates; });
            if (r.status != FirmwareResult::Done) state.SkipWithError("the transfer failed");
        }
        rig.AwaitWhole();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rig.image.size()));
    if (!raw)
        state.counters["updates_per_run"] = static_cast<double>(updates) / static_cast<double>(state.iterations());
}

BENCHMARK_CAPTURE(BM_Firmware, tcp_raw_cat, Peer::Tcp, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Firmware, tcp_transfer, Peer::Tcp, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Firmware, usb_pty_raw_cat, Peer::UsbPty, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Firmware, usb_pty_transfer, Peer::UsbPty, false)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pemberlux

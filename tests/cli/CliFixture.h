// The command line against simulated printers: a printer attached over TCP, a
// pty or the fake USB tree, the arguments that reach it, and byte helpers.
#pragma once

#include "CliProcess.h"
#include "SimPrinter.h"
#include "Transports.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pemberlux::test {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using sim::Bytes;

inline Bytes B(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline const Bytes LABEL_QUERY = B({0x1B, 0x0D, 0x53, 0x1B, 0x33, 0x00, 0x1B, 0x10, 0x45});

enum class Transport { Tcp, Serial, Parallel, Usb };

// A printer and the transport the command line reaches it by.
class Attached {
public:
    Attached(sim::SimPrinter& printer, Transport transport, const std::filesystem::path& dir, const char* vid = "3a7e",
             const char* pid = "5e10") {
        switch (transport) {
        case Transport::Tcp:
            tcp_ = std::make_unique<sim::TcpServer>(printer);
            args_ = {"--tcp", "127.0.0.1:" + std::to_string(tcp_->Port())};
            break;
        case Transport::Serial:
            pty_ = std::make_unique<sim::PtyPort>(printer);
            args_ = {"--serial", pty_->Path()};
            break;
        case Transport::Parallel:
            pty_ = std::make_unique<sim::PtyPort>(printer);
            args_ = {"--lpt", pty_->Path()};
            break;
        case Transport::Usb:
            usb_ = std::make_unique<sim::FakeUsbTree>(dir / "usb");
            usb_->AddPrinter(printer, vid, pid);
            args_ = {"--usb", "auto"};
            env_ = {{"PEMBERLUX_SYSFS_ROOT", usb_->SysfsRoot().string()},
                    {"PEMBERLUX_DEV_ROOT", usb_->DevRoot().string()}};
            break;
        }
    }
    const std::vector<std::string>& Args() const { return args_; }
    const std::map<std::string, std::string>& Env() const { return env_; }

private:
    std::unique_ptr<sim::TcpServer> tcp_;
    std::unique_ptr<sim::PtyPort> pty_;
    std::unique_ptr<sim::FakeUsbTree> usb_;
    std::vector<std::string> args_;
    std::map<std::string, std::string> env_;
};

class CliTest : public ::testing::Test {
protected:
    // Runs the command line with `model` on `link` and the command `args`.
    CliRun Cli(const Attached& link, const std::string& model, std::vector<std::string> args) {
        std::vector<std::string> all = {"--model", model};
        all.insert(all.end(), link.Args().begin(), link.Args().end());
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(dir.Path(), all, link.Env());
    }
    // Runs `args` against `printer` on `transport`: the command succeeds and the
    // printer receives exactly `bytes`.
    void ExpectSends(sim::SimPrinter& printer, Transport transport, const std::string& model,
                     const std::vector<std::string>& args, const Bytes& bytes) {
        const std::string what = args.size() > 1 ? args[0] + " " + args[1] : args[0];
        Attached link(printer, transport, dir.Path());
        const CliRun run = Cli(link, model, args);
        EXPECT_EQ(run.code, 0) << what << ": " << run.err;
        EXPECT_TRUE(printer.WaitForBytes(bytes.size(), 10s)) << what;
        EXPECT_TRUE(printer.Received() == bytes) << what << ": " << printer.Received().size() << " bytes";
    }
    static Json Parse(const CliRun& run) {
        Json doc = Json::parse(run.out, nullptr, false);
        EXPECT_FALSE(doc.is_discarded()) << run.out;
        return doc;
    }

    TempDir dir;
};

} // namespace pemberlux::test

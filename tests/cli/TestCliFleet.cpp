// pemberlux-cli fleet against a simulated fleet: every printer's result
// against the simulator's state, the faulty printers' failures, the exit
// code, the JSON report and Ctrl-C.
#include "CliProcess.h"
#include "LabelPrinterSim.h"
#include "Pty.h"
#include "SimFleet.h"
#include "Transports.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <fstream>
#include <sstream>

#ifndef PEMBERLUX_FLEET_SIZE
#define PEMBERLUX_FLEET_SIZE 60
#endif

namespace pemberlux::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr int FLEET_SIZE = PEMBERLUX_FLEET_SIZE;
constexpr int FAULT_EVERY = 7; // printers 6, 13, 20, ...: silent, late, dropping in turn, of every model

class FleetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim::FleetOptions options;
        options.count = FLEET_SIZE;
        options.printPort = 0;
        options.searchPort = 0;
        options.faultEvery = FAULT_EVERY;
        options.lateBy = 20s; // later than the printer's job may take
        fleet = new sim::SimFleet(options);
    }
    static void TearDownTestSuite() {
        delete fleet;
        fleet = nullptr;
    }

    // The fleet as a targets file, with the models, or some of it.
    std::string Targets(const std::function<bool(const sim::SimFleet::Member&)>& take = {}) {
        std::ostringstream out;
        out << "# the shop's printers\n\n";
        for (std::size_t k = 0; k < fleet->Size(); ++k) {
            const auto& m = (*fleet)[k];
            if (!take || take(m)) out << "tcp:" << m.address << ":" << m.port << "   " << m.model << "  # no. " << k << "\n";
        }
        return out.str();
    }
    static bool IsLabel(const sim::SimFleet::Member& m) { return m.model.rfind("LB-", 0) == 0; }
    static std::string Lower(std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    // The report's result for printer k.
    static Json ResultOf(const Json& report, std::size_t k) {
        const auto& m = (*fleet)[k];
        for (const Json& r : report["results"])
            if (r["target"] == "tcp:" + m.address + ":" + std::to_string(m.port)) return r;
        return nullptr;
    }

    static sim::SimFleet* fleet;
    TempDir dir;
};

sim::SimFleet* FleetTest::fleet = nullptr;

TEST_F(FleetTest, InventoryReportsEveryPrinterAndTheFaultyOnesWithTheirReason) {
    dir.Write("fleet.txt", Targets());
    const CliRun run = RunCli(dir.Path(), {"fleet", "inventory", "--targets", "fleet.txt", "--parallel", "16",
                                           "--printer-timeout", "2", "--json", "--report", "report.json"});
    EXPECT_EQ(run.code, 7) << run.err; // some failed
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    std::ifstream file(dir.Path() / "report.json");
    EXPECT_EQ(Json::parse(file, nullptr, false), report);

    int failed = 0;
    for (std::size_t k = 0; k < fleet->Size(); ++k) {
        const auto& m = (*fleet)[k];
        const Json r = ResultOf(report, k);
        ASSERT_TRUE(r.is_object()) << k;
        EXPECT_EQ(r["model"], m.model) << k;
        if (m.fault != sim::FleetFault::None) {
            ++failed;
            EXPECT_EQ(r["status"], "failed") << k << " " << sim::SimFleet::FaultName(m.fault);
            EXPECT_TRUE(r["message"].is_string() && !r["message"].get<std::string>().empty()) << k;
            EXPECT_NE(r["exit_code"], 0) << k;
            // Silent and late printers are given up on at the printer's deadline, before the reply time-out.
            if (m.fault != sim::FleetFault::Drop) {
                EXPECT_EQ(r["message"], "no result within 2 s (--printer-timeout)") << k;
            }
            continue;
        }
        EXPECT_EQ(r["status"], "ok") << k << ": " << r.dump();
        if (IsLabel(m)) {
            const auto* label = dynamic_cast<const sim::LabelPrinterSim*>(m.printer);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(r["serial_number"], label->SerialNumber()) << k;
            EXPECT_EQ(r["firmware_version"], label->FirmwareVersion()) << k;
        } else {
            EXPECT_TRUE(r["serial_number"].is_null()) << k;
        }
    }
    EXPECT_EQ(report["summary"]["printers"], fleet->Size());
    EXPECT_EQ(report["summary"]["failed"], failed);
    EXPECT_EQ(report["summary"]["ok"], static_cast<int>(fleet->Size()) - failed);
    EXPECT_NE(run.err.find(std::to_string(failed) + " of " + std::to_string(fleet->Size()) + " printers failed"),
              std::string::npos)
        << run.err;
}

TEST_F(FleetTest, ApplyVerifiedOnTheSearchedFleetChangesTheLabelPrintersAndSkipsTheOthers) {
    std::vector<std::size_t> received;
    for (std::size_t k = 0; k < fleet->Size(); ++k) {
        received.push_back((*fleet)[k].printer->Received().size());
        if (auto* label = dynamic_cast<sim::LabelPrinterSim*>((*fleet)[k].printer)) label->RestoreFactorySettings();
    }
    dir.Write("shop.json", R"({"model":"LB-610","family":"label","settings":{"print_speed":"4","peeler":"On"}})");
    const CliRun run = RunCli(dir.Path(), {"fleet", "apply", "shop.json", "--verify", "--discover", "--seconds", "5",
                                           "--ps-port", std::to_string(fleet->SearchPort()), "--kv-port",
                                           std::to_string(sim::FreeUdpPort()), "--parallel", "8",
                                           "--printer-timeout", "8", "--json"});
    EXPECT_EQ(run.code, 7) << run.err;
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    EXPECT_EQ(report["results"].size(), fleet->Size()) << "every printer answered the search once";
    int ok = 0, skipped = 0;
    for (std::size_t k = 0; k < fleet->Size(); ++k) {
        const auto& m = (*fleet)[k];
        const Json r = ResultOf(report, k);
        ASSERT_TRUE(r.is_object()) << k << " not found by the search";
        EXPECT_EQ(r["model"], m.model) << k << ": the model from the search answer";
        EXPECT_EQ(r["mac"], Lower(m.mac)) << k;
        auto* label = dynamic_cast<sim::LabelPrinterSim*>(m.printer);
        if (!label) {
            ++skipped;
            EXPECT_EQ(r["status"], "skipped") << k;
            EXPECT_EQ(m.printer->Received().size(), received[k]) << k << ": nothing sent to a receipt printer";
        } else if (m.fault != sim::FleetFault::None) {
            EXPECT_EQ(r["status"], "failed") << k;
            EXPECT_NE(label->Setting(9), 4) << k;
        } else {
            ++ok;
            EXPECT_EQ(r["status"], "ok") << k << ": " << r.dump();
            EXPECT_EQ(r["differences"], Json::array()) << k;
            EXPECT_EQ(label->Setting(9), 4) << k << ": print speed";
            EXPECT_EQ(label->Setting(2), 1) << k << ": peeler";
        }
    }
    EXPECT_EQ(report["summary"]["ok"], ok);
    EXPECT_EQ(report["summary"]["skipped"], skipped);
}

TEST_F(FleetTest, FirmwareGoesWholeToEveryLabelPrinterOverTheNetworkAndSkipsTheReceiptPrinters) {
    dir.Write("fleet.txt", Targets([](const auto& m) { return m.fault == sim::FleetFault::None; }));
    std::string image(5000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 31 + 7);
    dir.Write("app.bin", image);
    std::vector<std::size_t> received;
    for (std::size_t k = 0; k < fleet->Size(); ++k)
        received.push_back((*fleet)[k].printer->Received().size());
    const CliRun run = RunCli(dir.Path(), {"fleet", "firmware", "app.bin", "--targets", "fleet.txt", "--json"});
    EXPECT_EQ(run.code, 0) << run.err;
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    for (std::size_t k = 0; k < fleet->Size(); ++k) {
        const auto& m = (*fleet)[k];
        if (m.fault != sim::FleetFault::None) continue;
        const Json r = ResultOf(report, k);
        if (IsLabel(m)) m.printer->WaitForBytes(received[k] + image.size(), 10s);
        const std::size_t got = m.printer->Received().size() - received[k];
        if (IsLabel(m)) {
            EXPECT_EQ(r["status"], "ok") << k;
            EXPECT_EQ(r["values"]["sent_bytes"], image.size()) << k;
            EXPECT_EQ(got, image.size()) << k << ": the whole file, once";
        } else {
            EXPECT_EQ(r["status"], "skipped") << k;
            EXPECT_EQ(got, 0u) << k;
        }
    }
}

// On a terminal: a line per printer on standard output and, on standard
// error, the progress line rewritten in place until nothing is left.
TEST_F(FleetTest, OnATerminalEachPrinterGetsALineAndTheProgressCountsDown) {
    int taken = 0;
    dir.Write("three.txt", Targets([&](const auto& m) { return m.fault == sim::FleetFault::None && taken++ < 3; }));
    Pty terminal;
    CliStreams streams;
    streams.err = terminal.Path();
    CliProcess cli(dir.Path(), {"fleet", "inventory", "--targets", "three.txt"}, {}, false, streams);
    const CliRun run = cli.Wait();
    EXPECT_EQ(run.code, 0) << run.out;
    const std::string progress = terminal.Receive(4096, 2s);
    for (const char* step : {"\r\033[Kdone 0 / failed 0 / left 3", "\r\033[Kdone 3 / failed 0 / left 0\n"})
        EXPECT_NE(progress.find(step), std::string::npos) << progress;
    std::istringstream lines(run.out);
    int ok = 0;
    for (std::string line; std::getline(lines, line);)
        ok += line.rfind("ok ", 0) == 0 && line.find("serial_number=") != std::string::npos;
    EXPECT_EQ(ok, 3) << run.out;
}

// Two USB printers with the same ids: @N names the N-th of the device list,
// and each job reaches its own printer.
TEST_F(FleetTest, UsbTargetsOfTheSameIdsAreTakenByTheirPlace) {
    sim::LabelPrinterSim first(sim::LabelModel::LB610), second(sim::LabelModel::LB710);
    ASSERT_NE(first.SerialNumber(), second.SerialNumber());
    sim::FakeUsbTree usb(dir / "usb");
    usb.AddPrinter(first, "3a7e", "5e10");
    usb.AddPrinter(second, "3a7e", "5e10");
    dir.Write("usb.txt", "usb:3A7E:5E10@1 LB-710\nusb:3A7E:5E10@0 LB-610\n");
    const CliRun run = RunCli(dir.Path(), {"fleet", "inventory", "--targets", "usb.txt", "--json"},
                              {{"PEMBERLUX_SYSFS_ROOT", usb.SysfsRoot().string()},
                               {"PEMBERLUX_DEV_ROOT", usb.DevRoot().string()}});
    ASSERT_EQ(run.code, 0) << run.err;
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    std::map<std::string, Json> serials;
    for (const Json& r : report["results"])
        serials[r["target"].get<std::string>()] = r["serial_number"];
    EXPECT_EQ(serials["usb:3A7E:5E10@0"], first.SerialNumber()) << run.out;
    EXPECT_EQ(serials["usb:3A7E:5E10@1"], second.SerialNumber()) << run.out;
}

TEST_F(FleetTest, InterruptStopsEveryJobAndNamesThePrintersLeftUnchanged) {
    // Only the silent label printers, one at a time: a Ctrl-C finds one
    // waiting for its settings and the others not started.
    const auto silent = [](const auto& m) { return m.fault == sim::FleetFault::Silent && IsLabel(m); };
    dir.Write("silent.txt", Targets(silent));
    dir.Write("shop.json", R"({"family":"label","settings":{"print_speed":"4"}})");
    sim::SimPrinter* first = nullptr;
    for (std::size_t k = 0; k < fleet->Size() && !first; ++k)
        if (silent((*fleet)[k])) first = (*fleet)[k].printer;
    ASSERT_NE(first, nullptr);
    const std::size_t before = first->Received().size();
    CliProcess cli(dir.Path(), {"fleet", "apply", "shop.json", "--targets", "silent.txt", "--parallel", "1"});
    ASSERT_TRUE(first->WaitForBytes(before + 1, 20s)) << "the settings query reached the first printer";
    cli.Signal(SIGINT);
    const CliRun run = cli.Wait(20s);
    EXPECT_EQ(run.code, 130) << run.err;
    EXPECT_NE(run.out.find("unchanged: tcp:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("may_be_half_written: -"), std::string::npos) << run.out;
}

TEST_F(FleetTest, BadTargetsAreRefusedBeforeAnythingIsSent) {
    const auto& first = (*fleet)[0];
    const auto& second = (*fleet)[1];
    const std::string good = "tcp:" + first.address + ":" + std::to_string(first.port) + " LB-610\n";
    const std::string other = "tcp:" + second.address + ":" + std::to_string(second.port) + "\n";
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"ftp:127.0.0.1\n", "fleet.txt:2: a target is"},
        {"tcp:127.0.0.1:70000\n", "fleet.txt:2: tcp:127.0.0.1:70000"},
        {"tcp:127.0.0.1 LB-999\n", "fleet.txt:2: unknown model 'LB-999'"},
        {"tcp:127.0.0.1 LB-610 extra\n", "one target and at most a model"},
        {"usb:3A7E:5E10@x\n", "usb:VID:PID@N"},
        {"tcp:\n", "no address"},
        {"usb:@1\n", "no address"},
        // A C1 control (CSI, U+009B) in the line is written out, as any control is.
        {"tcp:127.0.0.1 LB-\xC2\x9B[2J\n", "fleet.txt:2: unknown model 'LB-\\u009b[2J'"},
    };
    const std::size_t before = first.printer->Received().size();
    for (const auto& c : cases) {
        dir.Write("fleet.txt", good + c.text + other);
        const CliRun run = RunCli(dir.Path(), {"fleet", "inventory", "--targets", "fleet.txt"});
        EXPECT_EQ(run.code, 2) << c.text;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.text << run.err;
        EXPECT_EQ(run.err.find("\x9B"), std::string::npos) << c.text << run.err;
    }
    dir.Write("fleet.txt", good + good);
    EXPECT_NE(RunCli(dir.Path(), {"fleet", "inventory", "--targets", "fleet.txt"}).err.find("listed twice"),
              std::string::npos);
    EXPECT_EQ(first.printer->Received().size(), before);
}

} // namespace
} // namespace pemberlux::test

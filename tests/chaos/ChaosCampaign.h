// A seeded chaos campaign: the label, receipt, send and firmware jobs run
// through the core and through pemberlux-cli against simulated printers in
// chaos mode (every exchange gets a fault), over TCP, a pty and the fake USB
// tree. Each round checks what the job claimed against the printer's record:
// it ended, did not crash, said "done" only when the whole frame or transfer
// arrived, showed only values the wire gave, and left nothing behind (device
// locks, an exclusive line, a child process). Shared by the chaos test and
// its benchmark.
#pragma once

#include "../cli/CliProcess.h"
#include "DownloadSim.h"
#include "LabelPrinterSim.h"
#include "ReceiptPrinterSim.h"
#include "Records.h"
#include "SimPrinter.h"
#include "TempDir.h"
#include "Transports.h"
#include "core/command/Firmware.h"
#include "core/command/SendJobs.h"
#include "core/label/LabelCommands.h"
#include "core/port/DeviceLock.h"
#include "core/receipt/ReceiptCommands.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace pemberlux::test::chaos {

using namespace std::chrono_literals;
using sim::Bytes;

enum class Job { LabelGet, LabelSet, ReceiptGet, ReceiptSet, Send, Firmware };
enum class Link { Tcp, Serial, Usb };
enum class Via { Core, Cli };

inline const char* Name(Job j) {
    static const char* const names[] = {"label get", "label set", "receipt get", "receipt set", "send", "firmware"};
    return names[static_cast<int>(j)];
}
inline const char* Name(Link l) {
    static const char* const names[] = {"tcp", "serial", "usb"};
    return names[static_cast<int>(l)];
}
inline const char* Name(Via v) {
    return v == Via::Core ? "core" : "cli";
}

// What a round came to. Everything from FalseSuccess on is a fault of the program.
enum class Outcome { Success, HonestFailure, FalseSuccess, WrongValue, Hang, Crash, LeftBehind };
inline constexpr std::size_t kOutcomeCount = 7;
inline const char* Name(Outcome o) {
    static const char* const names[] = {"success (whole record)", "honest failure", "false success",
                                        "value not from the wire", "hang", "crash", "left behind"};
    return names[static_cast<int>(o)];
}

struct Round {
    Job job;
    Link link;
    Via via;
};

// Every job on every link it runs on, through the core and the command line:
// firmware goes over USB or the network only.
inline std::vector<Round> Rounds() {
    std::vector<Round> rounds;
    for (Via via : {Via::Core, Via::Cli})
        for (Link link : {Link::Tcp, Link::Serial, Link::Usb})
            for (Job job : {Job::LabelGet, Job::LabelSet, Job::ReceiptGet, Job::ReceiptSet, Job::Send, Job::Firmware})
                if (!(job == Job::Firmware && link == Link::Serial)) rounds.push_back({job, link, via});
    return rounds;
}

struct Tally {
    std::size_t rounds = 0;
    std::size_t exchanges = 0;
    std::array<std::size_t, sim::kChaosFaultCount> faults{};
    std::array<std::size_t, kOutcomeCount> outcomes{};
    // Reads that succeeded although the record shows their reply garbled, or
    // a status burst on the wire with it: the values shown are what the wire
    // gave, not what the printer holds.
    std::size_t shownGarbled = 0;
    std::size_t shownWithBurst = 0;
    std::vector<std::string> problems;

    std::size_t Faults() const {
        std::size_t n = 0;
        for (std::size_t k = static_cast<std::size_t>(Outcome::FalseSuccess); k < kOutcomeCount; ++k)
            n += outcomes[k];
        return n;
    }
    std::string Report() const {
        std::ostringstream out;
        out << rounds << " rounds, " << exchanges << " exchanges\nfaults picked:";
        for (std::size_t k = 0; k < faults.size(); ++k)
            out << " " << sim::ChaosFaultName(static_cast<sim::ChaosFault>(k)) << " " << faults[k];
        out << "\noutcomes:";
        for (std::size_t k = 0; k < kOutcomeCount; ++k)
            out << (k ? "," : "") << " " << Name(static_cast<Outcome>(k)) << " " << outcomes[k];
        out << "\nreads shown from a garbled reply: " << shownGarbled << ", with a status burst on the wire: "
            << shownWithBurst << "\n";
        return out.str();
    }
};

inline bool Contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}
inline bool IsPrefix(const Bytes& prefix, const Bytes& of) {
    return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}
inline Bytes Frame(std::uint8_t code, std::uint8_t value) {
    return {0x1B, 0x0D, 0x53, 0x1B, code, value, 0x1B, 0x10, 0x45};
}

// What a job left of device `key` (and its `line`, when it has one): the
// device held in this process, the line exclusive. Empty when nothing.
inline std::string DeviceLeftBehind(const std::string& key, const std::string& line) {
    std::string left;
    JobLimits brief;
    brief.deadline = JobClock::now() + 2s;
    if (AcquireDevice(key, brief)) {
        ReleaseDevice(key);
    } else {
        left += " device " + key + " still held;";
    }
    if (!line.empty()) {
        const int fd = ::open(line.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            left += " line " + line + " cannot be opened (errno " + std::to_string(errno) + ");";
        } else {
            ::close(fd);
        }
    }
    return left;
}

// The printer of one round and its transport.
class TestBench {
public:
    TestBench(Job job, Link link, const std::filesystem::path& usbRoot) {
        switch (job) {
        case Job::LabelGet:
        case Job::LabelSet:
            label_ = std::make_unique<sim::LabelPrinterSim>();
            printer_ = label_.get();
            model_ = "LB-610";
            ids_ = {"3A7E", "5E10"};
            break;
        case Job::ReceiptGet:
        case Job::ReceiptSet:
            receipt_ = std::make_unique<sim::ReceiptPrinterSim>(sim::ReceiptModel::TR520);
            printer_ = receipt_.get();
            model_ = "TR-520";
            ids_ = {"3A7E", "41A3"};
            break;
        case Job::Send:
            plain_ = std::make_unique<sim::SimPrinter>();
            printer_ = plain_.get();
            model_ = "TR-520";
            ids_ = {"3A7E", "41A3"};
            break;
        case Job::Firmware:
            // A receipt printer's loader on USB; a label printer's on the network.
            loader_ = std::make_unique<sim::DownloadSim>();
            printer_ = loader_.get();
            model_ = link == Link::Usb ? "TR-510" : "LB-610";
            ids_ = {"3A7E", "41A2"};
            break;
        }
        settings_ = UserRecord(model_, PORT_LAN);
        switch (link) {
        case Link::Tcp:
            tcp_ = std::make_unique<sim::TcpServer>(*printer_);
            settings_.tcpPort = tcp_->Port();
            args_ = {"--tcp", "127.0.0.1:" + std::to_string(tcp_->Port())};
            key_ = "tcp:127.0.0.1:" + std::to_string(tcp_->Port());
            break;
        case Link::Serial:
            pty_ = std::make_unique<sim::PtyPort>(*printer_);
            settings_.portKind = PORT_COM;
            settings_.comName = pty_->Path();
            args_ = {"--serial", pty_->Path()};
            line_ = pty_->Path();
            break;
        case Link::Usb:
            usb_ = std::make_unique<sim::FakeUsbTree>(usbRoot);
            line_ = usb_->AddPrinter(*printer_, ids_.vendor, ids_.second);
            settings_.portKind = PORT_USB;
            args_ = {"--usb", "auto"};
            env_ = {{"PEMBERLUX_SYSFS_ROOT", usb_->SysfsRoot().string()},
                    {"PEMBERLUX_DEV_ROOT", usb_->DevRoot().string()}};
            break;
        }
        if (!line_.empty()) key_ = DeviceKey(line_);
    }

    sim::SimPrinter& Printer() { return *printer_; }
    sim::LabelPrinterSim* Label() { return label_.get(); }
    sim::ReceiptPrinterSim* Receipt() { return receipt_.get(); }
    const PortSettings& Settings() const { return settings_; }
    const UsbSelection& Usb() const { return ids_; }
    const std::string& Model() const { return model_; }
    const std::vector<std::string>& Args() const { return args_; }
    const std::map<std::string, std::string>& Env() const { return env_; }

    // What is left of the job: the device held in this process, the line
    // exclusive. Empty when nothing.
    std::string LeftBehind() const { return DeviceLeftBehind(key_, line_); }

private:
    std::unique_ptr<sim::LabelPrinterSim> label_;
    std::unique_ptr<sim::ReceiptPrinterSim> receipt_;
    std::unique_ptr<sim::SimPrinter> plain_;
    std::unique_ptr<sim::DownloadSim> loader_;
    sim::SimPrinter* printer_ = nullptr;
    std::string model_;
    UsbSelection ids_;
    PortSettings settings_;
    // Transports after the printers: they stop before the printers go.
    std::unique_ptr<sim::TcpServer> tcp_;
    std::unique_ptr<sim::PtyPort> pty_;
    std::unique_ptr<sim::FakeUsbTree> usb_;
    std::vector<std::string> args_;
    std::map<std::string, std::string> env_;
    std::string line_;
    std::string key_;
};

// The reply time-out the jobs are given: the late answers of the chaos mode
// come before and after it.
inline constexpr std::chrono::milliseconds REPLY_TIMEOUT{1000};
// Far beyond anything a job should take: a job still running then hangs.
inline constexpr std::chrono::seconds HANG_BOUND{120};

// What a job said it did.
struct Claim {
    bool ended = true;
    bool crashed = false;
    bool success = false;
    std::string detail;
    Bytes reply;       // core reads: the reply the job took
    nlohmann::json doc; // command line reads: the values shown
};

class Campaign {
public:
    explicit Campaign(std::uint64_t seed) : seed_(seed) {
        // The core looks for USB printers under these roots; each USB round's
        // tree lives there for the round.
        ::setenv("PEMBERLUX_SYSFS_ROOT", (dir_.Path() / "usb" / "sys").c_str(), 1);
        ::setenv("PEMBERLUX_DEV_ROOT", (dir_.Path() / "usb" / "dev").c_str(), 1);
    }

    // Round number `n` of the campaign, its seed `seed + n`.
    void Run(std::size_t n, const Round& round) {
        const std::uint64_t seed = seed_ + n;
        std::mt19937_64 random(seed);
        TestBench bench(round.job, round.link, dir_.Path() / "usb");
        sim::SimPrinter& printer = bench.Printer();

        // What the round sends and expects.
        Bytes expected; // the frame or transfer that must have arrived for a success
        std::vector<std::string> command;
        if (round.job == Job::LabelSet) {
            const auto speed = static_cast<std::uint8_t>(1 + random() % 4);
            expected = Frame(0x30, speed);
            command = {"label", "set", "print_speed=" + std::to_string(speed)};
        } else if (round.job == Job::ReceiptSet) {
            const auto width = static_cast<std::uint8_t>(random() % 3);
            static const char* const widths[] = {"76mm", "69mm", "57mm"};
            expected = Frame(0x38, width);
            command = {"receipt", "set", std::string("paper_wide=") + widths[width]};
        } else if (round.job == Job::Send || round.job == Job::Firmware) {
            Bytes file(2048 + random() % (22 * 1024));
            for (std::uint8_t& b : file)
                b = static_cast<std::uint8_t>(random());
            const std::string name = round.job == Job::Send ? "data.bin" : "image.FW";
            dir_.Write(name, std::string(file.begin(), file.end()));
            expected = file;
            if (round.job == Job::Firmware) expected.insert(expected.begin(), {'U', 'D', 'F', 'W'});
            command = round.job == Job::Send ? std::vector<std::string>{"send", "--file", name}
                                             : std::vector<std::string>{"firmware", name};
        } else {
            command = {round.job == Job::LabelGet ? "label" : "receipt", "get"};
        }
        if (bench.Label()) bench.Label()->SetSetting(9, static_cast<int>(1 + random() % 4));
        if (bench.Receipt()) bench.Receipt()->SetSetting(sim::ReceiptField::PaperWidth, static_cast<int>(random() % 3));
        const Bytes truth = bench.Label()     ? bench.Label()->SettingsReply()
                            : bench.Receipt() ? bench.Receipt()->SettingsReply()
                                              : Bytes{};

        printer.SetChaos(seed);
        Claim claim = round.via == Via::Core ? RunCore(bench, round.job, expected) : RunCli(bench, command);
        printer.SetChaosActive(false);

        const std::vector<sim::ChaosExchange> record = printer.ChaosRecord();
        Bytes wire;       // everything the printer sent in the round
        bool garbled = false, burst = false; // the wire did not carry the answer as it stands
        std::string faults;
        for (const sim::ChaosExchange& e : record) {
            ++tally.faults[static_cast<std::size_t>(e.fault)];
            wire.insert(wire.end(), e.sent.begin(), e.sent.end());
            garbled = garbled || e.fault == sim::ChaosFault::Garbage;
            burst = burst || e.fault == sim::ChaosFault::StatusBurst;
            faults += std::string(faults.empty() ? "" : ",") + sim::ChaosFaultName(e.fault);
        }
        tally.exchanges += record.size();
        const bool altered = garbled || burst;
        ++tally.rounds;

        Outcome outcome = claim.success ? Outcome::Success : Outcome::HonestFailure;
        std::string why;
        const bool reads = round.job == Job::LabelGet || round.job == Job::ReceiptGet;
        if (!claim.ended) {
            outcome = Outcome::Hang;
        } else if (claim.crashed) {
            outcome = Outcome::Crash;
        } else if (claim.success && !reads && !Arrives(printer, expected)) {
            outcome = Outcome::FalseSuccess;
            why = "the printer has " + std::to_string(printer.Received().size()) + " bytes, not the " +
                  std::to_string(expected.size()) + " sent";
        } else if (claim.success && reads && round.via == Via::Core &&
                   !(IsPrefix(claim.reply, wire) && (altered || IsPrefix(claim.reply, truth)))) {
            outcome = Outcome::WrongValue;
            why = "the reply taken is not what the printer sent";
        } else if (reads) {
            // A read without faults follows: whatever the faulted one left in
            // the line, it shows the printer's values; and the faulted one,
            // when it succeeded on a true answer, showed the same. A printer
            // still sending the faulted exchange's answer (late, in pieces, or
            // with status bytes after it) would talk into the next one: it is
            // given the time to end first.
            const sim::ChaosFault last = record.empty() ? sim::ChaosFault::None : record.back().fault;
            if (last == sim::ChaosFault::Late || last == sim::ChaosFault::Split ||
                last == sim::ChaosFault::SlowReader || last == sim::ChaosFault::StatusBurst)
                std::this_thread::sleep_for(2s);
            const Claim clean = round.via == Via::Core ? RunCore(bench, round.job, expected) : RunCli(bench, command);
            if (!clean.success || !Holds(bench, round, clean)) {
                outcome = Outcome::WrongValue;
                why = "the read after the faults: " + clean.detail + " " + clean.doc.dump();
            } else if (claim.success && round.via == Via::Cli && !altered && clean.doc != claim.doc) {
                outcome = Outcome::WrongValue;
                why = "shown " + claim.doc.dump() + ", the printer holds " + clean.doc.dump();
            }
        }
        if (claim.success && reads && garbled) ++tally.shownGarbled;
        if (claim.success && reads && burst && !garbled) ++tally.shownWithBurst;
        if (outcome == Outcome::Success || outcome == Outcome::HonestFailure) {
            const std::string left = bench.LeftBehind() + Children();
            if (!left.empty()) {
                outcome = Outcome::LeftBehind;
                why = left;
            }
        }
        ++tally.outcomes[static_cast<std::size_t>(outcome)];
        if (static_cast<int>(outcome) >= static_cast<int>(Outcome::FalseSuccess)) {
            std::ostringstream p;
            p << "round " << n << " (seed " << seed << "): " << Name(round.job) << " over " << Name(round.link)
              << " via " << Name(round.via) << ": " << Name(outcome) << ": " << why << " [faults " << faults
              << "] " << claim.detail;
            tally.problems.push_back(p.str());
        }
    }

    Tally tally;

private:
    // Whether a read without faults shows what the printer holds: the reply
    // its settings make, whole, or the setting the round changed, as the
    // command line names it.
    static bool Holds(TestBench& bench, const Round& round, const Claim& read) {
        sim::LabelPrinterSim* label = bench.Label();
        sim::ReceiptPrinterSim* receipt = bench.Receipt();
        if (round.via == Via::Core) {
            const Bytes truth = label ? label->SettingsReply() : receipt->SettingsReply();
            return read.reply.size() >= (label ? 42u : 14u) && IsPrefix(read.reply, truth);
        }
        static const char* const widths[] = {"76mm", "69mm", "57mm"};
        // A value the reply did not name (null) holds nothing.
        const auto shown = [&](const char* key) {
            const auto found = read.doc.find(key);
            return found != read.doc.end() && found->is_string() ? found->get<std::string>() : std::string();
        };
        if (label) return shown("print_speed") == std::to_string(label->Setting(9));
        return shown("paper_wide") == widths[receipt->Setting(sim::ReceiptField::PaperWidth)];
    }

    // Whether the printer's record shows `bytes` once it has read what its side
    // of the line already took (a slow reader takes a while).
    static bool Arrives(const sim::SimPrinter& printer, const Bytes& bytes) {
        const auto until = std::chrono::steady_clock::now() + 30s;
        while (!Contains(printer.Received(), bytes)) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    // A child process of ours still there (the command line not reaped).
    static std::string Children() {
        errno = 0;
        if (::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) return "";
        return " a child process is left;";
    }

    // Runs `body` on a worker of its own, as the window runs a job, stopping
    // it when it outlives the hang bound.
    template <typename Body>
    static Claim Bounded(Body body) {
        std::stop_source stop;
        std::promise<Claim> result;
        std::future<Claim> done = result.get_future();
        std::thread worker([&] { result.set_value(body(stop.get_token())); });
        const bool ended = done.wait_for(HANG_BOUND) == std::future_status::ready;
        if (!ended) stop.request_stop();
        worker.join();
        Claim claim = done.get();
        claim.ended = ended;
        return claim;
    }

    static Claim RunCore(TestBench& bench, Job job, const Bytes& expected) {
        const PortSettings settings = bench.Settings();
        const UsbSelection usb = bench.Usb();
        return Bounded([&](std::stop_token stop) {
            Claim claim;
            PrinterPort port(settings, usb);
            const JobLimits limits{stop};
            switch (job) {
            case Job::LabelGet:
            case Job::ReceiptGet: {
                const ExchangeResult r = job == Job::LabelGet ? QueryLabelSettings(port, limits, REPLY_TIMEOUT)
                                                              : QueryReceiptSettings(port, limits, REPLY_TIMEOUT);
                claim.success = r.Ok();
                claim.reply = r.reply;
                claim.detail = "status " + std::to_string(r.status);
                break;
            }
            case Job::LabelSet:
            case Job::ReceiptSet: {
                const ExchangeResult r = SendFrame(port, expected, limits);
                claim.success = r.Ok();
                claim.detail = "status " + std::to_string(r.status);
                break;
            }
            case Job::Send: {
                const SendJobResult r = RunFileSend(port, expected, {}, SendLimits(stop), [](const FileProgress&) {});
                claim.success = r.status == SendJobResult::Done && r.sent == expected.size();
                claim.detail = "status " + std::to_string(r.status) + ", " + std::to_string(r.sent) + " sent";
                break;
            }
            case Job::Firmware: {
                const Bytes file(expected.begin() + 4, expected.end());
                const auto plan = PrepareFirmware(FirmwareFormat::Firmware, file, false, usb);
                PrinterPort loader(settings, plan->usb);
                const FirmwareResult r =
                    RunFirmwareTransfer(loader, plan->bytes, FirmwareLimits(stop), [](const FirmwareProgress&) {});
                claim.success = r.status == FirmwareResult::Done && !r.unconfirmed && r.sent == plan->bytes.size();
                claim.detail = "status " + std::to_string(r.status) + ", " + std::to_string(r.sent) + " sent";
                break;
            }
            }
            return claim;
        });
    }

    Claim RunCli(TestBench& bench, const std::vector<std::string>& command) {
        std::vector<std::string> args = {"--model", bench.Model(), "--json", "--timeout",
                                         std::to_string(REPLY_TIMEOUT.count())};
        args.insert(args.end(), bench.Args().begin(), bench.Args().end());
        args.insert(args.end(), command.begin(), command.end());
        CliProcess cli(dir_.Path(), args, bench.Env());
        const CliRun run = cli.Wait(HANG_BOUND);
        Claim claim;
        claim.ended = run.code != -1;
        claim.crashed = run.code >= 128 && run.code != 130;
        claim.success = run.code == 0;
        claim.detail = "exit " + std::to_string(run.code) + ": " + run.err.substr(0, 200);
        if (claim.success) claim.doc = nlohmann::json::parse(run.out, nullptr, false);
        return claim;
    }

    std::uint64_t seed_;
    TempDir dir_;
};

// The campaign's seed: PEMBERLUX_CHAOS_SEED when set, else `fallback`.
inline std::uint64_t SeedFromEnv(std::uint64_t fallback) {
    const char* v = std::getenv("PEMBERLUX_CHAOS_SEED");
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

} // namespace pemberlux::test::chaos

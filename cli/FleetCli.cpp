// `fleet inventory|apply|firmware`: one job per printer of a list or of the
// network searches, at most --parallel at once, each with its own context
// (settings snapshot, stop and deadline); one report for all of them.
#include "Commands.h"
#include "FleetTargets.h"

#include "core/base/FileText.h"
#include "core/base/MacAddress.h"
#include "core/base/ReplaceFile.h"
#include "core/base/UiText.h"
#include "core/command/Firmware.h"
#include "core/port/JobPool.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>

namespace pemberlux::cli {

namespace {

enum class Task { Inventory, Apply, Firmware };

struct FleetArgs {
    std::string targets; // --targets FILE, "-": standard input
    bool discover = false;
    double seconds = 10;
    int parallel = 16;
    double printerSeconds = 0; // 0: the task's own
    std::string report;
    // The task's own arguments.
    std::string file;
    bool verify = false;
};

// One printer of the fleet and what became of it.
struct Member {
    FleetTarget target;
    const PrinterModel* model = nullptr;
    std::string mac; // from the search
    std::string serialNumber, firmware;

    std::string status = "not_started"; // ok, failed, skipped, interrupted, not_started
    std::string message;
    int code = EXIT_OK;
    Json values = Json::object();
    Json differences = nullptr;
    bool changed = false; // may have been written to when it was stopped
};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A model by its name in either language, without case.
const PrinterModel* FindModel(const std::string& name) {
    if (const PrinterModel* m = ModelByName(name)) return m;
    for (const PrinterModel& m : MODELS)
        for (int lang : {LANG_ENGLISH, LANG_CHINESE})
            if (Lower(ModelName(m, lang)) == Lower(name)) return &m;
    return nullptr;
}

ConnectionOptions ConnectionOf(const FleetTarget& t) {
    ConnectionOptions c;
    if (t.kind == "tcp") c.tcp = t.address;
    if (t.kind == "serial") c.serial = t.address;
    if (t.kind == "lpt") c.lpt = t.address;
    if (t.kind == "usb") c.usb = t.address;
    return c;
}

const char* FamilyName(PrinterFamily family) {
    return family == PrinterFamily::Label ? "label" : "receipt";
}

std::vector<FleetTarget> ReadTargets(const std::string& path) {
    std::string text;
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), {});
    } else {
        const FileText file = ReadFileText(path);
        if (file.error) Fail(EXIT_FILE, "%1: cannot be read: %2", {path, SystemReason(file.error)});
        text = file.text;
    }
    return ParseTargets(text, path == "-" ? "stdin" : path);
}

// The printers to work on: the targets file's, then those only the search found.
std::vector<Member> Gather(const Context& ctx, const FleetArgs& args) {
    std::vector<Member> fleet;
    if (!args.targets.empty())
        for (FleetTarget& t : ReadTargets(args.targets))
            fleet.emplace_back().target = std::move(t);
    if (args.discover) {
        const auto limit = std::chrono::milliseconds(static_cast<std::int64_t>(args.seconds * 1000));
        for (const NetworkPrinter& p : DiscoverPrinters(ctx, limit)) {
            const std::string address = p.ip + ":" + std::to_string(p.printPort);
            auto listed = std::find_if(fleet.begin(), fleet.end(), [&](const Member& m) {
                return m.target.kind == "tcp" && (m.target.address == address ||
                                                  (p.printPort == 9100 && m.target.address == p.ip));
            });
            if (listed == fleet.end()) {
                fleet.emplace_back().target = FleetTarget{"tcp", address, -1, "", 0};
                listed = std::prev(fleet.end());
            }
            listed->mac = MacShown(p.mac);
            listed->serialNumber = p.serialNumber;
            // The version the answer gives is its network module's or print server's, not the printer's.
            listed->values["found_by"] = p.protocol;
            listed->values["network_firmware_version"] = p.firmware;
            // The model the answer names, unless the file named one.
            if (listed->target.model.empty() && FindModel(p.name)) listed->target.model = p.name;
        }
    }
    if (fleet.empty()) Usage("no printers: give --targets FILE or --discover (or no printer answered the search)");
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        Member& m = fleet[i];
        const std::string where =
            m.target.line ? args.targets + ":" + std::to_string(m.target.line) + ": " : std::string();
        for (std::size_t j = 0; j < i; ++j)
            if (fleet[j].target.Name() == m.target.Name())
                Usage("%1%2 is listed twice: one job per printer", {where, m.target.Name()});
        if (!m.target.model.empty()) {
            m.model = FindModel(m.target.model);
            if (!m.model) Usage("%1unknown model '%2'", {where, m.target.model});
        } else {
            m.model = ctx.ModelOrNull();
        }
        // The connection is checked now, before anything is sent to any printer.
        try {
            ctx.ForPrinter(ConnectionOf(m.target), m.model, {}, m.target.usbIndex);
        } catch (const Failure& f) {
            Usage("%1%2: %3", {where, m.target.Name(), f.what()});
        }
    }
    return fleet;
}

// The task on one printer; throws Failure as the single commands do.
void Work(Task task, const FleetArgs& args, Context& pc, Member& m) {
    const PrinterModel& model = pc.Model();
    switch (task) {
    case Task::Inventory:
        if (model.family == PrinterFamily::Label) {
            const Json info = ReadLabelInfo(pc);
            m.serialNumber = info.value("serial_number", "");
            m.firmware = info.value("firmware_version", "");
            for (const auto& [key, value] : info.items())
                if (key != "serial_number" && key != "firmware_version") m.values[key] = value;
        } else {
            // The receipt printers tell no serial number or version: their
            // settings show that they answer.
            ReadReceiptSettings(pc);
        }
        break;
    case Task::Apply:
        ApplyProfile(pc, args.file, args.verify);
        break;
    case Task::Firmware:
        SendFirmware(pc, args.file);
        break;
    }
}

// Why a printer is not for the task; empty when it is.
std::string SkipReason(Task task, const Json& profile, const Member& m) {
    if (task == Task::Apply && profile["family"] != FamilyName(m.model->family))
        return m.model->family == PrinterFamily::Label ? Tr("a receipt profile, and this is a label printer")
                                                       : Tr("a label profile, and this is a receipt printer");
    if (task == Task::Firmware && m.target.kind != "usb" &&
        !(m.target.kind == "tcp" && m.model->family == PrinterFamily::Label))
        return Tr("firmware goes over USB (or the network for label printers)");
    return {};
}

Json ResultJson(const Member& m) {
    Json r = {{"target", m.target.Name()},
              {"model", m.model ? Json(ModelName(*m.model, LANG_ENGLISH)) : Json(nullptr)},
              {"mac", m.mac.empty() ? Json(nullptr) : Json(m.mac)},
              {"serial_number", m.serialNumber.empty() ? Json(nullptr) : Json(m.serialNumber)},
              {"firmware_version", m.firmware.empty() ? Json(nullptr) : Json(m.firmware)},
              {"status", m.status},
              {"message", m.message.empty() ? Json(nullptr) : Json(m.message)},
              {"exit_code", m.code},
              {"values", m.values}};
    if (!m.differences.is_null()) r["differences"] = m.differences;
    if (m.status == "interrupted" || m.status == "not_started")
        r["printer"] = m.changed ? "may be half-written" : "unchanged";
    return r;
}

// One line of the terminal report.
std::string Line(const Member& m) {
    std::string line = m.status;
    line.resize(std::max<std::size_t>(line.size() + 1, 12), ' ');
    std::string target = m.target.Name();
    target.resize(std::max<std::size_t>(target.size() + 1, 24), ' ');
    std::string model = m.model ? ModelName(*m.model, LANG_ENGLISH) : "-";
    model.resize(std::max<std::size_t>(model.size() + 1, 8), ' ');
    line += target + model;
    if (!m.message.empty()) return line + m.message;
    if (!m.mac.empty()) line += "mac=" + m.mac + " ";
    if (!m.serialNumber.empty()) line += "serial_number=" + m.serialNumber + " ";
    if (!m.firmware.empty()) line += "firmware_version=" + m.firmware + " ";
    for (const auto& [key, value] : m.values.items())
        line += key + "=" + ValueText(value) + " ";
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

void RunFleet(Context& ctx, Task task, const FleetArgs& args) {
    if (args.parallel < 1 || args.parallel > 256) Usage("--parallel takes 1 to 256");
    // Bounds that keep the deadlines within the clock's range.
    if (args.printerSeconds > 604800) Usage("--printer-timeout takes at most 604800 seconds (a week)");
    if (args.discover && args.seconds > 3600) Usage("--seconds takes at most 3600");
    Json profile;
    if (task == Task::Apply) profile = ReadProfileFile(args.file);
    if (task == Task::Firmware) {
        if (FirmwareFormatOf(args.file) == FirmwareFormat::Unknown)
            Usage("%1: not a firmware file (.FW, .fw, .cg, .CG, .bin, .BIN)", {args.file});
        if (::access(args.file.c_str(), R_OK) != 0)
            Fail(EXIT_FILE, "%1: cannot be read: %2", {args.file, SystemReason(errno)});
    }
    std::vector<Member> fleet = Gather(ctx, args);
    // One question for the whole fleet; the printers' own jobs do not ask.
    if (task == Task::Firmware)
        ctx.Confirm("Write %1 into %2 printers?", {args.file, std::to_string(fleet.size())});

    const double seconds = args.printerSeconds > 0 ? args.printerSeconds : task == Task::Firmware ? 600 : 60;
    const auto each = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
    const bool terminal = !ctx.options.json && ::isatty(STDERR_FILENO);
    std::mutex reporting;
    std::size_t done = 0, failed = 0;
    auto progress = [&] {
        if (terminal)
            std::cerr << "\r\033[K"
                      << Tr("done %1 / failed %2 / left %3",
                            {std::to_string(done), std::to_string(failed), std::to_string(fleet.size() - done)})
                      << std::flush;
    };
    progress();

    RunJobs(fleet.size(), static_cast<std::size_t>(args.parallel), each, ctx.Stop(),
            [&](std::size_t index, const JobLimits& job) {
                Member& m = fleet[index];
                SetThreadUiLanguage(ctx.Language());
                const std::string skip = m.model ? SkipReason(task, profile, m) : std::string();
                if (!m.model) {
                    m.status = "failed";
                    m.code = EXIT_USAGE;
                    m.message = Tr("no printer model: give one after the target or --model");
                } else if (!skip.empty()) {
                    m.status = "skipped";
                    m.message = skip;
                } else {
                    Context pc = ctx.ForPrinter(ConnectionOf(m.target), m.model, job, m.target.usbIndex);
                    try {
                        Work(task, args, pc, m);
                        m.status = "ok";
                        if (pc.AnsweredLate()) m.message = Tr("answered late; the replies were whole");
                    } catch (const Failure& f) {
                        m.code = f.code;
                        m.message = f.what();
                        if (!f.detail.empty()) m.message += " (" + f.detail + ")";
                        m.status = "failed";
                        if (f.code == EXIT_INTERRUPTED && ctx.Stop().stop_requested()) {
                            m.status = "interrupted";
                        } else if (JobClock::now() >= job.deadline) {
                            // Whichever step noticed it first: the printer's own time was up.
                            m.code = EXIT_TIMEOUT;
                            m.message = Tr("no result within %1 s (--printer-timeout)",
                                           {std::to_string(each.count() / 1000)});
                        }
                    } catch (const std::exception& e) {
                        m.status = "failed";
                        m.code = EXIT_PRINTER;
                        m.message = e.what();
                    }
                    // A verification's differences, and what a write or a transfer reported.
                    for (const Json& doc : pc.Printed()) {
                        if (doc.contains("mismatches")) m.differences = doc["mismatches"];
                        for (const auto& [key, value] : doc.items())
                            if (key != "mismatches") m.values[key] = value;
                    }
                    if (m.status == "ok" && m.values.value("confirmed", true) == false)
                        m.message = Tr("sent; the printer did not confirm that it received it");
                    m.changed = task == Task::Firmware || (task == Task::Apply && pc.Exchanges() > 1);
                }
                std::lock_guard lock(reporting);
                ++done;
                if (m.status == "failed") ++failed;
                if (!ctx.options.json) {
                    if (terminal) std::cerr << "\r\033[K" << std::flush;
                    std::cout << Line(m) << "\n" << std::flush;
                }
                progress();
            });
    if (terminal) std::cerr << "\n";

    Json results = Json::array();
    std::size_t ok = 0, skipped = 0, interrupted = 0;
    for (const Member& m : fleet) {
        results.push_back(ResultJson(m));
        ok += m.status == "ok";
        skipped += m.status == "skipped";
        interrupted += m.status == "interrupted" || m.status == "not_started";
    }
    const Json summary = {{"printers", fleet.size()},
                          {"ok", ok},
                          {"failed", failed},
                          {"skipped", skipped},
                          {"interrupted", interrupted}};
    const Json report = {{"command", ctx.Command()}, {"results", results}, {"summary", summary}};
    if (!args.report.empty()) {
        const FileWrite written =
            ReplaceFile(args.report, report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
        if (!written) Fail(EXIT_FILE, "%1: cannot be written (%2)", {args.report, written.Reason()});
    }
    if (ctx.options.json) {
        std::cout << report.dump(2, ' ', false, Json::error_handler_t::replace) << "\n" << std::flush;
    } else {
        std::cout << RenderText({{"summary", summary}});
        if (interrupted) {
            std::vector<std::string> unchanged, halfWritten;
            for (const Member& m : fleet)
                if (m.status == "interrupted" || m.status == "not_started")
                    (m.changed ? halfWritten : unchanged).push_back(m.target.Name());
            std::cout << RenderText({{"unchanged", unchanged}, {"may_be_half_written", halfWritten}});
        }
        std::cout << std::flush;
    }
    if (ctx.Stop().stop_requested()) Fail(EXIT_INTERRUPTED, "interrupted");
    if (failed) {
        std::vector<std::string> names;
        for (const Member& m : fleet)
            if (m.status == "failed") names.push_back(m.target.Name());
        Fail(EXIT_FLEET, "%1 of %2 printers failed: %3",
             {std::to_string(failed), std::to_string(fleet.size()), JoinItems(names)});
    }
}

} // namespace

void AddFleetCommands(CLI::App& app, Context&, Action& action) {
    auto args = std::make_shared<FleetArgs>();
    CLI::App* fleet = app.add_subcommand(
        "fleet", "many printers at once: inventory, apply a profile, update firmware (one report; exit 7 when some "
                 "printers failed)");
    fleet->require_subcommand(1);
    fleet->add_option("--targets", args->targets,
                      "printers, one a line: tcp:HOST[:PORT], serial:DEVICE[:...], lpt:DEVICE or usb:VID:PID[@N], "
                      "each optionally followed by a model; # comments; - reads standard input");
    fleet->add_flag("--discover", args->discover, "also the printers that answer the network searches");
    fleet->add_option("--seconds", args->seconds, "how long the searches wait for answers (10)")
        ->check(CLI::PositiveNumber);
    fleet->add_option("--parallel", args->parallel, "printers worked on at once (16)");
    fleet->add_option("--printer-timeout", args->printerSeconds,
                      "seconds one printer's job may take (60; firmware 600)")
        ->check(CLI::PositiveNumber);
    fleet->add_option("--report", args->report, "also write the JSON report to FILE");

    fleet->add_subcommand("inventory", "model, address, MAC, serial number, firmware version of every printer")
        ->callback([&action, args] { action = [args](Context& c) { RunFleet(c, Task::Inventory, *args); }; });
    auto* apply = fleet->add_subcommand("apply", "a profile to every printer of its family (others are skipped)");
    apply->add_option("profile", args->file, "the profile")->required();
    apply->add_flag("--verify", args->verify, "read the settings back and compare");
    apply->callback([&action, args] { action = [args](Context& c) { RunFleet(c, Task::Apply, *args); }; });
    auto* firmware =
        fleet->add_subcommand("firmware", "a firmware file to every printer: label printers over the network, USB "
                                          "targets over USB");
    firmware->add_option("file", args->file, "the file")->required();
    firmware->callback([&action, args] { action = [args](Context& c) { RunFleet(c, Task::Firmware, *args); }; });
}

} // namespace pemberlux::cli

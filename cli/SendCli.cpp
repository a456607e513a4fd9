#include "Commands.h"

#include "core/base/FileText.h"
#include "core/base/HexText.h"
#include "core/base/UiText.h"
#include "core/command/CommandData.h"
#include "core/command/Firmware.h"
#include "core/command/SendJobs.h"
#include "core/port/Devices.h"
#include "core/testitems/TestCommands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace pemberlux::cli {

namespace {

// The command test page, whose template holds the texts of refused files.
constexpr int IDD_COMMAND_TEST = 114;

// UTF-8 as the terminal gives it, to the UTF-16 the core's text rules take.
// Bytes that are no UTF-8 stand for themselves.
std::u16string Utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        bool ok = c < 0x80 || extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + static_cast<std::size_t>(k) >= text.size() ||
                (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
            }
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// A file, or standard input for "-", under the same rules.
DataFile ReadFileOrFail(const Context& ctx, const std::string& path) {
    const bool stdinput = path == STANDARD_STREAM;
    DataFile file;
    if (stdinput) {
        file.bytes = ReadStandardInput(ctx);
        if (file.bytes.empty()) file.status = DataFile::Empty;
    } else {
        file = ReadDataFile(path);
    }
    if (file.status != DataFile::Read) {
        std::string text = (stdinput ? Tr("standard input") : path) + ": " +
                           TemplateText(IDD_COMMAND_TEST, DataFileMessageKey(file.status), ctx.Language());
        // The system's reason, as other tools give it.
        if (file.error) text += " (" + SystemReason(file.error) + ")";
        throw Failure(EXIT_FILE, text);
    }
    return file;
}

// A transfer the printer stopped taking timed out (4); it did not refuse.
int TransferExitCode(bool openFailed, bool stalled) {
    return openFailed ? EXIT_OPEN : stalled ? EXIT_TIMEOUT : EXIT_PRINTER;
}

void FailSend(const Context& ctx, const SendJobResult& result, SendJobKind kind, const SendOptions& options,
              std::uint64_t total) {
    if (result.status == SendJobResult::Done) return;
    if (result.status == SendJobResult::Stopped) Fail(EXIT_INTERRUPTED, "interrupted");
    std::string text;
    if (const auto m = SendJobMessage(result, ctx.Kind(), kind, options, total)) text = ctx.Text(m->stringId);
    Failure failure(TransferExitCode(result.status == SendJobResult::OpenFailed, result.stalled),
                    text.empty() ? Tr("port error %1", {std::to_string(static_cast<int>(result.code))}) : text);
    failure.detail = OpenFailureLine(result.open);
    failure.where = ctx.Where();
    throw failure;
}

struct SendArgs {
    std::string text, hex, file;
    int loop = 1;
    int interval = 0;
};

void RunSend(Context& ctx, const SendArgs& a) {
    const int given = !a.text.empty() + !a.hex.empty() + !a.file.empty();
    if (given != 1) Usage("give one of %1", {"--text, --hex, --file"});
    if (a.loop < 0) Usage("--loop must be 0 (until Ctrl-C) or a count");
    SendOptions options;
    options.interval = std::chrono::milliseconds(a.interval);
    Bytes bytes;
    if (!a.hex.empty()) {
        if (!ParseHexText(std::string_view(a.hex), bytes)) Usage(ctx.Text(HEX_TEXT_ERROR_STRING));
    } else if (!a.text.empty()) {
        bytes = TextToPrinterBytes(Utf16(a.text));
    } else {
        bytes = ReadFileOrFail(ctx, a.file).bytes;
    }
    if (bytes.empty()) Usage("nothing to send");
    const bool file = !a.file.empty();
    const JobLimits limits = SendLimits(ctx.Stop());
    std::uint64_t sent = 0;
    std::uint64_t passes = 0; // whole ones
    const std::uint64_t total = bytes.size() * static_cast<std::uint64_t>(std::max(a.loop, 1));
    // --loop 0 repeats until Ctrl-C, as the page's loop does; a count sends that many passes.
    options.loop = a.loop == 0;
    for (int pass = 0; a.loop == 0 || pass < a.loop; ++pass) {
        PrinterPort port(ctx.Connection(), ctx.Usb());
        SendJobResult result;
        if (file) {
            result = RunFileSend(port, bytes, options, limits, [&](const FileProgress& p) {
                if (a.loop != 0) ctx.Progress(sent + p.position, total);
            });
        } else {
            result = RunDataSend(port, bytes, options, limits);
        }
        sent += result.sent;
        // Ctrl-C ends a loop until Ctrl-C as ping ends: with what was done. A
        // counted send it stops is interrupted, its bytes half-written.
        const bool stopped = result.status == SendJobResult::Stopped && a.loop == 0 && sent > 0;
        if (!stopped) FailSend(ctx, result, file ? SendJobKind::File : SendJobKind::Data, options, bytes.size());
        // Every pass sends all the bytes (a loop until Ctrl-C is one job of many passes).
        passes = sent / bytes.size();
        if (stopped || a.loop == 0) break;
    }
    if (file) ctx.EndProgress();
    ctx.Print({{"sent_bytes", sent}, {"passes", passes}});
    if (ctx.Stop().stop_requested())
        ctx.Notice("interrupted: %1 whole passes, %2 bytes sent", {std::to_string(passes), std::to_string(sent)});
}

// ---- Test jobs ---------------------------------------------------------------

struct TestJob {
    const char* name;
    const char* help;
    bool cutter; // needs a printer with a cutter
    Bytes (*bytes)();
};

const TestJob TEST_JOBS[] = {
    {"black-mark-enable", "black mark sensing on", false,
     [] { return TestCommandBytes(TestCommand::BlackMarkEnable); }},
    {"black-mark-disable", "black mark sensing off", false,
     [] { return TestCommandBytes(TestCommand::BlackMarkDisable); }},
    {"black-mark-test", "print to the next black mark", false, [] { return BlackMarkTestBytes(false); }},
    {"black-mark-test-cut", "print to the next black mark and cut", true, [] { return BlackMarkTestBytes(true); }},
    {"cut-enable", "cutter on", true, [] { return TestCommandBytes(TestCommand::CutEnable); }},
    {"cut-disable", "cutter off", true, [] { return TestCommandBytes(TestCommand::CutDisable); }},
    {"full-cut", "full cut test", true, [] { return TestCommandBytes(TestCommand::FullCut); }},
    {"partial-cut", "partial cut test", true, [] { return TestCommandBytes(TestCommand::PartialCut); }},
    {"drawer-1", "open drawer 1", false, [] { return TestCommandBytes(TestCommand::Drawer1); }},
    {"drawer-2", "open drawer 2", false, [] { return TestCommandBytes(TestCommand::Drawer2); }},
    {"carriage", "carriage test", false, [] { return TestCommandBytes(TestCommand::Carriage); }},
    {"feed", "paper feed test", false, [] { return TestCommandBytes(TestCommand::Feed); }},
    {"head-pin", "print head pin test", false, [] { return TestCommandBytes(TestCommand::HeadPin); }},
    {"black-bar", "print a black bar", false, [] { return BlackBarBytes(); }},
    {"alphabet", "print A to Z (font A)", false, [] { return AsciiTestBytes(AsciiText::Alphabet, true, FontStyle{}); }},
    {"test-file", "send testPrint.qv from the working folder", false, nullptr},
};

std::string TestJobNames() {
    std::vector<std::string> names;
    for (const TestJob& job : TEST_JOBS)
        names.push_back(job.name);
    return JoinItems(names);
}

void RunTestJob(Context& ctx, const std::string& name) {
    const auto job =
        std::find_if(std::begin(TEST_JOBS), std::end(TEST_JOBS), [&](const TestJob& j) { return name == j.name; });
    if (job == std::end(TEST_JOBS)) Usage("unknown test job '%1'; jobs: %2", {name, TestJobNames()});
    const PrinterModel* model = ctx.ModelOrNull();
    if (model && model->family != PrinterFamily::Receipt) Usage("test jobs are for receipt printers");
    if (job->cutter && model && !model->cutter) Usage("%1: this printer has no cutter", {name});
    Bytes bytes;
    if (job->bytes) {
        bytes = job->bytes();
    } else {
        const TestFile file = ReadTestFile(TEST_FILE_NAME);
        if (file.status == TestFile::Missing)
            Fail(EXIT_FILE, "%1: cannot be read: %2", {TEST_FILE_NAME, SystemReason(file.error)});
        if (file.status == TestFile::NotHex) throw Failure(EXIT_FILE, ctx.Text(HEX_TEXT_ERROR_STRING));
        bytes = file.bytes;
    }
    ctx.Write(bytes);
    ctx.Print({{"test_job", name}, {"sent_bytes", bytes.size()}});
}

// ---- Firmware ----------------------------------------------------------------

// After download mode the printer comes back on USB as its loader: the
// transfer waits this long for it.
constexpr std::chrono::milliseconds LOADER_WAIT{10000};

struct FirmwareArgs {
    std::string file;
    std::string format; // fw, cg or bin: what the file's ending would say
    bool downloadMode = false;
};

void RunFirmware(Context& ctx, const FirmwareArgs& a) {
    const std::string& path = a.file;
    const bool downloadMode = a.downloadMode;
    FirmwareFormat format = FirmwareFormatOf(path);
    if (!a.format.empty()) {
        format = FirmwareFormatOf("." + a.format);
    } else if (path == STANDARD_STREAM) {
        Usage("firmware from standard input needs --format fw|cg|bin");
    }
    if (format == FirmwareFormat::Unknown) Usage("%1: not a firmware file (.FW, .fw, .cg, .CG, .bin, .BIN)", {path});
    const PrinterModel* model = ctx.ModelOrNull();
    const bool label = model && model->downloadMode;
    const PortKind kind = ctx.Kind();
    if (!(kind == PORT_USB || (kind == PORT_LAN && label)))
        Usage("firmware goes over USB (or the network for label printers)");
    if (downloadMode && !label) Usage("--download-mode is for label printers");
    DataFile file = ReadFileOrFail(ctx, path);
    ctx.Confirm("Write %1 into the printer at %2?", {path, ctx.Where()});
    std::optional<FirmwarePlan> plan = PrepareFirmware(format, file.bytes, downloadMode, ctx.Usb());
    file.bytes.clear();
    if (downloadMode) ctx.Exchange(DOWNLOAD_MODE_COMMAND, nullptr);

    const auto until = JobClock::now() + LOADER_WAIT;
    FirmwareResult result;
    while (true) {
        PrinterPort port(ctx.Connection(), plan->usb);
        result = RunFirmwareTransfer(port, plan->bytes, FirmwareLimits(ctx.Stop()),
                                     [&](const FirmwareProgress& p) { ctx.Progress(p.sent, p.total); });
        // The loader may not be on the bus yet.
        const bool waiting =
            downloadMode && kind == PORT_USB && result.status == FirmwareResult::OpenFailed && JobClock::now() < until;
        if (!waiting || !SleepFor(ctx.Stop(), std::chrono::milliseconds(200))) break;
    }
    ctx.EndProgress();
    if (result.status == FirmwareResult::Stopped || ctx.Stop().stop_requested())
        Fail(EXIT_INTERRUPTED, "interrupted");
    if (result.status != FirmwareResult::Done) {
        std::string text;
        if (const auto m = FirmwareMessage(result, kind, plan->bytes.size())) text = ctx.Text(m->stringId);
        if (text.empty()) text = Tr("port error %1", {std::to_string(static_cast<int>(result.code))});
        Failure failure(TransferExitCode(result.status == FirmwareResult::OpenFailed, result.stalled), text);
        failure.detail = OpenFailureLine(result.open);
        failure.where = ctx.Where();
        throw failure;
    }
    // Sent, and the printer neither closed nor refused the connection after it:
    // nobody knows whether it took the image, and the user is told so.
    if (result.unconfirmed && !ctx.Captures())
        ctx.Notice("note: the file was sent, but the printer did not confirm that it received it (it kept the "
                   "connection open); check that it restarts with the new firmware");
    ctx.Print({{"sent_bytes", result.sent}, {"total_bytes", plan->bytes.size()}, {"confirmed", !result.unconfirmed}});
}

// ---- Ports -------------------------------------------------------------------

// Whether this user may open the device for reading and writing, as the opens do.
bool MayOpen(const std::string& path) {
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

Json ListPorts() {
    static const char* const KINDS[] = {"serial", "parallel", "usb"};
    Json doc = Json::array();
    for (const DeviceEntry& d : ListDevices()) {
        const bool usb = d.kind == DeviceEntry::Usb;
        doc.push_back({{"kind", KINDS[d.kind]},
                       {"device", d.node},
                       {"name", d.name.empty() ? Json() : Json(d.name)},
                       {"vendor_id", usb ? Json(d.vendorId) : Json()},
                       {"product_id", usb ? Json(d.productId) : Json()},
                       {"access", MayOpen(d.node)}});
    }
    return doc;
}

} // namespace

void SendFirmware(Context& ctx, const std::string& path) {
    RunFirmware(ctx, FirmwareArgs{path, "", false});
}

void AddSendCommands(CLI::App& app, Context&, Action& action) {
    auto send = std::make_shared<SendArgs>();
    CLI::App* cmd = app.add_subcommand("send", "send text, hexadecimal bytes or a file as they are");
    SetCompletion(cmd->add_option("--text", send->text, "text (Chinese text goes out in GBK with a LF)"), {});
    SetCompletion(cmd->add_option("--hex", send->hex, "hexadecimal bytes, e.g. \"1B 40 0A\""), {});
    cmd->add_option("--file", send->file, "a file sent whole (- for standard input)");
    SetCompletion(cmd->add_option("--loop", send->loop, "passes (0: until Ctrl-C)"), {});
    SetCompletion(
        cmd->add_option("--interval", send->interval, "milliseconds after each pass")->check(CLI::NonNegativeNumber),
        {});
    cmd->callback([&action, send] { action = [send](Context& c) { RunSend(c, *send); }; });

    auto name = std::make_shared<std::string>();
    CLI::App* test = app.add_subcommand("test-job", "run a receipt printer test job: " + TestJobNames());
    CompletionWords jobs;
    for (const TestJob& job : TEST_JOBS)
        jobs.words.push_back(job.name);
    SetCompletion(test->add_option("name", *name, "the test job")->required(), jobs);
    test->callback([&action, name] { action = [name](Context& c) { RunTestJob(c, *name); }; });

    auto fw = std::make_shared<FirmwareArgs>();
    CLI::App* firmware = app.add_subcommand("firmware", "download a firmware (.FW), font (.cg) or image (.bin) file");
    firmware->add_option("file", fw->file, "the file (- for standard input, with --format)")->required();
    firmware->add_option("--format", fw->format, "the kind of file whatever its name ends with: fw, cg or bin")
        ->check(CLI::IsMember({"fw", "cg", "bin"}));
    firmware->add_flag("--download-mode", fw->downloadMode, "put a label printer into download mode first");
    firmware->callback([&action, fw] { action = [fw](Context& c) { RunFirmware(c, *fw); }; });

    app.add_subcommand(
           "ports",
           "serial, parallel and USB printer devices on this machine; access: no marks those this user may not open")
        ->callback([&action] { action = [](Context& c) { c.Print(ListPorts()); }; });
}

} // namespace pemberlux::cli

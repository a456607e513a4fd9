// pemberlux-cli: every capability of the program from a terminal, over the
// same core, for scripts and for setting up many printers.
#include "Cli.h"

#include "core/base/UiText.h"
#include "core/base/Version.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>
#include <stop_token>
#include <thread>

using namespace pemberlux::cli;

namespace {

// Ctrl-C reaches the job through its stop token. A signal handler may only
// write to a pipe; a thread of ours reads it and requests the stop, which
// wakes whatever port step is blocked.
int interruptPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(interruptPipe[1], &byte, 1);
    // A second Ctrl-C ends the program at once.
    ::signal(SIGINT, SIG_DFL);
}

class InterruptWatch {
public:
    explicit InterruptWatch(std::stop_source& source) {
        if (::pipe2(interruptPipe, O_CLOEXEC) != 0) return;
        thread_ = std::thread([&source] {
            char byte = 0;
            while (::read(interruptPipe[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (byte == 1) source.request_stop();
        });
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    ~InterruptWatch() {
        if (!thread_.joinable()) return;
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(interruptPipe[1], &byte, 1);
        thread_.join();
        ::close(interruptPipe[0]);
        ::close(interruptPipe[1]);
    }

private:
    std::thread thread_;
};

constexpr const char* EXIT_CODES = R"(Exit codes:
  0    success
  1    the printer refused or answered badly
  2    usage: a bad command, option, key or value (nothing was sent)
  3    the port could not be opened
  4    time-out: the printer did not answer in time, or stopped taking data
  5    verification found a difference
  6    a file could not be read (or written)
  7    fleet: some printers failed; the report says which
  130  interrupted (Ctrl-C), or not confirmed at the question

Defaults for the printer model and the interface come from the settings file
the program uses: --config FILE, else $PEMBERLUX_CONFIG, else ./pemberlux.ini
when it exists, else $XDG_CONFIG_HOME/pemberlux/pemberlux.ini (~/.config when
unset). A file named by --config or $PEMBERLUX_CONFIG must be readable (exit 6);
only these default places may be absent. It is only written with --save.)";

// A question before the command acts, on a terminal: --yes answers it.
void AddYesFlags(CLI::App& app, Context& ctx) {
    for (const char* path : {"label reset", "receipt restore", "wifi reset", "bluetooth restore", "firmware", "fleet firmware"}) {
        CLI::App* command = &app;
        std::istringstream words(path);
        for (std::string word; words >> word;)
            command = command->get_subcommand(word);
        AddYesFlag(*command, ctx);
    }
}

// --lang before the command line is read, so that its errors are in the user's language.
void EarlyLanguage(int argc, char** argv) {
    std::string lang;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lang" && i + 1 < argc) lang = argv[i + 1];
        if (arg.rfind("--lang=", 0) == 0) lang = arg.substr(7);
    }
    pemberlux::SetThreadUiLanguage(ChooseLanguage(lang));
}

} // namespace

int main(int argc, char** argv) {
    Context ctx;
    Action action;
    EarlyLanguage(argc, argv);
    CLI::App app{"Configure Tavrel label and receipt printers from a terminal.", "pemberlux-cli"};
    UseSharedHelp(app);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("pemberlux-cli ") + PEMBERLUX_VERSION);

    ConnectionOptions& o = ctx.options;
    const char* connection = "Connection";
    std::vector<std::string> models;
    // The model numbers of both languages: TR-530 is the TR-520's Chinese name (the
    // descriptive Chinese names, "Label Printer(200DPI)", are taken but not offered).
    for (int language : {pemberlux::LANG_ENGLISH, pemberlux::LANG_CHINESE})
        for (const pemberlux::PrinterModel& m : pemberlux::MODELS) {
            const std::string name = ModelName(m, language);
            if (name.find(' ') == std::string::npos && std::find(models.begin(), models.end(), name) == models.end())
                models.push_back(name);
        }
    SetCompletion(app.add_option("--model", o.model, "printer model (LB-610, LB-710, LB-600, TR-510, TR-520 or TR-530)")
                      ->group(connection),
                  {models, {}});
    SetCompletion(app.add_option("--tcp", o.tcp, "HOST[:PORT] of the printer's print port (9100)")->group(connection),
                  {});
    app.add_option("--serial", o.serial, "DEVICE[:BAUD[:PARITY[:DATA[:STOP[:FLOW]]]]] serial line")->group(connection);
    app.add_option("--lpt", o.lpt, "parallel port device (LPT1 or a path)")->group(connection);
    SetCompletion(app.add_option("--usb", o.usb, "VID:PID of a USB printer, or auto for the model's ids")
                      ->group(connection),
                  {{"auto"}, {}});
    SetCompletion(app.add_option("--timeout", o.timeoutMs, "reply time-out in milliseconds")->group(connection), {});
    app.add_flag("--save", o.save, "write the connection (and a reported serial line) to the settings file")
        ->group(connection);
    app.add_option("--config", o.config, "the settings file (pemberlux.ini) to read, and to write with --save")
        ->group(connection);
    const char* output = "Output";
    app.add_flag("--json", o.json, "one JSON document on stdout")->group(output);
    app.add_flag("--raw", o.raw, "text output: the printers' texts as they came, control bytes included (else escaped)")
        ->group(output);
    app.add_flag("--progress", o.progress, "with --json: progress of transfers as JSON lines on stderr")->group(output);
    const auto* lang =
        app.add_option("--lang", o.lang, "language of messages: en or zh (default: the locale's)")->group(output);
    SetCompletion(lang, {{"en", "zh"}, {}});

    AddLabelCommands(app, ctx, action);
    AddReceiptCommands(app, ctx, action);
    AddSendCommands(app, ctx, action);
    AddProfileCommands(app, ctx, action);
    AddNetworkCommands(app, ctx, action);
    AddWirelessCommands(app, ctx, action);
    AddFleetCommands(app, ctx, action);
    AddYesFlags(app, ctx);

    // The shell completion scripts, which the package installs (not listed: group "").
    auto shell = std::make_shared<std::string>();
    CLI::App* completion = app.add_subcommand("completion", "print the completion script for bash or zsh");
    completion->group("");
    SetCompletion(completion->add_option("shell", *shell, "bash or zsh")->required(), {{"bash", "zsh"}, {}});
    completion->callback([&action, &app, shell] {
        action = [&app, shell](Context&) {
            if (*shell != "bash" && *shell != "zsh") Usage("'%1' is not a shell; give bash or zsh", {*shell});
            std::cout << CompletionScript(app, *shell);
        };
    });

    // The shared options may also follow the command, and each command's help
    // points to the one table of exit codes.
    FinishCommands(app, EXIT_CODES);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        Say(CommandName(app), ParseErrorText(app, e));
        return EXIT_USAGE;
    }

    std::stop_source stop;
    InterruptWatch watch(stop);
    ctx.SetStop(stop.get_token());
    ctx.SetCommand(CommandName(app));
    try {
        ctx.Resolve();
        if (action) action(ctx);
        ctx.SaveIfAsked();
    } catch (const Failure& f) {
        // One line, with the device or address it happened on.
        // A failed open's second line names the device itself.
        const bool plain = f.where.empty() || !f.detail.empty();
        Say(CommandName(app), plain ? f.what() : f.where + ": " + f.what());
        if (!f.detail.empty()) Say(CommandName(app), f.detail);
        return f.code;
    } catch (const std::exception& e) {
        Say(CommandName(app), e.what());
        return EXIT_PRINTER;
    }
    if (stop.stop_requested()) return EXIT_INTERRUPTED;
    return EXIT_OK;
}

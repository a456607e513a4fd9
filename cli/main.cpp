// pemberlux-cli: every capability of the program from a terminal, over the
// same core, for scripts and for setting up many printers.
#include "Cli.h"

#include "core/base/Version.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
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
        thread_ = std::thread([this, &source] {
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
  0  success
  1  the printer refused or answered badly
  2  usage: a bad option, key or value (nothing was sent)
  3  the port could not be opened
  4  time-out: the printer did not answer in time
  5  verification found a difference
  6  a file could not be read (or written)
  7  fleet: some printers failed; the report says which
  130 interrupted (Ctrl-C)

Defaults for the printer model and the interface come from the settings file
the program uses: --config FILE, else $PEMBERLUX_CONFIG, else ./pemberlux.ini
when it exists, else $XDG_CONFIG_HOME/pemberlux/pemberlux.ini (~/.config when
unset). It is only written with --save.)";

// "label get": the command that ran, for the error line.
std::string CommandName(CLI::App& app) {
    std::string name;
    for (CLI::App* level = &app; level;) {
        const auto chosen = level->get_subcommands();
        level = chosen.empty() ? nullptr : chosen.front();
        if (level) name += (name.empty() ? "" : " ") + level->get_name();
    }
    return name;
}

} // namespace

int main(int argc, char** argv) {
    Context ctx;
    Action action;
    CLI::App app{"Configure Tavrel label and receipt printers from a terminal.", "pemberlux-cli"};
    app.footer(EXIT_CODES);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("pemberlux-cli ") + PEMBERLUX_VERSION);

    ConnectionOptions& o = ctx.options;
    const char* connection = "Connection";
    app.add_option("--model", o.model, "printer model (LB-610, LB-710, LB-600, TR-510, TR-520 or TR-530)")
        ->group(connection);
    app.add_option("--tcp", o.tcp, "HOST[:PORT] of the printer's print port (9100)")->group(connection);
    app.add_option("--serial", o.serial, "DEVICE[:BAUD[:PARITY[:DATA[:STOP[:FLOW]]]]] serial line")->group(connection);
    app.add_option("--lpt", o.lpt, "parallel port device (LPT1 or a path)")->group(connection);
    app.add_option("--usb", o.usb, "VID:PID of a USB printer, or auto for the model's ids")->group(connection);
    app.add_option("--timeout", o.timeoutMs, "reply time-out in milliseconds")->group(connection);
    app.add_flag("--save", o.save, "write the connection (and a reported serial line) to the settings file")
        ->group(connection);
    app.add_option("--config", o.config, "the settings file (pemberlux.ini) to read, and to write with --save")
        ->group(connection);
    const char* output = "Output";
    app.add_flag("--json", o.json, "one JSON document on stdout")->group(output);
    app.add_flag("--progress", o.progress, "with --json: progress of transfers as JSON lines on stderr")->group(output);
    app.add_option("--lang", o.lang, "language of messages: en or zh")
        ->check(CLI::IsMember({"en", "zh"}))
        ->group(output);

    AddLabelCommands(app, ctx, action);
    AddReceiptCommands(app, ctx, action);
    AddSendCommands(app, ctx, action);
    AddProfileCommands(app, ctx, action);
    AddNetworkCommands(app, ctx, action);
    AddWirelessCommands(app, ctx, action);
    AddFleetCommands(app, ctx, action);
    // The shared options may also follow the command.
    for (CLI::App* sub : app.get_subcommands({})) {
        sub->fallthrough();
        for (CLI::App* inner : sub->get_subcommands({}))
            inner->fallthrough();
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_OK : EXIT_USAGE;
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
        // One line, whatever line breaks the program's text has.
        std::string line = f.what();
        std::replace(line.begin(), line.end(), '\n', ' ');
        std::cerr << "pemberlux-cli: " << CommandName(app) << ": " << line << "\n";
        if (!f.detail.empty()) std::cerr << "pemberlux-cli: " << f.detail << "\n";
        return f.code;
    } catch (const std::exception& e) {
        std::cerr << "pemberlux-cli: " << CommandName(app) << ": " << e.what() << "\n";
        return EXIT_PRINTER;
    }
    if (stop.stop_requested()) return EXIT_INTERRUPTED;
    return EXIT_OK;
}

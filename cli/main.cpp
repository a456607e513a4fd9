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
  2  usage: a bad command, option, key or value (nothing was sent)
  3  the port could not be opened
  4  time-out: the printer did not answer in time, or stopped taking data
  5  verification found a difference
  6  a file could not be read (or written)
  130 interrupted (Ctrl-C), or not confirmed at the question

Defaults for the printer model and the interface come from the settings file
the program uses: --config FILE, else $PEMBERLUX_CONFIG, else ./pemberlux.ini
when it exists, else $XDG_CONFIG_HOME/pemberlux/pemberlux.ini (~/.config when
unset). It is only written with --save.)";

// Every command's help points to the table above instead of repeating it.
constexpr const char* EXIT_CODES_POINTER =
    "Exit codes: as pemberlux-cli --help and the manual page pemberlux-cli(1) list them.";

// The deepest command given ("label get" is `get`).
CLI::App* Chosen(CLI::App& app) {
    CLI::App* level = &app;
    while (true) {
        const auto chosen = level->get_subcommands();
        if (chosen.empty()) return level;
        level = chosen.front();
    }
}

// "label get": the command that ran, for the error line.
std::string CommandName(CLI::App& app) {
    std::string name;
    for (const CLI::App* level = Chosen(app); level->get_parent(); level = level->get_parent())
        name = level->get_name() + (name.empty() ? "" : " ") + name;
    return name;
}

// Edits between two words, a swap of neighbours counting as one.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The candidate a mistyped word most likely meant: the only one it begins, or
// the nearest within a third of its length; empty when none is near.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates) {
    std::vector<std::string> starting;
    for (const std::string& c : candidates)
        if (word.size() >= 2 && c.compare(0, word.size(), word) == 0) starting.push_back(c);
    if (starting.size() == 1) return starting.front();
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(1, word.size() / 3) + 1;
    for (const std::string& c : candidates) {
        const std::size_t d = Distance(word, c);
        if (d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<std::string> CommandNames(const CLI::App& level) {
    std::vector<std::string> names;
    for (const CLI::App* sub : level.get_subcommands({}))
        if (!sub->get_group().empty()) names.push_back(sub->get_name());
    return names;
}

// The options a command takes: its own and, as they fall through, those of the commands above it.
std::vector<std::string> OptionNames(const CLI::App& level) {
    std::vector<std::string> names;
    for (const CLI::App* app = &level; app; app = app->get_parent()) {
        for (const CLI::Option* option : app->get_options()) {
            for (const std::string& name : option->get_lnames())
                names.push_back("--" + name);
            for (const std::string& name : option->get_snames())
                names.push_back("-" + name);
        }
    }
    return names;
}

// `word` was not found among `known`: the nearest is offered, else the help.
std::string WithSuggestion(bool option, const std::string& word, const std::vector<std::string>& known) {
    const std::string near = Nearest(word, known);
    if (option)
        return near.empty() ? Tr("'%1' is not an option; see --help", {word})
                            : Tr("'%1' is not an option; did you mean '%2'?", {word, near});
    return near.empty() ? Tr("'%1' is not a command; see --help", {word})
                        : Tr("'%1' is not a command; did you mean '%2'?", {word, near});
}

// "--timeout: 1 required INT missing" and "Could not convert: --timeout = abc": the option's name, and the value.
std::pair<std::string, std::string> OptionAndValue(const std::string& message) {
    const std::string convert = "Could not convert: ";
    if (message.compare(0, convert.size(), convert) == 0) {
        const std::string rest = message.substr(convert.size());
        const auto eq = rest.find(" = ");
        if (eq != std::string::npos) return {rest.substr(0, eq), rest.substr(eq + 3)};
    }
    return {message.substr(0, message.find(':')), ""};
}

// A parse error in words that name what was wrong and what may have been meant.
std::string ParseErrorText(CLI::App& app, const CLI::ParseError& e) {
    const CLI::App& level = *Chosen(app);
    const std::vector<std::string> left = app.remaining(true);
    if (!left.empty()) {
        const std::string& word = left.front();
        if (word.size() > 1 && word[0] == '-')
            return WithSuggestion(true, word.substr(0, word.find('=')), OptionNames(level));
        if (!CommandNames(level).empty() && level.get_subcommands().empty())
            return WithSuggestion(false, word, CommandNames(level));
        return Tr("unexpected argument '%1'; see --help", {word});
    }
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        if (!CommandNames(level).empty() && level.get_subcommands().empty())
            return Tr("a command is needed: %1; see --help", {JoinItems(CommandNames(level))});
        for (const CLI::Option* option : level.get_options())
            if (option->get_required() && option->count() == 0)
                return Tr("'%1' is missing; see --help", {option->get_name()});
    }
    const auto [option, value] = OptionAndValue(e.what());
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && !option.empty() && option[0] == '-')
        return Tr("'%1' needs a value; see --help", {option});
    if (dynamic_cast<const CLI::ConversionError*>(&e) && !value.empty())
        return Tr("%1: '%2' is not a number", {option, value});
    return e.what();
}

// A question before the command acts, on a terminal: --yes answers it.
void AddYesFlags(CLI::App& app, Context& ctx) {
    for (const char* path : {"label reset", "receipt restore", "wifi reset", "bluetooth restore", "firmware"}) {
        CLI::App* command = &app;
        std::istringstream words(path);
        for (std::string word; words >> word;)
            command = command->get_subcommand(word);
        AddYesFlag(*command, ctx);
    }
}

// A command's help also lists the options every command shares.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (!app->get_parent() || mode == CLI::AppFormatMode::Sub) return CLI::Formatter::make_help(app, name, mode);
        return make_description(app) + make_usage(app, name) + make_positionals(app) + make_groups(app, mode) +
               SharedGroups(app) + make_subcommands(app, mode) + "\n" + make_footer(app);
    }

private:
    std::string SharedGroups(const CLI::App* app) const {
        std::string out;
        const CLI::App* root = app;
        while (root->get_parent())
            root = root->get_parent();
        for (const std::string& group : root->get_groups()) {
            const auto shared = root->get_options([&](const CLI::Option* o) {
                return o->get_group() == group && o->nonpositional() && o != root->get_help_ptr() &&
                       o != root->get_option_no_throw("--version");
            });
            if (!group.empty() && !shared.empty()) out += make_group(group, false, shared);
        }
        return out;
    }
};

void SetFooters(CLI::App& level) {
    for (CLI::App* sub : level.get_subcommands({})) {
        sub->fallthrough();
        const std::string own = sub->get_footer();
        sub->footer(own.empty() ? EXIT_CODES_POINTER : own + "\n" + EXIT_CODES_POINTER);
        SetFooters(*sub);
    }
}

// --lang and --config before the command line is read, so that its errors are in the user's language.
void EarlyLanguage(int argc, char** argv) {
    std::string lang, config;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        for (auto [name, value] : {std::pair<const char*, std::string*>{"--lang", &lang}, {"--config", &config}}) {
            const std::string n = name;
            if (arg == n && i + 1 < argc) *value = argv[i + 1];
            if (arg.compare(0, n.size() + 1, n + "=") == 0) *value = arg.substr(n.size() + 1);
        }
    }
    pemberlux::SetThreadUiLanguage(ChooseLanguage(lang, FindSettingsFile(config)));
}

} // namespace

int main(int argc, char** argv) {
    Context ctx;
    Action action;
    EarlyLanguage(argc, argv);
    CLI::App app{"Configure Tavrel label and receipt printers from a terminal.", "pemberlux-cli"};
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("pemberlux-cli ") + PEMBERLUX_VERSION);

    ConnectionOptions& o = ctx.options;
    const char* connection = "Connection";
    std::vector<std::string> models;
    for (const pemberlux::PrinterModel& m : pemberlux::MODELS)
        models.push_back(ModelName(m, pemberlux::LANG_ENGLISH));
    SetCompletion(app.add_option("--model", o.model, "printer model (LB-610, LB-710, LB-600, TR-510, TR-520)")
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
        app.add_option("--lang", o.lang, "language of messages: en or zh (default: as the program, or the locale)")
            ->group(output);
    SetCompletion(lang, {{"en", "zh"}, {}});

    AddLabelCommands(app, ctx, action);
    AddReceiptCommands(app, ctx, action);
    AddSendCommands(app, ctx, action);
    AddProfileCommands(app, ctx, action);
    AddNetworkCommands(app, ctx, action);
    AddWirelessCommands(app, ctx, action);
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
    SetFooters(app);
    app.footer(EXIT_CODES);

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

// What every command of pemberlux-cli shares: the connection it talks through
// (from pemberlux.ini, overridden by the options), the stop that Ctrl-C
// requests, the output as text or JSON, and the exit codes.
#pragma once

#include "Values.h"
#include "core/base/Models.h"
#include "core/base/StringId.h"
#include "core/port/Exchange.h"
#include "core/port/PrinterPort.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
class ParseError;
} // namespace CLI

namespace pemberlux::cli {

// How long a host name's lookup may take: as long as a connect may.
inline constexpr std::chrono::milliseconds NAME_LOOKUP_LIMIT{20000};

// The options every command shares, as given.
struct ConnectionOptions {
    std::string model;
    std::string tcp;
    std::string serial;
    std::string lpt;
    std::string usb;
    int timeoutMs = 0; // 0: the command's own
    bool json = false;
    bool raw = false; // text output: the printers' texts as they came
    bool yes = false; // destructive commands: no question on a terminal
    bool progress = false;
    bool save = false;
    std::string config; // --config FILE
    std::string lang;
    int psPort = 1901;  // print servers
    int kvPort = 22094; // key-value printers
};

class Context {
public:
    ConnectionOptions options;

    // The settings of the settings file (see FindSettingsFile; never written
    // unless --save) with the options applied; the language of the texts is
    // set for this thread. Throws a usage failure for options that make no
    // sense, and a file failure for a named settings file that cannot be read.
    void Resolve();

    // A context of its own for one printer of a fleet, next to the others:
    // this one's options and language with `connection`'s --tcp, --serial,
    // --lpt or --usb (checked as those are), `model` (may be null) and
    // `job`'s stop and deadline; `usbIndex` >= 0 picks one of several USB
    // printers with the ids. What the commands print through it is kept
    // (Printed()), not written. Throws a usage failure for a bad connection.
    Context ForPrinter(const ConnectionOptions& connection, const PrinterModel* model, const JobLimits& job,
                       int usbIndex = -1) const;
    const std::vector<Json>& Printed() const { return printed_; }
    // Whether this is a fleet printer's context: its notes go into the report.
    bool Captures() const { return capture_; }
    // Whether a reply came late (the note a single command writes to stderr).
    bool AnsweredLate() const { return late_; }
    // Exchanges started and transfer progress reported so far: what may have
    // reached the printer when the job was stopped.
    int Exchanges() const { return exchanges_; }
    bool Transferred() const { return transferred_; }

    const PortSettings& Settings() const { return settings_; }
    PortSettings& Settings() { return settings_; }
    const UsbSelection& Usb() const { return usb_; }
    // The selected model; a usage failure when there is none.
    const PrinterModel& Model() const;
    // The settings a port is built from: a host name of --tcp is looked up
    // here, once, within the command's stop; one that has no address ends the
    // command (EXIT_OPEN).
    const PortSettings& Connection();
    const PrinterModel* ModelOrNull() const { return model_; }
    int Language() const { return langId_; }

    // A reply rule with the command's time-out (--timeout wins).
    ReplyRule WithTimeout(ReplyRule rule) const;
    std::chrono::milliseconds Timeout(std::chrono::milliseconds fallback) const;

    // The command that runs ("label get"), for the lines it writes to stderr.
    const std::string& Command() const { return command_; }
    void SetCommand(std::string command) { command_ = std::move(command); }

    std::stop_token Stop() const { return stop_; }
    void SetStop(std::stop_token stop) { stop_ = std::move(stop); }
    JobLimits Limits() const { return {stop_, deadline_}; }

    // One exchange on the connection; failures end the command.
    ExchangeResult Exchange(std::span<const std::uint8_t> frame, const ReplyRule* rule);
    // A core exchange sequence on the connection's port; failures end the command.
    using Steps = std::function<ExchangeResult(PrinterPort&, const JobLimits&)>;
    ExchangeResult Run(const Steps& exchange);
    // The same without ending the command: the caller decides.
    ExchangeResult TryExchange(std::span<const std::uint8_t> frame, const ReplyRule* rule);
    // Ends the command for a result that is not Done (or came late).
    void Check(const ExchangeResult& result, PortKind kind) const;
    // Writes `bytes` to the printer, which answers nothing; failures end the command.
    void Write(std::span<const std::uint8_t> bytes);
    PortKind Kind() const { return settings_.portKind; }

    // Prints the command's document: JSON with --json, else text.
    void Print(const Json& doc);
    // Progress of a long transfer: a bar on a terminal, JSON lines with --json --progress.
    void Progress(std::uint64_t done, std::uint64_t total);
    void EndProgress() const;

    // Writes the settings to the settings file when --save was given, unless
    // the file already holds them from this command's last write.
    void SaveIfAsked();

    // The string table text in the chosen language.
    std::string Text(StringId id) const;

    // The device or address and port the command talks to ("127.0.0.1:9100",
    // "/dev/ttyUSB0", "USB 3A7E:5E10"), for the lines that report a failure.
    std::string Where() const;

    // A line on stderr: "pemberlux-cli: <command>: " and the text (Tr).
    void Notice(std::string_view english, std::initializer_list<std::string> args = {}) const;

    // Before a command that cannot be undone: on a terminal (standard input),
    // unless --yes, asks the question (Tr) and ends the command (interrupted,
    // nothing sent) unless the answer is yes. Scripts are not asked.
    void Confirm(std::string_view question, std::initializer_list<std::string> args = {}) const;

private:
    ExchangeResult TryRun(const Steps& exchange);
    // The connection options (--tcp, --serial, --lpt, --usb) applied to the settings.
    void ResolveConnection();

    PortSettings settings_;
    UsbSelection usb_;
    const PrinterModel* model_ = nullptr;
    int langId_ = 1033;
    std::stop_token stop_;
    JobClock::time_point deadline_ = JobClock::time_point::max();
    std::string command_;
    std::filesystem::path settingsFile_;
    std::string fileLanguage_;            // the window's, kept when --save writes the file
    std::optional<PortSettings> written_; // what this command last wrote there
    // A fleet printer's context keeps its output.
    bool capture_ = false;
    std::vector<Json> printed_;
    mutable bool late_ = false;
    int exchanges_ = 0;
    bool transferred_ = false;
};

// The settings file the command line shares with the installed program: `given`
// (--config), else $PEMBERLUX_CONFIG, else ./pemberlux.ini when it exists, else
// $XDG_CONFIG_HOME/pemberlux/pemberlux.ini (~/.config when that is unset or not
// absolute), the folder the program's launcher runs it in.
std::filesystem::path FindSettingsFile(const std::string& given);

// Every file argument a command reads or writes may be "-": standard input or output.
inline constexpr const char* STANDARD_STREAM = "-";
// All of standard input, to its end; Ctrl-C ends the command, and a failed
// read ends it with EXIT_FILE.
Bytes ReadStandardInput(const Context& ctx);

// The exit code and message of a result that is not a success.
int ExitCodeOf(const ExchangeResult& result);

// The language of the command line's texts: --lang (en, zh), else the locale's
// (LC_ALL, LC_MESSAGES, LANG), not the window's choice in the settings file.
int ChooseLanguage(const std::string& lang);

// Writes "pemberlux-cli: <command>: <text>" as one line on stderr, the text's
// line breaks as blanks and its control bytes escaped.
void Say(const std::string& command, const std::string& text);

// Text as it may go to a terminal: control bytes (C0, DEL, C1), bytes that are
// no UTF-8 and the backslash written as escapes (\x1b, \u009b, \\).
std::string EscapeControls(std::string_view text);

// Text output of a document: key: value lines, nested keys joined with ".",
// arrays of objects as tables; texts escaped unless `raw`.
std::string RenderText(const Json& doc, bool raw = false);

// A command's body, run after the command line was read.
using Action = std::function<void(Context&)>;

// Command groups, each adding its subcommands to `app`; a command stores its
// body in `action`.
void AddLabelCommands(CLI::App& app, Context& ctx, Action& action);
void AddReceiptCommands(CLI::App& app, Context& ctx, Action& action);
void AddSendCommands(CLI::App& app, Context& ctx, Action& action);
void AddProfileCommands(CLI::App& app, Context& ctx, Action& action);
void AddNetworkCommands(CLI::App& app, Context& ctx, Action& action);
void AddWirelessCommands(CLI::App& app, Context& ctx, Action& action);
void AddFleetCommands(CLI::App& app, Context& ctx, Action& action);

// ---- Help and parse errors (Help.cpp) ----------------------------------------

// A command's help also lists the options every command shares: set on the
// main command before the others are added (they inherit it).
void UseSharedHelp(CLI::App& app);
// Lets the shared options follow any command, and points every command's help
// to the one table of exit codes, `exitCodes`, the main help's footer.
void FinishCommands(CLI::App& app, const std::string& exitCodes);
// "label get": the command given, for the lines on stderr.
std::string CommandName(CLI::App& app);
// What was wrong with a command line CLI11 could not read: the unknown
// command or option named, with the nearest known one.
std::string ParseErrorText(CLI::App& app, const CLI::ParseError& e);

// --yes for a command that asks before it acts.
void AddYesFlag(CLI::App& command, Context& ctx);

// Values the shell completion offers for an option (or positional): `words`,
// or for KEY=VALUE arguments the keys with their values.
struct CompletionWords {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::vector<std::string>>> keys;
};
void SetCompletion(const CLI::Option* option, CompletionWords words);
// The completion script for `shell` (bash, zsh) of the command table under `app`.
std::string CompletionScript(const CLI::App& app, const std::string& shell);

} // namespace pemberlux::cli
